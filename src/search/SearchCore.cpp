#include "search/SearchCore.h"

#include "platform/Browser.h"
#include "search/AnalysisCitations.h"
#include "search/AnalysisListCommands.h"

SearchCore::SearchCore(Browser &browser, SaveFolderSource &folders, UserDialogs &dialogs,
    DownloadTarget &target, const Clock &clock, const QString &keptListFolder, QObject *parent)
    : QObject(parent), m_browser(browser), m_dialogs(dialogs),
      m_harvester(browser, m_list, folders, dialogs, clock),
      m_analysis(m_list, folders, dialogs, target), m_keeper(m_list, dialogs, keptListFolder)
{ }

void SearchCore::clearSelected()
{
    if (ClearSelectedRows(m_list, m_dialogs, m_analysis.isIdle()))
        m_keeper.rowsCleared();
}

void SearchCore::clearSucceeded()
{
    if (ClearSucceededRows(m_list, m_dialogs, m_analysis.isIdle()))
        m_keeper.rowsCleared();
}

void SearchCore::clearTitleContaining()
{
    if (ClearRowsWithTitleText(m_list, m_dialogs, m_analysis.isIdle(), true))
        m_keeper.rowsCleared();
}

void SearchCore::clearTitleNotContaining()
{
    if (ClearRowsWithTitleText(m_list, m_dialogs, m_analysis.isIdle(), false))
        m_keeper.rowsCleared();
}

void SearchCore::clearAll()
{
    if (ClearAllRows(m_list, m_dialogs, m_analysis.isIdle()))
        m_keeper.rowsCleared();
}

void SearchCore::exportData()
{
    ExportAnalysisList(m_list, m_dialogs);
}

void SearchCore::exportCitations()
{
    ExportCitations(m_list, m_dialogs);
}

void SearchCore::openSelectedEntry()
{
    const int row = m_list.firstSelectedRow();
    if (row >= 0)
        m_browser.navigate(m_list.at(row).Link);
}

void SearchCore::windowClosing()
{
    m_harvester.requestStop();
    m_analysis.requestStop();
    m_keeper.windowClosing();
}
