#include "DiskCacheWriter.h"
#include "FakeDialogs.h"
#include "TestFiles.h"
#include "cachetools/BrowserCacheClearing.h"
#include "cachetools/BrowserCacheTool.h"
#include "cachetools/WebEngineDiskCache.h"
#include "common/FileNameHelpers.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QString kCacheSubPath
    = QStringLiteral(".cache/Quillmoor/QtWebEngine/Quillmoor/Cache/Cache_Data");

SyntheticCacheEntry entryFor(
    const QString &url, const QByteArray &body, const QByteArray &contentType = "application/pdf")
{
    return DiskCacheWriter::entryFor(url, body, contentType);
}

QStringList column(const CacheFileList &list, int column)
{
    QStringList values;
    for (int row = 0; row < list.rowCount(); ++row)
        values << list.data(list.index(row, column)).toString();
    return values;
}

int rowOf(const CacheFileList &list, const QString &text)
{
    return int(column(list, CacheFileList::UrlColumn).indexOf(text));
}

// Waits for a delete run to end (it starts on the next turn of the event loop).
bool deletionEnds(BrowserCacheTool &tool)
{
    if (!tool.isBusy())
        return true;
    QSignalSpy finished(&tool, &BrowserCacheTool::deleteFinished);
    return finished.wait(10000);
}

struct CopyOut
{
    QStringList files;
    QStringList dropped;
};

CopyOut copyOut(BrowserCacheTool &tool, const QList<int> &rows, const QString &folder)
{
    QSignalSpy finished(&tool, &BrowserCacheTool::copyOutFinished);
    tool.copyOut(rows, folder);
    if (!finished.wait(10000))
        return {};
    return { finished[0][0].toStringList(), finished[0][1].toStringList() };
}

bool clearingEnds(BrowserCacheClearing &clearing)
{
    QSignalSpy finished(&clearing, &BrowserCacheClearing::finished);
    clearing.start();
    return finished.wait(10000);
}

// Counts the turns of the event loop while it runs.
struct LoopTurns
{
    LoopTurns()
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { ++turns; });
        timer.start();
    }
    QTimer timer;
    int turns = 0;
};

} // namespace

// A home folder "alice" beside "bob" and "carol"; the program's cache lies
// in alice's home, bob has a cache at the same place, carol has none.
class TestBrowserCacheTool : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();

    void listsMyCache();
    void entryWhoseFileIsGoneKeepsItsRow();
    void listsAllCaches();
    void cacheOutsideHomeListsNothing();
    void sortsSizesAsNumbersAndTextWithoutCase();
    void deletingMyCacheRowsKeepsCookieUrls();
    void deletingAllCachesKeepsTextFilesAndTidiesFolders();
    void deletingMyCacheStillTidiesEarlierFolders();
    void deletingALinkLeavesItsTarget();
    void linkedCacheFoldersAreNeverFollowed_data();
    void linkedCacheFoldersAreNeverFollowed();
    void deletingRunsInSlicesWithProgress();
    void deletingARowRemovesOnlyItsOwnEntry();
    void clearBrowserCache();
    void clearBrowserCacheWithNoCacheAtAll();
    void copyOutGivesDecodedBodiesAndNamesTheDropped();
    void copyOutWritesALargeBodyInSlices();

private:
    BrowserCacheLocations locations() const;
    QString cacheOf(const QString &user) const
    {
        return m_dir.path() + QStringLiteral("/home/") + user + u'/' + kCacheSubPath;
    }

    QTemporaryDir m_dir;
    QString m_pdfEntry;
    QString m_cookieEntry;
};

BrowserCacheLocations TestBrowserCacheTool::locations() const
{
    const QString home = m_dir.path() + QStringLiteral("/home/alice");
    return { home + u'/' + kCacheSubPath, home };
}

