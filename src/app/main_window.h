#pragma once

#include "app/automation_state.h"
#include "app/main_menus.h"
#include "app/topic_navigator.h"
#include "app/window_look.h"
#include "document/topic_document.h"
#include "editor/topic_editor_controller.h"
#include "learning/learning_controller.h"
#include "network/network_controller.h"
#include "platform/app_settings.h"
#include "platform/services.h"
#include "quiz/dialog_look.h"
#include "quiz/quiz_controller.h"
#include "quiz/quiz_engine.h"
#include "results/results_controller.h"
#include "sharing/sharing_controller.h"
#include "view/learning_view_controller.h"
#include "view/view_state.h"

#include <QImage>
#include <QMainWindow>

#include <future>
#include <memory>

class QAction;
class QLabel;
class QMenu;

namespace kapitolo {

class TInfoBox;
class TopicMenu;
class CardArea;
class CardImageWidget;
class CardRenderer;
class LearningView;
class QuizBoard;
class QuizStatusPanel;
class SoundPlayer;
class THoverPanel;
class TUebOptForm;
class TUebOptFragenForm;
class TUebFertigForm;
class TNameEingabeForm;
class TKennzInfoBox;
class TUebProtokollForm;
class TBestListForm;
class TBestListVerzForm;
class TKontrollanzeigeForm;
class TNetzKomForm;

// The program's one main window: its menus and their actions, the button column, the
// layout of card area and quiz panel, and the settings in and out. It owns the document and
// the controllers of the subsystems and routes the commands between them.
class TForm1 : public QMainWindow,
               public LearningViewWindow,
               public QuizWindow,
               public NetworkWindow,
               public TopicEditorWindow,
               public TopicWindow
{
    Q_OBJECT
public:
    // appMode values.
    static constexpr int kLearningView = 2;
    static constexpr int kQuizRunning = 3;

    TForm1(Services &services, const QString &commandLineArgument, QWidget *parent = nullptr);
    ~TForm1() override;

    // The first showing: settings, command line, topic folder and menu. Runs once.
    void FormShow();

    // Topic folder and navigation.
    TopicNavigator &topics() { return *m_topics; }

    // TopicWindow
    int appMode() const override;
    void leaveQuiz() override;
    void showTopicItems(const QStringList &captions, int columnBreak) override;
    void checkTopicItem(int index) override;
    void showTopicFolders(const QList<TopicFolder> &folders) override;
    void checkFolderTopic(const QString &path) override;
    void documentRead() override;
    void documentClosed() override;
    // The start page, or with the learning view shown and a document open its card.
    void showCardOrStartPage() override;
    void UpdateTitles() override;

    // The topic editor: "&Neues Thema...", "Thema &bearbeiten..." and "Testen".
    TopicEditorController &topicEditorController() { return *m_editorCtl; }
    bool testingEditedTopic() const { return m_editorCtl->testingEditedTopic(); }

    // TopicEditorWindow
    QString topicFolder() const override { return m_topics->topicFolder(); }
    bool ReadDocumentAsTopic(const QString &path) override { return m_topics->ReadDocumentAsTopic(path); }
    bool readCopyAsTopic(const QString &path) override { return m_topics->readCopyAsTopic(path); }
    void ReadTopicFolder() override { m_topics->ReadTopicFolder(); }
    void startTestQuiz() override;

    // Asks before a running quiz is left; true when there is none or the user agrees.
    bool ConfirmLeaveQuiz() override;
    bool quizInProgress() const override;

    // The quiz: F7, the "Quiz starten" button, a topic item; the start page button.
    bool UebungStart1Click();
    void LernKartBtnClick();
    QuizController &quiz() { return *m_quiz; }
    QuizEngine &engine() { return m_quiz->engine(); }
    QuizBoard *quizBoard() const { return m_quiz->board(); }
    QuizStatusPanel *statusPanel() const { return m_quiz->statusPanel(); }
    const ViewState &viewState() const { return m_view; }
    const CardBitmaps &cardBitmaps() const { return m_bitmaps; }
    LearningViewController &learningViewController() { return *m_viewCtl; }
    CardRenderer &renderer() { return m_viewCtl->renderer(); }
    LearningView &learningView() { return m_viewCtl->learningView(); }
    void setSoundPlayer(SoundPlayer *player) { m_quiz->setSoundPlayer(player); }
    THoverPanel *toolButton(const QString &objectName) const;

    // LearningViewWindow
    QuizDisplay quizDisplay() const override;
    void repaintQuizCard() override;
    DocumentLinkFolders documentLinkFolders() const override;
    void openTopicFolder(const QString &folder) override;
    void openLinkedDocument(const QString &path) override;
    void learningViewChanged() override;
    QWidget *learningToolStrip() const { return m_viewCtl->toolStrip(); }
    QMenu *learningMenu() const { return m_viewCtl->menu(); }
    // "&Lernansicht anzeigen": the learning card and its tools outside a quiz.
    void SetLearningViewShown(bool on);
    bool learningViewShown() const { return !m_view.cardHiddenOutsideQuiz; }
    CardImageWidget *cardImage() const;

    // QuizWindow
    QRect quizArea() const override;
    void quizAreaEntered() override;
    void quizAreaLeft() override;
    void quizModeChanged(bool running, bool ownQuiz) override;
    void rebuildCard() override;
    bool soundOn() const override;
    ProtocolPlaces protocolPlaces() override;
    bool testRun() const override { return testingEditedTopic(); }
    bool enterResultInBestList() override;
    void describeState(const QString &dialog = QString(), const QuizFinishedInfo *finished = nullptr) override
    {
        writeAutomationState(dialog, finished);
    }

    // The network quiz: F9, F8, Alt+F9, the end command and the communication settings.
    NetworkController &networkQuiz() { return *m_net; }
    NetworkQuiz &network() { return m_net->network(); }
    TKontrollanzeigeForm *controlDisplay() const { return m_net->controlDisplay(); }
    TNetzKomForm *netzKomForm() const { return m_net->netzKomForm(); }

    // NetworkWindow
    bool labelEditorOpen() const override;
    bool askNetworkOptions(qint32 dokTyp, QuizOptions &options) override;
    bool openExchangeDocument(const QString &path) override;
    void closeExchangeDocument() override;
    void clearBestList() override;
    void showNetworkBestList() override;
    void networkRoleChanged() override;
    void describeNetworkState() override { writeAutomationState(); }
    bool showItemCard(const TopicDocument &exercise, const QHash<int, double> &rates) override;

    // Window modes.
    void SetFullScreenMode();
    void SetWindowMode();
    void MinimiseApplication();

    // Help and web pages through the shell's open action.
    void OpenHelp();
    void OpenWebPage(const QString &address);


    // State for the tests and the other windows.
    const TopicDocument &document() const { return m_doc; }
    TopicDocument &document() { return m_doc; }
    const QList<TopicEntry> &topicList() const { return m_topics->topicList(); }
    int currentTopicIndex() const { return m_topics->currentTopicIndex(); }
    const QString &startFolder() const { return m_topics->startFolder(); }
    const QString &previousDocument() const { return m_topics->previousDocument(); }
    const QString &openDialogFolder() const { return m_topics->openDialogFolder(); }
    const QString &protocolDialogFolder() const { return m_protocolDialogFolder; }
    AppSettings &settings() { return m_settings; }
    Services &services() { return m_services; }
    bool firstShowingPending() const { return m_firstShowing; }
    TopicMenu *quizMenu() const { return m_menus.quizMenu; }
    QLabel *titleLabel() const { return m_dokTitelLab; }
    QWidget *startInfoPanel() const;
    const QImage &startPicture() const { return m_startPicture; }
    QAction *findMenuAction(const QString &objectName) const;
    const QList<int> &viewKeyLog() const { return m_viewCtl->keyLog(); }
    TInfoBox *infoBox() const { return m_infoBox; }
    TUebOptForm *uebOptForm() const { return m_quiz->uebOptForm(); }
    TUebOptFragenForm *uebOptFragenForm() const { return m_quiz->uebOptFragenForm(); }
    TUebFertigForm *uebFertigForm() const { return m_quiz->uebFertigForm(); }
    TNameEingabeForm *nameEingabeForm() const { return m_quiz->nameEingabeForm(); }
    TKennzInfoBox *kennzInfoBox() const { return m_quiz->kennzInfoBox(); }
    TUebProtokollForm *protokollForm() const { return m_quiz->protokollForm(); }
    TBestListForm *bestListForm() const { return m_results->bestListForm(); }
    TBestListVerzForm *bestListVerzForm() const { return m_results->bestListVerzForm(); }
    // The best list and the result folders.
    ResultsController &results() { return *m_results; }
    // Worksheets and e-mail.
    SharingController &sharing() { return *m_sharing; }
    // The learning record and the Lernkartei.
    LearningController &learning() { return *m_learning; }
    // "Alles üben" of the Lernkartei: the topic opened and its quiz started.
    void practiseTopic(const PracticeRequest &request);
    // Alt+F7: the options of the open document's kind; "Übung starten" starts the quiz.
    void UebOpt1Click();
    QColor windowColor() const { return m_look.windowColor; }
    QColor cardColor() const { return m_look.cardColor; }

    // The dialogs, created once after the main window, in the program's fixed order.
    void CreateDialogs();
    QStringList dialogCreationOrder() const;

Q_SIGNALS:
    // A topic item was chosen: the quiz starts on it at once.
    void quizRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void writeAutomationState(const QString &dialog = QString(), const QuizFinishedInfo *finished = nullptr)
    {
        m_automation.write(*this, dialog, finished);
    }
    void createPanels();
    void loadStartPicture();

    Services &m_services;

    TopicDocument m_doc;
    AppSettings m_settings;

    QString m_programFolder;
    QString m_helpFolder;
    QString m_dataFolder;
    QString m_protocolDialogFolder;

    ViewState m_view;
    CardBitmaps m_bitmaps;
    std::unique_ptr<TopicNavigator> m_topics;
    std::unique_ptr<LearningViewController> m_viewCtl;
    std::unique_ptr<QuizController> m_quiz;
    std::unique_ptr<ResultsController> m_results;
    std::unique_ptr<NetworkController> m_net;
    std::unique_ptr<SharingController> m_sharing;
    std::unique_ptr<LearningController> m_learning;
    QList<THoverPanel *> m_toolButtons;
    AutomationState m_automation;
    // Work of the first showing that runs beside the creation of the windows.
    std::future<QImage> m_startPictureLoad;
    bool m_firstShowing = true;
    bool m_quizLayoutPending = false;
    bool m_closing = false;
    bool m_layoutAllowed = true;

    WindowLook m_look;
    QImage m_startPicture;

    MainMenus m_menus;
    QLabel *m_dokTitelLab = nullptr;
    CardArea *m_cardArea = nullptr;

    TInfoBox *m_infoBox = nullptr;
    std::unique_ptr<TopicEditorController> m_editorCtl;
    QList<QWidget *> m_dialogs;
};

} // namespace kapitolo
