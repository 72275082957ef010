#include "model/graph/Node.h"
#include "model/graph/NodeUID.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <functional>
#include <limits>
#include <unordered_set>

using namespace velquine;

namespace {

constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();

// Every test here starts from a counter of 0, as a fresh process does, and leaves it there.
class NodeUIDCounter : public ::testing::Test {
protected:
    void SetUp() override { resetNodeUIDCounterForTesting(0); }
    void TearDown() override { resetNodeUIDCounterForTesting(0); }
};

class NodeValue : public NodeUIDCounter { };

NodeStyle styleWithFill(const Color& fill)
{
    NodeStyle style;
    style.fillColor = fill;
    return style;
}

Image solidImage(int pixelsWide, int pixelsHigh, Size points, QColor color = QColor(20, 120, 220))
{
    QImage bitmap(pixelsWide, pixelsHigh, QImage::Format_ARGB32);
    bitmap.fill(color);
    return Image(bitmap, points);
}

// A node with no field at its default, on a fixed clock.
Node unusualNode()
{
    Node node(7, 3, styleWithFill(Color::calibratedRGB(0.2, 0.3, 0.4)));
    node.childrenUIDs = {11, 12, 13};
    node.center = {-48.5, 120.25};
    node.size = {98, 38};
    node.autoSize = false;
    node.isFolded = true;
    node.horizontalAffinity = HorizontalAffinity::left;
    node.verticalAffinity = VerticalAffinity::above;
    node.title = "Title";
    node.url = "https://example.org/a";
    node.note = "A note";
    node.shape = NodeShape::cloud;
    node.layoutOptions = LayoutOptions{LayoutOptions::LayoutType::vertical, LayoutOptions::LayoutDirection::descending,
                                       LayoutOptions::BranchType::line, true};
    node.createdTimestamp = 1000.5;
    node.modifiedTimestamp = 2000.25;
    node.setImage(solidImage(40, 20, {40, 20}));
    node.childrenShouldInheritShape = true;
    return node;
}

} // namespace

TEST_F(NodeUIDCounter, NextIdentifierIncreasesThenReturns)
{
    EXPECT_EQ(nodeUIDCounter(), 0);
    EXPECT_EQ(nextNodeUID(), 1);
    EXPECT_EQ(nextNodeUID(), 2);
    EXPECT_EQ(nextNodeUID(), 3);
    EXPECT_EQ(nodeUIDCounter(), 3);
}

TEST_F(NodeUIDCounter, FreshNodesOfANewProcessAreOneTwoThree)
{
    const Node a("a", {}, {}, NodeStyle());
    const Node b("b", {}, {}, NodeStyle());
    const Node c("c", {}, {}, NodeStyle());
    EXPECT_EQ(a.uid, 1);
    EXPECT_EQ(b.uid, 2);
    EXPECT_EQ(c.uid, 3);
}

TEST_F(NodeUIDCounter, StoredIdentifiersRaiseTheCounter)
{
    // Reading nodes 1 to 5: the counter is 6 and the next new node gets 7.
    for (std::int64_t uid = 1; uid <= 5; ++uid)
        Node(uid, uid == 1 ? std::nullopt : std::optional<std::int64_t>(1), NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), 6);
    EXPECT_EQ(Node("new", {}, {}, NodeStyle()).uid, 7);
}

TEST_F(NodeUIDCounter, IdentifierThenParentIdentifier)
{
    Node(3, 10, NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), 11);
    // Neither is above the counter: nothing changes, the counter never goes down.
    Node(4, 9, NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), 11);
    // Equal to the counter counts as "at most": raised by one.
    Node(11, std::nullopt, NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), 12);
    Node(5, 12, NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), 13);
    Node(20, 2, NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), 21);
}

TEST_F(NodeUIDCounter, TemplateIdentifierLeavesTheCounterAlone)
{
    Node(-1, std::nullopt, NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), 0);
    // Below zero and a counter still at zero: nothing either.
    Node(-5, -2, NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), 0);
    resetNodeUIDCounterForTesting(-3);
    Node(-1, std::nullopt, NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), 0);
}