void TestBrowserCacheTool::init()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    const QString mine = cacheOf(QStringLiteral("alice"));
    m_pdfEntry = DiskCacheWriter::write(
        mine, entryFor(QStringLiteral("http://a.test/content/paper.pdf"), "%PDF-1.4 paper"));
    m_cookieEntry = DiskCacheWriter::write(
        mine, entryFor(QStringLiteral("http://a.test/set?COOKIE=1"), "ok", "text/plain"));
    DiskCacheWriter::write(
        mine, entryFor(QStringLiteral("http://a.test/style.css"), "body{}", "text/css"));
    SyntheticCacheEntry writing = entryFor(QStringLiteral("http://a.test/half.pdf"), "%PDF");
    writing.endRecords = false;
    DiskCacheWriter::write(mine, writing);
    QVERIFY(writeFile(mine + QStringLiteral("/index-dir/the-real-index"), "idx"));

    const QString bob = cacheOf(QStringLiteral("bob"));
    QVERIFY(writeFile(bob + QStringLiteral("/0123456789abcdef_0"), QByteArray(10, 'b')));
    QVERIFY(writeFile(bob + QStringLiteral("/readme.TXT"), "keep me"));
    QVERIFY(writeFile(bob + QStringLiteral("/index-dir/the-real-index"), "12345"));
    QVERIFY(writeFile(bob + QStringLiteral("/old/deeper/9.bin"), QByteArray(9, 'n')));
    QVERIFY(QDir().mkpath(bob + QStringLiteral("/empty/inner")));
    QVERIFY(QDir().mkpath(m_dir.path() + QStringLiteral("/home/carol/.cache")));
}

void TestBrowserCacheTool::listsMyCache()
{
    BrowserCacheTool tool(locations());
    QAbstractItemModelTester tester(tool.fileList());
    QCOMPARE(tool.countText(), QStringLiteral("000"));
    tool.listMyCache();
    const CacheFileList &list = *tool.fileList();
    QCOMPARE(tool.tag(), QStringLiteral("我的缓存"));
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(tool.countText(), QStringLiteral("共有3 个文件"));
    const int pdf = rowOf(list, QStringLiteral("http://a.test/content/paper.pdf"));
    QVERIFY(pdf >= 0);
    QCOMPARE(list.row(pdf).type, QStringLiteral("pdf"));
    QCOMPARE(list.row(pdf).size, 14); // the body, not the entry file
    QCOMPARE(list.row(pdf).filePath, m_pdfEntry);
    QCOMPARE(list.row(rowOf(list, QStringLiteral("http://a.test/style.css"))).type,
        QStringLiteral("css"));
    QVERIFY(tool.userCacheFolders().isEmpty());
}

void TestBrowserCacheTool::entryWhoseFileIsGoneKeepsItsRow()
{
    BrowserCacheTool tool(locations());
    tool.listMyCache();
    QVERIFY(QFile::remove(m_pdfEntry));
    tool.判断文件在缓存中文件路径();
    const CacheFileList &list = *tool.fileList();
    const int pdf = rowOf(list, QStringLiteral("http://a.test/content/paper.pdf"));
    QVERIFY(pdf >= 0);
    QCOMPARE(list.data(list.index(pdf, CacheFileList::SizeColumn)).toString(), QString());
    QCOMPARE(list.row(pdf).filePath, QString());
    QCOMPARE(list.rowCount(), 3);
}

void TestBrowserCacheTool::listsAllCaches()
{
    BrowserCacheTool tool(locations());
    tool.listAllCaches();
    QCOMPARE(tool.tag(), QStringLiteral("所有缓存"));
    const QList<BrowserCacheTool::UserCacheFolder> users = tool.userCacheFolders();
    QCOMPARE(users.size(), 2);
    QCOMPARE(users[0].userName, QStringLiteral("alice"));
    QCOMPARE(users[0].folder, cacheOf(QStringLiteral("alice")) + u'/');
    QCOMPARE(users[1].userName, QStringLiteral("bob"));
    QCOMPARE(tool.ProfileFolders.size(), 3);
    const QString bob = cacheOf(QStringLiteral("bob"));
    for (const char *sub : { "/empty", "/empty/inner", "/index-dir", "/old", "/old/deeper" })
        QVERIFY2(tool.CacheFolders.contains(bob + QLatin1String(sub)), sub);

    const CacheFileList &list = *tool.fileList();
    // alice: four entry files and the index; bob: four files.
    QCOMPARE(list.rowCount(), 9);
    QCOMPARE(tool.countText(), QStringLiteral("共有9 个文件"));
    const int text = int(
        column(list, CacheFileList::FilePathColumn).indexOf(bob + QStringLiteral("/readme.TXT")));
    QVERIFY(text >= 0);
    QCOMPARE(list.row(text).text, QStringLiteral("用户:bob"));
    QCOMPARE(list.row(text).type, QStringLiteral("TXT"));
    QCOMPARE(list.row(text).size, 7);
}

