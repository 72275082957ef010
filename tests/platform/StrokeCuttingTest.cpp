// A shape layer's stroke painted into a small area (an image of its own, or a clip), zoomed and scrolled, shows
// exactly the pixels of the layer painted whole; a stroke's extent and pieces hold its path.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPainterPathStroker>

#include "platform/layer/Animator.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/layer/Transaction.h"

using namespace velquine;

namespace {

std::shared_ptr<ShapeLayer> strokedLayer(const QPainterPath& path, double width, LineCap cap)
{
    const Transaction still(true);
    auto layer = std::make_shared<ShapeLayer>();
    layer->setPath(path);
    layer->setFillColor(QColor());
    layer->setStrokeColor(QColor(20, 60, 160, 230));
    layer->setLineWidth(width);
    layer->setLineCap(cap);
    return layer;
}

// The layer drawn at the scale, its origin moved by -offset pixels, on white.
QImage drawn(const ShapeLayer& layer, QSize size, double scale, QPoint offset, const QRect& clip = {})
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!clip.isNull())
        painter.setClipRect(clip);
    painter.translate(-offset);
    painter.scale(scale, scale);
    layer.draw(painter);
    return image;
}

} // namespace

TEST(StrokeCutting, ALongLinePaintedInASmallAreaShowsThePixelsOfTheWholeLine)
{
    // A branch-like curve swinging far out, then a sharp corner and a straight run back.
    QPainterPath path(QPointF(20, 130));
    path.cubicTo(QPointF(2600, 130), QPointF(-1500, 800), QPointF(900, 740));
    path.lineTo(1250, 360);
    path.lineTo(60, 520);
    // (A line thinner than a device pixel is drawn by Qt's hairline stroker, whose pixels depend on where the
    // area cuts it, cut or not: every scale here keeps the thin pen wider than a pixel.)
    for (const auto& [width, cap] : {std::pair{1.5, LineCap::butt}, {3.75, LineCap::round}, {9.0, LineCap::square}}) {
        const auto layer = strokedLayer(path, width, cap);
        for (const double scale : {1.0, 0.7, 1.75}) {
            const QImage whole = drawn(*layer, QSize(2800, 1400) * scale, scale, {});
            // Areas where the curve, the corner and the run back cross, and one ending just above the curve's
            // flat start, which only the side of the line reaches.
            const QSize size(90, 70);
            for (const QPoint at : {QPoint(150, 120) * scale, QPoint(600, 600) * scale, QPoint(1150, 330) * scale,
                                    QPoint(40, 480) * scale, QPoint(qRound(40 * scale), qRound(129 * scale) - 70)}) {
                const QImage expected = whole.copy(QRect(at, size));
                EXPECT_TRUE(drawn(*layer, size, scale, at) == expected) << width << " at " << scale << ", " << at.y();
                // Under a clip far larger than the picture, as the renderer clips to the whole canvas.
                EXPECT_TRUE(drawn(*layer, size, scale, at, QRect(-1e5, -1e5, 2e5, 2e5)) == expected) << width;
                if (scale == 1) {
                    // Scrolled by the painter's window instead of its transform.
                    QImage windowed(size, QImage::Format_ARGB32_Premultiplied);
                    windowed.fill(Qt::white);
                    QPainter painter(&windowed);
                    painter.setRenderHint(QPainter::Antialiasing);
                    painter.setWindow(QRect(at, size));
                    layer->draw(painter);
                    painter.end();
                    EXPECT_TRUE(windowed == expected) << width << " windowed at " << at.y();
                }
                // The same area as a clip of a larger picture, as a band of the view paints it.
                EXPECT_TRUE(drawn(*layer, whole.size(), scale, {}, QRect(at, size)).copy(QRect(at, size)) == expected)
                    << width << " clipped at " << scale << ", " << at.y();
            }
        }
    }
}

