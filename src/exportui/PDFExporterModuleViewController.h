#pragma once

// The PDF module: the map on one page of its own size.

#include "exportui/RenderingExporterModuleViewController.h"

namespace velquine {

class PDFExporterModuleViewController : public RenderingExporterModuleViewController {
    Q_OBJECT
public:
    explicit PDFExporterModuleViewController(QWidget* parent = nullptr);

    std::string moduleTitle() const override { return "PDF Document"; }
    std::string toolbarItemIdentifier() const override { return "pdfToolbarItem"; }
    ExportResult exportToFile() override;
    void exportToPaseboard() override;
};

} // namespace velquine
