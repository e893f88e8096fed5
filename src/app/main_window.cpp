#include "app/main_window.h"
#include "platform/clock.h"

#include "app/about_box.h"
#include "app/app_texts.h"
#include "app/button_column.h"
#include "app/card_area.h"
#include "app/main_menus.h"
#include "app/topic_menu.h"
#include "app/window_look.h"
#include "app/window_settings.h"
#include "controls/hover_panel.h"
#include "learning/learning_record.h"
#include "learning/lernkartei_window.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "platform/random.h"
#include "quiz/quiz_board.h"
#include "quiz/quiz_dialogs.h"
#include "quiz/quiz_status_panel.h"
#include "view/card_image_widget.h"
#include "view/card_renderer.h"
#include "view/learning_view.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace kapitolo {

TForm1::TForm1(Services &services, const QString &commandLineArgument, QWidget *parent)
    : QMainWindow(parent)
    , m_services(services)
{
    setObjectName(QStringLiteral("TForm1"));
    m_programFolder = withTrailingSeparator(services.programFolder);
    m_helpFolder = m_programFolder + QStringLiteral("hilfe/");
    m_dataFolder = m_programFolder + QStringLiteral("data/");
    m_settings = AppSettings::defaults(m_programFolder, services.sharedFolder);

    QApplication::setApplicationDisplayName(programTitle());
    setWindowTitle(programTitle());
    m_firstShowing = true;
    m_closing = false;
    setMinimumSize(900, 650);
    resize(900, 650);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move((area.width() - 900) / 2, (area.height() - 650) / 2);
    }
    m_layoutAllowed = true;

    m_view.numberingMode = numberingOrdered;
    m_services.random.seedFromClock();

    // The start picture and the topic folder of the command line are read on the second
    // core while the windows are built; both are waited for where they are needed.
    m_startPictureLoad = startLoadingPicture(m_dataFolder + QStringLiteral("kapitolo.png"));
    m_topics = std::make_unique<TopicNavigator>(m_services, m_doc, *this, m_programFolder, commandLineArgument);

    m_viewCtl = std::make_unique<LearningViewController>(m_services, m_doc, m_view, m_bitmaps, *this);
    m_quiz = std::make_unique<QuizController>(m_services, m_doc, m_view, m_bitmaps, m_viewCtl->renderer(), *this,
                                              m_programFolder + QStringLiteral("sound/"));
    m_results = std::make_unique<ResultsController>(m_services, m_doc, m_settings, m_quiz->engine(), this);
    connect(m_results.get(), &ResultsController::protocolFolderChosen, this, [this](const QString &folder) {
        m_protocolDialogFolder = folder;
        m_quiz->setProtocolFolder(folder);
    });
    m_net = std::make_unique<NetworkController>(m_services, m_doc, m_quiz->engine(), m_settings, *this, this);
    m_editorCtl = std::make_unique<TopicEditorController>(m_services, m_doc, *this, this);
    m_sharing = std::make_unique<SharingController>(m_services, m_doc, m_programFolder + QStringLiteral("setupbasissystem/"),
                                                    makerWebAddress(), this);

    m_look = loadWindowLook(m_dataFolder);
    // The record is opened when it is first used, not at start.
    m_learning = std::make_unique<LearningController>(m_services.messages, m_services.clock, this,
                                                      LearningRecord::defaultPath());
    m_learning->setChartBackground(m_look.cardColor);
    connect(m_learning.get(), &LearningController::practiceRequested, this, &TForm1::practiseTopic);
    createPanels();
    m_menus = createMainMenus(*this);

    m_viewCtl->attachCard(m_cardArea->image(), m_cardArea->marker());
    QWidget *strip = m_viewCtl->createToolStrip(this, findMenuAction(QStringLiteral("Klappen1")));
    // Right of the card, where it is out of the way of the tiles' stacks' side.
    if (auto *row = qobject_cast<QHBoxLayout *>(centralWidget()->layout()))
        row->addWidget(strip, 0, Qt::AlignTop);
    connect(m_cardArea->image(), &CardImageWidget::controlResized, this, [this](const QSize &size) {
        if (quizInProgress())
            return;
        m_view.controlSize = size;
        if (!m_firstShowing)
            rebuildCard();
    });
    m_cardArea->resized = [this] { m_quiz->quizAreaResized(m_cardArea->boardRect()); };

    m_doc.reset(m_topics->navigation());
    m_topics->navigation().previousDocument.clear();
    m_view.zoomIndex = 0;
    m_view.zoomFactor = kZoomTable[0];
    m_view.viewWindow = RectD{0, 0, 1, 1};
    m_view.activeTool = toolPointer;
    UpdateTitles();
    loadStartPicture();
}

