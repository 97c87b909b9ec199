#include "platform/webengine/ProgramProfile.h"

#include "platform/ProfileFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <memory>

namespace {

QString g_dataPath;
QString g_cachePath;
QWebEngineProfile *g_profile = nullptr;
QLockFile *g_claim = nullptr;

// Links and forms aimed at another window open in this browser instead: the
// target is rewritten before the engine acts on the click or the submit.
// Named frames of the page keep their targets.
const char kSameWindowScript[] = R"JS(
(function () {
    function retarget(el) {
        if (!el) return;
        var t = (el.getAttribute('target') || '').toLowerCase();
        if (t === '' || t === '_self' || t === '_parent' || t === '_top') return;
        if (t !== '_blank') {
            try {
                if (window.top.frames[el.getAttribute('target')]) return;
            } catch (e) { }
        }
        el.setAttribute('target', '_top');
    }
    document.addEventListener('click', function (e) {
        var n = e.target;
        while (n && n.nodeType === 1 && n.tagName !== 'A' && n.tagName !== 'AREA') n = n.parentNode;
        if (n && n.nodeType === 1) retarget(n);
    }, true);
    document.addEventListener('submit', function (e) { retarget(e.target); }, true);
})();
)JS";

// Inner frames say when their document is complete; the top level has the
// page's own load signal.
const char kFrameCompleteScript[] = R"JS(
(function () {
    if (window.top === window) return;
    console.log('%1 ' + location.href);
})();
)JS";

QWebEngineScript makeScript(
    const QString &name, const QString &source, QWebEngineScript::InjectionPoint point)
{
    QWebEngineScript script;
    script.setName(name);
    script.setSourceCode(source);
    script.setInjectionPoint(point);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(true);
    return script;
}

} // namespace

void ProgramProfile::setStorage(const QString &dataPath, const QString &cachePath)
{
    g_dataPath = dataPath;
    g_cachePath = cachePath;
    if (g_profile) {
        g_profile->setPersistentStoragePath(dataPath);
        g_profile->setCachePath(cachePath);
    }
}

QString ProgramProfile::frameCompleteMarker()
{
    return QStringLiteral("quillmoor:frame-complete");
}

bool ProgramProfile::claimStorage(int waitMs)
{
    if (g_claim)
        return true;
    const QString dataPath = plannedDataPath();
    QDir().mkpath(QFileInfo(dataPath).absolutePath());
    auto claim = std::make_unique<QLockFile>(dataPath + QStringLiteral(".lock"));
    // A lock left by a process that died is taken over.
    claim->setStaleLockTime(0);
    if (!claim->tryLock(waitMs))
        return false;
    g_claim = claim.release();
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] {
        delete g_claim;
        g_claim = nullptr;
    });
    return true;
}

QWebEngineProfile *ProgramProfile::profile()
{
    if (g_profile)
        return g_profile;
    if (!claimStorage(0))
        qWarning(
            "the browser profile %s is in use by another process", qPrintable(plannedDataPath()));
    g_profile = new QWebEngineProfile(QString::fromLatin1(Name), QCoreApplication::instance());
    if (!g_dataPath.isEmpty())
        g_profile->setPersistentStoragePath(g_dataPath);
    if (!g_cachePath.isEmpty())
        g_profile->setCachePath(g_cachePath);
    g_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    // A login made in one run holds for the next, also with session cookies.
    g_profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    QObject::connect(g_profile, &QObject::destroyed, g_profile, [] { g_profile = nullptr; });

    QWebEngineScriptCollection *scripts = g_profile->scripts();
    scripts->insert(makeScript(QStringLiteral("quillmoor-same-window"),
        QString::fromUtf8(kSameWindowScript), QWebEngineScript::DocumentCreation));
    scripts->insert(makeScript(QStringLiteral("quillmoor-frame-complete"),
        QString::fromUtf8(kFrameCompleteScript).arg(frameCompleteMarker()),
        QWebEngineScript::DocumentReady));
    return g_profile;
}

QString ProgramProfile::dataPath()
{
    return profile()->persistentStoragePath();
}

QString ProgramProfile::plannedDataPath()
{
    if (g_profile)
        return g_profile->persistentStoragePath();
    if (!g_dataPath.isEmpty())
        return g_dataPath;
    return ProfileFolder::defaultDataPath();
}

QString ProgramProfile::cachePath()
{
    return profile()->cachePath();
}
