#include "FixtureServer.h"
#include "TestEnvironment.h"
#include "TinyProxy.h"
#include "platform/CookieJar.h"
#include "platform/curl/CurlDriver.h"
#include "platform/curl/CurlRequest.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(FixtureServer::Response)

using Response = FixtureServer::Response;
using BodyMode = FixtureServer::BodyMode;

namespace {

// One request with everything it reported.
struct Probe
{
    explicit Probe(CookieJar *jar = nullptr) : request(new CurlRequest)
    {
        request->setCookieJar(jar);
        QObject::connect(request.get(), &CurlRequest::dataReceived, request.get(),
            [this](const QByteArray &data) { body += data; });
        QObject::connect(request.get(), &CurlRequest::finished, request.get(),
            [this](int code, const QString &message) {
                ++finishedCount;
                curlCode = code;
                this->message = message;
            });
        QObject::connect(request.get(), &CurlRequest::stageChanged, request.get(),
            [this](CurlRequest::Stage stage) { stages.append(stage); });
    }

    void get(const QString &url)
    {
        request->setUrl(url);
        request->start();
    }
    // A real event loop: QTest::qWaitFor naps between rounds.
    bool waitFinished(int ms = 20000)
    {
        if (finishedCount == 0 && request) {
            QEventLoop loop;
            QObject::connect(request.get(), &CurlRequest::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(ms, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return finishedCount > 0;
    }

    std::unique_ptr<CurlRequest> request;
    QByteArray body;
    int finishedCount = 0;
    int curlCode = -1;
    QString message;
    QList<CurlRequest::Stage> stages;
};

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // closed again when probe goes
}

} // namespace

class tst_CurlRequest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void bodies_data();
    void bodies();
    void headerTextOfFinalResponse();
    void redirectsAreFollowedWithFinalHeaders();
    void postRedirectedBy303BecomesGet();
    void tooManyRedirectsFail();
    void httpErrorStatusIsNotATransportError();
    void connectionRefused();
    void truncatedBodyFails();
    void requestCarriesMethodBodyAndHeaders();
    void cancelMidBodyClosesTheConnection();
    void cancelFromSlots_data();
    void cancelFromSlots();
    void cancelWhenIdle();
    void parallelRequests();
    void waitingDoesNotPoll();
    void nestedLoopInsideCallbackDoesNotSpin();
    void cookiesFromResponsesAreKeptAndSent();
    void cookiesFollowEachRedirectHop();
    void throughRealProxy();

private:
    FixtureServer m_server;
};

void tst_CurlRequest::initTestCase()
{
    useTestLocations();
    QVERIFY(m_server.listen());
}

void tst_CurlRequest::bodies_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("announced");

    QTest::newRow("content-length") << Response::pattern(70000) << qint64(70000) << qint64(70000);
    QTest::newRow("empty, content-length 0") << Response::ok({}) << qint64(0) << qint64(0);
    Response chunked = Response::pattern(10000).withMode(BodyMode::Chunked);
    chunked.chunkSize = 7;
    QTest::newRow("chunked in 7-byte chunks") << chunked << qint64(10000) << qint64(-1);
    QTest::newRow("close-delimited") << Response::pattern(300001).withMode(BodyMode::CloseDelimited)
                                     << qint64(300001) << qint64(-1);
    Response lastByteLate = Response::pattern(4097).withMode(BodyMode::CloseDelimited);
    lastByteLate.pauseAfterBytes = 4096;
    lastByteLate.pauseMs = 50;
    QTest::newRow("close-delimited, last byte alone") << lastByteLate << qint64(4097) << qint64(-1);
    QTest::newRow("8 MB generated")
        << Response::pattern(8 << 20) << qint64(8 << 20) << qint64(8 << 20);
}

