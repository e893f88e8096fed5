#include "learning/learning_record.h"

#include "learning/sqlite_file.h"

#include "document/topic_document.h"
#include "platform/clock.h"
#include "platform/messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <cerrno>
#include <cmath>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>

namespace kapitolo {

namespace {

const QString kNotAffected = QStringLiteral(" Das Quiz, sein Protokoll und die Bestenliste sind davon nicht betroffen.");

// The first schema: topics, their items and every answer. Version 2 keeps each item's
// schedule beside them, so that the Lernkartei need not replay every answer to open (the
// answers stay what counts: the schedules are brought up to them before they are read), and
// files the answers by topic instead of by item: a quiz's answers then land on the last
// pages of the table and of its index, not on a page of the index for every item.
const char *const kSchema1[] = {
    "CREATE TABLE topics(id INTEGER PRIMARY KEY, path TEXT NOT NULL, title TEXT NOT NULL, "
    "content_hash TEXT NOT NULL, doc_type INTEGER NOT NULL, first_seen REAL NOT NULL, last_practised REAL)",
    "CREATE TABLE items(id INTEGER PRIMARY KEY, topic_id INTEGER NOT NULL REFERENCES topics(id), "
    "item_key TEXT NOT NULL, type INTEGER NOT NULL, caption TEXT NOT NULL, question TEXT NOT NULL, "
    "active INTEGER NOT NULL DEFAULT 1, UNIQUE(topic_id, item_key))",
    "CREATE TABLE answers(id INTEGER PRIMARY KEY, at REAL NOT NULL, item_id INTEGER NOT NULL REFERENCES items(id), "
    "correct INTEGER NOT NULL, first_try INTEGER NOT NULL)",
    "CREATE INDEX answers_of_item ON answers(item_id, at)",
    "CREATE INDEX topics_by_hash ON topics(content_hash)",
};

const char *const kSchema2[] = {
    "ALTER TABLE items ADD COLUMN stability REAL NOT NULL DEFAULT 0",
    "ALTER TABLE items ADD COLUMN difficulty REAL NOT NULL DEFAULT 0",
    "ALTER TABLE items ADD COLUMN reps INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE items ADD COLUMN lapses INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE items ADD COLUMN last_review_day INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE items ADD COLUMN interval_days INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE items ADD COLUMN due_day INTEGER NOT NULL DEFAULT 0",
    "CREATE INDEX items_of_topic ON items(topic_id, active)",
    "ALTER TABLE answers ADD COLUMN topic_id INTEGER NOT NULL DEFAULT 0",
    "UPDATE answers SET topic_id = (SELECT topic_id FROM items WHERE items.id = answers.item_id)",
    "DROP INDEX answers_of_item",
    "CREATE INDEX answers_of_topic ON answers(topic_id)",
    // The answers the schedules in items include: those up to this answer's id.
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL)",
    "INSERT INTO meta VALUES('schedules_until', 0)",
};

qint32 dayOf(double dayNumber)
{
    return qint32(std::floor(dayNumber));
}

FsrsState stateFrom(const QSqlQuery &q, int first)
{
    FsrsState s;
    s.stability = q.value(first).toDouble();
    s.difficulty = q.value(first + 1).toDouble();
    s.reps = q.value(first + 2).toInt();
    s.lapses = q.value(first + 3).toInt();
    s.lastReviewDay = q.value(first + 4).toInt();
    s.intervalDays = q.value(first + 5).toInt();
    s.dueDay = q.value(first + 6).toInt();
    return s;
}

// A null QString binds as NULL; the columns of texts want an empty one.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

const char kStateColumns[] = "stability, difficulty, reps, lapses, last_review_day, interval_days, due_day";

// The log of the answers not yet in the record: one line each, "A " or "T " (a topic, before
// its first answer), the CRC-32 of the rest as eight hex digits, a blank, the rest, LF.
QByteArray logLine(char kind, const QByteArray &payload)
{
    const quint32 sum = quint32(crc32(0L, reinterpret_cast<const Bytef *>(payload.constData()), uInt(payload.size())));
    return QByteArray(1, kind) + ' ' + QByteArray::number(sum, 16).rightJustified(8, '0') + ' ' + payload + '\n';
}

// A topic line carries the topic and the number its answers refer to in this log. Every
// line carries the generation of the log: the log is written over from its start after each
// write into the record, and a reader stops at the first line of another generation.
QByteArray encodeLogTopic(const LearningTopic &topic, int number, quint32 generation)
{
    QJsonArray items;
    for (const LearningItem &item : topic.items)
        items.append(QJsonArray{item.key, item.type, item.caption, item.questionText, item.object, item.question});
    const QJsonObject o{{QStringLiteral("g"), qint64(generation)},
                        {QStringLiteral("n"), number},
                        {QStringLiteral("h"), topic.identity.contentHash},
                        {QStringLiteral("p"), topic.identity.path},
                        {QStringLiteral("t"), topic.identity.title},
                        {QStringLiteral("d"), topic.identity.docType},
                        {QStringLiteral("i"), items}};
    return logLine('T', QJsonDocument(o).toJson(QJsonDocument::Compact));
}

// An answer line: topic number, item, time in milliseconds of the day numbers, right, first
// try; short, since a quiz writes hundreds.
QByteArray encodeLogAnswer(const LearningAnswer &answer, int topicNumber, quint32 generation)
{
    QByteArray payload;
    payload.reserve(56);
    payload += QByteArray::number(generation) + '\t' + QByteArray::number(topicNumber) + '\t' + QByteArray::number(answer.item) + '\t'
        + QByteArray::number(qint64(std::llround(answer.at * 86400000.0))) + '\t' + (answer.correct ? '1' : '0') + '\t'
        + (answer.firstTry ? '1' : '0');
    return logLine('A', payload);
}

// The answers of a log: its lines from the start, as long as they are whole, their checksum
// holds and they belong to the generation of the first (what follows is older, or a line
// cut short by the end of a program).
QList<LearningAnswer> decodeLog(const QByteArray &bytes)
{
    QList<LearningAnswer> answers;
    QHash<QByteArray, std::shared_ptr<LearningTopic>> topics; // by their number in the log
    QByteArray generation;
    qsizetype from = 0;
    for (qsizetype end = bytes.indexOf('\n'); end >= 0; from = end + 1, end = bytes.indexOf('\n', from)) {
        const QByteArray line = bytes.mid(from, end - from);
        if (line.size() < 12 || line.at(1) != ' ' || line.at(10) != ' ')
            break;
        bool hex = false;
        const quint32 sum = line.mid(2, 8).toUInt(&hex, 16);
        const QByteArray payload = line.mid(11);
        if (!hex || sum != quint32(crc32(0L, reinterpret_cast<const Bytef *>(payload.constData()), uInt(payload.size()))))
            break;
        if (line.at(0) == 'T') {
            const QJsonObject o = QJsonDocument::fromJson(payload).object();
            const QByteArray g = QByteArray::number(o.value(QStringLiteral("g")).toInteger(-1));
            if (generation.isEmpty())
                generation = g;
            if (g != generation)
                break;
            auto topic = std::make_shared<LearningTopic>();
            topic->identity.contentHash = o.value(QStringLiteral("h")).toString();
            topic->identity.path = o.value(QStringLiteral("p")).toString();
            topic->identity.title = o.value(QStringLiteral("t")).toString();
            topic->identity.docType = o.value(QStringLiteral("d")).toInt();
            for (const QJsonValue &v : o.value(QStringLiteral("i")).toArray()) {
                const QJsonArray a = v.toArray();
                LearningItem item;
                item.key = a.at(0).toString();
                item.type = a.at(1).toInt();
                item.caption = a.at(2).toString();
                item.questionText = a.at(3).toString();
                item.object = a.at(4).toInt();
                item.question = a.at(5).toInt();
                topic->itemOfObject.insert(item.object, int(topic->items.size()));
                topic->items.append(item);
            }
            topics.insert(QByteArray::number(o.value(QStringLiteral("n")).toInt()), topic);
        } else if (line.at(0) == 'A') {
            const QList<QByteArray> fields = payload.split('\t');
            if (fields.size() != 6)
                break;
            if (generation.isEmpty())
                generation = fields.at(0);
            if (fields.at(0) != generation)
                break;
            const auto topic = topics.value(fields.at(1));
            bool itemOk = false;
            bool atOk = false;
            LearningAnswer answer;
            answer.item = fields.at(2).toInt(&itemOk);
            answer.at = double(fields.at(3).toLongLong(&atOk)) / 86400000.0;
            if (!topic || !itemOk || !atOk || answer.item < 0 || answer.item >= topic->items.size())
                continue;
            answer.topic = topic;
            answer.correct = fields.at(4) == "1";
            answer.firstTry = fields.at(5) == "1";
            answers.append(answer);
        } else {
            break;
        }
    }
    return answers;
}

} // namespace

