#pragma once

// The export window of an editor window: a toolbar with one item per format, the options of the chosen
// format, and buttons to export to a file, to copy to the clipboard and to cancel. It is shown window-modal
// on the editor window and ends with 1 after a successful export or copy, 0 when cancelled. A failed export
// is shown in an alert and the window stays open.
//
// Settings: "ExportWindowLastShownModuleIndex" (the format shown last, by its toolbar index) and
// "ExportWindowControllerCopySuccessAlertSuppressionKey" (true once the user asked not to be told again
// that a copy worked).

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QPushButton;
class QToolBar;

namespace velquine {

class ExportWindowModuleViewController;
class ImageExporterModuleViewController;
class MarkdownExporterModuleViewController;
class OPMLExporterModuleViewController;
class PDFExporterModuleViewController;
class PlainTextExporterModuleViewController;
class RichTextExporterModuleViewController;
class VQDocument;
class YAMLExporterModuleViewController;

class ExportWindowController : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* lastShownModuleIndexKey = "ExportWindowLastShownModuleIndex";
    static constexpr const char* copySuccessAlertSuppressionKey = "ExportWindowControllerCopySuccessAlertSuppressionKey";

    explicit ExportWindowController(QWidget* parent = nullptr);
    ~ExportWindowController() override;

    std::shared_ptr<VQDocument> doc() const { return doc_.lock(); }
    // The document the next presentation exports; also given to the module shown now.
    void setDoc(const std::shared_ptr<VQDocument>& document);

    // The modules in toolbar order: plain text, rich text, Markdown, OPML, YAML, PDF, image.
    std::vector<ExportWindowModuleViewController*> modules() const;
    ExportWindowModuleViewController* currentModule() const { return currentModule_; }
    // Hosts the module, selects its toolbar item and stores its index.
    void showModule(ExportWindowModuleViewController* module);
    // The action of the toolbar items: shows the module of the item's identifier.
    void toolbarActionTrigger(QAction* sender);

    void cancel();
    void performExport();
    void copyToPasteBoard();
    void copySuccessAlertDidEnd(bool suppressionChecked);

    PlainTextExporterModuleViewController* plainTextModule;
    RichTextExporterModuleViewController* richTextModule;
    MarkdownExporterModuleViewController* markdownModule;
    YAMLExporterModuleViewController* yamlModule;
    PDFExporterModuleViewController* pdfModule;
    ImageExporterModuleViewController* imageModule;
    OPMLExporterModuleViewController* opmlModule;

    QToolBar* toolbar;
    QPushButton* exportToFileButton;
    QPushButton* exportToPasteboardButton;
    QPushButton* cancelButton;
    QWidget* moduleHostView;

private:
    void windowDidLoad();
    // Ends the window with the code while it is shown; nothing otherwise.
    void endSheet(int code);
    // Shows the error in an alert on this window.
    void presentError(const char* domain, const char* failure, const std::exception& error);

    std::weak_ptr<VQDocument> doc_;
    ExportWindowModuleViewController* currentModule_ = nullptr;
    QActionGroup* toolbarItems_;
};

// Shows the export window of the editor window for the document, window-modal; the window is made the first
// time and kept with the editor window. Nothing happens without a document.
void showExportWindow(QWidget* editorWindow, const std::shared_ptr<VQDocument>& document);

} // namespace velquine
