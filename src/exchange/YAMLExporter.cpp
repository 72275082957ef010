#include "exchange/YAMLExporter.h"

#include "exchange/OutlineWalk.h"
#include "base/Utf8.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace velquine {

namespace {

bool needsQuotes(std::string_view title)
{
    if (title.empty())
        return true;
    // Characters that begin something other than a plain scalar, and the first characters of numbers,
    // dates and times.
    static constexpr std::string_view indicators = "-?:,[]{}#&*!|>'\"%@`+.0123456789 \t";
    if (indicators.find(title.front()) != std::string_view::npos)
        return true;
    if (title.back() == ' ' || title.back() == '\t' || title.back() == ':')
        return true;
    if (title.find(": ") != std::string_view::npos || title.find(" #") != std::string_view::npos
        || title.find(":\t") != std::string_view::npos || title.find("\t#") != std::string_view::npos)
        return true;
    std::size_t pos = 0;
    while (pos < title.size()) {
        const char32_t c = utf8::decodeNext(title, pos);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFEFF || c == 0xFFFE
            || c == 0xFFFF || c == utf8::replacementCharacter)
            return true;
    }
    // Words YAML reads as booleans or null.
    static constexpr std::array<std::string_view, 11> words{"null", "true", "false", "yes", "no", "on", "off", "y", "n", "~", "="};
    std::string lower(title);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return std::find(words.begin(), words.end(), lower) != words.end();
}

std::string quoted(std::string_view title)
{
    std::string out = "\"";
    std::size_t pos = 0;
    while (pos < title.size()) {
        const char32_t c = utf8::decodeNext(title, pos);
        char buffer[12];
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case 0x85:
            out += "\\N";
            break;
        case 0x2028:
            out += "\\L";
            break;
        case 0x2029:
            out += "\\P";
            break;
        default:
            if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) {
                std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(c));
                out += buffer;
            } else if (c == 0xFEFF || c == 0xFFFE || c == 0xFFFF) {
                std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
                out += buffer;
            } else {
                utf8::append(out, c);
            }
        }
    }
    out += '"';
    return out;
}

} // namespace

YAMLExporter::YAMLExporter(const Graph& graph)
    : graph(graph)
{
}

std::string YAMLExporter::scalar(std::string_view title)
{
    return needsQuotes(title) ? quoted(title) : std::string(title);
}

void YAMLExporter::writeNode(const Node& node, int depth)
{
    std::unordered_set<std::int64_t> visited;
    writeNode(node, depth, visited);
}

void YAMLExporter::writeNode(const Node& start, int depth, std::unordered_set<std::int64_t>& visited)
{
    detail::walkOutline(graph, start, depth, visited, [&](const Node& node, int level) {
        builder.append(std::string(static_cast<std::size_t>(level) * 2, ' '));
        if (node.parentUID)
            builder.append("- ");
        builder.append(scalar(node.title));
        builder.appendLine(node.childrenUIDs.empty() ? "" : ":");
    });
}

void YAMLExporter::writeRoots()
{
    std::unordered_set<std::int64_t> visited;
    for (const Node* root : detail::exportRoots(graph))
        writeNode(*root, 0, visited);
}

void YAMLExporter::exportTo(const std::string& path)
{
    writeRoots();
    detail::writeFileAtomically(path, builder.toString());
}

std::optional<std::string> YAMLExporter::exportData()
{
    writeRoots();
    return builder.toString();
}

} // namespace velquine
