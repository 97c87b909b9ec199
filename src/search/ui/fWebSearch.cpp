#include "search/ui/fWebSearch.h"

#include "common/AppValues.h"
#include "common/TrimSpaces.h"
#include "common/WindowNames.h"
#include "common/ui/ListViewHelpers.h"
#include "common/ui/OpenWindows.h"
#include "common/ui/PanelStatusBar.h"
#include "common/ui/SharedMenuEntries.h"
#include "common/ui/WindowChrome.h"
#include "common/ui/WindowPlacement.h"
#include "platform/AppPaths.h"
#include "platform/Shell.h"
#include "platform/UserDialogs.h"
#include "platform/webengine/WebEngineBrowser.h"
#include "search/AnalysisList.h"
#include "search/Harvester.h"
#include "search/SearchBrowsing.h"
#include "search/SearchCore.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QWebEngineView>

#include <algorithm>

namespace {

const QString kAddAllCaption = QStringLiteral("加入全部到列表");
const QString kStopAddAllCaption = QStringLiteral("停止加入全部");

} // namespace

fWebSearch::fWebSearch(
    const AppServices &services, SaveFolderSource &folders, DownloadTarget &target, QWidget *parent)
    : QMainWindow(parent), m_services(services)
{
    setObjectName(WindowName::WebSearch);
    setAttribute(Qt::WA_DeleteOnClose, true);
    // The start-up window ends the program; this one only comes and goes.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_browser = new WebEngineBrowser(this);
    m_browser->setDialogs(&m_services.dialogs);
    m_core = new SearchCore(*m_browser, folders, m_services.dialogs, target, m_services.clock,
        m_services.paths.dataFolder(), this);
    m_list = &m_core->list();
    m_makerDomains = SearchBrowsing::makerDomains(m_services.values.SiteAddress);
    ui.setupUi(this, *m_browser);
    ui.Label1->setText(m_list->counterText());
    ui.ListView1->setModel(m_list);
    // The list's own selection: what the view shows is what the commands take.
    ui.ListView1->setSelectionModel(&m_list->selectionModel());
    StripeListBackground(ui.ListView1);
    const int widths[] = { 260, 50, 70, 120, 40 };
    for (int column = 0; column < int(std::size(widths)); ++column)
        ui.ListView1->setColumnWidth(column, widths[column]);
    ui.PicPanPrograss->installEventFilter(this);
    ui.Label11->installEventFilter(this);
    // The maker's site, when there is one.
    const QString site = m_services.values.SiteAddress;
    ui.StatusBar1->setPanelText(3, site);
    ui.StatusBar1->panel(3)->setVisible(!site.isEmpty());
    buildMenus();
    connectBrowser();
    connectHarvest();
    connectAnalysis();
}

fWebSearch::~fWebSearch()
{
    // The core's waits and runs go before the browser they use.
    delete m_core;
    m_core = nullptr;
}

AnalysisList &fWebSearch::list()
{
    return *m_list;
}

Harvester &fWebSearch::harvester()
{
    return m_core->harvester();
}

bool fWebSearch::analysisIdle() const
{
    return m_core->analysis().isIdle();
}

