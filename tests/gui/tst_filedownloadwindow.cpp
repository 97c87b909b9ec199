#include "DownloadTestRig.h"
#include "WindowTestRig.h"
#include "app/ui/AppWindows.h"
#include "app/ui/fCover.h"
#include "common/AppValues.h"
#include "common/SettingsStore.h"
#include "common/WindowNames.h"
#include "common/ui/OpenWindows.h"
#include "common/ui/WindowPlacement.h"
#include "download/DownloadList.h"
#include "download/DownloadListStore.h"
#include "download/DownloadScheduler.h"
#include "download/DownloadSession.h"
#include "download/ui/ProgressBarDelegate.h"
#include "download/ui/fFileDownload.h"
#include "download/ui/fOption.h"
#include "download/ui/fSeleFileSavePath.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTreeView>

using Response = FixtureServer::Response;

// The download window and its two dialogs, driven offscreen with scripted
// dialogs and a recording shell; transfers go to the fixture server.
class TestFileDownloadWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init();
    void cleanup();
    void firstOpening();
    void requestsLeaveTheWindow_data();
    void requestsLeaveTheWindow();
    void methodOneFromTheOptions();
    void closeQuestionAnsweredNo();
    void closingBringsTheStartUpWindowBack();
    void proxyWarningInTheOptionsDialog();
    void saveFolderDialog();
    void busyMessagesWhileDownloading();
    void endToEnd();
    void endingTheProgramStopsTheTransfer();
    void leavingThroughTheStartUpWindowStoresSettings();
    void menuBarStatesFollowTheMoment_data();
    void menuBarStatesFollowTheMoment();
    void exportCitationsFromTheListMenu();
    void statusBarPanelsAndPercentColumn();
    void deleteAndEnterKeys();
    void listKeptAcrossAClose_data();
    void listKeptAcrossAClose();
    void finishedListIsNotKept();

private:
    template<typename T> T *child(QWidget *window, const char *name)
    {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    QString folder() const { return m_rig->dir.path() + QStringLiteral("/dl/"); }
    QString key(const char *name) const
    {
        return m_rig->server.urlText(
            QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".pdf"));
    }
    // Adds a row with the given status to the window's list.
    void addRow(fFileDownload *window, const char *name, int status)
    {
        QVERIFY(window->list().addItem(
            key(name), QString::fromLatin1(name), QStringLiteral("pdf"), folder(), {}));
        window->list().update(window->list().size() - 1, [&](DownloadItem &item) {
            item.StatusCode = status;
            if (status == Status::Failed)
                item.FailureReason = QStringLiteral("HTTP 404");
        });
    }
    QStringList keys(fFileDownload *window) const
    {
        QStringList out;
        for (int row = 0; row < window->list().size(); ++row)
            out << window->list().at(row).Key;
        return out;
    }
    // The download window shown with one waiting row whose server stops
    // sending after 4 KB, ready to start.
    fFileDownload *windowWithAStallingRow()
    {
        Response stall = Response::pattern(1 << 20, "application/pdf");
        stall.stallAfterBytes = 4096;
        m_rig->server.route("/stall.pdf", stall);
        fFileDownload *window = m_rig->windows->showDownloadWindow();
        window->list().addItem(m_rig->server.urlText(QStringLiteral("/stall.pdf")),
            QStringLiteral("stall"), QStringLiteral("pdf"), folder(), {});
        m_rig->clock.advance(5);
        return window;
    }

    std::optional<WindowTestRig> m_rig;
};

void TestFileDownloadWindow::init()
{
    m_rig.emplace(QStringLiteral("program"));
    QVERIFY(m_rig->server.listen());
    m_rig->openWindows();
}

void TestFileDownloadWindow::cleanup()
{
    m_rig.reset();
}

