#pragma once

// Reduces an RTF document to its plain text, for opening RTF files as outlines. Groups, skipped
// destinations (font, colour and list tables, style sheet, document information, pictures, field
// instructions, headers, footers...), code pages (\ansicpg, \fcharset, \'hh) and Unicode escapes
// (\uN with \ucN fallbacks) are understood. Paragraphs end with a line feed, \line gives U+2028 and
// \tab a tab. A list item starts with one tab per list level (\ilvl), and its marker text
// (\listtext) is left out, so an outline keeps its levels.
//
// The input is treated as hostile: group nesting is bounded, binary data is skipped within the
// input's bounds, and the output grows at most linearly with the input.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velquine {

class RtfReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class RtfTextReader {
public:
    static constexpr std::size_t maxGroupDepth = 256;

    // Throws RtfReadError when the data is no RTF document or nests groups too deeply.
    static std::string plainText(std::string_view rtf);
};

} // namespace velquine
