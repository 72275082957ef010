#pragma once

// Writes the node tree of a map as an indented plain-text outline: one line per node, indented once per
// level, with an optional "- " before every node that has a parent and an optional ":" after every
// node that lists children.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

#include "exchange/StringBuilder.h"
#include "model/graph/Graph.h"

namespace velquine {

class PlainTextExporter {
public:
    struct Options {
        // The raw values are what the export module stores.
        enum class IndentMode : std::int64_t { twoSpace = 0, tab = 1, oneSpace = 2, fourSpace = 3 };
        // None for a raw value outside 0 to 3.
        static std::optional<IndentMode> makeIndentMode(std::int64_t rawValue);

        IndentMode indentMode = IndentMode::twoSpace;
        bool appendColon = false;
        bool hyphenate = false;
    };

    explicit PlainTextExporter(const Graph& graph);
    PlainTextExporter(const Graph& graph, Options options);

    // Appends the line of the node and then those of its children, one level deeper. A node already
    // written by this call (a damaged, circular tree) is not written again.
    void appendNode(const Node& node, int level);

    // Appends the outline of every root, then writes the whole text to the file as UTF-8, atomically.
    // Throws TextError when the file cannot be written.
    void exportTo(const std::string& path);
    // Appends the outline of every root and returns the whole text. Neither call empties the builder.
    std::optional<std::string> exportData();

    StringBuilder builder;
    Graph graph;
    Options options;

private:
    void appendNode(const Node& node, int level, std::unordered_set<std::int64_t>& visited);
    void appendRoots();
};

} // namespace velquine
