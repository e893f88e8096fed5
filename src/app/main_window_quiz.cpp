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
#include "view/infobox_form.h"
#include "view/learning_view.h"
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
    return m_engine->appMode();
}

bool TForm1::quizInProgress() const
{
    return m_engine->appMode() == amQuizRunning;
}

void TForm1::rebuildCard()
{
    if (m_closing)
        return;
    m_renderer->BuildCardView();
    m_doc.normaliseAfterRebuild(quizInProgress());
}

bool TForm1::UebungStart1Click()
{
    m_engine->setNameEntryEnabled(findMenuAction(QStringLiteral("OptNameEingabe1"))->isChecked());
    m_engine->setAutoBestListEntry(findMenuAction(QStringLiteral("ErgebBestListEintragen1"))->isChecked());
    const bool started = m_engine->StartQuiz(0, nrOwnQuiz);
    updateModeControls();
    writeAutomationState();
    return started;
}

void TForm1::LernKartBtnClick()
{
    if (quizInProgress()) {
        m_engine->CancelQuiz();
        writeAutomationState();
        return;
    }
    ShowStartPage();
}

void TForm1::ZeitTimerTimer()
{
    m_engine->ZeitTimerTimer();
    if (!quizInProgress())
        writeAutomationState();
}

// --- learning view host ---

QuizDisplay TForm1::quizDisplay() const
{
    QuizDisplay d;
    d.running = quizInProgress();
    d.queryMode = m_engine->options().queryMode;
    const int asked = m_engine->askedObject();
    d.askedPositionObject = d.running && m_doc.DokTyp != dtSingleQuestions && d.queryMode == 2 ? asked : -1;
    return d;
}

void TForm1::repaintCard()
{
    if (quizInProgress())
        m_board->update(m_board->cardRect());
    else
        m_cardArea->image()->update();
}

void TForm1::redrawQuizPanel()
{
    if (quizInProgress())
        m_board->update(m_board->cardRect());
}

void TForm1::placePositionMarker(const QRect &rect, bool visible)
{
    QWidget *marker = m_cardArea->marker();
    if (quizInProgress()) {
        marker->hide();
        return;
    }
    marker->setGeometry(rect);
    marker->setVisible(visible);
}

void TForm1::setCardCursor(CardCursor cursor)
{
    m_cardArea->image()->setCardCursor(cursor);
}


bool TForm1::shellOpen(const QString &target)
{
    return m_services.shell.open(target);
}

void TForm1::showInfoText(const QString &caption)
{
    if (m_infoboxForm)
        m_infoboxForm->showInfoText(caption, frameGeometry());
}

DocumentLinkFolders TForm1::documentLinkFolders() const
{
    DocumentLinkFolders f;
    f.topicFolder = m_topicFolder;
    f.documentFolder = m_doc.isLoaded() ? withTrailingSeparator(QFileInfo(m_doc.fileName).absolutePath()) : m_topicFolder;
    f.startFolder = m_startFolder;
    f.programFolder = m_programFolder;
    return f;
}

void TForm1::openTopicFolder(const QString &folder)
{
    m_topicFolder = withTrailingSeparator(folder);
    m_openDialogFolder = m_topicFolder;
    CloseDocument();
}

void TForm1::openLinkedDocument(const QString &path)
{
    ReadDocumentAsTopic(path);
    ReadTopicFolder();
}

// --- quiz frontend ---

bool TForm1::askParticipantName(QString &name)
{
    if (!m_nameEingabeForm)
        return true;
    QTimer::singleShot(0, this, [this] { writeAutomationState(QStringLiteral("TNameEingabeForm")); });
    const bool start = m_nameEingabeForm->exec() == TNameEingabeForm::kStartQuiz;
    name = m_nameEingabeForm->name();
    return start;
}

void TForm1::layoutQuizArea()
{
    const QRect area = m_cardArea->boardRect();
    m_board->setGeometry(area);
    m_board->createTiles(m_engine->run().quizList, [this] {
        QStringList captions;
        for (const QuizPair &p : m_engine->run().quizList)
            captions << tileCaption(m_doc.objects.at(p.tileObject).Cap);
        return captions;
    }(), m_doc.DokTyp == dtSingleQuestions, m_engine->options().queryMode != 1, namedCursor(QStringLiteral("PFEILMOVE")));
}

