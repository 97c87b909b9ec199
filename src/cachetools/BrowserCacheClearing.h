#pragma once

#include "cachetools/BrowserCacheTool.h"

#include <QObject>

#include <functional>

class UserDialogs;

// "清空IE浏览器缓存": empties the program profile's cache and every profile's
// cache files. It asks the profile to clear its cache (when given), lists my
// cache and deletes all, lists all caches and deletes all; then, when asked,
// says "IE缓存清空完毕！". The deleting runs in slices between events, so the
// window that started it stays responsive and can show the progress.
class BrowserCacheClearing : public QObject
{
    Q_OBJECT
public:
    BrowserCacheClearing(BrowserCacheLocations locations, UserDialogs &dialogs, bool showMessage,
        std::function<void()> clearProfileCache = {}, QObject *parent = nullptr);

    // Ignored while running.
    void start();
    bool isRunning() const { return m_step != Step::Idle; }

Q_SIGNALS:
    // Rows deleted of the rows of the current listing (my cache, then all caches).
    void progress(int done, int total);
    // The files are gone; the closing message, when asked for, follows.
    void finished();

private:
    enum class Step { Idle, MyCache, AllCaches };
    void next();
    void end();

    BrowserCacheTool m_tool;
    UserDialogs &m_dialogs;
    bool m_showMessage;
    std::function<void()> m_clearProfileCache;
    Step m_step = Step::Idle;
};
