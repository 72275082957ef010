#include "exchange/DocxTextReader.h"
#include "exchange/ZipPackageWriter.h"
#include "support/XmlAllocations.h"

#include <gtest/gtest.h>

#include <string>

using namespace velquine;

namespace {

constexpr const char* wordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

std::string documentXml(const std::string& body, const std::string& ns = wordNamespace)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:document xmlns:w=\"" + ns
        + "\" xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"><w:body>" + body + "</w:body></w:document>";
}

std::string text(const std::string& body)
{
    return DocxTextReader::plainTextOfDocumentXml(documentXml(body));
}

std::string package(const std::string& mainName, const std::string& mainXml, bool withRels = true)
{
    ZipPackageWriter writer;
    writer.addEntry("[Content_Types].xml", "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>");
    if (withRels)
        writer.addEntry("_rels/.rels",
                        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
                        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"/"
                            + mainName + "\"/></Relationships>");
    writer.addEntry(mainName, mainXml);
    return writer.finish();
}

std::string paragraph(const std::string& properties, const std::string& runs)
{
    return "<w:p><w:pPr>" + properties + "</w:pPr>" + runs + "</w:p>";
}

std::string runOf(const std::string& text)
{
    return "<w:r><w:t>" + text + "</w:t></w:r>";
}

} // namespace

TEST(DocxTextReader, ParagraphsTabsAndBreaks)
{
    EXPECT_EQ(text(""), "");
    EXPECT_EQ(text("<w:p/>"), "\n");
    EXPECT_EQ(text("<w:p>" + runOf("One") + "</w:p><w:p><w:r><w:t xml:space=\"preserve\">Two </w:t><w:t>words</w:t></w:r></w:p>"),
              "One\nTwo words\n");
    EXPECT_EQ(text("<w:p><w:r><w:tab/><w:t>a</w:t><w:tab/><w:t>b</w:t><w:br/><w:t>c</w:t><w:cr/><w:t>d</w:t>"
                   "<w:noBreakHyphen/><w:softHyphen/><w:t>e</w:t></w:r></w:p>"),
              "\ta\tb\u2028c\u2028d\u2011e\n");
    EXPECT_EQ(text("<w:p>" + runOf("&lt;a&gt; &amp; &#233;&#x1F600;") + "</w:p>"), "<a> & é😀\n");
    // Tab stops of the paragraph properties are no tabs of the text.
    EXPECT_EQ(text(paragraph("<w:tabs><w:tab w:val=\"left\" w:pos=\"720\"/></w:tabs>", runOf("x"))), "x\n");
    // Tables: every cell paragraph is a line.
    EXPECT_EQ(text("<w:tbl><w:tr><w:tc><w:p>" + runOf("A1") + "</w:p></w:tc><w:tc><w:p>" + runOf("B1") + "</w:p></w:tc></w:tr></w:tbl>"),
              "A1\nB1\n");
}

TEST(DocxTextReader, ListLevelsBecomeLeadingTabs)
{
    const auto item = [](int level, const std::string& title) {
        return paragraph("<w:pStyle w:val=\"ListParagraph\"/><w:numPr><w:ilvl w:val=\"" + std::to_string(level)
                             + "\"/><w:numId w:val=\"3\"/></w:numPr>",
                         runOf(title));
    };
    EXPECT_EQ(text(item(0, "Root") + item(1, "Child") + item(2, "Grandchild") + item(1, "Second")),
              "Root\n\tChild\n\t\tGrandchild\n\tSecond\n");
    // numId 0 switches numbering off; a missing ilvl is level 0; levels beyond 8 are read as 8.
    EXPECT_EQ(text(paragraph("<w:numPr><w:ilvl w:val=\"2\"/><w:numId w:val=\"0\"/></w:numPr>", runOf("Off"))), "Off\n");
    EXPECT_EQ(text(paragraph("<w:numPr><w:numId w:val=\"4\"/></w:numPr>", runOf("Zero"))), "Zero\n");
    EXPECT_EQ(text(paragraph("<w:numPr><w:ilvl w:val=\"4000000000\"/><w:numId w:val=\"1\"/></w:numPr>", runOf("Big"))), "Big\n");
    EXPECT_EQ(text(paragraph("<w:numPr><w:ilvl w:val=\"12\"/><w:numId w:val=\"1\"/></w:numPr>", runOf("Deep"))), "\t\t\t\t\t\t\t\tDeep\n");
    EXPECT_EQ(text(paragraph("<w:numPr><w:ilvl w:val=\"-1\"/><w:numId w:val=\"1\"/></w:numPr>", runOf("Bad"))), "Bad\n");
    // Lists by paragraph style, as some writers make them.
    EXPECT_EQ(text(paragraph("<w:pStyle w:val=\"ListBullet\"/>", runOf("A")) + paragraph("<w:pStyle w:val=\"ListBullet2\"/>", runOf("B"))
                   + paragraph("<w:pStyle w:val=\"ListNumber3\"/>", runOf("C")) + paragraph("<w:pStyle w:val=\"Heading1\"/>", runOf("D"))),
              "A\n\tB\n\t\tC\nD\n");
}

