#pragma once

class AppPaths;
class Clock;
class CookieJar;
class Shell;
class SoundPlayer;
class UserDialogs;
struct AppValues;

// What the windows of the desktop program share: the process-wide values and
// the platform services. The program owns each of them and hands them to
// every window's constructor; tests hand in fakes.
struct AppServices
{
    AppValues &values;
    Clock &clock;
    const AppPaths &paths;
    SoundPlayer &player;
    UserDialogs &dialogs;
    Shell &shell;
    CookieJar *jar = nullptr;
};
