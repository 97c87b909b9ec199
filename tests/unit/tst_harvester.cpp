#include "EventWait.h"
#include "FakeBrowser.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "HtmlDocument.h"
#include "LiteratureSite.h"
#include "common/RetryWait.h"
#include "search/AnalysisList.h"
#include "search/Harvester.h"
#include "search/NextPageLink.h"
#include "search/SaveFolderSource.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

#include <memory>

namespace {

const QString Site = QStringLiteral("http://site.test");

// Results of a search when the preview-only entry of each page is left out.
int entriesUpToPage(const QString &query, int pages)
{
    int entries = 0;
    for (int page = 1; page <= pages; ++page)
        entries += LiteratureSite::resultsOnPage(query, page) - 1;
    return entries;
}

} // namespace

class tst_Harvester : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void pageNumber_data();
    void pageNumber();
    void relNextAddress_data();
    void relNextAddress();
    void limitText_data();
    void limitText();
    void harvestsEveryPage();
    void harvestsTodaysPages();
    void countsPagesWithoutEntries();
    void pausesAfterEachPage();
    void pageLimit_data();
    void pageLimit();
    void endReasons_data();
    void endReasons();
    void rendererCrashEndsTheRun();
    void retriesBusyPages_data();
    void retriesBusyPages();
    void loadWaitTimesOut();
    void firstPageStillLoadingTimesOut();
    void readingWaitIsBounded();
    void stopInEveryState_data();
    void stopInEveryState();
    void stopDuringLoadWait();
    void stopDuringPause();
    void addThisPageAsksForTheFolder();
    void addThisPageTakesAPageThatNeverCompletes();

private:
    void open(const QString &pathAndQuery);
    // Lets events run and moves the clock on until the run has ended.
    void runToEnd(double step = 1.0);
    // Lets events run (the clock stands still) until the condition holds.
    bool settle(const std::function<bool()> &done);

    std::unique_ptr<FakeBrowser> m_browser;
    std::unique_ptr<AnalysisList> m_list;
    std::unique_ptr<Harvester> m_harvester;
    SaveFolderValues m_folders;
    FakeDialogs m_dialogs;
    FakeClock m_clock;
};

void tst_Harvester::init()
{
    m_folders = SaveFolderValues();
    m_dialogs = FakeDialogs();
    m_browser = std::make_unique<FakeBrowser>();
    m_browser->setPageSource([](const QString &url) { return LiteratureSite::page(url); });
    m_list = std::make_unique<AnalysisList>();
    m_harvester = std::make_unique<Harvester>(*m_browser, *m_list, m_folders, m_dialogs, m_clock);
    m_harvester->setPollIntervalMs(1);
}

void tst_Harvester::cleanup()
{
    m_harvester.reset();
    m_list.reset();
    m_browser.reset();
}

void tst_Harvester::open(const QString &pathAndQuery)
{
    m_browser->navigate(Site + pathAndQuery);
    QTRY_VERIFY(!m_browser->isBusy());
}

bool tst_Harvester::settle(const std::function<bool()> &done)
{
    return waitForCondition(done, 5000);
}

void tst_Harvester::runToEnd(double step)
{
    for (int pass = 0; pass < 20000 && m_harvester->isRunning(); ++pass) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        m_clock.advance(step);
    }
    QVERIFY(!m_harvester->isRunning());
}

