#include "exportui/PDFExporterModuleViewController.h"

#include "document/VQDocument.h"
#include "document/DocumentExport.h"

namespace velquine {

PDFExporterModuleViewController::PDFExporterModuleViewController(QWidget* parent)
    : RenderingExporterModuleViewController("PDFExporterModuleViewController", parent)
{
}

ExportResult PDFExporterModuleViewController::exportToFile()
{
    const std::shared_ptr<VQDocument> doc = requireDocument(__FILE__, __LINE__, "export()");
    const std::optional<std::string> url = askForSaveURL({"pdf"});
    if (!url)
        return ExportResult::cancelled;
    const Bytes pdf = DocumentExport(*doc).renderPDF(renderOptions());
    writeFile(*url, pdf);
    return ExportResult::done;
}

void PDFExporterModuleViewController::exportToPaseboard()
{
    const auto document = requireDocument(__FILE__, __LINE__, "exportToPaseboard()");
    DocumentExport(*document).exportPDFToPasteboard(renderOptions());
}

} // namespace velquine