TEST_F(NodeUIDCounter, SaturatesAtTheLargestValueAndThenRefuses)
{
    Node(largest - 1, std::nullopt, NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), largest);
    resetNodeUIDCounterForTesting(0);

    // An identifier of the largest value does not wrap the counter around.
    Node(largest, std::nullopt, NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), largest);
    Node(1, largest, NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), largest);
    EXPECT_THROW(nextNodeUID(), NodeUIDExhaustedError);
    EXPECT_EQ(nodeUIDCounter(), largest);
    EXPECT_THROW(Node("title", {}, {}, NodeStyle()), NodeUIDExhaustedError);
    EXPECT_EQ(nodeUIDCounter(), largest);

    resetNodeUIDCounterForTesting(0);
    Node(0, largest, NodeStyle());
    EXPECT_EQ(nodeUIDCounter(), largest);

    // The last identifier is handed out once, then the counter refuses.
    resetNodeUIDCounterForTesting(largest - 2);
    EXPECT_EQ(nextNodeUID(), largest - 1);
    EXPECT_EQ(nextNodeUID(), largest);
    try {
        nextNodeUID();
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("identifier"), std::string::npos) << error.what();
    }
}

TEST_F(NodeValue, NodeWithIdentifierTakesEveryDefault)
{
    const ScopedClock clock(1700000000.5);
    const NodeStyle s = styleWithFill(Color::orange());
    const Node node(42, std::nullopt, s);
    EXPECT_EQ(node.uid, 42);
    EXPECT_FALSE(node.parentUID.has_value());
    EXPECT_TRUE(node.childrenUIDs.empty());
    EXPECT_EQ(node.center, (Point{0, 0}));
    EXPECT_EQ(node.size, (Size{0, 0}));
    EXPECT_TRUE(node.autoSize);
    EXPECT_FALSE(node.isFolded);
    EXPECT_EQ(node.horizontalAffinity, HorizontalAffinity::right);
    EXPECT_EQ(node.verticalAffinity, VerticalAffinity::below);
    EXPECT_EQ(node.title, "");
    EXPECT_EQ(node.url, "");
    EXPECT_EQ(node.note, "");
    EXPECT_EQ(node.shape, NodeShape::underline);
    EXPECT_FALSE(node.layoutOptions.has_value());
    EXPECT_EQ(node.createdTimestamp, 1700000000.5);
    EXPECT_EQ(node.modifiedTimestamp, -1.0);
    EXPECT_FALSE(node.image().has_value());
    EXPECT_FALSE(node.childrenShouldInheritShape);
    EXPECT_EQ(node.style, s);
    EXPECT_EQ(nodeUIDCounter(), 43);

    const Node child(43, 42, s);
    EXPECT_EQ(child.parentUID, std::optional<std::int64_t>(42));
}

TEST_F(NodeValue, NodeWithTitleTakesAFreshIdentifier)
{
    resetNodeUIDCounterForTesting(99);
    const ScopedClock clock(12.0);
    const Node node("Root", {10, -20}, {128, 48}, styleWithFill(Color::green()));
    EXPECT_EQ(node.uid, 100);
    EXPECT_FALSE(node.parentUID.has_value());
    EXPECT_EQ(node.title, "Root");
    EXPECT_EQ(node.center, (Point{10, -20}));
    EXPECT_EQ(node.size, (Size{128, 48}));
    EXPECT_EQ(node.style.fillColor, Color::green());
    EXPECT_TRUE(node.autoSize);
    EXPECT_EQ(node.shape, NodeShape::underline);
    EXPECT_EQ(node.createdTimestamp, 12.0);
    EXPECT_EQ(node.modifiedTimestamp, -1.0);
    EXPECT_FALSE(node.layoutOptions.has_value());
    EXPECT_TRUE(node.url.empty() && node.note.empty() && node.childrenUIDs.empty());
}

TEST_F(NodeValue, EqualityAndHashGoByIdentifierAlone)
{
    Node a(5, std::nullopt, NodeStyle());
    Node b = a;
    b.title = "other";
    b.center = {1, 2};
    EXPECT_EQ(a, b);
    EXPECT_EQ(std::hash<Node>{}(a), std::hash<Node>{}(b));
    EXPECT_TRUE(a.differs(b));

    Node c = a;
    c.modifiedTimestamp = 123.0;
    EXPECT_EQ(a, c);
    EXPECT_FALSE(a.differs(c));
    EXPECT_FALSE(c.differs(a));

    Node d(6, std::nullopt, NodeStyle());
    d.createdTimestamp = a.createdTimestamp;
    EXPECT_NE(a, d);

    std::unordered_set<Node> set{a, b, c, d};
    EXPECT_EQ(set.size(), 2u);
}

