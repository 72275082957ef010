#include "platform/DocumentWrites.h"

namespace velquine {

DocumentWrites::~DocumentWrites()
{
    alive_.reset();
    const auto writing = writing_;
    for (const auto& [document, job] : writing)
        LongWork::join(job);
}

std::shared_ptr<LongWork::Job> DocumentWrites::start(Document& document, std::function<void()> write,
                                                     std::function<void()> ended)
{
    auto job = LongWork::start(std::move(write), [this, alive = std::weak_ptr<const bool>(alive_), &document,
                                                  ended = std::move(ended)](std::exception_ptr) {
        if (!alive.lock())
            return;
        writing_.erase(&document);
        ended();
        const bool followUp = followUps_.erase(&document) > 0;
        if (afterWrite_)
            afterWrite_(document, followUp);
    });
    if (!LongWork::finished(job))
        writing_[&document] = job;
    return job;
}

void DocumentWrites::finish(Document& document, const std::string& what)
{
    const Waiting waiting(*this, document);
    // The end of one write may start the next (a follow-up): waits for that one too.
    for (auto found = writing_.find(&document); found != writing_.end(); found = writing_.find(&document)) {
        const std::shared_ptr<LongWork::Job> job = found->second; // the entry goes when the job ends
        LongWork::waitFor(job, what);
    }
}

bool DocumentWrites::save(Document& document, const std::string& url, const std::string& typeName,
                          SaveOperation operation, const std::string& what, std::optional<std::string>* error)
{
    finish(document, what);
    const std::shared_ptr<PendingSave> save = document.beginSave(url, typeName, operation, error);
    if (!save)
        return false;
    const Waiting waiting(*this, document);
    LongWork::waitFor(start(document, [save] { save->run(); }, [&document, save] { document.endSave(*save); }), what);
    if (error)
        *error = save->error;
    return save->written;
}

DocumentWrites::Waiting::Waiting(DocumentWrites& writes, const Document& document)
    : writes_(writes), document_(&document), marked_(writes.waitedFor_.insert(&document).second)
{
}

DocumentWrites::Waiting::~Waiting()
{
    if (marked_)
        writes_.waitedFor_.erase(document_);
}

} // namespace velquine