void TestBrowserCacheTool::cacheOutsideHomeListsNothing()
{
    BrowserCacheTool tool(
        { cacheOf(QStringLiteral("alice")), m_dir.path() + QStringLiteral("/home/bob") });
    tool.listAllCaches();
    QCOMPARE(tool.fileList()->rowCount(), 0);
    QCOMPARE(tool.countText(), QStringLiteral("共有0 个文件"));
    // The home itself as the cache would make whole homes count as caches.
    BrowserCacheTool home({ m_dir.path() + QStringLiteral("/home/alice"),
        m_dir.path() + QStringLiteral("/home/alice") });
    home.listAllCaches();
    QCOMPARE(home.fileList()->rowCount(), 0);
}

void TestBrowserCacheTool::sortsSizesAsNumbersAndTextWithoutCase()
{
    CacheFileList list;
    QAbstractItemModelTester tester(&list);
    list.setRows({ { QStringLiteral("b"), {}, 10, {} }, { QStringLiteral("C"), {}, 9, {} },
        { QStringLiteral("a"), {}, -1, {} }, { QStringLiteral("D"), {}, 100, {} } });
    list.sortByColumn(CacheFileList::SizeColumn);
    QCOMPARE(list.sortOrder(), Qt::DescendingOrder);
    QCOMPARE(column(list, CacheFileList::SizeColumn),
        QStringList(
            { QStringLiteral("100"), QStringLiteral("10"), QStringLiteral("9"), QString() }));
    list.sortByColumn(CacheFileList::SizeColumn);
    QCOMPARE(column(list, CacheFileList::SizeColumn),
        QStringList(
            { QString(), QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("100") }));
    // The order toggles on every click, whichever column.
    list.sortByColumn(CacheFileList::UrlColumn);
    QCOMPARE(list.sortColumn(), int(CacheFileList::UrlColumn));
    QCOMPARE(column(list, CacheFileList::UrlColumn),
        QStringList({ QStringLiteral("D"), QStringLiteral("C"), QStringLiteral("b"),
            QStringLiteral("a") }));
    list.sortByColumn(CacheFileList::UrlColumn);
    QCOMPARE(column(list, CacheFileList::UrlColumn),
        QStringList({ QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("C"),
            QStringLiteral("D") }));
}

void TestBrowserCacheTool::deletingMyCacheRowsKeepsCookieUrls()
{
    BrowserCacheTool tool(locations());
    tool.listMyCache();
    const CacheFileList &list = *tool.fileList();
    tool.deleteRows({ rowOf(list, QStringLiteral("http://a.test/set?COOKIE=1")),
        rowOf(list, QStringLiteral("http://a.test/content/paper.pdf")) });
    QVERIFY(deletionEnds(tool));
    QVERIFY(!QFile::exists(m_pdfEntry));
    QVERIFY(QFile::exists(m_cookieEntry));
    QCOMPARE(tool.tag(), QStringLiteral("我的缓存"));
    QCOMPARE(list.rowCount(), 2);
    QCOMPARE(rowOf(list, QStringLiteral("http://a.test/content/paper.pdf")), -1);
    QCOMPARE(tool.countText(), QStringLiteral("共有2 个文件"));
}

