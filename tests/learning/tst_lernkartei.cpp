// The Lernkartei as the pupil sees it: the topics played, most due first, their
// compartments as a bar, the chart of the chosen topic, the keyboard and the names a screen
// reader hears; opened from the menu "Aktion", the left column and Ctrl+K; "Alles üben"
// starts the topic's quiz.

#include "app/main_window.h"
#include "document/document_file.h"
#include "document/document_json.h"
#include "learning/learning_controller.h"
#include "learning/learning_record.h"
#include "learning/lernkartei_window.h"
#include "controls/hover_panel.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "quiz/quiz_dialogs.h"
#include "quiz/quiz_engine.h"
#include "support/fake_services.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

constexpr qint32 kDay = 45000;

TopicDocument mapDocument(const QString &title, int places, const QString &path)
{
    TopicDocument d;
    d.fileName = path;
    d.titel = title;
    d.DokTyp = dtImageLabelling;
    d.baseImage = patternImage(60, 40);
    for (int i = 0; i < places; ++i) {
        DocObject o;
        o.Typ = otLabel;
        o.Ebene = layerBeschriftung;
        o.Cap = title + QStringLiteral(" %1").arg(i);
        o.Sx = o.Kx = 0.05 + 0.9 * i / places;
        o.Sy = o.Ky = 0.5;
        d.objects.append(o);
    }
    return d;
}

// Three topics: "Flüsse" played today with three places wrong, "Gebirge" a fortnight ago
// (all of it due), "Meere" yesterday and all right.
struct Record {
    QTemporaryDir dir;
    ScriptedMessages messages;
    FakeClock clock;
    std::unique_ptr<LearningRecord> record;

    Record()
    {
        record = std::make_unique<LearningRecord>(dir.filePath(QStringLiteral("lernstand.sqlite")), messages, clock);
        play(QStringLiteral("Gebirge"), 6, kDay - 14, {});
        play(QStringLiteral("Meere"), 4, kDay - 1, {});
        play(QStringLiteral("Flüsse"), 10, kDay - 1, {1, 4, 7});
        clock.setNow(kDay + 0.5);
    }
    void play(const QString &title, int places, qint32 day, const QList<int> &wrong)
    {
        clock.setNow(day + 0.5);
        const TopicDocument d = mapDocument(title, places, dir.filePath(title + QStringLiteral(".tsr")));
        for (int i = 0; i < places; ++i)
            record->recordVerdict(d, i, !wrong.contains(i), true);
    }
};

QStringList rowTexts(const QAbstractItemModel *model)
{
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

int countColour(const QImage &image, const QColor &colour, int tolerance = 0)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= tolerance && std::abs(c.green() - colour.green()) <= tolerance
                && std::abs(c.blue() - colour.blue()) <= tolerance)
                ++n;
        }
    return n;
}

// The program's folders, settings and services of a main window, with a fresh record in
// the test's own data folder.
struct WindowRig {
    QTemporaryDir dir;
    QString program;
    ScriptedMessages messages;
    FakeClock clock;
    Random random{1};
    std::unique_ptr<SettingsStore> settings;
    RecordingShell shell;
    ScriptedFileDialogs dialogs;
    std::unique_ptr<Services> services;

    WindowRig(const QByteArray &settingLines, double now)
    {
        for (const char *sub : {"programm/data", "themen"})
            QDir(dir.path()).mkpath(QLatin1String(sub));
        program = dir.filePath(QStringLiteral("programm/"));
        writeFile(program + QStringLiteral("data/kapitolo.png"), pngBytes(patternImage(64, 40)));
        const QString ini = dir.filePath(QStringLiteral("kapitolo.ini"));
        writeFile(ini, "[General]\nOpt-UebNameEingabe=0\n" + settingLines);
        clock.setNow(now);
        settings = std::make_unique<SettingsStore>(ini);
        services = std::make_unique<Services>(Services{messages, clock, random, *settings, shell, dialogs, program});
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(LearningRecord::defaultPath() + suffix);
    }
};

} // namespace

