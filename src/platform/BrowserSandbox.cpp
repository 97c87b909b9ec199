#include "platform/BrowserSandbox.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QtGlobal>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

bool TurnOffBrowserSandboxWhenRoot()
{
#ifdef Q_OS_UNIX
    static bool done = false;
    if (done || ::geteuid() != 0)
        return false;
    done = true;
    // Already off (set by whoever started us): nothing to say.
    if (qEnvironmentVariableIntValue("QTWEBENGINE_DISABLE_SANDBOX") == 1)
        return false;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    std::fputs("quillmoor: running as root, the browser sandbox is turned off\n", stderr);
    return true;
#else
    return false;
#endif
}

void PrepareBrowserEngine()
{
    TurnOffBrowserSandboxWhenRoot();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
