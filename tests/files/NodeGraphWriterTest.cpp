// The node tables as the writer fills them, and a graph with every kind of node content read back
// unchanged.

#include "DocumentDbTestSupport.h"

#include "files/NodeGraphLoader.h"
#include "files/NodeGraphWriter.h"
#include "files/ChildrenOrder.h"

#include <QImage>

using namespace documentdbtest;

namespace {

Node makeNode(std::int64_t uid, std::optional<std::int64_t> parent, std::vector<std::int64_t> children = {})
{
    Node node(uid, parent, NodeStyle());
    node.childrenUIDs = std::move(children);
    node.createdTimestamp = 1000.0 + static_cast<double>(uid);
    return node;
}

Graph graphOf(const std::vector<Node>& nodes)
{
    Graph graph;
    for (const Node& node : nodes)
        graph.setNode(node, node.uid);
    return graph;
}

} // namespace

TEST(ChildrenOrderJson, CompactArraysOfIdentifiers)
{
    EXPECT_EQ(childrenOrderJson({}), "[]");
    EXPECT_EQ(childrenOrderJson({4, 7}), "[4,7]");
    EXPECT_EQ(childrenOrderJson({-3, 9223372036854775806}), "[-3,9223372036854775806]");
    EXPECT_EQ(childrenOrderFromJson("[4,7]"), (std::vector<std::int64_t>{4, 7}));
    EXPECT_EQ(childrenOrderFromJson(" [ 4 , 7 ] "), (std::vector<std::int64_t>{4, 7}));
    EXPECT_EQ(childrenOrderFromJson("[2.0,1e1]"), (std::vector<std::int64_t>{2, 10}));
    EXPECT_THROW(childrenOrderFromJson("[null]"), std::runtime_error);
    EXPECT_THROW(childrenOrderFromJson("[1e300]"), std::runtime_error);
    EXPECT_THROW(childrenOrderFromJson(""), std::runtime_error);
}

TEST(NodeGraphWriting, OneRowPerNodeAndTableWithTheStoredForms)
{
    Folder folder;
    Database database = freshDatabase(folder);
    Node root = makeNode(4, std::nullopt, {7, 9});
    root.center = {10.5, -20.25};
    root.size = {128.0, 48.0};
    root.modifiedTimestamp = 2000.5;
    Node child = makeNode(7, 4);
    child.autoSize = false;
    child.isFolded = true;
    child.shape = NodeShape::ellipse;
    child.childrenShouldInheritShape = true;
    child.title = "It's";
    child.url = "https://example.org";
    child.note = "a note";
    Node leaf = makeNode(9, 4);
    writeNodeGraphTo(graphOf({root, child, leaf}), database);

    EXPECT_EQ(rows(database, "SELECT id, parentID, createdTS, modifiedTS FROM nodes ORDER BY id"),
              (std::vector<std::string>{"4|NULL|R1004.|R2000.5", "7|4|R1007.|R-1.", "9|4|R1009.|R-1."}));
    EXPECT_EQ(rows(database, "SELECT id, nodeID, x, y FROM node_positions ORDER BY id"),
              (std::vector<std::string>{"4|4|R10.5|R-20.25", "7|7|R0.|R0.", "9|9|R0.|R0."}));
    EXPECT_EQ(rows(database, "SELECT id, nodeID, autoSize, width, height FROM node_sizes ORDER BY id"),
              (std::vector<std::string>{"4|4|1|R128.|R48.", "7|7|0|R0.|R0.", "9|9|1|R0.|R0."}));
    EXPECT_EQ(rows(database, "SELECT id, nodeID, title FROM node_titles ORDER BY id"),
              (std::vector<std::string>{"4|4|''", "7|7|'It's'", "9|9|''"}));
    EXPECT_EQ(rows(database, "SELECT nodeID, url FROM node_urls ORDER BY id"),
              (std::vector<std::string>{"4|''", "7|'https://example.org'", "9|''"}));
    EXPECT_EQ(rows(database, "SELECT nodeID, note FROM node_notes ORDER BY id"),
              (std::vector<std::string>{"4|''", "7|'a note'", "9|''"}));
    EXPECT_EQ(rows(database, "SELECT nodeID, shape, children_inherit_shape FROM node_shapes ORDER BY id"),
              (std::vector<std::string>{"4|'underline'|0", "7|'ellipse'|1", "9|'underline'|0"}));
    EXPECT_EQ(rows(database, "SELECT nodeID, style_json FROM node_styles WHERE nodeID = 9"),
              (std::vector<std::string>{"9|'" + NodeStyle().jsonValue() + "'"}));
    EXPECT_EQ(rows(database, "SELECT count(*) FROM node_styles"), std::vector<std::string>{"3"});
    EXPECT_EQ(rows(database, "SELECT nodeID, is_folded FROM node_folds ORDER BY id"),
              (std::vector<std::string>{"4|0", "7|1", "9|0"}));
    EXPECT_EQ(rows(database, "SELECT id, nodeID, sorted_children_json FROM node_children_order ORDER BY id"),
              (std::vector<std::string>{"4|4|'[7,9]'", "7|7|'[]'", "9|9|'[]'"}));
    // No image and no options of their own: no rows.
    EXPECT_EQ(rows(database, "SELECT count(*) FROM node_images"), std::vector<std::string>{"0"});
    EXPECT_EQ(rows(database, "SELECT count(*) FROM node_layout_options"), std::vector<std::string>{"0"});
}

