#include "view/canvas_text.h"
#include "view/markup_layout.h"
#include "view_test_support.h"

#include <QPainter>
#include <QTest>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

constexpr int kLeft = 10;
constexpr int kFontHeight = -20;
const QRgb kPaper = qRgb(255, 255, 255);

struct Laid {
    QImage image;
    int y = 0;
};

struct LayoutRun {
    int mode = mmInfoText;
    int rightEdge = 580;
    bool quiz = false;
    bool illustration = true;
    QList<DocObject> *objects = nullptr;
    int cardHeight = 400;
};

Laid layoutLines(const QStringList &lines, const LayoutRun &run = {})
{
    Laid laid;
    laid.image = QImage(600, 400, QImage::Format_RGB32);
    laid.image.fill(kPaper);
    QPainter painter(&laid.image);
    MarkupLayout layout(painter, run.rightEdge, Qt::black, run.mode, kFontHeight, 0, kLeft);
    layout.setQuizRunning(run.quiz);
    layout.setIllustrationOn(run.illustration);
    if (run.objects)
        layout.setGapObjects(run.objects, run.cardHeight);
    for (const QString &line : lines)
        laid.y = layout.LayoutMarkupLine(line, laid.y);
    return laid;
}

Laid layoutLine(const QString &line, const LayoutRun &run = {})
{
    return layoutLines({line}, run);
}

QFontMetrics metrics()
{
    return QFontMetrics(arialFont(kFontHeight));
}

int width(const QString &text)
{
    return metrics().horizontalAdvance(text);
}

DocObject gapObject(const QString &word)
{
    DocObject o;
    o.Typ = otGap;
    o.Cap = word;
    o.KAusr = 2;
    return o;
}

// One display line more: the height the layout advances per line in this run's mode.
int lineHeight(LayoutRun run)
{
    run.objects = nullptr;
    run.rightEdge = 580;
    const int one = layoutLine(QStringLiteral("a b"), run).y;
    run.rightEdge = kLeft + width(QStringLiteral("a b")) - 1;
    return layoutLine(QStringLiteral("a b"), run).y - one;
}

int countPixels(const QImage &image, bool (*test)(QRgb))
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += test(image.pixel(x, y));
    return n;
}

bool isRed(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) < 90 && qBlue(p) < 90;
}

} // namespace

class TestMarkupLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyLineAdvancesOneLine()
    {
        const Laid word = layoutLine(QStringLiteral("Wort"));
        for (const QString &empty : {QString(), QStringLiteral("   ")}) {
            const Laid blank = layoutLine(empty);
            QCOMPARE(blank.y, word.y);
            QVERIFY(inkBounds(blank.image, blank.image.rect(), kPaper).isEmpty());
        }
        // Source lines follow one another at the y each returns.
        const Laid three = layoutLines({QStringLiteral("Eins"), QString(), QStringLiteral("Drei")});
        QCOMPARE(three.y, 3 * word.y);
        QCOMPARE(inkBands(three.image, kPaper).size(), 2);
    }

    void breaksAtBlanks()
    {
        // The blank after "bbb" counts: it must fit as well.
        const int right = kLeft + width(QStringLiteral("aaa bbb ")) + 2;
        LayoutRun run;
        run.rightEdge = right;
        const Laid laid = layoutLine(QStringLiteral("aaa bbb ccc"), run);
        const auto bands = inkBands(laid.image, kPaper);
        QCOMPARE(bands.size(), 2);
        const QRect first = inkBounds(laid.image, QRect(0, bands[0].first, 600, bands[0].second - bands[0].first + 1), kPaper);
        const QRect second = inkBounds(laid.image, QRect(0, bands[1].first, 600, bands[1].second - bands[1].first + 1), kPaper);
        QVERIFY(first.right() < right);
        QVERIFY(first.right() > kLeft + width(QStringLiteral("aaa b")));
        QVERIFY(second.left() < kLeft + 3); // "ccc" starts the new line at the left edge
        QCOMPARE(laid.y, layoutLine(QStringLiteral("aaa")).y + lineHeight(run));
    }

    void longWordBreaksAfterTheOverflowingCharacter()
    {
        LayoutRun run;
        run.rightEdge = kLeft + width(QStringLiteral("Donau")) + 1;
        const Laid laid = layoutLine(QStringLiteral("Donaudampf"), run);
        const auto bands = inkBands(laid.image, kPaper);
        QVERIFY(bands.size() >= 2);
        const QRect first = inkBounds(laid.image, QRect(0, bands[0].first, 600, bands[0].second - bands[0].first + 1), kPaper);
        // "Donaud": the character that crossed the edge still ends the first line.
        QVERIFY2(first.right() > run.rightEdge, qPrintable(QString::number(first.right())));
        QVERIFY(first.right() <= kLeft + width(QStringLiteral("Donaud")) + 1);
    }

    void narrowEdgesStillFinish()
    {
        LayoutRun run;
        run.rightEdge = kLeft + 1;
        const Laid laid = layoutLine(QStringLiteral("ab cd <<ef gh>>. ij"), run);
        QVERIFY(laid.y > 0);
        run.mode = mmCardCloze;
        QList<DocObject> objects{gapObject(QStringLiteral("ef gh"))};
        run.objects = &objects;
        QVERIFY(layoutLine(QStringLiteral("ab <<ef gh>>"), run).y > 0);
        run.rightEdge = 0;
        QVERIFY(layoutLine(QStringLiteral("<@LINIE><@LINIE> x"), run).y > 0);
    }

    void gapThatDoesNotFitMovesWhole()
    {
        const QString prefix = QStringLiteral("Ein Satz mit ");
        const QString word = QStringLiteral("Rio de Janeiro");
        LayoutRun run;
        run.mode = mmCardCloze;
        run.rightEdge = kLeft + width(prefix) + width(QStringLiteral("Rio de")) + 2;
        QList<DocObject> objects{gapObject(word)};
        run.objects = &objects;
        layoutLine(prefix + QStringLiteral("<<") + word + QStringLiteral(">> am Ende"), run);

        QList<DocObject> alone{gapObject(word)};
        LayoutRun wide = run;
        wide.rightEdge = run.rightEdge; // the same edge: the fractions stay comparable
        wide.objects = &alone;
        layoutLine(QStringLiteral("<<") + word + QStringLiteral(">>"), wide);

        const double w = qMax(width(QLatin1Char(' ') + word), width(QStringLiteral(" XX")));
        // On the next line, at the left edge, in one piece.
        QCOMPARE(objects[0].Kx * run.rightEdge, kLeft + w / 2);
        QCOMPARE(alone[0].Kx, objects[0].Kx);
        QCOMPARE(qRound((objects[0].Ky - alone[0].Ky) * run.cardHeight), lineHeight(run));
        QCOMPARE(objects[0].Sx, objects[0].Kx);
        QCOMPARE(objects[0].Sy, objects[0].Ky);
    }

    void punctuationStaysWithItsGap()
    {
        const QString before = QStringLiteral("Wort ");
        const int gapWidth = qMax(width(QStringLiteral(" Lücke")), width(QStringLiteral(" XX")));
        LayoutRun run;
        run.mode = mmCardCloze;
        run.rightEdge = kLeft + width(before) + gapWidth; // the full stop no longer fits
        QList<DocObject> objects{gapObject(QStringLiteral("Lücke"))};
        run.objects = &objects;
        const Laid laid = layoutLine(before + QStringLiteral("<<Lücke>>."), run);
        LayoutRun oneLine = run;
        oneLine.rightEdge = 580;
        QCOMPARE(laid.y, layoutLine(QStringLiteral("Wort"), oneLine).y);
        const auto bands = inkBands(laid.image, kPaper);
        QCOMPARE(bands.size(), 1);
        const QRect ink = inkBounds(laid.image, laid.image.rect(), kPaper);
        QVERIFY(ink.right() >= run.rightEdge - 2); // the full stop right after the gap
    }

    void tagsAreMatchedWithoutRegardToCase()
    {
        const QImage lower = layoutLine(QStringLiteral("<b>Fett</b> und <i>schräg</i> <u>unter</u>")).image;
        const QImage upper = layoutLine(QStringLiteral("<B>Fett</B> und <I>schräg</I> <U>unter</U>")).image;
        const QImage plain = layoutLine(QStringLiteral("Fett und schräg unter")).image;
        QVERIFY(lower == upper);
        QVERIFY(lower != plain);
        const QImage boldOnly = layoutLine(QStringLiteral("<b>Fett</b>")).image;
        QVERIFY(inkBounds(boldOnly, boldOnly.rect(), kPaper).width()
                > inkBounds(layoutLine(QStringLiteral("Fett")).image, boldOnly.rect(), kPaper).width());
    }

    void colourTagsLeaveNoTrace()
    {
        const QImage tagged = layoutLine(QStringLiteral("Ein <@COL=ff0000>Wort</@COL>! <@col=00FF7a>zwei</@COL>")).image;
        // The same segments with style switches that change nothing.
        const QImage plain = layoutLine(QStringLiteral("Ein <U></U>Wort<U></U>! <I></I>zwei<I></I>")).image;
        QVERIFY(tagged == plain);
        QCOMPARE(countPixels(tagged, isRed), 0);
        // Something that only looks like a tag stays text.
        const QImage almost = layoutLine(QStringLiteral("<@COL=12345>x")).image;
        QVERIFY(almost != layoutLine(QStringLiteral("x")).image);
    }

    void angleBracketsAreTextInInfoTexts()
    {
        const QString text = QStringLiteral("a < b << c >> d");
        const Laid info = layoutLine(text);
        const QRect ink = inkBounds(info.image, info.image.rect(), kPaper);
        QVERIFY(qAbs(ink.width() - width(text)) <= 3);
        LayoutRun cloze;
        cloze.mode = mmWorksheetBlank;
        const Laid sheet = layoutLine(text, cloze);
        const QRect sheetInk = inkBounds(sheet.image, sheet.image.rect(), kPaper);
        QVERIFY(sheetInk.width() != ink.width()); // there " c " is a gap
        // A ">>" without a gap before it is text on a worksheet too.
        const Laid arrows = layoutLine(QStringLiteral("x >> y"), cloze);
        QVERIFY(qAbs(inkBounds(arrows.image, arrows.image.rect(), kPaper).width() - width(QStringLiteral("x >> y"))) <= 3);
    }

    void surplusGapsPositionNothing()
    {
        DocObject between;
        between.Typ = otLabel;
        between.Kx = 0.77;
        QList<DocObject> objects{gapObject(QStringLiteral("eins")), between, gapObject(QStringLiteral("zwei"))};
        LayoutRun run;
        run.mode = mmCardCloze;
        run.objects = &objects;
        QImage image(600, 400, QImage::Format_RGB32);
        QPainter painter(&image);
        MarkupLayout layout(painter, run.rightEdge, Qt::black, mmCardCloze, kFontHeight, 0, kLeft);
        layout.setGapObjects(&objects, run.cardHeight);
        int y = layout.LayoutMarkupLine(QStringLiteral("<<eins>> und <<zwei>> und <<drei>>"), 0);
        QCOMPARE(layout.gapCursor(), 3);
        QVERIFY(objects[0].Kx < objects[2].Kx);
        QCOMPARE(objects[1].Kx, 0.77);
        const DocObject first = objects[0];
        const DocObject second = objects[2];
        y = layout.LayoutMarkupLine(QStringLiteral("<<vier>>"), y);
        QCOMPARE(objects[0].Kx, first.Kx);
        QCOMPARE(objects[0].Ky, first.Ky);
        QCOMPARE(objects[2].Kx, second.Kx);
        QCOMPARE(objects[2].Ky, second.Ky);
    }

    void ruleEndsTheLine()
    {
        LayoutRun run;
        run.rightEdge = 500;
        const Laid laid = layoutLine(QStringLiteral("<@LINIE>Text danach"), run);
        const auto bands = inkBands(laid.image, kPaper);
        QCOMPARE(bands.size(), 2);
        QCOMPARE(bands[0].first, bands[0].second); // one pixel high
        const QRect rule = inkBounds(laid.image, QRect(0, bands[0].first, 600, 1), kPaper);
        QCOMPARE(rule.left(), kLeft);
        QVERIFY(rule.right() >= 499 && rule.right() <= 500);
        QCOMPARE(laid.y, layoutLine(QStringLiteral("a"), run).y + lineHeight(run));
    }

    void horizontalPositionAndRightAlignedFields()
    {
        LayoutRun run;
        run.rightEdge = 400;
        const Laid positioned = layoutLine(QStringLiteral("A<@POSX=50%>I"), run);
        const QRect right = inkBounds(positioned.image, QRect(100, 0, 500, 400), kPaper);
        QVERIFY2(qAbs(right.left() - 200) <= 3, qPrintable(QString::number(right.left())));

        const Laid field = layoutLine(QStringLiteral("<@REB=05>12,50"), run);
        const QRect digits = inkBounds(field.image, field.image.rect(), kPaper);
        const int fieldRight = kLeft + 5 * width(QStringLiteral("0"));
        QVERIFY2(qAbs(digits.right() - fieldRight) <= 3, qPrintable(QString::number(digits.right())));
        const Laid shortField = layoutLine(QStringLiteral("<@REB=05>1,50"), run);
        QVERIFY(inkBounds(shortField.image, shortField.image.rect(), kPaper).left() > digits.left());
    }

    void modesDecideWhatIsDrawn_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("quiz");
        QTest::addColumn<bool>("illustration");
        QTest::addColumn<bool>("plainDrawn");
        QTest::addColumn<bool>("redWord");
        QTest::addColumn<bool>("blankLine");
        QTest::newRow("0 info text") << 0 << false << true << true << false << false;
        QTest::newRow("1 blank") << 1 << false << true << true << false << true;
        QTest::newRow("2 solution outside a quiz") << 2 << false << true << false << true << false;
        QTest::newRow("2 solution in a quiz") << 2 << true << true << true << true << false;
        QTest::newRow("3 both") << 3 << false << true << true << true << true;
        QTest::newRow("-1 measure") << -1 << false << true << false << false << false;
        QTest::newRow("99 card") << 99 << false << true << true << false << false;
        QTest::newRow("99 without illustration") << 99 << false << false << false << false << false;
        QTest::newRow("99 without illustration in a quiz") << 99 << true << false << true << false << false;
    }
    void modesDecideWhatIsDrawn()
    {
        QFETCH(int, mode);
        QFETCH(bool, quiz);
        QFETCH(bool, illustration);
        QFETCH(bool, plainDrawn);
        QFETCH(bool, redWord);
        QFETCH(bool, blankLine);
        LayoutRun run;
        run.mode = mode;
        run.quiz = quiz;
        run.illustration = illustration;
        QList<DocObject> objects{gapObject(QStringLiteral("Lücke"))};
        run.objects = &objects;
        const Laid laid = layoutLine(QStringLiteral("Vorher <<Lücke>> nachher"), run);
        const QImage &img = laid.image;
        QCOMPARE(countPixels(img, isRed) > 20, redWord);
        // The plain words lie left of the gap and right of it.
        const int plainInk = inkBounds(img, QRect(0, 0, kLeft + width(QStringLiteral("Vorher")), 400), kPaper).width();
        QCOMPARE(plainInk > 0, plainDrawn);
        int longestBlackRun = 0;
        for (int y = 0; y < img.height(); ++y) {
            int run = 0;
            for (int x = 0; x < img.width(); ++x) {
                run = img.pixel(x, y) == qRgb(0, 0, 0) ? run + 1 : 0;
                longestBlackRun = qMax(longestBlackRun, run);
            }
        }
        QCOMPARE(longestBlackRun >= width(QStringLiteral("   Lücke   ")), blankLine);
        // Whatever is drawn, the layout measures the same.
        LayoutRun measure = run;
        measure.mode = mode == 99 ? 99 : mode > 0 ? 1 : 0; // gaps and line height need a mode above 0
        measure.quiz = true;
        if (mode != 0)
            QCOMPARE(laid.y, layoutLine(QStringLiteral("Vorher <<Lücke>> nachher"), measure).y);
    }

    void infoTextPicture()
    {
        QImage target;
        RenderInfoText(target, {QStringLiteral("Die <B>Insel</B>"), QString(), QStringLiteral("Ende")}, 300, 14,
                       QColor(255, 255, 255));
        QCOMPARE(target.width(), 300);
        QImage work(300, 3000, QImage::Format_RGB32);
        QPainter painter(&work);
        MarkupLayout layout(painter, 300, Qt::black, mmInfoText, 0, 14, 0);
        int y = 0;
        for (const QString &line : {QStringLiteral("Die <B>Insel</B>"), QString(), QStringLiteral("Ende")})
            y = layout.LayoutMarkupLine(line, y);
        QCOMPARE(target.height(), y);
        QCOMPARE(inkBands(target, qRgb(255, 255, 255)).size(), 2);

        QStringList many;
        for (int i = 0; i < 400; ++i)
            many << QStringLiteral("Zeile %1").arg(i);
        RenderInfoText(target, many, 200, 14, QColor(240, 240, 240));
        QCOMPARE(target.height(), kInfoTextMaxHeight);
        RenderInfoText(target, many, 0, 14, QColor(240, 240, 240));
        QVERIFY(target.isNull());
    }
};

QTEST_MAIN(TestMarkupLayout)
#include "tst_markup_layout.moc"
