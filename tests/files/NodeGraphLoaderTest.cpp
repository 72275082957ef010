// Reading the node tables back: defaults of missing rows and values, the problems of unreadable ones,
// the children repair, the cut of circular links, affinities and the font repair.

#include "DocumentDbTestSupport.h"

#include "files/NodeGraphLoader.h"
#include "platform/Base64.h"
#include "platform/KeyedArchive.h"
#include "model/graph/NodeUID.h"
#include "platform/Clock.h"
#include "platform/Log.h"

#include <QImage>

#include <limits>

using namespace documentdbtest;

namespace {

struct Loaded {
    Graph graph;
    ProjectLoadingProblems problems;
};

Loaded load(const Database& database, const ProjectStyle& style = ProjectStyle::omaha())
{
    Loaded loaded;
    loaded.problems = loadNodeGraphFrom(loaded.graph, style, database);
    return loaded;
}

Node nodeOf(const Graph& graph, std::int64_t uid)
{
    std::optional<Node> node = graph.node(uid);
    if (!node)
        throw std::runtime_error("no node " + std::to_string(uid));
    return *node;
}

std::vector<std::int64_t> uids(std::initializer_list<std::int64_t> list)
{
    return list;
}

} // namespace

TEST(NodeGraphLoading, RowsInNodesOnlyGiveDefaultNodesAndRepairedChildren)
{
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "INSERT INTO nodes (id, parentID, createdTS, modifiedTS) VALUES (1, NULL, 100.5, 200.25);"
                   "INSERT INTO nodes (id, parentID, createdTS, modifiedTS) VALUES (2, 1, 101.0, -1.0);"
                   "INSERT INTO nodes (id, parentID, createdTS, modifiedTS) VALUES (3, 1, 102.0, -1.0);");
    LogCapture log;
    Loaded loaded = load(database);
    EXPECT_TRUE(loaded.problems.empty());
    ASSERT_EQ(loaded.graph.count(), 3u);

    const Node root = nodeOf(loaded.graph, 1);
    EXPECT_EQ(root.childrenUIDs, uids({2, 3}));
    EXPECT_EQ(root.createdTimestamp, 100.5);
    EXPECT_EQ(root.modifiedTimestamp, 200.25);
    EXPECT_EQ(root.center, (Point{0, 0}));
    EXPECT_EQ(root.size, (Size{0, 0}));
    EXPECT_TRUE(root.autoSize);
    EXPECT_FALSE(root.isFolded);
    EXPECT_EQ(root.shape, NodeShape::underline);
    EXPECT_EQ(root.title, "");
    EXPECT_EQ(root.url, "");
    EXPECT_EQ(root.note, "");
    EXPECT_FALSE(root.layoutOptions);
    EXPECT_FALSE(root.image());
    EXPECT_FALSE(root.childrenShouldInheritShape);
    EXPECT_EQ(root.style, NodeStyle());
    EXPECT_EQ(root.style.font, Font::systemFont(32.0));
    EXPECT_EQ(nodeOf(loaded.graph, 2).parentUID, std::optional<std::int64_t>(1));
    EXPECT_EQ(nodeOf(loaded.graph, 2).childrenUIDs, uids({}));

    // One debug line per appended child, in identifier order.
    std::vector<std::string> appended;
    for (const std::string& line : log.lines()) {
        if (line.find("loadNodeGraphFrom(database:) - appending") != std::string::npos)
            appended.push_back(line.substr(line.find(" - ") + 3));
    }
    EXPECT_EQ(appended, (std::vector<std::string>{"appending 2 to 1 because it wasn there in the sorted array!",
                                                  "appending 3 to 1 because it wasn there in the sorted array!"}));
}

