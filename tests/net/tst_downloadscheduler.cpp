#include "DownloadTestRig.h"
#include "download/DownloadList.h"
#include "download/ListOperations.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using Response = FixtureServer::Response;

namespace {

void addFailedRows(DownloadTestRig &rig, int count, const QString &type = QStringLiteral("pdf"))
{
    for (int n = 0; n < count; ++n) {
        const int i = rig.list().size();
        QVERIFY(rig.list().addItem(QStringLiteral("http://a.invalid/%1|http://b.invalid/%1").arg(i),
            QStringLiteral("f%1").arg(i), type, rig.folder(), QString()));
        rig.list().update(
            rig.list().size() - 1, [](DownloadItem &item) { item.StatusCode = Status::Failed; });
    }
}

// Rows served by /f?n=<number>, named f<number>.
void addNumberedRows(DownloadTestRig &rig, const QList<int> &numbers)
{
    for (const int n : numbers)
        rig.addRow(
            QStringLiteral("/f?n=%1").arg(n), QStringLiteral("f%1").arg(n), QStringLiteral("pdf"));
}

bool idle(DownloadTestRig &rig)
{
    for (int row = 0; row < rig.list().size(); ++row) {
        if (rig.list().at(row).StatusCode == Status::Downloading)
            return false;
    }
    return !rig.single().isRunning() && rig.multi().instanceCount() == 0;
}

// One scheduling pass a second later, and the transfers it started run to
// their end.
bool passAndWait(DownloadTestRig &rig)
{
    rig.clock.advance(1);
    rig.scheduler().schedulingPass();
    const bool ended = rig.waitUntil([&] { return idle(rig); });
    rig.settle();
    return ended;
}

// The numbers of the rows fetched, in the order asked for.
QList<int> fetched(const DownloadTestRig &rig)
{
    QList<int> numbers;
    for (const auto &request : rig.server.requests())
        numbers << request.query.mid(2).toInt();
    return numbers;
}

} // namespace

class TestDownloadScheduler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void intervalBetweenFiles_data();
    void intervalBetweenFiles();
    void skipPolicyMarksPresentFiles();
    void emptyListSwitchesOff();
    void autoStartWithUntouchedRows();
    void automaticRedownload_data();
    void automaticRedownload();
    void failureRuleStops();
    void finishedListStopsOnce();
    void stopUnchecksAutomaticOptions();
    void methodSwitch();
    void editsWhileRunningAreSeenAtOnce_data();
    void editsWhileRunningAreSeenAtOnce();
    void listChangesWhileStoppedThenStart_data();
    void listChangesWhileStoppedThenStart();
    void urlReplaceDuringATransfer_data();
    void urlReplaceDuringATransfer();
};

void TestDownloadScheduler::intervalBetweenFiles_data()
{
    QTest::addColumn<int>("interval");
    QTest::newRow("interval 0") << 0;
    QTest::newRow("interval 5") << 5;
}

void TestDownloadScheduler::intervalBetweenFiles()
{
    QFETCH(int, interval);
    DownloadTestRig rig;
    rig.options().method = 1;
    rig.options().intervalSeconds = interval;
    rig.server.route("/a", Response::pattern(1000));
    rig.server.route("/b", Response::pattern(1000));
    rig.addRow(QStringLiteral("/a"), QStringLiteral("a"));
    rig.addRow(QStringLiteral("/b"), QStringLiteral("b"));
    DownloadScheduler &scheduler = rig.scheduler();
    scheduler.state().LastTransferEnd = rig.clock.nowSeconds();
    switchOnQuietly(scheduler);

    // Right after the window opened, the interval is waited for as well.
    scheduler.schedulingPass();
    QCOMPARE(rig.list().at(0).StatusCode, Status::Waiting);
    rig.clock.advance(interval + 0.5);
    scheduler.schedulingPass();
    QCOMPARE(rig.list().at(0).StatusCode, Status::Downloading);
    QVERIFY(rig.waitUntil([&] { return rig.list().at(0).StatusCode == Status::Completed; }));
    rig.settle(); // the pass that follows the end of a transfer
    QCOMPARE(scheduler.state().LastTransferEnd, rig.clock.nowSeconds());
    QCOMPARE(rig.list().at(1).StatusCode, Status::Waiting);

    rig.clock.advance(interval); // not more than the interval yet
    scheduler.schedulingPass();
    QCOMPARE(rig.list().at(1).StatusCode, Status::Waiting);
    rig.clock.advance(0.25);
    scheduler.schedulingPass();
    QCOMPARE(rig.list().at(1).StatusCode, Status::Downloading);
    QVERIFY(rig.waitUntil([&] { return rig.list().at(1).StatusCode == Status::Completed; }));
}

