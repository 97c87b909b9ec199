#include "FixtureServer.h"
#include "TestEnvironment.h"
#include "net/uXMLHTTP.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(FixtureServer::Response)

using Response = FixtureServer::Response;

namespace {

// Everything one request object reported, in order. The completion events
// also note what the object looked like when they arrived.
struct Recorder
{
    explicit Recorder(uXMLHTTP *request) : request(request)
    {
        QObject::connect(request, &uXMLHTTP::OnReadyStateChange, request,
            [this] { events.append(u"change %1"_s.arg(this->request->ReadyState())); });
        QObject::connect(request, &uXMLHTTP::OnDateArrived, request, [this] {
            events.append(u"arrived"_s);
            noteCompletion();
        });
        QObject::connect(request, &uXMLHTTP::OnDateErr, request, [this](const QString &text) {
            events.append(u"error "_s + text);
            noteCompletion();
        });
    }

    void noteCompletion()
    {
        ++completions;
        doneAtCompletion = request->DownOK();
        pollingAtCompletion = timer()->isActive();
    }

    QTimer *timer() const { return request->findChild<QTimer *>(u"tmrReader"_s); }

    // The events after the last change of ready state.
    QStringList completionEvents() const
    {
        QStringList tail;
        for (const QString &event : events) {
            if (!event.startsWith(u"change "_s))
                tail.append(event);
        }
        return tail;
    }

    uXMLHTTP *request;
    QStringList events;
    int completions = 0;
    bool doneAtCompletion = false;
    bool pollingAtCompletion = true;
};

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // closed again when probe goes
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class tst_uXMLHTTP : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void statusDescriptions_data();
    void statusDescriptions();
    void completion_data();
    void completion();
    void responseHeadersAndStatusLine();
    void savingTheBody_data();
    void savingTheBody();
    void saveFailureIsIgnored_data();
    void saveFailureIsIgnored();
    void methodIsSentUpperCase_data();
    void methodIsSentUpperCase();
    void requestHeaders();
    void badOpenIsRefused_data();
    void badOpenIsRefused();
    void connectionRefused();
    void responseText_data();
    void responseText();
    void abortRaisesNoEvent();
    void reuseForASecondRequest();
    void destroyingStopsTheRequest();

private:
    FixtureServer m_server;
};

void tst_uXMLHTTP::initTestCase()
{
    useTestLocations();
    QVERIFY(m_server.listen());
}

void tst_uXMLHTTP::statusDescriptions_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");

    QTest::newRow("100") << 100 << u"客户必须继续发出请求"_s;
    QTest::newRow("202") << 202 << u"接受和处理?但处理未完成"_s;
    QTest::newRow("306") << 306 << u"前一版本HTTP中使用的代码，现行版本中不再使用"_s;
    QTest::newRow("404") << 404 << u"没有发现文件?查询或URl"_s;
    QTest::newRow("405") << 405 << u"用户在Request -Line字段定义的方法不允许"_s;
    QTest::newRow("416") << 416
                         << u"请求中包含Range请求头字段，在当前请求资源范围内没有range指示值，"
                            "请求也不包含If-Range请求头字段"_s;
    QTest::newRow("505") << 505 << u"服务器不支持或拒绝支请求头中指定的HTTP版本"_s;
    QTest::newRow("0") << 0 << QString();
    QTest::newRow("418") << 418 << QString();
    QTest::newRow("600") << 600 << QString();
}

void tst_uXMLHTTP::statusDescriptions()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    QCOMPARE(uXMLHTTP::HttpStatusDescriptions().size(), 601);
    QCOMPARE(uXMLHTTP::HttpStatusDescriptions().at(status), text);
}

void tst_uXMLHTTP::completion_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("200 with a body")
        << Response::ok("1.2.3", "text/plain") << QStringList { u"arrived"_s };
    QTest::newRow("200 without a body")
        << Response::ok({}, "text/plain") << QStringList { u"arrived"_s };
    QTest::newRow("404 with a page") << Response::status(404, "Not Found", "<p>gone</p>")
                                     << QStringList { u"error 没有发现文件?查询或URl"_s };
    QTest::newRow("418 has no description")
        << Response::status(418, "I'm a teapot", "tea") << QStringList { u"error "_s };
    QTest::newRow("503") << Response::status(503, "Service Unavailable")
                         << QStringList { u"error 服务器过载或暂停维修"_s };
    QTest::newRow("204 is no success")
        << Response::status(204, "No Content").withMode(FixtureServer::BodyMode::None)
        << QStringList { u"error 请求收到，但返回信息为空"_s };
    QTest::newRow("status beyond 600 raises nothing")
        << Response::status(799, "Odd") << QStringList();
}

