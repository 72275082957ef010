#pragma once

// Copies of unsaved changes, kept in a private folder so that the documents they belong to can be taken up
// again when the program ended before they were saved (killed, or the computer went down).
//
// Each running program keeps its copies in a folder of its own inside the recovery folder, named by a fresh
// UUID and locked for as long as the program runs. At start the copies in folders no running program holds
// are taken over into the program's own folder, the most recent first, as many as the program asks for; the
// others wait where they are for a later start. A document's copy is two files named by the document's id:
// the content, written by the document itself, and a description of how the document was shown ("<id>.json":
// its file, type, untitled number and the state its file had). Both are written through replaceFile, so that
// a copy is never half-written.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Document.h"

namespace velquine {

class DocumentRecovery {
public:
    struct Entry {
        std::string id;
        // The copy of the content.
        std::string contentPath;
        // The document's own file; none for a document never saved.
        std::optional<std::string> fileURL;
        // The document's type; empty when not known.
        std::string fileType;
        // The number in the untitled document's name ("Untitled 2"); 0 when not known.
        int untitledNumber = 0;
        std::optional<Document::FileState> fileState;
    };

    // Makes and locks the program's own folder inside the recovery folder (made when missing).
    explicit DocumentRecovery(std::string folder);
    // Unlocks the program's own folder, and removes it when no copy is left in it.
    ~DocumentRecovery();
    DocumentRecovery(const DocumentRecovery&) = delete;
    DocumentRecovery& operator=(const DocumentRecovery&) = delete;

    const std::string& folder() const { return folder_; }
    // The folder copies that cannot be read are put into.
    std::string unreadableFolder() const;
    static std::string newId();

    // A copy taken on the main thread (takeCopy) and written by run() on any thread: the document's content as
    // it stood, with the change under way, and its description.
    class PendingCopy {
    public:
        // The content's write into the folder, and the description's text for the file at descriptionPath.
        PendingCopy(std::unique_ptr<DocumentWrite> content, std::string folder, std::string descriptionPath,
                    std::string description);
        // Writes both; false with the reason when either could not be written.
        bool run(std::string* error);
        // On the main thread after run, while the document lives.
        void finish();

    private:
        std::unique_ptr<DocumentWrite> content_;
        std::string folder_;
        std::string descriptionPath_;
        std::string description_;
        bool written_ = false;
    };
    // The copy of the document's content (its write of what it holds as it stands) and its description under the
    // entry's id, taken now; the entry's content path is set. Null with the reason when the document gives no
    // write.
    std::unique_ptr<PendingCopy> takeCopy(Document& document, Entry& entry, std::string* error);
    // takeCopy written at once on the calling thread.
    bool write(Document& document, Entry& entry, std::string* error);
    // Removes the copy; failures are ignored.
    void remove(const Entry& entry);
    // What takeOver found: the copies taken, most recent first, and the number of those left where they were.
    struct TakenOver {
        std::vector<Entry> entries;
        std::size_t left = 0;
    };
    // The copies of programs no longer running, the most recent `limit` of them (by the time their content was
    // written) moved into this program's own folder; the others stay where they are, for a later start.
    TakenOver takeOver(std::size_t limit = SIZE_MAX);
    // Moves the copy into unreadableFolder(), where it stays; the path of the content there.
    std::string putAside(const Entry& entry);

private:
    struct Found;
    // The copies in the folders of programs no longer running, and those folders.
    void findCopies(std::vector<Found>& found, std::vector<std::string>& folders);
    void takeOver(Found& copy, std::vector<Entry>& entries);

    std::string folder_;
    std::string ownFolder_;
    int lock_ = -1;
};

} // namespace velquine
