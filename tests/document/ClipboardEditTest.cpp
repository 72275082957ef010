// Cut, duplicate, the style clipboard of a document, and the insertion of detached node trees.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "support/OutlineSamples.h"
#include "document/DocumentInsertion.h"
#include "document/VQDocument.h"
#include "document/DocumentClipboard.h"
#include "model/graph/NodeUID.h"
#include "platform/Pasteboard.h"

using namespace velquine;
using namespace velquine::testing;

namespace {

class ClipboardEdit : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        settings.defaults().set("isCollisionDetectionEnabled", false);
        settings.defaults().set("copyRichTextToPasteboard", false);
    }

    // R(1) { A(2) { A1(3), A2(4) }, B(5) }.
    void fill()
    {
        Node r = makeNode(1, std::nullopt, {2, 5}, {0, 0});
        Node a = makeNode(2, 1, {3, 4}, {200, 300});
        a.size = {100, 40};
        a.style.fillColor = Color::orange();
        Node a1 = makeNode(3, 2, {}, {400, 280});
        Node a2 = makeNode(4, 2, {}, {400, 320});
        Node b = makeNode(5, 1, {}, {200, -300});
        document->projectForLoading().graph.storeNodes({r, a, a1, a2, b});
    }

    // A detached source node.
    static Node source(std::int64_t uid, std::optional<std::int64_t> parent, std::vector<std::int64_t> children,
                       std::string title)
    {
        Node node = makeNode(uid, parent, std::move(children));
        node.title = std::move(title);
        return node;
    }

    std::vector<std::string> titlesOf(const std::vector<Node>& nodes) const
    {
        std::vector<std::string> titles;
        for (const Node& node : nodes)
            titles.push_back(node.title);
        return titles;
    }
};

} // namespace

// ---- Cut ----

TEST_F(ClipboardEdit, CutIsACopyAndARemovalInOneUndoStep)
{
    fill();
    const VQProject before = document->project();
    Pasteboard board;
    document->beginEditingSession("Cut Nodes");
    // A node with one of its descendants: the subtree goes once.
    ASSERT_TRUE(DocumentClipboard(*document).cutNodesToPasteBoard(
        {*document->project().graph.node(2), *document->project().graph.node(4)}, board));
    document->commitEditingSession();

    EXPECT_EQ(document->project().graph.count(), 2u);
    EXPECT_FALSE(document->project().graph.contains(2));
    EXPECT_FALSE(document->project().graph.contains(3));
    EXPECT_FALSE(document->project().graph.contains(4));
    EXPECT_EQ(document->project().graph.node(1)->childrenUIDs, std::vector<std::int64_t>{5});

    const std::vector<Node> onBoard = Node::decodePropertyList(*board.data("io.kelvarn.velquine.pb.nodes.plist"));
    EXPECT_EQ(uidsOf(onBoard), (std::vector<std::int64_t>{2, 3, 4}));
    EXPECT_FALSE(onBoard[0].parentUID);
    EXPECT_EQ(board.string(Pasteboard::stringType), "n2\n\tn3\n\tn4");

    ASSERT_TRUE(document->undoManager()->canUndo());
    EXPECT_EQ(document->undoManager()->undoActionName(), "Cut Nodes");
    ASSERT_TRUE(document->undoManager()->undo());
    EXPECT_TRUE(sameProject(document->project(), before));
    EXPECT_FALSE(document->undoManager()->canUndo());

    // Pasting it back: the subtree under fresh identifiers at the paste point.
    ASSERT_TRUE(DocumentClipboard(*document).cutNodesToPasteBoard({*document->project().graph.node(2)}, board));
    document->beginEditingSession("Paste");
    const auto pasted = DocumentClipboard(*document).pasteFromPasteBoard({-100, -100}, false, board);
    document->commitEditingSession();
    ASSERT_TRUE(pasted);
    EXPECT_EQ(titlesOf(*pasted), (std::vector<std::string>{"n2", "n3", "n4"}));
    EXPECT_EQ((*pasted)[0].center, (Point{-100, -100}));
    EXPECT_GT((*pasted)[0].uid, 5);
}