void TestFileDownloadWindow::firstOpening()
{
    fFileDownload *window = m_rig->windows->showDownloadWindow();
    QVERIFY(window->isMaximized());
    QCOMPARE(window->windowTitle(), QStringLiteral("文件下载-Quillmoor"));
    QCOMPARE(child<QLabel>(window, "Label7")->text(), QStringLiteral("下载方式：2"));
    auto *combo1 = child<QComboBox>(window, "Combo1");
    QVERIFY(combo1->isEnabled());
    QCOMPARE(combo1->currentText(), QStringLiteral("3"));
    QVERIFY(child<QRadioButton>(window, "Option3")->isChecked());
    auto *combo2 = child<QComboBox>(window, "Combo2");
    QCOMPARE(combo2->count(), 601);
    QCOMPARE(combo2->currentText(), QStringLiteral("0"));
    QCOMPARE(child<QComboBox>(window, "Combo4")->currentIndex(), 0);
    QCOMPARE(child<QLabel>(window, "Label1")->text(), QStringLiteral("0条"));
    QCOMPARE(window->session().options().connections, 3);
    QVERIFY(window->session().scheduler().Timer1().isActive());
    QVERIFY(!window->session().scheduler().isRunning());
    QVERIFY(IsWindowOpen(QStringLiteral("FFileDownload")));
    QCOMPARE(m_rig->windows->openDownloadWindow(), window);
    // The site's entries are hidden while no maker's site is set.
    QVERIFY(window->menuEntry({ QStringLiteral("帮助(&H)"), QStringLiteral("关于") }));
    QVERIFY(!window->menuEntry({ QStringLiteral("帮助(&H)"), QStringLiteral("最新版本") })
                 ->isVisible());
    QVERIFY(!window->panel(1)->isVisible());
    QAction *locate
        = window->menuEntry({ QStringLiteral("工具(&T)"), QStringLiteral("自动定位到下载项") });
    QVERIFY(locate->isCheckable() && !locate->isChecked());
    locate->trigger();
    QVERIFY(locate->isChecked());
    QVERIFY(window->session().options().scrollToRow);

    const auto header = window->findChild<QTreeView *>(QStringLiteral("ListView3"))->model();
    QStringList captions;
    for (int c = 0; c < header->columnCount(); ++c)
        captions << header->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(captions,
        (QStringList { QStringLiteral("名称"), QStringLiteral("类型"), QStringLiteral("文件大小"),
            QStringLiteral("已下载数"), QStringLiteral("百分比"), QStringLiteral("保存路径"),
            QStringLiteral("B") }));
}

void TestFileDownloadWindow::requestsLeaveTheWindow_data()
{
    QTest::addColumn<QStringList>("entry");
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("search window")
        << QStringList { QStringLiteral("窗口(&W)"), QStringLiteral("资料检索分析窗口") }
        << QByteArray(SIGNAL(searchWindowRequested()));
    QTest::newRow("options") << QStringList { QStringLiteral("工具(&T)"), QStringLiteral("设置") }
                             << QByteArray(SIGNAL(optionsRequested()));
    QTest::newRow("about") << QStringList { QStringLiteral("帮助(&H)"), QStringLiteral("关于") }
                           << QByteArray(SIGNAL(aboutRequested()));
    QTest::newRow("empty the cache")
        << QStringList { QStringLiteral("工具(&T)"), QStringLiteral("清空IE浏览器缓存") }
        << QByteArray(SIGNAL(cacheClearRequested()));
}

// The window on its own, without the program's other windows: each entry
// that belongs elsewhere only asks.
void TestFileDownloadWindow::requestsLeaveTheWindow()
{
    QFETCH(QStringList, entry);
    QFETCH(QByteArray, request);
    // Deletes itself when closed.
    QPointer<fFileDownload> window = new fFileDownload(m_rig->services());
    QSignalSpy asked(window.data(), request.constData());
    QSignalSpy closed(window.data(), &fFileDownload::closed);
    QAction *action = window->menuEntry(entry);
    QVERIFY(action && action->isVisible() && action->isEnabled());
    action->trigger();
    QCOMPARE(asked.size(), 1);
    QVERIFY(m_rig->dialogs.messages.isEmpty());
    QVERIFY(window->close());
    QCOMPARE(closed.size(), 1);
    QTRY_VERIFY(window.isNull());
}

void TestFileDownloadWindow::methodOneFromTheOptions()
{
    fFileDownload *window = m_rig->windows->showDownloadWindow();
    {
        const std::unique_ptr<fOption> options(m_rig->windows->newOptionsDialog(window));
        QVERIFY(child<QRadioButton>(options.get(), "Option2")->isChecked());
        child<QRadioButton>(options.get(), "Option1")->setChecked(true);
        child<QPushButton>(options.get(), "Command1")->click();
        QCOMPARE(options->result(), int(QDialog::Accepted));
    }
    QCOMPARE(child<QLabel>(window, "Label7")->text(), QStringLiteral("下载方式：1"));
    QVERIFY(!child<QComboBox>(window, "Combo1")->isEnabled());
    QCOMPARE(window->session().options().method, 1);
    QCOMPARE(m_rig->values.DownloadMethod, 1);
    QVERIFY(window->close());
    QCOMPARE(ReadSetting(Settings::DownloadMethod), QStringLiteral("1"));

    // Reopened with method 1: the selector shows "1", disabled, and closing
    // stores its position 0.
    window = m_rig->windows->showDownloadWindow();
    QCOMPARE(child<QLabel>(window, "Label7")->text(), QStringLiteral("下载方式：1"));
    QCOMPARE(child<QComboBox>(window, "Combo1")->currentText(), QStringLiteral("1"));
    QVERIFY(!child<QComboBox>(window, "Combo1")->isEnabled());
    child<QPushButton>(window, "Command26")->click(); // "切换" back to 2
    QCOMPARE(child<QLabel>(window, "Label7")->text(), QStringLiteral("下载方式：2"));
    QVERIFY(child<QComboBox>(window, "Combo1")->isEnabled());
    QCOMPARE(child<QComboBox>(window, "Combo1")->currentText(), QStringLiteral("1"));
    QVERIFY(window->close());
    QCOMPARE(ReadSetting(Settings::ConnectionCountIndex), QStringLiteral("0"));
    window = m_rig->windows->showDownloadWindow();
    QCOMPARE(child<QComboBox>(window, "Combo1")->currentText(), QStringLiteral("1"));
    QVERIFY(child<QComboBox>(window, "Combo1")->isEnabled());
}

