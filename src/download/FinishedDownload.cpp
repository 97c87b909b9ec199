#include "download/FinishedDownload.h"

#include "common/FileNameHelpers.h"
#include "common/SafeFiles.h"
#include "download/DownloadItem.h"
#include "download/FileTypeDetection.h"
#include "download/SavedFileNaming.h"

#include <cerrno>

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
} // namespace

bool PlaceFinishedDownload(BodyFile &body, DownloadItem &row, const QString &plannedPath,
    DuplicatePolicy policy, QString *error)
{
    const QString detected = DetectFileType(
        body.size(), [&body](qint64 offset, qint64 length) { return body.readAt(offset, length); });
    const bool reserved = NameReservations::take(plannedPath);

    if (!detected.isEmpty() && detected.toUpper() != row.Type.toUpper()) {
        // Another type than the row expected: saved under its own name; the
        // file of the row's type, if any, stays.
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            const QString target
                = UniqueFileName(row.Folder + row.Name + QLatin1Char('.') + detected);
            switch (body.place(target, BodyFile::Mode::NoReplace)) {
            case BodyFile::Result::Placed:
                row.Name = baseNameIn(row.Folder, target, detected);
                row.Type = detected;
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
    BodyFile::Mode mode = reserved || policy == DuplicatePolicy::Rename ? BodyFile::Mode::NoReplace
                                                                        : BodyFile::Mode::Replace;
    DownloadOptions renaming;
    renaming.policy = DuplicatePolicy::Rename;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        switch (body.place(target, mode)) {
        case BodyFile::Result::Placed:
            row.Name = baseNameIn(row.Folder, target, row.Type);
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
        target = 重命名保存路径(row.Folder, row.Name, row.Type, renaming, &name);
    }
    *error = FileErrorText(EEXIST);
    return false;
}
