#include "common/SafeFiles.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

// A file this creates gets 0666 less the umask, as any new file does; the
// umask itself is never touched (it belongs to every thread of the process).
int openNoFollow(const QString &path, int flags)
{
    int fd;
    do
        fd = ::open(
            encoded(path).constData(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, mode_t(0666));
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool holdsPlaceholderBytes(int fd, const struct stat &st)
{
    if (!S_ISREG(st.st_mode) || st.st_size != qint64(sizeof kPlaceholderBytes))
        return false;
    char bytes[sizeof kPlaceholderBytes] = {};
    return ::pread(fd, bytes, sizeof bytes, 0) == qint64(sizeof bytes)
        && std::memcmp(bytes, kPlaceholderBytes, sizeof bytes) == 0;
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

#ifdef O_TMPFILE
// Unnamed files are given a name through their /proc/self/fd entry.
bool procFdAvailable()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

QByteArray procPath(int fd)
{
    return QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(fd);
}

// Gives the open file `fd` the name `target`; 0, or -1 with errno set. The
// kernel links straight from the descriptor where it allows that to the
// file's opener (Linux 6.10 on, or with CAP_DAC_READ_SEARCH), which spares
// a walk through /proc for each name; elsewhere the /proc entry serves.
int linkOpenFile(int fd, const char *target)
{
#ifdef AT_EMPTY_PATH
    static std::atomic<bool> fromDescriptor { true };
    if (fromDescriptor.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", AT_FDCWD, target, AT_EMPTY_PATH) == 0)
            return 0;
        // A refused link from a descriptor reads as ENOENT, like a missing
        // folder or a file that can no longer be named; the /proc way tells.
        if (errno != ENOENT)
            return -1;
        if (::linkat(AT_FDCWD, procPath(fd).constData(), AT_FDCWD, target, AT_SYMLINK_FOLLOW) != 0)
            return -1;
        fromDescriptor.store(false, std::memory_order_relaxed);
        return 0;
    }
#endif
    return ::linkat(AT_FDCWD, procPath(fd).constData(), AT_FDCWD, target, AT_SYMLINK_FOLLOW);
}

// An unnamed file in the folder, or -1 (errno set) when the file system has
// none.
int openUnnamed(const QString &folder)
{
    if (!procFdAvailable()) {
        errno = EOPNOTSUPP;
        return -1;
    }
    int fd;
    do
        fd = ::open(encoded(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool unnamedUnsupported(int err)
{
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL;
}
#endif

// A short hidden name in the folder, not yet checked.
QString hiddenName(const QString &folder)
{
    return folder + QStringLiteral("/.qm-")
        + QString::number(QRandomGenerator::global()->generate() % 0x1000000u, 36)
        + QStringLiteral(".part");
}

// A hidden, short-named file in the folder, created anew.
int createHidden(const QString &folder, QString *name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = hiddenName(folder);
        const int fd = openNoFollow(candidate, O_CREAT | O_EXCL | O_RDWR);
        if (fd >= 0) {
            *name = candidate;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

// A reservation's placeholder: one locked file shared by every reservation of
// a folder (linked under each reserved name), or the reservation's own file.
struct Placeholder
{
    int fd = -1;
    int names = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

struct Registry
{
    QHash<QString, Placeholder *> sharedByFolder;
    QHash<QString, Placeholder *> byPath;

    // At exit the reservations still held are let go: their locks end with
    // their descriptors, so what they leave on disk counts as dead.
    ~Registry()
    {
        QSet<Placeholder *> all;
        for (Placeholder *p : std::as_const(sharedByFolder))
            all.insert(p);
        for (Placeholder *p : std::as_const(byPath))
            all.insert(p);
        for (Placeholder *p : std::as_const(all)) {
            ::close(p->fd);
            delete p;
        }
    }
};

Registry &registry()
{
    static Registry r;
    return r;
}

// Writes the bytes into a locked file; the lock is taken first, so another
// process never sees an unlocked placeholder of a running transfer.
bool makePlaceholder(Placeholder *p)
{
    struct stat st;
    if (::flock(p->fd, LOCK_EX | LOCK_NB) != 0
        || !writeAll(p->fd, kPlaceholderBytes, sizeof kPlaceholderBytes)
        || ::fstat(p->fd, &st) != 0)
        return false;
    p->device = st.st_dev;
    p->inode = st.st_ino;
    return true;
}

// The name still leads to the placeholder (nobody replaced it).
bool standsAt(const Placeholder *p, const QString &path)
{
    struct stat named;
    return ::lstat(encoded(path).constData(), &named) == 0 && named.st_dev == p->device
        && named.st_ino == p->inode;
}

void dropPlaceholder(Placeholder *p)
{
    Registry &r = registry();
    for (auto it = r.sharedByFolder.begin(); it != r.sharedByFolder.end(); ++it) {
        if (it.value() == p) {
            r.sharedByFolder.erase(it);
            break;
        }
    }
    ::close(p->fd); // releases the lock
    delete p;
}

} // namespace

QString FileErrorText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool IsDeadPlaceholder(const QString &path)
{
    const int fd = openNoFollow(path, O_RDONLY);
    if (fd < 0)
        return false;
    struct stat st;
    const bool dead = ::fstat(fd, &st) == 0 && holdsPlaceholderBytes(fd, st)
        && ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    ::close(fd);
    return dead;
}

bool RemoveDeadPlaceholder(const QString &path)
{
    struct stat first;
    if (::lstat(encoded(path).constData(), &first) != 0 || !S_ISREG(first.st_mode)
        || first.st_size != qint64(sizeof kPlaceholderBytes))
        return false;
    const int fd = openNoFollow(path, O_RDONLY);
    if (fd < 0)
        return false;
    struct stat st;
    struct stat named;
    // Holding the lock while it is removed: no transfer can take this file up
    // meanwhile, and the name must still lead to it.
    const bool removed = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &st) == 0
        && holdsPlaceholderBytes(fd, st) && ::lstat(encoded(path).constData(), &named) == 0
        && sameFile(st, named) && ::unlink(encoded(path).constData()) == 0;
    ::close(fd);
    return removed;
}

bool NameTaken(const QString &path)
{
    if (path.isEmpty())
        return false;
    struct stat st;
    if (::lstat(encoded(path).constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    if (S_ISREG(st.st_mode) && st.st_size == qint64(sizeof kPlaceholderBytes))
        return !IsDeadPlaceholder(path);
    return true;
}

bool NameReservations::reserve(const QString &path, QString *error)
{
    Registry &r = registry();
    const QString folder = folderOf(path);
    int err = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
#ifdef O_TMPFILE
        Placeholder *shared = r.sharedByFolder.value(folder);
        if (!shared) {
            const int fd = openUnnamed(folder);
            if (fd >= 0) {
                shared = new Placeholder { fd, 0, 0, 0 };
                if (!makePlaceholder(shared)) {
                    err = errno;
                    dropPlaceholder(shared);
                    shared = nullptr;
                } else {
                    r.sharedByFolder.insert(folder, shared);
                }
            } else if (!unnamedUnsupported(errno)) {
                err = errno;
                break;
            }
        }
        if (shared) {
            if (linkOpenFile(shared->fd, encoded(path).constData()) == 0) {
                ++shared->names;
                r.byPath.insert(path, shared);
                return true;
            }
            err = errno;
            if (err == EEXIST) {
                if (RemoveDeadPlaceholder(path))
                    continue;
                break;
            }
            // Every name of the shared file was removed by others: it can
            // be named no more; a new one is made.
            if (err == ENOENT && shared->names == 0) {
                dropPlaceholder(shared);
                continue;
            }
            if (err == ENOENT)
                break;
            // Linking refused (another file system, no rights): the
            // reservation gets a file of its own.
        }
#endif
        const int fd = openNoFollow(path, O_CREAT | O_EXCL | O_WRONLY);
        if (fd < 0) {
            err = errno;
            if (err == EEXIST && RemoveDeadPlaceholder(path))
                continue;
            break;
        }
        auto *own = new Placeholder { fd, 1, 0, 0 };
        if (!makePlaceholder(own)) {
            err = errno;
            ::unlink(encoded(path).constData());
            ::close(fd);
            delete own;
            break;
        }
        r.byPath.insert(path, own);
        return true;
    }
    if (error)
        *error = FileErrorText(err ? err : EEXIST);
    return false;
}

bool NameReservations::take(const QString &path)
{
    Registry &r = registry();
    Placeholder *p = r.byPath.take(path);
    if (!p)
        return false;
    const bool removed = standsAt(p, path) && ::unlink(encoded(path).constData()) == 0;
    if (--p->names <= 0)
        dropPlaceholder(p);
    return removed;
}

void NameReservations::release(const QString &path)
{
    take(path);
}

BodyFile::BodyFile() = default;

BodyFile::~BodyFile()
{
    discard();
}

void BodyFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tempName.isEmpty())
        ::unlink(encoded(m_tempName).constData());
    m_tempName.clear();
    m_size = 0;
    m_head.clear();
}

bool BodyFile::open(const QString &targetPath)
{
    discard();
    m_error.clear();
    m_folder = folderOf(targetPath);
#ifdef O_TMPFILE
    m_fd = openUnnamed(m_folder);
    if (m_fd >= 0)
        return true;
    if (!unnamedUnsupported(errno)) {
        m_error = FileErrorText(errno);
        return false;
    }
#endif
    m_fd = createHidden(m_folder, &m_tempName);
    if (m_fd < 0) {
        m_error = FileErrorText(errno);
        return false;
    }
    // Reads and writes of the body block; the non-blocking flag of the
    // creation was only for opening.
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    return true;
}

bool BodyFile::adopt(const QString &path)
{
    discard();
    m_error.clear();
    m_folder = folderOf(path);
    const int fd = openNoFollow(path, O_RDWR);
    if (fd < 0) {
        m_error = FileErrorText(errno);
        return false;
    }
    // Only a plain file of this user with no other name: a hard link planted
    // in a shared folder must not lead these writes into another file.
    struct stat st;
    const bool plain = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1
        && st.st_uid == ::geteuid();
    if (!plain || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::lseek(fd, 0, SEEK_END) != st.st_size) {
        m_error = FileErrorText(plain ? errno : EINVAL);
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
    m_tempName = path;
    m_size = st.st_size;
    m_head = readAt(0, qMin(m_size, kKeptHead));
    return true;
}

bool BodyFile::keepAs(const QString &path)
{
    if (m_fd < 0)
        return false;
    if (m_tempName == path) {
        // The name must still lead to this file: another process may have
        // put its own there meanwhile.
        struct stat open;
        struct stat named;
        if (::fstat(m_fd, &open) != 0 || ::lstat(encoded(path).constData(), &named) != 0
            || !sameFile(open, named)) {
            m_tempName.clear();
            discard();
            return false;
        }
        ::close(m_fd);
        m_fd = -1;
        m_tempName.clear();
        m_size = 0;
        m_head.clear();
        return true;
    }
    if (place(path, Mode::Replace) == Result::Placed)
        return true;
    discard();
    return false;
}

bool BodyFile::write(const char *data, qint64 size)
{
    if (m_fd < 0)
        return false;
    if (!writeAll(m_fd, data, size)) {
        m_error = FileErrorText(errno);
        return false;
    }
    if (m_head.size() == m_size && m_size < kKeptHead)
        m_head.append(data, qMin(size, kKeptHead - m_size));
    m_size += size;
    return true;
}

bool BodyFile::truncate()
{
    if (m_fd < 0 || ::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0) {
        m_error = FileErrorText(errno);
        return false;
    }
    m_size = 0;
    m_head.clear();
    return true;
}

QByteArray BodyFile::readAt(qint64 offset, qint64 length) const
{
    if (m_fd < 0 || length <= 0 || offset < 0)
        return {};
    // The first bytes were kept as they were written.
    if (offset + length <= m_head.size() || m_head.size() == m_size)
        return m_head.mid(offset, length);
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(m_fd, bytes.data() + done, size_t(length - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

bool BodyFile::keepModeAndTimeOf(int sourceFd)
{
    struct stat st;
    if (m_fd < 0 || ::fstat(sourceFd, &st) != 0 || ::fchmod(m_fd, st.st_mode & 0777) != 0) {
        m_error = FileErrorText(errno);
        return false;
    }
    const struct timespec times[2] = { { 0, UTIME_OMIT }, st.st_mtim };
    if (::futimens(m_fd, times) != 0) {
        m_error = FileErrorText(errno);
        return false;
    }
    return true;
}

bool BodyFile::linkTo(const QString &path, int *err)
{
    int result;
#ifdef O_TMPFILE
    if (m_tempName.isEmpty())
        result = linkOpenFile(m_fd, encoded(path).constData());
    else
#endif
        result = ::link(encoded(m_tempName).constData(), encoded(path).constData());
    *err = result == 0 ? 0 : errno;
    return result == 0;
}

BodyFile::Result BodyFile::place(const QString &path, Mode mode)
{
    if (m_fd < 0)
        return Result::Failed;
    int err = 0;
    if (mode == Mode::NoReplace) {
        // A link never replaces what stands at its name, a link included.
        if (!linkTo(path, &err) && err == EEXIST && RemoveDeadPlaceholder(path))
            linkTo(path, &err);
        if (err == EEXIST)
            return Result::Taken;
        if (err != 0) {
            m_error = FileErrorText(err);
            return Result::Failed;
        }
        if (!m_tempName.isEmpty())
            ::unlink(encoded(m_tempName).constData());
    } else if (linkTo(path, &err)) {
        // Nothing stood there: placed in one step.
        if (!m_tempName.isEmpty())
            ::unlink(encoded(m_tempName).constData());
    } else if (err != EEXIST) {
        m_error = FileErrorText(err);
        return Result::Failed;
    } else {
        // rename() swaps the name in one step and replaces a link itself,
        // never the file it points to.
        if (m_tempName.isEmpty()) {
            QString hidden;
            for (int attempt = 0; attempt < 100; ++attempt) {
                hidden = hiddenName(m_folder);
                if (linkTo(hidden, &err) || err != EEXIST)
                    break;
            }
            if (err != 0) {
                m_error = FileErrorText(err);
                return Result::Failed;
            }
            m_tempName = hidden;
        }
        if (::rename(encoded(m_tempName).constData(), encoded(path).constData()) != 0) {
            m_error = FileErrorText(errno);
            return Result::Failed; // the hidden name goes with discard()
        }
    }
    m_tempName.clear();
    ::close(m_fd);
    m_fd = -1;
    m_size = 0;
    m_head.clear();
    return Result::Placed;
}

namespace {

// The names below `top` that lead to `path`, or nothing when the path does
// not lie below it.
std::optional<QStringList> namesBelow(const QString &top, const QString &path)
{
    const QString cleanTop = QDir::cleanPath(top);
    const QString cleanPath = QDir::cleanPath(path);
    const QString prefix = cleanTop.endsWith(u'/') ? cleanTop : cleanTop + u'/';
    if (cleanTop.isEmpty() || !cleanTop.startsWith(u'/') || !cleanPath.startsWith(prefix)
        || cleanPath.size() == prefix.size())
        return std::nullopt;
    return cleanPath.mid(prefix.size()).split(u'/');
}

// The folder reached from `top` through `names`, each opened without
// following a link; -1 when any of them is no real folder. `top` itself is
// taken as it is.
int openFolderBeneath(const QString &top, const QStringList &names)
{
#ifdef O_PATH
    constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
    constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
    int fd = ::open(encoded(top).constData(), kFolderFlags);
    for (const QString &name : names) {
        if (fd < 0)
            return -1;
        const int next = ::openat(fd, encoded(name).constData(), kFolderFlags | O_NOFOLLOW);
        ::close(fd);
        fd = next;
    }
    struct stat st;
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool IsPlainFolderBeneath(const QString &top, const QString &folder)
{
    const auto names = namesBelow(top, folder);
    if (!names)
        return false;
    const int fd = openFolderBeneath(top, *names);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool RemoveBeneath(const QString &top, const QString &path, RemoveWhat what)
{
    auto names = namesBelow(top, path);
    if (!names)
        return false;
    const QString last = names->takeLast();
    const int folder = openFolderBeneath(top, *names);
    if (folder < 0)
        return false;
    const bool removed = ::unlinkat(folder, encoded(last).constData(),
                             what == RemoveWhat::EmptyFolder ? AT_REMOVEDIR : 0)
        == 0;
    ::close(folder);
    return removed;
}
