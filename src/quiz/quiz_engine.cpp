#include "quiz/quiz_engine.h"

#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/random.h"
#include "quiz/protocol.h"

#include <QCollator>
#include <QLocale>

#include <utility>

namespace kapitolo {

namespace {

QCollator quizCollator()
{
    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

} // namespace

QString CleanCaption(const QString &caption)
{
    QString s = caption;
    const QString joint = QStringLiteral("-\r\n");
    qsizetype from = 0;
    while (true) {
        const qsizetype at = s.indexOf(joint, from);
        if (at < 0 || at + 3 >= s.size())
            break;
        const QChar next = s.at(at + 3);
        if (next.toUpper() == next) {
            s.remove(at + 1, 2); // keep the hyphen: "Baden-\r\nWürttemberg"
            from = at + 1;
        } else {
            s.remove(at, 3); // a word split at the line end is joined
            from = at;
        }
    }
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1String("  "), QLatin1String(" "));
    return s.trimmed();
}

QString tileCaption(const QString &caption)
{
    QString s = CleanCaption(caption);
    s.replace(QLatin1String(" | "), QLatin1String("\n"));
    return s;
}

QuizEngine::QuizEngine(const TopicDocument &document, Messages &messages, Clock &clock, Random &random,
                       QuizFrontend &frontend)
    : m_document(document)
    , m_messages(messages)
    , m_clock(clock)
    , m_random(random)
    , m_frontend(frontend)
{
}

bool QuizEngine::isEligible(const DocObject &o) const
{
    if (m_document.DokTyp == dtSingleQuestions)
        return o.Typ == otAnswer;
    return o.Typ == otLabel || o.Typ == otGap;
}

int QuizEngine::countOpen() const
{
    int n = 0;
    for (const ObjectMark &mark : m_run.marks)
        if (mark.coverState == csOpenQuestion)
            ++n;
    return n;
}

bool QuizEngine::ConfirmLeaveQuiz()
{
    if (m_appMode != amQuizRunning || m_run.endState != esRunning)
        return true;
    return m_messages.show(MessageKind::Confirmation,
                           QStringLiteral("Das aktuelle Quiz ist noch nicht beendet.\r\nQuiz wirklich abbrechen?"),
                           MessageButtons::YesNo)
        != MessageAnswer::No;
}

void QuizEngine::appendDetail(const QString &text, bool timeStamp)
{
    AppendProtocolLine(m_run, m_clock, ProtocolPart::Detail, text, timeStamp);
}

void QuizEngine::chooseQuestions(ObjectMarks &marks, int mode, const QList<int> *given) const
{
    const QList<DocObject> &objects = m_document.objects;
    if (mode == smRandom) {
        for (ObjectMark &mark : marks)
            mark.coverState = csUncovered;
        qsizetype eligible = 0;
        for (const DocObject &o : objects)
            if (isEligible(o))
                ++eligible;
        // The bound is the number of questions, at most 20, and never more than the
        // document can give: a document with fewer eligible objects asks all of them.
        qsizetype bound = m_document.AnzFrageNummern > 0 ? m_document.AnzFrageNummern : eligible;
        bound = qMin<qsizetype>(qMin<qsizetype>(bound, 20), eligible);
        qsizetype chosen = 0;
        while (chosen < bound) {
            const int i = m_random.below(int(objects.size()));
            ObjectMark &mark = marks[i];
            if (isEligible(objects.at(i)) && mark.coverState == csUncovered) {
                mark.coverState = csOpenQuestion;
                ++chosen;
            }
        }
        return;
    }
    for (qsizetype i = 0; i < objects.size(); ++i) {
        if (!isEligible(objects.at(i)))
            continue;
        ObjectMark &mark = marks[i];
        if (mode == smComplete)
            mark.coverState = csOpenQuestion;
        else if (mode == smGiven)
            mark.coverState = given->contains(int(i)) ? csOpenQuestion : csUncovered;
        else
            mark.coverState = (mark.failedAttempts > 0 || mark.wrongTargetCount > 0) ? csOpenQuestion : csUncovered;
        mark.failedAttempts = 0;
        mark.wrongTargetCount = 0;
    }
}

void QuizEngine::selectionSort(QList<qint32> &column, const std::function<bool(qint32, qint32)> &less) const
{
    const qsizetype n = column.size();
    for (qsizetype q = 0; q < n; ++q) {
        qsizetype smallest = q;
        for (qsizetype j = q + 1; j < n; ++j)
            if (less(column.at(j), column.at(smallest)))
                smallest = j;
        if (smallest != q)
            column.swapItemsAt(q, smallest);
    }
}

void QuizEngine::shuffle(QList<qint32> &column)
{
    const int n = int(column.size());
    for (int q = 0; q < n; ++q)
        column.swapItemsAt(q, m_random.below(n));
}

QList<QuizPair> QuizEngine::buildQuizList(const ObjectMarks &marks, const QuizOptions &options)
{
    QList<qint32> tiles;
    for (qsizetype i = 0; i < m_document.objects.size(); ++i)
        if (isEligible(m_document.objects.at(i)) && markOf(marks, i).coverState == csOpenQuestion)
            tiles.append(qint32(i));
    QList<qint32> positions = tiles;

    const QCollator collator = quizCollator();
    const auto &objects = m_document.objects;
    if (options.tileOrder != toAlphabetical && m_document.DokTyp != dtSingleQuestions) {
        shuffle(tiles);
    } else {
        selectionSort(tiles, [&](qint32 a, qint32 b) {
            return collator.compare(CleanCaption(objects.at(a).Cap), CleanCaption(objects.at(b).Cap)) < 0;
        });
    }
    if (options.positionOrder != poOrdered) {
        shuffle(positions);
    } else if (m_document.GeordnetArt != 0) {
        selectionSort(positions, [&](qint32 a, qint32 b) {
            return collator.compare(objects.at(a).Cap, objects.at(b).Cap) < 0;
        });
    } else {
        selectionSort(positions, [&](qint32 a, qint32 b) {
            const DocObject &oa = objects.at(a);
            const DocObject &ob = objects.at(b);
            return oa.Ky < ob.Ky || (oa.Ky == ob.Ky && oa.Kx < ob.Kx);
        });
    }
    QList<QuizPair> list;
    for (qsizetype k = 0; k < tiles.size(); ++k)
        list.append({tiles.at(k), positions.at(k)});
    return list;
}

bool QuizEngine::StartQuiz(int selectionMode, int networkRole)
{
    return start(selectionMode, networkRole, nullptr);
}

bool QuizEngine::StartQuizOn(const QList<int> &objects)
{
    return start(smGiven, nrOwnQuiz, &objects);
}

bool QuizEngine::StartParticipantQuiz(const QuizOptions &options, double startTime, const QString &name)
{
    m_options = options;
    m_participantStart = startTime;
    m_participantName = name;
    return start(smComplete, nrParticipant, nullptr);
}

bool QuizEngine::start(int selectionMode, int networkRole, const QList<int> *given)
{
    int mode = selectionMode;
    if (mode == smComplete && m_document.titel.toLower().contains(QStringLiteral("zufällig")))
        mode = smRandom;
    if (m_run.networkRole == nrParticipant && networkRole != nrParticipant && m_appMode == amQuizRunning) {
        m_messages.information(QStringLiteral("Die aktuelle Netzwerk-Übung muss zunächst beendet werden, um eine "
                                              "eigene Übung starten zu können."));
        return false;
    }
    if (m_run.networkRole == nrInitiator && networkRole != nrInitiator) {
        m_messages.information(QStringLiteral("Auf diesem Rechner wurde eine Netzwerk-Übung initiiert, die zuerst "
                                              "beendet werden muss. Daher kann im Moment keine eigene Übung gestartet "
                                              "werden."));
        return false;
    }
    if (!ConfirmLeaveQuiz())
        return false;

    // Everything is worked out aside: a start cancelled at the name entry leaves the quiz,
    // its marks and the card exactly as they were.
    QuizOptions options = m_options;
    if (networkRole != nrParticipant && m_optionsSource)
        options = m_optionsSource(m_document.DokTyp);
    if (m_document.DokTyp == dtSingleQuestions) {
        options.feedbackAtEnd = fbImmediate;
        options.onCorrect = cmCaption;
        options.queryMode = qmFree;
    } else if (networkRole != nrParticipant) {
        options.feedbackAtEnd = fbImmediate;
    }
    // A repetition selects by the counts the last quiz left; any other start begins afresh.
    ObjectMarks marks = mode == smWrongOnes ? m_run.marks : ObjectMarks();
    marks.resize(m_document.objects.size());
    chooseQuestions(marks, mode, given);

    int eligible = 0;
    int selected = 0;
    for (qsizetype i = 0; i < m_document.objects.size(); ++i) {
        if (!isEligible(m_document.objects.at(i)))
            continue;
        ++eligible;
        if (marks.at(i).coverState == csOpenQuestion)
            ++selected;
    }
    const int questionCount = mode == smComplete ? eligible : selected;
    if (questionCount == 0) {
        m_messages.information(
            QStringLiteral("Bitte zuerst über das Menü \"Quizauswahl\" das gewünschte Quiz auswählen."));
        return false;
    }
    QList<QuizPair> list = buildQuizList(marks, options);

    QString name;
    if (networkRole == nrOwnQuiz && m_nameEntry && !m_frontend.askParticipantName(name))
        return false;

    m_options = options;
    m_appMode = amQuizRunning;
    m_verdictShowing = false;
    m_run.selectionMode = mode;
    m_run.networkRole = networkRole;
    m_run.participantName = networkRole == nrParticipant ? m_participantName : name;
    for (const QuizPair &pair : std::as_const(list)) {
        ObjectMark &mark = marks[pair.tileObject];
        mark.coverState = csOpenQuestion;
        mark.failedAttempts = 0;
        mark.wrongTargetCount = 0;
    }
    for (qsizetype k = 0; k < list.size(); ++k)
        marks[list.at(k).positionObject].displayNo = options.positionOrder == poQuestionMarks ? 0 : qint32(k + 1);
    m_run.marks = std::move(marks);
    m_run.quizList = std::move(list);
    m_tileInPlay = QList<bool>(m_run.quizList.size(), true);
    m_tileShown = m_tileInPlay;

    m_score.questionCount = questionCount;
    m_score.totalQuestionCount = mode != smComplete ? eligible : questionCount;
    m_run.protocolDetail.clear();
    m_run.protocolSummary.clear();
    m_score.correctCount = 0;
    m_score.failedCount = 0;
    m_score.successRate = 0;
    m_score.totalPerformance = 0;
    m_score.grade = 0;
    m_run.endState = esRunning;
    m_score.openCount = countOpen();
    m_run.startTick = m_clock.tickCount();
    m_run.startTime = networkRole == nrParticipant && m_participantStart != 0 ? m_participantStart : m_clock.now();
    m_run.endTime = 0;
    m_run.elapsedMs = 0;
    m_run.remainingSeconds = m_options.timeLimitSeconds;
    m_run.currentIndex = 0;
    m_run.questionNumber = 1;
    m_run.currentQuestionNo = -1;
    m_run.bestListEntered = false;
    m_run.hitObject = -1;
    m_correctTile = -1;
    m_counter.clear();
    m_lastClock.clear();

    appendDetail(QStringLiteral("Quiz wird gestartet"), true);
    if (m_document.DokTyp == dtSingleQuestions)
        m_run.currentQuestionNo = m_document.objects.at(m_run.quizList.first().positionObject).FrageNummer;
    presentQuestion();
    refreshStatus(false);
    m_frontend.quizStarted();
    return true;
}

int QuizEngine::askedObject() const
{
    if (m_appMode != amQuizRunning || m_run.quizList.isEmpty())
        return -1;
    const QuizPair &pair = m_run.quizList.at(m_run.currentIndex);
    if (m_document.DokTyp == dtSingleQuestions || m_options.queryMode == qmSinglePosition)
        return pair.positionObject;
    return -1;
}

int QuizEngine::onlyTarget() const
{
    return m_document.DokTyp != dtSingleQuestions && m_options.queryMode == qmSinglePosition ? askedObject() : -1;
}

int QuizEngine::targetAt(const RectD &tile, const CardLayout &layout) const
{
    return quizHitTest(m_document, m_run.marks, layout, tile, m_run.currentQuestionNo, onlyTarget());
}

QList<KeyboardTarget> QuizEngine::keyboardTargets() const
{
    return kapitolo::keyboardTargets(m_document, m_run.marks, m_run.currentQuestionNo, onlyTarget());
}

QString QuizEngine::questionText() const
{
    QString text;
    for (const DocObject &o : m_document.objects)
        if (o.Typ == otQuestion && o.FrageNummer == m_run.currentQuestionNo)
            text = CleanCaption(o.Cap); // the last one, the text after the "Frage:" heading
    return text;
}

QString QuizEngine::instructionText() const
{
    if (m_document.DokTyp == dtSingleQuestions)
        return QStringLiteral("Klicke auf die richtige Antwort!");
    const bool cloze = m_document.DokTyp == dtCloze;
    switch (m_options.queryMode) {
    case qmSingleText:
        return cloze ? QStringLiteral("Ziehe den Lückentext an die richtige Position!")
                     : QStringLiteral("Ziehe die Beschriftung an die richtige Position!");
    case qmSinglePosition:
        return cloze ? QStringLiteral("Ziehe den richtigen Lückentext an die markierte Position!")
                     : QStringLiteral("Ziehe die richtige Beschriftung an die markierte Position!");
    default:
        return cloze ? QStringLiteral("Ziehe die Lückentexte an die jeweils richtige Position!")
                     : QStringLiteral("Ziehe die Beschriftungen an die jeweils richtige Position!");
    }
}

void QuizEngine::presentQuestion()
{
    if (m_document.DokTyp == dtSingleQuestions)
        presentSingleQuestion();
    else if (m_options.queryMode == qmSingleText)
        presentSingleText();
    else if (m_options.queryMode == qmSinglePosition)
        presentSinglePosition();
}

void QuizEngine::presentSingleText()
{
    const qint32 tileObject = m_run.quizList.at(m_run.currentIndex).tileObject;
    for (qsizetype k = 0; k < m_run.quizList.size(); ++k)
        m_tileShown[k] = m_run.quizList.at(k).tileObject == tileObject;
    const QString caption = CleanCaption(m_document.objects.at(tileObject).Cap);
    appendDetail(m_document.DokTyp == dtCloze
                     ? QStringLiteral("Lückentext \"") + caption + QStringLiteral("\" soll der richtigen Lücke zugeordnet werden")
                     : QStringLiteral("Beschriftungstext \"") + caption
                         + QStringLiteral("\" soll der richtigen Position zugeordnet werden"),
                 true);
}

void QuizEngine::presentSinglePosition()
{
    const qint32 position = m_run.quizList.at(m_run.currentIndex).positionObject;
    const QString caption = CleanCaption(m_document.objects.at(position).Cap);
    appendDetail(m_document.DokTyp == dtCloze
                     ? QStringLiteral("Der Lücke \"") + caption + QStringLiteral("\" soll der richtige Lückentext zugeordnet werden")
                     : QStringLiteral("Der Position \"") + caption
                         + QStringLiteral("\" soll der richtige Beschriftungstext zugeordnet werden"),
                 true);
}

void QuizEngine::presentSingleQuestion()
{
    const QList<QuizPair> &list = m_run.quizList;
    const qint32 question = list.at(m_run.currentIndex).positionObject;
    const int n = int(list.size());
    m_correctTile = -1;
    for (int k = 0; k < n; ++k) {
        if (!tileInPlay(k))
            continue;
        const bool correct = list.at(k).tileObject == question;
        m_tileShown[k] = correct;
        if (correct)
            m_correctTile = k;
    }
    QStringList shown;
    if (m_correctTile >= 0)
        shown << tileCaption(m_document.objects.at(question).Cap);
    // Up to five other answers, each with a caption not shown yet.
    for (int round = 0; round < 5; ++round) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const int k = m_random.below(n);
            if (!tileInPlay(k) || tileShown(k))
                continue;
            const QString caption = tileCaption(m_document.objects.at(list.at(k).tileObject).Cap);
            if (shown.contains(caption))
                continue;
            m_tileShown[k] = true;
            shown << caption;
            break;
        }
    }
    m_counter = QString::number(m_run.questionNumber) + QStringLiteral(". Frage");
    if (markOf(m_run.marks, question).failedAttempts > 0)
        m_counter += QStringLiteral(" (wiederholte Frage)");

    appendDetail(QString::number(m_run.questionNumber) + QStringLiteral(". Frage") + QStringLiteral("\r\n")
                     + questionText(),
                 true);
    QStringList answers;
    for (int k = 0; k < n; ++k) {
        if (!tileShown(k))
            continue;
        QString entry = QLatin1Char('"') + CleanCaption(m_document.objects.at(list.at(k).tileObject).Cap) + QLatin1Char('"');
        if (k == m_correctTile)
            entry += QStringLiteral(" (Lösung)");
        answers << entry;
    }
    appendDetail(QStringLiteral("Antwortmöglichkeiten: ") + answers.join(QStringLiteral(", ")), false);
}

