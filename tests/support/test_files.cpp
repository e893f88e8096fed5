#include "support/test_files.h"

#include "document/document_file.h"
#include "platform/png_codec.h"
#include "support/scripted_messages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <bit>

namespace kapitolo::test {

QImage patternImage(int width, int height, bool withAlpha)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgba((x * 37 + y) & 0xFF, (y * 53 + x * 3) & 0xFF, (x ^ y) & 0xFF,
                                       withAlpha ? (x * 7 + y * 11) & 0xFF : 0xFF));
    return image;
}

QByteArray pngBytes(const QImage &image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    encodePng(image, buffer, 5);
    return buffer.data();
}

bool writeTopic(const QString &path, const QString &title, int questions)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    TopicDocument d;
    d.titel = title;
    d.AnzFrageNummern = questions;
    d.baseImage = patternImage(8, 8);
    ScriptedMessages messages;
    return writeDocument(path, d, false, messages);
}

TopicDocument sampleLabelDocument()
{
    TopicDocument d;
    d.vers = QStringLiteral("1.00");
    d.titel = QStringLiteral("Hauptstädte Europas");
    d.autor = QStringLiteral("Frau Müller");
    d.bemerkung = QStringLiteral("Klasse 6 – €uro");
    d.AnzFrageNummern = 3;
    d.DokTyp = dtImageLabelling;
    d.RandErw = RectD{0.1, 0.05, 0.25, 0.125};
    d.NumArt = 1;
    d.GeordnetArt = 1;
    const char *caps[] = {"Berlin", "Rio de Janeiro", "Bad\r\nEms"};
    for (int i = 0; i < 3; ++i) {
        DocObject o;
        o.Sx = 0.1 + i * 0.2;
        o.Sy = 0.3 + i * 0.1;
        o.Kx = 0.15 + i * 0.2;
        o.Ky = 1.0 / 3.0 + i;
        o.Cap = QString::fromUtf8(caps[i]);
        o.KAusr = i;
        o.TAusr = i + 1;
        o.Ebene = 1;
        o.Typ = otLabel;
        o.Sline = i % 2;
        o.Fsize = 0;
        o.KAusrAkt = i + 2;
        o.FrageNummer = -1;
        d.objects.append(o);
    }
    d.baseImage = patternImage(40, 30);
    return d;
}

RawFile &RawFile::int32(qint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    m_bytes.append(b, 4);
    return *this;
}

RawFile &RawFile::float64(double v)
{
    char b[8];
    qToLittleEndian(std::bit_cast<quint64>(v), b);
    m_bytes.append(b, 8);
    return *this;
}

RawFile &RawFile::string(const QByteArray &bytes)
{
    int32(qint32(bytes.size()));
    m_bytes.append(bytes);
    return *this;
}

RawFile &RawFile::raw(const QByteArray &bytes)
{
    m_bytes.append(bytes);
    return *this;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace kapitolo::test
