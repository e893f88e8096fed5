#include "document/topic_document.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "quiz/quiz_types.h"
#include "results/best_list.h"
#include "results/best_list_commands.h"
#include "results/result_folders.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <signal.h>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

const QByteArray kFields = "|HSC-Name|HSC-Rechner|HSC-Beginn|HSC-Dauer|HSC-Leistung|";

BestListEntry entry(const QString &name, double performance, qint32 durationMs, double start = 46000.5)
{
    BestListEntry e;
    e.name = name;
    e.computer = QStringLiteral("PC-") + name;
    e.start = start;
    e.durationMs = durationMs;
    e.performance = performance;
    e.end = start + (durationMs / 1000) / 86400.0;
    return e;
}

// The bytes of a file as the format describes them, built by hand.
RawFile head(const QByteArray &fields = kFields)
{
    RawFile f;
    f.string("TSR-HSC-1.00").string(fields);
    return f;
}

void addEntry(RawFile &f, const BestListEntry &e)
{
    f.string(toCp1252(e.name)).string(toCp1252(e.computer)).float64(e.start).int32(e.durationMs).float64(e.performance);
}

QStringList nameList(const BestList &list)
{
    QStringList result;
    for (const BestListEntry &e : list)
        result << e.name;
    return result;
}

QString writerPath()
{
    return QStringLiteral(BEST_LIST_WRITER);
}

// A helper process that holds the list's lock (optionally after leaving half an entry).
std::unique_ptr<QProcess> startHolder(const QString &path, bool torn)
{
    auto process = std::make_unique<QProcess>();
    QStringList args{QStringLiteral("hold"), path};
    if (torn)
        args << QStringLiteral("torn");
    process->start(writerPath(), args);
    if (!process->waitForStarted(10000) || !process->waitForReadyRead(10000)
        || process->readLine().trimmed() != "locked")
        return nullptr;
    return process;
}

void killProcess(QProcess &process)
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

    void appendWritesHeadOnlyOnce();
    void readFieldLists_data();
    void readFieldLists();
    void foreignFilesAreLeftAlone();
    void tornEntryIsCutBeforeAppending();
    void blankNames();
    void ranking_data();
    void ranking();
    void rowsAndText();
    void paths();
    void retriesAndMessages();
    void showCommands();
    void enteringResults();
    void folderRules_data();
    void folderRules();
    void lockIsHonouredAndFreedByDeath();
    void writerKilledWhileHoldingTornEntry();
    void concurrentWriters();
    void writerKilledAtRandom();
    void toolPrintsSavedText();

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }
};

void TestBestList::appendWritesHeadOnlyOnce()
{
    FakeClock clock;
    const BestListEntry a = entry(QStringLiteral("Anna"), 0.75, 61999);
    const BestListEntry b = entry(QStringLiteral("Björn"), 0.5, 1000);

    RawFile expected = head();
    addEntry(expected, a);
    // Missing file.
    const QString missing = path(QStringLiteral("missing.hsc"));
    QVERIFY(appendBestListEntry(missing, a, clock));
    QCOMPARE(readFile(missing), expected.bytes());
    // Empty file.
    const QString empty = path(QStringLiteral("empty.hsc"));
    QVERIFY(writeFile(empty, QByteArray()));
    QVERIFY(appendBestListEntry(empty, a, clock));
    QCOMPARE(readFile(empty), expected.bytes());
    // Filled file: only the entry is added.
    QVERIFY(appendBestListEntry(missing, b, clock));
    addEntry(expected, b);
    QCOMPARE(readFile(missing), expected.bytes());

    BestList list;
    QVERIFY(readBestList(missing, list, clock));
    QCOMPARE(list, (BestList{a, b}));
    // A file of head only reads as an empty list.
    QVERIFY(writeFile(empty, head().bytes()));
    list << a;
    QVERIFY(readBestList(empty, list, clock));
    QVERIFY(list.isEmpty());
}