TEST(NodeGraphLoading, UnreadableTimestampsFallBackSilently)
{
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "INSERT INTO nodes (id, parentID, createdTS, modifiedTS) VALUES (5, NULL, NULL, 'x')");
    ScopedClock clock(1234.5);
    Loaded loaded = load(database);
    EXPECT_TRUE(loaded.problems.empty());
    EXPECT_EQ(nodeOf(loaded.graph, 5).createdTimestamp, 1234.5);
    EXPECT_EQ(nodeOf(loaded.graph, 5).modifiedTimestamp, -1.0);
}

TEST(NodeGraphLoading, UnreadableIdentifiersSkipTheirRowsWithOneProblemEach)
{
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "INSERT INTO nodes (id, parentID) VALUES (NULL, NULL);"
                   "INSERT INTO nodes (id, parentID) VALUES ('seven', NULL);"
                   "INSERT INTO nodes (id, parentID) VALUES (8, NULL);"
                   "INSERT INTO node_titles (id, nodeID, title) VALUES (8, NULL, 'lost');"
                   "INSERT INTO node_titles (id, nodeID, title) VALUES (8, 8, 'kept');");
    Loaded loaded = load(database);
    EXPECT_EQ(grades(loaded.problems), "minorProblem,minorProblem,minorProblem");
    EXPECT_EQ(loaded.graph.count(), 1u);
    EXPECT_EQ(nodeOf(loaded.graph, 8).title, "kept");
    // The message names the place in the loader and the error behind it.
    EXPECT_NE(loaded.problems[0].message.find("NodeGraphLoader.cpp:"), std::string::npos);
    EXPECT_NE(loaded.problems[0].message.find(" => "), std::string::npos);
}

TEST(NodeGraphLoading, LaterRowsWinAndUnknownNodesAreIgnored)
{
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "INSERT INTO nodes (id, parentID, createdTS) VALUES (1, NULL, 10.0);"
                   "INSERT INTO nodes (id, parentID, createdTS) VALUES (1, NULL, 20.0);"
                   "INSERT INTO node_positions (id, nodeID, x, y) VALUES (1, 1, 5.0, 6.0);"
                   "INSERT INTO node_positions (id, nodeID, x, y) VALUES (1, 1, 7.5, 8.5);"
                   "INSERT INTO node_positions (id, nodeID, x, y) VALUES (99, 99, 1.0, 1.0);"
                   "INSERT INTO node_titles (id, nodeID, title) VALUES (1, 1, 'first');"
                   "INSERT INTO node_titles (id, nodeID, title) VALUES (77, 1, 'second');");
    Loaded loaded = load(database);
    EXPECT_TRUE(loaded.problems.empty());
    ASSERT_EQ(loaded.graph.count(), 1u);
    EXPECT_EQ(nodeOf(loaded.graph, 1).createdTimestamp, 20.0);
    EXPECT_EQ(nodeOf(loaded.graph, 1).center, (Point{7.5, 8.5}));
    EXPECT_EQ(nodeOf(loaded.graph, 1).title, "second");
}

