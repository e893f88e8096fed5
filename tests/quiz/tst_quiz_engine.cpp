#include "document/document_json.h"
#include "platform/random.h"
#include "quiz/quiz_engine.h"
#include "quiz/quiz_feedback.h"
#include "quiz/tile_layout.h"
#include "support/scripted_messages.h"

#include <QSet>
#include <algorithm>
#include <QTest>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

// Plays the window's part: records what the engine publishes, and shows each verdict as
// the desktop does, its pauses on the fake clock.
class ScriptedFrontend : public QuizFrontend
{
public:
    QStringList events;
    QString counter;
    QuizStatusTexts status;
    QString clock;
    QList<QuizFinishedInfo> finished;
    QList<QuizFinishedChoice> choices; // answers of the finished dialog, in turn
    bool nameConfirmed = true;
    QString name = QStringLiteral("Anna");
    bool timer = false;
    int protocolsFinished = 0;
    bool bestListResult = true;
    int bestListCalls = 0;
    QList<QuizVerdict> verdicts;
    bool holdVerdicts = false; // a verdict stays shown until the test goes on
    QuizEngine *engine = nullptr;
    FakeClock *fakeClock = nullptr;

    bool askParticipantName(QString &n) override
    {
        events << QStringLiteral("name");
        n = name;
        return nameConfirmed;
    }
    void quizStarted() override
    {
        events << QStringLiteral("enter") << QStringLiteral("card");
        timer = true;
        questionShown();
        statusChanged();
    }
    void questionChanged() override
    {
        if (engine->singleQuestions() || engine->options().queryMode == qmSinglePosition)
            events << QStringLiteral("card");
        questionShown();
    }
    void verdictGiven(const QuizVerdict &verdict) override
    {
        verdicts << verdict;
        for (const FeedbackStep &step : feedbackSteps(verdict, engine->singleQuestions(), engine->options().queryMode,
                                                      engine->options().onFailed, engine->correctTile())) {
            switch (step.kind) {
            case FeedbackStep::ShowVerdict:
                events << (step.correct ? QStringLiteral("Richtig") : QStringLiteral("Falsch"));
                break;
            case FeedbackStep::TileColour:
                events << QStringLiteral("colour %1 %2").arg(step.pair).arg(step.colour.name());
                break;
            case FeedbackStep::RestoreColour:
                events << QStringLiteral("restore %1").arg(step.pair);
                break;
            case FeedbackStep::Sound:
                events << (step.correct ? QStringLiteral("sound Richtig1") : QStringLiteral("sound Falsch1"));
                break;
            case FeedbackStep::Pause:
                fakeClock->busyWait(step.milliseconds, true);
                break;
            case FeedbackStep::FlyHome:
                events << QStringLiteral("fly %1").arg(step.pair);
                break;
            case FeedbackStep::RemoveTile:
                events << QStringLiteral("remove %1").arg(step.pair);
                break;
            case FeedbackStep::RedrawObject:
                events << QStringLiteral("redraw %1").arg(step.object);
                break;
            case FeedbackStep::HideAllTiles:
            case FeedbackStep::HideTile:
                break;
            }
        }
        if (!holdVerdicts)
            engine->proceed();
    }
    void statusChanged() override
    {
        status = engine->statusTexts();
        clock = engine->score().clockText;
        timer = engine->running();
    }
    bool quizEnded(bool enterInBestList) override
    {
        timer = false;
        if (engine->options().feedbackAtEnd == fbAtEnd)
            events << QStringLiteral("card");
        ++protocolsFinished;
        if (!enterInBestList)
            return false;
        ++bestListCalls;
        return bestListResult;
    }
    QuizFinishedChoice askHowToGoOn(const QuizFinishedInfo &info) override
    {
        finished << info;
        return choices.isEmpty() ? QuizFinishedChoice{} : choices.takeFirst();
    }
    void quizLeft() override
    {
        timer = false;
        events << QStringLiteral("leave");
    }

    void questionShown()
    {
        if (engine->singleQuestions())
            counter = engine->questionCounter();
    }
    QList<int> visibleTiles() const
    {
        QList<int> r;
        for (int p = 0; p < engine->run().quizList.size(); ++p)
            if (engine->tileShown(p))
                r << p;
        return r;
    }
};

DocObject label(const QString &cap, double kx, double ky, int typ = otLabel)
{
    DocObject o;
    o.Cap = cap;
    o.Kx = o.Sx = kx;
    o.Ky = o.Sy = ky;
    o.Typ = typ;
    o.Ebene = 1;
    return o;
}

TopicDocument mapDocument(int count = 4)
{
    TopicDocument d;
    d.fileName = QStringLiteral("/t/karte.tsr");
    d.titel = QStringLiteral("Flüsse");
    const char *names[] = {"Rhein", "Elbe", "Donau", "Oder", "Weser", "Main", "Mosel", "Saale"};
    for (int i = 0; i < count; ++i)
        d.objects.append(label(QString::fromLatin1(names[i % 8]) + (i >= 8 ? QString::number(i) : QString()),
                               0.1 + 0.05 * (i % 3), 0.9 - 0.1 * i));
    d.objects.append(label(QStringLiteral("Info"), 0.5, 0.5, otInfoPoint));
    d.AnzFrageNummern = count;
    return d;
}

TopicDocument questionDocument(const QString &text)
{
    TopicDocument d;
    d.fileName = QStringLiteral("/t/fragen.tsr");
    d.titel = QStringLiteral("Fragen");
    d.DokTyp = dtSingleQuestions;
    d.AnzFrageNummern = createQuestionObjects(text, d.objects);
    return d;
}

struct Rig {
    TopicDocument doc;
    ScriptedMessages messages;
    FakeClock clock;
    Random random{3};
    ScriptedFrontend frontend;
    QuizEngine engine{doc, messages, clock, random, frontend};
    QuizOptions options;

