#pragma once

#include <QString>
#include <QStringList>

namespace kapitolo {

// The desktop's e-mail program: a new message with subject, body and attachments
// appears in its compose window, where the user adds the recipients and sends.
class MailClient
{
public:
    // sendMail's result when no mail program could be started at all.
    static constexpr int kNoMailProgram = -2;

    virtual ~MailClient() = default;
    // Whether there is a way to reach a mail program at all.
    virtual bool available() = 0;
    // Hands the message over; 0 is success, kNoMailProgram means there is none to take it,
    // anything else failure or cancellation.
    virtual int sendMail(const QString &subject, const QString &body, const QStringList &attachments) = 0;
};

// The mail client through xdg-email: available when the command is found on the PATH;
// its exit status is the result, where status 3 (a tool it needs is missing: no mail
// program is set up) and a command that does not start are kNoMailProgram.
class XdgEmailClient : public MailClient
{
public:
    // How long the program waits for xdg-email: a mail program started by it may keep
    // it running while its compose window is open. After the wait the message counts
    // as handed over and the mail program is left running.
    explicit XdgEmailClient(int waitMilliseconds = 15000) : m_wait(waitMilliseconds) {}

    bool available() override;
    int sendMail(const QString &subject, const QString &body, const QStringList &attachments) override;

    // The command line: --utf8, the subject, the body (lines ending in LF) and one --attach per file.
    static QStringList arguments(const QString &subject, const QString &body, const QStringList &attachments);

private:
    int m_wait;
};

} // namespace kapitolo
