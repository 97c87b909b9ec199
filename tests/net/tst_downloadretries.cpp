#include "DownloadTestRig.h"
#include "common/RetryWait.h"
#include "download/DownloadList.h"
#include "download/DownloadRetries.h"
#include "download/ListOperations.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

#include <memory>

using Response = FixtureServer::Response;

namespace {

const QDateTime kServerNow(QDate(2024, 3, 1), QTime(12, 0), QTimeZone::utc());

QByteArray httpDate(const QDateTime &utc)
{
    return QLocale::c()
        .toString(utc.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"))
        .toLatin1();
}

// Answers `busy` for the first `times` requests, then a PDF of 3000 bytes.
void routeBusy(FixtureServer &server, const QByteArray &path, int times, const Response &busy)
{
    auto asked = std::make_shared<int>(0);
    server.route(path, [asked, times, busy](const FixtureServer::Request &) {
        return ++*asked <= times ? busy : Response::pattern(3000, "application/pdf");
    });
}

Response busyAnswer(int status, const QByteArray &retryAfter = {}, const QByteArray &date = {})
{
    Response response
        = Response::status(status, status == 429 ? "Too Many Requests" : "Service Unavailable",
            "<html><body>busy</body></html>");
    if (!retryAfter.isEmpty())
        response.withHeader("Retry-After", retryAfter);
    if (!date.isEmpty())
        response.withHeader("Date", date);
    return response;
}

bool idle(DownloadTestRig &rig)
{
    for (int row = 0; row < rig.list().size(); ++row) {
        if (rig.list().at(row).StatusCode == Status::Downloading)
            return false;
    }
    return !rig.single().isRunning() && rig.multi().instanceCount() == 0;
}

// Moves the clock, runs one scheduling pass and lets the transfers it
// started run to their end.
bool passAfter(DownloadTestRig &rig, double seconds)
{
    rig.clock.advance(seconds);
    rig.scheduler().schedulingPass();
    const bool ended = rig.waitUntil([&] { return idle(rig); });
    rig.settle();
    return ended;
}

void switchOn(DownloadTestRig &rig, int method)
{
    rig.options().method = method;
    rig.options().connections = 3;
    rig.options().intervalSeconds = 0;
    // The first pass comes a second later, when the server's clock reads
    // kServerNow.
    rig.clock.setWallClockUtc(kServerNow.addSecs(-1));
    rig.scheduler().state().LastTransferEnd = rig.clock.nowSeconds() - 10;
    switchOnQuietly(rig.scheduler());
}

void addMethods()
{
    QTest::addColumn<int>("method");
}

} // namespace

// Answers 429 and 503 are asked again later, politely, by both methods.
class TestDownloadRetries : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void waitsAsTheServerAsks_data();
    void waitsAsTheServerAsks();
    void withoutHeaderWaitsThenGivesUp_data();
    void withoutHeaderWaitsThenGivesUp();
    void failsAtOnce_data();
    void failsAtOnce();
    void otherRowsGoOnWhileOneWaits_data();
    void otherRowsGoOnWhileOneWaits();
};

void TestDownloadRetries::waitsAsTheServerAsks_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("retryAfter");
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<int>("wait");

    // The wall clock stands 30 s after the server's Date: the delay of a date
    // counts from the answer's Date when it has one.
    const QByteArray in90 = httpDate(kServerNow.addSecs(90));
    const QByteArray serverDate = httpDate(kServerNow.addSecs(-30));
    for (const int method : { 1, 2 }) {
        QTest::addRow("method %d, 429 after seconds", method)
            << method << 429 << QByteArray("7") << QByteArray() << 7;
        QTest::addRow("method %d, 429 at a date, with Date", method)
            << method << 429 << in90 << serverDate << 120;
        QTest::addRow("method %d, 429 at a date, without Date", method)
            << method << 429 << in90 << QByteArray() << 90;
        QTest::addRow("method %d, 503 after 300 s, the longest wait", method)
            << method << 503 << QByteArray("300") << QByteArray() << 300;
    }
}

