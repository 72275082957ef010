// Pasteboard types, paste kinds, the node-style and node-shape payloads, and the node lists a copy carries
// and a paste renumbers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/VQDocumentPasteboard.h"
#include "model/graph/Graph.h"
#include "model/graph/Node.h"
#include "model/graph/NodeUID.h"
#include "platform/KeyedValue.h"
#include "platform/Log.h"
#include "platform/Pasteboard.h"
#include "platform/PropertyList.h"

using namespace velquine;

namespace {

using PB = VQDocumentPasteboard;

Node makeNode(std::int64_t uid, std::optional<std::int64_t> parent, std::vector<std::int64_t> children,
              std::string title, Point center = {0, 0}, Size size = {100, 40})
{
    Node node(uid, parent, NodeStyle());
    node.childrenUIDs = std::move(children);
    node.title = std::move(title);
    node.center = center;
    node.size = size;
    return node;
}

std::vector<std::int64_t> uidsOf(const std::vector<Node>& nodes)
{
    std::vector<std::int64_t> uids;
    for (const Node& node : nodes)
        uids.push_back(node.uid);
    return uids;
}

std::vector<std::string> keysOf(const KeyedValue& object)
{
    std::vector<std::string> keys;
    for (const auto& entry : object.asObject())
        keys.push_back(entry.key);
    return keys;
}

// R(1) { A(2) { A1(4), A2(5) }, B(3) { B1(6) } }, and a second root S(10) { S1(11) }.
Graph sampleGraph()
{
    Graph graph;
    graph.storeNodes({
        makeNode(1, std::nullopt, {2, 3}, "R", {0, 0}),
        makeNode(2, 1, {4, 5}, "A", {200, -50}),
        makeNode(3, 1, {6}, "B", {200, 50}),
        makeNode(4, 2, {}, "A1", {400, -80}),
        makeNode(5, 2, {}, "A2", {400, -20}),
        makeNode(6, 3, {}, "B1", {400, 50}),
        makeNode(10, std::nullopt, {11}, "S", {0, 500}),
        makeNode(11, 10, {}, "S1", {200, 500}),
    });
    return graph;
}

NodeStyle distinctStyle()
{
    NodeStyle style;
    style.borderWidth = StrokeThickness::thick;
    style.borderColor = Color::red();
    style.fillColor = Color::sRGB(0.25, 0.5, 0.75, 1.0);
    style.borderStyle = StrokeStyle::dashed2;
    style.branchColor = Color::green();
    style.branchStyle = StrokeStyle::dotted;
    style.branchWidth = StrokeThickness::thin;
    style.textColor = Color::orange();
    style.textAlignment = 2;
    style.font = Font("DejaVu Serif", 21.0);
    style.userOverrides = NodeStyle::UserOverride::fontSize;
    style.isUnderlined = true;
    style.isStrikeThrough = true;
    style.imagePosition = ImagePosition::leading;
    return style;
}

} // namespace

// ---- Types and kinds ----

TEST(ClipboardFormats, NamedTypesAndTheDuplicatorBoard)
{
    EXPECT_EQ(PB::pasteboardType(PB::Type::opml), "org.opml.opml");
    EXPECT_EQ(PB::pasteboardType(PB::Type::nodeStyle), "io.kelvarn.velquine.pb.node_style");
    EXPECT_EQ(PB::pasteboardType(PB::Type::nodeShape), "io.kelvarn.velquine.pb.node_shape");
    EXPECT_EQ(PB::pasteboardType(PB::Type::nodesPlist), "io.kelvarn.velquine.pb.nodes.plist");
    EXPECT_EQ(PB::pasteboardType(PB::Type::sourceDocument), "io.kelvarn.velquine.sourceDocument");
    EXPECT_EQ(PB::duplicatorBoardName, "io.kelvarn.velquine.nodeDuplicatorBoard");
    // Made once: the same object on every call.
    EXPECT_EQ(&PB::pasteboardType(PB::Type::opml), &PB::pasteboardType(PB::Type::opml));
}

