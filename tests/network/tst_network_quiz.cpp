#include "network/control_board.h"
#include "network/exchange_files.h"
#include "network/network_quiz.h"
#include "network/network_reports.h"
#include "network/network_test_support.h"
#include "results/best_list.h"
#include "support/test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

const QString kKey = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZABCD");
const QString kOtherKey = QStringLiteral("ZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ");

// The communication folder of one test and its channel.
struct Classroom {
    QTemporaryDir dir;
    QString folder = dir.path() + QStringLiteral("/kom/");
    QString channel = freeChannel();

    Classroom() { QDir().mkpath(folder); }
    QString path(const char *fixedName) const { return exchangeFilePath(folder, channel, fixedName); }

    // What an initiation on the computer "LEHRER" leaves in the folder.
    void openExercise(const QuizOptions &options, const QString &initiator = QStringLiteral("LEHRER")) const
    {
        TopicDocument d = sampleLabelDocument();
        ScriptedMessages m;
        QVERIFY(writeDocument(path(kExchangeDocument), d, false, m));
        QVERIFY(writeOptionFile(path(kExchangeOptions), NetworkOptionFile::fromQuizOptions(options, dtImageLabelling,
                                                                                           initiator)));
        QVERIFY(writeMarkerFile(path(kExchangeMarker)));
    }
    QStringList files() const { return QDir(folder).entryList(QDir::Files); }
};

std::unique_ptr<Station> pupil(const Classroom &room)
{
    return std::make_unique<Station>(room.folder, room.channel,
                                     testHost(QStringLiteral("PC-07"), QStringLiteral("anna"), QStringLiteral("127.0.0.3")));
}

std::unique_ptr<Station> teacher(const Classroom &room)
{
    auto s = std::make_unique<Station>(room.folder, room.channel,
                                       testHost(QStringLiteral("LEHRER"), QStringLiteral("lehrer"),
                                                QStringLiteral("127.0.0.2")));
    s->doc = sampleLabelDocument();
    s->doc.fileName = room.dir.path() + QStringLiteral("/hauptstaedte.tsr");
    return s;
}

QuizOptions plainOptions()
{
    QuizOptions o;
    o.tileOrder = 0;
    o.positionOrder = 0;
    return o;
}

QString report(const QStringList &lines)
{
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString initReport(const QString &key)
{
    return report({QStringLiteral("TN-INIT"), key, QString(), QStringLiteral("10:00:00")});
}

QString actionReport(const QString &key, int correct, int failed, int open)
{
    return report({QStringLiteral("TN-AKTION"), key, QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                   QStringLiteral("0"), QStringLiteral("10:00:00"), QStringLiteral("3"), QString::number(correct),
                   QString::number(failed), QString::number(open), QStringLiteral("00:42"), QStringLiteral("75.0"),
                   QStringLiteral("75.0"), QStringLiteral("2")});
}

QString bestListReport(const QString &key, const QString &start, const QString &performance)
{
    return report({QStringLiteral("TN-BESTLIST"), key, QString(), QStringLiteral("PC-07"), start,
                   QStringLiteral("61999"), performance});
}

} // namespace