void tst_Harvester::pageNumber_data()
{
    QTest::addColumn<QString>("anchors");
    QTest::addColumn<int>("number");

    QTest::newRow("page 7 link") << QStringLiteral(
        "<a class=\"next\" title=\"next\" href=\"/search/page/7?query=x\">Next</a>")
                                 << 6;
    QTest::newRow("title any case, spaces around") << QStringLiteral(
        "<a class=\"next\" title=\" NEXT \" href=\"/search/page/3?query=x\">n</a>")
                                                   << 2;
    QTest::newRow("title 'Next page' is no next link") << QStringLiteral(
        "<a class=\"next\" title=\"Next page\" href=\"/search/page/3?query=x\">n</a>")
                                                       << 0;
    QTest::newRow("class must be exactly next") << QStringLiteral(
        "<a class=\"next link\" title=\"next\" href=\"/search/page/3?query=x\">n</a>")
                                                << 0;
    QTest::newRow("no ?query=, a later link counts")
        << QStringLiteral("<a class=\"next\" title=\"next\" href=\"/search/page/9\">n</a>"
                          "<a class=\"next\" title=\"next\" href=\"/s/PAGE/4?Query=x&y=1\">n</a>")
        << 3;
    QTest::newRow("not a number") << QStringLiteral(
        "<a class=\"next\" title=\"next\" href=\"/search/page/x?query=x\">n</a>")
                                  << 0;
    QTest::newRow("decimal rounds down") << QStringLiteral(
        "<a class=\"next\" title=\"next\" href=\"/search/page/2.9?query=x\">n</a>")
                                         << 1;
    QTest::newRow("no anchors") << QString() << 0;
    QTest::newRow("rel=next with page=4") << QStringLiteral(
        "<a class=\"eds-c-pagination__link\" rel=\"next\" href=\"/search?query=x&page=4\">n</a>")
                                          << 3;
    QTest::newRow("rel token among others, any case")
        << QStringLiteral("<a rel=\"nofollow  NEXT\" href=\"?page=12&query=x\">n</a>") << 11;
    QTest::newRow("a LINK element in the head")
        << QStringLiteral("<link rel=\"next\" href=\"https://site.test/s?page=2\">") << 1;
    QTest::newRow("page not a whole number")
        << QStringLiteral("<a rel=\"next\" href=\"/s?page=2.5\">n</a>") << 0;
    QTest::newRow("rel=next without page")
        << QStringLiteral("<a rel=\"next\" href=\"/s?p=3\">n</a>") << 0;
    QTest::newRow("the class and title next link comes first")
        << QStringLiteral("<a rel=\"next\" href=\"/s?page=9\">n</a>"
                          "<a class=\"next\" title=\"next\" href=\"/search/page/3?query=x\">n</a>")
        << 2;
}

void tst_Harvester::relNextAddress_data()
{
    QTest::addColumn<QString>("markup");
    QTest::addColumn<QString>("address");
    QTest::newRow("relative anchor") << QStringLiteral("<a rel=\"next\" href=\"?page=2\">n</a>")
                                     << Site + QStringLiteral("/search?page=2");
    QTest::newRow("first of A and LINK in document order")
        << QStringLiteral("<link rel=\"next\" href=\"/head\"><a rel=\"next\" href=\"/body\">n</a>")
        << Site + QStringLiteral("/head");
    QTest::newRow("prev and nofollow are not next")
        << QStringLiteral("<a rel=\"prev\" href=\"/p\">p</a><a rel=\"nextpage\" href=\"/q\">q</a>")
        << QString();
    QTest::newRow("a script address is passed over")
        << QStringLiteral("<a rel=\"next\" href=\"javascript:go()\">n</a>"
                          "<a rel=\"next\" href=\"/real\">n</a><a rel=\"next\">no address</a>")
        << Site + QStringLiteral("/real");
    QTest::newRow("another host is followed as the page says")
        << QStringLiteral("<a rel=\"external next\" href=\"https://other.test/s?page=2\">n</a>")
        << QStringLiteral("https://other.test/s?page=2");
}

void tst_Harvester::relNextAddress()
{
    QFETCH(QString, markup);
    QFETCH(QString, address);
    const HtmlDocument document(Site + QStringLiteral("/search?query=x"),
        QStringLiteral("<html><head>") + markup + QStringLiteral("</head><body></body></html>"));
    QCOMPARE(::relNextAddress(document), address);
}

void tst_Harvester::pageNumber()
{
    QFETCH(QString, anchors);
    QFETCH(int, number);
    const HtmlDocument document(
        Site + QStringLiteral("/search?query=x"), QStringLiteral("<body>") + anchors);
    QCOMPARE(提取当前页码数(&document), number);
}

void tst_Harvester::limitText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("2.7") << QStringLiteral("2.7") << true;
    QTest::newRow("spaces around") << QStringLiteral(" 3 ") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("letters") << QStringLiteral("ten") << false;
    QTest::newRow("inf") << QStringLiteral("inf") << false;
}

void tst_Harvester::limitText()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    open(LiteratureSite::searchPath(QStringLiteral("q pages-1")));
    QSignalSpy editable(m_harvester.get(), &Harvester::limitEditableChanged);
    m_harvester->addAllClicked(text);
    QCOMPARE(m_harvester->isRunning(), accepted);
    if (accepted) {
        QVERIFY(m_dialogs.messages.isEmpty());
        runToEnd();
        return;
    }
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().text, QStringLiteral("最大页码数必须是数字！"));
    QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::Error);
    QVERIFY(editable.isEmpty());
}

