// A canvas of several hundred layers finds the layers near what it paints without walking them all: while
// subtrees slide to new places, the preparation of a banded paint lists exactly the layers a walk of every
// layer finds in view, and once they settle the bands show what one paint at once shows.
#include "support/QtWait.h"
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTest>

#include <algorithm>
#include <cstdlib>

#include "GraphViewTestSupport.h"
#include "kit/ScrollView.h"
#include "platform/layer/Animator.h"
#include "platform/layer/LayerBandPainter.h"
#include "platform/layer/LayerRenderer.h"

namespace velquine::testing {
namespace {

std::vector<Layer*> inViewByWalk(const Layer& root, const Rect& area)
{
    std::vector<Layer*> found;
    for (Layer* layer : root.sublayersInDrawingOrder())
        if (!layer->isHidden() && layer->presentationOpacity() > 0 && extentsMeet(layer->visualBounds(), area))
            found.push_back(layer);
    return found;
}

int largestChannelDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const uchar*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const uchar*>(b.constScanLine(y));
        for (int i = 0; i < a.width() * 4; ++i)
            largest = std::max(largest, std::abs(int(p[i]) - int(q[i])));
    }
    return largest;
}

QImage grabbed(QWidget& viewport, int bands)
{
    LayerBandPainter::setMaximumBands(bands);
    return viewport.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(CanvasAreaIndex, SlidingSubtreesArePaintedFromTheLayersNearTheView)
{
    VQProject project = sampleProject(2, 12, 10);
    ScrollView scrollView;
    scrollView.resize(1000, 720);
    auto* view = new GraphView(Rect(0, 0, 2400, 1400));
    view->setGraph(project.graph);
    scrollView.setDocumentView(view);
    scrollView.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scrollView));
    ASSERT_GE(view->layer()->sublayers().size(), Layer::sublayersFiledByArea);
    scrollView.scrollToPoint({0, 150});
    EXPECT_EVENTUALLY(view->visibleRect().minY() == 150);

    double clock = 100;
    Animator::shared().setTimeSource([&clock] { return clock; });
    // The first tree is in view, the second right of it.
    std::vector<Node> roots;
    for (const auto& [uid, node] : project.graph.nodeBin())
        if (!node.parentUID)
            roots.push_back(node);
    ASSERT_EQ(roots.size(), 2u);
    std::sort(roots.begin(), roots.end(), [](const Node& a, const Node& b) { return a.center.x < b.center.x; });
    for (int move = 0; move < 6; ++move) {
        // A main node's subtree slides from one tree to the other across the edge of the view: its layers move
        // in, out and across the cells they are filed under.
        const bool in = move % 2 == 0;
        const Node& from = in ? roots[1] : roots[0];
        const Node main = *project.graph.findNode(from.childrenUIDs[std::size_t(move)]);
        for (Node node : project.graph.subtree(main)) {
            node.center = {node.center.x + (in ? -900 : 900), node.center.y + 40};
            project.graph.setNode(node, node.uid);
        }
        view->setGraph(project.graph);
        for (int frame = 0; frame < 3; ++frame) {
            clock += 0.06;
            Animator::shared().tick();
            const Rect visible = scrollView.documentVisibleRect();
            QImage image(1000, 720, QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&image);
            LayerRenderOptions options;
            options.sourceRect = visible;
            const Animator::FrozenTime frozen;
            const LayerPaintPreparation made = LayerRenderer::prepareSharedPaints(painter, *view->layer(), options);
            const auto listed = made.crowdedSublayers.find(view->layer().get());
            ASSERT_NE(listed, made.crowdedSublayers.end());
            EXPECT_EQ(listed->second, inViewByWalk(*view->layer(), visible)) << "move " << move << " frame " << frame;
        }
        // Settled, bands and one paint show the same, but where a band's edge cuts an edge that falls between
        // pixels: there the rasterizer may round its coverage a level apart.
        clock += 1;
        Animator::shared().tick();
        grabbed(*scrollView.viewport(), 6);
        const QImage bands = grabbed(*scrollView.viewport(), 6);
        const QImage whole = grabbed(*scrollView.viewport(), 1);
        ASSERT_EQ(bands.size(), whole.size());
        EXPECT_LE(largestChannelDifference(bands, whole), 2) << "move " << move;
        if (move == 5)
            bands.save(artefactPath(QStringLiteral("canvas_area_index_sliding.png")));
    }
    LayerBandPainter::setMaximumBands(0);
    clock += 10;
    Animator::shared().tick();
    Animator::shared().setTimeSource({});
}

} // namespace
} // namespace velquine::testing
