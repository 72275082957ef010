// Pasting into a document: copied nodes into the same and another document, links, images and text into
// the selection, images as new nodes, OPML and plain-text outlines as new trees.

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "document/VQDocument.h"
#include "document/DocumentClipboard.h"
#include "layout/NodeSizing.h"
#include "model/graph/NodeUID.h"
#include "platform/Pasteboard.h"
#include "support/OutlineSamples.h"

using namespace velquine;
using namespace velquine::testing;

namespace {

class ClipboardPaste : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        // Exact placement: nothing pushes the pasted nodes apart.
        settings.defaults().set("isCollisionDetectionEnabled", false);
        settings.defaults().set("copyRichTextToPasteboard", true);
        settings.defaults().set("copyNodeTitleColorsToPasteboard", true);
    }

    // R(1) { A(2) { A1(3), A2(4) } } with A2 50 points right of A, and a lone root L(9).
    void fill(VQDocument& doc)
    {
        Node r = makeNode(1, std::nullopt, {2}, {0, 0});
        Node a = makeNode(2, 1, {3, 4}, {300, 100});
        Node a1 = makeNode(3, 2, {}, {300, 200});
        Node a2 = makeNode(4, 2, {}, {350, 100});
        Node l = makeNode(9, std::nullopt, {}, {-500, -500});
        a.style.fillColor = Color::red();
        a.shape = NodeShape::cloud;
        a.note = "a note";
        a.url = "https://example.org/a";
        doc.projectForLoading().graph.storeNodes({r, a, a1, a2, l});
    }

    std::optional<std::vector<Node>> paste(VQDocument& doc, Pasteboard& board, Point at, bool keep = false,
                                           const std::string& label = "Paste")
    {
        doc.beginEditingSession(label);
        auto result = DocumentClipboard(doc).pasteFromPasteBoard(at, keep, board);
        if (result)
            doc.commitEditingSession();
        else
            doc.cancelEditingSession();
        return result;
    }

    static Bytes pngData(int width, int height)
    {
        QImage image(width, height, QImage::Format_ARGB32);
        image.fill(Qt::blue);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return Bytes(bytes.begin(), bytes.end());
    }
};

} // namespace

// ---- Copied nodes ----

TEST_F(ClipboardPaste, IntoTheSameDocumentUnderFreshIdentifiers)
{
    fill(*document);
    Pasteboard board;
    ASSERT_TRUE(DocumentClipboard(*document).copyNodesToPasteBoard({*document->project().graph.node(2)}, board));
    const std::int64_t counter = nodeUIDCounter();
    auto listener = listen();

    const auto pasted = paste(*document, board, {1000, 2000});
    ASSERT_TRUE(pasted);
    ASSERT_EQ(pasted->size(), 3u);
    const Node& a = (*pasted)[0];
    EXPECT_EQ(uidsOf(*pasted), (std::vector<std::int64_t>{counter + 1, counter + 2, counter + 3}));
    EXPECT_FALSE(a.parentUID);
    EXPECT_EQ(a.childrenUIDs, (std::vector<std::int64_t>{counter + 2, counter + 3}));
    EXPECT_EQ((*pasted)[1].parentUID, std::optional<std::int64_t>(counter + 1));
    EXPECT_EQ((*pasted)[2].parentUID, std::optional<std::int64_t>(counter + 1));

    // The first copied root on the location, the others at their offsets.
    EXPECT_EQ(a.center, (Point{1000, 2000}));
    EXPECT_EQ((*pasted)[1].center, (Point{1000, 2100}));
    EXPECT_EQ((*pasted)[2].center, (Point{1050, 2000}));

    // Same document: everything else as copied, styles included.
    const Node original = *document->project().graph.node(2);
    EXPECT_EQ(a.style, original.style);
    EXPECT_EQ(a.shape, NodeShape::cloud);
    EXPECT_EQ(a.title, "n2");
    EXPECT_EQ(a.note, "a note");
    EXPECT_EQ(a.url, "https://example.org/a");
    EXPECT_EQ(a.size, original.size);

    EXPECT_EQ(document->project().graph.count(), 8u);
    EXPECT_EQ(document->project().selectedNodeUIDs, std::vector<std::int64_t>{counter + 1});
    const auto events = deliver();
    EXPECT_NE(std::find(events.begin(), events.end(), "selection"), events.end());
    // The source is untouched.
    EXPECT_EQ(document->project().graph.node(2)->childrenUIDs, (std::vector<std::int64_t>{3, 4}));

    // Again: another set of identifiers, links kept inside it.
    const auto again = paste(*document, board, {0, 0});
    ASSERT_TRUE(again);
    EXPECT_EQ(uidsOf(*again), (std::vector<std::int64_t>{counter + 4, counter + 5, counter + 6}));
    EXPECT_EQ((*again)[0].childrenUIDs, (std::vector<std::int64_t>{counter + 5, counter + 6}));
    EXPECT_EQ(document->project().graph.count(), 11u);
}