void TestBestList::readFieldLists_data()
{
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<QByteArray>("bytes");      // entries after the head
    QTest::addColumn<BestListEntry>("first");
    QTest::addColumn<int>("count");

    BestListEntry noComputer = entry(QStringLiteral("Nina"), 0.5, 3000);
    noComputer.computer.clear();
    QTest::newRow("without HSC-Rechner")
        << QByteArray("|HSC-Name|HSC-Beginn|HSC-Dauer|HSC-Leistung|")
        << RawFile().string("Nina").float64(46000.5).int32(3000).float64(0.5)
                    .string("Olaf").float64(46001).int32(5000).float64(0.25).bytes()
        << noComputer << 2;

    BestListEntry noDuration = entry(QStringLiteral("Nina"), 0.5, 0);
    QTest::newRow("without HSC-Dauer")
        << QByteArray("|HSC-Name|HSC-Rechner|HSC-Beginn|HSC-Leistung|")
        << RawFile().string("Nina").string("PC-Nina").float64(46000.5).float64(0.5).bytes() << noDuration << 1;

    BestListEntry onlyName;
    onlyName.name = QStringLiteral("Nina");
    QTest::newRow("only the name") << QByteArray("|HSC-Name|") << RawFile().string("Nina").string("X").bytes()
                                   << onlyName << 2;

    QTest::newRow("no known field") << QByteArray("|HSC-Anderes|") << QByteArray("\x01\x02", 2) << BestListEntry()
                                    << 0;
}

void TestBestList::readFieldLists()
{
    QFETCH(QByteArray, fields);
    QFETCH(QByteArray, bytes);
    QFETCH(BestListEntry, first);
    QFETCH(int, count);
    FakeClock clock;
    const QString file = path(QStringLiteral("fields.hsc"));
    QVERIFY(writeFile(file, head(fields).bytes() + bytes));
    BestList list;
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(list.size(), count);
    if (count > 0)
        QCOMPARE(list.first(), first);

    // Appending keeps to the file's own field list, so the file stays readable.
    if (count == 0) {
        QVERIFY(!appendBestListEntry(file, entry(QStringLiteral("Z"), 1, 1), clock));
        QCOMPARE(readFile(file), head(fields).bytes() + bytes);
        return;
    }
    const BestListEntry added = entry(QStringLiteral("Zoë"), 0.9, 9000);
    QVERIFY(appendBestListEntry(file, added, clock));
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(list.size(), count + 1);
    QCOMPARE(list.last().name, added.name);
    QCOMPARE(list.last().computer, fields.contains("HSC-Rechner") ? added.computer : QString());
}

void TestBestList::foreignFilesAreLeftAlone()
{
    FakeClock clock;
    const QString file = path(QStringLiteral("foreign.hsc"));
    const QByteArray other = RawFile().string("TSR-HSC-1.01").string(kFields).bytes();
    QVERIFY(writeFile(file, other));
    BestList list{entry(QStringLiteral("alt"), 1, 1)};
    QVERIFY(!readBestList(file, list, clock));
    QVERIFY(list.isEmpty());
    QVERIFY(!appendBestListEntry(file, entry(QStringLiteral("A"), 1, 1), clock));
    QCOMPARE(readFile(file), other);

    const QByteArray text = "Nur ein Text, keine Bestenliste.";
    QVERIFY(writeFile(file, text));
    QVERIFY(!readBestList(file, list, clock));
    QVERIFY(!appendBestListEntry(file, entry(QStringLiteral("A"), 1, 1), clock));
    QCOMPARE(readFile(file), text);

    QVERIFY(!readBestList(path(QStringLiteral("gibt-es-nicht.hsc")), list, clock));
}

