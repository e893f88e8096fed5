#include "document/document_file.h"
#include "document/document_json.h"
#include "platform/png_codec.h"
#include "platform/nearest.h"
#include "platform/random.h"
#include "support/scripted_messages.h"
#include "view/canvas_text.h"
#include "view/card_renderer.h"
#include "view/card_snapshot.h"
#include "view/learning_view.h"
#include "view_test_support.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <numeric>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

QString dataPath(const QString &name)
{
    return QStringLiteral(KAPITOLO_VIEW_DATA "/") + name;
}

// A white card exactly the size of the control: one card pixel per display pixel,
// and a text scale of 1 at 100 %.
TopicDocument plainDocument(int width = 870, int height = 600, QColor colour = Qt::white)
{
    TopicDocument d;
    d.baseImage = QImage(width, height, QImage::Format_ARGB32);
    d.baseImage.fill(colour);
    d.fileName = QStringLiteral("karte.tsr");
    return d;
}

DocObject label(const QString &caption, double kx, double ky, int placement = 1, qint32 typ = otLabel)
{
    DocObject o;
    o.Typ = typ;
    o.Cap = caption;
    o.Kx = o.Sx = kx;
    o.Ky = o.Sy = ky;
    o.KAusr = placement;
    o.Ebene = typ == otInfoPoint || typ == otLink || typ == otDocLink ? layerInfopunkte : layerBeschriftung;
    return o;
}

// Everything the main window owns for the learning view, wired together.
struct Card {
    TopicDocument doc;
    ViewState view;
    CardBitmaps bitmaps;
    FakeViewHost host;
    ScriptedMessages messages;
    Random random{7};
    CardRenderer renderer{doc, view, bitmaps, host, messages};
    LearningView learning{doc, view, renderer, host, messages, random};

