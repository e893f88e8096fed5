#include "sharing/sheet_picture.h"

#include "platform/nearest.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextItem>

#include <cmath>
#include <climits>

namespace kapitolo {

double SheetItem::textWidth() const
{
    double w = 0;
    for (double a : advances)
        w += a;
    return w;
}

QRectF SheetItem::textBox() const
{
    return QRectF(origin.x(), origin.y() - ascent, textWidth(), ascent + descent);
}

bool SheetItem::operator==(const SheetItem &o) const
{
    return kind == o.kind && pen == o.pen && penWidth == o.penWidth && fill == o.fill && points == o.points
        && rect == o.rect && text == o.text && origin == o.origin && advances == o.advances && font == o.font
        && ascent == o.ascent && descent == o.descent && image == o.image;
}

// Records every primitive in sheet units. It claims every feature, so QPainter hands
// over the untransformed primitives together with its transform and never falls back
// to drawing pixels.
class SheetPaintEngine : public QPaintEngine
{
public:
    explicit SheetPaintEngine(SheetPicture &picture)
        : QPaintEngine(QPaintEngine::AllFeatures)
        , m_picture(picture)
    {
    }

    bool begin(QPaintDevice *) override
    {
        m_pen = QPen();
        m_brush = QBrush();
        m_transform = QTransform();
        return true;
    }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState &state) override
    {
        const DirtyFlags flags = state.state();
        if (flags & DirtyPen)
            m_pen = state.pen();
        if (flags & DirtyBrush)
            m_brush = state.brush();
        if (flags & DirtyTransform)
            m_transform = state.transform();
    }

    void drawRects(const QRectF *rects, int count) override
    {
        for (int i = 0; i < count; ++i) {
            if (m_transform.isRotating()) {
                drawPolygon(QPolygonF(rects[i]).constData(), 4, OddEvenMode);
                continue;
            }
            SheetItem item;
            item.kind = SheetItem::Rect;
            item.rect = m_transform.mapRect(rects[i]);
            setPenAndFill(item);
            if (item.pen.isValid() || item.fill.isValid())
                m_picture.items.append(item);
        }
    }
    void drawRects(const QRect *rects, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QRectF r(rects[i]);
            drawRects(&r, 1);
        }
    }

    void drawLines(const QLineF *lines, int count) override
    {
        if (m_pen.style() == Qt::NoPen)
            return;
        for (int i = 0; i < count; ++i) {
            SheetItem item;
            item.kind = SheetItem::Line;
            item.points << m_transform.map(lines[i].p1()) << m_transform.map(lines[i].p2());
            item.pen = m_pen.color();
            item.penWidth = penWidth();
            m_picture.items.append(item);
        }
    }
    void drawLines(const QLine *lines, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QLineF l(lines[i]);
            drawLines(&l, 1);
        }
    }

    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override
    {
        if (count < 2)
            return;
        SheetItem item;
        item.points.reserve(count);
        for (int i = 0; i < count; ++i)
            item.points << m_transform.map(points[i]);
        if (mode == PolylineMode) {
            if (m_pen.style() == Qt::NoPen)
                return;
            item.kind = SheetItem::Polyline;
            item.pen = m_pen.color();
            item.penWidth = penWidth();
        } else {
            item.kind = SheetItem::Polygon;
            setPenAndFill(item);
            if (!item.pen.isValid() && !item.fill.isValid())
                return;
        }
        m_picture.items.append(item);
    }
    void drawPolygon(const QPoint *points, int count, PolygonDrawMode mode) override
    {
        QPolygonF polygon;
        polygon.reserve(count);
        for (int i = 0; i < count; ++i)
            polygon << QPointF(points[i]);
        drawPolygon(polygon.constData(), count, mode);
    }

    void drawPath(const QPainterPath &path) override
    {
        // Curves become polygons; the sheet itself draws none, only text decorations
        // and badges end up here.
        const QPen pen = m_pen;
        if (m_brush.style() != Qt::NoBrush) {
            m_pen = QPen(Qt::NoPen);
            for (const QPolygonF &polygon : path.toFillPolygons())
                drawPolygon(polygon.constData(), int(polygon.size()), WindingMode);
            m_pen = pen;
        }
        if (pen.style() != Qt::NoPen)
            for (const QPolygonF &polygon : path.toSubpathPolygons())
                drawPolygon(polygon.constData(), int(polygon.size()), PolylineMode);
    }

    void drawPixmap(const QRectF &r, const QPixmap &pixmap, const QRectF &source) override
    {
        drawImage(r, pixmap.toImage(), source, Qt::AutoColor);
    }

    void drawImage(const QRectF &r, const QImage &image, const QRectF &source, Qt::ImageConversionFlags) override
    {
        if (image.isNull() || r.isEmpty())
            return;
        SheetItem item;
        item.kind = SheetItem::Image;
        item.rect = m_transform.mapRect(r);
        const QRect whole = image.rect();
        const QRect part = source.toAlignedRect().intersected(whole);
        item.image = part == whole ? image : image.copy(part);
        if (!item.image.isNull())
            m_picture.items.append(item);
    }

    void drawTextItem(const QPointF &p, const QTextItem &textItem) override
    {
        const QString text = textItem.text();
        if (text.isEmpty() || m_pen.style() == Qt::NoPen)
            return;
        const QFont font = textItem.font();
        const QFontMetricsF metrics(font);
        const double sx = std::hypot(m_transform.m11(), m_transform.m12());
        const double sy = std::hypot(m_transform.m21(), m_transform.m22());
        SheetItem item;
        item.kind = SheetItem::Text;
        item.text = text;
        item.origin = m_transform.map(p);
        item.pen = m_pen.color();
        const double pixels = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 96.0 / 72.0;
        item.font = SheetFont{font.family(), pixels * sy, font.bold(), font.italic()};
        item.ascent = metrics.ascent() * sy;
        item.descent = metrics.descent() * sy;
        // Each character's advance, taken from the growing prefix so that the advances
        // add up to exactly the width the layout measured.
        item.advances.reserve(text.size());
        double before = 0;
        for (qsizetype i = 1; i <= text.size(); ++i) {
            const double upTo = metrics.horizontalAdvance(text.left(i));
            item.advances << (upTo - before) * sx;
            before = upTo;
        }
        m_picture.items.append(item);
    }

