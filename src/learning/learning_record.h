#pragma once

#include "learning/fsrs.h"
#include "learning/learning_items.h"
#include "learning/sqlite_file.h"

#include <QElapsedTimer>
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
// The file is opened on the first use. Each answer goes at once into a log beside it (one
// line of a file of this program's own); the record takes a quiz's answers together, in one
// transaction, at the quiz's end (flush), after a pause or a few hundred answers, before it
// is read and at exit. A program that ends before it wrote them leaves its log, and the next
// one to open the record takes the answers over. Nothing that goes wrong here touches the
// quiz: an answer that cannot be written stays queued, and the pupil is told once in German.
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
    // Answers wait at most this long after the last one, or until there are this many.
    static constexpr int kCommitDelayMs = 20000;
    static constexpr int kMaxPending = 500;

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

    // Writes the queued answers now: the end of a quiz calls it. False when they wait
    // (the file is held, full or damaged; reported).
    bool flush();
    // Answers not yet in the file, and whether a retry is scheduled.
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
    // The schedules brought up to the answers not yet in them, inside a transaction.
    bool replaySchedules(QSqlQuery &q);
    void bringSchedulesUpToDate();
    bool write(bool mayWait);
    bool writeBatch(const QList<LearningAnswer> &answers);
    void writeBeforeReading();
    // The topic's row and its items' rows, made or brought up to date, in the batch being
    // written (the cache takes them once it is committed).
    CachedTopic *resolveTopic(const LearningTopic &topic, QHash<QString, CachedTopic> &batch);
    QString logPath(qint64 pid) const;
    bool logAnswer(const LearningAnswer &answer);
    void clearLog();
    // At opening: the logs of programs that ended before they wrote their answers.
    void takeOverLogs();
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
    int m_currentBusyTimeout = -1; // as the open connection has it
    int m_pageLimit = 0;
    bool m_repairDamaged = true;
    QList<LearningAnswer> m_pending;
    QTimer m_retry;
    QTimer m_commit;
    QElapsedTimer m_sinceAnswer;
    static constexpr qint64 kLogBytes = 1 << 20; // a sparse file: only what is written takes room
    char *m_logMap = nullptr;
    qint64 m_logOffset = 0;
    quint32 m_logGeneration = 1;
    // The topics whose line is in the log already, by the LearningTopic the quiz holds (kept
    // alive here, so that its address is not taken by another one), with their number.
    QHash<const LearningTopic *, int> m_loggedTopics;
    QList<std::shared_ptr<const LearningTopic>> m_loggedTopicRefs;
    // The topics answered since the file was opened, so that an answer costs no look-up.
    QHash<QString, CachedTopic> m_topics; // by content hash
    int m_reported = 0; // bits of the failures told to the user since the last success
    Failure m_lastFailure = Failure::None;
};

} // namespace kapitolo
