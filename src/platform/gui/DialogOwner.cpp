#include "platform/gui/DialogOwner.h"

#include <QApplication>
#include <QWidget>

namespace {

// A window that can own others: shown, not minimised, and not a passing
// pop-up such as a menu or a tool tip.
bool canOwn(const QWidget *window)
{
    if (!window->isWindow() || !window->isVisible() || window->isMinimized())
        return false;
    const Qt::WindowType type = window->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

} // namespace

QWidget *DialogOwner()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    QWidget *found = nullptr;
    for (QWidget *window : windows) {
        if (!canOwn(window))
            continue;
        // A modal dialog comes first, then a main window over its dialogs.
        if (window->isModal())
            return window;
        if (!found || (found->windowType() == Qt::Dialog && window->windowType() == Qt::Window))
            found = window;
    }
    return found;
}
