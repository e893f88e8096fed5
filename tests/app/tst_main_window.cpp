#include "app/about_box.h"
#include "app/main_window.h"
#include "app/topic_menu.h"
#include "controls/hover_panel.h"
#include "document/document_file.h"
#include "platform/qt_translations.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "support/fake_services.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"
#include "view/card_renderer.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <memory>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

// A program folder of its own, the fakes, and a main window over them.
struct Fixture {
    QTemporaryDir dir;
    ScriptedMessages messages;
    FakeClock clock;
    Random random{1};
    std::unique_ptr<SettingsStore> settings;
    RecordingShell shell;
    ScriptedFileDialogs dialogs;
    std::unique_ptr<Services> services;
    std::unique_ptr<TForm1> window;

    QString program() const { return dir.path() + QStringLiteral("/programm/"); }
    QString themen() const { return dir.path() + QStringLiteral("/themen/"); }
    QString ini() const { return dir.path() + QStringLiteral("/kapitolo.ini"); }

    explicit Fixture(bool withStartImage = true)
    {
        QDir(dir.path()).mkpath(QStringLiteral("programm/data"));
        QDir(dir.path()).mkpath(QStringLiteral("themen/unter"));
        if (withStartImage)
            writeFile(program() + QStringLiteral("data/kapitolo.png"), pngBytes(patternImage(64, 40)));
        // No name entry: a modal dialog would wait for a user.
        writeFile(ini(), "[General]\nOpt-UebNameEingabe=0\n");
        settings = std::make_unique<SettingsStore>(ini());
        services = std::make_unique<Services>(Services{messages, clock, random, *settings, shell, dialogs, program()});
    }

    TForm1 &start(const QString &argument = QString())
    {
        window = std::make_unique<TForm1>(*services, argument);
        window->CreateDialogs();
        window->FormShow();
        return *window;
    }

    QStringList menuCaptions() const
    {
        QStringList result;
        for (QAction *a : window->quizMenu()->topicActions())
            result << a->text();
        return result;
    }
};

// Notes the override cursor at each listing of the topic folder: -1 for none.
class CursorWatchingWindow : public TForm1
{
public:
    using TForm1::TForm1;
    QList<int> cursors;
    void showTopicItems(const QStringList &captions, int columnBreak) override
    {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        cursors << (cursor ? int(cursor->shape()) : -1);
        TForm1::showTopicItems(captions, columnBreak);
    }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void startsWithTheStartPage()
    {
        Fixture f;
        TForm1 &w = f.start();
        QVERIFY(f.messages.shown().isEmpty());
        QCOMPARE(w.windowTitle(), QStringLiteral("Ostrabel Kapitolo"));
        QCOMPARE(w.titleLabel()->text(), QStringLiteral("Wählen Sie im Menü \"Quizauswahl\" das gewünschte Thema aus."));
        QCOMPARE(w.startPicture().size(), QSize(64, 40));
        QCOMPARE(w.topicFolder(), f.program());
        QCOMPARE(w.appMode(), 2);
        QVERIFY(!w.firstShowingPending());
        QVERIFY(w.minimumSize() == QSize(900, 650));
        QCOMPARE(w.dialogCreationOrder(),
                 QStringList({"TBestListForm", "TUebOptFragenForm", "TUebFertigForm", "TInfoBox", "TKennzInfoBox",
                              "TNameEingabeForm", "TBestListVerzForm", "TUebOptForm"}));
    }

    // A folder read on the main thread shows the wait cursor meanwhile; the one read on the
    // second core while the window was built shows it only if it still had to be waited
    // for. Either way the cursor is given back.
    void readingATopicFolderShowsTheWaitCursor()
    {
        Fixture f;
        writeFile(f.themen() + QStringLiteral("a.tsr"), QByteArray());
        CursorWatchingWindow w(*f.services, f.themen());
        w.FormShow();
        QCOMPARE(w.cursors.size(), 1);
        QVERIFY(!QGuiApplication::overrideCursor());
        w.ReadTopicFolder();
        QCOMPARE(w.cursors, QList<int>({w.cursors.first(), int(Qt::WaitCursor)}));
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(w.topicFolder(), f.themen());
    }

