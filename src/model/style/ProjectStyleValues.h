#pragma once

// One set of project style values: the canvas background, the style and shape of each tree level (root,
// main nodes, deeper nodes) and the palette main nodes take their colours from.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/style/NodeShape.h"
#include "model/style/NodeStyle.h"
#include "model/style/PaletteEntry.h"
#include "platform/Color.h"

namespace velquine {

struct ProjectStyleValues {
    Color backgroundColor = Color::white();
    NodeStyle rootNodeStyle;
    NodeStyle mainNodeStyle;
    // Whether a main node also takes the fill colour of its palette entry; border and branch colours come
    // from the palette either way.
    bool dynamicMainNodeColors = false;
    NodeStyle subNodeStyle;
    NodeShape rootNodeShape = NodeShape::roundedRect;
    NodeShape mainNodeShape = NodeShape::roundedRect;
    NodeShape subNodeShape = NodeShape::underline;
    // May be empty; the order counts.
    std::vector<PaletteEntry> palette;

    // The entry for a rank among siblings, counted round the palette; nothing when the palette is empty, in
    // which case the level style's own colours stand.
    std::optional<PaletteEntry> paletteEntry(std::size_t rank) const;

    // The values text: a JSON object of nine members, the colours, node styles and palette each as a text
    // of its own held in a string, "dynamicMainNodeColors" as a Boolean. Throws what writing a colour or a
    // node style throws.
    std::string jsonValue() const;
    // Values from their text. Every member but "dynamicMainNodeColors" (false when missing or not a
    // Boolean) is required; the first failure ends the reading. Shapes are read with nodeShapeFromString.
    static ProjectStyleValues fromJsonString(std::string_view jsonString);

    friend bool operator==(const ProjectStyleValues&, const ProjectStyleValues&) = default;
};

} // namespace velquine
