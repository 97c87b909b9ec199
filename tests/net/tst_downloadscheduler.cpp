#include "DownloadTestRig.h"
#include "download/DownloadList.h"

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
        QVERIFY(!QFile::exists(rig.path(QStringLiteral("page.html"))));
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

QTEST_GUILESS_MAIN(TestDownloadScheduler)
#include "tst_downloadscheduler.moc"
