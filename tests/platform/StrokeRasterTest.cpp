// Plain strokes painted together on raster devices: each line covers the pixels Qt's own stroke covers, lines
// drawn together show what they show drawn one over another, and a paint of part of a view shows the pixels
// of a paint of the whole.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>

#include "platform/layer/Animator.h"
#include "platform/layer/LayerBandPainter.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/layer/StrokeRaster.h"
#include "platform/layer/Transaction.h"

using namespace velquine;

namespace {

std::shared_ptr<ShapeLayer> line(const QPainterPath& path, QColor color, double width, LineCap cap = LineCap::butt,
                                 LineJoin join = LineJoin::miter)
{
    const Transaction still(true);
    auto layer = std::make_shared<ShapeLayer>();
    layer->setPath(path);
    layer->setFillColor(QColor());
    layer->setStrokeColor(color);
    layer->setLineWidth(width);
    layer->setLineCap(cap);
    layer->setLineJoin(join);
    return layer;
}

QImage blank(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

// The tree painted by the renderer into a white image, clipped to the rectangle when given.
QImage rendered(Layer& root, QSize size, const QRect& clip = {}, QImage image = {})
{
    if (image.isNull())
        image = blank(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!clip.isNull())
        painter.setClipRect(clip);
    LayerRenderer::render(painter, root, {});
    return image;
}

int largestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

// How much ink the image holds: the darkness of its pixels summed.
double ink(const QImage& image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += 255 - qGray(image.pixel(x, y));
    return sum;
}

QPainterPath branch(QPointF from, QPointF to)
{
    QPainterPath path(from);
    const double d = 0.2 * std::hypot(to.x() - from.x(), to.y() - from.y());
    path.cubicTo(from + QPointF(d, 0), to - QPointF(d, 0), to);
    return path;
}

// A fan of branch lines from one parent, as a node with many children has.
std::shared_ptr<Layer> fan(int count, QColor color)
{
    auto root = std::make_shared<Layer>();
    root->setBounds(Rect(0, 0, 400, 300));
    for (int i = 0; i < count; ++i)
        root->addSublayer(line(branch({40, 150}, {300, 150 + (i - count / 2) * 27.0}), color, 3.75));
    return root;
}

// The lines of the root, each drawn on its own over the ones before, in the order of its sublayers.
QImage drawnApart(const Layer& root)
{
    QImage apart = blank({400, 300});
    QPainter painter(&apart);
    for (const auto& sublayer : root.sublayers()) {
        const auto& shape = static_cast<const ShapeLayer&>(*sublayer);
        StrokeRaster raster(QRect(0, 0, 400, 300));
        std::vector<StrokeRaster::PathElement> elements;
        StrokeRaster::appendElements(shape.path(), elements);
        raster.addStroke(elements.data(), int(elements.size()), QTransform(), shape.lineWidth(),
                         shape.lineCap() == LineCap::round, shape.strokeColor().alphaF());
        raster.drawStrips(shape.strokeColor(),
                          [&painter](QPoint at, const QImage& strip) { painter.drawImage(at, strip); });
    }
    return apart;
}

} // namespace

TEST(StrokeRaster, ALineCoversThePixelsQtsStrokeOfItCovers)
{
    QPainterPath angular(QPointF(30, 30));
    angular.lineTo(150, 30);
    angular.lineTo(150, 140);
    angular.lineTo(60, 120);
    struct Case {
        QPainterPath path;
        double width;
        LineCap cap;
        LineJoin join;
        QColor color;
        double scale;
    };
    const std::vector<Case> cases = {
        {branch({20, 40}, {180, 130}), 3.75, LineCap::butt, LineJoin::miter, QColor(30, 90, 200), 1},
        {branch({20, 140}, {180, 20}), 1.5, LineCap::round, LineJoin::miter, QColor(200, 60, 20), 1},
        {branch({20, 40}, {180, 130}), 6, LineCap::butt, LineJoin::miter, QColor(20, 120, 60, 140), 1},
        {angular, 4, LineCap::butt, LineJoin::round, QColor(0, 0, 0), 1},
        {branch({10, 20}, {90, 70}), 3.75, LineCap::round, LineJoin::miter, QColor(90, 20, 140), 2.25},
        // A map zoomed out: lines narrower than a pixel.
        {branch({40, 100}, {760, 520}), 1.5, LineCap::butt, LineJoin::miter, QColor(0, 0, 0), 0.25},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        auto root = std::make_shared<Layer>();
        root->setBounds(Rect(0, 0, 200 / c.scale, 160 / c.scale));
        root->addSublayer(line(c.path, c.color, c.width, c.cap, c.join));
        QImage image = blank({200, 160});
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            LayerRenderOptions options;
            options.targetRect = QRectF(0, 0, 200, 160);
            LayerRenderer::render(painter, *root, options);
        }
        QImage qt = blank({200, 160});
        {
            QPainter painter(&qt);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(c.scale, c.scale);
            static_cast<const ShapeLayer&>(*root->sublayers().front()).draw(painter);
        }
        // Edge pixels may differ in shade (coverage by distance against by area; Qt's outline of a thick curve
        // strays from it by up to a quarter of a pixel), no more.
        EXPECT_LE(largestDifference(image, qt), 64) << "case " << i;
        // As much ink as Qt's stroke; a line narrower than a pixel, as much as it covers (Qt's has a sixth less).
        const double expected =
            c.width * c.scale < 1 ? c.width * c.scale * c.path.length() * c.scale * 255 : ink(qt);
        EXPECT_NEAR(ink(image) / expected, 1.0, 0.02) << "case " << i;
    }
}

