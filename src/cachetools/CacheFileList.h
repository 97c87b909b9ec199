#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

// One row of the cache window's file list.
struct CacheFileRow
{
    QString text; // the URL, or "用户:" + user name for a file of the all-caches view
    QString type; // extension, no dot
    qint64 size = -1; // bytes; -1 shows an empty cell
    QString filePath; // empty when there is no local file
    // Not shown. The cache folder the row's file lies in: deleting never
    // leaves it. A my-cache row also knows the entry file it stands for and
    // its body size, FilePath and SIZE(Byte) while that file exists.
    QString cacheFolder {};
    QString entryFile {};
    qint64 entrySize = -1;
};

// The rows of the cache window's file list: URL, TYPE, SIZE(Byte), FilePath.
class CacheFileList : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { UrlColumn, TypeColumn, SizeColumn, FilePathColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const QList<CacheFileRow> &rows() const { return m_rows; }
    const CacheFileRow &row(int index) const { return m_rows.at(index); }
    void setRows(QList<CacheFileRow> rows);
    void setFile(int index, const QString &filePath, qint64 size);

    // A header click: the order toggles on every click (the first sorts
    // descending), sizes compare as numbers and empty sizes lowest, the other
    // columns as text without regard to case. Rows added later stay unsorted.
    void sortByColumn(int column);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

private:
    QList<CacheFileRow> m_rows;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
