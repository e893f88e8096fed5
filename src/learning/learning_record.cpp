#include "learning/learning_record.h"

#include "learning/sqlite_file.h"

#include "document/topic_document.h"
#include "platform/clock.h"
#include "platform/messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <cmath>

namespace kapitolo {

namespace {

const QString kNotAffected = QStringLiteral(" Das Quiz, sein Protokoll und die Bestenliste sind davon nicht betroffen.");

// The first schema: topics, their items and every answer. Version 2 keeps each item's
// schedule beside them, so that the Lernkartei need not replay every answer to open.
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
}

LearningRecord::~LearningRecord()
{
    close();
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
    bool ok = true;
    if (m_pageLimit > 0) {
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        ok = exec(q, QStringLiteral("PRAGMA max_page_count = %1").arg(m_pageLimit));
    }
    if (ok && createOrMigrate())
        return true;
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
    if (!exec(q, QStringLiteral("CREATE INDEX items_of_topic ON items(topic_id, active)")))
        return false;
    // The schedules from the first tries so far, in the order they were given.
    if (!exec(q, QStringLiteral("SELECT item_id, at, correct FROM answers WHERE first_try = 1 ORDER BY item_id, at, id")))
        return false;
    QHash<qint64, FsrsState> states;
    while (q.next()) {
        FsrsState &s = states[q.value(0).toLongLong()];
        s = fsrsReview(s, dayOf(q.value(1).toDouble()), q.value(2).toBool());
    }
    QSqlQuery update(QSqlDatabase::database(m_connection, false));
    update.prepare(QStringLiteral("UPDATE items SET stability = ?, difficulty = ?, reps = ?, lapses = ?, "
                                  "last_review_day = ?, interval_days = ?, due_day = ? WHERE id = ?"));
    for (auto it = states.cbegin(); it != states.cend(); ++it) {
        const FsrsState &s = it.value();
        for (const QVariant &v : {QVariant(s.stability), QVariant(s.difficulty), QVariant(s.reps), QVariant(s.lapses),
                                  QVariant(s.lastReviewDay), QVariant(s.intervalDays), QVariant(s.dueDay),
                                  QVariant(it.key())})
            update.addBindValue(v);
        if (!exec(update))
            return false;
    }
    return true;
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
    m_pending.append(answer);
    // While the file is held or full, answers wait for the retry instead of each waiting
    // for the file again.
    if (m_retry.isActive())
        return;
    flush(true);
}

bool LearningRecord::retryPending()
{
    m_retry.stop();
    return flush(false);
}

bool LearningRecord::flush(bool mayWait)
{
    if (m_pending.isEmpty())
        return true;
    if (!m_open && !openDatabase()) {
        if (!(m_lastFailure == Failure::Corrupt && setAsideDamagedFile() && openDatabase())) {
            handleFailure(m_lastFailure);
            return false;
        }
    }
    {
        // In the background nobody waits: a held file is tried again later.
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(mayWait ? m_busyTimeoutMs : 0));
    }
    bool setAside = false;
    while (!m_pending.isEmpty()) {
        if (writeOne(m_pending.first())) {
            m_pending.removeFirst();
            continue;
        }
        // A file found damaged while writing: once per attempt it is put aside.
        if (m_lastFailure == Failure::Corrupt && !setAside) {
            setAside = true;
            if (setAsideDamagedFile() && openDatabase())
                continue;
        }
        handleFailure(m_lastFailure);
        return false;
    }
    m_reported = 0;
    return true;
}