void TestBestList::tornEntryIsCutBeforeAppending()
{
    FakeClock clock;
    const QString file = path(QStringLiteral("torn.hsc"));
    RawFile f = head();
    addEntry(f, entry(QStringLiteral("A"), 0.5, 1000));
    addEntry(f, entry(QStringLiteral("B"), 0.6, 2000));
    RawFile third;
    addEntry(third, entry(QStringLiteral("C"), 0.7, 3000));
    // Every cut of the third entry reads as the first two.
    for (qsizetype cut = 1; cut < third.bytes().size(); ++cut) {
        QVERIFY(writeFile(file, f.bytes() + third.bytes().left(cut)));
        BestList list;
        QVERIFY(readBestList(file, list, clock));
        QCOMPARE(nameList(list), (QStringList{"A", "B"}));
    }
    // The next writer cuts the remains away and its entry reads back.
    QVERIFY(appendBestListEntry(file, entry(QStringLiteral("D"), 0.8, 4000), clock));
    BestList list;
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(nameList(list), (QStringList{"A", "B", "D"}));

    // A head cut short by a dead writer (a file of ours, but not yet a list) is begun afresh.
    const QByteArray fullHead = head().bytes();
    QVERIFY(writeFile(file, fullHead.left(7)));
    QVERIFY(!readBestList(file, list, clock));
    QVERIFY(appendBestListEntry(file, entry(QStringLiteral("E"), 1, 1), clock));
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(nameList(list), QStringList{"E"});

    // Unreadable bytes far beyond any entry are damage, not a dead writer: left alone.
    const QByteArray damaged = f.bytes() + RawFile().int32(200000).bytes() + QByteArray(100000, 'x');
    QVERIFY(writeFile(file, damaged));
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(list.size(), 2);
    QVERIFY(!appendBestListEntry(file, entry(QStringLiteral("F"), 1, 1), clock));
    QCOMPARE(readFile(file), damaged);
}

void TestBestList::blankNames()
{
    FakeClock clock;
    QuizRun run;
    QuizScore score;
    run.startTime = 46000.25;
    run.elapsedMs = 61999;
    score.totalPerformance = 0.875;
    const QString file = path(QStringLiteral("names.hsc"));
    for (const QString &name : {QString(), QStringLiteral("   "), QStringLiteral("\t"), QStringLiteral("  Eva  ")}) {
        run.participantName = name;
        QVERIFY(appendBestListEntry(file, entryFromQuiz(run, score, QStringLiteral("RAUM-1")), clock));
    }
    // A network report with an empty name line gets the same treatment.
    BestListEntry report = entry(QString(), 0.5, 10);
    QVERIFY(appendBestListEntry(file, report, clock));
    BestList list;
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(nameList(list), (QStringList{"(kein Name)", "(kein Name)", "(kein Name)", "  Eva  ", "(kein Name)"}));
    QCOMPARE(list.first().computer, QStringLiteral("RAUM-1"));
    QCOMPARE(list.first().start, 46000.25);
    QCOMPARE(list.first().durationMs, 61999);
    QCOMPARE(list.first().performance, 0.875);
    QCOMPARE(list.first().end, 46000.25 + 61 / 86400.0);
}

void TestBestList::ranking_data()
{
    QTest::addColumn<BestList>("list");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("performance first") << BestList{entry("a", 0.5, 1000), entry("b", 0.9, 90000),
                                                    entry("c", 0.7, 2000)}
                                        << QStringList{"b", "c", "a"};
    QTest::newRow("equal performance: shorter first")
        << BestList{entry("a", 0.8, 5000), entry("b", 0.8, 3000), entry("c", 0.8, 4000)}
        << QStringList{"b", "c", "a"};
    QTest::newRow("higher beats faster") << BestList{entry("fast", 0.6, 10), entry("good", 0.61, 999999)}
                                          << QStringList{"good", "fast"};
    // Full equality: the swaps decide (the selection sort moves "d" before "b").
    QTest::newRow("ties follow the swaps")
        << BestList{entry("a", 0.5, 100), entry("b", 0.9, 100), entry("c", 0.9, 100), entry("d", 1.0, 100)}
        << QStringList{"d", "b", "c", "a"};
    QTest::newRow("ties moved by a swap")
        << BestList{entry("x", 0.5, 100), entry("y", 0.5, 100), entry("z", 0.9, 100)}
        << QStringList{"z", "y", "x"};
    QTest::newRow("empty") << BestList() << QStringList();
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
    BestList list{entry(QStringLiteral("Anna"), 0.875, 61999, 46000.5), entry(QStringLiteral("Ben"), 1.0, 6000000)};
    const QList<QStringList> rows = bestListRows(list, german);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0), (QStringList{"Pos.", "Name", "Rechner", "Leistung", "Zeit (Min:Sek)", "Datum/Uhrzeit (Ende)"}));
    QCOMPARE(rows.at(1), (QStringList{"1", "Anna", "PC-Anna", "87.5 %", "01:01", "09.12.2025 12:01:01"}));
    QCOMPARE(rows.at(2).mid(0, 5), (QStringList{"2", "Ben", "PC-Ben", "100.0 %", "100:00"}));

    QCOMPARE(bestListText({{"a", "b"}, {"", "c"}}), QStringLiteral("a\tb\r\n\tc\r\n"));

    // An empty list still has one (empty) row.
    const QList<QStringList> empty = bestListRows(BestList(), german);
    QCOMPARE(empty.size(), 2);
    QCOMPARE(empty.at(1), QStringList(6, QString()));
    QCOMPARE(bestListText(empty), QStringLiteral("Pos.\tName\tRechner\tLeistung\tZeit (Min:Sek)\t"
                                                 "Datum/Uhrzeit (Ende)\r\n\t\t\t\t\t\r\n"));
}

