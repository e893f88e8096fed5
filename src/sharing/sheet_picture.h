#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPaintDevice>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <memory>

class QPainter;

namespace kapitolo {

// The worksheet's logical size: 1001 x 1625 sheet units, laid out on W = 1000.
constexpr int kSheetWidth = 1001;
constexpr int kSheetHeight = 1625;
// Printed and exported, the sheet is 16.6 cm wide at its own proportions.
constexpr double kSheetWidthMm = 166.0;
inline double sheetHeightMm() { return kSheetWidthMm * kSheetHeight / kSheetWidth; }

// A font of the sheet. The height is the character height (em size) in sheet units,
// what a negative height means for the authoring system's fonts.
struct SheetFont {
    QString family;
    double height = 0;
    bool bold = false;
    bool italic = false;

    bool operator==(const SheetFont &) const = default;
};

// One drawing element of the sheet, in sheet units with the origin at the top left.
struct SheetItem {
    enum Kind { Text, Line, Rect, Polygon, Polyline, Image };
    Kind kind = Line;

    // Outline of lines, frames and polygons; no pen when invalid.
    QColor pen;
    double penWidth = 1;
    // Fill of rectangles and polygons; no fill when invalid.
    QColor fill;
    QPolygonF points; // Line: two points; Polygon and Polyline: the corners
    QRectF rect;      // Rect; Image: where it is stretched to

    // Text: the baseline's left end, the advance of every character (they add up to
    // the text's width) and the colour in `pen`.
    QString text;
    QPointF origin;
    QList<double> advances;
    SheetFont font;
    double ascent = 0;
    double descent = 0;

    QImage image;

    double textWidth() const;
    // The text cell: from the ascent above the baseline to the descent below it.
    QRectF textBox() const;
    bool operator==(const SheetItem &other) const;
};

// The sheet as a display list: built once, it serves the preview, every file
// format, the clipboard and the printer alike.
struct SheetPicture {
    QList<SheetItem> items;
    // Single questions: the first question that did not fit on the sheet (0 when all did).
    int nextQuestion = 0;

    // Replays the sheet into the rectangle of the painter's device.
    void paint(QPainter &painter, const QRectF &target) const;
    // The sheet as an image of the given width at the sheet's proportions, on white.
    QImage render(int width) const;
};

class SheetPaintEngine;

// A paint device that records what a QPainter draws on it into a SheetPicture. The
// card renderer and the mark-up layout draw through QPainter; pointed at this device
// they produce the sheet's elements instead of pixels.
class SheetRecorder : public QPaintDevice
{
public:
    explicit SheetRecorder(SheetPicture &picture, QSize size = QSize(kSheetWidth, kSheetHeight));
    ~SheetRecorder() override;

    QPaintEngine *paintEngine() const override;
    SheetPicture &picture() { return m_picture; }

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    SheetPicture &m_picture;
    QSize m_size;
    std::unique_ptr<SheetPaintEngine> m_engine;
};

} // namespace kapitolo
