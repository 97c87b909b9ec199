#include "common/DownloadPart.h"

#include "platform/Clock.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kStaleSeconds = 7 * 24 * 3600;
// A sidecar is a few hundred bytes; anything larger is no sidecar of ours.
constexpr qint64 kSidecarLimit = 64 * 1024;

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// A part, its sidecar, or a sidecar's unfinished temporary copy.
const QRegularExpression &partNamePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\.quillmoor-[0-9a-f]{16}\\.part(\\.json(\\.[A-Za-z0-9]{6})?)?$"));
    return pattern;
}

QByteArray readSmallFile(const QString &path)
{
    // Non-blocking: a named pipe planted under the name must not hang us.
    const int fd
        = ::open(encoded(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    QByteArray bytes;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kSidecarLimit) {
        bytes.resize(st.st_size);
        qint64 done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += n;
        }
        bytes.truncate(done);
    }
    ::close(fd);
    return bytes;
}

// "bytes N-M/T": N and T, or false.
bool parseContentRange(const QByteArray &value, qint64 *first, qint64 *total)
{
    const QByteArray text = value.trimmed();
    if (!text.startsWith("bytes "))
        return false;
    const qsizetype dash = text.indexOf('-');
    const qsizetype slash = text.indexOf('/');
    if (dash < 0 || slash < dash)
        return false;
    bool okFirst = false;
    bool okLast = false;
    bool okTotal = false;
    *first = text.mid(6, dash - 6).trimmed().toLongLong(&okFirst);
    const qint64 last = text.mid(dash + 1, slash - dash - 1).trimmed().toLongLong(&okLast);
    *total = text.mid(slash + 1).trimmed().toLongLong(&okTotal);
    return okFirst && okLast && okTotal && *first >= 0 && last >= *first && *total > last;
}

bool identityEncoding(const QByteArray &encoding)
{
    const QByteArray e = encoding.trimmed();
    return e.isEmpty() || e.compare("identity", Qt::CaseInsensitive) == 0;
}

