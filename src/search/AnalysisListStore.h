#pragma once

#include "common/ListStore.h"

#include <QString>

#include <optional>

class AnalysisList;

// The to-analyse list kept between runs of the search window, as
// analysis-list.json in the per-user data folder (through ListStore: versioned,
// written whole or not at all). The window saves the list when it closes,
// asks restoreQuestion() when it is shown again and a saved list is there,
// and calls restore() for Yes and discard() for No; the clearing commands
// call discard() too, so what they cleared never comes back.
class AnalysisListStore
{
public:
    // An empty folder means the per-user data folder.
    explicit AnalysisListStore(const QString &folder = {});

    QString filePath() const { return m_store.filePath(); }
    // True when a saved list (a file) is there; it may still be unreadable.
    bool exists() const { return m_store.exists(); }

    // Rows in the saved list, 0 when none is saved; nullopt, with the reason
    // in *error, when the file cannot be read.
    std::optional<qsizetype> savedRowCount(QString *error = nullptr) const;
    // "上次的待分析列表还有N条，是否恢复？"
    static QString restoreQuestion(qsizetype rows);

    // Saves every row with every field; an empty list leaves no saved list.
    // On failure the earlier file stays as it was.
    bool save(const AnalysisList &list, QString *error = nullptr) const;
    // Puts the saved rows back, with their states, ahead of the rows already
    // in the list; a saved row whose link the list already holds is dropped
    // (the row there stays as it is). Refreshes the entry counter. The saved
    // list stays until the next save() or discard(). Returns the rows put
    // back; nullopt, with the reason, when the file cannot be read (the list
    // is then unchanged). Call it while no harvest or analysis run is active.
    std::optional<int> restore(AnalysisList &list, QString *error = nullptr) const;
    // Deletes the saved list for good; true when none is there afterwards.
    bool discard(QString *error = nullptr) const;

private:
    ListStore m_store;
};
