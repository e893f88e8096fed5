#include "network/class_history.h"

#include "document/topic_document.h"
#include "learning/learning_items.h"
#include "learning/sqlite_file.h"
#include "network/control_board.h"
#include "network/item_analysis.h"
#include "network/network_reports.h"
#include "network/report_writer.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/messages.h"
#include "results/best_list.h"

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace kapitolo {

namespace {

const char *const kSchema[] = {
    "CREATE TABLE exercises(id INTEGER PRIMARY KEY, journal TEXT NOT NULL UNIQUE, channel TEXT NOT NULL, "
    "title TEXT NOT NULL, topic_path TEXT NOT NULL, content_hash TEXT NOT NULL, doc_type INTEGER NOT NULL, "
    "started REAL NOT NULL, ended REAL NOT NULL)",
    "CREATE TABLE pupils(id INTEGER PRIMARY KEY, exercise_id INTEGER NOT NULL REFERENCES exercises(id) ON DELETE CASCADE, "
    "identity TEXT NOT NULL, name TEXT NOT NULL, browser INTEGER NOT NULL, computer TEXT NOT NULL, user TEXT NOT NULL, "
    "state INTEGER NOT NULL, performance REAL, grade INTEGER NOT NULL, correct INTEGER NOT NULL, "
    "failed INTEGER NOT NULL, clock TEXT NOT NULL, attempts INTEGER NOT NULL)",
    "CREATE TABLE answers(id INTEGER PRIMARY KEY, exercise_id INTEGER NOT NULL REFERENCES exercises(id) ON DELETE CASCADE, "
    "pupil TEXT NOT NULL, participant_key TEXT NOT NULL, at REAL NOT NULL, object INTEGER NOT NULL, "
    "item_key TEXT NOT NULL, correct INTEGER NOT NULL, first_try INTEGER NOT NULL)",
    "CREATE TABLE items(exercise_id INTEGER NOT NULL REFERENCES exercises(id) ON DELETE CASCADE, item_key TEXT NOT NULL, "
    "text TEXT NOT NULL, PRIMARY KEY(exercise_id, item_key))",
    "CREATE INDEX answers_of_exercise ON answers(exercise_id, first_try)",
    "CREATE INDEX pupils_of_exercise ON pupils(exercise_id)",
    "CREATE INDEX exercises_of_channel ON exercises(channel, title, started)",
};

QCollator germanCollator()
{
    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

QString decimal(double value)
{
    QString text = QString::number(value, 'f', 1);
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

// A null QString binds as NULL, which equals nothing, not even ''.
QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

QString exerciseHeading(const HistoryExercise &e)
{
    return fromDayNumber(e.started).toString(QStringLiteral("dd.MM.yyyy HH:mm")) + QLatin1Char(' ') + e.title;
}

} // namespace

QString pupilIdentity(const QString &computer, const QString &user, bool *browser)
{
    const bool isBrowser = computer.startsWith(QLatin1String("Browser"));
    if (browser)
        *browser = isBrowser;
    if (isBrowser)
        return QStringLiteral("b:") + pupilName(computer, user).toCaseFolded();
    return QStringLiteral("k:") + computer.toCaseFolded() + QLatin1Char('\\') + user.toCaseFolded();
}

QString pupilName(const QString &computer, const QString &user)
{
    // A browser pupil is the name as the best list keeps it: the same pupil on another
    // tablet next week is the same row.
    if (computer.startsWith(QLatin1String("Browser")))
        return storedAsCp1252(bestListName(user)).simplified();
    return user.isEmpty() ? computer : computer + QStringLiteral(" / ") + user;
}

HistoryExercise exerciseFromJournal(const QList<JournalRecord> &records, const QString &journalPath,
                                    const TopicDocument &document, double endedAt)
{
    HistoryExercise e;
    ControlBoard board;
    const JournalReplay replay = replayJournal(records, board);
    e.journal = QFileInfo(journalPath).fileName();
    e.channel = replay.initiated.channel;
    e.title = replay.initiated.title.isEmpty() ? document.titel : replay.initiated.title;
    e.docType = replay.initiated.dokTyp;
    e.started = replay.initiated.at;
    e.ended = endedAt;
    for (const JournalRecord &r : records)
        if (r.kind == JournalRecord::Kind::Ended)
            e.ended = r.at;
    // The exchange folder's copy (a resumed exercise) is no topic file of the teacher's.
    e.topicPath = replay.initiated.topicPath;
    if (e.topicPath.isEmpty() && !document.fileName.endsWith(QLatin1String("tsrnetzuebung.tsr")))
        e.topicPath = document.fileName;
    const std::shared_ptr<const LearningTopic> topic = learningTopic(document);
    e.contentHash = topic->identity.contentHash;

    // The rows the teacher's bookkeeping keeps; a participant's repeated quizzes make one.
    QHash<QString, QString> identityOfKey;
    QHash<QString, int> pupilOf;
    for (const ParticipantRow &row : board.rows()) {
        HistoryPupil p;
        p.identity = pupilIdentity(row.computer, row.user, &p.browser);
        p.name = pupilName(row.computer, row.user);
        p.computer = row.computer;
        p.user = row.user;
        p.state = int(row.state);
        bool ok = false;
        const double performance = row.totalPerformance.toDouble(&ok);
        p.performance = ok ? performance : -1;
        p.grade = row.grade;
        p.correct = row.correct;
        p.failed = row.failed;
        p.clock = row.clock;
        identityOfKey.insert(row.key, p.identity);
        const auto known = pupilOf.constFind(p.identity);
        if (known == pupilOf.constEnd()) {
            pupilOf.insert(p.identity, int(e.pupils.size()));
            e.pupils.append(p);
            continue;
        }
        HistoryPupil &earlier = e.pupils[*known];
        p.attempts = earlier.attempts + 1;
        // The last result counts; an attempt without one does not replace a result.
        if (p.performance >= 0 || earlier.performance < 0)
            earlier = p;
        else
            earlier.attempts = p.attempts;
    }

    // The answers: the reports once more through a board of their own, to see each one the
    // bookkeeping accepts while its quiz runs. Right when the key's correct count grew,
    // wrong when its failed count grew, as the item analysis counts.
    ControlBoard answers;
    QHash<QString, int> rowOfKey;
    QHash<QString, QSet<int>> answered;
    for (const JournalRecord &r : records) {
        if (r.kind != JournalRecord::Kind::Report)
            continue;
        NetworkReport report;
        if (!parseNetworkReport(r.text, report))
            continue;
        const int row = rowOfKey.value(report.key, -1);
        const ParticipantRow before = row >= 0 ? answers.rows().at(row) : ParticipantRow();
        const ControlBoard::Outcome outcome = answers.handleReport(r.computer, r.user, r.text, r.at);
        if (!outcome.accepted)
            continue;
        rowOfKey.insert(report.key, outcome.row);
        if (report.kind != NetworkReport::Kind::Action || row < 0 || before.state != ParticipantRow::State::Running)
            continue;
        const bool right = report.correctCount > before.correct;
        const bool wrong = report.failedCount > before.failed;
        const auto identity = identityOfKey.constFind(report.key);
        if ((!right && !wrong) || identity == identityOfKey.constEnd())
            continue; // no answer, or a participant the teacher removed
        HistoryAnswer a;
        a.pupil = *identity;
        a.key = report.key;
        a.at = r.at;
        a.object = report.hitObject;
        const LearningItem *item = topic->itemFor(report.hitObject);
        a.item = item ? item->key : QStringLiteral("#") + QString::number(report.hitObject);
        a.correct = right;
        a.firstTry = !answered[report.key].contains(report.hitObject);
        answered[report.key].insert(report.hitObject);
        if (!e.itemTexts.contains(a.item)) {
            const QString text = itemTaskText(document, report.hitObject);
            e.itemTexts.insert(a.item, text.isEmpty() ? a.item : text);
        }
        e.answers.append(a);
    }
    return e;
}

double performanceTrend(const QList<double> &performances)
{
    const QList<double> last = performances.mid(std::max<qsizetype>(0, performances.size() - 5));
    const int n = int(last.size());
    if (n < 2)
        return std::numeric_limits<double>::quiet_NaN();
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = 0; i < n; ++i) {
        sx += i;
        sy += last.at(i);
        sxx += double(i) * i;
        sxy += i * last.at(i);
    }
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

QString trendText(double trend)
{
    if (std::isnan(trend))
        return {};
    const double shown = std::round(trend * 10) / 10;
    const QString number = (shown < 0 ? QStringLiteral("\u2212") : QStringLiteral("+")) + decimal(std::abs(shown));
    if (shown >= 2)
        return QStringLiteral("\u2191 ") + number;
    if (shown <= -2)
        return QStringLiteral("\u2193 ") + number;
    return QStringLiteral("\u2192 ") + number;
}

QString HistoryTable::cellText(int pupil, int exercise) const
{
    const int index = cells.value(pupil).value(exercise, -1);
    if (index < 0)
        return {};
    const HistoryPupil &p = results.at(index);
    if (p.performance < 0)
        return participantStateText(ParticipantRow::State(p.state));
    return decimal(p.performance) + QStringLiteral(" % (") + QString::number(p.grade) + QLatin1Char(')');
}

double WeakItem::latest() const
{
    for (qsizetype i = rates.size() - 1; i >= 0; --i)
        if (rates.at(i) >= 0)
            return rates.at(i);
    return -1;
}

ClassHistory::ClassHistory(const QString &path, Messages &messages)
    : m_path(path)
    , m_connection(QStringLiteral("klassen-%1").arg(quintptr(this), 0, 16))
    , m_messages(messages)
{
}

ClassHistory::~ClassHistory()
{
    close();
}

QString ClassHistory::fileIn(const QString &protocolFolder)
{
    return QDir(protocolFolder).filePath(QStringLiteral("klassen.sqlite"));
}

void ClassHistory::close()
{
    closeSqlite(m_connection);
    m_open = false;
}

bool ClassHistory::open()
{
    if (m_open)
        return true;
    SqliteFailure failure = SqliteFailure::None;
    if (openPrivateSqlite(m_path, m_connection, 2000, failure)) {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        QSqlQuery q(db);
        bool ok = q.exec(QStringLiteral("PRAGMA foreign_keys = ON")) && q.exec(QStringLiteral("PRAGMA user_version"))
            && q.next();
        const int version = ok ? q.value(0).toInt() : -1;
        if (ok && version == 0) {
            ok = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
            for (const char *sql : kSchema)
                ok = ok && q.exec(QString::fromLatin1(sql));
            ok = ok && q.exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion))
                && q.exec(QStringLiteral("COMMIT"));
            if (!ok)
                q.exec(QStringLiteral("ROLLBACK"));
        } else if (version != kSchemaVersion) {
            ok = false;
        }
        if (ok) {
            m_open = true;
            return true;
        }
        failure = classifySqlite(q.lastError());
        q = QSqlQuery();
        db = QSqlDatabase();
        close();
    }
    if (!m_reported) {
        m_reported = true;
        m_messages.error(QStringLiteral("Der Klassenverlauf \"") + QDir::toNativeSeparators(m_path)
                         + QStringLiteral("\" kann nicht geöffnet werden")
                         + (failure == SqliteFailure::Corrupt ? QStringLiteral(": Die Datei ist beschädigt.")
                            : failure == SqliteFailure::Locked
                                ? QStringLiteral(": Ein anderes Programm hält die Datei gesperrt.")
                            : failure == SqliteFailure::Full ? QStringLiteral(": Der Datenträger ist voll.")
                                                             : QStringLiteral("."))
                         + QStringLiteral(" Die Ergebnistabellen und Journale der Übungen im Protokollordner sind "
                                          "davon nicht betroffen."));
    }
    return false;
}

bool ClassHistory::add(const HistoryExercise &e)
{
    if (!open())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    auto run = [&q](std::initializer_list<QVariant> values) {
        // A null QString would bind as NULL: the text columns take it as empty.
        for (const QVariant &v : values)
            q.addBindValue(v.metaType().id() == QMetaType::QString && v.toString().isNull() ? QVariant(QStringLiteral(""))
                                                                                          : v);
        return q.exec();
    };
    bool ok = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
    // The same exercise ended twice (a second ending after a resume) is kept once.
    ok = ok && q.prepare(QStringLiteral("DELETE FROM exercises WHERE journal = ?")) && run({e.journal});
    ok = ok
        && q.prepare(QStringLiteral("INSERT INTO exercises(journal, channel, title, topic_path, content_hash, doc_type, "
                                    "started, ended) VALUES(?, ?, ?, ?, ?, ?, ?, ?)"))
        && run({e.journal, e.channel, e.title, e.topicPath, e.contentHash, e.docType, e.started, e.ended});
    const qint64 id = ok ? q.lastInsertId().toLongLong() : 0;
    ok = ok
        && q.prepare(QStringLiteral("INSERT INTO pupils(exercise_id, identity, name, browser, computer, user, state, "
                                    "performance, grade, correct, failed, clock, attempts) "
                                    "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const HistoryPupil &p : e.pupils)
        ok = ok
            && run({id, p.identity, p.name, int(p.browser), p.computer, p.user, p.state,
                    p.performance < 0 ? QVariant() : QVariant(p.performance), p.grade, p.correct, p.failed, p.clock,
                    p.attempts});
    ok = ok
        && q.prepare(QStringLiteral("INSERT INTO answers(exercise_id, pupil, participant_key, at, object, item_key, "
                                    "correct, first_try) VALUES(?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const HistoryAnswer &a : e.answers)
        ok = ok && run({id, a.pupil, a.key, a.at, a.object, a.item, int(a.correct), int(a.firstTry)});
    ok = ok && q.prepare(QStringLiteral("INSERT INTO items(exercise_id, item_key, text) VALUES(?, ?, ?)"));
    for (auto it = e.itemTexts.cbegin(); it != e.itemTexts.cend() && ok; ++it)
        ok = run({id, it.key(), it.value()});
    ok = ok && q.exec(QStringLiteral("COMMIT"));
    if (ok)
        return true;
    const SqliteFailure failure = classifySqlite(q.lastError());
    q.exec(QStringLiteral("ROLLBACK"));
    m_messages.error(QStringLiteral("Die Übung kann nicht in den Klassenverlauf \"") + QDir::toNativeSeparators(m_path)
                     + QStringLiteral("\" eingetragen werden")
                     + (failure == SqliteFailure::Full ? QStringLiteral(": Der Datenträger ist voll.") : QStringLiteral("."))
                     + QStringLiteral(" Die Ergebnistabelle und das Journal der Übung im Protokollordner sind davon "
                                      "nicht betroffen."));
    return false;
}

QStringList ClassHistory::channels()
{
    QStringList list;
    if (!open())
        return list;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.exec(QStringLiteral("SELECT channel FROM exercises GROUP BY channel ORDER BY MAX(started) DESC"));
    while (q.next())
        list << q.value(0).toString();
    return read(!failed(q)) ? list : QStringList();
}

QStringList ClassHistory::topics(const QString &channel)
{
    QStringList list;
    if (!open())
        return list;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT DISTINCT title FROM exercises WHERE channel = ?"));
    q.addBindValue(text(channel));
    q.exec();
    while (q.next())
        list << q.value(0).toString();
    if (!read(!failed(q)))
        return {};
    const QCollator collator = germanCollator();
    std::sort(list.begin(), list.end(), [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    return list;
}

QString ClassHistory::topicPath(const QString &channel, const QString &topic)
{
    if (!open())
        return {};
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT topic_path FROM exercises WHERE channel = ? AND title = ? AND topic_path <> '' "
                             "ORDER BY started DESC LIMIT 1"));
    q.addBindValue(text(channel));
    q.addBindValue(text(topic));
    const QString path = q.exec() && q.next() ? q.value(0).toString() : QString();
    return read(!failed(q)) ? path : QString();
}

QList<HistoryExercise> ClassHistory::exercises(const QString &channel, const QString &topic)
{
    QList<HistoryExercise> list;
    if (!open())
        return list;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT id, journal, channel, title, topic_path, content_hash, doc_type, started, ended "
                             "FROM exercises WHERE channel = ? AND (? = '' OR title = ?) ORDER BY started, id"));
    q.addBindValue(text(channel));
    q.addBindValue(text(topic));
    q.addBindValue(text(topic));
    q.exec();
    while (q.next()) {
        HistoryExercise e;
        e.id = q.value(0).toLongLong();
        e.journal = q.value(1).toString();
        e.channel = q.value(2).toString();
        e.title = q.value(3).toString();
        e.topicPath = q.value(4).toString();
        e.contentHash = q.value(5).toString();
        e.docType = q.value(6).toInt();
        e.started = q.value(7).toDouble();
        e.ended = q.value(8).toDouble();
        list.append(e);
    }
    return failed(q) ? QList<HistoryExercise>() : list;
}

HistoryTable ClassHistory::table(const QString &channel, const QString &topic)
{
    HistoryTable t;
    t.exercises = exercises(channel, topic);
    if (t.exercises.isEmpty())
        return t;
    QHash<qint64, int> column;
    for (int i = 0; i < t.exercises.size(); ++i)
        column.insert(t.exercises.at(i).id, i);
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT p.exercise_id, p.identity, p.name, p.browser, p.computer, p.user, p.state, "
                             "p.performance, p.grade, p.correct, p.failed, p.clock, p.attempts FROM pupils p "
                             "JOIN exercises e ON e.id = p.exercise_id WHERE e.channel = ? AND (? = '' OR e.title = ?) "
                             "ORDER BY e.started, e.id, p.id"));
    q.addBindValue(text(channel));
    q.addBindValue(text(topic));
    q.addBindValue(text(topic));
    q.exec();
    QHash<QString, int> rowOf;
    QList<QString> names;
    while (q.next()) {
        HistoryPupil p;
        p.identity = q.value(1).toString();
        p.name = q.value(2).toString();
        p.browser = q.value(3).toBool();
        p.computer = q.value(4).toString();
        p.user = q.value(5).toString();
        p.state = q.value(6).toInt();
        p.performance = q.value(7).isNull() ? -1 : q.value(7).toDouble();
        p.grade = q.value(8).toInt();
        p.correct = q.value(9).toInt();
        p.failed = q.value(10).toInt();
        p.clock = q.value(11).toString();
        p.attempts = q.value(12).toInt();
        int row = rowOf.value(p.identity, -1);
        if (row < 0) {
            row = int(t.identities.size());
            rowOf.insert(p.identity, row);
            t.identities.append(p.identity);
            names.append(p.name);
            t.cells.append(QList<int>(t.exercises.size(), -1));
        }
        t.cells[row][column.value(q.value(0).toLongLong())] = int(t.results.size());
        t.results.append(p);
    }
    // Half a table would pass for the class's results: none, with the report.
    if (!read(!failed(q)))
        return {};
    // Rows sorted by name, as a class list is.
    QList<int> order(names.size());
    std::iota(order.begin(), order.end(), 0);
    const QCollator collator = germanCollator();
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return collator.compare(names.at(a), names.at(b)) < 0; });
    QStringList identities;
    QList<QList<int>> cells;
    for (int i : order) {
        t.pupils.append(names.at(i));
        identities.append(t.identities.at(i));
        cells.append(t.cells.at(i));
    }
    t.identities = identities;
    t.cells = cells;
    for (const QList<int> &row : std::as_const(t.cells)) {
        QList<double> performances;
        for (int index : row)
            if (index >= 0 && t.results.at(index).performance >= 0)
                performances.append(t.results.at(index).performance);
        t.trends.append(performanceTrend(performances));
    }
    return t;
}

