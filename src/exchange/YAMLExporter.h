#pragma once

// Writes the node tree of a map as a YAML outline: a node with children is a key whose value is the
// list of its children, a node without children a plain entry. Each level is indented by two spaces
// (YAML forbids tabs there), and a title that YAML would read as something else than the same text (an
// empty title, one that starts with an indicator or a digit, holds ": " or " #", or reads as true,
// null and the like) is written in double quotes with escapes.
//
// Several roots give several top-level entries one after the other, which YAML parsers only accept as
// one document when there is a single root.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "exchange/StringBuilder.h"
#include "model/graph/Graph.h"

namespace velquine {

class YAMLExporter {
public:
    explicit YAMLExporter(const Graph& graph);

    // Appends the line of the node and then those of its children, one level deeper; a node already
    // written by this call is not written again.
    void writeNode(const Node& node, int depth);

    void exportTo(const std::string& path);
    std::optional<std::string> exportData();

    // The title as a YAML scalar: unchanged when YAML reads it back as the same text, else quoted.
    static std::string scalar(std::string_view title);

    StringBuilder builder;
    Graph graph;

private:
    void writeNode(const Node& node, int depth, std::unordered_set<std::int64_t>& visited);
    void writeRoots();
};

} // namespace velquine
