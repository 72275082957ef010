#include "exchange/DocxWriter.h"

#include "base/Utf8.h"
#include "exchange/XmlWriter.h"
#include "exchange/ZipPackageWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velquine {

namespace {

constexpr const char* wordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr const char* relationshipsNamespace = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr const char* relationshipTypes = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string twips(double points)
{
    return std::to_string(std::lround(points * 20.0));
}

std::string hexColor(const RichTextColor& color)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02X%02X%02X", color.red, color.green, color.blue);
    return buffer;
}

void valueElement(XmlWriter& xml, std::string_view name, std::string_view value)
{
    xml.startElement(name);
    xml.attribute("w:val", value);
    xml.endElement();
}

void writeRunProperties(XmlWriter& xml, const RichTextAttributes& a, const std::string& defaultFontFamily)
{
    xml.startElement("w:rPr");
    // Child order is fixed by the schema: rFonts, b, i, strike, color, sz, szCs, u, shd.
    const std::string& family = a.fontFamily ? *a.fontFamily : defaultFontFamily;
    if (!family.empty()) {
        xml.startElement("w:rFonts");
        xml.attribute("w:ascii", family);
        xml.attribute("w:hAnsi", family);
        xml.attribute("w:eastAsia", family);
        xml.attribute("w:cs", family);
        xml.endElement();
    }
    if (a.bold)
        xml.emptyElement("w:b");
    if (a.italic)
        xml.emptyElement("w:i");
    if (a.strikeThrough)
        xml.emptyElement("w:strike");
    if (a.foregroundColor)
        valueElement(xml, "w:color", hexColor(*a.foregroundColor));
    if (a.fontSize && *a.fontSize > 0) {
        const std::string halfPoints = std::to_string(std::max(1L, std::lround(*a.fontSize * 2.0)));
        valueElement(xml, "w:sz", halfPoints);
        valueElement(xml, "w:szCs", halfPoints);
    }
    if (a.underline)
        valueElement(xml, "w:u", "single");
    if (a.backgroundColor) {
        xml.startElement("w:shd");
        xml.attribute("w:val", "clear");
        xml.attribute("w:color", "auto");
        xml.attribute("w:fill", hexColor(*a.backgroundColor));
        xml.endElement();
    }
    xml.endElement();
}

// The run's text as w:t pieces, with w:tab for tabs and w:br for line breaks.
void writeRunContent(XmlWriter& xml, std::string_view text)
{
    std::string piece;
    const auto flush = [&] {
        if (piece.empty())
            return;
        xml.startElement("w:t");
        xml.attribute("xml:space", "preserve");
        xml.text(piece);
        xml.endElement();
        piece.clear();
    };
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = utf8::decodeNext(text, pos);
        if (c == '\t') {
            flush();
            xml.emptyElement("w:tab");
        } else if (c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029) {
            if (c == '\r' && pos < text.size() && text[pos] == '\n')
                ++pos;
            flush();
            xml.emptyElement("w:br");
        } else {
            utf8::append(piece, c);
        }
    }
    flush();
}

void writeParagraph(XmlWriter& xml, const RichTextParagraph& paragraph, const std::string& defaultFontFamily)
{
    xml.startElement("w:p");
    xml.startElement("w:pPr");
    // Child order is fixed by the schema: numPr, ind, jc, rPr.
    if (paragraph.listLevel) {
        const int level = std::clamp(*paragraph.listLevel, 0, RichTextParagraph::maxListLevel);
        xml.startElement("w:numPr");
        valueElement(xml, "w:ilvl", std::to_string(level));
        valueElement(xml, "w:numId", "1");
        xml.endElement();
    }
    xml.startElement("w:ind");
    xml.attribute("w:left", twips(paragraph.headIndent));
    const double firstLine = paragraph.firstLineHeadIndent - paragraph.headIndent;
    if (firstLine < 0)
        xml.attribute("w:hanging", twips(-firstLine));
    else
        xml.attribute("w:firstLine", twips(firstLine));
    xml.endElement();
    switch (paragraph.alignment) {
    case RichTextAlignment::natural:
        break;
    case RichTextAlignment::left:
        valueElement(xml, "w:jc", "left");
        break;
    case RichTextAlignment::center:
        valueElement(xml, "w:jc", "center");
        break;
    case RichTextAlignment::right:
        valueElement(xml, "w:jc", "right");
        break;
    case RichTextAlignment::justified:
        valueElement(xml, "w:jc", "both");
        break;
    }
    // A list item's bullet takes the size of the paragraph mark: that of the item's text, not the reader's default.
    const std::optional<double> size = paragraph.runs.empty() ? std::nullopt : paragraph.runs.front().attributes.fontSize;
    if (paragraph.listLevel && size && *size > 0) {
        const std::string halfPoints = std::to_string(std::max(1L, std::lround(*size * 2.0)));
        xml.startElement("w:rPr");
        valueElement(xml, "w:sz", halfPoints);
        valueElement(xml, "w:szCs", halfPoints);
        xml.endElement();
    }
    xml.endElement();
    for (const RichTextRun& run : paragraph.runs) {
        xml.startElement("w:r");
        writeRunProperties(xml, run.attributes, defaultFontFamily);
        writeRunContent(xml, run.text);
        xml.endElement();
    }
    xml.endElement();
}

