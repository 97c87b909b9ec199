#include "download/DownloadList.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

struct Row
{
    int status;
    QString type;
    QString size;
    QString received;
    QString percent;
};

// A list holding the given rows, keyed k0, k1, ...
void fill(DownloadList &list, const QList<Row> &rows)
{
    for (const Row &row : rows) {
        const int at = list.size();
        QVERIFY(list.addItem(QStringLiteral("k%1").arg(at), QStringLiteral("n"), row.type,
            QStringLiteral("/f/"), QString()));
        list.update(at, [&](DownloadItem &item) {
            item.StatusCode = row.status;
            item.Size = row.size;
            item.Received = row.received;
            item.Percent = row.percent;
        });
    }
}

QStringList keys(const DownloadList &list)
{
    QStringList result;
    for (int row = 0; row < list.size(); ++row)
        result << list.at(row).Key;
    return result;
}

} // namespace

Q_DECLARE_METATYPE(QList<Row>)

class TestDownloadList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void chooseUrl_data();
    void chooseUrl();
    void rotateUrls_data();
    void rotateUrls();
    void threeRotationsGiveKeyBack();

    void queries_data();
    void queries();
    void finishedOnceLastRowFails();

    void addAppendsWaitingRow();
    void duplicateKeyIsRefused();
    void indexFollowsRemovals();
    void updateReindexesAndRefusesCollision();
    void updateSignalsOnlyRealChanges();
    void columnsAndRoles();
    void passesModelTester();
    void hundredThousandRows();
};

void TestDownloadList::chooseUrl_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("single") << QStringLiteral("http://a/1.pdf") << QStringLiteral("http://a/1.pdf");
    QTest::newRow("two") << QStringLiteral("u1|u2") << QStringLiteral("u1");
    QTest::newRow("three") << QStringLiteral("a|b|c") << QStringLiteral("a");
    QTest::newRow("empty first piece") << QStringLiteral("|b") << QString();
    QTest::newRow("empty key") << QString() << QString();
}

void TestDownloadList::chooseUrl()
{
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(DownloadList::选择url(key), expected);
}

void TestDownloadList::rotateUrls_data()
{
    QTest::addColumn<QString>("urls");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two swap") << QStringLiteral("u1|u2") << QStringLiteral("u2|u1");
    QTest::newRow("three: last to front") << QStringLiteral("a|b|c") << QStringLiteral("c|a|b");
    QTest::newRow("one unchanged") << QStringLiteral("u1") << QStringLiteral("u1");
    QTest::newRow("four unchanged") << QStringLiteral("a|b|c|d") << QStringLiteral("a|b|c|d");
    QTest::newRow("empty second piece") << QStringLiteral("a|") << QStringLiteral("|a");
    QTest::newRow("empty") << QString() << QString();
}

void TestDownloadList::rotateUrls()
{
    QFETCH(QString, urls);
    QFETCH(QString, expected);
    QCOMPARE(DownloadList::对调url(urls), expected);
}

void TestDownloadList::threeRotationsGiveKeyBack()
{
    QString key = QStringLiteral("a|b|c");
    const QStringList expected { QStringLiteral("c|a|b"), QStringLiteral("b|c|a"),
        QStringLiteral("a|b|c") };
    for (const QString &next : expected) {
        key = DownloadList::对调url(key);
        QCOMPARE(key, next);
    }
}

