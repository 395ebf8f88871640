#pragma once
// Colour stops for linear and radial fills.

#include "platform/graphics/Color.h"

#include <vector>

namespace morvix::platform {

/// An ordered list of colour stops, each at a location from 0 to 1. Plain value type.
struct Gradient {
    struct Stop {
        double location = 0;
        Color color;
        bool operator==(const Stop&) const = default;
    };
    std::vector<Stop> stops;

    /// The colours spread evenly from 0 to 1 in the given order (one colour sits at 0).
    static Gradient evenlySpaced(const std::vector<Color>& colors);

    bool operator==(const Gradient&) const = default;
};

} // namespace morvix::platform
