#include "picture/SvgImageData.h"

#include "picture/PictureDecoding.h"
#include "picture/PictureChecks.h"

#include <QBuffer>
#include <QImageReader>
#include <QLocale>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <zlib.h>

namespace velquine {

namespace {

bool isSvgFormat(const QByteArray& format)
{
    return format == "svg" || format == "svgz";
}

QByteArray imageFormat(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader::imageFormat(&buffer);
}

// The text of a compressed SVG image (gzip or zlib); nothing when it does not unpack whole within the limit
// (tooLong tells which).
std::optional<QByteArray> inflated(const QByteArray& bytes, bool& tooLong)
{
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 32) != Z_OK) // gzip or zlib, told by the header
        return std::nullopt;
    QByteArray text;
    char chunk[1 << 16];
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = uInt(bytes.size());
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END)
            break;
        text.append(chunk, qsizetype(sizeof chunk - stream.avail_out));
        if (text.size() > SvgImageData::maximumTextBytes) {
            tooLong = true;
            result = Z_MEM_ERROR;
            break;
        }
        if (result == Z_OK && stream.avail_in == 0 && stream.avail_out != 0)
            result = Z_BUF_ERROR; // ends before its end
    }
    inflateEnd(&stream);
    if (result != Z_STREAM_END)
        return std::nullopt;
    return text;
}

// ---- What the text costs with its entities expanded ----

// The general entities the internal subset of a document type declares, read by a scan that follows the
// subset's quoting and comments, and where the subset ends. Only as much XML as the cost needs is understood:
// the SVG reader checks the document itself.
struct EntityDeclarations {
    std::unordered_map<std::string_view, std::string_view> values; // name -> replacement text as written
    bool parameterEntities = false;                                   // declarations the scan does not follow
    std::size_t bodyStart = 0;                                        // after the document type
};

bool isNameCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':' || c == '-' || c == '.'
        || static_cast<unsigned char>(c) >= 0x80;
}

// The position after the quoted literal that starts at `at`, or npos when it does not end.
std::size_t afterLiteral(std::string_view text, std::size_t at)
{
    const std::size_t close = text.find(text[at], at + 1);
    return close == std::string_view::npos ? close : close + 1;
}

// The position after the markup declaration or comment that starts at `at` (quoted text skipped).
std::size_t afterDeclaration(std::string_view text, std::size_t at)
{
    if (text.substr(at, 4) == "<!--") {
        const std::size_t close = text.find("-->", at + 4);
        return close == std::string_view::npos ? close : close + 3;
    }
    for (std::size_t i = at + 1; i < text.size();) {
        if (text[i] == '"' || text[i] == '\'') {
            i = afterLiteral(text, i);
            if (i == std::string_view::npos)
                return i;
        } else if (text[i] == '>') {
            return i + 1;
        } else {
            ++i;
        }
    }
    return std::string_view::npos;
}

EntityDeclarations entityDeclarations(std::string_view text)
{
    EntityDeclarations found;
    const std::size_t doctype = text.find("<!DOCTYPE");
    if (doctype == std::string_view::npos)
        return found;
    std::size_t i = doctype + 9;
    // The external identifier, up to the internal subset or the end of the document type.
    while (i < text.size() && text[i] != '[' && text[i] != '>') {
        if (text[i] == '"' || text[i] == '\'') {
            i = afterLiteral(text, i);
            if (i == std::string_view::npos)
                return found;
        } else {
            ++i;
        }
    }
    if (i < text.size() && text[i] == '[') {
        ++i;
        while (i < text.size() && text[i] != ']') {
            if (text[i] == '%') {
                found.parameterEntities = true;
                ++i;
            } else if (text[i] != '<') {
                ++i;
            } else {
                const std::size_t end = afterDeclaration(text, i);
                if (end == std::string_view::npos)
                    return found;
                std::string_view declaration = text.substr(i, end - i);
                i = end;
                if (!declaration.starts_with("<!ENTITY"))
                    continue;
                declaration.remove_prefix(8);
                const auto skipSpace = [&] {
                    while (!declaration.empty() && std::isspace(static_cast<unsigned char>(declaration.front())))
                        declaration.remove_prefix(1);
                };
                skipSpace();
                if (declaration.starts_with('%')) {
                    found.parameterEntities = true;
                    continue;
                }
                std::size_t nameLength = 0;
                while (nameLength < declaration.size() && isNameCharacter(declaration[nameLength]))
                    ++nameLength;
                const std::string_view name = declaration.substr(0, nameLength);
                declaration.remove_prefix(nameLength);
                skipSpace();
                // An external entity (SYSTEM or PUBLIC) is never read: it expands to nothing.
                if (name.empty() || declaration.empty() || (declaration.front() != '"' && declaration.front() != '\''))
                    continue;
                const std::size_t close = declaration.find(declaration.front(), 1);
                if (close != std::string_view::npos)
                    found.values.emplace(name, declaration.substr(1, close - 1)); // the first declaration holds
            }
        }
    }
    const std::size_t close = text.find('>', i);
    found.bodyStart = close == std::string_view::npos ? text.size() : close + 1;
    return found;
}

