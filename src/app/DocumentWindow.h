#pragma once

// The window of one open document until the editor window takes its place: the document's title, the main
// menu, the document's File commands and the window's own commands (closing).

#include <QMainWindow>

#include <memory>

#include "platform/ActionDispatcher.h"

class QLabel;

namespace velquine {

class VQDocument;
class WindowActions;

class DocumentWindow : public QMainWindow, public Responder {
    Q_OBJECT
public:
    // title is the document's name ("Untitled" for a new document); documentCommands, when given, answers the
    // document's File commands after the window's own.
    DocumentWindow(std::shared_ptr<VQDocument> document, const QString& title,
                   std::unique_ptr<Responder> documentCommands = nullptr);
    ~DocumentWindow() override;

    const std::shared_ptr<VQDocument>& document() const { return document_; }
    WindowActions* windowActions() const { return actions_; }
    // Shows the node count of the map.
    void refreshContent();

private:
    std::shared_ptr<VQDocument> document_;
    WindowActions* actions_;
    QLabel* content_;
    std::unique_ptr<Responder> commands_;
};

} // namespace velquine