void TestBrowserCacheTool::deletingAllCachesKeepsTextFilesAndTidiesFolders()
{
    const QString bob = cacheOf(QStringLiteral("bob"));
    QVERIFY(QFile::setPermissions(bob + QStringLiteral("/0123456789abcdef_0"), QFile::ReadOwner));
    BrowserCacheTool tool(locations());
    tool.listAllCaches();
    tool.deleteAll();
    QVERIFY(deletionEnds(tool));

    QVERIFY(!QFile::exists(bob + QStringLiteral("/0123456789abcdef_0")));
    QVERIFY(QFile::exists(bob + QStringLiteral("/readme.TXT")));
    for (const char *gone : { "/old", "/empty", "/index-dir" })
        QVERIFY2(!QFileInfo::exists(bob + QLatin1String(gone)), gone);
    QVERIFY(QFileInfo::exists(bob)); // a profile's cache folder itself stays
    QCOMPARE(tool.tag(), QStringLiteral("所有缓存"));
    QCOMPARE(tool.fileList()->rowCount(), 1);
    QCOMPARE(tool.fileList()->row(0).filePath, bob + QStringLiteral("/readme.TXT"));
}

void TestBrowserCacheTool::deletingMyCacheStillTidiesEarlierFolders()
{
    const QString bob = cacheOf(QStringLiteral("bob"));
    BrowserCacheTool tool(locations());
    tool.listAllCaches();
    tool.listMyCache();
    tool.deleteAll();
    QVERIFY(deletionEnds(tool));
    QVERIFY(!QFileInfo::exists(bob + QStringLiteral("/empty")));
    QVERIFY(QFile::exists(bob + QStringLiteral("/old/deeper/9.bin")));
    QVERIFY(QFile::exists(bob + QStringLiteral("/0123456789abcdef_0")));
    QVERIFY(!QFile::exists(m_pdfEntry));
    QVERIFY(QFile::exists(m_cookieEntry));
    QCOMPARE(tool.fileList()->rowCount(), 1);
}

void TestBrowserCacheTool::deletingALinkLeavesItsTarget()
{
    const QString outside = m_dir.path() + QStringLiteral("/precious.dat");
    QVERIFY(writeFile(outside, "precious"));
    QVERIFY(QFile::setPermissions(outside, QFile::ReadOwner));
    const QString link = cacheOf(QStringLiteral("bob")) + QStringLiteral("/link_0");
    QVERIFY(QFile::link(outside, link));
    BrowserCacheTool tool(locations());
    tool.listAllCaches();
    tool.deleteAll();
    QVERIFY(deletionEnds(tool));
    QVERIFY(!QFileInfo(link).isSymLink());
    QCOMPARE(readFile(outside), QByteArray("precious"));
    QVERIFY(!(QFileInfo(outside).permissions() & QFile::WriteOwner));
}

void TestBrowserCacheTool::linkedCacheFoldersAreNeverFollowed_data()
{
    using namespace Qt::StringLiterals;
    // What is a link in mallory's home, below home/mallory; it points to the
    // same place in a folder of files that are not mallory's to delete.
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("listed"); // mallory's cache is listed at all
    QTest::addColumn<bool>("swapAfterListing");

    QTest::newRow("the profile folder") << QString() << false << false;
    QTest::newRow("a folder on the way") << u".cache"_s << false << false;
    QTest::newRow("the cache folder itself") << kCacheSubPath << false << false;
    QTest::newRow("a folder inside the cache") << kCacheSubPath + u"/sub"_s << true << false;
    QTest::newRow("a folder inside, swapped in after the listing")
        << kCacheSubPath + u"/sub"_s << true << true;
    QTest::newRow("the cache folder, swapped in after the listing")
        << kCacheSubPath << true << true;
}

