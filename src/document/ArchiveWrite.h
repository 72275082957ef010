#pragma once

// One write of a document archive: the project a document held when the write was taken, written by any thread
// while the document goes on changing (DocumentWrite).

#include <functional>
#include <optional>
#include <string>

#include "model/project/VQProject.h"
#include "platform/Document.h"

namespace velquine {

class ArchiveWrite : public DocumentWrite {
public:
    // A save of the project to the url (copy: a copy kept for recovery, which differs only in the message of a
    // failure); saved runs on the main thread once a save was written.
    ArchiveWrite(VQProject project, std::string url, bool copy, std::function<void()> saved);

    // DocumentArchive::writeProject, its error's text in error and what lay beneath it ("No space left on
    // device") in detail.
    bool run(std::optional<std::string>* error, std::string* detail) override;
    void finish(bool written) override;

private:
    VQProject project_;
    std::string url_;
    bool copy_;
    std::function<void()> saved_;
};

} // namespace velquine
