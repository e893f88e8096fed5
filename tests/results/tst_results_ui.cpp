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
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

BestListEntry entry(int i)
{
    const double start = 46000.5 + i / 1440.0;
    return {QStringLiteral("Teilnehmerin %1 mit einem recht langen Namen").arg(i), QStringLiteral("RAUM-%1").arg(i % 7),
            start, start + (60 + i) / 86400.0, 60000 + 1000 * i, 1.0 - (i % 40) / 40.0};
}

// Prints to a PDF file (kept in KAPITOLO_TEST_OUTPUT for a look, when set) and counts its pages.
template<typename Print>
int printedPages(const QString &file, Print print)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFileName(file);
    print(printer);
    const QString keep = qEnvironmentVariable("KAPITOLO_TEST_OUTPUT");
    if (!keep.isEmpty())
        writeFile(keep + QLatin1Char('/') + QFileInfo(file).fileName(), readFile(file));
    const QByteArray pdf = readFile(file);
    return pdf.startsWith("%PDF-") ? int(pdf.count("/Type /Page\n")) : -1;
}

} // namespace

class TestResultsUi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void protocolWindow();
    void bestListWindow();
    void printing();
    void folderDialog();

private:
    QTemporaryDir m_dir;
};

void TestResultsUi::protocolWindow()
{
    ScriptedMessages messages;
    ScriptedFileDialogs dialogs;
    TProtKomForm comment;
    TUebProtokollForm window(messages, dialogs);
    window.setCommentForm(&comment);
    window.setSaveFolder(m_dir.path() + QLatin1Char('/'));
    window.ShowProtocol(QStringLiteral("<tit>Quiz-Protokoll\r\nTitel:\tJörg {der Zweite}\r\n"));

    // A comment of blanks and line breaks, or a cancelled one, adds nothing.
    auto comment_ = [&](const QString &text, QPushButton *button) {
        QString title;
        bool freshField = false;
        QTimer::singleShot(0, [&, text, button] {
            title = comment.windowTitle();
            freshField = comment.Memo1->toPlainText().isEmpty();
            comment.Memo1->setPlainText(text);
            button->click();
        });
        window.KommBtnClick();
        QCOMPARE(title, QStringLiteral("Kommentar zum Ablaufprotokoll hinzufügen"));
        QVERIFY(freshField);
    };
    comment_(QStringLiteral("  \n \n  "), comment.OKBtn);
    comment_(QStringLiteral("verworfen"), comment.AbbrBtn);
    comment_(QStringLiteral("  Sehr konzentriert.\nZweite Zeile  \n"), comment.OKBtn);
    QCOMPARE(window.document()->toPlainText(), QStringLiteral("Quiz-Protokoll\n\nTitel:\tJörg {der Zweite}\n\n"
                                                              "Kommentar\n\nSehr konzentriert.\nZweite Zeile"));

    // Saving: cancelled does nothing; a name without extension gets ".rtf"; a completed
    // name that exists is replaced only when the user agrees; a bad folder is reported.
    const QString base = m_dir.path() + QStringLiteral("/protokoll");
    dialogs.answers << QString() << base << base << m_dir.path() + QStringLiteral("/fehlt/p.rtf");
    window.SaveBtnClick();
    QCOMPARE(dialogs.asked, QStringList{"Übungsprotokoll in Datei speichern|" + m_dir.path()
                                        + "/||Rich Text Dokument (*.rtf)|*.rtf|Alle Dateien (*.*)|*.*"});
    window.SaveBtnClick();
    const QByteArray saved = readFile(base + QStringLiteral(".rtf"));
    QCOMPARE(saved, writeRtf(*window.document()));
    messages.setNextAnswer(MessageAnswer::No);
    window.ShowProtocol(QStringLiteral("anders\r\n"));
    window.SaveBtnClick();
    QCOMPARE(readFile(base + QStringLiteral(".rtf")), saved);
    window.SaveBtnClick();
    QCOMPARE(messages.texts().size(), 2);
    QCOMPARE(messages.texts().last(), writeErrorText(m_dir.path() + QStringLiteral("/fehlt/p.rtf")));

    // Copy: rich and plain text, no selection left behind.
    window.ShowProtocol(QStringLiteral("<tit>Quiz-Protokoll\r\nTitel:\tEuropa\r\n"));
    window.RichEdit1->selectAll();
    window.InClipBtnClick();
    const QMimeData *data = QApplication::clipboard()->mimeData();
    QCOMPARE(data->text(), QStringLiteral("Quiz-Protokoll\n\nTitel:\tEuropa"));
    QVERIFY(data->html().contains(QLatin1String("font-weight:700")));
    QCOMPARE(data->data(QStringLiteral("text/rtf")), writeRtf(*window.document()));
    QVERIFY(!window.RichEdit1->textCursor().hasSelection());
}

