#include "sharing/metafile_writer.h"

#include "platform/cp1252.h"
#include "platform/nearest.h"

#include <QtEndian>

#include <cstring>
#include <optional>

namespace kapitolo {

namespace {

// Little-endian fields appended to a byte array.
class Fields
{
public:
    Fields &u8(quint8 v)
    {
        m_bytes.append(char(v));
        return *this;
    }
    Fields &u16(quint16 v)
    {
        char b[2];
        qToLittleEndian(v, b);
        m_bytes.append(b, 2);
        return *this;
    }
    Fields &i16(int v) { return u16(quint16(qint16(qBound(-32768, v, 32767)))); }
    Fields &u32(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        m_bytes.append(b, 4);
        return *this;
    }
    Fields &i32(qint32 v) { return u32(quint32(v)); }
    Fields &f32(float v)
    {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    Fields &raw(const QByteArray &bytes)
    {
        m_bytes.append(bytes);
        return *this;
    }
    Fields &padTo(int multiple)
    {
        while (m_bytes.size() % multiple != 0)
            m_bytes.append('\0');
        return *this;
    }
    const QByteArray &bytes() const { return m_bytes; }
    qsizetype size() const { return m_bytes.size(); }

private:
    QByteArray m_bytes;
};

quint32 colorRef(const QColor &c)
{
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}

// Sheet coordinates to whole logical units.
int unit(double v)
{
    return nearest(v);
}

// Per-character advances as whole units that still end where the text ends: each one
// is the difference of two rounded positions.
QList<int> unitAdvances(const SheetItem &item, int startX)
{
    QList<int> dx;
    dx.reserve(item.advances.size());
    double x = item.origin.x();
    int previous = startX;
    for (double a : item.advances) {
        x += a;
        const int next = unit(x);
        dx << next - previous;
        previous = next;
    }
    return dx;
}

QRect unitRect(const QRectF &r)
{
    return QRect(QPoint(unit(r.left()), unit(r.top())), QPoint(unit(r.right()), unit(r.bottom())));
}

QRect pointsBounds(const QPolygonF &points)
{
    return unitRect(points.boundingRect());
}

struct PenKey {
    QColor colour;
    int width = 1;
    bool operator==(const PenKey &) const = default;
};

struct FontKey {
    QString family;
    int height = 0;
    bool bold = false;
    bool italic = false;
    bool operator==(const FontKey &) const = default;
};

FontKey fontKey(const SheetFont &f)
{
    return FontKey{f.family.isEmpty() ? QStringLiteral("Arial") : f.family, qMax(1, unit(f.height)), f.bold, f.italic};
}

// Room for the whole file, so that the bitmaps are not copied again as it grows.
qsizetype estimatedSize(const SheetPicture &picture)
{
    qsizetype size = 4096;
    for (const SheetItem &item : picture.items)
        size += item.kind == SheetItem::Image ? dibSize(item.image) + 128 : 96 + 6 * item.text.size();
    return size;
}

constexpr quint32 kSrcCopy = 0x00CC0020;
constexpr quint32 kTaBaseline = 24; // TA_BASELINE | TA_LEFT | TA_NOUPDATECP
constexpr quint32 kTransparent = 1;
constexpr quint32 kAnisotropic = 8;
constexpr quint32 kAlternate = 1;

// ------------------------------------------------------------------------------------
// EMF

enum EmfRecord : quint32 {
    EMR_HEADER = 1,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_EOF = 14,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_MOVETOEX = 27,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_RECTANGLE = 43,
    EMR_LINETO = 54,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTW = 84,
};

constexpr quint32 kStockNullBrush = 0x80000005;
constexpr quint32 kStockNullPen = 0x80000008;

class EmfWriter
{
public:
    QByteArray write(const SheetPicture &picture)
    {
        const QByteArray description = descriptionText();
        const quint32 headerSize = 108 + quint32(description.size());
        m_body = QByteArray(headerSize, '\0');
        m_body.reserve(estimatedSize(picture));
        record(EMR_SETMAPMODE, Fields().u32(kAnisotropic));
        record(EMR_SETWINDOWORGEX, Fields().i32(0).i32(0));
        record(EMR_SETWINDOWEXTEX, Fields().i32(kSheetWidth).i32(kSheetHeight));
        record(EMR_SETVIEWPORTORGEX, Fields().i32(0).i32(0));
        record(EMR_SETVIEWPORTEXTEX, Fields().i32(kSheetWidth).i32(kSheetHeight));
        record(EMR_SETBKMODE, Fields().u32(kTransparent));
        record(EMR_SETTEXTALIGN, Fields().u32(kTaBaseline));
        record(EMR_SETPOLYFILLMODE, Fields().u32(kAlternate));
        for (const SheetItem &item : picture.items)
            item.kind == SheetItem::Text ? text(item) : shape(item);
        record(EMR_EOF, Fields().u32(0).u32(16).u32(20));

        const quint32 total = quint32(m_body.size());
        Fields h;
        h.u32(EMR_HEADER).u32(headerSize);
        h.i32(0).i32(0).i32(kSheetWidth - 1).i32(kSheetHeight - 1); // bounds, device units
        const int frameW = nearest(kSheetWidthMm * 100);
        const int frameH = nearest(sheetHeightMm() * 100);
        h.i32(0).i32(0).i32(frameW).i32(frameH); // frame, 0.01 mm
        h.u32(0x464D4520).u32(0x00010000).u32(total).u32(m_records + 1);
        h.u16(7).u16(0); // handles: the reserved 0 and two slots each for pens, brushes, fonts
        h.u32(quint32(description.size() / 2)).u32(108).u32(0);
        // The reference device: one pixel per sheet unit, 16.6 cm wide.
        h.i32(kSheetWidth).i32(kSheetHeight);
        h.i32(nearest(kSheetWidthMm)).i32(nearest(sheetHeightMm()));
        h.u32(0).u32(0).u32(0);
        h.i32(nearest(kSheetWidthMm * 1000)).i32(nearest(sheetHeightMm() * 1000));
        h.raw(description);
        std::memcpy(m_body.data(), h.bytes().constData(), size_t(h.size()));
        return std::move(m_body);
    }

private:
    static QByteArray descriptionText()
    {
        QByteArray d;
        const QString text = QStringLiteral("Kapitolo") + QChar(0) + QStringLiteral("Arbeitsblatt") + QChar(0) + QChar(0);
        for (QChar c : text) {
            d.append(char(c.unicode() & 0xFF));
            d.append(char(c.unicode() >> 8));
        }
        if (d.size() % 4 != 0)
            d.append(2, '\0');
        return d;
    }

