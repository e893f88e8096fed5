#include "metafile_check.h"
#include "sheet_test_support.h"

#include "document/document_file.h"
#include "platform/cp1252.h"
#include "platform/messages.h"
#include "platform/nearest.h"
#include "sharing/metafile_writer.h"
#include "sharing/sheet_builder.h"
#include "sharing/sheet_output.h"
#include "sharing/sheet_print.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"
#include "view/canvas_text.h"

#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>

#include <numeric>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

// Line height s of an Arial font of the given character height: the height of "X".
int lineHeight(int height, bool bold = false)
{
    return textHeight(QFontMetrics(arialFont(-height, bold)));
}

QList<SheetItem> itemsOf(const SheetPicture &p, SheetItem::Kind kind)
{
    QList<SheetItem> found;
    for (const SheetItem &i : p.items)
        if (i.kind == kind)
            found << i;
    return found;
}

// The text item of that text; the layout's segments may carry the blank that ends a line.
const SheetItem *textItem(const SheetPicture &p, const QString &text)
{
    for (const SheetItem &i : p.items)
        if (i.kind == SheetItem::Text && (i.text == text || i.text == text + QLatin1Char(' ')))
            return &i;
    return nullptr;
}

QList<SheetItem> textsOfHeight(const SheetPicture &p, double height)
{
    QList<SheetItem> found;
    for (const SheetItem &i : itemsOf(p, SheetItem::Text))
        if (qAbs(i.font.height - height) < 0.01)
            found << i;
    return found;
}

bool hasLine(const SheetPicture &p, QPointF a, QPointF b)
{
    for (const SheetItem &i : itemsOf(p, SheetItem::Line))
        if (i.points.value(0) == a && i.points.value(1) == b)
            return true;
    return false;
}

QList<QRectF> frames(const SheetPicture &p)
{
    QList<QRectF> found;
    for (const SheetItem &i : itemsOf(p, SheetItem::Rect))
        if (!i.fill.isValid() && i.pen == QColor(Qt::black))
            found << i.rect;
    return found;
}

SheetOptions optionsOf(int kind, const QString &title = QStringLiteral("Titel"))
{
    SheetOptions o;
    o.kind = kind;
    o.title = title;
    return o;
}

// The footer's line: the end of the space a body may take.
int footerTop()
{
    return kSheetHeight - lineHeight(15);
}

// Where a word stands in a PDF, as pdftotext reports it: the first match.
struct PdfWord {
    QString text;
    QRectF box;
};

QList<PdfWord> pdfWords(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([-\\d.]+)\" yMin=\"([-\\d.]+)\" xMax=\"([-\\d.]+)\" yMax=\"([-\\d.]+)\">([^<]*)</word>"));
    QList<PdfWord> words;
    for (auto m = word.globalMatch(out); m.hasNext();) {
        const auto w = m.next();
        words << PdfWord{w.captured(5), QRectF(QPointF(w.captured(1).toDouble(), w.captured(2).toDouble()),
                                               QPointF(w.captured(3).toDouble(), w.captured(4).toDouble()))};
    }
    return words;
}

QRectF wordBox(const QList<PdfWord> &words, const QString &text)
{
    for (const PdfWord &w : words)
        if (w.text == text)
            return w.box;
    return QRectF();
}

} // namespace

class TestSheet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void header_data();
    void header();
    void taskAndAnswerList();
    void imageBody_data();
    void imageBody();
    void crowdedMapNumbersItsPoints();
    void clozeBody();
    void questionsBody();
    void footer();
    void overlayHoldsExactlyTheSolutions_data();
    void overlayHoldsExactlyTheSolutions();
    void sheetIgnoresQuizMarks();
    void metafilesMatchTheSheet_data();
    void metafilesMatchTheSheet();
    void brokenMetafilesAreCaught();
    void officeReadersFindTheWords();
    void saveDialogAndExtensionRule_data();
    void saveDialogAndExtensionRule();
    void otherForms();
    void printPlacement();
    void toolWritesTheSheet();
};

void TestSheet::header_data()
{
    QTest::addColumn<bool>("name");
    QTest::addColumn<bool>("schoolClass");
    QTest::addColumn<bool>("date");
    QTest::addColumn<QString>("title");
    QTest::newRow("alles") << true << true << true << QStringLiteral("Der Wasserkreislauf");
    QTest::newRow("nur Datum") << false << false << true << QStringLiteral("Der Wasserkreislauf");
    QTest::newRow("kein Kopf") << false << false << false << QStringLiteral("Der Wasserkreislauf");
    QTest::newRow("kein Titel") << true << false << false << QStringLiteral("  ");
}

// Header lines on y = s, the labels standing on them; the title framed and centred,
// moving up when the header is off.
void TestSheet::header()
{
    QFETCH(bool, name);
    QFETCH(bool, schoolClass);
    QFETCH(bool, date);
    QFETCH(QString, title);
    SheetOptions o = optionsOf(skWorksheet, title);
    o.nameField = name;
    o.classField = schoolClass;
    o.dateField = date;
    const SheetPicture sheet = BuildSheet(clozeDocument(), o);

    const int s = lineHeight(18);
    const struct {
        bool on;
        const char *label;
        int x;
        int length;
    } fields[] = {{name, "Name:", 0, 500}, {schoolClass, "Klasse:", 500, 250}, {date, "Datum:", 750, 250}};
    for (const auto &f : fields) {
        const SheetItem *label = textItem(sheet, QString::fromUtf8(f.label));
        QCOMPARE(label != nullptr, f.on);
        QCOMPARE(hasLine(sheet, QPointF(f.x, s), QPointF(f.x + f.length, s)), f.on);
        if (f.on)
            QCOMPARE(label->origin, QPointF(f.x, s));
    }

    const SheetItem *titleText = textItem(sheet, title);
    if (title.trimmed().isEmpty()) {
        QVERIFY(!titleText);
        QVERIFY(std::none_of(sheet.items.begin(), sheet.items.end(),
                             [](const SheetItem &i) { return i.kind == SheetItem::Text && i.font.bold && i.origin.x() > 20; }));
        return;
    }
    QVERIFY(titleText);
    QVERIFY(titleText->font.bold);
    const int s30 = lineHeight(30, true);
    const int top = (name || schoolClass || date ? nearest(2.5 * s) : 0) + nearest(0.5 * s);
    QVERIFY(frames(sheet).contains(QRectF(0, top - nearest(0.3 * s30), 1000, nearest(0.3 * s30) + nearest(1.3 * s30))));
    QCOMPARE(nearest(titleText->origin.y() - titleText->ascent), top);
    QVERIFY(qAbs(titleText->textBox().center().x() - 500) <= 1);
}

