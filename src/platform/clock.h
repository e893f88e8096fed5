#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QtGlobal>

#include <functional>

class QObject;

namespace kapitolo {

// Date-times are day numbers counted from 30 December 1899, the time of day as fraction.
double toDayNumber(const QDateTime &dateTime);
// Not finite or beyond a million years: an invalid QDateTime.
QDateTime fromDayNumber(double dayNumber);

// Millisecond tick count, local time, timers and the busy wait. The quiz panel's pauses
// and flights run on its timers; network retries busy-wait on the tick count. Tests pass a
// clock that advances instantly.
class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, wrapping at 2^32 like the system's tick count.
    virtual quint32 tickCount() = 0;
    // Local date-time as a day number.
    virtual double now() = 0;
    // Waits the given milliseconds by polling the tick count. With repaint set, paint
    // and timer events are handled meanwhile, but never user input.
    virtual void busyWait(int milliseconds, bool repaint) = 0;
    // Calls `then` from the event loop once the milliseconds have passed; never when the
    // context object is gone by then.
    virtual void callAfter(int milliseconds, QObject *context, std::function<void()> then) = 0;
};

class SystemClock : public Clock
{
public:
    SystemClock();
    quint32 tickCount() override;
    double now() override;
    void busyWait(int milliseconds, bool repaint) override;
    void callAfter(int milliseconds, QObject *context, std::function<void()> then) override;

private:
    QElapsedTimer m_timer;
};

} // namespace kapitolo
