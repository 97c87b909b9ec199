#pragma once

#include <QString>

class AppPaths;
class SoundPlayer;

// The three notice sounds: 101 a transfer produced a web page, 102 downloading
// stopped (list finished or too many failures), 103 a transfer failed.
class NoticeSounds
{
public:
    NoticeSounds(const AppPaths &paths, SoundPlayer &player);

    // Writes the program's own sound beside the program on first use, then
    // plays it in the background.
    void PlayNoticeSound(int number);
    // The sounds at the end of a transfer: 101 when a web page came back,
    // then 103 when the row failed (both can sound).
    void PlayTransferEndSounds(bool webPage, bool failed);

    QString pathOf(int number) const;

private:
    const AppPaths &m_paths;
    SoundPlayer &m_player;
};
