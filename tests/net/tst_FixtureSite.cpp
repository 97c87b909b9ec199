#include "FixtureServer.h"
#include "HtmlDocument.h"
#include "LiteratureSite.h"
#include "TestEnvironment.h"
#include "platform/curl/CurlRequest.h"
#include "search/NextPageLink.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

struct Fetched
{
    int curlCode = -1;
    int status = 0;
    QByteArray body;
    QByteArray contentType;
    QByteArray contentLength;
};

Fetched fetch(const QString &url, const QByteArray &method = "GET")
{
    Fetched result;
    CurlRequest request;
    request.setCookieJar(nullptr);
    request.setMethod(method);
    request.setUrl(url);
    QEventLoop loop;
    QObject::connect(&request, &CurlRequest::dataReceived, &loop,
        [&result](const QByteArray &data) { result.body += data; });
    QObject::connect(&request, &CurlRequest::finished, &loop, [&](int code, const QString &) {
        result.curlCode = code;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    request.start();
    loop.exec();
    result.status = request.responseCode();
    result.contentType = request.header("Content-Type");
    result.contentLength = request.header("Content-Length");
    return result;
}

} // namespace

class tst_FixtureSite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void routes_data();
    void routes();
    void filesStayInsideTheRoot();
    void headAnswersWithoutBody();
    void connectionsAreCounted();
    void literatureSitePages();
    void todaysPagesAndTheirFaults();

private:
    QTemporaryDir m_root;
    QProcess m_site;
    QString m_base;
};

void tst_FixtureSite::initTestCase()
{
    useTestLocations();
    QVERIFY(m_root.isValid());
    QFile file(m_root.filePath(QStringLiteral("paper.pdf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(FixtureServer::patternBytes(0, 300000));
    file.close();

    const QString portFile = m_root.filePath(QStringLiteral("port"));
    m_site.start(QCoreApplication::applicationDirPath() + QStringLiteral("/quillmoor-fixture-site"),
        { QStringLiteral("--root"), m_root.path(), QStringLiteral("--port-file"), portFile });
    QVERIFY(m_site.waitForStarted());
    QVERIFY(m_site.waitForReadyRead(10000));
    const QByteArray printed = m_site.readLine().trimmed();
    QTRY_VERIFY(QFile::exists(portFile));
    QFile written(portFile);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll().trimmed(), printed);
    QVERIFY(printed.toInt() > 0);
    m_base = QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(printed);
}

void tst_FixtureSite::cleanupTestCase()
{
    if (m_site.state() == QProcess::NotRunning)
        return;
    m_site.terminate(); // SIGTERM: a clean stop
    QVERIFY(m_site.waitForFinished(10000));
    QCOMPARE(m_site.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_site.exitCode(), 0);
}

void tst_FixtureSite::routes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("sized"); // Content-Length sent

    QTest::newRow("file") << QStringLiteral("/paper.pdf") << 200 << 300000 << true;
    QTest::newRow("chunked") << QStringLiteral("/chunked/123457") << 200 << 123457 << false;
    QTest::newRow("close") << QStringLiteral("/close/4097") << 200 << 4097 << false;
    QTest::newRow("nosize") << QStringLiteral("/nosize/70000") << 200 << 70000 << false;
    QTest::newRow("slow") << QStringLiteral("/slow/2500") << 200 << 2500 << true;
    QTest::newRow("redirect") << QStringLiteral("/redirect/paper.pdf") << 200 << 300000 << true;
    QTest::newRow("status") << QStringLiteral("/status/503") << 503 << -1 << true;
    QTest::newRow("missing") << QStringLiteral("/nothing.pdf") << 404 << -1 << true;
}

void tst_FixtureSite::routes()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(int, size);
    QFETCH(bool, sized);
    const Fetched got = fetch(m_base + path);
    QCOMPARE(got.curlCode, 0);
    QCOMPARE(got.status, status);
    QCOMPARE(!got.contentLength.isEmpty(), sized);
    if (size >= 0)
        QCOMPARE(got.body, FixtureServer::patternBytes(0, size));
}

void tst_FixtureSite::filesStayInsideTheRoot()
{
    QTemporaryDir outside;
    QFile secret(outside.filePath(QStringLiteral("secret.txt")));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("secret");
    secret.close();
    // A raw request: clients fold "/../" away before sending.
    const QByteArray escape
        = "/" + QDir(m_root.path()).relativeFilePath(secret.fileName()).toUtf8();
    QVERIFY(escape.startsWith("/../"));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(m_base.section(u':', -1).toUInt()));
    QVERIFY(socket.waitForConnected(5000));
    socket.write("GET " + escape + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(5000))
        answer += socket.readAll();
    QVERIFY2(answer.startsWith("HTTP/1.1 404 "), answer.constData());
    QVERIFY(!answer.contains("secret"));

    const Fetched page = fetch(m_base + QStringLiteral("/html/paper.pdf"));
    QCOMPARE(page.status, 200);
    QVERIFY(page.contentType.startsWith("text/html"));
    QVERIFY(page.body.contains("<a href=\"/paper.pdf\">"));
}

void tst_FixtureSite::headAnswersWithoutBody()
{
    const Fetched got = fetch(m_base + QStringLiteral("/paper.pdf"), "HEAD");
    QCOMPARE(got.curlCode, 0);
    QCOMPARE(got.status, 200);
    QCOMPARE(got.contentLength, QByteArray("300000"));
    QVERIFY(got.body.isEmpty());
    // The connection is still usable afterwards.
    QCOMPARE(fetch(m_base + QStringLiteral("/paper.pdf")).body.size(), 300000);
}

