#include "exchange/MarkdownExporter.h"
#include "exchange/MarkdownOutline.h"
#include "exchange/PlainTextExporter.h"
#include "exchange/PlainTextImporter.h"
#include "exchange/StringBuilder.h"
#include "exchange/YAMLExporter.h"
#include "platform/Log.h"

#include "ExchangeTestSupport.h"
#include "MapTestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace velquine;
using namespace velquine::testing;

namespace {

using IndentMode = PlainTextExporter::Options::IndentMode;

std::string plainText(const Graph& graph, PlainTextExporter::Options options = {})
{
    return *PlainTextExporter(graph, options).exportData();
}

// The document PyYAML reads from the text, as JSON; none when python3 with PyYAML is missing.
std::optional<std::string> yamlAsJson(const std::string& yaml)
{
    const auto result = runTool("python3", {"-c", "import sys, json, yaml; print(json.dumps(yaml.safe_load(sys.stdin.read()), ensure_ascii=False))"},
                                QByteArray::fromStdString(yaml));
    if (!result || result->err.find("ModuleNotFoundError") != std::string::npos)
        return std::nullopt;
    if (result->exitCode != 0)
        return "error: " + result->err;
    std::string out = result->out;
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

} // namespace

TEST(StringBuilder, AppendsLinesNumbersAndCountsCharacters)
{
    StringBuilder builder("a");
    builder.append("b").appendLine("c");
    builder.append(42);
    builder.append(1.0);
    builder.appendLine(true);
    builder += "é👍🏽";
    EXPECT_EQ(builder.toString(), "abc\n421.0true\né👍🏽");
    EXPECT_EQ(builder.length(), 16u);
    const StringBuilder joined = StringBuilder("x") + StringBuilder("y");
    EXPECT_EQ(joined.toString(), "xy");
    EXPECT_EQ(builder.clear().toString(), "");
    EXPECT_EQ(builder.length(), 0u);
}

TEST(PlainTextExporter, WorkedExamplesAndIndentModes)
{
    const Graph graph = planGraph();
    EXPECT_EQ(plainText(graph), "Plan\n  A\n    A1\n  B\n");
    EXPECT_EQ(plainText(graph, {IndentMode::tab, true, true}), "Plan:\n\t- A:\n\t\t- A1\n\t- B\n");
    EXPECT_EQ(plainText(graph, {IndentMode::oneSpace, false, false}), "Plan\n A\n  A1\n B\n");
    EXPECT_EQ(plainText(graph, {IndentMode::fourSpace, false, true}), "Plan\n    - A\n        - A1\n    - B\n");
    EXPECT_EQ(PlainTextExporter::Options::makeIndentMode(0), IndentMode::twoSpace);
    EXPECT_EQ(PlainTextExporter::Options::makeIndentMode(1), IndentMode::tab);
    EXPECT_EQ(PlainTextExporter::Options::makeIndentMode(2), IndentMode::oneSpace);
    EXPECT_EQ(PlainTextExporter::Options::makeIndentMode(3), IndentMode::fourSpace);
    EXPECT_EQ(PlainTextExporter::Options::makeIndentMode(4), std::nullopt);
    EXPECT_EQ(PlainTextExporter::Options::makeIndentMode(-1), std::nullopt);
}

TEST(PlainTextExporter, RootsMissingChildrenAndRepeatedExports)
{
    Graph graph = planGraph();
    // A second root, a node whose children are all missing, and an orphan whose parent is missing.
    graph.updateNodes({makeNode(7, std::nullopt, "Next: #1", {99}), makeNode(8, 55, "Orphan")});
    EXPECT_EQ(plainText(graph, {IndentMode::twoSpace, true, true}), "Plan:\n  - A:\n    - A1\n  - B\nNext: #1:\n");
    PlainTextExporter exporter(planGraph());
    EXPECT_EQ(*exporter.exportData(), "Plan\n  A\n    A1\n  B\n");
    EXPECT_EQ(*exporter.exportData(), "Plan\n  A\n    A1\n  B\nPlan\n  A\n    A1\n  B\n");
    EXPECT_EQ(*PlainTextExporter(Graph()).exportData(), "");
    // Titles are written unchanged.
    Graph lines;
    lines.updateNodes({makeNode(1, std::nullopt, "two\nlines")});
    EXPECT_EQ(plainText(lines), "two\nlines\n");
}

TEST(PlainTextExporter, ChildCyclesAreWrittenOnceAndDeepTreesAreWritten)
{
    Graph cycle;
    cycle.updateNodes({makeNode(1, std::nullopt, "Root", {2}), makeNode(2, 1, "A", {3}), makeNode(3, 2, "B", {2, 1, 3})});
    EXPECT_EQ(plainText(cycle), "Root\n  A\n    B\n");

    // The text grows with the square of the depth; the OPML test goes much deeper.
    constexpr int depth = 5000;
    Graph deep;
    std::vector<Node> chain;
    for (int i = 1; i <= depth; ++i)
        chain.push_back(makeNode(i, i == 1 ? std::nullopt : std::optional<std::int64_t>(i - 1), "n", i < depth ? std::vector<std::int64_t>{i + 1} : std::vector<std::int64_t>{}));
    deep.updateNodes(chain);
    PlainTextExporter exporter(deep, {IndentMode::oneSpace, false, false});
    const std::string text = *exporter.exportData();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), depth);
    EXPECT_EQ(text.size(), static_cast<std::size_t>(depth) * (depth - 1) / 2 + 2 * depth);
}

