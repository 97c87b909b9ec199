#include "ListRows.h"
#include "common/TextMode.h"
#include "download/DownloadList.h"
#include "download/ListOperations.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(QList<ListRow>)

namespace {

bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

} // namespace

class TestListOperations : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void sortByColumn_data();
    void sortByColumn();
    void sortMovesSelectionWithRows();

    void shuffleOneRow();
    void shuffleIsUniform();
    void shuffleMovesAtMostTenThousandRows();

    void requeueFamily_data();
    void requeueFamily();
    void requeueFailedHtmlRow();
    void requeueNotesOnlyOwnFiles_data();
    void requeueNotesOnlyOwnFiles();
    void requeueKeepsKeyThatWouldRepeat();
    void requeueBelowSize_data();
    void requeueBelowSize();

    void removeWalksOverAdjacentRows_data();
    void removeWalksOverAdjacentRows();
    void deleteFilesKeepsRows();
    void cancelOnlyWaitingSelectedRows();
    void markMissingFiles();
    void nameListText();

    void replaceInUrls_data();
    void replaceInUrls();

private:
    std::unique_ptr<DownloadList> m_list;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

void TestListOperations::init()
{
    m_list = std::make_unique<DownloadList>();
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_list.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void TestListOperations::cleanup()
{
    m_tester.reset();
    m_list.reset();
}

void TestListOperations::sortByColumn_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("expected");

    const int asc = Qt::AscendingOrder;
    const int desc = Qt::DescendingOrder;
    const QString unknown = u"未知"_s;
    const QString large = u"大文件，跳过"_s;
    QTest::newRow("sizes as numbers, status text after")
        << int(DownloadList::SizeColumn) << QStringList { u"12000"_s, unknown, u"900"_s, {} } << asc
        << QStringList { {}, u"900"_s, u"12000"_s, unknown };
    QTest::newRow("sizes descending")
        << int(DownloadList::SizeColumn) << QStringList { u"900"_s, unknown, u"12000"_s } << desc
        << QStringList { unknown, u"12000"_s, u"900"_s };
    QTest::newRow("received") << int(DownloadList::ReceivedColumn)
                              << QStringList { u"100"_s, u"20"_s, u"3"_s } << asc
                              << QStringList { u"3"_s, u"20"_s, u"100"_s };
    QTest::newRow("percent as numbers")
        << int(DownloadList::PercentColumn) << QStringList { u"100%"_s, large, u"5%"_s } << asc
        << QStringList { u"5%"_s, u"100%"_s, large };
    QTest::newRow("names as text, any case")
        << int(DownloadList::NameColumn) << QStringList { u"b"_s, u"C"_s, u"a10"_s, u"A2"_s } << asc
        << QStringList { u"a10"_s, u"A2"_s, u"b"_s, u"C"_s };
}

void TestListOperations::sortByColumn()
{
    QFETCH(int, column);
    QFETCH(QStringList, values);
    QFETCH(int, order);
    QFETCH(QStringList, expected);

    for (const QString &value : values) {
        ListRow row;
        row.size = row.received = row.percent = row.name = value;
        appendRows(*m_list, { row });
    }
    SortRowsByColumn(*m_list, column, Qt::SortOrder(order));
    QCOMPARE(columnTexts(*m_list, column), expected);
    // Keys stay with their rows.
    for (int row = 0; row < m_list->size(); ++row)
        QCOMPARE(m_list->rowOfKey(m_list->at(row).Key), row);
}

void TestListOperations::sortMovesSelectionWithRows()
{
    appendRows(*m_list, { row(1, {}, u"3"_s), row(1, {}, u"1"_s), row(1, {}, u"2"_s) });
    const QPersistentModelIndex watched = m_list->index(0, DownloadList::SizeColumn);
    SortRowsByColumn(*m_list, DownloadList::SizeColumn, Qt::AscendingOrder);
    QCOMPARE(
        columnTexts(*m_list, DownloadList::SizeColumn), (QStringList { u"1"_s, u"2"_s, u"3"_s }));
    QCOMPARE(watched.row(), 2);
    QCOMPARE(watched.data().toString(), QStringLiteral("3"));
}

void TestListOperations::shuffleOneRow()
{
    appendRows(*m_list, { row(Status::Completed, {}, u"5"_s).named(u"only"_s) });
    ShuffleRows(*m_list, *QRandomGenerator::global());
    QCOMPARE(m_list->size(), 1);
    QCOMPARE(m_list->at(0).Name, QStringLiteral("only"));
    QCOMPARE(m_list->at(0).Size, QStringLiteral("5"));
    QCOMPARE(m_list->at(0).StatusCode, Status::Completed);
}