void TestBrowserCacheTool::linkedCacheFoldersAreNeverFollowed()
{
    QFETCH(QString, link);
    QFETCH(bool, listed);
    QFETCH(bool, swapAfterListing);
    // Mallory's own files have the names of files there, so a deletion that
    // follows a link swapped in after the listing would meet them.
    const QString victim = m_dir.path() + QStringLiteral("/victim/");
    const QString mallory = m_dir.path() + QStringLiteral("/home/mallory/");
    QStringList precious;
    for (const char *name : { "/0123456789abcdef_0", "/sub/paper.pdf", "/victim-only.pdf" }) {
        precious << victim + kCacheSubPath + QLatin1String(name);
        QVERIFY(writeFile(precious.last(), "precious"));
    }
    for (const char *name : { "/0123456789abcdef_0", "/sub/paper.pdf" })
        QVERIFY(writeFile(mallory + kCacheSubPath + QLatin1String(name), "own"));
    const auto plantLink = [&] {
        const QString at = link.isEmpty() ? mallory.chopped(1) : mallory + link;
        return QDir(at).removeRecursively() && QFile::link(victim + link, at);
    };
    if (!swapAfterListing)
        QVERIFY(plantLink());

    BrowserCacheTool tool(locations());
    tool.listAllCaches();
    QStringList users;
    for (const auto &user : tool.userCacheFolders())
        users << user.userName;
    QCOMPARE(users.contains(QStringLiteral("mallory")), listed);
    for (const QString &file : column(*tool.fileList(), CacheFileList::FilePathColumn))
        QVERIFY2(!file.endsWith(QStringLiteral("victim-only.pdf")), qPrintable(file));
    if (swapAfterListing)
        QVERIFY(plantLink());
    tool.deleteAll();
    QVERIFY(deletionEnds(tool));

    for (const QString &file : precious)
        QCOMPARE(readFile(file), QByteArray("precious"));
    QVERIFY(QFileInfo(mallory + link).isSymLink() || link.isEmpty());
    // The run did delete what lies in the caches.
    QVERIFY(!QFile::exists(cacheOf(QStringLiteral("bob")) + QStringLiteral("/0123456789abcdef_0")));
}

void TestBrowserCacheTool::deletingRunsInSlicesWithProgress()
{
    const QString mine = cacheOf(QStringLiteral("alice"));
    for (int i = 0; i < 250; ++i) {
        DiskCacheWriter::write(
            mine, entryFor(QStringLiteral("http://c.test/%1.pdf").arg(i), QByteArray::number(i)));
    }
    BrowserCacheTool tool(locations());
    tool.listMyCache();
    const int total = tool.fileList()->rowCount();
    QCOMPARE(total, 253);

    QSignalSpy progress(&tool, &BrowserCacheTool::progress);
    QSignalSpy busy(&tool, &BrowserCacheTool::busyChanged);
    LoopTurns loop;
    tool.deleteAll();
    QVERIFY(tool.isBusy());
    QVERIFY(WebEngineDiskCache(mine).entries().size() == total); // nothing before the first slice
    QVERIFY(deletionEnds(tool));

    // The event loop ran between the slices, each slice a bounded batch.
    QVERIFY2(loop.turns >= 2, qPrintable(QString::number(loop.turns)));
    QVERIFY(progress.size() >= 1 + total / BrowserCacheTool::RowsPerSlice);
    int last = -1;
    for (const QList<QVariant> &step : std::as_const(progress)) {
        QCOMPARE(step[1].toInt(), total);
        QVERIFY(step[0].toInt() >= last);
        QVERIFY(step[0].toInt() - qMax(last, 0) <= BrowserCacheTool::RowsPerSlice);
        last = step[0].toInt();
    }
    QCOMPARE(last, total);
    QCOMPARE(busy.size(), 2);
    QVERIFY(!tool.isBusy());
    // Only the cookie URL is left, listed again.
    QCOMPARE(WebEngineDiskCache(mine).entries().size(), 1);
    QCOMPARE(tool.fileList()->rowCount(), 1);
}

