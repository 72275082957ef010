// The renderer on images: order, opacity, masks, the flipped variant, culling, dirty areas and cached
// pictures, checked on pixels.
#include <gtest/gtest.h>

#include <QDir>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <limits>
#include <set>

#include "platform/layer/Animator.h"
#include "platform/layer/GradientLayer.h"
#include "platform/layer/Layer.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/layer/TextLayer.h"
#include "platform/layer/Transaction.h"

using namespace velquine;

namespace {

std::shared_ptr<Layer> box(Rect frame, QColor color, double z = 0)
{
    auto layer = std::make_shared<Layer>();
    layer->setFrame(frame);
    layer->setBackgroundColor(color);
    layer->setZPosition(z);
    return layer;
}

std::shared_ptr<Layer> canvas(double w, double h)
{
    auto root = std::make_shared<Layer>();
    root->setAnchorPoint({0, 0});
    root->setBounds({0, 0, w, h});
    return root;
}

QImage render(Layer& root, const LayerRenderOptions& options = {})
{
    const Rect b = root.bounds();
    return LayerRenderer::renderToImage(root, QSize(int(b.size.width), int(b.size.height)), options);
}

// A plain line 2 points wide, in a layer over the 400 × 400 canvas.
std::shared_ptr<ShapeLayer> line(QPointF from, QPointF to, const QColor& color)
{
    auto stroke = std::make_shared<ShapeLayer>();
    stroke->setFrame({0, 0, 400, 400});
    QPainterPath path(from);
    path.lineTo(to);
    stroke->setPath(path);
    stroke->setFillColor(QColor());
    stroke->setStrokeColor(color);
    stroke->setLineWidth(2);
    return stroke;
}

// The end of the i-th of the faint lines that meet at (100, 100).
QPointF meetingLineEnd(int i) { return {100 + 60 * std::cos(i * 0.05), 100 + 60 * std::sin(i * 0.05)}; }

} // namespace

TEST(LayerRendererTest, PaintsByZOrderOpacityDownTheTreeMasksAndSkipsHiddenSubtrees)
{
    Transaction noActions(true);
    auto root = canvas(60, 40);
    auto red = box({0, 0, 30, 30}, Qt::red, 1);
    auto blue = box({10, 10, 30, 30}, Qt::blue);
    root->addSublayer(red);
    root->addSublayer(blue);  // added later, but lower z: under the red one
    auto faded = box({40, 0, 20, 20}, QColor());
    faded->setOpacity(0.5);
    auto inner = box({-10, -10, 40, 40}, Qt::green);
    inner->setOpacity(0.5);
    faded->addSublayer(inner);
    faded->setMasksToBounds(true);
    root->addSublayer(faded);
    auto hiddenParent = box({0, 32, 8, 8}, QColor());
    hiddenParent->addSublayer(box({0, 0, 8, 8}, Qt::black));
    hiddenParent->setHidden(true);
    root->addSublayer(hiddenParent);

    const QImage image = render(*root);
    EXPECT_EQ(image.pixelColor(15, 15), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(35, 35), QColor(Qt::blue));
    EXPECT_NEAR(image.pixelColor(50, 10).alpha(), 64, 2);  // 0.5 × 0.5
    EXPECT_EQ(image.pixelColor(50, 25).alpha(), 0);        // masked by the 20-point bounds
    EXPECT_EQ(image.pixelColor(4, 36).alpha(), 0);
}