QString QuizEngine::detailLine(bool correct, const QString &t, const QString &p) const
{
    const QString q = QStringLiteral("\"");
    if (m_document.DokTyp == dtSingleQuestions)
        return (correct ? QStringLiteral("RICHTIG") : QStringLiteral("FALSCH")) + QStringLiteral(" - Gewählte Antwort: ")
            + q + t + q;
    const bool cloze = m_document.DokTyp == dtCloze;
    const QString text = cloze ? QStringLiteral("Lückentext") : QStringLiteral("Beschriftungstext");
    const QString place = cloze ? QStringLiteral("Lücke") : QStringLiteral("Position");
    if (m_options.queryMode == qmSinglePosition) {
        if (correct)
            return QStringLiteral("RICHTIG - Der ") + place + QStringLiteral(" von ") + q + p + q
                + QStringLiteral(" wird der richtige ") + text + QStringLiteral(" zugeordnet");
        return QStringLiteral("FALSCH - Der ") + place + QStringLiteral(" von ") + q + p + q + QStringLiteral(" wird der ")
            + text + QLatin1Char(' ') + q + t + q + QStringLiteral(" zugeordnet");
    }
    if (correct) {
        if (m_options.queryMode == qmSingleText)
            return QStringLiteral("RICHTIG - ") + text + QLatin1Char(' ') + q + t + q + QStringLiteral(" wird richtig zugeordnet");
        return QStringLiteral("RICHTIG - ") + text + QLatin1Char(' ') + q + t + q + QStringLiteral(" wird der richtigen ")
            + place + QStringLiteral(" zugeordnet");
    }
    return QStringLiteral("FALSCH - ") + text + QLatin1Char(' ') + q + t + q + QStringLiteral(" wird der ") + place
        + QStringLiteral(" von ") + q + p + q + QStringLiteral(" zugeordnet");
}

