// The teacher's computer dies mid-exercise (SIGKILL) and starts again: the exercise
// goes on from its journal, and what the teacher ends with equals a lesson without
// the crash. Pupils are stations in this process, the teacher a process of its own.

#include "network/network_test_support.h"
#include "support/test_files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QProcess>
#include <QTest>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

struct Classroom {
    QTemporaryDir dir;
    QString folder = dir.path() + QStringLiteral("/kom/");
    QString channel = freeChannel();

    Classroom() { QDir().mkpath(folder); }
    QStringList files() const { return QDir(folder).entryList(QDir::Files); }
};

std::unique_ptr<Station> pupil(const Classroom &room, const char *computer, const char *user, const char *address)
{
    return std::make_unique<Station>(room.folder, room.channel,
                                     testHost(QLatin1String(computer), QLatin1String(user), QLatin1String(address)));
}

struct Teacher {
    QProcess process;

    bool start(const QString &folder, const QString &channel, const QString &protocols, const char *mode)
    {
        process.start(QStringLiteral(NETWORK_TEACHER), {folder, channel, protocols, QLatin1String(mode)});
        return process.waitForStarted(20000);
    }
    QJsonObject next()
    {
        while (!process.canReadLine())
            if (!process.waitForReadyRead(20000))
                return {};
        return QJsonDocument::fromJson(process.readLine()).object();
    }
    QJsonObject ask(const char *command)
    {
        process.write(QByteArray(command) + '\n');
        return next();
    }
    // Asks for the state until the condition holds: reports travel as datagrams.
    QJsonObject until(const std::function<bool(const QJsonObject &)> &condition)
    {
        QJsonObject state;
        for (int i = 0; i < 4000 && !condition(state); ++i) {
            state = ask("state");
            QCoreApplication::processEvents();
        }
        return state;
    }
};

struct Lesson {
    QJsonArray rows;
    QJsonArray bestList;
    QByteArray csv;
    QStringList teacherMessages;
};

bool allInBestList(const QJsonObject &state, int pupils)
{
    const QJsonArray rows = state.value(QStringLiteral("rows")).toArray();
    if (rows.size() != pupils)
        return false;
    for (const QJsonValue &row : rows)
        if (!row.toArray().last().toBool())
            return false;
    return true;
}

// Anna and Ben join; Anna answers once wrong, once right, Ben once right. With a crash
// the teacher goes down now; Anna finishes while it is down, the teacher starts again
// and Ben finishes after that.
Lesson playLesson(bool crash)
{
    Lesson lesson;
    Classroom room;
    const QString protocols = room.dir.path() + QStringLiteral("/protokolle/");
    Teacher teacher;
    if (!teacher.start(room.folder, room.channel, protocols, "initiate"))
        return lesson;
    if (teacher.next().value(QStringLiteral("role")).toInt() != nrInitiator)
        return lesson;
    auto anna = pupil(room, "PC-07", "anna", "127.0.0.3");
    auto ben = pupil(room, "PC-08", "ben", "127.0.0.4");
    anna->network->Participate();
    ben->network->Participate();
    anna->drop(QStringLiteral("Berlin"), QStringLiteral("Rio de Janeiro"));
    anna->drop(QStringLiteral("Berlin"), QStringLiteral("Berlin"));
    ben->drop(QStringLiteral("Berlin"), QStringLiteral("Berlin"));
    teacher.until([](const QJsonObject &s) { return s.value(QStringLiteral("accepted")).toInt() == 5; });

    Teacher again;
    Teacher *live = &teacher;
    if (crash) {
        teacher.process.kill(); // SIGKILL: no end, no clean-up, nothing written after it
        teacher.process.waitForFinished(20000);
    }
    anna->drop(QStringLiteral("Rio de Janeiro"), QStringLiteral("Rio de Janeiro"));
    anna->drop(QStringLiteral("Bad\r\nEms"), QStringLiteral("Bad\r\nEms"));
    if (crash) {
        if (!again.start(room.folder, room.channel, protocols, "resume"))
            return lesson;
        const QJsonObject ready = again.next();
        if (ready.value(QStringLiteral("role")).toInt() != nrInitiator)
            return lesson;
        for (const QJsonValue &m : ready.value(QStringLiteral("messages")).toArray())
            lesson.teacherMessages << m.toString();
        live = &again;
    } else {
        teacher.until([](const QJsonObject &s) { return allInBestList(s, 1) || s.value(QStringLiteral("accepted")).toInt() >= 9; });
    }
    ben->drop(QStringLiteral("Rio de Janeiro"), QStringLiteral("Rio de Janeiro"));
    ben->drop(QStringLiteral("Bad\r\nEms"), QStringLiteral("Bad\r\nEms"));
    const QJsonObject state = live->until([](const QJsonObject &s) { return allInBestList(s, 2); });
    lesson.rows = state.value(QStringLiteral("rows")).toArray();
    const QJsonObject end = live->ask("end");
    lesson.bestList = end.value(QStringLiteral("bestList")).toArray();
    lesson.csv = readFile(end.value(QStringLiteral("results")).toString());
    live->process.waitForFinished(20000);
    if (!room.files().isEmpty() && room.files() != QStringList{room.channel + QStringLiteral("-tsrnetzuebung.hsc")})
        lesson.csv = "left behind: " + room.files().join(u' ').toUtf8();
    return lesson;
}

} // namespace

class TestNetworkCrash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lessonSurvivesTheTeachersCrash()
    {
        const Lesson calm = playLesson(false);
        QCOMPARE(calm.rows.size(), 2);
        const Lesson crashed = playLesson(true);
        QCOMPARE(crashed.teacherMessages.size(), 1);
        QVERIFY(crashed.teacherMessages.first().startsWith(QStringLiteral("Auf diesem Rechner läuft noch die Netzwerk-Übung")));

        // The same best list, each pupil once; Anna's result came from her file.
        QCOMPARE(crashed.bestList, calm.bestList);
        QCOMPARE(calm.bestList.size(), 2);
        // Ben, who answered on both sides of the crash, has the same row.
        QCOMPARE(crashed.rows.at(1), calm.rows.at(1));
        // Anna's answers while the teacher was down are lost with their datagrams; her
        // end, result and grade are not.
        const QJsonArray annaCalm = calm.rows.at(0).toArray();
        const QJsonArray annaCrashed = crashed.rows.at(0).toArray();
        for (int column : {ControlBoard::ColComputer, ControlBoard::ColUser, ControlBoard::ColStart, ControlBoard::ColState,
                           ControlBoard::ColTotalPerformance, ControlBoard::ColGrade, ControlBoard::ColClock})
            QCOMPARE(annaCrashed.at(column), annaCalm.at(column));
        QCOMPARE(annaCrashed.at(ControlBoard::ColState).toString(), QStringLiteral("beendet"));
        QVERIFY(annaCrashed.last().toBool());

        // The results file names both pupils with their results.
        for (const Lesson *l : {&calm, &crashed}) {
            const QString csv = QString::fromUtf8(l->csv);
            QVERIFY2(csv.contains(QStringLiteral("PC-07")) && csv.contains(QStringLiteral("PC-08")), qPrintable(csv));
            QCOMPARE(csv.count(QStringLiteral("beendet")), 2);
        }
    }
};

QTEST_GUILESS_MAIN(TestNetworkCrash)
#include "tst_network_crash.moc"
