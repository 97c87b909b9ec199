#include "app/ui/fCover.h"

#include "common/AppValues.h"
#include "common/WindowNames.h"
#include "common/ui/ClickableLabel.h"
#include "net/VersionCheck.h"
#include "platform/Shell.h"
#include "platform/UserDialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kIntroduction = QStringLiteral(
    "Springer（施普林格）是历史悠久的国际科学、技术与医学出版社，出版大量学术期刊、图书、"
    "丛书与参考工具书，内容涵盖自然科学、工程技术、医学、生命科学、人文社科等领域。"
    "其在线平台 SpringerLink 汇集了这些期刊论文、图书章节和会议论文，可以检索浏览，"
    "并按所在机构的订阅权限获取全文。\n\n"
    "本软件在内置浏览器中打开该平台：检索资料，将结果页中的条目加入待分析列表，"
    "再由下载管理器逐一下载全文，自动识别文件类型并按需重命名。");

} // namespace

fCover::fCover(const AppServices &services, QWidget *parent)
    : QWidget(parent), m_services(services), m_version(programVersion())
{
    setObjectName(WindowName::Cover);
    setAttribute(Qt::WA_QuitOnClose, true);

    auto *title = new QLabel(ProgramTitle, this);
    title->setObjectName(QStringLiteral("LabelTitle"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 2.2);
    titleFont.setBold(true);
    title->setFont(titleFont);

    m_label2 = new QLabel(QStringLiteral("版本："), this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label5 = new QLabel(QStringLiteral("正在加载组件，请稍候..."), this);
    m_label5->setObjectName(QStringLiteral("Label5"));

    m_label1 = new QLabel(kIntroduction, this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setWordWrap(true);
    m_label1->setFrameShape(QFrame::StyledPanel);
    m_label1->setMargin(10);
    m_label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_label4 = new QLabel(
        QStringLiteral("(该软件仅用于科研人员辅助少量下载；请不要恶意下载和大量下载！)"), this);
    m_label4->setObjectName(QStringLiteral("Label4"));
    m_label4->setWordWrap(true);
    m_label4->setStyleSheet(QStringLiteral("color: #b00000;"));

    m_label3 = new ClickableLabel(QStringLiteral("最新版本："), this);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label3->setCursor(Qt::PointingHandCursor);
    m_label3->setStyleSheet(QStringLiteral("color: #0000c0; text-decoration: underline;"));
    connect(m_label3, &ClickableLabel::clicked, this,
        [this] { m_services.shell.openUrl(m_services.values.programPageUrl()); });
    m_label3->hide();

    m_command1 = new QPushButton(QStringLiteral("资料检索下载"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    connect(m_command1, &QPushButton::clicked, this, [this] {
        hide();
        Q_EMIT searchWindowRequested();
    });
    m_command3 = new QPushButton(QStringLiteral("退出软件"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    connect(m_command3, &QPushButton::clicked, this, &QWidget::close);

    auto *versionRow = new QHBoxLayout;
    versionRow->addWidget(m_label2);
    versionRow->addStretch();
    versionRow->addWidget(m_label5);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_command1);
    buttons->addStretch();
    buttons->addWidget(m_command3);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(12);
    layout->addWidget(title);
    layout->addLayout(versionRow);
    layout->addWidget(m_label1, 1);
    layout->addWidget(m_label4);
    layout->addWidget(m_label3);
    layout->addLayout(buttons);

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setInterval(100);
    m_timer1.setSingleShot(true);
    connect(&m_timer1, &QTimer::timeout, this, &fCover::CheckNewerVersion);

    resize(560, 420);
}

fCover::~fCover() = default;

void fCover::setRunningVersion(const AppVersion &version)
{
    m_version = version;
}

void fCover::open()
{
    setWindowTitle(ProgramTitle);
    m_label2->setText(QStringLiteral("版本:") + m_version.text());
    show();
    AppValues &values = m_services.values;
    values.MaxFileSizeMB = readMaxFileSizeMB();
    values.SiteAddress = readSiteAddress();
    m_timer1.start();
    m_label5->hide();
}

void fCover::CheckNewerVersion()
{
    m_timer1.stop();
    const AppValues &values = m_services.values;
    delete m_check;
    m_check = new VersionCheck(values.versionFileUrl(), m_version, this);
    connect(m_check, &VersionCheck::newerVersion, this,
        [this](const QString &, const QString &notice) { ShowNewerVersion(notice); });
    connect(m_check, &VersionCheck::failed, this, [this] {
        m_services.dialogs.message(QStringLiteral("请保持网络畅通！"), UserDialogs::Style::Error);
        Q_EMIT versionCheckEnded();
    });
    connect(m_check, &VersionCheck::upToDate, this, &fCover::versionCheckEnded);
    if (!m_check->CheckNewerVersion())
        Q_EMIT versionCheckEnded();
}

void fCover::ShowNewerVersion(const QString &notice)
{
    m_label3->setText(notice);
    m_label3->show();
    m_services.shell.openUrl(m_services.values.programPageUrl());
    Q_EMIT versionCheckEnded();
}

void fCover::closeEvent(QCloseEvent *event)
{
    event->accept();
    Q_EMIT closed();
}
