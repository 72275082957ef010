#pragma once

// Files the sublayers of a layer with very many by where they paint, so that finding those whose visual bounds
// meet an area costs what lies near the area rather than a visit to every sublayer.
// What it buys, measured against a walk of every sublayer: 9.6x a repaint of a small area of 5,000 layers
// (bench_LayerRendering), 1.7-4.9x a hover move over 5,000 nodes (bench_CanvasDrag).
//
// Sublayers are filed under the cells of a square grid (the superlayer's coordinates) that their visual bounds
// cover. One that covers very many cells is kept in a short list looked at by every query; so is one that
// animates (in itself or below), whose bounds follow the clock. A sublayer whose visual bounds may have changed
// is only marked; the next query files it again. The layer tells the index of every such change (its changes
// walk up the tree), of sublayers joining (as a change) and of sublayers leaving.
//
// Each sublayer carries its own part of the bookkeeping (Layer::AreaSlot): the cells it is filed under and
// its place in the lists.

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/Geometry.h"

namespace velquine {

class Layer;

class SublayerIndex {
public:
    // Runs jobs on several threads and returns when all are done.
    using RunAll = std::function<void(const std::vector<std::function<void()>>&)>;

    // Every sublayer is filed at the first query.
    explicit SublayerIndex(const std::vector<std::shared_ptr<Layer>>& sublayers);
    ~SublayerIndex();
    SublayerIndex(const SublayerIndex&) = delete;
    SublayerIndex& operator=(const SublayerIndex&) = delete;

    // The sublayer joined, or something that decides its visual bounds changed.
    void changed(Layer& sublayer);
    // While the sublayers are still alive, as they leave.
    void removed(Layer& sublayer);
    void removed(const std::vector<Layer*>& sublayers);
    // Appends, once each, every sublayer whose visual bounds may meet the area (closed rule: touching edges
    // count), and some others. Marked sublayers are filed first; with runAll, their bounds are worked out on
    // several threads when there are very many.
    void collect(const Rect& area, std::vector<Layer*>& out, const RunAll& runAll = {});
    // Whether the area spans at least as many cells as hold sublayers, once marked ones are filed: a query
    // would look at nearly all.
    bool spansMostCells(const Rect& area, const RunAll& runAll = {});

    // The side of a cell, in points.
    static constexpr double cellSize = 256;
    // A sublayer covering more cells than this is looked at by every query.
    static constexpr int mostCellsFiled = 24;

private:
    // Where a sublayer is filed: its cells (x0..x1, y0..y1), or one of the lists.
    enum class Place : std::uint8_t { none, cells, wide, animating };
    struct Filing {
        Place place = Place::none;
        std::int32_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    };
    static Filing filingFor(const Rect& visual);
    // The cells an area spans, or false when they cannot be numbered.
    static bool cellsOf(const Rect& area, Filing& cells);
    void fileMarked(const RunAll& runAll);
    void file(Layer& sublayer, const Filing& filing);
    void unfile(Layer& sublayer);
    void unmark(Layer& sublayer);
    std::vector<Layer*>& listOf(Place place) { return place == Place::wide ? wide_ : animating_; }
    void addFrom(const std::vector<Layer*>& layers, std::vector<Layer*>& out);

    std::unordered_map<std::uint64_t, std::vector<Layer*>> cells_;
    std::vector<Layer*> wide_;
    std::vector<Layer*> animating_;
    std::vector<Layer*> marked_;
    std::uint32_t query_ = 0;
};

} // namespace velquine