void TestFileDownloadWindow::closeQuestionAnsweredNo()
{
    fFileDownload *window = m_rig->windows->showDownloadWindow();
    window->list().addItem(m_rig->server.urlText(QStringLiteral("/a.pdf")), QStringLiteral("a"),
        QStringLiteral("pdf"), folder(), {});
    child<QRadioButton>(window, "Option1")->setChecked(true);
    m_rig->dialogs.answers.enqueue(UserDialogs::Answer::No);

    QVERIFY(!window->close());
    QCOMPARE(m_rig->dialogs.messages.size(), 1);
    QCOMPARE(m_rig->dialogs.messages.first().text,
        QStringLiteral("正在下载文件或者下载没有完成，要强制关闭窗口吗？"));
    QCOMPARE(m_rig->dialogs.messages.first().style, UserDialogs::Style::QuestionYesNo);
    QVERIFY(window->isVisible());
    QVERIFY(IsWindowOpen(WindowName::FileDownload));
    QCOMPARE(window->list().size(), 1);
    QCOMPARE(window->list().at(0).StatusCode, Status::Waiting);
    QVERIFY(window->session().scheduler().Timer1().isActive());
    // The policy and method are written even though the close was refused;
    // the placement is not.
    QCOMPARE(ReadSetting(Settings::DuplicateFilePolicy), QStringLiteral("跳过"));
    QCOMPARE(ReadSetting(Settings::DownloadMethod), QStringLiteral("2"));
    QCOMPARE(ReadSetting(Settings::Placement::DownloadWindowSection,
                 Settings::Placement::Resolution, QStringLiteral("unset")),
        QStringLiteral("unset"));

    m_rig->dialogs.answers.enqueue(UserDialogs::Answer::Yes);
    QVERIFY(window->close());
    QVERIFY(!IsWindowOpen(WindowName::FileDownload));
    QCOMPARE(ReadSetting(Settings::Placement::DownloadWindowSection,
                 Settings::Placement::Resolution, QStringLiteral("unset")),
        QStringLiteral("0*0"));
}

void TestFileDownloadWindow::closingBringsTheStartUpWindowBack()
{
    fCover *cover = m_rig->windows->cover();
    cover->open();
    cover->hide();
    fFileDownload *window = m_rig->windows->showDownloadWindow();
    QVERIFY(window->close());
    QVERIFY(cover->isVisible());
}

void TestFileDownloadWindow::proxyWarningInTheOptionsDialog()
{
    fFileDownload *window = m_rig->windows->showDownloadWindow();
    const std::unique_ptr<fOption> owned(m_rig->windows->newOptionsDialog(window));
    fOption &options = *owned;
    child<QRadioButton>(&options, "Option1")->setChecked(true);
    child<QCheckBox>(&options, "Check1")->setChecked(true);
    child<QLineEdit>(&options, "Text6")->setText(QStringLiteral("proxy.example.org"));
    child<QLineEdit>(&options, "Text8")->setText(QStringLiteral("80a"));
    child<QLineEdit>(&options, "Text1")->setText(QStringLiteral("4"));
    child<QPushButton>(&options, "Command1")->click();

    // Refused: the message, the dialog still open, nothing stored or taken.
    QCOMPARE(m_rig->dialogs.messages.size(), 1);
    QCOMPARE(
        m_rig->dialogs.messages.first().text, QStringLiteral("代理服务器网址或者端口格式不对！"));
    QCOMPARE(options.result(), int(QDialog::Rejected));
    QCOMPARE(ReadSetting(Settings::ProxyPort), QString());
    QCOMPARE(ReadSetting(Settings::ProxyEnabled), QStringLiteral("0"));
    QVERIFY(!window->session().options().proxyEnabled);
    QCOMPARE(window->session().options().method, 2);
    QCOMPARE(window->session().options().maxFileSizeMB, 10.0);

    // Mended, it is taken: the open window's transfers use it at once.
    child<QLineEdit>(&options, "Text8")->setText(QStringLiteral("3128"));
    child<QPushButton>(&options, "Command1")->click();
    QCOMPARE(options.result(), int(QDialog::Accepted));
    QCOMPARE(ReadSetting(Settings::ProxyPort), QStringLiteral("3128"));
    QVERIFY(window->session().options().proxyEnabled);
    QCOMPARE(window->session().options().proxyPort, QStringLiteral("3128"));
    QCOMPARE(window->session().options().method, 1);
    QCOMPARE(window->session().options().maxFileSizeMB, 4.0);

    // "关闭" stores nothing.
    const std::unique_ptr<fOption> againOwned(m_rig->windows->newOptionsDialog(window));
    fOption &again = *againOwned;
    QCOMPARE(child<QLineEdit>(&again, "Text8")->text(), QStringLiteral("3128"));
    child<QLineEdit>(&again, "Text8")->setText(QStringLiteral("8080"));
    child<QPushButton>(&again, "Command2")->click();
    QCOMPARE(ReadSetting(Settings::ProxyPort), QStringLiteral("3128"));
}