TEST_F(NodeValue, DiffersFieldByField)
{
    const Node base = unusualNode();
    EXPECT_FALSE(base.differs(base));
    EXPECT_FALSE(Node(base).differs(base));

    const std::vector<std::pair<const char*, std::function<void(Node&)>>> changes{
        {"uid", [](Node& n) { n.uid = 8; }},
        {"parent", [](Node& n) { n.parentUID = 4; }},
        {"no parent", [](Node& n) { n.parentUID.reset(); }},
        {"children order", [](Node& n) { n.childrenUIDs = {12, 11, 13}; }},
        {"children length", [](Node& n) { n.childrenUIDs.push_back(14); }},
        {"center x", [](Node& n) { n.center.x += 0.001; }},
        {"center y", [](Node& n) { n.center.y = -n.center.y; }},
        {"width", [](Node& n) { n.size.width = 99; }},
        {"height", [](Node& n) { n.size.height = 39; }},
        {"autoSize", [](Node& n) { n.autoSize = true; }},
        {"isFolded", [](Node& n) { n.isFolded = false; }},
        {"title", [](Node& n) { n.title = "title"; }},
        {"url", [](Node& n) { n.url.clear(); }},
        {"note", [](Node& n) { n.note += " "; }},
        {"shape", [](Node& n) { n.shape = NodeShape::ellipse; }},
        {"image cleared", [](Node& n) { n.setImage(std::nullopt); }},
        {"other image", [](Node& n) { n.setImage(solidImage(40, 20, {40, 20}, QColor(1, 2, 3))); }},
        {"childrenShouldInheritShape", [](Node& n) { n.childrenShouldInheritShape = false; }},
        {"style", [](Node& n) { n.style.isUnderlined = true; }},
        {"style font", [](Node& n) { n.style.font = Font::systemFont(31.0); }},
        {"createdTimestamp", [](Node& n) { n.createdTimestamp = 1000.0; }},
        {"horizontalAffinity", [](Node& n) { n.horizontalAffinity = HorizontalAffinity::right; }},
        {"verticalAffinity", [](Node& n) { n.verticalAffinity = VerticalAffinity::below; }},
        {"layout options absent", [](Node& n) { n.layoutOptions.reset(); }},
        {"layout type", [](Node& n) { n.layoutOptions->layoutType = LayoutOptions::LayoutType::horizontal; }},
        {"layout direction", [](Node& n) { n.layoutOptions->layoutDirection = LayoutOptions::LayoutDirection::balanced; }},
        {"branch type", [](Node& n) { n.layoutOptions->branchType = LayoutOptions::BranchType::angular; }},
        {"manual", [](Node& n) { n.layoutOptions->isManual = false; }},
    };
    for (const auto& [name, change] : changes) {
        Node other = base;
        change(other);
        EXPECT_TRUE(base.differs(other)) << name;
        EXPECT_TRUE(other.differs(base)) << name;
    }

    // The modification time alone never counts.
    Node touched = base;
    touched.modifiedTimestamp = -1.0;
    EXPECT_FALSE(base.differs(touched));

    // The same image set again from the same source compares equal.
    Node sameImage = base;
    sameImage.setImage(solidImage(40, 20, {40, 20}));
    EXPECT_FALSE(base.differs(sameImage));
}

TEST_F(NodeValue, LayoutOptionsPresenceCounts)
{
    Node a(1, std::nullopt, NodeStyle());
    Node b = a;
    b.layoutOptions = LayoutOptions{};
    EXPECT_TRUE(a.differs(b));
    EXPECT_TRUE(b.differs(a));
    a.layoutOptions = LayoutOptions{};
    EXPECT_FALSE(a.differs(b));
}

