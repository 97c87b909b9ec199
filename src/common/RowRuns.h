#pragma once

#include <QList>

#include <utility>

// Removal of many rows from a list model in one pass: the picked rows as runs
// of consecutive rows (first row, count), and the compaction that drops them.
// One run is an ordinary row removal for the views; several are done under a
// model reset, so that removing half of a long list stays linear.
using RowRunList = QList<std::pair<int, int>>;

template<typename T, typename Pick>
RowRunList pickedRowRuns(const QList<T> &rows, Pick &&pick, int *picked)
{
    RowRunList runs;
    *picked = 0;
    for (int row = 0; row < rows.size(); ++row) {
        if (!pick(rows.at(row)))
            continue;
        ++*picked;
        if (!runs.isEmpty() && runs.last().first + runs.last().second == row)
            ++runs.last().second;
        else
            runs.append({ row, 1 });
    }
    return runs;
}

template<typename T> void dropRowRuns(QList<T> &rows, const RowRunList &runs, int picked)
{
    QList<T> kept;
    kept.reserve(rows.size() - picked);
    int next = 0;
    for (const auto &[first, count] : runs) {
        for (int row = next; row < first; ++row)
            kept.append(std::move(rows[row]));
        next = first + count;
    }
    for (int row = next; row < rows.size(); ++row)
        kept.append(std::move(rows[row]));
    rows = std::move(kept);
}