// The task is wrapped into the sheet's width; the answer texts follow it, sorted
// without regard to case, duplicates kept, joined with " - " and wrapped at 1000.
void TestSheet::taskAndAnswerList()
{
    TopicDocument d = labelDocument();
    d.objects.clear();
    for (const char *cap : {"Zürich", "bern", "Sankt-\r\nGallen", "Aarau", "Bern", "Bo-\r\nden", ""}) {
        DocObject o;
        o.Typ = otLabel;
        o.Cap = QString::fromUtf8(cap);
        // Apart, so that each keeps its answer frame.
        o.Kx = o.Sx = 0.1 + 0.12 * d.objects.size();
        o.Ky = o.Sy = 0.1 + 0.13 * d.objects.size();
        d.objects << o;
    }
    QCOMPARE(sheetAnswerTexts(d, 1), QStringList({"Aarau", "bern", "Bern", "Boden", "Sankt-Gallen", "Zürich"}));

    SheetOptions o = optionsOf(skWorksheet);
    o.task = QStringLiteral("Aufgabe: Trage die Namen der Städte in die Kästchen ein und male danach die Seen blau "
                            "aus. Achte darauf, sauber zu schreiben.\r\nZweite Zeile.");
    SheetPicture sheet = BuildSheet(d, o);
    const QList<SheetItem> task = textsOfHeight(sheet, 25);
    QVERIFY2(task.size() >= 3, "long task wraps, its own line break stays");
    for (qsizetype i = 0; i < task.size(); ++i) {
        QCOMPARE(task[i].origin.x(), 0.0);
        QVERIFY(task[i].textWidth() <= 1000);
        if (i > 0)
            QVERIFY(task[i].origin.y() > task[i - 1].origin.y());
    }
    QCOMPARE(task.last().text, QStringLiteral("Zweite Zeile."));
    QList<SheetItem> answers = textsOfHeight(sheet, 22);
    QCOMPARE(answers.size(), 1);
    QCOMPARE(answers[0].text, QStringLiteral("Aarau - bern - Bern - Boden - Sankt-Gallen - Zürich"));
    QVERIFY(answers[0].origin.y() - answers[0].ascent >= task.last().origin.y() + task.last().descent - 1);

    // A long list: every line fits, all but the last end with " - ", together they
    // are the whole list.
    for (int i = 0; i < 40; ++i) {
        DocObject extra = d.objects.first();
        extra.Cap = QStringLiteral("Hauptstadt%1").arg(i, 2, 10, QLatin1Char('0'));
        d.objects << extra;
    }
    sheet = BuildSheet(d, o);
    // Forty labels on one spot crowd the map: their numbered list under it is no part
    // of the answer texts above it.
    auto aboveTheMap = [](const SheetPicture &p) {
        QList<SheetItem> found;
        for (const SheetItem &t : textsOfHeight(p, 22))
            if (t.origin.y() < itemsOf(p, SheetItem::Image).value(0).rect.top())
                found << t;
        return found;
    };
    answers = aboveTheMap(sheet);
    QVERIFY(answers.size() >= 4);
    QString joined;
    const int step = nearest(1.25 * lineHeight(22));
    for (qsizetype i = 0; i < answers.size(); ++i) {
        QVERIFY2(answers[i].textWidth() <= 1000, qPrintable(answers[i].text));
        QCOMPARE(answers[i].origin.x(), 0.0);
        QCOMPARE(answers[i].text.endsWith(QLatin1String(" - ")), i + 1 < answers.size());
        if (i > 0) {
            QCOMPARE(answers[i].origin.y() - answers[i - 1].origin.y(), double(step));
            // The first text of the next line would not have fitted on this one.
            const QString next = answers[i].text.section(QLatin1String(" - "), 0, 0) + QStringLiteral(" - ");
            QVERIFY(QFontMetrics(arialFont(-22)).horizontalAdvance(answers[i - 1].text + next) > 1000);
        }
        joined += answers[i].text;
    }
    QCOMPARE(joined, sheetAnswerTexts(d, 1).join(QStringLiteral(" - ")));

    o.answerTexts = false;
    QVERIFY(aboveTheMap(BuildSheet(d, o)).isEmpty());
}

void TestSheet::imageBody_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("Arbeitsblatt") << int(skWorksheet);
    QTest::newRow("Lösungsblatt") << int(skSolutionSheet);
    QTest::newRow("Folie") << int(skOverlay);
}