TEST(DocxTextReader, DeletedMovedAndFallbackContentIsLeftOut)
{
    EXPECT_EQ(text("<w:p>" + runOf("kept") + "<w:del w:id=\"1\"><w:r><w:tab/><w:delText>gone</w:delText></w:r></w:del>"
                   + "<w:ins w:id=\"2\">" + runOf(" added") + "</w:ins><w:moveFrom w:id=\"3\">" + runOf(" moved") + "</w:moveFrom></w:p>"),
              "kept added\n");
    EXPECT_EQ(text("<w:p><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>HYPERLINK x</w:instrText></w:r>"
                   "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>"
                   + runOf("link") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:p>"),
              "link\n");
    // A text box appears once, though its content is written twice.
    EXPECT_EQ(text("<w:p>" + runOf("Before") + "<w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><w:txbxContent><w:p>"
                   + runOf("Box") + "</w:p></w:txbxContent></w:drawing></mc:Choice><mc:Fallback><w:pict><w:txbxContent><w:p>" + runOf("Box")
                   + "</w:p></w:txbxContent></w:pict></mc:Fallback></mc:AlternateContent></w:r>" + runOf(" after") + "</w:p>"),
              "Box\nBefore after\n");
    // The former properties of a tracked paragraph change do not decide the level.
    EXPECT_EQ(text(paragraph("<w:numPr><w:ilvl w:val=\"1\"/><w:numId w:val=\"1\"/></w:numPr><w:pPrChange w:id=\"5\"><w:pPr><w:numPr>"
                             "<w:ilvl w:val=\"3\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr></w:pPrChange>",
                             runOf("Now"))),
              "\tNow\n");
}

TEST(DocxTextReader, StrictNamespaceAndOtherPrefixes)
{
    EXPECT_EQ(DocxTextReader::plainTextOfDocumentXml(documentXml("<w:p>" + runOf("strict") + "</w:p>", "http://purl.oclc.org/ooxml/wordprocessingml/main")),
              "strict\n");
    EXPECT_EQ(DocxTextReader::plainTextOfDocumentXml("<x:document xmlns:x=\"" + std::string(wordNamespace)
                                                     + "\"><x:body><x:p><x:pPr><x:numPr><x:ilvl x:val=\"1\"/><x:numId x:val=\"1\"/></x:numPr></x:pPr>"
                                                       "<x:r><x:t>prefixed</x:t></x:r></x:p></x:body></x:document>"),
              "\tprefixed\n");
    // Elements of other namespaces are not WordprocessingML.
    EXPECT_EQ(DocxTextReader::plainTextOfDocumentXml("<document><body><p><r><t>none</t></r></p></body></document>"), "");
}

TEST(DocxTextReader, MalformedXmlAndOutsideEntitiesAreRefused)
{
    EXPECT_THROW(DocxTextReader::plainTextOfDocumentXml("<w:document xmlns:w=\"" + std::string(wordNamespace) + "\"><w:body><w:p>"),
                 DocxReadError);
    EXPECT_THROW(DocxTextReader::plainTextOfDocumentXml("not xml at all"), DocxReadError);
    EXPECT_THROW(DocxTextReader::plainTextOfDocumentXml(""), DocxReadError);
    // Declared entities, external or internal, are refused before any is loaded or expanded; a document
    // type without declarations is read. Neither leaves anything of the parser's behind.
    const velquine::testing::XmlAllocations allocations;
    const std::string body = "<w:document xmlns:w=\"" + std::string(wordNamespace)
        + "\"><w:body><w:p><w:r><w:t>[&secret;]</w:t></w:r></w:p></w:body></w:document>";
    for (const std::string declaration : {"<!ENTITY secret SYSTEM \"file:///etc/hostname\">", "<!ENTITY secret \"s\">"}) {
        try {
            DocxTextReader::plainTextOfDocumentXml("<?xml version=\"1.0\"?><!DOCTYPE w:document [" + declaration + "]>" + body);
            ADD_FAILURE() << "read " << declaration;
        } catch (const DocxReadError& error) {
            EXPECT_STREQ(error.what(), "The Word document declares entities in its document type, which are not read.");
        }
    }
    EXPECT_EQ(DocxTextReader::plainTextOfDocumentXml("<!DOCTYPE w:document>" + documentXml("<w:p><w:r><w:t>x</w:t></w:r></w:p>").substr(56)),
              "x\n");
    EXPECT_EQ(allocations.leftBehind(), 0u);
}

TEST(DocxTextReader, PackagesAreFoundThroughTheirRelationships)
{
    const std::string body = documentXml("<w:p>" + runOf("Main text") + "</w:p>");
    EXPECT_EQ(DocxTextReader::plainText(package("word/document.xml", body)), "Main text\n");
    EXPECT_EQ(DocxTextReader::plainText(package("word/document2.xml", body)), "Main text\n");
    EXPECT_EQ(DocxTextReader::plainText(package("word/document.xml", body, false)), "Main text\n");
    // Part names are compared without case.
    EXPECT_EQ(DocxTextReader::plainText(package("Word/Document.xml", body, false)), "Main text\n");
}

TEST(DocxTextReader, DamagedOrHostilePackagesGiveClearErrors)
{
    EXPECT_THROW(DocxTextReader::plainText(""), DocxReadError);
    EXPECT_THROW(DocxTextReader::plainText("PK\x03\x04 this is not really a zip"), DocxReadError);
    EXPECT_THROW(DocxTextReader::plainText("{\\rtf1 wrong format}"), DocxReadError);

    ZipPackageWriter withoutMain;
    withoutMain.addEntry("other.xml", "<x/>");
    try {
        DocxTextReader::plainText(withoutMain.finish());
        FAIL() << "a package without a main part was read";
    } catch (const DocxReadError& error) {
        EXPECT_NE(std::string(error.what()).find("no main text part"), std::string::npos) << error.what();
    }

    // A part that decompresses beyond the limit is refused, however small it is packed.
    const std::string big = documentXml("<w:p>" + runOf(std::string(200000, 'a')) + "</w:p>");
    const std::string packed = package("word/document.xml", big);
    EXPECT_LT(packed.size(), 10000u);
    EXPECT_EQ(DocxTextReader::plainText(packed).size(), 200001u);
    try {
        DocxTextReader::plainText(packed, 100000);
        FAIL() << "an oversized part was read";
    } catch (const DocxReadError& error) {
        EXPECT_NE(std::string(error.what()).find("too large"), std::string::npos) << error.what();
    }

    // A flipped byte in the compressed data fails the checksum instead of giving altered text.
    std::string damaged = package("word/document.xml", big, false);
    const auto dataStart = damaged.find("word/document.xml") + std::string("word/document.xml").size();
    damaged[dataStart + 40] = static_cast<char>(damaged[dataStart + 40] ^ 0x55);
    EXPECT_THROW(DocxTextReader::plainText(damaged), DocxReadError);
}

TEST(DocxTextReader, DeepNestingAndEntityExpansionStayBounded)
{
    std::string deep;
    for (int i = 0; i < 20000; ++i)
        deep += "<w:p>";
    EXPECT_THROW(text(deep), DocxReadError);

    // Entity definitions that would expand to gigabytes are not expanded.
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE w:document [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'k'; ++c) {
        const char previous = static_cast<char>(c - 1);
        laughs += std::string("<!ENTITY ") + c + " \"";
        for (int i = 0; i < 10; ++i)
            laughs += std::string("&") + previous + ";";
        laughs += "\">";
    }
    laughs += "]><w:document xmlns:w=\"" + std::string(wordNamespace) + "\"><w:body><w:p><w:r><w:t>&k;</w:t></w:r></w:p></w:body></w:document>";
    std::string result;
    try {
        result = DocxTextReader::plainTextOfDocumentXml(laughs);
    } catch (const DocxReadError&) {
        result = "refused";
    }
    EXPECT_LT(result.size(), 1000u);
}
