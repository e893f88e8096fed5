#pragma once

#include "document/topic_document.h"
#include "quiz/quiz_types.h"
#include "quiz/tile_layout.h"
#include "view/card_layout.h"

#include <QList>
#include <QString>

#include <functional>

namespace kapitolo {

class Clock;
class Messages;
class Random;
struct ProtocolEnvironment;

// What the status panel shows; the engine computes, the window displays.
struct QuizStatusTexts {
    QString status;        // "warte auf Antwort" / "Quiz beendet"
    QString total;         // "von  20"
    QString name;          // "-" when empty
    QString correct;
    QString failed;
    QString successRate;
    QString totalPerformance;
    QString open;
    QString clockCaption;  // "Verbleibende Zeit:" / "Benötigte Zeit:"

    bool operator==(const QuizStatusTexts &) const = default;
};

// What the finished dialog shows, and what it answers.
struct QuizFinishedInfo {
    QString correct;       // "15  von  20"
    QString failed;
    QString successRate;
    QString timeCaption;   // "Verbliebene Zeit:" / "Benötigte Zeit:"
    QString clock;
    QString open;
    QString totalPerformanceText;
    QString rating;
    qint32 grade = 0;
    double totalPerformance = 0;
    bool repetitionEnabled = false;
};

struct QuizFinishedChoice {
    bool repeat = false;
    qint32 repetitionMode = smComplete; // or smWrongOnes
};

// What one answer did, as the engine judged it.
struct QuizVerdict {
    int object = -1;       // the object the answer was given for: the place, gap or question
    int tileObject = -1;   // the object whose caption the tile carries
    int pair = -1;         // the tile, by its pair in quizList; -1: no answer was taken
    bool correct = false;
    bool firstTry = false; // the first answer given for this object in this quiz
    bool withheld = false; // right or wrong is not shown before the end (feedbackAtEnd)
    ObjectMark mark;       // the object's mark after the answer

    bool taken() const { return pair >= 0; }
};

// A frontend of the quiz: the desktop's quiz panel, a pupil in a browser, a test. It
// renders the engine's read-only state (run(), score(), statusTexts(), tileShown() ...)
// when told that something changed, and answers the two questions a quiz asks.
class QuizFrontend
{
public:
    virtual ~QuizFrontend() = default;

    // The name entry; false when it was not confirmed.
    virtual bool askParticipantName(QString &name) = 0;
    // The quiz started: its tiles, the card with the quiz's marks, the first question.
    virtual void quizStarted() = 0;
    // Another question, text or place is asked (single questions, one text or one place
    // at a time).
    virtual void questionChanged() = 0;
    // An answer was judged. The frontend shows it as it likes and calls proceed() once it
    // has been seen; until then the engine takes no further answer.
    virtual void verdictGiven(const QuizVerdict &verdict) = 0;
    // The figures or the clock changed.
    virtual void statusChanged() = 0;
    // The quiz ended and its protocol is complete. With enterInBestList the result goes
    // into the best list; true when it was entered.
    virtual bool quizEnded(bool enterInBestList) = 0;
    // The finished dialog: repeat the quiz (and how), or leave it.
    virtual QuizFinishedChoice askHowToGoOn(const QuizFinishedInfo &info) = 0;
    // Back to the learning card.
    virtual void quizLeft() = 0;
};

// What the quiz of a network participant tells the teacher's computer, and how the
// participant's road goes on after the quiz; the network quiz implements it.
class QuizNetworkHooks
{
public:
    virtual ~QuizNetworkHooks() = default;
    // After every answer, once it has been shown: the verdict with the object's mark.
    virtual void answerEvaluated(const QuizVerdict &verdict) = 0;
    // The quiz ended with endState 1, 2 or 3 (the time limit reports twice).
    virtual void quizEnded() = 0;
    // The finished dialog asked for a repetition; false when it was not allowed.
    virtual bool repeatParticipation() = 0;
    // The participant left the network quiz: back to the start page.
    virtual void participationLeft() = 0;
};

// "-" + CR LF joins a word split at a line end (an upper-case letter or digit after it
// keeps the hyphen); line breaks become blanks, double blanks single ones; trimmed.
QString CleanCaption(const QString &caption);

// The caption an answer tile carries.
QString tileCaption(const QString &caption);

// Runs a quiz on the open document: selection, order, evaluation, score, clock, end. The
// engine owns the quiz: its tiles in play, the asked question, the marks, the figures and
// the time; nothing else writes them. Frontends read them and hear of changes.
class QuizEngine
{
public:
    QuizEngine(const TopicDocument &document, Messages &messages, Clock &clock, Random &random,
               QuizFrontend &frontend);

    // Options of the next own quiz (copied from the options dialogs at every start).
    void setOptionsSource(std::function<QuizOptions(qint32 dokTyp)> source) { m_optionsSource = std::move(source); }
    void setNameEntryEnabled(bool enabled) { m_nameEntry = enabled; }
    void setAutoBestListEntry(bool enabled) { m_autoBestList = enabled; }
    void setNetworkHooks(QuizNetworkHooks *hooks) { m_network = hooks; }
    // Where the protocol's summary says the quiz ran; without it no summary is written.
    void setProtocolEnvironment(std::function<ProtocolEnvironment()> source)
    {
        m_environment = std::move(source);
    }

