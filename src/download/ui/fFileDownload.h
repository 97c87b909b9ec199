#pragma once

#include "common/AppServices.h"
#include "download/ui/fFileDownloadUi.h"

#include <QMainWindow>

#include <memory>

class DownloadList;
class DownloadListCommands;
class DownloadSession;
class QMimeData;
struct AddedAddresses;
struct InputLine;
class LoginPanel;
class QAction;
class QLabel;
class QMenu;
class SiteLogin;
class StatusIconProxyModel;
class WebEngineBrowser;

// The download window: the list of downloads over the download session, the
// scheduler's controls, the list tools in its menus and pop-up menu, and the
// status bar with its four panels. Every rule lives in the session and the
// list commands; this class only shows them and forwards the user's actions.
// What belongs to other windows it asks for with its signals.
class fFileDownload : public QMainWindow
{
    Q_OBJECT
public:
    explicit fFileDownload(const AppServices &services, QWidget *parent = nullptr);
    ~fFileDownload() override;

    DownloadSession &session();
    DownloadList &list();
    DownloadListCommands &commands();

    // The program ends: the settings are written as a close writes them and
    // downloads stop as by "停止下载", without questions.
    void endWithProgram();

    // The menu "窗口(&W)".
    QMenu *windowMenu() const { return m_windowMenu; }
    // Room for the site-login panel beside the list; hidden until "网页登录".
    QWidget *loginPanelHost() const { return ui.LoginPanel; }
    // "网页登录": shows the login panel, made with its browser on first use.
    void showLoginPanel();
    // The login and its browser once the panel was shown, else null.
    SiteLogin *siteLogin() const { return m_siteLogin.get(); }
    WebEngineBrowser *loginBrowser() const { return m_loginBrowser.get(); }
    // Adds the addresses of a text as waiting rows in the current save folder
    // (asked for with saveFolderRequested() when none is chosen), tells the
    // user about lines without an address and addresses already listed, and
    // shows the window when it is hidden and rows were added; the scheduler's
    // usual rules start them. "添加下载地址...", Ctrl+V and drops come here.
    AddedAddresses addAddressText(const QString &text);
    AddedAddresses addAddressLines(const QList<InputLine> &lines);
    // The text of the addresses a paste or a drop carries: the links of a
    // link list, else the plain text.
    static QString addressTextOf(const QMimeData *data);

    // Finds a menu entry by its path of captions, e.g. {"重新下载", "出错项"}.
    QAction *menuEntry(const QStringList &captions) const;
    // The status-bar panels, 1 to 6: the form's four, then the total speed
    // and the time left.
    QLabel *panel(int number) const;

Q_SIGNALS:
    // "窗口(&W)"/"资料检索分析窗口".
    void searchWindowRequested();
    // "工具(&T)"/"设置", "帮助(&H)"/"关于", "工具(&T)"/"清空IE浏览器缓存".
    void optionsRequested();
    void aboutRequested();
    void cacheClearRequested();
    // The window accepted its close.
    void closed();
    // New rows need a save folder and none is chosen: the save-folder dialog,
    // answered before the signal returns (SaveFolder, SaveFolderDialogCancelled).
    void saveFolderRequested();
    // The login browser was made (it uses the program's browser profile).
    void loginBrowserMade();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildMenus();
    void buildLoginPanel();
    void open();
    void connectControls();
    // Method label and connection selector from the session's options.
    void showMethod();
    // Check boxes the scheduler may have changed (stop unchecks two).
    void showOptions();
    void showRunState();
    void showRowCount();
    void popUpListMenu(const QPoint &position);
    // Offers a saved list back, once per window, after the first showing.
    void offerSavedList();
    // Keeps the list for the next window before the transfers stop.
    void keepList();
    void addAddressesFromDialog();
    // The shared save folder, asked for when none is chosen; empty when the
    // user cancelled.
    QString saveFolderForNewRows();
    // Shows the window for new rows and tells what was not added.
    AddedAddresses tellAdded(const AddedAddresses &added);
    void applyMenuStates();
    QList<int> selectedRows() const;
    int currentRow() const;

    AppServices m_services;
    fFileDownloadUi ui;
    std::unique_ptr<DownloadSession> m_session;
    std::unique_ptr<DownloadListCommands> m_commands;
    StatusIconProxyModel *m_iconModel = nullptr;
    std::unique_ptr<WebEngineBrowser> m_loginBrowser;
    std::unique_ptr<SiteLogin> m_siteLogin;
    LoginPanel *m_loginPanel = nullptr;

    QMenu *m_listMenu = nullptr;
    QMenu *m_windowMenu = nullptr;
    QMenu *m_clearMenu = nullptr;
    QAction *m_emptyAction = nullptr;
    QAction *m_selectAllAction = nullptr;
    QAction *m_startAction = nullptr;
    QAction *m_stopAction = nullptr;
    QAction *m_scrollToRowAction = nullptr;
    bool m_savedListOffered = false;
};
