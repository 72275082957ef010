#pragma once

// The image module: the map as a PNG picture, one pixel per point.

#include "exportui/RenderingExporterModuleViewController.h"

namespace velquine {

class ImageExporterModuleViewController : public RenderingExporterModuleViewController {
    Q_OBJECT
public:
    explicit ImageExporterModuleViewController(QWidget* parent = nullptr);

    std::string moduleTitle() const override { return "PNG Image"; }
    std::string toolbarItemIdentifier() const override { return "imageToolbarItem"; }
    ExportResult exportToFile() override;
    void exportToPaseboard() override;
};

} // namespace velquine
