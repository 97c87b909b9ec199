#include "DownloadTestRig.h"
#include "download/DownloadList.h"
#include "download/Downloader.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using Response = FixtureServer::Response;
using BodyMode = FixtureServer::BodyMode;

class TestMultiConnection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void threeConnectionsOverFiveRows();
    void serverWithoutSize_data();
    void serverWithoutSize();
    void moreBytesThanAnnouncedFails();
    void htmlAnswerCorrectedWithSound();
    void stopWithConnectionsOpen();
    void hangingConnectionClosedAfter1200Seconds();
    void fallbackGivesUpAfter60Seconds();
    void receivingFallbackIsNeverCutOff();
    void fallbackAnnouncingEmptyBody();
    void collidingNamesUnderRename();
    void folderThatCannotBeCreatedFailsRow();
    void fallbackRefererHeader_data();
    void fallbackRefererHeader();
};

void TestMultiConnection::threeConnectionsOverFiveRows()
{
    DownloadTestRig rig;
    rig.options().method = 2;
    rig.options().connections = 3;
    // Rows 0 and 2 hang mid-body; row 1 finishes at once.
    Response hanging = Response::pattern(50000);
    hanging.stallAfterBytes = 20000;
    rig.server.route("/r0", hanging);
    rig.server.route("/r1", Response::pattern(30000));
    rig.server.route("/r2", hanging);
    rig.server.route("/r3", Response::pattern(40000));
    rig.server.route("/r4", Response::pattern(10000));
    for (int i = 0; i < 5; ++i)
        rig.addRow(
            QStringLiteral("/r%1").arg(i), QStringLiteral("row%1").arg(i), QStringLiteral("pdf"));
    rig.scheduler().state().LastTransferEnd = rig.clock.nowSeconds() - 10;
    switchOnQuietly(rig.scheduler());

    rig.scheduler().schedulingPass();
    QCOMPARE(rig.multi().instanceCount(), 3);
    for (int k = 1; k <= 3; ++k)
        QCOMPARE(rig.multi().rowOf(k), k - 1);
    QCOMPARE(rig.list().at(3).StatusCode, Status::Waiting);
    QVERIFY(rig.waitUntil([&] { return rig.server.requests().size() >= 3; }));
    QCOMPARE(rig.server.maxOpenConnections(), 3);

    QVERIFY(rig.waitUntil([&] { return rig.list().at(1).StatusCode == Status::Completed; }));
    QCOMPARE(rig.list().at(1).Percent, QStringLiteral("100%"));
    QCOMPARE(rig.list().at(1).Size, QStringLiteral("30000"));
    QCOMPARE(rig.list().at(0).Percent, QStringLiteral("40%"));
    QVERIFY(!rig.multi().inUse(2));

    rig.clock.advance(1);
    rig.scheduler().schedulingPass();
    QCOMPARE(rig.multi().rowOf(2), 3); // the freed slot takes the next waiting row
    QCOMPARE(rig.list().at(4).StatusCode, Status::Waiting);
    QVERIFY(rig.waitUntil([&] { return rig.list().at(3).StatusCode == Status::Completed; }));
    QCOMPARE(readFile(rig.path(QStringLiteral("row3.pdf"))), FixtureServer::patternBytes(0, 40000));
    rig.scheduler().stop();
}

void TestMultiConnection::serverWithoutSize_data()
{
    QTest::addColumn<bool>("sizeInFallback");
    QTest::addColumn<int>("requests");
    QTest::newRow("fallback with Content-Length") << true << 2;
    // The fallback's own answer is the file: no third request.
    QTest::newRow("fallback without Content-Length") << false << 2;
}

void TestMultiConnection::serverWithoutSize()
{
    QFETCH(bool, sizeInFallback);
    QFETCH(int, requests);
    DownloadTestRig rig;
    int seen = 0;
    rig.server.route("/nosize", [&](const FixtureServer::Request &) {
        ++seen;
        Response response = Response::pattern(7001);
        if (!(sizeInFallback && seen == 2))
            response.mode = BodyMode::Chunked;
        return response;
    });
    const int row
        = rig.addRow(QStringLiteral("/nosize"), QStringLiteral("n"), QStringLiteral("pdf"));
    rig.multi().多线程下载(
        1, row, rig.server.urlText(QStringLiteral("/nosize")), rig.path(QStringLiteral("n.pdf")));
    QVERIFY(rig.waitUntil([&] { return !rig.multi().inUse(1); }));
    const DownloadItem &item = rig.list().at(row);
    QCOMPARE(item.StatusCode, Status::Completed);
    QCOMPARE(item.Percent, QStringLiteral("100%"));
    QCOMPARE(item.Size, QStringLiteral("7001")); // exact, not rounded to even
    QCOMPARE(readFile(rig.path(QStringLiteral("n.pdf"))), FixtureServer::patternBytes(0, 7001));
    QCOMPARE(rig.server.requestCount("/nosize"), requests);
    // The fallback says "Referer:" without a space and names the site.
    const QByteArray referer
        = "Referer:http://127.0.0.1:" + QByteArray::number(rig.server.port()) + '/';
    QVERIFY(rig.server.requests().at(1).headerLines.contains(referer));
    QCOMPARE(partFiles(rig.folder()), QStringList());
}

