#include "common/ui/OpenWindows.h"

#include "common/WindowNames.h"

#include <QApplication>
#include <QWidget>

namespace {
const char *const kClosedProperty = "quillmoorWindowClosed";
}

QWidget *FindOpenWindow(const QString &name)
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (SameWindowName(window->objectName(), name)
            && !window->property(kClosedProperty).toBool())
            return window;
    }
    return nullptr;
}

bool IsWindowOpen(const QString &name)
{
    return FindOpenWindow(name) != nullptr;
}

void MarkWindowClosed(QWidget *window)
{
    window->setProperty(kClosedProperty, true);
}