void tst_CurlRequest::bodies()
{
    QFETCH(Response, response);
    QFETCH(qint64, size);
    QFETCH(qint64, announced);
    const QByteArray path = "/body/" + QByteArray(QTest::currentDataTag()).toPercentEncoding();
    m_server.route(path, response);

    Probe probe;
    qint64 lastProgress = -1;
    QObject::connect(probe.request.get(), &CurlRequest::progress, probe.request.get(),
        [&lastProgress](qint64 received, qint64) { lastProgress = received; });
    probe.get(m_server.urlText(QString::fromLatin1(path)));
    QVERIFY(probe.waitFinished());
    QCOMPARE(probe.curlCode, 0);
    QCOMPARE(probe.finishedCount, 1);
    QCOMPARE(probe.request->responseCode(), 200);
    QCOMPARE(probe.request->contentLength(), announced);
    QCOMPARE(probe.request->bytesReceived(), size);
    QCOMPARE(probe.body.size(), size);
    QVERIFY(probe.body == FixtureServer::patternBytes(0, size) || size == 0);
    if (size > 0)
        QCOMPARE(lastProgress, size);
    QCOMPARE(probe.stages.last(), CurlRequest::Stage::Finished);
    QVERIFY(!probe.request->isRunning());
}

void tst_CurlRequest::headerTextOfFinalResponse()
{
    m_server.route("/headers",
        Response::ok("hello", "text/plain")
            .withHeader("X-Multi", "1")
            .withHeader("X-Multi", "2")
            .withHeader("X-Spaced", "  padded value  "));
    Probe probe;
    probe.get(m_server.urlText(QStringLiteral("/headers")));
    QVERIFY(probe.waitFinished());
    QCOMPARE(probe.request->headerText(),
        QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX-Multi: 1\r\nX-Multi: "
                   "2\r\nX-Spaced:   padded value  \r\nContent-Length: 5"));
    QCOMPARE(probe.request->statusLine(), QByteArray("HTTP/1.1 200 OK"));
    QCOMPARE(probe.request->reasonPhrase(), QByteArray("OK"));
    QCOMPARE(probe.request->header("content-length"), QByteArray("5"));
    QCOMPARE(probe.request->header("CONTENT-TYPE"), QByteArray("text/plain"));
    QCOMPARE(probe.request->header("X-Spaced"), QByteArray("padded value"));
    QCOMPARE(probe.request->header("Absent"), QByteArray());
    QCOMPARE(probe.request->headerValues("x-multi"), (QList<QByteArray> { "1", "2" }));
}

void tst_CurlRequest::redirectsAreFollowedWithFinalHeaders()
{
    m_server.route("/hop1", Response::redirect("hop2?x=1")); // relative
    m_server.route(
        "/hop2", Response::redirect(m_server.urlText(QStringLiteral("/final")).toUtf8(), 301));
    m_server.route(
        "/final", Response::ok("the document", "application/pdf").withHeader("X-Final", "yes"));
    m_server.clearLog();

    Probe probe;
    int headerSignals = 0;
    QObject::connect(probe.request.get(), &CurlRequest::headersReceived, probe.request.get(),
        [&headerSignals] { ++headerSignals; });
    probe.get(m_server.urlText(QStringLiteral("/hop1")));
    QVERIFY(probe.waitFinished());
    QCOMPARE(probe.curlCode, 0);
    QCOMPARE(headerSignals, 1);
    QCOMPARE(probe.request->responseCode(), 200);
    QCOMPARE(probe.request->header("X-Final"), QByteArray("yes"));
    QVERIFY(probe.request->header("Location").isEmpty());
    QCOMPARE(probe.body, QByteArray("the document")); // no redirect bodies mixed in
    QCOMPARE(probe.request->redirectCount(), 2);
    QCOMPARE(probe.request->effectiveUrl(), m_server.url(QStringLiteral("/final")));
    const QList<FixtureServer::Request> log = m_server.requests();
    QCOMPARE(log.size(), 3);
    QCOMPARE(log.at(1).target, QByteArray("/hop2?x=1"));
}

void tst_CurlRequest::postRedirectedBy303BecomesGet()
{
    m_server.route("/form", Response::redirect("/done", 303));
    m_server.route("/done", Response::ok("thanks"));
    m_server.clearLog();
    Probe probe;
    probe.request->setMethod("POST");
    probe.request->setBody("a=1&b=2");
    probe.get(m_server.urlText(QStringLiteral("/form")));
    QVERIFY(probe.waitFinished());
    const QList<FixtureServer::Request> log = m_server.requests();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log.at(0).method, QByteArray("POST"));
    QCOMPARE(log.at(0).body, QByteArray("a=1&b=2"));
    QCOMPARE(log.at(1).method, QByteArray("GET"));
    QVERIFY(log.at(1).body.isEmpty());
    QCOMPARE(probe.body, QByteArray("thanks"));
}