void TestFileDownloadWindow::saveFolderDialog()
{
    const QString typed = m_rig->dir.path() + QStringLiteral("/论文");
    {
        fSeleFileSavePath dialog(m_rig->services());
        auto *combo1 = child<QComboBox>(&dialog, "Combo1");
        QCOMPARE(combo1->currentText(), QDir::homePath() + QStringLiteral("/12345"));
        QVERIFY(child<QRadioButton>(&dialog, "Option2")->isChecked());
        QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);

        // A cancelled picker leaves the text as it was, with its separator.
        combo1->setEditText(typed);
        child<QPushButton>(&dialog, "Command3")->click();
        QCOMPARE(m_rig->dialogs.folderPickerStarts,
            QStringList { m_rig->dir.path() + QLatin1Char('/') });
        QCOMPARE(combo1->currentText(), typed + QLatin1Char('/'));

        combo1->setEditText(typed);
        child<QRadioButton>(&dialog, "Option1")->setChecked(true);
        child<QPushButton>(&dialog, "Command1")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QVERIFY(m_rig->dialogs.messages.isEmpty());
    QVERIFY(QFileInfo(typed).isDir());
    QCOMPARE(m_rig->values.SaveFolder, typed + QLatin1Char('/'));
    QVERIFY(m_rig->values.UseOriginalFileName);
    QVERIFY(!m_rig->values.SaveFolderDialogCancelled);
    QCOMPARE(readFile(m_rig->paths.saveListPath()), (typed + QStringLiteral("\r\n")).toLocal8Bit());

    fSeleFileSavePath reopened(m_rig->services());
    auto *combo1 = child<QComboBox>(&reopened, "Combo1");
    QCOMPARE(combo1->count(), 1);
    QCOMPARE(combo1->itemText(0), typed);
    QCOMPARE(combo1->currentText(), typed + QLatin1Char('/'));
    QVERIFY(child<QRadioButton>(&reopened, "Option1")->isChecked());
    // A folder that cannot be made keeps the dialog open with an empty box.
    combo1->setEditText(QStringLiteral("relative/folder"));
    child<QPushButton>(&reopened, "Command1")->click();
    QCOMPARE(m_rig->dialogs.messages.constLast().text, QStringLiteral("文件夹设置错误！"));
    QCOMPARE(reopened.result(), int(QDialog::Rejected));
    QVERIFY(combo1->currentText().isEmpty());
    child<QPushButton>(&reopened, "Command2")->click();
    QVERIFY(m_rig->values.SaveFolderDialogCancelled);
}

