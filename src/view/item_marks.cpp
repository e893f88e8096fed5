#include "view/item_marks.h"

#include "view/card_snapshot.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kapitolo {

namespace {

const QColor kRed(215, 25, 28);
const QColor kYellow(245, 200, 0);
const QColor kGreen(26, 150, 65);

QColor blend(const QColor &a, const QColor &b, double t)
{
    return QColor(int(std::lround(a.red() + (b.red() - a.red()) * t)),
                  int(std::lround(a.green() + (b.green() - a.green()) * t)),
                  int(std::lround(a.blue() + (b.blue() - a.blue()) * t)));
}

QColor textOn(const QColor &fill)
{
    return qGray(fill.rgb()) > 140 ? Qt::black : Qt::white;
}

QFont labelFont(double scale)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(int(std::lround(12 * scale)));
    font.setBold(true);
    return font;
}

QString percentLabel(double percent)
{
    return QString::number(int(std::lround(percent))) + QStringLiteral(" %");
}

void paintLegend(QPainter &painter, const QRect &area, double scale)
{
    const QFont font = labelFont(scale);
    const QFontMetrics metrics(font);
    const QString title = QStringLiteral("Richtig beim ersten Versuch");
    const int s8 = int(std::lround(8 * scale));
    const int width = std::max(metrics.horizontalAdvance(title), int(150 * scale)) + 2 * s8;
    const int height = 2 * metrics.height() + int(std::lround(26 * scale));
    const QRect box(area.left() + s8, area.bottom() - s8 - height, width, height);
    painter.setPen(QPen(QColor(90, 90, 90), std::max(1, int(scale))));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRect(box);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(box.left() + s8, box.top() + s8 / 2, width - 2 * s8, metrics.height()), Qt::AlignLeft,
                     title);
    const QRect bar(box.left() + s8, box.top() + s8 + metrics.height(), width - 2 * s8, int(std::lround(10 * scale)));
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    gradient.setColorAt(0, kRed);
    gradient.setColorAt(0.5, kYellow);
    gradient.setColorAt(1, kGreen);
    painter.fillRect(bar, gradient);
    const int y = bar.bottom() + s8 / 2;
    const QRect ticks(bar.left(), y, bar.width(), metrics.height());
    painter.drawText(ticks, Qt::AlignLeft, QStringLiteral("0 %"));
    painter.drawText(ticks, Qt::AlignHCenter, QStringLiteral("50 %"));
    painter.drawText(ticks, Qt::AlignRight, QStringLiteral("100 %"));
}

} // namespace

QColor itemRateColour(double percent)
{
    const double t = std::clamp(percent, 0.0, 100.0) / 100.0;
    return t <= 0.5 ? blend(kRed, kYellow, t * 2) : blend(kYellow, kGreen, (t - 0.5) * 2);
}

QImage renderMarkedCard(TopicDocument document, const QHash<int, double> &rates, Messages &messages, Random &random)
{
    CardSnapshotOptions options;
    options.controlSize = QSize(1500, 1100);
    options.uncover = true;
    CardLayout layout;
    QImage card = renderCardSnapshot(document, options, messages, random, &layout);
    if (card.isNull())
        return card;
    // At zoom 100 % the display shows the whole card: fractions map straight to its pixels.
    card = card.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&card);
    const double w = card.width();
    const double h = card.height();
    // On paper the card is some 16 cm wide: marks as large as on a screen of 900 pixels.
    paintItemMarks(painter, document, layout, rates,
                   [w, h](double fx, double fy) { return QPointF(fx * w, fy * h); }, card.rect(),
                   std::max(1.0, w / 900.0));
    return card;
}

QRect itemMarkFrame(const DocObject &object, const RectD &b, const std::function<QPointF(double, double)> &toPixel,
                    double scale)
{
    const int out = int(std::lround(4 * scale));
    const int radius = int(std::lround(9 * scale));
    if (object.Typ != otLabel && object.Typ != otGap)
        return {};
    if (b.left < 0 || b.right <= b.left || b.bottom <= b.top) {
        // Not drawn yet (a layer switched off): a disc on its spot.
        const QPointF spot = toPixel(object.Kx, object.Ky);
        return QRect(QPoint(int(spot.x()) - radius, int(spot.y()) - radius), QSize(2 * radius + 1, 2 * radius + 1));
    }
    const QPointF tl = toPixel(b.left, b.top);
    const QPointF br = toPixel(b.right, b.bottom);
    return QRect(QPoint(int(std::floor(tl.x())) - out, int(std::floor(tl.y())) - out),
                 QPoint(int(std::ceil(br.x())) + out - 1, int(std::ceil(br.y())) + out - 1));
}

void paintItemMarks(QPainter &painter, const TopicDocument &document, const CardLayout &layout,
                    const QHash<int, double> &rates, const std::function<QPointF(double, double)> &toPixel,
                    const QRect &area, double scale)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int pen = int(std::lround(3 * scale));
    const QFont font = labelFont(scale);
    const QFontMetrics metrics(font);
    painter.setFont(font);
    // The hardest last, so that where marks of a crowded map overlap, theirs stay readable.
    QList<std::pair<int, double>> order;
    for (auto it = rates.cbegin(); it != rates.cend(); ++it)
        order.append({it.key(), *it});
    std::sort(order.begin(), order.end(), [](const auto &a, const auto &b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    for (const auto &[index, rate] : order) {
        if (index < 0 || index >= document.objects.size())
            continue;
        const DocObject &object = document.objects.at(index);
        const RectD &box = layout.hitBox(index);
        const QRect frame = itemMarkFrame(object, box, toPixel, scale);
        if (frame.isEmpty())
            continue;
        const QColor colour = itemRateColour(rate);
        const bool disc = box.left < 0 || box.right <= box.left;
        if (disc) {
            painter.setPen(QPen(Qt::black, 1));
            painter.setBrush(colour);
            painter.drawEllipse(frame);
        } else {
            painter.setBrush(Qt::NoBrush);
            // The pen's middle inside the frame, so that the whole line lies within it.
            painter.setPen(QPen(colour, pen, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            painter.drawRect(frame.adjusted(pen / 2, pen / 2, -(pen / 2), -(pen / 2)));
        }
        // The rate on a tab above the frame's left end, below it at the card's top edge.
        const QString text = percentLabel(rate);
        QRect label(0, 0, metrics.horizontalAdvance(text) + int(std::lround(6 * scale)), metrics.height());
        label.moveBottomLeft(QPoint(frame.left(), frame.top() - 1));
        if (label.top() < area.top())
            label.moveTopLeft(QPoint(frame.left(), frame.bottom() + 1));
        painter.fillRect(label, colour);
        painter.setPen(textOn(colour));
        painter.drawText(label, Qt::AlignCenter, text);
    }
    paintLegend(painter, area, scale);
    painter.restore();
}

} // namespace kapitolo
