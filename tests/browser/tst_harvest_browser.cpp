#include "BrowserTestMain.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FixtureServer.h"
#include "LiteratureSite.h"
#include "common/Doi.h"
#include "platform/webengine/WebEngineBrowser.h"
#include "search/AnalysisList.h"
#include "search/Harvester.h"
#include "search/SaveFolderSource.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QWebEnginePage>

#include <csignal>
#include <memory>
#include <sys/types.h>

// Harvesting today's result pages through the real browser engine, against
// the fixture site; the harvester's waits read a clock the test moves.
class tst_HarvestBrowser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void todaysPages();
    void busyPageIsAskedAgain();
    void failingPageEndsTheRun();
    void firstPageThatNeverCompletes();
    void stopIsPromptInEveryWait_data();
    void stopIsPromptInEveryWait();
    void crashedRendererEndsTheRun();

private:
    QString url(const QString &path) const { return m_server.urlText(path); }
    bool runEnds(int timeoutMs = 60000)
    {
        return runUntil([&] { return !m_harvester->isRunning(); }, timeoutMs);
    }

    FixtureServer m_server;
    FakeClock m_clock;
    FakeDialogs m_dialogs;
    SaveFolderValues m_folders;
    std::unique_ptr<WebEngineBrowser> m_browser;
    std::unique_ptr<AnalysisList> m_list;
    std::unique_ptr<Harvester> m_harvester;
};

void tst_HarvestBrowser::initTestCase()
{
    LiteratureSite::install(m_server);
    QVERIFY(m_server.listen());
}

void tst_HarvestBrowser::init()
{
    m_browser = std::make_unique<WebEngineBrowser>();
    m_list = std::make_unique<AnalysisList>();
    m_harvester = std::make_unique<Harvester>(*m_browser, *m_list, m_folders, m_dialogs, m_clock);
    m_harvester->setPollIntervalMs(10);
    m_harvester->setPauseSeconds(0);
}

void tst_HarvestBrowser::cleanup()
{
    m_harvester.reset();
    m_list.reset();
    m_browser.reset();
    // The picture that never comes holds its connection until the server lets go.
    m_server.stop();
    QVERIFY(m_server.listen(m_server.port()));
}

void tst_HarvestBrowser::todaysPages()
{
    const QString query = QStringLiteral("engine pages-3");
    QSignalSpy ended(m_harvester.get(), &Harvester::runEnded);
    QVERIFY(m_harvester->startRun(
        url(LiteratureSite::todaySearchPath(query)), Harvester::Scope::AllPages));
    QVERIFY(runEnds());
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).value<HarvestEnd>(), HarvestEnd::LastPage);
    QCOMPARE(m_harvester->pagesTaken(), 3);

    QList<LiteratureSite::TodayResult> expected;
    for (int page = 1; page <= 3; ++page)
        expected += LiteratureSite::todayEntries(query, page);
    QCOMPARE(m_list->size(), expected.size());
    for (int row = 0; row < m_list->size(); ++row) {
        const AnalysisItem &item = m_list->at(row);
        QCOMPARE(item.Title, expected.at(row).title);
        QCOMPARE(item.Doi, expected.at(row).doi);
        QCOMPARE(item.Kind, expected.at(row).kind);
        QCOMPARE(item.Link, url(LiteratureSite::pdfPathForDoi(expected.at(row).doi)));
    }
    QCOMPARE(
        m_list->at(m_list->size() - 1).SourcePage, url(LiteratureSite::todaySearchPath(query, 3)));
}

void tst_HarvestBrowser::busyPageIsAskedAgain()
{
    const QString query = QStringLiteral("wait pages-2 busy-2");
    QSignalSpy waiting(m_harvester.get(), &Harvester::retryWaiting);
    QVERIFY(m_harvester->startRun(
        url(LiteratureSite::todaySearchPath(query)), Harvester::Scope::AllPages));
    QVERIFY(runUntil([&] { return waiting.size() == 1; }));
    QCOMPARE(waiting.at(0).at(0).toString(), QStringLiteral("服务器繁忙，5 秒后重试（HTTP 503）"));
    m_clock.advance(5.1);
    QVERIFY(runUntil([&] { return waiting.size() == 2; }));
    QCOMPARE(waiting.at(1).at(0).toString(), QStringLiteral("服务器繁忙，20 秒后重试（HTTP 503）"));
    m_clock.advance(20.1);
    QVERIFY(runEnds());
    QCOMPARE(m_harvester->endReason(), HarvestEnd::LastPage);
    QCOMPARE(m_harvester->pagesTaken(), 2);
    QCOMPARE(m_harvester->entriesTaken(),
        int(LiteratureSite::todayEntries(query, 1).size()
            + LiteratureSite::todayEntries(query, 2).size()));
}

