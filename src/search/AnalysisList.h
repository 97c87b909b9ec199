#pragma once

#include "search/AnalysisItem.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QItemSelectionModel>
#include <QList>

#include <functional>

// The to-analyse list of the search window, in the order entries were added.
// Links are unique: an index from link to row keeps adding and looking up
// constant-time at any size.
class AnalysisList : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        TitleColumn, // "标题"
        TypeColumn, // "类型"
        StatusColumn, // "分析状态"
        FolderColumn, // "保存路径"
        TypeTextColumn, // "TYPE", always empty
        ColumnCount
    };
    // Roles giving the hidden fields for any column of a row.
    static constexpr int LinkRole = Qt::UserRole + 1;
    static constexpr int SourcePageRole = Qt::UserRole + 2;
    static constexpr int SelectedRole = Qt::UserRole + 3;

    explicit AnalysisList(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Rows can be selected, never edited in place.
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;

    // Appends a row; false, and nothing changes, when the link is already in
    // the list or title or link is empty. Links are compared exactly. The
    // status starts empty. The DOI and content kind are kept when known.
    bool 加入LV1(const QString &title, const QString &link, const QString &sourcePage,
        const QString &type, const QString &folder, const QString &typeColumn,
        const QString &doi = {}, const QString &kind = {});
    // Appends the row as given (every field kept), under the same rule.
    bool addItem(const AnalysisItem &item);
    // Puts rows ahead of the rows already there, in their order and with every
    // field. A row whose link is already in the list (or earlier among these)
    // is dropped, as is one without title or link; the rows already there stay
    // as they are. The number put in.
    int prependItems(const QList<AnalysisItem> &items);

    int size() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.isEmpty(); }
    const AnalysisItem &at(int row) const { return m_items.at(row); }
    // Row of the link, or -1.
    int rowOfLink(const QString &link) const;
    void setStatus(int row, const QString &status);
    // The selection: the list's own selection model, which the window's view
    // uses, is its one source. Each row's mark (AnalysisItem::Selected)
    // follows it; removing rows apart from each other resets the model,
    // which empties the selection and clears every mark.
    QItemSelectionModel &selectionModel() { return m_selection; }
    // Selects or deselects one row, or selects exactly the given rows,
    // through the selection model.
    void setSelected(int row, bool selected);
    void setSelectedRows(const QList<int> &rows);
    bool hasSelection() const;
    // First selected row, or -1.
    int firstSelectedRow() const;

    // Removes every row the predicate picks in one pass; the others keep their
    // order. The number removed.
    int removeIf(const std::function<bool(const AnalysisItem &)> &pick);
    void clear();

    // The entry counter beside the list: the row count as it was at the last
    // refresh. Only the extraction and the clearing commands refresh it.
    QString counterText() const { return QString::number(m_counter); }
    void refreshCounter();

Q_SIGNALS:
    void counterChanged(const QString &text);

private:
    void indexLinks() const;
    void followSelection(const QItemSelection &selected, const QItemSelection &deselected);
    void clearMarks();

    QList<AnalysisItem> m_items;
    // Link -> row. Removals only mark it stale; the next lookup rebuilds it.
    mutable QHash<QString, int> m_rowOfLink;
    mutable bool m_indexStale = false;
    int m_counter = 0;
    QItemSelectionModel m_selection;
    // Rows are being removed: their marks change without a change signal.
    bool m_removing = false;
};