TForm1::~TForm1() = default;

void TForm1::createPanels()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("HauptPan"));
    central->setAutoFillBackground(true);
    QPalette windowPalette = central->palette();
    windowPalette.setColor(QPalette::Window, m_look.windowColor);
    central->setPalette(windowPalette);

    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(6, 6, 8, 8);
    row->setSpacing(8);

    auto *infoPan = new QWidget(central);
    infoPan->setObjectName(QStringLiteral("InfoPan"));
    m_toolButtons = createButtonColumn(infoPan, *this);
    row->addWidget(infoPan);

    auto *column = new QVBoxLayout;
    column->setSpacing(6);
    row->addLayout(column, 1);

    m_dokTitelLab = new QLabel(central);
    m_dokTitelLab->setObjectName(QStringLiteral("DokTitelLab"));
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(20);
    titleFont.setBold(true);
    m_dokTitelLab->setFont(titleFont);
    m_dokTitelLab->setStyleSheet(QStringLiteral("color: rgb(81, 81, 78);"));
    column->addWidget(m_dokTitelLab);

    m_quiz->createBoard(central);
    m_cardArea = new CardArea(m_quiz->board(), central);
    m_cardArea->setColours(m_look.cardColor);
    connect(m_cardArea->urlLabel(), &QLabel::linkActivated, this, [this] { OpenWebPage(programWebAddress()); });
    connect(m_cardArea->makerLabel(), &QLabel::linkActivated, this, [this] { OpenWebPage(makerWebAddress()); });
    column->addWidget(m_cardArea, 1);

    m_quiz->createStatusPanel(central, m_look.cardColor);
    column->addWidget(m_quiz->statusPanel());

    setCentralWidget(central);
}

THoverPanel *TForm1::toolButton(const QString &objectName) const
{
    for (THoverPanel *b : m_toolButtons)
        if (b->objectName() == objectName)
            return b;
    return nullptr;
}

QWidget *TForm1::startInfoPanel() const
{
    return m_cardArea->startPanel();
}

void TForm1::loadStartPicture()
{
    m_startPicture = takeStartPicture(m_dataFolder + QStringLiteral("kapitolo.png"), m_startPictureLoad,
                                      m_services.messages);
    if (!m_startPicture.isNull())
        m_cardArea->picture()->setPixmap(QPixmap::fromImage(m_startPicture));
}

QAction *TForm1::findMenuAction(const QString &objectName) const
{
    return findChild<QAction *>(objectName);
}

void TForm1::CreateDialogs()
{
    if (!m_dialogs.isEmpty())
        return;
    const DialogLook look{m_look.windowColor, m_look.cardColor, m_look.backgroundTile};
    // Created once, in this order, after the main window; shown modally when needed.
    // The quiz creates its own dialogs in their places of the order.
    // The worksheet window, the e-mail dialog, the protocol window, the information window
    // and the network's windows come on first use.
    for (const char *name : {"TBestListForm", "TUebOptFragenForm", "TUebFertigForm", "TInfoBox", "TKennzInfoBox",
                             "TNameEingabeForm", "TBestListVerzForm", "TUebOptForm"}) {
        const QString dialogName = QLatin1String(name);
        QWidget *dialog = m_quiz->createDialog(dialogName, look, this);
        if (!dialog)
            dialog = m_results->createDialog(dialogName, this);
        if (!dialog && dialogName == QLatin1String("TInfoBox"))
            dialog = m_infoBox = new TInfoBox(m_services.shell, this);
        dialog->setObjectName(dialogName);
        m_dialogs.append(dialog);
    }

    TUebFertigForm *finished = m_quiz->uebFertigForm();
    finished->onShowBestList = [this] { m_results->showFinishedDialogBestList(); };
    finished->onEnterBestList = [this] { return m_results->enterResultOnRequest(); };
    finished->onChooseResultFolders = [this] { m_results->BestListVerz1Click(); };
}