void TestBestList::paths()
{
    QCOMPARE(individualBestListPath(QStringLiteral("/b/"), QStringLiteral("/themen/europa.tsr")),
             QStringLiteral("/b/europa.hsc"));
    QCOMPARE(individualBestListPath(QStringLiteral("/b"), QStringLiteral("karte.v2.tsr")),
             QStringLiteral("/b/karte.v2.hsc"));
    QCOMPARE(networkBestListPath(QStringLiteral("/srv/kom/"), QStringLiteral("TSR-1")),
             QStringLiteral("/srv/kom/TSR-1-tsrnetzuebung.hsc"));
}

void TestBestList::retriesAndMessages()
{
    FakeClock clock;
    ScriptedMessages messages;
    const QString unwritable = path(QStringLiteral("fehlt/x.hsc"));
    QVERIFY(!saveBestListEntryWithRetries(unwritable, entry("a", 1, 1), false, clock, messages));
    QCOMPARE(clock.waits(), (QList<int>{100, 100, 100, 100}));
    QCOMPARE(messages.texts(),
             QStringList{writeErrorText(unwritable)
                         + QStringLiteral("\r\n\r\nDie Bestenliste konnte nicht gespeichert werden. Überprüfen Sie "
                                          "die Einstellungen unter \"Optionen | Ordner für Protokolle und "
                                          "Bestenlisten\".")});
    messages.clear();
    QVERIFY(!saveBestListEntryWithRetries(unwritable, entry("a", 1, 1), true, clock, messages));
    QCOMPARE(messages.texts(), QStringList{writeErrorText(unwritable)});

    messages.clear();
    BestList list{entry("x", 1, 1)};
    QVERIFY(!loadBestListWithRetries(unwritable, list, false, clock, messages));
    QVERIFY(list.isEmpty());
    QCOMPARE(messages.texts(),
             QStringList{readErrorText(unwritable)
                         + QStringLiteral("\r\n\r\nÜberprüfen Sie die Einstellungen im Menü \"Optionen\", um die "
                                          "Bestenliste zu nutzen. Möglicherweise existiert die Datei noch nicht, "
                                          "weil noch niemand das Quiz durchgeführt hat.")});
    messages.clear();
    QVERIFY(!loadBestListWithRetries(unwritable, list, true, clock, messages));
    QCOMPARE(messages.texts(),
             QStringList{readErrorText(unwritable)
                         + QStringLiteral("\r\n\r\nMöglicherweise existiert die Datei noch nicht, weil noch kein "
                                          "Teilnehmer das Quiz beendet hat.")});
    QCOMPARE(messages.shown().first().kind, MessageKind::Error);

    // Success at once: no wait, no message.
    messages.clear();
    const int waitsBefore = int(clock.waits().size());
    QVERIFY(saveBestListEntryWithRetries(path(QStringLiteral("ok.hsc")), entry("a", 1, 1), false, clock, messages));
    QCOMPARE(int(clock.waits().size()), waitsBefore);
    QVERIFY(messages.shown().isEmpty());
}

