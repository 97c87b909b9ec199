// quillmoor: the desktop program. It starts at the start-up window; closing
// that window ends the program.

#include "app/ui/AppWindows.h"
#include "app/ui/fCover.h"
#include "common/AppValues.h"
#include "download/OptionsForm.h"
#include "platform/AppPaths.h"
#include "platform/BrowserSandbox.h"
#include "platform/Clock.h"
#include "platform/CookieJar.h"
#include "platform/gui/QtShell.h"
#include "platform/gui/QtSoundPlayer.h"
#include "platform/gui/QtTranslations.h"
#include "platform/gui/QtUserDialogs.h"
#include "platform/webengine/ProfileCookies.h"
#include "platform/webengine/WebEngineBrowser.h"

#include <QApplication>
#include <QIcon>

namespace {

// The icon every window shows: the pictures the desktop's icon theme has.
QIcon programIcon()
{
    QIcon icon;
    for (const int size : { 16, 32, 48, 64, 128, 256 })
        icon.addFile(
            QStringLiteral(":/quillmoor/app/quillmoor-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

int main(int argc, char *argv[])
{
    // The browser engine shares its drawing context with the windows, and
    // runs without its sandbox as root.
    PrepareBrowserEngine();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmoor"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmoor"));
    // The desktop entry's name, so that the desktop finds the program's icon
    // and name for its windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillmoor"));
    QApplication::setWindowIcon(programIcon());
    InstallQtTranslations();

    AppValues values;
    loadStoredOptionValues(values);
    SystemAppPaths paths;
    QtSoundPlayer player;
    QtUserDialogs dialogs;
    QtShell shell;
    // The downloads send what the browsers send: the jar starts with the
    // profile's stored cookies, before any browser runs, and then follows them.
    CookieJar jar;
    ShareProfileCookies(jar);
    // The windows go (search pages first) before the application object.
    AppWindows windows({ values, SteadyClock::instance(), paths, player, dialogs, shell, &jar });
    SetBrowserEmulation(QStringLiteral("IE10"), true);
    windows.cover()->open();
    return app.exec();
}