void TestListOperations::shuffleIsUniform()
{
    appendRows(*m_list, { row(1).named(u"a"_s), row(1).named(u"b"_s), row(1).named(u"c"_s) });
    QRandomGenerator random(20261210);
    QHash<QString, int> seen;
    const int runs = 6000;
    for (int i = 0; i < runs; ++i) {
        ShuffleRows(*m_list, random);
        ++seen[columnTexts(*m_list, DownloadList::NameColumn).join(QString())];
    }
    // Every permutation of three rows, each about a sixth of the time; the
    // bounds are more than five standard deviations wide.
    QCOMPARE(seen.size(), 6);
    for (auto it = seen.cbegin(); it != seen.cend(); ++it)
        QVERIFY2(it.value() > 850 && it.value() < 1150, qPrintable(it.key()));
}

void TestListOperations::shuffleMovesAtMostTenThousandRows()
{
    m_tester.reset(); // it checks the whole model after each of 10,005 insertions
    const int rows = ShuffleRoundLimit + 5;
    for (int i = 0; i < rows; ++i)
        QVERIFY(m_list->addItem(QString::number(i), QString::number(i), {}, {}, {}));
    QRandomGenerator random(7);
    ShuffleRows(*m_list, random);

    QSet<QString> keys;
    for (int row = 0; row < rows; ++row)
        keys.insert(m_list->at(row).Key);
    QCOMPARE(keys.size(), rows);
    // Five rows were never drawn: they stay at the front in their order.
    for (int row = 1; row < 5; ++row)
        QVERIFY(m_list->at(row - 1).Key.toInt() < m_list->at(row).Key.toInt());
    int inOrder = 0;
    for (int row = 6; row < rows; ++row)
        inOrder += m_list->at(row - 1).Key.toInt() < m_list->at(row).Key.toInt();
    QVERIFY(inOrder < rows * 3 / 4);
}

void TestListOperations::requeueFamily_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QList<int>>("requeued");
    QTest::addColumn<QStringList>("types");

    // Rows: 0 failed pdf, 1 completed htm, 2 failed HTML, 3 completed xml,
    // 4 waiting htm, 5 completed pdf.
    auto types = [](const char *text) {
        return QString::fromLatin1(text).split(u' ');
    };
    QTest::newRow("failed") << u"failed"_s << QList<int> { 0, 2 }
                            << types("pdf htm xxx xml htm pdf");
    QTest::newRow("web pages, xml counts")
        << u"web"_s << QList<int> { 1, 2, 3 } << types("pdf xxx xxx xxx htm pdf");
    QTest::newRow("failed and web pages, xml does not count")
        << u"failedAndWeb"_s << QList<int> { 0, 1, 2 } << types("pdf xxx xxx xml htm pdf");
    QTest::newRow("selected, only done rows")
        << u"selected"_s << QList<int> { 1, 5 } << types("pdf xxx HTML xml htm pdf");
}

void TestListOperations::requeueFamily()
{
    QFETCH(QString, entry);
    QFETCH(QList<int>, requeued);
    QFETCH(QStringList, types);

    const QList<ListRow> rows {
        row(Status::Failed, u"pdf"_s, u"下载失败"_s),
        row(Status::Completed, u"htm"_s, u"10"_s, u"10"_s, u"100%"_s),
        row(Status::Failed, u"HTML"_s, u"10"_s),
        row(Status::Completed, u"xml"_s, u"10"_s, u"10"_s),
        row(Status::Waiting, u"htm"_s, u"7"_s),
        row(Status::Completed, u"pdf"_s, u"10"_s, u"10"_s),
    };
    appendRows(*m_list, rows);

    int count = 0;
    if (entry == u"failed")
        count = RequeueFailedRows(*m_list);
    else if (entry == u"web")
        count = RequeueWebPageRows(*m_list);
    else if (entry == u"failedAndWeb")
        count = RequeueFailedAndWebPageRows(*m_list);
    else
        count = RequeueSelectedRows(*m_list, { 1, 4, 5, 99 });

    QCOMPARE(count, requeued.size());
    QCOMPARE(columnTexts(*m_list, DownloadList::TypeColumn), types);
    for (int row = 0; row < rows.size(); ++row) {
        const DownloadItem &item = m_list->at(row);
        if (requeued.contains(row)) {
            QCOMPARE(item.StatusCode, Status::Waiting);
            QVERIFY(item.Size.isEmpty() && item.Received.isEmpty() && item.Percent.isEmpty());
        } else {
            QCOMPARE(item.StatusCode, rows.at(row).status);
            QCOMPARE(item.Size, rows.at(row).size);
        }
    }
}

