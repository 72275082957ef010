// Opening other files: plain text, Markdown, RTF, Word and OPML outlines become new, untitled maps; any
// other type an empty one.

#include "DocumentFilesTestSupport.h"
#include "DocumentTestSupport.h"

#include "document/DocumentClipboard.h"
#include "document/DocumentFactory.h"
#include "document/DocumentLayout.h"
#include "document/VQDocumentFiles.h"
#include "exchange/MarkdownExporter.h"
#include "exchange/OPMLExporter.h"
#include "exchange/PlainTextExporter.h"
#include "exchange/RichTextExporter.h"
#include "exchange/YAMLExporter.h"
#include "platform/Pasteboard.h"

using namespace velquine;
using namespace velquine::testing;

namespace {

using Forest = std::vector<std::string>;

} // namespace

class DocumentImports : public DocumentTest {
protected:
    // Listens for the test's whole length (the document holds its listeners weakly).
    void attach() { kept.push_back(listen()); }
    std::vector<std::shared_ptr<RecordingListener>> kept;

    // Reads the file into a fresh document as the framework does; the error's text, or nothing.
    std::optional<std::string> import(const std::string& path, const std::string& type)
    {
        document = std::make_unique<VQDocument>();
        document->setFileURL(path);
        document->setFileType(type);
        attach();
        std::optional<std::string> error;
        const bool read = document->readFromURL(path, type, &error);
        EXPECT_EQ(read, !error.has_value());
        return error;
    }
    // The document is untitled, of the own type, out of any session, and heard read then replaced last.
    void expectUntitledAfterRead()
    {
        EXPECT_FALSE(document->fileURL());
        EXPECT_EQ(document->fileType(), "io.kelvarn.velquine.mindmap");
        EXPECT_FALSE(document->isInEditingSession());
        const std::vector<std::string> events = deliver();
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events[events.size() - 2], "read");
        EXPECT_EQ(events.back(), "replace");
        EXPECT_FALSE(log.contains("not being in an editing session")) << "imports run as inside a session";
    }
};

TEST_F(DocumentImports, PlainTextByTypeName)
{
    EXPECT_FALSE(import(dataFile("outline.txt"), "public.text"));
    EXPECT_EQ(forestText(document->project().graph), (Forest{"Home", "Trip(Tickets,Bags(Socks))"}));
    expectUntitledAfterRead();
    EXPECT_FALSE(document->readFailed());
}

TEST_F(DocumentImports, MarkdownByExtensionIsReadAsAnOutlineWhoseHeadingsGiveTheirDepth)
{
    EXPECT_FALSE(import(dataFile("outline.md"), "com.example.unknown"));
    EXPECT_EQ(forestText(document->project().graph), (Forest{"Notes", "Yard(Garden(Seeds,Fence),Shed(Tools))"}));
    expectUntitledAfterRead();
}

TEST_F(DocumentImports, RtfText)
{
    EXPECT_FALSE(import(dataFile("outline.rtf"), "public.rtf"));
    EXPECT_EQ(forestText(document->project().graph), (Forest{"Home", "Trip(Tickets,Caf\xC3\xA9 stop)"}));
    expectUntitledAfterRead();
}

TEST_F(DocumentImports, WordDocument)
{
    EXPECT_FALSE(import(dataFile("outline.docx"), ""));
    EXPECT_EQ(forestText(document->project().graph), (Forest{"Bread", "Groceries", "Milk(Oat)"}));
    expectUntitledAfterRead();
}

TEST_F(DocumentImports, OpmlTakesItsTitle)
{
    EXPECT_FALSE(import(dataFile("outline.opml"), "public.data.xml.opml"));
    EXPECT_EQ(forestText(document->project().graph), (Forest{"Monday(Dentist)", "Tuesday"}));
    EXPECT_EQ(document->project().title, "Week plan");
    bool noted = false;
    for (const auto& [uid, node] : document->project().graph.nodeBin())
        if (node.title == "Dentist")
            noted = node.note.find("At nine.") != std::string::npos;
    EXPECT_TRUE(noted);
    expectUntitledAfterRead();
}