void TestBestList::showCommands()
{
    FakeClock clock;
    ScriptedMessages messages;
    QTemporaryDir dir;
    BestListPlaces places{dir.path() + QStringLiteral("/"), dir.path() + QStringLiteral("/kom/"),
                          QStringLiteral("TSR-1")};
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("kom")));
    TopicDocument doc;
    BestList list{entry("alt", 1, 1)};

    // No document open.
    QVERIFY(!BestListCommand(nrOwnQuiz, doc, places, list, clock, messages));
    QCOMPARE(messages.texts(),
             QStringList{"Bitte zuerst über das Menü \"Quizauswahl\" das gewünschte Quiz auswählen."});

    // The participant only gets the information.
    messages.clear();
    doc.fileName = dir.path() + QStringLiteral("/europa.tsr");
    doc.titel = QStringLiteral("Europa");
    QVERIFY(!BestListCommand(nrParticipant, doc, places, list, clock, messages));
    QCOMPARE(messages.texts(),
             QStringList{"Während der Netzwerk-Übung ist die Bestenliste der Individual-Übung nicht einsehbar."});

    // No file yet: the information, then the window with an empty list.
    messages.clear();
    QVERIFY(BestListCommand(nrOwnQuiz, doc, places, list, clock, messages));
    QVERIFY(list.isEmpty());
    QCOMPARE(messages.texts(),
             QStringList{"Zu diesem Quiz gibt es bisher keine Einträge in der Bestenliste. Überprüfen Sie ggf. die "
                         "Einstellungen im Menü \"Optionen\", um die Bestenliste zu nutzen."});
    messages.clear();
    QVERIFY(NetworkBestListCommand(doc, places, list, clock, messages));
    QCOMPARE(messages.texts(), QStringList{"Die Bestenliste zur aktuellen Netzwerk-Übung enthält noch keine Einträge."});

    // With entries: loaded and ranked; the finished dialog picks the list by role.
    QVERIFY(appendBestListEntry(places.individualPath(doc), entry("langsam", 0.9, 9000), clock));
    QVERIFY(appendBestListEntry(places.individualPath(doc), entry("schnell", 0.9, 3000), clock));
    QVERIFY(EnterNetworkResult(entry("netz", 0.4, 1), places, clock, messages));
    QVERIFY(QFileInfo::exists(dir.path() + QStringLiteral("/kom/TSR-1-tsrnetzuebung.hsc")));
    messages.clear();
    QVERIFY(FinishedDialogBestListCommand(nrOwnQuiz, doc, places, list, clock, messages));
    QCOMPARE(nameList(list), (QStringList{"schnell", "langsam"}));
    QVERIFY(FinishedDialogBestListCommand(nrInitiator, doc, places, list, clock, messages));
    QCOMPARE(nameList(list), QStringList{"netz"});
    QVERIFY(messages.shown().isEmpty());

    // A list that cannot be read: the message, and the window opens all the same.
    QVERIFY(writeFile(places.individualPath(doc), "kaputt"));
    QVERIFY(BestListCommand(nrOwnQuiz, doc, places, list, clock, messages));
    QVERIFY(list.isEmpty());
    QCOMPARE(messages.shown().size(), 1);
    QVERIFY(messages.texts().first().startsWith(readErrorText(places.individualPath(doc))));
}

