#include "download/ListOperations.h"

#include "common/FileNameHelpers.h"
#include "common/SafeFiles.h"
#include "common/TextMode.h"
#include "download/DownloadList.h"

#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <numeric>
#include <optional>
#include <vector>

bool isWebPageType(const QString &type, bool countXml)
{
    const QString t = type.toLower();
    return t == QStringLiteral("htm") || t == QStringLiteral("html")
        || (countXml && t == QStringLiteral("xml"));
}

void DeleteSavedFile(const DownloadItem &row)
{
    // One unlink and no look first: it fails harmlessly when nothing is
    // there, and never removes a folder. A link is removed, not its target.
    QFile::remove(row.savedFilePath());
}

void NoteEarlierFile(DownloadItem &item)
{
    // Only a completed row's file is its own. A failed row's path may name
    // another row's file of the same name (two papers called "Editorial"),
    // which its retry must not replace; and a large file it skipped is not
    // its own either.
    const QString path = item.savedFilePath();
    if (item.StatusCode == Status::Completed && item.Percent != StatusText::LargeFileSkipped
        && NameTaken(path))
        item.ReplaceableFile = path;
    else if (!NameTaken(item.ReplaceableFile))
        item.ReplaceableFile.clear();
}

void RequeueRow(DownloadList &list, int row, bool placeholderType)
{
    // A rotated key that another row already holds is refused by the list;
    // the row then keeps its key and takes the other changes.
    list.update(row, [&](DownloadItem &item) {
        NoteEarlierFile(item);
        item.StatusCode = Status::Waiting;
        item.FailureReason.clear();
        item.forgetRetries();
        if (placeholderType)
            item.Type = QStringLiteral("xxx");
        item.Size.clear();
        item.Received.clear();
        item.Percent.clear();
        item.Key = DownloadList::对调url(item.Key);
    });
}

namespace {

bool isDone(const DownloadItem &item)
{
    return item.StatusCode == Status::Completed || item.StatusCode == Status::Failed;
}

// Marks of the given rows, ignoring positions outside the list.
QList<bool> rowMask(const DownloadList &list, const QList<int> &rows)
{
    QList<bool> mask(list.size(), false);
    for (const int row : rows) {
        if (row >= 0 && row < list.size())
            mask[row] = true;
    }
    return mask;
}

// Re-queues every row the predicate picks; the placeholder rule says whether
// its type becomes "xxx".
int requeueWhere(DownloadList &list, const std::function<bool(int, const DownloadItem &)> &pick,
    const std::function<bool(const DownloadItem &)> &placeholder)
{
    int count = 0;
    for (int row = 0; row < list.size(); ++row) {
        const DownloadItem &item = list.at(row);
        if (!pick(row, item))
            continue;
        RequeueRow(list, row, placeholder(item));
        ++count;
    }
    return count;
}

bool htmOrHtml(const DownloadItem &item)
{
    return isWebPageType(item.Type, false);
}

// The number a size column holds, commas left out; nullopt for a status text
// or an empty column.
std::optional<double> sizeNumber(const QString &text)
{
    QString digits = text;
    digits.remove(u',');
    if (!ReadsAsNumber(digits))
        return std::nullopt;
    return TrimSpaces(digits).toDouble();
}

int clearProgressAndDeleteWhere(
    DownloadList &list, const std::function<bool(const DownloadItem &)> &pick)
{
    int count = 0;
    for (int row = 0; row < list.size(); ++row) {
        if (!pick(list.at(row)))
            continue;
        list.update(row, [](DownloadItem &item) {
            item.Size.clear();
            item.Received.clear();
            item.Percent.clear();
        });
        DeleteSavedFile(list.at(row));
        ++count;
    }
    return count;
}

} // namespace

int RequeueFailedRows(DownloadList &list)
{
    return requeueWhere(
        list, [](int, const DownloadItem &item) { return item.StatusCode == Status::Failed; },
        htmOrHtml);
}

int RequeueWebPageRows(DownloadList &list)
{
    return requeueWhere(
        list,
        [](int, const DownloadItem &item) {
            return isDone(item) && isWebPageType(item.Type, true);
        },
        [](const DownloadItem &) { return true; });
}

