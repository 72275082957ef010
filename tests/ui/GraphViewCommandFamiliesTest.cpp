// Each family of canvas commands driven by selector as the menus send them: what it does to the map and the
// selection, the undo step it leaves, and how the menu and the toolbar validate it.

#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "ControllerEditor.h"
#include "UiTestSupport.h"
#include "layout/GraphCollisionResolver.h"
#include "platform/FontManager.h"
#include "platform/Settings.h"
#include "platform/UserDefaults.h"

using namespace velquine;
using Editor = test::ControllerEditor;

namespace {

// A root with two children A and B, and two grandchildren G and H under A, built as one step.
struct Family {
    Node root, a, b, g, h;
};

Family family(Editor& editor)
{
    auto nodes = editor.tree();
    editor.document->beginEditingSession("Grandchildren");
    Node g = *editor.document->createChildNode(nodes[1], "G", std::nullopt, true, false);
    Node h = *editor.document->createChildNode(nodes[1], "H", std::nullopt, true, false);
    editor.document->commitEditingSession();
    RunLoop::drain();
    editor.undo().removeAllActions();
    return {editor.node(nodes[0].uid), editor.node(nodes[1].uid), editor.node(nodes[2].uid), editor.node(g.uid),
            editor.node(h.uid)};
}

std::vector<std::int64_t> selected(Editor& editor) { return editor.document->project().selectedNodeUIDs; }

bool overlap(const Node& one, const Node& other)
{
    return GraphCollisionResolver::frame(one).intersects(GraphCollisionResolver::frame(other));
}

TEST(GraphViewCommandFamilies, StructureCommandsReshapeTheTreeInOneUndoStepEach)
{
    Editor editor;
    Family f = family(editor);

    // Detach: one selected child only.
    editor.select({f.root});
    EXPECT_FALSE(editor.validate("detachNodeFromParent:").enabled);
    editor.select({f.a, f.b});
    EXPECT_FALSE(editor.validate("detachNodeFromParent:").enabled);
    editor.select({f.a});
    ASSERT_TRUE(editor.validate("detachNodeFromParent:").enabled);
    editor.send("detachNodeFromParent:");
    EXPECT_FALSE(editor.node(f.a.uid).parentUID.has_value());
    EXPECT_EQ(editor.node(f.root.uid).childrenUIDs, std::vector<std::int64_t>{f.b.uid});
    EXPECT_EQ(editor.node(f.g.uid).parentUID, f.a.uid);
    EXPECT_EQ(editor.undo().undoActionName(), "Detach Node");
    ASSERT_TRUE(editor.undo().undo());
    RunLoop::drain();
    EXPECT_EQ(editor.node(f.a.uid).parentUID, f.root.uid);
    EXPECT_EQ(editor.node(f.root.uid).childrenUIDs, (std::vector<std::int64_t>{f.a.uid, f.b.uid}));

    // Delete Single keeps the node's children in the map.
    editor.select({editor.node(f.a.uid)});
    editor.send("deleteSingle:");
    EXPECT_FALSE(editor.graph().contains(f.a.uid));
    EXPECT_TRUE(editor.graph().contains(f.g.uid));
    EXPECT_TRUE(editor.graph().contains(f.h.uid));
    EXPECT_EQ(editor.graph().count(), 4u);
    EXPECT_EQ(editor.undo().undoActionName(), "Delete Single Node");
    ASSERT_TRUE(editor.undo().undo());
    RunLoop::drain();
    EXPECT_EQ(editor.node(f.g.uid).parentUID, f.a.uid);
    EXPECT_EQ(editor.graphView->graph().count(), 5u);

    // Duplicate copies the whole subtree.
    editor.select({editor.node(f.a.uid)});
    editor.send("duplicateNodeTree:");
    EXPECT_EQ(editor.graph().count(), 8u);
    EXPECT_EQ(editor.undo().undoActionName(), "Duplicate Nodes");
    std::size_t titledA = 0;
    for (const Node& node : editor.graph().allNodes())
        titledA += node.title == "A";
    EXPECT_EQ(titledA, 2u);
    ASSERT_TRUE(editor.undo().undo());
    RunLoop::drain();
    EXPECT_EQ(editor.graph().count(), 5u);

    // Edit Title starts the title editor for one node and leaves the map alone.
    editor.select({editor.node(f.b.uid)});
    editor.send("editSelectedNode:");
    EXPECT_EQ(editor.titleEditorsStarted, 1);
    editor.select({editor.node(f.a.uid), editor.node(f.b.uid)});
    EXPECT_FALSE(editor.validate("editSelectedNode:").enabled);
    EXPECT_FALSE(editor.document->isInEditingSession());

    // Select All takes every node and registers no step: the undone duplicate can still be redone.
    editor.send("selectAll:");
    EXPECT_EQ(selected(editor).size(), 5u);
    EXPECT_EQ(editor.graphView->selectedNodeUIDs().size(), 5u);
    EXPECT_EQ(editor.undo().redoActionName(), "Duplicate Nodes");
}

TEST(GraphViewCommandFamilies, EachResetTakesBackOnlyItsOwnPartOfTheStyle)
{
    Editor editor;
    Family f = family(editor);
    const Node plain = f.b;
    // B made red, bold and sized by hand, in one step.
    editor.document->beginEditingSession("Dress");
    Node dressed = plain;
    dressed.style.fillColor = Color::sRGB(1, 0, 0);
    dressed.style.font = FontManager::convert(dressed.style.font, FontTrait::bold);
    editor.document->updateNodes({dressed}, NodeUpdateOperation::style, false);
    editor.document->commitEditingSession();
    Node sized = editor.node(plain.uid);
    sized.size = {320, 140};
    editor.controller->resizeNode(sized);
    RunLoop::drain();
    const Node before = editor.node(plain.uid);
    ASSERT_FALSE(before.autoSize);
    ASSERT_NE(before.style.fillColor, plain.style.fillColor);
    auto isBold = [](const Node& node) { return (FontManager::traits(node.style.font) & FontTrait::bold) != 0; };
    ASSERT_TRUE(isBold(before));

    struct Case {
        const char* selector;
        const char* label;
        bool colours, font, size;
    };
    for (const Case& c : {Case{"resetNodeColors:", "Reset Node Colors", true, false, false},
                          Case{"resetNodeSize:", "Reset Node Size", false, false, true},
                          Case{"resetNodeStyle:", "Reset Node Style", true, true, false},
                          Case{"resetNodeStyleAndSize:", "Reset Node Style and Size", true, true, true}}) {
        SCOPED_TRACE(c.selector);
        editor.select({});
        EXPECT_FALSE(editor.validate(c.selector).enabled);
        editor.select({editor.node(plain.uid)});
        ASSERT_TRUE(editor.validate(c.selector).enabled);
        editor.send(c.selector);
        const Node reset = editor.node(plain.uid);
        EXPECT_EQ(editor.undo().undoActionName(), c.label);
        EXPECT_EQ(reset.style.fillColor == plain.style.fillColor, c.colours);
        EXPECT_EQ(isBold(reset), !c.font);
        EXPECT_EQ(reset.size == before.size, !c.size);
        ASSERT_TRUE(editor.undo().undo());
        RunLoop::drain();
        EXPECT_EQ(editor.node(plain.uid), before);
    }
}

TEST(GraphViewCommandFamilies, LayoutCommandsPutNodesBackAndPartOverlaps)
{
    ScopedStandardUserDefaults scope;
    setCollisionDetectionEnabled(true);
    Editor editor;
    Family f = family(editor);

    // Auto Layout Node brings a child dragged far off back to its laid-out place.
    const Node laidOutA = editor.node(f.a.uid);
    Node dragged = laidOutA;
    dragged.center = {laidOutA.center.x + 900, laidOutA.center.y + 700};
    editor.controller->moveNodes({dragged});
    editor.select({editor.node(f.a.uid)});
    editor.send("autoLayoutSelectedNode:");
    EXPECT_EQ(editor.undo().undoActionName(), "Auto Layout Node");
    EXPECT_NEAR(editor.node(f.a.uid).center.x, laidOutA.center.x, 0.5);
    EXPECT_NEAR(editor.node(f.a.uid).center.y, laidOutA.center.y, 0.5);

    // The partial layout starts at a leaf's parent and keeps that parent where it stands.
    const Node laidOutG = editor.node(f.g.uid);
    Node movedA = editor.node(f.a.uid);
    movedA.center.y += 400;
    editor.controller->moveNodes({movedA});
    const Point aAfterMove = editor.node(f.a.uid).center;
    Node strayG = editor.node(f.g.uid);
    strayG.center.x += 600;
    editor.controller->moveNodes({strayG});
    editor.select({editor.node(f.g.uid)});
    editor.send("autolayoutPartialTree:");
    EXPECT_EQ(editor.undo().undoActionName(), "Auto Layout Partial Tree");
    EXPECT_EQ(editor.node(f.a.uid).center, aAfterMove);
    EXPECT_NEAR(editor.node(f.g.uid).center.x, laidOutG.center.x, 0.5);

    // Resolve Collisions parts two roots laid on top of each other, as one step.
    editor.document->beginEditingSession("Second Root");
    Node other = editor.document->createRootNode("Other", editor.node(f.root.uid).center, false);
    editor.document->commitEditingSession();
    Node onTop = editor.node(other.uid);
    onTop.center = editor.node(f.root.uid).center;
    editor.graph().setNode(onTop, onTop.uid);
    ASSERT_TRUE(overlap(editor.node(other.uid), editor.node(f.root.uid)));
    editor.send("resolveCollisions:");
    EXPECT_EQ(editor.undo().undoActionName(), "Resolve Collisions");
    EXPECT_FALSE(overlap(editor.node(other.uid), editor.node(f.root.uid)));
}

TEST(GraphViewCommandFamilies, BalanceSplitsChildrenAndIsOfferedOnlyForBalancedOrManualTrees)
{
    Editor editor;
    Family f = family(editor);
    editor.document->beginEditingSession("More");
    for (const char* title : {"C", "D", "E"})
        editor.document->createChildNode(editor.node(f.root.uid), title, std::nullopt, true, false);
    editor.document->commitEditingSession();
    // Every child pushed to the root's right.
    const Point root = editor.node(f.root.uid).center;
    std::vector<Node> right;
    double y = root.y - 300;
    for (std::int64_t uid : editor.node(f.root.uid).childrenUIDs) {
        Node child = editor.node(uid);
        child.center = {root.x + 400, y += 120};
        right.push_back(child);
    }
    editor.controller->moveNodes(right);

    editor.select({});
    EXPECT_FALSE(editor.validateToolbar("sortSelectedNodeChildren:").enabled);
    EXPECT_FALSE(editor.validateToolbar("balanceSelectedNode:").enabled);
    editor.select({editor.node(f.root.uid)});
    EXPECT_TRUE(editor.validateToolbar("sortSelectedNodeChildren:").enabled);
    ASSERT_TRUE(editor.validateToolbar("balanceSelectedNode:").enabled); // a new map's trees are balanced
    editor.send("balanceSelectedNode:");
    EXPECT_EQ(editor.undo().undoActionName(), "Balance Children");
    int left = 0, onRight = 0;
    for (std::int64_t uid : editor.node(f.root.uid).childrenUIDs)
        (editor.node(uid).center.x < root.x ? left : onRight)++;
    EXPECT_GE(left, 2);
    EXPECT_GE(onRight, 2);

    // A tree that grows one way has nothing to balance; one arranged by hand has.
    auto withOptions = [&](LayoutOptions options) {
        Node r = editor.node(f.root.uid);
        r.layoutOptions = options;
        editor.graph().setNode(r, r.uid);
        editor.select({editor.node(f.root.uid)});
        return editor.validateToolbar("balanceSelectedNode:").enabled;
    };
    LayoutOptions oneWay;
    oneWay.layoutDirection = LayoutOptions::LayoutDirection::ascending;
    EXPECT_FALSE(withOptions(oneWay));
    oneWay.isManual = true;
    EXPECT_TRUE(withOptions(oneWay));
}

TEST(GraphViewCommandFamilies, FocusAndCentreFollowTheSelection)
{
    Editor editor;
    Family f = family(editor);

    editor.select({});
    EXPECT_FALSE(editor.validateToolbar("toggleNodeFocus:").enabled);
    editor.select({editor.node(f.a.uid)});
    EXPECT_EQ(editor.validate("toggleNodeFocus:").title, "Focus on Node");
    editor.send("toggleNodeFocus:");
    ASSERT_TRUE(editor.graphView->isFocusModeOn());
    EXPECT_EQ(editor.validate("toggleNodeFocus:").title, "Unfocus Node");
    EXPECT_EQ(editor.validateToolbar("toggleNodeFocus:").state, ControlState::on);
    EXPECT_FALSE(editor.undo().canUndo()); // focus is a view, not an edit
    editor.select({});
    EXPECT_TRUE(editor.validateToolbar("toggleNodeFocus:").enabled); // on: it can always be switched off
    editor.send("toggleNodeFocus:");
    EXPECT_FALSE(editor.graphView->isFocusModeOn());
    EXPECT_EQ(editor.validateToolbar("toggleNodeFocus:").state, ControlState::off);

    // Centre brings the selected node to the middle of the view (within a twentieth of its size).
    auto centredOn = [&](const Node& node) {
        const Rect visible = editor.scrollView->documentVisibleRect();
        return std::abs(visible.midX() - node.center.x) < visible.width() / 20 &&
               std::abs(visible.midY() - node.center.y) < visible.height() / 20;
    };
    editor.scrollView->scrollToPoint({0, 0});
    editor.select({editor.node(f.h.uid)});
    editor.send("centerSelectedNode:");
    EXPECT_EVENTUALLY(centredOn(editor.node(f.h.uid)));
    test::saveScreenshot(&editor.window, "command_families_centred");

    // With nothing selected it selects the first root and centres on it.
    editor.scrollView->scrollToPoint({0, 0});
    editor.select({});
    editor.send("centerSelectedNode:");
    EXPECT_EQ(selected(editor), std::vector<std::int64_t>{f.root.uid});
    EXPECT_EVENTUALLY(centredOn(editor.node(f.root.uid)));
}

TEST(GraphViewCommandFamilies, InsideASessionTheCanvasShowsOnlyTheUpdatesTheUserSeesAtOnce)
{
    Editor editor;
    Family f = family(editor);
    // Style, fill colour, border colour, branch colour, text colour and title reload the canvas at once;
    // every other update waits for the session's commit.
    const std::set<int> atOnce = {2, 4, 7, 10, 14, 17};
    editor.document->beginEditingSession("Typing");
    for (int code = 0; code <= static_cast<int>(NodeUpdateOperation::attach); ++code) {
        SCOPED_TRACE(code);
        Node marked = editor.node(f.b.uid);
        marked.title = "mark " + std::to_string(code);
        editor.document->updateNodes({marked}, static_cast<NodeUpdateOperation>(code), true);
        RunLoop::drain();
        const bool reloaded = editor.graphView->graph().node(f.b.uid)->title == marked.title;
        EXPECT_EQ(reloaded, atOnce.count(code) == 1);
    }
    editor.document->commitEditingSession();
    RunLoop::drain();
    EXPECT_EQ(editor.graphView->graph().node(f.b.uid)->title, "mark 23");
}

} // namespace
