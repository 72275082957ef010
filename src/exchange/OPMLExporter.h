#pragma once

// Writes the node tree of a map as an OPML 1.0 document: a head with the document title and a body of
// nested outline elements, one per node, each with the node title in its "text" attribute.
//
// Titles pass through addingUnicodeEntities; line breaks and tabs are then written as character
// references, so a parser gives them back instead of blanks, and characters XML cannot carry are
// dropped, so the document is always well-formed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "exchange/StringBuilder.h"
#include "model/graph/Graph.h"

namespace velquine {

class OPMLExporter {
public:
    OPMLExporter(const Graph& graph, std::string title);

    // Appends the outline element of the node with those of its children nested inside; a node already
    // written by this call is not written again.
    void writeOutline(const Node& node, int depth);
    // Empties the builder and writes the whole document around the outlines of the nodes, in order.
    void writeDocument(const std::vector<Node>& rootNodes);

    // The document of the map's roots, written to the file as UTF-8, atomically. Throws TextError.
    void exportTo(const std::string& path);
    std::optional<std::string> exportData();

    // The text as written inside an attribute value or the title element.
    static std::string escaped(std::string_view text);

    std::string title;
    StringBuilder builder;
    Graph graph;

private:
    void writeOutline(const Node& node, int depth, std::unordered_set<std::int64_t>& visited);
};

} // namespace velquine
