#pragma once

#include <QImage>
#include <QString>

class QIODevice;

namespace kapitolo {

// Images above this many pixels are refused: no real base image comes near it, and
// a damaged header must not make the program allocate gigabytes.
constexpr qint64 kMaxImagePixels = 100'000'000;

// Decodes one PNG datastream from the device's current position (palette, grey,
// 16-bit, alpha and interlaced images alike) into a 32-bit ARGB image. Bytes after
// the datastream are not consumed beyond what libpng reads ahead. A null image on failure.
QImage decodePng(QIODevice &device);
QImage decodePng(const QByteArray &data);

// Writes the image as a PNG datastream with the given zlib level: RGB when the
// image is opaque, RGBA otherwise.
bool encodePng(const QImage &image, QIODevice &device, int compressionLevel = 5);

} // namespace kapitolo
