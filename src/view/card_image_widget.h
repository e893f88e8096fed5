#pragma once

#include "view/view_state.h"

#include <QHash>
#include <QImage>
#include <QLineEdit>
#include <QWidget>

#include <functional>

namespace kapitolo {

class LearningView;

// The keyword edit field TexteingabeEdit: borderless, grey, blue text; Enter writes the
// text onto the card, Escape drops it.
class KeywordEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit KeywordEdit(QWidget *parent = nullptr);
    std::function<void()> accepted;
    std::function<void()> cancelled;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

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

    // The keyword tool: the field at a click of the control, shown and focused.
    void showKeywordEdit(const QPoint &click);
    void hideKeywordEdit();
    void clearHiddenKeywordEdit();
    // The field, created on first use.
    KeywordEdit *keywordEdit();

    // Drawn over the card after every paint (the marks of a class's results).
    std::function<void(QPainter &)> paintOverlay;

Q_SIGNALS:
    // The control's new size: the view state takes it and, outside a quiz, the card is rebuilt.
    void controlResized(const QSize &size);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeKeywordEdit();
    QPoint displayOrigin() const;

    const QImage *m_display = nullptr;
    LearningView *m_view = nullptr;
    KeywordEdit *m_keyword = nullptr;
    QPoint m_keywordClick;
    CardCursor m_cursor = CardCursor::Default;
    QHash<int, QCursor> m_cursors;
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
