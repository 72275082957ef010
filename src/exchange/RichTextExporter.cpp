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

double unit(double component)
{
    return std::isfinite(component) ? std::clamp(component, 0.0, 1.0) : 0.0;
}

// Paints the colour, with its opacity, over an opaque red, green and blue.
void paintOver(std::array<double, 3>& below, const Color& color)
{
    const Color rgb = color.usingDeviceRGB();
    const std::vector<double>& c = rgb.components();
    if (c.size() < 4)
        return;
    const double alpha = unit(c[3]);
    for (std::size_t i = 0; i < 3; ++i)
        below[i] = unit(c[i]) * alpha + below[i] * (1.0 - alpha);
}

// The relative luminance of an sRGB colour and the contrast ratio of two colours, from 1 to 21.
double luminance(const RichTextColor& color)
{
    const auto linear = [](std::uint8_t value) {
        const double v = value / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.red) + 0.7152 * linear(color.green) + 0.0722 * linear(color.blue);
}

double contrastRatio(const RichTextColor& a, const RichTextColor& b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
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

RichTextExporter::RichTextExporter(const Graph& graph, const Color& backgroundColor)
    : graph(graph), backgroundColor(backgroundColor)
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
        // The bullet hangs before the text, one step per level: the text of each level starts a step further in.
        paragraph.listLevel = depth;
        const int level = std::clamp(depth, 0, RichTextParagraph::maxListLevel);
        paragraph.headIndent = RichTextParagraph::listTextIndent(level);
        paragraph.firstLineHeadIndent = paragraph.headIndent - RichTextParagraph::listIndentStep;
        const AttributedString title = node.attributedTitle();
        if (!title.empty()) {
            RichTextAttributes attributes = attributesOf(title.attributesAt(0), options.keepColors);
            keepReadable(attributes, node);
            paragraph.runs.push_back(RichTextRun{title.string(), std::move(attributes)});
        }
        builder.paragraphs.push_back(std::move(paragraph));
    });
}

void RichTextExporter::keepReadable(RichTextAttributes& attributes, const Node& node) const
{
    if (!attributes.foregroundColor)
        return;
    // What the title is drawn on: the map's background, and over it the node's fill unless the node is only
    // underlined. The reader's white page comes first, then the fill, then the background alone: the first that
    // sets the title off enough, else the one that sets it off most.
    std::array<double, 3> background{1.0, 1.0, 1.0};
    paintOver(background, backgroundColor);
    std::array<double, 3> fill = background;
    if (node.shape != NodeShape::underline)
        paintOver(fill, node.style.fillColor);
    const std::array<std::optional<RichTextColor>, 3> backdrops{
        std::nullopt, RichTextColor{channel(fill[0]), channel(fill[1]), channel(fill[2])},
        RichTextColor{channel(background[0]), channel(background[1]), channel(background[2])}};
    static constexpr RichTextColor page{255, 255, 255};
    double best = 0.0;
    for (const std::optional<RichTextColor>& backdrop : backdrops) {
        const double contrast = contrastRatio(*attributes.foregroundColor, backdrop.value_or(page));
        if (contrast > best) {
            best = contrast;
            attributes.backgroundColor = backdrop;
        }
        if (contrast >= minimumContrast)
            return;
    }
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
