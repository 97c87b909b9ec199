#include "download/ui/fFileDownload.h"

#include "common/AppValues.h"
#include "common/WindowNames.h"
#include "common/ui/ListViewHelpers.h"
#include "common/ui/OpenWindows.h"
#include "common/ui/PanelStatusBar.h"
#include "common/ui/SharedMenuEntries.h"
#include "common/ui/WindowChrome.h"
#include "common/ui/WindowPlacement.h"
#include "download/DownloadCitations.h"
#include "download/DownloadListCommands.h"
#include "download/DownloadOptions.h"
#include "download/DownloadScheduler.h"
#include "download/DownloadSession.h"
#include "download/SiteLogin.h"
#include "download/ui/AddAddressesDialog.h"
#include "download/ui/LoginPanel.h"
#include "download/ui/ProgressBarDelegate.h"
#include "download/ui/StatusIconProxyModel.h"
#include "download/ui/UrlReplaceDialog.h"
#include "platform/Shell.h"
#include "platform/UserDialogs.h"
#include "platform/webengine/WebEngineBrowser.h"
#include "search/SiteOrigin.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

fFileDownload::fFileDownload(const AppServices &services, QWidget *parent)
    : QMainWindow(parent), m_services(services)
{
    setObjectName(WindowName::FileDownload);
    setAttribute(Qt::WA_DeleteOnClose, true);
    // The start-up window ends the program; this one only comes and goes.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_session = std::make_unique<DownloadSession>(
        m_services.clock, m_services.dialogs, m_services.paths, m_services.player, m_services.jar);
    m_commands = std::make_unique<DownloadListCommands>(m_session->list(), m_services.dialogs,
        m_services.shell, DownloadListCommands::busyTestsOf(m_session->scheduler()));
    ui.setupUi(this);
    m_iconModel = new StatusIconProxyModel(this);
    m_iconModel->setSourceModel(&m_session->list());
    ui.ListView3->setModel(m_iconModel);
    ui.ListView3->setItemDelegateForColumn(
        DownloadList::PercentColumn, new ProgressBarDelegate(ui.ListView3));
    StripeListBackground(ui.ListView3);
    const int widths[] = { 420, 50, 90, 90, 60, 420, 24 };
    for (int column = 0; column < int(std::size(widths)); ++column)
        ui.ListView3->setColumnWidth(column, widths[column]);
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

QAction *fFileDownload::menuEntry(const QStringList &captions) const
{
    return FindMenuEntry(menuBar(), captions);
}

QLabel *fFileDownload::panel(int number) const
{
    return ui.StatusBar1->panel(number);
}

