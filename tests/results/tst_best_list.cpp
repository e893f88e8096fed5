#include "platform/app_settings.h"
#include "document/topic_document.h"
#include "platform/cp1252.h"
#include "quiz/quiz_types.h"
#include "results/best_list.h"
#include "results/best_list_commands.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

const QByteArray kFields = "|HSC-Name|HSC-Rechner|HSC-Beginn|HSC-Dauer|HSC-Leistung|";

BestListEntry entry(const QString &name, double performance = 0.5, qint32 durationMs = 1000)
{
    return {name, QStringLiteral("PC-") + name, 46000.5, 46000.5 + (durationMs / 1000) / 86400.0, durationMs,
            performance};
}

// The bytes the format describes, built by hand.
RawFile head(const QByteArray &fields = kFields)
{
    return RawFile().string("TSR-HSC-1.00").string(fields);
}

RawFile &add(RawFile &f, const BestListEntry &e)
{
    return f.string(toCp1252(e.name)).string(toCp1252(e.computer)).float64(e.start).int32(e.durationMs)
        .float64(e.performance);
}

QStringList nameList(const BestList &list)
{
    QStringList result;
    for (const BestListEntry &e : list)
        result << e.name;
    return result;
}

BestList read(const QString &path)
{
    FakeClock clock;
    BestList list;
    if (!readBestList(path, list, clock))
        list << entry(QStringLiteral("(nicht lesbar)"));
    return list;
}

// A writer process that takes the lock (and leaves half an entry) and waits to be killed.
std::unique_ptr<QProcess> startHolder(const QString &path, bool torn)
{
    auto process = std::make_unique<QProcess>();
    process->start(QStringLiteral(BEST_LIST_WRITER),
                   torn ? QStringList{"hold", path, "torn"} : QStringList{"hold", path});
    if (!process->waitForReadyRead(10000) || process->readLine().trimmed() != "locked")
        return nullptr;
    return process;
}

void kill(QProcess &process)
{
    ::kill(pid_t(process.processId()), SIGKILL);
    process.waitForFinished(10000);
}

} // namespace

class TestBestList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void appendAndRead();
    void fieldLists();
    void damagedFiles();
    void ranking_data();
    void ranking();
    void rowsAndText();
    void formulasStayText_data();
    void formulasStayText();
    void removingAnEntry();
    void retriesAndMessages();
    void showCommands();
    void enteringResults();
    void writerKilledWhileAppending();
    void concurrentWriters();
    void toolPrintsSavedText();
    void defaultFoldersWhereTheProgramMayNotWrite_data();
    void defaultFoldersWhereTheProgramMayNotWrite();
    void pupilsWithoutWriteAccessShareTheComputersFolders();

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }
};

void TestBestList::appendAndRead()
{
    FakeClock clock;
    QuizRun run;
    run.startTime = 46000.25;
    run.elapsedMs = 61999;
    run.participantName = QStringLiteral("   ");
    QuizScore score;
    score.totalPerformance = 0.875;
    const BestListEntry blank = entryFromQuiz(run, score, QStringLiteral("RAUM-1"));
    QCOMPARE(blank.name, QStringLiteral("(kein Name)"));
    QCOMPARE(blank.end, 46000.25 + 61 / 86400.0);
    BestListEntry spaced = entry(QStringLiteral("  Eva  "));
    BestListEntry empty = entry(QString()); // a network report with an empty name line

    // Missing and empty files get the head first; a filled one only the entry.
    RawFile expected = head();
    add(add(expected, blank), spaced);
    QVERIFY(writeFile(path(QStringLiteral("leer.hsc")), QByteArray()));
    for (const QString &name : {QStringLiteral("neu.hsc"), QStringLiteral("leer.hsc")}) {
        QVERIFY(appendBestListEntry(path(name), blank, clock));
        QVERIFY(appendBestListEntry(path(name), spaced, clock));
        QCOMPARE(readFile(path(name)), expected.bytes());
    }
    QVERIFY(appendBestListEntry(path(QStringLiteral("neu.hsc")), empty, clock));
    empty.name = QStringLiteral("(kein Name)");
    QCOMPARE(read(path(QStringLiteral("neu.hsc"))), (BestList{blank, spaced, empty}));

    // A name with letters the file lacks keeps their nearest Latin letters, not "?".
    run.participantName = QStringLiteral("Şule Yılmaz-Łukasik");
    const BestListEntry turkish = entryFromQuiz(run, score, QStringLiteral("RAUM-1"));
    QVERIFY(appendBestListEntry(path(QStringLiteral("namen.hsc")), turkish, clock));
    QVERIFY(readFile(path(QStringLiteral("namen.hsc"))).contains("\x13\0\0\0Sule Yilmaz-Lukasik"));
    QCOMPARE(read(path(QStringLiteral("namen.hsc"))).first().name, QStringLiteral("Sule Yilmaz-Lukasik"));

    // Head only: an empty list.
    QVERIFY(writeFile(path(QStringLiteral("kopf.hsc")), head().bytes()));
    QVERIFY(read(path(QStringLiteral("kopf.hsc"))).isEmpty());
}