// The picture 1000 wide at its proportions, framed; answer frames on the worksheet,
// red solutions on the solution sheet and the overlay; the plain text belongs to the
// picture; info points stay off the sheet.
void TestSheet::imageBody()
{
    QFETCH(int, kind);
    const TopicDocument d = labelDocument(870, 435);
    const SheetPicture sheet = BuildSheet(d, optionsOf(kind));
    const QList<SheetItem> images = itemsOf(sheet, SheetItem::Image);
    const QList<SheetItem> solutions = [&] {
        QList<SheetItem> s;
        for (const SheetItem &i : sheet.items)
            if (isSolution(i))
                s << i;
        return s;
    }();
    QStringList solutionTexts;
    for (const SheetItem &i : solutions)
        solutionTexts << i.text;
    solutionTexts.sort();

    const QList<SheetItem> answerFrames = [&] {
        QList<SheetItem> f;
        for (const SheetItem &i : itemsOf(sheet, SheetItem::Rect))
            if (i.fill == QColor(Qt::white))
                f << i;
        return f;
    }();
    QCOMPARE(answerFrames.size(), kind == skOverlay ? 0 : 2 * 3); // two rectangles make a frame
    QCOMPARE(solutionTexts, kind == skWorksheet ? QStringList() : QStringList({"Bern", "Wien", "Zürich"}));
    QCOMPARE(textItem(sheet, QStringLiteral("Alpen")) != nullptr, kind != skOverlay);
    QVERIFY(!textItem(sheet, QStringLiteral("Info")));
    if (kind == skOverlay) {
        QVERIFY(images.isEmpty());
        return;
    }
    QCOMPARE(images.size(), 1);
    const QRectF body = images[0].rect;
    QCOMPARE(body.x(), 0.0);
    QCOMPARE(body.width(), 1000.0);
    QCOMPARE(body.height(), 500.0);
    QCOMPARE(images[0].image.size(), QSize(870, 435));
    QVERIFY(frames(sheet).contains(body));
    for (const SheetItem &f : answerFrames)
        QVERIFY2(body.adjusted(-1, -1, 1, 1).contains(f.rect), "frames stay on the picture");
    for (const SheetItem &s : solutions)
        QVERIFY(body.adjusted(-1, -1, 1, 1).contains(s.textBox().center()));
}

// Labels close together would give answer frames on top of each other: the map then
// carries numbered points and the answers go into numbered lines under it, on all three
// sheets at the same places. One label apart keeps the map's own frames elsewhere.
void TestSheet::crowdedMapNumbersItsPoints()
{
    TopicDocument d = documentFrom(R"({"titel": "Mitteleuropa", "DokTyp": 0, "objects": [
        {"Cap": "Prag", "Sx": 0.50, "Sy": 0.40, "Kx": 0.50, "Ky": 0.40, "KAusr": 1},
        {"Cap": "Wien", "Sx": 0.52, "Sy": 0.45, "Kx": 0.52, "Ky": 0.45, "KAusr": 1},
        {"Cap": "Bratislava", "Sx": 0.55, "Sy": 0.47, "Kx": 0.55, "Ky": 0.47, "KAusr": 1},
        {"Cap": "Budapest", "Sx": 0.60, "Sy": 0.52, "Kx": 0.60, "Ky": 0.52, "KAusr": 1},
        {"Cap": "Alpen", "Typ": 1, "Sx": 0.2, "Sy": 0.8, "Kx": 0.2, "Ky": 0.8, "KAusr": 1}]})");
    d.baseImage = QImage(870, 435, QImage::Format_ARGB32);
    d.baseImage.fill(QColor(230, 240, 250));
    SheetOptions options = optionsOf(skWorksheet);
    options.answerTexts = false;
    const SheetPicture work = BuildSheet(d, options);
    options.kind = skSolutionSheet;
    const SheetPicture solution = BuildSheet(d, options);
    options.kind = skOverlay;
    const SheetPicture overlay = BuildSheet(d, options);

    const QRectF body = itemsOf(work, SheetItem::Image).value(0).rect;
    QVERIFY(!body.isEmpty());
    for (const SheetItem &r : itemsOf(work, SheetItem::Rect))
        QVERIFY2(r.fill != QColor(Qt::white), "no answer frame on a crowded map");
    QVERIFY(textItem(work, QStringLiteral("Alpen"))); // the picture's own text stays

    // Reading order of the spots: Prag, Wien, Bratislava, Budapest.
    const QStringList order{"Prag", "Wien", "Bratislava", "Budapest"};
    const QList<SheetItem> discs = itemsOf(work, SheetItem::Polygon);
    QCOMPARE(discs.size(), order.size());
    for (qsizetype n = 0; n < order.size(); ++n) {
        const QString number = QString::number(n + 1);
        const SheetItem *inDisc = textItem(work, number);
        QVERIFY2(inDisc, qPrintable(number));
        QVERIFY(body.contains(inDisc->textBox().center()));
        const SheetItem *line = textItem(work, number + QLatin1Char('.'));
        QVERIFY2(line && line->origin.y() > body.bottom(), qPrintable(number));
        QVERIFY(!textItem(work, order.at(n)));
        // The answer stands in red on its number's line, the same on the overlay.
        const SheetItem *word = textItem(solution, order.at(n));
        QVERIFY2(word && isSolution(*word), qPrintable(order.at(n)));
        QCOMPARE(word->origin.y(), line->origin.y());
        QVERIFY(word->origin.x() > line->origin.x());
        const SheetItem *onOverlay = textItem(overlay, order.at(n));
        QVERIFY(onOverlay && isSolution(*onOverlay));
        QCOMPARE(onOverlay->origin, word->origin);
        QVERIFY(!textItem(overlay, number + QLatin1Char('.')));
    }
    const SheetItem *spot = textItem(work, QStringLiteral("1"));
    QVERIFY(qAbs(spot->textBox().center().x() - (body.left() + 0.5 * body.width())) < 6);
    QVERIFY(textItem(work, QStringLiteral("4."))->origin.y() + 10 < footerTop());

    // Moved apart, the same labels keep their frames and nothing is numbered.
    d.objects[1].Sx = d.objects[1].Kx = 0.1;
    d.objects[1].Sy = d.objects[1].Ky = 0.1;
    d.objects[2].Sx = d.objects[2].Kx = 0.15;
    d.objects[2].Sy = d.objects[2].Ky = 0.7;
    d.objects[3].Sx = d.objects[3].Kx = 0.7;
    d.objects[3].Sy = d.objects[3].Ky = 0.85;
    options.kind = skWorksheet;
    const SheetPicture apart = BuildSheet(d, options);
    int whiteFrames = 0;
    for (const SheetItem &r : itemsOf(apart, SheetItem::Rect))
        whiteFrames += r.fill == QColor(Qt::white);
    QCOMPARE(whiteFrames, 2 * 4);
    QVERIFY(!textItem(apart, QStringLiteral("1.")));
}

