#pragma once

#include <QString>

class QWebEngineProfile;

// The one persistent browser profile "Quillmoor" that every browser of the
// program shares (search window, login browser, command line): one cookie
// store, one disk cache, one history. Created on first use; it lives until the
// application object goes.
class ProgramProfile
{
public:
    static constexpr const char *Name = "Quillmoor";

    // Before the first profile(): keep data and cache in these folders
    // instead of the per-user ones (tests, a portable run).
    static void setStorage(const QString &dataPath, const QString &cachePath);

    static QWebEngineProfile *profile();

    // Two engines must not work on one profile folder at once (its cookie
    // database, local storage and cache are each one process's). The process
    // that makes the profile claims it; the claim ends with the process.
    // Answers whether this process holds the claim, waiting up to waitMs for
    // another process to let go. profile() claims without waiting and goes on
    // either way: the desktop program never blocks; a front end that must
    // not share (the command line's login) asks first and stops when refused.
    static bool claimStorage(int waitMs = 0);
    // Folder with Cookies, History, Local Storage ...
    static QString dataPath();
    // The same folder, known without making the profile (and so before the
    // engine has opened any of its files).
    static QString plannedDataPath();
    // Folder whose Cache_Data/ holds the disk cache entries.
    static QString cachePath();

    // Marks console messages the frame script sends; see the page.
    static QString frameCompleteMarker();
};
