#pragma once

#include <QCommandLineOption>
#include <QString>

class CookieJar;
class QCommandLineParser;

// Which cookies a command sends: by default those of the program's browser
// profile, so a login made in the desktop program or with "login" holds;
// --no-cookies sends none; --cookies FILE those of a Netscape cookie file
// (refused when over 64 MiB or with a line over 64 KiB; a file without a
// single valid cookie line gives a warning on standard error).
struct CookieOptions
{
    QCommandLineOption file { QStringLiteral("cookies"), {}, QStringLiteral("FILE") };
    QCommandLineOption none { QStringLiteral("no-cookies") };

    void addTo(QCommandLineParser &parser) const;

    // The jar the command's transfers use, or null after a usage error (in
    // *error). By default the process-wide jar with the profile's cookies
    // added; with either option `own`, filled from the file or left empty,
    // so that nothing is taken from or removed in the profile. The profile's
    // database is only read; when it cannot be read (the desktop program
    // holds it), a warning goes to standard error and the command goes on
    // without.
    CookieJar *select(const QCommandLineParser &parser, CookieJar &own, QString *error) const;
};
