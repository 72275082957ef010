#pragma once

// The rich-text module: a bulleted outline as a Word or RTF file, with or without the titles' colours. The
// clipboard always gets RTF.

#include "exportui/ExportWindowModuleViewController.h"

class QCheckBox;
class QComboBox;

namespace velquine {

class RichTextExporterModuleViewController : public ExportWindowModuleViewController {
    Q_OBJECT
public:
    // The format popup's title that writes Word documents; every other title writes RTF.
    static constexpr const char* wordFormatTitle = "Microsoft Word (.docx)";
    static constexpr const char* rtfFormatTitle = "Rich Text Format (.rtf)";

    explicit RichTextExporterModuleViewController(QWidget* parent = nullptr);

    std::string moduleTitle() const override { return "Rich Text"; }
    std::string toolbarItemIdentifier() const override { return "richTextToolbarItem"; }
    bool supportsPasteboardExport() const override { return true; }
    ExportResult exportToFile() override;
    void exportToPaseboard() override;
    virtual void saveSwitchStates();

    // "docx" while the popup shows the Word title, else "rtf".
    std::string fileType() const;

    QCheckBox* colorSwitch;
    QComboBox* formatPopUp;

protected:
    void viewDidLoad() override;
};

} // namespace velquine
