#include "document/topic_document.h"
#include "platform/cp1252.h"
#include "quiz/protocol.h"
#include "quiz/rtf_writer.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

// What an RTF reader makes of one paragraph.
struct RtfParagraph {
    QString text;
    bool bold = false;
    int halfPoints = 24;
    QList<int> tabs;
};

// A small reader of the RTF subset a word processor needs for our files: groups,
// destinations to skip, control words with parameters, \'xx, \uN and the escapes.
// It is written against the RTF rules, not against our writer.
QList<RtfParagraph> readRtf(const QByteArray &rtf, bool *wellFormed)
{
    struct State {
        bool bold = false;
        int halfPoints = 24;
        bool skip = false;
    };
    QList<RtfParagraph> paragraphs;
    QList<State> stack{State()};
    RtfParagraph current;
    bool started = false;
    bool textSeen = false;
    int depth = 0;
    int skipChars = 0;
    *wellFormed = rtf.startsWith("{\\rtf1");
    auto addText = [&](const QString &text) {
        if (stack.last().skip)
            return;
        if (skipChars > 0) {
            skipChars = 0;
            return;
        }
        if (!textSeen)
            current.bold = stack.last().bold;
        textSeen = true;
        current.text += text;
        current.halfPoints = stack.last().halfPoints;
    };
    auto finish = [&]() {
        if (!textSeen)
            current.halfPoints = stack.last().halfPoints;
        paragraphs << current;
        const QList<int> tabs = current.tabs;
        current = RtfParagraph();
        current.tabs = tabs; // paragraph properties carry on until \pard
        textSeen = false;
        started = false;
    };
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        const char c = rtf.at(i);
        if (c == '{') {
            stack << stack.last();
            ++depth;
        } else if (c == '}') {
            if (stack.size() <= 1) {
                *wellFormed = false;
                break;
            }
            stack.removeLast();
            if (--depth == 0) {
                if (started)
                    finish();
                if (rtf.mid(i + 1).trimmed().size() != 0)
                    *wellFormed = false;
                break;
            }
        } else if (c == '\r' || c == '\n') {
            continue;
        } else if (c == '\\') {
            const char n = i + 1 < rtf.size() ? rtf.at(i + 1) : '\0';
            if (n == '\\' || n == '{' || n == '}') {
                addText(QString(QChar(n)));
                ++i;
            } else if (n == '\'') {
                const bool ok = i + 3 < rtf.size();
                const QByteArray hex = rtf.mid(i + 2, 2);
                bool parsed = false;
                const int code = hex.toInt(&parsed, 16);
                if (!ok || !parsed)
                    *wellFormed = false;
                addText(fromCp1252(QByteArray(1, char(code))));
                i += 3;
            } else if (n == '*') {
                stack.last().skip = true;
                ++i;
            } else if (QChar::isLetter(n)) {
                qsizetype j = i + 1;
                while (j < rtf.size() && QChar::isLetter(rtf.at(j)))
                    ++j;
                const QByteArray word = rtf.mid(i + 1, j - i - 1);
                qsizetype k = j;
                if (k < rtf.size() && (rtf.at(k) == '-' || QChar::isDigit(rtf.at(k))))
                    ++k;
                while (k < rtf.size() && QChar::isDigit(rtf.at(k)))
                    ++k;
                const bool hasNumber = k > j;
                const int number = rtf.mid(j, k - j).toInt();
                if (k < rtf.size() && rtf.at(k) == ' ')
                    ++k;
                i = k - 1;
                if (word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info")
                    stack.last().skip = true;
                else if (word == "par")
                    finish();
                else if (word == "pard") {
                    current.tabs.clear();
                    started = true;
                } else if (word == "plain") {
                    stack.last().bold = false;
                    stack.last().halfPoints = 24;
                } else if (word == "b")
                    stack.last().bold = !hasNumber || number != 0;
                else if (word == "fs")
                    stack.last().halfPoints = number;
                else if (word == "tx")
                    current.tabs << number;
                else if (word == "tab")
                    addText(QStringLiteral("\t"));
                else if (word == "u") {
                    addText(QString(QChar(char16_t(qint16(number)))));
                    skipChars = 1;
                }
            } else {
                *wellFormed = false;
            }
        } else {
            if (static_cast<unsigned char>(c) >= 0x80)
                *wellFormed = false; // the writer promises pure ASCII
            addText(QString(QChar(c)));
        }
    }
    if (depth != 0)
        *wellFormed = false;
    return paragraphs;
}