    // A record of the fixed fields, followed by a bitmap appended in place.
    void record(quint32 type, Fields params, const QImage *bitmap = nullptr)
    {
        const qsizetype bulk = bitmap ? dibSize(*bitmap) : 0;
        const qsizetype padding = (4 - (params.size() + bulk) % 4) % 4;
        Fields r;
        r.u32(type).u32(quint32(8 + params.size() + bulk + padding)).raw(params.bytes());
        m_body += r.bytes();
        if (bitmap)
            appendDeviceIndependentBitmap(m_body, *bitmap);
        m_body.append(padding, '\0');
        ++m_records;
    }

    static Fields &rectL(Fields &f, const QRect &r)
    {
        return f.i32(r.left()).i32(r.top()).i32(r.right()).i32(r.bottom());
    }

    void select(quint32 handle) { record(EMR_SELECTOBJECT, Fields().u32(handle)); }

    // Two slots per kind: the new object is made in the free one and selected before
    // the old one is deleted, so no record ever refers to a deleted object.
    struct Slots {
        quint32 first;
        quint32 current = 0;
        quint32 next() const { return current == first ? first + 1 : first; }
    };

    void usePen(const std::optional<PenKey> &pen)
    {
        if (pen == m_pen && m_penSet)
            return;
        m_penSet = true;
        m_pen = pen;
        if (!pen) {
            select(kStockNullPen);
            releaseSlot(m_penSlots);
            return;
        }
        const quint32 handle = m_penSlots.next();
        record(EMR_CREATEPEN, Fields().u32(handle).u32(0).i32(pen->width).i32(0).u32(colorRef(pen->colour)));
        takeSlot(m_penSlots, handle);
    }

