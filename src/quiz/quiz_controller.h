#pragma once

#include "document/topic_document.h"
#include "platform/services.h"
#include "quiz/dialog_look.h"
#include "quiz/quiz_engine.h"
#include "quiz/quiz_feedback.h"
#include "view/view_state.h"

#include <QColor>
#include <QObject>
#include <QRect>
#include <QSet>

#include <functional>
#include <memory>

class QJsonObject;
class QKeyEvent;
class QTimer;
class QWidget;

namespace kapitolo {

class CardRenderer;
class LearningRecord;
struct LearningTopic;
class QuizBoard;
class QuizOptionsDialog;
class QuizStatusPanel;
class SoundPlayer;
class TKennzInfoBox;
class TNameEingabeForm;
class TProtKomForm;
class TUebFertigForm;
class TUebOptForm;
class TUebOptFragenForm;
class TUebProtokollForm;

// Where the protocol of a finished quiz goes.
struct ProtocolPlaces {
    QString communicationFolder;
    QString channel;
    QString protocolFolder;
    bool autoSave = false;
};

// What a quiz needs of the window around it: the card area it covers, the controls that
// follow the mode, the options of its menus, the best list and the end-to-end description.
class QuizWindow
{
public:
    virtual ~QuizWindow() = default;
    // The room of the card area, in the coordinates of the quiz panel's parent.
    virtual QRect quizArea() const = 0;
    // The learning card gives way to the quiz panel, and comes back after the quiz (whose
    // marks tell which objects it asked).
    virtual void quizAreaEntered() = 0;
    virtual void quizAreaLeft(const ObjectMarks &quizMarks) = 0;
    virtual void quizModeChanged(bool running, bool ownQuiz) = 0;
    virtual void rebuildCard() = 0;
    virtual bool soundOn() const = 0;
    virtual ProtocolPlaces protocolPlaces() = 0;
    // A test run of the edited topic: no best-list entry is made or offered.
    virtual bool testRun() const = 0;
    virtual bool enterResultInBestList() = 0;
    virtual void describeState(const QString &dialog = QString(), const QuizFinishedInfo *finished = nullptr) = 0;
};

// The quiz between the engine and the screen: it owns the engine, the quiz panel with its
// tiles, the status panel, the clock, the sound and the quiz dialogs. It renders what the
// engine publishes, and shows each verdict on its own timers (colours, sound, pauses, the
// flight of a wrong tile) while the panel takes no input.
class QuizController : public QObject, public QuizFrontend
{
    Q_OBJECT
public:
    QuizController(Services &services, TopicDocument &document, ViewState &view, CardBitmaps &bitmaps,
                   CardRenderer &renderer, QuizWindow &window, const QString &soundFolder, QObject *parent = nullptr);
    ~QuizController() override;

    // The quiz panel and the status panel, each created in its place among the window's
    // widgets (the Tab order follows the order of creation).
    void createBoard(QWidget *parent);
    void createStatusPanel(QWidget *parent, const QColor &cardColor);
    // The quiz dialog of that name, created now with the dialog look; nullptr for a name
    // that is not the quiz's.
    QWidget *createDialog(const QString &name, const DialogLook &look, QWidget *parent);

    QuizEngine &engine() { return *m_engine; }
    const QuizEngine &engine() const { return *m_engine; }
    bool quizInProgress() const;
    // What the card shows of the running quiz.
    QuizDisplay quizDisplay() const;
    // An answer is being judged or its verdict shown.
    bool evaluationRunning() const { return m_evaluating || m_feedbackRunning; }
    QuizBoard *board() const { return m_board; }
    QuizStatusPanel *statusPanel() const { return m_statusPanel; }

    TUebOptForm *uebOptForm() const { return m_uebOptForm; }
    TUebOptFragenForm *uebOptFragenForm() const { return m_uebOptFragenForm; }
    TUebFertigForm *uebFertigForm() const { return m_uebFertigForm; }
    TNameEingabeForm *nameEingabeForm() const { return m_nameEingabeForm; }
    TKennzInfoBox *kennzInfoBox() const { return m_kennzInfoBox; }
    // The protocol window and its comment dialog are created on first use.
    TUebProtokollForm *protokollForm() const { return m_protokollForm; }
    // Where "Speichern" in the protocol window starts.
    void setProtocolFolder(const QString &folder);
    // The options dialog of the document kind.
    QuizOptionsDialog *optionsForm(qint32 dokTyp) const;

