#include "app/main_window.h"
#include "app/topic_menu.h"
#include "document/document_file.h"
#include "document/document_json.h"
#include "platform/nearest.h"
#include "results/best_list.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "quiz/quiz_board.h"
#include "quiz/quiz_dialogs.h"
#include "quiz/quiz_status_panel.h"
#include "support/fake_services.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"
#include "view/card_image_widget.h"
#include "view/card_renderer.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

// Three capitals on a plain map, far apart.
TopicDocument capitals()
{
    TopicDocument d;
    d.titel = QStringLiteral("Drei Hauptstädte");
    d.AnzFrageNummern = 3;
    d.baseImage = patternImage(600, 400);
    const std::tuple<const char *, double, double> places[] = {{"Berlin", 0.2, 0.2}, {"Paris", 0.7, 0.3}, {"Rom", 0.4, 0.8}};
    for (const auto &[name, x, y] : places) {
        DocObject o;
        o.Cap = QString::fromUtf8(name);
        o.Sx = o.Kx = x;
        o.Sy = o.Ky = y;
        o.Ebene = layerBeschriftung;
        o.Typ = otLabel;
        o.KAusr = 1;
        d.objects.append(o);
    }
    return d;
}

struct Fixture {
    QTemporaryDir dir;
    ScriptedMessages messages;
    FakeClock clock;
    Random random{2};
    std::unique_ptr<SettingsStore> settings;
    RecordingShell shell;
    ScriptedFileDialogs dialogs;
    std::unique_ptr<Services> services;
    std::unique_ptr<TForm1> window;

    // settings: further lines of the settings file; "@DIR@" stands for the test's folder.
    explicit Fixture(const QByteArray &settingLines = "Opt-Sound=0\n", TopicDocument d = capitals())
    {
        QDir(dir.path()).mkpath(QStringLiteral("programm/data"));
        QDir(dir.path()).mkpath(QStringLiteral("themen"));
        QDir(dir.path()).mkpath(QStringLiteral("best"));
        writeFile(dir.path() + QStringLiteral("/programm/data/kapitolo.png"), pngBytes(patternImage(64, 40)));
        QByteArray lines = settingLines;
        lines.replace("@DIR@", dir.path().toUtf8());
        if (!lines.contains("Opt-ErgebBestListEintragen"))
            lines += "Opt-ErgebBestListEintragen=0\n";
        writeFile(dir.path() + QStringLiteral("/k.ini"),
                  "[General]\nOpt-UebNameEingabe=0\nUebOpt-Zuordnungstexte=0\nUebOpt-Zuordnungsziele=0\n" + lines);
        settings = std::make_unique<SettingsStore>(dir.path() + QStringLiteral("/k.ini"));
        services = std::make_unique<Services>(
            Services{messages, clock, random, *settings, shell, dialogs, dir.path() + QStringLiteral("/programm/")});
        const QString path = dir.path() + QStringLiteral("/themen/hauptstaedte.tsr");
        writeDocument(path, d, false, messages);
        window = std::make_unique<TForm1>(*services, path);
        window->CreateDialogs();
        window->resize(1100, 760);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->FormShow();
    }

    QuizBoard *board() const { return window->quizBoard(); }

    int pairOf(const QString &caption) const
    {
        const QuizRun &run = window->engine().run();
        for (int k = 0; k < run.quizList.size(); ++k)
            if (board()->tile(k) && window->document().objects.at(run.quizList.at(k).tileObject).Cap == caption)
                return k;
        return -1;
    }

    // The centre of an object's box in quiz panel pixels.
    QPoint targetOf(const QString &caption) const
    {
        for (int i = 0; i < window->document().objects.size(); ++i)
            if (window->document().objects.at(i).Cap == caption) {
                const RectD &b = window->cardBitmaps().layout.hitBox(i);
                const QPoint tl = window->renderer().fractionToControl(b.left, b.top);
                const QPoint br = window->renderer().fractionToControl(b.right, b.bottom);
                return (tl + br) / 2;
            }
        return {};
    }

    // Drags a tile by the middle of its left edge to a panel point, in steps, the way a
    // hand does; each position is taken relative to the tile where it stands then.
    void dragTile(int pair, QPoint to, bool release = true)
    {
        AnswerTile *tile = board()->tile(pair);
        QVERIFY(tile);
        const QPoint grip(6, tile->height() / 2);
        QTest::mousePress(tile, Qt::LeftButton, {}, grip);
        const QPoint from = tile->mapToParent(grip);
        for (int step = 1; step <= 8; ++step) {
            const QPoint panelPos = from + (to - from) * step / 8;
            QTest::mouseMove(tile, tile->mapFromParent(panelPos));
        }
        if (release)
            QTest::mouseRelease(tile, Qt::LeftButton, {}, tile->mapFromParent(to));
    }

    // Tab until the tile has the focus.
    bool tabTo(int pair) const
    {
        AnswerTile *tile = board()->tile(pair);
        for (int i = 0; tile && i < board()->tileCount() + 10; ++i) {
            if (QApplication::focusWidget() == tile)
                return true;
            QWidget *focused = QApplication::focusWidget();
            QTest::keyClick(focused ? focused : window.get(), Qt::Key_Tab);
        }
        return tile && QApplication::focusWidget() == tile;
    }

