#include "exportui/ImageExporterModuleViewController.h"

#include "document/VQDocument.h"
#include "exchange/OutlineWalk.h"

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
    const std::optional<Bytes> png = doc->renderImage(renderOptions()).pngData();
    if (!png)
        throw ImageExtensionError(ImageExtensionError::Kind::unwrappingPNGRepresentationFailed);
    detail::writeFileAtomically(*url, std::string(png->begin(), png->end()));
    return ExportResult::done;
}

void ImageExporterModuleViewController::exportToPaseboard()
{
    requireDocument(__FILE__, __LINE__, "exportToPaseboard()")->exportImageToPasteboard(renderOptions());
}

} // namespace velquine
