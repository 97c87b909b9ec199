// quillmoor-screenshots: builds the program's windows in typical states
// against the fixture site and saves each as a PNG.
//
//   quillmoor-screenshots OUTPUT_FOLDER [NAME...]

#include "EventWait.h"
#include "FakeDialogs.h"
#include "FakeShell.h"
#include "FixtureServer.h"
#include "RecordingSoundPlayer.h"
#include "Shots.h"
#include "TestEnvironment.h"
#include "app/ui/AppWindows.h"
#include "common/AppValues.h"
#include "platform/AppPaths.h"
#include "platform/BrowserSandbox.h"
#include "platform/Clock.h"
#include "platform/gui/QtTranslations.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMap>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

QMap<QString, ShotFunction> &registry()
{
    static QMap<QString, ShotFunction> shots;
    return shots;
}

void runEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

ShotRegistration::ShotRegistration(const char *name, ShotFunction function)
{
    registry().insert(QString::fromLatin1(name), function);
}

int main(int argc, char *argv[])
{
    PrepareBrowserEngine();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmoor"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmoor"));
    InstallQtTranslations();
    // Settings and data go to throw-away places, never the user's own.
    useTestLocations();

    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fputs("usage: quillmoor-screenshots OUTPUT_FOLDER [NAME...]\n", stderr);
        return 2;
    }
    const QString output = args.at(1);
    QDir().mkpath(output);
    const QStringList wanted = args.mid(2);

    QTemporaryDir work;
    QDir(work.path()).mkpath(QStringLiteral("program"));
    QDir(work.path()).mkpath(QStringLiteral("site"));
    FixtureServer site;
    site.serveSite(work.path() + QStringLiteral("/site"));
    if (!site.listen()) {
        std::fputs("quillmoor-screenshots: cannot listen on 127.0.0.1\n", stderr);
        return 1;
    }

    AppValues values;
    FakeDialogs dialogs;
    FakeShell shell;
    RecordingSoundPlayer player;
    FixedAppPaths paths(work.path() + QStringLiteral("/program"));
    AppWindows windows({ values, SteadyClock::instance(), paths, player, dialogs, shell });

    ShotContext context { windows, site, dialogs, shell, work.path() + QLatin1Char('/'), {}, {} };
    int failures = 0;
    context.save = [&output, &failures](QWidget *window, const QString &name) {
        window->show();
        window->raise();
        runEvents(400);
        const QString path = output + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!window->grab().save(path)) {
            std::fprintf(stderr, "quillmoor-screenshots: cannot write %s\n", qPrintable(path));
            ++failures;
            return;
        }
        std::printf("%s\n", qPrintable(path));
    };
    context.waitUntil = [](const std::function<bool()> &done, int timeoutMs) {
        return waitForCondition(done, timeoutMs, 50);
    };

    for (auto it = registry().cbegin(); it != registry().cend(); ++it) {
        if (wanted.isEmpty() || wanted.contains(it.key()))
            it.value()(context);
    }
    return failures == 0 ? 0 : 1;
}
