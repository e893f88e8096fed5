#include "platform/qt_sound_player.h"

#include "platform/clock.h"

#include <QCoreApplication>
#include <QSoundEffect>
#include <QUrl>

namespace kapitolo {

QtSoundPlayer::QtSoundPlayer(Clock &clock)
    : m_clock(clock)
{
}

QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::stop()
{
    if (m_effect)
        m_effect->stop();
}

void QtSoundPlayer::playToEnd(const QString &path)
{
    stop();
    const int duration = wavDurationMs(path);
    if (duration <= 0)
        return;
    if (!m_effect)
        m_effect = std::make_unique<QSoundEffect>();
    const QUrl url = QUrl::fromLocalFile(path);
    if (m_effect->source() != url)
        m_effect->setSource(url);
    m_effect->play();
    // Wait the sound's own length on the tick count; paint events go on, input waits.
    m_clock.busyWait(duration, true);
}

} // namespace kapitolo
