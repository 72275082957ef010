// Where a banded paint cuts its area: into bands of equal cost by what earlier paints measured, with the
// measured rows following the tree when the tree moves on the painter (a canvas that grows above the view and
// scrolls to keep what it shows in place).
#include <gtest/gtest.h>

#include <algorithm>

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "platform/QtGeometry.h"
#include "platform/layer/Layer.h"
#include "platform/layer/LayerBandPainter.h"
#include "platform/layer/ShapeLayer.h"

namespace velquine {
namespace {

// A paint of rows 0..99 whose rows 40..49 cost a hundred times the others.
void rememberCostlyRows(LayerBandPainter& bands, const LayerBandPainter::Placement& placement)
{
    bands.remember({QRect(0, 0, 100, 40), QRect(0, 40, 100, 10), QRect(0, 50, 100, 50)}, {0.04, 1.0, 0.05},
                   placement);
}

// The rows where one band ends and the next begins.
std::vector<int> boundaries(const std::vector<QRect>& cut)
{
    std::vector<int> rows;
    for (std::size_t i = 1; i < cut.size(); ++i) {
        EXPECT_EQ(cut[i].top(), cut[i - 1].bottom() + 1) << "bands leave no gap and do not overlap";
        rows.push_back(cut[i].top());
    }
    return rows;
}

TEST(LayerBandCut, CostlyRowsAreCutFinelyWhereTheTreeHasMovedThem)
{
    LayerBandPainter bands;
    const QRect area(0, 0, 100, 100);
    rememberCostlyRows(bands, {500, 1});

    // The tree where it was: the costly rows are shared out between the bands.
    for (int row : boundaries(bands.cut(area, 3, 1, {500, 1}))) {
        EXPECT_GE(row, 40);
        EXPECT_LE(row, 50);
    }
    // The canvas grew by 27 rows above the view, which scrolled to keep its content in place: the costly rows
    // are now 27 rows further down the painter.
    const std::vector<QRect> moved = bands.cut(area, 3, 1, {527, 1});
    ASSERT_EQ(moved.size(), 3u);
    EXPECT_EQ(moved.front().top(), 0);
    EXPECT_EQ(moved.back().bottom(), 99);
    for (int row : boundaries(moved)) {
        EXPECT_GE(row, 67);
        EXPECT_LE(row, 77);
    }
    // At another scale the rows measured are taken as they were.
    for (int row : boundaries(bands.cut(area, 3, 1, {1000, 2}))) {
        EXPECT_GE(row, 40);
        EXPECT_LE(row, 50);
    }
    // What a paint measures after the move is kept where the tree is now: a later paint cut at that place
    // finds the costly rows moved along.
    bands.remember(moved, {0.3, 0.3, 0.3}, {527, 1});
    for (int row : boundaries(bands.cut(area, 3, 1, {527, 1}))) {
        EXPECT_GE(row, 60);
        EXPECT_LE(row, 85);
    }
}

// A scroll paints the strip it brings into view, which measures only the strip's rows: the paint of the whole
// view that follows is still cut finely where the paints before measured the costly rows. A paint across
// another width, or at another scale, measured other work: it starts afresh.
TEST(LayerBandCut, AStripPaintedKeepsWhatEarlierPaintsMeasuredOfTheOtherRows)
{
    LayerBandPainter bands;
    const QRect area(0, 0, 100, 100);
    rememberCostlyRows(bands, {500, 1});
    bands.remember({QRect(0, 96, 100, 2), QRect(0, 98, 100, 2)}, {0.001, 0.001}, {500, 1});
    for (int row : boundaries(bands.cut(area, 3, 1, {500, 1}))) {
        EXPECT_GE(row, 40);
        EXPECT_LE(row, 50);
    }
    bands.remember({QRect(0, 96, 60, 2), QRect(0, 98, 60, 2)}, {0.001, 0.001}, {500, 1});
    const std::vector<int> afresh = boundaries(bands.cut(area, 3, 1, {500, 1}));
    EXPECT_TRUE(std::none_of(afresh.begin(), afresh.end(), [](int row) { return row >= 40 && row <= 50; }));
}

// Many lines running through a few rows (where a node's branches leave it) cost a paint's band most of its
// time in those rows, not in its others: after one paint, the next cuts those rows finely.
TEST(LayerBandCut, RowsWhereManyLinesRunAreCutFinelyAfterOnePaint)
{
    LayerBandPainter::setMaximumBands(4);
    auto root = std::make_shared<Layer>();
    root->setAnchorPoint({0, 0});
    root->setBounds({0, 0, 1600, 400});
    for (int i = 0; i < 600; ++i) {
        auto line = std::make_shared<ShapeLayer>();
        line->setFrame({0, 0, 1600, 400});
        line->setFillColor(QColor());
        line->setStrokeColor(QColor(90, 90, 90));
        line->setLineWidth(2);
        QPainterPath path(QPointF(0, 197 + i * 0.01));
        path.lineTo(1600, 203 - i * 0.01);
        line->setPath(path);
        root->addSublayer(line);
    }
    QImage image(1600, 400, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    LayerRenderOptions options;
    options.sourceRect = Rect(0, 0, 1600, 400);
    LayerBandPainter bands;
    bands.render(painter, *root, options, image.rect(), [](const QRect& part) { return toRect(QRectF(part)); });
    const std::vector<QRect> next =
        bands.cut(image.rect(), 4, 2, LayerBandPainter::placementOf(painter, *root, options));
    // Four bands over the whole area, each boundary among the busy rows.
    ASSERT_EQ(next.size(), 4u);
    EXPECT_EQ(next.front().top(), 0);
    EXPECT_EQ(next.back().bottom(), 399);
    for (int row : boundaries(next)) {
        EXPECT_GE(row, 185);
        EXPECT_LE(row, 215);
    }
    LayerBandPainter::setMaximumBands(0);
}

TEST(LayerBandCut, ThePlacementIsWhereTheRootsOriginFallsOnThePainter)
{
    auto root = std::make_shared<Layer>();
    root->setBounds({0, 0, 400, 4000});
    QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    LayerRenderOptions options;
    options.sourceRect = Rect(0, 300, 200, 100);
    options.targetRect = QRectF(0, 0, 200, 100);
    LayerBandPainter::Placement placement = LayerBandPainter::placementOf(painter, *root, options);
    EXPECT_DOUBLE_EQ(placement.rowOfOrigin, -300);
    EXPECT_DOUBLE_EQ(placement.rowsPerUnit, 1);

    // Zoomed out to a half, the view painted lower on the painter.
    painter.translate(0, 20);
    options.targetRect = QRectF(0, 0, 100, 50);
    placement = LayerBandPainter::placementOf(painter, *root, options);
    EXPECT_DOUBLE_EQ(placement.rowOfOrigin, -130);
    EXPECT_DOUBLE_EQ(placement.rowsPerUnit, 0.5);
}

} // namespace
} // namespace velquine
