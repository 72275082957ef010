#include "platform/Document.h"

namespace velquine {

Document::Document() : undoManager_(std::make_unique<UndoManager>()) {}

Document::~Document() = default;

void Document::setHasUndoManager(bool hasUndoManager)
{
    if (!hasUndoManager)
        undoManager_.reset();
    else if (!undoManager_)
        undoManager_ = std::make_unique<UndoManager>();
}

} // namespace velquine