    // F7 and its twins: the menu's name entry and best-list choices go with the start.
    bool UebungStart1Click(bool nameEntry, bool autoBestListEntry);
    // A quiz over part of the topic (the Lernkartei's due items): the given objects only.
    bool startPractice(const QList<int> &objects, bool nameEntry);
    // Where every answer of an own or a participant's quiz is remembered (the pupil's
    // learning record, opened when first asked for); a test run records nothing.
    void setLearningRecord(std::function<LearningRecord &()> record) { m_learningRecord = std::move(record); }
    // Alt+F7: true when the user chose to start the quiz from the options.
    bool UebOpt1Click();
    void ZeitTimerTimer();
    void showProtocol();
    // The options dialog of the document kind in its network form; true only for
    // "Übung starten", with the options it holds.
    bool askNetworkOptions(qint32 dokTyp, QuizOptions &options);
    // The keys 1 to 6 answer a single question wherever the focus is.
    bool quizKey(QKeyEvent *event);
    // The window has resized the card area.
    void quizAreaResized(const QRect &area);
    // The window is closing: nothing more to describe, the clock stops.
    void prepareClose();
    // Buttons and menus that follow the mode and the network role.
    void updateModeControls();
    // Enters the quiz's result into the best list; false when it was not entered, and
    // always for a test run of the edited topic.
    bool enterBestList();

    // For the end-to-end driver: the tiles and targets of the running quiz, and the
    // finished dialog's figures and buttons.
    void describeQuiz(QJsonObject &state) const;
    void describeFinished(QJsonObject &state, const QuizFinishedInfo &finished) const;

    // QuizFrontend
    bool askParticipantName(QString &name) override;
    void quizStarted() override;
    void questionChanged() override;
    void verdictGiven(const QuizVerdict &verdict) override;
    void statusChanged() override;
    bool quizEnded(bool enterInBestList) override;
    QuizFinishedChoice askHowToGoOn(const QuizFinishedInfo &info) override;
    void quizLeft() override;

private:
    TUebProtokollForm *ensureProtocolWindow();
    void enterQuizView();
    void leaveQuizView();
    void redrawCard();
    void redrawObject(int objectIndex);
    void drawPanelBackground();
    // The tiles the engine offers now, arranged, with the question's counter.
    void showQuestion();
    void arrangeVisibleTiles();
    // The panel's texts as the engine has them (the figures not while a verdict shows).
    void showStatus();
    // The tile on the panel and the frame around the target under a dragged one.
    void answer(int pair, int target);
    // The verdict's steps from the next one on, each pause on the clock.
    void playFeedback(int generation);
    void endFeedback();
    // Plays the sound of a verdict when sound output is on; its length in milliseconds.
    int playQuizSound(bool correct);
    void writeProtocol();
    QPoint gridOrigin() const;
    // Where the counter "N. Frage" stands: at 0.3 times the grid's height, or, where the
    // card's "Frage:" heading would be covered, right above it.
    QPoint counterPlace(const QSize &counterSize) const;
    int quizTileHitTest(const QRect &panelRect) const;
    QRect quizTargetFrame(int object) const;
    // Keyboard play and screen readers on the quiz panel.
    void connectQuizAccess();

    Services &m_services;
    TopicDocument &m_doc;
    ViewState &m_view;
    CardBitmaps &m_bitmaps;
    CardRenderer &m_renderer;
    QuizWindow &m_window;
    QString m_soundFolder;
    QColor m_cardColor;

    std::unique_ptr<QuizEngine> m_engine;
    std::unique_ptr<SoundPlayer> m_soundPlayer;
    QuizBoard *m_board = nullptr;
    QuizStatusPanel *m_statusPanel = nullptr;
    QTimer *m_zeitTimer = nullptr;
    bool m_evaluating = false;
    bool m_closing = false;
    QString m_protocolFolder;

    // The verdict being shown: its steps and the next one; a new quiz (or none) makes the
    // generation of an older verdict's timers void.
    QList<FeedbackStep> m_feedback;
    qsizetype m_nextStep = 0;
    bool m_feedbackRunning = false;
    int m_generation = 0;
    std::function<LearningRecord &()> m_learningRecord;
    std::shared_ptr<const LearningTopic> m_learningTopic; // of the running quiz; null: not recorded
    QSet<int> m_gradedObjects; // objects whose first answer of this quiz is remembered
    void rememberAnswers();
    void rememberAnswer(const QuizVerdict &verdict);
    // What the status panel shows, so that a tick of the clock rewrites only the clock.
    QuizStatusTexts m_shownTexts;
    QString m_shownClock;
    bool m_textsShown = false;

    TUebOptForm *m_uebOptForm = nullptr;
    TUebOptFragenForm *m_uebOptFragenForm = nullptr;
    TUebFertigForm *m_uebFertigForm = nullptr;
    TNameEingabeForm *m_nameEingabeForm = nullptr;
    TKennzInfoBox *m_kennzInfoBox = nullptr;
    TUebProtokollForm *m_protokollForm = nullptr;
    TProtKomForm *m_protKomForm = nullptr;
};

} // namespace kapitolo
