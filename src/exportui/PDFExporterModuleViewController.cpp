#include "exportui/PDFExporterModuleViewController.h"

#include "document/VQDocument.h"

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
    const Bytes pdf = doc->renderPDF(renderOptions());
    writeFile(*url, pdf);
    return ExportResult::done;
}

void PDFExporterModuleViewController::exportToPaseboard()
{
    requireDocument(__FILE__, __LINE__, "exportToPaseboard()")->exportPDFToPasteboard(renderOptions());
}

} // namespace velquine
