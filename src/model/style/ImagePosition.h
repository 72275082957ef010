#pragma once

// Where a node's image sits relative to its title. Keyed as a one-key object, {"trailing":{}}.

#include <array>
#include <string_view>

#include "model/style/OneKeyCoding.h"

namespace velquine {

enum class ImagePosition {
    above,
    trailing,
    below,
    leading,
};

template <>
struct CaseNames<ImagePosition> {
    static constexpr std::string_view typeName = "ImagePosition";
    static constexpr std::array<std::string_view, 4> names{"above", "trailing", "below", "leading"};
};

} // namespace velquine