int TopicSummary::itemCount() const
{
    int n = 0;
    for (int b : boxes)
        n += b;
    return n;
}

LearningRecord::LearningRecord(const QString &path, Messages &messages, Clock &clock, QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_connection(QStringLiteral("lernstand-%1").arg(quintptr(this), 0, 16))
    , m_messages(messages)
    , m_clock(clock)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(3000);
    connect(&m_retry, &QTimer::timeout, this, [this] { retryPending(); });
    m_commit.setSingleShot(true);
    connect(&m_commit, &QTimer::timeout, this, [this] {
        const qint64 quiet = m_sinceAnswer.elapsed();
        if (quiet < kCommitDelayMs)
            m_commit.start(int(kCommitDelayMs - quiet));
        else
            write(false);
    });
}

LearningRecord::~LearningRecord()
{
    // Answers still waiting get one last chance, with the short wait; what the file does
    // not take stays in the log for the next program.
    if (!m_pending.isEmpty())
        write(true);
    close();
    if (m_logMap) {
        ::munmap(m_logMap, size_t(kLogBytes));
        if (m_pending.isEmpty())
            QFile::remove(logPath(::getpid()));
    }
}

QString LearningRecord::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/lernstand.sqlite");
}

void LearningRecord::close()
{
    closeSqlite(m_connection);
    m_open = false;
    m_version = 0;
    m_topics.clear();
}

void LearningRecord::setPageLimit(int pages)
{
    m_pageLimit = pages;
    if (m_open) {
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        q.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages > 0 ? pages : 1073741823));
    }
}

LearningRecord::Failure LearningRecord::failureOf(SqliteFailure failure)
{
    switch (failure) {
    case SqliteFailure::None: return Failure::None;
    case SqliteFailure::Locked: return Failure::Locked;
    case SqliteFailure::Corrupt: return Failure::Corrupt;
    case SqliteFailure::Full: return Failure::Full;
    case SqliteFailure::Other: break;
    }
    return Failure::Other;
}

