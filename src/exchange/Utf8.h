#pragma once

// Walking UTF-8 text scalar by scalar, and writing scalars back. Malformed bytes read as U+FFFD, one
// byte at a time, so a damaged text never stops a reader or writer.

#include <cstddef>
#include <string>
#include <string_view>

namespace velquine::utf8 {

inline constexpr char32_t replacementCharacter = 0xFFFD;

// The scalar that starts at `pos`; `pos` moves past it. `pos` must be below text.size().
char32_t decodeNext(std::string_view text, std::size_t& pos);

// Appends the UTF-8 form of a scalar; surrogates and values above U+10FFFF append U+FFFD.
void append(std::string& out, char32_t scalar);

// True for U+0000 to U+10FFFF outside the surrogates.
constexpr bool isScalar(char32_t value)
{
    return value < 0x110000 && (value < 0xD800 || value > 0xDFFF);
}

} // namespace velquine::utf8
