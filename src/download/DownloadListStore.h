#pragma once

#include "common/ListStore.h"

#include <QString>

#include <optional>

class DownloadList;

// The download list kept between runs, as download-list.json in the per-user
// data folder (through ListStore: versioned, written whole or not at all).
// A list with rows that are not finished is saved when its window or the
// program closes; the next window to be shown asks restoreQuestion() and
// calls restore() for Yes and discard() for No.
class DownloadListStore
{
public:
    // An empty folder means the per-user data folder.
    explicit DownloadListStore(const QString &folder = {});

    QString filePath() const { return m_store.filePath(); }
    bool exists() const { return m_store.exists(); }

    // Rows in the saved list, 0 when none is saved; nullopt, with the reason
    // in *error, when the file cannot be read.
    std::optional<qsizetype> savedRowCount(QString *error = nullptr) const;
    // Saved rows that are not finished (waiting or failed once read back),
    // as savedRowCount() counts.
    std::optional<qsizetype> unfinishedRowCount(QString *error = nullptr) const;
    // "上次的下载列表还有N项未完成，是否恢复？"
    static QString restoreQuestion(qsizetype rows);

    // True when a row is waiting, being downloaded or failed: such a list is
    // worth keeping.
    static bool hasUnfinishedRows(const DownloadList &list);
    // Saves every row with every field, rows being downloaded as waiting
    // again when read back; an empty list leaves no saved list. On failure
    // the earlier file stays as it was.
    bool save(const DownloadList &list, QString *error = nullptr) const;
    // Saves the saved rows followed by the list's rows whose keys they do not
    // hold: a list that was never offered back is kept with the new one.
    bool saveAfterSaved(const DownloadList &list, QString *error = nullptr) const;
    // Puts the saved rows back ahead of the rows already in the list; a saved
    // row whose key the list already holds is dropped. The saved list stays
    // until the next save() or discard(). Returns the rows put back; nullopt,
    // with the reason, when the file cannot be read (the list is unchanged).
    std::optional<int> restore(DownloadList &list, QString *error = nullptr) const;
    // Deletes the saved list for good; true when none is there afterwards.
    bool discard(QString *error = nullptr) const;

private:
    ListStore m_store;
};