// The characters the entity references in `text` add when expanded, each reference counted with at most what
// the reader lets one entity expand to. Names the scan does not know add that much when the document type
// declares parameter entities (which may declare them), else nothing.
std::int64_t expansionGrowth(std::string_view text, const EntityDeclarations& declared,
                             const std::function<std::int64_t(std::string_view)>& expandedLength)
{
    std::int64_t growth = 0;
    for (std::size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
        std::size_t end = at + 1;
        while (end < text.size() && isNameCharacter(text[end]))
            ++end;
        if (end == at + 1 || end >= text.size() || text[end] != ';')
            continue; // a character reference, or no reference
        const std::string_view name = text.substr(at + 1, end - at - 1);
        std::int64_t length = 0;
        if (declared.values.count(name))
            length = expandedLength(name);
        else if (declared.parameterEntities)
            length = QXmlStreamReader().entityExpansionLimit();
        growth += std::max<std::int64_t>(0, length - std::int64_t(end + 1 - at));
    }
    return growth;
}

// The drawing steps of an image, each element counted as often as it is drawn. Elements are numbered in
// document order, so the elements inside one run up to the end of its last descendant; an element that uses
// another (`<use>`) draws it again, with all the elements inside it, wherever it stands.
class DrawingWork {
public:
    void open(QStringView name, const QXmlStreamAttributes& attributes)
    {
        const int index = int(elements_.size());
        const bool text = isText(name);
        elements_.push_back({text ? SvgImageData::textElementSteps : SvgImageData::elementSteps, 0, index + 1,
                             -1, isDrawn(name), text});
        // An element's id, as the SVG reader finds it: "id", else "xml:id".
        QStringView id = attributes.value(QLatin1String("id"));
        if (id.isEmpty())
            id = attributes.value(QLatin1String("http://www.w3.org/XML/1998/namespace"), QLatin1String("id"));
        if (!id.isEmpty())
            ids_[id.toString()].push_back(index);
        // A reference as it is written for the SVG reader (keptReference): without white space around it.
        if (name == QLatin1String("use"))
            for (const QXmlStreamAttribute& attribute : attributes)
                if (const QStringView reference = attribute.value().trimmed();
                    attribute.name() == QLatin1String("href") && reference.startsWith(u'#'))
                    uses_.emplace_back(index, reference.mid(1).toString());
        insideText_ += text;
        open_.push_back(index);
    }
    // Characters inside text: the first longTextCharacters of an element at characterSteps each, those after at a
    // third as much (the layout of one long text costs less a character).
    void characters(qsizetype count)
    {
        if (insideText_ == 0 || open_.empty())
            return;
        Element& element = elements_[std::size_t(open_.back())];
        const std::int64_t first = std::clamp<std::int64_t>(longTextCharacters - element.characters, 0, count);
        element.steps += first * SvgImageData::characterSteps + (count - first) * (SvgImageData::characterSteps / 3);
        element.characters += count;
    }
    void close()
    {
        if (open_.empty())
            return;
        Element& element = elements_[std::size_t(open_.back())];
        element.end = int(elements_.size());
        insideText_ -= element.text;
        open_.pop_back();
    }
    // The steps of the whole image, counted up to just past maximumDrawingSteps.
    std::int64_t total();

private:
    static constexpr std::int64_t longTextCharacters = 10000;
    struct Element {
        std::int64_t steps; // its own; all it draws once total() has run
        std::int64_t characters;
        int end;            // after its last descendant
        int target;         // the element it uses, or -1
        bool drawn;         // drawn where it stands (not a definition for others to use)
        bool text;
    };
    static bool isText(QStringView name)
    {
        return name == QLatin1String("text") || name == QLatin1String("tspan") || name == QLatin1String("textArea")
            || name == QLatin1String("textPath") || name == QLatin1String("tref");
    }
    static bool isDrawn(QStringView name)
    {
        static const char* const definitions[] = {"defs", "symbol", "clipPath", "mask", "pattern", "marker",
                                                  "linearGradient", "radialGradient", "title", "desc", "metadata"};
        return std::none_of(std::begin(definitions), std::end(definitions),
                            [&](const char* definition) { return name == QLatin1String(definition); });
    }

