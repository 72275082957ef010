#pragma once

// UTF-8 and hexadecimal helpers for the text formats that read and write their bytes themselves.

#include <cstddef>
#include <string>
#include <string_view>

namespace velquine {

// The code point of the well-formed UTF-8 sequence at text[pos] (pos < text.size()), pos advanced past it; -1,
// pos unchanged, when there is none: a stray or missing continuation byte, a cut-off sequence, an overlong form,
// a surrogate or a value past U+10FFFF.
long nextCodePoint(std::string_view text, std::size_t& pos);

// The length of the well-formed UTF-8 sequence at text[pos] (pos < text.size()), or 0 when there is none.
std::size_t utf8SequenceLength(std::string_view text, std::size_t pos);

// Whether the whole text is well-formed UTF-8 in the sense of nextCodePoint.
bool isValidUtf8(std::string_view text);

// Appends the UTF-8 form of a code point up to U+10FFFF.
void appendUtf8(std::string& out, char32_t cp);

// The value of a hexadecimal digit (either case), or -1 for any other character.
int hexDigitValue(char c);

} // namespace velquine
