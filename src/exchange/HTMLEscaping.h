#pragma once

// HTML character references: escaping of the characters that markup gives a meaning to, and turning
// decimal, hexadecimal and named references back into characters. None of these operations fails.

#include <optional>
#include <string>
#include <string_view>

#include <QString>

namespace velquine {

// Replaces every Unicode scalar of the escaping set (HTMLStringMappings) by its decimal reference:
// "Tom & Jerry's" gives "Tom &#38; Jerry&#39;s". The test is made per scalar, so an "&" or "<" that a
// combining mark follows is still replaced. Line breaks, tabs and non-ASCII characters pass unchanged.
std::string addingUnicodeEntities(std::string_view text);

// As addingUnicodeEntities, and also writes every user-perceived character that is not a single
// ASCII scalar as the references of all its scalars: "Café" gives "Caf&#233;", "e" with a combining
// acute accent gives "&#101;&#769;". A carriage return with its line feed passes unchanged.
std::string addingASCIIEntities(std::string_view text);

// Replaces the decimal ("&#65;"), hexadecimal ("&#x42;") and named ("&amp;") references it
// understands; anything else, including an "&" without a ";" after it, is copied unchanged.
std::string removingHTMLEntities(std::string_view text);

// The scalar of a numeric reference given without its "&" and ";" ("#65", "#x42"); none when the text
// is no valid numeric reference or names a surrogate or a value beyond U+10FFFF.
std::optional<char32_t> decodeNumericEntity(std::string_view entity);

// C strings choose the UTF-8 forms above.
inline std::string addingUnicodeEntities(const char* text) { return addingUnicodeEntities(std::string_view(text)); }
inline std::string addingASCIIEntities(const char* text) { return addingASCIIEntities(std::string_view(text)); }
inline std::string removingHTMLEntities(const char* text) { return removingHTMLEntities(std::string_view(text)); }

// The same operations on Qt strings.
QString addingUnicodeEntities(const QString& text);
QString addingASCIIEntities(const QString& text);
QString removingHTMLEntities(const QString& text);

} // namespace velquine
