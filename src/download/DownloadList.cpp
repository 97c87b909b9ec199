#include "download/DownloadList.h"

#include "download/RowToolTip.h"

#include <QSet>
#include <QStringList>

#include <algorithm>

namespace {

bool sameContent(const DownloadItem &a, const DownloadItem &b)
{
    return a.Key == b.Key && a.Name == b.Name && a.Type == b.Type && a.Size == b.Size
        && a.Received == b.Received && a.Percent == b.Percent && a.Folder == b.Folder
        && a.Referer == b.Referer && a.StatusCode == b.StatusCode
        && a.FailureReason == b.FailureReason && a.ReplaceableFile == b.ReplaceableFile
        && a.Doi == b.Doi && a.Kind == b.Kind && a.NotBefore == b.NotBefore
        && a.RetryTries == b.RetryTries && a.RetryStatus == b.RetryStatus
        && a.RetryAddress == b.RetryAddress && a.RetryNote == b.RetryNote;
}

bool isUntouched(const DownloadItem &item)
{
    return item.Size.isEmpty() && item.Received.isEmpty() && item.Percent.isEmpty();
}

bool isProblem(const DownloadItem &item)
{
    const bool webPage = item.Type.compare(u"html", Qt::CaseInsensitive) == 0
        || item.Type.compare(u"htm", Qt::CaseInsensitive) == 0;
    return webPage || item.StatusCode == Status::Failed;
}

constexpr int kNotifyIntervalMs = 100;

} // namespace

DownloadList::DownloadList(QObject *parent) : QAbstractTableModel(parent)
{
    m_notifyTimer.setSingleShot(true);
    m_notifyTimer.setInterval(kNotifyIntervalMs);
    connect(&m_notifyTimer, &QTimer::timeout, this, [this] {
        // Rows changed during the quiet period are told now, and the next
        // period starts; a period without changes ends the batching.
        if (!m_anyChanged)
            return;
        notifyChangedRows();
        m_notifyTimer.start();
    });
}

void DownloadList::tally(const DownloadItem &item, int sign)
{
    switch (item.StatusCode) {
    case Status::Waiting:
        m_counters.waiting += sign;
        break;
    case Status::Downloading:
        m_counters.downloading += sign;
        break;
    case Status::Completed:
        m_counters.completed += sign;
        break;
    case Status::Failed:
        m_counters.failed += sign;
        break;
    default:
        break;
    }
    if (isUntouched(item))
        m_counters.untouched += sign;
    if (isProblem(item))
        m_counters.problems += sign;
}

void DownloadList::rowChanged(int row)
{
    if (!m_notifyTimer.isActive()) {
        Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
        m_notifyTimer.start();
        return;
    }
    m_changedRows.set(row, true);
    m_anyChanged = true;
}

void DownloadList::notifyChangedRows()
{
    if (!m_anyChanged)
        return;
    // One notice per run of neighbouring rows.
    RowSet rows;
    std::swap(rows, m_changedRows);
    m_anyChanged = false;
    for (int first = rows.next(0); first >= 0 && first < size();) {
        int last = first;
        while (last + 1 < size() && rows.contains(last + 1))
            ++last;
        Q_EMIT dataChanged(index(first, 0), index(last, ColumnCount - 1));
        first = rows.next(last + 1);
    }
}

void DownloadList::indexWaitingRows() const
{
    if (!m_waitingStale)
        return;
    m_waiting.clear();
    m_waiting.reserve(size());
    for (int row = 0; row < size(); ++row) {
        if (m_items.at(row).StatusCode == Status::Waiting)
            m_waiting.set(row, true);
    }
    m_waitingStale = false;
}

int DownloadList::nextWaitingRow(int from) const
{
    indexWaitingRows();
    const int row = m_waiting.next(from);
    return row < size() ? row : -1;
}

int DownloadList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : size();
}