    // Screen readers hear the button column and the learning tools as push buttons with
    // a name; a tool that shows only a symbol is named by its hint.
    void buttonsAreNamedForScreenReaders_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::newRow("start page") << "LernKartBtn" << "Startseite" << "Zur Startseite";
        QTest::newRow("quiz") << "UebungenBtn" << "Quiz starten" << "Quiz starten (F7)";
        QTest::newRow("best list") << "BestListBtn" << "Bestenliste" << "Bestenliste anzeigen (Strg+F7)";
        QTest::newRow("previous (arrow)") << "PrevDokPan" << "vorheriges Quiz öffnen" << "";
        QTest::newRow("editor") << "ThemaBearbeitenBtn" << "Thema bearbeiten"
                                << "Das Thema im Themen-Editor bearbeiten (Strg+Umschalt+B)";
        QTest::newRow("pen (symbol)") << "StiftBtn" << "roter Stift, deckend" << "";
        QTest::newRow("keyword tool") << "TexteingabeBtn" << "T" << "blauer Text für Schlagwörter";
    }

    void buttonsAreNamedForScreenReaders()
    {
        QFETCH(QString, button);
        QFETCH(QString, name);
        QFETCH(QString, description);
        Fixture f;
        TForm1 &w = f.start();
        auto *panel = w.findChild<THoverPanel *>(button);
        QVERIFY(panel);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(panel);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Button);
        QCOMPARE(iface->text(QAccessible::Name), name);
        QCOMPARE(iface->text(QAccessible::Description), description);
        QVERIFY(iface->actionInterface());
        QCOMPARE(iface->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    }

    // Pressed through the screen reader, a button does what a click does; its name
    // follows the caption.
    void screenReaderPressesTheButtons()
    {
        Fixture f;
        TForm1 &w = f.start();
        QAccessibleInterface *start = QAccessible::queryAccessibleInterface(w.toolButton(QStringLiteral("UebungenBtn")));
        start->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(f.messages.texts(),
                 QStringList{QStringLiteral("Bitte zuerst über das Menü \"Quizauswahl\" das gewünschte Quiz auswählen.")});
        THoverPanel *home = w.toolButton(QStringLiteral("LernKartBtn"));
        home->setCaption(QStringLiteral("Quiz\r\nabbrechen"));
        QCOMPARE(QAccessible::queryAccessibleInterface(home)->text(QAccessible::Name), QStringLiteral("Quiz abbrechen"));
    }

    void missingStartImageIsReportedAndStartGoesOn()
    {
        Fixture f(false);
        TForm1 &w = f.start();
        QCOMPARE(f.messages.texts(),
                 QStringList{QStringLiteral("Datei \"") + f.program() + QStringLiteral("data/kapitolo.png\" nicht gefunden.")});
        QVERIFY(w.startPicture().isNull());
    }

    void commandLineForms()
    {
        Fixture f;
        QVERIFY(writeTopic(f.themen() + QStringLiteral("b.tsr"), QStringLiteral("Bäume"), 7));
        QVERIFY(writeTopic(f.themen() + QStringLiteral("a.tsr"), QStringLiteral("Autos"), 3));
        {
            TForm1 &w = f.start(f.themen());
            QCOMPARE(w.topicFolder(), f.themen());
            QCOMPARE(w.startFolder(), f.themen());
            QCOMPARE(f.menuCaptions(), QStringList({QStringLiteral("&1:  Autos"), QStringLiteral("&2:  Bäume")}));
            QVERIFY(!w.document().isLoaded());
        }
        {
            TForm1 &w = f.start(f.themen() + QStringLiteral("b.tsr"));
            QCOMPARE(w.document().titel, QStringLiteral("Bäume"));
            QCOMPARE(w.currentTopicIndex(), 1);
            QVERIFY(w.quizMenu()->topicActions().at(1)->isChecked());
            QCOMPARE(w.windowTitle(), QStringLiteral("Ostrabel Kapitolo - Bäume"));
            QCOMPARE(w.titleLabel()->text(), QStringLiteral("Bäume (7 Fragen)"));
        }
        {
            // A relative argument is expanded against the current folder.
            const QString before = QDir::currentPath();
            QDir::setCurrent(f.dir.path());
            TForm1 &w = f.start(QStringLiteral("themen/a.tsr"));
            QDir::setCurrent(before);
            QCOMPARE(w.document().fileName, f.themen() + QStringLiteral("a.tsr"));
            QCOMPARE(w.startFolder(), f.themen());
        }
        {
            // A missing document: the message, and the folder is still used.
            f.messages.clear();
            TForm1 &w = f.start(f.themen() + QStringLiteral("fehlt.tsr"));
            QCOMPARE(f.messages.texts(),
                     QStringList{QStringLiteral("Die Datei \"") + f.themen() + QStringLiteral("fehlt.tsr\" existiert nicht.")});
            QCOMPARE(w.topicList().size(), 2);
        }
    }

    void settingsAreReadAtFirstShowingAndWrittenOnClose()
    {
        Fixture f;
        writeFile(f.ini(), "[General]\nOpt-UebNameEingabe=0\nopt-sound=0\nOpt-AutoProtSpeichern=1\nUebOpt-Zeitlimit=1\nNetzKomKanal=Raum-3\n"
                           "Opt-ProtOrdner=/nirgends/prot/\n");
        f.settings = std::make_unique<SettingsStore>(f.ini());
        f.services = std::make_unique<Services>(
            Services{f.messages, f.clock, f.random, *f.settings, f.shell, f.dialogs, f.program()});
        TForm1 &w = f.start();
        QVERIFY(!w.findMenuAction(QStringLiteral("Sound1"))->isChecked());
        QVERIFY(w.findMenuAction(QStringLiteral("AutoProtSpeichern1"))->isChecked());
        QVERIFY(!w.findMenuAction(QStringLiteral("OptNameEingabe1"))->isChecked());
        QCOMPARE(w.settings().zeitLimit, 1);
        QCOMPARE(w.protocolDialogFolder(), QStringLiteral("/nirgends/prot/"));

        w.findMenuAction(QStringLiteral("Sound1"))->trigger();
        w.findMenuAction(QStringLiteral("ErgebBestListEintragen1"))->trigger();
        QVERIFY(w.close());
        QSettings raw(f.ini(), QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("opt-sound")).toString(), QStringLiteral("1"));
        QVERIFY(!raw.contains(QStringLiteral("Opt-Sound"))); // the stored spelling is kept
        QCOMPARE(raw.value(QStringLiteral("Opt-ErgebBestListEintragen")).toString(), QStringLiteral("0"));
        QCOMPARE(raw.value(QStringLiteral("UebOpt-Zeitlimit")).toString(), QStringLiteral("1"));
        QCOMPARE(raw.value(QStringLiteral("NetzKomKanal")).toString(), QStringLiteral("Raum-3"));
        QCOMPARE(raw.value(QStringLiteral("UebOptFragen-ZLimitMin")).toString(), QStringLiteral("3"));
    }

    // Only the instance that initiated an exercise closes it at exit (the network tests
    // cover that one); a pupil's program leaves the class's files alone.
    void closingLeavesTheExchangeFilesOfTheClass()
    {
        Fixture f;
        const QString kom = f.program() + QStringLiteral("kom/");
        QDir().mkpath(kom);
        for (const char *name : {"TSR-1-tsrnetzuebung.tsr", "TSR-1-tsrnetzuebung.dat", "TSR-1-tsrnetzuebung.okx",
                                 "TSR-1-tsrnetzuebung.hsc", "TSR-2-tsrnetzuebung.tsr"})
            writeFile(kom + QLatin1String(name), "x");
        TForm1 &w = f.start();
        QVERIFY(w.close());
        QCOMPARE(QDir(kom).entryList(QDir::Files).size(), 5);
    }

    void topicMenuColumns_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("columnBreak");
        QTest::newRow("30") << 30 << -1;
        QTest::newRow("31") << 31 << 12;
    }
    void topicMenuColumns()
    {
        QFETCH(int, count);
        QFETCH(int, columnBreak);
        Fixture f;
        for (int i = 0; i < count; ++i)
            QVERIFY(writeTopic(f.themen() + QStringLiteral("t%1.tsr").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("Thema %1").arg(i), 3));
        TForm1 &w = f.start(f.themen());
        TopicMenu *menu = w.quizMenu();
        QCOMPARE(menu->topicActions().size(), count);
        QCOMPARE(menu->columnBreak(), columnBreak);
        QCOMPARE(menu->topicActions().at(9)->text(), QStringLiteral("10:  Thema 9"));
        QCOMPARE(menu->topicActions().at(4)->objectName(), QStringLiteral("MenueThemaItem4"));
        QCOMPARE(menu->topicActions().at(4)->data().toInt(), 4);
        if (columnBreak < 0) {
            QVERIFY(!menu->columnsWidget());
            QVERIFY(menu->actions().contains(menu->topicActions().first()));
            return;
        }
        TopicColumns *columns = menu->columnsWidget();
        QVERIFY(columns);
        QCOMPARE(columns->columnCount(), 2);
        // Entry 12 heads the second column, beside entry 0; entry 11 ends the first.
        QCOMPARE(columns->itemRect(12).top(), columns->itemRect(0).top());
        QVERIFY(columns->itemRect(12).left() >= columns->itemRect(0).right());
        QCOMPARE(columns->itemRect(11).left(), columns->itemRect(0).left());
        QVERIFY(columns->itemRect(30).top() > columns->itemRect(12).top());

        // A click on an item of the second column opens that topic and asks for its quiz.
        QSignalSpy quiz(&w, &TForm1::quizRequested);
        menu->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTest::mouseClick(columns, Qt::LeftButton, {}, columns->itemRect(20).center());
        QCOMPARE(w.currentTopicIndex(), 20);
        QCOMPARE(w.document().titel, QStringLiteral("Thema 20"));
        QCOMPARE(quiz.count(), 1);
        QVERIFY(menu->topicActions().at(20)->isChecked());

        // The access keys still choose the first nine topics.
        menu->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTest::keyClick(menu, Qt::Key_3);
        QCOMPARE(w.currentTopicIndex(), 2);
    }

    // Two columns as wide as their longest titles: neighbours that differ only in the
    // middle stay apart; only a title wider than the screen is cut, at its end.
    void topicMenuColumnsShowTitlesInFull()
    {
        Fixture f;
        const QString longTitle = QStringLiteral("Sehr langer Titel ").repeated(20) + QStringLiteral("Ende");
        for (int i = 0; i < 40; ++i)
            QVERIFY(writeTopic(f.themen() + QStringLiteral("t%1.tsr").arg(i, 2, 10, QLatin1Char('0')),
                               i == 35 ? longTitle : QStringLiteral("Thema Nummer %1 über Länder").arg(i, 2, 10, QLatin1Char('0')), 3));
        TForm1 &w = f.start(f.themen());
        TopicMenu *menu = w.quizMenu();
        menu->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        TopicColumns *columns = menu->columnsWidget();
        QVERIFY(columns);
        const QList<QAction *> &actions = menu->topicActions();
        for (int i = 0; i < actions.size(); ++i) {
            if (i == 35)
                continue;
            QCOMPARE(columns->shownText(i), actions.at(i)->text());
            QCOMPARE(columns->toolTipText(i), actions.at(i)->text().remove(QLatin1Char('&')));
        }
        const QString cut = columns->shownText(35);
        QVERIFY2(cut.endsWith(QChar(0x2026)) && cut.startsWith(QStringLiteral("36:  Sehr langer Titel")), qPrintable(cut));
        QVERIFY(cut.size() < actions.at(35)->text().size());
        QVERIFY(columns->sizeHint().width() <= menu->screen()->availableGeometry().width());
        // The first column keeps its own width: the long title sits in the second one.
        QVERIFY(columns->itemRect(0).width() < columns->itemRect(35).width());

        const QPoint inside = columns->itemRect(35).center();
        QHelpEvent help(QEvent::ToolTip, inside, columns->mapToGlobal(inside));
        QApplication::sendEvent(columns, &help);
        QCOMPARE(QToolTip::text(), QStringLiteral("36:  ") + longTitle);
        menu->hide();
    }

    // A library sorted into subject folders: every topic is in the menu, the sub-folders'
    // as submenus below the top folder's own topics.
    void topicMenuShowsSubFolders()
    {
        Fixture f;
        QVERIFY(writeTopic(f.themen() + QStringLiteral("alle.tsr"), QStringLiteral("Alle Themen"), 3));
        // A topic with something to ask, so that its quiz can start.
        TopicDocument zelle = sampleLabelDocument();
        zelle.titel = QStringLiteral("Zelle");
        QVERIFY(writeTopic(f.themen() + QStringLiteral("biologie/auge.tsr"), QStringLiteral("Auge"), 3));
        QVERIFY(writeDocument(f.themen() + QStringLiteral("biologie/zelle.tsr"), zelle, false, f.messages));
        QVERIFY(writeTopic(f.themen() + QStringLiteral("erdkunde/welt/klima.tsr"), QStringLiteral("Klima"), 3));
        QVERIFY(writeTopic(f.themen() + QStringLiteral("erdkunde/europa/fluesse.tsr"), QStringLiteral("Flüsse"), 3));
        QVERIFY(writeTopic(f.themen() + QStringLiteral("englisch/vokabeln.tsr"), QStringLiteral("Vokabeln"), 3));
        QVERIFY(writeTopic(f.themen() + QStringLiteral(".versteckt/x.tsr"), QStringLiteral("X"), 3));
        QVERIFY(writeFile(f.themen() + QStringLiteral("bilder/blume.png"), "kein Thema"));
        TForm1 &w = f.start(f.themen());
        TopicMenu *menu = w.quizMenu();
        QCOMPARE(f.menuCaptions(), QStringList{QStringLiteral("&1:  Alle Themen")});
        auto titles = [](const QList<TopicMenu *> &menus) {
            QStringList result;
            for (const TopicMenu *m : menus)
                result << m->title();
            return result;
        };
        auto items = [](const TopicMenu *m) {
            QStringList result;
            for (const QAction *a : m->topicActions())
                result << a->text();
            return result;
        };
        // Empty, hidden and picture folders are left out; the order is that of the topic list;
        // each submenu has a key of its own.
        QCOMPARE(titles(menu->folderMenus()), QStringList({"&Biologie", "&Englisch", "E&rdkunde"}));
        TopicMenu *biologie = menu->folderMenus().at(0);
        TopicMenu *erdkunde = menu->folderMenus().at(2);
        QCOMPARE(items(biologie), QStringList({"&1:  Auge", "&2:  Zelle"}));
        QVERIFY(items(erdkunde).isEmpty());
        QCOMPARE(titles(erdkunde->folderMenus()), QStringList({"&Europa", "&Welt"}));
        QCOMPARE(items(erdkunde->folderMenus().at(1)), QStringList{"&1:  Klima"});
        // The top folder's menu stays as it was: its topics first, then the submenus.
        const QList<QAction *> actions = menu->actions();
        QVERIFY(actions.indexOf(menu->topicActions().first()) < actions.indexOf(biologie->menuAction()));
        QVERIFY(actions.indexOf(biologie->menuAction()) < actions.indexOf(erdkunde->menuAction()));
        menu->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTest::keyClick(menu, Qt::Key_R);
        QVERIFY(QTest::qWaitForWindowExposed(erdkunde));
        erdkunde->hide();
        menu->hide();

        // Through the keyboard as a pupil would: B opens Biologie, 2 chooses "Zelle",
        // which is opened and its quiz started.
        QSignalSpy quiz(&w, &TForm1::quizRequested);
        menu->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTest::keyClick(menu, Qt::Key_B);
        QVERIFY(QTest::qWaitForWindowExposed(biologie));
        QTest::keyClick(biologie, Qt::Key_2);
        QCOMPARE(w.document().titel, QStringLiteral("Zelle"));
        QCOMPARE(w.document().fileName, f.themen() + QStringLiteral("biologie/zelle.tsr"));
        QCOMPARE(quiz.count(), 1);
        QVERIFY(biologie->topicActions().at(1)->isChecked());
        QCOMPARE(w.currentTopicIndex(), -1);
        QTRY_COMPARE(w.appMode(), int(amQuizRunning));
        QCOMPARE(w.titleLabel()->text(), QStringLiteral("Zelle (%1 Fragen)").arg(zelle.AnzFrageNummern));
        // The menu, submenus included, waits for the end of the quiz; the list stays that of the top folder.
        QVERIFY(!biologie->menuAction()->isEnabled());
        QCOMPARE(f.menuCaptions(), QStringList{QStringLiteral("&1:  Alle Themen")});
        f.messages.setNextAnswer(MessageAnswer::Yes);
        w.LernKartBtnClick();
        QCOMPARE(w.appMode(), int(amLearningView));
        QVERIFY(menu->folderMenus().first()->menuAction()->isEnabled());

        // A nested folder's topic by a click; one topic is checked in all the menus.
        w.topics().OpenTopicEntry(0);
        QVERIFY(menu->topicActions().first()->isChecked());
        TopicMenu *welt = w.quizMenu()->folderMenus().at(2)->folderMenus().at(1);
        welt->topicActions().first()->trigger();
        QCOMPARE(w.document().titel, QStringLiteral("Klima"));
        QVERIFY(welt->topicActions().first()->isChecked());
        QVERIFY(!w.quizMenu()->topicActions().first()->isChecked());
        QCOMPARE(quiz.count(), 2);
    }

    // Previous and next step through the sub-folder a topic was chosen from.
    void previousAndNextInASubFolder()
    {
        Fixture f;
        QVERIFY(writeTopic(f.themen() + QStringLiteral("oben.tsr"), QStringLiteral("Oben"), 3));
        for (const char *name : {"a", "b", "c"})
            QVERIFY(writeTopic(f.themen() + QStringLiteral("fach/") + QLatin1String(name) + QStringLiteral(".tsr"),
                               QString::fromLatin1(name).toUpper(), 3));
        TForm1 &w = f.start(f.themen());
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.topics().OpenFolderTopic(f.themen() + QStringLiteral("fach/b.tsr"));
        QCOMPARE(w.document().titel, QStringLiteral("B"));
        QTest::keyClick(&w, Qt::Key_PageDown);
        QCOMPARE(w.document().titel, QStringLiteral("C"));
        QTest::keyClick(&w, Qt::Key_PageDown);
        QCOMPARE(w.document().titel, QStringLiteral("C"));
        QVERIFY(w.quizMenu()->folderMenus().first()->topicActions().at(2)->isChecked());
        QTest::keyClick(&w, Qt::Key_PageUp);
        QTest::keyClick(&w, Qt::Key_PageUp);
        QTest::keyClick(&w, Qt::Key_PageUp);
        QCOMPARE(w.document().titel, QStringLiteral("A"));
        // A topic of the top folder takes previous and next back to the top list.
        w.topics().OpenTopicEntry(0);
        QTest::keyClick(&w, Qt::Key_PageDown);
        QCOMPARE(w.document().titel, QStringLiteral("Oben"));
        // The start page reads the folder again: the tree is the same.
        w.findMenuAction(QStringLiteral("Startseite1"))->trigger();
        QCOMPARE(w.quizMenu()->folderMenus().size(), 1);
        QCOMPARE(w.quizMenu()->folderMenus().first()->topicActions().size(), 3);
    }

    // Started from the desktop menu the program has no argument: it shows the topics it
    // brings along, unless its own folder holds topics.
    void bundledTopicsWithoutArgument_data()
    {
        QTest::addColumn<bool>("topicInProgramFolder");
        QTest::newRow("program folder without topics") << false;
        QTest::newRow("program folder with a topic") << true;
    }
    void bundledTopicsWithoutArgument()
    {
        QFETCH(bool, topicInProgramFolder);
        Fixture f;
        QVERIFY(QDir().mkpath(f.program() + QStringLiteral("themen")));
        QVERIFY(writeTopic(f.program() + QStringLiteral("themen/europa.tsr"), QStringLiteral("Europa"), 5));
        if (topicInProgramFolder)
            QVERIFY(writeTopic(f.program() + QStringLiteral("eigenes.tsr"), QStringLiteral("Eigenes"), 2));
        TForm1 &w = f.start();
        const QString expected = topicInProgramFolder ? f.program() : f.program() + QStringLiteral("themen/");
        QCOMPARE(w.startFolder(), expected);
        QCOMPARE(w.topicFolder(), expected);
        QCOMPARE(f.menuCaptions(), QStringList{topicInProgramFolder ? QStringLiteral("&1:  Eigenes") : QStringLiteral("&1:  Europa")});
    }

    // Qt's own dialogs speak German like the rest: the file dialogs of open and export,
    // and the print dialog of the protocol and the best list.
    void qtDialogsSpeakGerman()
    {
        QVERIFY2(installQtGermanTranslations(*QCoreApplication::instance()), "qt6-translations-l10n is missing");
        QFileDialog files(nullptr, QStringLiteral("Dokument öffnen"));
        files.setOption(QFileDialog::DontUseNativeDialog);
        QCOMPARE(files.findChild<QLabel *>(QStringLiteral("lookInLabel"))->text(), QStringLiteral("Suchen in:"));
        QCOMPARE(files.findChild<QLabel *>(QStringLiteral("fileNameLabel"))->text(), QStringLiteral("Datei&name:"));
        QStringList buttons;
        for (const QPushButton *b : files.findChildren<QPushButton *>())
            buttons << b->text();
        QVERIFY2(buttons.contains(QStringLiteral("Abbrechen")), qPrintable(buttons.join(QLatin1Char('|'))));
        files.setAcceptMode(QFileDialog::AcceptSave);
        QCOMPARE(files.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->text(), QStringLiteral("S&peichern"));

        QPrinter printer;
        QPrintDialog print(&printer);
        QCOMPARE(print.windowTitle(), QStringLiteral("Drucken"));
        buttons.clear();
        for (const QPushButton *b : print.findChildren<QPushButton *>())
            buttons << b->text();
        QVERIFY2(buttons.contains(QStringLiteral("&Drucken")) && buttons.contains(QStringLiteral("Abbrechen")),
                 qPrintable(buttons.join(QLatin1Char('|'))));
    }

    void previousAndNextTopics()
    {
        Fixture f;
        TForm1 &empty = f.start(f.themen());
        empty.topics().OpenNextTopic();
        empty.topics().OpenPreviousTopic();
        QVERIFY(!empty.document().isLoaded());

        for (const char *name : {"a", "b", "c"})
            QVERIFY(writeTopic(f.themen() + QLatin1String(name) + QStringLiteral(".tsr"), QString::fromLatin1(name).toUpper(), 3));
        TForm1 &w = f.start(f.themen());
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_PageDown);
        QCOMPARE(w.document().titel, QStringLiteral("A"));
        QTest::keyClick(&w, Qt::Key_PageDown);
        QTest::keyClick(&w, Qt::Key_PageDown);
        QTest::keyClick(&w, Qt::Key_PageDown);
        QCOMPARE(w.document().titel, QStringLiteral("C"));
        QCOMPARE(w.currentTopicIndex(), 2);
        QTest::keyClick(&w, Qt::Key_PageUp);
        QCOMPARE(w.document().titel, QStringLiteral("B"));
        QVERIFY(w.quizMenu()->topicActions().at(1)->isChecked());

        // Alt+Backspace returns to the document shown before, twice to and fro.
        QTest::keyClick(&w, Qt::Key_Backspace, Qt::AltModifier);
        QCOMPARE(w.document().titel, QStringLiteral("C"));
        QTest::keyClick(&w, Qt::Key_Backspace, Qt::AltModifier);
        QCOMPARE(w.document().titel, QStringLiteral("B"));

        // A document that is not in the list (another extension): next opens entry 0.
        QVERIFY(writeTopic(f.themen() + QStringLiteral("extra.dat"), QStringLiteral("Extra"), 3));
        f.dialogs.answers << f.themen() + QStringLiteral("extra.dat");
        QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(w.document().titel, QStringLiteral("Extra"));
        QCOMPARE(w.currentTopicIndex(), -1);
        QVERIFY(f.dialogs.asked.last().startsWith(
            QStringLiteral("Dokument öffnen|") + QDir::cleanPath(f.themen()) + QStringLiteral("|Tessaro - Dokument (*.tsr)|*.tsr|Alle Dateien (*.*)|*.*")));
        QTest::keyClick(&w, Qt::Key_PageDown);
        QCOMPARE(w.document().titel, QStringLiteral("A"));
    }

    void unreadableTopicClosesTheDocument()
    {
        Fixture f;
        QVERIFY(writeTopic(f.themen() + QStringLiteral("a.tsr"), QStringLiteral("A"), 3));
        QVERIFY(writeTopic(f.themen() + QStringLiteral("b.tsr"), QStringLiteral("B"), 3));
        TForm1 &w = f.start(f.themen() + QStringLiteral("a.tsr"));
        // b.tsr breaks after the menu was built.
        QByteArray bytes = readFile(f.themen() + QStringLiteral("b.tsr"));
        writeFile(f.themen() + QStringLiteral("b.tsr"), bytes.left(bytes.size() - 30));
        w.topics().OpenTopicEntry(1);
        QCOMPARE(f.messages.texts().last(), readErrorText(f.themen() + QStringLiteral("b.tsr")));
        QVERIFY(!w.document().isLoaded());
        QCOMPARE(w.currentTopicIndex(), -1);
        QCOMPARE(w.titleLabel()->text(), QStringLiteral("Wählen Sie im Menü \"Quizauswahl\" das gewünschte Thema aus."));
        QVERIFY(!w.startInfoPanel()->isHidden());
    }

    void chooseFolderAndStartPage()
    {
        Fixture f;
        QVERIFY(writeTopic(f.themen() + QStringLiteral("unter/x.tsr"), QStringLiteral("X"), 3));
        QVERIFY(writeTopic(f.themen() + QStringLiteral("unter/y.tsr"), QStringLiteral("Y"), 3));
        TForm1 &w = f.start(f.themen());
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        f.dialogs.answers << QString(); // cancelled
        QTest::keyClick(&w, Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(w.topicFolder(), f.themen());
        f.dialogs.answers << f.themen() + QStringLiteral("unter");
        QTest::keyClick(&w, Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(f.dialogs.asked.last(), QStringLiteral("Aktuellen Ordner wählen|") + f.themen());
        QCOMPARE(w.topicFolder(), f.themen() + QStringLiteral("unter/"));
        QCOMPARE(w.openDialogFolder(), f.themen() + QStringLiteral("unter/"));
        QCOMPARE(f.messages.texts().last(), QStringLiteral("2 Themendokument(e) eingelesen.\r\n"
                                                           "Wählen Sie das gewünschte Dokument im Menü \"Themenauswahl\"."));
        QCOMPARE(w.topicList().size(), 2);

        w.topics().OpenTopicEntry(0);
        QVERIFY(w.document().isLoaded());
        w.findMenuAction(QStringLiteral("Startseite1"))->trigger();
        QVERIFY(!w.document().isLoaded());
        QCOMPARE(w.topicFolder(), f.themen());
        QCOMPARE(w.topicList().size(), 0);
    }

    void documentLinks()
    {
        Fixture f;
        QVERIFY(writeTopic(f.themen() + QStringLiteral("haupt.tsr"), QStringLiteral("Haupt"), 3));
        QVERIFY(writeTopic(f.themen() + QStringLiteral("unter/x.tsr"), QStringLiteral("X"), 3));
        QVERIFY(writeTopic(f.program() + QStringLiteral("nur-im-programm.tsr"), QStringLiteral("Programm"), 3));
        TForm1 &w = f.start(f.themen() + QStringLiteral("haupt.tsr"));

        // A folder link (either separator) makes the sub-folder the topic folder.
        w.topics().FollowDocumentLink(QStringLiteral("unter\\"));
        QCOMPARE(w.topicFolder(), f.themen() + QStringLiteral("unter/"));
        QVERIFY(!w.document().isLoaded());
        QCOMPARE(w.topicList().size(), 1);

        // A document link is looked for beside the document, in the start folder, in the program folder.
        w.topics().FollowDocumentLink(QStringLiteral("unter/x.tsr"));
        QVERIFY(f.messages.shown().isEmpty() || !f.messages.texts().last().contains(QStringLiteral("existiert")));
        QCOMPARE(w.document().titel, QStringLiteral("X")); // found in the start folder
        w.topics().FollowDocumentLink(QStringLiteral("nur-im-programm.tsr"));
        QCOMPARE(w.document().titel, QStringLiteral("Programm"));
        QCOMPARE(w.topicFolder(), f.program());

        w.topics().FollowDocumentLink(QStringLiteral("gibt\\es\\nicht.tsr"));
        QCOMPARE(f.messages.texts().last(), QStringLiteral("Die Datei \"gibt\\es\\nicht.tsr\" existiert nicht."));
        QCOMPARE(w.document().titel, QStringLiteral("Programm"));

        f.shell.succeed = false;
        w.topics().FollowLink(QStringLiteral("https://de.wikipedia.org/wiki/Europa"));
        QCOMPARE(f.messages.texts().last(), QStringLiteral("Die Datei oder Internet-Adresse "
                                                           "\"https://de.wikipedia.org/wiki/Europa\" kann nicht geöffnet werden."));
        QVERIFY(w.document().isLoaded());
    }

    void hiddenMenusStillHaveTheirShortcuts()
    {
        Fixture f;
        TForm1 &w = f.start();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // Hidden items are nowhere in the menu bar, but F1 opens the help page.
        QStringList visibleTitles;
        for (QAction *a : w.menuBar()->actions())
            visibleTitles << a->text();
        QCOMPARE(visibleTitles, QStringList({QStringLiteral("&Aktion"), QStringLiteral("&Quizauswahl"),
                                             QStringLiteral("&Optionen"), QStringLiteral("&Hilfe")}));
        QTest::keyClick(&w, Qt::Key_F1);
        QCOMPARE(f.shell.opened, QStringList{QStringLiteral("file://") + f.program() + QStringLiteral("hilfe/index.html")});
        f.shell.succeed = false;
        QTest::keyClick(&w, Qt::Key_F1);
        QCOMPARE(f.messages.texts().last(),
                 QStringLiteral("Die Datei \"file://") + f.program()
                     + QStringLiteral("hilfe/index.html\" kann nicht geöffnet werden. Sie benötigen einen Webbrowser "
                                      "(z.B. Internet Explorer) um dieses Dokument anzusehen."));
        for (const char *name : {"UebOpt1", "NetzTeilnehmen1", "Oeffnen1", "Schliessen1", "Klappen1", "NetzInit1"})
            QVERIFY2(w.actions().contains(w.findMenuAction(QLatin1String(name))), name);
        QCOMPARE(w.findMenuAction(QStringLiteral("Zwischenablage1"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        QCOMPARE(w.findMenuAction(QStringLiteral("Startseite1"))->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Home));
    }

    void viewKeysAndWindowKeys()
    {
        Fixture f;
        TForm1 &w = f.start();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_Left, Qt::ControlModifier);
        QTest::keyClick(&w, Qt::Key_Down, Qt::ControlModifier);
        QTest::keyClick(&w, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
        QTest::keyClick(&w, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
        QTest::keyClick(&w, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier); // not this combination
        QTest::keyClick(&w, Qt::Key_Plus, Qt::ControlModifier);                     // not the main keyboard's plus
        QCOMPARE(w.viewKeyLog(), QList<int>({-10, 1, 100, -100}));
        QTest::keyClick(&w, Qt::Key_G, Qt::ShiftModifier | Qt::AltModifier);
        QCOMPARE(w.size(), QSize(1024, 768));
    }

    void learningViewOption()
    {
        Fixture f;
        TopicDocument d;
        d.titel = QStringLiteral("Flüsse");
        d.baseImage = patternImage(200, 150);
        DocObject o;
        o.Typ = otLabel;
        o.Cap = QStringLiteral("Rhein");
        o.Kx = o.Sx = 0.3;
        o.Ky = o.Sy = 0.4;
        o.Ebene = layerBeschriftung;
        d.objects.append(o);
        d.AnzFrageNummern = 1;
        const QString path = f.themen() + QStringLiteral("fluesse.tsr");
        QVERIFY(writeDocument(path, d, false, f.messages));
        auto menuTitles = [](TForm1 &w) {
            QStringList titles;
            for (QAction *a : w.menuBar()->actions())
                titles << a->text();
            return titles;
        };
        auto cardShown = [](TForm1 &w) {
            const QImage &display = w.cardBitmaps().display;
            return !display.isNull() && display == w.renderer().windowImage()
                && display.pixel(display.width() / 2, display.height() / 2) != cardcolour::controlBackground().rgb();
        };
        {
            // Off, as delivered: the start page stays in front of a document opened
            // without a quiz, and nothing of the learning view shows.
            TForm1 &w = f.start(path);
            QVERIFY(w.document().isLoaded());
            QVERIFY(!w.learningViewShown());
            QVERIFY(!w.findMenuAction(QStringLiteral("LernansichtAnzeigen1"))->isChecked());
            QVERIFY(!w.startInfoPanel()->isHidden());
            QVERIFY(!w.learningToolStrip()->isVisibleTo(&w));
            QCOMPARE(menuTitles(w), QStringList({"&Aktion", "&Quizauswahl", "&Optionen", "&Hilfe"}));
            QVERIFY(!cardShown(w));

            w.findMenuAction(QStringLiteral("LernansichtAnzeigen1"))->trigger();
            QVERIFY(w.learningViewShown());
            QVERIFY(w.startInfoPanel()->isHidden());
            QVERIFY(w.learningToolStrip()->isVisibleTo(&w));
            QCOMPARE(menuTitles(w), QStringList({"&Aktion", "&Quizauswahl", "&Lernansicht", "&Optionen", "&Hilfe"}));
            QVERIFY(cardShown(w));
            w.findMenuAction(QStringLiteral("StiftBtnMenu"))->trigger();
            QCOMPARE(w.viewState().activeTool, int(toolRedPen));
            QVERIFY(w.learningToolStrip()->findChild<THoverPanel *>(QStringLiteral("StiftBtn"))->isChecked());

            // A quiz takes the strip's room; cancelled, it returns to the learning card.
            QVERIFY(w.UebungStart1Click());
            QVERIFY(!w.learningToolStrip()->isVisibleTo(&w));
            QVERIFY(!w.learningMenu()->isEnabled());
            QCOMPARE(w.viewState().activeTool, int(toolPointer));
            f.messages.setNextAnswer(MessageAnswer::Yes);
            w.LernKartBtnClick();
            QCOMPARE(w.appMode(), 2);
            QVERIFY(w.startInfoPanel()->isHidden());
            QVERIFY(w.learningToolStrip()->isVisibleTo(&w));
            QVERIFY(w.learningMenu()->isEnabled());
            QVERIFY(cardShown(w));
            QVERIFY(w.close());
            QSettings raw(f.ini(), QSettings::IniFormat);
            QCOMPARE(raw.value(QStringLiteral("Opt-Lernansicht")).toString(), QStringLiteral("1"));
        }
        {
            // The setting brings it back; without a document the start page shows.
            TForm1 &w = f.start(path);
            QVERIFY(w.learningViewShown());
            QVERIFY(w.startInfoPanel()->isHidden());
            w.topics().CloseDocument();
            QVERIFY(!w.startInfoPanel()->isHidden());
            QVERIFY(w.ReadDocumentAsTopic(path));
            QVERIFY(w.startInfoPanel()->isHidden());
            w.SetLearningViewShown(false);
            QVERIFY(!w.startInfoPanel()->isHidden());
            QVERIFY(!cardShown(w));
            QVERIFY(!w.learningToolStrip()->isVisibleTo(&w));
            QCOMPARE(menuTitles(w), QStringList({"&Aktion", "&Quizauswahl", "&Optionen", "&Hilfe"}));
        }
    }

    void aboutBox()
    {
        Fixture f;
        TForm1 &w = f.start();
        TInfoBox *box = w.infoBox();
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Info"));
        QVERIFY(!TInfoBox::termsText().contains(QStringLiteral("%programmtitel%")));
        QVERIFY(TInfoBox::termsText().startsWith(QStringLiteral("Ostrabel Kapitolo\n")));
        box->show();
        QCOMPARE(box->titelLabel()->text(), QStringLiteral("Ostrabel Kapitolo"));
        QCOMPARE(box->versLab()->text(), QStringLiteral("Version 1.2.2009.06.29"));
        QVERIFY(box->memo()->isReadOnly());
        box->close();
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
