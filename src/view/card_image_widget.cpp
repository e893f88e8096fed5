#include "view/card_image_widget.h"

#include "platform/cursors.h"
#include "view/canvas_text.h"
#include "view/card_renderer.h"
#include "view/drawing_tools.h"
#include "view/learning_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace kapitolo {

KeywordEdit::KeywordEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setObjectName(QStringLiteral("TexteingabeEdit"));
    setFrame(false);
    setTextMargins(0, 0, 0, 0);
    setFont(keywordFont());
    QPalette p = palette();
    p.setColor(QPalette::Base, keywordBackground());
    p.setColor(QPalette::Text, keywordColour());
    setPalette(p);
    setToolTip(QStringLiteral("Text übernehmen mit Enter, abbrechen mit ESC"));
    setAccessibleName(QStringLiteral("Schlagwort"));
    hide();
}

void KeywordEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        if (accepted)
            accepted();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        if (cancelled)
            cancelled();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

CardImageWidget::CardImageWidget(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

KeywordEdit *CardImageWidget::keywordEdit()
{
    // Made at the first keyword: a line edit is not cheap, and the start should not wait.
    if (m_keyword)
        return m_keyword;
    m_keyword = new KeywordEdit(this);
    connect(m_keyword, &QLineEdit::textChanged, this, [this] { placeKeywordEdit(); });
    m_keyword->accepted = [this] {
        const QString text = m_keyword->text();
        const QPoint topLeft = m_keyword->pos();
        m_keyword->clearFocus(); // the keys go back to the window, not to the next button
        m_keyword->hide();
        if (m_view)
            m_view->drawing().WriteKeyword(text, topLeft);
        m_keyword->clear();
    };
    m_keyword->cancelled = [this] {
        m_keyword->clear();
        m_keyword->clearFocus();
        m_keyword->hide();
    };
    return m_keyword;
}

QPoint CardImageWidget::displayOrigin() const
{
    if (!m_display || m_display->isNull())
        return QPoint(0, 0);
    return QPoint((width() - m_display->width()) / 2, (height() - m_display->height()) / 2);
}

void CardImageWidget::placeKeywordEdit()
{
    const QFontMetrics metrics(m_keyword->font());
    const int displayWidth = m_display && !m_display->isNull() ? m_display->width() : width();
    m_keyword->setGeometry(keywordFieldRect(m_keywordClick, metrics.horizontalAdvance(m_keyword->text()),
                                            textHeight(metrics), size(), displayOrigin(), displayWidth));
}

void CardImageWidget::showKeywordEdit(const QPoint &click)
{
    m_keywordClick = click;
    keywordEdit();
    placeKeywordEdit();
    m_keyword->show();
    m_keyword->raise();
    m_keyword->setFocus(Qt::MouseFocusReason);
}

void CardImageWidget::hideKeywordEdit()
{
    if (!m_keyword)
        return;
    m_keyword->clearFocus();
    m_keyword->hide();
}

void CardImageWidget::clearHiddenKeywordEdit()
{
    if (m_keyword && m_keyword->isHidden())
        m_keyword->clear();
}

void CardImageWidget::setView(const QImage *display, LearningView *view)
{
    m_display = display;
    m_view = view;
    update();
}

void CardImageWidget::setCardCursor(CardCursor cursor)
{
    // Called on every mouse move: the cursor is set only when it changes, and the
    // program's cursor pictures are read once.
    if (cursor == m_cursor)
        return;
    m_cursor = cursor;
    const char *name = nullptr;
    switch (cursor) {
    case CardCursor::PointingHand:
        setCursor(Qt::PointingHandCursor);
        return;
    case CardCursor::Default:
        unsetCursor();
        return;
    case CardCursor::Hand:
        name = "HAND";
        break;
    case CardCursor::Pen:
        name = "STIFT5";
        break;
    case CardCursor::Marker:
        name = "MARKER25";
        break;
    case CardCursor::Eraser:
        name = "RADIER32";
        break;
    case CardCursor::Tick:
        name = "HAEKCHEN";
        break;
    case CardCursor::Cross:
        name = "KREUZ";
        break;
    case CardCursor::Text:
        name = "TEXTEINGABE";
        break;
    }
    const int key = int(cursor);
    if (!m_cursors.contains(key))
        m_cursors.insert(key, namedCursor(QLatin1String(name)));
    setCursor(m_cursors.value(key));
}

void CardImageWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintCardControl(painter, size(), m_display ? *m_display : QImage());
    if (paintOverlay)
        paintOverlay(painter);
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

void CardImageWidget::leaveEvent(QEvent *event)
{
    if (m_view)
        m_view->mouseLeft();
    QWidget::leaveEvent(event);
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