void TForm1::enterQuizView()
{
    m_learning->SelectTool(toolPointer);
    placeLearningToolStrip(false);
    m_cardArea->startPanel()->hide();
    m_cardArea->image()->hide();
    m_cardArea->marker()->hide();
    const QRect area = m_cardArea->boardRect();
    m_board->setGeometry(area);
    m_board->show();
    m_board->raise();
    // The keys reach the quiz at once, also after the name entry; Tab then walks the tiles.
    activateWindow();
    m_board->setFocus(Qt::OtherFocusReason);
    layoutQuizArea();
    m_view.controlSize = QSize(qMax(1, m_board->tileAreaLeft()), area.height());
    m_view.zoomIndex = 0;
    m_view.zoomFactor = kZoomTable[0];
    m_statusPanel->show();
}

void TForm1::leaveQuizView()
{
    m_zeitTimer->stop();
    m_board->removeAllTiles();
    m_board->hide();
    m_statusPanel->hide();
    m_cardArea->image()->show();
    placeLearningToolStrip(true);
    m_view.controlSize = m_cardArea->image()->size();
    m_learning->RestoreAfterQuiz();
    rebuildCard();
    showCardOrStartPage();
}

void TForm1::updateModeControls()
{
    const bool quiz = quizInProgress();
    m_statusPanel->setVisible(quiz);
    if (THoverPanel *b = toolButton(QStringLiteral("LernKartBtn"))) {
        b->setCaption(quiz ? QStringLiteral("Quiz\r\nabbrechen") : QStringLiteral("Startseite"));
        b->setChecked(!quiz);
    }
    if (THoverPanel *b = toolButton(QStringLiteral("UebungenBtn")))
        b->setChecked(quiz && m_engine->run().networkRole == nrOwnQuiz);
    setQuizMenuEnabled(!quiz);
    // The learning view's tools act only outside a quiz.
    m_lernansichtMenu->setEnabled(!quiz);
}

void TForm1::redrawCard()
{
    rebuildCard();
    m_board->update();
}

void TForm1::redrawObject(int objectIndex)
{
    m_renderer->DrawObject(m_bitmaps.cardBitmap, objectIndex, 0, true, true, true);
    m_board->update(m_board->cardRect());
}

void TForm1::drawPanelBackground()
{
    m_board->drawBackground(m_cardColor, m_engine->instructionText());
}

bool TForm1::tileExists(int pair) const
{
    return m_board->tile(pair) != nullptr;
}

bool TForm1::isTileVisible(int pair) const
{
    const AnswerTile *t = m_board->tile(pair);
    return t && !t->isHidden();
}

void TForm1::setTileVisible(int pair, bool visible)
{
    if (AnswerTile *t = m_board->tile(pair))
        t->setVisible(visible);
}

void TForm1::hideAllTiles()
{
    for (int k = 0; k < m_board->tileCount(); ++k)
        setTileVisible(k, false);
    m_board->repaint();
}

QPoint TForm1::gridOrigin() const
{
    const RectD &w = m_view.viewWindow;
    const QPoint p = m_renderer->fractionToControl(w.left + 0.10 * (w.right - w.left), w.top + 0.58 * (w.bottom - w.top));
    return p + QPoint(4, 0);
}

void TForm1::arrangeVisibleTiles()
{
    m_board->arrangeVisibleTiles(m_engine->options().queryMode, m_doc.DokTyp == dtSingleQuestions, gridOrigin(),
                                 m_engine->options().tileOrder != 0);
}

void TForm1::setTileColour(int pair, const QColor &colour)
{
    if (AnswerTile *t = m_board->tile(pair)) {
        t->setBackgroundColor(colour);
        t->repaint();
    }
}

void TForm1::restoreTileColour(int pair)
{
    if (AnswerTile *t = m_board->tile(pair))
        t->restoreColour();
}

void TForm1::removeTile(int pair)
{
    m_board->removeTile(pair);
}

void TForm1::flyTileHome(int pair)
{
    m_board->flyTileHome(pair);
}

void TForm1::hideHitFrame()
{
    m_board->hideHitFrame();
}

void TForm1::showQuestionCounter(const QString &text)
{
    m_board->showQuestionCounter(text, gridOrigin());
}