TEST(NodeGraphLoading, SideTableDefaultsAndPlainReads)
{
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "INSERT INTO nodes (id) VALUES (1); INSERT INTO nodes (id) VALUES (2);"
                   "INSERT INTO nodes (id) VALUES (3); INSERT INTO nodes (id) VALUES (4);"
                   // sizes: NULL width and autoSize take 128 and on; NULL height 64
                   "INSERT INTO node_sizes (id, nodeID, autoSize, width, height) VALUES (1, 1, NULL, NULL, 30.0);"
                   "INSERT INTO node_sizes (id, nodeID, autoSize, width, height) VALUES (2, 2, 0, 50.0, NULL);"
                   // texts: NULL gives the empty text without a problem
                   "INSERT INTO node_titles (id, nodeID, title) VALUES (1, 1, NULL);"
                   "INSERT INTO node_urls (id, nodeID, url) VALUES (1, 1, 'https://example.org/a?b=1');"
                   "INSERT INTO node_notes (id, nodeID, note) VALUES (1, 1, NULL);"
                   "INSERT INTO node_notes (id, nodeID, note) VALUES (2, 2, 'line one\nline two');"
                   // shapes: NULL reads roundedRect, hexagon reads roundedRect, no row keeps underline
                   "INSERT INTO node_shapes (id, nodeID, shape, children_inherit_shape) VALUES (1, 1, NULL, NULL);"
                   "INSERT INTO node_shapes (id, nodeID, shape, children_inherit_shape) VALUES (2, 2, 'hexagon', 1);"
                   "INSERT INTO node_shapes (id, nodeID, shape, children_inherit_shape) VALUES (3, 3, 'diamond', 0);"
                   // folds: a NULL is a problem and leaves the node unfolded
                   "INSERT INTO node_folds (id, nodeID, is_folded) VALUES (1, 1, NULL);"
                   "INSERT INTO node_folds (id, nodeID, is_folded) VALUES (2, 2, 1);"
                   // positions: a text is a problem, the node stays at the origin
                   "INSERT INTO node_positions (id, nodeID, x, y) VALUES (3, 3, 'left', 4.0);");
    Loaded loaded = load(database);
    EXPECT_EQ(grades(loaded.problems), "minorProblem,minorProblem");

    const Node one = nodeOf(loaded.graph, 1);
    EXPECT_TRUE(one.autoSize);
    EXPECT_EQ(one.size, (Size{128.0, 30.0}));
    EXPECT_EQ(one.title, "");
    EXPECT_EQ(one.url, "https://example.org/a?b=1");
    EXPECT_EQ(one.note, "");
    EXPECT_EQ(one.shape, NodeShape::roundedRect);
    EXPECT_FALSE(one.childrenShouldInheritShape);
    EXPECT_FALSE(one.isFolded);

    const Node two = nodeOf(loaded.graph, 2);
    EXPECT_FALSE(two.autoSize);
    EXPECT_EQ(two.size, (Size{50.0, 64.0}));
    EXPECT_EQ(two.note, "line one\nline two");
    EXPECT_EQ(two.shape, NodeShape::roundedRect);
    EXPECT_TRUE(two.childrenShouldInheritShape);
    EXPECT_TRUE(two.isFolded);

    const Node three = nodeOf(loaded.graph, 3);
    EXPECT_EQ(three.shape, NodeShape::diamond);
    EXPECT_EQ(three.center, (Point{0, 0}));
    EXPECT_EQ(nodeOf(loaded.graph, 4).shape, NodeShape::underline);
    EXPECT_EQ(nodeOf(loaded.graph, 4).size, (Size{0, 0}));
}

TEST(NodeGraphLoading, StylesAndTheFontRepair)
{
    Folder folder;
    Database database = freshDatabase(folder);
    NodeStyle tiny;
    tiny.font = Font::systemFont(1.0);
    tiny.fillColor = Color::black();
    NodeStyle small;
    small.font = Font::systemFont(1.5);
    exec(database, "INSERT INTO nodes (id, parentID) VALUES (1, NULL);"
                   "INSERT INTO nodes (id, parentID) VALUES (2, 1);"
                   "INSERT INTO nodes (id, parentID) VALUES (3, 2);"
                   "INSERT INTO nodes (id, parentID) VALUES (4, 50);"
                   "INSERT INTO nodes (id, parentID) VALUES (5, NULL);"
                   "INSERT INTO nodes (id, parentID) VALUES (6, NULL);");
    for (int uid = 1; uid <= 4; ++uid) {
        tiny.font = Font::systemFont(uid == 4 ? 0.25 : 1.0);
        exec(database, "INSERT INTO node_styles (id, nodeID, style_json) VALUES (" + std::to_string(uid) + ", "
                           + std::to_string(uid) + ", '" + tiny.jsonValue() + "')");
    }
    exec(database, "INSERT INTO node_styles (id, nodeID, style_json) VALUES (5, 5, '" + small.jsonValue() + "');"
                   "INSERT INTO node_styles (id, nodeID, style_json) VALUES (6, 6, '{\"borderWidth\":');");
    ProjectStyle style = ProjectStyle::omaha();
    style.current.rootNodeStyle.font = Font::systemFont(21.0);
    style.current.mainNodeStyle.font = Font::systemFont(17.0);
    style.current.subNodeStyle.font = Font::systemFont(13.0);
    Loaded loaded = load(database, style);
    EXPECT_EQ(grades(loaded.problems), "minorProblem");

    EXPECT_EQ(nodeOf(loaded.graph, 1).style.font, Font::systemFont(21.0));
    EXPECT_EQ(nodeOf(loaded.graph, 2).style.font, Font::systemFont(17.0));
    EXPECT_EQ(nodeOf(loaded.graph, 3).style.font, Font::systemFont(13.0));
    // A node whose parent is missing counts as a sub node.
    EXPECT_EQ(nodeOf(loaded.graph, 4).style.font, Font::systemFont(13.0));
    // Only the font changes.
    EXPECT_EQ(nodeOf(loaded.graph, 1).style.fillColor, Color::black());
    EXPECT_EQ(nodeOf(loaded.graph, 5).style, small);
    // A style that does not convert leaves the default style.
    EXPECT_EQ(nodeOf(loaded.graph, 6).style, NodeStyle());
}

