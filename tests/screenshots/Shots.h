#pragma once

#include <QString>

#include <functional>

class AppWindows;
class FakeDialogs;
class FakeShell;
class FixtureServer;
class QWidget;

// What each picture's function gets: the program's windows over a fixture
// site, scripted dialogs and shell (nothing opens outside the program), a
// scratch folder, and the way to save a window as a PNG.
struct ShotContext
{
    AppWindows &windows;
    FixtureServer &site;
    FakeDialogs &dialogs;
    FakeShell &shell;
    QString workFolder; // ends with "/"

    // Lays the window out, lets it paint and saves it as <name>.png.
    std::function<void(QWidget *window, const QString &name)> save;
    // Lets events run until `done` holds or the time is up.
    std::function<bool(const std::function<bool()> &done, int timeoutMs)> waitUntil;
};

using ShotFunction = void (*)(ShotContext &context);

// One picture: a function that brings a window into a typical state and
// saves it. Pictures are taken in the order of their names.
struct ShotRegistration
{
    ShotRegistration(const char *name, ShotFunction function);
};

// Registers a picture from its own source file:
//   QUILLMOOR_SHOT(download_window, shootDownloadWindow)
#define QUILLMOOR_SHOT(name, function) static const ShotRegistration shot_##name(#name, function)
