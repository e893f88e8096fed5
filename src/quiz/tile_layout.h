#pragma once

#include "document/topic_document.h"
#include "view/card_layout.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace kapitolo {

class Random;

constexpr int kTileWidth = 150;
constexpr int kTileHeight = 46;

struct TilePlacement {
    QList<QPoint> positions; // by pair index; unplaced tiles keep (-1, -1)
    int tileAreaLeft = 0;    // the card lies left of it, the tiles right
    int stacked = 0;         // stacked: pairs 0 .. stacked - 1; the others wait
};

// The places on the stacks in the order they fill: from the bottom right, a stack
// holds tiles whose top stays at 35 or more, the next starts 12 pixels to the left and
// 7 pixels higher. tileAreaLeft receives the left edge of the tile area they need.
QList<QPoint> stackSlots(int slots, QSize panel, int *tileAreaLeft = nullptr);

// How many tiles the stacks take while the card keeps at least half of the panel's
// width (one at the least).
int stackCapacity(QSize panel, int count);

// The start positions of the tiles (image and cloze): the pairs are stacked from the
// last to the first, so the first lies on top. When they would squeeze the card below
// half the panel, only the first stackCapacity pairs are stacked (exactly as a list of
// that many) and the others wait, at (-1, -1), for room.
TilePlacement stackedTilePlacement(int count, QSize panel);

// Image and cloze, when a single text is shown: the visible tiles (pair indexes in list
// order) arranged from the right; queryMode 1 centres the first row vertically.
TilePlacement arrangeVisibleTiles(const QList<int> &visible, int count, QSize tile, QSize panel, int queryMode);

// Single questions: the visible tiles take grid slots 1..k (k at most 6), at random or
// in order, three to a row, from the grid origin.
QList<QPoint> singleQuestionGrid(const QList<int> &visible, int count, QPoint origin, QSize tile, bool randomSlots,
                                 Random &random);

// A place, gap or answer that is open in the quiz (by its mark) and may take a tile.
bool isOpenTarget(const DocObject &object, const ObjectMark &mark, int currentQuestionNo);

// The target of a dragged tile: first the open object (by the quiz's marks) whose box in
// the card's layout holds the middle of the tile's left edge, then one whose box and the
// tile overlap at a corner; -1 for none. The tile rectangle is given in card fractions
// (left, top, right, bottom). onlyObject: the one target while a single place is asked.
int quizHitTest(const TopicDocument &document, const ObjectMarks &marks, const CardLayout &layout, const RectD &tile,
                int currentQuestionNo, int onlyObject);

// A target a tile can be dropped on from the keyboard, and the number its badge shows
// (digits, letters with NumArt 1, "?" when the targets are not numbered).
struct KeyboardTarget {
    int object = -1;
    QString number;
};
// The same candidates as the hit test, in the order of their numbers; unnumbered ones
// follow in document order.
QList<KeyboardTarget> keyboardTargets(const TopicDocument &document, const ObjectMarks &marks, int currentQuestionNo,
                                      int onlyObject);
// The target whose number is the typed text, ignoring case; -1 for none.
int targetByNumber(const QList<KeyboardTarget> &targets, const QString &typed);

// The positions a wrongly placed tile passes on its way home, one per millisecond.
QList<QPoint> flightPath(QPoint from, QPoint home);

// A tile moved by the pointer, pushed back inside the panel; the shift it needed.
QPoint clampIntoPanel(QRect &tile, QSize panel);

} // namespace kapitolo
