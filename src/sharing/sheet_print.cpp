#include "sharing/sheet_print.h"

#include <QPainter>

#include <cmath>

namespace kapitolo {

namespace {

double tenth(double v)
{
    return std::nearbyint(v * 10) / 10;
}

} // namespace

double heightForWidth(double widthCm, double ratio)
{
    return ratio > 0 ? tenth(widthCm / ratio) : widthCm;
}

double widthForHeight(double heightCm, double ratio)
{
    return ratio > 0 ? tenth(heightCm * ratio) : heightCm;
}

QRectF sheetPrintRect(const SheetPrintArea &area, double dpiX, double dpiY)
{
    const double x = dpiX / 2.54;
    const double y = dpiY / 2.54;
    return QRectF(area.leftCm * x, area.topCm * y, area.widthCm * x, area.heightCm * y);
}

bool sheetPrintFits(const SheetPrintArea &area, const QSizeF &paperCm)
{
    // A millimetre of tolerance: the fields round to tenths.
    return area.leftCm >= 0 && area.topCm >= 0 && area.leftCm + area.widthCm <= paperCm.width() + 0.1
        && area.topCm + area.heightCm <= paperCm.height() + 0.1;
}

void paintSheetOnPage(const SheetPicture &sheet, QPainter &painter, const SheetPrintArea &area, double dpiX,
                      double dpiY)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    sheet.paint(painter, sheetPrintRect(area, dpiX, dpiY));
}

} // namespace kapitolo