void TestListOperations::requeueFailedHtmlRow()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    QVERIFY(touch(folder + QStringLiteral("name.html")));
    QVERIFY(touch(folder + QStringLiteral("name.xxx")));
    QVERIFY(touch(folder + QStringLiteral("other.pdf")));
    appendRows(*m_list,
        { row(Status::Failed, u"html"_s, u"900"_s, u"900"_s, u"100%"_s)
                .keyed(u"u1|u2|u3"_s)
                .named(u"name"_s)
                .in(folder),
            row(Status::Completed, u"pdf"_s).named(u"other"_s).in(folder) });

    QCOMPARE(RequeueFailedRows(*m_list), 1);
    const DownloadItem &item = m_list->at(0);
    QCOMPARE(item.StatusCode, Status::Waiting);
    QCOMPARE(item.Type, QStringLiteral("xxx"));
    QVERIFY(item.Size.isEmpty() && item.Received.isEmpty() && item.Percent.isEmpty());
    QCOMPARE(item.Key, QStringLiteral("u3|u1|u2"));
    // No file goes before a new one takes its place.
    QVERIFY(QFile::exists(folder + QStringLiteral("name.html")));
    QVERIFY(QFile::exists(folder + QStringLiteral("name.xxx")));
    QVERIFY(QFile::exists(folder + QStringLiteral("other.pdf")));
}

void TestListOperations::requeueNotesOnlyOwnFiles_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<bool>("fileThere");
    QTest::addColumn<QString>("earlierNote"); // a file name in the folder, or empty
    QTest::addColumn<bool>("earlierNoteThere");
    QTest::addColumn<QString>("noteAfter"); // "path", "earlier" or empty

    const QString done = u"100%"_s;
    QTest::newRow("completed row, its file")
        << int(Status::Completed) << done << true << QString() << false << u"path"_s;
    QTest::newRow("completed row, file gone")
        << int(Status::Completed) << done << false << QString() << false << QString();
    QTest::newRow("skipped as present: the file it took for its own")
        << int(Status::Completed) << u"已存在，跳过"_s << true << QString() << false << u"path"_s;
    QTest::newRow("large file skipped: not its file")
        << int(Status::Completed) << u"大文件，跳过"_s << true << QString() << false << QString();
    QTest::newRow("failed row: the file of its name is another's")
        << int(Status::Failed) << QString() << true << QString() << false << QString();
    QTest::newRow("failed retry keeps the note of its file")
        << int(Status::Failed) << QString() << false << u"p.htm"_s << true << u"earlier"_s;
    QTest::newRow("a note of a file that is gone is dropped")
        << int(Status::Failed) << QString() << false << u"p.htm"_s << false << QString();
    QTest::newRow("completed again: the new file is noted")
        << int(Status::Completed) << done << true << u"p.htm"_s << true << u"path"_s;
}

// Queueing a row again deletes nothing; it notes the file a completed row
// holds as the one its next download may replace.
void TestListOperations::requeueNotesOnlyOwnFiles()
{
    QFETCH(int, status);
    QFETCH(QString, percent);
    QFETCH(bool, fileThere);
    QFETCH(QString, earlierNote);
    QFETCH(bool, earlierNoteThere);
    QFETCH(QString, noteAfter);

    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QString path = folder + u"p.pdf"_s;
    const QString earlier = earlierNote.isEmpty() ? QString() : folder + earlierNote;
    if (fileThere)
        QVERIFY(touch(path));
    if (earlierNoteThere)
        QVERIFY(touch(earlier));
    appendRows(
        *m_list, { row(status, u"pdf"_s, u"1"_s, u"1"_s, percent).named(u"p"_s).in(folder) });
    m_list->update(0, [&](DownloadItem &item) { item.ReplaceableFile = earlier; });

    QCOMPARE(RequeueSelectedRows(*m_list, { 0 }), 1);
    const DownloadItem &item = m_list->at(0);
    QCOMPARE(item.StatusCode, Status::Waiting);
    const QString expected = noteAfter == u"path" ? path
        : noteAfter == u"earlier"                 ? earlier
                                                  : QString();
    QCOMPARE(item.ReplaceableFile, expected);
    QCOMPARE(QFile::exists(path), fileThere);
    if (earlierNoteThere)
        QVERIFY(QFile::exists(earlier));
}

