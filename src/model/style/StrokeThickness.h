#pragma once

// The thickness of a node's outline or branch, in seven steps.

#include <cstdint>
#include <optional>

namespace velquine {

enum class StrokeThickness : std::int64_t {
    invisible = 0,
    thinnest = 1,
    thin = 2,
    medium = 3,
    thick = 4,
    thicker = 5,
    thickest = 6,
};

inline std::int64_t rawValue(StrokeThickness thickness) { return static_cast<std::int64_t>(thickness); }

// The step for 0 to 6, nothing for any other number.
std::optional<StrokeThickness> strokeThicknessFromRawValue(std::int64_t rawValue);

} // namespace velquine
