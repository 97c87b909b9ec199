#include "common/ui/ListViewHelpers.h"

#include "common/DropDownWidth.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPalette>
#include <QScreen>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>

void SetColumnWidth(QTreeView *list, int column, int width)
{
    if (!list || !list->model() || list->isHeaderHidden())
        return;
    const int count = list->model()->columnCount(list->rootIndex());
    if (column < 1 || column > count)
        return;
    const int index = column - 1;
    if (width >= 0) {
        list->setColumnWidth(index, width);
        return;
    }
    if (width != FitContents && width != FitContentsAndHeader)
        return;
    // Public in the base class; QTreeView narrows its access.
    const int contents = static_cast<const QAbstractItemView *>(list)->sizeHintForColumn(index);
    int fitted = contents;
    if (width == FitContentsAndHeader)
        fitted = std::max(contents, list->header()->sectionSizeHint(index));
    if (fitted > 0)
        list->setColumnWidth(index, fitted);
}

void SetAllColumnWidths(QTreeView *list, int width)
{
    if (!list || !list->model())
        return;
    const int count = list->model()->columnCount(list->rootIndex());
    for (int column = 1; column <= count; ++column)
        SetColumnWidth(list, column, width);
}

namespace {

// Paints each row's cells on its stripe colour; the view's own background
// stays white, so the space below the last row is plain.
class StripeDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->backgroundBrush = index.row() % 2 == 0 ? QColor(231, 248, 237) : QColor(Qt::white);
    }
};

} // namespace

void StripeListBackground(QTreeView *list)
{
    if (!list)
        return;
    QPalette palette = list->palette();
    for (const auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled })
        palette.setColor(group, QPalette::Base, Qt::white);
    list->setPalette(palette);
    list->setAlternatingRowColors(false);
    if (!dynamic_cast<StripeDelegate *>(list->itemDelegate()))
        list->setItemDelegate(new StripeDelegate(list));
}

void FitDropDownWidth(QComboBox *box)
{
    if (!box || box->count() == 0)
        return;
    QStringList entries;
    for (int i = 0; i < box->count(); ++i)
        entries.append(box->itemText(i));
    const int longest = LongestEntry(entries);
    const int textWidth = QFontMetrics(box->view()->font()).horizontalAdvance(entries.at(longest));
    const int scrollBar = box->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, box);
    const QScreen *screen = box->screen();
    const int left = box->mapToGlobal(QPoint(0, 0)).x();
    const int room = screen ? screen->geometry().right() + 1 - left : textWidth + 7 + scrollBar;
    const int width = DropDownListWidth(textWidth, box->count(), scrollBar, std::max(0, room));
    box->view()->setMinimumWidth(width);
}
