#include "app/main_menus.h"

#include "app/about_box.h"
#include "app/app_texts.h"
#include "app/main_window.h"
#include "app/topic_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

namespace kapitolo {

namespace {

QAction *addMenuAction(TForm1 &window, QMenu *menu, const QString &name, const QString &caption,
                       const QKeySequence &shortcut, bool hidden)
{
    auto *action = new QAction(caption, &window);
    action->setObjectName(name);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    // A hidden item is not shown, but its shortcut acts: the window carries the action.
    if (hidden)
        window.addAction(action);
    else if (menu)
        menu->addAction(action);
    return action;
}

} // namespace

MainMenus createMainMenus(TForm1 &w)
{
    TForm1 *const window = &w;
    MainMenus menus;
    QMenuBar *bar = window->menuBar();

    // &Aktion
    QMenu *aktion = bar->addMenu(QStringLiteral("&Aktion"));
    aktion->setObjectName(QStringLiteral("Aktion1"));
    QAction *startQuiz = addMenuAction(*window, aktion, QStringLiteral("UebungStart1"), QStringLiteral("Quiz &starten"),
                                       QKeySequence(Qt::Key_F7), false);
    QObject::connect(startQuiz, &QAction::triggered, window, [window] { window->UebungStart1Click(); });
    QAction *options = addMenuAction(*window, aktion, QStringLiteral("UebOpt1"), QStringLiteral("Übungs&optionen..."),
                                     QKeySequence(Qt::ALT | Qt::Key_F7), true);
    QObject::connect(options, &QAction::triggered, window, &TForm1::UebOpt1Click);
    QAction *bestList = addMenuAction(*window, aktion, QStringLiteral("Bestenliste1"), QStringLiteral("&Bestenliste..."),
                                      QKeySequence(Qt::CTRL | Qt::Key_F7), false);
    QObject::connect(bestList, &QAction::triggered, &window->results(), &ResultsController::Bestenliste1Click);
    QAction *protocol = addMenuAction(*window, aktion, QStringLiteral("ProtokollderletztenUebung1"), QStringLiteral("&Protokoll..."),
                                      {}, false);
    QObject::connect(protocol, &QAction::triggered, &window->quiz(), &QuizController::showProtocol);
    QAction *lernkartei = addMenuAction(*window, aktion, QStringLiteral("Lernkartei1"), QStringLiteral("Lern&kartei..."),
                                        QKeySequence(Qt::CTRL | Qt::Key_K), false);
    QObject::connect(lernkartei, &QAction::triggered, &window->learning(), &LearningController::showLernkartei);
    QAction *participate = addMenuAction(*window, aktion, QStringLiteral("NetzTeilnehmen1"),
                                         QStringLiteral("An Netzwerk-Übung &teilnehmen..."), QKeySequence(Qt::Key_F8),
                                         true);
    QObject::connect(participate, &QAction::triggered, &window->networkQuiz(), &NetworkController::NetzTeilnehmen1Click);
    QAction *networkList = addMenuAction(*window, aktion, QStringLiteral("NetzBestenliste1"),
                                         QStringLiteral("Besten&liste Netzwerk-Übung..."),
                                         QKeySequence(Qt::CTRL | Qt::Key_F8), true);
    QObject::connect(networkList, &QAction::triggered, window, &TForm1::showNetworkBestList);
    QAction *cancel = addMenuAction(*window, aktion, QStringLiteral("Lernkarte1"), QStringLiteral("Quiz &abbrechen"), {}, false);
    QObject::connect(cancel, &QAction::triggered, window, [window] {
        if (window->quizInProgress())
            window->engine().CancelQuiz();
    });
    aktion->addSeparator();
    QAction *quit = addMenuAction(*window, aktion, QStringLiteral("Beenden1"), QStringLiteral("Programm &beenden"), {}, false);
    QObject::connect(quit, &QAction::triggered, window, &QWidget::close);

    // &Quizauswahl
    menus.quizMenu = new TopicMenu(QStringLiteral("&Quizauswahl"), window);
    menus.quizMenu->setObjectName(QStringLiteral("Quizauswahl1"));
    bar->addMenu(menus.quizMenu);
    QAction *startPage = addMenuAction(*window, menus.quizMenu, QStringLiteral("Startseite1"), QStringLiteral("&Startseite"),
                                       QKeySequence(Qt::ALT | Qt::Key_Home), false);
    QObject::connect(startPage, &QAction::triggered, window, [window] {
        if (window->ConfirmLeaveQuiz())
            window->topics().ShowStartPage();
    });
    QAction *previousDoc = addMenuAction(*window, menus.quizMenu, QStringLiteral("ZuvorDok1"),
                                         QStringLiteral("&Zuvor angzeigtes Dokument"),
                                         QKeySequence(Qt::ALT | Qt::Key_Backspace), true);
    QObject::connect(previousDoc, &QAction::triggered, window, [window] { window->topics().OpenPreviousDocument(); });
    QAction *previous = addMenuAction(*window, menus.quizMenu, QStringLiteral("VorherigesQuiz1"),
                                      QStringLiteral("&Vorheriges Quiz der Liste"), QKeySequence(Qt::Key_PageUp), true);
    QObject::connect(previous, &QAction::triggered, window, [window] { window->topics().OpenPreviousTopic(); });
    QAction *next = addMenuAction(*window, menus.quizMenu, QStringLiteral("NaechstesQuiz1"),
                                  QStringLiteral("&Nächstes Quiz der Liste"), QKeySequence(Qt::Key_PageDown), true);
    QObject::connect(next, &QAction::triggered, window, [window] { window->topics().OpenNextTopic(); });
    QAction *folder = addMenuAction(*window, menus.quizMenu, QStringLiteral("OrdnerWaehlen1"), QStringLiteral("&Ordner wählen..."),
                                    QKeySequence(Qt::CTRL | Qt::Key_W), true);
    QObject::connect(folder, &QAction::triggered, window, [window] { window->topics().ChooseFolder(); });
    menus.hiddenQuizActions = {previousDoc, previous, next, folder};
    menus.quizMenu->addSeparator();
    // Queued: the quiz starts once the menu that chose the topic has closed.
    QObject::connect(window, &TForm1::quizRequested, window, [window] { window->UebungStart1Click(); }, Qt::QueuedConnection);
    QObject::connect(menus.quizMenu, &TopicMenu::topicChosen, window, [window](int index) {
        window->topics().OpenTopicEntry(index);
        if (window->document().isLoaded() && window->topics().currentTopicIndex() == index)
            Q_EMIT window->quizRequested();
    });
    QObject::connect(menus.quizMenu, &TopicMenu::folderTopicChosen, window, [window](const QString &path) {
        window->topics().OpenFolderTopic(path);
        if (window->document().isLoaded() && window->document().fileName == path)
            Q_EMIT window->quizRequested();
    });

    // &Datei (hidden)
    QMenu *datei = new QMenu(QStringLiteral("&Datei"), window);
    datei->setObjectName(QStringLiteral("Datei1"));
    QAction *open = addMenuAction(*window, datei, QStringLiteral("Oeffnen1"), QStringLiteral("Ö&ffnen..."),
                                  QKeySequence(Qt::CTRL | Qt::Key_O), true);
    QObject::connect(open, &QAction::triggered, window, [window] { window->topics().OpenDocumentDialog(); });
    QAction *mail = addMenuAction(*window, datei, QStringLiteral("EMail1"), QStringLiteral("Per E-&Mail versenden..."),
                                  QKeySequence(Qt::CTRL | Qt::Key_M), true);
    QObject::connect(mail, &QAction::triggered, window, [window] { window->sharing().EMail1Click(); });
    addMenuAction(*window, datei, QStringLiteral("Drucken1"), QStringLiteral("&Drucken..."), QKeySequence(Qt::CTRL | Qt::Key_P), true);
    QAction *exportView = addMenuAction(*window, datei, QStringLiteral("Exportieren1"), QStringLiteral("&Exportieren..."),
                                        QKeySequence(Qt::CTRL | Qt::Key_E), true);
    QObject::connect(exportView, &QAction::triggered, &window->learningViewController(), &LearningViewController::ExportView1Click);
    QAction *copyView = addMenuAction(*window, datei, QStringLiteral("Zwischenablage1"), QStringLiteral("In &Zwischenablage kopieren"),
                                      QKeySequence(Qt::CTRL | Qt::Key_Z), true);
    QObject::connect(copyView, &QAction::triggered, &window->learningViewController(), &LearningViewController::CopyView1Click);
    QAction *sheet = addMenuAction(*window, datei, QStringLiteral("Arbeitsblatt1"), QStringLiteral("&Arbeitsblatt erstellen..."),
                                   QKeySequence(Qt::CTRL | Qt::Key_A), true);
    QObject::connect(sheet, &QAction::triggered, window, [window] { window->sharing().Arbeitsblatt1Click(); });
    QAction *newTopic = addMenuAction(*window, datei, QStringLiteral("NeuesThema1"), QStringLiteral("&Neues Thema..."),
                                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N), true);
    QObject::connect(newTopic, &QAction::triggered, window, [window] { window->topicEditorController().NeuesThema1Click(); });
    QAction *editTopic = addMenuAction(*window, datei, QStringLiteral("ThemaBearbeiten1"), QStringLiteral("Thema &bearbeiten..."),
                                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B), true);
    QObject::connect(editTopic, &QAction::triggered, window, [window] { window->topicEditorController().ThemaBearbeiten1Click(); });
    QAction *closeDoc = addMenuAction(*window, datei, QStringLiteral("Schliessen1"), QStringLiteral("Sch&ließen"),
                                      QKeySequence(Qt::CTRL | Qt::Key_F4), true);
    QObject::connect(closeDoc, &QAction::triggered, window, [window] {
        if (window->ConfirmLeaveQuiz())
            window->topics().CloseDocument();
    });

    // &Lernansicht and Lehrer&steuerung (hidden)
    QAction *fold = addMenuAction(*window, nullptr, QStringLiteral("Klappen1"), QStringLiteral("Werkzeugleiste zu&klappen"),
                                  QKeySequence(Qt::ALT | Qt::Key_W), true);
    QObject::connect(fold, &QAction::triggered, &window->learningViewController(), &LearningViewController::toggleToolStrip);
    QAction *initiate = addMenuAction(*window, nullptr, QStringLiteral("NetzInit1"), QStringLiteral("&Netzwerk-Übung initiieren..."),
                                      QKeySequence(Qt::Key_F9), true);
    QObject::connect(initiate, &QAction::triggered, &window->networkQuiz(), &NetworkController::NetzInit1Click);
    QAction *endNetwork = addMenuAction(*window, nullptr, QStringLiteral("NetzBeenden1"), QStringLiteral("Netzwerk-Übung &beenden"),
                                        {}, true);
    QObject::connect(endNetwork, &QAction::triggered, &window->networkQuiz(), &NetworkController::NetzBeenden1Click);
    QAction *display = addMenuAction(*window, nullptr, QStringLiteral("Kontrollanzeige1"), QStringLiteral("&Kontrollanzeige..."),
                                     QKeySequence(Qt::ALT | Qt::Key_F9), true);
    QObject::connect(display, &QAction::triggered, &window->networkQuiz(), &NetworkController::Kontrollanzeige1Click);
    QAction *history = addMenuAction(*window, nullptr, QStringLiteral("Klassenverlauf1"), QStringLiteral("Klassen&verlauf..."),
                                     QKeySequence(Qt::SHIFT | Qt::Key_F9), true);
    QObject::connect(history, &QAction::triggered, &window->networkQuiz(), &NetworkController::showClassHistory);

    // &Optionen
    QMenu *optionen = bar->addMenu(QStringLiteral("&Optionen"));
    optionen->setObjectName(QStringLiteral("Optionen1"));
    for (const auto &[name, caption] : {std::pair{"Sound1", "&Tonausgabe"},
                                        std::pair{"OptNameEingabe1", "&Namenseingabe bei Quiz-Start"},
                                        std::pair{"AutoProtSpeichern1", "&Protokolle automatisch speichern"},
                                        std::pair{"ErgebBestListEintragen1",
                                                  "&Ergebnisse automatisch in Bestenliste eintragen"}}) {
        QAction *action = addMenuAction(*window, optionen, QLatin1String(name), QString::fromUtf8(caption), {}, false);
        action->setCheckable(true);
    }
    QAction *learningView = addMenuAction(*window, optionen, QStringLiteral("LernansichtAnzeigen1"),
                                          QStringLiteral("&Lernansicht anzeigen"), {}, false);
    learningView->setCheckable(true);
    QObject::connect(learningView, &QAction::triggered, window, &TForm1::SetLearningViewShown);
    QMenu *anzeige = optionen->addMenu(QStringLiteral("An&zeige"));
    anzeige->setObjectName(QStringLiteral("Anzeige1"));
    auto *modes = new QActionGroup(window);
    QAction *full = addMenuAction(*window, anzeige, QStringLiteral("Vollbild1"), QStringLiteral("&Vollbild"),
                                  QKeySequence(Qt::CTRL | Qt::Key_L), false);
    QAction *windowed = addMenuAction(*window, anzeige, QStringLiteral("Fenster1"), QStringLiteral("&Fenster"),
                                      QKeySequence(Qt::CTRL | Qt::Key_F), false);
    QAction *minimise = addMenuAction(*window, anzeige, QStringLiteral("Minimieren1"), QStringLiteral("&Minimieren"),
                                      QKeySequence(Qt::CTRL | Qt::Key_N), false);
    for (QAction *a : {full, windowed}) {
        a->setCheckable(true);
        a->setActionGroup(modes);
    }
    windowed->setChecked(true);
    QObject::connect(full, &QAction::triggered, window, &TForm1::SetFullScreenMode);
    QObject::connect(windowed, &QAction::triggered, window, &TForm1::SetWindowMode);
    QObject::connect(minimise, &QAction::triggered, window, &TForm1::MinimiseApplication);
    optionen->addSeparator();
    QAction *folders = addMenuAction(*window, optionen, QStringLiteral("BestListVerz1"),
                                     QStringLiteral("&Ordner für Protokolle und Bestenlisten..."), {}, false);
    QObject::connect(folders, &QAction::triggered, &window->results(), &ResultsController::BestListVerz1Click);
    QAction *communication = addMenuAction(*window, optionen, QStringLiteral("NetzKom1"), QStringLiteral("Netzwerk-&Kommunikation..."),
                                           {}, false);
    QObject::connect(communication, &QAction::triggered, &window->networkQuiz(), &NetworkController::NetzKom1Click);

    // &Hilfe
    QMenu *hilfe = bar->addMenu(QStringLiteral("&Hilfe"));
    hilfe->setObjectName(QStringLiteral("Hilfe1"));
    QAction *help = addMenuAction(*window, hilfe, QStringLiteral("Inhalt1"), QStringLiteral("&Inhalt"), QKeySequence(Qt::Key_F1), true);
    QObject::connect(help, &QAction::triggered, window, &TForm1::OpenHelp);
    QAction *online = addMenuAction(*window, hilfe, QStringLiteral("Online1"), QStringLiteral("Kapitolo online"), {}, false);
    QObject::connect(online, &QAction::triggered, window, [window] { window->OpenWebPage(programWebAddress()); });
    QAction *info = addMenuAction(*window, hilfe, QStringLiteral("Info1"), QStringLiteral("Inf&o..."), {}, false);
    QObject::connect(info, &QAction::triggered, window, [window] {
        if (window->infoBox())
            window->infoBox()->exec();
    });
    return menus;
}

void setQuizMenuEnabled(const MainMenus &menus, bool enabled)
{
    menus.quizMenu->setEnabled(enabled);
    for (QAction *action : menus.quizMenu->actions())
        action->setEnabled(enabled);
    for (QAction *action : std::as_const(menus.hiddenQuizActions))
        action->setEnabled(enabled);
    for (QAction *action : menus.quizMenu->topicActions())
        action->setEnabled(enabled);
}

} // namespace kapitolo
