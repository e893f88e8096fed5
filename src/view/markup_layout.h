#pragma once

#include "document/topic_document.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

class QPainter;

namespace kapitolo {

// Layout modes of LayoutMarkupLine.
enum MarkupMode : int {
    mmInfoText = 0,        // info texts: gaps are not recognised
    mmWorksheetBlank = 1,  // gap as a blank line
    mmWorksheetSolution = 2, // gap word in red
    mmWorksheetBoth = 3,   // line and red word
    mmMeasure = -1,        // any other value: plain text only while a quiz runs, gaps not drawn
    mmCardCloze = 99,      // cloze text on the card: gaps position the otGap objects
};

// One layout run over the lines of a text: the fixed parameters of every
// LayoutMarkupLine call and the gap cursor that all lines of a cloze text share.
class MarkupLayout
{
public:
    // The painter supplies the font metrics and receives the drawing.
    MarkupLayout(QPainter &painter, int rightEdge, QColor baseColour, int mode, int fontHeight, int fontSize,
                 int leftX);

    // Whether plain text is drawn depends on the mode and on these two (see the modes).
    void setQuizRunning(bool running) { m_quizRunning = running; }
    void setIllustrationOn(bool on) { m_illustrationOn = on; }
    // Mode 99: the gap objects to position, and the card height for their fractions.
    void setGapObjects(QList<DocObject> *objects, int cardHeight);
    int gapCursor() const { return m_gapCursor; }

    // Lays out one source line from y and returns the y below its last display line.
    int LayoutMarkupLine(const QString &line, int y);

private:
    struct Run;
    void writeSegment(Run &run, qsizetype from, qsizetype to, bool lineAdvance);
    void writeGap(Run &run, const QString &word);
    bool drawsPlainText() const;
    void applyFont();
    int width(const QString &text) const;

    QPainter &m_painter;
    int m_rightEdge;
    QColor m_baseColour;
    int m_mode;
    int m_fontHeight;
    int m_fontSize;
    int m_leftX;
    bool m_quizRunning = false;
    bool m_illustrationOn = true;
    QList<DocObject> *m_objects = nullptr;
    int m_cardHeight = 1;
    int m_gapCursor = 0;
    bool m_bold = false;
    bool m_italic = false;
    bool m_underline = false;
};

// Renders the lines of an info text (mode 0, black, the given point size) onto a
// work bitmap width x 3000 in the background colour; the target receives the part
// used. Text below 3000 pixels is cut off.
void RenderInfoText(QImage &target, const QStringList &lines, int width, int fontSize, QColor background);

// The height of RenderInfoText's work bitmap.
constexpr int kInfoTextMaxHeight = 3000;

// Lays the document's cloze text onto the card and positions the otGap objects on
// their gaps. textScale gives the font height; plain text is drawn only when the
// illustration layer is on or a quiz runs.
void LayoutCloze(QImage &cardBitmap, TopicDocument &document, double textScale, bool illustrationOn,
                 bool quizRunning);
// The same for a card of that size onto any painter: with a painter on a tiny image it
// only places the gaps, for hit tests without a card.
void LayoutCloze(QPainter &painter, const QSize &cardSize, TopicDocument &document, double textScale,
                 bool illustrationOn, bool quizRunning);

// Source lines of a text: split at CR LF, lone CR and lone LF.
QStringList sourceLines(const QString &text);

} // namespace kapitolo
