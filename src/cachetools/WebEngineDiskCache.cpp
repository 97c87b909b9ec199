#include "cachetools/WebEngineDiskCache.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

#include <cctype>
#include <limits>
#include <zlib.h>

namespace {

constexpr quint64 kHeaderMagic = 0xfcfb6d1ba7725c30ULL;
constexpr quint64 kEndMagic = 0xf4fa6f45970d41d8ULL;
constexpr quint32 kVersion = 5;
constexpr qint64 kHeaderSize = 24;
constexpr qint64 kEndRecordSize = 24;
constexpr qint64 kKeySha256Size = 32;
constexpr quint32 kEndHasKeySha256 = 2;
// Bounds far above real entries; they keep a damaged length field from
// making the reader allocate the moon.
constexpr quint32 kMaxKeyLength = 1 << 20;
constexpr qint64 kMaxResponseInfoSize = 16 << 20;
constexpr qint64 kChunk = 256 * 1024;

template<typename T> T readLE(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<T>(bytes.constData() + at);
}

bool readAt(QIODevice &device, qint64 offset, qint64 length, QByteArray &out)
{
    if (!device.seek(offset))
        return false;
    out = device.read(length);
    return out.size() == length;
}

void parseHeaders(const QByteArray &raw, DiskCacheEntry &entry)
{
    const QList<QByteArray> lines = raw.split('\0');
    bool first = true;
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        if (first) {
            entry.statusLine = line;
            first = false;
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        entry.headers.append({ line.left(colon).trimmed(), line.mid(colon + 1).trimmed() });
    }
}

// Stream 0 is a pickle: payload size, flags, request time, response time,
// then the raw headers as a length-prefixed string.
bool parseResponseInfo(const QByteArray &info, DiskCacheEntry &entry)
{
    if (info.size() < 28)
        return false;
    const quint32 length = readLE<quint32>(info, 24);
    if (length > quint32(info.size() - 28))
        return false;
    const QByteArray raw = info.mid(28, length);
    if (!raw.startsWith("HTTP/"))
        return false;
    parseHeaders(raw, entry);
    return true;
}

std::optional<DiskCacheEntry> parseDevice(QIODevice &device, qint64 size)
{
    if (size < kHeaderSize + 2 * kEndRecordSize)
        return std::nullopt;
    QByteArray header;
    if (!readAt(device, 0, kHeaderSize, header) || readLE<quint64>(header, 0) != kHeaderMagic
        || readLE<quint32>(header, 8) != kVersion)
        return std::nullopt;
    const quint32 keyLength = readLE<quint32>(header, 12);
    if (keyLength == 0 || keyLength > kMaxKeyLength
        || keyLength > size - kHeaderSize - 2 * kEndRecordSize)
        return std::nullopt;

    QByteArray last;
    if (!readAt(device, size - kEndRecordSize, kEndRecordSize, last)
        || readLE<quint64>(last, 0) != kEndMagic)
        return std::nullopt;
    const quint32 flags = readLE<quint32>(last, 8);
    const qint64 infoSize = readLE<quint32>(last, 16);
    const qint64 shaSize = (flags & kEndHasKeySha256) ? kKeySha256Size : 0;
    const qint64 infoOffset = size - kEndRecordSize - shaSize - infoSize;
    const qint64 bodyOffset = kHeaderSize + keyLength;
    if (infoSize > kMaxResponseInfoSize || infoOffset - kEndRecordSize < bodyOffset)
        return std::nullopt;

    QByteArray bodyEnd;
    if (!readAt(device, infoOffset - kEndRecordSize, kEndRecordSize, bodyEnd)
        || readLE<quint64>(bodyEnd, 0) != kEndMagic)
        return std::nullopt;

    DiskCacheEntry entry;
    QByteArray info;
    if (!readAt(device, kHeaderSize, keyLength, entry.key)
        || !readAt(device, infoOffset, infoSize, info) || !parseResponseInfo(info, entry))
        return std::nullopt;
    entry.url = WebEngineDiskCache::urlOfKey(entry.key);
    entry.bodyOffset = bodyOffset;
    entry.bodySize = infoOffset - kEndRecordSize - bodyOffset;
    return entry;
}

enum class Coding { None, Gzip, Deflate };

Coding codingOf(const DiskCacheEntry &entry)
{
    const QByteArray value = entry.header("Content-Encoding").toLower();
    if (value == "gzip" || value == "x-gzip")
        return Coding::Gzip;
    if (value == "deflate")
        return Coding::Deflate;
    return Coding::None;
}

// Inflates the body piece by piece, so memory stays flat for large files.
class Inflater
{
public:
    explicit Inflater(Coding coding) : m_coding(coding) { }
    ~Inflater()
    {
        if (m_started)
            inflateEnd(&m_stream);
    }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;

