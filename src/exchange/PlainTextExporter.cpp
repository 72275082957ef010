#include "exchange/PlainTextExporter.h"

#include "exchange/OutlineWalk.h"

namespace velquine {

namespace {

std::string_view indentUnit(PlainTextExporter::Options::IndentMode mode)
{
    switch (mode) {
    case PlainTextExporter::Options::IndentMode::twoSpace:
        return "  ";
    case PlainTextExporter::Options::IndentMode::tab:
        return "\t";
    case PlainTextExporter::Options::IndentMode::oneSpace:
        return " ";
    case PlainTextExporter::Options::IndentMode::fourSpace:
        return "    ";
    }
    return "  ";
}

} // namespace

std::optional<PlainTextExporter::Options::IndentMode> PlainTextExporter::Options::makeIndentMode(std::int64_t rawValue)
{
    if (rawValue < 0 || rawValue > 3)
        return std::nullopt;
    return static_cast<IndentMode>(rawValue);
}

PlainTextExporter::PlainTextExporter(const Graph& graph)
    : PlainTextExporter(graph, Options())
{
}

PlainTextExporter::PlainTextExporter(const Graph& graph, Options options)
    : graph(graph), options(options)
{
}

void PlainTextExporter::appendNode(const Node& node, int level)
{
    std::unordered_set<std::int64_t> visited;
    appendNode(node, level, visited);
}

void PlainTextExporter::appendNode(const Node& start, int level, std::unordered_set<std::int64_t>& visited)
{
    const std::string_view unit = indentUnit(options.indentMode);
    detail::walkOutline(graph, start, level, visited, [&](const Node& node, int depth) {
        for (int i = 0; i < depth; ++i)
            builder.append(unit);
        if (options.hyphenate && node.parentUID)
            builder.append("- ");
        builder.append(node.title);
        builder.appendLine(options.appendColon && !node.childrenUIDs.empty() ? ":" : "");
    });
}

void PlainTextExporter::appendRoots()
{
    std::unordered_set<std::int64_t> visited;
    for (const Node* root : detail::exportRoots(graph))
        appendNode(*root, 0, visited);
}

void PlainTextExporter::exportTo(const std::string& path)
{
    appendRoots();
    detail::writeFileAtomically(path, builder.toString());
}

std::optional<std::string> PlainTextExporter::exportData()
{
    appendRoots();
    return builder.toString();
}

} // namespace velquine