// The cloze text between 20 and 970, framed across the sheet; gaps as lines on the
// worksheet, lines and red words on the solution sheet. A text too long for the
// sheet is set smaller, so that it ends above the footer.
void TestSheet::clozeBody()
{
    const TopicDocument d = clozeDocument();
    const SheetPicture work = BuildSheet(d, optionsOf(skWorksheet, QString()));
    const SheetPicture solution = BuildSheet(d, optionsOf(skSolutionSheet, QString()));
    const QList<SheetItem> body = textsOfHeight(solution, 30);
    QVERIFY(!body.isEmpty());
    double left = 1e9;
    for (const SheetItem &t : body) {
        left = qMin(left, t.origin.x());
        QVERIFY2(t.textBox().right() <= 970.5 || t.text.trimmed().isEmpty(), qPrintable(t.text));
    }
    QCOMPARE(left, 20.0);
    for (const char *word : {"Sonne", "verdunstet", "Regen"}) {
        const SheetItem *red = textItem(solution, QStringLiteral("   ") + QString::fromUtf8(word));
        QVERIFY2(red && isSolution(*red), word);
        QVERIFY(!textItem(work, red->text));
        // The blank line of the gap starts where the word's padding starts.
        bool lineFound = false;
        for (const SheetItem &l : itemsOf(work, SheetItem::Line))
            lineFound = lineFound || (l.points[0].x() == red->origin.x() && l.points[0].y() > red->origin.y() - red->ascent
                                      && l.points[0].y() <= red->origin.y() + red->descent + 1);
        QVERIFY2(lineFound, word);
    }
    // The full stop after a gap stays on the gap's line.
    const SheetItem *stop = textItem(solution, QStringLiteral("."));
    QVERIFY(stop);
    QCOMPARE(stop->origin.y(), textItem(solution, QStringLiteral("   Regen"))->origin.y());

    const QList<QRectF> workFrames = frames(work);
    QVERIFY(std::any_of(workFrames.begin(), workFrames.end(), [&](const QRectF &r) {
        return r.left() == 0 && r.width() == 1000 && r.top() < body.first().origin.y()
            && r.bottom() > body.last().origin.y();
    }));

    TopicDocument longText = d;
    for (int i = 0; i < 40; ++i)
        longText.lueckentext += QStringLiteral("\r\nEine weitere Zeile mit einer <<Lücke>> und noch etwas Text dahinter.");
    const SheetPicture fitted = BuildSheet(longText, optionsOf(skSolutionSheet));
    double lowest = 0;
    double fontHeight = 0;
    for (const SheetItem &t : itemsOf(fitted, SheetItem::Text))
        if (t.origin.x() >= 20 && t.origin.y() < footerTop() - 1 && t.font.height > fontHeight && !t.font.bold
            && t.text.contains(QLatin1String("Zeile"))) {
            fontHeight = t.font.height;
        }
    for (const SheetItem &t : itemsOf(fitted, SheetItem::Text))
        if (t.text.contains(QLatin1String("Zeile")))
            lowest = qMax(lowest, t.origin.y() + t.descent);
    QVERIFY2(fontHeight < 30 && fontHeight >= 16, qPrintable(QString::number(fontHeight)));
    QVERIFY2(lowest < footerTop(), qPrintable(QString::number(lowest)));
}