void tst_Harvester::harvestsEveryPage()
{
    const QString query = QStringLiteral("graphene pages-4");
    open(LiteratureSite::searchPath(query));
    QSignalSpy running(m_harvester.get(), &Harvester::runningChanged);
    m_harvester->setPageLimitEnabled(false);
    m_harvester->addAllClicked(QStringLiteral("1")); // not consulted without Check1
    QVERIFY(m_harvester->isRunning());
    runToEnd();

    // The last page, without a next link, is taken too.
    QCOMPARE(m_harvester->pagesTaken(), 4);
    QCOMPARE(m_list->size(), entriesUpToPage(query, 4));
    QCOMPARE(m_list->counterText(), QString::number(m_list->size()));
    QCOMPARE(m_list->at(0).SourcePage, Site + LiteratureSite::searchPath(query, 1));
    QCOMPARE(
        m_list->at(m_list->size() - 1).SourcePage, Site + LiteratureSite::searchPath(query, 4));
    QCOMPARE(running.size(), 2);
    QCOMPARE(running.at(0).at(0).toBool(), true);
    QCOMPARE(running.at(1).at(0).toBool(), false);
    QCOMPARE(m_harvester->endReason(), HarvestEnd::LastPage);
}

void tst_Harvester::harvestsTodaysPages()
{
    const QString query = QStringLiteral("rivers pages-3");
    open(LiteratureSite::todaySearchPath(query));
    QSignalSpy progress(m_harvester.get(), &Harvester::progressChanged);
    QSignalSpy ended(m_harvester.get(), &Harvester::runEnded);
    m_harvester->setPauseSeconds(0);
    m_harvester->addAllClicked(QStringLiteral("10"));
    runToEnd();

    QCOMPARE(m_harvester->pagesTaken(), 3);
    int expected = 0;
    for (int page = 1; page <= 3; ++page)
        expected += int(LiteratureSite::todayEntries(query, page).size());
    QCOMPARE(m_list->size(), expected);
    QCOMPARE(m_harvester->entriesTaken(), expected);
    QCOMPARE(m_harvester->pagesWithoutEntries(), 0);
    const LiteratureSite::TodayResult last = LiteratureSite::todayEntries(query, 3).last();
    QCOMPARE(m_list->at(m_list->size() - 1).Title, last.title);
    QCOMPARE(m_list->at(m_list->size() - 1).Doi, last.doi);
    QCOMPARE(m_list->at(m_list->size() - 1).SourcePage,
        Site + LiteratureSite::todaySearchPath(query, 3));
    // Followed by opening the rel="next" address.
    QCOMPARE(m_browser->navigations().mid(1),
        QStringList({ Site + LiteratureSite::todaySearchPath(query, 2),
            Site + LiteratureSite::todaySearchPath(query, 3) }));
    QCOMPARE(progress.size(), 4); // the start, then each page
    QCOMPARE(progress.last(), QVariantList({ 3, expected, 0 }));
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).value<HarvestEnd>(), HarvestEnd::LastPage);
    QCOMPARE(ended.at(0).at(1).toString(), QStringLiteral("已到最后一页"));
    QCOMPARE(m_harvester->progressText(), QStringLiteral("已加入 3 页、%1 条").arg(expected));
}

void tst_Harvester::countsPagesWithoutEntries()
{
    // Page 2 holds nothing any rule takes; the run goes on to page 3.
    m_browser->setPage(Site + QStringLiteral("/p1"),
        QStringLiteral("<a href=\"/article/10.1007/a-1\">A</a><a rel=\"next\" href=\"/p2\">n</a>"));
    m_browser->setPage(Site + QStringLiteral("/p2"),
        QStringLiteral("<p>Nothing found</p><a rel=\"next\" href=\"/p3\">n</a>"));
    m_browser->setPage(Site + QStringLiteral("/p3"),
        QStringLiteral("<a href=\"/article/10.1007/a-1\">A again</a>"));
    open(QStringLiteral("/p1"));
    m_harvester->setPauseSeconds(0);
    m_harvester->addAllClicked(QStringLiteral("10"));
    runToEnd();
    QCOMPARE(m_harvester->pagesTaken(), 3);
    // A duplicate counts as found, but adds no row.
    QCOMPARE(m_harvester->pagesWithoutEntries(), 1);
    QCOMPARE(m_harvester->entriesTaken(), 1);
    QCOMPARE(m_harvester->endReason(), HarvestEnd::LastPage);
    QCOMPARE(m_harvester->progressText(), QStringLiteral("已加入 3 页、1 条，1 页没有条目"));
}

