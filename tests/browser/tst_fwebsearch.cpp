#include "AnalysisRows.h"
#include "BrowserTestMain.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FakeShell.h"
#include "FixtureServer.h"
#include "LiteratureSite.h"
#include "RecordingSoundPlayer.h"
#include "app/ui/AppWindows.h"
#include "common/AppValues.h"
#include "common/SettingsStore.h"
#include "common/WindowNames.h"
#include "common/ui/OpenWindows.h"
#include "common/ui/WindowPlacement.h"
#include "download/DownloadList.h"
#include "download/ui/fFileDownload.h"
#include "platform/AppPaths.h"
#include "platform/webengine/WebEngineBrowser.h"
#include "search/AnalysisList.h"
#include "search/AnalysisListStore.h"
#include "search/DownloadTarget.h"
#include "search/HarvestEnd.h"
#include "search/Harvester.h"
#include "search/SaveFolderSource.h"
#include "search/SearchBrowsing.h"
#include "search/ui/fWebSearch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QWebEngineView>

#include <optional>

namespace {

// A download list of its own, for a search window made without the program.
class ListTarget final : public DownloadTarget
{
public:
    DownloadList &downloadList() override { return list; }
    void 显示下载窗口(bool) override { }
    DownloadList list;
};

} // namespace

// The search window on the real browser engine against the fixture site.
class tst_fWebSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void openingSteps();
    void typedAddressSetsSilentMode_data();
    void typedAddressSetsSilentMode();
    void historyTakesEachAddressOnce();
    void harvestWithPageLimit();
    void stopDuringTheWait();
    void innerFramesLeavePageLoading();
    void analysisHandsRowsToTheDownloadWindow();
    void selectedRowsClearingAndExport();
    void exportCitations();
    void clearingRowsApartLeavesNothingSelected();
    void listIsKeptAcrossAClose();
    void placementFitsTheScreenAndIsRemembered();
    void requestsLeaveTheWindow_data();
    void requestsLeaveTheWindow();

private:
    fWebSearch *openWindow();
    bool waitForPage(fWebSearch *window, const QString &path);
    // Opens the window on page 1 of a search and takes its entries.
    bool openWithFirstPage(const QString &query);
    // Answers the save-folder dialog with `folder` whenever it opens.
    void answerSaveFolder(QTimer &timer, const QString &folder, QString *dialogName);
    // Runs until `done`, moving the fake clock so the pauses end.
    bool runWithClock(const std::function<bool()> &done);
    QString url(const QString &path) const { return m_server.urlText(path); }

    FixtureServer m_server;
    FakeClock m_clock;
    FakeDialogs m_dialogs;
    FakeShell m_shell;
    RecordingSoundPlayer m_player;
    AppValues m_values;
    std::optional<QTemporaryDir> m_dir;
    std::optional<FixedAppPaths> m_paths;
    std::optional<AppWindows> m_windows;
    QPointer<fWebSearch> m_window;
};

void tst_fWebSearch::initTestCase()
{
    LiteratureSite::install(m_server);
    QVERIFY(m_server.listen());
}

void tst_fWebSearch::init()
{
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
        QStringLiteral("Quillmoor"))
        .clear();
    WriteSetting(
        SearchBrowsing::HomePage.section, SearchBrowsing::HomePage.key, url(QStringLiteral("/")));
    // Entries take no folder when extracted; the run asks for it.
    WriteSetting(Settings::AskSaveFolderOnExtract.section, Settings::AskSaveFolderOnExtract.key,
        QStringLiteral("0"));
    m_dialogs = FakeDialogs();
    m_values = AppValues();
    m_dir.emplace();
    m_paths.emplace(m_dir->path());
    m_windows.emplace(
        AppServices { m_values, m_clock, *m_paths, m_player, m_dialogs, m_shell, nullptr });
}

void tst_fWebSearch::cleanup()
{
    delete m_window.data();
    m_windows.reset();
}

fWebSearch *tst_fWebSearch::openWindow()
{
    m_window = m_windows->showSearchWindow();
    m_window->harvester().setPollIntervalMs(20);
    return m_window;
}

bool tst_fWebSearch::waitForPage(fWebSearch *window, const QString &path)
{
    return runUntil(
        [&] { return !window->browser().isBusy() && window->browser().url() == url(path); });
}

