// The pupil's learning record: the items of a topic and their identity, the FSRS schedule
// against its reference implementation, the compartments over 40 simulated days, the file
// (private, WAL, migration from version 1) and what goes wrong with it (held by another
// process, damaged, full, killed in the middle of a write), and the tool's JSON lines.

#include "document/document_file.h"
#include "document/document_json.h"
#include "learning/fsrs.h"
#include "learning/learning_items.h"
#include "learning/learning_record.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include <sys/stat.h>

using namespace kapitolo;
using namespace kapitolo::test;

Q_DECLARE_METATYPE(kapitolo::TopicDocument)

namespace {

const QString kNotAffected = QStringLiteral(" Das Quiz, sein Protokoll und die Bestenliste sind davon nicht betroffen.");
constexpr qint32 kFirstDay = 45000; // 15 March 2023

TopicDocument mapDocument(int places, const QString &path = QString())
{
    TopicDocument d;
    d.fileName = path;
    d.titel = QStringLiteral("Flüsse");
    d.DokTyp = dtImageLabelling;
    d.baseImage = patternImage(40, 30);
    for (int i = 0; i < places; ++i) {
        DocObject o;
        o.Typ = otLabel;
        o.Ebene = layerBeschriftung;
        o.Cap = QStringLiteral("Ort %1").arg(i);
        o.Sx = o.Kx = 0.05 + 0.9 * i / places;
        o.Sy = o.Ky = 0.25 + 0.5 * (i % 3) / 3;
        d.objects.append(o);
    }
    // Something that is no item: an info point.
    DocObject info;
    info.Typ = otInfoPoint;
    info.Cap = QStringLiteral("Hinweis");
    d.objects.append(info);
    return d;
}

TopicDocument clozeDocument()
{
    TopicDocument d;
    d.titel = QStringLiteral("Der Rhein");
    d.DokTyp = dtCloze;
    d.baseImage = patternImage(40, 30);
    d.lueckentext = QStringLiteral("Der <<Rhein>> entspringt in der <<Schweiz>>. Bei Koblenz mündet die <<Mosel>> in den "
                                   "<<Rhein>>, bei Mainz der <<Main>>.");
    createGapObjects(d.lueckentext, d.objects);
    return d;
}

TopicDocument questionsDocument()
{
    TopicDocument d;
    d.titel = QStringLiteral("Hauptstädte");
    d.DokTyp = dtSingleQuestions;
    d.baseImage = patternImage(40, 30);
    d.fragentext = QStringLiteral("Hauptstadt von Frankreich?//Paris\r\nHauptstadt von Italien?//Rom\r\n"
                                  "Hauptstadt von Polen?//Warschau\r\nHauptstadt von Spanien?//Madrid");
    d.AnzFrageNummern = createQuestionObjects(d.fragentext, d.objects);
    return d;
}

struct Review {
    qint32 day;
    bool pass;
};

struct ReferenceState {
    double stability;
    double difficulty;
    int interval;
    qint32 due;
};

// The histories replayed by ts-fsrs under node.
QList<QList<ReferenceState>> reference(const QList<QList<Review>> &histories)
{
    QList<QList<ReferenceState>> result;
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    const QString module = QStringLiteral(KAPITOLO_TS_FSRS) + QStringLiteral("/index.mjs");
    if (node.isEmpty() || !QFileInfo::exists(module)) {
        qWarning("node or %s is missing: scripts/setup installs them", qPrintable(module));
        return result;
    }
    QJsonArray all;
    for (const QList<Review> &h : histories) {
        QJsonArray reviews;
        for (const Review &r : h)
            reviews.append(QJsonObject{{QStringLiteral("day"), r.day}, {QStringLiteral("pass"), r.pass}});
        all.append(reviews);
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    p.setProcessEnvironment(env);
    p.start(node, {QStringLiteral(KAPITOLO_TEST_SOURCE) + QStringLiteral("/learning/fsrs_reference.mjs"), module});
    p.write(QJsonDocument(QJsonObject{{QStringLiteral("histories"), all}}).toJson(QJsonDocument::Compact));
    p.closeWriteChannel();
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning("node: %s", p.readAllStandardError().constData());
        return result;
    }
    for (const QJsonValue &h : QJsonDocument::fromJson(p.readAllStandardOutput()).array()) {
        QList<ReferenceState> states;
        for (const QJsonValue &v : h.toArray()) {
            const QJsonObject o = v.toObject();
            states.append({o.value(QStringLiteral("s")).toDouble(), o.value(QStringLiteral("d")).toDouble(),
                           o.value(QStringLiteral("ivl")).toInt(), qint32(o.value(QStringLiteral("due")).toInteger())});
        }
        result.append(states);
    }
    return result;
}

bool same(double a, double b)
{
    return std::abs(a - b) <= 1e-8 * std::max(1.0, std::abs(b));
}

// A look into the file from outside the record.
struct Peek {
    QString name = QStringLiteral("peek");
    QSqlDatabase db;
    explicit Peek(const QString &path)
    {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
    }
    ~Peek()
    {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    QVariant value(const QString &sql)
    {
        QSqlQuery q(db);
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
};

QString writerProgram()
{
    return QStringLiteral(LEARNING_WRITER);
}

} // namespace

class TestLearning : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // --- Items and their identity ---------------------------------------------------

