#pragma once

#include "document/topic_document.h"
#include "view/view_state.h"

#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRegion>

#include <optional>

class QPainter;

namespace kapitolo {

class Messages;

// The sizes ScaleBaseImage works with: the extended image (base image plus margins),
// the image fitted into the maximum size, the zoomed output and the source part of
// the extended image that the output shows.
struct ScaleGeometry {
    bool valid = false;
    int extendedWidth = 0;
    int extendedHeight = 0;
    int baseLeft = 0; // position of the base image inside the extended image
    int baseTop = 0;
    int fittedWidth = 0;
    int fittedHeight = 0;
    int outputWidth = 0;
    int outputHeight = 0;
    double sourceWidth = 0;
    double sourceHeight = 0;
    RectD visible; // (0, 0, right, bottom): the shown part as fractions
};

// The largest extended image (per side) a document may ask for; beyond it the
// margins are nonsense and the card is not built.
constexpr int kMaxExtendedSide = 1 << 18;
// The largest card bitmap in pixels (zoom 200 % of a very large window stays below it).
constexpr qint64 kMaxCardPixels = qint64(1) << 27;

ScaleGeometry scaleGeometry(const QSize &baseSize, const RectD &margins, int maxWidth, int maxHeight, double zoom);

// Fits the base image with its margin extension into maxWidth x maxHeight at the
// zoom and draws the top-left part that fits into the target, stretched smoothly.
// Returns the visible part as fractions, or nothing when the sizes are unusable or
// the target cannot be allocated.
std::optional<RectD> ScaleBaseImage(QImage &target, const QImage &baseImage, const RectD &margins, int maxWidth,
                                    int maxHeight, double zoom);

// A round badge: the antialiased 36-point polygon in the fill colour, its outline as
// an antialiased polyline, and the text centred in the painter's font and pen colour.
void DrawBadge(QPainter &painter, const QRect &rect, const QColor &outline, const QString &text, const QColor &fill);

// Writes one symbol centred on x, its cell centred on y. The authoring system's
// "Wingdings" tick (0xFC) and cross (0xFB) are drawn as U+2714 and U+2718.
void StampSymbol(QPainter &painter, int x, int y, const QColor &colour, int sizePoints, const QString &fontName,
                 QChar character);
void StampSymbol(QImage &target, int x, int y, const QColor &colour, int sizePoints, const QString &fontName,
                 QChar character);

// Copies a rectangle between two bitmaps, clipped to both.
void blitImage(QImage &target, const QPoint &targetPos, const QImage &source, const QRect &sourceRect);

// Paints the image control: the control colour and the display bitmap centred in it.
void paintCardControl(QPainter &painter, const QSize &controlSize, const QImage &display);

// The message when a document's image cannot become a card.
QString cardTooLargeText();

// Turns the document into the view bitmaps and keeps them up to date: the card, the
// object boxes, covers, badges and quiz marks, and the window shown in the display.
class CardRenderer
{
public:
    CardRenderer(TopicDocument &document, ViewState &view, CardBitmaps &bitmaps, LearningViewHost &host,
                 Messages &messages);

    // Rebuilds every bitmap from the document and the view state and shows the window.
    // False (after an error message) when the document's image cannot become a card;
    // the view is then empty and no object can be hit.
    bool BuildCardView();
    // The boxes BuildCardView would store, without a bitmap: the window placed, the cloze
    // text's gaps laid out, every drawable object's box. Returns the card's size in pixels,
    // empty when the document cannot become a card (no message). For hit tests of a card
    // that is drawn elsewhere.
    QSize LayoutObjects();
    // The boxes of those objects again, on a card of that size, after their state changed.
    void UpdateBoxes(const QSize &cardSize, const QList<int> &indices);
    // Copies the window of the card into the display and the window snapshot.
    void ShowWindow();
    // Copies the display (with freehand drawings) back into the card.
    void CommitDrawings();
    // Draws every object again, restoring each box first.
    void RedrawObjects(bool leaderLines, bool copyToDisplay, bool repaint);
    // The card from its background with all objects, then the window.
    void RestoreObjects();
    // Draws one object onto the target: cardBitmap (drawKind 0, the view and the quiz)
    // or a worksheet bitmap (drawKind 1 frames, 2 solution text, 3 both). On the card
    // the object's box is restored first, and only that region is redrawn and copied.
    void DrawObject(QImage &target, int index, int drawKind, bool repaint, bool copyToDisplay, bool leaderLine);
    // The same onto any painter whose target, in card pixels, has the given size: the
    // worksheet records its objects this way instead of drawing them into pixels.
    // Nothing is restored or copied, and the object's box is not stored.
    void DrawObject(QPainter &painter, const QSize &targetSize, int index, int drawKind, bool leaderLine);

