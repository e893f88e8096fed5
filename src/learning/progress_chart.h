#pragma once

#include "learning/learning_record.h"

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>

class QPainter;

namespace kapitolo {

// The colours of the Lernkartei: its compartments from red ("Fach 1", just learnt) to
// green ("Fach 5", secure), "neu" grey; the chart on the card panel's colour.
QColor boxColour(int box);
QString boxName(int box); // "neu", "Fach 1" .. "Fach 5"

struct ChartColours {
    QColor background{255, 255, 255};
    QColor text{81, 81, 78};
    QColor grid{210, 210, 204};
    QColor secure{46, 139, 63};
    QColor due{214, 96, 20};
};
// Text, grid and lines for a background: dark on a light one, light on a dark one.
ChartColours chartColoursOn(const QColor &background);

// The chart of a topic's progress over the days: how many of its items were in "Fach 4"
// or "Fach 5" (a filled area) and how many were due (a line), with the item count as the
// top of the scale, dates below and a legend above.
void paintProgressChart(QPainter &painter, const QRect &area, const QList<ProgressDay> &days, int itemCount,
                        const ChartColours &colours);

// What the chart says, for a screen reader.
QString progressChartDescription(const QList<ProgressDay> &days, int itemCount);

} // namespace kapitolo
