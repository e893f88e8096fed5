#include "document/topic_document.h"
#include "platform/cp1252.h"
#include "quiz/protocol.h"
#include "quiz/rtf_writer.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

struct RtfParagraph {
    QString text;
    bool bold = false;
    int halfPoints = 24;
    QList<int> tabs;
};

// A small RTF reader, written from the RTF rules rather than from our writer: groups,
// skipped destinations, control words with parameters, \'xx, \uN (one fallback
// character), the three escaped symbols. Sets ok to false on anything malformed.
QList<RtfParagraph> readRtf(const QByteArray &rtf, bool &ok)
{
    struct State { bool bold = false; int halfPoints = 24; bool skip = false; };
    QList<RtfParagraph> result;
    QList<State> stack{State()};
    RtfParagraph para;
    bool open = false, skipNext = false;
    ok = rtf.startsWith("{\\rtf1");
    auto text = [&](const QString &t) {
        if (stack.last().skip || std::exchange(skipNext, false))
            return;
        if (para.text.isEmpty())
            para.bold = stack.last().bold;
        para.text += t;
    };
    auto finish = [&] {
        para.halfPoints = stack.last().halfPoints;
        result << para;
        para = RtfParagraph{QString(), false, 24, para.tabs};
        open = false;
    };
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        const char c = rtf.at(i);
        if (c == '{') {
            stack << stack.last();
        } else if (c == '}') {
            if (stack.size() == 2 && open)
                finish();
            stack.removeLast();
            if (stack.size() == 1) {
                ok = ok && rtf.mid(i + 1).trimmed().isEmpty();
                break;
            }
        } else if (c == '\\' && i + 1 < rtf.size() && QByteArray("\\{}").contains(rtf.at(i + 1))) {
            text(QString(QChar(rtf.at(++i))));
        } else if (c == '\\' && rtf.mid(i + 1, 1) == "'") {
            bool hex = false;
            const int code = rtf.mid(i + 2, 2).toInt(&hex, 16);
            ok = ok && hex;
            text(fromCp1252(QByteArray(1, char(code))));
            i += 3;
        } else if (c == '\\' && rtf.mid(i + 1, 1) == "*") {
            stack.last().skip = true;
            ++i;
        } else if (c == '\\') {
            qsizetype j = i + 1;
            while (j < rtf.size() && QChar::isLetter(rtf.at(j)))
                ++j;
            const QByteArray word = rtf.mid(i + 1, j - i - 1);
            qsizetype k = j + (j < rtf.size() && rtf.at(j) == '-');
            while (k < rtf.size() && QChar::isDigit(rtf.at(k)))
                ++k;
            const bool hasNumber = k > j;
            const int n = rtf.mid(j, k - j).toInt();
            ok = ok && !word.isEmpty();
            i = (k < rtf.size() && rtf.at(k) == ' ') ? k : k - 1;
            if (word == "fonttbl" || word == "colortbl" || word == "stylesheet")
                stack.last().skip = true;
            else if (word == "par")
                finish();
            else if (word == "pard")
                para.tabs.clear(), open = true;
            else if (word == "plain")
                stack.last().bold = false, stack.last().halfPoints = 24;
            else if (word == "b")
                stack.last().bold = !hasNumber || n != 0;
            else if (word == "fs")
                stack.last().halfPoints = n;
            else if (word == "tx")
                para.tabs << n;
            else if (word == "tab")
                text(QStringLiteral("\t"));
            else if (word == "u")
                text(QString(QChar(char16_t(qint16(n))))), skipNext = true;
        } else if (c != '\r' && c != '\n') {
            ok = ok && static_cast<unsigned char>(c) < 0x80; // the writer promises pure ASCII
            text(QString(QChar(c)));
        }
    }
    ok = ok && stack.size() == 1;
    return result;
}

TopicDocument document(qint32 type, const QString &title = QStringLiteral("Europa"))
{
    TopicDocument d;
    d.fileName = QStringLiteral("/themen/europa.tsr");
    d.titel = title;
    d.DokTyp = type;
    return d;
}

