#include "BrowserTestMain.h"
#include "FakeDialogs.h"
#include "FixtureServer.h"
#include "HtmlDocument.h"
#include "platform/webengine/WebEngineBrowser.h"
#include "platform/webengine/WebEngineDocument.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTemporaryDir>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <csignal>
#include <sys/types.h>

namespace {

// Forms whose buttons send elsewhere or otherwise than their form says, and
// a form whose fields are named like the form's own properties.
const char kForms[]
    = "<!DOCTYPE html><html><head><title>Forms</title></head><body>\n"
      "<form method='post' action='/session'><input name='username'>"
      "<input id='plain' type='submit'></form>\n"
      "<form action='http://127.0.0.2:9/sso'><input id='elsewhere' type='submit'></form>\n"
      "<form method='post'><input name='action' value='http://evil.test/'>"
      "<input name='method' value='get'><input id='shadowed' type='submit'></form>\n"
      "<form method='get' action='/a'><input id='override' type='submit' "
      "formaction='https://other.test/x' formmethod='POST'></form>\n"
      "<form method='bogus' action='/a'><input id='bogus' type='submit'></form>\n"
      "<form method='dialog'><input id='dialog' type='submit'></form>\n"
      "<input id='formless' type='submit'>\n"
      "</body></html>";

FixtureServer::Response html(const QByteArray &body)
{
    return FixtureServer::Response::ok(body, "text/html; charset=utf-8");
}

// Waits for the snapshot the browser hands over.
DocumentPtr snapshot(Browser &browser, const DocumentScope &scope = {})
{
    DocumentPtr result;
    bool called = false;
    QObject context;
    browser.requestDocument(
        &context,
        [&](DocumentPtr doc) {
            result = std::move(doc);
            called = true;
        },
        scope);
    if (!runUntil([&] { return called; }))
        qWarning("no snapshot arrived");
    return result;
}

bool loadAndWait(WebEngineBrowser &browser, const QString &url)
{
    QSignalSpy complete(&browser, &Browser::documentComplete);
    browser.navigate(url);
    return complete.wait(20000) && !browser.isBusy();
}

} // namespace

class tst_WebEngineBrowser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void profileIsSharedAndPersistent();
    void snapshotReadsTheDocument();
    void snapshotLimitedToScope();
    void snapshotWaitsForTheNewDocument();
    void aNavigationOverALoadingPageEnds();
    void actionsReachTheLivePageOnly();
    void whereFormsGo_data();
    void whereFormsGo();
    void anEarlierReaderActsOnItsOwnSnapshot();
    void failedAndBlankPagesGiveNoDocument();
    void loadReportsTheAnswer_data();
    void loadReportsTheAnswer();
    void stopEndsAPageThatNeverCompletes();
    void aCrashedRendererIsReportedAndReloaded();
    void newWindowsStayInTheBrowser_data();
    void newWindowsStayInTheBrowser();
    void windowCloseIsRefused();
    void innerFramesCompleteApartFromThePage();
    void silentModeSuppressesScriptDialogs();
    void historyStepsExactly();
    void certificateErrors_data();
    void certificateErrors();
    void emulationValue_data();
    void emulationValue();

private:
    FixtureServer m_server;
    QSslServer m_tls;
    QTemporaryDir m_certDir;
};