TEST(StrokeRaster, LinesDrawnTogetherShowWhatTheyShowDrawnOneOverAnother)
{
    // Lines of one colour, partly transparent, crossing one another and themselves turning round corners.
    const QColor color(40, 80, 160, 150);
    auto root = fan(12, color);
    QPainterPath zigzag(QPointF(20, 20));
    for (int i = 1; i < 8; ++i)
        zigzag.lineTo(20 + i * 45, i % 2 ? 280 : 20);
    root->addSublayer(line(zigzag, color, 5, LineCap::round, LineJoin::round));
    EXPECT_LE(largestDifference(rendered(*root, {400, 300}), drawnApart(*root)), 2);

    // Opaque lines so close that most lie where the ones around them cover everything, and are left out. Blended
    // one by one, 1,500 lines round 1,500 times: a few levels apart where only their edges meet; a piece left out
    // that showed would be a hundred.
    auto dense = std::make_shared<Layer>();
    dense->setBounds(Rect(0, 0, 400, 300));
    for (int i = 0; i < 1500; ++i) {
        const double y = 150 + (i - 750) * 9.0;
        dense->addSublayer(line(branch({40, 150}, {300, y}), QColor(30, 60, 20), 3.75, LineCap::round));
    }
    EXPECT_LE(largestDifference(rendered(*dense, {400, 300}), drawnApart(*dense)), 8);
}

TEST(StrokeRaster, APaintOfPartOfTheViewShowsThePixelsOfAPaintOfTheWhole)
{
    // Many lines, most of them reaching far out of the view, cut where each part's paint ends.
    auto root = fan(400, QColor(200, 90, 30));
    const QImage whole = rendered(*root, {400, 300});
    QImage parts = blank({400, 300});
    for (const QRect& part : {QRect(0, 0, 400, 97), QRect(0, 97, 133, 60), QRect(133, 97, 267, 60), QRect(0, 157, 400, 143)})
        parts = rendered(*root, {400, 300}, part, parts);
    EXPECT_LE(largestDifference(whole, parts), 1);
    // The fan fills the view near its parent, and has gaps between its lines further out.
    EXPECT_EQ(whole.pixel(60, 150), QColor(200, 90, 30).rgb());
    EXPECT_EQ(whole.pixel(5, 150), qRgb(255, 255, 255));

    // Parts painted from one preparation, as bands are, the lines read once for all of them: among them one
    // hidden, one faded, one of another colour amid the run and one its frame moves.
    {
        const Transaction still(true);
        root->sublayers()[7]->setHidden(true);
        root->sublayers()[120]->setOpacity(0.4);
        static_cast<ShapeLayer&>(*root->sublayers()[200]).setStrokeColor(QColor(30, 90, 200));
        root->sublayers()[201]->setPosition({25, -40});
    }
    const QImage changed = rendered(*root, {400, 300});
    QImage shared = blank({400, 300});
    QPainter painter(&shared);
    painter.setRenderHint(QPainter::Antialiasing);
    LayerRenderOptions options;
    const LayerPaintPreparation made = LayerRenderer::prepareSharedPaints(painter, *root, options);
    EXPECT_EQ(made.crowdedStrokes.at(root.get()).strokes.size(), 399u);
    for (const QRect& part : {QRect(0, 0, 400, 140), QRect(0, 140, 90, 30), QRect(90, 140, 310, 30), QRect(0, 170, 400, 130)}) {
        painter.save();
        painter.setClipRect(part);
        options.exposedRect = Rect(part.x(), part.y(), part.width(), part.height());
        LayerRenderer::Statistics counts;
        LayerRenderer::renderShared(painter, *root, options, made, counts);
        painter.restore();
    }
    painter.end();
    EXPECT_LE(largestDifference(changed, shared), 1);
    EXPECT_GT(largestDifference(changed, whole), 100);
}

