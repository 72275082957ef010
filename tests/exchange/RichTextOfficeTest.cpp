// The rich-text files as LibreOffice reads them: the same outline, list levels and characters from the
// RTF and the Word file of one map.

#include "exchange/RichTextExporter.h"

#include "MapTestSupport.h"
#include "support/ExternalTools.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velquine;
using namespace velquine::testing;

TEST(RichTextOffice, RtfAndWordFilesGiveEveryParagraphItsOwnLevel)
{
    Graph graph = planGraph();
    // The last paragraph of the document is the deepest one, where a reader is most likely to lose it.
    graph.updateNodes({makeNode(4, 1, "B", {5}), makeNode(5, 4, "Ünïcödé — „quotes“ ✓", {6}),
                       makeNode(6, 5, "{braces} \\ & <tags>")});
    QTemporaryDir dir;
    const std::string rtf = dir.filePath("outline.rtf").toStdString();
    const std::string docx = dir.filePath("outline.docx").toStdString();
    RichTextExporter(graph).exportTo(rtf);
    RichTextExporter(graph).exportTo(docx);

    const std::vector<std::string> texts = officeTexts({rtf, docx});
    const std::string expected = "Plan\n"
                                 "  A\n"
                                 "    A1\n"
                                 "  B\n"
                                 "    Ünïcödé — „quotes“ ✓\n"
                                 "      {braces} \\ & <tags>\n";
    EXPECT_EQ(officeOutline(texts[0]), expected) << texts[0];
    EXPECT_EQ(officeOutline(texts[1]), expected) << texts[1];
}