void TestBestList::fieldLists()
{
    FakeClock clock;
    // Without "HSC-Rechner": four fields an entry, the computer empty.
    const QString file = path(QStringLiteral("vier.hsc"));
    QVERIFY(writeFile(file, head("|HSC-Name|HSC-Beginn|HSC-Dauer|HSC-Leistung|")
                                .string("Nina").float64(46000.5).int32(3000).float64(0.5).bytes()));
    BestListEntry nina = entry(QStringLiteral("Nina"), 0.5, 3000);
    nina.computer.clear();
    QCOMPARE(read(file), BestList{nina});
    // Appending keeps to the file's own field list, so the file stays readable.
    QVERIFY(appendBestListEntry(file, entry(QStringLiteral("Olaf")), clock));
    BestList list = read(file);
    QCOMPARE(nameList(list), (QStringList{"Nina", "Olaf"}));
    QCOMPARE(list.last().computer, QString());
    QCOMPARE(list.last().durationMs, 1000);

    // A field list without any known field: nothing to read, and nothing is appended.
    const QByteArray unknown = head("|HSC-Anderes|").bytes() + "\x01\x02";
    QVERIFY(writeFile(file, unknown));
    QVERIFY(read(file).isEmpty());
    QVERIFY(!appendBestListEntry(file, entry(QStringLiteral("Z")), clock));
    QCOMPARE(readFile(file), unknown);
}

void TestBestList::damagedFiles()
{
    FakeClock clock;
    const QString file = path(QStringLiteral("schaden.hsc"));
    BestList list;
    // Another magic, or no best list at all: a read failure, and the file is left alone.
    const QByteArray foreign = RawFile().string("TSR-HSC-1.01").string(kFields).bytes();
    QVERIFY(writeFile(file, foreign));
    list = {entry(QStringLiteral("alt"))};
    QVERIFY(!readBestList(file, list, clock));
    QVERIFY(list.isEmpty());
    QVERIFY(!appendBestListEntry(file, entry(QStringLiteral("A")), clock));
    QCOMPARE(readFile(file), foreign);
    QVERIFY(!readBestList(path(QStringLiteral("gibt-es-nicht.hsc")), list, clock));

    // Every cut of a last entry reads as the entries before it ...
    RawFile two = head();
    add(add(two, entry(QStringLiteral("A"))), entry(QStringLiteral("B")));
    RawFile third;
    add(third, entry(QStringLiteral("C")));
    for (qsizetype cut = 1; cut < third.bytes().size(); ++cut) {
        QVERIFY(writeFile(file, two.bytes() + third.bytes().left(cut)));
        QCOMPARE(nameList(read(file)), (QStringList{"A", "B"}));
    }
    // ... and the next writer cuts the remains away before it appends.
    QVERIFY(appendBestListEntry(file, entry(QStringLiteral("D")), clock));
    QCOMPARE(nameList(read(file)), (QStringList{"A", "B", "D"}));

    // A head cut short by a writer that died is begun afresh.
    QVERIFY(writeFile(file, head().bytes().left(7)));
    QVERIFY(!readBestList(file, list, clock));
    QVERIFY(appendBestListEntry(file, entry(QStringLiteral("E")), clock));
    QCOMPARE(nameList(read(file)), QStringList{"E"});

    // Unreadable bytes far beyond any entry are damage, not a dead writer: not cut away.
    const QByteArray damaged = two.bytes() + RawFile().int32(200000).bytes() + QByteArray(100000, 'x');
    QVERIFY(writeFile(file, damaged));
    QCOMPARE(read(file).size(), 2);
    QVERIFY(!appendBestListEntry(file, entry(QStringLiteral("F")), clock));
    QCOMPARE(readFile(file), damaged);
}