void TestDownloadList::queries_data()
{
    QTest::addColumn<QList<Row>>("rows");
    QTest::addColumn<int>("untouched");
    QTest::addColumn<bool>("finished");
    QTest::addColumn<int>("problems");
    QTest::addColumn<QString>("counters");

    const QString none;
    QTest::newRow("empty list") << QList<Row> {} << 0 << true << 0
                                << QStringLiteral("总数：0|正在下载：0|等待：0|已完成：0|失败：0");
    QTest::newRow("completed and waiting")
        << QList<Row> { { 3, QStringLiteral("pdf"), QStringLiteral("10"), QStringLiteral("10"),
                            QStringLiteral("100%") },
               { 1, QStringLiteral("pdf"), none, none, none } }
        << 1 << false << 0 << QStringLiteral("总数：2|正在下载：0|等待：1|已完成：1|失败：0");
    QTest::newRow("status texts are not untouched")
        << QList<Row> { { 2, QStringLiteral("pdf"), QStringLiteral("未知"), none, none },
               { 1, QStringLiteral("pdf"), QStringLiteral("等待重新下载"), none, none },
               { 3, QStringLiteral("pdf"), QStringLiteral("5"), QStringLiteral("5"),
                   QStringLiteral("已存在，跳过") },
               { 1, QStringLiteral("pdf"), none, QStringLiteral("不存在"), none },
               { 2, QStringLiteral("pdf"), none, none, none } }
        << 1 << false << 0 << QStringLiteral("总数：5|正在下载：2|等待：2|已完成：1|失败：0");
    QTest::newRow("web pages and failures")
        << QList<Row> { { 3, QStringLiteral("HTML"), QStringLiteral("1"), QStringLiteral("1"),
                            QStringLiteral("100%") },
               { 3, QStringLiteral("xml"), QStringLiteral("1"), QStringLiteral("1"),
                   QStringLiteral("100%") },
               { 4, QStringLiteral("htm"), QStringLiteral("下载失败"), none, none },
               { 4, QStringLiteral("pdf"), QStringLiteral("下载取消"), none, none },
               { 3, QStringLiteral("Htm"), QStringLiteral("1"), QStringLiteral("1"),
                   QStringLiteral("100%") },
               { 3, QStringLiteral("xhtml"), QStringLiteral("1"), QStringLiteral("1"),
                   QStringLiteral("100%") } }
        << 0 << true << 4 << QStringLiteral("总数：6|正在下载：0|等待：0|已完成：4|失败：2");
    QTest::newRow("other status values in total only")
        << QList<Row> { { 3, QStringLiteral("pdf"), QStringLiteral("1"), QStringLiteral("1"),
                            QStringLiteral("100%") },
               { 0, QStringLiteral("pdf"), none, none, none },
               { 7, QStringLiteral("pdf"), QStringLiteral("1"), none, none } }
        << 1 << false << 0 << QStringLiteral("总数：3|正在下载：0|等待：0|已完成：1|失败：0");
}

void TestDownloadList::queries()
{
    QFETCH(QList<Row>, rows);
    QFETCH(int, untouched);
    QFETCH(bool, finished);
    QFETCH(int, problems);
    QFETCH(QString, counters);
    DownloadList list;
    fill(list, rows);
    QCOMPARE(list.统计未下载项数目(), untouched);
    QCOMPARE(list.检测是否下载列表完毕(), finished);
    QCOMPARE(list.CountProblemRows(), problems);
    QCOMPARE(list.ShowListCounters(), counters);
}

void TestDownloadList::finishedOnceLastRowFails()
{
    DownloadList list;
    fill(list,
        { { 3, QStringLiteral("pdf"), QStringLiteral("1"), QStringLiteral("1"),
              QStringLiteral("100%") },
            { 1, QStringLiteral("pdf"), QString(), QString(), QString() } });
    QVERIFY(!list.检测是否下载列表完毕());
    list.update(1, [](DownloadItem &item) { item.StatusCode = Status::Failed; });
    QVERIFY(list.检测是否下载列表完毕());
}

void TestDownloadList::addAppendsWaitingRow()
{
    DownloadList list;
    QVERIFY(list.addItem(QStringLiteral("a"), QStringLiteral("first"), QStringLiteral("pdf"),
        QStringLiteral("/d/"), QStringLiteral("http://r/")));
    QVERIFY(list.addItem(QStringLiteral("b|c"), QStringLiteral("second"), QString(),
        QStringLiteral("/e/"), QString()));
    QCOMPARE(list.size(), 2);
    const DownloadItem &item = list.at(1);
    QCOMPARE(item.Key, QStringLiteral("b|c"));
    QCOMPARE(item.Name, QStringLiteral("second"));
    QCOMPARE(item.Folder, QStringLiteral("/e/"));
    QCOMPARE(item.StatusCode, Status::Waiting);
    QVERIFY(item.Size.isEmpty() && item.Received.isEmpty() && item.Percent.isEmpty());
    QCOMPARE(list.at(0).Referer, QStringLiteral("http://r/"));
    QCOMPARE(list.at(0).savedFilePath(), QStringLiteral("/d/first.pdf"));
    QCOMPARE(list.at(1).savedFilePath(), QStringLiteral("/e/second"));
}

void TestDownloadList::duplicateKeyIsRefused()
{
    DownloadList list;
    QVERIFY(list.addItem(QStringLiteral("http://a/x.pdf"), QStringLiteral("x"),
        QStringLiteral("pdf"), QStringLiteral("/d/"), QString()));
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    QVERIFY(!list.addItem(QStringLiteral("http://a/x.pdf"), QStringLiteral("other"),
        QStringLiteral("htm"), QStringLiteral("/e/"), QString()));
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.at(0).Name, QStringLiteral("x"));
    QCOMPARE(inserted.count(), 0);

    // Exact comparison: a key differing only in case is another address.
    QVERIFY(list.addItem(QStringLiteral("http://a/X.pdf"), QStringLiteral("X"),
        QStringLiteral("pdf"), QStringLiteral("/d/"), QString()));
    QCOMPARE(list.rowOfKey(QStringLiteral("http://a/X.pdf")), 1);
    QCOMPARE(list.rowOfKey(QStringLiteral("http://a/x.pdf")), 0);
    QCOMPARE(list.rowOfKey(QStringLiteral("http://a/none")), -1);
}

