#include "HeadlessEngine.h"

#include "platform/BrowserSandbox.h"

#include <QLoggingCategory>
#include <QString>

void PrepareHeadlessBrowserEngine()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareBrowserEngine();
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}
