#pragma once

// Writes the node tree of a map as Markdown headings: one "#" more per level, an empty line after each.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

#include "exchange/StringBuilder.h"
#include "model/graph/Graph.h"

namespace velquine {

class MarkdownExporter {
public:
    struct Options {
        // Carried with the options; it changes nothing in the text.
        bool exportImages = false;
    };

    explicit MarkdownExporter(const Graph& graph);
    MarkdownExporter(const Graph& graph, Options options);

    // Appends the heading of the node and then those of its children, one level deeper; a node already
    // written by this call is not written again.
    void writeNode(const Node& node, int depth);

    // As PlainTextExporter: the outline of every root appended, then written atomically or returned.
    void exportTo(const std::string& path);
    std::optional<std::string> exportData();

    Options options;
    StringBuilder builder;
    Graph graph;

private:
    void writeNode(const Node& node, int depth, std::unordered_set<std::int64_t>& visited);
    void writeRoots();
};

} // namespace velquine