    // The number the open target with the caption shows.
    QString numberOf(const QString &caption) const
    {
        const QList<DocObject> &objects = window->document().objects;
        for (int i = 0; i < objects.size(); ++i) {
            const ObjectMark mark = markOf(window->engine().run().marks, i);
            if (objects.at(i).Cap == caption && mark.coverState == csOpenQuestion)
                return window->document().displayNumberText(mark.displayNo);
        }
        return QString();
    }

    // A drop without the mouse: Tab to the tile, Space, the target's number, Enter.
    void dropByKeys(int pair, const QString &target)
    {
        QVERIFY(tabTo(pair));
        AnswerTile *tile = board()->tile(pair);
        QTest::keyClick(tile, Qt::Key_Space);
        QCOMPARE(board()->heldPair(), pair);
        QTest::keyClicks(tile, numberOf(target));
        QTest::keyClick(tile, Qt::Key_Return);
    }

    QByteArray bestListBytes() const
    {
        const QStringList lists = QDir(dir.path() + QStringLiteral("/best")).entryList({QStringLiteral("*.hsc")});
        return lists.size() == 1 ? readFile(dir.path() + QStringLiteral("/best/") + lists.first()) : QByteArray();
    }
};

// Closes the quiz-finished dialog with "Lernkarte" as soon as it shows, noting its figures.
struct FinishedDialogCloser {
    QTimer timer;
    QString correct;
    QString grade;

    explicit FinishedDialogCloser(TForm1 *window)
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this, window] {
            TUebFertigForm *dialog = window->uebFertigForm();
            if (!dialog->isVisible())
                return;
            timer.stop();
            correct = dialog->richtigLab()->text();
            grade = dialog->noteLab()->text();
            QTest::mouseClick(dialog->lernBtn(), Qt::LeftButton);
        });
        timer.start();
    }
};

TopicDocument questions()
{
    TopicDocument d;
    d.titel = QStringLiteral("Länder");
    d.DokTyp = dtSingleQuestions;
    d.baseImage = patternImage(600, 400);
    d.AnzFrageNummern = createQuestionObjects(QStringLiteral("Hauptstadt von Frankreich?//Paris\r\n"
                                                             "Hauptstadt von Italien?//Rom\r\n"
                                                             "Hauptstadt von Spanien?//Madrid\r\n"
                                                             "Hauptstadt von Polen?//Warschau\r\n"),
                                              d.objects);
    return d;
}

// Three hundred places on a large map: far more tiles than the stacks can hold.
TopicDocument manyPlaces()
{
    TopicDocument d;
    d.titel = QStringLiteral("Orte der Welt");
    d.baseImage = patternImage(1200, 900);
    for (int i = 0; i < 300; ++i) {
        DocObject o;
        o.Cap = QStringLiteral("Ort %1").arg(i + 1, 3, 10, QLatin1Char('0'));
        o.Sx = o.Kx = 0.02 + 0.048 * (i % 20);
        o.Sy = o.Ky = 0.03 + 0.064 * (i / 20);
        o.Ebene = layerBeschriftung;
        o.Typ = otLabel;
        o.KAusr = 1;
        d.objects.append(o);
    }
    d.AnzFrageNummern = 300;
    return d;
}


} // namespace