    explicit Rig(TopicDocument d)
        : doc(std::move(d))
    {
        frontend.engine = &engine;
        frontend.fakeClock = &clock;
        engine.setOptionsSource([this](qint32) { return options; });
        engine.setNameEntryEnabled(false);
    }

    // The pair whose tile carries the caption, and the object that is its target.
    int pairOf(const QString &cap) const
    {
        for (int p = 0; p < engine.run().quizList.size(); ++p)
            if (doc.objects.at(engine.run().quizList.at(p).tileObject).Cap == cap && engine.tileInPlay(p))
                return p;
        return -1;
    }
    int objectOf(const QString &cap) const
    {
        for (int i = 0; i < doc.objects.size(); ++i)
            if (doc.objects.at(i).Cap == cap && mark(i).coverState == csOpenQuestion)
                return i;
        return -1;
    }
    // The quiz's mark on an object.
    ObjectMark mark(int object) const { return markOf(engine.run().marks, object); }
    void drop(const QString &tile, const QString &target) { engine.evaluate(pairOf(tile), objectOf(target)); }
    QStringList detailLines() const
    {
        QStringList lines = engine.run().protocolDetail.split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }
};

} // namespace

class TestQuizEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanCaption_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("clean");
        QTest::newRow("plain") << "Rhein" << "Rhein";
        QTest::newRow("joined word") << "Mittel-\r\nmeer" << "Mittelmeer";
        QTest::newRow("kept hyphen") << "Baden-\r\nWürttemberg" << "Baden-Württemberg";
        QTest::newRow("digit keeps hyphen") << "A-\r\n7" << "A-7";
        QTest::newRow("line break") << "Bad\r\nEms" << "Bad Ems";
        QTest::newRow("blanks") << "  a  b \n" << "a b";
        QTest::newRow("hyphen at end") << "Nord-\r\n" << "Nord-";
    }
    void cleanCaption()
    {
        QFETCH(QString, caption);
        QFETCH(QString, clean);
        QCOMPARE(CleanCaption(caption), clean);
        QCOMPARE(tileCaption(QStringLiteral("Rio | de Janeiro")), QStringLiteral("Rio\nde Janeiro"));
    }

    void completeQuizInOrder()
    {
        Rig rig(mapDocument(4));
        rig.options.tileOrder = 0;
        rig.options.positionOrder = 0;
        QVERIFY(rig.engine.StartQuiz(0, 0));
        QCOMPARE(rig.engine.appMode(), int(amQuizRunning));
        QCOMPARE(rig.engine.score().questionCount, 4);
        QCOMPARE(rig.engine.score().totalQuestionCount, 4);
        // Tiles alphabetically, positions top to bottom (Ky ascending).
        QStringList tiles, positions;
        for (const QuizPair &p : rig.engine.run().quizList) {
            tiles << rig.doc.objects.at(p.tileObject).Cap;
            positions << rig.doc.objects.at(p.positionObject).Cap;
        }
        QCOMPARE(tiles, QStringList({"Donau", "Elbe", "Oder", "Rhein"}));
        QCOMPARE(positions, QStringList({"Oder", "Donau", "Elbe", "Rhein"}));
        QCOMPARE(rig.mark(3).displayNo, 1); // Oder is asked first and numbered 1
        QCOMPARE(rig.mark(0).displayNo, 4);
        QCOMPARE(rig.mark(4).coverState, int(csCovered)); // the info point is no question
        QCOMPARE(rig.frontend.status.status, QStringLiteral("warte auf Antwort"));
        QCOMPARE(rig.frontend.status.successRate, QStringLiteral("0.0 %"));
        QVERIFY(rig.frontend.timer);

        rig.clock.advance(2500);
        rig.drop(QStringLiteral("Elbe"), QStringLiteral("Elbe"));
        QCOMPARE(rig.mark(1).coverState, int(csUncovered));
        QCOMPARE(rig.clock.waits(), QList<int>{300});
        rig.drop(QStringLiteral("Rhein"), QStringLiteral("Donau"));
        QCOMPARE(rig.mark(2).coverState, int(csOpenQuestion));
        QCOMPARE(rig.mark(2).failedAttempts, 1);
        QCOMPARE(rig.mark(0).wrongTargetCount, 1);
        QVERIFY(rig.frontend.events.contains(QStringLiteral("fly %1").arg(rig.pairOf(QStringLiteral("Rhein")))));
        QCOMPARE(rig.detailLines(),
                 QStringList({"00:00 - Quiz wird gestartet",
                              "00:02 - RICHTIG - Beschriftungstext \"Elbe\" wird der richtigen Position zugeordnet",
                              "00:02 - FALSCH - Beschriftungstext \"Rhein\" wird der Position von \"Donau\" zugeordnet"}));
        QCOMPARE(rig.frontend.status.correct, QStringLiteral("1"));
        QCOMPARE(rig.frontend.status.failed, QStringLiteral("1"));
        QCOMPARE(rig.frontend.status.successRate, QStringLiteral("50.0 %"));
        QCOMPARE(rig.frontend.status.totalPerformance, QStringLiteral("20.0 %"));

        // A drop outside every target counts nothing.
        rig.engine.evaluate(rig.pairOf(QStringLiteral("Rhein")), -1);
        QCOMPARE(rig.engine.score().failedCount, 1);

        rig.clock.advance(61000);
        for (const char *name : {"Rhein", "Donau", "Oder"})
            rig.drop(QLatin1String(name), QLatin1String(name));
        QCOMPARE(rig.engine.run().endState, int(esFinished));
        QCOMPARE(rig.frontend.finished.size(), 1);
        const QuizFinishedInfo &info = rig.frontend.finished.first();
        QCOMPARE(info.correct, QStringLiteral("4  von  4"));
        QCOMPARE(info.failed, QStringLiteral("1"));
        QCOMPARE(info.totalPerformanceText, QStringLiteral("80.0 %"));
        QCOMPARE(info.grade, 2);
        QCOMPARE(info.rating, QStringLiteral("gut"));
        QCOMPARE(info.clock, QStringLiteral("01:04")); // 2.5 s + 61 s + four feedback pauses of 0.3 s
        QVERIFY(info.repetitionEnabled);
        QCOMPARE(rig.frontend.protocolsFinished, 1);
        QVERIFY(rig.engine.run().bestListEntered);
        QCOMPARE(qRound((rig.engine.run().endTime - rig.engine.run().startTime) * 86400.0), 64);
        // Closing the dialog returns to the learning card with everything uncovered.
        QCOMPARE(rig.engine.appMode(), int(amLearningView));
        QCOMPARE(rig.frontend.events.last(), QStringLiteral("leave"));
        QCOMPARE(rig.mark(4).coverState, int(csCovered));
    }

    void optionsChangeMarksAndLocking()
    {
        Rig rig(mapDocument(3));
        rig.options.onCorrect = 1;
        rig.options.onFailed = 1;
        QVERIFY(rig.engine.StartQuiz(0, 0));
        rig.drop(QStringLiteral("Rhein"), QStringLiteral("Rhein"));
        QCOMPARE(rig.mark(0).coverState, int(csCorrect));
        rig.drop(QStringLiteral("Elbe"), QStringLiteral("Donau"));
        QCOMPARE(rig.mark(2).coverState, int(csWrongCross)); // locked: takes no more tiles
        QCOMPARE(rig.engine.score().openCount, 1);
        QVERIFY(rig.frontend.events.contains(QStringLiteral("redraw 2")));
        rig.drop(QStringLiteral("Elbe"), QStringLiteral("Elbe"));
        // The quiz ends although Donau was never answered correctly.
        QCOMPARE(rig.engine.score().correctCount, 2);
        QCOMPARE(rig.frontend.finished.size(), 1);
        QCOMPARE(rig.frontend.finished.first().totalPerformanceText, QStringLiteral("66.7 %"));
    }

    void feedbackAtTheEnd()
    {
        Rig rig(mapDocument(3));
        QVERIFY(rig.engine.StartQuiz(0, 0));
        // An initiator's setting arrives with the options of a participant's quiz.
        QuizOptions withheld = rig.engine.options();
        withheld.feedbackAtEnd = 1;
        withheld.onCorrect = 1;
        rig.engine.setOptions(withheld);
        rig.drop(QStringLiteral("Rhein"), QStringLiteral("Elbe"));
        QCOMPARE(rig.mark(1).coverState, int(csAssigned));
        QCOMPARE(rig.frontend.status.correct, QStringLiteral("?"));
        QVERIFY(!rig.frontend.events.contains(QStringLiteral("Falsch")));
        rig.drop(QStringLiteral("Elbe"), QStringLiteral("Rhein"));
        rig.drop(QStringLiteral("Donau"), QStringLiteral("Donau"));
        QCOMPARE(rig.frontend.finished.size(), 1);
        // The verdict comes at the end: crosses where a wrong tile landed, ticks elsewhere.
        QCOMPARE(rig.mark(1).coverState, int(csUncovered)); // after leaving the quiz view
        QCOMPARE(rig.frontend.finished.first().failed, QStringLiteral("2"));
    }

    void equalCaptionsAreInterchangeable()
    {
        TopicDocument d = mapDocument(2);
        d.objects[1].Cap = QStringLiteral("Rhein");
        Rig rig(d);
        QVERIFY(rig.engine.StartQuiz(0, 0));
        rig.engine.evaluate(0, 1);
        rig.engine.evaluate(1, 0);
        QCOMPARE(rig.engine.score().correctCount, 2);
        QCOMPARE(rig.engine.score().failedCount, 0);
    }

    void singleQueriesAndRepetition()
    {
        Rig rig(mapDocument(3));
        rig.options.queryMode = 1;
        rig.options.tileOrder = 0;
        rig.options.positionOrder = 0;
        QVERIFY(rig.engine.StartQuiz(0, 0));
        QCOMPARE(rig.frontend.visibleTiles().size(), 1);
        QVERIFY(rig.detailLines().last().endsWith(QStringLiteral("Beschriftungstext \"Donau\" soll der richtigen Position zugeordnet werden")));
        rig.drop(QStringLiteral("Donau"), QStringLiteral("Elbe"));
        QCOMPARE(rig.clock.waits(), QList<int>{100});
        QVERIFY(rig.detailLines().last().endsWith(QStringLiteral("\"Elbe\" soll der richtigen Position zugeordnet werden")));
        rig.drop(QStringLiteral("Elbe"), QStringLiteral("Elbe"));
        QVERIFY(rig.detailLines().at(rig.detailLines().size() - 2).endsWith(QStringLiteral("RICHTIG - Beschriftungstext \"Elbe\" wird richtig zugeordnet")));
        rig.drop(QStringLiteral("Rhein"), QStringLiteral("Rhein"));
        // The wrong one comes back after the others.
        QVERIFY(rig.detailLines().last().endsWith(QStringLiteral("\"Donau\" soll der richtigen Position zugeordnet werden")));
        QCOMPARE(rig.frontend.visibleTiles(), QList<int>{rig.pairOf(QStringLiteral("Donau"))});

        // Finish, then repeat only what went wrong: Donau (failed) and Elbe (a wrong target).
        rig.frontend.choices << QuizFinishedChoice{true, 1};
        rig.drop(QStringLiteral("Donau"), QStringLiteral("Donau"));
        QCOMPARE(rig.engine.appMode(), int(amQuizRunning));
        QCOMPARE(rig.engine.run().selectionMode, 1);
        QCOMPARE(rig.engine.score().questionCount, 2);
        QCOMPARE(rig.engine.score().totalQuestionCount, 3);
        QSet<QString> asked;
        for (const QuizPair &p : rig.engine.run().quizList)
            asked << rig.doc.objects.at(p.tileObject).Cap;
        QCOMPARE(asked, QSet<QString>({QStringLiteral("Donau"), QStringLiteral("Elbe")}));
        QCOMPARE(rig.frontend.bestListCalls, 1); // a repetition never enters the best list
        rig.drop(QStringLiteral("Donau"), QStringLiteral("Donau"));
        rig.drop(QStringLiteral("Elbe"), QStringLiteral("Elbe"));
        QCOMPARE(rig.frontend.bestListCalls, 1);
        QVERIFY(!rig.frontend.finished.last().repetitionEnabled);
    }

    void singlePositionLines()
    {
        TopicDocument d = mapDocument(2);
        d.DokTyp = dtCloze;
        for (DocObject &o : d.objects)
            if (o.Typ == otLabel)
                o.Typ = otGap;
        Rig rig(d);
        rig.options.queryMode = 2;
        rig.options.positionOrder = 0;
        QVERIFY(rig.engine.StartQuiz(0, 0));
        const int asked = rig.engine.askedObject();
        QCOMPARE(rig.doc.objects.at(asked).Cap, QStringLiteral("Elbe"));
        QVERIFY(rig.detailLines().last().endsWith(QStringLiteral("Der Lücke \"Elbe\" soll der richtige Lückentext zugeordnet werden")));
        rig.engine.evaluate(rig.pairOf(QStringLiteral("Rhein")), asked);
        QVERIFY(rig.detailLines().at(rig.detailLines().size() - 2).endsWith(
            QStringLiteral("FALSCH - Der Lücke von \"Elbe\" wird der Lückentext \"Rhein\" zugeordnet")));
        QCOMPARE(rig.engine.instructionText(), QStringLiteral("Ziehe den richtigen Lückentext an die markierte Position!"));
    }

    void scoreFiguresAndGrades()
    {
        QCOMPARE(gradeFor(17.0 / 20.0), 1);
        QCOMPARE(percentText(17.0 / 20.0), QStringLiteral("85.0 %"));
        QCOMPARE(gradeFor(16.0 / 20.0), 2);
        QCOMPARE(gradeFor(0.2499), 6);
        QCOMPARE(gradeFor(0.25), 5);
        QCOMPARE(percentText(2.0 / 3.0), QStringLiteral("66.7 %"));
        QCOMPARE(clockText(187), QStringLiteral("03:07"));
        QCOMPARE(clockText(7500), QStringLiteral("125:00"));

        // 17 correct, 3 failed attempts, nothing open: 85.0 % and grade 1.
        Rig rig(mapDocument(17));
        rig.options.tileOrder = 0;
        QVERIFY(rig.engine.StartQuiz(0, 0));
        for (int i = 0; i < 3; ++i) {
            rig.engine.evaluate(0, rig.mark(rig.engine.run().quizList.at(1).tileObject).coverState == csOpenQuestion
                                       ? rig.engine.run().quizList.at(1).tileObject
                                       : -1);
        }
        while (rig.engine.appMode() == amQuizRunning) {
            const int p = rig.frontend.visibleTiles().first();
            rig.engine.evaluate(p, rig.engine.run().quizList.at(p).tileObject);
        }
        QCOMPARE(rig.frontend.finished.last().totalPerformanceText, QStringLiteral("85.0 %"));
        QCOMPARE(rig.frontend.finished.last().grade, 1);
        QCOMPARE(rig.frontend.finished.last().rating, QStringLiteral("sehr gut"));
    }

    void timeLimit()
    {
        Rig rig(mapDocument(4));
        rig.options.timeLimitOn = 1;
        rig.options.timeLimitSeconds = 0;
        QVERIFY(rig.engine.StartQuiz(0, 0));
        QCOMPARE(rig.frontend.status.clockCaption, QStringLiteral("Verbleibende Zeit:"));
        rig.engine.ZeitTimerTimer();
        QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral("Das Zeitlimit ist erreicht, die Übung wird beendet.")});
        QCOMPARE(rig.engine.run().endState, int(esTimeLimitReached));
        QCOMPARE(rig.frontend.finished.first().open, QStringLiteral("4"));
        QCOMPARE(rig.frontend.finished.first().timeCaption, QStringLiteral("Verbliebene Zeit:"));
        QCOMPARE(rig.frontend.finished.first().grade, 6);

        Rig counting(mapDocument(2));
        counting.options.timeLimitOn = 1;
        counting.options.timeLimitSeconds = 90;
        QVERIFY(counting.engine.StartQuiz(0, 0));
        counting.clock.advance(30500);
        counting.engine.ZeitTimerTimer();
        QCOMPARE(counting.frontend.clock, QStringLiteral("01:00"));
        QVERIFY(counting.frontend.timer);
        counting.clock.advance(59600);
        counting.engine.ZeitTimerTimer();
        QCOMPARE(counting.engine.run().endState, int(esTimeLimitReached));
    }

    void randomSubset()
    {
        TopicDocument d = mapDocument(30);
        d.titel = QStringLiteral("Flüsse – ZUFÄLLIGE Auswahl");
        d.AnzFrageNummern = 30;
        Rig rig(d);
        QVERIFY(rig.engine.StartQuiz(0, 0));
        QCOMPARE(rig.engine.run().selectionMode, 2);
        QCOMPARE(rig.engine.score().questionCount, 20);
        QCOMPARE(rig.engine.score().totalQuestionCount, 30);

        // Fewer eligible objects than the bound, and no question count at all: all of them.
        TopicDocument few = mapDocument(5);
        few.titel = QStringLiteral("zufällig");
        few.AnzFrageNummern = 0;
        Rig small(few);
        QVERIFY(small.engine.StartQuiz(0, 0));
        QCOMPARE(small.engine.score().questionCount, 5);
    }

    void nothingToAskAndCancelledName()
    {
        TopicDocument empty;
        empty.objects.append(label(QStringLiteral("Text"), 0.5, 0.5, otText));
        Rig rig(empty);
        QVERIFY(!rig.engine.StartQuiz(0, 0));
        QCOMPARE(rig.messages.texts(),
                 QStringList{QStringLiteral("Bitte zuerst über das Menü \"Quizauswahl\" das gewünschte Quiz auswählen.")});
        QCOMPARE(rig.engine.appMode(), int(amLearningView));

        Rig named(mapDocument(2));
        named.engine.setNameEntryEnabled(true);
        named.frontend.nameConfirmed = false;
        QVERIFY(!named.engine.StartQuiz(0, 0));
        QVERIFY(named.engine.run().protocolDetail.isEmpty());
        named.frontend.nameConfirmed = true;
        named.frontend.name = QStringLiteral("  Bea  ");
        QVERIFY(named.engine.StartQuiz(0, 0));
        QCOMPARE(named.frontend.status.name, QStringLiteral("Bea"));

        // Leaving a running quiz asks; No keeps it.
        named.messages.setNextAnswer(MessageAnswer::No);
        QVERIFY(!named.engine.CancelQuiz());
        QCOMPARE(named.engine.appMode(), int(amQuizRunning));
        QCOMPARE(named.messages.texts().last(), QStringLiteral("Das aktuelle Quiz ist noch nicht beendet.\r\nQuiz wirklich abbrechen?"));
        QVERIFY(named.engine.CancelQuiz());
        QCOMPARE(named.engine.appMode(), int(amLearningView));
        for (const ObjectMark &o : named.engine.run().marks)
            QVERIFY(o.coverState == csCovered || o.coverState == csUncovered);
    }

    void singleQuestions()
    {
        Rig rig(questionDocument(QStringLiteral("Eins?//1\r\nZwei?//2\r\nDrei?//3\r\nVier?//4\r\nFünf?//5\r\n"
                                                "Sechs?//6\r\nSieben?//7\r\nAcht?//8\r\nNoch eine Eins?//1")));
        rig.options.positionOrder = 0;
        rig.options.onFailed = 0;
        QVERIFY(rig.engine.StartQuiz(0, 0));
        QCOMPARE(rig.engine.score().questionCount, 9);
        for (int round = 0; round < 9; ++round) {
            const QList<int> shown = rig.frontend.visibleTiles();
            QVERIFY(shown.size() <= 6 && shown.size() >= 2);
            QSet<QString> captions;
            for (int p : shown)
                captions << rig.doc.objects.at(rig.engine.run().quizList.at(p).tileObject).Cap;
            QCOMPARE(captions.size(), shown.size()); // never two equal answers
            QVERIFY(shown.contains(rig.engine.correctTile()));
            if (round == 0) {
                QCOMPARE(rig.frontend.counter, QStringLiteral("1. Frage"));
                const QStringList lines = rig.detailLines();
                QCOMPARE(lines.at(1), QStringLiteral("00:00 - 1. Frage"));
                QCOMPARE(lines.at(2), QStringLiteral("Eins?"));
                QVERIFY(lines.at(3).startsWith(QStringLiteral("Antwortmöglichkeiten: ")));
                QVERIFY(lines.at(3).contains(QStringLiteral("\"1\" (Lösung)")));
                // A wrong answer: the correct tile blinks three times, then all tiles go.
                int wrong = -1;
                for (int p : shown)
                    if (p != rig.engine.correctTile())
                        wrong = p;
                rig.engine.evaluate(wrong, rig.engine.askedObject());
                QCOMPARE(rig.clock.waits(), QList<int>({150, 150, 150, 150, 150, 150, 800}));
                QVERIFY(rig.detailLines().at(4).contains(QStringLiteral("FALSCH - Gewählte Antwort: ")));
                continue;
            }
            rig.engine.evaluate(rig.engine.correctTile(), rig.engine.askedObject());
        }
        // The wrongly answered first question came back last, marked as repeated.
        QCOMPARE(rig.frontend.counter, QStringLiteral("10. Frage (wiederholte Frage)"));
        QCOMPARE(rig.engine.score().openCount, 1);
        rig.engine.evaluate(rig.engine.correctTile(), rig.engine.askedObject());
        QCOMPARE(rig.frontend.finished.size(), 1);
        QCOMPARE(rig.frontend.finished.first().correct, QStringLiteral("9  von  9"));

        // "jede Frage nur einmal stellen": a wrong answer is final.
        Rig once(questionDocument(QStringLiteral("A?//a\r\nB?//b")));
        once.options.onFailed = 1;
        QVERIFY(once.engine.StartQuiz(0, 0));
        int wrong = -1;
        for (int p : once.frontend.visibleTiles())
            if (p != once.engine.correctTile())
                wrong = p;
        const int asked = once.engine.askedObject();
        once.engine.evaluate(wrong, asked);
        QCOMPARE(once.mark(asked).coverState, int(csNotAskedAgain));
        once.engine.evaluate(once.engine.correctTile(), once.engine.askedObject());
        QCOMPARE(once.frontend.finished.size(), 1);
        QCOMPARE(once.frontend.finished.first().open, QStringLiteral("0"));
    }


    // A quiz over given objects: only they are asked, the document's other questions show
    // uncovered, and the result enters no best list.
    void askedSubset_data()
    {
        QTest::addColumn<bool>("questions");
        QTest::addColumn<QList<int>>("given");
        QTest::addColumn<QList<int>>("asked");
        QTest::newRow("three places of eight") << false << QList<int>{6, 1, 4} << QList<int>{1, 4, 6};
        QTest::newRow("an info point and an unknown index are left out") << false << QList<int>{2, 8, 42, -1}
                                                                         << QList<int>{2};
        // Single questions: given and asked by their numbers (the answers are the objects).
        QTest::newRow("two questions of five") << true << QList<int>{4, 2} << QList<int>{2, 4};
    }
    void askedSubset()
    {
        QFETCH(bool, questions);
        QFETCH(QList<int>, given);
        QFETCH(QList<int>, asked);
        Rig rig(questions ? questionDocument(QStringLiteral("A?//a\r\nB?//b\r\nC?//c\r\nD?//d\r\nE?//e"))
                          : mapDocument(8));
        rig.options.tileOrder = 0;
        rig.options.positionOrder = 0;
        if (questions) {
            // The answer objects of the questions with those numbers.
            auto answers = [&](const QList<int> &numbers) {
                QList<int> objects;
                for (int i = 0; i < rig.doc.objects.size(); ++i)
                    if (rig.doc.objects.at(i).Typ == otAnswer && numbers.contains(rig.doc.objects.at(i).FrageNummer))
                        objects << i;
                return objects;
            };
            given = answers(given);
            asked = answers(asked);
            QCOMPARE(asked.size(), 2);
        }
        QVERIFY(rig.engine.StartQuizOn(given));
        QCOMPARE(rig.engine.run().selectionMode, int(smGiven));
        QCOMPARE(rig.engine.score().questionCount, int(asked.size()));
        QCOMPARE(rig.engine.score().totalQuestionCount, questions ? 5 : 8);
        QList<int> tiles;
        for (const QuizPair &p : rig.engine.run().quizList)
            tiles << p.tileObject;
        std::sort(tiles.begin(), tiles.end());
        QCOMPARE(tiles, asked);
        for (int i = 0; i < rig.doc.objects.size(); ++i) {
            const bool eligible = rig.engine.isEligible(rig.doc.objects.at(i));
            const int expected = asked.contains(i) ? csOpenQuestion : eligible ? csUncovered : csCovered;
            QCOMPARE(rig.mark(i).coverState, expected);
        }
        // A place that is not asked takes no tile.
        if (!questions) {
            const int other = asked.contains(0) ? 3 : 0;
            QVERIFY(!rig.engine.evaluate(0, other).taken());
        }
        // Answering the asked ones ends the quiz.
        while (rig.engine.running()) {
            int pair = questions ? rig.engine.correctTile() : rig.frontend.visibleTiles().first();
            const int target = questions ? rig.engine.askedObject() : rig.engine.run().quizList.at(pair).tileObject;
            if (questions)
                QCOMPARE(rig.doc.objects.at(target).FrageNummer == 2 || rig.doc.objects.at(target).FrageNummer == 4, true);
            QVERIFY(rig.engine.evaluate(pair, target).correct);
        }
        QCOMPARE(rig.frontend.finished.size(), 1);
        QCOMPARE(rig.frontend.finished.first().correct, QStringLiteral("%1  von  %1").arg(asked.size()));
        QCOMPARE(rig.frontend.bestListCalls, 0);
        QVERIFY(!rig.engine.run().bestListEntered);
        QVERIFY(rig.engine.run().protocolDetail.contains(QStringLiteral("Quiz wird gestartet")));
    }

    void askedSubsetWithNothingToAsk()
    {
        Rig rig(mapDocument(3));
        QVERIFY(!rig.engine.StartQuizOn({3, 99}));
        QCOMPARE(rig.messages.texts(),
                 QStringList{QStringLiteral("Bitte zuerst über das Menü \"Quizauswahl\" das gewünschte Quiz auswählen.")});
        QCOMPARE(rig.engine.appMode(), int(amLearningView));
    }

    // Each verdict names the object the answer was given for, the tile's object, right or
    // wrong, and whether it was the first answer on that object.
    void verdictsPerItem()
    {
        Rig rig(mapDocument(3)); // Rhein 0, Elbe 1, Donau 2
        QVERIFY(rig.engine.StartQuiz(0, 0));
        rig.drop(QStringLiteral("Elbe"), QStringLiteral("Rhein"));
        rig.drop(QStringLiteral("Rhein"), QStringLiteral("Rhein"));
        rig.drop(QStringLiteral("Elbe"), QStringLiteral("Elbe"));
        QCOMPARE(rig.frontend.verdicts.size(), 3);
        const QuizVerdict &wrong = rig.frontend.verdicts.at(0);
        QCOMPARE(wrong.object, 0);
        QCOMPARE(wrong.tileObject, 1);
        QVERIFY(!wrong.correct && wrong.firstTry && !wrong.withheld);
        QCOMPARE(wrong.mark.failedAttempts, 1);
        QCOMPARE(wrong.mark.coverState, int(csOpenQuestion));
        const QuizVerdict &again = rig.frontend.verdicts.at(1);
        QCOMPARE(again.object, 0);
        QCOMPARE(again.tileObject, 0);
        QVERIFY(again.correct && !again.firstTry);
        QCOMPARE(again.mark.coverState, int(csUncovered));
        const QuizVerdict &first = rig.frontend.verdicts.at(2);
        QCOMPARE(first.object, 1);
        QVERIFY(first.correct && first.firstTry);
        QCOMPARE(rig.engine.run().quizList.at(first.pair).tileObject, 1);

        // Single questions: the object is the asked question's answer; the tile's object the
        // answer chosen. A question asked again is no first try.
        Rig single(questionDocument(QStringLiteral("Eins?//1\r\nZwei?//2\r\nDrei?//3")));
        single.options.positionOrder = 0;
        QVERIFY(single.engine.StartQuiz(0, 0));
        const int question = single.engine.askedObject();
        int chosen = -1;
        for (int p : single.frontend.visibleTiles())
            if (p != single.engine.correctTile())
                chosen = p;
        single.engine.evaluate(chosen, question);
        const QuizVerdict &v = single.frontend.verdicts.last();
        QCOMPARE(v.object, question);
        QCOMPARE(v.tileObject, single.engine.run().quizList.at(chosen).tileObject);
        QVERIFY(!v.correct && v.firstTry);
        while (single.engine.running())
            single.engine.evaluate(single.engine.correctTile(), single.engine.askedObject());
        QCOMPARE(single.frontend.verdicts.size(), 4);
        QCOMPARE(single.frontend.verdicts.last().object, question); // asked again at the end
        QVERIFY(single.frontend.verdicts.last().correct && !single.frontend.verdicts.last().firstTry);

        // Verdicts withheld until the end say so.
        Rig withheld(mapDocument(2));
        QVERIFY(withheld.engine.StartQuiz(0, 0));
        QuizOptions options = withheld.engine.options();
        options.feedbackAtEnd = fbAtEnd;
        withheld.engine.setOptions(options);
        withheld.drop(QStringLiteral("Rhein"), QStringLiteral("Elbe"));
        QVERIFY(withheld.frontend.verdicts.last().withheld);
        QVERIFY(!withheld.frontend.events.contains(QStringLiteral("Falsch")));
    }

    // While a verdict shows no further answer is taken; the next comes after proceed().
    void noAnswerWhileAVerdictShows()
    {
        Rig rig(questionDocument(QStringLiteral("Eins?//1\r\nZwei?//2\r\nDrei?//3")));
        QVERIFY(rig.engine.StartQuiz(0, 0));
        rig.frontend.holdVerdicts = true;
        const int asked = rig.engine.askedObject();
        QVERIFY(rig.engine.evaluate(rig.engine.correctTile(), asked).taken());
        QVERIFY(rig.engine.verdictShowing());
        // A second click, or a key typed meanwhile, lands on the same question: not taken.
        for (int p = 0; p < rig.engine.run().quizList.size(); ++p)
            QVERIFY(!rig.engine.evaluate(p, asked).taken());
        QCOMPARE(rig.engine.score().correctCount + rig.engine.score().failedCount, 1);
        QCOMPARE(rig.engine.run().questionNumber, 1);
        // The time limit waits for the verdict too.
        rig.engine.ZeitTimerTimer();
        QVERIFY(rig.engine.running());
        rig.engine.proceed();
        QVERIFY(!rig.engine.verdictShowing());
        QCOMPARE(rig.engine.run().questionNumber, 2);
        QVERIFY(rig.engine.evaluate(rig.engine.correctTile(), rig.engine.askedObject()).taken());
        QCOMPARE(rig.engine.score().correctCount, 2);
    }

    // A start cancelled at the name entry leaves everything as the last quiz left it.
    void cancelledStartChangesNothing()
    {
        Rig rig(mapDocument(3));
        rig.engine.setNameEntryEnabled(true);
        QVERIFY(rig.engine.StartQuiz(0, 0));
        rig.drop(QStringLiteral("Rhein"), QStringLiteral("Elbe"));
        rig.frontend.choices << QuizFinishedChoice{false, 0};
        for (const char *name : {"Rhein", "Elbe", "Donau"})
            rig.drop(QLatin1String(name), QLatin1String(name));
        QCOMPARE(rig.engine.appMode(), int(amLearningView));
        const ObjectMarks marks = rig.engine.run().marks;
        const QList<QuizPair> list = rig.engine.run().quizList;
        const QString protocol = rig.engine.run().protocolDetail;
        const int failed = rig.engine.score().failedCount;
        const QStringList events = rig.frontend.events;
        rig.frontend.nameConfirmed = false;
        for (int mode : {int(smComplete), int(smWrongOnes)}) {
            QVERIFY(!rig.engine.StartQuiz(mode, 0));
            QCOMPARE(rig.engine.appMode(), int(amLearningView));
            QCOMPARE(rig.engine.run().marks, marks);
            QCOMPARE(rig.engine.run().quizList, list);
            QCOMPARE(rig.engine.run().protocolDetail, protocol);
            QCOMPARE(rig.engine.score().failedCount, failed);
        }
        QCOMPARE(rig.frontend.events, events + QStringList({"name", "name"}));
        // Still the repetition asks what went wrong in that quiz.
        rig.frontend.nameConfirmed = true;
        QVERIFY(rig.engine.StartQuiz(smWrongOnes, 0));
        QCOMPARE(rig.engine.score().questionCount, 2); // Elbe failed, Rhein went to a wrong place
    }

    void tileStacksAndGrid()
    {
        // Panel 600 high: tops 554, 506, ... down to 38 hold 11 tiles; the 12th starts a new stack.
        const TilePlacement stacks = stackedTilePlacement(14, QSize(900, 600));
        QCOMPARE(stacks.positions.last(), QPoint(750, 554));
        QCOMPARE(stacks.positions.at(13 - 10), QPoint(750, 554 - 480));
        QCOMPARE(stacks.positions.at(13 - 11), QPoint(738, 547));
        QCOMPARE(stacks.positions.at(0), QPoint(738, 547 - 96));
        QCOMPARE(stacks.tileAreaLeft, 733);

        const TilePlacement one = arrangeVisibleTiles({2}, 4, QSize(150, 46), QSize(900, 600), 1);
        QCOMPARE(one.positions.at(2), QPoint(750, 277));
        QCOMPARE(one.positions.at(0), QPoint(-1, -1));

        Random random(5);
        const QList<QPoint> ordered = singleQuestionGrid({0, 3, 4, 6}, 8, QPoint(100, 300), QSize(150, 46), false, random);
        QCOMPARE(ordered.at(0), QPoint(100, 300));
        QCOMPARE(ordered.at(3), QPoint(270, 300));
        QCOMPARE(ordered.at(6), QPoint(100, 366));
        const QList<QPoint> shuffled = singleQuestionGrid({0, 3, 4, 6}, 8, QPoint(100, 300), QSize(150, 46), true, random);
        QSet<QPoint> slots;
        for (int k : {0, 3, 4, 6})
            slots.insert(shuffled.at(k));
        QCOMPARE(slots, QSet<QPoint>({QPoint(100, 300), QPoint(270, 300), QPoint(440, 300), QPoint(100, 366)}));
    }

    void hitTestPasses()
    {
        TopicDocument d = mapDocument(3);
        ObjectMarks marks(d.objects.size(), ObjectMark{csOpenQuestion, 1});
        CardLayout layout;
        layout.set(0, ObjectBox{RectD{0.1, 0.1, 0.3, 0.2}});
        layout.set(1, ObjectBox{RectD{0.4, 0.1, 0.6, 0.2}});
        layout.set(2, ObjectBox{RectD{0.35, 0.3, 0.5, 0.5}});
        // The middle of the left edge lies in object 1, while the tile also overlaps object 0.
        QCOMPARE(quizHitTest(d, marks, layout, RectD{0.45, 0.05, 0.7, 0.25}, -1, -1), 1);
        QCOMPARE(quizHitTest(d, marks, layout, RectD{0.25, 0.12, 0.45, 0.18}, -1, -1), 0); // left edge in object 0 first pass
        // Second pass: only a corner overlaps.
        QCOMPARE(quizHitTest(d, marks, layout, RectD{0.2, 0.25, 0.36, 0.31}, -1, -1), 2);
        // Right and bottom edges are outside.
        QCOMPARE(quizHitTest(d, marks, layout, RectD{0.3, 0.15, 0.32, 0.16}, -1, -1), -1);
        // Only the asked object in single-position mode; a locked object is no target.
        QCOMPARE(quizHitTest(d, marks, layout, RectD{0.45, 0.05, 0.7, 0.25}, -1, 2), -1);
        marks[1].coverState = csWrongCross;
        QCOMPARE(quizHitTest(d, marks, layout, RectD{0.45, 0.12, 0.7, 0.18}, -1, -1), -1);
        marks[0].displayNo = -1;
        QCOMPARE(quizHitTest(d, marks, layout, RectD{0.15, 0.12, 0.2, 0.18}, -1, -1), -1);
    }

    void largeQuizzesKeepHalfThePanel_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QSize>("panel");
        QTest::addColumn<bool>("allStacked");
        QTest::newRow("a small quiz as ever") << 14 << QSize(900, 600) << true;
        QTest::newRow("300 labels") << 300 << QSize(900, 600) << false;
        QTest::newRow("300 labels, large window: all fit") << 300 << QSize(1800, 1000) << true;
        QTest::newRow("1500 labels, large window") << 1500 << QSize(1800, 1000) << false;
        QTest::newRow("narrow panel: one tile at least") << 5 << QSize(250, 300) << false;
    }
    void largeQuizzesKeepHalfThePanel()
    {
        QFETCH(int, count);
        QFETCH(QSize, panel);
        QFETCH(bool, allStacked);
        const TilePlacement p = stackedTilePlacement(count, panel);
        QCOMPARE(p.stacked == count, allStacked);
        QVERIFY(p.stacked >= 1);
        if (p.stacked > 1 || 2 * (panel.width() - 155) >= panel.width())
            QVERIFY2(2 * p.tileAreaLeft >= panel.width(), qPrintable(QString::number(p.tileAreaLeft)));
        // The stacked pairs lie exactly as the stacks of a quiz of that many.
        int left = 0;
        const QList<QPoint> slots = stackSlots(p.stacked, panel, &left);
        QCOMPARE(left, p.tileAreaLeft);
        for (int k = 0; k < count; ++k)
            QCOMPARE(p.positions.at(k), k < p.stacked ? slots.at(p.stacked - 1 - k) : QPoint(-1, -1));
        if (!allStacked && p.stacked > 1) {
            // One more would have pushed the card below half the panel.
            stackSlots(p.stacked + 1, panel, &left);
            QVERIFY(2 * left < panel.width());
        }
    }

    void keyboardTargetsByNumber()
    {
        TopicDocument d = mapDocument(6);
        const int numbers[] = {3, 1, 0, 2, 4, 5};
        ObjectMarks marks(d.objects.size());
        for (int i = 0; i < 6; ++i) {
            marks[i].coverState = csOpenQuestion;
            marks[i].displayNo = numbers[i];
        }
        marks[4].coverState = csCorrect; // placed already
        marks[5].displayNo = -1;         // not a target at all
        const QList<KeyboardTarget> targets = keyboardTargets(d, marks, -1, -1);
        QList<int> objects;
        QStringList shown;
        for (const KeyboardTarget &t : targets) {
            objects << t.object;
            shown << t.number;
        }
        QCOMPARE(objects, QList<int>({1, 3, 0, 2}));
        QCOMPARE(shown, QStringList({"1", "2", "3", "?"}));
        QCOMPARE(targetByNumber(targets, QStringLiteral("2")), 3);
        QCOMPARE(targetByNumber(targets, QStringLiteral(" 3")), 0);
        QCOMPARE(targetByNumber(targets, QStringLiteral("4")), -1);
        QCOMPARE(targetByNumber(targets, QStringLiteral("?")), -1);
        QCOMPARE(targetByNumber(targets, QString()), -1);
        // Covers numbered with letters are typed as letters, either case.
        d.NumArt = 1;
        QCOMPARE(targetByNumber(keyboardTargets(d, marks, -1, -1), QStringLiteral("b")), 3);
        // In single-position mode only the asked object is offered.
        const QList<KeyboardTarget> only = keyboardTargets(d, marks, -1, 3);
        QCOMPARE(only.size(), 1);
        QCOMPARE(only.first().object, 3);
    }

    void flightAndClamp()
    {
        QVERIFY(flightPath(QPoint(10, 10), QPoint(11, 10)).isEmpty()); // half a pixel rounds to no step
        const QList<QPoint> path = flightPath(QPoint(0, 0), QPoint(30, 40));
        QCOMPARE(path.size(), 25);
        QCOMPARE(path.last(), QPoint(30, 40));
        QCOMPARE(path.first(), QPoint(1, 2));
        QRect tile(880, -5, 150, 46);
        QCOMPARE(clampIntoPanel(tile, QSize(900, 600)), QPoint(-130, 5));
        QCOMPARE(tile.topLeft(), QPoint(750, 0));
    }
};

QTEST_GUILESS_MAIN(TestQuizEngine)
#include "tst_quiz_engine.moc"
