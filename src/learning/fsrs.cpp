#include "learning/fsrs.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kapitolo {

namespace {

// FSRS-6 default parameters w0..w20.
constexpr std::array<double, 21> w = {0.212,  1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194,
                                      0.001,  1.8722, 0.1666, 0.796,  1.4835, 0.0614, 0.2629,
                                      1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542};
constexpr double kMinStability = 0.001;
constexpr double kMaxStability = 36500;
constexpr int kMaxInterval = 36500;

enum Grade { Again = 1, Hard = 2, Good = 3, Easy = 4 };

// The reference rounds to half up (JavaScript's Math.round), also to 8 decimals after most
// steps; the schedule rounds the same way so that both agree to the day.
double roundHalfUp(double x)
{
    return std::floor(x + 0.5);
}

double round8(double x)
{
    return roundHalfUp(x * 1e8) / 1e8;
}

double clampTo(double x, double low, double high)
{
    return std::min(std::max(x, low), high);
}

const double kDecay = -w[20];
const double kFactor = round8(std::exp(std::log(0.9) / kDecay) - 1);
const double kIntervalModifier = round8((std::pow(kFsrsTargetRetention, 1 / kDecay) - 1) / kFactor);

double forgettingCurve(double elapsedDays, double stability)
{
    return round8(std::pow(1 + kFactor * elapsedDays / stability, kDecay));
}

double initDifficulty(int g)
{
    return round8(w[4] - std::exp((g - 1) * w[5]) + 1);
}

double initStability(int g)
{
    return std::max(w[g - 1], 0.1);
}

double nextDifficulty(double d, int g)
{
    const double delta = -w[6] * (g - 3);
    const double next = d + round8(delta * (10 - d) / 9);
    // Mean reversion towards the difficulty of a first "Easy".
    return clampTo(round8(w[7] * initDifficulty(Easy) + (1 - w[7]) * next), 1, 10);
}

double recallStability(double d, double s, double r, int g)
{
    const double hardPenalty = g == Hard ? w[15] : 1;
    const double easyBonus = g == Easy ? w[16] : 1;
    return round8(clampTo(s * (1 + std::exp(w[8]) * (11 - d) * std::pow(s, -w[9]) * (std::exp((1 - r) * w[10]) - 1)
                                   * hardPenalty * easyBonus),
                          kMinStability, kMaxStability));
}

double forgetStability(double d, double s, double r)
{
    return round8(clampTo(w[11] * std::pow(d, -w[12]) * (std::pow(s + 1, w[13]) - 1) * std::exp((1 - r) * w[14]),
                          kMinStability, kMaxStability));
}

struct Memory {
    double difficulty;
    double stability;
};

Memory nextMemory(const FsrsState &state, double r, int g)
{
    if (state.isNew())
        return {clampTo(initDifficulty(g), 1, 10), initStability(g)};
    double s;
    if (g == Again)
        s = std::min(std::max(round8(state.stability), kMinStability), forgetStability(state.difficulty, state.stability, r));
    else
        s = recallStability(state.difficulty, state.stability, r, g);
    return {nextDifficulty(state.difficulty, g), s};
}

int interval(double stability)
{
    return int(std::min<double>(std::max(1.0, roundHalfUp(stability * kIntervalModifier)), kMaxInterval));
}

} // namespace

FsrsState fsrsReview(const FsrsState &state, qint32 day, bool pass)
{
    const qint32 elapsed = state.isNew() ? 0 : std::max(0, day - state.lastReviewDay);
    const double r = state.isNew() ? 1.0 : forgettingCurve(elapsed, state.stability);
    // The interval of a grade depends on those of the lower grades: a pass is always at
    // least a day longer than a "Hard", which is a day longer than a fail.
    const Memory again = nextMemory(state, r, Again);
    const Memory hard = nextMemory(state, r, Hard);
    const Memory good = nextMemory(state, r, Good);
    const int againInterval = std::min(interval(again.stability), interval(hard.stability));
    const int hardInterval = std::max(interval(hard.stability), againInterval + 1);
    const int goodInterval = std::max(interval(good.stability), hardInterval + 1);

    FsrsState next = state;
    const Memory &m = pass ? good : again;
    next.stability = m.stability;
    next.difficulty = m.difficulty;
    next.intervalDays = pass ? goodInterval : againInterval;
    if (!pass && !state.isNew())
        ++next.lapses;
    ++next.reps;
    next.lastReviewDay = day;
    next.dueDay = day + next.intervalDays;
    return next;
}

double fsrsRetrievability(const FsrsState &state, qint32 day)
{
    if (state.isNew())
        return 0;
    return forgettingCurve(std::max(0, day - state.lastReviewDay), state.stability);
}

int leitnerBox(const FsrsState &state)
{
    if (state.isNew())
        return 0;
    const int days = state.intervalDays;
    if (days < 2)
        return 1;
    if (days < 7)
        return 2;
    if (days < 14)
        return 3;
    if (days < 60)
        return 4;
    return 5;
}

} // namespace kapitolo
