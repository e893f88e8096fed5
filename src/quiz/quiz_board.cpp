#include "quiz/quiz_board.h"

#include "platform/clock.h"
#include "quiz/tile_layout.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace kapitolo {

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
}

void AnswerTile::restoreColour()
{
    setBackgroundColor(normalColour());
    repaint();
}

void AnswerTile::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
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
    setObjectName(QStringLiteral("UebungPan"));
    setAttribute(Qt::WA_OpaquePaintEvent);
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
                            const QCursor &dragCursor)
{
    removeAllTiles();
    const int n = int(pairs.size());
    m_tiles = QList<QPointer<AnswerTile>>(n);
    const TilePlacement placement = stackedTilePlacement(n, size());
    // From the last pair to the first, so that the first pair lies on top of its stack.
    for (int k = n - 1; k >= 0; --k) {
        auto *t = new AnswerTile(k, pairs.at(k).tileObject, captions.at(k), singleQuestions, this);
        if (!singleQuestions)
            t->setCursor(dragCursor);
        t->move(singleQuestions ? placement.positions.last() : placement.positions.at(k));
        connect(t, &AnswerTile::tilePressed, this, &QuizBoard::onPressed);
        connect(t, &AnswerTile::tileMoved, this, &QuizBoard::onMoved);
        connect(t, &AnswerTile::tileReleased, this, &QuizBoard::onReleased);
        t->setVisible(!singleQuestions);
        m_tiles[k] = t;
    }
    m_tileAreaLeft = placement.tileAreaLeft;
    m_frame->raise();
    Q_EMIT tileAreaChanged();
}

void QuizBoard::relayoutTiles()
{
    const TilePlacement placement = stackedTilePlacement(int(m_tiles.size()), size());
    for (int k = 0; k < m_tiles.size(); ++k)
        if (m_tiles.at(k))
            m_tiles.at(k)->move(placement.positions.at(k));
    m_tileAreaLeft = placement.tileAreaLeft;
    hideHitFrame();
    Q_EMIT tileAreaChanged();
}

void QuizBoard::removeAllTiles()
{
    for (const QPointer<AnswerTile> &t : std::as_const(m_tiles))
        if (t) {
            t->hide();
            t->deleteLater(); // may be inside its own mouse handler
        }
    m_tiles.clear();
    hideHitFrame();
    hideQuestionCounter();
}

void QuizBoard::removeTile(int pair)
{
    if (AnswerTile *t = tile(pair)) {
        t->hide();
        t->deleteLater();
        m_tiles[pair] = nullptr;
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
        ++m_cardPaints;
    }
}

void QuizBoard::showQuestionCounter(const QString &text, QPoint gridOrigin)
{
    m_counter->setText(text);
    m_counter->adjustSize();
    m_counter->move(gridOrigin.x(), qRound(0.3 * gridOrigin.y()));
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
    t->raise();
    m_frame->raise();
    m_home = t->pos();
    m_lastPointer = panelPos;
    if (t->clickOnly() && questionPressed)
        questionPressed();
}

void QuizBoard::onMoved(AnswerTile *t, QPoint panelPos)
{
    if (t->clickOnly())
        return; // answers of single questions are clicked, not dragged
    const QPoint delta = panelPos - m_lastPointer;
    if (delta.isNull())
        return;
    QRect r = t->geometry().translated(delta);
    const QPoint shift = clampIntoPanel(r, size());
    t->move(r.topLeft());
    m_lastPointer = panelPos + shift;
    const int hit = hitTest ? hitTest(t->geometry()) : -1;
    if (setHitObject)
        setHitObject(hit);
    showHitFrame(hit);
}

void QuizBoard::onReleased(AnswerTile *t)
{
    if (evaluate)
        evaluate(t->pair());
}

void QuizBoard::flyTileHome(int pair)
{
    AnswerTile *t = tile(pair);
    if (!t)
        return;
    const QList<QPoint> path = flightPath(t->pos(), m_home);
    const quint32 start = m_clock.tickCount();
    for (int i = 0; i < path.size(); ++i) {
        t->move(path.at(i));
        t->repaint();
        while (quint32(m_clock.tickCount() - start) < quint32(i + 1))
            m_clock.busyWait(1, true);
    }
}

} // namespace kapitolo
