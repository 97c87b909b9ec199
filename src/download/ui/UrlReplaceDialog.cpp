#include "download/ui/UrlReplaceDialog.h"

#include "download/DownloadListCommands.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

UrlReplaceDialog::UrlReplaceDialog(DownloadListCommands &commands, QWidget *parent)
    : QDialog(parent), m_commands(commands), m_find(new QLineEdit(this)),
      m_replacement(new QLineEdit(this))
{
    setObjectName(QStringLiteral("UrlReplace"));
    setWindowTitle(QStringLiteral("网址批量替换-Quillmoor"));
    setModal(true);
    m_find->setObjectName(QStringLiteral("Text1"));
    m_replacement->setObjectName(QStringLiteral("Text2"));
    m_find->setMinimumWidth(360);

    auto *findLabel = new QLabel(QStringLiteral("所有网址中的字符串："), this);
    findLabel->setObjectName(QStringLiteral("Label1"));
    findLabel->setBuddy(m_find);
    auto *replacementLabel = new QLabel(QStringLiteral("将被全部替换为字符串："), this);
    replacementLabel->setObjectName(QStringLiteral("Label2"));
    replacementLabel->setBuddy(m_replacement);

    auto *replaceButton = new QPushButton(QStringLiteral("替换"), this);
    replaceButton->setObjectName(QStringLiteral("Command1"));
    replaceButton->setDefault(true);
    auto *cancelButton = new QPushButton(QStringLiteral("取消"), this);
    cancelButton->setObjectName(QStringLiteral("Command2"));
    connect(replaceButton, &QPushButton::clicked, this, &UrlReplaceDialog::replace);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *fields = new QVBoxLayout;
    fields->addWidget(findLabel);
    fields->addWidget(m_find);
    fields->addWidget(replacementLabel);
    fields->addWidget(m_replacement);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(replaceButton);
    buttons->addWidget(cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addStretch();
    layout->addLayout(buttons);
}

void UrlReplaceDialog::replace()
{
    // The text is used as typed: spaces around it are part of what is found.
    m_commands.replaceUrls(m_find->text(), m_replacement->text(), [this] { accept(); });
}
