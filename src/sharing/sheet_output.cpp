#include "sharing/sheet_output.h"

#include "platform/messages.h"
#include "platform/nearest.h"
#include "platform/wait_cursor.h"
#include "sharing/metafile_writer.h"
#include "platform/save_path.h"

#include <QBuffer>
#include <QFileInfo>
#include <QMimeData>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QtEndian>

#include <cstring>

#include <zlib.h>

namespace kapitolo {

namespace {

constexpr int kPngDotsPerMeter = 11811; // 300 dpi

QString number(double v)
{
    QString s = QString::number(v, 'f', 2);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

QString colour(const QColor &c)
{
    return c.isValid() ? c.name(QColor::HexRgb) : QStringLiteral("none");
}

QString xmlText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        default:
            // Characters XML cannot carry are left out.
            if (c.unicode() >= 0x20 || c == QLatin1Char('\t'))
                out += c;
        }
    }
    return out;
}

QString points(const QPolygonF &polygon)
{
    QStringList list;
    for (const QPointF &p : polygon)
        list << number(p.x()) + QLatin1Char(',') + number(p.y());
    return list.join(QLatin1Char(' '));
}

QString stroke(const SheetItem &item)
{
    if (!item.pen.isValid())
        return QStringLiteral(" stroke=\"none\"");
    return QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"").arg(colour(item.pen), number(item.penWidth));
}

// A PNG with its resolution: the pHYs chunk goes right after the header chunk.
QByteArray withResolution(const QByteArray &png, int dotsPerMeter)
{
    const qsizetype afterHeader = 8 + 8 + 13 + 4;
    if (png.size() < afterHeader)
        return png;
    QByteArray chunk(4 + 4 + 9 + 4, '\0');
    uchar *d = reinterpret_cast<uchar *>(chunk.data());
    qToBigEndian<quint32>(9, d);
    std::memcpy(d + 4, "pHYs", 4);
    qToBigEndian<quint32>(quint32(dotsPerMeter), d + 8);
    qToBigEndian<quint32>(quint32(dotsPerMeter), d + 12);
    d[16] = 1; // unit: metre
    qToBigEndian<quint32>(quint32(crc32(0, d + 4, 13)), d + 17);
    QByteArray out = png;
    out.insert(afterHeader, chunk);
    return out;
}

} // namespace

SheetFormat sheetFormatForName(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("emf"))
        return SheetFormat::Emf;
    if (suffix == QLatin1String("wmf"))
        return SheetFormat::Wmf;
    if (suffix == QLatin1String("pdf"))
        return SheetFormat::Pdf;
    if (suffix == QLatin1String("svg"))
        return SheetFormat::Svg;
    if (suffix == QLatin1String("png"))
        return SheetFormat::Png;
    return SheetFormat::None;
}

QByteArray writeSvg(const SheetPicture &picture)
{
    QString svg;
    svg += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                          "version=\"1.1\" width=\"%1mm\" height=\"%2mm\" viewBox=\"0 0 %3 %4\">\n"
                          "<title>Arbeitsblatt</title>\n")
               .arg(number(kSheetWidthMm), number(sheetHeightMm()))
               .arg(kSheetWidth)
               .arg(kSheetHeight);
    for (const SheetItem &item : picture.items) {
        switch (item.kind) {
        case SheetItem::Text: {
            QStringList xs;
            double x = item.origin.x();
            for (double a : item.advances) {
                xs << number(x);
                x += a;
            }
            svg += QStringLiteral("<text x=\"%1\" y=\"%2\" font-family=\"%3\" font-size=\"%4\"%5%6 fill=\"%7\" "
                                  "xml:space=\"preserve\">%8</text>\n")
                       .arg(xs.join(QLatin1Char(' ')), number(item.origin.y()), xmlText(item.font.family),
                            number(item.font.height),
                            item.font.bold ? QStringLiteral(" font-weight=\"bold\"") : QString(),
                            item.font.italic ? QStringLiteral(" font-style=\"italic\"") : QString(),
                            colour(item.pen), xmlText(item.text));
            break;
        }
        case SheetItem::Line:
            if (item.points.size() == 2)
                svg += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\"%5/>\n")
                           .arg(number(item.points[0].x()), number(item.points[0].y()), number(item.points[1].x()),
                                number(item.points[1].y()), stroke(item));
            break;
        case SheetItem::Rect:
            svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"%6/>\n")
                       .arg(number(item.rect.x()), number(item.rect.y()), number(item.rect.width()),
                            number(item.rect.height()), colour(item.fill), stroke(item));
            break;
        case SheetItem::Polygon:
            svg += QStringLiteral("<polygon points=\"%1\" fill=\"%2\"%3/>\n")
                       .arg(points(item.points), colour(item.fill), stroke(item));
            break;
        case SheetItem::Polyline:
            svg += QStringLiteral("<polyline points=\"%1\" fill=\"none\"%2/>\n").arg(points(item.points), stroke(item));
            break;
        case SheetItem::Image: {
            const QByteArray png = encodePngBytes(item.image, 5);
            svg += QStringLiteral("<image x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" preserveAspectRatio=\"none\" "
                                  "xlink:href=\"data:image/png;base64,%5\"/>\n")
                       .arg(number(item.rect.x()), number(item.rect.y()), number(item.rect.width()),
                            number(item.rect.height()), QString::fromLatin1(png.toBase64()));
            break;
        }
        }
    }
    svg += QStringLiteral("</svg>\n");
    return svg.toUtf8();
}

