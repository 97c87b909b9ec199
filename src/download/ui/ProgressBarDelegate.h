#pragma once

#include <QStyledItemDelegate>

// Draws the percent column of a row being downloaded as a progress bar with
// the column's text ("37%") on it. Other rows, and a row whose text is no
// percentage, are drawn as plain text; the model's text never changes, so
// sorting and export see what they always saw.
class ProgressBarDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;

    // The bar's value for a row's status code and percent text, or -1 when
    // the row gets no bar.
    static int barValue(int statusCode, const QString &percentText);
};