QuizVerdict QuizEngine::evaluate(int pair, int target)
{
    QuizVerdict verdict;
    if (m_appMode != amQuizRunning || m_run.endState != esRunning || m_verdictShowing)
        return verdict;
    if (!tileShown(pair) || target < 0 || target >= m_document.objects.size())
        return verdict;
    // Only an open target takes a tile (which of them a drop may reach, the hit test says).
    if (!isOpenTarget(m_document.objects.at(target), markOf(m_run.marks, target), m_run.currentQuestionNo))
        return verdict;
    const bool single = m_document.DokTyp == dtSingleQuestions;
    const bool withheld = m_options.feedbackAtEnd == fbAtEnd;
    const qint32 tileObject = m_run.quizList.at(pair).tileObject;
    ObjectMark &mark = markAt(m_run.marks, target);
    const QString t = CleanCaption(m_document.objects.at(tileObject).Cap);
    const QString p = CleanCaption(m_document.objects.at(target).Cap);
    const bool correct = t == p;
    verdict.object = target;
    verdict.tileObject = tileObject;
    verdict.pair = pair;
    verdict.correct = correct;
    verdict.firstTry = mark.failedAttempts == 0;
    verdict.withheld = withheld;
    m_run.hitObject = target;
    appendDetail(detailLine(correct, t, p), true);

    if (correct) {
        if (withheld)
            mark.coverState = csAssigned;
        else
            mark.coverState = m_options.onCorrect == cmTick ? csCorrect : csUncovered;
        if (!single)
            m_tileInPlay[pair] = false;
        ++m_score.correctCount;
    } else {
        if (withheld) {
            m_tileInPlay[pair] = false;
            mark.coverState = csAssigned;
        } else if (single) {
            if (m_options.onFailed == frFinal)
                mark.coverState = csNotAskedAgain;
        } else {
            // One text at a time: the tile goes from the panel until it is asked again.
            if (m_options.queryMode == qmSingleText)
                m_tileShown[pair] = false;
            if (m_options.onFailed == frFinal)
                mark.coverState = csWrongCross;
        }
        ++mark.failedAttempts;
        if (!single)
            ++markAt(m_run.marks, tileObject).wrongTargetCount;
        ++m_score.failedCount;
    }
    verdict.mark = markOf(m_run.marks, target);
    m_verdict = verdict;
    m_verdictShowing = true;
    m_frontend.verdictGiven(verdict);
    return verdict;
}

