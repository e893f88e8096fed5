#include "platform/cp1252.h"
#include "quiz/protocol.h"
#include "quiz/protocol_window.h"
#include "quiz/rtf_writer.h"
#include "results/best_list_window.h"
#include "results/result_folders_dialog.h"
#include "support/fake_services.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

BestListEntry entry(int i)
{
    BestListEntry e;
    e.name = QStringLiteral("Teilnehmerin %1 mit einem recht langen Namen").arg(i);
    e.computer = QStringLiteral("RAUM-%1").arg(i % 7);
    e.start = 46000.5 + i / 1440.0;
    e.durationMs = 60000 + 1000 * i;
    e.performance = 1.0 - (i % 40) / 40.0;
    e.end = e.start + (e.durationMs / 1000) / 86400.0;
    return e;
}

// Pages of a PDF written by Qt (one "/Type /Page" object per page).
int pdfPageCount(const QByteArray &pdf)
{
    return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "));
}

void keepForInspection(const QString &file)
{
    const QString folder = qEnvironmentVariable("KAPITOLO_TEST_OUTPUT");
    if (!folder.isEmpty()) {
        QFile::remove(folder + QLatin1Char('/') + QFileInfo(file).fileName());
        QFile::copy(file, folder + QLatin1Char('/') + QFileInfo(file).fileName());
    }
}

// Answers the next modal dialog from the event loop.
template<typename F>
void whenShown(F action)
{
    QTimer::singleShot(0, action);
}

} // namespace

class TestResultsUi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void protocolWindowShowsAndComments();
    void protocolSaveAndClipboard();
    void protocolPrintsToPdf();
    void bestListGrid();
    void bestListSaveAndClipboard();
    void bestListPrintLayout();
    void bestListPrintsToPdf();
    void folderDialog();
};

void TestResultsUi::protocolWindowShowsAndComments()
{
    ScriptedMessages messages;
    ScriptedFileDialogs dialogs;
    TProtKomForm comment;
    TUebProtokollForm window(messages, dialogs, comment);
    QVERIFY(window.document()->toPlainText().isEmpty()); // before the first quiz

    window.ShowProtocol(QStringLiteral("<tit>Quiz-Protokoll\r\nTitel:\tEuropa\r\n"));
    // OK with a comment of blanks and line breaks adds nothing; "Abbrechen" adds nothing.
    whenShown([&] {
        QCOMPARE(comment.windowTitle(), QStringLiteral("Kommentar zum Ablaufprotokoll hinzufügen"));
        QVERIFY(comment.Memo1->toPlainText().isEmpty());
        comment.Memo1->setPlainText(QStringLiteral("  \n \n  "));
        comment.OKBtn->click();
    });
    window.KommBtnClick();
    whenShown([&] {
        comment.Memo1->setPlainText(QStringLiteral("verworfen"));
        comment.AbbrBtn->click();
    });
    window.KommBtnClick();
    QCOMPARE(window.document()->blockCount(), 3);

    whenShown([&] {
        QVERIFY(comment.Memo1->toPlainText().isEmpty()); // a fresh field every time
        comment.Memo1->setPlainText(QStringLiteral("  Sehr konzentriert.\nZweite Zeile  \n"));
        comment.OKBtn->click();
    });
    window.KommBtnClick();
    QCOMPARE(window.document()->toPlainText(),
             QStringLiteral("Quiz-Protokoll\n\nTitel:\tEuropa\n\nKommentar\n\nSehr konzentriert.\nZweite Zeile"));

    // The next quiz end replaces everything, comments included.
    window.ShowProtocol(QStringLiteral("<tit>Quiz-Protokoll\r\n"));
    QCOMPARE(window.document()->blockCount(), 2);
}