    std::vector<Element> elements_;
    std::vector<int> open_;
    std::unordered_map<QString, std::vector<int>> ids_; // the elements of each id, in document order
    std::vector<std::pair<int, QString>> uses_;
    int insideText_ = 0;
};

std::int64_t DrawingWork::total()
{
    if (elements_.empty())
        return 0;
    // The SVG reader draws, of the elements of an id, the last one before the use, else the last one after it.
    for (const auto& [index, id] : uses_) {
        if (const auto found = ids_.find(id); found != ids_.end()) {
            const std::vector<int>& elements = found->second;
            const auto after = std::lower_bound(elements.begin(), elements.end(), index);
            elements_[std::size_t(index)].target = after == elements.begin() ? elements.back() : *(after - 1);
        }
    }
    const std::int64_t most = SvgImageData::maximumDrawingSteps + 1;
    const auto add = [most](std::int64_t a, std::int64_t b) { return std::min(a + b, most); };
    // Each element's steps with those of its children and of what it uses, walked depth first without
    // recursion; a use of an element being counted (which the SVG reader does not draw) counts nothing.
    enum : char { unseen, counting, counted };
    std::vector<char> state(elements_.size(), unseen);
    struct Frame {
        int element;
        int next;         // its next child
        int waitingFor;   // the child or used element being counted, or -1
        bool usedCounted; // what it uses is counted
    };
    std::vector<Frame> stack{{0, 1, -1, false}};
    state[0] = counting;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        Element& element = elements_[std::size_t(frame.element)];
        if (frame.waitingFor >= 0) {
            const Element& done = elements_[std::size_t(frame.waitingFor)];
            if (frame.waitingFor == element.target || done.drawn)
                element.steps = add(element.steps, done.steps);
            frame.waitingFor = -1;
        }
        int next = -1;
        if (frame.next < element.end) {
            next = frame.next;
            frame.next = elements_[std::size_t(next)].end;
        } else if (!frame.usedCounted) {
            frame.usedCounted = true;
            next = element.target;
        } else {
            state[std::size_t(frame.element)] = counted;
            stack.pop_back();
            continue;
        }
        if (next < 0 || state[std::size_t(next)] == counting)
            continue;
        if (state[std::size_t(next)] == counted) {
            frame.waitingFor = next;
            continue;
        }
        frame.waitingFor = next;
        state[std::size_t(next)] = counting;
        stack.push_back({next, next + 1, -1, false});
    }
    return elements_[0].steps;
}

// What the rewriting has let through so far.
struct Rewriting {
    std::int64_t embeddedPixels = 0; // of the embedded pictures kept
    std::string refusal;             // why the image is not read, once known
    DrawingWork work;
};