    void useBrush(const QColor &fill)
    {
        const std::optional<QColor> brush = fill.isValid() ? std::optional<QColor>(fill) : std::nullopt;
        if (brush == m_brush && m_brushSet)
            return;
        m_brushSet = true;
        m_brush = brush;
        if (!brush) {
            select(kStockNullBrush);
            releaseSlot(m_brushSlots);
            return;
        }
        const quint32 handle = m_brushSlots.next();
        record(EMR_CREATEBRUSHINDIRECT, Fields().u32(handle).u32(0).u32(colorRef(*brush)).u32(0));
        takeSlot(m_brushSlots, handle);
    }

    void useFont(const FontKey &font)
    {
        if (m_font && *m_font == font)
            return;
        m_font = font;
        const quint32 handle = m_fontSlots.next();
        Fields f;
        f.u32(handle);
        f.i32(-font.height).i32(0).i32(0).i32(0).i32(font.bold ? 700 : 400);
        f.u8(font.italic ? 1 : 0).u8(0).u8(0).u8(0); // italic, underline, strike-out, ANSI_CHARSET
        f.u8(0).u8(0).u8(0).u8(0x22);                // precisions, quality, FF_SWISS | VARIABLE_PITCH
        const QString face = font.family.left(31);
        for (int i = 0; i < 32; ++i)
            f.u16(i < face.size() ? face.at(i).unicode() : 0);
        record(EMR_EXTCREATEFONTINDIRECTW, f);
        takeSlot(m_fontSlots, handle);
    }

    void takeSlot(Slots &slots, quint32 handle)
    {
        select(handle);
        if (slots.current != 0)
            record(EMR_DELETEOBJECT, Fields().u32(slots.current));
        slots.current = handle;
    }

    void releaseSlot(Slots &slots)
    {
        if (slots.current != 0)
            record(EMR_DELETEOBJECT, Fields().u32(slots.current));
        slots.current = 0;
    }

    static std::optional<PenKey> penOf(const SheetItem &item)
    {
        if (!item.pen.isValid())
            return std::nullopt;
        return PenKey{item.pen.rgb(), qMax(1, unit(item.penWidth))};
    }

    void shape(const SheetItem &item)
    {
        switch (item.kind) {
        case SheetItem::Line: {
            if (item.points.size() != 2)
                return;
            usePen(penOf(item));
            record(EMR_MOVETOEX, Fields().i32(unit(item.points[0].x())).i32(unit(item.points[0].y())));
            record(EMR_LINETO, Fields().i32(unit(item.points[1].x())).i32(unit(item.points[1].y())));
            break;
        }
        case SheetItem::Rect: {
            usePen(penOf(item));
            useBrush(item.fill);
            Fields f;
            rectL(f, unitRect(item.rect));
            record(EMR_RECTANGLE, f);
            break;
        }
        case SheetItem::Polygon:
        case SheetItem::Polyline: {
            const bool polygon = item.kind == SheetItem::Polygon;
            usePen(penOf(item));
            if (polygon)
                useBrush(item.fill);
            Fields f;
            rectL(f, pointsBounds(item.points));
            f.u32(quint32(item.points.size()));
            for (const QPointF &p : item.points)
                f.i16(unit(p.x())).i16(unit(p.y()));
            record(polygon ? EMR_POLYGON16 : EMR_POLYLINE16, f);
            break;
        }
        case SheetItem::Image: {
            const qsizetype dib = dibSize(item.image);
            if (dib == 0)
                return;
            const QRect dest = unitRect(item.rect);
            Fields f;
            rectL(f, dest);
            f.i32(dest.left()).i32(dest.top()).i32(0).i32(0);
            f.i32(item.image.width()).i32(item.image.height());
            f.u32(80).u32(40).u32(120).u32(quint32(dib - 40));
            f.u32(0).u32(kSrcCopy);
            f.i32(unit(item.rect.width())).i32(unit(item.rect.height()));
            record(EMR_STRETCHDIBITS, f, &item.image);
            break;
        }
        case SheetItem::Text:
            break;
        }
    }