void TestResultsUi::protocolSaveAndClipboard()
{
    QTemporaryDir dir;
    ScriptedMessages messages;
    ScriptedFileDialogs dialogs;
    TProtKomForm comment;
    TUebProtokollForm window(messages, dialogs, comment);
    window.setSaveFolder(dir.path() + QLatin1Char('/'));
    window.ShowProtocol(QStringLiteral("<tit>Quiz-Protokoll\r\nTeilnehmername:\tJörg {der Zweite}\r\n"));

    // Cancelled: nothing.
    window.SaveBtnClick();
    QCOMPARE(dialogs.asked, QStringList{QStringLiteral("Übungsprotokoll in Datei speichern|") + dir.path()
                                        + QStringLiteral("/||Rich Text Dokument (*.rtf)|*.rtf|Alle Dateien (*.*)|*.*")});
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);

    // A name without extension gets ".rtf".
    dialogs.answers << dir.path() + QStringLiteral("/protokoll");
    window.SaveBtnClick();
    const QByteArray saved = readFile(dir.path() + QStringLiteral("/protokoll.rtf"));
    QCOMPARE(saved, writeRtf(*window.document()));
    QVERIFY(saved.contains("J\\'f6rg \\{der Zweite\\}"));
    // ... and when that completed name exists, the user is asked first.
    messages.setNextAnswer(MessageAnswer::No);
    window.ShowProtocol(QStringLiteral("anders\r\n"));
    dialogs.answers << dir.path() + QStringLiteral("/protokoll");
    window.SaveBtnClick();
    QCOMPARE(readFile(dir.path() + QStringLiteral("/protokoll.rtf")), saved);
    QCOMPARE(messages.shown().size(), 1);

    // A folder that does not exist: the write error.
    messages.clear();
    const QString bad = dir.path() + QStringLiteral("/fehlt/p.rtf");
    dialogs.answers << bad;
    window.SaveBtnClick();
    QCOMPARE(messages.texts(), QStringList{writeErrorText(bad)});

    // Copy: rich and plain text, and no selection left.
    window.ShowProtocol(QStringLiteral("<tit>Quiz-Protokoll\r\nTitel:\tEuropa\r\n"));
    window.InClipBtnClick();
    const QMimeData *data = QApplication::clipboard()->mimeData();
    QVERIFY(data);
    QCOMPARE(data->text(), QStringLiteral("Quiz-Protokoll\n\nTitel:\tEuropa"));
    QVERIFY(data->hasHtml());
    QVERIFY(data->html().contains(QLatin1String("font-weight:700")));
    QCOMPARE(data->data(QStringLiteral("text/rtf")), writeRtf(*window.document()));
    QVERIFY(!window.RichEdit1->textCursor().hasSelection());
}

void TestResultsUi::protocolPrintsToPdf()
{
    QTemporaryDir dir;
    QTextDocument view;
    QString text = QStringLiteral("<tit>Quiz-Protokoll\r\nTeilnehmername:\tAnna Köhler\r\n<tit>Detaillierter Ablauf\r\n");
    for (int i = 0; i < 150; ++i)
        text += clockText(i * 7) + QStringLiteral(" - RICHTIG - Beschriftungstext \"Stadt %1\" wird der richtigen "
                                                  "Position zugeordnet\r\n").arg(i);
    FillProtocolView(view, text, true);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString file = dir.path() + QStringLiteral("/protokoll.pdf");
    printer.setOutputFileName(file);
    printRichText(view, printer, QStringLiteral("Quiz-Protokoll"));
    QCOMPARE(printer.docName(), QStringLiteral("Quiz-Protokoll"));
    const QByteArray pdf = readFile(file);
    QVERIFY(pdf.startsWith("%PDF-"));
    // 155 lines of 9 pt do not fit one A4 page.
    QVERIFY2(pdfPageCount(pdf) >= 2, QByteArray::number(pdfPageCount(pdf)).constData());
    keepForInspection(file);
}

