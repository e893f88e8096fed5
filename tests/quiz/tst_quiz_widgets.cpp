#include "app/main_window.h"
#include "app/topic_menu.h"
#include "document/document_file.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "quiz/quiz_board.h"
#include "quiz/quiz_dialogs.h"
#include "quiz/quiz_status_panel.h"
#include "support/fake_services.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"
#include "view/card_renderer.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

    explicit Fixture(const QByteArray &soundSetting = "Opt-Sound=0\n")
    {
        QDir(dir.path()).mkpath(QStringLiteral("programm/data"));
        QDir(dir.path()).mkpath(QStringLiteral("themen"));
        writeFile(dir.path() + QStringLiteral("/programm/data/kapitolo.png"), pngBytes(patternImage(64, 40)));
        writeFile(dir.path() + QStringLiteral("/k.ini"),
                  "[General]\nOpt-UebNameEingabe=0\nOpt-ErgebBestListEintragen=0\n"
                  "UebOpt-Zuordnungstexte=0\nUebOpt-Zuordnungsziele=0\n" + soundSetting);
        settings = std::make_unique<SettingsStore>(dir.path() + QStringLiteral("/k.ini"));
        services = std::make_unique<Services>(
            Services{messages, clock, random, *settings, shell, dialogs, dir.path() + QStringLiteral("/programm/")});
        TopicDocument d = capitals();
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
                const RectD &b = window->document().objects.at(i).hitBox;
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
};

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
};

QTEST_MAIN(TestQuizWidgets)
#include "tst_quiz_widgets.moc"