    void text(const SheetItem &item)
    {
        useFont(fontKey(item.font));
        if (item.pen.rgb() != m_textColour) {
            m_textColour = item.pen.rgb();
            record(EMR_SETTEXTCOLOR, Fields().u32(colorRef(item.pen)));
        }
        const int x = unit(item.origin.x());
        const int y = unit(item.origin.y());
        const QList<int> dx = unitAdvances(item, x);
        const QRect box = unitRect(item.textBox());
        const quint32 chars = quint32(item.text.size());
        const quint32 stringBytes = (chars * 2 + 3) / 4 * 4;
        Fields f;
        rectL(f, box);
        f.u32(1); // GM_COMPATIBLE
        f.f32(float(kSheetWidthMm * 100 / kSheetWidth)).f32(float(sheetHeightMm() * 100 / kSheetHeight));
        f.i32(x).i32(y).u32(chars).u32(76).u32(0);
        rectL(f, box);
        f.u32(76 + stringBytes);
        for (QChar c : item.text)
            f.u16(c.unicode());
        f.padTo(4);
        for (int d : dx)
            f.i32(d);
        record(EMR_EXTTEXTOUTW, f);
    }

    QByteArray m_body;
    quint32 m_records = 0;
    Slots m_penSlots{1};
    Slots m_brushSlots{3};
    Slots m_fontSlots{5};
    std::optional<PenKey> m_pen;
    bool m_penSet = false;
    std::optional<QColor> m_brush;
    bool m_brushSet = false;
    std::optional<FontKey> m_font;
    QRgb m_textColour = 0xFFFFFFFF; // none set yet: the first text sets its colour
};

// ------------------------------------------------------------------------------------
// WMF

enum WmfRecord : quint16 {
    META_EOF = 0x0000,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_RECTANGLE = 0x041B,
    META_EXTTEXTOUT = 0x0A32,
    META_STRETCHDIB = 0x0F43,
};

class WmfWriter
{
public:
    QByteArray write(const SheetPicture &picture)
    {
        m_body = QByteArray(22 + 18, '\0');
        m_body.reserve(estimatedSize(picture));
        record(META_SETMAPMODE, Fields().u16(kAnisotropic));
        record(META_SETWINDOWORG, Fields().i16(0).i16(0));
        record(META_SETWINDOWEXT, Fields().i16(kSheetHeight).i16(kSheetWidth));
        record(META_SETBKMODE, Fields().u16(kTransparent).u16(0));
        record(META_SETTEXTALIGN, Fields().u16(kTaBaseline).u16(0));
        record(META_SETPOLYFILLMODE, Fields().u16(kAlternate).u16(0));
        for (const SheetItem &item : picture.items)
            item.kind == SheetItem::Text ? text(item) : shape(item);
        // Objects still selected are deleted at the end, as a tidy metafile does.
        for (quint16 slot : {m_pen, m_brush, m_font})
            if (slot != kNone)
                record(META_DELETEOBJECT, Fields().u16(slot));
        record(META_EOF, Fields());

        const quint32 headerWords = 9;
        const quint32 totalWords = quint32((m_body.size() - 22) / 2);
        Fields placeable;
        placeable.u32(0x9AC6CDD7).u16(0);
        placeable.i16(0).i16(0).i16(kSheetWidth).i16(kSheetHeight);
        placeable.u16(kWmfUnitsPerInch).u32(0);
        quint16 checksum = 0;
        for (int i = 0; i < 10; ++i)
            checksum ^= qFromLittleEndian<quint16>(placeable.bytes().constData() + 2 * i);
        placeable.u16(checksum);
        Fields header;
        header.u16(1).u16(quint16(headerWords)).u16(0x0300).u32(totalWords);
        header.u16(quint16(m_table.size())).u32(m_maxRecord).u16(0);
        const QByteArray head = placeable.bytes() + header.bytes();
        std::memcpy(m_body.data(), head.constData(), size_t(head.size()));
        return std::move(m_body);
    }

private:
    static constexpr quint16 kNone = 0xFFFF;

