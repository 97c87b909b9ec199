#include "search/SiteOrigin.h"

#include "common/TrimSpaces.h"
#include "search/SearchBrowsing.h"

QUrl SiteOriginOf(const QString &address)
{
    const QUrl url(TrimSpaces(address), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QStringLiteral("http") && scheme != QStringLiteral("https")))
        return {};
    QUrl origin;
    origin.setScheme(scheme);
    origin.setHost(url.host());
    origin.setPort(url.port());
    return origin;
}

QUrl StoredSiteOrigin()
{
    const QUrl stored = SiteOriginOf(SearchBrowsing::homePageAddress());
    return stored.isEmpty() ? SiteOriginOf(SearchBrowsing::HomePage.defaultText) : stored;
}
