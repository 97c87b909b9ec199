#include "download/ui/AddAddressesDialog.h"

#include "common/WindowNames.h"
#include "platform/UserDialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

AddAddressesDialog::AddAddressesDialog(UserDialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_dialogs(dialogs), m_text(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("AddAddresses"));
    setWindowTitle(WindowCaption(QStringLiteral("添加下载地址")));
    setModal(true);
    m_text->setObjectName(QStringLiteral("Text1"));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setTabChangesFocus(false);
    m_text->setMinimumSize(560, 240);

    auto *label = new QLabel(QStringLiteral("下载地址（每行一个）："), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setBuddy(m_text);
    auto *hint
        = new QLabel(QStringLiteral("可写成“地址<Tab>标题”；一行最多三个备用地址，用“|”隔开；"
                                    "也可以是DOI（如 10.1007/...）。"),
            this);
    hint->setObjectName(QStringLiteral("Label2"));
    hint->setWordWrap(true);

    auto *okButton = new QPushButton(QStringLiteral("确定"), this);
    okButton->setObjectName(QStringLiteral("Command1"));
    // Enter starts a new line in the box; the button is clicked.
    okButton->setAutoDefault(false);
    auto *cancelButton = new QPushButton(QStringLiteral("取消"), this);
    cancelButton->setObjectName(QStringLiteral("Command2"));
    cancelButton->setAutoDefault(false);
    connect(okButton, &QPushButton::clicked, this, &AddAddressesDialog::confirm);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_text, 1);
    layout->addWidget(hint);
    layout->addLayout(buttons);
}

QString AddAddressesDialog::text() const
{
    return m_text->toPlainText();
}

void AddAddressesDialog::confirm()
{
    if (text().trimmed().isEmpty()) {
        m_dialogs.message(QStringLiteral("请输入下载地址！"), UserDialogs::Style::Information);
        m_text->setFocus();
        return;
    }
    accept();
}