TEST_F(ClipboardPaste, IntoAnotherDocumentTakesItsStylesUnlessKept)
{
    fill(*document);
    Pasteboard board;
    ASSERT_TRUE(DocumentClipboard(*document).copyNodesToPasteBoard({*document->project().graph.node(2)}, board));

    VQDocument other;
    const auto pasted = paste(other, board, {10, 20});
    ASSERT_TRUE(pasted);
    ASSERT_EQ(pasted->size(), 3u);
    EXPECT_EQ(other.project().graph.count(), 3u);
    for (const Node& node : *pasted) {
        // Restyled for its level in the target document, and sized afresh.
        EXPECT_EQ(node.style, other.project().styledNode(node).style) << node.title;
        EXPECT_EQ(node.size, autosizeNode(node).size) << node.title;
    }
    EXPECT_NE((*pasted)[0].style, document->project().graph.node(2)->style);
    EXPECT_EQ((*pasted)[0].title, "n2");
    EXPECT_EQ((*pasted)[0].center, (Point{10, 20}));

    // With the original style kept: as copied.
    VQDocument keeping;
    const auto kept = paste(keeping, board, {10, 20}, true);
    ASSERT_TRUE(kept);
    EXPECT_EQ((*kept)[0].style, document->project().graph.node(2)->style);
    EXPECT_EQ((*kept)[0].size, document->project().graph.node(2)->size);
}

TEST_F(ClipboardPaste, ANodeListThatCannotBeReadFallsThroughToTheText)
{
    Pasteboard board;
    board.setData(Bytes{'x', 'y'}, "io.kelvarn.velquine.pb.nodes.plist");
    board.setString("Outline", Pasteboard::stringType);
    const auto pasted = paste(*document, board, {0, 0});
    ASSERT_TRUE(pasted);
    ASSERT_EQ(pasted->size(), 1u);
    EXPECT_EQ((*pasted)[0].title, "Outline");
    EXPECT_TRUE(logHas(log, "pasteNodesFromPasteBoard(pasteLocation:keepOriginalStyle:pasteBoard:)", ""));
}

TEST_F(ClipboardPaste, NothingPasteableFails)
{
    fill(*document);
    const VQProject before = document->project();
    Pasteboard board;
    EXPECT_FALSE(DocumentClipboard(*document).canPaste(board));
    EXPECT_FALSE(paste(*document, board, {0, 0}));

    // A node style alone is no map content.
    ASSERT_TRUE(DocumentClipboard(*document).copyNodeStyleToPasteBoard(NodeStyle(), NodeShape::rect, board));
    EXPECT_FALSE(DocumentClipboard(*document).canPaste(board));
    EXPECT_FALSE(paste(*document, board, {0, 0}));
    EXPECT_TRUE(sameProject(document->project(), before));
}

