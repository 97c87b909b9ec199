#include "search/AnalysisList.h"

#include "common/RowRuns.h"

#include <QSet>

AnalysisList::AnalysisList(QObject *parent) : QAbstractTableModel(parent), m_selection(this)
{
    connect(
        &m_selection, &QItemSelectionModel::selectionChanged, this, &AnalysisList::followSelection);
}

void AnalysisList::followSelection(const QItemSelection &selected, const QItemSelection &deselected)
{
    int first = size();
    int last = -1;
    for (const QItemSelection *ranges : { &deselected, &selected }) {
        for (const QItemSelectionRange &range : *ranges) {
            const int top = qMax(0, range.top());
            const int bottom = qMin(size() - 1, range.bottom());
            for (int row = top; row <= bottom; ++row)
                m_items[row].Selected = m_selection.isRowSelected(row, {});
            if (top <= bottom) {
                first = qMin(first, top);
                last = qMax(last, bottom);
            }
        }
    }
    if (!m_removing && first <= last)
        Q_EMIT dataChanged(index(first, 0), index(last, ColumnCount - 1), { SelectedRole });
}

void AnalysisList::clearMarks()
{
    for (AnalysisItem &item : m_items)
        item.Selected = false;
}

int AnalysisList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : size();
}

int AnalysisList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AnalysisList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const AnalysisItem &item = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case TitleColumn:
            return item.Title;
        case TypeColumn:
            return item.Type;
        case StatusColumn:
            return item.Status;
        case FolderColumn:
            return item.Folder;
        case TypeTextColumn:
            return item.TypeColumn;
        }
        return {};
    case Qt::ToolTipRole:
        return QStringLiteral("双击浏览选中的文章");
    case LinkRole:
        return item.Link;
    case SourcePageRole:
        return item.SourcePage;
    case SelectedRole:
        return item.Selected;
    }
    return {};
}

QVariant AnalysisList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TitleColumn:
        return QStringLiteral("标题");
    case TypeColumn:
        return QStringLiteral("类型");
    case StatusColumn:
        return QStringLiteral("分析状态");
    case FolderColumn:
        return QStringLiteral("保存路径");
    case TypeTextColumn:
        return QStringLiteral("TYPE");
    }
    return {};
}

Qt::ItemFlags AnalysisList::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool AnalysisList::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > size())
        return false;
    m_removing = true;
    beginRemoveRows({}, row, row + count - 1);
    m_items.remove(row, count);
    m_indexStale = true;
    endRemoveRows();
    m_removing = false;
    return true;
}

bool AnalysisList::加入LV1(const QString &title, const QString &link, const QString &sourcePage,
    const QString &type, const QString &folder, const QString &typeColumn, const QString &doi,
    const QString &kind)
{
    AnalysisItem item;
    item.Title = title;
    item.Link = link;
    item.Type = type;
    item.SourcePage = sourcePage;
    item.Folder = folder;
    item.TypeColumn = typeColumn;
    item.Doi = doi;
    item.Kind = kind;
    return addItem(item);
}

bool AnalysisList::addItem(const AnalysisItem &item)
{
    if (item.Title.isEmpty() || item.Link.isEmpty() || rowOfLink(item.Link) >= 0)
        return false;
    const int row = size();
    beginInsertRows({}, row, row);
    m_items.append(item);
    if (!m_indexStale)
        m_rowOfLink.insert(item.Link, row);
    endInsertRows();
    return true;
}

int AnalysisList::prependItems(const QList<AnalysisItem> &items)
{
    indexLinks();
    QList<AnalysisItem> taken;
    QSet<QString> links;
    for (const AnalysisItem &item : items) {
        if (item.Title.isEmpty() || item.Link.isEmpty() || m_rowOfLink.contains(item.Link)
            || links.contains(item.Link))
            continue;
        links.insert(item.Link);
        taken.append(item);
    }
    if (taken.isEmpty())
        return 0;
    const int count = int(taken.size());
    beginInsertRows({}, 0, count - 1);
    m_items = taken + m_items;
    m_indexStale = true;
    endInsertRows();
    return count;
}

void AnalysisList::indexLinks() const
{
    if (!m_indexStale)
        return;
    m_rowOfLink.clear();
    m_rowOfLink.reserve(m_items.size());
    for (int row = 0; row < size(); ++row)
        m_rowOfLink.insert(m_items.at(row).Link, row);
    m_indexStale = false;
}

int AnalysisList::rowOfLink(const QString &link) const
{
    indexLinks();
    return m_rowOfLink.value(link, -1);
}

void AnalysisList::setStatus(int row, const QString &status)
{
    if (row < 0 || row >= size() || m_items.at(row).Status == status)
        return;
    m_items[row].Status = status;
    const QModelIndex cell = index(row, StatusColumn);
    Q_EMIT dataChanged(cell, cell, { Qt::DisplayRole });
}

void AnalysisList::setSelected(int row, bool selected)
{
    if (row < 0 || row >= size())
        return;
    m_selection.select(index(row, 0),
        (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect)
            | QItemSelectionModel::Rows);
}

void AnalysisList::setSelectedRows(const QList<int> &rows)
{
    QList<bool> wanted(size(), false);
    for (const int row : rows)
        if (row >= 0 && row < size())
            wanted[row] = true;
    // Runs of rows, so a long selection is a few ranges, not one per row.
    QItemSelection selection;
    for (int row = 0; row < size(); ++row) {
        if (!wanted.at(row))
            continue;
        int end = row;
        while (end + 1 < size() && wanted.at(end + 1))
            ++end;
        selection.select(index(row, 0), index(end, ColumnCount - 1));
        row = end;
    }
    m_selection.select(selection, QItemSelectionModel::ClearAndSelect);
}

bool AnalysisList::hasSelection() const
{
    return firstSelectedRow() >= 0;
}

int AnalysisList::firstSelectedRow() const
{
    for (int row = 0; row < size(); ++row)
        if (m_items.at(row).Selected)
            return row;
    return -1;
}

int AnalysisList::removeIf(const std::function<bool(const AnalysisItem &)> &pick)
{
    int picked = 0;
    const RowRunList runs = pickedRowRuns(m_items, pick, &picked);
    if (runs.isEmpty())
        return 0;
    if (runs.size() == 1) {
        removeRows(runs.first().first, runs.first().second);
        return picked;
    }
    // The reset empties the selection model without a change signal: the
    // marks go with it, so no row stays selected that no view shows selected.
    beginResetModel();
    dropRowRuns(m_items, runs, picked);
    clearMarks();
    m_indexStale = true;
    endResetModel();
    return picked;
}

void AnalysisList::clear()
{
    if (m_items.isEmpty())
        return;
    beginResetModel();
    m_items.clear();
    m_rowOfLink.clear();
    m_indexStale = false;
    endResetModel();
}

void AnalysisList::refreshCounter()
{
    m_counter = size();
    Q_EMIT counterChanged(counterText());
}