void TestBestList::ranking_data()
{
    QTest::addColumn<BestList>("list");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("performance first")
        << BestList{entry("a", 0.5, 1000), entry("b", 0.9, 90000), entry("c", 0.7, 2000)} << QStringList{"b", "c", "a"};
    QTest::newRow("equal: shorter first")
        << BestList{entry("a", 0.8, 5000), entry("b", 0.8, 3000), entry("c", 0.8, 4000)} << QStringList{"b", "c", "a"};
    QTest::newRow("higher beats faster") << BestList{entry("fast", 0.6, 10), entry("good", 0.61, 999999)}
                                          << QStringList{"good", "fast"};
    // Full equality: the swap that brings "z" up moves "x" behind "y".
    QTest::newRow("ties follow the swaps") << BestList{entry("x"), entry("y"), entry("z", 0.9)}
                                            << QStringList{"z", "y", "x"};
}

void TestBestList::ranking()
{
    QFETCH(BestList, list);
    QFETCH(QStringList, order);
    rankBestList(list);
    QCOMPARE(nameList(list), order);
}

void TestBestList::rowsAndText()
{
    const QLocale german(QLocale::German, QLocale::Germany);
    const QList<QStringList> rows =
        bestListRows({entry(QStringLiteral("Anna"), 0.875, 61999), entry(QStringLiteral("Ben"), 1.0, 6000000)}, german);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(1), (QStringList{"1", "Anna", "PC-Anna", "87.5 %", "01:01", "09.12.2025 12:01:01"}));
    QCOMPARE(rows.at(2).mid(3, 2), (QStringList{"100.0 %", "100:00"}));
    // An empty list still has one empty row.
    QCOMPARE(bestListText(bestListRows(BestList(), german)),
             QStringLiteral("Pos.\tName\tRechner\tLeistung\tZeit (Min:Sek)\tDatum/Uhrzeit (Ende)\r\n\t\t\t\t\t\r\n"));
    QCOMPARE(individualBestListPath(QStringLiteral("/b"), QStringLiteral("/t/karte.v2.tsr")),
             QStringLiteral("/b/karte.v2.hsc"));
}

// "Speichern..." and "In Zwischenablage" give a table a spreadsheet opens: a name that
// begins like a formula stays text, and no cell breaks the table's rows and columns.
void TestBestList::formulasStayText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cell");
    QTest::newRow("formula") << QStringLiteral("=HYPERLINK(\"http://x\")") << QStringLiteral("'=HYPERLINK(\"http://x\")");
    QTest::newRow("plus") << QStringLiteral("+1") << QStringLiteral("'+1");
    QTest::newRow("minus") << QStringLiteral("-2+3") << QStringLiteral("'-2+3");
    QTest::newRow("at") << QStringLiteral("@SUM(A1)") << QStringLiteral("'@SUM(A1)");
    QTest::newRow("leading tab") << QStringLiteral("\t=1") << QStringLiteral("' =1");
    QTest::newRow("carriage return inside") << QStringLiteral("Eva\r=1") << QStringLiteral("Eva =1");
    QTest::newRow("plain name") << QStringLiteral("Anna-Lena") << QStringLiteral("Anna-Lena");
}

void TestBestList::formulasStayText()
{
    QFETCH(QString, name);
    QFETCH(QString, cell);
    const QString text = bestListText(bestListRows({entry(name)}, QLocale(QLocale::German, QLocale::Germany)));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3); // header, the entry, the empty rest after the last CR LF
    const QStringList cells = lines.at(1).split(QLatin1Char('\t'));
    QCOMPARE(cells.size(), 6);
    QCOMPARE(cells.at(1), cell);
}

