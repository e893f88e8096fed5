#pragma once

#include <QString>

#include <optional>

namespace kapitolo {

struct ScreenProperties {
    int width = 0;
    int height = 0;
    int depth = 0; // bits per pixel
};

// The warning shown at start on a screen below 960 x 700 pixels or 15 bits; none otherwise.
std::optional<QString> displayWarning(const ScreenProperties &screen);

} // namespace kapitolo
