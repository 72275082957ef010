#include "exportui/ImageExporterModuleViewController.h"

#include "document/VQDocument.h"
#include "document/DocumentExport.h"

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
    const std::optional<Bytes> png = DocumentExport(*doc).renderPNG(renderOptions());
    if (!png)
        throw ImageExtensionError(ImageExtensionError::Kind::unwrappingPNGRepresentationFailed);
    writeFile(*url, *png);
    return ExportResult::done;
}

void ImageExporterModuleViewController::exportToPaseboard()
{
    const auto document = requireDocument(__FILE__, __LINE__, "exportToPaseboard()");
    DocumentExport(*document).exportImageToPasteboard(renderOptions());
}

} // namespace velquine
