// The teacher's journal of an exercise: what survives a crash at any byte, and a replay
// that gives back the exercise as it stood.

#include "network/control_board.h"
#include "network/exercise_journal.h"
#include "network/network_quiz.h"
#include "platform/clock.h"
#include "network/network_reports.h"
#include "quiz/quiz_types.h"
#include "support/test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

QString text(const QStringList &lines)
{
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString keyOf(int pupil)
{
    QString key(kParticipantKeyLength, QLatin1Char('A'));
    key[0] = QChar(u'A' + pupil % 26);
    key[1] = QChar(u'A' + pupil / 26);
    return key;
}

JournalRecord report(const QString &computer, const QString &reportText, double at)
{
    JournalRecord r;
    r.kind = JournalRecord::Kind::Report;
    r.computer = computer;
    r.user = QStringLiteral("schueler");
    r.text = reportText;
    r.at = at;
    return r;
}

JournalRecord initiated()
{
    JournalRecord r;
    r.kind = JournalRecord::Kind::Initiated;
    r.at = 46000.375;
    r.channel = QStringLiteral("TSR-1");
    r.initiator = QStringLiteral("LEHRER");
    r.title = QStringLiteral("Hauptstädte \"Europas\"");
    r.dokTyp = 0;
    r.options.initiator = r.initiator;
    r.options.abfrageModus = 2;
    r.options.zuordnungFalsch = 1;
    r.options.zeitLimit = 1;
    r.options.zeitLimitWert = 125;
    return r;
}

// A class of thirty: everyone joins, answers on the way, most finish and send their
// result; one pupil is cancelled, one sends a report nobody announced.
QList<JournalRecord> classOfThirty()
{
    QList<JournalRecord> records{initiated()};
    double at = 46000.4;
    for (int p = 0; p < 30; ++p)
        records << report(QStringLiteral("PC-%1").arg(p), text(initReportLines(keyOf(p), QString(), 46000.4)), at += 1e-5);
    for (int step = 1; step <= 5; ++step)
        for (int p = 0; p < 30; ++p) {
            QuizRun run;
            run.startTime = 46000.4;
            QuizScore score;
            score.questionCount = 5;
            score.correctCount = step - (p % 3 == 0 ? 1 : 0);
            score.failedCount = p % 3 == 0 ? 1 : 0;
            score.openCount = 5 - step;
            score.successRate = double(score.correctCount) / step;
            score.totalPerformance = double(score.correctCount) / 5;
            score.clockText = QStringLiteral("00:%1").arg(step * 7, 2, 10, QLatin1Char('0'));
            records << report(QStringLiteral("PC-%1").arg(p),
                              text(actionReportLines(keyOf(p), p % 5, -2, 0, run, score)), at += 1e-5);
        }
    for (int p = 0; p < 30; ++p) {
        const int endState = p == 7 ? esCancelled : esFinished;
        records << report(QStringLiteral("PC-%1").arg(p), text(finishReportLines(keyOf(p), endState, QStringLiteral("00:35"))),
                          at += 1e-5);
        if (endState != esFinished)
            continue;
        records << report(QStringLiteral("PC-%1").arg(p),
                          text(bestListReportLines(keyOf(p), QStringLiteral("Schüler %1").arg(p),
                                                   QStringLiteral("PC-%1").arg(p), 46000.4, 35000, 0.8)),
                          at += 1e-5);
        if (p != 12) { // the teacher's computer went down before this one was entered
            JournalRecord entered;
            entered.kind = JournalRecord::Kind::BestListEntered;
            entered.key = keyOf(p);
            entered.at = at;
            records << entered;
        }
    }
    records << report(QStringLiteral("PC-99"), text(finishReportLines(keyOf(99), esFinished, QStringLiteral("00:01"))),
                      at += 1e-5);
    return records;
}

QStringList boardCells(const ControlBoard &board)
{
    QStringList cells;
    for (int row = 0; row < board.rowCount(); ++row)
        for (int column = 0; column < ControlBoard::ColumnCount; ++column)
            cells << board.cellText(row, column);
    cells << board.countsText();
    return cells;
}

} // namespace