TopicDocument documentOfType(qint32 type, const QString &title)
{
    TopicDocument d;
    d.fileName = QStringLiteral("/themen/europa.tsr");
    d.titel = title;
    d.DokTyp = type;
    return d;
}

ProtocolEnvironment germanEnvironment()
{
    ProtocolEnvironment env;
    env.computerName = QStringLiteral("RAUM-12");
    env.userName = QStringLiteral("schueler");
    env.communicationFolder = QStringLiteral("/srv/kom/");
    env.channel = QStringLiteral("TSR-1");
    env.locale = QLocale(QLocale::German, QLocale::Germany);
    return env;
}

QuizRun finishedRun()
{
    QuizRun run;
    run.startTime = 46000.5;                     // 09.12.2025 12:00:00
    run.endTime = 46000.5 + 754 / 86400.0;       // 12:12:34
    run.participantName = QStringLiteral("  Anna Köhler ");
    return run;
}

QuizScore finishedScore()
{
    QuizScore score;
    score.questionCount = 20;
    score.totalQuestionCount = 20;
    score.correctCount = 17;
    score.failedCount = 3;
    score.openCount = 0;
    score.successRate = 0.85;
    score.totalPerformance = 0.85;
    score.grade = 1;
    score.clockText = QStringLiteral("12:34");
    return score;
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void appendLines();
    void durationTexts_data();
    void durationTexts();
    void imageSummary();
    void settingLines_data();
    void settingLines();
    void singleQuestionSummary();
    void initiatorAndNames();
    void scopeLines_data();
    void scopeLines();
    void headingsInAnyCase();
    void viewFormatting();
    void commentAppendsWithoutClearing();
    void rtfRoundTrip();
    void rtfEscapes_data();
    void rtfEscapes();
    void autoSaveSameSecond();
    void autoSaveNeverOverwrites();
    void autoSaveFailureMessage();
};

void TestProtocol::appendLines()
{
    FakeClock clock;
    QuizRun run;
    run.startTick = clock.tickCount();
    AppendProtocolLine(run, clock, ProtocolPart::Detail, QStringLiteral("Quiz wird gestartet"), true);
    clock.advance(135999); // 2:15 and almost a second: whole seconds only
    AppendProtocolLine(run, clock, ProtocolPart::Detail, QStringLiteral("RICHTIG - Gewählte Antwort: \"Rom\""), true);
    AppendProtocolLine(run, clock, ProtocolPart::Detail, QStringLiteral("Antwortmöglichkeiten: A, B"), false);
    AppendProtocolLine(run, clock, ProtocolPart::Detail, QString(), false);
    QCOMPARE(run.protocolDetail, QStringLiteral("00:00 - Quiz wird gestartet\r\n"
                                                "02:15 - RICHTIG - Gewählte Antwort: \"Rom\"\r\n"
                                                "Antwortmöglichkeiten: A, B\r\n"
                                                "\r\n"));
    QVERIFY(run.protocolSummary.isEmpty());

    // A stamped summary line keeps its stamp; the course of the quiz stays untouched.
    AppendProtocolLine(run, clock, ProtocolPart::Summary, QStringLiteral("x"), true);
    QCOMPARE(run.protocolSummary, QStringLiteral("02:15 - x\r\n"));
    QVERIFY(run.protocolDetail.endsWith(QStringLiteral("B\r\n\r\n")));

    // The tick count wraps at 2^32 during a long session; the elapsed time does not jump.
    QuizRun wrapped;
    wrapped.startTick = 0xFFFFFFFFu - 999; // one second before the wrap
    struct WrapClock : FakeClock {
        quint32 t = 0;
        quint32 tickCount() override { return t; }
    } wrapClock;
    wrapClock.t = 4000; // five seconds after the start
    AppendProtocolLine(wrapped, wrapClock, ProtocolPart::Detail, QStringLiteral("a"), true);
    QCOMPARE(wrapped.protocolDetail, QStringLiteral("00:05 - a\r\n"));
}

