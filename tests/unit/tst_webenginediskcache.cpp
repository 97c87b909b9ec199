#include "DiskCacheWriter.h"
#include "TestFiles.h"
#include "cachetools/WebEngineDiskCache.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

SyntheticCacheEntry entryFor(const QString &url, const QByteArray &body = "<p>hello</p>")
{
    return DiskCacheWriter::entryFor(url, body);
}

} // namespace

class TestWebEngineDiskCache : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void urlOfKey_data();
    void urlOfKey();
    void readsEntryFields();
    void listsCompleteEntriesOnly();
    void everyTruncationIsRejected();
    void missingOrEmptyFolderIsEmptyCache();
    void findsPlainAndSitePrefixedKeys();
    void removeDeletesEveryFileOfTheUrl();
    void decodesBody_data();
    void decodesBody();
};

void TestWebEngineDiskCache::urlOfKey_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QString>("url");
    QTest::newRow("plain") << QByteArray("1/0/http://a.test/x.pdf")
                           << QStringLiteral("http://a.test/x.pdf");
    QTest::newRow("split cache") << QByteArray(
        "1/0/_dk_http://a.test http://a.test http://b.test/y")
                                 << QStringLiteral("http://b.test/y");
    QTest::newRow("no prefix") << QByteArray("http://a.test/z")
                               << QStringLiteral("http://a.test/z");
    QTest::newRow("slashes of the url itself") << QByteArray("a/b/c") << QStringLiteral("a/b/c");
    QTest::newRow("utf-8 path") << QByteArray("1/0/http://a.test/\xe6\x96\x87.pdf")
                                << QStringLiteral("http://a.test/文.pdf");
}

void TestWebEngineDiskCache::urlOfKey()
{
    QFETCH(QByteArray, key);
    QFETCH(QString, url);
    QCOMPARE(WebEngineDiskCache::urlOfKey(key), url);
}

void TestWebEngineDiskCache::readsEntryFields()
{
    QTemporaryDir dir;
    SyntheticCacheEntry synthetic
        = entryFor(QStringLiteral("http://a.test/doc.pdf"), "%PDF-1.4 body");
    synthetic.headerLines
        = { "HTTP/1.1 200 OK", "Content-Type: application/pdf", "content-length:  13 " };
    const QString path = DiskCacheWriter::write(dir.path(), synthetic);

    const auto entry = WebEngineDiskCache::readEntryFile(path);
    QVERIFY(entry);
    QCOMPARE(entry->url, QStringLiteral("http://a.test/doc.pdf"));
    QCOMPARE(entry->filePath, path);
    QCOMPARE(entry->bodySize, 13);
    QCOMPARE(entry->statusLine, QByteArray("HTTP/1.1 200 OK"));
    QCOMPARE(entry->header("CONTENT-TYPE"), QByteArray("application/pdf"));
    QCOMPARE(entry->header("Content-Length"), QByteArray("13"));
    QCOMPARE(entry->header("Content-Encoding"), QByteArray());
    QCOMPARE(WebEngineDiskCache::readBody(*entry), QByteArray("%PDF-1.4 body"));

    // Without the key's SHA-256 the info stream ends 32 bytes later.
    synthetic.keySha256 = false;
    const auto noSha = WebEngineDiskCache::parseEntry(DiskCacheWriter::entryBytes(synthetic));
    QVERIFY(noSha);
    QCOMPARE(noSha->bodySize, 13);
    QCOMPARE(noSha->header("Content-Type"), QByteArray("application/pdf"));
}

