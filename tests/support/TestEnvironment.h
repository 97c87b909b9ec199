#pragma once

#include <QStandardPaths>
#include <QTemporaryDir>

// Keeps tests away from the user's home: settings and data folders go to
// Qt's test locations, which are wiped before the test runs.
inline void useTestLocations()
{
    QStandardPaths::setTestModeEnabled(true);
}
