#pragma once

#include "search/AnalysisListStore.h"

#include <QString>

class AnalysisList;
class UserDialogs;

// When the search window's to-analyse list is kept between runs: the saved
// list is offered back once when a new window is shown, the list is saved
// when the window closes, and what the clearing commands remove never comes
// back. The files are AnalysisListStore's.
class AnalysisListKeeper
{
public:
    AnalysisListKeeper(AnalysisList &list, UserDialogs &dialogs, const QString &folder);

    const AnalysisListStore &store() const { return m_store; }

    // The window has been shown for the first time. When a saved list is
    // there it asks AnalysisListStore::restoreQuestion(N): Yes puts the saved
    // rows back ahead of the list (the file stays until the next save), No
    // deletes the file. A file that cannot be read is named in an error
    // message and left as it is. Only the first call asks, and none after
    // windowClosing(); an answer that comes after it changes nothing. The
    // rows put back.
    int offerSavedList();
    // The window closes, or the program ends with it open: saves the rows, or
    // deletes the saved list when the list is empty (see the .cpp for when a
    // saved list is kept instead). Failures are shown as error messages.
    void windowClosing();
    // A clearing command has removed rows: a saved list that came back into
    // this window follows, so the removed rows never return; an empty list
    // deletes it.
    void rowsCleared();

private:
    // What became of the saved list in this window.
    enum class SavedList {
        NotOffered, // not yet asked about
        Asking, // the question is open
        Settled, // asked (Yes or No), or nothing was saved
        Unreadable, // there but could not be read; the user was told
        Closed, // the window has closed
    };

    void showError(const QString &error);

    AnalysisList &m_list;
    UserDialogs &m_dialogs;
    AnalysisListStore m_store;
    SavedList m_saved = SavedList::NotOffered;
};