void TestBestList::enteringResults()
{
    FakeClock clock;
    ScriptedMessages messages;
    QTemporaryDir dir;
    BestListPlaces places{dir.path() + QStringLiteral("/"), QString(), QString()};
    TopicDocument doc;
    doc.fileName = QStringLiteral("/themen/europa.tsr");
    QuizRun run;
    run.participantName = QStringLiteral("Anna");
    run.elapsedMs = 5000;
    QuizScore score;
    score.totalPerformance = 0.5;
    const QString file = dir.path() + QStringLiteral("/europa.hsc");
    BestList list;

    // Automatic entry off: the button is offered; pressing it twice enters once.
    BestListEntryState state = EnterResultAtQuizEnd(run, score, false, doc, places, QStringLiteral("PC"), clock,
                                                    messages);
    QVERIFY(state.offerButton);
    QVERIFY(state.label.isEmpty());
    QVERIFY(!QFileInfo::exists(file));
    QCOMPARE(EnterResultOnRequest(run, score, doc, places, QStringLiteral("PC"), clock, messages),
             EnterResult::Entered);
    QVERIFY(run.bestListEntered);
    QCOMPARE(EnterResultOnRequest(run, score, doc, places, QStringLiteral("PC"), clock, messages),
             EnterResult::Entered);
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(list.size(), 1);

    // Automatic entry on.
    run.bestListEntered = false;
    state = EnterResultAtQuizEnd(run, score, true, doc, places, QStringLiteral("PC"), clock, messages);
    QCOMPARE(state.label, QStringLiteral("Das Ergebnis wurde in die Bestenliste eingetragen."));
    QVERIFY(!state.offerButton);
    QVERIFY(run.bestListEntered);
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(list.size(), 2);

    // Never a repetition of the wrong ones, never a network quiz: no entry, no button.
    for (auto [mode, role] : {std::pair{1, int(nrOwnQuiz)}, std::pair{0, int(nrParticipant)},
                              std::pair{0, int(nrInitiator)}}) {
        QuizRun other = run;
        other.bestListEntered = false;
        other.selectionMode = mode;
        other.networkRole = role;
        state = EnterResultAtQuizEnd(other, score, true, doc, places, QStringLiteral("PC"), clock, messages);
        QVERIFY(!state.offerButton);
        QVERIFY(state.label.isEmpty());
        QVERIFY(!other.bestListEntered);
        QCOMPARE(EnterResultOnRequest(other, score, doc, places, QStringLiteral("PC"), clock, messages),
                 EnterResult::NotAllowed);
    }
    // A random subset counts.
    run.bestListEntered = false;
    run.selectionMode = 2;
    QVERIFY(EnterResultAtQuizEnd(run, score, true, doc, places, QStringLiteral("PC"), clock, messages).offerButton
            == false);
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(list.size(), 3);
    QVERIFY(messages.shown().isEmpty());

    // Writing fails: the message, the button stays; the button then fails too.
    places.bestListFolder = dir.path() + QStringLiteral("/fehlt/");
    run.bestListEntered = false;
    state = EnterResultAtQuizEnd(run, score, true, doc, places, QStringLiteral("PC"), clock, messages);
    QVERIFY(state.offerButton);
    QVERIFY(!run.bestListEntered);
    QCOMPARE(messages.shown().size(), 1);
    QCOMPARE(EnterResultOnRequest(run, score, doc, places, QStringLiteral("PC"), clock, messages), EnterResult::Failed);
    QCOMPARE(messages.shown().size(), 2);
}

void TestBestList::folderRules_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("bestList");
    QTest::addColumn<int>("invalid");
    QTest::addColumn<QString>("protocolAfter");
    QTest::addColumn<QString>("bestListAfter");
    const QString d = m_dir.path();
    QTest::newRow("both completed") << d + "/p" << d + "/b" << int(ResultFolderCheck::None) << d + "/p/" << d + "/b/";
    QTest::newRow("already complete") << d + "/p/" << d + "/b/" << int(ResultFolderCheck::None) << d + "/p/"
                                      << d + "/b/";
    QTest::newRow("bad best list") << d + "/p" << d + "/nix" << int(ResultFolderCheck::BestList) << d + "/p/"
                                   << d + "/nix/";
    QTest::newRow("bad protocol stops first") << d + "/nix" << d + "/b" << int(ResultFolderCheck::Protocol)
                                              << d + "/nix/" << d + "/b";
    QTest::newRow("empty protocol") << QString() << d + "/b/" << int(ResultFolderCheck::Protocol) << QString()
                                    << d + "/b/";
    QTest::newRow("empty best list") << d + "/p/" << QString() << int(ResultFolderCheck::BestList) << d + "/p/"
                                     << QString();
    QTest::newRow("a file is no folder") << d + "/datei" << d + "/b/" << int(ResultFolderCheck::Protocol)
                                         << d + "/datei/" << d + "/b/";
}

