#pragma once

#include "document/topic_document.h"
#include "view/view_state.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLineEdit;

namespace kapitolo {

class CardRenderer;
class LearningView;
class Messages;
class Random;

// The card of the topic editor: the card renderer's own drawing of the edited document,
// every cover open, with the chosen object framed. A click on an empty spot of a
// labelling card asks for a caption there; dragging a box moves the box (away from its
// spot it gets a leader line), dragging the red spot moves the whole label.
class EditorCanvas : public QWidget
{
    Q_OBJECT
public:
    EditorCanvas(Messages &messages, Random &random, QWidget *parent = nullptr);
    ~EditorCanvas() override;

    // Draws the document anew (after every change of the model).
    void showDocument(const TopicDocument &document);
    // New labels by clicking: only on labelling cards.
    void setAddingLabels(bool on) { m_addingLabels = on; }

    int selected() const { return m_selected; }
    void select(int index);

    // Control pixels of a card position, and the object under a control pixel (-1: none).
    QPoint controlPoint(double fx, double fy) const;
    QPointF cardPoint(const QPoint &controlPos) const;
    int objectAt(const QPoint &controlPos) const;
    QRect objectRect(int index) const; // the object's box in control pixels
    QLineEdit *captionEdit() const { return m_captionEdit; }
    // The model took the new label: the caption field goes.
    void closeCaptionEdit();
    const TopicDocument &shownDocument() const { return m_doc; }
    // The covers the teacher sees (every caption open).
    const ObjectMarks &shownMarks() const { return m_view.marks; }

Q_SIGNALS:
    void selectionChanged(int index);
    // A caption typed at a new spot (Enter); the spot is a card position.
    void labelRequested(const QPointF &spot, const QString &caption);
    void boxMoved(int index, const QPointF &anchor);
    void objectMoved(int index, const QPointF &spot);
    void deleteRequested(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Host;
    enum class Drag { None, Box, Spot };

    void rebuild();
    void startCaption(const QPoint &controlPos);
    void placeCaptionEdit();
    void finishCaption(bool accept);
    bool nearSpot(int index, const QPoint &controlPos) const;

    Messages &m_messages;
    Random &m_random;
    TopicDocument m_doc;
    ViewState m_view;
    CardBitmaps m_bitmaps;
    std::unique_ptr<Host> m_host;
    std::unique_ptr<CardRenderer> m_renderer;
    std::unique_ptr<LearningView> m_learning;
    bool m_addingLabels = true;
    int m_selected = -1;
    Drag m_drag = Drag::None;
    QPoint m_pressPos;
    QPoint m_dragPos;
    QLineEdit *m_captionEdit = nullptr;
    QPointF m_newSpot;
};

} // namespace kapitolo
