#include "download/DownloadList.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <numeric>

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

// The counters and the waiting rows as a walk over every row finds them.
QString walkedState(const DownloadList &list)
{
    int byStatus[5] = {};
    int untouched = 0;
    int problems = 0;
    QStringList waiting;
    for (int row = 0; row < list.size(); ++row) {
        const DownloadItem &item = list.at(row);
        if (item.StatusCode >= 1 && item.StatusCode <= 4)
            ++byStatus[item.StatusCode];
        if (item.Size.isEmpty() && item.Received.isEmpty() && item.Percent.isEmpty())
            ++untouched;
        const QString type = item.Type.toLower();
        if (type == u"htm" || type == u"html" || item.StatusCode == Status::Failed)
            ++problems;
        if (item.StatusCode == Status::Waiting)
            waiting << QString::number(row);
    }
    return QStringLiteral("total %1 downloading %2 waiting %3 completed %4 failed %5 "
                          "untouched %6 problems %7 finished %8 rows %9")
        .arg(list.size())
        .arg(byStatus[2])
        .arg(byStatus[1])
        .arg(byStatus[3])
        .arg(byStatus[4])
        .arg(untouched)
        .arg(problems)
        .arg(byStatus[3] + byStatus[4] == list.size() ? 1 : 0)
        .arg(waiting.join(u','));
}

// The same, as the list's own counters and index answer.
QString keptState(const DownloadList &list)
{
    const QStringList counters = list.ShowListCounters().split(u'|');
    QStringList numbers;
    for (const QString &counter : counters)
        numbers << counter.section(u'：', 1);
    QStringList waiting;
    for (int row = list.nextWaitingRow(0); row >= 0; row = list.nextWaitingRow(row + 1))
        waiting << QString::number(row);
    return QStringLiteral("total %1 downloading %2 waiting %3 completed %4 failed %5 "
                          "untouched %6 problems %7 finished %8 rows %9")
        .arg(numbers.value(0), numbers.value(1), numbers.value(2), numbers.value(3),
            numbers.value(4))
        .arg(list.统计未下载项数目())
        .arg(list.CountProblemRows())
        .arg(list.检测是否下载列表完毕() ? 1 : 0)
        .arg(waiting.join(u','));
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
    void idsStayWithTheirRows_data();
    void idsStayWithTheirRows();
    void updateSignalsOnlyRealChanges();
    void columnsAndRoles();
    void passesModelTester();
    void hundredThousandRows();

    void reorderMovesRowsAndTheirIndexes();
    void reorderRefusesWhatIsNoPermutation_data();
    void reorderRefusesWhatIsNoPermutation();
    void countersAndWaitingRowsFollowEveryChange_data();
    void countersAndWaitingRowsFollowEveryChange();
    void nextWaitingRowSkipsLongRuns();
    void changesReachViewsInBatches();
    void batchesKeepFlowingAtAboutTenASecond();
    void pendingChangesAreToldBeforeRowsMove();
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

void TestDownloadList::idsStayWithTheirRows_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("sorted") << QStringLiteral("reorder");
    QTest::newRow("keys replaced") << QStringLiteral("keys");
    QTest::newRow("top rows removed") << QStringLiteral("remove top");
    QTest::newRow("rows removed here and there") << QStringLiteral("remove scattered");
    QTest::newRow("cleared, then new rows") << QStringLiteral("clear");
}