void TestMultiConnection::moreBytesThanAnnouncedFails()
{
    DownloadTestRig rig;
    Response response = Response::pattern(1500);
    response.announcedLength = 1000;
    rig.server.route("/more", response);
    const int row = rig.addRow(QStringLiteral("/more"), QStringLiteral("m"), QStringLiteral("pdf"));
    rig.multi().多线程下载(
        1, row, rig.server.urlText(QStringLiteral("/more")), rig.path(QStringLiteral("m.pdf")));
    QVERIFY(rig.waitUntil([&] { return !rig.multi().inUse(1); }));
    QCOMPARE(rig.list().at(row).StatusCode, Status::Failed);
    // Judged before it is placed: nothing of it is kept.
    QVERIFY(!QFileInfo::exists(rig.path(QStringLiteral("m.pdf"))));
    QVERIFY(!rig.list().at(row).FailureReason.isEmpty());
}

void TestMultiConnection::htmlAnswerCorrectedWithSound()
{
    DownloadTestRig rig;
    rig.options().sound = true;
    bool loginAsked = false;
    rig.options().autoLogin = true;
    rig.multi().setAutoLoginHook([&] { loginAsked = true; });
    rig.server.route("/page",
        Response::ok("<HTML><HEAD><TITLE>Sign in</TITLE></HEAD></HTML>" + QByteArray(300, ' '),
            "text/html"));
    const int row
        = rig.addRow(QStringLiteral("/page"), QStringLiteral("Paper"), QStringLiteral("pdf"));
    QSignalSpy ended(&rig.multi(), &MultiConnectionTransfer::connectionEnded);
    rig.multi().多线程下载(
        1, row, rig.server.urlText(QStringLiteral("/page")), rig.path(QStringLiteral("Paper.pdf")));
    QVERIFY(ended.wait(10000));
    const DownloadItem &item = rig.list().at(row);
    QCOMPARE(item.StatusCode, Status::Completed);
    QCOMPARE(item.Type, QStringLiteral("htm"));
    QVERIFY(QFile::exists(rig.path(QStringLiteral("Paper.htm"))));
    QVERIFY(!QFile::exists(rig.path(QStringLiteral("Paper.pdf"))));
    QCOMPARE(rig.player.played, QList<int> { 101 });
    QVERIFY(rig.waitUntil([&] { return loginAsked; }));
    QCOMPARE(rig.scheduler().state().LastTransferEnd, rig.clock.nowSeconds());
}

void TestMultiConnection::stopWithConnectionsOpen()
{
    DownloadTestRig rig;
    rig.options().method = 2;
    rig.options().connections = 3;
    rig.options().policy = DuplicatePolicy::Overwrite;
    Response hanging = Response::pattern(50000);
    hanging.stallAfterBytes = 10000;
    rig.server.route("/h", hanging);
    for (int i = 0; i < 3; ++i)
        rig.addRow(
            QStringLiteral("/h?%1").arg(i), QStringLiteral("h%1").arg(i), QStringLiteral("pdf"));
    QVERIFY(writeFile(rig.path(QStringLiteral("h1.pdf")), "earlier file"));
    rig.scheduler().state().LastTransferEnd = rig.clock.nowSeconds() - 10;
    switchOnQuietly(rig.scheduler());
    rig.scheduler().schedulingPass();
    QVERIFY(rig.waitUntil([&] { return rig.list().at(2).Received == QStringLiteral("10000"); }));

    rig.scheduler().stop();
    QCOMPARE(rig.multi().instanceCount(), 0);
    rig.settle();
    QCOMPARE(rig.multi().findChildren<Downloader *>().size(), 0);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(rig.list().at(i).StatusCode, Status::Failed);
    // Placeholders go with their transfers; the earlier file is untouched.
    QVERIFY(!QFileInfo::exists(rig.path(QStringLiteral("h0.pdf"))));
    QCOMPARE(readFile(rig.path(QStringLiteral("h1.pdf"))), QByteArray("earlier file"));
    QVERIFY(!QFileInfo::exists(rig.path(QStringLiteral("h2.pdf"))));
    QCOMPARE(partFiles(rig.folder()), QStringList());
    QVERIFY(!rig.options().autoStart);
}