bool LearningRecord::fail(const QSqlError &error)
{
    m_lastFailure = failureOf(classifySqlite(error));
    return false;
}

bool LearningRecord::exec(QSqlQuery &q, const QString &sql)
{
    return q.exec(sql) || fail(q.lastError());
}

bool LearningRecord::exec(QSqlQuery &q)
{
    return q.exec() || fail(q.lastError());
}

bool LearningRecord::open()
{
    if (m_open)
        return true;
    if (openDatabase())
        return true;
    if (m_lastFailure == Failure::Corrupt && setAsideDamagedFile() && openDatabase())
        return true;
    handleFailure(m_lastFailure);
    return false;
}

bool LearningRecord::openDatabase()
{
    if (m_open)
        return true;
    SqliteFailure failure = SqliteFailure::None;
    if (!openPrivateSqlite(m_path, m_connection, m_busyTimeoutMs, failure)) {
        m_lastFailure = failureOf(failure);
        return false;
    }
    m_open = true;
    m_currentBusyTimeout = m_busyTimeoutMs;
    bool ok = true;
    if (m_pageLimit > 0) {
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        ok = exec(q, QStringLiteral("PRAGMA max_page_count = %1").arg(m_pageLimit));
    }
    if (ok && createOrMigrate()) {
        takeOverLogs();
        return true;
    }
    close();
    return false;
}

bool LearningRecord::createOrMigrate()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    if (!exec(q, QStringLiteral("PRAGMA user_version")) || !q.next())
        return false;
    m_version = q.value(0).toInt();
    if (m_version == kSchemaVersion)
        return true;
    if (m_version > kSchemaVersion) {
        m_lastFailure = Failure::Newer;
        return false;
    }
    if (!exec(q, QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    bool ok = true;
    if (m_version == 0) {
        for (const char *sql : kSchema1)
            ok = ok && exec(q, QString::fromLatin1(sql));
    }
    if (ok && m_version <= 1)
        ok = migrate1to2(q);
    ok = ok && exec(q, QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion)) && exec(q, QStringLiteral("COMMIT"));
    if (!ok) {
        q.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    m_version = kSchemaVersion;
    return true;
}

bool LearningRecord::migrate1to2(QSqlQuery &q)
{
    for (const char *sql : kSchema2)
        if (!exec(q, QString::fromLatin1(sql)))
            return false;
    return replaySchedules(q);
}

bool LearningRecord::replaySchedules(QSqlQuery &q)
{
    if (!exec(q, QStringLiteral("SELECT value FROM meta WHERE key = 'schedules_until'")) || !q.next())
        return false;
    const qint64 until = q.value(0).toLongLong();
    q.finish();
    // The schedules of the items answered since, then the first tries in the order given.
    QHash<qint64, FsrsState> states;
    q.setForwardOnly(true);
    if (!exec(q, QStringLiteral("SELECT id, %1 FROM items WHERE id IN (SELECT item_id FROM answers WHERE id > %2 AND "
                                "first_try = 1)")
                     .arg(QLatin1String(kStateColumns))
                     .arg(until)))
        return false;
    while (q.next())
        states.insert(q.value(0).toLongLong(), stateFrom(q, 1));
    if (!exec(q, QStringLiteral("SELECT id, item_id, at, correct, first_try FROM answers WHERE id > %1 ORDER BY id").arg(until)))
        return false;
    QList<qint64> reviewed;
    qint64 last = until;
    while (q.next()) {
        last = q.value(0).toLongLong();
        if (!q.value(4).toBool())
            continue;
        const qint64 item = q.value(1).toLongLong();
        FsrsState &state = states[item];
        state = fsrsReview(state, dayOf(q.value(2).toDouble()), q.value(3).toBool());
        if (!reviewed.contains(item))
            reviewed.append(item);
    }
    q.finish();
    QSqlQuery update(QSqlDatabase::database(m_connection, false));
    if (!reviewed.isEmpty()
        && !update.prepare(QStringLiteral("UPDATE items SET stability = ?, difficulty = ?, reps = ?, lapses = ?, "
                                          "last_review_day = ?, interval_days = ?, due_day = ? WHERE id = ?")))
        return fail(update.lastError());
    for (qint64 item : std::as_const(reviewed)) {
        const FsrsState &st = states.value(item);
        const QVariant values[] = {st.stability, st.difficulty, st.reps, st.lapses, st.lastReviewDay, st.intervalDays,
                                   st.dueDay, item};
        for (int i = 0; i < 8; ++i)
            update.bindValue(i, values[i]);
        if (!exec(update))
            return false;
    }
    return exec(q, QStringLiteral("UPDATE meta SET value = %1 WHERE key = 'schedules_until'").arg(last));
}

void LearningRecord::bringSchedulesUpToDate()
{
    if (!m_open)
        return;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!exec(q, QStringLiteral("SELECT (SELECT value FROM meta WHERE key = 'schedules_until') < "
                                "(SELECT COALESCE(MAX(id), 0) FROM answers)"))
        || !q.next() || !q.value(0).toBool())
        return;
    q.finish();
    // Held by another program: the schedules as they are; the next reading brings them up.
    if (!exec(q, QStringLiteral("BEGIN IMMEDIATE")))
        return;
    if (replaySchedules(q) && q.exec(QStringLiteral("COMMIT")))
        return;
    q.exec(QStringLiteral("ROLLBACK"));
}

