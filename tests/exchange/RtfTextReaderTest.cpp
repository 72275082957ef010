#include "exchange/RtfTextReader.h"

#include <gtest/gtest.h>

#include <string>

using namespace velquine;

namespace {

std::string text(const std::string& body)
{
    return RtfTextReader::plainText("{\\rtf1\\ansi\\deff0 " + body + "}");
}

} // namespace

TEST(RtfTextReader, RefusesWhatIsNoRtf)
{
    EXPECT_THROW(RtfTextReader::plainText(""), RtfReadError);
    EXPECT_THROW(RtfTextReader::plainText("plain text"), RtfReadError);
    EXPECT_THROW(RtfTextReader::plainText("{\\rt"), RtfReadError);
    EXPECT_THROW(RtfTextReader::plainText("{\\pard hello}"), RtfReadError);
    EXPECT_EQ(RtfTextReader::plainText("\r\n  {\\rtf1 hello}"), "hello");
}

TEST(RtfTextReader, GroupsNestedTooDeeplyAreRefusedWithoutCrashing)
{
    std::string deep = "{\\rtf1 ";
    deep += std::string(100000, '{');
    EXPECT_THROW(RtfTextReader::plainText(deep), RtfReadError);
    std::string allowed = "{\\rtf1 " + std::string(200, '{') + "x" + std::string(201, '}');
    EXPECT_EQ(RtfTextReader::plainText(allowed), "x");
}

TEST(RtfTextReader, ParagraphsLinesTabsAndSymbols)
{
    EXPECT_EQ(text("One\\par Two\\line Three\\tab Four\\par"), "One\nTwo\u2028Three\tFour\n");
    EXPECT_EQ(text("a\\\nb\\\r\nc"), "a\nb\nc");
    EXPECT_EQ(text("raw\r\nline breaks\nare ignored"), "rawline breaksare ignored");
    EXPECT_EQ(text("\\{braces\\} and \\\\ backslash"), "{braces} and \\ backslash");
    EXPECT_EQ(text("a\\~b\\_c\\-d"), "a\u00A0b\u2011cd");
    EXPECT_EQ(text("\\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote"), "\u2014\u2013\u2022\u2018\u2019\u201C\u201D");
    EXPECT_EQ(text("cell\\cell next\\row"), "cell\tnext\n");
    EXPECT_EQ(text("\\b bold\\b0  \\i italic\\i0\\fs48 big"), "bold italicbig");
    EXPECT_EQ(text("\\unknownword123 text\\x"), "text");
}

TEST(RtfTextReader, DestinationsThatHoldNoTextAreSkipped)
{
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0"
        "{\\fonttbl{\\f0\\fswiss\\fcharset0 Helvetica;}{\\f1\\fnil Times{\\*\\panose 02020603050405020304};}}"
        "{\\colortbl;\\red255\\green0\\blue0;}"
        "{\\stylesheet{\\s0 Normal;}{\\s1 heading 1;}}"
        "{\\info{\\title The Title}{\\author Someone}}"
        "{\\*\\generator Writer 1.0;}"
        "{\\*\\expandedcolortbl;;}"
        "{\\header Header text\\par}{\\footer Footer text\\par}"
        "\\pard Visible{\\*\\bkmkstart mark}{\\*\\bkmkend mark} text"
        "{\\pict\\pngblip\\picw10\\pich10 89504e470d0a1a0a}"
        "{\\field{\\*\\fldinst HYPERLINK \"http://example.com\"}{\\fldrslt  link}}"
        "{\\*\\shppict{\\pict 0011}}{\\nonshppict{\\pict 2233}}"
        "{\\object\\objemb{\\*\\objclass Paint}{\\*\\objdata 0102}{\\result  shown}}"
        "\\par}";
    EXPECT_EQ(RtfTextReader::plainText(rtf), "Visible text link shown\n");
}

TEST(RtfTextReader, BinaryDataIsSkippedByLength)
{
    EXPECT_EQ(text("a{\\pict\\bin6 }{\\x\\}}b"), "ab");
    // A length beyond the input ends the document quietly.
    EXPECT_EQ(text("a\\bin999999 bbbb"), "a");
}

