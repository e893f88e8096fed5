#include "document/document_file.h"
#include "platform/png_codec.h"
#include "support/scripted_messages.h"
#include "support/test_files.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <png.h>

#include <csetjmp>
#include <vector>

using namespace kapitolo;
using namespace kapitolo::test;

namespace {

// PNG bytes of any colour type and depth, written with libpng directly, so the
// reader meets what other programs write. Sample values follow a fixed pattern.
QByteArray rawPng(int width, int height, int colorType, int bitDepth, bool interlaced, bool withTrns)
{
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            static_cast<QByteArray *>(png_get_io_ptr(p))->append(reinterpret_cast<const char *>(data), qsizetype(n));
        },
        nullptr);
    png_set_IHDR(png, info, width, height, bitDepth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_color palette[16];
        for (int i = 0; i < 16; ++i)
            palette[i] = png_color{png_byte(i * 16), png_byte(255 - i * 16), png_byte(i * 5)};
        png_set_PLTE(png, info, palette, 16);
        if (withTrns) {
            png_byte alpha[2] = {0, 128};
            png_set_tRNS(png, info, alpha, 2, nullptr);
        }
    } else if (withTrns && colorType == PNG_COLOR_TYPE_GRAY) {
        png_color_16 transparent{};
        transparent.gray = 0;
        png_set_tRNS(png, info, nullptr, 0, &transparent);
    }
    png_write_info(png, info);
    const int channels = colorType == PNG_COLOR_TYPE_RGB ? 3
        : colorType == PNG_COLOR_TYPE_RGB_ALPHA         ? 4
        : colorType == PNG_COLOR_TYPE_GRAY_ALPHA        ? 2
                                                        : 1;
    const int rowBytes = (width * channels * bitDepth + 7) / 8;
    std::vector<std::vector<png_byte>> rows(height, std::vector<png_byte>(rowBytes));
    const int maxValue = colorType == PNG_COLOR_TYPE_PALETTE ? qMin(15, (1 << bitDepth) - 1) : (1 << bitDepth) - 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width * channels; ++x) {
            const int v = (x * 7 + y * 3) % (maxValue + 1);
            if (bitDepth == 16) {
                rows[y][2 * x] = png_byte(v >> 8);
                rows[y][2 * x + 1] = png_byte(v & 0xFF);
            } else if (bitDepth == 8) {
                rows[y][x] = png_byte(v);
            } else {
                const int perByte = 8 / bitDepth;
                const int shift = 8 - bitDepth * (x % perByte + 1);
                rows[y][x / perByte] |= png_byte(v << shift);
            }
        }
    }
    std::vector<png_bytep> pointers;
    for (auto &row : rows)
        pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

QByteArray documentBytes(const TopicDocument &d, const QString &dir)
{
    TopicDocument copy = d;
    ScriptedMessages messages;
    const QString path = dir + QStringLiteral("/tmp-doc.tsr");
    if (!writeDocument(path, copy, false, messages))
        return {};
    return readFile(path);
}

// The byte offset where the base image starts in a file written by the writer.
qsizetype pngOffset(const QByteArray &file)
{
    return file.indexOf("\x89PNG");
}

} // namespace

class TestDocumentFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void everyFieldSurvivesARoundTrip()
    {
        TopicDocument original = sampleLabelDocument();
        original.lueckentext = QStringLiteral("Zeile 1\r\n<B>fett</B> <<Lücke>>");
        original.fragentext = QStringLiteral("Frage//Antwort");
        original.objects[0].Cap = QStringLiteral("Zwei\r\nZeilen, mit \"Zitat\"");
        original.objects[1].Sx = -0.25;
        original.objects[2].FrageNummer = 7;
        ScriptedMessages messages;
        const QString file = path(QStringLiteral("rund.tsr"));
        QVERIFY(writeDocument(file, original, true, messages));
        QCOMPARE(original.fileName, file);

        TopicDocument read;
        TopicNavigation nav;
        QCOMPARE(readDocument(file, read, nav, messages), ReadResult::Ok);
        QVERIFY(messages.shown().isEmpty());
        QCOMPARE(read.fileName, file);
        QCOMPARE(read.vers, original.vers);
        QCOMPARE(read.titel, original.titel);
        QCOMPARE(read.autor, original.autor);
        QCOMPARE(read.bemerkung, original.bemerkung);
        QCOMPARE(read.lueckentext, original.lueckentext);
        QCOMPARE(read.fragentext, original.fragentext);
        QCOMPARE(read.AnzFrageNummern, original.AnzFrageNummern);
        QCOMPARE(read.DokTyp, original.DokTyp);
        QCOMPARE(read.RandErw, original.RandErw);
        QCOMPARE(read.NumArt, original.NumArt);
        QCOMPARE(read.GeordnetArt, original.GeordnetArt);
        QCOMPARE(read.objects.size(), original.objects.size());
        for (qsizetype i = 0; i < read.objects.size(); ++i) {
            const DocObject &a = original.objects[i];
            const DocObject &b = read.objects[i];
            QCOMPARE(b.Sx, a.Sx);
            QCOMPARE(b.Sy, a.Sy);
            QCOMPARE(b.Kx, a.Kx);
            QCOMPARE(b.Ky, a.Ky);
            QCOMPARE(b.Cap, a.Cap);
            QCOMPARE(b.KAusr, a.KAusr);
            QCOMPARE(b.TAusr, a.TAusr);
            QCOMPARE(b.Ebene, a.Ebene);
            QCOMPARE(b.Typ, a.Typ);
            QCOMPARE(b.Sline, a.Sline);
            QCOMPARE(b.Fsize, a.Fsize);
            QCOMPARE(b.KAusrAkt, a.KAusrAkt);
            QCOMPARE(b.FrageNummer, a.FrageNummer);
        }
        QCOMPARE(read.baseImage.size(), original.baseImage.size());
        QCOMPARE(read.baseImage.convertToFormat(QImage::Format_ARGB32),
                 original.baseImage.convertToFormat(QImage::Format_ARGB32));
    }

    void fileLayoutIsByteExact()
    {
        TopicDocument d;
        d.titel = QStringLiteral("Ä");
        DocObject o;
        o.Cap = QStringLiteral("Berlin");
        d.objects.append(o);
        d.baseImage = patternImage(2, 2);
        const QByteArray bytes = documentBytes(d, m_dir.path());
        QCOMPARE(bytes.left(12), QByteArray("\x08\0\0\0QMF-1.01", 12));
        QCOMPARE(bytes.mid(12, 4), QByteArray("\xF4\0\0\0", 4)); // the 244-byte key list
        QCOMPARE(bytes.mid(16, 244), QByteArray(kDocumentKeyList));
        QCOMPARE(QByteArray(kDocumentKeyList).size(), 244);
        qsizetype p = 16 + 244;
        QCOMPARE(bytes.mid(p, 8), QByteArray("\x04\0\0\0" "1.00", 8));
        p += 8;
        QCOMPARE(bytes.mid(p, 5), QByteArray("\x01\0\0\0\xC4", 5));
        // header strings (autor, bemerkung, lueckentext, fragentext), five ints/rect, count
        p += 5 + 4 * 4 + 4 + 4 + 32 + 4 + 4;
        QCOMPARE(bytes.mid(p, 4), QByteArray("\x01\0\0\0", 4));
        p += 4;
        // one record: 68 bytes plus the caption's 6
        QCOMPARE(pngOffset(bytes), p + 68 + 6);
        QCOMPARE(bytes.mid(p + 32, 10), QByteArray("\x06\0\0\0Berlin", 10));
    }

    void readingResetsRunTimeFields()
    {
        TopicDocument d = sampleLabelDocument();
        DocObject q;
        q.Typ = otQuestion;
        q.Cap = QStringLiteral("Frage Nr. 3");
        d.objects.append(q);
        DocObject other;
        other.Typ = otText;
        other.Cap = QStringLiteral("Frage Nr. 3");
        d.objects.append(other);
        const QString file = path(QStringLiteral("laufzeit.tsr"));
        ScriptedMessages messages;
        QVERIFY(writeDocument(file, d, false, messages));
        TopicDocument read;
        TopicNavigation nav;
        QCOMPARE(readDocument(file, read, nav, messages), ReadResult::Ok);
        // Covers, numbers, counts and boxes are no part of a document: whoever shows it
        // starts them afresh (the learning view with every object covered, unnumbered).
        QVERIFY(read.objects[3].Cap.isEmpty());
        QCOMPARE(read.objects[4].Cap, QStringLiteral("Frage Nr. 3"));
    }

    void olderFilesWithFewerKeys()
    {
        // No RandErw, no FrageNummer, other version, unknown keys: later fields at the right offsets.
        const QByteArray png = pngBytes(patternImage(3, 2));
        RawFile f;
        f.string("QMF-2.00")
            .string("|HD-vers|HD-titel|HD-DokTyp|HD-Zukunft|OB-Sx|")
            .string("0.9")
            .string("Alt")
            .string("")
            .string("")
            .int32(1) // DokTyp
            .int32(1); // one object
        f.float64(0.5).float64(0.25).float64(0.75).float64(0.125).string("Ulm").int32(1).int32(2).int32(1).int32(0).int32(
            1).int32(0).int32(3);
        f.raw(png).raw("Anhang nach dem Bild wird ignoriert");
        const QString file = path(QStringLiteral("alt.tsr"));
        QVERIFY(writeFile(file, f.bytes()));
        TopicDocument d;
        TopicNavigation nav;
        ScriptedMessages messages;
        QCOMPARE(readDocument(file, d, nav, messages), ReadResult::Ok);
        QCOMPARE(d.vers, QStringLiteral("0.9"));
        QCOMPARE(d.titel, QStringLiteral("Alt"));
        QCOMPARE(d.DokTyp, 1);
        QCOMPARE(d.RandErw, RectD{});
        QCOMPARE(d.AnzFrageNummern, 0);
        QCOMPARE(d.objects.size(), 1);
        QCOMPARE(d.objects[0].Cap, QStringLiteral("Ulm"));
        QCOMPARE(d.objects[0].Ky, 0.125);
        QCOMPARE(d.objects[0].KAusrAkt, 3);
        QCOMPARE(d.objects[0].FrageNummer, -1);
        QCOMPARE(d.baseImage.size(), QSize(3, 2));
    }

    void everyCutOfTheFileFailsCleanly()
    {
        TopicDocument d = sampleLabelDocument();
        const QByteArray full = documentBytes(d, m_dir.path());
        QVERIFY(!full.isEmpty());
        const QString file = path(QStringLiteral("kurz.tsr"));
        const QString expected = readErrorText(file);
        // Every length up to the image, then a few cuts inside the PNG.
        QList<qsizetype> cuts;
        for (qsizetype n = 0; n < pngOffset(full) + 8; ++n)
            cuts << n;
        for (qsizetype n = pngOffset(full) + 8; n < full.size() - 12; n += 17)
            cuts << n;
        for (qsizetype n : cuts) {
            QVERIFY(writeFile(file, full.left(n)));
            TopicDocument read;
            TopicNavigation nav;
            read.fileName = QStringLiteral("/vorher.tsr");
            ScriptedMessages messages;
            QCOMPARE(readDocument(file, read, nav, messages), ReadResult::Failed);
            QVERIFY2(!messages.texts().isEmpty() && messages.texts().last() == expected, qPrintable(QString::number(n)));
            QVERIFY(read.objects.isEmpty());
            QVERIFY(read.fileName.isEmpty());
            QCOMPARE(read.baseImage, startBaseImage());
            QCOMPARE(nav.previousDocument, QStringLiteral("/vorher.tsr"));
        }
    }

    void damagedCountsAndLengthsFail_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("messageCount");
        const QByteArray keys(kDocumentKeyList);
        auto header = [&keys] {
            RawFile f;
            f.string("QMF-1.01").string(keys).string("1.00").string("T").string("").string("").string("").string("");
            f.int32(0).int32(0).float64(0).float64(0).float64(0).float64(0).int32(0).int32(0);
            return f;
        };
        QTest::newRow("negative count") << header().int32(-1).bytes() << 1;
        QTest::newRow("huge count") << header().int32(0x7FFFFFFF).raw(QByteArray(200, 'x')).bytes() << 1;
        QTest::newRow("huge key list") << RawFile().string("QMF-1.01").int32(0x7FFFFFF0).raw("abc").bytes() << 1;
        QTest::newRow("negative title") << RawFile().string("QMF-1.01").string(keys).string("1").int32(-5).bytes() << 1;
        RawFile hugeCap = header().int32(1);
        hugeCap.float64(0).float64(0).float64(0).float64(0).int32(0x40000000).raw(QByteArray(100, 'y'));
        QTest::newRow("huge caption") << hugeCap.bytes() << 1;
        QTest::newRow("no image") << header().int32(0).bytes() << 1;
        QTest::newRow("broken png") << header().int32(0).raw("\x89PNG\r\n\x1a\nkaputt").bytes() << 1;
        QTest::newRow("bad magic") << RawFile().string("XMF-1.01").string(keys).bytes() << 2;
        QTest::newRow("short magic") << RawFile().string("QMF").string(keys).bytes() << 2;
        QTest::newRow("empty magic") << RawFile().string("").bytes() << 2;
        QTest::newRow("empty file") << QByteArray() << 1;
    }
    void damagedCountsAndLengthsFail()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, messageCount);
        const QString file = path(QStringLiteral("kaputt.tsr"));
        QVERIFY(writeFile(file, bytes));
        TopicDocument d = sampleLabelDocument();
        TopicNavigation nav;
        ScriptedMessages messages;
        QCOMPARE(readDocument(file, d, nav, messages), ReadResult::Failed);
        QCOMPARE(messages.shown().size(), messageCount);
        if (messageCount == 2)
            QCOMPARE(messages.texts().first(), QStringLiteral("Ungültiges Dateiformat."));
        QCOMPARE(messages.texts().last(), readErrorText(file));
        QVERIFY(d.objects.isEmpty());
        // The header reader stops after the title: damage further on is not its business.
        DocumentHeader header;
        const bool headIntact = !QByteArray(QTest::currentDataTag()).contains("magic")
            && !QByteArray(QTest::currentDataTag()).contains("empty") && !QByteArray(QTest::currentDataTag()).contains("huge key")
            && !QByteArray(QTest::currentDataTag()).contains("negative title");
        QCOMPARE(readDocumentHeader(file, header), headIntact);
        if (headIntact)
            QCOMPARE(header.titel, QStringLiteral("T"));
    }

    void brokenPngData()
    {
        TopicDocument d = sampleLabelDocument();
        d.baseImage = patternImage(64, 64);
        QByteArray bytes = documentBytes(d, m_dir.path());
        const qsizetype idat = bytes.indexOf("IDAT");
        QVERIFY(idat > 0);
        bytes[idat + 20] = char(bytes[idat + 20] ^ 0x5A); // checksum no longer matches
        const QString file = path(QStringLiteral("crc.tsr"));
        QVERIFY(writeFile(file, bytes));
        TopicNavigation nav;
        ScriptedMessages messages;
        QCOMPARE(readDocument(file, d, nav, messages), ReadResult::Failed);
        QCOMPARE(messages.texts(), QStringList{readErrorText(file)});
    }

    void oversizedImageIsRefused()
    {
        // A real, complete one-bit image of just over 100 million pixels: decodable,
        // but far beyond any base image, so it is refused instead of taking 400 MB.
        const QByteArray big = rawPng(10001, 10000, PNG_COLOR_TYPE_GRAY, 1, false, false);
        QVERIFY(!big.isEmpty());
        QVERIFY(decodePng(big).isNull());
        const QByteArray fits = rawPng(10000, 10000, PNG_COLOR_TYPE_GRAY, 1, false, false);
        QCOMPARE(decodePng(fits).size(), QSize(10000, 10000));
    }

    void everyPngColourType_data()
    {
        QTest::addColumn<int>("colorType");
        QTest::addColumn<int>("bitDepth");
        QTest::addColumn<bool>("interlaced");
        QTest::addColumn<bool>("trns");
        QTest::newRow("grey 1") << int(PNG_COLOR_TYPE_GRAY) << 1 << false << false;
        QTest::newRow("grey 2") << int(PNG_COLOR_TYPE_GRAY) << 2 << false << false;
        QTest::newRow("grey 4") << int(PNG_COLOR_TYPE_GRAY) << 4 << false << false;
        QTest::newRow("grey 8 tRNS") << int(PNG_COLOR_TYPE_GRAY) << 8 << false << true;
        QTest::newRow("grey 16") << int(PNG_COLOR_TYPE_GRAY) << 16 << false << false;
        QTest::newRow("grey alpha 8") << int(PNG_COLOR_TYPE_GRAY_ALPHA) << 8 << false << false;
        QTest::newRow("grey alpha 16") << int(PNG_COLOR_TYPE_GRAY_ALPHA) << 16 << true << false;
        QTest::newRow("palette 4") << int(PNG_COLOR_TYPE_PALETTE) << 4 << false << false;
        QTest::newRow("palette 8 tRNS") << int(PNG_COLOR_TYPE_PALETTE) << 8 << false << true;
        QTest::newRow("rgb 8 interlaced") << int(PNG_COLOR_TYPE_RGB) << 8 << true << false;
        QTest::newRow("rgb 16") << int(PNG_COLOR_TYPE_RGB) << 16 << false << false;
        QTest::newRow("rgba 8") << int(PNG_COLOR_TYPE_RGB_ALPHA) << 8 << false << false;
        QTest::newRow("rgba 16 interlaced") << int(PNG_COLOR_TYPE_RGB_ALPHA) << 16 << true << false;
    }
    void everyPngColourType()
    {
        QFETCH(int, colorType);
        QFETCH(int, bitDepth);
        QFETCH(bool, interlaced);
        QFETCH(bool, trns);
        const QByteArray png = rawPng(13, 7, colorType, bitDepth, interlaced, trns);
        QVERIFY(!png.isEmpty());
        const QImage ours = decodePng(png);
        QCOMPARE(ours.size(), QSize(13, 7));
        QCOMPARE(ours.format(), QImage::Format_ARGB32);
        // The sample pattern, decoded independently: pixel (x, y) channel c held
        // (c_index * 7 + y * 3) mod (max + 1).
        const int channels = colorType == PNG_COLOR_TYPE_RGB ? 3
            : colorType == PNG_COLOR_TYPE_RGB_ALPHA         ? 4
            : colorType == PNG_COLOR_TYPE_GRAY_ALPHA        ? 2
                                                            : 1;
        const int maxValue = colorType == PNG_COLOR_TYPE_PALETTE ? qMin(15, (1 << bitDepth) - 1) : (1 << bitDepth) - 1;
        auto sample = [&](int x, int y, int c) { return ((x * channels + c) * 7 + y * 3) % (maxValue + 1); };
        auto to8 = [&](int v) { return bitDepth == 16 ? (v * 255 + 32895) / 65535 : v * 255 / maxValue; };
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 13; ++x) {
                const QRgb p = ours.pixel(x, y);
                int r, g, b, a = 255;
                if (colorType == PNG_COLOR_TYPE_PALETTE) {
                    const int i = sample(x, y, 0);
                    r = i * 16, g = 255 - i * 16, b = i * 5;
                    if (trns)
                        a = i == 0 ? 0 : i == 1 ? 128 : 255;
                } else if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
                    r = g = b = to8(sample(x, y, 0));
                    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
                        a = to8(sample(x, y, 1));
                    if (trns && sample(x, y, 0) == 0)
                        a = 0;
                } else {
                    r = to8(sample(x, y, 0)), g = to8(sample(x, y, 1)), b = to8(sample(x, y, 2));
                    if (channels == 4)
                        a = to8(sample(x, y, 3));
                }
                QVERIFY2(qAbs(qRed(p) - r) <= 1 && qAbs(qGreen(p) - g) <= 1 && qAbs(qBlue(p) - b) <= 1
                             && qAbs(qAlpha(p) - a) <= 1,
                         qPrintable(QStringLiteral("(%1,%2) %3 != %4,%5,%6,%7")
                                        .arg(x)
                                        .arg(y)
                                        .arg(p, 8, 16)
                                        .arg(r)
                                        .arg(g)
                                        .arg(b)
                                        .arg(a)));
            }
        }
    }

    void writerKeepsTransparency()
    {
        const QImage source = patternImage(9, 5, true);
        const QImage back = decodePng(pngBytes(source));
        QCOMPARE(back, source);
        const QByteArray opaque = pngBytes(patternImage(9, 5));
        QCOMPARE(opaque.at(25), char(PNG_COLOR_TYPE_RGB)); // colour type byte of IHDR
    }

    void missingFileLeavesTheDocumentAlone()
    {
        TopicDocument d = sampleLabelDocument();
        d.fileName = QStringLiteral("/geladen.tsr");
        TopicNavigation nav;
        ScriptedMessages messages;
        const QString file = path(QStringLiteral("gibtsnicht.tsr"));
        QCOMPARE(readDocument(file, d, nav, messages), ReadResult::MissingFile);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Die Datei \"") + file + QStringLiteral("\" existiert nicht.")});
        QCOMPARE(d.fileName, QStringLiteral("/geladen.tsr"));
        QCOMPARE(d.objects.size(), 3);
        QVERIFY(nav.previousDocument.isEmpty());
        QCOMPARE(readDocument(m_dir.path(), d, nav, messages), ReadResult::MissingFile); // a folder is no file
    }

    void headerReaderReadsOnlyTheHead()
    {
        TopicDocument d = sampleLabelDocument();
        d.titel = QString(3000, QChar(u'ü')); // longer than the first read
        QByteArray bytes = documentBytes(d, m_dir.path());
        const QString file = path(QStringLiteral("kopf.tsr"));
        // Cut right after the title: the full reader fails, the header reader does not care.
        const qsizetype afterTitle = bytes.indexOf(toCp1252Title(d.titel)) + 3000;
        QVERIFY(writeFile(file, bytes.left(afterTitle)));
        DocumentHeader header;
        QVERIFY(readDocumentHeader(file, header));
        QCOMPARE(header.vers, QStringLiteral("1.00"));
        QCOMPARE(header.titel, d.titel);
        QVERIFY(!readDocumentHeader(path(QStringLiteral("nichts.tsr")), header));
        QVERIFY(writeFile(file, bytes.left(afterTitle - 1)));
        QVERIFY(!readDocumentHeader(file, header));
    }

    void headerReaderNeedsExactlyTheFieldsUpToTheTitle()
    {
        // Every cut of a file: the header is readable exactly when the title is complete,
        // and a cut inside the magic or the key list is no document at all.
        TopicDocument d = sampleLabelDocument();
        d.vers = QStringLiteral("2.5");
        d.titel = QStringLiteral("€uro – Länder");
        const QByteArray bytes = documentBytes(d, m_dir.path());
        const qsizetype titleEnd = 12 + 4 + 244 + 4 + 3 + 4 + d.titel.size();
        const QString file = path(QStringLiteral("schnitt.tsr"));
        for (qsizetype n = 0; n <= titleEnd + 8; ++n) {
            QVERIFY(writeFile(file, bytes.left(n)));
            DocumentHeader header;
            QCOMPARE(readDocumentHeader(file, header), n >= titleEnd);
            if (n >= titleEnd) {
                QCOMPARE(header.vers, d.vers);
                QCOMPARE(header.titel, d.titel);
            }
        }
    }

    void writerReportsFailureAndLeavesNoPartialFile()
    {
        TopicDocument d = sampleLabelDocument();
        ScriptedMessages messages;
        const QString bad = path(QStringLiteral("fehlt/ordner/x.tsr"));
        QVERIFY(!writeDocument(bad, d, true, messages));
        QCOMPARE(messages.texts(), QStringList{writeErrorText(bad)});
        QVERIFY(d.fileName.isEmpty()); // not taken as current on failure
        QVERIFY(!QFile::exists(bad));

        // A failed write (null image) leaves an existing target untouched.
        const QString target = path(QStringLiteral("bleibt.tsr"));
        QVERIFY(writeDocument(target, d, false, messages));
        const QByteArray before = readFile(target);
        d.baseImage = QImage();
        messages.clear();
        QVERIFY(!writeDocument(target, d, false, messages));
        QCOMPARE(messages.texts(), QStringList{writeErrorText(target)});
        QCOMPARE(readFile(target), before);
        QCOMPARE(QDir(m_dir.path()).entryList(QStringList{QStringLiteral("bleibt*")}, QDir::Files).size(), 1);
    }

private:
    static QByteArray toCp1252Title(const QString &t) { return QByteArray(t.size(), '\xFC'); }
};

QTEST_GUILESS_MAIN(TestDocumentFile)
#include "tst_document_file.moc"