void TForm1::UebOpt1Click()
{
    // The quiz controller refuses during a quiz.
    if (m_quiz->UebOpt1Click())
        UebungStart1Click();
}

QStringList TForm1::dialogCreationOrder() const
{
    QStringList names;
    for (const QWidget *dialog : m_dialogs)
        names << dialog->objectName();
    return names;
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_firstShowing)
        QTimer::singleShot(0, this, &TForm1::FormShow);
}

void TForm1::FormShow()
{
    if (!m_firstShowing)
        return;
    readWindowSettings(*this);
    m_protocolDialogFolder = m_settings.protocolFolder;
    m_quiz->setProtocolFolder(m_settings.protocolFolder);
    m_results->setProtocolFolder(m_settings.protocolFolder);

    m_topics->FormShow();
    m_firstShowing = false;
    writeAutomationState();
    // An exercise this computer initiated and never ended: the program went down.
    if (m_net->network().offerResume())
        writeAutomationState();
    // Journals of ended exercises name pupils: kept only so many days, tidied once the
    // window stands.
    QTimer::singleShot(1000, this, [this] {
        NetworkQuiz::removeOldJournals(m_settings.protocolFolder, qMax(0, m_settings.journalDays),
                                       m_services.clock.now());
    });
}

void TForm1::UpdateTitles()
{
    const bool loaded = m_doc.isLoaded();
    setWindowTitle(windowTitleText(loaded, m_doc.titel));
    m_dokTitelLab->setText(titleLabelText(loaded, m_doc.titel, m_doc.AnzFrageNummern));
}

bool TForm1::ConfirmLeaveQuiz()
{
    return m_quiz->engine().ConfirmLeaveQuiz();
}

void TForm1::SetFullScreenMode()
{
    m_layoutAllowed = false;
    showFullScreen();
    raise();
    activateWindow();
    m_layoutAllowed = true;
    findMenuAction(QStringLiteral("Vollbild1"))->setChecked(true);
}

void TForm1::SetWindowMode()
{
    m_layoutAllowed = false;
    showNormal();
    resize(900, 650);
    if (QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        const QRect area = s->geometry();
        move((area.width() - 900) / 2, (area.height() - 650) / 2);
    }
    raise();
    activateWindow();
    m_layoutAllowed = true;
    findMenuAction(QStringLiteral("Fenster1"))->setChecked(true);
}

void TForm1::MinimiseApplication()
{
    showMinimized();
}

void TForm1::OpenWebPage(const QString &address)
{
    if (!m_services.shell.open(address))
        m_services.messages.error(QStringLiteral("Die Datei \"") + address
                                  + QStringLiteral("\" kann nicht geöffnet werden. Sie benötigen einen Webbrowser "
                                                   "(z.B. Internet Explorer) um dieses Dokument anzusehen."));
}

void TForm1::OpenHelp()
{
    OpenWebPage(QStringLiteral("file://") + m_helpFolder + QStringLiteral("index.html"));
}

void TForm1::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    if (m_quiz->quizKey(event))
        return; // the keys 1 to 6 answer a single question wherever the focus is
    if (mods == Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_Left: m_viewCtl->ScrollView(-1, 0); return;
        case Qt::Key_Up: m_viewCtl->ScrollView(0, -1); return;
        case Qt::Key_Right: m_viewCtl->ScrollView(1, 0); return;
        case Qt::Key_Down: m_viewCtl->ScrollView(0, 1); return;
        case Qt::Key_Plus:
            if (keypad) {
                m_viewCtl->ZoomView(1);
                return;
            }
            break;
        case Qt::Key_Minus:
            if (keypad) {
                m_viewCtl->ZoomView(-1);
                return;
            }
            break;
        default: break;
        }
    }
    if (mods == (Qt::ShiftModifier | Qt::AltModifier) && event->key() == Qt::Key_G) {
        showNormal();
        move(0, 0);
        resize(1024, 768);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_firstShowing || m_closing || !m_layoutAllowed)
        return;
    // The card and the quiz area follow the window once they exist.
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // The editor asks about unsaved changes first; "Abbrechen" there keeps both open.
    if (!m_editorCtl->closeTopicEditor() || !ConfirmLeaveQuiz()) {
        event->ignore();
        return;
    }
    m_net->network().prepareClose();
    m_closing = true;
    m_quiz->prepareClose();
    m_net->network().cleanUpAtExit();
    writeWindowSettings(*this);
    event->accept();
}

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
    m_menus.quizMenu->setTopics(captions, columnBreak);
}

