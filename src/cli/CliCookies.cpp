#include "CliCookies.h"

#include "platform/CookieFiles.h"
#include "platform/CookieJar.h"
#include "platform/ProfileFolder.h"

#include <QCommandLineParser>

#include <cstdio>

void CookieOptions::addTo(QCommandLineParser &parser) const
{
    parser.addOption(file);
    parser.addOption(none);
}

QString CookieOptions::load(const QCommandLineParser &parser, CookieJar &jar) const
{
    if (parser.isSet(file) && parser.isSet(none))
        return QStringLiteral("--cookies and --no-cookies exclude each other");
    if (parser.isSet(none))
        return {};

    CookieFileResult read;
    if (parser.isSet(file)) {
        read = ReadNetscapeCookieFile(parser.value(file));
        if (!read.error.isEmpty())
            return QStringLiteral("--cookies: %1").arg(read.error);
    } else {
        read = ReadBrowserCookieDatabase(
            ProfileFolder::cookieDatabase(ProfileFolder::defaultDataPath()));
        if (!read.error.isEmpty()) {
            std::fprintf(stderr,
                "quillmoor-cli: the login cookies cannot be read, going on without: %s\n",
                read.error.toLocal8Bit().constData());
            return {};
        }
    }
    for (const QNetworkCookie &cookie : std::as_const(read.cookies))
        jar.insertCookie(cookie);
    return {};
}
