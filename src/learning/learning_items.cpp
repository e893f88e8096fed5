#include "learning/learning_items.h"

#include "document/topic_document.h"
#include "platform/nearest.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace kapitolo {

namespace {

// Thousandths of the card: a place moved by less than that is the same place.
int thousandths(double fraction)
{
    return nearest(fraction * 1000);
}

QString plain(const QString &caption)
{
    return caption.simplified();
}

bool isItemObject(const TopicDocument &document, const DocObject &o)
{
    if (document.DokTyp == dtSingleQuestions)
        return o.Typ == otAnswer;
    return o.Typ == otLabel || o.Typ == otGap;
}

// The question text of an answer: the last question object of its number (the first
// is the heading "Frage:").
QHash<qint32, QString> questionTexts(const TopicDocument &document)
{
    QHash<qint32, QString> texts;
    for (const DocObject &o : document.objects)
        if (o.Typ == otQuestion)
            texts.insert(o.FrageNummer, plain(o.Cap));
    return texts;
}

} // namespace

TopicIdentity topicIdentity(const TopicDocument &document)
{
    TopicIdentity identity;
    identity.path = document.fileName.isEmpty() ? QString() : QFileInfo(document.fileName).absoluteFilePath();
    identity.title = document.titel;
    identity.docType = document.DokTyp;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArray::number(document.DokTyp));
    for (const DocObject &o : document.objects) {
        const QByteArray part = QByteArray::number(o.Typ) + '\x1f' + o.Cap.toUtf8() + '\x1f'
            + QByteArray::number(thousandths(o.Sx)) + '\x1f' + QByteArray::number(thousandths(o.Sy)) + '\x1f'
            + QByteArray::number(o.FrageNummer) + '\x1e';
        hash.addData(part);
    }
    identity.contentHash = QString::fromLatin1(hash.result().toHex());
    return identity;
}

QList<LearningItem> learningItems(const TopicDocument &document)
{
    QList<LearningItem> items;
    const QHash<qint32, QString> questions =
        document.DokTyp == dtSingleQuestions ? questionTexts(document) : QHash<qint32, QString>();
    QHash<QString, int> gapsOfWord;
    for (int i = 0; i < document.objects.size(); ++i) {
        const DocObject &o = document.objects.at(i);
        if (!isItemObject(document, o))
            continue;
        LearningItem item;
        item.object = i;
        item.type = o.Typ;
        item.caption = plain(o.Cap);
        if (o.Typ == otAnswer) {
            item.question = o.FrageNummer;
            item.questionText = questions.value(o.FrageNummer);
            item.key = QStringLiteral("F|") + item.questionText + QLatin1Char('|') + item.caption;
        } else if (o.Typ == otGap) {
            // The same word may fill several gaps; the text order tells them apart without
            // tying them to the gaps of other words.
            const int n = ++gapsOfWord[item.caption];
            item.key = QStringLiteral("L|") + item.caption + QLatin1Char('|') + QString::number(n);
        } else {
            item.key = QStringLiteral("O|") + item.caption + QLatin1Char('|') + QString::number(thousandths(o.Sx))
                + QLatin1Char(',') + QString::number(thousandths(o.Sy));
        }
        items.append(item);
    }
    return items;
}

LearningItem learningItem(const TopicDocument &document, int object)
{
    if (object < 0 || object >= document.objects.size() || !isItemObject(document, document.objects.at(object)))
        return {};
    // A gap's key counts the gaps of its word before it: the whole list is the simple way.
    for (const LearningItem &item : learningItems(document))
        if (item.object == object)
            return item;
    return {};
}

const LearningItem *LearningTopic::itemFor(int object) const
{
    const auto it = itemOfObject.constFind(object);
    return it == itemOfObject.constEnd() ? nullptr : &items.at(*it);
}

std::shared_ptr<const LearningTopic> learningTopic(const TopicDocument &document)
{
    auto topic = std::make_shared<LearningTopic>();
    topic->identity = topicIdentity(document);
    topic->items = learningItems(document);
    for (int i = 0; i < topic->items.size(); ++i)
        topic->itemOfObject.insert(topic->items.at(i).object, i);
    return topic;
}

PracticeSelection practiceSelection(const TopicDocument &document, const QSet<QString> &itemKeys)
{
    PracticeSelection selection;
    for (const LearningItem &item : learningItems(document)) {
        if (!itemKeys.contains(item.key))
            continue;
        selection.objects.append(item.object);
        if (item.question >= 0 && !selection.questions.contains(item.question))
            selection.questions.append(item.question);
    }
    std::sort(selection.questions.begin(), selection.questions.end());
    return selection;
}

} // namespace kapitolo