void LearningRecord::recordVerdict(const std::shared_ptr<const LearningTopic> &topic, int object, bool correct,
                                   bool firstTry)
{
    if (!topic)
        return;
    const auto it = topic->itemOfObject.constFind(object);
    if (it == topic->itemOfObject.constEnd())
        return;
    LearningAnswer answer;
    answer.at = m_clock.now();
    answer.topic = topic;
    answer.item = *it;
    answer.correct = correct;
    answer.firstTry = firstTry;
    recordAnswer(answer);
}

void LearningRecord::recordVerdict(const TopicDocument &document, int object, bool correct, bool firstTry)
{
    recordVerdict(learningTopic(document), object, correct, firstTry);
}

void LearningRecord::recordAnswer(const LearningAnswer &answer)
{
    if (!answer.topic || answer.item < 0 || answer.item >= answer.topic->items.size())
        return;
    // The answer goes to the log at once, the record takes the quiz's answers together:
    // one transaction costs what one answer would.
    m_pending.append(answer);
    const bool logged = logAnswer(answer);
    // While the file is held or full, answers wait for the retry.
    if (m_retry.isActive())
        return;
    if (!logged || m_pending.size() >= kMaxPending) {
        write(true);
        return;
    }
    // Written once the quiz pauses; the timer is armed once, not again for every answer.
    m_sinceAnswer.start();
    if (!m_commit.isActive())
        m_commit.start(kCommitDelayMs);
}

bool LearningRecord::flush()
{
    if (m_retry.isActive())
        return false;
    return write(true);
}

bool LearningRecord::retryPending()
{
    m_retry.stop();
    return write(false);
}

bool LearningRecord::write(bool mayWait)
{
    m_commit.stop();
    if (m_pending.isEmpty())
        return true;
    if (!m_open && !openDatabase()) {
        if (!(m_lastFailure == Failure::Corrupt && setAsideDamagedFile() && openDatabase())) {
            handleFailure(m_lastFailure);
            return false;
        }
    }
    // In the background nobody waits: a held file is tried again later.
    const int busyTimeout = mayWait ? m_busyTimeoutMs : 0;
    if (busyTimeout != m_currentBusyTimeout) {
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(busyTimeout));
        m_currentBusyTimeout = busyTimeout;
    }
    bool written = writeBatch(m_pending);
    // A file found damaged while writing is put aside once.
    if (!written && m_lastFailure == Failure::Corrupt && setAsideDamagedFile() && openDatabase())
        written = writeBatch(m_pending);
    if (!written) {
        handleFailure(m_lastFailure);
        return false;
    }
    m_pending.clear();
    clearLog();
    m_reported = 0;
    return true;
}