TEST_F(NodeValue, AffinityFromCentres)
{
    Node parent(1, std::nullopt, NodeStyle());
    parent.center = {100, 100};
    Node node(2, 1, NodeStyle());
    node.horizontalAffinity = HorizontalAffinity::left;
    node.verticalAffinity = VerticalAffinity::above;

    node.center = {100, 100};
    node.updateAffinity(parent);
    EXPECT_EQ(node.horizontalAffinity, HorizontalAffinity::right);
    EXPECT_EQ(node.verticalAffinity, VerticalAffinity::below);

    node.center = {99.5, 40};
    node.updateAffinity(parent);
    EXPECT_EQ(node.horizontalAffinity, HorizontalAffinity::left);
    EXPECT_EQ(node.verticalAffinity, VerticalAffinity::above);

    node.center = {300, 100.5};
    node.updateAffinity(parent);
    EXPECT_EQ(node.horizontalAffinity, HorizontalAffinity::right);
    EXPECT_EQ(node.verticalAffinity, VerticalAffinity::below);

    node.center = {300, 0};
    node.updateAffinity(parent);
    EXPECT_EQ(node.horizontalAffinity, HorizontalAffinity::right);
    EXPECT_EQ(node.verticalAffinity, VerticalAffinity::above);
}

TEST_F(NodeValue, ImagesAreFittedIntoTheBox)
{
    Node node(1, std::nullopt, NodeStyle());
    const std::vector<std::pair<Size, Size>> cases{
        {{3000, 1999}, {1024, 682}}, {{4032, 3024}, {1024, 768}}, {{1000, 3000}, {341, 1024}},
        {{1025, 10}, {1024, 9}},     {{2048, 1024}, {1024, 512}}, {{1128, 500}, {1023, 453}},
        {{1024, 1024}, {1024, 1024}}, {{2000, 2000}, {1024, 1024}},
    };
    for (const auto& [source, stored] : cases) {
        node.setImage(solidImage(8, 8, source));
        ASSERT_TRUE(node.image().has_value()) << source.width << "x" << source.height;
        EXPECT_EQ(node.image()->size(), stored) << source.width << "x" << source.height;
        EXPECT_EQ(node.image()->pixelsWide(), int(stored.width));
        EXPECT_EQ(node.image()->pixelsHigh(), int(stored.height));
    }
}

TEST_F(NodeValue, SmallImagesAreRedrawnAtTheirOwnSize)
{
    Node node(1, std::nullopt, NodeStyle());
    const Image small = solidImage(640, 480, {640, 480}, QColor(200, 10, 10));
    node.setImage(small);
    ASSERT_TRUE(node.image().has_value());
    EXPECT_EQ(node.image()->size(), (Size{640, 480}));
    EXPECT_EQ(node.image()->pixelsWide(), 640);
    EXPECT_EQ(node.image()->pixelsHigh(), 480);
    EXPECT_TRUE(node.image()->bitmap().hasAlphaChannel());
    EXPECT_NE(node.image()->bitmap().cacheKey(), small.bitmap().cacheKey());
    EXPECT_EQ(QColor(node.image()->bitmap().pixel(320, 240)), QColor(200, 10, 10));

    node.setImage(solidImage(100, 50, {100, 50}));
    EXPECT_EQ(node.image()->size(), (Size{100, 50}));

    node.setImage(std::nullopt);
    EXPECT_FALSE(node.image().has_value());
}

TEST_F(NodeValue, ElongatedImagesKeepASideOfAtLeastOnePoint)
{
    Node node(1, std::nullopt, NodeStyle());
    node.setImage(solidImage(30, 2, {3001, 2}));
    ASSERT_TRUE(node.image().has_value());
    EXPECT_EQ(node.image()->size(), (Size{1024, 1}));
    EXPECT_EQ(node.image()->pixelsHigh(), 1);

    node.setImage(solidImage(2, 30, {1, 5000}));
    ASSERT_TRUE(node.image().has_value());
    EXPECT_EQ(node.image()->size(), (Size{1, 1024}));

    // A thin line at twice the screen resolution: half a point high, kept one point high at its own width.
    node.setImage(solidImage(2000, 1, {1000, 0.5}));
    ASSERT_TRUE(node.image().has_value());
    EXPECT_EQ(node.image()->size(), (Size{1000, 1}));
    EXPECT_EQ(node.image()->pixelsWide(), 1000);
    EXPECT_EQ(node.image()->pixelsHigh(), 1);

    node.setImage(solidImage(1, 1, {0.25, 0.25}));
    ASSERT_TRUE(node.image().has_value());
    EXPECT_EQ(node.image()->size(), (Size{1, 1}));
}

