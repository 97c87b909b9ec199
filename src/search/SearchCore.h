#pragma once

#include "search/AnalysisList.h"
#include "search/AnalysisListKeeper.h"
#include "search/AnalysisRun.h"
#include "search/Harvester.h"

#include <QObject>

class Browser;
class Clock;
class DownloadTarget;
class SaveFolderSource;
class UserDialogs;

// Everything the search window decides, without a widget: the to-analyse
// list, harvesting pages from the browser, the analysis run and the list
// commands, and keeping the list between runs. The window forwards its
// buttons and menus here and follows the signals of harvester() and
// analysis(); the list is the model of its view.
class SearchCore : public QObject
{
    Q_OBJECT
public:
    // The list is kept between runs in `keptListFolder` (the per-user data
    // folder of the program).
    SearchCore(Browser &browser, SaveFolderSource &folders, UserDialogs &dialogs,
        DownloadTarget &target, const Clock &clock, const QString &keptListFolder,
        QObject *parent = nullptr);

    AnalysisList &list() { return m_list; }
    const AnalysisListStore &keptList() const { return m_keeper.store(); }
    Harvester &harvester() { return m_harvester; }
    AnalysisRun &analysis() { return m_analysis; }

    // "加入本页到列表" (Command9) and "加入全部到列表" (Command4, with Text1).
    void addThisPage() { m_harvester.addThisPage(); }
    void addAllClicked(const QString &limitText) { m_harvester.addAllClicked(limitText); }
    // "加入到最大页码数：" (Check1).
    void setPageLimitEnabled(bool enabled) { m_harvester.setPageLimitEnabled(enabled); }

    // "开始分析" (Command2); ChooseFilter asks the window for the menu "加入",
    // whose entries call analyse().
    AnalysisRun::StartChoice startAnalysisClicked() { return m_analysis.startClicked(); }
    void analyse(AnalysisFilter filter) { m_analysis.AnalyseItems(filter); }
    // "停止分析" (Command3) and "停止" (Command5).
    void stopAnalysis() { m_analysis.requestStop(); }

    // The menu "清除(&C)". Rows they remove are gone for good: a saved list
    // that came back follows the list, and is deleted once it is empty.
    void clearSelected();
    void clearSucceeded();
    void clearTitleContaining();
    void clearTitleNotContaining();
    void clearAll();
    // "导出数据..." (Command7).
    void exportData();
    // "导出引用..." (Command8).
    void exportCitations();

    // Double click on the list: the browser opens the selected row's link.
    void openSelectedEntry();

    // The window is shown for the first time: a saved list is offered back
    // (AnalysisListKeeper::offerSavedList). The rows put back.
    int windowShown() { return m_keeper.offerSavedList(); }
    // The window closes, or the program ends with it open: a harvest and an
    // analysis run end at their next check, and the list is kept.
    void windowClosing();

private:
    Browser &m_browser;
    UserDialogs &m_dialogs;
    AnalysisList m_list;
    Harvester m_harvester;
    AnalysisRun m_analysis;
    AnalysisListKeeper m_keeper;
};