int DownloadList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DownloadList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const DownloadItem &item = m_items.at(index.row());
    if (role == StatusCodeRole)
        return item.StatusCode;
    if (role == Qt::ToolTipRole) {
        const QString tip = DownloadRowToolTip(item);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (Column(index.column())) {
    case NameColumn:
        return item.Name;
    case TypeColumn:
        return item.Type;
    case SizeColumn:
        return item.Size;
    case ReceivedColumn:
        return item.Received;
    case PercentColumn:
        return item.Percent;
    case FolderColumn:
        return item.Folder;
    case BColumn:
        return QString();
    case ColumnCount:
        break;
    }
    return {};
}

QVariant DownloadList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NameColumn:
        return QStringLiteral("名称");
    case TypeColumn:
        return QStringLiteral("类型");
    case SizeColumn:
        return QStringLiteral("文件大小");
    case ReceivedColumn:
        return QStringLiteral("已下载数");
    case PercentColumn:
        return QStringLiteral("百分比");
    case FolderColumn:
        return QStringLiteral("保存路径");
    case BColumn:
        return QStringLiteral("B");
    }
    return {};
}

bool DownloadList::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > size())
        return false;
    notifyChangedRows();
    beginRemoveRows({}, row, row + count - 1);
    for (int r = row; r < row + count; ++r)
        tally(m_items.at(r), -1);
    m_items.remove(row, count);
    m_indexStale = true;
    m_waitingStale = true;
    endRemoveRows();
    return true;
}

int DownloadList::removeIf(const std::function<bool(const DownloadItem &)> &pick)
{
    // Ask about every row once and note the runs of picked rows; one run is an
    // ordinary removal, several are done as a reset so that the list is
    // compacted in one pass.
    QList<std::pair<int, int>> runs; // first row, count
    int picked = 0;
    for (int row = 0; row < size(); ++row) {
        if (!pick(m_items.at(row)))
            continue;
        ++picked;
        if (!runs.isEmpty() && runs.last().first + runs.last().second == row)
            ++runs.last().second;
        else
            runs.append({ row, 1 });
    }
    if (runs.isEmpty())
        return 0;
    if (runs.size() == 1) {
        removeRows(runs.first().first, runs.first().second);
        return picked;
    }
    notifyChangedRows();
    beginResetModel();
    for (const auto &[first, count] : runs) {
        for (int row = first; row < first + count; ++row)
            tally(m_items.at(row), -1);
    }
    QList<DownloadItem> kept;
    kept.reserve(m_items.size() - picked);
    int next = 0;
    for (const auto &[first, count] : runs) {
        for (int row = next; row < first; ++row)
            kept.append(std::move(m_items[row]));
        next = first + count;
    }
    for (int row = next; row < size(); ++row)
        kept.append(std::move(m_items[row]));
    m_items = std::move(kept);
    m_indexStale = true;
    m_waitingStale = true;
    endResetModel();
    return picked;
}

void DownloadList::indexRows() const
{
    if (!m_indexStale)
        return;
    m_rowOfKey.clear();
    m_rowOfKey.reserve(m_items.size());
    m_rowOfId.clear();
    m_rowOfId.reserve(m_items.size());
    for (int row = 0; row < size(); ++row) {
        m_rowOfKey.insert(m_items.at(row).Key, row);
        m_rowOfId.insert(m_items.at(row).Id, row);
    }
    m_indexStale = false;
}

bool DownloadList::addItem(const QString &key, const QString &name, const QString &type,
    const QString &folder, const QString &referer)
{
    if (rowOfKey(key) >= 0)
        return false;
    DownloadItem item;
    item.Id = ++m_lastId;
    item.Key = key;
    item.Name = name;
    item.Type = type;
    item.Folder = folder;
    item.Referer = referer;
    item.StatusCode = Status::Waiting;

    const int row = size();
    beginInsertRows({}, row, row);
    tally(item, 1);
    m_rowOfKey.insert(key, row);
    m_rowOfId.insert(item.Id, row);
    m_items.append(std::move(item));
    if (!m_waitingStale)
        m_waiting.set(row, true);
    endInsertRows();
    return true;
}

