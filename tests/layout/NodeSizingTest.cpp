#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <QImage>

#include "layout/NodeSizing.h"
#include "layout/TextUtilities.h"
#include "platform/TextMeasurement.h"
#include "platform/TextsMeasuredAhead.h"

using namespace velquine;

namespace {

Node node(const std::string& title, double fontSize = 16, Point center = {100, 200}, Size size = {98, 38})
{
    Node n(-1, std::nullopt, NodeStyle());
    n.title = title;
    n.style.font = Font::systemFont(fontSize);
    n.center = center;
    n.size = size;
    return n;
}

Image smallImage()
{
    QImage bitmap(10, 10, QImage::Format_ARGB32);
    bitmap.fill(Qt::red);
    return Image(bitmap);
}

// The search as a loop of one-point steps, to hold the faster search to.
Rect inscribedByStepping(double width, double height)
{
    Rect rect(0, 0, width, height);
    const double cx = width / 2, cy = height / 2;
    for (int depth = 0;; ++depth) {
        if (std::floor(width + height) < depth)
            return Rect(0, 0, 0, 0);
        if (rect.isNull() || rect.isEmpty() || rect.size.width < 0 || rect.size.height < 0)
            return Rect(0, 0, 0, 0);
        const double dx = (rect.maxX() - cx) / cx, dy = (rect.maxY() - cy) / cy;
        if (dx * dx + dy * dy <= 1.0)
            return rect;
        rect = rect.insetBy(1.0, 1.0);
    }
}

} // namespace

TEST(NodeSizingTest, EmptyTitleIsMeasuredAsOneBlankAndStaysEmpty)
{
    for (bool withParent : {false, true}) {
        Node empty = node("");
        Node blank = node(" ");
        if (withParent)
            empty.parentUID = blank.parentUID = 5;
        const Node sizedEmpty = autosizeNode(empty);
        const Node sizedBlank = autosizeNode(blank);
        EXPECT_EQ(sizedEmpty.size, sizedBlank.size);
        EXPECT_EQ(sizedEmpty.title, "");
        EXPECT_GT(sizedEmpty.size.height, 0.0);
    }
}

TEST(NodeSizingTest, GrowthSideKeepsOneEdgeOrTheCentre)
{
    const Node start = node("A title that is rather longer than the node", 16, {100, 200}, {60, 20});
    const Node left = autosizeNode(start, autosizeGrowLeft);
    const Node right = autosizeNode(start, autosizeGrowRight);
    const Node centre = autosizeNode(start, autosizeKeepCenter);
    const Node other = autosizeNode(start, 7);
    ASSERT_GT(centre.size.width, start.size.width);
    EXPECT_EQ(left.size, centre.size);
    EXPECT_EQ(right.size, centre.size);
    EXPECT_DOUBLE_EQ(left.center.x + left.size.width / 2, start.center.x + start.size.width / 2);
    EXPECT_DOUBLE_EQ(right.center.x - right.size.width / 2, start.center.x - start.size.width / 2);
    EXPECT_EQ(centre.center, start.center);
    EXPECT_EQ(other.center, start.center);
    for (const Node& n : {left, right, centre})
        EXPECT_EQ(n.center.y, 200.0);

    // Shrinking moves the kept edge the same way.
    const Node big = node("x", 16, {0, 0}, {400, 100});
    const Node shrunk = autosizeNode(big, autosizeGrowLeft);
    EXPECT_LT(shrunk.size.width, 400.0);
    EXPECT_DOUBLE_EQ(shrunk.center.x + shrunk.size.width / 2, 200.0);
}

TEST(NodeSizingTest, OnlySizeAndCentreChange)
{
    Node start = node("Title");
    start.note = "note";
    start.url = "https://example.org";
    start.shape = NodeShape::hexagon;
    start.childrenUIDs = {4, 5};
    Node sized = autosizeNode(start, autosizeGrowRight);
    sized.size = start.size;
    sized.center = start.center;
    EXPECT_FALSE(sized.differs(start));
}