void fFileDownload::buildMenus()
{
    DownloadListCommands *commands = m_commands.get();
    const MenuEntries add(this);

    m_listMenu = menuBar()->addMenu(QStringLiteral("列表操作(&D)"));
    // The pop-up is this same menu: both show the states of the moment.
    connect(m_listMenu, &QMenu::aboutToShow, this, &fFileDownload::applyMenuStates);
    m_selectAllAction
        = add(m_listMenu, QStringLiteral("全选"), [this] { ui.ListView3->selectAll(); });
    m_selectAllAction->setShortcut(QKeySequence::SelectAll);
    add(m_listMenu, QStringLiteral("全不选"), [this] { ui.ListView3->clearSelection(); });
    add(m_listMenu, QStringLiteral("随机排序列表(打乱)"), [commands] { commands->shuffle(); });
    add(m_listMenu, QStringLiteral("自动调整列宽"), [this] {
        SetAllColumnWidths(ui.ListView3, FitContentsAndHeader);
        StripeListBackground(ui.ListView3);
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
    add(m_listMenu, QStringLiteral("添加下载地址..."), [this] { addAddressesFromDialog(); });
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
    add(m_listMenu, QStringLiteral("导出引用..."),
        [this] { ExportCitations(m_session->list(), m_services.dialogs); });
    m_listMenu->addSeparator();
    add(m_listMenu, QStringLiteral("关闭本下载窗口"), [this] { close(); });
    // Shortcuts of the pop-up entries work in the list too.
    ui.ListView3->addActions({ m_selectAllAction, copyName });
    m_selectAllAction->setShortcutContext(Qt::WidgetShortcut);
    copyName->setShortcutContext(Qt::WidgetShortcut);
    // Keys of the list alone: Delete clears the selected rows after a
    // question, Enter opens the current finished row's file.
    auto *clearKey = new QAction(ui.ListView3);
    clearKey->setShortcut(QKeySequence::Delete);
    clearKey->setShortcutContext(Qt::WidgetShortcut);
    connect(clearKey, &QAction::triggered, this,
        [this] { m_commands->clearSelectedAsking(selectedRows()); });
    auto *openKey = new QAction(ui.ListView3);
    openKey->setShortcuts({ QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter) });
    openKey->setShortcutContext(Qt::WidgetShortcut);
    connect(
        openKey, &QAction::triggered, this, [this] { m_commands->openFinishedFile(currentRow()); });
    ui.ListView3->addActions({ clearKey, openKey });
    // Ctrl+V in the list adds the addresses on the clipboard.
    auto *paste = new QAction(ui.ListView3);
    paste->setObjectName(QStringLiteral("PasteAddresses"));
    paste->setShortcut(QKeySequence::Paste);
    paste->setShortcutContext(Qt::WidgetShortcut);
    connect(paste, &QAction::triggered, this,
        [this] { addAddressText(addressTextOf(QGuiApplication::clipboard()->mimeData())); });
    ui.ListView3->addAction(paste);

    m_windowMenu = menuBar()->addMenu(QStringLiteral("窗口(&W)"));
    add(m_windowMenu, QStringLiteral("资料检索分析窗口"),
        [this] { Q_EMIT searchWindowRequested(); });

    auto *shared = new SharedMenuEntries(m_services.values, m_services.shell, this);
    connect(shared, &SharedMenuEntries::optionsRequested, this, &fFileDownload::optionsRequested);
    connect(shared, &SharedMenuEntries::aboutRequested, this, &fFileDownload::aboutRequested);
    connect(
        shared, &SharedMenuEntries::cacheClearRequested, this, &fFileDownload::cacheClearRequested);
    QMenu *tools = menuBar()->addMenu(QStringLiteral("工具(&T)"));
    shared->addOptions(tools);
    m_scrollToRowAction = add(tools, QStringLiteral("自动定位到下载项"),
        [this](bool checked) { m_session->options().scrollToRow = checked; });
    m_scrollToRowAction->setCheckable(true);
    tools->addSeparator();
    add(tools, QStringLiteral("检查文件是否存在"), [commands] { commands->checkFiles(); });
    add(tools, QStringLiteral("检查并纠正磁盘文件类型"),
        [commands] { commands->correctFileTypes(); });
    add(tools, QStringLiteral("打开文件判断类型"), [commands] { commands->showFileType(); });
    tools->addSeparator();
    shared->addClearCache(tools);

    QMenu *help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    shared->addAbout(help, QStringLiteral("关于"));
    shared->addMakerPages(help, SharedMenuEntries::MakerPages::WithGuides);
}

void fFileDownload::connectControls()
{
    DownloadOptions &options = m_session->options();
    DownloadScheduler &scheduler = m_session->scheduler();

    connect(ui.Command1, &QPushButton::clicked, this, &fFileDownload::showLoginPanel);
    connect(ui.Command26, &QPushButton::clicked, this,
        [this] { m_session->scheduler().switchMethod(); });
    connect(ui.Combo1, &QComboBox::currentIndexChanged, this,
        [&options](int index) { options.connections = index + 1; });
    connect(ui.Combo2, &QComboBox::currentIndexChanged, this,
        [&options](int index) { options.intervalSeconds = qMax(0, index); });
    const auto policy = [this, &options] {
        options.policy = ui.Option1->isChecked() ? DuplicatePolicy::Skip
            : ui.Option2->isChecked()            ? DuplicatePolicy::Overwrite
                                                 : DuplicatePolicy::Rename;
    };
    for (QRadioButton *option : { ui.Option1, ui.Option2, ui.Option3 })
        connect(option, &QRadioButton::toggled, this, policy);
    connect(
        ui.Check3, &QCheckBox::toggled, this, [&options](bool on) { options.autoRedownload = on; });
    connect(ui.Combo4, &QComboBox::currentIndexChanged, this, [&options](int index) {
        options.autoRedownloadKind = static_cast<AutoRedownload>(qBound(0, index, 2));
    });
    connect(ui.Check4, &QCheckBox::toggled, this, [&options](bool on) { options.autoStart = on; });
    connect(
        ui.Check5, &QCheckBox::toggled, this, [&options](bool on) { options.stopOnFailures = on; });
    connect(ui.Check6, &QCheckBox::toggled, this, [&options](bool on) { options.sound = on; });
    connect(ui.Command4, &QPushButton::clicked, &scheduler, &DownloadScheduler::start);
    connect(ui.Command31, &QPushButton::clicked, &scheduler, &DownloadScheduler::stop);

    connect(m_session.get(), &DownloadSession::optionsChanged, this, [this] {
        showOptions();
        showMethod();
    });
    connect(&scheduler, &DownloadScheduler::runningChanged, this, &fFileDownload::showRunState);
    connect(&scheduler, &DownloadScheduler::counterLine, this, &fFileDownload::showRunState);
    connect(&scheduler, &DownloadScheduler::scrollToRow, this,
        [this](int row) { ui.ListView3->scrollTo(m_iconModel->index(row, 0)); });
    connect(
        m_session.get(), &DownloadSession::panelText, ui.StatusBar1, &PanelStatusBar::setPanelText);
    connect(ui.StatusBar1, &PanelStatusBar::panelClicked, this, [this](int number) {
        if (number == 1 && !m_services.values.SiteAddress.isEmpty())
            m_services.shell.openUrl(m_services.values.SiteAddress);
        else if (number == 2)
            m_commands->openPanelAddress(panel(2)->text());
    });

    // Label1 has one writer, showRowCount().
    connect(m_commands.get(), &DownloadListCommands::rowCountTextChanged, this,
        &fFileDownload::showRowCount);
    DownloadList *rows = &m_session->list();
    connect(rows, &QAbstractItemModel::rowsInserted, this, &fFileDownload::showRowCount);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &fFileDownload::showRowCount);
    connect(rows, &QAbstractItemModel::modelReset, this, &fFileDownload::showRowCount);

    connect(ui.ListView3->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (m_commands->sortByColumn(column)) {
            ui.ListView3->header()->setSortIndicatorShown(true);
            ui.ListView3->header()->setSortIndicator(column, m_commands->sortOrder());
        }
    });
    connect(ui.ListView3, &QTreeView::doubleClicked, this, [this](const QModelIndex &index) {
        m_commands->doubleClicked(index.isValid() ? index.row() : -1);
    });
    connect(ui.ListView3, &QTreeView::clicked, this, [this](const QModelIndex &index) {
        ui.StatusBar1->setPanelText(2, m_commands->clickedPanelText(index.row()));
    });
    connect(
        ui.ListView3, &QWidget::customContextMenuRequested, this, &fFileDownload::popUpListMenu);

    // Text and links dropped on the list add their addresses.
    ui.ListView3->setAcceptDrops(true);
    ui.ListView3->viewport()->setAcceptDrops(true);
    ui.ListView3->viewport()->installEventFilter(this);
}