void fWebSearch::buildMenus()
{
    const MenuEntries add(this);

    // Shown only as the pop-up menu of "开始分析".
    m_addMenu = menuBar()->addMenu(QStringLiteral("加入"));
    const QList<QPair<QString, AnalysisFilter>> filters = {
        { QStringLiteral("分析未分析项"), AnalysisFilter::NotAnalysed },
        { QStringLiteral("分析失败项"), AnalysisFilter::Failed },
        { QStringLiteral("分析选中项"), AnalysisFilter::Selected },
        { QStringLiteral("分析全部"), AnalysisFilter::All },
    };
    for (const auto &[caption, filter] : filters) {
        const AnalysisFilter chosen = filter;
        add(m_addMenu, caption, [this, chosen] { m_core->analyse(chosen); });
    }

    QMenu *browse = menuBar()->addMenu(QStringLiteral("浏览(&B)"));
    add(browse, QStringLiteral("打开Springer首页"), [this] {
        openHomePage();
    })->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    add(browse, QStringLiteral("打开指定网址..."), [this] {
        openTypedAddress();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    add(browse, QStringLiteral("后退"), [this] { goBack(); })->setShortcut(QKeySequence::Back);
    add(browse, QStringLiteral("前进"), [this] {
        goForward();
    })->setShortcut(QKeySequence::Forward);
    browse->addSeparator();
    add(browse, QStringLiteral("关闭本窗口"), [this] {
        close();
    })->setShortcut(QKeySequence::Close);

    m_clearMenu = menuBar()->addMenu(QStringLiteral("清除(&C)"));
    SearchCore *core = m_core;
    add(m_clearMenu, QStringLiteral("清除选中项"), [core] { core->clearSelected(); });
    add(m_clearMenu, QStringLiteral("清除分析成功项"), [core] { core->clearSucceeded(); });
    add(m_clearMenu, QStringLiteral("清除标题含指定字符项"),
        [core] { core->clearTitleContaining(); });
    add(m_clearMenu, QStringLiteral("清除标题不含指定字符项"),
        [core] { core->clearTitleNotContaining(); });
    m_clearMenu->addSeparator();
    add(m_clearMenu, QStringLiteral("清空全部"), [core] { core->clearAll(); });

    auto *shared = new SharedMenuEntries(m_services.values, m_services.shell, this);
    connect(shared, &SharedMenuEntries::optionsRequested, this, &fWebSearch::optionsRequested);
    connect(shared, &SharedMenuEntries::aboutRequested, this, &fWebSearch::aboutRequested);
    connect(shared, &SharedMenuEntries::cacheViewRequested, this, &fWebSearch::cacheViewRequested);
    connect(
        shared, &SharedMenuEntries::cacheClearRequested, this, &fWebSearch::cacheClearRequested);
    QMenu *tools = menuBar()->addMenu(QStringLiteral("工具(&T)"));
    shared->addOptions(tools);
    add(tools, QStringLiteral("打开下载窗口"), [this] { Q_EMIT downloadWindowRequested(); });
    tools->addSeparator();
    shared->addViewCache(tools);
    shared->addClearCache(tools);

    QMenu *help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    shared->addAbout(help, QStringLiteral("关于(&A)"));
    shared->addMakerPages(help, SharedMenuEntries::MakerPages::SiteAndNewest);
    // Step 2 of the opening: the pop-up menu stays out of the menu bar.
    m_addMenu->menuAction()->setVisible(false);
}

QAction *fWebSearch::menuEntry(const QStringList &captions) const
{
    return FindMenuEntry(menuBar(), captions);
}

void fWebSearch::connectBrowser()
{
    connect(ui.Check2, &QCheckBox::toggled, this,
        [this](bool checked) { m_browser->setSilent(checked); });
    connect(m_browser, &Browser::titleChanged, this, &fWebSearch::onTitleChanged);
    connect(m_browser, &WebEngineBrowser::statusTextChanged, this,
        [this](const QString &text) { ui.StatusBar1->setPanelText(2, text); });
    connect(m_browser, &WebEngineBrowser::beforeNavigate, this, [this](const QString &url) {
        statusBar()->setVisible(!SearchBrowsing::isMakerAddress(url, m_makerDomains));
    });
    connect(m_browser, &Browser::loadStarted, this,
        [this] { ui.StatusBar1->setPanelText(1, QStringLiteral("正在打开网页...")); });
    connect(m_browser, &Browser::documentComplete, this,
        [this] { ui.StatusBar1->setPanelText(1, QStringLiteral("完成")); });

    connect(ui.Combo1, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && ui.Combo1->count() > 0)
            m_browser->navigate(ui.Combo1->itemText(index));
    });
    connect(ui.Command1, &QPushButton::clicked, ui.Combo1, &QComboBox::clear);
    connect(ui.ListView1, &QTreeView::doubleClicked, this, [this] { m_core->openSelectedEntry(); });
    connect(
        ui.ListView1, &QTreeView::customContextMenuRequested, this, [this](const QPoint &position) {
            m_clearMenu->popup(ui.ListView1->viewport()->mapToGlobal(position));
        });
    connect(m_list, &AnalysisList::counterChanged, ui.Label1, &QLabel::setText);
    connect(ui.StatusBar1, &PanelStatusBar::panelClicked, this, [this](int number) {
        if (number == 3)
            m_services.shell.openUrl(m_services.values.SiteAddress);
    });
}

