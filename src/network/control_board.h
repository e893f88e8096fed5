#pragma once

#include "network/item_analysis.h"
#include "network/network_reports.h"
#include "results/best_list.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>

#include <optional>

namespace kapitolo {

// One participant of the running exercise, as the teacher sees it.
struct ParticipantRow {
    enum class State { Running, Finished, Cancelled, TimeLimit };

    QString key;
    QString computer;
    QString user;
    QString start;           // time of day as the participant sent it
    State state = State::Running;
    qint32 questionCount = -1; // -1 until the first answer
    qint32 correct = 0;
    qint32 failed = 0;
    qint32 open = -1;
    QString successRate;     // "87.5" as reported
    QString totalPerformance;
    qint32 grade = 0;
    QString clock;
    double lastReport = 0;   // day number on the teacher's computer
    bool inBestList = false;
};

QString participantStateText(ParticipantRow::State state);

// The teacher's bookkeeping of an exercise, one row per participant key, and the table
// of the control display. Reports are accepted only from keys that announced themselves
// with TN-INIT since this exercise began; a key enters the network best list once.
class ControlBoard : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        ColComputer, ColUser, ColStart, ColState, ColQuestions, ColCorrect, ColFailed, ColOpen, ColSuccessRate,
        ColTotalPerformance, ColGrade, ColClock, ColLastReport, ColumnCount
    };

    explicit ControlBoard(QObject *parent = nullptr);

    // What a received report did.
    struct Outcome {
        bool accepted = false;
        int row = -1;
        // A result for the network best list (first TN-BESTLIST of an announced key).
        std::optional<BestListEntry> bestListEntry;
    };
    // Takes one received message (header names and text). A malformed report, or one of a
    // key that never announced itself, counts as discarded and changes nothing else.
    Outcome handleReport(const QString &computer, const QString &userName, const QString &text, double now);
    // After the result of the key was appended to the network best list.
    void markEnteredInBestList(const QString &key);
    // The teacher took a participant out of the exercise: the row goes, with everything it
    // added to the item figures, and later reports of the key count as discarded. Returns
    // the row as it was (nothing for an unknown key).
    std::optional<ParticipantRow> removeParticipant(const QString &key);
    bool removed(const QString &key) const { return m_removed.contains(key); }
    // The network best-list entry of a key's result, as the board made it from the report.
    std::optional<BestListEntry> bestListEntry(const QString &key) const;

    // A message of another way in (a browser's) that was dropped as malformed.
    void countDiscarded();

    // A new exercise: no rows, no keys, no counts.
    void reset();

    const QList<ParticipantRow> &rows() const { return m_rows; }
    // Which places, gaps and questions the class answered how, from the same reports.
    const ItemAnalysis &items() const { return m_items; }
    int joinedCount() const { return int(m_rows.size()); }
    int runningCount() const;
    int finishedCount() const;
    int discardedCount() const { return m_discarded; }
    int acceptedCount() const { return m_accepted; }

    // "Teilnehmer: 3   laufend: 1   beendet: 2   verworfene Meldungen: 0".
    QString countsText() const;

    // The results file: a header row and a row per participant, separated by semicolons,
    // decimal comma, UTF-8 with a byte-order mark.
    QByteArray resultsCsv() const;

    static QString columnTitle(int column);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    QString cellText(int row, int column) const;

Q_SIGNALS:
    void countsChanged();
    // The figures of one place, gap or question changed (a reset is the model's reset).
    void itemChanged(int object);
    // The figures of many items changed at once (a participant was removed).
    void itemsReset();

private:
    void rowChanged(int row);

    QList<ParticipantRow> m_rows;
    QHash<QString, int> m_rowOfKey;
    QSet<QString> m_removed;
    QHash<QString, BestListEntry> m_bestListEntries;
    ItemAnalysis m_items;
    int m_discarded = 0;
    int m_accepted = 0;
};

// A cell of a results table: quoted where needed, and a text a spreadsheet would take
// for a formula kept as text.
QString csvCell(QString text);

// "Netzwerk-Uebung-" + channel + "-" + yyyymmdd-hhmmss + ".csv".
QString resultsFileName(const QString &channel, const QDateTime &when);
// Through a temporary file and a rename; no message.
bool writeResultsFile(const QString &path, const QByteArray &bytes);

} // namespace kapitolo
