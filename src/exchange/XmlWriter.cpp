#include "exchange/XmlWriter.h"

#include "base/Utf8.h"

namespace velquine {

namespace {

bool allowedInXml(char32_t c)
{
    if (c < 0x20)
        return c == 0x09 || c == 0x0A || c == 0x0D;
    return c != 0xFFFE && c != 0xFFFF;
}

std::string escaped(std::string_view text, bool attribute)
{
    std::string out;
    out.reserve(text.size() + 16);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = utf8::decodeNext(text, pos);
        if (!allowedInXml(c))
            continue;
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += attribute ? "&quot;" : "\"";
            break;
        case '\t':
            out += attribute ? "&#9;" : "\t";
            break;
        case '\n':
            out += attribute ? "&#10;" : "\n";
            break;
        case '\r':
            // A raw carriage return would be turned into a line feed by every parser.
            out += "&#13;";
            break;
        default:
            utf8::append(out, c);
        }
    }
    return out;
}

} // namespace

std::string XmlWriter::escapedText(std::string_view text)
{
    return escaped(text, false);
}

std::string XmlWriter::escapedAttribute(std::string_view value)
{
    return escaped(value, true);
}

void XmlWriter::declaration()
{
    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
}

void XmlWriter::closeStartTag()
{
    if (startTagOpen_) {
        out_ += '>';
        startTagOpen_ = false;
    }
}

void XmlWriter::startElement(std::string_view name)
{
    closeStartTag();
    out_ += '<';
    out_ += name;
    open_.emplace_back(name);
    startTagOpen_ = true;
}

void XmlWriter::attribute(std::string_view name, std::string_view value)
{
    if (!startTagOpen_)
        return;
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    out_ += escapedAttribute(value);
    out_ += '"';
}

void XmlWriter::text(std::string_view text)
{
    closeStartTag();
    out_ += escapedText(text);
}

void XmlWriter::endElement()
{
    if (open_.empty())
        return;
    if (startTagOpen_) {
        out_ += "/>";
        startTagOpen_ = false;
    } else {
        out_ += "</";
        out_ += open_.back();
        out_ += '>';
    }
    open_.pop_back();
}

void XmlWriter::emptyElement(std::string_view name)
{
    startElement(name);
    endElement();
}

std::string XmlWriter::finish()
{
    while (!open_.empty())
        endElement();
    return std::move(out_);
}

} // namespace velquine
