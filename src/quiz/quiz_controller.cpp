// The window side of a running quiz: the quiz panel over the card, the status panel, the
// clock, the sounds and the quiz dialogs.

#include "quiz/quiz_controller.h"

#include "platform/clock.h"
#include "platform/cursors.h"
#include "platform/messages.h"
#include "platform/qt_sound_player.h"
#include "platform/system_info.h"
#include "quiz/protocol.h"
#include "quiz/protocol_window.h"
#include "quiz/quiz_board.h"
#include "quiz/quiz_dialogs.h"
#include "quiz/quiz_option_forms.h"
#include "quiz/quiz_status_panel.h"
#include "quiz/tile_layout.h"
#include "view/card_renderer.h"

#include <QApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

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

QJsonObject box(const QRect &r)
{
    QJsonObject o;
    o[QStringLiteral("x")] = r.x();
    o[QStringLiteral("y")] = r.y();
    o[QStringLiteral("w")] = r.width();
    o[QStringLiteral("h")] = r.height();
    return o;
}

} // namespace

QuizController::QuizController(Services &services, TopicDocument &document, ViewState &view, CardBitmaps &bitmaps,
                               CardRenderer &renderer, QuizWindow &window, const QString &soundFolder, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_doc(document)
    , m_view(view)
    , m_bitmaps(bitmaps)
    , m_renderer(renderer)
    , m_window(window)
    , m_soundFolder(soundFolder)
{
    m_engine = std::make_unique<QuizEngine>(m_doc, m_services.messages, m_services.clock, m_services.random, *this);
    m_ownSoundPlayer = std::make_unique<QtSoundPlayer>(m_services.clock);
    m_soundPlayer = m_ownSoundPlayer.get();
    m_zeitTimer = new QTimer(this);
    m_zeitTimer->setObjectName(QStringLiteral("ZeitTimer"));
    m_zeitTimer->setInterval(100);
    connect(m_zeitTimer, &QTimer::timeout, this, &QuizController::ZeitTimerTimer);
}

QuizController::~QuizController() = default;

void QuizController::createBoard(QWidget *parent)
{
    m_board = new QuizBoard(m_services.clock, m_services.random, parent);

    // The quiz panel asks the card what lies under a tile, and the engine decides.
    m_board->hitTest = [this](const QRect &r) { return quizTileHitTest(r); };
    m_board->targetFrame = [this](int object) { return quizTargetFrame(object); };
    m_board->setHitObject = [this](int object) { m_engine->setHitObject(object); };
    m_board->questionPressed = [this] { m_engine->setHitObject(m_engine->askedObject()); };
    m_board->evaluate = [this](int pair) {
        m_evaluationRunning = true;
        m_engine->EvaluateAnswer(pair);
        m_evaluationRunning = false;
        m_window.describeState();
    };
    m_board->paintCard = [this](QPainter &painter, const QRect &rect) {
        painter.translate(rect.topLeft());
        paintCardControl(painter, rect.size(), m_bitmaps.display);
        painter.translate(-rect.topLeft());
    };
    // The tile area moves when single texts are shown: the card follows its left edge.
    connect(m_board, &QuizBoard::tileAreaChanged, this, [this] {
        if (!quizInProgress())
            return;
        m_view.controlSize = QSize(qMax(1, m_board->tileAreaLeft()), m_board->height());
        m_window.rebuildCard();
        drawPanelBackground();
    });
}

void QuizController::createStatusPanel(QWidget *parent, const QColor &cardColor)
{
    m_cardColor = cardColor;
    m_statusPanel = new QuizStatusPanel(parent);
    QPalette statusPalette = m_statusPanel->palette();
    statusPalette.setColor(QPalette::Window, m_cardColor);
    m_statusPanel->setPalette(statusPalette);
    m_statusPanel->hide();
    connectQuizAccess();
}

QWidget *QuizController::createDialog(const QString &name, const DialogLook &look, QWidget *parent)
{
    if (name == QLatin1String("TUebOptFragenForm")) {
        m_uebOptFragenForm = new TUebOptFragenForm(parent);
        m_uebOptFragenForm->applyLook(look);
        return m_uebOptFragenForm;
    }
    if (name == QLatin1String("TUebFertigForm")) {
        m_uebFertigForm = new TUebFertigForm(parent);
        m_uebFertigForm->applyLook(look);
        m_uebFertigForm->onShowProtocol = [this] { ensureProtocolWindow()->exec(); };
        return m_uebFertigForm;
    }
    if (name == QLatin1String("TKennzInfoBox")) {
        m_kennzInfoBox = new TKennzInfoBox(parent);
        m_kennzInfoBox->applyLook(look);
        connect(m_statusPanel, &QuizStatusPanel::keyFiguresRequested, this, [this] { m_kennzInfoBox->exec(); });
        return m_kennzInfoBox;
    }
    if (name == QLatin1String("TNameEingabeForm")) {
        m_nameEingabeForm = new TNameEingabeForm(parent);
        m_nameEingabeForm->applyLook(look);
        return m_nameEingabeForm;
    }
    if (name == QLatin1String("TUebOptForm")) {
        m_uebOptForm = new TUebOptForm(parent);
        m_uebOptForm->applyLook(look);
        if (m_uebOptFragenForm)
            m_uebOptFragenForm->shareShowCheckWith(m_uebOptForm);
        m_engine->setOptionsSource([this](qint32 dokTyp) {
            return dokTyp == dtSingleQuestions ? m_uebOptFragenForm->readOptions() : m_uebOptForm->readOptions();
        });
        return m_uebOptForm;
    }
    return nullptr;
}

TUebProtokollForm *QuizController::ensureProtocolWindow()
{
    if (m_protokollForm)
        return m_protokollForm;
    QWidget *parent = m_board->window();
    m_protokollForm = new TUebProtokollForm(m_services.messages, m_services.fileDialogs, parent);
    m_protokollForm->setObjectName(QStringLiteral("TUebProtokollForm"));
    m_protKomForm = new TProtKomForm(parent);
    m_protKomForm->setObjectName(QStringLiteral("TProtKomForm"));
    m_protokollForm->setCommentForm(m_protKomForm);
    m_protokollForm->setSaveFolder(m_protocolFolder);
    return m_protokollForm;
}

void QuizController::setProtocolFolder(const QString &folder)
{
    m_protocolFolder = folder;
    if (m_protokollForm)
        m_protokollForm->setSaveFolder(folder);
}

bool QuizController::quizInProgress() const
{
    return m_engine->appMode() == amQuizRunning;
}

QuizDisplay QuizController::quizDisplay() const
{
    QuizDisplay d;
    d.running = quizInProgress();
    d.queryMode = m_engine->options().queryMode;
    const int asked = m_engine->askedObject();
    d.askedPositionObject = d.running && m_doc.DokTyp != dtSingleQuestions && d.queryMode == 2 ? asked : -1;
    return d;
}

QuizOptionsDialog *QuizController::optionsForm(qint32 dokTyp) const
{
    return dokTyp == dtSingleQuestions ? static_cast<QuizOptionsDialog *>(m_uebOptFragenForm)
                                       : static_cast<QuizOptionsDialog *>(m_uebOptForm);
}

bool QuizController::UebungStart1Click(bool nameEntry, bool autoBestListEntry)
{
    m_engine->setNameEntryEnabled(nameEntry);
    m_engine->setAutoBestListEntry(autoBestListEntry);
    const bool started = m_engine->StartQuiz(0, nrOwnQuiz);
    updateModeControls();
    m_window.describeState();
    return started;
}

bool QuizController::UebOpt1Click()
{
    if (quizInProgress()) {
        m_services.messages.information(
            QStringLiteral("Die Übungsoptionen können nicht während der Übung geändert werden."));
        return false;
    }
    QuizOptionsDialog *form = optionsForm(m_doc.DokTyp);
    return form && form->exec() == QuizOptionsDialog::kStartQuiz;
}

void QuizController::ZeitTimerTimer()
{
    m_engine->ZeitTimerTimer();
    if (!quizInProgress())
        m_window.describeState();
}

void QuizController::showProtocol()
{
    ensureProtocolWindow()->exec();
}

bool QuizController::quizKey(QKeyEvent *event)
{
    return quizInProgress() && m_board->quizKey(event);
}

void QuizController::quizAreaResized(const QRect &area)
{
    if (!quizInProgress())
        return;
    // The quiz area follows the window: the tiles that are left go back to their
    // stacks, a single text or question is arranged again, the card follows.
    m_board->setGeometry(area);
    m_board->relayoutTiles();
    if (m_doc.DokTyp == dtSingleQuestions || m_engine->options().queryMode == 1)
        arrangeVisibleTiles();
}

void QuizController::prepareClose()
{
    m_closing = true;
    m_zeitTimer->stop();
}

bool QuizController::askNetworkOptions(qint32 dokTyp, QuizOptions &options)
{
    QuizOptionsDialog *form = optionsForm(dokTyp);
    if (!form)
        return false;
    form->setNetworkMode(true); // closing the dialog in any way restores it
    QTimer::singleShot(0, this, [this, form] { m_window.describeState(form->objectName()); });
    if (form->exec() != QuizOptionsDialog::kStartQuiz)
        return false;
    options = dokTyp == dtSingleQuestions ? m_uebOptFragenForm->readOptions() : m_uebOptForm->readOptions();
    return true;
}

// --- quiz frontend ---

bool QuizController::askParticipantName(QString &name)
{
    if (!m_nameEingabeForm)
        return true;
    QTimer::singleShot(0, this, [this] { m_window.describeState(QStringLiteral("TNameEingabeForm")); });
    const bool start = m_nameEingabeForm->exec() == TNameEingabeForm::kStartQuiz;
    name = m_nameEingabeForm->name();
    return start;
}

void QuizController::layoutQuizArea()
{
    const QRect area = m_window.quizArea();
    m_board->setGeometry(area);
    m_board->createTiles(m_engine->run().quizList, [this] {
        QStringList captions;
        for (const QuizPair &p : m_engine->run().quizList)
            captions << tileCaption(m_doc.objects.at(p.tileObject).Cap);
        return captions;
    }(), m_doc.DokTyp == dtSingleQuestions, m_engine->options().queryMode != 1, namedCursor(QStringLiteral("PFEILMOVE")));
}

void QuizController::enterQuizView()
{
    m_window.quizAreaEntered();
    const QRect area = m_window.quizArea();
    m_board->setGeometry(area);
    m_board->show();
    m_board->raise();
    // The keys reach the quiz at once, also after the name entry; Tab then walks the tiles.
    m_board->window()->activateWindow();
    m_board->setFocus(Qt::OtherFocusReason);
    layoutQuizArea();
    m_view.controlSize = QSize(qMax(1, m_board->tileAreaLeft()), area.height());
    m_view.zoomIndex = 0;
    m_view.zoomFactor = kZoomTable[0];
    m_statusPanel->show();
}

void QuizController::leaveQuizView()
{
    m_zeitTimer->stop();
    m_board->removeAllTiles();
    m_board->hide();
    m_statusPanel->hide();
    m_window.quizAreaLeft();
}

void QuizController::updateModeControls()
{
    const bool quiz = quizInProgress();
    m_statusPanel->setVisible(quiz);
    m_window.quizModeChanged(quiz, quiz && m_engine->run().networkRole == nrOwnQuiz);
}

void QuizController::redrawCard()
{
    m_window.rebuildCard();
    m_board->update();
}

void QuizController::redrawObject(int objectIndex)
{
    m_renderer.DrawObject(m_bitmaps.cardBitmap, objectIndex, 0, true, true, true);
    m_board->update(m_board->cardRect());
}

void QuizController::drawPanelBackground()
{
    m_board->drawBackground(m_cardColor, m_engine->instructionText());
}

bool QuizController::tileExists(int pair) const
{
    return m_board->tile(pair) != nullptr;
}

bool QuizController::isTileVisible(int pair) const
{
    const AnswerTile *t = m_board->tile(pair);
    return t && !t->isHidden();
}

void QuizController::setTileVisible(int pair, bool visible)
{
    if (AnswerTile *t = m_board->tile(pair))
        t->setVisible(visible);
}

void QuizController::hideAllTiles()
{
    for (int k = 0; k < m_board->tileCount(); ++k)
        setTileVisible(k, false);
    m_board->repaint();
}

QPoint QuizController::gridOrigin() const
{
    const RectD &w = m_view.viewWindow;
    const QPoint p = m_renderer.fractionToControl(w.left + 0.10 * (w.right - w.left), w.top + 0.58 * (w.bottom - w.top));
    return p + QPoint(4, 0);
}

void QuizController::arrangeVisibleTiles()
{
    m_board->arrangeVisibleTiles(m_engine->options().queryMode, m_doc.DokTyp == dtSingleQuestions, gridOrigin(),
                                 m_engine->options().tileOrder != 0);
}

void QuizController::setTileColour(int pair, const QColor &colour)
{
    if (AnswerTile *t = m_board->tile(pair)) {
        t->setBackgroundColor(colour);
        t->repaint();
    }
}

void QuizController::restoreTileColour(int pair)
{
    if (AnswerTile *t = m_board->tile(pair))
        t->restoreColour();
}

void QuizController::removeTile(int pair)
{
    m_board->removeTile(pair);
}

void QuizController::flyTileHome(int pair)
{
    m_board->flyTileHome(pair);
}

void QuizController::hideHitFrame()
{
    m_board->hideHitFrame();
}

void QuizController::showQuestionCounter(const QString &text)
{
    m_board->showQuestionCounter(text, gridOrigin());
}

void QuizController::showStatus(const QuizStatusTexts &texts)
{
    m_statusPanel->showTexts(texts);
}

void QuizController::showClock(const QString &text)
{
    m_statusPanel->showClock(text);
}

void QuizController::showVerdict(bool correct)
{
    m_statusPanel->showVerdict(correct);
}

void QuizController::playQuizSound(bool correct)
{
    if (!m_soundPlayer)
        return;
    if (!m_window.soundOn()) {
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

void QuizController::processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QuizController::setTimerEnabled(bool enabled)
{
    if (enabled)
        m_zeitTimer->start();
    else
        m_zeitTimer->stop();
}

void QuizController::finishProtocol()
{
    const ProtocolPlaces places = m_window.protocolPlaces();
    const ProtocolEnvironment env{computerName(), userName(), places.communicationFolder, places.channel,
                                  QLocale(QLocale::German, QLocale::Germany)};
    WriteProtocolSummary(m_engine->run(), m_engine->score(), m_engine->options(), m_doc, env);
    ensureProtocolWindow()->ShowProtocol(protocolText(m_engine->run()));
    if (places.autoSave)
        AutoSaveProtocol(*m_protokollForm->document(), places.protocolFolder, computerName(), m_services.clock,
                         m_services.messages);
}

bool QuizController::enterBestList()
{
    if (m_window.testRun())
        return false;
    return m_window.enterResultInBestList();
}

QuizFinishedChoice QuizController::showFinishedDialog(const QuizFinishedInfo &info)
{
    if (!m_uebFertigForm)
        return {};
    const QuizRun &run = m_engine->run();
    BestListState best = BestListState::NotOffered;
    if (run.bestListEntered)
        best = BestListState::Entered;
    else if (run.networkRole == nrOwnQuiz && run.selectionMode != 1 && !m_window.testRun())
        best = BestListState::Offered;
    m_uebFertigForm->fill(m_engine->score(), info.timeCaption, info.clock, info.repetitionEnabled, best);
    // Described once the dialog stands in its place.
    QTimer::singleShot(0, this, [this, info] { m_window.describeState(QStringLiteral("TUebFertigForm"), &info); });
    const int result = m_uebFertigForm->exec();
    return QuizFinishedChoice{result == TUebFertigForm::kRepeat, m_uebFertigForm->repetitionMode()};
}

// --- hit test of a dragged tile ---

int QuizController::quizTileHitTest(const QRect &panelRect) const
{
    // The card image lies at the panel's origin: panel pixels are its control pixels.
    const QPointF tl = m_renderer.controlToFraction(panelRect.topLeft());
    const QPointF br = m_renderer.controlToFraction(panelRect.bottomRight() + QPoint(1, 1));
    const RectD tile{tl.x(), tl.y(), br.x(), br.y()};
    const bool singlePosition = m_doc.DokTyp != dtSingleQuestions && m_engine->options().queryMode == 2;
    return quizHitTest(m_doc, tile, m_engine->run().currentQuestionNo, singlePosition ? m_engine->askedObject() : -1);
}

QRect QuizController::quizTargetFrame(int object) const
{
    if (object < 0 || object >= m_doc.objects.size())
        return {};
    const RectD &b = m_doc.objects.at(object).hitBox;
    const QPoint tl = m_renderer.fractionToControl(b.left, b.top);
    const QPoint br = m_renderer.fractionToControl(b.right, b.bottom);
    return QRect(tl, br).adjusted(-4, -4, 4, 4);
}

// --- keyboard play and screen readers ---

void QuizController::connectQuizAccess()
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
            m_window.describeState();
    });
    // The end-to-end driver follows the focus frame through the tiles.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        auto onBoard = [this](QWidget *w) { return qobject_cast<AnswerTile *>(w) && w->parentWidget() == m_board; };
        if (quizInProgress() && !m_closing && (onBoard(old) || onBoard(now)))
            m_window.describeState();
    });
}

// --- automation ---

void QuizController::describeQuiz(QJsonObject &state) const
{
    QJsonArray tiles;
    QJsonArray targets;
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
    state[QStringLiteral("tiles")] = tiles;
    state[QStringLiteral("targets")] = targets;
}

void QuizController::describeFinished(QJsonObject &state, const QuizFinishedInfo &finished) const
{
    QJsonObject f;
    f[QStringLiteral("correct")] = finished.correct;
    f[QStringLiteral("failed")] = finished.failed;
    f[QStringLiteral("successRate")] = finished.successRate;
    f[QStringLiteral("open")] = finished.open;
    f[QStringLiteral("totalPerformance")] = finished.totalPerformanceText;
    f[QStringLiteral("grade")] = finished.grade;
    f[QStringLiteral("rating")] = finished.rating;
    f[QStringLiteral("repetitionEnabled")] = finished.repetitionEnabled;
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

} // namespace kapitolo
