#pragma once

// Reduces a Word document (.docx) to its plain text, for opening Word files as outlines: the
// paragraphs of the main document part, each ending with a line feed, with tabs (w:tab) and line
// breaks (w:br, as U+2028). A list item (w:numPr/w:ilvl, or a "List Bullet 2" style paragraph) starts
// with one tab per list level, so an outline keeps its levels.
//
// The input is treated as hostile: parts are read only up to a size limit, the XML parser loads
// nothing from outside and expands no external entities, and damage is reported as DocxReadError.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velquine {

class DocxReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class DocxTextReader {
public:
    static constexpr std::size_t defaultMaxPartSize = 64u * 1024u * 1024u;

    // The text of the .docx file's bytes. Throws DocxReadError.
    static std::string plainText(std::string bytes, std::size_t maxPartSize = defaultMaxPartSize);

    // The text of a main document part (word/document.xml) alone. Throws DocxReadError.
    static std::string plainTextOfDocumentXml(std::string_view xml);
};

} // namespace velquine