ProtocolEnvironment environment()
{
    return {QStringLiteral("RAUM-12"), QStringLiteral("schueler"), QStringLiteral("/srv/kom/"),
            QStringLiteral("TSR-1"), QLocale(QLocale::German, QLocale::Germany)};
}

QuizRun finishedRun()
{
    QuizRun run;
    run.startTime = 46000.5;               // 09.12.2025 12:00:00
    run.endTime = 46000.5 + 754 / 86400.0; // 12:12:34
    run.participantName = QStringLiteral("  Anna Köhler ");
    return run;
}

QuizScore finishedScore()
{
    return {20, 20, 17, 3, 0, 0.85, 0.85, 1, QStringLiteral("12:34")};
}

QStringList blockTexts(const QTextDocument &view)
{
    QStringList texts;
    for (QTextBlock b = view.begin(); b.isValid(); b = b.next())
        texts << b.text();
    return texts;
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void appendLines();
    void durationTexts();
    void imageSummary();
    void summaryVariants();
    void protocolView();
    void rtfRoundTrip();
    void autoSave();
};

void TestProtocol::appendLines()
{
    FakeClock clock;
    QuizRun run;
    run.startTick = clock.tickCount();
    AppendProtocolLine(run, clock, ProtocolPart::Detail, QStringLiteral("Quiz wird gestartet"), true);
    clock.advance(135999); // whole seconds only
    AppendProtocolLine(run, clock, ProtocolPart::Detail, QStringLiteral("RICHTIG - x"), true);
    AppendProtocolLine(run, clock, ProtocolPart::Detail, QStringLiteral("Antwortmöglichkeiten: A"), false);
    AppendProtocolLine(run, clock, ProtocolPart::Detail, QString(), false);
    QCOMPARE(run.protocolDetail, QStringLiteral("00:00 - Quiz wird gestartet\r\n02:15 - RICHTIG - x\r\n"
                                                "Antwortmöglichkeiten: A\r\n\r\n"));
    // A stamped summary line keeps its stamp and leaves the course of the quiz alone.
    AppendProtocolLine(run, clock, ProtocolPart::Summary, QStringLiteral("s"), true);
    QCOMPARE(run.protocolSummary, QStringLiteral("02:15 - s\r\n"));
    QVERIFY(run.protocolDetail.endsWith(QStringLiteral("A\r\n\r\n")));

    // The tick count wraps at 2^32 in a long session: no jump in the stamps.
    run.startTick = 0xFFFFFFFFu - 999;
    clock.advance(4000u - clock.tickCount()); // the tick count is now 4000
    AppendProtocolLine(run, clock, ProtocolPart::Summary, QStringLiteral("w"), true);
    QVERIFY(run.protocolSummary.endsWith(QStringLiteral("00:05 - w\r\n")));
}

void TestProtocol::durationTexts()
{
    const std::pair<qint64, const char *> cases[] = {{45, "45 Sek."}, {180, "3 Min. 0 Sek."}, {-12, "0 Sek."},
                                                     {3600, "1 Std. 0 Min. 0 Sek."}, {7507, "2 Std. 5 Min. 7 Sek."}};
    for (const auto &[seconds, text] : cases)
        QCOMPARE(durationText(seconds), QString::fromUtf8(text));
}

