#pragma once

#include "cachetools/BrowserCacheTool.h"
#include "copytool/ui/Form_Copy_Move.h"

#include <QDialog>

#include <functional>
#include <memory>

class AppPaths;
class QLabel;
class QPushButton;
class QTemporaryDir;
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
    ~fIEcache() override;

    BrowserCacheTool &tool() { return m_tool; }

Q_SIGNALS:
    // The copy window is about to be shown modally.
    void copyWindowOpening(Form_Copy_Move *copyWindow);

private:
    void showListing();
    QList<int> selectedRows() const;
    void copySelected();
    void openCopyWindow(const QStringList &files, const QStringList &dropped);
    void showProgress(int done, int total);

    BrowserCacheTool m_tool;
    UserDialogs &m_dialogs;
    const AppPaths &m_paths;
    QTreeView *m_listView1;
    QTreeWidget *m_listView2;
    QTreeWidget *m_listView3;
    QLabel *m_label1;
    QList<QPushButton *> m_runButtons; // off while a run is active
    QString m_runText;
    // The bodies written out for the copy live until the copy window closes.
    std::unique_ptr<QTemporaryDir> m_bodies;
};

// The two menu entries "查看IE浏览器缓存" and "清空IE浏览器缓存" of the search
// and download windows. profileCachePath is the program profile's
// QWebEngineProfile::cachePath().

// Opens the cache window modally over `parent` and returns when it is closed.
void ShowBrowserCacheWindow(
    QWidget *parent, const QString &profileCachePath, UserDialogs &dialogs, const AppPaths &paths);
// Starts clearing the cache (BrowserCacheClearing) and returns; a progress
// window beside `parent` shows a long run, and "IE缓存清空完毕！" ends it.
// clearProfileCache (e.g. calling QWebEngineProfile::clearHttpCache) runs
// first. A second call while a run of the same parent is active does nothing.
void ClearBrowserCache(QWidget *parent, const QString &profileCachePath, UserDialogs &dialogs,
    const std::function<void()> &clearProfileCache);