// An embedded picture written again as "data:image/<format>;base64,…", the one form the SVG reader decodes;
// nothing for one that cannot be decoded or is itself an SVG image (which could name files of its own). It goes
// through the checks of a picture on its own, and its pixels are counted.
std::optional<QString> embeddedPicture(const QString& address, Rewriting& rewriting)
{
    const qsizetype comma = address.indexOf(u',');
    if (comma < 0)
        return std::nullopt;
    const QString header = address.left(comma).toLower();
    const QByteArray payload = address.mid(comma + 1).toLatin1();
    const QByteArray bytes = header.endsWith(QLatin1String(";base64"))
                                 ? QByteArray::fromBase64(payload)
                                 : QByteArray::fromPercentEncoding(payload);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format.isEmpty() || isSvgFormat(format))
        return std::nullopt;
    PictureStatement statement = PictureChecks::inspect(bytes);
    if (statement.refusal.empty() && !statement.size.isValid()) {
        // A format the checks do not read: the reader's header tells its size.
        statement.size = reader.size();
        statement.pixels = PictureChecks::pixelsOf(statement.size, 32);
        statement.refusal = PictureChecks::sizeRefusal(statement.size, 32);
    }
    if (!statement.refusal.empty()) {
        rewriting.refusal = "The SVG picture embeds a picture that cannot be read. " + statement.refusal;
        return std::nullopt;
    }
    rewriting.embeddedPixels += statement.pixels;
    if (rewriting.embeddedPixels > SvgImageData::maximumEmbeddedPixels())
        rewriting.refusal = "The pictures embedded in the SVG picture have more than "
            + millionsOf(SvgImageData::maximumEmbeddedPixels()) + " pixels together; Velquine reads up to that many.";
    return QStringLiteral("data:image/") + QString::fromLatin1(format) + QStringLiteral(";base64,")
        + QString::fromLatin1(bytes.toBase64());
}

// What a reference attribute of an element may keep: a place in the image itself, or an embedded picture of an
// image element. Nothing when it leads outside.
std::optional<QString> keptReference(QStringView element, const QString& value, Rewriting& rewriting)
{
    const QString reference = value.trimmed();
    if (reference.startsWith(u'#'))
        return reference;
    if (element == QLatin1String("image") && reference.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
        return embeddedPicture(reference, rewriting);
    return std::nullopt;
}

void writeStartElement(QXmlStreamReader& reader, QXmlStreamWriter& writer, Rewriting& rewriting)
{
    // The declarations first, with their own prefixes: the SVG reader finds attributes such as "xlink:href" by
    // the prefix they are written with.
    for (const QXmlStreamNamespaceDeclaration& declaration : reader.namespaceDeclarations()) {
        if (declaration.prefix().isEmpty())
            writer.writeDefaultNamespace(declaration.namespaceUri().toString());
        else
            writer.writeNamespace(declaration.namespaceUri().toString(), declaration.prefix().toString());
    }
    writer.writeStartElement(reader.namespaceUri().toString(), reader.name().toString());
    for (const QXmlStreamAttribute& attribute : reader.attributes()) {
        QString value = attribute.value().toString();
        if (attribute.name() == QLatin1String("href")) {
            const std::optional<QString> kept = keptReference(reader.name(), value, rewriting);
            if (!kept)
                continue;
            value = *kept;
        }
        if (attribute.namespaceUri().isEmpty())
            writer.writeAttribute(attribute.qualifiedName().toString(), value);
        else
            writer.writeAttribute(attribute.namespaceUri().toString(), attribute.name().toString(), value);
    }
}

// Copies elements, attributes and text; comments, processing instructions, the document type with its entity
// declarations (their text stands expanded) and references to entities declared nowhere are not copied. Nothing
// when the text is no well-formed document, or once rewriting.refusal says why the image is not read.
std::optional<QByteArray> rewrite(const QByteArray& text, Rewriting& rewriting)
{
    QXmlStreamReader reader(text);
    QByteArray rewritten;
    QXmlStreamWriter writer(&rewritten);
    writer.writeStartDocument();
    while (!reader.atEnd() && rewriting.refusal.empty()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            rewriting.work.open(reader.name(), reader.attributes());
            writeStartElement(reader, writer, rewriting);
            if (reader.name() == QLatin1String("style")) {
                // A style sheet that imports another is dropped with its element.
                const QString sheet = reader.readElementText(QXmlStreamReader::IncludeChildElements);
                if (!sheet.contains(QLatin1String("@import"), Qt::CaseInsensitive))
                    writer.writeCharacters(sheet);
                writer.writeEndElement();
                rewriting.work.close();
            }
            break;
        case QXmlStreamReader::EndElement:
            writer.writeEndElement();
            rewriting.work.close();
            break;
        case QXmlStreamReader::Characters:
            writer.writeCharacters(reader.text().toString());
            rewriting.work.characters(reader.text().size());
            break;
        default:
            break;
        }
    }
    if (reader.hasError() || !rewriting.refusal.empty())
        return std::nullopt;
    writer.writeEndDocument();
    return rewritten;
}

} // namespace

