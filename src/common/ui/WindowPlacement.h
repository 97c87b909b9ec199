#pragma once

#include <QString>

class QWidget;

// "W*H" of the primary screen in pixels (twips / 15), e.g. "1920*1080".
QString ScreenResolutionText();

// Remembers a window's position and size in twips under the section named
// after the window's object name; a maximised window only records "0*0".
void SaveWindowPlacement(QWidget *window);
// Puts the window back where it was saved, or maximises it when nothing was
// saved, it closed maximised, or the screen resolution has changed since.
void RestoreWindowPlacement(QWidget *window);
