#include "search/AnalysisListKeeper.h"

#include "platform/UserDialogs.h"
#include "search/AnalysisList.h"

AnalysisListKeeper::AnalysisListKeeper(
    AnalysisList &list, UserDialogs &dialogs, const QString &folder)
    : m_list(list), m_dialogs(dialogs), m_store(folder)
{ }

int AnalysisListKeeper::offerSavedList()
{
    if (m_saved != SavedList::NotOffered)
        return 0;
    QString error;
    const std::optional<qsizetype> rows = m_store.savedRowCount(&error);
    if (!rows) {
        // A damaged file, or one of a newer version, is not ours to delete.
        m_saved = SavedList::Unreadable;
        showError(error);
        return 0;
    }
    if (*rows == 0) {
        m_saved = SavedList::Settled;
        return 0;
    }
    m_saved = SavedList::Asking;
    const UserDialogs::Answer answer = m_dialogs.message(
        AnalysisListStore::restoreQuestion(*rows), UserDialogs::Style::QuestionYesNo);
    // The program may have ended while the question was open: the answer then
    // comes too late, and the saved list stays for the next time.
    if (m_saved != SavedList::Asking)
        return 0;
    m_saved = SavedList::Settled;
    if (answer != UserDialogs::Answer::Yes) {
        if (!m_store.discard(&error))
            showError(error);
        return 0;
    }
    const std::optional<int> restored = m_store.restore(m_list, &error);
    if (!restored) {
        m_saved = SavedList::Unreadable;
        showError(error);
        return 0;
    }
    return *restored;
}

void AnalysisListKeeper::windowClosing()
{
    const SavedList saved = m_saved;
    if (saved == SavedList::Closed)
        return;
    m_saved = SavedList::Closed;
    QString error;
    if (m_list.isEmpty()) {
        // An empty list at close means nothing to keep. The question comes
        // when the window is shown, so by now a No has deleted the saved list
        // and a Yes has put its rows into this list, where the user has
        // removed them since: deleting the file is what the user did. A saved
        // list the user never answered about (the window closed before its
        // question was answered, or the file could not be read) stays for the
        // next time.
        if (saved == SavedList::Settled && !m_store.discard(&error))
            showError(error);
        return;
    }
    if ((saved == SavedList::NotOffered || saved == SavedList::Asking) && m_store.exists()) {
        // Closed before the answer: the saved rows go ahead of these, as a
        // Yes would have put them, and are offered again next time. A saved
        // list that cannot be read gives way to the rows of this window.
        AnalysisList all;
        for (int row = 0; row < m_list.size(); ++row)
            all.addItem(m_list.at(row));
        m_store.restore(all);
        if (!m_store.save(all, &error))
            showError(error);
        return;
    }
    if (!m_store.save(m_list, &error))
        showError(error);
}

void AnalysisListKeeper::rowsCleared()
{
    // Only a saved list this window has dealt with follows the list; one that
    // could not be read was never part of it.
    if (m_saved != SavedList::Settled || !m_store.exists())
        return;
    QString error;
    if (!m_store.save(m_list, &error))
        showError(error);
}

void AnalysisListKeeper::showError(const QString &error)
{
    m_dialogs.message(error, UserDialogs::Style::Error);
}
