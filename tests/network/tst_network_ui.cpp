// The teacher's windows: F9 through the real options dialog, the control display that
// follows the reports, its commands, the communication settings and the exit.

#include "app/main_window.h"
#include "document/document_file.h"
#include "network/communication_dialog.h"
#include "network/control_display.h"
#include "network/exchange_files.h"
#include "network/network_reports.h"
#include "network/item_table.h"
#include "network/network_test_support.h"
#include "web/beamer_view.h"
#include "web/web_access_panel.h"
#include "web/web_participation.h"
#include "web/web_test_support.h"
#include "view/card_image_widget.h"
#include "view/card_renderer.h"
#include "view/item_marks.h"
#include "platform/settings_store.h"
#include "quiz/quiz_option_forms.h"
#include "support/fake_services.h"
#include "support/test_files.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

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
    QString channel = freeChannel();

    QString program() const { return dir.path() + QStringLiteral("/programm/"); }
    QString kom() const { return dir.path() + QStringLiteral("/kom/"); }
    QString protocols() const { return dir.path() + QStringLiteral("/protokolle/"); }
    QString topic() const { return dir.path() + QStringLiteral("/themen/hauptstaedte.tsr"); }
    QString ini() const { return dir.path() + QStringLiteral("/kapitolo.ini"); }
    QString exchange(const char *name) const { return exchangeFilePath(kom(), channel, name); }

    explicit Fixture(const std::function<void(TopicDocument &)> &adjust = {}, const QByteArray &moreSettings = {})
    {
        for (const char *sub : {"programm/data", "kom", "protokolle", "themen"})
            QDir(dir.path()).mkpath(QLatin1String(sub));
        writeFile(program() + QStringLiteral("data/kapitolo.png"), pngBytes(patternImage(64, 40)));
        TopicDocument d = sampleLabelDocument();
        if (adjust)
            adjust(d);
        ScriptedMessages m;
        writeDocument(topic(), d, false, m);
        writeFile(ini(), ("[General]\nOpt-UebNameEingabe=0\nNetzKomOrdner=" + kom() + "\nNetzKomKanal=" + channel
                          + "\nOpt-ProtOrdner=" + protocols() + "\n")
                             .toUtf8()
                         + moreSettings);
        settings = std::make_unique<SettingsStore>(ini());
        services = std::make_unique<Services>(Services{messages, clock, random, *settings, shell, dialogs, program()});
        window = std::make_unique<TForm1>(*services, topic());
        window->CreateDialogs();
        window->FormShow();
    }

    // F9, answered with "Übung starten" in the network form of the options dialog.
    QString initiate()
    {
        QString caption;
        QTimer::singleShot(0, [&caption] {
            auto *dialog = qobject_cast<QuizOptionsDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            caption = dialog->windowTitle() + QLatin1Char('|')
                + (dialog->netzUebInitPan()->isVisible() ? QStringLiteral("Hinweis") : QString());
            dialog->okBtn()->click();
        });
        window->findMenuAction(QStringLiteral("NetzInit1"))->trigger();
        return caption;
    }
};

void send(TALMailSlot2 &pupil, const QStringList &lines)
{
    QVERIFY(pupil.SendLines(QStringLiteral("127.0.0.1"), lines));
}

} // namespace

