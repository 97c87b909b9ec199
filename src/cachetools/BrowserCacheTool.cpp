#include "cachetools/BrowserCacheTool.h"

#include "cachetools/WebEngineDiskCache.h"
#include "common/FileNameHelpers.h"
#include "common/MimeTypes.h"
#include "common/TextMode.h"
#include "platform/UserDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString kMyCacheTag = QStringLiteral("我的缓存");
const QString kAllCachesTag = QStringLiteral("所有缓存");
const QString kUserPrefix = QStringLiteral("用户:");

QString fileCountText(qsizetype rows, bool failed = false)
{
    return (failed ? QStringLiteral("出错!!!共有") : QStringLiteral("共有")) + QString::number(rows)
        + QStringLiteral(" 个文件");
}

QString withSlash(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

QString BrowserCacheLocations::diskCacheFolder(const QString &profileCachePath)
{
    return profileCachePath + QStringLiteral("/Cache/Cache_Data");
}

BrowserCacheLocations BrowserCacheLocations::ofProfile(const QString &profileCachePath)
{
    return { diskCacheFolder(profileCachePath), QDir::homePath() };
}

BrowserCacheTool::BrowserCacheTool(BrowserCacheLocations locations, QObject *parent)
    : QObject(parent), m_locations(std::move(locations)), m_countText(QStringLiteral("000"))
{ }

void BrowserCacheTool::listMyCache()
{
    m_files.setRows({});
    m_entryFiles.clear();
    m_bodySizes.clear();
    bool ok = true;
    const QList<DiskCacheEntry> entries
        = WebEngineDiskCache(m_locations.myCacheFolder).entries(&ok);
    QList<CacheFileRow> rows;
    rows.reserve(entries.size());
    for (const DiskCacheEntry &entry : entries) {
        rows.append({ entry.url, UrlFileNameAndExtension(entry.url), -1, {} });
        // Split-cache keys can give one URL several entries; the first one answers.
        if (!m_entryFiles.contains(entry.url)) {
            m_entryFiles.insert(entry.url, entry.filePath);
            m_bodySizes.insert(entry.url, entry.bodySize);
        }
    }
    m_files.setRows(std::move(rows));
    m_countText = fileCountText(m_files.rowCount(), !ok);
    判断文件在缓存中文件路径();
    m_tag = kMyCacheTag;
    Q_EMIT listed();
}

void BrowserCacheTool::判断文件在缓存中文件路径()
{
    for (int i = 0; i < m_files.rowCount(); ++i) {
        const QString path = m_entryFiles.value(m_files.row(i).text);
        if (!path.isEmpty() && FileExists(path))
            m_files.setFile(i, path, m_bodySizes.value(m_files.row(i).text));
        else
            m_files.setFile(i, {}, -1);
    }
}

void BrowserCacheTool::listAllCaches()
{
    m_files.setRows({});
    m_userFolders.clear();
    ProfileFolders.clear();
    CacheFolders.clear();

    // Only a cache folder strictly inside the home has a path every profile
    // can share; anything else would make whole home folders count as caches.
    const QString home = QDir::cleanPath(m_locations.homeFolder);
    const QString mine = QDir::cleanPath(m_locations.myCacheFolder);
    QString root;
    QString subPath;
    if (!home.isEmpty() && home != u"/" && mine.startsWith(withSlash(home))) {
        subPath = mine.mid(withSlash(home).size());
        root = withSlash(QFileInfo(home).path());
    }
    if (!root.isEmpty())
        ListSubfolders(root, ProfileFolders, false);
    for (const QString &profile : std::as_const(ProfileFolders)) {
        const QString folder = withSlash(profile) + subPath;
        if (!FolderExists(folder))
            continue;
        m_userFolders.append({ QFileInfo(profile).fileName(), withSlash(folder) });
        ListSubfolders(folder, CacheFolders, true);
    }

    QList<CacheFileRow> rows;
    for (const UserCacheFolder &user : std::as_const(m_userFolders)) {
        QStringList files;
        ListFiles(user.folder, files, true);
        for (const QString &file : std::as_const(files)) {
            rows.append({ kUserPrefix + user.userName, UrlFileNameAndExtension(file),
                QFileInfo(file).size(), file });
        }
    }
    m_files.setRows(std::move(rows));
    m_countText = fileCountText(m_files.rowCount());
    m_tag = kAllCachesTag;
    Q_EMIT listed();
}

void BrowserCacheTool::deleteRow(const CacheFileRow &row)
{
    if (row.text.startsWith(kUserPrefix)) {
        if (!row.filePath.isEmpty() && row.type.toLower() != u"txt")
            强制删除(row.filePath);
        return;
    }
    if (row.text.isEmpty() || textContains(row.text, u"Cookie"))
        return;
    WebEngineDiskCache(m_locations.myCacheFolder).remove(row.text);
    if (!row.filePath.isEmpty())
        强制删除(row.filePath);
}

void BrowserCacheTool::deleteRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (const int index : std::as_const(rows)) {
        if (index >= 0 && index < m_files.rowCount())
            deleteRow(m_files.row(index));
    }
    relist();
}