void tst_Harvester::pausesAfterEachPage()
{
    const QString query = QStringLiteral("q pages-2");
    open(LiteratureSite::searchPath(query));
    m_harvester->addAllClicked(QStringLiteral("10"));
    QTRY_COMPARE(m_browser->url(), Site + LiteratureSite::searchPath(query, 2));
    QTRY_VERIFY(!m_harvester->pageLoading());
    QTest::qWait(20);
    QCOMPARE(m_harvester->pagesTaken(), 1);
    m_clock.advance(4.9);
    QTest::qWait(20);
    QCOMPARE(m_harvester->pagesTaken(), 1);
    m_clock.advance(0.2);
    QTRY_COMPARE(m_harvester->pagesTaken(), 2);
    QTRY_VERIFY(!m_harvester->isRunning());
}

void tst_Harvester::pageLimit_data()
{
    QTest::addColumn<QString>("limit");
    QTest::addColumn<int>("pagesTaken");
    QTest::addColumn<bool>("today");
    QTest::addColumn<HarvestEnd>("reason");
    // The page whose number reaches the limit is taken, and no page after it
    // is opened.
    QTest::newRow("limit 3") << QStringLiteral("3") << 3 << false << HarvestEnd::PageLimit;
    QTest::newRow("limit 3.9") << QStringLiteral("3.9") << 3 << false << HarvestEnd::PageLimit;
    QTest::newRow("limit 1") << QStringLiteral("1") << 1 << false << HarvestEnd::PageLimit;
    QTest::newRow("limit 0") << QStringLiteral("0") << 1 << false << HarvestEnd::PageLimit;
    QTest::newRow("limit above the pages")
        << QStringLiteral("9") << 5 << false << HarvestEnd::LastPage;
    QTest::newRow("today: limit 2") << QStringLiteral("2") << 2 << true << HarvestEnd::PageLimit;
    QTest::newRow("today: limit 5 is the last page")
        << QStringLiteral("5") << 5 << true << HarvestEnd::LastPage;
}

void tst_Harvester::pageLimit()
{
    QFETCH(QString, limit);
    QFETCH(int, pagesTaken);
    QFETCH(bool, today);
    QFETCH(HarvestEnd, reason);
    const QString query = QStringLiteral("q pages-5");
    auto path = [&](int page) {
        return today ? LiteratureSite::todaySearchPath(query, page)
                     : LiteratureSite::searchPath(query, page);
    };
    open(path(1));
    m_harvester->setPageLimitEnabled(true);
    m_harvester->addAllClicked(limit);
    runToEnd();
    QCOMPARE(m_harvester->pagesTaken(), pagesTaken);
    QCOMPARE(m_browser->navigations().size(), pagesTaken);
    QCOMPARE(m_browser->url(), Site + path(pagesTaken));
    QCOMPARE(m_list->at(m_list->size() - 1).SourcePage, Site + path(pagesTaken));
    if (!today)
        QCOMPARE(m_list->size(), entriesUpToPage(query, pagesTaken));
    QCOMPARE(m_harvester->endReason(), reason);
}