void QuizEngine::proceed()
{
    if (!m_verdictShowing)
        return;
    m_verdictShowing = false;
    if (m_appMode != amQuizRunning || m_run.endState != esRunning)
        return;
    m_score.openCount = countOpen();
    refreshStatus(true);
    if (m_run.networkRole == nrParticipant && m_network)
        m_network->answerEvaluated(m_verdict);
    m_run.hitObject = -1;

    if (m_score.openCount == 0) {
        EndQuiz();
        return;
    }
    const bool single = m_document.DokTyp == dtSingleQuestions;
    if (!single && m_options.queryMode == qmFree)
        return;
    const int n = int(m_run.quizList.size());
    for (int step = 0; step < n; ++step) {
        m_run.currentIndex = (m_run.currentIndex + 1) % n;
        const QuizPair &next = m_run.quizList.at(m_run.currentIndex);
        if (m_options.queryMode == qmSingleText && !single) {
            // One text at a time asks a tile that is still there. With the verdict
            // withheld a wrong drop takes the tile away while its own place stays
            // open: then every tile left is asked, or the pupil would wait for a
            // tile that no longer exists.
            if (!tileInPlay(m_run.currentIndex))
                continue;
            if (m_options.feedbackAtEnd == fbAtEnd
                || markOf(m_run.marks, next.tileObject).coverState == csOpenQuestion)
                break;
        } else if (markOf(m_run.marks, next.positionObject).coverState == csOpenQuestion) {
            break;
        }
    }
    ++m_run.questionNumber;
    if (single)
        m_run.currentQuestionNo =
            m_document.objects.at(m_run.quizList.at(m_run.currentIndex).positionObject).FrageNummer;
    presentQuestion();
    m_frontend.questionChanged();
}

