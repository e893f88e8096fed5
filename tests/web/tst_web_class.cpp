// A class of thirty browsers plays a map quiz at once against the teacher's real server:
// what the control display, the item analysis, the network best list and the results
// file show is what they played.

#include "network/control_board.h"
#include "network/exchange_files.h"
#include "network/network_test_support.h"
#include "results/best_list.h"
#include "web/web_participation.h"
#include "web_test_support.h"

#include <algorithm>
#include <QDir>
#include <QStandardPaths>
#include <QTcpServer>

#include <map>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

constexpr int kPupils = 30;
constexpr int kPlaces = 8;

struct Pupil {
    std::unique_ptr<Browser> browser;
    QString name;
    QJsonObject state;
    qint64 seq = 0;
    int correct = 0;
    int failed = 0;
    QSet<QString> tried; // captions already dropped wrongly once
};

} // namespace

class TestWebClass : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void thirtyBrowsersPlayAMapQuiz()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/kom/");
        QDir().mkpath(folder);
        Station teacher(folder, freeChannel(),
                        testHost(QStringLiteral("LEHRER"), QStringLiteral("lehrer"), QStringLiteral("127.0.0.2")));
        teacher.doc = webMapDocument(kPlaces);
        teacher.doc.fileName = dir.path() + QStringLiteral("/fluesse.tsr");
        WebParticipation web(*teacher.network, teacher.clock, teacher.messages,
                             [] { return WebSettings{true, 0, QStringLiteral("2468"), 0}; });
        teacher.network->Initiate();
        QVERIFY(teacher.network->initiator());
        QVERIFY(web.active());
        QCOMPARE(web.code(), QStringLiteral("2468"));

        std::vector<Pupil> pupils(kPupils);
        for (int i = 0; i < kPupils; ++i) {
            Pupil &p = pupils[i];
            // One name the best list cannot keep as typed.
            p.name = i == 7 ? QStringLiteral("Łucja") : QStringLiteral("Schüler %1").arg(i + 1);
            p.browser = std::make_unique<Browser>(web.port());
        }
        for (Pupil &p : pupils)
            QVERIFY(p.browser->waitConnected());
        for (Pupil &p : pupils)
            p.browser->send({{"art", "anmelden"}, {"code", "2468"}, {"name", p.name}, {"breite", 800}, {"hoehe", 600}});
        for (Pupil &p : pupils) {
            p.browser->token = p.browser->next("angemeldet").value("token").toString();
            QVERIFY(!p.browser->token.isEmpty());
            p.state = p.browser->next("zustand");
        }
        QCOMPARE(teacher.network->board().joinedCount(), kPupils);

        // Per place: which pupils answered it, right at the first try, wrong attempts.
        std::map<int, ItemFigures> expectedItems;
        QSet<std::pair<int, int>> firstAnswers; // (pupil, place) answered at least once
        // Round after round every browser drops one tile at the same moment; pupil i
        // drops a tile wrongly first when (i + tile) is divisible by three.
        for (int round = 0; round < 2 * kPlaces; ++round) {
            QList<Pupil *> waiting;
            for (int i = 0; i < kPupils; ++i) {
                Pupil &p = pupils[i];
                const QJsonArray tiles = p.state.value("kacheln").toArray();
                if (tiles.isEmpty())
                    continue;
                const QJsonObject tile = tiles.first().toObject();
                const QString caption = tile.value("text").toString();
                const int number = caption.back().unicode() - 'A';
                const WebPupil *session = web.classroom().session(p.browser->token);
                // A wrong place must still be open, or the tile would land on nothing.
                QString wrongPlace;
                for (int k = 1; k < kPlaces && wrongPlace.isEmpty(); ++k) {
                    const QString other = QStringLiteral("Ort %1").arg(QChar(u'A' + (number + k) % kPlaces));
                    if (objectNamed(*session, other).coverState == csOpenQuestion)
                        wrongPlace = other;
                }
                const bool wrongFirst = (i + number) % 3 == 0 && !p.tried.contains(caption) && !wrongPlace.isEmpty();
                const QString target = wrongFirst ? wrongPlace : caption;
                const DocObject &place = objectNamed(*session, target);
                const int object = int(&place - session->document().objects.constData());
                ItemFigures &item = expectedItems[object];
                item.object = object;
                if (!firstAnswers.contains({i, object})) {
                    firstAnswers.insert({i, object});
                    ++item.answeredBy;
                    if (!wrongFirst)
                        ++item.rightFirst;
                }
                if (wrongFirst) {
                    p.tried.insert(caption);
                    ++item.failedAttempts;
                } else {
                    ++item.solved;
                }
                p.browser->send({{"art", "ablegen"}, {"seq", ++p.seq}, {"kachel", tile.value("id").toString()},
                                 {"x0", onto(place).left}, {"y0", onto(place).top}, {"x1", onto(place).right},
                                 {"y1", onto(place).bottom}});
                (wrongFirst ? p.failed : p.correct)++;
                waiting << &p;
            }
            // A pupil's pace: a tile a second.
            teacher.clock.advance(1000);
            for (Pupil *p : std::as_const(waiting)) {
                const QJsonObject verdict = p->browser->next("urteil");
                QVERIFY(!verdict.isEmpty());
                QVERIFY(verdict.value("urteil") == QLatin1String("richtig") || verdict.value("urteil") == QLatin1String("falsch"));
                p->state = p->browser->next("zustand");
            }
        }
        const ControlBoard &board = teacher.network->board();
        QCOMPARE(board.joinedCount(), kPupils);
        QCOMPARE(board.runningCount(), 0);
        QCOMPARE(board.discardedCount(), 0);
        for (int i = 0; i < kPupils; ++i) {
            const Pupil &p = pupils[i];
            const QJsonObject result = p.state.value("ergebnis").toObject();
            QVERIFY2(!result.isEmpty(), qPrintable(p.name));
            // Rows stand in the order the joins arrived, which the connections decide.
            const auto found = std::find_if(board.rows().cbegin(), board.rows().cend(),
                                            [&](const ParticipantRow &r) { return r.user == p.name; });
            QVERIFY2(found != board.rows().cend(), qPrintable(p.name));
            const ParticipantRow &row = *found;
            QCOMPARE(row.computer, QStringLiteral("Browser 127.0.0.1"));
            QCOMPARE(row.user, p.name);
            QCOMPARE(row.state, ParticipantRow::State::Finished);
            QCOMPARE(row.correct, p.correct);
            QCOMPARE(row.failed, p.failed);
            QCOMPARE(row.open, 0);
            QCOMPARE(row.questionCount, kPlaces);
            QCOMPARE(result.value("note").toInt(), row.grade);
            QCOMPARE(result.value("gesamtleistung").toString(), row.totalPerformance + QStringLiteral(" %"));
            QCOMPARE(row.totalPerformance, percentNumber(double(p.correct) / (p.correct + p.failed)));
        }

        // The item analysis counts what the browsers did, place by place.
        for (const auto &[object, expected] : expectedItems) {
            QCOMPARE(board.items().figures(object), expected);
            QCOMPARE(expected.solved, kPupils);
        }
        int wrongAttempts = 0;
        for (const Pupil &p : pupils)
            wrongAttempts += p.failed;
        int counted = 0;
        for (const ItemFigures &f : board.items().rows())
            counted += f.failedAttempts;
        QCOMPARE(counted, wrongAttempts);

        // The network best list has every pupil once, under the name as it keeps it.
        BestList best;
        QVERIFY(readBestList(teacher.network->exchangePath(kExchangeBestList), best, teacher.clock));
        QCOMPARE(best.size(), kPupils);
        QStringList names;
        for (const BestListEntry &e : best)
            names << e.name;
        QVERIFY(names.contains(QStringLiteral("Lucja")));
        QVERIFY(names.contains(QStringLiteral("Schüler 30")));
        // Every user of the computer may read it: a browser without its address.
        for (const BestListEntry &e : best)
            QCOMPARE(e.computer, QStringLiteral("Browser"));

        // Ending the exercise closes the browsers' server and writes the results.
        teacher.network->EndExercise();
        QVERIFY(!web.active());
        const QByteArray csv = readFile(teacher.network->lastResultsFile());
        QCOMPARE(csv.count("Browser 127.0.0.1"), kPupils);
        QVERIFY(csv.contains(QStringLiteral("Łucja").toUtf8()));
        QVERIFY(!pupils.front().browser->next("ende").isEmpty());
    }

    void endingCancelsTheQuizzesStillRunning()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/kom/");
        QDir().mkpath(folder);
        Station teacher(folder, freeChannel(),
                        testHost(QStringLiteral("LEHRER"), QStringLiteral("lehrer"), QStringLiteral("127.0.0.2")));
        teacher.doc = webMapDocument(4);
        teacher.doc.fileName = dir.path() + QStringLiteral("/fluesse.tsr");
        WebParticipation web(*teacher.network, teacher.clock, teacher.messages,
                             [] { return WebSettings{true, 0, QString(), 0}; });
        teacher.network->Initiate();
        QVERIFY(WebClassroom::isValidCode(web.code()));
        QCOMPARE(web.code().size(), 4);
        Browser b(web.port());
        QVERIFY(b.waitConnected());
        QVERIFY(!b.join(web.code(), QStringLiteral("Kim")).isEmpty());
        teacher.network->EndExercise();
        QCOMPARE(teacher.network->board().rows().at(0).state, ParticipantRow::State::Cancelled);
        QVERIFY(readFile(teacher.network->lastResultsFile()).contains("abgebrochen"));
    }

    // The teacher's program goes down mid-exercise: taken up again, the server returns
    // with the same code and every browser pupil finds the quiz as it stood.
    void browserSessionsSurviveTheTeachersRestart()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/kom/");
        QDir().mkpath(folder);
        const QString channel = freeChannel();
        const MailslotHost host = testHost(QStringLiteral("LEHRER"), QStringLiteral("lehrer"), QStringLiteral("127.0.0.2"));
        const auto settings = [] { return WebSettings{true, 0, QString(), 0}; };
        auto teacher = std::make_unique<Station>(folder, channel, host);
        teacher->doc = webMapDocument(4);
        teacher->doc.fileName = dir.path() + QStringLiteral("/fluesse.tsr");
        auto web = std::make_unique<WebParticipation>(*teacher->network, teacher->clock, teacher->messages, settings);
        teacher->network->Initiate();
        const QString code = web->code();
        const QString protocols = teacher->netFrontend.protocols;

        QString token;
        QString tileB;
        {
            Browser b(web->port());
            QVERIFY(b.waitConnected());
            const QJsonObject state = b.join(code, QStringLiteral("Nora"));
            token = b.token;
            tileB = tileOf(state, QStringLiteral("Ort B"));
            const WebPupil *s = web->classroom().session(token);
            QCOMPARE(b.drop(1, tileOf(state, QStringLiteral("Ort A")), onto(objectNamed(*s, QStringLiteral("Ort B"))))
                         .value("urteil").toString(), QStringLiteral("falsch"));
            QCOMPARE(b.drop(2, tileOf(state, QStringLiteral("Ort A")), onto(objectNamed(*s, QStringLiteral("Ort A"))))
                         .value("urteil").toString(), QStringLiteral("richtig"));
        }
        web.reset();
        teacher.reset(); // gone without a word: no end, no clean-up

        auto again = std::make_unique<Station>(folder, channel, host);
        again->netFrontend.protocols = protocols;
        WebParticipation web2(*again->network, again->clock, again->messages, settings);
        again->messages.setNextAnswer(MessageAnswer::Yes);
        QVERIFY(again->network->offerResume());
        QVERIFY(web2.active());
        QCOMPARE(web2.code(), code);
        const ControlBoard &board = again->network->board();
        QCOMPARE(board.rows().at(0).user, QStringLiteral("Nora"));
        QCOMPARE(board.rows().at(0).failed, 1);

        Browser back(web2.port());
        QVERIFY(back.waitConnected());
        back.send({{"art", "wieder"}, {"token", token}, {"breite", 800}, {"hoehe", 600}});
        QVERIFY(!back.next("angemeldet").isEmpty());
        QJsonObject state = back.next("zustand");
        QCOMPARE(state.value("status").toObject().value("richtig").toString(), QStringLiteral("1"));
        QCOMPARE(state.value("status").toObject().value("fehlversuche").toString(), QStringLiteral("1"));
        QCOMPARE(state.value("kacheln").toArray().size(), 3);
        // The answer sent again after the restart counts once, with its first verdict.
        QCOMPARE(back.drop(2, QStringLiteral("AAAA"), RectD{0.1, 0.1, 0.2, 0.2}).value("urteil").toString(),
                 QStringLiteral("richtig"));
        state = back.next("zustand");
        const WebPupil *s = web2.classroom().session(token);
        // The answer the page had sent when the teacher's program died names the tile as
        // the page knew it: the rebuilt session knows it by that id too.
        QCOMPARE(tileOf(state, QStringLiteral("Ort B")), tileB);
        QCOMPARE(back.drop(3, tileB, onto(objectNamed(*s, QStringLiteral("Ort B")))).value("urteil").toString(),
                 QStringLiteral("richtig"));
        state = back.next("zustand");
        qint64 seq = 4;
        for (const QString &place : {QStringLiteral("Ort C"), QStringLiteral("Ort D")}) {
            QCOMPARE(back.drop(seq++, tileOf(state, place), onto(objectNamed(*s, place))).value("urteil").toString(),
                     QStringLiteral("richtig"));
            state = back.next("zustand");
        }
        QVERIFY(state.contains("ergebnis"));
        QCOMPARE(board.rows().at(0).state, ParticipantRow::State::Finished);
        QCOMPARE(board.rows().at(0).correct, 4);
        QCOMPARE(board.rows().at(0).failed, 1);
        QVERIFY(board.rows().at(0).inBestList);

        // A pupil who comes late plays the whole quiz.
        Browser late(web2.port());
        QVERIFY(late.waitConnected());
        QCOMPARE(late.join(code, QStringLiteral("Ole")).value("kacheln").toArray().size(), 4);
        QCOMPARE(board.joinedCount(), 2);
    }

    // A throwaway session found the answers, finished and stands in the best list; the
    // teacher removes it and closes the joining. The row, its figures and its best-list
    // entry go, its page is told, and a restart after a crash keeps it all so.
    void aRemovedPupilStaysRemovedAfterARestart()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/kom/");
        QDir().mkpath(folder);
        const QString channel = freeChannel();
        const MailslotHost host = testHost(QStringLiteral("LEHRER"), QStringLiteral("lehrer"), QStringLiteral("127.0.0.2"));
        const auto settings = [] { return WebSettings{true, 0, QString(), 0}; };
        auto teacher = std::make_unique<Station>(folder, channel, host);
        teacher->doc = webMapDocument(4);
        teacher->doc.fileName = dir.path() + QStringLiteral("/fluesse.tsr");
        auto web = std::make_unique<WebParticipation>(*teacher->network, teacher->clock, teacher->messages, settings);
        teacher->network->Initiate();
        const QString code = web->code();
        const QString protocols = teacher->netFrontend.protocols;
        const QString bestList = teacher->network->exchangePath(kExchangeBestList);

        Browser max(web->port());
        Browser lea(web->port());
        QVERIFY(max.waitConnected() && lea.waitConnected());
        QJsonObject state = max.join(code, QStringLiteral("Max Mustermann"));
        const QJsonObject leaState = lea.join(code, QStringLiteral("Lea"));
        const WebPupil *maxSession = web->classroom().session(max.token);
        const QString maxKey = maxSession->identity().key;
        qint64 seq = 0;
        for (const QString &place : {QStringLiteral("Ort A"), QStringLiteral("Ort B"), QStringLiteral("Ort C"),
                                     QStringLiteral("Ort D")}) {
            teacher->clock.advance(1000);
            QCOMPARE(max.drop(++seq, tileOf(state, place), onto(objectNamed(*maxSession, place))).value("urteil").toString(),
                     QStringLiteral("richtig"));
            state = max.next("zustand");
        }
        QVERIFY(state.contains("ergebnis"));
        const WebPupil *leaSession = web->classroom().session(lea.token);
        QCOMPARE(lea.drop(1, tileOf(leaState, QStringLiteral("Ort A")), onto(objectNamed(*leaSession, QStringLiteral("Ort B"))))
                     .value("urteil").toString(),
                 QStringLiteral("falsch"));
        BestList best;
        QVERIFY(readBestList(bestList, best, teacher->clock));
        QCOMPARE(best.size(), 1);

        web->classroom().setJoiningOpen(false);
        QVERIFY(teacher->network->removeParticipant(maxKey));
        QCOMPARE(max.next("entfernt").value("text").toString(),
                 QStringLiteral("Die Lehrkraft hat dich aus dieser Übung entfernt."));
        const ControlBoard &board = teacher->network->board();
        QCOMPARE(board.joinedCount(), 1);
        QCOMPARE(board.rows().at(0).user, QStringLiteral("Lea"));
        QCOMPARE(board.items().rows().size(), 1); // Lea's wrong drop on B only
        QCOMPARE(board.items().figures(1).failedAttempts, 1);
        QVERIFY(readBestList(bestList, best, teacher->clock));
        QVERIFY(best.isEmpty());
        QCOMPARE(web->classroom().sessionCount(), 1);
        web.reset();
        teacher.reset(); // the teacher's computer goes down

        auto again = std::make_unique<Station>(folder, channel, host);
        again->netFrontend.protocols = protocols;
        WebParticipation web2(*again->network, again->clock, again->messages, settings);
        again->messages.setNextAnswer(MessageAnswer::Yes);
        QVERIFY(again->network->offerResume());
        const ControlBoard &resumed = again->network->board();
        QCOMPARE(resumed.joinedCount(), 1);
        QCOMPARE(resumed.rows().at(0).user, QStringLiteral("Lea"));
        QCOMPARE(resumed.items().rows().size(), 1);
        QCOMPARE(web2.classroom().sessionCount(), 1);
        QVERIFY(!web2.classroom().joiningOpen());
        QVERIFY(readBestList(bestList, best, again->clock));
        QVERIFY(best.isEmpty()); // not entered again from the journal
        Browser back(web2.port());
        QVERIFY(back.waitConnected());
        back.send({{"art", "wieder"}, {"token", max.token}, {"breite", 800}, {"hoehe", 600}});
        QCOMPARE(back.next("beendet").value("text").toString(),
                 QStringLiteral("Die Lehrkraft hat dich aus dieser Übung entfernt."));
        Browser late(web2.port());
        QVERIFY(late.waitConnected());
        late.send({{"art", "anmelden"}, {"code", code}, {"name", "Tom"}, {"breite", 800}, {"hoehe", 600}});
        QCOMPARE(late.next("fehler").value("text").toString(), QStringLiteral("Die Anmeldung ist geschlossen."));

        again->messages.setNextAnswer(MessageAnswer::Yes);
        again->network->EndExercise();
        const QByteArray csv = readFile(again->network->lastResultsFile());
        QVERIFY(csv.contains("Lea"));
        QVERIFY(!csv.contains("Max Mustermann"));
    }

    void aPortInUseLeavesTheExerciseWithoutBrowsers()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/kom/");
        QDir().mkpath(folder);
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::AnyIPv4, 0));
        Station teacher(folder, freeChannel(),
                        testHost(QStringLiteral("LEHRER"), QStringLiteral("lehrer"), QStringLiteral("127.0.0.2")));
        teacher.doc = webMapDocument(4);
        teacher.doc.fileName = dir.path() + QStringLiteral("/fluesse.tsr");
        const int port = taken.serverPort();
        WebParticipation web(*teacher.network, teacher.clock, teacher.messages,
                             [port] { return WebSettings{true, port, QString(), 0}; });
        teacher.network->Initiate();
        QVERIFY(teacher.network->initiator());
        QVERIFY(!web.active());
        QCOMPARE(teacher.messages.texts().last(),
                 QStringLiteral("Die Teilnahme im Browser ist nicht möglich: Der Port %1 wird auf diesem Rechner "
                                "bereits von einem anderen Programm verwendet.\r\nDie Netzwerk-Übung läuft ohne "
                                "Teilnahme im Browser. Wählen Sie unter \"Optionen | Netzwerk-Kommunikation\" einen "
                                "anderen Port.")
                     .arg(port));
    }
};

QTEST_MAIN(TestWebClass)
#include "tst_web_class.moc"