TEST(LayerRendererTest, RootTransformScalesSourceToTargetAndTheFlippedVariantKeepsTextUpright)
{
    Transaction noActions(true);
    auto root = canvas(80, 40);
    auto text = std::make_shared<TextLayer>();
    text->setAnchorPoint({0, 0});
    text->setFrame({0, 0, 80, 20});
    text->setFont(Font::systemFont(14));
    text->setForegroundColor(Color::black());
    text->setString(std::string("Tp"));
    root->addSublayer(text);
    root->addSublayer(box({70, 30, 10, 10}, Qt::red));

    const QImage plain = render(*root);
    LayerRenderOptions flipped;
    flipped.flipped = true;
    const QImage mirrored = render(*root, flipped);
    EXPECT_EQ(mirrored.pixelColor(75, 5), QColor(Qt::red));  // geometry mirrored top to bottom
    EXPECT_EQ(mirrored.copy(0, 20, 60, 20), plain.copy(0, 0, 60, 20));  // the text reads the same way
    EXPECT_NE(plain.copy(0, 0, 60, 20), plain.copy(0, 0, 60, 20).mirrored(false, true));

    // Half the source onto the whole image: twice the size.
    LayerRenderOptions zoom;
    zoom.sourceRect = {40, 20, 40, 20};
    const QImage zoomed = render(*root, zoom);
    EXPECT_EQ(zoomed.pixelColor(70, 30), QColor(Qt::red));
    EXPECT_EQ(zoomed.pixelColor(50, 15).alpha(), 0);
    QDir().mkpath(VELQUINE_ARTEFACTS_DIR);
    mirrored.save(QString(VELQUINE_ARTEFACTS_DIR) + "/layer_renderer_flipped.png");
}

TEST(LayerRendererTest, CullsByVisualBoundsAndReportsOldAndNewAreasOfAChange)
{
    Transaction noActions(true);
    auto root = canvas(1000, 1000);
    std::vector<Rect> dirty;
    root->setDirtyAreaHandler([&](const Rect& r) { dirty.push_back(r); });
    auto near = box({10, 10, 50, 20}, Qt::red);
    auto far = box({800, 800, 50, 20}, Qt::blue);
    root->addSublayer(near);
    root->addSublayer(far);
    dirty.clear();

    far->setPosition({500, 900});
    ASSERT_EQ(dirty.size(), 2u);
    EXPECT_EQ(dirty[0], Rect(800, 800, 50, 20));
    EXPECT_EQ(dirty[1], Rect(475, 890, 50, 20));

    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    LayerRenderer::statistics() = {};
    LayerRenderOptions exposed;
    exposed.exposedRect = {0, 0, 100, 100};
    LayerRenderer::render(painter, *root, exposed);
    EXPECT_EQ(LayerRenderer::statistics().layersPainted, 2u);  // the root and the near layer
}

TEST(LayerRendererTest, CachedPicturesAreReusedUntilSomethingInsideChangesOrTheScaleDoes)
{
    Transaction noActions(true);
    auto root = canvas(100, 100);
    auto node = box({10, 10, 40, 20}, QColor());
    node->setCachesPicture(true);
    auto shape = std::make_shared<ShapeLayer>();
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, 40, 20), 4, 4);
    shape->setPath(path);
    shape->setFillColor(Qt::red);
    node->addSublayer(shape);
    root->addSublayer(node);

    auto& stats = LayerRenderer::statistics();
    stats = {};
    EXPECT_EQ(render(*root).pixelColor(30, 20), QColor(Qt::red));
    render(*root);
    node->setPosition({60, 60});  // moving keeps the picture
    const QImage moved = render(*root);
    EXPECT_EQ(moved.pixelColor(60, 60), QColor(Qt::red));
    EXPECT_EQ(stats.picturesRebuilt, 1u);
    EXPECT_EQ(stats.picturesDrawn, 3u);

    shape->setFillColor(Qt::blue);  // a change inside makes a new revision
    EXPECT_EQ(render(*root).pixelColor(60, 60), QColor(Qt::blue));
    EXPECT_EQ(stats.picturesRebuilt, 2u);
    LayerRenderOptions half;
    half.targetRect = QRectF(0, 0, 50, 50);
    EXPECT_EQ(render(*root, half).pixelColor(30, 30), QColor(Qt::blue));
    EXPECT_EQ(stats.picturesRebuilt, 3u);
    EXPECT_GT(LayerRenderer::cachedPictureBytes(), 0u);

    // With no rebuild budget left, a picture only out of scale is resampled and the paint is incomplete.
    LayerRenderOptions quick;
    quick.targetRect = QRectF(0, 0, 100, 100);
    quick.pictureRebuildBudget = 0;
    QImage resampled(100, 100, QImage::Format_ARGB32_Premultiplied);
    resampled.fill(Qt::transparent);
    {
        QPainter painter(&resampled);
        EXPECT_FALSE(LayerRenderer::render(painter, *root, quick));
    }
    EXPECT_EQ(stats.picturesRebuilt, 3u);
    EXPECT_EQ(stats.picturesResampled, 1u);
    EXPECT_EQ(resampled.pixelColor(60, 60), QColor(Qt::blue));  // the node's frame is (40, 50, 40, 20)
    EXPECT_EQ(resampled.pixelColor(60, 45).alpha(), 0);
    shape->setFillColor(Qt::green);  // changed content is always drawn exact
    resampled.fill(Qt::transparent);
    {
        QPainter painter(&resampled);
        EXPECT_TRUE(LayerRenderer::render(painter, *root, quick));
    }
    EXPECT_EQ(resampled.pixelColor(60, 60), QColor(Qt::green));
}

