#include "exchange/OPMLExporter.h"
#include "exchange/OPMLImporter.h"
#include "platform/Log.h"

#include "ExchangeTestSupport.h"
#include "MapTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

#include <QTemporaryDir>

using namespace velquine;
using namespace velquine::testing;

namespace {

class OPMLTest : public ::testing::Test {
protected:
    void TearDown() override { resetNodeUIDCounterForTesting(0); }
};

std::string opml(const Graph& graph, const std::string& title = "Doc")
{
    return *OPMLExporter(graph, title).exportData();
}

OPMLImporter imported(std::string_view data)
{
    OPMLImporter importer;
    importer.parseData(data);
    return importer;
}

} // namespace

TEST_F(OPMLTest, ExporterWritesTheWorkedExampleLineByLine)
{
    EXPECT_EQ(opml(planGraph()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<opml version=\"1.0\">\n"
              "<head>\n"
              "<title>Doc</title>\n"
              "</head>\n"
              "<body>\n"
              "<outline text=\"Plan\"><outline text=\"A\"><outline text=\"A1\"></outline>\n"
              "</outline>\n"
              "<outline text=\"B\"></outline>\n"
              "</outline>\n"
              "</body>\n"
              "</opml>\n");
    EXPECT_EQ(opml(Graph(), ""),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"1.0\">\n<head>\n<title></title>\n</head>\n<body>\n</body>\n</opml>\n");
}

TEST_F(OPMLTest, ExporterEscapesTitlesAndKeepsLineBreaksAsReferences)
{
    EXPECT_EQ(OPMLExporter::escaped("R&D <2>"), "R&#38;D &#60;2&#62;");
    EXPECT_EQ(OPMLExporter::escaped("\"quoted\" it's"), "&#34;quoted&#34; it&#39;s");
    EXPECT_EQ(OPMLExporter::escaped("line\nbreak\ttab\rcr"), "line&#10;break&#9;tab&#13;cr");
    EXPECT_EQ(OPMLExporter::escaped(std::string("nul\0 bell\x07 vt\x0b ff\x0c end", 23)), "nul bell vt ff end");
    EXPECT_EQ(OPMLExporter::escaped("\uFFFE\uFFFF kept é 日本 &\u0301"), " kept é 日本 &#38;\u0301");

    Graph graph;
    graph.updateNodes({makeNode(1, std::nullopt, "R&D <2>\nsecond line\tand tab \x01!", {2}), makeNode(2, 1, "&\u0301 \"x\"")});
    const std::string document = opml(graph, "Title & <more>");
    EXPECT_NE(document.find("<title>Title &#38; &#60;more&#62;</title>"), std::string::npos);
    EXPECT_NE(document.find("<outline text=\"R&#38;D &#60;2&#62;&#10;second line&#9;and tab &#33;\">"), std::string::npos) << document;

    // Read back, every title is whole again (the control character is gone).
    const OPMLImporter back = imported(document);
    ASSERT_EQ(back.graph.count(), 2u);
    EXPECT_EQ(back.graph.node(std::int64_t{0})->title, "R&D <2>\nsecond line\tand tab !");
    EXPECT_EQ(back.graph.node(std::int64_t{1})->title, "&\u0301 \"x\"");
    EXPECT_EQ(back.documentTitle, "Title & <more>");

    const auto lint = runTool("xmllint", {"--noout", "-"}, QByteArray::fromStdString(document));
    VQ_REQUIRE_TOOL(lint, "xmllint");
    EXPECT_EQ(lint->exitCode, 0) << lint->err;
}

TEST_F(OPMLTest, ExporterWritesDocumentsAnewAndCyclesOnce)
{
    OPMLExporter exporter(planGraph(), "Doc");
    exporter.writeDocument({makeNode(10, std::nullopt, "First")});
    exporter.writeDocument({makeNode(11, std::nullopt, "Second")});
    EXPECT_EQ(exporter.builder.toString().find("First"), std::string::npos);
    EXPECT_NE(exporter.builder.toString().find("<outline text=\"Second\"></outline>\n</body>"), std::string::npos);

    Graph cycle;
    cycle.updateNodes({makeNode(1, std::nullopt, "Root", {2}), makeNode(2, 1, "A", {1, 2}), makeNode(3, std::nullopt, "Other")});
    EXPECT_NE(opml(cycle).find("<body>\n<outline text=\"Root\"><outline text=\"A\"></outline>\n</outline>\n<outline text=\"Other\"></outline>\n</body>"),
              std::string::npos);
}

TEST_F(OPMLTest, DeepTreesAreWrittenAndReadBack)
{
    constexpr int depth = 100000;
    Graph deep;
    std::vector<Node> chain;
    for (int i = 1; i <= depth; ++i)
        chain.push_back(makeNode(i, i == 1 ? std::nullopt : std::optional<std::int64_t>(i - 1), "n",
                                 i < depth ? std::vector<std::int64_t>{i + 1} : std::vector<std::int64_t>{}));
    deep.updateNodes(chain);
    const std::string document = opml(deep);
    EXPECT_EQ(std::count(document.begin(), document.end(), '\n'), depth + 8);
    const OPMLImporter back = imported(document);
    EXPECT_EQ(back.graph.count(), static_cast<std::size_t>(depth));
    for (const auto& [uid, node] : back.graph.nodeBin()) {
        if (uid > 0) {
            ASSERT_EQ(node.parentUID, uid - 1);
        }
    }
}

TEST_F(OPMLTest, ImporterWorkedExampleWithVerbatimValues)
{
    const OPMLImporter importer = imported("<opml version=\"2.0\"><body><outline text=\"Trip\" type=\"link\" status=\"done\">"
                                           "<outline text=\"Day 1\"/></outline></body></opml>");
    ASSERT_EQ(importer.graph.count(), 2u);
    const Node trip = *importer.graph.node(std::int64_t{0});
    const Node day = *importer.graph.node(std::int64_t{1});
    EXPECT_EQ(trip.title, "Trip");
    EXPECT_EQ(trip.childrenUIDs, std::vector<std::int64_t>{1});
    EXPECT_EQ(trip.note, "Type: link\nStatus: done\n");
    EXPECT_EQ(trip.parentUID, std::nullopt);
    EXPECT_EQ(day.title, "Day 1");
    EXPECT_EQ(day.parentUID, 0);
    EXPECT_EQ(day.note, "");
    EXPECT_EQ(trip.style, PlainTextImporter::importStyle());
    EXPECT_EQ(importer.nodeID, 2);
    EXPECT_TRUE(importer.parentStack.empty());
    EXPECT_GE(nodeUIDCounter(), 2);
}

TEST_F(OPMLTest, ImporterNamesValuesAndEdgeCases)
{
    const OPMLImporter importer = imported(
        "<opml><body>"
        "<OUTLINE text=\"upper\" TEXT=\"other text\" xmlUrl=\"https://rss.example.org/Feed/mainFeed\" _note=\"Keep THIS as is\" html_url=\"x\"/>"
        "<Outline><outline text=\"child of untitled\"></outline></Outline>"
        "<outline text=\"last\"/>"
        "</body></opml></outline></outline>");
    ASSERT_EQ(importer.graph.count(), 4u);
    const Node upper = *importer.graph.node(std::int64_t{0});
    EXPECT_EQ(upper.title, "upper");
    EXPECT_EQ(upper.note, "Text: other text\nXmlurl: https://rss.example.org/Feed/mainFeed\n Note: Keep THIS as is\nHtml Url: x\n");
    const Node untitled = *importer.graph.node(std::int64_t{1});
    EXPECT_EQ(untitled.title, "");
    EXPECT_EQ(untitled.childrenUIDs, std::vector<std::int64_t>{2});
    EXPECT_EQ(importer.graph.node(std::int64_t{2})->parentUID, 1);
    EXPECT_EQ(importer.graph.node(std::int64_t{3})->parentUID, std::nullopt);

    // Read into a list instead: the same nodes in document order, and no graph.
    std::vector<Node> listed;
    OPMLImporter intoList;
    intoList.parseData("<opml><body><outline text=\"a\"><outline text=\"b\"/></outline><outline text=\"c\"/></body></opml>",
                       &listed);
    EXPECT_TRUE(intoList.graph.isEmpty());
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0].title, "a");
    EXPECT_EQ(listed[0].childrenUIDs, std::vector<std::int64_t>{1});
    EXPECT_EQ(listed[1].parentUID, 0);
    EXPECT_EQ(listed[2].title, "c");
    EXPECT_EQ(listed[2].uid, 2);

    EXPECT_EQ(OPMLImporter::capitalized("xmlUrl"), "Xmlurl");
    EXPECT_EQ(OPMLImporter::capitalized("_note"), "_Note");
    EXPECT_EQ(OPMLImporter::capitalized("don't stop-me now"), "Don'T Stop-Me Now");
    EXPECT_EQ(OPMLImporter::capitalized("éCOLE ßig"), "École ßig");
}

