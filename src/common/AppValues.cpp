#include "common/AppValues.h"

#include "common/SettingsStore.h"
#include "common/TrimSpaces.h"

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
    return ok && value >= 0 ? value : 10.0;
}

QString readSiteAddress()
{
    QString site = TrimSpaces(ReadSetting(Settings::SiteAddress));
    if (!site.isEmpty() && !site.endsWith(QLatin1Char('/')))
        site += QLatin1Char('/');
    return site;
}
