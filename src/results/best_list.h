#pragma once

#include "platform/german.h"

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace kapitolo {

class Clock;
class Messages;
struct QuizRun;
struct QuizScore;
struct TopicDocument;

struct BestListEntry {
    QString name;
    QString computer;
    double start = 0;      // day number
    double end = 0;        // start plus the whole seconds of the duration (computed when read)
    qint32 durationMs = 0;
    double performance = 0; // 0..1

    bool operator==(const BestListEntry &) const = default;
};

using BestList = QList<BestListEntry>;

// The .hsc file: magic, field list, then the entries one after the other.
inline constexpr char kBestListMagic[] = "TSR-HSC-1.00";
inline constexpr char kBestListFieldList[] = "|HSC-Name|HSC-Rechner|HSC-Beginn|HSC-Dauer|HSC-Leistung|";
inline const QString kNoName = QStringLiteral("(kein Name)");

// A name that is empty or only blanks is stored as "(kein Name)"; any other name
// keeps its blanks.
QString bestListName(const QString &name);

// The entry of the quiz just finished (own quiz).
BestListEntry entryFromQuiz(const QuizRun &run, const QuizScore &score, const QString &computer);

// Bytes of the file head, and of one entry holding the fields the field list names.
QByteArray encodeBestListHead();
QByteArray encodeBestListEntry(const BestListEntry &entry, const QString &fieldList = QString::fromLatin1(kBestListFieldList));

// Parses a whole file. Fails (false) when the head is missing or not ours. An entry
// cut short (a writer that died) ends the list: the entries before it are kept and
// validLength tells where the intact part ends.
struct BestListParse {
    BestList entries;
    QString fieldList;
    qint64 headLength = 0;
    qint64 validLength = 0;
    bool damagedTail = false;
};
bool parseBestList(const QByteArray &bytes, BestListParse &result);

// Appends one entry. The file is locked against every other writer and reader (other
// processes and other computers on the share) while it is examined and extended; a
// missing file is created only if it is still missing; the remains of a writer that
// died half-way are cut off first; the entry goes out in one write and is flushed to
// disk. No message: callers retry and report.
bool appendBestListEntry(const QString &path, const BestListEntry &entry, Clock &clock);

// Takes one entry out of the list under the same lock (the first equal one); false when the
// file cannot be read or written or holds no such entry. No message.
bool removeBestListEntry(const QString &path, const BestListEntry &entry, Clock &clock);

// Reads the list under a shared lock. A missing file or a foreign head fails; a cut
// last entry leaves the entries before it (see parseBestList). No message.
bool readBestList(const QString &path, BestList &list, Clock &clock);

// Best first: higher performance, then shorter duration; a selection sort whose swaps
// decide the order of equal entries.
void rankBestList(BestList &list);

// The window's grid and the text of "Speichern...": a header row and one row per entry
// (one empty row for an empty list).
QStringList bestListHeader();
QList<QStringList> bestListRows(const BestList &list, const QLocale &locale = germanLocale());
// Rows joined by tabs, each ended by CR LF. A cell a spreadsheet would take for a formula
// keeps a leading apostrophe, and tabs and line breaks inside a cell become blanks: names
// come from pupils' keyboards and the network.
QString bestListText(const QList<QStringList> &rows);
// A text a spreadsheet would take for a formula (leading "=", "+", "-", "@", tab or CR),
// kept as text by a leading apostrophe.
QString formulaSafe(QString text);
// Screen column widths in pixels, and alignment per column: -1 left, 0 centred, 1 right.
QList<int> bestListColumnWidths();
QList<int> bestListColumnAlignments();
// The date-time column: short date and long time of the locale.
QString bestListDateTimeText(double dayNumber, const QLocale &locale = germanLocale());

// File names: best-list folder + document base name + ".hsc"; communication folder +
// channel + "-tsrnetzuebung.hsc".
QString individualBestListPath(const QString &bestListFolder, const QString &documentFileName);
QString networkBestListPath(const QString &communicationFolder, const QString &channel);

// Five attempts, a 100 ms busy wait after each failed one; the message only after the last.
bool saveBestListEntryWithRetries(const QString &path, const BestListEntry &entry, bool networkMode, Clock &clock,
                                  Messages &messages);
bool loadBestListWithRetries(const QString &path, BestList &list, bool networkMode, Clock &clock, Messages &messages);

} // namespace kapitolo
