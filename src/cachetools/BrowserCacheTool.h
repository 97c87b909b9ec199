#pragma once

#include "cachetools/CacheFileList.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <functional>

class UserDialogs;

// Where the cache window looks.
struct BrowserCacheLocations
{
    // The program profile's disk cache ("my cache").
    QString myCacheFolder;
    // The current user's home. Its parent holds every user profile, and each
    // profile's cache lies at the path of myCacheFolder relative to the home.
    QString homeFolder;

    // The disk-cache folder of a WebEngine profile with that cache path
    // (QWebEngineProfile::cachePath()).
    static QString diskCacheFolder(const QString &profileCachePath);
    // That folder as my cache, the running user's home as the home.
    static BrowserCacheLocations ofProfile(const QString &profileCachePath);
};

// What the cache window decides: the my-cache and all-caches listings, the
// sort, deleting rows and empty folders, and handing cached bodies to the
// copy tool. The window shows fileList() and the folder lists.
class BrowserCacheTool : public QObject
{
    Q_OBJECT
public:
    struct UserCacheFolder
    {
        QString userName;
        QString folder; // ends with "/"
    };

    explicit BrowserCacheTool(BrowserCacheLocations locations, QObject *parent = nullptr);

    CacheFileList *fileList() { return &m_files; }
    // "我的缓存", "所有缓存", or empty before the first listing.
    QString tag() const { return m_tag; }
    // Label1: "共有N 个文件", or "出错!!!共有N 个文件".
    QString countText() const { return m_countText; }
    // ListView2 and ListView3 of the last all-caches listing.
    QList<UserCacheFolder> userCacheFolders() const { return m_userFolders; }
    QStringList CacheFolders;
    QStringList ProfileFolders;

    void listMyCache(); // GetCacheURLList
    void listAllCaches();
    // Gives each my-cache row the entry file of its URL and the body size,
    // or empties both when the entry or its file is gone.
    void 判断文件在缓存中文件路径();

    // Delete selected (rows in list order) and delete all; both remove the
    // folders that became empty and list the same view again.
    void deleteRows(QList<int> rows);
    void deleteAll();
    void 删除空文件夹();

    // The files the copy tool gets for the given rows: a cache entry's body,
    // decoded, written to `folder` under its URL's file name (one subfolder
    // per file, so equal names do not meet there); any other file as it is.
    QStringList filesForCopy(QList<int> rows, const QString &folder) const;

    // Clears a file's read-only state, then deletes it. A link is removed
    // without touching what it points to. Failures are ignored.
    static void 强制删除(const QString &path);

Q_SIGNALS:
    // After every listing: the count text and folder lists are current.
    void listed();

private:
    void deleteRow(const CacheFileRow &row);
    void relist();

    BrowserCacheLocations m_locations;
    CacheFileList m_files;
    QString m_tag;
    QString m_countText;
    QList<UserCacheFolder> m_userFolders;
    QHash<QString, QString> m_entryFiles; // URL -> entry file of the last listing
    QHash<QString, qint64> m_bodySizes;
};

// The name a cached body is saved under: the file name of its URL (query
// dropped, made safe), with the extension of its media type when the URL
// names none; "index" when the URL names no file.
struct DiskCacheEntry;
QString CopyOutFileName(const DiskCacheEntry &entry);

// Empties the program profile's cache and every profile's cache files:
// asks the profile to clear its cache (when given), lists my cache and
// deletes all, lists all caches and deletes all; then, when asked, says
// "IE缓存清空完毕！".
void ClearBrowserCache(const BrowserCacheLocations &locations, UserDialogs &dialogs,
    bool showMessage, const std::function<void()> &clearProfileCache = {});
