#include "model/style/StrokeThickness.h"

namespace velquine {

std::optional<StrokeThickness> strokeThicknessFromRawValue(std::int64_t rawValue)
{
    if (rawValue < 0 || rawValue > 6)
        return std::nullopt;
    return static_cast<StrokeThickness>(rawValue);
}

} // namespace velquine
