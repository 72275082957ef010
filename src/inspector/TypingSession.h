#pragma once

// The editing session one run of typing works in.
//
// The first change opens a session with the run's label, or joins the one that is open; the end of the run
// commits whatever session is open. Escape abandons the run: a session the run opened is cancelled (the
// project goes back to how it was at the first keystroke, with no undo step), but a session the run only
// joined belongs to someone else, so only the run's own changes are taken back and that session stays open.

#include <optional>
#include <string>

#include "model/project/VQProject.h"

namespace velquine {

class VQDocument;

class TypingSession {
public:
    // Before each change of the run: opens or joins the document's session once per run.
    void willChange(VQDocument& document, const std::string& label);
    // Commits the document's open session (joined ones too) and ends the run.
    void commit(VQDocument& document);
    // Abandons the run (see above). Does nothing to the document when no change was made.
    void cancel(VQDocument& document);
    // Ends the run without touching the document.
    void reset();

    bool isActive() const { return before_.has_value(); }

private:
    std::optional<VQProject> before_;
    bool opened_ = false;
};

} // namespace velquine
