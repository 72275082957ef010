// How documents come into being: new ones with the settings' defaults, and those read from files.

#include "document/DocumentFactory.h"

#include "document/VQDocument.h"
#include "document/VQDocumentFiles.h"
#include "layout/VQProjectEdits.h"
#include "model/graph/Grid.h"
#include "model/style/ProjectStyle.h"
#include "platform/UserDefaults.h"

namespace velquine {

// ---- New documents ----

std::shared_ptr<VQDocument> DocumentFactory::makeUntitledDocument()
{
    auto document = std::make_shared<VQDocument>();
    applyNewDocumentDefaults(*document);
    return document;
}

void DocumentFactory::applyNewDocumentDefaults(VQDocument& document)
{
    const UserDefaults& defaults = UserDefaults::standard();
    GridType type = GridType::noGrid;
    if (const std::optional<std::string> name = defaults.stringForKey("defaultGridStyle")) {
        try {
            type = gridTypeFromString(*name);
        } catch (const TextError&) {
            type = GridType::noGrid;
        }
    }
    const std::int64_t size = defaults.integerForKey("defaultGridSize");
    const double side = size >= 8 && size <= 32 ? static_cast<double>(size) : 24.0;
    VQProject& project = document.projectForLoading();
    project.grid.type = type;
    project.grid.size = Size{side, side};

    const ProjectStyle style = defaultProjectStyle();
    project.projectStyle = style;
    applyStyle(project, style, true, true, true);
}

// ---- Reading ----

std::shared_ptr<VQDocument> DocumentFactory::makeDocumentForURL(const std::string& url, const std::string& typeName)
{
    auto document = std::make_shared<VQDocument>();
    document->setFileURL(url);
    document->setFileType(typeName);
    document->read(url, typeName);
    // A file opened as a document that yields no outline (a picture, an OPML file without outlines, an empty
    // text) is refused: an empty untitled map in its place would hide that nothing was read.
    if (!document->fileURL() && document->project().graph.isEmpty()) {
        switch (VQDocumentFiles::readerFor(typeName, url)) {
        case DocumentReader::none:
            throw TextError(std::string(VQDocumentFiles::unknownKindMessage));
        case DocumentReader::opml:
            throw TextError(std::string(VQDocumentFiles::noOPMLOutlineMessage));
        default:
            throw TextError(std::string(VQDocumentFiles::noTextOutlineMessage));
        }
    }
    return document;
}

} // namespace velquine
