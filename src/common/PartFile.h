#pragma once

#include <QString>

#include <memory>

class QTemporaryFile;

// Downloads are written to a part file beside their target and moved into
// place only when they end well, so an earlier file is never destroyed by a
// transfer that fails. Part files have short generated names (a long title
// must not push them over the name limit) and vanish unless placed.

// Opens a new part file in the target's folder; null when it cannot be made.
std::unique_ptr<QTemporaryFile> createPartFile(const QString &targetPath);

// Moves a finished file over the target in one step (replacing any file
// there) and gives it the permissions of a newly created file.
bool moveFileOver(const QString &from, const QString &to);

// Closes the part file and moves it over the target; on failure the part
// file is removed.
bool placePartFile(std::unique_ptr<QTemporaryFile> &part, const QString &targetPath);
