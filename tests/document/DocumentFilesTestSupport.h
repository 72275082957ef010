#pragma once

// Shared pieces of the document file tests: the shape of a graph as text, with the throw-away folders of
// support/TempFiles.h and the project of support/RichProject.h.

#include <gtest/gtest.h>

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "support/RichProject.h"
#include "support/TempFiles.h"
#include "document/VQDocument.h"
#include "model/graph/Graph.h"

namespace velquine::testing {

inline std::string cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation).toStdString();
}

inline std::string dataFile(const std::string& name)
{
    return std::string(VELQUINE_TEST_DATA_DIR) + "/documents/" + name;
}

// One tree as "title(child,child(grandchild))".
inline std::string treeText(const Graph& graph, const Node& node, int depth = 0)
{
    std::string text = node.title;
    if (node.childrenUIDs.empty() || depth > 64)
        return text;
    text += '(';
    bool first = true;
    for (std::int64_t uid : node.childrenUIDs) {
        if (!first)
            text += ',';
        first = false;
        if (const Node* child = graph.findNode(uid))
            text += treeText(graph, *child, depth + 1);
    }
    text += ')';
    return text;
}

// Every tree of the graph, sorted.
inline std::vector<std::string> forestText(const Graph& graph)
{
    std::vector<std::string> trees;
    for (const auto& [uid, node] : graph.nodeBin())
        if (!node.parentUID)
            trees.push_back(treeText(graph, node));
    std::sort(trees.begin(), trees.end());
    return trees;
}

} // namespace velquine::testing
