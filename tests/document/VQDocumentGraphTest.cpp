// Node updates, the depth-ordered resets, deleting, detaching and attaching.

#include "DocumentTestSupport.h"
#include "document/DocumentResets.h"
#include "layout/NodeSizing.h"
#include "platform/Clock.h"

namespace velquine::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// 1 ─┬─ 2 ─┬─ 4 ── 6
//    │     └─ 5
//    └─ 3
class GraphEditTest : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        document->projectForLoading().graph.storeNodes({makeNode(1, std::nullopt, {2, 3}, {0, 0}),
                                            makeNode(2, 1, {4, 5}, {200, -50}), makeNode(3, 1, {}, {200, 50}),
                                            makeNode(4, 2, {6}, {400, -80}), makeNode(5, 2, {}, {400, -20}),
                                            makeNode(6, 4, {}, {600, -80})});
    }
    Node stored(std::int64_t uid) const { return document->project().graph.node(uid).value(); }
    std::vector<std::int64_t> children(std::int64_t uid) const { return stored(uid).childrenUIDs; }
};

TEST_F(GraphEditTest, UpdateNodesStampsModificationTimeForTitleAndImageCodesOnly)
{
    ScopedClock clock(5000.0);
    document->beginEditingSession("x");
    for (int code = 0; code <= 23; ++code) {
        Node node = stored(3);
        node.modifiedTimestamp = 100.0;
        const auto result = document->updateNodes({node}, static_cast<NodeUpdateOperation>(code), false);
        ASSERT_EQ(result.size(), 1u);
        const bool stamps = code == 17 || code == 19 || code == 20;
        EXPECT_EQ(stored(3).modifiedTimestamp, stamps ? 5000.0 : 100.0) << "code " << code;
        EXPECT_EQ(result[0].modifiedTimestamp, stored(3).modifiedTimestamp);
    }
}

TEST_F(GraphEditTest, UpdateNodesStoresReturnsAndPostsOnlyWithNotify)
{
    ScopedClock clock(77.0);
    auto listener = listen();
    document->beginEditingSession("x");
    Node moved = stored(3);
    moved.center = {1, 2};
    Node fresh = makeNode(50, std::nullopt);
    fresh.createdTimestamp = -1;
    const auto result = document->updateNodes({moved, fresh}, NodeUpdateOperation::position, false);
    EXPECT_EQ(uidsOf(result), (std::vector<std::int64_t>{3, 50}));
    EXPECT_EQ(stored(3).center, (Point{1, 2}));
    EXPECT_EQ(stored(50).createdTimestamp, 77.0);
    document->updateNodes({moved}, NodeUpdateOperation::note, true);
    EXPECT_THAT(deliver(), ElementsAre("begin", "update18[3]"));
}

TEST_F(GraphEditTest, UpdateNodesWithEmptyListDoesNothingEvenOutsideSession)
{
    auto listener = listen();
    EXPECT_THAT(document->updateNodes({}, NodeUpdateOperation::title, true), IsEmpty());
    EXPECT_TRUE(log.lines().empty());
    EXPECT_THAT(deliver(), IsEmpty());
}

TEST_F(GraphEditTest, EveryMutatorOutsideSessionWarnsAndStillApplies)
{
    Node renamed = stored(3);
    renamed.title = "renamed";
    document->updateNodes({renamed}, NodeUpdateOperation::title, false);
    EXPECT_EQ(stored(3).title, "renamed");

    DocumentResets(*document).resetNodeSize({stored(3)});
    EXPECT_EQ(stored(3).size, autosizeNode(renamed).size);
    DocumentResets(*document).resetNodeStyle({stored(2)});
    EXPECT_EQ(stored(2).shape, document->project().projectStyle.current.mainNodeShape);
    EXPECT_EQ(stored(2).style.font, document->project().projectStyle.current.mainNodeStyle.font);
    DocumentResets(*document).resetNodeColors({stored(3)});
    document->attachNode(stored(5), stored(3), false);
    EXPECT_EQ(stored(5).parentUID, 3);
    document->detachNodeFromParent(stored(5));
    EXPECT_FALSE(stored(5).parentUID.has_value());
    document->deleteNodes({stored(6)}, false, false);
    EXPECT_FALSE(document->project().graph.contains(6));

    for (const char* name : {"updateNodes(nodes:operation:notify:)", "resetNodeSize(nodes:)", "resetNodeStyle(nodes:)",
                             "resetNodeColors(nodes:)", "attachNode(node:to:notify:)", "detachNodeFromParent(node:)",
                             "deleteNodes(nodes:keepChildren:notify:)"})
        EXPECT_TRUE(logHas(log, name, outsideSessionWarning(name))) << name;
}

