#include "CookieJar.h"

#include "PublicSuffix.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QPointer>

#include <algorithm>
#include <optional>

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

// Host names compare without regard to case and to a final dot.
QStringView withoutFinalDot(QStringView host)
{
    if (host.endsWith(u'.'))
        host.chop(1);
    return host;
}

QString canonicalHost(QStringView host)
{
    return withoutFinalDot(host).toString().toLower();
}

bool isIpAddress(const QString &host)
{
    QHostAddress address;
    return address.setAddress(host);
}

// The host a request goes to, read once for all the jar's cookies.
struct RequestHost
{
    explicit RequestHost(const QString &host)
        : name(canonicalHost(host)), isAddress(isIpAddress(name))
    { }
    QString name;
    bool isAddress;
};

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool domainMatchesHost(const RequestHost &host, const QString &domain)
{
    if (host.name.isEmpty())
        return false;
    if (!domain.startsWith(u'.'))
        return sameName(withoutFinalDot(domain), host.name);
    const QStringView parent = withoutFinalDot(QStringView(domain).mid(1));
    if (parent.isEmpty())
        return false;
    if (sameName(parent, host.name))
        return true;
    // An address has no subdomains: "127.0.0.1" does not end in ".0.0.1".
    if (host.isAddress || parent.size() >= host.name.size()
        || host.name.at(host.name.size() - parent.size() - 1) != u'.'
        || !host.name.endsWith(parent, Qt::CaseInsensitive))
        return false;
    const QString suffix = parent.toString().toLower();
    // Nobody owns "com" or "test": such a domain reaches its own host only.
    return !isIpAddress(suffix) && !IsPublicSuffix(suffix);
}

bool isLoopback(const QString &host)
{
    return host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost"))
        || QHostAddress(host).isLoopback();
}

// RFC 6265 5.1.4: the cookie's path is the request's path or one of its
// folders, never just a prefix of a name ("/docs" does not reach "/docsx").
bool pathMatches(const QString &requestPath, const QString &cookiePath)
{
    const QString path = cookiePath.isEmpty() ? QStringLiteral("/") : cookiePath;
    if (!requestPath.startsWith(path))
        return false;
    return requestPath.size() == path.size() || path.endsWith(u'/')
        || requestPath.at(path.size()) == u'/';
}

bool hasControlCharacter(const QByteArray &bytes)
{
    return std::any_of(bytes.cbegin(), bytes.cend(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

// What makes two cookies namesakes (QNetworkCookie::hasSameIdentifier).
struct CookieKey
{
    QByteArray name;
    QString domain;
    QString path;

    explicit CookieKey(const QNetworkCookie &cookie)
        : name(cookie.name()), domain(cookie.domain()), path(cookie.path())
    { }
    friend bool operator==(const CookieKey &a, const CookieKey &b) = default;
};

size_t qHash(const CookieKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.name, key.domain, key.path);
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

bool CookieJar::domainMatches(const QString &host, const QString &domain)
{
    return domainMatchesHost(RequestHost(host), domain);
}

bool CookieJar::isSendable(const QNetworkCookie &cookie)
{
    return !hasControlCharacter(cookie.name()) && !hasControlCharacter(cookie.value());
}

QList<QNetworkCookie> CookieJar::cookiesForUrl(const QUrl &url) const
{
    const QString scheme = url.scheme().toLower();
    const RequestHost host(url.host());
    const bool secure = scheme == QLatin1String("https")
        || (scheme == QLatin1String("http") && isLoopback(host.name));
    const QString path = url.path().isEmpty() ? QStringLiteral("/") : url.path();
    const QDateTime now = QDateTime::currentDateTimeUtc();

    QList<QNetworkCookie> result;
    const QList<QNetworkCookie> all = allCookies();
    for (const QNetworkCookie &cookie : all) {
        if (cookie.isSecure() && !secure)
            continue;
        if (!cookie.isSessionCookie() && cookie.expirationDate() < now)
            continue;
        if (pathMatches(path, cookie.path()) && domainMatchesHost(host, cookie.domain()))
            result.append(cookie);
    }
    std::stable_sort(
        result.begin(), result.end(), [](const QNetworkCookie &a, const QNetworkCookie &b) {
            return a.path().size() > b.path().size();
        });
    return result;
}

bool CookieJar::setCookiesFromUrl(const QList<QNetworkCookie> &cookieList, const QUrl &url)
{
    const QString host = canonicalHost(url.host());
    bool added = false;
    for (QNetworkCookie cookie : cookieList) {
        cookie.normalize(url);
        // RFC 6265 5.3, step 5: a Domain attribute naming the host itself
        // where it is a public suffix (or an address) gives a host-only
        // cookie; for any other host validateCookie() refuses it.
        const QString domain = cookie.domain();
        if (domain.startsWith(u'.')) {
            const QString named = canonicalHost(QStringView(domain).mid(1));
            if (named == host && (IsPublicSuffix(named) || isIpAddress(named)))
                cookie.setDomain(url.host());
        }
        if (validateCookie(cookie, url) && insertCookie(cookie))
            added = true;
    }
    return added;
}

bool CookieJar::validateCookie(const QNetworkCookie &cookie, const QUrl &url) const
{
    return isSendable(cookie) && domainMatches(url.host(), cookie.domain());
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
    if (!isSendable(cookie))
        return false;
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

int CookieJar::insertCookies(const QList<QNetworkCookie> &cookies)
{
    // The jar's list with holes where a cookie went, and where each one is.
    QList<std::optional<QNetworkCookie>> entries;
    QHash<CookieKey, qsizetype> where;
    const QList<QNetworkCookie> before = allCookies();
    entries.reserve(before.size() + cookies.size());
    where.reserve(before.size() + cookies.size());
    for (const QNetworkCookie &cookie : before) {
        where.insert(CookieKey(cookie), entries.size());
        entries.append(cookie);
    }

    QList<std::pair<bool, QNetworkCookie>> changes; // true: added, false: removed
    int stored = 0;
    for (const QNetworkCookie &cookie : cookies) {
        if (!isSendable(cookie))
            continue;
        const CookieKey key(cookie);
        const auto same = where.constFind(key);
        const bool expired = isExpired(cookie);
        if (same != where.cend()) {
            std::optional<QNetworkCookie> &old = entries[*same];
            if (*old == cookie && !expired) {
                ++stored; // nothing changes
                continue;
            }
            if (expired)
                changes.append({ false, *old });
            old.reset();
            where.erase(same);
        }
        if (expired)
            continue;
        // A replaced cookie moves to the end, as insertCookie() does it.
        where.insert(key, entries.size());
        entries.append(cookie);
        changes.append({ true, cookie });
        ++stored;
    }
    if (changes.isEmpty())
        return stored;

    QList<QNetworkCookie> all;
    all.reserve(where.size());
    for (const std::optional<QNetworkCookie> &slot : std::as_const(entries)) {
        if (slot)
            all.append(*slot);
    }
    setAllCookies(all);
    for (const auto &[isAdded, cookie] : std::as_const(changes)) {
        if (isAdded)
            Q_EMIT cookieAdded(cookie);
        else
            Q_EMIT cookieRemoved(cookie);
    }
    return stored;
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
