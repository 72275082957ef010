#include "exchange/DocxTextReader.h"

#include "exchange/RichTextDocument.h"
#include "base/Utf8.h"
#include "exchange/ZipPackageReader.h"

#include <libxml/xmlreader.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

namespace velquine {

namespace {

constexpr const char* wordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr const char* strictWordNamespace = "http://purl.oclc.org/ooxml/wordprocessingml/main";
constexpr const char* compatibilityNamespace = "http://schemas.openxmlformats.org/markup-compatibility/2006";
constexpr const char* relationshipsNamespace = "http://schemas.openxmlformats.org/package/2006/relationships";

constexpr int parseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

class XmlReader {
public:
    XmlReader(std::string_view xml, const char* url)
        : reader_(xmlReaderForMemory(xml.data(), static_cast<int>(xml.size()), url, nullptr, parseOptions))
    {
        if (!reader_)
            throw DocxReadError("The Word document is damaged: its XML cannot be read.");
    }
    ~XmlReader() { xmlFreeTextReader(reader_); }
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    // False at the end; throws on malformed XML.
    bool read()
    {
        const int result = xmlTextReaderRead(reader_);
        if (result < 0)
            throw DocxReadError("The Word document is damaged: its XML is not well-formed.");
        // Word never declares entities; a document type that does is refused before any is expanded.
        if (result == 1 && type() == XML_READER_TYPE_DOCUMENT_TYPE) {
            if (declaresEntities(xmlTextReaderCurrentNode(reader_)))
                throw DocxReadError("The Word document declares entities in its document type, which are not read.");
        }
        return result == 1;
    }
    // Moves past the current element and its contents to the node after it; false at the end.
    bool skipSubtree()
    {
        const int result = xmlTextReaderNext(reader_);
        if (result < 0)
            throw DocxReadError("The Word document is damaged: its XML is not well-formed.");
        return result == 1;
    }

    int type() const { return xmlTextReaderNodeType(reader_); }
    bool isEmpty() const { return xmlTextReaderIsEmptyElement(reader_) == 1; }
    std::string_view localName() const { return text(xmlTextReaderConstLocalName(reader_)); }
    std::string_view namespaceUri() const { return text(xmlTextReaderConstNamespaceUri(reader_)); }
    std::string_view value() const { return text(xmlTextReaderConstValue(reader_)); }

    std::optional<std::string> attribute(const char* name, const char* ns = nullptr) const
    {
        xmlChar* value = ns ? xmlTextReaderGetAttributeNs(reader_, BAD_CAST name, BAD_CAST ns)
                            : xmlTextReaderGetAttribute(reader_, BAD_CAST name);
        if (!value)
            return std::nullopt;
        std::string result(reinterpret_cast<const char*>(value));
        xmlFree(value);
        return result;
    }

    // The WordprocessingML namespace of the current node (transitional or strict), or none.
    const char* currentWordNamespace() const
    {
        const std::string_view ns = namespaceUri();
        if (ns == wordNamespace)
            return wordNamespace;
        if (ns == strictWordNamespace)
            return strictWordNamespace;
        return nullptr;
    }

private:
    // Looks at the document type node itself: asking for the whole document would hand it over to us and
    // keep every node read from then on.
    static bool declaresEntities(xmlNodePtr node)
    {
        if (!node || node->type != XML_DTD_NODE)
            return false;
        const auto* type = reinterpret_cast<const xmlDtd*>(node);
        return type->entities || type->pentities;
    }
    static std::string_view text(const xmlChar* value)
    {
        return value ? std::string_view(reinterpret_cast<const char*>(value)) : std::string_view();
    }

