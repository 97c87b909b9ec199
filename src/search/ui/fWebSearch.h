#pragma once

#include "common/AppServices.h"
#include "search/ui/fWebSearchUi.h"

#include <QMainWindow>

class AnalysisList;
class DownloadTarget;
class Harvester;
class SearchCore;
class QAction;
class QMenu;
class SaveFolderSource;
class WebEngineBrowser;

// The search window: the literature site in the embedded browser beside the
// to-analyse list, with the commands that take result entries page after page
// and hand them to the download window. The rules live in the search core
// (the harvester, the analysis list and run, the browsing rules); this class
// shows them and forwards the user's actions. The save folder and the
// download list come in through their interfaces; what belongs to other
// windows it asks for with its signals.
class fWebSearch : public QMainWindow
{
    Q_OBJECT
public:
    // The status panel that follows a harvest run.
    static constexpr int HarvestPanel = 4;

    fWebSearch(const AppServices &services, SaveFolderSource &folders, DownloadTarget &target,
        QWidget *parent = nullptr);
    ~fWebSearch() override;

    // The opening steps: caption, settings, silent browser, about:blank, then
    // shown with the home page. Once shown, a saved list is offered back.
    void open();
    // The program ends with the window open: it keeps its list and placement
    // as a close does, and no longer counts as open.
    void endWithProgram();

    WebEngineBrowser &browser() { return *m_browser; }
    SearchCore &core() { return *m_core; }
    AnalysisList &list();
    Harvester &harvester();
    // Finds a menu entry by its path of captions, e.g. {"浏览(&B)", "后退"}.
    QAction *menuEntry(const QStringList &captions) const;
    // The pop-up menu "加入" (not in the menu bar).
    QMenu *addMenu() const { return m_addMenu; }
    // Flags of the paging and the analysis run.
    bool pageLoading() const;
    bool analysisIdle() const;

    // The menu commands.
    void openHomePage();
    void openTypedAddress();
    void goBack();
    void goForward();

Q_SIGNALS:
    // "工具(&T)"/"打开下载窗口".
    void downloadWindowRequested();
    // "工具(&T)"/"设置", "帮助(&H)"/"关于(&A)", and the two cache entries.
    void optionsRequested();
    void aboutRequested();
    void cacheViewRequested();
    void cacheClearRequested();
    // The window accepted its close.
    void closed();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Drags the progress panel of an analysis run.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void connectBrowser();
    void connectHarvest();
    void connectAnalysis();
    void startAnalysis();
    void setSilent(bool silent);
    void onTitleChanged(const QString &title);
    void showRunning(bool running);
    void fitColumns();
    void showBrowserPanel();
    void offerSavedList();

    AppServices m_services;
    fWebSearchUi ui;
    WebEngineBrowser *m_browser = nullptr;
    SearchCore *m_core = nullptr;
    AnalysisList *m_list = nullptr;
    QStringList m_makerDomains;
    QPoint m_dragOffset;
    bool m_offerScheduled = false;

    QMenu *m_addMenu = nullptr;
    QMenu *m_clearMenu = nullptr;
};