void TestListOperations::requeueKeepsKeyThatWouldRepeat()
{
    appendRows(*m_list,
        { row(Status::Failed, u"pdf"_s, u"1"_s).keyed(u"a|b"_s),
            row(Status::Completed).keyed(u"b|a"_s) });
    QCOMPARE(RequeueFailedRows(*m_list), 1);
    QCOMPARE(listKeys(*m_list), (QStringList { u"a|b"_s, u"b|a"_s }));
    QCOMPARE(listStatuses(*m_list), (QList<int> { 1, 3 }));
    QVERIFY(m_list->at(0).Size.isEmpty());
}

void TestListOperations::requeueBelowSize_data()
{
    QTest::addColumn<QList<ListRow>>("rows");
    QTest::addColumn<QList<int>>("requeued");

    QTest::newRow("complete rows below the limit") << QList<ListRow> {
        row(Status::Completed, {}, u"1,234"_s, u"1,234"_s),
        row(Status::Completed, {}, u"1234"_s, u"1000"_s),
        row(Status::Completed, {}, u"未知"_s, u"10"_s),
        row(Status::Failed, {}, u"49999"_s, u"49999"_s),
        row(Status::Completed, {}, u"50000"_s, u"50000"_s),
        row(Status::Waiting, {}, u"10"_s, u"10"_s),
    } << QList<int> { 0, 3 };
}

void TestListOperations::requeueBelowSize()
{
    QFETCH(QList<ListRow>, rows);
    QFETCH(QList<int>, requeued);
    appendRows(*m_list, rows);
    QCOMPARE(RequeueCompleteRowsBelow(*m_list, 50000.0f), requeued.size());
    for (int row = 0; row < rows.size(); ++row) {
        const int expected = requeued.contains(row) ? Status::Waiting : rows.at(row).status;
        QCOMPARE(m_list->at(row).StatusCode, expected);
    }
}

void TestListOperations::removeWalksOverAdjacentRows_data()
{
    QTest::addColumn<QList<int>>("statuses");
    QTest::addColumn<int>("remove");
    QTest::addColumn<QList<int>>("left");

    QTest::newRow("failed 4,4,1,4") << QList<int> { 4, 4, 1, 4 } << 4 << QList<int> { 1 };
    QTest::newRow("completed 3,3,3") << QList<int> { 3, 3, 3 } << 3 << QList<int> {};
    QTest::newRow("none match") << QList<int> { 1, 2 } << 4 << QList<int> { 1, 2 };
}

void TestListOperations::removeWalksOverAdjacentRows()
{
    QFETCH(QList<int>, statuses);
    QFETCH(int, remove);
    QFETCH(QList<int>, left);
    for (const int status : statuses)
        appendRows(*m_list, { row(status) });
    RemoveRowsWithStatus(*m_list, remove);
    QCOMPARE(listStatuses(*m_list), left);
}

void TestListOperations::deleteFilesKeepsRows()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    for (const char *name : { "a.pdf", "b.htm", "c.XML", "d.htm" })
        QVERIFY(touch(folder + QLatin1String(name)));
    appendRows(*m_list,
        { row(Status::Failed, u"pdf"_s, u"1"_s).named(u"a"_s).in(folder),
            row(Status::Completed, u"htm"_s, u"1"_s, u"1"_s, u"100%"_s).named(u"b"_s).in(folder),
            row(Status::Failed, u"XML"_s, u"1"_s).named(u"c"_s).in(folder),
            row(Status::Waiting, u"htm"_s, u"1"_s).named(u"d"_s).in(folder),
            row(Status::Completed, u"htm"_s, u"1"_s).named(u"e"_s).in(folder + u"missing/"_s) });

    QCOMPARE(DeleteWebPageRowFiles(*m_list), 3);
    QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList { u"a.pdf"_s, u"d.htm"_s }));
    QCOMPARE(columnTexts(*m_list, DownloadList::SizeColumn),
        (QStringList { u"1"_s, {}, {}, u"1"_s, {} }));
    QCOMPARE(listStatuses(*m_list), (QList<int> { 4, 3, 4, 1, 3 }));

    QCOMPARE(DeleteFailedRowFiles(*m_list), 2);
    QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList { u"d.htm"_s }));
    QCOMPARE(m_list->size(), 5);
}

