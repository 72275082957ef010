#include "layout/NodeSizing.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include "layout/TextUtilities.h"
#include "platform/TextMeasurement.h"
#include "platform/TextsMeasuredAhead.h"

namespace velquine {

namespace {

bool endsWithLineBreak(const std::string& s)
{
    return !s.empty() && (s.back() == '\n' || s.back() == '\r');
}

// The share of the image area's width and height left clear on each side of the picture.
constexpr double imageAreaInset = 0.04;

bool isEllipseLike(NodeShape shape) { return shape == NodeShape::ellipse || shape == NodeShape::cloud; }

std::size_t codePointCount(std::string_view s)
{
    std::size_t n = 0;
    for (char c : s) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

// The piece of the text with the most characters after splitting at blanks (U+0020 only), the first on a
// tie; empty when there is none.
std::string_view longestWord(std::string_view text)
{
    std::string_view best;
    std::size_t bestCount = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view piece = text.substr(start, end - start);
        const std::size_t count = codePointCount(piece);
        if (count > bestCount) {
            best = piece;
            bestCount = count;
        }
        start = end + 1;
    }
    return best;
}

struct LineSummary {
    std::size_t count = 1;    // lines of the text itself, at least 1
    double tallest = 0;       // maxLineHeightForWidth of the text
};

// The line count and the tallest rounded line of the text at the width from one line walk; a text ending in
// a line break needs a second walk for its tallest line, measured with "-" appended.
LineSummary summarize(const AttributedString& text, double width)
{
    LineSummary summary;
    if (text.empty())
        return summary;
    const std::vector<TextLine> lines = TextMeasurement::lines(text, width);
    summary.count = std::max<std::size_t>(1, lines.size());
    if (endsWithLineBreak(text.string())) {
        summary.tallest = maxLineHeightForWidth(text, width);
        return summary;
    }
    for (const TextLine& line : lines)
        summary.tallest = std::max(summary.tallest, std::ceil(line.height));
    return summary;
}

Node withTitle(const Node& node, std::string title)
{
    Node copy = node;
    copy.title = std::move(title);
    return copy;
}

// The sum of the unrounded line heights of the node's title at the width; measured for a single blank when
// the title is empty or gives no height.
double labelTextHeight(const Node& node, double width)
{
    auto sum = [width](const AttributedString& text) {
        double total = 0;
        for (const TextLine& line : TextMeasurement::lines(text, width))
            total += line.height;
        return total;
    };
    const AttributedString title = node.attributedTitle();
    const double height = title.empty() ? 0.0 : sum(title);
    if (height > 0)
        return height;
    return sum(withTitle(node, " ").attributedTitle());
}

} // namespace

namespace {

// The image area of the node at the candidate size; none when it is empty.
std::optional<Rect> imageAreaAt(const Node& node, Size candidate)
{
    Node probe = node;
    probe.size = candidate;
    const Rect area = labelFrame(probe).first;
    if (!(area.width() > 0) || !(area.height() > 0))
        return std::nullopt;
    return area;
}

// The width of a node of the candidate size whose image is wider than high: as wide as makes the image, at
// the height of its area, fill the area's width, within the widest autosized block. Otherwise a wide image
// shows as a thin strip across an area as high as a square image takes. Never narrower than the candidate.
double widthForImage(const Node& node, Size candidate)
{
    const Size image = node.image()->size();
    const std::optional<Rect> area = imageAreaAt(node, candidate);
    if (!(image.width > image.height) || !(image.height > 0) || !area)
        return candidate.width;
    // The area is a fixed share of the node's width.
    const double needed = std::ceil(area->height() * image.width / image.height * candidate.width / area->width());
    return std::clamp(needed, candidate.width, std::max(candidate.width, autosizeMaxTextWidth));
}

// The height of a node of the candidate size whose picture, fitted into its area without distortion, would
// leave the area's height partly empty or fill less than the area's width: as high as makes the picture,
// at the area's width, fill the area's height. A wide picture whose node could not be widened enough is so
// given a lower area, and a high one a higher area, though no higher than the picture itself unless the
// area already is; the node stays at least as high as its text. Only for shapes whose area is a share of the
// node's size.
double heightForImage(const Node& node, Size candidate, double textHeight)
{
    const Size image = node.image()->size();
    const std::optional<Rect> area = imageAreaAt(node, candidate);
    if (!(image.width > 0) || !(image.height > 0) || !area)
        return candidate.height;
    const double pictureHeight = area->width() * image.height / image.width;
    const bool wide = image.width > image.height;
    double wanted = area->height();
    if (wide && pictureHeight < area->height())
        wanted = pictureHeight;
    else if (!wide && pictureHeight > area->height())
        wanted = std::min(pictureHeight, std::max(area->height(), image.height));
    // The area's height is a fixed share of what the node's height leaves below the label.
    const double height = std::ceil(candidate.height + (wanted - area->height()) / (1.0 - 2 * imageAreaInset));
    return std::max(height, textHeight);
}

// Text in the node's font, as measured: colours and the rest of a title's attributes play no part in the
// lines it takes.
AttributedString inFontOf(const Node& node, std::string text)
{
    TextAttributes attributes;
    attributes.font = node.style.font;
    return AttributedString(std::move(text), attributes);
}

// The size a title of the node needs with its lines at the node's width already summed up; the longest
// word's size is measured unless the caller knows it.
Size measureTitle(const Node& node, std::string_view title, const LineSummary& lines,
                  std::optional<double> knownWordWidth)
{
    double wordWidth = 0;
    if (knownWordWidth) {
        wordWidth = *knownWordWidth;
    } else {
        const std::string_view word = longestWord(title);
        if (!word.empty())
            wordWidth = TextMeasurement::boundingSize(inFontOf(node, std::string(word))).width;
    }
    const double lineHeight = lines.tallest;
    const std::size_t lineCount = lines.count;

    double height = lineHeight * double(lineCount + 1);
    if (!(height > 0))
        height = node.parentUID ? autosizeChildFallbackHeight : autosizeRootFallbackHeight;
    double width = lineCount > 2 ? height / 3.0 + 20.0 : 2.0 * height;
    width = std::max(width, wordWidth + autosizeTextMargin);
    if (node.image()) {
        width = std::max(width, autosizeImageRoom);
        height += autosizeImageRoom;
    } else {
        width = std::max(width, autosizeMinimumWidth);
    }
    return {width, height};
}

// The size of a node whose title has more lines at the widest block than the block is a third as high as
// its lines, or none for any other title. Such a node is made a third as wide as high, with a line of room
// below its text, and its label wraps the title at that wider width, into fewer lines: so the node is made
// about as narrow as lets its label's lines at its width, plus one, be at most three times as high as the
// node is wide (words wider than that are broken), and as high as those lines. The width is searched for
// from an estimate by the lines' total width, one line walk a step, a few steps; the label's own width is
// that of labelLayout.
std::optional<Size> longTitleSize(const AttributedString& text, const std::vector<TextLine>& atWidestBlock,
                                  double blockWidth)
{
    struct Label {
        std::size_t count;
        double tallest;
        // The node is at least a third as wide as high.
        bool fits(double width) const { return tallest * double(count + 1) / 3.0 + 20.0 <= width; }
        double height() const { return tallest * double(count + 1); }
    };
    Label lines{atWidestBlock.size(), 0.0};
    for (const TextLine& line : atWidestBlock)
        lines.tallest = std::max(lines.tallest, std::ceil(line.height));
    if (lines.count <= 2 || lines.fits(blockWidth))
        return std::nullopt;
    const auto labelAt = [&](double width) {
        const std::vector<TextLine> wrapped = TextMeasurement::lines(text, 0.9 * width);
        Label label{std::max<std::size_t>(1, wrapped.size()), 0.0};
        for (const TextLine& line : wrapped)
            label.tallest = std::max(label.tallest, std::ceil(line.height));
        return label;
    };
    // Wrapped at a width w, lines of total width s take about s / w lines: the estimate solves
    // 3 (W - 20) = h (s / (0.9 W) + 1) for W.
    double total = 0;
    for (const TextLine& line : atWidestBlock)
        total += line.width;
    const double h = lines.tallest;
    const double b = 60.0 + h;
    double narrow = blockWidth;  // too narrow
    double wide = std::max(blockWidth + 1, std::ceil((b + std::sqrt(b * b + 12.0 * h * total / 0.9)) / 6.0));
    Label label = labelAt(wide);
    const bool estimateFits = label.fits(wide);
    if (!estimateFits) {
        // A wider node has no more lines: one as wide as this label asks for fits.
        narrow = wide;
        wide = std::ceil(label.tallest * double(label.count + 1) / 3.0 + 20.0);
        label = labelAt(wide);
    }
    // Tries a width between the two: the narrower of those known to fit, or the wider of those known not to.
    const auto tryWidth = [&](double width) {
        const Label there = labelAt(width);
        if (there.fits(width)) {
            wide = width;
            label = there;
        } else {
            narrow = width;
        }
    };
    // An estimate that fits is seldom far too wide.
    if (const double closer = std::floor(0.96 * wide); estimateFits && closer > narrow)
        tryWidth(closer);
    // Closer, to within a fiftieth of the width.
    while (wide - narrow > std::max(1.0, 0.02 * wide))
        tryWidth(std::ceil((narrow + wide) / 2));
    return Size{wide, label.height()};
}

// The size of a node for a title that the widest block holds: its lines at the width of its widest line,
// one more line of room, and what measureTitle asks for at the block's width. The lines at the widest block
// are given.
Size shortTitleSize(const Node& node, const std::string& measured, const AttributedString& text,
                    const std::vector<TextLine>& widest, double textWidth)
{
    // A title that fits on one line keeps that line at every width from its own up, so the walk above
    // answers for the walks at the text width and at the block width. Its longest word is the line itself
    // when it has no blank; otherwise the word is narrower than the line and, unless the block was cut to
    // the widest width, never wider than the block: it needs no measuring then.
    const bool oneLine = widest.size() == 1 && !endsWithLineBreak(measured);
    const LineSummary lines = oneLine ? LineSummary{1, std::ceil(widest.front().height)} : summarize(text, textWidth);
    const std::size_t lineCount = lines.count;
    const double lineHeight = lines.tallest;
    const double textHeight = lineHeight * double(lineCount + 1);
    const double blockWidth = std::min(textWidth + autosizeTextMargin, autosizeMaxTextWidth);

    std::optional<double> wordWidth;
    if (oneLine && measured.find(' ') == std::string::npos)
        wordWidth = widest.front().width;
    else if (oneLine && textWidth + autosizeTextMargin <= autosizeMaxTextWidth)
        wordWidth = 0.0;
    Size needed;
    if (oneLine) {
        needed = measureTitle(node, measured, lines, wordWidth);
    } else {
        Node probe = withTitle(node, measured);
        probe.size = {blockWidth, textHeight};
        needed = measureTitle(probe);
    }
    return {std::max(blockWidth, needed.width), std::max(textHeight, needed.height)};
}

} // namespace

Size measureTitle(const Node& node)
{
    return measureTitle(node, node.title, summarize(node.attributedTitle(), node.size.width), std::nullopt);
}

std::string autosizeMeasuredText(const std::string& title)
{
    if (title.empty())
        return " ";
    return endsWithLineBreak(title) ? title + "-" : title;
}

Node autosizeNode(Node node, std::uint8_t options, const TextsMeasuredAhead* titlesAhead)
{
    const Size oldSize = node.size;
    const Point oldCenter = node.center;

    const std::string measured = node.title.empty() ? std::string(" ") : node.title;
    const AttributedString text = inFontOf(node, measured);

    double textWidth = 0;
    std::vector<TextLine> widest;
    if (!text.empty()) {
        const AttributedString first = inFontOf(node, autosizeMeasuredText(node.title));
        widest = titlesAhead ? titlesAhead->lines(first, autosizeMaxTextWidth)
                             : TextMeasurement::lines(first, autosizeMaxTextWidth);
        double widestWidth = 0;
        for (const TextLine& line : widest)
            widestWidth = std::max(widestWidth, line.width);
        textWidth = std::ceil(std::min(widestWidth, autosizeMaxTextWidth));
    }
    const double blockWidth = std::min(textWidth + autosizeTextMargin, autosizeMaxTextWidth);
    double width = 0;
    double height = 0;
    if (const std::optional<Size> longSize = longTitleSize(text, widest, blockWidth)) {
        width = longSize->width;
        height = longSize->height;
        if (node.image()) {
            width = std::max(width, autosizeImageRoom);
            height += autosizeImageRoom;
        }
    } else {
        const Size shortSize = shortTitleSize(node, measured, text, widest, textWidth);
        width = shortSize.width;
        height = shortSize.height;
    }
    Size newSize{width, height};
    if (node.image()) {
        const bool ellipse = isEllipseLike(node.shape);
        const double candidateWidth = ellipse ? width + autosizeImageRoom : widthForImage(node, {width, height});
        const double candidateHeight =
            ellipse ? width + autosizeImageRoom : heightForImage(node, {candidateWidth, height}, height - autosizeImageRoom);
        if (candidateWidth < oldSize.width || candidateHeight < oldSize.height)
            newSize = oldSize;
        else
            newSize = {candidateWidth, candidateHeight};
    }

    const double shift = (newSize.width - oldSize.width) * 0.5;
    node.size = newSize;
    node.center = oldCenter;
    if (options == autosizeGrowLeft)
        node.center.x = oldCenter.x - shift;
    else if (options == autosizeGrowRight)
        node.center.x = oldCenter.x + shift;
    return node;
}

std::vector<Node> autosizeNodes(const std::vector<Node>& nodes, std::uint8_t options)
{
    std::vector<Node> result;
    result.reserve(nodes.size());
    for (const Node& node : nodes)
        result.push_back(autosizeNode(node, options));
    return result;
}

Node autosizeNodeAfterFontChange(const Node& node)
{
    return node.autoSize ? autosizeNode(node, autosizeKeepCenter) : node;
}

std::pair<Rect, Rect> labelLayout(const Node& node)
{
    const double w = node.size.width;
    const double h = node.size.height;
    const double labelWidth = 0.9 * w;
    const double textHeight = labelTextHeight(node, labelWidth);
    return {Rect(0, 0, 0, 0), Rect(0.05 * w, h * 0.5 - textHeight * 0.5, labelWidth, textHeight)};
}

std::pair<Rect, Rect> labelFrame(const Node& node)
{
    const double w = node.size.width;
    const double h = node.size.height;
    Size available = node.size;
    if (isEllipseLike(node.shape))
        available = ellipseInscribedRect(w, h).size;
    const double aw = available.width;
    const double ah = available.height;

    const double labelWidth = 0.9 * aw;
    const double textHeight = labelTextHeight(node, labelWidth);
    const Rect label(w * 0.5 - aw * 0.5 + aw * 0.05, h * 0.5 - ah * 0.5 + 10.0, labelWidth, textHeight);
    const Rect area(label.origin.x, label.origin.y + textHeight + 10.0, labelWidth,
                    ah - textHeight - label.origin.y - 16.0);
    return {area.insetBy(area.width() * imageAreaInset, area.height() * imageAreaInset), label};
}

Rect ellipseInscribedRect(double width, double height)
{
    const Rect zero(0, 0, 0, 0);
    if (!std::isfinite(width) || !std::isfinite(height) || !std::isfinite(width + height) || !(width > 0) ||
        !(height > 0))
        return zero;

    // At depth d the rectangle is (d, d, width - 2d, height - 2d); the ellipse stays the one inscribed in the
    // original rectangle. Moving d inwards only brings the corner closer to the centre, so the first depth
    // whose corner lies in the ellipse is found by bisection instead of one step per point.
    const double cx = width / 2;
    const double cy = height / 2;
    auto cornerInside = [&](double d) {
        const double dx = (width - d - cx) / cx;
        const double dy = (height - d - cy) / cy;
        return dx * dx + dy * dy <= 1.0;
    };
    // The rectangle is empty or inside out from this depth on.
    const double emptyFrom = std::ceil(std::min(width, height) / 2);
    double lo = 0;
    double hi = emptyFrom;  // first depth known to fail (empty) or succeed
    if (!cornerInside(lo)) {
        // Invariant: lo fails, hi succeeds or is empty.
        while (hi - lo > 1) {
            const double mid = std::floor(lo + (hi - lo) / 2);
            if (cornerInside(mid))
                hi = mid;
            else
                lo = mid;
        }
        lo = hi;
    }
    const double depth = lo;
    if (depth >= emptyFrom || std::floor(width + height) < depth)
        return zero;
    const Rect found(depth, depth, width - 2 * depth, height - 2 * depth);
    if (found.isEmpty())
        return zero;
    return found;
}

} // namespace velquine