int RequeueSelectedRows(DownloadList &list, const QList<int> &rows)
{
    const QList<bool> selected = rowMask(list, rows);
    return requeueWhere(
        list, [&](int row, const DownloadItem &item) { return selected.at(row) && isDone(item); },
        htmOrHtml);
}

int RequeueFailedAndWebPageRows(DownloadList &list)
{
    return requeueWhere(
        list,
        [](int, const DownloadItem &item) {
            return item.StatusCode == Status::Failed || (isDone(item) && htmOrHtml(item));
        },
        htmOrHtml);
}

int RequeueCompleteRowsBelow(DownloadList &list, float limitBytes)
{
    return requeueWhere(
        list,
        [limitBytes](int, const DownloadItem &item) {
            if (!isDone(item))
                return false;
            const std::optional<double> size = sizeNumber(item.Size);
            const std::optional<double> received = sizeNumber(item.Received);
            return size && received && *size == *received && float(*size) < limitBytes;
        },
        htmOrHtml);
}

int RemoveRowsAt(DownloadList &list, const QList<int> &rows)
{
    const QList<bool> selected = rowMask(list, rows);
    int row = 0;
    // removeIf asks about every row once, from the top.
    return list.removeIf([&](const DownloadItem &) { return selected.at(row++); });
}

int RemoveRowsWithStatus(DownloadList &list, int statusCode)
{
    return list.removeIf(
        [statusCode](const DownloadItem &item) { return item.StatusCode == statusCode; });
}

int DeleteFailedRowFiles(DownloadList &list)
{
    return clearProgressAndDeleteWhere(
        list, [](const DownloadItem &item) { return item.StatusCode == Status::Failed; });
}

int DeleteWebPageRowFiles(DownloadList &list)
{
    return clearProgressAndDeleteWhere(list,
        [](const DownloadItem &item) { return isDone(item) && isWebPageType(item.Type, true); });
}

int CancelWaitingRows(DownloadList &list, const QList<int> &rows)
{
    const QList<bool> selected = rowMask(list, rows);
    int count = 0;
    for (int row = 0; row < list.size(); ++row) {
        if (!selected.at(row) || list.at(row).StatusCode != Status::Waiting)
            continue;
        list.update(row, [](DownloadItem &item) { item.StatusCode = Status::Failed; });
        ++count;
    }
    return count;
}

int MarkMissingFiles(DownloadList &list)
{
    int count = 0;
    for (int row = 0; row < list.size(); ++row) {
        if (FileExists(list.at(row).savedFilePath()))
            continue;
        list.update(row, [](DownloadItem &item) { item.Received = StatusText::NotPresent; });
        ++count;
    }
    return count;
}

namespace {

struct SortKey
{
    int kind; // 0 empty, 1 number, 2 other text
    double number;
    QString text; // case-folded once, so comparing is a plain compare
};

SortKey sortKeyOf(const DownloadItem &item, int column)
{
    auto textKey = [](const QString &text) {
        return SortKey { text.isEmpty() ? 0 : 2, 0.0, text.toCaseFolded() };
    };
    auto numberKey = [&](const QString &text, const QString &numberText) {
        if (ReadsAsNumber(numberText))
            return SortKey { 1, TrimSpaces(numberText).toDouble(), QString() };
        return textKey(text);
    };
    switch (column) {
    case DownloadList::NameColumn:
        return textKey(item.Name);
    case DownloadList::TypeColumn:
        return textKey(item.Type);
    case DownloadList::SizeColumn:
        return numberKey(item.Size, item.Size);
    case DownloadList::ReceivedColumn:
        return numberKey(item.Received, item.Received);
    case DownloadList::PercentColumn: {
        QString number = item.Percent;
        number.remove(u'%');
        return numberKey(item.Percent, number);
    }
    case DownloadList::FolderColumn:
        return textKey(item.Folder);
    default:
        return textKey(QString());
    }
}

bool sortsBefore(const SortKey &a, const SortKey &b)
{
    if (a.kind != b.kind)
        return a.kind < b.kind;
    if (a.kind == 1)
        return a.number < b.number;
    return a.text < b.text;
}

} // namespace

