// Outlines of many trees, opened from OPML and indented text files or pasted, show every tree apart from the
// others and all of them compactly in the editor window.

#include "document/DocumentFactory.h"
#include "support/OutlineSamples.h"
#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include <fstream>

#include "canvas/GraphView.h"
#include "canvas/layers/NodeLayer.h"
#include "document/FileTypes.h"
#include "document/VQDocument.h"
#include "document/DocumentImport.h"
#include "document/DocumentClipboard.h"
#include "editor/EditorPanes.h"
#include "editor/MindMapEditorWindowController.h"
#include "kit/ScrollView.h"
#include "model/project/FactorySettings.h"
#include "platform/Pasteboard.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "UiTestSupport.h"
#include "canvas/CanvasSync.h"

using namespace velquine;
using namespace velquine::testing;

namespace {

// The frames of the node layers, by the root of the tree each node belongs to.
FramesByTree layerFramesByTree(GraphView& canvas, const Graph& graph)
{
    FramesByTree frames;
    for (const auto& layer : canvas.sync().nodeLayers())
        frames[graph.rootAncestor(layer->node()).uid].push_back(layer->frame());
    return frames;
}

struct OpenedOutlines : ::testing::Test {
    ScopedStandardUserDefaults scope;
    QTemporaryDir dir;
    OpenedOutlines() { registerFactoryDefaults(); }

    // Opens the document in an editor window and checks its canvas once the window has drawn it: every tree
    // apart from the others, and together compact.
    void expectTreesApartAndCompact(const std::shared_ptr<VQDocument>& document, std::size_t trees, const QString& name)
    {
        ASSERT_TRUE(document);
        MindMapEditorWindowController window(document, name);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        RunLoop::drain();
        GraphView& canvas = *window.contentViewController()->editorContentViewController()->graphView();
        EXPECT_EVENTUALLY_EQ(canvas.sync().nodeLayers().size(), document->project().graph.count());
        const FramesByTree frames = layerFramesByTree(canvas, document->project().graph);
        EXPECT_EQ(frames.size(), trees);
        EXPECT_EQ(firstOverlap(frames), "") << name.toStdString();
        EXPECT_LE(areaOverTreeAreas(frames), 2.5) << name.toStdString();
        // The whole map as far out as the view zooms.
        const Rect bounds = document->project().graph.boundingRect();
        window.contentViewController()->editorContentViewController()->scrollView()->setMagnification(
            0.25, Point{bounds.midX(), bounds.midY()});
        RunLoop::drain();
        test::saveScreenshot(&window, name);
        window.close();
    }
};

} // namespace

TEST_F(OpenedOutlines, OpenedAndPastedOutlinesOfManyTreesKeepEveryTreeApartAndCompact)
{
    for (const int count : {2, 15, 200}) {
        SCOPED_TRACE(count);
        const std::vector<OutlineItem> items = outlineItems(count);
        const std::string base = dir.filePath(QStringLiteral("outline-%1").arg(count)).toStdString();
        std::ofstream(base + ".opml") << opml(items);
        std::ofstream(base + ".txt") << indentedText(items);
        for (const char* extension : {".opml", ".txt"}) {
            const std::string path = base + extension;
            expectTreesApartAndCompact(DocumentFactory::makeDocumentForURL(path, FileTypes::typeNameForFile(path)), items.size(),
                             QStringLiteral("opened-outline-%1%2").arg(count).arg(QString::fromLatin1(extension + 1)));
        }
    }

    // One tree, a heading chain that grows to one side of its root, keeps its place: the root 50 points up
    // and left of the point it is placed at.
    VQDocument single;
    DocumentImport(single).importOutlineText(indentedText({outlineItems(2)[1]}));
    ASSERT_EQ(single.project().graph.count(), 7u);
    for (const Node& node : single.project().graph.allNodes()) {
        if (!node.parentUID) {
            EXPECT_EQ(node.center, (Point{-50, -50}));
        }
    }

    // Pasted into an empty map.
    auto document = std::make_shared<VQDocument>();
    Pasteboard board;
    board.setString(indentedText(outlineItems(15)), Pasteboard::stringType);
    document->beginEditingSession("Paste");
    ASSERT_TRUE(DocumentClipboard(*document).pasteFromPasteBoard(Point{0, 0}, true, board));
    document->commitEditingSession();
    expectTreesApartAndCompact(document, 15, QStringLiteral("pasted-outline-15"));
}