LearningRecord::CachedTopic *LearningRecord::resolveTopic(const LearningTopic &topic, QHash<QString, CachedTopic> &batch)
{
    const TopicIdentity &id = topic.identity;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    const auto inBatch = batch.constFind(id.contentHash);
    const auto cached = m_topics.constFind(id.contentHash);
    if (inBatch != batch.constEnd() || cached != m_topics.constEnd()) {
        CachedTopic known = inBatch != batch.constEnd() ? *inBatch : *cached;
        if (known.path != id.path || known.title != id.title) {
            // The same topic from another file (moved, or a copy) or renamed: it follows.
            q.prepare(QStringLiteral("UPDATE topics SET path = ?, title = ? WHERE id = ?"));
            for (const QVariant &v : {text(id.path), text(id.title), QVariant(known.id)})
                q.addBindValue(v);
            if (!exec(q))
                return nullptr;
            known.path = id.path;
            known.title = id.title;
        }
        return &*batch.insert(id.contentHash, known);
    }
    // The same objects: the same topic, wherever the file lies now. Else the same file:
    // the topic, edited.
    q.prepare(QStringLiteral("SELECT id FROM topics WHERE content_hash = ? ORDER BY last_practised DESC LIMIT 1"));
    q.addBindValue(text(id.contentHash));
    if (!exec(q))
        return nullptr;
    qint64 topicId = q.next() ? q.value(0).toLongLong() : 0;
    const bool sameObjects = topicId != 0;
    if (topicId == 0 && !id.path.isEmpty()) {
        q.prepare(QStringLiteral("SELECT id FROM topics WHERE path = ? ORDER BY last_practised DESC LIMIT 1"));
        q.addBindValue(id.path);
        if (!exec(q))
            return nullptr;
        topicId = q.next() ? q.value(0).toLongLong() : 0;
    }
    CachedTopic fresh;
    fresh.id = topicId;
    fresh.path = id.path;
    fresh.title = id.title;
    if (sameObjects) {
        // Known with these very objects: its items are there unless an edit put some aside
        // since, which the comparison below finds.
        q.prepare(QStringLiteral("SELECT id, item_key FROM items WHERE topic_id = ? AND active = 1"));
        q.addBindValue(topicId);
        if (!exec(q))
            return nullptr;
        while (q.next())
            fresh.itemIds.insert(q.value(1).toString(), q.value(0).toLongLong());
        q.finish();
        bool complete = fresh.itemIds.size() == topic.items.size();
        for (const LearningItem &item : topic.items)
            complete = complete && fresh.itemIds.contains(item.key);
        if (complete) {
            q.prepare(QStringLiteral("UPDATE topics SET path = ?, title = ? WHERE id = ?"));
            for (const QVariant &v : {text(id.path), text(id.title), QVariant(topicId)})
                q.addBindValue(v);
            if (!exec(q))
                return nullptr;
            return &*batch.insert(id.contentHash, fresh);
        }
        fresh.itemIds.clear();
    }
    if (topicId == 0) {
        q.prepare(QStringLiteral("INSERT INTO topics(path, title, content_hash, doc_type, first_seen) VALUES(?, ?, ?, ?, ?)"));
        for (const QVariant &v : {text(id.path), text(id.title), text(id.contentHash), QVariant(id.docType),
                                  QVariant(m_clock.now())})
            q.addBindValue(v);
        if (!exec(q))
            return nullptr;
        topicId = q.lastInsertId().toLongLong();
    } else {
        q.prepare(QStringLiteral("UPDATE topics SET path = ?, title = ?, content_hash = ?, doc_type = ? WHERE id = ?"));
        for (const QVariant &v :
             {text(id.path), text(id.title), text(id.contentHash), QVariant(id.docType), QVariant(topicId)})
            q.addBindValue(v);
        if (!exec(q))
            return nullptr;
    }
    // The items of the topic as it is now: the others keep their history but leave the
    // Lernkartei; an item that came back takes its history up again.
    q.prepare(QStringLiteral("UPDATE items SET active = 0 WHERE topic_id = ?"));
    q.addBindValue(topicId);
    if (!exec(q))
        return nullptr;
    q.prepare(QStringLiteral("INSERT INTO items(topic_id, item_key, type, caption, question, active) VALUES(?, ?, ?, ?, ?, 1) "
                             "ON CONFLICT(topic_id, item_key) DO UPDATE SET active = 1, type = excluded.type, "
                             "caption = excluded.caption, question = excluded.question"));
    for (const LearningItem &item : topic.items) {
        for (const QVariant &v : {QVariant(topicId), text(item.key), QVariant(item.type), text(item.caption),
                                  text(item.questionText)})
            q.addBindValue(v);
        if (!exec(q))
            return nullptr;
    }
    q.prepare(QStringLiteral("SELECT id, item_key FROM items WHERE topic_id = ? AND active = 1"));
    q.addBindValue(topicId);
    if (!exec(q))
        return nullptr;
    fresh.id = topicId;
    while (q.next())
        fresh.itemIds.insert(q.value(1).toString(), q.value(0).toLongLong());
    return &*batch.insert(id.contentHash, fresh);
}

