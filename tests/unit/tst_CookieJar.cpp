#include "TestEnvironment.h"
#include "platform/CookieJar.h"

#include <QDateTime>
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
    void domainMatching_data();
    void domainMatching();
    void domainAttributes_data();
    void domainAttributes();
    void controlCharactersAreNeverStored();
    void manyCookiesAtOnce();
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

void tst_CookieJar::domainMatching_data()
{
    // A cookie as a cookie file or the browser's database gives it: a
    // leading dot for the domain and its subdomains, none for one host.
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("sent");

    const auto row = [](const char *name, const char *domain, const char *host, bool sent) {
        QTest::newRow(name) << QString::fromLatin1(domain) << QString::fromLatin1(host) << sent;
    };
    row("subdomain", ".example.com", "www.example.com", true);
    row("the domain itself", ".example.com", "example.com", true);
    row("same letters, not a subdomain", ".example.com", "badexample.com", false);
    row("host-only stays on its host", "example.com", "www.example.com", false);
    row("case and a final dot", "EXAMPLE.com", "www.Example.COM.", false);
    row("case and a final dot, domain", ".EXAMPLE.com", "www.Example.COM.", true);
    row("last byte of an address", ".1", "127.0.0.1", false);
    row("last bytes of an address", ".0.0.1", "127.0.0.1", false);
    row("the address itself", ".127.0.0.1", "127.0.0.1", true);
    row("host-only address", "127.0.0.1", "127.0.0.1", true);
    row("top-level name of the list", ".com", "example.com", false);
    row("top-level name not on the list", ".test", "a.test", false);
    row("public suffix of two labels", ".co.uk", "bbc.co.uk", false);
    row("private suffix", ".github.io", "someone.github.io", false);
    row("below a public suffix", ".bbc.co.uk", "www.bbc.co.uk", true);
    row("public suffix as the host itself", ".test", "test", true);
    row("localhost's subdomains", ".localhost", "a.localhost", false);
    row("localhost itself", ".localhost", "localhost", true);
}

void tst_CookieJar::domainMatching()
{
    QFETCH(QString, domain);
    QFETCH(QString, host);
    QFETCH(bool, sent);
    CookieJar jar;
    QNetworkCookie cookie("k", "v");
    cookie.setDomain(domain);
    cookie.setPath(QStringLiteral("/"));
    QVERIFY(jar.insertCookie(cookie));
    QCOMPARE(jar.cookieHeaderFor(QUrl(QStringLiteral("https://") + host + QStringLiteral("/x"))),
        sent ? QByteArray("k=v") : QByteArray());
}

void tst_CookieJar::domainAttributes_data()
{
    // A Set-Cookie with a Domain attribute, from `from`: where the cookie
    // goes then ("-": refused).
    QTest::addColumn<QString>("from");
    QTest::addColumn<QByteArray>("setCookie");
    QTest::addColumn<QString>("storedDomain");
    QTest::addColumn<QStringList>("sentTo");
    QTest::addColumn<QStringList>("notSentTo");

    QTest::newRow("parent domain")
        << QStringLiteral("www.example.com") << QByteArray("k=v; Domain=example.com")
        << QStringLiteral(".example.com")
        << QStringList { QStringLiteral("example.com"), QStringLiteral("cdn.example.com") }
        << QStringList { QStringLiteral("badexample.com") };
    QTest::newRow("public suffix of another host")
        << QStringLiteral("a.test") << QByteArray("k=v; Domain=test") << QStringLiteral("-")
        << QStringList() << QStringList { QStringLiteral("a.test"), QStringLiteral("b.test") };
    QTest::newRow("public suffix that is the host: host-only")
        << QStringLiteral("test") << QByteArray("k=v; Domain=.test") << QStringLiteral("test")
        << QStringList { QStringLiteral("test") } << QStringList { QStringLiteral("a.test") };
    QTest::newRow("two-label public suffix")
        << QStringLiteral("www.bbc.co.uk") << QByteArray("k=v; Domain=co.uk") << QStringLiteral("-")
        << QStringList() << QStringList { QStringLiteral("www.bbc.co.uk") };
    QTest::newRow("part of an address")
        << QStringLiteral("127.0.0.1") << QByteArray("k=v; Domain=0.0.1") << QStringLiteral("-")
        << QStringList() << QStringList { QStringLiteral("127.0.0.1") };
    QTest::newRow("the address itself")
        << QStringLiteral("127.0.0.1") << QByteArray("k=v; Domain=127.0.0.1")
        << QStringLiteral("127.0.0.1") << QStringList { QStringLiteral("127.0.0.1") }
        << QStringList();
}

