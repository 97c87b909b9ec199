#include "cachetools/ui/fIEcache.h"

#include "cachetools/BrowserCacheClearing.h"
#include "common/WindowNames.h"
#include "common/ui/ListViewHelpers.h"
#include "platform/UserDialogs.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QPushButton *button(const QString &name, const QString &caption, QWidget *parent)
{
    auto *result = new QPushButton(caption, parent);
    result->setObjectName(name);
    result->setAutoDefault(false);
    return result;
}

QTreeWidget *folderList(const QString &name, const QStringList &columns, QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return list;
}

} // namespace

fIEcache::fIEcache(
    const BrowserCacheLocations &locations, UserDialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_tool(locations, this), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("fIEcache"));
    setWindowTitle(ProgramTitle + QStringLiteral("-IE浏览器Cookie 缓存和历史列表"));
    setModal(true);
    setSizeGripEnabled(true);
    resize(1000, 600);

    auto *command1 = button(QStringLiteral("Command1"), QStringLiteral("查看我的缓存"), this);
    auto *command7 = button(QStringLiteral("Command7"), QStringLiteral("查看所有用户缓存"), this);
    auto *command2 = button(QStringLiteral("Command2"), QStringLiteral("删除所选文件"), this);
    auto *command3 = button(QStringLiteral("Command3"), QStringLiteral("全部删除"), this);
    auto *command6 = button(QStringLiteral("Command6"), QStringLiteral("复制选中..."), this);
    auto *command4 = button(QStringLiteral("Command4"), QStringLiteral("关闭"), this);
    m_label1 = new QLabel(m_tool.countText(), this);
    m_label1->setObjectName(QStringLiteral("Label1"));

    m_listView1 = new QTreeView(this);
    m_listView1->setObjectName(QStringLiteral("ListView1"));
    m_listView1->setModel(m_tool.fileList());
    m_listView1->setRootIsDecorated(false);
    m_listView1->setUniformRowHeights(true);
    m_listView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView1->header()->setSectionsClickable(true);
    // Columns fit their contents; long paths scroll instead of being cut.
    m_listView1->header()->setStretchLastSection(false);
    m_listView1->header()->setSortIndicatorShown(false);
    StripeListBackground(m_listView1);
    m_listView2 = folderList(
        QStringLiteral("ListView2"), { QStringLiteral("用户名"), QStringLiteral("文件夹") }, this);
    m_listView3 = folderList(QStringLiteral("ListView3"), { QStringLiteral("文件夹") }, this);

    auto *folders = new QSplitter(Qt::Vertical, this);
    folders->addWidget(m_listView2);
    folders->addWidget(m_listView3);
    auto *lists = new QSplitter(Qt::Horizontal, this);
    lists->addWidget(m_listView1);
    lists->addWidget(folders);
    lists->setStretchFactor(0, 3);
    lists->setStretchFactor(1, 1);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *each : { command1, command7, command2, command3, command6 })
        buttons->addWidget(each);
    buttons->addStretch();
    buttons->addWidget(m_label1);
    buttons->addSpacing(12);
    buttons->addWidget(command4);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(lists, 1);

    m_runButtons = { command1, command7, command2, command3, command6 };

    connect(command1, &QPushButton::clicked, this, [this] { m_tool.listMyCache(); });
    connect(command7, &QPushButton::clicked, this, [this] { m_tool.listAllCaches(); });
    connect(command2, &QPushButton::clicked, this, [this] {
        m_runText = QStringLiteral("正在删除");
        m_tool.deleteRows(selectedRows());
    });
    connect(command3, &QPushButton::clicked, this, [this] {
        m_runText = QStringLiteral("正在删除");
        m_tool.deleteAll();
    });
    connect(command6, &QPushButton::clicked, this, &fIEcache::copySelected);
    connect(command4, &QPushButton::clicked, this, &fIEcache::reject);
    connect(&m_tool, &BrowserCacheTool::listed, this, &fIEcache::showListing);
    connect(&m_tool, &BrowserCacheTool::busyChanged, this, [this](bool busy) {
        for (QPushButton *each : std::as_const(m_runButtons))
            each->setEnabled(!busy);
        if (!busy)
            m_label1->setText(m_tool.countText());
    });
    connect(&m_tool, &BrowserCacheTool::progress, this, &fIEcache::showProgress);
    connect(&m_tool, &BrowserCacheTool::copyOutFinished, this, &fIEcache::openCopyWindow);
    connect(m_listView1->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        m_tool.fileList()->sortByColumn(column);
        m_listView1->header()->setSortIndicatorShown(true);
        m_listView1->header()->setSortIndicator(
            m_tool.fileList()->sortColumn(), m_tool.fileList()->sortOrder());
    });
}