    // Takes the next piece of the compressed body; it is inflated by drain().
    bool setInput(const QByteArray &input)
    {
        if (!m_started && !start(input))
            return false;
        m_input = input; // zlib reads from it until it is drained
        m_stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(m_input.constData()));
        m_stream.avail_in = uInt(m_input.size());
        return true;
    }
    // Input is left that may give more output; bytes after the end of the
    // stream are ignored.
    bool pending() const { return m_stream.avail_in > 0 && !m_ended; }

    // Inflates pending input and writes out at most about `maxOut` bytes (a
    // small body can stand for a very large one); -1 when the stream is
    // corrupt or the output cannot be written.
    qint64 drain(QIODevice &out, qint64 maxOut)
    {
        qint64 total = 0;
        char buffer[64 * 1024];
        while (pending() && total < maxOut) {
            m_stream.next_out = reinterpret_cast<Bytef *>(buffer);
            m_stream.avail_out = uInt(qMin<qint64>(sizeof buffer, maxOut - total));
            const uInt room = m_stream.avail_out;
            const int result = inflate(&m_stream, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
                return -1;
            const qint64 produced = qint64(room - m_stream.avail_out);
            if (produced > 0 && out.write(buffer, produced) != produced)
                return -1;
            total += produced;
            if (result == Z_STREAM_END)
                m_ended = true;
            else if (result == Z_BUF_ERROR && produced == 0)
                return -1;
        }
        return total;
    }
    bool ended() const { return m_ended; }

private:
    bool start(const QByteArray &input)
    {
        int windowBits = 16 + MAX_WBITS;
        if (m_coding == Coding::Deflate) {
            // "deflate" is meant as zlib-wrapped, but servers send raw deflate too.
            const bool zlibHeader = input.size() >= 2 && (uchar(input[0]) & 0x0f) == 8
                && ((uchar(input[0]) << 8) | uchar(input[1])) % 31 == 0;
            windowBits = zlibHeader ? MAX_WBITS : -MAX_WBITS;
        }
        m_stream = {};
        if (inflateInit2(&m_stream, windowBits) != Z_OK)
            return false;
        m_started = true;
        return true;
    }

    Coding m_coding;
    z_stream m_stream {};
    QByteArray m_input;
    bool m_started = false;
    bool m_ended = false;
};

const QRegularExpression &entryFilePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{16}_0$"));
    return pattern;
}

} // namespace

