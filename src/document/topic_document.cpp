#include "document/topic_document.h"

#include "platform/random.h"

#include <QPainter>

namespace kapitolo {

ObjectMark markOf(const ObjectMarks &marks, qsizetype index)
{
    return index >= 0 && index < marks.size() ? marks.at(index) : ObjectMark();
}

ObjectMark &markAt(ObjectMarks &marks, qsizetype index)
{
    Q_ASSERT(index >= 0);
    if (index >= marks.size())
        marks.resize(index + 1);
    return marks[index];
}

TopicDocument::TopicDocument()
    : baseImage(startBaseImage())
{
}

void TopicDocument::reset(TopicNavigation &navigation)
{
    if (!fileName.isEmpty())
        navigation.previousDocument = fileName;
    fileName.clear();
    vers = QStringLiteral("1.00");
    titel.clear();
    autor.clear();
    bemerkung.clear();
    lueckentext.clear();
    fragentext.clear();
    AnzFrageNummern = 0;
    DokTyp = dtImageLabelling;
    RandErw = RectD{};
    NumArt = 0;
    GeordnetArt = 0;
    navigation.currentTopicIndex = -1;
    currentQuestion = 0;
}

void TopicDocument::close(TopicNavigation &navigation)
{
    baseImage = startBaseImage();
    objects.clear();
    reset(navigation);
}

QString displayNumberText(qint32 displayNo, qint32 numArt)
{
    if (displayNo <= 0)
        return QStringLiteral("?");
    if (numArt == 1) {
        const qint32 n = displayNo - 1;
        return QChar(u'A' + n % 26) + QString(n / 26, QLatin1Char('\''));
    }
    return QString::number(displayNo);
}

QString TopicDocument::displayNumberText(qint32 displayNo) const
{
    return kapitolo::displayNumberText(displayNo, NumArt);
}

void TopicDocument::navigateQuestion(qint32 buttonType, Random &random)
{
    const qint32 n = AnzFrageNummern;
    if (n < 1)
        return;
    switch (buttonType) {
    case otPrevQuestion:
        currentQuestion = qMax(currentQuestion - 1, 1);
        break;
    case otNextQuestion:
        currentQuestion = qMin(currentQuestion + 1, n);
        break;
    case otFirstQuestion:
        currentQuestion = 1;
        break;
    case otLastQuestion:
        currentQuestion = n;
        break;
    case otRandomQuestion:
        if (n == 1) {
            currentQuestion = 1;
        } else {
            qint32 next;
            do {
                next = 1 + random.below(n);
            } while (next == currentQuestion);
            currentQuestion = next;
        }
        break;
    default:
        break;
    }
}

void TopicDocument::normaliseAfterRebuild(bool quizRunning, ObjectMarks &learningMarks)
{
    if (!quizRunning)
        for (qsizetype i = 0; i < objects.size(); ++i)
            if (objects.at(i).Typ == otAnswer)
                markAt(learningMarks, i).coverState = csCovered;
    if (currentQuestion < 1 || currentQuestion > AnzFrageNummern)
        currentQuestion = AnzFrageNummern < 1 ? -1 : 1;
}

QImage startBaseImage()
{
    // A quiet page in the card's colour: what the card area shows before a topic is chosen.
    static const QImage image = [] {
        QImage img(870, 600, QImage::Format_ARGB32);
        img.fill(QColor(246, 246, 242));
        return img;
    }();
    return image;
}

} // namespace kapitolo
