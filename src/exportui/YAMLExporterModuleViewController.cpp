#include "exportui/YAMLExporterModuleViewController.h"

#include "document/DocumentExport.h"
#include "model/project/VQProject.h"
#include "document/VQDocument.h"
#include "exchange/YAMLExporter.h"

namespace velquine {

YAMLExporterModuleViewController::YAMLExporterModuleViewController(QWidget* parent)
    : ExportWindowModuleViewController(parent)
{
    addDescription(tr("Every node with children becomes a key holding the list of its children."));
}

ExportResult YAMLExporterModuleViewController::exportToFile()
{
    const std::shared_ptr<VQDocument> doc = requireDocument(__FILE__, __LINE__, "export()");
    const std::optional<std::string> url = askForSaveURL({"yml", "yaml"});
    if (!url)
        return ExportResult::cancelled;
    // The map as it is now (a copy sharing its nodes), written on a worker.
    const VQProject project = doc->project();
    exportWaiting(*url, [&] { YAMLExporter(project.graph).exportTo(*url); });
    return ExportResult::done;
}

void YAMLExporterModuleViewController::exportToPaseboard()
{
    const auto document = requireDocument(__FILE__, __LINE__, "exportToPaseboard()");
    DocumentExport(*document).exportYamlToPasteboard();
}

} // namespace velquine
