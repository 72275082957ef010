// A busy canvas painted in bands on several threads shows exactly what one paint on the calling thread
// shows. In a build with -fsanitize=thread (tests/support/tsan.supp), the banded paints report no race.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPicture>

#include <algorithm>
#include <cstdlib>
#include <QTest>

#include "GraphViewTestSupport.h"
#include "canvas/GridLayer.h"
#include "support/QtWait.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"
#include "kit/ScrollView.h"
#include "platform/Image.h"
#include "platform/layer/Animator.h"
#include "platform/layer/LayerBandPainter.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/QtGeometry.h"
#include "canvas/CanvasSync.h"

namespace velquine::testing {
namespace {

struct Painted {
    QImage image;
    std::size_t sharedPaints;
    std::size_t picturesResampled;
};

Painted paintedWith(QWidget& viewport, int bands)
{
    LayerBandPainter::setMaximumBands(bands);
    LayerRenderer::statistics() = {};
    QImage image = viewport.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    return {image, LayerRenderer::statistics().sharedPaints, LayerRenderer::statistics().picturesResampled};
}

// Where two pictures of one size first differ, for a failure message.
std::string firstDifference(const QImage& a, const QImage& b)
{
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return "at (" + std::to_string(x) + ", " + std::to_string(y) + "): " + std::to_string(a.pixel(x, y))
                       + " against " + std::to_string(b.pixel(x, y));
    return "nowhere";
}

// The canvas at rest: its layers have the scale it is shown at (given a moment after a zoom) and nothing
// animates (nodes fading in or out of focus, a slide).
bool atRest(GraphView& view)
{
    // The grid takes the scale with every other layer, in one step, and reading it settles nothing.
    return view.gridLayer().contentsScale() == view.effectiveBackingScale() && !Animator::shared().isRunning();
}

// A small area (a node's frame as it animates) is painted on the calling thread: the threads are woken only
// for parts big enough to be worth it.
TEST(BandedPaint, SmallAreasArePaintedOnTheCallingThread)
{
    LayerBandPainter::setMaximumBands(6);
    EXPECT_EQ(LayerBandPainter::bandCount({295, 443}), 1);
    EXPECT_EQ(LayerBandPainter::bandCount({1600, 200}), 3);
    EXPECT_EQ(LayerBandPainter::bandCount({1193, 899}), 6);
    LayerBandPainter::setMaximumBands(0);
}

TEST(BandedPaint, ABusyCanvasPaintsTheSamePixelsInBandsAsAtOnce)
{
    // Branches, titles (one struck through), a picture, selection, a dots grid, cached node pictures, shadows
    // on a node (cached picture) and on a branch (a picture made by each paint), and focus fading.
    VQProject project = sampleProject(2, 10, 5);
    const Node root = project.graph.nodeBin().begin()->second;
    Node pictured = *project.graph.findNode(root.childrenUIDs[1]);
    QImage bitmap(60, 40, QImage::Format_ARGB32);
    bitmap.fill(QColor(230, 120, 40));
    pictured.setImage(Image(bitmap));
    pictured.style.isStrikeThrough = true;
    project.graph.updateNodes({pictured});

    ScrollView scrollView;
    scrollView.resize(1000, 720);
    auto* view = new GraphView(Rect(0, 0, 2200, 1100));
    view->setGrid(Grid{GridType::dots, {24, 24}});
    view->setGraph(project.graph);
    scrollView.setDocumentView(view);
    scrollView.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scrollView));
    EXPECT_EVENTUALLY(atRest(*view));
    view->nodeLayer(root.childrenUIDs[2])->setShadowOpacity(0.6);
    view->branchLayers().front()->setShadowOpacity(0.5);
    view->nodeLayer(root.childrenUIDs[3])->setSelected(true);
    view->setSelectedNodeUIDs({root.childrenUIDs[0]});
    view->toggleFocusMode();
    ASSERT_TRUE(view->isFocusModeOn());
    // While the fading animates, the canvas is painted at once.
    EXPECT_EVENTUALLY(atRest(*view));

    // Banded first, so that its preparation makes the pictures; then banded again with bands cut by what the
    // first paint's rows cost, and at once.
    const Painted banded = paintedWith(*scrollView.viewport(), 6);
    const Painted again = paintedWith(*scrollView.viewport(), 6);
    const Painted whole = paintedWith(*scrollView.viewport(), 1);
    LayerBandPainter::setMaximumBands(0);
    EXPECT_EQ(banded.sharedPaints, 6u);
    EXPECT_EQ(again.sharedPaints, 6u);
    EXPECT_EQ(whole.sharedPaints, 0u);
    whole.image.save(artefactPath(QStringLiteral("banded_paint_whole.png")));
    banded.image.save(artefactPath(QStringLiteral("banded_paint_bands.png")));
    ASSERT_EQ(banded.image.size(), whole.image.size());
    EXPECT_TRUE(banded.image == whole.image) << firstDifference(banded.image, whole.image);
    EXPECT_TRUE(again.image == whole.image) << firstDifference(again.image, whole.image);