TEST(PlainTextExporter, FileIsWrittenAsUtf8AndReadsBackIntoTheSameTree)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("outline.txt").toStdString();
    Graph graph = planGraph();
    graph.updateNodes({makeNode(9, std::nullopt, "Café ☕", {10}), makeNode(10, 9, "日本")});
    PlainTextExporter(graph, {IndentMode::tab, false, false}).exportTo(path);
    const std::string text = readFile(QString::fromStdString(path));
    EXPECT_EQ(text, "Plan\n\tA\n\t\tA1\n\tB\nCafé ☕\n\t日本\n");
    EXPECT_EQ(treeText(PlainTextImporter::importNodes(text)), treeText(graph));
    EXPECT_THROW(PlainTextExporter(graph).exportTo(dir.filePath("missing/folder/x.txt").toStdString()), TextError);
}

TEST(MarkdownExporter, HeadingsPerDepthWithEmptyLines)
{
    EXPECT_EQ(*MarkdownExporter(planGraph()).exportData(), "# Plan\n\n## A\n\n### A1\n\n## B\n\n");
    Graph deep;
    std::vector<Node> chain;
    for (int i = 1; i <= 7; ++i)
        chain.push_back(makeNode(i, i == 1 ? std::nullopt : std::optional<std::int64_t>(i - 1), i == 7 ? "# not: escaped" : "x",
                                 i < 7 ? std::vector<std::int64_t>{i + 1} : std::vector<std::int64_t>{}));
    deep.updateNodes(chain);
    const std::string text = *MarkdownExporter(deep, {true}).exportData();
    EXPECT_NE(text.find("\n####### # not: escaped\n\n"), std::string::npos) << text;
}

TEST(MarkdownExporter, ReadsBackIntoTheSameTreeThroughThePlainTextImporter)
{
    // Headings are not indented, so the outline comes back flat: every line a root.
    const auto nodes = PlainTextImporter::importNodes(*MarkdownExporter(planGraph()).exportData());
    EXPECT_EQ(treeText(nodes), "# Plan\n## A\n### A1\n## B\n");
}

TEST(MarkdownOutline, HeadingsBecomeIndentedLinesAndOurExportReadsBackIntoTheSameTree)
{
    EXPECT_EQ(markdownOutlineText("# Plan\n\n## A\n\n### A1\n\n## B\n\n"), "Plan\n\n\tA\n\n\t\tA1\n\n\tB\n\n");
    Graph graph = planGraph();
    graph.updateNodes({makeNode(9, std::nullopt, "Caf\u00e9 #2 ##", {10}), makeNode(10, 9, "# inner")});
    const std::string exported = *MarkdownExporter(graph).exportData();
    EXPECT_EQ(treeText(PlainTextImporter::importNodes(markdownOutlineText(exported))), treeText(graph));
}

TEST(MarkdownOutline, OnlyAtxHeadingsOutsideCodeFencesChange)
{
    // Up to three spaces of indentation, trailing blanks, CR LF line ends and an empty heading; "#" marks
    // after the title belong to it.
    EXPECT_EQ(markdownOutlineText("  ## Title ##  \r\n#\n###x"), "\tTitle ##\r\n\n###x");
    // Four spaces make code, "#hashtag" is text, and fenced blocks are left alone up to their closing fence.
    EXPECT_EQ(markdownOutlineText("    # code\n#tag\n```\n# shell comment\n```\n## After"),
              "    # code\n#tag\n```\n# shell comment\n```\n\tAfter");
    EXPECT_EQ(markdownOutlineText("~~~\n# a\n```\n# b\n~~~\n# c"), "~~~\n# a\n```\n# b\n~~~\nc");
    EXPECT_EQ(markdownOutlineText(""), "");
    EXPECT_EQ(markdownOutlineText("- item\n  - sub"), "- item\n  - sub");
}

