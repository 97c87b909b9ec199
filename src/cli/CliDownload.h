#pragma once

#include <QStringList>

// "quillmoor-cli download ...": runs the scheduler and the transfers of the
// download manager without a window until the list is finished. Returns the
// process exit status: 0 every row completed, 1 some row failed or the report
// could not be written, 2 bad usage, 128 + the signal's number when SIGINT or
// SIGTERM stopped the run.
int runDownloadCommand(const QStringList &arguments);

extern const char *const kDownloadUsage;
