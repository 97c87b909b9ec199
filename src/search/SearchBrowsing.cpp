#include "search/SearchBrowsing.h"

#include "common/TrimSpaces.h"

#include <QUrl>

namespace SearchBrowsing {

namespace {

bool isBlank(const QString &text)
{
    return text.toLower() == QStringLiteral("about:blank");
}

} // namespace

QString homePageAddress()
{
    const QString stored
        = TrimSpaces(ReadSetting(HomePage.section, HomePage.key, HomePage.defaultText));
    return stored.isEmpty() ? HomePage.defaultText : stored;
}

bool silentAfterTypedAddress(const QString &trimmedAnswer)
{
    return trimmedAnswer.left(8).toLower() != QStringLiteral("https://");
}

bool 查找Combo1(const QStringList &entries, const QString &address)
{
    const QString wanted = address.toLower();
    for (const QString &entry : entries) {
        if (entry.toLower() == wanted)
            return true;
    }
    return false;
}

QStringList makerDomains(const QString &siteAddress)
{
    const QString trimmed = TrimSpaces(siteAddress);
    if (trimmed.isEmpty())
        return {};
    const QString host = QUrl::fromUserInput(trimmed).host().toLower();
    if (host.isEmpty())
        return {};
    QStringList domains { host };
    if (host.startsWith(QStringLiteral("www.")) && host.size() > 4)
        domains << host.mid(4);
    return domains;
}

bool isMakerAddress(const QString &address, const QStringList &domains)
{
    for (const QString &domain : domains) {
        if (!domain.isEmpty() && address.contains(domain, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString newHistoryEntry(const QString &title, const QString &documentUrl,
    const QStringList &entries, const QStringList &domains)
{
    if (isBlank(title))
        return {};
    const QString url = TrimSpaces(documentUrl);
    if (url.isEmpty() || isBlank(url))
        return {};
    if (查找Combo1(entries, url) || isMakerAddress(url, domains))
        return {};
    return url;
}

} // namespace SearchBrowsing
