#include "platform/clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <cmath>

namespace kapitolo {

namespace {
const QDate kEpoch(1899, 12, 30);
}

double toDayNumber(const QDateTime &dateTime)
{
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    return double(kEpoch.daysTo(date)) + time.msecsSinceStartOfDay() / 86400000.0;
}

QDateTime fromDayNumber(double dayNumber)
{
    // A day number from a damaged file (NaN, 1e284) is no date; a million years either
    // side of 1899 is far beyond any quiz, and far within what a day count can hold.
    constexpr double kLimit = 365.25 * 1e6;
    if (!std::isfinite(dayNumber) || std::fabs(dayNumber) > kLimit)
        return QDateTime();
    double whole = std::floor(dayNumber);
    qint64 msecs = qint64(std::llround((dayNumber - whole) * 86400000.0));
    if (msecs >= 86400000) {
        msecs -= 86400000;
        whole += 1;
    }
    return QDateTime(kEpoch.addDays(qint64(whole)), QTime::fromMSecsSinceStartOfDay(int(msecs)));
}

SystemClock::SystemClock()
{
    m_timer.start();
}

quint32 SystemClock::tickCount()
{
    return quint32(m_timer.elapsed());
}

double SystemClock::now()
{
    return toDayNumber(QDateTime::currentDateTime());
}

void SystemClock::busyWait(int milliseconds, bool repaint)
{
    const quint32 start = tickCount();
    while (quint32(tickCount() - start) < quint32(qMax(0, milliseconds))) {
        if (repaint && QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        QThread::msleep(1);
    }
}

void SystemClock::callAfter(int milliseconds, QObject *context, std::function<void()> then)
{
    // Precise: a flight steps a millisecond at a time.
    QTimer::singleShot(qMax(0, milliseconds), Qt::PreciseTimer, context, std::move(then));
}

} // namespace kapitolo
