#pragma once

#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FakeShell.h"
#include "FixtureServer.h"
#include "RecordingSoundPlayer.h"
#include "app/ui/AppWindows.h"
#include "common/AppServices.h"
#include "common/AppValues.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <optional>

// The program's windows over a fake clock, scripted dialogs, a recording
// shell and sound player and fresh shared values, with an emptied settings
// store, a program folder in a fresh temporary folder and a fixture server
// for their requests. Made anew for each test function; the windows go first
// when it ends.
class WindowTestRig
{
public:
    // The program folder is `programFolder` below the temporary folder, or the
    // temporary folder itself when empty.
    explicit WindowTestRig(const QString &programFolder = {})
        : paths(programFolder.isEmpty() ? dir.path() : dir.path() + u'/' + programFolder)
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
            QStringLiteral("Quillmoor"))
            .clear();
        if (!programFolder.isEmpty())
            QDir(dir.path()).mkpath(programFolder);
    }

    // The services over the fakes, for a window made on its own.
    AppServices services() { return { values, clock, paths, player, dialogs, shell }; }

    // (Re)creates the windows; they read the time from `windowClock`.
    void openWindows(Clock &windowClock)
    {
        windows.emplace(AppServices { values, windowClock, paths, player, dialogs, shell });
    }
    void openWindows() { openWindows(clock); }

    FakeClock clock;
    FakeDialogs dialogs;
    FakeShell shell;
    RecordingSoundPlayer player;
    AppValues values;
    QTemporaryDir dir;
    FixedAppPaths paths;
    FixtureServer server;
    std::optional<AppWindows> windows;
};
