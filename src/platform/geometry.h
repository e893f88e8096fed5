#pragma once

namespace kapitolo {

// Four 64-bit floats in the order left, top, right, bottom.
struct RectD {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;

    bool operator==(const RectD &) const = default;
};

} // namespace kapitolo
