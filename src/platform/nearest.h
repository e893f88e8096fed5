#pragma once

#include <climits>
#include <cmath>

namespace kapitolo {

// Every conversion of a floating value to a pixel or a count goes through here:
// round to nearest, a tie going to the even neighbour (the FPU's default mode).
// Values outside the int range (and NaN) are clamped so that a wild value from a
// file can never turn into undefined behaviour.
inline int nearest(double x)
{
    const double r = std::nearbyint(x);
    if (!(r >= double(INT_MIN)))
        return INT_MIN;
    if (r > double(INT_MAX))
        return INT_MAX;
    return int(r);
}

} // namespace kapitolo
