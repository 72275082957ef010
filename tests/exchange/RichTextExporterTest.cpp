#include "exchange/DocxTextReader.h"
#include "exchange/DocxWriter.h"
#include "exchange/PlainTextImporter.h"
#include "exchange/RichTextExporter.h"
#include "exchange/RtfTextReader.h"
#include "exchange/RtfWriter.h"
#include "platform/Log.h"

#include "ExchangeTestSupport.h"
#include "MapTestSupport.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

using namespace velquine;
using namespace velquine::testing;

namespace {

class RichTextExporterTest : public ::testing::Test {
protected:
    void TearDown() override { resetNodeUIDCounterForTesting(0); }
};

Graph styledGraph()
{
    Graph graph = planGraph();
    Node a = *graph.node(std::int64_t{2});
    a.style.font = Font("DejaVu Serif Bold Italic", 18.5);
    a.style.textColor = Color::calibratedRGB(1.0, 0.5, 0.0);
    a.style.isUnderlined = true;
    a.style.isStrikeThrough = true;
    a.style.textAlignment = static_cast<std::int64_t>(TextAlignment::right);
    graph.updateNodes({a});
    return graph;
}

} // namespace

TEST_F(RichTextExporterTest, OneBulletedParagraphPerNodeIndentedByLevel)
{
    RichTextExporter exporter(styledGraph());
    EXPECT_TRUE(exporter.options.keepColors);
    exporter.rtfData();
    const auto& paragraphs = exporter.builder.paragraphs;
    ASSERT_EQ(paragraphs.size(), 4u);
    const int levels[] = {0, 1, 2, 1};
    const char* titles[] = {"Plan", "A", "A1", "B"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(paragraphs[i].listLevel, levels[i]);
        // The text a step further in per level, the bullet hanging in the step before it.
        EXPECT_EQ(paragraphs[i].headIndent, 36.0 * (levels[i] + 1));
        EXPECT_EQ(paragraphs[i].firstLineHeadIndent, 36.0 * levels[i]);
        EXPECT_EQ(paragraphs[i].alignment, RichTextAlignment::natural);
        ASSERT_EQ(paragraphs[i].runs.size(), 1u);
        EXPECT_EQ(paragraphs[i].runs[0].text, titles[i]);
    }
    const RichTextAttributes& plain = paragraphs[0].runs[0].attributes;
    EXPECT_EQ(plain.fontFamily, "DejaVu Sans");
    EXPECT_EQ(plain.fontSize, 32.0);
    EXPECT_FALSE(plain.bold || plain.italic || plain.underline || plain.strikeThrough);
    EXPECT_EQ(plain.foregroundColor, (RichTextColor{0, 0, 0}));
    const RichTextAttributes& styled = paragraphs[1].runs[0].attributes;
    EXPECT_EQ(styled.fontFamily, "DejaVu Serif");
    EXPECT_EQ(styled.fontSize, 18.5);
    EXPECT_TRUE(styled.bold && styled.italic && styled.underline && styled.strikeThrough);
    EXPECT_EQ(styled.foregroundColor, (RichTextColor{255, 128, 0}));
}

TEST_F(RichTextExporterTest, WithoutColorsOnlyTheTextColourGoes)
{
    RichTextExporter exporter(styledGraph());
    exporter.options.keepColors = false;
    exporter.rtfData();
    const RichTextAttributes& styled = exporter.builder.paragraphs[1].runs[0].attributes;
    EXPECT_EQ(styled.foregroundColor, std::nullopt);
    EXPECT_EQ(styled.fontFamily, "DejaVu Serif");
    EXPECT_TRUE(styled.underline && styled.strikeThrough);
    EXPECT_EQ(RtfWriter::write(exporter.builder).find("\\cf"), std::string::npos);
}

