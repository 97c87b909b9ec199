#pragma once

#include "download/DownloadItem.h"

#include <QList>
#include <QString>
#include <QStringList>

class DownloadList;

enum class DownloadCommandMode {
    Run,
    // Only checks the options, as "harvest --download" does before its crawl:
    // 0 when they are usable, else 2 with the message on standard error.
    CheckOptions
};

// "quillmoor-cli download ...": runs the scheduler and the transfers of the
// download manager without a window until the list is finished. Returns the
// process exit status: 0 every row completed, 1 some row failed or the report
// could not be written, 2 bad usage, 128 + the signal's number when SIGINT or
// SIGTERM stopped the run. A row whose address is the key of one of
// `handedOff` (rows handed off by harvest) takes its DOI and content kind.
int runDownloadCommand(const QStringList &arguments, const QList<DownloadItem> &handedOff = {},
    DownloadCommandMode mode = DownloadCommandMode::Run);

// Writes download's report of the list to a file or, for "-" or an empty
// target, to standard output; false with *error set when it could not be
// written whole.
bool writeDownloadReport(const QString &target, const DownloadList &list, QString *error);

extern const char *const kDownloadUsage;