    void itemsOfEachKindOfTopic_data()
    {
        QTest::addColumn<TopicDocument>("document");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QList<int>>("questions");
        QTest::newRow("map") << mapDocument(3)
                             << QStringList{"O|Ort 0|50,250", "O|Ort 1|350,417", "O|Ort 2|650,583"} << QList<int>{-1, -1, -1};
        // The second gap of the same word is an item of its own.
        QTest::newRow("cloze") << clozeDocument()
                               << QStringList{"L|Rhein|1", "L|Schweiz|1", "L|Mosel|1", "L|Rhein|2", "L|Main|1"}
                               << QList<int>{-1, -1, -1, -1, -1};
        QTest::newRow("questions") << questionsDocument()
                                   << QStringList{"F|Hauptstadt von Frankreich?|Paris", "F|Hauptstadt von Italien?|Rom",
                                                  "F|Hauptstadt von Polen?|Warschau", "F|Hauptstadt von Spanien?|Madrid"}
                                   << QList<int>{1, 2, 3, 4};
    }

    void itemsOfEachKindOfTopic()
    {
        QFETCH(TopicDocument, document);
        QFETCH(QStringList, keys);
        QFETCH(QList<int>, questions);
        const QList<LearningItem> items = learningItems(document);
        QStringList gotKeys;
        QList<int> gotQuestions;
        for (const LearningItem &item : items) {
            gotKeys << item.key;
            gotQuestions << item.question;
            QCOMPARE(learningItem(document, item.object), item);
        }
        QCOMPARE(gotKeys, keys);
        QCOMPARE(gotQuestions, questions);
    }

    // "Fällige üben": the due items of the record are found again in the loaded document,
    // as the objects that carry them (and for single questions their question numbers).
    void dueItemsMapOntoTheLoadedDocument_data()
    {
        QTest::addColumn<TopicDocument>("document");
        QTest::addColumn<QList<int>>("wrongItems"); // indexes into learningItems
        QTest::newRow("map") << mapDocument(6) << QList<int>{1, 4};
        QTest::newRow("cloze, the second Rhein") << clozeDocument() << QList<int>{3};
        QTest::newRow("questions") << questionsDocument() << QList<int>{0, 2};
    }

    void dueItemsMapOntoTheLoadedDocument()
    {
        QFETCH(TopicDocument, document);
        QFETCH(QList<int>, wrongItems);
        QTemporaryDir dir;
        document.fileName = dir.filePath(QStringLiteral("thema.tsr"));
        ScriptedMessages messages;
        QVERIFY(writeDocument(document.fileName, document, false, messages));
        FakeClock clock;
        clock.setNow(kFirstDay + 0.4);
        LearningRecord record(dir.filePath(QStringLiteral("lernstand.sqlite")), messages, clock);
        const auto topic = learningTopic(document);
        for (int i = 0; i < topic->items.size(); ++i)
            record.recordVerdict(topic, topic->items.at(i).object, !wrongItems.contains(i), true);
        // A fail comes back the next day, a pass three days later.
        const qint64 id = record.topicSummaries(kFirstDay).value(0).id;
        QCOMPARE(record.dueItemKeys(id, kFirstDay).size(), 0);
        const QSet<QString> due = record.dueItemKeys(id, kFirstDay + 1);
        QCOMPARE(due.size(), wrongItems.size());

        // The document as the quiz will have it: read from its file.
        TopicDocument loaded;
        TopicNavigation navigation;
        QCOMPARE(readDocument(document.fileName, loaded, navigation, messages), ReadResult::Ok);
        const PracticeSelection selection = practiceSelection(loaded, due);
        QList<int> objects;
        QList<int> questions;
        QStringList captions;
        for (int i : wrongItems) {
            const LearningItem &item = topic->items.at(i);
            objects << item.object;
            if (item.question >= 0)
                questions << item.question;
            captions << loaded.objects.at(item.object).Cap;
        }
        QCOMPARE(selection.objects, objects);
        QCOMPARE(selection.questions, questions);
        QStringList selected;
        for (int object : selection.objects)
            selected << loaded.objects.at(object).Cap;
        QCOMPARE(selected, captions);
        QCOMPARE(record.topicSummaries(kFirstDay + 1).value(0).due, int(wrongItems.size()));
        QCOMPARE(record.topicSummaries(kFirstDay + 3).value(0).due, int(topic->items.size()));
        // Everything due: every item of the document.
        QCOMPARE(practiceSelection(loaded, record.dueItemKeys(id, kFirstDay + 3)).objects.size(), topic->items.size());
    }

