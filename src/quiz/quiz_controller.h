#pragma once

#include "document/topic_document.h"
#include "platform/services.h"
#include "quiz/dialog_look.h"
#include "quiz/quiz_engine.h"
#include "view/view_state.h"

#include <QColor>
#include <QObject>
#include <QRect>

#include <memory>

class QJsonObject;
class QKeyEvent;
class QTimer;
class QWidget;

namespace kapitolo {

class CardRenderer;
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
    // The learning card gives way to the quiz panel, and comes back after the quiz.
    virtual void quizAreaEntered() = 0;
    virtual void quizAreaLeft() = 0;
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
// tiles, the status panel, the clock, the sound and the quiz dialogs.
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
    bool evaluationRunning() const { return m_evaluationRunning; }
    QuizBoard *board() const { return m_board; }
    QuizStatusPanel *statusPanel() const { return m_statusPanel; }
    void setSoundPlayer(SoundPlayer *player) { m_soundPlayer = player; }

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

    // For the end-to-end driver: the tiles and targets of the running quiz, and the
    // finished dialog's figures and buttons.
    void describeQuiz(QJsonObject &state) const;
    void describeFinished(QJsonObject &state, const QuizFinishedInfo &finished) const;

    // QuizFrontend
    bool askParticipantName(QString &name) override;
    void enterQuizView() override;
    void leaveQuizView() override;
    void updateModeControls() override;
    void redrawCard() override;
    void redrawObject(int objectIndex) override;
    void drawPanelBackground() override;
    bool tileExists(int pair) const override;
    bool isTileVisible(int pair) const override;
    void setTileVisible(int pair, bool visible) override;
    void hideAllTiles() override;
    void arrangeVisibleTiles() override;
    void setTileColour(int pair, const QColor &colour) override;
    void restoreTileColour(int pair) override;
    void removeTile(int pair) override;
    void flyTileHome(int pair) override;
    void hideHitFrame() override;
    void showQuestionCounter(const QString &text) override;
    void showStatus(const QuizStatusTexts &texts) override;
    void showClock(const QString &text) override;
    void showVerdict(bool correct) override;
    void playQuizSound(bool correct) override;
    void processPendingEvents() override;
    void setTimerEnabled(bool enabled) override;
    void finishProtocol() override;
    bool enterBestList() override;
    QuizFinishedChoice showFinishedDialog(const QuizFinishedInfo &info) override;

private:
    TUebProtokollForm *ensureProtocolWindow();
    void layoutQuizArea();
    QPoint gridOrigin() const;
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
    std::unique_ptr<SoundPlayer> m_ownSoundPlayer;
    SoundPlayer *m_soundPlayer = nullptr;
    QuizBoard *m_board = nullptr;
    QuizStatusPanel *m_statusPanel = nullptr;
    QTimer *m_zeitTimer = nullptr;
    bool m_evaluationRunning = false;
    bool m_closing = false;
    QString m_protocolFolder;

    TUebOptForm *m_uebOptForm = nullptr;
    TUebOptFragenForm *m_uebOptFragenForm = nullptr;
    TUebFertigForm *m_uebFertigForm = nullptr;
    TNameEingabeForm *m_nameEingabeForm = nullptr;
    TKennzInfoBox *m_kennzInfoBox = nullptr;
    TUebProtokollForm *m_protokollForm = nullptr;
    TProtKomForm *m_protKomForm = nullptr;
};

} // namespace kapitolo