std::string numberingXml()
{
    XmlWriter xml;
    xml.declaration();
    xml.startElement("w:numbering");
    xml.attribute("xmlns:w", wordNamespace);
    xml.startElement("w:abstractNum");
    xml.attribute("w:abstractNumId", "0");
    valueElement(xml, "w:multiLevelType", "hybridMultilevel");
    for (int level = 0; level <= RichTextParagraph::maxListLevel; ++level) {
        xml.startElement("w:lvl");
        xml.attribute("w:ilvl", std::to_string(level));
        valueElement(xml, "w:start", "1");
        valueElement(xml, "w:numFmt", "bullet");
        valueElement(xml, "w:lvlText", RichTextDocument::listMarker);
        valueElement(xml, "w:lvlJc", "left");
        xml.startElement("w:pPr");
        xml.startElement("w:ind");
        xml.attribute("w:left", twips(RichTextParagraph::listTextIndent(level)));
        xml.attribute("w:hanging", twips(RichTextParagraph::listIndentStep));
        xml.endElement();
        xml.endElement();
        xml.endElement();
    }
    xml.endElement();
    xml.startElement("w:num");
    xml.attribute("w:numId", "1");
    valueElement(xml, "w:abstractNumId", "0");
    return xml.finish();
}

std::string contentTypesXml(bool hasList)
{
    XmlWriter xml;
    xml.declaration();
    xml.startElement("Types");
    xml.attribute("xmlns", "http://schemas.openxmlformats.org/package/2006/content-types");
    xml.startElement("Default");
    xml.attribute("Extension", "rels");
    xml.attribute("ContentType", "application/vnd.openxmlformats-package.relationships+xml");
    xml.endElement();
    xml.startElement("Default");
    xml.attribute("Extension", "xml");
    xml.attribute("ContentType", "application/xml");
    xml.endElement();
    xml.startElement("Override");
    xml.attribute("PartName", "/word/document.xml");
    xml.attribute("ContentType", "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml");
    xml.endElement();
    if (hasList) {
        xml.startElement("Override");
        xml.attribute("PartName", "/word/numbering.xml");
        xml.attribute("ContentType", "application/vnd.openxmlformats-officedocument.wordprocessingml.numbering+xml");
        xml.endElement();
    }
    return xml.finish();
}

std::string relationshipsXml(std::string_view type, std::string_view target)
{
    XmlWriter xml;
    xml.declaration();
    xml.startElement("Relationships");
    xml.attribute("xmlns", relationshipsNamespace);
    xml.startElement("Relationship");
    xml.attribute("Id", "rId1");
    xml.attribute("Type", std::string(relationshipTypes) + std::string(type));
    xml.attribute("Target", target);
    return xml.finish();
}

} // namespace

std::string DocxWriter::documentXml(const RichTextDocument& document)
{
    XmlWriter xml;
    xml.declaration();
    xml.startElement("w:document");
    xml.attribute("xmlns:w", wordNamespace);
    xml.startElement("w:body");
    for (const RichTextParagraph& paragraph : document.paragraphs)
        writeParagraph(xml, paragraph, document.defaultFontFamily);
    return xml.finish();
}

std::string DocxWriter::write(const RichTextDocument& document)
{
    const bool hasList = std::any_of(document.paragraphs.begin(), document.paragraphs.end(),
                                     [](const RichTextParagraph& p) { return p.listLevel.has_value(); });
    ZipPackageWriter package;
    package.addEntry("[Content_Types].xml", contentTypesXml(hasList));
    package.addEntry("_rels/.rels", relationshipsXml("officeDocument", "word/document.xml"));
    package.addEntry("word/document.xml", documentXml(document));
    if (hasList) {
        package.addEntry("word/_rels/document.xml.rels", relationshipsXml("numbering", "numbering.xml"));
        package.addEntry("word/numbering.xml", numberingXml());
    }
    return package.finish();
}

} // namespace velquine