    // A moved file keeps its history; an edited one keeps that of the objects it did not
    // change, and a changed object starts afresh.
    void editedOrMovedTopicKeepsTheHistoryOfItsUnchangedItems()
    {
        QTemporaryDir dir;
        ScriptedMessages messages;
        FakeClock clock;
        clock.setNow(kFirstDay + 0.4);
        LearningRecord record(dir.filePath(QStringLiteral("lernstand.sqlite")), messages, clock);
        TopicDocument d = mapDocument(4, dir.filePath(QStringLiteral("a/fluesse.tsr")));
        auto play = [&](const TopicDocument &doc) {
            const auto topic = learningTopic(doc);
            for (const LearningItem &item : topic->items)
                record.recordVerdict(topic, item.object, true, true);
        };
        play(d);
        clock.setNow(kFirstDay + 3.4);
        // Moved to another folder: the same topic, the same items.
        d.fileName = dir.filePath(QStringLiteral("b/fluesse.tsr"));
        play(d);
        QCOMPARE(record.topicSummaries(kFirstDay + 3).size(), 1);
        QCOMPARE(record.topicSummaries(kFirstDay + 3).value(0).path, d.fileName);

        // Edited: one place renamed, one moved on the map, a new one added.
        d.objects[0].Cap = QStringLiteral("Ort null");
        d.objects[1].Sx = 0.9;
        DocObject added = d.objects.at(2);
        added.Cap = QStringLiteral("Ort neu");
        d.objects.insert(3, added);
        clock.setNow(kFirstDay + 10.4);
        const auto topic = learningTopic(d);
        record.recordVerdict(topic, 2, true, true); // unchanged: its third review

        const QList<TopicSummary> topics = record.topicSummaries(kFirstDay + 10);
        QCOMPARE(topics.size(), 1);
        QList<ItemSchedule> items = record.itemSchedules(topics.first().id);
        QHash<QString, ItemSchedule> byKey;
        for (const ItemSchedule &item : items)
            byKey.insert(item.key, item);
        QCOMPARE(byKey.value(QStringLiteral("O|Ort 2|500,583")).state.reps, 3); // kept and reviewed
        QCOMPARE(byKey.value(QStringLiteral("O|Ort 3|725,250")).state.reps, 2);  // kept
        QCOMPARE(byKey.value(QStringLiteral("O|Ort null|50,250")).state.reps, 0); // renamed: new
        QCOMPARE(byKey.value(QStringLiteral("O|Ort 1|900,417")).state.reps, 0);  // moved on the map: new
        QVERIFY(!byKey.value(QStringLiteral("O|Ort 1|275,417")).active);
        QCOMPARE(byKey.value(QStringLiteral("O|Ort neu|500,583")).state.reps, 0); // added: new
        // The old forms keep their history but leave the Lernkartei.
        QVERIFY(!byKey.value(QStringLiteral("O|Ort 0|50,250")).active);
        QCOMPARE(byKey.value(QStringLiteral("O|Ort 0|50,250")).state.reps, 2);
        QCOMPARE(topics.first().boxes[0], 3);
        QCOMPARE(topics.first().itemCount(), 5);
        QVERIFY(messages.shown().isEmpty());
    }

    // --- The schedule -----------------------------------------------------------------

    void compartmentsFollowTheInterval_data()
    {
        QTest::addColumn<int>("reps");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("box");
        QTest::newRow("never played") << 0 << 0 << 0;
        QTest::newRow("1 day") << 1 << 1 << 1;
        QTest::newRow("2 days") << 1 << 2 << 2;
        QTest::newRow("6 days") << 2 << 6 << 2;
        QTest::newRow("a week") << 3 << 7 << 3;
        QTest::newRow("13 days") << 3 << 13 << 3;
        QTest::newRow("a fortnight") << 4 << 14 << 4;
        QTest::newRow("59 days") << 5 << 59 << 4;
        QTest::newRow("60 days") << 5 << 60 << 5;
        QTest::newRow("a year") << 8 << 365 << 5;
    }

    void compartmentsFollowTheInterval()
    {
        QFETCH(int, reps);
        QFETCH(int, interval);
        QFETCH(int, box);
        FsrsState s;
        s.reps = reps;
        s.intervalDays = interval;
        QCOMPARE(leitnerBox(s), box);
    }

