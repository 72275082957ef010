// Creating roots, children and parents: tree, styling, placement and who is told.

#include "DocumentTestSupport.h"

namespace velquine::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class CreateTest : public DocumentTest {
protected:
    Node stored(std::int64_t uid) const { return document->project().graph.node(uid).value(); }
    std::vector<std::int64_t> children(std::int64_t uid) const { return stored(uid).childrenUIDs; }
    void setBase(LayoutOptions::LayoutType type, LayoutOptions::LayoutDirection direction, bool manual = false)
    {
        document->projectForLoading().baseLayoutOptions.layoutType = type;
        document->projectForLoading().baseLayoutOptions.layoutDirection = direction;
        document->projectForLoading().baseLayoutOptions.isManual = manual;
    }
};

TEST_F(CreateTest, RootLandsStepsOf72BelowTakenCentresOnly)
{
    auto listener = listen();
    document->beginEditingSession("New Root Node");
    const Node first = document->createRootNode("A", {100, 100}, true);
    EXPECT_EQ(first.center, (Point{100, 100}));
    const Node second = document->createRootNode("B", {100, 100}, true);
    EXPECT_EQ(second.center, (Point{100, 172}));
    const Node third = document->createRootNode("C", {100, 100}, false);
    EXPECT_EQ(third.center, (Point{100, 244}));
    const Node near = document->createRootNode("D", {100.5, 100}, false);
    EXPECT_EQ(near.center, (Point{100.5, 100}));

    const ProjectStyle::Values& v = document->project().projectStyle.current;
    EXPECT_FALSE(first.parentUID.has_value());
    EXPECT_EQ(first.style, v.rootNodeStyle);
    EXPECT_EQ(first.shape, v.rootNodeShape);
    EXPECT_EQ(first.title, "A");
    EXPECT_EQ(document->project().graph.count(), 4u);
    EXPECT_THAT(deliver(), ElementsAre("begin", listEvent("add", {first.uid}),
                                       listEvent("add", {second.uid})));
    EXPECT_TRUE(listener->added[0].differs(first) == false);
}

TEST_F(CreateTest, ChildWithCentreGetsAffinitiesEqualCountingAsRightAndBelow)
{
    setBase(LayoutOptions::LayoutType::horizontal, LayoutOptions::LayoutDirection::balanced);
    document->beginEditingSession("New Child Node");
    const Node root = document->createRootNode("Root", {0, 0}, false);
    const auto left = document->createChildNode(root, "L", Point{-300, 0}, false, false);
    ASSERT_TRUE(left.has_value());
    EXPECT_EQ(left->horizontalAffinity, HorizontalAffinity::left);
    EXPECT_EQ(left->verticalAffinity, VerticalAffinity::below);
    EXPECT_EQ(left->center, (Point{-300, 0}));
    const auto above = document->createChildNode(stored(root.uid), "R", Point{300, -40}, false, false);
    EXPECT_EQ(above->horizontalAffinity, HorizontalAffinity::right);
    EXPECT_EQ(above->verticalAffinity, VerticalAffinity::above);
    EXPECT_EQ(above->parentUID, root.uid);
    EXPECT_EQ(above->style.font, document->project().projectStyle.current.mainNodeStyle.font);
    EXPECT_EQ(above->shape, document->project().projectStyle.current.mainNodeShape);
}

TEST_F(CreateTest, ChildWithoutCentreInAutomaticTreeIsLastWhereTheLayouterPutsIt)
{
    setBase(LayoutOptions::LayoutType::horizontal, LayoutOptions::LayoutDirection::ascending);
    auto listener = listen();
    document->beginEditingSession("New Child Node");
    const Node root = document->createRootNode("Root", {0, 0}, false);
    const auto a = document->createChildNode(root, "a", Point{300, 500}, false, false);
    const auto b = document->createChildNode(stored(root.uid), "b", std::nullopt, false, false);
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(children(root.uid), (std::vector<std::int64_t>{a->uid, b->uid}));
    // One generation gap (60 points) right of the parent's frame.
    const Node parent = stored(root.uid);
    EXPECT_DOUBLE_EQ(b->center.x, parent.center.x + parent.size.width / 2 + 60.0 + b->size.width / 2);
    EXPECT_EQ(b->horizontalAffinity, HorizontalAffinity::right);
    EXPECT_EQ(stored(b->uid).center, b->center);
    EXPECT_THAT(deliver(), ElementsAre("begin")); // notify off
}

