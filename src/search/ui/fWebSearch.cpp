#include "search/ui/fWebSearch.h"

#include "app/ui/AppWindows.h"
#include "app/ui/OpenWindows.h"
#include "cachetools/ui/fIEcache.h"
#include "common/AppValues.h"
#include "common/SettingsStore.h"
#include "common/TrimSpaces.h"
#include "common/WindowNames.h"
#include "common/ui/ListViewHelpers.h"
#include "common/ui/WindowChrome.h"
#include "common/ui/WindowPlacement.h"
#include "download/DownloadList.h"
#include "download/ui/fFileDownload.h"
#include "platform/Shell.h"
#include "platform/UserDialogs.h"
#include "platform/webengine/ProgramProfile.h"
#include "platform/webengine/WebEngineBrowser.h"
#include "search/AnalysisList.h"
#include "search/DownloadTarget.h"
#include "search/Harvester.h"
#include "search/SaveFolderSource.h"
#include "search/SearchBrowsing.h"
#include "search/SearchCore.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <algorithm>

namespace {

// The shared save-folder values of the program and its save-folder dialog.
class WindowSaveFolders final : public SaveFolderSource
{
public:
    WindowSaveFolders(AppWindows &windows, QWidget *owner) : m_windows(windows), m_owner(owner) { }
    bool askOnExtract() const override { return values().AskSaveFolderOnExtract; }
    QString saveFolder() const override { return values().SaveFolder; }
    bool useOriginalFileName() const override { return values().UseOriginalFileName; }
    bool dialogCancelled() const override { return values().SaveFolderDialogCancelled; }
    void askSaveFolder() override { m_windows.execSaveFolder(m_owner); }

private:
    AppValues &values() const { return m_windows.services().values; }
    AppWindows &m_windows;
    QWidget *m_owner;
};

// The download window's list, the window created hidden when needed.
class WindowDownloadTarget final : public DownloadTarget
{
public:
    explicit WindowDownloadTarget(AppWindows &windows) : m_windows(windows) { }
    DownloadList &downloadList() override { return m_windows.openDownloadWindow()->list(); }
    void 显示下载窗口(bool restore) override
    {
        fFileDownload *window = m_windows.downloadWindow();
        if (!window)
            return;
        window->update();
        if (window->isHidden())
            window->show();
        if (restore && window->isMinimized())
            window->showNormal();
    }

private:
    AppWindows &m_windows;
};

const QString kAddAllCaption = QStringLiteral("加入全部到列表");
const QString kStopAddAllCaption = QStringLiteral("停止加入全部");

} // namespace

fWebSearch::fWebSearch(AppWindows &windows, QWidget *parent)
    : QMainWindow(parent), m_windows(windows)
{
    setObjectName(WindowName::WebSearch);
    setAttribute(Qt::WA_DeleteOnClose, true);
    // The start-up window ends the program; this one only comes and goes.
    setAttribute(Qt::WA_QuitOnClose, false);
    const AppServices &services = m_windows.services();
    m_folders = std::make_unique<WindowSaveFolders>(m_windows, this);
    m_target = std::make_unique<WindowDownloadTarget>(m_windows);
    m_browser = new WebEngineBrowser(this);
    m_browser->setDialogs(&services.dialogs);
    m_core
        = new SearchCore(*m_browser, *m_folders, services.dialogs, *m_target, services.clock, this);
    m_list = &m_core->list();
    m_harvester = &m_core->harvester();
    m_makerDomains = SearchBrowsing::makerDomains(services.values.SiteAddress);
    buildControls();
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
    return *m_harvester;
}

bool fWebSearch::analysisIdle() const
{
    return m_core->analysis().isIdle();
}