// The teacher removed a participant: its entry leaves the network best list, the others
// stay as they were, in their order.
void TestBestList::removingAnEntry()
{
    FakeClock clock;
    const QString file = path(QStringLiteral("entfernen.hsc"));
    QFile::remove(file);
    const BestListEntry anna = entry(QStringLiteral("Anna"), 0.9);
    const BestListEntry turkish = entry(QStringLiteral("Şule"), 0.8); // stored as "Sule"
    const BestListEntry ben = entry(QStringLiteral("Ben"), 0.7);
    for (const BestListEntry &e : {anna, turkish, ben, anna})
        QVERIFY(appendBestListEntry(file, e, clock));
    QVERIFY(removeBestListEntry(file, turkish, clock));
    QCOMPARE(nameList(read(file)), (QStringList{"Anna", "Ben", "Anna"}));
    QVERIFY(removeBestListEntry(file, anna, clock));
    QCOMPARE(nameList(read(file)), (QStringList{"Ben", "Anna"}));
    QVERIFY(!removeBestListEntry(file, turkish, clock)); // not there any more
    QVERIFY(!removeBestListEntry(path(QStringLiteral("fehlt.hsc")), ben, clock));
    RawFile expected = head();
    add(add(expected, ben), anna);
    QCOMPARE(readFile(file), expected.bytes());
}

void TestBestList::retriesAndMessages()
{
    FakeClock clock;
    ScriptedMessages messages;
    const QString bad = path(QStringLiteral("fehlt/x.hsc"));
    QVERIFY(!saveBestListEntryWithRetries(bad, entry("a"), false, clock, messages));
    QCOMPARE(clock.waits(), (QList<int>{100, 100, 100, 100})); // five attempts
    QVERIFY(!saveBestListEntryWithRetries(bad, entry("a"), true, clock, messages));
    BestList list{entry("x")};
    QVERIFY(!loadBestListWithRetries(bad, list, true, clock, messages));
    QVERIFY(list.isEmpty());
    QCOMPARE(messages.texts(),
             (QStringList{writeErrorText(bad) + "\r\n\r\nDie Bestenliste konnte nicht gespeichert werden. Überprüfen "
                          "Sie die Einstellungen unter \"Optionen | Ordner für Protokolle und Bestenlisten\".",
                          writeErrorText(bad),
                          readErrorText(bad) + "\r\n\r\nMöglicherweise existiert die Datei noch nicht, weil noch "
                          "kein Teilnehmer das Quiz beendet hat."}));
}

void TestBestList::showCommands()
{
    FakeClock clock;
    ScriptedMessages messages;
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("kom")));
    const BestListPlaces places{dir.path() + "/", dir.path() + "/kom/", QStringLiteral("TSR-1")};
    TopicDocument doc;
    BestList list{entry("alt")};

    QVERIFY(!BestListCommand(nrOwnQuiz, doc, places, list, clock, messages)); // no document
    doc.fileName = dir.path() + QStringLiteral("/europa.tsr");
    QVERIFY(!BestListCommand(nrParticipant, doc, places, list, clock, messages));
    // No file yet: an information, then the window with an empty list.
    QVERIFY(BestListCommand(nrOwnQuiz, doc, places, list, clock, messages));
    QVERIFY(list.isEmpty());
    QVERIFY(NetworkBestListCommand(doc, places, list, clock, messages));
    QCOMPARE(messages.texts(),
             (QStringList{"Bitte zuerst über das Menü \"Quizauswahl\" das gewünschte Quiz auswählen.",
                          "Während der Netzwerk-Übung ist die Bestenliste der Individual-Übung nicht einsehbar.",
                          "Zu diesem Quiz gibt es bisher keine Einträge in der Bestenliste. Überprüfen Sie ggf. die "
                          "Einstellungen im Menü \"Optionen\", um die Bestenliste zu nutzen.",
                          "Die Bestenliste zur aktuellen Netzwerk-Übung enthält noch keine Einträge."}));

    // Loaded and ranked; the finished dialog takes the network list in a network role.
    messages.clear();
    QVERIFY(appendBestListEntry(dir.path() + "/europa.hsc", entry("langsam", 0.9, 9000), clock));
    QVERIFY(appendBestListEntry(dir.path() + "/europa.hsc", entry("schnell", 0.9, 3000), clock));
    QVERIFY(EnterNetworkResult(entry("netz"), places, clock, messages));
    QVERIFY(QFileInfo::exists(dir.path() + "/kom/TSR-1-tsrnetzuebung.hsc"));
    QVERIFY(FinishedDialogBestListCommand(nrOwnQuiz, doc, places, list, clock, messages));
    QCOMPARE(nameList(list), (QStringList{"schnell", "langsam"}));
    QVERIFY(FinishedDialogBestListCommand(nrInitiator, doc, places, list, clock, messages));
    QCOMPARE(nameList(list), QStringList{"netz"});
    QVERIFY(messages.shown().isEmpty());

    // Unreadable: the message, and the window opens all the same.
    QVERIFY(writeFile(dir.path() + "/europa.hsc", "kaputt"));
    QVERIFY(BestListCommand(nrOwnQuiz, doc, places, list, clock, messages));
    QVERIFY(list.isEmpty());
    QCOMPARE(messages.shown().size(), 1);
}

