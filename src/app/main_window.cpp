#include "app/main_window.h"

#include "app/about_box.h"
#include "app/app_texts.h"
#include "app/card_area.h"
#include "app/topic_menu.h"
#include "controls/hover_panel.h"
#include "platform/cursors.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "platform/png_codec.h"
#include "platform/random.h"
#include "platform/save_path.h"
#include "platform/settings_store.h"
#include "platform/system_info.h"
#include "quiz/protocol_window.h"
#include "quiz/quiz_board.h"
#include "quiz/quiz_dialogs.h"
#include "quiz/quiz_option_forms.h"
#include "quiz/quiz_status_panel.h"
#include "results/best_list_commands.h"
#include "results/best_list_window.h"
#include "results/result_folders_dialog.h"
#include "view/card_image_widget.h"
#include "view/card_renderer.h"
#include "view/learning_view.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace kapitolo {

namespace {

QString linkText(const QString &address, const QColor &colour)
{
    QString shown = address;
    shown.remove(QStringLiteral("https://"));
    if (shown.endsWith(QLatin1Char('/')))
        shown.chop(1);
    return QStringLiteral("<a href=\"%1\" style=\"color:%2; text-decoration:none\">%3</a>")
        .arg(address, colour.name(), shown.toHtmlEscaped());
}

QImage loadPng(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decodePng(file);
}

} // namespace

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
    m_automationFile = qEnvironmentVariable("KAPITOLO_AUTOMATION");

    // The start picture and the topic folder of the command line are read on the second
    // core while the windows are built; both are waited for where they are needed.
    const QString startPicture = m_dataFolder + QStringLiteral("kapitolo.png");
    if (QFileInfo::exists(startPicture))
        m_startPictureLoad = std::async(std::launch::async, [startPicture] { return loadPng(startPicture); });
    m_topics = std::make_unique<TopicNavigator>(m_services, m_doc, *this, m_programFolder, commandLineArgument);

    m_viewCtl = std::make_unique<LearningViewController>(m_services, m_doc, m_view, m_bitmaps, *this);
    m_quiz = std::make_unique<QuizController>(m_services, m_doc, m_view, m_bitmaps, m_viewCtl->renderer(), *this,
                                              m_programFolder + QStringLiteral("sound/"));
    m_net = std::make_unique<NetworkController>(m_services, m_doc, m_quiz->engine(), m_settings, *this, this);
    m_editorCtl = std::make_unique<TopicEditorController>(m_services, m_doc, *this, this);
    m_sharing = std::make_unique<SharingController>(m_services, m_doc, m_programFolder + QStringLiteral("setupbasissystem/"),
                                                    makerWebAddress(), this);

    loadThemeColours();
    createPanels();
    createMenus();

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

void TForm1::loadThemeColours()
{
    const QImage first = loadPng(m_dataFolder + QStringLiteral("hintergrund1.png"));
    const QImage second = loadPng(m_dataFolder + QStringLiteral("hintergrund2.png"));
    auto pixel = [](const QImage &image, int x, int y, QColor fallback) {
        return image.valid(x, y) ? QColor::fromRgb(image.pixel(x, y)) : fallback;
    };
    m_windowColor = pixel(first, 0, 0, QColor(228, 228, 222));
    m_cardColor = pixel(first, 30, 30, QColor(246, 246, 242));
    m_toolButtonBase = pixel(second, 30, 30, QColor(236, 236, 232));
}