void fWebSearch::connectHarvest()
{
    Harvester &harvester = m_core->harvester();
    connect(ui.Command9, &QPushButton::clicked, this, [this] {
        ui.Command9->setEnabled(false);
        m_core->addThisPage();
    });
    connect(&harvester, &Harvester::thisPageAdded, this, [this] { ui.Command9->setEnabled(true); });
    connect(ui.Command4, &QPushButton::clicked, this,
        [this] { m_core->addAllClicked(ui.Text1->text()); });
    connect(ui.Check1, &QCheckBox::toggled, this,
        [this](bool checked) { m_core->setPageLimitEnabled(checked); });
    connect(&harvester, &Harvester::runningChanged, this, &fWebSearch::showRunning);
    connect(&harvester, &Harvester::limitEditableChanged, ui.Text1, &QLineEdit::setEnabled);
    connect(&harvester, &Harvester::columnsNeedFitting, this, &fWebSearch::fitColumns);
    // The fourth panel follows a harvest run: what it has taken, the wait
    // before a retry, and why it ended.
    connect(&harvester, &Harvester::progressChanged, this,
        [this] { ui.StatusBar1->setPanelText(HarvestPanel, m_core->harvester().progressText()); });
    connect(&harvester, &Harvester::retryWaiting, this,
        [this](const QString &text) { ui.StatusBar1->setPanelText(HarvestPanel, text); });
    connect(&harvester, &Harvester::runEnded, this,
        [this] { ui.StatusBar1->setPanelText(HarvestPanel, m_core->harvester().endMessage()); });
}

void fWebSearch::connectAnalysis()
{
    AnalysisRun &run = m_core->analysis();
    connect(ui.Command2, &QPushButton::clicked, this, &fWebSearch::startAnalysis);
    connect(ui.Command3, &QPushButton::clicked, this, [this] { m_core->stopAnalysis(); });
    connect(ui.Command5, &QPushButton::clicked, this, [this] { m_core->stopAnalysis(); });
    connect(ui.Command7, &QPushButton::clicked, this, [this] { m_core->exportData(); });
    connect(ui.Command8, &QPushButton::clicked, this, [this] { m_core->exportCitations(); });
    connect(&run, &AnalysisRun::started, this, [this] {
        ui.Label11->setText(AnalysisRun::BusyText);
        ui.PicPanPrograss->adjustSize();
        ui.PicPanPrograss->show();
        ui.PicPanPrograss->raise();
    });
    connect(&run, &AnalysisRun::finished, ui.PicPanPrograss, &QWidget::hide);
}

void fWebSearch::startAnalysis()
{
    ui.Command2->setEnabled(false);
    if (m_core->startAnalysisClicked() == AnalysisRun::StartChoice::ChooseFilter)
        m_addMenu->popup(QCursor::pos());
    ui.Command2->setEnabled(true);
}

void fWebSearch::open()
{
    setWindowTitle(WindowCaption(QStringLiteral("Springer数据检索分析")));
    m_services.values.AskSaveFolderOnExtract = readAskSaveFolderOnExtract();
    ui.Check2->setChecked(true);
    m_browser->setSilent(true);
    m_browser->navigate(QStringLiteral("about:blank"));
    RestoreWindowPlacement(this, FirstPlacement::FullHeight);
    show();
    openHomePage();
}