void TestProtocol::imageSummary()
{
    QuizRun run = finishedRun();
    QuizOptions options{0, 1, 1, 0, 2, 0, 1, 180};
    WriteProtocolSummary(run, finishedScore(), options, document(dtImageLabelling), environment());
    run.protocolDetail = QStringLiteral("00:00 - Quiz wird gestartet\r\n");
    QCOMPARE(protocolText(run), QStringLiteral(
        "<tit>Quiz-Protokoll\r\n"
        "Uhrzeit Beginn:\t09.12.2025 12:00:00\r\n"
        "Uhrzeit Ende:  \t09.12.2025 12:12:34\r\n"
        "Teilnehmername:\tAnna Köhler\r\n"
        "Rechnername:\tRAUM-12\r\n"
        "Rechnerbenutzer:\tschueler\r\n"
        "\r\n"
        "<tit>Übungseinstellungen\r\n"
        "Titel:\tEuropa\r\n"
        "Quiz-Umfang:\t20 Fragen (komplettes Quiz)\r\n"
        "Abfragemodus:\tfreie Zuordnung in beliebiger Reihenfolge\r\n"
        "Zeitlimit:\tja, 3 Min. 0 Sek.\r\n"
        "Verhalten bei richtiger Zuordnung:\tgrünes Häkchen setzen\r\n"
        "Verhalten bei Fehlversuch:\trotes Kreuz setzen, keine erneute Zuordnung an dieser Position\r\n"
        "Zuordnungstexte:\talphabetisch geordnet\r\n"
        "Zuordnungsziele (Positionen):\tFragezeichen\r\n"
        "\r\n"
        "<tit>Statistik-Zusammenfassung\r\n"
        "Richtig zugeordnet:\t17  von  20\r\n"
        "Fehlversuche:\t3\r\n"
        "Erfolgsquote:\t85.0 %\r\n"
        "Offene Fragen:\t0\r\n"
        "Verbliebene Zeit:\t12:34\r\n"
        "Gesamtleistung:\t85.0 %\r\n"
        "Bewertung:\tsehr gut\r\n"
        "Schulnote:\t1\r\n"
        "\r\n"
        "<tit>Detaillierter Ablauf\r\n"
        "00:00 - Quiz wird gestartet\r\n"));
}

void TestProtocol::summaryVariants()
{
    const QuizScore score = finishedScore();
    auto lines = [&](const QuizRun &run, const QuizOptions &options, qint32 type, const QuizScore &s) {
        return protocolSummaryLines(run, s, options, document(type), environment());
    };
    // Cloze with single texts and no time limit.
    QStringList l = lines(finishedRun(), QuizOptions{0, 0, 0, 1, 1, 1, 0, 60}, dtCloze, score);
    QCOMPARE(l.mid(10, 6), (QStringList{"Abfragemodus:\tEinzelabfrage Texte", "Zeitlimit:\tnein",
                                        "Verhalten bei richtiger Zuordnung:\tBeschriftung einblenden",
                                        "Verhalten bei Fehlversuch:\tbeliebig viele Zuordnungsversuche erlaubt",
                                        "Zuordnungstexte:\tzufällig gemischt",
                                        "Zuordnungsziele (Positionen):\tzufällig gemischt nummeriert"}));
    QCOMPARE(l.at(22), QStringLiteral("Benötigte Zeit:\t12:34"));
    // Single positions name their mode; single questions have their own four lines.
    QCOMPARE(lines(finishedRun(), QuizOptions{0, 0, 0, 1, 0, 2, 0, 60}, dtImageLabelling, score).at(10),
             QStringLiteral("Abfragemodus:\tEinzelabfrage Positionen"));
    l = lines(finishedRun(), QuizOptions{0, 0, 1, 0, 1, 0, 1, 45}, dtSingleQuestions, score);
    QCOMPARE(l.mid(10, 5), (QStringList{"Abfragemodus:\tjede Frage nur einmal stellen", "Zeitlimit:\tja, 45 Sek.",
                                        "Antwortmöglichkeiten:\talphabetisch geordnet",
                                        "Reihenfolge der Fragen:\tzufällig gemischt", ""}));
    l = lines(finishedRun(), QuizOptions{0, 0, 0, 1, 0, 0, 0, 45}, dtSingleQuestions, score);
    QCOMPARE(l.at(10), QStringLiteral("Abfragemodus:\tsolange wiederholen, bis jede Frage richtig beantwortet wurde"));
    QCOMPARE(l.at(13), QStringLiteral("Reihenfolge der Fragen:\tgeordnet"));

    // A repetition and a random subset.
    QuizRun run = finishedRun();
    run.selectionMode = 1;
    QCOMPARE(lines(run, QuizOptions(), 0, {3, 20, 2, 1, 0, 0, 0, 0, {}}).mid(9, 1),
             QStringList{"Quiz-Umfang:\t3 von 20 Fragen (Teilwiederholung)"});
    run.selectionMode = 2;
    const QStringList subset = lines(run, QuizOptions(), 0, {20, 190, 17, 3, 0, 0, 0, 0, {}});
    QCOMPARE(subset.at(9), QStringLiteral("Quiz-Umfang:\t20 von 190 Fragen"));
    QCOMPARE(subset.at(18), QStringLiteral("Richtig zugeordnet:\t17  von  20"));

    // The initiator of a network quiz, and names that are blanks or missing.
    run.networkRole = nrInitiator;
    QCOMPARE(lines(run, QuizOptions(), 0, score).mid(3, 6),
             (QStringList{"Teilnehmername:\t(Initiator der Netzwerk-Übung)", "Rechnername:\tRAUM-12",
                          "Rechnerbenutzer:\tschueler", "Kommunikationsordner:\t/srv/kom/",
                          "Kommunikationskanal:\tTSR-1", ""}));
    run.networkRole = nrParticipant;
    run.participantName = QStringLiteral("   ");
    l = lines(run, QuizOptions(), 0, score);
    QCOMPARE(l.at(3), QStringLiteral("Teilnehmername:\t(nicht angegeben)"));
    QCOMPARE(l.at(6), QString()); // no network lines but the initiator's
}