QByteArray writePdf(const SheetPicture &picture)
{
    return writePdf(QList<SheetPicture>{picture}, QStringLiteral("Arbeitsblatt"));
}

QByteArray writePdf(const QList<SheetPicture> &pages, const QString &title)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Ostrabel Kapitolo"));
        writer.setResolution(1200);
        writer.setPageSize(QPageSize(QSizeF(kSheetWidthMm, sheetHeightMm()), QPageSize::Millimeter,
                                     QStringLiteral("Arbeitsblatt"), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter;
        if (!painter.begin(&writer))
            return QByteArray();
        for (int i = 0; i < pages.size(); ++i) {
            if (i > 0)
                writer.newPage();
            pages.at(i).paint(painter, QRectF(0, 0, writer.width(), writer.height()));
        }
        painter.end();
    }
    return buffer.data();
}

QImage sheetImage300(const SheetPicture &picture)
{
    const int width = nearest(kSheetWidthMm / 25.4 * 300);
    QImage image = picture.render(width);
    image.setDotsPerMeterX(kPngDotsPerMeter);
    image.setDotsPerMeterY(kPngDotsPerMeter);
    return image;
}

QByteArray writeSheetPng(const SheetPicture &picture)
{
    const QByteArray png = encodePngBytes(sheetImage300(picture), 5);
    return png.isEmpty() ? png : withResolution(png, kPngDotsPerMeter);
}

QByteArray sheetBytes(const SheetPicture &picture, SheetFormat format)
{
    switch (format) {
    case SheetFormat::Emf:
        return writeEmf(picture);
    case SheetFormat::Wmf:
        return writeWmf(picture);
    case SheetFormat::Pdf:
        return writePdf(picture);
    case SheetFormat::Svg:
        return writeSvg(picture);
    case SheetFormat::Png:
        return writeSheetPng(picture);
    case SheetFormat::None:
        break;
    }
    return QByteArray();
}

bool SaveSheetFile(const SheetPicture &picture, const QString &fileName, Messages &messages)
{
    bool ok = false;
    {
        WaitCursorScope wait;
        const QByteArray bytes = sheetBytes(picture, sheetFormatForName(fileName));
        ok = !bytes.isEmpty() && writeFileAtomically(fileName, bytes);
    }
    if (!ok)
        ShowWriteError(messages, fileName);
    return ok;
}

SaveDialogOptions sheetSaveDialogOptions()
{
    SaveDialogOptions options;
    options.title = QStringLiteral("Arbeitsblatt exportieren");
    options.filter = QStringLiteral("Enhanced Metafile (*.emf)|*.emf|Metafile (*.wmf)|*.wmf|"
                                    "PDF-Dokument (*.pdf)|*.pdf|SVG-Grafik (*.svg)|*.svg|Alle Dateien (*.*)|*.*");
    options.defaultExtension = QStringLiteral("emf");
    options.overwritePrompt = true;
    return options;
}

bool sheetSaveExtensionAccepted(const QString &fileName)
{
    const SheetFormat format = sheetFormatForName(fileName);
    return format != SheetFormat::None && format != SheetFormat::Png;
}

bool SaveSheet(const SheetPicture &picture, SaveFileDialog &dialog, Messages &messages)
{
    const QString fileName = dialog.getSaveFileName(sheetSaveDialogOptions());
    if (fileName.isEmpty())
        return false;
    if (!sheetSaveExtensionAccepted(fileName)) {
        messages.error(invalidExtensionText());
        return false;
    }
    return SaveSheetFile(picture, fileName, messages);
}

QMimeData *sheetMimeData(const SheetPicture &picture)
{
    auto *data = new QMimeData;
    data->setData(QStringLiteral("image/x-emf"), writeEmf(picture));
    data->setData(QStringLiteral("image/svg+xml"), writeSvg(picture));
    data->setImageData(sheetImage300(picture));
    return data;
}

} // namespace kapitolo