void TestProtocol::durationTexts_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("45 s") << qint64(45) << QStringLiteral("45 Sek.");
    QTest::newRow("3 min") << qint64(180) << QStringLiteral("3 Min. 0 Sek.");
    QTest::newRow("zero") << qint64(0) << QStringLiteral("0 Sek.");
    QTest::newRow("negative") << qint64(-12) << QStringLiteral("0 Sek.");
    QTest::newRow("one hour") << qint64(3600) << QStringLiteral("1 Std. 0 Min. 0 Sek.");
    QTest::newRow("hours") << qint64(2 * 3600 + 5 * 60 + 7) << QStringLiteral("2 Std. 5 Min. 7 Sek.");
    QTest::newRow("59:59") << qint64(3599) << QStringLiteral("59 Min. 59 Sek.");
}

void TestProtocol::durationTexts()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(durationText(seconds), text);
}

void TestProtocol::imageSummary()
{
    QuizRun run = finishedRun();
    QuizOptions options;
    options.queryMode = 0;
    options.timeLimitOn = 1;
    options.timeLimitSeconds = 180;
    options.onCorrect = 1;
    options.onFailed = 1;
    options.tileOrder = 0;
    options.positionOrder = 2;
    WriteProtocolSummary(run, finishedScore(), options, documentOfType(dtImageLabelling, QStringLiteral("Europa")),
                         germanEnvironment());
    const QString expected = QStringLiteral(
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
        "<tit>Detaillierter Ablauf\r\n");
    QCOMPARE(run.protocolSummary, expected);

    // The window shows the summary followed by the course of the quiz.
    run.protocolDetail = QStringLiteral("00:00 - Quiz wird gestartet\r\n");
    QCOMPARE(protocolText(run), expected + run.protocolDetail);
}

void TestProtocol::settingLines_data()
{
    QTest::addColumn<qint32>("type");
    QTest::addColumn<QuizOptions>("options");
    QTest::addColumn<QStringList>("lines"); // the setting lines after Quiz-Umfang

    QuizOptions o;
    o.queryMode = 1;
    o.onCorrect = 0;
    o.onFailed = 0;
    o.tileOrder = 1;
    o.positionOrder = 0;
    QTest::newRow("cloze, single texts") << qint32(dtCloze) << o
        << QStringList{"Abfragemodus:\tEinzelabfrage Texte", "Zeitlimit:\tnein",
                       "Verhalten bei richtiger Zuordnung:\tBeschriftung einblenden",
                       "Verhalten bei Fehlversuch:\tbeliebig viele Zuordnungsversuche erlaubt",
                       "Zuordnungstexte:\tzufällig gemischt", "Zuordnungsziele (Positionen):\tgeordnet nummeriert"};
    o.queryMode = 2;
    o.positionOrder = 1;
    o.timeLimitOn = 1;
    o.timeLimitSeconds = 45;
    QTest::newRow("image, single positions") << qint32(dtImageLabelling) << o
        << QStringList{"Abfragemodus:\tEinzelabfrage Positionen", "Zeitlimit:\tja, 45 Sek.",
                       "Verhalten bei richtiger Zuordnung:\tBeschriftung einblenden",
                       "Verhalten bei Fehlversuch:\tbeliebig viele Zuordnungsversuche erlaubt",
                       "Zuordnungstexte:\tzufällig gemischt",
                       "Zuordnungsziele (Positionen):\tzufällig gemischt nummeriert"};
    o.queryMode = 7; // not an index of the dialog: no text rather than a wrong one
    QTest::newRow("unknown mode") << qint32(dtCloze) << o
        << QStringList{"Abfragemodus:\t", "Zeitlimit:\tja, 45 Sek.",
                       "Verhalten bei richtiger Zuordnung:\tBeschriftung einblenden",
                       "Verhalten bei Fehlversuch:\tbeliebig viele Zuordnungsversuche erlaubt",
                       "Zuordnungstexte:\tzufällig gemischt",
                       "Zuordnungsziele (Positionen):\tzufällig gemischt nummeriert"};
}