void tst_CurlRequest::tooManyRedirectsFail()
{
    m_server.route("/loop", Response::redirect("/loop"));
    m_server.clearLog();
    Probe probe;
    probe.get(m_server.urlText(QStringLiteral("/loop")));
    QVERIFY(probe.waitFinished());
    QCOMPARE(probe.curlCode, int(CURLE_TOO_MANY_REDIRECTS));
    QCOMPARE(m_server.requestCount("/loop"), CurlRequest::kMaxRedirects + 1);
    QVERIFY(!probe.request->headersComplete());
    QCOMPARE(probe.stages.last(), CurlRequest::Stage::Failed);

    // Not following: the 3xx is the final response.
    Probe once;
    once.request->setFollowRedirects(false);
    once.get(m_server.urlText(QStringLiteral("/loop")));
    QVERIFY(once.waitFinished());
    QCOMPARE(once.curlCode, 0);
    QCOMPARE(once.request->responseCode(), 302);
    QCOMPARE(once.request->header("Location"), QByteArray("/loop"));
}

void tst_CurlRequest::httpErrorStatusIsNotATransportError()
{
    Probe probe;
    probe.get(m_server.urlText(QStringLiteral("/nothing-here")));
    QVERIFY(probe.waitFinished());
    QCOMPARE(probe.curlCode, 0);
    QCOMPARE(probe.request->responseCode(), 404);
    QCOMPARE(probe.request->reasonPhrase(), QByteArray("Not Found"));
    QVERIFY(probe.body.contains("not found"));
}

void tst_CurlRequest::connectionRefused()
{
    Probe probe;
    probe.get(QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort()));
    QVERIFY(probe.waitFinished());
    QCOMPARE(probe.curlCode, int(CURLE_COULDNT_CONNECT));
    QVERIFY(!probe.message.isEmpty());
    QCOMPARE(probe.request->error(), int(CURLE_COULDNT_CONNECT));
    QCOMPARE(probe.request->responseCode(), 0);
    QVERIFY(probe.request->headerText().isEmpty());
    QCOMPARE(probe.stages.last(), CurlRequest::Stage::Failed);
}

void tst_CurlRequest::truncatedBodyFails()
{
    Response shortBody = Response::pattern(1000);
    shortBody.announcedLength = 5000;
    m_server.route("/short", shortBody);
    Probe probe;
    probe.get(m_server.urlText(QStringLiteral("/short")));
    QVERIFY(probe.waitFinished());
    QCOMPARE(probe.curlCode, int(CURLE_PARTIAL_FILE));
    QCOMPARE(probe.body.size(), 1000);

    // More bytes than announced: exactly the announced ones are the body.
    Response longBody = Response::pattern(1000);
    longBody.announcedLength = 600;
    m_server.route("/long", longBody);
    Probe extra;
    extra.get(m_server.urlText(QStringLiteral("/long")));
    QVERIFY(extra.waitFinished());
    QCOMPARE(extra.body, FixtureServer::patternBytes(0, 600));
}

void tst_CurlRequest::requestCarriesMethodBodyAndHeaders()
{
    m_server.route("/echo", Response::ok("ok"));
    m_server.clearLog();
    Probe probe;
    probe.request->setMethod("PUT");
    probe.request->setBody("payload");
    probe.request->setHeaderText(
        QStringLiteral("Referer: http://example.org/page\r\nX-One: 1\r\n"));
    probe.get(m_server.urlText(QStringLiteral("/echo?q=1")));
    QVERIFY(probe.waitFinished());
    const FixtureServer::Request seen = m_server.lastRequest();
    QCOMPARE(seen.method, QByteArray("PUT"));
    QCOMPARE(seen.target, QByteArray("/echo?q=1"));
    QCOMPARE(seen.body, QByteArray("payload"));
    QCOMPARE(seen.header("Referer"), QByteArray("http://example.org/page"));
    QCOMPARE(seen.header("X-One"), QByteArray("1"));
    QVERIFY(!seen.header("User-Agent").isEmpty());
    QCOMPARE(seen.header("Cache-Control"), QByteArray("no-cache"));
    // Bytes as sent: no compression asked for, none undone.
    QVERIFY(!seen.hasHeader("Accept-Encoding"));
    QVERIFY(!seen.hasHeader("Expect"));
}

