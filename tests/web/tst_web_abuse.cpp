// A mischievous pupil against the browser classroom, on loopback: connections held beyond
// the descriptor limit, an endless header, joins over and over, a second tab, a flood of
// sizes and answers, codes guessed from many addresses, names with format characters, a
// WebSocket gone quiet. An honest pupil still plays, the teacher's event loop keeps
// turning, and memory, the journal and the results stay as they should.

#include "network/control_board.h"
#include "support/scripted_messages.h"
#include "web_test_support.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <memory>
#include <vector>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

// The descriptors of this test process: low, like a desktop session's, so that a flood of
// a few hundred connections would use them up.
constexpr int kFileLimit = 400;
constexpr int kReserve = 128;

qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The teacher's side: the server with the bookkeeping the control display keeps.
struct Teacher {
    FakeClock clock;
    WebClassroom classroom{clock};
    ControlBoard board;
    QList<QJsonObject> journal;

    explicit Teacher(int places = 6)
    {
        classroom.setExercise(webMapDocument(places), QuizOptions());
        classroom.setCode(QStringLiteral("4711"));
        WebLimits limits;
        limits.descriptorReserve = kReserve;
        classroom.setLimits(limits);
        classroom.setJournalSink([this](const QJsonObject &r, bool) { journal.append(r); });
        classroom.setReportSink([this](const QString &computer, const QString &user, const QString &text) {
            board.handleReport(computer, user, text, clock.now());
        });
        classroom.setDiscardSink([this] { board.countDiscarded(); });
    }
    bool listen() { return classroom.listen(0, QHostAddress::LocalHost); }
    quint16 port() const { return classroom.port(); }
    int journaled(const QString &kind, const QString &token = QString()) const
    {
        return int(std::count_if(journal.cbegin(), journal.cend(), [&](const QJsonObject &r) {
            return r.value("t").toString() == kind && (token.isEmpty() || r.value("token").toString() == token);
        }));
    }
    // The first still open place's tile and a drop onto its box.
    QPair<QString, RectD> rightDrop(const QString &token, const QJsonObject &state) const
    {
        const WebPupil *pupil = classroom.session(token);
        for (const QJsonValue &t : state.value("kacheln").toArray()) {
            const QString caption = t.toObject().value("text").toString();
            const DocObject &place = objectNamed(*pupil, caption);
            if (place.coverState == csOpenQuestion)
                return {t.toObject().value("id").toString(), onto(place)};
        }
        return {};
    }
};

QJsonObject dropMessage(qint64 seq, const QString &tile, const RectD &r)
{
    return {{"art", "ablegen"}, {"seq", seq}, {"kachel", tile}, {"x0", r.left}, {"y0", r.top},
            {"x1", r.right},    {"y1", r.bottom}};
}

// The page of the server, fetched as a browser would; the status, 0 when none came.
int loadPage(quint16 port)
{
    QTcpSocket socket;
    socket.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0);
    QByteArray reply;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { reply += socket.readAll(); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return 0;
    socket.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QElapsedTimer timer;
    timer.start();
    while (!reply.contains("</html>") && timer.elapsed() < 5000) {
        QSignalSpy spy(&socket, &QTcpSocket::readyRead);
        spy.wait(100);
    }
    return reply.startsWith("HTTP/1.1 ") ? reply.mid(9, 3).toInt() : 0;
}

// A script holding connections in a process of its own.
class Flood
{
public:
    Flood(quint16 port, int count, const char *mode, int first)
    {
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QFINDTESTDATA("flood_connections.py"), QString::number(port), QString::number(count),
                         QLatin1String(mode), QString::number(first)});
    }
    ~Flood()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(5000);
    }
    // The connections it opened; -1 when it never said. The server accepts meanwhile.
    int opened()
    {
        const QByteArray word = "offen";
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                if (line.startsWith(QByteArray(word + ' ')))
                    return line.mid(word.size() + 1).toInt();
            }
            QSignalSpy spy(&m_process, &QProcess::readyReadStandardOutput);
            spy.wait(100);
        }
        return -1;
    }

private:
    QProcess m_process;
};

// How late a 10 ms timer of the teacher's thread fires while something runs.
class LatenessProbe
{
public:
    LatenessProbe()
    {
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            m_worst = qMax(m_worst, now - m_last - 10);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    // Also the time since the last turn: a loop still held now counts.
    qint64 worstMs() const { return qMax(m_worst, m_clock.elapsed() - m_last - 10); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

} // namespace

class TestWebAbuse : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        rlimit limit{};
        QVERIFY(getrlimit(RLIMIT_NOFILE, &limit) == 0);
        limit.rlim_cur = kFileLimit;
        QVERIFY(setrlimit(RLIMIT_NOFILE, &limit) == 0);
    }

