#include "download/ui/fFileDownload.h"

#include "app/ui/AppWindows.h"
#include "app/ui/OpenWindows.h"
#include "cachetools/ui/fIEcache.h"
#include "common/AppValues.h"
#include "common/SettingsStore.h"
#include "common/WindowNames.h"
#include "common/ui/ListViewHelpers.h"
#include "common/ui/WindowChrome.h"
#include "common/ui/WindowPlacement.h"
#include "download/DownloadListCommands.h"
#include "download/DownloadOptions.h"
#include "download/DownloadScheduler.h"
#include "download/DownloadSession.h"
#include "download/SiteLogin.h"
#include "download/ui/LoginPanel.h"
#include "download/ui/StatusIconProxyModel.h"
#include "download/ui/UrlReplaceDialog.h"
#include "platform/Shell.h"
#include "platform/UserDialogs.h"
#include "platform/webengine/ProgramProfile.h"
#include "platform/webengine/WebEngineBrowser.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWebEngineProfile>

#include <algorithm>

namespace {

QLabel *namedLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

fFileDownload::fFileDownload(AppWindows &windows, QWidget *parent)
    : QMainWindow(parent), m_windows(windows)
{
    setObjectName(WindowName::FileDownload);
    setAttribute(Qt::WA_DeleteOnClose, true);
    // The start-up window ends the program; this one only comes and goes.
    setAttribute(Qt::WA_QuitOnClose, false);
    const AppServices &services = m_windows.services();
    m_session = std::make_unique<DownloadSession>(
        services.clock, services.dialogs, services.paths, services.player, services.jar);
    m_commands = std::make_unique<DownloadListCommands>(m_session->list(), services.dialogs,
        services.shell, DownloadListCommands::busyTestsOf(m_session->scheduler()));
    buildControls();
    buildMenus();
    connectControls();
    open();
}

fFileDownload::~fFileDownload()
{
    if (m_siteLogin)
        m_siteLogin->shutDown();
    // Transfers must not outlive the view of their rows.
    m_session->scheduler().Timer1().stop();
    m_session->scheduler().stop();
}

DownloadSession &fFileDownload::session()
{
    return *m_session;
}

DownloadList &fFileDownload::list()
{
    return m_session->list();
}

DownloadListCommands &fFileDownload::commands()
{
    return *m_commands;
}

void fFileDownload::buildControls()
{
    auto *central = new QWidget(this);
    auto *optionsPanel = new QWidget(central);
    optionsPanel->setObjectName(QStringLiteral("OptionsPanel"));

    m_label7 = namedLabel(QStringLiteral("Label7"), QStringLiteral("下载方式："), optionsPanel);
    m_command26
        = Named(new QPushButton(QStringLiteral("切换"), optionsPanel), QStringLiteral("Command26"));
    m_command26->setToolTip(QStringLiteral("更改下载方式"));
    m_combo1 = Named(new QComboBox(optionsPanel), QStringLiteral("Combo1"));
    for (int n = 1; n <= 6; ++n)
        m_combo1->addItem(QString::number(n));
    m_combo2 = Named(new QComboBox(optionsPanel), QStringLiteral("Combo2"));
    m_combo2->setMaxVisibleItems(20);

    m_option1
        = Named(new QRadioButton(QStringLiteral("跳过"), optionsPanel), QStringLiteral("Option1"));
    m_option2
        = Named(new QRadioButton(QStringLiteral("覆盖"), optionsPanel), QStringLiteral("Option2"));
    m_option3 = Named(
        new QRadioButton(QStringLiteral("重命名"), optionsPanel), QStringLiteral("Option3"));
    auto *policyGroup = new QButtonGroup(this);
    policyGroup->addButton(m_option1);
    policyGroup->addButton(m_option2);
    policyGroup->addButton(m_option3);
    m_option3->setChecked(true);

    m_check3 = Named(
        new QCheckBox(QStringLiteral("自动重新下载："), optionsPanel), QStringLiteral("Check3"));
    m_combo4 = Named(new QComboBox(optionsPanel), QStringLiteral("Combo4"));
    m_combo4->addItems({ QStringLiteral("出错项"), QStringLiteral("文件类型为HTM和HTML项"),
        QStringLiteral("出错项和文件类型为HTM和HTML项") });
    m_combo4->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_combo4->setMinimumContentsLength(8);
    m_check4 = Named(new QCheckBox(QStringLiteral("当有待下载项时，自动启动下载"), optionsPanel),
        QStringLiteral("Check4"));
    m_check5 = Named(
        new QCheckBox(QStringLiteral("有5个以上下载出错或者网页文件，就停止下载"), optionsPanel),
        QStringLiteral("Check5"));
    m_check6
        = Named(new QCheckBox(QStringLiteral("声音提示"), optionsPanel), QStringLiteral("Check6"));
    m_command1 = Named(
        new QPushButton(QStringLiteral("网页登录"), optionsPanel), QStringLiteral("Command1"));
    m_command4 = Named(
        new QPushButton(QStringLiteral("开始下载"), optionsPanel), QStringLiteral("Command4"));
    m_command31 = Named(
        new QPushButton(QStringLiteral("停止下载"), optionsPanel), QStringLiteral("Command31"));
    m_shape1 = namedLabel(QStringLiteral("Shape1"), QString(), optionsPanel);
    m_shape1->setFixedSize(14, 14);
    m_shape1->setStyleSheet(QStringLiteral("background: #2e9d4f; border-radius: 7px;"));
    m_shape1->setToolTip(QStringLiteral("正在下载"));
    m_shape1->setVisible(false);

    auto *row1 = new QHBoxLayout;
    row1->addWidget(m_label7);
    row1->addWidget(m_command26);
    row1->addSpacing(16);
    row1->addWidget(namedLabel(QStringLiteral("Label2"), QStringLiteral("线程数："), optionsPanel));
    row1->addWidget(m_combo1);
    row1->addSpacing(16);
    row1->addWidget(
        namedLabel(QStringLiteral("Label5"), QStringLiteral("两个文件下载间隔："), optionsPanel));
    row1->addWidget(m_combo2);
    row1->addWidget(new QLabel(QStringLiteral("秒"), optionsPanel));
    row1->addSpacing(16);
    row1->addWidget(
        namedLabel(QStringLiteral("Label8"), QStringLiteral("同名文件："), optionsPanel));
    row1->addWidget(m_option1);
    row1->addWidget(m_option2);
    row1->addWidget(m_option3);
    row1->addStretch();
    row1->addWidget(m_shape1);
    row1->addWidget(m_command4);
    row1->addWidget(m_command31);

    auto *row2 = new QHBoxLayout;
    row2->addWidget(m_check3);
    row2->addWidget(m_combo4);
    row2->addSpacing(16);
    row2->addWidget(m_check4);
    row2->addSpacing(16);
    row2->addWidget(m_check5);
    row2->addSpacing(16);
    row2->addWidget(m_check6);
    row2->addStretch();
    row2->addWidget(m_command1);

    auto *optionsLayout = new QVBoxLayout(optionsPanel);
    optionsLayout->setContentsMargins(0, 0, 0, 0);
    optionsLayout->addLayout(row1);
    optionsLayout->addLayout(row2);

    m_label1 = namedLabel(QStringLiteral("Label1"), QStringLiteral("0条"), central);
    auto *listHeading = new QHBoxLayout;
    listHeading->addWidget(
        namedLabel(QStringLiteral("Label4"), QStringLiteral("下载列表："), central));
    listHeading->addWidget(m_label1);
    listHeading->addStretch();

    m_listView = Named(new QTreeView(central), QStringLiteral("ListView3"));
    m_listView->setRootIsDecorated(false);
    m_listView->setUniformRowHeights(true);
    m_listView->setItemsExpandable(false);
    m_listView->setAllColumnsShowFocus(true);
    m_listView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_listView->setToolTip(QStringLiteral("双击鼠标：下载当前项或者打开文件"));
    m_listView->header()->setSectionsClickable(true);
    m_listView->header()->setStretchLastSection(false);
    m_iconModel = new StatusIconProxyModel(this);
    m_iconModel->setSourceModel(&m_session->list());
    m_listView->setModel(m_iconModel);
    StripeListBackground(m_listView);
    const int widths[] = { 420, 50, 90, 90, 60, 420, 24 };
    for (int column = 0; column < int(std::size(widths)); ++column)
        m_listView->setColumnWidth(column, widths[column]);

    auto *leftSide = new QWidget(central);
    auto *leftLayout = new QVBoxLayout(leftSide);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(optionsPanel);
    leftLayout->addLayout(listHeading);
    leftLayout->addWidget(m_listView, 1);

    m_loginPanelHost = new QWidget(central);
    m_loginPanelHost->setObjectName(QStringLiteral("LoginPanel"));
    m_loginPanelHost->hide();

    auto *splitter = new QSplitter(Qt::Horizontal, central);
    splitter->setObjectName(QStringLiteral("MainSplitter"));
    splitter->addWidget(leftSide);
    splitter->addWidget(m_loginPanelHost);
    splitter->setStretchFactor(0, 1);
    splitter->setChildrenCollapsible(false);

    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(6, 6, 6, 0);
    centralLayout->addWidget(splitter);
    setCentralWidget(central);

    const QList<QLabel *> panels = AddStatusPanels(this, { 0, 3, 1, 0 });
    std::copy(panels.cbegin(), panels.cend(), m_panels);
    for (QLabel *panel : panels)
        panel->installEventFilter(this);
    m_panels[1]->setMinimumWidth(200);
    m_panels[3]->setMinimumWidth(320);
}

QAction *fFileDownload::menuEntry(const QStringList &captions) const
{
    return FindMenuEntry(menuBar(), captions);
}

QLabel *fFileDownload::panel(int number) const
{
    return number >= 1 && number <= 4 ? m_panels[number - 1] : nullptr;
}

void fFileDownload::buildMenus()
{
    DownloadListCommands *commands = m_commands.get();
    const MenuEntries add(this);

    m_listMenu = menuBar()->addMenu(QStringLiteral("列表操作(&D)"));
    // The pop-up is this same menu: both show the states of the moment.
    connect(m_listMenu, &QMenu::aboutToShow, this, &fFileDownload::applyMenuStates);
    m_selectAllAction
        = add(m_listMenu, QStringLiteral("全选"), [this] { m_listView->selectAll(); });
    m_selectAllAction->setShortcut(QKeySequence::SelectAll);
    add(m_listMenu, QStringLiteral("全不选"), [this] { m_listView->clearSelection(); });
    add(m_listMenu, QStringLiteral("随机排序列表(打乱)"), [commands] { commands->shuffle(); });
    add(m_listMenu, QStringLiteral("自动调整列宽"), [this] {
        SetAllColumnWidths(m_listView, FitContentsAndHeader);
        StripeListBackground(m_listView);
    });
    m_listMenu->addSeparator();

    QMenu *requeue = m_listMenu->addMenu(QStringLiteral("重新下载"));
    add(requeue, QStringLiteral("选中项"), [this] { m_commands->requeueSelected(selectedRows()); });
    add(requeue, QStringLiteral("出错项"), [commands] { commands->requeueFailed(); });
    add(requeue, QStringLiteral("网页类型文件(HTM/HTML/xml)项"),
        [commands] { commands->requeueWebPages(); });
    add(requeue, QStringLiteral("重新下载出错项和网页类型文件项"),
        [commands] { commands->requeueFailedAndWebPages(); });
    add(requeue, QStringLiteral("文件大小小于指定数字的项"),
        [commands] { commands->requeueSmallerThan(); });

    m_clearMenu = m_listMenu->addMenu(QStringLiteral("清除"));
    add(m_clearMenu, QStringLiteral("选中项"),
        [this] { m_commands->clearSelected(selectedRows()); });
    add(m_clearMenu, QStringLiteral("全部出错项"), [commands] { commands->clearFailed(); });
    add(m_clearMenu, QStringLiteral("完成项"), [commands] { commands->clearCompleted(); });
    m_emptyAction = add(m_listMenu, QStringLiteral("清空"), [commands] { commands->clearAll(); });

    QMenu *deleteFiles = m_listMenu->addMenu(QStringLiteral("删除文件"));
    add(deleteFiles, QStringLiteral("网页类型文件(HTM/HTML/xml)项"),
        [commands] { commands->deleteWebPageFiles(); });
    add(deleteFiles, QStringLiteral("出错项"), [commands] { commands->deleteFailedFiles(); });
    m_listMenu->addSeparator();

    m_startAction
        = add(m_listMenu, QStringLiteral("开始下载"), [this] { m_session->scheduler().start(); });
    m_stopAction
        = add(m_listMenu, QStringLiteral("停止下载"), [this] { m_session->scheduler().stop(); });
    add(m_listMenu, QStringLiteral("取消下载选中项"),
        [this] { m_commands->cancelSelected(selectedRows()); });
    m_listMenu->addSeparator();

    add(m_listMenu, QStringLiteral("打开下载文件"), [this] { m_commands->openFile(currentRow()); });
    add(m_listMenu, QStringLiteral("打开所在文件夹"),
        [this] { m_commands->openFolder(currentRow()); });
    add(m_listMenu, QStringLiteral("用记事本打开文件"),
        [this] { m_commands->openAsText(currentRow()); });
    m_listMenu->addSeparator();

    QAction *copyName = add(
        m_listMenu, QStringLiteral("复制名称"), [this] { m_commands->copyName(currentRow()); });
    copyName->setShortcut(QKeySequence::Copy);
    add(m_listMenu, QStringLiteral("批量替换网址"), [this] {
        UrlReplaceDialog dialog(*m_commands, this);
        dialog.exec();
    });
    QMenu *exportNames = m_listMenu->addMenu(QStringLiteral("导出名称"));
    add(exportNames, QStringLiteral("全部"), [commands] { commands->exportAllNames(); });
    add(exportNames, QStringLiteral("未完成项"), [commands] { commands->exportUnfinishedNames(); });
    m_listMenu->addSeparator();
    add(m_listMenu, QStringLiteral("关闭本下载窗口"), [this] { close(); });
    // Shortcuts of the pop-up entries work in the list too.
    m_listView->addActions({ m_selectAllAction, copyName });
    m_selectAllAction->setShortcutContext(Qt::WidgetShortcut);
    copyName->setShortcutContext(Qt::WidgetShortcut);

    m_windowMenu = menuBar()->addMenu(QStringLiteral("窗口(&W)"));
    m_windowMenu->menuAction()->setVisible(false);
    m_windowMenu->installEventFilter(this);

    QMenu *tools = menuBar()->addMenu(QStringLiteral("工具(&T)"));
    add(tools, QStringLiteral("设置"), [this] { m_windows.execOptions(this); });
    m_scrollToRowAction = add(tools, QStringLiteral("自动定位到下载项"),
        [this](bool checked) { m_session->options().scrollToRow = checked; });
    m_scrollToRowAction->setCheckable(true);
    tools->addSeparator();
    add(tools, QStringLiteral("检查文件是否存在"), [commands] { commands->checkFiles(); });
    add(tools, QStringLiteral("检查并纠正磁盘文件类型"),
        [commands] { commands->correctFileTypes(); });
    add(tools, QStringLiteral("打开文件判断类型"), [commands] { commands->showFileType(); });
    tools->addSeparator();
    add(tools, QStringLiteral("清空IE浏览器缓存"), [this] {
        ClearBrowserCache(
            this, ProgramProfile::cachePath(), [] { ProgramProfile::profile()->clearHttpCache(); });
    });

    QMenu *help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    add(help, QStringLiteral("关于"), [this] { m_windows.execAbout(this); });
    const QString site = m_windows.services().values.SiteAddress;
    const QList<QPair<QString, QString>> makerPages = {
        { QStringLiteral("软件网站"), site },
        { QStringLiteral("最新版本"), m_windows.services().values.programPageUrl() },
        { QStringLiteral("使用教程"), site + QStringLiteral("quillmoor/help/") },
        { QStringLiteral("意见建议"), site + QStringLiteral("quillmoor/feedback/") },
    };
    QAction *separator = help->addSeparator();
    m_makerEntries.append(separator);
    for (const auto &[caption, address] : makerPages) {
        const QString target = address;
        m_makerEntries.append(add(help, caption, [this, target] { openMakerPage(target); }));
    }
    for (QAction *entry : std::as_const(m_makerEntries))
        entry->setVisible(!site.isEmpty());
}

void fFileDownload::connectControls()
{
    DownloadOptions &options = m_session->options();
    DownloadScheduler &scheduler = m_session->scheduler();

    connect(m_command1, &QPushButton::clicked, this, &fFileDownload::showLoginPanel);
    connect(m_command26, &QPushButton::clicked, this,
        [this] { m_session->scheduler().switchMethod(); });
    connect(m_combo1, &QComboBox::currentIndexChanged, this,
        [&options](int index) { options.connections = index + 1; });
    connect(m_combo2, &QComboBox::currentIndexChanged, this,
        [&options](int index) { options.intervalSeconds = qMax(0, index); });
    const auto policy = [this, &options] {
        options.policy = m_option1->isChecked() ? DuplicatePolicy::Skip
            : m_option2->isChecked()            ? DuplicatePolicy::Overwrite
                                                : DuplicatePolicy::Rename;
    };
    for (QRadioButton *option : { m_option1, m_option2, m_option3 })
        connect(option, &QRadioButton::toggled, this, policy);
    connect(
        m_check3, &QCheckBox::toggled, this, [&options](bool on) { options.autoRedownload = on; });
    connect(m_combo4, &QComboBox::currentIndexChanged, this, [&options](int index) {
        options.autoRedownloadKind = static_cast<AutoRedownload>(qBound(0, index, 2));
    });
    connect(m_check4, &QCheckBox::toggled, this, [&options](bool on) { options.autoStart = on; });
    connect(
        m_check5, &QCheckBox::toggled, this, [&options](bool on) { options.stopOnFailures = on; });
    connect(m_check6, &QCheckBox::toggled, this, [&options](bool on) { options.sound = on; });
    connect(m_command4, &QPushButton::clicked, &scheduler, &DownloadScheduler::start);
    connect(m_command31, &QPushButton::clicked, &scheduler, &DownloadScheduler::stop);

    connect(&scheduler, &DownloadScheduler::optionsChanged, this, [this] {
        showOptions();
        showMethod();
    });
    connect(&scheduler, &DownloadScheduler::runningChanged, this, &fFileDownload::showRunState);
    connect(&scheduler, &DownloadScheduler::counterLine, this, &fFileDownload::showRunState);
    connect(&scheduler, &DownloadScheduler::scrollToRow, this,
        [this](int row) { m_listView->scrollTo(m_iconModel->index(row, 0)); });
    connect(m_session.get(), &DownloadSession::panelText, this,
        [this](int number, const QString &text) {
            if (QLabel *label = panel(number))
                label->setText(text);
        });

    connect(
        m_commands.get(), &DownloadListCommands::rowCountTextChanged, m_label1, &QLabel::setText);
    DownloadList *rows = &m_session->list();
    connect(rows, &QAbstractItemModel::rowsInserted, this, &fFileDownload::showRowCount);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &fFileDownload::showRowCount);
    connect(rows, &QAbstractItemModel::modelReset, this, &fFileDownload::showRowCount);