TEST_F(ClipboardEdit, CutOfNothingRemovesNothing)
{
    fill();
    Pasteboard board;
    board.setString("kept", Pasteboard::stringType);
    document->beginEditingSession("Cut Nodes");
    EXPECT_FALSE(DocumentClipboard(*document).cutNodesToPasteBoard({}, board));
    document->cancelEditingSession();
    EXPECT_EQ(document->project().graph.count(), 5u);
    EXPECT_EQ(board.string(Pasteboard::stringType), "kept");

    // Outside a session: the warning, and the cut still happens.
    EXPECT_TRUE(DocumentClipboard(*document).cutNodesToPasteBoard({*document->project().graph.node(5)}, board));
    EXPECT_TRUE(logHas(log, "cutNodesToPasteBoard(nodes:)", outsideSessionWarning("cutNodesToPasteBoard(nodes:)")));
    EXPECT_FALSE(document->project().graph.contains(5));
}

// ---- Duplicate ----

TEST_F(ClipboardEdit, DuplicatePlacesTheCopyBelowAndSelectsIt)
{
    fill();
    Pasteboard general;
    general.setString("on the general board", Pasteboard::stringType);
    Pasteboard privateBoard;
    document->projectForLoading().selectedNodeUIDs = {2};
    const std::int64_t counter = nodeUIDCounter();
    auto listener = listen();

    document->beginEditingSession("Duplicate Nodes");
    const auto copies = DocumentClipboard(*document).duplicateSelectedNodes(privateBoard);
    document->commitEditingSession();
    ASSERT_TRUE(copies);
    ASSERT_EQ(copies->size(), 3u);
    const Node& copy = (*copies)[0];
    EXPECT_EQ(copy.uid, counter + 1);
    // Half a node right and a node height plus 20 below (100 x 40 at (200, 300)).
    EXPECT_EQ(copy.center, (Point{250, 360}));
    EXPECT_EQ((*copies)[1].center, (Point{450, 340}));
    EXPECT_EQ(copy.style, document->project().graph.node(2)->style);
    EXPECT_EQ(copy.title, "n2");
    EXPECT_FALSE(copy.parentUID);
    EXPECT_EQ(document->project().selectedNodeUIDs, std::vector<std::int64_t>{copy.uid});
    EXPECT_EQ(document->project().graph.count(), 8u);
    const auto events = deliver();
    EXPECT_EQ(std::count(events.begin(), events.end(), "selection"), 1);
    EXPECT_EQ(document->undoManager()->undoActionName(), "Duplicate Nodes");

    // The copy went through the private board; the general one still pastes what it held.
    EXPECT_TRUE(privateBoard.availableType({"io.kelvarn.velquine.pb.nodes.plist"}));
    document->projectForLoading().selectedNodeUIDs.clear();
    document->beginEditingSession("Paste");
    const auto pasted = DocumentClipboard(*document).pasteFromPasteBoard({0, 0}, false, general);
    document->commitEditingSession();
    ASSERT_TRUE(pasted);
    EXPECT_EQ(titlesOf(*pasted), std::vector<std::string>{"on the general board"});
}

TEST_F(ClipboardEdit, DuplicateKeepsStylesThroughTheNamedBoard)
{
    fill();
    document->projectForLoading().selectedNodeUIDs = {5, 77};
    document->beginEditingSession("Duplicate Nodes");
    const auto copies = DocumentClipboard(*document).duplicateSelectedNodes();
    document->commitEditingSession();
    ASSERT_TRUE(copies);
    ASSERT_EQ(copies->size(), 1u);
    EXPECT_EQ((*copies)[0].style, document->project().graph.node(5)->style);
    // The named board holds the copied node, marked as this document's.
    Pasteboard& named = Pasteboard::withName("io.kelvarn.velquine.nodeDuplicatorBoard");
    EXPECT_EQ(named.string("io.kelvarn.velquine.sourceDocument"), document->uniqueHandle());

    // Nothing selected: nothing to duplicate.
    document->projectForLoading().selectedNodeUIDs = {77};
    document->beginEditingSession("Duplicate Nodes");
    EXPECT_FALSE(DocumentClipboard(*document).duplicateSelectedNodes());
    document->cancelEditingSession();
    EXPECT_EQ(document->project().graph.count(), 6u);
}

// ---- Styles and shapes ----