class TestQuizWidgets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void dragTilesToTheFinishedDialog()
    {
        Fixture f;
        QVERIFY(f.window->UebungStart1Click());
        QVERIFY(f.board()->isVisible());
        QVERIFY(f.window->statusPanel()->isVisible());
        QCOMPARE(f.board()->tileCount(), 3);
        QCOMPARE(f.window->toolButton(QStringLiteral("LernKartBtn"))->caption(), QStringLiteral("Quiz\r\nabbrechen"));

        // A drag moves only the tile and the red frame: the card is never drawn again.
        const qint64 card = f.window->cardBitmaps().cardBitmap.cacheKey();
        const qint64 display = f.window->cardBitmaps().display.cacheKey();
        const int berlin = f.pairOf(QStringLiteral("Berlin"));
        AnswerTile *tile = f.board()->tile(berlin);
        const QPoint home = tile->pos();
        f.dragTile(berlin, f.targetOf(QStringLiteral("Paris")), false);
        QVERIFY(f.board()->hitFrameVisible());
        QCOMPARE(f.window->cardBitmaps().cardBitmap.cacheKey(), card);
        QCOMPARE(f.window->cardBitmaps().display.cacheKey(), display);

        // Dropped on the wrong capital: a failed attempt, and the tile flies home.
        QTest::mouseRelease(tile, Qt::LeftButton, {}, tile->mapFromParent(f.targetOf(QStringLiteral("Paris"))));
        QCOMPARE(f.window->engine().score().failedCount, 1);
        QCOMPARE(tile->pos(), home);
        QVERIFY(!f.board()->hitFrameVisible());
        QCOMPARE(f.window->statusPanel()->labelText(QStringLiteral("FalschLab")), QStringLiteral("1"));

        // A tile dropped beside every target stays where it lies and counts nothing.
        f.dragTile(berlin, QPoint(5, f.board()->height() - 5));
        QCOMPARE(f.window->engine().score().failedCount, 1);
        QVERIFY(f.board()->tile(berlin));

        f.dragTile(berlin, f.targetOf(QStringLiteral("Berlin")));
        QVERIFY(!f.board()->tile(berlin)); // placed: the tile is gone
        QCOMPARE(f.window->engine().score().correctCount, 1);
        f.dragTile(f.pairOf(QStringLiteral("Paris")), f.targetOf(QStringLiteral("Paris")));

        // The last drop ends the quiz: the finished dialog reports and is closed.
        QString correct, grade, performance;
        bool repetitionEnabled = true;
        QTimer answer;
        answer.setInterval(10);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            TUebFertigForm *dialog = f.window->uebFertigForm();
            if (!dialog->isVisible())
                return;
            answer.stop();
            correct = dialog->richtigLab()->text();
            grade = dialog->noteLab()->text();
            performance = dialog->gesamtleistungLab()->text();
            repetitionEnabled = dialog->wiederholenBtn()->isEnabled() && dialog->findChild<QWidget *>(QStringLiteral("WiederholenMode"))->isEnabled();
            QTest::mouseClick(dialog->lernBtn(), Qt::LeftButton);
        });
        answer.start();
        f.dragTile(f.pairOf(QStringLiteral("Rom")), f.targetOf(QStringLiteral("Rom")));
        QCOMPARE(correct, QStringLiteral("3  von  3"));
        QCOMPARE(performance, QStringLiteral("75.0 %"));
        QCOMPARE(grade, QStringLiteral("2"));
        QVERIFY(repetitionEnabled);
        QCOMPARE(f.window->appMode(), int(amLearningView));
        QVERIFY(!f.board()->isVisible());
        QVERIFY(!f.window->statusPanel()->isVisible());
        QCOMPARE(f.window->toolButton(QStringLiteral("LernKartBtn"))->caption(), QStringLiteral("Startseite"));
        QVERIFY(f.window->engine().run().protocolDetail.contains(QStringLiteral("RICHTIG - Beschriftungstext \"Rom\" wird der richtigen Position zugeordnet")));
    }

    void missingSoundFileIsReported()
    {
        // Sound on, but the program folder has no sound files: the answer still counts.
        Fixture f("Opt-Sound=1\n");
        QVERIFY(f.window->findMenuAction(QStringLiteral("Sound1"))->isChecked());
        QVERIFY(f.window->UebungStart1Click());
        f.dragTile(f.pairOf(QStringLiteral("Berlin")), f.targetOf(QStringLiteral("Berlin")));
        QCOMPARE(f.messages.texts().last(), QStringLiteral("Sounddatei \"Richtig1.wav\" nicht gefunden."));
        QCOMPARE(f.window->engine().score().correctCount, 1);
    }

    void optionsDuringAQuizOnlyInform()
    {
        Fixture f;
        QVERIFY(f.window->UebungStart1Click());
        f.window->UebOpt1Click();
        QCOMPARE(f.messages.texts().last(),
                 QStringLiteral("Die Übungsoptionen können nicht während der Übung geändert werden."));
        QVERIFY(!f.window->quizMenu()->isEnabled());
    }

    void resizingKeepsEveryTileReachable()
    {
        Fixture f;
        QVERIFY(f.window->UebungStart1Click());
        f.window->resize(1400, 900);
        QTest::qWait(0);
        f.window->resize(900, 650);
        QTest::qWait(0);
        for (int k = 0; k < f.board()->tileCount(); ++k) {
            const AnswerTile *t = f.board()->tile(k);
            QVERIFY(f.board()->rect().contains(t->geometry()));
        }
        f.messages.setNextAnswer(MessageAnswer::Yes);
        f.window->LernKartBtnClick(); // "Quiz abbrechen" asks first
        QCOMPARE(f.messages.texts().last(), QStringLiteral("Das aktuelle Quiz ist noch nicht beendet.\r\nQuiz wirklich abbrechen?"));
        QCOMPARE(f.window->appMode(), int(amLearningView));
    }

    // At the smallest window that starts without a warning every figure of the panel
    // shows in full beside the others, also with the longest name the entry allows.
    void statusPanelFitsTheSmallestWindow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("clockCaption");
        QTest::addColumn<bool>("nameElided");
        QTest::newRow("30 letters, waiting") << QStringLiteral("Maximiliane-Sophie Wagenknecht")
                                             << QStringLiteral("warte auf Antwort") << QStringLiteral("Benötigte Zeit:")
                                             << false;
        QTest::newRow("30 letters outside the code page, time limit")
            << QStringLiteral("Şükrü Yılmaz-Ağaoğlu Kowalczyk") << QStringLiteral("Quiz beendet")
            << QStringLiteral("Verbleibende Zeit:") << false;
        // Thirty of the widest capital: no real name, shortened at its end, never overlapping.
        QTest::newRow("30 wide capitals") << QString(30, QLatin1Char('W')) << QStringLiteral("warte auf Antwort")
                                          << QStringLiteral("Verbleibende Zeit:") << true;
    }

    void statusPanelFitsTheSmallestWindow()
    {
        QFETCH(QString, name);
        QFETCH(QString, status);
        QFETCH(QString, clockCaption);
        QFETCH(bool, nameElided);
        Fixture f;
        QVERIFY(f.window->UebungStart1Click());
        f.window->resize(960, 700);
        QuizStatusPanel *panel = f.window->statusPanel();
        QuizStatusTexts texts;
        texts.status = status;
        texts.name = name;
        texts.correct = texts.failed = texts.open = QStringLiteral("9999");
        texts.successRate = texts.totalPerformance = QStringLiteral("100.0 %");
        texts.clockCaption = clockCaption;
        panel->showTexts(texts);
        panel->showClock(QStringLiteral("100:00"));
        QTest::qWait(0);
        QCOMPARE(f.window->size(), QSize(960, 700));

        const QList<QLabel *> labels = panel->findChildren<QLabel *>();
        QList<QLabel *> shown;
        for (QLabel *l : labels)
            if (l->isVisible() && !l->text().isEmpty())
                shown << l;
        QVERIFY(shown.size() >= 16); // seven captions and values, the name's caption and the note
        for (QLabel *l : std::as_const(shown)) {
            QVERIFY2(panel->rect().contains(l->geometry()), qPrintable(l->text()));
            if (l != panel->nameLabel())
                QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->contentsRect().width(),
                         qPrintable(l->text() + QStringLiteral(" is clipped")));
            for (QLabel *other : std::as_const(shown))
                if (other != l)
                    QVERIFY2(!l->geometry().intersects(other->geometry()),
                             qPrintable(l->text() + QStringLiteral(" overlaps ") + other->text()));
        }
        QVERIFY(shown.contains(panel->nameLabel()));
        QCOMPARE(panel->nameLabel()->isElided(), nameElided);
        QCOMPARE(panel->nameLabel()->toolTip(), name);
        const QRect button = panel->keyFiguresButton()->geometry();
        QVERIFY(panel->rect().contains(button));
        for (QLabel *l : std::as_const(shown))
            QVERIFY(!l->geometry().intersects(button));
        f.messages.setNextAnswer(MessageAnswer::Yes);
        f.window->LernKartBtnClick();
    }

    // The panel makes its labels at the first showing or the first text it is given,
    // whichever comes first: both roads end in the same panel.
    void statusPanelFilledBeforeOrAfterItsFirstShowing()
    {
        QuizStatusTexts texts;
        texts.status = QStringLiteral("warte auf Antwort");
        texts.total = QStringLiteral("von  20");
        texts.name = QStringLiteral("Anna");
        texts.correct = QStringLiteral("3");
        texts.failed = QStringLiteral("1");
        texts.successRate = QStringLiteral("75.0 %");
        texts.totalPerformance = QStringLiteral("15.0 %");
        texts.open = QStringLiteral("17");
        texts.clockCaption = QStringLiteral("Verbleibende Zeit:");
        auto fill = [&](QuizStatusPanel &panel) {
            panel.showTexts(texts);
            panel.showClock(QStringLiteral("2:59"));
            panel.showVerdict(false);
            panel.showKeyboardStatus(QStringLiteral("Halte: Rom"));
        };
        QWidget firstFilled, firstShown;
        for (QWidget *parent : {&firstFilled, &firstShown}) {
            new QVBoxLayout(parent);
            parent->resize(900, 120);
        }
        auto *filled = new QuizStatusPanel(&firstFilled);
        auto *shown = new QuizStatusPanel(&firstShown);
        for (QuizStatusPanel *panel : {filled, shown}) {
            panel->hide();
            panel->parentWidget()->layout()->addWidget(panel);
            panel->parentWidget()->show();
        }
        QSignalSpy announced(filled, &QuizStatusPanel::announced);
        fill(*filled);
        QCOMPARE(announced.size(), 1);
        QCOMPARE(filled->labelText(QStringLiteral("UebStatLab")), QStringLiteral("Falsch"));
        filled->show();
        shown->show();
        fill(*shown);
        QTest::qWait(0);

        QCOMPARE(filled->sizeHint(), shown->sizeHint());
        QCOMPARE(filled->geometry(), shown->geometry());
        const QList<QLabel *> a = filled->findChildren<QLabel *>();
        const QList<QLabel *> b = shown->findChildren<QLabel *>();
        QCOMPARE(a.size(), b.size());
        QVERIFY(a.size() >= 17);
        for (int i = 0; i < a.size(); ++i) {
            QCOMPARE(a.at(i)->objectName(), b.at(i)->objectName());
            QCOMPARE(a.at(i)->text(), b.at(i)->text());
            QCOMPARE(a.at(i)->accessibleName(), b.at(i)->accessibleName());
            QCOMPARE(a.at(i)->styleSheet(), b.at(i)->styleSheet());
            QCOMPARE(a.at(i)->isVisible(), b.at(i)->isVisible());
            if (a.at(i)->isVisible()) // a hidden label keeps whatever place it last had
                QCOMPARE(a.at(i)->geometry(), b.at(i)->geometry());
        }
        QCOMPARE(filled->labelText(QStringLiteral("UebTastaturLab")), QStringLiteral("Halte: Rom"));
        QCOMPARE(filled->nameLabel()->toolTip(), QStringLiteral("Anna"));
        QCOMPARE(filled->keyFiguresButton()->geometry(), shown->keyFiguresButton()->geometry());
        QCOMPARE(filled->grab().toImage(), shown->grab().toImage());
    }

    void keyboardPlaysTheMapLikeTheMouse()
    {
        QStringList protocols;
        QList<BestListParse> lists;
        for (const bool keys : {false, true}) {
            Fixture f("Opt-Sound=0\nOpt-ErgebBestListEintragen=1\nOpt-BestListOrdner=@DIR@/best/\n");
            QVERIFY(f.window->UebungStart1Click());
            auto move = [&](const QString &tile, const QString &target) {
                const int pair = f.pairOf(tile);
                if (keys)
                    f.dropByKeys(pair, target);
                else
                    f.dragTile(pair, f.targetOf(target));
            };
            const int berlin = f.pairOf(QStringLiteral("Berlin"));
            const QPoint home = f.board()->tile(berlin)->pos();
            move(QStringLiteral("Berlin"), QStringLiteral("Paris"));
            QCOMPARE(f.window->engine().score().failedCount, 1);
            QCOMPARE(f.board()->tile(berlin)->pos(), home); // flown home
            QCOMPARE(f.board()->heldPair(), -1);
            if (keys) {
                // The tile keeps the focus; Escape puts a picked-up tile back untouched.
                QCOMPARE(QApplication::focusWidget(), f.board()->tile(berlin));
                QTest::keyClick(f.board()->tile(berlin), Qt::Key_Space);
                QTest::keyClicks(f.board()->tile(berlin), f.numberOf(QStringLiteral("Rom")));
                QVERIFY(f.board()->hitFrameVisible());
                QCOMPARE(f.window->statusPanel()->labelText(QStringLiteral("UebTastaturLab")),
                         QStringLiteral("Karte \"Berlin\" aufgenommen, Ziel ") + f.numberOf(QStringLiteral("Rom"))
                             + QStringLiteral(": Eingabe legt sie ab"));
                QTest::keyClick(f.board()->tile(berlin), Qt::Key_Escape);
                QCOMPARE(f.board()->heldPair(), -1);
                QVERIFY(!f.board()->hitFrameVisible());
                QCOMPARE(f.window->engine().score().failedCount, 1);
                QCOMPARE(f.board()->tile(berlin)->pos(), home);
            }
            move(QStringLiteral("Berlin"), QStringLiteral("Berlin"));
            QVERIFY(!f.board()->tile(berlin));
            if (keys) // the focus went on to a tile that is left
                QVERIFY(qobject_cast<AnswerTile *>(QApplication::focusWidget()));
            move(QStringLiteral("Paris"), QStringLiteral("Paris"));
            FinishedDialogCloser closer(f.window.get());
            move(QStringLiteral("Rom"), QStringLiteral("Rom"));
            QCOMPARE(closer.correct, QStringLiteral("3  von  3"));
            QCOMPARE(f.window->appMode(), int(amLearningView));
            protocols << f.window->engine().run().protocolDetail + f.window->engine().run().protocolSummary;
            BestListParse parsed;
            QVERIFY(parseBestList(f.bestListBytes(), parsed));
            lists << parsed;
        }
        QVERIFY(protocols.at(0).contains(QStringLiteral("FALSCH - Beschriftungstext \"Berlin\" wird der Position von \"Paris\" zugeordnet")));
        QCOMPARE(protocols.at(1), protocols.at(0));
        QCOMPARE(lists.at(0).entries.size(), 1);
        QCOMPARE(lists.at(1).entries.size(), 1);
        const BestListEntry &mouse = lists.at(0).entries.first();
        const BestListEntry &keys = lists.at(1).entries.first();
        QCOMPARE(keys.performance, mouse.performance);
        QCOMPARE(keys.name, mouse.name);
        QVERIFY(qAbs(keys.durationMs - mouse.durationMs) < 1000);
    }

    void singleQuestionsByTheKeysOneToSix()
    {
        QStringList protocols;
        for (const bool keys : {false, true}) {
            Fixture f("Opt-Sound=0\n", questions());
            f.random.seed(11); // both runs ask in the same order and place the answers alike
            QVERIFY(f.window->UebungStart1Click());
            FinishedDialogCloser closer(f.window.get());
            bool wrongDone = false;
            for (int step = 0; step < 12 && f.window->appMode() == int(amQuizRunning); ++step) {
                const QList<AnswerTile *> places = f.board()->answersInPlaceOrder();
                QVERIFY(places.size() >= 2 && places.size() <= 6);
                AnswerTile *right = f.board()->tile(f.window->engine().correctTile());
                qsizetype place = places.indexOf(right);
                QVERIFY(place >= 0);
                if (!wrongDone) {
                    place = place == 0 ? 1 : 0; // the first answer goes wrong once
                    wrongDone = true;
                }
                if (keys)
                    QTest::keyClick(f.window.get(), Qt::Key(Qt::Key_1 + place));
                else
                    QTest::mouseClick(places.at(place), Qt::LeftButton);
            }
            QCOMPARE(f.window->appMode(), int(amLearningView));
            QCOMPARE(closer.correct, QStringLiteral("4  von  4"));
            protocols << f.window->engine().run().protocolDetail;
        }
        QVERIFY(protocols.at(0).contains(QStringLiteral("FALSCH - Gewählte Antwort")));
        QCOMPARE(protocols.at(1), protocols.at(0));
    }

    void touchDragIgnoresASecondFinger()
    {
        Fixture f;
        QVERIFY(f.window->UebungStart1Click());
        QuizBoard *board = f.board();
        AnswerTile *berlin = board->tile(f.pairOf(QStringLiteral("Berlin")));
        AnswerTile *paris = board->tile(f.pairOf(QStringLiteral("Paris")));
        const QPoint parisHome = paris->pos();
        const QPoint grip = berlin->pos() + QPoint(6, berlin->height() / 2);
        const QPoint target = f.targetOf(QStringLiteral("Berlin"));
        QPointingDevice *device = QTest::createTouchDevice();
        QWidget *window = f.window.get();
        QTest::touchEvent(window, device).press(0, grip, board);
        // A second finger lands on another tile and wanders off while the first drags.
        const QPoint second = paris->pos() + QPoint(20, 20);
        QTest::touchEvent(window, device).stationary(0).press(1, second, board);
        for (int step = 1; step <= 8; ++step)
            QTest::touchEvent(window, device)
                .move(0, grip + (target - grip) * step / 8, board)
                .move(1, second - QPoint(30 * step, 10 * step), board);
        QVERIFY(board->hitFrameVisible());
        QTest::touchEvent(window, device).stationary(0).release(1, second - QPoint(240, 80), board);
        QCOMPARE(f.window->engine().score().correctCount + f.window->engine().score().failedCount, 0);
        QCOMPARE(paris->pos(), parisHome);
        QTest::touchEvent(window, device).release(0, target, board);
        QCOMPARE(f.window->engine().score().correctCount, 1);
        QCOMPARE(f.window->engine().score().failedCount, 0);
        QVERIFY(!board->tile(f.pairOf(QStringLiteral("Berlin"))));
        QCOMPARE(paris->pos(), parisHome);
        // The mouse still drags as before.
        f.dragTile(f.pairOf(QStringLiteral("Paris")), f.targetOf(QStringLiteral("Paris")));
        QCOMPARE(f.window->engine().score().correctCount, 2);
    }

    void screenReadersHearNamesAndTheVerdict()
    {
        Fixture f;
        QVERIFY(f.window->UebungStart1Click());
        QAccessibleInterface *tile = QAccessible::queryAccessibleInterface(f.board()->tile(f.pairOf(QStringLiteral("Rom"))));
        QVERIFY(tile);
        QCOMPARE(tile->role(), QAccessible::Button);
        QCOMPARE(tile->text(QAccessible::Name), QStringLiteral("Rom"));
        QAccessibleInterface *board = QAccessible::queryAccessibleInterface(f.board());
        QVERIFY(board);
        QStringList targets;
        for (int i = 0; i < board->childCount(); ++i) {
            QAccessibleInterface *child = board->child(i);
            if (child && child->text(QAccessible::Name).startsWith(QStringLiteral("Ziel")))
                targets << child->text(QAccessible::Name) + QLatin1Char('|') + child->text(QAccessible::Value);
        }
        targets.sort();
        QCOMPARE(targets, QStringList({"Ziel 1|offen", "Ziel 2|offen", "Ziel 3|offen"}));
        QCOMPARE(f.window->statusPanel()->findChild<QLabel *>(QStringLiteral("RichtigLab"))->accessibleName(),
                 QStringLiteral("Richtig: 0"));

        // The verdict is announced (the offscreen platform has no screen reader to
        // receive the accessibility events themselves).
        QSignalSpy announced(f.window->statusPanel(), &QuizStatusPanel::announced);
        QLabel *status = f.window->statusPanel()->findChild<QLabel *>(QStringLiteral("UebStatLab"));
        QStringList verdicts;
        QObject::connect(f.window->statusPanel(), &QuizStatusPanel::announced,
                         [&] { verdicts << status->accessibleName(); });
        f.dragTile(f.pairOf(QStringLiteral("Rom")), f.targetOf(QStringLiteral("Berlin")));
        f.dragTile(f.pairOf(QStringLiteral("Rom")), f.targetOf(QStringLiteral("Rom")));
        QCOMPARE(announced.size(), 2);
        QCOMPARE(announced.at(0).at(0).toString(), QStringLiteral("Falsch"));
        QCOMPARE(verdicts, QStringList({"Status: Falsch", "Status: Richtig"}));
        QCOMPARE(f.window->statusPanel()->findChild<QLabel *>(QStringLiteral("RichtigLab"))->accessibleName(),
                 QStringLiteral("Richtig: 1"));
        bool placed = false;
        for (int i = 0; i < board->childCount(); ++i)
            if (QAccessibleInterface *child = board->child(i))
                placed = placed || child->text(QAccessible::Value) == QStringLiteral("richtig: Rom");
        QVERIFY(placed);
    }

    void threeHundredLabelsLeaveHalfThePanelAndPlayToTheEnd()
    {
        Fixture f("Opt-Sound=0\n", manyPlaces());
        QVERIFY(f.window->UebungStart1Click());
        QuizBoard *board = f.board();
        QCOMPARE(board->tileCount(), 300);
        QVERIFY(!board->waitingTiles().isEmpty());
        QVERIFY2(2 * board->tileAreaLeft() >= board->width(), qPrintable(QString::number(board->tileAreaLeft())));
        QCOMPARE(f.window->viewState().controlSize.width(), board->tileAreaLeft());
        FinishedDialogCloser closer(f.window.get());
        const QList<int> waiting = board->waitingTiles();
        int moves = 0;
        while (f.window->appMode() == int(amQuizRunning) && moves < 320) {
            auto *focused = qobject_cast<AnswerTile *>(QApplication::focusWidget());
            if (!focused || focused->isHidden()) {
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : f.window.get(), Qt::Key_Tab);
                focused = qobject_cast<AnswerTile *>(QApplication::focusWidget());
                QVERIFY(focused);
            }
            const QString caption = f.window->document().objects.at(focused->tileObject()).Cap;
            QTest::keyClick(focused, Qt::Key_Space);
            QTest::keyClicks(focused, f.numberOf(caption));
            QTest::keyClick(focused, Qt::Key_Return);
            ++moves;
            if (f.window->appMode() != int(amQuizRunning))
                break;
            QVERIFY(2 * board->tileAreaLeft() >= board->width());
            if (moves == 1) // the first place that came free went to the first waiting tile
                QVERIFY(board->tile(waiting.first()) && board->tile(waiting.first())->isVisible());
        }
        QCOMPARE(moves, 300);
        QCOMPARE(closer.correct, QStringLiteral("300  von  300"));
    }

    // One click is one answer: the second click of a double click lands on the answer
    // that then lies under the pointer, and must not answer the next question.
    void doubleClickGivesOneAnswer()
    {
        Fixture f("Opt-Sound=0\n", questions());
        QVERIFY(f.window->UebungStart1Click());
        AnswerTile *right = f.board()->tile(f.window->engine().correctTile());
        QVERIFY(right);
        const QPoint at = right->geometry().center();
        QTest::mousePress(right, Qt::LeftButton);
        QTest::mouseRelease(right, Qt::LeftButton);
        auto *under = qobject_cast<AnswerTile *>(f.board()->childAt(at));
        QVERIFY(under && under->isVisible()); // the next question's answers fill the same places
        QTest::mouseDClick(under, Qt::LeftButton);
        QTest::mouseRelease(under, Qt::LeftButton);
        QCOMPARE(f.window->engine().score().correctCount, 1);
        QCOMPARE(f.window->engine().score().failedCount, 0);
        QCOMPARE(f.window->engine().run().questionNumber, 2);
        QCOMPARE(f.window->engine().run().protocolDetail.count(QStringLiteral("Gewählte Antwort")), 1);
        f.messages.setNextAnswer(MessageAnswer::Yes);
        f.window->LernKartBtnClick();
    }

    // What arrives while a verdict shows (a key, a click, a drag) is dropped: the next
    // question is answered only once it is seen.
    void inputDuringTheFeedbackIsDiscarded()
    {
        {
            Fixture f("Opt-Sound=0\n", questions());
            QVERIFY(f.window->UebungStart1Click());
            const QList<AnswerTile *> places = f.board()->answersInPlaceOrder();
            const qsizetype right = places.indexOf(f.board()->tile(f.window->engine().correctTile()));
            QVERIFY(right >= 0);
            f.clock.holdTimers(true); // the verdict's pauses take their time
            QTest::keyClick(f.window.get(), Qt::Key(Qt::Key_1 + right));
            // A second digit while the green tile still shows, and a click on an answer.
            QTest::keyClick(f.window.get(), Qt::Key_1);
            QTest::mouseClick(f.board()->answersInPlaceOrder().value(0, places.first()), Qt::LeftButton);
            QCOMPARE(f.window->engine().score().correctCount + f.window->engine().score().failedCount, 1);
            QCOMPARE(f.window->engine().run().protocolDetail.count(QStringLiteral("Gewählte Antwort")), 1);
            f.clock.advance(5000);
            QCoreApplication::sendPostedEvents();
            // The next question, now shown, takes its answer.
            const QList<AnswerTile *> next = f.board()->answersInPlaceOrder();
            const qsizetype nextRight = next.indexOf(f.board()->tile(f.window->engine().correctTile()));
            QVERIFY(nextRight >= 0);
            QTest::keyClick(f.window.get(), Qt::Key(Qt::Key_1 + nextRight));
            QCOMPARE(f.window->engine().score().correctCount, 2);
            QCOMPARE(f.window->engine().score().failedCount, 0);
            f.messages.setNextAnswer(MessageAnswer::Yes);
            f.window->LernKartBtnClick();
        }
    }

    // A map: a tile dragged while a wrong one flies home counts nothing.
    void dragDuringAFlightIsDiscarded()
    {
        {
            Fixture f;
            QVERIFY(f.window->UebungStart1Click());
            f.clock.holdTimers(true); // the flight takes its time
            f.dragTile(f.pairOf(QStringLiteral("Berlin")), f.targetOf(QStringLiteral("Rom")));
            f.dragTile(f.pairOf(QStringLiteral("Paris")), f.targetOf(QStringLiteral("Paris")));
            QCOMPARE(f.window->engine().score().failedCount, 1);
            QCOMPARE(f.window->engine().score().correctCount, 0);
            QVERIFY(f.board()->tile(f.pairOf(QStringLiteral("Paris"))));
            f.clock.advance(5000);
            QCoreApplication::sendPostedEvents();
            f.dragTile(f.pairOf(QStringLiteral("Paris")), f.targetOf(QStringLiteral("Paris")));
            QCOMPARE(f.window->engine().score().correctCount, 1);
            f.messages.setNextAnswer(MessageAnswer::Yes);
            f.window->LernKartBtnClick();
        }
    }

    // With the learning view shown, a start cancelled at the name prompt leaves the card
    // exactly as it was: its covers, their numbers, its picture.
    void cancelledStartLeavesTheLearningCard()
    {
        Fixture f("Opt-Sound=0\nOpt-Lernansicht=1\n");
        QVERIFY(f.window->learningViewShown());
        f.window->findMenuAction(QStringLiteral("OptNameEingabe1"))->setChecked(true);
        auto covers = [&] {
            QStringList states;
            for (int i = 0; i < f.window->document().objects.size(); ++i)
                states << QStringLiteral("%1:%2").arg(markOf(f.window->viewState().marks, i).coverState)
                              .arg(markOf(f.window->viewState().marks, i).displayNo);
            return states;
        };
        const QStringList before = covers();
        const QImage card = f.window->cardBitmaps().display.copy();
        for (int round = 0; round < 2; ++round) {
            QTimer escape;
            escape.setInterval(5);
            QObject::connect(&escape, &QTimer::timeout, [&] {
                if (f.window->nameEingabeForm() && f.window->nameEingabeForm()->isVisible()) {
                    escape.stop();
                    QTest::keyClick(f.window->nameEingabeForm(), Qt::Key_Escape);
                }
            });
            escape.start();
            QVERIFY(!f.window->UebungStart1Click());
            QCOMPARE(f.window->appMode(), int(amLearningView));
            QCOMPARE(covers(), before);
            QCOMPARE(f.window->cardBitmaps().display, card);
        }
        // A covered label opens with one click.
        const int berlin = 0;
        QCOMPARE(markOf(f.window->viewState().marks, berlin).coverState, int(csCovered));
        const RectD &b = f.window->cardBitmaps().layout.hitBox(berlin);
        const QPoint centre = (f.window->renderer().fractionToControl(b.left, b.top)
                               + f.window->renderer().fractionToControl(b.right, b.bottom)) / 2;
        QTest::mouseClick(f.window->cardImage(), Qt::LeftButton, {}, centre);
        QCOMPARE(markOf(f.window->viewState().marks, berlin).coverState, int(csUncovered));
    }

    // The counter "N. Frage" and the card's "Frage:" never overlap, also in a large
    // window; where they did not overlap the counter keeps its place.
    void questionCounterBesideTheQuestion_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("usualPlace");
        QTest::newRow("900 x 650") << QSize(900, 650) << true;
        QTest::newRow("1024 x 768") << QSize(1024, 768) << true;
        QTest::newRow("1600 x 1000, maximised") << QSize(1600, 1000) << false;
        QTest::newRow("1920 x 1080") << QSize(1920, 1080) << false;
    }
    void questionCounterBesideTheQuestion()
    {
        QFETCH(QSize, size);
        QFETCH(bool, usualPlace);
        Fixture f("Opt-Sound=0\n", questions());
        f.window->resize(size);
        QTest::qWait(0);
        QVERIFY(f.window->UebungStart1Click());
        const QLabel *counter = f.board()->findChild<QLabel *>(QStringLiteral("UebFrageZaehlerPan"));
        QVERIFY(counter && counter->isVisible());
        QCOMPARE(counter->text(), QStringLiteral("1. Frage"));
        QRect heading;
        for (int i = 0; i < f.window->document().objects.size(); ++i) {
            const DocObject &o = f.window->document().objects.at(i);
            const RectD &b = f.window->cardBitmaps().layout.hitBox(i);
            if (o.Typ == otQuestion && o.Cap == QStringLiteral("Frage:")
                && o.FrageNummer == f.window->engine().run().currentQuestionNo)
                heading = QRect(f.window->renderer().fractionToControl(b.left, b.top),
                                f.window->renderer().fractionToControl(b.right, b.bottom));
        }
        QVERIFY(heading.isValid());
        QVERIFY2(!counter->geometry().intersects(heading),
                 qPrintable(QStringLiteral("counter %1,%2 %3x%4, heading %5,%6 %7x%8")
                                .arg(counter->x()).arg(counter->y()).arg(counter->width()).arg(counter->height())
                                .arg(heading.x()).arg(heading.y()).arg(heading.width()).arg(heading.height())));
        QVERIFY(f.board()->rect().contains(counter->geometry()));
        // The grid of the answers starts at 10 % and 58 % of the card; the counter stands at
        // its left edge, at 0.3 times its height, unless that would cover the heading.
        const RectD &w = f.window->viewState().viewWindow;
        const QPoint grid = f.window->renderer().fractionToControl(w.left + 0.10 * (w.right - w.left),
                                                                   w.top + 0.58 * (w.bottom - w.top))
            + QPoint(4, 0);
        QCOMPARE(counter->x(), grid.x());
        if (usualPlace)
            QCOMPARE(counter->y(), nearest(0.3 * grid.y()));
        f.messages.setNextAnswer(MessageAnswer::Yes);
        f.window->LernKartBtnClick();
    }
};

QTEST_MAIN(TestQuizWidgets)
#include "tst_quiz_widgets.moc"
