#include "platform/cp1252.h"

#include <QList>
#include <QStringView>

namespace kapitolo {

namespace {

// 0x80..0x9F; the five undefined codes map to the C1 control of the same value,
// as Windows itself does when it converts them.
const char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int encodeChar(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return 0x80 + i;
    return -1;
}

// Latin letters that Unicode does not decompose into a base letter and a mark.
const char *strokeLetter(char32_t c)
{
    switch (c) {
    case 0x0110: return "D";  // Đ
    case 0x0111: return "d";  // đ
    case 0x0126: return "H";  // Ħ
    case 0x0127: return "h";  // ħ
    case 0x0131: return "i";  // ı
    case 0x0138: return "k";  // ĸ
    case 0x0141: return "L";  // Ł
    case 0x0142: return "l";  // ł
    case 0x014A: return "N";  // Ŋ
    case 0x014B: return "n";  // ŋ
    case 0x0166: return "T";  // Ŧ
    case 0x0167: return "t";  // ŧ
    case 0x0180: return "b";  // ƀ
    case 0x0197: return "I";  // Ɨ
    case 0x01B5: return "Z";  // Ƶ
    case 0x01B6: return "z";  // ƶ
    case 0x0237: return "j";  // ȷ
    case 0x0268: return "i";  // ɨ
    case 0x1E9E: return "SS"; // ẞ
    case 0x2010: case 0x2011: case 0x2012: case 0x2212: return "-";
    case 0x02BC: case 0x2032: return "'";
    case 0x2033: return "\"";
    default: return nullptr;
    }
}

// False when the character has no nearest letters either.
bool appendNearest(QByteArray &out, char32_t c, int depth = 0)
{
    const int code = encodeChar(c);
    if (code >= 0) {
        out += char(code);
        return true;
    }
    if (const char *letters = strokeLetter(c)) {
        out += letters;
        return true;
    }
    // Canonical and compatibility decompositions: Ş = S + cedilla, ǆ = d + ž, ﬁ = f + i.
    // The combining marks that have no code are left out, so ǘ keeps its ü. A character
    // whose parts have no letters either (a Hangul syllable) stays one "?".
    const QString parts = QChar::decomposition(c);
    if (depth >= 4 || parts.isEmpty())
        return false;
    QByteArray letters;
    for (const char32_t part : parts.toUcs4()) {
        const QChar::Category category = QChar::category(part);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
            || category == QChar::Mark_Enclosing)
            continue;
        if (!appendNearest(letters, part, depth + 1))
            return false;
    }
    if (letters.isEmpty())
        return false;
    out += letters;
    return true;
}

} // namespace

QString fromCp1252(const char *data, qsizetype size)
{
    QString out(size, Qt::Uninitialized);
    QChar *dst = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        dst[i] = (b >= 0x80 && b < 0xA0) ? QChar(kHigh[b - 0x80]) : QChar(b);
    }
    return out;
}

QByteArray toCp1252(const QString &text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char *dst = out.data();
    qsizetype i = 0;
    // The common case: every character has its code, one byte each.
    for (; i < text.size(); ++i) {
        const int code = encodeChar(text.at(i).unicode());
        if (code < 0)
            break;
        dst[i] = char(code);
    }
    if (i == text.size())
        return out;
    out.truncate(i);
    for (const char32_t c : QStringView(text).mid(i).toUcs4())
        if (!appendNearest(out, c))
            out += '?';
    return out;
}

bool fitsCp1252(const QString &text)
{
    return firstNonCp1252(text) < 0;
}

qsizetype firstNonCp1252(const QString &text, QString *character)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (encodeChar(c.unicode()) >= 0)
            continue;
        if (character) {
            const bool pair = c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
            *character = text.mid(i, pair ? 2 : 1);
        }
        return i;
    }
    return -1;
}

} // namespace kapitolo
