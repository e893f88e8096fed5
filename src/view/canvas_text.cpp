#include "view/canvas_text.h"

#include "platform/nearest.h"

#include <QPainter>

namespace kapitolo {

int pointsToPixels(int points)
{
    // MulDiv(points, 96, 72), rounding half away from zero like the system call.
    const qint64 scaled = qint64(points) * 96;
    return int(scaled >= 0 ? (scaled + 36) / 72 : (scaled - 36) / 72);
}

QFont canvasFont(const QString &family, int height, bool bold, bool italic, bool underline)
{
    QFont font(family);
    int pixels = height < 0 ? -height : height;
    if (height > 0) {
        // A cell height: the character height is the cell less the internal leading.
        QFont probe(family);
        probe.setPixelSize(1000);
        const QFontMetrics m(probe);
        const int cell = m.ascent() + m.descent();
        pixels = cell > 0 ? nearest(double(height) * 1000.0 / cell) : height;
    }
    font.setPixelSize(qBound(1, pixels, kMaxFontPixels));
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    // Advance widths add up exactly as the layout measures them, and no subpixel
    // colour fringes end up in exported pictures.
    font.setKerning(false);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    return font;
}

QFont arialFont(int height, bool bold)
{
    return canvasFont(QStringLiteral("Arial"), height, bold);
}

QFont arialPointFont(int points, bool bold)
{
    return canvasFont(QStringLiteral("Arial"), -pointsToPixels(points), bold);
}

int textHeight(const QFontMetrics &metrics)
{
    return metrics.ascent() + metrics.descent();
}

void drawTextTopLeft(QPainter &painter, int x, int y, const QString &text)
{
    painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), text);
}

void drawTextCentredTop(QPainter &painter, int x, int y, const QString &text)
{
    const QFontMetrics metrics = painter.fontMetrics();
    drawTextTopLeft(painter, x - metrics.horizontalAdvance(text) / 2, y, text);
}

QString boxText(const QString &caption)
{
    QString text = caption;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace kapitolo
