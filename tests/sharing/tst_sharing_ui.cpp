#include "sheet_test_support.h"

#include "app/main_window.h"
#include "controls/hover_panel.h"
#include "document/document_file.h"
#include "platform/mail_client.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "quiz/radio_group.h"
#include "sharing/mail_form.h"
#include "sharing/sheet_print_dialog.h"
#include "sharing/worksheet_form.h"
#include "support/fake_services.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

template <typename T>
T *child(QWidget &parent, const char *name)
{
    T *found = parent.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("child %s missing", name);
    return found;
}

// Records the message instead of starting a mail program.
class RecordingMailClient : public MailClient
{
public:
    bool available() override { return true; }
    int sendMail(const QString &subject, const QString &, const QStringList &attachments) override
    {
        sent << subject + QLatin1Char('|') + attachments.join(QLatin1Char('|'));
        return 0;
    }
    QStringList sent;
};

// Clicks the button of whatever modal dialog shows up next.
void clickInNextDialog(const char *button)
{
    QTimer::singleShot(0, [button] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        if (auto *b = dialog->findChild<QPushButton *>(QLatin1String(button)))
            b->click();
    });
}

} // namespace

class TestSharingUi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void controlsAndDefaults();
    void rebuildTriggers();
    void previewLayoutAndScrolling();
    void saveAndCopy();
    void printDialogCoupling();
    void printToPdfWithoutPrinter();
    void mailForm();
    void mainWindowRoutes();
};

void TestSharingUi::controlsAndDefaults()
{
    ScriptedMessages messages;
    TArbeitsblattForm form(messages);
    QCOMPARE(form.windowTitle(), QStringLiteral("Arbeitsblatt"));
    auto *mode = child<RadioGroup>(form, "ModeRadio");
    QCOMPARE(mode->title(), QStringLiteral(" Was soll erstellt werden "));
    QCOMPARE(mode->itemCaptions(), QStringList({" Arbeitsblatt ", " Lösungsblatt (komplett) ",
                                                " Lösungsblatt (Auflegefolie) "}));
    QCOMPARE(mode->itemIndex(), 0);
    QCOMPARE(child<QCheckBox>(form, "TitelCheck")->text(), QStringLiteral("Titel des Dokuments verwenden"));
    QCOMPARE(child<QPlainTextEdit>(form, "AufgMemo")->toPlainText(), QStringLiteral("Aufgabe: Fülle die freien Felder aus!"));
    for (const char *box : {"ABNameBox", "ABKlasseBox", "ABDatumBox", "TextvorgabeCheck", "TitelCheck"})
        QVERIFY2(child<QCheckBox>(form, box)->isChecked(), box);
    QCOMPARE(child<QSpinBox>(form, "AbFrageEdit")->value(), 1);
    QCOMPARE(child<QSpinBox>(form, "AbFrageEdit")->maximum(), 99999);
    QStringList captions;
    for (const QPushButton *b : form.findChildren<QPushButton *>())
        if (b->window() == &form)
            captions << b->text();
    for (const char *caption : {"Drucken...", "Speichern...", "In Zwischenablage kopieren", "Schließen",
                                "Vorschau aktualisieren"})
        QVERIFY2(captions.contains(QString::fromUtf8(caption)), caption);
    QVERIFY(child<QPushButton>(form, "SchliessenBtn")->isDefault());

    // Opening: the document's title, the start question only for single questions,
    // the sheet built, "Schließen" focused.
    const TopicDocument questions = questionDocument(3);
    form.showFor(questions);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(child<QLineEdit>(form, "TitelEdit")->text(), QStringLiteral("Allgemeinwissen"));
    QVERIFY(child<QWidget>(form, "Typ2Pan")->isVisible());
    QCOMPARE(form.buildCount(), 1);
    QVERIFY(!form.sheet().items.isEmpty());
    QCOMPARE(QApplication::focusWidget(), child<QPushButton>(form, "SchliessenBtn"));
    child<QPushButton>(form, "SchliessenBtn")->click();
    QVERIFY(form.sheet().items.isEmpty()); // the sheet lives while the window is open

    // Without "Titel des Dokuments verwenden" an edited title stays.
    child<QCheckBox>(form, "TitelCheck")->setChecked(false);
    child<QLineEdit>(form, "TitelEdit")->setText(QStringLiteral("Eigener Titel"));
    const TopicDocument cloze = clozeDocument();
    form.showFor(cloze);
    QCOMPARE(child<QLineEdit>(form, "TitelEdit")->text(), QStringLiteral("Eigener Titel"));
    QVERIFY(!child<QWidget>(form, "Typ2Pan")->isVisible());
    QTest::mouseClick(child<QCheckBox>(form, "TitelCheck"), Qt::LeftButton);
    QCOMPARE(child<QLineEdit>(form, "TitelEdit")->text(), QStringLiteral("Der Wasserkreislauf"));
    form.reject();
}

