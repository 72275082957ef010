#pragma once

// The lists of layers that wait off screen: titles and lines made later (DeferredGrid) and layers a reload left
// behind (UnsettledList), each filed by where it lies so that an area finds what reaches it by looking near it.
// The reload engine's index (CanvasIndex) holds them.
//
// Why not SublayerIndex, which files a layer's sublayers by area too: it files them by what they paint now (their
// visual bounds), hears of their changes through the layer tree and keeps its part of the bookkeeping in each
// sublayer (Layer::AreaSlot, one per layer, taken by its superlayer's index). A waiting layer is filed by the
// area it will take once its title is placed or its line built, which it does not paint yet, and a layer the
// content layer's own index already files by what it paints now: a second filing of the same layer by another
// area cannot share that slot.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/Geometry.h"

namespace velquine {

namespace waiting {

// The key of a cell of the waiting grids, from its column and row.
inline std::int64_t cellKey(std::int64_t x, std::int64_t y)
{
    return std::int64_t((std::uint64_t(std::uint32_t(x)) << 32) | std::uint32_t(y));
}

// Whether the rectangle reaches into the area: the closed rule on the edges, as Rect::intersects has it for
// rectangles of sizes >= 0, in plain arithmetic.
inline bool reaches(const Rect& area, const Rect& r)
{
    return r.origin.x <= area.origin.x + area.size.width && area.origin.x <= r.origin.x + r.size.width
        && r.origin.y <= area.origin.y + area.size.height && area.origin.y <= r.origin.y + r.size.height;
}

} // namespace waiting

// Layers that wait (for a title placed, a line built) until their area comes near the visible one, filed
// under the cells of a coarse grid that area meets: a visible area looks only at the layers filed near it,
// however many wait elsewhere. A layer whose area changes while it waits is filed again, in the cells it
// was not filed in yet; an entry whose layer no longer meets its cell is dropped when the cell is next
// looked at.
template <typename L>
class DeferredGrid {
public:
    static constexpr double cellSize = 1024;
    // Areas over this many cells are filed in one list looked at every time: the lines from a node with
    // thousands of children reach far, and filing each in every cell it meets would cost more, as it is
    // filed and taken out, than looking at them all as the view moves.
    static constexpr std::int64_t maxCells = 16;

