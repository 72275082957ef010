// What the editor window shows of single nodes after a command: debug drawing, a title made bold, a photo,
// a very long title.

#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QPainter>
#include <QToolButton>
#include <QTest>

#include "canvas/GraphView.h"
#include "canvas/layers/NodeLayer.h"
#include "document/VQDocument.h"
#include "editor/EditorPanes.h"
#include "editor/MindMapEditorWindowController.h"
#include "inspector/InspectorBarController.h"
#include "inspector/NodeStyleInspector.h"
#include "kit/ScrollView.h"
#include "kit/SegmentedControl.h"
#include "kit/WindowActions.h"
#include "layout/NodeSizing.h"
#include "model/project/FactorySettings.h"
#include "platform/FontManager.h"
#include "platform/Pasteboard.h"
#include "platform/RunLoop.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "UiTestSupport.h"
#include "canvas/CanvasSync.h"

using namespace velquine;

namespace {

// A root with two children in a shown editor window, the first child selected.
struct NodeWindow {
    ScopedStandardUserDefaults scope;
    bool registered = (registerFactoryDefaults(), true);
    std::shared_ptr<VQDocument> document = std::make_shared<VQDocument>();
    bool building = (document->beginEditingSession("Build"), true);
    Node root = document->createRootNode("Root", {0, 0}, false);
    Node child = *document->createChildNode(root, "Quarterly planning review", std::nullopt, true, false);
    Node other = *document->createChildNode(root, "Other", std::nullopt, true, false);
    std::unique_ptr<MindMapEditorWindowController> window;

    NodeWindow()
    {
        document->projectForLoading().setSelectedNodes({child});
        document->commitEditingSession();
        window = std::make_unique<MindMapEditorWindowController>(document, QStringLiteral("Untitled"));
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        RunLoop::drain();
    }
    ~NodeWindow() { window->close(); }
    GraphView& canvas() const
    {
        return *window->contentViewController()->editorContentViewController()->graphView();
    }
    NodeLayer* layerOf(const Node& node) const
    {
        for (const auto& layer : canvas().sync().nodeLayers())
            if (layer->node().uid == node.uid)
                return layer.get();
        return nullptr;
    }
    Node current(const Node& node) const { return *document->project().graph.node(node.uid); }
    bool send(const char* selector) const
    {
        const bool sent = window->windowActions()->dispatcher().sendAction(selector);
        RunLoop::drain();
        return sent;
    }
};

} // namespace

TEST(NodeAppearance, ToggleDebugDrawingOutlinesEveryNodeLayerAndTogglesBack)
{
    NodeWindow w;
    ASSERT_TRUE(w.layerOf(w.child));
    EXPECT_EQ(w.layerOf(w.child)->borderWidth(), 0.0);
    ASSERT_TRUE(w.send("toggleDebugDrawing:"));
    EXPECT_EVENTUALLY(w.layerOf(w.root) && w.layerOf(w.root)->borderWidth() == 1.0);
    for (const auto& layer : w.canvas().sync().nodeLayers()) {
        EXPECT_EQ(layer->borderWidth(), 1.0);
        EXPECT_EQ(layer->labelLayer()->borderWidth(), 1.0);
    }
    test::saveScreenshot(w.window.get(), QStringLiteral("debug-drawing-on"));
    ASSERT_TRUE(w.send("toggleDebugDrawing:"));
    EXPECT_EVENTUALLY(w.layerOf(w.root) && w.layerOf(w.root)->borderWidth() == 0.0);
    EXPECT_FALSE(NodeLayer::isDebugDrawingEnabled());
}

