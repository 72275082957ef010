#pragma once

// One colour pair of a project style's palette: the fill a main node may take, and the stroke it takes as
// its border and branch colour (and which stands for the entry in swatch lists).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Color.h"

namespace velquine {

struct PaletteEntry {
    Color fillColor;
    Color strokeColor;

    // Fill and stroke from two 0xRRGGBB integers, as opaque calibrated RGB; bits above 23 are ignored.
    static PaletteEntry fromRGB(std::uint32_t fillRGB, std::uint32_t strokeRGB);
    // One entry per colour, in order, with that colour as both fill and stroke.
    static std::vector<PaletteEntry> entries(const std::vector<Color>& colors);

    // The entry text: {"fillColor": <colour text>, "strokeColor": <colour text>}.
    std::string jsonValue() const;
    // An entry from its text: "fillColor" then "strokeColor" read as texts, then the fill colour and then the
    // stroke colour made from them. Throws as colorFromJsonString and getString do.
    static PaletteEntry fromJsonString(std::string_view jsonString);

    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

} // namespace velquine