void tst_FixtureSite::connectionsAreCounted()
{
    FixtureServer server;
    QVERIFY(server.listen());
    server.route("/a", FixtureServer::Response::ok("a"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(fetch(server.urlText(QStringLiteral("/a"))).body, QByteArray("a"));
    // Kept alive: one connection carried all three.
    QCOMPARE(server.totalConnections(), 1);
    QCOMPARE(server.requests().at(2).connection, 1);

    server.setKeepAlive(false);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(fetch(server.urlText(QStringLiteral("/a"))).body, QByteArray("a"));
    QTRY_COMPARE(server.openConnections(), 0);
    // The kept connection carried the first of them and was closed after it.
    QCOMPARE(server.totalConnections(), 2);
    QCOMPARE(server.maxOpenConnections(), 1);
}

void tst_FixtureSite::literatureSitePages()
{
    // A search page links its PDFs and the next page on this server.
    const QString first = m_base + QStringLiteral("/search?query=deep+learning+pages-4");
    const Fetched page = fetch(first);
    QCOMPARE(page.status, 200);
    QVERIFY(page.contentType.startsWith("text/html"));
    const HtmlDocument document(first, QString::fromUtf8(page.body));
    const Element results = document.elementById(QStringLiteral("results-list"));
    QCOMPARE(document.elementsByTagName(QStringLiteral("LI"), results).size(),
        LiteratureSite::ResultsPerPage);
    QCOMPARE(document.href(findNextLink(document)),
        m_base + QStringLiteral("/search/page/2?query=deep+learning+pages-4"));
    const Element pdfLink = document.elementsByTagName(QStringLiteral("A"), results).at(2);
    QVERIFY(document.innerText(pdfLink).startsWith(QStringLiteral("Download PDF (")));
    const Fetched pdf = fetch(document.href(pdfLink));
    QCOMPARE(pdf.status, 200);
    QCOMPARE(pdf.contentType, QByteArray("application/pdf"));
    QVERIFY(pdf.body.startsWith("%PDF-"));
    QVERIFY(document.innerText(pdfLink).contains(QString::number(pdf.body.size() / 1024)));

    // The last page has no next link; a page past it has no results.
    const QString last = m_base + QStringLiteral("/search/page/4?query=deep+learning+pages-4");
    const HtmlDocument lastPage(last, QString::fromUtf8(fetch(last).body));
    QVERIFY(findNextLink(lastPage).isNull());
    const Fetched past = fetch(m_base + QStringLiteral("/search/page/5?query=x+pages-4"));
    QCOMPARE(past.status, 200);
    QVERIFY(HtmlDocument(QStringLiteral("http://h/"), QString::fromUtf8(past.body))
                .elementById(QStringLiteral("results-list"))
                .isNull());

    const Fetched book = fetch(m_base + QStringLiteral("/book/") + LiteratureSite::BookDoi);
    QCOMPARE(book.status, 200);
    QVERIFY(book.body.contains("Download book PDF"));
    QCOMPARE(fetch(m_base + QStringLiteral("/content/pdf/x.txt")).status, 404);
}

void tst_FixtureSite::todaysPagesAndTheirFaults()
{
    // Today's cards and a rel="next" link with the next page's number.
    const QString query = QStringLiteral("soil pages-3");
    const QString second = m_base + LiteratureSite::todaySearchPath(query, 2);
    const Fetched page = fetch(second);
    QCOMPARE(page.status, 200);
    const HtmlDocument document(second, QString::fromUtf8(page.body));
    QCOMPARE(relNextAddress(document), m_base + LiteratureSite::todaySearchPath(query, 3));
    QCOMPARE(提取当前页码数(&document), 2);
    QVERIFY(findNextLink(document).isNull());
    int cards = 0;
    for (const Element item : document.elementsByTagName(QStringLiteral("LI")))
        cards += document.attribute(item, QStringLiteral("data-test")) == u"search-result-item";
    QCOMPARE(cards, LiteratureSite::TodayResultsPerPage);
    const HtmlDocument last(
        m_base, QString::fromUtf8(fetch(m_base + LiteratureSite::todaySearchPath(query, 3)).body));
    QVERIFY(relNextAddress(last).isEmpty());

    // busy-2: page 2 answers 503 twice, then as usual; other pages at once.
    const QString busy
        = m_base + LiteratureSite::todaySearchPath(QStringLiteral("b pages-3 busy-2"), 2);
    QCOMPARE(
        fetch(m_base + LiteratureSite::todaySearchPath(QStringLiteral("b pages-3 busy-2"))).status,
        200);
    QCOMPARE(fetch(busy).status, 503);
    QCOMPARE(fetch(busy).status, 503);
    QCOMPARE(fetch(busy).status, 200);
    QCOMPARE(fetch(busy).status, 200);
    // broken-1: always 500.
    const QString broken = m_base + LiteratureSite::todaySearchPath(QStringLiteral("x broken-1"));
    QCOMPARE(fetch(broken).status, 500);
    QCOMPARE(fetch(broken).status, 500);
    // hang-1 holds a picture of its own; hop-1 opens itself again by script;
    // loop-1 links back to page 1.
    QVERIFY(fetch(m_base + LiteratureSite::todaySearchPath(QStringLiteral("x hang-1")))
                .body.contains("src=\"/hang/picture.png\""));
    QVERIFY(fetch(m_base + LiteratureSite::todaySearchPath(QStringLiteral("x hop-1")))
                .body.contains("location.replace("));
    const QString loop = m_base + LiteratureSite::todaySearchPath(QStringLiteral("x loop-1"));
    QCOMPARE(relNextAddress(HtmlDocument(loop, QString::fromUtf8(fetch(loop).body))), loop);
}

QTEST_GUILESS_MAIN(tst_FixtureSite)
#include "tst_FixtureSite.moc"
