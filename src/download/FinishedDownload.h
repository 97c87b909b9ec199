#pragma once

#include "download/DownloadOptions.h"

#include <QString>

class BodyFile;
struct DownloadItem;

// Gives the finished body of a row its name, after every check on it has
// passed. The type is settled from the body's first bytes before anything is
// placed: a body of the row's type goes to `plannedPath`, a body of another
// type to Folder + Name + "." + that type (with a [0001]-style counter when
// the name is taken), and the row's Type and Name follow. So an earlier file
// is replaced only by a body of its own type, and only under the overwrite
// and skip policies; under the rename policy, or when `plannedPath` is this
// transfer's reservation, a name taken meanwhile (by another process) gives
// the next free one. The row's own earlier file (DownloadItem::ReplaceableFile)
// is replaced by a body placed at its path under every policy; once a body is
// placed the note is cleared, and an earlier web page placed elsewhere is
// removed. False with *error set when the file system refuses; the earlier
// file and the note stay then.
bool PlaceFinishedDownload(BodyFile &body, DownloadItem &row, const QString &plannedPath,
    DuplicatePolicy policy, QString *error);