void TestProtocol::settingLines()
{
    QFETCH(qint32, type);
    QFETCH(QuizOptions, options);
    QFETCH(QStringList, lines);
    const QStringList all = protocolSummaryLines(finishedRun(), finishedScore(), options,
                                                 documentOfType(type, QStringLiteral("T")), germanEnvironment());
    const qsizetype scope = all.indexOf(QStringLiteral("Quiz-Umfang:\t20 Fragen (komplettes Quiz)"));
    QVERIFY(scope > 0);
    QCOMPARE(all.mid(scope + 1, lines.size()), lines);
    QCOMPARE(all.at(scope + 1 + lines.size()), QString());
    QCOMPARE(all.at(scope + 2 + lines.size()), QStringLiteral("<tit>Statistik-Zusammenfassung"));
    // Without a time limit the clock is the time needed.
    QVERIFY(all.contains(options.timeLimitOn ? QStringLiteral("Verbliebene Zeit:\t12:34")
                                             : QStringLiteral("Benötigte Zeit:\t12:34")));
}

void TestProtocol::singleQuestionSummary()
{
    QuizOptions options;
    options.onFailed = 1;
    options.tileOrder = 0;
    options.positionOrder = 1;
    QuizScore score = finishedScore();
    score.correctCount = 16;
    score.failedCount = 0;
    score.openCount = 4;
    score.successRate = 1.0;
    score.totalPerformance = 0.8;
    score.grade = 2;
    const QStringList lines = protocolSummaryLines(finishedRun(), score, options,
                                                   documentOfType(dtSingleQuestions, QStringLiteral("Hauptstädte")),
                                                   germanEnvironment());
    const QStringList expected{
        "<tit>Quiz-Protokoll",
        "Uhrzeit Beginn:\t09.12.2025 12:00:00",
        "Uhrzeit Ende:  \t09.12.2025 12:12:34",
        "Teilnehmername:\tAnna Köhler",
        "Rechnername:\tRAUM-12",
        "Rechnerbenutzer:\tschueler",
        "",
        "<tit>Übungseinstellungen",
        "Titel:\tHauptstädte",
        "Quiz-Umfang:\t20 Fragen (komplettes Quiz)",
        "Abfragemodus:\tjede Frage nur einmal stellen",
        "Zeitlimit:\tnein",
        "Antwortmöglichkeiten:\talphabetisch geordnet",
        "Reihenfolge der Fragen:\tzufällig gemischt",
        "",
        "<tit>Statistik-Zusammenfassung",
        "Richtig zugeordnet:\t16  von  20",
        "Fehlversuche:\t0",
        "Erfolgsquote:\t100.0 %",
        "Offene Fragen:\t4",
        "Benötigte Zeit:\t12:34",
        "Gesamtleistung:\t80.0 %",
        "Bewertung:\tgut",
        "Schulnote:\t2",
        "",
        "<tit>Detaillierter Ablauf",
    };
    QCOMPARE(lines, expected);

    options.onFailed = 0;
    options.positionOrder = 0;
    const QStringList other = protocolSummaryLines(finishedRun(), score, options,
                                                   documentOfType(dtSingleQuestions, QStringLiteral("H")),
                                                   germanEnvironment());
    QVERIFY(other.contains(
        QStringLiteral("Abfragemodus:\tsolange wiederholen, bis jede Frage richtig beantwortet wurde")));
    QVERIFY(other.contains(QStringLiteral("Reihenfolge der Fragen:\tgeordnet")));
}

void TestProtocol::initiatorAndNames()
{
    const TopicDocument doc = documentOfType(dtImageLabelling, QStringLiteral("Europa"));
    QuizRun run = finishedRun();
    run.networkRole = nrInitiator;
    QStringList lines = protocolSummaryLines(run, finishedScore(), QuizOptions(), doc, germanEnvironment());
    QCOMPARE(lines.mid(3, 6),
             (QStringList{"Teilnehmername:\t(Initiator der Netzwerk-Übung)", "Rechnername:\tRAUM-12",
                          "Rechnerbenutzer:\tschueler", "Kommunikationsordner:\t/srv/kom/",
                          "Kommunikationskanal:\tTSR-1", ""}));

    // A name of blanks, or the participant of a network quiz (who enters none).
    run.networkRole = nrOwnQuiz;
    run.participantName = QStringLiteral("   ");
    lines = protocolSummaryLines(run, finishedScore(), QuizOptions(), doc, germanEnvironment());
    QCOMPARE(lines.at(3), QStringLiteral("Teilnehmername:\t(nicht angegeben)"));
    QCOMPARE(lines.at(6), QString()); // no network lines for an own quiz
    run.networkRole = nrParticipant;
    run.participantName.clear();
    lines = protocolSummaryLines(run, finishedScore(), QuizOptions(), doc, germanEnvironment());
    QCOMPARE(lines.at(3), QStringLiteral("Teilnehmername:\t(nicht angegeben)"));
    QVERIFY(!lines.join(QLatin1Char('\n')).contains(QLatin1String("Kommunikations")));
}

