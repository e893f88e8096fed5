#pragma once

#include "sharing/sheet_picture.h"

#include <QByteArray>

namespace kapitolo {

// The sheet as the two metafile formats office programs open. Logical coordinates are
// sheet units with the origin at the top left; the picture is 16.6 cm wide at the
// sheet's proportions. Text goes out as text records in Arial, selected by its
// character height, so that other programs find and edit the words; pictures as
// stretched device-independent bitmaps; lines and frames as the usual records.

// An Enhanced Metafile (EMF).
QByteArray writeEmf(const SheetPicture &picture);

// A placeable Windows Metafile (WMF): the placeable header with the box
// 0, 0, 1001, 1625, then the metafile itself; text in Windows-1252.
QByteArray writeWmf(const SheetPicture &picture);

// Units per inch of the placeable header: 1001 units make 16.6 cm.
constexpr int kWmfUnitsPerInch = 153;

// A 24-bit bottom-up device-independent bitmap (header and pixels) of the image: its
// size (0 when the image cannot be one), and the bitmap appended to a buffer.
qsizetype dibSize(const QImage &image);
void appendDeviceIndependentBitmap(QByteArray &out, const QImage &image);

} // namespace kapitolo
