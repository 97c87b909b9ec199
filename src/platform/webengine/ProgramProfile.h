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
    // Folder with Cookies, History, Local Storage ...
    static QString dataPath();
    // Folder whose Cache_Data/ holds the disk cache entries.
    static QString cachePath();

    // Marks console messages the frame script sends; see the page.
    static QString frameCompleteMarker();
};
