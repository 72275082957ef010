#include "exchange/DocxTextReader.h"
#include "exchange/DocxWriter.h"
#include "exchange/ZipPackageReader.h"

#include "ExchangeTestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace velquine;
using namespace velquine::testing;

namespace {

constexpr const char* declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

} // namespace

TEST(DocxWriter, PackageHoldsTheMinimalPartsAndTheListDefinition)
{
    ZipPackageReader package(DocxWriter::write(sampleOutline()));
    EXPECT_EQ(package.read("[Content_Types].xml", 1 << 20),
              std::string(declaration)
                  + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                    "<Override PartName=\"/word/document.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
                    "<Override PartName=\"/word/numbering.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.numbering+xml\"/>"
                    "</Types>");
    EXPECT_EQ(package.read("_rels/.rels", 1 << 20),
              std::string(declaration)
                  + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
                    "Target=\"word/document.xml\"/></Relationships>");
    EXPECT_EQ(package.read("word/_rels/document.xml.rels", 1 << 20),
              std::string(declaration)
                  + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/numbering\" "
                    "Target=\"numbering.xml\"/></Relationships>");
    const std::string numbering = package.read("word/numbering.xml", 1 << 20);
    EXPECT_NE(numbering.find("<w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/><w:numFmt w:val=\"bullet\"/><w:lvlText w:val=\"\u2022\"/>"
                             "<w:lvlJc w:val=\"left\"/><w:pPr><w:ind w:left=\"720\" w:hanging=\"720\"/></w:pPr></w:lvl>"),
              std::string::npos)
        << numbering;
    EXPECT_NE(numbering.find("<w:lvl w:ilvl=\"8\">"), std::string::npos);
    EXPECT_EQ(numbering.find("<w:lvl w:ilvl=\"9\">"), std::string::npos);
    EXPECT_NE(numbering.find("<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>"), std::string::npos);
}

TEST(DocxWriter, DocumentWithoutListsHasNoNumberingPart)
{
    RichTextDocument document;
    RichTextParagraph paragraph;
    paragraph.runs.push_back(run("Just text"));
    document.paragraphs.push_back(paragraph);
    ZipPackageReader package(DocxWriter::write(document));
    EXPECT_FALSE(package.contains("word/numbering.xml"));
    EXPECT_FALSE(package.contains("word/_rels/document.xml.rels"));
    EXPECT_EQ(package.read("[Content_Types].xml", 1 << 20).find("numbering"), std::string::npos);
    EXPECT_EQ(DocxWriter::documentXml(RichTextDocument{}),
              std::string(declaration) + "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body/></w:document>");
}

TEST(DocxWriter, ParagraphAndRunPropertiesInSchemaOrder)
{
    const std::string xml = DocxWriter::documentXml(sampleOutline());
    EXPECT_NE(xml.find("<w:p><w:pPr><w:numPr><w:ilvl w:val=\"1\"/><w:numId w:val=\"1\"/></w:numPr><w:ind w:left=\"400\" w:firstLine=\"0\"/>"
                       "<w:rPr><w:sz w:val=\"29\"/><w:szCs w:val=\"29\"/></w:rPr></w:pPr>"
                       "<w:r><w:rPr><w:rFonts w:ascii=\"Liberation Serif\" w:hAnsi=\"Liberation Serif\" w:eastAsia=\"Liberation Serif\" "
                       "w:cs=\"Liberation Serif\"/><w:b/><w:i/><w:strike/><w:color w:val=\"0080FF\"/><w:sz w:val=\"29\"/><w:szCs w:val=\"29\"/>"
                       "<w:u w:val=\"single\"/></w:rPr><w:t xml:space=\"preserve\">Tom &amp; Jerry's {braces} \\ &lt;tags&gt;</w:t></w:r></w:p>"),
              std::string::npos)
        << xml;
    // A run without attributes still names the document's font.
    EXPECT_NE(xml.find("<w:rPr><w:rFonts w:ascii=\"DejaVu Sans\" w:hAnsi=\"DejaVu Sans\" w:eastAsia=\"DejaVu Sans\" w:cs=\"DejaVu Sans\"/></w:rPr>"
                       "<w:t xml:space=\"preserve\">B</w:t>"),
              std::string::npos);

    RichTextDocument document;
    RichTextParagraph paragraph;
    paragraph.alignment = RichTextAlignment::justified;
    paragraph.headIndent = 36;
    paragraph.firstLineHeadIndent = 18;
    paragraph.runs.push_back(run("a\tb\nc\r\nd\u2028e \x01\x0b"));
    document.paragraphs.push_back(paragraph);
    document.defaultFontFamily.clear();
    EXPECT_EQ(DocxWriter::documentXml(document),
              std::string(declaration)
                  + "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>"
                    "<w:p><w:pPr><w:ind w:left=\"720\" w:hanging=\"360\"/><w:jc w:val=\"both\"/></w:pPr><w:r><w:rPr/>"
                    "<w:t xml:space=\"preserve\">a</w:t><w:tab/><w:t xml:space=\"preserve\">b</w:t><w:br/>"
                    "<w:t xml:space=\"preserve\">c</w:t><w:br/><w:t xml:space=\"preserve\">d</w:t><w:br/>"
                    "<w:t xml:space=\"preserve\">e </w:t></w:r></w:p></w:body></w:document>");
}

TEST(DocxWriter, XmllintAndUnzipAcceptThePackage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("outline.docx");
    ASSERT_TRUE(writeFile(path, DocxWriter::write(sampleOutline())));
    const auto test = runTool("unzip", {"-t", path});
    VQ_REQUIRE_TOOL(test, "unzip");
    EXPECT_EQ(test->exitCode, 0) << test->out;
    for (const char* part : {"[Content_Types].xml", "_rels/.rels", "word/document.xml", "word/_rels/document.xml.rels", "word/numbering.xml"}) {
        const auto contents = runTool("unzip", {"-p", path, QString::fromLatin1(part).replace("[", "\\[").replace("]", "\\]")});
        ASSERT_TRUE(contents);
        ASSERT_FALSE(contents->out.empty()) << part;
        const auto lint = runTool("xmllint", {"--noout", "-"}, QByteArray::fromStdString(contents->out));
        VQ_REQUIRE_TOOL(lint, "xmllint");
        EXPECT_EQ(lint->exitCode, 0) << part << ": " << lint->err;
    }
}