QByteArray DiskCacheEntry::header(const QByteArray &name) const
{
    for (const auto &[headerName, value] : headers) {
        if (headerName.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QList<DiskCacheEntry> WebEngineDiskCache::entries(bool *ok) const
{
    QList<DiskCacheEntry> result;
    const QDir dir(m_folder);
    const bool exists = !m_folder.isEmpty() && dir.exists();
    if (ok)
        *ok = !exists || dir.isReadable();
    if (!exists)
        return result;
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : names) {
        if (!entryFilePattern().match(name).hasMatch())
            continue;
        if (auto entry = readEntryFile(dir.filePath(name)))
            result.append(std::move(*entry));
    }
    return result;
}

std::optional<DiskCacheEntry> WebEngineDiskCache::find(const QString &url) const
{
    if (url.isEmpty() || m_folder.isEmpty())
        return std::nullopt;
    const QString plainFile = QDir(m_folder).filePath(entryFileName(plainKey(url)));
    if (auto entry = readEntryFile(plainFile); entry && entry->url == url)
        return entry;
    const QList<DiskCacheEntry> all = entries();
    for (const DiskCacheEntry &entry : all) {
        if (entry.url == url)
            return entry;
    }
    return std::nullopt;
}

bool WebEngineDiskCache::remove(const QString &url) const
{
    bool removed = false;
    const QList<DiskCacheEntry> all = entries();
    for (const DiskCacheEntry &entry : all) {
        if (entry.url != url)
            continue;
        for (const QString &file : filesOfEntry(entry.filePath))
            QFile::remove(file);
        removed = true;
    }
    return removed;
}

QStringList WebEngineDiskCache::filesOfEntry(const QString &entryFile)
{
    if (!entryFile.endsWith(u"_0"))
        return {};
    const QString stem = entryFile.chopped(1);
    return { entryFile, stem + u'1', stem + u's' };
}

std::optional<DiskCacheEntry> WebEngineDiskCache::readEntryFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    auto entry = parseDevice(file, file.size());
    if (entry)
        entry->filePath = path;
    return entry;
}

std::optional<DiskCacheEntry> WebEngineDiskCache::parseEntry(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parseDevice(buffer, bytes.size());
}

struct DiskCacheBodyWriter::Private
{
    Private(const DiskCacheEntry &entry, QIODevice &out)
        : file(entry.filePath), out(out), coding(codingOf(entry)), inflater(coding),
          left(entry.bodySize), empty(entry.bodySize == 0)
    {
        opened = file.open(QIODevice::ReadOnly) && file.size() >= entry.bodyOffset + entry.bodySize
            && file.seek(entry.bodyOffset);
    }

    QFile file;
    QIODevice &out;
    Coding coding;
    Inflater inflater;
    qint64 left;
    bool empty;
    bool opened = false;
    bool failed = false;
};

DiskCacheBodyWriter::DiskCacheBodyWriter(const DiskCacheEntry &entry, QIODevice &out)
    : d(std::make_unique<Private>(entry, out))
{ }

DiskCacheBodyWriter::~DiskCacheBodyWriter() = default;

DiskCacheBodyWriter::Step DiskCacheBodyWriter::writeSome(qint64 bytes)
{
    if (!d->opened || d->failed)
        return Step::Failed;
    // The budget counts the bytes read and the bytes written out.
    qint64 budget = qMax<qint64>(bytes, 1);
    while (budget > 0) {
        if (d->inflater.pending()) {
            const qint64 produced = d->inflater.drain(d->out, budget);
            if (produced < 0) {
                d->failed = true;
                return Step::Failed;
            }
            budget -= produced;
            continue;
        }
        if (d->left == 0)
            break;
        const QByteArray piece = d->file.read(qMin(qMin(d->left, budget), kChunk));
        if (piece.isEmpty()) {
            d->failed = true;
            return Step::Failed;
        }
        d->left -= piece.size();
        budget -= piece.size();
        const bool taken = d->coding == Coding::None ? d->out.write(piece) == piece.size()
                                                     : d->inflater.setInput(piece);
        if (!taken) {
            d->failed = true;
            return Step::Failed;
        }
    }
    if (d->left > 0 || d->inflater.pending())
        return Step::More;
    // A compressed body must end where its stream ends; an empty one is empty.
    const bool whole = d->coding == Coding::None || d->empty || d->inflater.ended();
    if (!whole)
        d->failed = true;
    return whole ? Step::Done : Step::Failed;
}

bool WebEngineDiskCache::writeBody(const DiskCacheEntry &entry, QIODevice &out)
{
    DiskCacheBodyWriter writer(entry, out);
    DiskCacheBodyWriter::Step step;
    do
        step = writer.writeSome(std::numeric_limits<qint64>::max());
    while (step == DiskCacheBodyWriter::Step::More);
    return step == DiskCacheBodyWriter::Step::Done;
}

QByteArray WebEngineDiskCache::readBody(const DiskCacheEntry &entry, bool *ok)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool written = writeBody(entry, buffer);
    if (ok)
        *ok = written;
    return written ? bytes : QByteArray();
}

QString WebEngineDiskCache::entryFileName(const QByteArray &key)
{
    const QByteArray sha1 = QCryptographicHash::hash(key, QCryptographicHash::Sha1);
    const quint64 hash = qFromLittleEndian<quint64>(sha1.constData());
    return QStringLiteral("%1_0").arg(hash, 16, 16, QLatin1Char('0'));
}

QString WebEngineDiskCache::urlOfKey(const QByteArray &key)
{
    // "1/0/<url>": a credentials flag and an upload id come first. With the
    // split cache the rest is "_dk_<site> <site> <url>".
    QByteArray rest = key;
    const qsizetype first = key.indexOf('/');
    const qsizetype second = first > 0 ? key.indexOf('/', first + 1) : -1;
    if (second > first + 1) {
        bool digits = true;
        for (qsizetype i = 0; i < second; ++i) {
            if (i != first && !std::isdigit(uchar(key[i])))
                digits = false;
        }
        if (digits)
            rest = key.mid(second + 1);
    }
    if (rest.startsWith("_dk_"))
        rest = rest.mid(rest.lastIndexOf(' ') + 1);
    return QString::fromUtf8(rest);
}

QByteArray WebEngineDiskCache::plainKey(const QString &url)
{
    return "1/0/" + url.toUtf8();
}
