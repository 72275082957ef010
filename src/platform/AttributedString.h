#pragma once

// Styled text: a string with runs of attributes (font, colours, paragraph layout, underline and
// strike-through). Positions and lengths count UTF-16 code units, as text layout does; the text itself is
// UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Color.h"
#include "platform/Font.h"

class QString;

namespace velquine {

// Horizontal alignment, with the raw values documents store.
enum class TextAlignment : std::int64_t { left = 0, center = 1, right = 2, justified = 3, natural = 4 };

// How lines break when the text is wider than its box; 0 wraps at word boundaries.
enum class LineBreakMode : std::int64_t {
    byWordWrapping = 0,
    byCharWrapping = 1,
    byClipping = 2,
    byTruncatingHead = 3,
    byTruncatingTail = 4,
    byTruncatingMiddle = 5
};

// Underline and strike-through line styles, with their raw values.
enum class LineStyle : std::int64_t { none = 0, single = 1, thick = 2, doubled = 9 };

struct ParagraphStyle {
    // Raw alignment value; see TextAlignment. Stored styles may hold values outside the enumeration.
    std::int64_t alignment = static_cast<std::int64_t>(TextAlignment::natural);
    LineBreakMode lineBreakMode = LineBreakMode::byWordWrapping;
    double firstLineHeadIndent = 0;
    double headIndent = 0;
    double tailIndent = 0;
    double paragraphSpacing = 0;
    double paragraphSpacingBefore = 0;
    double lineSpacing = 0;

    friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
};

// The attributes of a run; an attribute that is not set is absent.
struct TextAttributes {
    std::optional<Font> font;
    std::optional<Color> foregroundColor;
    std::optional<ParagraphStyle> paragraphStyle;
    std::optional<LineStyle> underlineStyle;
    std::optional<Color> underlineColor;
    std::optional<LineStyle> strikethroughStyle;
    std::optional<Color> strikethroughColor;

    // How many attributes are set.
    int count() const;
    // The font to lay the text out with: the run's font, or the system font at 12 points.
    Font effectiveFont() const { return font.value_or(Font()); }

    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

class AttributedString {
public:
    struct Run {
        std::size_t location = 0;  // UTF-16 units
        std::size_t length = 0;
        TextAttributes attributes;
        friend bool operator==(const Run&, const Run&) = default;
    };

    AttributedString() = default;
    // The whole text with one set of attributes (no run at all when the text is empty).
    AttributedString(std::string text, TextAttributes attributes = {});

    // Adds text with its own attributes; runs with equal attributes merge.
    void append(const std::string& text, const TextAttributes& attributes);
    // A copy with the text appended, carrying the attributes of the last character (or none when empty).
    AttributedString appendingWithLastAttributes(const std::string& text) const;
    // Sets the attributes of a range (clipped to the text), splitting and merging runs as needed.
    void setAttributes(std::size_t location, std::size_t length, const TextAttributes& attributes);

    const std::string& string() const { return text_; }
    QString qstring() const;
    bool empty() const { return text_.empty(); }
    // Length in UTF-16 units.
    std::size_t length() const { return length_; }
    const std::vector<Run>& runs() const { return runs_; }
    // The attributes in force at a UTF-16 index; none past the end.
    TextAttributes attributesAt(std::size_t index) const;
    // The UTF-8 text of a UTF-16 range (clipped to the text).
    std::string substring(std::size_t location, std::size_t length) const;

    friend bool operator==(const AttributedString&, const AttributedString&) = default;

private:
    void normalize();

    std::string text_;
    std::size_t length_ = 0;
    std::vector<Run> runs_;
};

} // namespace velquine
