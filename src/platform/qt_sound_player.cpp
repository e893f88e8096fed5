#include "platform/qt_sound_player.h"

#include "platform/folders.h"

namespace kapitolo {

QtSoundPlayer::~QtSoundPlayer()
{
    if (m_effect)
        m_destroy(m_effect);
}

bool QtSoundPlayer::loadModule()
{
    if (m_tried)
        return m_effect != nullptr;
    m_tried = true;
    m_module.setFileName(programFolder() + QStringLiteral("libkapitolo-sound"));
    if (!m_module.load())
        return false;
    auto create = reinterpret_cast<void *(*)()>(m_module.resolve("kapitoloSoundCreate"));
    m_play = reinterpret_cast<void (*)(void *, const QString *)>(m_module.resolve("kapitoloSoundPlay"));
    m_stop = reinterpret_cast<void (*)(void *)>(m_module.resolve("kapitoloSoundStop"));
    m_destroy = reinterpret_cast<void (*)(void *)>(m_module.resolve("kapitoloSoundDestroy"));
    if (!create || !m_play || !m_stop || !m_destroy)
        return false;
    m_effect = create();
    return m_effect != nullptr;
}

void QtSoundPlayer::stop()
{
    if (m_effect)
        m_stop(m_effect);
}

int QtSoundPlayer::play(const QString &path)
{
    stop();
    const int duration = wavDurationMs(path);
    if (duration <= 0)
        return 0;
    if (loadModule())
        m_play(m_effect, &path);
    return duration;
}

} // namespace kapitolo
