#include "CookieJar.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHostAddress>
#include <QPointer>

namespace {

QPointer<CookieJar> &sharedSlot()
{
    static QPointer<CookieJar> jar;
    return jar;
}

bool isExpired(const QNetworkCookie &cookie)
{
    return !cookie.isSessionCookie() && cookie.expirationDate() < QDateTime::currentDateTimeUtc();
}

} // namespace

CookieJar::CookieJar(QObject *parent) : QNetworkCookieJar(parent) { }

CookieJar *CookieJar::shared()
{
    QPointer<CookieJar> &jar = sharedSlot();
    if (!jar)
        jar = new CookieJar(QCoreApplication::instance());
    return jar;
}

void CookieJar::setShared(CookieJar *jar)
{
    sharedSlot() = jar;
}

QList<QNetworkCookie> CookieJar::cookiesForUrl(const QUrl &url) const
{
    if (url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0)
        return QNetworkCookieJar::cookiesForUrl(url);
    const QString host = url.host().toLower();
    const bool loopback = host == QLatin1String("localhost")
        || host.endsWith(QLatin1String(".localhost")) || QHostAddress(host).isLoopback();
    if (!loopback)
        return QNetworkCookieJar::cookiesForUrl(url);
    QUrl asSecure = url;
    asSecure.setScheme(QStringLiteral("https"));
    return QNetworkCookieJar::cookiesForUrl(asSecure);
}

QByteArray CookieJar::cookieHeaderFor(const QUrl &url) const
{
    QByteArray header;
    const QList<QNetworkCookie> matching = cookiesForUrl(url);
    for (const QNetworkCookie &cookie : matching) {
        if (!header.isEmpty())
            header += "; ";
        header += cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
    }
    return header;
}

void CookieJar::setCookiesFromResponse(const QUrl &url, const QList<QByteArray> &setCookieLines)
{
    for (const QByteArray &line : setCookieLines) {
        // parseCookies reads several cookies from one value when they are
        // separated by line breaks; a Set-Cookie header holds one.
        QByteArray oneLine = line;
        oneLine.replace('\n', ' ').replace('\r', ' ');
        setCookiesFromUrl(QNetworkCookie::parseCookies(oneLine), url);
    }
}

bool CookieJar::insertCookie(const QNetworkCookie &cookie)
{
    QList<QNetworkCookie> all = allCookies();
    const auto same = std::find_if(all.begin(), all.end(),
        [&cookie](const QNetworkCookie &c) { return c.hasSameIdentifier(cookie); });
    if (same != all.end()) {
        if (*same == cookie && !isExpired(cookie))
            return true; // nothing changes
        const QNetworkCookie old = *same;
        all.erase(same);
        if (isExpired(cookie)) {
            setAllCookies(all);
            Q_EMIT cookieRemoved(old);
            return false;
        }
    } else if (isExpired(cookie)) {
        return false;
    }
    all.append(cookie);
    setAllCookies(all);
    Q_EMIT cookieAdded(cookie);
    return true;
}

bool CookieJar::updateCookie(const QNetworkCookie &cookie)
{
    return insertCookie(cookie);
}

bool CookieJar::deleteCookie(const QNetworkCookie &cookie)
{
    QList<QNetworkCookie> all = allCookies();
    const auto same = std::find_if(all.begin(), all.end(),
        [&cookie](const QNetworkCookie &c) { return c.hasSameIdentifier(cookie); });
    if (same == all.end())
        return false;
    const QNetworkCookie old = *same;
    all.erase(same);
    setAllCookies(all);
    Q_EMIT cookieRemoved(old);
    return true;
}

void CookieJar::clear()
{
    const QList<QNetworkCookie> all = allCookies();
    setAllCookies({});
    for (const QNetworkCookie &cookie : all)
        Q_EMIT cookieRemoved(cookie);
}

#include "moc_CookieJar.cpp"
