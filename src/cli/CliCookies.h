#pragma once

#include <QCommandLineOption>
#include <QString>

class CookieJar;
class QCommandLineParser;

// Which cookies a command sends: by default those of the program's browser
// profile, so a login made in the desktop program or with "login" holds;
// --no-cookies sends none; --cookies FILE those of a Netscape cookie file.
struct CookieOptions
{
    QCommandLineOption file { QStringLiteral("cookies"), {}, QStringLiteral("FILE") };
    QCommandLineOption none { QStringLiteral("no-cookies") };

    void addTo(QCommandLineParser &parser) const;
    // Fills the jar as the options say. Answers a usage error, or empty. The
    // profile's database is only read; when it cannot be read (the desktop
    // program holds it), a warning goes to standard error and the command
    // goes on without cookies.
    QString load(const QCommandLineParser &parser, CookieJar &jar) const;
};
