#pragma once

// Small trees for the layouter tests.

#include "model/graph/Graph.h"
#include "platform/NumberText.h"

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velquine::testing {

inline Node treeNode(std::int64_t uid, std::optional<std::int64_t> parent, Point center, Size size,
                     std::vector<std::int64_t> children = {}, NodeShape shape = NodeShape::rect)
{
    Node node(uid, parent, NodeStyle());
    node.center = center;
    node.size = size;
    node.childrenUIDs = std::move(children);
    node.shape = shape;
    node.title = "node " + std::to_string(uid);
    return node;
}

inline Graph graphOf(const std::vector<Node>& nodes)
{
    Graph graph;
    graph.storeNodes(nodes);
    return graph;
}

// Each node's centre as "(x, y)", by identifier.
using Centers = std::map<std::int64_t, std::string>;

inline Centers centersOf(const std::vector<Node>& nodes)
{
    Centers centers;
    for (const Node& node : nodes) {
        if (!centers.emplace(node.uid, formatPoint(node.center)).second)
            throw std::runtime_error("node " + std::to_string(node.uid) + " comes back twice");
    }
    return centers;
}

inline std::vector<std::int64_t> uidsOf(const std::vector<Node>& nodes)
{
    std::vector<std::int64_t> uids;
    for (const Node& node : nodes)
        uids.push_back(node.uid);
    return uids;
}

inline const Node& find(const std::vector<Node>& nodes, std::int64_t uid)
{
    for (const Node& node : nodes) {
        if (node.uid == uid)
            return node;
    }
    throw std::runtime_error("node " + std::to_string(uid) + " is missing");
}

// Root 1 at (0, 0), 100 by 40, with two childless children 2 and 3 of 80 by 30.
inline std::vector<Node> rootWithTwoChildren(NodeShape childShape = NodeShape::rect)
{
    return {treeNode(1, std::nullopt, {0, 0}, {100, 40}, {2, 3}),
            treeNode(2, 1, {0, 0}, {80, 30}, {}, childShape), treeNode(3, 1, {0, 0}, {80, 30}, {}, childShape)};
}

} // namespace velquine::testing