void TestProtocol::scopeLines_data()
{
    QTest::addColumn<int>("selectionMode");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("line");
    QTest::newRow("repetition") << 1 << 3 << 20 << QStringLiteral("Quiz-Umfang:\t3 von 20 Fragen (Teilwiederholung)");
    QTest::newRow("random subset") << 2 << 20 << 190 << QStringLiteral("Quiz-Umfang:\t20 von 190 Fragen");
    QTest::newRow("random, all") << 2 << 12 << 12 << QStringLiteral("Quiz-Umfang:\t12 Fragen (komplettes Quiz)");
    QTest::newRow("complete") << 0 << 20 << 20 << QStringLiteral("Quiz-Umfang:\t20 Fragen (komplettes Quiz)");
}

void TestProtocol::scopeLines()
{
    QFETCH(int, selectionMode);
    QFETCH(int, questions);
    QFETCH(int, total);
    QFETCH(QString, line);
    QuizRun run = finishedRun();
    run.selectionMode = selectionMode;
    QuizScore score = finishedScore();
    score.questionCount = questions;
    score.totalQuestionCount = total;
    const QStringList lines = protocolSummaryLines(run, score, QuizOptions(), documentOfType(0, QStringLiteral("T")),
                                                   germanEnvironment());
    QCOMPARE(lines.at(9), line);
    QCOMPARE(lines.at(18), QStringLiteral("Richtig zugeordnet:\t17  von  ") + QString::number(questions));
}

void TestProtocol::headingsInAnyCase()
{
    QTextDocument view;
    FillProtocolView(view, QStringLiteral("<Tit>Erste\r\n<TIT>Zweite\r\n<tIt>Dritte\r\n<ti>keine\r\n x<tit>keine"),
                     true);
    QStringList texts;
    QList<bool> bold;
    for (QTextBlock b = view.begin(); b.isValid(); b = b.next()) {
        texts << b.text();
        bold << (b.text().isEmpty() ? false : b.begin().fragment().charFormat().fontWeight() == QFont::Bold);
    }
    QCOMPARE(texts, (QStringList{"Erste", "", "Zweite", "", "Dritte", "", "<ti>keine", " x<tit>keine"}));
    QCOMPARE(bold, (QList<bool>{true, false, true, false, true, false, false, false}));
}

void TestProtocol::viewFormatting()
{
    QTextDocument view;
    FillProtocolView(view, QStringLiteral("alt\r\n"), true);
    FillProtocolView(view, QStringLiteral("<tit>Quiz-Protokoll\r\nRechnername:\tRAUM-12\r\n"), true);
    QCOMPARE(view.blockCount(), 3); // cleared first: the old line is gone
    const QTextBlock heading = view.begin();
    const QTextBlock gap = heading.next();
    const QTextBlock line = gap.next();
    QCOMPARE(heading.text(), QStringLiteral("Quiz-Protokoll"));
    QCOMPARE(heading.begin().fragment().charFormat().fontPointSize(), 9.0);
    QCOMPARE(gap.text(), QString());
    QCOMPARE(gap.charFormat().fontPointSize(), 4.0);
    QCOMPARE(line.text(), QStringLiteral("Rechnername:\tRAUM-12"));
    QCOMPARE(line.begin().fragment().charFormat().fontWeight(), int(QFont::Normal));
    QCOMPARE(line.begin().fragment().charFormat().fontPointSize(), 9.0);
    for (QTextBlock b = view.begin(); b.isValid(); b = b.next()) {
        const QList<QTextOption::Tab> tabs = b.blockFormat().tabPositions();
        QCOMPARE(tabs.size(), 1);
        QVERIFY(qAbs(tabs.first().position - 160 * textDocumentDpi() / 72.0) < 0.01);
    }
    // Laid out, the value after the tab starts at the tab stop, even after a long label.
    view.setTextWidth(2000);
    view.documentLayout()->blockBoundingRect(line); // lays the block out
    QTextLayout *layout = line.layout();
    QVERIFY(layout && layout->lineCount() == 1);
    const int tabIndex = int(line.text().indexOf(QLatin1Char('\t')));
    const qreal valueX = layout->lineAt(0).cursorToX(tabIndex + 1);
    QVERIFY2(qAbs(valueX - 160 * textDocumentDpi() / 72.0) < 1.0, qPrintable(QString::number(valueX)));
}