TEST(NodeGraphLoading, AStoredFontOfSizeZeroIsRepairedLikeATinyOne)
{
    Folder folder;
    Database database = freshDatabase(folder);
    // The archive of a 1.5-point font with its size (a big-endian double after the real marker) set to 0.
    NodeStyle zero;
    zero.font = Font::systemFont(1.5);
    const Bytes archive = KeyedArchive::archivedData(zero.font);
    Bytes zeroed = archive;
    const Bytes size{0x23, 0x3f, 0xf8, 0, 0, 0, 0, 0, 0};
    const auto at = std::search(zeroed.begin(), zeroed.end(), size.begin(), size.end());
    ASSERT_NE(at, zeroed.end());
    std::fill(at + 1, at + 9, 0);
    const auto escaped = [](std::string text) {
        for (std::size_t i = 0; (i = text.find('/', i)) != std::string::npos; i += 2)
            text.insert(i, "\\");
        return text;
    };
    std::string json = zero.jsonValue();
    const std::string original = escaped(Base64::encode(archive));
    ASSERT_NE(json.find(original), std::string::npos);
    json.replace(json.find(original), original.size(), escaped(Base64::encode(zeroed)));
    ASSERT_EQ(NodeStyle::storedFontPointSize(json), std::optional<double>(0.0));

    exec(database, "INSERT INTO nodes (id, parentID) VALUES (1, NULL);"
                   "INSERT INTO nodes (id, parentID) VALUES (2, 1);"
                   "INSERT INTO node_styles (id, nodeID, style_json) VALUES (1, 1, '" + json + "');"
                   "INSERT INTO node_styles (id, nodeID, style_json) VALUES (2, 2, '" + json + "');");
    ProjectStyle style = ProjectStyle::omaha();
    style.current.rootNodeStyle.font = Font::systemFont(21.0);
    style.current.mainNodeStyle.font = Font::systemFont(17.0);
    const Loaded loaded = load(database, style);
    EXPECT_EQ(nodeOf(loaded.graph, 1).style.font, Font::systemFont(21.0));
    EXPECT_EQ(nodeOf(loaded.graph, 2).style.font, Font::systemFont(17.0));
}