bool ClassHistory::failed(const QSqlQuery &q)
{
    if (!q.lastError().isValid())
        return false;
    if (!m_readReported) {
        m_readReported = true;
        const SqliteFailure failure = classifySqlite(q.lastError());
        m_messages.error(QStringLiteral("Der Klassenverlauf \"") + QDir::toNativeSeparators(m_path)
                         + QStringLiteral("\" kann nicht gelesen werden")
                         + (failure == SqliteFailure::Corrupt ? QStringLiteral(": Die Datei ist beschädigt.")
                            : failure == SqliteFailure::Locked
                                ? QStringLiteral(": Ein anderes Programm hält die Datei gesperrt.")
                                : QStringLiteral("."))
                         + QStringLiteral(" Die Ergebnistabellen und Journale der Übungen im Protokollordner sind "
                                          "davon nicht betroffen."));
    }
    return true;
}

WeakItems ClassHistory::weakItems(const QString &channel, const QString &topic, int lastExercises)
{
    WeakItems weak;
    if (topic.isEmpty())
        return weak;
    const QList<HistoryExercise> all = exercises(channel, topic);
    weak.exercises = all.mid(std::max<qsizetype>(0, all.size() - lastExercises));
    if (weak.exercises.isEmpty())
        return weak;
    QHash<QString, int> rowOf;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    for (int c = 0; c < weak.exercises.size(); ++c) {
        q.prepare(QStringLiteral("SELECT a.item_key, COUNT(*), SUM(a.correct), i.text FROM answers a "
                                 "LEFT JOIN items i ON i.exercise_id = a.exercise_id AND i.item_key = a.item_key "
                                 "WHERE a.exercise_id = ? AND a.first_try = 1 GROUP BY a.item_key"));
        q.addBindValue(weak.exercises.at(c).id);
        q.exec();
        while (q.next()) {
            const QString key = q.value(0).toString();
            int row = rowOf.value(key, -1);
            if (row < 0) {
                row = int(weak.items.size());
                rowOf.insert(key, row);
                WeakItem item;
                item.item = key;
                item.rates = QList<double>(weak.exercises.size(), -1);
                weak.items.append(item);
            }
            WeakItem &item = weak.items[row];
            if (!q.value(3).toString().isEmpty())
                item.text = q.value(3).toString();
            const int answered = q.value(1).toInt();
            item.rates[c] = answered == 0 ? -1 : 100.0 * q.value(2).toInt() / answered;
        }
        if (failed(q))
            return {};
    }
    read(true);
    for (const WeakItem &item : std::as_const(weak.items))
        if (item.latest() >= 0)
            weak.latestRates.insert(item.item, item.latest());
    // Still got wrong: not every pupil right at the first try the last time it was asked.
    weak.items.removeIf([](const WeakItem &item) { return item.latest() >= 100 || item.latest() < 0; });
    auto mean = [](const WeakItem &item) {
        double sum = 0;
        int n = 0;
        for (double r : item.rates)
            if (r >= 0) {
                sum += r;
                ++n;
            }
        return n == 0 ? 0.0 : sum / n;
    };
    const QCollator collator = germanCollator();
    std::stable_sort(weak.items.begin(), weak.items.end(), [&](const WeakItem &a, const WeakItem &b) {
        if (a.latest() != b.latest())
            return a.latest() < b.latest();
        if (mean(a) != mean(b))
            return mean(a) < mean(b);
        return collator.compare(a.text, b.text) < 0;
    });
    return weak;
}

