// Inserted trees are made as creating their nodes one by one makes them: the same styles, palette colours,
// sizes, sides and child order, for every kind of base layout and however many siblings a node has. Trees of
// an outline are packed apart from one another and compactly around the point they are inserted at.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "document/DocumentClipboard.h"
#include "platform/Pasteboard.h"
#include "support/OutlineSamples.h"
#include "document/VQDocument.h"
#include "document/DocumentImport.h"
#include "layout/NodeSizing.h"

using namespace velquine;
using namespace velquine::testing;

namespace {

using Type = LayoutOptions::LayoutType;
using Direction = LayoutOptions::LayoutDirection;

constexpr int childCount = 9;
constexpr int grandchildCount = 4;

std::string childTitle(int i) { return "Child " + std::to_string(i); }
std::string grandchildTitle(int i) { return "Grandchild " + std::to_string(i); }

// What insertion decides of a node besides its final centre.
struct Made {
    NodeStyle style;
    NodeShape shape;
    Size size;
    HorizontalAffinity horizontal;
    VerticalAffinity vertical;
    std::vector<std::string> children;

    bool operator==(const Made&) const = default;
};

std::map<std::string, Made> madeByTitle(const Graph& graph)
{
    std::map<std::string, Made> made;
    for (const Node& node : graph.allNodes()) {
        std::vector<std::string> children;
        for (const Node& child : graph.nodes(node.childrenUIDs))
            children.push_back(child.title);
        made[node.title] = {node.style, node.shape, node.size, node.horizontalAffinity, node.verticalAffinity,
                            children};
    }
    return made;
}

// A root with childCount children, the first with grandchildCount children of its own, created one at a time
// in the order an insertion walks them.
std::map<std::string, Made> createdOneByOne(const LayoutOptions& options)
{
    VQDocument document;
    document.projectForLoading().baseLayoutOptions = options;
    document.beginEditingSession("Create");
    const Node root = document.createRootNode("Root", Point{0, 0}, false);
    for (int i = 0; i < childCount; ++i) {
        const auto child = document.createChildNode(*document.project().graph.node(root.uid), childTitle(i),
                                                    std::nullopt, false, false);
        for (int k = 0; i == 0 && k < grandchildCount; ++k)
            document.createChildNode(*document.project().graph.node(child->uid), grandchildTitle(k), std::nullopt,
                                     false, false);
    }
    document.commitEditingSession();
    return madeByTitle(document.project().graph);
}

std::map<std::string, Made> inserted(const LayoutOptions& options)
{
    std::string outline = "Root\n";
    for (int i = 0; i < childCount; ++i) {
        outline += "\t" + childTitle(i) + "\n";
        for (int k = 0; i == 0 && k < grandchildCount; ++k)
            outline += "\t\t" + grandchildTitle(k) + "\n";
    }
    VQDocument document;
    document.projectForLoading().baseLayoutOptions = options;
    DocumentImport(document).importOutlineText(outline);
    return madeByTitle(document.project().graph);
}

class InsertionPlacement : public DocumentTest {};

} // namespace

TEST_F(InsertionPlacement, InsertedTreesMatchNodesCreatedOneByOne)
{
    const std::vector<LayoutOptions> kinds{
        {Type::horizontal, Direction::balanced, LayoutOptions::BranchType::rounded, false},
        {Type::horizontal, Direction::ascending, LayoutOptions::BranchType::rounded, false},
        {Type::horizontal, Direction::descending, LayoutOptions::BranchType::angular, true},
        {Type::vertical, Direction::balanced, LayoutOptions::BranchType::rounded, false},
        {Type::vertical, Direction::ascending, LayoutOptions::BranchType::rounded, false},
        {Type::vertical, Direction::descending, LayoutOptions::BranchType::rounded, true},
    };
    for (std::size_t kind = 0; kind < kinds.size(); ++kind) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        const LayoutOptions& options = kinds[kind];
        const std::map<std::string, Made> expected = createdOneByOne(options);
        const std::map<std::string, Made> actual = inserted(options);
        ASSERT_EQ(actual.size(), std::size_t(1 + childCount + grandchildCount));
        for (const auto& [title, made] : expected) {
            SCOPED_TRACE(title);
            ASSERT_EQ(actual.count(title), 1u);
            EXPECT_EQ(actual.at(title), made);
        }
    }
}

