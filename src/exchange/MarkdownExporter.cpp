#include "exchange/MarkdownExporter.h"

#include "exchange/OutlineWalk.h"

namespace velquine {

MarkdownExporter::MarkdownExporter(const Graph& graph)
    : MarkdownExporter(graph, Options())
{
}

MarkdownExporter::MarkdownExporter(const Graph& graph, Options options)
    : options(options), graph(graph)
{
}

void MarkdownExporter::writeNode(const Node& node, int depth)
{
    std::unordered_set<std::int64_t> visited;
    writeNode(node, depth, visited);
}

void MarkdownExporter::writeNode(const Node& start, int depth, std::unordered_set<std::int64_t>& visited)
{
    detail::walkOutline(graph, start, depth, visited, [&](const Node& node, int level) {
        builder.append(std::string(static_cast<std::size_t>(level) + 1, '#'));
        builder.append(" ");
        builder.appendLine(node.title);
        builder.appendLine("");
    });
}

void MarkdownExporter::writeRoots()
{
    std::unordered_set<std::int64_t> visited;
    for (const Node* root : detail::exportRoots(graph))
        writeNode(*root, 0, visited);
}

void MarkdownExporter::exportTo(const std::string& path)
{
    writeRoots();
    detail::writeFileAtomically(path, builder.toString());
}

std::optional<std::string> MarkdownExporter::exportData()
{
    writeRoots();
    return builder.toString();
}

} // namespace velquine
