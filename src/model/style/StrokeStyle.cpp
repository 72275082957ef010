#include "model/style/StrokeStyle.h"

namespace velquine {

std::optional<StrokeStyle> strokeStyleFromRawValue(std::int64_t rawValue)
{
    for (StrokeStyle style : allStrokeStyles) {
        if (velquine::rawValue(style) == rawValue)
            return style;
    }
    return std::nullopt;
}

std::string_view textName(StrokeStyle style)
{
    switch (style) {
    case StrokeStyle::solid: return "solid";
    case StrokeStyle::dashed: return "dashed";
    case StrokeStyle::dashed2: return "dashed2";
    case StrokeStyle::dashed3: return "dashed3";
    case StrokeStyle::dotted: return "dotted";
    }
    return "solid";
}

} // namespace velquine
