#include "copytool/ui/Form_Copy_Move.h"

#include "common/WindowNames.h"
#include "common/ui/ListViewHelpers.h"
#include "platform/UserDialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString kStart = QStringLiteral("开始");
const QString kStop = QStringLiteral("停止");

} // namespace

Form_Copy_Move::Form_Copy_Move(UserDialogs &dialogs, const AppPaths &paths, QWidget *parent)
    : QDialog(parent), m_dialogs(dialogs), m_tool(dialogs, paths, this)
{
    setObjectName(QStringLiteral("Form_Copy_Move"));
    setModal(true);

    auto *label1 = new QLabel(QStringLiteral("目的文件夹："), this);
    label1->setObjectName(QStringLiteral("Label1"));
    m_combo1 = new QComboBox(this);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setEditable(true);
    m_combo1->setInsertPolicy(QComboBox::NoInsert);
    m_combo1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_combo1->setMinimumContentsLength(40);
    m_command3 = new QPushButton(QStringLiteral("浏览"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));

    auto *frame = new QGroupBox(QStringLiteral("如果同名文件已经存在"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *frameLayout = new QVBoxLayout(frame);
    const QStringList captions { QStringLiteral("跳过"), QStringLiteral("覆盖"),
        QStringLiteral("自动重命名"),
        QStringLiteral("文件大小和修改时间均相同：覆盖；否则：自动重命名"),
        QStringLiteral("文件大小相同：覆盖；否则：自动重命名") };
    for (int i = 0; i < captions.size(); ++i) {
        auto *option = new QRadioButton(captions[i], frame);
        option->setObjectName(QStringLiteral("Option1"));
        option->setProperty("index", i + 1);
        frameLayout->addWidget(option);
        m_options.append(option);
        connect(option, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                m_tool.setOpIndex(i + 1);
        });
    }

    auto *label4 = new QLabel(QStringLiteral("当前文件："), this);
    label4->setObjectName(QStringLiteral("Label4"));
    m_label3 = new QLabel(this);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label3->setMinimumWidth(300);
    m_label3->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *label2 = new QLabel(QStringLiteral("进度;"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);

    m_command1 = new QPushButton(kStart, this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    m_command2 = new QPushButton(QStringLiteral("关闭"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));

    auto *grid = new QGridLayout;
    grid->addWidget(label1, 0, 0);
    grid->addWidget(m_combo1, 0, 1);
    grid->addWidget(m_command3, 0, 2);
    grid->addWidget(label4, 1, 0);
    grid->addWidget(m_label3, 1, 1, 1, 2);
    grid->addWidget(label2, 2, 0);
    grid->addWidget(m_progress, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(frame);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(m_combo1, &QComboBox::editTextChanged, this,
        [this](const QString &text) { m_tool.setBoxText(text); });
    connect(m_command3, &QPushButton::clicked, this, &Form_Copy_Move::browse);
    connect(m_command1, &QPushButton::clicked, this, [this] { m_tool.执行(true); });
    connect(m_command2, &QPushButton::clicked, this, &Form_Copy_Move::reject);

    connect(&m_tool, &CopyMoveTool::boxTextChanged, this, [this](const QString &text) {
        if (m_combo1->currentText() != text)
            m_combo1->setEditText(text);
    });
    connect(&m_tool, &CopyMoveTool::historyChanged, this, &Form_Copy_Move::fillHistory);
    connect(&m_tool, &CopyMoveTool::progressChanged, this, [this](int value, int maximum) {
        m_progress->setRange(0, maximum);
        m_progress->setValue(value);
    });
    connect(&m_tool, &CopyMoveTool::currentFileChanged, m_label3, &QLabel::setText);
    connect(&m_tool, &CopyMoveTool::runningChanged, this,
        [this](bool running) { m_command1->setText(running ? kStop : kStart); });
    connect(&m_tool, &CopyMoveTool::runFinished, this, [this] {
        if (m_closeWhenDone)
            reject();
    });

    setMoveMode(false);
    m_tool.load();
    FitDropDownWidth(m_combo1);
    const int index = m_tool.opIndex();
    if (index >= 1 && index <= m_options.size())
        m_options[index - 1]->setChecked(true);
}

void Form_Copy_Move::setMoveMode(bool move)
{
    m_tool.MoveMode = move;
    setWindowTitle(WindowCaption(m_tool.caption()));
}

void Form_Copy_Move::copyHandedOver(const QStringList &files)
{
    setMoveMode(false);
    m_tool.copyHandedOver(files);
    setWindowTitle(m_tool.handedOverCaption());
}

void Form_Copy_Move::browse()
{
    QString folder = m_dialogs.existingFolder(
        m_combo1->currentText(), QStringLiteral("请选择要浏览的文件夹:"));
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    m_combo1->setEditText(folder);
}

void Form_Copy_Move::fillHistory()
{
    // Filling the list moves the edit text; the tool's text is the one to keep.
    const QString text = m_tool.boxText();
    m_combo1->clear();
    m_combo1->addItems(m_tool.history());
    m_combo1->setEditText(text);
}

// Closing while a file is copied lets that file finish; the window closes
// right after it.
void Form_Copy_Move::reject()
{
    if (m_tool.isRunning()) {
        m_closeWhenDone = true;
        m_tool.stopQuietly();
        return;
    }
    m_tool.SourceFiles.clear();
    QDialog::reject();
}

void Form_Copy_Move::closeEvent(QCloseEvent *event)
{
    if (m_tool.isRunning()) {
        reject();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
