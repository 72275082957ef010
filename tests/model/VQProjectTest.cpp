#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/ProjectTestSupport.h"
#include "model/project/VQProject.h"

using namespace velquine;
using namespace projecttest;

namespace {

std::vector<Node> nodesAt(const std::vector<Point>& centers)
{
    std::vector<Node> nodes;
    std::int64_t uid = 1;
    for (const Point& c : centers) {
        Node node(uid++, std::nullopt, NodeStyle());
        node.center = c;
        nodes.push_back(node);
    }
    return nodes;
}

} // namespace

TEST(VQProjectTest, NewProjectFields)
{
    const VQProject project;
    EXPECT_EQ(project.dataSchemaVersion(), 2);
    EXPECT_EQ(project.title, "");
    EXPECT_EQ(project.author, "");
    EXPECT_EQ(project.notes, "");
    EXPECT_TRUE(project.graph.isEmpty());
    EXPECT_TRUE(project.graph.connections().empty());
    EXPECT_TRUE(project.selectedNodeUIDs.empty());
    EXPECT_EQ(project.grid.type, GridType::noGrid);
    EXPECT_EQ(project.grid.size, (Size{24.0, 24.0}));
    EXPECT_EQ(project.baseLayoutOptions.layoutType, LayoutOptions::LayoutType::horizontal);
    EXPECT_EQ(project.baseLayoutOptions.layoutDirection, LayoutOptions::LayoutDirection::balanced);
    EXPECT_EQ(project.baseLayoutOptions.branchType, LayoutOptions::BranchType::rounded);
    EXPECT_FALSE(project.baseLayoutOptions.isManual);
    EXPECT_EQ(project.projectStyle.name, "Omaha");
    EXPECT_EQ(project.projectStyle, ProjectStyle::omaha());
    EXPECT_EQ(project.projectStyle.current, project.projectStyle.defaults);
}

TEST(VQProjectTest, CopiesAreIndependent)
{
    VQProject project;
    Graph& graph = project.graph;
    put(graph, 1, std::nullopt);
    const VQProject snapshot = project;
    put(project.graph, 2, std::nullopt);
    project.title = "changed";
    EXPECT_EQ(snapshot.graph.count(), 1u);
    EXPECT_EQ(snapshot.title, "");
}

TEST(VQProjectTest, SelectionKeepsOrderAndRepeats)
{
    VQProject project;
    const std::vector<Node> nodes = {Node(7, std::nullopt, NodeStyle()), Node(3, std::nullopt, NodeStyle()),
                                     Node(7, std::nullopt, NodeStyle())};
    project.setSelectedNodes(nodes);
    EXPECT_EQ(project.selectedNodeUIDs, (std::vector<std::int64_t>{7, 3, 7}));
    project.setSelectedNodes({});
    EXPECT_TRUE(project.selectedNodeUIDs.empty());
}

TEST(VQProjectTest, FirstFreeCenterMovesDownByOneAndAHalfHeights)
{
    EXPECT_EQ(VQProject::firstFreeCenter({0, 0}, {128, 48}, nodesAt({{0, 0}, {0, 72}})), (Point{0, 144}));
    // Only exact equality counts: a centre half a point away, or another x, leaves the place free.
    EXPECT_EQ(VQProject::firstFreeCenter({0, 0}, {128, 48}, nodesAt({{0, 0.5}, {10, 0}})), (Point{0, 0}));
    EXPECT_EQ(VQProject::firstFreeCenter({5, 6}, {128, 48}, std::vector<Node>{}), (Point{5, 6}));
    // The width plays no part; a gap in the column is taken.
    EXPECT_EQ(VQProject::firstFreeCenter({0, 0}, {0, 10}, nodesAt({{0, 0}, {0, 30}})), (Point{0, 15}));
    // Negative zero is the same place as zero.
    EXPECT_EQ(VQProject::firstFreeCenter({0, 0}, {128, 48}, nodesAt({{-0.0, -0.0}})), (Point{0, 72}));
    // Among a graph's nodes the answer is the same as among a list of them.
    Graph graph;
    graph.storeNodes(nodesAt({{0, 0}, {0, 72}, {0, 216}}));
    EXPECT_EQ(VQProject::firstFreeCenter({0, 0}, {128, 48}, graph), (Point{0, 144}));
    EXPECT_EQ(VQProject::firstFreeCenter({0, 0}, {128, 48}, graph),
              VQProject::firstFreeCenter({0, 0}, {128, 48}, graph.allNodes()));
    EXPECT_EQ(VQProject::firstFreeCenter({3, 4}, {128, 48}, Graph()), (Point{3, 4}));
}

