// The class history: two exercises of three pupils (two at Kapitolo, one in the browser)
// from their journals to the rows, answers, trends and items the class still gets wrong,
// klassen.sqlite and its CSV; in the teacher's window, the end of each exercise (also
// "Nein" after a resume) adds it, and "Klassenverlauf..." shows it, marks the card and
// writes CSV and PDF.

#include "app/main_window.h"
#include "document/document_file.h"
#include "network/class_history.h"
#include "network/class_history_dialog.h"
#include "network/control_display.h"
#include "network/network_reports.h"
#include "network/network_test_support.h"
#include "platform/settings_store.h"
#include "quiz/quiz_option_forms.h"
#include "support/fake_services.h"
#include "support/test_files.h"
#include "view/card_renderer.h"
#include "view/card_image_widget.h"
#include "view/item_marks.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

constexpr double kFirst = 45000.375;  // 15.03.2023 09:00
constexpr double kSecond = 45007.375; // 22.03.2023 09:00

// One pupil's part of an exercise: its answers as (object, right) in order, its result.
struct Pupil {
    QString computer;
    QString user;
    char key;
    QList<std::pair<int, bool>> answers;
    double performance;
};

QString text(const QStringList &lines)
{
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

// What the teacher's computer receives of the pupils, report by report.
QList<JournalRecord> reports(const QList<Pupil> &pupils, double at)
{
    QList<JournalRecord> records;
    auto report = [&](const Pupil &p, const QStringList &lines) {
        JournalRecord r;
        r.kind = JournalRecord::Kind::Report;
        r.at = (at += 1.0 / 86400);
        r.computer = p.computer;
        r.user = p.user;
        r.text = text(lines);
        records.append(r);
    };
    for (const Pupil &p : pupils) {
        const QString key(30, QLatin1Char(p.key));
        if (p.key != 'Z') // Z never announced itself: its reports are discarded
            report(p, initReportLines(key, p.user, at));
        int correct = 0;
        int failed = 0;
        for (const auto &[object, right] : p.answers) {
            (right ? correct : failed) += 1;
            report(p, {QStringLiteral("TN-AKTION"), key, QString::number(object), "0", "0", "0", "09:00:00", "3",
                       QString::number(correct), QString::number(failed), "0", "00:20", "50.0", "40.0", "4"});
        }
        report(p, finishReportLines(key, 1, QStringLiteral("01:10")));
        report(p, bestListReportLines(key, p.user, p.computer, at, 70000, p.performance));
    }
    return records;
}

QList<JournalRecord> journal(const QString &channel, double at, const QList<Pupil> &pupils)
{
    JournalRecord init;
    init.kind = JournalRecord::Kind::Initiated;
    init.at = at;
    init.channel = channel;
    init.initiator = QStringLiteral("LEHRER");
    init.title = QStringLiteral("Hauptstädte Europas");
    init.topicPath = QStringLiteral("/themen/hauptstaedte.tsr");
    QList<JournalRecord> records{init};
    records += reports(pupils, at);
    JournalRecord end;
    end.kind = JournalRecord::Kind::Ended;
    end.at = at + 0.02;
    records.append(end);
    return records;
}

// Berlin (0), Rio de Janeiro (1), Bad Ems (2).
const QList<Pupil> kFirstPupils = {
    {QStringLiteral("PC-01"), QStringLiteral("anna"), 'A', {{0, true}, {1, false}, {1, true}, {2, true}}, 0.75},
    {QStringLiteral("PC-02"), QStringLiteral("ben"), 'B', {{0, false}, {0, true}, {1, true}, {2, false}, {2, true}}, 0.60},
    {QStringLiteral("Browser 10.0.0.5"), QStringLiteral("Şule"), 'C', {{0, true}, {1, true}, {2, false}, {2, true}}, 0.85},
    {QStringLiteral("PC-09"), QStringLiteral("gast"), 'Z', {{0, true}}, 0.5},
};
const QList<Pupil> kSecondPupils = {
    {QStringLiteral("PC-01"), QStringLiteral("anna"), 'D', {{0, true}, {1, true}, {2, true}}, 1.0},
    {QStringLiteral("PC-02"), QStringLiteral("ben"), 'E', {{0, true}, {1, false}, {1, true}, {2, true}}, 0.80},
    {QStringLiteral("Browser 10.0.0.9"), QStringLiteral("sule "), 'F', {{0, true}, {1, true}, {2, false}, {2, true}}, 0.70},
};

const QByteArray kCsv = QByteArray("\xEF\xBB\xBF")
    + QStringLiteral("Schüler;15.03.2023 09:00 Hauptstädte Europas – Gesamtleistung (%);15.03.2023 09:00 Hauptstädte "
                     "Europas – Note;22.03.2023 09:00 Hauptstädte Europas – Gesamtleistung (%);22.03.2023 09:00 "
                     "Hauptstädte Europas – Note;Trend (Prozentpunkte je Übung)\r\n"
                     "PC-01 / anna;75,0;2;100,0;1;25,0\r\n"
                     "PC-02 / ben;60,0;3;80,0;2;20,0\r\n"
                     "Sule;85,0;1;70,0;2;-15,0\r\n"
                     "\r\n"
                     "Aufgabe;15.03.2023 09:00 Hauptstädte Europas – Quote beim ersten Versuch (%);22.03.2023 09:00 "
                     "Hauptstädte Europas – Quote beim ersten Versuch (%)\r\n"
                     "Bad Ems;33,3;66,7\r\n"
                     "Rio de Janeiro;66,7;66,7\r\n")
          .toUtf8();

QStringList tableTexts(const QAbstractItemModel *model)
{
    QStringList rows;
    QStringList header;
    for (int c = 0; c < model->columnCount(); ++c)
        header << model->headerData(c, Qt::Horizontal).toString().replace(QLatin1Char('\n'), QLatin1Char(' '));
    rows << header.join(QLatin1Char('|'));
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

mode_t modeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}

struct Window {
    QTemporaryDir dir;
    WatchingMessages messages;
    FakeClock clock;
    Random random{1};
    std::unique_ptr<SettingsStore> settings;
    RecordingShell shell;
    ScriptedFileDialogs dialogs;
    std::unique_ptr<Services> services;
    std::unique_ptr<TForm1> window;
    QString channel = freeChannel();

    QString program() const { return dir.path() + QStringLiteral("/programm/"); }
    QString protocols() const { return dir.path() + QStringLiteral("/protokolle/"); }
    QString topic() const { return dir.path() + QStringLiteral("/themen/hauptstaedte.tsr"); }

    Window()
    {
        for (const char *sub : {"programm/data", "kom", "protokolle", "themen"})
            QDir(dir.path()).mkpath(QLatin1String(sub));
        writeFile(program() + QStringLiteral("data/kapitolo.png"), pngBytes(patternImage(64, 40)));
        TopicDocument d = sampleLabelDocument();
        for (int i = 0; i < 3; ++i) {
            d.objects[i].Kx = d.objects[i].Sx = 0.2 + 0.3 * i;
            d.objects[i].Ky = d.objects[i].Sy = 0.25 + 0.25 * i;
            d.objects[i].Sline = 0;
        }
        ScriptedMessages m;
        writeDocument(topic(), d, false, m);
        const QString ini = dir.path() + QStringLiteral("/kapitolo.ini");
        writeFile(ini, ("[General]\nOpt-UebNameEingabe=0\nNetzKomOrdner=" + dir.path() + "/kom/\nNetzKomKanal=" + channel
                        + "\nOpt-ProtOrdner=" + protocols() + "\n")
                           .toUtf8());
        settings = std::make_unique<SettingsStore>(ini);
        services = std::make_unique<Services>(Services{messages, clock, random, *settings, shell, dialogs, program()});
        open();
    }

    void open()
    {
        window = std::make_unique<TForm1>(*services, topic());
        window->CreateDialogs();
        window->FormShow();
    }

    // F9 with "Übung starten", then the pupils' reports as the mailslot delivers them.
    void exercise(double at, const QList<Pupil> &pupils)
    {
        clock.setNow(at);
        QTimer::singleShot(0, [] {
            if (auto *dialog = qobject_cast<QuizOptionsDialog *>(QApplication::activeModalWidget()))
                dialog->okBtn()->click();
        });
        window->findMenuAction(QStringLiteral("NetzInit1"))->trigger();
        for (const JournalRecord &r : reports(pupils, at))
            window->network().MasterMailslotNewMessage(r.computer, r.user, r.text);
    }
};

} // namespace

