#include "platform/layer/SublayerIndex.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "platform/layer/Layer.h"

namespace velquine {

namespace {

// Cells further out than this are not worth a grid: such a sublayer goes to the list every query reads.
constexpr double farthestCell = 1 << 28;
// Past this many marked sublayers, their bounds are worked out on several threads.
constexpr std::size_t markedOnThreads = 2048;
constexpr std::size_t markedPerJob = 512;
// Subtrees larger than this are not searched for animations: they count as animating.
constexpr int mostLayersSearched = 256;

std::uint64_t cellKey(std::int32_t x, std::int32_t y) { return (std::uint64_t(std::uint32_t(x)) << 32) | std::uint32_t(y); }

// Whether the layer or a layer below it animates; also when the subtree is too large to search.
bool animatesBelow(const Layer& layer, int& budget)
{
    if (layer.hasAnimations() || --budget < 0)
        return true;
    for (const auto& sublayer : layer.sublayers())
        if (animatesBelow(*sublayer, budget))
            return true;
    return false;
}

// The cells from lo to hi of one axis, or false when they are too far out to number.
bool cellRange(double lo, double hi, std::int32_t& first, std::int32_t& last)
{
    const double a = std::floor(std::min(lo, hi) / SublayerIndex::cellSize);
    const double b = std::floor(std::max(lo, hi) / SublayerIndex::cellSize);
    if (!(a >= -farthestCell && b <= farthestCell))
        return false;
    first = std::int32_t(a);
    last = std::int32_t(b);
    return true;
}

} // namespace

SublayerIndex::SublayerIndex(const std::vector<std::shared_ptr<Layer>>& sublayers)
{
    marked_.reserve(sublayers.size());
    for (const auto& sublayer : sublayers) {
        sublayer->areaSlot_ = {};
        changed(*sublayer);
    }
}

SublayerIndex::~SublayerIndex() = default;

void SublayerIndex::changed(Layer& sublayer)
{
    Layer::AreaSlot& slot = sublayer.areaSlot_;
    if (slot.marked)
        return;
    slot.marked = true;
    slot.markedAt = std::uint32_t(marked_.size());
    marked_.push_back(&sublayer);
}

void SublayerIndex::unmark(Layer& sublayer)
{
    Layer::AreaSlot& slot = sublayer.areaSlot_;
    if (!slot.marked)
        return;
    Layer* last = marked_.back();
    marked_[slot.markedAt] = last;
    last->areaSlot_.markedAt = slot.markedAt;
    marked_.pop_back();
    slot.marked = false;
}

void SublayerIndex::removed(Layer& sublayer)
{
    unmark(sublayer);
    unfile(sublayer);
    sublayer.areaSlot_ = {};
}

void SublayerIndex::removed(const std::vector<Layer*>& sublayers)
{
    if (sublayers.size() > 8 && marked_.size() > 64) {
        // One pass over the marked ones instead of one move per leaving layer.
        const std::unordered_set<const Layer*> leaving(sublayers.begin(), sublayers.end());
        std::erase_if(marked_, [&leaving](const Layer* layer) { return leaving.count(layer) != 0; });
        for (std::size_t i = 0; i < marked_.size(); ++i)
            marked_[i]->areaSlot_.markedAt = std::uint32_t(i);
        for (Layer* sublayer : sublayers)
            sublayer->areaSlot_.marked = false;
    }
    for (Layer* sublayer : sublayers)
        removed(*sublayer);
}

bool SublayerIndex::cellsOf(const Rect& area, Filing& cells)
{
    const double x = area.origin.x, y = area.origin.y;
    return !area.isNull() && cellRange(x, x + area.size.width, cells.x0, cells.x1)
           && cellRange(y, y + area.size.height, cells.y0, cells.y1);
}

bool SublayerIndex::spansMostCells(const Rect& area, const RunAll& runAll)
{
    fileMarked(runAll);
    Filing cells;
    return !cellsOf(area, cells) || double(cells.x1 - cells.x0 + 1) * double(cells.y1 - cells.y0 + 1) >= double(cells_.size());
}

SublayerIndex::Filing SublayerIndex::filingFor(const Rect& visual)
{
    Filing filing;
    if (visual.isNull())
        return filing;
    if (!cellsOf(visual, filing) || double(filing.x1 - filing.x0 + 1) * double(filing.y1 - filing.y0 + 1) > mostCellsFiled) {
        filing.place = Place::wide;
        return filing;
    }
    filing.place = Place::cells;
    return filing;
}

void SublayerIndex::file(Layer& sublayer, const Filing& filing)
{
    Layer::AreaSlot& slot = sublayer.areaSlot_;
    slot.place = std::uint8_t(filing.place);
    slot.x0 = filing.x0;
    slot.y0 = filing.y0;
    slot.x1 = filing.x1;
    slot.y1 = filing.y1;
    switch (filing.place) {
    case Place::none: break;
    case Place::cells:
        for (std::int32_t x = filing.x0; x <= filing.x1; ++x)
            for (std::int32_t y = filing.y0; y <= filing.y1; ++y)
                cells_[cellKey(x, y)].push_back(&sublayer);
        break;
    case Place::wide:
    case Place::animating: {
        std::vector<Layer*>& list = listOf(filing.place);
        slot.listAt = std::uint32_t(list.size());
        list.push_back(&sublayer);
        break;
    }
    }
}

void SublayerIndex::unfile(Layer& sublayer)
{
    Layer::AreaSlot& slot = sublayer.areaSlot_;
    switch (Place(slot.place)) {
    case Place::none: break;
    case Place::cells:
        for (std::int32_t x = slot.x0; x <= slot.x1; ++x)
            for (std::int32_t y = slot.y0; y <= slot.y1; ++y) {
                const auto cell = cells_.find(cellKey(x, y));
                if (cell == cells_.end())
                    continue;
                std::vector<Layer*>& layers = cell->second;
                const auto at = std::find(layers.begin(), layers.end(), &sublayer);
                if (at != layers.end()) {
                    *at = layers.back();
                    layers.pop_back();
                }
                if (layers.empty())
                    cells_.erase(cell);
            }
        break;
    case Place::wide:
    case Place::animating: {
        std::vector<Layer*>& list = listOf(Place(slot.place));
        Layer* last = list.back();
        list[slot.listAt] = last;
        last->areaSlot_.listAt = slot.listAt;
        list.pop_back();
        break;
    }
    }
    slot.place = std::uint8_t(Place::none);
}

void SublayerIndex::fileMarked(const RunAll& runAll)
{
    if (marked_.empty())
        return;
    // Where each marked sublayer goes. Working out visual bounds writes only within the sublayer's own
    // subtree, so many are worked out on several threads at once.
    std::vector<Filing> filings(marked_.size());
    const auto work = [this, &filings](std::size_t first, std::size_t end) {
        for (std::size_t i = first; i < end; ++i) {
            const Layer& sublayer = *marked_[i];
            int budget = mostLayersSearched;
            if (animatesBelow(sublayer, budget))
                filings[i].place = Place::animating;
            else
                filings[i] = filingFor(sublayer.visualBounds());
        }
    };
    if (runAll && marked_.size() >= markedOnThreads) {
        std::vector<std::function<void()>> jobs;
        for (std::size_t first = 0; first < marked_.size(); first += markedPerJob)
            jobs.emplace_back([&work, first, this] { work(first, std::min(marked_.size(), first + markedPerJob)); });
        runAll(jobs);
    } else {
        work(0, marked_.size());
    }
    for (std::size_t i = 0; i < marked_.size(); ++i) {
        Layer& sublayer = *marked_[i];
        Layer::AreaSlot& slot = sublayer.areaSlot_;
        slot.marked = false;
        const Filing& to = filings[i];
        const bool same = slot.place == std::uint8_t(to.place)
                          && (to.place != Place::cells
                              || (slot.x0 == to.x0 && slot.y0 == to.y0 && slot.x1 == to.x1 && slot.y1 == to.y1));
        if (same)
            continue;
        unfile(sublayer);
        file(sublayer, to);
    }
    marked_.clear();
}

void SublayerIndex::addFrom(const std::vector<Layer*>& layers, std::vector<Layer*>& out)
{
    for (Layer* layer : layers)
        if (layer->areaSlot_.seen != query_) {
            layer->areaSlot_.seen = query_;
            out.push_back(layer);
        }
}

void SublayerIndex::collect(const Rect& area, std::vector<Layer*>& out, const RunAll& runAll)
{
    fileMarked(runAll);
    if (++query_ == 0) {
        // The counter went round: no sublayer may look seen by this query.
        for (auto& [key, layers] : cells_)
            for (Layer* layer : layers)
                layer->areaSlot_.seen = 0;
        query_ = 1;
    }
    out.insert(out.end(), wide_.begin(), wide_.end());
    out.insert(out.end(), animating_.begin(), animating_.end());
    Filing range;
    const bool numbered = cellsOf(area, range);
    const std::int32_t x0 = range.x0, x1 = range.x1, y0 = range.y0, y1 = range.y1;
    if (numbered && double(x1 - x0 + 1) * double(y1 - y0 + 1) <= double(cells_.size())) {
        for (std::int32_t cx = x0; cx <= x1; ++cx)
            for (std::int32_t cy = y0; cy <= y1; ++cy)
                if (const auto cell = cells_.find(cellKey(cx, cy)); cell != cells_.end())
                    addFrom(cell->second, out);
        return;
    }
    // An area of more cells than are filled: the filled ones are walked instead (all of them when the area
    // cannot be numbered; the caller tells apart what meets it).
    for (const auto& [key, layers] : cells_) {
        const auto cx = std::int32_t(std::uint32_t(key >> 32)), cy = std::int32_t(std::uint32_t(key));
        if (!numbered || (cx >= x0 && cx <= x1 && cy >= y0 && cy <= y1))
            addFrom(layers, out);
    }
}

} // namespace velquine