void tst_uXMLHTTP::completion()
{
    QFETCH(Response, response);
    QFETCH(QStringList, expected);
    const QByteArray path
        = "/completion/" + QByteArray(QTest::currentDataTag()).toPercentEncoding();
    m_server.route(path, response);

    uXMLHTTP request;
    Recorder recorder(&request);
    QVERIFY(recorder.timer());
    QCOMPARE(recorder.timer()->interval(), 10);
    QVERIFY(!recorder.timer()->isActive());

    QVERIFY(request.Open_(u"GET"_s, m_server.urlText(QString::fromLatin1(path))));
    QCOMPARE(request.ReadyState(), 1);
    request.Send_();
    QVERIFY(recorder.timer()->isActive());
    QTRY_VERIFY(request.DownOK());

    QVERIFY(!recorder.timer()->isActive());
    QCOMPARE(recorder.completionEvents(), expected);
    // The tick that saw the end raised the change first, and nothing after
    // the completion.
    QCOMPARE(recorder.events.count(u"change 4"_s), 1);
    const qsizetype last = recorder.events.lastIndexOf(u"change 4"_s);
    QCOMPARE(recorder.events.size(), last + 1 + expected.size());
    if (!expected.isEmpty()) {
        QVERIFY(recorder.doneAtCompletion);
        QVERIFY(!recorder.pollingAtCompletion);
    }
    // Ready states only move forward.
    int previous = 0;
    for (const QString &event : std::as_const(recorder.events)) {
        if (!event.startsWith(u"change "_s))
            continue;
        const int state = event.mid(7).toInt();
        QVERIFY2(state >= previous, qPrintable(recorder.events.join(u", "_s)));
        previous = state;
    }
    QCOMPARE(request.ResponseBody(), response.body);

    // Polling has stopped for good.
    const qsizetype seen = recorder.events.size();
    QTest::qWait(40);
    QCOMPARE(recorder.events.size(), seen);
}

void tst_uXMLHTTP::responseHeadersAndStatusLine()
{
    m_server.route("/headers",
        Response::status(404, "Not Found", "missing")
            .withHeader("X-Tag", "one")
            .withHeader("x-tag", "two"));

    uXMLHTTP request;
    QVERIFY(request.Open_(u"GET"_s, m_server.urlText(u"/headers"_s)));
    QCOMPARE(request.GetAllResponseHeaders(), QString());
    QCOMPARE(request.Status(), 0);
    request.Send_();
    QTRY_VERIFY(request.DownOK());

    QCOMPARE(request.ReadyState(), 4);
    QCOMPARE(request.Status(), 404);
    QCOMPARE(request.StatusText(), u"Not Found"_s);
    QCOMPARE(request.GetResponseHeader(u"x-TAG"_s), u"one, two"_s);
    QCOMPARE(request.GetResponseHeader(u"content-type"_s), u"text/html"_s);
    QCOMPARE(request.GetResponseHeader(u"X-Absent"_s), QString());
    const QString all = request.GetAllResponseHeaders();
    QVERIFY2(all.contains(u"Content-Type: text/html\r\n"_s), qPrintable(all));
    QVERIFY2(all.contains(u"X-Tag: one\r\nx-tag: two\r\n"_s), qPrintable(all));
    QVERIFY(!all.contains(u"HTTP/1.1"_s));
    QVERIFY(all.endsWith(u"\r\n"_s));
    QCOMPARE(request.ResponseText(), u"missing"_s);
}

void tst_uXMLHTTP::savingTheBody_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<QByteArray>("expected"); // "" when no file must be there

    const QByteArray body = FixtureServer::patternBytes(0, 5000);
    QTest::newRow("200 replaces an existing file") << Response::ok(body) << true << body;
    QTest::newRow("200 creates the file") << Response::ok(body) << false << body;
    QTest::newRow("200 with an empty body keeps the old file")
        << Response::ok({}) << true << QByteArray("old contents");
    QTest::newRow("200 with an empty body writes nothing")
        << Response::ok({}) << false << QByteArray();
    QTest::newRow("404 keeps the old file")
        << Response::status(404, "Not Found", "error page") << true << QByteArray("old contents");
    QTest::newRow("500 writes nothing")
        << Response::status(500, "Oops", "error page") << false << QByteArray();
}

