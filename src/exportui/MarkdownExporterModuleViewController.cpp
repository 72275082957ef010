#include "exportui/MarkdownExporterModuleViewController.h"

#include "document/VQDocument.h"
#include "document/DocumentExport.h"

namespace velquine {

MarkdownExporterModuleViewController::MarkdownExporterModuleViewController(QWidget* parent)
    : ExportWindowModuleViewController(parent)
{
    addDescription(tr("Every node becomes a heading, one level deeper for each level of the map."));
}

ExportResult MarkdownExporterModuleViewController::exportToFile()
{
    const std::shared_ptr<VQDocument> doc = requireDocument(__FILE__, __LINE__, "export()");
    const std::optional<std::string> url = askForSaveURL({"md", "markdown"});
    if (!url)
        return ExportResult::cancelled;
    const DocumentExport exporter(*doc);
    exportWaiting(*url, [&] { exporter.exportMarkdown(*url, MarkdownExporter::Options{}); });
    return ExportResult::done;
}

void MarkdownExporterModuleViewController::exportToPaseboard()
{
    const auto document = requireDocument(__FILE__, __LINE__, "exportToPaseboard()");
    DocumentExport(*document).exportMarkdownToPasteboard(MarkdownExporter::Options{});
}

} // namespace velquine