void TForm1::showStatus(const QuizStatusTexts &texts)
{
    m_statusPanel->showTexts(texts);
}

void TForm1::showClock(const QString &text)
{
    m_statusPanel->showClock(text);
}

void TForm1::showVerdict(bool correct)
{
    m_statusPanel->showVerdict(correct);
}

void TForm1::playQuizSound(bool correct)
{
    if (!m_soundPlayer)
        return;
    if (!findMenuAction(QStringLiteral("Sound1"))->isChecked()) {
        m_soundPlayer->stop();
        return;
    }
    const QString name = correct ? QStringLiteral("Richtig1.wav") : QStringLiteral("Falsch1.wav");
    const QString path = m_soundFolder + name;
    if (!QFileInfo::exists(path)) {
        m_services.messages.error(QStringLiteral("Sounddatei \"") + name + QStringLiteral("\" nicht gefunden."));
        return;
    }
    m_soundPlayer->playToEnd(path);
}

void TForm1::processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm1::setTimerEnabled(bool enabled)
{
    if (enabled)
        m_zeitTimer->start();
    else
        m_zeitTimer->stop();
}

void TForm1::finishProtocol()
{
    takeSettingsFromControls();
    const ProtocolEnvironment env{computerName(), userName(), m_settings.communicationFolder, m_settings.channel,
                                  QLocale(QLocale::German, QLocale::Germany)};
    WriteProtocolSummary(m_engine->run(), m_engine->score(), m_engine->options(), m_doc, env);
    if (!m_protokollForm)
        return;
    m_protokollForm->ShowProtocol(protocolText(m_engine->run()));
    if (findMenuAction(QStringLiteral("AutoProtSpeichern1"))->isChecked())
        AutoSaveProtocol(*m_protokollForm->document(), m_settings.protocolFolder, computerName(), m_services.clock,
                         m_services.messages);
}

bool TForm1::enterBestList()
{
    if (testingEditedTopic())
        return false;
    EnterResultAtQuizEnd(m_engine->run(), m_engine->score(), true, m_doc, bestListPlaces(), computerName(),
                         m_services.clock, m_services.messages);
    return m_engine->run().bestListEntered;
}

QuizFinishedChoice TForm1::showFinishedDialog(const QuizFinishedInfo &info)
{
    if (!m_uebFertigForm)
        return {};
    const QuizRun &run = m_engine->run();
    BestListState best = BestListState::NotOffered;
    if (run.bestListEntered)
        best = BestListState::Entered;
    else if (run.networkRole == nrOwnQuiz && run.selectionMode != 1 && !testingEditedTopic())
        best = BestListState::Offered;
    m_uebFertigForm->fill(m_engine->score(), info.timeCaption, info.clock, info.repetitionEnabled, best);
    // Described once the dialog stands in its place.
    QTimer::singleShot(0, this, [this, info] { writeAutomationState(QStringLiteral("TUebFertigForm"), &info); });
    const int result = m_uebFertigForm->exec();
    return QuizFinishedChoice{result == TUebFertigForm::kRepeat, m_uebFertigForm->repetitionMode()};
}

// --- hit test of a dragged tile ---

int TForm1::quizTileHitTest(const QRect &panelRect) const
{
    // The card image lies at the panel's origin: panel pixels are its control pixels.
    const QPointF tl = m_renderer->controlToFraction(panelRect.topLeft());
    const QPointF br = m_renderer->controlToFraction(panelRect.bottomRight() + QPoint(1, 1));
    const RectD tile{tl.x(), tl.y(), br.x(), br.y()};
    const bool singlePosition = m_doc.DokTyp != dtSingleQuestions && m_engine->options().queryMode == 2;
    return quizHitTest(m_doc, tile, m_engine->run().currentQuestionNo, singlePosition ? m_engine->askedObject() : -1);
}

