#pragma once

#include "cachetools/BrowserCacheTool.h"

#include <QDialog>

#include <functional>
#include <memory>

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
    fIEcache(const BrowserCacheLocations &locations, UserDialogs &dialogs,
        QWidget *parent = nullptr);
    ~fIEcache() override;

    BrowserCacheTool &tool() { return m_tool; }

Q_SIGNALS:
    // The selected bodies are written out: the copy window should copy
    // `files` now. They are removed when the receiver returns, so it shows
    // the copy window modally (a direct connection).
    void copyWindowRequested(const QStringList &files);

private:
    void showListing();
    QList<int> selectedRows() const;
    void copySelected();
    void openCopyWindow(const QStringList &files, const QStringList &dropped);
    void showProgress(int done, int total);

    BrowserCacheTool m_tool;
    UserDialogs &m_dialogs;
    QTreeView *m_listView1;
    QTreeWidget *m_listView2;
    QTreeWidget *m_listView3;
    QLabel *m_label1;
    QList<QPushButton *> m_runButtons; // off while a run is active
    QString m_runText;
    // The bodies written out for the copy live until the copy window closes.
    std::unique_ptr<QTemporaryDir> m_bodies;
};

// The menu entry "清空IE浏览器缓存" of the search and download windows.
// profileCachePath is the program profile's QWebEngineProfile::cachePath().
// Starts clearing the cache (BrowserCacheClearing) and returns; a progress
// window beside `parent` shows a long run, and "IE缓存清空完毕！" ends it.
// clearProfileCache (e.g. calling QWebEngineProfile::clearHttpCache) runs
// first. A second call while a run of the same parent is active does nothing.
void ClearBrowserCache(QWidget *parent, const QString &profileCachePath, UserDialogs &dialogs,
    const std::function<void()> &clearProfileCache);