    connect(m_listView->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (m_commands->sortByColumn(column)) {
            m_listView->header()->setSortIndicatorShown(true);
            m_listView->header()->setSortIndicator(column, m_commands->sortOrder());
        }
    });
    connect(m_listView, &QTreeView::doubleClicked, this, [this](const QModelIndex &index) {
        m_commands->doubleClicked(index.isValid() ? index.row() : -1);
    });
    connect(m_listView, &QTreeView::clicked, this, [this](const QModelIndex &index) {
        m_panels[1]->setText(m_commands->clickedPanelText(index.row()));
    });
    connect(m_listView, &QWidget::customContextMenuRequested, this, &fFileDownload::popUpListMenu);
}

// The opening steps; a step that cannot run is passed over.
void fFileDownload::open()
{
    setWindowTitle(WindowCaption(QStringLiteral("文件下载")));
    if (QWidget *cover = FindOpenWindow(WindowName::Cover))
        setWindowIcon(cover->windowIcon());

    m_combo4->setCurrentIndex(0);
    FitDropDownWidth(m_combo4);

    DownloadOptions &options = m_session->options();
    loadStoredDownloadOptions(options);
    AppValues &values = m_windows.services().values;
    values.DownloadMethod = options.method;
    values.ProxyEnabled = options.proxyEnabled;
    values.ProxyAddress = options.proxyAddress;
    values.ProxyPort = options.proxyPort;
    values.MaxFileSizeMB = options.maxFileSizeMB;
    showMethod();

    switch (options.policy) {
    case DuplicatePolicy::Skip:
        m_option1->setChecked(true);
        break;
    case DuplicatePolicy::Overwrite:
        m_option2->setChecked(true);
        break;
    case DuplicatePolicy::Rename:
        m_option3->setChecked(true);
        break;
    }

    RestoreWindowPlacement(this);

    m_combo2->clear();
    for (int seconds = 0; seconds <= 600; ++seconds)
        m_combo2->addItem(QString::number(seconds));
    m_combo2->setCurrentIndex(0);

    m_session->scheduler().open();
    showRowCount();
    showRunState();
    const QString site = values.SiteAddress;
    m_panels[0]->setText(site);
    m_panels[0]->setVisible(!site.isEmpty());
    m_panels[0]->setCursor(Qt::PointingHandCursor);
}

