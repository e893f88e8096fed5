#include "quiz/quiz_board.h"

#include "platform/clock.h"
#include "quiz/quiz_accessibility.h"
#include "quiz/tile_layout.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTouchEvent>

#include <algorithm>
#include <memory>
#include <utility>

namespace kapitolo {

namespace {

bool plainKey(const QKeyEvent *event)
{
    return !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

bool isEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// The single character a key types into a target number: a digit, a letter (covers
// numbered with letters) or the apostrophe of the second round of letters.
QChar numberCharacter(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.size() != 1 || !plainKey(event))
        return QChar();
    const QChar c = text.at(0);
    return c.isLetterOrNumber() || c == QLatin1Char('\'') ? c : QChar();
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

AnswerTile::AnswerTile(int pair, int tileObject, const QString &caption, bool clickOnly, QWidget *parent)
    : THoverPanel(parent)
    , m_pair(pair)
    , m_tileObject(tileObject)
    , m_clickOnly(clickOnly)
{
    setObjectName(QStringLiteral("UebElemPan") + QString::number(pair));
    resize(kTileWidth, kTileHeight);
    setHoverActive(false);
    setBorderWidth(1);
    setBorderColor(QColor(120, 110, 60));
    setBevelOuter(Bevel::Raised);
    setBevelWidth(1);
    setNormColor(normalColour());
    setBackgroundColor(normalColour());
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(11);
    f.setBold(true);
    setFont(f);
    setNormFontColor(QColor(33, 33, 31));
    setFontColor(QColor(33, 33, 31));
    setAlignment(Qt::AlignHCenter);
    setWordWrap(true);
    setFontAutoSize(true);
    setMinFontSize(8);
    setPadding(QMargins(2, 0, 2, 0));
    setCaption(caption);
    if (clickOnly)
        setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Reached with Tab only: a click never moves the focus, so mouse play looks as it did.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_AcceptTouchEvents);
    m_plainCaption = QString(caption).replace(QLatin1Char('\n'), QLatin1Char(' '));
    setAccessibleName(m_plainCaption);
    setAccessibleDescription(clickOnly ? QStringLiteral("Antwort") : QStringLiteral("Antwortkarte"));
}

void AnswerTile::restoreColour()
{
    setBackgroundColor(m_held ? heldColour() : normalColour());
    repaint();
}

void AnswerTile::setHeld(bool held)
{
    if (m_held == held)
        return;
    m_held = held;
    setBackgroundColor(held ? heldColour() : normalColour());
    setAccessibleDescription(held ? QStringLiteral("Antwortkarte, aufgenommen") : QStringLiteral("Antwortkarte"));
    update();
}

void AnswerTile::paintEvent(QPaintEvent *event)
{
    THoverPanel::paintEvent(event);
    if (!m_keyboardFocus && !m_held)
        return;
    QPainter p(this);
    p.setPen(QPen(m_held ? QColor(200, 0, 0) : QColor(0, 70, 200), m_held ? 3 : 2));
    p.setBrush(Qt::NoBrush);
    const int inset = m_held ? 2 : 3;
    p.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
}

void AnswerTile::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_touchId >= 0)
        return;
    m_down = true;
    Q_EMIT tilePressed(this, mapToParent(event->position().toPoint()));
}

void AnswerTile::mouseMoveEvent(QMouseEvent *event)
{
    if (m_down && (event->buttons() & Qt::LeftButton))
        Q_EMIT tileMoved(this, mapToParent(event->position().toPoint()));
}

void AnswerTile::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_down)
        return;
    m_down = false;
    Q_EMIT tileReleased(this);
}

void AnswerTile::mouseDoubleClickEvent(QMouseEvent *event)
{
    // One click, one answer: the second click of a double click lands on whatever answer
    // the next question put there, and must not answer it.
    event->accept();
}

bool AnswerTile::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        return touchEvent(static_cast<QTouchEvent *>(event));
    default:
        return THoverPanel::event(event);
    }
}