int DownloadList::prependItems(const QList<DownloadItem> &items)
{
    QList<DownloadItem> added;
    QSet<QString> keys;
    for (const DownloadItem &item : items) {
        if (rowOfKey(item.Key) >= 0 || keys.contains(item.Key))
            continue;
        keys.insert(item.Key);
        added.append(item);
        added.last().Id = ++m_lastId;
    }
    if (added.isEmpty())
        return 0;
    const int count = int(added.size());
    notifyChangedRows();
    beginInsertRows({}, 0, count - 1);
    for (const DownloadItem &item : std::as_const(added))
        tally(item, 1);
    added.append(std::move(m_items));
    m_items = std::move(added);
    m_indexStale = true;
    m_waitingStale = true;
    endInsertRows();
    return count;
}

int DownloadList::rowOfKey(const QString &key) const
{
    indexRows();
    return m_rowOfKey.value(key, -1);
}

int DownloadList::rowOfId(quint64 id) const
{
    indexRows();
    return m_rowOfId.value(id, -1);
}

bool DownloadList::update(int row, const std::function<void(DownloadItem &)> &change)
{
    if (row < 0 || row >= size())
        return false;
    DownloadItem changed = m_items.at(row);
    change(changed);
    changed.Id = m_items.at(row).Id;

    bool accepted = true;
    const QString &oldKey = m_items.at(row).Key;
    if (changed.Key != oldKey) {
        if (rowOfKey(changed.Key) >= 0) {
            changed.Key = oldKey;
            accepted = false;
        } else {
            m_rowOfKey.remove(oldKey);
            m_rowOfKey.insert(changed.Key, row);
        }
    }
    if (!sameContent(changed, m_items.at(row))) {
        const bool statusChanged = changed.StatusCode != m_items.at(row).StatusCode;
        tally(m_items.at(row), -1);
        tally(changed, 1);
        m_items[row] = std::move(changed);
        if (statusChanged && !m_waitingStale)
            m_waiting.set(row, m_items.at(row).StatusCode == Status::Waiting);
        rowChanged(row);
    }
    return accepted;
}

void DownloadList::clear()
{
    beginResetModel();
    m_items.clear();
    m_rowOfKey.clear();
    m_rowOfId.clear();
    m_indexStale = false;
    m_waiting.clear();
    m_waitingStale = false;
    m_counters = {};
    // The reset tells the views everything.
    m_changedRows.clear();
    m_anyChanged = false;
    endResetModel();
}

bool DownloadList::reorder(const QList<int> &newOrder)
{
    if (newOrder.size() != m_items.size())
        return false;
    QList<int> newRowOf(size(), -1);
    for (int to = 0; to < newOrder.size(); ++to) {
        const int from = newOrder.at(to);
        if (from < 0 || from >= size() || newRowOf.at(from) >= 0)
            return false;
        newRowOf[from] = to;
    }
    notifyChangedRows();
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<DownloadItem> items;
    items.reserve(m_items.size());
    for (const int from : newOrder)
        items.append(std::move(m_items[from]));
    m_items = std::move(items);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(this->index(newRowOf.at(index.row()), index.column()));
    changePersistentIndexList(before, after);
    m_indexStale = true;
    m_waitingStale = true;
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return true;
}

QString DownloadList::选择url(const QString &key)
{
    const qsizetype bar = key.indexOf(u'|');
    return bar < 0 ? key : key.left(bar);
}

QString DownloadList::对调url(const QString &urls)
{
    const QStringList pieces = urls.split(u'|');
    if (pieces.size() == 2)
        return pieces.at(1) + u'|' + pieces.at(0);
    if (pieces.size() == 3)
        return pieces.at(2) + u'|' + pieces.at(0) + u'|' + pieces.at(1);
    return urls;
}

int DownloadList::统计未下载项数目() const
{
    return m_counters.untouched;
}

bool DownloadList::检测是否下载列表完毕() const
{
    return m_counters.completed + m_counters.failed == size();
}

int DownloadList::CountProblemRows() const
{
    return m_counters.problems;
}

QString DownloadList::ShowListCounters() const
{
    return u"总数：" + QString::number(size()) + u"|正在下载："
        + QString::number(m_counters.downloading) + u"|等待：" + QString::number(m_counters.waiting)
        + u"|已完成：" + QString::number(m_counters.completed) + u"|失败："
        + QString::number(m_counters.failed);
}

// Compiled with the class, so that a program using the list links only what it uses.
#include "moc_DownloadList.cpp"