void fWebSearch::buildControls()
{
    auto *central = new QWidget(this);

    // The list panel: heading with the counter, the list, the commands.
    m_picPanList = Named(new QWidget(central), QStringLiteral("PicPanList"));
    auto *heading = new QHBoxLayout;
    heading->addWidget(
        Named(new QLabel(QStringLiteral("待分析列表："), m_picPanList), QStringLiteral("Label2")));
    m_label1 = Named(new QLabel(m_list->counterText(), m_picPanList), QStringLiteral("Label1"));
    heading->addWidget(m_label1);
    heading->addStretch(1);

    m_listView1 = Named(new QTreeView(m_picPanList), QStringLiteral("ListView1"));
    m_listView1->setRootIsDecorated(false);
    m_listView1->setUniformRowHeights(true);
    m_listView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView1->setContextMenuPolicy(Qt::CustomContextMenu);
    m_listView1->setToolTip(QStringLiteral("双击浏览选中的文章"));
    m_listView1->header()->setStretchLastSection(false);
    m_listView1->setModel(m_list);
    // The list's own selection: what the view shows is what the commands take.
    m_listView1->setSelectionModel(&m_list->selectionModel());
    StripeListBackground(m_listView1);
    const int widths[] = { 260, 50, 70, 120, 40 };
    for (int column = 0; column < int(std::size(widths)); ++column)
        m_listView1->setColumnWidth(column, widths[column]);

    m_command9 = Named(new QPushButton(QStringLiteral("加入本页到列表"), m_picPanList),
        QStringLiteral("Command9"));
    m_command4 = Named(new QPushButton(kAddAllCaption, m_picPanList), QStringLiteral("Command4"));
    m_check1 = Named(new QCheckBox(QStringLiteral("加入到最大页码数："), m_picPanList),
        QStringLiteral("Check1"));
    m_text1 = Named(new QLineEdit(QStringLiteral("10"), m_picPanList), QStringLiteral("Text1"));
    m_text1->setMaximumWidth(60);
    m_command2 = Named(
        new QPushButton(QStringLiteral("开始分析"), m_picPanList), QStringLiteral("Command2"));
    m_command3 = Named(
        new QPushButton(QStringLiteral("停止分析"), m_picPanList), QStringLiteral("Command3"));
    m_command7 = Named(
        new QPushButton(QStringLiteral("导出数据..."), m_picPanList), QStringLiteral("Command7"));

    auto *harvestRow = new QHBoxLayout;
    harvestRow->addWidget(m_command9);
    harvestRow->addWidget(m_command4);
    auto *limitRow = new QHBoxLayout;
    limitRow->addWidget(m_check1);
    limitRow->addWidget(m_text1);
    limitRow->addStretch(1);
    auto *analysisRow = new QHBoxLayout;
    analysisRow->addWidget(m_command2);
    analysisRow->addWidget(m_command3);
    analysisRow->addWidget(m_command7);

    auto *listLayout = new QVBoxLayout(m_picPanList);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addLayout(heading);
    listLayout->addWidget(m_listView1, 1);
    listLayout->addLayout(harvestRow);
    listLayout->addLayout(limitRow);
    listLayout->addLayout(analysisRow);

    // The browser panel: the history, its clear button, the silent switch and
    // the browser.
    m_picPanWeb = Named(new QWidget(central), QStringLiteral("PicPanWeb"));
    m_combo1 = Named(new QComboBox(m_picPanWeb), QStringLiteral("Combo1"));
    m_combo1->setToolTip(QStringLiteral("点击网址，打开历史网页"));
    m_combo1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_combo1->setMinimumContentsLength(20);
    m_command1
        = Named(new QPushButton(QStringLiteral("清空"), m_picPanWeb), QStringLiteral("Command1"));
    m_check2 = Named(new QCheckBox(QStringLiteral("禁止浏览器弹出脚本提示"), m_picPanWeb),
        QStringLiteral("Check2"));
    auto *addressRow = new QHBoxLayout;
    addressRow->addWidget(m_combo1, 1);
    addressRow->addWidget(m_command1);
    addressRow->addWidget(m_check2);
    m_webBrowser1 = Named(m_browser->view(m_picPanWeb), QStringLiteral("WebBrowser1"));
    auto *webLayout = new QVBoxLayout(m_picPanWeb);
    webLayout->setContentsMargins(0, 0, 1, 1);
    webLayout->addLayout(addressRow);
    webLayout->addWidget(m_webBrowser1, 1);

    m_picBar = Named(new QSplitter(Qt::Horizontal, central), QStringLiteral("PicBar"));
    m_picBar->addWidget(m_picPanList);
    m_picBar->addWidget(m_picPanWeb);
    m_picBar->setStretchFactor(0, 0);
    m_picBar->setStretchFactor(1, 1);
    m_picBar->setSizes({ 420, 780 });
    m_picBar->setChildrenCollapsible(false);

    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(6, 6, 6, 0);
    centralLayout->addWidget(m_picBar);
    setCentralWidget(central);

    // The progress panel of an analysis run, dragged with the left button.
    m_picPanPrograss = Named(new QFrame(central), QStringLiteral("PicPanPrograss"));
    m_picPanPrograss->setFrameShape(QFrame::Panel);
    m_picPanPrograss->setFrameShadow(QFrame::Raised);
    m_picPanPrograss->setAutoFillBackground(true);
    m_picPanPrograss->setCursor(Qt::SizeAllCursor);
    m_label11 = Named(new QLabel(QStringLiteral("正在分析，请稍候..."), m_picPanPrograss),
        QStringLiteral("Label11"));
    m_command5 = Named(
        new QPushButton(QStringLiteral("停止"), m_picPanPrograss), QStringLiteral("Command5"));
    auto *progressLayout = new QHBoxLayout(m_picPanPrograss);
    progressLayout->setContentsMargins(16, 12, 16, 12);
    progressLayout->addWidget(m_label11);
    progressLayout->addWidget(m_command5);
    m_picPanPrograss->adjustSize();
    m_picPanPrograss->move(40, 80);
    m_picPanPrograss->installEventFilter(this);
    m_label11->installEventFilter(this);
    m_picPanPrograss->hide();

    const QList<QLabel *> panels = AddStatusPanels(this, { 1, 4, 0 });
    std::copy(panels.cbegin(), panels.cend(), m_panels);
    // The maker's site, when there is one.
    const QString site = m_windows.services().values.SiteAddress;
    m_panels[2]->setText(site);
    m_panels[2]->setVisible(!site.isEmpty());
    m_panels[2]->setCursor(Qt::PointingHandCursor);
    m_panels[2]->installEventFilter(this);
    resize(1200, 800);
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

    QMenu *tools = menuBar()->addMenu(QStringLiteral("工具(&T)"));
    add(tools, QStringLiteral("设置"), [this] { m_windows.execOptions(this); });
    add(tools, QStringLiteral("打开下载窗口"), [this] { m_windows.showDownloadWindow(); });
    tools->addSeparator();
    add(tools, QStringLiteral("查看IE浏览器缓存"),
        [this] { ShowBrowserCacheWindow(this, ProgramProfile::cachePath()); });
    add(tools, QStringLiteral("清空IE浏览器缓存"), [this] {
        ClearBrowserCache(
            this, ProgramProfile::cachePath(), [] { ProgramProfile::profile()->clearHttpCache(); });
    });

    QMenu *help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    add(help, QStringLiteral("关于(&A)"), [this] { m_windows.execAbout(this); });
    const AppValues &values = m_windows.services().values;
    const QString site = values.SiteAddress;
    if (!site.isEmpty()) {
        help->addSeparator();
        const QList<QPair<QString, QString>> makerPages = {
            { QStringLiteral("软件网站"), site },
            { QStringLiteral("最新版本"), values.programPageUrl() },
        };
        for (const auto &[caption, address] : makerPages) {
            const QString target = address;
            add(help, caption, [this, target] { m_windows.services().shell.openUrl(target); });
        }
    }
    // Step 2 of the opening: the pop-up menu stays out of the menu bar.
    m_addMenu->menuAction()->setVisible(false);
}

