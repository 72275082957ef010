#pragma once

// The File menu's commands of one document window, answered in the window's responder chain: Save, Save As…,
// Revert to Saved and Print…. Revert is enabled only for a document with a file and unsaved changes.

#include <memory>

#include "platform/ActionDispatcher.h"

namespace velquine {

class DocumentWindows;
class VQDocument;

class DocumentCommands : public Responder {
public:
    DocumentCommands(std::shared_ptr<VQDocument> document, DocumentWindows& windows);

    bool validateMenuItem(ActionItem& item) override;

private:
    std::shared_ptr<VQDocument> document_;
    DocumentWindows& windows_;
};

} // namespace velquine