TEST(NodeAppearance, ABoldTitleResizesItsEllipseToTheWiderText)
{
    NodeWindow w;
    Node ellipse = w.current(w.child);
    ellipse.shape = NodeShape::ellipse;
    w.document->beginEditingSession("Shape");
    w.document->updateNodes({autosizeNode(ellipse)}, NodeUpdateOperation::shape, false);
    w.document->commitEditingSession();
    RunLoop::drain();
    const Size plain = w.current(w.child).size;
    const Point center = w.current(w.child).center;

    // Bold through the node style pane in the sidebar.
    auto* bar = static_cast<InspectorBarController*>(w.window->contentViewController()->inspectorBarController());
    auto* pane = static_cast<NodeStyleInspector*>(bar->nodeStyleInspector());
    ASSERT_TRUE(pane->isVisible());
    QTest::mouseClick(pane->fontVariantSegment->segmentButton(0), Qt::LeftButton);
    RunLoop::drain();
    Node bold = w.current(w.child);
    ASSERT_TRUE(FontManager::traits(bold.style.font) & FontTrait::bold);
    EXPECT_GT(bold.size.width, plain.width);
    EXPECT_EQ(bold.size, autosizeNode(bold).size);
    EXPECT_EQ(bold.center.y, center.y);
    EXPECT_EQ(w.document->undoManager()->undoActionName(), "Change Font Style");
    EXPECT_EVENTUALLY(w.layerOf(w.child) && w.layerOf(w.child)->bounds().size == bold.size);
    test::saveScreenshot(w.window.get(), QStringLiteral("bold-ellipse"));

    // And back through Format ▸ Toggle Bold; a node sized by hand keeps its size.
    ASSERT_TRUE(w.send("toggleNodeBold:"));
    EXPECT_EQ(w.current(w.child).size, plain);
    Node byHand = w.current(w.other);
    byHand.size = Size{200, 90};
    byHand.autoSize = false;
    w.document->beginEditingSession("Resize");
    w.document->updateNodes({byHand}, NodeUpdateOperation::size, false);
    w.document->projectForLoading().setSelectedNodes({byHand});
    w.document->commitEditingSession();
    ASSERT_TRUE(w.send("toggleNodeBold:"));
    EXPECT_TRUE(FontManager::traits(w.current(w.other).style.font) & FontTrait::bold);
    EXPECT_EQ(w.current(w.other).size, (Size{200, 90}));
}

TEST(NodeAppearance, AWidePhotoWidensItsNodeToFillTheImageArea)
{
    NodeWindow w;
    // A photo twice as wide as high, put into the node with the short title through Add Photo.
    QImage photo(1600, 800, QImage::Format_ARGB32);
    photo.fill(Qt::darkCyan);
    {
        QPainter painter(&photo);
        painter.fillRect(0, 0, 800, 800, Qt::darkMagenta);
    }
    w.window->insertImageIntoSelectedNodes(Image(photo), {w.other.uid});
    RunLoop::drain();
    const Node node = w.current(w.other);
    ASSERT_TRUE(node.image());
    EXPECT_GT(node.size.width, w.other.size.width);
    NodeLayer* layer = w.layerOf(w.other);
    ASSERT_TRUE(layer);
    EXPECT_EVENTUALLY(layer->isImageShown() && layer->bounds().size == node.size);
    // The picture, fitted into its area without distortion, fills it in both directions.
    const Rect area = layer->imageLayer().frame();
    const double scale = std::min(area.width() / 1600.0, area.height() / 800.0);
    EXPECT_GE(1600.0 * scale, 0.9 * area.width());
    EXPECT_GE(800.0 * scale, 0.9 * area.height());
    EXPECT_GE(area.width(), 0.8 * node.size.width);
    test::saveScreenshot(w.window.get(), QStringLiteral("wide-photo"));

    // A photo higher than wide keeps the node's width.
    w.window->insertImageIntoSelectedNodes(Image(photo.transformed(QTransform().rotate(90))), {w.child.uid});
    RunLoop::drain();
    EXPECT_EQ(w.current(w.child).size.width, w.child.size.width);
}

