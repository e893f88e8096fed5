#pragma once

#include "document/topic_document.h"
#include "platform/geometry.h"
#include "view/card_layout.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace kapitolo {

// The zoom steps of the learning view; the user interface offers 0, 2 and 4.
constexpr double kZoomTable[5] = {1.0, 1.25, 1.5, 1.75, 2.0};
constexpr int kMaxZoomIndex = 4;

// Tools of the learning view (activeTool); 3 to 9 are the drawing tools.
enum ViewTool : int {
    toolPointer = 1,
    toolHand = 2,
    toolRedPen = 3,
    toolYellowMarker = 4,
    toolGreenMarker = 5,
    toolEraser = 6,
    toolTick = 7,
    toolCross = 8,
    toolKeyword = 9,
};

enum NumberingMode : int {
    numberingQuestionMark = 0,
    numberingOrdered = 1,
    numberingRandom = 2,
};

// Colours of the card.
namespace cardcolour {
inline QColor controlBackground() { return QColor(174, 194, 212); }
inline QColor coverFill() { return QColor(202, 228, 255); }
inline QColor coverFrame() { return QColor(70, 125, 187); }
inline QColor gapText() { return QColor(0, 0, 255); }
inline QColor infoBadge() { return QColor(0, 95, 253); }
inline QColor linkBadge() { return QColor(164, 53, 47); }
inline QColor docLinkBadge() { return QColor(41, 152, 74); }
inline QColor navigationBadge() { return QColor(0, 0, 255); }
inline QColor quizBadge() { return QColor(192, 192, 192); }
inline QColor tick() { return QColor(0, 196, 0); }
inline QColor cross() { return QColor(220, 0, 0); }
inline QColor numberBadgeFill() { return QColor(236, 236, 232); }
inline QColor inactiveBadgeFill() { return QColor(208, 208, 208); }
inline QColor inactiveBadgeOutline() { return QColor(176, 176, 176); }
inline QColor markText() { return QColor(128, 128, 128); }
// A badge's outline: its fill mixed 30 % towards black.
QColor badgeOutline(const QColor &fill);
} // namespace cardcolour

// The state of the learning view, owned by the main window next to the document.
struct ViewState {
    int zoomIndex = 0;
    double zoomFactor = kZoomTable[0];
    // The part of the card the display shows, as card fractions; all zeros until the
    // first build, so that the first view of a document starts at the top left.
    RectD viewWindow;
    int windowOffsetX = 0;
    int windowOffsetY = 0;
    double viewAspect = 1.0;
    // Display width x zoom / 870: every font height, gap and badge is a multiple of it.
    double textScale = 1.0;
    // Size of the image control LernKartPicImg; the display bitmap is centred in it.
    QSize controlSize{870, 600};

    int activeTool = toolPointer;
    int numberingMode = numberingOrdered;
    // Layer check boxes " Illustration ", " Beschriftung ", " Infopunkte ".
    bool layerOn[3] = {true, true, true};
    int toolStripCollapsed = 0;

    // The product keeps the learning card hidden behind the start page while no quiz
    // runs: the display is cleared after every window change. A host that wants to
    // show the learning card sets this to false.
    bool cardHiddenOutsideQuiz = true;

    // Position marker: the marked object and the kind (0 point, 1 anchor, 2 box).
    int markedObject = -1;
    int markedKind = -1;

    // Panning: the last mouse position while the window is dragged.
    bool panning = false;
    QPoint panAnchor;

    // The learning card's covers and their numbers, by object; a quiz keeps marks of its own.
    ObjectMarks marks;
};

// The view bitmaps, owned by the main window.
struct CardBitmaps {
    QImage cardBitmap;     // the whole card at zoom, objects and committed drawings
    QImage cardBackground; // the card before any object was drawn: erases objects
    QImage cardSnapshot;   // the card with all objects, never with drawings
    QImage windowSnapshot; // display-sized copy of the window part of cardSnapshot
    QImage display;        // the bitmap of LernKartPicImg: window plus uncommitted drawings
    CardLayout layout;     // the objects' boxes on cardBitmap, for hit tests
};

// What a running quiz tells the card (the quiz owns the state; the card only reads it).
struct QuizDisplay {
    bool running = false;         // appMode 3
    bool placeAsked = false;      // one place at a time is asked: the others show plain badges
    int askedPositionObject = -1; // positionObject of the current quiz entry
    int question = 0;             // the question being asked (single questions)
    ObjectMarks marks;            // the quiz's marks, by object (shared, not copied)
};

// Where a document link may be found, in the order it is looked for.
struct DocumentLinkFolders {
    QString topicFolder;
    QString documentFolder; // folder of the current document
    QString startFolder;
    QString programFolder;
};

// Cursors of the image control: the system's, and the program's named tool cursors.
enum class CardCursor { Default, PointingHand, Hand, Pen, Marker, Eraser, Tick, Cross, Text };

// What the learning view and the card renderer need from the main window. The main
// window implements it; tests fake it.
class LearningViewHost
{
public:
    virtual ~LearningViewHost() = default;

    virtual QuizDisplay quizDisplay() const = 0;
    // The display bitmap changed: repaint the image control.
    virtual void repaintCard() = 0;
    // Only part of the display changed (control pixels): a host may repaint just that.
    virtual void repaintCardArea(const QRect &) { repaintCard(); }
    // During a quiz, after part of the card was copied to the display: redraw the quiz panel.
    virtual void redrawQuizPanel() = 0;
    // The position marker MoveAnker (and during a quiz its twin UebMoveAnker) in
    // control pixels of LernKartPicImg.
    virtual void placePositionMarker(const QRect &rect, bool visible) = 0;
    virtual void setCardCursor(CardCursor cursor) = 0;
    // Tool, zoom or numbering changed: buttons and menu checks follow the view state.
    virtual void viewControlsChanged() = 0;
    // Any tool but the keyword text hides the keyword edit field.
    virtual void hideKeywordEdit() = 0;
    // The keyword tool was clicked at a point of the image control: the edit field is
    // placed there, shown and focused.
    virtual void showKeywordEdit(const QPoint &) {}
    // The keyword tool was chosen: a hidden edit field forgets its text.
    virtual void clearHiddenKeywordEdit() {}

    // The shell's "open" action for a file or Internet address; false when it failed.
    virtual bool shellOpen(const QString &target) = 0;
    virtual void showInfoText(const QString &caption) = 0;
    virtual DocumentLinkFolders documentLinkFolders() const = 0;
    // A document link named a sub-folder of the topic folder: it becomes the topic
    // folder and the document is closed.
    virtual void openTopicFolder(const QString &folder) = 0;
    // A document link named a document: load it and read the topic list again.
    virtual void openLinkedDocument(const QString &path) = 0;
};

// A host that shows nothing: for the command-line tool and for drawing off screen.
class NullLearningViewHost : public LearningViewHost
{
public:
    QuizDisplay quizDisplay() const override { return {}; }
    void repaintCard() override {}
    void redrawQuizPanel() override {}
    void placePositionMarker(const QRect &, bool) override {}
    void setCardCursor(CardCursor) override {}
    void viewControlsChanged() override {}
    void hideKeywordEdit() override {}
    bool shellOpen(const QString &) override { return false; }
    void showInfoText(const QString &) override {}
    DocumentLinkFolders documentLinkFolders() const override { return {}; }
    void openTopicFolder(const QString &) override {}
    void openLinkedDocument(const QString &) override {}
};

} // namespace kapitolo