class TestClassHistory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // The rows the control display had and each accepted answer, right or wrong, first try
    // or not; a key that never announced itself has neither.
    void exerciseFromItsJournal()
    {
        const TopicDocument document = sampleLabelDocument();
        const QList<JournalRecord> records = journal(QStringLiteral("7B"), kFirst, kFirstPupils);
        const HistoryExercise e = exerciseFromJournal(records, QStringLiteral("/p/Netzwerk-Uebung-7B-x.journal"), document, 0);
        QCOMPARE(e.journal, QStringLiteral("Netzwerk-Uebung-7B-x.journal"));
        QCOMPARE(e.channel, QStringLiteral("7B"));
        QCOMPARE(e.title, QStringLiteral("Hauptstädte Europas"));
        QCOMPARE(e.topicPath, QStringLiteral("/themen/hauptstaedte.tsr"));
        QCOMPARE(e.started, kFirst);
        QCOMPARE(e.ended, kFirst + 0.02);
        QStringList pupils;
        for (const HistoryPupil &p : e.pupils)
            pupils << QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                          .arg(p.identity, p.name)
                          .arg(p.browser)
                          .arg(p.performance)
                          .arg(p.grade)
                          .arg(p.correct)
                          .arg(p.failed);
        QCOMPARE(pupils, QStringList({"k:pc-01\\anna|PC-01 / anna|0|75|2|3|1", "k:pc-02\\ben|PC-02 / ben|0|60|3|3|2",
                                      "b:sule|Sule|1|85|1|3|1"}));
        QStringList answers;
        for (const HistoryAnswer &a : e.answers)
            answers << QStringLiteral("%1 %2 %3 %4").arg(a.pupil).arg(a.object).arg(QString::fromLatin1(a.correct ? "richtig" : "falsch"),
                                                                                    QString::fromLatin1(a.firstTry ? "erster" : "weiterer"));
        QCOMPARE(answers, QStringList({"k:pc-01\\anna 0 richtig erster", "k:pc-01\\anna 1 falsch erster",
                                       "k:pc-01\\anna 1 richtig weiterer", "k:pc-01\\anna 2 richtig erster",
                                       "k:pc-02\\ben 0 falsch erster", "k:pc-02\\ben 0 richtig weiterer",
                                       "k:pc-02\\ben 1 richtig erster", "k:pc-02\\ben 2 falsch erster",
                                       "k:pc-02\\ben 2 richtig weiterer", "b:sule 0 richtig erster",
                                       "b:sule 1 richtig erster", "b:sule 2 falsch erster", "b:sule 2 richtig weiterer"}));
        QCOMPARE(e.answers.first().item, QStringLiteral("O|Berlin|100,300"));
        QCOMPARE(e.itemTexts.value(QStringLiteral("O|Bad Ems|500,500")), QStringLiteral("Bad Ems"));
    }

    void trendText_data()
    {
        QTest::addColumn<QList<double>>("performances");
        QTest::addColumn<QString>("text");
        QTest::newRow("one exercise") << QList<double>{80} << QString();
        QTest::newRow("up") << QList<double>{60, 80} << QStringLiteral("↑ +20,0");
        QTest::newRow("down") << QList<double>{85, 70} << QStringLiteral("↓ −15,0");
        QTest::newRow("steady") << QList<double>{70, 71, 69, 71} << QStringLiteral("→ +0,1");
        // Only the last five count: the early slump is forgotten.
        QTest::newRow("last five") << QList<double>{10, 20, 80, 80, 80, 80, 80} << QStringLiteral("→ +0,0");
        QTest::newRow("line") << QList<double>{50, 60, 70, 80, 90} << QStringLiteral("↑ +10,0");
    }

    void trendText()
    {
        QFETCH(QList<double>, performances);
        QFETCH(QString, text);
        QCOMPARE(kapitolo::trendText(performanceTrend(performances)), text);
    }

    // Two exercises in klassen.sqlite: the table, the trends, the items the class still
    // gets wrong and the CSV; an exercise added again replaces itself.
    void historyOfTwoExercises()
    {
        QTemporaryDir dir;
        ScriptedMessages messages;
        const TopicDocument document = sampleLabelDocument();
        ClassHistory history(ClassHistory::fileIn(dir.path()), messages);
        QVERIFY(history.add(exerciseFromJournal(journal(QStringLiteral("7B"), kFirst, kFirstPupils),
                                                QStringLiteral("a.journal"), document, 0)));
        QVERIFY(history.add(exerciseFromJournal(journal(QStringLiteral("7B"), kSecond, kSecondPupils),
                                                QStringLiteral("b.journal"), document, 0)));
        QVERIFY(history.add(exerciseFromJournal(journal(QStringLiteral("7B"), kSecond, kSecondPupils),
                                                QStringLiteral("b.journal"), document, 0)));
        QCOMPARE(modeOf(dir.filePath(QStringLiteral("klassen.sqlite"))), mode_t(0600));
        QCOMPARE(history.channels(), QStringList{QStringLiteral("7B")});
        QCOMPARE(history.topics(QStringLiteral("7B")), QStringList{QStringLiteral("Hauptstädte Europas")});

        const HistoryTable table = history.table(QStringLiteral("7B"), QString());
        QCOMPARE(table.exercises.size(), 2);
        QCOMPARE(table.pupils, QStringList({"PC-01 / anna", "PC-02 / ben", "Sule"}));
        QStringList cells;
        for (int r = 0; r < table.pupils.size(); ++r)
            cells << table.cellText(r, 0) + QLatin1Char('|') + table.cellText(r, 1) + QLatin1Char('|')
                    + kapitolo::trendText(table.trends.at(r));
        QCOMPARE(cells, QStringList({"75,0 % (2)|100,0 % (1)|↑ +25,0", "60,0 % (3)|80,0 % (2)|↑ +20,0",
                                     "85,0 % (1)|70,0 % (2)|↓ −15,0"}));

        const WeakItems weak = history.weakItems(QStringLiteral("7B"), QStringLiteral("Hauptstädte Europas"));
        QStringList items;
        for (const WeakItem &item : weak.items)
            items << item.text + QStringLiteral(" %1 %2").arg(item.rates.at(0), 0, 'f', 1).arg(item.rates.at(1), 0, 'f', 1);
        QCOMPARE(items, QStringList({"Bad Ems 33.3 66.7", "Rio de Janeiro 66.7 66.7"})); // Berlin: all right at last
        QCOMPARE(weak.latestRates.value(QStringLiteral("O|Berlin|100,300")), 100.0);
        QCOMPARE(classHistoryCsv(history.table(QStringLiteral("7B"), QStringLiteral("Hauptstädte Europas")), weak), kCsv);
        QVERIFY(messages.shown().isEmpty());
        QVERIFY(!buildClassHistoryReport(QStringLiteral("7B"), QString(), table, weak, QDateTime::currentDateTime()).isEmpty());
    }

    // A history that cannot be read any more says so, once, instead of showing an empty
    // class: here another program has dropped the pupils' table behind the open file.
    void unreadableHistoryIsReported()
    {
        QTemporaryDir dir;
        ScriptedMessages messages;
        const QString path = ClassHistory::fileIn(dir.path());
        ClassHistory history(path, messages);
        QVERIFY(history.add(exerciseFromJournal(journal(QStringLiteral("7B"), kFirst, kFirstPupils),
                                                QStringLiteral("a.journal"), sampleLabelDocument(), 0)));
        QCOMPARE(history.table(QStringLiteral("7B"), QString()).pupils.size(), 3);
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(path);
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec(QStringLiteral("DROP TABLE pupils")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));

        const QString text = QStringLiteral("Der Klassenverlauf \"") + QDir::toNativeSeparators(path)
            + QStringLiteral("\" kann nicht gelesen werden. Die Ergebnistabellen und Journale der Übungen im "
                             "Protokollordner sind davon nicht betroffen.");
        const HistoryTable table = history.table(QStringLiteral("7B"), QString());
        QVERIFY(table.pupils.isEmpty());
        QVERIFY(table.exercises.isEmpty());
        QCOMPARE(messages.texts(), QStringList{text});
        // the same failure again: no second message box
        QVERIFY(history.table(QStringLiteral("7B"), QString()).pupils.isEmpty());
        QCOMPARE(messages.texts().size(), 1);
        // what is still there reads as before
        QCOMPARE(history.channels(), QStringList{QStringLiteral("7B")});
        QCOMPARE(messages.texts().size(), 1);
    }

    // In the teacher's window: the end of an exercise adds it, also when the exercise of a
    // computer that went down is ended by "Nein"; "Klassenverlauf..." shows both.
    void teacherWindow()
    {
        Window f;
        f.exercise(kFirst, kFirstPupils.mid(0, 3));
        f.window->networkQuiz().NetzBeenden1Click();
        const QString file = f.protocols() + QStringLiteral("klassen.sqlite");
        QVERIFY(QFileInfo::exists(file));
        QCOMPARE(modeOf(file), mode_t(0600));

        // The second exercise, and the teacher's computer goes down in the middle of it.
        f.exercise(kSecond, kSecondPupils);
        f.window.reset();
        f.messages.clear();
        f.messages.setNextAnswer(MessageAnswer::No);
        f.open();
        QCOMPARE(f.messages.shown().size(), 1);
        QVERIFY(f.messages.texts().first().startsWith(QStringLiteral("Auf diesem Rechner läuft noch die Netzwerk-Übung")));
        TForm1 &w = *f.window;

        w.findMenuAction(QStringLiteral("Klassenverlauf1"))->trigger();
        TKlassenverlaufForm *dialog = w.networkQuiz().classHistoryForm();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Klassenverlauf"));
        QCOMPARE(dialog->channel(), f.channel);
        QCOMPARE(dialog->topicBox()->currentText(), QStringLiteral("Alle Themen"));
        QCOMPARE(tableTexts(dialog->pupilGrid()->model()),
                 QStringList({"Schüler|15.03.23 09:00 Hauptstädte Europas|22.03.23 09:00 Hauptstädte Europas|Trend",
                              "PC-01 / anna|75,0 % (2)|100,0 % (1)|↑ +25,0", "PC-02 / ben|60,0 % (3)|80,0 % (2)|↑ +20,0",
                              "Sule|85,0 % (1)|70,0 % (2)|↓ −15,0"}));
        QVERIFY(!dialog->showOnCardButton()->isEnabled());
        QCOMPARE(dialog->itemsLabel()->text(), QStringLiteral("Welche Aufgaben die Klasse noch falsch beantwortet, zeigt "
                                                              "der Verlauf eines Themas: Bitte oben ein Thema wählen."));

        dialog->topicBox()->setCurrentIndex(1);
        QCOMPARE(tableTexts(dialog->itemGrid()->model()),
                 QStringList({"Aufgabe|15.03.23 09:00|22.03.23 09:00",
                              "Bad Ems|33,3 %|66,7 %", "Rio de Janeiro|66,7 %|66,7 %"}));

        // CSV: what the table shows, for a spreadsheet.
        f.dialogs.answers << f.dir.path() + QStringLiteral("/verlauf");
        dialog->csvButton()->click();
        QCOMPARE(readFile(f.dir.path() + QStringLiteral("/verlauf.csv")), kCsv);
        QCOMPARE(modeOf(f.dir.path() + QStringLiteral("/verlauf.csv")), mode_t(0600));

        // "Auf der Karte zeigen": each place framed in its last rate's colour.
        QVERIFY(dialog->showOnCardButton()->isEnabled());
        dialog->showOnCardButton()->click();
        QCOMPARE(w.document().fileName, f.topic());
        const QImage seen = w.cardImage()->grab().toImage();
        const double rates[] = {100.0, 200.0 / 3, 200.0 / 3};
        for (int i = 0; i < 3; ++i) {
            const QRect frame = itemMarkFrame(w.document().objects.at(i), w.cardBitmaps().layout.hitBox(i), [&w](double x, double y) {
                return QPointF(w.renderer().fractionToControl(x, y));
            });
            QVERIFY2(seen.rect().contains(frame), qPrintable(w.document().objects.at(i).Cap));
            QCOMPARE(QColor(seen.pixel(frame.left() + 1, frame.center().y())), itemRateColour(rates[i]));
        }

        // Printed without a printer: a PDF for the teacher's eyes.
        f.dialogs.answers << f.dir.path() + QStringLiteral("/verlauf");
        dialog->printButton()->click();
        const QString pdf = f.dir.path() + QStringLiteral("/verlauf.pdf");
        QVERIFY2(QFileInfo::exists(pdf), "no report written (a printer installed here?)");
        QCOMPARE(modeOf(pdf), mode_t(0600));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        const QString words = QString::fromUtf8(text.readAllStandardOutput());
        for (const char *expected : {"Klassenverlauf", "Thema: Hauptstädte Europas", "PC-02 / ben", "Sule", "85,0 % (1)",
                                     "Aufgaben, die die Klasse noch falsch beantwortet", "Bad Ems", "33,3 %", "Seite 1 von 1"})
            QVERIFY2(words.contains(QString::fromUtf8(expected)), expected);
        QCOMPARE(f.messages.shown().size(), 1);

        // The control display has the same command.
        w.findMenuAction(QStringLiteral("Kontrollanzeige1"))->trigger();
        dialog->close();
        w.controlDisplay()->historyButton()->click();
        QVERIFY(dialog->isVisible());
    }
};

QTEST_MAIN(TestClassHistory)
#include "tst_class_history.moc"
