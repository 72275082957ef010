#pragma once

// What the PDF and image modules share: the map drawn through the document's renderer, with two switches,
// a transparent background and the grid. At most one of them is on; while one is on the other is off and
// disabled. Both are stored at every change, under the module's own class name.

#include "document/GraphRenderer.h"
#include "exportui/ExportWindowModuleViewController.h"

class QCheckBox;

namespace velquine {

class RenderingExporterModuleViewController : public ExportWindowModuleViewController {
    Q_OBJECT
public:
    // className is the start of the module's setting keys.
    RenderingExporterModuleViewController(std::string className, QWidget* parent = nullptr);

    bool supportsPasteboardExport() const override { return true; }

    // The options as the switches show them now.
    GraphRenderOptions renderOptions() const;
    // Keeps the two switches apart after sender changed, then stores both.
    void updateSwitchStates(QCheckBox* sender);
    virtual void saveSwitchStates();

    QCheckBox* transparentBackgroundSwitch;
    QCheckBox* renderGridSwitch;

protected:
    void viewDidLoad() override;
    // Writes the file safely (the old file stays whole when writing fails); throws the system's reason.
    static void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

private:
    std::string key(const char* option) const { return className_ + "." + option; }
    std::string className_;
};

} // namespace velquine