class TestNetworkQuiz : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // --- the teacher's commands -----------------------------------------------------

    void initiationWritesTheExercise_data()
    {
        QTest::addColumn<int>("dokTyp");
        QTest::addColumn<QByteArray>("optionBytes");
        const QByteArray fields = "NetzUebungMaster|RiFaRueckmeldungItemIndex|ZuordnungRichtigItemIndex|"
                                  "ZuordnungFalschItemIndex|ZuordnungstexteItemIndex|ZuordnungszieleItemIndex|"
                                  "AbfrageModusItemIndex|ZeitLimitIndex|ZeitLimitWert|";
        auto head = [&] { return RawFile().string("tsrnetzuebung.dat").string(fields).string("LEHRER"); };
        // Feedback at the end is never passed on; single questions have no correct-answer
        // behaviour and no query mode.
        QTest::newRow("labels") << int(dtImageLabelling)
                                << head().int32(0).int32(1).int32(1).int32(0).int32(2).int32(2).int32(1).int32(125).bytes();
        QTest::newRow("single questions")
            << int(dtSingleQuestions) << head().int32(0).int32(0).int32(1).int32(0).int32(2).int32(0).int32(1).int32(125).bytes();
    }
    void initiationWritesTheExercise()
    {
        QFETCH(int, dokTyp);
        QFETCH(QByteArray, optionBytes);
        Classroom room;
        auto t = teacher(room);
        t->doc.DokTyp = dokTyp;
        t->netFrontend.options = QuizOptions{1, 1, 1, 0, 2, 2, 1, 125};
        writeFile(room.path(kExchangeBestList), "alte Liste");
        t->network->Initiate();
        QVERIFY(t->messages.shown().isEmpty());
        QCOMPARE(readFile(room.path(kExchangeOptions)), optionBytes);
        NetworkOptionFile read;
        QVERIFY(readOptionFile(room.path(kExchangeOptions), read));
        QCOMPARE(read.quizOptions().feedbackAtEnd, 0);
        TopicDocument copy;
        TopicNavigation nav;
        QCOMPARE(readDocument(room.path(kExchangeDocument), copy, nav, t->messages), ReadResult::Ok);
        QCOMPARE(copy.titel, t->doc.titel);
        QVERIFY(t->doc.fileName.endsWith(QLatin1String("hauptstaedte.tsr"))); // the open document keeps its name
        QVERIFY(QFileInfo::exists(room.path(kExchangeMarker)));
        QVERIFY(!QFileInfo::exists(room.path(kExchangeBestList))); // a new exercise, a new list
        QCOMPARE(t->netFrontend.events, QStringList({"options", "clearBestList", "controlDisplay"}));
        QCOMPARE(t->network->role(), int(nrInitiator));
        QVERIFY(t->network->masterMailslot().Active());
        QCOMPARE(t->network->masterMailslot().MailBox(), room.channel);
        QCOMPARE(t->engine.appMode(), int(amLearningView)); // no quiz on the teacher's computer
        // The teacher's own quiz is refused while the exercise runs.
        QVERIFY(!t->engine.StartQuiz(0, nrOwnQuiz));
        QVERIFY(t->messages.texts().last().startsWith(QStringLiteral("Auf diesem Rechner wurde eine Netzwerk-Übung")));
    }

    void initiationThatStops_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("filesLeft");
        QTest::newRow("dialog closed") << "closed" << QString() << QStringList();
        QTest::newRow("no document") << "nodoc" << "Bitte zuerst über das Menü \"Quizauswahl\" das gewünschte Quiz auswählen."
                                     << QStringList();
        QTest::newRow("label editor") << "editor" << "Bitte zuerst den Beschriftungseditor schließen." << QStringList();
        // The marker comes last: with the options unwritten there is no open exercise.
        QTest::newRow("option file not writable") << "dat" << "write-error" << QStringList{"tsrnetzuebung.tsr"};
        QTest::newRow("channel in use") << "port" << "port" << QStringList();
    }
    void initiationThatStops()
    {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QFETCH(QStringList, filesLeft);
        Classroom room;
        auto t = teacher(room);
        QUdpSocket blocker;
        if (setup == QLatin1String("closed"))
            t->netFrontend.acceptOptions = false;
        else if (setup == QLatin1String("nodoc"))
            t->doc = TopicDocument();
        else if (setup == QLatin1String("editor"))
            t->netFrontend.editorOpen = true;
        else if (setup == QLatin1String("dat"))
            QDir().mkpath(room.path(kExchangeOptions)); // a folder where the file should go
        else if (setup == QLatin1String("port"))
            QVERIFY(blocker.bind(QHostAddress(QStringLiteral("127.0.0.2")), mailslotPort(room.channel)));
        t->network->Initiate();
        if (message == QLatin1String("write-error"))
            message = writeErrorText(room.path(kExchangeOptions));
        else if (message == QLatin1String("port"))
            message = QStringLiteral("Die Netzwerk-Übung kann nicht initiiert werden: Der Kommunikationskanal \"")
                + room.channel
                + QStringLiteral("\" wird auf diesem Rechner bereits von einem anderen Programm verwendet, so dass die "
                                 "Meldungen der Teilnehmer nicht empfangen werden könnten.\r\nBeenden Sie das andere "
                                 "Programm oder wählen Sie unter \"Optionen | Netzwerk-Kommunikation\" einen anderen "
                                 "Kanal.");
        QCOMPARE(t->messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QStringList left;
        for (const QString &f : room.files())
            left << f.mid(room.channel.size() + 1);
        QCOMPARE(left, filesLeft);
        QCOMPARE(t->network->role(), int(nrOwnQuiz));
        QVERIFY(!t->network->masterMailslot().Active());
    }

    void endingAndExit()
    {
        Classroom room;
        auto t = teacher(room);
        t->clock.setNow(46000.25);
        t->network->EndExercise();
        QCOMPARE(t->messages.texts(), QStringList{QStringLiteral("Es ist keine Netzwerk-Übung aktiv.")});

        t->network->Initiate();
        t->network->MasterMailslotNewMessage(QStringLiteral("PC-07"), QStringLiteral("anna"), initReport(kKey));
        t->messages.clear();
        t->messages.setNextAnswer(MessageAnswer::No);
        t->network->EndExercise();
        QCOMPARE(t->messages.texts(),
                 QStringList{QStringLiteral("Netzwerk-Übung beenden?\r\nÜbungsteilnehmer können die laufende Übung noch "
                                            "zu Ende bearbeiten, die Kontrollanzeige wird jedoch nicht mehr "
                                            "aktualisiert.")});
        QCOMPARE(t->messages.shown().first().buttons, MessageButtons::YesNo);
        QCOMPARE(t->network->role(), int(nrInitiator));
        QCOMPARE(room.files().size(), 3);

        writeFile(room.path(kExchangeBestList), "Liste");
        t->network->EndExercise(); // Yes
        QCOMPARE(t->network->role(), int(nrOwnQuiz));
        QVERIFY(!t->network->masterMailslot().Active());
        QCOMPARE(room.files(), QStringList{room.channel + QStringLiteral("-tsrnetzuebung.hsc")});
        // The results of the class are kept in the protocol folder, beside the journal of
        // the exercise, both for the teacher's eyes only.
        const QString stem = t->netFrontend.protocols + QStringLiteral("Netzwerk-Uebung-") + room.channel;
        // Beside the results, the item figures of the same moment.
        QCOMPARE(QDir(t->netFrontend.protocols).entryList({QStringLiteral("*.csv")}, QDir::Files),
                 QStringList({QFileInfo(stem + QStringLiteral("-20251209-060001-Aufgaben.csv")).fileName(),
                              QFileInfo(stem + QStringLiteral("-20251209-060001.csv")).fileName()}));
        const QStringList journals = QDir(t->netFrontend.protocols).entryList({QStringLiteral("*.journal")}, QDir::Files);
        QCOMPARE(journals, QStringList{QFileInfo(stem + QStringLiteral("-20251209-060001.journal")).fileName()});
        for (const QString &file : QStringList{stem + QStringLiteral("-20251209-060001.csv"),
                                               stem + QStringLiteral("-20251209-060001.journal"),
                                               stem + QStringLiteral("-20251209-060001-Aufgaben.csv")})
            QCOMPARE(QFileInfo(file).permissions() & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                     QFile::Permissions());
        JournalContents journal;
        QVERIFY(readJournal(stem + QStringLiteral("-20251209-060001.journal"), journal));
        QCOMPARE(journal.records.size(), 3); // initiation, the pupil's report, the end
        QCOMPARE(journal.records.last().kind, JournalRecord::Kind::Ended);

        // A pupil's exit leaves the exercise to the class; the teacher's exit closes it.
        t->network->Initiate();
        auto p = pupil(room);
        p->network->cleanUpAtExit();
        QCOMPARE(room.files().size(), 3);
        t->network->cleanUpAtExit();
        QCOMPARE(room.files(), QStringList{});
        QVERIFY(!t->network->masterMailslot().Active());
        QCOMPARE(QDir(t->netFrontend.protocols).entryList({QStringLiteral("*.csv")}, QDir::Files).size(), 2); // nobody reported this time
    }

    // --- the pupil's side -----------------------------------------------------------

    void refusalsOfParticipate_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message");
        QTest::newRow("quiz running") << "quiz"
                                      << "Um an einer Netzwerk-Übung teilnehmen zu können, muss die aktuelle Übung "
                                         "zunächst beendet werden. Wählen Sie \"Übung abbrechen\", um die aktuelle "
                                         "Übung vorzeitig abzubrechen.";
        QTest::newRow("initiator") << "initiator"
                                   << "Die Netzwerk-Übung wurde auf diesem Rechner initiiert. Die Teilnahme an der "
                                      "Netzwerk-Übung muss an einem anderen Rechner erfolgen.";
        QTest::newRow("label editor") << "editor" << "Bitte zuerst den Beschriftungseditor schließen.";
        QTest::newRow("no exercise") << "none"
                                     << "Zurzeit ist keine Netzwerk-Übung geöffnet.\r\nBitte warten Sie, bis die "
                                        "Lehrkraft die Netzwerk-Übung initiiert hat. Prüfen Sie ggf. unter \"Optionen | "
                                        "Netzwerk-Kommunikation\", ob hier derselbe Kommunikationsordner und Kanal "
                                        "eingestellt ist wie am Rechner der Lehrkraft.";
        QTest::newRow("marker missing") << "nomarker" << "Zurzeit ist keine Netzwerk-Übung geöffnet.\r\nBitte warten "
                                                         "Sie, bis die Lehrkraft die Netzwerk-Übung initiiert hat. "
                                                         "Prüfen Sie ggf. unter \"Optionen | Netzwerk-Kommunikation\", "
                                                         "ob hier derselbe Kommunikationsordner und Kanal eingestellt "
                                                         "ist wie am Rechner der Lehrkraft.";
        QTest::newRow("option file broken") << "brokendat" << "read-error";
        QTest::newRow("teacher unknown") << "unknown"
                                         << "Der Rechner der Lehrkraft (\"NIRGENDWO\") ist von diesem Rechner aus nicht "
                                            "erreichbar. Die Teilnahme an der Netzwerk-Übung ist nicht möglich, weil "
                                            "die Ergebnisse nicht übermittelt werden könnten.\r\nBitte prüfen Sie die "
                                            "Netzwerkverbindung oder wenden Sie sich an die Lehrkraft.";
    }
    void refusalsOfParticipate()
    {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        Classroom room;
        RawTeacher listener(room.channel);
        QVERIFY(listener.bound);
        room.openExercise(plainOptions(), setup == QLatin1String("unknown") ? QStringLiteral("NIRGENDWO")
                                                                           : QStringLiteral("LEHRER"));
        auto p = pupil(room);
        if (setup == QLatin1String("quiz")) {
            p->doc = sampleLabelDocument();
            QVERIFY(p->engine.StartQuiz(0, nrOwnQuiz));
        } else if (setup == QLatin1String("initiator")) {
            p->engine.setExerciseInitiated(true);
        } else if (setup == QLatin1String("editor")) {
            p->netFrontend.editorOpen = true;
        } else if (setup == QLatin1String("none")) {
            QFile::remove(room.path(kExchangeDocument));
        } else if (setup == QLatin1String("nomarker")) {
            QFile::remove(room.path(kExchangeMarker));
        } else if (setup == QLatin1String("brokendat")) {
            writeFile(room.path(kExchangeOptions), readFile(room.path(kExchangeOptions)).left(40));
            message = QStringLiteral("Fehler beim Einlesen der Datei \"") + room.path(kExchangeOptions) + QLatin1Char('"');
        }
        p->network->Participate();
        QCOMPARE(p->messages.texts(), QStringList{message});
        QVERIFY(listener.take().isEmpty()); // the teacher heard nothing
        QVERIFY(p->engine.run().networkRole != nrParticipant);
    }

    void reportsOfEachEnd_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("finished") << "finished";
        QTest::newRow("cancelled") << "cancelled";
        QTest::newRow("time limit") << "time limit";
        QTest::newRow("window closed") << "window closed";
    }
    void reportsOfEachEnd()
    {
        QFETCH(QString, end);
        const bool limit = end == QLatin1String("time limit");
        Classroom room;
        RawTeacher listener(room.channel);
        QVERIFY(listener.bound);
        QuizOptions options = plainOptions();
        options.timeLimitOn = limit ? 1 : 0;
        options.timeLimitSeconds = 60;
        room.openExercise(options);
        auto p = pupil(room);
        p->clock.setNow(46000.25);
        p->network->Participate();
        QVERIFY(p->messages.shown().isEmpty());
        QCOMPARE(p->engine.run().networkRole, int(nrParticipant));
        QVERIFY(p->network->tnMailslot().Active());
        const QString key = p->network->participantKey();
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Z]{30}$")).match(key).hasMatch());
        QCOMPARE(listener.take(), QList<QStringList>({{"PC-07", "TN-INIT", key, "", "06:00:01"}}));

        auto action = [&](const char *hit, const char *cover, const char *failedAttempts, const char *correct,
                          const char *failed, const char *open, const char *clock, const char *success,
                          const char *total, const char *grade) {
            return QStringList{"PC-07", "TN-AKTION", key, hit, cover, failedAttempts, "0", "06:00:01", "3",
                               correct, failed, open, clock, success, total, grade};
        };
        p->clock.advance(5000);
        p->drop(QStringLiteral("Berlin"), QStringLiteral("Rio de Janeiro"));
        p->clock.advance(5000);
        p->drop(QStringLiteral("Berlin"), QStringLiteral("Berlin"));
        QCOMPARE(listener.take(),
                 QList<QStringList>({action("1", "-5", "1", "0", "1", "3", limit ? "00:55" : "00:05", "0.0", "0.0", "6"),
                                     action("0", "0", "0", "1", "1", "2", limit ? "00:50" : "00:10", "50.0", "25.0", "5")}));

        auto bestList = [&](const char *elapsed, const char *performance) {
            return QStringList{"PC-07", "TN-BESTLIST", key, "", "PC-07", "46000,2500115741", elapsed, performance};
        };
        if (end == QLatin1String("finished")) {
            p->clock.advance(5000);
            p->drop(QStringLiteral("Rio de Janeiro"), QStringLiteral("Rio de Janeiro"));
            p->clock.advance(5000);
            p->drop(QStringLiteral("Bad\r\nEms"), QStringLiteral("Bad\r\nEms"));
            QCOMPARE(listener.take(), QList<QStringList>({action("1", "0", "1", "2", "1", "1", "00:15", "66.7", "50.0", "4"),
                                                          action("2", "0", "0", "3", "1", "0", "00:20", "75.0", "75.0", "2"),
                                                          {"PC-07", "TN-FERTIG", key, "1", "00:20"},
                                                          bestList("20900", "0,75")}));
            QVERIFY(p->clock.waits().contains(50));
            QCOMPARE(p->quizFrontend.finishedDialogs, 1);
        } else if (end == QLatin1String("cancelled")) {
            QVERIFY(p->engine.CancelQuiz());
            QCOMPARE(listener.take(), QList<QStringList>({{"PC-07", "TN-FERTIG", key, "2", "00:10"}}));
        } else if (limit) {
            QList<QList<QStringList>> atNotice;
            p->messages.onShow = [&](const QString &) { atNotice << listener.take(); };
            p->clock.advance(50000);
            p->engine.ZeitTimerTimer();
            QCOMPARE(p->messages.texts(), QStringList{QStringLiteral("Das Zeitlimit ist erreicht, die Übung wird beendet.")});
            // Before the notice, and again at the end of the quiz, both with endState 3.
            const QList<QList<QStringList>> expected{{{"PC-07", "TN-FERTIG", key, "3", "00:00"}, bestList("60300", "0,25")}};
            QCOMPARE(atNotice, expected);
            QCOMPARE(listener.take(), QList<QStringList>({{"PC-07", "TN-FERTIG", key, "3", "00:00"},
                                                          bestList("60350", "0,25")}));
        } else {
            p->network->prepareClose();
            QCOMPARE(listener.take(), QList<QStringList>({{"PC-07", "TN-FERTIG", key, "2", "00:10"}}));
            p->network->cleanUpAtExit();
            QCOMPARE(room.files().size(), 3);
        }
        // Whatever the end: back to the start page, no longer a participant.
        QVERIFY(!p->network->tnMailslot().Active());
        QCOMPARE(p->engine.run().networkRole, end == QLatin1String("window closed") ? int(nrParticipant) : int(nrOwnQuiz));
        if (end != QLatin1String("window closed"))
            QCOMPARE(p->netFrontend.events, QStringList({"open", "close"}));
    }

    void repeatJoinsAgainWithANewKey()
    {
        Classroom room;
        RawTeacher listener(room.channel);
        room.openExercise(plainOptions());
        auto p = pupil(room);
        p->quizFrontend.choices = {QuizFinishedChoice{true, 0}, QuizFinishedChoice{true, 0}, QuizFinishedChoice{}};
        p->network->Participate();
        const QString first = p->network->participantKey();
        for (const char *cap : {"Berlin", "Rio de Janeiro", "Bad\r\nEms"})
            p->drop(QLatin1String(cap), QLatin1String(cap));
        // The repetition joined afresh: a new TN-INIT under a new key, a new quiz.
        QCOMPARE(p->engine.run().networkRole, int(nrParticipant));
        QCOMPARE(p->engine.appMode(), int(amQuizRunning));
        const QString second = p->network->participantKey();
        QVERIFY(second != first);
        const QList<QStringList> sent = listener.take();
        QCOMPARE(sent.last().mid(1, 2), QStringList({"TN-INIT", second}));

        // The teacher ended the exercise meanwhile: the next repetition is refused.
        QFile::remove(room.path(kExchangeMarker));
        for (const char *cap : {"Berlin", "Rio de Janeiro", "Bad\r\nEms"})
            p->drop(QLatin1String(cap), QLatin1String(cap));
        QCOMPARE(p->messages.texts(),
                 QStringList{QStringLiteral("Eine Wiederholung der Netzwerk-Übung wurde nicht zugelassen.")});
        QCOMPARE(p->quizFrontend.finishedDialogs, 3);
        QCOMPARE(p->engine.run().networkRole, int(nrOwnQuiz));
        QVERIFY(!p->doc.isLoaded()); // back to the start page
    }

    void pupilsStartedAtTheSameMomentHaveKeysOfTheirOwn()
    {
        Classroom room;
        RawTeacher listener(room.channel);
        room.openExercise(plainOptions());
        // Both programs' generators are seeded alike, as two computers started in the same
        // millisecond would be.
        auto first = pupil(room);
        auto second = pupil(room);
        first->network->Participate();
        second->network->Participate();
        QCOMPARE(first->engine.run().networkRole, int(nrParticipant));
        QCOMPARE(second->engine.run().networkRole, int(nrParticipant));
        QVERIFY(first->network->participantKey() != second->network->participantKey());
        QCOMPARE(listener.take().size(), 2);
    }

    // --- the teacher's bookkeeping --------------------------------------------------

    void reportNumbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("day number") << 46000.5 << "46000,5";
        QTest::newRow("fraction") << 0.85 << "0,85";
        QTest::newRow("one") << 1.0 << "1";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("third") << 1.0 / 3.0 << "0,333333333333333";
        QTest::newRow("tiny") << 0.000001 << "1E-6";
        QTest::newRow("time") << 45123.456789 << "45123,456789";
    }
    void reportNumbers()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(reportFloat(value), text);
        double back = -1;
        QVERIFY(parseReportFloat(text, back));
        QVERIFY(qAbs(back - value) <= 1e-14 * qMax(1.0, value));
        QString point = text;
        point.replace(QLatin1Char(','), QLatin1Char('.'));
        QVERIFY(parseReportFloat(point, back));
        QVERIFY(qAbs(back - value) <= 1e-14 * qMax(1.0, value));
    }

    void malformedReportsAreDiscarded_data()
    {
        QTest::addColumn<QString>("text");
        const QString good = actionReport(kKey, 1, 0, 2);
        // The good report with one line replaced.
        auto withLine = [&](int line, const QString &value) {
            QStringList lines = good.split(QStringLiteral("\r\n"));
            lines[line] = value;
            return lines.join(QStringLiteral("\r\n"));
        };
        QTest::newRow("line missing") << good.section(QStringLiteral("\r\n"), 0, 13) + QStringLiteral("\r\n");
        QTest::newRow("line too many") << good + QStringLiteral("x\r\n");
        QTest::newRow("no final line end") << good.chopped(2);
        QTest::newRow("LF line ends") << QString(good).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QTest::newRow("short key") << QString(good).replace(kKey, kKey.left(29));
        QTest::newRow("lower-case key") << QString(good).replace(kKey, kKey.toLower());
        QTest::newRow("unknown kind") << QString(good).replace(QStringLiteral("TN-AKTION"), QStringLiteral("TN-HALLO"));
        QTest::newRow("correct above count") << actionReport(kKey, 4, 0, 0);
        QTest::newRow("number with blank") << withLine(7, QStringLiteral(" 3"));
        QTest::newRow("huge number") << withLine(9, QStringLiteral("99999999999"));
        QTest::newRow("negative count") << withLine(9, QStringLiteral("-1"));
        QTest::newRow("open above count") << withLine(10, QStringLiteral("4"));
        QTest::newRow("cover state 1") << withLine(3, QStringLiteral("1"));
        QTest::newRow("percent with comma") << withLine(12, QStringLiteral("75,0"));
        QTest::newRow("percent above 100") << withLine(13, QStringLiteral("100.1"));
        QTest::newRow("grade 7") << withLine(14, QStringLiteral("7"));
        QTest::newRow("bad clock") << withLine(11, QStringLiteral("0:42"));
        QTest::newRow("oversized") << withLine(6, QString(3000, QLatin1Char('x')));
        QTest::newRow("finish 0") << report({"TN-FERTIG", kKey, "0", "00:10"});
        QTest::newRow("performance above 1") << bestListReport(kKey, "46000,5", "1,5");
        QTest::newRow("start not a number") << bestListReport(kKey, "gestern", "0,5");
        QTest::newRow("two separators") << bestListReport(kKey, "46.000,5", "0,5");
        QTest::newRow("empty") << QString();
        // Well formed, but from a key that never announced itself in this exercise.
        QTest::newRow("unannounced key") << actionReport(kOtherKey, 1, 0, 2);
        QTest::newRow("unannounced result") << bestListReport(kOtherKey, "46000,5", "0,5");
    }
    void malformedReportsAreDiscarded()
    {
        QFETCH(QString, text);
        ControlBoard board;
        QVERIFY(board.handleReport("PC-07", "anna", initReport(kKey), 46000.5).accepted);
        QVERIFY(board.handleReport("PC-07", "anna", actionReport(kKey, 1, 0, 2), 46000.5).accepted);
        const QList<ParticipantRow> before = board.rows();
        const ControlBoard::Outcome outcome = board.handleReport("PC-07", "anna", text, 46000.6);
        QVERIFY(!outcome.accepted);
        QVERIFY(!outcome.bestListEntry);
        QCOMPARE(board.discardedCount(), 1);
        QCOMPARE(board.rows().size(), 1);
        QCOMPARE(board.rows().first().correct, before.first().correct);
        QCOMPARE(board.rows().first().lastReport, 46000.5);
        QCOMPARE(board.countsText(),
                 QStringLiteral("Teilnehmer: 1    laufend: 1    beendet: 0    verworfene Meldungen: 1"));
    }

    void resultsEnterTheNetworkBestListOnce_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("performance");
        // Computers of one class may be set up with different locales.
        QTest::newRow("decimal comma") << "46000,5" << "0,875";
        QTest::newRow("decimal point") << "46000.5" << "0.875";
        QTest::newRow("exponent") << "4,60005E4" << "8,75E-1";
    }
    void resultsEnterTheNetworkBestListOnce()
    {
        QFETCH(QString, start);
        QFETCH(QString, performance);
        Classroom room;
        auto t = teacher(room);
        t->network->Initiate();
        auto deliver = [&](const QString &text) {
            t->network->MasterMailslotNewMessage(QStringLiteral("PC-07"), QStringLiteral("anna"), text);
        };
        deliver(initReport(kKey));
        deliver(actionReport(kKey, 3, 1, 0));
        deliver(report({"TN-FERTIG", kKey, "3", "00:00"}));
        deliver(bestListReport(kKey, start, performance));
        deliver(report({"TN-FERTIG", kKey, "3", "00:00"})); // the time limit reports twice
        deliver(bestListReport(kKey, start, performance));
        // A late result of an earlier exercise on this channel.
        deliver(bestListReport(kOtherKey, start, performance));
        // A datagram that overtook the end report changes nothing.
        deliver(actionReport(kKey, 2, 1, 1));

        BestList list;
        QVERIFY(readBestList(room.path(kExchangeBestList), list, t->clock));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first().name, QStringLiteral("(kein Name)"));
        QCOMPARE(list.first().computer, QStringLiteral("PC-07"));
        QCOMPARE(list.first().start, 46000.5);
        QCOMPARE(list.first().durationMs, 61999);
        QCOMPARE(list.first().performance, 0.875);
        const ParticipantRow &row = t->network->board().rows().first();
        QCOMPARE(row.state, ParticipantRow::State::TimeLimit);
        QCOMPARE(row.computer, QStringLiteral("PC-07"));
        QCOMPARE(row.user, QStringLiteral("anna"));
        QCOMPARE(row.correct, 3);
        QCOMPARE(t->network->board().cellText(0, ControlBoard::ColTotalPerformance), QStringLiteral("87.5 %"));
        QCOMPARE(t->network->board().discardedCount(), 1);
        QVERIFY(t->messages.shown().isEmpty());
    }

    // A pupil's result does not hang on one datagram: with every report after the first
    // answer lost, the result file in the exchange folder still brings the pupil into
    // the network best list and the results file, once, and goes with the clean-up.
    void resultWithoutItsDatagrams()
    {
        Classroom room;
        auto t = teacher(room);
        t->netFrontend.options = plainOptions();
        t->network->Initiate();
        auto p = pupil(room);
        p->network->Participate();
        QVERIFY(p->messages.shown().isEmpty());
        p->drop(QStringLiteral("Berlin"), QStringLiteral("Berlin"));
        QTRY_COMPARE(t->network->board().acceptedCount(), 2);
        t->network->masterMailslot().setActive(false); // the network swallows the rest
        p->drop(QStringLiteral("Rio de Janeiro"), QStringLiteral("Rio de Janeiro"));
        p->drop(QStringLiteral("Bad\r\nEms"), QStringLiteral("Bad\r\nEms"));
        QCOMPARE(p->engine.run().endState, int(esFinished));

        const QString key = p->network->participantKey();
        const QString erg = participantResultPath(room.folder, room.channel, key);
        QCOMPARE(QFileInfo(erg).fileName(), room.channel + QStringLiteral("-tsrnetzuebung-") + key + QStringLiteral(".erg"));
        const QByteArray bytes = readFile(erg);
        // The payload lines of TN-BESTLIST alone, each ended by CR LF: no header lines.
        QVERIFY2(bytes.startsWith(QByteArray("TN-BESTLIST\r\n" + key.toLatin1() + "\r\n\r\nPC-07\r\n")), bytes.constData());
        QCOMPARE(bytes.count("\r\n"), 7);
        QVERIFY(bytes.endsWith(",\r\n") || bytes.endsWith("1\r\n"));

        t->network->masterMailslot().setActive(true);
        t->network->collectResultFiles();
        t->network->collectResultFiles(); // the same file twice counts once
        BestList list;
        QVERIFY(readBestList(room.path(kExchangeBestList), list, t->clock));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first().computer, QStringLiteral("PC-07"));
        QCOMPARE(list.first().performance, 1.0);
        QCOMPARE(t->network->board().rows().first().correct, 1); // the answers' datagrams stay lost
        QCOMPARE(t->network->board().cellText(0, ControlBoard::ColTotalPerformance), QStringLiteral("100.0 %"));
        QVERIFY(t->messages.shown().isEmpty());

        t->network->EndExercise();
        QVERIFY(!QFileInfo::exists(erg));
        QVERIFY(t->network->lastResultsFile().endsWith(QLatin1String(".csv")));
        const QString csv = QString::fromUtf8(readFile(t->network->lastResultsFile()));
        QVERIFY2(csv.contains(QStringLiteral(";100,0;")), qPrintable(csv));
        // The one answer that arrived, on Berlin (object 0), with the document's caption.
        QCOMPARE(readFile(t->network->lastResultsFile().chopped(4) + QStringLiteral("-Aufgaben.csv")),
                 QByteArray("\xEF\xBB\xBFObjekt;Aufgabe;Beantwortet;Richtig beim ersten Versuch;Gel\xC3\xB6st;Fehlversuche;"
                            "Quote beim ersten Versuch (%)\r\n0;Berlin;1;1;1;0;100,0\r\n"));
    }

    // The teacher's program goes down mid-exercise and starts again: it asks, takes the
    // exercise up from its journal, accepts the keys from before and collects the result
    // of a pupil who finished meanwhile; "Nein" ends the exercise with its results file.
    void teacherTakesTheExerciseUpAgain_data()
    {
        QTest::addColumn<bool>("resume");
        QTest::newRow("Ja") << true;
        QTest::newRow("Nein") << false;
    }
    void teacherTakesTheExerciseUpAgain()
    {
        QFETCH(bool, resume);
        Classroom room;
        auto t = teacher(room);
        t->netFrontend.options = plainOptions();
        t->clock.setNow(46000.25);
        t->network->Initiate();
        auto anna = pupil(room);
        auto ben = std::make_unique<Station>(room.folder, room.channel,
                                             testHost(QStringLiteral("PC-08"), QStringLiteral("ben"), QStringLiteral("127.0.0.4")));
        anna->network->Participate();
        ben->network->Participate();
        anna->drop(QStringLiteral("Berlin"), QStringLiteral("Rio de Janeiro"));
        QTRY_COMPARE(t->network->board().acceptedCount(), 3);
        const QString protocols = t->netFrontend.protocols;
        t.reset(); // gone without a word: no end, no clean-up

        // While the teacher is away Anna finishes; Ben answers on.
        anna->drop(QStringLiteral("Berlin"), QStringLiteral("Berlin"));
        anna->drop(QStringLiteral("Rio de Janeiro"), QStringLiteral("Rio de Janeiro"));
        anna->drop(QStringLiteral("Bad\r\nEms"), QStringLiteral("Bad\r\nEms"));
        ben->drop(QStringLiteral("Berlin"), QStringLiteral("Berlin"));

        auto again = teacher(room);
        again->netFrontend.protocols = protocols;
        again->messages.setNextAnswer(resume ? MessageAnswer::Yes : MessageAnswer::No);
        QCOMPARE(again->network->offerResume(), resume);
        QCOMPARE(again->messages.shown().size(), 1);
        QCOMPARE(again->messages.shown().first().title, QStringLiteral("Netzwerk-Übung fortsetzen"));
        QCOMPARE(again->messages.shown().first().buttons, MessageButtons::YesNo);
        QCOMPARE(again->messages.texts().first(), QStringLiteral("Auf diesem Rechner läuft noch die Netzwerk-Übung auf dem "
                                                                 "Kanal \"") + room.channel
                     + QStringLiteral("\" (begonnen um 06:00). Fortsetzen?"));
        const ControlBoard &board = again->network->board();
        QCOMPARE(board.joinedCount(), 2);
        const ParticipantRow &annaRow = board.rows().at(0);
        QCOMPARE(annaRow.key, anna->network->participantKey());
        QCOMPARE(annaRow.computer, QStringLiteral("PC-07"));
        QVERIFY(annaRow.inBestList);
        QCOMPARE(annaRow.totalPerformance, QStringLiteral("75.0"));
        BestList list;
        QVERIFY(readBestList(room.path(kExchangeBestList), list, again->clock));
        QCOMPARE(list.size(), 1);
        if (!resume) {
            QCOMPARE(again->network->role(), int(nrOwnQuiz));
            QCOMPARE(room.files(), QStringList{room.channel + QStringLiteral("-tsrnetzuebung.hsc")});
            QCOMPARE(QDir(protocols).entryList({QStringLiteral("*.csv")}, QDir::Files).size(), 2); // results, items
            QVERIFY(!again->network->findResumableExercise()); // ended: nothing asks again
            return;
        }
        QCOMPARE(again->network->role(), int(nrInitiator));
        QVERIFY(again->network->masterMailslot().Active());
        // Ben's key from before the crash is known: his next answer counts, his row catches up.
        ben->drop(QStringLiteral("Rio de Janeiro"), QStringLiteral("Rio de Janeiro"));
        QTRY_COMPARE(board.rows().at(1).correct, 2);
        ben->drop(QStringLiteral("Bad\r\nEms"), QStringLiteral("Bad\r\nEms"));
        QTRY_VERIFY(board.rows().at(1).inBestList);
        QCOMPARE(board.discardedCount(), 0);
        QVERIFY(readBestList(room.path(kExchangeBestList), list, again->clock));
        QCOMPARE(list.size(), 2);
        // A second start finds the exercise again, with both pupils, as long as it runs.
        auto third = teacher(room);
        third->netFrontend.protocols = protocols;
        const auto found = third->network->findResumableExercise();
        QVERIFY(found);
        ControlBoard replayed;
        replayJournal(found->journal.records, replayed);
        QCOMPARE(replayed.resultsCsv(), board.resultsCsv());
    }

    void resultsFile()
    {
        ControlBoard board;
        board.handleReport(QStringLiteral("=HYPERLINK(\"x\")"), QStringLiteral("Jörg; \"JJ\""), initReport(kKey), 46000.5);
        board.handleReport(QStringLiteral("PC-07"), QStringLiteral("anna"), initReport(kOtherKey), 46000.5);
        board.handleReport(QStringLiteral("PC-07"), QStringLiteral("anna"), actionReport(kOtherKey, 2, 1, 1), 46000.75);
        board.handleReport(QStringLiteral("PC-07"), QStringLiteral("anna"), report({"TN-FERTIG", kOtherKey, "1", "125:07"}),
                           46000.75);
        const QByteArray expected =
            "\xEF\xBB\xBF"
            "Rechner;Benutzer;Beginn;Status;Fragen;Richtig;Fehlversuche;Offen;Erfolgsquote (%);Gesamtleistung (%);Note;"
            "Zeit (Std:Min:Sek);Letzte Meldung\r\n"
            "\"'=HYPERLINK(\"\"x\"\")\";\"J\xC3\xB6rg; \"\"JJ\"\"\";10:00:00;l\xC3\xA4uft;;0;0;;;;;;12:00:00\r\n"
            "PC-07;anna;10:00:00;beendet;3;2;1;1;75,0;75,0;2;2:05:07;18:00:00\r\n";
        QCOMPARE(board.resultsCsv(), expected);
        QCOMPARE(resultsFileName(QStringLiteral("TSR-1"), QDateTime(QDate(2025, 3, 7), QTime(8, 5, 9))),
                 QStringLiteral("Netzwerk-Uebung-TSR-1-20250307-080509.csv"));
    }

    void optionFileReader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("initiator");
        const QByteArray good = encodeOptionFile(NetworkOptionFile::fromQuizOptions(QuizOptions{}, 0, "LEHRER"));
        QTest::newRow("good") << good << true << "LEHRER";
        QTest::newRow("fields 1 and 2 unchecked")
            << RawFile().string("x").string("").string("L").raw(good.right(32)).bytes() << true << "L";
        QTest::newRow("cut short") << good.left(good.size() - 1) << false << "";
        QTest::newRow("length beyond the end") << RawFile().int32(1 << 30).raw("abc").bytes() << false << "";
        QTest::newRow("negative length") << RawFile().int32(-5).bytes() << false << "";
        QTest::newRow("query mode 3") << RawFile().string("a").string("b").string("L").int32(0).int32(0).int32(0)
                                                .int32(1).int32(1).int32(3).int32(0).int32(0).bytes()
                                      << false << "";
        QTest::newRow("negative time") << RawFile().string("a").string("b").string("L").int32(0).int32(0).int32(0)
                                                 .int32(1).int32(1).int32(0).int32(1).int32(-1).bytes()
                                       << false << "";
    }
    void optionFileReader()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ok);
        QFETCH(QString, initiator);
        NetworkOptionFile file;
        QCOMPARE(decodeOptionFile(bytes, file), ok);
        QCOMPARE(file.initiator, initiator);
    }
};

QTEST_GUILESS_MAIN(TestNetworkQuiz)
#include "tst_network_quiz.moc"