// Whatever happens to the rows, an Id finds its own row, or -1 once the row
// has gone, and is never given to another row.
void TestDownloadList::idsStayWithTheirRows()
{
    QFETCH(QString, change);
    DownloadList list;
    for (const char *key : { "a", "b", "c", "d", "e" })
        QVERIFY(list.addItem(
            QString::fromLatin1(key), QString::fromLatin1(key), QString(), QString(), QString()));
    QHash<QString, quint64> idOfName;
    for (int row = 0; row < list.size(); ++row) {
        QVERIFY(list.at(row).Id != 0);
        idOfName.insert(list.at(row).Name, list.at(row).Id);
    }
    QCOMPARE(QSet<quint64>(idOfName.cbegin(), idOfName.cend()).size(), 5);
    QCOMPARE(list.rowOfId(idOfName.value(QStringLiteral("c"))), 2); // the index is in use

    if (change == u"reorder") {
        QVERIFY(list.reorder({ 4, 2, 0, 3, 1 }));
    } else if (change == u"keys") {
        // The change cannot touch the Id.
        for (int row = 0; row < list.size(); ++row)
            QVERIFY(list.update(row, [](DownloadItem &item) {
                item.Key = u"new/" + item.Key;
                item.Id = 999;
            }));
    } else if (change == u"remove top") {
        QVERIFY(list.removeRows(0, 2));
    } else if (change == u"remove scattered") {
        QCOMPARE(list.removeIf([](const DownloadItem &item) {
            return item.Name == u"b" || item.Name == u"d";
        }),
            2);
    } else {
        list.clear();
    }
    for (const char *key : { "f", "g" })
        QVERIFY(list.addItem(
            QString::fromLatin1(key), QString::fromLatin1(key), QString(), QString(), QString()));

    QSet<quint64> seen;
    for (int row = 0; row < list.size(); ++row) {
        const DownloadItem &item = list.at(row);
        QCOMPARE(list.rowOfId(item.Id), row);
        if (idOfName.contains(item.Name))
            QCOMPARE(item.Id, idOfName.value(item.Name));
        else
            QVERIFY(!QSet<quint64>(idOfName.cbegin(), idOfName.cend()).contains(item.Id));
        seen.insert(item.Id);
    }
    QCOMPARE(seen.size(), list.size());
    for (auto it = idOfName.cbegin(); it != idOfName.cend(); ++it) {
        bool present = false;
        for (int row = 0; row < list.size(); ++row)
            present = present || list.at(row).Name == it.key();
        QCOMPARE(list.rowOfId(it.value()) >= 0, present);
    }
    QCOMPARE(list.rowOfId(0), -1);
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
    // Fields without a column are changes too.
    QVERIFY(list.update(0, [](DownloadItem &item) {
        item.Doi = QStringLiteral("10.1007/s1");
        item.Kind = QStringLiteral("article");
    }));
    QCOMPARE(list.at(0).Doi, QStringLiteral("10.1007/s1"));
    QCOMPARE(list.at(0).Kind, QStringLiteral("article"));
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

void TestDownloadList::reorderMovesRowsAndTheirIndexes()
{
    DownloadList list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    fill(list,
        { { 3, QStringLiteral("pdf"), QStringLiteral("1"), QStringLiteral("1"),
              QStringLiteral("100%") },
            { 1, QStringLiteral("pdf"), QString(), QString(), QString() },
            { 4, QStringLiteral("htm"), QString(), QString(), QString() },
            { 1, QStringLiteral("pdf"), QString(), QString(), QString() },
            { 2, QStringLiteral("pdf"), QString(), QString(), QString() } });
    const QString counters = list.ShowListCounters();
    const QPersistentModelIndex k1(list.index(1, DownloadList::PercentColumn));
    const QPersistentModelIndex k4(list.index(4, DownloadList::NameColumn));
    QSignalSpy layout(&list, &QAbstractItemModel::layoutChanged);

    QVERIFY(list.reorder({ 3, 0, 4, 1, 2 }));
    QCOMPARE(keys(list),
        (QStringList { QStringLiteral("k3"), QStringLiteral("k0"), QStringLiteral("k4"),
            QStringLiteral("k1"), QStringLiteral("k2") }));
    QCOMPARE(layout.count(), 1);
    QCOMPARE(list.rowOfKey(QStringLiteral("k3")), 0);
    QCOMPARE(list.rowOfKey(QStringLiteral("k2")), 4);
    // The waiting rows k3 and k1 are now rows 0 and 3.
    QCOMPARE(list.nextWaitingRow(0), 0);
    QCOMPARE(list.nextWaitingRow(1), 3);
    QCOMPARE(list.nextWaitingRow(4), -1);
    QCOMPARE(list.ShowListCounters(), counters);
    // A view's selection stays on its rows.
    QCOMPARE(k1.row(), 3);
    QCOMPARE(k1.column(), int(DownloadList::PercentColumn));
    QCOMPARE(k4.row(), 2);
    QCOMPARE(walkedState(list), keptState(list));
}

void TestDownloadList::reorderRefusesWhatIsNoPermutation_data()
{
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("too short") << QList<int> { 0, 1 };
    QTest::newRow("too long") << QList<int> { 0, 1, 2, 3 };
    QTest::newRow("a row twice") << QList<int> { 0, 1, 1 };
    QTest::newRow("beyond the end") << QList<int> { 0, 1, 3 };
    QTest::newRow("negative") << QList<int> { -1, 0, 1 };
}

void TestDownloadList::reorderRefusesWhatIsNoPermutation()
{
    QFETCH(QList<int>, order);
    DownloadList list;
    for (const char *key : { "a", "b", "c" })
        QVERIFY(list.addItem(QString::fromLatin1(key), QString(), QString(), QString(), QString()));
    QSignalSpy layout(&list, &QAbstractItemModel::layoutAboutToBeChanged);
    QVERIFY(!list.reorder(order));
    QCOMPARE(keys(list),
        (QStringList { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") }));
    QCOMPARE(layout.count(), 0);
}

void TestDownloadList::countersAndWaitingRowsFollowEveryChange_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::newRow("seed 1") << 1u;
    QTest::newRow("seed 2") << 2u;
    QTest::newRow("seed 3") << 3u;
}

void TestDownloadList::countersAndWaitingRowsFollowEveryChange()
{
    // Random edits of every kind; after each one the kept counters and index
    // must say what a walk over the rows says.
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    DownloadList list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QStringList types { QStringLiteral("pdf"), QStringLiteral("HTML"), QStringLiteral("htm"),
        QStringLiteral("xml"), QString() };
    const QStringList texts { QString(), QStringLiteral("未知"), QStringLiteral("12"),
        QStringLiteral("下载失败"), QStringLiteral("37%") };
    int nextKey = 0;
    for (int step = 0; step < 1500; ++step) {
        const int rows = list.size();
        const int pick = rows ? int(random.bounded(rows)) : 0;
        const quint32 kind = random.bounded(100);
        QString what;
        if (kind < 30 || rows == 0) {
            what = QStringLiteral("add");
            list.addItem(QStringLiteral("u%1").arg(nextKey++), QStringLiteral("n"),
                types.at(random.bounded(int(types.size()))), QStringLiteral("/d/"), QString());
        } else if (kind < 75) {
            what = QStringLiteral("update row %1").arg(pick);
            const int status = int(random.bounded(6)); // 0 and 5 are no known status
            const QString type = types.at(random.bounded(int(types.size())));
            const QString size = texts.at(random.bounded(int(texts.size())));
            const QString percent = texts.at(random.bounded(int(texts.size())));
            list.update(pick, [&](DownloadItem &item) {
                if (random.bounded(2))
                    item.StatusCode = status;
                if (random.bounded(4) == 0)
                    item.Type = type;
                item.Size = size;
                item.Percent = percent;
            });
        } else if (kind < 85) {
            const int count = 1 + int(random.bounded(qMin(rows - pick, 4)));
            what = QStringLiteral("remove %1 rows at %2").arg(count).arg(pick);
            QVERIFY(list.removeRows(pick, count));
        } else if (kind < 90) {
            what = QStringLiteral("remove scattered rows");
            const int modulus = 2 + int(random.bounded(4));
            int n = 0;
            list.removeIf([&](const DownloadItem &) { return n++ % modulus == 0; });
        } else if (kind < 99) {
            what = QStringLiteral("reorder");
            QList<int> order(rows);
            std::iota(order.begin(), order.end(), 0);
            std::shuffle(order.begin(), order.end(), random);
            QVERIFY(list.reorder(order));
        } else {
            what = QStringLiteral("clear");
            list.clear();
        }
        if (walkedState(list) != keptState(list))
            QFAIL(qPrintable(QStringLiteral("after step %1 (%2): kept \"%3\", walked \"%4\"")
                                 .arg(step)
                                 .arg(what, keptState(list), walkedState(list))));
    }
}

void TestDownloadList::nextWaitingRowSkipsLongRuns()
{
    // Waiting rows far apart, across several words of the index.
    DownloadList list;
    constexpr int Rows = 20000;
    for (int i = 0; i < Rows; ++i)
        list.addItem(QString::number(i), QString(), QString(), QString(), QString());
    const QList<int> waiting { 0, 63, 64, 4095, 4096, 4097, 12345, Rows - 1 };
    for (int row = 0; row < Rows; ++row) {
        if (!waiting.contains(row))
            list.update(row, [](DownloadItem &item) { item.StatusCode = Status::Completed; });
    }
    QList<int> found;
    for (int row = list.nextWaitingRow(0); row >= 0; row = list.nextWaitingRow(row + 1))
        found << row;
    QCOMPARE(found, waiting);
    QCOMPARE(list.nextWaitingRow(Rows), -1);
    QCOMPARE(list.nextWaitingRow(-5), 0);
    QVERIFY(!list.检测是否下载列表完毕());
    QCOMPARE(list.ShowListCounters(),
        QStringLiteral("总数：20000|正在下载：0|等待：8|已完成：19992|失败：0"));
}

void TestDownloadList::changesReachViewsInBatches()
{
    DownloadList list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 8; ++i)
        list.addItem(QString::number(i), QString(), QString(), QString(), QString());
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);

    // Six running rows report progress many times in one go.
    for (int chunk = 1; chunk <= 500; ++chunk) {
        for (int row = 1; row <= 6; ++row)
            list.update(row, [&](DownloadItem &item) {
                item.StatusCode = Status::Downloading;
                item.Received = QString::number(chunk * 1024);
            });
    }
    // The first change is told at once; the data is current all along.
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 1);
    QCOMPARE(list.at(6).Received, QStringLiteral("512000"));
    QCOMPARE(
        list.ShowListCounters(), QStringLiteral("总数：8|正在下载：6|等待：2|已完成：0|失败：0"));

    // The rest arrives as one notice over the neighbouring rows.
    QTRY_COMPARE(changed.count(), 2);
    QCOMPARE(changed.at(1).at(0).toModelIndex(), list.index(1, 0));
    QCOMPARE(changed.at(1).at(1).toModelIndex(), list.index(6, DownloadList::ColumnCount - 1));

    // Separate rows get separate notices; after a quiet period a change is
    // told at once again.
    QTest::qWait(250);
    list.update(0, [](DownloadItem &item) { item.Percent = QStringLiteral("1%"); });
    QCOMPARE(changed.count(), 3);
    list.update(7, [](DownloadItem &item) { item.Percent = QStringLiteral("2%"); });
    list.update(2, [](DownloadItem &item) { item.Percent = QStringLiteral("3%"); });
    QCOMPARE(changed.count(), 3);
    list.notifyChangedRows();
    QCOMPARE(changed.count(), 5);
    QCOMPARE(changed.at(3).at(0).toModelIndex().row(), 2);
    QCOMPARE(changed.at(4).at(0).toModelIndex().row(), 7);
}