// The opening steps; a step that cannot run is passed over.
void fFileDownload::open()
{
    setWindowTitle(WindowCaption(QStringLiteral("文件下载")));

    ui.Combo4->setCurrentIndex(0);
    FitDropDownWidth(ui.Combo4);

    m_session->open(m_services.values);
    showMethod();
    const DownloadOptions &options = m_session->options();
    switch (options.policy) {
    case DuplicatePolicy::Skip:
        ui.Option1->setChecked(true);
        break;
    case DuplicatePolicy::Overwrite:
        ui.Option2->setChecked(true);
        break;
    case DuplicatePolicy::Rename:
        ui.Option3->setChecked(true);
        break;
    }

    RestoreWindowPlacement(this);

    ui.Combo2->clear();
    for (int seconds = 0; seconds <= 600; ++seconds)
        ui.Combo2->addItem(QString::number(seconds));
    ui.Combo2->setCurrentIndex(0);

    showRowCount();
    showRunState();
    const QString site = m_services.values.SiteAddress;
    ui.StatusBar1->setPanelText(1, site);
    panel(1)->setVisible(!site.isEmpty());
}

void fFileDownload::showMethod()
{
    const DownloadOptions &options = m_session->options();
    ui.Label7->setText(QStringLiteral("下载方式：") + QString::number(options.method));
    const QSignalBlocker blocker(ui.Combo1);
    ui.Combo1->setCurrentIndex(qBound(1, options.connections, 6) - 1);
    ui.Combo1->setEnabled(options.method != 1);
}

void fFileDownload::showOptions()
{
    const DownloadOptions &options = m_session->options();
    const QSignalBlocker block3(ui.Check3);
    const QSignalBlocker block4(ui.Check4);
    ui.Check3->setChecked(options.autoRedownload);
    ui.Check4->setChecked(options.autoStart);
}

void fFileDownload::showRunState()
{
    ui.Shape1->setVisible(m_session->scheduler().isRunning());
    m_startAction->setEnabled(m_session->startEntryEnabled());
}

void fFileDownload::showRowCount()
{
    ui.Label1->setText(DownloadListCommands::rowCountText(m_session->list().size()));
}

QList<int> fFileDownload::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList selected = ui.ListView3->selectionModel()->selectedRows();
    for (const QModelIndex &index : selected)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int fFileDownload::currentRow() const
{
    const QModelIndex current = ui.ListView3->currentIndex();
    if (current.isValid() && ui.ListView3->selectionModel()->isRowSelected(current.row(), {}))
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
    m_listMenu->popup(ui.ListView3->viewport()->mapToGlobal(position));
}

QString fFileDownload::addressTextOf(const QMimeData *data)
{
    if (!data)
        return {};
    if (data->hasUrls()) {
        QStringList lines;
        const QList<QUrl> urls = data->urls();
        for (const QUrl &url : urls)
            lines << url.toString();
        return lines.join(QLatin1Char('\n'));
    }
    return data->hasText() ? data->text() : QString();
}