// ---- Resets ----

TEST_F(GraphEditTest, ResetNodeStyleGivesEachLevelItsStyleAndShape)
{
    const ProjectStyle::Values& v = document->project().projectStyle.current;
    document->beginEditingSession("Reset Node Style");
    DocumentResets(*document).resetNodeStyle({stored(6), stored(1), stored(2)});
    EXPECT_EQ(stored(1).style, v.rootNodeStyle);
    EXPECT_EQ(stored(1).shape, v.rootNodeShape);
    EXPECT_EQ(stored(2).shape, v.mainNodeShape);
    EXPECT_EQ(stored(2).style.font, v.mainNodeStyle.font);
    EXPECT_EQ(stored(6).shape, v.subNodeShape);
    EXPECT_EQ(stored(6).style.font, v.subNodeStyle.font);
}

TEST_F(GraphEditTest, ResetNodeColorsTakesPaletteBySortedRankAndFlowsDownTheBranch)
{
    ProjectStyle::Values& v = document->projectForLoading().projectStyle.current;
    ASSERT_GE(v.palette.size(), 3u);
    v.dynamicMainNodeColors = false;
    // Root 1 lists its children out of identifier order: rank follows the sorted identifiers.
    Node root = stored(1);
    root.childrenUIDs = {3, 2};
    document->projectForLoading().graph.storeNodes({root});
    Node textColored = stored(4);
    textColored.style.textColor = Color::sRGB(0.5, 0.5, 0.5);
    document->projectForLoading().graph.storeNodes({textColored});

    document->beginEditingSession("Reset Node Colors");
    DocumentResets(*document).resetNodeColors({stored(4), stored(6), stored(3), stored(2), stored(1)});

    EXPECT_EQ(stored(1).style.borderColor, v.rootNodeStyle.borderColor);
    EXPECT_EQ(stored(1).style.textColor, v.rootNodeStyle.textColor);
    EXPECT_EQ(stored(2).style.borderColor, v.palette[0].strokeColor);
    EXPECT_EQ(stored(2).style.branchColor, v.palette[0].strokeColor);
    EXPECT_EQ(stored(2).style.fillColor, v.mainNodeStyle.fillColor);
    EXPECT_EQ(stored(3).style.borderColor, v.palette[1].strokeColor);
    // Sub nodes take their parents' new colours, the grandchild through its parent.
    EXPECT_EQ(stored(4).style.borderColor, v.palette[0].strokeColor);
    EXPECT_EQ(stored(4).style.branchColor, v.palette[0].strokeColor);
    EXPECT_EQ(stored(4).style.fillColor, stored(2).style.fillColor);
    EXPECT_EQ(stored(4).style.textColor, Color::sRGB(0.5, 0.5, 0.5));
    EXPECT_EQ(stored(6).style.borderColor, v.palette[0].strokeColor);
}

TEST_F(GraphEditTest, ResetNodeColorsOfThirdChildUsesThirdEntryAndDynamicFill)
{
    ProjectStyle::Values& v = document->projectForLoading().projectStyle.current;
    v.dynamicMainNodeColors = true;
    document->projectForLoading().graph.storeNodes({makeNode(7, 1, {}, {200, 150})});
    Node root = stored(1);
    root.childrenUIDs.push_back(7);
    document->projectForLoading().graph.storeNodes({root});
    document->beginEditingSession("Reset Node Colors");
    DocumentResets(*document).resetNodeColors({stored(7)});
    const PaletteEntry& entry = v.palette[2 % v.palette.size()];
    EXPECT_EQ(stored(7).style.borderColor, entry.strokeColor);
    EXPECT_EQ(stored(7).style.fillColor, entry.fillColor);
}