void TestProtocol::protocolView()
{
    QTextDocument view;
    FillProtocolView(view, QStringLiteral("alt\r\n"), true);
    FillProtocolView(view, QStringLiteral("<Tit>Quiz-Protokoll\r\nRechnername:\tRAUM-12\r\n<TIT>B\r\n<ti>c\r\n x<tit>d\r\n"),
                     true);
    QCOMPARE(blockTexts(view), (QStringList{"Quiz-Protokoll", "", "Rechnername:\tRAUM-12", "B", "", "<ti>c", " x<tit>d"}));
    const qreal tabStop = 160 * textDocumentDpi() / 72.0;
    int bold = 0;
    for (QTextBlock b = view.begin(); b.isValid(); b = b.next()) {
        QCOMPARE(b.blockFormat().tabPositions().size(), 1);
        QCOMPARE(b.blockFormat().tabPositions().first().position, tabStop);
        if (b.text().isEmpty()) {
            QCOMPARE(b.charFormat().fontPointSize(), 4.0); // the small gap
            continue;
        }
        const QTextCharFormat format = b.begin().fragment().charFormat();
        QCOMPARE(format.fontPointSize(), 9.0);
        bold += format.fontWeight() == QFont::Bold;
    }
    QCOMPARE(bold, 2);
    // Laid out, the value after a tab starts at 160 pt.
    const QTextBlock line = view.findBlockByNumber(2);
    view.documentLayout()->blockBoundingRect(line);
    QVERIFY(qAbs(line.layout()->lineAt(0).cursorToX(int(line.text().indexOf('\t')) + 1) - tabStop) < 1.0);

    // A comment is appended without clearing.
    FillProtocolView(view, QStringLiteral("\r\n<tit>Kommentar\r\nGut"), false);
    QCOMPARE(blockTexts(view).mid(7), (QStringList{"", "Kommentar", "", "Gut"}));
}

void TestProtocol::rtfRoundTrip()
{
    QCOMPARE(rtfEscape(QStringLiteral("a{b}\\ Ä€\t✓\uFF21\x01")), QByteArray("a\\{b\\}\\\\ \\'c4\\'80\\tab \\u10003?\\u-223?"));

    QuizRun run = finishedRun();
    // The protocol keeps a name as typed, letters outside Windows-1252 included.
    run.participantName = QStringLiteral("Jürgen Şule Yılmaz {Admin} \\ Groß");
    WriteProtocolSummary(run, finishedScore(), QuizOptions(), document(0, QStringLiteral("Übung: 5 € – mehr")),
                         environment());
    run.protocolDetail = QStringLiteral("00:03 - RICHTIG - Gewählte Antwort: \"✓ Ja\"\r\n"
                                        "00:07 - FALSCH - Beschriftungstext \"Köln\" wird der Position von \"𝔸\" "
                                        "zugeordnet\r\n");
    QTextDocument view;
    FillProtocolView(view, protocolText(run), true);
    const QByteArray rtf = writeRtf(view);
    // For a look with a word processor: KAPITOLO_TEST_OUTPUT names a folder to keep it in.
    if (qEnvironmentVariableIsSet("KAPITOLO_TEST_OUTPUT"))
        writeFile(qEnvironmentVariable("KAPITOLO_TEST_OUTPUT") + QStringLiteral("/protokoll.rtf"), rtf);

    bool ok = false;
    const QList<RtfParagraph> paragraphs = readRtf(rtf, ok);
    QVERIFY(ok);
    QCOMPARE(paragraphs.size(), view.blockCount());
    qsizetype i = 0;
    for (QTextBlock b = view.begin(); b.isValid(); b = b.next(), ++i) {
        const RtfParagraph &p = paragraphs.at(i);
        QCOMPARE(p.text, b.text());
        QCOMPARE(p.tabs, QList<int>{3200}); // 160 pt in twips
        const QTextCharFormat format = b.text().isEmpty() ? b.charFormat() : b.begin().fragment().charFormat();
        QCOMPARE(p.halfPoints, int(2 * format.fontPointSize()));
        QCOMPARE(p.bold, !b.text().isEmpty() && b.begin().fragment().charFormat().fontWeight() == QFont::Bold);
    }
    QVERIFY(paragraphs.first().bold);
    QCOMPARE(paragraphs.at(4).text, QStringLiteral("Teilnehmername:\tJürgen Şule Yılmaz {Admin} \\ Groß"));
}

