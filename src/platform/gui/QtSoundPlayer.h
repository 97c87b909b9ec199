#pragma once

#include "platform/SoundPlayer.h"

#include <QHash>
#include <QObject>

class QSoundEffect;

// Plays the notice sounds through Qt Multimedia. Without an audio device the
// effect simply stays silent.
class QtSoundPlayer final : public QObject, public SoundPlayer
{
    Q_OBJECT
public:
    explicit QtSoundPlayer(QObject *parent = nullptr);
    void play(const QString &wavPath) override;

private:
    QHash<QString, QSoundEffect *> m_effects;
};