bool tst_fWebSearch::openWithFirstPage(const QString &query)
{
    fWebSearch *window = openWindow();
    window->browser().navigate(url(LiteratureSite::searchPath(query)));
    if (!waitForPage(window, LiteratureSite::searchPath(query)))
        return false;
    window->findChild<QPushButton *>(QStringLiteral("Command9"))->click();
    return runUntil([&] { return window->list().size() == LiteratureSite::ResultsPerPage - 1; });
}

void tst_fWebSearch::answerSaveFolder(QTimer &timer, const QString &folder, QString *dialogName)
{
    // From a timer: the dialog runs its own loop.
    connect(&timer, &QTimer::timeout, this, [&timer, folder, dialogName] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        timer.stop();
        *dialogName = dialog->objectName();
        dialog->findChild<QComboBox *>(QStringLiteral("Combo1"))->setCurrentText(folder);
        dialog->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    });
    timer.start(10);
}

bool tst_fWebSearch::runWithClock(const std::function<bool()> &done)
{
    // Half a second of the program's time per 20 ms: a page that loads
    // within 2 s of real time beats the 60-second limit.
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [this] { m_clock.advance(0.5); });
    ticker.start(20);
    return runUntil(done, 30000);
}

void tst_fWebSearch::openingSteps()
{
    fWebSearch *window = openWindow();
    QCOMPARE(window->objectName(), QStringLiteral("fWebSearch"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Springer数据检索分析-Quillmoor"));
    QVERIFY(window->isVisible());
    QVERIFY(IsWindowOpen(WindowName::WebSearch));

    QStringList menus;
    for (QAction *action : window->menuBar()->actions()) {
        if (action->isVisible())
            menus << action->text();
    }
    QCOMPARE(menus,
        QStringList({ QStringLiteral("浏览(&B)"), QStringLiteral("清除(&C)"),
            QStringLiteral("工具(&T)"), QStringLiteral("帮助(&H)") }));
    QStringList addEntries;
    for (QAction *action : window->addMenu()->actions())
        addEntries << action->text();
    QCOMPARE(addEntries,
        QStringList({ QStringLiteral("分析未分析项"), QStringLiteral("分析失败项"),
            QStringLiteral("分析选中项"), QStringLiteral("分析全部") }));
    for (const QString &entry :
        { QStringLiteral("打开Springer首页"), QStringLiteral("打开指定网址..."),
            QStringLiteral("后退"), QStringLiteral("前进"), QStringLiteral("关闭本窗口") })
        QVERIFY2(window->menuEntry({ QStringLiteral("浏览(&B)"), entry }), qPrintable(entry));
    for (const QString &entry : { QStringLiteral("清除选中项"), QStringLiteral("清除分析成功项"),
             QStringLiteral("清除标题含指定字符项"), QStringLiteral("清除标题不含指定字符项"),
             QStringLiteral("清空全部") })
        QVERIFY2(window->menuEntry({ QStringLiteral("清除(&C)"), entry }), qPrintable(entry));
    // No maker's site: its entries stay away.
    const QList<QAction *> help
        = window->menuEntry({ QStringLiteral("帮助(&H)") })->menu()->actions();
    QCOMPARE(
        std::count_if(help.cbegin(), help.cend(), [](QAction *a) { return a->isVisible(); }), 1);

    // Silent, home page shown, one history entry.
    auto *check2 = window->findChild<QCheckBox *>(QStringLiteral("Check2"));
    QVERIFY(check2->isChecked());
    QVERIFY(window->browser().isSilent());
    QVERIFY(waitForPage(window, QStringLiteral("/")));
    auto *combo1 = window->findChild<QComboBox *>(QStringLiteral("Combo1"));
    QVERIFY(runUntil([&] { return combo1->count() == 1; }));
    QCOMPARE(combo1->itemText(0), url(QStringLiteral("/")));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral("0"));
    QVERIFY(window->analysisIdle());

    // The list and the browser share the width through a splitter.
    auto *bar = window->findChild<QSplitter *>(QStringLiteral("PicBar"));
    QCOMPARE(bar->widget(0)->objectName(), QStringLiteral("PicPanList"));
    QCOMPARE(bar->widget(1)->objectName(), QStringLiteral("PicPanWeb"));
    QVERIFY(bar->widget(1)->isAncestorOf(
        window->findChild<QWebEngineView *>(QStringLiteral("WebBrowser1"))));
}

void tst_fWebSearch::typedAddressSetsSilentMode_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("navigates");
    QTest::newRow("https in upper case")
        << QStringLiteral("  HTTPS://127.0.0.1:1/x ") << false << true;
    QTest::newRow("http") << QStringLiteral("%1") << true << true;
    QTest::newRow("empty answer") << QString() << true << false;
}

