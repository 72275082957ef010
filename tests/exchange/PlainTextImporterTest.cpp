#include "exchange/DocxTextReader.h"
#include "exchange/DocxWriter.h"
#include "exchange/PlainTextImporter.h"
#include "exchange/RtfTextReader.h"
#include "exchange/RtfWriter.h"

#include "ExchangeTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace velquine;
using namespace velquine::testing;

namespace {

class PlainTextImporterTest : public ::testing::Test {
protected:
    void SetUp() override { resetNodeUIDCounterForTesting(100); }
    void TearDown() override { resetNodeUIDCounterForTesting(0); }
};

// The trees as text: one line per node, two spaces per depth, roots in order, children in order.
std::string outline(const std::vector<Node>& nodes)
{
    std::map<std::int64_t, const Node*> byUID;
    for (const Node& node : nodes)
        byUID[node.uid] = &node;
    std::string text;
    std::function<void(const Node&, int)> write = [&](const Node& node, int depth) {
        text += std::string(static_cast<std::size_t>(depth) * 2, ' ') + node.title + "\n";
        for (std::int64_t child : node.childrenUIDs) {
            const Node& c = *byUID.at(child);
            EXPECT_EQ(c.parentUID, node.uid) << c.title;
            write(c, depth + 1);
        }
    };
    for (const Node& node : nodes) {
        if (!node.parentUID)
            write(node, 0);
    }
    return text;
}

std::vector<std::string> titles(const std::vector<Node>& nodes)
{
    std::vector<std::string> result;
    for (const Node& node : nodes)
        result.push_back(node.title);
    return result;
}

} // namespace

TEST_F(PlainTextImporterTest, WorkedExampleGivesTwoTreesInPreOrderWithConsecutiveIdentifiers)
{
    const auto nodes = PlainTextImporter::importNodes("Plan\n  A\n    A1\n  B\nNext");
    ASSERT_EQ(nodes.size(), 5u);
    EXPECT_EQ(titles(nodes), (std::vector<std::string>{"Plan", "A", "A1", "B", "Next"}));
    for (std::size_t i = 0; i < nodes.size(); ++i)
        EXPECT_EQ(nodes[i].uid, 101 + static_cast<std::int64_t>(i));
    EXPECT_EQ(nodes[0].parentUID, std::nullopt);
    EXPECT_EQ(nodes[0].childrenUIDs, (std::vector<std::int64_t>{102, 104}));
    EXPECT_EQ(nodes[1].parentUID, 101);
    EXPECT_EQ(nodes[1].childrenUIDs, (std::vector<std::int64_t>{103}));
    EXPECT_EQ(nodes[2].parentUID, 102);
    EXPECT_EQ(nodes[3].parentUID, 101);
    EXPECT_TRUE(nodes[3].childrenUIDs.empty());
    EXPECT_EQ(nodes[4].parentUID, std::nullopt);
    EXPECT_EQ(nodeUIDCounter(), 105);
    EXPECT_EQ(outline(nodes), "Plan\n  A\n    A1\n  B\nNext\n");
}

TEST_F(PlainTextImporterTest, ImportedNodesHaveTheImportStyleAndDefaults)
{
    const auto nodes = PlainTextImporter::importNodes("Only");
    ASSERT_EQ(nodes.size(), 1u);
    const Node& node = nodes[0];
    EXPECT_EQ(node.style, PlainTextImporter::importStyle());
    EXPECT_EQ(node.style.textAlignment, 1);
    EXPECT_EQ(node.style.font, Font::systemFont(32.0));
    EXPECT_EQ(node.style.borderWidth, StrokeThickness::medium);
    EXPECT_EQ(node.style.fillColor, Color::white());
    EXPECT_EQ(node.style.imagePosition, ImagePosition::trailing);
    EXPECT_TRUE(node.style.userOverrides.isEmpty());
    EXPECT_TRUE(node.url.empty());
    EXPECT_TRUE(node.note.empty());
    EXPECT_TRUE(node.autoSize);
    EXPECT_EQ(node.center.x, 0.0);
    EXPECT_EQ(node.size.width, 0.0);
    EXPECT_EQ(node.shape, NodeShape::underline);
}

