#include "download/DownloadListStore.h"

#include "download/DownloadItemJson.h"
#include "download/DownloadList.h"

#include <QSet>

DownloadListStore::DownloadListStore(const QString &folder) : m_store(StoredList::Download, folder)
{ }

std::optional<qsizetype> DownloadListStore::savedRowCount(QString *error) const
{
    return m_store.rowCount(error);
}

std::optional<qsizetype> DownloadListStore::unfinishedRowCount(QString *error) const
{
    const std::optional<QList<QJsonObject>> rows = m_store.load(error);
    if (!rows)
        return std::nullopt;
    qsizetype unfinished = 0;
    for (const QJsonObject &row : *rows) {
        if (DownloadItemFromJson(row).StatusCode != Status::Completed)
            ++unfinished;
    }
    return unfinished;
}

QString DownloadListStore::restoreQuestion(qsizetype rows)
{
    return QStringLiteral("上次的下载列表还有%1项未完成，是否恢复？").arg(rows);
}

bool DownloadListStore::hasUnfinishedRows(const DownloadList &list)
{
    for (int row = 0; row < list.size(); ++row) {
        if (list.at(row).StatusCode != Status::Completed)
            return true;
    }
    return false;
}

bool DownloadListStore::save(const DownloadList &list, QString *error) const
{
    if (list.size() == 0)
        return m_store.remove(error);
    QList<QJsonObject> rows;
    rows.reserve(list.size());
    for (int row = 0; row < list.size(); ++row)
        rows.append(DownloadItemToJson(list.at(row)));
    return m_store.save(rows, error);
}

bool DownloadListStore::saveAfterSaved(const DownloadList &list, QString *error) const
{
    const std::optional<QList<QJsonObject>> saved = m_store.load(error);
    if (!saved)
        return false;
    QList<QJsonObject> rows = *saved;
    QSet<QString> keys;
    for (const QJsonObject &row : rows)
        keys.insert(DownloadItemFromJson(row).Key);
    for (int row = 0; row < list.size(); ++row) {
        if (!keys.contains(list.at(row).Key))
            rows.append(DownloadItemToJson(list.at(row)));
    }
    if (rows.isEmpty())
        return m_store.remove(error);
    return m_store.save(rows, error);
}

std::optional<int> DownloadListStore::restore(DownloadList &list, QString *error) const
{
    const std::optional<QList<QJsonObject>> rows = m_store.load(error);
    if (!rows)
        return std::nullopt;
    QList<DownloadItem> items;
    items.reserve(rows->size());
    for (const QJsonObject &row : *rows)
        items.append(DownloadItemFromJson(row));
    return list.prependItems(items);
}

bool DownloadListStore::discard(QString *error) const
{
    return m_store.remove(error);
}
