#pragma once

#include "controls/hover_panel.h"
#include "quiz/quiz_types.h"
#include "quiz/tile_layout.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>

class QKeyEvent;
class QTouchEvent;
class QLabel;

namespace kapitolo {

class Clock;
class Random;

// An answer tile: a small yellow panel with the caption, dragged onto the card or
// clicked; by hand, by finger or from the keyboard.
class AnswerTile : public THoverPanel
{
    Q_OBJECT
public:
    AnswerTile(int pair, int tileObject, const QString &caption, bool clickOnly, QWidget *parent);
    int pair() const { return m_pair; }
    int tileObject() const { return m_tileObject; }
    bool clickOnly() const { return m_clickOnly; }
    QString plainCaption() const { return m_plainCaption; }
    void restoreColour();
    // A mouse button or a finger is down on the tile.
    bool dragging() const { return m_down || m_touchId >= 0; }
    // Picked up from the keyboard: a stronger frame and a deeper yellow.
    void setHeld(bool held);

    static QColor normalColour() { return QColor(255, 243, 144); }
    static QColor heldColour() { return QColor(255, 214, 64); }

    // Keys while the tile has the focus; true when the key was used.
    std::function<bool(AnswerTile *, QKeyEvent *)> keyHandler;

Q_SIGNALS:
    void tilePressed(AnswerTile *tile, QPoint panelPos);
    void tileMoved(AnswerTile *tile, QPoint panelPos);
    void tileReleased(AnswerTile *tile);
    // The system took the finger away (a gesture, a window change): the drag is off.
    void tileCancelled(AnswerTile *tile);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool touchEvent(QTouchEvent *event);

