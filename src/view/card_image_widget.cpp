#include "view/card_image_widget.h"

#include "view/card_renderer.h"
#include "view/learning_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace kapitolo {

CardImageWidget::CardImageWidget(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CardImageWidget::setView(const QImage *display, LearningView *view)
{
    m_display = display;
    m_view = view;
    update();
}

void CardImageWidget::setCardCursor(CardCursor cursor)
{
    switch (cursor) {
    case CardCursor::PointingHand:
        setCursor(Qt::PointingHandCursor);
        break;
    case CardCursor::Hand:
        setCursor(Qt::ClosedHandCursor);
        break;
    default:
        unsetCursor();
        break;
    }
}

void CardImageWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintCardControl(painter, size(), m_display ? *m_display : QImage());
}

void CardImageWidget::mousePressEvent(QMouseEvent *event)
{
    if (m_view)
        m_view->mousePressed(event->position().toPoint(), event->button());
}

void CardImageWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (m_view)
        m_view->mouseMoved(event->position().toPoint(), event->buttons());
}

void CardImageWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_view)
        m_view->mouseReleased(event->position().toPoint(), event->button(), event->buttons());
}

void CardImageWidget::wheelEvent(QWheelEvent *event)
{
    if (m_view)
        m_view->wheelTurned(event->angleDelta(), event->modifiers());
    event->accept();
}

void CardImageWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Q_EMIT controlResized(size());
}

PositionMarkerFrame::PositionMarkerFrame(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
}

void PositionMarkerFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(QColor(255, 0, 0), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

} // namespace kapitolo