void TestProtocol::commentAppendsWithoutClearing()
{
    QTextDocument view;
    FillProtocolView(view, QStringLiteral("<tit>Detaillierter Ablauf\r\n00:00 - Quiz wird gestartet\r\n"), true);
    FillProtocolView(view, QStringLiteral("\r\n<tit>Kommentar\r\nGut gemacht"), false);
    QStringList texts;
    for (QTextBlock b = view.begin(); b.isValid(); b = b.next())
        texts << b.text();
    QCOMPARE(texts, (QStringList{"Detaillierter Ablauf", "", "00:00 - Quiz wird gestartet", "", "Kommentar", "",
                                 "Gut gemacht"}));
}

void TestProtocol::rtfRoundTrip()
{
    QuizRun run = finishedRun();
    run.participantName = QStringLiteral("Jürgen {Admin} \\ Groß");
    WriteProtocolSummary(run, finishedScore(), QuizOptions(), documentOfType(0, QStringLiteral("Übung: 5 € & mehr")),
                         germanEnvironment());
    run.protocolDetail = QStringLiteral("00:00 - Quiz wird gestartet\r\n"
                                        "00:03 - RICHTIG - Gewählte Antwort: \"✓ Ja – 5 €\"\r\n"
                                        "00:07 - FALSCH - Beschriftungstext \"Köln\" wird der Position von "
                                        "\"Zürich\" zugeordnet\r\n");
    QTextDocument view;
    FillProtocolView(view, protocolText(run), true);
    const QByteArray rtf = writeRtf(view);
    // For a look with a word processor: KAPITOLO_TEST_OUTPUT names a folder to keep it in.
    if (qEnvironmentVariableIsSet("KAPITOLO_TEST_OUTPUT"))
        writeFile(qEnvironmentVariable("KAPITOLO_TEST_OUTPUT") + QStringLiteral("/protokoll.rtf"), rtf);

    bool wellFormed = false;
    const QList<RtfParagraph> paragraphs = readRtf(rtf, &wellFormed);
    QVERIFY(wellFormed);
    QCOMPARE(paragraphs.size(), view.blockCount());
    qsizetype i = 0;
    for (QTextBlock b = view.begin(); b.isValid(); b = b.next(), ++i) {
        const RtfParagraph &p = paragraphs.at(i);
        QCOMPARE(p.text, b.text());
        QCOMPARE(p.tabs, QList<int>{3200}); // 160 pt in twips
        if (b.text().isEmpty())
            continue;
        QCOMPARE(p.bold, b.begin().fragment().charFormat().fontWeight() == QFont::Bold);
        QCOMPARE(p.halfPoints, 18);
    }
    QCOMPARE(paragraphs.at(0).text, QStringLiteral("Quiz-Protokoll"));
    QVERIFY(paragraphs.at(0).bold);
    QCOMPARE(paragraphs.at(1).halfPoints, 8); // the 4 pt gap
    QCOMPARE(paragraphs.at(4).text, QStringLiteral("Teilnehmername:\tJürgen {Admin} \\ Groß"));
}

void TestProtocol::rtfEscapes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("escaped");
    QTest::newRow("braces and backslash") << QStringLiteral("a{b}c\\d") << QByteArray("a\\{b\\}c\\\\d");
    QTest::newRow("umlauts") << QStringLiteral("Äöüß") << QByteArray("\\'c4\\'f6\\'fc\\'df");
    QTest::newRow("cp1252 upper half") << QStringLiteral("€–„") << QByteArray("\\'80\\'96\\'84");
    QTest::newRow("tab") << QStringLiteral("a\tb") << QByteArray("a\\tab b");
    QTest::newRow("outside cp1252") << QStringLiteral("✓") << QByteArray("\\u10003?");
    QTest::newRow("high BMP") << QStringLiteral("\uFF21") << QByteArray("\\u-223?");
    QTest::newRow("control chars") << QStringLiteral("a\x01\x1f b") << QByteArray("a b");
}

