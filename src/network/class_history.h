#pragma once

#include "network/exercise_journal.h"
#include "sharing/sheet_picture.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class QSqlQuery;

namespace kapitolo {

class Messages;
struct TopicDocument;

// One pupil in one exercise: every row the pupil had (a repeated quiz is a new row) made
// one, the last result counting.
struct HistoryPupil {
    QString identity;  // browser pupils by their folded name, Kapitolo by computer and user
    QString name;      // as the tables show it
    bool browser = false;
    QString computer;
    QString user;
    int state = 0;            // ParticipantRow::State
    double performance = -1;  // total performance in percent; -1 without a result
    int grade = 0;
    int correct = 0;
    int failed = 0;
    QString clock;
    int attempts = 1;
    bool operator==(const HistoryPupil &) const = default;
};

// One accepted answer of the exercise.
struct HistoryAnswer {
    QString pupil; // identity
    QString key;   // the participant key of the quiz it belongs to
    double at = 0;
    int object = -1;
    QString item; // the learning record's item key
    bool correct = false;
    bool firstTry = false;
    bool operator==(const HistoryAnswer &) const = default;
};

// An exercise as the history keeps it, built from its journal.
struct HistoryExercise {
    qint64 id = 0;
    QString journal; // file name of the journal: an exercise is added once
    QString channel;
    QString title;
    QString topicPath;
    QString contentHash;
    qint32 docType = 0;
    double started = 0;
    double ended = 0;
    QList<HistoryPupil> pupils;
    QList<HistoryAnswer> answers;
    QHash<QString, QString> itemTexts; // item key -> text as the item analysis writes it
};

// The exercise from its journal, replayed through the teacher's bookkeeping: the rows
// the control display would show (a participant the teacher removed has none, and so
// neither has any of its answers), and the answers the board accepted, right when the
// key's correct count grew. document is the exercise's document, for the items.
HistoryExercise exerciseFromJournal(const QList<JournalRecord> &records, const QString &journalPath,
                                    const TopicDocument &document, double endedAt);

// The pupils' identity and displayed name.
QString pupilIdentity(const QString &computer, const QString &user, bool *browser = nullptr);
QString pupilName(const QString &computer, const QString &user);

// The trend of a pupil: the slope of the total performance over the last (at most five)
// exercises, in percentage points per exercise (least squares); NaN with fewer than two.
double performanceTrend(const QList<double> &performances);
// "↑ +12,5", "↓ −7,0", "→ +1,0" (steady within 2 points); empty for NaN.
QString trendText(double trend);

// The table of the history dialog: pupils (rows) against exercises (columns).
struct HistoryTable {
    QList<HistoryExercise> exercises; // without pupils and answers; oldest first
    QStringList pupils;               // names, sorted
    QStringList identities;           // in the order of pupils
    // [pupil][exercise]: index into results, or -1 when absent
    QList<QList<int>> cells;
    QList<HistoryPupil> results;
    QList<double> trends; // per pupil

    QString cellText(int pupil, int exercise) const;
};

// An item the class still gets wrong: its rate at the first try in each of the topic's
// last exercises (-1 where it was not answered).
struct WeakItem {
    QString item;
    QString text;
    QList<double> rates; // percent, per exercise of WeakItems::exercises
    double latest() const;
};
struct WeakItems {
    QList<HistoryExercise> exercises; // the topic's last exercises, oldest first
    QList<WeakItem> items;            // hardest first
    // Every item answered in those exercises, with its rate the last time it was asked:
    // the marks on the card.
    QHash<QString, double> latestRates;
};

// klassen.sqlite in the protocol folder: the teacher's history of every network exercise,
// owner-only. Opened for each use (the dialog and the end of an exercise are rare).
class ClassHistory
{
public:
    static constexpr int kSchemaVersion = 1;
    static constexpr int kWeakExercises = 5;

    ClassHistory(const QString &path, Messages &messages);
    ~ClassHistory();
    static QString fileIn(const QString &protocolFolder);
    const QString &path() const { return m_path; }

    // Adds (or replaces) the exercise; false after a reported failure.
    bool add(const HistoryExercise &exercise);

    QStringList channels();
    // The topics of a channel, by title.
    QStringList topics(const QString &channel);
    // Topic empty: all topics of the channel.
    HistoryTable table(const QString &channel, const QString &topic);
    WeakItems weakItems(const QString &channel, const QString &topic, int lastExercises = kWeakExercises);
    // The file of the topic's last exercise, for its card.
    QString topicPath(const QString &channel, const QString &topic);

private:
    bool open();
    void close();
    QList<HistoryExercise> exercises(const QString &channel, const QString &topic);
    // Whether the query failed (in its exec or while reading its rows). The first failure
    // is reported, so that an unreadable history does not pass for an empty one; the next
    // after a read that went through (one message box for each look at the history).
    bool failed(const QSqlQuery &q);
    // The end of a read: ok says whether it went through.
    bool read(bool ok)
    {
        if (ok)
            m_readReported = false;
        return ok;
    }

    QString m_path;
    QString m_connection;
    Messages &m_messages;
    bool m_open = false;
    bool m_reported = false;
    bool m_readReported = false;
};

// The table and the weak items as a spreadsheet file: semicolons, decimal comma, UTF-8
// with a byte-order mark.
QByteArray classHistoryCsv(const HistoryTable &table, const WeakItems &weak);

// The history as report pages for printing and PDF (the last exercises that fit).
QList<SheetPicture> buildClassHistoryReport(const QString &channel, const QString &topic, const HistoryTable &table,
                                            const WeakItems &weak, const QDateTime &when);

} // namespace kapitolo
