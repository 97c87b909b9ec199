#pragma once

#include <QString>
#include <QtGlobal>

// The size limit used when none is stored or the stored one is unusable.
inline constexpr double kDefaultMaxFileSizeMB = 10.0;

// The values every window of the desktop program shares while it runs. The
// program creates one and hands it to each window; a window reads what it
// needs when it opens and writes back what its dialogs confirm.
struct AppValues
{
    int DownloadMethod = 2; // 1 single connection, 2 several connections
    bool ProxyEnabled = false;
    QString ProxyAddress;
    QString ProxyPort;
    double MaxFileSizeMB = kDefaultMaxFileSizeMB;
    // True: the save-folder dialog is shown when result entries are taken
    // from a page; false: when an analysis run starts.
    bool AskSaveFolderOnExtract = true;
    // Folder for new download items, ending with a separator.
    QString SaveFolder;
    // New download items are named after the file name at the end of their
    // address instead of the article title. Not stored between runs.
    bool UseOriginalFileName = false;
    // The save-folder dialog was left by its cancel button. Not stored.
    bool SaveFolderDialogCancelled = false;
    // The maker's web site ("设置"/"软件网址"), ending with "/" when set;
    // empty means no version check and no maker's menu entries.
    QString SiteAddress;

    // The version file and the program page on the maker's site; empty when
    // no site is set.
    QString versionFileUrl() const;
    QString programPageUrl() const;
};

// The stored size limit in megabytes; a missing, unreadable, negative or NaN
// value gives the default.
double readMaxFileSizeMB();
// A size limit in megabytes as whole bytes, floor(megabytes × 1048576). A
// limit beyond the largest qint64 (infinity too) gives that largest value, so
// it never cuts a file; NaN or a negative limit gives the default's bytes.
qint64 maxFileSizeBytes(double megabytes);
// The stored "提取网页信息时提示下载保存路径": true for 1 (and when missing).
bool readAskSaveFolderOnExtract();
// The maker's site as stored, trimmed, with a final "/" added when missing.
QString readSiteAddress();
