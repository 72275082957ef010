#include "exchange/DocxTextReader.h"
#include "exchange/DocxWriter.h"
#include "exchange/RtfTextReader.h"
#include "exchange/RtfWriter.h"

#include "ExchangeTestSupport.h"

#include <gtest/gtest.h>

using namespace velquine;
using namespace velquine::testing;

namespace {

RichTextDocument awkwardDocument()
{
    RichTextDocument document;
    RichTextParagraph plain;
    plain.runs = {run("Plain "), run("styled", RichTextAttributes{std::nullopt, 9.0, true, false, RichTextColor{1, 2, 3}, true, false, std::nullopt}),
                  run(" end\twith tab")};
    document.paragraphs.push_back(plain);
    document.paragraphs.push_back(listItem(0, "Root {x} \\y\\ & <z>"));
    document.paragraphs.push_back(listItem(1, "Line one\nline two"));
    document.paragraphs.push_back(listItem(3, "Ünïcödé — „quotes“ 日本語 😀 👍🏽"));
    document.paragraphs.push_back(listItem(10, "Too deep"));
    RichTextParagraph empty;
    document.paragraphs.push_back(empty);
    document.paragraphs.push_back(listItem(0, ""));
    document.paragraphs.push_back(listItem(2, "  leading and trailing  "));
    return document;
}

} // namespace

TEST(RichTextRoundTrip, PlainTextOfTheDocumentModel)
{
    EXPECT_EQ(sampleOutline().plainText(), "Plan\n\tTom & Jerry's {braces} \\ <tags>\n\t\tCafé 日本 😀\n\tB\n");
    RichTextDocument breaks;
    RichTextParagraph paragraph;
    paragraph.runs = {run("a\r\nb\rc\nd\u2029e")};
    breaks.paragraphs.push_back(paragraph);
    EXPECT_EQ(breaks.plainText(), "a\u2028b\u2028c\u2028d\u2028e\n");
}

TEST(RichTextRoundTrip, RtfReadsBackAsTheDocumentText)
{
    EXPECT_EQ(RtfTextReader::plainText(RtfWriter::write(sampleOutline())), sampleOutline().plainText());
    const RichTextDocument document = awkwardDocument();
    EXPECT_EQ(RtfTextReader::plainText(RtfWriter::write(document)), document.plainText());
    EXPECT_EQ(document.plainText(), "Plain styled end\twith tab\nRoot {x} \\y\\ & <z>\n\tLine one\u2028line two\n"
                                    "\t\t\tÜnïcödé — „quotes“ 日本語 😀 👍🏽\n\t\t\t\t\t\t\t\tToo deep\n\n\n\t\t  leading and trailing  \n");
}

TEST(RichTextRoundTrip, DocxReadsBackAsTheDocumentText)
{
    EXPECT_EQ(DocxTextReader::plainText(DocxWriter::write(sampleOutline())), sampleOutline().plainText());
    const RichTextDocument document = awkwardDocument();
    EXPECT_EQ(DocxTextReader::plainText(DocxWriter::write(document)), document.plainText());
}

TEST(RichTextRoundTrip, ControlCharactersSurviveRtfAndAreDroppedFromDocx)
{
    RichTextDocument document;
    document.paragraphs.push_back(listItem(0, std::string("a\x01") + "b\x1f" + "c\x7f"));
    EXPECT_EQ(RtfTextReader::plainText(RtfWriter::write(document)), std::string("a\x01") + "b\x1f" + "c\x7f\n");
    // XML cannot carry most control characters; the rest of the text stays.
    EXPECT_EQ(DocxTextReader::plainText(DocxWriter::write(document)), "abc\x7f\n");
}
