#include "FixtureServer.h"
#include "TestEnvironment.h"
#include "platform/CookieJar.h"
#include "platform/webengine/CookieStoreBridge.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>

// The browser and the transfers share their cookies in both directions.
class tst_CookieStoreBridge : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void browserCookiesReachTheTransfers();
    void transferCookiesReachTheBrowser();

private:
    bool load(const QUrl &url);

    QTemporaryDir m_dir;
    FixtureServer m_server;
    QWebEngineProfile *m_profile = nullptr;
    QWebEnginePage *m_page = nullptr;
    CookieJar m_jar;
};

void tst_CookieStoreBridge::initTestCase()
{
    useTestLocations();
    QVERIFY(m_server.listen());
    m_server.route("/login",
        FixtureServer::Response::ok("<html><title>in</title></html>", "text/html")
            .withCookie("sid=s1; Path=/")
            .withCookie("narrow=n1; Path=/papers; HttpOnly"));
    m_server.route(
        "/page", FixtureServer::Response::ok("<html><title>p</title></html>", "text/html"));
    m_profile = new QWebEngineProfile(QStringLiteral("Quillmoor"), this);
    m_profile->setPersistentStoragePath(m_dir.filePath(QStringLiteral("data")));
    m_profile->setCachePath(m_dir.filePath(QStringLiteral("cache")));
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    new CookieStoreBridge(m_profile->cookieStore(), &m_jar, this);
    m_page = new QWebEnginePage(m_profile, this);
}

void tst_CookieStoreBridge::cleanupTestCase()
{
    delete m_page;
    m_page = nullptr;
}

bool tst_CookieStoreBridge::load(const QUrl &url)
{
    QSignalSpy finished(m_page, &QWebEnginePage::loadFinished);
    m_page->load(url);
    return finished.wait(20000) && finished.first().first().toBool();
}

void tst_CookieStoreBridge::browserCookiesReachTheTransfers()
{
    QVERIFY(load(m_server.url(QStringLiteral("/login"))));
    QTRY_COMPARE(m_jar.cookies().size(), 2);
    // Exactly what the browser would send: the /papers cookie only below
    // /papers, nothing for another host name of the same server.
    QCOMPARE(m_jar.cookieHeaderFor(m_server.url(QStringLiteral("/papers/a.pdf"))),
        QByteArray("narrow=n1; sid=s1"));
    QCOMPARE(m_jar.cookieHeaderFor(m_server.url(QStringLiteral("/other"))), QByteArray("sid=s1"));
    QUrl otherName = m_server.url(QStringLiteral("/papers/a.pdf"));
    otherName.setHost(QStringLiteral("localhost"));
    QCOMPARE(m_jar.cookieHeaderFor(otherName), QByteArray());

    // A cookie the browser drops leaves the jar too.
    m_profile->cookieStore()->deleteAllCookies();
    QTRY_VERIFY(m_jar.cookies().isEmpty());
}

void tst_CookieStoreBridge::transferCookiesReachTheBrowser()
{
    const QUrl download = m_server.url(QStringLiteral("/content/pdf/x.pdf"));
    QSignalSpy jarAdded(&m_jar, &CookieJar::cookieAdded);
    m_jar.setCookiesFromResponse(download, { "token=t9; Path=/", "secret=s; Path=/; Secure" });
    QCOMPARE(m_jar.cookies().size(), 2);
    QVERIFY(load(m_server.url(QStringLiteral("/page"))));
    const QByteArray sent = m_server.lastRequest().header("Cookie");
    QVERIFY2(sent.contains("token=t9"), sent.constData());
    // Loopback is a secure context for the browser, so the Secure cookie goes too.
    QVERIFY2(sent.contains("secret=s"), sent.constData());
    // The store's echo settles instead of bouncing back and forth.
    QTest::qWait(200);
    QCOMPARE(m_jar.cookies().size(), 2);
    QVERIFY(jarAdded.size() <= 4);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    tst_CookieStoreBridge test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cookiestorebridge.moc"