QRect TForm1::quizTargetFrame(int object) const
{
    if (object < 0 || object >= m_doc.objects.size())
        return {};
    const RectD &b = m_doc.objects.at(object).hitBox;
    const QPoint tl = m_renderer->fractionToControl(b.left, b.top);
    const QPoint br = m_renderer->fractionToControl(b.right, b.bottom);
    return QRect(tl, br).adjusted(-4, -4, 4, 4);
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
    state[QStringLiteral("idle")] = !m_evaluationRunning && dialog.isEmpty();
    state[QStringLiteral("dialog")] = dialog;
    QJsonArray items;
    for (QAction *a : m_quizMenu->topicActions())
        items.append(a->text());
    state[QStringLiteral("menuItems")] = items;
    const QRect menuRect = menuBar()->actionGeometry(m_quizMenu->menuAction());
    const QPoint menuCentre = menuBar()->mapToGlobal(menuRect.center());
    state[QStringLiteral("quizMenu")] = QJsonArray{menuCentre.x(), menuCentre.y()};
    auto box = [](const QRect &r) {
        QJsonObject o;
        o[QStringLiteral("x")] = r.x();
        o[QStringLiteral("y")] = r.y();
        o[QStringLiteral("w")] = r.width();
        o[QStringLiteral("h")] = r.height();
        return o;
    };
    QJsonArray tiles;
    QJsonArray targets;
    if (quizInProgress()) {
        for (int k = 0; k < m_board->tileCount(); ++k) {
            const AnswerTile *t = m_board->tile(k);
            if (!t)
                continue;
            QJsonObject o = box(QRect(m_board->mapToGlobal(t->pos()), t->size()));
            o[QStringLiteral("pair")] = k;
            o[QStringLiteral("caption")] = CleanCaption(m_doc.objects.at(t->tileObject()).Cap);
            o[QStringLiteral("visible")] = !t->isHidden();
            tiles.append(o);
        }
        for (int i = 0; i < m_doc.objects.size(); ++i) {
            const DocObject &o = m_doc.objects.at(i);
            if (o.coverState != csOpenQuestion || o.hitBox.left < 0)
                continue;
            const QRect frame = quizTargetFrame(i).adjusted(4, 4, -4, -4);
            QJsonObject t = box(QRect(m_board->mapToGlobal(frame.topLeft()), frame.size()));
            t[QStringLiteral("object")] = i;
            t[QStringLiteral("caption")] = CleanCaption(o.Cap);
            t[QStringLiteral("number")] = m_doc.displayNumberText(o);
            targets.append(t);
        }
        const int asked = m_engine->askedObject();
        state[QStringLiteral("answer")] = asked >= 0 ? CleanCaption(m_doc.objects.at(asked).Cap) : QString();
        const auto *focused = qobject_cast<const AnswerTile *>(QApplication::focusWidget());
        state[QStringLiteral("focusedPair")] = focused && focused->parentWidget() == m_board ? focused->pair() : -1;
        state[QStringLiteral("heldPair")] = m_board->heldPair();
    } else {
        state[QStringLiteral("learningView")] = learningViewAutomationState();
    }
    state[QStringLiteral("network")] = networkAutomationState();
    state[QStringLiteral("tiles")] = tiles;
    state[QStringLiteral("targets")] = targets;
    if (finished) {
        QJsonObject f;
        f[QStringLiteral("correct")] = finished->correct;
        f[QStringLiteral("failed")] = finished->failed;
        f[QStringLiteral("successRate")] = finished->successRate;
        f[QStringLiteral("open")] = finished->open;
        f[QStringLiteral("totalPerformance")] = finished->totalPerformanceText;
        f[QStringLiteral("grade")] = finished->grade;
        f[QStringLiteral("rating")] = finished->rating;
        f[QStringLiteral("repetitionEnabled")] = finished->repetitionEnabled;
        state[QStringLiteral("finished")] = f;
        if (m_uebFertigForm) {
            const QWidget *repeat = m_uebFertigForm->wiederholenBtn();
            const QPoint c = repeat->mapToGlobal(repeat->rect().center());
            state[QStringLiteral("repeatButton")] = QJsonArray{c.x(), c.y()};
            const QList<QRadioButton *> modes = m_uebFertigForm->findChildren<QRadioButton *>();
            if (modes.size() == 2) {
                const QPoint o = modes.at(1)->mapToGlobal(QPoint(8, modes.at(1)->height() / 2));
                state[QStringLiteral("repeatWrongOption")] = QJsonArray{o.x(), o.y()};
            }
        }
    }
    writeFileAtomically(m_automationFile, QJsonDocument(state).toJson(QJsonDocument::Compact));
}

} // namespace kapitolo
