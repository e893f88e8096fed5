#pragma once

#include "document/topic_document.h"
#include "quiz/quiz_types.h"

#include <QColor>
#include <QList>
#include <QString>

#include <functional>

namespace kapitolo {

class Clock;
class Messages;
class Random;

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
    qint32 repetitionMode = 0; // 0 complete, 1 only the wrongly answered questions
};

// The window side of a running quiz: tiles, card, status panel, sounds and dialogs.
// Tiles are addressed by the index of their pair in quizList.
class QuizFrontend
{
public:
    virtual ~QuizFrontend() = default;

    // The name entry; false when it was not confirmed.
    virtual bool askParticipantName(QString &name) = 0;
    // Place the quiz panel over the card area, create the tiles, zoom 100 %.
    virtual void enterQuizView() = 0;
    // Remove the tiles, restore the learning card (numbering, zoom, full-size card).
    virtual void leaveQuizView() = 0;
    // Buttons and menus that follow appMode and networkRole.
    virtual void updateModeControls() = 0;

    virtual void redrawCard() = 0;
    virtual void redrawObject(int objectIndex) = 0;
    virtual void drawPanelBackground() = 0;

    virtual bool tileExists(int pair) const = 0;
    virtual bool isTileVisible(int pair) const = 0;
    virtual void setTileVisible(int pair, bool visible) = 0;
    virtual void hideAllTiles() = 0;
    virtual void arrangeVisibleTiles() = 0;
    virtual void setTileColour(int pair, const QColor &colour) = 0; // repaints it at once
    virtual void restoreTileColour(int pair) = 0;
    virtual void removeTile(int pair) = 0;
    virtual void flyTileHome(int pair) = 0;
    virtual void hideHitFrame() = 0;
    virtual void showQuestionCounter(const QString &text) = 0;

    virtual void showStatus(const QuizStatusTexts &texts) = 0;
    virtual void showClock(const QString &text) = 0;
    // "Richtig" or "Falsch" in the status label.
    virtual void showVerdict(bool correct) = 0;
    // Plays the sound to its end (when sound output is on).
    virtual void playQuizSound(bool correct) = 0;
    // Lets pending paint and timer events run once (no user input).
    virtual void processPendingEvents() = 0;
    virtual void setTimerEnabled(bool enabled) = 0;

    // End of the quiz: protocol (and its automatic saving) and the best-list entry.
    virtual void finishProtocol() = 0;
    // Enters the result into the best list; true when it was entered.
    virtual bool enterBestList() = 0;
    virtual QuizFinishedChoice showFinishedDialog(const QuizFinishedInfo &info) = 0;
};

// What the quiz of a network participant tells the teacher's computer, and how the
// participant's road goes on after the quiz; the network quiz implements it.
class QuizNetworkHooks
{
public:
    virtual ~QuizNetworkHooks() = default;
    // After every evaluated answer: the object it was given for, as it stands now.
    virtual void answerEvaluated(int hitObject, const DocObject &object) = 0;
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

// Runs a quiz on the open document: selection, order, evaluation, score, clock, end.
class QuizEngine
{
public:
    QuizEngine(TopicDocument &document, Messages &messages, Clock &clock, Random &random, QuizFrontend &frontend);

    // Options of the next own quiz (copied from the options dialogs at every start).
    void setOptionsSource(std::function<QuizOptions(qint32 dokTyp)> source) { m_optionsSource = std::move(source); }
    void setNameEntryEnabled(bool enabled) { m_nameEntry = enabled; }
    void setAutoBestListEntry(bool enabled) { m_autoBestList = enabled; }
    void setNetworkHooks(QuizNetworkHooks *hooks) { m_network = hooks; }

    bool StartQuiz(int selectionMode, int networkRole);
    void EvaluateAnswer(int pair);
    void ZeitTimerTimer();
    void EndQuiz();
    // Asks first while a quiz runs; false when the user keeps the quiz.
    bool CancelQuiz();
    // Back to the learning card without asking (the caller has asked already). A network
    // participant's quiz that still runs is reported as cancelled.
    void LeaveQuiz();
    bool ConfirmLeaveQuiz();

    void RefreshQuizStatus();
    void RefreshQuizClock();

    // The target under a dragged tile, or the asked question on a click.
    void setHitObject(int object) { m_run.hitObject = object; }
    // The objects a dropped tile can hit, for the hit test.
    bool isImageOrCloze() const { return m_document.DokTyp != dtSingleQuestions; }
    // The object the current single-position or single question asks for; -1 otherwise.
    int askedObject() const;
    // The pair index of the tile that carries the correct answer of the single question.
    int correctTile() const { return m_correctTile; }

    int appMode() const { return m_appMode; }
    bool running() const { return m_appMode == amQuizRunning && m_run.endState == esRunning; }
    const QuizRun &run() const { return m_run; }
    QuizRun &run() { return m_run; }
    const QuizScore &score() const { return m_score; }
    const QuizOptions &options() const { return m_options; }
    void setOptions(const QuizOptions &options) { m_options = options; }
    const QuizStatusTexts &statusTexts() const { return m_statusTexts; }
    QString instructionText() const;

    // Appends a line to the detail part, with the elapsed quiz time in front when stamped.
    void appendDetail(const QString &text, bool timeStamp);

    // Eligible objects of the document type.
    bool isEligible(const DocObject &object) const;

private:
    void chooseQuestions();
    void buildQuizList();
    void presentQuestion();
    void showQuestion(qint32 frageNummer);
    void presentSingleText();
    void presentSinglePosition();
    void presentSingleQuestion();
    int countOpen() const;
    QString detailLine(bool correct, const QString &tile, const QString &position) const;
    void selectionSort(QList<qint32> &column, const std::function<bool(qint32, qint32)> &less) const;
    void shuffle(QList<qint32> &column);

    TopicDocument &m_document;
    Messages &m_messages;
    Clock &m_clock;
    Random &m_random;
    QuizFrontend &m_frontend;
    std::function<QuizOptions(qint32)> m_optionsSource;
    QuizNetworkHooks *m_network = nullptr;
    bool m_nameEntry = true;
    bool m_autoBestList = true;

    int m_appMode = amLearningView;
    QuizRun m_run;
    QuizScore m_score;
    QuizOptions m_options;
    QuizStatusTexts m_statusTexts;
    QString m_lastClock;
    int m_correctTile = -1;
    // The question the learning card showed before the quiz took the card over.
    qint32 m_learningQuestion = 0;
    bool m_evaluating = false;
};

} // namespace kapitolo