bool LearningRecord::writeBatch(const QList<LearningAnswer> &answers)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    if (!exec(q, QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    // A quiz's rows go in a few statements with their numbers written out: binding every
    // value of every row one by one costs more than the writing itself. Only numbers are
    // written so; texts are bound.
    auto number = [](double v) { return QString::number(v, 'g', 17); };
    constexpr int kRowsPerStatement = 200;
    // The answers only: the schedules follow them when they are read next.
    QHash<QString, CachedTopic> batch;
    QHash<qint64, double> practised;
    QStringList rows;
    bool ok = true;
    auto insertRows = [&] {
        ok = ok && (rows.isEmpty()
                    || exec(q, QStringLiteral("INSERT INTO answers(at, item_id, topic_id, correct, first_try) VALUES ")
                                   + rows.join(QLatin1Char(','))));
        rows.clear();
    };
    for (const LearningAnswer &answer : answers) {
        const CachedTopic *topic = resolveTopic(*answer.topic, batch);
        const qint64 itemId = topic ? topic->itemIds.value(answer.topic->items.at(answer.item).key) : 0;
        if (!topic || itemId == 0) {
            if (topic)
                m_lastFailure = Failure::Other; // an item its topic did not register
            ok = false;
            break;
        }
        rows << QLatin1Char('(') + number(answer.at) + QLatin1Char(',') + QString::number(itemId) + QLatin1Char(',')
                + QString::number(topic->id) + QLatin1Char(',') + QLatin1Char(answer.correct ? '1' : '0') + QLatin1Char(',')
                + QLatin1Char(answer.firstTry ? '1' : '0') + QLatin1Char(')');
        if (rows.size() == kRowsPerStatement)
            insertRows();
        double &last = practised[topic->id];
        last = std::max(last, answer.at);
        if (!ok)
            break;
    }
    insertRows();
    for (auto it = practised.cbegin(); ok && it != practised.cend(); ++it)
        ok = exec(q, QStringLiteral("UPDATE topics SET last_practised = MAX(COALESCE(last_practised, 0), %1) WHERE id = %2")
                         .arg(number(it.value()))
                         .arg(it.key()));
    if (ok && !q.exec(QStringLiteral("COMMIT")))
        ok = fail(q.lastError());
    if (!ok) {
        const Failure failure = m_lastFailure;
        q.exec(QStringLiteral("ROLLBACK"));
        m_lastFailure = failure;
        return false;
    }
    for (auto it = batch.cbegin(); it != batch.cend(); ++it)
        m_topics.insert(it.key(), it.value());
    return true;
}

// --- The answers' log -------------------------------------------------------------

QString LearningRecord::logPath(qint64 pid) const
{
    return m_path + QStringLiteral("-antworten-") + QString::number(pid);
}

bool LearningRecord::logAnswer(const LearningAnswer &answer)
{
    if (!m_logMap) {
        const QByteArray native = QFile::encodeName(logPath(::getpid()));
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0)
            return false;
        // A program before this one with the same process number left its answers here:
        // they are taken over when the record is opened; until then this one does without.
        char first = 0;
        if (::pread(fd, &first, 1, 0) == 1 && first != 0) {
            ::close(fd);
            return false;
        }
        // Written through a shared mapping: an answer costs a copy, no call of the system, and
        // what is copied is the file's, also when the program is killed the next moment.
        void *map = ::ftruncate(fd, kLogBytes) == 0
            ? ::mmap(nullptr, size_t(kLogBytes), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
            : MAP_FAILED;
        ::close(fd);
        if (map == MAP_FAILED)
            return false;
        m_logMap = static_cast<char *>(map);
        m_logOffset = 0;
    }
    // The topic's line once, before its first answer in this generation of the log.
    QByteArray lines;
    auto known = m_loggedTopics.constFind(answer.topic.get());
    int number = known == m_loggedTopics.constEnd() ? int(m_loggedTopics.size()) + 1 : *known;
    if (known == m_loggedTopics.constEnd())
        lines = encodeLogTopic(*answer.topic, number, m_logGeneration);
    lines += encodeLogAnswer(answer, number, m_logGeneration);
    if (m_logOffset + lines.size() >= kLogBytes)
        return false; // full: the record takes the answers now
    std::memcpy(m_logMap + m_logOffset, lines.constData(), size_t(lines.size()));
    m_logOffset += lines.size();
    if (known == m_loggedTopics.constEnd()) {
        m_loggedTopics.insert(answer.topic.get(), number);
        m_loggedTopicRefs.append(answer.topic);
    }
    return true;
}

void LearningRecord::clearLog()
{
    // What the record holds now leaves the log: a reader finds it empty, and the next
    // generation is written over it from the start. (A program killed between the record's
    // commit and this byte would see its last answers once more.)
    if (m_logMap)
        m_logMap[0] = 0;
    m_logOffset = 0;
    ++m_logGeneration;
    m_loggedTopics.clear();
    m_loggedTopicRefs.clear();
}

void LearningRecord::takeOverLogs()
{
    const QFileInfo record(m_path);
    const QString prefix = record.fileName() + QStringLiteral("-antworten-");
    const QStringList logs = QDir(record.absolutePath()).entryList({prefix + QLatin1Char('*')}, QDir::Files);
    for (const QString &name : logs) {
        bool number = false;
        const qint64 pid = name.mid(prefix.size()).toLongLong(&number);
        if (!number)
            continue;
        // Another program that still runs writes its own answers; this one's own log is
        // its own answers, still queued, unless it is the leftover of an ended program.
        if (pid == ::getpid() ? m_logMap != nullptr : (::kill(pid_t(pid), 0) == 0 || errno == EPERM))
            continue;
        const QString path = record.absoluteDir().filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<LearningAnswer> answers = decodeLog(file.readAll());
        file.close();
        if (answers.isEmpty() || writeBatch(answers))
            QFile::remove(path);
    }
}

bool LearningRecord::setAsideDamagedFile()
{
    close();
    if (!m_repairDamaged) {
        report(Failure::Corrupt, QStringLiteral("Die Datei des Lernstands \"") + QDir::toNativeSeparators(m_path)
                                     + QStringLiteral("\" ist beschädigt."));
        return false;
    }
    const QString date = fromDayNumber(m_clock.now()).toString(QStringLiteral("yyyy-MM-dd"));
    QString target = m_path + QStringLiteral(".defekt-") + date;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = m_path + QStringLiteral(".defekt-") + date + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(m_path, target))
        return false;
    // The journal files belong to the damaged file: the WAL goes with it, the index of
    // shared memory is rebuilt from nothing.
    if (QFileInfo::exists(m_path + QStringLiteral("-wal")))
        QFile::rename(m_path + QStringLiteral("-wal"), target + QStringLiteral("-wal"));
    QFile::remove(m_path + QStringLiteral("-shm"));
    report(Failure::Corrupt,
           QStringLiteral("Die Datei des Lernstands \"") + QDir::toNativeSeparators(m_path)
               + QStringLiteral("\" war beschädigt. Sie liegt jetzt als \"") + QFileInfo(target).fileName()
               + QStringLiteral("\" daneben, und ein neuer Lernstand wurde begonnen.") + kNotAffected);
    return true;
}

void LearningRecord::report(Failure failure, const QString &text)
{
    const int bit = 1 << int(failure);
    if (m_reported & bit)
        return;
    m_reported |= bit;
    m_messages.error(text);
}

