#pragma once

#include <QMainWindow>

#include <memory>

class AppWindows;
class DownloadList;
class DownloadListCommands;
class DownloadSession;
class LoginPanel;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QTreeView;
class SiteLogin;
class StatusIconProxyModel;
class WebEngineBrowser;

// The download window: the list of downloads over the download session, the
// scheduler's controls, the list tools in its menus and pop-up menu, and the
// status bar with its four panels. Every rule lives in the session and the
// list commands; this class only shows them and forwards the user's actions.
class fFileDownload : public QMainWindow
{
    Q_OBJECT
public:
    explicit fFileDownload(AppWindows &windows, QWidget *parent = nullptr);
    ~fFileDownload() override;

    DownloadSession &session();
    DownloadList &list();
    DownloadListCommands &commands();

    // The options dialog was confirmed: the method chosen there (0 when none)
    // and the shared proxy and size values take effect at once.
    void takeOptionValues(int chosenMethod);
    // The program ends: the settings are written as a close writes them and
    // downloads stop as by "停止下载", without questions.
    void endWithProgram();

    // The menu "窗口(&W)"; it shows once an entry is added.
    QMenu *windowMenu() const { return m_windowMenu; }
    // Room for the site-login panel beside the list; hidden until "网页登录".
    QWidget *loginPanelHost() const { return m_loginPanelHost; }
    // "网页登录": shows the login panel, made with its browser on first use.
    void showLoginPanel();
    // The login and its browser once the panel was shown, else null.
    SiteLogin *siteLogin() const { return m_siteLogin.get(); }
    WebEngineBrowser *loginBrowser() const { return m_loginBrowser.get(); }
    // Finds a menu entry by its path of captions, e.g. {"重新下载", "出错项"}.
    QAction *menuEntry(const QStringList &captions) const;
    // The four status-bar panels, 1 to 4.
    QLabel *panel(int number) const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
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
    void applyMenuStates();
    QList<int> selectedRows() const;
    int currentRow() const;
    void openMakerPage(const QString &address);

    AppWindows &m_windows;
    std::unique_ptr<DownloadSession> m_session;
    std::unique_ptr<DownloadListCommands> m_commands;
    StatusIconProxyModel *m_iconModel = nullptr;

    QLabel *m_label7 = nullptr;
    QPushButton *m_command26 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QComboBox *m_combo2 = nullptr;
    QRadioButton *m_option1 = nullptr;
    QRadioButton *m_option2 = nullptr;
    QRadioButton *m_option3 = nullptr;
    QCheckBox *m_check3 = nullptr;
    QComboBox *m_combo4 = nullptr;
    QCheckBox *m_check4 = nullptr;
    QCheckBox *m_check5 = nullptr;
    QCheckBox *m_check6 = nullptr;
    QPushButton *m_command4 = nullptr;
    QPushButton *m_command31 = nullptr;
    QLabel *m_shape1 = nullptr;
    QLabel *m_label1 = nullptr;
    QTreeView *m_listView = nullptr;
    QWidget *m_loginPanelHost = nullptr;
    QPushButton *m_command1 = nullptr;
    std::unique_ptr<WebEngineBrowser> m_loginBrowser;
    std::unique_ptr<SiteLogin> m_siteLogin;
    LoginPanel *m_loginPanel = nullptr;
    QLabel *m_panels[4] = {};

    QMenu *m_listMenu = nullptr;
    QMenu *m_windowMenu = nullptr;
    QMenu *m_clearMenu = nullptr;
    QAction *m_emptyAction = nullptr;
    QAction *m_selectAllAction = nullptr;
    QAction *m_startAction = nullptr;
    QAction *m_stopAction = nullptr;
    QAction *m_scrollToRowAction = nullptr;
    QList<QAction *> m_makerEntries;
};
