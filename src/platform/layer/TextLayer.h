#pragma once

// A layer that draws styled text from its top edge, line by line as TextMeasurement measures it, wrapped at
// the bounds width when isWrapped. The laid-out text is kept until the string, the width or the wrapping
// changes. Under a flipped root transform the text stays upright.

#include <optional>
#include <string>

#include "platform/AttributedString.h"
#include "platform/LaidOutText.h"
#include "platform/layer/Layer.h"

namespace velquine {

class TextLayer : public Layer {
public:
    TextLayer() = default;

    const AttributedString& string() const { return string_; }
    void setString(const AttributedString& string);
    // Plain text shown with font() and foregroundColor().
    void setString(const std::string& text);
    // For plain text; the system font at 36 points by default.
    const Font& font() const { return font_; }
    void setFont(const Font& font);
    // For plain text; white by default.
    const Color& foregroundColor() const { return foregroundColor_; }
    void setForegroundColor(const Color& color);

    TextAlignment alignmentMode() const { return alignment_; }
    void setAlignmentMode(TextAlignment alignment);
    bool isWrapped() const { return wrapped_; }
    void setWrapped(bool wrapped);

    // The text as laid out for the current bounds.
    const LaidOutText& laidOutText() const;

    void draw(QPainter& painter) const override;
    void prepareForDrawing(const Rect&) const override { laidOutText(); }

private:
    AttributedString shownText() const;
    void textChanged();

    AttributedString string_;
    std::optional<std::string> plainText_;
    Font font_ = Font::systemFont(36);
    Color foregroundColor_ = Color::white();
    TextAlignment alignment_ = TextAlignment::natural;
    bool wrapped_ = false;
    mutable std::optional<LaidOutText> laidOut_;
    mutable double laidOutWidth_ = 0;
};

} // namespace velquine
