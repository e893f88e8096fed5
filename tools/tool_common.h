#pragma once

// What every kapitolo-tool command shares: messages on stderr instead of boxes.

#include "platform/messages.h"

#include <QString>

#include <cstdio>

namespace kapitolo {

inline void printErr(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

// Message boxes of the libraries end up on stderr, one paragraph each; a question is
// answered with No, so that nothing is replaced without being asked on a screen.
class StderrMessages : public Messages
{
public:
    MessageAnswer show(MessageKind, const QString &text, MessageButtons buttons) override
    {
        QString shown = text;
        shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        printErr(shown);
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
    }
};

} // namespace kapitolo
