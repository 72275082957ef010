#include <gtest/gtest.h>

#include <QImage>

#include "layout/NodeSizing.h"
#include "layout/VQProjectEdits.h"
#include "model/ProjectTestSupport.h"
#include "model/project/VQProject.h"

using namespace velquine;
using namespace projecttest;

namespace {

VQProject testProject(bool dynamic = true)
{
    VQProject project;
    project.projectStyle = testStyle(dynamic);
    return project;
}

const ProjectStyle::Values& values(const VQProject& p) { return p.projectStyle.current; }

// A node as stored, failing the test when it is missing.
Node stored(const VQProject& p, std::int64_t uid)
{
    const std::optional<Node> n = p.graph.node(uid);
    EXPECT_TRUE(n.has_value()) << uid;
    return n.value_or(Node(-1, std::nullopt, NodeStyle()));
}

void expectSizedAroundCentre(const Node& n)
{
    const Node again = autosizeNode(n, autosizeKeepCenter);
    EXPECT_EQ(again.size, n.size);
    EXPECT_EQ(again.center, n.center);
}

} // namespace

// ---- Root nodes ----

TEST(VQProjectEditsTest, InsertRootNode)
{
    VQProject project = testProject();
    const Node root = insertRootNode(project, "Central idea", {300, 400});
    const NodeStyle& level = values(project).rootNodeStyle;

    EXPECT_EQ(root.title, "Central idea");
    EXPECT_EQ(root.center, (Point{300, 400}));
    EXPECT_FALSE(root.parentUID.has_value());
    EXPECT_TRUE(root.childrenUIDs.empty());
    EXPECT_EQ(root.shape, NodeShape::ellipse);
    NodeStyle expected = level;
    expected.branchColor = level.borderColor;
    EXPECT_EQ(root.style, expected);
    // Sized from 128 by 48 around its centre.
    Node unsized = root;
    unsized.size = VQProject::newRootNodeSize;
    EXPECT_EQ(root.size, autosizeNode(unsized).size);
    expectSizedAroundCentre(root);
    EXPECT_FALSE(stored(project, root.uid).differs(root));
    EXPECT_EQ(project.graph.count(), 1u);
}

TEST(VQProjectEditsTest, InsertRootNodeAvoidsTakenCentres)
{
    VQProject project = testProject();
    const Node first = insertRootNode(project, "one", {0, 0});
    const Node second = insertRootNode(project, "two", {0, 0});
    const Node third = insertRootNode(project, "three", {0, 0});
    EXPECT_EQ(first.center, (Point{0, 0}));
    EXPECT_EQ(second.center, (Point{0, 72}));
    EXPECT_EQ(third.center, (Point{0, 144}));
    EXPECT_NE(first.uid, second.uid);
    const Node near = insertRootNode(project, "near", {0, 0.5});
    EXPECT_EQ(near.center, (Point{0, 0.5}));
}

// ---- Children ----

TEST(VQProjectEditsTest, InsertChildOfRootTakesPaletteByRank)
{
    for (bool dynamic : {true, false}) {
        SCOPED_TRACE(dynamic);
        VQProject project = testProject(dynamic);
        const Node root = insertRootNode(project, "root", {0, 0});
        const Node first = insertChildNode(project, stored(project, root.uid), "first", {200, 0});
        const Node second = insertChildNode(project, stored(project, root.uid), "second", {200, 80});
        const NodeStyle& mainLevel = values(project).mainNodeStyle;

        EXPECT_EQ(stored(project, root.uid).childrenUIDs, (std::vector<std::int64_t>{first.uid, second.uid}));
        EXPECT_EQ(first.parentUID, root.uid);
        EXPECT_EQ(first.style.borderColor, stroke0);
        EXPECT_EQ(first.style.branchColor, stroke0);
        EXPECT_EQ(second.style.borderColor, stroke1);
        EXPECT_EQ(second.style.branchColor, stroke1);
        EXPECT_EQ(first.style.fillColor, dynamic ? fill0 : mainLevel.fillColor);
        EXPECT_EQ(second.style.fillColor, dynamic ? fill1 : mainLevel.fillColor);
        EXPECT_EQ(first.shape, NodeShape::rect);
        EXPECT_EQ(first.style.font, mainLevel.font);
        EXPECT_EQ(first.style.textColor, mainLevel.textColor);
        // The root's border width is its level's, so the main style's stands; the branch width is the root's.
        EXPECT_EQ(first.style.borderWidth, mainLevel.borderWidth);
        EXPECT_EQ(first.style.branchWidth, values(project).rootNodeStyle.branchWidth);
        // Root's border and branch styles are its level's: the child keeps the main level's.
        EXPECT_EQ(first.style.borderStyle, mainLevel.borderStyle);
        EXPECT_EQ(first.style.branchStyle, mainLevel.branchStyle);
        EXPECT_FALSE(first.childrenShouldInheritShape);
        EXPECT_EQ(first.center, (Point{200, 0}));
        expectSizedAroundCentre(first);
        EXPECT_FALSE(stored(project, second.uid).differs(second));
    }
}

