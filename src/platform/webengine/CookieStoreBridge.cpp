#include "CookieStoreBridge.h"

#include "platform/CookieJar.h"

#include <QWebEngineCookieStore>

CookieStoreBridge::CookieStoreBridge(QWebEngineCookieStore *store, CookieJar *jar, QObject *parent)
    : QObject(parent), m_store(store), m_jar(jar)
{
    connect(store, &QWebEngineCookieStore::cookieAdded, this, &CookieStoreBridge::fromStoreAdded);
    connect(
        store, &QWebEngineCookieStore::cookieRemoved, this, &CookieStoreBridge::fromStoreRemoved);
    connect(jar, &CookieJar::cookieAdded, this, &CookieStoreBridge::fromJarAdded);
    connect(jar, &CookieJar::cookieRemoved, this, &CookieStoreBridge::fromJarRemoved);
    // The store reports what it holds, also cookies restored from disk, only
    // as they change; the jar is seeded from the profile's database instead.
}

QUrl CookieStoreBridge::originOf(const QNetworkCookie &cookie)
{
    QString host = cookie.domain();
    while (host.startsWith(QLatin1Char('.')))
        host.remove(0, 1);
    QUrl origin;
    origin.setScheme(cookie.isSecure() ? QStringLiteral("https") : QStringLiteral("http"));
    origin.setHost(host);
    origin.setPath(QStringLiteral("/"));
    return origin;
}

void CookieStoreBridge::fromStoreAdded(const QNetworkCookie &cookie)
{
    if (!m_jar)
        return;
    m_applyingStoreChange = true;
    m_jar->insertCookie(cookie);
    m_applyingStoreChange = false;
}

void CookieStoreBridge::fromStoreRemoved(const QNetworkCookie &cookie)
{
    if (!m_jar)
        return;
    m_applyingStoreChange = true;
    m_jar->deleteCookie(cookie);
    m_applyingStoreChange = false;
}

namespace {

// A host-only cookie (domain without a leading dot) goes to the store without
// a domain: the store takes the origin's host for it, where a named domain
// would widen it to every subdomain.
QNetworkCookie forStore(const QNetworkCookie &cookie)
{
    QNetworkCookie copy = cookie;
    if (!copy.domain().startsWith(QLatin1Char('.')))
        copy.setDomain(QString());
    return copy;
}

} // namespace

void CookieStoreBridge::fromJarAdded(const QNetworkCookie &cookie)
{
    if (m_applyingStoreChange || !m_store)
        return;
    m_store->setCookie(forStore(cookie), originOf(cookie));
}

void CookieStoreBridge::fromJarRemoved(const QNetworkCookie &cookie)
{
    if (m_applyingStoreChange || !m_store)
        return;
    m_store->deleteCookie(forStore(cookie), originOf(cookie));
}

#include "moc_CookieStoreBridge.cpp"
