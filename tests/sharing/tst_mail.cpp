#include "platform/mail_client.h"
#include "sharing/mail_sender.h"
#include "support/fake_services.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

// The dialog's scripted answers: the item chosen, or -1 for "Abbrechen".
class ScriptedMailDialog : public MailDialog
{
public:
    int askSendOption() override
    {
        ++shown;
        return answers.isEmpty() ? -1 : answers.takeFirst();
    }
    QList<int> answers;
    int shown = 0;
};

const QString kSuccess = QStringLiteral(
    "Die Nachricht wurde dem E-Mail-Programm erfolgreich übermittelt. Falls Ihr E-Mail-Programm Nachrichten nicht "
    "sofort versendet, sondern erst im Postausgang zwischenspeichert, müssen Sie den Versand in Ihrem "
    "E-Mail-Programm noch selbst auslösen.");
const QString kFailure = QStringLiteral("Der E-Mail-Versand wurde abgebrochen oder es ist ein Fehler aufgetreten.");
const QString kNoMailProgram = QStringLiteral("Auf diesem Rechner ist kein E-Mail-Programm eingerichtet, dem Kapitolo "
                                              "die Nachricht übergeben könnte.");

} // namespace

class TestMail : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void documentAlone_data();
    void documentAlone();
    void installer_data();
    void installer();
    void nothingToSend();
    void noMailProgram_data();
    void noMailProgram();

private:
    // The stand-in for xdg-email records its arguments and exits with the code in "exitcode".
    QStringList recordedCall() const;
    void setExitCode(int code) { writeFile(m_bin.filePath(QStringLiteral("exitcode")), QByteArray::number(code)); }
    QString setupFolder() const { return m_root.filePath(QStringLiteral("setupbasissystem")) + QLatin1Char('/'); }

    QTemporaryDir m_bin;
    QTemporaryDir m_root;
    QByteArray m_path;
};

void TestMail::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    const QString script = m_bin.filePath(QStringLiteral("xdg-email"));
    QVERIFY(writeFile(script, "#!/bin/sh\n"
                              "dir=$(dirname \"$0\")\n"
                              ": > \"$dir/aufruf\"\n"
                              "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$dir/aufruf\"; done\n"
                              "exit $(cat \"$dir/exitcode\")\n"));
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_bin.path()) + ':' + m_path);
}

void TestMail::cleanupTestCase()
{
    qputenv("PATH", m_path);
}

void TestMail::init()
{
    QFile::remove(m_bin.filePath(QStringLiteral("aufruf")));
    setExitCode(0);
    QDir(setupFolder()).removeRecursively();
    QDir().mkpath(setupFolder());
}

QStringList TestMail::recordedCall() const
{
    QByteArray bytes = readFile(m_bin.filePath(QStringLiteral("aufruf")));
    if (bytes.isEmpty())
        return {};
    bytes.chop(1);
    QStringList args;
    for (const QByteArray &a : bytes.split('\0'))
        args << QString::fromUtf8(a);
    return args;
}

void TestMail::documentAlone_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("einfach") << QStringLiteral("europa.tsr") << 0;
    QTest::newRow("Leerzeichen und Kommas") << QStringLiteral("Meine Themen, Teil 2/Europa, neu.tsr") << 0;
    QTest::newRow("Fehler im Mailprogramm") << QStringLiteral("europa.tsr") << 4;
}

// Subject, body and the one attachment reach xdg-email; its exit status decides
// between the information and the warning.
void TestMail::documentAlone()
{
    QFETCH(QString, document);
    QFETCH(int, exitCode);
    setExitCode(exitCode);
    const QString path = m_root.filePath(document);
    ScriptedMessages messages;
    XdgEmailClient client;
    ScriptedMailDialog dialog;
    dialog.answers << 0;
    MailSender sender(messages, client, dialog, setupFolder(), QStringLiteral("https://www.ostrabel.de/"));
    QCOMPARE(sender.SendDocument(path), exitCode == 0);

    const QString body = QStringLiteral("TSR-Themendokument: ") + QFileInfo(path).fileName()
        + QStringLiteral("\r\n\r\n- Information -\r\n\"TSR - Tessaro\" ist ein Autorensystem für digitale Lern- und "
                         "Übungseinheiten. \r\nZum Öffnen von TSR-Themendokumenten wird das TSR-Basissystem (liegt "
                         "allen Themenpaketen kostenlos bei) oder das TSR-Autorensystem (kostet z.Zt. ab 49,90 Euro) "
                         "benötigt. \r\nWeitere Informationen im Internet unter: \r\nhttps://www.ostrabel.de/ \r\n");
    // xdg-email gets the lines with LF alone: it makes CR LF of them itself.
    QCOMPARE(recordedCall(), QStringList({"--utf8", "--subject", "TSR-Dokument", "--body",
                                          QString(body).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                                          "--attach", path}));
    QVERIFY(!recordedCall().join(QString()).contains(QLatin1Char('\r')));
    QCOMPARE(dialog.shown, 1);
    QCOMPARE(messages.shown().size(), 1);
    QCOMPARE(messages.shown()[0].text, exitCode == 0 ? kSuccess : kFailure);
    QCOMPARE(messages.shown()[0].kind, exitCode == 0 ? MessageKind::Information : MessageKind::Warning);
}