void TestWebEngineDiskCache::listsCompleteEntriesOnly()
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    DiskCacheWriter::write(folder, entryFor(QStringLiteral("http://a.test/1")));
    DiskCacheWriter::write(folder, entryFor(QStringLiteral("http://a.test/2")));
    SyntheticCacheEntry writing = entryFor(QStringLiteral("http://a.test/being-written"));
    writing.endRecords = false;
    DiskCacheWriter::write(folder, writing);
    const QByteArray whole
        = DiskCacheWriter::entryBytes(entryFor(QStringLiteral("http://a.test/3")));
    writeFile(folder + QStringLiteral("/00000000000000aa_0"), whole.left(whole.size() - 7));
    writeFile(folder + QStringLiteral("/00000000000000bb_0"), QByteArray(4096, '\xff'));
    writeFile(folder + QStringLiteral("/00000000000000cc_0"), QByteArray());
    // Side files and the index are not entries, even when they parse.
    writeFile(folder + QStringLiteral("/00000000000000dd_1"), whole);
    writeFile(folder + QStringLiteral("/index"), whole);
    QDir(folder).mkpath(QStringLiteral("index-dir"));

    bool ok = false;
    const QList<DiskCacheEntry> entries = WebEngineDiskCache(folder).entries(&ok);
    QVERIFY(ok);
    QStringList urls;
    for (const DiskCacheEntry &entry : entries)
        urls << entry.url;
    urls.sort();
    QCOMPARE(urls,
        QStringList({ QStringLiteral("http://a.test/1"), QStringLiteral("http://a.test/2") }));
}

void TestWebEngineDiskCache::everyTruncationIsRejected()
{
    SyntheticCacheEntry synthetic
        = entryFor(QStringLiteral("http://a.test/t"), QByteArray(100, 'x'));
    const QByteArray whole = DiskCacheWriter::entryBytes(synthetic);
    QVERIFY(WebEngineDiskCache::parseEntry(whole));
    for (qsizetype length = 0; length < whole.size(); ++length) {
        if (WebEngineDiskCache::parseEntry(whole.left(length)))
            QFAIL(qPrintable(QStringLiteral("a %1-byte prefix parsed").arg(length)));
    }
    // A key length pointing past the end, and a stream size larger than the file.
    QByteArray badKey = whole;
    qToLittleEndian(quint32(0x7fffffff), badKey.data() + 12);
    QVERIFY(!WebEngineDiskCache::parseEntry(badKey));
    QByteArray badStream = whole;
    qToLittleEndian(quint32(0xfffffff0), badStream.data() + badStream.size() - 8);
    QVERIFY(!WebEngineDiskCache::parseEntry(badStream));
}

void TestWebEngineDiskCache::missingOrEmptyFolderIsEmptyCache()
{
    QTemporaryDir dir;
    bool ok = false;
    QVERIFY(WebEngineDiskCache(dir.filePath(QStringLiteral("gone"))).entries(&ok).isEmpty());
    QVERIFY(ok);
    QVERIFY(WebEngineDiskCache(QString()).entries(&ok).isEmpty());
    QVERIFY(ok);
    QVERIFY(!WebEngineDiskCache(dir.path()).find(QStringLiteral("http://a.test/")));
}

void TestWebEngineDiskCache::findsPlainAndSitePrefixedKeys()
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QString plainUrl = QStringLiteral("http://a.test/plain.pdf");
    const QString plainPath = DiskCacheWriter::write(folder, entryFor(plainUrl));
    SyntheticCacheEntry prefixed;
    prefixed.key = "1/0/_dk_http://a.test http://a.test http://b.test/inner.js";
    prefixed.body = "var x;";
    const QString prefixedPath = DiskCacheWriter::write(folder, prefixed);

    const WebEngineDiskCache cache(folder);
    QCOMPARE(cache.find(plainUrl)->filePath, plainPath);
    QCOMPARE(cache.find(QStringLiteral("http://b.test/inner.js"))->filePath, prefixedPath);
    QVERIFY(!cache.find(QStringLiteral("http://a.test/other")));
}