    // A few hundred generated histories give the reference's stability, difficulty,
    // interval and due day at every review.
    void scheduleAgreesWithTheReferenceImplementation()
    {
        QRandomGenerator random(27);
        QList<QList<Review>> histories;
        for (int h = 0; h < 300; ++h) {
            QList<Review> history;
            qint32 day = kFirstDay + random.bounded(400);
            const int length = 1 + random.bounded(30);
            for (int i = 0; i < length; ++i) {
                history.append({day, random.bounded(100) < 78});
                // Mostly near the due day, sometimes early (the same day), sometimes late.
                const int kind = random.bounded(10);
                day += kind == 0 ? 0 : kind < 7 ? 1 + random.bounded(20) : 20 + random.bounded(200);
            }
            histories.append(history);
        }
        const QList<QList<ReferenceState>> expected = reference(histories);
        QCOMPARE(expected.size(), histories.size());
        int reviews = 0;
        for (int h = 0; h < histories.size(); ++h) {
            FsrsState state;
            for (int i = 0; i < histories.at(h).size(); ++i) {
                state = fsrsReview(state, histories.at(h).at(i).day, histories.at(h).at(i).pass);
                const ReferenceState &r = expected.at(h).at(i);
                if (!same(state.stability, r.stability) || !same(state.difficulty, r.difficulty)
                    || state.intervalDays != r.interval || state.dueDay != r.due)
                    QFAIL(qPrintable(QStringLiteral("history %1, review %2: S %3/%4, D %5/%6, interval %7/%8, due %9/%10")
                                         .arg(h)
                                         .arg(i)
                                         .arg(state.stability, 0, 'g', 12)
                                         .arg(r.stability, 0, 'g', 12)
                                         .arg(state.difficulty, 0, 'g', 12)
                                         .arg(r.difficulty, 0, 'g', 12)
                                         .arg(state.intervalDays)
                                         .arg(r.interval)
                                         .arg(state.dueDay)
                                         .arg(r.due)));
                ++reviews;
            }
        }
        QVERIFY(reviews > 3000);
    }

    // 40 days of a pupil who plays the due places of a map every day (all of them on the
    // first day): the record's compartments and due counts each day are those of the
    // reference's schedule under the documented mapping; sure places climb the boxes, a
    // place answered wrong falls back to "Fach 1".
    void topicPlayedOverFortyDays()
    {
        QTemporaryDir dir;
        ScriptedMessages messages;
        FakeClock clock;
        LearningRecord record(dir.filePath(QStringLiteral("lernstand.sqlite")), messages, clock);
        const TopicDocument map = mapDocument(12, dir.filePath(QStringLiteral("karte.tsr")));
        const auto topic = learningTopic(map);
        const int n = int(topic->items.size());
        // Places 0..2 are hard for this pupil: wrong at the first try every third time.
        auto rightFirst = [](int item, int day) { return item >= 3 || (item + day) % 3 != 0; };

        QList<QList<Review>> histories(n);
        QList<TopicSummary> seen;
        qint64 id = 0;
        for (int d = 0; d < 40; ++d) {
            const qint32 today = kFirstDay + d;
            clock.setNow(today + 0.4);
            const QSet<QString> due = d == 0 ? QSet<QString>() : record.dueItemKeys(id, today);
            const PracticeSelection asked = d == 0 ? practiceSelection(map, [&] {
                QSet<QString> all;
                for (const LearningItem &item : topic->items)
                    all.insert(item.key);
                return all;
            }()) : practiceSelection(map, due);
            for (int object : asked.objects) {
                const int item = topic->itemOfObject.value(object);
                const bool right = rightFirst(item, d);
                record.recordVerdict(topic, object, right, true);
                if (!right)
                    record.recordVerdict(topic, object, true, false); // the second try, no review
                histories[item].append({today, right});
            }
            const QList<TopicSummary> summaries = record.topicSummaries(today);
            QCOMPARE(summaries.size(), 1);
            id = summaries.first().id;
            seen.append(summaries.first());
        }
        QVERIFY(messages.shown().isEmpty());

        const QList<QList<ReferenceState>> expected = reference(histories);
        QCOMPARE(expected.size(), n);
        // Each day's compartments and due items, from the reference's states.
        QList<int> boxSequenceOfSurePlace;
        QList<int> boxSequenceOfHardPlace;
        QList<ProgressDay> expectedProgress;
        for (int d = 0; d < 40; ++d) {
            const qint32 today = kFirstDay + d;
            int boxes[kBoxCount + 1] = {};
            int due = 0;
            int secure = 0;
            for (int item = 0; item < n; ++item) {
                int last = -1;
                for (int i = 0; i < histories.at(item).size(); ++i)
                    if (histories.at(item).at(i).day <= today)
                        last = i;
                FsrsState s;
                if (last >= 0) {
                    s.reps = last + 1;
                    s.intervalDays = expected.at(item).at(last).interval;
                    s.dueDay = expected.at(item).at(last).due;
                }
                ++boxes[leitnerBox(s)];
                due += fsrsDue(s, today) ? 1 : 0;
                secure += leitnerBox(s) >= 4 ? 1 : 0;
                if (item == 5 && (boxSequenceOfSurePlace.isEmpty() || boxSequenceOfSurePlace.last() != leitnerBox(s)))
                    boxSequenceOfSurePlace << leitnerBox(s);
                if (item == 0 && (boxSequenceOfHardPlace.isEmpty() || boxSequenceOfHardPlace.last() != leitnerBox(s)))
                    boxSequenceOfHardPlace << leitnerBox(s);
            }
            for (int b = 0; b <= kBoxCount; ++b)
                QVERIFY2(seen.at(d).boxes[b] == boxes[b], qPrintable(QStringLiteral("day %1, %2").arg(d).arg(b)));
            QCOMPARE(seen.at(d).due, due);
            expectedProgress.append({today, secure, due});
        }
        // The chart's figures are the same days replayed.
        QCOMPARE(record.progress(id, kFirstDay + 39), expectedProgress);
        // A sure place climbs: three days ("Fach 2"), then a fortnight and more ("Fach 4").
        QCOMPARE(boxSequenceOfSurePlace, (QList<int>{2, 4}));
        // A hard place goes up and falls back to "Fach 1" with each slip.
        QVERIFY(boxSequenceOfHardPlace.count(1) >= 2);
        QVERIFY(*std::max_element(boxSequenceOfHardPlace.begin(), boxSequenceOfHardPlace.end()) >= 3);
        // A hard place answered wrong is in "Fach 1" afterwards.
        for (const ItemSchedule &item : record.itemSchedules(id)) {
            const int index = int(std::find_if(topic->items.cbegin(), topic->items.cend(),
                                               [&](const LearningItem &i) { return i.key == item.key; })
                                  - topic->items.cbegin());
            const ReferenceState &r = expected.at(index).last();
            QVERIFY(same(item.state.stability, r.stability));
            QVERIFY(same(item.state.difficulty, r.difficulty));
            QCOMPARE(item.state.dueDay, r.due);
            if (!histories.at(index).last().pass)
                QCOMPARE(leitnerBox(item.state), 1);
        }
        // The second tries were kept as answers, but are no reviews.
        Peek peek(record.path());
        QVERIFY(peek.value(QStringLiteral("SELECT COUNT(*) FROM answers WHERE first_try = 0")).toInt() > 0);
    }