TEST(VQProjectTest, KeptFreeCentresAnswerAsAFreshSearch)
{
    // Roots added one after another, from two starting points and with a node added elsewhere in the
    // column meanwhile: the kept index gives what a search over the whole graph gives each time.
    Graph graph;
    graph.storeNodes(nodesAt({{0, 0}, {0, 144}, {7, 0}}));
    std::int64_t uid = 100;
    const auto add = [&](Point center) {
        Node node(uid++, std::nullopt, NodeStyle());
        node.center = center;
        graph.storeNodes({node});
    };
    FreeCenters kept(graph);
    const std::vector<Point> starts{{0, 0}, {0, 0}, {7, 0}, {0, 0}, {0, 0}, {7, 0}};
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const Point expected = VQProject::firstFreeCenter(starts[i], {128, 48}, graph);
        EXPECT_EQ(kept.firstFreeCenter(starts[i], {128, 48}), expected) << i;
        add(expected);
        kept.take(expected);
        if (i == 2) {
            add({0, 432});
            kept.take({0, 432});
        }
    }
    EXPECT_EQ(kept.firstFreeCenter({0, 0}, {128, 48}), (Point{0, 504}));
}

TEST(VQProjectTest, FirstFreeCenterStopsWhereItCannotMove)
{
    const std::vector<Node> taken = nodesAt({{0, 0}, {0, 72}});
    EXPECT_EQ(VQProject::firstFreeCenter({0, 0}, {128, 0}, taken), (Point{0, 0}));
    EXPECT_EQ(VQProject::firstFreeCenter({0, 0}, {128, -48}, taken), (Point{0, 0}));
    const Point nanHeight = VQProject::firstFreeCenter({0, 0}, {128, std::nan("")}, taken);
    EXPECT_EQ(nanHeight, (Point{0, 0}));
    // A step too small to change y at this magnitude.
    const std::vector<Node> far = nodesAt({{0, 1e300}});
    EXPECT_EQ(VQProject::firstFreeCenter({0, 1e300}, {128, 48}, far), (Point{0, 1e300}));
}

TEST(VQProjectTest, MainNodePaletteEntryFollowsRankOfIdentifier)
{
    VQProject project;
    project.projectStyle = testStyle();
    put(project.graph, 1, std::nullopt, {30, 10, 20});
    for (std::int64_t uid : {30, 10, 20})
        put(project.graph, uid, 1);
    auto stroke = [&](std::int64_t uid) { return project.styledNode(*project.graph.node(uid)).style.borderColor; };
    EXPECT_EQ(stroke(10), stroke0);
    EXPECT_EQ(stroke(20), stroke1);
    EXPECT_EQ(stroke(30), stroke0);
    EXPECT_EQ(project.palettePosition(*project.graph.node(30)), 2u);

    // Reordering the siblings changes nothing.
    put(project.graph, 1, std::nullopt, {10, 20, 30});
    EXPECT_EQ(stroke(10), stroke0);
    EXPECT_EQ(stroke(20), stroke1);
    EXPECT_EQ(stroke(30), stroke0);

    // Removing a smaller sibling shifts the later ones.
    put(project.graph, 1, std::nullopt, {20, 30});
    EXPECT_EQ(stroke(20), stroke0);
    EXPECT_EQ(stroke(30), stroke1);

    // A node its parent does not list, and a node without a stored parent, take position 0.
    put(project.graph, 40, 1);
    EXPECT_EQ(project.palettePosition(*project.graph.node(40)), 0u);
    EXPECT_EQ(project.palettePosition(Node(41, 999, NodeStyle())), 0u);
}