void TestWebEngineDiskCache::removeDeletesEveryFileOfTheUrl()
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QString url = QStringLiteral("http://b.test/shared.css");
    const QString plain = DiskCacheWriter::write(folder, entryFor(url));
    SyntheticCacheEntry prefixed = entryFor(url);
    prefixed.key = "1/0/_dk_http://c.test http://c.test " + url.toUtf8();
    const QString other = DiskCacheWriter::write(folder, prefixed);
    const QString kept
        = DiskCacheWriter::write(folder, entryFor(QStringLiteral("http://b.test/kept")));
    const QString side = plain.chopped(1) + QLatin1Char('1');
    const QString sparse = plain.chopped(1) + QLatin1Char('s');
    writeFile(side, "side data");
    writeFile(sparse, "ranges");

    const WebEngineDiskCache cache(folder);
    QVERIFY(cache.remove(url));
    for (const QString &path : { plain, other, side, sparse })
        QVERIFY2(!QFile::exists(path), qPrintable(path));
    QVERIFY(QFile::exists(kept));
    QVERIFY(!cache.remove(url));
}

void TestWebEngineDiskCache::decodesBody_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray text = QByteArray("%PDF-1.7 ").repeated(40000); // several read pieces
    QTest::newRow("identity") << QByteArray() << text << true << text;
    QTest::newRow("gzip") << QByteArray("gzip") << DiskCacheWriter::gzip(text) << true << text;
    QTest::newRow("x-gzip, any case")
        << QByteArray("X-GZIP") << DiskCacheWriter::gzip(text) << true << text;
    QTest::newRow("deflate, zlib wrapped")
        << QByteArray("deflate") << DiskCacheWriter::compress(text, MAX_WBITS) << true << text;
    QTest::newRow("deflate, raw") << QByteArray("deflate")
                                  << DiskCacheWriter::compress(text, -MAX_WBITS) << true << text;
    QTest::newRow("unknown coding stays as stored")
        << QByteArray("br") << QByteArray("\x1b\x00\x01") << true << QByteArray("\x1b\x00\x01");
    QTest::newRow("empty gzip body") << QByteArray("gzip") << QByteArray() << true << QByteArray();
    QTest::newRow("corrupt gzip") << QByteArray("gzip") << QByteArray("not gzip at all") << false
                                  << QByteArray();
    QTest::newRow("cut gzip") << QByteArray("gzip") << DiskCacheWriter::gzip(text).left(200)
                              << false << QByteArray();
}

void TestWebEngineDiskCache::decodesBody()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, stored);
    QFETCH(bool, ok);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    SyntheticCacheEntry synthetic = entryFor(QStringLiteral("http://a.test/body"), stored);
    if (!encoding.isEmpty())
        synthetic.headerLines.append("Content-Encoding: " + encoding);
    const auto entry
        = WebEngineDiskCache::readEntryFile(DiskCacheWriter::write(dir.path(), synthetic));
    QVERIFY(entry);
    QCOMPARE(entry->bodySize, stored.size());
    bool decoded = !ok;
    const QByteArray body = WebEngineDiskCache::readBody(*entry, &decoded);
    QCOMPARE(decoded, ok);
    QCOMPARE(body, expected);

    // Written a slice at a time, any slice size gives the same bytes; a
    // slice may end anywhere inside a compressed run.
    for (const qint64 slice : { 7, 4096, 65537 }) {
        QByteArray sliced;
        QBuffer out(&sliced);
        QVERIFY(out.open(QIODevice::WriteOnly));
        DiskCacheBodyWriter writer(*entry, out);
        DiskCacheBodyWriter::Step step;
        int calls = 0;
        do {
            step = writer.writeSome(slice);
            ++calls;
        } while (step == DiskCacheBodyWriter::Step::More);
        QCOMPARE(step == DiskCacheBodyWriter::Step::Done, ok);
        if (ok) {
            QCOMPARE(sliced, expected);
            QVERIFY(calls >= (stored.size() + expected.size()) / (2 * slice));
        }
    }
}

QTEST_GUILESS_MAIN(TestWebEngineDiskCache)
#include "tst_webenginediskcache.moc"
