// The layout commands of the document: choice of options, forced layout, partial layout, balancing, sorting
// children and parting overlapping nodes.

#include "DocumentTestSupport.h"
#include "document/DocumentLayout.h"

namespace velquine::testing {
namespace {

using ::testing::ElementsAre;

class LayoutCommandTest : public DocumentTest {
protected:
    Node stored(std::int64_t uid) const { return document->project().graph.node(uid).value(); }
    std::vector<std::int64_t> children(std::int64_t uid) const { return stored(uid).childrenUIDs; }

    // Root 1 at the origin with children 2, 3, 4 all piled up on one far point.
    void storePile(std::optional<LayoutOptions> rootOptions = std::nullopt)
    {
        Node root = makeNode(1, std::nullopt, {2, 3, 4}, {0, 0});
        root.layoutOptions = rootOptions;
        document->projectForLoading().graph.storeNodes(
            {root, makeNode(2, 1, {}, {900, 900}), makeNode(3, 1, {}, {900, 900}), makeNode(4, 1, {}, {900, 900})});
    }
    bool pileUntouched() const
    {
        return stored(2).center == Point{900, 900} && stored(3).center == Point{900, 900} &&
               stored(4).center == Point{900, 900};
    }
};

TEST_F(LayoutCommandTest, ManualTreeMovesOnlyWhenForced)
{
    LayoutOptions manual;
    manual.isManual = true;
    storePile(manual);
    document->beginEditingSession("Auto Layout");
    DocumentLayout(*document).autolayoutWholeNodeTree(stored(3), false);
    EXPECT_TRUE(pileUntouched());
    DocumentLayout(*document).autolayoutWholeNodeTree(stored(3), true);
    EXPECT_FALSE(pileUntouched());
    EXPECT_NE(stored(2).center, stored(3).center);
}

TEST_F(LayoutCommandTest, RootOptionsWinOverBaseOptions)
{
    document->projectForLoading().baseLayoutOptions.isManual = true;
    storePile();
    document->beginEditingSession("Auto Layout");
    DocumentLayout(*document).autoLayoutGraph(false);
    EXPECT_TRUE(pileUntouched()); // follows the manual base options

    LayoutOptions vertical;
    vertical.layoutType = LayoutOptions::LayoutType::vertical;
    vertical.layoutDirection = LayoutOptions::LayoutDirection::ascending;
    Node root = stored(1);
    root.layoutOptions = vertical;
    document->projectForLoading().graph.storeNodes({root});
    DocumentLayout(*document).autoLayoutGraph(false);
    // A vertical top-down tree: children one generation (100 points) below the root's frame.
    const Node child = stored(2);
    EXPECT_DOUBLE_EQ(child.center.y, root.size.height / 2 + 100.0 + child.size.height / 2);
    EXPECT_EQ(stored(3).center.y, child.center.y);
    EXPECT_LT(stored(2).center.x, stored(3).center.x);
    EXPECT_EQ(DocumentLayout(*document).layoutOptionsOfTree(stored(4)), vertical);
}

TEST_F(LayoutCommandTest, LayoutsWritePositionsWithoutEvents)
{
    storePile();
    auto listener = listen();
    document->beginEditingSession("Auto Layout");
    DocumentLayout(*document).autoLayoutWholeNodeTrees({stored(2), stored(3), stored(4)}, false);
    document->projectForLoading().selectedNodeUIDs = {4, 777};
    DocumentLayout(*document).autolayoutSelectedNodes(false);
    EXPECT_FALSE(pileUntouched());
    EXPECT_THAT(deliver(), ElementsAre("begin"));
}

TEST_F(LayoutCommandTest, PartialLayoutKeepsStartingNodeAndGrowsAwayFromParent)
{
    // 1 at the origin, 2 left of it with children 3 and 4 piled on the right.
    document->projectForLoading().graph.storeNodes({makeNode(1, std::nullopt, {2}, {0, 0}),
                                                    makeNode(2, 1, {3, 4}, {-300, 0}), makeNode(3, 2, {}, {500, 0}),
                                                    makeNode(4, 2, {}, {500, 0})});
    document->beginEditingSession("Auto Layout Partial Tree");
    DocumentLayout(*document).autolayoutPartialNodeTreeStartingAt(stored(2), false);
    EXPECT_EQ(stored(2).center, (Point{-300, 0}));
    EXPECT_LT(stored(3).center.x, -300.0);
    EXPECT_LT(stored(4).center.x, -300.0);
    EXPECT_EQ(stored(1).center, (Point{0, 0}));
}

TEST_F(LayoutCommandTest, PartialLayoutOfRootIsWholeTreeLayout)
{
    storePile();
    document->beginEditingSession("Auto Layout Partial Tree");
    DocumentLayout(*document).autolayoutPartialNodeTreeStartingAt(stored(1), false);
    const VQProject partial = document->project();
    document->cancelEditingSession();
    document->beginEditingSession("Auto Layout");
    DocumentLayout(*document).autolayoutWholeNodeTree(stored(1), false);
    EXPECT_TRUE(sameProject(document->project(), partial));
}

TEST_F(LayoutCommandTest, BalanceAllSkipsRootsWithOwnOptionsAndBalancesOthersWhateverTheDirection)
{
    document->projectForLoading().baseLayoutOptions.layoutDirection = LayoutOptions::LayoutDirection::ascending;
    storePile();
    LayoutOptions own;
    Node other = makeNode(10, std::nullopt, {11, 12}, {0, 2000});
    other.layoutOptions = own;
    document->projectForLoading().graph.storeNodes({other, makeNode(11, 10, {}, {5, 5}), makeNode(12, 10, {}, {5, 5})});
    document->beginEditingSession("Change Layout Options");
    DocumentLayout(*document).balanceAllNodes();
    EXPECT_FALSE(pileUntouched());
    EXPECT_EQ(stored(11).center, (Point{5, 5}));
    EXPECT_EQ(stored(12).center, (Point{5, 5}));
}

TEST_F(LayoutCommandTest, BalanceSelectedNeedsManualOrBalancedTree)
{
    document->projectForLoading().baseLayoutOptions.layoutDirection = LayoutOptions::LayoutDirection::ascending;
    storePile();
    document->projectForLoading().selectedNodeUIDs = {3};
    document->beginEditingSession("Balance Children");
    DocumentLayout(*document).balanceSelectedNode();
    EXPECT_TRUE(pileUntouched());
    document->projectForLoading().baseLayoutOptions.layoutDirection = LayoutOptions::LayoutDirection::balanced;
    DocumentLayout(*document).balanceSelectedNode();
    EXPECT_FALSE(pileUntouched());
}

TEST_F(LayoutCommandTest, BalancingATreeAgainChangesNothingSoEachTreeIsBalancedOnceHoweverManyOfItsNodesAreSelected)
{
    // Six children on one side, two of them with children: a first balance moves three to the other side.
    Node root = makeNode(1, std::nullopt, {2, 3, 4, 5, 6, 7}, {0, 0});
    std::vector<Node> nodes{root};
    for (std::int64_t uid = 2; uid <= 7; ++uid)
        nodes.push_back(makeNode(uid, 1, uid == 3 ? std::vector<std::int64_t>{8, 9} : std::vector<std::int64_t>{},
                                 {900, 900}));
    nodes.push_back(makeNode(8, 3, {}, {900, 900}));
    nodes.push_back(makeNode(9, 3, {10}, {900, 900}));
    nodes.push_back(makeNode(10, 9, {}, {900, 900}));
    document->projectForLoading().graph.storeNodes(nodes);
    document->beginEditingSession("Balance Children");
    document->projectForLoading().selectedNodeUIDs = {1};
    DocumentLayout(*document).balanceSelectedNode();
    const VQProject once = document->project();
    EXPECT_LT(stored(2).center.x, 0);
    EXPECT_GT(stored(7).center.x, 0);
    document->cancelEditingSession();

    document->beginEditingSession("Balance Children");
    document->projectForLoading().selectedNodeUIDs = {10, 4, 1, 9, 7};
    DocumentLayout(*document).balanceSelectedNode();
    document->projectForLoading().selectedNodeUIDs = {1};
    EXPECT_TRUE(sameProject(document->project(), once));
    // Balanced again as a second command: nothing moves.
    DocumentLayout(*document).balanceSelectedNode();
    EXPECT_TRUE(sameProject(document->project(), once));
}

TEST_F(LayoutCommandTest, SortingByTitleIgnoresCaseAndBreaksTiesByCreationTime)
{
    Node parent = makeNode(1, std::nullopt, {2, 3, 4, 5, 6, 404});
    auto child = [](std::int64_t uid, const char* title, double created) {
        Node n = makeNode(uid, 1);
        n.title = title;
        n.createdTimestamp = created;
        return n;
    };
    document->projectForLoading().graph.storeNodes({parent, child(2, "cherry", 1), child(3, "beta", 2),
                                                    child(4, "Banana", 5), child(5, "Beta", 1), child(6, "apple", 9)});
    document->beginEditingSession("Sort Children");
    DocumentLayout(*document).sortChildren({parent}, ChildSortOrder::title);
    EXPECT_EQ(children(1), (std::vector<std::int64_t>{6, 4, 5, 3, 2}));
    DocumentLayout(*document).sortChildren({stored(1)}, ChildSortOrder::creationTime);
    // Stable: 5 and 2 share a creation time and keep the order the title sort gave them.
    EXPECT_EQ(children(1), (std::vector<std::int64_t>{5, 2, 3, 4, 6}));
}

TEST_F(LayoutCommandTest, SortingComparesCanonicallyEquivalentTitlesAsEqual)
{
    Node parent = makeNode(1, std::nullopt, {2, 3, 4});
    auto child = [](std::int64_t uid, const char* title, double created) {
        Node n = makeNode(uid, 1);
        n.title = title;
        n.createdTimestamp = created;
        return n;
    };
    // "é" composed and decomposed are one title, ordered by creation time; by code point both follow "f".
    document->projectForLoading().graph.storeNodes(
        {parent, child(2, "f", 1), child(3, "e\xCC\x81", 3), child(4, "\xC3\xA9", 2)});
    document->beginEditingSession("Sort Children");
    DocumentLayout(*document).sortChildren({parent}, ChildSortOrder::title);
    EXPECT_EQ(children(1), (std::vector<std::int64_t>{2, 4, 3}));
}

TEST_F(LayoutCommandTest, ResolveCollisionsReadsTheSettingEveryCall)
{
    document->projectForLoading().graph.storeNodes(
        {makeNode(1, std::nullopt, {}, {0, 0}), makeNode(2, std::nullopt, {}, {10, 0})});
    document->beginEditingSession("Resolve Collisions");
    settings.defaults().set("isCollisionDetectionEnabled", false);
    DocumentLayout(*document).resolveCollisions();
    EXPECT_EQ(stored(1).center, (Point{0, 0}));
    EXPECT_EQ(stored(2).center, (Point{10, 0}));
    settings.defaults().set("isCollisionDetectionEnabled", true);
    DocumentLayout(*document).resolveCollisions();
    EXPECT_NE(stored(1).center, (Point{0, 0}));
    EXPECT_GT(std::abs(stored(1).center.x - stored(2).center.x) + std::abs(stored(1).center.y - stored(2).center.y),
              10.0);
}

TEST_F(LayoutCommandTest, LayingOutNodesGoneFromTheGraphBringsNothingBack)
{
    storePile();
    const Node gone = stored(3);
    const Node goneRoot = makeNode(50, std::nullopt, {51});
    document->beginEditingSession("Auto Layout");
    document->deleteNodes({gone}, false, false);
    DocumentLayout(*document).autolayoutWholeNodeTree(gone, false);
    DocumentLayout(*document).autoLayoutWholeNodeTrees({goneRoot}, true);
    DocumentLayout(*document).autolayoutPartialNodeTreeStartingAt(gone, true);
    EXPECT_FALSE(document->project().graph.contains(3));
    EXPECT_FALSE(document->project().graph.contains(50));
    EXPECT_EQ(children(1), (std::vector<std::int64_t>{2, 4}));
}

TEST_F(LayoutCommandTest, CommandsOutsideSessionWarnAndStillAct)
{
    storePile();
    document->projectForLoading().selectedNodeUIDs = {1};
    DocumentLayout(*document).autoLayoutGraph(false);
    EXPECT_FALSE(pileUntouched());
    DocumentLayout(*document).autolayoutSelectedNodes(false);
    DocumentLayout(*document).autolayoutPartialNodeTreeStartingAt(stored(2), false);
    DocumentLayout(*document).balanceAllNodes();
    DocumentLayout(*document).balanceSelectedNode();
    DocumentLayout(*document).sortChildren({stored(1)}, ChildSortOrder::title);
    DocumentLayout(*document).resolveCollisions();
    for (const char* name :
         {"autoLayoutGraph(forceLayout:)", "autoLayoutWholeNodeTrees(_:forceLayout:)",
          "autolayoutWholeNodeTree(_:forceLayout:)", "autolayoutSelectedNodes(forceLayout:)",
          "autolayoutPartialNodeTreeStartingAt(_:forceLayout:)", "balanceAllNodes()", "balanceSelectedNode()",
          "sortChildren(of:sortOrder:)", "resolveCollisions()", "updateNodes(nodes:operation:notify:)"})
        EXPECT_TRUE(logHas(log, name, outsideSessionWarning(name))) << name;
}

} // namespace
} // namespace velquine::testing
