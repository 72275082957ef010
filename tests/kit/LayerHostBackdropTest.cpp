// A layer host with live sublayers: the others come from one image of the visible area, made again when asked.
#include <gtest/gtest.h>

#include <QDir>
#include <QTest>

#include "kit/LayerHostWidget.h"
#include "platform/layer/Layer.h"
#include "platform/layer/LayerBandPainter.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/layer/Transaction.h"

using namespace velquine;

// A shown 200x100 host.
class LayerHostBackdrop : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.resize(200, 100);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    }
    LayerHostWidget host;
};

TEST_F(LayerHostBackdrop, LiveLayersMoveOverAnImageOfTheRestUntilItIsInvalidated)
{
    Transaction noActions(true);
    auto still = std::make_shared<Layer>();
    still->setFrame({10, 10, 40, 40});
    still->setBackgroundColor(Qt::blue);
    auto live = std::make_shared<Layer>();
    live->setFrame({100, 10, 20, 20});
    live->setBackgroundColor(Qt::red);
    host.layer()->addSublayer(still);
    host.layer()->addSublayer(live);

    host.setLiveSublayers({live.get()});
    QImage image = host.grab().toImage();
    EXPECT_EQ(image.pixelColor(20, 20), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(110, 20), QColor(Qt::red));

    // Each paint draws the live layer where it is now, over the same image of the rest.
    LayerRenderer::statistics() = {};
    live->setFrame({150, 50, 20, 20});
    image = host.grab().toImage();
    EXPECT_EQ(image.pixelColor(160, 60), QColor(Qt::red));
    EXPECT_NE(image.pixelColor(110, 20), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(20, 20), QColor(Qt::blue));
    EXPECT_EQ(LayerRenderer::statistics().layersPainted, 1u); // the live layer alone

    // A new bounds origin moves everything, still layers included.
    host.setBoundsRect({-20, 0, 200, 100});
    image = host.grab().toImage();
    EXPECT_EQ(image.pixelColor(65, 20), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(180, 60), QColor(Qt::red));
    host.setBoundsRect({0, 0, 200, 100});

    // A change to the rest shows once the image is invalidated, and when live painting ends.
    still->setBackgroundColor(Qt::green);
    host.invalidateBackdrop();
    EXPECT_EQ(host.grab().toImage().pixelColor(20, 20), QColor(Qt::green));
    still->setBackgroundColor(Qt::yellow);
    host.setLiveSublayers({});
    EXPECT_FALSE(host.hasLiveSublayers());
    image = host.grab().toImage();
    EXPECT_EQ(image.pixelColor(20, 20), QColor(Qt::yellow));
    EXPECT_EQ(image.pixelColor(160, 60), QColor(Qt::red));
}

TEST_F(LayerHostBackdrop, RigidLayersAreCopiedFromTheirPictureWhereverTheyMove)
{
    Transaction noActions(true);
    auto group = std::make_shared<Layer>(), partner = std::make_shared<Layer>(), loose = std::make_shared<Layer>();
    group->setFrame({10, 10, 20, 20});
    group->setBackgroundColor(Qt::red);
    partner->setFrame({40, 10, 10, 10});
    partner->setBackgroundColor(Qt::blue);
    loose->setFrame({10, 60, 10, 10});
    loose->setBackgroundColor(Qt::green);
    for (const auto& layer : {group, partner, loose})
        host.layer()->addSublayer(layer);
    host.setLiveSublayers({group.get(), partner.get(), loose.get()}, {group.get(), partner.get()});
    (void)host.grab();

    // The group moves together: nothing of it is painted again, the loose live layer is.
    LayerRenderer::statistics() = {};
    group->setFrame({110, 40, 20, 20});
    partner->setFrame({140, 40, 10, 10});
    loose->setFrame({60, 60, 10, 10});
    QImage image = host.grab().toImage();
    EXPECT_EQ(LayerRenderer::statistics().layersPainted, 1u);
    EXPECT_EQ(image.pixelColor(120, 50), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(145, 45), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(65, 65), QColor(Qt::green));
    EXPECT_NE(image.pixelColor(20, 20), QColor(Qt::red));

    // A change inside the group shows once its picture is invalidated.
    partner->setBackgroundColor(Qt::magenta);
    host.invalidateRigidImage();
    EXPECT_EQ(host.grab().toImage().pixelColor(145, 45), QColor(Qt::magenta));
}

TEST_F(LayerHostBackdrop, ALargeBackdropIsPaintedInBandsToThePixelsOfOnePaint)
{
    Transaction noActions(true);
    host.resize(900, 600);
    // Boxes below and above the live layer's depth, and long curves reaching far outside the view.
    for (int i = 0; i < 40; ++i) {
        auto box = std::make_shared<Layer>();
        box->setFrame({double(20 * i), double(13 * i), 60, 30});
        box->setBackgroundColor(QColor::fromHsv(9 * i, 200, 220, 200));
        box->setZPosition(i % 2 ? 1 : -1);
        host.layer()->addSublayer(box);
        auto curve = std::make_shared<ShapeLayer>();
        QPainterPath path(QPointF(450, 300));
        path.cubicTo(QPointF(4000, 300), QPointF(-3000, 40.0 * i - 800), QPointF(880, 30.0 * i - 400));
        curve->setPath(path);
        curve->setFillColor(QColor());
        curve->setStrokeColor(QColor(30, 30, 90));
        curve->setLineWidth(3.75);
        host.layer()->addSublayer(curve);
    }
    auto live = std::make_shared<Layer>();
    live->setFrame({300, 200, 40, 40});
    live->setBackgroundColor(Qt::red);
    host.layer()->addSublayer(live);
    host.setLiveSublayers({live.get()});
    const auto backdrop = [&](int bands) {
        LayerBandPainter::setMaximumBands(bands);
        LayerRenderer::statistics() = {};
        host.invalidateBackdrop();
        return std::pair{host.grab().toImage(), LayerRenderer::statistics().sharedPaints};
    };
    const auto [banded, bandCount] = backdrop(6);
    const auto [once, onceCount] = backdrop(1);
    LayerBandPainter::setMaximumBands(0);
    EXPECT_EQ(bandCount, 12u); // both images, in six bands each
    EXPECT_EQ(onceCount, 0u);
    EXPECT_TRUE(banded == once);
    QDir().mkpath(VELQUINE_ARTEFACTS_DIR);
    banded.save(VELQUINE_ARTEFACTS_DIR "/layer-host-banded-backdrop.png");
    EXPECT_EQ(banded.pixelColor(320, 220), QColor(Qt::red));
    host.setLiveSublayers({});
}
