#pragma once

// The base of the export window's modules, one per format: a view with the format's options, a title and a
// toolbar identifier, export to a file chosen in a save panel, and export to the clipboard.
//
// A module holds its document weakly; the export window sets it while the module is shown and clears it
// when the module is hidden. Failures are thrown (std::exception); the window shows them.

#include <QFileDialog>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquine {

class VQDocument;

// How an export ended: written, or the user dismissed the save panel.
enum class ExportResult { done = 0, cancelled = 1 };

// The save panel of the export modules: a save dialog that accepts only names ending in one of its
// extensions. A name ending otherwise gets the first extension appended before the dialog's own check
// for an existing file, so the user is asked about the file that will really be written.
class ExportSavePanel : public QFileDialog {
    Q_OBJECT
public:
    // formatName names the files in the dialog's filter ("Markdown Document").
    ExportSavePanel(QWidget* parent, const QString& formatName, std::vector<std::string> allowedFileTypes);

    // The path with an allowed extension: unchanged when it has one (compared without case), else with the
    // first allowed extension appended.
    static QString withAllowedExtension(const QString& path, const std::vector<std::string>& allowedFileTypes);

    void accept() override;
    // The accepted path, with an allowed extension; empty before the panel was accepted.
    const QString& chosenPath() const { return chosenPath_; }

private:
    std::vector<std::string> allowedFileTypes_;
    QString chosenPath_;
};

class ExportWindowModuleViewController : public QWidget {
    Q_OBJECT
public:
    explicit ExportWindowModuleViewController(QWidget* parent = nullptr);

    std::shared_ptr<VQDocument> document() const { return document_.lock(); }
    void setDocument(const std::shared_ptr<VQDocument>& document) { document_ = document; }

    virtual std::string moduleTitle() const = 0;
    // Asks for a file and writes the map into it.
    virtual ExportResult exportToFile() = 0;
    virtual std::string toolbarItemIdentifier() const = 0;
    // Runs the save panel (application-modal) for the extensions, proposing the document's file name
    // without its last extension. The chosen path always ends in one of the extensions; nothing when the
    // user dismissed the panel.
    std::optional<std::string> askForSaveURL(const std::vector<std::string>& allowedFileTypes);
    virtual bool supportsPasteboardExport() const { return false; }
    // Puts the map on the clipboard in the module's format.
    virtual void exportToPaseboard();

    // Sets the controls from the settings the first time it is called.
    void loadViewIfNeeded();

protected:
    // Reads the settings into the controls; runs once, when the window first shows the module.
    virtual void viewDidLoad() {}
    // A line of text explaining the format, for modules without options.
    void addDescription(const QString& text);
    // The document, or the "no document found" error naming the module's file and the function.
    std::shared_ptr<VQDocument> requireDocument(std::string_view file, long line, std::string_view function) const;
    // What the progress window says while the file at url is exported.
    static std::string exportingText(const std::string& url);
    // Runs the writing of the file at url (work that draws nothing and touches no widget, say an exporter over
    // a DocumentExport's project) on a worker while the user waits, the window repainting (LongWork::wait).
    static void exportWaiting(const std::string& url, std::function<void()> write);

private:
    std::weak_ptr<VQDocument> document_;
    bool viewLoaded_ = false;
};

} // namespace velquine