void tst_Harvester::endReasons_data()
{
    QTest::addColumn<QString>("firstPage");
    QTest::addColumn<int>("failingPage"); // answered with `status`, or 0
    QTest::addColumn<int>("status"); // 0: the load fails
    QTest::addColumn<HarvestEnd>("reason");
    QTest::addColumn<int>("pagesTaken");
    QTest::addColumn<QString>("message");

    const QString query = QStringLiteral("r pages-4");
    QTest::newRow("last page") << LiteratureSite::todaySearchPath(query) << 0 << 200
                               << HarvestEnd::LastPage << 4 << QStringLiteral("已到最后一页");
    QTest::newRow("a next link back to page 1")
        << LiteratureSite::todaySearchPath(QStringLiteral("r pages-4 loop-2")) << 0 << 200
        << HarvestEnd::PageRepeated << 2
        << QStringLiteral("下一页是本次已加入的页面：") + Site
            + LiteratureSite::todaySearchPath(QStringLiteral("r pages-4 loop-2"));
    QTest::newRow("first page answers 500")
        << LiteratureSite::todaySearchPath(query) << 1 << 500 << HarvestEnd::FirstPageFailed << 0
        << QStringLiteral("第一页未能打开：") + Site + LiteratureSite::todaySearchPath(query)
            + QStringLiteral("，服务器内部错误（HTTP 500）");
    QTest::newRow("page 3 answers 404")
        << LiteratureSite::todaySearchPath(query) << 3 << 404 << HarvestEnd::PageFailed << 2
        << QStringLiteral("下一页未能打开：") + Site + LiteratureSite::todaySearchPath(query, 3)
            + QStringLiteral("，找不到该地址（HTTP 404）");
    QTest::newRow("page 2 cannot be loaded")
        << LiteratureSite::todaySearchPath(query) << 2 << 0 << HarvestEnd::PageFailed << 1
        << QStringLiteral("下一页未能打开：") + Site + LiteratureSite::todaySearchPath(query, 2)
            + QStringLiteral("，net::ERR_CONNECTION_REFUSED");
}

void tst_Harvester::endReasons()
{
    QFETCH(QString, firstPage);
    QFETCH(int, failingPage);
    QFETCH(int, status);
    QFETCH(HarvestEnd, reason);
    QFETCH(int, pagesTaken);
    QFETCH(QString, message);

    const QString query = QUrlQuery(QUrl(Site + firstPage))
                              .queryItemValue(QStringLiteral("query"), QUrl::FullyDecoded)
                              .replace(u'+', u' ');
    const QString failing
        = failingPage > 0 ? Site + LiteratureSite::todaySearchPath(query, failingPage) : QString();
    m_browser->setPageSource([failing, status](const QString &url) -> std::optional<QString> {
        if (url == failing && status == 0)
            return std::nullopt;
        return LiteratureSite::page(url);
    });
    m_browser->setStatusSource(
        [failing, status](const QString &url) { return url == failing ? status : 200; });
    QSignalSpy ended(m_harvester.get(), &Harvester::runEnded);
    m_harvester->setPauseSeconds(0);
    // The command line's way: the run opens its first page itself.
    QVERIFY(m_harvester->startRun(Site + firstPage, Harvester::Scope::AllPages));
    QVERIFY(!m_harvester->startRun(Site + firstPage, Harvester::Scope::AllPages));
    runToEnd();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).value<HarvestEnd>(), reason);
    QCOMPARE(ended.at(0).at(1).toString(), message);
    QCOMPARE(m_harvester->endMessage(), message);
    QCOMPARE(m_harvester->pagesTaken(), pagesTaken);
    QCOMPARE(HarvestEndIsFailure(reason), failingPage > 0);
}

void tst_Harvester::rendererCrashEndsTheRun()
{
    const QString query = QStringLiteral("c pages-3");
    open(LiteratureSite::todaySearchPath(query));
    m_browser->setAutoFinish(false);
    QSignalSpy ended(m_harvester.get(), &Harvester::runEnded);
    m_harvester->addAllClicked(QStringLiteral("10"));
    QVERIFY(settle([&] { return m_browser->isBusy(); })); // page 2 loading
    m_browser->crashRenderer();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).value<HarvestEnd>(), HarvestEnd::RendererCrashed);
    QVERIFY(ended.at(0).at(1).toString().startsWith(QStringLiteral("页面渲染进程崩溃：")));
    QVERIFY(!m_harvester->isRunning());
    QVERIFY(!m_harvester->pageLoading());
    QCOMPARE(m_harvester->pagesTaken(), 1);
    // The page is loaded again; the ended run takes nothing from it.
    QVERIFY(settle([&] { return m_browser->isBusy(); }));
    QCOMPARE(m_browser->navigations().last(), Site + LiteratureSite::todaySearchPath(query, 2));
    m_browser->finishLoad();
    QTest::qWait(20);
    QCOMPARE(m_harvester->pagesTaken(), 1);
}