// The kind, the header boxes, the answer list and the refresh button rebuild at once;
// texts and the start question wait for the next rebuild.
void TestSharingUi::rebuildTriggers()
{
    ScriptedMessages messages;
    TArbeitsblattForm form(messages);
    const TopicDocument d = questionDocument(8);
    form.showFor(d);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    int builds = form.buildCount();
    auto rebuiltBy = [&](QAbstractButton *button) {
        QTest::mouseClick(button, Qt::LeftButton);
        return form.buildCount() == ++builds;
    };
    auto *mode = child<RadioGroup>(form, "ModeRadio");
    QVERIFY(rebuiltBy(mode->button(2)));
    QCOMPARE(form.options().kind, int(skOverlay));
    for (const char *box : {"ABNameBox", "ABKlasseBox", "ABDatumBox", "TextvorgabeCheck"})
        QVERIFY2(rebuiltBy(child<QCheckBox>(form, box)), box);
    QVERIFY(!form.options().nameField && !form.options().classField && !form.options().dateField);
    QVERIFY(!form.options().answerTexts);

    QTest::keyClicks(child<QLineEdit>(form, "TitelEdit"), QStringLiteral(" neu"));
    child<QSpinBox>(form, "AbFrageEdit")->setValue(4);
    child<QPlainTextEdit>(form, "AufgMemo")->setPlainText(QStringLiteral("Beantworte!"));
    QCOMPARE(form.buildCount(), builds);
    QVERIFY(rebuiltBy(child<QPushButton>(form, "VorschauBtn")));
    const SheetOptions o = form.options();
    QCOMPARE(o.title, QStringLiteral("Allgemeinwissen neu"));
    QCOMPARE(o.fromQuestion, 4);
    QVERIFY(BuildSheet(d, o).items == form.sheet().items);
    form.reject();
}

// The white panel 40 pixels narrower than the area, 8 below its top, its height after
// the sheet's proportions; wheel and drag scroll; a resize goes back to the top.
void TestSharingUi::previewLayoutAndScrolling()
{
    ScriptedMessages messages;
    TArbeitsblattForm form(messages);
    const TopicDocument d = clozeDocument();
    form.showFor(d);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    SheetPreview *preview = form.preview();
    QWidget *panel = preview->sheetPanel();
    const int width = preview->width();
    QCOMPARE(panel->width(), width - 40);
    QCOMPARE(panel->y(), 8);
    QCOMPARE(panel->height(), qRound((panel->width() - 40) * 1.625 + 40));
    QCOMPARE(preview->widget()->height(), panel->height() + 16);
    QCOMPARE(preview->sheetImage()->geometry(), QRect(20, 20, panel->width() - 40, panel->height() - 40));
    QCOMPARE(preview->sheetImage()->image().size(), QSize(1001, 1625));
    QScrollBar *bar = preview->verticalScrollBar();
    QCOMPARE(bar->maximum(), panel->height() + 16 - preview->viewport()->height());

    // Dragging up by 100 pixels scrolls down by 100; past the end the range stops it.
    SheetImage *image = preview->sheetImage();
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(50, 300));
    QCOMPARE(image->cursor().shape(), Qt::ClosedHandCursor);
    QTest::mouseMove(image, image->mapFromGlobal(image->mapToGlobal(QPoint(50, 300)) - QPoint(0, 100)));
    QCOMPARE(bar->value(), 100);
    QTest::mouseMove(image, image->mapFromGlobal(QCursor::pos()) - QPoint(0, 5000));
    QCOMPARE(bar->value(), bar->maximum());
    QTest::mouseRelease(image, Qt::LeftButton, {}, image->mapFromGlobal(QCursor::pos()));
    QVERIFY(image->cursor().shape() != Qt::ClosedHandCursor);

    // One notch of the wheel over the sheet: the system's line count.
    bar->setValue(0);
    // The sheet leaves the wheel to the scroll area (the window system hands an event
    // nobody accepted on to the parents), which scrolls by the system's line count.
    QWheelEvent overSheet(QPointF(50, 50), image->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(image, &overSheet);
    QVERIFY(!overSheet.isAccepted());
    QWheelEvent overArea(QPointF(60, 60), preview->viewport()->mapToGlobal(QPointF(60, 60)), QPoint(),
                         QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(preview->viewport(), &overArea);
    QCOMPARE(bar->value(), QApplication::wheelScrollLines() * bar->singleStep());

    form.resize(form.width() + 60, form.height());
    QApplication::processEvents();
    QCOMPARE(bar->value(), 0);
    QCOMPARE(panel->width(), preview->width() - 40);

    // A rebuild goes back to the top as well.
    bar->setValue(200);
    child<QPushButton>(form, "VorschauBtn")->click();
    QCOMPARE(bar->value(), 0);
    form.reject();
}

void TestSharingUi::saveAndCopy()
{
    QTemporaryDir dir;
    ScriptedMessages messages;
    ScriptedSaveDialog dialog;
    TArbeitsblattForm form(messages);
    form.setSaveDialog(&dialog);
    const TopicDocument d = labelDocument();
    form.showFor(d);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    child<RadioGroup>(form, "ModeRadio")->setItemIndex(1);
    dialog.answers << dir.filePath(QStringLiteral("loesung.wmf")) << dir.filePath(QStringLiteral("loesung.jpg"));
    const int builds = form.buildCount();
    child<QPushButton>(form, "SpeichernBtn")->click();
    QCOMPARE(form.buildCount(), builds + 1); // saving rebuilds first: the file follows the options
    QVERIFY(readFile(dir.filePath(QStringLiteral("loesung.wmf"))).startsWith(QByteArray::fromHex("d7cdc69a")));
    child<QPushButton>(form, "SpeichernBtn")->click();
    QCOMPARE(messages.texts(), QStringList{"Speichern fehlgeschlagen wegen ungültiger Dateinamenserweiterung."});
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("loesung.jpg"))));

    child<QPushButton>(form, "KopierenBtn")->click();
    const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
    QVERIFY(copied);
    QVERIFY(copied->hasFormat(QStringLiteral("image/x-emf")) || copied->hasImage());
    form.reject();
}