    // Half way through nodes sliding to new places, every band shows the same instant of the slide.
    double clock = 100;
    Animator::shared().setTimeSource([&clock] { return clock; });
    NodeLayer& sliding = *view->nodeLayer(root.childrenUIDs[4]);
    const Point from = sliding.position();
    sliding.setPosition({from.x + 90, from.y + 130});
    view->nodeLayer(root.childrenUIDs[5])->setPosition({from.x - 60, from.y + 30});
    clock += 0.1;
    Animator::shared().tick();
    ASSERT_TRUE(sliding.hasAnimationForKey("position"));
    ASSERT_GT(sliding.presentationPosition().y, from.y + 1);
    ASSERT_LT(sliding.presentationPosition().y, from.y + 129);
    const Painted slidingBands = paintedWith(*scrollView.viewport(), 6);
    const Painted slidingWhole = paintedWith(*scrollView.viewport(), 1);
    EXPECT_EQ(slidingBands.sharedPaints, 6u);
    EXPECT_TRUE(slidingBands.image == slidingWhole.image) << firstDifference(slidingBands.image, slidingWhole.image);
    clock += 10;
    Animator::shared().tick();
    Animator::shared().setTimeSource({});
    EXPECT_FALSE(sliding.hasAnimations());

    // Zoomed out and scrolled, layers fall between device pixels. Pictures are made again for the new scale
    // (within each paint's budget, so as many paints as a slow machine needs) before the two are compared.
    scrollView.setMagnification(0.7);
    scrollView.scrollToPoint({300, 150});
    EXPECT_EVENTUALLY(atRest(*view));
    for (int i = 0; i < 100 && paintedWith(*scrollView.viewport(), 6).picturesResampled > 0; ++i) {
    }
    const Painted zoomedBands = paintedWith(*scrollView.viewport(), 6);
    const Painted zoomed = paintedWith(*scrollView.viewport(), 1);
    LayerBandPainter::setMaximumBands(0);
    EXPECT_EQ(zoomedBands.sharedPaints, 6u);
    EXPECT_EQ(zoomedBands.picturesResampled, 0u);
    EXPECT_EQ(zoomed.picturesResampled, 0u);
    zoomedBands.image.save(artefactPath(QStringLiteral("banded_paint_zoomed.png")));
    // Edges that fall between pixels are shaded alike where a band's edge crosses them.
    EXPECT_TRUE(zoomedBands.image == zoomed.image) << firstDifference(zoomedBands.image, zoomed.image);
}

TEST(BandedPaint, SmallAreasAndSingleCoresPaintAtOnce)
{
    LayerBandPainter::setMaximumBands(0);
    EXPECT_EQ(LayerBandPainter::bandCount({120, 90}), 1);
    LayerBandPainter::setMaximumBands(1);
    EXPECT_EQ(LayerBandPainter::bandCount({1200, 800}), 1);
    LayerBandPainter::setMaximumBands(4);
    EXPECT_EQ(LayerBandPainter::bandCount({1200, 800}), 4);
    // No band is thinner than a few rows' worth of work.
    EXPECT_EQ(LayerBandPainter::bandCount({4000, 130}), 2);
    LayerBandPainter::setMaximumBands(0);
}

} // namespace
} // namespace velquine::testing

namespace velquine::testing {
namespace {

TEST(BandedPaint, BandsArePaintedRightIntoTheImageTheWindowIsPaintedInto)
{
    VQProject project = sampleProject(2, 12, 5);
    ScrollView scrollView;
    scrollView.resize(900, 640);
    auto* view = new GraphView(Rect(0, 0, 2200, 1100));
    view->setGrid(Grid{GridType::dots, {20, 20}});
    view->setGraph(project.graph);
    scrollView.setDocumentView(view);
    scrollView.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scrollView));
    EXPECT_EVENTUALLY(atRest(*view));
    scrollView.scrollToPoint({130, 70});
    EXPECT_EVENTUALLY(atRest(*view));

    // The whole window, its viewport painted at an offset within it, on a window background that is not the
    // view's; then a picture recorded with a translucent painter, which takes bands drawn in.
    const auto grabbed = [&](int bands) {
        LayerBandPainter::setMaximumBands(bands);
        LayerRenderer::statistics() = {};
        return scrollView.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    };
    const QImage inPlace = grabbed(6);
    EXPECT_EQ(LayerRenderer::statistics().sharedPaints, 6u);
    EXPECT_EQ(LayerRenderer::statistics().bandsPaintedInPlace, 6u);
    const QImage whole = grabbed(1);
    EXPECT_EQ(LayerRenderer::statistics().sharedPaints, 0u);
    inPlace.save(artefactPath(QStringLiteral("banded_paint_in_place.png")));
    ASSERT_EQ(inPlace.size(), whole.size());
    // Scrolled, with bands that follow what the last paint's rows cost, every pixel is the whole paint's.
    EXPECT_TRUE(inPlace == whole) << firstDifference(inPlace, whole);

