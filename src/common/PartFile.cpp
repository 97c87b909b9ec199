#include "common/PartFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
// Downloads arrive in large pieces; a second buffer in front of the file
// would only copy them once more.
class UnbufferedPartFile final : public QTemporaryFile
{
public:
    using QTemporaryFile::QTemporaryFile;
    bool openUnbuffered() { return open(QIODevice::ReadWrite | QIODevice::Unbuffered); }
};
} // namespace

std::unique_ptr<QTemporaryFile> createPartFile(const QString &targetPath)
{
    auto part = std::make_unique<UnbufferedPartFile>(
        QFileInfo(targetPath).absolutePath() + QStringLiteral("/.qm-XXXXXX.part"));
    part->setAutoRemove(true);
    if (!part->openUnbuffered())
        return nullptr;
    return part;
}

// Temporary files are private to their owner; a saved download should get
// what any new file gets (0666 less the umask).
static void giveNewFilePermissions(const QString &path)
{
#ifdef Q_OS_UNIX
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(path).constData(), 0666 & ~mask);
#else
    Q_UNUSED(path);
#endif
}

bool moveFileOver(const QString &from, const QString &to)
{
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()),
        std::filesystem::path(to.toStdU16String()), error);
    if (error)
        return false;
    giveNewFilePermissions(to);
    return true;
}

bool placePartFile(std::unique_ptr<QTemporaryFile> &part, const QString &targetPath)
{
    if (!part)
        return false;
    part->close();
    if (!moveFileOver(part->fileName(), targetPath)) {
        part.reset(); // removes the part file
        return false;
    }
    part->setAutoRemove(false);
    part.reset();
    return true;
}
