#include "quiz/rating_scale.h"

#include "platform/nearest.h"
#include "quiz/quiz_types.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace kapitolo {

namespace {

// The scale is laid out in screen pixels of a 96-dpi display: 7 pt is 9 pixels and
// 8 pt is 11 pixels there, so the picture does not depend on the canvas' resolution.
QFont scaleFont(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

constexpr int k7pt = 9;
constexpr int k8pt = 11;

} // namespace

RatingScaleGeometry::RatingScaleGeometry(QSize canvas)
{
    const int scale = canvas.height() - 2 * kMargin;
    barLeft = nearest(0.4 * canvas.width());
    barRight = nearest(0.6 * canvas.width());
    for (int i = 0; i < 7; ++i)
        lines[i] = nearest(kMargin + (1.0 - kThresholds[i]) * scale);
    top = lines[0];
    bottom = kMargin + scale;
}

int RatingScaleGeometry::resultRow(double totalPerformance) const
{
    const double p = std::clamp(totalPerformance, 0.0, 1.0);
    return nearest(kMargin + (1.0 - p) * (bottom - kMargin));
}

QColor gradeBandColor(int grade)
{
    switch (grade) {
    case 1: return QColor(0, 255, 0);
    case 2: return QColor(191, 255, 0);
    case 3: return QColor(255, 255, 0);
    case 4: return QColor(255, 224, 0);
    case 5: return QColor(255, 160, 0);
    case 6: return QColor(255, 0, 0);
    default: return QColor(Qt::white);
    }
}

QString ratingScaleResultText(double totalPerformance)
{
    return percentNumber(totalPerformance) + QLatin1Char('%');
}

QImage drawRatingScale(QSize canvas, QColor panel, double totalPerformance)
{
    QImage image(canvas.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(panel);
    if (canvas.width() < 1 || canvas.height() < 2 * RatingScaleGeometry::kMargin + 1)
        return image;

    const RatingScaleGeometry g(canvas);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::NoBrush);

    // A label's baseline sits 3 pixels below its line but never below the scale.
    auto baselineFor = [&g](int row) { return std::min(row + 3, g.bottom); };

    const QFont gradeFont = scaleFont(k7pt, true);
    const QFontMetrics gradeMetrics(gradeFont);
    for (int grade = 1; grade <= 6; ++grade) {
        const int y0 = g.lines[grade - 1];
        const int y1 = g.lines[grade];
        // The band covers both of its lines, so neighbouring bands share the line between them.
        const QRect band(QPoint(g.barLeft, y0), QPoint(g.barRight - 1, y1));
        p.fillRect(band, gradeBandColor(grade));
        p.drawRect(QRect(g.barLeft, y0, g.barRight - 1 - g.barLeft, y1 - y0));
        p.setFont(gradeFont);
        const QString number = QString::number(grade);
        const int x = g.barLeft + (g.barRight - g.barLeft - gradeMetrics.horizontalAdvance(number)) / 2;
        p.drawText(QPoint(x, (y0 + y1) / 2 + 3), number);
    }

    const QFont labelFont = scaleFont(k7pt, false);
    const QFontMetrics labelMetrics(labelFont);
    p.setFont(labelFont);
    for (int i = 0; i < 7; ++i) {
        const int y = g.lines[i];
        p.drawLine(g.barLeft - 3, y, g.barLeft - 1, y);
        const QString label = QString::number(nearest(RatingScaleGeometry::kThresholds[i] * 100)) + QLatin1Char('%');
        p.drawText(QPoint(g.barLeft - 7 - labelMetrics.horizontalAdvance(label), baselineFor(y)), label);
    }

    const int row = g.resultRow(totalPerformance);
    p.drawLine(g.barRight, row, g.barRight + 9, row);
    p.setFont(scaleFont(k8pt, true));
    p.drawText(QPoint(g.barRight + 15, baselineFor(row)), ratingScaleResultText(totalPerformance));
    return image;
}

} // namespace kapitolo