TEST(NodeSizingTest, MinimumWidths)
{
    // A tiny one-letter title needs less than the minimum in every measure.
    const Node tiny = autosizeNode(node("a", 4));
    EXPECT_EQ(tiny.size.width, 50.0);

    Node withImage = node("a", 4);
    withImage.setImage(smallImage());
    withImage.size = {1, 1};
    EXPECT_EQ(autosizeNode(withImage).size.width, 128.0);

    for (const std::string title : {"", "a", "Some words", "A\nB\nC\nD"}) {
        SCOPED_TRACE(title);
        EXPECT_GE(autosizeNode(node(title)).size.width, 50.0);
        EXPECT_GE(measureTitle(node(title)).width, 50.0);
    }
}

TEST(NodeSizingTest, SingleLineTitleWidthAndHeight)
{
    const Node start = node("Main topic", 16);
    const Node sized = autosizeNode(start);
    const AttributedString t = start.attributedTitle();
    const double textWidth = std::ceil(TextMeasurement::widestLine(t, 300));
    const double lineHeight = maxLineHeightForWidth(t, textWidth);
    // One line of text plus one line of room; at least twice that height wide.
    EXPECT_EQ(sized.size.height, 2 * lineHeight);
    EXPECT_EQ(sized.size.width, std::max({textWidth + 40, 4 * lineHeight, 50.0}));
}

TEST(NodeSizingTest, LongWordIsNotWrappedBelowItsWidth)
{
    const std::string word = "Supercalifragilisticexpialidocious";
    const Node start = node(word, 32);
    const double wordWidth = TextMeasurement::boundingSize(start.attributedTitle()).width;
    ASSERT_GT(wordWidth, 300.0);
    EXPECT_EQ(autosizeNode(start).size.width, wordWidth + 40.0);
}

TEST(NodeSizingTest, TextBlocksAreAtMost300Wide)
{
    const Node start = node("many short words that together make a title far wider than the widest line allowed", 16);
    const Node sized = autosizeNode(start);
    EXPECT_LE(sized.size.width, 300.0);
    EXPECT_GT(sized.size.height, 2 * maxLineHeightForWidth(start.attributedTitle(), 1000));
}

TEST(NodeSizingTest, MeasureTitleOfEmptyTitleUsesFallbackHeights)
{
    Node root = node("");
    EXPECT_EQ(measureTitle(root), (Size{96.0, 48.0}));
    Node child = node("");
    child.parentUID = 3;
    EXPECT_EQ(measureTitle(child), (Size{76.0, 38.0}));
    // A parent identifier counts even when that parent is nowhere to be found.
    root.setImage(smallImage());
    EXPECT_EQ(measureTitle(root), (Size{128.0, 176.0}));
}

TEST(NodeSizingTest, MeasureTitleOfManyLines)
{
    Node n = node("aa bb cc dd ee ff gg hh ii jj", 16, {0, 0}, {40, 38});
    const AttributedString t = n.attributedTitle();
    const std::size_t lines = TextMeasurement::lineCount(t, 40);
    ASSERT_GT(lines, 2u);
    const double height = maxLineHeightForWidth(t, 40) * double(lines + 1);
    const double word = TextMeasurement::boundingSize(node("aa", 16).attributedTitle()).width;
    const Size measured = measureTitle(n);
    EXPECT_EQ(measured.height, height);
    EXPECT_EQ(measured.width, std::max({height / 3 + 20, word + 40, 50.0}));

    // One or two lines: twice the block height.
    n.size.width = 1000;
    const Size wide = measureTitle(n);
    EXPECT_EQ(wide.width, 2 * wide.height);

    // Tabs and line breaks do not split words.
    const Node tabbed = node("aa\tbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb", 16, {0, 0}, {2000, 38});
    const double whole = TextMeasurement::boundingSize(tabbed.attributedTitle()).width;
    EXPECT_EQ(measureTitle(tabbed).width, std::max(whole + 40, 2 * measureTitle(tabbed).height));
}

TEST(NodeSizingTest, ImageAreas)
{
    const Node plain = autosizeNode(node("Topic"));
    Node rect = node("Topic");
    rect.shape = NodeShape::rect;
    rect.setImage(smallImage());
    rect.size = {1, 1};
    const Node sizedRect = autosizeNode(rect);
    // 128 points of room below a one-line title, and the image's minimum width.
    EXPECT_EQ(sizedRect.size.height, plain.size.height + 128.0);
    EXPECT_EQ(sizedRect.size.width, std::max(128.0, plain.size.width));

    for (NodeShape shape : {NodeShape::ellipse, NodeShape::cloud}) {
        Node round = rect;
        round.shape = shape;
        const Node sized = autosizeNode(round);
        EXPECT_EQ(sized.size.width, sized.size.height);
        EXPECT_EQ(sized.size.width, sizedRect.size.width + 128.0);
    }
}