    // --- The file -----------------------------------------------------------------------

    // Nothing is opened until an answer comes; the answer goes to the log at once, the
    // record takes it with the quiz's end. Every file is the pupil's alone.
    void filesArePrivateWithWriteAheadLog()
    {
        QTemporaryDir dir;
        ScriptedMessages messages;
        FakeClock clock;
        const QString path = dir.filePath(QStringLiteral("neu/lernstand.sqlite"));
        auto mode = [](const QString &file) {
            struct stat info;
            return ::stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_mode & 0777 : 0u;
        };
        {
            LearningRecord record(path, messages, clock);
            QVERIFY(!QFileInfo::exists(path));
            record.recordVerdict(mapDocument(2), 0, true, true);
            const QString log = path + QStringLiteral("-antworten-") + QString::number(QCoreApplication::applicationPid());
            QCOMPARE(mode(log), 0600u);
            QVERIFY(readFile(log).startsWith("T "));
            QVERIFY(!QFileInfo::exists(path));
            QVERIFY(record.flush());
            QCOMPARE(readFile(log).at(0), '\0'); // empty: the record has it
            for (const QString &file : QStringList{path, path + QStringLiteral("-wal")})
                QCOMPARE(mode(file), 0600u);
            QCOMPARE(record.schemaVersion(), 2);
            Peek peek(path);
            QCOMPARE(peek.value(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
            QCOMPARE(peek.value(QStringLiteral("PRAGMA user_version")).toInt(), 2);
            QCOMPARE(peek.value(QStringLiteral("SELECT COUNT(*) FROM answers")).toInt(), 1);
        }
        QCOMPARE(QDir(dir.filePath(QStringLiteral("neu"))).entryList(QDir::Files).filter(QStringLiteral("antworten")),
                 QStringList());
        QCoreApplication::setOrganizationName(QStringLiteral("Ostrabel"));
        QCoreApplication::setApplicationName(QStringLiteral("Kapitolo"));
        QVERIFY2(LearningRecord::defaultPath().endsWith(QStringLiteral("/share/Ostrabel/Kapitolo/lernstand.sqlite")),
                 qPrintable(LearningRecord::defaultPath()));
    }

    // A file of the first version (answers only) gets the schedules its answers give.
    void migratesAFileOfVersionOne()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lernstand.sqlite"));
        {
            Peek old(path);
            QSqlQuery q(old.db);
            for (const char *sql : {
                     "CREATE TABLE topics(id INTEGER PRIMARY KEY, path TEXT NOT NULL, title TEXT NOT NULL, "
                     "content_hash TEXT NOT NULL, doc_type INTEGER NOT NULL, first_seen REAL NOT NULL, last_practised REAL)",
                     "CREATE TABLE items(id INTEGER PRIMARY KEY, topic_id INTEGER NOT NULL REFERENCES topics(id), "
                     "item_key TEXT NOT NULL, type INTEGER NOT NULL, caption TEXT NOT NULL, question TEXT NOT NULL, "
                     "active INTEGER NOT NULL DEFAULT 1, UNIQUE(topic_id, item_key))",
                     "CREATE TABLE answers(id INTEGER PRIMARY KEY, at REAL NOT NULL, item_id INTEGER NOT NULL "
                     "REFERENCES items(id), correct INTEGER NOT NULL, first_try INTEGER NOT NULL)",
                     "CREATE INDEX answers_of_item ON answers(item_id, at)",
                     "CREATE INDEX topics_by_hash ON topics(content_hash)",
                     "INSERT INTO topics VALUES(1, '/themen/fluesse.tsr', 'Flüsse', 'abc', 0, 45000.3, 45004.5)",
                     "INSERT INTO items VALUES(1, 1, 'O|Rhein|100,200', 0, 'Rhein', '', 1)",
                     "INSERT INTO items VALUES(2, 1, 'O|Main|300,200', 0, 'Main', '', 1)",
                     "INSERT INTO items VALUES(3, 1, 'O|Elbe|500,200', 0, 'Elbe', '', 1)",
                     "INSERT INTO answers VALUES(1, 45000.3, 1, 1, 1)",
                     "INSERT INTO answers VALUES(2, 45000.31, 2, 0, 1)",
                     "INSERT INTO answers VALUES(3, 45000.32, 2, 1, 0)",
                     "INSERT INTO answers VALUES(4, 45001.4, 2, 1, 1)",
                     "INSERT INTO answers VALUES(5, 45004.5, 1, 1, 1)",
                     "PRAGMA user_version = 1"})
                QVERIFY2(q.exec(QString::fromUtf8(sql)), sql);
        }
        ScriptedMessages messages;
        FakeClock clock;
        clock.setNow(45005.5);
        LearningRecord record(path, messages, clock);
        const QList<TopicSummary> topics = record.topicSummaries(45005);
        QCOMPARE(record.schemaVersion(), 2);
        QCOMPARE(topics.size(), 1);
        QCOMPARE(topics.first().title, QStringLiteral("Flüsse"));
        const FsrsState rhein = fsrsReview(fsrsReview({}, 45000, true), 45004, true);
        const FsrsState main = fsrsReview(fsrsReview({}, 45000, false), 45001, true);
        const QList<ItemSchedule> items = record.itemSchedules(topics.first().id);
        QCOMPARE(items.size(), 3);
        QCOMPARE(items.at(0).state, rhein);
        QCOMPARE(items.at(1).state, main);
        QCOMPARE(items.at(2).state, FsrsState());
        QCOMPARE(topics.first().boxes[0], 1);
        QCOMPARE(topics.first().due, int(fsrsDue(rhein, 45005)) + int(fsrsDue(main, 45005)));
        QVERIFY(messages.shown().isEmpty());
    }

    // Another program holds the file: the answer waits, the pupil is told once, and a
    // retry in the background writes it once the file is free.
    void fileHeldByAnotherProgram()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lernstand.sqlite"));
        ScriptedMessages messages;
        FakeClock clock;
        clock.setNow(kFirstDay + 0.5);
        LearningRecord record(path, messages, clock);
        QVERIFY(record.open());
        record.setBusyTimeout(50);
        QProcess holder;
        holder.start(writerProgram(), {QStringLiteral("lock"), path});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("locked"));

