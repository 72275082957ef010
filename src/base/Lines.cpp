#include "base/Lines.h"

#include "base/Utf8.h"

#include <string_view>

namespace velquine {

namespace {

// Code points with the Unicode White_Space property: blanks and line breaks.
bool isWhiteSpace(long c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// Whether the UTF-8 text holds nothing but white space. A byte that starts no valid sequence counts as a
// visible character.
bool isBlank(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        // ASCII, nearly all of a text, without a call.
        const auto byte = static_cast<unsigned char>(s[i]);
        if (!isWhiteSpace(byte < 0x80 ? (++i, long(byte)) : nextCodePoint(s, i)))
            return false;
    }
    return true;
}

} // namespace

std::string removingBlankLines(const std::string& text)
{
    std::string result;
    std::size_t start = 0;
    auto take = [&](std::size_t end) {
        const std::string_view piece(text.data() + start, end - start);
        if (piece.empty() || isBlank(piece))
            return;
        if (!result.empty())
            result += '\n';
        result.append(piece);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A carriage return and line feed pair is one character and no separator.
        if (text[i] != '\n' || (i > 0 && text[i - 1] == '\r'))
            continue;
        take(i);
        start = i + 1;
    }
    take(text.size());
    return result;
}

} // namespace velquine