void TestDownloadList::indexFollowsRemovals()
{
    DownloadList list;
    for (const char *key : { "a", "b", "c", "d", "e", "f" })
        QVERIFY(list.addItem(QString::fromLatin1(key), QString(), QString(), QString(), QString()));

    QVERIFY(list.removeRows(1, 2)); // b, c
    QCOMPARE(keys(list),
        (QStringList {
            QStringLiteral("a"), QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f") }));
    QCOMPARE(list.rowOfKey(QStringLiteral("b")), -1);
    QCOMPARE(list.rowOfKey(QStringLiteral("d")), 1);
    QCOMPARE(list.rowOfKey(QStringLiteral("f")), 3);
    QVERIFY(!list.removeRows(3, 2));
    QVERIFY(!list.removeRows(-1, 1));

    // A removed key can come back; a present one still cannot.
    QVERIFY(list.addItem(QStringLiteral("b"), QString(), QString(), QString(), QString()));
    QVERIFY(!list.addItem(QStringLiteral("e"), QString(), QString(), QString(), QString()));
    QCOMPARE(list.rowOfKey(QStringLiteral("b")), 4);

    // Scattered removal in one pass: a, e (not neighbours).
    const int removed = list.removeIf(
        [](const DownloadItem &item) { return item.Key == u"a" || item.Key == u"e"; });
    QCOMPARE(removed, 2);
    QCOMPARE(keys(list),
        (QStringList { QStringLiteral("d"), QStringLiteral("f"), QStringLiteral("b") }));
    QCOMPARE(list.rowOfKey(QStringLiteral("b")), 2);
    QCOMPARE(list.rowOfKey(QStringLiteral("e")), -1);
    QCOMPARE(list.removeIf([](const DownloadItem &) { return false; }), 0);

    list.clear();
    QCOMPARE(list.size(), 0);
    QCOMPARE(list.rowOfKey(QStringLiteral("d")), -1);
    QVERIFY(list.addItem(QStringLiteral("d"), QString(), QString(), QString(), QString()));
}

void TestDownloadList::updateReindexesAndRefusesCollision()
{
    DownloadList list;
    for (const char *key : { "a", "b", "c" })
        QVERIFY(list.addItem(QString::fromLatin1(key), QString(), QString(), QString(), QString()));

    QVERIFY(list.update(1, [](DownloadItem &item) { item.Key = QStringLiteral("b2|b1"); }));
    QCOMPARE(list.rowOfKey(QStringLiteral("b2|b1")), 1);
    QCOMPARE(list.rowOfKey(QStringLiteral("b")), -1);
    QVERIFY(list.addItem(QStringLiteral("b"), QString(), QString(), QString(), QString()));

    // Taking another row's key is refused; the other changes stay.
    QVERIFY(!list.update(2, [](DownloadItem &item) {
        item.Key = QStringLiteral("a");
        item.Size = QStringLiteral("下载失败");
    }));
    QCOMPARE(list.at(2).Key, QStringLiteral("c"));
    QCOMPARE(list.at(2).Size, QStringLiteral("下载失败"));
    QCOMPARE(list.rowOfKey(QStringLiteral("a")), 0);
    QCOMPARE(list.rowOfKey(QStringLiteral("c")), 2);

    // After a removal the index is still right for a key change.
    QVERIFY(list.removeRows(0, 1));
    QVERIFY(list.update(1, [](DownloadItem &item) { item.Key = QStringLiteral("a"); }));
    QCOMPARE(list.rowOfKey(QStringLiteral("a")), 1);
    QCOMPARE(list.rowOfKey(QStringLiteral("c")), -1);

    QVERIFY(!list.update(7, [](DownloadItem &item) { item.Key = QStringLiteral("z"); }));
    QCOMPARE(list.rowOfKey(QStringLiteral("z")), -1);
}

void TestDownloadList::updateSignalsOnlyRealChanges()
{
    DownloadList list;
    QVERIFY(list.addItem(QStringLiteral("a"), QStringLiteral("n"), QStringLiteral("pdf"),
        QStringLiteral("/d/"), QString()));
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
    QVERIFY(list.update(0, [](DownloadItem &item) {
        item.Size = QStringLiteral("100");
        item.Received = QStringLiteral("37");
        item.Percent = QStringLiteral("37%");
        item.StatusCode = Status::Downloading;
    }));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), list.index(0, 0));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), list.index(0, DownloadList::ColumnCount - 1));
    QVERIFY(list.update(0, [](DownloadItem &item) { item.Percent = QStringLiteral("37%"); }));
    QCOMPARE(changed.count(), 1);
}

