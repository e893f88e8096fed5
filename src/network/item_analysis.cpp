#include "network/item_analysis.h"

#include "document/topic_document.h"
#include "network/control_board.h"
#include "quiz/quiz_engine.h"
#include "quiz/quiz_types.h"

#include <algorithm>

namespace kapitolo {

void ItemAnalysis::reset()
{
    m_keys.clear();
    m_items.clear();
}

void ItemAnalysis::announce(const QString &key)
{
    m_keys.insert(key, KeyState());
}

bool ItemAnalysis::action(const QString &key, int hitObject, int correctCount, int failedCount)
{
    const auto found = m_keys.find(key);
    if (found == m_keys.end() || hitObject < 0)
        return false;
    KeyState &k = *found;
    // The counts only grow during a quiz: a report with smaller ones overtook a newer
    // one on the way, and one with the same counts is a copy.
    const int right = correctCount - k.correct;
    const int wrong = failedCount - k.failed;
    k.correct = std::max(k.correct, correctCount);
    k.failed = std::max(k.failed, failedCount);
    if (right <= 0 && wrong <= 0)
        return false;
    ItemFigures &item = m_items[hitObject];
    item.object = hitObject;
    const bool first = !k.objects.contains(hitObject);
    Answered &answered = k.objects[hitObject];
    if (first) {
        ++item.answeredBy;
        answered.firstRight = right > 0;
        item.rightFirst += right > 0 ? 1 : 0;
    }
    if (right > 0 && !answered.solved) {
        answered.solved = true;
        ++item.solved;
    }
    if (wrong > 0) {
        item.failedAttempts += wrong;
        answered.failed += wrong;
    }
    return true;
}

void ItemAnalysis::remove(const QString &key)
{
    const auto found = m_keys.constFind(key);
    if (found == m_keys.constEnd())
        return;
    for (auto it = found->objects.cbegin(); it != found->objects.cend(); ++it) {
        const auto item = m_items.find(it.key());
        if (item == m_items.end())
            continue;
        --item->answeredBy;
        item->rightFirst -= it->firstRight ? 1 : 0;
        item->solved -= it->solved ? 1 : 0;
        item->failedAttempts -= it->failed;
        if (item->answeredBy <= 0)
            m_items.erase(item);
    }
    m_keys.remove(key);
}

bool ItemAnalysis::harder(const ItemFigures &a, const ItemFigures &b)
{
    // Compared as fractions, so that equal rates are equal whatever their counts.
    const qint64 left = qint64(a.rightFirst) * b.answeredBy;
    const qint64 right = qint64(b.rightFirst) * a.answeredBy;
    if (left != right)
        return left < right;
    if (a.failedAttempts != b.failedAttempts)
        return a.failedAttempts > b.failedAttempts;
    return a.object < b.object;
}

QList<ItemFigures> ItemAnalysis::rows() const
{
    QList<ItemFigures> rows = m_items.values();
    std::sort(rows.begin(), rows.end(), &ItemAnalysis::harder);
    return rows;
}

QHash<int, double> ItemAnalysis::rates() const
{
    QHash<int, double> rates;
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it)
        rates.insert(it.key(), it->rate());
    return rates;
}

QString itemTaskText(const TopicDocument &document, int object)
{
    if (object < 0 || object >= document.objects.size())
        return QString();
    const DocObject &o = document.objects.at(object);
    if (o.Typ != otAnswer)
        return CleanCaption(o.Cap);
    // The question of the answer: the last question object of its number.
    QString question;
    for (const DocObject &q : document.objects)
        if (q.Typ == otQuestion && q.FrageNummer == o.FrageNummer)
            question = CleanCaption(q.Cap);
    return question + QStringLiteral(" – ") + CleanCaption(o.Cap);
}

QString rateText(double percent)
{
    // Written as the rates of the pupils' rows are: one decimal, then a comma.
    QString rate = percentNumber(percent / 100.0);
    rate.replace(QLatin1Char('.'), QLatin1Char(','));
    return rate;
}

QString itemResultsFileName(const QString &resultsFileName)
{
    const QString stem = resultsFileName.endsWith(QLatin1String(".csv")) ? resultsFileName.chopped(4) : resultsFileName;
    return stem + QStringLiteral("-Aufgaben.csv");
}

QByteArray itemAnalysisCsv(const ItemAnalysis &analysis, const TopicDocument &document)
{
    QString text = QStringLiteral("Objekt;Aufgabe;Beantwortet;Richtig beim ersten Versuch;Gelöst;Fehlversuche;"
                                  "Quote beim ersten Versuch (%)\r\n");
    for (const ItemFigures &f : analysis.rows()) {
        text += QStringList{QString::number(f.object), csvCell(itemTaskText(document, f.object)),
                            QString::number(f.answeredBy), QString::number(f.rightFirst), QString::number(f.solved),
                            QString::number(f.failedAttempts), rateText(f.rate())}
                    .join(QLatin1Char(';'))
            + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace kapitolo