TEST(VQProjectEditsTest, InsertChildCarriesOverChangedParentStrokes)
{
    VQProject project = testProject();
    Node root = insertRootNode(project, "root", {0, 0});
    root.style.borderWidth = StrokeThickness::thickest;
    root.style.branchWidth = StrokeThickness::thinnest;
    root.style.borderStyle = StrokeStyle::dashed2;
    root.style.branchStyle = StrokeStyle::dashed3;
    root.childrenShouldInheritShape = true;
    root.shape = NodeShape::octagon;
    project.graph.storeNodes({root});

    const Node child = insertChildNode(project, root, "child", {200, 0});
    EXPECT_EQ(child.style.borderWidth, StrokeThickness::thickest);
    EXPECT_EQ(child.style.branchWidth, StrokeThickness::thinnest);
    EXPECT_EQ(child.style.borderStyle, StrokeStyle::dashed2);
    EXPECT_EQ(child.style.branchStyle, StrokeStyle::dashed3);
    EXPECT_TRUE(child.childrenShouldInheritShape);
    EXPECT_EQ(child.shape, NodeShape::octagon);
    // Colours still come from the palette.
    EXPECT_EQ(child.style.borderColor, stroke0);
}

TEST(VQProjectEditsTest, InsertGrandchildTakesParentColoursAndChangedWidths)
{
    VQProject project = testProject();
    const Node root = insertRootNode(project, "root", {0, 0});
    Node main = insertChildNode(project, stored(project, root.uid), "main", {200, 0});
    main.style.branchColor = Color::green();  // differs from its border colour
    project.graph.storeNodes({main});
    const NodeStyle& subLevel = values(project).subNodeStyle;
    const NodeStyle& mainLevel = values(project).mainNodeStyle;

    const Node sub = insertChildNode(project, main, "sub", {400, 0});
    EXPECT_EQ(sub.style.borderColor, main.style.borderColor);
    EXPECT_EQ(sub.style.branchColor, Color::green());
    EXPECT_EQ(sub.style.fillColor, main.style.fillColor);
    // The parent's border width is the main style's: the sub style's stands. Its branch width came from the
    // root and differs from the main style's, so it is handed down.
    EXPECT_EQ(main.style.borderWidth, mainLevel.borderWidth);
    EXPECT_EQ(sub.style.borderWidth, subLevel.borderWidth);
    ASSERT_NE(main.style.branchWidth, mainLevel.branchWidth);
    EXPECT_EQ(sub.style.branchWidth, main.style.branchWidth);
    EXPECT_EQ(sub.style.font, subLevel.font);
    EXPECT_EQ(sub.style.textAlignment, 2);
    EXPECT_EQ(sub.shape, NodeShape::underline);
    expectSizedAroundCentre(sub);

    // A border width the user changed is carried over.
    main.style.borderWidth = StrokeThickness::thickest;
    main.style.branchWidth = StrokeThickness::thick;
    project.graph.storeNodes({main});
    const Node sub2 = insertChildNode(project, stored(project, main.uid), "sub 2", {400, 80});
    EXPECT_EQ(sub2.style.borderWidth, StrokeThickness::thickest);
    EXPECT_EQ(sub2.style.branchWidth, StrokeThickness::thick);

    // Under a sub node the widths are still compared with the main style: a sub parent at the main style's
    // border width hands down nothing, one at the sub style's hands it down.
    Node subParent = stored(project, sub.uid);
    subParent.style.borderWidth = mainLevel.borderWidth;
    project.graph.storeNodes({subParent});
    EXPECT_EQ(insertChildNode(project, subParent, "deep", {600, 0}).style.borderWidth, subLevel.borderWidth);
    subParent.style.borderWidth = subLevel.borderWidth;
    subParent.style.branchWidth = subLevel.branchWidth;
    project.graph.storeNodes({subParent});
    const Node deep2 = insertChildNode(project, stored(project, sub.uid), "deep 2", {600, 80});
    EXPECT_EQ(deep2.style.borderWidth, subLevel.borderWidth);
    EXPECT_EQ(deep2.style.branchWidth, subLevel.branchWidth);
}

