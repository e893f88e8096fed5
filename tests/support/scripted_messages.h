#pragma once

#include "platform/clock.h"
#include "platform/messages.h"

#include <QList>
#include <QStringList>

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

// A clock that never sleeps: busy waits advance it at once.
class FakeClock : public Clock
{
public:
    quint32 tickCount() override { return m_ticks; }
    double now() override { return m_now + m_ticks / 86400000.0; }
    void busyWait(int milliseconds, bool) override
    {
        m_waits.append(milliseconds);
        m_ticks += quint32(qMax(0, milliseconds));
    }

    void advance(quint32 milliseconds) { m_ticks += milliseconds; }
    void setNow(double dayNumber) { m_now = dayNumber; }
    const QList<int> &waits() const { return m_waits; }

private:
    quint32 m_ticks = 1000;
    double m_now = 46000.5;
    QList<int> m_waits;
};

} // namespace kapitolo::test