class TestLernkartei : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Ostrabel"));
        QCoreApplication::setApplicationName(QStringLiteral("Kapitolo-Test-Lernkartei"));
    }

    void showsTheTopicsMostDueFirst()
    {
        Record r;
        LernkarteiWindow window(*r.record, r.clock);
        window.show();
        QCOMPARE(window.windowTitle(), QStringLiteral("Lernkartei"));
        QCOMPARE(rowTexts(window.model()),
                 QStringList({QStringLiteral("Gebirge||6|01.03.2023"), QStringLiteral("Flüsse||3|gestern"),
                              QStringLiteral("Meere||0|gestern")}));
        QCOMPARE(window.summaryLabel()->text(), QStringLiteral("3 Themen geübt, heute fällig: 9 Aufgaben."));
        QCOMPARE(window.model()->headerData(LernkarteiModel::ColBoxes, Qt::Horizontal).toString(),
                 QStringLiteral("neu · Fach 1 bis 5"));
        // What a screen reader says of the bar and the figures.
        QCOMPARE(window.model()->index(1, LernkarteiModel::ColBoxes).data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("neu: 0, Fach 1: 3, Fach 2: 7, Fach 3: 0, Fach 4: 0, Fach 5: 0"));
        QCOMPARE(window.model()->index(0, LernkarteiModel::ColDue).data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("heute fällig: 6"));
        QCOMPARE(window.table()->accessibleName(), QStringLiteral("Gelernte Themen"));
        QCOMPARE(window.chart()->accessibleName(), QStringLiteral("Fortschritt über die Tage"));

        // The bar: red for "Fach 1", orange for "Fach 2", in the shares of the topic.
        const QRect cell = window.table()->visualRect(window.model()->index(1, LernkarteiModel::ColBoxes));
        const QImage bar = window.table()->viewport()->grab(cell).toImage();
        const int red = countColour(bar, boxColour(1));
        const int orange = countColour(bar, boxColour(2));
        QVERIFY2(red > 50 && orange > 50, qPrintable(QStringLiteral("%1 %2").arg(red).arg(orange)));
        QVERIFY2(std::abs(double(orange) / red - 7.0 / 3.0) < 0.5, qPrintable(QStringLiteral("%1 %2").arg(red).arg(orange)));
        QCOMPARE(countColour(bar, boxColour(5)), 0);
    }

    void chartOfTheChosenTopic()
    {
        Record r;
        LernkarteiWindow window(*r.record, r.clock);
        window.setChartColours(chartColoursOn(QColor(236, 236, 232)));
        window.resize(760, 620);
        window.show();
        QCOMPARE(window.currentRow(), 0);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("FortschrittTitel"))->text(), QStringLiteral("Fortschritt: Gebirge"));
        // Gebirge: played once a fortnight ago, due since.
        QList<ProgressDay> days = window.chart()->days();
        QCOMPARE(days.size(), 15);
        QCOMPARE(days.first(), (ProgressDay{kDay - 14, 0, 0}));
        QCOMPARE(days.last(), (ProgressDay{kDay, 0, 6}));
        QCOMPARE(window.chart()->accessibleDescription(),
                 QStringLiteral("Vom 01.03.2023 bis 15.03.2023: in Fach 4 und 5 von 0 auf 0 von 6 Aufgaben, fällig "
                                "zuletzt 6."));
        const QImage drawn = window.chart()->grab().toImage();
        const ChartColours colours = chartColoursOn(QColor(236, 236, 232));
        QVERIFY(countColour(drawn, colours.due) > 100);           // the due line
        QVERIFY(countColour(drawn, colours.background) > drawn.width() * drawn.height() / 3);

        // Down to "Flüsse": its chart.
        window.table()->setFocus();
        QTest::keyClick(window.table(), Qt::Key_Down);
        QCOMPARE(window.currentRow(), 1);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("FortschrittTitel"))->text(), QStringLiteral("Fortschritt: Flüsse"));
        days = window.chart()->days();
        QCOMPARE(days.size(), 2);
        QCOMPARE(days.last(), (ProgressDay{kDay, 0, 3}));
    }

    // A record with places in "Fach 4" and "Fach 5": the chart's area.
    void chartShowsSecureItems()
    {
        QList<ProgressDay> days;
        for (int d = 0; d < 30; ++d)
            days.append({kDay + d, d / 3, d % 5});
        const ChartColours colours = chartColoursOn(QColor(40, 40, 48)); // a dark panel
        QCOMPARE(colours.text, QColor(235, 235, 230));
        QImage image(500, 220, QImage::Format_ARGB32);
        QPainter painter(&image);
        paintProgressChart(painter, image.rect(), days, 12, colours);
        painter.end();
        QVERIFY(countColour(image, colours.secure) > 100);   // the area's edge
        QVERIFY(countColour(image, colours.due) > 100);      // the line
        QVERIFY(countColour(image, colours.text, 40) > 50);  // scale, dates, legend
        QCOMPARE(progressChartDescription(days, 12),
                 QStringLiteral("Vom 15.03.2023 bis 13.04.2023: in Fach 4 und 5 von 0 auf 9 von 12 Aufgaben, fällig "
                                "zuletzt 4."));
    }

    // Keyboard: Tab from the table to the chart and the buttons; Enter on a topic asks for
    // its due items (once the quiz can ask them), else for the whole topic.
    void keyboardAndRequests()
    {
        Record r;
        LernkarteiWindow window(*r.record, r.clock);
        QSignalSpy requests(&window, &LernkarteiWindow::practiceRequested);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(!window.dueButton()->isEnabled()); // nothing serves it yet
        QVERIFY(window.allButton()->isEnabled());
        window.table()->setFocus();
        QTest::keyClick(window.table(), Qt::Key_Return);
        QCOMPARE(requests.size(), 1);
        PracticeRequest request = requests.takeFirst().at(0).value<PracticeRequest>();
        QCOMPARE(request.title, QStringLiteral("Gebirge"));
        QVERIFY(!request.dueOnly);
        QCOMPARE(request.topicPath, r.dir.filePath(QStringLiteral("Gebirge.tsr")));

        window.setDuePracticeEnabled(true);
        QTest::keyClick(window.table(), Qt::Key_Down);
        QVERIFY(window.dueButton()->isEnabled());
        QTest::keyClick(window.table(), Qt::Key_Return);
        QCOMPARE(requests.size(), 1);
        request = requests.takeFirst().at(0).value<PracticeRequest>();
        QVERIFY(request.dueOnly);
        QCOMPARE(request.itemKeys, (QSet<QString>{QStringLiteral("O|Flüsse 1|140,500"),
                                                  QStringLiteral("O|Flüsse 4|410,500"),
                                                  QStringLiteral("O|Flüsse 7|680,500")}));
        // "Meere" has nothing due: its button is off.
        QTest::keyClick(window.table(), Qt::Key_Down);
        QVERIFY(!window.dueButton()->isEnabled());

        QTest::keyClick(window.table(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window.chart());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window.allButton()); // the due button is off
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.takeFirst().at(0).value<PracticeRequest>().title, QStringLiteral("Meere"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!window.isVisible());
    }

    void emptyRecord()
    {
        QTemporaryDir dir;
        ScriptedMessages messages;
        FakeClock clock;
        LearningRecord record(dir.filePath(QStringLiteral("lernstand.sqlite")), messages, clock);
        LernkarteiWindow window(record, clock);
        window.show();
        QCOMPARE(window.summaryLabel()->text(), QStringLiteral("Noch kein Thema geübt: Nach dem ersten Quiz steht es hier."));
        QVERIFY(!window.allButton()->isEnabled());
        QVERIFY(!window.dueButton()->isEnabled());
        QVERIFY(messages.shown().isEmpty());
    }

    // In the main window: "Lernkartei..." in the menu "Aktion" (Ctrl+K) and a button of
    // the left column; "Alles üben" opens the topic and starts its quiz.
    void openedFromTheMainWindow()
    {
        WindowRig rig("", kDay + 0.5);
        QTemporaryDir &dir = rig.dir;
        ScriptedMessages &messages = rig.messages;
        TForm1 w(*rig.services, QString());
        w.CreateDialogs();
        w.FormShow();
        QVERIFY(!w.learning().recordOpened()); // start-up opens no database

        const QString topicPath = dir.filePath(QStringLiteral("themen/seen.tsr"));
        TopicDocument seen = mapDocument(QStringLiteral("Seen"), 5, topicPath);
        QVERIFY(writeDocument(topicPath, seen, false, messages));
        w.learning().record().recordVerdict(seen, 2, false, true);

        QAction *action = w.findMenuAction(QStringLiteral("Lernkartei1"));
        QVERIFY(action);
        QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_K));
        QCOMPARE(action->text(), QStringLiteral("Lern&kartei..."));
        QVERIFY(w.menuBar()->findChild<QMenu *>(QStringLiteral("Aktion1"))->actions().contains(action));
        action->trigger();
        LernkarteiWindow *window = w.learning().lernkarteiWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(rowTexts(window->model()), QStringList{QStringLiteral("Seen||0|heute")});
        window->close();

        THoverPanel *button = w.toolButton(QStringLiteral("LernkarteiBtn"));
        QVERIFY(button);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(button);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Lernkartei"));
        QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("Lernkartei öffnen: was heute zu wiederholen ist (Strg+K)"));
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(window->isVisible());

        window->allButton()->click();
        QVERIFY(!window->isVisible());
        QCOMPARE(w.document().titel, QStringLiteral("Seen"));
        QVERIFY(w.engine().running());
        QVERIFY(messages.shown().isEmpty());

        // The "Klassenverlauf..." of the teacher: Shift+F9.
        QCOMPARE(w.findMenuAction(QStringLiteral("Klassenverlauf1"))->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F9));
        w.engine().LeaveQuiz();
    }
    // A quiz played in the main window fills the record as it goes: the first answer on a
    // place, gap or question grades it, and a tile put on a wrong place or gap fails that
    // one and the tile's own. The next day "Fällige üben" asks exactly the due ones (the
    // others shown uncovered) and enters no best list; a quiz left half-way keeps what was
    // answered; due items gone from the file are said.
    void quizzesFeedTheRecordAndDueOnesArePractised_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QList<int>>("wrongFirst"); // the n-th asked target is first answered wrongly
        QTest::newRow("map") << int(dtImageLabelling) << QList<int>{1};
        QTest::newRow("cloze") << int(dtCloze) << QList<int>{0, 3};
        QTest::newRow("single questions") << int(dtSingleQuestions) << QList<int>{1, 2};
    }
    void quizzesFeedTheRecordAndDueOnesArePractised()
    {
        QFETCH(int, kind);
        QFETCH(QList<int>, wrongFirst);
        WindowRig rig("Opt-Sound=0\nOpt-ErgebBestListEintragen=0\n", kDay + 0.4);
        QTemporaryDir &dir = rig.dir;
        ScriptedMessages &messages = rig.messages;
        FakeClock &clock = rig.clock;
        const QString topicPath = dir.filePath(QStringLiteral("themen/thema.tsr"));
        TopicDocument topic = mapDocument(QStringLiteral("Seen"), 5, topicPath);
        if (kind == dtCloze) {
            topic.objects.clear();
            topic.DokTyp = dtCloze;
            topic.titel = QStringLiteral("Der Rhein");
            topic.lueckentext = QStringLiteral("Der <<Rhein>> entspringt in der <<Schweiz>>. Bei Koblenz mündet die "
                                               "<<Mosel>>, bei Mainz der <<Main>> und bei Duisburg die <<Ruhr>>.");
            createGapObjects(topic.lueckentext, topic.objects);
        } else if (kind == dtSingleQuestions) {
            topic.objects.clear();
            topic.DokTyp = dtSingleQuestions;
            topic.titel = QStringLiteral("Hauptstädte");
            topic.fragentext = QStringLiteral("Hauptstadt von Frankreich?//Paris\r\nHauptstadt von Italien?//Rom\r\n"
                                              "Hauptstadt von Polen?//Warschau\r\nHauptstadt von Spanien?//Madrid");
            topic.AnzFrageNummern = createQuestionObjects(topic.fragentext, topic.objects);
        }
        QVERIFY(writeDocument(topicPath, topic, false, messages));
        TForm1 w(*rig.services, topicPath);
        w.CreateDialogs();
        w.resize(1000, 720);
        w.show();
        w.FormShow();
        QCOMPARE(w.document().titel, topic.titel);
        const bool single = kind == dtSingleQuestions;
        const QuizEngine &engine = w.engine();

        // The finished dialog: back to the card.
        QTimer closer;
        closer.setInterval(5);
        connect(&closer, &QTimer::timeout, [&] {
            if (w.uebFertigForm()->isVisible())
                QTest::mouseClick(w.uebFertigForm()->lernBtn(), Qt::LeftButton);
        });
        closer.start();

        // Plays the running quiz: the n-th asked target is answered wrongly first when
        // wrong says so; stops after `answers` answers. Returns the objects that failed.
        auto play = [&](const QList<int> &wrong, int answers) {
            QSet<int> failed, answered;
            QList<int> order; // the targets in the order they were first asked
            int given = 0;
            while (engine.running() && given < answers) {
                int target = single ? engine.askedObject() : -1;
                for (int i = 0; target < 0 && i < w.document().objects.size(); ++i)
                    if (markOf(engine.run().marks, i).coverState == csOpenQuestion)
                        target = i;
                int right = -1, other = -1;
                for (int k = 0; k < engine.run().quizList.size(); ++k) {
                    if (!engine.tileShown(k))
                        continue;
                    if (single ? k == engine.correctTile() : engine.run().quizList.at(k).tileObject == target)
                        right = k;
                    else if (other < 0)
                        other = k;
                }
                if (target < 0 || right < 0)
                    return QSet<int>{-1};
                if (!order.contains(target))
                    order << target;
                if (wrong.contains(order.indexOf(target)) && !failed.contains(target) && other >= 0) {
                    const QuizVerdict v = w.quiz().engine().evaluate(other, target);
                    if (!v.taken() || v.correct)
                        return QSet<int>{-1};
                    failed << target;
                    if (!single && !answered.contains(v.tileObject))
                        failed << v.tileObject;
                    ++given;
                    clock.advance(5000);
                    continue; // the same question again, or the next one
                }
                answered << target;
                if (!w.quiz().engine().evaluate(right, target).correct)
                    return QSet<int>{-1};
                ++given;
                clock.advance(5000);
            }
            return failed;
        };
        auto asked = [&] {
            QList<int> objects;
            for (const QuizPair &p : engine.run().quizList)
                objects << p.tileObject;
            std::sort(objects.begin(), objects.end());
            return objects;
        };

        QVERIFY(w.UebungStart1Click());
        const QSet<int> failed = play(wrongFirst, 1000);
        QVERIFY(!failed.contains(-1));
        // A wrong tile on a map or in a cloze fails two (the second wrong one may fall on a
        // place failed already, as the tiles' order decides), a wrong answer one question.
        QVERIFY(failed.size() >= (single ? wrongFirst.size() : 2));
        const int expectedDue = int(failed.size());
        QVERIFY(!engine.running());
        QVERIFY(w.learning().recordOpened());
        QList<TopicSummary> topics = w.learning().record().topicSummaries(kDay);
        QCOMPARE(topics.size(), 1);
        QCOMPARE(topics.first().boxes[1], expectedDue);                                 // failed: again soon
        QCOMPARE(topics.first().boxes[2], topics.first().itemCount() - expectedDue);  // known at once

        // The next day: what failed is due, and "Fällige üben" asks just that.
        clock.setNow(kDay + 1.4);
        const QSet<QString> due = w.learning().record().dueItemKeys(topics.first().id, kDay + 1);
        QCOMPARE(due.size(), expectedDue);
        w.learning().showLernkartei();
        LernkarteiWindow *window = w.learning().lernkarteiWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(rowTexts(window->model()), QStringList{topic.titel + QStringLiteral("||%1|gestern").arg(expectedDue)});
        QCOMPARE(window->summaryLabel()->text(), QStringLiteral("1 Thema geübt, heute fällig: %1 Aufgaben.").arg(expectedDue));
        window->dueButton()->click();
        QVERIFY(!window->isVisible());
        QVERIFY(engine.running());
        QCOMPARE(messages.texts(), QStringList());
        QList<int> expected(failed.cbegin(), failed.cend());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(asked(), expected);
        // The card: the asked ones open, the others shown uncovered.
        for (int i = 0; i < w.document().objects.size(); ++i) {
            const int cover = markOf(engine.run().marks, i).coverState;
            if (failed.contains(i))
                QCOMPARE(cover, int(csOpenQuestion));
            else if (!single && w.document().objects.at(i).Typ != otInfoPoint)
                QCOMPARE(cover, int(csUncovered));
        }
        // Half of it answered, then left: those answers are kept.
        QVERIFY(!play({}, 1).contains(-1));
        w.engine().LeaveQuiz();
        QCOMPARE(w.learning().record().dueItemKeys(topics.first().id, kDay + 1).size(), expectedDue - 1);

        // Due items no longer in the file: said, and no quiz.
        TopicDocument other = mapDocument(QStringLiteral("Seen"), 1, topicPath);
        QVERIFY(writeDocument(topicPath, other, false, messages));
        PracticeRequest gone;
        gone.topicPath = topicPath;
        gone.title = topic.titel;
        gone.dueOnly = true;
        gone.itemKeys = due;
        Q_EMIT w.learning().practiceRequested(gone);
        QCOMPARE(messages.texts().last(), QStringLiteral("Im Thema \"") + topic.titel
                                              + QStringLiteral("\" ist heute nichts fällig."));
        QVERIFY(!engine.running());
    }
};

QTEST_MAIN(TestLernkartei)
#include "tst_lernkartei.moc"
