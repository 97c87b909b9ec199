#pragma once

#include "cachetools/BrowserCacheTool.h"
#include "copytool/ui/Form_Copy_Move.h"

#include <QDialog>

class AppPaths;
class QLabel;
class QPushButton;
class QTreeView;
class QTreeWidget;
class UserDialogs;

// The cache window: my cache or every profile's cache files in one list,
// the profiles' cache folders beside it, delete, copy out and close.
class fIEcache : public QDialog
{
    Q_OBJECT
public:
    fIEcache(const BrowserCacheLocations &locations, UserDialogs &dialogs, const AppPaths &paths,
        QWidget *parent = nullptr);

    BrowserCacheTool &tool() { return m_tool; }

private:
    void showListing();
    QList<int> selectedRows() const;
    void copySelected();

    BrowserCacheTool m_tool;
    UserDialogs &m_dialogs;
    const AppPaths &m_paths;
    QTreeView *m_listView1;
    QTreeWidget *m_listView2;
    QTreeWidget *m_listView3;
    QLabel *m_label1;
};

// The two menu entries "查看IE浏览器缓存" and "清空IE浏览器缓存" of the search
// and download windows. profileCachePath is the program profile's
// QWebEngineProfile::cachePath().

// Opens the cache window modally over `parent` and returns when it is closed.
void ShowBrowserCacheWindow(QWidget *parent, const QString &profileCachePath);
// Clears the cache and says "IE缓存清空完毕！" over `parent`; clearProfileCache
// (e.g. calling QWebEngineProfile::clearHttpCache) runs first.
void ClearBrowserCache(QWidget *parent, const QString &profileCachePath,
    const std::function<void()> &clearProfileCache);
