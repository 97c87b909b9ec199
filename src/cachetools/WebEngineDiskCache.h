#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QIODevice;

// One complete entry of the browser's disk cache: an entry file
// "<16 hex>_0" holding the key, the response body as received and the
// response info with the headers.
struct DiskCacheEntry
{
    QString url;
    QByteArray key;
    QString filePath; // the entry file
    qint64 bodyOffset = 0; // where the body starts in the entry file
    qint64 bodySize = 0; // bytes as stored (still content-encoded)
    QByteArray statusLine; // "HTTP/1.1 200 OK"
    QList<QPair<QByteArray, QByteArray>> headers;

    // The first header of that name (any case), trimmed; empty when absent.
    QByteArray header(const QByteArray &name) const;
};

// Reads the disk cache of a WebEngine profile (the "simple cache" format).
// Nothing here trusts the files: a truncated, foreign or half-written file is
// passed over, never read out of bounds.
class WebEngineDiskCache
{
public:
    explicit WebEngineDiskCache(QString folder) : m_folder(std::move(folder)) { }

    QString folder() const { return m_folder; }

    // The complete entries, ordered by entry file name. *ok is false when the
    // folder exists but cannot be read; a missing folder is an empty cache.
    QList<DiskCacheEntry> entries(bool *ok = nullptr) const;

    // The entry of a URL: the file its plain key names first, then any entry
    // whose key carries that URL behind a site prefix.
    std::optional<DiskCacheEntry> find(const QString &url) const;

    // Deletes the files of every entry of the URL; false when none was found.
    bool remove(const QString &url) const;

    // The files of the entry whose "_0" file is given: the body and headers
    // live in "_0", side data and ranges in "_1" and "_s".
    static QStringList filesOfEntry(const QString &entryFile);

    // Parses one entry file; nothing when it is not a complete entry.
    static std::optional<DiskCacheEntry> readEntryFile(const QString &path);
    // Parses an entry held in memory (the same checks as readEntryFile).
    static std::optional<DiskCacheEntry> parseEntry(const QByteArray &bytes);

    // Writes the body to `out`, decoded when its Content-Encoding is gzip or
    // deflate; other encodings are written as stored. False on a read error
    // or a corrupt compressed body.
    static bool writeBody(const DiskCacheEntry &entry, QIODevice &out);
    // The same into memory; empty with *ok false on failure.
    static QByteArray readBody(const DiskCacheEntry &entry, bool *ok = nullptr);

    // "<16 hex>_0" for a key, and the URL a key stands for.
    static QString entryFileName(const QByteArray &key);
    static QString urlOfKey(const QByteArray &key);
    // The key the engine gives a URL when no site prefix is used.
    static QByteArray plainKey(const QString &url);

private:
    QString m_folder;
};

// Writes one entry's body out a piece at a time, decoded as writeBody does,
// so that a large body can be written in slices between events.
class DiskCacheBodyWriter
{
public:
    enum class Step { More, Done, Failed };

    DiskCacheBodyWriter(const DiskCacheEntry &entry, QIODevice &out);
    ~DiskCacheBodyWriter();
    DiskCacheBodyWriter(const DiskCacheBodyWriter &) = delete;
    DiskCacheBodyWriter &operator=(const DiskCacheBodyWriter &) = delete;

    // Reads up to `bytes` more of the stored body and writes them out.
    Step writeSome(qint64 bytes);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
