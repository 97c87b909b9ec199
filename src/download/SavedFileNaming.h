#pragma once

#include "download/DownloadItem.h"
#include "download/DownloadOptions.h"

#include <QString>

// What happens when the file a row is saved to already exists. The policy is
// read from the options at the moment of the call, so a change of the
// "跳过"/"覆盖"/"重命名" buttons takes effect at the next step that asks.
//
// With an empty Type a path is Folder + Name with no trailing dot, the same
// path DownloadItem::savedFilePath() gives. A name counts as taken when
// anything but a folder stands there, a symbolic link included; a placeholder
// left by a transfer that no longer runs does not count.

// A title made ready to name a row: each run of CR, LF and TAB, with the
// spaces beside it, becomes one space (a title broken over lines keeps its
// words apart), and the spaces around the title go. Other runs of spaces
// stay. CleanFileName then makes the name of it.
QString TitleOnOneLine(const QString &title);

// Whether two paths name the same file by their text ("a//b" and "a/b" do);
// an empty path names none.
bool SameFilePath(const QString &a, const QString &b);

// False when the row is skipped: its file exists and the policy is skip. The
// row is then completed with "已存在，跳过" and the file's length in Size and
// Received. True otherwise, also when the file there is the row's own earlier
// file (DownloadItem::ReplaceableFile): a re-download replaces it.
bool 确定是需要下载(DownloadItem &row, const DownloadOptions &options);

// The path to save to. Overwrite policy, or no file there: folder/name.type.
// Otherwise a counter is added or continued: name[001].type, name[002].type,
// ... (at least three digits) until a free name is found; the name without
// the extension goes to *newName. A counter is recognised only when the name
// ends with "[number]"; it is rounded half away from zero ([2.5] gives 3), and
// a value below 0 or beyond the int range is no counter. Other "[" and "]" in
// the name become "『" and "』". A path equal to `ownFile`, the row's own
// earlier file, counts as free: a re-download keeps its name.
QString 重命名保存路径(const QString &folder, const QString &name, const QString &type,
    const DownloadOptions &options, QString *newName = nullptr, const QString &ownFile = {});

// The value of the Content-Disposition line of a response header text (lines
// split at LF, a CR before it dropped), trimmed; empty when there is none.
QString 从网络文件Header获取ContentDisposition(const QString &header);

// The extension of the file name a Content-Disposition value suggests: the
// leading letters after the last "." of filename=..., at most 5; else empty.
QString 从下载头信息ContentDisposition获取文件名(const QString &contentDisposition);
