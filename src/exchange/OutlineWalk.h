#pragma once

// The walk every exporter makes over a map: the roots are the nodes without a parent, in the node bin's
// order; the children of a node are its childrenUIDs found in the graph, in order, missing identifiers
// skipped. The walk keeps its own stack, so no depth of tree can exhaust the call stack, and it visits
// each node at most once per visited set, so a damaged tree whose children lists form a cycle is
// written once.

#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "model/graph/Graph.h"

namespace velquine::detail {

// The export roots of the graph, as stored in it.
std::vector<const Node*> exportRoots(const Graph& graph);

// Calls enter(node, level) for the node and then, depth first, for each not yet visited descendant,
// and leave(node, level) after a node's children. Nodes already in `visited` are skipped with their
// subtrees; every entered node is added.
template <typename Enter, typename Leave>
void walkOutline(const Graph& graph, const Node& start, int level, std::unordered_set<std::int64_t>& visited, Enter&& enter,
                 Leave&& leave)
{
    if (!visited.insert(start.uid).second)
        return;
    struct Frame {
        const Node* node;
        int level;
        std::size_t nextChild;
    };
    std::vector<Frame> stack;
    stack.push_back(Frame{&start, level, 0});
    enter(start, level);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const Node* child = nullptr;
        while (!child && frame.nextChild < frame.node->childrenUIDs.size()) {
            const Node* candidate = graph.findNode(frame.node->childrenUIDs[frame.nextChild++]);
            if (candidate && visited.insert(candidate->uid).second)
                child = candidate;
        }
        if (!child) {
            leave(*frame.node, frame.level);
            stack.pop_back();
            continue;
        }
        const int childLevel = frame.level + 1;
        stack.push_back(Frame{child, childLevel, 0});
        enter(*child, childLevel);
    }
}

// The same without a leave call.
template <typename Enter>
void walkOutline(const Graph& graph, const Node& start, int level, std::unordered_set<std::int64_t>& visited, Enter&& enter)
{
    walkOutline(graph, start, level, visited, std::forward<Enter>(enter), [](const Node&, int) {});
}

// Writes UTF-8 text to a file through replaceFileContents: the target changes only once the whole text is on
// the disk. Throws TextError with the file system's reason.
void writeFileAtomically(const std::string& path, const std::string& text);

} // namespace velquine::detail