void TestDownloadList::columnsAndRoles()
{
    DownloadList list;
    QCOMPARE(list.columnCount(), 7);
    const QStringList headers { QStringLiteral("名称"), QStringLiteral("类型"),
        QStringLiteral("文件大小"), QStringLiteral("已下载数"), QStringLiteral("百分比"),
        QStringLiteral("保存路径"), QStringLiteral("B") };
    for (int column = 0; column < headers.size(); ++column)
        QCOMPARE(list.headerData(column, Qt::Horizontal).toString(), headers.at(column));

    QVERIFY(list.addItem(QStringLiteral("k"), QStringLiteral("名"), QStringLiteral("pdf"),
        QStringLiteral("/d/"), QStringLiteral("http://r/")));
    list.update(0, [](DownloadItem &item) {
        item.Size = QStringLiteral("200");
        item.Received = QStringLiteral("50");
        item.Percent = QStringLiteral("25%");
        item.StatusCode = Status::Failed;
    });
    const QStringList shown { QStringLiteral("名"), QStringLiteral("pdf"), QStringLiteral("200"),
        QStringLiteral("50"), QStringLiteral("25%"), QStringLiteral("/d/"), QString() };
    for (int column = 0; column < shown.size(); ++column) {
        const QModelIndex index = list.index(0, column);
        QCOMPARE(index.data().toString(), shown.at(column));
        QCOMPARE(index.data(DownloadList::StatusCodeRole).toInt(), Status::Failed);
    }
}

void TestDownloadList::passesModelTester()
{
    DownloadList list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 8; ++i)
        list.addItem(QStringLiteral("u%1").arg(i), QStringLiteral("n%1").arg(i),
            QStringLiteral("pdf"), QStringLiteral("/d/"), QString());
    list.update(2, [](DownloadItem &item) {
        item.StatusCode = Status::Downloading;
        item.Percent = QStringLiteral("5%");
    });
    list.update(3, [](DownloadItem &item) { item.Key = QStringLiteral("u3b|u3a"); });
    list.removeRows(0, 1);
    list.removeRows(5, 2);
    list.removeIf(
        [](const DownloadItem &item) { return item.Key.endsWith(u'2') || item.Key == u"u4"; });
    list.removeIf([](const DownloadItem &item) { return item.Key == u"u3b|u3a"; });
    QCOMPARE(keys(list), (QStringList { QStringLiteral("u1"), QStringLiteral("u5") }));
    list.clear();
    list.addItem(QStringLiteral("again"), QString(), QString(), QString(), QString());
    QCOMPARE(list.rowCount(), 1);
}

void TestDownloadList::hundredThousandRows()
{
    // Appending keeps the index up to date row by row, so this stays linear.
    constexpr int Rows = 100000;
    DownloadList list;
    const QString folder = QStringLiteral("/data/papers/");
    for (int i = 0; i < Rows; ++i) {
        list.addItem(u"https://example.org/content/pdf/10.1007/" + QString::number(i) + u".pdf",
            QStringLiteral("title"), QStringLiteral("pdf"), folder, QString());
    }
    QCOMPARE(list.size(), Rows);
    QVERIFY(!list.addItem(QStringLiteral("https://example.org/content/pdf/10.1007/99999.pdf"),
        QString(), QString(), folder, QString()));
    QCOMPARE(
        list.rowOfKey(QStringLiteral("https://example.org/content/pdf/10.1007/54321.pdf")), 54321);
    QCOMPARE(list.统计未下载项数目(), Rows);
    QCOMPARE(list.ShowListCounters(),
        QStringLiteral("总数：100000|正在下载：0|等待：100000|已完成：0|失败：0"));

    // Dropping every other row is one compaction, not a removal per row.
    int asked = 0;
    QCOMPARE(list.removeIf([&asked](const DownloadItem &) { return asked++ % 2 == 1; }), Rows / 2);
    QCOMPARE(asked, Rows);
    QCOMPARE(list.size(), Rows / 2);
    QCOMPARE(
        list.rowOfKey(QStringLiteral("https://example.org/content/pdf/10.1007/54320.pdf")), 27160);
    QCOMPARE(
        list.rowOfKey(QStringLiteral("https://example.org/content/pdf/10.1007/54321.pdf")), -1);
}

QTEST_GUILESS_MAIN(TestDownloadList)
#include "tst_downloadlist.moc"