TEST_F(OPMLTest, ImporterKeepsWhatItReadFromDamagedDocuments)
{
    const OPMLImporter importer = imported("<opml><body><outline text=\"One\">\n<outline text=\"Two\"><outline text=\"Broken & here\">");
    ASSERT_EQ(importer.graph.count(), 2u);
    EXPECT_EQ(importer.graph.node(std::int64_t{0})->childrenUIDs, std::vector<std::int64_t>{1});
    // Where the reading broke off (counted from 1: at the bare "&" of the third outline), in the XML reader's
    // words.
    ASSERT_TRUE(importer.damage);
    EXPECT_EQ(importer.damage->line, 2);
    EXPECT_GE(importer.damage->column, 43);
    EXPECT_LE(importer.damage->column, 46);
    EXPECT_FALSE(importer.damage->reason.empty());
    EXPECT_EQ(imported("").graph.count(), 0u);
    EXPECT_EQ(imported("not xml").graph.count(), 0u);
    EXPECT_TRUE(imported("not xml").damage);
    // A well-formed document without outlines is not damaged.
    EXPECT_FALSE(imported("<?xml version=\"1.0\"?><opml version=\"2.0\"><head/><body/></opml>").damage);

    OPMLImporter missing;
    try {
        missing.parseFile("/nonexistent/folder/list.opml");
        FAIL() << "an unreadable file was read";
    } catch (const TextError& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find(" parseFile(_:) - can not open url: /nonexistent/folder/list.opml"), std::string::npos) << text;
    }
    EXPECT_EQ(missing.graph.count(), 0u);
}