// A finger drags like the mouse. Only the first finger counts: others that land on the
// tile meanwhile are ignored, and the drag ends when that finger lifts.
bool AnswerTile::touchEvent(QTouchEvent *event)
{
    event->accept();
    if (event->type() == QEvent::TouchCancel) {
        if (m_touchId >= 0) {
            m_touchId = -1;
            Q_EMIT tileCancelled(this);
        }
        return true;
    }
    if (m_touchId < 0) {
        if (m_down || event->type() != QEvent::TouchBegin || event->points().isEmpty())
            return true;
        const QEventPoint &first = event->points().first();
        m_touchId = first.id();
        Q_EMIT tilePressed(this, mapToParent(first.position().toPoint()));
        return true;
    }
    for (const QEventPoint &point : event->points()) {
        if (point.id() != m_touchId)
            continue;
        if (point.state() == QEventPoint::Released) {
            m_touchId = -1;
            Q_EMIT tileReleased(this);
        } else if (point.state() == QEventPoint::Updated) {
            Q_EMIT tileMoved(this, mapToParent(point.position().toPoint()));
        }
        break;
    }
    return true;
}

void AnswerTile::keyPressEvent(QKeyEvent *event)
{
    if (keyHandler && keyHandler(this, event)) {
        event->accept();
        return;
    }
    // Not THoverPanel's: Space and Enter must not click the tile behind the quiz's back.
    QWidget::keyPressEvent(event);
}

void AnswerTile::focusInEvent(QFocusEvent *event)
{
    m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    // A tile deep in a stack comes to the front, so the frame is seen.
    if (m_keyboardFocus)
        raise();
    THoverPanel::focusInEvent(event);
}

void AnswerTile::focusOutEvent(QFocusEvent *event)
{
    m_keyboardFocus = false;
    THoverPanel::focusOutEvent(event);
    if (m_held && keyHandler) {
        // Leaving the tile puts it back.
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        keyHandler(this, &escape);
    }
}

