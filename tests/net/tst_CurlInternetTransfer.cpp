#include "FixtureServer.h"
#include "TestEnvironment.h"
#include "TinyProxy.h"
#include "platform/CookieJar.h"
#include "platform/curl/CurlInternetTransfer.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <curl/curl.h>

Q_DECLARE_METATYPE(FixtureServer::Response)

using Response = FixtureServer::Response;
using BodyMode = FixtureServer::BodyMode;

namespace {

// Reads the transfer the way the download does: after every readyRead() and
// at the end, chunks of at most 2048 bytes until none is left.
struct Reader
{
    explicit Reader(CurlInternetTransfer &transfer) : inet(transfer)
    {
        QObject::connect(&inet, &CurlInternetTransfer::readyRead, &context, [this] { drain(); });
        QObject::connect(&inet, &CurlInternetTransfer::finished, &context, [this] {
            ++finished;
            endedEarly = endedEarly || inet.atEnd() != (inet.bufferedBytes() == 0);
            drain();
            atEndAfterDrain = inet.atEnd();
        });
        QObject::connect(&inet, &CurlInternetTransfer::stateChanged, &context,
            [this](int state) { states.append(state); });
    }
    void drain()
    {
        for (;;) {
            const QByteArray chunk = inet.getChunk(2048);
            if (chunk.isEmpty())
                return;
            chunkSizes.append(chunk.size());
            body += chunk;
        }
    }
    // A real event loop: QTest::qWaitFor naps between rounds, which would
    // slow a body that arrives in many small pieces.
    bool waitFinished()
    {
        if (finished == 0) {
            QEventLoop loop;
            QObject::connect(&inet, &CurlInternetTransfer::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(20000, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return finished > 0;
    }

    CurlInternetTransfer &inet;
    QObject context;
    QByteArray body;
    QList<int> chunkSizes;
    QList<int> states;
    int finished = 0;
    bool endedEarly = false;
    bool atEndAfterDrain = false;
};

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class tst_CurlInternetTransfer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void bodyInChunks_data();
    void bodyInChunks();
    void headersOfTheFinalResponse();
    void stateOrder();
    void httpErrorStatus();
    void connectionRefusedReportsState11();
    void cancelMidBody();
    void executeWhileRunningCancelsFirst();
    void cancelWhenIdle();
    void fetchWhole();
    void cookiesOfTheGivenJar();
    void throughRealProxy();
    void stateTexts_data();
    void stateTexts();

private:
    FixtureServer m_server;
    CookieJar m_jar;
};

void tst_CurlInternetTransfer::initTestCase()
{
    useTestLocations();
    QVERIFY(m_server.listen());
}

void tst_CurlInternetTransfer::bodyInChunks_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("lastChunk");

    QTest::newRow("content-length") << Response::pattern(100000) << 100000 << 100000 % 2048;
    Response chunked = Response::pattern(9999).withMode(BodyMode::Chunked);
    chunked.chunkSize = 100;
    QTest::newRow("chunked") << chunked << 9999 << -1;
    Response lastByteAlone = Response::pattern(4097).withMode(BodyMode::CloseDelimited);
    lastByteAlone.pauseAfterBytes = 4096;
    lastByteAlone.pauseMs = 50;
    QTest::newRow("close-delimited, last read one byte") << lastByteAlone << 4097 << 1;
    // A single byte in the middle of a body must not end it.
    Response singleInMiddle = Response::pattern(3000).withMode(BodyMode::CloseDelimited);
    singleInMiddle.trickleBytes = 1;
    singleInMiddle.trickleIntervalMs = 0;
    QTest::newRow("close-delimited, one byte at a time") << singleInMiddle << 3000 << -1;
    QTest::newRow("close-delimited, one byte in all")
        << Response::pattern(1).withMode(BodyMode::CloseDelimited) << 1 << 1;
    QTest::newRow("empty") << Response::ok({}) << 0 << -1;
}

void tst_CurlInternetTransfer::bodyInChunks()
{
    QFETCH(Response, response);
    QFETCH(int, size);
    QFETCH(int, lastChunk);
    const QByteArray path = "/chunks/" + QByteArray(QTest::currentDataTag()).toPercentEncoding();
    m_server.route(path, response);

    CurlInternetTransfer inet(&m_jar);
    Reader reader(inet);
    inet.execute(m_server.urlText(QString::fromLatin1(path)));
    QVERIFY(inet.stillExecuting());
    QVERIFY(!inet.atEnd());
    QVERIFY2(reader.waitFinished(), QByteArray::number(reader.body.size()).constData());
    QCOMPARE(reader.finished, 1);
    QVERIFY(!inet.failed());
    QVERIFY(!inet.stillExecuting());
    QVERIFY(!reader.endedEarly);
    QVERIFY(reader.atEndAfterDrain);
    QCOMPARE(reader.body.size(), size);
    QCOMPARE(reader.body, FixtureServer::patternBytes(0, size));
    for (int chunk : std::as_const(reader.chunkSizes))
        QVERIFY(chunk > 0 && chunk <= 2048);
    if (lastChunk >= 0 && size > 0)
        QCOMPARE(reader.chunkSizes.last(), lastChunk);
    QVERIFY(inet.getChunk(2048).isEmpty());
}

void tst_CurlInternetTransfer::headersOfTheFinalResponse()
{
    m_server.route("/doc", Response::ok("%PDF-1.4 tiny", "application/pdf"));
    m_server.route("/old", Response::redirect("/doc"));
    CurlInternetTransfer inet(&m_jar);
    QVERIFY(inet.allHeaders().isEmpty());
    QVERIFY(inet.atEnd()); // idle
    Reader reader(inet);
    QSignalSpy headers(&inet, &CurlInternetTransfer::headersReceived);
    inet.execute(m_server.urlText(QStringLiteral("/old")), QStringLiteral("GET"), {},
        QStringLiteral("Referer: http://127.0.0.1/list\r\n"));
    QVERIFY(reader.waitFinished());
    QCOMPARE(headers.size(), 1);
    QVERIFY(inet.headersComplete());
    QCOMPARE(inet.allHeaders(),
        QStringLiteral("HTTP/1.1 200 OK\r\nContent-Type: "
                       "application/pdf\r\nContent-Length: 13"));
    QCOMPARE(inet.header(QStringLiteral("content-length")), QStringLiteral("13"));
    QCOMPARE(inet.header(QStringLiteral("Content-Type")), QStringLiteral("application/pdf"));
    QCOMPARE(inet.header(QStringLiteral("Content-Disposition")), QString());
    QCOMPARE(inet.responseCode(), 200);
    QCOMPARE(inet.responseText(), QStringLiteral("OK"));
    QCOMPARE(inet.lastUrl(), m_server.urlText(QStringLiteral("/old")));
    QCOMPARE(m_server.lastRequest().header("Referer"), QByteArray("http://127.0.0.1/list"));
}

void tst_CurlInternetTransfer::stateOrder()
{
    FixtureServer fresh; // no pooled connection: every stage happens
    QVERIFY(fresh.listen());
    fresh.route("/a", Response::pattern(5000));
    CurlInternetTransfer inet(&m_jar);
    Reader reader(inet);
    inet.execute(fresh.urlText(QStringLiteral("/a")));
    QVERIFY(reader.waitFinished());
    QCOMPARE(reader.states, (QList<int> { 1, 2, 3, 4, 5, 6, 7, 8, 12 }));

    // Again over the kept connection: no lookup or connect, same order after.
    reader.states.clear();
    reader.finished = 0;
    inet.execute(fresh.urlText(QStringLiteral("/a")));
    QVERIFY(reader.waitFinished());
    QCOMPARE(reader.states, (QList<int> { 1, 4, 5, 6, 7, 8, 12 }));
    QCOMPARE(fresh.totalConnections(), 1);
}

void tst_CurlInternetTransfer::httpErrorStatus()
{
    CurlInternetTransfer inet(&m_jar);
    Reader reader(inet);
    inet.execute(m_server.urlText(QStringLiteral("/missing")));
    QVERIFY(reader.waitFinished());
    QVERIFY(!inet.failed());
    QCOMPARE(inet.responseCode(), 404);
    QCOMPARE(inet.responseText(), QStringLiteral("Not Found"));
    QVERIFY(inet.allHeaders().startsWith(QStringLiteral("HTTP/1.1 404 Not Found\r\n")));
    QCOMPARE(reader.states.last(), 12);
}

void tst_CurlInternetTransfer::connectionRefusedReportsState11()
{
    CurlInternetTransfer inet(&m_jar);
    Reader reader(inet);
    inet.execute(QStringLiteral("http://127.0.0.1:%1/file.pdf").arg(closedPort()));
    QVERIFY(reader.waitFinished());
    QVERIFY(inet.failed());
    QVERIFY(inet.atEnd());
    QVERIFY(inet.allHeaders().isEmpty());
    QCOMPARE(reader.states.last(), 11);
    QVERIFY(!reader.states.contains(8));
    QCOMPARE(inet.responseCode(), int(CURLE_COULDNT_CONNECT));
    QVERIFY(!inet.responseText().isEmpty());
    QCOMPARE(CurlInternetTransfer::stateText(11, inet.responseCode(), inet.responseText()),
        QStringLiteral("11 与主机通讯时出现了错误:7:") + inet.responseText());
}

void tst_CurlInternetTransfer::cancelMidBody()
{
    FixtureServer server;
    QVERIFY(server.listen());
    Response stall = Response::pattern(1 << 20);
    stall.stallAfterBytes = 10000;
    server.route("/big", stall);
    server.route("/next", Response::ok("next one"));

    CurlInternetTransfer inet(&m_jar);
    Reader reader(inet);
    inet.execute(server.urlText(QStringLiteral("/big")));
    QTRY_COMPARE(reader.body.size(), 10000);
    inet.cancel();
    QVERIFY(!inet.stillExecuting());
    QTRY_COMPARE(server.openConnections(), 0);
    QTest::qWait(50);
    QCOMPARE(reader.finished, 0);

    reader.body.clear();
    inet.execute(server.urlText(QStringLiteral("/next")));
    QVERIFY(reader.waitFinished());
    QCOMPARE(reader.body, QByteArray("next one"));
    QCOMPARE(inet.allHeaders().count(QStringLiteral("HTTP/1.1")), 1);
}

void tst_CurlInternetTransfer::executeWhileRunningCancelsFirst()
{
    FixtureServer server;
    QVERIFY(server.listen());
    Response stall = Response::pattern(50000);
    stall.stallAfterHeaders = true;
    server.route("/hang", stall);
    server.route("/second", Response::ok("second"));

    CurlInternetTransfer inet(&m_jar);
    Reader reader(inet);
    inet.execute(server.urlText(QStringLiteral("/hang")));
    QTRY_VERIFY(inet.headersComplete());
    inet.execute(server.urlText(QStringLiteral("/second")));
    QVERIFY(!inet.headersComplete()); // the old response is gone
    QVERIFY(reader.waitFinished());
    QTest::qWait(50);
    QCOMPARE(reader.finished, 1);
    QCOMPARE(reader.body, QByteArray("second"));
    QCOMPARE(inet.lastUrl(), server.urlText(QStringLiteral("/second")));
}

void tst_CurlInternetTransfer::cancelWhenIdle()
{
    CurlInternetTransfer inet(&m_jar);
    QSignalSpy states(&inet, &CurlInternetTransfer::stateChanged);
    inet.cancel();
    inet.cancel();
    QVERIFY(!inet.stillExecuting());
    QVERIFY(inet.atEnd());
    QCOMPARE(states.size(), 0);
    QVERIFY(inet.getChunk(2048).isEmpty());
}

void tst_CurlInternetTransfer::fetchWhole()
{
    m_server.route("/whole", Response::pattern(70000).withMode(BodyMode::CloseDelimited));
    CurlInternetTransfer inet(&m_jar);
    QSignalSpy readyRead(&inet, &CurlInternetTransfer::readyRead);
    QSignalSpy whole(&inet, &CurlInternetTransfer::wholeBodyReady);
    QSignalSpy finished(&inet, &CurlInternetTransfer::finished);
    inet.fetchWhole(m_server.urlText(QStringLiteral("/whole")),
        QStringLiteral("Referer: http://127.0.0.1/\r\n"));
    QVERIFY(whole.wait(20000));
    QCOMPARE(whole.at(0).at(0).toByteArray(), FixtureServer::patternBytes(0, 70000));
    QCOMPARE(readyRead.size(), 0);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(inet.bufferedBytes(), 0);
    QCOMPARE(m_server.lastRequest().header("Referer"), QByteArray("http://127.0.0.1/"));

    // Nothing arrived: an empty body, not a stale one.
    inet.fetchWhole(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort()));
    QVERIFY(whole.wait(20000));
    QVERIFY(whole.at(1).at(0).toByteArray().isEmpty());
    QVERIFY(inet.failed());
}

void tst_CurlInternetTransfer::cookiesOfTheGivenJar()
{
    CookieJar jar;
    m_server.route("/login", Response::ok("in").withCookie("sid=42; Path=/"));
    m_server.route("/file", Response::ok("file"));
    CurlInternetTransfer inet(&jar);
    Reader reader(inet);
    inet.execute(m_server.urlText(QStringLiteral("/login")));
    QVERIFY(reader.waitFinished());
    QCOMPARE(jar.cookieHeaderFor(m_server.url(QStringLiteral("/file"))), QByteArray("sid=42"));
    reader.finished = 0;
    inet.execute(m_server.urlText(QStringLiteral("/file")));
    QVERIFY(reader.waitFinished());
    QCOMPARE(m_server.lastRequest().header("Cookie"), QByteArray("sid=42"));

    // Without a jar of its own the transfer uses the shared one.
    CookieJar shared;
    CookieJar::setShared(&shared);
    CurlInternetTransfer plain;
    Reader plainReader(plain);
    plain.execute(m_server.urlText(QStringLiteral("/login")));
    QVERIFY(plainReader.waitFinished());
    CookieJar::setShared(nullptr);
    QCOMPARE(shared.cookies().size(), 1);
}

void tst_CurlInternetTransfer::throughRealProxy()
{
    if (TinyProxy::executable().isEmpty())
        QSKIP("tinyproxy is not installed");
    TinyProxy proxy;
    QVERIFY2(proxy.start(), qPrintable(proxy.log()));
    m_server.route("/proxied", Response::pattern(30000));

    CurlInternetTransfer inet(&m_jar);
    inet.setProxy(proxy.address());
    QCOMPARE(inet.proxy(), proxy.address());
    Reader reader(inet);
    inet.execute(m_server.urlText(QStringLiteral("/proxied")), QStringLiteral("GET"), {},
        QStringLiteral("Referer: http://127.0.0.1/\r\n"));
    QVERIFY(reader.waitFinished());
    QCOMPARE(reader.body, FixtureServer::patternBytes(0, 30000));
    QVERIFY(m_server.lastRequest().header("Via").contains("tinyproxy"));
    QCOMPARE(m_server.lastRequest().header("Referer"), QByteArray("http://127.0.0.1/"));
    proxy.stop();
}

void tst_CurlInternetTransfer::stateTexts_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("expected");
    const QString code = QStringLiteral("404:Not Found");
    QTest::newRow("0") << 0 << QStringLiteral("0 无状态可报告。");
    QTest::newRow("1") << 1 << QStringLiteral("1 正在查询所指定的主机的 IP 地址...");
    QTest::newRow("2") << 2 << QStringLiteral("2 已成功地找到所指定的主机的 IP 地址。");
    QTest::newRow("3") << 3 << QStringLiteral("3 正在与主机连接...");
    QTest::newRow("4") << 4 << QStringLiteral("4 已与主机连接成功。");
    QTest::newRow("5") << 5 << QStringLiteral("5 正在向主机发送请求...");
    QTest::newRow("6") << 6 << QStringLiteral("6 发送请求已成功。");
    QTest::newRow("7") << 7 << QStringLiteral("7 正在接收主机的响应...");
    QTest::newRow("8") << 8 << QStringLiteral("8 已成功地接收到主机的响应。");
    QTest::newRow("9") << 9 << QStringLiteral("9 正在解除与主机的连接...");
    QTest::newRow("10") << 10 << QStringLiteral("10 已成功地与主机解除了连接。");
    QTest::newRow("11") << 11 << QStringLiteral("11 与主机通讯时出现了错误:404:Not Found");
    QTest::newRow("12") << 12 << QStringLiteral("12 该请求已经完成，并且所有数据均已接收到。");
    QTest::newRow("13, unknown") << 13 << code;
    QTest::newRow("-1, unknown") << -1 << code;
}

void tst_CurlInternetTransfer::stateTexts()
{
    QFETCH(int, state);
    QFETCH(QString, expected);
    QCOMPARE(CurlInternetTransfer::stateText(state, 404, QStringLiteral("Not Found")), expected);
}

QTEST_GUILESS_MAIN(tst_CurlInternetTransfer)
#include "tst_CurlInternetTransfer.moc"
