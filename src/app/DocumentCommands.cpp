#include "app/DocumentCommands.h"

#include "app/DocumentWindows.h"
#include "document/VQDocument.h"
#include "kit/CommandTable.h"

namespace velquine {

DocumentCommands::DocumentCommands(std::shared_ptr<VQDocument> document, DocumentWindows& windows)
    : document_(std::move(document)), windows_(windows)
{
    addAction(commandSelector(Command::saveDocument),
              [this](const ActionItem*) { windows_.controller().saveDocument(*document_); });
    addAction(commandSelector(Command::saveDocumentAs),
              [this](const ActionItem*) { windows_.controller().saveDocumentAs(*document_); });
    addAction(commandSelector(Command::revertDocumentToSaved),
              [this](const ActionItem*) { windows_.controller().revertDocumentToSaved(*document_); });
    addAction(commandSelector(Command::runPageLayout),
              [this](const ActionItem*) { windows_.runPageLayout(*document_); });
    addAction(commandSelector(Command::printDocument),
              [this](const ActionItem*) { windows_.printDocument(*document_); });
}

bool DocumentCommands::validateMenuItem(ActionItem& item)
{
    if (item.action == commandSelector(Command::revertDocumentToSaved))
        return document_->fileURL() && document_->isDocumentEdited() && !document_->isInEditingSession();
    return true;
}

} // namespace velquine
