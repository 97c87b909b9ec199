#pragma once

#include "download/DownloadItem.h"
#include "download/RowSet.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QTimer>

#include <functional>

// The rows of the download window and the only store of download state: the
// scheduler takes the first waiting row from the top. Every change goes
// through the primitives below, which keep an index of the waiting rows and
// the counters current, so neither finding the next row nor counting walks
// the list.
//
// Views hear of changed rows in batches: the first change after a quiet
// moment is told at once, later ones at most every 100 ms, so a view repaints
// about ten times a second however many transfers report progress. The data
// itself is always current.
class DownloadList : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        NameColumn, // "名称"
        TypeColumn, // "类型"
        SizeColumn, // "文件大小"
        ReceivedColumn, // "已下载数"
        PercentColumn, // "百分比"
        FolderColumn, // "保存路径"
        BColumn, // "B", always empty
        ColumnCount
    };
    // Role under which data() gives the row's status code for any column.
    static constexpr int StatusCodeRole = Qt::UserRole + 1;

    explicit DownloadList(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;
    // Removes every row the predicate picks in one pass; the number removed.
    int removeIf(const std::function<bool(const DownloadItem &)> &pick);

    // Appends a waiting row with a new Id; false (list unchanged) when the
    // key is present. Keys are compared exactly: two addresses that differ
    // only in the case of letters are different rows, since paths and queries
    // of URLs are case-sensitive.
    bool addItem(const QString &key, const QString &name, const QString &type,
        const QString &folder, const QString &referer);
    // Puts rows ahead of the rows already there, in their order, each with a
    // new Id; a row whose key the list (or an earlier row of `items`) already
    // holds is dropped. The number put in.
    int prependItems(const QList<DownloadItem> &items);
    int size() const { return int(m_items.size()); }
    const DownloadItem &at(int row) const { return m_items.at(row); }
    // Row of the given key, or -1.
    int rowOfKey(const QString &key) const;
    // Row of the row with this Id (DownloadItem::Id), wherever sorts,
    // shuffles and removals have moved it and whatever its key is now; -1
    // once the row has left the list.
    int rowOfId(quint64 id) const;
    // Changes one row; the views hear of it with the next batch, and not at
    // all when nothing changed. The Id cannot be changed. A changed key is
    // re-indexed; a key that would collide with another row's is refused: the
    // row keeps its key, the other changes stay, and the answer is false.
    // False also for a row out of range.
    bool update(int row, const std::function<void(DownloadItem &)> &change);
    // Removes every row. Ids given before are not given again.
    void clear();
    // Puts the rows in a new order: newOrder[i] is the current row number of
    // the row that goes to position i. False (list unchanged) unless newOrder
    // holds every current row number exactly once. Views keep their
    // selection; Ids, keys, the waiting rows and counters follow the rows.
    bool reorder(const QList<int> &newOrder);

    // The first row at or after from whose status is waiting, or -1.
    int nextWaitingRow(int from = 0) const;

    // Tells the views now about rows changed since the last notice.
    void notifyChangedRows();

    // The address a transfer uses: the text before the first "|".
    static QString 选择url(const QString &key);
    // The key with its alternatives rotated (two: swapped; three: last to front).
    static QString 对调url(const QString &urls);

    // Rows with Size, Received and Percent all empty.
    int 统计未下载项数目() const;
    // True when every row is completed or failed (and for an empty list).
    bool 检测是否下载列表完毕() const;
    // Rows whose type is htm/html, or else whose status is failed.
    int CountProblemRows() const;
    // The counter line of the status bar, counted in one pass:
    // "总数：n|正在下载：n|等待：n|已完成：n|失败：n".
    QString ShowListCounters() const;

private:
    // Rebuilds the key and Id indexes after removals and reorders.
    void indexRows() const;
    void indexWaitingRows() const;
    // Adds (sign 1) or takes away (sign -1) one row's share of the counters.
    void tally(const DownloadItem &item, int sign);
    void rowChanged(int row);

    QList<DownloadItem> m_items;
    // Key -> row and Id -> row. Removals and reorders only mark them stale;
    // they are rebuilt at the next lookup, so deleting many rows one after
    // another stays linear.
    mutable QHash<QString, int> m_rowOfKey;
    mutable QHash<quint64, int> m_rowOfId;
    mutable bool m_indexStale = false;
    quint64 m_lastId = 0;
    // Rows whose status is waiting; rebuilt after removals and reorders, at
    // the next lookup, like the key index.
    mutable RowSet m_waiting;
    mutable bool m_waitingStale = false;

    struct Counters
    {
        int waiting = 0;
        int downloading = 0;
        int completed = 0;
        int failed = 0;
        int untouched = 0; // Size, Received and Percent all empty
        int problems = 0; // web-page type, or else failed
    } m_counters;

    RowSet m_changedRows;
    bool m_anyChanged = false;
    QTimer m_notifyTimer;
};