TEST_F(ClipboardEdit, NodeStyleAndShapeTravelBetweenDocuments)
{
    fill();
    const Node a = *document->project().graph.node(2);
    Pasteboard board;
    board.setString("earlier", Pasteboard::stringType);
    const VQProject before = document->project();
    ASSERT_TRUE(DocumentClipboard(*document).copyNodeStyleToPasteBoard(a.style, NodeShape::ellipse, board));
    EXPECT_EQ(board.types(), (std::vector<std::string>{"io.kelvarn.velquine.pb.node_style",
                                                       "io.kelvarn.velquine.pb.node_shape"}));
    // Copying changes nothing and records nothing.
    EXPECT_TRUE(sameProject(document->project(), before));
    EXPECT_FALSE(document->undoManager()->canUndo());

    VQDocument other;
    EXPECT_EQ(DocumentClipboard(other).getNodeStyleFromPasteBoard(board), a.style);
    EXPECT_EQ(DocumentClipboard(other).getNodeShapeFromPasteBoard(board), NodeShape::ellipse);
    EXPECT_EQ(DocumentClipboard(*document).getNodeShapeFromPasteBoard(board), NodeShape::ellipse);

    Pasteboard text;
    text.setString("text only", Pasteboard::stringType);
    EXPECT_FALSE(DocumentClipboard(other).getNodeStyleFromPasteBoard(text));
    EXPECT_FALSE(DocumentClipboard(other).getNodeShapeFromPasteBoard(text));
    EXPECT_TRUE(log.lines().empty());
}

// ---- Inserting node trees ----

TEST_F(ClipboardEdit, InsertingNothingCreatesNothing)
{
    EXPECT_TRUE(DocumentInsertion(*document).insertNodes({}, {10, 10}).empty());
    EXPECT_TRUE(document->project().graph.isEmpty());
}

TEST_F(ClipboardEdit, InsertionKeepsTitlesAndNotesAndFollowsTheListOrder)
{
    // Root 100 lists its children as 103, 102, 999 (absent); the list holds 102 before 103.
    Node root = source(100, std::nullopt, {103, 102, 999}, "Root");
    root.note = "root note";
    root.url = "https://example.org";
    root.style.fillColor = Color::magenta();
    root.size = {500, 500};
    const std::vector<Node> input{root, source(102, 100, {}, "Second in list"), source(103, 100, {}, "Third in list")};

    document->beginEditingSession("Import");
    const auto inserted = DocumentInsertion(*document).insertNodes(input, {0, 0});
    document->commitEditingSession();
    ASSERT_EQ(inserted.size(), 3u);
    EXPECT_EQ(document->project().graph.count(), 3u);
    const auto top = std::find_if(inserted.begin(), inserted.end(), [](const Node& n) { return !n.parentUID; });
    ASSERT_NE(top, inserted.end());
    EXPECT_EQ(top->title, "Root");
    EXPECT_EQ(top->note, "root note");
    EXPECT_EQ(top->url, "");
    EXPECT_NE(top->size, (Size{500, 500}));
    EXPECT_EQ(top->style, document->project().styledNode(*top).style);
    EXPECT_NE(top->uid, 100);
    EXPECT_EQ(titlesOf(document->project().graph.nodes(top->childrenUIDs)),
              (std::vector<std::string>{"Second in list", "Third in list"}));
}

TEST_F(ClipboardEdit, InsertionOfALoopingListEnds)
{
    // A lists B, B lists A and itself: each source node is created once.
    const std::vector<Node> input{source(1, std::nullopt, {2}, "A"), source(2, 1, {1, 2}, "B")};
    document->beginEditingSession("Import");
    const auto inserted = DocumentInsertion(*document).insertNodes(input, {0, 0});
    document->commitEditingSession();
    EXPECT_EQ(inserted.size(), 2u);
    EXPECT_EQ(document->project().graph.count(), 2u);

    // The same through one tree, and a source listed twice as a root.
    VQDocument other;
    other.beginEditingSession("Import");
    const auto tree = DocumentInsertion(other).insertNodeTree(input[0], std::nullopt, input);
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->title, "A");
    EXPECT_EQ(other.project().graph.count(), 2u);
    const auto twice = DocumentInsertion(other).insertNodes(
        {source(7, std::nullopt, {}, "Once"), source(7, std::nullopt, {}, "Once")}, {0, 0});
    EXPECT_EQ(twice.size(), 1u);
    other.commitEditingSession();
    EXPECT_EQ(other.project().graph.count(), 3u);
}