TEST(ClipboardFormats, KindsAndTheirTypes)
{
    EXPECT_EQ(static_cast<int>(PasteKind::none), 0);
    EXPECT_EQ(static_cast<int>(PasteKind::rtf), 1);
    EXPECT_EQ(static_cast<int>(PasteKind::string), 2);
    EXPECT_EQ(static_cast<int>(PasteKind::nodesPlist), 3);
    EXPECT_EQ(static_cast<int>(PasteKind::nodeStyle), 4);
    EXPECT_EQ(static_cast<int>(PasteKind::image), 5);
    EXPECT_EQ(static_cast<int>(PasteKind::url), 6);
    EXPECT_EQ(static_cast<int>(PasteKind::opml), 7);

    EXPECT_TRUE(pasteKindTypes(PasteKind::none).empty());
    EXPECT_EQ(pasteKindTypes(PasteKind::rtf), std::vector<std::string>{Pasteboard::rtfType});
    EXPECT_EQ(pasteKindTypes(PasteKind::string), std::vector<std::string>{Pasteboard::stringType});
    EXPECT_EQ(pasteKindTypes(PasteKind::nodesPlist),
              std::vector<std::string>{"io.kelvarn.velquine.pb.nodes.plist"});
    EXPECT_EQ(pasteKindTypes(PasteKind::nodeStyle), std::vector<std::string>{"io.kelvarn.velquine.pb.node_style"});
    EXPECT_EQ(pasteKindTypes(PasteKind::image), (std::vector<std::string>{Pasteboard::pngType, Pasteboard::tiffType}));
    EXPECT_EQ(pasteKindTypes(PasteKind::url), std::vector<std::string>{Pasteboard::urlType});
    EXPECT_EQ(pasteKindTypes(PasteKind::opml), std::vector<std::string>{"org.opml.opml"});
}

TEST(ClipboardFormats, KindAvailabilityAndPasteability)
{
    Pasteboard board;
    EXPECT_FALSE(PB::canPaste(board));
    for (int raw = 0; raw <= 7; ++raw)
        EXPECT_FALSE(pasteboardHasKind(static_cast<PasteKind>(raw), board)) << raw;

    // A TIFF alone is an image.
    board.setData(Bytes{1, 2, 3}, Pasteboard::tiffType);
    EXPECT_TRUE(pasteboardHasKind(PasteKind::image, board));
    EXPECT_TRUE(PB::canPaste(board));
    EXPECT_FALSE(pasteboardHasKind(PasteKind::none, board));

    // A node style (with its shape) is no map content.
    board.clearContents();
    ASSERT_TRUE(PB::writeNodeStyle(NodeStyle(), NodeShape::rect, board, "test"));
    EXPECT_TRUE(pasteboardHasKind(PasteKind::nodeStyle, board));
    EXPECT_FALSE(PB::canPaste(board));

    const std::vector<std::pair<std::string, PasteKind>> pasteable{
        {"io.kelvarn.velquine.pb.nodes.plist", PasteKind::nodesPlist},
        {Pasteboard::stringType, PasteKind::string},
        {Pasteboard::rtfType, PasteKind::rtf},
        {Pasteboard::urlType, PasteKind::url},
        {"org.opml.opml", PasteKind::opml},
        {Pasteboard::pngType, PasteKind::image},
    };
    for (const auto& [type, kind] : pasteable) {
        Pasteboard one;
        one.setString("x", type);
        EXPECT_TRUE(pasteboardHasKind(kind, one)) << type;
        EXPECT_TRUE(PB::canPaste(one)) << type;
    }
    EXPECT_EQ(PB::pasteableKinds(), (std::vector<PasteKind>{PasteKind::nodesPlist, PasteKind::string, PasteKind::rtf,
                                                            PasteKind::url, PasteKind::opml, PasteKind::image}));
}

// ---- Node style and shape ----