QAction *fWebSearch::menuEntry(const QStringList &captions) const
{
    return FindMenuEntry(menuBar(), captions);
}

void fWebSearch::connectBrowser()
{
    connect(m_check2, &QCheckBox::toggled, this,
        [this](bool checked) { m_browser->setSilent(checked); });
    connect(m_browser, &Browser::titleChanged, this, &fWebSearch::onTitleChanged);
    connect(m_browser, &WebEngineBrowser::statusTextChanged, m_panels[1], &QLabel::setText);
    connect(m_browser, &WebEngineBrowser::beforeNavigate, this, [this](const QString &url) {
        statusBar()->setVisible(!SearchBrowsing::isMakerAddress(url, m_makerDomains));
    });
    connect(m_browser, &Browser::loadStarted, this,
        [this] { m_panels[0]->setText(QStringLiteral("正在打开网页...")); });
    connect(m_browser, &Browser::documentComplete, this,
        [this] { m_panels[0]->setText(QStringLiteral("完成")); });

    connect(m_combo1, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && m_combo1->count() > 0)
            m_browser->navigate(m_combo1->itemText(index));
    });
    connect(m_command1, &QPushButton::clicked, m_combo1, &QComboBox::clear);
    connect(m_listView1, &QTreeView::doubleClicked, this, [this] { m_core->openSelectedEntry(); });
    connect(
        m_listView1, &QTreeView::customContextMenuRequested, this, [this](const QPoint &position) {
            m_clearMenu->popup(m_listView1->viewport()->mapToGlobal(position));
        });
    connect(m_list, &AnalysisList::counterChanged, m_label1, &QLabel::setText);
}

void fWebSearch::connectHarvest()
{
    connect(m_command9, &QPushButton::clicked, this, [this] {
        m_command9->setEnabled(false);
        m_harvester->addThisPage();
    });
    connect(m_harvester, &Harvester::thisPageAdded, this, [this] { m_command9->setEnabled(true); });
    connect(m_command4, &QPushButton::clicked, this,
        [this] { m_harvester->addAllClicked(m_text1->text()); });
    connect(m_check1, &QCheckBox::toggled, this,
        [this](bool checked) { m_harvester->setPageLimitEnabled(checked); });
    connect(m_harvester, &Harvester::runningChanged, this, &fWebSearch::showRunning);
    connect(m_harvester, &Harvester::limitEditableChanged, m_text1, &QLineEdit::setEnabled);
    connect(m_harvester, &Harvester::columnsNeedFitting, this, &fWebSearch::fitColumns);
}