void TestDownloadRetries::waitsAsTheServerAsks()
{
    QFETCH(int, method);
    QFETCH(int, status);
    QFETCH(QByteArray, retryAfter);
    QFETCH(QByteArray, date);
    QFETCH(int, wait);

    DownloadTestRig rig;
    routeBusy(rig.server, "/busy", 1, busyAnswer(status, retryAfter, date));
    rig.addRow(QStringLiteral("/busy"), QStringLiteral("paper"), QStringLiteral("pdf"));
    QSignalSpy notices(&rig.session, &DownloadSession::retryNotice);
    switchOn(rig, method);

    QVERIFY(passAfter(rig, 1));
    const double answeredAt = rig.clock.nowSeconds();
    DownloadItem row = rig.list().at(0);
    QCOMPARE(row.StatusCode, Status::Waiting);
    QCOMPARE(row.Size, StatusText::WaitingAgain);
    QVERIFY(row.FailureReason.isEmpty());
    QCOMPARE(row.NotBefore, answeredAt + wait);
    QCOMPARE(notices.size(), 1);
    QCOMPARE(notices.at(0).at(0).toString(), rig.server.urlText(QStringLiteral("/busy")));
    QCOMPARE(notices.at(0).at(1).toString(), RetryText::retrying(status, wait));
    // The tooltip names the local time of the next try.
    const QString next = rig.clock.wallClockUtc().addSecs(wait).toLocalTime().toString(
        QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QCOMPARE(RetryTooltip(row, rig.clock),
        RetryText::httpStatus(status) + QStringLiteral("，将于 ") + next + QStringLiteral(" 再试"));
    // The list shows it as the row's tooltip.
    QCOMPARE(rig.list().data(rig.list().index(0, 0), Qt::ToolTipRole).toString(),
        RetryTooltip(row, rig.clock));

    // Not asked again a second early.
    QVERIFY(passAfter(rig, wait - 1));
    QCOMPARE(rig.server.requestCount("/busy"), 1);
    QCOMPARE(rig.list().at(0).StatusCode, Status::Waiting);
    QVERIFY(rig.scheduler().isRunning());

    QVERIFY(passAfter(rig, 1));
    QCOMPARE(rig.server.requestCount("/busy"), 2);
    row = rig.list().at(0);
    QCOMPARE(row.StatusCode, Status::Completed);
    QCOMPARE(row.Size, QStringLiteral("3000"));
    QCOMPARE(row.RetryTries, 0);
    QVERIFY(RetryTooltip(row, rig.clock).isEmpty());
    QVERIFY(rig.list().data(rig.list().index(0, 0), Qt::ToolTipRole).isNull());
    QFile file(rig.path(QStringLiteral("paper.pdf")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), FixtureServer::patternBytes(0, 3000));
}

void TestDownloadRetries::withoutHeaderWaitsThenGivesUp_data()
{
    addMethods();
    QTest::newRow("method 1") << 1;
    QTest::newRow("method 2") << 2;
}

void TestDownloadRetries::withoutHeaderWaitsThenGivesUp()
{
    QFETCH(int, method);
    DownloadTestRig rig;
    routeBusy(rig.server, "/busy", 4, busyAnswer(503));
    rig.addRow(QStringLiteral("/busy"), QStringLiteral("paper"), QStringLiteral("pdf"));
    QSignalSpy notices(&rig.session, &DownloadSession::retryNotice);
    switchOn(rig, method);

    QVERIFY(passAfter(rig, 1));
    QCOMPARE(rig.list().at(0).NotBefore, rig.clock.nowSeconds() + 5);
    QVERIFY(passAfter(rig, 5));
    QCOMPARE(rig.server.requestCount("/busy"), 2);
    QCOMPARE(rig.list().at(0).StatusCode, Status::Waiting);
    QCOMPARE(rig.list().at(0).NotBefore, rig.clock.nowSeconds() + 20);
    QVERIFY(passAfter(rig, 19));
    QCOMPARE(rig.server.requestCount("/busy"), 2);
    QVERIFY(passAfter(rig, 1));
    QCOMPARE(rig.server.requestCount("/busy"), 3);

    // The third busy answer ends it: the row fails with the last status.
    DownloadItem row = rig.list().at(0);
    QCOMPARE(row.StatusCode, Status::Failed);
    QCOMPARE(row.Size, StatusText::DownloadFailed);
    QCOMPARE(row.FailureReason, RetryText::gaveUp(503, 3));
    QCOMPARE(notices.size(), 3);
    QCOMPARE(notices.at(0).at(1).toString(), RetryText::retrying(503, 5));
    QCOMPARE(notices.at(1).at(1).toString(), RetryText::retrying(503, 20));
    QCOMPARE(notices.at(2).at(1).toString(), RetryText::gaveUp(503, 3));
    QVERIFY(passAfter(rig, 60));
    QCOMPARE(rig.server.requestCount("/busy"), 3);
    QVERIFY(!QFile::exists(rig.path(QStringLiteral("paper.pdf"))));

    // Queued again by the user, the row starts its count afresh: one more
    // busy answer waits 5 s again, and the next answer is the file.
    RequeueRow(rig.list(), 0, false);
    QVERIFY(passAfter(rig, 1));
    QCOMPARE(rig.server.requestCount("/busy"), 4);
    row = rig.list().at(0);
    QCOMPARE(row.StatusCode, Status::Waiting);
    QCOMPARE(row.RetryTries, 1);
    QCOMPARE(row.NotBefore, rig.clock.nowSeconds() + 5);
    QVERIFY(passAfter(rig, 5));
    QCOMPARE(rig.list().at(0).StatusCode, Status::Completed);
}

void TestDownloadRetries::failsAtOnce_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("retryAfter");
    QTest::addColumn<QString>("reason");

    // Asked to come back in 301 s: the row fails and says when.
    const QString comeBack = RetryText::waitTooLong(429, 301, kServerNow.addSecs(301));
    const QString farDate = RetryText::waitTooLong(503, 3600, kServerNow.addSecs(3600));
    for (const int method : { 1, 2 }) {
        QTest::addRow("method %d, 429 after 301 s", method)
            << method << 429 << QByteArray("301") << comeBack;
        QTest::addRow("method %d, 503 at a date an hour away", method)
            << method << 503 << httpDate(kServerNow.addSecs(3600)) << farDate;
        QTest::addRow("method %d, 500 is no busy answer", method)
            << method << 500 << QByteArray("5") << QStringLiteral("HTTP 500");
    }
}

