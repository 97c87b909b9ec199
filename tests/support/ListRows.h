#pragma once

#include "download/DownloadList.h"

#include <QList>
#include <QStringList>
#include <QTest>

// A row as tests describe it. An empty name is made from the row's position,
// an empty key is made unique.
struct ListRow
{
    int status = Status::Waiting;
    QString type;
    QString size;
    QString received;
    QString percent;
    QString key;
    QString name;
    QString folder;
    QString referer;

    ListRow &named(const QString &text)
    {
        name = text;
        return *this;
    }
    ListRow &keyed(const QString &text)
    {
        key = text;
        return *this;
    }
    ListRow &in(const QString &text)
    {
        folder = text;
        return *this;
    }
    ListRow &referring(const QString &text)
    {
        referer = text;
        return *this;
    }
};

inline ListRow row(int status, const QString &type = {}, const QString &size = {},
    const QString &received = {}, const QString &percent = {})
{
    ListRow result;
    result.status = status;
    result.type = type;
    result.size = size;
    result.received = received;
    result.percent = percent;
    return result;
}

// Appends the rows with their status and columns set.
inline void appendRows(DownloadList &list, const QList<ListRow> &rows)
{
    for (const ListRow &row : rows) {
        const int at = list.size();
        static int made = 0;
        const QString key = row.key.isEmpty() ? QStringLiteral("http://h/%1").arg(made++) : row.key;
        const QString name = row.name.isEmpty() ? QStringLiteral("n%1").arg(at) : row.name;
        QVERIFY(list.addItem(key, name, row.type, row.folder, row.referer));
        list.update(at, [&](DownloadItem &item) {
            item.StatusCode = row.status;
            item.Size = row.size;
            item.Received = row.received;
            item.Percent = row.percent;
        });
    }
}

inline QStringList columnTexts(const DownloadList &list, int column)
{
    QStringList texts;
    for (int row = 0; row < list.size(); ++row)
        texts << list.data(list.index(row, column)).toString();
    return texts;
}

inline QStringList listKeys(const DownloadList &list)
{
    QStringList keys;
    for (int row = 0; row < list.size(); ++row)
        keys << list.at(row).Key;
    return keys;
}

inline QList<int> listStatuses(const DownloadList &list)
{
    QList<int> statuses;
    for (int row = 0; row < list.size(); ++row)
        statuses << list.at(row).StatusCode;
    return statuses;
}
