#pragma once

// The program's own file format for one document: a zip archive whose one entry is the document database.

#include <string>

namespace velquine {

class VQDocument;
struct VQProject;

class DocumentArchive {
public:
    // Reads and writes the document; the document must outlive this object.
    explicit DocumentArchive(VQDocument& document) : document_(document) {}

    // Writes the project as a document archive at the url: a save (of what is committed) or a copy kept for
    // recovery, which differ only in the message of a failure. The archive is built in scratch folders and
    // renamed over the url only once complete; on failure the file at the url is untouched and the error is
    // thrown ("Can not create zip file at: " and the path when the archive could not be made or put in place).
    // Touches no document: any thread may write a project taken from one.
    static void writeProject(const VQProject& saved, const std::string& url, bool copy = false);
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
