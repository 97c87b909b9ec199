#pragma once

#include <QString>
#include <QUrl>

// The literature site whose PDF addresses DOI lines become.

// The origin (scheme, host and port) of an absolute http or https address
// with a host; an empty QUrl for anything else.
QUrl SiteOriginOf(const QString &address);

// The origin of the home page setting "设置"/"首页网址", or of its default
// (https://link.springer.com/) when the stored one is no http(s) address.
QUrl StoredSiteOrigin();
