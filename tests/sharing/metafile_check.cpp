#include "metafile_check.h"

#include "platform/cp1252.h"

#include <QtEndian>

namespace kapitolo::test {

namespace {

class Bytes
{
public:
    explicit Bytes(const QByteArray &data) : m_data(data) {}
    bool has(qint64 offset, qint64 size) const { return offset >= 0 && size >= 0 && offset + size <= m_data.size(); }
    quint32 u32(qint64 at) const { return qFromLittleEndian<quint32>(m_data.constData() + at); }
    qint32 i32(qint64 at) const { return qint32(u32(at)); }
    quint16 u16(qint64 at) const { return qFromLittleEndian<quint16>(m_data.constData() + at); }
    qint16 i16(qint64 at) const { return qint16(u16(at)); }
    quint8 u8(qint64 at) const { return quint8(m_data.at(at)); }
    qint64 size() const { return m_data.size(); }
    QByteArray mid(qint64 at, qint64 n) const { return m_data.mid(at, n); }

private:
    const QByteArray &m_data;
};

// An object table: which handles exist.
class Objects
{
public:
    explicit Objects(int size) : m_used(qMax(size, 0), false) {}
    bool create(int index)
    {
        if (index < 0 || index >= m_used.size() || m_used[index])
            return false;
        m_used[index] = true;
        return true;
    }
    bool exists(int index) const { return index >= 0 && index < m_used.size() && m_used[index]; }
    bool remove(int index)
    {
        if (!exists(index))
            return false;
        m_used[index] = false;
        return true;
    }
    int lowestFree() const { return int(m_used.indexOf(false)); }

private:
    QList<bool> m_used;
};

struct Font {
    int height = 0;
    QString face;
    bool bold = false;
};

} // namespace

MetafileContent readEmfFile(const QByteArray &data)
{
    MetafileContent c;
    const Bytes b(data);
    if (!b.has(0, 88) || b.u32(0) != 1) {
        c.error = QStringLiteral("kein EMR_HEADER am Anfang");
        return c;
    }
    const quint32 headerSize = b.u32(4);
    if (headerSize < 88 || headerSize % 4 != 0 || !b.has(0, headerSize) || b.u32(40) != 0x464D4520) {
        c.error = QStringLiteral("Kopf unbrauchbar");
        return c;
    }
    c.box = QRect(QPoint(b.i32(8), b.i32(12)), QPoint(b.i32(16), b.i32(20)));
    c.frame = QRect(QPoint(b.i32(24), b.i32(28)), QPoint(b.i32(32), b.i32(36)));
    if (b.u32(48) != quint32(data.size())) {
        c.error = QStringLiteral("Dateigröße im Kopf falsch");
        return c;
    }
    const quint32 declaredRecords = b.u32(52);
    const int handles = b.u16(56);
    Objects objects(handles);
    QList<Font> fonts(qMax(handles, 0));
    Font font;
    quint32 colour = 0;

    qint64 at = 0;
    quint32 count = 0;
    bool ended = false;
    while (at < b.size()) {
        if (ended) {
            c.error = QStringLiteral("Daten nach EMR_EOF");
            return c;
        }
        if (!b.has(at, 8)) {
            c.error = QStringLiteral("abgeschnittener Datensatz bei %1").arg(at);
            return c;
        }
        const quint32 type = b.u32(at);
        const quint32 size = b.u32(at + 4);
        if (size < 8 || size % 4 != 0 || !b.has(at, size)) {
            c.error = QStringLiteral("Datensatzgröße %1 bei %2 unmöglich").arg(size).arg(at);
            return c;
        }
        c.types << int(type);
        ++count;
        auto need = [&](quint32 n) {
            if (size < n && c.error.isEmpty())
                c.error = QStringLiteral("Datensatz %1 zu kurz").arg(type);
            return size >= n;
        };
        switch (type) {
        case 14: // EMR_EOF
            if (size != 20 || b.u32(at + 16) != size)
                c.error = QStringLiteral("EMR_EOF fehlerhaft");
            ended = true;
            break;
        case 37: { // EMR_SELECTOBJECT
            if (!need(12))
                break;
            const quint32 handle = b.u32(at + 8);
            if (!(handle & 0x80000000u)) {
                if (!objects.exists(int(handle)))
                    c.error = QStringLiteral("Auswahl eines fehlenden Objekts %1").arg(handle);
                else if (fonts.value(int(handle)).height != 0)
                    font = fonts.at(int(handle));
            }
            break;
        }
        case 40: // EMR_DELETEOBJECT
            if (need(12) && !objects.remove(int(b.u32(at + 8))))
                c.error = QStringLiteral("Löschen eines fehlenden Objekts");
            break;
        case 38: // EMR_CREATEPEN
        case 39: // EMR_CREATEBRUSHINDIRECT
        case 82: { // EMR_EXTCREATEFONTINDIRECTW
            if (!need(type == 82 ? 104 : 24))
                break;
            const int handle = int(b.u32(at + 8));
            if (handle == 0 || !objects.create(handle)) {
                c.error = QStringLiteral("Objekt %1 ungültig oder doppelt angelegt").arg(handle);
                break;
            }
            Font f;
            if (type == 82) {
                f.height = -b.i32(at + 12);
                f.bold = b.i32(at + 28) >= 700;
                for (int i = 0; i < 32; ++i) {
                    const quint16 ch = b.u16(at + 40 + 2 * i);
                    if (ch == 0)
                        break;
                    f.face += QChar(ch);
                }
            }
            fonts[handle] = f;
            break;
        }
        case 24: // EMR_SETTEXTCOLOR
            if (need(12))
                colour = b.u32(at + 8);
            break;
        case 84: { // EMR_EXTTEXTOUTW
            if (!need(76))
                break;
            MetafileText t;
            t.reference = QPoint(b.i32(at + 36), b.i32(at + 40));
            const quint32 chars = b.u32(at + 44);
            const quint32 offString = b.u32(at + 48);
            const quint32 offDx = b.u32(at + 72);
            if (chars > size || offString + 2 * chars > size || (offDx != 0 && offDx + 4 * chars > size)) {
                c.error = QStringLiteral("Text außerhalb seines Datensatzes");
                break;
            }
            for (quint32 i = 0; i < chars; ++i)
                t.text += QChar(b.u16(at + offString + 2 * i));
            if (offDx != 0)
                for (quint32 i = 0; i < chars; ++i)
                    t.dx << b.i32(at + offDx + 4 * i);
            t.fontHeight = font.height;
            t.face = font.face;
            t.bold = font.bold;
            t.colour = colour;
            c.texts << t;
            break;
        }
        case 81: { // EMR_STRETCHDIBITS
            if (!need(80))
                break;
            const quint32 offBmi = b.u32(at + 48);
            const quint32 cbBmi = b.u32(at + 52);
            const quint32 offBits = b.u32(at + 56);
            const quint32 cbBits = b.u32(at + 60);
            if (cbBmi < 40 || offBmi + cbBmi > size || offBits + cbBits > size || b.u32(at + offBmi) != 40) {
                c.error = QStringLiteral("Bild außerhalb seines Datensatzes");
                break;
            }
            const qint64 width = b.i32(at + offBmi + 4);
            const qint64 height = b.i32(at + offBmi + 8);
            const int bits = b.u16(at + offBmi + 14);
            const qint64 rowBytes = (width * bits + 31) / 32 * 4;
            if (width <= 0 || height == 0 || rowBytes * qAbs(height) > cbBits)
                c.error = QStringLiteral("Bildgröße passt nicht zu den Bilddaten");
            ++c.images;
            break;
        }
        default:
            break;
        }
        if (!c.error.isEmpty())
            return c;
        at += size;
    }
    if (!ended)
        c.error = QStringLiteral("EMR_EOF fehlt");
    else if (count != declaredRecords)
        c.error = QStringLiteral("Kopf nennt %1 Datensätze, gefunden %2").arg(declaredRecords).arg(count);
    return c;
}

MetafileContent readWmfFile(const QByteArray &data)
{
    MetafileContent c;
    const Bytes b(data);
    if (!b.has(0, 22 + 18) || b.u32(0) != 0x9AC6CDD7u) {
        c.error = QStringLiteral("kein Kopf einer platzierbaren Metadatei");
        return c;
    }
    quint16 checksum = 0;
    for (int i = 0; i < 10; ++i)
        checksum ^= b.u16(2 * i);
    if (checksum != b.u16(20)) {
        c.error = QStringLiteral("Prüfsumme des Kopfes falsch");
        return c;
    }
    c.box = QRect(QPoint(b.i16(6), b.i16(8)), QPoint(b.i16(10), b.i16(12)));
    c.unitsPerInch = b.u16(14);
    const qint64 start = 22;
    if (b.u16(start) != 1 || b.u16(start + 2) != 9 || b.u16(start + 4) != 0x0300) {
        c.error = QStringLiteral("Metadateikopf unbrauchbar");
        return c;
    }
    if (qint64(b.u32(start + 6)) * 2 != b.size() - start) {
        c.error = QStringLiteral("Größe im Metadateikopf falsch");
        return c;
    }
    const int objectCount = b.u16(start + 10);
    const quint32 maxRecord = b.u32(start + 12);
    Objects objects(objectCount);
    QList<Font> fonts(objectCount);
    Font font;
    quint32 colour = 0;
    quint32 largest = 0;
    qint64 at = start + 18;
    bool ended = false;
    while (at < b.size()) {
        if (ended) {
            c.error = QStringLiteral("Daten nach META_EOF");
            return c;
        }
        if (!b.has(at, 6)) {
            c.error = QStringLiteral("abgeschnittener Datensatz bei %1").arg(at);
            return c;
        }
        const quint32 words = b.u32(at);
        const quint16 function = b.u16(at + 4);
        if (words < 3 || !b.has(at, qint64(words) * 2)) {
            c.error = QStringLiteral("Datensatzgröße %1 bei %2 unmöglich").arg(words).arg(at);
            return c;
        }
        const qint64 size = qint64(words) * 2;
        largest = qMax(largest, words);
        c.types << function;
        const qint64 p = at + 6;
        switch (function) {
        case 0x0000:
            if (words != 3)
                c.error = QStringLiteral("META_EOF fehlerhaft");
            ended = true;
            break;
        case 0x02FA: // META_CREATEPENINDIRECT
        case 0x02FC: // META_CREATEBRUSHINDIRECT
        case 0x02FB: { // META_CREATEFONTINDIRECT
            // Playback puts a new object into the lowest free entry of the table.
            const int slot = objects.lowestFree();
            if (slot < 0 || !objects.create(slot)) {
                c.error = QStringLiteral("Objekttabelle zu klein");
                break;
            }
            Font f;
            if (function == 0x02FB && size >= 6 + 18) {
                f.height = -b.i16(p);
                f.bold = b.i16(p + 8) >= 700;
                f.face = QString::fromLatin1(b.mid(p + 18, qMin<qint64>(32, size - 24)).constData());
            }
            fonts[slot] = f;
            break;
        }
        case 0x012D: { // META_SELECTOBJECT
            const int slot = b.u16(p);
            if (!objects.exists(slot))
                c.error = QStringLiteral("Auswahl eines fehlenden Objekts %1").arg(slot);
            else if (fonts.at(slot).height != 0)
                font = fonts.at(slot);
            break;
        }
        case 0x01F0: // META_DELETEOBJECT
            if (!objects.remove(b.u16(p)))
                c.error = QStringLiteral("Löschen eines fehlenden Objekts");
            break;
        case 0x0209: // META_SETTEXTCOLOR
            colour = b.u32(p);
            break;
        case 0x0A32: { // META_EXTTEXTOUT
            MetafileText t;
            t.reference = QPoint(b.i16(p + 2), b.i16(p));
            const int length = b.i16(p + 4);
            const quint16 options = b.u16(p + 6);
            qint64 q = p + 8 + ((options & 0x0006) ? 8 : 0);
            const qint64 stringBytes = (length + 1) / 2 * 2;
            if (length < 0 || q + stringBytes > at + size) {
                c.error = QStringLiteral("Text außerhalb seines Datensatzes");
                break;
            }
            t.text = fromCp1252(b.mid(q, length));
            q += stringBytes;
            if (q < at + size) {
                if (q + 2 * length > at + size) {
                    c.error = QStringLiteral("Abstände außerhalb des Datensatzes");
                    break;
                }
                for (int i = 0; i < length; ++i)
                    t.dx << b.i16(q + 2 * i);
            }
            t.fontHeight = font.height;
            t.face = font.face;
            t.bold = font.bold;
            t.colour = colour;
            c.texts << t;
            break;
        }
        case 0x0F43: { // META_STRETCHDIB
            const qint64 dib = p + 4 + 2 + 16;
            if (dib + 40 > at + size || b.u32(dib) != 40) {
                c.error = QStringLiteral("Bild außerhalb seines Datensatzes");
                break;
            }
            const qint64 width = b.i32(dib + 4);
            const qint64 height = b.i32(dib + 8);
            const int bits = b.u16(dib + 14);
            if (width <= 0 || height == 0 || dib + 40 + (width * bits + 31) / 32 * 4 * qAbs(height) > at + size)
                c.error = QStringLiteral("Bildgröße passt nicht zu den Bilddaten");
            ++c.images;
            break;
        }
        default:
            break;
        }
        if (!c.error.isEmpty())
            return c;
        at += size;
    }
    if (!ended)
        c.error = QStringLiteral("META_EOF fehlt");
    else if (largest != maxRecord)
        c.error = QStringLiteral("größter Datensatz im Kopf falsch");
    return c;
}

} // namespace kapitolo::test