TEST_F(CreateTest, ChildWithCentreIsOrderedAmongSiblingsByPosition)
{
    for (auto direction : {LayoutOptions::LayoutDirection::ascending, LayoutOptions::LayoutDirection::descending}) {
        document = std::make_unique<VQDocument>();
        setBase(LayoutOptions::LayoutType::vertical, direction);
        document->beginEditingSession("New Child Node");
        const Node root = document->createRootNode("Root", {0, 0}, false);
        const auto left = document->createChildNode(root, "left", Point{-200, 150}, false, false);
        const auto right = document->createChildNode(stored(root.uid), "right", Point{200, 150}, false, false);
        const auto middle = document->createChildNode(stored(root.uid), "middle", Point{0, 150}, false, false);
        const bool ascending = direction == LayoutOptions::LayoutDirection::ascending;
        const std::vector<std::int64_t> expected =
            ascending ? std::vector<std::int64_t>{left->uid, middle->uid, right->uid}
                      : std::vector<std::int64_t>{right->uid, middle->uid, left->uid};
        EXPECT_EQ(children(root.uid), expected);
        document->commitEditingSession();
    }
}

TEST_F(CreateTest, ManualTreeReordersWithoutCentreKeepsPositionsAndDropsDanglingUids)
{
    setBase(LayoutOptions::LayoutType::horizontal, LayoutOptions::LayoutDirection::ascending, true);
    document->beginEditingSession("New Child Node");
    const Node root = document->createRootNode("Root", {0, 0}, false);
    const auto low = document->createChildNode(root, "low", Point{300, 400}, false, false);
    Node parent = stored(root.uid);
    parent.childrenUIDs.push_back(9999); // names no node
    document->projectForLoading().graph.storeNodes({parent});
    const Point lowBefore = stored(low->uid).center;

    const auto placed = document->createChildNode(stored(root.uid), "new", std::nullopt, true, false);
    ASSERT_TRUE(placed.has_value());
    // The layouter places the new child near the parent, above the low one: it comes first.
    EXPECT_LT(placed->center.y, lowBefore.y);
    EXPECT_EQ(children(root.uid), (std::vector<std::int64_t>{placed->uid, low->uid}));
    EXPECT_EQ(stored(low->uid).center, lowBefore); // manual: the layout moved nothing
}

TEST_F(CreateTest, ChildOfParentNoLongerInGraphReturnsNothingAndChangesNothing)
{
    auto listener = listen();
    document->beginEditingSession("New Child Node");
    const Node root = document->createRootNode("Root", {0, 0}, false);
    document->deleteNodes({root}, false, false);
    const VQProject before = document->project();
    EXPECT_FALSE(document->createChildNode(root, "x", std::nullopt, true, true).has_value());
    EXPECT_FALSE(document->createChildNode(root, "x", Point{5, 5}, true, true).has_value());
    EXPECT_TRUE(sameProject(document->project(), before));
    EXPECT_THAT(deliver(), ElementsAre("begin"));
}

TEST_F(CreateTest, ChildOfAnOutdatedParentValueKeepsTheStoredParentFields)
{
    document->beginEditingSession("New Child Node");
    const Node root = document->createRootNode("Root", {0, 0}, false);
    Node renamed = stored(root.uid);
    renamed.title = "Renamed";
    renamed.note = "kept";
    document->updateNodes({renamed}, NodeUpdateOperation::title, false);
    const auto child = document->createChildNode(root, "c", Point{200, 0}, false, false); // old value passed
    ASSERT_TRUE(child.has_value());
    EXPECT_EQ(stored(root.uid).title, "Renamed");
    EXPECT_EQ(stored(root.uid).note, "kept");
    EXPECT_EQ(children(root.uid), (std::vector<std::int64_t>{child->uid}));
}

TEST_F(CreateTest, ChildNotifiesWithTheNodeAsReturned)
{
    auto listener = listen();
    document->beginEditingSession("New Child Node");
    const Node root = document->createRootNode("Root", {0, 0}, false);
    const auto child = document->createChildNode(root, "c", std::nullopt, true, true);
    document->commitEditingSession();
    EXPECT_THAT(deliver(), ElementsAre("begin", listEvent("add", {child->uid}), "commit"));
    ASSERT_EQ(listener->added.size(), 1u);
    EXPECT_FALSE(listener->added[0].differs(*child));
    EXPECT_FALSE(stored(child->uid).differs(*child));
}