    void record(quint16 function, Fields params, const QImage *bitmap = nullptr)
    {
        const qsizetype bulk = bitmap ? dibSize(*bitmap) : 0;
        const qsizetype padding = (params.size() + bulk) % 2;
        const quint32 words = 3 + quint32((params.size() + bulk + padding) / 2);
        Fields r;
        r.u32(words).u16(function).raw(params.bytes());
        m_body += r.bytes();
        if (bitmap)
            appendDeviceIndependentBitmap(m_body, *bitmap);
        m_body.append(padding, '\0');
        m_maxRecord = qMax(m_maxRecord, words);
    }

    // A new object takes the lowest free entry of the object table, as playback does.
    quint16 create(quint16 function, const Fields &params)
    {
        qsizetype slot = m_table.indexOf(false);
        if (slot < 0) {
            slot = m_table.size();
            m_table.append(true);
        } else {
            m_table[slot] = true;
        }
        record(function, params);
        return quint16(slot);
    }

    void replace(quint16 &current, quint16 function, const Fields &params)
    {
        const quint16 slot = create(function, params);
        record(META_SELECTOBJECT, Fields().u16(slot));
        if (current != kNone) {
            record(META_DELETEOBJECT, Fields().u16(current));
            m_table[current] = false;
        }
        current = slot;
    }

    void usePen(const std::optional<PenKey> &pen)
    {
        if (m_penSet && pen == m_penKey)
            return;
        m_penSet = true;
        m_penKey = pen;
        Fields f;
        if (pen)
            f.u16(0).i16(pen->width).i16(0).u32(colorRef(pen->colour));
        else
            f.u16(5).i16(0).i16(0).u32(0); // PS_NULL
        replace(m_pen, META_CREATEPENINDIRECT, f);
    }

    void useBrush(const QColor &fill)
    {
        const std::optional<QColor> brush = fill.isValid() ? std::optional<QColor>(fill) : std::nullopt;
        if (m_brushSet && brush == m_brushKey)
            return;
        m_brushSet = true;
        m_brushKey = brush;
        Fields f;
        if (brush)
            f.u16(0).u32(colorRef(*brush)).u16(0);
        else
            f.u16(1).u32(0).u16(0); // BS_NULL
        replace(m_brush, META_CREATEBRUSHINDIRECT, f);
    }

    void useFont(const FontKey &font)
    {
        if (m_fontKey && *m_fontKey == font)
            return;
        m_fontKey = font;
        Fields f;
        f.i16(-font.height).i16(0).i16(0).i16(0).i16(font.bold ? 700 : 400);
        f.u8(font.italic ? 1 : 0).u8(0).u8(0).u8(0);
        f.u8(0).u8(0).u8(0).u8(0x22);
        QByteArray face = toCp1252(font.family).left(31);
        face.append(QByteArray(32 - face.size(), '\0'));
        f.raw(face);
        replace(m_font, META_CREATEFONTINDIRECT, f);
    }

    static std::optional<PenKey> penOf(const SheetItem &item)
    {
        if (!item.pen.isValid())
            return std::nullopt;
        return PenKey{item.pen.rgb(), qMax(1, unit(item.penWidth))};
    }

    void shape(const SheetItem &item)
    {
        switch (item.kind) {
        case SheetItem::Line:
            if (item.points.size() != 2)
                return;
            usePen(penOf(item));
            record(META_MOVETO, Fields().i16(unit(item.points[0].y())).i16(unit(item.points[0].x())));
            record(META_LINETO, Fields().i16(unit(item.points[1].y())).i16(unit(item.points[1].x())));
            break;
        case SheetItem::Rect: {
            usePen(penOf(item));
            useBrush(item.fill);
            const QRect r = unitRect(item.rect);
            record(META_RECTANGLE, Fields().i16(r.bottom()).i16(r.right()).i16(r.top()).i16(r.left()));
            break;
        }
        case SheetItem::Polygon:
        case SheetItem::Polyline: {
            const bool polygon = item.kind == SheetItem::Polygon;
            if (item.points.size() > 8000)
                return;
            usePen(penOf(item));
            if (polygon)
                useBrush(item.fill);
            Fields f;
            f.i16(int(item.points.size()));
            for (const QPointF &p : item.points)
                f.i16(unit(p.x())).i16(unit(p.y()));
            record(polygon ? META_POLYGON : META_POLYLINE, f);
            break;
        }
        case SheetItem::Image: {
            if (dibSize(item.image) == 0 || item.image.width() > 32767 || item.image.height() > 32767)
                return;
            const QRect dest = unitRect(item.rect);
            Fields f;
            f.u32(kSrcCopy).u16(0);
            f.i16(item.image.height()).i16(item.image.width()).i16(0).i16(0);
            f.i16(unit(item.rect.height())).i16(unit(item.rect.width())).i16(dest.top()).i16(dest.left());
            record(META_STRETCHDIB, f, &item.image);
            break;
        }
        case SheetItem::Text:
            break;
        }
    }

