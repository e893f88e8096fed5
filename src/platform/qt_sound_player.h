#pragma once

#include "platform/sound.h"

#include <memory>

class QSoundEffect;

namespace kapitolo {

// Qt Multimedia's sound effect. Without a sound card it never reports the end, so the
// wait is the file's own length, read from its header, and never longer.
class QtSoundPlayer : public SoundPlayer
{
public:
    explicit QtSoundPlayer(Clock &clock);
    ~QtSoundPlayer() override;
    void playToEnd(const QString &path) override;
    void stop() override;

private:
    Clock &m_clock;
    std::unique_ptr<QSoundEffect> m_effect;
};

} // namespace kapitolo