// A line from a map at 150 %, on a device whose origin lies elsewhere, as on screen: its curve's lower half lies
// right at the flatness allowed. Drawn by a raster over the whole view and by one over part of its rows, it has the
// same pieces (it was halved in one and drawn straight in the other, 11 levels apart).
TEST(StrokeRaster, ACurveAtTheFlatnessAllowedHasTheSamePiecesInEveryPaint)
{
    QPainterPath path(QPointF(0, 0));
    path.cubicTo(QPointF(0, -12.40161279834198), QPointF(-2, -111.598387201658), QPointF(-2, -124));
    std::vector<StrokeRaster::PathElement> elements;
    StrokeRaster::appendElements(path, elements);
    const QPoint origin(380, 60);
    const auto draw = [&](const QRect& pixels) {
        QImage image = blank({100, 280});
        QPainter painter(&image);
        StrokeRaster raster(pixels);
        raster.addStroke(elements.data(), int(elements.size()), QTransform(1.5, 0, 0, 1.5, 434, 298), 3.75, false, 1);
        raster.drawStrips(QColor(40, 70, 30),
                          [&](QPoint at, const QImage& strip) { painter.drawImage(at - origin, strip); });
        return image;
    };
    const QImage whole = draw(QRect(400, 81, 65, 248));
    const QImage part = draw(QRect(400, 143, 65, 186));
    const QRect shared(0, 143 - origin.y(), 100, 186);
    EXPECT_LE(largestDifference(whole.copy(shared), part.copy(shared)), 1);
    EXPECT_GT(ink(whole), ink(part));
}

TEST(StrokeRaster, APathCutToAnAreaDrawsInEveryPartOfItWhatTheWholePathDraws)
{
    // A branch to a child far below, flat ends; a curve that leaves the area and comes back, round ends; lines
    // and a curve out of it and back in, two subpaths; a wide line along the area's edge, just outside.
    QPainterPath loop(QPointF(20, 280));
    loop.cubicTo(QPointF(900, -3000), QPointF(-500, -3000), QPointF(380, 280));
    QPainterPath mixed(QPointF(10, 10));
    mixed.lineTo(200, 40);
    mixed.cubicTo(QPointF(2000, 40), QPointF(2000, 600), QPointF(150, 290));
    mixed.lineTo(-800, 290);
    mixed.moveTo(-900, -50);
    mixed.cubicTo(QPointF(300, -50), QPointF(100, 400), QPointF(390, 5000));
    // A wide line just above the area, within reach of its top row.
    QPainterPath above(QPointF(-500, -3));
    above.cubicTo(QPointF(-100, -2), QPointF(500, -4), QPointF(900, -3));
    struct Case {
        QPainterPath path;
        double width;
        bool roundEnds;
    };
    const std::vector<Case> cases = {{branch({40, 150}, {300, 5150}), 3.75, false}, {loop, 8, true}, {mixed, 5, false},
                                     {above, 8, false}};
    const QRectF area(0, 0, 400, 300);
    for (const double scale : {1.0, 2.5}) {
        const QRect pixels(0, 0, int(400 * scale), int(300 * scale));
        for (const Case& c : cases) {
            std::vector<StrokeRaster::PathElement> whole, cut;
            StrokeRaster::appendElements(c.path, whole);
            const std::optional<QRectF> kept = StrokeRaster::cutToArea(whole.data(), int(whole.size()), area, scale,
                                                                       c.width, cut);
            ASSERT_TRUE(kept);
            // The parts' rasters, as bands: the whole, rows of it, a single row, a corner.
            for (const QRect& part : {pixels, QRect(0, 0, pixels.width(), 97), QRect(0, 97, pixels.width(), 1),
                                      QRect(0, 98, pixels.width(), pixels.height() - 98), QRect(300, 200, 80, 60)}) {
                const auto drawn = [&](const std::vector<StrokeRaster::PathElement>& elements) {
                    QImage image = blank(pixels.size());
                    QPainter painter(&image);
                    StrokeRaster raster(part);
                    raster.addStroke(elements.data(), int(elements.size()), QTransform::fromScale(scale, scale),
                                     c.width, c.roundEnds, 1);
                    raster.drawStrips(Qt::black, [&](QPoint at, const QImage& strip) { painter.drawImage(at, strip); });
                    return image;
                };
                const QImage fromWhole = drawn(whole);
                EXPECT_EQ(largestDifference(fromWhole, drawn(cut)), 0) << scale << " " << part.y();
                // What the path draws lies within its reach of what was kept of it.
                const QRect reach = QTransform::fromScale(scale, scale).mapRect(*kept).toAlignedRect().adjusted(
                    -int(c.width * scale), -int(c.width * scale), int(c.width * scale), int(c.width * scale));
                QImage outside = fromWhole;
                QPainter(&outside).fillRect(reach, Qt::white);
                EXPECT_EQ(ink(outside), 0) << scale;
            }
        }
    }
    // A path that keeps out of reach of the area is cut away whole.
    std::vector<StrokeRaster::PathElement> away, cut;
    StrokeRaster::appendElements(branch({500, 150}, {900, 5000}), away);
    EXPECT_FALSE(StrokeRaster::cutToArea(away.data(), int(away.size()), area, 1, 3.75, cut));
}