TEST(NodeGraphLoading, ImagesAreKeptAsTheBytesTheyAreStoredAs)
{
    Folder folder;
    Database database = freshDatabase(folder);
    QImage bitmap(4, 2, QImage::Format_ARGB32);
    bitmap.fill(Qt::red);
    const Image picture(bitmap);
    const Image::Data tiff = *picture.tiffData();
    exec(database, "INSERT INTO nodes (id) VALUES (1); INSERT INTO nodes (id) VALUES (2);"
                   "INSERT INTO nodes (id) VALUES (3);"
                   "INSERT INTO node_images (id, nodeID, image) VALUES (2, 2, NULL);"
                   "INSERT INTO node_images (id, nodeID, image) VALUES (3, 3, x'00010203');");
    database.openConnection().run("INSERT INTO node_images (id, nodeID, image) VALUES (1, 1, ?)",
                                  {sql::OptBinding(sql::Blob(tiff))});
    Loaded loaded = load(database);
    EXPECT_TRUE(loaded.problems.empty());
    // Read apart from the editor once the map is a document's: here they are the bytes, whatever they hold.
    for (const auto& [uid, bytes] : {std::pair{1, tiff}, std::pair{3, Image::Data{0, 1, 2, 3}}}) {
        const Node& node = nodeOf(loaded.graph, uid);
        EXPECT_FALSE(node.image());
        ASSERT_TRUE(node.keptPictureBytes()) << uid;
        EXPECT_EQ(*node.keptPictureBytes(), bytes) << uid;
        EXPECT_EQ(node.picture()->state(), NodePicture::State::beingRead);
    }
    EXPECT_FALSE(nodeOf(loaded.graph, 2).picture());
}

TEST(NodeGraphLoading, LayoutOptionsFallBackColumnByColumn)
{
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database,
         "INSERT INTO nodes (id) VALUES (1); INSERT INTO nodes (id) VALUES (2); INSERT INTO nodes (id) VALUES (3);"
         "INSERT INTO node_layout_options (id, nodeID, layout_type, layout_direction, branch_type, is_manual)"
         " VALUES (1, 1, 'vertical', 'descending', 'line', 1);"
         "INSERT INTO node_layout_options (id, nodeID, layout_type, layout_direction, branch_type, is_manual)"
         " VALUES (2, 2, NULL, NULL, NULL, NULL);"
         "INSERT INTO node_layout_options (id, nodeID, layout_type, layout_direction, branch_type, is_manual)"
         " VALUES (3, 3, 'Vertical', '', 'curly', 0);");
    Loaded loaded = load(database);
    EXPECT_TRUE(loaded.problems.empty());
    using L = LayoutOptions;
    EXPECT_EQ(nodeOf(loaded.graph, 1).layoutOptions,
              (L{L::LayoutType::vertical, L::LayoutDirection::descending, L::BranchType::line, true}));
    EXPECT_EQ(nodeOf(loaded.graph, 2).layoutOptions,
              (L{L::LayoutType::horizontal, L::LayoutDirection::balanced, L::BranchType::rounded, false}));
    EXPECT_EQ(nodeOf(loaded.graph, 3).layoutOptions,
              (L{L::LayoutType::horizontal, L::LayoutDirection::ascending, L::BranchType::rounded, false}));
}

TEST(NodeGraphLoading, ChildrenListsAreKeptAsStoredAndCompleted)
{
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "INSERT INTO nodes (id, parentID) VALUES (1, NULL);"
                   "INSERT INTO nodes (id, parentID) VALUES (3, 1);"
                   "INSERT INTO nodes (id, parentID) VALUES (5, 1);"
                   "INSERT INTO nodes (id, parentID) VALUES (9, NULL);"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (1, 1, '[3,3,42]');"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (9, 9, '[9007199254740993]');");
    Loaded loaded = load(database);
    EXPECT_TRUE(loaded.problems.empty());
    EXPECT_EQ(nodeOf(loaded.graph, 1).childrenUIDs, uids({3, 3, 42, 5}));
    // Identifiers beyond the exact range of doubles come back exactly.
    EXPECT_EQ(nodeOf(loaded.graph, 9).childrenUIDs, uids({9007199254740993}));
}

