#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace kapitolo {

struct TopicDocument;

// What the class did with one place, gap or single question (its answer object).
struct ItemFigures {
    int object = -1;        // index in the document's object list, as in TN-AKTION
    int answeredBy = 0;     // keys with at least one answer on it
    int rightFirst = 0;     // keys whose first answer on it was right
    int solved = 0;         // keys with a right answer on it
    int failedAttempts = 0; // all wrong answers on it
    // Right at the first try per key that answered, in percent.
    double rate() const { return answeredBy == 0 ? 0.0 : 100.0 * rightFirst / answeredBy; }

    bool operator==(const ItemFigures &) const = default;
};

// The item analysis of an exercise, from the reports the control display accepts. An
// answer was right when the key's correct count grew against its previous report, and
// wrong when its failed count grew: this holds when the verdict is withheld too, where
// the cover state tells nothing. Only announced keys count, and only while their quiz
// runs (the control display passes nothing else on).
class ItemAnalysis
{
public:
    void reset();
    void announce(const QString &key);
    // True when the answer changed the figures of hitObject.
    bool action(const QString &key, int hitObject, int correctCount, int failedCount);
    // Everything the key added, taken out again (the teacher removed the pupil).
    void remove(const QString &key);

    // Hardest first: the lowest rate at the first try, then the most failed attempts,
    // then document order.
    QList<ItemFigures> rows() const;
    // The order of rows(): whether a comes before b.
    static bool harder(const ItemFigures &a, const ItemFigures &b);
    ItemFigures figures(int object) const { return m_items.value(object, ItemFigures{object}); }
    int itemCount() const { return int(m_items.size()); }
    // Object -> rate at the first try, for the marks on the card.
    QHash<int, double> rates() const;

private:
    struct Answered {
        bool firstRight = false;
        bool solved = false;
        int failed = 0;
    };
    struct KeyState {
        int correct = 0;
        int failed = 0;
        QHash<int, Answered> objects;
    };
    QHash<QString, KeyState> m_keys;
    QHash<int, ItemFigures> m_items;
};

// The text of an item: the cleaned caption; for a single question the question text,
// " – " and the answer.
QString itemTaskText(const TopicDocument &document, int object);

// The rate as the tables show it: one decimal, decimal comma.
QString rateText(double percent);

// "Netzwerk-Uebung-…-Aufgaben.csv" beside the results file of the same name.
QString itemResultsFileName(const QString &resultsFileName);

// The table of the items in the order of rows(): UTF-8 with a byte-order mark, semicolons,
// decimal comma, one decimal for the rate.
QByteArray itemAnalysisCsv(const ItemAnalysis &analysis, const TopicDocument &document);

} // namespace kapitolo