void TestBestList::enteringResults()
{
    FakeClock clock;
    ScriptedMessages messages;
    QTemporaryDir dir;
    BestListPlaces places{dir.path() + "/", QString(), QString()};
    TopicDocument doc;
    doc.fileName = QStringLiteral("/themen/europa.tsr");
    QuizRun run;
    QuizScore score;
    const QString file = dir.path() + QStringLiteral("/europa.hsc");
    const QString pc = QStringLiteral("PC");

    // Automatic entry off: the button; pressing it twice enters once.
    BestListEntryState state = EnterResultAtQuizEnd(run, score, false, doc, places, pc, clock, messages);
    QVERIFY(state.offerButton && state.label.isEmpty() && !QFileInfo::exists(file));
    QCOMPARE(EnterResultOnRequest(run, score, doc, places, pc, clock, messages), EnterResult::Entered);
    QCOMPARE(EnterResultOnRequest(run, score, doc, places, pc, clock, messages), EnterResult::Entered);
    QCOMPARE(read(file).size(), 1);
    // Automatic entry on, also for a random subset.
    run.bestListEntered = false;
    run.selectionMode = 2;
    state = EnterResultAtQuizEnd(run, score, true, doc, places, pc, clock, messages);
    QCOMPARE(state.label, QStringLiteral("Das Ergebnis wurde in die Bestenliste eingetragen."));
    QVERIFY(!state.offerButton && run.bestListEntered);
    QCOMPARE(read(file).size(), 2);

    // Never a repetition of the wrong ones, never a network quiz: no entry, no button.
    for (auto [mode, role] : {std::pair{1, 0}, std::pair{0, 1}, std::pair{0, 2}}) {
        QuizRun other;
        other.selectionMode = mode;
        other.networkRole = role;
        state = EnterResultAtQuizEnd(other, score, true, doc, places, pc, clock, messages);
        QVERIFY(!state.offerButton && state.label.isEmpty() && !other.bestListEntered);
        QCOMPARE(EnterResultOnRequest(other, score, doc, places, pc, clock, messages), EnterResult::NotAllowed);
    }
    QCOMPARE(read(file).size(), 2);
    QVERIFY(messages.shown().isEmpty());

    // Writing fails: the message, the button stays, the button fails as well.
    places.bestListFolder = dir.path() + QStringLiteral("/fehlt/");
    run.bestListEntered = false;
    QVERIFY(EnterResultAtQuizEnd(run, score, true, doc, places, pc, clock, messages).offerButton);
    QCOMPARE(EnterResultOnRequest(run, score, doc, places, pc, clock, messages), EnterResult::Failed);
    QVERIFY(!run.bestListEntered);
    QCOMPARE(messages.shown().size(), 2);
}

void TestBestList::writerKilledWhileAppending()
{
    FakeClock clock;
    const QString file = path(QStringLiteral("abgebrochen.hsc"));
    QVERIFY(appendBestListEntry(file, entry("eins"), clock));
    const qint64 intact = QFileInfo(file).size();
    std::unique_ptr<QProcess> writer = startHolder(file, true);
    QVERIFY(writer);
    QVERIFY(QFileInfo(file).size() > intact); // half an entry written, the lock still held
    // Meanwhile an attempt waits (on the clock) and fails; so does a reader.
    const quint32 before = clock.tickCount();
    QVERIFY(!appendBestListEntry(file, entry("blockiert"), clock));
    QVERIFY(clock.tickCount() - before >= 3000);
    BestList list;
    QVERIFY(!readBestList(file, list, clock));
    // SIGKILL: the system frees the lock; the file reads, and the next writer goes on.
    kill(*writer);
    QCOMPARE(nameList(read(file)), QStringList{"eins"});
    QVERIFY(appendBestListEntry(file, entry("zwei"), clock));
    QCOMPARE(nameList(read(file)), (QStringList{"eins", "zwei"}));
}

