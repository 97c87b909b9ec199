#pragma once

#include "common/AppValues.h"

#include <QString>

// The same-name policy: which of the three "同名文件：" options is on.
enum class DuplicatePolicy { Skip, Overwrite, Rename };

// Caption of each policy as stored in the settings ("跳过", "覆盖", "重命名").
QString duplicatePolicyCaption(DuplicatePolicy policy);
// Unknown captions give Rename, the default.
DuplicatePolicy duplicatePolicyFromCaption(const QString &caption);

// Entries of Combo4, the automatic re-download choice.
enum class AutoRedownload { FailedRows, WebPageRows, FailedThenWebPageRows };

// The state of the download window's controls that the download steps read at
// the moment they need it. The window keeps it in step with its widgets; the
// command-line front end fills it from its options.
struct DownloadOptions
{
    int method = 2; // DownloadMethod: 1 single, 2 several connections
    int connections = 3; // Combo1: 1..6
    int intervalSeconds = 0; // Combo2: 0..600
    bool autoStart = false; // Check4
    bool autoRedownload = false; // Check3
    AutoRedownload autoRedownloadKind = AutoRedownload::FailedRows; // Combo4
    bool stopOnFailures = false; // Check5
    bool sound = false; // Check6
    bool scrollToRow = false; // menu "自动定位到下载项"
    bool autoLogin = false; // Check2
    DuplicatePolicy policy = DuplicatePolicy::Rename;

    bool proxyEnabled = false;
    QString proxyAddress;
    QString proxyPort;
    double maxFileSizeMB = kDefaultMaxFileSizeMB;
};

// A proxy that method 1 can use: an address of at least one character
// without white space or control characters, and a port of digits only from
// 1 to 65535. The options dialog and the command line take no other.
bool isUsableProxy(const QString &address, const QString &port);
// "address:port" of a usable proxy, or an empty text when the options name
// none or one that is not usable (see proxyProblem).
QString proxyOf(const DownloadOptions &options);
// Why the enabled proxy of the options cannot be used, for the row that fails
// on it; empty when the proxy is off or usable.
QString proxyProblem(const DownloadOptions &options);

// The download window's options and the shared values of the program (which
// the options dialog shows and confirms) hold the method, the proxy and the
// size limit twice. Opening the window hands its options to the shared values;
// a confirmed options dialog hands them back, the method only when one was
// chosen (1 or 2; method 2 then shows one connection).
void shareDownloadOptions(const DownloadOptions &options, AppValues &values);
void takeConfirmedOptions(DownloadOptions &options, const AppValues &values, int chosenMethod);

// Fills the options the download window reads from the settings store when
// it opens: method, connection count (only for method 2), same-name policy,
// proxy and size limit. Other options are not stored between runs.
void loadStoredDownloadOptions(DownloadOptions &options);
// The stored connection count of method 2 (1 to 6).
int storedConnectionCount();