    // An own quiz: the whole document (smComplete, or smRandom where the title says
    // "zufällig") or the wrongly answered questions of the last one (smWrongOnes).
    bool StartQuiz(int selectionMode, int networkRole = nrOwnQuiz);
    // An own quiz over the given objects only (places, gaps or, for single questions, the
    // answers of the questions); the document's other questions are shown uncovered and not
    // asked, and the result enters no best list.
    bool StartQuizOn(const QList<int> &objects);
    // The quiz of a network participant, with the initiator's options; it began at startTime
    // (the joining) and shows the name in the status panel.
    bool StartParticipantQuiz(const QuizOptions &options, double startTime, const QString &name = QString());

    // An answer: the tile of a pair placed on a target (for single questions the asked
    // question). A verdict that is not taken() changed nothing: no quiz, a hidden tile,
    // no target, or the verdict before still showing.
    QuizVerdict evaluate(int pair, int target);
    // The frontend has shown the verdict: the next question comes, or the end.
    void proceed();
    bool verdictShowing() const { return m_verdictShowing; }

    // The 100 ms clock of the running quiz.
    void ZeitTimerTimer();
    void EndQuiz();
    // Asks first while a quiz runs; false when the user keeps the quiz.
    bool CancelQuiz();
    // Back to the learning card without asking (the caller has asked already). A network
    // participant's quiz that still runs is reported as cancelled.
    void LeaveQuiz();
    bool ConfirmLeaveQuiz();
    // The window closes during a participant's quiz: it is reported as cancelled.
    void reportParticipantClosing();

    // This computer initiated a network exercise (no own quiz until it ends), or ended it.
    void setExerciseInitiated(bool initiated);
    // The finished dialog's "In Bestenliste eintragen" entered the result.
    void noteBestListEntry() { m_run.bestListEntered = true; }
    // The options of the quiz (a test's, or a participant's from the initiator).
    void setOptions(const QuizOptions &options) { m_options = options; }

    int appMode() const { return m_appMode; }
    bool running() const { return m_appMode == amQuizRunning && m_run.endState == esRunning; }
    const QuizRun &run() const { return m_run; }
    const QuizScore &score() const { return m_score; }
    const QuizOptions &options() const { return m_options; }
    const QuizStatusTexts &statusTexts() const { return m_statusTexts; }
    bool singleQuestions() const { return m_document.DokTyp == dtSingleQuestions; }
    QString instructionText() const;
    // "3. Frage" (with " (wiederholte Frage)" for one asked again); empty outside single questions.
    const QString &questionCounter() const { return m_counter; }
    // The text of the question being asked (single questions).
    QString questionText() const;

    // The tiles: still in play (not yet placed), and offered now (in play and not hidden by
    // a single text or question asked).
    bool tileInPlay(int pair) const { return pair >= 0 && pair < m_tileInPlay.size() && m_tileInPlay.at(pair); }
    bool tileShown(int pair) const { return tileInPlay(pair) && m_tileShown.at(pair); }
    // The object the current single position or single question asks for; -1 otherwise.
    int askedObject() const;
    // The one target a tile may go to while a single place is asked; -1 while any open
    // target may take it.
    int onlyTarget() const;
    // The pair index of the tile that carries the correct answer of the single question.
    int correctTile() const { return m_correctTile; }
    // The open target under a tile (card fractions) on a card laid out so; -1 for none.
    int targetAt(const RectD &tile, const CardLayout &layout) const;
    // The open targets by their numbers, for the keyboard.
    QList<KeyboardTarget> keyboardTargets() const;

    // Eligible objects of the document type.
    bool isEligible(const DocObject &object) const;

private:
    bool start(int selectionMode, int networkRole, const QList<int> *given);
    void chooseQuestions(ObjectMarks &marks, int mode, const QList<int> *given) const;
    QList<QuizPair> buildQuizList(const ObjectMarks &marks, const QuizOptions &options);
    void presentQuestion();
    void presentSingleText();
    void presentSinglePosition();
    void presentSingleQuestion();
    void refreshStatus(bool announce);
    void reportShownVerdict();
    bool refreshClock();
    void appendDetail(const QString &text, bool timeStamp);
    int countOpen() const;
    QString detailLine(bool correct, const QString &tile, const QString &position) const;
    void selectionSort(QList<qint32> &column, const std::function<bool(qint32, qint32)> &less) const;
    void shuffle(QList<qint32> &column);

    const TopicDocument &m_document;
    Messages &m_messages;
    Clock &m_clock;
    Random &m_random;
    QuizFrontend &m_frontend;
    std::function<QuizOptions(qint32)> m_optionsSource;
    std::function<ProtocolEnvironment()> m_environment;
    QuizNetworkHooks *m_network = nullptr;
    bool m_nameEntry = true;
    bool m_autoBestList = true;

    int m_appMode = amLearningView;
    QuizRun m_run;
    QuizScore m_score;
    QuizOptions m_options;
    QuizStatusTexts m_statusTexts;
    QString m_lastClock;
    QString m_counter;
    QList<bool> m_tileInPlay;
    QList<bool> m_tileShown;
    int m_correctTile = -1;
    // A participant's start: the time of joining and the name shown.
    double m_participantStart = 0;
    QString m_participantName;
    // The verdict that is being shown; the next answer waits for proceed().
    bool m_verdictShowing = false;
    QuizVerdict m_verdict;
};

} // namespace kapitolo
