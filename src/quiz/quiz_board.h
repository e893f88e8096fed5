#pragma once

#include "controls/hover_panel.h"
#include "quiz/quiz_types.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;

namespace kapitolo {

class Clock;
class Random;

// An answer tile: a small yellow panel with the caption, dragged onto the card or clicked.
class AnswerTile : public THoverPanel
{
    Q_OBJECT
public:
    AnswerTile(int pair, int tileObject, const QString &caption, bool clickOnly, QWidget *parent);
    int pair() const { return m_pair; }
    int tileObject() const { return m_tileObject; }
    bool clickOnly() const { return m_clickOnly; }
    void restoreColour();

    static QColor normalColour() { return QColor(255, 243, 144); }

Q_SIGNALS:
    void tilePressed(AnswerTile *tile, QPoint panelPos);
    void tileMoved(AnswerTile *tile, QPoint panelPos);
    void tileReleased(AnswerTile *tile);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_pair;
    int m_tileObject;
    bool m_clickOnly;
    bool m_down = false;
};

// The red frame around the target under a dragged tile.
class HitFrame : public QWidget
{
public:
    explicit HitFrame(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The quiz panel UebungPan over the card area: its background with the stripe and the
// instruction, the card on the left, the tiles on the right, the red frame and the
// question counter. During a drag only the tile and the frame move: the card is copied
// from the display bitmap, never drawn again.
class QuizBoard : public QWidget
{
    Q_OBJECT
public:
    QuizBoard(Clock &clock, Random &random, QWidget *parent);

    // Finds the target under a tile rectangle (panel pixels); -1 for none.
    std::function<int(const QRect &panelRect)> hitTest;
    // The target's frame rectangle in panel pixels (already 4 pixels larger).
    std::function<QRect(int object)> targetFrame;
    // A tile was released (mouse up): evaluate it.
    std::function<void(int pair)> evaluate;
    // A click-only tile was pressed: the asked question becomes the target.
    std::function<void()> questionPressed;
    // The hit object of the running drag.
    std::function<void(int object)> setHitObject;
    // Draws the card into the given rectangle of the panel.
    std::function<void(QPainter &, const QRect &)> paintCard;

    void createTiles(const QList<QuizPair> &pairs, const QStringList &captions, bool singleQuestions,
                     const QCursor &dragCursor);
    void removeAllTiles();
    // After a resize: the tiles that are left go back to their stacks inside the panel.
    void relayoutTiles();
    AnswerTile *tile(int pair) const;
    int tileCount() const { return int(m_tiles.size()); }
    int tileAreaLeft() const { return m_tileAreaLeft; }

    // Image and cloze: the visible tiles from the right; single questions: the grid.
    void arrangeVisibleTiles(int queryMode, bool singleQuestions, QPoint gridOrigin, bool randomSlots);
    void drawBackground(const QColor &cardColour, const QString &instruction);
    void showQuestionCounter(const QString &text, QPoint gridOrigin);
    void hideQuestionCounter();
    void showHitFrame(int object);
    void hideHitFrame();
    bool hitFrameVisible() const;
    void flyTileHome(int pair);
    void removeTile(int pair);
    // The card part of the panel.
    QRect cardRect() const { return QRect(0, 0, qMax(0, m_tileAreaLeft), height()); }
    // Counts how often the card was painted, for the drag benchmark.
    int cardPaints() const { return m_cardPaints; }

Q_SIGNALS:
    void tileAreaChanged();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void onPressed(AnswerTile *tile, QPoint panelPos);
    void onMoved(AnswerTile *tile, QPoint panelPos);
    void onReleased(AnswerTile *tile);

    Clock &m_clock;
    Random &m_random;
    QList<QPointer<AnswerTile>> m_tiles;
    QImage m_background;
    int m_tileAreaLeft = 0;
    HitFrame *m_frame;
    QLabel *m_counter;
    QPoint m_home;
    QPoint m_lastPointer;
    int m_cardPaints = 0;
};

} // namespace kapitolo