void fWebSearch::connectAnalysis()
{
    AnalysisRun &run = m_core->analysis();
    connect(m_command2, &QPushButton::clicked, this, &fWebSearch::startAnalysis);
    connect(m_command3, &QPushButton::clicked, this, [this] { m_core->stopAnalysis(); });
    connect(m_command5, &QPushButton::clicked, this, [this] { m_core->stopAnalysis(); });
    connect(m_command7, &QPushButton::clicked, this, [this] { m_core->exportData(); });
    connect(&run, &AnalysisRun::started, this, [this] {
        m_label11->setText(AnalysisRun::BusyText);
        m_picPanPrograss->adjustSize();
        m_picPanPrograss->show();
        m_picPanPrograss->raise();
    });
    connect(&run, &AnalysisRun::finished, m_picPanPrograss, &QWidget::hide);
}

void fWebSearch::startAnalysis()
{
    m_command2->setEnabled(false);
    if (m_core->startAnalysisClicked() == AnalysisRun::StartChoice::ChooseFilter)
        m_addMenu->popup(QCursor::pos());
    m_command2->setEnabled(true);
}

void fWebSearch::open()
{
    AppValues &values = m_windows.services().values;
    setWindowTitle(WindowCaption(QStringLiteral("Springer数据检索分析")));
    values.AskSaveFolderOnExtract
        = ReadSetting(Settings::AskSaveFolderOnExtract.section,
              Settings::AskSaveFolderOnExtract.key, Settings::AskSaveFolderOnExtract.defaultText)
              .toInt()
        == 1;
    m_check2->setChecked(true);
    m_browser->setSilent(true);
    m_browser->navigate(QStringLiteral("about:blank"));
    RestoreWindowPlacement(this, FirstPlacement::FullHeight);
    show();
    openHomePage();
}

void fWebSearch::setSilent(bool silent)
{
    m_check2->setChecked(silent);
    m_browser->setSilent(silent);
}

void fWebSearch::showBrowserPanel()
{
    // The browser panel comes to the front: it gets room when it has none.
    const QList<int> sizes = m_picBar->sizes();
    if (sizes.value(1) < 100)
        m_picBar->setSizes({ 420, std::max(780, width() - 420) });
    m_webBrowser1->raise();
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
    const QString answer = TrimSpaces(m_windows.services().dialogs.inputText(
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
    for (int i = 0; i < m_combo1->count(); ++i)
        entries << m_combo1->itemText(i);
    const QString entry
        = SearchBrowsing::newHistoryEntry(title, m_browser->url(), entries, m_makerDomains);
    if (!entry.isEmpty()) {
        m_combo1->addItem(entry);
        FitDropDownWidth(m_combo1);
    }
}

bool fWebSearch::pageLoading() const
{
    return m_harvester->pageLoading();
}

void fWebSearch::showRunning(bool running)
{
    m_command4->setText(running ? kStopAddAllCaption : kAddAllCaption);
    // Red while a run is active, the window's own colour after it.
    m_command4->setStyleSheet(
        running ? QStringLiteral("background-color: rgb(255, 0, 0);") : QString());
}

void fWebSearch::fitColumns()
{
    SetAllColumnWidths(m_listView1, FitContentsAndHeader);
}

bool fWebSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_picPanPrograss || watched == m_label11) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
            m_dragOffset = mouse->globalPosition().toPoint() - m_picPanPrograss->pos();
            return true;
        }
        if (event->type() == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton)) {
            // Kept inside the window's central area.
            QPoint to = mouse->globalPosition().toPoint() - m_dragOffset;
            const QRect room = centralWidget()->rect();
            to.setX(std::clamp(to.x(), 0, std::max(0, room.width() - m_picPanPrograss->width())));
            to.setY(std::clamp(to.y(), 0, std::max(0, room.height() - m_picPanPrograss->height())));
            m_picPanPrograss->move(to);
            return true;
        }
    }
    if (watched == m_panels[2] && event->type() == QEvent::MouseButtonRelease) {
        m_windows.services().shell.openUrl(m_windows.services().values.SiteAddress);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void fWebSearch::closeEvent(QCloseEvent *event)
{
    // A harvest or analysis run ends at its next check.
    m_core->windowClosing();
    SaveWindowPlacement(this);
    event->accept();
    MarkWindowClosed(this);
    m_windows.showCoverUnless(WindowName::FileDownload);
}