// Two entries of one URL (split-cache keys) are two rows; each row knows its
// own entry file, so deleting one row leaves the other entry.
void TestBrowserCacheTool::deletingARowRemovesOnlyItsOwnEntry()
{
    const QString mine = cacheOf(QStringLiteral("alice"));
    const QString url = QStringLiteral("http://a.test/content/paper.pdf");
    SyntheticCacheEntry other = entryFor(url, "%PDF-1.4 other site");
    other.key = "1/0/_dk_http://b.test http://b.test " + url.toUtf8();
    const QString otherFile = DiskCacheWriter::write(mine, other);
    QVERIFY(writeFile(m_pdfEntry.chopped(1) + u's', "ranges"));

    BrowserCacheTool tool(locations());
    tool.listMyCache();
    QList<int> rows;
    for (int row = 0; row < tool.fileList()->rowCount(); ++row) {
        if (tool.fileList()->row(row).text == url)
            rows << row;
    }
    QCOMPARE(rows.size(), 2);
    const int mineRow = tool.fileList()->row(rows[0]).filePath == m_pdfEntry ? rows[0] : rows[1];
    QCOMPARE(tool.fileList()->row(mineRow).filePath, m_pdfEntry);
    tool.deleteRows({ mineRow });
    QVERIFY(deletionEnds(tool));
    QVERIFY(!QFile::exists(m_pdfEntry));
    QVERIFY(!QFile::exists(m_pdfEntry.chopped(1) + u's'));
    QVERIFY(QFile::exists(otherFile));
    QCOMPARE(column(*tool.fileList(), CacheFileList::UrlColumn).count(url), 1);
    QCOMPARE(tool.fileList()->row(rowOf(*tool.fileList(), url)).filePath, otherFile);
}

void TestBrowserCacheTool::clearBrowserCache()
{
    FakeDialogs dialogs;
    int profileCleared = 0;
    BrowserCacheClearing clearing(
        locations(), dialogs, true, [&profileCleared] { ++profileCleared; });
    QSignalSpy progress(&clearing, &BrowserCacheClearing::progress);
    QVERIFY(clearingEnds(clearing));
    QVERIFY(!clearing.isRunning());
    QCOMPARE(profileCleared, 1);
    // The cookie URL outlives my cache's run, not the run over all caches.
    QVERIFY(WebEngineDiskCache(cacheOf(QStringLiteral("alice"))).entries().isEmpty());
    QStringList left;
    ListFiles(cacheOf(QStringLiteral("bob")), left, true);
    QCOMPARE(left, QStringList(cacheOf(QStringLiteral("bob")) + QStringLiteral("/readme.TXT")));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QStringLiteral("IE缓存清空完毕！"));
    QCOMPARE(dialogs.messages[0].style, UserDialogs::Style::Information);
    // Both runs reported their end: my cache's 3 rows, then all caches' rows.
    QVERIFY(progress.contains(QVariantList({ 3, 3 })));
    QCOMPARE(progress.last()[0], progress.last()[1]);

    FakeDialogs quiet;
    BrowserCacheClearing again(locations(), quiet, false);
    QVERIFY(clearingEnds(again));
    QVERIFY(quiet.messages.isEmpty());
}

void TestBrowserCacheTool::clearBrowserCacheWithNoCacheAtAll()
{
    FakeDialogs dialogs;
    const QString nowhere = m_dir.path() + QStringLiteral("/nobody");
    BrowserCacheClearing clearing({ nowhere + QStringLiteral("/cache"), nowhere }, dialogs, true);
    QVERIFY(clearingEnds(clearing));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QStringLiteral("IE缓存清空完毕！"));
}

