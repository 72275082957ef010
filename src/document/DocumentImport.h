#pragma once

// Other files read into a document as a new map: plain text and Markdown (headings giving their depth) read
// as indented outlines, the text of RTF and Word files read the same way, and OPML outlines with their
// title. Each reader inserts the outline's node trees at (0, 0) as inside an editing session, and throws
// what went wrong.

#include <string>
#include <string_view>

namespace velquine {

class VQDocument;

class DocumentImport {
public:
    // Reads into the document; the document must outlive this object.
    explicit DocumentImport(VQDocument& document) : document_(document) {}

    // Plain text and Markdown: UTF-8 text read as an indented outline.
    void readPlainText(const std::string& url);
    void readMarkdown(const std::string& url);
    // The text of an RTF file read as an outline.
    void readRTFTextDocumentFormat(const std::string& url);
    // The text of a Word file read as an outline.
    void readDocx(const std::string& url);
    // The OPML outline, and its title when it has one.
    void readOPML(const std::string& url);
    // The outline text's node trees, inserted at (0, 0) as inside an editing session.
    void importOutlineText(std::string_view text);

private:
    VQDocument& document_;
};

} // namespace velquine
