#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class SiteLogin;
class WebEngineBrowser;

// The login panel of the download window: login kind, address, account and
// password, "浏览", "测试登录", "自动登录" with its condition, "自动刷新(每分钟)",
// "关闭(隐藏)" and the login browser Web1 inside PicWebBK. It only shows the
// state of a SiteLogin and forwards the user's actions to it; the values typed
// here live in the panel and in SiteLogin's options, and nowhere else.
class LoginPanel : public QWidget
{
    Q_OBJECT
public:
    LoginPanel(SiteLogin &login, WebEngineBrowser &browser, QWidget *parent = nullptr);

    // "网页登录": shows the panel (the window brings its host forward) and,
    // unless an automatic option is on, opens the selected row's address.
    void showPanel(const QString &selectedRowKey);

Q_SIGNALS:
    // "关闭(隐藏)" was clicked: the window hides the panel's host.
    void hideRequested();
    void showRequested();

private:
    void syncOptions();

    SiteLogin &m_login;
    QRadioButton *m_option4 = nullptr;
    QRadioButton *m_option5 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QLineEdit *m_text3 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command5 = nullptr;
    QCheckBox *m_check2 = nullptr;
    QComboBox *m_combo3 = nullptr;
    QCheckBox *m_check1 = nullptr;
    QPushButton *m_command3 = nullptr;
};
