// Pictures the preparation of a banded paint caches are drawn by every band as made, whatever the band's
// offset, at a scale of a tall canvas that falls just below 1: a paint is then complete, and painting the same
// area again rebuilds and resamples nothing.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "platform/layer/Layer.h"
#include "platform/layer/LayerBandPainter.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/layer/Transaction.h"

namespace velquine {
namespace {

TEST(LayerBandScale, CachedPicturesAreDrawnAsMadeInEveryBandOfATallCanvas)
{
    Transaction noActions(true);
    // The canvas's height in units and in pixels, as a view at 100 % shows it: the scale is a hair below 1.
    const double height = 509177.16792440828;
    const int width = 600, rows = 509177, viewRows = 480;
    auto root = std::make_shared<Layer>();
    root->setAnchorPoint({0, 0});
    root->setBounds({0, 0, double(width), height});
    const std::vector<int> tops{0, 1237, 98765, 250013, 333331, 421107, 508600};
    for (int top : tops)
        for (int i = 0; i < 12; ++i) {
            auto node = std::make_shared<Layer>();
            node->setFrame({40.0 + 37 * i, top + 20.0 + 35 * i, 90, 24});
            node->setBackgroundColor(QColor(40, 120, 200));
            node->setCornerRadius(5);
            node->setCachesPicture(true);
            root->addSublayer(node);
        }

    LayerRenderOptions options;
    options.sourceRect = {0, 0, double(width), height};
    options.targetRect = QRectF(0, 0, width, rows);
    options.pictureRebuildBudget = 0.008;
    const QTransform toLayer = LayerRenderer::rootTransform(options.sourceRect, *options.targetRect, false).inverted();
    const auto exposedOf = [&](const QRect& part) {
        const QRectF r = toLayer.mapRect(QRectF(part).adjusted(-1, -1, 1, 1));
        return Rect(r.x(), r.y(), r.width(), r.height());
    };

    LayerBandPainter::setMaximumBands(5);
    LayerBandPainter bands;
    auto& stats = LayerRenderer::statistics();
    QImage image(width, viewRows, QImage::Format_ARGB32_Premultiplied);
    for (int top : tops) {
        const QRect area(0, top, width, viewRows);
        std::size_t rebuiltOnce = 0;
        for (int round = 0; round < 4; ++round) {
            stats = {};
            QPainter painter(&image);
            // The painter shows the rows from top on, as a view scrolled there does.
            painter.setWindow(0, top, width, viewRows);
            EXPECT_TRUE(bands.render(painter, *root, options, area, exposedOf)) << "rows from " << top;
            EXPECT_EQ(stats.picturesResampled, 0u) << "rows from " << top << ", round " << round;
            EXPECT_GT(stats.sharedPaints, 1u);
            // A picture that meets two bands is drawn by both.
            EXPECT_GE(stats.picturesDrawn, 12u);
            if (round == 0)
                rebuiltOnce = stats.picturesRebuilt;
            else
                EXPECT_EQ(stats.picturesRebuilt, 0u) << "rows from " << top << ", round " << round;
        }
        EXPECT_EQ(rebuiltOnce, 12u);
    }
    LayerBandPainter::setMaximumBands(0);
}

} // namespace
} // namespace velquine

namespace velquine {
namespace {

// Lines thinner than a pixel crossing the edges of bands and of the area: painted in bands, right into the
// image or (under a clip of the painter's own) into a picture of the area, they shade the pixels as one paint
// of the area does. Qt strokes such a line by cutting it at the device's edges; each band sees a margin of
// rows around its own.
TEST(LayerBandScale, LinesThinnerThanAPixelCrossBandsAsTheyCrossOnePaint)
{
    Transaction noActions(true);
    auto root = std::make_shared<Layer>();
    root->setAnchorPoint({0, 0});
    root->setBounds({0, 0, 3200, 2400});
    for (int i = 0; i < 24; ++i) {
        auto line = std::make_shared<ShapeLayer>();
        QPainterPath path(QPointF(3000, 100 + 90 * i));
        path.cubicTo(QPointF(1800 - 40 * i, 120), QPointF(900, 1800 + 20 * i), QPointF(60 + 110 * i, 2300));
        line->setPath(path);
        line->setFillColor(QColor());
        line->setStrokeColor(QColor(250, 100, 80));
        line->setLineWidth(i % 2 ? 3.75 : 2.25);
        root->addSublayer(line);
    }
    // At a quarter: the lines are 0.94 and 0.56 pixels wide.
    LayerRenderOptions options;
    options.targetRect = QRectF(0, 0, 800, 600);
    const auto exposedOf = [](const QRect& part) {
        const QRectF r = QRectF(part).adjusted(-1, -1, 1, 1);
        return Rect(r.x() * 4, r.y() * 4, r.width() * 4, r.height() * 4);
    };
    const QRect area(37, 41, 700, 520);
    const auto painted = [&](int bandCount, bool ownClip) {
        LayerBandPainter::setMaximumBands(bandCount);
        LayerBandPainter bands;
        QImage image(800, 600, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(70, 20, 50));
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        if (ownClip)
            painter.setClipRect(QRect(0, 0, 800, 600));
        bands.render(painter, *root, options, area, exposedOf);
        return image;
    };
    const QImage once = painted(1, false);
    for (const bool ownClip : {false, true}) {
        const QImage banded = painted(6, ownClip);
        int largest = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const QRgb p = banded.pixel(x, y), q = once.pixel(x, y);
                largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q))});
            }
        EXPECT_LE(largest, 2) << (ownClip ? "into a picture of the area" : "right into the image");
    }
    LayerBandPainter::setMaximumBands(0);
}

} // namespace
} // namespace velquine
