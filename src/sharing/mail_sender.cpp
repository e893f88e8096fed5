#include "sharing/mail_sender.h"

#include "platform/mail_client.h"
#include "platform/messages.h"
#include "platform/services.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kapitolo {

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

QString MailMessage::attachmentListText() const
{
    QStringList list;
    for (const QString &path : attachments)
        list << quoted(path);
    return list.join(QLatin1Char(','));
}

MailSender::MailSender(Messages &messages, MailClient &client, MailDialog &dialog, const QString &setupFolder,
                       const QString &makerAddress, FileDialogs *folders)
    : m_messages(messages)
    , m_client(client)
    , m_dialog(dialog)
    , m_folders(folders)
    , m_setupFolder(setupFolder)
    , m_makerAddress(makerAddress)
{
    if (!m_setupFolder.isEmpty() && !m_setupFolder.endsWith(QLatin1Char('/')))
        m_setupFolder += QLatin1Char('/');
}

QString MailSender::subject()
{
    return QStringLiteral("TSR-Dokument");
}

QString MailSender::installerName()
{
    return QStringLiteral("setup-tsr10basis.exe");
}

QString MailSender::informationText() const
{
    return kLineBreak + QStringLiteral("- Information -") + kLineBreak + quoted(QStringLiteral("TSR - Tessaro"))
        + QStringLiteral(" ist ein Autorensystem für digitale Lern- und Übungseinheiten. ") + kLineBreak
        + QStringLiteral("Zum Öffnen von TSR-Themendokumenten wird das TSR-Basissystem (liegt allen Themenpaketen "
                         "kostenlos bei) ")
        + QStringLiteral("oder das TSR-Autorensystem (kostet z.Zt. ab 49,90 Euro) benötigt. ") + kLineBreak
        + QStringLiteral("Weitere Informationen im Internet unter: ") + kLineBreak + m_makerAddress
        + QLatin1Char(' ') + kLineBreak;
}

bool MailSender::chooseInstaller(MailMessage &message)
{
    const QString exact = m_setupFolder + installerName();
    if (QFileInfo(exact).isFile()) {
        message.attachments << QDir::toNativeSeparators(exact);
        message.body += QStringLiteral("TSR-Basissystem: ") + installerName() + kLineBreak;
        return true;
    }
    const QStringList found =
        QDir(m_setupFolder)
            .entryList({QStringLiteral("setup-tsr*.exe")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    if (found.isEmpty()) {
        m_messages.error(QStringLiteral("Datei ") + quoted(QDir::toNativeSeparators(exact))
                         + QStringLiteral(" (Setup für das TSR-Basissystem) nicht gefunden."));
        return false;
    }
    const QString name = found.first();
    if (!m_messages.confirm(QStringLiteral("Soll die Setup-Programmdatei ") + quoted(name)
                            + QStringLiteral(" mitverschickt werden?") + kLineBreak
                            + QStringLiteral("(Das einzelne Setup für das TSR-Basissystem ist nicht verfügbar.)")))
        return false;
    message.attachments << QDir::toNativeSeparators(m_setupFolder + name);
    message.body += QStringLiteral("Setup-Programmdatei: ") + name + kLineBreak;
    return true;
}

bool MailSender::SendDocument(const QString &documentPath)
{
    if (documentPath.isEmpty()) {
        m_messages.information(
            QStringLiteral("Es ist kein Dokument geöffnet bzw. das aktuelle Dokument muss zunächst gespeichert werden."));
        return false;
    }
    MailMessage first;
    first.subject = subject();
    first.attachments << QDir::toNativeSeparators(documentPath);
    first.body = QStringLiteral("TSR-Themendokument: ") + QFileInfo(documentPath).fileName() + kLineBreak;

    MailMessage message;
    while (true) {
        const int option = m_dialog.askSendOption();
        if (option < 0)
            return false;
        message = first;
        // Without the installer the user is asked again, to send the document alone.
        if (option == 0 || chooseInstaller(message))
            break;
    }
    message.body += informationText();

    const int result = m_client.available() ? m_client.sendMail(message.subject, message.body, message.attachments)
                                             : MailClient::kNoMailProgram;
    if (result == MailClient::kNoMailProgram) {
        offerFolder(message.attachments);
        return false;
    }
    if (result == 0) {
        m_messages.information(QStringLiteral(
            "Die Nachricht wurde dem E-Mail-Programm erfolgreich übermittelt. Falls Ihr E-Mail-Programm Nachrichten "
            "nicht sofort versendet, sondern erst im Postausgang zwischenspeichert, müssen Sie den Versand in Ihrem "
            "E-Mail-Programm noch selbst auslösen."));
        return true;
    }
    m_messages.show(MessageKind::Warning,
                    QStringLiteral("Der E-Mail-Versand wurde abgebrochen oder es ist ein Fehler aufgetreten."),
                    MessageButtons::Ok);
    return false;
}

void MailSender::offerFolder(const QStringList &files)
{
    const bool installer = files.size() > 1;
    const QString noProgram = QStringLiteral("Auf diesem Rechner ist kein E-Mail-Programm eingerichtet, dem Kapitolo "
                                             "die Nachricht übergeben könnte.");
    if (!m_folders) {
        m_messages.information(noProgram);
        return;
    }
    const QString question = installer
        ? QStringLiteral("Sollen das Dokument und das Setup stattdessen in einem Ordner gespeichert werden? Von dort "
                         "können Sie beides selbst versenden, etwa über die Internetseite Ihres E-Mail-Anbieters.")
        : QStringLiteral("Soll das Dokument stattdessen in einem Ordner gespeichert werden? Von dort können Sie es "
                         "selbst versenden, etwa über die Internetseite Ihres E-Mail-Anbieters.");
    if (!m_messages.confirm(noProgram + kLineBreak + question))
        return;
    const QString folder = m_folders->folderName(
        installer ? QStringLiteral("Ordner für Dokument und Setup wählen") : QStringLiteral("Ordner für das Dokument wählen"),
        QDir::homePath());
    if (folder.isEmpty())
        return;
    for (const QString &file : files) {
        const QFileInfo source(file);
        const QString target = QDir(folder).filePath(source.fileName());
        if (QFileInfo(target).canonicalFilePath() == source.canonicalFilePath())
            continue; // already there
        if (QFileInfo::exists(target)
            && !m_messages.confirm(QStringLiteral("Im Ordner ") + quoted(QDir::toNativeSeparators(folder))
                                   + QStringLiteral(" gibt es schon eine Datei ") + quoted(source.fileName())
                                   + QStringLiteral(". Ersetzen?")))
            return;
        QFile::remove(target);
        if (!QFile::copy(file, target)) {
            ShowWriteError(m_messages, target);
            return;
        }
    }
    m_messages.information((installer ? QStringLiteral("Das Dokument und das Setup wurden im Ordner ")
                                      : QStringLiteral("Das Dokument wurde im Ordner "))
                           + quoted(QDir::toNativeSeparators(folder)) + QStringLiteral(" gespeichert."));
}

} // namespace kapitolo
