#pragma once

// The window of one open document until the editor window takes its place: the document's title, the main
// menu and the window's own commands (closing).

#include <QMainWindow>

#include <memory>

#include "platform/ActionDispatcher.h"

namespace velquine {

class VQDocument;
class WindowActions;

class DocumentWindow : public QMainWindow, public Responder {
    Q_OBJECT
public:
    // title is the file's name ("Untitled" for a new document).
    DocumentWindow(std::shared_ptr<VQDocument> document, const QString& title);
    ~DocumentWindow() override;

    const std::shared_ptr<VQDocument>& document() const { return document_; }
    WindowActions* windowActions() const { return actions_; }

private:
    std::shared_ptr<VQDocument> document_;
    WindowActions* actions_;
};

} // namespace velquine