TEST(VQProjectTest, StyledMainNode)
{
    for (bool dynamic : {true, false}) {
        SCOPED_TRACE(dynamic);
        VQProject project;
        project.projectStyle = testStyle(dynamic);
        Node root = put(project.graph, 1, std::nullopt, {2, 3});
        root.style.branchWidth = StrokeThickness::thickest;
        project.graph.storeNodes({root});
        put(project.graph, 2, 1);
        const Node main = put(project.graph, 3, 1);

        const Node styled = project.styledNode(main);
        const ProjectStyle::Values& v = project.projectStyle.current;
        EXPECT_EQ(styled.shape, NodeShape::rect);
        EXPECT_EQ(styled.style.borderColor, stroke1);
        EXPECT_EQ(styled.style.branchColor, stroke1);
        EXPECT_EQ(styled.style.fillColor, dynamic ? fill1 : v.mainNodeStyle.fillColor);
        // The parent's own branch width, not a level style's.
        EXPECT_EQ(styled.style.branchWidth, StrokeThickness::thickest);
        EXPECT_EQ(styled.style.borderWidth, v.mainNodeStyle.borderWidth);
        EXPECT_EQ(styled.style.font, v.mainNodeStyle.font);
        EXPECT_EQ(styled.style.textColor, v.mainNodeStyle.textColor);
        EXPECT_EQ(styled.style.textAlignment, 1);
        EXPECT_EQ(styled.title, main.title);
        EXPECT_EQ(styled.uid, main.uid);
    }
}

TEST(VQProjectTest, StyledSubNodeTakesParentColours)
{
    VQProject project;
    project.projectStyle = testStyle();
    put(project.graph, 1, std::nullopt, {2});
    Node main = put(project.graph, 2, 1, {3});
    main.style.borderColor = Color::orange();
    main.style.branchColor = Color::green();
    main.style.fillColor = Color::magenta();
    main.shape = NodeShape::hexagon;
    project.graph.storeNodes({main});
    const Node sub = put(project.graph, 3, 2);

    Node styled = project.styledNode(sub);
    const NodeStyle& level = project.projectStyle.current.subNodeStyle;
    EXPECT_EQ(styled.style.borderColor, Color::orange());
    EXPECT_EQ(styled.style.branchColor, Color::orange());
    EXPECT_EQ(styled.style.fillColor, Color::magenta());
    EXPECT_EQ(styled.style.branchWidth, level.branchWidth);
    EXPECT_EQ(styled.style.font, level.font);
    EXPECT_TRUE(styled.style.isUnderlined);
    EXPECT_EQ(styled.shape, NodeShape::underline);

    main.childrenShouldInheritShape = true;
    project.graph.storeNodes({main});
    EXPECT_EQ(project.styledNode(sub).shape, NodeShape::hexagon);

    // A sub node whose parent is missing keeps the palette stroke of position 0 and the level's fill.
    const Node orphan(9, 999, NodeStyle());
    styled = project.styledNode(orphan);
    EXPECT_EQ(styled.style.borderColor, stroke0);
    EXPECT_EQ(styled.style.branchColor, stroke0);
    EXPECT_EQ(styled.style.fillColor, level.fillColor);
    EXPECT_EQ(styled.shape, NodeShape::underline);
}

TEST(VQProjectTest, StyledRootTakesRootStyleWhole)
{
    VQProject project;
    project.projectStyle = testStyle();
    const Node root = put(project.graph, 1, std::nullopt);
    const Node styled = project.styledNode(root);
    EXPECT_EQ(styled.style, project.projectStyle.current.rootNodeStyle);
    EXPECT_EQ(styled.shape, NodeShape::ellipse);
}

