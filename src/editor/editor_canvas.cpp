#include "editor/editor_canvas.h"

#include "view/card_renderer.h"
#include "view/learning_view.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kapitolo {

namespace {

// How close to the red spot a press grabs the spot instead of the box.
constexpr int kSpotGrab = 7;
// A press that moves less than this is a click, not a drag.
constexpr int kDragThreshold = 3;

} // namespace

// The editor's card shows itself and nothing else: no quiz, no links, no info window.
class EditorCanvas::Host : public NullLearningViewHost
{
public:
    explicit Host(EditorCanvas &canvas)
        : m_canvas(canvas)
    {
    }
    void repaintCard() override { m_canvas.update(); }

private:
    EditorCanvas &m_canvas;
};

EditorCanvas::EditorCanvas(Messages &messages, Random &random, QWidget *parent)
    : QWidget(parent)
    , m_messages(messages)
    , m_random(random)
    , m_host(std::make_unique<Host>(*this))
{
    setObjectName(QStringLiteral("EditorKarte"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(320, 240);
    m_view.cardHiddenOutsideQuiz = false;
    m_renderer = std::make_unique<CardRenderer>(m_doc, m_view, m_bitmaps, *m_host, m_messages);
    m_learning = std::make_unique<LearningView>(m_doc, m_view, *m_renderer, *m_host, m_messages, m_random);

    m_captionEdit = new QLineEdit(this);
    m_captionEdit->setObjectName(QStringLiteral("NeueBeschriftungEdit"));
    m_captionEdit->setPlaceholderText(QStringLiteral("Beschriftung, Enter"));
    m_captionEdit->setToolTip(QStringLiteral("Beschriftung eingeben und mit Enter übernehmen, Esc bricht ab"));
    m_captionEdit->hide();
    connect(m_captionEdit, &QLineEdit::returnPressed, this, [this] { finishCaption(true); });
    m_captionEdit->installEventFilter(this);
}

EditorCanvas::~EditorCanvas() = default;

void EditorCanvas::showDocument(const TopicDocument &document)
{
    m_doc = document;
    if (m_selected >= m_doc.objects.size())
        select(-1);
    rebuild();
}

void EditorCanvas::rebuild()
{
    m_view.controlSize = size();
    if (m_doc.baseImage.isNull())
        return;
    // The teacher sees every caption open.
    m_view.marks = ObjectMarks(m_doc.objects.size(), ObjectMark{csUncovered});
    m_renderer->BuildCardView();
    // The build covers the answers of a question card again: open them too, so that the
    // teacher sees what the pupils have to find.
    if (std::any_of(m_view.marks.cbegin(), m_view.marks.cend(),
                    [](const ObjectMark &mark) { return mark.coverState == csCovered; }))
        m_learning->UncoverAll();
    update();
}

void EditorCanvas::select(int index)
{
    if (index == m_selected)
        return;
    m_selected = index;
    update();
    Q_EMIT selectionChanged(index);
}

QPoint EditorCanvas::controlPoint(double fx, double fy) const
{
    return m_renderer->fractionToControl(fx, fy);
}

QPointF EditorCanvas::cardPoint(const QPoint &controlPos) const
{
    return m_renderer->controlToFraction(controlPos);
}

int EditorCanvas::objectAt(const QPoint &controlPos) const
{
    return m_learning->HitTest(controlPos);
}

QRect EditorCanvas::objectRect(int index) const
{
    if (index < 0 || index >= m_doc.objects.size())
        return QRect();
    const RectD &b = m_renderer->layout().hitBox(index);
    if (b.left < 0)
        return QRect();
    return QRect(controlPoint(b.left, b.top), controlPoint(b.right, b.bottom)).adjusted(0, 0, -1, -1);
}

bool EditorCanvas::nearSpot(int index, const QPoint &controlPos) const
{
    if (index < 0 || index >= m_doc.objects.size())
        return false;
    const DocObject &o = m_doc.objects.at(index);
    return (controlPoint(o.Sx, o.Sy) - controlPos).manhattanLength() <= kSpotGrab;
}

void EditorCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintCardControl(painter, size(), m_bitmaps.display);
    // With margins the picture's edge is shown, so that the teacher sees where the
    // white border begins.
    const RectD &m = m_doc.RandErw;
    if (!m_bitmaps.display.isNull() && (m.left > 0 || m.top > 0 || m.right > 0 || m.bottom > 0)) {
        const double w = m.left + 1.0 + m.right;
        const double h = m.top + 1.0 + m.bottom;
        const QRect picture(controlPoint(m.left / w, m.top / h), controlPoint((m.left + 1.0) / w, (m.top + 1.0) / h));
        painter.setPen(QPen(QColor(70, 125, 187), 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(picture.adjusted(0, 0, -1, -1));
    }
    if (m_selected < 0 || m_selected >= m_doc.objects.size())
        return;
    const DocObject &o = m_doc.objects.at(m_selected);
    QPoint shift;
    if (m_drag != Drag::None)
        shift = m_dragPos - m_pressPos;
    painter.setRenderHint(QPainter::Antialiasing);
    QRect box = objectRect(m_selected);
    if (!box.isNull()) {
        QPen frame(QColor(230, 120, 0), 2, m_drag == Drag::None ? Qt::SolidLine : Qt::DashLine);
        painter.setPen(frame);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box.translated(shift).adjusted(-2, -2, 2, 2));
    }
    // The spot the label names: a red point that can be dragged.
    const QPoint spot = controlPoint(o.Sx, o.Sy) + (m_drag == Drag::Spot ? shift : QPoint());
    if (m_drag == Drag::Box && !box.isNull()) {
        painter.setPen(QPen(QColor(230, 120, 0), 1, Qt::DashLine));
        painter.drawLine(spot, box.translated(shift).center());
    }
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(QColor(220, 0, 0));
    painter.drawEllipse(spot, 5, 5);
}

void EditorCanvas::resizeEvent(QResizeEvent *)
{
    rebuild();
    // A message appearing under the card shrinks it: the field follows its spot.
    if (m_captionEdit->isVisible())
        placeCaptionEdit();
}

void EditorCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFocus();
    const QPoint pos = event->position().toPoint();
    if (m_captionEdit->isVisible()) {
        finishCaption(!m_captionEdit->text().trimmed().isEmpty());
        return;
    }
    m_pressPos = m_dragPos = pos;
    if (nearSpot(m_selected, pos)) {
        m_drag = Drag::Spot;
        return;
    }
    const int hit = objectAt(pos);
    if (hit >= 0) {
        select(hit);
        m_drag = Drag::Box;
        return;
    }
    if (m_addingLabels && m_bitmaps.display.rect().translated(m_renderer->displayOrigin()).contains(pos)) {
        select(-1);
        startCaption(pos);
        return;
    }
    select(-1);
}

void EditorCanvas::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_drag != Drag::None && (event->buttons() & Qt::LeftButton)) {
        m_dragPos = pos;
        update();
        return;
    }
    setCursor(nearSpot(m_selected, pos) ? Qt::SizeAllCursor
              : objectAt(pos) >= 0      ? Qt::OpenHandCursor
              : m_addingLabels          ? Qt::CrossCursor
                                        : Qt::ArrowCursor);
}

void EditorCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_drag == Drag::None)
        return;
    const Drag drag = m_drag;
    m_drag = Drag::None;
    const QPoint pos = event->position().toPoint();
    update();
    if ((pos - m_pressPos).manhattanLength() < kDragThreshold || m_selected < 0)
        return;
    const DocObject &o = m_doc.objects.at(m_selected);
    const QPointF delta = cardPoint(pos) - cardPoint(m_pressPos);
    if (drag == Drag::Box)
        Q_EMIT boxMoved(m_selected, QPointF(qBound(0.0, o.Kx + delta.x(), 1.0), qBound(0.0, o.Ky + delta.y(), 1.0)));
    else
        Q_EMIT objectMoved(m_selected, QPointF(qBound(0.0, o.Sx + delta.x(), 1.0), qBound(0.0, o.Sy + delta.y(), 1.0)));
}

void EditorCanvas::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && m_selected >= 0) {
        Q_EMIT deleteRequested(m_selected);
        return;
    }
    if (event->key() == Qt::Key_Escape && m_selected >= 0) {
        select(-1);
        return;
    }
    QWidget::keyPressEvent(event);
}

void EditorCanvas::startCaption(const QPoint &controlPos)
{
    m_newSpot = cardPoint(controlPos);
    m_captionEdit->clear();
    placeCaptionEdit();
    m_captionEdit->show();
    m_captionEdit->setFocus();
    update();
}

void EditorCanvas::placeCaptionEdit()
{
    const QPoint spot = controlPoint(m_newSpot.x(), m_newSpot.y());
    const int w = 220;
    const int h = m_captionEdit->sizeHint().height();
    // The field sits beside the spot and never leaves the card area.
    const int x = qBound(0, spot.x() + 8, qMax(0, width() - w));
    const int y = qBound(0, spot.y() - h / 2, qMax(0, height() - h));
    m_captionEdit->setGeometry(x, y, w, h);
}

void EditorCanvas::finishCaption(bool accept)
{
    if (!accept) {
        m_captionEdit->hide();
        setFocus();
        return;
    }
    const QString text = m_captionEdit->text();
    // The form closes the field once the model took the label; a refused text stays
    // in the field so that the teacher can mend it.
    Q_EMIT labelRequested(m_newSpot, text);
}

bool EditorCanvas::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_captionEdit && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        finishCaption(false);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void EditorCanvas::closeCaptionEdit()
{
    m_captionEdit->hide();
    setFocus();
}

} // namespace kapitolo