void TForm1::createPanels()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("HauptPan"));
    central->setAutoFillBackground(true);
    QPalette windowPalette = central->palette();
    windowPalette.setColor(QPalette::Window, m_windowColor);
    central->setPalette(windowPalette);

    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(6, 6, 8, 8);
    row->setSpacing(8);

    auto *infoPan = new QWidget(central);
    infoPan->setObjectName(QStringLiteral("InfoPan"));
    createToolButtons(infoPan);
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
    QPalette cardPalette = m_cardArea->palette();
    cardPalette.setColor(QPalette::Window, m_cardColor);
    m_cardArea->setPalette(cardPalette);
    QPalette startPalette = m_cardArea->startPanel()->palette();
    startPalette.setColor(QPalette::Window, m_cardColor);
    startPalette.setColor(QPalette::WindowText, QColor(111, 111, 106));
    m_cardArea->startPanel()->setPalette(startPalette);
    m_cardArea->urlLabel()->setText(linkText(programWebAddress(), QColor(111, 111, 106)));
    m_cardArea->makerLabel()->setText(linkText(makerWebAddress(), QColor(111, 111, 106)));
    connect(m_cardArea->urlLabel(), &QLabel::linkActivated, this, [this] { OpenWebPage(programWebAddress()); });
    connect(m_cardArea->makerLabel(), &QLabel::linkActivated, this, [this] { OpenWebPage(makerWebAddress()); });
    column->addWidget(m_cardArea, 1);

    m_quiz->createStatusPanel(central, m_cardColor);
    column->addWidget(m_quiz->statusPanel());

    setCentralWidget(central);
}

void TForm1::createToolButtons(QWidget *panel)
{
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 34, 0, 0);
    layout->setSpacing(6);
    auto make = [&](const char *name, const QString &caption, const QString &hint) {
        auto *b = new THoverPanel(panel);
        b->setObjectName(QLatin1String(name));
        styleToolButton(*b);
        b->setBevelWidth(0);
        b->setCaption(caption);
        b->setToolTip(hint);
        b->setWordWrap(true);
        b->setFontAutoSize(true);
        b->setMinFontSize(7);
        QFont f(QStringLiteral("Arial"));
        f.setPointSize(9);
        f.setBold(true);
        b->setFont(f);
        b->setFixedSize(104, 44);
        b->setTabStop(true);
        m_toolButtons.append(b);
        return b;
    };
    THoverPanel *lernKart = make("LernKartBtn", QStringLiteral("Startseite"), QStringLiteral("Zur Startseite"));
    THoverPanel *start = make("UebungenBtn", QStringLiteral("Quiz starten"), QStringLiteral("Quiz starten (F7)"));
    THoverPanel *best = make("BestListBtn", QStringLiteral("Bestenliste"), QStringLiteral("Bestenliste anzeigen (Strg+F7)"));
    auto *navigation = new QWidget(panel);
    auto *navRow = new QHBoxLayout(navigation);
    navRow->setContentsMargins(0, 0, 0, 0);
    navRow->setSpacing(4);
    THoverPanel *previous = make("PrevDokPan", QStringLiteral("\u25C0"), QStringLiteral("vorheriges Quiz öffnen"));
    THoverPanel *next = make("HoverPanel1", QStringLiteral("\u25B6"), QStringLiteral("nächstes Quiz öffnen"));
    previous->setFixedSize(50, 36);
    next->setFixedSize(50, 36);
    navRow->addWidget(previous);
    navRow->addWidget(next);
    THoverPanel *sheet = make("ABBtn", QStringLiteral("Arbeitsblatt"), QStringLiteral("Arbeitsblatt erstellen"));
    THoverPanel *mail = make("EMailBtn", QStringLiteral("E-Mail"), QStringLiteral("Dokument per E-Mail versenden"));
    THoverPanel *editor = make("ThemaBearbeitenBtn", QStringLiteral("Thema bearbeiten"),
                               QStringLiteral("Das Thema im Themen-Editor bearbeiten (Strg+Umschalt+B)"));
    layout->addWidget(lernKart);
    layout->addWidget(start);
    layout->addWidget(best);
    layout->addSpacing(10);
    layout->addWidget(navigation);
    layout->addSpacing(10);
    layout->addWidget(sheet);
    layout->addWidget(mail);
    layout->addWidget(editor);
    layout->addStretch(1);

    connect(lernKart, &THoverPanel::clicked, this, &TForm1::LernKartBtnClick);
    connect(start, &THoverPanel::pressed, this, [this] { UebungStart1Click(); });
    connect(best, &THoverPanel::clicked, this, &TForm1::Bestenliste1Click);
    connect(previous, &THoverPanel::clicked, this, [this] { m_topics->OpenPreviousTopic(); });
    connect(next, &THoverPanel::clicked, this, [this] { m_topics->OpenNextTopic(); });
    connect(sheet, &THoverPanel::clicked, this, [this] { m_sharing->Arbeitsblatt1Click(); });
    connect(mail, &THoverPanel::clicked, this, [this] { m_sharing->EMail1Click(); });
    connect(editor, &THoverPanel::clicked, this, [this] { m_editorCtl->ThemaBearbeiten1Click(); });
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
    const QString path = m_dataFolder + QStringLiteral("kapitolo.png");
    if (!QFileInfo::exists(path)) {
        m_services.messages.error(QStringLiteral("Datei \"") + QDir::toNativeSeparators(path)
                                  + QStringLiteral("\" nicht gefunden."));
        return;
    }
    m_startPicture = m_startPictureLoad.valid() ? m_startPictureLoad.get() : loadPng(path);
    if (!m_startPicture.isNull())
        m_cardArea->picture()->setPixmap(QPixmap::fromImage(m_startPicture));
}

