#include "CliCookies.h"

#include "platform/CookieFiles.h"
#include "platform/CookieJar.h"
#include "platform/ProfileFolder.h"

#include <QCommandLineParser>
#include <QVariant>

#include <cstdio>

void CookieOptions::addTo(QCommandLineParser &parser) const
{
    parser.addOption(file);
    parser.addOption(none);
}

CookieJar *CookieOptions::select(
    const QCommandLineParser &parser, CookieJar &own, QString *error) const
{
    if (parser.isSet(file) && parser.isSet(none)) {
        *error = QStringLiteral("--cookies and --no-cookies exclude each other");
        return nullptr;
    }
    if (parser.isSet(none))
        return &own;

    if (parser.isSet(file)) {
        const QString path = parser.value(file);
        const CookieFileResult read = ReadNetscapeCookieFile(path);
        if (!read.error.isEmpty()) {
            *error = QStringLiteral("--cookies %1: %2").arg(path, read.error);
            return nullptr;
        }
        if (read.cookies.isEmpty()) {
            std::fprintf(stderr,
                "quillmoor-cli: --cookies %s: no valid cookie line found (%d lines not "
                "cookies, %d cookies expired); going on without cookies\n",
                path.toLocal8Bit().constData(), read.skippedLines, read.expiredCookies);
        }
        own.insertCookies(read.cookies);
        return &own;
    }

    CookieJar *shared = CookieJar::shared();
    // A jar that already follows the profile's browser (harvest) has newer
    // cookies than the database.
    if (shared->property(kFollowsProfileProperty).toBool())
        return shared;
    const CookieFileResult read = ReadBrowserCookieDatabase(
        ProfileFolder::cookieDatabase(ProfileFolder::defaultDataPath()));
    if (!read.error.isEmpty()) {
        std::fprintf(stderr,
            "quillmoor-cli: the login cookies cannot be read, going on without them: %s\n",
            read.error.toLocal8Bit().constData());
    }
    shared->insertCookies(read.cookies);
    return shared;
}
