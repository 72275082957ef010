#pragma once

// The plain-text module: an indented outline, with a choice of indent and optional hyphens and colons.

#include "exchange/PlainTextExporter.h"
#include "exportui/ExportWindowModuleViewController.h"

class QCheckBox;
class QComboBox;

namespace velquine {

class PlainTextExporterModuleViewController : public ExportWindowModuleViewController {
    Q_OBJECT
public:
    explicit PlainTextExporterModuleViewController(QWidget* parent = nullptr);

    std::string moduleTitle() const override { return "Plain Text"; }
    std::string toolbarItemIdentifier() const override { return "plainTextToolbarItem"; }
    bool supportsPasteboardExport() const override { return true; }
    ExportResult exportToFile() override;
    void exportToPaseboard() override;

    // The options as the controls show them now.
    PlainTextExporter::Options options() const;
    // Stores the controls' states in the settings.
    virtual void saveSwitchStates();

    // The indent popup's title of a mode, and the mode of a title.
    static QString indentTitle(PlainTextExporter::Options::IndentMode mode);

    QCheckBox* hyphenateSwitch;
    QCheckBox* colonSwitch;
    QComboBox* indentPopUp;

protected:
    void viewDidLoad() override;
};

} // namespace velquine