void TestFileDownloadWindow::busyMessagesWhileDownloading()
{
    fFileDownload *window = windowWithAStallingRow();
    child<QPushButton>(window, "Command4")->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->list().at(0).StatusCode, Status::Downloading, 10000);
    QVERIFY(
        child<QLabel>(window, "Shape1")->isVisible() || window->session().scheduler().isRunning());

    const QString stopFirst = QStringLiteral("停止下载以后，才能执行此操作！");
    const struct
    {
        QStringList entry;
        QString message;
    } refused[] = {
        { { QStringLiteral("列表操作(&D)"), QStringLiteral("随机排序列表(打乱)") }, stopFirst },
        { { QStringLiteral("列表操作(&D)"), QStringLiteral("清除"), QStringLiteral("全部出错项") },
            stopFirst },
        { { QStringLiteral("列表操作(&D)"), QStringLiteral("清空") }, stopFirst },
        { { QStringLiteral("工具(&T)"), QStringLiteral("检查并纠正磁盘文件类型") }, stopFirst },
    };
    for (const auto &[entry, message] : refused) {
        m_rig->dialogs.messages.clear();
        QAction *action = window->menuEntry(entry);
        QVERIFY2(action, qPrintable(entry.join(QLatin1Char('/'))));
        action->trigger();
        QCOMPARE(m_rig->dialogs.messages.size(), 1);
        QCOMPARE(m_rig->dialogs.messages.first().text, message);
    }
    m_rig->dialogs.messages.clear();
    window->findChild<QTreeView *>(QStringLiteral("ListView3"))->header()->sectionClicked(0);
    QCOMPARE(m_rig->dialogs.messages.size(), 1);
    QCOMPARE(m_rig->dialogs.messages.first().text, QStringLiteral("停止下载后方可排序！"));
    QCOMPARE(window->list().size(), 1);

    // The pop-up menu disables the clearing entries while downloading.
    auto *view = window->findChild<QTreeView *>(QStringLiteral("ListView3"));
    Q_EMIT view->customContextMenuRequested(QPoint(5, 5));
    const auto entry = [window](const QString &caption) {
        return window->menuEntry({ QStringLiteral("列表操作(&D)"), caption });
    };
    QVERIFY(!entry(QStringLiteral("清空"))->isEnabled());
    QVERIFY(!entry(QStringLiteral("清除"))->isEnabled());
    QVERIFY(!entry(QStringLiteral("全选"))->isEnabled());
    QVERIFY(entry(QStringLiteral("停止下载"))->isEnabled());
    QVERIFY(!entry(QStringLiteral("开始下载"))->isEnabled());
    window->menuBar()->actions().first()->menu()->close();

    child<QPushButton>(window, "Command31")->click();
    QCOMPARE(window->list().at(0).StatusCode, Status::Failed);
    QVERIFY(!window->session().scheduler().isRunning());
    QTRY_VERIFY(partFiles(folder()).isEmpty());
}

void TestFileDownloadWindow::endToEnd()
{
    // A real clock: the scheduler's own timers drive this run.
    m_rig->openWindows(SteadyClock::instance());
    m_rig->server.route("/one.pdf", Response::pattern(30000, "application/pdf"));
    m_rig->server.route("/two.pdf", Response::pattern(70000, "application/pdf"));
    m_rig->server.route("/page.pdf",
        Response::ok("<html><head><title>login</title></head><body>x</body></html>", "text/html"));
    m_rig->server.route("/gone.pdf", Response::status(404, "Not Found"));

    fFileDownload *window = m_rig->windows->showDownloadWindow();
    DownloadList &rows = window->list();
    for (const char *name : { "one", "two", "page", "gone" }) {
        const QString file = QString::fromLatin1(name);
        QVERIFY(
            rows.addItem(m_rig->server.urlText(QLatin1Char('/') + file + QStringLiteral(".pdf")),
                file, QStringLiteral("pdf"), folder(), {}));
    }
    QCOMPARE(child<QLabel>(window, "Label1")->text(), QStringLiteral("4条"));
    window->menuEntry({ QStringLiteral("列表操作(&D)"), QStringLiteral("开始下载") })->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(rows.检测是否下载列表完毕(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!window->session().scheduler().isRunning(), 5000);

    QCOMPARE(readFile(folder() + QStringLiteral("one.pdf")), FixtureServer::patternBytes(0, 30000));
    QCOMPARE(readFile(folder() + QStringLiteral("two.pdf")), FixtureServer::patternBytes(0, 70000));
    QCOMPARE(rows.at(0).StatusCode, Status::Completed);
    QCOMPARE(rows.at(1).StatusCode, Status::Completed);
    // The page that came instead of the file is kept under its real type.
    QCOMPARE(rows.at(2).Type, QStringLiteral("htm"));
    QVERIFY(QFile::exists(folder() + QStringLiteral("page.htm")));
    QCOMPARE(rows.at(3).StatusCode, Status::Failed);
    QVERIFY(QFileInfo(folder() + QStringLiteral("gone.pdf")).size() <= 2);
    QVERIFY(partFiles(folder()).isEmpty());

    // The view shows each row's status icon, and the counter panel the totals.
    auto *view = window->findChild<QTreeView *>(QStringLiteral("ListView3"));
    for (int row = 0; row < rows.size(); ++row) {
        const QVariant icon = view->model()->index(row, 0).data(Qt::DecorationRole);
        QVERIFY2(icon.canConvert<QIcon>() && !icon.value<QIcon>().isNull(),
            qPrintable(QString::number(row)));
    }
    QTRY_COMPARE_WITH_TIMEOUT(window->panel(4)->text(), rows.ShowListCounters(), 3000);
    QVERIFY(window->panel(4)->text().contains(QStringLiteral("失败：1")));
    QVERIFY(!child<QLabel>(window, "Shape1")->isVisible());

    // A click shows the row's file in panel 2; a double click puts a failed
    // row back into the queue.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
        view->visualRect(view->model()->index(1, 0)).center());
    QCOMPARE(window->panel(2)->text(), folder() + QStringLiteral("two.pdf"));
    const QPoint failedRow = view->visualRect(view->model()->index(3, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, failedRow);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, failedRow);
    QCOMPARE(rows.at(3).StatusCode, Status::Waiting);
}

