#pragma once

#include <QString>

class QWidget;

// The is-window-open test: a window counts as open from its creation (shown
// or hidden) until it is closed; names compare without regard to case.
QWidget *FindOpenWindow(const QString &name);
bool IsWindowOpen(const QString &name);

// A window that accepted its close calls this, so that it no longer counts as
// open while it waits to be deleted.
void MarkWindowClosed(QWidget *window);