TEST_F(CreateTest, ParentAboveRootBecomesNewRootAndOldRootMovesAsOnePiece)
{
    setBase(LayoutOptions::LayoutType::horizontal, LayoutOptions::LayoutDirection::ascending);
    auto listener = listen();
    document->beginEditingSession("Insert Parent Node");
    const Node root = document->createRootNode("Root", {0, 0}, false);
    const auto kid = document->createChildNode(root, "kid", std::nullopt, true, false);
    const Node oldRoot = stored(root.uid);
    const Point offsetBefore = stored(kid->uid).center - oldRoot.center;

    const auto top = document->createParentNode(oldRoot, "Top");
    ASSERT_TRUE(top.has_value());
    const ProjectStyle::Values& v = document->project().projectStyle.current;
    EXPECT_FALSE(top->parentUID.has_value());
    EXPECT_EQ(top->childrenUIDs, (std::vector<std::int64_t>{root.uid}));
    EXPECT_EQ(top->style.font, v.rootNodeStyle.font);
    EXPECT_EQ(stored(root.uid).parentUID, top->uid);
    EXPECT_EQ(stored(root.uid).shape, v.mainNodeShape);
    EXPECT_EQ(stored(root.uid).style.font, v.mainNodeStyle.font);
    // The old root now sits right of the new one, its child still the same offset away.
    EXPECT_GT(stored(root.uid).center.x, top->center.x);
    EXPECT_EQ(stored(kid->uid).center - stored(root.uid).center, offsetBefore);
    EXPECT_THAT(deliver(), ElementsAre("begin", listEvent("add", {top->uid})));
}

TEST_F(CreateTest, ParentAboveMiddleNodeTakesItsIndexAndLeavesItsStyle)
{
    document->beginEditingSession("Insert Parent Node");
    const Node root = document->createRootNode("Root", {0, 0}, false);
    const auto a = document->createChildNode(root, "a", std::nullopt, true, false);
    const auto b = document->createChildNode(stored(root.uid), "b", std::nullopt, true, false);
    const auto c = document->createChildNode(stored(root.uid), "c", std::nullopt, true, false);
    const Node middle = stored(b->uid);

    const auto inserted = document->createParentNode(middle, "between");
    ASSERT_TRUE(inserted.has_value());
    EXPECT_EQ(children(root.uid), (std::vector<std::int64_t>{a->uid, inserted->uid, c->uid}));
    EXPECT_EQ(inserted->childrenUIDs, (std::vector<std::int64_t>{b->uid}));
    EXPECT_EQ(inserted->parentUID, root.uid);
    EXPECT_EQ(stored(b->uid).parentUID, inserted->uid);
    EXPECT_EQ(stored(b->uid).style, middle.style);
    EXPECT_EQ(stored(b->uid).shape, middle.shape);
}

TEST_F(CreateTest, ParentOfNodeOrParentNoLongerInGraphReturnsNothing)
{
    auto listener = listen();
    document->beginEditingSession("Insert Parent Node");
    const Node root = document->createRootNode("Root", {0, 0}, false);
    Node stray = makeNode(5000, 4999); // its parent is not stored
    document->projectForLoading().graph.storeNodes({stray});
    const Node gone = makeNode(6000, std::nullopt); // not stored at all
    const VQProject before = document->project();
    EXPECT_FALSE(document->createParentNode(stray, "p").has_value());
    EXPECT_FALSE(document->createParentNode(gone, "p").has_value());
    EXPECT_TRUE(sameProject(document->project(), before));
    EXPECT_THAT(deliver(), ElementsAre("begin"));
    (void)root;
}

TEST_F(CreateTest, CreatingOutsideSessionWarnsAndStillCreates)
{
    const Node root = document->createRootNode("Root", {0, 0}, false);
    const auto child = document->createChildNode(root, "c", std::nullopt, false, false);
    const auto parent = document->createParentNode(root, "p");
    EXPECT_TRUE(child.has_value());
    EXPECT_TRUE(parent.has_value());
    EXPECT_EQ(document->project().graph.count(), 3u);
    for (const char* name : {"createRootNode(title:center:notify:)",
                             "createChildNode(parent:title:center:autolayoutTree:notify:)",
                             "createParentNode(for:title:)"})
        EXPECT_TRUE(logHas(log, name, outsideSessionWarning(name))) << name;
}

} // namespace
} // namespace velquine::testing