    // For a card kept as its background only (cardBitmap sharing cardBackground): draws
    // the objects' old and new boxes again, with everything reaching into them, into
    // `patch`, which becomes that part of the card as a full build would show it. The
    // part's edges lie on a grid of `grid` pixels (the blocks of the card's JPEG, so that
    // a patch replaces whole blocks). Boxes are stored; returns the part in card pixels,
    // empty when nothing is drawn.
    QRect DrawPatch(QImage &patch, const QList<int> &indices, int grid = 1);
    // The answer frame a worksheet draws for a label, gap or answer, in pixels of a
    // target of the given size; empty for other objects and those not drawn.
    QRect WorksheetFrame(const QSize &targetSize, int index);

    bool LayerVisible(int index) const;
    int AutoPlacement(int index) const;
    QString NumberText(int index) const;

    // Coordinate conversions.
    QPoint cardPixel(double fx, double fy) const;
    QPoint displayOrigin() const; // the display bitmap's top-left inside the control
    QPoint fractionToControl(double fx, double fy) const;
    QPointF controlToFraction(const QPoint &controlPos) const; // clamped to 0..1
    QPointF displayToFraction(const QPointF &displayPos) const;
    QRect hitBoxPixels(int index) const; // the object's box in card pixels

    // The window of the card as the display receives it (also while the card is
    // hidden outside a quiz).
    QImage windowImage() const;
    // Re-places the position marker after a window change.
    void placePositionMarker();

    bool quizRunning() const { return m_host.quizDisplay().running; }
    CardBitmaps &bitmaps() { return m_bitmaps; }

private:
    struct ObjectGeometry;
    // The shown part of the extended image for the control and the zoom, the window kept
    // around its centre, the text scale; nothing when no card can be made.
    std::optional<ScaleGeometry> placeWindow();
    QSize cardSizeFor(const ScaleGeometry &shownPart) const;
    void layoutObject(const QSize &size, int index, bool quiz);
    bool drawable(int index, int drawKind, bool quiz) const;
    bool shown(const DocObject &object, bool quiz) const;
    bool objectGeometry(const QSize &targetSize, int index, int drawKind, bool quiz, ObjectGeometry &g);
    void paintObject(QPainter &painter, const QSize &targetSize, int index, int drawKind, const ObjectGeometry &g,
                     bool leaderLine, const QuizDisplay &quiz);
    void paintCover(QPainter &painter, const QRect &box, const DocObject &object);
    void storeBox(DocObject &object, const ObjectGeometry &g, const QSize &cardSize);
    void redrawRegion(const QRegion &region, int changedObject);
    void redrawRegion(QImage &target, const QPoint &origin, const QRegion &region, int changedObject);
    void copyRegion(const QRegion &region);
    QRect leaderLineBounds(const DocObject &object) const;
    // What an object's redraw covers: its old box (while shown), its new box and caption
    // box, and its leader line if asked; an object that has no box now loses its old one.
    QRegion objectRegion(const QSize &size, int index, bool quiz, bool leaderLine);
    void clearView();
    void drawAllObjects(const QuizDisplay &quiz);

    TopicDocument &m_document;
    ViewState &m_view;
    CardBitmaps &m_bitmaps;
    LearningViewHost &m_host;
    Messages &m_messages;
};

} // namespace kapitolo
