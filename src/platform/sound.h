#pragma once

#include <QString>

namespace kapitolo {

class Clock;

// The playing time of a PCM WAV file from its header, in milliseconds; -1 when the
// file is no WAV file that can be read.
int wavDurationMs(const QString &path);

// Plays .wav files to their end.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    // Stops any sound, plays the file and returns when it has finished.
    virtual void playToEnd(const QString &path) = 0;
    virtual void stop() = 0;
};

} // namespace kapitolo
