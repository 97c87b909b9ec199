#include "common/SafeFiles.h"
#include "download/DownloadList.h"
#include "download/RowToolTip.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include <cerrno>

using namespace Qt::StringLiterals;

// A row's tooltip says what happened to it in the program's words, with the
// recorded detail after them.
class TestRowToolTip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failedRows_data();
    void failedRows();
    void otherRows_data();
    void otherRows();
    void everyColumnOfTheModelShowsIt();
};

void TestRowToolTip::failedRows_data()
{
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("tip");

    QTest::newRow("not found") << u"HTTP 404"_s << u"服务器上没有这个文件（HTTP 404）"_s;
    QTest::newRow("forbidden") << u"HTTP 403"_s << u"服务器拒绝访问，可能需要先登录（HTTP 403）"_s;
    QTest::newRow("other client error") << u"HTTP 400"_s << u"服务器拒绝了请求（HTTP 400）"_s;
    QTest::newRow("too many requests")
        << u"HTTP 429"_s << u"服务器认为请求太频繁，暂时拒绝（HTTP 429）"_s;
    QTest::newRow("server error") << u"HTTP 500"_s << u"服务器出错（HTTP 500）"_s;
    QTest::newRow("libcurl: refused")
        << u"Failed to connect to 127.0.0.1 port 1 after 0 ms: Couldn't connect to server"_s
        << u"无法连接到服务器（Failed to connect to 127.0.0.1 port 1 after 0 ms: Couldn't "
           u"connect to server）"_s;
    QTest::newRow("libcurl: unknown host") << u"Could not resolve host: nowhere.invalid"_s
                                           << u"找不到服务器（域名无法解析）（Could not resolve "
                                              u"host: nowhere.invalid）"_s;
    QTest::newRow("libcurl: certificate")
        << u"SSL certificate problem: self-signed certificate"_s
        << u"安全连接（TLS）失败（SSL certificate problem: self-signed certificate）"_s;
    QTest::newRow("libcurl: anything else")
        << u"Weird server reply"_s << u"网络传输出错（Weird server reply）"_s;
    QTest::newRow("disk full") << FileErrorText(ENOSPC)
                               << u"磁盘空间不足，无法保存文件（"_s + FileErrorText(ENOSPC) + u'）';
    QTest::newRow("no permission")
        << FileErrorText(EACCES) << u"没有权限写入文件（"_s + FileErrorText(EACCES) + u'）';
    QTest::newRow("name taken") << FileErrorText(EEXIST)
                                << u"同名文件已存在，无法替换（"_s + FileErrorText(EEXIST) + u'）';
    QTest::newRow("cut short") << u"received 1000 of 5000 bytes"_s
                               << u"文件没有下载完整（received 1000 of 5000 bytes）"_s;
    QTest::newRow("more than announced")
        << u"more bytes than the announced 100"_s
        << u"收到的数据比服务器声明的文件大小还多（more bytes than the announced 100）"_s;
    QTest::newRow("silent server")
        << u"no answer in 30 s"_s << u"服务器没有回应（no answer in 30 s）"_s;
    QTest::newRow("stall") << u"no data for 120 s"_s
                           << u"长时间没有收到数据，下载中断（no data for 120 s）"_s;
    QTest::newRow("empty body") << u"empty body"_s << u"服务器返回的文件是空的（empty body）"_s;
    QTest::newRow("stopped by a signal")
        << u"stopped by signal 15"_s << u"下载被停止（stopped by signal 15）"_s;
    QTest::newRow("program's own text stays")
        << u"文件夹名称有误！不能创建文件夹！"_s << u"文件夹名称有误！不能创建文件夹！"_s;
    QTest::newRow("no reason recorded") << QString() << u"下载失败"_s;
}

void TestRowToolTip::failedRows()
{
    QFETCH(QString, reason);
    DownloadItem item;
    item.StatusCode = Status::Failed;
    item.FailureReason = reason;
    QTEST(DownloadRowToolTip(item), "tip");
}

void TestRowToolTip::otherRows_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<QString>("tip");

    QTest::newRow("waiting") << Status::Waiting << QString() << QString();
    QTest::newRow("downloading") << Status::Downloading << u"37%"_s << QString();
    QTest::newRow("completed") << Status::Completed << u"100%"_s << QString();
    QTest::newRow("size rule") << Status::Completed << StatusText::LargeFileSkipped
                               << u"文件超过设置的大小上限，没有下载（大文件，跳过）"_s;
    QTest::newRow("skipped as existing") << Status::Completed << StatusText::ExistsSkipped
                                         << u"同名文件已存在，按设置跳过（已存在，跳过）"_s;
}

void TestRowToolTip::otherRows()
{
    QFETCH(int, status);
    QFETCH(QString, percent);
    DownloadItem item;
    item.StatusCode = status;
    item.Percent = percent;
    // A reason left over from an earlier attempt says nothing about now.
    item.FailureReason = u"HTTP 404"_s;
    QTEST(DownloadRowToolTip(item), "tip");
}

void TestRowToolTip::everyColumnOfTheModelShowsIt()
{
    DownloadList list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    list.addItem(u"http://a.test/1.pdf"_s, u"one"_s, u"pdf"_s, u"/d/"_s, {});
    list.addItem(u"http://a.test/2.pdf"_s, u"two"_s, u"pdf"_s, u"/d/"_s, {});
    list.update(0, [](DownloadItem &item) {
        item.StatusCode = Status::Failed;
        item.FailureReason = u"HTTP 404"_s;
        item.Size = StatusText::DownloadFailed;
    });
    for (int column = 0; column < list.columnCount(); ++column) {
        QCOMPARE(list.index(0, column).data(Qt::ToolTipRole).toString(),
            u"服务器上没有这个文件（HTTP 404）"_s);
        QVERIFY(!list.index(1, column).data(Qt::ToolTipRole).isValid());
    }
    // The columns' own texts stay as they were.
    QCOMPARE(list.index(0, DownloadList::SizeColumn).data().toString(), StatusText::DownloadFailed);
}

QTEST_GUILESS_MAIN(TestRowToolTip)
#include "tst_rowtooltip.moc"
