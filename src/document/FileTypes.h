#pragma once

// The file types the program opens, from the resource "file_types" of type "tsv" (the same table the
// desktop entry and the shared-mime-info declaration are made from), and the type name of a file.

#include <string>
#include <string_view>
#include <vector>

namespace velquine {

struct FileType {
    std::string typeName;                 // "io.kelvarn.velquine.mindmap", "public.rtf", ...
    std::string mimeType;                 // "application/x-velquine-mindmap", ...
    std::vector<std::string> mimeAliases; // older MIME names of the same type
    std::vector<std::string> extensions;  // lower case, without the dot
};

class FileTypes {
public:
    // The rows of the table in their order; the first is the program's own document type.
    static const std::vector<FileType>& all();
    // Parses the table's text: lines of "name|mime|aliases|extensions"; blank lines and lines starting with
    // "#" are skipped, as are lines without all four fields.
    static std::vector<FileType> parse(std::string_view text);

    // The type name of the file at path: by its extension (any letter case) when the table knows it, else by
    // its first bytes (a SQLite database or a zip archive is taken for a document, UTF-8 text for an OPML
    // outline, RTF or plain text). Empty when neither tells: such a file opens as an empty document.
    static std::string typeNameForFile(const std::string& path);

    // Every MIME type of the table, aliases included, each followed by ";" (a desktop entry's MimeType value).
    static std::string desktopMimeTypes();
};

} // namespace velquine