void tst_Harvester::retriesBusyPages_data()
{
    QTest::addColumn<QList<int>>("answers"); // page 2's statuses, one per load
    QTest::addColumn<HarvestEnd>("reason");
    QTest::addColumn<QString>("message");
    QTest::newRow("503 twice, then the page")
        << QList<int> { 503, 503, 200 } << HarvestEnd::LastPage << QString();
    QTest::newRow("429 once") << QList<int> { 429, 200 } << HarvestEnd::LastPage << QString();
    QTest::newRow("503 three times fails") << QList<int> { 503, 503, 503 } << HarvestEnd::PageFailed
                                           << QStringLiteral("服务器繁忙，已试 3 次（HTTP 503）");
    QTest::newRow("500 is not asked again") << QList<int> { 500 } << HarvestEnd::PageFailed
                                            << QStringLiteral("服务器内部错误（HTTP 500）");
}

void tst_Harvester::retriesBusyPages()
{
    QFETCH(QList<int>, answers);
    QFETCH(HarvestEnd, reason);
    QFETCH(QString, message);

    const QString query = QStringLiteral("b pages-2");
    const QString second = Site + LiteratureSite::todaySearchPath(query, 2);
    int loads = 0;
    m_browser->setStatusSource(
        [&](const QString &url) { return url == second ? answers.value(loads++, 200) : 200; });
    open(LiteratureSite::todaySearchPath(query));
    QSignalSpy waiting(m_harvester.get(), &Harvester::retryWaiting);
    m_harvester->setPauseSeconds(0);
    m_harvester->addAllClicked(QStringLiteral("10"));

    const QList<double> waits { 5, 20 };
    for (int retry = 0; retry < answers.size() - 1 && answers.at(retry) != 500; ++retry) {
        QVERIFY(settle([&] { return waiting.size() == retry + 1; }));
        QCOMPARE(waiting.last().at(0).toString(),
            RetryText::retrying(answers.at(retry), waits.at(retry)));
        // Not asked again before its time, then at once.
        m_clock.advance(waits.at(retry) - 0.1);
        QTest::qWait(20);
        QCOMPARE(loads, retry + 1);
        m_clock.advance(0.2);
        QVERIFY(settle([&] { return loads == retry + 2; }));
    }
    runToEnd(0.5);
    QCOMPARE(m_harvester->endReason(), reason);
    if (!message.isEmpty())
        QCOMPARE(m_harvester->endMessage(),
            QStringLiteral("下一页未能打开：") + second + QStringLiteral("，") + message);
    QCOMPARE(m_harvester->pagesTaken(), reason == HarvestEnd::LastPage ? 2 : 1);
}

void tst_Harvester::loadWaitTimesOut()
{
    // The next link changes the page by script: no new document ever completes.
    open(QStringLiteral("/search/scripted?query=q"));
    m_browser->setClicksNavigate(false);
    m_harvester->addAllClicked(QStringLiteral("10"));
    QTRY_VERIFY(m_harvester->pageLoading());
    // Just short of the limit: the fake clock's sums of fractions are not
    // exact, so the limit itself is no sharp edge to test on.
    m_clock.advance(59.9);
    QTest::qWait(20);
    QVERIFY(m_harvester->isRunning());
    m_clock.advance(0.6);
    QTRY_VERIFY(!m_harvester->isRunning());
    QCOMPARE(m_harvester->pagesTaken(), 1);
    QVERIFY(m_harvester->pageLoading());
    QCOMPARE(m_harvester->endReason(), HarvestEnd::PageFailed);
    QCOMPARE(m_harvester->endMessage(),
        QStringLiteral("下一页未能打开：") + Site + QStringLiteral("/search/page/2?query=q")
            + QStringLiteral("，60 秒内未能打开"));
}

void tst_Harvester::firstPageStillLoadingTimesOut()
{
    // The page shown never completes (a picture that never comes): the run
    // gives up after 60 s instead of waiting for it without end.
    const QString query = QStringLiteral("h pages-2");
    open(LiteratureSite::todaySearchPath(query));
    m_browser->setAutoFinish(false);
    m_browser->navigate(Site + LiteratureSite::todaySearchPath(query, 2));
    m_harvester->addAllClicked(QStringLiteral("10"));
    QTest::qWait(20);
    // Just short of the limit: the fake clock's sums of fractions are not
    // exact, so the limit itself is no sharp edge to test on.
    m_clock.advance(59.9);
    QTest::qWait(20);
    QVERIFY(m_harvester->isRunning());
    m_clock.advance(0.6);
    QVERIFY(settle([&] { return !m_harvester->isRunning(); }));
    QCOMPARE(m_harvester->endReason(), HarvestEnd::FirstPageFailed);
    QVERIFY(m_harvester->endMessage().endsWith(QStringLiteral("60 秒内未能打开")));
    QCOMPARE(m_browser->stops(), 1);
    QCOMPARE(m_harvester->pagesTaken(), 0);
}