TEST_F(DocumentImports, OpmlWithoutATitleKeepsTheProjectTitle)
{
    document = std::make_unique<VQDocument>();
    document->projectForLoading().title = "Kept";
    std::optional<std::string> error;
    EXPECT_TRUE(document->readFromURL(dataFile("untitled.opml"), "public.data.xml.opml", &error));
    EXPECT_EQ(document->project().title, "Kept");
    EXPECT_EQ(forestText(document->project().graph), (Forest{"Only"}));
}

TEST_F(DocumentImports, AnyOtherTypeGivesAnEmptyUntitledDocument)
{
    Folder folder;
    writeBytes(folder / "photo.png", "\x89PNG not really");
    EXPECT_FALSE(import(folder / "photo.png", "public.png"));
    EXPECT_TRUE(document->project().graph.isEmpty());
    expectUntitledAfterRead();

    // An extension in capitals matches no row.
    writeBytes(folder / "NOTES.TXT", "One\n\tTwo\n");
    EXPECT_FALSE(import(folder / "NOTES.TXT", "com.example.unknown"));
    EXPECT_TRUE(document->project().graph.isEmpty());
}

TEST_F(DocumentImports, AnImportedMapSavesAsADocument)
{
    EXPECT_FALSE(import(dataFile("outline.txt"), "public.text"));
    const VQProject imported = document->project();
    Folder folder;
    std::optional<std::string> error;
    ASSERT_TRUE(document->writeToURL(folder / "Trip.radovudo", "io.kelvarn.velquine.mindmap", &error))
        << error.value_or("");
    auto reopened = DocumentFactory::makeDocumentForURL(folder / "Trip.radovudo", "io.kelvarn.velquine.mindmap");
    EXPECT_EQ(forestText(reopened->project().graph), (Forest{"Home", "Trip(Tickets,Bags(Socks))"}));
    // Everything but the affinities, which reading sets from the positions.
    ASSERT_EQ(reopened->project().graph.count(), imported.graph.count());
    for (const auto& [uid, node] : imported.graph.nodeBin()) {
        const Node* back = reopened->project().graph.findNode(uid);
        ASSERT_TRUE(back) << uid;
        EXPECT_EQ(back->center, node.center) << uid;
        EXPECT_EQ(back->size, node.size) << uid;
        EXPECT_EQ(back->childrenUIDs, node.childrenUIDs) << uid;
        EXPECT_TRUE(back->style == node.style) << uid;
    }
    EXPECT_EQ(reopened->project().projectStyle, imported.projectStyle);
}

TEST_F(DocumentImports, UnreadableFilesFailWithTheirErrors)
{
    Folder folder;
    writeBytes(folder / "latin1.txt", "Caf\xE9\n");
    const auto textError = import(folder / "latin1.txt", "public.text");
    ASSERT_TRUE(textError);
    EXPECT_NE(textError->find("UTF-8"), std::string::npos) << *textError;
    EXPECT_TRUE(document->project().graph.isEmpty());
    EXPECT_TRUE(document->readFailed());
    expectUntitledAfterRead();

    // An RTF file that cannot be read says why in the user's words; the log keeps the reader's line.
    writeBytes(folder / "broken.rtf", "plain words, no rtf");
    EXPECT_EQ(import(folder / "broken.rtf", "public.rtf"), "The file is not an RTF document.");
    EXPECT_TRUE(document->project().graph.isEmpty());
    writeBytes(folder / "nested.rtf", "{\\rtf1 " + std::string(1 << 20, '{'));
    EXPECT_EQ(import(folder / "nested.rtf", "public.rtf"), "The RTF document nests its groups too deeply.");
    EXPECT_TRUE(log.contains(" readRTFTextDocumentFormat(from:) - cant read attributed string"));

    writeBytes(folder / "broken.docx", "not a zip package");
    EXPECT_TRUE(import(folder / "broken.docx", "org.openxmlformats.wordprocessingml.document"));
    EXPECT_TRUE(document->project().graph.isEmpty());

    const auto opmlError = import(folder / "missing.opml", "public.data.xml.opml");
    ASSERT_TRUE(opmlError);
    EXPECT_NE(opmlError->find("can not open url: "), std::string::npos) << *opmlError;

    EXPECT_TRUE(import(folder / "missing.txt", "public.text"));
    EXPECT_TRUE(import(folder / "missing.md", ""));
}

