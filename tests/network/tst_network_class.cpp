// A whole class on loopback: thirty pupils' computers report a quiz at the same moment to
// the teacher's computer, and a flood of broken datagrams follows.

#include "network/control_board.h"
#include "network/exchange_files.h"
#include "network/network_reports.h"
#include "network/network_test_support.h"
#include "results/best_list.h"
#include "support/test_files.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTest>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

constexpr int kPupils = 30;
constexpr int kQuestions = 20;

// What one pupil's program sends in one quiz, and what the teacher should see of it.
struct PupilQuiz {
    QString computer;
    QString user;
    QString key;
    int endState = esFinished;
    QuizRun run;
    QuizScore score;
    QList<QStringList> reports;
    QList<std::pair<int, bool>> answers; // object, right
};

PupilQuiz playQuiz(int i, QRandomGenerator &random)
{
    PupilQuiz q;
    q.computer = QStringLiteral("PC%1").arg(i + 1, 2, 10, QLatin1Char('0'));
    q.user = QStringLiteral("schüler%1").arg(i + 1);
    for (int k = 0; k < kParticipantKeyLength; ++k)
        q.key += QChar(u'A' + random.bounded(26));
    // Most finish; every tenth cancels, every tenth runs out of time.
    q.endState = i % 10 == 0 ? esCancelled : i % 10 == 1 ? esTimeLimitReached : esFinished;
    q.run.startTime = 46000.25 + i / 86400.0;
    q.score.questionCount = kQuestions;
    q.score.openCount = kQuestions;
    q.reports << initReportLines(q.key, QString(), q.run.startTime);
    const int answers = q.endState == esFinished ? kQuestions : 5 + i % 7;
    int elapsed = 0;
    for (int a = 0; a < answers || (q.endState == esFinished && q.score.openCount > 0); ++a) {
        const bool right = random.bounded(4) != 0 || a >= answers;
        if (right) {
            ++q.score.correctCount;
            --q.score.openCount;
        } else {
            ++q.score.failedCount;
        }
        elapsed += 1000 + random.bounded(9000);
        q.run.elapsedMs = elapsed;
        const int answered = q.score.correctCount + q.score.failedCount;
        q.score.successRate = double(q.score.correctCount) / answered;
        q.score.totalPerformance = double(q.score.correctCount) / (answered + q.score.openCount);
        q.score.clockText = clockText(elapsed / 1000);
        q.reports << actionReportLines(q.key, a % kQuestions, right ? 0 : -5, right ? 0 : 1, q.run, q.score);
        q.answers << std::make_pair(a % kQuestions, right);
    }
    const QStringList finish = finishReportLines(q.key, q.endState, q.score.clockText);
    const QStringList result = bestListReportLines(q.key, QString(), q.computer, q.run.startTime, elapsed,
                                                   q.score.totalPerformance);
    q.reports << finish;
    if (q.endState != esCancelled)
        q.reports << result;
    if (q.endState == esTimeLimitReached)
        q.reports << finish << result; // the time limit reports twice
    return q;
}

// A report that no reading of it can take for a good one.
QByteArray brokenDatagram(const QList<PupilQuiz> &class_, QRandomGenerator &random)
{
    const PupilQuiz &q = class_.at(random.bounded(kPupils));
    QStringList lines = q.reports.at(random.bounded(int(q.reports.size())));
    switch (random.bounded(8)) {
    case 0: {
        QByteArray noise(random.bounded(300), Qt::Uninitialized);
        for (char &c : noise)
            c = char(random.bounded(256));
        return noise;
    }
    case 1: lines[0] = QStringLiteral("TN-X") + QString::number(random.bounded(1000)); break;
    case 2: lines.append(QStringLiteral("zu viel")); break;
    case 3: lines.removeAt(1 + random.bounded(int(lines.size()) - 1)); break;
    case 4: lines[1] = lines.at(1).left(29); break;
    case 5:
        // Never a number, a clock or a fraction; the time of day of TN-INIT is free text, so
        // there the key is spoilt instead.
        if (lines.first() == QLatin1String(kReportInit))
            lines[1] = lines.at(1).toLower();
        else
            lines.last() = QStringLiteral("x") + lines.last();
        break;
    case 6: lines[1] = QString(kParticipantKeyLength, QLatin1Char('Q')); // a key nobody announced
            if (lines.first() == QLatin1String(kReportInit))
                lines.first() = QLatin1String(kReportFinish);
            break;
    case 7: lines.last() += QString(kMaxReportChars, QLatin1Char('y')); break;
    }
    // The header computer line is the transport's; the payload begins at the kind.
    return encodeMailslotMessage(QStringLiteral("x"), QStringLiteral("PC99"), lines);
}

// The item figures the class's answers must give, counted here from what each pupil did.
QHash<int, ItemFigures> expectedItems(const QList<PupilQuiz> &pupils)
{
    QHash<int, ItemFigures> items;
    for (const PupilQuiz &q : pupils) {
        QSet<int> seen;
        QSet<int> solved;
        for (const auto &[object, right] : q.answers) {
            ItemFigures &f = items[object];
            f.object = object;
            if (!seen.contains(object)) {
                seen.insert(object);
                ++f.answeredBy;
                f.rightFirst += right ? 1 : 0;
            }
            if (right && !solved.contains(object)) {
                solved.insert(object);
                ++f.solved;
            }
            f.failedAttempts += right ? 0 : 1;
        }
    }
    return items;
}

