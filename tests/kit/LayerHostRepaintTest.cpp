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