        const TopicDocument map = mapDocument(3);
        record.recordVerdict(map, 0, true, true);
        record.recordVerdict(map, 1, false, true);
        QVERIFY(messages.shown().isEmpty());
        QVERIFY(!record.flush()); // the end of the quiz
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("Der Lernstand kann gerade nicht gespeichert werden: Ein anderes Programm hält "
                                            "die Datei \"")
                             + path + QStringLiteral("\" gesperrt. Kapitolo versucht es im Hintergrund weiter.")
                             + kNotAffected});
        QCOMPARE(record.pendingCount(), 2);
        QVERIFY(record.retryScheduled());
        record.recordVerdict(map, 2, true, true);
        QCOMPARE(record.pendingCount(), 3);
        QVERIFY(!record.retryPending()); // still held: nobody waits, nothing told again
        QCOMPARE(messages.shown().size(), 1);

        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        QVERIFY(record.retryPending());
        QCOMPARE(record.pendingCount(), 0);
        QCOMPARE(Peek(path).value(QStringLiteral("SELECT COUNT(*) FROM answers")).toInt(), 3);
        QCOMPARE(record.topicSummaries(kFirstDay + 1).value(0).due, 1);
        QCOMPARE(messages.shown().size(), 1);
    }

    void damagedFileIsPutAside_data()
    {
        QTest::addColumn<bool>("pagesOnly");
        QTest::newRow("no database at all") << false;
        QTest::newRow("pages overwritten") << true;
    }

    void damagedFileIsPutAside()
    {
        QFETCH(bool, pagesOnly);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lernstand.sqlite"));
        ScriptedMessages messages;
        FakeClock clock;
        clock.setNow(toDayNumber(QDateTime(QDate(2025, 3, 14), QTime(10, 0))));
        const TopicDocument map = mapDocument(30);
        if (pagesOnly) {
            LearningRecord earlier(path, messages, clock);
            const auto topic = learningTopic(map);
            for (const LearningItem &item : topic->items)
                earlier.recordVerdict(topic, item.object, true, true);
        }
        QFile file(path);
        QVERIFY(file.open(pagesOnly ? QIODevice::ReadWrite : QIODevice::WriteOnly));
        const qint64 size = pagesOnly ? file.size() : 12000;
        QVERIFY(size > 8192);
        file.seek(pagesOnly ? 4096 : 0);
        file.write(QByteArray(int(size - file.pos()), '\xA5'));
        file.close();
        const QByteArray damaged = readFile(path);

        LearningRecord record(path, messages, clock);
        record.recordVerdict(map, 3, true, true);
        QVERIFY(record.flush());
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("Die Datei des Lernstands \"") + path
                             + QStringLiteral("\" war beschädigt. Sie liegt jetzt als \"lernstand.sqlite.defekt-2025-03-14\" "
                                              "daneben, und ein neuer Lernstand wurde begonnen.")
                             + kNotAffected});
        QCOMPARE(readFile(path + QStringLiteral(".defekt-2025-03-14")), damaged);
        QCOMPARE(record.pendingCount(), 0);
        Peek peek(path);
        QCOMPARE(peek.value(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        QCOMPARE(peek.value(QStringLiteral("SELECT COUNT(*) FROM answers")).toInt(), 1);
    }

    // The disk is full: answers wait and are written once there is room again.
    void fullDisk()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lernstand.sqlite"));
        ScriptedMessages messages;
        FakeClock clock;
        clock.setNow(kFirstDay + 0.5);
        LearningRecord record(path, messages, clock);
        const auto topic = learningTopic(mapDocument(40));
        record.recordVerdict(topic, 0, true, true);
        QVERIFY(record.flush());
        const int pages = Peek(path).value(QStringLiteral("PRAGMA page_count")).toInt();
        record.setPageLimit(pages + 1);
        int recorded = 1;
        while (record.pendingCount() == 0 && recorded < 5000) {
            record.recordVerdict(topic, recorded % 40, recorded % 4 != 0, true);
            ++recorded;
            record.flush();
        }
        QVERIFY(record.pendingCount() > 0);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Der Lernstand kann nicht gespeichert werden: Auf dem "
                                                              "Datenträger der Datei \"")
                                               + path
                                               + QStringLiteral("\" ist kein Platz mehr frei. Kapitolo versucht es "
                                                                "später noch einmal.")
                                               + kNotAffected});
        QVERIFY(record.retryScheduled());
        for (int i = 0; i < 5; ++i, ++recorded)
            record.recordVerdict(topic, i, true, false);
        QCOMPARE(messages.shown().size(), 1);
        record.setPageLimit(0);
        QVERIFY(record.retryPending());
        QCOMPARE(Peek(path).value(QStringLiteral("SELECT COUNT(*) FROM answers")).toInt(), recorded);
    }

    // Killed while it records answer after answer (and writes them into the record every
    // 37), a program leaves a file that opens, and the next program takes over every answer
    // it had recorded, also those only in its log.
    void killedInTheMiddleOfAWrite()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lernstand.sqlite"));
        QProcess writer;
        writer.start(writerProgram(), {QStringLiteral("write"), path});
        int recorded = 0;
        while (recorded < 400 && writer.waitForReadyRead(10000))
            while (writer.canReadLine()) {
                const QByteArray line = writer.readLine().trimmed();
                if (line.startsWith("ok "))
                    recorded = line.mid(3).toInt();
            }
        QVERIFY(recorded >= 400);
        writer.kill(); // SIGKILL, in the middle of the next answers
        QVERIFY(writer.waitForFinished(10000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
        for (const QByteArray &line : writer.readAllStandardOutput().split('\n'))
            if (line.startsWith("ok "))
                recorded = line.mid(3).toInt();

        int written = 0;
        {
            Peek peek(path);
            QCOMPARE(peek.value(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
            written = peek.value(QStringLiteral("SELECT COUNT(*) FROM answers")).toInt();
        }
        QVERIFY2(written >= recorded - 37 && written <= recorded + 1,
                 qPrintable(QStringLiteral("%1 written of %2").arg(written).arg(recorded)));

        // The next program opens it and takes the rest over from the log.
        ScriptedMessages messages;
        FakeClock clock;
        {
            LearningRecord record(path, messages, clock);
            QCOMPARE(record.topicSummaries(kFirstDay).size(), 1);
        }
        QVERIFY(messages.shown().isEmpty());
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*antworten*")}, QDir::Files), QStringList());
        Peek peek(path);
        QSqlQuery q(peek.db);
        QVERIFY(q.exec(QStringLiteral("SELECT correct, first_try FROM answers ORDER BY id")));
        int n = 0;
        while (q.next()) {
            ++n;
            QCOMPARE(q.value(0).toBool(), n % 3 != 0);
            QCOMPARE(q.value(1).toBool(), n % 2 == 1);
        }
        QVERIFY2(n >= recorded && n <= recorded + 1, qPrintable(QStringLiteral("%1 of %2").arg(n).arg(recorded)));
    }

    // --- The tool -------------------------------------------------------------------------

    void toolPrintsTheRecordAsJsonLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lernstand.sqlite"));
        {
            ScriptedMessages messages;
            FakeClock clock;
            clock.setNow(kFirstDay + 0.5);
            LearningRecord record(path, messages, clock);
            const TopicDocument questions = questionsDocument();
            const auto topic = learningTopic(questions);
            record.recordVerdict(topic, topic->items.at(0).object, true, true);
            record.recordVerdict(topic, topic->items.at(1).object, false, true);
            record.recordVerdict(topic, topic->items.at(1).object, true, false);
        }
        QProcess tool;
        tool.start(qEnvironmentVariable("KAPITOLO_TOOL"), {QStringLiteral("lernstand"), path});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        QList<QJsonObject> lines;
        for (const QByteArray &line : tool.readAllStandardOutput().split('\n'))
            if (!line.isEmpty())
                lines << QJsonDocument::fromJson(line).object();
        QStringList kinds;
        for (const QJsonObject &o : lines)
            kinds << o.value(QStringLiteral("art")).toString();
        QCOMPARE(kinds, QStringList({"thema", "aufgabe", "aufgabe", "aufgabe", "aufgabe", "antwort", "antwort", "antwort"}));
        QCOMPARE(lines.at(0).value(QStringLiteral("titel")).toString(), QStringLiteral("Hauptstädte"));
        QCOMPARE(lines.at(1).value(QStringLiteral("frage")).toString(), QStringLiteral("Hauptstadt von Frankreich?"));
        QCOMPARE(lines.at(1).value(QStringLiteral("text")).toString(), QStringLiteral("Paris"));
        QCOMPARE(lines.at(1).value(QStringLiteral("fach")).toString(), QStringLiteral("Fach 2"));
        QCOMPARE(lines.at(1).value(QStringLiteral("faelligAm")).toString(), QStringLiteral("2023-03-18"));
        QCOMPARE(lines.at(2).value(QStringLiteral("fach")).toString(), QStringLiteral("Fach 1"));
        QCOMPARE(lines.at(3).value(QStringLiteral("fach")).toString(), QStringLiteral("neu"));
        QCOMPARE(lines.at(6).value(QStringLiteral("richtig")).toBool(), false);
        QCOMPARE(lines.at(7).value(QStringLiteral("ersterVersuch")).toBool(), false);
        QCOMPARE(lines.at(5).value(QStringLiteral("zeit")).toString(), QStringLiteral("2023-03-15T12:00:01"));

        QProcess missing;
        missing.start(qEnvironmentVariable("KAPITOLO_TOOL"), {QStringLiteral("lernstand"), dir.filePath(QStringLiteral("x"))});
        QVERIFY(missing.waitForFinished(30000));
        QCOMPARE(missing.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(missing.readAllStandardError()).trimmed(),
                 QStringLiteral("Die Datei \"") + dir.filePath(QStringLiteral("x")) + QStringLiteral("\" existiert nicht."));
    }
};

QTEST_GUILESS_MAIN(TestLearning)
#include "tst_learning.moc"