class TestExerciseJournal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordsRoundTrip_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("initiation") << 0;
        QTest::newRow("report with line breaks and umlauts") << 1;
        QTest::newRow("best list entered") << 2;
        QTest::newRow("end") << 3;
        QTest::newRow("browser pupil's answer") << 4;
        QTest::newRow("participant removed") << 5;
    }
    void recordsRoundTrip()
    {
        QFETCH(int, which);
        JournalRecord r = initiated();
        if (which == 1)
            r = report(QStringLiteral("Browser 10.0.0.7"),
                       text({QStringLiteral("TN-BESTLIST"), keyOf(1), QStringLiteral("Jörg \"Ö\" Müller\t")}), 46000.123456789);
        if (which == 2) {
            r = JournalRecord();
            r.kind = JournalRecord::Kind::BestListEntered;
            r.key = keyOf(2);
        }
        if (which == 3) {
            r = JournalRecord();
            r.kind = JournalRecord::Kind::Ended;
            r.at = 46000.9;
        }
        if (which == 4) {
            r = JournalRecord();
            r.kind = JournalRecord::Kind::Browser;
            r.at = 46000.95;
            r.data = QJsonObject{{QStringLiteral("t"), QStringLiteral("antwort")}, {QStringLiteral("seq"), 17},
                                 {QStringLiteral("name"), QStringLiteral("Jörg\n\"Ö\"")}};
        }
        if (which == 5) {
            r = JournalRecord();
            r.kind = JournalRecord::Kind::Removed;
            r.at = 46000.97;
            r.key = keyOf(5);
        }
        const QByteArray line = encodeJournalRecord(r);
        QCOMPARE(line.count('\n'), 1);
        QVERIFY(line.endsWith('\n'));
        const JournalContents back = decodeJournal(line);
        QCOMPARE(back.skipped, 0);
        QCOMPARE(back.records.size(), 1);
        QCOMPARE(back.records.first(), r);
    }

    // Cut after any byte, the journal gives exactly the records written whole before
    // the cut; a damaged record in the middle costs that record alone.
    void cutAtEveryByteAndDamaged()
    {
        const QList<JournalRecord> written = classOfThirty().mid(0, 4);
        QByteArray bytes;
        QList<qsizetype> ends;
        for (const JournalRecord &r : written) {
            bytes += encodeJournalRecord(r);
            ends << bytes.size();
        }
        for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
            const JournalContents c = decodeJournal(bytes.left(cut));
            // A record whole but for its line feed counts as well.
            const qsizetype whole = std::count_if(ends.cbegin(), ends.cend(), [cut](qsizetype e) { return e - 1 <= cut; });
            QCOMPARE(c.records, written.mid(0, whole));
            QCOMPARE(c.skipped, ends.contains(cut) || ends.contains(cut + 1) || cut == 0 ? 0 : 1);
        }
        QByteArray damaged = bytes;
        damaged[ends.at(1) + 40] = damaged.at(ends.at(1) + 40) == 'x' ? 'y' : 'x';
        const JournalContents c = decodeJournal(damaged);
        QCOMPARE(c.skipped, 1);
        QCOMPARE(c.records, QList<JournalRecord>({written.at(0), written.at(1), written.at(3)}));
    }

    // Written as it happens, read back after the crash: the same rows, counts, results
    // file and best-list keys as the live exercise; a result that reached the teacher
    // but not the best list is still to be entered.
    void replayedClassEqualsTheLiveExercise()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(journalFileName(QStringLiteral("TSR-1"), QDateTime({2026, 12, 7}, {9, 5, 3})));
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("Netzwerk-Uebung-TSR-1-20261207-090503.journal"));
        ControlBoard live;
        ExerciseJournal journal;
        QVERIFY(journal.create(path));
        QVERIFY(!ExerciseJournal().create(path)); // never over an existing journal
        QCOMPARE(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), QFile::Permissions());
        for (const JournalRecord &r : classOfThirty()) {
            if (r.kind == JournalRecord::Kind::Report) {
                // The teacher's computer journals what it accepts.
                if (live.handleReport(r.computer, r.user, r.text, r.at).accepted)
                    QVERIFY(journal.append(r, r.text.startsWith(QLatin1String("TN-FERTIG"))));
            } else {
                if (r.kind == JournalRecord::Kind::BestListEntered)
                    live.markEnteredInBestList(r.key);
                QVERIFY(journal.append(r, true));
            }
        }
        // The crash tears the last record.
        QVERIFY(journal.append(report(QStringLiteral("PC-3"), text(finishReportLines(keyOf(3), esFinished, "00:40")), 46001),
                               false));
        journal.close();
        QFile torn(path);
        QVERIFY(torn.resize(torn.size() - 20));

        JournalContents contents;
        QVERIFY(readJournal(path, contents));
        QCOMPARE(contents.skipped, 1);
        ControlBoard replayed;
        const JournalReplay replay = replayJournal(contents.records, replayed);
        QCOMPARE(replay.initiated, initiated());
        QVERIFY(!replay.ended);
        // Every cell of every row; the stray report was never journaled, so only the
        // count of discarded reports starts afresh.
        QCOMPARE(boardCells(replayed).mid(0, 30 * ControlBoard::ColumnCount),
                 boardCells(live).mid(0, 30 * ControlBoard::ColumnCount));
        QCOMPARE(live.discardedCount(), 1);
        QCOMPARE(replayed.joinedCount(), 30);
        QCOMPARE(replayed.finishedCount(), live.finishedCount());
        QCOMPARE(replayed.resultsCsv(), live.resultsCsv());
        // The item figures come back from the same reports.
        QVERIFY(replayed.items().itemCount() > 0);
        QCOMPARE(replayed.items().rows(), live.items().rows());
        QCOMPARE(replay.pendingBestList.keys(), QList<QString>{keyOf(12)});
        QCOMPARE(replay.pendingBestList.value(keyOf(12)).name, QStringLiteral("Schüler 12"));
        int inBestList = 0;
        for (const ParticipantRow &row : replayed.rows())
            inBestList += row.inBestList;
        QCOMPARE(inBestList, 28);

        // Taken up again, the journal goes on behind the torn line.
        QVERIFY(journal.reopen(path));
        JournalRecord end;
        end.kind = JournalRecord::Kind::Ended;
        QVERIFY(journal.append(end, true));
        journal.close();
        QVERIFY(readJournal(path, contents));
        QCOMPARE(contents.skipped, 1);
        QCOMPARE(contents.records.last().kind, JournalRecord::Kind::Ended);
        QVERIFY(replayJournal(contents.records, replayed).ended);
    }

    // The teacher removes a participant: the row, its share of the item figures and its
    // result still to be entered go, exactly as if it had never played; its later reports
    // count as discarded; a replay of the journal removes it again.
    void aRemovedParticipantLeavesTheBoard_data()
    {
        QTest::addColumn<int>("pupil");
        QTest::newRow("finished, in the best list") << 4;
        QTest::newRow("finished, result still to be entered") << 12;
        QTest::newRow("cancelled") << 7;
    }
    void aRemovedParticipantLeavesTheBoard()
    {
        QFETCH(int, pupil);
        const QList<JournalRecord> records = classOfThirty();
        ControlBoard live;
        ControlBoard without;
        for (const JournalRecord &r : records)
            if (r.kind == JournalRecord::Kind::Report) {
                live.handleReport(r.computer, r.user, r.text, r.at);
                if (r.computer != QStringLiteral("PC-%1").arg(pupil))
                    without.handleReport(r.computer, r.user, r.text, r.at);
            }
        const std::optional<ParticipantRow> gone = live.removeParticipant(keyOf(pupil));
        QVERIFY(gone);
        QCOMPARE(gone->computer, QStringLiteral("PC-%1").arg(pupil));
        QVERIFY(!live.removeParticipant(keyOf(pupil)));
        QCOMPARE(live.joinedCount(), 29);
        QCOMPARE(live.items().rows(), without.items().rows());
        QCOMPARE(live.resultsCsv(), without.resultsCsv());
        QVERIFY(!live.resultsCsv().contains(QStringLiteral("PC-%1;").arg(pupil).toUtf8()));
        const int discarded = live.discardedCount();
        QVERIFY(!live.handleReport(QStringLiteral("PC-%1").arg(pupil), QString(),
                                   text(finishReportLines(keyOf(pupil), esFinished, QStringLiteral("00:50"))), 46001)
                     .accepted);
        QCOMPARE(live.discardedCount(), discarded + 1);

        QList<JournalRecord> journaled = records;
        JournalRecord removed;
        removed.kind = JournalRecord::Kind::Removed;
        removed.key = keyOf(pupil);
        journaled << removed;
        ControlBoard replayed;
        const JournalReplay replay = replayJournal(journaled, replayed);
        QCOMPARE(boardCells(replayed).mid(0, 29 * ControlBoard::ColumnCount),
                 boardCells(live).mid(0, 29 * ControlBoard::ColumnCount));
        QCOMPARE(replayed.items().rows(), live.items().rows());
        QCOMPARE(replay.pendingBestList.contains(keyOf(12)), pupil != 12);
    }

    // Journals of ended exercises go after the days of "NetzJournalTage"; one never ended
    // stays to be resumed, and so does everything with 0 days.
    void oldJournalsOfEndedExercisesGo()
    {
        QTemporaryDir dir;
        const double now = 46000.5;
        auto write = [&](const QString &name, bool ended, int daysOld) {
            ExerciseJournal journal;
            const QString path = dir.filePath(name);
            if (!journal.create(path) || !journal.append(initiated(), true))
                return false;
            if (ended) {
                JournalRecord end;
                end.kind = JournalRecord::Kind::Ended;
                journal.append(end, true);
            }
            journal.close();
            QFile file(path);
            return file.open(QIODevice::ReadWrite)
                && file.setFileTime(fromDayNumber(now - daysOld), QFileDevice::FileModificationTime);
        };
        QVERIFY(write(QStringLiteral("Netzwerk-Uebung-TSR-1-20261001-080000.journal"), true, 40));
        QVERIFY(write(QStringLiteral("Netzwerk-Uebung-TSR-1-20261002-080000.journal"), false, 40));
        QVERIFY(write(QStringLiteral("Netzwerk-Uebung-TSR-1-20261120-080000.journal"), true, 10));
        QVERIFY(write(QStringLiteral("Andere-Datei.journal"), true, 40));
        QCOMPARE(NetworkQuiz::removeOldJournals(dir.path(), 0, now), 0);
        QCOMPARE(NetworkQuiz::removeOldJournals(dir.path(), 30, now), 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 (QStringList{"Andere-Datei.journal", "Netzwerk-Uebung-TSR-1-20261002-080000.journal",
                              "Netzwerk-Uebung-TSR-1-20261120-080000.journal"}));
    }
};

QTEST_GUILESS_MAIN(TestExerciseJournal)
#include "tst_exercise_journal.moc"
