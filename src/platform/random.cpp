#include "platform/random.h"

#include <QDateTime>

namespace kapitolo {

void Random::seedFromClock()
{
    m_engine.seed(quint64(QDateTime::currentMSecsSinceEpoch()));
}

double Random::unit()
{
    return double(m_engine() >> 11) * 0x1.0p-53;
}

int Random::below(int n)
{
    if (n < 1)
        return 0;
    const int r = int(unit() * n);
    return r < n ? r : n - 1;
}

} // namespace kapitolo
