#pragma once

#include "sharing/sheet_picture.h"

#include <QRectF>
#include <QSizeF>

class QPainter;

namespace kapitolo {

// Where the sheet goes on the paper, in centimetres from the paper's top-left corner
// (the dialog "Arbeitsblatt drucken").
struct SheetPrintArea {
    double leftCm = 2.2;
    double topCm = 1.4;
    double widthCm = 16.6;
    double heightCm = 17.0;
    bool keepRatio = true;
};

// The other side through the sheet's width-to-height ratio, to a tenth of a centimetre
// as the fields show it.
double heightForWidth(double widthCm, double ratio);
double widthForHeight(double heightCm, double ratio);

// The sheet's rectangle in device pixels of a page whose origin is the paper corner.
QRectF sheetPrintRect(const SheetPrintArea &area, double dpiX, double dpiY);
// Whether the rectangle stays on paper of the given size.
bool sheetPrintFits(const SheetPrintArea &area, const QSizeF &paperCm);

// Draws the sheet into its print rectangle.
void paintSheetOnPage(const SheetPicture &sheet, QPainter &painter, const SheetPrintArea &area, double dpiX,
                      double dpiY);

} // namespace kapitolo