void tst_WebEngineBrowser::initTestCase()
{
    // A TLS server whose certificate no authority signed.
    const QString key = m_certDir.filePath(QStringLiteral("key.pem"));
    const QString cert = m_certDir.filePath(QStringLiteral("cert.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
        { QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
            QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-subj"),
            QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-days"), QStringLiteral("1"),
            QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert });
    QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);
    QFile keyFile(key);
    QFile certFile(cert);
    QVERIFY(keyFile.open(QIODevice::ReadOnly) && certFile.open(QIODevice::ReadOnly));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
    tls.setLocalCertificate(QSslCertificate(certFile.readAll()));
    m_tls.setSslConfiguration(tls);
    connect(&m_tls, &QSslServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket *socket = m_tls.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                if (!socket->readAll().contains("\r\n\r\n"))
                    return;
                socket->write(
                    "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
                    "Content-Length: 44\r\n\r\n<html><head><title>TLS</title></head></html>");
                socket->disconnectFromHost();
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    QVERIFY(m_tls.listen(QHostAddress::LocalHost));

    QVERIFY(m_server.listen());
    m_server.route("/doc", html(R"(<!DOCTYPE html><html><head><title>Doc</title></head><body>
<ol id="results-list" class="content-item-list">
<li><h2><a class="title" title="t1" href="/article/1">First &amp; one</a></h2>
<p>Some <b>author</b></p><a href="/content/pdf/1.pdf?a=1&amp;b=2">Download PDF (12 KB)</a></li>
<li><h2><a href="article/2">Second</a></h2></li>
</ol>
<p id="tail">tail <span style="display:none">hidden</span>text</p>
<form><input name="user" type="text" value="old"><input name="go" type="submit" value="Go"></form>
<div id="dup">a</div><div id="dup">b</div>
</body></html>)"));
    m_server.route("/forms", html(kForms));
    m_server.route("/slow", [](const FixtureServer::Request &) {
        FixtureServer::Response r = html(
            "<html><head><title>Slow</title></head><body><p id=s>slow page</p></body></html>");
        r.delayBeforeHeadersMs = 300;
        return r;
    });
    m_server.route(
        "/a", html("<html><head><title>A</title></head><body><p id=p>page a</p></body></html>"));
    m_server.route(
        "/b", html("<html><head><title>B</title></head><body><p id=p>page b</p></body></html>"));
    m_server.route(
        "/c", html("<html><head><title>C</title></head><body><p id=p>page c</p></body></html>"));
    m_server.route("/missing",
        FixtureServer::Response::status(404, "Not Found", "<html><body>gone</body></html>"));
    m_server.route("/newwin", html(R"html(<html><body>
<a id="blank" target="_blank" href="/a">blank</a>
<a id="named" target="elsewhere" href="/b"><span id="inner">named</span></a>
<form id="f" target="_blank" action="/c"><input id="send" type="submit"></form>
<button id="open" onclick="window.open('/c', 'w', 'width=200')">open</button>
</body></html>)html"));
    m_server.route("/closer", html(R"html(<html><head><title>Closer</title></head><body>
<button id="close" onclick="window.close()">close</button></body></html>)html"));
    m_server.route("/framed", html(R"(<html><head><title>Framed</title></head><body>
<iframe id="f1" src="/a"></iframe><iframe id="f2" src="/b"></iframe></body></html>)"));
    m_server.route("/busy",
        FixtureServer::Response::status(
            503, "Service Unavailable", "<html><body>busy</body></html>"));
    m_server.route("/broken",
        FixtureServer::Response::status(
            500, "Internal Server Error", "<html><body>no</body></html>"));
    m_server.route("/hanging",
        html("<html><head><title>Hanging</title></head><body><p id=p>text</p>"
             "<img src=\"/never.png\"></body></html>"));
    m_server.route("/never.png", [](const FixtureServer::Request &) {
        FixtureServer::Response r = FixtureServer::Response::ok({}, "image/png");
        r.announcedLength = 100;
        r.stallAfterHeaders = true;
        return r;
    });
    m_server.route("/dialogs", html(R"(<html><head><title>start</title></head><body><script>
alert('hello');
var c = confirm('sure?');
var p = prompt('name?', 'x');
document.title = 'confirm=' + c + ' prompt=' + p;
</script></body></html>)"));
}

void tst_WebEngineBrowser::profileIsSharedAndPersistent()
{
    WebEngineBrowser one;
    WebEngineBrowser two;
    QWebEngineProfile *profile = ProgramProfile::profile();
    QCOMPARE(one.page()->profile(), profile);
    QCOMPARE(two.page()->profile(), profile);
    QCOMPARE(profile->storageName(), QStringLiteral("Quillmoor"));
    QVERIFY(!profile->isOffTheRecord());
    QCOMPARE(profile->persistentCookiesPolicy(), QWebEngineProfile::ForcePersistentCookies);
    QCOMPARE(profile->httpCacheType(), QWebEngineProfile::DiskHttpCache);
    QVERIFY(ProgramProfile::dataPath().endsWith(QStringLiteral("/data")));
    QVERIFY(ProgramProfile::cachePath().endsWith(QStringLiteral("/cache")));
}

void tst_WebEngineBrowser::snapshotReadsTheDocument()
{
    WebEngineBrowser browser;
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/doc"))));
    QVERIFY(browser.lastLoadSucceeded());
    const DocumentPtr doc = snapshot(browser);
    QVERIFY(doc);
    QCOMPARE(doc->url(), m_server.urlText(QStringLiteral("/doc")));

    const Element list = doc->elementById(QStringLiteral("results-list"));
    QVERIFY(!list.isNull());
    QCOMPARE(doc->tagName(list), QStringLiteral("OL"));
    QCOMPARE(doc->className(list), QStringLiteral("content-item-list"));
    QVERIFY(doc->elementById(QStringLiteral("nothing")).isNull());
    // The first of two equal ids.
    QCOMPARE(doc->innerText(doc->elementById(QStringLiteral("dup"))), QStringLiteral("a"));

    const QList<Element> items = doc->elementsByTagName(QStringLiteral("li"), list);
    QCOMPARE(items.size(), 2);
    const QList<Element> anchors = doc->elementsByTagName(QStringLiteral("A"), items.at(0));
    QCOMPARE(anchors.size(), 2);
    QCOMPARE(doc->innerText(anchors.at(0)), QStringLiteral("First & one"));
    QCOMPARE(doc->title(anchors.at(0)), QStringLiteral("t1"));
    QCOMPARE(doc->className(anchors.at(0)), QStringLiteral("title"));
    // Addresses come out absolute; the markup keeps what the page wrote.
    QCOMPARE(
        doc->href(anchors.at(1)), m_server.urlText(QStringLiteral("/content/pdf/1.pdf?a=1&b=2")));
    QVERIFY(doc->outerHtml(anchors.at(1))
                .contains(QStringLiteral("href=\"/content/pdf/1.pdf?a=1&amp;b=2\"")));
    QCOMPARE(doc->href(doc->elementsByTagName(QStringLiteral("a"), items.at(1)).value(0)),
        m_server.urlText(QStringLiteral("/article/2")));
    QVERIFY(doc->href(list).isEmpty());
    // The second LI's anchors are not below the first one.
    QCOMPARE(doc->elementsByTagName(QStringLiteral("a"), items.at(1)).size(), 1);
    QCOMPARE(doc->elementsByTagName(QStringLiteral("a")).size(), 3);
    // Rendered text: hidden parts are left out.
    QCOMPARE(doc->innerText(doc->elementById(QStringLiteral("tail"))), QStringLiteral("tail text"));

    const QList<Element> inputs = doc->elementsByTagName(QStringLiteral("input"));
    QCOMPARE(inputs.size(), 2);
    QCOMPARE(doc->inputName(inputs.at(0)), QStringLiteral("user"));
    QCOMPARE(doc->inputType(inputs.at(0)), QStringLiteral("text"));
    QCOMPARE(doc->value(inputs.at(0)), QStringLiteral("old"));
    QCOMPARE(doc->inputType(inputs.at(1)), QStringLiteral("submit"));

    // Foreign handles read as nothing.
    QVERIFY(doc->innerText(Element(100000)).isEmpty());
    QVERIFY(doc->elementsByTagName(QStringLiteral("a"), Element(100000)).isEmpty());
}

void tst_WebEngineBrowser::snapshotLimitedToScope()
{
    WebEngineBrowser browser;
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/doc"))));
    DocumentScope scope;
    scope.ids = { QStringLiteral("results-list") };
    scope.tags = { QStringLiteral("LI"), QStringLiteral("a"), QStringLiteral("bad tag!") };
    const DocumentPtr doc = snapshot(browser, scope);
    QVERIFY(doc);
    const Element list = doc->elementById(QStringLiteral("results-list"));
    QVERIFY(!list.isNull());
    const QList<Element> items = doc->elementsByTagName(QStringLiteral("LI"), list);
    QCOMPARE(items.size(), 2);
    // Anchors inside an H2 that is not in the scope are still below their LI.
    QCOMPARE(doc->elementsByTagName(QStringLiteral("A"), items.at(0)).size(), 2);
    QVERIFY(doc->elementsByTagName(QStringLiteral("P")).isEmpty());
    QVERIFY(doc->elementById(QStringLiteral("tail")).isNull());

    DocumentScope nothingUsable;
    nothingUsable.tags = { QStringLiteral("a,p") };
    const DocumentPtr empty = snapshot(browser, nothingUsable);
    QVERIFY(empty);
    QVERIFY(empty->elementsByTagName(QStringLiteral("*")).isEmpty());
}

void tst_WebEngineBrowser::snapshotWaitsForTheNewDocument()
{
    WebEngineBrowser browser;
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/a"))));
    // Asked right after the new address was given: the old page is still
    // shown, but the snapshot is of the new one.
    browser.navigate(m_server.urlText(QStringLiteral("/slow")));
    QVERIFY(browser.isBusy());
    const DocumentPtr doc = snapshot(browser);
    QVERIFY(doc);
    QCOMPARE(doc->url(), m_server.urlText(QStringLiteral("/slow")));
    QCOMPARE(doc->innerText(doc->elementById(QStringLiteral("s"))), QStringLiteral("slow page"));

    // A navigation that starts while the page is being read: the snapshot is
    // of the page that follows.
    bool called = false;
    DocumentPtr second;
    QObject context;
    browser.requestDocument(&context, [&](DocumentPtr d) {
        second = std::move(d);
        called = true;
    });
    browser.navigate(m_server.urlText(QStringLiteral("/b")));
    QVERIFY(runUntil([&] { return called; }));
    QVERIFY(second);
    QCOMPARE(second->url(), m_server.urlText(QStringLiteral("/b")));

    // A request whose context is gone is dropped.
    bool droppedCalled = false;
    auto *gone = new QObject;
    browser.requestDocument(gone, [&](DocumentPtr) { droppedCalled = true; });
    delete gone;
    QVERIFY(snapshot(browser));
    QVERIFY(!droppedCalled);
}

// A navigation given while the page is still loading gets no start of its
// own from the engine, and the load it replaced no end; the browser must
// still come to rest on the new page.
void tst_WebEngineBrowser::aNavigationOverALoadingPageEnds()
{
    for (const QString &first :
        { QStringLiteral("about:blank"), m_server.urlText(QStringLiteral("/slow")) }) {
        WebEngineBrowser browser;
        QSignalSpy started(&browser, &Browser::loadStarted);
        browser.navigate(first);
        QVERIFY(started.wait(20000));
        browser.navigate(m_server.urlText(QStringLiteral("/a")));
        QVERIFY2(runUntil([&] { return !browser.isBusy(); }, 20000), qPrintable(first));
        QCOMPARE(browser.url(), m_server.urlText(QStringLiteral("/a")));
        const DocumentPtr doc = snapshot(browser);
        QVERIFY(doc);
        QCOMPARE(doc->url(), m_server.urlText(QStringLiteral("/a")));
    }
}

void tst_WebEngineBrowser::whereFormsGo_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("action"); // "/path": on the fixture server
    QTest::addColumn<QString>("method");
    QTest::newRow("post to a path")
        << QStringLiteral("plain") << QStringLiteral("/session") << QStringLiteral("post");
    QTest::newRow("GET to another host, by default")
        << QStringLiteral("elsewhere") << QStringLiteral("http://127.0.0.2:9/sso")
        << QStringLiteral("get");
    QTest::newRow("fields named action and method")
        << QStringLiteral("shadowed") << QStringLiteral("/forms") << QStringLiteral("post");
    QTest::newRow("the button's formaction and formmethod")
        << QStringLiteral("override") << QStringLiteral("https://other.test/x")
        << QStringLiteral("post");
    QTest::newRow("unknown method")
        << QStringLiteral("bogus") << QStringLiteral("/a") << QStringLiteral("get");
    QTest::newRow("dialog") << QStringLiteral("dialog") << QStringLiteral("/forms")
                            << QStringLiteral("dialog");
    QTest::newRow("no form") << QStringLiteral("formless") << QString() << QString();
}

void tst_WebEngineBrowser::whereFormsGo()
{
    QFETCH(QString, button);
    QFETCH(QString, action);
    QFETCH(QString, method);
    if (action.startsWith(u'/'))
        action = m_server.urlText(action);

    WebEngineBrowser browser;
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/forms"))));
    DocumentScope scope;
    scope.tags = { QStringLiteral("INPUT") };
    const DocumentPtr page = snapshot(browser, scope);
    QVERIFY(page);
    // The page as the browser reads it, and as the tests' parser does.
    const HtmlDocument parsed(page->url(), QString::fromUtf8(kForms));
    for (const Document *doc :
        { static_cast<const Document *>(page.get()), static_cast<const Document *>(&parsed) }) {
        const Element e = doc->elementById(button);
        QVERIFY(!e.isNull());
        QCOMPARE(doc->formAction(e), action);
        QCOMPARE(doc->formMethod(e), method);
    }
}

void tst_WebEngineBrowser::actionsReachTheLivePageOnly()
{
    WebEngineBrowser browser;
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/doc"))));
    const DocumentPtr doc = snapshot(browser);
    QVERIFY(doc);
    const Element user = doc->elementsByTagName(QStringLiteral("input")).value(0);
    QVERIFY(doc->setValue(user, QStringLiteral("new \"value\" %1 \\ 值")));
    // The snapshot keeps what it read; a new one sees the change.
    QCOMPARE(doc->value(user), QStringLiteral("old"));
    const DocumentPtr after = snapshot(browser);
    QCOMPARE(after->value(after->elementsByTagName(QStringLiteral("input")).value(0)),
        QStringLiteral("new \"value\" %1 \\ 值"));
    QVERIFY(!doc->setValue(Element(), QStringLiteral("x")));

    // A click acts as the user's: the link is followed.
    const Element second = after->elementsByTagName(QStringLiteral("a")).value(2);
    QSignalSpy complete(&browser, &Browser::documentComplete);
    QVERIFY(after->click(second));
    QVERIFY(complete.wait(20000));
    QCOMPARE(browser.url(), m_server.urlText(QStringLiteral("/article/2")));
    // The page has moved on: the old snapshot acts on nothing.
    QVERIFY(!after->click(second));
    QVERIFY(!after->setValue(user, QStringLiteral("y")));
}

// A second reader of the same page (the window's "加入本页到列表" during a
// run) must not take the first reader's elements away.
void tst_WebEngineBrowser::anEarlierReaderActsOnItsOwnSnapshot()
{
    WebEngineBrowser browser;
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/doc"))));
    const DocumentPtr first = snapshot(browser);
    QVERIFY(first);
    DocumentScope anchors;
    anchors.tags = { QStringLiteral("A") };
    const DocumentPtr second = snapshot(browser, anchors);
    QVERIFY(second);
    QSignalSpy complete(&browser, &Browser::documentComplete);
    QVERIFY(first->click(first->elementsByTagName(QStringLiteral("a")).value(2)));
    QVERIFY(complete.wait(20000));
    QCOMPARE(browser.url(), m_server.urlText(QStringLiteral("/article/2")));
}

void tst_WebEngineBrowser::failedAndBlankPagesGiveNoDocument()
{
    WebEngineBrowser browser;
    QVERIFY(!snapshot(browser)); // nothing loaded yet
    QVERIFY(loadAndWait(browser, QStringLiteral("about:blank")));
    QVERIFY(!snapshot(browser));
    // Nothing listens on port 1 of loopback: the load fails, but the page
    // still completes so that whoever waits goes on.
    QSignalSpy finished(&browser, &WebEngineBrowser::loadFinished);
    QVERIFY(loadAndWait(browser, QStringLiteral("http://127.0.0.1:1/")));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QVERIFY(!browser.lastLoadSucceeded());
    QVERIFY(!snapshot(browser));
}

void tst_WebEngineBrowser::loadReportsTheAnswer_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::newRow("200") << QStringLiteral("/a") << 200;
    QTest::newRow("404") << QStringLiteral("/missing") << 404;
    QTest::newRow("500") << QStringLiteral("/broken") << 500;
    QTest::newRow("503") << QStringLiteral("/busy") << 503;
    QTest::newRow("nothing listens") << QString() << 0;
}

void tst_WebEngineBrowser::loadReportsTheAnswer()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    WebEngineBrowser browser;
    const QString address
        = path.isEmpty() ? QStringLiteral("http://127.0.0.1:1/") : m_server.urlText(path);
    QVERIFY(loadAndWait(browser, address));
    const PageLoad load = browser.lastLoad();
    QCOMPARE(load.httpStatus, status);
    QCOMPARE(QUrl(load.url), QUrl(address));
    if (status == 0) {
        QVERIFY(!load.ok);
        QVERIFY(load.error.startsWith(QStringLiteral("net::ERR_")));
    } else {
        QVERIFY(load.error.isEmpty() || !load.ok);
    }
}

void tst_WebEngineBrowser::stopEndsAPageThatNeverCompletes()
{
    WebEngineBrowser browser;
    browser.navigate(m_server.urlText(QStringLiteral("/hanging")));
    // The text is there, the picture never comes: the page stays busy.
    QVERIFY(
        runUntil([&] { return browser.url() == m_server.urlText(QStringLiteral("/hanging")); }));
    QTest::qWait(300);
    QVERIFY(browser.isBusy());
    bool called = false;
    DocumentPtr doc;
    QObject context;
    browser.requestDocument(&context, [&](DocumentPtr d) {
        doc = std::move(d);
        called = true;
    });
    browser.stop();
    QVERIFY(runUntil([&] { return !browser.isBusy() && called; }, 5000));
    QVERIFY(doc);
    QCOMPARE(doc->innerText(doc->elementById(QStringLiteral("p"))), QStringLiteral("text"));
    QVERIFY(browser.lastLoad().ok);
}

void tst_WebEngineBrowser::aCrashedRendererIsReportedAndReloaded()
{
    WebEngineBrowser browser;
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/a"))));
    const qint64 pid = browser.page()->renderProcessPid();
    QVERIFY(pid > 0);
    QSignalSpy crashed(&browser, &Browser::renderProcessCrashed);
    QSignalSpy complete(&browser, &Browser::documentComplete);
    ::kill(pid_t(pid), SIGKILL);
    QVERIFY(crashed.wait(20000));
    QVERIFY(!crashed.at(0).at(0).toString().isEmpty());
    QVERIFY(!browser.lastLoad().ok);
    // The page comes back in a new renderer.
    QVERIFY(runUntil([&] { return !complete.isEmpty() && !browser.isBusy(); }));
    QCOMPARE(browser.url(), m_server.urlText(QStringLiteral("/a")));
    QVERIFY(browser.lastLoad().ok);
    const DocumentPtr doc = snapshot(browser);
    QVERIFY(doc);
    QCOMPARE(doc->innerText(doc->elementById(QStringLiteral("p"))), QStringLiteral("page a"));
    QVERIFY(browser.page()->renderProcessPid() != pid);
}

void tst_WebEngineBrowser::newWindowsStayInTheBrowser_data()
{
    QTest::addColumn<QString>("clickId");
    QTest::addColumn<QString>("expectedPath");
    QTest::newRow("target _blank") << QStringLiteral("blank") << QStringLiteral("/a");
    QTest::newRow("unknown frame name, inner element clicked")
        << QStringLiteral("inner") << QStringLiteral("/b");
    QTest::newRow("form with a target") << QStringLiteral("send") << QStringLiteral("/c?");
    QTest::newRow("window.open") << QStringLiteral("open") << QStringLiteral("/c");
}

void tst_WebEngineBrowser::newWindowsStayInTheBrowser()
{
    QFETCH(QString, clickId);
    QFETCH(QString, expectedPath);
    WebEngineBrowser browser;
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/newwin"))));
    const DocumentPtr doc = snapshot(browser);
    QVERIFY(doc);
    QSignalSpy complete(&browser, &Browser::documentComplete);
    QVERIFY(doc->click(doc->elementById(clickId)));
    QVERIFY(complete.wait(20000));
    QCOMPARE(browser.url(), m_server.urlText(expectedPath));
    // The page stays one: the history has the page it came from.
    QVERIFY(browser.goBack());
    QVERIFY(complete.wait(20000));
    QCOMPARE(browser.url(), m_server.urlText(QStringLiteral("/newwin")));
}

void tst_WebEngineBrowser::windowCloseIsRefused()
{
    WebEngineBrowser browser;
    QWebEngineView *view = browser.view();
    view->resize(400, 300);
    view->show();
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/closer"))));
    // The page asks to close itself, also as a script-opened window would.
    browser.runInProgramWorld(QStringLiteral("document.getElementById('close').click();"));
    browser.page()->runJavaScript(QStringLiteral("window.close()"));
    const DocumentPtr doc = snapshot(browser);
    QVERIFY(doc);
    QTest::qWait(200);
    QVERIFY(view->isVisible());
    QCOMPARE(view->page(), browser.page());
    QCOMPARE(browser.url(), m_server.urlText(QStringLiteral("/closer")));
    QCOMPARE(browser.title(), QStringLiteral("Closer"));
}

void tst_WebEngineBrowser::innerFramesCompleteApartFromThePage()
{
    WebEngineBrowser browser;
    QStringList events;
    connect(&browser, &Browser::frameDocumentComplete, this,
        [&](const QString &url) { events << QStringLiteral("frame ") + QUrl(url).path(); });
    connect(&browser, &Browser::documentComplete, this,
        [&](const QString &url) { events << QStringLiteral("page ") + QUrl(url).path(); });
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/framed"))));
    QCOMPARE(events.size(), 3);
    QCOMPARE(events.last(), QStringLiteral("page /framed"));
    QVERIFY(events.contains(QStringLiteral("frame /a")));
    QVERIFY(events.contains(QStringLiteral("frame /b")));

    // A frame that loads a new document later completes as a frame only.
    events.clear();
    const DocumentPtr doc = snapshot(browser);
    QVERIFY(doc);
    browser.runInProgramWorld(QStringLiteral("document.getElementById('f1').src = '/c';"));
    QVERIFY(runUntil([&] { return !events.isEmpty(); }));
    QTest::qWait(100);
    QCOMPARE(events, QStringList { QStringLiteral("frame /c") });
    QVERIFY(!browser.isBusy());
}

void tst_WebEngineBrowser::silentModeSuppressesScriptDialogs()
{
    WebEngineBrowser browser;
    QVERIFY(browser.isSilent());
    QSignalSpy titles(&browser, &Browser::titleChanged);
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/dialogs"))));
    QTRY_COMPARE(browser.title(), QStringLiteral("confirm=false prompt=null"));
    QVERIFY(!titles.isEmpty());
}

void tst_WebEngineBrowser::historyStepsExactly()
{
    WebEngineBrowser browser;
    QVERIFY(!browser.goBack());
    QVERIFY(!browser.goForward());
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/a"))));
    QVERIFY(loadAndWait(browser, m_server.urlText(QStringLiteral("/b"))));
    // Scripted clicks may add entries the engine's own back would skip.
    const DocumentPtr doc = snapshot(browser);
    QSignalSpy complete(&browser, &Browser::documentComplete);
    browser.runInProgramWorld(QStringLiteral("location.href = '/c';"));
    QVERIFY(complete.wait(20000));
    QCOMPARE(browser.url(), m_server.urlText(QStringLiteral("/c")));
    QVERIFY(browser.goBack());
    QVERIFY(complete.wait(20000));
    QCOMPARE(browser.url(), m_server.urlText(QStringLiteral("/b")));
    QVERIFY(browser.goBack());
    QVERIFY(complete.wait(20000));
    QCOMPARE(browser.url(), m_server.urlText(QStringLiteral("/a")));
    QVERIFY(browser.goForward());
    QVERIFY(complete.wait(20000));
    QCOMPARE(browser.url(), m_server.urlText(QStringLiteral("/b")));
    browser.reload();
    QVERIFY(complete.wait(20000));
    QCOMPARE(browser.url(), m_server.urlText(QStringLiteral("/b")));
}

void tst_WebEngineBrowser::certificateErrors_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("shown");
    // The engine remembers an accepted certificate: the acceptance comes last.
    QTest::newRow("silent: refused, nothing asked")
        << true << int(UserDialogs::Answer::Yes) << false;
    QTest::newRow("asked, the user says no") << false << int(UserDialogs::Answer::No) << false;
    QTest::newRow("asked, the user says yes") << false << int(UserDialogs::Answer::Yes) << true;
}

void tst_WebEngineBrowser::certificateErrors()
{
    QFETCH(bool, silent);
    QFETCH(int, answer);
    QFETCH(bool, shown);
    WebEngineBrowser browser;
    FakeDialogs dialogs;
    dialogs.answers.enqueue(UserDialogs::Answer(answer));
    browser.setDialogs(&dialogs);
    browser.setSilent(silent);
    browser.navigate(QStringLiteral("https://127.0.0.1:%1/%2")
                         .arg(m_tls.serverPort())
                         .arg(QString::fromLatin1(QTest::currentDataTag())));
    // Refused: the load fails. Accepted: the page is shown.
    QVERIFY(runUntil([&] { return !browser.isBusy() && (!shown || browser.lastLoadSucceeded()); }));
    QTest::qWait(100);
    QCOMPARE(browser.lastLoadSucceeded(), shown);
    QCOMPARE(dialogs.messages.size(), silent ? 0 : 1);
    if (!silent)
        QCOMPARE(dialogs.messages.at(0).style, UserDialogs::Style::QuestionYesNo);
    if (shown)
        QCOMPARE(browser.title(), QStringLiteral("TLS"));
}

void tst_WebEngineBrowser::emulationValue_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("force");
    QTest::addColumn<int>("value");
    QTest::newRow("IE10 forced") << QStringLiteral("IE10") << true << 10001;
    QTest::newRow("ie10") << QStringLiteral("ie10") << false << 10000;
    QTest::newRow("IE9 forced") << QStringLiteral("IE9") << true << 9999;
    QTest::newRow("IE9") << QStringLiteral("Ie9") << false << 9000;
    QTest::newRow("IE8 forced") << QStringLiteral("IE8") << true << 8888;
    QTest::newRow("IE8") << QStringLiteral("IE8") << false << 8000;
    QTest::newRow("IE7 either way") << QStringLiteral("IE7") << true << 7000;
    QTest::newRow("unknown") << QStringLiteral("IE11") << true << 0;
}

void tst_WebEngineBrowser::emulationValue()
{
    QFETCH(QString, name);
    QFETCH(bool, force);
    QFETCH(int, value);
    QCOMPARE(BrowserEmulationValue(name, force), value);
    SetBrowserEmulation(name, force);
    QCOMPARE(WebEngineBrowser::emulationValue(), value);
}

QUILLMOOR_BROWSER_TEST_MAIN(tst_WebEngineBrowser)
#include "tst_webenginebrowser.moc"
