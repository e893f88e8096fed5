#pragma once

#include <QtGlobal>

namespace kapitolo {

// The repetition schedule of one item: FSRS-6 with its published default parameters
// (the reference implementation ts-fsrs 5.4.2), no optimiser, a target retention of 90 %,
// whole days and no fuzz (its long-term scheduler). A pupil never rates an answer: an
// item right at the first try of a quiz is a pass ("Good"), anything else a fail ("Again").
//
// Days are local calendar days as whole day numbers (days since 30 December 1899): two
// quizzes on one day are one day apart by zero, as the reference counts calendar days.
struct FsrsState {
    double stability = 0;  // days until recall falls to 90 %
    double difficulty = 0; // 1 (easy) .. 10 (hard)
    qint32 reps = 0;       // reviews so far; 0: never played ("neu")
    qint32 lapses = 0;     // fails after the first review
    qint32 lastReviewDay = 0;
    qint32 intervalDays = 0; // the interval the last review chose
    qint32 dueDay = 0;       // lastReviewDay + intervalDays

    bool isNew() const { return reps == 0; }
    bool operator==(const FsrsState &) const = default;
};

inline constexpr double kFsrsTargetRetention = 0.9;

// The state after a review on the given day (never earlier than the last review).
FsrsState fsrsReview(const FsrsState &state, qint32 day, bool pass);

// The probability of recall on the given day.
double fsrsRetrievability(const FsrsState &state, qint32 day);

// Due for repetition on that day: played, and its due day has come.
inline bool fsrsDue(const FsrsState &state, qint32 day)
{
    return !state.isNew() && state.dueDay <= day;
}

// The compartment of the Lernkartei that the current interval puts an item in:
// 0 "neu" (never played), 1 under 2 days, 2 under a week, 3 under a fortnight, 4 under
// two months (60 days), 5 longer.
int leitnerBox(const FsrsState &state);
inline constexpr int kBoxCount = 5;

} // namespace kapitolo
