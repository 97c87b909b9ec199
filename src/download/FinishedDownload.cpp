#include "download/FinishedDownload.h"

#include "common/FileNameHelpers.h"
#include "common/SafeFiles.h"
#include "download/DownloadItem.h"
#include "download/FileTypeDetection.h"
#include "download/ListOperations.h"
#include "download/SavedFileNaming.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <utility>

namespace {
// A name taken again and again by others ends the attempt.
constexpr int kAttempts = 100;

QString baseNameIn(const QString &folder, const QString &path, const QString &type)
{
    QString name = path.mid(folder.size());
    if (!type.isEmpty())
        name.chop(type.size() + 1);
    return name;
}

// A new body of the row is in place, so its earlier file has served its turn.
// Placed over, it is gone already. A web page elsewhere goes now: replacing
// that page is what queueing a web-page row again is for. A file of another
// kind stays, as a body never replaces a file of another type.
void settleEarlierFile(DownloadItem &row, const QString &placed)
{
    const QString earlier = std::exchange(row.ReplaceableFile, QString());
    if (earlier.isEmpty() || SameFilePath(earlier, placed))
        return;
    if (isWebPageType(QFileInfo(earlier).suffix(), true))
        QFile::remove(earlier);
}
} // namespace

bool PlaceFinishedDownload(BodyFile &body, DownloadItem &row, const QString &plannedPath,
    DuplicatePolicy policy, QString *error)
{
    const QString detected = DetectFileType(
        body.size(), [&body](qint64 offset, qint64 length) { return body.readAt(offset, length); });
    const bool reserved = NameReservations::take(plannedPath);
    const QString &earlier = row.ReplaceableFile;

    if (!detected.isEmpty() && detected.toUpper() != row.Type.toUpper()) {
        // Another type than the row expected: saved under its own name; the
        // file of the row's type, if any, stays. The row's own earlier file
        // of that name is replaced.
        const QString ownName = row.Folder + row.Name + QLatin1Char('.') + detected;
        const bool own = SameFilePath(ownName, earlier);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            const QString target = own ? ownName : UniqueFileName(ownName);
            switch (body.place(target, own ? BodyFile::Mode::Replace : BodyFile::Mode::NoReplace)) {
            case BodyFile::Result::Placed:
                row.Name = baseNameIn(row.Folder, target, detected);
                row.Type = detected;
                settleEarlierFile(row, target);
                return true;
            case BodyFile::Result::Taken:
                continue;
            case BodyFile::Result::Failed:
                *error = body.errorText();
                return false;
            }
        }
        *error = FileErrorText(EEXIST);
        return false;
    }

    QString target = plannedPath;
    // The row's own earlier file is replaced under every policy.
    BodyFile::Mode mode
        = !SameFilePath(target, earlier) && (reserved || policy == DuplicatePolicy::Rename)
        ? BodyFile::Mode::NoReplace
        : BodyFile::Mode::Replace;
    DownloadOptions renaming;
    renaming.policy = DuplicatePolicy::Rename;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        switch (body.place(target, mode)) {
        case BodyFile::Result::Placed:
            row.Name = baseNameIn(row.Folder, target, row.Type);
            settleEarlierFile(row, target);
            return true;
        case BodyFile::Result::Failed:
            *error = body.errorText();
            return false;
        case BodyFile::Result::Taken:
            break;
        }
        // Someone else took the name since it was chosen. The overwrite and
        // skip policies replace; the rename policy never replaces another
        // process's file and takes the next free name.
        if (policy != DuplicatePolicy::Rename) {
            mode = BodyFile::Mode::Replace;
            continue;
        }
        QString name;
        target = 重命名保存路径(row.Folder, row.Name, row.Type, renaming, &name, earlier);
        if (SameFilePath(target, earlier))
            mode = BodyFile::Mode::Replace;
    }
    *error = FileErrorText(EEXIST);
    return false;
}