void QuizEngine::refreshStatus(bool announce)
{
    const int answered = m_score.correctCount + m_score.failedCount;
    m_score.successRate = answered == 0 ? 0.0 : double(m_score.correctCount) / answered;
    const int all = answered + m_score.openCount;
    m_score.totalPerformance = all == 0 ? 0.0 : double(m_score.correctCount) / all;

    QuizStatusTexts &t = m_statusTexts;
    t.status = m_run.endState <= esRunning ? QStringLiteral("warte auf Antwort") : QStringLiteral("Quiz beendet");
    t.total = QStringLiteral("von  ") + QString::number(m_score.questionCount);
    const QString name = m_run.participantName.trimmed();
    t.name = name.isEmpty() ? QStringLiteral("-") : name;
    if (m_options.feedbackAtEnd == fbAtEnd && m_score.openCount > 0) {
        t.correct = t.failed = t.successRate = t.totalPerformance = QStringLiteral("?");
    } else {
        t.correct = QString::number(m_score.correctCount);
        t.failed = QString::number(m_score.failedCount);
        t.successRate = percentText(m_score.successRate);
        t.totalPerformance = percentText(m_score.totalPerformance);
    }
    t.open = QString::number(m_score.openCount);
    t.clockCaption = m_options.timeLimitOn == tlOn ? QStringLiteral("Verbleibende Zeit:") : QStringLiteral("Benötigte Zeit:");
    m_lastClock.clear();
    refreshClock();
    if (announce)
        m_frontend.statusChanged();
}

