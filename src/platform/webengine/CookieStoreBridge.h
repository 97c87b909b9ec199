#pragma once

#include <QNetworkCookie>
#include <QObject>
#include <QPointer>

class CookieJar;
class QWebEngineCookieStore;

// Keeps the transfers' cookie jar and the browser profile's cookie store in
// step, so that a login made in a browser holds for the downloads and a
// cookie set by a download response holds for the browsers.
//
// Browser -> jar: every cookieAdded/cookieRemoved of the store.
// Jar -> browser: every cookie the jar gains or loses outside this bridge
// (a transfer's Set-Cookie), handed to the store for its own origin.
// The store answers a cookie handed to it with a cookieAdded of its own; that
// echo reaches the jar as an unchanged cookie and goes no further.
class CookieStoreBridge : public QObject
{
    Q_OBJECT
public:
    CookieStoreBridge(QWebEngineCookieStore *store, CookieJar *jar, QObject *parent = nullptr);

    // The origin under which the store takes a cookie of the jar: https for a
    // Secure cookie (the store refuses it over http), the bare domain.
    static QUrl originOf(const QNetworkCookie &cookie);

private:
    void fromStoreAdded(const QNetworkCookie &cookie);
    void fromStoreRemoved(const QNetworkCookie &cookie);
    void fromJarAdded(const QNetworkCookie &cookie);
    void fromJarRemoved(const QNetworkCookie &cookie);

    QPointer<QWebEngineCookieStore> m_store;
    QPointer<CookieJar> m_jar;
    bool m_applyingStoreChange = false;
};
