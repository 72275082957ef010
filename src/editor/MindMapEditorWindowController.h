#pragma once

// The window of one open document: the three-pane content, the toolbar, the zoom pop-up, and the window-level
// commands (emoji, photo, export, zoom, undo and redo of the document).
//
// Made from the document; show() puts it on screen. The title is the document's name, with "*" while it has
// unsaved changes (the document windows keep it up to date). Undo and Redo go to a focused text view first
// (its own typing), then to the document's undo steps.

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

#include "platform/ActionDispatcher.h"
#include "platform/Image.h"

class QComboBox;

namespace velquine {

class MindMapEditorWindowContentViewController;
class ToolbarController;
class VQDocument;
class WindowActions;

class MindMapEditorWindowController : public QMainWindow, public Responder {
    Q_OBJECT
public:
    // documentCommands, when given, answers the document's File commands after the window's own.
    MindMapEditorWindowController(std::shared_ptr<VQDocument> document, const QString& title,
                                  std::unique_ptr<Responder> documentCommands = nullptr);
    ~MindMapEditorWindowController() override;

    const std::shared_ptr<VQDocument>& document() const { return document_; }
    WindowActions* windowActions() const { return actions_; }
    MindMapEditorWindowContentViewController* contentViewController() const { return cvc_; }
    ToolbarController* toolbarController() const { return toolbarController_.get(); }
    QComboBox* zoomLevelSelectorButton() const { return zoomLevelSelectorButton_; }

    // The zoom pop-up's factors by item index.
    static constexpr double zoomFactors[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};

    void changeZoomLevel();
    void pickEmoji();
    void pickPhoto();
    // Puts the image into the nodes (scaled to fit 1024 × 1024), sizes them and lays their trees out again,
    // as one undo step "Set Image" (or within the session already open).
    void insertImageIntoSelectedNodes(const Image& image, const std::vector<std::int64_t>& nodeUIDs);
    void showExportWindow();

    // What the photo picker asks for: an image file, or none when the user cancels (OpenPanel::chooseImage).
    // Tests replace it; an empty chooser puts the dialog back.
    using ImageFileChooser = std::function<std::optional<QString>(QWidget* parent)>;
    static void setImageFileChooser(ImageFileChooser chooser);
    // What opens the export window for a document (installed by the export window's owner).
    using ExportWindowOpener = std::function<void(QWidget* window, const std::shared_ptr<VQDocument>& document)>;
    static void setExportWindowOpener(ExportWindowOpener opener);

    bool validateMenuItem(ActionItem& item) override;
    bool validateToolbarItem(ActionItem& item) override;

private:
    void buildZoomPopUp();
    void registerActions();

    std::shared_ptr<VQDocument> document_;
    WindowActions* actions_;
    MindMapEditorWindowContentViewController* cvc_ = nullptr;
    std::unique_ptr<ToolbarController> toolbarController_;
    QComboBox* zoomLevelSelectorButton_ = nullptr;
    std::unique_ptr<Responder> commands_;
};

} // namespace velquine