void TestBrowserCacheTool::copyOutGivesDecodedBodiesAndNamesTheDropped()
{
    const QString mine = cacheOf(QStringLiteral("alice"));
    SyntheticCacheEntry zipped
        = entryFor(QStringLiteral("http://b.test/other/paper.pdf?download=1"),
            DiskCacheWriter::gzip("%PDF-1.7 zipped"));
    zipped.headerLines.append("Content-Encoding: gzip");
    DiskCacheWriter::write(mine, zipped);
    DiskCacheWriter::write(
        mine, entryFor(QStringLiteral("http://b.test/"), "<html>", "text/html; charset=utf-8"));
    SyntheticCacheEntry broken = entryFor(QStringLiteral("http://b.test/broken.pdf"), "not gzip");
    broken.headerLines.append("Content-Encoding: gzip");
    DiskCacheWriter::write(mine, broken);

    BrowserCacheTool tool(locations());
    tool.listMyCache();
    const CacheFileList &list = *tool.fileList();
    QList<int> rows;
    for (int row = 0; row < list.rowCount(); ++row)
        rows << row;
    QTemporaryDir out;
    const CopyOut result = copyOut(tool, rows, out.path());
    QStringList names;
    for (const QString &file : result.files) {
        QVERIFY(file.startsWith(out.path()));
        names << QFileInfo(file).fileName();
    }
    names.sort();
    QCOMPARE(names,
        QStringList({ QStringLiteral("index.html"), QStringLiteral("paper.pdf"),
            QStringLiteral("paper.pdf"), QStringLiteral("set.txt"), QStringLiteral("style.css") }));
    QCOMPARE(result.dropped, QStringList(QStringLiteral("http://b.test/broken.pdf")));
    QStringList bodies;
    for (const QString &file : result.files)
        bodies << QString::fromLatin1(readFile(file));
    QVERIFY(bodies.contains(QStringLiteral("%PDF-1.7 zipped")));
    QVERIFY(bodies.contains(QStringLiteral("%PDF-1.4 paper")));
    QCOMPARE(QFileInfo(result.files[0]).lastModified(),
        QFileInfo(list.row(rows[0]).filePath).lastModified());
    // What could not be decoded leaves nothing behind.
    QStringList written;
    ListFiles(out.path(), written, true);
    QCOMPARE(written.size(), result.files.size());
    QVERIFY(CopyOutDroppedText(result.dropped)
                .startsWith(
                    QStringLiteral("1 个缓存文件无法读出，没有复制：\nhttp://b.test/broken.pdf")));

    // Files that are not cache entries are handed on as they are; rows without a file give nothing.
    tool.listAllCaches();
    const int text
        = int(column(*tool.fileList(), CacheFileList::FilePathColumn)
                  .indexOf(cacheOf(QStringLiteral("bob")) + QStringLiteral("/readme.TXT")));
    QCOMPARE(copyOut(tool, { text }, out.path()).files,
        QStringList(tool.fileList()->row(text).filePath));
    tool.fileList()->setFile(text, {}, -1);
    QVERIFY(copyOut(tool, { text }, out.path()).files.isEmpty());
}

void TestBrowserCacheTool::copyOutWritesALargeBodyInSlices()
{
    const QString mine = cacheOf(QStringLiteral("alice"));
    QByteArray big(2 * BrowserCacheTool::BytesPerSlice + 123, Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 + i / 4099);
    SyntheticCacheEntry zipped
        = entryFor(QStringLiteral("http://d.test/big.pdf"), DiskCacheWriter::gzip(big));
    zipped.headerLines.append("Content-Encoding: gzip");
    DiskCacheWriter::write(mine, zipped);
    DiskCacheWriter::write(mine, entryFor(QStringLiteral("http://d.test/plain.bin"), big));

    BrowserCacheTool tool(locations());
    tool.listMyCache();
    QList<int> rows;
    for (const char *url : { "http://d.test/big.pdf", "http://d.test/plain.bin" })
        rows << rowOf(*tool.fileList(), QLatin1String(url));
    QTemporaryDir out;
    LoopTurns loop;
    const CopyOut result = copyOut(tool, rows, out.path());
    QCOMPARE(result.files.size(), 2);
    QVERIFY(result.dropped.isEmpty());
    for (const QString &file : result.files)
        QVERIFY(readFile(file) == big);
    // At least two slices for each body, the event loop between them.
    QVERIFY2(loop.turns >= 4, qPrintable(QString::number(loop.turns)));
}

QTEST_GUILESS_MAIN(TestBrowserCacheTool)
#include "tst_browsercachetool.moc"