void fFileDownload::showMethod()
{
    const DownloadOptions &options = m_session->options();
    m_label7->setText(QStringLiteral("下载方式：") + QString::number(options.method));
    m_windows.services().values.DownloadMethod = options.method;
    const QSignalBlocker blocker(m_combo1);
    m_combo1->setCurrentIndex(qBound(1, options.connections, 6) - 1);
    m_combo1->setEnabled(options.method != 1);
}

void fFileDownload::showOptions()
{
    const DownloadOptions &options = m_session->options();
    const QSignalBlocker block3(m_check3);
    const QSignalBlocker block4(m_check4);
    m_check3->setChecked(options.autoRedownload);
    m_check4->setChecked(options.autoStart);
}

void fFileDownload::showRunState()
{
    const DownloadScheduler &scheduler = m_session->scheduler();
    m_shape1->setVisible(scheduler.isRunning());
    // "开始下载" waits while the scheduler runs, unless the list is finished.
    m_startAction->setEnabled(!scheduler.isRunning() || m_session->list().检测是否下载列表完毕());
}

void fFileDownload::showRowCount()
{
    m_label1->setText(DownloadListCommands::rowCountText(m_session->list().size()));
}

void fFileDownload::takeOptionValues(int chosenMethod)
{
    DownloadOptions &options = m_session->options();
    if (chosenMethod == 1) {
        options.method = 1;
    } else if (chosenMethod == 2) {
        options.method = 2;
        options.connections = 1;
    }
    const AppValues &values = m_windows.services().values;
    options.proxyEnabled = values.ProxyEnabled;
    options.proxyAddress = values.ProxyAddress;
    options.proxyPort = values.ProxyPort;
    options.maxFileSizeMB = values.MaxFileSizeMB;
    showMethod();
}

