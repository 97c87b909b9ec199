#include "download/DownloadList.h"
#include "download/DownloadListStore.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString keyOf(int n)
{
    return u"http://a.test/%1.pdf"_s.arg(n);
}

void addRow(DownloadList &list, int n, int status)
{
    list.addItem(keyOf(n), u"名称 %1"_s.arg(n), u"pdf"_s, u"/下载/"_s, u"http://a.test/page"_s);
    list.update(list.size() - 1, [&](DownloadItem &item) {
        item.StatusCode = status;
        item.Size = u"5000"_s;
        item.Received = u"1000"_s;
        item.Percent = u"20%"_s;
        item.Doi = u"10.1007/%1"_s.arg(n);
        if (status == Status::Failed)
            item.FailureReason = u"HTTP 503"_s;
    });
}

QStringList keys(const DownloadList &list)
{
    QStringList out;
    for (int row = 0; row < list.size(); ++row)
        out << list.at(row).Key;
    return out;
}

} // namespace

// The download list kept between runs: what is saved, and how it comes back.
class TestDownloadListStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void unfinishedRows_data();
    void unfinishedRows();
    void savedRowsComeBackAheadWithoutDuplicates();
    void savingAfterAnUnofferedList();
    void emptyListAndDiscardLeaveNothing();
    void unreadableFileChangesNothing();

private:
    std::optional<QTemporaryDir> m_dir;
};

void TestDownloadListStore::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

void TestDownloadListStore::unfinishedRows_data()
{
    QTest::addColumn<QList<int>>("statuses");
    QTest::addColumn<bool>("unfinished");
    QTest::newRow("empty") << QList<int> {} << false;
    QTest::newRow("all completed") << QList<int> { Status::Completed, Status::Completed } << false;
    QTest::newRow("one waiting") << QList<int> { Status::Completed, Status::Waiting } << true;
    QTest::newRow("one downloading") << QList<int> { Status::Downloading } << true;
    QTest::newRow("one failed") << QList<int> { Status::Completed, Status::Failed } << true;
}

void TestDownloadListStore::unfinishedRows()
{
    QFETCH(QList<int>, statuses);
    DownloadList list;
    for (int n = 0; n < statuses.size(); ++n)
        addRow(list, n, statuses.at(n));
    QTEST(DownloadListStore::hasUnfinishedRows(list), "unfinished");
}

void TestDownloadListStore::savedRowsComeBackAheadWithoutDuplicates()
{
    const DownloadListStore store(m_dir->path());
    QCOMPARE(store.filePath(), m_dir->filePath(u"download-list.json"_s));
    DownloadList saved;
    addRow(saved, 1, Status::Completed);
    addRow(saved, 2, Status::Downloading);
    addRow(saved, 3, Status::Failed);
    addRow(saved, 4, Status::Waiting);
    QString error;
    QVERIFY2(store.save(saved, &error), qPrintable(error));
    QCOMPARE(store.savedRowCount().value_or(-1), qsizetype(4));
    QCOMPARE(store.unfinishedRowCount().value_or(-1), qsizetype(3));
    QCOMPARE(DownloadListStore::restoreQuestion(3), u"上次的下载列表还有3项未完成，是否恢复？"_s);

    DownloadList list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    addRow(list, 3, Status::Waiting);
    addRow(list, 9, Status::Waiting);
    const quint64 idBefore = list.at(1).Id;
    QCOMPARE(store.restore(list, &error).value_or(-1), 3);
    QCOMPARE(keys(list), (QStringList { keyOf(1), keyOf(2), keyOf(4), keyOf(3), keyOf(9) }));
    // The row that was there keeps its state and identity; the saved ones
    // come back with every field, the one being downloaded as waiting again.
    QCOMPARE(list.at(3).StatusCode, Status::Waiting);
    QCOMPARE(list.rowOfId(idBefore), 4);
    QCOMPARE(list.at(0).StatusCode, Status::Completed);
    QCOMPARE(list.at(0).Doi, u"10.1007/1"_s);
    QCOMPARE(list.at(0).Referer, u"http://a.test/page"_s);
    QCOMPARE(list.at(0).Name, u"名称 1"_s);
    QCOMPARE(list.at(1).StatusCode, Status::Waiting);
    QCOMPARE(list.at(1).Size, StatusText::WaitingAgain);
    QCOMPARE(list.at(2).Percent, u"20%"_s);
    // New Ids, none shared; the key index and the waiting rows follow.
    QSet<quint64> ids;
    for (int row = 0; row < list.size(); ++row)
        ids.insert(list.at(row).Id);
    QCOMPARE(ids.size(), list.size());
    QCOMPARE(list.rowOfKey(keyOf(9)), 4);
    QCOMPARE(list.nextWaitingRow(0), 1);
    QCOMPARE(list.ShowListCounters(), u"总数：5|正在下载：0|等待：4|已完成：1|失败：0"_s);
    // The saved list stays until it is saved over or discarded.
    QVERIFY(store.exists());
}

void TestDownloadListStore::savingAfterAnUnofferedList()
{
    const DownloadListStore store(m_dir->path());
    DownloadList earlier;
    addRow(earlier, 1, Status::Failed);
    addRow(earlier, 2, Status::Waiting);
    QVERIFY(store.save(earlier));

    DownloadList now;
    addRow(now, 2, Status::Completed);
    addRow(now, 3, Status::Waiting);
    QVERIFY(store.saveAfterSaved(now));
    DownloadList back;
    QCOMPARE(store.restore(back).value_or(-1), 3);
    QCOMPARE(keys(back), (QStringList { keyOf(1), keyOf(2), keyOf(3) }));
    // The earlier row of a key wins: it is the one that was kept.
    QCOMPARE(back.at(1).StatusCode, Status::Waiting);
}

void TestDownloadListStore::emptyListAndDiscardLeaveNothing()
{
    const DownloadListStore store(m_dir->path());
    DownloadList list;
    addRow(list, 1, Status::Waiting);
    QVERIFY(store.save(list));
    QVERIFY(QFile::exists(store.filePath()));
    list.clear();
    QVERIFY(store.save(list));
    QVERIFY(!QFile::exists(store.filePath()));
    QCOMPARE(store.savedRowCount().value_or(-1), qsizetype(0));

    addRow(list, 1, Status::Waiting);
    QVERIFY(store.save(list));
    QVERIFY(store.discard());
    QVERIFY(!store.exists());
    QVERIFY(store.discard());
}

void TestDownloadListStore::unreadableFileChangesNothing()
{
    const DownloadListStore store(m_dir->path());
    QFile file(store.filePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"format\":\"quillmoor-list\",\"kind\":\"download\",\"version\":1,\"rows\":[");
    file.close();

    DownloadList list;
    addRow(list, 1, Status::Waiting);
    QString error;
    QVERIFY(!store.unfinishedRowCount(&error));
    QVERIFY(error.contains(store.filePath()));
    error.clear();
    QVERIFY(!store.restore(list, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(keys(list), QStringList { keyOf(1) });
    QVERIFY(!store.saveAfterSaved(list));
    QVERIFY(store.exists());
}

QTEST_GUILESS_MAIN(TestDownloadListStore)
#include "tst_downloadliststore.moc"
