#include "view/info_text.h"

#include "platform/cp1252.h"
#include "view/markup_layout.h"

#include <QRegularExpression>

namespace kapitolo {

QStringList infoTextLines(const QString &caption)
{
    return sourceLines(caption);
}

QStringList plainInfoText(const QStringList &lines)
{
    static const QRegularExpression tags(
        QStringLiteral("<(/?[BIU]|@COL=[0-9A-F]{6}|/@COL|@LINIE|@POSX=[0-9]{2}%|@REB=[0-9]{2})>"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList plain;
    plain.reserve(lines.size());
    for (QString line : lines)
        plain.append(line.remove(tags));
    return plain;
}

QByteArray infoTextRtf(const QStringList &lines, int pointSize)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n"
                     "\\uc1\\pard\\f0\\fs";
    rtf += QByteArray::number(pointSize * 2);
    rtf += ' ';
    for (const QString &line : lines) {
        for (const QChar c : line) {
            const char16_t u = c.unicode();
            if (u == u'\\' || u == u'{' || u == u'}') {
                rtf += '\\';
                rtf += char(u);
            } else if (u == u'\t') {
                rtf += "\\tab ";
            } else if (u >= 0x20 && u < 0x80) {
                rtf += char(u);
            } else if (u < 0x20) {
                continue;
            } else if (fitsCp1252(QString(c))) {
                const uchar code = uchar(toCp1252(QString(c)).at(0));
                rtf += "\\'";
                rtf += QByteArray::number(code, 16).rightJustified(2, '0');
            } else {
                rtf += "\\u";
                rtf += QByteArray::number(qint16(u));
                rtf += '?';
            }
        }
        rtf += "\\par\r\n";
    }
    rtf += "}\r\n";
    return rtf;
}

QStringList qtNameFilters(const QString &windowsFilter)
{
    const QStringList parts = windowsFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i);
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1String("*.*"), QLatin1String("*"));
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the parentheses of the description.
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open >= 0)
            description = description.left(open).trimmed();
        filters.append(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters;
}

} // namespace kapitolo