void SortRowsByColumn(DownloadList &list, int column, Qt::SortOrder order)
{
    std::vector<std::pair<SortKey, int>> keys;
    keys.reserve(size_t(list.size()));
    for (int row = 0; row < list.size(); ++row)
        keys.emplace_back(sortKeyOf(list.at(row), column), row);
    if (order == Qt::AscendingOrder) {
        std::stable_sort(keys.begin(), keys.end(),
            [](const auto &a, const auto &b) { return sortsBefore(a.first, b.first); });
    } else {
        std::stable_sort(keys.begin(), keys.end(),
            [](const auto &a, const auto &b) { return sortsBefore(b.first, a.first); });
    }
    QList<int> newOrder;
    newOrder.reserve(list.size());
    for (const auto &key : keys)
        newOrder.append(key.second);
    list.reorder(newOrder);
}

void ShuffleRows(DownloadList &list, QRandomGenerator &random)
{
    // Each round takes one of the rows not yet moved, uniformly, to the end:
    // the same as drawing an ordered sample without replacement, done here by
    // a partial Fisher-Yates pass.
    const int rows = list.size();
    const int rounds = std::min(rows, ShuffleRoundLimit);
    QList<int> pool(rows);
    std::iota(pool.begin(), pool.end(), 0);
    QList<bool> moved(rows, false);
    for (int i = 0; i < rounds; ++i) {
        const int pick = i + int(random.bounded(quint32(rows - i)));
        std::swap(pool[i], pool[pick]);
        moved[pool.at(i)] = true;
    }
    QList<int> newOrder;
    newOrder.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        if (!moved.at(row))
            newOrder.append(row);
    }
    newOrder.append(pool.sliced(0, rounds));
    list.reorder(newOrder);
}

QString NameListText(const DownloadList &list, bool unfinishedOnly)
{
    QString text;
    for (int row = 0; row < list.size(); ++row) {
        const DownloadItem &item = list.at(row);
        if (unfinishedOnly && item.StatusCode == Status::Completed)
            continue;
        text += item.Name + u"\r\n";
    }
    return text;
}

UrlReplaceResult ReplaceInUrls(DownloadList &list, const QString &find, const QString &replacement)
{
    const int rows = list.size();
    QStringList keys(rows);
    QStringList referers(rows);
    for (int row = 0; row < rows; ++row) {
        keys[row] = textReplace(list.at(row).Key, find, replacement, CompareMode::Text);
        referers[row] = textReplace(list.at(row).Referer, find, replacement, CompareMode::Text);
    }

    // Settle repeated keys: in each group of rows that would share a key, an
    // unchanged row keeps it, else the first; the others keep their old key.
    // Going back can clash with another row's new key, so repeat until none.
    UrlReplaceResult result;
    QList<bool> kept(rows, false);
    for (bool clashes = true; clashes;) {
        clashes = false;
        QHash<QString, int> holder; // key -> the row that keeps it
        holder.reserve(rows);
        for (int row = 0; row < rows; ++row) {
            const bool unchanged = keys.at(row) == list.at(row).Key;
            auto it = holder.find(keys.at(row));
            if (it == holder.end()) {
                holder.insert(keys.at(row), row);
                continue;
            }
            int loser = row;
            if (unchanged) {
                loser = it.value();
                it.value() = row;
            }
            keys[loser] = list.at(loser).Key;
            kept[loser] = true;
            clashes = true;
        }
    }
    result.keptKeys = int(std::count(kept.cbegin(), kept.cend(), true));

    // Apply. A new key that another row still holds as its old key waits until
    // that row has moved on; rows that only wait for each other in a ring go
    // through a temporary key.
    QList<int> pending;
    for (int row = 0; row < rows; ++row) {
        const DownloadItem &item = list.at(row);
        if (keys.at(row) == item.Key && referers.at(row) == item.Referer)
            continue;
        ++result.changedRows;
        pending.append(row);
    }
    while (!pending.isEmpty()) {
        QList<int> waiting;
        for (const int row : pending) {
            const bool applied = list.update(row, [&](DownloadItem &item) {
                item.Key = keys.at(row);
                item.Referer = referers.at(row);
            });
            if (!applied)
                waiting.append(row);
        }
        if (waiting.size() == pending.size()) {
            const int row = waiting.first();
            QString temporary = list.at(row).Key;
            do
                temporary += u'\x1f';
            while (list.rowOfKey(temporary) >= 0);
            list.update(row, [&](DownloadItem &item) { item.Key = temporary; });
        }
        pending = waiting;
    }
    return result;
}