void tst_fWebSearch::typedAddressSetsSilentMode()
{
    QFETCH(QString, answer);
    QFETCH(bool, silent);
    QFETCH(bool, navigates);
    if (answer == QStringLiteral("%1"))
        answer = url(LiteratureSite::searchPath(QStringLiteral("cells")));
    fWebSearch *window = openWindow();
    QVERIFY(waitForPage(window, QStringLiteral("/")));
    auto *check2 = window->findChild<QCheckBox *>(QStringLiteral("Check2"));
    check2->setChecked(!silent);
    m_dialogs.inputs.enqueue(answer);
    QSignalSpy started(&window->browser(), &Browser::loadStarted);
    window->menuEntry({ QStringLiteral("浏览(&B)"), QStringLiteral("打开指定网址...") })->trigger();
    QCOMPARE(check2->isChecked(), silent);
    QCOMPARE(window->browser().isSilent(), silent);
    if (navigates) {
        QVERIFY(started.wait(20000));
    } else {
        QTest::qWait(100);
        QCOMPARE(started.size(), 0);
        QCOMPARE(window->browser().url(), url(QStringLiteral("/")));
    }
}

void tst_fWebSearch::historyTakesEachAddressOnce()
{
    m_values.SiteAddress = QStringLiteral("http://localhost:%1/").arg(m_server.port());
    fWebSearch *window = openWindow();
    auto *combo1 = window->findChild<QComboBox *>(QStringLiteral("Combo1"));
    QVERIFY(waitForPage(window, QStringLiteral("/")));
    QVERIFY(runUntil([&] { return combo1->count() == 1; }));
    const QString search = LiteratureSite::searchPath(QStringLiteral("cells"));
    window->browser().navigate(url(search));
    QVERIFY(waitForPage(window, search));
    window->browser().navigate(url(QStringLiteral("/")));
    QVERIFY(waitForPage(window, QStringLiteral("/")));
    // The maker's pages never enter the history, and hide the status bar.
    window->browser().navigate(
        m_values.SiteAddress + QStringLiteral("book/") + LiteratureSite::BookDoi);
    QVERIFY(
        runUntil([&] { return !window->statusBar()->isVisible() && !window->browser().isBusy(); }));
    QTest::qWait(50);
    QCOMPARE(combo1->count(), 2);
    QCOMPARE(combo1->itemText(1), url(search));
    // Back goes one step, to the home page again: nothing new.
    window->goBack();
    QVERIFY(waitForPage(window, QStringLiteral("/")));
    QVERIFY(runUntil([&] { return window->statusBar()->isVisible(); }));
    QCOMPARE(combo1->count(), 2);
    // Choosing an entry opens it; "清空" empties the list.
    combo1->setCurrentIndex(1);
    Q_EMIT combo1->activated(1);
    QVERIFY(waitForPage(window, search));
    window->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(combo1->count(), 0);
}

