#pragma once

// Writes the node tree of a map as a bulleted, indented list of styled paragraphs, one per node, and
// saves it as RTF or as a Word document, or hands back RTF for the pasteboard. A node's paragraph is
// an item of the bulleted list at its level, its text indented by 36 points more per level with the bullet
// hanging in the step before it, and carries the
// character attributes of the first character of the node's styled title (font, colour, underline,
// strike-through); the title's own alignment is not carried over.
//
// A kept colour stays readable on the reader's white page: a title whose colour stands out too little from
// white (a light title of a dark theme) is shaded with the colour it is drawn on in the map, its node's fill
// over the map's background, or where that sets it off too little with the background alone. A title that
// none of these sets off enough gets the one that sets it off most, so it reads at least as well as in the
// map.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

#include "exchange/RichTextDocument.h"
#include "model/graph/Graph.h"
#include "platform/AttributedString.h"
#include "platform/Color.h"

namespace velquine {

class RichTextExporter {
public:
    struct Options {
        // False: the paragraphs carry no text colour, so the text takes the reader's default colour.
        bool keepColors = true;
    };

    // The least contrast ratio (as the web's accessibility guidelines reckon it) between a title and what is
    // behind it.
    static constexpr double minimumContrast = 4.5;

    // The map's background colour defaults to white.
    explicit RichTextExporter(const Graph& graph, const Color& backgroundColor = Color::white());

    // Appends the paragraph of the node (level from 0, item number from 1) and then those of its
    // children; a node already written by this call is not written again.
    void appendNode(const Node& node, int level, int itemNumber);

    // Writes the whole outline as a Word document when the path's extension is "docx" or as RTF when it
    // is "rtf", compared without case. Throws TextError for any other extension (nothing is written)
    // and when the file cannot be written.
    void exportTo(const std::string& path);
    // The RTF of the whole outline.
    std::optional<std::string> rtfData();

    // The character attributes the writers take from a styled title's first character.
    static RichTextAttributes attributesOf(const TextAttributes& attributes, bool keepColors);

    RichTextDocument builder;
    Graph graph;
    Options options;
    // The colour the map is drawn on.
    Color backgroundColor;

private:
    void appendNode(const Node& node, int level, std::unordered_set<std::int64_t>& visited);
    void appendRoots();
    // Shades a title whose kept colour would not stand out on the page.
    void keepReadable(RichTextAttributes& attributes, const Node& node) const;
};

} // namespace velquine