bool QuizEngine::refreshClock()
{
    const qint64 elapsed = qint64(quint32(m_clock.tickCount() - m_run.startTick));
    m_run.elapsedMs = int(qMin<qint64>(qMax<qint64>(0, elapsed), INT32_MAX));
    qint64 shown;
    if (m_options.timeLimitOn == tlOn) {
        m_run.remainingSeconds = int(qMax<qint64>(0, m_options.timeLimitSeconds - m_run.elapsedMs / 1000));
        shown = m_run.remainingSeconds;
    } else {
        shown = m_run.elapsedMs / 1000;
    }
    const QString text = clockText(shown);
    m_score.clockText = text;
    if (text == m_lastClock)
        return false;
    m_lastClock = text;
    return true;
}

void QuizEngine::ZeitTimerTimer()
{
    if (m_appMode != amQuizRunning || m_run.endState != esRunning)
        return;
    if (refreshClock())
        m_frontend.statusChanged();
    // The verdict being shown comes first; the limit is checked at the next tick.
    if (m_verdictShowing || m_options.timeLimitOn != tlOn || m_run.remainingSeconds >= 1)
        return;
    m_run.hitObject = -1;
    m_run.endState = esTimeLimitReached;
    // The teacher learns of the end before the notice waits for the pupil.
    if (m_run.networkRole == nrParticipant && m_network)
        m_network->quizEnded();
    const QString text = QStringLiteral("Das Zeitlimit ist erreicht, die Übung wird beendet.");
    appendDetail(text, true);
    m_messages.information(text);
    EndQuiz();
}

