#pragma once

#include <QObject>
#include <QString>

class QWidget;

// "W*H" of the primary screen in pixels (twips / 15), e.g. "1920*1080".
QString ScreenResolutionText();

// Remembers a window's position and size in twips under the section named
// after the window's object name; a maximised window only records "0*0".
void SaveWindowPlacement(QWidget *window);
// How a window opens the first time, when no placement was ever saved.
enum class FirstPlacement {
    Maximised, // the download window
    FullHeight, // as tall as the screen's free area, its own width, centred
};

// Puts the window back where it was saved, within the free area of its screen
// (a placement stored beyond an edge is moved and cut to fit). It opens
// maximised when it closed maximised or the screen resolution has changed
// since, and as `first` says when nothing was saved.
void RestoreWindowPlacement(QWidget *window, FirstPlacement first = FirstPlacement::Maximised);

// Moves the window, and shrinks it where needed, so that it and its frame lie
// within the free area of its screen (the screen without panels and docks).
// Maximised, full-screen and minimised windows are left alone.
void KeepWithinScreen(QWidget *window);

// Keeps every window and dialog of the program within the free area of its
// screen each time it is shown. Installed once on the application.
class ScreenFit : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
