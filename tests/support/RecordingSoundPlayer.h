#pragma once

#include "platform/SoundPlayer.h"

#include <QFileInfo>
#include <QList>

// Remembers which notice sounds were played, by number (101.wav → 101).
class RecordingSoundPlayer final : public SoundPlayer
{
public:
    void play(const QString &wavPath) override
    {
        played.append(QFileInfo(wavPath).completeBaseName().toInt());
    }
    QList<int> played;
};
