#include "inspector/TypingSession.h"

#include "document/VQDocument.h"

namespace velquine {

void TypingSession::willChange(VQDocument& document, const std::string& label)
{
    // A run whose session was closed elsewhere meanwhile starts over with a new one.
    if (before_ && document.isInEditingSession())
        return;
    before_ = document.project();
    opened_ = !document.isInEditingSession();
    document.beginEditingSession(label);
}

void TypingSession::commit(VQDocument& document)
{
    reset();
    if (document.isInEditingSession())
        document.commitEditingSession();
}

void TypingSession::cancel(VQDocument& document)
{
    if (!before_ || !document.isInEditingSession()) {
        reset();
        return;
    }
    if (opened_) {
        document.cancelEditingSession();
    } else {
        document.revertJoinedSession(*before_);
    }
    reset();
}

void TypingSession::reset()
{
    before_.reset();
    opened_ = false;
}

} // namespace velquine