    xmlTextReaderPtr reader_;
};

// The list level a paragraph style names: "ListBullet" 0, "ListBullet2" 1, "ListNumber3" 2.
std::optional<int> levelOfListStyle(std::string_view style)
{
    for (std::string_view prefix : {std::string_view("ListBullet"), std::string_view("ListNumber")}) {
        if (style.substr(0, prefix.size()) != prefix)
            continue;
        const std::string_view rest = style.substr(prefix.size());
        if (rest.empty())
            return 0;
        if (rest.size() == 1 && rest[0] >= '2' && rest[0] <= '9')
            return rest[0] - '1';
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<int> parseLevel(const std::optional<std::string>& value)
{
    if (!value || value->empty() || value->size() > 4)
        return std::nullopt;
    int level = 0;
    for (char c : *value) {
        if (c < '0' || c > '9')
            return std::nullopt;
        level = level * 10 + (c - '0');
    }
    return std::clamp(level, 0, RichTextParagraph::maxListLevel);
}

struct Paragraph {
    std::string text;
    std::optional<int> numberingLevel;
    bool numbered = false;
    bool numberingOff = false;
    std::optional<int> styleLevel;
};

class DocumentTextReader {
public:
    explicit DocumentTextReader(std::string_view xml)
        : reader_(xml, "document.xml")
    {
    }

    std::string run()
    {
        bool more = reader_.read();
        while (more) {
            const int type = reader_.type();
            if (type == XML_READER_TYPE_ELEMENT && isSkipped()) {
                more = reader_.skipSubtree();
                continue;
            }
            if (type == XML_READER_TYPE_ELEMENT)
                startElement();
            else if (type == XML_READER_TYPE_END_ELEMENT)
                endElement();
            else if (inText_ > 0 && !paragraphs_.empty()
                     && (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA || type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE
                         || type == XML_READER_TYPE_WHITESPACE))
                paragraphs_.back().text += reader_.value();
            more = reader_.read();
        }
        while (!paragraphs_.empty())
            finishParagraph();
        return std::move(out_);
    }

private:
    // Elements whose contents are not read: the fallback copy of alternate content, tracked
    // deletions, text that was moved elsewhere (it is read where it now stands) and the former
    // paragraph properties of a tracked change.
    bool isSkipped() const
    {
        const std::string_view name = reader_.localName();
        if (reader_.namespaceUri() == compatibilityNamespace)
            return name == "Fallback";
        return reader_.currentWordNamespace() && (name == "del" || name == "moveFrom" || name == "pPrChange");
    }

    void startElement()
    {
        const std::string_view name = reader_.localName();
        const char* ns = reader_.currentWordNamespace();
        if (!ns)
            return;
        const bool empty = reader_.isEmpty();
        if (name == "p") {
            paragraphs_.push_back(Paragraph{});
            if (empty)
                finishParagraph();
            return;
        }
        if (paragraphs_.empty())
            return;
        Paragraph& paragraph = paragraphs_.back();
        if (name == "r") {
            if (!empty)
                ++inRun_;
        } else if (name == "t") {
            if (!empty)
                ++inText_;
        } else if (inRun_ > 0 && (name == "tab" || name == "ptab")) {
            paragraph.text += '\t';
        } else if (inRun_ > 0 && (name == "br" || name == "cr")) {
            paragraph.text += "\u2028";
        } else if (inRun_ > 0 && name == "noBreakHyphen") {
            paragraph.text += "\u2011";
        } else if (name == "numPr") {
            paragraph.numbered = true;
        } else if (name == "ilvl") {
            paragraph.numberingLevel = parseLevel(reader_.attribute("val", ns));
        } else if (name == "numId") {
            paragraph.numberingOff = reader_.attribute("val", ns) == std::optional<std::string>("0");
        } else if (name == "pStyle") {
            if (const auto style = reader_.attribute("val", ns))
                paragraph.styleLevel = levelOfListStyle(*style);
        }
    }

    void endElement()
    {
        if (!reader_.currentWordNamespace())
            return;
        const std::string_view name = reader_.localName();
        if (name == "p") {
            if (!paragraphs_.empty())
                finishParagraph();
        } else if (name == "r") {
            inRun_ = std::max(0, inRun_ - 1);
        } else if (name == "t") {
            inText_ = std::max(0, inText_ - 1);
        }
    }

    void finishParagraph()
    {
        Paragraph paragraph = std::move(paragraphs_.back());
        paragraphs_.pop_back();
        std::optional<int> level;
        if (paragraph.numbered && !paragraph.numberingOff)
            level = paragraph.numberingLevel.value_or(0);
        else if (!paragraph.numbered)
            level = paragraph.styleLevel;
        if (level)
            out_.append(static_cast<std::size_t>(*level), '\t');
        out_ += paragraph.text;
        out_ += '\n';
    }

    XmlReader reader_;
    std::vector<Paragraph> paragraphs_;
    int inRun_ = 0;
    int inText_ = 0;
    std::string out_;
};

// The main document part named by the package relationships, or the usual name.
std::string mainPartName(const ZipPackageReader& package, std::size_t maxPartSize)
{
    if (!package.contains("_rels/.rels"))
        return "word/document.xml";
    const std::string rels = package.read("_rels/.rels", maxPartSize);
    XmlReader reader(rels, ".rels");
    while (reader.read()) {
        if (reader.type() != XML_READER_TYPE_ELEMENT || reader.localName() != "Relationship"
            || reader.namespaceUri() != relationshipsNamespace)
            continue;
        const auto type = reader.attribute("Type");
        const auto target = reader.attribute("Target");
        if (!type || !target || reader.attribute("TargetMode") == std::optional<std::string>("External"))
            continue;
        const std::string_view suffix = "/officeDocument";
        if (type->size() >= suffix.size() && type->compare(type->size() - suffix.size(), suffix.size(), suffix) == 0) {
            std::string name = *target;
            while (!name.empty() && name.front() == '/')
                name.erase(0, 1);
            return name;
        }
    }
    return "word/document.xml";
}

} // namespace

std::string DocxTextReader::plainTextOfDocumentXml(std::string_view xml)
{
    if (xml.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw DocxReadError("The Word document is too large.");
    return DocumentTextReader(xml).run();
}

std::string DocxTextReader::plainText(std::string bytes, std::size_t maxPartSize)
{
    try {
        const ZipPackageReader package(std::move(bytes));
        const std::string name = mainPartName(package, maxPartSize);
        if (!package.contains(name))
            throw DocxReadError("The Word document has no main text part.");
        return plainTextOfDocumentXml(package.read(name, maxPartSize));
    } catch (const ZipPackageError& error) {
        throw DocxReadError(std::string("The file is not a readable Word document. ") + error.what());
    }
}

} // namespace velquine
