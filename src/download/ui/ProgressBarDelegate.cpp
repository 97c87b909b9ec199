#include "download/ui/ProgressBarDelegate.h"

#include "download/DownloadList.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

int ProgressBarDelegate::barValue(int statusCode, const QString &percentText)
{
    if (statusCode != Status::Downloading || !percentText.endsWith(u'%'))
        return -1;
    bool ok = false;
    const int value = QStringView(percentText).chopped(1).toInt(&ok);
    return ok ? qBound(0, value, 100) : -1;
}

void ProgressBarDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QString text = index.data(Qt::DisplayRole).toString();
    const int value = barValue(index.data(DownloadList::StatusCodeRole).toInt(), text);
    if (value < 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The row's background (selection, stripes) first, then the bar inside
    // the cell with a little room around it.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    QStyleOptionProgressBar bar;
    if (widget)
        bar.initFrom(widget);
    bar.palette = option.palette;
    bar.state = option.state | QStyle::State_Horizontal;
    bar.direction = option.direction;
    bar.rect = option.rect.adjusted(1, 1, -1, -1);
    bar.fontMetrics = option.fontMetrics;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = value;
    bar.text = text;
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
}