void tst_uXMLHTTP::savingTheBody()
{
    QFETCH(Response, response);
    QFETCH(bool, existing);
    QFETCH(QByteArray, expected);
    const QByteArray path = "/save/" + QByteArray(QTest::currentDataTag()).toPercentEncoding();
    m_server.route(path, response);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(u"新版本.txt"_s);
    if (existing)
        writeFile(target, "old contents");

    uXMLHTTP request;
    Recorder recorder(&request);
    QVERIFY(request.Open_(u"GET"_s, m_server.urlText(QString::fromLatin1(path)), target));
    request.Send_();
    QTRY_VERIFY(request.DownOK());
    QCOMPARE(recorder.completions, 1);

    if (expected.isEmpty()) {
        QVERIFY(!QFile::exists(target));
    } else {
        QCOMPARE(readAll(target), expected);
        QVERIFY(QFileInfo(target).permissions().testFlag(QFileDevice::ReadOther));
    }
    // No temporary file is left beside it.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, QFile::exists(target) ? QStringList { u"新版本.txt"_s } : QStringList());
}

void tst_uXMLHTTP::saveFailureIsIgnored_data()
{
    QTest::addColumn<QString>("relativeTarget");

    QTest::newRow("missing folder") << u"missing/file.txt"_s;
    QTest::newRow("path is a folder") << u"taken"_s;
}

void tst_uXMLHTTP::saveFailureIsIgnored()
{
    QFETCH(QString, relativeTarget);
    m_server.route("/save-fails", Response::ok("body"));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(u"taken"_s));
    writeFile(dir.filePath(u"taken/keep.txt"_s), "kept");

    uXMLHTTP request;
    Recorder recorder(&request);
    QVERIFY(
        request.Open_(u"GET"_s, m_server.urlText(u"/save-fails"_s), dir.filePath(relativeTarget)));
    request.Send_();
    QTRY_VERIFY(request.DownOK());

    QCOMPARE(recorder.completionEvents(), QStringList { u"arrived"_s });
    QCOMPARE(request.ResponseBody(), QByteArray("body"));
    QCOMPARE(readAll(dir.filePath(u"taken/keep.txt"_s)), QByteArray("kept"));
    // Nothing created, no temporary file left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList { u"taken"_s });
}

void tst_uXMLHTTP::methodIsSentUpperCase_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("get") << u"get"_s << QByteArray("GET") << QByteArray();
    QTest::newRow("post") << u"post"_s << QByteArray("POST") << QByteArray("a=1&b=中");
    QTest::newRow("Put") << u"Put"_s << QByteArray("PUT") << QByteArray("data");
    QTest::newRow("delete with spaces") << u" delete "_s << QByteArray("DELETE") << QByteArray();
}

void tst_uXMLHTTP::methodIsSentUpperCase()
{
    QFETCH(QString, method);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, body);
    m_server.route("/method", Response::ok("fine", "text/plain"));
    m_server.clearLog();

    uXMLHTTP request;
    QVERIFY(request.Open_(method, m_server.urlText(u"/method"_s)));
    request.Send_(QString::fromUtf8(body));
    QTRY_VERIFY(request.DownOK());
    QCOMPARE(request.Status(), 200);
    QCOMPARE(m_server.requests().size(), 1);
    QCOMPARE(m_server.lastRequest().method, sent);
    QCOMPARE(m_server.lastRequest().body, body);
    // The object adds no cache headers of its own.
    QVERIFY(!m_server.lastRequest().hasHeader("Cache-Control"));
    QVERIFY(!m_server.lastRequest().hasHeader("Pragma"));
}

void tst_uXMLHTTP::requestHeaders()
{
    m_server.route("/echo", Response::ok("ok", "text/plain"));
    m_server.clearLog();

    uXMLHTTP request;
    request.SetRequestHeader(u"X-Early"_s, u"before open"_s); // nothing is open yet
    QVERIFY(request.Open_(u"GET"_s, m_server.urlText(u"/echo"_s)));
    request.SetRequestHeader(u"Referer"_s, u"http://example.org/page"_s);
    request.SetRequestHeader(u"X-List"_s, u"a"_s);
    request.SetRequestHeader(u"x-list"_s, u"b"_s);
    request.SetRequestHeader(u"X-Empty"_s, QString());
    // A line break would smuggle in a header of its own.
    request.SetRequestHeader(u"X-Bad"_s, u"v\r\nX-Injected: 1"_s);
    request.SetRequestHeader(u"Bad Name"_s, u"v"_s);
    request.Send_();
    request.SetRequestHeader(u"X-Late"_s, u"after send"_s);
    QTRY_VERIFY(request.DownOK());

    QCOMPARE(m_server.requests().size(), 1);
    const FixtureServer::Request sent = m_server.lastRequest();
    QCOMPARE(sent.header("Referer"), QByteArray("http://example.org/page"));
    QCOMPARE(sent.header("X-List"), QByteArray("a, b"));
    QVERIFY(sent.hasHeader("X-Empty"));
    QCOMPARE(sent.header("X-Empty"), QByteArray());
    QVERIFY(!sent.hasHeader("X-Bad"));
    QVERIFY(!sent.hasHeader("X-Injected"));
    QVERIFY(!sent.hasHeader("Bad Name"));
    QVERIFY(!sent.hasHeader("X-Early"));
    QVERIFY(!sent.hasHeader("X-Late"));
}