void fWebSearch::setSilent(bool silent)
{
    ui.Check2->setChecked(silent);
    m_browser->setSilent(silent);
}

void fWebSearch::showBrowserPanel()
{
    // The browser panel comes to the front: it gets room when it has none.
    const QList<int> sizes = ui.PicBar->sizes();
    if (sizes.value(1) < 100)
        ui.PicBar->setSizes({ 420, std::max(780, width() - 420) });
    ui.WebBrowser1->raise();
}

void fWebSearch::openHomePage()
{
    setSilent(true);
    showBrowserPanel();
    m_browser->navigate(SearchBrowsing::homePageAddress());
}

void fWebSearch::openTypedAddress()
{
    bool ok = false;
    const QString answer = TrimSpaces(m_services.dialogs.inputText(
        QStringLiteral("请输入需要打开的网址："), QStringLiteral("请输入..."), QString(), &ok));
    const QString address = ok ? answer : QString();
    setSilent(SearchBrowsing::silentAfterTypedAddress(address));
    if (!address.isEmpty())
        m_browser->navigate(address);
}

void fWebSearch::goBack()
{
    m_browser->goBack(); // no history: nothing happens
}

void fWebSearch::goForward()
{
    m_browser->goForward();
}

void fWebSearch::onTitleChanged(const QString &title)
{
    QStringList entries;
    for (int i = 0; i < ui.Combo1->count(); ++i)
        entries << ui.Combo1->itemText(i);
    const QString entry
        = SearchBrowsing::newHistoryEntry(title, m_browser->url(), entries, m_makerDomains);
    if (!entry.isEmpty()) {
        ui.Combo1->addItem(entry);
        FitDropDownWidth(ui.Combo1);
    }
}

bool fWebSearch::pageLoading() const
{
    return m_core->harvester().pageLoading();
}

void fWebSearch::showRunning(bool running)
{
    ui.Command4->setText(running ? kStopAddAllCaption : kAddAllCaption);
    // Red while a run is active, the window's own colour after it.
    ui.Command4->setStyleSheet(
        running ? QStringLiteral("background-color: rgb(255, 0, 0);") : QString());
}

void fWebSearch::fitColumns()
{
    SetAllColumnWidths(ui.ListView1, FitContentsAndHeader);
}

bool fWebSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui.PicPanPrograss || watched == ui.Label11) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
            m_dragOffset = mouse->globalPosition().toPoint() - ui.PicPanPrograss->pos();
            return true;
        }
        if (event->type() == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton)) {
            // Kept inside the window's central area.
            QPoint to = mouse->globalPosition().toPoint() - m_dragOffset;
            const QRect room = centralWidget()->rect();
            to.setX(std::clamp(to.x(), 0, std::max(0, room.width() - ui.PicPanPrograss->width())));
            to.setY(
                std::clamp(to.y(), 0, std::max(0, room.height() - ui.PicPanPrograss->height())));
            ui.PicPanPrograss->move(to);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void fWebSearch::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Asked once per window, after it is on screen; showing it again after a
    // minimise does not ask again.
    if (!m_offerScheduled) {
        m_offerScheduled = true;
        QTimer::singleShot(0, this, &fWebSearch::offerSavedList);
    }
}

void fWebSearch::offerSavedList()
{
    // A window hidden again before this ran (the program ending) asks nothing;
    // the saved list stays for the next time.
    if (!isVisible())
        return;
    // The question belongs to this window.
    raise();
    activateWindow();
    if (m_core->windowShown() > 0)
        fitColumns();
}

void fWebSearch::closeEvent(QCloseEvent *event)
{
    // A harvest or analysis run ends at its next check; the list is kept.
    m_core->windowClosing();
    SaveWindowPlacement(this);
    event->accept();
    MarkWindowClosed(this);
    Q_EMIT closed();
}

void fWebSearch::endWithProgram()
{
    m_core->windowClosing();
    SaveWindowPlacement(this);
    MarkWindowClosed(this);
    hide();
}
