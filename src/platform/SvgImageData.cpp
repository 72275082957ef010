#include "platform/SvgImageData.h"

#include <QBuffer>
#include <QImageReader>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

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

// The text of a compressed SVG image (gzip or zlib); nothing when it does not unpack whole within the limit.
std::optional<QByteArray> inflated(const QByteArray& bytes)
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

// An embedded picture written again as "data:image/<format>;base64,…", the one form the SVG reader decodes;
// nothing for one that cannot be decoded or is itself an SVG image (which could name files of its own).
std::optional<QString> embeddedPicture(const QString& address)
{
    const qsizetype comma = address.indexOf(u',');
    if (comma < 0)
        return std::nullopt;
    const QString header = address.left(comma).toLower();
    const QByteArray payload = address.mid(comma + 1).toLatin1();
    const QByteArray bytes = header.endsWith(QLatin1String(";base64"))
                                 ? QByteArray::fromBase64(payload)
                                 : QByteArray::fromPercentEncoding(payload);
    const QByteArray format = imageFormat(bytes);
    if (format.isEmpty() || isSvgFormat(format))
        return std::nullopt;
    return QStringLiteral("data:image/") + QString::fromLatin1(format) + QStringLiteral(";base64,")
        + QString::fromLatin1(bytes.toBase64());
}

// What a reference attribute of an element may keep: a place in the image itself, or an embedded picture of an
// image element. Nothing when it leads outside.
std::optional<QString> keptReference(QStringView element, const QString& value)
{
    const QString reference = value.trimmed();
    if (reference.startsWith(u'#'))
        return reference;
    if (element == QLatin1String("image") && reference.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
        return embeddedPicture(reference);
    return std::nullopt;
}

void writeStartElement(QXmlStreamReader& reader, QXmlStreamWriter& writer)
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
            const std::optional<QString> kept = keptReference(reader.name(), value);
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

} // namespace

bool SvgImageData::isSvg(const QByteArray& bytes)
{
    return isSvgFormat(imageFormat(bytes));
}

std::optional<QByteArray> SvgImageData::selfContained(const QByteArray& bytes)
{
    QByteArray text = bytes;
    if (bytes.startsWith("\x1f\x8b")) {
        std::optional<QByteArray> unpacked = inflated(bytes);
        if (!unpacked)
            return std::nullopt;
        text = std::move(*unpacked);
    }
    if (text.size() > maximumTextBytes)
        return std::nullopt;

    // Elements, attributes and text are copied; comments, processing instructions, the document type with its
    // entity declarations (their text stands expanded) and references to entities declared nowhere are not.
    QXmlStreamReader reader(text);
    QByteArray rewritten;
    QXmlStreamWriter writer(&rewritten);
    writer.writeStartDocument();
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (reader.name() == QLatin1String("style")) {
                // A style sheet that imports another is dropped with its element.
                writeStartElement(reader, writer);
                const QString sheet = reader.readElementText(QXmlStreamReader::IncludeChildElements);
                if (!sheet.contains(QLatin1String("@import"), Qt::CaseInsensitive))
                    writer.writeCharacters(sheet);
                writer.writeEndElement();
                break;
            }
            writeStartElement(reader, writer);
            break;
        case QXmlStreamReader::EndElement:
            writer.writeEndElement();
            break;
        case QXmlStreamReader::Characters:
            writer.writeCharacters(reader.text().toString());
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        return std::nullopt;
    writer.writeEndDocument();
    return rewritten;
}

} // namespace velquine
