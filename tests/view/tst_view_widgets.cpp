#include "platform/random.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"
#include "view/card_image_widget.h"
#include "view/card_renderer.h"
#include "view/infobox_form.h"
#include "view/learning_view.h"
#include "view/view_output_ui.h"
#include "view_test_support.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

class ScriptedSaveDialog : public SaveFileDialog
{
public:
    QString answer;
    QString getSaveFileName(const SaveDialogOptions &options) override
    {
        title = options.title;
        return answer;
    }
    QString title;
};

} // namespace

class TestViewWidgets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cardControlShowsTheDisplayAndForwardsClicks()
    {
        TopicDocument document;
        document.baseImage = QImage(400, 600, QImage::Format_ARGB32);
        document.baseImage.fill(QColor(250, 240, 200));
        DocObject o;
        o.Typ = otLabel;
        o.Cap = QStringLiteral("Hafen");
        o.Kx = o.Sx = 0.3;
        o.Ky = o.Sy = 0.5;
        o.KAusr = 1;
        o.Ebene = layerBeschriftung;
        document.objects.append(o);
        ViewState view;
        view.cardHiddenOutsideQuiz = false;
        CardBitmaps bitmaps;
        FakeViewHost host;
        ScriptedMessages messages;
        Random random(1);
        CardRenderer renderer(document, view, bitmaps, host, messages);
        LearningView learning(document, view, renderer, host, messages, random);

        CardImageWidget widget;
        widget.setView(&bitmaps.display, &learning);
        QObject::connect(&widget, &CardImageWidget::controlResized, [&](const QSize &size) {
            view.controlSize = size;
            renderer.BuildCardView();
        });
        widget.resize(870, 600);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        QCOMPARE(view.controlSize, QSize(870, 600));
        QCOMPARE(bitmaps.display.size(), QSize(400, 600));

        const QImage shown = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.pixel(5, 300), cardcolour::controlBackground().rgb());
        QCOMPARE(shown.pixel(864, 300), cardcolour::controlBackground().rgb());
        QCOMPARE(shown.pixel(240, 20), QColor(250, 240, 200).rgb());

        const RectD &b = bitmaps.layout.hitBox(0);
        const QPoint centre = renderer.fractionToControl((b.left + b.right) / 2, (b.top + b.bottom) / 2);
        QTest::mouseMove(&widget, centre);
        QCOMPARE(host.cursor, CardCursor::PointingHand);
        QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, centre);
        QCOMPARE(markOf(view.marks, 0).coverState, int(csUncovered));
        QTest::mouseMove(&widget, QPoint(5, 5));
        QCOMPARE(host.cursor, CardCursor::Default);

        widget.resize(600, 600);
        QCOMPARE(view.controlSize, QSize(600, 600));
    }

    void keywordFieldByHand()
    {
        TopicDocument document;
        document.baseImage = QImage(600, 600, QImage::Format_ARGB32);
        document.baseImage.fill(Qt::white);
        ViewState view;
        view.cardHiddenOutsideQuiz = false;
        view.controlSize = QSize(870, 600);
        CardBitmaps bitmaps;
        CardImageWidget widget;
        // The main window's part: the field belongs to the image control.
        struct Host : FakeViewHost {
            CardImageWidget *image = nullptr;
            void showKeywordEdit(const QPoint &click) override { image->showKeywordEdit(click); }
            void hideKeywordEdit() override { image->hideKeywordEdit(); }
            void clearHiddenKeywordEdit() override { image->clearHiddenKeywordEdit(); }
        } host;
        host.image = &widget;
        ScriptedMessages messages;
        Random random(1);
        CardRenderer renderer(document, view, bitmaps, host, messages);
        LearningView learning(document, view, renderer, host, messages, random);
        widget.setView(&bitmaps.display, &learning);
        widget.resize(870, 600);
        renderer.BuildCardView();
        widget.show();
        widget.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&widget));
        QCOMPARE(renderer.displayOrigin(), QPoint(135, 0));

        learning.SelectTool(toolKeyword);
        KeywordEdit *edit = widget.keywordEdit();
        QCOMPARE(edit->objectName(), QStringLiteral("TexteingabeEdit"));
        QCOMPARE(edit->toolTip(), QStringLiteral("Text übernehmen mit Enter, abbrechen mit ESC"));
        // Near the right edge the field stays on the card, however long the word grows.
        QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(860, 300));
        QVERIFY(edit->isVisible());
        QVERIFY(edit->hasFocus());
        const int shortWidth = edit->width();
        QTest::keyClicks(edit, QStringLiteral("Nebenfluss"));
        QVERIFY(edit->width() > shortWidth);
        QCOMPARE(edit->geometry().right(), 135 + 600 - 1);
        QCOMPARE(edit->geometry().bottom(), 300 - 1);
        const QImage before = bitmaps.display.copy();
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(edit->isHidden());
        QVERIFY(edit->text().isEmpty());
        QCOMPARE(bitmaps.display, before);

        // Enter writes the word where the field stood, in blue, and empties the field.
        QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
        QTest::keyClicks(edit, QStringLiteral("Delta"));
        const QPoint at = edit->pos() - QPoint(135, 0);
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(edit->isHidden());
        QVERIFY(edit->text().isEmpty());
        const QRect ink = inkBounds(bitmaps.display, bitmaps.display.rect(), qRgb(255, 255, 255));
        QVERIFY(!ink.isEmpty());
        QVERIFY(qAbs(ink.left() - at.x()) <= 4 && ink.top() >= at.y() && ink.bottom() <= at.y() + edit->height());

        // Another tool hides a field with text; choosing the keyword tool again empties it.
        QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
        QTest::keyClicks(edit, QStringLiteral("Quelle"));
        learning.SelectTool(toolRedPen);
        QVERIFY(edit->isHidden());
        QCOMPARE(edit->text(), QStringLiteral("Quelle"));
        learning.SelectTool(toolKeyword);
        QVERIFY(edit->text().isEmpty());
    }

    void infoWindowSizeAndPlace()
    {
        ScriptedSaveDialog dialog;
        ScriptedMessages messages;
        TInfoboxForm form(dialog, messages);
        const QRect mainFrame(100, 50, 1000, 700);
        form.showInfoText(QStringLiteral("Die <B>Insel</B> liegt im Meer."), mainFrame);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.lines(), QStringList{QStringLiteral("Die <B>Insel</B> liegt im Meer.")});
        QCOMPARE(form.textImage().width(), form.scrollBox()->width() - 30);
        const int shortHeight = form.height();
        QCOMPARE(shortHeight, TInfoboxForm::kPanelHeight + form.textImage().height() + 34);
        QVERIFY(shortHeight < TInfoboxForm::kMaxHeight);
        QCOMPARE(form.frameGeometry().right() + 1, mainFrame.right() + 1 - 6);
        QCOMPARE(form.frameGeometry().top(), mainFrame.top() + 6);

        QStringList many;
        for (int i = 0; i < 80; ++i)
            many << QStringLiteral("Zeile %1 mit etwas Text").arg(i);
        form.showInfoText(many.join(QStringLiteral("\r\n")), mainFrame);
        QCOMPARE(form.height(), TInfoboxForm::kMaxHeight);
        QScrollBar *bar = form.scrollBox()->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), 0);
        QTest::keyClick(&form, Qt::Key_PageDown);
        QCOMPARE(bar->value(), bar->pageStep());
        QTest::keyClick(&form, Qt::Key_PageUp);
        QCOMPARE(bar->value(), 0);

        // Dragging the text with the left button scrolls it.
        QWidget *text = form.scrollBox()->widget();
        QTest::mousePress(text, Qt::LeftButton, Qt::NoModifier, QPoint(50, 200));
        QTest::mouseMove(text, QPoint(50, 100));
        QTRY_COMPARE(bar->value(), 100);
        QTest::mouseRelease(text, Qt::LeftButton, Qt::NoModifier, QPoint(50, 100));

        form.close();
        QCOMPARE(bar->value(), 0);
        form.showInfoText(QStringLiteral("kurz"), mainFrame);
        QCOMPARE(form.height(), TInfoboxForm::kPanelHeight + form.textImage().height() + 34);
    }

    void infoWindowSavesAndCopies()
    {
        QTemporaryDir dir;
        ScriptedSaveDialog dialog;
        ScriptedMessages messages;
        TInfoboxForm form(dialog, messages);
        form.showInfoText(QStringLiteral("Die <B>Insel</B> {Süd}"), QRect(0, 0, 800, 600));
        dialog.answer = dir.filePath(QStringLiteral("info.rtf"));
        form.SpeichernBtnClick();
        QCOMPARE(dialog.title, QStringLiteral("Infotext in Datei speichern"));
        QCOMPARE(readFile(dialog.answer), form.richTextCopy());
        QVERIFY(form.richTextCopy().contains("Die Insel \\{S\\'fcd\\}"));
        dialog.answer = dir.filePath(QStringLiteral("fehlt/info.rtf"));
        form.SpeichernBtnClick();
        QCOMPARE(messages.texts(), QStringList{writeErrorText(dialog.answer)});

        form.ZwischenablageBtnClick();
        const QMimeData *data = QApplication::clipboard()->mimeData();
        QVERIFY(data);
        QCOMPARE(data->text(), QStringLiteral("Die Insel {Süd}"));
        QCOMPARE(data->data(QStringLiteral("text/rtf")), form.richTextCopy());
        form.SchliessenBtnClick();
        QVERIFY(!form.isVisible());
    }

    void copyViewPutsTheDisplayOnTheClipboard()
    {
        const QImage display = patternImage(30, 20).convertToFormat(QImage::Format_RGB32);
        FakeClock clock;
        CopyView(display, clock);
        QCOMPARE(clock.waits(), QList<int>{100});
        QCOMPARE(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), display);
    }
};

QTEST_MAIN(TestViewWidgets)
#include "tst_view_widgets.moc"
