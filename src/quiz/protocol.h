#pragma once

#include "platform/german.h"
#include "quiz/quiz_types.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

class QDateTime;
class QTextDocument;

namespace kapitolo {

class Clock;
class Messages;
struct TopicDocument;

// The two protocol parts of a quiz run.
enum class ProtocolPart { Summary, Detail };

// Appends text + CR LF to the given part. With the time stamp the line begins with the
// elapsed quiz time ("02:15 - "), whole seconds since startTick. An empty text gives
// an empty line.
void AppendProtocolLine(QuizRun &run, Clock &clock, ProtocolPart part, const QString &text, bool withTimeStamp);

// "1 Std. 2 Min. 5 Sek.", "3 Min. 0 Sek.", "45 Sek."; negative counts as 0.
QString durationText(qint64 seconds);

// Date and time as the user's locale writes them (short date with a four-digit year,
// time with seconds).
QString localDateTimeText(double dayNumber, const QLocale &locale = germanLocale());

// What the summary needs beyond the quiz records.
struct ProtocolEnvironment {
    QString computerName;
    QString userName;
    QString communicationFolder; // shown for an initiated network quiz
    QString channel;
    QLocale locale;
};

// The lines of the summary part at the end of a quiz, each without its CR LF.
QStringList protocolSummaryLines(const QuizRun &run, const QuizScore &score, const QuizOptions &options,
                                 const TopicDocument &document, const ProtocolEnvironment &environment);

// Appends protocolSummaryLines to the run's summary part.
void WriteProtocolSummary(QuizRun &run, const QuizScore &score, const QuizOptions &options,
                          const TopicDocument &document, const ProtocolEnvironment &environment);

// Summary followed by detail: the text the protocol window shows.
QString protocolText(const QuizRun &run);

// The protocol's rich text lives in a QTextDocument: Arial 9 pt, one tab stop at
// 160 pt, "<tit>" lines (any case) bold and followed by a 4 pt gap.
constexpr int kProtocolTabStopPoints = 160;
constexpr int kProtocolFontPoints = 9;
constexpr int kProtocolGapPoints = 4;

bool isProtocolHeading(const QString &line);
// Splits at CR LF, CR or LF; a final line break does not start another line.
QStringList protocolLines(const QString &text);
void FillProtocolView(QTextDocument &view, const QString &text, bool clearFirst);

// Resolution in which a QTextDocument without paint device lays out (tab positions are
// in its pixels).
qreal textDocumentDpi();

// "20260315-140509-RECHNER-0.rtf"
QString protocolFileName(const QDateTime &time, const QString &computer, int counter);

// Writes the file completely or not at all. With mayReplace false an existing file is
// never touched: the call fails with alreadyExists set instead.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, bool mayReplace, bool *alreadyExists = nullptr,
                         int mode = 0644);

// Saves the window's text under the first free protocol name of this second in the
// protocol folder; on failure shows the write error with the advice and returns false.
bool AutoSaveProtocol(const QTextDocument &view, const QString &protocolFolder, const QString &computer, Clock &clock,
                      Messages &messages, QString *savedPath = nullptr);

} // namespace kapitolo