    void text(const SheetItem &item)
    {
        const QByteArray bytes = toCp1252(item.text).left(32000);
        if (bytes.isEmpty())
            return;
        useFont(fontKey(item.font));
        if (item.pen.rgb() != m_textColour) {
            m_textColour = item.pen.rgb();
            record(META_SETTEXTCOLOR, Fields().u32(colorRef(item.pen)));
        }
        const int x = unit(item.origin.x());
        const int y = unit(item.origin.y());
        const QList<int> dx = unitAdvances(item, x);
        Fields f;
        f.i16(y).i16(x).i16(int(bytes.size())).u16(0);
        f.raw(bytes).padTo(2);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            f.i16(dx.value(i));
        record(META_EXTTEXTOUT, f);
    }

    QByteArray m_body;
    quint32 m_maxRecord = 3;
    QList<bool> m_table;
    quint16 m_pen = kNone;
    quint16 m_brush = kNone;
    quint16 m_font = kNone;
    std::optional<PenKey> m_penKey;
    bool m_penSet = false;
    std::optional<QColor> m_brushKey;
    bool m_brushSet = false;
    std::optional<FontKey> m_fontKey;
    QRgb m_textColour = 0xFFFFFFFF;
};

} // namespace

qsizetype dibSize(const QImage &image)
{
    if (image.isNull())
        return 0;
    const qint64 rowBytes = (qint64(image.width()) * 3 + 3) / 4 * 4;
    const qint64 total = 40 + rowBytes * image.height();
    return total > 0x7FFFFFFF ? 0 : qsizetype(total);
}

void appendDeviceIndependentBitmap(QByteArray &out, const QImage &source)
{
    const qsizetype size = dibSize(source);
    if (size == 0)
        return;
    const bool direct = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32;
    const QImage image = direct ? source : source.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    const qsizetype rowBytes = (qsizetype(width) * 3 + 3) / 4 * 4;
    const qsizetype start = out.size();
    out.resize(start + size);
    uchar *d = reinterpret_cast<uchar *>(out.data()) + start;
    qToLittleEndian<quint32>(40, d);
    qToLittleEndian<qint32>(width, d + 4);
    qToLittleEndian<qint32>(height, d + 8); // positive: bottom-up
    qToLittleEndian<quint16>(1, d + 12);
    qToLittleEndian<quint16>(24, d + 14);
    qToLittleEndian<quint32>(0, d + 16); // BI_RGB
    qToLittleEndian<quint32>(quint32(rowBytes * height), d + 20);
    qToLittleEndian<qint32>(3780, d + 24); // 96 dots per inch
    qToLittleEndian<qint32>(3780, d + 28);
    qToLittleEndian<quint32>(0, d + 32);
    qToLittleEndian<quint32>(0, d + 36);
    // One pass from the image's pixels to blue, green, red, the rows bottom-up.
    for (int y = 0; y < height; ++y) {
        const QRgb *src = reinterpret_cast<const QRgb *>(image.constScanLine(height - 1 - y));
        uchar *row = d + 40 + qsizetype(y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            const QRgb p = src[x];
            row[3 * x] = uchar(qBlue(p));
            row[3 * x + 1] = uchar(qGreen(p));
            row[3 * x + 2] = uchar(qRed(p));
        }
        for (qsizetype pad = qsizetype(width) * 3; pad < rowBytes; ++pad)
            row[pad] = 0;
    }
}

QByteArray writeEmf(const SheetPicture &picture)
{
    return EmfWriter().write(picture);
}

QByteArray writeWmf(const SheetPicture &picture)
{
    return WmfWriter().write(picture);
}

} // namespace kapitolo