// Width and height follow each other while the ratio is kept, and not otherwise.
void TestSharingUi::printDialogCoupling()
{
    ScriptedMessages messages;
    ScriptedSaveDialog dialog;
    TArbeitsblattDruckForm print(messages, dialog);
    QCOMPARE(print.windowTitle(), QStringLiteral("Arbeitsblatt drucken"));
    const SheetPrintArea start = print.area();
    QCOMPARE(start.leftCm, 2.2);
    QCOMPARE(start.topCm, 1.4);
    QCOMPARE(start.widthCm, 16.6);
    QCOMPARE(start.heightCm, 17.0);
    QVERIFY(start.keepRatio);
    auto *width = child<QDoubleSpinBox>(print, "BreiteEdit");
    auto *height = child<QDoubleSpinBox>(print, "HoeheEdit");
    QCOMPARE(width->textFromValue(16.6), QStringLiteral("16,6"));

    const SheetPicture sheet = BuildSheet(clozeDocument(), SheetOptions());
    print.prepare(sheet, 1001.0 / 1625.0);
    QCOMPARE(height->value(), 26.9);
    width->setValue(10.0);
    QCOMPARE(height->value(), 16.2);
    height->setValue(20.0);
    QCOMPARE(width->value(), 12.3);
    child<QCheckBox>(print, "SeitenverhaeltnisCheck")->setChecked(false);
    width->setValue(15.0);
    QCOMPARE(height->value(), 20.0);
    child<QCheckBox>(print, "SeitenverhaeltnisCheck")->setChecked(true);
    QCOMPARE(height->value(), 24.4);
}

// With no printer installed the sheet is printed into a PDF file; the sheet stands at
// the margins the dialog gives. A sheet beyond the paper is printed only when wanted.
void TestSharingUi::printToPdfWithoutPrinter()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("poppler-utils missing (scripts/setup installs them)");
    QTemporaryDir dir;
    ScriptedMessages messages;
    ScriptedSaveDialog dialog;
    TArbeitsblattDruckForm print(messages, dialog);
    if (print.printer().outputFormat() != QPrinter::PdfFormat)
        QSKIP("a printer is installed here");
    QCOMPARE(child<QLabel>(print, "DruckerLab")->text(),
             QStringLiteral("Ausgabe in eine PDF-Datei (kein Drucker eingerichtet)"));
    const SheetPicture sheet = BuildSheet(clozeDocument(), SheetOptions());
    print.prepare(sheet, 1001.0 / 1625.0);

    // Too far right for A4: declined, nothing printed; cancelled file dialog likewise.
    SheetPrintArea area = print.area();
    area.leftCm = 6;
    print.setArea(area);
    messages.setNextAnswer(MessageAnswer::No);
    print.DruckenClick();
    QCOMPARE(messages.texts(), QStringList{"Das Arbeitsblatt ragt mit diesen Maßen über den Rand des Papiers "
                                           "hinaus.\r\nTrotzdem drucken?"});
    QVERIFY(dialog.asked.isEmpty());
    area.leftCm = 2.2;
    print.setArea(area);
    print.DruckenClick();
    QCOMPARE(dialog.asked.size(), 1);

    const QString pdf = dir.filePath(QStringLiteral("druck.pdf"));
    dialog.answers << pdf;
    print.DruckenClick();
    QCOMPARE(print.result(), int(QDialog::Accepted));
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(60000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY(out.contains(QLatin1String("<page width=\"595.")));
    const QRegularExpression name(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"[\\d.]+\" xMax=\"[\\d.]+\" "
                                                 "yMax=\"([\\d.]+)\">Name:</word>"));
    const QRegularExpressionMatch m = name.match(out);
    QVERIFY2(m.hasMatch(), qPrintable(out.left(500)));
    // "Name:" begins at the sheet's left edge, 2.2 cm from the paper's edge.
    QVERIFY(qAbs(m.captured(1).toDouble() - 2.2 / 2.54 * 72) < 1);
    QVERIFY(m.captured(2).toDouble() > 1.4 / 2.54 * 72);
    QVERIFY(m.captured(2).toDouble() < 1.4 / 2.54 * 72 + 20);
}

