#include "FixtureServer.h"
#include "Shots.h"
#include "app/ui/AppWindows.h"
#include "app/ui/fCover.h"
#include "common/AppValues.h"
#include "common/SettingsStore.h"

#include <QLabel>

namespace {

// The start-up window after the maker's site announced a newer version.
void shootCover(ShotContext &context)
{
    const AppVersion running = programVersion();
    const QByteArray newer = QString::number(running.major).toLatin1() + '.'
        + QByteArray::number(running.minor + 1) + ".0";
    context.site.route("/quillmoor/newver.txt", FixtureServer::Response::ok(newer, "text/plain"));
    WriteSetting(Settings::SiteAddress, context.site.urlText(QStringLiteral("/")));

    fCover *cover = context.windows.cover();
    cover->open();
    context.waitUntil(
        [cover] { return cover->findChild<QLabel *>(QStringLiteral("Label3"))->isVisible(); },
        10000);
    context.save(cover, QStringLiteral("start-up-window"));
    cover->hide();
    WriteSetting(Settings::SiteAddress, QString());
    context.windows.services().values.SiteAddress.clear();
}

} // namespace

QUILLMOOR_SHOT(a_cover, shootCover);