void TestDownloadScheduler::skipPolicyMarksPresentFiles()
{
    DownloadTestRig rig;
    rig.options().method = 1;
    rig.options().policy = DuplicatePolicy::Skip;
    rig.server.route("/f", Response::pattern(500));
    for (int i = 0; i < 5; ++i)
        rig.addRow(
            QStringLiteral("/f?n=%1").arg(i), QStringLiteral("p%1").arg(i), QStringLiteral("pdf"));
    for (int i = 0; i < 4; ++i)
        QVERIFY(writeFile(rig.path(QStringLiteral("p%1.pdf").arg(i)), QByteArray(100 + i, 'x')));
    rig.scheduler().state().LastTransferEnd = rig.clock.nowSeconds() - 10;
    switchOnQuietly(rig.scheduler());

    rig.scheduler().schedulingPass();
    for (int i = 0; i < 4; ++i) {
        const DownloadItem &item = rig.list().at(i);
        QCOMPARE(item.StatusCode, Status::Completed);
        QCOMPARE(item.Percent, QStringLiteral("已存在，跳过"));
        QCOMPARE(item.Size, QString::number(100 + i));
        QCOMPARE(item.Received, QString::number(100 + i));
    }
    QCOMPARE(rig.list().at(4).StatusCode, Status::Downloading);
    QVERIFY(rig.waitUntil([&] { return rig.list().at(4).StatusCode == Status::Completed; }));
    QCOMPARE(rig.server.requests().size(), 1);
    QCOMPARE(rig.server.lastRequest().query, QByteArray("n=4"));
}

void TestDownloadScheduler::emptyListSwitchesOff()
{
    DownloadTestRig rig;
    QSignalSpy running(&rig.scheduler(), &DownloadScheduler::runningChanged);
    switchOnQuietly(rig.scheduler());
    rig.scheduler().schedulingPass();
    QVERIFY(!rig.scheduler().isRunning());
    QCOMPARE(running.size(), 2);
}

void TestDownloadScheduler::autoStartWithUntouchedRows()
{
    DownloadTestRig rig;
    rig.options().autoStart = true;
    rig.scheduler().watchPass();
    QVERIFY(!rig.scheduler().isRunning()); // nothing to do yet
    rig.addRow(QStringLiteral("/x"), QStringLiteral("x"));
    rig.scheduler().watchPass();
    QVERIFY(rig.scheduler().isRunning());
    rig.scheduler().Timer_Down().stop();
}

void TestDownloadScheduler::automaticRedownload_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<int>>("waitingRows");
    // rows: 0 failed pdf, 1 failed htm, 2 completed html, 3 completed pdf
    QTest::newRow("failed rows") << int(AutoRedownload::FailedRows) << QList<int> { 0, 1 };
    QTest::newRow("web-page rows") << int(AutoRedownload::WebPageRows) << QList<int> { 1, 2 };
    QTest::newRow("failed, then web-page rows")
        << int(AutoRedownload::FailedThenWebPageRows) << QList<int> { 0, 1, 2 };
}

