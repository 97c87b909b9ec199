#pragma once

#include "common/SettingsStore.h"

#include <QString>
#include <QStringList>

// The search window's rules as a browser: the typed address and the silent
// mode, the history of addresses, the maker's own pages.
namespace SearchBrowsing {

// The literature site's home page.
inline const Settings::Key HomePage { QStringLiteral("设置"), QStringLiteral("首页网址"),
    QStringLiteral("https://link.springer.com/") };
// The stored home page, trimmed; the default when nothing usable is stored.
QString homePageAddress();

// Check2 after "打开指定网址...": an address beginning with "https://" (any
// case) lets the browser show its prompts (about certificates), any other
// answer, the empty one included, keeps it silent.
bool silentAfterTypedAddress(const QString &trimmedAnswer);

// 查找Combo1: an entry equals the address after lower-casing both.
bool 查找Combo1(const QStringList &entries, const QString &address);

// The maker's web domains, from the maker's site address: its host, and the
// host without "www."; none when the address is empty or has no host.
QStringList makerDomains(const QString &siteAddress);
// The address contains one of the domains, in any letter case.
bool isMakerAddress(const QString &address, const QStringList &domains);

// After a title change: the address the history gains, or empty when it gains
// none (a blank page, an address it has, a page of the maker).
QString newHistoryEntry(const QString &title, const QString &documentUrl,
    const QStringList &entries, const QStringList &domains);

} // namespace SearchBrowsing
