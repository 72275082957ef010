#include "exchange/PlainTextImporter.h"

#include "base/Lines.h"
#include "base/Utf8.h"

#include <algorithm>
#include <array>
#include <optional>

namespace velquine {

namespace {

// Line breaks: line feed, vertical tab, form feed, carriage return, next line, line and paragraph
// separators.
bool isNewline(char32_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// White space of Unicode, line breaks included.
bool isWhitespace(char32_t c)
{
    return c == 0x09 || c == 0x20 || isNewline(c) || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F
        || c == 0x205F || c == 0x3000;
}

bool isBullet(char32_t c)
{
    static constexpr std::array<char32_t, 7> bullets{0x2022, U'-', U'*', 0x2023, 0x25E6, 0x2043, 0x2219};
    return std::find(bullets.begin(), bullets.end(), c) != bullets.end();
}

// The character at pos, moving pos past it; ASCII, nearly all of an outline, without a call.
char32_t decodeNext(std::string_view text, std::size_t& pos)
{
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
        ++pos;
        return byte;
    }
    return utf8::decodeNext(text, pos);
}

// The byte offset of the first character that is not white space (the size when there is none).
std::size_t leadingWhitespaceLength(std::string_view line)
{
    // Indentation: tabs or blanks, as long as it may be.
    std::size_t pos = 0;
    while (pos < line.size() && (line[pos] == '\t' || line[pos] == ' '))
        ++pos;
    while (pos < line.size()) {
        std::size_t next = pos;
        if (!isWhitespace(decodeNext(line, next)))
            break;
        pos = next;
    }
    return pos;
}

std::vector<std::string_view> splitAtNewlines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t here = pos;
        if (isNewline(decodeNext(text, pos))) {
            lines.push_back(text.substr(start, here - start));
            start = pos;
        }
    }
    lines.push_back(text.substr(start));
    return lines;
}

} // namespace

std::string PlainTextImporter::stripBullet(std::string_view line)
{
    const std::size_t indent = leadingWhitespaceLength(line);
    if (indent == line.size())
        return std::string(line);
    std::size_t after = indent;
    if (!isBullet(decodeNext(line, after)))
        return std::string(line);
    std::string stripped(line.substr(0, indent));
    stripped.append(line.substr(after));
    return stripped;
}

std::size_t PlainTextImporter::indentLevel(std::string_view line)
{
    if (line.empty())
        return 0;
    if (line.front() == '\t' || line.front() == ' ') {
        const char indent = line.front();
        const std::size_t end = line.find_first_not_of(indent);
        return end == std::string_view::npos ? line.size() : end;
    }
    return line.front() == '-' ? 1 : 0;
}

NodeStyle PlainTextImporter::importStyle()
{
    NodeStyle style;
    style.borderWidth = StrokeThickness::medium;
    style.borderColor = Color::black();
    style.fillColor = Color::white();
    style.borderStyle = StrokeStyle::solid;
    style.branchColor = Color::black();
    style.branchStyle = StrokeStyle::solid;
    style.branchWidth = StrokeThickness::medium;
    style.textColor = Color::black();
    style.textAlignment = static_cast<std::int64_t>(TextAlignment::center);
    style.font = Font::systemFont(32.0);
    style.userOverrides = NodeStyle::UserOverride();
    style.isUnderlined = false;
    style.isStrikeThrough = false;
    style.imagePosition = ImagePosition::trailing;
    return style;
}

std::vector<PlainTextImporter::PlainTextAstNode> PlainTextImporter::parseNodes(const std::vector<std::string_view>& lines)
{
    std::vector<PlainTextAstNode> parsed;
    parsed.reserve(std::max<std::size_t>(lines.size(), 1));
    if (lines.empty()) {
        parsed.push_back(PlainTextAstNode{});
        return parsed;
    }
    // The open nodes, innermost last, with the level their children must exceed. The first line of
    // every top-level tree counts as level 0, whatever its own indentation.
    struct Open {
        std::size_t level;
        std::size_t index;
    };
    std::vector<Open> open;
    for (std::string_view line : lines) {
        const std::size_t level = indentLevel(line);
        while (!open.empty() && level <= open.back().level)
            open.pop_back();
        const bool startsTree = open.empty();
        const std::size_t index = parsed.size();
        if (!startsTree)
            parsed[open.back().index].children.push_back(index);
        parsed.push_back(PlainTextAstNode{std::string(line.substr(leadingWhitespaceLength(line))), {}});
        open.push_back(Open{startsTree ? 0 : level, index});
    }
    return parsed;
}

std::vector<Node> PlainTextImporter::makeNodes(const std::vector<PlainTextAstNode>& parsed)
{
    // Identifiers are drawn in pre-order, a node before its children, which is the parsed order.
    std::vector<std::int64_t> uids;
    uids.reserve(parsed.size());
    for (std::size_t i = 0; i < parsed.size(); ++i)
        uids.push_back(nextNodeUID());

    const NodeStyle style = importStyle();
    const Node base(-1, std::nullopt, style);
    std::vector<Node> nodes(parsed.size(), base);
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        Node& node = nodes[i];
        node.uid = uids[i];
        node.title = parsed[i].title;
        node.childrenUIDs.reserve(parsed[i].children.size());
        for (std::size_t child : parsed[i].children) {
            node.childrenUIDs.push_back(uids[child]);
            nodes[child].parentUID = uids[i];
        }
    }
    return nodes;
}

std::vector<Node> PlainTextImporter::importNodes(std::string_view text)
{
    std::string joined;
    joined.reserve(text.size());
    bool first = true;
    for (std::string_view line : splitAtNewlines(text)) {
        if (!first)
            joined += '\n';
        first = false;
        joined += stripBullet(line);
    }
    if (joined.empty())
        return {};

    const std::string kept = removingBlankLines(joined);
    std::vector<std::string_view> lines;
    if (!kept.empty()) {
        for (std::size_t start = 0;;) {
            const std::size_t end = kept.find('\n', start);
            lines.push_back(std::string_view(kept).substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    return makeNodes(parseNodes(lines));
}

} // namespace velquine
