#include "quiz/quiz_feedback.h"

#include "quiz/quiz_engine.h"

namespace kapitolo {

QColor correctTileColour()
{
    return QColor(90, 255, 72);
}

QColor wrongTileColour()
{
    return QColor(255, 80, 70);
}

QList<FeedbackStep> feedbackSteps(const QuizVerdict &v, bool single, int queryMode, int onFailed, int correctTile)
{
    using S = FeedbackStep;
    QList<FeedbackStep> steps;
    auto step = [&steps](S s) { steps.append(s); };
    auto pause = [&](int ms) { step({S::Pause, -1, -1, ms}); };
    if (v.withheld) {
        // Right or wrong shows only at the end: the tile simply goes onto its target.
        if (!single) {
            step({S::RemoveTile, v.pair});
            step({S::RedrawObject, -1, v.object});
        }
        return steps;
    }
    step({S::ShowVerdict, -1, -1, 0, v.correct});
    step({S::TileColour, v.pair, -1, 0, v.correct, v.correct ? correctTileColour() : wrongTileColour()});
    step({S::Sound, -1, -1, 0, v.correct});
    if (v.correct) {
        pause(300);
        if (single) {
            pause(700);
            step({S::HideAllTiles});
        }
        step({S::RestoreColour, v.pair});
        if (!single) {
            step({S::RemoveTile, v.pair});
            step({S::RedrawObject, -1, v.object});
        }
        return steps;
    }
    if (single) {
        // The right answer blinks three times.
        if (correctTile >= 0)
            for (int blink = 0; blink < 3; ++blink) {
                step({S::TileColour, correctTile, -1, 0, true, correctTileColour()});
                pause(150);
                step({S::RestoreColour, correctTile});
                pause(150);
            }
        pause(800);
        step({S::HideAllTiles});
    } else {
        if (queryMode == qmSingleText) {
            pause(100);
            step({S::HideTile, v.pair});
        } else {
            step({S::FlyHome, v.pair});
        }
        if (onFailed == frFinal)
            step({S::RedrawObject, -1, v.object});
    }
    step({S::RestoreColour, v.pair});
    return steps;
}

} // namespace kapitolo