void TestFileDownloadWindow::endingTheProgramStopsTheTransfer()
{
    Response stall = Response::pattern(1 << 20, "application/pdf");
    stall.stallAfterBytes = 8192;
    m_rig->server.route("/paper.pdf", stall);
    QVERIFY(writeFile(folder() + QStringLiteral("paper.pdf"), "%PDF-1.4 the earlier file"));
    fCover *cover = m_rig->windows->cover();
    cover->open();
    cover->hide();
    QPointer<fFileDownload> window = m_rig->windows->showDownloadWindow();
    child<QRadioButton>(window, "Option2")->setChecked(true); // "覆盖"
    window->list().addItem(m_rig->server.urlText(QStringLiteral("/paper.pdf")),
        QStringLiteral("paper"), QStringLiteral("pdf"), folder(), {});
    m_rig->clock.advance(5);
    window->menuEntry({ QStringLiteral("列表操作(&D)"), QStringLiteral("开始下载") })->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!window->list().at(0).Received.isEmpty(), 10000);

    cover->close();
    QVERIFY(m_rig->dialogs.messages.isEmpty());
    QTRY_VERIFY(window.isNull());
    QTRY_VERIFY(partFiles(folder()).isEmpty());
    QCOMPARE(
        readFile(folder() + QStringLiteral("paper.pdf")), QByteArray("%PDF-1.4 the earlier file"));
    // The list was kept before the transfer stopped: the row comes back
    // waiting, not failed.
    DownloadList kept;
    QCOMPARE(DownloadListStore(m_rig->paths.dataFolder()).restore(kept).value_or(-1), 1);
    QCOMPARE(kept.at(0).StatusCode, Status::Waiting);
}

void TestFileDownloadWindow::leavingThroughTheStartUpWindowStoresSettings()
{
    fCover *cover = m_rig->windows->cover();
    cover->open();
    cover->hide();
    QPointer<fFileDownload> window = m_rig->windows->showDownloadWindow();
    child<QRadioButton>(window, "Option1")->setChecked(true); // "跳过"
    child<QComboBox>(window, "Combo1")->setCurrentIndex(4);
    window->showNormal();
    window->setGeometry(30, 40, 700, 500);
    const int width = window->width();
    window->list().addItem(m_rig->server.urlText(QStringLiteral("/a.pdf")), QStringLiteral("a"),
        QStringLiteral("pdf"), folder(), {});

    cover->close();
    QTRY_VERIFY(window.isNull());
    // No question, and the settings a close of the window writes.
    QVERIFY(m_rig->dialogs.messages.isEmpty());
    QCOMPARE(ReadSetting(Settings::DuplicateFilePolicy), QStringLiteral("跳过"));
    QCOMPARE(ReadSetting(Settings::DownloadMethod), QStringLiteral("2"));
    QCOMPARE(ReadSetting(Settings::ConnectionCountIndex), QStringLiteral("4"));
    using namespace Settings::Placement;
    QCOMPARE(ReadSetting(DownloadWindowSection, Resolution, QString()), ScreenResolutionText());
    QCOMPARE(ReadSetting(DownloadWindowSection, Width, QString()), QString::number(width * 15));
}

void TestFileDownloadWindow::menuBarStatesFollowTheMoment_data()
{
    QTest::addColumn<bool>("busyAtRightClick");
    QTest::newRow("right click while idle, menu bar while downloading") << false;
    QTest::newRow("right click while downloading, menu bar after the stop") << true;
}

void TestFileDownloadWindow::menuBarStatesFollowTheMoment()
{
    QFETCH(bool, busyAtRightClick);
    fFileDownload *window = windowWithAStallingRow();
    auto *view = window->findChild<QTreeView *>(QStringLiteral("ListView3"));
    QMenu *listMenu = window->menuBar()->actions().first()->menu();
    const auto rightClick = [&] {
        Q_EMIT view->customContextMenuRequested(QPoint(5, 5));
        QTRY_VERIFY(listMenu->isVisible());
        listMenu->close();
    };
    const auto start = [&] {
        child<QPushButton>(window, "Command4")->click();
        QTRY_COMPARE_WITH_TIMEOUT(window->list().at(0).StatusCode, Status::Downloading, 10000);
    };
    if (busyAtRightClick)
        start();
    rightClick();
    if (busyAtRightClick)
        child<QPushButton>(window, "Command31")->click();
    else
        start();
    const bool busy = !busyAtRightClick;

    // Opened from the menu bar, the menu shows the states of this moment.
    window->menuBar()->setActiveAction(window->menuBar()->actions().first());
    QTRY_VERIFY(listMenu->isVisible());
    const auto entry = [window](const QString &caption) {
        return window->menuEntry({ QStringLiteral("列表操作(&D)"), caption });
    };
    QCOMPARE(entry(QStringLiteral("清空"))->isEnabled(), !busy);
    QCOMPARE(entry(QStringLiteral("清除"))->isEnabled(), !busy);
    QCOMPARE(entry(QStringLiteral("全选"))->isEnabled(), !busy);
    QCOMPARE(entry(QStringLiteral("停止下载"))->isEnabled(), busy);
    listMenu->close();
    child<QPushButton>(window, "Command31")->click();
    QTRY_VERIFY(partFiles(folder()).isEmpty());
}