TEST_F(NodeValue, ImagesWithoutAUsableSizeAreNotStored)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (Size bad : {Size{0, 10}, Size{10, 0}, Size{0, 0}, Size{inf, 10}, Size{10, inf}, Size{nan, 10},
                     Size{10, nan}, Size{-10, 10}}) {
        Node node = unusualNode();
        ASSERT_TRUE(node.image().has_value());
        node.setImage(solidImage(10, 10, bad));
        EXPECT_FALSE(node.image().has_value()) << bad.width << "x" << bad.height;
    }
    Node node(1, std::nullopt, NodeStyle());
    node.setImage(Image());
    EXPECT_FALSE(node.image().has_value());
}

TEST_F(NodeValue, AttributedTitleCarriesSevenAttributes)
{
    Node node(1, std::nullopt, NodeStyle());
    node.title = "Hello world";
    node.style.textAlignment = 2;
    node.style.textColor = Color::calibratedRGB(0.1, 0.2, 0.3);
    node.style.font = Font::systemFont(20.0);

    const AttributedString plain = node.attributedTitle();
    EXPECT_EQ(plain.string(), "Hello world");
    ASSERT_EQ(plain.runs().size(), 1u);
    EXPECT_EQ(plain.runs()[0].location, 0u);
    EXPECT_EQ(plain.runs()[0].length, 11u);
    const TextAttributes& a = plain.runs()[0].attributes;
    EXPECT_EQ(a.count(), 7);
    EXPECT_EQ(a.font, Font::systemFont(20.0));
    EXPECT_EQ(a.foregroundColor, Color::calibratedRGB(0.1, 0.2, 0.3));
    EXPECT_EQ(a.underlineColor, Color::calibratedRGB(0.1, 0.2, 0.3));
    EXPECT_EQ(a.underlineStyle, LineStyle::none);
    EXPECT_EQ(a.strikethroughStyle, LineStyle::none);
    EXPECT_EQ(a.strikethroughColor, Color::red());
    ParagraphStyle paragraph;
    paragraph.alignment = 2;
    paragraph.lineBreakMode = LineBreakMode::byWordWrapping;
    EXPECT_EQ(a.paragraphStyle, paragraph);

    node.style.isUnderlined = true;
    node.style.isStrikeThrough = true;
    const TextAttributes b = node.attributedTitle().attributesAt(0);
    EXPECT_EQ(b.underlineStyle, LineStyle::single);
    EXPECT_EQ(b.strikethroughStyle, LineStyle::single);
    EXPECT_EQ(b.count(), 7);
}

TEST_F(NodeValue, AttributedNoteIgnoresTheStyle)
{
    Node node(1, std::nullopt, NodeStyle());
    node.note = "Line one\nLine two";
    node.style.font = Font::systemFont(40.0);
    node.style.textColor = Color::red();
    node.style.textAlignment = 2;
    const AttributedString note = node.attributedNote();
    EXPECT_EQ(note.string(), "Line one\nLine two");
    ASSERT_EQ(note.runs().size(), 1u);
    const TextAttributes& a = note.runs()[0].attributes;
    EXPECT_EQ(a.count(), 3);
    EXPECT_EQ(a.font, Font::systemFont(16.0));
    EXPECT_EQ(a.foregroundColor, Color::textColor());
    ASSERT_TRUE(a.paragraphStyle.has_value());
    EXPECT_EQ(a.paragraphStyle->alignment, 0);
}

TEST_F(NodeValue, UniquedKeepsFirstOccurrences)
{
    EXPECT_EQ(uniqued({"b", "a", "b", "c", "a"}), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(uniqued({}), std::vector<std::string>{});
    EXPECT_EQ(uniqued({"A", "a", "", ""}), (std::vector<std::string>{"A", "a", ""}));

    Node first(1, std::nullopt, NodeStyle());
    first.title = "first";
    Node second = first;
    second.title = "second";
    Node other(2, std::nullopt, NodeStyle());
    const std::vector<Node> result = uniquedByUID({other, first, second, other, first});
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0].uid, 2);
    EXPECT_EQ(result[1].uid, 1);
    EXPECT_EQ(result[1].title, "first");
}

TEST(NodeConnectionValue, EqualWhenBothIdentifiersAre)
{
    EXPECT_EQ((NodeConnection{1, 2}), (NodeConnection{1, 2}));
    EXPECT_NE((NodeConnection{1, 2}), (NodeConnection{2, 1}));
    EXPECT_NE((NodeConnection{1, 2}), (NodeConnection{1, 3}));
}