void TestResultsUi::bestListWindow()
{
    ScriptedMessages messages;
    ScriptedFileDialogs dialogs;
    TBestListForm window(messages, dialogs);
    window.setTextSaveFolder(m_dir.path() + QLatin1Char('/'));
    window.ShowList(QStringLiteral("Europa"), BestList());
    QCOMPARE(window.windowTitle(), QStringLiteral("Bestenliste - Europa"));
    QCOMPARE(window.Grid1->rowCount(), 1); // one empty row
    const QList<int> designed{40, 200, 100, 80, 80, 140};
    for (int c = 0; c < 6; ++c)
        QVERIFY(window.gridColumnWidths().at(c) >= designed.at(c));
    QCOMPARE(window.Grid1->horizontalHeader()->defaultAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);

    BestList list{entry(1), entry(2), entry(3)};
    list.first().name = QStringLiteral("Jürgen");
    rankBestList(list);
    window.ShowList(QStringLiteral("Europa"), list);
    QCOMPARE(window.Grid1->rowCount(), 3);
    QCOMPARE(window.Grid1->rowHeight(2), 19);
    const QList<Qt::Alignment> expected{Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignLeft,
                                        Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignLeft};
    for (int c = 0; c < 6; ++c)
        QCOMPARE(Qt::Alignment(window.Grid1->item(0, c)->textAlignment()) & Qt::AlignHorizontal_Mask, expected.at(c));

    // "Speichern..." and "In Zwischenablage": the grid as text (the file in Windows-1252).
    const QString text = bestListText(bestListRows(list));
    QCOMPARE(window.gridText(), text);
    dialogs.answers << m_dir.path() + QStringLiteral("/liste");
    window.SaveBtnClick();
    QCOMPARE(dialogs.asked.first(), "Bestenliste in Datei speichern|" + m_dir.path()
                                        + "/||Textdatei (*.txt)|*.txt|Alle Dateien (*.*)|*.*");
    QCOMPARE(readFile(m_dir.path() + QStringLiteral("/liste.txt")), toCp1252(text));
    window.ClipBtnClick();
    QCOMPARE(QApplication::clipboard()->text(), text);

    // Every header and every value shows in full, and the window shows every column.
    list.append(entry(4));
    list.last().name = QStringLiteral("Maximiliane-Sophie Wagenknecht");
    list.last().durationMs = 6000000; // 100:00
    window.ShowList(QStringLiteral("Europa"), list);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QHeaderView *header = window.Grid1->horizontalHeader();
    const int headerMargin = 2 * window.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int cellMargin = 2 * (window.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, window.Grid1) + 1);
    for (int c = 0; c < 6; ++c) {
        const QString title = window.Grid1->horizontalHeaderItem(c)->text();
        QVERIFY2(header->fontMetrics().horizontalAdvance(title) + headerMargin <= window.Grid1->columnWidth(c),
                 qPrintable(title));
        for (int r = 0; r < window.Grid1->rowCount(); ++r) {
            const QString value = window.Grid1->item(r, c)->text();
            QVERIFY2(window.Grid1->fontMetrics().horizontalAdvance(value) + cellMargin <= window.Grid1->columnWidth(c),
                     qPrintable(value));
        }
    }
    QCOMPARE(window.Grid1->horizontalScrollBar()->maximum(), 0);
    if (qEnvironmentVariableIsSet("KAPITOLO_TEST_OUTPUT"))
        window.grab().save(qEnvironmentVariable("KAPITOLO_TEST_OUTPUT") + QStringLiteral("/bestenliste.png"));
    QCOMPARE(window.focusWidget(), window.CloseBtn);
    QVERIFY(messages.shown().isEmpty());
}

