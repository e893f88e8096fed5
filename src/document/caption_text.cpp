#include "document/caption_text.h"

#include <QStringList>

namespace kapitolo {

namespace {

bool isBlank(QChar c)
{
    return c.unicode() <= 32;
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    QString current;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(current);
            current.clear();
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            current.append(c);
        }
    }
    // A caption ending in a line break has no extra empty line at the end.
    if (!current.isEmpty())
        lines.append(current);
    return lines;
}

bool needsQuotes(const QString &line)
{
    for (QChar c : line)
        if (isBlank(c) || c == QLatin1Char('"') || c == QLatin1Char(','))
            return true;
    return false;
}

} // namespace

QString encodeCaption(const QString &caption)
{
    const QStringList lines = splitLines(caption);
    if (lines.size() == 1 && lines.first().isEmpty())
        return QStringLiteral("\"\"");
    QString out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out.append(QLatin1Char(','));
        const QString &line = lines.at(i);
        if (needsQuotes(line)) {
            QString quoted = line;
            quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
            out.append(QLatin1Char('"') + quoted + QLatin1Char('"'));
        } else {
            out.append(line);
        }
    }
    return out;
}

QString decodeCaption(const QString &stored)
{
    const qsizetype n = stored.size();
    qsizetype p = 0;
    auto skipBlanks = [&] {
        // Characters 1 to 32; a NUL ends nothing and is kept as data.
        while (p < n && stored.at(p).unicode() >= 1 && stored.at(p).unicode() <= 32)
            ++p;
    };
    QString joined;
    skipBlanks();
    while (p < n) {
        QString item;
        if (stored.at(p) == QLatin1Char('"')) {
            ++p;
            while (p < n) {
                if (stored.at(p) == QLatin1Char('"')) {
                    if (p + 1 < n && stored.at(p + 1) == QLatin1Char('"')) {
                        item.append(QLatin1Char('"'));
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item.append(stored.at(p));
                ++p;
            }
        } else {
            const qsizetype start = p;
            while (p < n && !isBlank(stored.at(p)) && stored.at(p) != QLatin1Char(','))
                ++p;
            item = stored.mid(start, p - start);
            // A NUL stops neither loop above; step over it so the scan always moves on.
            if (p == start && p < n && stored.at(p).unicode() == 0)
                ++p;
        }
        joined.append(item);
        joined.append(QLatin1String("\r\n"));
        skipBlanks();
        if (p < n && stored.at(p) == QLatin1Char(',')) {
            ++p;
            skipBlanks();
        }
    }
    qsizetype a = 0;
    qsizetype b = joined.size();
    while (a < b && isBlank(joined.at(a)))
        ++a;
    while (b > a && isBlank(joined.at(b - 1)))
        --b;
    return joined.mid(a, b - a);
}

} // namespace kapitolo
