#include "cachetools/CacheFileList.h"

#include <algorithm>
#include <numeric>

int CacheFileList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CacheFileList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CacheFileList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == Qt::TextAlignmentRole && index.column() == SizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    const CacheFileRow &row = m_rows.at(index.row());
    switch (index.column()) {
    case UrlColumn:
        return row.text;
    case TypeColumn:
        return row.type;
    case SizeColumn:
        return row.size < 0 ? QString() : QString::number(row.size);
    case FilePathColumn:
        return row.filePath;
    default:
        return {};
    }
}

QVariant CacheFileList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case UrlColumn:
        return QStringLiteral("URL");
    case TypeColumn:
        return QStringLiteral("TYPE");
    case SizeColumn:
        return QStringLiteral("SIZE(Byte)");
    case FilePathColumn:
        return QStringLiteral("FilePath");
    default:
        return {};
    }
}

void CacheFileList::setRows(QList<CacheFileRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void CacheFileList::setFile(int index, const QString &filePath, qint64 size)
{
    CacheFileRow &row = m_rows[index];
    row.filePath = filePath;
    row.size = size;
    Q_EMIT dataChanged(this->index(index, SizeColumn), this->index(index, FilePathColumn));
}

void CacheFileList::sortByColumn(int column)
{
    if (column < 0 || column >= ColumnCount)
        return;
    m_sortColumn = column;
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;

    const auto textOf = [column](const CacheFileRow &row) -> const QString & {
        return column == UrlColumn ? row.text : column == TypeColumn ? row.type : row.filePath;
    };
    const auto less = [&](const CacheFileRow &a, const CacheFileRow &b) {
        if (column == SizeColumn)
            return a.size < b.size;
        return textOf(a).compare(textOf(b), Qt::CaseInsensitive) < 0;
    };
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return m_sortOrder == Qt::AscendingOrder ? less(m_rows[a], m_rows[b])
                                                 : less(m_rows[b], m_rows[a]);
    });
    QList<CacheFileRow> sorted;
    sorted.reserve(m_rows.size());
    QList<int> newPosition(m_rows.size());
    for (int i = 0; i < order.size(); ++i) {
        sorted.append(m_rows[order[i]]);
        newPosition[order[i]] = i;
    }
    m_rows = std::move(sorted);
    QModelIndexList after;
    for (const QModelIndex &index : before)
        after.append(this->index(newPosition[index.row()], index.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
