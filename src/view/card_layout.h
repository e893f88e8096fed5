#pragma once

#include "platform/geometry.h"

#include <QList>

namespace kapitolo {

// Where the card draws an object: its box as fractions of the card, for hit tests, its
// top-left pixel, and the distances from its anchor to the box's centre (fractions of
// the card's width and height, for the placements to the side and above or below).
struct ObjectBox {
    RectD hitBox{-1, -1, -1, -1};
    double boxWidth = 0;
    double boxHeight = 0;
    qint32 pixelX = -1;
    qint32 pixelY = -1;

    // Drawn at all: an object that is not shown has no box and is never hit.
    bool placed() const { return hitBox.left != -1; }
};

// The boxes of a card as it was last laid out or drawn, by object index. The renderer
// fills it beside the card's bitmaps and empties it whenever it builds a card afresh, so
// a box of an earlier size, zoom or question is never hit.
class CardLayout
{
public:
    // The object's box; one that is not placed for an index the layout does not reach.
    const ObjectBox &box(qsizetype index) const
    {
        static const ObjectBox none;
        return index >= 0 && index < m_boxes.size() ? m_boxes.at(index) : none;
    }
    const RectD &hitBox(qsizetype index) const { return box(index).hitBox; }
    void set(qsizetype index, const ObjectBox &box)
    {
        if (index < 0)
            return;
        if (index >= m_boxes.size())
            m_boxes.resize(index + 1);
        m_boxes[index] = box;
    }
    void remove(qsizetype index)
    {
        if (index >= 0 && index < m_boxes.size())
            m_boxes[index] = ObjectBox();
    }
    void clear() { m_boxes.clear(); }
    qsizetype size() const { return m_boxes.size(); }
    // Every box by index, for the passes of a hit test.
    const QList<ObjectBox> &boxes() const { return m_boxes; }

private:
    QList<ObjectBox> m_boxes;
};

} // namespace kapitolo