void tst_CurlRequest::cancelMidBodyClosesTheConnection()
{
    FixtureServer server;
    QVERIFY(server.listen());
    Response stall = Response::pattern(100000);
    stall.stallAfterBytes = 3000;
    server.route("/stall", stall);
    server.route("/small", Response::ok("small"));

    Probe probe;
    probe.get(server.urlText(QStringLiteral("/stall")));
    QTRY_COMPARE(probe.body.size(), 3000);
    QCOMPARE(server.openConnections(), 1);
    probe.request->cancel();
    QVERIFY(!probe.request->isRunning());
    QTRY_COMPARE(server.openConnections(), 0);
    QTest::qWait(50);
    QCOMPARE(probe.finishedCount, 0);

    probe.body.clear();
    probe.get(server.urlText(QStringLiteral("/small")));
    QVERIFY(probe.waitFinished());
    QCOMPARE(probe.finishedCount, 1);
    QCOMPARE(probe.body, QByteArray("small"));
}

void tst_CurlRequest::cancelFromSlots_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("cancel in dataReceived") << QStringLiteral("cancel");
    QTest::newRow("delete in dataReceived") << QStringLiteral("delete");
    QTest::newRow("restart in dataReceived") << QStringLiteral("restart");
    QTest::newRow("cancel in headersReceived") << QStringLiteral("cancel-headers");
    QTest::newRow("cancel when connecting") << QStringLiteral("cancel-connecting");
}

void tst_CurlRequest::cancelFromSlots()
{
    QFETCH(QString, action);
    // A server of its own, so that no pooled connection skips the connecting stage.
    FixtureServer server;
    QVERIFY(server.listen());
    server.route("/big", Response::pattern(2 << 20));
    server.route("/small", Response::ok("small"));

    Probe probe;
    CurlRequest *request = probe.request.get();
    bool acted = false;
    auto act = [&] {
        if (acted)
            return;
        acted = true;
        if (action.startsWith(QLatin1String("cancel"))) {
            request->cancel();
        } else if (action == QLatin1String("delete")) {
            probe.request.reset();
        } else {
            probe.body.clear();
            request->setUrl(server.urlText(QStringLiteral("/small")));
            request->start();
        }
    };
    QObject context;
    if (action == QLatin1String("cancel-headers"))
        connect(request, &CurlRequest::headersReceived, &context, act);
    else if (action == QLatin1String("cancel-connecting"))
        connect(request, &CurlRequest::stageChanged, &context, [&](CurlRequest::Stage stage) {
            if (stage == CurlRequest::Stage::Connecting)
                act();
        });
    else
        connect(request, &CurlRequest::dataReceived, &context, act);

    probe.get(server.urlText(QStringLiteral("/big")));
    QTRY_VERIFY(acted);
    if (action == QLatin1String("restart")) {
        QVERIFY(probe.waitFinished());
        QCOMPARE(probe.finishedCount, 1);
        QCOMPARE(probe.body, QByteArray("small"));
        return;
    }
    QTRY_COMPARE(CurlDriver::instance().runningTransfers(), 0);
    QTest::qWait(50);
    QCOMPARE(probe.finishedCount, 0);
    if (probe.request) {
        QVERIFY(!probe.request->isRunning());
        QVERIFY(probe.body.size() < 2 << 20);
        probe.body.clear();
        probe.get(server.urlText(QStringLiteral("/small")));
        QVERIFY(probe.waitFinished());
        QCOMPARE(probe.body, QByteArray("small"));
    }
}