void TestFileDownloadWindow::exportCitationsFromTheListMenu()
{
    fFileDownload *window = m_rig->windows->showDownloadWindow();
    DownloadList &rows = window->list();
    QVERIFY(rows.addItem(m_rig->server.urlText(QStringLiteral("/one.pdf")), QStringLiteral("one"),
        QStringLiteral("pdf"), folder(), {}));
    QVERIFY(rows.addItem(m_rig->server.urlText(QStringLiteral("/two.pdf")), QStringLiteral("two"),
        QStringLiteral("pdf"), folder(), {}));
    QAction *entry
        = window->menuEntry({ QStringLiteral("列表操作(&D)"), QStringLiteral("导出引用...") });
    QVERIFY(entry);

    // A cancelled save dialog writes nothing and says nothing.
    entry->trigger();
    QVERIFY(m_rig->dialogs.messages.isEmpty());

    const QString path = m_rig->dir.path() + QStringLiteral("/引用.ris");
    m_rig->dialogs.fileNames.enqueue(path);
    entry->trigger();
    const QByteArray written = readFile(path);
    QCOMPARE(written.count("TY  - "), 2);
    QVERIFY(written.contains(m_rig->server.urlText(QStringLiteral("/one.pdf")).toUtf8()));
    QCOMPARE(m_rig->dialogs.messages.constLast().text, QStringLiteral("导出引用完毕：2条"));
}

void TestFileDownloadWindow::statusBarPanelsAndPercentColumn()
{
    fFileDownload *window = m_rig->windows->showDownloadWindow();
    // The form's four panels, then the speed and the time left, empty while
    // nothing is downloaded.
    for (int number = 1; number <= 6; ++number)
        QVERIFY(window->panel(number));
    QVERIFY(!window->panel(7));
    QCOMPARE(window->panel(5)->text(), QString());
    QCOMPARE(window->panel(6)->text(), QString());
    QVERIFY(!window->session().transferRateShown());
    QTRY_VERIFY(window->panel(4)->geometry().right() < window->panel(5)->geometry().left());
    QVERIFY(window->panel(5)->geometry().right() < window->panel(6)->geometry().left());
    QVERIFY(window->panel(6)->geometry().right() <= window->statusBar()->width());

    auto *view = child<QTreeView>(window, "ListView3");
    QVERIFY(qobject_cast<ProgressBarDelegate *>(
        view->itemDelegateForColumn(DownloadList::PercentColumn)));
    QVERIFY(!qobject_cast<ProgressBarDelegate *>(
        view->itemDelegateForColumn(DownloadList::NameColumn)));
}

