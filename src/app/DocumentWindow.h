#pragma once

// The window of one open document until the editor window takes its place: the document's title, the main
// menu, the document's File commands and the window's own commands (closing). Closing asks the document
// controller first, which saves or asks about unsaved changes.

#include <QMainWindow>

#include <memory>

#include "platform/ActionDispatcher.h"

class QLabel;

namespace velquine {

class DocumentCommands;
class DocumentWindows;
class VQDocument;
class WindowActions;

class DocumentWindow : public QMainWindow, public Responder {
    Q_OBJECT
public:
    // title is the document's name ("Untitled" for a new document). With windows, the document belongs to
    // their controller, which is told when the window closes.
    DocumentWindow(std::shared_ptr<VQDocument> document, const QString& title, DocumentWindows* windows = nullptr);
    ~DocumentWindow() override;

    const std::shared_ptr<VQDocument>& document() const { return document_; }
    WindowActions* windowActions() const { return actions_; }
    // Shows the node count of the map.
    void refreshContent();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::shared_ptr<VQDocument> document_;
    DocumentWindows* windows_;
    WindowActions* actions_;
    QLabel* content_;
    std::unique_ptr<DocumentCommands> commands_;
};

} // namespace velquine