void tst_Harvester::readingWaitIsBounded()
{
    // During the pause after page 2, the page opens another by script, which
    // never completes: the document is never ready to be read.
    const QString query = QStringLiteral("n pages-2");
    open(LiteratureSite::todaySearchPath(query));
    m_browser->setAutoFinish(false);
    m_harvester->addAllClicked(QStringLiteral("10"));
    QVERIFY(settle([&] { return m_browser->navigations().size() == 2; }));
    m_browser->finishLoad();
    QVERIFY(settle([&] { return !m_harvester->pageLoading(); }));
    QTest::qWait(20); // the pause begins
    m_browser->navigate(Site + QStringLiteral("/elsewhere"));
    m_clock.advance(5.1); // the pause ends; the document is asked for
    QTest::qWait(20);
    m_clock.advance(59.0);
    QTest::qWait(20);
    QVERIFY(m_harvester->isRunning());
    m_clock.advance(1.5);
    QVERIFY(settle([&] { return !m_harvester->isRunning(); }));
    QCOMPARE(m_harvester->endReason(), HarvestEnd::PageFailed);
    QVERIFY2(m_harvester->endMessage().endsWith(QStringLiteral("60 秒内未能读取页面")),
        qPrintable(m_harvester->endMessage()));
    QCOMPARE(m_browser->stops(), 1);
    QCOMPARE(m_harvester->pagesTaken(), 1);
}

void tst_Harvester::stopInEveryState_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("load wait") << QStringLiteral("load");
    QTest::newRow("pause") << QStringLiteral("pause");
    QTest::newRow("retry wait") << QStringLiteral("retry");
    QTest::newRow("reading a page that keeps loading") << QStringLiteral("read");
}

void tst_Harvester::stopInEveryState()
{
    QFETCH(QString, state);
    const QString query = QStringLiteral("s pages-3");
    const QString second = Site + LiteratureSite::todaySearchPath(query, 2);
    open(LiteratureSite::todaySearchPath(query));
    if (state == u"retry")
        m_browser->setStatusSource(
            [second](const QString &url) { return url == second ? 503 : 200; });
    if (state == u"load" || state == u"read")
        m_browser->setAutoFinish(false);
    QSignalSpy waiting(m_harvester.get(), &Harvester::retryWaiting);
    QSignalSpy ended(m_harvester.get(), &Harvester::runEnded);
    m_harvester->setPauseSeconds(state == u"pause" || state == u"read" ? 5 : 0);
    m_harvester->addAllClicked(QStringLiteral("10"));
    QVERIFY(settle([&] { return m_browser->navigations().size() == 2; }));
    if (state == u"read") {
        // The page opens another by script during the pause; reading waits.
        m_browser->finishLoad();
        QVERIFY(settle([&] { return !m_harvester->pageLoading(); }));
        QTest::qWait(20); // the pause begins
        m_browser->navigate(Site + QStringLiteral("/elsewhere"));
        m_clock.advance(5.1);
    }
    if (state == u"pause")
        QVERIFY(settle([&] { return !m_browser->isBusy(); }));
    if (state == u"retry")
        QVERIFY(settle([&] { return waiting.size() == 1; }));
    QTest::qWait(20);
    QVERIFY(m_harvester->isRunning());

    // The stop click: the run ends at once, whatever it waits for; no clock
    // needs to move.
    m_harvester->addAllClicked(QStringLiteral("10"));
    QVERIFY(!m_harvester->isRunning());
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).value<HarvestEnd>(), HarvestEnd::Stopped);
    QCOMPARE(ended.at(0).at(1).toString(), QStringLiteral("已停止"));
    QCOMPARE(m_harvester->pagesTaken(), 1);
    QCOMPARE(m_browser->stops(), state == u"load" || state == u"read" ? 1 : 0);
    QVERIFY(!m_browser->isBusy());
    // Nothing of the ended run goes on.
    const int loads = int(m_browser->navigations().size());
    m_clock.advance(100);
    QTest::qWait(30);
    QCOMPARE(m_browser->navigations().size(), loads);
    QCOMPARE(m_harvester->pagesTaken(), 1);
}

