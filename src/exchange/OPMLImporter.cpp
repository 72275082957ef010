#include "exchange/OPMLImporter.h"

#include "exchange/PlainTextImporter.h"
#include "exchange/StringBuilder.h"
#include "platform/Log.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QXmlStreamReader>

#include <algorithm>
#include <optional>

namespace velquine {

namespace {

std::string lowered(QStringView name)
{
    return name.toString().toLower().toStdString();
}

enum class Element { head, title, outline, other };

// The element a tag name stands for, compared without case. Plain ASCII names, nearly all of them, are
// lowered by hand without copying.
Element elementOf(QStringView name)
{
    const bool ascii = std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        const std::string lower = lowered(name);
        return lower == "head" ? Element::head : lower == "title" ? Element::title : lower == "outline" ? Element::outline : Element::other;
    }
    const auto is = [name](std::string_view lower) {
        return std::size_t(name.size()) == lower.size() &&
               std::equal(lower.begin(), lower.end(), name.begin(), [](char l, QChar c) {
                   const char16_t u = c.unicode();
                   return char16_t(l) == (u >= u'A' && u <= u'Z' ? u + (u'a' - u'A') : u);
               });
    };
    return is("outline") ? Element::outline : is("head") ? Element::head : is("title") ? Element::title : Element::other;
}

// About how many outline elements the document holds: the tags starting with "o" (a large list is made once,
// not grown).
std::size_t likelyOutlineCount(std::string_view data)
{
    std::size_t count = 0;
    for (std::size_t at = data.find('<'); at != std::string_view::npos; at = data.find('<', at + 1)) {
        if (at + 1 < data.size() && (data[at + 1] | 0x20) == 'o')
            ++count;
    }
    return count;
}

// Whether some start tag holds more attributes than an element may have, found by a plain scan of the bytes
// that counts the "=" outside quoted values of each start tag; comments, character data sections,
// declarations, processing instructions and end tags are passed over whole.
bool hasCrowdedElement(std::string_view data)
{
    const auto skipPast = [&data](std::size_t from, std::string_view end) {
        const std::size_t at = data.find(end, from);
        return at == std::string_view::npos ? data.size() : at + end.size();
    };
    std::size_t at = data.find('<');
    while (at < data.size()) {
        const std::string_view rest = data.substr(at + 1);
        if (rest.substr(0, 3) == "!--") {
            at = skipPast(at + 4, "-->");
        } else if (rest.substr(0, 8) == "![CDATA[") {
            at = skipPast(at + 9, "]]>");
        } else if (rest.substr(0, 1) == "?") {
            at = skipPast(at + 2, "?>");
        } else {
            // A start tag (or an end tag or declaration, which count nothing that matters): up to its '>'.
            std::size_t attributes = 0;
            char quote = 0;
            for (++at; at < data.size(); ++at) {
                const char c = data[at];
                if (quote) {
                    quote = c == quote ? 0 : quote;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '=') {
                    if (++attributes > OPMLImporter::maximumAttributes)
                        return true;
                } else if (c == '>') {
                    break;
                }
            }
        }
        at = at < data.size() ? data.find('<', at) : std::string_view::npos;
    }
    return false;
}

} // namespace

// One pass of the reader over a document, filling the importer.
struct OPMLImporter::Reading {
    Reading(OPMLImporter& target, std::vector<Node>& nodes) : importer(target), made(nodes) { }

    OPMLImporter& importer;
    NodeStyle style = PlainTextImporter::importStyle();
    // The nodes made, in document order, and where in that list the open outline elements stand,
    // innermost last.
    std::vector<Node>& made;
    std::vector<std::size_t> open;
    int headDepth = 0;
    bool inTitle = false;
    QString title;
    bool titleTaken = false;

    void startElement(const QXmlStreamReader& reader)
    {
        const Element element = elementOf(reader.name());
        if (element == Element::head) {
            ++headDepth;
            return;
        }
        if (element == Element::title) {
            debugLog(__FILE__, "parser(_:didStartElement:namespaceURI:qualifiedName:attributes:)", __LINE__,
                     reader.qualifiedName().toString().toStdString());
            inTitle = headDepth > 0 && !titleTaken;
            return;
        }
        if (element != Element::outline)
            return;

        Node node(importer.nodeID, std::nullopt, style);
        if (!importer.parentStack.empty())
            node.parentUID = importer.parentStack.back();
        StringBuilder note;
        for (const QXmlStreamAttribute& attribute : reader.attributes()) {
            const QStringView key = attribute.qualifiedName();
            if (key == QLatin1String("text")) {
                const QByteArray title = attribute.value().toUtf8();
                node.title.assign(title.constData(), std::size_t(title.size()));
                continue;
            }
            std::string label = capitalized(key.toString().toStdString());
            std::replace(label.begin(), label.end(), '_', ' ');
            note.append(label).append(": ").appendLine(attribute.value().toString().toStdString());
        }
        node.note = note.toString();

        if (!open.empty() && made[open.back()].uid == node.parentUID)
            made[open.back()].childrenUIDs.push_back(node.uid);
        importer.parentStack.push_back(node.uid);
        ++importer.nodeID;
        open.push_back(made.size());
        made.push_back(std::move(node));
    }

