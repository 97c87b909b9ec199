#pragma once

#include <QMainWindow>

#include <memory>

class AnalysisList;
class AppWindows;
class DownloadTarget;
class Harvester;
class SearchCore;
class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QTreeView;
class QWebEngineView;
class SaveFolderSource;
class WebEngineBrowser;

// The search window: the literature site in the embedded browser beside the
// to-analyse list, with the commands that take result entries page after page
// and hand them to the download window. The rules live in the harvester, the
// analysis list and the browsing rules; this class shows them and forwards the
// user's actions.
class fWebSearch : public QMainWindow
{
    Q_OBJECT
public:
    explicit fWebSearch(AppWindows &windows, QWidget *parent = nullptr);
    ~fWebSearch() override;

    // The opening steps: caption, settings, silent browser, about:blank, then
    // shown with the home page.
    void open();

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

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
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

    AppWindows &m_windows;
    std::unique_ptr<SaveFolderSource> m_folders;
    std::unique_ptr<DownloadTarget> m_target;
    WebEngineBrowser *m_browser = nullptr;
    SearchCore *m_core = nullptr;
    AnalysisList *m_list = nullptr;
    Harvester *m_harvester = nullptr;
    QStringList m_makerDomains;

    QSplitter *m_picBar = nullptr;
    QWidget *m_picPanList = nullptr;
    QWidget *m_picPanWeb = nullptr;
    QWebEngineView *m_webBrowser1 = nullptr;
    QTreeView *m_listView1 = nullptr;
    QLabel *m_label1 = nullptr;
    QPushButton *m_command9 = nullptr;
    QPushButton *m_command4 = nullptr;
    QCheckBox *m_check1 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QPushButton *m_command7 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QPushButton *m_command1 = nullptr;
    QCheckBox *m_check2 = nullptr;
    QFrame *m_picPanPrograss = nullptr;
    QLabel *m_label11 = nullptr;
    QPushButton *m_command5 = nullptr;
    QLabel *m_panels[3] = {};
    QPoint m_dragOffset;

    QMenu *m_addMenu = nullptr;
    QMenu *m_clearMenu = nullptr;
};
