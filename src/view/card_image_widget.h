#pragma once

#include "view/view_state.h"

#include <QImage>
#include <QWidget>

namespace kapitolo {

class LearningView;

// The image control LernKartPicImg: shows the display bitmap centred on the control
// colour and hands mouse and wheel events to the learning view.
class CardImageWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CardImageWidget(QWidget *parent = nullptr);

    // The display bitmap to show (owned by the main window) and where events go.
    void setView(const QImage *display, LearningView *view);
    void setCardCursor(CardCursor cursor);

Q_SIGNALS:
    // The control's new size: the view state takes it and, outside a quiz, the card is rebuilt.
    void controlResized(const QSize &size);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    const QImage *m_display = nullptr;
    LearningView *m_view = nullptr;
};

// The red frame MoveAnker (and UebMoveAnker on the quiz panel): pen 2 pixels, no fill,
// transparent for the mouse.
class PositionMarkerFrame : public QWidget
{
    Q_OBJECT
public:
    explicit PositionMarkerFrame(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace kapitolo
