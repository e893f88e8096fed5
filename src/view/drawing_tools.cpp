#include "view/drawing_tools.h"

#include "view/canvas_text.h"
#include "view/card_renderer.h"

#include <QPainter>

namespace kapitolo {

namespace {

const QPoint kNoPoint(-1, -1);

// The square the eraser restores, centred on the pointer.
constexpr int kEraserSize = 32;

} // namespace

PenStroke penStroke(int tool)
{
    switch (tool) {
    case toolRedPen:
        return {QColor(255, 0, 0), 5, false};
    case toolYellowMarker:
        return {QColor(255, 255, 0), 25, true};
    case toolGreenMarker:
        return {QColor(0, 255, 0), 25, true};
    default:
        return {};
    }
}

QFont keywordFont()
{
    return canvasFont(QStringLiteral("Arial"), -24);
}

QColor keywordColour()
{
    return QColor(0, 89, 255);
}

QColor keywordBackground()
{
    return QColor(240, 240, 240);
}

QRect keywordFieldRect(const QPoint &click, int textWidth, int lineHeight, const QSize &control,
                       const QPoint &bitmapPos, int displayWidth)
{
    const int width = qMax(1, qMin(textWidth + 35, displayWidth));
    const int height = qMax(1, lineHeight);
    // The lower bounds win when the field is as wide or as high as the room: it then
    // starts at the bitmap's left and top edges.
    const int left = qMax(bitmapPos.x(), qMin(click.x(), control.width() - bitmapPos.x() - width));
    const int bottom = qMax(height + bitmapPos.y(), qMin(click.y(), control.height() - bitmapPos.y()));
    return QRect(left, bottom - height, width, height);
}

DrawingTools::DrawingTools(ViewState &view, CardRenderer &renderer, LearningViewHost &host)
    : m_view(view)
    , m_renderer(renderer)
    , m_host(host)
{
}

bool DrawingTools::active() const
{
    return !m_renderer.quizRunning() && !m_view.cardHiddenOutsideQuiz && !m_renderer.bitmaps().display.isNull();
}

void DrawingTools::repaint(const QRect &displayRect)
{
    m_host.repaintCardArea(displayRect.translated(m_renderer.displayOrigin()));
}

void DrawingTools::stroke(const QPoint &from, const QPoint &to, const PenStroke &pen)
{
    QImage &display = m_renderer.bitmaps().display;
    QPainter painter(&display);
    // Solid, without antialiasing: a mark is one colour, and the marker's filter gives
    // exactly the picture's channels limited by the marker colour, however often a
    // stroke passes the same pixel.
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (pen.mask)
        painter.setCompositionMode(QPainter::CompositionMode_Darken);
    painter.setPen(QPen(pen.colour, pen.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (from == to)
        painter.drawPoint(to);
    else
        painter.drawLine(from, to);
    const int reach = pen.width / 2 + 2;
    repaint(QRect(from, to).normalized().adjusted(-reach, -reach, reach, reach));
}

void DrawingTools::PenStep(bool leftHeld, const QPoint &controlPos, bool press)
{
    if (!active())
        return;
    bool draw = leftHeld;
    if (!press) {
        // A move: the canvas's pen goes to the previous pointer position first; before
        // there is one, nothing is drawn.
        m_penPosition = m_lastPenPoint;
        if (m_lastPenPoint == kNoPoint)
            draw = false;
    }
    m_lastPenPoint = controlPos - m_renderer.displayOrigin();
    if (!draw)
        return;

    QImage &display = m_renderer.bitmaps().display;
    const QPoint p = m_lastPenPoint;
    switch (m_view.activeTool) {
    case toolRedPen:
    case toolYellowMarker:
    case toolGreenMarker: {
        // A press draws from where the last move left the pen; a press that no move
        // came before leaves a dot.
        const QPoint from = m_penPosition == kNoPoint ? p : m_penPosition;
        stroke(from, p, penStroke(m_view.activeTool));
        m_penPosition = p;
        break;
    }
    case toolTick:
    case toolCross: {
        if (m_stampLock)
            break;
        const bool tick = m_view.activeTool == toolTick;
        const QPoint at = tick ? p + QPoint(5, 1) : p + QPoint(1, 0);
        StampSymbol(display, at.x(), at.y(), tick ? cardcolour::tick() : cardcolour::cross(), 32,
                    QStringLiteral("Wingdings"), QChar(tick ? 0xFC : 0xFB));
        m_stampLock = true;
        repaint(QRect(at.x() - 60, at.y() - 60, 120, 120));
        break;
    }
    case toolEraser: {
        const QRect square(p.x() - kEraserSize / 2, p.y() - kEraserSize / 2, kEraserSize, kEraserSize);
        blitImage(display, square.topLeft(), m_renderer.bitmaps().windowSnapshot, square);
        repaint(square);
        break;
    }
    case toolKeyword:
        m_host.showKeywordEdit(controlPos);
        break;
    default:
        break;
    }
}

void DrawingTools::pointerLeft()
{
    m_lastPenPoint = kNoPoint;
    m_penPosition = kNoPoint;
}

void DrawingTools::RemoveAllDrawings()
{
    CardBitmaps &b = m_renderer.bitmaps();
    if (b.cardSnapshot.isNull())
        return;
    b.cardBitmap = b.cardSnapshot.copy();
    m_renderer.ShowWindow();
}

void DrawingTools::WriteKeyword(const QString &text, const QPoint &fieldTopLeft)
{
    if (!active() || text.isEmpty())
        return;
    QImage &display = m_renderer.bitmaps().display;
    const QPoint at = fieldTopLeft - m_renderer.displayOrigin();
    QPainter painter(&display);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(keywordFont());
    painter.setPen(keywordColour());
    drawTextTopLeft(painter, at.x(), at.y(), text);
    const QFontMetrics metrics(keywordFont());
    repaint(QRect(at, QSize(metrics.horizontalAdvance(text) + 4, textHeight(metrics) + 2)));
}

} // namespace kapitolo
