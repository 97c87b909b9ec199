#include "download/FileTypeDetection.h"

#include "common/FileNameHelpers.h"
#include "common/TextMode.h"
#include "platform/UserDialogs.h"

#include <QFile>

#include <array>
#include <cerrno>
#include <initializer_list>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 kHeadLimit = 10240;

struct Signature
{
    std::initializer_list<unsigned char> bytes;
    const char *type;
};

// Compared in this order, the first match wins. The JPEG/Exif entry has
// further bytes, checked in detectSignature.
const std::array<Signature, 18> kSignatures { {
    { { 0x25, 0x50, 0x44, 0x46 }, "pdf" },
    { { 0xC8, 0x00, 0x00, 0x00 }, "caj" },
    { { 0x43, 0x41, 0x4A, 0x00 }, "kdh" },
    { { 0x4B, 0x44, 0x48, 0x20 }, "kdh" },
    { { 0x48, 0x4E, 0x00, 0x00 }, "nh" },
    { { 0x49, 0x49, 0x2A, 0x00 }, "tif" },
    { { 0x4D, 0x5A }, "exe" },
    { { 0x52, 0x61, 0x72, 0x21 }, "rar" },
    { { 0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x00, 0x00, 0x08 }, "zip" },
    { { 0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x06, 0x00, 0x08, 0x00 }, "docx" },
    { { 0x43, 0x57, 0x53, 0x06 }, "swf" },
    { { 0x2E, 0x52, 0x4D, 0x46 }, "rm" },
    { { 0x30, 0x26, 0xB2, 0x75, 0x8E }, "wma" },
    { { 0x49, 0x44, 0x33, 0x03 }, "mp3" },
    { { 0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A }, "png" },
    { { 0x47, 0x49, 0x46, 0x38, 0x39, 0x61 }, "gif" },
    { { 0xFF, 0xD8, 0xFF, 0xE1 }, "jpg" },
    { { 0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46 }, "jpg" },
} };
constexpr std::size_t kExifIndex = 16;
// Tried last: the OLE compound file, whose bytes at 512 tell doc, xls and ppt.
const Signature kOle { { 0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1 }, "" };

// Positions 0..n of the file; positions past its end read as 0.
class Head
{
public:
    Head(QByteArrayView bytes, qint64 n) : m_bytes(bytes), m_n(n) { }
    qint64 n() const { return m_n; }
    unsigned char at(qint64 pos) const
    {
        return pos < m_bytes.size() ? static_cast<unsigned char>(m_bytes[pos]) : 0;
    }
    bool matches(qint64 pos, std::initializer_list<unsigned char> bytes) const
    {
        for (const unsigned char b : bytes) {
            if (at(pos++) != b)
                return false;
        }
        return true;
    }

private:
    QByteArrayView m_bytes;
    qint64 m_n;
};

enum class Outcome { Found, NoType, OutOfRange };

// Runs the signature table in order. OutOfRange: a test needed a position
// beyond n, which ends the whole detection with no type.
Outcome detectSignature(const Head &head, QString *type)
{
    for (std::size_t i = 0; i < kSignatures.size(); ++i) {
        const Signature &sig = kSignatures[i];
        if (qint64(sig.bytes.size()) - 1 > head.n())
            return Outcome::OutOfRange;
        if (!head.matches(0, sig.bytes))
            continue;
        if (i == kExifIndex) {
            if (head.n() < 15)
                return Outcome::OutOfRange;
            // Big-endian Exif only; another layout gets no type here.
            if (!head.matches(6, { 0x45, 0x78, 0x69, 0x66 })
                || !head.matches(12, { 0x4D, 0x4D, 0x00, 0x2A }))
                continue;
        }
        *type = QString::fromLatin1(sig.type);
        return Outcome::Found;
    }
    if (qint64(kOle.bytes.size()) - 1 > head.n())
        return Outcome::OutOfRange;
    if (!head.matches(0, kOle.bytes))
        return Outcome::NoType;
    if (head.n() < 515)
        return Outcome::OutOfRange;
    if (head.matches(512, { 0xEC, 0xA5, 0xC1, 0x00 }))
        *type = QStringLiteral("doc");
    else if (head.matches(512, { 0x09, 0x08, 0x10, 0x00 }))
        *type = QStringLiteral("xls");
    else if (head.at(515) == 0xF0)
        *type = QStringLiteral("ppt");
    else
        return Outcome::NoType;
    return Outcome::Found;
}