class TestNetworkUi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void teacherWatchesTheClass()
    {
        Fixture f;
        TForm1 &w = *f.window;
        QCOMPARE(w.findMenuAction(QStringLiteral("NetzInit1"))->shortcut(), QKeySequence(Qt::Key_F9));
        QCOMPARE(w.findMenuAction(QStringLiteral("NetzTeilnehmen1"))->shortcut(), QKeySequence(Qt::Key_F8));
        QCOMPARE(w.findMenuAction(QStringLiteral("Kontrollanzeige1"))->shortcut(), QKeySequence(Qt::ALT | Qt::Key_F9));
        QCOMPARE(f.initiate(), QStringLiteral("Netzwerk-Übungsoptionen für Bildbeschriftung und Lückentext|Hinweis"));
        // Closing the dialog restored its own caption.
        QCOMPARE(w.uebOptForm()->windowTitle(), QStringLiteral("Übungsoptionen für Bildbeschriftung und Lückentext"));
        QVERIFY(f.messages.shown().isEmpty());
        TKontrollanzeigeForm *display = w.controlDisplay();
        QVERIFY(display->isVisible());
        QCOMPARE(display->windowTitle(), QStringLiteral("Kontrollanzeige"));
        QVERIFY(display->endButton()->isEnabled());
        QVERIFY(!display->saveButton()->isEnabled());
        for (const char *name : {kExchangeDocument, kExchangeOptions, kExchangeMarker})
            QVERIFY(QFileInfo::exists(f.exchange(name)));

        w.findMenuAction(QStringLiteral("NetzTeilnehmen1"))->trigger();
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("Die Netzwerk-Übung wurde auf diesem Rechner initiiert. "
                                                                "Die Teilnahme an der Netzwerk-Übung muss an einem "
                                                                "anderen Rechner erfolgen.")});

        // A pupil's computer reports; the row appears and follows.
        ScriptedMessages quiet;
        MailslotHost host = testHost(QStringLiteral("PC-07"), QStringLiteral("anna"), QStringLiteral("127.0.0.3"));
        host.resolve = resolveComputer; // the teacher's window listens on every address of this computer
        TALMailSlot2 pupil(quiet, host);
        pupil.setMailBox(f.channel);
        const QString key(30, QLatin1Char('K'));
        send(pupil, initReportLines(key, QString(), 46000.25));
        QTableView *grid = display->grid();
        QTRY_COMPARE(grid->model()->rowCount(), 1);
        auto cell = [&](int column) { return grid->model()->index(0, column).data().toString(); };
        QCOMPARE(cell(ControlBoard::ColComputer), QStringLiteral("PC-07"));
        QCOMPARE(cell(ControlBoard::ColUser), QStringLiteral("anna"));
        QCOMPARE(cell(ControlBoard::ColStart), QStringLiteral("06:00:00"));
        QCOMPARE(cell(ControlBoard::ColState), QStringLiteral("läuft"));
        QCOMPARE(display->countsLabel()->text(),
                 QStringLiteral("Teilnehmer: 1    laufend: 1    beendet: 0    verworfene Meldungen: 0"));
        send(pupil, {QStringLiteral("TN-AKTION"), key, "0", "0", "0", "0", "06:00:00", "3", "2", "1", "1", "01:05",
                     "66.7", "50.0", "4"});
        send(pupil, finishReportLines(key, esFinished, QStringLiteral("01:07")));
        send(pupil, {QStringLiteral("TN-HALLO")});
        QTRY_COMPARE(display->countsLabel()->text(),
                     QStringLiteral("Teilnehmer: 1    laufend: 0    beendet: 1    verworfene Meldungen: 1"));
        QCOMPARE(cell(ControlBoard::ColState), QStringLiteral("beendet"));
        QCOMPARE(cell(ControlBoard::ColCorrect), QStringLiteral("2"));
        QCOMPARE(cell(ControlBoard::ColSuccessRate), QStringLiteral("66.7 %"));
        QCOMPARE(cell(ControlBoard::ColClock), QStringLiteral("01:07"));
        QVERIFY(display->saveButton()->isEnabled());

        // "Ergebnisse speichern..." writes the table where the teacher says.
        f.dialogs.answers << f.dir.path() + QStringLiteral("/klasse6b");
        display->saveButton()->click();
        const QByteArray csv = readFile(f.dir.path() + QStringLiteral("/klasse6b.csv"));
        QVERIFY(csv.startsWith("\xEF\xBB\xBFRechner;Benutzer;"));
        QVERIFY(csv.contains("PC-07;anna;06:00:00;beendet;3;2;1;1;66,7;50,0;4;0:01:07;"));

        // "Netzwerk-Übung beenden": the exercise closes, its results stay in the protocol folder.
        display->endButton()->click();
        QCOMPARE(f.messages.shown().last().buttons, MessageButtons::YesNo);
        QCOMPARE(w.engine().run().networkRole, int(nrOwnQuiz));
        QVERIFY(!display->endButton()->isEnabled());
        QVERIFY(!QFileInfo::exists(f.exchange(kExchangeMarker)));
        // The results and, beside them, the item figures.
        QCOMPARE(QDir(f.protocols()).entryList({QStringLiteral("Netzwerk-Uebung-*.csv")}).size(), 2);

        // The teacher's exit closes the exercise for the class.
        f.initiate();
        QVERIFY(QFileInfo::exists(f.exchange(kExchangeMarker)));
        QVERIFY(w.close());
        QStringList left = QDir(f.kom()).entryList(QDir::Files);
        QCOMPARE(left, QStringList());
    }

    // What the class got wrong: the tab, hardest first; the marks on the teacher's card in
    // the colours of their rates; the printed report; and the card of a document that has
    // changed since is refused.
    void classResultsOnTheCardAndInTheReport()
    {
        Fixture f([](TopicDocument &d) {
            d.baseImage = patternImage(400, 300);
            d.RandErw = RectD{0, 0, 0, 0};
            for (int i = 0; i < 3; ++i) {
                d.objects[i].Kx = d.objects[i].Sx = 0.2 + 0.3 * i;
                d.objects[i].Ky = d.objects[i].Sy = 0.25 + 0.25 * i;
                d.objects[i].Sline = 0;
            }
        });
        TForm1 &w = *f.window;
        f.initiate();
        TKontrollanzeigeForm *display = w.controlDisplay();
        QVERIFY(!display->showOnCardButton()->isEnabled());
        ScriptedMessages quiet;
        // Berlin right by all three; Rio wrong at B's first try; Bad Ems wrong by A.
        const struct {
            const char *computer;
            char key;
            QList<std::array<int, 3>> answers; // object, correct count, failed count
        } pupils[] = {{"PC-01", 'A', {{0, 1, 0}, {1, 2, 0}, {2, 2, 1}}},
                      {"PC-02", 'B', {{0, 1, 0}, {1, 1, 1}, {1, 2, 1}}},
                      {"PC-03", 'C', {{0, 1, 0}}}};
        int address = 3;
        for (const auto &p : pupils) {
            MailslotHost host = testHost(QLatin1String(p.computer), QStringLiteral("kind"),
                                         QStringLiteral("127.0.0.%1").arg(address++));
            host.resolve = resolveComputer;
            TALMailSlot2 slot(quiet, host);
            slot.setMailBox(f.channel);
            const QString key(30, QLatin1Char(p.key));
            send(slot, initReportLines(key, QString(), 46000.25));
            for (const auto &[object, correct, failed] : p.answers)
                send(slot, {QStringLiteral("TN-AKTION"), key, QString::number(object), "0", "0", "0", "06:00:00", "3",
                            QString::number(correct), QString::number(failed), "1", "00:20", "50.0", "40.0", "4"});
        }
        QTableView *items = display->itemGrid();
        QTRY_COMPARE(w.network().board().acceptedCount(), 10);
        QCOMPARE(items->model()->rowCount(), 3);
        QStringList shown;
        for (int r = 0; r < 3; ++r)
            shown << items->model()->index(r, 0).data().toString() + QLatin1Char('|')
                    + items->model()->index(r, ItemTableModel::ColRate).data().toString();
        QCOMPARE(shown, (QStringList{"Bad Ems|0,0", "Rio de Janeiro|50,0", "Berlin|100,0"}));

        // "Auf der Karte zeigen": the learning card, each place framed in its rate's colour.
        QVERIFY(display->showOnCardButton()->isEnabled());
        display->showOnCardButton()->click();
        QVERIFY(w.findMenuAction(QStringLiteral("LernansichtAnzeigen1"))->isChecked());
        const QImage seen = w.cardImage()->grab().toImage();
        const TopicDocument &doc = w.document();
        const double rates[] = {100.0, 50.0, 0.0};
        for (int i = 0; i < 3; ++i) {
            const QRect frame = itemMarkFrame(doc.objects.at(i), [&w](double x, double y) {
                return QPointF(w.renderer().fractionToControl(x, y));
            });
            QVERIFY2(seen.rect().contains(frame), qPrintable(doc.objects.at(i).Cap));
            for (const QPoint &edge : {QPoint(frame.left() + 1, frame.center().y()),
                                       QPoint(frame.right() - 1, frame.center().y()),
                                       QPoint(frame.center().x(), frame.bottom() - 1)})
                QCOMPARE(QColor(seen.pixel(edge)), itemRateColour(rates[i]));
        }
        QCOMPARE(itemRateColour(0), QColor(215, 25, 28));
        QCOMPARE(itemRateColour(50), QColor(245, 200, 0));
        QCOMPARE(itemRateColour(100), QColor(26, 150, 65));
        QVERIFY(f.messages.shown().isEmpty());

        // "Bericht drucken...": without a printer, a PDF for the teacher's eyes only.
        const QString pdf = f.dir.path() + QStringLiteral("/bericht.pdf");
        f.dialogs.answers << f.dir.path() + QStringLiteral("/bericht");
        display->reportButton()->click();
        QVERIFY2(QFileInfo::exists(pdf), "no report written (a printer installed here?)");
        QCOMPARE(QFile(pdf).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        const QString words = QString::fromUtf8(text.readAllStandardOutput());
        for (const char *expected : {"Klassenbericht der Netzwerk-Übung", "Übung: Hauptstädte Europas", "PC-01",
                                     "PC-03", "Bad Ems", "Rio de Janeiro", "50,0", "Seite 1 von 1"})
            QVERIFY2(words.contains(QString::fromUtf8(expected)), expected);
        QVERIFY(words.indexOf(QStringLiteral("Bad Ems")) < words.indexOf(QStringLiteral("Berlin")));

        // The topic file changed after the exercise: its places are not the class's.
        TopicDocument other = sampleLabelDocument();
        other.objects.removeLast();
        const QString otherPath = f.dir.path() + QStringLiteral("/themen/andere.tsr");
        writeDocument(otherPath, other, false, quiet);
        QVERIFY(w.ReadDocumentAsTopic(otherPath));
        QFile::remove(f.topic());
        display->showOnCardButton()->click();
        QCOMPARE(f.messages.texts().last(),
                 QStringLiteral("Die Karte der Übung kann nicht gezeigt werden: Das Themendokument \"%1\" wurde "
                                "inzwischen geändert oder ist nicht mehr vorhanden.")
                     .arg(QDir::toNativeSeparators(f.topic())));
    }

    void communicationSettings_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QString>("message");
        QTest::newRow("fine") << "themen" << "Raum-3" << QString();
        QTest::newRow("no folder") << "" << "Raum-3" << "Bitte geben Sie den Kommunikationsordner an.";
        QTest::newRow("missing folder") << "fehlt" << "Raum-3" << "Der Ordner \"%1/fehlt\" existiert nicht.";
        QTest::newRow("no channel") << "kom" << "" << "Bitte geben Sie einen Kommunikationskanal an (1 bis 8 Zeichen).";
        const QString characters = QStringLiteral(
            "Der Kommunikationskanal wird Teil von Dateinamen und darf daher keines der Zeichen \\ / : * ? \" < > | "
            "enthalten, nicht mit einem Leerzeichen beginnen oder enden und nicht mit einem Punkt enden.");
        QTest::newRow("slash") << "kom" << "6a/6b" << characters;
        QTest::newRow("leading blank") << "kom" << " 6a" << characters;
        QTest::newRow("trailing dot") << "kom" << "6a." << characters;
        QTest::newRow("not in the code page") << "kom" << "Raum\u263A" << characters;
    }
    void communicationSettings()
    {
        QFETCH(QString, folder);
        QFETCH(QString, channel);
        QFETCH(QString, message);
        Fixture f;
        TForm1 &w = *f.window;
        QAction *item = w.findMenuAction(QStringLiteral("NetzKom1"));
        QCOMPARE(item->text(), QStringLiteral("Netzwerk-&Kommunikation..."));
        QVERIFY(w.menuBar()->findChild<QMenu *>(QStringLiteral("Optionen1"))->actions().contains(item));
        const QString typed = folder.isEmpty() ? QString() : f.dir.path() + QLatin1Char('/') + folder;
        bool stillOpen = false;
        QTimer::singleShot(0, [&] {
            auto *form = qobject_cast<TNetzKomForm *>(QApplication::activeModalWidget());
            QVERIFY(form);
            QCOMPARE(form->OrdnerEdit->text(), f.kom());
            QCOMPARE(form->KanalEdit->text(), f.channel);
            QCOMPARE(form->KanalEdit->maxLength(), 8);
            form->OrdnerEdit->setText(typed);
            form->KanalEdit->setText(channel);
            form->OKBtn->click();
            stillOpen = form->isVisible();
            if (stillOpen)
                form->reject();
        });
        item->trigger();
        QCOMPARE(stillOpen, !message.isEmpty());
        QCOMPARE(f.messages.texts(), message.isEmpty() ? QStringList() : QStringList{QString(message).replace(QStringLiteral("%1"), f.dir.path())});
        QVERIFY(w.close());
        QSettings written(f.ini(), QSettings::IniFormat);
        QCOMPARE(written.value(QStringLiteral("NetzKomKanal")).toString(), message.isEmpty() ? channel : f.channel);
        QCOMPARE(written.value(QStringLiteral("NetzKomOrdner")).toString(),
                 message.isEmpty() ? f.dir.path() + QStringLiteral("/themen/") : f.kom());
    }

    void browserParticipationSettings_data()
    {
        QTest::addColumn<bool>("allow");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("perDevice");
        QTest::addColumn<QString>("message");
        QTest::newRow("allowed, random code") << true << "8081" << "" << 1 << QString();
        QTest::newRow("fixed code, shared computers") << true << "8080" << "20250" << 0 << QString();
        QTest::newRow("port too high") << true << "70000" << "" << 2 << "Der Port muss eine Zahl von 1 bis 65535 sein.";
        QTest::newRow("code too short") << false << "8080" << "12" << 1
                                        << "Der feste Code muss aus 4 bis 8 Ziffern bestehen oder leer bleiben (dann gilt "
                                           "für jede Übung ein neuer Code).";
    }
    void browserParticipationSettings()
    {
        QFETCH(bool, allow);
        QFETCH(QString, port);
        QFETCH(QString, code);
        QFETCH(int, perDevice);
        QFETCH(QString, message);
        Fixture f;
        TForm1 &w = *f.window;
        bool stillOpen = false;
        QTimer::singleShot(0, [&] {
            auto *form = qobject_cast<TNetzKomForm *>(QApplication::activeModalWidget());
            QVERIFY(form);
            QVERIFY(!form->WebCheck->isChecked()); // off unless the teacher allows it
            QCOMPARE(form->WebPortEdit->text(), QStringLiteral("8080"));
            QCOMPARE(form->WebCodeEdit->text(), QString());
            QCOMPARE(form->WebJeGeraetSpin->value(), 1); // one running quiz per device
            form->WebCheck->setChecked(allow);
            form->WebPortEdit->setText(port);
            form->WebCodeEdit->setText(code);
            form->WebJeGeraetSpin->setValue(perDevice);
            if (perDevice == 0)
                QCOMPARE(form->WebJeGeraetSpin->text(), QStringLiteral("beliebig"));
            form->OKBtn->click();
            stillOpen = form->isVisible();
            if (stillOpen)
                form->reject();
        });
        w.findMenuAction(QStringLiteral("NetzKom1"))->trigger();
        QCOMPARE(stillOpen, !message.isEmpty());
        QCOMPARE(f.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QVERIFY(w.close());
        QSettings written(f.ini(), QSettings::IniFormat);
        QCOMPARE(written.value(QStringLiteral("NetzWebTeilnahme")).toBool(), message.isEmpty() && allow);
        QCOMPARE(written.value(QStringLiteral("NetzWebPort")).toInt(), message.isEmpty() ? port.toInt() : 8080);
        QCOMPARE(written.value(QStringLiteral("NetzWebCode")).toString(), message.isEmpty() ? code : QString());
        QCOMPARE(written.value(QStringLiteral("NetzWebJeGeraet")).toInt(), message.isEmpty() ? perDevice : 1);
    }

    // The teacher projects the way in, closes the joining once the class is in, and takes
    // a pupil out: the projector shows no name, the removed pupil's page is told.
    void teacherProjectsClosesAndRemoves()
    {
        Fixture f({}, "NetzWebTeilnahme=1\nNetzWebPort=0\n");
        TForm1 &w = *f.window;
        f.initiate();
        TKontrollanzeigeForm *display = w.controlDisplay();
        auto *panel = display->findChild<WebAccessPanel *>();
        QVERIFY(panel && panel->isVisible());
        const QString code = panel->codeLabel()->text();
        QVERIFY(WebClassroom::isValidCode(code));
        const quint16 port = quint16(panel->addressLabel()->text().section(QLatin1Char(':'), 2, 2).section(QLatin1Char('/'), 0, 0).toInt());
        QVERIFY(port > 0);

        ScriptedMessages quiet;
        MailslotHost host = testHost(QStringLiteral("PC-07"), QStringLiteral("anna"), QStringLiteral("127.0.0.3"));
        host.resolve = resolveComputer;
        TALMailSlot2 pupil(quiet, host);
        pupil.setMailBox(f.channel);
        send(pupil, initReportLines(QString(30, QLatin1Char('K')), QString(), 46000.25));
        Browser lea(port);
        QVERIFY(lea.waitConnected());
        QVERIFY(!lea.join(code, QStringLiteral("Lea")).isEmpty());
        QTRY_COMPARE(display->grid()->model()->rowCount(), 2);

        panel->beamerButton()->click();
        TBeamerAnsichtForm *beamer = panel->beamerView();
        QVERIFY(beamer && beamer->isVisible());
        QCOMPARE(beamer->codeLabel()->text(), code);
        QVERIFY(beamer->addressLabel()->text().contains(QStringLiteral(":%1/").arg(port)));
        QVERIFY(!beamer->qrLabel()->pixmap().isNull());
        QTRY_COMPARE(beamer->joinedLabel()->text(), QStringLiteral("2 Schülerinnen und Schüler angemeldet"));
        for (const QLabel *label : beamer->findChildren<QLabel *>())
            for (const QString &name : {QStringLiteral("Lea"), QStringLiteral("anna"), QStringLiteral("PC-07")})
                QVERIFY2(!label->text().contains(name), qPrintable(label->text()));

        QCOMPARE(panel->joiningButton()->text(), QStringLiteral("An&meldung schließen"));
        panel->joiningButton()->click();
        QCOMPARE(panel->joiningButton()->text(), QStringLiteral("An&meldung öffnen"));
        QVERIFY(panel->sessionsLabel()->text().endsWith(QStringLiteral("die Anmeldung ist geschlossen")));
        QVERIFY(beamer->findChild<QLabel *>(QStringLiteral("BeamerGeschlossenLab"))->isVisible());
        Browser late(port);
        QVERIFY(late.waitConnected());
        late.send({{"art", "anmelden"}, {"code", code}, {"name", "Tom"}, {"breite", 800}, {"hoehe", 600}});
        QCOMPARE(late.next("fehler").value("text").toString(), QStringLiteral("Die Anmeldung ist geschlossen."));

        QVERIFY(!display->removeButton()->isEnabled()); // nothing chosen yet
        display->grid()->selectRow(1);
        QVERIFY(display->removeButton()->isEnabled());
        f.messages.setNextAnswer(MessageAnswer::Yes);
        display->removeButton()->click();
        QCOMPARE(f.messages.texts().last(),
                 QStringLiteral("Teilnehmer \"Lea (Browser 127.0.0.1)\" aus der Übung entfernen?\r\nDie Zeile "
                                "verschwindet aus der Kontrollanzeige, der Ergebnistabelle, den Aufgaben und der "
                                "Netzwerk-Bestenliste. Wer im Browser spielt, sieht sofort, dass er entfernt wurde."));
        QCOMPARE(display->grid()->model()->rowCount(), 1);
        QCOMPARE(display->grid()->model()->index(0, ControlBoard::ColUser).data().toString(), QStringLiteral("anna"));
        QCOMPARE(lea.next("entfernt").value("text").toString(),
                 QStringLiteral("Die Lehrkraft hat dich aus dieser Übung entfernt."));
        QTRY_COMPARE(beamer->joinedLabel()->text(), QStringLiteral("1 Schülerin oder Schüler angemeldet"));
        // "Nein" keeps the row.
        display->grid()->selectRow(0);
        f.messages.setNextAnswer(MessageAnswer::No);
        display->removeButton()->click();
        QCOMPARE(display->grid()->model()->rowCount(), 1);
        QVERIFY(w.close());
    }

    void settingsStayDuringAnExercise()
    {
        Fixture f;
        f.initiate();
        QTimer::singleShot(0, [&] {
            TNetzKomForm *form = f.window->netzKomForm();
            QVERIFY(form && form->isVisible());
            QVERIFY(form->KanalEdit->isReadOnly());
            QVERIFY(!form->DurchsuchenBtn->isEnabled());
            QVERIFY(form->GesperrtLab->isVisible());
            form->KanalEdit->setText(QStringLiteral("anders"));
            form->OKBtn->click();
        });
        f.window->controlDisplay()->communicationButton()->click();
        QCOMPARE(f.window->networkQuiz().channel(), f.channel);
        QVERIFY(f.messages.shown().isEmpty());
    }
};

QTEST_MAIN(TestNetworkUi)
#include "tst_network_ui.moc"