void tst_Harvester::stopDuringLoadWait()
{
    const QString query = QStringLiteral("q pages-3");
    open(LiteratureSite::searchPath(query));
    m_browser->setAutoFinish(false);
    QSignalSpy editable(m_harvester.get(), &Harvester::limitEditableChanged);
    m_harvester->addAllClicked(QStringLiteral("10"));
    QTRY_VERIFY(m_browser->isBusy());
    // An inner frame completing is not the page.
    Q_EMIT m_browser->frameDocumentComplete(Site + QStringLiteral("/frame/ad"));
    QTest::qWait(20);
    QVERIFY(m_harvester->pageLoading());
    QVERIFY(m_harvester->isRunning());

    m_harvester->addAllClicked(QStringLiteral("10")); // the stop click
    QVERIFY(m_harvester->stopRequested());
    QCOMPARE(editable.last().at(0).toBool(), true);
    QVERIFY(!m_harvester->isRunning()); // at once: no 60 s, no 5 s
    QCOMPARE(m_harvester->endReason(), HarvestEnd::Stopped);
    m_browser->finishLoad();
    QTest::qWait(20);
    QCOMPARE(m_harvester->pagesTaken(), 1);
    QCOMPARE(m_list->size(), entriesUpToPage(query, 1));
}

void tst_Harvester::stopDuringPause()
{
    const QString query = QStringLiteral("q pages-3");
    open(LiteratureSite::searchPath(query));
    m_harvester->addAllClicked(QStringLiteral("10"));
    QTRY_COMPARE(m_browser->url(), Site + LiteratureSite::searchPath(query, 2));
    QTRY_VERIFY(!m_harvester->pageLoading());
    m_harvester->requestStop(); // as when the window closes
    QTRY_VERIFY(!m_harvester->isRunning());
    QCOMPARE(m_harvester->pagesTaken(), 1); // the page shown is not taken
}

void tst_Harvester::addThisPageAsksForTheFolder()
{
    const QString query = QStringLiteral("q pages-2");
    open(LiteratureSite::searchPath(query, 2));
    m_folders.AskOnExtract = true;
    m_folders.Dialog = [](SaveFolderValues &values) {
        values.SaveFolder = QStringLiteral("/papers/");
        values.DialogCancelled = true; // cancel still takes the page
    };
    QSignalSpy added(m_harvester.get(), &Harvester::thisPageAdded);
    m_harvester->addThisPage();
    QVERIFY(added.wait());
    QCOMPARE(m_folders.DialogsShown, 1);
    QCOMPARE(m_list->size(), entriesUpToPage(query, 2) - entriesUpToPage(query, 1));
    QCOMPARE(m_list->at(0).Folder, QStringLiteral("/papers/"));

    // Without asking on extraction the folder stays empty.
    m_folders.AskOnExtract = false;
    m_list->clear();
    m_harvester->addThisPage();
    QVERIFY(added.wait());
    QCOMPARE(m_folders.DialogsShown, 1);
    QVERIFY(m_list->at(0).Folder.isEmpty());
}

void tst_Harvester::addThisPageTakesAPageThatNeverCompletes()
{
    const QString query = QStringLiteral("t pages-2");
    open(LiteratureSite::todaySearchPath(query));
    m_browser->setAutoFinish(false);
    m_browser->navigate(Site + LiteratureSite::todaySearchPath(query, 2)); // never completes
    QSignalSpy added(m_harvester.get(), &Harvester::thisPageAdded);
    m_harvester->addThisPage();
    QTest::qWait(20);
    m_clock.advance(59);
    QTest::qWait(20);
    QVERIFY(added.isEmpty());
    // After 60 s the load is stopped and the page is read as far as it came.
    m_clock.advance(2);
    QVERIFY(settle([&] { return added.size() == 1; }));
    QCOMPARE(m_browser->stops(), 1);
    QCOMPARE(m_list->size(), int(LiteratureSite::todayEntries(query, 1).size()));
}

QTEST_GUILESS_MAIN(tst_Harvester)
#include "tst_harvester.moc"