TEST_F(PlainTextImporterTest, EmptyAndBlankTexts)
{
    EXPECT_TRUE(PlainTextImporter::importNodes("").empty());
    EXPECT_TRUE(PlainTextImporter::importNodes("-").empty());
    for (const char* blank : {"\n", "   ", " \n\t\n  \r\n", "\u2028"}) {
        const auto nodes = PlainTextImporter::importNodes(blank);
        ASSERT_EQ(nodes.size(), 1u) << blank;
        EXPECT_EQ(nodes[0].title, "");
    }
}

TEST_F(PlainTextImporterTest, BulletsAndIndentation)
{
    EXPECT_EQ(outline(PlainTextImporter::importNodes("• One\n• Two\n• Three")), "One\n  Two\n  Three\n");
    EXPECT_EQ(outline(PlainTextImporter::importNodes("-A")), "A\n");
    EXPECT_EQ(outline(PlainTextImporter::importNodes("Root\n--A")), "Root\n  -A\n");
    EXPECT_EQ(outline(PlainTextImporter::importNodes("Root\n    Four\n  Two")), "Root\n  Four\n  Two\n");
    EXPECT_EQ(outline(PlainTextImporter::importNodes("A • B  \n\tC * D\t")), "A • B  \n  C * D\t\n");
    EXPECT_EQ(outline(PlainTextImporter::importNodes("A\n\n\tB\n   \n\t\tC\n\nD")), "A\n  B\n    C\nD\n");
    // The first line of a tree is a root whatever its indentation.
    EXPECT_EQ(outline(PlainTextImporter::importNodes("\t\tDeep start\n\tOne\nRoot")), "Deep start\n  One\nRoot\n");
    // Tabs and spaces are not converted into each other: one tab and two spaces are levels 1, 2, 2.
    EXPECT_EQ(outline(PlainTextImporter::importNodes("R\n\t  A\n  B\n\t\tC")), "R\n  A\n    B\n    C\n");
}

TEST_F(PlainTextImporterTest, EveryNewlineCharacterSplitsLines)
{
    EXPECT_EQ(titles(PlainTextImporter::importNodes("a\nb\rc\r\nd\x0B" "e\x0C" "f\u0085g\u2028h\u2029i")),
              (std::vector<std::string>{"a", "b", "c", "d", "e", "f", "g", "h", "i"}));
}

TEST_F(PlainTextImporterTest, StripBulletRemovesOneLeadingBulletOnly)
{
    EXPECT_EQ(PlainTextImporter::stripBullet("• Item"), " Item");
    EXPECT_EQ(PlainTextImporter::stripBullet("\t- Item"), "\t Item");
    for (const char* bullet : {"•", "-", "*", "‣", "◦", "⁃", "∙"})
        EXPECT_EQ(PlainTextImporter::stripBullet(std::string("  ") + bullet + "x"), "  x") << bullet;
    EXPECT_EQ(PlainTextImporter::stripBullet("••x"), "•x");
    EXPECT_EQ(PlainTextImporter::stripBullet("A • B"), "A • B");
    EXPECT_EQ(PlainTextImporter::stripBullet("+ plus"), "+ plus");
    EXPECT_EQ(PlainTextImporter::stripBullet("\u00A0\u3000- wide"), "\u00A0\u3000 wide");
    EXPECT_EQ(PlainTextImporter::stripBullet("   "), "   ");
    EXPECT_EQ(PlainTextImporter::stripBullet(""), "");
}

TEST_F(PlainTextImporterTest, IndentLevelCountsTabsOrSpaces)
{
    EXPECT_EQ(PlainTextImporter::indentLevel("\t\tA"), 2u);
    EXPECT_EQ(PlainTextImporter::indentLevel("  A"), 2u);
    EXPECT_EQ(PlainTextImporter::indentLevel("\t  A"), 1u);
    EXPECT_EQ(PlainTextImporter::indentLevel(" \tA"), 1u);
    EXPECT_EQ(PlainTextImporter::indentLevel("-A"), 1u);
    EXPECT_EQ(PlainTextImporter::indentLevel("--A"), 1u);
    EXPECT_EQ(PlainTextImporter::indentLevel("A"), 0u);
    EXPECT_EQ(PlainTextImporter::indentLevel(""), 0u);
    EXPECT_EQ(PlainTextImporter::indentLevel("\u00A0A"), 0u);
    EXPECT_EQ(PlainTextImporter::indentLevel("    "), 4u);
}

