#pragma once

#include <QString>
#include <QStringList>

namespace kapitolo {

struct QuizRun;
struct QuizScore;

// The four reports a participant sends to the teacher's computer. Builders give the
// payload lines (the transport puts its header in front); the parser takes the text a
// receiver got and accepts only a report of exactly the expected shape.
inline constexpr char kReportInit[] = "TN-INIT";
inline constexpr char kReportAction[] = "TN-AKTION";
inline constexpr char kReportFinish[] = "TN-FERTIG";
inline constexpr char kReportBestList[] = "TN-BESTLIST";

// A participant key: 30 capital letters A to Z.
inline constexpr int kParticipantKeyLength = 30;
// A new key from the system's entropy: not from the program's generator, which is seeded
// from the clock, so that a class starting at the same moment does not share keys and rows
// on the teacher's display.
QString newParticipantKey();

// The longest report text accepted; real reports are a few hundred characters.
inline constexpr int kMaxReportChars = 2048;

// Time of day of a day number, "HH:mm:ss" (the German long time format).
QString reportTimeOfDay(double dayNumber);
// Up to 15 significant digits, decimal comma, exponent only where a plain number
// would need more digits ("46000,5", "0,85", "1", "1E-5").
QString reportFloat(double value);
// Either decimal separator ("46000,5" and "46000.5"), an optional exponent; nothing else.
bool parseReportFloat(const QString &text, double &value);

QStringList initReportLines(const QString &key, const QString &name, double startTime);
QStringList actionReportLines(const QString &key, int hitObject, int coverState, int failedAttempts,
                              const QuizRun &run, const QuizScore &score);
QStringList finishReportLines(const QString &key, int endState, const QString &clock);
QStringList bestListReportLines(const QString &key, const QString &name, const QString &computer, double startTime,
                                int elapsedMs, double totalPerformance);

struct NetworkReport {
    enum class Kind { Init, Action, Finish, BestList };
    Kind kind = Kind::Init;
    QString key;
    QString name;           // TN-INIT, TN-BESTLIST
    QString startText;      // TN-INIT, TN-AKTION: time of day as sent
    qint32 hitObject = -1;  // TN-AKTION
    qint32 coverState = 0;
    qint32 failedAttempts = 0;
    qint32 endState = 0;    // TN-AKTION, TN-FERTIG
    qint32 questionCount = 0;
    qint32 correctCount = 0;
    qint32 failedCount = 0;
    qint32 openCount = 0;
    QString clock;          // TN-AKTION, TN-FERTIG
    QString successRate;    // TN-AKTION, percent as sent ("87.5")
    QString totalPerformance;
    qint32 grade = 0;
    QString computer;       // TN-BESTLIST
    double start = 0;
    qint32 durationMs = 0;
    double performance = 0; // 0..1
};

// Strict: the line count of the kind, every line ended by CR LF, numbers in range, texts
// within their lengths. False for anything else, which the caller drops.
bool parseNetworkReport(const QString &text, NetworkReport &report);

} // namespace kapitolo
