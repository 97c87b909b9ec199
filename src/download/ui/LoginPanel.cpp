#include "download/ui/LoginPanel.h"

#include "download/SiteLogin.h"
#include "platform/webengine/WebEngineBrowser.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace {

template<typename Widget> Widget *withName(Widget *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace

LoginPanel::LoginPanel(SiteLogin &login, WebEngineBrowser &browser, QWidget *parent)
    : QWidget(parent), m_login(login)
{
    m_option4
        = withName(new QRadioButton(QStringLiteral("帐号登录："), this), QStringLiteral("Option4"));
    m_option5
        = withName(new QRadioButton(QStringLiteral("IP登录"), this), QStringLiteral("Option5"));
    auto *kind = new QButtonGroup(this);
    kind->addButton(m_option4);
    kind->addButton(m_option5);
    m_option4->setChecked(true);

    m_text1 = withName(new QLineEdit(this), QStringLiteral("Text1"));
    m_text2 = withName(new QLineEdit(this), QStringLiteral("Text2"));
    m_text3 = withName(new QLineEdit(this), QStringLiteral("Text3"));
    m_text3->setEchoMode(QLineEdit::Password);
    // Typed values are not offered to input methods' histories either.
    m_text3->setInputMethodHints(
        Qt::ImhHiddenText | Qt::ImhNoPredictiveText | Qt::ImhSensitiveData);

    m_command2
        = withName(new QPushButton(QStringLiteral("浏览"), this), QStringLiteral("Command2"));
    m_command5
        = withName(new QPushButton(QStringLiteral("测试登录"), this), QStringLiteral("Command5"));
    m_check2 = withName(new QCheckBox(QStringLiteral("自动登录"), this), QStringLiteral("Check2"));
    auto *label11
        = withName(new QLabel(QStringLiteral("自动登录条件："), this), QStringLiteral("Label11"));
    m_combo3 = withName(new QComboBox(this), QStringLiteral("Combo3"));
    m_combo3->addItem(QStringLiteral("下载到网页文件(htm/html/asp)文件"));
    m_combo3->setCurrentIndex(0);
    m_check1 = withName(
        new QCheckBox(QStringLiteral("自动刷新(每分钟)"), this), QStringLiteral("Check1"));
    m_command3
        = withName(new QPushButton(QStringLiteral("关闭(隐藏)"), this), QStringLiteral("Command3"));

    auto *picWebBK = withName(new QWidget(this), QStringLiteral("PicWebBK"));
    QWebEngineView *web1 = browser.view(picWebBK);
    web1->setObjectName(QStringLiteral("Web1"));
    auto *webLayout = new QVBoxLayout(picWebBK);
    webLayout->setContentsMargins(0, 0, 0, 0);
    webLayout->addWidget(web1);

    auto *grid = new QGridLayout;
    grid->addWidget(m_option4, 0, 0);
    grid->addWidget(m_text2, 0, 1);
    grid->addWidget(m_option5, 0, 2);
    grid->addWidget(
        withName(new QLabel(QStringLiteral("网址："), this), QStringLiteral("Label9")), 1, 0);
    grid->addWidget(m_text1, 1, 1, 1, 3);
    grid->addWidget(
        withName(new QLabel(QStringLiteral("密码："), this), QStringLiteral("Label10")), 2, 0);
    grid->addWidget(m_text3, 2, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    // Two rows, so that the panel stays narrow beside the list.
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_command2);
    buttons->addWidget(m_command5);
    buttons->addStretch();
    buttons->addWidget(m_command3);
    auto *options = new QHBoxLayout;
    options->addWidget(m_check2);
    options->addWidget(m_check1);
    options->addStretch();

    auto *condition = new QHBoxLayout;
    condition->addWidget(label11);
    condition->addWidget(m_combo3, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->addLayout(options);
    layout->addLayout(condition);
    layout->addWidget(picWebBK, 1);

    for (QLineEdit *edit : { m_text1, m_text2, m_text3 })
        connect(edit, &QLineEdit::textChanged, this, &LoginPanel::syncOptions);
    connect(m_option4, &QRadioButton::toggled, this, &LoginPanel::syncOptions);

    connect(m_command2, &QPushButton::clicked, &m_login, &SiteLogin::browse);
    connect(m_command5, &QPushButton::clicked, &m_login, [this] { m_login.run(true); });
    connect(m_check2, &QCheckBox::clicked, this, [this](bool checked) {
        const bool kept = m_login.setAutoLoginByUser(checked);
        if (kept != checked)
            m_check2->setChecked(kept);
    });
    connect(m_check1, &QCheckBox::toggled, &m_login, &SiteLogin::setAutoRefresh);
    connect(m_command3, &QPushButton::clicked, this, [this] {
        m_login.hidePanel();
        Q_EMIT hideRequested();
    });

    connect(&m_login, &SiteLogin::testLoginEnabledChanged, m_command5, &QWidget::setEnabled);
    connect(&m_login, &SiteLogin::browseEnabledChanged, m_command2, &QWidget::setEnabled);
    connect(&m_login, &SiteLogin::autoLoginChanged, m_check2, &QCheckBox::setChecked);
    syncOptions();
}

void LoginPanel::showPanel(const QString &selectedRowKey)
{
    Q_EMIT showRequested();
    m_login.showPanel(selectedRowKey);
}

void LoginPanel::syncOptions()
{
    SiteLoginOptions &options = m_login.options();
    options.address = m_text1->text();
    options.account = m_text2->text();
    options.password = m_text3->text();
    options.ipLogin = m_option5->isChecked();
}
