#include "exchange/RichTextExporter.h"

#include "exchange/DocxWriter.h"
#include "exchange/OutlineWalk.h"
#include "exchange/RtfWriter.h"
#include "platform/Log.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velquine {

namespace {

std::uint8_t channel(double component)
{
    if (!std::isfinite(component))
        return 0;
    return static_cast<std::uint8_t>(std::lround(std::clamp(component, 0.0, 1.0) * 255.0));
}

bool endsWith(const std::string& text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Splits a face name such as "DejaVu Sans Bold Oblique" or "Helvetica-BoldItalic" into its family and
// its bold and italic traits.
void applyFace(const std::string& face, RichTextAttributes& attributes)
{
    struct Trait {
        std::string_view word;
        bool bold;
        bool italic;
    };
    static constexpr std::array<Trait, 5> traits{{{"BoldItalic", true, true}, {"BoldOblique", true, true}, {"Bold", true, false},
                                                  {"Italic", false, true}, {"Oblique", false, true}}};
    std::string family = face;
    bool changed = true;
    while (changed) {
        changed = false;
        for (const Trait& trait : traits) {
            for (char separator : {' ', '-'}) {
                const std::string suffix = separator + std::string(trait.word);
                if (family.size() > suffix.size() && endsWith(family, suffix)) {
                    family.resize(family.size() - suffix.size());
                    attributes.bold = attributes.bold || trait.bold;
                    attributes.italic = attributes.italic || trait.italic;
                    changed = true;
                }
            }
        }
    }
    attributes.fontFamily = family;
}

std::string lowercaseExtension(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return {};
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return extension;
}

} // namespace

RichTextExporter::RichTextExporter(const Graph& graph)
    : graph(graph)
{
}

RichTextAttributes RichTextExporter::attributesOf(const TextAttributes& attributes, bool keepColors)
{
    RichTextAttributes result;
    if (attributes.font) {
        applyFace(attributes.font->fontName(), result);
        result.fontSize = attributes.font->pointSize();
    }
    if (keepColors && attributes.foregroundColor) {
        const Color rgb = attributes.foregroundColor->usingDeviceRGB();
        const auto& c = rgb.components();
        if (c.size() >= 3)
            result.foregroundColor = RichTextColor{channel(c[0]), channel(c[1]), channel(c[2])};
    }
    result.underline = attributes.underlineStyle && *attributes.underlineStyle != LineStyle::none;
    result.strikeThrough = attributes.strikethroughStyle && *attributes.strikethroughStyle != LineStyle::none;
    return result;
}

void RichTextExporter::appendNode(const Node& node, int level, int itemNumber)
{
    // Every item of the disc list has the same marker, so the item number changes nothing written.
    (void)itemNumber;
    std::unordered_set<std::int64_t> visited;
    appendNode(node, level, visited);
}

void RichTextExporter::appendNode(const Node& start, int level, std::unordered_set<std::int64_t>& visited)
{
    detail::walkOutline(graph, start, level, visited, [&](const Node& node, int depth) {
        RichTextParagraph paragraph;
        paragraph.listLevel = depth;
        paragraph.headIndent = 20.0 * depth;
        paragraph.firstLineHeadIndent = 20.0 * depth;
        const AttributedString title = node.attributedTitle();
        if (!title.empty())
            paragraph.runs.push_back(RichTextRun{title.string(), attributesOf(title.attributesAt(0), options.keepColors)});
        builder.paragraphs.push_back(std::move(paragraph));
    });
}

void RichTextExporter::appendRoots()
{
    std::unordered_set<std::int64_t> visited;
    for (const Node* root : detail::exportRoots(graph))
        appendNode(*root, 0, visited);
}

void RichTextExporter::exportTo(const std::string& path)
{
    const std::string extension = lowercaseExtension(path);
    if (extension != "docx" && extension != "rtf")
        throw TextError(logLine(__FILE__, "export(to:)", __LINE__,
                                "rich text is written as .rtf or .docx, not as \"" + extension + "\": " + path));
    appendRoots();
    detail::writeFileAtomically(path, extension == "docx" ? DocxWriter::write(builder) : RtfWriter::write(builder));
}

std::optional<std::string> RichTextExporter::rtfData()
{
    appendRoots();
    return RtfWriter::write(builder);
}

} // namespace velquine