void TestDownloadRetries::failsAtOnce()
{
    QFETCH(int, method);
    QFETCH(int, status);
    QFETCH(QByteArray, retryAfter);
    QFETCH(QString, reason);

    DownloadTestRig rig;
    routeBusy(rig.server, "/busy", 1, busyAnswer(status, retryAfter));
    rig.addRow(QStringLiteral("/busy"), QStringLiteral("paper"), QStringLiteral("pdf"));
    switchOn(rig, method);

    QVERIFY(passAfter(rig, 1));
    const DownloadItem &row = rig.list().at(0);
    QCOMPARE(row.StatusCode, Status::Failed);
    QCOMPARE(row.Size, StatusText::DownloadFailed);
    QCOMPARE(row.FailureReason, reason);
    QCOMPARE(row.RetryTries, 0);
    QVERIFY(passAfter(rig, 400));
    QCOMPARE(rig.server.requestCount("/busy"), 1);
}

void TestDownloadRetries::otherRowsGoOnWhileOneWaits_data()
{
    addMethods();
    QTest::newRow("method 1") << 1;
    QTest::newRow("method 2") << 2;
}

void TestDownloadRetries::otherRowsGoOnWhileOneWaits()
{
    QFETCH(int, method);
    DownloadTestRig rig;
    routeBusy(rig.server, "/busy", 1, busyAnswer(429, "60"));
    rig.server.route("/b", Response::pattern(2000, "application/pdf"));
    rig.server.route("/c", Response::pattern(2500, "application/pdf"));
    rig.addRow(QStringLiteral("/busy"), QStringLiteral("a"), QStringLiteral("pdf"));
    rig.addRow(QStringLiteral("/b"), QStringLiteral("b"), QStringLiteral("pdf"));
    rig.addRow(QStringLiteral("/c"), QStringLiteral("c"), QStringLiteral("pdf"));
    QSignalSpy finished(&rig.scheduler(), &DownloadScheduler::listFinished);
    switchOn(rig, method);

    QVERIFY(passAfter(rig, 1));
    QCOMPARE(rig.list().at(0).StatusCode, Status::Waiting);
    for (int pass = 0; pass < 3; ++pass) {
        QVERIFY(passAfter(rig, 1));
        rig.scheduler().watchPass();
    }
    QCOMPARE(rig.list().at(1).StatusCode, Status::Completed);
    QCOMPARE(rig.list().at(2).StatusCode, Status::Completed);
    // The waiting row keeps the list unfinished and the scheduler on.
    QCOMPARE(rig.list().at(0).StatusCode, Status::Waiting);
    QCOMPARE(rig.server.requestCount("/busy"), 1);
    QVERIFY(!rig.list().检测是否下载列表完毕());
    QVERIFY(rig.scheduler().isRunning());
    QCOMPARE(finished.size(), 0);

    QVERIFY(passAfter(rig, 60));
    QCOMPARE(rig.server.requestCount("/busy"), 2);
    QCOMPARE(rig.list().at(0).StatusCode, Status::Completed);
    QVERIFY(rig.list().检测是否下载列表完毕());
}

QTEST_GUILESS_MAIN(TestDownloadRetries)
#include "tst_downloadretries.moc"
