#include "download/ui/fSeleFileSavePath.h"

#include "common/AppValues.h"
#include "common/WindowNames.h"
#include "common/ui/ListViewHelpers.h"
#include "platform/UserDialogs.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

fSeleFileSavePath::fSeleFileSavePath(const AppServices &services, QWidget *parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(WindowName::SaveFolder);
    setWindowTitle(WindowCaption(QStringLiteral("选择下载保存路径")));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);

    m_combo1 = new QComboBox(this);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setEditable(true);
    m_combo1->setInsertPolicy(QComboBox::NoInsert);
    m_combo1->setMinimumWidth(420);
    m_combo1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto *browseButton = new QPushButton(QStringLiteral("..."), this);
    browseButton->setObjectName(QStringLiteral("Command3"));
    browseButton->setFixedWidth(40);
    browseButton->setToolTip(QStringLiteral("请选择要浏览的文件夹:"));
    connect(browseButton, &QPushButton::clicked, this, &fSeleFileSavePath::browse);
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_combo1, 1);
    folderRow->addWidget(browseButton);

    auto *namingBox = new QGroupBox(QStringLiteral("文件命名"), this);
    m_option1 = new QRadioButton(QStringLiteral("原文件名"), namingBox);
    m_option1->setObjectName(QStringLiteral("Option1"));
    m_option2 = new QRadioButton(QStringLiteral("文章标题名称"), namingBox);
    m_option2->setObjectName(QStringLiteral("Option2"));
    auto *namingLayout = new QHBoxLayout(namingBox);
    namingLayout->addWidget(m_option1);
    namingLayout->addWidget(m_option2);
    namingLayout->addStretch();

    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    auto *cancelButton = new QPushButton(QStringLiteral("取消"), this);
    cancelButton->setObjectName(QStringLiteral("Command2"));
    connect(ok, &QPushButton::clicked, this, &fSeleFileSavePath::confirm);
    connect(cancelButton, &QPushButton::clicked, this, &fSeleFileSavePath::cancel);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("下载文件保存到文件夹："), this));
    layout->addLayout(folderRow);
    layout->addWidget(namingBox);
    layout->addStretch();
    layout->addLayout(buttons);

    m_form = openSaveFolderForm(m_services.values, m_services.paths);
    m_option2->setChecked(true);
    m_option1->setChecked(m_form.useOriginalFileName);
    m_combo1->addItems(m_form.history);
    m_combo1->setEditText(m_form.folderText);
    FitDropDownWidth(m_combo1);
}

void fSeleFileSavePath::browse()
{
    const QString initial = m_combo1->currentText();
    const QString picked = m_services.dialogs.existingFolder(
        BrowseStartFolder(initial), QStringLiteral("请选择要浏览的文件夹:"));
    m_combo1->setEditText(BrowseResult(initial, picked));
}

void fSeleFileSavePath::confirm()
{
    m_form.useOriginalFileName = m_option1->isChecked();
    m_form.folderText = m_combo1->currentText();
    const bool ok
        = confirmSaveFolder(m_form, m_services.values, m_services.paths, m_services.dialogs);
    if (!ok) {
        m_combo1->setEditText(m_form.folderText);
        return;
    }
    m_combo1->addItem(m_form.history.constLast());
    accept();
}

void fSeleFileSavePath::cancel()
{
    cancelSaveFolder(m_services.values);
    reject();
}