TEST(VQProjectEditsTest, InsertChildWithEmptyPaletteKeepsLevelColours)
{
    VQProject project = testProject();
    project.projectStyle.current.palette.clear();
    const Node root = insertRootNode(project, "root", {0, 0});
    const Node main = insertChildNode(project, stored(project, root.uid), "main", {200, 0});
    EXPECT_EQ(main.style.borderColor, values(project).mainNodeStyle.borderColor);
    EXPECT_EQ(main.style.fillColor, values(project).mainNodeStyle.fillColor);
    const Node sub = insertChildNode(project, main, "sub", {400, 0});
    EXPECT_EQ(sub.style.borderColor, main.style.borderColor);
}

// ---- Parents ----

TEST(VQProjectEditsTest, InsertParentAboveRoot)
{
    VQProject project = testProject();
    Node x = insertRootNode(project, "old root", {0, 0});
    x.shape = NodeShape::pill;
    project.graph.storeNodes({x});
    const Node child = insertChildNode(project, x, "child", {200, 0});

    const std::optional<Node> q = insertParentNode(project, stored(project, x.uid), "new root", {-300, 0}, {128, 48});
    ASSERT_TRUE(q.has_value());
    EXPECT_FALSE(q->parentUID.has_value());
    EXPECT_EQ(q->childrenUIDs, (std::vector<std::int64_t>{x.uid}));
    EXPECT_EQ(q->style, values(project).rootNodeStyle);
    EXPECT_EQ(q->shape, NodeShape::ellipse);
    EXPECT_EQ(q->center, (Point{-300, 0}));
    // Sized while it still had the old root's shape; without an image that shape plays no part.
    expectSizedAroundCentre(*q);
    EXPECT_FALSE(stored(project, q->uid).differs(*q));

    const Node movedDown = stored(project, x.uid);
    EXPECT_EQ(movedDown.parentUID, q->uid);
    EXPECT_EQ(movedDown.shape, NodeShape::rect);
    EXPECT_EQ(movedDown.style.borderColor, stroke0);
    EXPECT_EQ(movedDown.style.fillColor, fill0);
    EXPECT_EQ(movedDown.style.branchWidth, q->style.branchWidth);
    EXPECT_EQ(movedDown.style.font, values(project).mainNodeStyle.font);
    // The old root keeps its size; its descendants keep their styles.
    EXPECT_EQ(movedDown.size, x.size);
    EXPECT_FALSE(stored(project, child.uid).differs(child));
}

TEST(VQProjectEditsTest, InsertParentForNodeWithParentChangesNothing)
{
    VQProject project = testProject();
    const Node root = insertRootNode(project, "root", {0, 0});
    const Node child = insertChildNode(project, stored(project, root.uid), "child", {200, 0});
    const Graph before = project.graph;
    EXPECT_FALSE(insertParentNode(project, child, "parent", {0, 0}, {10, 10}).has_value());
    ASSERT_EQ(project.graph.count(), before.count());
    for (const auto& [uid, n] : before.nodeBin())
        EXPECT_FALSE(stored(project, uid).differs(n));
}

