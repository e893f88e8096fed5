#include "quiz/dialog_rules.h"
#include "quiz/quiz_types.h"
#include "quiz/rating_scale.h"

#include <QFont>
#include <QFontMetrics>
#include <QTest>

using namespace kapitolo;

namespace {

const QColor kPanel(246, 246, 242);

bool isPanel(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y) == kPanel;
}

// Pixels that differ from the panel inside a rectangle of the canvas.
int inkIn(const QImage &image, const QRect &rect)
{
    int count = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            count += isPanel(image, x, y) ? 0 : 1;
    return count;
}

} // namespace

class TestQuizDialogRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timeFieldValue_data();
    void timeFieldValue();
    void finishedDialogTexts();
    void keyFigureLines();

    void scaleGeometry_data();
    void scaleGeometry();
    void bandColoursAtTheirRows();
    void resultLineAndLabel_data();
    void resultLineAndLabel();
    void thresholdLabelsAndTicks();
};

void TestQuizDialogRules::timeFieldValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("number") << "45" << 45;
    QTest::newRow("blanks removed") << " 1 2 " << 12;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("letters") << "ab" << 0;
    QTest::newRow("decimal comma rounds down") << "2,4" << 2;
    QTest::newRow("tie to even up") << "3.5" << 4;
    QTest::newRow("above the range") << "75" << 59;
    QTest::newRow("negative") << "-4" << 0;
    QTest::newRow("infinite") << "inf" << 0;
}

void TestQuizDialogRules::timeFieldValue()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(kapitolo::timeFieldValue(text), value);
}

void TestQuizDialogRules::finishedDialogTexts()
{
    QCOMPARE(correctOfTotalText(15, 20), QStringLiteral("15  von  20"));
    QCOMPARE(correctOfTotalText(0, 7), QStringLiteral("0  von  7"));

    // Repetition only after an own quiz with at least one failed attempt.
    QVERIFY(repetitionOffered(nrOwnQuiz, 1));
    QVERIFY(!repetitionOffered(nrOwnQuiz, 0));
    QVERIFY(!repetitionOffered(nrParticipant, 3));
    QVERIFY(!repetitionOffered(nrInitiator, 3));
}

void TestQuizDialogRules::keyFigureLines()
{
    const QStringList lines = kapitolo::keyFigureLines();
    QCOMPARE(lines.size(), 25);
    for (int empty : {4, 7, 11, 15, 18, 23})
        QVERIFY2(lines.at(empty - 1).isEmpty(), qPrintable(QString::number(empty)));
    // Lines that continue on the next one keep their trailing blank.
    QCOMPARE(lines.at(1), QStringLiteral("Zeigt den aktuellen Status an. "));
    QCOMPARE(lines.at(8),
             QStringLiteral("Gibt die bisherige Anzahl der falschen Antworten an. Fragen, die falsch beantwortet "));
    QCOMPARE(lines.at(20),
             QStringLiteral("Diese Kennzahl ist die Grundlage der Leistungsbwertung (Benotung) am Ende des "));
    QCOMPARE(lines.at(24), QStringLiteral("Zeigt die bisher benötigte Zeit im Format \"Minuten:Sekunden\" an."));
}

void TestQuizDialogRules::scaleGeometry_data()
{
    QTest::addColumn<QSize>("canvas");
    QTest::addColumn<int>("barLeft");
    QTest::addColumn<int>("barRight");
    QTest::addColumn<QList<int>>("lines");
    // 176 x 236: S = 212; 0.4 * 176 = 70.4, 0.6 * 176 = 105.6.
    QTest::newRow("dialog") << QSize(176, 236) << 70 << 106 << QList<int>{12, 44, 76, 107, 139, 171, 224};
    // 0.4 * 125 = 50, 0.6 * 125 = 75; S = 50: 12 + 7.5 = 19.5 and 12 + 22.5 = 34.5 go to the even row.
    QTest::newRow("ties") << QSize(125, 74) << 50 << 75 << QList<int>{12, 20, 27, 34, 42, 50, 62};
}

void TestQuizDialogRules::scaleGeometry()
{
    QFETCH(QSize, canvas);
    QFETCH(int, barLeft);
    QFETCH(int, barRight);
    QFETCH(QList<int>, lines);
    const RatingScaleGeometry g(canvas);
    QCOMPARE(g.barLeft, barLeft);
    QCOMPARE(g.barRight, barRight);
    QCOMPARE(QList<int>(std::begin(g.lines), std::end(g.lines)), lines);
    QCOMPARE(g.bottom, canvas.height() - 12);
}

