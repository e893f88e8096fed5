#pragma once

#include "platform/sound.h"

#include <QLibrary>

namespace kapitolo {

// Qt Multimedia's sound effect, in the module kapitolo-sound beside the program, loaded at
// the first sound (the start does not wait for the sound system's libraries). Without the
// module, or without a sound card, nothing is heard; the length is the file's own, read
// from its header, either way.
class QtSoundPlayer : public SoundPlayer
{
public:
    QtSoundPlayer() = default;
    ~QtSoundPlayer() override;
    int play(const QString &path) override;
    void stop() override;

private:
    bool loadModule();

    QLibrary m_module;
    bool m_tried = false;
    void *m_effect = nullptr;
    void (*m_play)(void *, const QString *) = nullptr;
    void (*m_stop)(void *) = nullptr;
    void (*m_destroy)(void *) = nullptr;
};

} // namespace kapitolo
