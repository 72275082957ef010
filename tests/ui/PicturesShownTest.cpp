// The pictures of a map are read apart from the editor, and shown as they were when the editor decoded them.

#include "OpenedMapWindow.h"

#include <gtest/gtest.h>

#include <QDir>

#include "layout/NodeSizing.h"
#include "picture/PictureDecoding.h"
#include "support/OrdinaryPictures.h"
#include "support/PicturesRead.h"

using namespace velquine;
using namespace velquine::test;
using namespace velquine::testing;

namespace {

// A root with a child for each picture, each child sized for its picture and the map laid out; the pictures
// decoded in this process, as the editor decoded them before it had a reader.
VQProject mapDecodedHere(const std::vector<std::pair<std::string, QByteArray>>& pictures,
                         std::vector<std::int64_t>& holders)
{
    VQDocument document;
    document.beginEditingSession("Pictures");
    const Node root = document.createRootNode("Pictures", {0, 0}, false);
    for (const auto& [kind, bytes] : pictures) {
        Node child = *document.createChildNode(root.uid, kind);
        holders.push_back(child.uid);
        const std::optional<Picture> fitted = fittedInto(PictureDecoding::decode(bytes).picture, 1024, 1024);
        EXPECT_TRUE(fitted) << kind;
        if (fitted)
            child.setImage(Image(fitted->bitmap, Size{fitted->points.width(), fitted->points.height()}));
        document.updateNodes({autosizeNode(child, autosizeKeepCenter)}, NodeUpdateOperation::imageSet, false);
    }
    DocumentLayout(document).autoLayoutGraph(true);
    document.commitEditingSession();
    return document.project();
}

} // namespace

// A map of 21 pictures as people make them, opened as the program opens a file: the window shows the pixels it
// showed when the editor decoded the pictures itself.
TEST(PicturesShown, AMapOfOrdinaryPicturesShowsThePicturesTheEditorDecodedItself)
{
    const std::vector<std::pair<std::string, QByteArray>> pictures = ordinaryPictures();
    std::vector<std::int64_t> holders;
    const VQProject here = mapDecodedHere(pictures, holders);
    // The same map with each picture as its bytes, as a file holds it.
    VQProject stored = here;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        Node node = *stored.graph.node(holders[i]);
        node.setUnreadPicture(Bytes(pictures[i].second.begin(), pictures[i].second.end()));
        stored.graph.setNode(node, node.uid);
    }
    OpenedMapWindow opened(stored);
    ASSERT_TRUE(picturesRead(*opened.document));
    opened.settle();
    for (const Node& node : here.graph.storedNodes()) {
        const Node* shown = opened.document->project().graph.findNode(node.uid);
        ASSERT_TRUE(shown && shown->image().has_value() == node.image().has_value()) << node.title;
        if (node.image())
            EXPECT_EQ(shown->image()->bitmap(), node.image()->bitmap()) << node.title;
    }
    // The whole map in view (the canvas paints truly what is in view).
    const auto wholeMapInView = [](const OpenedMapWindow& window) {
        window.scrollView()->setMagnification(0.25);
        window.settle();
        return window.scrollView()->viewport()->grab().toImage();
    };
    const QImage read = wholeMapInView(opened);

    OpenedMapWindow decodedHere;
    auto document = std::make_shared<VQDocument>();
    document->projectForLoading() = here;
    decodedHere.show(document);
    const QImage reference = wholeMapInView(decodedHere);
    EXPECT_EQ(read, reference);
    QDir().mkpath(QStringLiteral(VELQUINE_ARTEFACTS_DIR));
    read.save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/pictures-read-apart.png"));
}
