// The window side of a running quiz: the quiz panel over the card, the status panel, the
// clock, the sounds and the quiz dialogs.

#include "quiz/quiz_controller.h"

#include "learning/learning_items.h"
#include "learning/learning_record.h"
#include "platform/clock.h"
#include "platform/cursors.h"
#include "platform/messages.h"
#include "platform/nearest.h"
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

QString targetState(const DocObject &o, const ObjectMark &mark)
{
    switch (mark.coverState) {
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
    m_engine->setProtocolEnvironment([this] {
        const ProtocolPlaces places = m_window.protocolPlaces();
        return ProtocolEnvironment{computerName(), userName(), places.communicationFolder, places.channel,
                                   QLocale(QLocale::German, QLocale::Germany)};
    });
    m_soundPlayer = std::make_unique<QtSoundPlayer>();
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
    m_board->askedQuestion = [this] { return m_engine->askedObject(); };
    m_board->evaluate = [this](int pair, int target) { answer(pair, target); };
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
    d.placeAsked = m_engine->options().queryMode == qmSinglePosition;
    d.askedPositionObject = m_engine->onlyTarget();
    d.question = m_engine->run().currentQuestionNo;
    d.marks = m_engine->run().marks;
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

bool QuizController::startPractice(const QList<int> &objects, bool nameEntry)
{
    m_engine->setNameEntryEnabled(nameEntry);
    m_engine->setAutoBestListEntry(false); // a part of a topic enters no best list
    const bool started = m_engine->StartQuizOn(objects);
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
    m_zeitTimer->stop();
    m_engine->ZeitTimerTimer();
    if (m_engine->running())
        m_zeitTimer->start();
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
    if (m_engine->singleQuestions() || m_engine->options().queryMode == qmSingleText)
        arrangeVisibleTiles();
    if (m_engine->singleQuestions())
        m_board->showQuestionCounter(m_engine->questionCounter(), [this](QSize size) { return counterPlace(size); });
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

void QuizController::quizStarted()
{
    ++m_generation; // a verdict of an earlier quiz still on its timers is over
    m_feedbackRunning = false;
    rememberAnswers();
    m_feedback.clear();
    m_textsShown = false;
    enterQuizView();
    updateModeControls();
    redrawCard();
    drawPanelBackground();
    showQuestion();
    showStatus();
    m_zeitTimer->start();
}

void QuizController::questionChanged()
{
    if (m_engine->singleQuestions() || m_engine->options().queryMode == qmSinglePosition) {
        redrawCard();
        drawPanelBackground();
    }
    showQuestion();
}

void QuizController::showQuestion()
{
    // One text or one question at a time: the engine says which tiles are offered. On
    // the stacks the panel keeps its own order (tiles may wait there for room).
    if (!m_engine->singleQuestions() && m_engine->options().queryMode != qmSingleText)
        return;
    for (int k = 0; k < m_board->tileCount(); ++k)
        if (AnswerTile *t = m_board->tile(k))
            t->setVisible(m_engine->tileShown(k));
    if (m_engine->singleQuestions())
        m_board->showQuestionCounter(m_engine->questionCounter(), [this](QSize size) { return counterPlace(size); });
    arrangeVisibleTiles();
}

void QuizController::answer(int pair, int target)
{
    if (m_feedbackRunning || !quizInProgress())
        return;
    m_evaluating = true;
    const QuizVerdict verdict = m_engine->evaluate(pair, target);
    m_evaluating = false;
    if (!verdict.taken()) {
        // Beside every target: the tile stays where it was let go, nothing counts.
        m_board->hideHitFrame();
        m_board->answerSettled();
        m_window.describeState();
    }
}

void QuizController::rememberAnswers()
{
    // A repetition starts a quiz of its own: the answers so far are written first.
    if (m_learningTopic && m_learningRecord)
        m_learningRecord().flush();
    m_learningTopic.reset();
    m_gradedObjects.clear();
    if (m_learningRecord && !m_window.testRun())
        m_learningTopic = learningTopic(m_doc);
}

void QuizController::rememberAnswer(const QuizVerdict &verdict)
{
    // Each object is graded once a quiz, by its first answer. A tile put on the wrong place
    // shows that both were confused (the place and the name the tile carries): the tile's
    // own place fails too, unless it was answered before. A single question's answers all
    // belong to that question.
    LearningRecord &record = m_learningRecord();
    const bool first = verdict.firstTry && !m_gradedObjects.contains(verdict.object);
    record.recordVerdict(m_learningTopic, verdict.object, verdict.correct, first);
    m_gradedObjects.insert(verdict.object);
    if (!verdict.correct && !m_engine->singleQuestions() && verdict.tileObject >= 0
        && verdict.tileObject != verdict.object && !m_gradedObjects.contains(verdict.tileObject)) {
        record.recordVerdict(m_learningTopic, verdict.tileObject, false, true);
        m_gradedObjects.insert(verdict.tileObject);
    }
}

void QuizController::verdictGiven(const QuizVerdict &verdict)
{
    if (m_learningTopic && verdict.taken() && verdict.object >= 0)
        rememberAnswer(verdict);
    m_feedback = feedbackSteps(verdict, m_engine->singleQuestions(), m_engine->options().queryMode,
                               m_engine->options().onFailed, m_engine->correctTile());
    m_nextStep = 0;
    m_feedbackRunning = true;
    m_board->setInputLocked(true);
    playFeedback(m_generation);
}

void QuizController::playFeedback(int generation)
{
    if (generation != m_generation || !m_feedbackRunning)
        return; // the quiz was left or started anew meanwhile
    auto next = [this, generation] { playFeedback(generation); };
    while (m_nextStep < m_feedback.size()) {
        const FeedbackStep step = m_feedback.at(m_nextStep++);
        AnswerTile *tile = m_board->tile(step.pair);
        switch (step.kind) {
        case FeedbackStep::ShowVerdict:
            m_statusPanel->showVerdict(step.correct);
            m_textsShown = false; // the figures come after the verdict
            break;
        case FeedbackStep::TileColour:
            if (tile) {
                tile->setBackgroundColor(step.colour);
                tile->repaint();
            }
            break;
        case FeedbackStep::RestoreColour:
            if (tile)
                tile->restoreColour();
            break;
        case FeedbackStep::Sound:
            if (const int length = playQuizSound(step.correct); length > 0) {
                m_services.clock.callAfter(length, this, next);
                return;
            }
            break;
        case FeedbackStep::Pause:
            m_services.clock.callAfter(step.milliseconds, this, next);
            return;
        case FeedbackStep::HideAllTiles:
            for (int k = 0; k < m_board->tileCount(); ++k)
                if (AnswerTile *t = m_board->tile(k))
                    t->hide();
            m_board->repaint();
            break;
        case FeedbackStep::HideTile:
            if (tile)
                tile->hide();
            break;
        case FeedbackStep::FlyHome:
            m_board->flyTileHome(step.pair, next);
            return;
        case FeedbackStep::RemoveTile:
            m_board->removeTile(step.pair);
            break;
        case FeedbackStep::RedrawObject:
            redrawObject(step.object);
            break;
        }
    }
    endFeedback();
}

void QuizController::endFeedback()
{
    m_feedbackRunning = false;
    m_feedback.clear();
    m_board->setInputLocked(false);
    m_board->hideHitFrame();
    const int generation = m_generation;
    m_engine->proceed();
    if (generation == m_generation)
        m_board->answerSettled();
    m_window.describeState();
}

void QuizController::statusChanged()
{
    showStatus();
}

void QuizController::showStatus()
{
    if (!m_statusPanel)
        return;
    // While a verdict shows, "Richtig" or "Falsch" stays: only the clock goes on.
    if (!m_feedbackRunning) {
        const QuizStatusTexts &texts = m_engine->statusTexts();
        if (!m_textsShown || texts != m_shownTexts) {
            m_statusPanel->showTexts(texts);
            m_shownTexts = texts;
            m_textsShown = true;
        }
    }
    const QString &clock = m_engine->score().clockText;
    if (clock != m_shownClock || !m_statusPanel->isVisible()) {
        m_statusPanel->showClock(clock);
        m_shownClock = clock;
    }
}

bool QuizController::quizEnded(bool enterInBestList)
{
    m_zeitTimer->stop();
    m_board->hideHitFrame();
    if (m_learningTopic)
        m_learningRecord().flush();
    // Right and wrong were withheld: the card shows them now.
    if (m_engine->options().feedbackAtEnd == fbAtEnd)
        redrawCard();
    writeProtocol();
    return enterInBestList && enterBestList();
}

bool QuizController::enterBestList()
{
    if (m_window.testRun())
        return false;
    return m_window.enterResultInBestList();
}

void QuizController::writeProtocol()
{
    ensureProtocolWindow()->ShowProtocol(protocolText(m_engine->run()));
    const ProtocolPlaces places = m_window.protocolPlaces();
    if (places.autoSave)
        AutoSaveProtocol(*m_protokollForm->document(), places.protocolFolder, computerName(), m_services.clock,
                         m_services.messages);
}

QuizFinishedChoice QuizController::askHowToGoOn(const QuizFinishedInfo &info)
{
    if (!m_uebFertigForm)
        return {};
    const QuizRun &run = m_engine->run();
    BestListState best = BestListState::NotOffered;
    if (run.bestListEntered)
        best = BestListState::Entered;
    else if (entersBestList(run) && !m_window.testRun())
        best = BestListState::Offered;
    m_uebFertigForm->fill(m_engine->score(), info.timeCaption, info.clock, info.repetitionEnabled, best);
    // Described once the dialog stands in its place.
    QTimer::singleShot(0, this, [this, info] { m_window.describeState(QStringLiteral("TUebFertigForm"), &info); });
    const int result = m_uebFertigForm->exec();
    return QuizFinishedChoice{result == TUebFertigForm::kRepeat, m_uebFertigForm->repetitionMode()};
}

void QuizController::quizLeft()
{
    if (m_learningTopic)
        m_learningRecord().flush();
    m_learningTopic.reset();
    leaveQuizView();
    updateModeControls();
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
    QStringList captions;
    for (const QuizPair &p : m_engine->run().quizList)
        captions << tileCaption(m_doc.objects.at(p.tileObject).Cap);
    m_board->createTiles(m_engine->run().quizList, captions, m_engine->singleQuestions(),
                         m_engine->options().queryMode != qmSingleText, namedCursor(QStringLiteral("PFEILMOVE")));
    m_view.controlSize = QSize(qMax(1, m_board->tileAreaLeft()), area.height());
    m_view.zoomIndex = 0;
    m_view.zoomFactor = kZoomTable[0];
    m_statusPanel->show();
}

void QuizController::leaveQuizView()
{
    ++m_generation;
    m_feedbackRunning = false;
    m_feedback.clear();
    m_board->setInputLocked(false);
    m_zeitTimer->stop();
    m_board->removeAllTiles();
    m_board->hide();
    m_statusPanel->hide();
    m_window.quizAreaLeft(m_engine->run().marks);
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

QPoint QuizController::gridOrigin() const
{
    const RectD &w = m_view.viewWindow;
    const QPoint p = m_renderer.fractionToControl(w.left + 0.10 * (w.right - w.left), w.top + 0.58 * (w.bottom - w.top));
    return p + QPoint(4, 0);
}

QPoint QuizController::counterPlace(const QSize &counterSize) const
{
    const QPoint grid = gridOrigin();
    QPoint place(grid.x(), nearest(0.3 * grid.y()));
    // On a card as high as the panel the 0.3 lands on the "Frage:" heading at 17.5 % of
    // the card: the counter then stands above the heading, or below it where no room is.
    QRect heading;
    for (int i = 0; i < m_doc.objects.size(); ++i) {
        const DocObject &o = m_doc.objects.at(i);
        if (o.Typ != otQuestion || o.FrageNummer != m_engine->run().currentQuestionNo)
            continue;
        const RectD &b = m_bitmaps.layout.hitBox(i);
        if (b.left < 0)
            continue;
        const QRect box(m_renderer.fractionToControl(b.left, b.top), m_renderer.fractionToControl(b.right, b.bottom));
        if (heading.isNull() || box.top() < heading.top())
            heading = box; // the heading is the question's first line
    }
    if (heading.isNull() || !QRect(place, counterSize).intersects(heading))
        return place;
    const int gap = 4;
    const int above = heading.top() - gap - counterSize.height();
    place.setY(above >= 0 ? above : heading.bottom() + 1 + gap);
    return place;
}

void QuizController::arrangeVisibleTiles()
{
    m_board->arrangeVisibleTiles(m_engine->options().queryMode, m_engine->singleQuestions(), gridOrigin(),
                                 m_engine->options().tileOrder != toAlphabetical);
}

int QuizController::playQuizSound(bool correct)
{
    if (!m_soundPlayer)
        return 0;
    if (!m_window.soundOn()) {
        m_soundPlayer->stop();
        return 0;
    }
    const QString name = correct ? QStringLiteral("Richtig1.wav") : QStringLiteral("Falsch1.wav");
    const QString path = m_soundFolder + name;
    if (!QFileInfo::exists(path)) {
        m_services.messages.error(QStringLiteral("Sounddatei \"") + name + QStringLiteral("\" nicht gefunden."));
        return 0;
    }
    return m_soundPlayer->play(path);
}

// --- hit test of a dragged tile ---

int QuizController::quizTileHitTest(const QRect &panelRect) const
{
    // The card image lies at the panel's origin: panel pixels are its control pixels.
    const QPointF tl = m_renderer.controlToFraction(panelRect.topLeft());
    const QPointF br = m_renderer.controlToFraction(panelRect.bottomRight() + QPoint(1, 1));
    return m_engine->targetAt(RectD{tl.x(), tl.y(), br.x(), br.y()}, m_bitmaps.layout);
}

QRect QuizController::quizTargetFrame(int object) const
{
    if (object < 0 || object >= m_doc.objects.size())
        return {};
    const RectD &b = m_bitmaps.layout.hitBox(object);
    const QPoint tl = m_renderer.fractionToControl(b.left, b.top);
    const QPoint br = m_renderer.fractionToControl(b.right, b.bottom);
    return QRect(tl, br).adjusted(-4, -4, 4, 4);
}

// --- keyboard play and screen readers ---

void QuizController::connectQuizAccess()
{
    m_board->keyboardTargets = [this] { return m_engine->keyboardTargets(); };
    m_board->accessibleTargets = [this] {
        QList<AccessibleTarget> targets;
        if (!quizInProgress() || m_doc.DokTyp == dtSingleQuestions)
            return targets;
        for (const QuizPair &pair : m_engine->run().quizList) {
            const int i = pair.positionObject;
            if (i < 0 || i >= m_doc.objects.size())
                continue;
            const DocObject &o = m_doc.objects.at(i);
            const ObjectMark mark = markOf(m_engine->run().marks, i);
            if (m_bitmaps.layout.hitBox(i).left < 0)
                continue;
            AccessibleTarget t;
            t.object = i;
            t.rect = quizTargetFrame(i).adjusted(4, 4, -4, -4);
            t.name = mark.displayNo >= 1 ? QStringLiteral("Ziel ") + m_doc.displayNumberText(mark.displayNo)
                                         : QStringLiteral("Ziel");
            t.state = targetState(o, mark);
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
        const ObjectMark mark = markOf(m_engine->run().marks, i);
        if (mark.coverState != csOpenQuestion || m_bitmaps.layout.hitBox(i).left < 0)
            continue;
        const QRect frame = quizTargetFrame(i).adjusted(4, 4, -4, -4);
        QJsonObject t = box(QRect(m_board->mapToGlobal(frame.topLeft()), frame.size()));
        t[QStringLiteral("object")] = i;
        t[QStringLiteral("caption")] = CleanCaption(o.Cap);
        t[QStringLiteral("number")] = m_doc.displayNumberText(mark.displayNo);
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