// Questions numbered over the non-empty lines, from the start question on; a question
// that does not fit ends the sheet; the first one is placed in any case.
void TestSheet::questionsBody()
{
    const TopicDocument d = questionDocument(8);
    SheetOptions o = optionsOf(skSolutionSheet);
    o.fromQuestion = 5;
    SheetPicture sheet = BuildSheet(d, o);
    QList<SheetItem> body = textsOfHeight(sheet, 25);
    QStringList numbered;
    for (const SheetItem &t : body)
        if (t.origin.x() == 20 && t.text.contains(QLatin1String(". Wie")))
            numbered << t.text.section(QLatin1Char('.'), 0, 0);
    QCOMPARE(numbered, QStringList({"5", "6", "7", "8"}));
    QCOMPARE(sheet.nextQuestion, 0);
    QVERIFY(textItem(sheet, QStringLiteral("Antwort 5")));
    QVERIFY(isSolution(*textItem(sheet, QStringLiteral("Antwort 5"))));
    QVERIFY(!textItem(sheet, QStringLiteral("Antwort 4")));
    // Only the answers from the start question on are listed.
    QVERIFY(textsOfHeight(sheet, 22).first().text.startsWith(QLatin1String("Antwort 5 - ")));

    o.fromQuestion = 1;
    sheet = BuildSheet(d, o);
    QVERIFY(textItem(sheet, QStringLiteral("3. Frage ohne Antwort 3")));
    QVERIFY(textItem(sheet, QStringLiteral("---")));
    // Each question ends with a separator across the sheet, just above the next one.
    const SheetItem *q2 = textItem(sheet, QStringLiteral("2. Wie heißt Frage 2?"));
    const SheetItem *a1 = textItem(sheet, QStringLiteral("Antwort 1"));
    QVERIFY(q2 && a1);
    bool separator = false;
    for (const SheetItem &l : itemsOf(sheet, SheetItem::Line))
        separator = separator
            || (l.points[0].x() == 0 && l.points[1].x() == 1000 && l.points[0].y() > a1->origin.y()
                && l.points[0].y() < q2->origin.y() - q2->ascent);
    QVERIFY(separator);

    // Too many questions for one sheet: the measure pass ends it, and the next sheet
    // begins with the first question left out.
    const TopicDocument many = questionDocument(60);
    const double full = kSheetHeight - 1.5 * lineHeight(25);
    sheet = BuildSheet(many, optionsOf(skSolutionSheet));
    QVERIFY(sheet.nextQuestion > 5 && sheet.nextQuestion < 60);
    for (const SheetItem &t : textsOfHeight(sheet, 25))
        QVERIFY2(t.origin.y() + t.descent < full, qPrintable(t.text));
    QVERIFY(textItem(sheet, QStringLiteral("Antwort %1").arg(sheet.nextQuestion - 1)));
    QVERIFY(!textItem(sheet, QStringLiteral("Antwort %1").arg(sheet.nextQuestion)));
    o.fromQuestion = sheet.nextQuestion;
    const SheetPicture next = BuildSheet(many, o);
    const QString first = QString::number(sheet.nextQuestion) + QStringLiteral(". Wie heißt Frage ")
        + QString::number(sheet.nextQuestion) + QLatin1Char('?');
    QVERIFY(textItem(next, first));

    // A single question longer than the sheet still gets its sheet.
    TopicDocument huge = d;
    huge.fragentext = QStringLiteral("Sehr lang ").repeated(900) + QStringLiteral("// Ende\r\nZweite // Zwei");
    sheet = BuildSheet(huge, optionsOf(skWorksheet));
    const QList<SheetItem> hugeTexts = textsOfHeight(sheet, 25);
    QVERIFY(std::any_of(hugeTexts.begin(), hugeTexts.end(),
                        [](const SheetItem &t) { return t.text.startsWith(QLatin1String("1. Sehr lang")); }));
    QCOMPARE(sheet.nextQuestion, 2);
}

void TestSheet::footer()
{
    SheetOptions o = optionsOf(skWorksheet);
    o.footerAddress = QStringLiteral("www.example.org");
    const SheetPicture sheet = BuildSheet(questionDocument(2), o);
    const int y = footerTop();
    QVERIFY(hasLine(sheet, QPointF(0, y), QPointF(1000, y)));
    const SheetItem *text = textItem(sheet, QStringLiteral("erstellt mit TSR - Tessaro für interaktive Übungen"));
    const SheetItem *address = textItem(sheet, QStringLiteral("www.example.org"));
    QVERIFY(text && address);
    QCOMPARE(text->origin.x(), 0.0);
    QCOMPARE(nearest(text->origin.y() - text->ascent), y);
    QVERIFY(qAbs(address->textBox().right() - 1000) <= 1);
    QCOMPARE(address->origin.y(), text->origin.y());
    QVERIFY(!textItem(BuildSheet(questionDocument(2), optionsOf(skOverlay)), text->text));
}

void TestSheet::overlayHoldsExactlyTheSolutions_data()
{
    QTest::addColumn<int>("document");
    QTest::newRow("Bild") << 0;
    QTest::newRow("Lückentext") << 1;
    QTest::newRow("Einzelfragen") << 2;
}

// The overlay is the solution sheet's red words at the same places and nothing else;
// the worksheet has none of them.
void TestSheet::overlayHoldsExactlyTheSolutions()
{
    QFETCH(int, document);
    const TopicDocument d = document == 0 ? labelDocument() : document == 1 ? clozeDocument() : questionDocument(6);
    const SheetPicture solution = BuildSheet(d, optionsOf(skSolutionSheet));
    const SheetPicture overlay = BuildSheet(d, optionsOf(skOverlay));
    const SheetPicture work = BuildSheet(d, optionsOf(skWorksheet));
    QList<SheetItem> expected;
    for (const SheetItem &i : solution.items)
        if (isSolution(i))
            expected << i;
    QVERIFY(expected.size() >= 3);
    QCOMPARE(overlay.items.size(), expected.size());
    QVERIFY(overlay.items == expected);
    QVERIFY(std::none_of(work.items.begin(), work.items.end(), isSolution));
    // Worksheet and solution sheet share everything but the solutions.
    QList<SheetItem> baseOfSolution;
    for (const SheetItem &i : solution.items)
        if (!isSolution(i))
            baseOfSolution << i;
    if (document != 0) // the picture's solution sheet draws its frames in a pass of their own
        QVERIFY(baseOfSolution == work.items);
}

// Covers and quiz marks are not the document's (the learning card and a quiz keep their
// own), so a sheet is the same whatever they show; and the sheet does not change the
// document itself.
void TestSheet::sheetIgnoresQuizMarks()
{
    TopicDocument clean = labelDocument();
    TopicDocument marked = clean;
    const QList<DocObject> before = marked.objects;
    QVERIFY(BuildSheet(marked, optionsOf(skSolutionSheet)).items == BuildSheet(clean, optionsOf(skSolutionSheet)).items);
    for (qsizetype i = 0; i < before.size(); ++i)
        QCOMPARE(marked.objects[i].KAusrAkt, before[i].KAusrAkt);
}

void TestSheet::metafilesMatchTheSheet_data()
{
    QTest::addColumn<bool>("wmf");
    QTest::addColumn<int>("document");
    QTest::addColumn<int>("kind");
    for (bool wmf : {false, true})
        for (int document : {0, 1, 2})
            for (int kind : {int(skSolutionSheet), int(skOverlay)})
                QTest::addRow("%s %d %d", wmf ? "wmf" : "emf", document, kind) << wmf << document << kind;
}