void TestResultsUi::printing()
{
    // A4 without unprintable edge: 15 mm margins, 180 mm for 640 screen pixels.
    const BestListPrintLayout a4 = bestListPrintLayout(2100, 2970, 0, 0, bestListColumnWidths());
    QCOMPARE(a4.leftMargin, 150);
    QCOMPARE(a4.usableWidth, 1800);
    QCOMPARE(a4.fontHeight, 31); // 20000 * 1800 / (640 * 1800) = 31.25
    QCOMPARE(a4.boundaries, (QList<int>{150, 262, 824, 1105, 1330, 1555, 1949}));
    // An unprintable edge of 5 mm (20 mm at the top): the canvas starts there. The font
    // never exceeds 4 mm.
    const BestListPrintLayout edge = bestListPrintLayout(2000, 2870, 50, 200, {40, 40});
    QCOMPARE((QList<int>{edge.leftMargin, edge.topMargin, edge.usableWidth, edge.fontHeight}),
             (QList<int>{100, 0, 1750, 40}));

    // 91 lines of about 3.6 mm need a second page below 252 mm; 3 lines do not.
    BestList list;
    for (int i = 0; i < 90; ++i)
        list << entry(i);
    rankBestList(list);
    const QList<QStringList> rows = bestListRows(list);
    const auto bestList = [&](const QList<QStringList> &printed) {
        return [&, printed](QPrinter &p) { printBestList(p, printed, bestListColumnWidths(), bestListColumnAlignments()); };
    };
    QCOMPARE(printedPages(m_dir.path() + "/bestenliste-lang.pdf", bestList(rows)), 2);
    QCOMPARE(printedPages(m_dir.path() + "/bestenliste-kurz.pdf", bestList(rows.mid(0, 3))), 1);

    QTextDocument view;
    QString text = QStringLiteral("<tit>Quiz-Protokoll\r\nTeilnehmername:\tAnna Köhler\r\n");
    for (int i = 0; i < 150; ++i)
        text += clockText(i * 7) + QStringLiteral(" - RICHTIG - Beschriftungstext \"Stadt %1\" wird der richtigen "
                                                  "Position zugeordnet\r\n").arg(i);
    FillProtocolView(view, text, true);
    QString jobTitle;
    QVERIFY(printedPages(m_dir.path() + "/protokoll.pdf", [&](QPrinter &p) {
                printRichText(view, p, QStringLiteral("Quiz-Protokoll"));
                jobTitle = p.docName();
            }) >= 2);
    QCOMPARE(jobTitle, QStringLiteral("Quiz-Protokoll"));
}

void TestResultsUi::folderDialog()
{
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("prot")));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("best")));
    const QString prot = m_dir.path() + QStringLiteral("/prot");
    const QString best = m_dir.path() + QStringLiteral("/best");
    ScriptedMessages messages;
    ScriptedFileDialogs dialogs;
    TBestListVerzForm form(messages, dialogs);
    form.setFolders(QStringLiteral("/alt/prot/"), QStringLiteral("/alt/best/"));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // Browsing starts at the field's folder; a cancelled browse keeps the text.
    dialogs.answers << prot << QString();
    form.ProtVerzAuswBtnClick();
    form.BestListVerzAuswBtnClick();
    QCOMPARE(dialogs.asked, (QStringList{"Ordner für Protokolle festlegen|/alt/prot/",
                                         "Ordner für Bestenlisten festlegen|/alt/best/"}));
    QCOMPARE(form.ProtVerzEdit1->text(), prot);

    // A valid protocol folder with an invalid best-list folder: completed, reported, neither stored.
    form.OKBtnClick();
    QCOMPARE(messages.texts(), QStringList{"Der angegebene Ordner für die Bestenlisten ist ungültig."});
    QCOMPARE(form.focusWidget(), form.BestListVerzEdit1);
    QCOMPARE(form.ProtVerzEdit1->text(), prot + "/");
    QVERIFY(form.isVisible() && form.result() == 0);
    QCOMPARE(form.protocolFolder(), QStringLiteral("/alt/prot/"));
    // An empty field, or a file, is no folder; the protocol folder is checked first.
    for (const QString &bad : {QString(), QString(m_dir.path() + "/prot/../fehlt")}) {
        form.ProtVerzEdit1->setText(bad);
        form.OKBtnClick();
        QCOMPARE(messages.texts().last(), QStringLiteral("Der angegebene Ordner für die Protokolle ist ungültig."));
        QCOMPARE(form.focusWidget(), form.ProtVerzEdit1);
    }
    QVERIFY(!QFileInfo::exists(m_dir.path() + "/fehlt")); // folders are never created

    form.ProtVerzEdit1->setText(prot);
    form.BestListVerzEdit1->setText(best);
    form.OKBtnClick();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.protocolFolder(), prot + "/");
    QCOMPARE(form.bestListFolder(), best + "/");

    // Cancel after a browse changes nothing.
    form.setFolders(QStringLiteral("/a/"), QStringLiteral("/b/"));
    form.show();
    dialogs.answers << best;
    form.ProtVerzAuswBtnClick();
    form.AbbrBtn->click();
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(form.protocolFolder(), QStringLiteral("/a/"));
    QCOMPARE(form.bestListFolder(), QStringLiteral("/b/"));
}

QTEST_MAIN(TestResultsUi)
#include "tst_results_ui.moc"
