#pragma once

// Small maps for the exporter and importer tests.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "exchange/PlainTextImporter.h"
#include "model/graph/Graph.h"

namespace velquine::testing {

inline Node makeNode(std::int64_t uid, std::optional<std::int64_t> parent, std::string title, std::vector<std::int64_t> children = {})
{
    Node node(uid, parent, NodeStyle());
    node.title = std::move(title);
    node.childrenUIDs = std::move(children);
    return node;
}

// A root "Plan" with children "A" and "B", and "A" with one child "A1".
inline Graph planGraph()
{
    Graph graph;
    graph.updateNodes({makeNode(1, std::nullopt, "Plan", {2, 4}), makeNode(2, 1, "A", {3}), makeNode(3, 2, "A1"), makeNode(4, 1, "B")});
    return graph;
}

// The trees of the nodes as text: one line per node, two spaces per depth, roots in the given order.
inline std::string treeText(const std::vector<Node>& nodes)
{
    std::map<std::int64_t, const Node*> byUID;
    for (const Node& node : nodes)
        byUID[node.uid] = &node;
    std::string text;
    std::function<void(const Node&, int)> write = [&](const Node& node, int depth) {
        text += std::string(static_cast<std::size_t>(depth) * 2, ' ') + node.title + "\n";
        for (std::int64_t child : node.childrenUIDs) {
            if (const auto found = byUID.find(child); found != byUID.end())
                write(*found->second, depth + 1);
        }
    };
    for (const Node& node : nodes) {
        if (!node.parentUID)
            write(node, 0);
    }
    return text;
}

inline std::string treeText(const Graph& graph)
{
    return treeText(graph.allNodes());
}

} // namespace velquine::testing
