#pragma once

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

// The option values one quiz runs with (item indexes of the options dialogs' radio groups).
struct QuizOptions {
    qint32 feedbackAtEnd = 0;   // 1: no right/wrong feedback until the end
    qint32 onCorrect = 0;       // 0 show the caption, 1 green tick
    qint32 onFailed = 0;        // 0 any number of attempts, 1 red cross after one
    qint32 tileOrder = 1;       // 0 alphabetical, 1 shuffled
    qint32 positionOrder = 1;   // 0 ordered numbers, 1 shuffled numbers, 2 question marks
    qint32 queryMode = 0;       // 0 free, 1 single text, 2 single position
    qint32 timeLimitOn = 0;     // 1: time limit
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

struct QuizRun {
    qint32 selectionMode = 0; // 0 complete, 1 repetition of the wrong ones, 2 random subset
    qint32 networkRole = nrOwnQuiz;
    QList<QuizPair> quizList;
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