void LearningRecord::handleFailure(Failure failure)
{
    const QString file = QStringLiteral("\"") + QDir::toNativeSeparators(m_path) + QStringLiteral("\"");
    switch (failure) {
    case Failure::None:
        return;
    case Failure::Locked:
        report(failure, QStringLiteral("Der Lernstand kann gerade nicht gespeichert werden: Ein anderes Programm hält die "
                                       "Datei ")
                            + file + QStringLiteral(" gesperrt. Kapitolo versucht es im Hintergrund weiter.")
                            + kNotAffected);
        break;
    case Failure::Full:
        report(failure, QStringLiteral("Der Lernstand kann nicht gespeichert werden: Auf dem Datenträger der Datei ") + file
                            + QStringLiteral(" ist kein Platz mehr frei. Kapitolo versucht es später noch einmal.")
                            + kNotAffected);
        break;
    case Failure::Newer:
        report(failure, QStringLiteral("Der Lernstand ") + file
                            + QStringLiteral(" stammt von einer neueren Version von Kapitolo und wird von dieser "
                                             "Version nicht verändert.")
                            + kNotAffected);
        // Nothing this version writes would fit: the answers are not kept.
        m_pending.clear();
        clearLog();
        return;
    case Failure::Corrupt:
        if (!m_repairDamaged) {
            close(); // said so when it was found
            return;
        }
        [[fallthrough]];
    case Failure::Other:
        report(Failure::Other, QStringLiteral("Der Lernstand kann nicht gespeichert werden: Die Datei ") + file
                                   + QStringLiteral(" lässt sich nicht öffnen oder nicht beschreiben. Kapitolo versucht es "
                                                    "später noch einmal.")
                                   + kNotAffected);
        close();
        break;
    }
    if (!m_pending.isEmpty())
        m_retry.start();
}

// --- Reading ----------------------------------------------------------------------

QList<TopicSummary> LearningRecord::topicSummaries(qint32 today)
{
    QList<TopicSummary> topics;
    writeBeforeReading();
    if (!open())
        return topics;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT t.id, t.path, t.title, t.doc_type, t.last_practised, "
        "SUM(i.reps = 0), SUM(i.reps > 0 AND i.interval_days < 2), "
        "SUM(i.reps > 0 AND i.interval_days >= 2 AND i.interval_days < 7), "
        "SUM(i.reps > 0 AND i.interval_days >= 7 AND i.interval_days < 14), "
        "SUM(i.reps > 0 AND i.interval_days >= 14 AND i.interval_days < 60), "
        "SUM(i.reps > 0 AND i.interval_days >= 60), SUM(i.reps > 0 AND i.due_day <= ?) AS due "
        "FROM topics t JOIN items i ON i.topic_id = t.id AND i.active = 1 "
        "WHERE t.last_practised IS NOT NULL GROUP BY t.id ORDER BY due DESC, t.last_practised DESC, t.id"));
    q.addBindValue(today);
    if (!exec(q)) {
        handleReadFailure();
        return topics;
    }
    while (q.next()) {
        TopicSummary t;
        t.id = q.value(0).toLongLong();
        t.path = q.value(1).toString();
        t.title = q.value(2).toString();
        t.docType = q.value(3).toInt();
        t.lastPractised = q.value(4).toDouble();
        for (int b = 0; b <= kBoxCount; ++b)
            t.boxes[b] = q.value(5 + b).toInt();
        t.due = q.value(11).toInt();
        topics.append(t);
    }
    return topics;
}

QList<ItemSchedule> LearningRecord::itemSchedules(qint64 topicId)
{
    QList<ItemSchedule> items;
    writeBeforeReading();
    if (!open())
        return items;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT id, item_key, type, caption, question, active, %1 FROM items WHERE topic_id = ? "
                             "ORDER BY id")
                  .arg(QLatin1String(kStateColumns)));
    q.addBindValue(topicId);
    if (!exec(q)) {
        handleReadFailure();
        return items;
    }
    while (q.next()) {
        ItemSchedule item;
        item.id = q.value(0).toLongLong();
        item.key = q.value(1).toString();
        item.type = q.value(2).toInt();
        item.caption = q.value(3).toString();
        item.questionText = q.value(4).toString();
        item.active = q.value(5).toBool();
        item.state = stateFrom(q, 6);
        items.append(item);
    }
    return items;
}

QSet<QString> LearningRecord::dueItemKeys(qint64 topicId, qint32 today)
{
    QSet<QString> keys;
    for (const ItemSchedule &item : itemSchedules(topicId))
        if (item.active && fsrsDue(item.state, today))
            keys.insert(item.key);
    return keys;
}

QList<ProgressDay> LearningRecord::progress(qint64 topicId, qint32 today)
{
    QList<ProgressDay> days;
    writeBeforeReading();
    if (!open())
        return days;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT a.item_id, a.at, a.correct FROM answers a JOIN items i ON i.id = a.item_id "
                             "WHERE a.topic_id = ? AND i.active = 1 AND a.first_try = 1 ORDER BY a.item_id, a.at, a.id"));
    q.addBindValue(topicId);
    if (!exec(q)) {
        handleReadFailure();
        return days;
    }
    // Each item's reviews, replayed: between two reviews its compartment stays, and it is
    // due from its due day on. Counted with differences per day, summed at the end.
    struct Review {
        qint32 day;
        bool pass;
    };
    QHash<qint64, QList<Review>> reviews;
    qint32 first = today;
    while (q.next()) {
        const qint32 day = dayOf(q.value(1).toDouble());
        reviews[q.value(0).toLongLong()].append(Review{day, q.value(2).toBool()});
        first = std::min(first, day);
    }
    if (reviews.isEmpty() || first > today)
        return days;
    const int span = today - first + 1;
    QList<int> secure(span + 1, 0);
    QList<int> due(span + 1, 0);
    auto add = [&](QList<int> &counts, qint32 from, qint32 to) {
        from = std::max(from, first);
        to = std::min(to, today + 1);
        if (from >= to)
            return;
        ++counts[from - first];
        --counts[to - first];
    };
    for (const QList<Review> &list : std::as_const(reviews)) {
        FsrsState state;
        for (int i = 0; i < list.size(); ++i) {
            state = fsrsReview(state, list.at(i).day, list.at(i).pass);
            // Until the next review on another day: the state of the day's last review.
            if (i + 1 < list.size() && list.at(i + 1).day == list.at(i).day)
                continue;
            const qint32 until = i + 1 < list.size() ? list.at(i + 1).day : today + 1;
            if (leitnerBox(state) >= 4)
                add(secure, list.at(i).day, until);
            add(due, std::max(state.dueDay, list.at(i).day), until);
        }
    }
    int s = 0;
    int d = 0;
    for (int i = 0; i < span; ++i) {
        s += secure.at(i);
        d += due.at(i);
        days.append(ProgressDay{first + i, s, d});
    }
    return days;
}

