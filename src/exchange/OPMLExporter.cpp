#include "exchange/OPMLExporter.h"

#include "exchange/HTMLEscaping.h"
#include "exchange/OutlineWalk.h"
#include "base/Utf8.h"

namespace velquine {

OPMLExporter::OPMLExporter(const Graph& graph, std::string title)
    : title(std::move(title)), graph(graph)
{
}

std::string OPMLExporter::escaped(std::string_view text)
{
    const std::string entities = addingUnicodeEntities(text);
    std::string out;
    out.reserve(entities.size());
    std::size_t pos = 0;
    while (pos < entities.size()) {
        const char32_t c = utf8::decodeNext(entities, pos);
        switch (c) {
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\t':
            out += "&#9;";
            break;
        default:
            // XML 1.0 has no place for the other C0 controls, U+FFFE and U+FFFF (nor for malformed UTF-8,
            // read here as U+FFFD).
            if (c >= 0x20 && c != 0xFFFE && c != 0xFFFF)
                utf8::append(out, c);
        }
    }
    return out;
}

void OPMLExporter::writeOutline(const Node& node, int depth)
{
    std::unordered_set<std::int64_t> visited;
    writeOutline(node, depth, visited);
}

void OPMLExporter::writeOutline(const Node& start, int depth, std::unordered_set<std::int64_t>& visited)
{
    detail::walkOutline(
        graph, start, depth, visited,
        [&](const Node& node, int) {
            builder.append("<outline text=\"");
            builder.append(escaped(node.title));
            builder.append("\">");
        },
        [&](const Node&, int) { builder.appendLine("</outline>"); });
}

void OPMLExporter::writeDocument(const std::vector<Node>& rootNodes)
{
    builder.clear();
    builder.appendLine("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    builder.appendLine("<opml version=\"1.0\">");
    builder.appendLine("<head>");
    builder.append("<title>").append(escaped(title)).appendLine("</title>");
    builder.appendLine("</head>");
    builder.appendLine("<body>");
    std::unordered_set<std::int64_t> visited;
    for (const Node& node : rootNodes)
        writeOutline(node, 0, visited);
    builder.appendLine("</body>");
    builder.appendLine("</opml>");
}

void OPMLExporter::exportTo(const std::string& path)
{
    const auto data = exportData();
    detail::writeFileAtomically(path, *data);
}

std::optional<std::string> OPMLExporter::exportData()
{
    std::vector<Node> roots;
    for (const Node* root : detail::exportRoots(graph))
        roots.push_back(*root);
    writeDocument(roots);
    return builder.toString();
}

} // namespace velquine