    void endElement(const QXmlStreamReader& reader)
    {
        const Element element = elementOf(reader.name());
        if (element == Element::outline) {
            closeOutline();
        } else if (element == Element::head) {
            headDepth = std::max(0, headDepth - 1);
        } else if (element == Element::title && inTitle) {
            inTitle = false;
            titleTaken = true;
            importer.documentTitle = title.trimmed().toStdString();
        }
    }

    void closeOutline()
    {
        if (importer.parentStack.empty())
            return;
        importer.parentStack.pop_back();
        if (!open.empty())
            open.pop_back();
    }

    // Refuses a document type that declares entities: expanding them is how a small file asks for
    // gigabytes, and outlines never need them.
    void checkDocumentType(const QXmlStreamReader& reader, std::string_view source)
    {
        if (!reader.entityDeclarations().isEmpty())
            throw TextError("The OPML file declares entities in its document type, which are not read: "
                            + std::string(source));
    }

    void run(std::string_view data, std::string_view source)
    {
        // The XML reader takes time that grows with the square of one element's attributes.
        if (hasCrowdedElement(data))
            throw TextError("The OPML file holds an element with more than "
                            + std::to_string(OPMLImporter::maximumAttributes)
                            + " attributes, which is not read: " + std::string(source));
        // The stream reader never loads anything from outside the document.
        QXmlStreamReader reader(QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size())));
        const std::size_t madeBefore = made.size();
        made.reserve(madeBefore + likelyOutlineCount(data));
        bool declaresType = false;
        while (!reader.atEnd()) {
            switch (reader.readNext()) {
            case QXmlStreamReader::DTD:
                declaresType = true;
                checkDocumentType(reader, source);
                break;
            case QXmlStreamReader::StartElement:
                startElement(reader);
                break;
            case QXmlStreamReader::EndElement:
                endElement(reader);
                break;
            case QXmlStreamReader::Characters:
                if (inTitle)
                    title += reader.text();
                break;
            default:
                break;
            }
        }
        // A document that yields nothing because its entities failed is an error, not an empty outline.
        const bool entityFailure = reader.errorString().contains(QLatin1String("ntity"));
        if (reader.hasError() && made.size() == madeBefore && importer.graph.isEmpty() && (declaresType || entityFailure))
            throw TextError("The OPML file could not be read (" + reader.errorString().toStdString()
                            + "): " + std::string(source));
        // A damaged document ends at its first error: the outlines still open keep the children they got.
        if (reader.hasError())
            importer.damage = OPMLImporter::Damage{reader.lineNumber(), reader.columnNumber() + 1,
                                                   reader.errorString().toStdString()};
        importer.parentStack.clear();
    }
};

namespace {

// Reads into the list when one is given, else into a list whose nodes then go into the graph.
template <typename Read>
void readInto(Graph& graph, std::vector<Node>* nodes, Read read)
{
    if (nodes) {
        read(*nodes);
        return;
    }
    std::vector<Node> made;
    read(made);
    for (Node& node : made)
        graph.storeNode(std::move(node));
}

} // namespace

void OPMLImporter::parseData(std::string_view data, std::vector<Node>* nodes)
{
    readInto(graph, nodes, [&](std::vector<Node>& into) { Reading(*this, into).run(data, "pasted OPML"); });
}

void OPMLImporter::parseFile(const std::string& path, std::vector<Node>* nodes)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        throw TextError(logLine(__FILE__, "parseFile(_:)", __LINE__, "can not open url: " + path));
    const QByteArray bytes = file.readAll();
    const std::string_view data(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    readInto(graph, nodes, [&](std::vector<Node>& into) { Reading(*this, into).run(data, path); });
}

std::string OPMLImporter::capitalized(std::string_view text)
{
    const QList<uint> scalars = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUcs4();
    QString out;
    out.reserve(scalars.size());
    bool wordStart = true;
    for (uint scalar : scalars) {
        uint mapped = scalar;
        if (QChar::isLetterOrNumber(scalar)) {
            mapped = wordStart ? QChar::toUpper(scalar) : QChar::toLower(scalar);
            wordStart = false;
        } else {
            wordStart = true;
        }
        const char32_t unit = static_cast<char32_t>(mapped);
        out.append(QString::fromUcs4(&unit, 1));
    }
    return out.toStdString();
}

} // namespace velquine
