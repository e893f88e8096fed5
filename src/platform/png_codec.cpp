#include "platform/png_codec.h"

#include <QBuffer>
#include <QIODevice>

#include <png.h>

#include <csetjmp>
#include <vector>

namespace kapitolo {

// libpng reports errors by longjmp. The functions that call into libpng below keep
// only plain data in their frames, so the jump skips no destructor.

namespace {

struct PngIo {
    QIODevice *device;
};

void readCallback(png_structp png, png_bytep data, png_size_t length)
{
    auto *io = static_cast<PngIo *>(png_get_io_ptr(png));
    if (io->device->read(reinterpret_cast<char *>(data), qint64(length)) != qint64(length))
        png_error(png, "unexpected end of data");
}

void writeCallback(png_structp png, png_bytep data, png_size_t length)
{
    auto *io = static_cast<PngIo *>(png_get_io_ptr(png));
    if (io->device->write(reinterpret_cast<const char *>(data), qint64(length)) != qint64(length))
        png_error(png, "write failed");
}

void flushCallback(png_structp) {}

void silentWarning(png_structp, png_const_charp) {}

void errorCallback(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// Reads the header and sets up the transforms to 8-bit BGRA (QImage::Format_ARGB32
// in memory on a little-endian machine).
bool readInfo(png_structp png, png_infop info, png_uint_32 *width, png_uint_32 *height)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (bitDepth == 16)
        png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    png_set_bgr(png);
#else
    png_set_swap_alpha(png);
#endif
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == png_size_t(*width) * 4;
}

bool readRows(png_structp png, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

bool writeAll(png_structp png, png_infop info, png_uint_32 width, png_uint_32 height, bool alpha,
              int level, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_compression_level(png, level);
    png_set_IHDR(png, info, width, height, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    png_set_bgr(png);
    if (!alpha)
        png_set_filler(png, 0, PNG_FILLER_AFTER);
#else
    if (alpha)
        png_set_swap_alpha(png);
    else
        png_set_filler(png, 0, PNG_FILLER_BEFORE);
#endif
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

} // namespace

QImage decodePng(QIODevice &device)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, errorCallback, silentWarning);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return {};
    }
    PngIo io{&device};
    png_set_read_fn(png, &io, readCallback);

    QImage image;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    if (readInfo(png, info, &width, &height) && width > 0 && height > 0
        && qint64(width) * qint64(height) <= kMaxImagePixels && width <= 0x7fffffffu / 4) {
        image = QImage(int(width), int(height), QImage::Format_ARGB32);
        if (!image.isNull()) {
            std::vector<png_bytep> rows(height);
            for (png_uint_32 y = 0; y < height; ++y)
                rows[y] = image.scanLine(int(y));
            if (!readRows(png, rows.data()))
                image = QImage();
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return image;
}

QImage decodePng(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    return decodePng(buffer);
}

bool encodePng(const QImage &source, QIODevice &device, int compressionLevel)
{
    if (source.isNull())
        return false;
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    bool alpha = false;
    for (int y = 0; y < image.height() && !alpha; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) != 255) {
                alpha = true;
                break;
            }
    }

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, errorCallback, silentWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    PngIo io{&device};
    png_set_write_fn(png, &io, writeCallback, flushCallback);
    std::vector<png_bytep> rows(size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        rows[size_t(y)] = const_cast<png_bytep>(image.constScanLine(y));
    const bool ok = writeAll(png, info, png_uint_32(image.width()), png_uint_32(image.height()), alpha,
                             compressionLevel, rows.data());
    png_destroy_write_struct(&png, &info);
    return ok;
}

} // namespace kapitolo