// A hidden sublayer draws nothing: changing it, what lies under it, or a frame of its animation keeps the
// picture of the layer that holds it; showing it makes a new one.
TEST(LayerRendererTest, WhatChangesInOrUnderAHiddenSublayerKeepsThePicture)
{
    double now = 0;
    Animator::shared().setTimeSource([&now] { return now; });
    auto root = canvas(100, 100);
    auto node = box({10, 10, 40, 20}, Qt::red);
    node->setCachesPicture(true);
    auto ring = box({0, 0, 40, 20}, Qt::blue);
    auto handle = box({0, 0, 6, 6}, Qt::green);
    {
        const Transaction still(true);
        ring->addSublayer(handle);
        ring->setHidden(true);
        node->addSublayer(ring);
        root->addSublayer(node);
    }
    auto& stats = LayerRenderer::statistics();
    stats = {};
    render(*root);
    {
        const Transaction still(true);
        ring->setBackgroundColor(Qt::yellow);
        handle->setPosition({30, 10});
    }
    {
        const Transaction glide;
        ring->setBounds({0, 0, 50, 30});
    }
    for (double at : {Transaction::defaultAnimationDuration / 2, 1.0}) {
        now = at;
        Animator::shared().tick();
        EXPECT_EQ(render(*root).pixelColor(12, 12), QColor(Qt::red));
    }
    EXPECT_EQ(stats.picturesRebuilt, 1u);
    ring->setHidden(false);
    const QImage shown = render(*root);
    EXPECT_EQ(stats.picturesRebuilt, 2u);
    EXPECT_EQ(shown.pixelColor(12, 12), QColor(Qt::yellow));
    EXPECT_EQ(shown.pixelColor(35, 15), QColor(Qt::green));
    Animator::shared().setTimeSource({});
}

// A picture whose place falls on half a pixel lands on the same pixels whether the paint's device origin puts it
// at a positive or a negative device position: a paint of part of a view (a band, a strip after a scroll)
// shows what a paint of the whole shows there.
TEST(LayerRendererTest, APictureOnHalfAPixelLandsAlikeWhereverTheDevicesOriginLies)
{
    Transaction noActions(true);
    auto root = canvas(100, 100);
    auto node = box({20.5, 10.5, 30, 20}, Qt::red);
    node->setCachesPicture(true);
    root->addSublayer(node);
    const QImage whole = render(*root);
    // The lower and the right half of the view painted on their own, their top-left corner at the device's
    // origin: the node's picture starts left of and above it.
    for (QPoint part : {QPoint(0, 20), QPoint(30, 0), QPoint(30, 20)}) {
        QImage image(100 - part.x(), 100 - part.y(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.translate(-part.x(), -part.y());
            LayerRenderOptions options;
            options.targetRect = QRectF(0, 0, 100, 100);
            LayerRenderer::render(painter, *root, options);
        }
        EXPECT_EQ(image, whole.copy(QRect(part, image.size()))) << part.x() << ", " << part.y();
    }

    // At 75 % a node a sum of moves left a bit short of a third of a point lies half a pixel short by as little:
    // device origins far above round it to the half, near ones keep it short. The picture still lands on one
    // pixel in all.
    auto map = canvas(3456, 1952);
    map->setBounds({-1596, -964, 3456, 1952});
    auto third = box({823.0 + 1.0 / 6, std::nextafter(323.0 + 1.0 / 3, 0.0), 76, 38}, Qt::red);
    third->setCachesPicture(true);
    map->addSublayer(third);
    LayerRenderOptions magnified;
    magnified.targetRect = QRectF(0, 0, 2592, 1464);
    std::set<std::pair<int, int>> corners;
    for (int top = 0; top < 960; top += 60) {
        QImage image(120, 1000 - top, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.translate(-1750, -top);
            LayerRenderer::render(painter, *map, magnified);
        }
        QRect painted;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) > 0)
                    painted |= QRect(x, y, 1, 1);
        corners.emplace(1750 + painted.left(), top + painted.top());
    }
    EXPECT_EQ(corners.size(), 1u);
}