    // Idle connections and requests begun and never finished, from 600 addresses, beyond
    // the descriptors this process has: the server takes only its share, an honest pupil
    // still loads the page and plays, the program still opens files, and the deadlines
    // close the held connections.
    void heldConnectionsBeyondTheDescriptorLimit()
    {
        Teacher teacher;
        QVERIFY(teacher.listen());
        Flood flood(teacher.port(), 600, "mixed", 0);
        const int opened = flood.opened();
        QVERIFY2(opened > kFileLimit, qPrintable(QString::number(opened)));
        // The server takes in more than its share and holds no more than it: it makes room
        // instead of running out.
        const GuardedTcpServer *server = teacher.classroom.connections();
        const int share = server->limits().maxConnections;
        QVERIFY(share < kFileLimit - kReserve);
        QTRY_VERIFY_WITH_TIMEOUT(server->acceptedCount() > share + 50, 15000);
        QVERIFY2(teacher.classroom.connectionCount() <= share,
                 qPrintable(QString::number(teacher.classroom.connectionCount())));

        QCOMPARE(loadPage(teacher.port()), 200);
        RawBrowser pupil(teacher.port(), QStringLiteral("127.0.0.1"));
        QVERIFY(pupil.open());
        const QJsonObject state = pupil.join(QStringLiteral("4711"), QStringLiteral("Lena"));
        QVERIFY(!state.isEmpty());
        const auto [tile, rect] = teacher.rightDrop(pupil.token, state);
        pupil.send(dropMessage(1, tile, rect));
        QCOMPARE(pupil.next("urteil").value("urteil").toString(), QStringLiteral("richtig"));

        // What the teacher's program opens meanwhile (a dialog's icons, a best list, a
        // protocol) still gets its descriptors.
        QTemporaryDir dir;
        std::vector<std::unique_ptr<QFile>> files;
        for (int i = 0; i < 64; ++i) {
            files.push_back(std::make_unique<QFile>(dir.filePath(QString::number(i))));
            QVERIFY(files.back()->open(QIODevice::WriteOnly));
        }
        files.clear();

        // Past the header deadline every held connection is closed; the pupil's WebSocket stays.
        teacher.clock.advance(11000);
        teacher.classroom.tick();
        QTRY_VERIFY_WITH_TIMEOUT(teacher.classroom.connectionCount() <= 2, 5000);
        pupil.send({{"art", "name"}, {"name", "Lena"}});
        QVERIFY(!pupil.next("namenshinweis").isEmpty());
    }

