#include "download/NoticeSounds.h"

#include "platform/AppPaths.h"
#include "platform/SoundPlayer.h"

#include <QFile>
#include <QSaveFile>

static void initCoreResources()
{
    // Resources of a static library must be registered by name once.
    static const bool done = [] {
        Q_INIT_RESOURCE(core);
        return true;
    }();
    Q_UNUSED(done);
}

NoticeSounds::NoticeSounds(const AppPaths &paths, SoundPlayer &player)
    : m_paths(paths), m_player(player)
{
    initCoreResources();
}

void NoticeSounds::PlayTransferEndSounds(bool webPage, bool failed)
{
    if (webPage)
        PlayNoticeSound(101);
    if (failed)
        PlayNoticeSound(103);
}

QString NoticeSounds::pathOf(int number) const
{
    return m_paths.programFolder() + QLatin1Char('/') + QString::number(number)
        + QStringLiteral(".wav");
}

void NoticeSounds::PlayNoticeSound(int number)
{
    const QString path = pathOf(number);
    if (!QFile::exists(path)) {
        QFile resource(QStringLiteral(":/quillmoor/sounds/%1.wav").arg(number));
        if (!resource.open(QIODevice::ReadOnly))
            return;
        // Written whole or not at all, so a half-written sound never stays.
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            return;
        out.write(resource.readAll());
        if (!out.commit())
            return;
    }
    m_player.play(path);
}
