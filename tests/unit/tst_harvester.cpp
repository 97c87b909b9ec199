#include "FakeBrowser.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "HtmlDocument.h"
#include "LiteratureSite.h"
#include "search/AnalysisList.h"
#include "search/Harvester.h"
#include "search/NextPageLink.h"
#include "search/SaveFolderSource.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

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
    void limitText_data();
    void limitText();
    void harvestsEveryPage();
    void pausesAfterEachPage();
    void pageLimit_data();
    void pageLimit();
    void loadWaitTimesOut();
    void stopDuringLoadWait();
    void stopDuringPause();
    void addThisPageAsksForTheFolder();

private:
    void open(const QString &pathAndQuery);
    // Lets events run and moves the clock on until the run has ended.
    void runToEnd(double step = 1.0);

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
    QTest::addColumn<int>("pageShown");
    // The limit is checked on the page just opened, before it is taken.
    QTest::newRow("limit 3") << QStringLiteral("3") << 2 << 3;
    QTest::newRow("limit 3.9") << QStringLiteral("3.9") << 2 << 3;
    QTest::newRow("limit 1") << QStringLiteral("1") << 1 << 2;
    QTest::newRow("limit 0") << QStringLiteral("0") << 1 << 2;
    QTest::newRow("limit above the pages") << QStringLiteral("9") << 5 << 5;
}

void tst_Harvester::pageLimit()
{
    QFETCH(QString, limit);
    QFETCH(int, pagesTaken);
    QFETCH(int, pageShown);
    const QString query = QStringLiteral("q pages-5");
    open(LiteratureSite::searchPath(query));
    m_harvester->setPageLimitEnabled(true);
    m_harvester->addAllClicked(limit);
    runToEnd();
    QCOMPARE(m_harvester->pagesTaken(), pagesTaken);
    QCOMPARE(m_list->size(), entriesUpToPage(query, pagesTaken));
    QCOMPARE(m_browser->url(), Site + LiteratureSite::searchPath(query, pageShown));
}

void tst_Harvester::loadWaitTimesOut()
{
    // The next link changes the page by script: no new document ever completes.
    open(QStringLiteral("/search/scripted?query=q"));
    m_browser->setClicksNavigate(false);
    m_harvester->addAllClicked(QStringLiteral("10"));
    QTRY_VERIFY(m_harvester->pageLoading());
    m_clock.advance(60.0);
    QTest::qWait(20);
    QVERIFY(m_harvester->isRunning());
    m_clock.advance(0.5);
    QTRY_VERIFY(!m_harvester->isRunning());
    QCOMPARE(m_harvester->pagesTaken(), 1);
    QVERIFY(m_harvester->pageLoading());
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
    QTRY_VERIFY(!m_harvester->isRunning()); // no 60 s, no 5 s
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

QTEST_GUILESS_MAIN(tst_Harvester)
#include "tst_harvester.moc"