    // A request that begins like the WebSocket's and never ends its header is cut off, and
    // the teacher's program does not grow with it.
    void anEndlessHeaderBehindTheWebSocketPath()
    {
        Teacher teacher;
        QVERIFY(teacher.listen());
        QTcpSocket socket;
        socket.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0);
        socket.connectToHost(QHostAddress::LocalHost, teacher.port());
        QVERIFY(socket.waitForConnected(5000));
        const qint64 before = residentKilobytes();
        socket.write("GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n");
        const QByteArray line = "X-Fill: " + QByteArray(1000, 'x') + "\r\n";
        qint64 sent = 0;
        for (int i = 0; i < 16 * 1024 && socket.state() == QAbstractSocket::ConnectedState; ++i) {
            socket.write(line);
            sent += line.size();
            if (i % 64 == 63) {
                QTRY_VERIFY_WITH_TIMEOUT(socket.bytesToWrite() == 0 || socket.state() != QAbstractSocket::ConnectedState,
                                         5000);
                QTest::qWait(0);
            }
        }
        // Closed long before the 16 MB are out (what was sent meanwhile waits in the
        // system's buffers, which grow to a few megabytes on loopback, not in the program).
        QTRY_VERIFY_WITH_TIMEOUT(socket.state() != QAbstractSocket::ConnectedState, 5000);
        QVERIFY2(sent < 16 * 1024 * 1024, qPrintable(QString::number(sent)));
        QVERIFY2(residentKilobytes() - before < 5 * 1024,
                 qPrintable(QStringLiteral("%1 kB").arg(residentKilobytes() - before)));
    }

    // A joined connection cannot join again: one session, one row, one journal entry.
    void oneConnectionJoinsOnce()
    {
        Teacher teacher;
        WebLimits limits = teacher.classroom.limits();
        limits.messageBurst = 100; // the joins are what is tried here, not their pace
        teacher.classroom.setLimits(limits);
        QVERIFY(teacher.listen());
        RawBrowser pupil(teacher.port(), QStringLiteral("127.0.0.4"));
        QVERIFY(pupil.open());
        QVERIFY(!pupil.join(QStringLiteral("4711"), QStringLiteral("Jonas")).isEmpty());
        teacher.clock.advance(1000);
        for (int i = 0; i < 85; ++i)
            pupil.send({{"art", "anmelden"}, {"code", "4711"}, {"name", QStringLiteral("Jonas %1").arg(i)},
                        {"breite", 800}, {"hoehe", 600}});
        pupil.send({{"art", "name"}, {"name", "Jonas"}});
        QVERIFY(!pupil.next("namenshinweis").isEmpty());
        QCOMPARE(teacher.classroom.sessionCount(), 1);
        QCOMPARE(teacher.board.joinedCount(), 1);
        QCOMPARE(teacher.board.discardedCount(), 85);
        QCOMPARE(teacher.journaled("beitritt"), 1);
        const QByteArray csv = teacher.board.resultsCsv();
        QCOMPARE(csv.count("Browser 127.0.0.4"), 1);
    }

    // A second tab from the same device is refused unless it comes back by its token, and a
    // name taken by another running session is refused too, after the best list's folding.
    void oneRunningSessionPerDeviceAndName_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("kept");
        const QString device = QStringLiteral("Auf diesem Gerät läuft schon ein Quiz dieser Übung. Bitte im ersten "
                                              "Browser-Fenster weiterspielen. Wurde es geschlossen, kann die "
                                              "Lehrkraft die alte Anmeldung entfernen.");
        const QString taken = QStringLiteral("Dieser Name ist schon angemeldet.");
        QTest::newRow("second tab") << "127.0.0.5" << "Anna" << device << QString();
        QTest::newRow("same name") << "127.0.0.6" << "Max Mustermann" << taken << QString();
        QTest::newRow("other case") << "127.0.0.6" << "max MUSTERMANN" << taken << QString();
        QTest::newRow("folded like the best list") << "127.0.0.6" << "Max Muştermann" << taken << QString();
        QTest::newRow("an accent the best list keeps") << "127.0.0.6" << "Max Mustérmann" << QString()
                                                      << "Max Mustérmann";
        QTest::newRow("a format character inside") << "127.0.0.6" << "Max\u200B Mustermann" << taken << QString();
        QTest::newRow("bidi override and line separator") << "127.0.0.6" << "\u202Eevil\u2028 name  " << QString()
                                                         << "evil name";
        QTest::newRow("nothing but format characters") << "127.0.0.6" << "\u200B\u202E\u2029" << QStringLiteral(
            "Bitte gib einen Namen mit mindestens einem Buchstaben oder einer Ziffer ein.") << QString();
    }
    void oneRunningSessionPerDeviceAndName()
    {
        QFETCH(QString, address);
        QFETCH(QString, name);
        QFETCH(QString, refusal);
        QFETCH(QString, kept);
        Teacher teacher;
        QVERIFY(teacher.listen());
        RawBrowser first(teacher.port(), QStringLiteral("127.0.0.5"));
        QVERIFY(first.open());
        QVERIFY(!first.join(QStringLiteral("4711"), QStringLiteral("Max Mustermann")).isEmpty());

        RawBrowser other(teacher.port(), address);
        QVERIFY(other.open());
        if (!refusal.isEmpty()) {
            QCOMPARE(other.refusal(QStringLiteral("4711"), name), refusal);
            QCOMPARE(teacher.classroom.sessionCount(), 1);
        } else {
            QVERIFY(!other.join(QStringLiteral("4711"), name).isEmpty());
            QCOMPARE(teacher.classroom.session(other.token)->identity().name, kept);
            QCOMPARE(teacher.board.rows().last().user, kept);
        }
        // The first tab's page reloaded on the same device comes back by its token.
        RawBrowser reloaded(teacher.port(), QStringLiteral("127.0.0.5"));
        QVERIFY(reloaded.open());
        reloaded.send({{"art", "wieder"}, {"token", first.token}, {"breite", 800}, {"hoehe", 600}});
        QVERIFY(!reloaded.next("angemeldet").isEmpty());
    }

    // The teacher closes the joining (those in come back), and removes a pupil: the page
    // is told at once, and a reconnect learns it again.
    void theTeacherClosesJoiningAndRemovesAPupil()
    {
        Teacher teacher;
        QVERIFY(teacher.listen());
        RawBrowser anna(teacher.port(), QStringLiteral("127.0.0.12"));
        QVERIFY(anna.open());
        QVERIFY(!anna.join(QStringLiteral("4711"), QStringLiteral("Anna")).isEmpty());
        teacher.classroom.setJoiningOpen(false);
        RawBrowser late(teacher.port(), QStringLiteral("127.0.0.13"));
        QVERIFY(late.open());
        QCOMPARE(late.refusal(QStringLiteral("4711"), QStringLiteral("Tim")),
                 QStringLiteral("Die Anmeldung ist geschlossen."));
        RawBrowser back(teacher.port(), QStringLiteral("127.0.0.12"));
        QVERIFY(back.open());
        back.send({{"art", "wieder"}, {"token", anna.token}, {"breite", 800}, {"hoehe", 600}});
        QVERIFY(!back.next("angemeldet").isEmpty());

        const QString key = teacher.classroom.session(anna.token)->identity().key;
        QVERIFY(teacher.classroom.removeParticipant(key));
        QCOMPARE(back.next("entfernt").value("text").toString(),
                 QStringLiteral("Die Lehrkraft hat dich aus dieser Übung entfernt."));
        QCOMPARE(teacher.classroom.sessionCount(), 0);
        QCOMPARE(teacher.journaled("entfernt", anna.token), 1);
        RawBrowser again(teacher.port(), QStringLiteral("127.0.0.12"));
        QVERIFY(again.open());
        again.send({{"art", "wieder"}, {"token", anna.token}, {"breite", 800}, {"hoehe", 600}});
        QCOMPARE(again.next("beendet").value("text").toString(),
                 QStringLiteral("Die Lehrkraft hat dich aus dieser Übung entfernt."));
        teacher.classroom.setJoiningOpen(true);
        QCOMPARE(teacher.journaled("anmeldung"), 2);
        QVERIFY(!late.join(QStringLiteral("4711"), QStringLiteral("Tim")).isEmpty());
    }

    // One pupil sends sizes and answers as fast as a script can: the teacher's event loop
    // keeps turning, another pupil's verdict comes at once, nothing beyond a pupil's pace is
    // judged or journaled, and a connection that keeps on flooding is let go.
    void aFloodOfSizesAndAnswers()
    {
        Teacher teacher(24);
        QVERIFY(teacher.listen());
        RawBrowser honest(teacher.port(), QStringLiteral("127.0.0.8"));
        RawBrowser flooder(teacher.port(), QStringLiteral("127.0.0.9"));
        QVERIFY(honest.open());
        QVERIFY(flooder.open());
        const QJsonObject honestState = honest.join(QStringLiteral("4711"), QStringLiteral("Ehrlich"));
        const QJsonObject floodState = flooder.join(QStringLiteral("4711"), QStringLiteral("Flut"));
        QVERIFY(!honestState.isEmpty() && !floodState.isEmpty());
        const QString floodTile = floodState.value("kacheln").toArray().first().toObject().value("id").toString();
        const qint64 before = residentKilobytes();

        LatenessProbe probe;
        QByteArray burst;
        for (int i = 0; i < 400; ++i) {
            flooder.send({{"art", "groesse"}, {"breite", 700 + 300 * (i % 2)}, {"hoehe", 500 + 200 * (i % 2)}});
            flooder.send(dropMessage(i + 1, floodTile, RectD{0.9, 0.9, 0.99, 0.99}));
        }
        QElapsedTimer verdictTime;
        verdictTime.start();
        const auto [tile, rect] = teacher.rightDrop(honest.token, honestState);
        honest.send(dropMessage(1, tile, rect));
        QCOMPARE(honest.next("urteil").value("urteil").toString(), QStringLiteral("richtig"));
        const qint64 verdictMs = verdictTime.elapsed();
        QTRY_VERIFY_WITH_TIMEOUT(flooder.closed(), 10000);
        QVERIFY(!honest.next("zustand").isEmpty());

        QVERIFY2(probe.worstMs() < 500, qPrintable(QStringLiteral("%1 ms").arg(probe.worstMs())));
        QVERIFY2(verdictMs < 1000, qPrintable(QStringLiteral("%1 ms").arg(verdictMs)));
        const WebLimits &limits = teacher.classroom.limits();
        QVERIFY(teacher.journaled("antwort", flooder.token) <= limits.answerBurst);
        QVERIFY(teacher.board.discardedCount() >= limits.maxDroppedMessages);
        QCOMPARE(teacher.journaled("antwort", honest.token), 1);
        QVERIFY2(residentKilobytes() - before < 30 * 1024,
                 qPrintable(QStringLiteral("%1 kB").arg(residentKilobytes() - before)));
        // The flooder's session stays; its page may come back, but a new connection does not
        // bring a new allowance of messages: the device's is spent until time refills it.
        QCOMPARE(teacher.classroom.sessionCount(), 2);
        RawBrowser again(teacher.port(), QStringLiteral("127.0.0.9"));
        QVERIFY(again.open());
        const int dropped = teacher.board.discardedCount();
        again.send({{"art", "wieder"}, {"token", flooder.token}, {"breite", 800}, {"hoehe", 600}});
        QTRY_COMPARE(teacher.board.discardedCount(), dropped + 1);
        QVERIFY(again.received.isEmpty());
        teacher.clock.advance(2000);
        again.send({{"art", "wieder"}, {"token", flooder.token}, {"breite", 800}, {"hoehe", 600}});
        QVERIFY(!again.next("angemeldet").isEmpty());
    }

    // Wrong codes from many addresses: after 30 in a minute the code changes, the teacher is
    // told, the journal keeps it; pupils already in play on.
    void wrongCodesFromManyAddresses()
    {
        Teacher teacher;
        QVERIFY(teacher.listen());
        QSignalSpy notes(&teacher.classroom, &WebClassroom::note);
        RawBrowser playing(teacher.port(), QStringLiteral("127.0.0.11"));
        QVERIFY(playing.open());
        const QJsonObject state = playing.join(QStringLiteral("4711"), QStringLiteral("Ida"));
        QVERIFY(!state.isEmpty());
        std::vector<std::unique_ptr<RawBrowser>> guessers;
        for (int i = 0; i < 35; ++i) {
            guessers.push_back(
                std::make_unique<RawBrowser>(teacher.port(), QStringLiteral("127.3.0.%1").arg(i + 1)));
            QVERIFY(guessers.back()->open());
            QCOMPARE(guessers.back()->refusal(QStringLiteral("%1").arg(1000 + i, 4, 10, QLatin1Char('0')),
                                              QStringLiteral("Rater")),
                     QStringLiteral("Der Code stimmt nicht."));
            teacher.clock.advance(500);
        }
        QCOMPARE(notes.size(), 1);
        const QString code = teacher.classroom.code();
        QVERIFY(code != QLatin1String("4711") && WebClassroom::isValidCode(code));
        QCOMPARE(notes.first().first().toString(),
                 QStringLiteral("Nach 30 falschen Codes innerhalb einer Minute gilt ein neuer Code: %1. Wer schon "
                                "angemeldet ist, spielt weiter.")
                     .arg(code));
        QCOMPARE(teacher.journaled("code"), 1);
        RawBrowser late(teacher.port(), QStringLiteral("127.0.0.14"));
        QVERIFY(late.open());
        QCOMPARE(late.refusal(QStringLiteral("4711"), QStringLiteral("Ole")), QStringLiteral("Der Code stimmt nicht."));
        QVERIFY(!late.join(code, QStringLiteral("Ole")).isEmpty());
        const auto [tile, rect] = teacher.rightDrop(playing.token, state);
        playing.send(dropMessage(1, tile, rect));
        QCOMPARE(playing.next("urteil").value("urteil").toString(), QStringLiteral("richtig"));
    }

    // A WebSocket that answers no ping is closed after a minute; its session waits for the
    // page to come back.
    void aQuietWebSocketIsClosedItsSessionStays()
    {
        Teacher teacher;
        QVERIFY(teacher.listen());
        RawBrowser pupil(teacher.port(), QStringLiteral("127.0.0.15"));
        QVERIFY(pupil.open());
        QVERIFY(!pupil.join(QStringLiteral("4711"), QStringLiteral("Paul")).isEmpty());
        teacher.clock.advance(21000);
        teacher.classroom.tick();
        QTRY_VERIFY_WITH_TIMEOUT(pupil.pings > 0, 5000);
        QVERIFY(!pupil.closed());
        teacher.clock.advance(40000);
        teacher.classroom.tick();
        QTRY_VERIFY_WITH_TIMEOUT(pupil.closed(), 5000);
        QCOMPARE(teacher.classroom.sessionCount(), 1);
        RawBrowser back(teacher.port(), QStringLiteral("127.0.0.15"));
        QVERIFY(back.open());
        back.send({{"art", "wieder"}, {"token", pupil.token}, {"breite", 800}, {"hoehe", 600}});
        QVERIFY(!back.next("angemeldet").isEmpty());
    }
};

QTEST_MAIN(TestWebAbuse)
#include "tst_web_abuse.moc"
