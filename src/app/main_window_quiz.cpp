// The main window's side of the learning card and of a running quiz.

#include "app/main_window.h"

#include "app/card_area.h"
#include "app/topic_menu.h"
#include "platform/cursors.h"

#include "controls/hover_panel.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "platform/save_path.h"
#include "platform/sound.h"
#include "platform/system_info.h"
#include "quiz/dialog_rules.h"
#include "quiz/protocol.h"
#include "quiz/protocol_window.h"
#include "results/best_list_commands.h"
#include "quiz/quiz_board.h"
#include "quiz/quiz_dialogs.h"
#include "quiz/quiz_status_panel.h"
#include "quiz/tile_layout.h"
#include "view/card_image_widget.h"
#include "view/card_renderer.h"
#include "view/learning_view.h"
#include <QMenu>
#include "view/view_output_ui.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace kapitolo {

int TForm1::appMode() const
{
    return m_quiz->engine().appMode();
}

bool TForm1::quizInProgress() const
{
    return m_quiz->quizInProgress();
}

void TForm1::rebuildCard()
{
    if (m_closing)
        return;
    m_viewCtl->renderer().BuildCardView();
    m_doc.normaliseAfterRebuild(quizInProgress());
}

bool TForm1::UebungStart1Click()
{
    return m_quiz->UebungStart1Click(findMenuAction(QStringLiteral("OptNameEingabe1"))->isChecked(),
                                     findMenuAction(QStringLiteral("ErgebBestListEintragen1"))->isChecked());
}

void TForm1::leaveQuiz()
{
    m_quiz->engine().LeaveQuiz();
}

void TForm1::showTopicItems(const QStringList &captions, int columnBreak)
{
    m_quizMenu->setTopics(captions, columnBreak);
}

void TForm1::checkTopicItem(int index)
{
    if (index < m_quizMenu->topicActions().size())
        m_quizMenu->topicActions().at(index)->setChecked(true);
}

void TForm1::documentRead()
{
    m_view.zoomIndex = 0;
    m_view.zoomFactor = kZoomTable[0];
    m_viewCtl->learningView().SetNumbering(m_view.numberingMode, false);
    rebuildCard();
}

void TForm1::documentClosed()
{
    m_bestList = BestList();
    rebuildCard();
}

void TForm1::LernKartBtnClick()
{
    if (quizInProgress()) {
        m_quiz->engine().CancelQuiz();
        writeAutomationState();
        return;
    }
    m_topics->ShowStartPage();
}

// --- the learning view's window ---

QuizDisplay TForm1::quizDisplay() const
{
    QuizDisplay d;
    d.running = quizInProgress();
    d.queryMode = m_quiz->engine().options().queryMode;
    const int asked = m_quiz->engine().askedObject();
    d.askedPositionObject = d.running && m_doc.DokTyp != dtSingleQuestions && d.queryMode == 2 ? asked : -1;
    return d;
}

void TForm1::repaintQuizCard()
{
    m_quiz->board()->update(m_quiz->board()->cardRect());
}

DocumentLinkFolders TForm1::documentLinkFolders() const
{
    return m_topics->documentLinkFolders();
}

void TForm1::openTopicFolder(const QString &folder)
{
    m_topics->openTopicFolder(folder);
}

void TForm1::openLinkedDocument(const QString &path)
{
    m_topics->openLinkedDocument(path);
}

void TForm1::learningViewChanged()
{
    // For the end-to-end driver: the learning card after a tool, zoom or numbering change.
    if (!m_firstShowing && !quizInProgress())
        writeAutomationState();
}

CardImageWidget *TForm1::cardImage() const
{
    return m_cardArea->image();
}

void TForm1::SetLearningViewShown(bool on)
{
    if (QAction *item = findMenuAction(QStringLiteral("LernansichtAnzeigen1")))
        item->setChecked(on);
    m_settings.learningView = on;
    m_view.cardHiddenOutsideQuiz = !on;
    m_viewCtl->placeToolStrip(!quizInProgress());
    QMenuBar *bar = menuBar();
    bar->removeAction(m_viewCtl->menu()->menuAction());
    if (on) {
        // In its place between "&Quizauswahl" and "&Optionen".
        if (auto *optionen = findChild<QMenu *>(QStringLiteral("Optionen1")))
            bar->insertMenu(optionen->menuAction(), m_viewCtl->menu());
    } else {
        m_viewCtl->learningView().SelectTool(toolPointer);
    }
    if (!quizInProgress())
        m_viewCtl->renderer().ShowWindow(); // the display shows the card, or clears it again
    showCardOrStartPage();
}

