// Checks what the build put into the program folder: pictures, cursors, sounds and
// the help page.

#include "platform/png_codec.h"
#include "platform/cursor_shapes.h"
#include "platform/cursors.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

using namespace kapitolo;

namespace {

QString programFolder()
{
    return qEnvironmentVariable("KAPITOLO_PROGRAM_DIR");
}

QByteArray readAll(const QString &relativePath)
{
    QFile file(QDir(programFolder()).filePath(relativePath));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QImage loadPng(const QString &relativePath)
{
    return decodePng(readAll(relativePath));
}

quint32 le32(const QByteArray &b, int at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16
           | quint32(quint8(b[at + 3])) << 24;
}

quint16 le16(const QByteArray &b, int at)
{
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY2(QDir(programFolder()).exists(), "KAPITOLO_PROGRAM_DIR must name the built program folder");
    }

    void picturesDecode_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("opaque");
        QTest::newRow("start picture") << "data/kapitolo.png" << QSize(640, 400) << true;
        QTest::newRow("icon") << "data/kapitolo-icon.png" << QSize(256, 256) << false;
        QTest::newRow("background 1") << "data/hintergrund1.png" << QSize(60, 60) << true;
        QTest::newRow("background 2") << "data/hintergrund2.png" << QSize(60, 60) << true;
        for (const NamedCursorInfo &info : kNamedCursors)
            QTest::newRow(info.name) << QStringLiteral("data/cursors/") + QLatin1String(info.name) + QStringLiteral(".png")
                                     << QSize(kNamedCursorSize, kNamedCursorSize) << false;
    }