// Every text of the sheet is a text record in Arial at its rounded place, with its
// rounded height and colour; the advances end where the text ends.
void TestSheet::metafilesMatchTheSheet()
{
    QFETCH(bool, wmf);
    QFETCH(int, document);
    QFETCH(int, kind);
    TopicDocument d = document == 0 ? labelDocument() : document == 1 ? clozeDocument() : questionDocument(4);
    d.titel = QStringLiteral("Größen – „Maße“ & <Zeichen>");
    SheetOptions o = optionsOf(kind, d.titel);
    const SheetPicture sheet = BuildSheet(d, o);
    const MetafileContent c = wmf ? readWmfFile(writeWmf(sheet)) : readEmfFile(writeEmf(sheet));
    QVERIFY2(c.ok(), qPrintable(c.error));
    if (wmf) {
        QCOMPARE(c.box, QRect(QPoint(0, 0), QPoint(1001, 1625)));
        QCOMPARE(c.unitsPerInch, kWmfUnitsPerInch);
    } else {
        QCOMPARE(c.box, QRect(0, 0, 1001, 1625));
        QCOMPARE(c.frame, QRect(QPoint(0, 0), QPoint(16600, 26948))); // 16.6 cm x 26.948 cm
    }
    const QList<SheetItem> texts = itemsOf(sheet, SheetItem::Text);
    QCOMPARE(c.texts.size(), texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const SheetItem &t = texts[i];
        const MetafileText &m = c.texts[i];
        QCOMPARE(m.text, wmf ? fromCp1252(toCp1252(t.text)) : t.text);
        QCOMPARE(m.reference, QPoint(nearest(t.origin.x()), nearest(t.origin.y())));
        QCOMPARE(m.fontHeight, nearest(t.font.height));
        QCOMPARE(m.face, QStringLiteral("Arial"));
        QCOMPARE(m.bold, t.font.bold);
        QCOMPARE(m.colour, quint32(t.pen.red() | t.pen.green() << 8 | t.pen.blue() << 16));
        QCOMPARE(m.dx.size(), t.text.size());
        QCOMPARE(std::accumulate(m.dx.begin(), m.dx.end(), 0),
                 nearest(t.origin.x() + t.textWidth()) - nearest(t.origin.x()));
    }
    const bool picture = document == 0 && kind != skOverlay;
    QCOMPARE(c.images, picture ? 1 : 0);
}

// The reader in these tests does notice a broken record size, a wrong placeable
// checksum and a missing end record.
void TestSheet::brokenMetafilesAreCaught()
{
    const SheetPicture sheet = BuildSheet(clozeDocument(), optionsOf(skSolutionSheet));
    const QByteArray emf = writeEmf(sheet);
    const QByteArray wmf = writeWmf(sheet);
    QVERIFY(readEmfFile(emf).ok());
    QVERIFY(readWmfFile(wmf).ok());

    // EMF: the third record's size a word too large.
    QByteArray broken = emf;
    qint64 at = qFromLittleEndian<quint32>(emf.constData() + 4);
    at += qFromLittleEndian<quint32>(emf.constData() + at + 4);
    qToLittleEndian<quint32>(qFromLittleEndian<quint32>(emf.constData() + at + 4) + 4, broken.data() + at + 4);
    QVERIFY(!readEmfFile(broken).ok());
    // EMF: without its end record, the header's counts made to match.
    broken = emf.left(emf.size() - 20);
    qToLittleEndian<quint32>(quint32(broken.size()), broken.data() + 48);
    qToLittleEndian<quint32>(qFromLittleEndian<quint32>(broken.constData() + 52) - 1, broken.data() + 52);
    QCOMPARE(readEmfFile(broken).error, QStringLiteral("EMR_EOF fehlt"));

    // WMF: a wrong checksum.
    broken = wmf;
    broken[20] = char(broken[20] ^ 0x01);
    QCOMPARE(readWmfFile(broken).error, QStringLiteral("Prüfsumme des Kopfes falsch"));
    // WMF: a record size pointing past the end.
    broken = wmf;
    qToLittleEndian<quint32>(0x7FFFFFF0u, broken.data() + 22 + 18);
    QVERIFY2(readWmfFile(broken).error.startsWith(QStringLiteral("Datensatzgröße")), qPrintable(readWmfFile(broken).error));
    // WMF: without its end record.
    broken = wmf.left(wmf.size() - 6);
    qToLittleEndian<quint32>(quint32((broken.size() - 22) / 2), broken.data() + 22 + 6);
    QCOMPARE(readWmfFile(broken).error, QStringLiteral("META_EOF fehlt"));
}