TEST(StrokeCutting, ShortLinesKeepTheirPixelsAndDashedOnesAreDashedAsAWhole)
{
    QPainterPath shortCurve(QPointF(10, 60));
    shortCurve.cubicTo(QPointF(80, 60), QPointF(60, 10), QPointF(150, 12));
    QPainterPath dashedLine(QPointF(-400, 40));
    dashedLine.cubicTo(QPointF(300, -200), QPointF(-200, 260), QPointF(700, 50));
    QPainterPath ring;
    ring.addEllipse(QRectF(-300, -100, 800, 300));
    for (const double width : {1.5, 4.0}) {
        for (const LineCap cap : {LineCap::butt, LineCap::round, LineCap::square}) {
            const auto dashed = strokedLayer(dashedLine, width, cap);
            dashed->setLineDashPattern({6, 4, 1});
            dashed->setLineDashPhase(3);
            for (const auto& layer : {strokedLayer(shortCurve, width, cap), dashed, strokedLayer(ring, width, cap)}) {
                QImage plain(160, 90, QImage::Format_ARGB32_Premultiplied);
                plain.fill(Qt::white);
                QPainter painter(&plain);
                painter.setRenderHint(QPainter::Antialiasing);
                // The dashes of a dashed line are those of the whole path, wherever the device lies.
                if (layer == dashed)
                    painter.fillPath(QPainterPathStroker(layer->strokePen()).createStroke(layer->path()), layer->strokeColor());
                else
                    painter.strokePath(layer->path(), layer->strokePen());
                painter.end();
                EXPECT_TRUE(drawn(*layer, plain.size(), 1, {}) == plain) << width;
            }
        }
    }
    // A dashed branch painted in bands, each into rows of its own: the dashes fall where a paint of the whole
    // puts them.
    QPainterPath branch(QPointF(20, 380));
    branch.cubicTo(QPointF(150, 380), QPointF(300, 40), QPointF(780, 20));
    const auto dashedBranch = strokedLayer(branch, 2.25, LineCap::butt);
    dashedBranch->setLineDashPattern({10, 10});
    const QImage whole = drawn(*dashedBranch, QSize(800, 400), 1, {});
    for (int top = 0; top < 400; top += 67) {
        const QRect band(0, top, 800, std::min(67, 400 - top));
        EXPECT_TRUE(drawn(*dashedBranch, band.size(), 1, band.topLeft()) == whole.copy(band)) << top;
    }
}

// A stroke's extent is its path's bounds (a curve's extremes, not its control points) widened by the stroke's
// reach, still or half way through a glide: a rounded branch to a child far down bulges far to both sides, an
// S-curve, lines and curves in several subpaths, a curve folded back on itself.
TEST(StrokeCutting, AStrokesExtentHoldsItsPathsCurvesExactly)
{
    QPainterPath bulging(QPointF(0, 0));
    bulging.cubicTo(2000, 0, -1850, 10000, 150, 10000);
    QPainterPath mixed(QPointF(10, 10));
    mixed.cubicTo(80, -40, -30, 90, 60, 60);
    mixed.lineTo(-20, 75);
    mixed.moveTo(300, 300);
    mixed.cubicTo(250, 380, 420, 260, 310, 330);
    QPainterPath folded(QPointF(0, 0));
    folded.cubicTo(100, 0, -100, 0, 0, 0);
    double clock = 50;
    Animator::shared().setTimeSource([&clock] { return clock; });
    for (const QPainterPath& path : {bulging, mixed, folded}) {
        auto root = std::make_shared<Layer>();
        auto shape = std::make_shared<ShapeLayer>();
        {
            const Transaction still(true);
            shape->setPath(path);
            shape->setFillColor(QColor());
            shape->setStrokeColor(Qt::black);
            shape->setLineWidth(4);
            root->addSublayer(shape);
        }
        const auto expectBounds = [&shape](const QRectF& bounds) {
            const Rect extent = shape->drawingExtent();
            const double reach = (extent.size.width - bounds.width()) / 2;
            EXPECT_GT(reach, 2);
            EXPECT_NEAR(extent.minX(), bounds.left() - reach, 1e-6);
            EXPECT_NEAR(extent.maxX(), bounds.right() + reach, 1e-6);
            EXPECT_NEAR(extent.minY(), bounds.top() - reach, 1e-6);
            EXPECT_NEAR(extent.maxY(), bounds.bottom() + reach, 1e-6);
        };
        expectBounds(path.boundingRect());
        shape->setPath(path * QTransform::fromScale(0.5, -0.25));
        clock += Transaction::defaultAnimationDuration / 2;
        Animator::shared().tick();
        ASSERT_TRUE(shape->hasAnimationForKey("path"));
        expectBounds(shape->presentationPath().boundingRect());
        clock += 10;
        Animator::shared().tick();
    }
    Animator::shared().setTimeSource({});
}