    void picturesDecode()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFETCH(bool, opaque);
        const QImage image = loadPng(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QCOMPARE(image.size(), size);
        bool anyTransparent = false;
        for (int y = 0; y < image.height() && !anyTransparent; ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) < 255) {
                    anyTransparent = true;
                    break;
                }
        QCOMPARE(anyTransparent, !opaque);
    }

    void backgroundsCarryTheThemeColours()
    {
        // The main window reads its colours from these pixels.
        const QImage first = loadPng(QStringLiteral("data/hintergrund1.png"));
        const QImage second = loadPng(QStringLiteral("data/hintergrund2.png"));
        QVERIFY(!first.isNull() && !second.isNull());
        QCOMPARE(QColor(first.pixel(0, 0)), QColor(236, 236, 232));
        QCOMPARE(QColor(first.pixel(30, 30)), QColor(240, 240, 236));
        QCOMPARE(QColor(second.pixel(30, 30)), QColor(236, 236, 232));
        // A background must stay quiet: no pixel far from the window colour.
        for (const QImage &tile : {first, second})
            for (int y = 0; y < tile.height(); ++y)
                for (int x = 0; x < tile.width(); ++x)
                    QVERIFY(std::abs(qGray(tile.pixel(x, y)) - 235) <= 8);
    }

    void cursorsAreDrawnAroundTheirHotSpots()
    {
        for (const NamedCursorInfo &info : kNamedCursors) {
            const QImage image = loadPng(QStringLiteral("data/cursors/") + QLatin1String(info.name) + QStringLiteral(".png"));
            QVERIFY2(!image.isNull(), info.name);
            const int last = kNamedCursorSize - 1;
            for (QPoint corner : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)})
                QVERIFY2(qAlpha(image.pixel(corner)) == 0, info.name);
            bool inkNearHotSpot = false;
            for (int dy = -4; dy <= 4; ++dy)
                for (int dx = -4; dx <= 4; ++dx) {
                    const QPoint p(info.hotX + dx, info.hotY + dy);
                    if (image.rect().contains(p) && qAlpha(image.pixel(p)) > 128)
                        inkNearHotSpot = true;
                }
            QVERIFY2(inkNearHotSpot, info.name);
        }
    }

    void namedCursorLoadsWithHotSpotOrFallsBack()
    {
        for (const NamedCursorInfo &info : kNamedCursors) {
            const QCursor cursor = namedCursor(QLatin1String(info.name), programFolder() + QStringLiteral("/data/cursors"));
            QCOMPARE(cursor.shape(), Qt::BitmapCursor);
            QCOMPARE(cursor.hotSpot(), QPoint(info.hotX, info.hotY));
            QCOMPARE(cursor.pixmap().size(), QSize(kNamedCursorSize, kNamedCursorSize));

            QTemporaryDir empty;
            QCOMPARE(namedCursor(QLatin1String(info.name), empty.path()).shape(), info.fallback);
        }
        // Names are matched as resource names are, without regard to case.
        QCOMPARE(namedCursor(QStringLiteral("hand"), programFolder() + QStringLiteral("/data/cursors")).hotSpot(),
                 QPoint(16, 16));
        QCOMPARE(namedCursor(QStringLiteral("GIBTESNICHT"), programFolder()).shape(), Qt::ArrowCursor);

        // A damaged picture counts as missing.
        QTemporaryDir broken;
        QFile file(broken.filePath(QStringLiteral("KREUZ.png")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\x89PNG\r\n\x1a\nkaputt");
        file.close();
        QCOMPARE(namedCursor(QStringLiteral("KREUZ"), broken.path()).shape(), Qt::CrossCursor);
    }

    void soundsAreShortPcm_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("correct") << "sound/Richtig1.wav";
        QTest::newRow("wrong") << "sound/Falsch1.wav";
    }

    void soundsAreShortPcm()
    {
        QFETCH(QString, path);
        const QByteArray wav = readAll(path);
        QVERIFY(wav.size() > 44);
        QCOMPARE(wav.left(4), QByteArray("RIFF"));
        QCOMPARE(le32(wav, 4), quint32(wav.size() - 8));
        QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(le32(wav, 16), 16u);
        QCOMPARE(le16(wav, 20), quint16(1));     // PCM
        QCOMPARE(le16(wav, 22), quint16(1));     // mono
        QCOMPARE(le32(wav, 24), 22050u);         // samples per second
        QCOMPARE(le32(wav, 28), 22050u * 2);     // bytes per second
        QCOMPARE(le16(wav, 32), quint16(2));     // block
        QCOMPARE(le16(wav, 34), quint16(16));    // bits
        QCOMPARE(wav.mid(36, 4), QByteArray("data"));
        const quint32 bytes = le32(wav, 40);
        QCOMPARE(qsizetype(bytes), wav.size() - 44);
        const double seconds = bytes / 2.0 / 22050.0;
        QVERIFY2(seconds >= 0.2 && seconds < 0.6, qPrintable(QString::number(seconds)));

        const auto *samples = reinterpret_cast<const qint16 *>(wav.constData() + 44);
        const int count = int(bytes / 2);
        int peak = 0;
        for (int i = 0; i < count; ++i)
            peak = std::max(peak, std::abs(int(samples[i])));
        QVERIFY2(peak > 8000 && peak < 32000, "audible, but not clipped");
        // Faded at both ends, so that playing it does not click.
        QVERIFY(std::abs(int(samples[0])) < 200);
        QVERIFY(std::abs(int(samples[count - 1])) < 200);
    }

    void helpPageIsUtf8WithWorkingAnchors()
    {
        const QByteArray bytes = readAll(QStringLiteral("hilfe/index.html"));
        QVERIFY(!bytes.isEmpty());
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString html = decoder.decode(bytes);
        QVERIFY(!decoder.hasError());
        QVERIFY(html.contains(QLatin1String("<meta charset=\"utf-8\">")));

        QSet<QString> ids;
        for (const QRegularExpressionMatch &m : QRegularExpression(QStringLiteral("id=\"([^\"]+)\"")).globalMatch(html))
            ids.insert(m.captured(1));
        int links = 0;
        for (const QRegularExpressionMatch &m : QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(html)) {
            QVERIFY2(ids.contains(m.captured(1)), qPrintable(m.captured(1)));
            ++links;
        }
        QVERIFY(links > 0);
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