void TestMultiConnection::hangingConnectionClosedAfter1200Seconds()
{
    DownloadTestRig rig;
    rig.options().method = 2;
    rig.options().connections = 2;
    Response silent = Response::pattern(100);
    silent.stallAfterHeaders = true;
    silent.mode = BodyMode::Chunked; // no size ever shown
    rig.server.route("/silent", silent);
    Response sized = Response::pattern(100000);
    sized.stallAfterBytes = 5000;
    rig.server.route("/sized", sized);
    rig.addRow(QStringLiteral("/silent"), QStringLiteral("s"), QStringLiteral("pdf"));
    rig.addRow(QStringLiteral("/sized"), QStringLiteral("z"), QStringLiteral("pdf"));
    rig.scheduler().state().LastTransferEnd = rig.clock.nowSeconds() - 10;
    switchOnQuietly(rig.scheduler());
    rig.scheduler().schedulingPass();
    QVERIFY(rig.waitUntil([&] { return rig.list().at(1).Received == QStringLiteral("5000"); }));

    rig.clock.advance(1199);
    rig.scheduler().watchPass();
    QVERIFY(rig.multi().inUse(1));
    rig.clock.advance(1);
    rig.scheduler().watchPass();
    QVERIFY(!rig.multi().inUse(1));
    QCOMPARE(rig.list().at(0).StatusCode, Status::Failed);
    // A connection that showed its size is left alone.
    QVERIFY(rig.multi().inUse(2));
    QCOMPARE(rig.list().at(1).StatusCode, Status::Downloading);
    rig.scheduler().stop();
}

void TestMultiConnection::fallbackGivesUpAfter60Seconds()
{
    DownloadTestRig rig;
    int seen = 0;
    rig.server.route("/late", [&](const FixtureServer::Request &) {
        Response response = Response::pattern(100).withMode(BodyMode::Chunked);
        if (++seen == 2)
            response.stallAfterHeaders = true;
        return response;
    });
    const int row = rig.addRow(QStringLiteral("/late"), QStringLiteral("l"), QStringLiteral("pdf"));
    rig.multi().多线程下载(
        1, row, rig.server.urlText(QStringLiteral("/late")), rig.path(QStringLiteral("l.pdf")));
    QVERIFY(rig.waitUntil([&] { return seen == 2; }));
    Downloader *downloader = rig.multi().downloader(1);
    QVERIFY(downloader);
    rig.clock.advance(60);
    downloader->checkTimeouts();
    QVERIFY(rig.multi().inUse(1));
    rig.clock.advance(1);
    downloader->checkTimeouts();
    QVERIFY(!rig.multi().inUse(1));
    QCOMPARE(rig.list().at(row).StatusCode, Status::Failed);
    QCOMPARE(partFiles(rig.folder()), QStringList());
}

void TestMultiConnection::receivingFallbackIsNeverCutOff()
{
    DownloadTestRig rig;
    int seen = 0;
    rig.server.route("/trickle", [&](const FixtureServer::Request &) {
        Response response = Response::pattern(40000);
        if (++seen == 1) {
            response.mode = BodyMode::Chunked; // no size: the fallback runs
        } else {
            response.trickleBytes = 4000;
            response.trickleIntervalMs = 30;
        }
        return response;
    });
    const int row
        = rig.addRow(QStringLiteral("/trickle"), QStringLiteral("t"), QStringLiteral("pdf"));
    rig.multi().多线程下载(
        1, row, rig.server.urlText(QStringLiteral("/trickle")), rig.path(QStringLiteral("t.pdf")));
    // Each piece arrives 50 s of clock time after the one before: slow, but
    // never 60 s without a byte.
    qint64 shown = 0;
    while (rig.multi().inUse(1)) {
        QVERIFY(rig.waitUntil([&] {
            return !rig.multi().inUse(1) || rig.list().at(row).Received.toLongLong() > shown;
        }));
        shown = rig.list().at(row).Received.toLongLong();
        rig.clock.advance(50);
        if (Downloader *downloader = rig.multi().downloader(1))
            downloader->checkTimeouts();
    }
    QCOMPARE(rig.list().at(row).StatusCode, Status::Completed);
    QCOMPARE(readFile(rig.path(QStringLiteral("t.pdf"))), FixtureServer::patternBytes(0, 40000));
    QVERIFY(rig.clock.nowSeconds() > 1000 + 60);
}