void TForm1::checkTopicItem(int index)
{
    if (index < m_menus.quizMenu->topicActions().size())
        m_menus.quizMenu->topicActions().at(index)->setChecked(true);
}

void TForm1::showTopicFolders(const QList<TopicFolder> &folders)
{
    m_menus.quizMenu->setFolders(folders);
}

void TForm1::checkFolderTopic(const QString &path)
{
    m_menus.quizMenu->checkFolderTopic(path);
}

void TForm1::documentRead()
{
    m_viewCtl->documentRead();
    rebuildCard();
}

void TForm1::documentClosed()
{
    m_results->clearBestList();
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
    return m_quiz->quizDisplay();
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
    setQuizMenuEnabled(m_menus, !quiz);
    // The learning view's tools act only outside a quiz.
    m_viewCtl->menu()->setEnabled(!quiz);
}

bool TForm1::soundOn() const
{
    return findMenuAction(QStringLiteral("Sound1"))->isChecked();
}

ProtocolPlaces TForm1::protocolPlaces()
{
    takeSettingsFromWindow(*this);
    return ProtocolPlaces{m_settings.communicationFolder, m_settings.channel, m_settings.protocolFolder,
                          findMenuAction(QStringLiteral("AutoProtSpeichern1"))->isChecked()};
}

bool TForm1::enterResultInBestList()
{
    return m_results->enterResultAtQuizEnd();
}

bool TForm1::labelEditorOpen() const
{
    return m_editorCtl->editorOpen();
}

bool TForm1::askNetworkOptions(qint32 dokTyp, QuizOptions &options)
{
    return m_quiz->askNetworkOptions(dokTyp, options);
}

bool TForm1::openExchangeDocument(const QString &path)
{
    return m_topics->openExchangeDocument(path);
}

void TForm1::startTestQuiz()
{
    raise();
    activateWindow();
    UebungStart1Click();
}

void TForm1::closeExchangeDocument()
{
    m_topics->closeExchangeDocument();
}

void TForm1::clearBestList()
{
    m_results->clearBestList();
}

void TForm1::showNetworkBestList()
{
    m_results->showNetworkBestList();
}

void TForm1::practiseTopic(const PracticeRequest &request)
{
    // "Fällige üben" waits for a quiz that asks part of a topic (the window's button is off
    // until then): practiceSelection(m_doc, request.itemKeys) is what it will ask.
    if (request.dueOnly || !ConfirmLeaveQuiz())
        return;
    if (quizInProgress())
        leaveQuiz();
    if (!QFileInfo::exists(request.topicPath)) {
        m_services.messages.information(QStringLiteral("Das Thema \"") + request.title
                                        + QStringLiteral("\" kann nicht geöffnet werden: Die Datei \"")
                                        + QDir::toNativeSeparators(request.topicPath)
                                        + QStringLiteral("\" ist nicht mehr vorhanden."));
        return;
    }
    m_topics->openLinkedDocument(request.topicPath);
    if (!m_doc.isLoaded() || QFileInfo(m_doc.fileName) != QFileInfo(request.topicPath))
        return; // the reader has said why
    if (LernkarteiWindow *lernkartei = m_learning->lernkarteiWindow())
        lernkartei->close();
    UebungStart1Click();
}

bool TForm1::showItemCard(const TopicDocument &exercise, const QHash<int, double> &rates)
{
    if (!m_topics->showExerciseDocument(exercise))
        return false;
    SetLearningViewShown(true);
    m_viewCtl->showItemMarks(rates);
    return true;
}

void TForm1::networkRoleChanged()
{
    m_quiz->updateModeControls();
}

} // namespace kapitolo
