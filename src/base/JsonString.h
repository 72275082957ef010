#pragma once

// The string syntax both JSON dialects of the program share: writing a quoted string, and reading the
// escapes of one.

#include <cstddef>
#include <string>
#include <string_view>

namespace velquine {

// Appends the text as a quoted JSON string: '"', '\' and the control characters escaped (\b \f \n \r \t, the
// others as \u00xx), '/' as "\/" when asked; every other byte as it is.
void appendJsonString(std::string& out, std::string_view text, bool escapeSlash);

enum class JsonEscapeStatus { ok, invalidEscape, truncated, invalidDigit, unpairedLowSurrogate, unpairedHighSurrogate };

// Reads the escape whose letter stands at text[pos] (just after the backslash) and appends what it stands for
// to out as UTF-8. A \u escape of a high surrogate must be followed by the \u escape of a low one, and the pair
// reads as one code point. pos moves past what was read; on failure it stops at the letter of an unknown escape,
// at the start of a group of digits that is cut short, at an invalid digit, or after the digits of an unpaired
// surrogate.
JsonEscapeStatus readJsonEscape(std::string_view text, std::size_t& pos, std::string& out);

} // namespace velquine