void TestDownloadScheduler::automaticRedownload()
{
    QFETCH(int, kind);
    QFETCH(QList<int>, waitingRows);
    DownloadTestRig rig;
    addFailedRows(rig, 1, QStringLiteral("pdf"));
    addFailedRows(rig, 1, QStringLiteral("htm"));
    rig.list().addItem(QStringLiteral("http://c.invalid/2"), QStringLiteral("page"),
        QStringLiteral("html"), rig.folder(), QString());
    rig.list().addItem(QStringLiteral("http://c.invalid/3"), QStringLiteral("doc"),
        QStringLiteral("pdf"), rig.folder(), QString());
    for (int row : { 2, 3 })
        rig.list().update(row, [](DownloadItem &item) {
            item.StatusCode = Status::Completed;
            item.Percent = QStringLiteral("100%");
        });
    QVERIFY(writeFile(rig.path(QStringLiteral("page.html")), "<html>"));
    rig.options().autoRedownload = true;
    rig.options().autoRedownloadKind = AutoRedownload(kind);

    rig.scheduler().watchPass();
    QVERIFY(rig.scheduler().isRunning());
    rig.scheduler().Timer_Down().stop();
    for (int row = 0; row < 4; ++row) {
        const DownloadItem &item = rig.list().at(row);
        QCOMPARE(item.StatusCode == Status::Waiting, waitingRows.contains(row));
    }
    // The next attempt starts with the other alternative.
    if (waitingRows.contains(0)) {
        QCOMPARE(rig.list().at(0).Key, QStringLiteral("http://b.invalid/0|http://a.invalid/0"));
        QCOMPARE(rig.list().at(1).Type, QStringLiteral("xxx"));
    }
    if (waitingRows.contains(2)) {
        QCOMPARE(rig.list().at(2).Type, QStringLiteral("xxx"));
        // The page stays until the new download takes its place.
        QVERIFY(QFile::exists(rig.path(QStringLiteral("page.html"))));
        QCOMPARE(rig.list().at(2).ReplaceableFile, rig.path(QStringLiteral("page.html")));
    }
}

void TestDownloadScheduler::failureRuleStops()
{
    DownloadTestRig rig;
    rig.options().stopOnFailures = true;
    rig.options().sound = true;
    addFailedRows(rig, 4);
    rig.addRow(QStringLiteral("/w"), QStringLiteral("w")); // keeps the list unfinished
    switchOnQuietly(rig.scheduler());
    rig.scheduler().watchPass();
    QVERIFY(rig.scheduler().isRunning());
    QCOMPARE(rig.player.played, QList<int>());

    addFailedRows(rig, 1, QStringLiteral("html"));
    rig.scheduler().watchPass();
    QVERIFY(!rig.scheduler().isRunning());
    QCOMPARE(rig.player.played, QList<int> { 102 });
}

void TestDownloadScheduler::finishedListStopsOnce()
{
    DownloadTestRig rig;
    rig.options().sound = true;
    addFailedRows(rig, 2);
    QSignalSpy finished(&rig.scheduler(), &DownloadScheduler::listFinished);
    switchOnQuietly(rig.scheduler());
    rig.scheduler().watchPass();
    QVERIFY(!rig.scheduler().isRunning());
    QVERIFY(rig.scheduler().startEntryEnabled());
    rig.scheduler().watchPass();
    QCOMPARE(rig.player.played, QList<int> { 102 });
    QVERIFY(finished.size() >= 1);
    QVERIFY(QFile::exists(rig.programFolder() + QStringLiteral("/102.wav")));
}

void TestDownloadScheduler::stopUnchecksAutomaticOptions()
{
    DownloadTestRig rig;
    rig.options().autoStart = true;
    rig.options().autoRedownload = true;
    QSignalSpy changed(&rig.scheduler(), &DownloadScheduler::optionsChanged);
    switchOnQuietly(rig.scheduler());
    rig.scheduler().stop();
    QVERIFY(!rig.options().autoStart);
    QVERIFY(!rig.options().autoRedownload);
    QVERIFY(!rig.scheduler().isRunning());
    QVERIFY(!rig.scheduler().state().TransferBusy);
    QCOMPARE(changed.size(), 1);
}