TEST_F(GraphEditTest, ResetNodeColorsWithEmptyPaletteLeavesPaletteColours)
{
    ProjectStyle::Values& v = document->projectForLoading().projectStyle.current;
    v.palette.clear();
    v.dynamicMainNodeColors = false;
    const Color mark = Color::sRGB(0.1, 0.2, 0.3);
    Node main = stored(2);
    main.style.borderColor = mark;
    main.style.branchColor = mark;
    Node orphan = makeNode(8, 999); // a sub node whose parent is gone
    orphan.style.borderColor = mark;
    document->projectForLoading().graph.storeNodes({main, orphan});

    document->beginEditingSession("Reset Node Colors");
    DocumentResets(*document).resetNodeColors({stored(2), stored(8), stored(4)});
    EXPECT_EQ(stored(2).style.borderColor, mark);
    EXPECT_EQ(stored(2).style.branchColor, mark);
    EXPECT_EQ(stored(2).style.fillColor, v.mainNodeStyle.fillColor);
    EXPECT_EQ(stored(8).style.borderColor, mark);
    EXPECT_EQ(stored(4).style.borderColor, mark); // from its parent
}

TEST_F(GraphEditTest, ResetNodeSizeMeasuresKeepingCentresAndSkipsMissingNodes)
{
    Node wide = stored(5);
    wide.title = "a rather long title that needs more room";
    wide.size = {10, 10};
    document->projectForLoading().graph.storeNodes({wide});
    document->beginEditingSession("Reset Node Size");
    DocumentResets(*document).resetNodeSize({wide, makeNode(404, std::nullopt)});
    EXPECT_EQ(stored(5).size, autosizeNode(wide).size);
    EXPECT_EQ(stored(5).center, wide.center);
    EXPECT_FALSE(document->project().graph.contains(404));
}

// ---- Deleting ----

TEST_F(GraphEditTest, DeletingSubtreeSelectsParentThenPostsSelectionBeforeDeleted)
{
    auto listener = listen();
    document->beginEditingSession("Delete");
    document->deleteNodes({stored(2)}, false, true);
    for (std::int64_t uid : {2, 4, 5, 6})
        EXPECT_FALSE(document->project().graph.contains(uid)) << uid;
    EXPECT_EQ(children(1), (std::vector<std::int64_t>{3}));
    EXPECT_EQ(document->project().selectedNodeUIDs, (std::vector<std::int64_t>{1}));
    EXPECT_THAT(deliver(), ElementsAre("begin", "selection", "delete[2]"));
}

TEST_F(GraphEditTest, DeletingSiblingsSelectsParentOnceAndRootLeavesSelection)
{
    auto listener = listen();
    document->projectForLoading().selectedNodeUIDs = {6};
    document->beginEditingSession("Delete");
    document->deleteNodes({stored(4), stored(5)}, false, false);
    EXPECT_EQ(document->project().selectedNodeUIDs, (std::vector<std::int64_t>{2}));
    document->deleteNodes({stored(1)}, false, true);
    EXPECT_TRUE(document->project().graph.isEmpty());
    EXPECT_EQ(document->project().selectedNodeUIDs, (std::vector<std::int64_t>{2}));
    document->deleteNodes({}, false, true);
    EXPECT_THAT(deliver(), ElementsAre("begin", "selection", "delete[1]", "delete[]"));
}

TEST_F(GraphEditTest, DeletingKeepingChildrenMovesThemUp)
{
    document->beginEditingSession("Delete Single Node");
    document->deleteNodes({stored(2)}, true, false);
    EXPECT_FALSE(document->project().graph.contains(2));
    EXPECT_EQ(stored(4).parentUID, 1);
    EXPECT_EQ(stored(5).parentUID, 1);
    EXPECT_EQ(children(1), (std::vector<std::int64_t>{4, 5, 3}));
}

TEST_F(GraphEditTest, DeletingNodeAndItsChildKeepingChildrenOrphansNothing)
{
    // The values passed in are from before either removal: 4 still names 2 as its parent.
    const Node two = stored(2);
    const Node four = stored(4);
    document->beginEditingSession("Delete Single Node");
    document->deleteNodes({two, four}, true, false);
    EXPECT_FALSE(document->project().graph.contains(2));
    EXPECT_FALSE(document->project().graph.contains(4));
    EXPECT_EQ(stored(6).parentUID, 1);
    EXPECT_EQ(stored(5).parentUID, 1);
    EXPECT_EQ(children(1), (std::vector<std::int64_t>{6, 5, 3}));
    for (const auto& [uid, node] : document->project().graph.nodeBin()) {
        if (node.parentUID) {
            EXPECT_TRUE(document->project().graph.contains(*node.parentUID)) << uid;
        }
        for (std::int64_t child : node.childrenUIDs)
            EXPECT_TRUE(document->project().graph.contains(child)) << uid << " lists " << child;
    }
}

// ---- Detaching ----