std::optional<std::string> SvgImageData::expansionRefusal(const QByteArray& bytes)
{
    const std::string_view text(bytes.constData(), std::size_t(bytes.size()));
    const EntityDeclarations declared = entityDeclarations(text);
    const std::int64_t limit = QXmlStreamReader().entityExpansionLimit();
    // Replacement texts expanded once each, entities named in them included; an entity beyond the reader's limit
    // (or one that names itself) counts as the limit.
    std::unordered_map<std::string_view, std::int64_t> lengths;
    // A chain of entities deeper than this counts each of its links as the limit, so the walk needs little stack.
    constexpr int deepest = 32;
    int depth = 0;
    std::function<std::int64_t(std::string_view)> expandedLength = [&](std::string_view name) -> std::int64_t {
        if (const auto known = lengths.find(name); known != lengths.end())
            return known->second;
        if (depth >= deepest)
            return limit;
        lengths[name] = limit; // while it is being expanded
        const std::string_view value = declared.values.at(name);
        ++depth;
        const std::int64_t growth = expansionGrowth(value, declared, expandedLength);
        --depth;
        const std::int64_t length = std::min(limit, std::int64_t(value.size()) + growth);
        lengths[name] = length;
        return length;
    };
    const std::int64_t expanded = std::int64_t(text.size()) + expansionGrowth(text.substr(std::min(declared.bodyStart, text.size())), declared, expandedLength);
    if (expanded <= maximumTextBytes)
        return std::nullopt;
    const QLocale locale(QLocale::English);
    return "The SVG picture's text, with its entities expanded, runs to "
        + locale.toString(qlonglong(expanded)).toStdString() + " characters; Velquine reads SVG pictures of up to "
        + locale.toString(qlonglong(maximumTextBytes)).toStdString() + " characters.";
}

std::int64_t SvgImageData::maximumEmbeddedPixels()
{
    return PictureDecoding::readablePixels();
}

bool SvgImageData::isSvg(const QByteArray& bytes)
{
    return isSvgFormat(imageFormat(bytes));
}

std::optional<QByteArray> SvgImageData::selfContained(const QByteArray& bytes, std::string* refusal,
                                                     std::int64_t* embeddedPixels)
{
    const auto refuse = [refusal](std::string why) -> std::optional<QByteArray> {
        if (refusal)
            *refusal = std::move(why);
        return std::nullopt;
    };
    const QLocale locale(QLocale::English);
    const std::string tooLong = "The SVG picture's text runs to more than "
        + locale.toString(qlonglong(maximumTextBytes)).toStdString()
        + " characters; Velquine reads SVG pictures of up to that many.";
    QByteArray text = bytes;
    if (bytes.startsWith("\x1f\x8b")) {
        bool unpacksTooLong = false;
        std::optional<QByteArray> unpacked = inflated(bytes, unpacksTooLong);
        if (!unpacked)
            return unpacksTooLong ? refuse(tooLong) : std::nullopt;
        text = std::move(*unpacked);
    }
    if (text.size() > maximumTextBytes)
        return refuse(tooLong);
    if (std::optional<std::string> expansion = expansionRefusal(text))
        return refuse(std::move(*expansion));

    Rewriting rewriting;
    std::optional<QByteArray> rewritten = rewrite(text, rewriting);
    if (!rewriting.refusal.empty())
        return refuse(std::move(rewriting.refusal));
    if (!rewritten)
        return std::nullopt;
    const std::int64_t steps = rewriting.work.total();
    if (steps > maximumDrawingSteps)
        return refuse("The SVG picture takes more than " + locale.toString(qlonglong(maximumDrawingSteps)).toStdString()
                      + " steps to draw (an element counted each time it is used, a text and each of its characters "
                        "as many); Velquine reads SVG pictures of up to that many.");
    if (embeddedPixels)
        *embeddedPixels = rewriting.embeddedPixels;
    return rewritten;
}

} // namespace velquine