TEST_F(ClipboardPaste, OutsideASessionWarnsAndPastes)
{
    Pasteboard board;
    board.setString("Alone", Pasteboard::stringType);
    const auto pasted = DocumentClipboard(*document).pasteFromPasteBoard({0, 0}, false, board);
    ASSERT_TRUE(pasted);
    EXPECT_TRUE(logHas(log, "pasteFromPasteBoard(pasteLocation:keepOriginalStyle:)",
                       outsideSessionWarning("pasteFromPasteBoard(pasteLocation:keepOriginalStyle:)")));
}

// ---- Into the selection ----

TEST_F(ClipboardPaste, ALinkGoesIntoTheSelectionAndKeepsTheTitles)
{
    fill(*document);
    document->projectForLoading().selectedNodeUIDs = {3, 4, 77};
    Pasteboard board;
    board.setString("https://example.org/new", Pasteboard::urlType);
    board.setString("https://example.org/new", Pasteboard::stringType);

    const auto pasted = paste(*document, board, {0, 0});
    ASSERT_TRUE(pasted);
    EXPECT_EQ(uidsOf(*pasted), (std::vector<std::int64_t>{3, 4}));
    for (std::int64_t uid : {3, 4}) {
        const Node node = *document->project().graph.node(uid);
        EXPECT_EQ(node.url, "https://example.org/new");
        EXPECT_EQ(node.title, "n" + std::to_string(uid));
    }
    EXPECT_EQ(document->project().selectedNodeUIDs, std::vector<std::int64_t>{3});
    EXPECT_EQ(document->project().graph.count(), 5u);

    // A link alone does not fail.
    board.clearContents();
    board.setString("https://example.org/alone", Pasteboard::urlType);
    document->projectForLoading().selectedNodeUIDs = {9};
    const auto alone = paste(*document, board, {0, 0});
    ASSERT_TRUE(alone);
    EXPECT_EQ(uidsOf(*alone), std::vector<std::int64_t>{9});
    EXPECT_EQ(document->project().graph.node(9)->url, "https://example.org/alone");
    EXPECT_EQ(document->project().graph.node(9)->title, "n9");
    EXPECT_EQ(document->undoManager()->undoActionName(), "Paste");
}

TEST_F(ClipboardPaste, ALinkWithNothingSelectedPastesTheTextThatComesWithIt)
{
    fill(*document);
    Pasteboard board;
    board.setString("https://example.org/x", Pasteboard::urlType);
    board.setString("Link text", Pasteboard::stringType);
    const auto pasted = paste(*document, board, {0, 0});
    ASSERT_TRUE(pasted);
    ASSERT_EQ(pasted->size(), 1u);
    EXPECT_EQ((*pasted)[0].title, "Link text");
    EXPECT_EQ((*pasted)[0].url, "");
    // A link alone with nothing selected has nothing to go into.
    document->projectForLoading().selectedNodeUIDs.clear();
    board.clearContents();
    board.setString("https://example.org/x", Pasteboard::urlType);
    EXPECT_FALSE(paste(*document, board, {0, 0}));
}

TEST_F(ClipboardPaste, TextReplacesTheTitlesOfTheSelection)
{
    fill(*document);
    document->projectForLoading().selectedNodeUIDs = {4, 3};
    Pasteboard board;
    board.setString("New title", Pasteboard::stringType);
    const auto pasted = paste(*document, board, {0, 0});
    ASSERT_TRUE(pasted);
    EXPECT_EQ(uidsOf(*pasted), (std::vector<std::int64_t>{4, 3}));
    for (const Node& node : *pasted) {
        EXPECT_EQ(node.title, "New title");
        EXPECT_EQ(node.size, autosizeNode(node).size);
        EXPECT_GT(node.modifiedTimestamp, 0.0);
    }
    EXPECT_EQ(document->project().selectedNodeUIDs, std::vector<std::int64_t>{4});
    EXPECT_EQ(document->project().graph.count(), 5u);
}

