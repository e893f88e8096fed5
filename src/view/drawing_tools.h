#pragma once

#include "view/view_state.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace kapitolo {

class CardRenderer;

// The stroke of the red pen and the two markers. A marker works like a filter: each
// channel of the picture is limited by the marker's colour, so black text stays black
// and white paper takes the marker's colour.
struct PenStroke {
    QColor colour;
    int width = 0;
    bool mask = false;
};
// The stroke of a pen or marker tool; width 0 for every other tool.
PenStroke penStroke(int tool);

// The keyword edit field TexteingabeEdit: its font, its text colour and its background.
QFont keywordFont();
QColor keywordColour();
QColor keywordBackground();

// Where the keyword edit field stands in the image control: as wide as its text plus
// 35 pixels (never wider than the display), as high as a line, its left edge at the
// click and its bottom edge at the click, both held inside the display bitmap, which
// lies at bitmapPos inside the control.
QRect keywordFieldRect(const QPoint &click, int textWidth, int lineHeight, const QSize &control,
                       const QPoint &bitmapPos, int displayWidth);

// The freehand tools of the learning card: pen, markers, eraser, tick and cross stamps
// and keyword text. They paint straight into the display bitmap; the marks travel with
// the card only after CommitDrawings and vanish with every rebuild.
class DrawingTools
{
public:
    DrawingTools(ViewState &view, CardRenderer &renderer, LearningViewHost &host);

    // One step of the active tool (3 to 9) at a point of the image control: on a press
    // of the left button (press true) and on every move. Without the left button only the
    // pointer is followed.
    void PenStep(bool leftHeld, const QPoint &controlPos, bool press);
    // The pointer left the image control: the next stroke starts where it comes back,
    // not where it left.
    void pointerLeft();
    // A tick or cross is stamped once per press of the button.
    void releaseStampLock() { m_stampLock = false; }
    bool stampLocked() const { return m_stampLock; }

    // Back to the card as it was built, committed marks included.
    void RemoveAllDrawings();
    // Enter in the keyword field: its text is written where the field's top-left corner
    // (control pixels) lies on the display.
    void WriteKeyword(const QString &text, const QPoint &fieldTopLeft);

    // The tools act outside a quiz and only while the card is shown.
    bool active() const;

private:
    void stroke(const QPoint &from, const QPoint &to, const PenStroke &pen);
    void repaint(const QRect &displayRect);

    ViewState &m_view;
    CardRenderer &m_renderer;
    LearningViewHost &m_host;
    QPoint m_lastPenPoint{-1, -1};
    // Where the canvas's pen stands: a move puts it on the previous pointer position.
    QPoint m_penPosition{-1, -1};
    bool m_stampLock = false;
};

} // namespace kapitolo