void tst_CurlRequest::cancelWhenIdle()
{
    Probe probe;
    probe.request->cancel(); // never started
    QCOMPARE(probe.request->stage(), CurlRequest::Stage::Idle);
    m_server.route("/small", Response::ok("small"));
    probe.get(m_server.urlText(QStringLiteral("/small")));
    QVERIFY(probe.waitFinished());
    probe.request->cancel(); // already ended: results stay
    probe.request->cancel();
    QCOMPARE(probe.request->responseCode(), 200);
    QCOMPARE(probe.request->stage(), CurlRequest::Stage::Finished);
    QCOMPARE(probe.finishedCount, 1);
}

void tst_CurlRequest::parallelRequests()
{
    FixtureServer server;
    QVERIFY(server.listen());
    for (int i = 0; i < 6; ++i) {
        Response response = Response::pattern(200000 + i);
        response.delayBeforeHeadersMs = 150; // all six are open at once
        server.route("/file" + QByteArray::number(i), response);
    }
    std::vector<std::unique_ptr<Probe>> probes;
    for (int i = 0; i < 6; ++i) {
        probes.push_back(std::make_unique<Probe>());
        probes.back()->get(server.urlText(QStringLiteral("/file%1").arg(i)));
    }
    for (int i = 0; i < 6; ++i) {
        QVERIFY(probes[i]->waitFinished());
        QCOMPARE(probes[i]->curlCode, 0);
        QCOMPARE(probes[i]->body, FixtureServer::patternBytes(0, 200000 + i));
    }
    QCOMPARE(server.maxOpenConnections(), 6);
    QCOMPARE(CurlDriver::instance().runningTransfers(), 0);
}

void tst_CurlRequest::waitingDoesNotPoll()
{
    FixtureServer server;
    QVERIFY(server.listen());
    Response stall = Response::pattern(1000);
    stall.stallAfterHeaders = true;
    server.route("/stall", stall);
    Probe probe;
    probe.get(server.urlText(QStringLiteral("/stall")));
    QTRY_VERIFY(probe.request->headersComplete());
    const quint64 before = CurlDriver::instance().wakeups();
    QTest::qWait(500);
    // A loop that polled every few milliseconds would wake up 50 times or more.
    QVERIFY2(CurlDriver::instance().wakeups() - before < 10,
        QByteArray::number(CurlDriver::instance().wakeups() - before).constData());
    probe.request->cancel();
}

void tst_CurlRequest::cookiesFromResponsesAreKeptAndSent()
{
    CookieJar jar;
    m_server.route(
        "/set", Response::ok("set").withCookie("sid=abc123; Path=/").withCookie("lang=zh; Path=/"));
    m_server.route("/use", Response::ok("use"));

    Probe first(&jar);
    first.get(m_server.urlText(QStringLiteral("/set")));
    QVERIFY(first.waitFinished());
    QCOMPARE(jar.cookies().size(), 2);

    Probe second(&jar);
    second.get(m_server.urlText(QStringLiteral("/use")));
    QVERIFY(second.waitFinished());
    QByteArray sent = m_server.lastRequest().header("Cookie");
    QVERIFY2(sent == "sid=abc123; lang=zh" || sent == "lang=zh; sid=abc123", sent.constData());

    // A cookie put into the jar by someone else (the browser) goes out too.
    QNetworkCookie fromBrowser("token", "xyz");
    fromBrowser.setDomain(QStringLiteral("127.0.0.1"));
    fromBrowser.setPath(QStringLiteral("/use"));
    QVERIFY(jar.insertCookie(fromBrowser));
    Probe third(&jar);
    third.get(m_server.urlText(QStringLiteral("/use")));
    QVERIFY(third.waitFinished());
    sent = m_server.lastRequest().header("Cookie");
    QVERIFY2(sent.startsWith("token=xyz; "), sent.constData()); // longer path first

    // Without a jar nothing is sent.
    Probe none(nullptr);
    none.get(m_server.urlText(QStringLiteral("/use")));
    QVERIFY(none.waitFinished());
    QVERIFY(!m_server.lastRequest().hasHeader("Cookie"));
}