void tst_uXMLHTTP::badOpenIsRefused_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("url");

    QTest::newRow("not a URL") << u"GET"_s << u"not a url"_s;
    QTest::newRow("empty URL") << u"GET"_s << QString();
    QTest::newRow("ftp") << u"GET"_s << u"ftp://127.0.0.1/file"_s;
    QTest::newRow("file") << u"GET"_s << u"file:///etc/hostname"_s;
    QTest::newRow("no host") << u"GET"_s << u"http://"_s;
    QTest::newRow("empty method") << QString() << u"http://127.0.0.1/"_s;
    QTest::newRow("method with a space") << u"GE T"_s << u"http://127.0.0.1/"_s;
    QTest::newRow("method with a line break") << u"GET\r\nX: 1"_s << u"http://127.0.0.1/"_s;
    QTest::newRow("non-ASCII method") << u"获取"_s << u"http://127.0.0.1/"_s;
    // Upper-cases to "GETS", but is no token as given.
    QTest::newRow("long s in the method") << u"get\u017F"_s << u"http://127.0.0.1/"_s;
    QTest::newRow("connect") << u"connect"_s << u"http://127.0.0.1/"_s;
}

void tst_uXMLHTTP::badOpenIsRefused()
{
    QFETCH(QString, method);
    QFETCH(QString, url);
    m_server.clearLog();

    uXMLHTTP request;
    Recorder recorder(&request);
    QString error;
    QVERIFY(!request.Open_(method, url, {}, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!request.DownOK());
    QCOMPARE(request.ReadyState(), 0);

    // A fresh instance never allowed polling, so nothing starts.
    request.Send_();
    QVERIFY(!recorder.timer()->isActive());
    QTest::qWait(30);
    QVERIFY(recorder.events.isEmpty());
    QCOMPARE(m_server.requests().size(), 0);
}

void tst_uXMLHTTP::connectionRefused()
{
    uXMLHTTP request;
    Recorder recorder(&request);
    QVERIFY(request.Open_(u"GET"_s, u"http://127.0.0.1:%1/newver.txt"_s.arg(closedPort())));
    request.Send_();
    QTRY_VERIFY(request.DownOK());

    QCOMPARE(recorder.completionEvents(), QStringList { u"error "_s });
    QCOMPARE(request.ReadyState(), 4);
    QCOMPARE(request.Status(), 0);
    QCOMPARE(request.StatusText(), QString());
    QCOMPARE(request.GetAllResponseHeaders(), QString());
    QCOMPARE(request.ResponseText(), QString());
}

void tst_uXMLHTTP::responseText_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");

    const QString chinese = u"新版本 2.5：请更新"_s;
    QStringEncoder gbk("GBK");
    const QByteArray gbkBytes = gbk.encode(chinese);
    QVERIFY(!gbk.hasError());
    QStringEncoder latin1(QStringConverter::Latin1);

    QTest::newRow("charset=gbk") << QByteArray("text/plain; charset=gbk") << gbkBytes << chinese;
    QTest::newRow("quoted GB2312")
        << QByteArray("text/html;charset=\"GB2312\"") << gbkBytes << chinese;
    QTest::newRow("latin-1") << QByteArray("text/plain; charset=ISO-8859-1")
                             << QByteArray(latin1.encode(u"café"_s)) << u"café"_s;
    QTest::newRow("no charset: UTF-8") << QByteArray("text/plain") << chinese.toUtf8() << chinese;
    QTest::newRow("unknown charset: UTF-8")
        << QByteArray("text/plain; charset=x-nonsense") << chinese.toUtf8() << chinese;
    QTest::newRow("BOM wins over the header")
        << QByteArray("text/plain; charset=gbk") << QByteArray("\xEF\xBB\xBF") + chinese.toUtf8()
        << chinese;
}

