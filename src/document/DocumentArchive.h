#pragma once

// The program's own file format for one document: a zip archive whose one entry is the document database.

#include <string>

namespace velquine {

class VQDocument;

class DocumentArchive {
public:
    // Reads and writes the document; the document must outlive this object.
    explicit DocumentArchive(VQDocument& document) : document_(document) {}

    // The archive is built in scratch folders and renamed over the url only once complete; on failure the
    // file at the url is untouched and the error is thrown ("Can not create zip file at: " and the path when
    // the archive could not be made or put in place). Posts documentDidSave(). A document whose read threw
    // is never saved.
    void writeToDatabase(const std::string& url);
    // A document archive, or a bare document database, as the document's project (no event, no undo step).
    // Throws what went wrong; the project is replaced only by a complete read.
    void readDocumentArchive(const std::string& url);

private:
    VQDocument& document_;
};

} // namespace velquine