void tst_HarvestBrowser::failingPageEndsTheRun()
{
    const QString query = QStringLiteral("fail pages-3 broken-2");
    QVERIFY(m_harvester->startRun(
        url(LiteratureSite::todaySearchPath(query)), Harvester::Scope::AllPages));
    QVERIFY(runEnds());
    QCOMPARE(m_harvester->endReason(), HarvestEnd::PageFailed);
    QCOMPARE(m_harvester->endMessage(),
        QStringLiteral("下一页未能打开：") + url(LiteratureSite::todaySearchPath(query, 2))
            + QStringLiteral("，服务器内部错误（HTTP 500）"));
    QCOMPARE(m_harvester->pagesTaken(), 1);
}

void tst_HarvestBrowser::firstPageThatNeverCompletes()
{
    // Its picture never arrives: after 60 s on the clock the run fails and
    // the load is stopped.
    const QString first = url(LiteratureSite::todaySearchPath(QStringLiteral("h pages-2 hang-1")));
    QVERIFY(m_harvester->startRun(first, Harvester::Scope::AllPages));
    QVERIFY(runUntil([&] { return m_browser->url() == first; }));
    QTest::qWait(200);
    QVERIFY(m_harvester->isRunning());
    QVERIFY(m_browser->isBusy());
    m_clock.advance(60.5);
    QVERIFY(runEnds(5000));
    QCOMPARE(m_harvester->endReason(), HarvestEnd::FirstPageFailed);
    QCOMPARE(m_harvester->endMessage(),
        QStringLiteral("第一页未能打开：") + first + QStringLiteral("，60 秒内未能打开"));
    QVERIFY(runUntil([&] { return !m_browser->isBusy(); }, 5000));
}

void tst_HarvestBrowser::stopIsPromptInEveryWait_data()
{
    QTest::addColumn<QString>("words");
    QTest::newRow("page 2 slow to answer") << QStringLiteral("slow-2");
    QTest::newRow("page 2 never completes") << QStringLiteral("hang-2");
    QTest::newRow("page 2 opens itself over and over") << QStringLiteral("hop-2");
}

void tst_HarvestBrowser::stopIsPromptInEveryWait()
{
    QFETCH(QString, words);
    const QString query = QStringLiteral("stop pages-3 ") + words;
    QVERIFY(m_harvester->startRun(
        url(LiteratureSite::todaySearchPath(query)), Harvester::Scope::AllPages));
    QVERIFY(runUntil([&] { return m_harvester->pagesTaken() == 1; }));
    QTest::qWait(400);
    QVERIFY(m_harvester->isRunning());
    QVERIFY(m_browser->isBusy());

    QElapsedTimer elapsed;
    elapsed.start();
    m_harvester->requestStop();
    QVERIFY(!m_harvester->isRunning());
    QCOMPARE(m_harvester->endReason(), HarvestEnd::Stopped);
    // The page load is stopped with it.
    QVERIFY(runUntil([&] { return !m_browser->isBusy(); }, 1000));
    QVERIFY(elapsed.elapsed() < 1000);
    QCOMPARE(m_harvester->pagesTaken(), 1);
}

void tst_HarvestBrowser::crashedRendererEndsTheRun()
{
    const QString query = QStringLiteral("crash pages-3 slow-2");
    QVERIFY(m_harvester->startRun(
        url(LiteratureSite::todaySearchPath(query)), Harvester::Scope::AllPages));
    QVERIFY(runUntil([&] { return m_harvester->pagesTaken() == 1; }));
    const qint64 pid = m_browser->page()->renderProcessPid();
    QVERIFY(pid > 0);
    ::kill(pid_t(pid), SIGKILL);
    QVERIFY(runEnds(20000));
    QCOMPARE(m_harvester->endReason(), HarvestEnd::RendererCrashed);
    QVERIFY2(m_harvester->endMessage().startsWith(QStringLiteral("页面渲染进程崩溃：")),
        qPrintable(m_harvester->endMessage()));
    // The page comes back; the run that ended takes nothing more.
    QVERIFY(runUntil([&] {
        return !m_browser->isBusy() && m_browser->lastLoad().ok
            && m_browser->page()->renderProcessPid() != pid;
    }));
    QCOMPARE(m_harvester->pagesTaken(), 1);
}

QUILLMOOR_BROWSER_TEST_MAIN(tst_HarvestBrowser)
#include "tst_harvest_browser.moc"