TEST(VQProjectEditsTest, InsertIntermediateParent)
{
    VQProject project = testProject();
    const Node root = insertRootNode(project, "root", {0, 0});
    const Node a = insertChildNode(project, stored(project, root.uid), "A", {200, -80});
    const Node x = insertChildNode(project, stored(project, root.uid), "X", {200, 0});
    const Node b = insertChildNode(project, stored(project, root.uid), "B", {200, 80});
    const Node xChild = insertChildNode(project, x, "below X", {400, 0});

    const Node i = insertIntermediateParentNode(project, stored(project, root.uid), stored(project, x.uid), "I",
                                                        {200, 0}, {98, 38});
    EXPECT_EQ(stored(project, root.uid).childrenUIDs, (std::vector<std::int64_t>{a.uid, b.uid, i.uid}));
    EXPECT_EQ(i.childrenUIDs, (std::vector<std::int64_t>{x.uid}));
    EXPECT_EQ(i.parentUID, root.uid);
    EXPECT_EQ(stored(project, x.uid).parentUID, i.uid);
    // A main node: palette by rank (the largest identifier of three, entry 2 of 2 is entry 0).
    EXPECT_EQ(i.style.borderColor, stroke0);
    EXPECT_EQ(i.style.fillColor, fill0);
    EXPECT_EQ(i.shape, NodeShape::rect);
    EXPECT_EQ(i.style.font, values(project).mainNodeStyle.font);
    // Border and branch styles are the parent's whatever the level style says.
    EXPECT_EQ(i.style.borderStyle, values(project).rootNodeStyle.borderStyle);
    EXPECT_EQ(i.style.branchStyle, values(project).rootNodeStyle.branchStyle);
    EXPECT_EQ(i.center, (Point{200, 0}));
    expectSizedAroundCentre(i);
    EXPECT_FALSE(stored(project, i.uid).differs(i));
    // The moved node and its subtree keep their styles.
    EXPECT_EQ(stored(project, x.uid).style, x.style);
    EXPECT_FALSE(stored(project, xChild.uid).differs(xChild));
}

TEST(VQProjectEditsTest, InsertIntermediateParentInheritsShape)
{
    VQProject project = testProject();
    Node root = insertRootNode(project, "root", {0, 0});
    const Node x = insertChildNode(project, root, "X", {200, 0});
    root = stored(project, root.uid);
    root.childrenShouldInheritShape = true;
    root.shape = NodeShape::triangle;
    project.graph.storeNodes({root});
    const Node i = insertIntermediateParentNode(project, root, stored(project, x.uid), "I", {200, 0}, {98, 38});
    EXPECT_EQ(i.shape, NodeShape::triangle);
    EXPECT_TRUE(i.childrenShouldInheritShape);
}

// ---- Applying a style ----

namespace {

struct Tree {
    VQProject project = testProject();
    std::int64_t root, main0, main1, sub, deep, deeper, orphan, orphanChild;
};

// root (1) with main nodes 2 and 3; 2 holds 4, which holds 5, which holds 6; 7 names a missing parent and
// holds 8. Every node starts with the default style and shape.
Tree makeTree()
{
    Tree t;
    Graph& g = t.project.graph;
    put(g, 1, std::nullopt, {2, 3});
    put(g, 2, 1, {4});
    put(g, 3, 1);
    put(g, 4, 2, {5});
    put(g, 5, 4, {6});
    put(g, 6, 5);
    put(g, 7, 999, {8});
    put(g, 8, 7);
    t.root = 1, t.main0 = 2, t.main1 = 3, t.sub = 4, t.deep = 5, t.deeper = 6, t.orphan = 7, t.orphanChild = 8;
    return t;
}

} // namespace

TEST(VQProjectEditsTest, ApplyStyleToEmptyProjectChangesOnlyTheStyle)
{
    VQProject project;
    const ProjectStyle style = testStyle();
    project.title = "kept";
    applyStyle(project, style, true, true, true);
    EXPECT_EQ(project.projectStyle, style);
    EXPECT_TRUE(project.graph.isEmpty());
    EXPECT_EQ(project.title, "kept");
    EXPECT_EQ(project.grid.type, GridType::noGrid);
}

