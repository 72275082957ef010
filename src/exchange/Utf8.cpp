#include "exchange/Utf8.h"

#include "platform/Utf8.h"

namespace velquine::utf8 {

char32_t decodeNext(std::string_view text, std::size_t& pos)
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

} // namespace velquine::utf8