QList<int> fFileDownload::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList selected = m_listView->selectionModel()->selectedRows();
    for (const QModelIndex &index : selected)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int fFileDownload::currentRow() const
{
    const QModelIndex current = m_listView->currentIndex();
    if (current.isValid() && m_listView->selectionModel()->isRowSelected(current.row(), {}))
        return current.row();
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

void fFileDownload::applyMenuStates()
{
    const DownloadListCommands::MenuStates states = m_commands->menuStates();
    m_clearMenu->menuAction()->setEnabled(states.clearEnabled);
    m_emptyAction->setEnabled(states.emptyEnabled);
    m_selectAllAction->setEnabled(states.selectAllEnabled);
    m_stopAction->setEnabled(states.stopEnabled);
}

void fFileDownload::popUpListMenu(const QPoint &position)
{
    m_listMenu->popup(m_listView->viewport()->mapToGlobal(position));
}

void fFileDownload::openMakerPage(const QString &address)
{
    if (!address.isEmpty())
        m_windows.services().shell.openUrl(address);
}

bool fFileDownload::eventFilter(QObject *watched, QEvent *event)
{
    // The window menu appears with its first entry.
    if (watched == m_windowMenu && event->type() == QEvent::ActionAdded)
        m_windowMenu->menuAction()->setVisible(true);
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == m_panels[0]) {
            openMakerPage(m_windows.services().values.SiteAddress);
            return true;
        }
        if (watched == m_panels[1]) {
            m_commands->openPanelAddress(m_panels[1]->text());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void fFileDownload::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        showRowCount();
    QMainWindow::changeEvent(event);
}

void fFileDownload::closeEvent(QCloseEvent *event)
{
    if (!m_session->confirmClose()) {
        event->ignore();
        return;
    }
    m_session->end();
    SaveWindowPlacement(this);
    event->accept();
    MarkWindowClosed(this);
    m_windows.showCoverUnless(WindowName::WebSearch);
}

void fFileDownload::endWithProgram()
{
    // The same settings as a close, without the question.
    m_session->storeChoices();
    m_session->end();
    SaveWindowPlacement(this);
    MarkWindowClosed(this);
    setAttribute(Qt::WA_DeleteOnClose, true);
    hide();
    deleteLater();
}

void fFileDownload::showLoginPanel()
{
    // The login browser starts with the panel: until then no login data
    // exists, so nothing else can need it.
    if (!m_loginPanel)
        buildLoginPanel();
    const int row = currentRow();
    m_loginPanel->showPanel(row >= 0 ? m_session->list().at(row).Key : QString());
}

void fFileDownload::buildLoginPanel()
{
    const AppServices &services = m_windows.services();
    m_loginBrowser = std::make_unique<WebEngineBrowser>();
    m_loginBrowser->setSilent(true);
    m_siteLogin = std::make_unique<SiteLogin>(*m_loginBrowser, services.clock, services.dialogs);
    m_siteLogin->attach(*m_session);

    m_loginPanel = new LoginPanel(*m_siteLogin, *m_loginBrowser, m_loginPanelHost);
    auto *hostLayout = new QVBoxLayout(m_loginPanelHost);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    hostLayout->addWidget(m_loginPanel);
    // At least 360 pixels, and never so narrow that a caption is cut.
    m_loginPanelHost->setMinimumWidth(qMax(360, m_loginPanel->minimumSizeHint().width()));

    connect(m_loginPanel, &LoginPanel::showRequested, this, [this] {
        m_loginPanelHost->show();
        m_loginPanelHost->raise();
    });
    connect(m_loginPanel, &LoginPanel::hideRequested, m_loginPanelHost, &QWidget::hide);
    connect(m_siteLogin.get(), &SiteLogin::statusTitle, m_panels[2], &QLabel::setText);

    m_loginBrowser->navigate(QStringLiteral("about:blank"));
}
