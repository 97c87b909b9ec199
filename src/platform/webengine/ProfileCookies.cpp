#include "platform/webengine/ProfileCookies.h"

#include "platform/CookieJar.h"
#include "platform/ProfileFolder.h"
#include "platform/webengine/CookieStoreBridge.h"
#include "platform/webengine/ProgramProfile.h"

#include <QVariant>
#include <QWebEngineProfile>

CookieFileResult ShareProfileCookies(CookieJar &jar)
{
    static bool shared = false;
    if (shared)
        return {};
    shared = true;

    const CookieFileResult stored = ReadBrowserCookieDatabase(
        ProfileFolder::cookieDatabase(ProgramProfile::plannedDataPath()));
    // Before the bridge exists: the store has these already.
    jar.insertCookies(stored.cookies);

    QWebEngineProfile *profile = ProgramProfile::profile();
    new CookieStoreBridge(profile->cookieStore(), &jar, profile);
    jar.setProperty(kFollowsProfileProperty, QVariant(true));
    return stored;
}