QByteArray classHistoryCsv(const HistoryTable &table, const WeakItems &weak)
{
    QStringList header{QStringLiteral("Schüler")};
    for (const HistoryExercise &e : table.exercises) {
        header << csvCell(exerciseHeading(e) + QStringLiteral(" – Gesamtleistung (%)"))
               << csvCell(exerciseHeading(e) + QStringLiteral(" – Note"));
    }
    header << QStringLiteral("Trend (Prozentpunkte je Übung)");
    QString text = header.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    for (int r = 0; r < table.pupils.size(); ++r) {
        QStringList cells{csvCell(table.pupils.at(r))};
        for (int c = 0; c < table.exercises.size(); ++c) {
            const int index = table.cells.at(r).at(c);
            const HistoryPupil *p = index >= 0 ? &table.results.at(index) : nullptr;
            cells << (p && p->performance >= 0 ? decimal(p->performance) : QString())
                  << (p && p->grade > 0 ? QString::number(p->grade) : QString());
        }
        const double trend = table.trends.value(r, std::numeric_limits<double>::quiet_NaN());
        cells << (std::isnan(trend) ? QString() : decimal(trend));
        text += cells.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    if (!weak.exercises.isEmpty()) {
        text += QStringLiteral("\r\n");
        QStringList itemHeader{QStringLiteral("Aufgabe")};
        for (const HistoryExercise &e : weak.exercises)
            itemHeader << csvCell(exerciseHeading(e) + QStringLiteral(" – Quote beim ersten Versuch (%)"));
        text += itemHeader.join(QLatin1Char(';')) + QStringLiteral("\r\n");
        for (const WeakItem &item : weak.items) {
            QStringList cells{csvCell(item.text)};
            for (double rate : item.rates)
                cells << (rate < 0 ? QString() : decimal(rate));
            text += cells.join(QLatin1Char(';')) + QStringLiteral("\r\n");
        }
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QList<SheetPicture> buildClassHistoryReport(const QString &channel, const QString &topic, const HistoryTable &table,
                                            const WeakItems &weak, const QDateTime &when)
{
    using namespace reporting;
    QList<SheetPicture> pages;
    {
        Writer out(pages);
        out.line(QStringLiteral("Klassenverlauf"), font(30, true), 48);
        out.line(QStringLiteral("Kanal: ") + channel, font(17), kRowHeight + 4);
        out.line(QStringLiteral("Thema: ") + (topic.isEmpty() ? QStringLiteral("alle Themen") : topic), font(17),
                 kRowHeight + 4);
        out.line(QStringLiteral("Stand: ") + when.toString(QStringLiteral("dd.MM.yyyy, hh:mm 'Uhr'")), font(17),
                 kRowHeight + 4);
        out.gap(16);

        // As many of the last exercises as fit beside the names and the trend.
        constexpr int nameWidth = 221;
        constexpr int trendWidth = 100;
        constexpr int exerciseWidth = 90;
        const int fit = (kWidth - nameWidth - trendWidth) / exerciseWidth;
        const int shown = std::min<int>(fit, int(table.exercises.size()));
        const int first = int(table.exercises.size()) - shown;
        out.line(shown < table.exercises.size()
                     ? QStringLiteral("Gesamtleistung und Note der letzten %1 von %2 Übungen").arg(shown).arg(table.exercises.size())
                     : QStringLiteral("Gesamtleistung und Note"),
                 font(20, true), 36);
        QList<Column> columns{{QStringLiteral("Schüler"), nameWidth, false}};
        for (int c = first; c < table.exercises.size(); ++c) {
            const HistoryExercise &e = table.exercises.at(c);
            columns.append({fromDayNumber(e.started).toString(QStringLiteral("dd.MM.yy")) + QLatin1Char(' ') + e.title,
                            exerciseWidth, true});
        }
        columns.append({QStringLiteral("Trend"), trendWidth + (kWidth - nameWidth - trendWidth - shown * exerciseWidth), true});
        out.table(columns, int(table.pupils.size()), [&](int row, int column) -> QString {
            if (column == 0)
                return table.pupils.at(row);
            if (column == shown + 1)
                return trendText(table.trends.value(row));
            return table.cellText(row, first + column - 1);
        });

        if (!weak.exercises.isEmpty()) {
            out.line(QStringLiteral("Aufgaben, die die Klasse noch falsch beantwortet"), font(20, true), 36);
            if (weak.items.isEmpty()) {
                out.line(QStringLiteral("Keine: Zuletzt hatten alle jede Aufgabe beim ersten Versuch richtig."), font(15),
                         kRowHeight);
            } else {
                constexpr int rateWidth = 110;
                QList<Column> itemColumns{
                    {QStringLiteral("Aufgabe"), kWidth - rateWidth * int(weak.exercises.size()), false}};
                for (const HistoryExercise &e : weak.exercises)
                    itemColumns.append(
                        {fromDayNumber(e.started).toString(QStringLiteral("dd.MM.yy")) + QStringLiteral(": Quote 1. Versuch"),
                         rateWidth, true});
                out.table(itemColumns, int(weak.items.size()), [&](int row, int column) -> QString {
                    const WeakItem &item = weak.items.at(row);
                    if (column == 0)
                        return item.text;
                    const double rate = item.rates.at(column - 1);
                    return rate < 0 ? QStringLiteral("–") : rateText(rate) + QStringLiteral(" %");
                });
            }
        }
    }
    addPageNumbers(pages);
    return pages;
}

} // namespace kapitolo
