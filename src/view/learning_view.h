#pragma once

#include "document/topic_document.h"
#include "view/drawing_tools.h"
#include "view/view_state.h"

#include <QList>
#include <QPoint>

namespace kapitolo {

class CardRenderer;
class Messages;
class Random;

enum class ScrollDirection { Left, Right, Up, Down };

// What the user does with the learning card outside the quiz logic: tools, covers,
// layers, numbering, zoom, scrolling and panning, clicks on the card's objects, and
// the position marker the quiz uses. The main window forwards the image control's
// mouse events and its Ctrl keys here.
class LearningView
{
public:
    LearningView(TopicDocument &document, ViewState &view, CardRenderer &renderer, LearningViewHost &host,
                 Messages &messages, Random &random);

    void SelectTool(int tool);
    void SetZoom(int index);
    void ZoomIn();
    void ZoomOut();
    void Scroll(ScrollDirection direction);
    void CoverAll();
    void UncoverAll();
    // Numbers the covers (0 question mark, 1 ordered, 2 random); with redraw the
    // covers show the new numbers at once.
    void SetNumbering(int mode, bool redraw);
    // A layer check box changed: the card is rebuilt.
    void SetLayer(int layer, bool on);
    // The object under a point of the image control, or -1.
    int HitTest(const QPoint &controlPos) const;
    // Places the position marker on an object (kind 0 its spot, 1 its anchor, 2 its
    // box); a negative index or kind, or no running quiz, hides it.
    void MarkPosition(int index, int kind);
    // "Alle Zeichnungen entfernen".
    void RemoveAllDrawings() { m_drawing.RemoveAllDrawings(); }
    DrawingTools &drawing() { return m_drawing; }

    // Leaving a quiz: pointer tool, what the quiz asked uncovered (its marks tell which
    // objects it touched), zoom 100 %, numbering again (without redraw: the caller
    // rebuilds the card once the quiz mode has ended).
    void RestoreAfterQuiz(const ObjectMarks &quizMarks);

    // Events of the image control LernKartPicImg, in control pixels.
    void mousePressed(const QPoint &pos, Qt::MouseButton button);
    void mouseMoved(const QPoint &pos, Qt::MouseButtons buttons);
    void mouseReleased(const QPoint &pos, Qt::MouseButton button, Qt::MouseButtons buttons);
    void mouseLeft() { m_drawing.pointerLeft(); }
    // Wheel in eighths of a degree: scrolls up and down, with Shift left and right,
    // with Ctrl it zooms.
    void wheelTurned(const QPoint &angleDelta, Qt::KeyboardModifiers modifiers);
    // Ctrl+arrow keys scroll, Ctrl+numeric-keypad plus and minus zoom. True when the
    // key was consumed.
    bool keyPressed(int key, Qt::KeyboardModifiers modifiers);

    // The coverable objects in numbering order (document order for mode 0).
    static QList<int> NumberingOrder(const TopicDocument &document, int mode, Random &random);
    // Moves the window and keeps it inside the card.
    static void moveWindowInside(RectD &window, double dx, double dy);

    // Where a document link leads: a sub-folder of the topic folder, a document, or nowhere.
    struct LinkTarget {
        enum Kind { Missing, Folder, Document } kind = Missing;
        QString path;
    };
    static LinkTarget resolveDocumentLink(const QString &caption, const DocumentLinkFolders &folders);

private:
    void clickObject(int index);
    void openLink(const QString &caption);
    void pan(const QPoint &pos);
    void updateCursor(const QPoint &pos, Qt::MouseButtons buttons);

    TopicDocument &m_document;
    ViewState &m_view;
    CardRenderer &m_renderer;
    LearningViewHost &m_host;
    Messages &m_messages;
    Random &m_random;
    DrawingTools m_drawing;
    int m_wheelRemainder = 0;
};

} // namespace kapitolo
