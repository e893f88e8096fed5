#pragma once

#include "learning/fsrs.h"
#include "learning/learning_items.h"
#include "learning/sqlite_file.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <memory>

class QIODevice;
class QSqlError;
class QSqlQuery;

namespace kapitolo {

class Clock;
class Messages;
struct TopicDocument;

// One answer as the quiz gave it.
struct LearningAnswer {
    double at = 0; // day number, local time
    std::shared_ptr<const LearningTopic> topic;
    int item = -1; // index in topic->items
    bool correct = false;
    bool firstTry = false;
};

// A topic the pupil has played, as the Lernkartei lists it.
struct TopicSummary {
    qint64 id = 0;
    QString path;
    QString title;
    qint32 docType = 0;
    int boxes[kBoxCount + 1] = {}; // [0] "neu", [1..5] "Fach 1".."Fach 5"
    int due = 0;                   // played items whose due day has come
    double lastPractised = 0;      // day number of the last answer
    int itemCount() const;
};

// One item of a topic with its schedule.
struct ItemSchedule {
    qint64 id = 0;
    QString key;
    qint32 type = 0;
    QString caption;
    QString questionText;
    bool active = true; // still an item of the topic as last played
    FsrsState state;
};

// The chart's figures for one day: at its end, how many items were in "Fach 4" or
// "Fach 5" and how many were due.
struct ProgressDay {
    qint32 day = 0;
    int secure = 0; // boxes 4 and 5
    int due = 0;
    bool operator==(const ProgressDay &) const = default;
};

// The pupil's learning record: every answer of every quiz, and each item's repetition
// schedule, in an SQLite file of the user's own (owner-only, WAL journal, so that a
// program killed in the middle of a write leaves every earlier answer readable).
//
// The file is opened on the first use. Nothing that goes wrong here touches the quiz:
// an answer that cannot be written stays queued, and the pupil is told once in German.
//   - another program holds the file locked: wait briefly, then retry in the background;
//   - the file is damaged: it is put aside as "lernstand.sqlite.defekt-<Datum>" and a
//     new record begins;
//   - the disk is full: retry later, once there may be room again.
class LearningRecord : public QObject
{
    Q_OBJECT
public:
    // The schema this program writes; older files are migrated when opened.
    static constexpr int kSchemaVersion = 2;

    LearningRecord(const QString &path, Messages &messages, Clock &clock, QObject *parent = nullptr);
    ~LearningRecord() override;

    // ~/.local/share/Ostrabel/Kapitolo/lernstand.sqlite (the organisation's and program's
    // data folder).
    static QString defaultPath();
    const QString &path() const { return m_path; }

    // The quiz's verdict on one answer: object is the index of the place, gap or answer in
    // the document the quiz runs on (topic: learningTopic() of it, taken at the quiz's
    // start); firstTry when it is the first answer to that item in this quiz. Written at
    // once, or queued (see above). An object that is no item is ignored.
    void recordVerdict(const std::shared_ptr<const LearningTopic> &topic, int object, bool correct, bool firstTry);
    void recordVerdict(const TopicDocument &document, int object, bool correct, bool firstTry);
    void recordAnswer(const LearningAnswer &answer);

    // Answers waiting for the file, and whether a retry is scheduled.
    int pendingCount() const { return int(m_pending.size()); }
    bool retryScheduled() const { return m_retry.isActive(); }
    // Writes what is queued; true when nothing is left. The retry timer calls it.
    bool retryPending();

    // How long to wait for another program's lock before queueing, and between retries.
    void setBusyTimeout(int milliseconds) { m_busyTimeoutMs = milliseconds; }
    void setRetryInterval(int milliseconds) { m_retry.setInterval(milliseconds); }
    // A limit of the file's pages (4 KiB each), as a full disk would set one: for tests.
    void setPageLimit(int pages);
    // Off: a damaged file is reported and left where it is (a look at the record from
    // outside the program, such as the tool's).
    void setRepairDamaged(bool repair) { m_repairDamaged = repair; }

    // Reading; false or empty when the file cannot be opened (reported once).
    QList<TopicSummary> topicSummaries(qint32 today);
    QList<ItemSchedule> itemSchedules(qint64 topicId);
    // The items due on that day, by key.
    QSet<QString> dueItemKeys(qint64 topicId, qint32 today);
    // One entry a day from the first answer of the topic to the given day.
    QList<ProgressDay> progress(qint64 topicId, qint32 today);
    // The record as JSON lines: topics, items with their schedules, answers.
    bool writeJsonLines(QIODevice &out, qint32 today);

    // The schema version of the open file (0 before it is opened).
    int schemaVersion() const { return m_version; }
    // Opens the file now; false when that failed (reported).
    bool open();
    void close();

private:
    enum class Failure { None, Locked, Corrupt, Full, Newer, Other };
    struct CachedTopic {
        qint64 id = 0;
        QString path;
        QString title;
        QHash<QString, qint64> itemIds;
    };

    bool openDatabase();
    bool createOrMigrate();
    bool migrate1to2(QSqlQuery &q);
    bool flush(bool mayWait);
    bool writeOne(const LearningAnswer &answer);
    // The topic's row and its items' rows, made or brought up to date; fresh receives a
    // topic not cached yet.
    CachedTopic *resolveTopic(const LearningTopic &topic, CachedTopic &fresh);
    static Failure failureOf(SqliteFailure failure);
    // Keeps the failure of a statement for the caller; always false.
    bool fail(const QSqlError &error);
    bool exec(QSqlQuery &q, const QString &sql);
    bool exec(QSqlQuery &q);
    void handleFailure(Failure failure);
    void handleReadFailure();
    bool setAsideDamagedFile();
    // Tells the user once until the next success.
    void report(Failure failure, const QString &text);

    QString m_path;
    QString m_connection;
    Messages &m_messages;
    Clock &m_clock;
    int m_version = 0;
    bool m_open = false;
    int m_busyTimeoutMs = 250;
    int m_pageLimit = 0;
    bool m_repairDamaged = true;
    QList<LearningAnswer> m_pending;
    QTimer m_retry;
    // The topics answered since the file was opened, so that an answer costs no look-up.
    QHash<QString, CachedTopic> m_topics; // by content hash
    int m_reported = 0; // bits of the failures told to the user since the last success
    Failure m_lastFailure = Failure::None;
};

} // namespace kapitolo