void TestResultsUi::bestListGrid()
{
    ScriptedMessages messages;
    ScriptedFileDialogs dialogs;
    TBestListForm window(messages, dialogs);
    window.ShowList(QStringLiteral("Europa"), BestList());
    QCOMPARE(window.windowTitle(), QStringLiteral("Bestenliste - Europa"));
    QCOMPARE(window.Grid1->rowCount(), 1); // one empty row
    QCOMPARE(window.Grid1->columnCount(), 6);
    QStringList headers;
    for (int c = 0; c < 6; ++c)
        headers << window.Grid1->horizontalHeaderItem(c)->text();
    QCOMPARE(headers, (QStringList{"Pos.", "Name", "Rechner", "Leistung", "Zeit (Min:Sek)", "Datum/Uhrzeit (Ende)"}));
    QCOMPARE(window.gridColumnWidths(), (QList<int>{40, 200, 100, 80, 80, 140}));
    QCOMPARE(window.Grid1->horizontalHeader()->defaultAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);

    BestList list{entry(1), entry(2), entry(3)};
    rankBestList(list);
    window.ShowList(QStringLiteral("Europa"), list);
    QCOMPARE(window.Grid1->rowCount(), 3);
    QCOMPARE(window.Grid1->rowHeight(2), 19);
    QCOMPARE(window.Grid1->item(0, 0)->text(), QStringLiteral("1"));
    QCOMPARE(window.Grid1->item(0, 4)->text(), QStringLiteral("01:01"));
    const QList<Qt::Alignment> expected{Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignLeft,
                                        Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignLeft};
    for (int c = 0; c < 6; ++c)
        QCOMPARE(Qt::Alignment(window.Grid1->item(0, c)->textAlignment()) & Qt::AlignHorizontal_Mask, expected.at(c));

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (qEnvironmentVariableIsSet("KAPITOLO_TEST_OUTPUT"))
        window.grab().save(qEnvironmentVariable("KAPITOLO_TEST_OUTPUT") + QStringLiteral("/bestenliste.png"));
    QCOMPARE(window.focusWidget(), window.CloseBtn);
    QVERIFY(window.CloseBtn->isDefault());
    window.CloseBtn->click();
    QVERIFY(!window.isVisible());
}

void TestResultsUi::bestListSaveAndClipboard()
{
    QTemporaryDir dir;
    ScriptedMessages messages;
    ScriptedFileDialogs dialogs;
    TBestListForm window(messages, dialogs);
    window.setTextSaveFolder(dir.path() + QLatin1Char('/'));
    BestList list{entry(1)};
    list.first().name = QStringLiteral("Jürgen");
    window.ShowList(QStringLiteral("Europa"), list);
    const QString expectedText = bestListText(bestListRows(list));
    QCOMPARE(window.gridText(), expectedText);

    dialogs.answers << dir.path() + QStringLiteral("/liste");
    window.SaveBtnClick();
    QCOMPARE(dialogs.asked.first(), QStringLiteral("Bestenliste in Datei speichern|") + dir.path()
                                        + QStringLiteral("/||Textdatei (*.txt)|*.txt|Alle Dateien (*.*)|*.*"));
    const QByteArray saved = readFile(dir.path() + QStringLiteral("/liste.txt"));
    QVERIFY(saved.contains("\tJ\xfcrgen\t"));
    QCOMPARE(saved, toCp1252(expectedText));
    QVERIFY(messages.shown().isEmpty());

    window.ClipBtnClick();
    QCOMPARE(QApplication::clipboard()->text(), expectedText);
}

void TestResultsUi::bestListPrintLayout()
{
    // A4 without unprintable edge: 15 mm each side, 180 mm for 640 screen pixels.
    BestListPrintLayout a4 = kapitolo::bestListPrintLayout(2100, 2970, 0, 0, {40, 200, 100, 80, 80, 140});
    QCOMPARE(a4.leftMargin, 150);
    QCOMPARE(a4.topMargin, 150);
    QCOMPARE(a4.usableWidth, 1800);
    QCOMPARE(a4.fontHeight, 31); // 20000 * 1800 / (640 * 1800) = 31.25
    QCOMPARE(a4.boundaries, (QList<int>{150, 262, 824, 1105, 1330, 1555, 1949}));

    // A printer that cannot print the outer 5 mm: the canvas starts there.
    BestListPrintLayout offset = kapitolo::bestListPrintLayout(2000, 2870, 50, 200, {40, 40});
    QCOMPARE(offset.leftMargin, 100);
    QCOMPARE(offset.topMargin, 0);
    QCOMPARE(offset.usableWidth, 1750);
    QCOMPARE(offset.fontHeight, 40); // never above 4 mm
}

