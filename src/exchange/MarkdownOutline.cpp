#include "exchange/MarkdownOutline.h"

#include <optional>

namespace velquine {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Up to three spaces of indentation, as headings and fences allow.
std::size_t markIndent(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && i < 3 && line[i] == ' ')
        ++i;
    return i;
}

// The fence character of a line that opens or closes a fenced code block ("```" or "~~~").
std::optional<char> fence(std::string_view line)
{
    const std::size_t i = markIndent(line);
    if (i + 3 > line.size())
        return std::nullopt;
    const char c = line[i];
    if ((c != '`' && c != '~') || line[i + 1] != c || line[i + 2] != c)
        return std::nullopt;
    return c;
}

// The outline form of an ATX heading, or nothing for any other line.
std::optional<std::string> headingLine(std::string_view line)
{
    std::size_t i = markIndent(line);
    const std::size_t marksStart = i;
    while (i < line.size() && line[i] == '#')
        ++i;
    const std::size_t level = i - marksStart;
    if (level == 0 || (i < line.size() && !isBlank(line[i])))
        return std::nullopt;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    // A title is kept whole, a closing run of "#" included: titles are data, and ours are written unchanged.
    std::string_view title = line.substr(i);
    std::size_t end = title.size();
    while (end > 0 && isBlank(title[end - 1]))
        --end;
    return std::string(level - 1, '\t') + std::string(title.substr(0, end));
}

} // namespace

std::string markdownOutlineText(std::string_view markdown)
{
    std::string out;
    out.reserve(markdown.size());
    char openFence = 0; // the fence character of the open code block, 0 outside one
    std::size_t start = 0;
    while (start <= markdown.size()) {
        std::size_t end = markdown.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last)
            end = markdown.size();
        std::string_view line = markdown.substr(start, end - start);
        std::string_view content = line;
        if (!content.empty() && content.back() == '\r')
            content.remove_suffix(1);

        const std::optional<char> lineFence = fence(content);
        std::optional<std::string> heading;
        if (openFence != 0) {
            if (lineFence && *lineFence == openFence)
                openFence = 0;
        } else if (lineFence) {
            openFence = *lineFence;
        } else {
            heading = headingLine(content);
        }
        if (heading) {
            out += *heading;
            if (content.size() < line.size())
                out += '\r';
        } else {
            out += line;
        }
        if (last)
            break;
        out += '\n';
        start = end + 1;
    }
    return out;
}

} // namespace velquine
