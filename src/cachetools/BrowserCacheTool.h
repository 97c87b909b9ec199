#pragma once

#include "cachetools/CacheFileList.h"

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QStringList>

#include <memory>

class DiskCacheBodyWriter;

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
// sort, deleting rows and empty folders, and writing cached bodies out for
// the copy tool. The window shows fileList() and the folder lists.
//
// Deleting and writing bodies out are runs that work in slices and return to
// the event loop between them, so the window stays responsive and can show
// progress; each row is handled once, by the files it knows.
class BrowserCacheTool : public QObject
{
    Q_OBJECT
public:
    struct UserCacheFolder
    {
        QString userName;
        QString folder; // ends with "/"
    };

    // At most this many rows are deleted, and this many body bytes written,
    // before the run returns to the event loop; a slice also ends after
    // SliceMs.
    static constexpr int RowsPerSlice = 100;
    static constexpr qint64 BytesPerSlice = 4 << 20;
    static constexpr qint64 SliceMs = 15;

    explicit BrowserCacheTool(BrowserCacheLocations locations, QObject *parent = nullptr);
    ~BrowserCacheTool() override;

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
    // Every profile's cache folder and its files. A cache folder reached
    // through a symbolic link (the profile folder, a folder on the way or
    // the cache folder itself) could be anybody's: it is skipped.
    void listAllCaches();
    // Gives each my-cache row its entry file and body size, or empties both
    // when that file is gone.
    void 判断文件在缓存中文件路径();

    // Delete selected (rows in list order) and delete all: start a run over
    // the rows as they are now. When it ends, the folders that became empty
    // are removed, the same view is listed again and deleteFinished follows.
    // Ignored while a run is active.
    void deleteRows(QList<int> rows);
    void deleteAll();
    void 删除空文件夹();
    // Deletes the file at `path`, which must lie below `cacheFolder` with no
    // link on the way; a link is removed itself, never what it points to.
    // Failures are ignored.
    static void 强制删除(const QString &cacheFolder, const QString &path);

    // "复制选中...": starts a run that writes the files the copy tool gets for
    // the rows into `folder`: a cache entry's body, decoded, under its URL's
    // file name (one subfolder per file, so equal names do not meet there);
    // any other file is handed on as it is. copyOutFinished gives the files
    // and the URLs of the bodies that could not be written. Ignored while a
    // run is active.
    void copyOut(QList<int> rows, const QString &folder);

    // A delete or copy-out run is active.
    bool isBusy() const { return m_job != Job::None; }

Q_SIGNALS:
    // After every listing: the count text and folder lists are current.
    void listed();
    void busyChanged(bool busy);
    // Rows handled of the rows of the current run.
    void progress(int done, int total);
    void deleteFinished();
    void copyOutFinished(const QStringList &files, const QStringList &dropped);

private:
    enum class Job { None, Delete, CopyOut };

    void startRun(Job job, QList<int> rows);
    void workSlice();
    void endRun();
    void deleteRow(const CacheFileRow &row);
    void relist();
    // Copy-out of one row: true when the row is done (handed on, skipped or
    // dropped), false when its body writer goes on in the next slice.
    bool beginCopyOut(const CacheFileRow &row);
    bool continueCopyOut(qint64 *budget);
    void endCopyOut(bool written);
    bool insideUserCache(const QString &path) const;

    BrowserCacheLocations m_locations;
    CacheFileList m_files;
    QString m_tag;
    QString m_countText;
    QList<UserCacheFolder> m_userFolders;
    // The parent of the home: profile folders are looked at from here, and
    // no link below it is followed when deleting.
    QString m_profilesRoot;

    Job m_job = Job::None;
    QList<CacheFileRow> m_runRows; // the rows of the run, as they were at its start
    int m_next = 0;
    QString m_copyFolder;
    int m_copied = 0;
    QStringList m_copyFiles;
    QStringList m_dropped;
    // The body being written out.
    QFile m_out;
    QString m_outUrl;
    QDateTime m_outTime;
    std::unique_ptr<DiskCacheBodyWriter> m_writer;
};

// The name a cached body is saved under: the file name of its URL (query
// dropped, made safe), with the extension of its media type when the URL
// names none; "index" when the URL names no file.
struct DiskCacheEntry;
QString CopyOutFileName(const DiskCacheEntry &entry);

// What the window says about bodies that could not be written out.
QString CopyOutDroppedText(const QStringList &droppedUrls);