TEST_F(InsertionPlacement, BalancedChildrenAlternateSidesAndTakePaletteColoursInOrder)
{
    const std::map<std::string, Made> made =
        inserted({Type::horizontal, Direction::balanced, LayoutOptions::BranchType::rounded, false});
    int left = 0;
    for (int i = 0; i < childCount; ++i)
        left += made.at(childTitle(i)).horizontal == HorizontalAffinity::left ? 1 : 0;
    EXPECT_EQ(left, childCount / 2);
    // Neighbouring main nodes take neighbouring palette entries.
    EXPECT_NE(made.at(childTitle(0)).style.borderColor, made.at(childTitle(1)).style.borderColor);
    // Sub nodes take their parent's border colour.
    EXPECT_EQ(made.at(grandchildTitle(2)).style.borderColor, made.at(childTitle(0)).style.borderColor);
}

TEST_F(InsertionPlacement, LargeOutlinesSizeEveryNodeToItsTitle)
{
    // Enough lines for their titles to be measured on worker threads; titles of every level, wrapping ones,
    // repeated ones and empty lines among them.
    std::string outline;
    for (int i = 0; i < 3000; ++i) {
        const std::string title = i % 11 == 0   ? "a long title that wraps at the widest a node's text may be " + std::to_string(i)
                                  : i % 13 == 0 ? "Same"
                                                : "Node " + std::to_string(i);
        outline += std::string(std::size_t(i % 4 == 0 ? 0 : i % 4), '\t') + title + "\n";
    }
    VQDocument document;
    DocumentImport(document).importOutlineText(outline);
    ASSERT_EQ(document.project().graph.count(), 3000u);
    for (const Node& node : document.project().graph.allNodes()) {
        SCOPED_TRACE(node.title);
        EXPECT_EQ(node.size, autosizeNode(node).size);
    }
}

TEST_F(InsertionPlacement, OutlinesOfManyTreesArePackedApartAndCompactAroundThePoint)
{
    const std::vector<LayoutOptions> kinds{
        {Type::horizontal, Direction::balanced, LayoutOptions::BranchType::rounded, false},
        {Type::horizontal, Direction::descending, LayoutOptions::BranchType::rounded, false},
        {Type::vertical, Direction::ascending, LayoutOptions::BranchType::rounded, false},
    };
    for (std::size_t kind = 0; kind < kinds.size(); ++kind) {
        for (const int count : {2, 4, 15, 200}) {
            SCOPED_TRACE("kind " + std::to_string(kind) + ", " + std::to_string(count) + " items");
            const std::vector<OutlineItem> items = outlineItems(count);
            // Opened from indented text, at the origin.
            VQDocument opened;
            opened.projectForLoading().baseLayoutOptions = kinds[kind];
            DocumentImport(opened).importOutlineText(indentedText(items));
            // Pasted as OPML into an empty map, at a point.
            VQDocument pasted;
            pasted.projectForLoading().baseLayoutOptions = kinds[kind];
            Pasteboard board;
            board.setString(opml(items), Pasteboard::stringType);
            const Point at{300, -200};
            pasted.beginEditingSession("Paste");
            ASSERT_TRUE(DocumentClipboard(pasted).pasteFromPasteBoard(at, true, board));
            pasted.commitEditingSession();

            for (const auto& [document, point] : {std::pair<VQDocument*, Point>{&opened, {0, 0}}, {&pasted, at}}) {
                const FramesByTree frames = framesByTree(document->project().graph);
                ASSERT_EQ(frames.size(), items.size());
                EXPECT_EQ(firstOverlap(frames), "");
                EXPECT_LE(areaOverTreeAreas(frames), 2.5);
                const Rect bounds = document->project().graph.boundingRect();
                EXPECT_NEAR(bounds.midX(), point.x, 1e-6);
                EXPECT_NEAR(bounds.midY(), point.y, 1e-6);
            }
        }
    }
}