void TestQuizDialogRules::bandColoursAtTheirRows()
{
    const QSize canvas(176, 236);
    const QImage image = drawRatingScale(canvas, kPanel, 0.5);
    const RatingScaleGeometry g(canvas);
    const QColor expected[6] = {QColor(0, 255, 0),   QColor(191, 255, 0), QColor(255, 255, 0),
                                QColor(255, 224, 0), QColor(255, 160, 0), QColor(255, 0, 0)};
    for (int grade = 1; grade <= 6; ++grade) {
        const int y0 = g.lines[grade - 1];
        const int y1 = g.lines[grade];
        QCOMPARE(gradeBandColor(grade), expected[grade - 1]);
        // Inside the band, clear of the grade number in its middle: the band's colour.
        for (int y : {y0 + 1, y0 + 2, y1 - 2, y1 - 1}) {
            QCOMPARE(image.pixelColor(g.barLeft + 2, y), expected[grade - 1]);
            QCOMPARE(image.pixelColor(g.barRight - 3, y), expected[grade - 1]);
        }
        // Black outline: the band's lines and its left and right columns.
        QCOMPARE(image.pixelColor(g.barLeft + 5, y0), QColor(Qt::black));
        QCOMPARE(image.pixelColor(g.barLeft + 5, y1), QColor(Qt::black));
        QCOMPARE(image.pixelColor(g.barLeft, (y0 + y1) / 2), QColor(Qt::black));
        QCOMPARE(image.pixelColor(g.barRight - 1, (y0 + y1) / 2), QColor(Qt::black));
        // The grade number in the band's middle.
        int dark = 0;
        for (int y = y0 + 1; y < y1; ++y)
            for (int x = g.barLeft + 1; x < g.barRight - 1; ++x)
                dark += image.pixelColor(x, y).lightness() < 100 ? 1 : 0;
        QVERIFY2(dark > 3, qPrintable(QStringLiteral("no grade number in band %1").arg(grade)));
    }
    // Nothing is drawn left and right of the bar except ticks and labels; a column at the
    // bar's outside edge stays panel colour.
    QVERIFY(isPanel(image, g.barRight, g.lines[1] + 5));
    QVERIFY(isPanel(image, g.barLeft - 1, g.lines[1] + 5));
}

void TestQuizDialogRules::resultLineAndLabel_data()
{
    QTest::addColumn<double>("performance");
    QTest::addColumn<int>("band");
    QTest::addColumn<QString>("label");
    QTest::newRow("72.5 in band 2") << 0.725 << 2 << "72.5%";
    QTest::newRow("85 on the line") << 0.85 << 1 << "85.0%";
    QTest::newRow("full marks") << 1.0 << 1 << "100.0%";
    QTest::newRow("nothing") << 0.0 << 6 << "0.0%";
    QTest::newRow("third") << 1.0 / 3.0 << 5 << "33.3%";
}

void TestQuizDialogRules::resultLineAndLabel()
{
    QFETCH(double, performance);
    QFETCH(int, band);
    QFETCH(QString, label);
    const QSize canvas(176, 236);
    const RatingScaleGeometry g(canvas);
    const QImage image = drawRatingScale(canvas, kPanel, performance);
    QCOMPARE(ratingScaleResultText(performance), label);

    const int row = g.resultRow(performance);
    QVERIFY(row >= g.lines[band - 1] && row <= g.lines[band]);
    if (label == QLatin1String("72.5%")) {
        // 12 + 0.275 * 212 = 70.3: strictly inside band 2, away from its lines.
        QCOMPARE(row, 70);
        QVERIFY(row > g.lines[1] && row < g.lines[2]);
    }
    // Ten black pixels from the bar's right edge, nothing beyond them before the label.
    for (int x = g.barRight; x < g.barRight + 10; ++x)
        QCOMPARE(image.pixelColor(x, row), QColor(Qt::black));
    QVERIFY(isPanel(image, g.barRight + 10, row));
    QVERIFY(isPanel(image, g.barRight + 12, row));

    // The label starts 15 pixels right of the bar, as wide as its text in bold 8 pt.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    font.setBold(true);
    const int width = QFontMetrics(font).horizontalAdvance(label);
    const int baseline = std::min(row + 3, g.bottom);
    const QRect textBox(g.barRight + 15, baseline - 9, width, 10);
    QVERIFY(inkIn(image, textBox) > 10);
    QCOMPARE(inkIn(image, QRect(g.barRight + 11, baseline - 12, 3, 14)), 0);
    QCOMPARE(inkIn(image, QRect(g.barRight + 15 + width + 2, baseline - 12, 20, 16)), 0);
}

void TestQuizDialogRules::thresholdLabelsAndTicks()
{
    const QSize canvas(176, 236);
    const RatingScaleGeometry g(canvas);
    const QImage image = drawRatingScale(canvas, kPanel, 0.725);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(9);
    const QFontMetrics metrics(font);
    const char *labels[7] = {"100%", "85%", "70%", "55%", "40%", "25%", "0%"};
    for (int i = 0; i < 7; ++i) {
        const int y = g.lines[i];
        // The three-pixel tick left of the bar, and a gap before the label.
        for (int x = g.barLeft - 3; x < g.barLeft; ++x)
            QCOMPARE(image.pixelColor(x, y), QColor(Qt::black));
        QVERIFY(isPanel(image, g.barLeft - 4, y));
        const int baseline = std::min(y + 3, g.bottom);
        const int width = metrics.horizontalAdvance(QLatin1String(labels[i]));
        // Right-aligned, ending 7 pixels left of the bar.
        QVERIFY2(inkIn(image, QRect(g.barLeft - 7 - width, baseline - 8, width, 9)) > 5, labels[i]);
        QCOMPARE(inkIn(image, QRect(g.barLeft - 6, baseline - 8, 2, 9)), 0);
        QCOMPARE(inkIn(image, QRect(0, baseline - 8, g.barLeft - 9 - width, 9)), 0);
    }
    // The 0 % label may not drop below the scale's bottom.
    QCOMPARE(inkIn(image, QRect(0, g.bottom + 1, g.barLeft - 4, canvas.height() - g.bottom - 1)), 0);
}

// Text on the scale needs the font database of a GUI application (offscreen in the tests).
QTEST_MAIN(TestQuizDialogRules)
#include "tst_quiz_dialog_rules.moc"