void TestMultiConnection::fallbackAnnouncingEmptyBody()
{
    DownloadTestRig rig;
    int seen = 0;
    rig.server.route("/empty", [&](const FixtureServer::Request &) {
        return ++seen == 1 ? Response::pattern(10).withMode(BodyMode::Chunked)
                           : Response::ok(QByteArray());
    });
    const int row
        = rig.addRow(QStringLiteral("/empty"), QStringLiteral("e"), QStringLiteral("pdf"));
    QVERIFY(writeFile(rig.path(QStringLiteral("e.pdf")), "old"));
    QSignalSpy ended(&rig.multi(), &MultiConnectionTransfer::connectionEnded);
    rig.multi().多线程下载(
        1, row, rig.server.urlText(QStringLiteral("/empty")), rig.path(QStringLiteral("e.pdf")));
    QVERIFY(ended.wait(10000));
    // An empty answer is no file: the row fails and the earlier file stays.
    QCOMPARE(readFile(rig.path(QStringLiteral("e.pdf"))), QByteArray("old"));
    QCOMPARE(rig.list().at(row).StatusCode, Status::Failed);
    QCOMPARE(rig.list().at(row).FailureReason, QStringLiteral("empty body"));
    QCOMPARE(rig.server.requestCount("/empty"), 2);
}

void TestMultiConnection::collidingNamesUnderRename()
{
    DownloadTestRig rig;
    rig.options().method = 2;
    rig.options().connections = 2;
    rig.options().policy = DuplicatePolicy::Rename;
    Response slow = Response::pattern(20000);
    slow.pauseAfterBytes = 100;
    slow.pauseMs = 200;
    rig.server.route("/one", slow);
    rig.server.route("/two", Response::pattern(30000));
    rig.addRow(QStringLiteral("/one"), QStringLiteral("Same"), QStringLiteral("pdf"));
    rig.addRow(QStringLiteral("/two"), QStringLiteral("Same"), QStringLiteral("pdf"));
    rig.scheduler().state().LastTransferEnd = rig.clock.nowSeconds() - 10;
    switchOnQuietly(rig.scheduler());
    rig.scheduler().schedulingPass();
    QCOMPARE(rig.list().at(0).Name, QStringLiteral("Same"));
    QCOMPARE(rig.list().at(1).Name, QStringLiteral("Same[001]"));
    QVERIFY(rig.waitUntil([&] { return rig.list().检测是否下载列表完毕(); }));
    QCOMPARE(readFile(rig.path(QStringLiteral("Same.pdf"))), FixtureServer::patternBytes(0, 20000));
    QCOMPARE(
        readFile(rig.path(QStringLiteral("Same[001].pdf"))), FixtureServer::patternBytes(0, 30000));
    rig.scheduler().Timer_Down().stop();
}

void TestMultiConnection::folderThatCannotBeCreatedFailsRow()
{
    DownloadTestRig rig;
    rig.options().method = 2;
    rig.options().connections = 1;
    rig.server.route("/f", Response::pattern(100));
    QVERIFY(writeFile(rig.path(QStringLiteral("plainfile")), "x"));
    const QString badFolder = rig.path(QStringLiteral("plainfile/sub/"));
    rig.list().addItem(rig.server.urlText(QStringLiteral("/f?1")), QStringLiteral("a"),
        QStringLiteral("pdf"), badFolder, QString());
    rig.addRow(QStringLiteral("/f?2"), QStringLiteral("b"), QStringLiteral("pdf"));
    rig.scheduler().state().LastTransferEnd = rig.clock.nowSeconds() - 10;
    switchOnQuietly(rig.scheduler());
    rig.scheduler().schedulingPass();
    QCOMPARE(rig.list().at(0).StatusCode, Status::Failed);
    QCOMPARE(rig.list().at(0).Size, QStringLiteral("下载失败"));
    QCOMPARE(rig.list().at(0).Folder, badFolder);
    QCOMPARE(rig.multi().rowOf(1), 1); // the next row took the slot
    QVERIFY(rig.waitUntil([&] { return rig.list().at(1).StatusCode == Status::Completed; }));
    rig.scheduler().Timer_Down().stop();
}

void TestMultiConnection::fallbackRefererHeader_data()
{
    QTest::addColumn<QString>("referer");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("header");
    QTest::newRow("given") << QStringLiteral("http://r.example/p") << QStringLiteral("http://h/x")
                           << QStringLiteral("Referer:http://r.example/p");
    QTest::newRow("site of the address") << QString() << QStringLiteral("https://h.example/a/b.pdf")
                                         << QStringLiteral("Referer:https://h.example/");
    QTest::newRow("host only") << QString() << QStringLiteral("http://h.example")
                               << QStringLiteral("Referer:http://h.example/");
    QTest::newRow("no scheme") << QString() << QStringLiteral("h.example/f")
                               << QStringLiteral("Referer:http://h.example/");
}

void TestMultiConnection::fallbackRefererHeader()
{
    QFETCH(QString, referer);
    QFETCH(QString, url);
    QFETCH(QString, header);
    QCOMPARE(Downloader::fallbackRefererHeader(referer, url), header);
}

QTEST_GUILESS_MAIN(TestMultiConnection)
#include "tst_multiconnection.moc"