TEST_F(GraphEditTest, DetachingMainNodeMakesStyledSizedRootAndReturnsFormerParent)
{
    const ProjectStyle::Values& v = document->project().projectStyle.current;
    auto listener = listen();
    document->beginEditingSession("Detach Node");
    const auto result = document->detachNodeFromParent(stored(2));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->uid, 1);
    EXPECT_EQ(children(1), (std::vector<std::int64_t>{3}));
    const Node two = stored(2);
    EXPECT_FALSE(two.parentUID.has_value());
    EXPECT_EQ(two.style, v.rootNodeStyle);
    EXPECT_EQ(two.shape, v.rootNodeShape);
    EXPECT_EQ(two.center, (Point{200, -50}));
    Node expected = makeNode(2, std::nullopt);
    expected.style = v.rootNodeStyle;
    expected.center = {200, -50};
    EXPECT_EQ(two.size, autosizeNode(expected).size);
    EXPECT_EQ(children(2), (std::vector<std::int64_t>{4, 5})); // the subtree stays with it
    EXPECT_THAT(deliver(), ElementsAre("begin"));
}

TEST_F(GraphEditTest, DetachingRootStillRestylesAndReturnsTheNode)
{
    document->beginEditingSession("Detach Node");
    const auto result = document->detachNodeFromParent(stored(1));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->uid, 1);
    EXPECT_EQ(stored(1).style, document->project().projectStyle.current.rootNodeStyle);
}

// ---- Attaching ----

TEST_F(GraphEditTest, AttachingMovesUidToEndOfNewParentInOneStoredListOfThree)
{
    auto listener = listen();
    document->beginEditingSession("Attach Node");
    const auto result = document->attachNode(stored(5), stored(3), true);
    EXPECT_EQ(uidsOf(result), (std::vector<std::int64_t>{2, 3, 5}));
    EXPECT_EQ(children(2), (std::vector<std::int64_t>{4}));
    EXPECT_EQ(children(3), (std::vector<std::int64_t>{5}));
    EXPECT_EQ(stored(5).parentUID, 3);
    EXPECT_EQ(stored(5).center, (Point{400, -20})); // placing is the caller's layout
    EXPECT_THAT(deliver(), ElementsAre("begin", "update23[2,3,5]"));
}

TEST_F(GraphEditTest, AttachingRefusalsChangeNothing)
{
    const VQProject before = document->project();
    document->beginEditingSession("Attach Node");
    EXPECT_THAT(document->attachNode(stored(2), stored(6), false), IsEmpty());
    EXPECT_TRUE(logHas(log, "attachNode(node:to:notify:)",
                       "graph.allChildrenOfNode(node).map({$0.uid}).contains(newParent.uid)"));
    EXPECT_THAT(document->attachNode(stored(4), stored(2), false), IsEmpty());
    EXPECT_TRUE(logHas(log, "attachNode(node:to:notify:)", "Node is already a child of newParent!"));
    EXPECT_THAT(document->attachNode(stored(2), stored(2), false), IsEmpty());
    EXPECT_TRUE(logHas(log, "attachNode(node:to:notify:)", "this would be circular"));
    EXPECT_TRUE(sameProject(document->project(), before));
}

TEST_F(GraphEditTest, AttachingUnderAnAncestorLinkedOnlyUpwardsIsCircular)
{
    // 7's parent chain reaches 2, but 2 does not list it: the descendant walk misses it, the climb finds it.
    document->projectForLoading().graph.storeNodes({makeNode(7, 2)});
    document->beginEditingSession("Attach Node");
    EXPECT_THAT(document->attachNode(stored(2), stored(7), false), IsEmpty());
    EXPECT_TRUE(logHas(log, "attachNode(node:to:notify:)", "this would be circular"));
    EXPECT_EQ(stored(2).parentUID, 1);
}

TEST_F(GraphEditTest, AttachingBelowADamagedLoopingChainIsRefusedWithoutHanging)
{
    // 8 → 9 → 8: a loop that does not pass through the node.
    document->projectForLoading().graph.storeNodes({makeNode(8, 9), makeNode(9, 8)});
    const VQProject before = document->project();
    document->beginEditingSession("Attach Node");
    EXPECT_THAT(document->attachNode(stored(3), stored(8), false), IsEmpty());
    EXPECT_TRUE(logHas(log, "attachNode(node:to:notify:)", "this would be circular"));
    EXPECT_TRUE(sameProject(document->project(), before));
}

} // namespace
} // namespace velquine::testing