void TestFileDownloadWindow::deleteAndEnterKeys()
{
    fFileDownload *window = m_rig->windows->showDownloadWindow();
    addRow(window, "a", Status::Completed);
    addRow(window, "b", Status::Waiting);
    addRow(window, "c", Status::Failed);
    QVERIFY(writeFile(folder() + QStringLiteral("a.pdf"), "%PDF-1.4"));
    QVERIFY(writeFile(folder() + QStringLiteral("b.pdf"), "%PDF-1.4"));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto *view = child<QTreeView>(window, "ListView3");
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());

    // Enter opens a finished row's file, through the shell; on a row that is
    // not finished it does nothing.
    view->setCurrentIndex(view->model()->index(1, 0));
    QTest::keyClick(view, Qt::Key_Return);
    QVERIFY(m_rig->shell.requests.isEmpty());
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view, Qt::Key_Enter);
    QCOMPARE(m_rig->shell.requests,
        (QList<FakeShell::Request> {
            { FakeShell::Kind::OpenDocument, folder() + QStringLiteral("a.pdf") } }));
    QVERIFY(m_rig->dialogs.messages.isEmpty());

    // Delete asks first; No keeps the rows, Yes clears them as "清除"/"选中项".
    view->selectionModel()->select(view->model()->index(1, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->selectionModel()->select(
        view->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_rig->dialogs.answers.enqueue(UserDialogs::Answer::No);
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(m_rig->dialogs.messages.size(), 1);
    QCOMPARE(
        m_rig->dialogs.messages.first().text, QStringLiteral("确定要从列表中清除选中的2项吗？"));
    QCOMPARE(m_rig->dialogs.messages.first().style, UserDialogs::Style::QuestionYesNo);
    QCOMPARE(window->list().size(), 3);
    m_rig->dialogs.answers.enqueue(UserDialogs::Answer::Yes);
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(keys(window), QStringList { key("a") });
    QCOMPARE(child<QLabel>(window, "Label1")->text(), QStringLiteral("1条"));
    // Rows only leave the list: their files stay.
    QVERIFY(QFile::exists(folder() + QStringLiteral("b.pdf")));

    // While a download runs the key is refused as the menu entry is, without
    // the question.
    addRow(window, "d", Status::Waiting);
    switchOnQuietly(window->session().scheduler());
    view->selectAll();
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(m_rig->dialogs.messages.size(), 3);
    QCOMPARE(m_rig->dialogs.messages.last().text, QStringLiteral("停止下载以后，才能执行此操作！"));
    QCOMPARE(window->list().size(), 2);
}

void TestFileDownloadWindow::listKeptAcrossAClose_data()
{
    QTest::addColumn<bool>("restore");
    QTest::newRow("restored") << true;
    QTest::newRow("declined") << false;
}

void TestFileDownloadWindow::listKeptAcrossAClose()
{
    QFETCH(bool, restore);
    fFileDownload *window = m_rig->windows->showDownloadWindow();
    addRow(window, "a", Status::Completed);
    addRow(window, "b", Status::Failed);
    addRow(window, "c", Status::Downloading);
    m_rig->dialogs.answers.enqueue(UserDialogs::Answer::Yes); // force the close
    QVERIFY(window->close());
    const DownloadListStore store(m_rig->paths.dataFolder());
    QVERIFY(QFile::exists(store.filePath()));
    QCOMPARE(store.savedRowCount().value_or(-1), qsizetype(3));

    // The hand-off makes the window hidden: nothing is asked yet.
    fFileDownload *next = m_rig->windows->openDownloadWindow();
    addRow(next, "b", Status::Waiting);
    addRow(next, "d", Status::Waiting);
    QTest::qWait(20);
    QCOMPARE(m_rig->dialogs.messages.size(), 1);

    // Shown to the user: asked once.
    m_rig->dialogs.answers.enqueue(restore ? UserDialogs::Answer::Yes : UserDialogs::Answer::No);
    QCOMPARE(m_rig->windows->showDownloadWindow(), next);
    QTRY_COMPARE(m_rig->dialogs.messages.size(), 2);
    QCOMPARE(m_rig->dialogs.messages.last().text,
        QStringLiteral("上次的下载列表还有2项未完成，是否恢复？"));
    QCOMPARE(m_rig->dialogs.messages.last().style, UserDialogs::Style::QuestionYesNo);
    if (restore) {
        // Saved rows ahead, the key already there dropped; the row that was
        // being downloaded waits again.
        QCOMPARE(keys(next), (QStringList { key("a"), key("c"), key("b"), key("d") }));
        QCOMPARE(next->list().at(0).StatusCode, Status::Completed);
        QCOMPARE(next->list().at(1).StatusCode, Status::Waiting);
        QCOMPARE(next->list().at(1).Size, StatusText::WaitingAgain);
        QCOMPARE(child<QLabel>(next, "Label1")->text(), QStringLiteral("4条"));
    } else {
        QCOMPARE(keys(next), (QStringList { key("b"), key("d") }));
        QVERIFY(!QFile::exists(store.filePath()));
    }
    next->hide();
    next->show();
    QTest::qWait(20);
    QCOMPARE(m_rig->dialogs.messages.size(), 2);
}

void TestFileDownloadWindow::finishedListIsNotKept()
{
    // A list restored earlier and now finished leaves no saved list behind.
    {
        DownloadList earlier;
        earlier.addItem(key("a"), QStringLiteral("a"), QStringLiteral("pdf"), folder(), {});
        QVERIFY(DownloadListStore(m_rig->paths.dataFolder()).save(earlier));
    }
    m_rig->dialogs.answers.enqueue(UserDialogs::Answer::Yes);
    fFileDownload *window = m_rig->windows->showDownloadWindow();
    QTRY_COMPARE(window->list().size(), 1);
    window->list().update(0, [](DownloadItem &item) { item.StatusCode = Status::Completed; });
    QVERIFY(window->close());
    QCOMPARE(m_rig->dialogs.messages.size(), 1);
    QVERIFY(!DownloadListStore(m_rig->paths.dataFolder()).exists());
}

QTEST_MAIN(TestFileDownloadWindow)
#include "tst_filedownloadwindow.moc"
