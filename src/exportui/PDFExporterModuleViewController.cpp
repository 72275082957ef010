#include "exportui/PDFExporterModuleViewController.h"

#include "document/VQDocument.h"
#include "document/DocumentExport.h"
#include "platform/LongWork.h"

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
    // The map is drawn on the main thread; the file is written on a worker.
    const LongWork::Busy busy(exportingText(*url));
    const Bytes pdf = DocumentExport(*doc).renderPDF(renderOptions());
    exportWaiting(*url, [&] { writeFile(*url, pdf); });
    return ExportResult::done;
}

void PDFExporterModuleViewController::exportToPaseboard()
{
    const auto document = requireDocument(__FILE__, __LINE__, "exportToPaseboard()");
    const LongWork::Busy busy(tr("Copying the map as PDF\u2026").toStdString());
    DocumentExport(*document).exportPDFToPasteboard(renderOptions());
}

} // namespace velquine