void TestListOperations::cancelOnlyWaitingSelectedRows()
{
    appendRows(*m_list, { row(1), row(1), row(2), row(3), row(1) });
    QCOMPARE(CancelWaitingRows(*m_list, { 0, 2, 3, 4, -1 }), 2);
    QCOMPARE(listStatuses(*m_list), (QList<int> { 4, 1, 2, 3, 4 }));
}

void TestListOperations::markMissingFiles()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    QVERIFY(touch(folder + QStringLiteral("here.pdf")));
    QVERIFY(touch(folder + QStringLiteral("bare")));
    QVERIFY(QDir(folder).mkdir(QStringLiteral("dir.pdf")));
    appendRows(*m_list,
        { row(3, u"pdf"_s, {}, u"5"_s).named(u"here"_s).in(folder),
            row(3, u"pdf"_s, {}, u"5"_s).named(u"gone"_s).in(folder),
            row(3, {}, {}, u"5"_s).named(u"bare"_s).in(folder),
            row(1, u"pdf"_s).named(u"dir"_s).in(folder) });
    QCOMPARE(MarkMissingFiles(*m_list), 2);
    const QString absent = u"不存在"_s;
    QCOMPARE(columnTexts(*m_list, DownloadList::ReceivedColumn),
        (QStringList { u"5"_s, absent, u"5"_s, absent }));
    QCOMPARE(listStatuses(*m_list), (QList<int> { 3, 3, 3, 1 }));
}

void TestListOperations::nameListText()
{
    appendRows(*m_list, { row(3).named(u"论文一"_s), row(4).named(u"b"_s), row(1).named(u"c"_s) });
    QCOMPARE(NameListText(*m_list, false), QStringLiteral("论文一\r\nb\r\nc\r\n"));
    QCOMPARE(NameListText(*m_list, true), QStringLiteral("b\r\nc\r\n"));
}

void TestListOperations::replaceInUrls_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("kept");

    QTest::newRow("text mode: case and full width")
        << QStringList { u"http://a/1.pdf|http://b/1.pdf"_s, u"ＨＴＴＰ://c/2"_s } << u"HTTP://"_s
        << u"https://"_s << QStringList { u"https://a/1.pdf|https://b/1.pdf"_s, u"https://c/2"_s }
        << 0;
    QTest::newRow("new key of an unchanged row")
        << QStringList { u"http://a/1"_s, u"http://b/1"_s } << u"a/"_s << u"b/"_s
        << QStringList { u"http://a/1"_s, u"http://b/1"_s } << 1;
    QTest::newRow("two rows onto one key, the first wins")
        << QStringList { u"x/aa1"_s, u"x/a1"_s } << u"a"_s << QString()
        << QStringList { u"x/1"_s, u"x/a1"_s } << 1;
    QTest::newRow("a kept key blocks the next row")
        << QStringList { u"pxy"_s, u"p"_s, u"pxxyy"_s } << u"xy"_s << QString()
        << QStringList { u"pxy"_s, u"p"_s, u"pxxyy"_s } << 2;
    QTest::newRow("a row takes the old key of a row that moves on")
        << QStringList { u"a"_s, u"aa"_s } << u"a"_s << u"aa"_s
        << QStringList { u"aa"_s, u"aaaa"_s } << 0;
    QTest::newRow("nothing found") << QStringList { u"k1"_s, u"k2"_s } << u"zz"_s << u"y"_s
                                   << QStringList { u"k1"_s, u"k2"_s } << 0;
}

void TestListOperations::replaceInUrls()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, find);
    QFETCH(QString, replacement);
    QFETCH(QStringList, expected);
    QFETCH(int, kept);

    for (const QString &key : keys)
        appendRows(*m_list, { row(1).keyed(key).referring(key) });
    const UrlReplaceResult result = ReplaceInUrls(*m_list, find, replacement);
    QCOMPARE(listKeys(*m_list), expected);
    QCOMPARE(result.keptKeys, kept);
    for (int row = 0; row < m_list->size(); ++row) {
        QCOMPARE(m_list->rowOfKey(expected.at(row)), row);
        // The referring page is replaced even where the key was kept.
        QCOMPARE(m_list->at(row).Referer,
            textReplace(keys.at(row), find, replacement, CompareMode::Text));
    }
}

QTEST_GUILESS_MAIN(TestListOperations)
#include "tst_listoperations.moc"