// A path with a point that is not a number, infinite or further out than doubles tell pixels apart draws
// nothing, cut to an area or not; a curve a trillion pixels long is drawn where it passes, not as its chords.
TEST(StrokeRaster, PathsWithoutSoundNumbersDrawNothingAndHugeCurvesFollowTheCurve)
{
    const QRect pixels(0, 0, 400, 300);
    const auto drawn = [&](const std::vector<StrokeRaster::PathElement>& elements, const QTransform& toDevice) {
        QImage image = blank(pixels.size());
        QPainter painter(&image);
        StrokeRaster raster(pixels);
        raster.addStroke(elements.data(), int(elements.size()), toDevice, 4, false, 1);
        raster.drawStrips(Qt::black, [&](QPoint at, const QImage& strip) { painter.drawImage(at, strip); });
        return image;
    };
    for (const double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300}) {
        for (const bool last : {false, true}) {
            // (A painter path refuses such a point: it is put among the elements as they are read.)
            QPainterPath path(QPointF(10, 10));
            path.lineTo(390, 290);
            path.lineTo(200, 200);
            if (!last)
                path.lineTo(20, 280);
            std::vector<StrokeRaster::PathElement> elements, cut;
            StrokeRaster::appendElements(path, elements);
            (last ? elements[2].y : elements[2].x) = bad;
            EXPECT_EQ(ink(drawn(elements, {})), 0) << bad;
            EXPECT_FALSE(StrokeRaster::cutToArea(elements.data(), int(elements.size()), QRectF(pixels), 1, 4, cut));
            EXPECT_TRUE(cut.empty()) << bad;
        }
    }
    // The parabola y = x² / 2R, R a trillion pixels, as one cubic from x = -R to R, drawn where it passes through
    // x = R / 2^16 (the middle of one of its pieces after 16 halvings, whose chord lies 116 pixels off the curve):
    // there it runs level along y = 150, and its 4 pixels of width cover rows 148 to 151.
    const double R = 1e12, x = R / 65536;
    QPainterPath parabola(QPointF(-R, R / 2));
    parabola.cubicTo(QPointF(-R / 3, -R / 6), QPointF(R / 3, -R / 6), QPointF(R, R / 2));
    std::vector<StrokeRaster::PathElement> elements, cut;
    StrokeRaster::appendElements(parabola, elements);
    const QTransform toArea = QTransform::fromTranslate(200 - x, 150 - x * x / (2 * R));
    const auto throughTheMiddle = [](const QImage& image) {
        for (int y = 0; y < image.height(); ++y)
            for (int column : {2, 200, 397})
                if ((qGray(image.pixel(column, y)) < 128) != (y >= 148 && y <= 151))
                    return false;
        return true;
    };
    EXPECT_TRUE(throughTheMiddle(drawn(elements, toArea)));
    ASSERT_TRUE(StrokeRaster::cutToArea(elements.data(), int(elements.size()), toArea.inverted().mapRect(QRectF(pixels)),
                                        1, 4, cut));
    EXPECT_LT(cut.size(), 200u);
    EXPECT_TRUE(throughTheMiddle(drawn(cut, toArea)));
}

