#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>

namespace kapitolo {

struct TopicDocument;

// How the learning record knows a topic: by its file and title, and by a hash of its
// objects, so that a moved file keeps its history (same hash) and an edited one too
// (same path), while a changed object becomes a new item.
struct TopicIdentity {
    QString path;        // absolute
    QString title;
    QString contentHash; // hex SHA-1 of the objects (type, caption, position, question number)
    qint32 docType = 0;
};
TopicIdentity topicIdentity(const TopicDocument &document);

// One place, gap or single question of a topic: what a quiz asks and the learning record
// schedules. The key stays the same as long as the object does:
//   place     "O|" caption "|" position (thousandths of the card)
//   gap       "L|" caption "|" the how-many-th gap of that word
//   question  "F|" question text "|" answer
struct LearningItem {
    int object = -1;   // index in the document's object list
    int question = -1; // the question's number (single questions), else -1
    QString key;
    qint32 type = 0;   // the object's Typ
    QString caption;   // the answer, blanks and line breaks made single blanks
    QString questionText;

    bool operator==(const LearningItem &) const = default;
};

// The items of the document in object order: places (otLabel) of a picture, gaps of a
// cloze text, the answers of single questions: what its quiz can ask.
QList<LearningItem> learningItems(const TopicDocument &document);

// The item of one object; an empty key when the object is none.
LearningItem learningItem(const TopicDocument &document, int object);

// A topic as a quiz runs on it: its identity and items, taken once at the quiz's start so
// that an answer costs no hashing of the document.
struct LearningTopic {
    TopicIdentity identity;
    QList<LearningItem> items;
    QHash<int, int> itemOfObject; // object index -> index in items

    // The item of an object; nullptr when the object is none.
    const LearningItem *itemFor(int object) const;
};
std::shared_ptr<const LearningTopic> learningTopic(const TopicDocument &document);

// What a quiz over part of a topic asks, in the loaded document: the objects of the
// items (places and gaps; for single questions their answers) and, for single questions,
// the question numbers. Keys the document no longer has are left out.
struct PracticeSelection {
    QList<int> objects;   // ascending
    QList<int> questions; // ascending; single questions only
    bool isEmpty() const { return objects.isEmpty(); }
    bool operator==(const PracticeSelection &) const = default;
};
PracticeSelection practiceSelection(const TopicDocument &document, const QSet<QString> &itemKeys);

// "Fällige üben" (only the due items) or "Alles üben" (the whole topic) of the Lernkartei.
// Whoever starts the quiz opens topicPath and asks practiceSelection(document, itemKeys)
// of it; with dueOnly false the whole topic is asked.
struct PracticeRequest {
    QString topicPath;
    QString title;
    bool dueOnly = false;
    QSet<QString> itemKeys; // the due items (dueOnly)
    bool operator==(const PracticeRequest &) const = default;
};

} // namespace kapitolo
