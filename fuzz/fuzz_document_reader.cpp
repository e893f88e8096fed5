// libFuzzer target for the document reader: every input is written to a file and read
// with the full reader and the header reader, which must neither crash, hang nor
// allocate beyond the limits, and must agree with each other.
//
// An empty or missing corpus folder (the first argument that is not a flag) is filled
// with seed documents made by the writer, so no binary seeds live in the repository.

#include "document/document_file.h"
#include "platform/messages.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace kapitolo;

namespace {

class SilentMessages : public Messages
{
public:
    MessageAnswer show(MessageKind, const QString &, MessageButtons buttons) override
    {
        ++count;
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
    }
    int count = 0;
};

std::unique_ptr<QTemporaryDir> g_dir;
QString g_input;

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_document_reader: %s\n", what);
    std::abort();
}

QImage seedImage(int width, int height, bool alpha)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgba(x * 16, y * 20, (x ^ y) * 8, alpha ? (x + y) * 9 : 255));
    return image;
}

DocObject seedObject(const char *caption, qint32 type, qint32 frageNummer)
{
    DocObject o;
    o.Sx = 0.25;
    o.Sy = 0.5;
    o.Kx = 0.3;
    o.Ky = 0.45;
    o.Cap = QString::fromUtf8(caption);
    o.Ebene = layerBeschriftung;
    o.Typ = type;
    o.Sline = 1;
    o.KAusrAkt = 2;
    o.FrageNummer = frageNummer;
    return o;
}

// A file in the older layout: fewer keys, no FrageNummer in the records.
QByteArray olderLayoutSeed(const QByteArray &png)
{
    QByteArray out;
    auto int32 = [&out](qint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    };
    auto float64 = [&out](double v) {
        char b[8];
        qToLittleEndian(std::bit_cast<quint64>(v), b);
        out.append(b, 8);
    };
    auto string = [&](const QByteArray &s) {
        int32(qint32(s.size()));
        out.append(s);
    };
    string("QMF-1.00");
    string("|HD-vers|HD-titel|HD-autor|HD-bemerkung|HD-DokTyp|HD-NumArt|OB-Sx|OB-Sy|OB-Kx|OB-Ky|OB-Cap|");
    string("1.00");
    string("Alt");
    string("");
    string("");
    int32(dtImageLabelling);
    int32(1);
    int32(1);
    float64(0.5);
    float64(0.5);
    float64(0.6);
    float64(0.4);
    string("\"Bad \"\"Ems\"\"\",Lahn");
    for (int i = 0; i < 7; ++i)
        int32(i);
    out.append(png);
    return out;
}

void writeSeeds(const QString &folder)
{
    SilentMessages messages;
    int written = 0;
    auto write = [&](const QString &name, TopicDocument document) {
        if (writeDocument(QDir(folder).filePath(name), document, false, messages))
            ++written;
    };

    TopicDocument labels;
    labels.titel = QStringLiteral("Flüsse");
    labels.RandErw = RectD{0.1, 0, 0.1, 0};
    labels.baseImage = seedImage(16, 12, false);
    labels.objects = {seedObject("Rhein", otLabel, -1), seedObject("Bad\r\nEms", otLabel, -1),
                      seedObject("\"Rio\", de Janeiro", otInfoPoint, -1)};
    write(QStringLiteral("labels.tsr"), labels);

    TopicDocument transparent = labels;
    transparent.baseImage = seedImage(9, 7, true);
    transparent.NumArt = 1;
    write(QStringLiteral("transparent.tsr"), transparent);

    TopicDocument cloze;
    cloze.DokTyp = dtCloze;
    cloze.lueckentext = QStringLiteral("Die <<Elbe>> fließt in die <B>Nordsee</B>.<@LINIE>");
    cloze.baseImage = seedImage(4, 4, false);
    cloze.objects = {seedObject("Elbe", otGap, -1)};
    write(QStringLiteral("cloze.tsr"), cloze);

    TopicDocument questions;
    questions.DokTyp = dtSingleQuestions;
    questions.AnzFrageNummern = 2;
    questions.fragentext = QStringLiteral("Hauptstadt von Frankreich?//Paris");
    questions.baseImage = seedImage(5, 3, false);
    questions.objects = {seedObject("Frage Nr. 1", otQuestion, 1), seedObject("Paris", otAnswer, 1),
                         seedObject("Rom", otAnswer, 2), seedObject("", otNextQuestion, -1)};
    write(QStringLiteral("questions.tsr"), questions);

    // The older layout, with the image of the first seed.
    const QByteArray first = [&] {
        QFile f(QDir(folder).filePath(QStringLiteral("labels.tsr")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const qsizetype png = first.indexOf("\x89PNG");
    if (png > 0) {
        QFile f(QDir(folder).filePath(QStringLiteral("older.tsr")));
        if (f.open(QIODevice::WriteOnly) && f.write(olderLayoutSeed(first.mid(png))) > 0)
            ++written;
    }
    std::fprintf(stderr, "fuzz_document_reader: %d seed documents written to %s\n", written,
                 qPrintable(folder));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    g_dir = std::make_unique<QTemporaryDir>();
    if (!g_dir->isValid())
        fail("no temporary folder");
    g_input = g_dir->filePath(QStringLiteral("input.tsr"));

    for (int i = 1; i < *argc; ++i) {
        const char *arg = (*argv)[i];
        if (arg[0] == '-')
            continue;
        const QString path = QString::fromLocal8Bit(arg);
        const QFileInfo info(path);
        if (!info.exists())
            QDir().mkpath(path);
        if (QFileInfo(path).isDir() && QDir(path).isEmpty(QDir::Files | QDir::NoDotAndDotDot))
            writeSeeds(path);
        break;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile file(g_input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            fail("cannot write the input file");
    }

    TopicDocument document;
    TopicNavigation navigation;
    SilentMessages messages;
    const ReadResult result = readDocument(g_input, document, navigation, messages);
    DocumentHeader header;
    const bool headerRead = readDocumentHeader(g_input, header);

    if (result == ReadResult::Ok) {
        // A document the full reader accepts has a header the short reader accepts.
        if (messages.count != 0 || document.baseImage.isNull() || document.fileName != g_input)
            fail("a successful read left an inconsistent document");
        if (!headerRead || header.vers != document.vers || header.titel != document.titel)
            fail("the header reader disagrees with the full reader");
    } else {
        // A failed read reports and leaves the closed document behind.
        if (result != ReadResult::Failed || messages.count == 0 || !document.objects.isEmpty()
            || !document.fileName.isEmpty() || document.baseImage != startBaseImage())
            fail("a failed read left an inconsistent document");
    }
    return 0;
}
