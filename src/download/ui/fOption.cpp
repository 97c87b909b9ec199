#include "download/ui/fOption.h"

#include "common/AppValues.h"
#include "common/WindowNames.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLabel *hint(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: #606060;"));
    return label;
}

} // namespace

fOption::fOption(const AppServices &services, QWidget *parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(WindowName::Options);
    setWindowTitle(WindowCaption(QStringLiteral("设置")));

    auto *methodBox = new QGroupBox(QStringLiteral("下载方式"), this);
    m_option1 = new QRadioButton(
        QStringLiteral("下载方式一 (支持HTTP，单线程，代理服务器下载)"), methodBox);
    m_option1->setObjectName(QStringLiteral("Option1"));
    m_option2 = new QRadioButton(QStringLiteral("下载方式二 (支持HTTP，多线程下载)"), methodBox);
    m_option2->setObjectName(QStringLiteral("Option2"));
    auto *methodLayout = new QVBoxLayout(methodBox);
    methodLayout->addWidget(m_option1);
    methodLayout->addWidget(m_option2);

    auto *proxyBox = new QGroupBox(QStringLiteral("代理服务器"), this);
    m_check1 = new QCheckBox(QStringLiteral("下载使用代理服务器"), proxyBox);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_text6 = new QLineEdit(proxyBox);
    m_text6->setObjectName(QStringLiteral("Text6"));
    m_text8 = new QLineEdit(proxyBox);
    m_text8->setObjectName(QStringLiteral("Text8"));
    auto *proxyLayout = new QGridLayout(proxyBox);
    proxyLayout->addWidget(m_check1, 0, 0, 1, 3);
    proxyLayout->addWidget(new QLabel(QStringLiteral("地址："), proxyBox), 1, 0);
    proxyLayout->addWidget(m_text6, 1, 1);
    proxyLayout->addWidget(
        hint(QStringLiteral("(如：proxy.example.org 或者 192.168.1.10)"), proxyBox), 1, 2);
    proxyLayout->addWidget(new QLabel(QStringLiteral("端口："), proxyBox), 2, 0);
    proxyLayout->addWidget(m_text8, 2, 1);
    proxyLayout->addWidget(hint(QStringLiteral("(如：3128 或者 80 等等)"), proxyBox), 2, 2);
    proxyLayout->setColumnStretch(1, 1);

    m_check2 = new QCheckBox(QStringLiteral("提取网页信息时，提示下载保存路径"), this);
    m_check2->setObjectName(QStringLiteral("Check2"));

    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setMaximumWidth(90);
    auto *sizeRow = new QHBoxLayout;
    sizeRow->addWidget(new QLabel(QStringLiteral("下载文件大小不超过："), this));
    sizeRow->addWidget(m_text1);
    sizeRow->addWidget(new QLabel(QStringLiteral("MB"), this));
    sizeRow->addStretch();

    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("Command2"));
    connect(ok, &QPushButton::clicked, this, &fOption::confirm);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(methodBox);
    layout->addWidget(proxyBox);
    layout->addWidget(m_check2);
    layout->addLayout(sizeRow);
    layout->addStretch();
    layout->addLayout(buttons);

    const OptionsForm form = OptionsForm::fromValues(m_services.values);
    m_check1->setChecked(form.proxyEnabled);
    m_text6->setText(form.proxyAddress);
    m_text8->setText(form.proxyPort);
    m_option1->setChecked(form.method == 1);
    m_option2->setChecked(form.method == 2);
    m_check2->setChecked(form.askSaveFolderOnExtract);
    m_text1->setText(form.maxFileSizeText);
}

OptionsForm fOption::form() const
{
    OptionsForm form;
    form.proxyEnabled = m_check1->isChecked();
    form.proxyAddress = m_text6->text();
    form.proxyPort = m_text8->text();
    form.method = m_option1->isChecked() ? 1 : m_option2->isChecked() ? 2 : 0;
    form.askSaveFolderOnExtract = m_check2->isChecked();
    form.maxFileSizeText = m_text1->text();
    return form;
}

void fOption::confirm()
{
    const OptionsForm chosen = form();
    if (!confirmOptions(chosen, m_services.values, m_services.dialogs))
        return;
    Q_EMIT confirmed(chosen.method);
    accept();
}
