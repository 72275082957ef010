// What a copy of nodes puts on a pasteboard: the representations and their order, the node list, the
// source marker and the plain-text, OPML and rich-text forms.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "document/VQDocumentPasteboard.h"
#include "model/graph/Graph.h"
#include "model/graph/Node.h"
#include "platform/Log.h"
#include "platform/Pasteboard.h"
#include "platform/UserDefaults.h"

using namespace velquine;

namespace {

using PB = VQDocumentPasteboard;
using velquine::testing::RefusingPasteboard;

const std::string handle = "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0";

Node makeNode(std::int64_t uid, std::optional<std::int64_t> parent, std::vector<std::int64_t> children,
              std::string title, Point center = {0, 0})
{
    Node node(uid, parent, NodeStyle());
    node.childrenUIDs = std::move(children);
    node.title = std::move(title);
    node.center = center;
    node.size = {100, 40};
    return node;
}

// R(1) { A(2) { A1(4), A2(5) }, B(3) }, and a second root S(10) { S1(11) }.
Graph sampleGraph()
{
    Graph graph;
    graph.storeNodes({
        makeNode(1, std::nullopt, {2, 3}, "R"),
        makeNode(2, 1, {4, 5}, "A", {200, 0}),
        makeNode(3, 1, {}, "B", {200, 80}),
        makeNode(4, 2, {}, "A1", {400, -20}),
        makeNode(5, 2, {}, "A2", {400, 20}),
        makeNode(10, std::nullopt, {11}, "S & T", {0, 500}),
        makeNode(11, 10, {}, "S1", {200, 500}),
    });
    return graph;
}

std::vector<std::int64_t> uidsOf(const std::vector<Node>& nodes)
{
    std::vector<std::int64_t> uids;
    for (const Node& node : nodes)
        uids.push_back(node.uid);
    return uids;
}

struct CopyDefaults {
    explicit CopyDefaults(bool richText, bool colors = true)
    {
        UserDefaults::standard().set("copyRichTextToPasteboard", richText);
        UserDefaults::standard().set("copyNodeTitleColorsToPasteboard", colors);
    }
    ScopedStandardUserDefaults scoped;
};

} // namespace

TEST(ClipboardCopy, RepresentationsInOrder)
{
    const Graph graph = sampleGraph();
    {
        CopyDefaults defaults(true);
        Pasteboard board;
        board.setString("old", "some.other.type");
        ASSERT_TRUE(PB::writeNodes(graph, {*graph.node(2)}, handle, board, "copyNodesToPasteBoard(nodes:pasteBoard:)"));
        EXPECT_EQ(board.types(), (std::vector<std::string>{"io.kelvarn.velquine.pb.nodes.plist",
                                                           "io.kelvarn.velquine.sourceDocument", Pasteboard::rtfType,
                                                           Pasteboard::stringType, "org.opml.opml"}));
        EXPECT_EQ(board.string("io.kelvarn.velquine.sourceDocument"), handle);
    }
    {
        CopyDefaults defaults(false);
        Pasteboard board;
        ASSERT_TRUE(PB::writeNodes(graph, {*graph.node(2)}, handle, board, "copy"));
        EXPECT_EQ(board.types(),
                  (std::vector<std::string>{"io.kelvarn.velquine.pb.nodes.plist", "io.kelvarn.velquine.sourceDocument",
                                            Pasteboard::stringType, "org.opml.opml"}));
    }
}

TEST(ClipboardCopy, NothingToCopyLeavesThePasteboardAlone)
{
    CopyDefaults defaults(true);
    const Graph graph = sampleGraph();
    Pasteboard board;
    board.setString("kept", Pasteboard::stringType);
    LogCapture log;
    EXPECT_FALSE(PB::writeNodes(graph, {}, handle, board, "copy"));
    EXPECT_EQ(board.types(), std::vector<std::string>{Pasteboard::stringType});
    EXPECT_EQ(board.string(Pasteboard::stringType), "kept");
    EXPECT_TRUE(log.lines().empty());
}

TEST(ClipboardCopy, RefusedNodeListFailsWithTheBoardCleared)
{
    CopyDefaults defaults(true);
    const Graph graph = sampleGraph();
    RefusingPasteboard board("io.kelvarn.velquine.pb.nodes.plist");
    board.setString("old", Pasteboard::stringType);
    LogCapture log;
    EXPECT_FALSE(PB::writeNodes(graph, {*graph.node(2)}, handle, board, "copyNodesToPasteBoard(nodes:pasteBoard:)"));
    EXPECT_TRUE(board.types().empty());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("copyNodesToPasteBoard(nodes:pasteBoard:) - cant set pboard data"), std::string::npos);
}