void tst_fWebSearch::harvestWithPageLimit()
{
    fWebSearch *window = openWindow();
    const QString query = QStringLiteral("cells pages-5");
    window->browser().navigate(url(LiteratureSite::searchPath(query)));
    QVERIFY(waitForPage(window, LiteratureSite::searchPath(query)));

    auto *command4 = window->findChild<QPushButton *>(QStringLiteral("Command4"));
    auto *text1 = window->findChild<QLineEdit *>(QStringLiteral("Text1"));
    window->findChild<QCheckBox *>(QStringLiteral("Check1"))->setChecked(true);
    text1->setText(QStringLiteral("3.7"));
    command4->click();
    QCOMPARE(command4->text(), QStringLiteral("停止加入全部"));
    QVERIFY(command4->styleSheet().contains(QStringLiteral("255, 0, 0")));
    QVERIFY(!text1->isEnabled());
    QVERIFY(runWithClock([&] { return !window->harvester().isRunning(); }));
    QCOMPARE(command4->text(), QStringLiteral("加入全部到列表"));
    QVERIFY(command4->styleSheet().isEmpty());
    QVERIFY(text1->isEnabled());
    // Limit 3 from page 1: pages 1 to 3 are taken, and page 4 is not opened.
    QCOMPARE(window->harvester().pagesTaken(), 3);
    QCOMPARE(window->browser().url(), url(LiteratureSite::searchPath(query, 3)));
    const int perPage = LiteratureSite::ResultsPerPage - 1; // one preview-only entry
    QCOMPARE(window->list().size(), 3 * perPage);
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("Label1"))->text(),
        QString::number(3 * perPage));
    QCOMPARE(window->list().at(0).Title, LiteratureSite::resultTitle(query, 1, 0));
    QCOMPARE(window->list().at(perPage).SourcePage, url(LiteratureSite::searchPath(query, 2)));
    // The harvest panel says why the run ended.
    const QString ended = window->findChild<QLabel *>(QStringLiteral("Panel4"))->text();
    QCOMPARE(ended, window->harvester().endMessage());
    QVERIFY2(ended.startsWith(HarvestEndText(HarvestEnd::PageLimit)), qPrintable(ended));

    // "加入本页到列表" takes the page shown, whose entries are listed already.
    auto *command9 = window->findChild<QPushButton *>(QStringLiteral("Command9"));
    command9->click();
    QVERIFY(runUntil([&] { return command9->isEnabled(); }));
    QCOMPARE(window->list().size(), 3 * perPage);

    // A limit that is no number.
    text1->setText(QString());
    command4->click();
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.at(0).text, QStringLiteral("最大页码数必须是数字！"));
    QVERIFY(!window->harvester().isRunning());
}

void tst_fWebSearch::stopDuringTheWait()
{
    fWebSearch *window = openWindow();
    const QString query = QStringLiteral("stop pages-6");
    window->browser().navigate(url(LiteratureSite::searchPath(query)));
    QVERIFY(waitForPage(window, LiteratureSite::searchPath(query)));
    auto *command4 = window->findChild<QPushButton *>(QStringLiteral("Command4"));
    command4->click();
    // Page 1 taken, page 2 loaded: the run pauses (the clock stands still).
    QVERIFY(waitForPage(window, LiteratureSite::searchPath(query, 2)));
    QTest::qWait(100);
    QVERIFY(window->harvester().isRunning());
    QCOMPARE(window->harvester().pagesTaken(), 1);
    // Meanwhile the harvest panel shows what the run has taken.
    auto *panel4 = window->findChild<QLabel *>(QStringLiteral("Panel4"));
    QCOMPARE(panel4->text(), HarvestProgressText(1, LiteratureSite::ResultsPerPage - 1, 0));
    command4->click();
    QVERIFY(runUntil([&] { return !window->harvester().isRunning(); }));
    QCOMPARE(command4->text(), QStringLiteral("加入全部到列表"));
    // The page shown at the stop is not taken.
    QCOMPARE(window->harvester().pagesTaken(), 1);
    QCOMPARE(window->list().size(), LiteratureSite::ResultsPerPage - 1);
    QCOMPARE(panel4->text(), HarvestEndMessage(HarvestEnd::Stopped, {}));
}

void tst_fWebSearch::innerFramesLeavePageLoading()
{
    fWebSearch *window = openWindow();
    const QString query = QStringLiteral("frames pages-3");
    window->browser().navigate(url(LiteratureSite::searchPath(query)));
    QVERIFY(waitForPage(window, LiteratureSite::searchPath(query)));
    QList<bool> loadingAtFrames;
    QList<bool> loadingAfterPage;
    connect(&window->browser(), &Browser::frameDocumentComplete, this,
        [&] { loadingAtFrames << window->pageLoading(); });
    connect(
        &window->browser(), &Browser::documentComplete, this,
        [&] { loadingAfterPage << window->pageLoading(); }, Qt::QueuedConnection);
    bool opened = false;
    bool done = false;
    window->harvester().下一页([&](bool result) {
        opened = result;
        done = true;
    });
    QVERIFY(runWithClock([&] { return done; }));
    QVERIFY(opened);
    // The result page holds an advertisement frame: it completed while the
    // flag stayed set; the page itself cleared it.
    QVERIFY(!loadingAtFrames.isEmpty());
    QVERIFY(!loadingAtFrames.contains(false));
    QCOMPARE(loadingAfterPage, QList<bool> { false });
}

