#pragma once

#include <QtGlobal>

#include <random>

namespace kapitolo {

// The program's one random generator: seeded from the clock at start, seedable in tests.
class Random
{
public:
    explicit Random(quint64 seed = 0) : m_engine(seed) {}

    void seed(quint64 seed) { m_engine.seed(seed); }
    void seedFromClock();
    // Uniform integer in 0..n-1 (0 when n < 1).
    int below(int n);
    // Uniform in [0, 1).
    double unit();

private:
    std::mt19937_64 m_engine;
};

} // namespace kapitolo