private:
    double penWidth() const
    {
        const double scale = std::sqrt(std::fabs(m_transform.determinant()));
        const double w = m_pen.widthF();
        return w <= 0 || m_pen.isCosmetic() ? qMax(w, 1.0) : w * scale;
    }

    void setPenAndFill(SheetItem &item) const
    {
        if (m_pen.style() != Qt::NoPen) {
            item.pen = m_pen.color();
            item.penWidth = penWidth();
        }
        if (m_brush.style() != Qt::NoBrush)
            item.fill = m_brush.color();
    }

    SheetPicture &m_picture;
    QPen m_pen;
    QBrush m_brush;
    QTransform m_transform;
};

SheetRecorder::SheetRecorder(SheetPicture &picture, QSize size)
    : m_picture(picture)
    , m_size(size)
    , m_engine(std::make_unique<SheetPaintEngine>(picture))
{
}

SheetRecorder::~SheetRecorder() = default;

QPaintEngine *SheetRecorder::paintEngine() const
{
    return m_engine.get();
}

int SheetRecorder::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth:
        return m_size.width();
    case PdmHeight:
        return m_size.height();
    case PdmWidthMM:
        return nearest(m_size.width() * 25.4 / 96);
    case PdmHeightMM:
        return nearest(m_size.height() * 25.4 / 96);
    case PdmNumColors:
        return INT_MAX;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return 96;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(QPaintDevice::devicePixelRatioFScale());
    default:
        return QPaintDevice::metric(metric);
    }
}

namespace {

// Text is replayed glyph by glyph at the recorded advances, so every device shows the
// words exactly where the layout put them. The font is taken large and scaled down:
// no hinting at small sizes pulls the letters apart.
constexpr double kTextZoom = 32;

struct RawFontKey {
    QString family;
    int pixels;
    bool bold;
    bool italic;
    bool operator==(const RawFontKey &) const = default;
};

size_t qHash(const RawFontKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.family, k.pixels, k.bold, k.italic);
}

QFont replayFont(const SheetFont &f)
{
    QFont font(f.family);
    font.setPixelSize(qBound(1, nearest(f.height * kTextZoom), 30000));
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setKerning(false);
    // The glyphs are placed one by one; hinting at this size would only cost time.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

void paintText(QPainter &painter, const SheetItem &item, QHash<RawFontKey, QRawFont> &fonts)
{
    const QFont font = replayFont(item.font);
    const RawFontKey key{item.font.family, font.pixelSize(), item.font.bold, item.font.italic};
    auto found = fonts.find(key);
    if (found == fonts.end())
        found = fonts.insert(key, QRawFont::fromFont(font));
    const QRawFont &raw = found.value();

    painter.save();
    painter.translate(item.origin);
    painter.scale(1 / kTextZoom, 1 / kTextZoom);
    painter.setPen(item.pen);
    const QList<quint32> glyphs = raw.isValid() ? raw.glyphIndexesForString(item.text) : QList<quint32>();
    if (glyphs.size() == item.text.size() && !glyphs.contains(0)) {
        QList<QPointF> positions;
        positions.reserve(glyphs.size());
        double x = 0;
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            positions << QPointF(x * kTextZoom, 0);
            x += item.advances.value(i);
        }
        QGlyphRun run;
        run.setRawFont(raw);
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        painter.drawGlyphRun(QPointF(0, 0), run);
    } else {
        // A character the font lacks: the text system finds a fallback font.
        painter.setFont(font);
        painter.drawText(QPointF(0, 0), item.text);
    }
    painter.restore();
}

} // namespace

void SheetPicture::paint(QPainter &painter, const QRectF &target) const
{
    QHash<RawFontKey, QRawFont> fonts;
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / kSheetWidth, target.height() / kSheetHeight);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const SheetItem &item : items) {
        const QPen pen = item.pen.isValid() ? QPen(item.pen, item.penWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin)
                                            : QPen(Qt::NoPen);
        switch (item.kind) {
        case SheetItem::Text:
            paintText(painter, item, fonts);
            break;
        case SheetItem::Line:
            if (item.points.size() == 2) {
                painter.setPen(pen);
                painter.drawLine(item.points.at(0), item.points.at(1));
            }
            break;
        case SheetItem::Rect:
            if (item.fill.isValid())
                painter.fillRect(item.rect, item.fill);
            if (item.pen.isValid()) {
                painter.setPen(pen);
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(item.rect);
            }
            break;
        case SheetItem::Polygon:
            painter.setPen(pen);
            painter.setBrush(item.fill.isValid() ? QBrush(item.fill) : QBrush(Qt::NoBrush));
            painter.drawPolygon(item.points);
            break;
        case SheetItem::Polyline:
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(item.points);
            break;
        case SheetItem::Image:
            painter.drawImage(item.rect, item.image);
            break;
        }
    }
    painter.restore();
}

QImage SheetPicture::render(int width) const
{
    width = qBound(1, width, 20000);
    const int height = qMax(1, nearest(double(width) * kSheetHeight / kSheetWidth));
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paint(painter, QRectF(0, 0, width, height));
    return image;
}

} // namespace kapitolo
