#pragma once

// UTF-8 and hexadecimal helpers for the SQL layer's own text handling (JSON, UUIDs, full-text options, SQL
// functions).

#include <cstddef>
#include <string>
#include <string_view>

namespace velquine::sql {

// The length of the well-formed UTF-8 sequence at text[pos] (pos < text.size()), or 0 when there is none.
std::size_t utf8SequenceLength(std::string_view text, std::size_t pos) noexcept;

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view text) noexcept;

// Appends the UTF-8 form of a code point up to U+10FFFF.
void appendUtf8(std::string& out, char32_t c);

// The value of a hexadecimal digit (either case), or -1 for any other character.
int hexDigitValue(char c) noexcept;

} // namespace velquine::sql