LearningRecord::CachedTopic *LearningRecord::resolveTopic(const LearningTopic &topic, CachedTopic &fresh)
{
    const TopicIdentity &id = topic.identity;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    const auto cached = m_topics.find(id.contentHash);
    if (cached != m_topics.end()) {
        if (cached->path == id.path && cached->title == id.title)
            return &cached.value();
        // The same topic from another file (moved, or a copy) or renamed: it follows.
        q.prepare(QStringLiteral("UPDATE topics SET path = ?, title = ? WHERE id = ?"));
        for (const QVariant &v : {text(id.path), text(id.title), QVariant(cached->id)})
            q.addBindValue(v);
        if (!exec(q))
            return nullptr;
        fresh = cached.value();
        fresh.path = id.path;
        fresh.title = id.title;
        return &fresh;
    }
    // The same objects: the same topic, wherever the file lies now. Else the same file:
    // the topic, edited.
    q.prepare(QStringLiteral("SELECT id FROM topics WHERE content_hash = ? ORDER BY last_practised DESC LIMIT 1"));
    q.addBindValue(text(id.contentHash));
    if (!exec(q))
        return nullptr;
    qint64 topicId = q.next() ? q.value(0).toLongLong() : 0;
    if (topicId == 0 && !id.path.isEmpty()) {
        q.prepare(QStringLiteral("SELECT id FROM topics WHERE path = ? ORDER BY last_practised DESC LIMIT 1"));
        q.addBindValue(id.path);
        if (!exec(q))
            return nullptr;
        topicId = q.next() ? q.value(0).toLongLong() : 0;
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
    fresh = CachedTopic();
    fresh.id = topicId;
    fresh.path = id.path;
    fresh.title = id.title;
    while (q.next())
        fresh.itemIds.insert(q.value(1).toString(), q.value(0).toLongLong());
    return &fresh;
}

bool LearningRecord::writeOne(const LearningAnswer &answer)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    if (!exec(q, QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    CachedTopic fresh;
    CachedTopic *topic = resolveTopic(*answer.topic, fresh);
    const LearningItem &item = answer.topic->items.at(answer.item);
    const qint64 itemId = topic ? topic->itemIds.value(item.key) : 0;
    bool ok = topic && itemId != 0;
    if (ok) {
        q.prepare(QStringLiteral("INSERT INTO answers(at, item_id, correct, first_try) VALUES(?, ?, ?, ?)"));
        for (const QVariant &v :
             {QVariant(answer.at), QVariant(itemId), QVariant(int(answer.correct)), QVariant(int(answer.firstTry))})
            q.addBindValue(v);
        ok = exec(q);
    }
    // The first try of a quiz is the review: right is a pass, anything else a fail. The
    // state is read inside the transaction: another window may have written it.
    if (ok && answer.firstTry) {
        q.prepare(QStringLiteral("SELECT %1 FROM items WHERE id = ?").arg(QLatin1String(kStateColumns)));
        q.addBindValue(itemId);
        ok = exec(q) && q.next();
        if (ok) {
            const FsrsState next = fsrsReview(stateFrom(q, 0), dayOf(answer.at), answer.correct);
            q.prepare(QStringLiteral("UPDATE items SET stability = ?, difficulty = ?, reps = ?, lapses = ?, "
                                     "last_review_day = ?, interval_days = ?, due_day = ? WHERE id = ?"));
            for (const QVariant &v : {QVariant(next.stability), QVariant(next.difficulty), QVariant(next.reps),
                                      QVariant(next.lapses), QVariant(next.lastReviewDay), QVariant(next.intervalDays),
                                      QVariant(next.dueDay), QVariant(itemId)})
                q.addBindValue(v);
            ok = exec(q);
        }
    }
    if (ok) {
        q.prepare(QStringLiteral("UPDATE topics SET last_practised = ? WHERE id = ?"));
        q.addBindValue(answer.at);
        q.addBindValue(topic->id);
        ok = exec(q);
    }
    if (ok && !q.exec(QStringLiteral("COMMIT")))
        ok = fail(q.lastError());
    if (!ok) {
        const Failure failure = m_lastFailure;
        q.exec(QStringLiteral("ROLLBACK"));
        m_lastFailure = failure;
        return false;
    }
    if (topic == &fresh)
        m_topics.insert(answer.topic->identity.contentHash, fresh);
    return true;
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
        return;
    case Failure::Corrupt:
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
    if (!open())
        return days;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT a.item_id, a.at, a.correct FROM answers a JOIN items i ON i.id = a.item_id "
                             "WHERE i.topic_id = ? AND i.active = 1 AND a.first_try = 1 ORDER BY a.item_id, a.at, a.id"));
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

void LearningRecord::handleReadFailure()
{
    // A damaged file shows up on reading too: put aside, the Lernkartei starts empty.
    if (m_lastFailure == Failure::Corrupt && setAsideDamagedFile())
        return;
    handleFailure(m_lastFailure);
}

} // namespace kapitolo