TEST(YAMLExporter, TwoSpacesPerLevelAndAColonBeforeChildren)
{
    EXPECT_EQ(*YAMLExporter(planGraph()).exportData(), "Plan:\n  - A:\n    - A1\n  - B\n");
    const auto json = yamlAsJson(*YAMLExporter(planGraph()).exportData());
    VQ_REQUIRE_TOOL(json, "python3 with PyYAML");
    EXPECT_EQ(*json, R"({"Plan": [{"A": ["A1"]}, "B"]})");
}

TEST(YAMLExporter, TitlesYamlWouldMisreadAreQuoted)
{
    EXPECT_EQ(YAMLExporter::scalar("Plan"), "Plan");
    EXPECT_EQ(YAMLExporter::scalar("Tom & Jerry's plan"), "Tom & Jerry's plan");
    EXPECT_EQ(YAMLExporter::scalar("a:b#c"), "a:b#c");
    EXPECT_EQ(YAMLExporter::scalar("Café 日本"), "Café 日本");
    EXPECT_EQ(YAMLExporter::scalar(""), "\"\"");
    EXPECT_EQ(YAMLExporter::scalar("key: value"), "\"key: value\"");
    EXPECT_EQ(YAMLExporter::scalar("note #1"), "\"note #1\"");
    EXPECT_EQ(YAMLExporter::scalar("ends:"), "\"ends:\"");
    EXPECT_EQ(YAMLExporter::scalar("- dash"), "\"- dash\"");
    EXPECT_EQ(YAMLExporter::scalar("[list]"), "\"[list]\"");
    EXPECT_EQ(YAMLExporter::scalar("'quoted'"), "\"'quoted'\"");
    EXPECT_EQ(YAMLExporter::scalar("\"q\" \\ b"), "\"\\\"q\\\" \\\\ b\"");
    EXPECT_EQ(YAMLExporter::scalar("2024-01-01"), "\"2024-01-01\"");
    EXPECT_EQ(YAMLExporter::scalar("3.14"), "\"3.14\"");
    EXPECT_EQ(YAMLExporter::scalar("Yes"), "\"Yes\"");
    EXPECT_EQ(YAMLExporter::scalar("null"), "\"null\"");
    EXPECT_EQ(YAMLExporter::scalar("~"), "\"~\"");
    EXPECT_EQ(YAMLExporter::scalar(" padded "), "\" padded \"");
    EXPECT_EQ(YAMLExporter::scalar("two\nlines\ttab\r\x01"), "\"two\\nlines\\ttab\\r\\x01\"");
    EXPECT_EQ(YAMLExporter::scalar("para\u2029sep"), "\"para\\Psep\"");

    const std::vector<std::string> titles{"", "key: value", "note #1", "ends:", "- dash", "[list]", "'quoted'", "\"q\" \\ b",
                                          "2024-01-01", "3.14", "Yes", "null", "~", " padded ", "two\nlines\ttab", "&anchor", "*alias",
                                          "!tag", "|", ">", "%", "@", "`", "{x}", "?", ",", "Café: 日本", "on", "0x1F", "1_000"};
    Graph graph;
    std::vector<std::int64_t> children;
    std::vector<Node> nodes;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        nodes.push_back(makeNode(static_cast<std::int64_t>(i) + 2, 1, titles[i]));
        children.push_back(static_cast<std::int64_t>(i) + 2);
    }
    nodes.push_back(makeNode(1, std::nullopt, "true", children));
    graph.updateNodes(nodes);
    const std::string yaml = *YAMLExporter(graph).exportData();
    const auto json = yamlAsJson(yaml);
    VQ_REQUIRE_TOOL(json, "python3 with PyYAML");
    std::string expected = R"({"true": [)";
    for (std::size_t i = 0; i < titles.size(); ++i) {
        if (i)
            expected += ", ";
        const QByteArray escaped = QByteArray::fromStdString(titles[i]).replace("\\", "\\\\").replace("\"", "\\\"").replace("\n", "\\n").replace("\t", "\\t");
        expected += "\"" + escaped.toStdString() + "\"";
    }
    expected += "]}";
    EXPECT_EQ(*json, expected) << yaml;
}

TEST(YAMLExporter, ChildCyclesAreWrittenOnce)
{
    Graph cycle;
    cycle.updateNodes({makeNode(1, std::nullopt, "Root", {2}), makeNode(2, 1, "A", {1, 2})});
    EXPECT_EQ(*YAMLExporter(cycle).exportData(), "Root:\n  - A:\n");
}