    explicit Card(TopicDocument d, QSize control = QSize(870, 600))
        : doc(std::move(d))
    {
        view.controlSize = control;
        view.cardHiddenOutsideQuiz = false;
    }
    bool build() { return renderer.BuildCardView(); }
    QPoint centreOf(int index) const
    {
        const RectD &b = bitmaps.layout.hitBox(index);
        return renderer.fractionToControl((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    }
    QRect box(int index) const { return renderer.hitBoxPixels(index); }
    const ObjectBox &boxOf(int index) const { return bitmaps.layout.box(index); }
    // The mark the card shows on an object: the quiz's while one runs, else the learning card's.
    ObjectMark &mark(int index) { return markAt(host.quiz.running ? host.quiz.marks : view.marks, index); }
};

bool loadSample(const QString &json, TopicDocument &document)
{
    QFile file(dataPath(json));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QString error;
    TopicDocument built;
    if (!documentFromJson(file.readAll(), QStringLiteral(KAPITOLO_VIEW_DATA), built, &error))
        return false;
    // Through the file format, as the program and the tool see a document.
    QTemporaryDir dir;
    ScriptedMessages messages;
    TopicNavigation navigation;
    const QString path = dir.filePath(QStringLiteral("karte.tsr"));
    return writeDocument(path, built, false, messages)
        && readDocument(path, document, navigation, messages) == ReadResult::Ok;
}

int captionHeight(double scale)
{
    return textHeight(QFontMetrics(arialFont(nearest(-22 * scale))));
}

} // namespace

class TestCardView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void goldenPictures_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<int>("numbering");
        QTest::addColumn<bool>("uncover");
        QTest::addColumn<QString>("golden");
        QTest::newRow("labels covered, letters") << "label_card.json" << 0 << 1 << false << "label_covered.png";
        QTest::newRow("labels uncovered") << "label_card.json" << 0 << 1 << true << "label_open.png";
        QTest::newRow("labels at 200 %") << "label_card.json" << 4 << 1 << true << "label_zoom200.png";
        QTest::newRow("cloze covered, question marks") << "cloze_card.json" << 0 << 0 << false << "cloze_covered.png";
        QTest::newRow("cloze uncovered") << "cloze_card.json" << 0 << 1 << true << "cloze_open.png";
        QTest::newRow("single questions") << "questions_card.json" << 0 << 1 << false << "questions.png";
    }
    void goldenPictures()
    {
        QFETCH(QString, input);
        QFETCH(int, zoom);
        QFETCH(int, numbering);
        QFETCH(bool, uncover);
        QFETCH(QString, golden);
        TopicDocument document;
        QVERIFY(loadSample(input, document));
        ScriptedMessages messages;
        Random random(1);
        CardSnapshotOptions options;
        options.controlSize = QSize(600, 400);
        options.zoomIndex = zoom;
        options.numberingMode = numbering;
        options.uncover = uncover;
        const QImage actual = renderCardSnapshot(document, options, messages, random);
        QVERIFY(!actual.isNull());
        QFile expectedFile(dataPath(golden));
        QVERIFY(expectedFile.open(QIODevice::ReadOnly));
        const QImage expected = decodePng(expectedFile.readAll());
        const QString difference = compareImages(actual, expected);
        if (!difference.isEmpty()) {
            const QString saved = QDir::temp().filePath(QStringLiteral("actual-") + golden);
            actual.save(saved);
            QFAIL(qPrintable(difference + QStringLiteral(" (picture saved as ") + saved + QLatin1Char(')')));
        }
        QVERIFY(messages.texts().isEmpty());
    }

    void boxPlacement_data()
    {
        QTest::addColumn<int>("placement");
        QTest::addColumn<QPoint>("offset"); // box top-left minus anchor, with h the box height
        QTest::addColumn<QString>("hug");   // where a short caption sits in its wider box
        QTest::newRow("1 right") << 1 << QPoint(7, 0) << "left";
        QTest::newRow("2 above") << 2 << QPoint(-15, 0) << "centre";
        QTest::newRow("3 left") << 3 << QPoint(-37, 0) << "right";
        QTest::newRow("4 below") << 4 << QPoint(-15, 2) << "centre";
    }
    void boxPlacement()
    {
        QFETCH(int, placement);
        QFETCH(QPoint, offset);
        QFETCH(QString, hug);
        TopicDocument d = plainDocument();
        d.objects.append(label(QStringLiteral("i"), 0.5, 0.5, placement));
        Card card(std::move(d));
        card.mark(0).coverState = csUncovered;
        QVERIFY(card.build());
        QCOMPARE(card.view.textScale, 1.0);
        const int h = captionHeight(1) + 4;
        const int top = placement == 2 ? 300 - h - 2 : placement == 4 ? 302 : 300 - nearest(h / 2.0);
        const QRect expected(435 + offset.x(), top, 30, h);
        const DocObject &o = card.doc.objects.at(0);
        const ObjectBox &b = card.boxOf(0);
        QCOMPARE(card.box(0), expected);
        QCOMPARE(b.pixelX, expected.left());
        QCOMPARE(b.pixelY, expected.top());
        QCOMPARE(b.hitBox.right, (expected.left() + 30) / 870.0);
        QCOMPARE(b.hitBox.bottom, (expected.top() + h) / 600.0);
        QCOMPARE(o.KAusrAkt, placement);
        QCOMPARE(b.boxWidth, (15 + 7) / 870.0);
        QCOMPARE(b.boxHeight, (nearest(h / 2.0) + 2) / 600.0);

        // The caption "i" is far narrower than the 30-pixel minimum: it hugs the anchor side.
        const QRect ink = inkBounds(card.bitmaps.cardBitmap, expected, qRgb(255, 255, 255));
        QVERIFY(!ink.isEmpty());
        if (hug == QLatin1String("left"))
            QVERIFY2(ink.left() - expected.left() <= 4, qPrintable(QString::number(ink.left())));
        else if (hug == QLatin1String("right"))
            QVERIFY2(expected.right() - ink.right() <= 4, qPrintable(QString::number(ink.right())));
        else
            QVERIFY(qAbs((ink.left() + ink.right()) / 2 - (expected.left() + expected.right()) / 2) <= 3);
    }

    void markAndBadgeBoxes_data()
    {
        QTest::addColumn<int>("zoom");
        QTest::addColumn<int>("state");
        QTest::addColumn<QSize>("size");
        QTest::newRow("tick at 100 %") << 0 << int(csCorrect) << QSize(34, 38);
        QTest::newRow("tick at 200 %") << 4 << int(csCorrect) << QSize(34, 38);
        QTest::newRow("cross at 200 %") << 4 << int(csWrongCross) << QSize(34, 38);
        QTest::newRow("number badge at 100 %") << 0 << int(csOpenQuestion) << QSize(30, 30);
        QTest::newRow("number badge at 200 %") << 4 << int(csOpenQuestion) << QSize(60, 60);
        QTest::newRow("X badge at 150 %") << 2 << int(csAssigned) << QSize(45, 45);
    }
    void markAndBadgeBoxes()
    {
        QFETCH(int, zoom);
        QFETCH(int, state);
        QFETCH(QSize, size);
        TopicDocument d = plainDocument();
        d.objects.append(label(QStringLiteral("Ein ziemlich langer Name"), 0.2, 0.2));
        d.objects.append(label(QString(), 0.5, 0.5, 1, otInfoPoint));
        Card card(std::move(d));
        card.mark(0).coverState = state;
        card.mark(0).displayNo = 3;
        card.view.zoomIndex = zoom;
        card.view.zoomFactor = kZoomTable[zoom];
        QVERIFY(card.build());
        QCOMPARE(card.box(0).size(), size);
        const int badge = nearest(30 * card.view.textScale);
        QCOMPARE(card.box(1).size(), QSize(badge, badge));
    }

    void emptyLabelHasPointBox()
    {
        TopicDocument d = plainDocument();
        d.objects.append(label(QString(), 0.5, 0.5));
        d.objects.append(label(QString(), 0.3, 0.3, 1, otText));
        Card card(std::move(d));
        QVERIFY(card.build());
        for (int i = 0; i < card.doc.objects.size(); ++i) {
            const ObjectBox &o = card.boxOf(i);
            QCOMPARE(o.hitBox.left, o.hitBox.right);
            QCOMPARE(o.hitBox.top, o.hitBox.bottom);
        }
        QCOMPARE(card.boxOf(0).pixelX, 435 + 7);
        QVERIFY(card.bitmaps.cardBitmap == card.bitmaps.cardBackground);
        QCOMPARE(card.learning.HitTest(QPoint(442, 300)), -1);
    }

    void autoPlacement_data()
    {
        QTest::addColumn<QPointF>("spot");
        QTest::addColumn<QPointF>("anchor");
        QTest::addColumn<int>("authored");
        QTest::addColumn<int>("placement");
        QTest::newRow("anchor right of the spot") << QPointF(0.5, 0.5) << QPointF(0.6, 0.5) << 0 << 1;
        QTest::newRow("anchor left") << QPointF(0.5, 0.5) << QPointF(0.4, 0.52) << 0 << 3;
        QTest::newRow("anchor above") << QPointF(0.5, 0.5) << QPointF(0.51, 0.3) << 0 << 2;
        QTest::newRow("anchor below") << QPointF(0.5, 0.5) << QPointF(0.49, 0.7) << 0 << 4;
        // 0.12 of the height is 0.083 of the width on a card 1.45 times as wide as high.
        QTest::newRow("height measured in widths") << QPointF(0.5, 0.5) << QPointF(0.6, 0.62) << 0 << 1;
        QTest::newRow("authored placement wins") << QPointF(0.5, 0.5) << QPointF(0.6, 0.5) << 4 << 4;
    }
    void autoPlacement()
    {
        QFETCH(QPointF, spot);
        QFETCH(QPointF, anchor);
        QFETCH(int, authored);
        QFETCH(int, placement);
        TopicDocument d = plainDocument();
        DocObject o = label(QStringLiteral("Ort"), anchor.x(), anchor.y(), authored);
        o.Sx = spot.x();
        o.Sy = spot.y();
        o.Sline = 1;
        d.objects.append(o);
        Card card(std::move(d));
        QVERIFY(card.build());
        QCOMPARE(card.doc.objects.at(0).KAusrAkt, placement);
        // Once placed, the placement stays when the anchor moves.
        card.doc.objects[0].Kx = spot.x() - (anchor.x() - spot.x());
        QVERIFY(card.build());
        QCOMPARE(card.doc.objects.at(0).KAusrAkt, placement);
    }

    void coverQuestionMarkShrinksToTheBox()
    {
        TopicDocument d = plainDocument();
        DocObject tiny = label(QStringLiteral("klein"), 0.3, 0.5);
        tiny.Fsize = -10; // a 2-pixel font: the box is a few pixels high
        d.objects.append(tiny);
        d.objects.append(label(QStringLiteral("normal"), 0.6, 0.5));
        Card card(std::move(d));
        QVERIFY(card.build());
        for (int i = 0; i < 2; ++i) {
            const QRect box = card.box(i);
            QVERIFY(box.height() > 0);
            const QRect around = box.adjusted(-20, -20, 20, 20);
            int marks = 0;
            for (int y = around.top(); y <= around.bottom(); ++y)
                for (int x = around.left(); x <= around.right(); ++x) {
                    const QRgb p = card.bitmaps.cardBitmap.pixel(x, y);
                    if (!box.contains(x, y))
                        QVERIFY2(p == qRgb(255, 255, 255),
                                 qPrintable(QStringLiteral("ink at %1,%2 outside the cover").arg(x).arg(y)));
                    else if (box.adjusted(1, 1, -1, -1).contains(x, y) && QColor(p) != cardcolour::coverFill())
                        ++marks;
                }
            QVERIFY2(marks > 0, "the cover shows a question mark");
        }
    }

    void narrowCardShowsControlColourOnBothSides()
    {
        Card card(plainDocument(400, 600, QColor(250, 240, 200)));
        QVERIFY(card.build());
        QCOMPARE(card.bitmaps.display.size(), QSize(400, 600));
        QCOMPARE(card.renderer.displayOrigin(), QPoint(235, 0));
        QCOMPARE(card.renderer.fractionToControl(0, 0), QPoint(235, 0));
        QCOMPARE(card.renderer.fractionToControl(1, 1), QPoint(635, 600));
        QImage control(870, 600, QImage::Format_RGB32);
        QPainter painter(&control);
        paintCardControl(painter, control.size(), card.bitmaps.display);
        painter.end();
        const QRgb side = cardcolour::controlBackground().rgb();
        QCOMPARE(control.pixel(0, 300), side);
        QCOMPARE(control.pixel(234, 599), side);
        QCOMPARE(control.pixel(635, 0), side);
        QCOMPARE(control.pixel(869, 300), side);
        QCOMPARE(control.pixel(235, 0), QColor(250, 240, 200).rgb());
        QCOMPARE(control.pixel(634, 599), QColor(250, 240, 200).rgb());
    }

    void zoomKeepsTheCentreAndStaysOnTheCard()
    {
        Card card(plainDocument());
        QVERIFY(card.build());
        QCOMPARE(card.view.viewWindow, (RectD{0, 0, 1, 1}));
        card.learning.SetZoom(4);
        QCOMPARE(card.bitmaps.display.size(), QSize(870, 600));
        QCOMPARE(card.bitmaps.cardBitmap.size(), QSize(1740, 1200));
        // The first zoom of a document keeps the centre of the whole card.
        QCOMPARE(card.view.viewWindow, (RectD{0.25, 0.25, 0.75, 0.75}));
        QCOMPARE(card.view.textScale, 2.0);

        card.learning.SetZoom(2);
        const RectD &w = card.view.viewWindow;
        QCOMPARE((w.left + w.right) / 2, 0.5);
        QCOMPARE((w.top + w.bottom) / 2, 0.5);
        QVERIFY(qAbs(w.right - w.left - 1 / 1.5) < 1e-3);

        // At the right edge the window is clamped, never showing anything beyond the card.
        card.learning.SetZoom(4);
        for (int i = 0; i < 20; ++i)
            card.learning.Scroll(ScrollDirection::Right);
        QCOMPARE(card.view.viewWindow.right, 1.0);
        QCOMPARE(card.view.viewWindow.left, 0.5);
        card.learning.SetZoom(2);
        QCOMPARE(card.view.viewWindow.right, 1.0);
        QVERIFY(card.view.viewWindow.left > 0.33 && card.view.viewWindow.left < 0.34);
        QCOMPARE(card.view.windowOffsetX, nearest(card.bitmaps.cardBitmap.width() * card.view.viewWindow.left));
    }

    void zoomStepsAndNoRebuildForTheSameZoom()
    {
        Card card(plainDocument());
        QVERIFY(card.build());
        card.learning.ZoomOut();
        QCOMPARE(card.view.zoomIndex, 0);
        card.learning.ZoomIn();
        QCOMPARE(card.view.zoomIndex, 2);
        card.learning.ZoomIn();
        QCOMPARE(card.view.zoomIndex, 4);
        const qint64 built = card.bitmaps.cardBackground.cacheKey();
        card.learning.ZoomIn();
        card.learning.SetZoom(4);
        QCOMPARE(card.view.zoomIndex, 4);
        QCOMPARE(card.bitmaps.cardBackground.cacheKey(), built);
        // An odd zoom index never runs off the table.
        card.learning.SetZoom(3);
        card.learning.ZoomIn();
        QCOMPARE(card.view.zoomIndex, 4);
        QCOMPARE(card.view.zoomFactor, 2.0);
        card.learning.SetZoom(1);
        card.learning.ZoomOut();
        QCOMPARE(card.view.zoomIndex, 0);
        // During a quiz the zoom is only noted; the quiz rebuilds the card itself.
        card.host.quiz.running = true;
        const qint64 beforeQuizZoom = card.bitmaps.cardBackground.cacheKey();
        card.learning.SetZoom(2);
        QCOMPARE(card.bitmaps.cardBackground.cacheKey(), beforeQuizZoom);
    }

    void scrollingAndPanning()
    {
        Card card(plainDocument());
        QVERIFY(card.build());
        card.learning.Scroll(ScrollDirection::Right);
        QCOMPARE(card.view.viewWindow, (RectD{0, 0, 1, 1}));

        card.learning.SetZoom(4);
        card.view.viewWindow = RectD{0, 0, 0.5, 0.5};
        card.learning.Scroll(ScrollDirection::Left);
        card.learning.Scroll(ScrollDirection::Up);
        QCOMPARE(card.view.viewWindow, (RectD{0, 0, 0.5, 0.5}));
        card.learning.Scroll(ScrollDirection::Right);
        card.learning.Scroll(ScrollDirection::Down);
        QCOMPARE(card.view.viewWindow, (RectD{0.05, 0.05, 0.55, 0.55}));
        QCOMPARE(card.view.windowOffsetX, 87);

        // Dragging with the right button moves the card with the mouse.
        card.learning.mousePressed(QPoint(400, 300), Qt::RightButton);
        QCOMPARE(card.host.cursor, CardCursor::Hand);
        card.learning.mouseMoved(QPoint(226, 180), Qt::RightButton);
        QVERIFY(qAbs(card.view.viewWindow.left - (0.05 + 174 / 1740.0)) < 1e-9);
        QVERIFY(qAbs(card.view.viewWindow.top - (0.05 + 120 / 1200.0)) < 1e-9);
        card.learning.mouseReleased(QPoint(226, 180), Qt::RightButton, Qt::NoButton);
        QVERIFY(!card.view.panning);
        // Moving without a button after the drag leaves the window alone.
        const RectD kept = card.view.viewWindow;
        card.learning.mouseMoved(QPoint(0, 0), Qt::NoButton);
        QCOMPARE(card.view.viewWindow, kept);
    }

    void keysScrollAndZoom()
    {
        Card card(plainDocument());
        QVERIFY(card.build());
        QVERIFY(!card.learning.keyPressed(Qt::Key_Plus, Qt::ControlModifier));
        QVERIFY(card.learning.keyPressed(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier));
        QCOMPARE(card.view.zoomIndex, 2);
        const RectD before = card.view.viewWindow;
        QVERIFY(!card.learning.keyPressed(Qt::Key_Right, Qt::NoModifier));
        QCOMPARE(card.view.viewWindow, before);
        QVERIFY(card.learning.keyPressed(Qt::Key_Right, Qt::ControlModifier));
        QVERIFY(card.view.viewWindow.left > before.left);
        QVERIFY(card.learning.keyPressed(Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier));
        QCOMPARE(card.view.zoomIndex, 0);
    }

    void wheelScrollsAndZooms()
    {
        Card card(plainDocument());
        QVERIFY(card.build());
        card.learning.wheelTurned(QPoint(0, 60), Qt::ControlModifier);
        QCOMPARE(card.view.zoomIndex, 0); // half a notch does nothing yet
        card.learning.wheelTurned(QPoint(0, 60), Qt::ControlModifier);
        QCOMPARE(card.view.zoomIndex, 2);
        const RectD before = card.view.viewWindow;
        card.learning.wheelTurned(QPoint(0, -120), Qt::NoModifier);
        QVERIFY(card.view.viewWindow.top > before.top);
        QCOMPARE(card.view.viewWindow.left, before.left);
        card.learning.wheelTurned(QPoint(0, -240), Qt::ShiftModifier);
        QVERIFY(card.view.viewWindow.left > before.left);
    }

    void leavingAQuizRestoresTheLearningView()
    {
        TopicDocument d = plainDocument();
        for (int i = 0; i < 6; ++i)
            d.objects.append(label(QString::number(i), 0.1 + 0.1 * i, 0.5));
        Card card(std::move(d));
        card.host.quiz.running = true;
        const int marks[] = {csCovered, csUncovered, csCorrect, csWrongCross, csAssigned, csOpenQuestion};
        for (int i = 0; i < 6; ++i) {
            card.mark(i).coverState = marks[i];
            card.mark(i).displayNo = 9;
        }
        card.view.zoomIndex = 4;
        card.view.zoomFactor = 2;
        card.learning.SelectTool(toolHand);
        card.learning.RestoreAfterQuiz(card.host.quiz.marks);
        card.host.quiz.running = false; // the learning card's marks from here
        QCOMPARE(card.view.activeTool, int(toolPointer));
        QCOMPARE(card.view.zoomIndex, 0);
        QCOMPARE(card.mark(0).coverState, int(csCovered));
        for (int i = 1; i < 6; ++i)
            QCOMPARE(card.mark(i).coverState, int(csUncovered));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(card.mark(i).displayNo, i + 1);
        QVERIFY(card.host.keywordHides > 0);
    }

    void hitTestOrder()
    {
        TopicDocument d = plainDocument();
        d.objects.append(label(QStringLiteral("Erste Beschriftung"), 0.40, 0.5));
        d.objects.append(label(QStringLiteral("Zweite Beschriftung"), 0.45, 0.5));
        d.objects.append(label(QStringLiteral("Text"), 0.1, 0.1, 1, otText));
        d.objects.append(label(QStringLiteral("Antwort"), 0.1, 0.8, 1, otAnswer));
        d.objects.last().FrageNummer = 2;
        d.AnzFrageNummern = 2;
        d.currentQuestion = 1;
        Card card(std::move(d));
        QVERIFY(card.build());
        const QRect first = card.box(0);
        const QRect second = card.box(1);
        QVERIFY(first.intersects(second));
        const QPoint between = card.renderer.fractionToControl(card.boxOf(1).hitBox.left + 0.005, 0.5);
        QVERIFY(first.contains(between) && second.contains(between));
        QCOMPARE(card.learning.HitTest(between), 0);
        // Right edges belong to the neighbour: the first box ends before its right edge.
        QCOMPARE(card.learning.HitTest(QPoint(second.left() + second.width(), 300)), -1);
        QCOMPARE(card.learning.HitTest(QPoint(second.left() + second.width() - 1, 300)), 1);
        QCOMPARE(card.learning.HitTest(card.centreOf(2)), -1); // fixed text is not clickable
        QCOMPARE(card.learning.HitTest(QPoint(87 + 10, 480)), -1); // answer of another question
        card.learning.SetLayer(layerBeschriftung, false);
        QCOMPARE(card.learning.HitTest(between), -1);
    }

    void numberingOrder_data()
    {
        QTest::addColumn<int>("geordnetArt");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QList<QPointF>>("anchors");
        QTest::addColumn<QList<int>>("order");
        const QList<QPointF> anchors = {{0.6, 0.5}, {0.2, 0.5}, {0.9, 0.3}, {0.2, 0.5}, {0.5, 0.1}, {0.1, 0.9}};
        const QStringList names = {QStringLiteral("Zebra"), QStringLiteral("äpfel"), QStringLiteral("Apfel"),
                                   QStringLiteral("Ofen"), QStringLiteral("Ölberg"), QStringLiteral("apfel")};
        // Top to bottom, then left to right; equal positions keep document order.
        QTest::newRow("by position") << 0 << names << anchors << QList<int>{4, 2, 1, 3, 0, 5};
        // German order without regard to case: Ö with O, ä after a, equal words in document order.
        QTest::newRow("by caption") << 1 << names << anchors << QList<int>{2, 5, 1, 3, 4, 0};
    }
    void numberingOrder()
    {
        QFETCH(int, geordnetArt);
        QFETCH(QStringList, captions);
        QFETCH(QList<QPointF>, anchors);
        QFETCH(QList<int>, order);
        TopicDocument d = plainDocument();
        d.GeordnetArt = geordnetArt;
        for (int i = 0; i < captions.size(); ++i)
            d.objects.append(label(captions.at(i), anchors.at(i).x(), anchors.at(i).y(), 1, i == 5 ? otGap : otLabel));
        d.objects.append(label(QStringLiteral("Info"), 0.0, 0.0, 1, otInfoPoint));
        Random random(3);
        QCOMPARE(LearningView::NumberingOrder(d, numberingOrdered, random), order);

        Card card(std::move(d));
        card.learning.SetNumbering(numberingOrdered, false);
        for (int k = 0; k < order.size(); ++k)
            QCOMPARE(card.mark(order.at(k)).displayNo, k + 1);
        QCOMPARE(card.mark(int(card.doc.objects.size()) - 1).displayNo, -1); // info points are not numbered
        card.learning.SetNumbering(numberingQuestionMark, false);
        for (int k = 0; k < order.size(); ++k)
            QCOMPARE(card.mark(k).displayNo, 0);
        QCOMPARE(card.view.numberingMode, 0);
    }

    void randomNumberingIsAPermutation()
    {
        TopicDocument d = plainDocument();
        for (int i = 0; i < 12; ++i)
            d.objects.append(label(QString::number(i), 0.05 * i, 0.5));
        Random a(11), b(11);
        const QList<int> first = LearningView::NumberingOrder(d, numberingRandom, a);
        QCOMPARE(LearningView::NumberingOrder(d, numberingRandom, b), first);
        QList<int> sorted = first;
        std::sort(sorted.begin(), sorted.end());
        QList<int> all(12);
        std::iota(all.begin(), all.end(), 0);
        QCOMPARE(sorted, all);
        QVERIFY(first != all);

        // Answers of single questions are listed but never get a number.
        TopicDocument q = plainDocument();
        createQuestionObjects(QStringLiteral("Eins?//1\r\nZwei?//2"), q.objects);
        q.DokTyp = dtSingleQuestions;
        Card card(std::move(q));
        card.learning.SetNumbering(numberingOrdered, false);
        for (int i = 0; i < card.doc.objects.size(); ++i)
            if (card.doc.objects.at(i).Typ == otAnswer)
                QCOMPARE(card.mark(i).displayNo, 0);
    }

    void singleRedrawMatchesAFullBuild()
    {
        TopicDocument d = plainDocument(870, 600, QColor(210, 230, 200));
        d.objects.append(label(QStringLiteral("Nordstadt"), 0.40, 0.40));
        d.objects.append(label(QStringLiteral("Neustadt am See"), 0.46, 0.42)); // overlaps the first
        DocObject lined = label(QStringLiteral("Hafen"), 0.2, 0.7, 1);
        lined.Sx = 0.5;
        lined.Sy = 0.43; // its leader line runs under both boxes
        lined.Sline = 1;
        d.objects.append(lined);
        d.objects.append(label(QStringLiteral("Kap"), 0.8, 0.8, 3));
        Card card(std::move(d));
        card.learning.SetNumbering(numberingOrdered, false);
        QVERIFY(card.build());
        const qint64 background = card.bitmaps.cardBackground.cacheKey();
        const int repaints = card.host.repaints;
        // A freehand mark on the display outside every box survives the click.
        card.bitmaps.display.setPixel(5, 5, qRgb(255, 0, 0));

        for (int index : {0, 1, 0, 3}) {
            card.learning.mousePressed(card.centreOf(index), Qt::LeftButton);
            Card fresh(card.doc);
            fresh.view.marks = card.view.marks;
            QVERIFY(fresh.build());
            QCOMPARE(fresh.mark(index).coverState, card.mark(index).coverState);
            QVERIFY2(card.bitmaps.cardBitmap == fresh.bitmaps.cardBitmap,
                     qPrintable(QStringLiteral("after a click on %1: ").arg(index)
                                + compareImages(card.bitmaps.cardBitmap, fresh.bitmaps.cardBitmap)));
            QVERIFY(card.bitmaps.cardSnapshot == fresh.bitmaps.cardSnapshot);
        }
        QCOMPARE(card.mark(0).coverState, int(csCovered));
        QCOMPARE(card.mark(1).coverState, int(csUncovered));
        QCOMPARE(card.bitmaps.cardBackground.cacheKey(), background); // never rebuilt
        QCOMPARE(card.host.repaints, repaints + 4);
        QCOMPARE(card.bitmaps.display.pixel(5, 5), qRgb(255, 0, 0));
        const QRect box = card.box(1);
        QCOMPARE(card.bitmaps.display.copy(box), card.bitmaps.cardBitmap.copy(box));

        // Covering and uncovering all redraws without a rebuild, and again like a build.
        card.learning.UncoverAll();
        Card fresh(card.doc);
        fresh.view.marks = card.view.marks;
        QVERIFY(fresh.build());
        QVERIFY(card.bitmaps.cardBitmap == fresh.bitmaps.cardBitmap);
        QCOMPARE(card.bitmaps.cardBackground.cacheKey(), background);
    }

    void clickCoversAQuizMark()
    {
        TopicDocument d = plainDocument();
        d.objects.append(label(QStringLiteral("Rom"), 0.5, 0.5));
        Card card(std::move(d));
        card.mark(0).coverState = csCorrect;
        QVERIFY(card.build());
        QCOMPARE(card.box(0).size(), QSize(34, 38));
        card.learning.mousePressed(card.centreOf(0), Qt::LeftButton);
        QCOMPARE(card.mark(0).coverState, int(csCovered));
        // The middle button works with any tool; the hand tool pans instead.
        card.learning.SelectTool(toolHand);
        card.learning.mousePressed(card.centreOf(0), Qt::MiddleButton);
        QCOMPARE(card.mark(0).coverState, int(csUncovered));
        card.learning.mousePressed(card.centreOf(0), Qt::LeftButton);
        QCOMPARE(card.mark(0).coverState, int(csUncovered));
        QVERIFY(card.view.panning);
    }

    void questionNavigation()
    {
        TopicDocument d;
        QVERIFY(loadSample(QStringLiteral("questions_card.json"), d));
        Card card(std::move(d));
        QVERIFY(card.build());
        QCOMPARE(card.doc.currentQuestion, 1);
        int random = -1;
        int next = -1;
        for (int i = 0; i < card.doc.objects.size(); ++i) {
            if (card.doc.objects.at(i).Typ == otRandomQuestion)
                random = i;
            if (card.doc.objects.at(i).Typ == otNextQuestion)
                next = i;
        }
        QVERIFY(random >= 0 && next >= 0);
        for (int i = 0; i < 10; ++i) {
            const int before = card.doc.currentQuestion;
            card.learning.mousePressed(card.centreOf(random), Qt::LeftButton);
            QCOMPARE(card.doc.currentQuestion, 3 - before);
        }
        card.doc.currentQuestion = 1;
        card.learning.mousePressed(card.centreOf(next), Qt::LeftButton);
        card.learning.mousePressed(card.centreOf(next), Qt::LeftButton);
        QCOMPARE(card.doc.currentQuestion, 2);
        // The answer of the shown question is covered and can be uncovered by a click.
        int answer = -1;
        for (int i = 0; i < card.doc.objects.size(); ++i)
            if (card.doc.objects.at(i).Typ == otAnswer && card.doc.objects.at(i).FrageNummer == 2)
                answer = i;
        QVERIFY(answer >= 0);
        card.learning.mousePressed(card.centreOf(answer), Qt::LeftButton);
        QCOMPARE(card.mark(answer).coverState, int(csUncovered));
    }

    void infoPointsAndLinks()
    {
        QTemporaryDir dir;
        QDir root(dir.path());
        QVERIFY(root.mkpath(QStringLiteral("themen/Europa")));
        QVERIFY(root.mkpath(QStringLiteral("dokumente")));
        QFile linked(root.filePath(QStringLiteral("dokumente/nachbar.tsr")));
        QVERIFY(linked.open(QIODevice::WriteOnly));
        linked.close();

        TopicDocument d = plainDocument();
        d.objects.append(label(QStringLiteral("Die <B>Insel</B>\r\nZeile zwei"), 0.1, 0.1, 1, otInfoPoint));
        d.objects.append(label(QStringLiteral("https://example.org"), 0.1, 0.3, 1, otLink));
        d.objects.append(label(QStringLiteral("Nachbar.TSR"), 0.1, 0.5, 1, otDocLink));
        d.objects.append(label(QStringLiteral("Europa\\"), 0.1, 0.7, 1, otDocLink));
        d.objects.append(label(QStringLiteral("fehlt.tsr"), 0.1, 0.9, 1, otDocLink));
        Card card(std::move(d));
        card.host.folders.topicFolder = root.filePath(QStringLiteral("themen"));
        card.host.folders.documentFolder = root.filePath(QStringLiteral("dokumente"));
        QVERIFY(card.build());

        card.learning.mousePressed(card.centreOf(0), Qt::LeftButton);
        QCOMPARE(card.host.infoTexts, QStringList{card.doc.objects.at(0).Cap});
        card.learning.mousePressed(card.centreOf(1), Qt::LeftButton);
        QCOMPARE(card.host.shellOpened, QStringList{QStringLiteral("https://example.org")});
        QVERIFY(card.messages.texts().isEmpty());
        card.host.shellSucceeds = false;
        card.learning.mousePressed(card.centreOf(1), Qt::LeftButton);
        QCOMPARE(card.messages.texts(),
                 QStringList{QStringLiteral(
                     "Die Datei oder Internet-Adresse \"https://example.org\" kann nicht geöffnet werden.")});
        card.messages.clear();

        card.learning.mousePressed(card.centreOf(2), Qt::LeftButton);
        QCOMPARE(card.host.linkedDocuments, QStringList{linked.fileName()});
        card.learning.mousePressed(card.centreOf(3), Qt::LeftButton);
        QCOMPARE(card.host.topicFolders, QStringList{root.filePath(QStringLiteral("themen/Europa"))});
        card.learning.mousePressed(card.centreOf(4), Qt::LeftButton);
        QCOMPARE(card.messages.texts(), QStringList{QStringLiteral("Die Datei \"fehlt.tsr\" existiert nicht.")});

        // The info layer off: the badges are neither drawn nor clickable.
        card.learning.SetLayer(layerInfopunkte, false);
        card.learning.mousePressed(QPoint(87 + 10, 60), Qt::LeftButton);
        QCOMPARE(card.host.infoTexts.size(), 1);
    }

    void unusableImagesReportAndLeaveTheViewUsable_data()
    {
        QTest::addColumn<RectD>("margins");
        QTest::newRow("huge margin") << RectD{1e6, 0, 0, 0};
        QTest::newRow("margins eat the image") << RectD{-0.6, 0, -0.6, 0};
        QTest::newRow("not a number") << RectD{std::nan(""), 0, 0, 0};
        QTest::newRow("cancelling out") << RectD{-1e12, 0, 1e12, 0};
    }
    void unusableImagesReportAndLeaveTheViewUsable()
    {
        QFETCH(RectD, margins);
        TopicDocument d = plainDocument();
        d.objects.append(label(QStringLiteral("Rom"), 0.5, 0.5));
        Card card(std::move(d));
        QVERIFY(card.build());
        card.doc.RandErw = margins;
        QVERIFY(!card.build());
        QCOMPARE(card.messages.texts(), QStringList{cardTooLargeText()});
        QCOMPARE(card.learning.HitTest(QPoint(450, 300)), -1);
        card.learning.Scroll(ScrollDirection::Right);
        card.learning.CoverAll();
        card.learning.mousePressed(QPoint(450, 300), Qt::LeftButton);
        card.doc.RandErw = RectD{};
        QVERIFY(card.build());
        QCOMPARE(card.messages.texts().size(), 1);
        QVERIFY(card.learning.HitTest(card.centreOf(0)) == 0);
    }

    void positionMarker()
    {
        TopicDocument d = plainDocument();
        DocObject o = label(QStringLiteral("Paris"), 0.5, 0.5);
        o.Sx = 0.25;
        o.Sy = 0.25;
        d.objects.append(o);
        Card card(std::move(d));
        QVERIFY(card.build());
        card.learning.MarkPosition(0, 0);
        QVERIFY(!card.host.markerVisible); // outside a quiz
        QCOMPARE(card.view.markedObject, -1);

        card.host.quiz.running = true;
        QVERIFY(card.build());
        card.learning.MarkPosition(0, 0);
        QVERIFY(card.host.markerVisible);
        QCOMPARE(card.host.marker, QRect(218 - 6, 150 - 6, 13, 13));
        card.learning.MarkPosition(0, 1);
        QCOMPARE(card.host.marker.center(), QPoint(435, 300));
        card.learning.MarkPosition(0, 2);
        QCOMPARE(card.host.marker, card.box(0).adjusted(-4, -4, 4, 4));
        // The marker follows the window.
        card.view.zoomIndex = 4;
        card.view.zoomFactor = 2;
        QVERIFY(card.build());
        QCOMPARE(card.host.marker, card.box(0).translated(-card.view.windowOffsetX, -card.view.windowOffsetY)
                                       .adjusted(-4, -4, 4, 4));
        card.learning.MarkPosition(-1, 0);
        QVERIFY(!card.host.markerVisible);
    }

    void quizDisplayOfMarks()
    {
        TopicDocument d = plainDocument();
        d.objects.append(label(QStringLiteral("Eins"), 0.3, 0.5));
        d.objects.append(label(QStringLiteral("Zwei"), 0.6, 0.5));
        d.objects.append(label(QString(), 0.8, 0.2, 1, otInfoPoint));
        Card card(std::move(d));
        card.host.quiz.running = true;
        card.host.quiz.placeAsked = true;
        card.host.quiz.askedPositionObject = 1;
        card.mark(0).coverState = csOpenQuestion;
        card.mark(1).coverState = csOpenQuestion;
        card.mark(0).displayNo = 1;
        card.mark(1).displayNo = 2;
        QVERIFY(card.build());
        // Only the asked position carries its number; the other gets a plain grey badge.
        const QImage &c = card.bitmaps.cardBitmap;
        const QPoint inactive = card.box(0).center();
        QCOMPARE(QColor(c.pixel(inactive)), cardcolour::inactiveBadgeFill());
        int red = 0;
        const QRect asked = card.box(1);
        for (int y = asked.top(); y <= asked.bottom(); ++y)
            for (int x = asked.left(); x <= asked.right(); ++x)
                red += qRed(c.pixel(x, y)) > 200 && qGreen(c.pixel(x, y)) < 80;
        QVERIFY(red > 0);
        QCOMPARE(card.boxOf(2).hitBox.left, -1.0); // info points are hidden in a quiz

        // A mark set by the quiz is drawn at once, copied to the display, and the quiz panel follows.
        const int panels = card.host.panelRedraws;
        card.mark(1).coverState = csWrongCross;
        card.renderer.DrawObject(card.bitmaps.cardBitmap, 1, 0, true, true, false);
        QCOMPARE(card.box(1).size(), QSize(34, 38));
        QCOMPARE(card.host.panelRedraws, panels + 1);
        const QRect old = asked;
        QCOMPARE(card.bitmaps.display.copy(old), card.bitmaps.cardBitmap.copy(old));
    }

    void toolWritesTheCardAndItsBoxes()
    {
        const QString tool = qEnvironmentVariable("KAPITOLO_TOOL");
        if (tool.isEmpty())
            QSKIP("KAPITOLO_TOOL is not set");
        TopicDocument d;
        QVERIFY(loadSample(QStringLiteral("label_card.json"), d));
        QTemporaryDir dir;
        ScriptedMessages messages;
        const QString tsr = dir.filePath(QStringLiteral("karte.tsr"));
        const QString png = dir.filePath(QStringLiteral("karte.png"));
        QVERIFY(writeDocument(tsr, d, false, messages));
        QProcess process;
        process.start(tool, {QStringLiteral("render"), tsr, png, QStringLiteral("--size"), QStringLiteral("600x400"),
                             QStringLiteral("--numbering"), QStringLiteral("2"), QStringLiteral("--boxes")});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        const QJsonArray boxes = QJsonDocument::fromJson(process.readAllStandardOutput()).array();

        Random random(1);
        CardSnapshotOptions options;
        options.controlSize = QSize(600, 400);
        options.numberingMode = 2;
        CardLayout layout;
        ObjectMarks marks;
        const QImage expected = renderCardSnapshot(d, options, messages, random, &layout, &marks);
        QCOMPARE(boxes.size(), d.objects.size());
        for (int i = 0; i < boxes.size(); ++i) {
            const QJsonObject b = boxes.at(i).toObject();
            const DocObject &o = d.objects.at(i);
            const ObjectBox &box = layout.box(i);
            QCOMPARE(b.value(QLatin1String("index")).toInt(), i);
            QCOMPARE(b.value(QLatin1String("Typ")).toInt(), o.Typ);
            const QJsonArray hit = b.value(QLatin1String("hitBox")).toArray();
            QCOMPARE(hit.at(0).toDouble(), box.hitBox.left);
            QCOMPARE(hit.at(3).toDouble(), box.hitBox.bottom);
            QCOMPARE(b.value(QLatin1String("KAusrAkt")).toInt(), o.KAusrAkt);
            QCOMPARE(b.value(QLatin1String("pixelX")).toInt(), box.pixelX);
            QCOMPARE(b.value(QLatin1String("pixelY")).toInt(), box.pixelY);
            QCOMPARE(b.value(QLatin1String("displayNo")).toInt(), markOf(marks, i).displayNo);
        }
        QFile written(png);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(decodePng(written.readAll()).convertToFormat(QImage::Format_RGB32) == expected);

        process.start(tool, {QStringLiteral("render"), tsr, png, QStringLiteral("--zoom"), QStringLiteral("7")});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 2);
    }
};

QTEST_MAIN(TestCardView)
#include "tst_card_view.moc"