void fIEcache::showListing()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_label1->setText(m_tool.countText());
    m_listView1->header()->setSortIndicatorShown(false);
    m_listView2->clear();
    m_listView3->clear();
    if (m_tool.tag() == u"所有缓存") {
        QList<QTreeWidgetItem *> users;
        for (const auto &user : m_tool.userCacheFolders())
            users.append(new QTreeWidgetItem({ user.userName, user.folder }));
        m_listView2->addTopLevelItems(users);
        QList<QTreeWidgetItem *> folders;
        for (const QString &folder : std::as_const(m_tool.CacheFolders))
            folders.append(new QTreeWidgetItem({ folder }));
        m_listView3->addTopLevelItems(folders);
        SetAllColumnWidths(m_listView2, FitContentsAndHeader);
        SetAllColumnWidths(m_listView3, FitContentsAndHeader);
    }
    SetAllColumnWidths(m_listView1, FitContentsAndHeader);
    QApplication::restoreOverrideCursor();
}

QList<int> fIEcache::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList selected = m_listView1->selectionModel()->selectedRows();
    for (const QModelIndex &index : selected)
        rows.append(index.row());
    return rows;
}

fIEcache::~fIEcache() = default;

void fIEcache::showProgress(int done, int total)
{
    m_label1->setText(m_runText + QStringLiteral("：%1/%2 个文件...").arg(done).arg(total));
}

void fIEcache::copySelected()
{
    m_bodies = std::make_unique<QTemporaryDir>(
        QDir::tempPath() + QStringLiteral("/quillmoor-cache-XXXXXX"));
    if (!m_bodies->isValid()) {
        openCopyWindow({}, {});
        return;
    }
    m_runText = QStringLiteral("正在读出缓存文件");
    m_tool.copyOut(selectedRows(), m_bodies->path());
}

void fIEcache::openCopyWindow(const QStringList &files, const QStringList &dropped)
{
    if (!dropped.isEmpty())
        m_dialogs.message(CopyOutDroppedText(dropped), UserDialogs::Style::Error);
    Q_EMIT copyWindowRequested(files);
    m_bodies.reset();
}

void ClearBrowserCache(QWidget *parent, const QString &profileCachePath, UserDialogs &dialogs,
    const std::function<void()> &clearProfileCache)
{
    if (parent && parent->findChild<BrowserCacheClearing *>(QString(), Qt::FindDirectChildrenOnly))
        return;
    auto *clearing = new BrowserCacheClearing(BrowserCacheLocations::ofProfile(profileCachePath),
        dialogs, true, clearProfileCache, parent);
    auto *progress
        = new QProgressDialog(QStringLiteral("正在清空IE浏览器缓存..."), QString(), 0, 0, parent);
    progress->setObjectName(QStringLiteral("ClearCacheProgress"));
    progress->setWindowTitle(WindowCaption(QStringLiteral("清空IE浏览器缓存")));
    // Not modal: a modal progress window would run the event loop from
    // inside each progress step.
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    // A short run does not flash a window.
    progress->setMinimumDuration(500);
    QObject::connect(
        clearing, &BrowserCacheClearing::progress, progress, [progress](int done, int total) {
            progress->setMaximum(total);
            progress->setValue(done);
        });
    QObject::connect(clearing, &BrowserCacheClearing::finished, progress, [clearing, progress] {
        progress->close();
        progress->deleteLater();
        clearing->deleteLater();
    });
    clearing->start();
}