TEST(LayerRendererTest, GrayFilterAndShadowArePaintedFromThePicture)
{
    Transaction noActions(true);
    auto root = canvas(60, 60);
    root->setBackgroundColor(Qt::white);
    auto node = box({10, 10, 30, 20}, Qt::red);
    node->setGrayFilter(true);
    node->setShadowOpacity(1);
    node->setShadowColor(QColor(44, 62, 80));
    node->setShadowOffset({0, -4});
    node->setShadowRadius(0);
    root->addSublayer(node);
    const QImage image = render(*root);
    const QColor gray = image.pixelColor(25, 20);
    EXPECT_EQ(gray.red(), gray.green());
    EXPECT_EQ(gray.green(), gray.blue());
    EXPECT_NEAR(gray.red(), 54, 2);  // red's luminance
    EXPECT_EQ(image.pixelColor(25, 32), QColor(44, 62, 80));  // cast downwards
    EXPECT_EQ(image.pixelColor(25, 8), QColor(Qt::white));
}

TEST(LayerRendererTest, APdfPageIsPaintedByTheSameRendererAsVectors)
{
    Transaction noActions(true);
    auto root = canvas(200, 100);
    auto node = box({20, 20, 60, 30}, Qt::red);
    node->setCachesPicture(true);
    root->addSublayer(node);
    QTemporaryDir dir;
    const QString pdf = dir.filePath("map.pdf");
    {
        QPdfWriter writer(pdf);
        writer.setPageSize(QPageSize(QSizeF(200, 100), QPageSize::Point));
        writer.setPageMargins(QMarginsF());
        writer.setResolution(72);
        QPainter painter(&writer);
        LayerRenderOptions options;
        options.usePictureCache = false;  // stays vector
        options.targetRect = QRectF(0, 0, 200, 100);
        LayerRenderer::statistics() = {};
        LayerRenderer::render(painter, *root, options);
        EXPECT_EQ(LayerRenderer::statistics().picturesDrawn, 0u);
    }
    QProcess convert;
    convert.start("pdftoppm", {"-png", "-r", "72", "-singlefile", pdf, dir.filePath("page")});
    ASSERT_TRUE(convert.waitForFinished(20000));
    const QImage page(dir.filePath("page.png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.pixelColor(50, 35), QColor(Qt::red));
    EXPECT_EQ(page.pixelColor(150, 80), QColor(Qt::white));
}

TEST(LayerRendererTest, GradientsRunFromStartToEndPointAndGeometryThatIsNotFiniteIsRefused)
{
    Transaction noActions(true);
    auto root = canvas(20, 100);
    auto gradient = std::make_shared<GradientLayer>();
    gradient->setAnchorPoint({0, 0});
    gradient->setFrame({0, 0, 20, 100});
    gradient->setColors({Qt::red, Qt::green});
    root->addSublayer(gradient);
    const QImage image = render(*root);
    EXPECT_GT(image.pixelColor(10, 2).red(), 240);     // start point (0.5, 0): the top
    EXPECT_GT(image.pixelColor(10, 97).green(), 240);  // end point (0.5, 1): the bottom

    const double nan = std::numeric_limits<double>::quiet_NaN();
    gradient->setPosition({nan, 0});
    gradient->setBounds({0, 0, std::numeric_limits<double>::infinity(), 5});
    gradient->setFrame({nan, nan, 1, 1});
    gradient->setAnchorPoint({nan, 0});
    EXPECT_EQ(gradient->frame(), Rect(0, 0, 20, 100));
}

TEST(LayerRendererTest, PicturesTheLatestPaintDidNotDrawAreLetGoPastTheBytesToKeep)
{
    Transaction noActions(true);
    auto root = canvas(200, 100);
    auto left = box({10, 10, 40, 20}, Qt::red), right = box({150, 10, 40, 20}, Qt::blue);
    left->setCachesPicture(true);
    right->setCachesPicture(true);
    root->addSublayer(left);
    root->addSublayer(right);
    render(*root);
    const std::size_t both = LayerRenderer::cachedPictureBytes();
    ASSERT_GT(both, 0u);

    // Past the bytes to keep, paints of the left half alone, many of them, let the right layer's picture go,
    // not their own.
    LayerRenderer::setKeptPictureBytes(1);
    LayerRenderOptions leftHalf;
    leftHalf.exposedRect = {0, 0, 100, 100};
    auto& stats = LayerRenderer::statistics();
    stats = {};
    render(*root, leftHalf);
    EXPECT_EQ(LayerRenderer::cachedPictureBytes(), both) << "drawn lately";
    for (int paint = 0; paint < 64; ++paint)
        render(*root, leftHalf);
    EXPECT_EQ(stats.picturesRebuilt, 0u);
    EXPECT_LT(LayerRenderer::cachedPictureBytes(), both);
    EXPECT_GT(LayerRenderer::cachedPictureBytes(), 0u);
    EXPECT_EQ(render(*root).pixelColor(170, 20), QColor(Qt::blue));
    EXPECT_EQ(stats.picturesRebuilt, 1u);
    LayerRenderer::setKeptPictureBytes(0);
}

namespace {

// A layer that notes whether a shared paint drew it before the preparation made it ready.
class ProbeLayer : public Layer {
public:
    void prepareForDrawing(const Rect&) const override { prepared = true; }
    void draw(QPainter&) const override { drawnUnprepared = drawnUnprepared || !prepared; }
    mutable bool prepared = false;
    mutable bool drawnUnprepared = false;
};

} // namespace

TEST(LayerRendererTest, PaintsOfPartsDrawOnlyLayersThePreparationMadeReady)
{
    Transaction noActions(true);
    auto root = canvas(200, 200);
    // A masking layer with a shadow, too large to be painted from a picture, and a sublayer lying outside its
    // bounds but inside the painted area: the mask hides it, so no paint visits it.
    auto large = box({100, 0, 5000, 4000}, Qt::white);
    large->setMasksToBounds(true);
    large->setShadowOpacity(1);
    large->setShadowRadius(2);
    root->addSublayer(large);
    auto outside = std::make_shared<ProbeLayer>();
    outside->setFrame({-80, 10, 50, 50});
    large->addSublayer(outside);
    auto inside = std::make_shared<ProbeLayer>();
    inside->setFrame({10, 10, 50, 50});
    large->addSublayer(inside);

    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    LayerRenderOptions options;
    const LayerPaintPreparation made = LayerRenderer::prepareSharedPaints(painter, *root, options);
    for (const Rect band : {Rect{0, 0, 200, 100}, Rect{0, 100, 200, 100}}) {
        options.exposedRect = band;
        LayerRenderer::Statistics counts;
        LayerRenderer::renderShared(painter, *root, options, made, counts);
    }
    EXPECT_TRUE(inside->prepared);
    EXPECT_FALSE(inside->drawnUnprepared);
    EXPECT_FALSE(outside->drawnUnprepared);
}

// Faint lines of one colour meeting at a point, drawn in order between lines of another colour and of their own
// lying far from it, on a layer of so many sublayers that a paint of a small area visits only those near it: the
// area comes out as in a paint of the whole. The lines between, though not visited, split the meeting lines into
// the same runs (a run more is blended, and rounded, once more) or leave them in one.
TEST(LayerRendererTest, APaintOfPartOfACrowdedLayerDrawsTheRunsOfThePaintOfTheWhole)
{
    Transaction noActions(true);
    auto root = canvas(400, 400);
    root->setBackgroundColor(Qt::white);
    const QColor faint(200, 40, 40, 70), other(40, 40, 200, 70);
    for (int i = 0; i < 12; ++i) {
        root->addSublayer(line({100, 100}, meetingLineEnd(i), faint));
        root->addSublayer(line({300.0 + i, 300}, {380, 380.0 - i}, i % 3 == 0 ? faint : other));
    }
    for (int i = 0; i < 240; ++i)
        root->addSublayer(line({300, 20 + i * 0.5}, {390, 20 + i * 0.5}, other));
    ASSERT_GE(root->sublayers().size(), Layer::sublayersFiledByArea);
    LayerRenderOptions part;
    part.exposedRect = Rect(96, 96, 12, 12);
    EXPECT_EQ(render(*root, part).copy(96, 96, 12, 12), render(*root).copy(96, 96, 12, 12));
}

// A crowded layer painted in part keeps the run key of each line from then on: a line put among its lines
// elsewhere than last, far from the part, joins the meeting lines on either side of it into one run as in a
// paint of the whole.
TEST(LayerRendererTest, ALineInsertedIntoACrowdedLayerAfterAPaintOfPartJoinsTheRunsOfItsColour)
{
    Transaction noActions(true);
    auto root = canvas(400, 400);
    root->setBackgroundColor(Qt::white);
    const QColor faint(200, 40, 40, 70), other(40, 40, 200, 70);
    for (int i = 0; i < 12; ++i)
        root->addSublayer(line({100, 100}, meetingLineEnd(i), faint));
    for (int i = 0; i < 250; ++i)
        root->addSublayer(line({300, 20 + i * 0.5}, {390, 20 + i * 0.5}, other));
    ASSERT_GE(root->sublayers().size(), Layer::sublayersFiledByArea);
    LayerRenderOptions part;
    part.exposedRect = Rect(96, 96, 12, 12);
    render(*root, part);
    root->insertSublayer(line({300, 300}, {380, 380}, faint), 6);
    EXPECT_EQ(render(*root, part).copy(96, 96, 12, 12), render(*root).copy(96, 96, 12, 12));
}

// Lines between the meeting lines in drawing order, far from the part, recoloured after a first paint of it: of
// the meeting lines' colour, they join them into one run, and of another again, split them, as in a paint of the
// whole.
TEST(LayerRendererTest, LinesRecolouredAfterAPaintOfPartJoinAndSplitRunsAsInAPaintOfTheWhole)
{
    Transaction noActions(true);
    auto root = canvas(400, 400);
    root->setBackgroundColor(Qt::white);
    const QColor faint(200, 40, 40, 70), other(40, 40, 200, 70);
    std::vector<std::shared_ptr<ShapeLayer>> between;
    for (int i = 0; i < 12; ++i) {
        root->addSublayer(line({100, 100}, meetingLineEnd(i), faint));
        between.push_back(line({300.0 + i, 300}, {380, 380.0 - i}, other));
        root->addSublayer(between.back());
    }
    for (int i = 0; i < 240; ++i)
        root->addSublayer(line({300, 20 + i * 0.5}, {390, 20 + i * 0.5}, other));
    ASSERT_GE(root->sublayers().size(), Layer::sublayersFiledByArea);
    LayerRenderOptions part;
    part.exposedRect = Rect(96, 96, 12, 12);
    render(*root, part);
    for (const QColor& color : {faint, other}) {
        for (const auto& stroke : between)
            stroke->setStrokeColor(color);
        EXPECT_EQ(render(*root, part).copy(96, 96, 12, 12), render(*root).copy(96, 96, 12, 12));
    }
}
