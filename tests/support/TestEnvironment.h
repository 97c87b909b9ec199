#pragma once

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

// Keeps tests away from the user's home: data folders go to Qt's test
// locations and the settings store to a folder of this test process alone,
// so tests running side by side never share a settings file.
inline void useTestLocations()
{
    QStandardPaths::setTestModeEnabled(true);
    static QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
}
