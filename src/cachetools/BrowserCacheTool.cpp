#include "cachetools/BrowserCacheTool.h"

#include "cachetools/WebEngineDiskCache.h"
#include "common/FileNameHelpers.h"
#include "common/MimeTypes.h"
#include "common/SafeFiles.h"
#include "common/TextMode.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <numeric>

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

BrowserCacheTool::~BrowserCacheTool()
{
    // A body cut off by the window closing is not left behind.
    if (m_writer) {
        m_writer.reset();
        m_out.remove();
    }
}

void BrowserCacheTool::listMyCache()
{
    m_files.setRows({});
    bool ok = true;
    const QList<DiskCacheEntry> entries
        = WebEngineDiskCache(m_locations.myCacheFolder).entries(&ok);
    QList<CacheFileRow> rows;
    rows.reserve(entries.size());
    for (const DiskCacheEntry &entry : entries) {
        // Split-cache keys can give one URL several entries: each is a row
        // of its own and knows its own entry file.
        rows.append({ entry.url, UrlFileNameAndExtension(entry.url), -1, {},
            m_locations.myCacheFolder, entry.filePath, entry.bodySize });
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
        const CacheFileRow &row = m_files.row(i);
        if (!row.entryFile.isEmpty() && FileExists(row.entryFile))
            m_files.setFile(i, row.entryFile, row.entrySize);
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
    m_profilesRoot.clear();

    // Only a cache folder strictly inside the home has a path every profile
    // can share; anything else would make whole home folders count as caches.
    const QString home = QDir::cleanPath(m_locations.homeFolder);
    const QString mine = QDir::cleanPath(m_locations.myCacheFolder);
    QString subPath;
    if (!home.isEmpty() && home != u"/" && mine.startsWith(withSlash(home))) {
        subPath = mine.mid(withSlash(home).size());
        m_profilesRoot = withSlash(QFileInfo(home).path());
    }
    if (!m_profilesRoot.isEmpty())
        ListSubfolders(m_profilesRoot, ProfileFolders, false);
    for (const QString &profile : std::as_const(ProfileFolders)) {
        const QString folder = withSlash(profile) + subPath;
        // Another user could point a link at the running user's files.
        if (!IsPlainFolderBeneath(m_profilesRoot, folder))
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
                QFileInfo(file).size(), file, user.folder, {}, -1 });
        }
    }
    m_files.setRows(std::move(rows));
    m_countText = fileCountText(m_files.rowCount());
    m_tag = kAllCachesTag;
    Q_EMIT listed();
}

bool BrowserCacheTool::insideUserCache(const QString &path) const
{
    for (const UserCacheFolder &user : m_userFolders) {
        if (path.startsWith(user.folder) && path.size() > user.folder.size())
            return true;
    }
    return false;
}

void BrowserCacheTool::deleteRow(const CacheFileRow &row)
{
    if (row.text.startsWith(kUserPrefix)) {
        if (!row.filePath.isEmpty() && row.type.toLower() != u"txt"
            && row.filePath.startsWith(row.cacheFolder) && insideUserCache(row.filePath))
            强制删除(m_profilesRoot, row.filePath);
        return;
    }
    if (row.text.isEmpty() || textContains(row.text, u"Cookie"))
        return;
    // The entry the row stands for; its file is the row's FilePath.
    for (const QString &file : WebEngineDiskCache::filesOfEntry(row.entryFile))
        强制删除(row.cacheFolder, file);
    if (!row.filePath.isEmpty())
        强制删除(row.cacheFolder, row.filePath);
}

void BrowserCacheTool::deleteRows(QList<int> rows)
{
    startRun(Job::Delete, std::move(rows));
}

void BrowserCacheTool::deleteAll()
{
    QList<int> rows(m_files.rowCount());
    std::iota(rows.begin(), rows.end(), 0);
    startRun(Job::Delete, std::move(rows));
}

void BrowserCacheTool::copyOut(QList<int> rows, const QString &folder)
{
    if (isBusy())
        return;
    m_copyFolder = folder;
    m_copied = 0;
    m_copyFiles.clear();
    m_dropped.clear();
    startRun(Job::CopyOut, std::move(rows));
}

void BrowserCacheTool::startRun(Job job, QList<int> rows)
{
    if (isBusy())
        return;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    m_runRows.clear();
    for (const int index : std::as_const(rows)) {
        if (index >= 0 && index < m_files.rowCount())
            m_runRows.append(m_files.row(index));
    }
    m_next = 0;
    m_job = job;
    Q_EMIT busyChanged(true);
    Q_EMIT progress(0, int(m_runRows.size()));
    // The window shows the run before its first slice.
    QTimer::singleShot(0, this, &BrowserCacheTool::workSlice);
}