TEST(NodeSizingTest, NodeWithImageNeverShrinks)
{
    Node n = node("Topic", 16, {10, 20}, {1000, 1000});
    n.setImage(smallImage());
    Node sized = autosizeNode(n, autosizeGrowLeft);
    EXPECT_EQ(sized.size, (Size{1000, 1000}));
    EXPECT_EQ(sized.center, (Point{10, 20}));
    // Either side too small keeps the old size.
    n.size = {1000, 1};
    EXPECT_EQ(autosizeNode(n).size, (Size{1000, 1}));
    n.size = {1, 1000};
    EXPECT_EQ(autosizeNode(n).size, (Size{1, 1000}));
}

TEST(NodeSizingTest, AutosizeNodesSizesEachInOrder)
{
    const std::vector<Node> nodes = {node("one"), node("two words"), node("")};
    const std::vector<Node> sized = autosizeNodes(nodes, autosizeGrowRight);
    ASSERT_EQ(sized.size(), 3u);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(sized[i].size, autosizeNode(nodes[i], autosizeGrowRight).size);
        EXPECT_EQ(sized[i].center, autosizeNode(nodes[i], autosizeGrowRight).center);
        EXPECT_EQ(sized[i].title, nodes[i].title);
    }
    EXPECT_TRUE(autosizeNodes({}).empty());
}

TEST(NodeSizingTest, EllipseInscribedRect)
{
    EXPECT_EQ(ellipseInscribedRect(100, 100), Rect(15, 15, 70, 70));
    EXPECT_EQ(ellipseInscribedRect(0, 100), Rect(0, 0, 0, 0));
    EXPECT_EQ(ellipseInscribedRect(-10, 100), Rect(0, 0, 0, 0));
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ellipseInscribedRect(inf, 100), Rect(0, 0, 0, 0));
    EXPECT_EQ(ellipseInscribedRect(100, -inf), Rect(0, 0, 0, 0));
    EXPECT_EQ(ellipseInscribedRect(std::nan(""), 100), Rect(0, 0, 0, 0));
    EXPECT_EQ(ellipseInscribedRect(1e308, 1e308), Rect(0, 0, 0, 0));
    // Too small for any whole-point step to fit.
    EXPECT_EQ(ellipseInscribedRect(1, 1), Rect(0, 0, 0, 0));
    for (double w : {2.0, 3.0, 7.5, 20.0, 64.0, 99.0, 128.0, 256.0, 333.3})
        for (double h : {2.0, 5.0, 38.0, 48.0, 100.0, 176.0, 500.0}) {
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
            EXPECT_EQ(ellipseInscribedRect(w, h), inscribedByStepping(w, h));
        }
    // Huge nodes answer at once.
    const Rect huge = ellipseInscribedRect(1e9, 1e9);
    EXPECT_GT(huge.size.width, 0.7e9);
}

TEST(NodeSizingTest, LabelLayoutWithoutImage)
{
    for (const std::string title : {"Topic", "", "two\nlines"}) {
        SCOPED_TRACE(title);
        const Node n = node(title, 16, {0, 0}, {200, 80});
        const auto [image, label] = labelLayout(n);
        EXPECT_EQ(image, Rect(0, 0, 0, 0));
        EXPECT_EQ(label.origin.x, 10.0);
        EXPECT_EQ(label.size.width, 180.0);
        EXPECT_GT(label.size.height, 0.0);
        EXPECT_DOUBLE_EQ(label.origin.y + label.size.height / 2, 40.0);
    }
    // An empty title takes the room of one blank; two lines take more than one.
    const double blank = labelLayout(node(" ", 16, {0, 0}, {200, 80})).second.size.height;
    EXPECT_EQ(labelLayout(node("", 16, {0, 0}, {200, 80})).second.size.height, blank);
    EXPECT_GT(labelLayout(node("two\nlines", 16, {0, 0}, {200, 80})).second.size.height, blank);
    // The shape plays no part.
    Node round = node("Topic", 16, {0, 0}, {200, 80});
    round.shape = NodeShape::ellipse;
    EXPECT_EQ(labelLayout(round), labelLayout(node("Topic", 16, {0, 0}, {200, 80})));
}