void TestProtocol::autoSave()
{
    QTemporaryDir dir;
    ScriptedMessages messages;
    FakeClock clock;
    clock.setNow(46100.25); // 19.03.2026 06:00:00, plus the fake clock's first second
    QTextDocument view;
    FillProtocolView(view, QStringLiteral("<tit>Quiz-Protokoll\r\nA\r\n"), true);
    const QString folder = dir.path() + QLatin1Char('/');
    // Someone else's file under the first name stays as it is.
    QVERIFY(writeFile(folder + QStringLiteral("20260319-060001-RAUM-12-0.rtf"), "fremd"));
    QString first, second;
    QVERIFY(AutoSaveProtocol(view, folder, QStringLiteral("RAUM-12"), clock, messages, &first));
    clock.advance(400); // the same second
    FillProtocolView(view, QStringLiteral("B\r\n"), true);
    QVERIFY(AutoSaveProtocol(view, dir.path(), QStringLiteral("RAUM-12"), clock, messages, &second));
    QCOMPARE(first, folder + QStringLiteral("20260319-060001-RAUM-12-1.rtf"));
    QCOMPARE(second, folder + QStringLiteral("20260319-060001-RAUM-12-2.rtf"));
    QCOMPARE(readFile(second), writeRtf(view));
    // The pupil's results in a folder the whole class shares: for the pupil alone.
    QCOMPARE(QFileInfo(second).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    QVERIFY(readFile(first).contains("\\fs18 A\r\n"));
    QCOMPARE(readFile(folder + QStringLiteral("20260319-060001-RAUM-12-0.rtf")), QByteArray("fremd"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3); // no temporary files left
    QVERIFY(messages.shown().isEmpty());

    bool exists = false;
    QVERIFY(!writeFileAtomically(first, "neu", false, &exists));
    QVERIFY(exists);

    // A missing folder: the error with its advice; the folder is not created.
    const QString missing = folder + QStringLiteral("fehlt/");
    QVERIFY(!AutoSaveProtocol(view, missing, QStringLiteral("PC"), clock, messages));
    QCOMPARE(messages.texts(),
             QStringList{QStringLiteral("Die Datei \"") + missing + QStringLiteral("20260319-060001-PC-0.rtf\" kann "
                         "nicht geschrieben werden. Mögliche Ursachen:\r\n- Ungültiger Ordner oder Dateiname\r\n- "
                         "fehlende Schreibzugriffsberechtigung im Netzwerk\r\n\r\nDas Übungsprotokoll konnte nicht "
                         "automatisch gespeichert werden. Überprüfen Sie die Einstellungen unter \"Optionen | Ordner "
                         "für Protokolle und Bestenlisten\".")});
    QVERIFY(!QDir(missing).exists());
    QVERIFY(!AutoSaveProtocol(view, QString(), QStringLiteral("PC"), clock, messages)); // empty setting
    QCOMPARE(messages.shown().size(), 2);
}

QTEST_MAIN(TestProtocol)
#include "tst_protocol.moc"