TEST_F(ClipboardEdit, InsertedTreesArePackedInRowsCentredOnThePoint)
{
    // Five single-node trees of one height and different widths.
    std::vector<Node> input;
    const std::vector<std::string> titles{"a", "a much longer title", "mid title", "b", "the last one"};
    for (std::size_t i = 0; i < titles.size(); ++i)
        input.push_back(source(static_cast<std::int64_t>(i + 1), std::nullopt, {}, titles[i]));
    const Point at{1000, -500};
    document->beginEditingSession("Import");
    const auto inserted = DocumentInsertion(*document).insertNodes(input, at);
    document->commitEditingSession();
    ASSERT_EQ(inserted.size(), 5u);
    EXPECT_EQ(titlesOf(inserted), titles);

    const FramesByTree frames = framesByTree(document->project().graph);
    EXPECT_EQ(firstOverlap(frames), "");
    EXPECT_LE(areaOverTreeAreas(frames), 2.5);
    // The packing is centred on the point, in more than one row, and read row by row in the list's order.
    const Rect bounds = document->project().graph.boundingRect();
    EXPECT_DOUBLE_EQ(bounds.midX(), at.x);
    EXPECT_DOUBLE_EQ(bounds.midY(), at.y);
    EXPECT_LT(inserted.front().center.y, inserted.back().center.y);
    for (std::size_t k = 1; k < inserted.size(); ++k) {
        const Node& before = inserted[k - 1];
        const Node& node = inserted[k];
        EXPECT_TRUE(node.center.y > before.center.y || (node.center.y == before.center.y && node.center.x > before.center.x))
            << k;
    }
}

TEST_F(ClipboardEdit, FourEqualTreesMakeTwoRowsOfTwo)
{
    std::vector<Node> four;
    for (int i = 1; i <= 4; ++i)
        four.push_back(source(i, std::nullopt, {}, "same"));
    document->beginEditingSession("Import");
    const auto inserted = DocumentInsertion(*document).insertNodes(four, {0, 0});
    document->commitEditingSession();
    ASSERT_EQ(inserted.size(), 4u);
    EXPECT_EQ(inserted[0].center.y, inserted[1].center.y);
    EXPECT_EQ(inserted[2].center.y, inserted[3].center.y);
    EXPECT_LT(inserted[0].center.y, inserted[2].center.y);
    EXPECT_EQ(inserted[0].center.x, inserted[2].center.x);
    EXPECT_EQ(inserted[1].center.x, inserted[3].center.x);
    EXPECT_LT(inserted[0].center.x, inserted[1].center.x);
    EXPECT_DOUBLE_EQ(inserted[0].center.x, -inserted[1].center.x);
    EXPECT_DOUBLE_EQ(inserted[0].center.y, -inserted[2].center.y);
}

TEST_F(ClipboardEdit, ManualVerticalBaseOptionsLayOutHorizontally)
{
    document->projectForLoading().baseLayoutOptions.layoutType = LayoutOptions::LayoutType::vertical;
    document->projectForLoading().baseLayoutOptions.layoutDirection = LayoutOptions::LayoutDirection::ascending;
    document->projectForLoading().baseLayoutOptions.isManual = true;
    const std::vector<Node> input{source(1, std::nullopt, {2}, "Root"), source(2, 1, {}, "Child")};
    document->beginEditingSession("Import");
    const auto inserted = DocumentInsertion(*document).insertNodes(input, {0, 0});
    document->commitEditingSession();
    const auto root = document->project().graph.node(inserted[0].uid);
    ASSERT_TRUE(root);
    const auto child = document->project().graph.node(root->childrenUIDs.at(0));
    ASSERT_TRUE(child);
    EXPECT_GT(child->center.x, root->center.x + root->size.width / 2);
    EXPECT_DOUBLE_EQ(child->center.y, root->center.y);

    // Not manual: a vertical tree grows downwards.
    VQDocument vertical;
    vertical.projectForLoading().baseLayoutOptions = document->project().baseLayoutOptions;
    vertical.projectForLoading().baseLayoutOptions.isManual = false;
    vertical.beginEditingSession("Import");
    const auto down = DocumentInsertion(vertical).insertNodes(input, {0, 0});
    vertical.commitEditingSession();
    const auto vRoot = vertical.project().graph.node(down[0].uid);
    const auto vChild = vertical.project().graph.node(vRoot->childrenUIDs.at(0));
    EXPECT_GT(vChild->center.y, vRoot->center.y + vRoot->size.height / 2);
    EXPECT_DOUBLE_EQ(vChild->center.x, vRoot->center.x);
}