void TestBestList::folderRules()
{
    QFETCH(QString, protocol);
    QFETCH(QString, bestList);
    QFETCH(int, invalid);
    QFETCH(QString, protocolAfter);
    QFETCH(QString, bestListAfter);
    QDir(m_dir.path()).mkpath(QStringLiteral("p"));
    QDir(m_dir.path()).mkpath(QStringLiteral("b"));
    QVERIFY(writeFile(m_dir.path() + QStringLiteral("/datei"), "x"));
    const ResultFolderCheck check = checkResultFolders(protocol, bestList);
    QCOMPARE(int(check.invalid), invalid);
    QCOMPARE(check.protocolText, protocolAfter);
    QCOMPARE(check.bestListText, bestListAfter);
    if (invalid == ResultFolderCheck::Protocol)
        QCOMPARE(check.errorText(), QStringLiteral("Der angegebene Ordner für die Protokolle ist ungültig."));
    else if (invalid == ResultFolderCheck::BestList)
        QCOMPARE(check.errorText(), QStringLiteral("Der angegebene Ordner für die Bestenlisten ist ungültig."));
    QVERIFY(!QFileInfo::exists(m_dir.path() + QStringLiteral("/nix"))); // never created
}

void TestBestList::lockIsHonouredAndFreedByDeath()
{
    FakeClock clock;
    const QString file = path(QStringLiteral("locked.hsc"));
    QVERIFY(appendBestListEntry(file, entry("vorher", 1, 1), clock));
    std::unique_ptr<QProcess> holder = startHolder(file, false);
    QVERIFY(holder);

    // Another process holds the lock: an attempt waits (on the clock) and then fails.
    const quint32 before = clock.tickCount();
    QVERIFY(!appendBestListEntry(file, entry("blockiert", 1, 1), clock));
    QVERIFY(quint32(clock.tickCount() - before) >= 3000);
    BestList list;
    QVERIFY(!readBestList(file, list, clock)); // readers wait for writers too
    QVERIFY(list.isEmpty());

    // The holder dies: the system frees its lock and the next attempt goes through.
    killProcess(*holder);
    QVERIFY(appendBestListEntry(file, entry("nachher", 1, 1), clock));
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(nameList(list), (QStringList{"vorher", "nachher"}));
}

void TestBestList::writerKilledWhileHoldingTornEntry()
{
    FakeClock clock;
    const QString file = path(QStringLiteral("dying.hsc"));
    QVERIFY(appendBestListEntry(file, entry("eins", 0.5, 1), clock));
    QVERIFY(appendBestListEntry(file, entry("zwei", 0.6, 1), clock));
    const qint64 intact = QFileInfo(file).size();
    std::unique_ptr<QProcess> holder = startHolder(file, true);
    QVERIFY(holder);
    QVERIFY(QFileInfo(file).size() > intact); // half an entry is in the file now
    killProcess(*holder);

    BestList list;
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(nameList(list), (QStringList{"eins", "zwei"}));
    QVERIFY(appendBestListEntry(file, entry("drei", 0.7, 1), clock));
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(nameList(list), (QStringList{"eins", "zwei", "drei"}));
}

