#pragma once

#include "document/topic_document.h"

#include <QList>
#include <QString>

namespace kapitolo {

// appMode of the main window.
enum AppMode : int {
    amLearningView = 2,
    amQuizRunning = 3,
};

// networkRole of a quiz.
enum NetworkRole : int {
    nrOwnQuiz = 0,
    nrParticipant = 1,
    nrInitiator = 2,
};

// endState of a quiz.
enum EndState : int {
    esRunning = 0,
    esFinished = 1,
    esCancelled = 2,
    esTimeLimitReached = 3,
};

// The values of the options, as the options dialogs' radio groups number them (they are
// stored so in the settings and in a network exercise's option file).
enum FeedbackTiming : qint32 { fbImmediate = 0, fbAtEnd = 1 };
enum CorrectMark : qint32 { cmCaption = 0, cmTick = 1 };
// A wrong answer: asked again later, or final (a cross; a single question not asked again).
enum FailedRule : qint32 { frAskAgain = 0, frFinal = 1 };
enum TileOrder : qint32 { toAlphabetical = 0, toShuffled = 1 };
enum PositionOrder : qint32 { poOrdered = 0, poShuffled = 1, poQuestionMarks = 2 };
enum QueryMode : qint32 { qmFree = 0, qmSingleText = 1, qmSinglePosition = 2 };
enum TimeLimit : qint32 { tlOff = 0, tlOn = 1 };

// selectionMode of a quiz: which of the eligible objects it asks.
enum SelectionMode : qint32 {
    smComplete = 0,
    smWrongOnes = 1, // the repetition of what was not answered right at the first try
    smRandom = 2,    // a random subset ("zufällig" in the title)
    smGiven = 3,     // a subset the caller names; the others are shown uncovered
};

// The option values one quiz runs with.
struct QuizOptions {
    qint32 feedbackAtEnd = fbImmediate; // right/wrong shown at once or only at the end
    qint32 onCorrect = cmCaption;       // the caption shown, or a green tick
    qint32 onFailed = frAskAgain;
    qint32 tileOrder = toShuffled;
    qint32 positionOrder = poShuffled;
    qint32 queryMode = qmFree;
    qint32 timeLimitOn = tlOff;
    qint32 timeLimitSeconds = 180;

    bool operator==(const QuizOptions &) const = default;
};

// One question: the tile's object and the asked position's object (object indexes).
struct QuizPair {
    qint32 tileObject = -1;
    qint32 positionObject = -1;

    bool operator==(const QuizPair &) const = default;
};

struct QuizScore {
    qint32 questionCount = 0;
    qint32 totalQuestionCount = 0;
    qint32 correctCount = 0;
    qint32 failedCount = 0;
    qint32 openCount = 0;
    double successRate = 0;
    double totalPerformance = 0;
    qint32 grade = 0;
    QString clockText;
};

// One quiz as the engine runs it; only the engine writes it.
struct QuizRun {
    qint32 selectionMode = smComplete;
    qint32 networkRole = nrOwnQuiz;
    QList<QuizPair> quizList;
    // The quiz's marks on the document's objects (open question, tick, cross ...) with the
    // counts a repetition selects by; they stay after the end until the next start.
    ObjectMarks marks;
    qint32 currentIndex = 0;
    qint32 questionNumber = 1;
    qint32 currentQuestionNo = -1;
    qint32 hitObject = -1;
    double startTime = 0; // day numbers
    double endTime = 0;
    quint32 startTick = 0;
    qint32 elapsedMs = 0;
    qint32 remainingSeconds = 0;
    qint32 endState = esRunning;
    QString participantName;
    bool bestListEntered = false;
    QString protocolDetail;
    QString protocolSummary;
};

// An own quiz of the whole document or a random part of it: neither a repetition nor a
// part named by the caller, nor a network quiz. Only such a result goes into the best list.
bool entersBestList(const QuizRun &run);

// "66.7 %": value times 100 with one decimal and a point.
QString percentText(double value);
// The same without the sign, as network reports carry it.
QString percentNumber(double value);
// The line under the name entry: a request for the name, or, where the typed name does not
// fit the files' Windows-1252, the name the protocol and the best list will keep.
QString nameEntryHint(const QString &typed);
// "03:07", "125:00": minutes with at least two digits, seconds with two.
QString clockText(qint64 seconds);
// Grade 1..6 from the total performance.
qint32 gradeFor(double totalPerformance);
// "sehr gut" .. "ungenügend".
QString ratingWord(qint32 grade);

} // namespace kapitolo
