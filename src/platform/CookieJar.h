#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QUrl>

// The program's cookies: one store shared by every transfer and kept in step
// with the embedded browser through cookieAdded()/cookieRemoved(). The signals
// fire only for real changes, so two stores that mirror each other settle
// instead of echoing a cookie back and forth.
//
// Which cookie goes where follows RFC 6265, not QNetworkCookieJar's looser
// rules: a domain cookie reaches the subdomains of its domain only (never a
// host that merely ends in the same letters, never an IP address other than
// its own), and a domain that is a public suffix ("com", "co.uk", "test")
// reaches that one host alone. A cookie whose name or value holds a control
// character is never stored: it would break the Cookie header it goes into.
// Set to true on a jar that is kept in step with the browser profile's store.
inline constexpr char kFollowsProfileProperty[] = "followsProfile";

class CookieJar : public QNetworkCookieJar
{
    Q_OBJECT
public:
    explicit CookieJar(QObject *parent = nullptr);

    // The process-wide jar, created on first use unless one was set.
    static CookieJar *shared();
    // Makes `jar` the process-wide jar (null: back to the built-in one).
    static void setShared(CookieJar *jar);

    // The Cookie request header value for `url`: "a=1; b=2", empty when no
    // cookie applies. Longer paths come first.
    QByteArray cookieHeaderFor(const QUrl &url) const;
    // Takes the values of a response's Set-Cookie headers (one cookie each)
    // for the address that answered.
    void setCookiesFromResponse(const QUrl &url, const QList<QByteArray> &setCookieLines);

    // Adds or replaces a cookie; an already expired one removes its namesake.
    bool insertCookie(const QNetworkCookie &cookie) override;
    bool updateCookie(const QNetworkCookie &cookie) override;
    bool deleteCookie(const QNetworkCookie &cookie) override;
    // Adds many cookies as insertCookie() one after the other would, in time
    // that grows with the number of cookies, not with its square. Answers how
    // many were stored.
    int insertCookies(const QList<QNetworkCookie> &cookies);

    // The cookies the browser sends to `url`, longer paths first. A loopback
    // address counts as secure over plain http too, as it does in the browser.
    QList<QNetworkCookie> cookiesForUrl(const QUrl &url) const override;
    // Cookies of a response from `url`: a Domain attribute that is a public
    // suffix or an IP address makes a host-only cookie when it is the
    // answering host itself, and is refused otherwise.
    bool setCookiesFromUrl(const QList<QNetworkCookie> &cookieList, const QUrl &url) override;

    QList<QNetworkCookie> cookies() const { return allCookies(); }
    void clear();

    // Whether a cookie of `domain` (a leading dot: the domain and its
    // subdomains; none: that host alone) is sent to `host`.
    static bool domainMatches(const QString &host, const QString &domain);
    // False when the name or value holds a control character (CR, LF, NUL...).
    static bool isSendable(const QNetworkCookie &cookie);

Q_SIGNALS:
    void cookieAdded(const QNetworkCookie &cookie);
    void cookieRemoved(const QNetworkCookie &cookie);

protected:
    bool validateCookie(const QNetworkCookie &cookie, const QUrl &url) const override;
};
