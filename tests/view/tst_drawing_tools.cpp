#include "platform/random.h"
#include "support/scripted_messages.h"
#include "view/card_renderer.h"
#include "view/drawing_tools.h"
#include "view/learning_view.h"
#include "view/link_safety.h"
#include "view_test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

const QRgb kWhite = 0xFFFFFF; // pixels compared without their alpha

// A card as big as the control (one card pixel per display pixel): its left half black
// like printed text, its right half white like paper.
TopicDocument halfBlackDocument()
{
    TopicDocument d;
    d.baseImage = QImage(870, 600, QImage::Format_ARGB32);
    d.baseImage.fill(Qt::white);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 435; ++x)
            d.baseImage.setPixel(x, y, qRgb(0, 0, 0));
    d.fileName = QStringLiteral("karte.tsr");
    return d;
}

DocObject label(const QString &caption, double x, double y, qint32 typ = otLabel)
{
    DocObject o;
    o.Typ = typ;
    o.Cap = caption;
    o.Kx = o.Sx = x;
    o.Ky = o.Sy = y;
    o.KAusr = 1;
    o.Ebene = typ == otLink ? layerInfopunkte : layerBeschriftung;
    return o;
}

struct Card {
    TopicDocument doc;
    ViewState view;
    CardBitmaps bitmaps;
    FakeViewHost host;
    ScriptedMessages messages;
    Random random{3};
    CardRenderer renderer{doc, view, bitmaps, host, messages};
    LearningView learning{doc, view, renderer, host, messages, random};

    explicit Card(TopicDocument d, QSize control = QSize(870, 600))
        : doc(std::move(d))
    {
        view.controlSize = control;
        view.cardHiddenOutsideQuiz = false;
        renderer.BuildCardView();
    }
    QRgb shown(int x, int y) const { return bitmaps.display.pixel(x, y) & 0xFFFFFF; }
    // A stroke by hand: press, moves in small steps, release.
    void stroke(QPoint from, QPoint to, int steps = 10)
    {
        learning.mouseMoved(from, Qt::NoButton);
        learning.mousePressed(from, Qt::LeftButton);
        for (int i = 1; i <= steps; ++i)
            learning.mouseMoved(from + (to - from) * i / steps, Qt::LeftButton);
        learning.mouseReleased(to, Qt::LeftButton, Qt::NoButton);
    }
};

// The pixels of a colour family, e.g. the green of a tick: their bounding box.
QRect colourBounds(const QImage &image, bool (*match)(QRgb))
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

bool penRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

} // namespace