    int m_pair;
    int m_tileObject;
    bool m_clickOnly;
    QString m_plainCaption;
    bool m_down = false;
    int m_touchId = -1;
    bool m_held = false;
    bool m_keyboardFocus = false;
};

// The red frame around the target under a dragged tile.
class HitFrame : public QWidget
{
public:
    explicit HitFrame(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A target as screen readers learn of it: where it lies on the panel, its name and state.
struct AccessibleTarget {
    int object = -1;
    QRect rect;
    QString name;
    QString state;
};

// The quiz panel UebungPan over the card area: its background with the stripe and the
// instruction, the card on the left, the tiles on the right, the red frame and the
// question counter. During a drag only the tile and the frame move: the card is copied
// from the display bitmap, never drawn again.
//
// Besides the mouse, a finger drags a tile the same way, and the keyboard plays too:
// Tab reaches the tiles, Space or Enter picks one up, the target's number and Enter
// drop it (arrow keys step through the targets), Escape puts it back; single questions
// are answered with the keys 1 to 6.
class QuizBoard : public QWidget
{
    Q_OBJECT
public:
    QuizBoard(Clock &clock, Random &random, QWidget *parent);

    // Finds the target under a tile rectangle (panel pixels); -1 for none.
    std::function<int(const QRect &panelRect)> hitTest;
    // The target's frame rectangle in panel pixels (already 4 pixels larger).
    std::function<QRect(int object)> targetFrame;
    // A tile was let go on a target (-1: on none), or a single question's answer clicked
    // with the asked question as its target.
    std::function<void(int pair, int target)> evaluate;
    // The question a click-only tile answers.
    std::function<int()> askedQuestion;
    // Draws the card into the given rectangle of the panel.
    std::function<void(QPainter &, const QRect &)> paintCard;
    // The targets a held tile can go to, for the keyboard.
    std::function<QList<KeyboardTarget>()> keyboardTargets;
    // The targets for screen readers.
    std::function<QList<AccessibleTarget>()> accessibleTargets;

    // stacked: the tiles stay on their stacks (image and cloze, except one text at a
    // time); only then do waiting tiles move onto the stacks as others leave.
    void createTiles(const QList<QuizPair> &pairs, const QStringList &captions, bool singleQuestions, bool stacked,
                     const QCursor &dragCursor);
    void removeAllTiles();
    // After a resize: the tiles that are left go back to their stacks inside the panel.
    void relayoutTiles();
    AnswerTile *tile(int pair) const;
    int tileCount() const { return int(m_tiles.size()); }
    int tileAreaLeft() const { return m_tileAreaLeft; }
    // Tiles that wait, unseen, for room on the stacks, in the order they will come.
    const QList<int> &waitingTiles() const { return m_waiting; }

    // Image and cloze: the visible tiles from the right; single questions: the grid.
    void arrangeVisibleTiles(int queryMode, bool singleQuestions, QPoint gridOrigin, bool randomSlots);
    void drawBackground(const QColor &cardColour, const QString &instruction);
    // The counter "N. Frage", placed where `place` puts a label of its size.
    void showQuestionCounter(const QString &text, const std::function<QPoint(QSize)> &place);
    void hideQuestionCounter();
    void showHitFrame(int object);
    void hideHitFrame();
    bool hitFrameVisible() const;
    // The tile flies back to where it was picked up, one step a millisecond on the clock;
    // `done` follows when it is home (at once when it need not move).
    void flyTileHome(int pair, std::function<void()> done);
    void removeTile(int pair);
    // While a verdict shows, nothing the pupil does reaches the quiz: clicks, drags, touches
    // and keys are dropped, so that no answer lands on a question not yet seen.
    void setInputLocked(bool locked) { m_inputLocked = locked; }
    // The verdict of an answer given here has been shown and the quiz went on: a tile put
    // down from the keyboard hands the focus on.
    void answerSettled();
    // The card part of the panel.
    QRect cardRect() const { return QRect(0, 0, qMax(0, m_tileAreaLeft), height()); }

    // A key of the running quiz, wherever the focus is; true when it was used.
    bool quizKey(QKeyEvent *event);
    // The tile held from the keyboard, or -1.
    int heldPair() const { return m_held ? m_held->pair() : -1; }
    // A tile put down from the keyboard is being evaluated.
    bool dropping() const { return m_dropping; }
    // The visible answers of a single question in the order of their places (1 to 6).
    QList<AnswerTile *> answersInPlaceOrder() const;

Q_SIGNALS:
    void tileAreaChanged();
    // What the keyboard player holds and aims at, for the status line; empty when nothing.
    void keyboardStatusChanged(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void onPressed(AnswerTile *tile, QPoint panelPos);
    void onMoved(AnswerTile *tile, QPoint panelPos);
    void onReleased(AnswerTile *tile);
    void onCancelled(AnswerTile *tile);
    bool tileKey(AnswerTile *tile, QKeyEvent *event);
    void pickUp(AnswerTile *tile);
    void putBack(const QString &status);
    void aimAt(int object, const QString &typed);
    void stepTarget(int direction);
    void dropHeld();
    void answerWith(AnswerTile *tile);
    void focusTileAfter(int pair);
    void restack();
    QString heldStatus() const;

    Clock &m_clock;
    Random &m_random;
    bool m_inputLocked = false;
    // The target under the dragged tile, or the question a clicked answer answers.
    int m_target = -1;
    // A keyboard drop waits for its verdict: the focus goes on after it (the pair; -1 none).
    int m_settlingPair = -1;
    bool m_settlingByKeys = false;
    QPointer<AnswerTile> m_settlingTile;
    int m_settlingGeneration = -1;
    QList<QPointer<AnswerTile>> m_tiles;
    QImage m_background;
    int m_tileAreaLeft = 0;
    HitFrame *m_frame;
    QLabel *m_counter;
    QPoint m_home;
    QPoint m_lastPointer;
    // The tile a hand or a finger drags; a second one waits until it is let go.
    QPointer<AnswerTile> m_dragTile;

    // Stacks: the places in the order they fill, the place of each pair (-1 none) and
    // the pairs waiting for one.
    bool m_singleQuestions = false;
    bool m_stacked = false;
    QList<QPoint> m_slots;
    QList<int> m_slotOf;
    QList<int> m_waiting;
    int m_generation = 0;

    // Keyboard play.
    QPointer<AnswerTile> m_held;
    QString m_typed;
    int m_aimed = -1;
    bool m_dropping = false;
};

} // namespace kapitolo
