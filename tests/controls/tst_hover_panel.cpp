#include "controls/hover_panel.h"

#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace kapitolo;

namespace {

using Layout = THoverPanel::CaptionLayout;

// A panel without bevel or border, so that every pixel shows the background.
void makePlain(THoverPanel &panel, QSize size = QSize(60, 40))
{
    panel.resize(size);
    panel.setBevelOuter(THoverPanel::Bevel::None);
    panel.setBorderWidth(0);
}

void enter(THoverPanel &panel)
{
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&panel, &event);
}

void leave(THoverPanel &panel)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(&panel, &event);
}

QColor pixel(const QImage &image, int x, int y)
{
    return QColor(image.pixel(x, y)).toRgb();
}

QImage grabbed(THoverPanel &panel)
{
    return panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Rows and columns that contain a pixel darker than the given level.
QRect inkBounds(const QImage &image, int below = 128)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < below)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

QSize measured(const QString &text, const QFont &font, int width, bool wrap)
{
    return breakCaption(text, QFontMetrics(font), width, wrap).size;
}

QFont arialPoints(int points)
{
    return QFont(QStringLiteral("Arial"), points);
}

} // namespace

class TestHoverPanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void backgroundFollowsHoverAndCheck_data()
    {
        QTest::addColumn<bool>("hoverActive");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("moves"); // e = mouse enters, l = mouse leaves
        QTest::addColumn<QColor>("expected");
        const QColor norm(200, 210, 220), hover(254, 254, 248), check(255, 255, 255);
        QTest::newRow("idle") << true << false << "" << norm;
        QTest::newRow("under the mouse") << true << false << "e" << hover;
        QTest::newRow("left again") << true << false << "el" << norm;
        QTest::newRow("checked") << true << true << "" << check;
        QTest::newRow("checked under the mouse") << true << true << "e" << hover;
        QTest::newRow("checked, left again") << true << true << "el" << check;
        QTest::newRow("hover off, entered") << false << false << "e" << norm;
        QTest::newRow("hover off, checked, entered") << false << true << "e" << check;
        QTest::newRow("hover off, entered and left") << false << true << "el" << check;
    }

    void backgroundFollowsHoverAndCheck()
    {
        QFETCH(bool, hoverActive);
        QFETCH(bool, checked);
        QFETCH(QString, moves);
        QFETCH(QColor, expected);

        THoverPanel panel;
        makePlain(panel);
        panel.setNormColor(QColor(200, 210, 220));
        panel.setHoverColor(QColor(254, 254, 248));
        panel.setCheckColor(QColor(255, 255, 255));
        panel.setHoverActive(hoverActive);
        panel.setChecked(checked);
        QSignalSpy entered(&panel, &THoverPanel::mouseEntered);
        QSignalSpy left(&panel, &THoverPanel::mouseLeft);

        for (QChar move : moves)
            move == u'e' ? enter(panel) : leave(panel);

        QCOMPARE(panel.backgroundColor(), expected);
        QCOMPARE(pixel(grabbed(panel), 30, 20), expected);
        // The events fire whether or not hovering changes the colour.
        QCOMPARE(entered.count(), int(moves.count(u'e')));
        QCOMPARE(left.count(), int(moves.count(u'l')));
    }

    void switchingHoverOffWhileHoveredShowsTheStateColour()
    {
        THoverPanel panel;
        makePlain(panel);
        panel.setCheckColor(QColor(1, 2, 3));
        panel.setChecked(true);
        enter(panel);
        QCOMPARE(panel.backgroundColor(), panel.hoverColor());
        panel.setHoverActive(false);
        QCOMPARE(panel.backgroundColor(), QColor(1, 2, 3));
    }

    void checkedSwitchesFontColourAndBold()
    {
        THoverPanel panel;
        panel.setNormFontColor(QColor(81, 81, 78));
        panel.setCheckFontColor(QColor(200, 0, 0));
        panel.setCheckFontBold(true);

        panel.setChecked(true);
        QCOMPARE(panel.fontColor(), QColor(200, 0, 0));
        QVERIFY(panel.font().bold());
        panel.setChecked(false);
        QCOMPARE(panel.fontColor(), QColor(81, 81, 78));
        QVERIFY(!panel.font().bold());

        // Without CheckFontBold the weight is left alone.
        panel.setCheckFontBold(false);
        panel.setChecked(true);
        QVERIFY(!panel.font().bold());
    }

    void keysClick_data()
    {
        QTest::addColumn<bool>("tabStop");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("clicks");
        QTest::newRow("Enter") << true << int(Qt::Key_Return) << int(Qt::NoModifier) << 1;
        QTest::newRow("keypad Enter") << true << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1;
        QTest::newRow("Space") << true << int(Qt::Key_Space) << int(Qt::NoModifier) << 1;
        QTest::newRow("Shift+Enter") << true << int(Qt::Key_Return) << int(Qt::ShiftModifier) << 0;
        QTest::newRow("Ctrl+Space") << true << int(Qt::Key_Space) << int(Qt::ControlModifier) << 0;
        QTest::newRow("Alt+Enter") << true << int(Qt::Key_Return) << int(Qt::AltModifier) << 0;
        QTest::newRow("another key") << true << int(Qt::Key_A) << int(Qt::NoModifier) << 0;
        QTest::newRow("not in the tab order") << false << int(Qt::Key_Return) << int(Qt::NoModifier) << 0;
    }

    void keysClick()
    {
        QFETCH(bool, tabStop);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, clicks);

        THoverPanel panel;
        panel.setTabStop(tabStop);
        QSignalSpy clicked(&panel, &THoverPanel::clicked);
        QTest::keyClick(&panel, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(clicked.count(), clicks);
    }

    void mouseClicksOnReleaseInside_data()
    {
        QTest::addColumn<bool>("tabStop");
        QTest::addColumn<QPoint>("releaseAt");
        QTest::addColumn<int>("clicks");
        QTest::newRow("inside") << false << QPoint(30, 20) << 1;
        QTest::newRow("inside, focusable") << true << QPoint(30, 20) << 1;
        QTest::newRow("dragged off") << true << QPoint(90, 20) << 0;
    }

    void mouseClicksOnReleaseInside()
    {
        QFETCH(bool, tabStop);
        QFETCH(QPoint, releaseAt);
        QFETCH(int, clicks);

        QWidget window;
        window.resize(200, 100);
        auto *other = new QWidget(&window);
        other->setFocusPolicy(Qt::StrongFocus);
        auto *panel = new THoverPanel(&window);
        makePlain(*panel);
        panel->setTabStop(tabStop);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        QSignalSpy pressed(panel, &THoverPanel::pressed);
        QSignalSpy clicked(panel, &THoverPanel::clicked);

        QTest::mousePress(panel, Qt::LeftButton, {}, QPoint(30, 20));
        QCOMPARE(pressed.count(), 1);
        QCOMPARE(panel->hasFocus(), tabStop);
        QTest::mouseRelease(panel, Qt::LeftButton, {}, releaseAt);
        QCOMPARE(clicked.count(), clicks);
    }

    void fitCaptionKeepsWhatFits()
    {
        const QFont font = arialPoints(10);
        const FittedCaption same = fitCaption(QStringLiteral("Karte"), font, QSize(500, 100), false, 7);
        QCOMPARE(same.text, QStringLiteral("Karte"));
        QCOMPARE(same.font.pointSize(), 10);

        const FittedCaption empty = fitCaption(QString(), font, QSize(1, 1), true, 7);
        QVERIFY(empty.text.isEmpty());
        QCOMPARE(empty.font.pointSize(), 10);
    }

    void fitCaptionShrinksToTheLargestSizeThatFits()
    {
        const QString text = QStringLiteral("Nächstes Quiz öffnen");
        const QSize atNine = measured(text, arialPoints(9), 1000, false);
        QVERIFY(measured(text, arialPoints(10), 1000, false).width() > atNine.width());

        const FittedCaption fitted = fitCaption(text, arialPoints(14), atNine, false, 7);
        QCOMPARE(fitted.font.pointSize(), 9);
        QCOMPARE(fitted.text, text);
    }

    void fitCaptionBreaksAfterHyphensBeforeDroppingWords()
    {
        const QString text = QStringLiteral("Nordrhein-Westfalen");
        const QFont smallest = arialPoints(7);
        const QFontMetrics metrics(smallest);
        const int width = std::max(metrics.horizontalAdvance(QStringLiteral("Nordrhein-")),
                                   metrics.horizontalAdvance(QStringLiteral("Westfalen"))) + 1;
        const QSize available(width, 2 * metrics.lineSpacing());
        // Unbroken, the word is too wide even at the smallest size.
        QVERIFY(measured(text, smallest, width, true).width() > width);

        const FittedCaption fitted = fitCaption(text, arialPoints(12), available, true, 7);
        QCOMPARE(fitted.text, QStringLiteral("Nordrhein- Westfalen"));
        QCOMPARE(fitted.font.pointSize(), 7);
        QCOMPARE(breakCaption(fitted.text, metrics, width, true).lines,
                 QStringList({QStringLiteral("Nordrhein-"), QStringLiteral("Westfalen")}));
    }

    void fitCaptionDropsWordsFromTheEnd_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fitsText"); // the available width is this text's at the minimum size
        QTest::addColumn<QString>("expected");
        QTest::newRow("two words stay") << "Ein sehr langer Satz" << "Ein sehr ..." << "Ein sehr ...";
        QTest::newRow("one word stays") << "Ein sehr langer Satz" << "Ein ..." << "Ein ...";
        QTest::newRow("nothing fits") << "Ein sehr langer Satz" << "" << "...";
        QTest::newRow("hyphen counts as break") << "Baden-Württemberg liegt" << "Baden- ..." << "Baden- ...";
    }

    void fitCaptionDropsWordsFromTheEnd()
    {
        QFETCH(QString, text);
        QFETCH(QString, fitsText);
        QFETCH(QString, expected);
        const QFont smallest = arialPoints(7);
        const QSize available(measured(fitsText, smallest, 1000, false).width(), QFontMetrics(smallest).lineSpacing());

        const FittedCaption fitted = fitCaption(text, arialPoints(11), available, false, 7);
        QCOMPARE(fitted.text, expected);
        QCOMPARE(fitted.font.pointSize(), 7);
    }

    void breakCaptionBreaksAtBlanksOnly()
    {
        const QFontMetrics metrics(arialPoints(10));
        const int width = metrics.horizontalAdvance(QStringLiteral("Quiz starten")) + 2;
        const CaptionLines lines =
            breakCaption(QStringLiteral("Quiz starten jetzt\nNordrhein-Westfalen"), metrics, width, true);
        QCOMPARE(lines.lines, QStringList({QStringLiteral("Quiz starten"), QStringLiteral("jetzt"),
                                           QStringLiteral("Nordrhein-Westfalen")}));
        QCOMPARE(lines.size.height(), 3 * metrics.lineSpacing());
        QVERIFY(lines.size.width() > width); // the hyphenated word is not broken
    }

    void paintsBorderRings()
    {
        THoverPanel panel;
        makePlain(panel);
        panel.setBorderWidth(2);
        panel.setBorderColor(QColor(10, 20, 30));
        panel.setNormColor(QColor(236, 236, 232));
        const QImage image = grabbed(panel);
        const QColor border(10, 20, 30);
        for (QPoint p : {QPoint(0, 0), QPoint(1, 1), QPoint(59, 39), QPoint(58, 38), QPoint(30, 1), QPoint(58, 20)})
            QCOMPARE(pixel(image, p.x(), p.y()), border);
        QCOMPARE(pixel(image, 2, 2), QColor(236, 236, 232));
        QCOMPARE(pixel(image, 57, 37), QColor(236, 236, 232));
    }

    void paintsRaisedBevelWithMixedShades()
    {
        THoverPanel panel;
        makePlain(panel);
        panel.setBevelOuter(THoverPanel::Bevel::Raised);
        panel.setBevelWidth(1);
        panel.setNormColor(QColor(230, 230, 230));
        const QImage image = grabbed(panel);
        // Light: 0.8 * 255 + 0.2 * 230 = 250; dark: 0.75 * 230 = 172.5, a tie that goes to the even 172.
        const QColor light(250, 250, 250), dark(172, 172, 172);
        QCOMPARE(pixel(image, 0, 0), light);
        QCOMPARE(pixel(image, 0, 20), light);
        QCOMPARE(pixel(image, 30, 0), light);
        QCOMPARE(pixel(image, 59, 0), dark);
        QCOMPARE(pixel(image, 59, 20), dark);
        QCOMPARE(pixel(image, 0, 39), dark);
        QCOMPARE(pixel(image, 30, 39), dark);
        QCOMPARE(pixel(image, 1, 1), QColor(230, 230, 230));
    }

    void paintsCheckedLines_data()
    {
        QTest::addColumn<bool>("xp");
        QTest::addColumn<QList<QColor>>("rows"); // rows 1, 2, 3 below a border of 1
        const QColor check(255, 255, 255);
        QTest::newRow("XP") << true
                            << QList<QColor>{QColor(230, 139, 44), QColor(255, 199, 60), QColor(255, 199, 60)};
        // mix(NormColor (234, 233, 10), white, 0.5): 244.5 -> 244, 244, 132.5 -> 132.
        QTest::newRow("flat") << false << QList<QColor>{QColor(244, 244, 132), QColor(244, 244, 132), check};
    }

    void paintsCheckedLines()
    {
        QFETCH(bool, xp);
        QFETCH(QList<QColor>, rows);
        THoverPanel panel;
        makePlain(panel);
        panel.setBorderWidth(1);
        panel.setBorderColor(QColor(162, 162, 154));
        panel.setNormColor(QColor(234, 233, 10));
        panel.setCheckColor(QColor(255, 255, 255));
        panel.setXPCheck(xp);
        panel.setChecked(true);
        const QImage image = grabbed(panel);
        for (int i = 0; i < rows.size(); ++i) {
            QCOMPARE(pixel(image, 1, 1 + i), rows[i]);
            QCOMPARE(pixel(image, 58, 1 + i), rows[i]);
        }
        QCOMPARE(pixel(image, 0, 1), QColor(162, 162, 154));
        QCOMPARE(pixel(image, 30, 4), QColor(255, 255, 255));

        panel.setChecked(false);
        QCOMPARE(pixel(grabbed(panel), 30, 1), QColor(234, 233, 10));
    }

    void paintsBitmapOverBackground()
    {
        THoverPanel panel;
        makePlain(panel);
        panel.setNormColor(QColor(0, 0, 255));
        QImage small(20, 10, QImage::Format_RGB32);
        small.fill(QColor(255, 0, 0));
        panel.setBitmap(small);
        QImage image = grabbed(panel);
        QCOMPARE(pixel(image, 5, 5), QColor(255, 0, 0));
        QCOMPARE(pixel(image, 19, 9), QColor(255, 0, 0));
        QCOMPARE(pixel(image, 20, 5), QColor(0, 0, 255));
        QCOMPARE(pixel(image, 30, 20), QColor(0, 0, 255));

        // The picture is read from (border width, border width) on, unscaled.
        QImage pattern(100, 100, QImage::Format_RGB32);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x)
                pattern.setPixel(x, y, qRgb(x * 2, y * 2, 77));
        panel.setBorderWidth(2);
        panel.setBorderColor(Qt::black);
        panel.setBitmap(pattern);
        image = grabbed(panel);
        QCOMPARE(pixel(image, 2, 2), QColor(4, 4, 77));
        QCOMPARE(pixel(image, 40, 30), QColor(80, 60, 77));
        QCOMPARE(pixel(image, 1, 1), QColor(0, 0, 0));
    }

    void paintsFocusRectOnlyWhenFocusable()
    {
        for (bool tabStop : {false, true}) {
            THoverPanel panel;
            makePlain(panel);
            panel.setNormColor(QColor(200, 100, 50));
            panel.setTabStop(tabStop);
            QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
            QCoreApplication::sendEvent(&panel, &focusIn);
            const QImage image = grabbed(panel);
            const QColor dotted = tabStop ? QColor(55, 155, 205) : QColor(200, 100, 50);
            QCOMPARE(pixel(image, 2, 2), dotted);
            QCOMPARE(pixel(image, 4, 2), dotted);
            QCOMPARE(pixel(image, 3, 2), QColor(200, 100, 50));
            QCOMPARE(pixel(image, 1, 1), QColor(200, 100, 50));
        }
    }

    void placesCaption_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QMargins>("padding");
        QTest::addColumn<QRect>("region"); // where all of the ink must be, in a 120 x 90 panel
        QTest::newRow("top left") << int(Layout::Top) << int(Qt::AlignLeft) << QMargins() << QRect(0, 0, 60, 30);
        QTest::newRow("centre") << int(Layout::Center) << int(Qt::AlignHCenter) << QMargins() << QRect(30, 30, 60, 30);
        QTest::newRow("bottom right") << int(Layout::Bottom) << int(Qt::AlignRight) << QMargins()
                                      << QRect(60, 60, 60, 30);
        QTest::newRow("padded top left") << int(Layout::Top) << int(Qt::AlignLeft) << QMargins(40, 30, 0, 0)
                                         << QRect(40, 30, 60, 30);
        QTest::newRow("padded bottom right") << int(Layout::Bottom) << int(Qt::AlignRight) << QMargins(0, 0, 40, 30)
                                             << QRect(20, 30, 60, 30);
    }

    void placesCaption()
    {
        QFETCH(int, layout);
        QFETCH(int, alignment);
        QFETCH(QMargins, padding);
        QFETCH(QRect, region);
        THoverPanel panel;
        makePlain(panel, QSize(120, 90));
        panel.setNormColor(Qt::white);
        panel.setFont(arialPoints(12));
        panel.setCaption(QStringLiteral("Alpen"));
        panel.setCaptionLayout(Layout(layout));
        panel.setAlignment(Qt::Alignment(alignment));
        panel.setPadding(padding);
        const QRect ink = inkBounds(grabbed(panel));
        QVERIFY(!ink.isEmpty());
        QVERIFY2(region.contains(ink), qPrintable(QStringLiteral("ink at %1,%2 %3x%4")
                                                      .arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())));
    }

    void autoSizedCaptionStaysInside()
    {
        THoverPanel panel;
        makePlain(panel, QSize(70, 30));
        panel.setNormColor(Qt::white);
        panel.setFont(arialPoints(16));
        panel.setCaption(QStringLiteral("Bestenliste anzeigen"));
        panel.setWordWrap(true);
        const QRect unfitted = inkBounds(grabbed(panel));
        panel.setFontAutoSize(true);
        panel.setMinFontSize(6);
        const QRect fitted = inkBounds(grabbed(panel));
        // At 16 points "Bestenliste" is wider than the panel and runs into both edges;
        // shrunk, it keeps clear of them, and both lines are drawn.
        QVERIFY(unfitted.left() == 0 && unfitted.right() == 69);
        QVERIFY2(fitted.left() > 0 && fitted.right() < 69,
                 qPrintable(QStringLiteral("ink from x %1 to %2").arg(fitted.left()).arg(fitted.right())));
        const FittedCaption caption = fitCaption(panel.caption(), panel.font(), panel.size(), true, 6, &panel);
        QVERIFY(caption.font.pointSize() < 16);
        QVERIFY(fitted.height() > QFontMetrics(caption.font).lineSpacing());
    }

    void toolButtonStyle()
    {
        THoverPanel button;
        button.resize(60, 30);
        button.setBevelOuter(THoverPanel::Bevel::None);
        styleToolButton(button);
        QImage image = grabbed(button);
        QCOMPARE(pixel(image, 0, 0), QColor(162, 162, 154));
        QCOMPARE(pixel(image, 30, 15), QColor(236, 236, 232));
        QCOMPARE(button.fontColor(), QColor(81, 81, 78));

        enter(button);
        QCOMPARE(pixel(grabbed(button), 30, 15), QColor(254, 254, 248));
        leave(button);
        button.setChecked(true);
        image = grabbed(button);
        // Flat checked line: mix((236, 236, 232), white, 0.5) = (245.5 -> 246, 246, 243.5 -> 244).
        QCOMPARE(pixel(image, 30, 1), QColor(246, 246, 244));
        QCOMPARE(pixel(image, 30, 3), QColor(255, 255, 255));
        QCOMPARE(button.fontColor(), QColor(0, 0, 0));
        QVERIFY(!button.font().bold());
    }
};

QTEST_MAIN(TestHoverPanel)
#include "tst_hover_panel.moc"