void TestDownloadScheduler::methodSwitch()
{
    DownloadTestRig rig;
    rig.options().method = 2;
    rig.options().connections = 4;
    rig.scheduler().switchMethod();
    QCOMPARE(rig.options().method, 1);
    QCOMPARE(rig.options().connections, 1);
    rig.scheduler().switchMethod();
    QCOMPARE(rig.options().method, 2);
    QCOMPARE(rig.options().connections, 1);
}

void TestDownloadScheduler::editsWhileRunningAreSeenAtOnce_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("one connection") << 1;
    QTest::newRow("connection slots") << 2;
}

void TestDownloadScheduler::editsWhileRunningAreSeenAtOnce()
{
    QFETCH(int, method);
    DownloadTestRig rig;
    rig.options().method = method;
    rig.options().connections = 1;
    rig.server.route("/f", Response::pattern(300));
    addNumberedRows(rig, { 0, 1, 2, 3 });
    switchOnQuietly(rig.scheduler());
    QVERIFY(passAndWait(rig));
    QVERIFY(passAndWait(rig));
    QCOMPARE(fetched(rig), (QList<int> { 0, 1 }));

    // A row queued again above the current point is the next one; a row
    // cancelled below is passed over; a row added at the end is taken last.
    RequeueRow(rig.list(), 0, false);
    rig.list().update(3, [](DownloadItem &item) { item.StatusCode = Status::Failed; });
    addNumberedRows(rig, { 4 });
    QVERIFY(passAndWait(rig));
    QCOMPARE(fetched(rig), (QList<int> { 0, 1, 0 }));
    for (int pass = 0; pass < 4 && !rig.list().检测是否下载列表完毕(); ++pass)
        QVERIFY(passAndWait(rig));
    QCOMPARE(fetched(rig), (QList<int> { 0, 1, 0, 2, 4 }));
    QCOMPARE(rig.list().ShowListCounters(),
        QStringLiteral("总数：5|正在下载：0|等待：0|已完成：4|失败：1"));
    QVERIFY(rig.list().检测是否下载列表完毕());
}

void TestDownloadScheduler::listChangesWhileStoppedThenStart_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("sorted") << QStringLiteral("reorder") << QList<int> { 3, 1, 0, 2 };
    QTest::newRow("top rows deleted") << QStringLiteral("remove top") << QList<int> { 2, 3 };
    QTest::newRow("rows deleted here and there")
        << QStringLiteral("remove scattered") << QList<int> { 0, 2 };
    QTest::newRow("cleared, then new rows") << QStringLiteral("clear") << QList<int> { 7, 8 };
}

void TestDownloadScheduler::listChangesWhileStoppedThenStart()
{
    QFETCH(QString, change);
    QFETCH(QList<int>, expected);
    DownloadTestRig rig;
    rig.options().method = 2;
    rig.options().connections = 1;
    rig.server.route("/f", Response::pattern(300));
    addNumberedRows(rig, { 0, 1, 2, 3 });
    QCOMPARE(rig.list().nextWaitingRow(), 0); // the index is in use before the change

    if (change == u"reorder") {
        QVERIFY(rig.list().reorder({ 3, 1, 0, 2 }));
    } else if (change == u"remove top") {
        QVERIFY(rig.list().removeRows(0, 2));
    } else if (change == u"remove scattered") {
        QCOMPARE(rig.list().removeIf([](const DownloadItem &item) {
            return item.Name == u"f1" || item.Name == u"f3";
        }),
            2);
    } else {
        rig.list().clear();
        addNumberedRows(rig, { 7, 8 });
    }

    switchOnQuietly(rig.scheduler());
    for (int pass = 0; pass < 6 && !rig.list().检测是否下载列表完毕(); ++pass)
        QVERIFY(passAndWait(rig));
    QCOMPARE(fetched(rig), expected);
    QCOMPARE(rig.list().ShowListCounters(),
        QStringLiteral("总数：%1|正在下载：0|等待：0|已完成：%1|失败：0").arg(expected.size()));
}

