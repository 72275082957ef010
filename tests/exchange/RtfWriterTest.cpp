#include "exchange/RtfTextReader.h"
#include "exchange/RtfWriter.h"

#include "ExchangeTestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace velquine;
using namespace velquine::testing;

namespace {

// The body of a one-paragraph, one-run document: what stands between the run's attributes and "}\par".
std::string runBody(const std::string& text)
{
    RichTextDocument document;
    RichTextParagraph paragraph;
    paragraph.runs.push_back(run(text));
    document.paragraphs.push_back(paragraph);
    const std::string rtf = RtfWriter::write(document);
    const std::string open = "{\\f0 ";
    const auto start = rtf.find(open);
    const auto end = rtf.rfind("}\\par\n");
    if (start == std::string::npos || end == std::string::npos)
        return "<missing>";
    return rtf.substr(start + open.size(), end - start - open.size());
}

} // namespace

TEST(RtfWriter, EmptyDocumentIsAValidRtfWithoutParagraphs)
{
    const std::string rtf = RtfWriter::write(RichTextDocument{});
    EXPECT_EQ(rtf,
              "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n"
              "{\\fonttbl{\\f0\\fnil\\fcharset0 DejaVu Sans;}}\n"
              "{\\colortbl;}\n"
              "}\n");
    EXPECT_EQ(RtfTextReader::plainText(rtf), "");
}

TEST(RtfWriter, TextIsEscapedCharacterByCharacter)
{
    EXPECT_EQ(runBody("plain text"), "plain text");
    EXPECT_EQ(runBody("a\\b{c}d"), "a\\\\b\\{c\\}d");
    EXPECT_EQ(runBody("a\tb"), "a\\tab b");
    EXPECT_EQ(runBody("a\nb"), "a\\line b");
    EXPECT_EQ(runBody("a\r\nb"), "a\\line b");
    EXPECT_EQ(runBody("a\u2028b"), "a\\line b");
    EXPECT_EQ(runBody("x\x01y"), "x\\'01y");
    // Outside ASCII: \uN with N as a signed 16-bit number, then a Windows-1252 fallback or "?".
    EXPECT_EQ(runBody("Café"), "Caf\\u233\\'e9");
    EXPECT_EQ(runBody("€"), "\\u8364\\'80");
    EXPECT_EQ(runBody("日"), "\\u26085?");
    EXPECT_EQ(runBody("\uFFFD"), "\\u-3?");
    EXPECT_EQ(runBody("😀"), "\\u-10179?\\u-8704?");
}

