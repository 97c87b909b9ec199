#include "DiskCacheWriter.h"
#include "FixtureServer.h"
#include "cachetools/WebEngineDiskCache.h"

#include <QApplication>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineProfile>

// Pages loaded by the real engine leave a disk cache that the reader lists,
// finds by URL and decodes.
class TestWebEngineCache : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void readsTheEnginesOwnCache();

private:
    QTemporaryDir m_dir;
    FixtureServer m_server;
};

void TestWebEngineCache::initTestCase()
{
    QVERIFY(m_server.listen());
    const QByteArray cacheable = "max-age=3600";
    m_server.route("/page.html",
        FixtureServer::Response::ok(
            "<html><body><img src='/figure.png'><script src='/app.js'></script></body></html>",
            "text/html; charset=utf-8")
            .withHeader("Cache-Control", cacheable));
    m_server.route("/figure.png",
        FixtureServer::Response::ok(
            QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(3000, 'p'), "image/png")
            .withHeader("Cache-Control", cacheable));
    m_server.route("/app.js",
        FixtureServer::Response::ok(
            DiskCacheWriter::gzip(QByteArray("var figureLoaded = 1;\n").repeated(200)),
            "application/javascript")
            .withHeader("Content-Encoding", "gzip")
            .withHeader("Cache-Control", cacheable));
}

void TestWebEngineCache::readsTheEnginesOwnCache()
{
    const QString cacheRoot = m_dir.filePath(QStringLiteral("cache"));
    const QString cacheFolder = cacheRoot + QStringLiteral("/Cache/Cache_Data");
    {
        QWebEngineProfile profile(QStringLiteral("Quillmoor"));
        profile.setPersistentStoragePath(m_dir.filePath(QStringLiteral("data")));
        profile.setCachePath(cacheRoot);
        QVERIFY(profile.httpCacheType() == QWebEngineProfile::DiskHttpCache);
        QWebEnginePage page(&profile);
        QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
        page.load(m_server.url(QStringLiteral("/page.html")));
        QVERIFY(loaded.wait(30000));
        QVERIFY(loaded.first().first().toBool());

        // Entries are written after the responses: wait until all three are complete.
        const WebEngineDiskCache cache(cacheFolder);
        QTRY_VERIFY_WITH_TIMEOUT(cache.entries().size() >= 3, 30000);
    }

    const WebEngineDiskCache cache(cacheFolder);
    const QList<DiskCacheEntry> entries = cache.entries();
    QStringList urls;
    for (const DiskCacheEntry &entry : entries)
        urls << entry.url;
    for (const char *path : { "/page.html", "/figure.png", "/app.js" })
        QVERIFY2(urls.contains(m_server.urlText(QLatin1String(path))), qPrintable(urls.join(u' ')));

    const auto page = cache.find(m_server.urlText(QStringLiteral("/page.html")));
    QVERIFY(page);
    QVERIFY(page->statusLine.contains("200"));
    // The file name follows from the key, so a URL is found without a scan.
    QCOMPARE(QFileInfo(page->filePath).fileName(), WebEngineDiskCache::entryFileName(page->key));
    QCOMPARE(page->header("Content-Type"), QByteArray("text/html; charset=utf-8"));
    QVERIFY(WebEngineDiskCache::readBody(*page).contains("<img src='/figure.png'>"));

    const auto figure = cache.find(m_server.urlText(QStringLiteral("/figure.png")));
    QVERIFY(figure);
    QCOMPARE(figure->bodySize, 3008);
    QVERIFY(WebEngineDiskCache::readBody(*figure).startsWith("\x89PNG"));

    const auto script = cache.find(m_server.urlText(QStringLiteral("/app.js")));
    QVERIFY(script);
    QCOMPARE(script->header("Content-Encoding"), QByteArray("gzip"));
    bool ok = false;
    QCOMPARE(WebEngineDiskCache::readBody(*script, &ok),
        QByteArray("var figureLoaded = 1;\n").repeated(200));
    QVERIFY(ok);

    QVERIFY(cache.remove(m_server.urlText(QStringLiteral("/figure.png"))));
    QVERIFY(!cache.find(m_server.urlText(QStringLiteral("/figure.png"))));
    QCOMPARE(cache.entries().size(), entries.size() - 1);
}

QTEST_MAIN(TestWebEngineCache)
#include "tst_webenginecache.moc"
