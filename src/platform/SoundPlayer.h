#pragma once

#include <QString>

// Plays a WAV file. A machine without audio simply stays silent.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString &wavPath) = 0;
};

// Used where no sound is wanted (the command-line front end).
class SilentSoundPlayer final : public SoundPlayer
{
public:
    void play(const QString &) override { }
};
