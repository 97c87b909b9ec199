#pragma once

class QWidget;

// The window a dialog or a tool window of the program belongs to: the open
// modal dialog, else the active window, else a visible window of the program
// (the program may not have the focus at that moment). Null only when no
// window of the program is visible.
QWidget *DialogOwner();
