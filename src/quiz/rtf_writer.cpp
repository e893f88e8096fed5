#include "quiz/rtf_writer.h"

#include "platform/cp1252.h"
#include "platform/nearest.h"
#include "quiz/protocol.h"

#include <QTextBlock>
#include <QTextDocument>

namespace kapitolo {

namespace {

void appendHex(QByteArray &out, unsigned char byte)
{
    static const char digits[] = "0123456789abcdef";
    out += "\\'";
    out += digits[byte >> 4];
    out += digits[byte & 0xF];
}

// Half-points of a character format, 9 pt when the format does not say.
int halfPoints(const QTextCharFormat &format)
{
    const qreal points = format.hasProperty(QTextFormat::FontPointSize) ? format.fontPointSize() : 0;
    if (points > 0)
        return nearest(points * 2);
    return kProtocolFontPoints * 2;
}

QByteArray characterControls(const QTextCharFormat &format)
{
    QByteArray out = "\\plain\\f0\\fs" + QByteArray::number(halfPoints(format));
    if (format.fontWeight() >= QFont::DemiBold)
        out += "\\b";
    if (format.fontItalic())
        out += "\\i";
    if (format.fontUnderline())
        out += "\\ul";
    return out + ' ';
}

} // namespace

QByteArray rtfEscape(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += char(u);
        } else if (u == '\t') {
            out += "\\tab ";
        } else if (u == QChar::LineSeparator) {
            out += "\\line ";
        } else if (u < 0x20 || u == 0x7F) {
            // Other control characters have no place in the text.
        } else if (u < 0x80) {
            out += char(u);
        } else if (fitsCp1252(QString(c))) {
            appendHex(out, static_cast<unsigned char>(toCp1252(QString(c)).at(0)));
        } else {
            // \uN takes a signed 16-bit number; the "?" is what old readers show instead.
            // A character beyond the BMP is written as its two surrogates.
            out += "\\u" + QByteArray::number(qint16(u)) + '?';
        }
    }
    return out;
}

QByteArray writeRtf(const QTextDocument &document)
{
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
                     "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}"
                     "\\viewkind4\r\n";
    const qreal dpi = textDocumentDpi();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        out += "\\pard";
        const QList<QTextOption::Tab> tabs = block.blockFormat().tabPositions();
        for (const QTextOption::Tab &tab : tabs)
            out += "\\tx" + QByteArray::number(nearest(tab.position * 1440.0 / dpi));
        bool wroteText = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            out += characterControls(fragment.charFormat());
            out += rtfEscape(fragment.text());
            wroteText = true;
        }
        if (!wroteText)
            out += characterControls(block.charFormat());
        if (block.next().isValid())
            out += "\\par\r\n";
        else
            out += "\r\n";
    }
    out += "}\r\n";
    return out;
}

} // namespace kapitolo