bool LearningRecord::writeJsonLines(QIODevice &out, qint32 today)
{
    writeBeforeReading();
    if (!open())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    auto line = [&out](const QJsonObject &o) {
        return out.write(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n') >= 0;
    };
    auto dateText = [](double dayNumber) {
        return fromDayNumber(dayNumber).toString(Qt::ISODate);
    };
    auto dayText = [](qint32 day) {
        return fromDayNumber(day).date().toString(Qt::ISODate);
    };
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!exec(q, QStringLiteral("SELECT id, path, title, doc_type, content_hash, first_seen, last_practised FROM topics "
                                "ORDER BY id"))) {
        handleReadFailure();
        return false;
    }
    while (q.next()) {
        QJsonObject o;
        o[QStringLiteral("art")] = QStringLiteral("thema");
        o[QStringLiteral("thema")] = q.value(0).toLongLong();
        o[QStringLiteral("datei")] = q.value(1).toString();
        o[QStringLiteral("titel")] = q.value(2).toString();
        o[QStringLiteral("dokTyp")] = q.value(3).toInt();
        o[QStringLiteral("inhalt")] = q.value(4).toString();
        o[QStringLiteral("zuerst")] = dateText(q.value(5).toDouble());
        if (!q.value(6).isNull())
            o[QStringLiteral("zuletztGeuebt")] = dateText(q.value(6).toDouble());
        if (!line(o))
            return false;
    }
    if (!exec(q, QStringLiteral("SELECT id, topic_id, item_key, type, caption, question, active, %1 FROM items "
                                "ORDER BY topic_id, id")
                     .arg(QLatin1String(kStateColumns)))) {
        handleReadFailure();
        return false;
    }
    while (q.next()) {
        const FsrsState s = stateFrom(q, 7);
        QJsonObject o;
        o[QStringLiteral("art")] = QStringLiteral("aufgabe");
        o[QStringLiteral("aufgabe")] = q.value(0).toLongLong();
        o[QStringLiteral("thema")] = q.value(1).toLongLong();
        o[QStringLiteral("schluessel")] = q.value(2).toString();
        o[QStringLiteral("typ")] = q.value(3).toInt();
        o[QStringLiteral("text")] = q.value(4).toString();
        if (!q.value(5).toString().isEmpty())
            o[QStringLiteral("frage")] = q.value(5).toString();
        o[QStringLiteral("aktiv")] = q.value(6).toBool();
        o[QStringLiteral("fach")] = s.isNew() ? QStringLiteral("neu") : QStringLiteral("Fach %1").arg(leitnerBox(s));
        if (!s.isNew()) {
            o[QStringLiteral("stabilitaet")] = s.stability;
            o[QStringLiteral("schwierigkeit")] = s.difficulty;
            o[QStringLiteral("wiederholungen")] = s.reps;
            o[QStringLiteral("vergessen")] = s.lapses;
            o[QStringLiteral("zuletzt")] = dayText(s.lastReviewDay);
            o[QStringLiteral("abstandTage")] = s.intervalDays;
            o[QStringLiteral("faelligAm")] = dayText(s.dueDay);
            o[QStringLiteral("faellig")] = fsrsDue(s, today);
        }
        if (!line(o))
            return false;
    }
    if (!exec(q, QStringLiteral("SELECT a.at, i.topic_id, a.item_id, a.correct, a.first_try FROM answers a "
                                "JOIN items i ON i.id = a.item_id ORDER BY a.id"))) {
        handleReadFailure();
        return false;
    }
    while (q.next()) {
        QJsonObject o;
        o[QStringLiteral("art")] = QStringLiteral("antwort");
        o[QStringLiteral("zeit")] = dateText(q.value(0).toDouble());
        o[QStringLiteral("thema")] = q.value(1).toLongLong();
        o[QStringLiteral("aufgabe")] = q.value(2).toLongLong();
        o[QStringLiteral("richtig")] = q.value(3).toBool();
        o[QStringLiteral("ersterVersuch")] = q.value(4).toBool();
        if (!line(o))
            return false;
    }
    return true;
}

void LearningRecord::writeBeforeReading()
{
    if (!m_pending.isEmpty() && !m_retry.isActive())
        write(true);
    if (open())
        bringSchedulesUpToDate();
}

void LearningRecord::handleReadFailure()
{
    // A damaged file shows up on reading too: put aside, the Lernkartei starts empty.
    if (m_lastFailure == Failure::Corrupt && setAsideDamagedFile())
        return;
    handleFailure(m_lastFailure);
}

} // namespace kapitolo