TEST(NodeGraphLoading, AFaultyChildrenRowEndsThatTable)
{
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "INSERT INTO nodes (id, parentID) VALUES (1, NULL);"
                   "INSERT INTO nodes (id, parentID) VALUES (2, 1);"
                   "INSERT INTO nodes (id, parentID) VALUES (3, 1);"
                   "INSERT INTO nodes (id, parentID) VALUES (4, 2);"
                   "INSERT INTO nodes (id, parentID) VALUES (5, 3);"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (1, 1, '[3,2]');"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (2, 2, '[4,77]');"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (3, 3, '[5');"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (4, 4, '[88]');");
    Loaded loaded = load(database);
    EXPECT_EQ(grades(loaded.problems), "minorProblem");
    EXPECT_EQ(nodeOf(loaded.graph, 1).childrenUIDs, uids({3, 2}));
    EXPECT_EQ(nodeOf(loaded.graph, 2).childrenUIDs, uids({4, 77}));
    EXPECT_EQ(nodeOf(loaded.graph, 3).childrenUIDs, uids({5})); // by the repair
    EXPECT_EQ(nodeOf(loaded.graph, 4).childrenUIDs, uids({}));  // its row was not read
}

TEST(NodeGraphLoading, ChildrenListsMustHoldWholeNumbers)
{
    for (const char* json : {"[1.5]", "[\"2\"]", "[[2]]", "{\"a\":2}", "[18446744073709551615]", "2"}) {
        Folder folder;
        Database database = freshDatabase(folder);
        exec(database, "INSERT INTO nodes (id) VALUES (1);"
                       "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (1, 1, '"
                           + std::string(json) + "')");
        Loaded loaded = load(database);
        EXPECT_EQ(grades(loaded.problems), "minorProblem") << json;
        EXPECT_EQ(nodeOf(loaded.graph, 1).childrenUIDs, uids({})) << json;
    }
}

TEST(NodeGraphLoading, AffinitiesFollowThePositionAgainstTheParent)
{
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "INSERT INTO nodes (id, parentID) VALUES (1, NULL);"
                   "INSERT INTO nodes (id, parentID) VALUES (2, 1);"
                   "INSERT INTO nodes (id, parentID) VALUES (3, 1);"
                   "INSERT INTO nodes (id, parentID) VALUES (4, 404);"
                   "INSERT INTO node_positions (id, nodeID, x, y) VALUES (1, 1, 200.0, 50.0);"
                   "INSERT INTO node_positions (id, nodeID, x, y) VALUES (2, 2, 100.0, 10.0);"
                   "INSERT INTO node_positions (id, nodeID, x, y) VALUES (3, 3, 200.0, 50.0);"
                   "INSERT INTO node_positions (id, nodeID, x, y) VALUES (4, 4, -500.0, -500.0);");
    Loaded loaded = load(database);
    EXPECT_EQ(nodeOf(loaded.graph, 2).horizontalAffinity, HorizontalAffinity::left);
    EXPECT_EQ(nodeOf(loaded.graph, 2).verticalAffinity, VerticalAffinity::above);
    EXPECT_EQ(nodeOf(loaded.graph, 3).horizontalAffinity, HorizontalAffinity::right);
    EXPECT_EQ(nodeOf(loaded.graph, 3).verticalAffinity, VerticalAffinity::below);
    EXPECT_EQ(nodeOf(loaded.graph, 4).horizontalAffinity, HorizontalAffinity::right);
    EXPECT_EQ(nodeOf(loaded.graph, 4).verticalAffinity, VerticalAffinity::below);
}

TEST(NodeGraphLoading, IdentifiersRaiseTheCounterFromNodesOnly)
{
    resetNodeUIDCounterForTesting(0);
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "INSERT INTO nodes (id, parentID) VALUES (1000, 1500);"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (1000, 1000, '[5000]');"
                   "INSERT INTO node_titles (id, nodeID, title) VALUES (7000, 7000, 'nobody');");
    load(database);
    EXPECT_EQ(nodeUIDCounter(), 1501);
    resetNodeUIDCounterForTesting(0);
}

