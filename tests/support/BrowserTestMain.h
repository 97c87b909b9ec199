#pragma once

#include "TestEnvironment.h"
#include "platform/BrowserSandbox.h"
#include "platform/webengine/ProgramProfile.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

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
