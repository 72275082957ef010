#include "app/DocumentCommands.h"

#include "app/DocumentWindows.h"
#include "document/VQDocument.h"

namespace velquine {

DocumentCommands::DocumentCommands(std::shared_ptr<VQDocument> document, DocumentWindows& windows)
    : document_(std::move(document)), windows_(windows)
{
    addAction("saveDocument:", [this](const ActionItem*) { windows_.controller().saveDocument(*document_); });
    addAction("saveDocumentAs:", [this](const ActionItem*) { windows_.controller().saveDocumentAs(*document_); });
    addAction("revertDocumentToSaved:",
              [this](const ActionItem*) { windows_.controller().revertDocumentToSaved(*document_); });
    addAction("runPageLayout:", [this](const ActionItem*) { windows_.runPageLayout(*document_); });
    addAction("printDocument:", [this](const ActionItem*) { windows_.printDocument(*document_); });
}

bool DocumentCommands::validateMenuItem(ActionItem& item)
{
    if (item.action == "revertDocumentToSaved:")
        return document_->fileURL() && document_->isDocumentEdited() && !document_->isInEditingSession();
    return true;
}

} // namespace velquine
