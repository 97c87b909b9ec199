#include "download/ListOperations.h"

#include "download/DownloadList.h"

#include <QFile>
#include <QFileInfo>

bool isWebPageType(const QString &type, bool countXml)
{
    const QString t = type.toLower();
    return t == QStringLiteral("htm") || t == QStringLiteral("html")
        || (countXml && t == QStringLiteral("xml"));
}

void DeleteSavedFile(const DownloadItem &row)
{
    const QString path = row.savedFilePath();
    const QFileInfo info(path);
    if (info.isFile() || info.isSymLink())
        QFile::remove(path);
}

void RequeueRow(DownloadList &list, int row, bool placeholderType)
{
    DeleteSavedFile(list.at(row));
    list.update(row, [&](DownloadItem &item) {
        item.StatusCode = Status::Waiting;
        item.FailureReason.clear();
        if (placeholderType)
            item.Type = QStringLiteral("xxx");
        item.Size.clear();
        item.Received.clear();
        item.Percent.clear();
    });
    DeleteSavedFile(list.at(row));
    // A rotated key that another row already holds is refused by the list;
    // the row then keeps its key.
    const QString rotated = DownloadList::对调url(list.at(row).Key);
    if (rotated != list.at(row).Key)
        list.update(row, [&](DownloadItem &item) { item.Key = rotated; });
}

int RequeueFailedRows(DownloadList &list)
{
    int count = 0;
    for (int row = 0; row < list.size(); ++row) {
        const DownloadItem &item = list.at(row);
        if (item.StatusCode != Status::Failed)
            continue;
        RequeueRow(list, row, isWebPageType(item.Type, false));
        ++count;
    }
    return count;
}

int RequeueWebPageRows(DownloadList &list)
{
    int count = 0;
    for (int row = 0; row < list.size(); ++row) {
        const DownloadItem &item = list.at(row);
        if (!isWebPageType(item.Type, true))
            continue;
        if (item.StatusCode != Status::Completed && item.StatusCode != Status::Failed)
            continue;
        RequeueRow(list, row, true);
        ++count;
    }
    return count;
}
