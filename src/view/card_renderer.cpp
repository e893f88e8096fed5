#include "view/card_renderer.h"

#include "platform/messages.h"
#include "platform/nearest.h"
#include "view/canvas_text.h"
#include "view/markup_layout.h"

#include <QPainter>
#include <QPolygonF>

#include <cmath>
#include <cstring>

namespace kapitolo {

QColor cardcolour::badgeOutline(const QColor &fill)
{
    return QColor(nearest(0.7 * fill.red()), nearest(0.7 * fill.green()), nearest(0.7 * fill.blue()));
}

QString cardTooLargeText()
{
    return QStringLiteral("Die Lernkarte kann nicht angezeigt werden: Das Bild des Dokuments ist mit seinem "
                          "Rand zu groß oder der Rand ist ungültig.");
}

namespace {

// Object boxes further out than this are the result of nonsense positions in a file;
// such an object is not drawn rather than let its pixel arithmetic overflow.
constexpr qint64 kMaxBoxCoordinate = qint64(1) << 24;

// The worksheet's answer frame around a box: wider on the side away from the anchor,
// so that a hand-written word fits, and kept inside a thin margin of the target.
QRect answerFrame(const QRect &box, int placement, const QSize &targetSize)
{
    const int m = nearest(0.18 * box.width());
    int l = box.left();
    int t = box.top();
    int r = box.left() + box.width();
    int b = box.top() + box.height();
    if (placement == 1)
        r += 2 * m;
    else if (placement == 3)
        l -= 2 * m;
    else {
        l -= m;
        r += m;
    }
    const int growX = nearest(0.01 * targetSize.width());
    const int growY = nearest(0.1 * box.height());
    l = qMax(l - growX, nearest(0.005 * targetSize.width()));
    r = qMin(r + growX, nearest(0.995 * targetSize.width()));
    t = qMax(t - growY, nearest(0.005 * targetSize.height()));
    b = qMin(b + growY, nearest(0.995 * targetSize.height()));
    return QRect(l, t, r - l, b - t);
}

bool isBadgeType(qint32 typ)
{
    return typ == otInfoPoint || typ == otLink || typ == otDocLink || (typ >= otPrevQuestion && typ <= otRandomQuestion);
}

bool isCaptionType(qint32 typ)
{
    return typ == otLabel || typ == otText || typ == otGap || typ == otAnswer || typ == otQuestion
        || typ == otAnswerHeading;
}

bool isNavigationType(qint32 typ)
{
    return typ >= otPrevQuestion && typ <= otRandomQuestion;
}

// A rectangle as the authoring system's canvas draws it: outline in the pen colour on
// the pixels left..right-1, top..bottom-1, the inside filled with the brush.
void canvasRectangle(QPainter &painter, const QRect &rect, const QColor &pen, const QColor &brush)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    painter.fillRect(rect, brush);
    painter.setPen(QPen(pen, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(rect.left(), rect.top(), rect.width() - 1, rect.height() - 1));
}

int alignmentFlags(qint32 tAusr)
{
    switch (tAusr) {
    case 1:
        return Qt::AlignHCenter;
    case 2:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

QString navigationText(qint32 typ)
{
    switch (typ) {
    case otPrevQuestion:
        return QStringLiteral("<");
    case otNextQuestion:
        return QStringLiteral(">");
    case otFirstQuestion:
        return QStringLiteral("|<");
    case otLastQuestion:
        return QStringLiteral(">|");
    default:
        return QStringLiteral("?");
    }
}

} // namespace

ScaleGeometry scaleGeometry(const QSize &baseSize, const RectD &m, int maxWidth, int maxHeight, double zoom)
{
    ScaleGeometry g;
    const int bw = baseSize.width();
    const int bh = baseSize.height();
    if (bw < 1 || bh < 1 || maxWidth < 1 || maxHeight < 1 || !std::isfinite(zoom) || zoom <= 0)
        return g;
    for (double v : {m.left, m.top, m.right, m.bottom})
        if (!std::isfinite(v) || std::fabs(v) > kMaxExtendedSide)
            return g;
    const double extW = (1 + m.left + m.right) * bw;
    const double extH = (1 + m.top + m.bottom) * bh;
    const double offX = bw * m.left;
    const double offY = bh * m.top;
    if (!(extW >= 0.5 && extW <= kMaxExtendedSide && extH >= 0.5 && extH <= kMaxExtendedSide))
        return g;
    if (std::fabs(offX) > kMaxExtendedSide || std::fabs(offY) > kMaxExtendedSide)
        return g;
    g.extendedWidth = nearest(extW);
    g.extendedHeight = nearest(extH);
    if (g.extendedWidth < 1 || g.extendedHeight < 1)
        return g;
    g.baseLeft = nearest(offX);
    g.baseTop = nearest(offY);

    const double ew = g.extendedWidth;
    const double eh = g.extendedHeight;
    if (eh / maxHeight > ew / maxWidth) {
        g.fittedHeight = maxHeight;
        g.fittedWidth = nearest(maxHeight * ew / eh);
    } else {
        g.fittedWidth = maxWidth;
        g.fittedHeight = nearest(maxWidth * eh / ew);
    }
    g.fittedWidth = qMax(g.fittedWidth, 1);
    g.fittedHeight = qMax(g.fittedHeight, 1);
    g.outputWidth = qBound(1, nearest(g.fittedWidth * zoom), maxWidth);
    g.outputHeight = qBound(1, nearest(g.fittedHeight * zoom), maxHeight);
    g.sourceWidth = qMin(ew / zoom * g.outputWidth / g.fittedWidth, ew);
    g.sourceHeight = qMin(eh / zoom * g.outputHeight / g.fittedHeight, eh);
    g.visible = RectD{0, 0, g.sourceWidth / ew, g.sourceHeight / eh};
    g.valid = true;
    return g;
}

std::optional<RectD> ScaleBaseImage(QImage &target, const QImage &baseImage, const RectD &margins, int maxWidth,
                                    int maxHeight, double zoom)
{
    const ScaleGeometry g = scaleGeometry(baseImage.size(), margins, maxWidth, maxHeight, zoom);
    if (!g.valid || qint64(g.outputWidth) * g.outputHeight > kMaxCardPixels)
        return std::nullopt;
    QImage out(g.outputWidth, g.outputHeight, QImage::Format_RGB32);
    if (out.isNull())
        return std::nullopt;
    out.fill(Qt::white);

    // The extended image is never built: only the part of the base image that falls
    // into the source rectangle is scaled, straight to its place in the output.
    const int srcW = qMax(1, nearest(g.sourceWidth));
    const int srcH = qMax(1, nearest(g.sourceHeight));
    const double fx = double(g.outputWidth) / srcW;
    const double fy = double(g.outputHeight) / srcH;
    const int bw = baseImage.width();
    const int bh = baseImage.height();
    const int x0 = qMax(0, -g.baseLeft);
    const int y0 = qMax(0, -g.baseTop);
    const int x1 = int(qMin<qint64>(bw, qint64(srcW) - g.baseLeft));
    const int y1 = int(qMin<qint64>(bh, qint64(srcH) - g.baseTop));
    if (x1 > x0 && y1 > y0) {
        const int dx0 = qBound(0, nearest((double(g.baseLeft) + x0) * fx), g.outputWidth);
        const int dx1 = qBound(0, nearest((double(g.baseLeft) + x1) * fx), g.outputWidth);
        const int dy0 = qBound(0, nearest((double(g.baseTop) + y0) * fy), g.outputHeight);
        const int dy1 = qBound(0, nearest((double(g.baseTop) + y1) * fy), g.outputHeight);
        if (dx1 > dx0 && dy1 > dy0) {
            const bool whole = x0 == 0 && y0 == 0 && x1 == bw && y1 == bh;
            const QImage part = whole ? baseImage : baseImage.copy(x0, y0, x1 - x0, y1 - y0);
            const QImage scaled = part.scaled(dx1 - dx0, dy1 - dy0, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            QPainter painter(&out);
            painter.drawImage(dx0, dy0, scaled);
        }
    }
    target = std::move(out);
    return g.visible;
}

void DrawBadge(QPainter &painter, const QRect &rect, const QColor &outline, const QString &text, const QColor &fill)
{
    const int left = rect.left();
    const int top = rect.top();
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    const double cx = (left + right - 1) / 2.0;
    const double cy = (top + bottom - 1) / 2.0;
    const double rx = cx - left;
    const double ry = cy - top;
    // Integer coordinates are pixel centres in the badge's geometry, hence the half pixel.
    QPolygonF points;
    points.reserve(37);
    for (int j = 0; j < 36; ++j) {
        const double a = 2 * M_PI * j / 36;
        const double px = std::round((cx + rx * std::cos(a)) * 65536) / 65536;
        const double py = std::round((cy + ry * std::sin(a)) * 65536) / 65536;
        points << QPointF(px + 0.5, py + 0.5);
    }
    points << points.first();

    const QPen textPen = painter.pen();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPolygon(points);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(outline, 1));
    painter.drawPolyline(points);
    painter.restore();

    if (!text.isEmpty()) {
        painter.setPen(textPen);
        const int hX = textHeight(painter.fontMetrics());
        drawTextCentredTop(painter, nearest((left + right) / 2.0), nearest((top + bottom - hX) / 2.0), text);
    }
}

void StampSymbol(QPainter &painter, int x, int y, const QColor &colour, int sizePoints, const QString &fontName,
                 QChar character)
{
    QString family = fontName;
    QChar shown = character;
    if (fontName.compare(QLatin1String("Wingdings"), Qt::CaseInsensitive) == 0) {
        family = QStringLiteral("DejaVu Sans");
        if (character.unicode() == 0xFC)
            shown = QChar(0x2714);
        else if (character.unicode() == 0xFB)
            shown = QChar(0x2718);
    }
    painter.save();
    painter.setFont(canvasFont(family, -pointsToPixels(sizePoints)));
    painter.setPen(colour);
    const int h = textHeight(painter.fontMetrics());
    drawTextCentredTop(painter, x, y - h / 2, QString(shown));
    painter.restore();
}

void StampSymbol(QImage &target, int x, int y, const QColor &colour, int sizePoints, const QString &fontName,
                 QChar character)
{
    QPainter painter(&target);
    painter.setRenderHint(QPainter::TextAntialiasing);
    StampSymbol(painter, x, y, colour, sizePoints, fontName, character);
}

void blitImage(QImage &target, const QPoint &targetPos, const QImage &source, const QRect &sourceRect)
{
    QRect src = sourceRect.intersected(source.rect());
    if (src.isEmpty())
        return;
    QPoint dst = targetPos + (src.topLeft() - sourceRect.topLeft());
    const QRect dstRect = QRect(dst, src.size()).intersected(target.rect());
    if (dstRect.isEmpty())
        return;
    src = QRect(src.topLeft() + (dstRect.topLeft() - dst), dstRect.size());
    dst = dstRect.topLeft();
    if (target.format() == source.format() && target.depth() == 32) {
        const qsizetype bytes = qsizetype(src.width()) * 4;
        for (int row = 0; row < src.height(); ++row)
            std::memcpy(target.scanLine(dst.y() + row) + qsizetype(dst.x()) * 4,
                        source.constScanLine(src.y() + row) + qsizetype(src.x()) * 4, size_t(bytes));
        return;
    }
    QPainter painter(&target);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(dst, source, src);
}

void paintCardControl(QPainter &painter, const QSize &controlSize, const QImage &display)
{
    painter.fillRect(QRect(QPoint(0, 0), controlSize), cardcolour::controlBackground());
    if (!display.isNull())
        painter.drawImage(QPoint((controlSize.width() - display.width()) / 2,
                                 (controlSize.height() - display.height()) / 2),
                          display);
}

struct CardRenderer::ObjectGeometry {
    QRect box;
    QRect captionBox; // the caption's own box: where a gap's underline runs
    QPoint anchor;
    int placement = 1;
    int dx = 0;
    int textWidth = 0;
    int textHeight = 0;
    int measureWidth = 0; // word-wrap width of a question text
    QFont font;
    QString text;
    bool caption = false;
};

CardRenderer::CardRenderer(TopicDocument &document, ViewState &view, CardBitmaps &bitmaps, LearningViewHost &host,
                           Messages &messages)
    : m_document(document)
    , m_view(view)
    , m_bitmaps(bitmaps)
    , m_host(host)
    , m_messages(messages)
{
}

bool CardRenderer::LayerVisible(int index) const
{
    if (index < 0 || index >= m_document.objects.size())
        return false;
    if (quizRunning())
        return true;
    const qint32 layer = m_document.objects.at(index).Ebene;
    // Objects on layers the view has no check box for are always shown.
    return layer < 0 || layer > 2 || m_view.layerOn[layer];
}

int CardRenderer::AutoPlacement(int index) const
{
    if (index < 0 || index >= m_document.objects.size())
        return 1;
    const DocObject &o = m_document.objects.at(index);
    const double dx = o.Kx - o.Sx;
    const double dy = (o.Ky - o.Sy) / (m_view.viewAspect > 0 ? m_view.viewAspect : 1.0);
    if (std::fabs(dy) > std::fabs(dx))
        return dy < 0 ? 2 : 4;
    return dx < 0 ? 3 : 1;
}

QString CardRenderer::NumberText(int index) const
{
    if (index < 0 || index >= m_document.objects.size())
        return QStringLiteral("?");
    return m_document.displayNumberText(m_document.objects.at(index));
}

QPoint CardRenderer::cardPixel(double fx, double fy) const
{
    return QPoint(nearest(fx * m_bitmaps.cardBitmap.width()), nearest(fy * m_bitmaps.cardBitmap.height()));
}

QPoint CardRenderer::displayOrigin() const
{
    if (m_bitmaps.display.isNull())
        return QPoint(0, 0);
    return QPoint((m_view.controlSize.width() - m_bitmaps.display.width()) / 2,
                  (m_view.controlSize.height() - m_bitmaps.display.height()) / 2);
}

QPoint CardRenderer::fractionToControl(double fx, double fy) const
{
    const RectD &w = m_view.viewWindow;
    const double ww = w.right - w.left;
    const double wh = w.bottom - w.top;
    if (ww <= 0 || wh <= 0)
        return displayOrigin();
    return QPoint(nearest(m_bitmaps.display.width() * (fx - w.left) / ww),
                  nearest(m_bitmaps.display.height() * (fy - w.top) / wh))
        + displayOrigin();
}

QPointF CardRenderer::controlToFraction(const QPoint &controlPos) const
{
    const QPoint local = controlPos - displayOrigin();
    const QPointF f = displayToFraction(QPointF(local));
    return QPointF(qBound(0.0, f.x(), 1.0), qBound(0.0, f.y(), 1.0));
}

QPointF CardRenderer::displayToFraction(const QPointF &displayPos) const
{
    const RectD &w = m_view.viewWindow;
    const int dw = qMax(1, m_bitmaps.display.width());
    const int dh = qMax(1, m_bitmaps.display.height());
    return QPointF(w.left + displayPos.x() / dw * (w.right - w.left), w.top + displayPos.y() / dh * (w.bottom - w.top));
}

QRect CardRenderer::hitBoxPixels(int index) const
{
    if (index < 0 || index >= m_document.objects.size())
        return QRect();
    const RectD &b = m_document.objects.at(index).hitBox;
    if (b.left == -1)
        return QRect();
    const int w = m_bitmaps.cardBitmap.width();
    const int h = m_bitmaps.cardBitmap.height();
    const int l = nearest(w * b.left);
    const int t = nearest(h * b.top);
    const int r = nearest(w * b.right);
    const int bo = nearest(h * b.bottom);
    if (r <= l || bo <= t)
        return QRect();
    return QRect(l, t, r - l, bo - t);
}

bool CardRenderer::shown(const DocObject &o, bool quiz) const
{
    if (o.isQuestionObject() && o.FrageNummer != m_document.currentQuestion)
        return false;
    if (quiz && (o.Typ == otAnswer || o.Typ == otAnswerHeading || isNavigationType(o.Typ)))
        return false;
    return isCaptionType(o.Typ) || isBadgeType(o.Typ);
}

bool CardRenderer::drawable(int index, int drawKind, bool quiz) const
{
    if (index < 0 || index >= m_document.objects.size())
        return false;
    const DocObject &o = m_document.objects.at(index);
    if ((drawKind >= 1 || quiz) && o.Ebene == layerInfopunkte)
        return false;
    if (quiz)
        return true;
    return o.Ebene < 0 || o.Ebene > 2 || m_view.layerOn[o.Ebene];
}

bool CardRenderer::objectGeometry(const QSize &targetSize, int index, int drawKind, bool quiz, ObjectGeometry &g)
{
    Q_UNUSED(drawKind);
    DocObject &o = m_document.objects[index];
    if (!shown(o, quiz))
        return false;
    const double s = m_view.textScale;
    const int W = targetSize.width();
    const int H = targetSize.height();
    g.anchor = QPoint(nearest(o.Kx * W), nearest(o.Ky * H));

    if (o.KAusrAkt < 1 || o.KAusrAkt > 4)
        o.KAusrAkt = (o.KAusr >= 1 && o.KAusr <= 4) ? o.KAusr : AutoPlacement(index);
    g.placement = o.KAusrAkt;

    const int minSide = nearest(30 * s);
    qint64 w = minSide;
    qint64 h = minSide;
    qint64 captionW = 0;
    qint64 captionH = 0;
    if (isCaptionType(o.Typ)) {
        g.caption = true;
        g.font = arialFont(nearest(-(double(o.Fsize) * 2 + 22) * s));
        const QFontMetrics metrics(g.font);
        g.text = boxText(o.Cap);
        int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip;
        if (o.Typ == otQuestion) {
            flags |= Qt::TextWordWrap;
            g.measureWidth = int(qBound<qint64>(1, qint64(W) - 2 * qint64(g.anchor.x()), kMaxBoxCoordinate));
        }
        if (g.text.isEmpty()) {
            g.textWidth = 0;
            g.textHeight = textHeight(metrics);
        } else {
            const QRect measured = metrics.boundingRect(QRect(0, 0, g.measureWidth, 0), flags, g.text);
            g.textWidth = measured.width();
            g.textHeight = measured.height();
        }
        w = qMax<qint64>(g.textWidth, minSide);
        h = qint64(g.textHeight) + 4;
        captionW = w;
        captionH = h;
        if (o.coverState == csOpenQuestion || o.coverState == csAssigned) {
            w = h = minSide;
        } else if (o.coverState == csCorrect || o.coverState == csWrongCross) {
            w = 34;
            h = 38;
        } else if (!g.text.isEmpty() && o.Typ != otGap) {
            const qint64 spare = qMax<qint64>(w - g.textWidth, 0);
            g.dx = int(g.placement == 1 ? 0 : g.placement == 3 ? spare : spare / 2);
        }
        if ((o.Typ == otLabel || o.Typ == otText) && g.text.isEmpty())
            w = h = 0;
    }

    const qint64 kx = g.anchor.x();
    const qint64 ky = g.anchor.y();
    const qint64 side = nearest(7 * s);
    const qint64 gap = nearest(2 * s);
    auto place = [&](qint64 bw, qint64 bh, qint64 &left, qint64 &top) {
        if (o.Typ == otQuestion) {
            left = qint64(nearest(0.1 * W)) + 3;
            top = ky - nearest(bh / 2.0);
            return;
        }
        switch (g.placement) {
        case 2:
            left = kx - nearest(bw / 2.0);
            top = ky - bh - gap;
            break;
        case 3:
            left = kx - bw - side;
            top = ky - nearest(bh / 2.0);
            break;
        case 4:
            left = kx - nearest(bw / 2.0);
            top = ky + gap;
            break;
        default:
            left = kx + side;
            top = ky - nearest(bh / 2.0);
            break;
        }
    };
    qint64 left = 0;
    qint64 top = 0;
    place(w, h, left, top);
    for (qint64 v : {left, top, w, h, left + w, top + h})
        if (v > kMaxBoxCoordinate || v < -kMaxBoxCoordinate)
            return false;
    g.box = QRect(int(left), int(top), int(w), int(h));
    if (o.Typ == otGap) {
        qint64 cl = 0;
        qint64 ct = 0;
        place(captionW, captionH, cl, ct);
        if (std::llabs(cl) < kMaxBoxCoordinate && std::llabs(ct) < kMaxBoxCoordinate)
            g.captionBox = QRect(int(cl + g.dx), int(ct + 2), int(captionW), int(captionH));
    }
    return true;
}

void CardRenderer::storeBox(DocObject &o, const ObjectGeometry &g, const QSize &cardSize)
{
    const double W = qMax(1, cardSize.width());
    const double H = qMax(1, cardSize.height());
    const double s = m_view.textScale;
    const QRect &b = g.box;
    o.hitBox = RectD{b.left() / W, b.top() / H, (b.left() + b.width()) / W, (b.top() + b.height()) / H};
    o.pixelX = b.left();
    o.pixelY = b.top();
    o.boxWidth = (nearest(b.width() / 2.0) + nearest(7 * s)) / W;
    o.boxHeight = (nearest(b.height() / 2.0) + nearest(2 * s)) / H;
}

void CardRenderer::paintCover(QPainter &painter, const QRect &box, const DocObject &o)
{
    const double s = m_view.textScale;
    canvasRectangle(painter, box, cardcolour::coverFrame(), cardcolour::coverFill());
    if (box.height() < 1)
        return;
    const int left = box.left();
    const int top = box.top();
    const int right = box.left() + box.width();
    const int bottom = box.top() + box.height();
    int em = qBound(1, nearest(22 * s), kMaxFontPixels);
    QFont font = arialFont(-em);
    while (em > 1 && textHeight(QFontMetrics(font)) > box.height())
        font = arialFont(-(--em));
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int hX = textHeight(painter.fontMetrics());
    drawTextCentredTop(painter, nearest((left + right) / 2.0), nearest((top + bottom - hX) / 2.0),
                       QStringLiteral("?"));

    if (o.displayNo >= 1) {
        const int d = nearest(30 * s);
        if (d < 1)
            return;
        int sl = ((left + right) - d) / 2;
        int st = ((top + bottom) - d) / 2;
        // Shifted into the box, then clamped to it.
        if (sl + d > right)
            sl = right - d;
        if (sl < left)
            sl = left;
        if (st + d > bottom)
            st = bottom - d;
        if (st < top)
            st = top;
        const QRect square(QPoint(sl, st), QPoint(qMin(sl + d, right) - 1, qMin(st + d, bottom) - 1));
        painter.setFont(arialFont(-nearest(20 * s * square.height() / d), true));
        painter.setPen(QColor(255, 0, 0));
        DrawBadge(painter, square, cardcolour::coverFrame(), m_document.displayNumberText(o), Qt::white);
    }
}

void CardRenderer::paintObject(QPainter &painter, const QSize &targetSize, int index, int drawKind,
                               const ObjectGeometry &g, bool leaderLine, const QuizDisplay &quiz)
{
    const DocObject &o = m_document.objects.at(index);
    const double s = m_view.textScale;
    const int k = drawKind;
    const QColor textColour = o.Typ == otGap ? cardcolour::gapText() : QColor(Qt::black);
    const QRect &box = g.box;
    const bool answerType = o.Typ == otLabel || o.Typ == otGap || o.Typ == otAnswer;
    const int captionFlags = alignmentFlags(o.TAusr) | Qt::AlignTop | Qt::TextDontClip
        | (o.Typ == otQuestion ? int(Qt::TextWordWrap) : 0);
    const QRect captionRect = o.Typ == otQuestion
        ? QRect(box.left() + g.dx, box.top() + 2, g.measureWidth, qMax(box.height(), g.textHeight))
        : QRect(box.left() + g.dx, box.top() + 2, g.textWidth, g.textHeight);

    painter.setBrush(Qt::NoBrush);
    if (o.Sline == 1 && k != 2 && leaderLine) {
        painter.setPen(QPen(textColour, 1));
        painter.drawLine(QPoint(nearest(o.Sx * targetSize.width()), nearest(o.Sy * targetSize.height())), g.anchor);
    }

    if ((k == 1 || k == 3) && answerType) {
        const QRect f = answerFrame(box, g.placement, targetSize);
        canvasRectangle(painter, f, Qt::black, Qt::white);
        canvasRectangle(painter, f.adjusted(1, 1, -1, -1), Qt::black, Qt::white);
    }
    if ((k == 2 || k == 3) && answerType && !g.text.isEmpty()) {
        painter.setFont(g.font);
        painter.setPen(QColor(255, 0, 0));
        painter.drawText(captionRect, captionFlags, g.text);
    }

    const bool current = o.FrageNummer == m_document.currentQuestion;
    // A plain text belongs to the picture: the worksheet shows it, the solution overlay
    // (drawKind 2) carries nothing but the solutions.
    const bool drawCaption = (o.Typ == otText && k != 2)
        || (k == 0
            && (((o.Typ == otLabel || o.Typ == otGap) && o.coverState == csUncovered)
                || (o.Typ == otAnswer && current && o.coverState == csUncovered) || (o.Typ == otQuestion && current)
                || (o.Typ == otAnswerHeading && current && !quiz.running)));
    if (drawCaption && !g.text.isEmpty()) {
        painter.setFont(g.font);
        painter.setPen(textColour);
        painter.drawText(captionRect, captionFlags, g.text);
    }
    if (k != 0)
        return;

    if (o.Typ == otInfoPoint || o.Typ == otLink || o.Typ == otDocLink) {
        QColor fill = o.Typ == otInfoPoint ? cardcolour::infoBadge()
            : o.Typ == otLink              ? cardcolour::linkBadge()
                                           : cardcolour::docLinkBadge();
        if (quiz.running)
            fill = cardcolour::quizBadge();
        const QString text = o.Typ == otInfoPoint ? QStringLiteral("Info")
            : o.Typ == otLink                     ? QStringLiteral("Link")
                                                  : QStringLiteral("Dok.");
        painter.setFont(arialFont(-nearest(12 * s), true));
        painter.setPen(Qt::white);
        DrawBadge(painter, box, cardcolour::badgeOutline(fill), text, fill);
    }
    if (o.Typ == otGap && o.coverState != csCovered && !g.captionBox.isNull()) {
        painter.setPen(QPen(Qt::black, 1));
        const int y = g.captionBox.top() + g.captionBox.height() - 4;
        painter.drawLine(g.captionBox.left(), y, g.captionBox.left() + g.captionBox.width(), y);
    }
    if (isNavigationType(o.Typ)) {
        if (!quiz.running) {
            painter.setFont(arialFont(-nearest(16 * s), true));
            painter.setPen(Qt::white);
            DrawBadge(painter, box, cardcolour::badgeOutline(cardcolour::navigationBadge()), navigationText(o.Typ),
                      cardcolour::navigationBadge());
        }
        return;
    }

    const bool coverable = o.Typ == otLabel || o.Typ == otGap || (o.Typ == otAnswer && current && !quiz.running);
    if (o.coverState == csCovered && coverable) {
        paintCover(painter, box, o);
        return;
    }
    switch (o.coverState) {
    case csCorrect:
        StampSymbol(painter, box.left() + 17, box.top() + 22, cardcolour::tick(), 32, QStringLiteral("Wingdings"),
                    QChar(0xFC));
        break;
    case csWrongCross:
        StampSymbol(painter, box.left() + 17, box.top() + 20, cardcolour::cross(), 32, QStringLiteral("Wingdings"),
                    QChar(0xFB));
        break;
    case csAssigned:
        painter.setFont(arialFont(-nearest(24 * s), true));
        painter.setPen(cardcolour::markText());
        DrawBadge(painter, box, Qt::black, QStringLiteral("X"), Qt::white);
        break;
    case csOpenQuestion: {
        if (m_document.DokTyp == dtSingleQuestions && quiz.running)
            break;
        const bool positionQuery = quiz.running && quiz.queryMode == 2
            && (m_document.DokTyp == dtImageLabelling || m_document.DokTyp == dtCloze);
        if (positionQuery && index != quiz.askedPositionObject) {
            DrawBadge(painter, box, cardcolour::inactiveBadgeOutline(), QString(), cardcolour::inactiveBadgeFill());
        } else {
            painter.setFont(arialFont(-nearest(20 * s), true));
            painter.setPen(QColor(255, 0, 0));
            DrawBadge(painter, box, Qt::black, m_document.displayNumberText(o), cardcolour::numberBadgeFill());
        }
        break;
    }
    default:
        break;
    }
}

QRect CardRenderer::leaderLineBounds(const DocObject &o) const
{
    if (o.Sline != 1)
        return QRect();
    const QPoint a = cardPixel(o.Sx, o.Sy);
    const QPoint b = cardPixel(o.Kx, o.Ky);
    return QRect(a, b).normalized().adjusted(-1, -1, 1, 1);
}

void CardRenderer::redrawRegion(const QRegion &regionIn, int changedObject)
{
    redrawRegion(m_bitmaps.cardBitmap, QPoint(0, 0), regionIn, changedObject);
}

void CardRenderer::redrawRegion(QImage &target, const QPoint &origin, const QRegion &regionIn, int changedObject)
{
    // The region in card pixels; the target holds the card's part from origin on.
    const QSize size = m_bitmaps.cardBitmap.size();
    const QRegion region = regionIn.intersected(QRect(QPoint(0, 0), size)).intersected(QRect(origin, target.size()));
    if (region.isEmpty())
        return;
    const QuizDisplay quiz = m_host.quizDisplay();
    for (const QRect &r : region)
        blitImage(target, r.topLeft() - origin, m_bitmaps.cardBackground, r);

    // Every object that reaches into the region is drawn again in document order,
    // clipped to it: the region then looks exactly as after a full build, and
    // neighbouring boxes and leader lines are not cut.
    QPainter painter(&target);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(-origin);
    painter.setClipRegion(region);
    for (int j = 0; j < m_document.objects.size(); ++j) {
        if (!drawable(j, 0, quiz.running))
            continue;
        DocObject &o = m_document.objects[j];
        if (!shown(o, quiz.running))
            continue;
        ObjectGeometry g;
        bool haveGeometry = false;
        bool touches = o.Sline == 1 && region.intersects(leaderLineBounds(o));
        if (changedObject < 0 || j == changedObject) {
            haveGeometry = objectGeometry(size, j, 0, quiz.running, g);
            if (!haveGeometry) {
                o.hitBox = RectD{-1, -1, -1, -1};
                continue;
            }
            touches = touches || region.intersects(g.box) || region.intersects(g.captionBox);
        } else {
            touches = touches || region.intersects(hitBoxPixels(j));
        }
        if (!touches)
            continue;
        if (!haveGeometry && !objectGeometry(size, j, 0, quiz.running, g))
            continue;
        paintObject(painter, size, j, 0, g, true, quiz);
        storeBox(o, g, size);
    }
}

void CardRenderer::copyRegion(const QRegion &regionIn)
{
    const QuizDisplay quiz = m_host.quizDisplay();
    const bool displayShown = quiz.running || !m_view.cardHiddenOutsideQuiz;
    const QPoint offset(m_view.windowOffsetX, m_view.windowOffsetY);
    const QRegion region = regionIn.intersected(m_bitmaps.cardBitmap.rect());
    for (const QRect &r : region) {
        blitImage(m_bitmaps.cardSnapshot, r.topLeft(), m_bitmaps.cardBitmap, r);
        blitImage(m_bitmaps.windowSnapshot, r.topLeft() - offset, m_bitmaps.cardSnapshot, r);
        if (displayShown)
            blitImage(m_bitmaps.display, r.topLeft() - offset, m_bitmaps.cardBitmap, r);
    }
}

QRegion CardRenderer::objectRegion(const QSize &size, int index, bool quiz, bool leaderLine)
{
    DocObject &o = m_document.objects[index];
    QRegion region;
    if (shown(o, quiz))
        region += hitBoxPixels(index);
    ObjectGeometry g;
    if (objectGeometry(size, index, 0, quiz, g)) {
        region += g.box;
        region += g.captionBox;
    } else {
        // Not drawn any more: no target either.
        o.hitBox = RectD{-1, -1, -1, -1};
    }
    if (leaderLine)
        region += leaderLineBounds(o);
    return region;
}

void CardRenderer::DrawObject(QImage &target, int index, int drawKind, bool repaint, bool copyToDisplay,
                              bool leaderLine)
{
    const QuizDisplay quiz = m_host.quizDisplay();
    if (!drawable(index, drawKind, quiz.running))
        return;
    const bool onCard = &target == &m_bitmaps.cardBitmap;
    if (!onCard || drawKind != 0) {
        ObjectGeometry g;
        if (!objectGeometry(target.size(), index, drawKind, quiz.running, g))
            return;
        QPainter painter(&target);
        painter.setRenderHint(QPainter::TextAntialiasing);
        paintObject(painter, target.size(), index, drawKind, g, leaderLine, quiz);
        if (onCard)
            storeBox(m_document.objects[index], g, target.size());
        return;
    }

    // On the card: the old box and the new one are restored and redrawn, nothing else.
    const QRegion region = objectRegion(target.size(), index, quiz.running, leaderLine);
    redrawRegion(region, index);
    if (copyToDisplay) {
        copyRegion(region);
        if (repaint)
            m_host.repaintCard();
        if (quiz.running)
            m_host.redrawQuizPanel();
    }
}

QRect CardRenderer::DrawPatch(QImage &patch, const QList<int> &indices, int grid)
{
    patch = QImage();
    if (m_bitmaps.cardBitmap.isNull() || m_bitmaps.cardBackground.size() != m_bitmaps.cardBitmap.size())
        return QRect();
    const QuizDisplay quiz = m_host.quizDisplay();
    const QSize size = m_bitmaps.cardBitmap.size();
    // The old and the new boxes of each object, as DrawObject restores them on the card.
    QRegion region;
    for (int index : indices)
        if (drawable(index, 0, quiz.running))
            region += objectRegion(size, index, quiz.running, true);
    QRect rect = region.boundingRect();
    if (grid > 1 && !rect.isEmpty()) {
        const int left = rect.left() / grid * grid;
        const int top = rect.top() / grid * grid;
        rect = QRect(QPoint(left, top), QPoint((rect.right() / grid + 1) * grid - 1, (rect.bottom() / grid + 1) * grid - 1));
    }
    rect &= QRect(QPoint(0, 0), size);
    if (rect.isEmpty())
        return QRect();
    patch = QImage(rect.size(), QImage::Format_RGB32);
    if (patch.isNull())
        return QRect();
    redrawRegion(patch, rect.topLeft(), QRegion(rect), indices.size() == 1 ? indices.first() : -1);
    return rect;
}

QRect CardRenderer::WorksheetFrame(const QSize &targetSize, int index)
{
    if (!drawable(index, mmWorksheetBlank, false))
        return QRect();
    const DocObject &o = m_document.objects.at(index);
    if (o.Typ != otLabel && o.Typ != otGap && o.Typ != otAnswer)
        return QRect();
    ObjectGeometry g;
    if (!objectGeometry(targetSize, index, mmWorksheetBlank, false, g))
        return QRect();
    return answerFrame(g.box, g.placement, targetSize);
}

void CardRenderer::DrawObject(QPainter &painter, const QSize &targetSize, int index, int drawKind, bool leaderLine)
{
    const QuizDisplay quiz = m_host.quizDisplay();
    if (!drawable(index, drawKind, quiz.running))
        return;
    ObjectGeometry g;
    if (objectGeometry(targetSize, index, drawKind, quiz.running, g))
        paintObject(painter, targetSize, index, drawKind, g, leaderLine, quiz);
}

void CardRenderer::RedrawObjects(bool leaderLines, bool copyToDisplay, bool repaint)
{
    if (m_bitmaps.cardBitmap.isNull())
        return;
    const QuizDisplay quiz = m_host.quizDisplay();
    const QSize size = m_bitmaps.cardBitmap.size();
    QRegion region;
    for (int j = 0; j < m_document.objects.size(); ++j)
        if (drawable(j, 0, quiz.running))
            region += objectRegion(size, j, quiz.running, leaderLines);
    redrawRegion(region, -1);
    if (copyToDisplay) {
        copyRegion(region);
        if (repaint)
            m_host.repaintCard();
        if (quiz.running)
            m_host.redrawQuizPanel();
    }
}

// Every drawable object onto the card, each box stored for hit-testing.
void CardRenderer::drawAllObjects(const QuizDisplay &quiz)
{
    QPainter painter(&m_bitmaps.cardBitmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QSize size = m_bitmaps.cardBitmap.size();
    for (int j = 0; j < m_document.objects.size(); ++j) {
        if (!drawable(j, 0, quiz.running))
            continue;
        ObjectGeometry g;
        if (!objectGeometry(size, j, 0, quiz.running, g))
            continue;
        paintObject(painter, size, j, 0, g, true, quiz);
        storeBox(m_document.objects[j], g, size);
    }
}

void CardRenderer::RestoreObjects()
{
    if (m_bitmaps.cardBitmap.isNull())
        return;
    m_bitmaps.cardBitmap = m_bitmaps.cardBackground.copy();
    const QuizDisplay quiz = m_host.quizDisplay();
    drawAllObjects(quiz);
    m_bitmaps.cardSnapshot = m_bitmaps.cardBitmap.copy();
    ShowWindow();
}

void CardRenderer::clearView()
{
    m_bitmaps.cardBitmap = QImage();
    m_bitmaps.cardBackground = QImage();
    m_bitmaps.cardSnapshot = QImage();
    m_bitmaps.windowSnapshot = QImage();
    m_bitmaps.display = QImage();
    m_view.windowOffsetX = m_view.windowOffsetY = 0;
    m_host.repaintCard();
    m_host.placePositionMarker(QRect(), false);
}

std::optional<ScaleGeometry> CardRenderer::placeWindow()
{
    const int cw = m_view.controlSize.width();
    const int ch = m_view.controlSize.height();
    if (cw < 1 || ch < 1)
        return std::nullopt;
    const double zoom = m_view.zoomFactor;
    const ScaleGeometry shownPart = scaleGeometry(m_document.baseImage.size(), m_document.RandErw, cw, ch, zoom);
    if (!shownPart.valid || qint64(shownPart.outputWidth) * shownPart.outputHeight > kMaxCardPixels)
        return std::nullopt;
    const double vw = shownPart.visible.right;
    const double vh = shownPart.visible.bottom;
    m_view.viewAspect = double(shownPart.outputWidth) / shownPart.outputHeight;

    RectD &w = m_view.viewWindow;
    const double cx = (w.left + w.right) / 2;
    const double cy = (w.top + w.bottom) / 2;
    w.left = qBound(0.0, cx - vw / 2, 1 - vw);
    w.top = qBound(0.0, cy - vh / 2, 1 - vh);
    w.right = w.left + vw;
    w.bottom = w.top + vh;
    m_view.textScale = shownPart.outputWidth * zoom / 870.0;
    return shownPart;
}

QSize CardRenderer::cardSizeFor(const ScaleGeometry &shownPart) const
{
    const double zoom = m_view.zoomFactor;
    const qint64 cardW = nearest(zoom * shownPart.outputWidth);
    const qint64 cardH = nearest(zoom * shownPart.outputHeight);
    if (cardW < 1 || cardH < 1 || cardW * cardH > kMaxCardPixels)
        return QSize();
    return QSize(int(cardW), int(cardH));
}

QSize CardRenderer::LayoutObjects()
{
    const QuizDisplay quiz = m_host.quizDisplay();
    for (DocObject &o : m_document.objects) {
        o.hitBox = RectD{-1, -1, -1, -1};
        o.pixelX = o.pixelY = -1;
    }
    const std::optional<ScaleGeometry> shownPart = placeWindow();
    if (!shownPart)
        return QSize();
    const QSize size = cardSizeFor(*shownPart);
    if (size.isEmpty())
        return QSize();
    if (!m_document.lueckentext.isEmpty()) {
        // The text's metrics without its pixels: the painter of a one-pixel image.
        QImage probe(1, 1, QImage::Format_RGB32);
        QPainter painter(&probe);
        LayoutCloze(painter, size, m_document, m_view.textScale, m_view.layerOn[layerIllustration], quiz.running);
    }
    m_document.normaliseAfterRebuild(quiz.running);
    for (int j = 0; j < m_document.objects.size(); ++j)
        layoutObject(size, j, quiz.running);
    return size;
}

void CardRenderer::UpdateBoxes(const QSize &cardSize, const QList<int> &indices)
{
    const bool running = m_host.quizDisplay().running;
    for (int index : indices)
        if (index >= 0 && index < m_document.objects.size())
            layoutObject(cardSize, index, running);
}

void CardRenderer::layoutObject(const QSize &size, int index, bool quiz)
{
    DocObject &o = m_document.objects[index];
    ObjectGeometry g;
    if (drawable(index, 0, quiz) && objectGeometry(size, index, 0, quiz, g))
        storeBox(o, g, size);
    else
        o.hitBox = RectD{-1, -1, -1, -1};
}

bool CardRenderer::BuildCardView()
{
    const QuizDisplay quiz = m_host.quizDisplay();
    // Boxes of the previous card mean nothing on the new one: no stale box may erase
    // part of an object drawn earlier in this build, and none may be hit.
    for (DocObject &o : m_document.objects) {
        o.hitBox = RectD{-1, -1, -1, -1};
        o.pixelX = o.pixelY = -1;
    }
    if (m_view.controlSize.width() < 1 || m_view.controlSize.height() < 1) {
        clearView();
        return false;
    }
    auto fail = [this] {
        clearView();
        m_messages.error(cardTooLargeText());
        return false;
    };

    const std::optional<ScaleGeometry> placed = placeWindow();
    if (!placed)
        return fail();
    const ScaleGeometry &shownPart = *placed;
    m_bitmaps.display = QImage(shownPart.outputWidth, shownPart.outputHeight, QImage::Format_RGB32);
    if (m_bitmaps.display.isNull())
        return fail();
    const QSize cardSize = cardSizeFor(shownPart);
    if (cardSize.isEmpty())
        return fail();
    if (!ScaleBaseImage(m_bitmaps.cardBitmap, m_document.baseImage, m_document.RandErw, cardSize.width(),
                        cardSize.height(), 1.0))
        return fail();
    if (!m_view.layerOn[layerIllustration] && !quiz.running)
        m_bitmaps.cardBitmap.fill(Qt::white);
    if (!m_document.lueckentext.isEmpty())
        LayoutCloze(m_bitmaps.cardBitmap, m_document, m_view.textScale, m_view.layerOn[layerIllustration],
                    quiz.running);
    m_document.normaliseAfterRebuild(quiz.running);
    m_bitmaps.cardBackground = m_bitmaps.cardBitmap.copy();
    if (m_bitmaps.cardBackground.isNull())
        return fail();

    drawAllObjects(quiz);
    m_bitmaps.cardSnapshot = m_bitmaps.cardBitmap.copy();
    if (m_bitmaps.cardSnapshot.isNull())
        return fail();
    ShowWindow();
    return true;
}

void CardRenderer::ShowWindow()
{
    QImage &display = m_bitmaps.display;
    const QImage &card = m_bitmaps.cardBitmap;
    if (display.isNull() || card.isNull()) {
        m_host.repaintCard();
        placePositionMarker();
        return;
    }
    m_view.windowOffsetX = nearest(card.width() * m_view.viewWindow.left);
    m_view.windowOffsetY = nearest(card.height() * m_view.viewWindow.top);
    const QRect window(m_view.windowOffsetX, m_view.windowOffsetY, display.width(), display.height());
    // The display is rebuilt before the control repaints, so the clear never shows.
    display.fill(cardcolour::controlBackground());
    blitImage(display, QPoint(0, 0), card, window);
    if (m_bitmaps.windowSnapshot.size() != display.size())
        m_bitmaps.windowSnapshot = QImage(display.size(), QImage::Format_RGB32);
    m_bitmaps.windowSnapshot.fill(cardcolour::controlBackground());
    blitImage(m_bitmaps.windowSnapshot, QPoint(0, 0), m_bitmaps.cardSnapshot, window);
    if (!quizRunning() && m_view.cardHiddenOutsideQuiz)
        display.fill(cardcolour::controlBackground());
    m_host.repaintCard();
    placePositionMarker();
}

void CardRenderer::CommitDrawings()
{
    // While the card is hidden the display holds no drawings, only the control colour.
    if (m_bitmaps.display.isNull() || (!quizRunning() && m_view.cardHiddenOutsideQuiz))
        return;
    blitImage(m_bitmaps.cardBitmap, QPoint(m_view.windowOffsetX, m_view.windowOffsetY), m_bitmaps.display,
              m_bitmaps.display.rect());
}

QImage CardRenderer::windowImage() const
{
    if (m_bitmaps.display.isNull())
        return QImage();
    QImage image(m_bitmaps.display.size(), QImage::Format_RGB32);
    image.fill(cardcolour::controlBackground());
    const QImage &card = m_bitmaps.cardBitmap;
    const int ox = nearest(card.width() * m_view.viewWindow.left);
    const int oy = nearest(card.height() * m_view.viewWindow.top);
    blitImage(image, QPoint(0, 0), card, QRect(ox, oy, image.width(), image.height()));
    return image;
}

void CardRenderer::placePositionMarker()
{
    const int index = m_view.markedObject;
    const int kind = m_view.markedKind;
    if (index < 0 || index >= m_document.objects.size() || kind < 0 || kind > 2 || !quizRunning()) {
        m_host.placePositionMarker(QRect(), false);
        return;
    }
    const DocObject &o = m_document.objects.at(index);
    QRect rect;
    if (kind == 0 || kind == 1) {
        const QPoint p = kind == 0 ? fractionToControl(o.Sx, o.Sy) : fractionToControl(o.Kx, o.Ky);
        rect = QRect(p.x() - 6, p.y() - 6, 13, 13);
    } else {
        const QPoint tl = fractionToControl(o.hitBox.left, o.hitBox.top);
        const QPoint br = fractionToControl(o.hitBox.right, o.hitBox.bottom);
        rect = QRect(QPoint(tl.x() - 4, tl.y() - 4), QPoint(br.x() + 3, br.y() + 3));
    }
    m_host.placePositionMarker(rect, true);
}

} // namespace kapitolo