void tst_CookieJar::domainAttributes()
{
    QFETCH(QString, from);
    QFETCH(QByteArray, setCookie);
    QFETCH(QString, storedDomain);
    QFETCH(QStringList, sentTo);
    QFETCH(QStringList, notSentTo);
    CookieJar jar;
    jar.setCookiesFromResponse(
        QUrl(QStringLiteral("https://") + from + QStringLiteral("/")), { setCookie + "; Path=/" });
    if (storedDomain == QLatin1String("-")) {
        QVERIFY(jar.cookies().isEmpty());
    } else {
        QCOMPARE(jar.cookies().size(), 1);
        QCOMPARE(jar.cookies().at(0).domain(), storedDomain);
    }
    for (const QString &host : std::as_const(sentTo))
        QCOMPARE(jar.cookieHeaderFor(QUrl(QStringLiteral("https://") + host)), QByteArray("k=v"));
    for (const QString &host : std::as_const(notSentTo))
        QCOMPARE(jar.cookieHeaderFor(QUrl(QStringLiteral("https://") + host)), QByteArray());
}

void tst_CookieJar::controlCharactersAreNeverStored()
{
    // Whatever the source (a file, the browser, a response), a CR or NUL in a
    // cookie would end or cut the Cookie header the server reads.
    CookieJar jar;
    const auto cookie = [](const QByteArray &name, const QByteArray &value) {
        QNetworkCookie c(name, value);
        c.setDomain(QStringLiteral("example.com"));
        c.setPath(QStringLiteral("/"));
        return c;
    };
    QVERIFY(!jar.insertCookie(cookie("a", "v\r\nX-Injected: yes")));
    QVERIFY(!jar.insertCookie(cookie("a\x01", "v")));
    QCOMPARE(jar.insertCookies({ cookie("b", QByteArray("v\0cut", 5)), cookie("ok", "1") }), 1);
    jar.setCookiesFromUrl(
        { cookie("c", QByteArray("v\x7f")) }, QUrl(QStringLiteral("https://example.com/")));
    QCOMPARE(jar.cookieHeaderFor(QUrl(QStringLiteral("https://example.com/"))), QByteArray("ok=1"));
}

void tst_CookieJar::manyCookiesAtOnce()
{
    // Taking a list at once does what taking its cookies one by one does:
    // the same cookies in the same order, the same signals.
    const auto cookie = [](const char *name, const char *value, int expiresInDays = 1) {
        QNetworkCookie c(name, value);
        c.setDomain(QStringLiteral(".example.com"));
        c.setPath(QStringLiteral("/"));
        c.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(expiresInDays));
        return c;
    };
    const QList<QNetworkCookie> before { cookie("a", "1"), cookie("b", "1"), cookie("c", "1") };
    const QList<QNetworkCookie> batch { cookie("a", "1"), cookie("b", "2"), cookie("d", "1"),
        cookie("c", "x", -1), cookie("d", "2"), cookie("e", "1", -1), cookie("f", "1") };

    CookieJar oneByOne;
    CookieJar atOnce;
    for (CookieJar *jar : { &oneByOne, &atOnce }) {
        for (const QNetworkCookie &c : before)
            jar->insertCookie(c);
    }
    QSignalSpy addedOne(&oneByOne, &CookieJar::cookieAdded);
    QSignalSpy removedOne(&oneByOne, &CookieJar::cookieRemoved);
    QSignalSpy addedAll(&atOnce, &CookieJar::cookieAdded);
    QSignalSpy removedAll(&atOnce, &CookieJar::cookieRemoved);
    int stored = 0;
    for (const QNetworkCookie &c : batch)
        stored += oneByOne.insertCookie(c) ? 1 : 0;
    QCOMPARE(atOnce.insertCookies(batch), stored);

    const auto text = [](const QList<QNetworkCookie> &cookies) {
        QStringList out;
        for (const QNetworkCookie &c : cookies)
            out << QString::fromLatin1(c.name() + '=' + c.value());
        return out.join(u' ');
    };
    QCOMPARE(text(atOnce.cookies()), QStringLiteral("a=1 b=2 d=2 f=1"));
    QCOMPARE(text(atOnce.cookies()), text(oneByOne.cookies()));
    QCOMPARE(addedAll, addedOne);
    QCOMPARE(removedAll, removedOne);
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