void TForm1::showCardOrStartPage()
{
    if (quizInProgress())
        return;
    QWidget *start = m_cardArea->startPanel();
    const bool card = learningViewShown() && m_doc.isLoaded();
    start->setVisible(!card);
    if (!card)
        start->raise();
}

// --- the quiz's window ---

QRect TForm1::quizArea() const
{
    return m_cardArea->boardRect();
}

void TForm1::quizAreaEntered()
{
    m_viewCtl->learningView().SelectTool(toolPointer);
    m_viewCtl->placeToolStrip(false);
    m_cardArea->startPanel()->hide();
    m_cardArea->image()->hide();
    m_cardArea->marker()->hide();
}

void TForm1::quizAreaLeft()
{
    m_cardArea->image()->show();
    m_viewCtl->placeToolStrip(true);
    m_view.controlSize = m_cardArea->image()->size();
    m_viewCtl->learningView().RestoreAfterQuiz();
    rebuildCard();
    showCardOrStartPage();
}

void TForm1::quizModeChanged(bool quiz, bool ownQuiz)
{
    if (THoverPanel *b = toolButton(QStringLiteral("LernKartBtn"))) {
        b->setCaption(quiz ? QStringLiteral("Quiz\r\nabbrechen") : QStringLiteral("Startseite"));
        b->setChecked(!quiz);
    }
    if (THoverPanel *b = toolButton(QStringLiteral("UebungenBtn")))
        b->setChecked(ownQuiz);
    setQuizMenuEnabled(!quiz);
    // The learning view's tools act only outside a quiz.
    m_viewCtl->menu()->setEnabled(!quiz);
}

bool TForm1::soundOn() const
{
    return findMenuAction(QStringLiteral("Sound1"))->isChecked();
}

ProtocolPlaces TForm1::protocolPlaces()
{
    takeSettingsFromControls();
    return ProtocolPlaces{m_settings.communicationFolder, m_settings.channel, m_settings.protocolFolder,
                          findMenuAction(QStringLiteral("AutoProtSpeichern1"))->isChecked()};
}

bool TForm1::enterResultInBestList()
{
    QuizEngine &engine = m_quiz->engine();
    EnterResultAtQuizEnd(engine.run(), engine.score(), true, m_doc, bestListPlaces(), computerName(),
                         m_services.clock, m_services.messages);
    return engine.run().bestListEntered;
}

// --- automation ---

// With KAPITOLO_AUTOMATION set, the window describes what is on the screen in that file
// after every change, so that an end-to-end test can play a quiz with the real mouse.
void TForm1::writeAutomationState(const QString &dialog, const QuizFinishedInfo *finished)
{
    if (m_automationFile.isEmpty())
        return;
    QJsonObject state;
    state[QStringLiteral("serial")] = ++m_automationSerial;
    state[QStringLiteral("appMode")] = appMode();
    state[QStringLiteral("idle")] = !m_quiz->evaluationRunning() && dialog.isEmpty();
    state[QStringLiteral("dialog")] = dialog;
    QJsonArray items;
    for (QAction *a : m_quizMenu->topicActions())
        items.append(a->text());
    state[QStringLiteral("menuItems")] = items;
    const QRect menuRect = menuBar()->actionGeometry(m_quizMenu->menuAction());
    const QPoint menuCentre = menuBar()->mapToGlobal(menuRect.center());
    state[QStringLiteral("quizMenu")] = QJsonArray{menuCentre.x(), menuCentre.y()};
    if (quizInProgress()) {
        m_quiz->describeQuiz(state);
    } else {
        state[QStringLiteral("learningView")] = m_viewCtl->automationState(m_cardArea->startPanel()->isVisible());
        state[QStringLiteral("tiles")] = QJsonArray();
        state[QStringLiteral("targets")] = QJsonArray();
    }
    state[QStringLiteral("network")] = m_net->automationState();
    if (finished)
        m_quiz->describeFinished(state, *finished);
    writeFileAtomically(m_automationFile, QJsonDocument(state).toJson(QJsonDocument::Compact));
}

} // namespace kapitolo
