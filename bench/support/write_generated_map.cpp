// Writes a generated map (support/GeneratedMaps.h) to a file, for the scripts that time the real program:
//   write_generated_map NODES PATH
//   write_generated_map pictures PATH   a root and 21 children, each with a picture of the kinds people use
//                                       (tests/support/OrdinaryPictures.h), stored as they came, each node
//                                       sized for its picture and the map laid out
//   write_generated_map pictures PATH FILE   a root and 20 children, each with the picture FILE holds
#include "document/DocumentFactory.h"
#include "document/DocumentLayout.h"
#include "document/VQDocument.h"
#include "layout/NodeSizing.h"
#include "picture/PictureDecoding.h"
#include "platform/Heap.h"
#include "support/GeneratedMaps.h"
#include "support/OrdinaryPictures.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// A root with a child for each picture; sizedByPicture decodes the pictures here to size their nodes (ours
// only: a file given may be anything).
std::shared_ptr<velquine::VQDocument> mapOfPictures(const std::vector<std::pair<std::string, QByteArray>>& pictures,
                                                    bool sizedByPicture)
{
    using namespace velquine;
    const std::shared_ptr<VQDocument> document = DocumentFactory::makeUntitledDocument();
    document->beginEditingSession("Pictures");
    const Node root = document->createRootNode("Pictures", {0, 0}, false);
    for (const auto& [kind, bytes] : pictures) {
        std::optional<Node> child = document->createChildNode(root.uid, kind);
        // Sized by the picture as the editor shows it, then kept as its bytes, as a file holds it.
        if (sizedByPicture)
            if (const std::optional<Picture> fitted = fittedInto(PictureDecoding::decode(bytes).picture, 1024, 1024))
                child->setImage(Image(fitted->bitmap, Size{fitted->points.width(), fitted->points.height()}));
        Node sized = autosizeNode(*child, autosizeKeepCenter);
        sized.setUnreadPicture(Bytes(bytes.begin(), bytes.end()));
        document->updateNodes({sized}, NodeUpdateOperation::imageSet, false);
    }
    DocumentLayout(*document).autoLayoutGraph(true);
    document->commitEditingSession();
    return document;
}

} // namespace

int main(int argc, char** argv)
{
    const bool pictures = (argc == 3 || argc == 4) && std::strcmp(argv[1], "pictures") == 0;
    if (!pictures && (argc != 3 || std::atoi(argv[1]) < 1)) {
        std::fprintf(stderr, "usage: %s NODES PATH | pictures PATH [FILE]\n", argv[0]);
        return 2;
    }
    velquine::keepLargeBlocksInHeap();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::shared_ptr<velquine::VQDocument> document;
    if (pictures && argc == 4) {
        QFile file(QString::fromLocal8Bit(argv[3]));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "%s cannot be read\n", argv[3]);
            return 1;
        }
        document = mapOfPictures(std::vector(20, std::pair(std::string("Picture"), file.readAll())), false);
    } else if (pictures) {
        document = mapOfPictures(velquine::testing::ordinaryPictures(), true);
    } else {
        document = std::make_shared<velquine::VQDocument>();
        document->projectForLoading() = velquine::generatedWideTree(std::atoi(argv[1]));
    }
    std::optional<std::string> error;
    if (!document->writeToURL(argv[2], std::string(velquine::VQDocument::documentType), &error)) {
        std::fprintf(stderr, "%s\n", error.value_or("the map could not be written").c_str());
        return 1;
    }
    return 0;
}
