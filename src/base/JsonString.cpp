#include "base/JsonString.h"

#include "base/Hex.h"

namespace velquine {

void appendJsonString(std::string& out, std::string_view text, bool escapeSlash)
{
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '/':
            out += escapeSlash ? "\\/" : "/";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                appendHexByte(out, static_cast<std::uint8_t>(c), HexCase::lower);
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

namespace {

using Status = JsonUnicodeEscape::Status;

Status readFourDigits(std::string_view text, std::size_t& pos, char32_t& value)
{
    if (text.size() - pos < 4)
        return Status::truncated;
    value = 0;
    for (int i = 0; i < 4; ++i, ++pos) {
        const int digit = hexDigitValue(text[pos]);
        if (digit < 0)
            return Status::invalidDigit;
        value = (value << 4) | static_cast<char32_t>(digit);
    }
    return Status::ok;
}

} // namespace

JsonUnicodeEscape readJsonUnicodeEscape(std::string_view text, std::size_t& pos)
{
    JsonUnicodeEscape escape;
    char32_t& cp = escape.codePoint;
    if ((escape.status = readFourDigits(text, pos, cp)) != Status::ok)
        return escape;
    if (cp >= 0xDC00 && cp <= 0xDFFF) {
        escape.status = Status::unpairedLowSurrogate;
    } else if (cp >= 0xD800 && cp <= 0xDBFF) {
        if (text.substr(pos, 2) != "\\u") {
            escape.status = Status::unpairedHighSurrogate;
            return escape;
        }
        pos += 2;
        char32_t low = 0;
        if ((escape.status = readFourDigits(text, pos, low)) != Status::ok)
            return escape;
        if (low < 0xDC00 || low > 0xDFFF)
            escape.status = Status::unpairedHighSurrogate;
        else
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    return escape;
}

} // namespace velquine
