#pragma once

// The writes of the open documents that run on workers (LongWork): a save or a copy of unsaved changes, taken
// on the main thread and written on a worker. A document has at most one write under way; whoever writes it
// next waits for that one first. The user waits for a save asked for (the window repainting, the busy cursor
// shown), not for the others.
//
// The document controller owns one; it keeps every document it starts a write of open until that write ends.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/Document.h"
#include "platform/LongWork.h"

namespace velquine {

class DocumentWrites {
public:
    DocumentWrites() = default;
    // Waits for the workers (their ends then do nothing).
    ~DocumentWrites();
    DocumentWrites(const DocumentWrites&) = delete;
    DocumentWrites& operator=(const DocumentWrites&) = delete;

    // Runs write on a worker as the document's write under way; then, on the main thread, ended, and after it
    // what setAfterWrite set. The document must have no write under way.
    std::shared_ptr<LongWork::Job> start(Document& document, std::function<void()> write, std::function<void()> ended);
    bool isWriting(const Document& document) const { return writing_.contains(&document); }
    // Called on the main thread after the end of every write, with its document and whether followUp was asked
    // for it meanwhile.
    void setAfterWrite(std::function<void(Document&, bool followUp)> afterWrite) { afterWrite_ = std::move(afterWrite); }
    // Asks for a follow-up after the document's write under way (say, an automatic save that came due).
    void followUp(const Document& document) { followUps_.insert(&document); }
    // Forgets the document: it was let go.
    void forget(const Document& document) { followUps_.erase(&document); }

    // Waits until the document has no write under way, the user waiting too (LongWork::waitFor), saying what.
    void finish(Document& document, const std::string& what);
    // Document::saveToURL with its write on a worker, the user waiting meanwhile, after the write under way.
    bool save(Document& document, const std::string& url, const std::string& typeName, SaveOperation operation,
              const std::string& what, std::optional<std::string>* error);

    // Marks a wait for the document as under way while it lives: one of this class's, or another (a revert).
    class Waiting {
    public:
        Waiting(DocumentWrites& writes, const Document& document);
        ~Waiting();
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;

    private:
        DocumentWrites& writes_;
        const Document* document_;
        bool marked_;
    };
    // Whether a wait for the document is under way: its window must not close before it has ended.
    bool isWaitedFor(const Document& document) const { return waitedFor_.contains(&document); }

private:
    std::map<const Document*, std::shared_ptr<LongWork::Job>> writing_;
    std::set<const Document*> waitedFor_;
    std::set<const Document*> followUps_;
    std::function<void(Document&, bool)> afterWrite_;
    // Gone with this object: the ends of writes still running do nothing then.
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

} // namespace velquine
