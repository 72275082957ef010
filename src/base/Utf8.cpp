#include "base/Utf8.h"

namespace velquine {

long nextCodePoint(std::string_view text, std::size_t& pos) noexcept
{
    const auto b0 = static_cast<unsigned char>(text[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    std::size_t length;
    long cp;
    long minimum;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        return -1;
    }
    if (text.size() - pos < length)
        return -1;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80)
            return -1;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return -1;
    pos += length;
    return cp;
}

std::size_t utf8SequenceLength(std::string_view text, std::size_t pos) noexcept
{
    std::size_t end = pos;
    return nextCodePoint(text, end) < 0 ? 0 : end - pos;
}

bool isValidUtf8(std::string_view text) noexcept
{
    for (std::size_t pos = 0; pos < text.size();) {
        if (nextCodePoint(text, pos) < 0)
            return false;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace utf8 {

char32_t decodeNext(std::string_view text, std::size_t& pos) noexcept
{
    const long cp = nextCodePoint(text, pos);
    if (cp >= 0)
        return static_cast<char32_t>(cp);
    ++pos;
    return replacementCharacter;
}

void append(std::string& out, char32_t scalar)
{
    appendUtf8(out, isScalar(scalar) ? scalar : replacementCharacter);
}

} // namespace utf8

} // namespace velquine