void tst_uXMLHTTP::responseText()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    const QByteArray path = "/text/" + QByteArray(QTest::currentDataTag()).toPercentEncoding();
    m_server.route(path, Response::ok(body, contentType));

    uXMLHTTP request;
    QVERIFY(request.Open_(u"GET"_s, m_server.urlText(QString::fromLatin1(path))));
    request.Send_();
    QTRY_VERIFY(request.DownOK());
    QCOMPARE(request.ResponseBody(), body);
    QCOMPARE(request.ResponseText(), text);
}

void tst_uXMLHTTP::abortRaisesNoEvent()
{
    Response stalled = Response::ok(FixtureServer::patternBytes(0, 1000));
    stalled.stallAfterBytes = 100;
    m_server.route("/stall", stalled);

    uXMLHTTP request;
    Recorder recorder(&request);
    QVERIFY(request.Open_(u"GET"_s, m_server.urlText(u"/stall"_s)));
    request.Send_();
    QTRY_COMPARE(request.ReadyState(), 3);
    QTRY_VERIFY(recorder.events.contains(u"change 3"_s));

    request.Abort_();
    QVERIFY(!recorder.timer()->isActive());
    QCOMPARE(request.ReadyState(), 0);
    QCOMPARE(request.Status(), 0);
    QVERIFY(request.ResponseBody().isEmpty());
    QVERIFY(!request.DownOK());
    QTRY_COMPARE(m_server.openConnections(), 0); // the transfer really stopped
    const qsizetype seen = recorder.events.size();
    QTest::qWait(40);
    QCOMPARE(recorder.events.size(), seen);
    QCOMPARE(recorder.completions, 0);

    // Aborting a finished request keeps DownOK.
    m_server.route("/small", Response::ok("x"));
    QVERIFY(request.Open_(u"GET"_s, m_server.urlText(u"/small"_s)));
    request.Send_();
    QTRY_VERIFY(request.DownOK());
    request.Abort_();
    QVERIFY(request.DownOK());
}

void tst_uXMLHTTP::reuseForASecondRequest()
{
    m_server.route("/first", Response::status(404, "Not Found"));
    m_server.route("/second", Response::ok("second body", "text/plain"));

    uXMLHTTP request;
    Recorder recorder(&request);
    QVERIFY(request.Open_(u"GET"_s, m_server.urlText(u"/first"_s)));
    request.Send_();
    QTRY_VERIFY(request.DownOK());

    QVERIFY(request.Open_(u"GET"_s, m_server.urlText(u"/second"_s)));
    QVERIFY(!request.DownOK());
    QCOMPARE(request.ReadyState(), 1);
    QCOMPARE(request.Status(), 0);
    QVERIFY(request.ResponseBody().isEmpty());
    request.Send_();
    QTRY_VERIFY(request.DownOK());
    QCOMPARE(recorder.completionEvents(),
        (QStringList { u"error 没有发现文件?查询或URl"_s, u"arrived"_s }));
    QCOMPARE(request.ResponseText(), u"second body"_s);
}

void tst_uXMLHTTP::destroyingStopsTheRequest()
{
    Response stalled = Response::ok(FixtureServer::patternBytes(0, 1000));
    stalled.stallAfterHeaders = true;
    m_server.route("/hang", stalled);

    // Deleted from outside while the answer hangs.
    auto *request = new uXMLHTTP;
    QVERIFY(request->Open_(u"GET"_s, m_server.urlText(u"/hang"_s)));
    request->Send_();
    QTRY_COMPARE(request->ReadyState(), 2);
    QTRY_COMPARE(m_server.openConnections(), 1);
    delete request;
    QTRY_COMPARE(m_server.openConnections(), 0);

    // Deleted by its own handler on the tick that sees the end: no
    // completion event reaches anyone and nothing crashes.
    m_server.route("/quick", Response::ok("x"));
    QPointer<uXMLHTTP> second = new uXMLHTTP;
    int completions = 0;
    QObject ctx;
    connect(second.data(), &uXMLHTTP::OnReadyStateChange, &ctx, [&second] {
        if (second->ReadyState() == 4)
            delete second.data();
    });
    connect(second.data(), &uXMLHTTP::OnDateArrived, &ctx, [&completions] { ++completions; });
    QVERIFY(second->Open_(u"GET"_s, m_server.urlText(u"/quick"_s)));
    second->Send_();
    QTRY_VERIFY(second.isNull());
    QCOMPARE(completions, 0);
}

QTEST_GUILESS_MAIN(tst_uXMLHTTP)
#include "tst_uxmlhttp.moc"