void TestMail::installer_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<int>>("choices");
    QTest::addColumn<QList<MessageAnswer>>("answers");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("attached");
    QTest::addColumn<QString>("bodyLine");
    const QString missing = QStringLiteral("Datei \"%1setup-tsr10basis.exe\" (Setup für das TSR-Basissystem) nicht "
                                           "gefunden.");
    const QString question = QStringLiteral("Soll die Setup-Programmdatei \"setup-tsr11basis.exe\" mitverschickt "
                                            "werden?\r\n(Das einzelne Setup für das TSR-Basissystem ist nicht "
                                            "verfügbar.)");
    QTest::newRow("das Setup")
        << QStringList({"setup-tsr10basis.exe", "setup-tsr11basis.exe"}) << QList<int>{1} << QList<MessageAnswer>{}
        << QStringList{kSuccess} << QStringLiteral("setup-tsr10basis.exe")
        << QStringLiteral("TSR-Basissystem: setup-tsr10basis.exe\r\n");
    QTest::newRow("ein anderes, ja")
        << QStringList({"setup-tsr11basis.exe", "liesmich.txt"}) << QList<int>{1}
        << QList<MessageAnswer>{MessageAnswer::Yes} << QStringList({question, kSuccess})
        << QStringLiteral("setup-tsr11basis.exe") << QStringLiteral("Setup-Programmdatei: setup-tsr11basis.exe\r\n");
    QTest::newRow("ein anderes, nein, dann nur das Dokument")
        << QStringList({"setup-tsr11basis.exe"}) << QList<int>{1, 0} << QList<MessageAnswer>{MessageAnswer::No}
        << QStringList({question, kSuccess}) << QString() << QString();
    QTest::newRow("keins, dann abgebrochen")
        << QStringList({"setup.exe", "tsr10basis.exe"}) << QList<int>{1} << QList<MessageAnswer>{}
        << QStringList{missing} << QStringLiteral("-") << QString();
}

// The installer: the exact one is attached at once, another one after asking; none
// found is an error and the dialog comes again.
void TestMail::installer()
{
    QFETCH(QStringList, files);
    QFETCH(QList<int>, choices);
    QFETCH(QList<MessageAnswer>, answers);
    QFETCH(QStringList, texts);
    QFETCH(QString, attached);
    QFETCH(QString, bodyLine);
    for (const QString &f : files)
        QVERIFY(writeFile(setupFolder() + f, "MZ"));
    ScriptedMessages messages;
    for (MessageAnswer a : answers)
        messages.setNextAnswer(a);
    XdgEmailClient client;
    ScriptedMailDialog dialog;
    dialog.answers = choices;
    MailSender sender(messages, client, dialog, setupFolder(), QStringLiteral("https://www.ostrabel.de/"));
    const QString document = m_root.filePath(QStringLiteral("europa.tsr"));
    QCOMPARE(sender.SendDocument(document), attached != QLatin1String("-"));

    QStringList expectedTexts;
    for (const QString &t : texts)
        expectedTexts << t.arg(setupFolder());
    QCOMPARE(messages.texts(), expectedTexts);
    const QStringList call = recordedCall();
    if (attached == QLatin1String("-")) {
        QVERIFY(call.isEmpty());
        QCOMPARE(dialog.shown, 2); // the dialog again after the error, then cancelled
        return;
    }
    QCOMPARE(dialog.shown, choices.size());
    QStringList attachments;
    for (qsizetype i = 0; i + 1 < call.size(); ++i)
        if (call[i] == QLatin1String("--attach"))
            attachments << call[i + 1];
    QStringList expected{document};
    if (!attached.isEmpty())
        expected << setupFolder() + attached;
    QCOMPARE(attachments, expected);
    const QString body = call.value(call.indexOf(QStringLiteral("--body")) + 1);
    const QString lines = QStringLiteral("TSR-Themendokument: europa.tsr\r\n") + bodyLine + QStringLiteral("\r\n- Information -");
    QVERIFY(body.startsWith(QString(lines).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))));

    MailMessage message;
    message.attachments = expected;
    QCOMPARE(message.attachmentListText(), QLatin1Char('"') + expected.join(QStringLiteral("\",\"")) + QLatin1Char('"'));
}

