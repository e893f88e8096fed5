#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

namespace kapitolo {

// Geometry of the rating scale on a canvas of a given size; the drawing and the tests
// share it so that both agree on every row and column.
struct RatingScaleGeometry {
    static constexpr int kMargin = 12;
    static constexpr double kThresholds[7] = {1.0, 0.85, 0.70, 0.55, 0.40, 0.25, 0.0};

    int barLeft = 0;    // first column of the bar
    int barRight = 0;   // one past the last column of the bar
    int top = 0;        // row of the 100 % line
    int bottom = 0;     // row of the 0 % line, the scale's bottom
    int lines[7] = {};  // rows of the threshold lines, 100 % down to 0 %

    explicit RatingScaleGeometry(QSize canvas);
    // Row of the result line for a total performance (0..1).
    int resultRow(double totalPerformance) const;
};

// The band colour of a grade (1..6): green for 1 through yellow and orange to red for 6.
QColor gradeBandColor(int grade);

// "72.5%": the result label beside the scale.
QString ratingScaleResultText(double totalPerformance);

// The rating scale of the quiz-finished dialog: six coloured grade bands between the
// thresholds 100 %, 85 %, 70 %, 55 %, 40 %, 25 % and 0 %, labelled on the left, with
// the learner's total performance marked and labelled on the right.
QImage drawRatingScale(QSize canvas, QColor panel, double totalPerformance);

} // namespace kapitolo