class TestDrawingTools : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void strokesOnBlackAndWhite_data()
    {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QRgb>("onBlack");
        QTest::addColumn<QRgb>("onWhite");
        QTest::addColumn<int>("halfWidth");
        QTest::newRow("red pen, opaque") << int(toolRedPen) << qRgb(255, 0, 0) << qRgb(255, 0, 0) << 2;
        QTest::newRow("yellow marker") << int(toolYellowMarker) << qRgb(0, 0, 0) << qRgb(255, 255, 0) << 12;
        QTest::newRow("green marker") << int(toolGreenMarker) << qRgb(0, 0, 0) << qRgb(0, 255, 0) << 12;
    }
    void strokesOnBlackAndWhite()
    {
        QFETCH(int, tool);
        QFETCH(QRgb, onBlack);
        QFETCH(QRgb, onWhite);
        QFETCH(int, halfWidth);
        Card card(halfBlackDocument());
        card.learning.SelectTool(tool);
        card.stroke(QPoint(100, 300), QPoint(800, 300), 35);
        QCOMPARE(card.shown(200, 300), onBlack & 0xFFFFFF);
        QCOMPARE(card.shown(600, 300), onWhite & 0xFFFFFF);
        QCOMPARE(card.shown(600, 300 + halfWidth), onWhite & 0xFFFFFF);
        QCOMPARE(card.shown(600, 300 + halfWidth + 3), kWhite);
        // A marker passing again changes nothing: it filters, it does not pile up.
        card.stroke(QPoint(800, 300), QPoint(100, 300), 35);
        QCOMPARE(card.shown(600, 300), onWhite & 0xFFFFFF);
        // The marks live on the display only; the card keeps its picture until a commit.
        QCOMPARE(card.bitmaps.cardBitmap.pixel(600, 300) & 0xFFFFFF, kWhite);
        QVERIFY(!card.host.repaintedAreas.isEmpty());
        QVERIFY(card.host.repaintedAreas.last().contains(QPoint(100, 300)));
    }

    void oneStampPerPress_data()
    {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QRgb>("colour");
        QTest::addColumn<QPoint>("offset");
        QTest::newRow("tick") << int(toolTick) << cardcolour::tick().rgb() << QPoint(5, 1);
        QTest::newRow("cross") << int(toolCross) << cardcolour::cross().rgb() << QPoint(1, 0);
    }
    void oneStampPerPress()
    {
        QFETCH(int, tool);
        QFETCH(QRgb, colour);
        QFETCH(QPoint, offset);
        TopicDocument d = halfBlackDocument();
        d.baseImage.fill(Qt::white);
        Card card(std::move(d));
        card.learning.SelectTool(tool);
        auto stamped = [&](QRgb c) {
            return qAbs(qRed(c) - qRed(colour)) < 40 && qAbs(qGreen(c) - qGreen(colour)) < 40
                && qAbs(qBlue(c) - qBlue(colour)) < 40;
        };
        auto bounds = [&] {
            QRect r;
            for (int y = 0; y < 600; ++y)
                for (int x = 0; x < 870; ++x)
                    if (stamped(card.bitmaps.display.pixel(x, y)))
                        r |= QRect(x, y, 1, 1);
            return r;
        };
        // Held down and dragged 300 pixels: one symbol, where the press was.
        card.stroke(QPoint(200, 200), QPoint(500, 200), 30);
        const QRect first = bounds();
        QVERIFY(!first.isEmpty());
        QVERIFY2(first.width() < 60, qPrintable(QString::number(first.width())));
        QVERIFY(qAbs(first.center().x() - (200 + offset.x())) <= 3);
        QVERIFY(qAbs(first.center().y() - (200 + offset.y())) <= 8);
        QVERIFY(!card.learning.drawing().stampLocked()); // released with the button
        // A new press stamps the next one.
        card.stroke(QPoint(600, 400), QPoint(610, 400), 2);
        const QRect both = bounds();
        QVERIFY(both.contains(QPoint(600 + offset.x(), 400 + offset.y())));
        QVERIFY(both.contains(first));
        // Choosing the tool again frees a lock left by a press that never came up.
        card.learning.mousePressed(QPoint(100, 500), Qt::LeftButton);
        QVERIFY(card.learning.drawing().stampLocked());
        card.learning.SelectTool(tool);
        QVERIFY(!card.learning.drawing().stampLocked());
    }

    void marksLifeCycle()
    {
        TopicDocument d = halfBlackDocument();
        d.baseImage.fill(Qt::white);
        d.objects.append(label(QStringLiteral("Paris"), 0.3, 0.3));
        Card card(std::move(d));
        card.learning.SetZoom(4); // the card twice the display: there is room to scroll
        card.learning.UncoverAll();
        card.learning.SelectTool(toolRedPen);
        card.stroke(QPoint(400, 100), QPoint(400, 500), 20);
        QVERIFY(penRed(card.bitmaps.display.pixel(400, 300)));

        // A scroll commits the marks: they travel with the card.
        const int before = card.view.windowOffsetX;
        card.learning.Scroll(ScrollDirection::Left);
        const int shift = before - card.view.windowOffsetX;
        QVERIFY(shift > 0);
        QVERIFY(penRed(card.bitmaps.display.pixel(400 + shift, 300)));
        QVERIFY(!penRed(card.bitmaps.display.pixel(400, 300)));

        // The eraser takes the committed mark away where it passes, nowhere else.
        card.learning.SelectTool(toolEraser);
        card.stroke(QPoint(400 + shift, 200), QPoint(400 + shift, 300), 10);
        for (int y = 200; y <= 300; y += 10)
            QVERIFY2(!penRed(card.bitmaps.display.pixel(400 + shift, y)), qPrintable(QString::number(y)));
        QVERIFY(penRed(card.bitmaps.display.pixel(400 + shift, 450)));
        QCOMPARE(card.bitmaps.display.pixel(400 + shift, 250), card.bitmaps.windowSnapshot.pixel(400 + shift, 250));

        // Covering a label redraws its box: a mark inside it is gone, one beside it stays.
        card.learning.SelectTool(toolRedPen);
        const QRect box = card.renderer.hitBoxPixels(0).translated(-card.view.windowOffsetX, -card.view.windowOffsetY);
        QVERIFY(card.bitmaps.display.rect().contains(box));
        card.stroke(QPoint(box.left() + 3, box.center().y()), QPoint(box.right() + 60, box.center().y()), 10);
        QVERIFY(penRed(card.bitmaps.display.pixel(box.left() + 8, box.center().y())));
        card.learning.SelectTool(toolPointer);
        card.learning.mousePressed(box.center() + card.renderer.displayOrigin(), Qt::LeftButton);
        QCOMPARE(markOf(card.view.marks, 0).coverState, int(csCovered));
        QVERIFY(!penRed(card.bitmaps.display.pixel(box.left() + 8, box.center().y())));
        QVERIFY(penRed(card.bitmaps.display.pixel(box.right() + 40, box.center().y())));

        // "Alle Zeichnungen entfernen": the card as built, committed marks included.
        card.learning.RemoveAllDrawings();
        QVERIFY(colourBounds(card.bitmaps.display, penRed).isEmpty());
        QCOMPARE(card.bitmaps.cardBitmap, card.bitmaps.cardSnapshot);

        // A rebuild (here a layer change) discards every mark.
        card.learning.SelectTool(toolRedPen);
        card.stroke(QPoint(100, 100), QPoint(300, 100));
        card.learning.Scroll(ScrollDirection::Right);
        card.stroke(QPoint(100, 200), QPoint(300, 200));
        QVERIFY(!colourBounds(card.bitmaps.display, penRed).isEmpty());
        card.learning.SetLayer(layerInfopunkte, false);
        QVERIFY(colourBounds(card.bitmaps.display, penRed).isEmpty());
        QVERIFY(colourBounds(card.bitmaps.cardBitmap, penRed).isEmpty());
    }

    void strokesStartWhereThePointerIs()
    {
        TopicDocument d = halfBlackDocument();
        d.baseImage.fill(Qt::white);
        Card card(std::move(d));
        card.learning.SelectTool(toolRedPen);
        // The pointer was at the left, left the control, and comes back at the right: the
        // press there makes a dot, no line across the card.
        card.learning.mouseMoved(QPoint(100, 300), Qt::NoButton);
        card.learning.mouseMoved(QPoint(110, 300), Qt::NoButton);
        card.learning.mouseLeft();
        card.learning.mouseMoved(QPoint(700, 300), Qt::NoButton);
        card.learning.mousePressed(QPoint(700, 300), Qt::LeftButton);
        card.learning.mouseReleased(QPoint(700, 300), Qt::LeftButton, Qt::NoButton);
        const QRect ink = colourBounds(card.bitmaps.display, penRed);
        QVERIFY(!ink.isEmpty());
        QVERIFY2(ink.width() <= 7 && ink.left() >= 690, qPrintable(QStringLiteral("%1 %2").arg(ink.left()).arg(ink.width())));
        // Without leaving, a press after a move joins the point before that move (the
        // short stroke of a press without moving).
        card.learning.mouseMoved(QPoint(720, 350), Qt::NoButton);
        card.learning.mouseMoved(QPoint(730, 350), Qt::NoButton);
        card.learning.mousePressed(QPoint(730, 350), Qt::LeftButton);
        QVERIFY(penRed(card.bitmaps.display.pixel(722, 350)));
    }

    void toolsRestDuringAQuizAndWhileTheCardIsHidden()
    {
        TopicDocument d = halfBlackDocument();
        d.baseImage.fill(Qt::white);
        Card card(std::move(d));
        card.learning.SelectTool(toolRedPen);
        card.host.quiz.running = true;
        card.stroke(QPoint(100, 100), QPoint(700, 100));
        card.host.quiz.running = false;
        QVERIFY(colourBounds(card.bitmaps.display, penRed).isEmpty());
        card.view.cardHiddenOutsideQuiz = true;
        card.renderer.ShowWindow();
        card.stroke(QPoint(100, 100), QPoint(700, 100));
        card.learning.drawing().WriteKeyword(QStringLiteral("Fluss"), QPoint(50, 50));
        QCOMPARE(card.bitmaps.display.pixel(400, 100), cardcolour::controlBackground().rgb());
        QVERIFY(colourBounds(card.bitmaps.display, penRed).isEmpty());
    }

    void keywordField_data()
    {
        QTest::addColumn<QPoint>("click");
        QTest::addColumn<int>("textWidth");
        QTest::addColumn<QRect>("expected");
        // Control 870 x 600, display 600 x 560 at (135, 20); a line is 27 pixels high.
        QTest::newRow("inside") << QPoint(300, 200) << 100 << QRect(300, 173, 135, 27);
        QTest::newRow("near the right edge") << QPoint(700, 200) << 100 << QRect(600, 173, 135, 27);
        QTest::newRow("longer than the display") << QPoint(400, 200) << 900 << QRect(135, 173, 600, 27);
        QTest::newRow("left of the display") << QPoint(20, 200) << 10 << QRect(135, 173, 45, 27);
        QTest::newRow("at the top") << QPoint(300, 5) << 10 << QRect(300, 20, 45, 27);
        QTest::newRow("below the display") << QPoint(300, 599) << 10 << QRect(300, 553, 45, 27);
    }
    void keywordField()
    {
        QFETCH(QPoint, click);
        QFETCH(int, textWidth);
        QFETCH(QRect, expected);
        const QRect r = keywordFieldRect(click, textWidth, 27, QSize(870, 600), QPoint(135, 20), 600);
        QCOMPARE(r, expected);
        QVERIFY(r.left() >= 135 && r.right() <= 135 + 600 - 1);
        QVERIFY(r.top() >= 20 && r.bottom() <= 20 + 560 - 1);
    }

    void linkRules_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("target"); // for Open: the address or the path below the folder
        const QString launching = QStringLiteral("Programme, Skripte, Installationspakete und Programmstarter werden "
                                                 "aus Themendokumenten heraus nicht gestartet.");
        const QString type = QStringLiteral("Aus Themendokumenten heraus werden nur Dokumente, Bilder, Ton- und "
                                            "Videodateien geöffnet.");
        const QString scheme = QStringLiteral("Aus Themendokumenten heraus werden nur Internet-Adressen (http, https), "
                                              "E-Mail-Adressen (mailto) und Dokumentdateien geöffnet.");
        QTest::newRow("http") << "http://www.schule.de/karte" << int(LinkDecision::Open) << "http://www.schule.de/karte";
        QTest::newRow("https") << " https://de.wikipedia.org/wiki/Rom " << int(LinkDecision::Open)
                               << "https://de.wikipedia.org/wiki/Rom";
        QTest::newRow("mailto") << "mailto:lehrer@schule.de" << int(LinkDecision::Open) << "mailto:lehrer@schule.de";
        QTest::newRow("www") << "www.schule.de" << int(LinkDecision::Open) << "https://www.schule.de";
        QTest::newRow("pdf beside the document") << "arbeitsblatt.pdf" << int(LinkDecision::Open) << "dok/arbeitsblatt.pdf";
        QTest::newRow("windows path, other case") << "Material\\Karte.PDF" << int(LinkDecision::Open)
                                                  << "dok/material/karte.pdf";
        QTest::newRow("file address") << "file://DOK/arbeitsblatt.pdf" << int(LinkDecision::Open) << "dok/arbeitsblatt.pdf";
        QTest::newRow("desktop file") << "tafel.desktop" << int(LinkDecision::Refused) << launching;
        QTest::newRow("executable script") << "tafel.sh" << int(LinkDecision::Refused) << launching;
        QTest::newRow("document with the execute bit") << "notiz.txt" << int(LinkDecision::Refused) << launching;
        QTest::newRow("script named like a pdf") << "bericht.pdf" << int(LinkDecision::Refused) << launching;
        QTest::newRow("link to a program") << "verweis.pdf" << int(LinkDecision::Refused) << launching;
        QTest::newRow("installer") << "setup.exe" << int(LinkDecision::Refused) << launching;
        QTest::newRow("archive") << "daten.zip" << int(LinkDecision::Refused) << type;
        QTest::newRow("folder") << "material" << int(LinkDecision::Refused) << type;
        QTest::newRow("javascript") << "javascript:alert(1)" << int(LinkDecision::Refused) << scheme;
        QTest::newRow("network share") << "smb://server/freigabe/a.pdf" << int(LinkDecision::Refused) << scheme;
        QTest::newRow("missing file") << "fehlt.pdf" << int(LinkDecision::Missing) << "";
        QTest::newRow("only in the working folder") << "nur-hier.pdf" << int(LinkDecision::Missing) << "";
        QTest::newRow("drive letter") << "C:\\Texte\\brief.pdf" << int(LinkDecision::Missing) << "";
        QTest::newRow("http without host") << "http://" << int(LinkDecision::Missing) << "";
    }
    void linkRules()
    {
        QFETCH(QString, caption);
        QFETCH(int, kind);
        QFETCH(QString, target);
        QTemporaryDir dir;
        QDir root(dir.path());
        QVERIFY(root.mkpath(QStringLiteral("dok/material")));
        QVERIFY(root.mkpath(QStringLiteral("arbeit")));
        auto write = [&](const QString &name, const QByteArray &bytes, bool executable = false) {
            QFile f(root.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            f.close();
            if (executable)
                f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeUser);
        };
        write(QStringLiteral("dok/arbeitsblatt.pdf"), "%PDF-1.4\n");
        write(QStringLiteral("dok/material/karte.pdf"), "%PDF-1.4\n");
        write(QStringLiteral("dok/tafel.desktop"), "[Desktop Entry]\nType=Application\nExec=xterm\n");
        write(QStringLiteral("dok/tafel.sh"), "#!/bin/sh\nrm -rf ~\n", true);
        write(QStringLiteral("dok/notiz.txt"), "Hausaufgaben\n", true);
        write(QStringLiteral("dok/bericht.pdf"), "#!/bin/sh\necho\n");
        write(QStringLiteral("dok/setup.exe"), "MZ\x90\x00");
        write(QStringLiteral("dok/daten.zip"), "PK\x03\x04");
        write(QStringLiteral("arbeit/nur-hier.pdf"), "%PDF-1.4\n");
        QVERIFY(QFile::link(QStringLiteral("/bin/sh"), root.filePath(QStringLiteral("dok/verweis.pdf"))));
        const QString before = QDir::currentPath();
        QDir::setCurrent(root.filePath(QStringLiteral("arbeit")));
        caption.replace(QStringLiteral("DOK"), root.filePath(QStringLiteral("dok")));
        const LinkDecision d = CheckLink(caption, root.filePath(QStringLiteral("dok")));
        QDir::setCurrent(before);
        QCOMPARE(int(d.kind), kind);
        if (kind == LinkDecision::Open) {
            const QString expected = target.startsWith(QLatin1String("dok/")) ? root.filePath(target) : target;
            QCOMPARE(d.target, expected);
        } else if (kind == LinkDecision::Refused) {
            QCOMPARE(d.message, QStringLiteral("Der Verweis \"") + caption.trimmed()
                                    + QStringLiteral("\" wird aus Sicherheitsgründen nicht geöffnet.\r\n") + target);
        }
    }

    void clickedLinksFollowTheRules()
    {
        QTemporaryDir dir;
        QFile launcher(dir.filePath(QStringLiteral("start.desktop")));
        QVERIFY(launcher.open(QIODevice::WriteOnly));
        launcher.write("[Desktop Entry]\nExec=xterm\n");
        launcher.close();
        QFile pdf(dir.filePath(QStringLiteral("blatt.pdf")));
        QVERIFY(pdf.open(QIODevice::WriteOnly));
        pdf.close();
        TopicDocument d = halfBlackDocument();
        d.objects.append(label(QStringLiteral("start.desktop"), 0.1, 0.2, otLink));
        d.objects.append(label(QStringLiteral("blatt.pdf"), 0.1, 0.5, otLink));
        d.objects.append(label(QStringLiteral("fehlt.pdf"), 0.1, 0.8, otLink));
        Card card(std::move(d));
        card.host.folders.documentFolder = dir.path();
        card.renderer.BuildCardView();
        auto centre = [&](int i) {
            const RectD &b = card.bitmaps.layout.hitBox(i);
            return card.renderer.fractionToControl((b.left + b.right) / 2, (b.top + b.bottom) / 2);
        };
        card.learning.mousePressed(centre(0), Qt::LeftButton);
        QVERIFY(card.host.shellOpened.isEmpty());
        QCOMPARE(card.messages.texts().size(), 1);
        QVERIFY(card.messages.texts().first().startsWith(QStringLiteral("Der Verweis \"start.desktop\" wird aus Sicherheitsgründen")));
        card.learning.mousePressed(centre(1), Qt::LeftButton);
        QCOMPARE(card.host.shellOpened, QStringList{dir.filePath(QStringLiteral("blatt.pdf"))});
        card.learning.mousePressed(centre(2), Qt::LeftButton);
        QCOMPARE(card.host.shellOpened.size(), 1);
        QCOMPARE(card.messages.texts().last(),
                 QStringLiteral("Die Datei oder Internet-Adresse \"fehlt.pdf\" kann nicht geöffnet werden."));
    }
};

QTEST_MAIN(TestDrawingTools)
#include "tst_drawing_tools.moc"