QAction *TForm1::addMenuAction(QMenu *menu, const QString &name, const QString &caption,
                               const QKeySequence &shortcut, bool hidden)
{
    auto *action = new QAction(caption, this);
    action->setObjectName(name);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    // A hidden item is not shown, but its shortcut acts: the window carries the action.
    if (hidden)
        addAction(action);
    else if (menu)
        menu->addAction(action);
    return action;
}

QAction *TForm1::findMenuAction(const QString &objectName) const
{
    return findChild<QAction *>(objectName);
}

void TForm1::createMenus()
{
    QMenuBar *bar = menuBar();

    // &Aktion
    QMenu *aktion = bar->addMenu(QStringLiteral("&Aktion"));
    aktion->setObjectName(QStringLiteral("Aktion1"));
    QAction *startQuiz = addMenuAction(aktion, QStringLiteral("UebungStart1"), QStringLiteral("Quiz &starten"),
                                       QKeySequence(Qt::Key_F7), false);
    connect(startQuiz, &QAction::triggered, this, [this] { UebungStart1Click(); });
    QAction *options = addMenuAction(aktion, QStringLiteral("UebOpt1"), QStringLiteral("Übungs&optionen..."),
                                     QKeySequence(Qt::ALT | Qt::Key_F7), true);
    connect(options, &QAction::triggered, this, &TForm1::UebOpt1Click);
    QAction *bestList = addMenuAction(aktion, QStringLiteral("Bestenliste1"), QStringLiteral("&Bestenliste..."),
                                      QKeySequence(Qt::CTRL | Qt::Key_F7), false);
    connect(bestList, &QAction::triggered, this, &TForm1::Bestenliste1Click);
    QAction *protocol = addMenuAction(aktion, QStringLiteral("ProtokollderletztenUebung1"), QStringLiteral("&Protokoll..."),
                                      {}, false);
    connect(protocol, &QAction::triggered, m_quiz.get(), &QuizController::showProtocol);
    QAction *participate = addMenuAction(aktion, QStringLiteral("NetzTeilnehmen1"),
                                         QStringLiteral("An Netzwerk-Übung &teilnehmen..."), QKeySequence(Qt::Key_F8),
                                         true);
    connect(participate, &QAction::triggered, m_net.get(), &NetworkController::NetzTeilnehmen1Click);
    QAction *networkList = addMenuAction(aktion, QStringLiteral("NetzBestenliste1"),
                                         QStringLiteral("Besten&liste Netzwerk-Übung..."),
                                         QKeySequence(Qt::CTRL | Qt::Key_F8), true);
    connect(networkList, &QAction::triggered, this, &TForm1::showNetworkBestList);
    QAction *cancel = addMenuAction(aktion, QStringLiteral("Lernkarte1"), QStringLiteral("Quiz &abbrechen"), {}, false);
    connect(cancel, &QAction::triggered, this, [this] {
        if (quizInProgress())
            m_quiz->engine().CancelQuiz();
    });
    aktion->addSeparator();
    QAction *quit = addMenuAction(aktion, QStringLiteral("Beenden1"), QStringLiteral("Programm &beenden"), {}, false);
    connect(quit, &QAction::triggered, this, &QWidget::close);

    // &Quizauswahl
    m_quizMenu = new TopicMenu(QStringLiteral("&Quizauswahl"), this);
    m_quizMenu->setObjectName(QStringLiteral("Quizauswahl1"));
    bar->addMenu(m_quizMenu);
    QAction *startPage = addMenuAction(m_quizMenu, QStringLiteral("Startseite1"), QStringLiteral("&Startseite"),
                                       QKeySequence(Qt::ALT | Qt::Key_Home), false);
    connect(startPage, &QAction::triggered, this, [this] {
        if (ConfirmLeaveQuiz())
            m_topics->ShowStartPage();
    });
    QAction *previousDoc = addMenuAction(m_quizMenu, QStringLiteral("ZuvorDok1"),
                                         QStringLiteral("&Zuvor angzeigtes Dokument"),
                                         QKeySequence(Qt::ALT | Qt::Key_Backspace), true);
    connect(previousDoc, &QAction::triggered, this, [this] { m_topics->OpenPreviousDocument(); });
    QAction *previous = addMenuAction(m_quizMenu, QStringLiteral("VorherigesQuiz1"),
                                      QStringLiteral("&Vorheriges Quiz der Liste"), QKeySequence(Qt::Key_PageUp), true);
    connect(previous, &QAction::triggered, this, [this] { m_topics->OpenPreviousTopic(); });
    QAction *next = addMenuAction(m_quizMenu, QStringLiteral("NaechstesQuiz1"),
                                  QStringLiteral("&Nächstes Quiz der Liste"), QKeySequence(Qt::Key_PageDown), true);
    connect(next, &QAction::triggered, this, [this] { m_topics->OpenNextTopic(); });
    QAction *folder = addMenuAction(m_quizMenu, QStringLiteral("OrdnerWaehlen1"), QStringLiteral("&Ordner wählen..."),
                                    QKeySequence(Qt::CTRL | Qt::Key_W), true);
    connect(folder, &QAction::triggered, this, [this] { m_topics->ChooseFolder(); });
    m_quizMenuHiddenActions = {previousDoc, previous, next, folder};
    m_quizMenu->addSeparator();
    // Queued: the quiz starts once the menu that chose the topic has closed.
    connect(this, &TForm1::quizRequested, this, [this] { UebungStart1Click(); }, Qt::QueuedConnection);
    connect(m_quizMenu, &TopicMenu::topicChosen, this, [this](int index) {
        m_topics->OpenTopicEntry(index);
        if (m_doc.isLoaded() && m_topics->currentTopicIndex() == index)
            Q_EMIT quizRequested();
    });

    // &Datei (hidden)
    QMenu *datei = new QMenu(QStringLiteral("&Datei"), this);
    datei->setObjectName(QStringLiteral("Datei1"));
    QAction *open = addMenuAction(datei, QStringLiteral("Oeffnen1"), QStringLiteral("Ö&ffnen..."),
                                  QKeySequence(Qt::CTRL | Qt::Key_O), true);
    connect(open, &QAction::triggered, this, [this] { m_topics->OpenDocumentDialog(); });
    QAction *mail = addMenuAction(datei, QStringLiteral("EMail1"), QStringLiteral("Per E-&Mail versenden..."),
                                  QKeySequence(Qt::CTRL | Qt::Key_M), true);
    connect(mail, &QAction::triggered, this, [this] { m_sharing->EMail1Click(); });
    addMenuAction(datei, QStringLiteral("Drucken1"), QStringLiteral("&Drucken..."), QKeySequence(Qt::CTRL | Qt::Key_P), true);
    QAction *exportView = addMenuAction(datei, QStringLiteral("Exportieren1"), QStringLiteral("&Exportieren..."),
                                        QKeySequence(Qt::CTRL | Qt::Key_E), true);
    connect(exportView, &QAction::triggered, m_viewCtl.get(), &LearningViewController::ExportView1Click);
    QAction *copyView = addMenuAction(datei, QStringLiteral("Zwischenablage1"), QStringLiteral("In &Zwischenablage kopieren"),
                                      QKeySequence(Qt::CTRL | Qt::Key_Z), true);
    connect(copyView, &QAction::triggered, m_viewCtl.get(), &LearningViewController::CopyView1Click);
    QAction *sheet = addMenuAction(datei, QStringLiteral("Arbeitsblatt1"), QStringLiteral("&Arbeitsblatt erstellen..."),
                                   QKeySequence(Qt::CTRL | Qt::Key_A), true);
    connect(sheet, &QAction::triggered, this, [this] { m_sharing->Arbeitsblatt1Click(); });
    QAction *newTopic = addMenuAction(datei, QStringLiteral("NeuesThema1"), QStringLiteral("&Neues Thema..."),
                                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N), true);
    connect(newTopic, &QAction::triggered, this, [this] { m_editorCtl->NeuesThema1Click(); });
    QAction *editTopic = addMenuAction(datei, QStringLiteral("ThemaBearbeiten1"), QStringLiteral("Thema &bearbeiten..."),
                                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B), true);
    connect(editTopic, &QAction::triggered, this, [this] { m_editorCtl->ThemaBearbeiten1Click(); });
    QAction *closeDoc = addMenuAction(datei, QStringLiteral("Schliessen1"), QStringLiteral("Sch&ließen"),
                                      QKeySequence(Qt::CTRL | Qt::Key_F4), true);
    connect(closeDoc, &QAction::triggered, this, [this] {
        if (ConfirmLeaveQuiz())
            m_topics->CloseDocument();
    });

    // &Lernansicht and Lehrer&steuerung (hidden)
    QAction *fold = addMenuAction(nullptr, QStringLiteral("Klappen1"), QStringLiteral("Werkzeugleiste zu&klappen"),
                                  QKeySequence(Qt::ALT | Qt::Key_W), true);
    connect(fold, &QAction::triggered, m_viewCtl.get(), &LearningViewController::toggleToolStrip);
    QAction *initiate = addMenuAction(nullptr, QStringLiteral("NetzInit1"), QStringLiteral("&Netzwerk-Übung initiieren..."),
                                      QKeySequence(Qt::Key_F9), true);
    connect(initiate, &QAction::triggered, m_net.get(), &NetworkController::NetzInit1Click);
    QAction *endNetwork = addMenuAction(nullptr, QStringLiteral("NetzBeenden1"), QStringLiteral("Netzwerk-Übung &beenden"),
                                        {}, true);
    connect(endNetwork, &QAction::triggered, m_net.get(), &NetworkController::NetzBeenden1Click);
    QAction *display = addMenuAction(nullptr, QStringLiteral("Kontrollanzeige1"), QStringLiteral("&Kontrollanzeige..."),
                                     QKeySequence(Qt::ALT | Qt::Key_F9), true);
    connect(display, &QAction::triggered, m_net.get(), &NetworkController::Kontrollanzeige1Click);

    // &Optionen
    QMenu *optionen = bar->addMenu(QStringLiteral("&Optionen"));
    optionen->setObjectName(QStringLiteral("Optionen1"));
    for (const auto &[name, caption] : {std::pair{"Sound1", "&Tonausgabe"},
                                        std::pair{"OptNameEingabe1", "&Namenseingabe bei Quiz-Start"},
                                        std::pair{"AutoProtSpeichern1", "&Protokolle automatisch speichern"},
                                        std::pair{"ErgebBestListEintragen1",
                                                  "&Ergebnisse automatisch in Bestenliste eintragen"}}) {
        QAction *action = addMenuAction(optionen, QLatin1String(name), QString::fromUtf8(caption), {}, false);
        action->setCheckable(true);
    }
    QAction *learningView = addMenuAction(optionen, QStringLiteral("LernansichtAnzeigen1"),
                                          QStringLiteral("&Lernansicht anzeigen"), {}, false);
    learningView->setCheckable(true);
    connect(learningView, &QAction::triggered, this, &TForm1::SetLearningViewShown);
    QMenu *anzeige = optionen->addMenu(QStringLiteral("An&zeige"));
    anzeige->setObjectName(QStringLiteral("Anzeige1"));
    auto *modes = new QActionGroup(this);
    QAction *full = addMenuAction(anzeige, QStringLiteral("Vollbild1"), QStringLiteral("&Vollbild"),
                                  QKeySequence(Qt::CTRL | Qt::Key_L), false);
    QAction *window = addMenuAction(anzeige, QStringLiteral("Fenster1"), QStringLiteral("&Fenster"),
                                    QKeySequence(Qt::CTRL | Qt::Key_F), false);
    QAction *minimise = addMenuAction(anzeige, QStringLiteral("Minimieren1"), QStringLiteral("&Minimieren"),
                                      QKeySequence(Qt::CTRL | Qt::Key_N), false);
    for (QAction *a : {full, window}) {
        a->setCheckable(true);
        a->setActionGroup(modes);
    }
    window->setChecked(true);
    connect(full, &QAction::triggered, this, &TForm1::SetFullScreenMode);
    connect(window, &QAction::triggered, this, &TForm1::SetWindowMode);
    connect(minimise, &QAction::triggered, this, &TForm1::MinimiseApplication);
    optionen->addSeparator();
    QAction *folders = addMenuAction(optionen, QStringLiteral("BestListVerz1"),
                                     QStringLiteral("&Ordner für Protokolle und Bestenlisten..."), {}, false);
    connect(folders, &QAction::triggered, this, &TForm1::BestListVerz1Click);
    QAction *communication = addMenuAction(optionen, QStringLiteral("NetzKom1"), QStringLiteral("Netzwerk-&Kommunikation..."),
                                           {}, false);
    connect(communication, &QAction::triggered, m_net.get(), &NetworkController::NetzKom1Click);

    // &Hilfe
    QMenu *hilfe = bar->addMenu(QStringLiteral("&Hilfe"));
    hilfe->setObjectName(QStringLiteral("Hilfe1"));
    QAction *help = addMenuAction(hilfe, QStringLiteral("Inhalt1"), QStringLiteral("&Inhalt"), QKeySequence(Qt::Key_F1), true);
    connect(help, &QAction::triggered, this, &TForm1::OpenHelp);
    QAction *online = addMenuAction(hilfe, QStringLiteral("Online1"), QStringLiteral("Kapitolo online"), {}, false);
    connect(online, &QAction::triggered, this, [this] { OpenWebPage(programWebAddress()); });
    QAction *info = addMenuAction(hilfe, QStringLiteral("Info1"), QStringLiteral("Inf&o..."), {}, false);
    connect(info, &QAction::triggered, this, [this] {
        if (m_infoBox)
            m_infoBox->exec();
    });
}

