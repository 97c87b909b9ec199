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

    // The cookies the browser sends to `url`: as QNetworkCookieJar decides,
    // except that a loopback address counts as secure over plain http too,
    // as it does in the browser.
    QList<QNetworkCookie> cookiesForUrl(const QUrl &url) const override;

    QList<QNetworkCookie> cookies() const { return allCookies(); }
    void clear();

Q_SIGNALS:
    void cookieAdded(const QNetworkCookie &cookie);
    void cookieRemoved(const QNetworkCookie &cookie);
};
