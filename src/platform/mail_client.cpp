#include "platform/mail_client.h"

#include "platform/wait_cursor.h"

#include <QProcess>
#include <QStandardPaths>

namespace kapitolo {

namespace {

QString xdgEmail()
{
    return QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
}

} // namespace

bool XdgEmailClient::available()
{
    return !xdgEmail().isEmpty();
}

QStringList XdgEmailClient::arguments(const QString &subject, const QString &body, const QStringList &attachments)
{
    // xdg-email turns every line feed into CR LF itself; a CR of ours would be doubled.
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList args{QStringLiteral("--utf8"), QStringLiteral("--subject"), subject, QStringLiteral("--body"), text};
    for (const QString &path : attachments)
        args << QStringLiteral("--attach") << path;
    return args;
}

int XdgEmailClient::sendMail(const QString &subject, const QString &body, const QStringList &attachments)
{
    const QString program = xdgEmail();
    if (program.isEmpty())
        return kNoMailProgram;
    WaitCursorScope wait;
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(program, arguments(subject, body, attachments));
    if (!process->waitForStarted()) {
        delete process;
        return kNoMailProgram;
    }
    if (!process->waitForFinished(m_wait)) {
        // Still running: the mail program shows the message. It must outlive this
        // program, so the process object is kept, never destroyed (which would kill it).
        static auto *handedOver = new QList<QProcess *>;
        handedOver->append(process);
        return 0;
    }
    const int result = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    delete process;
    // xdg-email's "a required tool could not be found": no mail program is set up.
    constexpr int kToolMissing = 3;
    return result == kToolMissing ? kNoMailProgram : result;
}

} // namespace kapitolo
