#pragma once

#include "platform/clock.h"
#include "platform/messages.h"

#include <QList>
#include <QPointer>
#include <QStringList>

#include <functional>

namespace kapitolo::test {

// Records every message box and answers from a script; without a scripted answer
// it gives OK or Yes.
class ScriptedMessages : public Messages
{
public:
    struct Shown {
        MessageKind kind;
        QString text;
        MessageButtons buttons;
        QString title; // empty: the program's name
    };

    MessageAnswer show(MessageKind kind, const QString &text, MessageButtons buttons) override;
    MessageAnswer showTitled(MessageKind kind, const QString &title, const QString &text,
                             MessageButtons buttons) override
    {
        const MessageAnswer answer = show(kind, text, buttons);
        m_shown.last().title = title;
        return answer;
    }

    void setNextAnswer(MessageAnswer answer) { m_answers.append(answer); }
    QStringList texts() const;
    const QList<Shown> &shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    QList<Shown> m_shown;
    QList<MessageAnswer> m_answers;
};

// A clock that never sleeps: busy waits advance it at once, and so do its timers, which
// fire one after the other, each when the clock has reached its time. Held, the timers
// wait instead until advance() takes the clock past them.
class FakeClock : public Clock
{
public:
    quint32 tickCount() override { return m_ticks; }
    double now() override { return m_now + m_ticks / 86400000.0; }
    void busyWait(int milliseconds, bool) override
    {
        m_waits.append(milliseconds);
        pass(quint32(qMax(0, milliseconds)));
    }
    void callAfter(int milliseconds, QObject *context, std::function<void()> then) override
    {
        m_timers.append({m_ticks + quint32(qMax(0, milliseconds)), context, context != nullptr, std::move(then)});
        if (!m_held)
            fire(false);
    }

    void advance(quint32 milliseconds) { pass(milliseconds); }
    void setNow(double dayNumber) { m_now = dayNumber; }
    const QList<int> &waits() const { return m_waits; }
    // Timers wait for the clock to pass their time (held) or fire at once (the default).
    void holdTimers(bool held)
    {
        m_held = held;
        if (!held)
            fire(false);
    }
    int pendingTimers() const { return int(m_timers.size()); }

private:
    struct Timer {
        quint32 due;
        QPointer<QObject> context;
        bool hasContext;
        std::function<void()> then;
    };
    // Time goes on by that much: held timers fire as the clock reaches them.
    void pass(quint32 milliseconds)
    {
        const quint32 until = m_ticks + milliseconds;
        if (m_held)
            fire(true, until);
        m_ticks = until;
    }
    // Fires the timers in the order they fall due, the clock moving on to each; with
    // `bounded` only those due by `until`. A timer started by another waits its turn.
    void fire(bool bounded, quint32 until = 0)
    {
        if (m_firing)
            return;
        m_firing = true;
        while (!m_timers.isEmpty()) {
            qsizetype next = 0;
            for (qsizetype i = 1; i < m_timers.size(); ++i)
                if (qint32(m_timers.at(i).due - m_timers.at(next).due) < 0)
                    next = i;
            const quint32 due = m_timers.at(next).due;
            if (bounded && qint32(due - until) > 0)
                break;
            if (qint32(due - m_ticks) > 0) {
                if (!bounded)
                    m_waits.append(int(due - m_ticks));
                m_ticks = due;
            }
            Timer timer = m_timers.takeAt(next);
            if (!timer.hasContext || timer.context)
                timer.then();
        }
        m_firing = false;
    }

    quint32 m_ticks = 1000;
    double m_now = 46000.5;
    QList<int> m_waits;
    QList<Timer> m_timers;
    bool m_held = false;
    bool m_firing = false;
};

} // namespace kapitolo::test
