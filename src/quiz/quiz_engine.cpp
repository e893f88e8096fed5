#include "quiz/quiz_engine.h"

#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/random.h"
#include "quiz/protocol.h"

#include <QCollator>
#include <QLocale>

namespace kapitolo {

namespace {

const QColor kCorrectColour(90, 255, 72);
const QColor kWrongColour(255, 80, 70);

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

QuizEngine::QuizEngine(TopicDocument &document, Messages &messages, Clock &clock, Random &random,
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
    for (const DocObject &o : m_document.objects)
        if (o.coverState == csOpenQuestion)
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

void QuizEngine::chooseQuestions()
{
    QList<DocObject> &objects = m_document.objects;
    if (m_run.selectionMode == 2) {
        for (DocObject &o : objects)
            o.coverState = csUncovered;
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
            DocObject &o = objects[m_random.below(int(objects.size()))];
            if (isEligible(o) && o.coverState == csUncovered) {
                o.coverState = csOpenQuestion;
                ++chosen;
            }
        }
        return;
    }
    for (DocObject &o : objects) {
        if (!isEligible(o))
            continue;
        if (m_run.selectionMode == 0)
            o.coverState = csOpenQuestion;
        else
            o.coverState = (o.failedAttempts > 0 || o.wrongTargetCount > 0) ? csOpenQuestion : csUncovered;
        o.failedAttempts = 0;
        o.wrongTargetCount = 0;
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

void QuizEngine::buildQuizList()
{
    QList<qint32> tiles;
    for (qsizetype i = 0; i < m_document.objects.size(); ++i)
        if (isEligible(m_document.objects.at(i)) && m_document.objects.at(i).coverState == csOpenQuestion)
            tiles.append(qint32(i));
    QList<qint32> positions = tiles;

    const QCollator collator = quizCollator();
    const auto &objects = m_document.objects;
    if (m_options.tileOrder != 0 && m_document.DokTyp != dtSingleQuestions) {
        shuffle(tiles);
    } else {
        selectionSort(tiles, [&](qint32 a, qint32 b) {
            return collator.compare(CleanCaption(objects.at(a).Cap), CleanCaption(objects.at(b).Cap)) < 0;
        });
    }
    if (m_options.positionOrder != 0) {
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
    m_run.quizList.clear();
    for (qsizetype k = 0; k < tiles.size(); ++k)
        m_run.quizList.append({tiles.at(k), positions.at(k)});
}

bool QuizEngine::StartQuiz(int selectionMode, int networkRole)
{
    int mode = selectionMode;
    if (mode == 0 && m_document.titel.toLower().contains(QStringLiteral("zufällig")))
        mode = 2;
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
    if (networkRole != nrParticipant && m_optionsSource)
        m_options = m_optionsSource(m_document.DokTyp);
    if (m_document.DokTyp == dtSingleQuestions) {
        m_options.feedbackAtEnd = 0;
        m_options.onCorrect = 0;
        m_options.queryMode = 0;
    } else if (networkRole != nrParticipant) {
        m_options.feedbackAtEnd = 0;
    }

    m_run.selectionMode = mode;
    chooseQuestions();

    int eligible = 0;
    int selected = 0;
    for (const DocObject &o : m_document.objects) {
        if (!isEligible(o))
            continue;
        ++eligible;
        if (o.coverState == csOpenQuestion)
            ++selected;
    }
    m_score.questionCount = mode == 0 ? eligible : selected;
    if (m_score.questionCount == 0) {
        m_messages.information(
            QStringLiteral("Bitte zuerst über das Menü \"Quizauswahl\" das gewünschte Quiz auswählen."));
        m_frontend.updateModeControls();
        return false;
    }

    m_run.participantName.clear();
    if (networkRole == nrOwnQuiz && m_nameEntry) {
        QString name;
        if (!m_frontend.askParticipantName(name))
            return false;
        m_run.participantName = name;
    }

    if (m_appMode != amQuizRunning)
        m_learningQuestion = m_document.currentQuestion;
    m_appMode = amQuizRunning;
    m_score.totalQuestionCount = mode != 0 ? eligible : m_score.questionCount;

    buildQuizList();
    for (const QuizPair &pair : std::as_const(m_run.quizList)) {
        DocObject &o = m_document.objects[pair.tileObject];
        o.coverState = csOpenQuestion;
        o.failedAttempts = 0;
        o.wrongTargetCount = 0;
    }
    for (qsizetype k = 0; k < m_run.quizList.size(); ++k)
        m_document.objects[m_run.quizList.at(k).positionObject].displayNo =
            m_options.positionOrder == 2 ? 0 : qint32(k + 1);

    m_run.networkRole = networkRole;
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
    if (networkRole != nrParticipant || m_run.startTime == 0)
        m_run.startTime = m_clock.now();
    m_run.endTime = 0;
    m_run.elapsedMs = 0;
    m_run.remainingSeconds = m_options.timeLimitSeconds;
    m_run.currentIndex = 0;
    m_run.questionNumber = 1;
    m_run.bestListEntered = false;
    m_run.hitObject = -1;
    m_correctTile = -1;
    m_lastClock.clear();

    m_frontend.enterQuizView();
    m_frontend.updateModeControls();
    appendDetail(QStringLiteral("Quiz wird gestartet"), true);
    if (m_document.DokTyp == dtSingleQuestions)
        showQuestion(m_document.objects.at(m_run.quizList.first().positionObject).FrageNummer);
    m_frontend.redrawCard();
    m_frontend.drawPanelBackground();
    presentQuestion();
    RefreshQuizStatus();
    m_frontend.setTimerEnabled(true);
    return true;
}

void QuizEngine::showQuestion(qint32 frageNummer)
{
    // The card draws the question objects of the document's current question: during a
    // quiz that is the one being asked, not the one the learning card last showed.
    m_run.currentQuestionNo = frageNummer;
    m_document.currentQuestion = frageNummer;
}

int QuizEngine::askedObject() const
{
    if (m_appMode != amQuizRunning || m_run.quizList.isEmpty())
        return -1;
    const QuizPair &pair = m_run.quizList.at(m_run.currentIndex);
    if (m_document.DokTyp == dtSingleQuestions || m_options.queryMode == 2)
        return pair.positionObject;
    return -1;
}

QString QuizEngine::instructionText() const
{
    if (m_document.DokTyp == dtSingleQuestions)
        return QStringLiteral("Klicke auf die richtige Antwort!");
    const bool cloze = m_document.DokTyp == dtCloze;
    switch (m_options.queryMode) {
    case 1:
        return cloze ? QStringLiteral("Ziehe den Lückentext an die richtige Position!")
                     : QStringLiteral("Ziehe die Beschriftung an die richtige Position!");
    case 2:
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
    else if (m_options.queryMode == 1)
        presentSingleText();
    else if (m_options.queryMode == 2)
        presentSinglePosition();
}

void QuizEngine::presentSingleText()
{
    const qint32 tileObject = m_run.quizList.at(m_run.currentIndex).tileObject;
    for (qsizetype k = 0; k < m_run.quizList.size(); ++k)
        if (m_frontend.tileExists(int(k)))
            m_frontend.setTileVisible(int(k), m_run.quizList.at(k).tileObject == tileObject);
    m_frontend.arrangeVisibleTiles();
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
        if (!m_frontend.tileExists(k))
            continue;
        const bool correct = list.at(k).tileObject == question;
        m_frontend.setTileVisible(k, correct);
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
            if (!m_frontend.tileExists(k) || m_frontend.isTileVisible(k))
                continue;
            const QString caption = tileCaption(m_document.objects.at(list.at(k).tileObject).Cap);
            if (shown.contains(caption))
                continue;
            m_frontend.setTileVisible(k, true);
            shown << caption;
            break;
        }
    }
    QString counter = QString::number(m_run.questionNumber) + QStringLiteral(". Frage");
    if (m_document.objects.at(question).failedAttempts > 0)
        counter += QStringLiteral(" (wiederholte Frage)");
    m_frontend.showQuestionCounter(counter);

    QString questionText;
    for (const DocObject &o : m_document.objects)
        if (o.Typ == otQuestion && o.FrageNummer == m_run.currentQuestionNo)
            questionText = CleanCaption(o.Cap); // the last one, the text after the "Frage:" heading
    appendDetail(QString::number(m_run.questionNumber) + QStringLiteral(". Frage") + QStringLiteral("\r\n") + questionText,
                 true);
    QStringList answers;
    for (int k = 0; k < n; ++k) {
        if (!m_frontend.tileExists(k) || !m_frontend.isTileVisible(k))
            continue;
        QString entry = QLatin1Char('"') + CleanCaption(m_document.objects.at(list.at(k).tileObject).Cap) + QLatin1Char('"');
        if (k == m_correctTile)
            entry += QStringLiteral(" (Lösung)");
        answers << entry;
    }
    appendDetail(QStringLiteral("Antwortmöglichkeiten: ") + answers.join(QStringLiteral(", ")), false);
    m_frontend.arrangeVisibleTiles();
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
    if (m_options.queryMode == 2) {
        if (correct)
            return QStringLiteral("RICHTIG - Der ") + place + QStringLiteral(" von ") + q + p + q
                + QStringLiteral(" wird der richtige ") + text + QStringLiteral(" zugeordnet");
        return QStringLiteral("FALSCH - Der ") + place + QStringLiteral(" von ") + q + p + q + QStringLiteral(" wird der ")
            + text + QLatin1Char(' ') + q + t + q + QStringLiteral(" zugeordnet");
    }
    if (correct) {
        if (m_options.queryMode == 1)
            return QStringLiteral("RICHTIG - ") + text + QLatin1Char(' ') + q + t + q + QStringLiteral(" wird richtig zugeordnet");
        return QStringLiteral("RICHTIG - ") + text + QLatin1Char(' ') + q + t + q + QStringLiteral(" wird der richtigen ")
            + place + QStringLiteral(" zugeordnet");
    }
    return QStringLiteral("FALSCH - ") + text + QLatin1Char(' ') + q + t + q + QStringLiteral(" wird der ") + place
        + QStringLiteral(" von ") + q + p + q + QStringLiteral(" zugeordnet");
}

void QuizEngine::EvaluateAnswer(int pair)
{
    if (m_appMode != amQuizRunning || m_run.endState != esRunning || m_evaluating)
        return;
    if (pair < 0 || pair >= m_run.quizList.size() || !m_frontend.tileExists(pair) || !m_frontend.isTileVisible(pair)
        || m_run.hitObject < 0 || m_run.hitObject >= m_document.objects.size())
        return;
    // Feedback pauses let paint events through; a second drop must wait for this one.
    m_evaluating = true;
    const bool single = m_document.DokTyp == dtSingleQuestions;
    const int hit = m_run.hitObject;
    const qint32 tileObject = m_run.quizList.at(pair).tileObject;
    DocObject &target = m_document.objects[hit];
    const QString t = CleanCaption(m_document.objects.at(tileObject).Cap);
    const QString p = CleanCaption(target.Cap);
    const bool correct = t == p;
    appendDetail(detailLine(correct, t, p), true);

    if (correct) {
        if (m_options.feedbackAtEnd == 1) {
            target.coverState = csAssigned;
        } else {
            m_frontend.showVerdict(true);
            m_frontend.setTileColour(pair, kCorrectColour);
            m_frontend.playQuizSound(true);
            m_clock.busyWait(300, true);
            if (single) {
                m_clock.busyWait(700, true);
                m_frontend.hideAllTiles();
            }
            m_frontend.restoreTileColour(pair);
            target.coverState = m_options.onCorrect == 1 ? csCorrect : csUncovered;
        }
        if (!single) {
            m_frontend.removeTile(pair);
            m_frontend.redrawObject(hit);
        }
        ++m_score.correctCount;
    } else {
        if (m_options.feedbackAtEnd == 1) {
            m_frontend.removeTile(pair);
            target.coverState = csAssigned;
            m_frontend.redrawObject(hit);
        } else {
            m_frontend.showVerdict(false);
            m_frontend.setTileColour(pair, kWrongColour);
            m_frontend.playQuizSound(false);
            if (single) {
                if (m_correctTile >= 0) {
                    for (int blink = 0; blink < 3; ++blink) {
                        m_frontend.setTileColour(m_correctTile, kCorrectColour);
                        m_clock.busyWait(150, true);
                        m_frontend.restoreTileColour(m_correctTile);
                        m_clock.busyWait(150, true);
                    }
                }
                if (m_options.onFailed == 1)
                    target.coverState = csNotAskedAgain;
                m_clock.busyWait(800, true);
                m_frontend.hideAllTiles();
            } else {
                if (m_options.queryMode == 1) {
                    m_clock.busyWait(100, true);
                    m_frontend.setTileVisible(pair, false);
                } else {
                    m_frontend.flyTileHome(pair);
                }
                if (m_options.onFailed == 1) {
                    target.coverState = csWrongCross;
                    m_frontend.redrawObject(hit);
                }
            }
            m_frontend.restoreTileColour(pair);
        }
        ++target.failedAttempts;
        if (!single)
            ++m_document.objects[tileObject].wrongTargetCount;
        ++m_score.failedCount;
    }

    m_score.openCount = countOpen();
    RefreshQuizStatus();
    m_frontend.processPendingEvents();
    if (m_run.networkRole == nrParticipant && m_network)
        m_network->answerEvaluated(hit, m_document.objects.at(hit));
    m_frontend.hideHitFrame();
    m_run.hitObject = -1;
    m_evaluating = false;

    if (m_score.openCount == 0) {
        EndQuiz();
        return;
    }
    if (single || m_options.queryMode == 1 || m_options.queryMode == 2) {
        const int n = int(m_run.quizList.size());
        for (int step = 0; step < n; ++step) {
            m_run.currentIndex = (m_run.currentIndex + 1) % n;
            const QuizPair &next = m_run.quizList.at(m_run.currentIndex);
            if (m_options.queryMode == 1 && !single) {
                // One text at a time asks a tile that is still there. With the verdict
                // withheld a wrong drop takes the tile away while its own place stays
                // open: then every tile left is asked, or the pupil would wait for a
                // tile that no longer exists.
                if (!m_frontend.tileExists(m_run.currentIndex))
                    continue;
                if (m_options.feedbackAtEnd == 1 || m_document.objects.at(next.tileObject).coverState == csOpenQuestion)
                    break;
            } else if (m_document.objects.at(next.positionObject).coverState == csOpenQuestion) {
                break;
            }
        }
        ++m_run.questionNumber;
        if (single)
            showQuestion(m_document.objects.at(m_run.quizList.at(m_run.currentIndex).positionObject).FrageNummer);
        if (single || m_options.queryMode == 2) {
            m_frontend.redrawCard();
            m_frontend.drawPanelBackground();
        }
        presentQuestion();
    }
}

void QuizEngine::RefreshQuizStatus()
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
    if (m_options.feedbackAtEnd == 1 && m_score.openCount > 0) {
        t.correct = t.failed = t.successRate = t.totalPerformance = QStringLiteral("?");
    } else {
        t.correct = QString::number(m_score.correctCount);
        t.failed = QString::number(m_score.failedCount);
        t.successRate = percentText(m_score.successRate);
        t.totalPerformance = percentText(m_score.totalPerformance);
    }
    t.open = QString::number(m_score.openCount);
    t.clockCaption = m_options.timeLimitOn == 1 ? QStringLiteral("Verbleibende Zeit:") : QStringLiteral("Benötigte Zeit:");
    m_frontend.showStatus(t);
    m_lastClock.clear();
    RefreshQuizClock();
}

void QuizEngine::RefreshQuizClock()
{
    const qint64 elapsed = qint64(quint32(m_clock.tickCount() - m_run.startTick));
    m_run.elapsedMs = int(qMin<qint64>(qMax<qint64>(0, elapsed), INT32_MAX));
    qint64 shown;
    if (m_options.timeLimitOn == 1) {
        m_run.remainingSeconds = int(qMax<qint64>(0, m_options.timeLimitSeconds - m_run.elapsedMs / 1000));
        shown = m_run.remainingSeconds;
    } else {
        shown = m_run.elapsedMs / 1000;
    }
    const QString text = clockText(shown);
    m_score.clockText = text;
    if (text != m_lastClock) {
        m_lastClock = text;
        m_frontend.showClock(text);
    }
}

void QuizEngine::ZeitTimerTimer()
{
    if (m_appMode != amQuizRunning) {
        m_frontend.setTimerEnabled(false);
        return;
    }
    m_frontend.setTimerEnabled(false);
    if (m_run.endState != esRunning)
        return;
    RefreshQuizClock();
    if (m_evaluating) {
        // The verdict of the answer being evaluated comes first; the limit is checked next time.
        m_frontend.setTimerEnabled(true);
        return;
    }
    if (m_options.timeLimitOn == 1 && m_run.remainingSeconds < 1) {
        m_frontend.hideHitFrame();
        m_run.hitObject = -1;
        m_run.endState = esTimeLimitReached;
        // The teacher learns of the end before the notice waits for the pupil.
        if (m_run.networkRole == nrParticipant && m_network)
            m_network->quizEnded();
        const QString text = QStringLiteral("Das Zeitlimit ist erreicht, die Übung wird beendet.");
        appendDetail(text, true);
        m_messages.information(text);
        EndQuiz();
        return;
    }
    m_frontend.setTimerEnabled(true);
}

void QuizEngine::EndQuiz()
{
    m_frontend.setTimerEnabled(false);
    if (m_run.endState == esRunning)
        m_run.endState = esFinished;
    RefreshQuizStatus();
    m_run.endTime = m_run.startTime + double(m_run.elapsedMs / 1000) / 86400.0;

    if (m_options.feedbackAtEnd == 1) {
        // Only the quiz's own objects get their verdict: a text or an info point never
        // turns into a tick.
        for (const QuizPair &pair : std::as_const(m_run.quizList)) {
            DocObject &o = m_document.objects[pair.tileObject];
            if (o.coverState == csUncovered)
                continue;
            if (o.failedAttempts >= 1)
                o.coverState = csWrongCross;
            else
                o.coverState = m_options.onCorrect == 1 ? csCorrect : csUncovered;
        }
        m_frontend.redrawCard();
    }
    m_score.grade = gradeFor(m_score.totalPerformance);
    if (m_run.networkRole == nrParticipant && m_network)
        m_network->quizEnded();

    QuizFinishedInfo info;
    info.correct = m_statusTexts.correct + QStringLiteral("  ") + m_statusTexts.total;
    info.failed = m_statusTexts.failed;
    info.successRate = m_statusTexts.successRate;
    info.timeCaption = m_options.timeLimitOn == 1 ? QStringLiteral("Verbliebene Zeit:") : QStringLiteral("Benötigte Zeit:");
    info.clock = m_score.clockText;
    info.open = m_statusTexts.open;
    info.totalPerformanceText = m_statusTexts.totalPerformance;
    info.grade = m_score.grade;
    info.rating = ratingWord(m_score.grade);
    info.totalPerformance = m_score.totalPerformance;
    info.repetitionEnabled = m_run.networkRole == nrOwnQuiz && m_score.failedCount >= 1;

    m_frontend.finishProtocol();
    if (m_autoBestList && m_run.networkRole == nrOwnQuiz && m_run.selectionMode != 1 && m_frontend.enterBestList())
        m_run.bestListEntered = true;

    const bool participant = m_run.networkRole == nrParticipant && m_network;
    while (true) {
        const QuizFinishedChoice choice = m_frontend.showFinishedDialog(info);
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
        const int mode = info.repetitionEnabled ? choice.repetitionMode : 0;
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

void QuizEngine::LeaveQuiz()
{
    m_frontend.setTimerEnabled(false);
    if (m_appMode == amQuizRunning && m_run.endState == esRunning && m_run.networkRole == nrParticipant && m_network) {
        m_run.endState = esCancelled;
        RefreshQuizClock();
        m_network->quizEnded();
    }
    m_run.networkRole = nrOwnQuiz;
    m_run.hitObject = -1;
    for (DocObject &o : m_document.objects)
        if (o.coverState != csCovered && o.coverState != csUncovered)
            o.coverState = csUncovered;
    m_appMode = amLearningView;
    if (m_document.DokTyp == dtSingleQuestions)
        m_document.currentQuestion = m_learningQuestion;
    m_frontend.leaveQuizView();
    m_frontend.updateModeControls();
}

} // namespace kapitolo