TEST(NodeAppearance, PhotosFarWiderOrHigherThanTheirNodesAreShownFillingTheirArea)
{
    NodeWindow w;
    // Through Add Photo: a photo six times as wide as high onto the short title, whose node cannot be made as
    // wide as the photo would need, and one four and a half times as high as wide onto the long title.
    const auto photo = [](int width, int height) {
        QImage bitmap(width, height, QImage::Format_ARGB32);
        bitmap.fill(Qt::darkCyan);
        QPainter painter(&bitmap);
        painter.fillRect(0, 0, width / 2, height / 2, Qt::darkMagenta);
        return Image(bitmap);
    };
    const std::vector<std::pair<Node, Image>> cases{{w.other, photo(1200, 200)}, {w.child, photo(200, 900)}};
    for (const auto& [target, image] : cases) {
        SCOPED_TRACE(target.title);
        w.window->insertImageIntoSelectedNodes(image, {target.uid});
        RunLoop::drain();
        const Node node = w.current(target);
        ASSERT_TRUE(node.image());
        NodeLayer* layer = w.layerOf(target);
        ASSERT_TRUE(layer);
        EXPECT_EVENTUALLY(layer->isImageShown() && layer->bounds().size == node.size);
        // The picture, fitted into its area without distortion, fills it in both directions.
        const Rect area = layer->imageLayer().frame();
        const Size picture = node.image()->size();
        const double scale = std::min(area.width() / picture.width, area.height() / picture.height);
        EXPECT_GE(picture.width * scale, 0.9 * area.width()) << node.size.width << " × " << node.size.height;
        EXPECT_GE(picture.height * scale, 0.9 * area.height()) << node.size.width << " × " << node.size.height;
        EXPECT_GE(area.width(), 0.8 * node.size.width);
    }
    // The nodes were laid out again around their new sizes; the whole map in view once they have moved there.
    w.window->contentViewController()->editorContentViewController()->scrollView()->setMagnification(
        0.5, w.current(w.root).center);
    RunLoop::drain();
    EXPECT_EVENTUALLY(std::all_of(w.canvas().sync().nodeLayers().begin(), w.canvas().sync().nodeLayers().end(),
                                  [](const auto& layer) { return layer->presentationFrame() == layer->frame(); }));
    test::saveScreenshot(w.window.get(), QStringLiteral("far-wider-and-higher-photos"));
}

TEST(NodeAppearance, AVeryLongPastedTitleIsWrappedInsideItsNode)
{
    NodeWindow w;
    // 100,000 characters pasted onto the selected node: one unbroken word, then words.
    std::string words;
    for (int i = 0; words.size() < 100000; ++i)
        words += "word" + std::to_string(i % 97) + " ";
    int round = 0;
    for (const std::string& title : {std::string(100000, 'a'), words}) {
        SCOPED_TRACE(round);
        Pasteboard::general().declareTypes({Pasteboard::stringType});
        Pasteboard::general().setString(title, Pasteboard::stringType);
        ASSERT_TRUE(w.send("paste:"));
        const Node node = w.current(w.child);
        ASSERT_EQ(node.title.size(), title.size());
        NodeLayer* layer = w.layerOf(w.child);
        ASSERT_TRUE(layer);
        EXPECT_EVENTUALLY(layer->bounds().size == node.size && layer->labelLayer()->string().string() == title);
        // The label lies inside the node, every line of it within its width, and it fills the node but for the
        // line of room below a title.
        const Rect label = layer->labelLayer()->frame();
        EXPECT_TRUE(Rect(Point{0, 0}, node.size).contains(label));
        const std::vector<TextLine>& lines = layer->labelLayer()->laidOutText().lines();
        ASSERT_GT(lines.size(), 100u);
        for (const TextLine& line : lines)
            ASSERT_LE(line.width, label.width());
        EXPECT_GE(label.height(), 0.9 * node.size.height);
        EXPECT_LT(node.size.width, node.size.height);
        w.window->contentViewController()->editorContentViewController()->scrollView()->setMagnification(
            0.25, Point{node.center.x, node.center.y - node.size.height / 2 + 300});
        RunLoop::drain();
        test::saveScreenshot(w.window.get(), QStringLiteral("long-title-%1").arg(round++));
    }
}