void TestProtocol::rtfEscapes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, escaped);
    QCOMPARE(rtfEscape(text), escaped);

    // Every escape survives a whole document and reads back as the text.
    QTextDocument view;
    FillProtocolView(view, QStringLiteral("x") + text, true);
    bool wellFormed = false;
    const QList<RtfParagraph> paragraphs = readRtf(writeRtf(view), &wellFormed);
    QVERIFY(wellFormed);
    QCOMPARE(paragraphs.size(), 1);
    QString expected = QStringLiteral("x") + text;
    expected.remove(QRegularExpression(QStringLiteral("[\\x01-\\x08\\x0a-\\x1f]")));
    QCOMPARE(paragraphs.first().text, expected);
}

void TestProtocol::autoSaveSameSecond()
{
    QTemporaryDir dir;
    ScriptedMessages messages;
    FakeClock clock;
    clock.setNow(46100.25); // 19.03.2026 06:00:00, and the fake clock's first second
    QTextDocument view;
    FillProtocolView(view, QStringLiteral("<tit>Quiz-Protokoll\r\nA\r\n"), true);
    const QString folder = dir.path() + QLatin1Char('/');
    QString first, second;
    QVERIFY(AutoSaveProtocol(view, folder, QStringLiteral("RAUM-12"), clock, messages, &first));
    FillProtocolView(view, QStringLiteral("<tit>Quiz-Protokoll\r\nB\r\n"), true);
    clock.advance(400); // still the same second
    QVERIFY(AutoSaveProtocol(view, folder, QStringLiteral("RAUM-12"), clock, messages, &second));
    QCOMPARE(first, folder + QStringLiteral("20260319-060001-RAUM-12-0.rtf"));
    QCOMPARE(second, folder + QStringLiteral("20260319-060001-RAUM-12-1.rtf"));
    QVERIFY(messages.shown().isEmpty());
    QCOMPARE(readFile(second), writeRtf(view));
    QVERIFY(readFile(first).contains("\\fs18 A\r\n"));
    // Nothing else is left in the folder (no temporary files).
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // A folder setting without its separator still saves into that folder.
    QVERIFY(AutoSaveProtocol(view, dir.path(), QStringLiteral("RAUM-12"), clock, messages, &second));
    QCOMPARE(second, folder + QStringLiteral("20260319-060001-RAUM-12-2.rtf"));
}

void TestProtocol::autoSaveNeverOverwrites()
{
    QTemporaryDir dir;
    const QString taken = dir.path() + QStringLiteral("/taken.rtf");
    QVERIFY(writeFile(taken, "someone else's"));
    bool exists = false;
    QVERIFY(!writeFileAtomically(taken, "mine", false, &exists));
    QVERIFY(exists);
    QCOMPARE(readFile(taken), QByteArray("someone else's"));
    QVERIFY(writeFileAtomically(taken, "replaced", true, &exists));
    QCOMPARE(readFile(taken), QByteArray("replaced"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestProtocol::autoSaveFailureMessage()
{
    QTemporaryDir dir;
    ScriptedMessages messages;
    FakeClock clock;
    clock.setNow(46100.25);
    QTextDocument view;
    const QString folder = dir.path() + QStringLiteral("/fehlt/");
    QVERIFY(!AutoSaveProtocol(view, folder, QStringLiteral("PC"), clock, messages));
    QCOMPARE(messages.texts(),
             QStringList{QStringLiteral("Die Datei \"") + folder + QStringLiteral("20260319-060001-PC-0.rtf\" kann nicht "
                         "geschrieben werden. Mögliche Ursachen:\r\n- Ungültiger Ordner oder Dateiname\r\n- fehlende "
                         "Schreibzugriffsberechtigung im Netzwerk\r\n\r\nDas Übungsprotokoll konnte nicht automatisch "
                         "gespeichert werden. Überprüfen Sie die Einstellungen unter \"Optionen | Ordner für "
                         "Protokolle und Bestenlisten\".")});
    QCOMPARE(messages.shown().first().kind, MessageKind::Error);
    QVERIFY(!QDir(folder).exists()); // folders are never created

    // An empty folder setting is no folder either.
    messages.clear();
    QVERIFY(!AutoSaveProtocol(view, QString(), QStringLiteral("PC"), clock, messages));
    QCOMPARE(messages.shown().size(), 1);
}

QTEST_MAIN(TestProtocol)
#include "tst_protocol.moc"
