#pragma once

// The YAML module: the map as nested YAML lists, without options.

#include "exportui/ExportWindowModuleViewController.h"

namespace velquine {

class YAMLExporterModuleViewController : public ExportWindowModuleViewController {
    Q_OBJECT
public:
    explicit YAMLExporterModuleViewController(QWidget* parent = nullptr);

    std::string moduleTitle() const override { return "YAML Document"; }
    std::string toolbarItemIdentifier() const override { return "yamlToolbarItem"; }
    bool supportsPasteboardExport() const override { return true; }
    ExportResult exportToFile() override;
    void exportToPaseboard() override;
};

} // namespace velquine
