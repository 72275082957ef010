#include "exportui/ImageExporterModuleViewController.h"

#include "document/VQDocument.h"
#include "document/DocumentExport.h"
#include "platform/LongWork.h"

namespace velquine {

ImageExporterModuleViewController::ImageExporterModuleViewController(QWidget* parent)
    : RenderingExporterModuleViewController("ImageExporterModuleViewController", parent)
{
}

ExportResult ImageExporterModuleViewController::exportToFile()
{
    const std::shared_ptr<VQDocument> doc = requireDocument(__FILE__, __LINE__, "export()");
    const std::optional<std::string> url = askForSaveURL({"png"});
    if (!url)
        return ExportResult::cancelled;
    // The map is drawn on the main thread; the file is written on a worker.
    const LongWork::Busy busy(exportingText(*url));
    const std::optional<Bytes> png = DocumentExport(*doc).renderPNG(renderOptions());
    if (!png)
        throw ImageExtensionError(ImageExtensionError::Kind::unwrappingPNGRepresentationFailed);
    exportWaiting(*url, [&] { writeFile(*url, *png); });
    return ExportResult::done;
}

void ImageExporterModuleViewController::exportToPaseboard()
{
    const auto document = requireDocument(__FILE__, __LINE__, "exportToPaseboard()");
    const LongWork::Busy busy(tr("Copying the map as a picture\u2026").toStdString());
    DocumentExport(*document).exportImageToPasteboard(renderOptions());
}

} // namespace velquine
