#pragma once

#include <QString>

// The running program's version, from the build's project version.
struct AppVersion
{
    int major = 0;
    int minor = 0;
    int revision = 0;

    // "a.b.c" as plain decimal numbers.
    QString text() const;
};

AppVersion programVersion();