void QuizEngine::EndQuiz()
{
    if (m_appMode != amQuizRunning)
        return;
    m_verdictShowing = false;
    if (m_run.endState == esRunning)
        m_run.endState = esFinished;
    refreshStatus(true);
    m_run.endTime = m_run.startTime + double(m_run.elapsedMs / 1000) / 86400.0;

    if (m_options.feedbackAtEnd == fbAtEnd) {
        // Only the quiz's own objects get their verdict: a text or an info point never
        // turns into a tick.
        for (const QuizPair &pair : std::as_const(m_run.quizList)) {
            ObjectMark &mark = markAt(m_run.marks, pair.tileObject);
            if (mark.coverState == csUncovered)
                continue;
            if (mark.failedAttempts >= 1)
                mark.coverState = csWrongCross;
            else
                mark.coverState = m_options.onCorrect == cmTick ? csCorrect : csUncovered;
        }
    }
    m_score.grade = gradeFor(m_score.totalPerformance);
    if (m_run.networkRole == nrParticipant && m_network)
        m_network->quizEnded();

    QuizFinishedInfo info;
    info.correct = m_statusTexts.correct + QStringLiteral("  ") + m_statusTexts.total;
    info.failed = m_statusTexts.failed;
    info.successRate = m_statusTexts.successRate;
    info.timeCaption = m_options.timeLimitOn == tlOn ? QStringLiteral("Verbliebene Zeit:") : QStringLiteral("Benötigte Zeit:");
    info.clock = m_score.clockText;
    info.open = m_statusTexts.open;
    info.totalPerformanceText = m_statusTexts.totalPerformance;
    info.grade = m_score.grade;
    info.rating = ratingWord(m_score.grade);
    info.totalPerformance = m_score.totalPerformance;
    info.repetitionEnabled = m_run.networkRole == nrOwnQuiz && m_score.failedCount >= 1;

    if (m_environment)
        WriteProtocolSummary(m_run, m_score, m_options, m_document, m_environment());
    const bool enter = m_autoBestList && entersBestList(m_run);
    if (m_frontend.quizEnded(enter) && enter)
        m_run.bestListEntered = true;

    const bool participant = m_run.networkRole == nrParticipant && m_network;
    while (true) {
        const QuizFinishedChoice choice = m_frontend.askHowToGoOn(info);
        if (!choice.repeat) {
            m_run.networkRole = nrOwnQuiz;
            CancelQuiz();
            if (participant)
                m_network->participationLeft();
            return;
        }
        if (participant) {
            // A new key, the document and the options read afresh from the exchange folder.
            if (m_network->repeatParticipation())
                return;
            m_messages.information(QStringLiteral("Eine Wiederholung der Netzwerk-Übung wurde nicht zugelassen."));
            continue;
        }
        const int mode = info.repetitionEnabled ? choice.repetitionMode : smComplete;
        if (StartQuiz(mode, m_run.networkRole))
            return;
    }
}

