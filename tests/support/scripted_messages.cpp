#include "support/scripted_messages.h"

namespace kapitolo::test {

MessageAnswer ScriptedMessages::show(MessageKind kind, const QString &text, MessageButtons buttons)
{
    m_shown.append({kind, text, buttons, QString()});
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
}

QStringList ScriptedMessages::texts() const
{
    QStringList result;
    for (const Shown &s : m_shown)
        result << s.text;
    return result;
}

} // namespace kapitolo::test