TEST_F(ClipboardPaste, RichTextReplacesTheTitlesWithItsCharacters)
{
    fill(*document);
    document->projectForLoading().selectedNodeUIDs = {9};
    Pasteboard board;
    board.setString("{\\rtf1\\ansi {\\b Bold} words}", Pasteboard::rtfType);
    const auto pasted = paste(*document, board, {0, 0});
    ASSERT_TRUE(pasted);
    EXPECT_EQ((*pasted)[0].title, "Bold words");

    // Not RTF at all: the paste fails and the title stays.
    board.clearContents();
    board.setString("plain words", Pasteboard::rtfType);
    EXPECT_FALSE(paste(*document, board, {0, 0}));
    EXPECT_EQ(document->project().graph.node(9)->title, "Bold words");
}

TEST_F(ClipboardPaste, AnImageGoesIntoEachSelectedNode)
{
    fill(*document);
    document->projectForLoading().selectedNodeUIDs = {3, 4};
    Pasteboard board;
    board.setData(pngData(40, 20), Pasteboard::pngType);
    const auto pasted = paste(*document, board, {0, 0});
    ASSERT_TRUE(pasted);
    ASSERT_EQ(pasted->size(), 2u);
    // PNG data states its resolution, which sets the size in points.
    const Size points = Image::fromData(pngData(40, 20))->size();
    for (const Node& node : *pasted) {
        ASSERT_TRUE(node.image()) << node.title;
        EXPECT_EQ(node.image()->size(), points);
        EXPECT_EQ(node.size, autosizeNode(node).size);
    }
    EXPECT_EQ(document->project().graph.count(), 5u);

    // Bytes that are no image: the paste fails.
    board.clearContents();
    board.setData(Bytes{1, 2, 3}, Pasteboard::pngType);
    EXPECT_FALSE(paste(*document, board, {0, 0}));
}

TEST_F(ClipboardPaste, OutlinesAreNotPastedIntoASelection)
{
    fill(*document);
    document->projectForLoading().selectedNodeUIDs = {9};
    Pasteboard board;
    board.setString("<opml version=\"1.0\"><body><outline text=\"X\"/></body></opml>", "org.opml.opml");
    EXPECT_FALSE(paste(*document, board, {0, 0}));
    EXPECT_EQ(document->project().graph.count(), 5u);
}

// ---- New nodes ----

TEST_F(ClipboardPaste, AnImageAloneBecomesANodeTitledImage)
{
    Pasteboard board;
    board.setData(pngData(30, 60), Pasteboard::pngType);
    auto listener = listen();
    const auto pasted = paste(*document, board, {400, 300});
    ASSERT_TRUE(pasted);
    ASSERT_EQ(pasted->size(), 1u);
    const Node& node = (*pasted)[0];
    EXPECT_EQ(node.title, "Image");
    EXPECT_FALSE(node.parentUID);
    EXPECT_EQ(node.center, (Point{400, 300}));
    ASSERT_TRUE(node.image());
    EXPECT_EQ(node.image()->size(), Image::fromData(pngData(30, 60))->size());
    EXPECT_EQ(document->project().selectedNodeUIDs, std::vector<std::int64_t>{node.uid});
    const auto events = deliver();
    EXPECT_NE(std::find(events.begin(), events.end(), listEvent("add", {node.uid})), events.end());

    // Offered with a string, the image node takes it as its title.
    document->projectForLoading().selectedNodeUIDs.clear();
    Pasteboard titled;
    titled.setData(pngData(30, 60), Pasteboard::pngType);
    titled.setString("Holiday", Pasteboard::stringType);
    const auto named = paste(*document, titled, {0, 0});
    ASSERT_TRUE(named);
    EXPECT_EQ((*named)[0].title, "Holiday");
    ASSERT_TRUE((*named)[0].image());

    // A TIFF is read when there is no PNG.
    document->projectForLoading().selectedNodeUIDs.clear();
    Pasteboard tiff;
    tiff.setData(*Image::fromData(pngData(8, 8))->tiffData(), Pasteboard::tiffType);
    const auto fromTiff = paste(*document, tiff, {0, 0});
    ASSERT_TRUE(fromTiff);
    EXPECT_EQ((*fromTiff)[0].title, "Image");
    EXPECT_EQ((*fromTiff)[0].image()->size(), Image::fromData(pngData(8, 8))->size());
}