// No saved document, or no xdg-email at all.
void TestMail::nothingToSend()
{
    ScriptedMessages messages;
    XdgEmailClient client;
    ScriptedMailDialog dialog;
    dialog.answers << 0;
    MailSender sender(messages, client, dialog, setupFolder(), QStringLiteral("https://www.ostrabel.de/"));
    QVERIFY(!sender.SendDocument(QString()));
    QCOMPARE(messages.texts(), QStringList{"Es ist kein Dokument geöffnet bzw. das aktuelle Dokument muss zunächst "
                                           "gespeichert werden."});
    QCOMPARE(dialog.shown, 0);

    const QByteArray path = qgetenv("PATH");
    QTemporaryDir empty;
    qputenv("PATH", QFile::encodeName(empty.path()));
    messages.clear();
    QVERIFY(!client.available());
    QVERIFY(!sender.SendDocument(m_root.filePath(QStringLiteral("europa.tsr"))));
    qputenv("PATH", path);
    QCOMPARE(messages.texts(), QStringList{kNoMailProgram});
    QVERIFY(recordedCall().isEmpty());
}

void TestMail::noMailProgram_data()
{
    QTest::addColumn<QString>("how");        // "3": xdg-email finds no mail program; "none": no xdg-email
    QTest::addColumn<int>("option");          // 0 the document, 1 with the installer
    QTest::addColumn<bool>("save");           // the answer to the offer
    QTest::addColumn<QStringList>("saved");   // what lands in the folder
    QTest::newRow("kein Mailprogramm, Dokument gespeichert") << "3" << 0 << true << QStringList{"europa.tsr"};
    QTest::newRow("kein Mailprogramm, mit Setup") << "3" << 1 << true
                                                  << QStringList{"europa.tsr", "setup-tsr10basis.exe"};
    QTest::newRow("kein xdg-email, Dokument gespeichert") << "none" << 0 << true << QStringList{"europa.tsr"};
    QTest::newRow("kein Mailprogramm, nicht gespeichert") << "3" << 0 << false << QStringList{};
}

// Without a mail program the user learns so, in German, and may save the document (and
// the installer, if it was chosen) into a folder, to send them some other way.
void TestMail::noMailProgram()
{
    QFETCH(QString, how);
    QFETCH(int, option);
    QFETCH(bool, save);
    QFETCH(QStringList, saved);
    setExitCode(3);
    QVERIFY(writeFile(setupFolder() + QStringLiteral("setup-tsr10basis.exe"), "MZ setup"));
    const QString document = m_root.filePath(QStringLiteral("europa.tsr"));
    QVERIFY(writeFile(document, "QMF-1.01 Europa"));
    QTemporaryDir target;
    ScriptedMessages messages;
    messages.setNextAnswer(save ? MessageAnswer::Yes : MessageAnswer::No);
    ScriptedFileDialogs folders;
    folders.answers << target.path();
    XdgEmailClient client;
    ScriptedMailDialog dialog;
    dialog.answers << option;
    MailSender sender(messages, client, dialog, setupFolder(), QStringLiteral("https://www.ostrabel.de/"), &folders);
    const QByteArray path = qgetenv("PATH");
    QTemporaryDir empty;
    if (how == QLatin1String("none"))
        qputenv("PATH", QFile::encodeName(empty.path()));
    QVERIFY(!sender.SendDocument(document));
    qputenv("PATH", path);

    const QString question = option == 1
        ? QStringLiteral("Sollen das Dokument und das Setup stattdessen in einem Ordner gespeichert werden? Von dort "
                         "können Sie beides selbst versenden, etwa über die Internetseite Ihres E-Mail-Anbieters.")
        : QStringLiteral("Soll das Dokument stattdessen in einem Ordner gespeichert werden? Von dort können Sie es "
                         "selbst versenden, etwa über die Internetseite Ihres E-Mail-Anbieters.");
    QStringList texts{kNoMailProgram + QStringLiteral("\r\n") + question};
    if (save)
        texts << (option == 1 ? QStringLiteral("Das Dokument und das Setup wurden im Ordner \"%1\" gespeichert.")
                              : QStringLiteral("Das Dokument wurde im Ordner \"%1\" gespeichert."))
                     .arg(target.path());
    QCOMPARE(messages.texts(), texts);
    QCOMPARE(messages.shown().first().kind, MessageKind::Confirmation);
    QCOMPARE(folders.asked.size(), save ? 1 : 0);
    if (save)
        QVERIFY(folders.asked.first().startsWith(option == 1 ? QStringLiteral("Ordner für Dokument und Setup wählen|")
                                                             : QStringLiteral("Ordner für das Dokument wählen|")));
    QStringList inFolder = QDir(target.path()).entryList(QDir::Files);
    inFolder.sort();
    QCOMPARE(inFolder, saved);
    if (save) {
        QCOMPARE(readFile(target.filePath(QStringLiteral("europa.tsr"))), QByteArray("QMF-1.01 Europa"));
        if (option == 1)
            QCOMPARE(readFile(target.filePath(QStringLiteral("setup-tsr10basis.exe"))), QByteArray("MZ setup"));
    }
}

QTEST_GUILESS_MAIN(TestMail)
#include "tst_mail.moc"
