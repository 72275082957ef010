#pragma once

// The background grid of a document: a pattern and the size of one cell.
//
// Keyed form: {"type":{"dots":{}}, "size":[16,16]}, both members required. The document store keeps the grid
// as the compact JSON text of that form.

#include <array>
#include <string>
#include <string_view>

#include "model/style/OneKeyCoding.h"
#include "platform/Geometry.h"
#include "platform/KeyedValue.h"

namespace velquine {

enum class GridType { noGrid, dots, quad, hexagons, diamonds, circles, hearts };

template <>
struct CaseNames<GridType> {
    static constexpr std::string_view typeName = "GridType";
    static constexpr std::array<std::string_view, 7> names{"noGrid",   "dots",    "quad",  "hexagons",
                                                           "diamonds", "circles", "hearts"};
};

// The case whose name is exactly the text (compared with case). Any other text throws a TextError whose line
// ends in "Can not create GridType from " and the text; there is no fallback here, callers choose their own.
GridType gridTypeFromString(std::string_view string);

// A grid has no equality of its own; compare type and size.
struct Grid {
    // Defaults: the grid of a new project, no pattern with cells of 24 by 24 points.
    GridType type = GridType::noGrid;
    Size size{24.0, 24.0};

    // The keyed form, "type" then "size".
    KeyedValue encode() const;
    // A grid from its keyed form. Throws DecodingError for a missing, null or malformed member (a "type" without
    // exactly one case key: "Invalid number of keys found, expected one.").
    static Grid decode(const KeyedValue& from);

    // The keyed form as compact JSON text. Throws JsonError for a size that is not finite and a TextError ending
    // in "fail" when the text is not UTF-8.
    std::string jsonValue() const;
    // A grid from JSON text. Throws a TextError ending in "cannot make data" for text that is not UTF-8,
    // JsonError for text that is not JSON, and what decode throws.
    static Grid fromJsonString(std::string_view jsonString);
};

} // namespace velquine