TEST_F(RichTextExporterTest, KeptColoursTheWhitePageWouldHideAreShadedWithWhatTheyAreDrawnOn)
{
    // A dark map: a light title on a blue node, one on the map itself (an underlined node), one on a pale node
    // it hardly stands out from, and a black title on a white node, which reads on the page as it is.
    Graph graph = planGraph();
    const auto restyle = [&](std::int64_t uid, Color text, Color fill, NodeShape shape) {
        Node node = *graph.node(uid);
        node.style.textColor = text;
        node.style.fillColor = fill;
        node.shape = shape;
        graph.updateNodes({node});
    };
    const Color light = Color::deviceRGB(254 / 255.0, 254 / 255.0, 254 / 255.0);
    restyle(1, light, Color::deviceRGB(0, 0, 0.5), NodeShape::roundedRect);
    restyle(2, light, Color::white(), NodeShape::underline);
    restyle(3, light, Color::deviceRGB(0.8, 0.8, 0.8), NodeShape::rect);
    restyle(4, Color::black(), Color::white(), NodeShape::rect);
    RichTextExporter exporter(graph, Color::deviceRGB(0.1, 0.1, 0.1, 1.0));
    exporter.rtfData();
    const auto& paragraphs = exporter.builder.paragraphs;
    ASSERT_EQ(paragraphs.size(), 4u);
    const RichTextColor lightText{254, 254, 254};
    const RichTextColor mapColour{26, 26, 26};
    for (std::size_t i : {0, 1, 2})
        EXPECT_EQ(paragraphs[i].runs[0].attributes.foregroundColor, lightText) << i;
    EXPECT_EQ(paragraphs[0].runs[0].attributes.backgroundColor, (RichTextColor{0, 0, 128}));
    EXPECT_EQ(paragraphs[1].runs[0].attributes.backgroundColor, mapColour);
    EXPECT_EQ(paragraphs[2].runs[0].attributes.backgroundColor, mapColour);  // "A1", on the pale node
    EXPECT_EQ(paragraphs[3].runs[0].attributes.foregroundColor, (RichTextColor{0, 0, 0}));
    EXPECT_EQ(paragraphs[3].runs[0].attributes.backgroundColor, std::nullopt);

    // Both writers shade the run: RTF with the colour-table entry of the fill, Word with the fill itself.
    const std::string rtf = RtfWriter::write(exporter.builder);
    EXPECT_NE(rtf.find("\\red0\\green0\\blue128;"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\chshdng0\\chcbpat"), std::string::npos) << rtf;
    EXPECT_NE(DocxWriter::documentXml(exporter.builder).find("<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"1A1A1A\"/>"),
              std::string::npos);

    // Without colours nothing is shaded.
    RichTextExporter plain(graph, Color::deviceRGB(0.1, 0.1, 0.1, 1.0));
    plain.options.keepColors = false;
    EXPECT_EQ(plain.rtfData()->find("\\chcbpat"), std::string::npos);

    // An orange title on a white map stands out from nothing better than the page: it reads as in the map.
    restyle(4, Color::deviceRGB(1, 0.5, 0), Color::white(), NodeShape::rect);
    RichTextExporter onWhite(graph);
    onWhite.rtfData();
    EXPECT_EQ(onWhite.builder.paragraphs[3].runs[0].attributes.foregroundColor, (RichTextColor{255, 128, 0}));
    EXPECT_EQ(onWhite.builder.paragraphs[3].runs[0].attributes.backgroundColor, std::nullopt);
}

TEST_F(RichTextExporterTest, FaceNamesGiveFamilyAndTraits)
{
    const auto face = [](const char* name) {
        TextAttributes attributes;
        attributes.font = Font(name, 12);
        return RichTextExporter::attributesOf(attributes, true);
    };
    EXPECT_EQ(face("Helvetica-BoldOblique").fontFamily, "Helvetica");
    EXPECT_TRUE(face("Helvetica-BoldOblique").bold && face("Helvetica-BoldOblique").italic);
    EXPECT_EQ(face("Arial Bold").fontFamily, "Arial");
    EXPECT_FALSE(face("Arial Bold").italic);
    EXPECT_EQ(face("Bold").fontFamily, "Bold");
    EXPECT_EQ(face("Times New Roman").fontFamily, "Times New Roman");
    EXPECT_FALSE(face("Times New Roman").bold);
    EXPECT_EQ(RichTextExporter::attributesOf(TextAttributes{}, true), RichTextAttributes{});
}

TEST_F(RichTextExporterTest, EmptyTitlesEmptyMapsAndCycles)
{
    Graph graph;
    graph.updateNodes({makeNode(1, std::nullopt, "", {2}), makeNode(2, 1, "child", {1, 2})});
    RichTextExporter exporter(graph);
    exporter.rtfData();
    ASSERT_EQ(exporter.builder.paragraphs.size(), 2u);
    EXPECT_TRUE(exporter.builder.paragraphs[0].runs.empty());
    EXPECT_EQ(exporter.builder.paragraphs[0].listLevel, 0);

    RichTextExporter empty{Graph()};
    EXPECT_EQ(*empty.rtfData(), RtfWriter::write(RichTextDocument{}));
}

TEST_F(RichTextExporterTest, FormatFollowsTheExtensionWithoutCase)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string word = dir.filePath("map.DOCX").toStdString();
    RichTextExporter(styledGraph()).exportTo(word);
    EXPECT_EQ(readFile(QString::fromStdString(word)).substr(0, 2), "PK");
    const std::string rtf = dir.filePath("map.Rtf").toStdString();
    RichTextExporter(styledGraph()).exportTo(rtf);
    EXPECT_EQ(readFile(QString::fromStdString(rtf)).substr(0, 6), "{\\rtf1");

    for (const char* name : {"map.txt", "map", "map.rtf.bak", "docx", ".rtf"}) {
        const std::string path = dir.filePath(name).toStdString();
        try {
            RichTextExporter(styledGraph()).exportTo(path);
            FAIL() << name << " was accepted";
        } catch (const TextError& error) {
            EXPECT_NE(std::string(error.what()).find(" export(to:) - rich text is written as .rtf or .docx"), std::string::npos) << error.what();
        }
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path))) << name;
    }
}

TEST_F(RichTextExporterTest, RtfAndWordExportsImportBackIntoTheSameTree)
{
    Graph graph = styledGraph();
    graph.updateNodes({makeNode(9, std::nullopt, "Second {root} \\ & <x>", {10}), makeNode(10, 9, "Café 日本 😀")});
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string rtfPath = dir.filePath("map.rtf").toStdString();
    const std::string docxPath = dir.filePath("map.docx").toStdString();
    RichTextExporter(graph).exportTo(rtfPath);
    RichTextExporter(graph).exportTo(docxPath);
    EXPECT_EQ(treeText(PlainTextImporter::importNodes(RtfTextReader::plainText(readFile(QString::fromStdString(rtfPath))))), treeText(graph));
    EXPECT_EQ(treeText(PlainTextImporter::importNodes(DocxTextReader::plainText(readFile(QString::fromStdString(docxPath))))), treeText(graph));

    const auto html = runTool("unrtf", {"--html", QString::fromStdString(rtfPath)});
    VQ_REQUIRE_TOOL(html, "unrtf");
    EXPECT_EQ(html->exitCode, 0);
    EXPECT_NE(html->out.find("<font face=\"DejaVu Serif\">"), std::string::npos) << html->out;
    EXPECT_NE(html->out.find("<b><i><font color=\"#ff8000\"><u><s>A</s></u></font></i></b>"), std::string::npos) << html->out;
}