TEST(NodeSizingTest, LabelFrameWithImage)
{
    Node n = node("Topic", 16, {0, 0}, {200, 300});
    n.shape = NodeShape::rect;
    n.setImage(smallImage());
    const auto [area, label] = labelFrame(n);
    const double th = label.size.height;
    EXPECT_EQ(label.origin.x, 10.0);
    EXPECT_EQ(label.origin.y, 10.0);
    EXPECT_EQ(label.size.width, 180.0);
    const double areaHeight = 300.0 - th - 10.0 - 16.0;
    EXPECT_DOUBLE_EQ(area.origin.x, 10.0 + 180.0 * 0.04);
    EXPECT_DOUBLE_EQ(area.origin.y, 10.0 + th + 10.0 + areaHeight * 0.04);
    EXPECT_DOUBLE_EQ(area.size.width, 180.0 * 0.92);
    EXPECT_DOUBLE_EQ(area.size.height, areaHeight * 0.92);

    // Round nodes place both inside the inscribed rectangle: 70 by 70 in a 100 by 100 node.
    Node round = node("Topic", 16, {0, 0}, {100, 100});
    round.shape = NodeShape::ellipse;
    round.setImage(smallImage());
    const Rect roundLabel = labelFrame(round).second;
    EXPECT_DOUBLE_EQ(roundLabel.origin.x, 50.0 - 35.0 + 3.5);
    EXPECT_DOUBLE_EQ(roundLabel.origin.y, 50.0 - 35.0 + 10.0);
    EXPECT_DOUBLE_EQ(roundLabel.size.width, 63.0);
}

TEST(NodeSizingTest, SizeWithoutImageDoesNotDependOnTheOldSize)
{
    const std::vector<std::string> titles = {"", "x", "Main topic", "two\nlines", "ends with a break\n",
                                             "a title long enough to wrap at three hundred points more than once",
                                             "\xC3\x9C" "berbl\xC3\xBC" "ck und \xE6\xBC\xA2\xE5\xAD\x97"};
    for (const std::string& title : titles) {
        SCOPED_TRACE(title);
        const Size expected = autosizeNode(node(title, 16, {0, 0}, {98, 38})).size;
        for (Size start : {Size{1, 1}, Size{500, 20}, Size{60, 400}}) {
            const Node sized = autosizeNode(node(title, 16, {0, 0}, start));
            EXPECT_EQ(sized.size, expected);
        }
        EXPECT_GE(expected.width, 50.0);
        EXPECT_GT(expected.height, 0.0);
    }
}

TEST(NodeSizingTest, OneLineTitlesSizeAsTheFullMeasurementDoes)
{
    // The full measurement: the widest line, the lines at the text width, and the title measured at the
    // block width with its longest word.
    auto reference = [](const Node& start) {
        const AttributedString text = start.attributedTitle();
        const double textWidth = std::ceil(std::min(TextMeasurement::widestLine(text, 300), 300.0));
        const std::vector<TextLine> lines = TextMeasurement::lines(text, textWidth);
        double tallest = 0;
        for (const TextLine& line : lines)
            tallest = std::max(tallest, std::ceil(line.height));
        const double textHeight = tallest * double(std::max<std::size_t>(1, lines.size()) + 1);
        Node probe = start;
        probe.size = {std::min(textWidth + 40, 300.0), textHeight};
        const Size needed = measureTitle(probe);
        return Size{std::max(probe.size.width, needed.width), std::max(textHeight, needed.height)};
    };
    for (const std::string title : {"Topic", "Main topic", "x", "Trailing blank ", "W", "Überschrift",
                                    "a\xF0\x9F\x98\x80 emoji", "MMMMMMMMMMMMMMMMMMMMMMMMMMM", "Twelve words fit on one line"}) {
        for (const double size : {9.0, 16.0, 24.0}) {
            SCOPED_TRACE(title + " at " + std::to_string(size));
            EXPECT_EQ(autosizeNode(node(title, size)).size, reference(node(title, size)));
        }
    }
}

