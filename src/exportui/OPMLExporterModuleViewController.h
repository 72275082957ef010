#pragma once

// The OPML module: the map as an OPML outline, without options.

#include "exportui/ExportWindowModuleViewController.h"

namespace velquine {

class OPMLExporterModuleViewController : public ExportWindowModuleViewController {
    Q_OBJECT
public:
    explicit OPMLExporterModuleViewController(QWidget* parent = nullptr);

    std::string moduleTitle() const override { return "OPML Document"; }
    std::string toolbarItemIdentifier() const override { return "opmlToolbarItem"; }
    bool supportsPasteboardExport() const override { return true; }
    ExportResult exportToFile() override;
    void exportToPaseboard() override;
};

} // namespace velquine