HitFrame::HitFrame(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("UebMoveAnker"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
}

void HitFrame::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(QPen(Qt::red, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}

QuizBoard::QuizBoard(Clock &clock, Random &random, QWidget *parent)
    : QWidget(parent)
    , m_clock(clock)
    , m_random(random)
{
    // Before anything asks for the panel's accessible interface (a name change does).
    installQuizAccessibility();
    setObjectName(QStringLiteral("UebungPan"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Quiz"));
    m_frame = new HitFrame(this);
    m_counter = new QLabel(this);
    m_counter->setObjectName(QStringLiteral("UebFrageZaehlerPan"));
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(14);
    f.setBold(true);
    m_counter->setFont(f);
    m_counter->setStyleSheet(QStringLiteral("color: rgb(81, 81, 78);"));
    m_counter->hide();
}

AnswerTile *QuizBoard::tile(int pair) const
{
    return pair >= 0 && pair < m_tiles.size() ? m_tiles.at(pair).data() : nullptr;
}

void QuizBoard::createTiles(const QList<QuizPair> &pairs, const QStringList &captions, bool singleQuestions,
                            bool stacked, const QCursor &dragCursor)
{
    removeAllTiles();
    const int n = int(pairs.size());
    m_singleQuestions = singleQuestions;
    m_stacked = stacked && !singleQuestions;
    m_tiles = QList<QPointer<AnswerTile>>(n);
    const TilePlacement placement = stackedTilePlacement(n, size());
    m_slots = stackSlots(placement.stacked, size());
    m_slotOf = QList<int>(n, -1);
    m_waiting.clear();
    for (int k = 0; k < n; ++k) {
        if (k < placement.stacked)
            m_slotOf[k] = placement.stacked - 1 - k;
        else
            m_waiting.append(k);
    }
    const QPoint start(width() - kTileWidth, height() - kTileHeight);
    // From the last pair to the first, so that the first pair lies on top of its stack.
    for (int k = n - 1; k >= 0; --k) {
        auto *t = new AnswerTile(k, pairs.at(k).tileObject, captions.at(k), singleQuestions, this);
        if (!singleQuestions)
            t->setCursor(dragCursor);
        const bool waiting = !singleQuestions && k >= placement.stacked;
        t->move(singleQuestions || waiting ? start : placement.positions.at(k));
        connect(t, &AnswerTile::tilePressed, this, &QuizBoard::onPressed);
        connect(t, &AnswerTile::tileMoved, this, &QuizBoard::onMoved);
        connect(t, &AnswerTile::tileReleased, this, &QuizBoard::onReleased);
        connect(t, &AnswerTile::tileCancelled, this, &QuizBoard::onCancelled);
        t->keyHandler = [this](AnswerTile *tile, QKeyEvent *event) { return tileKey(tile, event); };
        t->setVisible(!singleQuestions && !waiting);
        m_tiles[k] = t;
    }
    // Tab walks the tiles in list order, right after the panel itself.
    QWidget *previous = this;
    for (int k = 0; k < n; ++k) {
        QWidget::setTabOrder(previous, m_tiles.at(k));
        previous = m_tiles.at(k);
    }
    m_tileAreaLeft = placement.tileAreaLeft;
    m_frame->raise();
    Q_EMIT tileAreaChanged();
}

void QuizBoard::relayoutTiles()
{
    putBack(QString());
    const int n = int(m_tiles.size());
    if (!m_stacked || n <= stackCapacity(size(), n)) {
        // Every tile has its place of the start: back to it.
        const TilePlacement placement = stackedTilePlacement(n, size());
        m_slots = stackSlots(placement.stacked, size());
        m_waiting.clear();
        for (int k = 0; k < n; ++k) {
            m_slotOf[k] = k < placement.stacked ? placement.stacked - 1 - k : -1;
            AnswerTile *t = tile(k);
            if (!t)
                continue;
            if (k < placement.stacked) {
                t->move(placement.positions.at(k));
                if (m_stacked)
                    t->show(); // a tile that waited has room now
            } else if (m_stacked) {
                m_waiting.append(k);
            }
        }
        m_tileAreaLeft = placement.tileAreaLeft;
        if (m_stacked)
            restack();
    } else {
        // Too many for the new size: the tiles that are left are stacked afresh in list
        // order, as many as leave the card half the panel; the others wait.
        QList<int> left;
        for (int k = 0; k < n; ++k) {
            m_slotOf[k] = -1;
            if (tile(k))
                left.append(k);
        }
        const int stacked = qMin(int(left.size()), stackCapacity(size(), int(left.size())));
        m_slots = stackSlots(stacked, size(), &m_tileAreaLeft);
        m_waiting.clear();
        for (int j = 0; j < left.size(); ++j) {
            AnswerTile *t = tile(left.at(j));
            if (j < stacked) {
                m_slotOf[left.at(j)] = stacked - 1 - j;
                t->move(m_slots.at(stacked - 1 - j));
                t->show();
            } else {
                m_waiting.append(left.at(j));
                t->hide();
            }
        }
        restack();
    }
    hideHitFrame();
    Q_EMIT tileAreaChanged();
}

void QuizBoard::restack()
{
    QList<AnswerTile *> bySlot(m_slots.size(), nullptr);
    for (int k = 0; k < m_slotOf.size(); ++k)
        if (m_slotOf.at(k) >= 0 && m_slotOf.at(k) < bySlot.size())
            bySlot[m_slotOf.at(k)] = tile(k);
    for (AnswerTile *t : std::as_const(bySlot))
        if (t)
            t->raise();
    m_frame->raise();
    m_counter->raise();
}

void QuizBoard::removeAllTiles()
{
    m_held = nullptr;
    m_typed.clear();
    m_aimed = -1;
    m_dragTile = nullptr;
    ++m_generation;
    for (const QPointer<AnswerTile> &t : std::as_const(m_tiles))
        if (t) {
            t->keyHandler = nullptr;
            t->hide();
            t->deleteLater(); // may be inside its own mouse handler
        }
    m_tiles.clear();
    m_slots.clear();
    m_slotOf.clear();
    m_waiting.clear();
    hideHitFrame();
    hideQuestionCounter();
}

void QuizBoard::removeTile(int pair)
{
    AnswerTile *t = tile(pair);
    if (!t)
        return;
    if (m_held == t)
        putBack(QString());
    t->keyHandler = nullptr;
    t->hide();
    t->deleteLater();
    m_tiles[pair] = nullptr;
    // The place on the stack goes to the first waiting tile.
    const int slot = m_slotOf.value(pair, -1);
    if (pair < m_slotOf.size())
        m_slotOf[pair] = -1;
    if (!m_stacked || slot < 0 || slot >= m_slots.size())
        return;
    while (!m_waiting.isEmpty()) {
        const int next = m_waiting.takeFirst();
        AnswerTile *n = tile(next);
        if (!n)
            continue;
        m_slotOf[next] = slot;
        n->move(m_slots.at(slot));
        n->show();
        restack();
        break;
    }
}

void QuizBoard::arrangeVisibleTiles(int queryMode, bool singleQuestions, QPoint gridOrigin, bool randomSlots)
{
    QList<int> visible;
    QSize tileSize(kTileWidth, kTileHeight);
    for (int k = 0; k < m_tiles.size(); ++k)
        if (m_tiles.at(k) && !m_tiles.at(k)->isHidden()) {
            if (visible.isEmpty())
                tileSize = m_tiles.at(k)->size();
            visible << k;
        }
    if (singleQuestions) {
        const QList<QPoint> positions =
            singleQuestionGrid(visible, int(m_tiles.size()), gridOrigin, tileSize, randomSlots, m_random);
        for (int k : std::as_const(visible))
            m_tiles.at(k)->move(positions.at(k));
        return;
    }
    const TilePlacement placement = kapitolo::arrangeVisibleTiles(visible, int(m_tiles.size()), tileSize, size(), queryMode);
    for (int k : std::as_const(visible))
        m_tiles.at(k)->move(placement.positions.at(k));
    if (placement.tileAreaLeft != m_tileAreaLeft) {
        m_tileAreaLeft = placement.tileAreaLeft;
        Q_EMIT tileAreaChanged();
    }
}

void QuizBoard::drawBackground(const QColor &cardColour, const QString &instruction)
{
    m_background = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    m_background.fill(cardColour);
    QPainter p(&m_background);
    p.fillRect(QRect(m_tileAreaLeft, 0, 3, height()), QColor(225, 225, 217));
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(9);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(81, 81, 78));
    p.drawText(QRect(QPoint(m_tileAreaLeft + 11, 6), QPoint(width() - 1, height() - 1)), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
               instruction);
    setAccessibleDescription(instruction);
    update();
}

void QuizBoard::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    if (!m_background.isNull())
        p.drawImage(event->rect(), m_background, event->rect());
    const QRect card = cardRect();
    if (paintCard && event->rect().intersects(card)) {
        p.setClipRect(card & event->rect());
        paintCard(p, card);
    }
}

void QuizBoard::showQuestionCounter(const QString &text, const std::function<QPoint(QSize)> &place)
{
    m_counter->setText(text);
    m_counter->adjustSize();
    m_counter->move(place(m_counter->size()));
    m_counter->show();
    m_counter->raise();
}

void QuizBoard::hideQuestionCounter()
{
    m_counter->hide();
}

void QuizBoard::showHitFrame(int object)
{
    if (object < 0 || !targetFrame) {
        hideHitFrame();
        return;
    }
    m_frame->setGeometry(targetFrame(object));
    m_frame->show();
    m_frame->raise();
}

void QuizBoard::hideHitFrame()
{
    m_frame->hide();
}

bool QuizBoard::hitFrameVisible() const
{
    return m_frame->isVisible();
}

void QuizBoard::onPressed(AnswerTile *t, QPoint panelPos)
{
    if (m_inputLocked)
        return;
    // A second hand or finger waits until the first has let go of its tile.
    if (m_dragTile && m_dragTile != t && m_dragTile->isVisible() && m_dragTile->dragging())
        return;
    if (m_held)
        putBack(QString());
    m_dragTile = t;
    t->raise();
    m_frame->raise();
    m_home = t->pos();
    m_lastPointer = panelPos;
    m_target = t->clickOnly() && askedQuestion ? askedQuestion() : -1;
}

void QuizBoard::onMoved(AnswerTile *t, QPoint panelPos)
{
    if (t != m_dragTile || t->clickOnly())
        return; // answers of single questions are clicked, not dragged
    const QPoint delta = panelPos - m_lastPointer;
    if (delta.isNull())
        return;
    QRect r = t->geometry().translated(delta);
    const QPoint shift = clampIntoPanel(r, size());
    t->move(r.topLeft());
    m_lastPointer = panelPos + shift;
    m_target = hitTest ? hitTest(t->geometry()) : -1;
    showHitFrame(m_target);
}

void QuizBoard::onReleased(AnswerTile *t)
{
    if (t != m_dragTile)
        return;
    m_dragTile = nullptr;
    const int target = std::exchange(m_target, -1);
    if (evaluate)
        evaluate(t->pair(), target);
}

void QuizBoard::onCancelled(AnswerTile *t)
{
    if (t != m_dragTile)
        return;
    m_dragTile = nullptr;
    t->move(m_home);
    m_target = -1;
    hideHitFrame();
}

void QuizBoard::flyTileHome(int pair, std::function<void()> done)
{
    AnswerTile *t = tile(pair);
    const QList<QPoint> path = t ? flightPath(t->pos(), m_home) : QList<QPoint>();
    if (path.isEmpty()) {
        done();
        return;
    }
    // Each step at its millisecond after the start: a late timer skips steps rather than
    // making the flight longer.
    const quint32 start = m_clock.tickCount();
    const QPointer<AnswerTile> flying(t);
    const int generation = m_generation;
    auto step = std::make_shared<std::function<void()>>();
    *step = [this, flying, generation, start, path, done, step] {
        if (!flying || generation != m_generation)
            return; // the quiz ended meanwhile
        const qsizetype reached = qBound<qsizetype>(1, qsizetype(quint32(m_clock.tickCount() - start)), path.size());
        flying->move(path.at(reached - 1));
        flying->repaint();
        if (reached < path.size()) {
            m_clock.callAfter(1, this, *step);
            return;
        }
        *step = nullptr; // the last step lets go of the steps
        done();
    };
    m_clock.callAfter(1, this, *step);
}

void QuizBoard::answerSettled()
{
    const int pair = std::exchange(m_settlingPair, -1);
    if (pair < 0 || m_settlingGeneration != m_generation || !isVisible())
        return; // the quiz ended or began anew
    if (!m_settlingByKeys) {
        // The answered question's tiles are gone: the panel keeps the keys for the next one.
        setFocus(Qt::OtherFocusReason);
        return;
    }
    if (m_settlingTile && !m_settlingTile->isHidden()) {
        m_settlingTile->setFocus(Qt::TabFocusReason);
        return;
    }
    focusTileAfter(pair);
}

// --- keyboard play ---

QString QuizBoard::heldStatus() const
{
    if (!m_held)
        return QString();
    QString text = QStringLiteral("Karte ") + quoted(m_held->plainCaption()) + QStringLiteral(" aufgenommen");
    if (m_typed.isEmpty())
        return text + QStringLiteral(": Nummer des Ziels eingeben, Eingabe legt sie ab, Esc legt sie zurück");
    if (m_aimed < 0)
        return text + QStringLiteral(", kein offenes Ziel mit der Nummer ") + quoted(m_typed);
    return text + QStringLiteral(", Ziel ") + m_typed + QStringLiteral(": Eingabe legt sie ab");
}

void QuizBoard::pickUp(AnswerTile *t)
{
    if (m_held && m_held != t)
        putBack(QString());
    m_held = t;
    m_typed.clear();
    m_aimed = -1;
    m_home = t->pos();
    t->raise();
    m_frame->raise();
    t->setHeld(true);
    Q_EMIT keyboardStatusChanged(heldStatus());
}

void QuizBoard::putBack(const QString &status)
{
    if (!m_held)
        return;
    AnswerTile *t = m_held;
    m_held = nullptr;
    m_typed.clear();
    m_aimed = -1;
    t->setHeld(false);
    hideHitFrame();
    m_target = -1;
    Q_EMIT keyboardStatusChanged(status);
}

void QuizBoard::aimAt(int object, const QString &typed)
{
    m_aimed = object;
    m_typed = typed;
    showHitFrame(object);
    Q_EMIT keyboardStatusChanged(heldStatus());
}

void QuizBoard::stepTarget(int direction)
{
    const QList<KeyboardTarget> targets = keyboardTargets ? keyboardTargets() : QList<KeyboardTarget>();
    if (targets.isEmpty())
        return;
    int index = -1;
    for (int i = 0; i < targets.size(); ++i)
        if (targets.at(i).object == m_aimed)
            index = i;
    const int n = int(targets.size());
    index = index < 0 ? (direction > 0 ? 0 : n - 1) : (index + direction + n) % n;
    aimAt(targets.at(index).object, targets.at(index).number);
}

void QuizBoard::dropHeld()
{
    AnswerTile *t = m_held;
    const int target = m_aimed;
    if (!t || target < 0)
        return;
    m_held = nullptr;
    m_typed.clear();
    m_aimed = -1;
    t->setHeld(false);
    // The tile goes onto the target the way a hand puts it there, so that a wrong one
    // flies home from the target.
    const QRect frame = targetFrame ? targetFrame(target) : QRect();
    QRect r = t->geometry();
    r.moveTopLeft(QPoint(frame.center().x() - 6, frame.center().y() - r.height() / 2));
    clampIntoPanel(r, size());
    t->move(r.topLeft());
    t->raise();
    showHitFrame(target);
    const int pair = t->pair();
    m_dragTile = nullptr;
    m_target = -1;
    m_dropping = true;
    // The focus goes on once the verdict has been shown.
    m_settlingPair = pair;
    m_settlingByKeys = true;
    m_settlingTile = t;
    m_settlingGeneration = m_generation;
    Q_EMIT keyboardStatusChanged(QString());
    if (evaluate)
        evaluate(pair, target);
    m_dropping = false;
}

void QuizBoard::focusTileAfter(int pair)
{
    if (auto *focused = qobject_cast<AnswerTile *>(focusWidget()); focused && focused->isVisible()
        && focused->parentWidget() == this)
        return;
    const int n = int(m_tiles.size());
    for (int step = 1; step <= n; ++step) {
        AnswerTile *t = tile((pair + step) % n);
        if (t && !t->isHidden()) {
            t->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    setFocus(Qt::OtherFocusReason);
}

QList<AnswerTile *> QuizBoard::answersInPlaceOrder() const
{
    QList<AnswerTile *> shown;
    for (const QPointer<AnswerTile> &t : m_tiles)
        if (t && !t->isHidden())
            shown.append(t);
    // The grid fills row by row, three to a row: its places read top to bottom, left to right.
    std::sort(shown.begin(), shown.end(), [](const AnswerTile *a, const AnswerTile *b) {
        return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
    });
    return shown;
}

void QuizBoard::answerWith(AnswerTile *t)
{
    onPressed(t, t->geometry().center());
    if (m_dragTile != t)
        return;
    m_settlingPair = t->pair();
    m_settlingByKeys = false;
    m_settlingTile = nullptr;
    m_settlingGeneration = m_generation;
    onReleased(t);
}

bool QuizBoard::quizKey(QKeyEvent *event)
{
    if (!m_singleQuestions || !plainKey(event))
        return false;
    const int key = event->key();
    if (key < Qt::Key_1 || key > Qt::Key_6)
        return false;
    if (m_inputLocked)
        return true; // typed while a verdict shows: dropped
    const QList<AnswerTile *> answers = answersInPlaceOrder();
    const int place = key - Qt::Key_1;
    if (place < answers.size())
        answerWith(answers.at(place));
    return true;
}

bool QuizBoard::tileKey(AnswerTile *t, QKeyEvent *event)
{
    if (m_inputLocked)
        return event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab; // dropped, Tab still moves
    if (t->clickOnly()) {
        if ((isEnter(event) || event->key() == Qt::Key_Space) && plainKey(event)) {
            answerWith(t);
            return true;
        }
        return quizKey(event);
    }
    if (event->key() == Qt::Key_Escape) {
        if (m_held != t)
            return false;
        putBack(QStringLiteral("Karte ") + quoted(t->plainCaption()) + QStringLiteral(" zurückgelegt"));
        return true;
    }
    if (!plainKey(event))
        return false;
    if (m_held != t) {
        if (isEnter(event) || event->key() == Qt::Key_Space) {
            pickUp(t);
            return true;
        }
        return false;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (m_aimed >= 0)
            dropHeld();
        else
            Q_EMIT keyboardStatusChanged(heldStatus());
        return true;
    case Qt::Key_Backspace:
        if (!m_typed.isEmpty()) {
            const QString typed = m_typed.chopped(1);
            const QList<KeyboardTarget> targets = keyboardTargets ? keyboardTargets() : QList<KeyboardTarget>();
            aimAt(targetByNumber(targets, typed), typed);
        }
        return true;
    case Qt::Key_Right:
    case Qt::Key_Down:
        stepTarget(1);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Up:
        stepTarget(-1);
        return true;
    default:
        break;
    }
    const QChar c = numberCharacter(event);
    if (c.isNull())
        return false;
    const QList<KeyboardTarget> targets = keyboardTargets ? keyboardTargets() : QList<KeyboardTarget>();
    const QString longer = m_typed.size() < 8 ? m_typed + c : QString(c);
    const int target = targetByNumber(targets, longer);
    // A number that leads nowhere starts again with the key just typed: "35" among
    // twelve targets becomes "5".
    if (target < 0 && targetByNumber(targets, QString(c)) >= 0)
        aimAt(targetByNumber(targets, QString(c)), QString(c));
    else
        aimAt(target, longer);
    return true;
}

void QuizBoard::keyPressEvent(QKeyEvent *event)
{
    if (quizKey(event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kapitolo
