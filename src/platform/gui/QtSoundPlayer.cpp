#include "platform/gui/QtSoundPlayer.h"

#include <QSoundEffect>
#include <QUrl>

QtSoundPlayer::QtSoundPlayer(QObject *parent) : QObject(parent) { }

void QtSoundPlayer::play(const QString &wavPath)
{
    QSoundEffect *&effect = m_effects[wavPath];
    if (!effect) {
        effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(wavPath));
    }
    // Plays in the background; the call returns at once.
    effect->play();
}
