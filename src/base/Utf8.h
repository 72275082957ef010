#pragma once

// Walking, checking and writing UTF-8 text byte by byte, for the layers that read and write text formats
// themselves.

#include <cstddef>
#include <string>
#include <string_view>

namespace velquine {

// The code point of the well-formed UTF-8 sequence at text[pos] (pos < text.size()), pos advanced past it; -1,
// pos unchanged, when there is none: a stray or missing continuation byte, a cut-off sequence, an overlong form,
// a surrogate or a value past U+10FFFF.
long nextCodePoint(std::string_view text, std::size_t& pos) noexcept;

// The length of the well-formed UTF-8 sequence at text[pos] (pos < text.size()), or 0 when there is none.
std::size_t utf8SequenceLength(std::string_view text, std::size_t pos) noexcept;

// Whether the whole text is well-formed UTF-8 in the sense of nextCodePoint.
bool isValidUtf8(std::string_view text) noexcept;

// Appends the UTF-8 form of a code point up to U+10FFFF.
void appendUtf8(std::string& out, char32_t cp);

// The lenient walk: malformed bytes read as U+FFFD, one byte at a time, so a damaged text never stops a
// reader or writer.
namespace utf8 {

inline constexpr char32_t replacementCharacter = 0xFFFD;

// The scalar that starts at `pos`; `pos` moves past it. `pos` must be below text.size().
char32_t decodeNext(std::string_view text, std::size_t& pos) noexcept;

// Appends the UTF-8 form of a scalar; surrogates and values above U+10FFFF append U+FFFD.
void append(std::string& out, char32_t scalar);

// True for U+0000 to U+10FFFF outside the surrogates.
constexpr bool isScalar(char32_t value)
{
    return value < 0x110000 && (value < 0xD800 || value > 0xDFFF);
}

} // namespace utf8

} // namespace velquine
