#pragma once

// The program's own file format for one document: a zip archive whose one entry is the document database.

#include <string>

namespace velquine {

class VQDocument;

class DocumentArchive {
public:
    // Reads and writes the document; the document must outlive this object.
    explicit DocumentArchive(VQDocument& document) : document_(document) {}

    // What a write takes of the document: what is committed (while a session is open, the project as it was
    // when the session opened), or the project as it stands, the open session's changes included.
    enum class Content { committed, asItStands };

    // The archive is built in scratch folders and renamed over the url only once complete; on failure the
    // file at the url is untouched and the error is thrown ("Can not create zip file at: " and the path when
    // the archive could not be made or put in place). A write of what is committed posts documentDidSave().
    // A document whose read threw is never saved.
    void writeToDatabase(const std::string& url, Content content = Content::committed);
    // A document archive, or a bare document database, as the document's project (no event, no undo step).
    // Throws what went wrong; the project is replaced only by a complete read.
    void readDocumentArchive(const std::string& url);

private:
    // Zips the folder's contents into a new file renamed over the url once complete; throws "Can not create zip
    // file at: " and the path, with the cause beside it, when that fails.
    static void zipFolder(const std::string& url, const std::string& folder);

    VQDocument& document_;
};

} // namespace velquine