// Programs no one here wrote open the files: LibreOffice turns the EMF and the WMF
// into PDF, pdftotext finds the words where the sheet has them; our own PDF likewise.
void TestSheet::officeReadersFindTheWords()
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("LibreOffice or poppler-utils missing (scripts/setup installs them)");
    QTemporaryDir dir;
    TopicDocument d = clozeDocument();
    SheetOptions o = optionsOf(skSolutionSheet, d.titel);
    o.answerTexts = false; // the gap words appear only in the text
    const SheetPicture sheet = BuildSheet(d, o);
    QVERIFY(writeFile(dir.filePath(QStringLiteral("blatt-emf.emf")), writeEmf(sheet)));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("blatt-wmf.wmf")), writeWmf(sheet)));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("blatt.pdf")), writePdf(sheet)));
    QProcess office;
    office.setWorkingDirectory(dir.path());
    office.start(soffice, {QStringLiteral("--headless"),
                           QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profil")),
                           QStringLiteral("--convert-to"), QStringLiteral("pdf"), QStringLiteral("--outdir"),
                           dir.filePath(QStringLiteral("lo")), QStringLiteral("blatt-emf.emf"),
                           QStringLiteral("blatt-wmf.wmf")});
    QVERIFY(office.waitForFinished(180000));

    // Sheet units to points: the EMF frame and the WMF's units per inch both make the
    // sheet 16.6 cm wide.
    const double emfScale = 166.0 / 25.4 * 72 / 1001;
    const double wmfScale = 72.0 / kWmfUnitsPerInch;
    struct Reading {
        QString pdf;
        double scale;
    } readings[] = {{dir.filePath(QStringLiteral("lo/blatt-emf.pdf")), emfScale},
                    {dir.filePath(QStringLiteral("lo/blatt-wmf.pdf")), wmfScale},
                    {dir.filePath(QStringLiteral("blatt.pdf")), emfScale}};
    const SheetItem *name = textItem(sheet, QStringLiteral("Name:"));
    const SheetItem *title = textItem(sheet, d.titel);
    const SheetItem *solution = textItem(sheet, QStringLiteral("   verdunstet"));
    const SheetItem *address = textItem(sheet, sheetFooterAddress());
    QVERIFY(name && title && solution && address);
    for (const Reading &r : readings) {
        QVERIFY2(QFileInfo::exists(r.pdf), qPrintable(r.pdf));
        const QList<PdfWord> words = pdfWords(r.pdf);
        const QRectF n = wordBox(words, QStringLiteral("Name:"));
        QVERIFY2(!n.isNull(), qPrintable(r.pdf));
        // The page may hold the picture anywhere: positions count from "Name:".
        const QPointF origin(n.left() - name->origin.x() * r.scale, n.bottom() - (name->origin.y() + name->descent) * r.scale);
        auto check = [&](const QString &word, const SheetItem &item, double xInItem) {
            const QRectF box = wordBox(words, word);
            QVERIFY2(!box.isNull(), qPrintable(word + QStringLiteral(" in ") + r.pdf));
            const double x = origin.x() + (item.origin.x() + xInItem) * r.scale;
            const double bottom = origin.y() + (item.origin.y() + item.descent) * r.scale;
            QVERIFY2(qAbs(box.left() - x) < 2.5, qPrintable(QStringLiteral("%1 x %2 statt %3 in %4").arg(word).arg(box.left()).arg(x).arg(r.pdf)));
            QVERIFY2(qAbs(box.bottom() - bottom) < 2.5, qPrintable(QStringLiteral("%1 y %2 statt %3 in %4").arg(word).arg(box.bottom()).arg(bottom).arg(r.pdf)));
            const double height = (item.ascent + item.descent) * r.scale;
            QVERIFY2(qAbs(box.height() - height) < 0.2 * height, qPrintable(word + QStringLiteral(" Größe")));
        };
        check(QStringLiteral("Der"), *title, 0);
        const double blanks = QFontMetricsF(arialFont(-30)).horizontalAdvance(QStringLiteral("   ")) * solution->font.height / 30;
        check(QStringLiteral("verdunstet"), *solution, blanks);
        check(sheetFooterAddress(), *address, 0);
        QVERIFY(qAbs(wordBox(words, sheetFooterAddress()).right() - (origin.x() + 1000 * r.scale)) < 2.5);
    }
}

void TestSheet::saveDialogAndExtensionRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("EMF groß") << QStringLiteral("blatt.EMF") << QByteArray::fromHex("01000000");
    QTest::newRow("WMF") << QStringLiteral("blatt.wmf") << QByteArray::fromHex("d7cdc69a");
    QTest::newRow("PDF") << QStringLiteral("blatt.Pdf") << QByteArray("%PDF");
    QTest::newRow("SVG") << QStringLiteral("blatt.svg") << QByteArray("<?xml");
    QTest::newRow("PNG abgelehnt") << QStringLiteral("blatt.png") << QByteArray();
    QTest::newRow("ohne Endung") << QStringLiteral("blatt") << QByteArray();
    QTest::newRow("abgebrochen") << QString() << QByteArray();
}

void TestSheet::saveDialogAndExtensionRule()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, start);
    QTemporaryDir dir;
    ScriptedSaveDialog dialog;
    ScriptedMessages messages;
    const QString path = name.isEmpty() ? QString() : dir.filePath(name);
    dialog.answers << path;
    const SheetPicture sheet = BuildSheet(clozeDocument(), optionsOf(skWorksheet));
    QCOMPARE(SaveSheet(sheet, dialog, messages), !start.isEmpty());
    QCOMPARE(dialog.asked.size(), 1);
    QCOMPARE(dialog.asked[0].title, QStringLiteral("Arbeitsblatt exportieren"));
    QVERIFY(dialog.asked[0].filter.startsWith(
        QLatin1String("Enhanced Metafile (*.emf)|*.emf|Metafile (*.wmf)|*.wmf|")));
    QVERIFY(dialog.asked[0].filter.endsWith(QLatin1String("|Alle Dateien (*.*)|*.*")));
    QCOMPARE(dialog.asked[0].defaultExtension, QStringLiteral("emf"));
    QVERIFY(dialog.asked[0].overwritePrompt);
    if (start.isEmpty()) {
        QCOMPARE(messages.texts(), name.isEmpty() ? QStringList()
                                                  : QStringList{"Speichern fehlgeschlagen wegen ungültiger "
                                                                "Dateinamenserweiterung."});
        QVERIFY(QDir(dir.path()).isEmpty());
        return;
    }
    QVERIFY(messages.texts().isEmpty());
    QVERIFY(readFile(path).startsWith(start));

    // A folder that does not exist: the write error box, nothing else.
    dialog.answers << dir.filePath(QStringLiteral("fehlt/") + name);
    QVERIFY(!SaveSheet(sheet, dialog, messages));
    QCOMPARE(messages.texts(), QStringList{writeErrorText(dir.filePath(QStringLiteral("fehlt/") + name))});
}

