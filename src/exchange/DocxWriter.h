#pragma once

// Writes a RichTextDocument as a Word document (Office Open XML): a zip package of the content
// types, the package relationships, word/document.xml and, when a paragraph is a list item, a
// bulleted multi-level list in word/numbering.xml.

#include <string>

#include "exchange/RichTextDocument.h"

namespace velquine {

class DocxWriter {
public:
    // The bytes of the .docx file. Throws ZipPackageError when the package cannot be built.
    static std::string write(const RichTextDocument& document);

    // The main part alone, word/document.xml.
    static std::string documentXml(const RichTextDocument& document);
};

} // namespace velquine