void TestDownloadScheduler::urlReplaceDuringATransfer_data()
{
    QTest::addColumn<int>("method");
    QTest::newRow("one connection") << 1;
    QTest::newRow("connection slots") << 2;
}

// The batch replace changes the key of a row while it is being downloaded:
// the transfer goes on with the address it started with and finds its row by
// its Id, the row completes with its file, the list counts as finished, and
// the new address serves the row's next download.
void TestDownloadScheduler::urlReplaceDuringATransfer()
{
    QFETCH(int, method);
    DownloadTestRig rig;
    rig.server.route("/old/p", Response::pattern(20000));
    rig.server.route("/new/p", Response::pattern(3000));
    rig.server.route("/old/q", Response::pattern(500));
    rig.server.route("/new/q", Response::pattern(700));
    rig.addRow(QStringLiteral("/old/p"), QStringLiteral("p"), QStringLiteral("pdf"),
        rig.server.urlText(QStringLiteral("/old/page")));
    rig.addRow(QStringLiteral("/old/q"), QStringLiteral("q"), QStringLiteral("pdf"));
    int statusAtReplace = 0;
    QObject::connect(&rig.server, &FixtureServer::requestReceived, &rig.server,
        [&](const FixtureServer::Request &request) {
            if (request.path != "/old/p" || statusAtReplace != 0)
                return;
            statusAtReplace = rig.list().at(0).StatusCode;
            const UrlReplaceResult result
                = ReplaceInUrls(rig.list(), QStringLiteral("/OLD/"), QStringLiteral("/new/"));
            QCOMPARE(result.changedRows, 2);
        });
    QSignalSpy finished(&rig.scheduler(), &DownloadScheduler::listFinished);

    QVERIFY(rig.runWaitingRows(method));
    QCOMPARE(statusAtReplace, Status::Downloading);
    QCOMPARE(rig.list().ShowListCounters(),
        QStringLiteral("总数：2|正在下载：0|等待：0|已完成：2|失败：0"));
    const DownloadItem &item = rig.list().at(0);
    QCOMPARE(item.Key, rig.server.urlText(QStringLiteral("/new/p")));
    QCOMPARE(item.Referer, rig.server.urlText(QStringLiteral("/new/page")));
    QCOMPARE(item.Percent, QStringLiteral("100%"));
    QCOMPARE(readFile(rig.path(QStringLiteral("p.pdf"))), FixtureServer::patternBytes(0, 20000));
    if (method == 1) {
        // The transfer kept the Referer it started with.
        QCOMPARE(rig.server.requests().at(0).header("Referer"),
            rig.server.urlText(QStringLiteral("/old/page")).toUtf8());
    }
    // A row still waiting takes its new address at once (one connection);
    // one started in the same pass goes on with its old one (three slots).
    const qint64 qSize = method == 1 ? 700 : 500;
    QCOMPARE(readFile(rig.path(QStringLiteral("q.pdf"))), FixtureServer::patternBytes(0, qSize));
    rig.scheduler().watchPass();
    QCOMPARE(finished.size(), 1);

    // The next download of the row asks the new address, and replaces the
    // row's own file under its own name.
    QCOMPARE(RequeueSelectedRows(rig.list(), { 0 }), 1);
    QVERIFY(rig.runWaitingRows(method));
    QCOMPARE(rig.server.lastRequest().path, QByteArray("/new/p"));
    QCOMPARE(rig.list().at(0).StatusCode, Status::Completed);
    QCOMPARE(rig.list().at(0).Name, QStringLiteral("p"));
    QCOMPARE(readFile(rig.path(QStringLiteral("p.pdf"))), FixtureServer::patternBytes(0, 3000));
    QCOMPARE(QDir(rig.folder()).entryList(QDir::Files | QDir::Hidden),
        (QStringList { QStringLiteral("p.pdf"), QStringLiteral("q.pdf") }));
}

QTEST_GUILESS_MAIN(TestDownloadScheduler)
#include "tst_downloadscheduler.moc"
