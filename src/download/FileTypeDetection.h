#pragma once

#include "download/DownloadItem.h"

#include <QByteArray>
#include <QString>

#include <functional>

class DownloadList;
class UserDialogs;

// What a saved file really is, told from its first bytes and, when needed, its
// text: "pdf", "caj", "kdh", "nh", "tif", "exe", "rar", "zip", "docx", "swf",
// "rm", "wma", "mp3", "png", "gif", "jpg", "doc", "xls", "ppt", "htm", "caa",
// or empty when nothing matched or the file is missing.
//
// Positions 0..n are read, n being the file length or 10240, whichever is
// smaller; a position at or beyond the end reads as 0. The leading bytes of
// each signature are all read before they are compared, so a signature
// reaching past n ends the detection with no type (a 2-byte "MZ" file has no
// type, a 3-byte one is "exe"). The further bytes of the JPEG/Exif and the
// Office signatures are read only when the leading bytes matched.
QString 打开文件判断文件类型(const QString &path);
// Reads `length` bytes at `offset` of a file; fewer when it cannot.
using ReadAt = std::function<QByteArray(qint64 offset, qint64 length)>;
// The same for a file of `length` bytes read through `readAt`: one read of
// its start, and one of its last 128 bytes only when they are needed.
QString DetectFileType(qint64 length, const ReadAt &readAt);

// Renames the row's file after its detected type when that differs from the
// row's Type (Paper.pdf that is a web page becomes Paper.htm, or
// Paper[0001].htm when that is taken) and updates Type and Name. True when
// the file was renamed; a missing file, no type, the same type or a failed
// rename leave row and file unchanged.
bool CorrectFileType(DownloadItem &row);

// Menu "打开文件判断类型": asks for a file and tells its type.
void OpenFileAndShowType(UserDialogs &dialogs);

// Menu "检查并纠正磁盘文件类型": refuses while downloads are active, else runs
// CorrectFileType over every row and tells how many were corrected. Returns
// that number (0 when refused).
int CheckAndCorrectFileTypes(
    DownloadList &list, const std::function<bool()> &downloadsActive, UserDialogs &dialogs);