TEST(StrokeRaster, LinesItDoesNotDrawAsDrawnAreLeftToQt)
{
    // Dashes, squared ends, mitred corners and a closed outline: each painted as its own draw() paints it.
    QPainterPath corner(QPointF(30, 30));
    corner.lineTo(160, 40);
    corner.lineTo(40, 120);
    QPainterPath closed(QPointF(40, 30));
    closed.lineTo(170, 60);
    closed.lineTo(90, 140);
    closed.closeSubpath();
    struct Case {
        std::shared_ptr<ShapeLayer> layer;
        const char* what;
    };
    std::vector<Case> cases = {
        {line(branch({20, 40}, {180, 130}), QColor(30, 90, 200), 4), "dashed"},
        {line(branch({30, 140}, {170, 30}), QColor(200, 60, 20), 12, LineCap::square), "squared ends"},
        {line(corner, QColor(20, 120, 60), 8), "mitred corners"},
        {line(closed, QColor(90, 20, 140), 6, LineCap::round, LineJoin::round), "closed"},
    };
    cases[0].layer->setLineDashPattern({6, 4});
    for (const Case& c : cases) {
        auto root = std::make_shared<Layer>();
        root->setBounds(Rect(0, 0, 200, 160));
        root->addSublayer(c.layer);
        QImage qt = blank({200, 160});
        {
            QPainter painter(&qt);
            painter.setRenderHint(QPainter::Antialiasing);
            c.layer->draw(painter);
        }
        EXPECT_EQ(largestDifference(rendered(*root, {200, 160}), qt), 0) << c.what;
    }
}

TEST(LayerRendererBands, ABandedPaintOfThousandsOfLinesInMidGlideShowsWhatOnePaintShows)
{
    // A node with thousands of children, their lines read on several threads for the bands: among them round
    // ends, a hidden line, a dashed one and one holding a sublayer (both prepared in order), one far from the
    // view, and lines half way through a glide.
    double now = 0;
    Animator::shared().setTimeSource([&now] { return now; });
    auto root = std::make_shared<Layer>();
    std::vector<std::shared_ptr<ShapeLayer>> lines;
    {
        const Transaction still(true);
        root->setBounds(Rect(0, 0, 640, 480));
        for (int i = 0; i < 5000; ++i) {
            const QPointF from = i == 30 ? QPointF(900, 200) : QPointF(60, 240);
            lines.push_back(line(branch(from, {500, 240 + (i - 2500) * 4.2}), QColor(40, 70, 30), 3.75,
                                 i % 7 ? LineCap::butt : LineCap::round));
            root->addSublayer(lines.back());
        }
        lines[5]->setHidden(true);
        lines[10]->setLineDashPattern({6, 4});
        lines[20]->addSublayer(line(branch({200, 100}, {400, 300}), QColor(200, 40, 40), 2));
    }
    {
        const Transaction glide;
        for (int i = 1000; i < 3000; ++i)
            lines[std::size_t(i)]->setPath(branch({60, 240}, {520, 240 + (i - 2500) * 4.2 - 2}));
    }
    now = Transaction::defaultAnimationDuration / 2;
    Animator::shared().tick();

    const QImage one = rendered(*root, {640, 480});
    QImage banded = blank({640, 480});
    LayerBandPainter::setMaximumBands(3);
    LayerBandPainter bands;
    const auto paint = [&bands, &root, &banded](const QRect& area) {
        QPainter painter(&banded);
        painter.setRenderHint(QPainter::Antialiasing);
        LayerRenderer::statistics() = {};
        bands.render(painter, *root, {}, area, [](const QRect& part) {
            return Rect(part.x(), part.y(), part.width(), part.height());
        });
        return LayerRenderer::statistics().sharedPaints;
    };
    EXPECT_GE(paint(banded.rect()), 2u);
    EXPECT_LE(largestDifference(one, banded), 1);
    // A strip a scroll brings into view, two pixels wide, that every line crosses: cut into bands too.
    QPainter(&banded).fillRect(QRect(100, 0, 2, 480), Qt::white);
    EXPECT_GE(paint(QRect(100, 0, 2, 480)), 2u);
    LayerBandPainter::setMaximumBands(0);
    EXPECT_LE(largestDifference(one, banded), 1);
    // What both showed was the glide half way: its end looks otherwise.
    now = 1;
    Animator::shared().tick();
    EXPECT_GT(largestDifference(one, rendered(*root, {640, 480})), 100);
    Animator::shared().setTimeSource({});
}