TEST(ClipboardFormats, StyleCopyDeclaresStyleThenShapeAndReplacesEverything)
{
    Pasteboard board;
    board.setString("earlier nodes", "io.kelvarn.velquine.pb.nodes.plist");
    board.setString("earlier text", Pasteboard::stringType);

    ASSERT_TRUE(PB::writeNodeStyle(distinctStyle(), NodeShape::hexagon, board, "copyNodeStyleToPasteBoard(style:shape:)"));
    EXPECT_EQ(board.types(),
              (std::vector<std::string>{"io.kelvarn.velquine.pb.node_style", "io.kelvarn.velquine.pb.node_shape"}));

    // Binary property lists: the style keyed by its field names, the shape a one-key object.
    const Bytes styleData = *board.data("io.kelvarn.velquine.pb.node_style");
    const Bytes shapeData = *board.data("io.kelvarn.velquine.pb.node_shape");
    ASSERT_GE(styleData.size(), 8u);
    EXPECT_EQ(std::string(styleData.begin(), styleData.begin() + 8), "bplist00");
    EXPECT_EQ(std::string(shapeData.begin(), shapeData.begin() + 8), "bplist00");

    const KeyedValue style = PropertyList::read(styleData);
    ASSERT_TRUE(style.isObject());
    std::vector<std::string> keys = keysOf(style);
    std::sort(keys.begin(), keys.end());
    std::vector<std::string> expected{"borderWidth",  "borderColor",   "fillColor",       "borderStyle",
                                      "branchColor",  "branchStyle",   "branchWidth",     "textColor",
                                      "textAlignment", "font",         "userOverrides",   "isUnderlined",
                                      "isStrikeThrough", "imagePosition"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(keys, expected);
    EXPECT_TRUE(style.at("borderColor").isBytes());
    EXPECT_TRUE(style.at("font").isBytes());

    const KeyedValue shape = PropertyList::read(shapeData);
    ASSERT_TRUE(shape.isObject());
    EXPECT_EQ(keysOf(shape), std::vector<std::string>{"hexagon"});
    EXPECT_TRUE(shape.at("hexagon").isObject());
    EXPECT_EQ(shape.at("hexagon").size(), 0u);
}

TEST(ClipboardFormats, StyleAndShapeReadBack)
{
    LogCapture log;
    Pasteboard board;
    ASSERT_TRUE(PB::writeNodeStyle(distinctStyle(), NodeShape::diamond, board, "copy"));
    const std::optional<NodeStyle> style = PB::readNodeStyle(board, "getNodeStyleFromPasteBoard()");
    const std::optional<NodeShape> shape = PB::readNodeShape(board, "getNodeShapeFromPasteBoard()");
    ASSERT_TRUE(style);
    ASSERT_TRUE(shape);
    EXPECT_EQ(*style, distinctStyle());
    EXPECT_EQ(*shape, NodeShape::diamond);
    EXPECT_TRUE(log.lines().empty());

    // Every shape survives the trip.
    for (int raw = 0; raw <= static_cast<int>(NodeShape::diamond); ++raw) {
        Pasteboard one;
        ASSERT_TRUE(PB::writeNodeStyle(NodeStyle(), static_cast<NodeShape>(raw), one, "copy"));
        EXPECT_EQ(PB::readNodeShape(one, "read"), static_cast<NodeShape>(raw));
    }
}

TEST(ClipboardFormats, StyleAndShapeReadersOnOtherContent)
{
    // Text only: nothing, and no log line.
    {
        LogCapture log;
        Pasteboard board;
        board.setString("some text", Pasteboard::stringType);
        EXPECT_FALSE(PB::readNodeStyle(board, "getNodeStyleFromPasteBoard()"));
        EXPECT_FALSE(PB::readNodeShape(board, "getNodeShapeFromPasteBoard()"));
        EXPECT_TRUE(log.lines().empty());
    }
    // A shape object with two shape keys, or with none: nothing, one log line each.
    for (const KeyedValue& payload :
         {KeyedValue::object({{"rect", KeyedValue::object()}, {"pill", KeyedValue::object()}}), KeyedValue::object()}) {
        LogCapture log;
        Pasteboard board;
        board.setData(PropertyList::write(payload), "io.kelvarn.velquine.pb.node_shape");
        EXPECT_FALSE(PB::readNodeShape(board, "getNodeShapeFromPasteBoard()"));
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].find("getNodeShapeFromPasteBoard() - Invalid number of keys found, expected one."),
                  std::string::npos)
            << log.lines()[0];
    }
    // Bytes that are no property list, and a style object missing its members: nothing, one log line.
    {
        LogCapture log;
        Pasteboard board;
        board.setData(Bytes{'n', 'o', 'p', 'e'}, "io.kelvarn.velquine.pb.node_style");
        EXPECT_FALSE(PB::readNodeStyle(board, "getNodeStyleFromPasteBoard()"));
        board.setData(PropertyList::write(KeyedValue::object({{"borderWidth", KeyedValue(3)}})),
                      "io.kelvarn.velquine.pb.node_style");
        EXPECT_FALSE(PB::readNodeStyle(board, "getNodeStyleFromPasteBoard()"));
        EXPECT_EQ(log.lines().size(), 2u);
    }
    // A style whose payload has the wrong top level.
    {
        LogCapture log;
        Pasteboard board;
        board.setData(PropertyList::write(KeyedValue::array({KeyedValue(1)})), "io.kelvarn.velquine.pb.node_style");
        EXPECT_FALSE(PB::readNodeStyle(board, "getNodeStyleFromPasteBoard()"));
        EXPECT_EQ(log.lines().size(), 1u);
    }
}

