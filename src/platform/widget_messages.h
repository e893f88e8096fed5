#pragma once

#include "platform/messages.h"

namespace kapitolo {

// Real modal message boxes, centred on the screen.
class WidgetMessages : public Messages
{
public:
    MessageAnswer show(MessageKind kind, const QString &text, MessageButtons buttons) override;
    MessageAnswer showTitled(MessageKind kind, const QString &title, const QString &text,
                             MessageButtons buttons) override;
};

} // namespace kapitolo