void TestSharingUi::mailForm()
{
    TMailForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Dokument per E-Mail versenden"));
    QCOMPARE(form.mailGroup()->title(), QStringLiteral(" Versandoptionen "));
    QCOMPARE(form.mailGroup()->itemCaptions(),
             QStringList({" nur &Dokument versenden ", " Dokument und TSR-&Basissystem zusammen versenden "}));
    QCOMPARE(form.mailGroup()->itemIndex(), 0);
    QTimer::singleShot(0, &form, [&form] {
        form.mailGroup()->button(1)->click();
        form.findChild<QPushButton *>(QStringLiteral("OKBtn"))->click();
    });
    QCOMPARE(form.askSendOption(), 1);
    clickInNextDialog("AbbrechenBtn");
    QCOMPARE(form.askSendOption(), -1);
    QCOMPARE(form.mailGroup()->itemIndex(), 1); // the choice stays between openings
}

// Ctrl+A and Ctrl+M of the main window, and the two tool buttons, reach the windows.
void TestSharingUi::mainWindowRoutes()
{
    QTemporaryDir dir;
    ScriptedMessages messages;
    FakeClock clock;
    Random random(1);
    const QString program = dir.filePath(QStringLiteral("programm/"));
    QDir().mkpath(program + QStringLiteral("data"));
    QDir().mkpath(program + QStringLiteral("setupbasissystem"));
    writeFile(program + QStringLiteral("data/kapitolo.png"), pngBytes(patternImage(64, 40)));
    writeFile(dir.filePath(QStringLiteral("k.ini")), "[General]\nOpt-UebNameEingabe=0\n");
    SettingsStore settings(dir.filePath(QStringLiteral("k.ini")));
    RecordingShell shell;
    ScriptedFileDialogs dialogs;
    Services services{messages, clock, random, settings, shell, dialogs, program};
    TForm1 window(services, QString());
    window.CreateDialogs();
    window.FormShow();
    RecordingMailClient mail;
    window.sharing().setMailClient(&mail);

    window.findMenuAction(QStringLiteral("Arbeitsblatt1"))->trigger();
    window.findMenuAction(QStringLiteral("EMail1"))->trigger();
    QCOMPARE(messages.texts(), QStringList({"Es ist kein Dokument geöffnet.",
                                            "Es ist kein Dokument geöffnet bzw. das aktuelle Dokument muss "
                                            "zunächst gespeichert werden."}));

    TopicDocument d = clozeDocument();
    const QString path = dir.filePath(QStringLiteral("wasser kreis, lauf.tsr"));
    QVERIFY(writeDocument(path, d, false, messages));
    QVERIFY(window.ReadDocumentAsTopic(path));
    messages.clear();
    QCOMPARE(window.findMenuAction(QStringLiteral("Arbeitsblatt1"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    QCOMPARE(window.findMenuAction(QStringLiteral("EMail1"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    THoverPanel *sheetButton = window.toolButton(QStringLiteral("ABBtn"));
    QVERIFY(sheetButton && sheetButton->isEnabled());
    QString shownTitle;
    QTimer::singleShot(0, [&] {
        shownTitle = window.sharing().arbeitsblattForm()->findChild<QLineEdit *>(QStringLiteral("TitelEdit"))->text();
        window.sharing().arbeitsblattForm()->reject();
    });
    window.findMenuAction(QStringLiteral("Arbeitsblatt1"))->trigger();
    QCOMPARE(shownTitle, QStringLiteral("Der Wasserkreislauf"));

    clickInNextDialog("OKBtn");
    window.findMenuAction(QStringLiteral("EMail1"))->trigger();
    QCOMPARE(mail.sent, QStringList{"TSR-Dokument|" + path});
    QCOMPARE(messages.shown().size(), 1);
    QCOMPARE(messages.shown()[0].kind, MessageKind::Information);
}

QTEST_MAIN(TestSharingUi)
#include "tst_sharing_ui.moc"