TEST(ClipboardCopy, NodeListIsTheDetachedForest)
{
    CopyDefaults defaults(false);
    const Graph graph = sampleGraph();
    Pasteboard board;
    // A middle node with one of its children selected too, then a separate tree.
    ASSERT_TRUE(PB::writeNodes(graph, {*graph.node(2), *graph.node(5), *graph.node(10)}, handle, board, "copy"));
    const std::vector<Node> decoded = Node::decodePropertyList(*board.data("io.kelvarn.velquine.pb.nodes.plist"));
    EXPECT_EQ(uidsOf(decoded), (std::vector<std::int64_t>{2, 4, 5, 10, 11}));
    EXPECT_FALSE(decoded[0].parentUID);
    EXPECT_EQ(decoded[1].parentUID, std::optional<std::int64_t>(2));
    EXPECT_EQ(decoded[2].parentUID, std::optional<std::int64_t>(2));
    EXPECT_FALSE(decoded[3].parentUID);
    EXPECT_EQ(decoded[4].parentUID, std::optional<std::int64_t>(10));
    EXPECT_EQ(decoded[0].childrenUIDs, (std::vector<std::int64_t>{4, 5}));
    EXPECT_EQ(decoded[0].center, (Point{200, 0}));
    EXPECT_EQ(decoded[0].title, "A");
    // The document keeps the real parent.
    EXPECT_EQ(graph.node(2)->parentUID, std::optional<std::int64_t>(1));
}

TEST(ClipboardCopy, PlainTextForm)
{
    CopyDefaults defaults(false);
    const Graph graph = sampleGraph();
    Pasteboard board;
    ASSERT_TRUE(PB::writeNodes(graph, {*graph.node(2)}, handle, board, "copy"));
    EXPECT_EQ(board.string(Pasteboard::stringType), "A\n\tA1\n\tA2");

    // Two subtrees: two outlines one after the other, each root at level 0.
    ASSERT_TRUE(PB::writeNodes(graph, {*graph.node(1), *graph.node(10)}, handle, board, "copy"));
    EXPECT_EQ(board.string(Pasteboard::stringType), "R\n\tA\n\t\tA1\n\t\tA2\n\tB\nS & T\n\tS1");
}

TEST(ClipboardCopy, OpmlFormIsTitledAfterTheFirstRoot)
{
    CopyDefaults defaults(false);
    const Graph graph = sampleGraph();
    Pasteboard board;
    ASSERT_TRUE(PB::writeNodes(graph, {*graph.node(10), *graph.node(3)}, handle, board, "copy"));
    const std::optional<std::string> opml = board.string("org.opml.opml");
    ASSERT_TRUE(opml);
    EXPECT_EQ(*opml, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<opml version=\"1.0\">\n"
                     "<head>\n"
                     "<title>S &#38; T</title>\n"
                     "</head>\n"
                     "<body>\n"
                     "<outline text=\"S &#38; T\"><outline text=\"S1\"></outline>\n"
                     "</outline>\n"
                     "<outline text=\"B\"></outline>\n"
                     "</body>\n"
                     "</opml>");
}

TEST(ClipboardCopy, RichTextFormListsTheRootsWithTheirTitles)
{
    Graph graph = sampleGraph();
    Node a = *graph.node(2);
    a.style.textColor = Color::sRGB(1.0, 0.0, 0.0);
    graph.storeNodes({a});

    {
        CopyDefaults defaults(true, true);
        Pasteboard board;
        ASSERT_TRUE(PB::writeNodes(graph, {*graph.node(2), *graph.node(10)}, handle, board, "copy"));
        const std::optional<std::string> rtf = board.string(Pasteboard::rtfType);
        ASSERT_TRUE(rtf);
        EXPECT_EQ(rtf->rfind("{\\rtf1", 0), 0u) << *rtf;
        for (const char* title : {"A1", "A2", "S1"})
            EXPECT_NE(rtf->find(title), std::string::npos) << title;
        // The red title colour travels in the colour table.
        EXPECT_NE(rtf->find("\\red255\\green0\\blue0"), std::string::npos) << *rtf;
        EXPECT_EQ(*rtf, PB::richTextForm(graph, {*graph.node(2), *graph.node(10)}, true));
    }
    {
        CopyDefaults defaults(true, false);
        Pasteboard board;
        ASSERT_TRUE(PB::writeNodes(graph, {*graph.node(2)}, handle, board, "copy"));
        const std::optional<std::string> rtf = board.string(Pasteboard::rtfType);
        ASSERT_TRUE(rtf);
        EXPECT_EQ(rtf->find("\\red255\\green0\\blue0"), std::string::npos) << *rtf;
        EXPECT_NE(rtf->find("A2"), std::string::npos);
    }
}

TEST(ClipboardCopy, TrimmingLineBreaks)
{
    EXPECT_EQ(PB::trimmingNewlines("\n\r\nA\n\tB\n\n"), "A\n\tB");
    EXPECT_EQ(PB::trimmingNewlines("\xE2\x80\xA8" "x" "\xC2\x85\x0B\x0C"), "x");
    EXPECT_EQ(PB::trimmingNewlines("\t x \t"), "\t x \t");
    EXPECT_EQ(PB::trimmingNewlines("\n\n"), "");
    EXPECT_EQ(PB::trimmingNewlines(""), "");
}
