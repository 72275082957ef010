#include "platform/layer/TextLayer.h"

#include <QPainter>

#include <limits>
#include <mutex>

namespace velquine {

namespace {
// Text is drawn by one thread at a time: a laid-out text and its fonts keep glyphs and font engines in caches
// of their own, which paints of one tree on several threads (LayerBandPainter) would otherwise share.
std::mutex textDrawing;
} // namespace

void TextLayer::setString(const AttributedString& string)
{
    if (!plainText_ && string == string_)
        return;
    Change change(*this, ChangeKind::appearance);
    string_ = string;
    plainText_.reset();
    laidOut_.reset();
}

void TextLayer::setString(const std::string& text)
{
    if (plainText_ && *plainText_ == text)
        return;
    Change change(*this, ChangeKind::appearance);
    plainText_ = text;
    string_ = shownText();
    laidOut_.reset();
}

void TextLayer::setFont(const Font& font)
{
    if (font == font_)
        return;
    Change change(*this, ChangeKind::appearance);
    font_ = font;
    textChanged();
}

void TextLayer::setForegroundColor(const Color& color)
{
    if (color == foregroundColor_)
        return;
    Change change(*this, ChangeKind::appearance);
    foregroundColor_ = color;
    textChanged();
}

void TextLayer::textChanged()
{
    if (plainText_) {
        string_ = shownText();
        laidOut_.reset();
    }
}

AttributedString TextLayer::shownText() const
{
    if (!plainText_)
        return string_;
    TextAttributes attributes;
    attributes.font = font_;
    attributes.foregroundColor = foregroundColor_;
    return AttributedString(*plainText_, attributes);
}

void TextLayer::setAlignmentMode(TextAlignment alignment) { setField(alignment_, alignment, ChangeKind::appearance); }

void TextLayer::setWrapped(bool wrapped)
{
    if (wrapped == wrapped_)
        return;
    Change change(*this, ChangeKind::appearance);
    wrapped_ = wrapped;
    laidOut_.reset();
}

const LaidOutText& TextLayer::laidOutText() const
{
    const double width = wrapped_ ? bounds().size.width : std::numeric_limits<double>::infinity();
    if (!laidOut_ || laidOutWidth_ != width) {
        laidOut_.emplace(string_, width);
        laidOutWidth_ = width;
    }
    return *laidOut_;
}

void TextLayer::draw(QPainter& painter) const
{
    if (string_.empty())
        return;
    const Rect b = presentationBounds();
    const bool flipped = painter.deviceTransform().m22() < 0;
    if (flipped) {
        // Mirror back around the bounds so the text reads upright where the layer is.
        painter.save();
        painter.translate(0, b.minY() + b.maxY());
        painter.scale(1, -1);
    }
    {
        const std::lock_guard lock(textDrawing);
        laidOutText().draw(painter, b.origin, b.size.width, alignment_);
    }
    if (flipped)
        painter.restore();
}

} // namespace velquine
