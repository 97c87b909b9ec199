#pragma once

#include "TestEnvironment.h"
#include "platform/BrowserSandbox.h"
#include "platform/webengine/ProgramProfile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

// Runs the event loop until `done` holds or `timeoutMs` pass. Unlike
// QTest::qWaitFor it never sleeps between passes: the browser engine posts
// many small tasks to this thread, and a sleep after each makes a page load
// take seconds.
inline bool runUntil(const std::function<bool()> &done, int timeoutMs = 20000)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QElapsedTimer elapsed;
    elapsed.start();
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || elapsed.hasExpired(timeoutMs))
            loop.quit();
    });
    check.start(5);
    loop.exec();
    return done();
}

// main() of a test that runs the real browser engine: one engine per
// executable, the program's profile kept in a temporary folder.
#define QUILLMOOR_BROWSER_TEST_MAIN(TestClass)                                                     \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        PrepareBrowserEngine();                                                                    \
        /* Outlives the application, which lets go of the profile's lock last. */                  \
        QTemporaryDir profileDir;                                                                  \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        useTestLocations();                                                                        \
        ProgramProfile::setStorage(profileDir.filePath(QStringLiteral("data")),                    \
            profileDir.filePath(QStringLiteral("cache")));                                         \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