TEST(RtfWriter, ParagraphsCarryIndentsAlignmentAndListLevels)
{
    RichTextDocument document;
    RichTextParagraph centred;
    centred.alignment = RichTextAlignment::center;
    centred.headIndent = 36;
    centred.firstLineHeadIndent = 18;
    centred.runs.push_back(run("Centred"));
    RichTextParagraph right;
    right.alignment = RichTextAlignment::right;
    RichTextParagraph justified;
    justified.alignment = RichTextAlignment::justified;
    RichTextParagraph left;
    left.alignment = RichTextAlignment::left;
    document.paragraphs = {centred, right, justified, left, listItem(2, "Item"), listItem(12, "Deep")};
    const std::string rtf = RtfWriter::write(document);
    EXPECT_NE(rtf.find("\\pard\\plain\\li720\\fi-360\\qc{\\f0 Centred}\\par\n"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\pard\\plain\\li0\\fi0\\qr\\par\n"), std::string::npos);
    EXPECT_NE(rtf.find("\\pard\\plain\\li0\\fi0\\qj\\par\n"), std::string::npos);
    EXPECT_NE(rtf.find("\\pard\\plain\\li0\\fi0\\ql\\par\n"), std::string::npos);
    EXPECT_NE(rtf.find("\\pard\\plain\\s3\\li800\\fi0\\ls1\\ilvl2 {\\listtext\\tab \\u8226\\'95\\tab }{\\f0 Item}\\par\n"), std::string::npos);
    // Lists have nine levels; a deeper item is written at the last one, with its own indent.
    EXPECT_NE(rtf.find("\\pard\\plain\\s9\\li4800\\fi0\\ls1\\ilvl8 {\\listtext"), std::string::npos);
    EXPECT_NE(rtf.find("{\\*\\listtable{\\list\\listtemplateid1\\listhybrid\n"), std::string::npos);
    EXPECT_NE(rtf.find("\\leveltemplateid109\\'01\\u8226\\'95;}{\\levelnumbers;}\\fi-720\\li6480\\lin6480 }\n{\\listname ;}\\listid1}}\n"),
              std::string::npos);
    EXPECT_NE(rtf.find("{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}}\n"), std::string::npos);
}

TEST(RtfWriter, RunAttributesUseTheFontAndColourTables)
{
    const std::string rtf = RtfWriter::write(sampleOutline());
    EXPECT_NE(rtf.find("{\\fonttbl{\\f0\\fnil\\fcharset0 DejaVu Sans;}{\\f1\\fnil\\fcharset0 Liberation Serif;}}\n"), std::string::npos);
    EXPECT_NE(rtf.find("{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue255;}\n"), std::string::npos);
    EXPECT_NE(rtf.find("{\\f0\\fs64\\cf1 Plan}"), std::string::npos);
    EXPECT_NE(rtf.find("{\\f1\\fs29\\b\\i\\cf2\\ul\\strike Tom & Jerry's \\{braces\\} \\\\ <tags>}"), std::string::npos);
    EXPECT_NE(rtf.find("{\\f0 B}"), std::string::npos);
    for (char c : rtf)
        EXPECT_LT(static_cast<unsigned char>(c), 128u);
}

TEST(RtfWriter, FontNamesCannotBreakTheFontTable)
{
    RichTextDocument document;
    document.defaultFontFamily = "Odd;Name{x}";
    RichTextAttributes attributes;
    attributes.fontFamily = "Grüße";
    RichTextParagraph paragraph;
    paragraph.runs.push_back(run("a", attributes));
    document.paragraphs.push_back(paragraph);
    const std::string rtf = RtfWriter::write(document);
    EXPECT_NE(rtf.find("{\\fonttbl{\\f0\\fnil\\fcharset0 OddName\\{x\\};}{\\f1\\fnil\\fcharset0 Gr\\u252\\'fc\\u223\\'dfe;}}"), std::string::npos) << rtf;
    EXPECT_EQ(RtfTextReader::plainText(rtf), "a\n");
}

TEST(RtfWriter, UnrtfReadsOurTextAndAttributes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("outline.rtf");
    ASSERT_TRUE(writeFile(path, RtfWriter::write(sampleOutline())));
    const auto html = runTool("unrtf", {"--html", path});
    VQ_REQUIRE_TOOL(html, "unrtf");
    ASSERT_EQ(html->exitCode, 0) << html->err;
    const std::string& out = html->out;
    EXPECT_NE(out.find("<font face=\"DejaVu Sans\"><span style=\"font-size:32pt\"><font color=\"#ff0000\">Plan</font>"), std::string::npos) << out;
    EXPECT_NE(out.find("<font face=\"Liberation Serif\">"), std::string::npos);
    EXPECT_NE(out.find("<b><i><font color=\"#0080ff\"><u><s>Tom &amp; Jerry's {braces} \\ &lt;tags&gt;</s></u></font></i></b>"), std::string::npos);
    EXPECT_NE(out.find("Caf&eacute; &#26085;&#26412;"), std::string::npos);
    EXPECT_NE(out.find(">B</font>"), std::string::npos);
    EXPECT_EQ(out.find("Error"), std::string::npos);

    const auto text = runTool("unrtf", {"--text", path});
    ASSERT_TRUE(text);
    EXPECT_EQ(text->exitCode, 0);
    EXPECT_NE(text->out.find("\nPlan\n"), std::string::npos) << text->out;
    EXPECT_NE(text->out.find("\nB\n"), std::string::npos);
}
