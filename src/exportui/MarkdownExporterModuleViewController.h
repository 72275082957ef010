#pragma once

// The Markdown module: one heading per node, without options.

#include "exportui/ExportWindowModuleViewController.h"

namespace velquine {

class MarkdownExporterModuleViewController : public ExportWindowModuleViewController {
    Q_OBJECT
public:
    explicit MarkdownExporterModuleViewController(QWidget* parent = nullptr);

    std::string moduleTitle() const override { return "Markdown Document"; }
    std::string toolbarItemIdentifier() const override { return "markdownToolbarItem"; }
    bool supportsPasteboardExport() const override { return true; }
    ExportResult exportToFile() override;
    void exportToPaseboard() override;
};

} // namespace velquine
