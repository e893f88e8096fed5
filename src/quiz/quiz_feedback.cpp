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

namespace {

FeedbackStep step(FeedbackStep::Kind kind)
{
    FeedbackStep s;
    s.kind = kind;
    return s;
}

FeedbackStep onTile(FeedbackStep::Kind kind, int pair)
{
    FeedbackStep s = step(kind);
    s.pair = pair;
    return s;
}

FeedbackStep colour(int pair, bool correct)
{
    FeedbackStep s = onTile(FeedbackStep::TileColour, pair);
    s.correct = correct;
    s.colour = correct ? correctTileColour() : wrongTileColour();
    return s;
}

FeedbackStep verdictStep(FeedbackStep::Kind kind, bool correct)
{
    FeedbackStep s = step(kind);
    s.correct = correct;
    return s;
}

FeedbackStep pause(int milliseconds)
{
    FeedbackStep s = step(FeedbackStep::Pause);
    s.milliseconds = milliseconds;
    return s;
}

FeedbackStep redraw(int object)
{
    FeedbackStep s = step(FeedbackStep::RedrawObject);
    s.object = object;
    return s;
}

} // namespace

QList<FeedbackStep> feedbackSteps(const QuizVerdict &v, bool single, int queryMode, int onFailed, int correctTile)
{
    using S = FeedbackStep;
    QList<FeedbackStep> steps;
    if (v.withheld) {
        // Right or wrong shows only at the end: the tile simply goes onto its target.
        if (!single)
            steps << onTile(S::RemoveTile, v.pair) << redraw(v.object);
        return steps;
    }
    steps << verdictStep(S::ShowVerdict, v.correct) << colour(v.pair, v.correct) << verdictStep(S::Sound, v.correct);
    if (v.correct) {
        steps << pause(300);
        if (single)
            steps << pause(700) << step(S::HideAllTiles);
        steps << onTile(S::RestoreColour, v.pair);
        if (!single)
            steps << onTile(S::RemoveTile, v.pair) << redraw(v.object);
        return steps;
    }
    if (single) {
        // The right answer blinks three times.
        if (correctTile >= 0)
            for (int blink = 0; blink < 3; ++blink)
                steps << colour(correctTile, true) << pause(150) << onTile(S::RestoreColour, correctTile) << pause(150);
        steps << pause(800) << step(S::HideAllTiles);
    } else {
        if (queryMode == qmSingleText)
            steps << pause(100) << onTile(S::HideTile, v.pair);
        else
            steps << onTile(S::FlyHome, v.pair);
        if (onFailed == frFinal)
            steps << redraw(v.object);
    }
    steps << onTile(S::RestoreColour, v.pair);
    return steps;
}

} // namespace kapitolo