void TestBestList::concurrentWriters()
{
    const QString file = path(QStringLiteral("gemeinsam.hsc"));
    constexpr int writers = 8, perWriter = 200;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int w = 0; w < writers; ++w) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(QStringLiteral(BEST_LIST_WRITER),
                                {"append", file, QString::number(perWriter), "w" + QString::number(w)});
    }
    for (auto &process : processes) {
        QVERIFY(process->waitForFinished(240000));
        QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
    }
    // All 1600 entries intact, each writer's complete and in its own order.
    const BestList list = read(file);
    QCOMPARE(list.size(), writers * perWriter);
    QList<int> next(writers, 0);
    qint64 size = head().bytes().size();
    for (const BestListEntry &e : list) {
        const int w = e.name.section('-', 0, 0).mid(1).toInt();
        const int i = e.name.section('-', 1).toInt();
        QCOMPARE(i, next[w]++);
        QCOMPARE(e.computer, QString("Rechner w" + QString::number(w)));
        QCOMPARE(e.durationMs, 1000 * i + 7);
        QCOMPARE(e.performance, (i % 101) / 100.0);
        size += encodeBestListEntry(e).size();
    }
    QCOMPARE(next, QList<int>(writers, perWriter));
    QCOMPARE(QFileInfo(file).size(), size); // nothing torn or doubled
}

void TestBestList::toolPrintsSavedText()
{
    const QString tool = qEnvironmentVariable("KAPITOLO_TOOL");
    if (tool.isEmpty())
        QSKIP("KAPITOLO_TOOL names the tool when ctest runs the test");
    FakeClock clock;
    const QString file = path(QStringLiteral("werkzeug.hsc"));
    QVERIFY(appendBestListEntry(file, entry(QStringLiteral("Jürgen"), 0.5, 61999), clock));
    QVERIFY(appendBestListEntry(file, entry(QStringLiteral("Zoë"), 0.95, 120000), clock));
    QProcess process;
    process.start(tool, {"bestlist", file});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    BestList list = read(file);
    rankBestList(list);
    const QByteArray out = process.readAllStandardOutput();
    QCOMPARE(out, toCp1252(bestListText(bestListRows(list))));
    QVERIFY(out.startsWith("Pos.\tName\tRechner\tLeistung\tZeit (Min:Sek)\tDatum/Uhrzeit (Ende)\r\n"
                           "1\tZo\xeb\tPC-Zo\xeb\t95.0 %\t02:00\t"));

    QVERIFY(writeFile(path(QStringLiteral("kaputt.hsc")), "keine Bestenliste"));
    process.start(tool, {"bestlist", path(QStringLiteral("kaputt.hsc"))});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()).trimmed(),
             readErrorText(path(QStringLiteral("kaputt.hsc"))).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

void TestBestList::defaultFoldersWhereTheProgramMayNotWrite_data()
{
    QTest::addColumn<QStringList>("writable");
    QTest::addColumn<QString>("shared");
    QTest::addColumn<QStringList>("expected"); // protocols, best lists, exchange files
    const QString p = QStringLiteral("/opt/kapitolo/");
    const QString s = QStringLiteral("/var/lib/kapitolo/");
    QTest::newRow("own folders writable") << QStringList{p + "protokolle/", p + "bestenlisten/", p + "kom/", s + "kom/"}
                                         << s << QStringList{p + "protokolle/", p + "bestenlisten/", p + "kom/"};
    QTest::newRow("installed for all users")
        << QStringList{s + "protokolle/", s + "bestenlisten/", s + "kom/"} << s
        << QStringList{s + "protokolle/", s + "bestenlisten/", s + "kom/"};
    QTest::newRow("one own folder writable") << QStringList{p + "kom/", s + "protokolle/", s + "bestenlisten/", s + "kom/"}
                                             << s << QStringList{s + "protokolle/", s + "bestenlisten/", p + "kom/"};
    // Nowhere to write: the error names the folder the settings dialog shows.
    QTest::newRow("shared folder missing") << QStringList{} << s
                                           << QStringList{p + "protokolle/", p + "bestenlisten/", p + "kom/"};
    QTest::newRow("no shared folder") << QStringList{s + "protokolle/"} << QString()
                                      << QStringList{p + "protokolle/", p + "bestenlisten/", p + "kom/"};
}

