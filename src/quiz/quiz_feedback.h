#pragma once

#include <QColor>
#include <QList>

namespace kapitolo {

struct QuizVerdict;

// The colours of a judged tile.
QColor correctTileColour();
QColor wrongTileColour();

// One step of showing a verdict on the quiz panel.
struct FeedbackStep {
    enum Kind {
        ShowVerdict,   // "Richtig" or "Falsch" in the status panel
        TileColour,    // the tile turns green or red
        RestoreColour, // the tile gets its own colour back
        Sound,         // "Richtig1.wav" or "Falsch1.wav", played to its end
        Pause,         // nothing happens for a while; input is not taken
        HideAllTiles,
        HideTile,
        FlyHome,       // a wrong tile flies back to where it was picked up
        RemoveTile,    // a placed tile leaves the panel
        RedrawObject,  // the target shows its new mark
    };
    Kind kind = Pause;
    int pair = -1;
    int object = -1;
    int milliseconds = 0;
    bool correct = false;
    QColor colour;

    bool operator==(const FeedbackStep &) const = default;
};

// How the desktop shows a verdict the engine has given, step by step, before the next
// question comes: colours, sound, pauses, the flight home, the removal of a placed tile.
// The steps run on timers; a test plays the pauses on its clock. correctTile is the tile
// of the right answer of a single question (it blinks after a wrong one).
QList<FeedbackStep> feedbackSteps(const QuizVerdict &verdict, bool singleQuestions, int queryMode, int onFailed,
                                  int correctTile);

} // namespace kapitolo
