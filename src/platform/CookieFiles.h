#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QString>

class QIODevice;

// What a cookie file held, or why it could not be read.
struct CookieFileResult
{
    QList<QNetworkCookie> cookies;
    int skippedLines = 0; // lines that were not cookies (Netscape files only)
    int expiredCookies = 0; // cookie lines whose expiry has passed
    QString error; // empty when the file was read; then `cookies` is empty
};

// A cookie file is read whole into memory, so one that is bigger or has a
// longer line than these is refused, whatever it holds (a device such as
// /dev/zero never ends).
struct CookieFileLimits
{
    qint64 maxFileBytes = 64 * 1024 * 1024;
    qint64 maxLineBytes = 64 * 1024;
};

// The cookies of the embedded browser's profile, read from its "Cookies"
// database without writing to it. The browser may be writing at the same
// time (the desktop program while the command line runs): the read waits
// for the browser's write lock instead of failing. Session cookies are
// there too when the profile keeps them (ForcePersistentCookies).
// A missing file is not an error: a new profile has no cookies yet.
CookieFileResult ReadBrowserCookieDatabase(const QString &path);

// A cookie file in the Netscape format that curl and browsers export:
// domain, subdomains flag, path, secure flag, expiry (0: session), name and
// value, tab-separated; "#HttpOnly_" before the domain marks an HttpOnly
// cookie; other lines starting with "#" and empty lines are skipped. A line
// with a control character in a field is no cookie: its name or value would
// break the request header it goes into.
CookieFileResult ReadNetscapeCookieFile(const QString &path, const CookieFileLimits &limits = {});
CookieFileResult ReadNetscapeCookies(QIODevice &device, const CookieFileLimits &limits = {});
CookieFileResult ParseNetscapeCookies(const QByteArray &text);