void TestBestList::defaultFoldersWhereTheProgramMayNotWrite()
{
    QFETCH(QStringList, writable);
    QFETCH(QString, shared);
    QFETCH(QStringList, expected);
    const AppSettings s = AppSettings::defaults(QStringLiteral("/opt/kapitolo/"), shared,
                                                [&writable](const QString &folder) { return writable.contains(folder); });
    QCOMPARE((QStringList{s.protocolFolder, s.bestListFolder, s.communicationFolder}), expected);
}

// The real thing: users who may not write into the program folder (installed under
// /opt), each a process of its own. Run as root, the test takes the unprivileged users
// 65534 and 65533 through setpriv; run as an ordinary user, it makes the program
// folder read-only for itself.
void TestBestList::pupilsWithoutWriteAccessShareTheComputersFolders()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.path() + QStringLiteral("/opt/");
    const QString shared = dir.path() + QStringLiteral("/var/");
    for (const char *sub : {"protokolle", "bestenlisten", "kom"}) {
        QVERIFY(QDir().mkpath(program + QLatin1String(sub)));
        QVERIFY(QDir().mkpath(shared + QLatin1String(sub)));
        QVERIFY(::chmod(QFile::encodeName(shared + QLatin1String(sub)).constData(), 01777) == 0);
    }
    const bool root = ::geteuid() == 0;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    for (const char *sub : {"", "protokolle", "bestenlisten", "kom"})
        QVERIFY(::chmod(QFile::encodeName(program + QLatin1String(sub)).constData(), root ? 0755 : 0555) == 0);
    QVERIFY(::chmod(QFile::encodeName(shared).constData(), 0755) == 0);

    auto runAs = [&](int uid, const QString &name, QStringList *paths) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path());
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        p.setProcessEnvironment(env);
        const QStringList args{QStringLiteral("results"), program, shared, name};
        if (root)
            p.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=%1").arg(uid),
                                                           QStringLiteral("--regid=%1").arg(uid),
                                                           QStringLiteral("--clear-groups"), QStringLiteral(BEST_LIST_WRITER)}
                                                   + args);
        else
            p.start(QStringLiteral(BEST_LIST_WRITER), args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            qWarning() << p.readAllStandardError();
            return false;
        }
        *paths = QString::fromLocal8Bit(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return true;
    };
    QStringList first;
    QStringList second;
    QVERIFY(runAs(65534, QStringLiteral("Şule"), &first));
    QVERIFY(runAs(65533, QStringLiteral("Ben"), &second));

    // Both results landed in the shared folders, none in the program folder.
    QCOMPARE(first.size(), 2);
    QCOMPARE(first.at(0), shared + QStringLiteral("bestenlisten/europa.hsc"));
    QVERIFY(first.at(1).startsWith(shared + QStringLiteral("protokolle/")));
    QVERIFY(second.at(1).startsWith(shared + QStringLiteral("protokolle/")));
    QVERIFY(first.at(1) != second.at(1));
    QVERIFY(QFileInfo::exists(first.at(1)) && QFileInfo::exists(second.at(1)));
    for (const char *sub : {"protokolle", "bestenlisten", "kom"})
        QVERIFY(QDir(program + QLatin1String(sub)).isEmpty());
    // The second pupil added to the list the first one began.
    const BestList list = read(first.at(0));
    QCOMPARE(list.size(), 2);
    QCOMPARE(list.at(0).name, QStringLiteral("Sule"));
    QCOMPARE(list.at(1).name, QStringLiteral("Ben"));
    if (root) {
        QCOMPARE(QFileInfo(first.at(0)).ownerId(), 65534u);
        QCOMPARE(QFileInfo(second.at(1)).ownerId(), 65533u);
    }
    for (const char *sub : {"", "protokolle", "bestenlisten", "kom"})
        ::chmod(QFile::encodeName(program + QLatin1String(sub)).constData(), 0755);
}

QTEST_GUILESS_MAIN(TestBestList)
#include "tst_best_list.moc"
