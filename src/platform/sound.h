#pragma once

#include <QString>

namespace kapitolo {

// The playing time of a PCM WAV file from its header, in milliseconds; -1 when the
// file is no WAV file that can be read.
int wavDurationMs(const QString &path);

// Plays .wav files.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    // Stops any sound and starts the file; returns how long it plays, in milliseconds
    // (0 when there is nothing to hear). The caller waits that long for its end.
    virtual int play(const QString &path) = 0;
    virtual void stop() = 0;
};

} // namespace kapitolo