TEST(RtfTextReader, CodePagesOfTheDocumentAndOfFonts)
{
    EXPECT_EQ(text("Caf\\'e9 \\'80 \\'93q\\'94 \\'85"), "Café € “q” …");
    EXPECT_EQ(text("\\'81\\'8d"), "\uFFFD\uFFFD");
    EXPECT_EQ(RtfTextReader::plainText("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}"), "Привет");
    EXPECT_EQ(RtfTextReader::plainText("{\\rtf1\\mac \\'8e}"), "é");
    // A font's character set overrides the document's code page while the font is in use.
    const std::string fonts = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}{\\f1\\fnil\\fcharset204 Arial Cyr;}"
                              "{\\f2\\fnil\\fcharset128 MS Mincho;}{\\f3\\fnil\\fcharset238 Arial CE;}}";
    EXPECT_EQ(RtfTextReader::plainText(fonts + "\\'e9{\\f1 \\'e9}\\'e9}"), "éйé");
    EXPECT_EQ(RtfTextReader::plainText(fonts + "\\f3 \\'9a\\f0 \\'9a}"), "šš");
    // Double-byte code pages: the second byte may look like ASCII, even like a backslash.
    EXPECT_EQ(RtfTextReader::plainText(fonts + "\\f2 \\'82\\'a0\\'83\\'5c}"), "あソ");
    // Raw 8-bit bytes in the text are read in the code page too.
    EXPECT_EQ(RtfTextReader::plainText("{\\rtf1\\ansi Caf\xe9}"), "Café");
}

TEST(RtfTextReader, UnicodeEscapesSkipTheirFallbacks)
{
    EXPECT_EQ(text("\\u8226?x"), "\u2022x");
    EXPECT_EQ(text("\\uc0\\u8226 x"), "\u2022x");
    EXPECT_EQ(text("\\uc2\\u26085\\'93\\'fax"), "日x");
    EXPECT_EQ(text("\\u233\\'e9t\\u233\\'e9"), "été");
    EXPECT_EQ(text("\\u-3?"), "\uFFFD");
    EXPECT_EQ(text("\\u-10179?\\u-8704?"), "😀");
    EXPECT_EQ(text("\\u-10179?x"), "\uFFFDx");
    EXPECT_EQ(text("\\u-8704?"), "\uFFFD");
    // A fallback never reaches across a group boundary, and \uc is part of the group state.
    EXPECT_EQ(text("{\\uc3\\u8226}abc"), "\u2022abc");
    EXPECT_EQ(text("{\\uc0 x}\\u8226?y"), "x\u2022y");
    EXPECT_EQ(text("\\u0 a"), "");
}

TEST(RtfTextReader, ListLevelsBecomeLeadingTabsAndMarkersAreLeftOut)
{
    const std::string body =
        "\\pard\\ls1\\ilvl0 {\\listtext\\tab \\u8226\\'95\\tab }Root\\par"
        "\\pard\\ls1\\ilvl1 {\\listtext\\tab \\u8226\\'95\\tab }Child\\par"
        "\\pard\\ls1\\ilvl2 {\\listtext\\pard\\plain \\f3 \\'b7\\tab}Grandchild\\line second line\\par"
        "\\pard Plain again\\par"
        "\\pard\\ilvl3{\\pntext\\pard\\plain\\f1 \\'b7\\tab}{\\*\\pn\\pnlvlblt{\\pntxtb \\'b7}}Deep\\par"
        "\\ilvl99999999999 Deepest\\par";
    EXPECT_EQ(text(body), "Root\n\tChild\n\t\tGrandchild\u2028second line\nPlain again\n\t\t\tDeep\n\t\t\t\t\t\t\t\tDeepest\n");
    // Paragraph properties belong to the group that set them.
    EXPECT_EQ(text("{\\ilvl1 A\\par}B\\par"), "\tA\nB\n");
    // Empty list paragraphs give no stray tabs.
    EXPECT_EQ(text("\\ilvl2\\par\\pard x"), "\nx");
}

TEST(RtfTextReader, HiddenTextIsLeftOut)
{
    EXPECT_EQ(text("shown {\\v hidden}again \\v gone\\v0 back"), "shown again back");
    EXPECT_EQ(text("\\v hidden\\plain shown"), "shown");
}

TEST(RtfTextReader, DamagedEndingsKeepWhatWasRead)
{
    EXPECT_EQ(RtfTextReader::plainText("{\\rtf1 unterminated {group"), "unterminated group");
    EXPECT_EQ(RtfTextReader::plainText("{\\rtf1 done} trailing text"), "done");
    EXPECT_EQ(RtfTextReader::plainText("{\\rtf1 end\\"), "end");
    EXPECT_EQ(RtfTextReader::plainText("{\\rtf1 half\\'e"), "halfe");
    EXPECT_EQ(RtfTextReader::plainText("{\\rtf1 a\\'zzb}"), "azzb");
}
