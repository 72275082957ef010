#pragma once

// The outline shape of a node.
//
// Two forms: the stored text of stringValue / nodeShapeFromString, whose reader maps "embedded", "pill",
// "hexagon", "octagon" and every unknown text to roundedRect; and the keyed one-key object {"pill":{}}
// (encodeOneKey / decodeOneKey<NodeShape>), which keeps all eleven cases.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/style/OneKeyCoding.h"

namespace velquine {

enum class NodeShape : std::uint8_t {
    underline,
    rect,
    roundedRect,
    ellipse,
    cloud,
    embedded,
    pill,
    hexagon,
    octagon,
    triangle,
    diamond,
};

template <>
struct CaseNames<NodeShape> {
    static constexpr std::string_view typeName = "NodeShape";
    static constexpr std::array<std::string_view, 11> names{"underline", "rect",    "roundedRect", "ellipse",
                                                            "cloud",     "embedded", "pill",       "hexagon",
                                                            "octagon",   "triangle", "diamond"};
};

// The case name as text.
std::string stringValue(NodeShape shape);

// The shape a stored text stands for; never fails (see above for the fallbacks).
NodeShape nodeShapeFromString(std::string_view string);

} // namespace velquine