TEST(NodeSizingTest, TitlesLaidOutAheadSizeAsMeasuringThemDoes)
{
    std::vector<Node> nodes;
    for (int i = 0; i < 3000; ++i)
        nodes.push_back(node(i % 3 ? "Topic " + std::to_string(i) : "a title long enough to wrap at the widest "
                                                                     "block a node takes, number " + std::to_string(i),
                             i % 2 ? 16.0 : 12.0));
    nodes.push_back(node("ends in a break\n"));
    if (TextsMeasuredAhead::workersFor(nodes.size()) == 0)
        GTEST_SKIP() << "a single core starts no worker";
    TextsMeasuredAhead ahead(autosizeMaxTextWidth);
    for (const Node& n : nodes)
        ahead.add(autosizeMeasuredText(n.title), n.style.font);
    ahead.start();
    for (const Node& n : nodes) {
        const Node sized = autosizeNode(n, autosizeGrowRight, &ahead);
        EXPECT_EQ(sized.size, autosizeNode(n, autosizeGrowRight).size) << n.title;
        EXPECT_EQ(sized.center, autosizeNode(n, autosizeGrowRight).center) << n.title;
    }
}

TEST(NodeSizingTest, VeryLongTitlesAreWrappedInsideTheirNodes)
{
    // 100,000 characters: one unbroken word, words, and paragraphs of words.
    std::string word(100000, 'a');
    std::string words;
    std::string paragraphs;
    for (int i = 0; words.size() < 100000; ++i) {
        words += "word" + std::to_string(i % 97) + " ";
        paragraphs += "word" + std::to_string(i % 97) + (i % 40 == 39 ? "\n" : " ");
    }
    for (const std::string& title : {word, words, paragraphs}) {
        SCOPED_TRACE(title.substr(0, 12));
        const Node sized = autosizeNode(node(title, 16));
        // The label, as the canvas lays it out, holds every line within its width, and the node holds the label
        // with no more room than the one line every title has below its text.
        const Rect label = labelLayout(sized).second;
        const std::vector<TextLine> lines = TextMeasurement::lines(sized.attributedTitle(), label.width());
        double tallest = 0;
        double widest = 0;
        for (const TextLine& line : lines) {
            EXPECT_LE(line.width, label.width());
            tallest = std::max(tallest, std::ceil(line.height));
            widest = std::max(widest, line.width);
        }
        EXPECT_GE(sized.size.height, label.height());
        EXPECT_EQ(sized.size.height, tallest * double(lines.size() + 1));
        // At least a third as wide as high, as every title of more than two lines, and no wider than that
        // unless the label's widest line (a paragraph) would be broken.
        const double third = sized.size.height / 3 + 20;
        EXPECT_GE(sized.size.width, third);
        EXPECT_TRUE(sized.size.width <= 1.05 * third || widest >= 0.95 * label.width())
            << sized.size.width << " × " << sized.size.height << ", widest line " << widest;
    }
}

TEST(NodeSizingTest, PicturesFarFromSquareGetAnAreaOfTheirShapeUpToTheirOwnHeight)
{
    const auto sizedWith = [](int width, int height) {
        QImage bitmap(width, height, QImage::Format_ARGB32);
        bitmap.fill(Qt::red);
        Node n = node("Topic");
        n.shape = NodeShape::rect;
        n.setImage(Image(bitmap));
        return autosizeNode(n);
    };
    // Wider than the widest node can show at the usual area's height: a lower area; higher: a higher one.
    for (const auto& [width, height] : {std::pair{1200, 200}, std::pair{200, 900}}) {
        SCOPED_TRACE(width);
        const Node sized = sizedWith(width, height);
        const Rect area = labelFrame(sized).first;
        EXPECT_NEAR(area.height() / area.width(), double(height) / width, 0.02 * height / width);
    }
    // A needle is shown no higher than it is.
    const Node needle = sizedWith(10, 1000);
    const Rect area = labelFrame(needle).first;
    EXPECT_GE(area.height(), 1000.0);
    EXPECT_LT(area.height(), 1001.5);
}