void tst_fWebSearch::analysisHandsRowsToTheDownloadWindow()
{
    const QString query = QStringLiteral("analyse");
    QVERIFY(openWithFirstPage(query));
    fWebSearch *window = m_window;

    // The run asks for the folder in the save-folder dialog.
    const QString folder = m_dir->filePath(QStringLiteral("papers"));
    QString dialogName;
    QTimer answer;
    answerSaveFolder(answer, folder, &dialogName);
    window->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    QVERIFY(runUntil([&] { return window->analysisIdle(); }));
    QCOMPARE(dialogName, QStringLiteral("fSeleFileSavePath"));
    QVERIFY(runUntil([&] {
        return !window->findChild<QWidget *>(QStringLiteral("PicPanPrograss"))->isVisible();
    }));
    fFileDownload *download = m_windows->downloadWindow();
    QVERIFY(download);
    QVERIFY(download->isVisible());
    QCOMPARE(download->list().size(), LiteratureSite::ResultsPerPage - 1);
    for (int row = 0; row < window->list().size(); ++row)
        QCOMPARE(window->list().at(row).Status, QStringLiteral("成功"));
    QCOMPARE(download->list().at(0).Referer, url(LiteratureSite::searchPath(query)));
    QVERIFY(download->list().at(0).Folder.startsWith(folder));
    delete download;
}