TEST_F(DocumentImports, TextIsCheckedToBeUtf8AllThroughAndReadAsWritten)
{
    Folder folder;
    // Over a mebibyte, with a character across the first mebibyte's end and a byte order mark in front.
    std::string text = "\xEF\xBB\xBFRoot\n";
    const std::string filler = "\t" + std::string(4000, 'f') + "\n";
    while (text.size() < (std::size_t(1) << 20) - 1)
        text += filler;
    text.resize((std::size_t(1) << 20) - 1);
    text += "\n\t\xC3\xA9t\xC3\xA9\n";
    writeBytes(folder / "large.txt", text);
    EXPECT_FALSE(import(folder / "large.txt", "public.text"));
    std::vector<std::string> titles;
    for (const Node& node : document->project().graph.allNodes())
        titles.push_back(node.title);
    ASSERT_FALSE(titles.empty());
    EXPECT_EQ(titles.front(), "Root");
    EXPECT_EQ(titles.back(), "\xC3\xA9t\xC3\xA9");

    // The same without the mark reads the same; a byte that is no UTF-8 far into it fails the whole file.
    writeBytes(folder / "plain.txt", text.substr(3));
    EXPECT_FALSE(import(folder / "plain.txt", "public.text"));
    EXPECT_EQ(document->project().graph.allNodes().back().title, titles.back());
    writeBytes(folder / "late.txt", text.substr(3) + "\tCaf\xE9\n");
    const auto error = import(folder / "late.txt", "public.text");
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("UTF-8"), std::string::npos) << *error;
}

TEST_F(DocumentImports, ATreeTenThousandLevelsDeepImportsSavesCopiesAndExports)
{
    constexpr int depth = 10000;
    std::string opml = "<opml version=\"1.0\"><head><title>Deep</title></head><body>";
    for (int i = 0; i < depth; ++i)
        opml += "<outline text=\"Level " + std::to_string(i) + "\">";
    for (int i = 0; i < depth; ++i)
        opml += "</outline>";
    opml += "</body></opml>";
    Folder folder;
    writeBytes(folder / "deep.opml", opml);
    ASSERT_FALSE(import(folder / "deep.opml", "public.data.xml.opml"));
    ASSERT_EQ(document->project().graph.count(), std::size_t(depth));

    std::optional<std::string> error;
    ASSERT_TRUE(document->writeToURL(folder / "Deep.radovudo", "io.kelvarn.velquine.mindmap", &error))
        << error.value_or("");
    auto reopened = DocumentFactory::makeDocumentForURL(folder / "Deep.radovudo", "io.kelvarn.velquine.mindmap");
    const Graph& graph = reopened->project().graph;
    ASSERT_EQ(graph.count(), std::size_t(depth));
    const std::vector<Node> all = graph.allNodes();
    const Node root = graph.rootAncestor(all.back());
    EXPECT_EQ(graph.subtree(root).size(), std::size_t(depth));

    DocumentLayout(*reopened).autolayoutWholeNodeTree(root, true);
    Pasteboard& board = Pasteboard::withName("deep tree");
    ASSERT_TRUE(DocumentClipboard(*reopened).copyNodesToPasteBoard({root}, board));
    VQDocument target;
    const auto pasted = DocumentClipboard(target).pasteNodesFromPasteBoard({0, 0}, true, board);
    ASSERT_TRUE(pasted);
    EXPECT_EQ(target.project().graph.count(), std::size_t(depth));

    const std::optional<std::string> outline = OPMLExporter(graph, "Deep").exportData();
    ASSERT_TRUE(outline);
    EXPECT_NE(outline->find("Level 9999"), std::string::npos);
    const std::optional<std::string> text = PlainTextExporter(graph).exportData();
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("Level 9999"), std::string::npos);
    EXPECT_TRUE(MarkdownExporter(graph).exportData());
    EXPECT_TRUE(YAMLExporter(graph).exportData());
    EXPECT_TRUE(RichTextExporter(graph).rtfData());
}
