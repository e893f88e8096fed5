#include "platform/png_codec.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"
#include "view/info_text.h"
#include "view/view_output.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

class ScriptedSaveDialog : public SaveFileDialog
{
public:
    QString answer;
    QList<SaveDialogOptions> asked;
    QString getSaveFileName(const SaveDialogOptions &options) override
    {
        asked.append(options);
        return answer;
    }
};

QImage viewPicture()
{
    // Odd width: BMP rows need padding.
    QImage image = patternImage(37, 21);
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestViewOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exportChecksTheExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("signature"); // empty: refused
        QTest::newRow("png") << "ansicht.png" << QByteArray("\x89PNG", 4);
        QTest::newRow("upper-case PNG") << "ansicht.PNG" << QByteArray("\x89PNG", 4);
        QTest::newRow("jpg") << "ansicht.jpg" << QByteArray("\xFF\xD8\xFF", 3);
        QTest::newRow("upper-case JPG") << "Ansicht.JPG" << QByteArray("\xFF\xD8\xFF", 3);
        QTest::newRow("bmp") << "ansicht.bmp" << QByteArray("BM");
        QTest::newRow("jpeg") << "ansicht.jpeg" << QByteArray();
        QTest::newRow("no extension") << "ansicht" << QByteArray();
        QTest::newRow("gif") << "ansicht.gif" << QByteArray();
        QTest::newRow("dot in the folder only") << "ordner.png/ansicht" << QByteArray();
    }
    void exportChecksTheExtension()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, signature);
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("ordner.png"));
        ScriptedSaveDialog dialog;
        dialog.answer = dir.filePath(name);
        ScriptedMessages messages;
        const bool saved = ExportView(viewPicture(), dialog, messages);
        QCOMPARE(dialog.asked.size(), 1);
        QCOMPARE(dialog.asked.first().title, QStringLiteral("Ansicht in Bilddatei speichern"));
        QCOMPARE(dialog.asked.first().filter,
                 QStringLiteral("Alle Dateien (*.*)|*.*|PNG (*.png)|*.png|JPEG (*.jpg)|*.jpg|Bitmap (*.bmp)|*.bmp"));
        QCOMPARE(dialog.asked.first().defaultExtension, QStringLiteral("png"));
        QVERIFY(dialog.asked.first().overwritePrompt);
        if (signature.isEmpty()) {
            QVERIFY(!saved);
            QCOMPARE(messages.texts(),
                     QStringList{QStringLiteral("Speichern fehlgeschlagen wegen ungültiger Dateinamenserweiterung.")});
            QCOMPARE(messages.shown().first().kind, MessageKind::Error);
            QVERIFY(!QFile::exists(dialog.answer) || QFileInfo(dialog.answer).isDir());
        } else {
            QVERIFY(saved);
            QVERIFY(messages.texts().isEmpty());
            QVERIFY(readFile(dialog.answer).startsWith(signature));
        }
    }

    void cancelWritesNothing()
    {
        ScriptedSaveDialog dialog;
        ScriptedMessages messages;
        QVERIFY(!ExportView(viewPicture(), dialog, messages));
        QVERIFY(messages.texts().isEmpty());
    }

    void savedPicturesKeepThePixels()
    {
        QTemporaryDir dir;
        ScriptedMessages messages;
        const QImage picture = viewPicture();

        const QString png = dir.filePath(QStringLiteral("a.png"));
        QVERIFY(SaveBitmapFile(picture, png, messages));
        QCOMPARE(decodePng(readFile(png)).convertToFormat(QImage::Format_RGB32), picture);

        const QString bmp = dir.filePath(QStringLiteral("a.bmp"));
        QVERIFY(SaveBitmapFile(picture, bmp, messages));
        const QByteArray bmpBytes = readFile(bmp);
        QCOMPARE(bmpBytes.size(), 54 + 21 * ((37 * 3 + 3) / 4 * 4));
        QCOMPARE(QImage::fromData(bmpBytes, "BMP").convertToFormat(QImage::Format_RGB32), picture);

        // Any other name is written as a bitmap too.
        const QString other = dir.filePath(QStringLiteral("a.dat"));
        QVERIFY(SaveBitmapFile(picture, other, messages));
        QCOMPARE(readFile(other), bmpBytes);

        const QString jpg = dir.filePath(QStringLiteral("a.jpg"));
        QVERIFY(SaveBitmapFile(picture, jpg, messages));
        const QByteArray jpeg = readFile(jpg);
        QVERIFY(jpeg.startsWith("\xFF\xD8") && jpeg.endsWith("\xFF\xD9"));
        if (QImageReader::supportedImageFormats().contains("jpeg")) {
            const QImage back = QImage::fromData(jpeg, "JPEG").convertToFormat(QImage::Format_RGB32);
            QCOMPARE(back.size(), picture.size());
            // Quality 99 of a noisy pattern: close, not exact.
            qint64 error = 0;
            for (int y = 0; y < back.height(); ++y)
                for (int x = 0; x < back.width(); ++x)
                    error += qAbs(qGreen(back.pixel(x, y)) - qGreen(picture.pixel(x, y)));
            QVERIFY2(error / (37 * 21) < 8, qPrintable(QString::number(error / (37 * 21))));
        }
        QVERIFY(messages.texts().isEmpty());
    }

    void failedWriteIsReported()
    {
        QTemporaryDir dir;
        ScriptedMessages messages;
        const QString path = dir.filePath(QStringLiteral("fehlt/ansicht.png"));
        QVERIFY(!SaveBitmapFile(viewPicture(), path, messages));
        QCOMPARE(messages.texts(), QStringList{writeErrorText(path)});
        messages.clear();
        QVERIFY(!SaveBitmapFile(QImage(), dir.filePath(QStringLiteral("leer.bmp")), messages));
        QCOMPARE(messages.texts().size(), 1);
    }

    void nineSliceFrame()
    {
        // A 9 x 9 template with a 3-pixel border: every region its own colour.
        QImage frame(9, 9, QImage::Format_RGB32);
        auto region = [](int v) { return v < 3 ? 0 : v < 6 ? 1 : 2; };
        const QRgb colours[3][3] = {{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)},
                                    {qRgb(255, 255, 0), qRgb(40, 40, 40), qRgb(0, 255, 255)},
                                    {qRgb(255, 0, 255), qRgb(128, 128, 0), qRgb(0, 128, 128)}};
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x)
                frame.setPixel(x, y, colours[region(y)][region(x)]);
        QImage target(40, 25, QImage::Format_RGB32);
        target.fill(Qt::black);
        FitNineSlice(target, frame, 3);
        QCOMPARE(target.pixel(0, 0), colours[0][0]);
        QCOMPARE(target.pixel(2, 2), colours[0][0]);
        QCOMPARE(target.pixel(39, 0), colours[0][2]);
        QCOMPARE(target.pixel(37, 2), colours[0][2]);
        QCOMPARE(target.pixel(0, 24), colours[2][0]);
        QCOMPARE(target.pixel(39, 24), colours[2][2]);
        QCOMPARE(target.pixel(20, 1), colours[0][1]);   // top edge
        QCOMPARE(target.pixel(20, 23), colours[2][1]);  // bottom edge
        QCOMPARE(target.pixel(1, 12), colours[1][0]);   // left edge
        QCOMPARE(target.pixel(38, 12), colours[1][2]);  // right edge
        QCOMPARE(target.pixel(20, 12), colours[1][1]);  // inside
        QCOMPARE(target.pixel(10, 10), colours[1][1]);

        // A template too small for its border is stretched whole instead.
        QImage small(4, 4, QImage::Format_RGB32);
        small.fill(qRgb(1, 2, 3));
        FitNineSlice(target, small, 3);
        QCOMPARE(target.pixel(20, 12), qRgb(1, 2, 3));
    }

    void infoTextOutput()
    {
        const QStringList lines = infoTextLines(QStringLiteral("Die <B>Insel</b> {liegt}\r\nim <@COL=ff0000>Meer</@COL> \\ "
                                                               "<@POSX=50%>Größe: 5 €<@LINIE>\rΩ <<Lücke>> <x>"));
        QCOMPARE(lines.size(), 3);
        const QStringList plain = plainInfoText(lines);
        QCOMPARE(plain.at(0), QStringLiteral("Die Insel {liegt}"));
        QCOMPARE(plain.at(1), QStringLiteral("im Meer \\ Größe: 5 €"));
        QCOMPARE(plain.at(2), QStringLiteral("Ω <<Lücke>> <x>"));
        const QByteArray rtf = infoTextRtf(plain, 11);
        QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252"));
        QVERIFY(rtf.contains("\\fs22 "));
        QVERIFY(rtf.contains("Die Insel \\{liegt\\}\\par"));
        QVERIFY(rtf.contains("im Meer \\\\ Gr\\'f6\\'dfe: 5 \\'80\\par"));
        QVERIFY(rtf.contains("\\u937? <<L\\'fccke>> <x>\\par"));
        QVERIFY(rtf.trimmed().endsWith('}'));
        QCOMPARE(rtf.count('{') - rtf.count("\\{"), rtf.count('}') - rtf.count("\\}"));
    }

    void dialogFilters()
    {
        QCOMPARE(qtNameFilters(exportViewDialogOptions().filter),
                 (QStringList{QStringLiteral("Alle Dateien (*)"), QStringLiteral("PNG (*.png)"),
                              QStringLiteral("JPEG (*.jpg)"), QStringLiteral("Bitmap (*.bmp)")}));
        QCOMPARE(qtNameFilters(QStringLiteral("Rich Text Dokument (*.rtf)|*.rtf|Alle Dateien (*.*)|*.*")),
                 (QStringList{QStringLiteral("Rich Text Dokument (*.rtf)"), QStringLiteral("Alle Dateien (*)")}));
    }
};

QTEST_MAIN(TestViewOutput)
#include "tst_view_output.moc"
