#include "learning/progress_chart.h"

#include "platform/clock.h"
#include "platform/nearest.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace kapitolo {

QColor boxColour(int box)
{
    switch (box) {
    case 1: return QColor(214, 69, 65);
    case 2: return QColor(236, 139, 52);
    case 3: return QColor(230, 196, 48);
    case 4: return QColor(140, 190, 70);
    case 5: return QColor(46, 139, 63);
    default: return QColor(190, 190, 184);
    }
}

QString boxName(int box)
{
    return box <= 0 ? QStringLiteral("neu") : QStringLiteral("Fach %1").arg(box);
}

ChartColours chartColoursOn(const QColor &background)
{
    ChartColours c;
    c.background = background;
    if (background.lightness() < 110) {
        c.text = QColor(235, 235, 230);
        c.grid = QColor(110, 110, 104);
        c.secure = QColor(120, 210, 120);
        c.due = QColor(255, 160, 90);
    }
    return c;
}

void paintProgressChart(QPainter &painter, const QRect &area, const QList<ProgressDay> &days, int itemCount,
                        const ChartColours &colours)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(area, colours.background);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    painter.setPen(colours.text);
    if (days.isEmpty()) {
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("Noch keine Antworten zu diesem Thema."));
        painter.restore();
        return;
    }

    int highest = 0;
    for (const ProgressDay &d : days)
        highest = std::max({highest, d.secure, d.due});
    highest = std::max({highest, itemCount, 1});
    // Four steps of a round size: 0, 5, 10, 15, 20 rather than 0, 5, 10, 14, 19.
    int step = 1;
    for (int magnitude = 1; 4 * step < highest; magnitude *= 10)
        for (int factor : {1, 2, 5})
            if (4 * step < highest)
                step = factor * magnitude; // 1, 2, 5, 10, 20, 50, ... until four steps reach it
    const int top = 4 * step;

    // Legend above, dates below, counts on the left.
    const int legendHeight = metrics.height() + 8;
    const int axisWidth = metrics.horizontalAdvance(QString::number(top)) + 10;
    const QRect plot = area.adjusted(axisWidth + 6, legendHeight + 4, -12, -(metrics.height() + 10));
    if (plot.width() < 20 || plot.height() < 20) {
        painter.restore();
        return;
    }
    const int span = std::max<int>(1, int(days.size()) - 1);
    auto xOf = [&](int i) { return plot.left() + double(plot.width()) * i / span; };
    auto yOf = [&](int count) { return plot.bottom() - double(plot.height()) * count / top; };

    // Grid: the scale in four steps.
    for (int k = 0; k <= 4; ++k) {
        const int count = k * step;
        const double y = yOf(count);
        painter.setPen(QPen(colours.grid, 1));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(colours.text);
        painter.drawText(QRectF(area.left(), y - metrics.height() / 2.0, axisWidth, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(count));
    }

    // Items in boxes 4 and 5: an area.
    QPainterPath secure;
    secure.moveTo(xOf(0), yOf(0));
    for (int i = 0; i < days.size(); ++i)
        secure.lineTo(xOf(i), yOf(days.at(i).secure));
    if (days.size() == 1)
        secure.lineTo(xOf(1), yOf(days.at(0).secure));
    secure.lineTo(days.size() == 1 ? xOf(1) : xOf(int(days.size()) - 1), yOf(0));
    secure.closeSubpath();
    QColor fill = colours.secure;
    fill.setAlpha(110);
    painter.setPen(QPen(colours.secure, 2));
    painter.setBrush(fill);
    painter.drawPath(secure);

    // Due items: a line.
    QPolygonF due;
    for (int i = 0; i < days.size(); ++i)
        due << QPointF(xOf(i), yOf(days.at(i).due));
    if (days.size() == 1)
        due << QPointF(xOf(1), yOf(days.at(0).due));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colours.due, 2.5));
    painter.drawPolyline(due);

    // Dates: first, last and a few between, centred on their day (the first and the last
    // kept inside the plot), never closer than one and a half labels.
    painter.setPen(colours.text);
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("00.00.")) + 8;
    const int labels = days.size() == 1 ? 1 : std::clamp(int(plot.width() / (1.5 * labelWidth)) + 1, 2, int(days.size()));
    for (int k = 0; k < labels; ++k) {
        const int i = labels == 1 ? 0 : nearest(double(days.size() - 1) * k / (labels - 1));
        const double left = std::clamp(xOf(i) - labelWidth / 2.0, double(plot.left()), double(plot.right() - labelWidth));
        painter.drawText(QRectF(left, plot.bottom() + 4, labelWidth, metrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                         fromDayNumber(days.at(i).day).toString(QStringLiteral("dd.MM.")));
    }

    // Legend.
    int x = plot.left();
    const int y = area.top() + 4;
    auto legend = [&](const QColor &colour, const QString &text, bool areaMark) {
        if (areaMark) {
            QColor f = colour;
            f.setAlpha(110);
            painter.fillRect(QRect(x, y + 2, 14, metrics.height() - 4), f);
            painter.setPen(QPen(colour, 2));
            painter.drawRect(QRect(x, y + 2, 14, metrics.height() - 4));
        } else {
            painter.setPen(QPen(colour, 2.5));
            painter.drawLine(x, y + metrics.height() / 2, x + 14, y + metrics.height() / 2);
        }
        painter.setPen(colours.text);
        painter.drawText(QPoint(x + 20, y + metrics.ascent()), text);
        x += 20 + metrics.horizontalAdvance(text) + 18;
    };
    legend(colours.secure, QStringLiteral("in Fach 4 und 5"), true);
    legend(colours.due, QStringLiteral("fällig"), false);
    painter.restore();
}

QString progressChartDescription(const QList<ProgressDay> &days, int itemCount)
{
    if (days.isEmpty())
        return QStringLiteral("Noch keine Antworten zu diesem Thema.");
    const ProgressDay &first = days.first();
    const ProgressDay &last = days.last();
    return QStringLiteral("Vom %1 bis %2: in Fach 4 und 5 von %3 auf %4 von %5 Aufgaben, fällig zuletzt %6.")
        .arg(fromDayNumber(first.day).toString(QStringLiteral("dd.MM.yyyy")),
             fromDayNumber(last.day).toString(QStringLiteral("dd.MM.yyyy")))
        .arg(first.secure)
        .arg(last.secure)
        .arg(itemCount)
        .arg(last.due);
}

} // namespace kapitolo
