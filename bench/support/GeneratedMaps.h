#pragma once

// Generated maps for the benchmarks: a tree of ten children per node, with titles of 10 to 40 characters and
// a note on every seventh node, laid out as a wide tree (each level a column).

#include "model/graph/Graph.h"
#include "model/project/VQProject.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace velquine {

inline std::string generatedTitle(std::mt19937& random, int i)
{
    static const char* const words[] = {"plan", "budget", "review", "idea", "team", "launch", "draft", "goal",
                                        "market", "design", "test", "notes", "risk", "scope", "users"};
    std::uniform_int_distribution<int> length(10, 40);
    std::uniform_int_distribution<int> word(0, 14);
    const std::size_t wanted = std::size_t(length(random));
    std::string text = std::to_string(i);
    while (text.size() < wanted)
        text += std::string(" ") + words[word(random)];
    return text.substr(0, wanted);
}

// The rows of a tidy tree of ten children per node: leaves one under the other in depth-first order, each
// parent in the middle of its children.
inline std::vector<double> generatedTreeRows(int count)
{
    std::vector<double> row(count + 1, 0);
    double nextLeaf = 0;
    std::vector<std::pair<int, bool>> stack{{1, false}};
    while (!stack.empty()) {
        auto [node, visited] = stack.back();
        stack.pop_back();
        const int first = (node - 1) * 10 + 2;
        if (first > count) {
            row[node] = nextLeaf++;
            continue;
        }
        const int last = std::min(first + 9, count);
        if (visited) {
            row[node] = (row[first] + row[last]) / 2;
            continue;
        }
        stack.push_back({node, true});
        for (int child = last; child >= first; --child)
            stack.push_back({child, false});
    }
    return row;
}

// Ten children per node, each level a column.
inline VQProject generatedWideTree(int count)
{
    VQProject project;
    project.title = "Benchmark map";
    std::mt19937 random(7);
    std::vector<int> depth(count + 1, 0);
    const std::vector<double> rows = generatedTreeRows(count);
    for (int i = 1; i <= count; ++i) {
        std::optional<std::int64_t> parent;
        if (i > 1) {
            parent = (i - 2) / 10 + 1;
            depth[i] = depth[*parent] + 1;
        }
        const NodeStyle& style = i == 1 ? project.projectStyle.current.rootNodeStyle
                                 : depth[i] == 1 ? project.projectStyle.current.mainNodeStyle
                                                 : project.projectStyle.current.subNodeStyle;
        Node node(i, parent, style);
        node.title = generatedTitle(random, i);
        if (i % 7 == 0)
            node.note = "A note on node " + std::to_string(i) + ": " + generatedTitle(random, i);
        node.center = {depth[i] * 360.0, rows[i] * 44.0};
        node.size = {7.5 * double(node.title.size()) + 20, 32.0};
        for (int c = 0; c < 10; ++c) {
            const std::int64_t child = static_cast<std::int64_t>(i - 1) * 10 + 2 + c;
            if (child <= count)
                node.childrenUIDs.push_back(child);
        }
        project.graph.setNode(node, i);
    }
    return project;
}

} // namespace velquine