    void file(const std::shared_ptr<L>& layer, const Rect& area)
    {
        const std::optional<CellRange> range = cellsOf(area);
        if (filedEverywhere(range)) {
            join(everywhere_, layer);
            return;
        }
        for (std::int64_t y = range->minY; y <= range->maxY; ++y)
            for (std::int64_t x = range->minX; x <= range->maxX; ++x)
                join(cells_[waiting::cellKey(x, y)], layer);
    }
    // Files a waiting layer whose area changed from `from`, where it is filed, to `to`: it joins the cells
    // `to` meets and `from` does not, and leaves those `from` meets and `to` does not. A layer a map's layout
    // moves a little, edit after edit, stays filed once in each cell it meets, and leaves no trail through
    // the cells it drifted across, however far from view.
    void refile(const std::shared_ptr<L>& layer, const Rect& from, const Rect& to)
    {
        const std::optional<CellRange> was = cellsOf(from);
        const bool wasEverywhere = filedEverywhere(was);
        const std::optional<CellRange> range = cellsOf(to);
        const bool everywhere = filedEverywhere(range);
        if (wasEverywhere && everywhere)
            return;
        if (wasEverywhere)
            leave(everywhere_, *layer);
        else
            for (std::int64_t y = was->minY; y <= was->maxY; ++y)
                for (std::int64_t x = was->minX; x <= was->maxX; ++x)
                    if (everywhere || !range->contains(x, y))
                        leaveCell(waiting::cellKey(x, y), *layer);
        if (everywhere) {
            join(everywhere_, layer);
            return;
        }
        for (std::int64_t y = range->minY; y <= range->maxY; ++y)
            for (std::int64_t x = range->minX; x <= range->maxX; ++x)
                if (wasEverywhere || !was->contains(x, y))
                    join(cells_[waiting::cellKey(x, y)], layer);
    }
    // Takes a layer that leaves the canvas out of the cells of `area`, where it is filed, so that the grid
    // holds no entry (nor, through it, the layer's storage) for it.
    void unfile(const L& layer, const Rect& area)
    {
        const std::optional<CellRange> range = cellsOf(area);
        if (filedEverywhere(range)) {
            leave(everywhere_, layer);
            return;
        }
        for (std::int64_t y = range->minY; y <= range->maxY; ++y)
            for (std::int64_t x = range->minX; x <= range->maxX; ++x)
                leaveCell(waiting::cellKey(x, y), layer);
    }
    bool empty() const { return filed_ == 0; }
    // The entries filed, over all cells, those a visit would drop included.
    std::size_t entryCount()
    {
        dropLeavers(everywhere_);
        for (auto it = cells_.begin(); it != cells_.end();)
            it = dropLeavers(it->second) ? cells_.erase(it) : std::next(it);
        return filed_;
    }
    // Calls settle(layer, cell) for each layer filed in a cell the area meets (in every cell without an
    // area; cell is null for the list of large areas); an entry goes when settle returns true or its
    // layer is gone.
    template <typename Settle>
    void visit(const std::optional<Rect>& area, Settle&& settle)
    {
        const auto sweep = [&](Entries& entries, const Rect* cell) {
            dropLeavers(entries);
            const std::size_t before = entries.list.size();
            std::erase_if(entries.list, [&](const std::weak_ptr<L>& weak) {
                const std::shared_ptr<L> layer = weak.lock();
                return !layer || settle(*layer, cell);
            });
            filed_ -= before - entries.list.size();
        };
        sweep(everywhere_, nullptr);
        const std::optional<CellRange> range = area ? cellsOf(*area) : std::nullopt;
        if (area && !filedEverywhere(range)) {
            for (std::int64_t y = range->minY; y <= range->maxY; ++y)
                for (std::int64_t x = range->minX; x <= range->maxX; ++x)
                    if (const auto it = cells_.find(waiting::cellKey(x, y)); it != cells_.end()) {
                        const Rect cell(double(x) * cellSize, double(y) * cellSize, cellSize, cellSize);
                        sweep(it->second, &cell);
                        if (it->second.list.empty())
                            cells_.erase(it);
                    }
            return;
        }
        for (auto it = cells_.begin(); it != cells_.end();) {
            const Rect cell(double(std::int32_t(it->first >> 32)) * cellSize,
                            double(std::int32_t(it->first & 0xffffffff)) * cellSize, cellSize, cellSize);
            sweep(it->second, &cell);
            it = it->second.list.empty() ? cells_.erase(it) : std::next(it);
        }
    }

private:
    struct CellRange {
        std::int64_t minX, minY, maxX, maxY;
        std::int64_t count() const { return (maxX - minX + 1) * (maxY - minY + 1); }
        bool contains(std::int64_t x, std::int64_t y) const
        {
            return x >= minX && x <= maxX && y >= minY && y <= maxY;
        }
    };
    // The layers filed in a cell, and those that left it whose entries are still in the list: they are dropped
    // together when the cell is next looked at or joined by one of them, as the lines from a node with twenty
    // thousand children, leaving its cell one by one, would otherwise walk the cell's list once for each.
    struct Entries {
        std::vector<std::weak_ptr<L>> list;
        std::set<std::weak_ptr<const void>, std::owner_less<>> leaving;
    };
    // Whether an area of those cells (none: an area too far out to count them) is filed in the list looked at
    // every time.
    static bool filedEverywhere(const std::optional<CellRange>& range) { return !range || range->count() > maxCells; }
    static std::optional<CellRange> cellsOf(const Rect& area)
    {
        const Rect r = area.standardized();
        const double limit = 1e9;
        if (!(std::fabs(r.minX()) < limit && std::fabs(r.maxX()) < limit && std::fabs(r.minY()) < limit
              && std::fabs(r.maxY()) < limit))
            return std::nullopt;
        return CellRange{std::int64_t(std::floor(r.minX() / cellSize)), std::int64_t(std::floor(r.minY() / cellSize)),
                         std::int64_t(std::floor(r.maxX() / cellSize)), std::int64_t(std::floor(r.maxY() / cellSize))};
    }
    void join(Entries& entries, const std::shared_ptr<L>& layer)
    {
        // One that left and comes back may or may not be in the list still.
        if (entries.leaving.count(layer) > 0)
            dropLeavers(entries);
        entries.list.push_back(layer);
        ++filed_;
    }
    // Notes that the layer leaves the entries (no reference to it taken).
    void leave(Entries& entries, const L& layer)
    {
        entries.leaving.insert(layer.weak_from_this());
        // More noted than listed: some noted are not there.
        if (entries.leaving.size() >= entries.list.size())
            dropLeavers(entries);
    }
    void leaveCell(std::int64_t cell, const L& layer)
    {
        const auto it = cells_.find(cell);
        if (it == cells_.end())
            return;
        leave(it->second, layer);
        if (it->second.list.empty())
            cells_.erase(it);
    }
    // Drops the entries of the layers noted as leaving, and of layers that are gone; whether none is left.
    bool dropLeavers(Entries& entries)
    {
        if (!entries.leaving.empty()) {
            const std::size_t before = entries.list.size();
            std::erase_if(entries.list, [&entries](const std::weak_ptr<L>& weak) {
                return weak.expired() || entries.leaving.count(weak) > 0;
            });
            filed_ -= before - entries.list.size();
            entries.leaving.clear();
        }
        return entries.list.empty();
    }
    std::unordered_map<std::int64_t, Entries> cells_;
    Entries everywhere_;
    std::size_t filed_ = 0; // entries, over all cells
};

// Where a layer left behind is shown (`from`, which does not change while it waits) and where it goes.
struct Unsettled {
    Rect from;
    Rect to;
    bool reaches(const Rect& area) const
    {
        return waiting::reaches(area, from) || waiting::reaches(area, to);
    }
};
// Layers left behind, in a list kept compact; each layer knows its slot (unsettledSlot). Each of an entry's
// two places is also filed by where it lies, so that what reaches an area is found by looking near the area
// alone: the view asks on every frame of a scroll, while a big map's layout may leave tens of thousands behind.
template <class LayerType> struct UnsettledList {
    // A place no wider or taller than a cell is filed, by its entry's index, in the cell that holds its
    // centre, so it lies within half a cell of that cell. A larger one is filed with its place in a list
    // looked at every time, which is read without going to the entries.
    static constexpr double cellSize = 1024;
    // The places are filed when an area is first looked up in a list this long, and kept filed from then
    // on, until every entry goes at once: a shorter list is read whole, and entries made and settled
    // between two looks are never filed.
    static constexpr std::size_t filedFrom = 256;
    struct Entry {
        std::shared_ptr<LayerType> layer;
        Unsettled places;
        // Where in its cell's list (or the list of large places) each place is filed: from, then to.
        std::uint32_t filedAt[2] = {0, 0};
    };
    std::vector<Entry> entries;

    bool empty() const { return entries.empty(); }
    const Unsettled* find(const LayerType& layer) const
    {
        return layer.unsettledSlot ? &entries[layer.unsettledSlot - 1].places : nullptr;
    }
    void set(LayerType& layer, const Unsettled& places)
    {
        if (layer.unsettledSlot) {
            // A layout moves a node a little edit after edit: its places mostly stay filed where they are.
            const std::uint32_t index = std::uint32_t(layer.unsettledSlot - 1);
            for (int i = 0; i < 2 && filed_; ++i) {
                const Rect& place = i ? places.to : places.from;
                const std::int64_t cell = keyOf(place);
                if (cell != keyOf(placeOf(index, i))) {
                    unfile(index, i);
                    (i ? entries[index].places.to : entries[index].places.from) = place;
                    file(index, i);
                } else if (cell == wideKey) {
                    wide_[entries[index].filedAt[i]].place = place;
                }
            }
            entries[index].places = places;
            return;
        }
        entries.push_back({std::static_pointer_cast<LayerType>(layer.shared_from_this()), places});
        layer.unsettledSlot = entries.size();
        if (filed_) {
            file(std::uint32_t(entries.size() - 1), 0);
            file(std::uint32_t(entries.size() - 1), 1);
        }
    }
    // Whether the layer was in the list.
    bool remove(LayerType& layer)
    {
        if (!layer.unsettledSlot)
            return false;
        const std::uint32_t at = std::uint32_t(layer.unsettledSlot - 1);
        if (filed_) {
            unfile(at, 0);
            unfile(at, 1);
        }
        layer.unsettledSlot = 0;
        const std::uint32_t last = std::uint32_t(entries.size() - 1);
        if (at != last) {
            entries[at] = std::move(entries[last]);
            entries[at].layer->unsettledSlot = at + 1;
            for (int i = 0; i < 2 && filed_; ++i)
                filingOf(at, i) = at;
        }
        entries.pop_back();
        return true;
    }
    void clear()
    {
        for (const Entry& entry : entries)
            entry.layer->unsettledSlot = 0;
        entries.clear();
        forgetFiling();
    }
    // Before every entry goes, one by one: they need not leave their cells.
    void forgetFiling()
    {
        cells_.clear();
        wide_.clear();
        filed_ = false;
    }
    // Calls found(layer) for each layer one of whose places reaches the area, each once; found must not
    // change the list.
    template <typename Found>
    void visit(const Rect& area, Found&& found)
    {
        std::vector<std::uint32_t> reached;
        if (!filed_ && entries.size() < filedFrom) {
            for (std::uint32_t index = 0; index < entries.size(); ++index)
                if (entries[index].places.reaches(area))
                    reached.push_back(index);
            for (const std::uint32_t index : reached)
                found(entries[index].layer);
            return;
        }
        if (!filed_) {
            for (std::uint32_t index = 0; index < entries.size(); ++index) {
                file(index, 0);
                file(index, 1);
            }
            filed_ = true;
        }
        for (const WideFiling& filing : wide_)
            if (waiting::reaches(area, filing.place))
                reached.push_back(filing.index);
        const auto look = [&](const std::vector<std::uint32_t>& filed) {
            for (const std::uint32_t index : filed)
                if (entries[index].places.reaches(area))
                    reached.push_back(index);
        };
        const Rect r = area.standardized();
        const double limit = 1e9;
        if (!(std::isfinite(r.minX()) && std::isfinite(r.minY()) && std::isfinite(r.maxX()) && std::isfinite(r.maxY()))) {
            for (const auto& [key, filed] : cells_)
                look(filed);
        } else {
            const std::int64_t minX = std::int64_t(std::floor(std::max(r.minX() - cellSize / 2, -limit) / cellSize));
            const std::int64_t maxX = std::int64_t(std::floor(std::min(r.maxX() + cellSize / 2, limit) / cellSize));
            const std::int64_t minY = std::int64_t(std::floor(std::max(r.minY() - cellSize / 2, -limit) / cellSize));
            const std::int64_t maxY = std::int64_t(std::floor(std::min(r.maxY() + cellSize / 2, limit) / cellSize));
            // An area over more cells than are filed is met by looking at each cell filed.
            if (std::uint64_t(maxX - minX + 1) * std::uint64_t(maxY - minY + 1) > cells_.size()) {
                for (const auto& [key, filed] : cells_)
                    if (cellX(key) >= minX && cellX(key) <= maxX && cellY(key) >= minY && cellY(key) <= maxY)
                        look(filed);
            } else {
                for (std::int64_t y = minY; y <= maxY; ++y)
                    for (std::int64_t x = minX; x <= maxX; ++x)
                        if (const auto cell = cells_.find(waiting::cellKey(x, y)); cell != cells_.end())
                            look(cell->second);
            }
        }
        // An entry whose two places both reach the area is found twice.
        std::sort(reached.begin(), reached.end());
        reached.erase(std::unique(reached.begin(), reached.end()), reached.end());
        for (const std::uint32_t index : reached)
            found(entries[index].layer);
    }

private:
    struct WideFiling {
        std::uint32_t index;
        Rect place;
    };
    static constexpr std::int64_t wideKey = std::numeric_limits<std::int64_t>::min();
    static std::int64_t cellX(std::int64_t key) { return std::int32_t(std::uint64_t(key) >> 32); }
    static std::int64_t cellY(std::int64_t key) { return std::int32_t(std::uint64_t(key) & 0xffffffff); }
    static std::int64_t keyOf(const Rect& place)
    {
        const Rect r = place.standardized();
        const double limit = 1e9;
        if (!(r.width() <= cellSize && r.height() <= cellSize && std::fabs(r.minX()) < limit
              && std::fabs(r.minY()) < limit))
            return wideKey;
        const Point centre = r.center();
        return waiting::cellKey(std::int64_t(std::floor(centre.x / cellSize)), std::int64_t(std::floor(centre.y / cellSize)));
    }
    const Rect& placeOf(std::uint32_t index, int which) const
    {
        return which ? entries[index].places.to : entries[index].places.from;
    }
    // The entry index filed for one place of an entry.
    std::uint32_t& filingOf(std::uint32_t index, int which)
    {
        const std::uint32_t at = entries[index].filedAt[which];
        const std::int64_t cell = keyOf(placeOf(index, which));
        return cell == wideKey ? wide_[at].index : cells_.find(cell)->second[at];
    }
    // Files one place of an entry (0: from, 1: to) as it stands.
    void file(std::uint32_t index, int which)
    {
        const Rect& place = placeOf(index, which);
        const std::int64_t cell = keyOf(place);
        if (cell == wideKey) {
            entries[index].filedAt[which] = std::uint32_t(wide_.size());
            wide_.push_back({index, place});
        } else {
            std::vector<std::uint32_t>& filed = cells_[cell];
            entries[index].filedAt[which] = std::uint32_t(filed.size());
            filed.push_back(index);
        }
    }
    // Takes one place of an entry, as it was filed, out of its list; the list's last filing moves into the
    // room left.
    void unfile(std::uint32_t index, int which)
    {
        const std::int64_t cell = keyOf(placeOf(index, which));
        const std::uint32_t at = entries[index].filedAt[which];
        const auto moveLast = [&](auto& filed, std::uint32_t movedIndex) {
            const std::uint32_t last = std::uint32_t(filed.size() - 1);
            if (at != last) {
                filed[at] = filed[last];
                // The filing moved is the one of its entry's places in this list at the end.
                for (int j = 0; j < 2; ++j)
                    if (entries[movedIndex].filedAt[j] == last && keyOf(placeOf(movedIndex, j)) == cell)
                        entries[movedIndex].filedAt[j] = at;
            }
            filed.pop_back();
        };
        if (cell == wideKey) {
            moveLast(wide_, wide_.back().index);
        } else {
            const auto found = cells_.find(cell);
            moveLast(found->second, found->second.back());
            if (found->second.empty())
                cells_.erase(found);
        }
    }

    std::unordered_map<std::int64_t, std::vector<std::uint32_t>> cells_;
    std::vector<WideFiling> wide_;
    bool filed_ = false;
};

} // namespace velquine
