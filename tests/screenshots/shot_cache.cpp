#include "FakeDialogs.h"
#include "FixtureServer.h"
#include "Shots.h"
#include "cachetools/WebEngineDiskCache.h"
#include "cachetools/ui/fIEcache.h"

#include <QPushButton>
#include <QWebEnginePage>
#include <QWebEngineProfile>

namespace {

// The cache window listing the cache the browser engine left after a visit
// to a page of the fixture site with its pictures, style, script and papers.
void shootCacheWindow(ShotContext &context)
{
    using Response = FixtureServer::Response;
    const QByteArray cacheable = "max-age=3600";
    const QList<QByteArray> papers { "/content/pdf/10.1007/978-3-030-58452-8.pdf",
        "/content/pdf/10.1007/s00134-021-06394-2.pdf",
        "/content/pdf/10.1007/978-981-15-4095-0_7.pdf" };
    QByteArray fetches;
    for (const QByteArray &paper : papers) {
        fetches += "fetch('" + paper + "');";
        context.site.route(paper,
            Response::pattern(40000 + paper.size() * 997, "application/pdf")
                .withHeader("Cache-Control", cacheable));
    }
    context.site.route("/search/page/1",
        Response::ok("<html><head><link rel=stylesheet href='/static/site.css'>"
                     "<script src='/static/app.js'></script></head><body>"
                     "<img src='/static/logo.png'><img src='/static/cover.jpg'><script>"
                + fetches + "</script></body></html>",
            "text/html; charset=utf-8")
            .withHeader("Cache-Control", cacheable));
    context.site.route("/static/site.css",
        Response::ok(QByteArray("body { margin: 0 }\n").repeated(60), "text/css")
            .withHeader("Cache-Control", cacheable));
    context.site.route("/static/app.js",
        Response::ok(QByteArray("var ready = true;\n").repeated(300), "application/javascript")
            .withHeader("Cache-Control", cacheable));
    context.site.route("/static/logo.png",
        Response::pattern(5210, "image/png").withHeader("Cache-Control", cacheable));
    context.site.route("/static/cover.jpg",
        Response::pattern(48213, "image/jpeg").withHeader("Cache-Control", cacheable));

    const QString cachePath = context.workFolder + QStringLiteral("cache-shot");
    QWebEngineProfile profile(QStringLiteral("CacheShot"));
    profile.setCachePath(cachePath);
    profile.setPersistentStoragePath(context.workFolder + QStringLiteral("cache-shot-data"));
    const BrowserCacheLocations locations { BrowserCacheLocations::diskCacheFolder(cachePath),
        context.workFolder };
    {
        QWebEnginePage page(&profile);
        page.load(context.site.url(QStringLiteral("/search/page/1")));
        const WebEngineDiskCache cache(locations.myCacheFolder);
        context.waitUntil([&cache] { return cache.entries().size() >= 9; }, 20000);
    }

    fIEcache window(locations, context.dialogs);
    window.resize(1100, 520);
    window.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    context.save(&window, QStringLiteral("cache-window"));
}

} // namespace

QUILLMOOR_SHOT(f_cache_window, shootCacheWindow);
