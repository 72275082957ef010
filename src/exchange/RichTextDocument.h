#pragma once

// Styled text as the rich-text writers take it: a list of paragraphs, each a list of runs that
// share one set of character attributes. A paragraph may be an item of a bulleted outline list,
// with its nesting level.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velquine {

struct RichTextColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    bool operator==(const RichTextColor&) const = default;
};

enum class RichTextAlignment { natural, left, center, right, justified };

struct RichTextAttributes {
    std::optional<std::string> fontFamily;   // none: the document's default font
    std::optional<double> fontSize;          // points; none: the reader's default size
    bool bold = false;
    bool italic = false;
    std::optional<RichTextColor> foregroundColor;  // none: the reader's default colour
    bool underline = false;
    bool strikeThrough = false;
    std::optional<RichTextColor> backgroundColor;  // shading behind the text; none: the page shows through

    bool operator==(const RichTextAttributes&) const = default;
};

struct RichTextRun {
    std::string text;   // UTF-8; a tab is a tab, a line feed a line break inside the paragraph
    RichTextAttributes attributes;

    bool operator==(const RichTextRun&) const = default;
};

struct RichTextParagraph {
    // Deepest list level a writer can express; deeper items are written at this level.
    static constexpr int maxListLevel = 8;
    // The indent of a list level over the one outside it, points: a level's bullet hangs this far before its
    // text, where the items of the next level have their bullets.
    static constexpr double listIndentStep = 36;
    // Where the text of a list level's items starts, points.
    static constexpr double listTextIndent(int level) { return listIndentStep * (level + 1); }

    std::vector<RichTextRun> runs;
    RichTextAlignment alignment = RichTextAlignment::natural;
    double headIndent = 0;            // points, every line
    double firstLineHeadIndent = 0;   // points, the first line (a list item's bullet)
    std::optional<int> listLevel;     // item of a bulleted list at this nesting (0 outermost)

    bool operator==(const RichTextParagraph&) const = default;
};

struct RichTextDocument {
    // The bullet every list item is marked with.
    static constexpr const char* listMarker = "\u2022";

    std::vector<RichTextParagraph> paragraphs;
    std::string defaultFontFamily = "DejaVu Sans";

    // The text as the rich-text readers give it back: a list item starts with one tab per list
    // level, every paragraph ends with a line feed, a line break inside a paragraph is U+2028.
    std::string plainText() const;

    bool operator==(const RichTextDocument&) const = default;
};

} // namespace velquine
