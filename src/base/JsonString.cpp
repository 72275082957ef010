#include "base/JsonString.h"

#include "base/Hex.h"
#include "base/Utf8.h"

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

using Status = JsonEscapeStatus;

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

// The \u escape whose four digits start at text[pos].
Status readUnicodeEscape(std::string_view text, std::size_t& pos, char32_t& cp)
{
    if (const Status read = readFourDigits(text, pos, cp); read != Status::ok)
        return read;
    if (cp >= 0xDC00 && cp <= 0xDFFF)
        return Status::unpairedLowSurrogate;
    if (cp < 0xD800 || cp > 0xDBFF)
        return Status::ok;
    if (text.substr(pos, 2) != "\\u")
        return Status::unpairedHighSurrogate;
    pos += 2;
    char32_t low = 0;
    if (const Status read = readFourDigits(text, pos, low); read != Status::ok)
        return read;
    if (low < 0xDC00 || low > 0xDFFF)
        return Status::unpairedHighSurrogate;
    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    return Status::ok;
}

} // namespace

JsonEscapeStatus readJsonEscape(std::string_view text, std::size_t& pos, std::string& out)
{
    char plain = 0;
    switch (text[pos]) {
    case '"': plain = '"'; break;
    case '\\': plain = '\\'; break;
    case '/': plain = '/'; break;
    case 'b': plain = '\b'; break;
    case 'f': plain = '\f'; break;
    case 'n': plain = '\n'; break;
    case 'r': plain = '\r'; break;
    case 't': plain = '\t'; break;
    case 'u': {
        ++pos;
        char32_t cp = 0;
        const Status read = readUnicodeEscape(text, pos, cp);
        if (read == Status::ok)
            appendUtf8(out, cp);
        return read;
    }
    default: return Status::invalidEscape;
    }
    ++pos;
    out += plain;
    return Status::ok;
}

} // namespace velquine