TEST_F(ClipboardPaste, PlainTextBecomesTreesAroundTheLocation)
{
    fill(*document);
    Pasteboard board;
    board.setString("One\n\tOne.1\n\tOne.2\nTwo\nThree\n", Pasteboard::stringType);
    auto listener = listen();
    const auto pasted = paste(*document, board, {0, 0});
    ASSERT_TRUE(pasted);
    ASSERT_EQ(pasted->size(), 5u);
    // The trees as stored: One { One.1, One.2 }, Two, Three, each created anew.
    std::vector<Node> roots;
    for (const Node& node : *pasted) {
        EXPECT_GT(node.uid, 9);
        if (!node.parentUID)
            roots.push_back(node);
    }
    ASSERT_EQ(roots.size(), 3u);
    const Node one = roots[0];
    EXPECT_EQ(one.title, "One");
    EXPECT_EQ(roots[1].title, "Two");
    EXPECT_EQ(roots[2].title, "Three");
    const std::vector<Node> children = document->project().graph.nodes(one.childrenUIDs);
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0].title, "One.1");
    EXPECT_EQ(children[1].title, "One.2");
    EXPECT_EQ((*pasted)[0].uid, one.uid);
    // Styled for this document's levels.
    EXPECT_EQ(one.style, document->project().styledNode(one).style);
    EXPECT_EQ(children[1].style, document->project().styledNode(children[1]).style);
    EXPECT_EQ(document->project().selectedNodeUIDs, std::vector<std::int64_t>{one.uid});
    EXPECT_EQ(document->project().graph.count(), 10u);
    // Three trees apart from one another; Two and Three, as high as each other, read in their order.
    FramesByTree frames = framesByTree(document->project().graph);
    std::erase_if(frames, [&](const auto& tree) {
        return std::none_of(roots.begin(), roots.end(), [&](const Node& root) { return root.uid == tree.first; });
    });
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(firstOverlap(frames), "");
    const Node two = *document->project().graph.node(roots[1].uid);
    const Node three = *document->project().graph.node(roots[2].uid);
    EXPECT_TRUE(two.center.y < three.center.y || (two.center.y == three.center.y && two.center.x < three.center.x));
    const auto events = deliver();
    EXPECT_NE(std::find(events.begin(), events.end(), "selection"), events.end());
}

TEST_F(ClipboardPaste, OpmlTextIsImportedAsOpml)
{
    const std::string opml = "<?xml version=\"1.0\"?>\n<opml version=\"2.0\"><head><title>T</title></head><body>"
                             "<outline text=\"Top\" _note=\"first\"><outline text=\"Inner\"/></outline>"
                             "</body></opml>";
    for (const std::string& type : {std::string("org.opml.opml"), Pasteboard::stringType}) {
        VQDocument doc;
        Pasteboard board;
        board.setString(opml, type);
        const auto pasted = paste(doc, board, {0, 0});
        ASSERT_TRUE(pasted) << type;
        ASSERT_EQ(pasted->size(), 2u) << type;
        const auto top = std::find_if(pasted->begin(), pasted->end(), [](const Node& n) { return !n.parentUID; });
        ASSERT_NE(top, pasted->end());
        EXPECT_EQ(top->title, "Top");
        // The importer's note line of the other attribute.
        EXPECT_NE(top->note.find("Note: first"), std::string::npos) << top->note;
        const std::vector<Node> inner = doc.project().graph.nodes(top->childrenUIDs);
        ASSERT_EQ(inner.size(), 1u);
        EXPECT_EQ(inner[0].title, "Inner");
        EXPECT_EQ(doc.project().graph.count(), 2u);
    }
}

TEST_F(ClipboardPaste, TextThatIsNotUtf8Fails)
{
    Pasteboard board;
    board.setData(Bytes{'a', 0xff, 'b'}, Pasteboard::stringType);
    EXPECT_FALSE(paste(*document, board, {0, 0}));
    EXPECT_TRUE(document->project().graph.isEmpty());
}