TEST_F(PlainTextImporterTest, VeryDeepIndentationNeedsNoRecursion)
{
    constexpr std::size_t depth = 5000;
    std::string text;
    for (std::size_t i = 0; i < depth; ++i)
        text += std::string(i, '\t') + "n" + std::to_string(i) + "\n";
    const auto nodes = PlainTextImporter::importNodes(text);
    ASSERT_EQ(nodes.size(), depth);
    for (std::size_t i = 1; i < depth; ++i) {
        ASSERT_EQ(nodes[i].parentUID, nodes[i - 1].uid);
        ASSERT_EQ(nodes[i - 1].childrenUIDs, std::vector<std::int64_t>{nodes[i].uid});
    }
}

TEST_F(PlainTextImporterTest, RtfAndWordOutlinesImportIntoTheirTrees)
{
    const std::string expected = "Plan\n  Tom & Jerry's {braces} \\ <tags>\n    Café 日本 😀\n  B\n";
    EXPECT_EQ(outline(PlainTextImporter::importNodes(RtfTextReader::plainText(RtfWriter::write(sampleOutline())))), expected);
    EXPECT_EQ(outline(PlainTextImporter::importNodes(DocxTextReader::plainText(DocxWriter::write(sampleOutline())))), expected);

    const auto fixture = [](const char* name) {
        return readFile(QStringLiteral(VELQUINE_TEST_DATA_DIR "/exchange/") + QString::fromLatin1(name));
    };
    EXPECT_EQ(outline(PlainTextImporter::importNodes(RtfTextReader::plainText(fixture("word-list.rtf")))),
              "Trip to Montréal\nDay 1\n  Old town – walk\n    Café stop Москва\nDay 2\t(rest)\n");
    EXPECT_EQ(outline(PlainTextImporter::importNodes(RtfTextReader::plainText(fixture("cocoa-list.rtf")))),
              "Shopping\nFruit\n  Apples – red & green\n  Pears\n    Conference\n日本の酒 “sake”\n");
    EXPECT_EQ(outline(PlainTextImporter::importNodes(RtfTextReader::plainText(fixture("indented-list.rtf")))),
              "Packing list\n  Clothes\n\u2013\tSocks\n  Books: The Trial\nmore\n");
    EXPECT_EQ(outline(PlainTextImporter::importNodes(DocxTextReader::plainText(fixture("word-list.docx")))),
              "Trip to Montréal\nDay 1\n  Old town – walk\n    Café stop\n  Map\t1\nDay 2\nrest day\nNote box\nBudget\t€ 300\nTrain\n9:15\n");
    EXPECT_EQ(outline(PlainTextImporter::importNodes(DocxTextReader::plainText(fixture("style-list.docx")))),
              "Reading\nNovels\n  The Trial\n  Ulysses\nPoems & essays\n  Indented by a tab\n");
}

TEST_F(PlainTextImporterTest, MarkdownListWithWrappedLinesAndCodeBlockImports)
{
    // Markdown is read as an indented outline, not interpreted: continuation lines and code lines
    // become children by their indentation, headings stay titles with their "#".
    const std::string text = readFile(QStringLiteral(VELQUINE_TEST_DATA_DIR "/exchange/wrapped-list.md"));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(outline(PlainTextImporter::importNodes(text)),
              "# Release notes\n"
              "Some introduction text that is long enough to be\n"
              "wrapped onto a second line in the file.\n"
              "  Build the release:\n"
              "    Update the version number in the\n"
              "      build files and the changelog.\n"
              "    Tag the release:\n"
              "      ```\n"
              "      git tag -a v1.2.0\n"
              "      # a comment inside the code block\n"
              "      ```\n"
              "  Announce it\n"
              "    on the mailing list\n"
              "    on the web site\n"
              "## Known issues\n"
              "1. Large maps are slow to draw.\n");
}
