#pragma once

// The stroke pattern of a node's outline or branch. The raw values are stored and are not the positions of the
// cases.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velquine {

enum class StrokeStyle : std::int64_t {
    solid = 0,
    dashed = 10,
    dashed2 = 8,
    dashed3 = 6,
    dotted = 2,
};

// The cases in declaration order.
inline constexpr std::array<StrokeStyle, 5> allStrokeStyles{
    StrokeStyle::solid, StrokeStyle::dashed, StrokeStyle::dashed2, StrokeStyle::dashed3, StrokeStyle::dotted};

inline std::int64_t rawValue(StrokeStyle style) { return static_cast<std::int64_t>(style); }

// The style for exactly 0, 2, 6, 8 or 10; nothing for any other number.
std::optional<StrokeStyle> strokeStyleFromRawValue(std::int64_t rawValue);

// "solid", "dashed", "dashed2", "dashed3", "dotted".
std::string_view textName(StrokeStyle style);

// The style whose text name is exactly the text. Any other text throws a TextError whose line ends in
// "Can not create stroke style from: " and the text. (Defined with NodeStyle, whose file its error line names.)
StrokeStyle strokeStyleFromString(std::string_view string);

} // namespace velquine
