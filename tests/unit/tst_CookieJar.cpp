#include "TestEnvironment.h"
#include "platform/CookieJar.h"

#include <QSignalSpy>
#include <QTest>

class tst_CookieJar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void headerForUrl_data();
    void headerForUrl();
    void responseCookiesAreStoredPerSite();
    void signalsOnlyForRealChanges();
    void sharedJarCanBeReplaced();
};

void tst_CookieJar::headerForUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("expected");
    // Jar: a=1 host-only on example.com /, b=2 for .example.com /docs,
    // s=3 Secure on example.com /.
    QTest::newRow("root over http") << QStringLiteral("http://example.com/") << QByteArray("a=1");
    QTest::newRow("longer path first")
        << QStringLiteral("http://example.com/docs/x.pdf") << QByteArray("b=2; a=1");
    QTest::newRow("secure only over https")
        << QStringLiteral("https://example.com/") << QByteArray("a=1; s=3");
    QTest::newRow("domain cookie on a subdomain")
        << QStringLiteral("http://cdn.example.com/docs/") << QByteArray("b=2");
    QTest::newRow("path prefix is not a path")
        << QStringLiteral("http://example.com/docsx") << QByteArray("a=1");
    QTest::newRow("other site") << QStringLiteral("http://example.org/") << QByteArray();
}

void tst_CookieJar::headerForUrl()
{
    QFETCH(QString, url);
    QFETCH(QByteArray, expected);
    CookieJar jar;
    const QUrl site(QStringLiteral("https://example.com/"));
    jar.setCookiesFromResponse(
        site, { "a=1; Path=/", "b=2; Domain=.example.com; Path=/docs", "s=3; Path=/; Secure" });
    QCOMPARE(jar.cookies().size(), 3);
    QCOMPARE(jar.cookieHeaderFor(QUrl(url)), expected);
}

void tst_CookieJar::responseCookiesAreStoredPerSite()
{
    CookieJar jar;
    const QUrl site(QStringLiteral("http://www.example.com/login"));
    // An expiry date holds a comma; one Set-Cookie value is one cookie.
    jar.setCookiesFromResponse(site,
        { "keep=yes; Expires=Wed, 01 Jan 2098 00:00:00 GMT; Path=/",
            "evil=1; Domain=other.org; Path=/", // another site may not be set
            "gone=1; Max-Age=0" });
    const QList<QNetworkCookie> cookies = jar.cookies();
    QCOMPARE(cookies.size(), 1);
    QCOMPARE(cookies.at(0).name(), QByteArray("keep"));
    QCOMPARE(cookies.at(0).domain(), QStringLiteral("www.example.com"));
    QVERIFY(!cookies.at(0).isSessionCookie());

    // A later response replaces, then deletes it.
    jar.setCookiesFromResponse(site, { "keep=no; Path=/" });
    QCOMPARE(jar.cookieHeaderFor(site), QByteArray("keep=no"));
    jar.setCookiesFromResponse(site, { "keep=; Path=/; Max-Age=0" });
    QVERIFY(jar.cookies().isEmpty());
}

void tst_CookieJar::signalsOnlyForRealChanges()
{
    CookieJar jar;
    QSignalSpy added(&jar, &CookieJar::cookieAdded);
    QSignalSpy removed(&jar, &CookieJar::cookieRemoved);
    QNetworkCookie cookie("sid", "1");
    cookie.setDomain(QStringLiteral("example.com"));
    cookie.setPath(QStringLiteral("/"));

    QVERIFY(jar.insertCookie(cookie));
    QVERIFY(jar.insertCookie(cookie)); // the same again: no echo
    QCOMPARE(added.size(), 1);

    cookie.setValue("2");
    QVERIFY(jar.insertCookie(cookie)); // a new value replaces the old one
    QCOMPARE(added.size(), 2);
    QCOMPARE(removed.size(), 0);
    QCOMPARE(jar.cookies().size(), 1);
    QCOMPARE(jar.cookies().at(0).value(), QByteArray("2"));

    QVERIFY(jar.deleteCookie(cookie));
    QVERIFY(!jar.deleteCookie(cookie));
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.at(0).at(0).value<QNetworkCookie>().value(), QByteArray("2"));

    // An expired cookie removes its namesake and is not stored.
    QVERIFY(jar.insertCookie(cookie));
    QNetworkCookie expired = cookie;
    expired.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(-1));
    QVERIFY(!jar.insertCookie(expired));
    QCOMPARE(removed.size(), 2);
    QVERIFY(jar.cookies().isEmpty());

    QVERIFY(jar.insertCookie(cookie));
    jar.clear();
    QCOMPARE(removed.size(), 3);
}

void tst_CookieJar::sharedJarCanBeReplaced()
{
    CookieJar *builtIn = CookieJar::shared();
    QVERIFY(builtIn);
    QCOMPARE(CookieJar::shared(), builtIn);
    {
        CookieJar mine;
        CookieJar::setShared(&mine);
        QCOMPARE(CookieJar::shared(), &mine);
    }
    // The injected jar is gone: a new built-in one takes its place.
    QVERIFY(CookieJar::shared());
    CookieJar::setShared(nullptr);
    QVERIFY(CookieJar::shared());
}

QTEST_GUILESS_MAIN(tst_CookieJar)
#include "tst_CookieJar.moc"