void TestBestList::concurrentWriters()
{
    const QString file = path(QStringLiteral("gemeinsam.hsc"));
    constexpr int writers = 8;
    constexpr int perWriter = 200;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int w = 0; w < writers; ++w) {
        auto process = std::make_unique<QProcess>();
        process->start(writerPath(), {QStringLiteral("append"), file, QString::number(perWriter),
                                      QStringLiteral("w") + QString::number(w)});
        QVERIFY(process->waitForStarted(10000));
        processes.push_back(std::move(process));
    }
    for (auto &process : processes) {
        QVERIFY(process->waitForFinished(240000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
    }

    FakeClock clock;
    BestList list;
    QVERIFY(readBestList(file, list, clock));
    QCOMPARE(list.size(), writers * perWriter);
    // Every entry intact, each writer's entries complete and in its own order.
    QList<int> next(writers, 0);
    for (const BestListEntry &e : list) {
        const QStringList parts = e.name.split(QLatin1Char('-'));
        QCOMPARE(parts.size(), 2);
        const int w = parts.at(0).mid(1).toInt();
        const int i = parts.at(1).toInt();
        QVERIFY(w >= 0 && w < writers);
        QCOMPARE(i, next[w]++);
        QCOMPARE(e.computer, QStringLiteral("Rechner w") + QString::number(w));
        QCOMPARE(e.durationMs, 1000 * i + 7);
        QCOMPARE(e.performance, (i % 101) / 100.0);
        QCOMPARE(e.start, 46000.0 + i / 1440.0);
    }
    QCOMPARE(next, QList<int>(writers, perWriter));
    // The file holds exactly the head and the entries, nothing torn or doubled.
    qint64 expectedSize = head().bytes().size();
    for (const BestListEntry &e : list)
        expectedSize += encodeBestListEntry(e).size();
    QCOMPARE(QFileInfo(file).size(), expectedSize);
}

void TestBestList::writerKilledAtRandom()
{
    const QString file = path(QStringLiteral("abgebrochen.hsc"));
    QProcess process;
    process.start(writerPath(), {QStringLiteral("append"), file, QStringLiteral("100000"), QStringLiteral("k0")});
    QVERIFY(process.waitForStarted(10000));
    // Let it write a good number of entries, then kill it wherever it is.
    int reported = -1;
    while (reported < 150) {
        QVERIFY(process.waitForReadyRead(20000));
        while (process.canReadLine())
            reported = process.readLine().trimmed().toInt();
    }
    killProcess(process);

    FakeClock clock;
    BestList list;
    QVERIFY(readBestList(file, list, clock));
    QVERIFY(list.size() >= reported + 1);
    for (int i = 0; i < list.size(); ++i)
        QCOMPARE(list.at(i).name, QStringLiteral("k0-") + QString::number(i));
    QVERIFY(appendBestListEntry(file, entry(QStringLiteral("danach"), 1, 1), clock));
    BestList after;
    QVERIFY(readBestList(file, after, clock));
    QCOMPARE(after.size(), list.size() + 1);
    QCOMPARE(after.last().name, QStringLiteral("danach"));
    qInfo("writer killed after %d reported entries; %d entries read back", reported + 1, int(list.size()));
}

void TestBestList::toolPrintsSavedText()
{
    const QString tool = qEnvironmentVariable("KAPITOLO_TOOL");
    QVERIFY(!tool.isEmpty());
    FakeClock clock;
    const QString file = path(QStringLiteral("tool.hsc"));
    QVERIFY(appendBestListEntry(file, entry(QStringLiteral("Jürgen"), 0.5, 61999), clock));
    QVERIFY(appendBestListEntry(file, entry(QStringLiteral("Zoë"), 0.95, 120000), clock));

    QProcess process;
    process.start(tool, {QStringLiteral("bestlist"), file});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    BestList list;
    QVERIFY(readBestList(file, list, clock));
    rankBestList(list);
    const QByteArray out = process.readAllStandardOutput();
    QCOMPARE(out, toCp1252(bestListText(bestListRows(list))));
    QVERIFY(out.startsWith("Pos.\tName\tRechner\tLeistung\tZeit (Min:Sek)\tDatum/Uhrzeit (Ende)\r\n"
                           "1\tZo\xeb\tPC-Zo\xeb\t95.0 %\t02:00\t"));
    QVERIFY(out.contains("\r\n2\tJ\xfcrgen\tPC-J\xfcrgen\t50.0 %\t01:01\t"));

    const QString bad = path(QStringLiteral("kaputt.hsc"));
    QVERIFY(writeFile(bad, "keine Bestenliste"));
    process.start(tool, {QStringLiteral("bestlist"), bad});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QString expected = readErrorText(bad);
    expected.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()).trimmed(), expected);
}

QTEST_GUILESS_MAIN(TestBestList)
#include "tst_best_list.moc"
