#include "exportui/OPMLExporterModuleViewController.h"

#include "document/VQDocument.h"
#include "document/DocumentExport.h"

namespace velquine {

OPMLExporterModuleViewController::OPMLExporterModuleViewController(QWidget* parent)
    : ExportWindowModuleViewController(parent)
{
    addDescription(tr("An outline that outliners and feed readers open, titled after the map."));
}

ExportResult OPMLExporterModuleViewController::exportToFile()
{
    const std::shared_ptr<VQDocument> doc = requireDocument(__FILE__, __LINE__, "export()");
    const std::optional<std::string> url = askForSaveURL({"opml"});
    if (!url)
        return ExportResult::cancelled;
    const DocumentExport exporter(*doc);
    exportWaiting(*url, [&] { exporter.exportOPML(*url); });
    return ExportResult::done;
}

void OPMLExporterModuleViewController::exportToPaseboard()
{
    const auto document = requireDocument(__FILE__, __LINE__, "exportToPaseboard()");
    DocumentExport(*document).exportOPMLToPasteboard();
}

} // namespace velquine
