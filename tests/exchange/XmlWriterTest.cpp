#include "exchange/XmlWriter.h"

#include <gtest/gtest.h>

using namespace velquine;

TEST(XmlWriter, ElementsAttributesAndText)
{
    XmlWriter xml;
    xml.declaration();
    xml.startElement("root");
    xml.attribute("a", "1");
    xml.startElement("empty");
    xml.endElement();
    xml.startElement("child");
    xml.text("text");
    xml.endElement();
    xml.emptyElement("leaf");
    xml.startElement("open");
    xml.attribute("b", "2");
    EXPECT_EQ(xml.finish(), "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                            "<root a=\"1\"><empty/><child>text</child><leaf/><open b=\"2\"/></root>");
}

TEST(XmlWriter, EscapesMarkupAndKeepsWhitespaceInAttributes)
{
    EXPECT_EQ(XmlWriter::escapedText("a & b < c > d \"q\" 'a'"), "a &amp; b &lt; c &gt; d \"q\" 'a'");
    EXPECT_EQ(XmlWriter::escapedAttribute("a & b < c > d \"q\" 'a'"), "a &amp; b &lt; c &gt; d &quot;q&quot; 'a'");
    EXPECT_EQ(XmlWriter::escapedText("tab\tline\ncr\r"), "tab\tline\ncr&#13;");
    EXPECT_EQ(XmlWriter::escapedAttribute("tab\tline\ncr\r"), "tab&#9;line&#10;cr&#13;");
    EXPECT_EQ(XmlWriter::escapedText("&\u0301<\u0338"), "&amp;\u0301&lt;\u0338");
}

TEST(XmlWriter, DropsCharactersXmlCannotCarry)
{
    std::string controls;
    for (char c = 0; c < 0x20; ++c)
        controls.push_back(c);
    EXPECT_EQ(XmlWriter::escapedText(controls), "\t\n&#13;");
    EXPECT_EQ(XmlWriter::escapedText("a\uFFFEb\uFFFFc\uFFFDd"), "abc\uFFFDd");
    // Malformed UTF-8 (a lone continuation byte, a truncated sequence, an encoded surrogate) reads as U+FFFD.
    EXPECT_EQ(XmlWriter::escapedText("x\x80y\xE2\x82z\xED\xA0\x80"), "x\uFFFDy\uFFFD\uFFFDz\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(XmlWriter::escapedText("日本 😀"), "日本 😀");
}
