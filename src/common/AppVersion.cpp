#include "common/AppVersion.h"

#ifndef QUILLMOOR_VERSION_MAJOR
#error "the build passes the project version"
#endif

QString AppVersion::text() const
{
    return QString::number(major) + QLatin1Char('.') + QString::number(minor) + QLatin1Char('.')
        + QString::number(revision);
}

AppVersion programVersion()
{
    return { QUILLMOOR_VERSION_MAJOR, QUILLMOOR_VERSION_MINOR, QUILLMOOR_VERSION_PATCH };
}
