#pragma once

#include <QString>

namespace kapitolo {

enum class MessageKind { Information, Warning, Error, Confirmation };
enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

// Modal message boxes, centred on the screen. A CR LF in a text is a line break.
// The window layer shows real boxes; tests pass a scripted responder.
class Messages
{
public:
    virtual ~Messages() = default;
    virtual MessageAnswer show(MessageKind kind, const QString &text, MessageButtons buttons) = 0;
    // A box with a caption of its own instead of the program's name.
    virtual MessageAnswer showTitled(MessageKind kind, const QString &title, const QString &text,
                                     MessageButtons buttons)
    {
        Q_UNUSED(title);
        return show(kind, text, buttons);
    }

    void information(const QString &text) { show(MessageKind::Information, text, MessageButtons::Ok); }
    void error(const QString &text) { show(MessageKind::Error, text, MessageButtons::Ok); }
    bool warningYesNo(const QString &text)
    {
        return show(MessageKind::Warning, text, MessageButtons::YesNo) == MessageAnswer::Yes;
    }
    bool confirm(const QString &text)
    {
        return show(MessageKind::Confirmation, text, MessageButtons::YesNo) == MessageAnswer::Yes;
    }
    MessageAnswer confirmWithCancel(const QString &text)
    {
        return show(MessageKind::Confirmation, text, MessageButtons::YesNoCancel);
    }
};

// Shows nothing and answers OK, or No to a question: for work off screen (a sheet's
// card, a document read only for its captions) whose failure has its own fallback.
class SilentMessages : public Messages
{
public:
    MessageAnswer show(MessageKind, const QString &, MessageButtons buttons) override
    {
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
    }
};

// The three file error boxes every file operation uses.
QString readErrorText(const QString &path);
QString writeErrorText(const QString &path);
QString missingFileErrorText(const QString &path);

void ShowReadError(Messages &messages, const QString &path);
void ShowWriteError(Messages &messages, const QString &path);
void ShowMissingFileError(Messages &messages, const QString &path);

} // namespace kapitolo