TEST(NodeGraphLoading, TheLargestIdentifierMakesARowUnreadable)
{
    resetNodeUIDCounterForTesting(0);
    Folder folder;
    Database database = freshDatabase(folder);
    const std::string largest = std::to_string(std::numeric_limits<std::int64_t>::max());
    exec(database, "INSERT INTO nodes (id, parentID) VALUES (" + largest + ", NULL);"
                   "INSERT INTO nodes (id, parentID) VALUES (3, " + largest + ");"
                   "INSERT INTO nodes (id, parentID) VALUES (4, NULL);");
    Loaded loaded = load(database);
    EXPECT_EQ(grades(loaded.problems), "minorProblem,minorProblem");
    EXPECT_EQ(loaded.graph.count(), 1u);
    EXPECT_TRUE(loaded.graph.contains(4));
    EXPECT_EQ(nodeUIDCounter(), 5);
    EXPECT_EQ(nextNodeUID(), 6);
    resetNodeUIDCounterForTesting(0);
}

TEST(NodeGraphLoading, CircularParentsAreCutAtTheirSmallestIdentifier)
{
    Folder folder;
    Database database = freshDatabase(folder);
    // 5 -> 6 -> 7 -> 5 go round; 8 hangs below the circle; 9 is its own parent.
    exec(database, "INSERT INTO nodes (id, parentID) VALUES (6, 5);"
                   "INSERT INTO nodes (id, parentID) VALUES (7, 6);"
                   "INSERT INTO nodes (id, parentID) VALUES (5, 7);"
                   "INSERT INTO nodes (id, parentID) VALUES (8, 7);"
                   "INSERT INTO nodes (id, parentID) VALUES (9, 9);");
    Loaded loaded = load(database);
    // Two cut parent links, then the two children entries the repair had made for them.
    EXPECT_EQ(grades(loaded.problems), "minorProblem,minorProblem,minorProblem,minorProblem");
    EXPECT_EQ(nodeOf(loaded.graph, 5).parentUID, std::nullopt);
    EXPECT_EQ(nodeOf(loaded.graph, 6).parentUID, std::optional<std::int64_t>(5));
    EXPECT_EQ(nodeOf(loaded.graph, 9).parentUID, std::nullopt);
    // The children repair had listed 5 under 7 and 9 under itself: those entries lead back up the
    // tree and go.
    EXPECT_EQ(nodeOf(loaded.graph, 5).childrenUIDs, uids({6}));
    EXPECT_EQ(nodeOf(loaded.graph, 6).childrenUIDs, uids({7}));
    EXPECT_EQ(nodeOf(loaded.graph, 7).childrenUIDs, uids({8}));
    EXPECT_EQ(nodeOf(loaded.graph, 9).childrenUIDs, uids({}));
    // Every walk of the tree ends.
    EXPECT_EQ(loaded.graph.subtree(nodeOf(loaded.graph, 5)).size(), 4u);
    EXPECT_EQ(loaded.graph.nodeType(nodeOf(loaded.graph, 6)), NodeType::main);
    EXPECT_NE(loaded.problems[0].message.find("node 5"), std::string::npos);
    EXPECT_NE(loaded.problems[1].message.find("node 9"), std::string::npos);
    EXPECT_NE(loaded.problems[2].message.find("child 5 of node 7"), std::string::npos);
    EXPECT_NE(loaded.problems[3].message.find("child 9 of node 9"), std::string::npos);
}