DialogLook TForm1::dialogLook() const
{
    DialogLook look;
    look.windowColor = m_windowColor;
    look.panelColor = m_cardColor;
    look.backgroundTile = loadPng(m_dataFolder + QStringLiteral("hintergrund1.png"));
    return look;
}

void TForm1::CreateDialogs()
{
    if (!m_dialogs.isEmpty())
        return;
    const DialogLook look = dialogLook();
    // Created once, in this order, after the main window; shown modally when needed.
    // The quiz creates its own dialogs in their places of the order.
    // The worksheet window, the e-mail dialog, the protocol window, the information window
    // and the network's windows come on first use.
    for (const char *name : {"TBestListForm", "TUebOptFragenForm", "TUebFertigForm", "TInfoBox", "TKennzInfoBox",
                             "TNameEingabeForm", "TBestListVerzForm", "TUebOptForm"}) {
        const QString dialogName = QLatin1String(name);
        QWidget *dialog = m_quiz->createDialog(dialogName, look, this);
        if (dialog) {
        } else if (dialogName == QLatin1String("TBestListForm")) {
            dialog = m_bestListForm = new TBestListForm(m_services.messages, m_services.fileDialogs, this);
        } else if (dialogName == QLatin1String("TInfoBox")) {
            dialog = m_infoBox = new TInfoBox(m_services.shell, this);
        } else if (dialogName == QLatin1String("TBestListVerzForm")) {
            dialog = m_bestListVerzForm = new TBestListVerzForm(m_services.messages, m_services.fileDialogs, this);
        }
        dialog->setObjectName(dialogName);
        m_dialogs.append(dialog);
    }

    TUebFertigForm *finished = m_quiz->uebFertigForm();
    finished->onShowBestList = [this] {
        if (FinishedDialogBestListCommand(m_quiz->engine().run().networkRole, m_doc, bestListPlaces(), m_bestList,
                                          m_services.clock, m_services.messages))
            showBestList();
    };
    finished->onEnterBestList = [this] {
        return EnterResultOnRequest(m_quiz->engine().run(), m_quiz->engine().score(), m_doc, bestListPlaces(),
                                    computerName(), m_services.clock, m_services.messages)
            == EnterResult::Entered;
    };
    finished->onChooseResultFolders = [this] { BestListVerz1Click(); };
}

