#include "app/automation_state.h"

#include "app/main_window.h"
#include "app/topic_menu.h"
#include "platform/save_path.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenuBar>

namespace kapitolo {

AutomationState::AutomationState()
    : m_file(qEnvironmentVariable("KAPITOLO_AUTOMATION"))
{
}

void AutomationState::write(TForm1 &window, const QString &dialog, const QuizFinishedInfo *finished)
{
    if (m_file.isEmpty())
        return;
    QJsonObject state;
    state[QStringLiteral("serial")] = ++m_serial;
    state[QStringLiteral("appMode")] = window.appMode();
    state[QStringLiteral("idle")] = !window.quiz().evaluationRunning() && dialog.isEmpty();
    state[QStringLiteral("dialog")] = dialog;
    QJsonArray items;
    for (QAction *a : window.quizMenu()->topicActions())
        items.append(a->text());
    state[QStringLiteral("menuItems")] = items;
    const QRect menuRect = window.menuBar()->actionGeometry(window.quizMenu()->menuAction());
    const QPoint menuCentre = window.menuBar()->mapToGlobal(menuRect.center());
    state[QStringLiteral("quizMenu")] = QJsonArray{menuCentre.x(), menuCentre.y()};
    if (window.quizInProgress()) {
        window.quiz().describeQuiz(state);
    } else {
        const bool startPage = window.startInfoPanel()->isVisible();
        state[QStringLiteral("learningView")] = window.learningViewController().automationState(startPage);
        state[QStringLiteral("tiles")] = QJsonArray();
        state[QStringLiteral("targets")] = QJsonArray();
    }
    state[QStringLiteral("network")] = window.networkQuiz().automationState();
    if (finished)
        window.quiz().describeFinished(state, *finished);
    writeFileAtomically(m_file, QJsonDocument(state).toJson(QJsonDocument::Compact));
}

} // namespace kapitolo