void BrowserCacheTool::workSlice()
{
    if (!isBusy())
        return;
    QElapsedTimer slice;
    slice.start();
    int rows = 0;
    qint64 budget = BytesPerSlice;
    while (m_next < m_runRows.size() && rows < RowsPerSlice && budget > 0
        && slice.elapsed() < SliceMs) {
        if (m_job == Job::Delete) {
            deleteRow(m_runRows.at(m_next++));
            ++rows;
        } else if (m_writer ? continueCopyOut(&budget) : beginCopyOut(m_runRows.at(m_next))) {
            ++m_next;
            ++rows;
        }
    }
    Q_EMIT progress(m_next, int(m_runRows.size()));
    if (m_next < m_runRows.size())
        QTimer::singleShot(0, this, &BrowserCacheTool::workSlice);
    else
        endRun();
}

void BrowserCacheTool::endRun()
{
    const Job job = m_job;
    m_job = Job::None;
    m_runRows.clear();
    if (job == Job::Delete)
        relist();
    Q_EMIT busyChanged(false);
    if (job == Job::Delete)
        Q_EMIT deleteFinished();
    else
        Q_EMIT copyOutFinished(m_copyFiles, m_dropped);
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
    // A folder that still holds anything stays; a link is no folder of the
    // cache and stays too.
    for (auto it = CacheFolders.crbegin(); it != CacheFolders.crend(); ++it) {
        if (!it->isEmpty() && insideUserCache(*it))
            RemoveBeneath(m_profilesRoot, *it, RemoveWhat::EmptyFolder);
    }
}

// On this system a file's own permissions do not guard it against deletion
// (its folder's do), so nothing is changed before it goes. The file must lie
// below `cacheFolder` with no link on the way; a link is removed itself.
void BrowserCacheTool::强制删除(const QString &cacheFolder, const QString &path)
{
    RemoveBeneath(cacheFolder, path);
}

bool BrowserCacheTool::beginCopyOut(const CacheFileRow &row)
{
    if (row.filePath.isEmpty())
        return true;
    const auto entry = WebEngineDiskCache::readEntryFile(row.filePath);
    if (!entry) {
        m_copyFiles.append(row.filePath);
        return true;
    }
    const QString subfolder = m_copyFolder + u'/' + QString::number(++m_copied);
    m_out.setFileName(subfolder + u'/' + CopyOutFileName(*entry));
    m_outUrl = entry->url;
    // The entry's time, so that copying the same entry again meets an equal file.
    m_outTime = QFileInfo(row.filePath).lastModified();
    if (!QDir().mkpath(subfolder) || !m_out.open(QIODevice::WriteOnly)) {
        m_dropped.append(m_outUrl);
        return true;
    }
    m_writer = std::make_unique<DiskCacheBodyWriter>(*entry, m_out);
    return false;
}

bool BrowserCacheTool::continueCopyOut(qint64 *budget)
{
    const qint64 piece = qMin<qint64>(*budget, 1 << 20);
    *budget -= piece;
    switch (m_writer->writeSome(piece)) {
    case DiskCacheBodyWriter::Step::More:
        return false;
    case DiskCacheBodyWriter::Step::Done:
        endCopyOut(true);
        return true;
    case DiskCacheBodyWriter::Step::Failed:
        endCopyOut(false);
        return true;
    }
    return true;
}

void BrowserCacheTool::endCopyOut(bool written)
{
    m_writer.reset();
    written = written && m_out.flush();
    if (written) {
        m_out.setFileTime(m_outTime, QFileDevice::FileModificationTime);
        m_out.close();
        m_copyFiles.append(m_out.fileName());
    } else {
        // A body that cannot be decoded is not handed on, and the user is told.
        m_out.remove();
        m_dropped.append(m_outUrl);
    }
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

QString CopyOutDroppedText(const QStringList &droppedUrls)
{
    constexpr qsizetype kShown = 10;
    QString text
        = QString::number(droppedUrls.size()) + QStringLiteral(" 个缓存文件无法读出，没有复制：");
    for (qsizetype i = 0; i < droppedUrls.size() && i < kShown; ++i)
        text += u'\n' + droppedUrls.at(i);
    if (droppedUrls.size() > kShown)
        text += QStringLiteral("\n……");
    return text;
}