TEST(NodeGraphLoading, ChildrenEntriesLeadingBackUpTheTreeAreRemoved)
{
    Folder folder;
    Database database = freshDatabase(folder);
    // A sound tree 1 -> 2 -> 3 whose stored lists also name an ancestor, the node itself, a repeat,
    // a missing node and a node of another parent.
    exec(database, "INSERT INTO nodes (id, parentID) VALUES (1, NULL);"
                   "INSERT INTO nodes (id, parentID) VALUES (2, 1);"
                   "INSERT INTO nodes (id, parentID) VALUES (3, 2);"
                   "INSERT INTO nodes (id, parentID) VALUES (4, NULL);"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (1, 1, '[2,2]');"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (2, 2, '[3,2,42]');"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (3, 3, '[1,3]');"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (4, 4, '[3]');");
    Loaded loaded = load(database);
    EXPECT_EQ(grades(loaded.problems), "minorProblem,minorProblem,minorProblem");
    EXPECT_EQ(nodeOf(loaded.graph, 1).childrenUIDs, uids({2, 2}));
    EXPECT_EQ(nodeOf(loaded.graph, 2).childrenUIDs, uids({3, 42}));
    EXPECT_EQ(nodeOf(loaded.graph, 3).childrenUIDs, uids({}));
    EXPECT_EQ(nodeOf(loaded.graph, 4).childrenUIDs, uids({3}));

    // Lists that name each other below a sound tree: the entry closing the circle goes.
    exec(database, "DELETE FROM node_children_order;"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (3, 3, '[4]');"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (4, 4, '[3]');");
    loaded = load(database);
    EXPECT_EQ(grades(loaded.problems), "minorProblem");
    EXPECT_EQ(nodeOf(loaded.graph, 3).childrenUIDs, uids({4}));
    EXPECT_EQ(nodeOf(loaded.graph, 4).childrenUIDs, uids({}));
}

TEST(NodeGraphLoading, LongListsAreRepairedInOnePass)
{
    Folder folder;
    Database database = freshDatabase(folder);
    // 2 lists its parent 400,000 times, and 1 lists none of its 50,000 children: one problem for the
    // circle, and every child appended once, in identifier order.
    std::string repeated = "[";
    for (int i = 0; i < 400000; ++i)
        repeated += i ? ",1" : "1";
    repeated += "]";
    exec(database, "INSERT INTO nodes (id, parentID) VALUES (1, NULL);"
                   "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < 50001) "
                   "INSERT INTO nodes (id, parentID) SELECT i, 1 FROM n;"
                   "INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (2, 2, '"
                       + repeated + "');");
    Loaded loaded = load(database);
    EXPECT_EQ(grades(loaded.problems), "minorProblem");
    EXPECT_EQ(nodeOf(loaded.graph, 2).childrenUIDs, uids({}));
    const std::vector<std::int64_t>& children = nodeOf(loaded.graph, 1).childrenUIDs;
    ASSERT_EQ(children.size(), 50000u);
    EXPECT_EQ(children.front(), 2);
    EXPECT_EQ(children.back(), 50001);
}

TEST(NodeGraphLoading, MissingTablesAndAMissingConnection)
{
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "INSERT INTO nodes (id) VALUES (1);"
                   "INSERT INTO node_titles (id, nodeID, title) VALUES (1, 1, 'kept');"
                   "DROP TABLE node_positions; DROP TABLE node_children_order;");
    Loaded loaded = load(database);
    EXPECT_EQ(grades(loaded.problems), "minorProblem,minorProblem");
    EXPECT_EQ(nodeOf(loaded.graph, 1).title, "kept");

    exec(database, "DROP TABLE nodes");
    loaded = load(database);
    // Without nodes the side tables find nobody: one problem for each missing table only.
    EXPECT_EQ(grades(loaded.problems), "minorProblem,minorProblem,minorProblem");
    EXPECT_TRUE(loaded.graph.isEmpty());

    Database closed;
    Graph graph;
    graph.setNode(Node(1, std::nullopt, NodeStyle()), 1);
    const ProjectLoadingProblems problems = loadNodeGraphFrom(graph, ProjectStyle::omaha(), closed);
    EXPECT_EQ(problems, ProjectLoadingProblems{ProjectLoadingProblem::majorProblem("Database is not opened")});
    EXPECT_TRUE(graph.isEmpty());
}
