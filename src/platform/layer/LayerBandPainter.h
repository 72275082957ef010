#pragma once

// Paints a large area of a layer tree on several threads at once. Most of a busy view's paint is the
// rasterizing of anti-aliased strokes, row by row; so the area is cut into horizontal bands, each band is
// painted on a thread of its own into its own rows of an image (only its rows are rasterized, and long
// strokes are trimmed to it). When the painter paints an image as it goes (a widget's backing store, a
// picture in memory) with nothing in between, those are the image's own rows; otherwise they are rows of a
// picture of the area, and each band is then drawn into the painter in place. A band paints exactly the
// pixels a paint of the whole area gives in its rows.
//
// The tree is prepared on the calling thread first (LayerRenderer::prepareSharedPaints: layout, extents,
// drawing orders, laid-out text, cached pictures), so the band paints only read it; the animation clock is
// held still meanwhile, so all see one frame; text, whose fonts keep caches of their own, is drawn by one band
// at a time (TextLayer). A paint takes as many threads as other programs leave processors idle at its start
// (at most a few), so on a machine busy with other work it costs no more than painting on one thread. A small
// area, a device pixel ratio that cuts pixels, or a process with a single processor free is painted at once on
// the calling thread, as LayerRenderer::render paints it; but a small area where the
// last paint met thousands of lines (a strip a scroll brings into view across a node's thousands of branch
// lines) is cut still, as the preparation reads those lines on several threads.
//
// Where the work lies is rarely even (a root whose branches all leave it near the top of the view), so the
// painter remembers what each row cost when last painted and cuts the next one into bands of equal cost: a
// band's time is laid on its rows by how many lines its rasters visited in each (where a node's thousands of
// branches leave it, a few rows of a band hold most of its work), so the next cut gives those rows thin bands. The
// rows remembered follow the tree: when the tree moved down the painter at the same scale (a canvas grown
// above the view, which scrolled to keep its content in place), the costly rows are looked for where they went.
//
// What it buys, measured (bench_GraphViewCommands, 10,000 nodes, one band against the default, medians of 3 on
// a loaded 8-core machine): BM_RepaintBusyView 11.0 -> 7.7 ms, BM_PaintBusyViewBackdrop 13.5 -> 9.6 ms,
// BM_RepaintAfterNewChild 26.6 -> 18.7 ms (two paints).
//
//   LayerBandPainter bands;                  // one per view, kept between paints
//   bands.render(painter, *root, options, exposedArea, [&](const QRect& part) { return layerRectOf(part); });

#include <QImage>
#include <QRect>

#include <functional>
#include <vector>

#include "platform/Geometry.h"
#include "platform/layer/LayerRenderer.h"

class QPainter;

namespace velquine {

class Layer;

class LayerBandPainter {
public:
    // Paints the tree by the options, clipped to area (the painter's coordinates, whole pixels), with
    // exposedRect set for each part painted to exposedOf(part). Returns what LayerRenderer::render returns.
    bool render(QPainter& painter, Layer& root, LayerRenderOptions options, const QRect& area,
                const std::function<Rect(const QRect&)>& exposedOf);

    // How many bands an area of that many device pixels is painted in; 1 paints it at once.
    static int bandCount(QSize devicePixels);
    // The most bands an area is cut into; 0 (the default) takes the cores the process may run on that other
    // programs leave idle now, at most a few; 1 paints every area at once.
    static void setMaximumBands(int bands);
    static int maximumBands();

    // Where the root's coordinates lie on the painter: the painter row of the root's y = 0 and the rows per
    // unit of y (negative when flipped).
    struct Placement {
        double rowOfOrigin = 0;
        double rowsPerUnit = 0;
    };
    static Placement placementOf(const QPainter& painter, const Layer& root, const LayerRenderOptions& options);
    // The rows from top to bottom cut into count bands of about equal cost by what earlier paints measured
    // (remember: seconds per band), following the tree where it moved on the painter.
    std::vector<QRect> cut(const QRect& area, int count, int minRows, const Placement& placement) const;
    // work, when given, says for each band how much each of its rows held (the lines that visited it).
    void remember(const std::vector<QRect>& bands, const std::vector<double>& costs, const Placement& placement,
                  const std::vector<std::vector<double>>& work = {});

private:
    // How many rows the tree moved down the painter since the last paint measured it.
    int rowsMovedSince(const Placement& placement) const;

    // Seconds of work per row of the painter, for the rows from costTop_ on that the last paints measured (NaN
    // where none did), with the tree placed on the painter as costPlacement_ says.
    std::vector<double> rowCosts_;
    int costTop_ = 0;
    Placement costPlacement_;
    // The width of the rows measured.
    int costWidth_ = 0;
    // What the last paint measured for a painter row, the tree having moved shift rows down since; unmeasured
    // when it did not measure it.
    double measuredCost(int row, int shift, double unmeasured) const;
    // Seconds the area's rows would take by what the last paint measured, for the area's share of their width.
    double expectedCost(const QRect& area, const Placement& placement) const;
    // A picture for painting the area apart from the painter, cleared where the area lies in it (deviceArea,
    // device pixels); the one of the last paint when of the same size.
    const QImage& pictureFor(const QPainter& painter, const QRect& area, int ratio, QRect& deviceArea);

    // Where the bands are painted, each into its own rows, when they cannot be painted right into the
    // painter's image; then drawn into the painter.
    QImage picture_;
    // The plain strokes of crowded layers the last preparation read.
    std::size_t strokesLastPrepared_ = 0;
};

} // namespace velquine
