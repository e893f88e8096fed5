#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QString>

class QPainter;
class QRect;

namespace kapitolo {

// Text on the card follows the conventions of the documents' authoring system: a
// negative font height is the character height in pixels without internal leading,
// a positive one the full cell height; point sizes assume 96 dots per inch. The
// fonts are built with pixel sizes so that the result never depends on a device's
// resolution.
QFont canvasFont(const QString &family, int height, bool bold = false, bool italic = false,
                 bool underline = false);
QFont arialFont(int height, bool bold = false);
QFont arialPointFont(int points, bool bold = false);
int pointsToPixels(int points);

// The largest pixel size a caption font gets: no document value makes Qt allocate
// glyphs the size of a house.
constexpr int kMaxFontPixels = 2000;

// Height of a text cell (ascent plus descent), what the authoring system calls the
// text height of "X" or "0".
int textHeight(const QFontMetrics &metrics);

// Writes the text with its cell's top-left corner at (x, y), on a transparent background.
void drawTextTopLeft(QPainter &painter, int x, int y, const QString &text);
// Writes the text horizontally centred on x, the cell's top at y.
void drawTextCentredTop(QPainter &painter, int x, int y, const QString &text);

// A caption as it is measured and drawn in a box: line breaks of any kind become
// line feeds; an ampersand stays an ampersand.
QString boxText(const QString &caption);

} // namespace kapitolo