TEST(VQProjectTest, ThemedNodeTakesOnlyPaletteColours)
{
    VQProject project;
    project.projectStyle = testStyle();
    Node root = put(project.graph, 1, std::nullopt, {2});
    root.style.branchWidth = StrokeThickness::thickest;
    project.graph.storeNodes({root});
    Node main = put(project.graph, 2, 1, {3});
    main.shape = NodeShape::pill;
    project.graph.storeNodes({main});
    const Node sub = put(project.graph, 3, 2);

    const NodeStyle& mainLevel = project.projectStyle.current.mainNodeStyle;
    const Node themedMain = project.themedNode(main, mainLevel, std::nullopt);
    EXPECT_EQ(themedMain.shape, NodeShape::pill);
    EXPECT_EQ(themedMain.style.branchWidth, mainLevel.branchWidth);
    EXPECT_EQ(themedMain.style.borderColor, stroke0);
    EXPECT_EQ(themedMain.style.fillColor, fill0);

    const NodeStyle& subLevel = project.projectStyle.current.subNodeStyle;
    const Node themedSub = project.themedNode(sub, subLevel, NodeShape::diamond);
    EXPECT_EQ(themedSub.shape, NodeShape::diamond);
    EXPECT_EQ(themedSub.style.borderColor, stroke0);
    EXPECT_EQ(themedSub.style.branchColor, stroke0);
    // Sub nodes never take the palette fill.
    EXPECT_EQ(themedSub.style.fillColor, subLevel.fillColor);
}

TEST(VQProjectTest, EmptyPaletteLeavesLevelColours)
{
    VQProject project;
    project.projectStyle = testStyle(true);
    project.projectStyle.current.palette.clear();
    put(project.graph, 1, std::nullopt, {2});
    const Node main = put(project.graph, 2, 1, {3});
    const Node sub = put(project.graph, 3, 2);

    const Node styledMain = project.styledNode(main);
    const NodeStyle& mainLevel = project.projectStyle.current.mainNodeStyle;
    EXPECT_EQ(styledMain.style.borderColor, mainLevel.borderColor);
    EXPECT_EQ(styledMain.style.branchColor, mainLevel.branchColor);
    EXPECT_EQ(styledMain.style.fillColor, mainLevel.fillColor);

    const Node orphan(9, 999, NodeStyle());
    const NodeStyle& subLevel = project.projectStyle.current.subNodeStyle;
    EXPECT_EQ(project.styledNode(orphan).style, subLevel);
    // A sub node with a stored parent still takes the parent's colours.
    EXPECT_EQ(project.styledNode(sub).style.borderColor, main.style.borderColor);
}

TEST(VQProjectTest, ResetStyleDropsHandSetFontSize)
{
    VQProject project;
    project.projectStyle = testStyle();
    put(project.graph, 1, std::nullopt, {2, 3});
    Node a = put(project.graph, 2, 1);
    a.style.font = Font::systemFont(30);
    a.style.userOverrides = NodeStyle::UserOverride::fontSize;
    project.graph.storeNodes({a});
    Node b = put(project.graph, 3, 1);

    const std::vector<Node> reset = project.resetStyle({b, a});
    ASSERT_EQ(reset.size(), 2u);
    EXPECT_EQ(reset[0].uid, 3);
    EXPECT_EQ(reset[1].uid, 2);
    EXPECT_EQ(reset[1].style.font, Font::systemFont(16));
    EXPECT_TRUE(reset[1].style.userOverrides.isEmpty());
    EXPECT_EQ(reset[1].style.borderColor, stroke0);
    EXPECT_EQ(reset[0].style.borderColor, stroke1);
    // The project is not changed.
    EXPECT_FALSE(project.graph.node(2)->differs(a));
    EXPECT_TRUE(project.resetStyle({}).empty());
}
