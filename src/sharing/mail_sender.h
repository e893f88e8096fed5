#pragma once

#include <QString>
#include <QStringList>

namespace kapitolo {

class FileDialogs;
class MailClient;
class Messages;

// The message handed to the mail program.
struct MailMessage {
    QString subject;
    QString body;
    QStringList attachments;

    // The attachments as the authoring family lists them: each path in double quotation
    // marks, separated by commas. (The client receives the paths themselves, so a path
    // with blanks or commas stays one attachment.)
    QString attachmentListText() const;
};

// Asks which items to send (the dialog TMailForm).
class MailDialog
{
public:
    virtual ~MailDialog() = default;
    // 0 the document alone, 1 the document with the installer; -1 cancelled.
    virtual int askSendOption() = 0;
};

// "Per E-Mail versenden...": composes the message for the open document, optionally
// with the installer of the free viewer, and hands it to the mail program. Where there is
// no mail program, it offers to save the files into a folder instead.
class MailSender
{
public:
    // The installer is looked for in setupFolder; the maker's web address ends the body.
    // The folder for the files comes from folders (without it nothing is offered).
    MailSender(Messages &messages, MailClient &client, MailDialog &dialog, const QString &setupFolder,
               const QString &makerAddress, FileDialogs *folders = nullptr);

    // True when the mail program took the message.
    bool SendDocument(const QString &documentPath);

    static QString subject();
    static QString installerName(); // "setup-tsr10basis.exe"
    QString informationText() const;

private:
    // The installer to attach, or empty (the dialog is then shown again).
    bool chooseInstaller(MailMessage &message);
    // No mail program: says so and saves the attachments into a folder the user chooses.
    void offerFolder(const QStringList &files);

    Messages &m_messages;
    MailClient &m_client;
    MailDialog &m_dialog;
    FileDialogs *m_folders;
    QString m_setupFolder;
    QString m_makerAddress;
};

} // namespace kapitolo