TEST(ClipboardFormats, StyleThatCannotBeEncodedLeavesThePasteboardAlone)
{
    NodeStyle style;
    style.font = Font(std::string("\xff\xfe broken"), 12.0);
    Pasteboard board;
    board.setString("kept", Pasteboard::stringType);
    LogCapture log;
    EXPECT_FALSE(PB::writeNodeStyle(style, NodeShape::rect, board, "copyNodeStyleToPasteBoard(style:shape:)"));
    EXPECT_EQ(board.types(), std::vector<std::string>{Pasteboard::stringType});
    EXPECT_EQ(board.string(Pasteboard::stringType), "kept");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("copyNodeStyleToPasteBoard(style:shape:) - "), std::string::npos);
}

// ---- Gathering a copy ----

TEST(ClipboardFormats, GatheringANodeWithItsDescendantListsEachOnce)
{
    const Graph graph = sampleGraph();
    // The ancestor first: the descendant is listed once, at its place in the ancestor's subtree.
    {
        const auto gathered = PB::gatherNodesForCopy(graph, {*graph.node(1), *graph.node(5)});
        EXPECT_EQ(uidsOf(gathered), (std::vector<std::int64_t>{1, 2, 4, 5, 3, 6}));
        EXPECT_EQ(uidsOf(PB::roots(gathered)), std::vector<std::int64_t>{1});
    }
    {
        const auto gathered = PB::gatherNodesForCopy(graph, {*graph.node(5), *graph.node(1)});
        // The descendant first: it stays first (the paste anchor), and is not repeated inside the subtree.
        EXPECT_EQ(uidsOf(gathered), (std::vector<std::int64_t>{5, 1, 2, 4, 3, 6}));
        // 5's parent 2 is in the list, so 5 keeps it; the only root is 1.
        EXPECT_EQ(gathered[0].parentUID, std::optional<std::int64_t>(2));
        EXPECT_EQ(uidsOf(PB::roots(gathered)), std::vector<std::int64_t>{1});
    }
}

TEST(ClipboardFormats, GatheringAMiddleNodeDetachesOnlyIt)
{
    const Graph graph = sampleGraph();
    const auto gathered = PB::gatherNodesForCopy(graph, {*graph.node(2)});
    ASSERT_EQ(uidsOf(gathered), (std::vector<std::int64_t>{2, 4, 5}));
    EXPECT_FALSE(gathered[0].parentUID);
    EXPECT_EQ(gathered[1].parentUID, std::optional<std::int64_t>(2));
    EXPECT_EQ(gathered[2].parentUID, std::optional<std::int64_t>(2));
    // Children lists stay as they are.
    EXPECT_EQ(gathered[0].childrenUIDs, (std::vector<std::int64_t>{4, 5}));
    // The graph keeps the real parent.
    EXPECT_EQ(graph.node(2)->parentUID, std::optional<std::int64_t>(1));
}

TEST(ClipboardFormats, GatheringSeparateSubtreesGivesTheirRootsInOrder)
{
    const Graph graph = sampleGraph();
    Node missing = makeNode(77, std::nullopt, {}, "gone");
    const auto gathered = PB::gatherNodesForCopy(graph, {*graph.node(10), missing, *graph.node(3)});
    EXPECT_EQ(uidsOf(gathered), (std::vector<std::int64_t>{10, 11, 3, 6}));
    EXPECT_EQ(uidsOf(PB::roots(gathered)), (std::vector<std::int64_t>{10, 3}));
    EXPECT_TRUE(PB::gatherNodesForCopy(graph, {}).empty());
}

