#include "DiskCacheWriter.h"
#include "FakeDialogs.h"
#include "TestFiles.h"
#include "cachetools/BrowserCacheTool.h"
#include "cachetools/WebEngineDiskCache.h"
#include "common/FileNameHelpers.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QTest>

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
    void clearBrowserCache();
    void clearBrowserCacheWithNoCacheAtAll();
    void filesForCopyAreTheDecodedBodies();

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
    QVERIFY(!QFileInfo(link).isSymLink());
    QCOMPARE(readFile(outside), QByteArray("precious"));
    QVERIFY(!(QFileInfo(outside).permissions() & QFile::WriteOwner));
}

void TestBrowserCacheTool::clearBrowserCache()
{
    FakeDialogs dialogs;
    int profileCleared = 0;
    ClearBrowserCache(locations(), dialogs, true, [&profileCleared] { ++profileCleared; });
    QCOMPARE(profileCleared, 1);
    // The cookie URL outlives my cache's run, not the run over all caches.
    QVERIFY(WebEngineDiskCache(cacheOf(QStringLiteral("alice"))).entries().isEmpty());
    QStringList left;
    ListFiles(cacheOf(QStringLiteral("bob")), left, true);
    QCOMPARE(left, QStringList(cacheOf(QStringLiteral("bob")) + QStringLiteral("/readme.TXT")));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QStringLiteral("IE缓存清空完毕！"));
    QCOMPARE(dialogs.messages[0].style, UserDialogs::Style::Information);

    FakeDialogs quiet;
    ClearBrowserCache(locations(), quiet, false);
    QVERIFY(quiet.messages.isEmpty());
}

void TestBrowserCacheTool::clearBrowserCacheWithNoCacheAtAll()
{
    FakeDialogs dialogs;
    const QString nowhere = m_dir.path() + QStringLiteral("/nobody");
    ClearBrowserCache({ nowhere + QStringLiteral("/cache"), nowhere }, dialogs, true);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QStringLiteral("IE缓存清空完毕！"));
}

void TestBrowserCacheTool::filesForCopyAreTheDecodedBodies()
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
    const QStringList files = tool.filesForCopy(rows, out.path());
    QStringList names;
    for (const QString &file : files) {
        QVERIFY(file.startsWith(out.path()));
        names << QFileInfo(file).fileName();
    }
    names.sort();
    QCOMPARE(names,
        QStringList({ QStringLiteral("index.html"), QStringLiteral("paper.pdf"),
            QStringLiteral("paper.pdf"), QStringLiteral("set.txt"), QStringLiteral("style.css") }));
    QStringList bodies;
    for (const QString &file : files)
        bodies << QString::fromLatin1(readFile(file));
    QVERIFY(bodies.contains(QStringLiteral("%PDF-1.7 zipped")));
    QVERIFY(bodies.contains(QStringLiteral("%PDF-1.4 paper")));
    QCOMPARE(
        QFileInfo(files[0]).lastModified(), QFileInfo(list.row(rows[0]).filePath).lastModified());

    // Files that are not cache entries are handed on as they are; rows without a file give nothing.
    tool.listAllCaches();
    const int text
        = int(column(*tool.fileList(), CacheFileList::FilePathColumn)
                  .indexOf(cacheOf(QStringLiteral("bob")) + QStringLiteral("/readme.TXT")));
    QCOMPARE(
        tool.filesForCopy({ text }, out.path()), QStringList(tool.fileList()->row(text).filePath));
    tool.fileList()->setFile(text, {}, -1);
    QVERIFY(tool.filesForCopy({ text }, out.path()).isEmpty());
}

QTEST_GUILESS_MAIN(TestBrowserCacheTool)
#include "tst_browsercachetool.moc"