BestListPlaces TForm1::bestListPlaces() const
{
    return BestListPlaces{m_settings.bestListFolder, withTrailingSeparator(m_settings.communicationFolder),
                          m_settings.channel};
}

void TForm1::showBestList()
{
    m_bestListForm->ShowList(m_doc.titel, m_bestList);
    m_bestListForm->exec();
}

void TForm1::Bestenliste1Click()
{
    if (BestListCommand(m_quiz->engine().run().networkRole, m_doc, bestListPlaces(), m_bestList, m_services.clock,
                        m_services.messages))
        showBestList();
}

void TForm1::BestListVerz1Click()
{
    m_bestListVerzForm->setFolders(m_settings.protocolFolder, m_settings.bestListFolder);
    if (m_bestListVerzForm->exec() != QDialog::Accepted)
        return;
    m_settings.protocolFolder = m_bestListVerzForm->protocolFolder();
    m_settings.bestListFolder = m_bestListVerzForm->bestListFolder();
    m_protocolDialogFolder = m_settings.protocolFolder;
    m_quiz->setProtocolFolder(m_settings.protocolFolder);
    m_bestListForm->setTextSaveFolder(m_settings.protocolFolder);
}

void TForm1::UebOpt1Click()
{
    if (quizInProgress()) {
        m_services.messages.information(
            QStringLiteral("Die Übungsoptionen können nicht während der Übung geändert werden."));
        return;
    }
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

void TForm1::applySettingsToControls()
{
    findMenuAction(QStringLiteral("Sound1"))->setChecked(m_settings.sound);
    findMenuAction(QStringLiteral("OptNameEingabe1"))->setChecked(m_settings.nameEntry);
    findMenuAction(QStringLiteral("AutoProtSpeichern1"))->setChecked(m_settings.autoSaveProtocol);
    findMenuAction(QStringLiteral("ErgebBestListEintragen1"))->setChecked(m_settings.autoBestListEntry);
    SetLearningViewShown(m_settings.learningView);
    if (m_quiz->uebOptForm())
        m_quiz->uebOptForm()->loadFrom(m_settings);
    if (m_quiz->uebOptFragenForm())
        m_quiz->uebOptFragenForm()->loadFrom(m_settings);
}

void TForm1::takeSettingsFromControls()
{
    m_settings.sound = findMenuAction(QStringLiteral("Sound1"))->isChecked();
    m_settings.nameEntry = findMenuAction(QStringLiteral("OptNameEingabe1"))->isChecked();
    m_settings.autoSaveProtocol = findMenuAction(QStringLiteral("AutoProtSpeichern1"))->isChecked();
    m_settings.autoBestListEntry = findMenuAction(QStringLiteral("ErgebBestListEintragen1"))->isChecked();
    m_settings.learningView = learningViewShown();
    if (m_quiz->uebOptForm())
        m_quiz->uebOptForm()->storeTo(m_settings);
    if (m_quiz->uebOptFragenForm())
        m_quiz->uebOptFragenForm()->storeTo(m_settings);
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
    m_settings.read(m_services.settings);
    applySettingsToControls();
    m_protocolDialogFolder = m_settings.protocolFolder;
    m_quiz->setProtocolFolder(m_settings.protocolFolder);
    if (m_bestListForm)
        m_bestListForm->setTextSaveFolder(m_settings.protocolFolder);

    m_topics->FormShow();
    m_firstShowing = false;
    writeAutomationState();
    // An exercise this computer initiated and never ended: the program went down.
    if (m_net->network().offerResume())
        writeAutomationState();
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

void TForm1::setQuizMenuEnabled(bool enabled)
{
    m_quizMenu->setEnabled(enabled);
    for (QAction *action : m_quizMenu->actions())
        action->setEnabled(enabled);
    for (QAction *action : std::as_const(m_quizMenuHiddenActions))
        action->setEnabled(enabled);
    for (QAction *action : m_quizMenu->topicActions())
        action->setEnabled(enabled);
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

void TForm1::ScrollView(int dx, int dy)
{
    m_viewKeyLog.append(dx * 10 + dy);
    if (quizInProgress())
        return; // the quiz keeps its card still under the tiles
    m_viewCtl->learningView().Scroll(dx < 0 ? ScrollDirection::Left : dx > 0 ? ScrollDirection::Right
                         : dy < 0                  ? ScrollDirection::Up
                                                   : ScrollDirection::Down);
}

void TForm1::ZoomView(int steps)
{
    m_viewKeyLog.append(100 * steps);
    if (quizInProgress())
        return;
    if (steps > 0)
        m_viewCtl->learningView().ZoomIn();
    else
        m_viewCtl->learningView().ZoomOut();
}

void TForm1::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    if (m_quiz->quizKey(event))
        return; // the keys 1 to 6 answer a single question wherever the focus is
    if (mods == Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_Left: ScrollView(-1, 0); return;
        case Qt::Key_Up: ScrollView(0, -1); return;
        case Qt::Key_Right: ScrollView(1, 0); return;
        case Qt::Key_Down: ScrollView(0, 1); return;
        case Qt::Key_Plus:
            if (keypad) {
                ZoomView(1);
                return;
            }
            break;
        case Qt::Key_Minus:
            if (keypad) {
                ZoomView(-1);
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
    takeSettingsFromControls();
    m_settings.write(m_services.settings);
    m_services.settings.sync();
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
    // The pupil's topic menu stays with the pupil's topics, not the exchange folder.
    return readCopyAsTopic(path) && m_doc.fileName == path;
}

void TForm1::startTestQuiz()
{
    raise();
    activateWindow();
    UebungStart1Click();
}

void TForm1::closeExchangeDocument()
{
    if (m_doc.isLoaded() && QFileInfo(m_doc.fileName).fileName().endsWith(QLatin1String("tsrnetzuebung.tsr")))
        m_topics->CloseDocument();
}

void TForm1::clearBestList()
{
    m_bestList = BestList();
}

void TForm1::showNetworkBestList()
{
    if (NetworkBestListCommand(m_doc, bestListPlaces(), m_bestList, m_services.clock, m_services.messages))
        showBestList();
}

bool TForm1::showItemCard(const TopicDocument &exercise, const QHash<int, double> &rates)
{
    if (!m_topics->showExerciseDocument(exercise))
        return false;
    if (!m_settings.learningView)
        SetLearningViewShown(true);
    m_viewCtl->showItemMarks(rates);
    raise();
    activateWindow();
    return true;
}

void TForm1::networkRoleChanged()
{
    m_quiz->updateModeControls();
}

} // namespace kapitolo