// SVG and PNG as the files and the clipboard carry them.
void TestSheet::otherForms()
{
    const TopicDocument d = labelDocument();
    const SheetPicture sheet = BuildSheet(d, optionsOf(skSolutionSheet, QStringLiteral("A & B <C>")));
    QXmlStreamReader xml(writeSvg(sheet));
    QStringList texts;
    int images = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String("svg"))
                QCOMPARE(xml.attributes().value(QLatin1String("viewBox")).toString(), QStringLiteral("0 0 1001 1625"));
            if (xml.name() == QLatin1String("text"))
                texts << xml.readElementText();
            if (xml.name() == QLatin1String("image"))
                ++images;
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(texts.contains(QStringLiteral("A & B <C>")));
    QVERIFY(texts.contains(QStringLiteral("Zürich")));
    QCOMPARE(images, 1);

    const QByteArray png = writeSheetPng(sheet);
    const QImage image = QImage::fromData(png, "PNG");
    QCOMPARE(image.size(), QSize(1961, 3183));
    QCOMPARE(image.dotsPerMeterX(), 11811);
    QCOMPARE(image.pixelColor(500, 3000), QColor(Qt::white));

    std::unique_ptr<QMimeData> mime(sheetMimeData(sheet));
    QVERIFY(readEmfFile(mime->data(QStringLiteral("image/x-emf"))).ok());
    QVERIFY(mime->data(QStringLiteral("image/svg+xml")).startsWith("<?xml"));
    QCOMPARE(qvariant_cast<QImage>(mime->imageData()).size(), QSize(1961, 3183));
}

// Width and height follow each other through the ratio; the sheet lands where the
// fields say, counted from the paper's corner.
void TestSheet::printPlacement()
{
    const double ratio = 1001.0 / 1625.0;
    QCOMPARE(heightForWidth(16.6, ratio), 26.9);
    QCOMPARE(widthForHeight(17.0, ratio), 10.5);
    QCOMPARE(heightForWidth(5, 0), 5.0);
    const SheetPrintArea area{2.2, 1.4, 16.6, 26.9, true};
    const QRectF r = sheetPrintRect(area, 600, 300);
    QCOMPARE(r.left(), 2.2 / 2.54 * 600);
    QCOMPARE(r.top(), 1.4 / 2.54 * 300);
    QCOMPARE(r.width(), 16.6 / 2.54 * 600);
    QVERIFY(sheetPrintFits(area, QSizeF(21.0, 29.7)));
    QVERIFY(!sheetPrintFits(SheetPrintArea{5, 1.4, 16.6, 26.9, true}, QSizeF(21.0, 29.7)));
    QVERIFY(!sheetPrintFits(SheetPrintArea{2.2, 3.5, 16.6, 26.9, true}, QSizeF(21.0, 29.7)));
}

// "kapitolo-tool worksheet" gives the window's sheet with its flags, in the format of
// the extension; a wrong extension is refused.
void TestSheet::toolWritesTheSheet()
{
    const QString tool = qEnvironmentVariable("KAPITOLO_TOOL");
    if (tool.isEmpty())
        QSKIP("KAPITOLO_TOOL is not set (the test runs under CTest)");
    QTemporaryDir dir;
    TopicDocument d = questionDocument(60);
    ScriptedMessages messages;
    const QString source = dir.filePath(QStringLiteral("fragen.tsr"));
    QVERIFY(writeDocument(source, d, false, messages));
    auto run = [&](const QStringList &args, QString *out = nullptr) {
        QProcess p;
        p.start(tool, QStringList{QStringLiteral("worksheet")} + args);
        p.waitForFinished(60000);
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    };
    QString out;
    const QString emf = dir.filePath(QStringLiteral("folie.emf"));
    QCOMPARE(run({source, emf, QStringLiteral("--kind"), QStringLiteral("1"), QStringLiteral("--from"),
                  QStringLiteral("7"), QStringLiteral("--title"), QStringLiteral("Probe"), QStringLiteral("--no-name"),
                  QStringLiteral("--no-date"), QStringLiteral("--no-answers"), QStringLiteral("--task"),
                  QStringLiteral("Löse!")},
                 &out),
             0);
    SheetOptions o = optionsOf(skSolutionSheet, QStringLiteral("Probe"));
    o.fromQuestion = 7;
    o.nameField = false;
    o.dateField = false;
    o.answerTexts = false;
    o.task = QStringLiteral("Löse!");
    TopicDocument reread;
    TopicNavigation navigation;
    QCOMPARE(readDocument(source, reread, navigation, messages), ReadResult::Ok);
    const SheetPicture expected = BuildSheet(reread, o);
    QVERIFY(readFile(emf) == writeEmf(expected));
    QVERIFY2(out.split(QLatin1Char('\n')).contains(QStringLiteral("weiter mit --from %1").arg(expected.nextQuestion)),
             qPrintable(out));

    // The default title is the document's; PNG is 300 dpi.
    const QString png = dir.filePath(QStringLiteral("blatt.png"));
    QCOMPARE(run({source, png}), 0);
    QCOMPARE(QImage(png).size(), QSize(1961, 3183));
    QCOMPARE(run({source, dir.filePath(QStringLiteral("blatt.doc"))}, &out), 2);
    QVERIFY2(out.contains(QStringLiteral("Speichern fehlgeschlagen wegen ungültiger Dateinamenserweiterung.")),
             qPrintable(out));
    QCOMPARE(run({source, emf, QStringLiteral("--kind"), QStringLiteral("3")}), 2);
    QCOMPARE(run({dir.filePath(QStringLiteral("fehlt.tsr")), emf}), 1);
}

QTEST_MAIN(TestSheet)
#include "tst_sheet.moc"