TEST(VQProjectEditsTest, ApplyStyleColoursFamilies)
{
    for (bool dynamic : {true, false}) {
        SCOPED_TRACE(dynamic);
        Tree t = makeTree();
        const ProjectStyle style = testStyle(dynamic);
        applyStyle(t.project, style, true, true, false);
        const ProjectStyle::Values& v = style.current;
        EXPECT_EQ(t.project.projectStyle, style);

        const Node root = stored(t.project, t.root);
        EXPECT_EQ(root.style, v.rootNodeStyle);
        EXPECT_EQ(root.shape, NodeShape::ellipse);

        const Node main0 = stored(t.project, t.main0);
        const Node main1 = stored(t.project, t.main1);
        EXPECT_EQ(main0.style.borderColor, stroke0);
        EXPECT_EQ(main0.style.branchColor, stroke0);
        EXPECT_EQ(main1.style.borderColor, stroke1);
        EXPECT_EQ(main0.style.fillColor, dynamic ? fill0 : v.mainNodeStyle.fillColor);
        EXPECT_EQ(main1.style.fillColor, dynamic ? fill1 : v.mainNodeStyle.fillColor);
        EXPECT_EQ(main0.shape, NodeShape::rect);
        // Applying a style takes the level's branch width, not the parent's.
        EXPECT_EQ(main0.style.branchWidth, v.mainNodeStyle.branchWidth);

        // Three levels below a main node: the main node's colours, the sub style's text.
        for (std::int64_t uid : {t.sub, t.deep, t.deeper}) {
            const Node n = stored(t.project, uid);
            EXPECT_EQ(n.style.borderColor, main0.style.borderColor);
            EXPECT_EQ(n.style.branchColor, main0.style.borderColor);
            EXPECT_EQ(n.style.fillColor, main0.style.fillColor);
            EXPECT_EQ(n.style.textColor, v.subNodeStyle.textColor);
            EXPECT_EQ(n.style.textAlignment, v.subNodeStyle.textAlignment);
            EXPECT_EQ(n.style.font, v.subNodeStyle.font);
            EXPECT_EQ(n.style.borderWidth, v.subNodeStyle.borderWidth);
            EXPECT_EQ(n.shape, NodeShape::underline);
        }

        // A subtree no main node reaches keeps the palette stroke of position 0 and the sub style's fill.
        for (std::int64_t uid : {t.orphan, t.orphanChild}) {
            const Node n = stored(t.project, uid);
            EXPECT_EQ(n.style.borderColor, stroke0);
            EXPECT_EQ(n.style.branchColor, stroke0);
            EXPECT_EQ(n.style.fillColor, v.subNodeStyle.fillColor);
        }
    }
}

TEST(VQProjectEditsTest, ApplyStyleWithoutShapes)
{
    Tree t = makeTree();
    Node sub = stored(t.project, t.sub);
    sub.shape = NodeShape::cloud;
    t.project.graph.storeNodes({sub});
    const Graph before = t.project.graph;
    applyStyle(t.project, testStyle(), false, true, false);
    for (const auto& [uid, n] : before.nodeBin())
        EXPECT_EQ(stored(t.project, uid).shape, n.shape) << uid;
    EXPECT_EQ(stored(t.project, t.sub).style.font, testStyle().current.subNodeStyle.font);
}

TEST(VQProjectEditsTest, ApplyStyleWithoutBorders)
{
    Tree t = makeTree();
    Node sub = stored(t.project, t.sub);
    sub.style.borderWidth = StrokeThickness::thickest;
    sub.style.borderStyle = StrokeStyle::dashed2;
    sub.style.branchStyle = StrokeStyle::dashed3;
    sub.style.branchWidth = StrokeThickness::invisible;
    t.project.graph.storeNodes({sub});

    const ProjectStyle style = testStyle();
    applyStyle(t.project, style, true, false, false);
    const NodeStyle& level = style.current.subNodeStyle;
    const Node after = stored(t.project, t.sub);
    EXPECT_EQ(after.style.borderWidth, StrokeThickness::thickest);
    EXPECT_EQ(after.style.borderStyle, StrokeStyle::dashed2);
    EXPECT_EQ(after.style.branchStyle, StrokeStyle::dashed3);
    EXPECT_EQ(after.style.branchWidth, StrokeThickness::invisible);
    EXPECT_EQ(after.style.textColor, level.textColor);
    EXPECT_EQ(after.style.font, level.font);
    EXPECT_EQ(after.style.textAlignment, level.textAlignment);
    EXPECT_EQ(after.style.isUnderlined, level.isUnderlined);
    EXPECT_EQ(after.style.isStrikeThrough, level.isStrikeThrough);
    EXPECT_EQ(after.style.imagePosition, level.imagePosition);
    EXPECT_EQ(after.style.borderColor, stroke0);
    // The root's strokes stay the defaults too.
    EXPECT_EQ(stored(t.project, t.root).style.borderWidth, NodeStyle().borderWidth);
    EXPECT_EQ(stored(t.project, t.root).style.borderColor, style.current.rootNodeStyle.borderColor);

    // With borders the level's strokes come in.
    applyStyle(t.project, style, true, true, false);
    EXPECT_EQ(stored(t.project, t.sub).style.borderWidth, level.borderWidth);
    EXPECT_EQ(stored(t.project, t.sub).style.branchStyle, level.branchStyle);
}