TEST_F(OPMLTest, ImporterRefusesDeclaredEntitiesAndEntityTricks)
{
    // Declared entities, internal or external, are refused before any is expanded, with the file named.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("laughs.opml").toStdString();
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE opml [<!ENTITY a \"haha\">]><opml><body>";
    for (int i = 0; i < 300000; ++i)
        laughs += "&a;";
    laughs += "<outline text=\"x\"/></body></opml>";
    std::ofstream(path, std::ios::binary) << laughs;
    OPMLImporter fromFile;
    try {
        fromFile.parseFile(path);
        FAIL() << "declared entities were read";
    } catch (const TextError& error) {
        EXPECT_EQ(error.what(), "The OPML file declares entities in its document type, which are not read: " + path);
    }
    EXPECT_THROW(imported("<?xml version=\"1.0\"?><!DOCTYPE opml [<!ENTITY x SYSTEM \"file:///etc/hostname\">]>"
                          "<opml><body><outline text=\"c&x;d\"/></body></opml>"),
                 TextError);
    // An undeclared entity that leaves nothing is an error too; a plain document type is fine.
    EXPECT_THROW(imported("<opml><body><outline text=\"&nothing;\"/></body></opml>"), TextError);
    EXPECT_EQ(treeText(imported("<!DOCTYPE opml><opml><body><outline text=\"a\"/></body></opml>").graph), "a\n");
}

TEST_F(OPMLTest, ImporterRefusesAnElementOfMoreAttributesThanOutlinesHave)
{
    // The most an element may have, with "=" and ">" in values and comments, which count nothing.
    const auto outline = [](std::size_t attributes) {
        std::string text = "<opml><!-- a=1 b=2 > --><body><outline text=\"a=b>c\"";
        for (std::size_t i = 1; i < attributes; ++i)
            text += " a" + std::to_string(i) + "='x=y>'";
        return text + "/><![CDATA[ c=d ]]></body></opml>";
    };
    const OPMLImporter full = imported(outline(OPMLImporter::maximumAttributes));
    ASSERT_EQ(full.graph.count(), 1u);
    EXPECT_EQ(full.graph.node(std::int64_t{0})->title, "a=b>c");

    // One more is refused before the reader sees any.
    try {
        imported(outline(OPMLImporter::maximumAttributes + 1));
        FAIL() << "the element was read";
    } catch (const TextError& error) {
        EXPECT_STREQ(error.what(), "The OPML file holds an element with more than 1000 attributes, which is not "
                                   "read: pasted OPML");
    }
}

TEST_F(OPMLTest, ExportThenImportGivesTheSameTree)
{
    Graph graph = planGraph();
    graph.updateNodes({makeNode(5, std::nullopt, "Second root: \"quotes\" & <tags>", {6}), makeNode(6, 5, "Tab\there\nand a line")});
    const OPMLImporter back = imported(opml(graph, "My map"));
    EXPECT_EQ(treeText(back.graph), treeText(graph));
    EXPECT_EQ(back.documentTitle, "My map");

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("map.opml").toStdString();
    OPMLExporter(graph, "File").exportTo(path);
    OPMLImporter fromFile;
    fromFile.parseFile(path);
    EXPECT_EQ(treeText(fromFile.graph), treeText(graph));
    EXPECT_EQ(fromFile.documentTitle, "File");
}

TEST_F(OPMLTest, FixturesInTheShapesOtherProgramsWrite)
{
    OPMLImporter feeds;
    feeds.parseFile(VELQUINE_TEST_DATA_DIR "/exchange/feeds-1.0.opml");
    EXPECT_EQ(feeds.documentTitle, "Feed list");
    EXPECT_EQ(treeText(feeds.graph), "Example Feeds\n  Debian News\n  Planet\n  עברית\nUnread\n");
    const Node debian = *feeds.graph.node(std::int64_t{1});
    EXPECT_EQ(debian.note, "Type: rss\nXmlurl: https://www.debian.org/News/news\nHtmlurl: https://www.debian.org/\nDescription: \n");

    OPMLImporter outliner;
    outliner.parseFile(VELQUINE_TEST_DATA_DIR "/exchange/outliner-2.0.opml");
    EXPECT_EQ(outliner.documentTitle, "Projects");
    EXPECT_EQ(treeText(outliner.graph), "Garden\n  Buy <b>seeds</b>\n  Fence\n    Posts & rails\n  \nReading\n  The Trial\n");
    const Node seeds = *outliner.graph.node(std::int64_t{1});
    EXPECT_EQ(seeds.note, "Created: 2024-03-05T10:00:00Z\n Status: checked\n Note: Tomatoes,\nbasil.\n");
    const Node trial = *outliner.graph.node(std::int64_t{6});
    EXPECT_EQ(trial.note, "Type: link\nUrl: https://example.org/Books?id=The%20Trial&amp=1\n");
}
