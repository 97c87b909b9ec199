#include "common/AppValues.h"

#include "common/SettingsStore.h"
#include "common/TrimSpaces.h"

#include <cmath>
#include <limits>

QString AppValues::versionFileUrl() const
{
    return SiteAddress.isEmpty() ? QString() : SiteAddress + QStringLiteral("quillmoor/newver.txt");
}

QString AppValues::programPageUrl() const
{
    return SiteAddress.isEmpty() ? QString() : SiteAddress + QStringLiteral("quillmoor/");
}

double readMaxFileSizeMB()
{
    bool ok = false;
    const double value = TrimSpaces(ReadSetting(Settings::MaxFileSizeMB)).toDouble(&ok);
    return ok && value >= 0 ? value : kDefaultMaxFileSizeMB;
}

qint64 maxFileSizeBytes(double megabytes)
{
    if (!(megabytes >= 0))
        megabytes = kDefaultMaxFileSizeMB;
    const double bytes = std::floor(megabytes * 1048576.0);
    // 2^63, the first double above every qint64: converting it or anything
    // larger would be undefined.
    constexpr double kBeyondQint64 = 9223372036854775808.0;
    return bytes < kBeyondQint64 ? qint64(bytes) : std::numeric_limits<qint64>::max();
}

bool readAskSaveFolderOnExtract()
{
    return ReadSetting(Settings::AskSaveFolderOnExtract).toInt() == 1;
}

QString readSiteAddress()
{
    QString site = TrimSpaces(ReadSetting(Settings::SiteAddress));
    if (!site.isEmpty() && !site.endsWith(QLatin1Char('/')))
        site += QLatin1Char('/');
    return site;
}