    // Recorded as a picture, the bands are drawn in as pictures of their own, which the recording keeps.
    QWidget& viewport = *scrollView.viewport();
    const auto recorded = [&] {
        LayerRenderer::statistics() = {};
        QPicture picture;
        QPainter recording(&picture);
        viewport.render(&recording);
        return picture;
    };
    const auto replayed = [&](const QPicture& picture) {
        QImage image(viewport.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.drawPicture(0, 0, picture);
        return image;
    };
    LayerBandPainter::setMaximumBands(6);
    const QPicture first = recorded();
    EXPECT_EQ(LayerRenderer::statistics().sharedPaints, 6u);
    EXPECT_EQ(LayerRenderer::statistics().bandsPaintedInPlace, 0u);
    const QImage firstReplayed = replayed(first);
    // Another recording, of another part of the canvas, leaves the first as it was.
    scrollView.scrollToPoint({700, 300});
    const QPicture second = recorded();
    LayerBandPainter::setMaximumBands(0);
    EXPECT_FALSE(replayed(second) == firstReplayed);
    EXPECT_TRUE(replayed(first) == firstReplayed);
}

} // namespace
} // namespace velquine::testing

namespace velquine::testing {
namespace {

// Zoomed out to a quarter, branches are thinner than a device pixel: Qt strokes them by cutting them at the
// edges of the device, and a band that saw only its own rows would shade their pixels along its edges
// otherwise than a paint of the whole does.
TEST(BandedPaint, LinesThinnerThanAPixelCrossBandsAsTheyCrossAWholePaint)
{
    VQProject project = sampleProject(4, 30, 6);
    ScrollView scrollView;
    scrollView.resize(1000, 720);
    auto* view = new GraphView(Rect(0, 0, 4400, 3200));
    view->setGraph(project.graph);
    scrollView.setDocumentView(view);
    scrollView.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scrollView));
    scrollView.setMagnification(0.25);
    scrollView.scrollToPoint({0, 0});
    EXPECT_EVENTUALLY(atRest(*view));
    for (int i = 0; i < 100 && paintedWith(*scrollView.viewport(), 6).picturesResampled > 0; ++i) {
    }
    const Painted bands = paintedWith(*scrollView.viewport(), 6);
    const Painted whole = paintedWith(*scrollView.viewport(), 1);
    LayerBandPainter::setMaximumBands(0);
    EXPECT_EQ(bands.sharedPaints, 6u);
    bands.image.save(artefactPath(QStringLiteral("banded_paint_quarter.png")));
    EXPECT_TRUE(bands.image == whole.image) << firstDifference(bands.image, whole.image);
}

// A strip too small to be cut by its pixels (a scroll brings it into view) is cut still when the rows it
// crosses were costly in the paint before: many thick lines pass through it. It paints the pixels a
// paint on the calling thread gives.
TEST(BandedPaint, ANarrowStripOfCostlyRowsIsPaintedInBands)
{
    auto root = std::make_shared<Layer>();
    root->setAnchorPoint({0, 0});
    root->setFrame({0, 0, 1200, 800});
    root->setBackgroundColor(Qt::white);
    for (int i = 0; i < 1500; ++i) {
        auto line = std::make_shared<ShapeLayer>();
        line->setFrame({0, 0, 1200, 800});
        line->setFillColor(QColor());
        line->setStrokeColor(QColor::fromHsv(i % 360, 180, 200));
        line->setLineWidth(3.75);
        QPainterPath path(QPointF(0, 300 + i % 50));
        path.cubicTo(400, 300, 800, 340 + i % 37, 1200, 320 + i % 60);
        line->setPath(path);
        root->addSublayer(line);
    }
    LayerBandPainter::setMaximumBands(4);
    LayerBandPainter painter;
    const auto paint = [&](QImage& image, const QRect& area) {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        LayerRenderOptions options;
        options.sourceRect = root->bounds();
        options.targetRect = QRectF(image.rect());
        LayerRenderer::statistics() = {};
        painter.render(p, *root, options, area, [](const QRect& part) { return toRect(QRectF(part)); });
        return LayerRenderer::statistics().sharedPaints;
    };
    QImage image(1200, 800, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    EXPECT_EQ(paint(image, image.rect()), 4u);
    const QRect strip(600, 250, 300, 150);
    ASSERT_EQ(LayerBandPainter::bandCount(strip.size()), 1);
    EXPECT_GT(paint(image, strip), 1u);
    const QImage banded = image.copy(strip);

    LayerBandPainter::setMaximumBands(1);
    image.fill(Qt::transparent);
    paint(image, strip);
    EXPECT_TRUE(banded == image.copy(strip)) << firstDifference(banded, image.copy(strip));
    LayerBandPainter::setMaximumBands(0);
}

} // namespace
} // namespace velquine::testing