void tst_fWebSearch::selectedRowsClearingAndExport()
{
    QVERIFY(openWithFirstPage(QStringLiteral("select")));
    fWebSearch *window = m_window;
    const int rows = LiteratureSite::ResultsPerPage - 1;

    // With rows selected, "开始分析" offers the variants.
    auto *view = window->findChild<QTreeView *>(QStringLiteral("ListView1"));
    view->selectionModel()->select(
        view->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->selectionModel()->select(
        view->model()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QVERIFY(window->list().hasSelection());
    window->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    QVERIFY(runUntil([&] { return window->addMenu()->isVisible(); }));
    window->addMenu()->hide();
    QString dialogName;
    QTimer answer;
    answerSaveFolder(answer, m_dir->filePath(QStringLiteral("sel")), &dialogName);
    window->menuEntry({ QStringLiteral("加入"), QStringLiteral("分析选中项") })->trigger();
    QVERIFY(runUntil([&] {
        return window->analysisIdle() && dialogName == QStringLiteral("fSeleFileSavePath");
    }));
    QStringList statuses;
    for (int row = 0; row < window->list().size(); ++row)
        statuses << window->list().at(row).Status;
    QCOMPARE(statuses.count(QStringLiteral("成功")), 2);
    QCOMPARE(statuses.at(1), QStringLiteral("成功"));
    QCOMPARE(statuses.at(3), QStringLiteral("成功"));

    // "清除分析成功项" from the menu; the counter follows.
    QVERIFY(runUntil([&] { return window->analysisIdle(); }));
    window->menuEntry({ QStringLiteral("清除(&C)"), QStringLiteral("清除分析成功项") })->trigger();
    QVERIFY2(m_dialogs.messages.isEmpty(), qPrintable(m_dialogs.messages.value(0).text));
    QCOMPARE(window->list().size(), rows - 2);
    QCOMPARE(
        window->findChild<QLabel *>(QStringLiteral("Label1"))->text(), QString::number(rows - 2));

    // "导出数据...": one line per row, CR LF, and the size message.
    const QString exportPath = m_dir->filePath(QStringLiteral("list.txt"));
    m_dialogs.fileNames.enqueue(exportPath);
    window->findChild<QPushButton *>(QStringLiteral("Command7"))->click();
    QFile exported(exportPath);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    const QByteArray bytes = exported.readAll();
    QCOMPARE(bytes.count("\r\n"), rows - 2);
    QVERIFY(bytes.endsWith(QStringLiteral("-【pdf】\r\n").toLocal8Bit()));
    QVERIFY(!m_dialogs.messages.isEmpty());
    QVERIFY(m_dialogs.messages.last().text.startsWith(QStringLiteral("保存文件完毕：")));
    QVERIFY(m_dialogs.messages.last().text.endsWith(QStringLiteral("KB")));
}

void tst_fWebSearch::exportCitations()
{
    QVERIFY(openWithFirstPage(QStringLiteral("cite")));
    fWebSearch *window = m_window;
    const int rows = window->list().size();
    auto *button = window->findChild<QPushButton *>(QStringLiteral("Command8"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("导出引用..."));

    // A cancelled save dialog writes nothing and says nothing.
    button->click();
    QVERIFY(m_dialogs.messages.isEmpty());

    const QString path = m_dir->filePath(QStringLiteral("引用.ris"));
    m_dialogs.fileNames.enqueue(path);
    button->click();
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    QCOMPARE(bytes.count("TY  - "), rows);
    QVERIFY(bytes.contains(window->list().at(0).Link.toUtf8()));
    QCOMPARE(m_dialogs.messages.constLast().text, QStringLiteral("导出引用完毕：%1条").arg(rows));
}

void tst_fWebSearch::clearingRowsApartLeavesNothingSelected()
{
    QVERIFY(openWithFirstPage(QStringLiteral("apart")));
    fWebSearch *window = m_window;
    const int rows = window->list().size();
    auto *view = window->findChild<QTreeView *>(QStringLiteral("ListView1"));
    for (const int row : { 1, 3 })
        view->selectionModel()->select(
            view->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window->list().setStatus(0, QStringLiteral("成功"));
    window->list().setStatus(2, QStringLiteral("成功"));

    // Rows 0 and 2 go at once: the view's selection is emptied, and so is
    // the list's, so nothing that looks unselected is taken later.
    window->menuEntry({ QStringLiteral("清除(&C)"), QStringLiteral("清除分析成功项") })->trigger();
    QCOMPARE(window->list().size(), rows - 2);
    QVERIFY(!view->selectionModel()->hasSelection());
    QVERIFY(!window->list().hasSelection());
    window->menuEntry({ QStringLiteral("清除(&C)"), QStringLiteral("清除选中项") })->trigger();
    QCOMPARE(window->list().size(), rows - 2);

    // What the view selects afterwards is what the list takes.
    view->selectionModel()->select(
        view->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(window->list().firstSelectedRow(), 2);
    window->menuEntry({ QStringLiteral("清除(&C)"), QStringLiteral("清除选中项") })->trigger();
    QCOMPARE(window->list().size(), rows - 3);
}

void tst_fWebSearch::listIsKeptAcrossAClose()
{
    const AnalysisListStore kept(m_dir->path());
    const auto counter = [this] {
        return m_window->findChild<QLabel *>(QStringLiteral("Label1"))->text();
    };

    // Nothing saved: no question. Rows at close are saved.
    fWebSearch *window = openWindow();
    QVERIFY(waitForPage(window, QStringLiteral("/")));
    QVERIFY(m_dialogs.messages.isEmpty());
    window->list().addItem(KeptAnalysisRow(QStringLiteral("a"), AnalysisStatus::Succeeded));
    window->list().addItem(KeptAnalysisRow(QStringLiteral("b"), AnalysisStatus::Failed));
    window->list().addItem(KeptAnalysisRow(QStringLiteral("c")));
    QVERIFY(window->close());
    QCOMPARE(kept.savedRowCount(), qsizetype(3));

    // The next window asks once it is shown; Yes brings the rows back with
    // their states.
    m_dialogs.answers.enqueue(UserDialogs::Answer::Yes);
    window = openWindow();
    QVERIFY(runUntil([this] { return !m_dialogs.messages.isEmpty(); }));
    QCOMPARE(
        m_dialogs.messages.first().text, QStringLiteral("上次的待分析列表还有3条，是否恢复？"));
    QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::QuestionYesNo);
    QCOMPARE(window->list().size(), 3);
    QCOMPARE(window->list().at(0).Status, AnalysisStatus::Succeeded);
    QCOMPARE(window->list().at(1).Status, AnalysisStatus::Failed);
    QCOMPARE(window->list().at(2).Doi, QStringLiteral("10.1007/c"));
    QCOMPARE(window->list().at(2).Kind, QStringLiteral("chapter"));
    QCOMPARE(counter(), QStringLiteral("3"));

    // Shown again after a minimise: no second question.
    window->showMinimized();
    window->showNormal();
    bool settled = false;
    QTimer::singleShot(0, this, [&settled] { settled = true; });
    QVERIFY(runUntil([&settled] { return settled; }));
    QCOMPARE(m_dialogs.messages.size(), 1);

    // "清空全部" clears for good.
    m_dialogs.answers.enqueue(UserDialogs::Answer::Yes);
    window->menuEntry({ QStringLiteral("清除(&C)"), QStringLiteral("清空全部") })->trigger();
    QCOMPARE(window->list().size(), 0);
    QVERIFY(!kept.exists());

    // No deletes the saved list; the new window's list stays empty.
    window->list().addItem(KeptAnalysisRow(QStringLiteral("d")));
    QVERIFY(window->close());
    QCOMPARE(kept.savedRowCount(), qsizetype(1));
    window = openWindow();
    QVERIFY(runUntil([this] { return m_dialogs.messages.size() == 3; }));
    QCOMPARE(m_dialogs.messages.last().text, QStringLiteral("上次的待分析列表还有1条，是否恢复？"));
    QVERIFY(!kept.exists());
    QCOMPARE(window->list().size(), 0);
    QCOMPARE(counter(), QStringLiteral("0"));
}

void tst_fWebSearch::placementFitsTheScreenAndIsRemembered()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    fWebSearch *window = openWindow();
    // The first run: as tall as the free area allows, not maximised.
    QVERIFY(!window->isMaximized());
    QVERIFY(area.contains(window->frameGeometry()));
    QVERIFY2(window->frameGeometry().height() >= area.height() - 60,
        qPrintable(QString::number(window->frameGeometry().height())));

    window->setGeometry(40, 50, 500, 400); // the window keeps its minimum width
    const QRect placed = window->geometry();
    QVERIFY(window->close());
    QCOMPARE(ReadSetting(WindowName::WebSearch, Settings::Placement::Resolution, QString()),
        ScreenResolutionText());
    QCOMPARE(ReadSetting(WindowName::WebSearch, Settings::Placement::Width, QString()),
        QString::number(placed.width() * 15));
    fWebSearch *again = openWindow();
    QCOMPARE(again->geometry(), placed);
    QVERIFY(again->close());

    // Stored beyond the screen's edges, it comes back inside them.
    WriteSetting(WindowName::WebSearch, Settings::Placement::Left,
        QString::number((area.right() - 100) * 15));
    WriteSetting(WindowName::WebSearch, Settings::Placement::Height,
        QString::number(area.height() * 2 * 15));
    fWebSearch *clamped = openWindow();
    QVERIFY(area.contains(clamped->frameGeometry()));
    QCOMPARE(clamped->width(), placed.width());
}

void tst_fWebSearch::requestsLeaveTheWindow_data()
{
    QTest::addColumn<QStringList>("entry");
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("download window")
        << QStringList { QStringLiteral("工具(&T)"), QStringLiteral("打开下载窗口") }
        << QByteArray(SIGNAL(downloadWindowRequested()));
    QTest::newRow("options") << QStringList { QStringLiteral("工具(&T)"), QStringLiteral("设置") }
                             << QByteArray(SIGNAL(optionsRequested()));
    QTest::newRow("about") << QStringList { QStringLiteral("帮助(&H)"), QStringLiteral("关于(&A)") }
                           << QByteArray(SIGNAL(aboutRequested()));
    QTest::newRow("view the cache")
        << QStringList { QStringLiteral("工具(&T)"), QStringLiteral("查看IE浏览器缓存") }
        << QByteArray(SIGNAL(cacheViewRequested()));
    QTest::newRow("empty the cache")
        << QStringList { QStringLiteral("工具(&T)"), QStringLiteral("清空IE浏览器缓存") }
        << QByteArray(SIGNAL(cacheClearRequested()));
}

// The window on its own, over plain save-folder values and a list of its
// own: each entry that belongs elsewhere only asks.
void tst_fWebSearch::requestsLeaveTheWindow()
{
    QFETCH(QStringList, entry);
    QFETCH(QByteArray, request);
    SaveFolderValues folders;
    ListTarget target;
    m_window = new fWebSearch(
        AppServices { m_values, m_clock, *m_paths, m_player, m_dialogs, m_shell }, folders, target);
    QSignalSpy asked(m_window.data(), request.constData());
    QSignalSpy closed(m_window.data(), &fWebSearch::closed);
    QAction *action = m_window->menuEntry(entry);
    QVERIFY(action && action->isVisible() && action->isEnabled());
    action->trigger();
    QCOMPARE(asked.size(), 1);
    QVERIFY(m_dialogs.messages.isEmpty());
    QVERIFY(m_window->close());
    QCOMPARE(closed.size(), 1);
}

QUILLMOOR_BROWSER_TEST_MAIN(tst_fWebSearch)
#include "tst_fwebsearch.moc"