void TestResultsUi::bestListPrintsToPdf()
{
    QTemporaryDir dir;
    BestList list;
    for (int i = 0; i < 90; ++i)
        list << entry(i);
    rankBestList(list);
    const QList<QStringList> rows = bestListRows(list);
    const QList<int> widths = bestListColumnWidths();
    const QList<int> alignments = bestListColumnAlignments();

    auto print = [&](const QString &name, const QList<QStringList> &printed) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFileName(dir.path() + QLatin1Char('/') + name);
        printBestList(printer, printed, widths, alignments);
        keepForInspection(dir.path() + QLatin1Char('/') + name);
        return readFile(dir.path() + QLatin1Char('/') + name);
    };
    // 91 lines of about 3.6 mm do not fit on the 252 mm of one page; 2 lines do.
    const QByteArray longList = print(QStringLiteral("bestenliste-lang.pdf"), rows);
    QVERIFY(longList.startsWith("%PDF-"));
    QCOMPARE(pdfPageCount(longList), 2);
    const QByteArray shortList = print(QStringLiteral("bestenliste-kurz.pdf"), rows.mid(0, 3));
    QCOMPARE(pdfPageCount(shortList), 1);
}

void TestResultsUi::folderDialog()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("prot")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("best")));
    ScriptedMessages messages;
    ScriptedFileDialogs dialogs;
    TBestListVerzForm form(messages, dialogs);
    QCOMPARE(form.windowTitle(), QStringLiteral("Ordner für Protokolle und Bestenlisten"));
    form.setFolders(QStringLiteral("/alt/prot/"), QStringLiteral("/alt/best/"));
    QCOMPARE(form.ProtVerzEdit1->text(), QStringLiteral("/alt/prot/"));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // Browsing: the title and the folder of the field; a cancelled browse keeps the text.
    dialogs.answers << dir.path() + QStringLiteral("/prot") << QString();
    form.ProtVerzAuswBtnClick();
    form.BestListVerzAuswBtnClick();
    QCOMPARE(dialogs.asked, (QStringList{QStringLiteral("Ordner für Protokolle festlegen|/alt/prot/"),
                                         QStringLiteral("Ordner für Bestenlisten festlegen|/alt/best/")}));
    QCOMPARE(form.ProtVerzEdit1->text(), dir.path() + QStringLiteral("/prot"));
    QCOMPARE(form.BestListVerzEdit1->text(), QStringLiteral("/alt/best/"));

    // A valid protocol folder with an invalid best-list folder stores neither.
    form.OKBtnClick();
    QCOMPARE(messages.texts(), QStringList{"Der angegebene Ordner für die Bestenlisten ist ungültig."});
    QCOMPARE(form.focusWidget(), form.BestListVerzEdit1);
    QVERIFY(form.isVisible());
    QCOMPARE(form.result(), 0);
    QCOMPARE(form.ProtVerzEdit1->text(), dir.path() + QStringLiteral("/prot/"));
    QCOMPARE(form.protocolFolder(), QStringLiteral("/alt/prot/"));
    QCOMPARE(form.bestListFolder(), QStringLiteral("/alt/best/"));

    // An empty protocol field is invalid and takes the focus.
    messages.clear();
    form.ProtVerzEdit1->clear();
    form.OKBtnClick();
    QCOMPARE(messages.texts(), QStringList{"Der angegebene Ordner für die Protokolle ist ungültig."});
    QCOMPARE(form.focusWidget(), form.ProtVerzEdit1);

    // Both valid: completed with their separators, stored, accepted.
    form.ProtVerzEdit1->setText(dir.path() + QStringLiteral("/prot"));
    form.BestListVerzEdit1->setText(dir.path() + QStringLiteral("/best"));
    form.OKBtnClick();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.protocolFolder(), dir.path() + QStringLiteral("/prot/"));
    QCOMPARE(form.bestListFolder(), dir.path() + QStringLiteral("/best/"));

    // Cancel after a browse changes nothing.
    form.setFolders(QStringLiteral("/a/"), QStringLiteral("/b/"));
    form.show();
    dialogs.answers << dir.path() + QStringLiteral("/best");
    form.ProtVerzAuswBtnClick();
    form.AbbrBtn->click();
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(form.protocolFolder(), QStringLiteral("/a/"));
    QCOMPARE(form.bestListFolder(), QStringLiteral("/b/"));
}

QTEST_MAIN(TestResultsUi)
#include "tst_results_ui.moc"
