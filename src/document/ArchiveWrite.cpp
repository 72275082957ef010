#include "document/ArchiveWrite.h"

#include <cstring>
#include <utility>

#include "document/DocumentArchive.h"
#include "document/VQDocumentFiles.h"
#include "platform/Log.h"

namespace velquine {

namespace {

// What lies beneath a failed save, in the system's words ("No space left on device", "File too large"):
// the same text whichever step met it. Empty when the failure has no such cause.
std::string saveFailureCause(const std::exception& thrown)
{
    if (const auto* text = dynamic_cast<const TextError*>(&thrown))
        return text->detail();
    const int number = VQDocumentFiles::systemErrorNumber(thrown);
    return number ? std::strerror(number) : std::string();
}

} // namespace

ArchiveWrite::ArchiveWrite(VQProject project, std::string url, bool copy, std::function<void()> saved)
    : project_(std::move(project)), url_(std::move(url)), copy_(copy), saved_(std::move(saved))
{
}

bool ArchiveWrite::run(std::optional<std::string>* error, std::string* detail)
{
    try {
        DocumentArchive::writeProject(project_, url_, copy_);
        return true;
    } catch (const std::exception& thrown) {
        if (detail)
            *detail = saveFailureCause(thrown);
        if (error)
            *error = thrown.what();
        return false;
    }
}

void ArchiveWrite::finish(bool written)
{
    if (written && saved_)
        saved_();
}

} // namespace velquine