TEST(NodeGraphWriting, ImagesAndLayoutOptionsOnlyWhereNodesHaveThem)
{
    Folder folder;
    Database database = freshDatabase(folder);
    Node plain = makeNode(1, std::nullopt);
    Node pictured = makeNode(2, std::nullopt);
    QImage bitmap(3, 5, QImage::Format_ARGB32);
    bitmap.fill(Qt::blue);
    pictured.setImage(Image(bitmap));
    pictured.layoutOptions = LayoutOptions{LayoutOptions::LayoutType::vertical, LayoutOptions::LayoutDirection::ascending,
                                           LayoutOptions::BranchType::angular, true};
    writeNodeGraphTo(graphOf({plain, pictured}), database);
    EXPECT_EQ(rows(database, "SELECT id, nodeID, typeof(image) FROM node_images"),
              std::vector<std::string>{"2|2|'blob'"});
    // TIFF with LZW compression (tag 259 = 5), little-endian.
    const auto blob = database.openConnection().scalar("SELECT image FROM node_images");
    ASSERT_TRUE(blob);
    const auto& bytes = std::get<sql::Blob>(*blob).bytes;
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), std::string("II*\0", 4));
    EXPECT_EQ(rows(database, "SELECT id, nodeID, layout_type, layout_direction, branch_type, is_manual"
                             " FROM node_layout_options"),
              std::vector<std::string>{"2|2|'vertical'|'ascending'|'angular'|1"});
}

TEST(NodeGraphWriting, NeedsAnOpenDatabaseAndLeavesNothingOnFailure)
{
    Database closed;
    try {
        writeNodeGraphTo(graphOf({makeNode(1, std::nullopt)}), closed);
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_STREQ(error.what(), "Database connection is not open.");
    }

    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "DROP TABLE node_folds");
    EXPECT_THROW(writeNodeGraphTo(graphOf({makeNode(1, std::nullopt)}), database), sql::Result);
    EXPECT_EQ(rows(database, "SELECT count(*) FROM nodes"), std::vector<std::string>{"0"});
}

TEST(NodeGraphWriting, EveryKindOfContentReadsBackUnchanged)
{
    Folder folder;
    Database database = freshDatabase(folder);
    Node root = makeNode(10, std::nullopt, {11, 12});
    root.center = {0.0, 0.0};
    root.size = {180.5, 60.0};
    root.title = "Root \xE2\x80\x94 title";
    root.style.fillColor = Color::black();
    root.style.font = Font::systemFont(20.0);
    root.style.borderWidth = StrokeThickness::thick;
    root.style.isUnderlined = true;
    root.shape = NodeShape::cloud;
    root.layoutOptions = LayoutOptions{LayoutOptions::LayoutType::vertical, LayoutOptions::LayoutDirection::balanced,
                                       LayoutOptions::BranchType::line, false};
    Node left = makeNode(11, 10, {13});
    left.center = {-200.0, -50.0};
    left.size = {90.0, 30.0};
    left.autoSize = false;
    left.isFolded = true;
    left.url = "file:///tmp/x y";
    left.note = "first\nsecond \"quoted\"";
    left.shape = NodeShape::triangle;
    left.childrenShouldInheritShape = true;
    left.modifiedTimestamp = 1700000000.125;
    left.horizontalAffinity = HorizontalAffinity::left;
    left.verticalAffinity = VerticalAffinity::above;
    QImage bitmap(20, 10, QImage::Format_ARGB32);
    bitmap.fill(QColor(10, 200, 30, 255));
    left.setImage(Image(bitmap));
    Node right = makeNode(12, 10);
    right.center = {200.0, 50.0};
    right.shape = NodeShape::rect;
    Node deep = makeNode(13, 11);
    deep.center = {-300.0, 0.0};
    deep.shape = NodeShape::diamond;
    deep.style.textAlignment = 2;
    deep.horizontalAffinity = HorizontalAffinity::left;
    const Graph graph = graphOf({root, left, right, deep});
    writeNodeGraphTo(graph, database);

    Graph loaded;
    EXPECT_TRUE(loadNodeGraphFrom(loaded, ProjectStyle::omaha(), database).empty());
    readPictures(loaded);
    ASSERT_EQ(loaded.count(), graph.count());
    for (const auto& [uid, node] : graph.nodeBin()) {
        const std::optional<Node> back = loaded.node(uid);
        ASSERT_TRUE(back) << uid;
        EXPECT_FALSE(back->differs(node)) << uid;
        EXPECT_EQ(back->modifiedTimestamp, node.modifiedTimestamp) << uid;
    }
}
