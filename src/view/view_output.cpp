#include "view/view_output.h"

#include "platform/png_codec.h"
#include "platform/messages.h"
#include "platform/wait_cursor.h"
#include "platform/save_path.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPainter>
#include <QtEndian>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <limits>

extern "C" {
#include <jpeglib.h>
}

namespace kapitolo {

namespace {

// libjpeg reports errors by longjmp; compressRows keeps only plain data in its frame.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jpegErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors *>(info->err)->jump, 1);
}

void jpegSilence(j_common_ptr) {}

bool compressRows(const uchar *const *rows, int width, int height, int quality, unsigned char **buffer,
                  unsigned long *size)
{
    jpeg_compress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegErrorExit;
    errors.manager.output_message = jpegSilence;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    // Full colour resolution: the view is mostly text and thin lines, which halved
    // chroma would smear.
    for (int c = 0; c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rows[info.next_scanline]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

SaveDialogOptions exportViewDialogOptions()
{
    SaveDialogOptions options;
    options.title = QStringLiteral("Ansicht in Bilddatei speichern");
    options.filter = QStringLiteral("Alle Dateien (*.*)|*.*|PNG (*.png)|*.png|JPEG (*.jpg)|*.jpg|Bitmap (*.bmp)|*.bmp");
    options.defaultExtension = QStringLiteral("png");
    options.overwritePrompt = true;
    return options;
}

QString invalidExtensionText()
{
    return QStringLiteral("Speichern fehlgeschlagen wegen ungültiger Dateinamenserweiterung.");
}

bool ExportView(const QImage &display, SaveFileDialog &dialog, Messages &messages)
{
    const QString fileName = dialog.getSaveFileName(exportViewDialogOptions());
    if (fileName.isEmpty())
        return false;
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix != QLatin1String("bmp") && suffix != QLatin1String("png") && suffix != QLatin1String("jpg")) {
        messages.error(invalidExtensionText());
        return false;
    }
    return SaveBitmapFile(display, fileName, messages);
}

QByteArray encodeJpeg(const QImage &image, int quality)
{
    if (image.isNull())
        return QByteArray();
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QList<const uchar *> rows(rgb.height());
    for (int y = 0; y < rgb.height(); ++y)
        rows[y] = rgb.constScanLine(y);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    const bool ok = compressRows(rows.constData(), rgb.width(), rgb.height(), quality, &buffer, &size);
    QByteArray bytes;
    if (ok && buffer && size > 0 && static_cast<quint64>(size) <= static_cast<quint64>(std::numeric_limits<qsizetype>::max()))
        bytes = QByteArray(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

QByteArray encodeBmp(const QImage &image)
{
    if (image.isNull())
        return QByteArray();
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const qint64 width = rgb.width();
    const qint64 height = rgb.height();
    const qint64 rowBytes = (width * 3 + 3) / 4 * 4;
    const qint64 pixelBytes = rowBytes * height;
    const qint64 fileSize = 54 + pixelBytes;
    if (fileSize > 0x7FFFFFFF)
        return QByteArray();
    QByteArray bytes(qsizetype(fileSize), '\0');
    uchar *d = reinterpret_cast<uchar *>(bytes.data());
    auto put16 = [d](int at, quint16 v) { qToLittleEndian(v, d + at); };
    auto put32 = [d](int at, quint32 v) { qToLittleEndian(v, d + at); };
    d[0] = 'B';
    d[1] = 'M';
    put32(2, quint32(fileSize));
    put32(10, 54);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height)); // positive: rows bottom-up
    put16(26, 1);
    put16(28, 24);
    put32(30, 0); // BI_RGB
    put32(34, quint32(pixelBytes));
    put32(38, 3780); // 96 dots per inch
    put32(42, 3780);
    for (qint64 y = 0; y < height; ++y) {
        const uchar *src = rgb.constScanLine(int(height - 1 - y));
        uchar *dst = d + 54 + y * rowBytes;
        for (qint64 x = 0; x < width; ++x) {
            dst[x * 3 + 0] = src[x * 3 + 2];
            dst[x * 3 + 1] = src[x * 3 + 1];
            dst[x * 3 + 2] = src[x * 3 + 0];
        }
    }
    return bytes;
}

QByteArray encodePngBytes(const QImage &image, int compressionLevel)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !encodePng(image.convertToFormat(QImage::Format_RGB32), buffer, compressionLevel))
        return QByteArray();
    return buffer.data();
}

bool SaveBitmapFile(const QImage &bitmap, const QString &fileName, Messages &messages)
{
    bool ok = false;
    {
        WaitCursorScope wait;
        const QString suffix = QFileInfo(fileName).suffix().toLower();
        QByteArray bytes;
        if (suffix == QLatin1String("jpg"))
            bytes = encodeJpeg(bitmap, 99);
        else if (suffix == QLatin1String("png"))
            bytes = encodePngBytes(bitmap, 5);
        else
            bytes = encodeBmp(bitmap);
        ok = !bytes.isEmpty() && writeFileAtomically(fileName, bytes);
    }
    if (!ok)
        ShowWriteError(messages, fileName);
    return ok;
}

void FitNineSlice(QImage &target, const QImage &frameTemplate, int b)
{
    if (target.isNull() || frameTemplate.isNull())
        return;
    const int W = target.width();
    const int H = target.height();
    const int tw = frameTemplate.width();
    const int th = frameTemplate.height();
    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (b < 0 || tw <= 2 * b || th <= 2 * b) {
        // A template without an inside to stretch: the whole of it is stretched.
        painter.drawImage(QRect(0, 0, W, H), frameTemplate);
        return;
    }
    auto stretch = [&](const QRect &to, const QRect &from, QPainter &p, const QImage &source) {
        if (to.width() > 0 && to.height() > 0)
            p.drawImage(to, source, from);
    };
    painter.fillRect(QRect(0, 0, W, H), frameTemplate.pixelColor(b, b));
    stretch(QRect(0, 0, W, H), QRect(b, b, tw - 2 * b, th - 2 * b), painter, frameTemplate);
    painter.drawImage(QPoint(0, 0), frameTemplate, QRect(0, 0, b, b));
    painter.drawImage(QPoint(0, H - b), frameTemplate, QRect(0, th - b, b, b));
    painter.drawImage(QPoint(W - b, 0), frameTemplate, QRect(tw - b, 0, b, b));
    painter.drawImage(QPoint(W - b, H - b), frameTemplate, QRect(tw - b, th - b, b, b));
    stretch(QRect(b, 0, W - 2 * b, b), QRect(b, 0, tw - 2 * b, b), painter, frameTemplate);
    stretch(QRect(b, H - b, W - 2 * b, b), QRect(b, th - b, tw - 2 * b, b), painter, frameTemplate);
    stretch(QRect(0, b, b, H - 2 * b), QRect(0, b, b, th - 2 * b), painter, frameTemplate);

    // The right edge is built as a column of its own and drawn last, over the
    // right corners.
    QImage column(b, H, target.format());
    if (column.isNull())
        return;
    {
        QPainter cp(&column);
        cp.setRenderHint(QPainter::SmoothPixmapTransform);
        cp.setCompositionMode(QPainter::CompositionMode_Source);
        cp.drawImage(QPoint(0, 0), frameTemplate, QRect(tw - b, 0, b, b));
        cp.drawImage(QPoint(0, H - b), frameTemplate, QRect(tw - b, th - b, b, b));
        stretch(QRect(0, b, b, H - 2 * b), QRect(tw - b, b, b, th - 2 * b), cp, frameTemplate);
    }
    painter.drawImage(QPoint(W - b, 0), column);
}

} // namespace kapitolo