TEST(ClipboardFormats, NodeListPayloadIsATopLevelArrayOfKeyedNodes)
{
    const Graph graph = sampleGraph();
    const auto gathered = PB::gatherNodesForCopy(graph, {*graph.node(2)});
    const Bytes data = Node::encodePropertyList(gathered);
    const KeyedValue top = PropertyList::read(data);
    ASSERT_TRUE(top.isArray());
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(keysOf(top.at(0)),
              (std::vector<std::string>{"UID", "parentUID", "title", "url", "note", "center", "size", "style",
                                        "children", "shape", "autoSize", "isFolded", "layoutOptions",
                                        "createdTimestamp", "modifiedTimestamp", "verticalAffinity",
                                        "horizontalAffinity"}));
    EXPECT_EQ(top.at(0).at("UID").asInt64(), 2);
    EXPECT_TRUE(top.at(0).at("parentUID").isNull());
    EXPECT_EQ(top.at(1).at("parentUID").asInt64(), 2);
    EXPECT_EQ(top.at(0).at("title").asString(), "A");
}

// ---- Renumbering a paste ----

TEST(ClipboardFormats, RenumberingKeepsLinksInsideTheListAndPlacesTheFirstNode)
{
    resetNodeUIDCounterForTesting(100);
    const std::vector<Node> pasted{
        makeNode(2, std::nullopt, {4, 5}, "A", {200, -50}),
        makeNode(4, 2, {}, "A1", {250, -80}),
        makeNode(5, 2, {}, "A2", {400, -20}),
    };
    const auto placed = PB::renumberedAndPlaced(pasted, {1000, 2000});
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(uidsOf(placed), (std::vector<std::int64_t>{101, 102, 103}));
    EXPECT_FALSE(placed[0].parentUID);
    EXPECT_EQ(placed[0].childrenUIDs, (std::vector<std::int64_t>{102, 103}));
    EXPECT_EQ(placed[1].parentUID, std::optional<std::int64_t>(101));
    EXPECT_EQ(placed[2].parentUID, std::optional<std::int64_t>(101));
    EXPECT_EQ(placed[0].center, (Point{1000, 2000}));
    EXPECT_EQ(placed[1].center, (Point{1050, 1970}));
    EXPECT_EQ(placed[2].center, (Point{1200, 2030}));
    EXPECT_EQ(placed[1].title, "A1");
    EXPECT_EQ(placed[2].size, (Size{100, 40}));
    EXPECT_EQ(nodeUIDCounter(), 103);

    // The same list again: another set of identifiers.
    const auto again = PB::renumberedAndPlaced(pasted, {0, 0});
    EXPECT_EQ(uidsOf(again), (std::vector<std::int64_t>{104, 105, 106}));
    EXPECT_EQ(again[0].childrenUIDs, (std::vector<std::int64_t>{105, 106}));
}

TEST(ClipboardFormats, RenumberingGivesOutsideLinksNumbersThatNameNothing)
{
    resetNodeUIDCounterForTesting(10);
    // Node 7 names parent 3 and child 9, neither in the list; then node 8 with parent 7.
    const std::vector<Node> pasted{
        makeNode(7, 3, {9, 8}, "X", {5, 5}),
        makeNode(8, 7, {}, "Y", {15, 5}),
    };
    const auto placed = PB::renumberedAndPlaced(pasted, {0, 0});
    // Order of numbering: 7 -> 11, its parent 3 -> 12, its children 9 -> 13 and 8 -> 14.
    EXPECT_EQ(placed[0].uid, 11);
    EXPECT_EQ(placed[0].parentUID, std::optional<std::int64_t>(12));
    EXPECT_EQ(placed[0].childrenUIDs, (std::vector<std::int64_t>{13, 14}));
    EXPECT_EQ(placed[1].uid, 14);
    EXPECT_EQ(placed[1].parentUID, std::optional<std::int64_t>(11));
    EXPECT_EQ(placed[1].center, (Point{10, 0}));
    EXPECT_EQ(nodeUIDCounter(), 14);

    EXPECT_TRUE(PB::renumberedAndPlaced({}, {1, 1}).empty());
}