void BrowserCacheTool::deleteAll()
{
    for (const CacheFileRow &row : m_files.rows())
        deleteRow(row);
    relist();
}

void BrowserCacheTool::relist()
{
    删除空文件夹();
    if (m_tag == kMyCacheTag)
        listMyCache();
    else if (m_tag == kAllCachesTag)
        listAllCaches();
}

void BrowserCacheTool::删除空文件夹()
{
    for (auto it = CacheFolders.crbegin(); it != CacheFolders.crend(); ++it) {
        if (it->isEmpty())
            continue;
        const QFileInfo info(*it);
        if (info.isSymLink() || !info.isDir())
            continue;
        QFile::setPermissions(
            *it, info.permissions() | QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().rmdir(*it); // fails, as it should, while anything is left inside
    }
}

void BrowserCacheTool::强制删除(const QString &path)
{
    const QFileInfo info(path);
    // Permissions of a link are those of its target, which is not ours to change.
    if (!info.isSymLink() && info.exists())
        QFile::setPermissions(path, info.permissions() | QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(path);
}

QStringList BrowserCacheTool::filesForCopy(QList<int> rows, const QString &folder) const
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList files;
    int made = 0;
    for (const int index : std::as_const(rows)) {
        if (index < 0 || index >= m_files.rowCount())
            continue;
        const QString path = m_files.row(index).filePath;
        if (path.isEmpty())
            continue;
        const auto entry = WebEngineDiskCache::readEntryFile(path);
        if (!entry) {
            files.append(path);
            continue;
        }
        const QString subfolder = folder + u'/' + QString::number(++made);
        const QString target = subfolder + u'/' + CopyOutFileName(*entry);
        QFile out(target);
        if (!QDir().mkpath(subfolder) || !out.open(QIODevice::WriteOnly)
            || !WebEngineDiskCache::writeBody(*entry, out) || !out.flush()) {
            out.remove(); // a body that cannot be decoded is not handed on
            continue;
        }
        // The entry's time, so that copying the same entry again meets an equal file.
        out.setFileTime(QFileInfo(path).lastModified(), QFileDevice::FileModificationTime);
        files.append(target);
    }
    return files;
}

QString CopyOutFileName(const DiskCacheEntry &entry)
{
    QString display;
    UrlFileNameAndExtension(entry.url, &display);
    const qsizetype query = display.indexOf(u'?');
    if (query >= 0)
        display.truncate(query);
    QString name = CleanFileName(display);
    if (name.isEmpty())
        name = QStringLiteral("index");
    if (SplitNameAndExtension(name).isEmpty()) {
        const QString type = QString::fromLatin1(entry.header("Content-Type")).section(u';', 0, 0);
        const QString extension = ExtensionFromContentType(type.trimmed());
        if (!extension.isEmpty())
            name += u'.' + extension;
    }
    return name;
}

void ClearBrowserCache(const BrowserCacheLocations &locations, UserDialogs &dialogs,
    bool showMessage, const std::function<void()> &clearProfileCache)
{
    if (clearProfileCache)
        clearProfileCache();
    BrowserCacheTool tool(locations);
    tool.listMyCache();
    tool.deleteAll();
    tool.listAllCaches();
    tool.deleteAll();
    if (showMessage)
        dialogs.message(QStringLiteral("IE缓存清空完毕！"), UserDialogs::Style::Information);
}
