// The browser's disk-cache entries: any bytes are either a complete entry
// whose parts lie inside the file, or refused; decoding a body never reads
// past the entry.

#include "DiskCacheWriter.h"
#include "FuzzTarget.h"
#include "cachetools/WebEngineDiskCache.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<QTemporaryDir> g_cacheDir;

QList<QByteArray> entrySeeds()
{
    using namespace DiskCacheWriter;
    SyntheticCacheEntry plain
        = entryFor(u"http://a.test/paper.pdf"_s, "%PDF-1.7 body", "application/pdf");
    SyntheticCacheEntry split = entryFor(u"http://b.test/x.js"_s, "var x;");
    split.key = "1/0/_dk_http://a.test http://a.test http://b.test/x.js";
    split.keySha256 = false;
    SyntheticCacheEntry zipped = entryFor(u"http://a.test/z.html"_s, gzip("<html>zipped</html>"));
    zipped.headerLines.append("Content-Encoding: gzip");
    SyntheticCacheEntry deflated = entryFor(u"http://a.test/d"_s, compress("deflated", -15));
    deflated.headerLines.append("Content-Encoding: deflate");
    SyntheticCacheEntry writing = plain;
    writing.endRecords = false;
    return { entryBytes(plain), entryBytes(split), entryBytes(zipped), entryBytes(deflated),
        entryBytes(writing), QByteArray() };
}

const QList<QByteArray> kTokens = { QByteArray("\x30\x5c\x72\xa7\x1b\x6d\xfb\xfc", 8),
    QByteArray("\xd8\x41\x0d\x97\x45\x6f\xfa\xf4", 8), QByteArray("\x05\x00\x00\x00", 4),
    QByteArray("\xff\xff\xff\xff", 4), "HTTP/1.1 200 OK", "Content-Encoding: gzip",
    "Content-Encoding: deflate", QByteArray("\x1f\x8b\x08\x00", 4), "1/0/_dk_" };

void checkEntry(const FuzzInput &in, const DiskCacheEntry &entry)
{
    const qint64 size = in.bytes().size();
    in.require(
        entry.bodyOffset >= 24 && entry.bodySize >= 0 && entry.bodyOffset + entry.bodySize <= size,
        u"the body lies outside the entry"_s);
    in.require(!entry.key.isEmpty() && entry.bodyOffset == 24 + entry.key.size(),
        u"the key does not end where the body starts"_s);
    in.require(entry.url == WebEngineDiskCache::urlOfKey(entry.key), u"the URL is not the key's"_s);
    in.require(entry.statusLine.startsWith("HTTP/"), u"the status line is not one"_s);
}

const int entryParsing = addFuzzTarget({ u"DiskCacheEntry"_s, entrySeeds(),
    [](const FuzzInput &in) {
        if (const auto entry = WebEngineDiskCache::parseEntry(in.bytes()))
            checkEntry(in, *entry);
    },
    kTokens, 1000, {}, {} });

// The same bytes as an entry file, listed and decoded.
const int entryFile = addFuzzTarget({ u"DiskCacheEntryFile"_s, entrySeeds(),
    [](const FuzzInput &in) {
        const QString path = g_cacheDir->filePath(u"0123456789abcdef_0"_s);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        file.write(in.bytes());
        file.close();
        const QList<DiskCacheEntry> entries = WebEngineDiskCache(g_cacheDir->path()).entries();
        in.require(entries.size() <= 1, u"one file gave several entries"_s);
        if (entries.isEmpty())
            return;
        checkEntry(in, entries.first());
        bool ok = false;
        const QByteArray body = WebEngineDiskCache::readBody(entries.first(), &ok);
        if (entries.first().header("Content-Encoding").isEmpty()) {
            in.require(
                ok && body == in.bytes().mid(entries.first().bodyOffset, entries.first().bodySize),
                u"a plain body is not the stored bytes"_s);
        }
        in.require(ok || body.isEmpty(), u"a failed decoding gave bytes"_s);
    },
    kTokens, 100, [] { g_cacheDir = std::make_unique<QTemporaryDir>(); },
    [] {
        g_cacheDir.reset();
    } });

} // namespace
