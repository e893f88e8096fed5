#pragma once

#include "network/exchange_files.h"
#include "results/best_list.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <memory>

namespace kapitolo {

class ControlBoard;

// One entry of an exercise's journal: what the teacher's computer accepted or decided,
// in the order it happened. Reports are kept as the text that arrived, so that a replay
// through the same bookkeeping gives the same rows, best-list keys and figures as the
// live exercise; whatever later reads reports (further figures, other kinds of pupil)
// is rebuilt the same way.
struct JournalRecord {
    enum class Kind { Initiated, Report, BestListEntered, Ended, Browser, Removed };
    Kind kind = Kind::Report;
    double at = 0; // day number on the teacher's computer

    // Initiated: the exercise as the class received it.
    QString channel;
    QString initiator;
    QString title;
    qint32 dokTyp = 0;
    NetworkOptionFile options;
    QString topicPath; // the teacher's topic file (empty in journals of older versions)

    // Report: the header names and the text, as the transport delivered them.
    QString computer;
    QString user;
    QString text;

    // BestListEntered: the participant key whose result is in the network best list.
    // Removed: the participant the teacher took out of the exercise.
    QString key;

    // Browser: what the web server decided for a browser pupil (a join, an answer), so
    // that a restart rebuilds the browser sessions as they stood.
    QJsonObject data;

    bool operator==(const JournalRecord &) const = default;
};

// "Netzwerk-Uebung-" + channel + "-" + yyyymmdd-hhmmss + ".journal", the time of the
// initiation: the journal lies beside the exercise's results file.
QString journalFileName(const QString &channel, const QDateTime &initiation);

// One line per record: "K1 ", the CRC-32 of the JSON text as eight hex digits, a blank,
// the JSON text (UTF-8, no line break inside), LF. A line cut short by a crash, or one
// whose checksum does not match, is skipped; the records around it stay.
QByteArray encodeJournalRecord(const JournalRecord &record);

struct JournalContents {
    QList<JournalRecord> records;
    int skipped = 0; // torn or damaged lines
};
JournalContents decodeJournal(const QByteArray &bytes);
// False when the file cannot be read at all.
bool readJournal(const QString &path, JournalContents &contents);

// The journal being written. Every record goes to the file at once; the records that
// end a pupil's quiz and the exercise's own decisions are also synced to the disk. The
// file is readable by its owner only: it names pupils with their results.
class ExerciseJournal
{
public:
    ExerciseJournal();
    ~ExerciseJournal();

    // A new journal; false when it exists already or cannot be created.
    bool create(const QString &path);
    // Appending to the journal of an exercise taken up again.
    bool reopen(const QString &path);
    void close();
    bool isOpen() const;
    const QString &path() const { return m_path; }

    // False when the record could not be written completely.
    bool append(const JournalRecord &record, bool sync);

private:
    bool openFile(const QString &path, bool create);

    std::unique_ptr<QFile> m_file;
    QString m_path;
};

// What a replay leaves besides the rows: results that reached the teacher but are not
// yet in the network best list (the computer went down in between), by key.
struct JournalReplay {
    JournalRecord initiated;
    bool ended = false;
    QHash<QString, BestListEntry> pendingBestList;
    // The browser records in their order, for the web server.
    QList<QJsonObject> browser;
};

// Feeds the records into a fresh board, as they came in live.
JournalReplay replayJournal(const QList<JournalRecord> &records, ControlBoard &board);

} // namespace kapitolo
