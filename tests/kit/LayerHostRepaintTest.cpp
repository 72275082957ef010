// A tall layer host, scrolled far down, goes quiet once it has painted what it shows: its cached pictures are
// drawn as made by every band, so no paint asks for another.
#include <gtest/gtest.h>

#include <QTest>

#include "kit/LayerHostWidget.h"
#include "kit/ScrollView.h"
#include "platform/RunLoop.h"
#include "platform/layer/Layer.h"
#include "platform/layer/LayerBandPainter.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/layer/Transaction.h"
#include "support/QtWait.h"

using namespace velquine;

TEST(LayerHostRepaint, ATallHostScrolledFarDownStopsPaintingOnceItShowsItsPictures)
{
    Transaction noActions(true);
    LayerBandPainter::setMaximumBands(5);
    ScrollView scrollView;
    scrollView.resize(640, 480);
    auto* host = new LayerHostWidget;
    // 509,177 pixels tall at 100 %: the scale is a hair below 1.
    host->setFrameSize({640, 509177.16792440828});
    for (int i = 0; i < 40; ++i) {
        auto node = std::make_shared<Layer>();
        node->setFrame({20.0 + 13 * i, 250000.0 + 11 * i, 90, 24});
        node->setBackgroundColor(QColor(40, 120, 200));
        node->setCachesPicture(true);
        host->layer()->addSublayer(node);
    }
    scrollView.setDocumentView(host);
    scrollView.scrollToPoint({0, 249990});
    scrollView.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scrollView));
    EXPECT_EVENTUALLY(LayerRenderer::statistics().picturesDrawn > 0);

    // Every turn of the loop that finds a paint asked for delivers it; a host that asks again each time it
    // paints keeps painting.
    LayerRenderer::statistics() = {};
    for (int turn = 0; turn < 20; ++turn) {
        RunLoop::drain();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    const LayerRenderer::Statistics& stats = LayerRenderer::statistics();
    EXPECT_EQ(stats.picturesResampled, 0u);
    EXPECT_LE(stats.picturesDrawn, 40u) << "paints " << stats.sharedPaints << " bands";
    LayerBandPainter::setMaximumBands(0);
}

TEST(LayerHostRepaint, ChangesCloseTogetherArePaintedByOnePaint)
{
    // A node with many children: every branch line leaves the parent, so every paint near it visits them all.
    Transaction noActions(true);
    LayerHostWidget host;
    host.resize(640, 480);
    host.setFrameSize({640, 480});
    constexpr int lines = 300;
    for (int i = 0; i < lines; ++i) {
        auto line = std::make_shared<ShapeLayer>();
        line->setFrame({0, 0, 640, 480});
        QPainterPath path(QPointF(100, 240));
        const double end = 240 + (i - lines / 2) * 40.0;
        path.cubicTo(QPointF(200, 240), QPointF(300, end), QPointF(400, end));
        line->setPath(path);
        line->setFillColor(QColor());
        line->setStrokeColor(QColor(90, 90, 90));
        line->setLineWidth(2);
        host.layer()->addSublayer(line);
    }
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    EXPECT_EVENTUALLY(LayerRenderer::statistics().layersPainted > 0);
    QCoreApplication::processEvents();

    // A label's change as the region holds it, row by row, and one beside it: painted as one area, the lines
    // are visited once, not once for each of its rectangles.
    LayerRenderer::statistics() = {};
    QRegion changed(QRect(110, 230, 60, 4));
    changed += QRect(110, 234, 60, 20);
    changed += QRect(190, 234, 50, 20);
    changed += QRect(110, 254, 60, 4);
    ASSERT_EQ(changed.rectCount(), 4);
    host.update(changed);
    EXPECT_EVENTUALLY(LayerRenderer::statistics().layersPainted > 0);
    EXPECT_GT(LayerRenderer::statistics().layersPainted, std::size_t(lines / 2));
    EXPECT_LE(LayerRenderer::statistics().layersPainted, std::size_t(lines + 1));
}
