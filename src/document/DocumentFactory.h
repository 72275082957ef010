#pragma once

// How documents come into being: the untitled document of the settings, and the document of a file. A
// document whose read threw is never handed out.

#include <memory>
#include <string>

namespace velquine {

class VQDocument;

class DocumentFactory {
public:
    // A document of the default settings ("defaultGridStyle", "defaultGridSize", "defaultProjectStyle").
    static std::shared_ptr<VQDocument> makeUntitledDocument();
    // A document read from the file, or the read's error; a failed read leaves no document behind. A file
    // that yields no outline (one no reader takes, or an import without a single node) is refused with a
    // TextError saying so.
    static std::shared_ptr<VQDocument> makeDocumentForURL(const std::string& url, const std::string& typeName);
    // The grid and style of the settings, applied to every node of the document; no session, no event.
    static void applyNewDocumentDefaults(VQDocument& document);
};

} // namespace velquine
