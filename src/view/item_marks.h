#pragma once

#include "document/topic_document.h"
#include "view/card_layout.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QPointF>
#include <QRect>

#include <functional>

class QPainter;

namespace kapitolo {

class Messages;
class Random;

// The colour of a rate at the first try: red at 0 %, yellow at 50 %, green at 100 %.
QColor itemRateColour(double percent);

// Marks every place or gap of rates (object -> rate in percent) on a drawn card: a frame in
// the rate's colour around the object's box in the card's layout (a disc on its spot while it
// has no box yet)
// and the rate as a small label beside it; a legend in the bottom-left corner of area.
// toPixel maps document fractions to the painter's coordinates; scale enlarges lines, texts
// and the legend (1 on the screen). Objects that are neither labels nor gaps are left out.
void paintItemMarks(QPainter &painter, const TopicDocument &document, const CardLayout &layout,
                    const QHash<int, double> &rates, const std::function<QPointF(double, double)> &toPixel,
                    const QRect &area, double scale = 1);

// The whole learning card of the document drawn off screen with every label uncovered and
// the marks of rates on it, for a printed report; a null image when the card cannot be built.
QImage renderMarkedCard(TopicDocument document, const QHash<int, double> &rates, Messages &messages, Random &random);

// Where the frame of an object with that box goes, in the painter's coordinates; empty when
// it has none.
QRect itemMarkFrame(const DocObject &object, const RectD &box, const std::function<QPointF(double, double)> &toPixel,
                    double scale = 1);

} // namespace kapitolo