void TestDownloadList::batchesKeepFlowingAtAboutTenASecond()
{
    DownloadList list;
    for (int i = 0; i < 6; ++i)
        list.addItem(QString::number(i), QString(), QString(), QString(), QString());
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
    int chunk = 0;
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, &list, [&] {
        ++chunk;
        for (int row = 0; row < 6; ++row)
            list.update(row, [&](DownloadItem &item) { item.Received = QString::number(chunk); });
    });
    QElapsedTimer elapsed;
    elapsed.start();
    progress.start(1);
    // Notices keep coming while the transfers run, not only once they stop.
    QTRY_VERIFY(changed.count() >= 4);
    progress.stop();
    const qint64 ms = elapsed.elapsed();
    QVERIFY2(changed.count() <= ms / 100 + 2,
        qPrintable(QStringLiteral("%1 notices in %2 ms").arg(changed.count()).arg(ms)));
    QVERIFY(chunk > changed.count());
}

void TestDownloadList::pendingChangesAreToldBeforeRowsMove()
{
    DownloadList list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 5; ++i)
        list.addItem(QString::number(i), QString(), QString(), QString(), QString());
    list.update(0, [](DownloadItem &item) { item.Percent = QStringLiteral("1%"); });

    QStringList heard;
    QObject::connect(&list, &QAbstractItemModel::dataChanged, &list,
        [&](const QModelIndex &from) { heard << u"changed " + list.at(from.row()).Key; });
    QObject::connect(&list, &QAbstractItemModel::rowsAboutToBeRemoved, &list,
        [&] { heard << QStringLiteral("removing"); });
    QObject::connect(&list, &QAbstractItemModel::layoutAboutToBeChanged, &list,
        [&] { heard << QStringLiteral("reordering"); });

    list.update(3, [](DownloadItem &item) { item.Percent = QStringLiteral("5%"); });
    QVERIFY(list.removeRows(1, 1));
    list.update(1, [](DownloadItem &item) { item.Percent = QStringLiteral("6%"); }); // key 2
    QVERIFY(list.reorder({ 3, 2, 1, 0 }));
    list.update(0, [](DownloadItem &item) { item.Percent = QStringLiteral("7%"); }); // key 4
    list.clear(); // a reset tells the views everything
    QTest::qWait(150);
    QCOMPARE(heard,
        (QStringList { QStringLiteral("changed 3"), QStringLiteral("removing"),
            QStringLiteral("changed 2"), QStringLiteral("reordering") }));
}

QTEST_GUILESS_MAIN(TestDownloadList)
#include "tst_downloadlist.moc"