QStringList cellsOf(const ControlBoard &board)
{
    QStringList cells;
    for (int r = 0; r < board.rowCount(); ++r)
        for (int c = 0; c < ControlBoard::ColumnCount; ++c)
            cells << board.cellText(r, c);
    return cells;
}

struct ToolRun {
    int exitCode;
    QByteArray out;
    QByteArray err;
};

ToolRun tool(const QStringList &args)
{
    QProcess p;
    p.start(qEnvironmentVariable("KAPITOLO_TOOL"), args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

} // namespace

class TestNetworkClass : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void thirtyPupilsAtOnceThenAFlood()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/kom/");
        QDir().mkpath(folder);
        const QString channel = freeChannel();
        Station teacher(folder, channel, testHost(QStringLiteral("LEHRER"), QStringLiteral("lehrer"),
                                                   QStringLiteral("127.0.0.2")));
        teacher.doc = sampleLabelDocument();
        teacher.doc.fileName = dir.path() + QStringLiteral("/thema.tsr");
        teacher.network->Initiate();
        QVERIFY(teacher.network->masterMailslot().Active());

        QRandomGenerator random(2024);
        QList<PupilQuiz> pupils;
        std::vector<std::unique_ptr<TALMailSlot2>> computers;
        ScriptedMessages quiet;
        for (int i = 0; i < kPupils; ++i) {
            pupils << playQuiz(i, random);
            computers.push_back(std::make_unique<TALMailSlot2>(
                quiet, testHost(pupils.last().computer, pupils.last().user, QStringLiteral("127.0.1.%1").arg(i + 1))));
            computers.back()->setMailBox(channel);
        }
        // Everybody at the same moment: the reports of all pupils interleaved, nothing read
        // in between.
        int sent = 0;
        for (int step = 0;; ++step) {
            bool any = false;
            for (int i = 0; i < kPupils; ++i) {
                if (step >= pupils.at(i).reports.size())
                    continue;
                QVERIFY(computers.at(i)->SendLines(QStringLiteral("LEHRER"), pupils.at(i).reports.at(step)));
                ++sent;
                any = true;
            }
            if (!any)
                break;
        }
        const ControlBoard &board = teacher.network->board();
        QTRY_COMPARE_WITH_TIMEOUT(board.acceptedCount(), sent, 20000);
        QCOMPARE(board.discardedCount(), 0);
        QCOMPARE(teacher.network->masterMailslot().droppedMessages(), 0);
        QCOMPARE(board.joinedCount(), kPupils);
        QCOMPARE(board.runningCount(), 0);
        for (int i = 0; i < kPupils; ++i) {
            const PupilQuiz &q = pupils.at(i);
            const ParticipantRow &row = board.rows().at(i); // in the order they joined
            QCOMPARE(row.key, q.key);
            QCOMPARE(row.computer, q.computer);
            QCOMPARE(row.user, q.user);
            QCOMPARE(row.correct, q.score.correctCount);
            QCOMPARE(row.failed, q.score.failedCount);
            QCOMPARE(row.open, q.score.openCount);
            QCOMPARE(row.clock, q.score.clockText);
            QCOMPARE(row.successRate, percentNumber(q.score.successRate));
            QCOMPARE(row.state, q.endState == esFinished    ? ParticipantRow::State::Finished
                                : q.endState == esCancelled ? ParticipantRow::State::Cancelled
                                                            : ParticipantRow::State::TimeLimit);
        }
        // The item figures: every answer of every pupil on its object, once.
        const QHash<int, ItemFigures> items = expectedItems(pupils);
        QCOMPARE(board.items().itemCount(), int(items.size()));
        for (const ItemFigures &f : items)
            QCOMPARE(board.items().figures(f.object), f);
        // Every result once, the cancelled quizzes none.
        BestList list;
        QVERIFY(readBestList(exchangeFilePath(folder, channel, kExchangeBestList), list, teacher.clock));
        QCOMPARE(list.size(), kPupils - kPupils / 10);
        for (const PupilQuiz &q : std::as_const(pupils)) {
            const auto entries = std::count_if(list.cbegin(), list.cend(),
                                               [&](const BestListEntry &e) { return e.computer == q.computer; });
            QCOMPARE(int(entries), q.endState == esCancelled ? 0 : 1);
            for (const BestListEntry &e : std::as_const(list)) {
                if (e.computer != q.computer)
                    continue;
                QCOMPARE(e.durationMs, q.run.elapsedMs);
                QVERIFY(qAbs(e.performance - q.score.totalPerformance) < 1e-14);
                QVERIFY(qAbs(e.start - q.run.startTime) < 1e-9);
            }
        }

        // Then 10,000 broken datagrams, in bursts the socket can hold: nothing changes.
        const QStringList before = cellsOf(board);
        const QByteArray listBefore = readFile(exchangeFilePath(folder, channel, kExchangeBestList));
        QUdpSocket flood;
        const QHostAddress teacherAddress(QStringLiteral("127.0.0.2"));
        int broken = 0;
        while (broken < 10000) {
            for (int k = 0; k < 500; ++k, ++broken) {
                const QByteArray bytes = brokenDatagram(pupils, random);
                QCOMPARE(flood.writeDatagram(bytes, teacherAddress, mailslotPort(channel)), qint64(bytes.size()));
            }
            QTRY_COMPARE_WITH_TIMEOUT(board.discardedCount() + teacher.network->masterMailslot().droppedMessages(),
                                      broken, 20000);
        }
        QCOMPARE(cellsOf(board), before);
        for (const ItemFigures &f : items)
            QCOMPARE(board.items().figures(f.object), f);
        QCOMPARE(board.acceptedCount(), sent);
        QCOMPARE(readFile(exchangeFilePath(folder, channel, kExchangeBestList)), listBefore);
        QVERIFY(board.discardedCount() > 5000); // most reached the bookkeeping, not only the header check
        QVERIFY(teacher.messages.shown().isEmpty());
    }

    void toolListensSendsAndReadsOptions()
    {
        QVERIFY(!qEnvironmentVariable("KAPITOLO_TOOL").isEmpty());
        const QString channel = freeChannel();
        QProcess listener;
        listener.start(qEnvironmentVariable("KAPITOLO_TOOL"),
                       {QStringLiteral("mailslot"), QStringLiteral("listen"), channel, QStringLiteral("--count"),
                        QStringLiteral("2"), QStringLiteral("--timeout"), QStringLiteral("30")});
        // It announces its port once it owns the name.
        QByteArray announced;
        QTRY_VERIFY_WITH_TIMEOUT((announced += listener.readAllStandardError()).contains(
                                     QByteArray::number(mailslotPort(channel))),
                                 20000);
        QCOMPARE(tool({QStringLiteral("mailslot"), QStringLiteral("listen"), channel, QStringLiteral("--timeout"),
                       QStringLiteral("0")})
                     .exitCode,
                 1); // the name is owned already
        QCOMPARE(tool({QStringLiteral("mailslot"), QStringLiteral("send"), QStringLiteral("."), channel,
                       QStringLiteral("TN-INIT"), QStringLiteral("Grüße"), QString()})
                     .exitCode,
                 0);
        QCOMPARE(tool({QStringLiteral("mailslot"), QStringLiteral("send"), QStringLiteral("127.0.0.1"), channel}).exitCode, 0);
        const ToolRun unknown = tool({QStringLiteral("mailslot"), QStringLiteral("send"),
                                      QStringLiteral("kein-rechner.invalid"), channel, QStringLiteral("x")});
        QCOMPARE(unknown.exitCode, 1);
        QVERIFY(listener.waitForFinished(20000));
        QCOMPARE(listener.exitCode(), 0);
        const QList<QByteArray> lines = listener.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        const QJsonObject first = QJsonDocument::fromJson(lines.at(0)).object();
        QCOMPARE(first.value(QStringLiteral("text")).toString(), QStringLiteral("TN-INIT\r\nGrüße\r\n\r\n"));
        QVERIFY(!first.value(QStringLiteral("computer")).toString().isEmpty());
        QVERIFY(!first.value(QStringLiteral("user")).toString().isEmpty());
        QCOMPARE(QJsonDocument::fromJson(lines.at(1)).object().value(QStringLiteral("text")).toString(), QString());

        // The option file as JSON; a broken one gives the reader's error.
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/TSR-1-tsrnetzuebung.dat");
        QuizOptions options;
        options.timeLimitOn = 1;
        options.timeLimitSeconds = 90;
        QVERIFY(writeOptionFile(path, NetworkOptionFile::fromQuizOptions(options, dtCloze, QStringLiteral("RAUM-12"))));
        const ToolRun read = tool({QStringLiteral("options"), path});
        QCOMPARE(read.exitCode, 0);
        const QJsonObject json = QJsonDocument::fromJson(read.out).object();
        QCOMPARE(json.keys().size(), 11);
        QCOMPARE(json.value(QStringLiteral("identification")).toString(), QStringLiteral("tsrnetzuebung.dat"));
        QCOMPARE(json.value(QStringLiteral("initiator")).toString(), QStringLiteral("RAUM-12"));
        QCOMPARE(json.value(QStringLiteral("ZeitLimit")).toInt(), 1);
        QCOMPARE(json.value(QStringLiteral("ZeitLimitWert")).toInt(), 90);
        QCOMPARE(json.value(QStringLiteral("Zuordnungstexte")).toInt(), 1);
        QVERIFY(writeFile(path, readFile(path).left(30)));
        const ToolRun broken = tool({QStringLiteral("options"), path});
        QCOMPARE(broken.exitCode, 1);
        QCOMPARE(QString::fromUtf8(broken.err).trimmed(),
                 QStringLiteral("Fehler beim Einlesen der Datei \"") + path + QLatin1Char('"'));
    }
};

QTEST_GUILESS_MAIN(TestNetworkClass)
#include "tst_network_class.moc"