bool QuizEngine::CancelQuiz()
{
    if (!ConfirmLeaveQuiz())
        return false;
    const bool participant = m_appMode == amQuizRunning && m_run.networkRole == nrParticipant && m_network;
    LeaveQuiz();
    if (participant)
        m_network->participationLeft();
    return true;
}

void QuizEngine::reportShownVerdict()
{
    // Left while a verdict still showed: the teacher hears of that answer before the end.
    if (!std::exchange(m_verdictShowing, false) || m_run.networkRole != nrParticipant || !m_network)
        return;
    m_score.openCount = countOpen();
    refreshStatus(false);
    m_network->answerEvaluated(m_verdict);
}

void QuizEngine::LeaveQuiz()
{
    if (m_appMode == amQuizRunning && m_run.endState == esRunning && m_run.networkRole == nrParticipant && m_network) {
        reportShownVerdict();
        m_run.endState = esCancelled;
        refreshClock();
        m_network->quizEnded();
    }
    m_verdictShowing = false;
    if (m_run.networkRole != nrInitiator)
        m_run.networkRole = nrOwnQuiz;
    m_run.hitObject = -1;
    m_tileInPlay.fill(false);
    // Back on the learning card every question of the quiz shows its answer; the counts
    // stay for a repetition.
    for (ObjectMark &mark : m_run.marks)
        if (mark.coverState != csCovered && mark.coverState != csUncovered)
            mark.coverState = csUncovered;
    m_appMode = amLearningView;
    m_frontend.quizLeft();
}

void QuizEngine::reportParticipantClosing()
{
    if (!running() || m_run.networkRole != nrParticipant || !m_network)
        return;
    reportShownVerdict();
    m_run.endState = esCancelled;
    refreshClock();
    m_network->quizEnded();
}

void QuizEngine::setExerciseInitiated(bool initiated)
{
    if (initiated)
        m_run.networkRole = nrInitiator;
    else if (m_run.networkRole == nrInitiator)
        m_run.networkRole = nrOwnQuiz;
}

} // namespace kapitolo