bool fFileDownload::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != ui.ListView3->viewport())
        return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (drag->mimeData()->hasUrls() || drag->mimeData()->hasText())
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QString text = addressTextOf(drop->mimeData());
        drop->acceptProposedAction();
        // After the drop has ended: the source is not kept waiting while a
        // question or a message is open.
        QTimer::singleShot(0, this, [this, text] { addAddressText(text); });
        return true;
    }
    default:
        return QMainWindow::eventFilter(watched, event);
    }
}

void fFileDownload::addAddressesFromDialog()
{
    AddAddressesDialog dialog(m_services.dialogs, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    addAddressText(dialog.text());
}

QString fFileDownload::saveFolderForNewRows()
{
    AppValues &values = m_services.values;
    if (!values.SaveFolder.isEmpty())
        return values.SaveFolder;
    values.SaveFolderDialogCancelled = false;
    Q_EMIT saveFolderRequested();
    return values.SaveFolderDialogCancelled ? QString() : values.SaveFolder;
}

AddedAddresses fFileDownload::addAddressText(const QString &text)
{
    return tellAdded(m_session->addInputText(
        text, [this] { return saveFolderForNewRows(); }, StoredSiteOrigin()));
}

AddedAddresses fFileDownload::addAddressLines(const QList<InputLine> &lines)
{
    return tellAdded(m_session->addInputLines(
        lines, [this] { return saveFolderForNewRows(); }, StoredSiteOrigin()));
}

AddedAddresses fFileDownload::tellAdded(const AddedAddresses &added)
{
    if (added.added > 0 && isHidden())
        show();
    if (const QString message = added.message(); !message.isEmpty())
        m_services.dialogs.message(message, UserDialogs::Style::Information);
    return added;
}

void fFileDownload::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        showRowCount();
    QMainWindow::changeEvent(event);
}

void fFileDownload::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Asked once the window is on screen, never while it is made hidden.
    if (!std::exchange(m_savedListOffered, true))
        QTimer::singleShot(0, this, &fFileDownload::offerSavedList);
}

void fFileDownload::offerSavedList()
{
    // Closed or hidden again before the question came up: it waits for the
    // next showing.
    if (!isVisible() || FindOpenWindow(WindowName::FileDownload) != this) {
        m_savedListOffered = false;
        return;
    }
    QString error;
    const QString question = m_session->savedListQuestion(&error);
    if (!error.isEmpty())
        m_services.dialogs.message(error, UserDialogs::Style::Error);
    if (question.isEmpty())
        return;
    const bool restore = m_services.dialogs.message(question, UserDialogs::Style::QuestionYesNo)
        == UserDialogs::Answer::Yes;
    if (!m_session->answerSavedList(restore, &error))
        m_services.dialogs.message(error, UserDialogs::Style::Error);
}

void fFileDownload::keepList()
{
    QString error;
    if (!m_session->keepListForNextTime(&error))
        m_services.dialogs.message(error, UserDialogs::Style::Error);
}

void fFileDownload::closeEvent(QCloseEvent *event)
{
    if (!m_session->confirmClose()) {
        event->ignore();
        return;
    }
    keepList();
    m_session->end();
    SaveWindowPlacement(this);
    event->accept();
    MarkWindowClosed(this);
    Q_EMIT closed();
}

void fFileDownload::endWithProgram()
{
    // The same settings as a close, without the question.
    m_session->storeChoices();
    keepList();
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
    m_loginBrowser = std::make_unique<WebEngineBrowser>();
    m_loginBrowser->setSilent(true);
    Q_EMIT loginBrowserMade();
    m_siteLogin
        = std::make_unique<SiteLogin>(*m_loginBrowser, m_services.clock, m_services.dialogs);
    m_siteLogin->attach(*m_session);

    m_loginPanel = new LoginPanel(*m_siteLogin, *m_loginBrowser, ui.LoginPanel);
    auto *hostLayout = new QVBoxLayout(ui.LoginPanel);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    hostLayout->addWidget(m_loginPanel);
    // At least 360 pixels, and never so narrow that a caption is cut.
    ui.LoginPanel->setMinimumWidth(qMax(360, m_loginPanel->minimumSizeHint().width()));

    connect(m_loginPanel, &LoginPanel::showRequested, this, [this] {
        ui.LoginPanel->show();
        ui.LoginPanel->raise();
    });
    connect(m_loginPanel, &LoginPanel::hideRequested, ui.LoginPanel, &QWidget::hide);
    connect(m_siteLogin.get(), &SiteLogin::statusTitle, this,
        [this](const QString &title) { ui.StatusBar1->setPanelText(3, title); });

    m_loginBrowser->navigate(QStringLiteral("about:blank"));
}
