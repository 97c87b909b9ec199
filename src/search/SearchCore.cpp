#include "search/SearchCore.h"

#include "platform/Browser.h"
#include "search/AnalysisCitations.h"
#include "search/AnalysisListCommands.h"

SearchCore::SearchCore(Browser &browser, SaveFolderSource &folders, UserDialogs &dialogs,
    DownloadTarget &target, const Clock &clock, QObject *parent)
    : QObject(parent), m_browser(browser), m_dialogs(dialogs),
      m_harvester(browser, m_list, folders, dialogs, clock),
      m_analysis(m_list, folders, dialogs, target)
{ }

void SearchCore::clearSelected()
{
    ClearSelectedRows(m_list, m_dialogs, m_analysis.isIdle());
}

void SearchCore::clearSucceeded()
{
    ClearSucceededRows(m_list, m_dialogs, m_analysis.isIdle());
}

void SearchCore::clearTitleContaining()
{
    ClearRowsWithTitleText(m_list, m_dialogs, m_analysis.isIdle(), true);
}

void SearchCore::clearTitleNotContaining()
{
    ClearRowsWithTitleText(m_list, m_dialogs, m_analysis.isIdle(), false);
}

void SearchCore::clearAll()
{
    ClearAllRows(m_list, m_dialogs, m_analysis.isIdle());
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
}