// A validator goes into a request header line as it is: printable ASCII
// only, so no sidecar can add lines to a request.
bool usableValidator(const QByteArray &value)
{
    return !value.isEmpty() && value.size() <= 1024
        && std::all_of(value.cbegin(), value.cend(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

// If-Range needs a strong ETag; a weak one gives way to Last-Modified.
QByteArray validatorOf(const PartAnswer &facts)
{
    const QByteArray etag = facts.etag.trimmed();
    if (usableValidator(etag) && !etag.startsWith("W/"))
        return etag;
    const QByteArray lastModified = facts.lastModified.trimmed();
    return usableValidator(lastModified) ? lastModified : QByteArray();
}

// Removes a plain file unless a transfer holds it locked.
void removeUnlessHeld(const QString &path)
{
    const int fd
        = ::open(encoded(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return;
    struct stat st;
    struct stat named;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
        && ::lstat(encoded(path).constData(), &named) == 0 && st.st_dev == named.st_dev
        && st.st_ino == named.st_ino)
        ::unlink(encoded(path).constData());
    ::close(fd);
}

} // namespace

DownloadPart::~DownloadPart()
{
    keepOrDrop();
}

QString DownloadPart::partPath(const QString &folder, const QString &url)
{
    const QByteArray hash
        = QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path + QStringLiteral(".quillmoor-") + QString::fromLatin1(hash)
        + QStringLiteral(".part");
}

QString DownloadPart::sidecarPath(const QString &partPath)
{
    return partPath + QStringLiteral(".json");
}

qint64 DownloadPart::prepare(const QString &folder, const QString &url)
{
    keepOrDrop();
    m_url = url;
    m_folder = folder;
    m_offset = 0;
    m_total = -1;
    m_validator.clear();
    m_continuable = false;

    const QString part = partPath(folder, url);
    // The common case: no part, one failed open.
    const QByteArray sidecar = readSmallFile(sidecarPath(part));
    if (sidecar.isEmpty())
        return 0;
    const QJsonObject info = QJsonDocument::fromJson(sidecar).object();
    const qint64 length = info.value(QStringLiteral("length")).toInteger();
    const QByteArray validator = info.value(QStringLiteral("validator")).toString().toLatin1();
    if (info.value(QStringLiteral("url")).toString() != url || length <= 0
        || !usableValidator(validator))
        return 0;
    // Held by another transfer: left to it.
    if (!m_body.adopt(part))
        return 0;
    m_adopted = part;
    if (m_body.size() <= 0 || m_body.size() >= length) {
        drop();
        return 0;
    }
    m_offset = m_body.size();
    m_total = length;
    m_validator = validator;
    // Untouched, it can still be continued whatever the next answer is.
    m_continuable = true;
    return m_offset;
}

qint64 DownloadPart::continueAfterCut()
{
    const qint64 size = m_body.size();
    if (m_body.isOpen() && m_continuable && size > 0 && size < m_total) {
        m_offset = size;
        return m_offset;
    }
    if (!m_adopted.isEmpty())
        removeSidecar();
    if (m_body.isOpen())
        m_body.truncate();
    m_offset = 0;
    m_total = -1;
    m_continuable = false;
    return 0;
}

QByteArray DownloadPart::range() const
{
    return m_offset > 0 ? QByteArray::number(m_offset) + '-' : QByteArray();
}

QString DownloadPart::requestHeaders() const
{
    if (m_offset <= 0)
        return {};
    return QStringLiteral("If-Range: ") + QString::fromLatin1(m_validator)
        + QStringLiteral("\r\nAccept-Encoding: identity\r\n");
}

DownloadPart::Outcome DownloadPart::answer(const PartAnswer &facts)
{
    const QByteArray validator = validatorOf(facts);
    if (m_offset > 0) {
        qint64 first = 0;
        qint64 total = 0;
        if (facts.status == 206 && identityEncoding(facts.contentEncoding)
            && parseContentRange(facts.contentRange, &first, &total) && first == m_offset
            && total == m_total) {
            if (!validator.isEmpty())
                m_validator = validator;
            m_continuable = true;
            return Outcome::Continues;
        }
        // Never mix two bodies: the sidecar goes before the part is emptied,
        // so a crash meanwhile leaves nothing that reads as continuable.
        const Outcome outcome
            = facts.status == 206 || facts.status == 416 ? Outcome::AskAgain : Outcome::StartsOver;
        removeSidecar();
        m_body.truncate();
        m_offset = 0;
        m_total = -1;
        m_continuable = false;
        if (outcome == Outcome::AskAgain)
            return outcome;
    }
    bool ok = false;
    const qint64 length = facts.contentLength.trimmed().toLongLong(&ok);
    const bool identity = identityEncoding(facts.contentEncoding);
    m_total = ok && length > 0 && identity ? length : -1;
    m_validator = validator;
    m_continuable = facts.status == 200 && m_total > 0 && !validator.isEmpty();
    return Outcome::StartsOver;
}

bool DownloadPart::openBody(const QString &targetPath)
{
    return m_body.isOpen() || m_body.open(targetPath);
}

void DownloadPart::keepOrDrop()
{
    const qint64 size = m_body.size();
    if (!m_body.isOpen() || m_url.isEmpty() || !m_continuable || size <= 0 || size >= m_total) {
        drop();
        return;
    }
    const QString part = partPath(m_body.folder(), m_url);
    // An earlier part under another name (the folder was spelt otherwise)
    // makes way.
    if (!m_adopted.isEmpty() && m_adopted != part)
        removeSidecar();
    m_adopted.clear();
    if (!m_body.keepAs(part))
        return;
    if (!writeSidecar(part)) {
        ::unlink(encoded(part).constData());
        return;
    }
    m_continuable = false;
}

void DownloadPart::drop()
{
    if (!m_adopted.isEmpty())
        removeSidecar();
    m_adopted.clear();
    m_body.discard();
    m_continuable = false;
}

void DownloadPart::placed()
{
    if (!m_adopted.isEmpty())
        removeSidecar();
    m_adopted.clear();
    m_continuable = false;
}

void DownloadPart::removeSidecar()
{
    if (!m_adopted.isEmpty())
        ::unlink(encoded(sidecarPath(m_adopted)).constData());
}

bool DownloadPart::writeSidecar(const QString &part) const
{
    QJsonObject info;
    info.insert(QStringLiteral("url"), m_url);
    info.insert(QStringLiteral("length"), m_total);
    info.insert(QStringLiteral("validator"), QString::fromLatin1(m_validator));
    // Written whole under a temporary name and renamed: a reader sees the
    // old sidecar or the new one, never half of one.
    QSaveFile file(sidecarPath(part));
    file.setDirectWriteFallback(false);
    return file.open(QIODevice::WriteOnly)
        && file.write(QJsonDocument(info).toJson(QJsonDocument::Compact)) >= 0 && file.commit();
}

int RemoveStaleParts(const QString &folder, const Clock &clock)
{
    DIR *dir = ::opendir(encoded(folder).constData());
    if (!dir)
        return 0;
    const qint64 cutoff = clock.wallClockUtc().toSecsSinceEpoch() - kStaleSeconds;
    const int dirFd = ::dirfd(dir);
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!partNamePattern().match(name).hasMatch())
            continue;
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)
            || qint64(st.st_mtim.tv_sec) >= cutoff)
            continue;
        if (::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

void RemovePartsOf(const QList<std::pair<QString, QString>> &folderAndUrl)
{
    QHash<QString, QSet<QString>> partsIn; // folder -> names of parts and sidecars
    for (const auto &[folder, url] : folderAndUrl) {
        auto names = partsIn.find(folder);
        if (names == partsIn.end()) {
            names = partsIn.insert(folder, {});
            if (DIR *dir = ::opendir(encoded(folder).constData())) {
                while (const dirent *entry = ::readdir(dir)) {
                    const QString name = QFile::decodeName(entry->d_name);
                    if (name.startsWith(u'.') && partNamePattern().match(name).hasMatch())
                        names->insert(name);
                }
                ::closedir(dir);
            }
        }
        if (names->isEmpty())
            continue;
        const QString part = DownloadPart::partPath(folder, url);
        const QString name = part.mid(part.lastIndexOf(u'/') + 1);
        if (names->contains(name) || names->contains(DownloadPart::sidecarPath(name)))
            RemovePartOf(folder, url);
    }
}

void RemovePartOf(const QString &folder, const QString &url)
{
    const QString part = DownloadPart::partPath(folder, url);
    removeUnlessHeld(part);
    struct stat st;
    if (::lstat(encoded(part).constData(), &st) != 0)
        ::unlink(encoded(DownloadPart::sidecarPath(part)).constData());
}
