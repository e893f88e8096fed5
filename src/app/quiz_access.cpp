// Quiz play without a mouse: what the quiz panel needs from the main window for the
// keyboard, and what screen readers learn of the targets on the card.

#include "app/main_window.h"

#include "quiz/quiz_board.h"
#include "quiz/quiz_status_panel.h"
#include "quiz/tile_layout.h"

#include <QApplication>

namespace kapitolo {

namespace {

QString targetState(const DocObject &o)
{
    switch (o.coverState) {
    case csOpenQuestion:
        return QStringLiteral("offen");
    case csAssigned:
        return QStringLiteral("zugeordnet");
    case csCorrect:
    case csUncovered:
        return QStringLiteral("richtig: ") + CleanCaption(o.Cap);
    case csWrongCross:
        return QStringLiteral("falsch beantwortet");
    default:
        return QString();
    }
}

} // namespace

void TForm1::connectQuizAccess()
{
    m_board->keyboardTargets = [this] {
        const bool singlePosition = m_doc.DokTyp != dtSingleQuestions && m_engine->options().queryMode == 2;
        return keyboardTargets(m_doc, m_engine->run().currentQuestionNo,
                               singlePosition ? m_engine->askedObject() : -1);
    };
    m_board->accessibleTargets = [this] {
        QList<AccessibleTarget> targets;
        if (!quizInProgress() || m_doc.DokTyp == dtSingleQuestions)
            return targets;
        for (const QuizPair &pair : m_engine->run().quizList) {
            const int i = pair.positionObject;
            if (i < 0 || i >= m_doc.objects.size())
                continue;
            const DocObject &o = m_doc.objects.at(i);
            if (o.hitBox.left < 0)
                continue;
            AccessibleTarget t;
            t.object = i;
            t.rect = quizTargetFrame(i).adjusted(4, 4, -4, -4);
            t.name = o.displayNo >= 1 ? QStringLiteral("Ziel ") + m_doc.displayNumberText(o) : QStringLiteral("Ziel");
            t.state = targetState(o);
            targets.append(t);
        }
        return targets;
    };
    connect(m_board, &QuizBoard::keyboardStatusChanged, this, [this](const QString &text) {
        m_statusPanel->showKeyboardStatus(text);
        if (!m_board->dropping()) // the evaluation that follows describes the outcome
            writeAutomationState();
    });
    // The end-to-end driver follows the focus frame through the tiles.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        auto onBoard = [this](QWidget *w) { return qobject_cast<AnswerTile *>(w) && w->parentWidget() == m_board; };
        if (quizInProgress() && !m_closing && (onBoard(old) || onBoard(now)))
            writeAutomationState();
    });
}

} // namespace kapitolo