bool looksLikeWebPage(const Utf8TextSearch &text)
{
    return (text.contains("<html "_L1) || text.contains("html>"_L1))
        && (text.contains("<title>"_L1) || text.contains("<head>"_L1)
            || text.contains("<body>"_L1));
}

bool looksLikeDownloadDescriptor(const Utf8TextSearch &text)
{
    static constexpr QLatin1StringView kMarkers[] = { "A1="_L1, "[TARGET]"_L1, "A2="_L1, "B1="_L1,
        "B2="_L1, "C1="_L1, "C2="_L1, "D1="_L1, "D2="_L1, "DOCTYPE="_L1 };
    for (const QLatin1StringView marker : kMarkers) {
        if (!text.contains(marker))
            return false;
    }
    return true;
}

// The file's text as the system's 8-bit code page reads it, ready for
// text-mode searches. That code page is UTF-8 everywhere but on Windows.
Utf8TextSearch localText(const QByteArray &bytes)
{
#ifdef Q_OS_WIN
    return Utf8TextSearch(QString::fromLocal8Bit(bytes).toUtf8());
#else
    return Utf8TextSearch(bytes);
#endif
}

// Everything after the signature table; a read failure keeps what was found.
QString detectType(qint64 length, const ReadAt &readAt)
{
    const qint64 n = qMin(length, kHeadLimit);
    // Positions 0..n in one read: position n is a real byte when the file
    // goes on. Small files are read whole here and never again.
    const QByteArray start = readAt(0, qMin(length, n + 1));
    if (start.size() < n)
        return {};
    QString type;
    if (detectSignature(Head(QByteArrayView(start).first(n), n), &type) == Outcome::OutOfRange)
        return {};
    if (!type.isEmpty())
        return type;

    if (length > 128) {
        const QByteArray tail
            = length <= start.size() ? start.sliced(length - 128) : readAt(length - 128, 128);
        if (tail.size() != 128)
            return {};
        if (tail.startsWith("TAG"))
            return QStringLiteral("mp3");
    }
    if (length >= 200 * 1024)
        return {};
    // The text is the n bytes and the one after them, which reads as 0 when
    // the file ends there; a 0 neither ends a character nor starts a word, so
    // it need not be added. One folding serves both searches.
    const Utf8TextSearch text = localText(start);
    if (looksLikeWebPage(text))
        return QStringLiteral("htm");
    // Below 3 KB the first read held the whole file.
    if (length < 3 * 1024 && looksLikeDownloadDescriptor(text))
        return QStringLiteral("caa");
    return {};
}

} // namespace

QString 打开文件判断文件类型(const QString &path)
{
    if (!FileExists(path))
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return detectType(file.size(), [&file](qint64 offset, qint64 length) {
        return file.seek(offset) ? file.read(length) : QByteArray();
    }).toLower();
}

QString DetectFileType(qint64 length, const ReadAt &readAt)
{
    return detectType(length, readAt).toLower();
}

bool CorrectFileType(DownloadItem &row)
{
    const QString oldType = row.Type.toLower();
    const QString current = row.savedFilePath();
    if (!FileExists(current))
        return false;
    const QString newType = 打开文件判断文件类型(current);
    if (newType.isEmpty() || newType.toUpper() == oldType.toUpper())
        return false;
    // A new name is made with link(), which never replaces what stands there
    // and never writes through a link; a name taken meanwhile gives the next.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString target = UniqueFileName(row.Folder + row.Name + QLatin1Char('.') + newType);
        if (::link(QFile::encodeName(current).constData(), QFile::encodeName(target).constData())
            != 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        ::unlink(QFile::encodeName(current).constData());
        // The base is the target's name without ".type": exact even when the
        // old name carried spaces at an end, which a trimming split would lose.
        const QString fileName = target.mid(row.Folder.size());
        row.Type = newType;
        row.Name = fileName.left(fileName.size() - newType.size() - 1);
        return true;
    }
    return false;
}

void OpenFileAndShowType(UserDialogs &dialogs)
{
    const QString path = dialogs.openFileName(QStringLiteral("*.*|*.*"));
    if (path.isEmpty())
        return;
    const QString type = 打开文件判断文件类型(path);
    dialogs.message(
        type.isEmpty() ? QStringLiteral("目前还无法判断。") : QStringLiteral("文件类型为：") + type,
        UserDialogs::Style::Information);
}
