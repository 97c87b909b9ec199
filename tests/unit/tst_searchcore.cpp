#include "FakeBrowser.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "LiteratureSite.h"
#include "download/DownloadList.h"
#include "search/DownloadTarget.h"
#include "search/SaveFolderSource.h"
#include "search/SearchCore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

class ListTarget final : public DownloadTarget
{
public:
    DownloadList &downloadList() override { return list; }
    void 显示下载窗口(bool) override { }
    DownloadList list;
};

const QString Site = QStringLiteral("http://site.test");

} // namespace

// The road through the search window's core: a page harvested, entries
// analysed into the download list, the list cleared, the list kept at close.
class tst_SearchCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void harvestAnalyseClear();
    void closingStopsBothRuns();
};

void tst_SearchCore::harvestAnalyseClear()
{
    FakeBrowser browser;
    browser.setPageSource([](const QString &url) { return LiteratureSite::page(url); });
    SaveFolderValues folders;
    folders.AskOnExtract = true;
    folders.SaveFolder = QStringLiteral("/papers/");
    FakeDialogs dialogs;
    ListTarget target;
    FakeClock clock;
    QTemporaryDir dataFolder;
    SearchCore core(browser, folders, dialogs, target, clock, dataFolder.path());

    browser.navigate(Site + QStringLiteral("/book/") + LiteratureSite::BookDoi);
    QTRY_VERIFY(!browser.isBusy());
    QSignalSpy added(&core.harvester(), &Harvester::thisPageAdded);
    core.addThisPage();
    QVERIFY(added.wait());
    const int rows = core.list().size();
    QCOMPARE(rows, LiteratureSite::BookChapters + 2);

    // Clearing is refused while the run is active.
    QSignalSpy finished(&core.analysis(), &AnalysisRun::finished);
    QCOMPARE(core.startAnalysisClicked(), AnalysisRun::StartChoice::Started);
    core.clearAll();
    QCOMPARE(dialogs.messages.last().text, QStringLiteral("正在分析，不能清除！"));
    QVERIFY(finished.wait());
    QCOMPARE(target.list.size(), rows);
    QCOMPARE(target.list.at(rows - 1).Name, LiteratureSite::BookTitle);
    QCOMPARE(target.list.at(0).Folder, QStringLiteral("/papers/"));
    // The title's lines are joined with a space, not glued.
    QCOMPARE(target.list.at(0).Name, QStringLiteral("Front Matter Pages i-xii"));

    // Double click: the browser opens the selected row's link.
    core.list().setSelected(2, true);
    core.openSelectedEntry();
    QCOMPARE(browser.navigations().last(), core.list().at(2).Link);

    core.clearSucceeded();
    QVERIFY(core.list().isEmpty());
    QCOMPARE(core.list().counterText(), QStringLiteral("0"));
}

void tst_SearchCore::closingStopsBothRuns()
{
    FakeBrowser browser;
    browser.setPageSource([](const QString &url) { return LiteratureSite::page(url); });
    SaveFolderValues folders;
    FakeDialogs dialogs;
    ListTarget target;
    FakeClock clock;
    QTemporaryDir dataFolder;
    SearchCore core(browser, folders, dialogs, target, clock, dataFolder.path());
    browser.navigate(Site + LiteratureSite::searchPath(QStringLiteral("q")));
    QTRY_VERIFY(!browser.isBusy());
    browser.setAutoFinish(false);

    core.addAllClicked(QStringLiteral("10"));
    QTRY_VERIFY(browser.isBusy()); // waiting for page 2
    for (int row = 0; row < 3; ++row)
        core.list().setSelected(row, true);
    core.analyse(AnalysisFilter::Selected);
    core.windowClosing();
    QTRY_VERIFY(!core.harvester().isRunning());
    QTRY_VERIFY(!core.analysis().isRunning());
    QCOMPARE(target.list.size(), 0);
    // The rows taken so far are kept for the next window.
    QCOMPARE(core.keptList().savedRowCount(), qsizetype(core.list().size()));
    QVERIFY(core.list().size() > 0);
}

QTEST_GUILESS_MAIN(tst_SearchCore)
#include "tst_searchcore.moc"