TEST(VQProjectEditsTest, ApplyStyleKeepsHandSetFontSize)
{
    Tree t = makeTree();
    Node main = stored(t.project, t.main0);
    main.style.font = Font("DejaVu Sans Mono", 30);
    main.style.userOverrides = NodeStyle::UserOverride::fontSize;
    t.project.graph.storeNodes({main});

    applyStyle(t.project, testStyle(), true, true, false);
    const Node after = stored(t.project, t.main0);
    EXPECT_EQ(after.style.font, Font::systemFont(30));
    EXPECT_EQ(after.style.userOverrides, NodeStyle::UserOverride::fontSize);
    EXPECT_EQ(stored(t.project, t.main1).style.font, Font::systemFont(16));

    // Resetting drops the hand-set size and the override.
    const Node reset = t.project.resetStyle({after}).front();
    EXPECT_EQ(reset.style.font, Font::systemFont(16));
    EXPECT_TRUE(reset.style.userOverrides.isEmpty());
}

TEST(VQProjectEditsTest, ApplyStyleAutosizesOnlyWhenAsked)
{
    Tree t = makeTree();
    const Graph before = t.project.graph;
    applyStyle(t.project, testStyle(), true, true, false);
    for (const auto& [uid, n] : before.nodeBin())
        EXPECT_EQ(stored(t.project, uid).size, n.size);

    const Graph restyled = t.project.graph;
    applyStyle(t.project, testStyle(), true, true, true);
    for (const auto& [uid, n] : restyled.nodeBin()) {
        const Node sized = autosizeNode(n, autosizeKeepCenter);
        EXPECT_EQ(stored(t.project, uid).size, sized.size) << uid;
        EXPECT_EQ(stored(t.project, uid).center, n.center) << uid;
        EXPECT_EQ(stored(t.project, uid).style, n.style) << uid;
    }
}

TEST(VQProjectEditsTest, ApplyStyleWithEmptyPalette)
{
    Tree t = makeTree();
    ProjectStyle style = testStyle();
    style.current.palette.clear();
    applyStyle(t.project, style, true, true, true);
    const Node main = stored(t.project, t.main0);
    EXPECT_EQ(main.style.borderColor, style.current.mainNodeStyle.borderColor);
    EXPECT_EQ(main.style.fillColor, style.current.mainNodeStyle.fillColor);
    // The family pass still hands the main node's border colour down, as branch colour too.
    EXPECT_EQ(main.style.branchColor, style.current.mainNodeStyle.borderColor);
    EXPECT_EQ(stored(t.project, t.deeper).style.borderColor, main.style.borderColor);
    EXPECT_EQ(stored(t.project, t.orphan).style.borderColor, style.current.subNodeStyle.borderColor);
}

TEST(VQProjectEditsTest, EveryBuiltInStyleApplies)
{
    for (const ProjectStyle& style : ProjectStyle::builtInStyles()) {
        SCOPED_TRACE(style.name);
        Tree t = makeTree();
        applyStyle(t.project, style, true, true, true);
        EXPECT_EQ(t.project.projectStyle.name, style.name);
        const Node main = stored(t.project, t.main1);
        const auto entry = style.current.paletteEntry(1);
        if (entry) {
            EXPECT_EQ(main.style.borderColor, entry->strokeColor);
        }
        EXPECT_GE(main.size.width, 50.0);
    }
}