void tst_CurlRequest::cookiesFollowEachRedirectHop()
{
    CookieJar jar;
    m_server.route("/login", Response::redirect("/members").withCookie("session=s1; Path=/"));
    m_server.route("/members", [](const FixtureServer::Request &request) {
        return request.header("Cookie") == "session=s1" ? Response::ok("welcome")
                                                        : Response::status(403, "Forbidden");
    });
    Probe probe(&jar);
    probe.get(m_server.urlText(QStringLiteral("/login")));
    QVERIFY(probe.waitFinished());
    QCOMPARE(probe.request->responseCode(), 200);
    QCOMPARE(probe.body, QByteArray("welcome"));
}

void tst_CurlRequest::throughRealProxy()
{
    if (TinyProxy::executable().isEmpty())
        QSKIP("tinyproxy is not installed");
    TinyProxy proxy;
    QVERIFY2(proxy.start(), qPrintable(proxy.log()));
    m_server.route("/via-proxy", Response::pattern(50000));
    m_server.clearLog();

    Probe probe;
    probe.request->setProxy(proxy.address());
    probe.request->setHeaderText(QStringLiteral("Referer: http://example.org/\r\n"));
    probe.get(m_server.urlText(QStringLiteral("/via-proxy")));
    QVERIFY(probe.waitFinished());
    QCOMPARE(probe.curlCode, 0);
    QCOMPARE(probe.request->responseCode(), 200);
    QCOMPARE(probe.body, FixtureServer::patternBytes(0, 50000));
    const FixtureServer::Request seen = m_server.lastRequest();
    QVERIFY2(seen.header("Via").contains("tinyproxy"), seen.header("Via").constData());
    QCOMPARE(seen.header("Referer"), QByteArray("http://example.org/"));

    // Direct again: no Via.
    Probe direct;
    direct.get(m_server.urlText(QStringLiteral("/via-proxy")));
    QVERIFY(direct.waitFinished());
    QVERIFY(!m_server.lastRequest().hasHeader("Via"));

    // A proxy that is not there fails the request instead of going direct.
    Probe deadProxy;
    deadProxy.request->setProxy(QStringLiteral("127.0.0.1:%1").arg(closedPort()));
    deadProxy.get(m_server.urlText(QStringLiteral("/via-proxy")));
    QVERIFY(deadProxy.waitFinished());
    QCOMPARE(deadProxy.curlCode, int(CURLE_COULDNT_CONNECT));
    proxy.stop();
}

// A handler that opens a modal dialog runs an event loop while libcurl is on
// the stack. The driver must rest meanwhile instead of waking up over and
// over, and every transfer must go on afterwards.
void tst_CurlRequest::nestedLoopInsideCallbackDoesNotSpin()
{
    FixtureServer server;
    QVERIFY(server.listen());
    Response busy = Response::pattern(400000);
    busy.trickleBytes = 8192;
    busy.trickleIntervalMs = 5;
    server.route("/busy", busy);
    server.route("/dialog", Response::pattern(1000));

    Probe other;
    other.get(server.urlText(QStringLiteral("/busy")));
    QTRY_VERIFY(other.request->headersComplete());

    CurlRequest request;
    request.setUrl(server.urlText(QStringLiteral("/dialog")));
    quint64 wakeupsDuringLoop = 0;
    bool nested = false;
    QByteArray body;
    connect(&request, &CurlRequest::headersReceived, this, [&] {
        QVERIFY(CurlDriver::instance().insideLibcurl());
        nested = true;
        const quint64 before = CurlDriver::instance().wakeups();
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
        wakeupsDuringLoop = CurlDriver::instance().wakeups() - before;
    });
    connect(
        &request, &CurlRequest::dataReceived, this, [&](const QByteArray &data) { body += data; });
    QEventLoop done;
    connect(&request, &CurlRequest::finished, &done, &QEventLoop::quit);
    request.start();
    QTimer::singleShot(20000, &done, &QEventLoop::quit);
    done.exec();

    QVERIFY(nested);
    // Spinning would mean thousands of wake-ups in 300 ms.
    QVERIFY2(wakeupsDuringLoop < 10, QByteArray::number(wakeupsDuringLoop).constData());
    QCOMPARE(body, FixtureServer::patternBytes(0, 1000));
    QVERIFY(other.waitFinished());
    QCOMPARE(other.body.size(), 400000);
}

QTEST_GUILESS_MAIN(tst_CurlRequest)
#include "tst_CurlRequest.moc"
