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
// the next free one. False with *error set when the file system refuses.
bool PlaceFinishedDownload(BodyFile &body, DownloadItem &row, const QString &plannedPath,
    DuplicatePolicy policy, QString *error);
