#pragma once

#include "download/DownloadItem.h"

#include <QList>
#include <QStringList>

// "quillmoor-cli download ...": runs the scheduler and the transfers of the
// download manager without a window until the list is finished. Returns the
// process exit status: 0 every row completed, 1 some row failed or the report
// could not be written, 2 bad usage, 128 + the signal's number when SIGINT or
// SIGTERM stopped the run. A row whose address is the key of one of
// `handedOff` (rows handed off by harvest) takes its DOI and content kind.
int runDownloadCommand(const QStringList &arguments, const QList<DownloadItem> &handedOff = {});

extern const char *const kDownloadUsage;
