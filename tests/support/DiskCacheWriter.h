#pragma once

#include "cachetools/WebEngineDiskCache.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QtEndian>

#include <zlib.h>

// Writes entry files in the browser's disk-cache layout, so tests can build
// the odd cases the real engine rarely leaves behind.
struct SyntheticCacheEntry
{
    QByteArray key;
    QByteArray body;
    QList<QByteArray> headerLines { "HTTP/1.1 200 OK", "Content-Type: text/html" };
    bool endRecords = true; // false: an entry still being written
    bool keySha256 = true;
};

namespace DiskCacheWriter {

// A complete entry of the URL under its plain key.
inline SyntheticCacheEntry entryFor(
    const QString &url, const QByteArray &body, const QByteArray &contentType = "text/html")
{
    SyntheticCacheEntry entry;
    entry.key = WebEngineDiskCache::plainKey(url);
    entry.body = body;
    entry.headerLines = { "HTTP/1.1 200 OK", "Content-Type: " + contentType };
    return entry;
}

template<typename T> void appendLE(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

inline QByteArray endRecord(quint32 flags, quint32 streamSize)
{
    QByteArray out;
    appendLE<quint64>(out, 0xf4fa6f45970d41d8ULL);
    appendLE<quint32>(out, flags);
    appendLE<quint32>(out, 0);
    appendLE<quint32>(out, streamSize);
    appendLE<quint32>(out, 0);
    return out;
}

inline QByteArray entryBytes(const SyntheticCacheEntry &entry)
{
    QByteArray out;
    appendLE<quint64>(out, 0xfcfb6d1ba7725c30ULL);
    appendLE<quint32>(out, 5);
    appendLE<quint32>(out, quint32(entry.key.size()));
    appendLE<quint32>(out, 0);
    appendLE<quint32>(out, 0);
    out += entry.key;
    out += entry.body;
    if (!entry.endRecords)
        return out;
    out += endRecord(0, quint32(entry.body.size()));

    QByteArray raw;
    for (const QByteArray &line : entry.headerLines)
        raw += line + '\0';
    raw += '\0';
    QByteArray info;
    appendLE<quint32>(info, 0); // payload size, patched below
    appendLE<qint32>(info, 0);
    appendLE<qint64>(info, 13300000000000000LL);
    appendLE<qint64>(info, 13300000000000001LL);
    appendLE<quint32>(info, quint32(raw.size()));
    info += raw;
    while (info.size() % 4)
        info += '\0';
    qToLittleEndian(quint32(info.size() - 4), info.data());
    out += info;
    if (entry.keySha256)
        out += QByteArray(32, '\x5a');
    out += endRecord(entry.keySha256 ? 2 : 0, quint32(info.size()));
    return out;
}

// Writes the entry under the file name its key gives; returns the path.
inline QString write(const QString &folder, const SyntheticCacheEntry &entry)
{
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(WebEngineDiskCache::entryFileName(entry.key));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(entryBytes(entry));
    return path;
}

inline QByteArray compress(const QByteArray &data, int windowBits)
{
    z_stream stream {};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size())) + 32), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}
inline QByteArray gzip(const QByteArray &data)
{
    return compress(data, 16 + MAX_WBITS);
}

} // namespace DiskCacheWriter
