#pragma once

// The canvas's lookups: node layers by identifier, branch layers by (parent, child) and by each end, and what
// the last reload showed, so that a reload finds changed nodes without looking at the others.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/UidMap.h"
#include "model/graph/DenseUIDRange.h"
#include "model/graph/Graph.h"
#include "model/graph/LayoutOptions.h"
#include "model/graph/Node.h"
#include "platform/Color.h"
#include "platform/Geometry.h"

namespace velquine {

class BranchLayer;
class NodeLayer;

struct ReloadPlan {
    // Every node is visited, every layer revisited.
    bool full = true;
    // The nodes this reload visits, in the graph's order, and their identifiers.
    std::vector<const Node*> visit;
    std::vector<std::int64_t> visitUIDs;
    // For each visited node (none on a full reload): whether it only moved since its layer showed it, with
    // nothing about it or above it that would change its branch's look, its layer's look or its layout
    // options; such a node's layer and branch need only follow it.
    std::vector<char> movedOnly;
    bool isMovedOnly(std::size_t visitIndex) const { return visitIndex < movedOnly.size() && movedOnly[visitIndex]; }
    // Identifiers of nodes the last reload showed that left the graph.
    std::vector<std::int64_t> removed;
    // Whether any node is new, and which (ascending; none on a full reload).
    bool added = false;
    std::vector<std::int64_t> addedUIDs;
    // Each node the last reload showed that names another parent now (none on a full reload). The planning
    // gives the shown list every changed node's storage as it finds it.
    struct Reparenting {
        std::int64_t uid;
        std::optional<std::int64_t> before;
        std::optional<std::int64_t> now;
    };
    std::vector<Reparenting> reparented;
    // Every layer's hover state and selection are worked out again.
    bool hoverPass = false;
    bool selectionPass = false;
    // Identifiers whose selected state changed since the layers last showed the selection.
    std::vector<std::int64_t> selectionChanges;

    // Back to a plan of nothing, keeping the room of its lists.
    void reset()
    {
        full = true;
        visit.clear();
        visitUIDs.clear();
        movedOnly.clear();
        removed.clear();
        added = false;
        addedUIDs.clear();
        reparented.clear();
        hoverPass = selectionPass = false;
        selectionChanges.clear();
    }
};

struct CanvasIndex {
    // ---- Node layers ----

    // Rebuilt from the node layers at the end of every node synchronisation (a later layer with the same
    // identifier wins).
    UidMap<NodeLayer*> nodeLayerUIDCache;

    // ---- Branch layers ----

    struct LinkHash {
        std::size_t operator()(const std::pair<std::int64_t, std::int64_t>& link) const noexcept
        {
            const auto a = static_cast<std::uint64_t>(link.first);
            const auto b = static_cast<std::uint64_t>(link.second);
            return static_cast<std::size_t>(a * 0x9E3779B97F4A7C15ULL ^ (b + 0x632BE59BD9B4E019ULL + (a << 6)));
        }
    };
    // The first layer of each link, as the branch list holds them in order.
    std::unordered_map<std::pair<std::int64_t, std::int64_t>, BranchLayer*, LinkHash> branchByLink;
    // A branch layer as listed under each of its two ends, with the identifiers of both: a walk over the
    // branches at a node reads no layer it passes over.
    struct BranchEnd {
        BranchLayer* layer = nullptr;
        std::int64_t parentUID = 0;
        std::int64_t childUID = 0;
        bool operator==(const BranchEnd&) const = default;
    };
    // Every branch layer under each of its two ends.
    UidMap<std::vector<BranchEnd>> branchesAtNode;

    // ---- What lives only while a reload runs ----

    bool reloading = false;
    // The branch layers made by the reload under way: they take their first path without animation. A reload
    // asks about every branch it docks or leaves behind and usually makes one or two: a few are looked through
    // in a list, more are hashed.
    class CreatedBranches {
    public:
        void insert(const BranchLayer* layer)
        {
            if (hashed_.empty() && listed_.size() < 16) {
                listed_.push_back(layer);
                return;
            }
            if (hashed_.empty())
                hashed_.insert(listed_.begin(), listed_.end());
            hashed_.insert(layer);
        }
        bool contains(const BranchLayer* layer) const
        {
            if (hashed_.empty())
                return std::find(listed_.begin(), listed_.end(), layer) != listed_.end();
            return hashed_.count(layer) != 0;
        }
        void clear()
        {
            listed_.clear();
            hashed_.clear();
        }

    private:
        std::vector<const BranchLayer*> listed_;
        std::unordered_set<const BranchLayer*> hashed_;
    };
    CreatedBranches createdBranches;
    // The selection, and the layout options governing each node climbed through so far.
    std::unordered_set<std::int64_t> selected;
    std::unordered_map<std::int64_t, LayoutOptions> governingOptions;
    // Scratch list of one climb to a tree's root, kept to spare an allocation per node.
    std::vector<std::int64_t> climbPath;
    // Layers that stay outside this area (the visible part of the canvas with a margin) move without
    // animating: nobody would see it, and thousands of off-screen animations would cost every frame.
    Rect animatedArea;
    // Whether a change from one area to another is worth animating.
    bool animates(const Rect& from, const Rect& to) const
    {
        return reaches(animatedArea, from) || reaches(animatedArea, to);
    }
    // The key of a cell of the waiting grids, from its column and row.
    static std::int64_t cellKey(std::int64_t x, std::int64_t y)
    {
        return std::int64_t((std::uint64_t(std::uint32_t(x)) << 32) | std::uint32_t(y));
    }
    // Whether the rectangle reaches into the area: the closed rule on the edges, as Rect::intersects has it
    // for rectangles of sizes >= 0, in plain arithmetic.
    static bool reaches(const Rect& area, const Rect& r)
    {
        return r.origin.x <= area.origin.x + area.size.width && area.origin.x <= r.origin.x + r.size.width
            && r.origin.y <= area.origin.y + area.size.height && area.origin.y <= r.origin.y + r.size.height;
    }

    void addBranch(BranchLayer* layer, std::int64_t parentUID, std::int64_t childUID);
    void removeBranch(BranchLayer* layer, std::int64_t parentUID, std::int64_t childUID);
    void clearBranches();
    BranchLayer* branch(std::int64_t parentUID, std::int64_t childUID) const;
    const std::vector<BranchEnd>* branchesAt(std::int64_t uid) const;

    // ---- Titles and lines made later ----

    // Layers that wait (for a title placed, a line built) until their area comes near the visible one, filed
    // under the cells of a coarse grid that area meets: a visible area looks only at the layers filed near it,
    // however many wait elsewhere. A layer whose area changes while it waits is filed again, in the cells it
    // was not filed in yet; an entry whose layer no longer meets its cell is dropped when the cell is next
    // looked at.
    template <typename L>
    class DeferredGrid {
    public:
        static constexpr double cellSize = 1024;
        // Areas over this many cells are filed in one list looked at every time.
        static constexpr std::int64_t maxCells = 256;

        void file(const std::shared_ptr<L>& layer, const Rect& area)
        {
            const std::optional<CellRange> range = cellsOf(area);
            if (!range || range->count() > maxCells) {
                everywhere_.push_back(layer);
                ++filed_;
                return;
            }
            for (std::int64_t y = range->minY; y <= range->maxY; ++y)
                for (std::int64_t x = range->minX; x <= range->maxX; ++x)
                    cells_[cellKey(x, y)].push_back(layer);
            filed_ += std::size_t(range->count());
        }
        // Files a waiting layer whose area changed from `from`, where it is filed, to `to`: it joins the cells
        // `to` meets and `from` does not, and leaves those `from` meets and `to` does not. A layer a map's layout
        // moves a little, edit after edit, stays filed once in each cell it meets, and leaves no trail through
        // the cells it drifted across, however far from view.
        void refile(const std::shared_ptr<L>& layer, const Rect& from, const Rect& to)
        {
            const std::optional<CellRange> was = cellsOf(from);
            const bool wasEverywhere = !was || was->count() > maxCells;
            const std::optional<CellRange> range = cellsOf(to);
            const bool everywhere = !range || range->count() > maxCells;
            if (!wasEverywhere)
                for (std::int64_t y = was->minY; y <= was->maxY; ++y)
                    for (std::int64_t x = was->minX; x <= was->maxX; ++x)
                        if (everywhere || !range->contains(x, y))
                            leaveCell(cellKey(x, y), *layer);
            if (everywhere) {
                if (!wasEverywhere)
                    file(layer, to);
                return;
            }
            for (std::int64_t y = range->minY; y <= range->maxY; ++y)
                for (std::int64_t x = range->minX; x <= range->maxX; ++x)
                    if (wasEverywhere || !was->contains(x, y)) {
                        cells_[cellKey(x, y)].push_back(layer);
                        ++filed_;
                    }
        }
        // Takes a layer that leaves the canvas out of the cells of `area`, where it is filed, so that the grid
        // holds no entry (nor, through it, the layer's storage) for it.
        void unfile(const L& layer, const Rect& area)
        {
            const std::optional<CellRange> range = cellsOf(area);
            if (!range || range->count() > maxCells) {
                leave(everywhere_, layer);
                return;
            }
            for (std::int64_t y = range->minY; y <= range->maxY; ++y)
                for (std::int64_t x = range->minX; x <= range->maxX; ++x)
                    leaveCell(cellKey(x, y), layer);
        }
        bool empty() const { return filed_ == 0; }
        // The entries filed, over all cells, those a visit would drop included.
        std::size_t entryCount() const { return filed_; }
        // Calls settle(layer, cell) for each layer filed in a cell the area meets (in every cell without an
        // area; cell is null for the list of large areas); an entry goes when settle returns true or its
        // layer is gone.
        template <typename Settle>
        void visit(const std::optional<Rect>& area, Settle&& settle)
        {
            const auto sweep = [&](std::vector<std::weak_ptr<L>>& entries, const Rect* cell) {
                const std::size_t before = entries.size();
                std::erase_if(entries, [&](const std::weak_ptr<L>& weak) {
                    const std::shared_ptr<L> layer = weak.lock();
                    return !layer || settle(*layer, cell);
                });
                filed_ -= before - entries.size();
            };
            sweep(everywhere_, nullptr);
            const std::optional<CellRange> range = area ? cellsOf(*area) : std::nullopt;
            if (area && range && range->count() <= maxCells) {
                for (std::int64_t y = range->minY; y <= range->maxY; ++y)
                    for (std::int64_t x = range->minX; x <= range->maxX; ++x)
                        if (const auto it = cells_.find(cellKey(x, y)); it != cells_.end()) {
                            const Rect cell(double(x) * cellSize, double(y) * cellSize, cellSize, cellSize);
                            sweep(it->second, &cell);
                            if (it->second.empty())
                                cells_.erase(it);
                        }
                return;
            }
            for (auto it = cells_.begin(); it != cells_.end();) {
                const Rect cell(double(std::int32_t(it->first >> 32)) * cellSize,
                                double(std::int32_t(it->first & 0xffffffff)) * cellSize, cellSize, cellSize);
                sweep(it->second, &cell);
                it = it->second.empty() ? cells_.erase(it) : std::next(it);
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
        // Drops the layer's entries, and those of layers that are gone, comparing owners (no reference taken).
        void leave(std::vector<std::weak_ptr<L>>& entries, const L& layer)
        {
            const auto owner = layer.weak_from_this();
            const std::size_t before = entries.size();
            std::erase_if(entries, [&owner](const std::weak_ptr<L>& weak) {
                return weak.expired() || (!weak.owner_before(owner) && !owner.owner_before(weak));
            });
            filed_ -= before - entries.size();
        }
        void leaveCell(std::int64_t cell, const L& layer)
        {
            const auto it = cells_.find(cell);
            if (it == cells_.end())
                return;
            leave(it->second, layer);
            if (it->second.empty())
                cells_.erase(it);
        }
        std::unordered_map<std::int64_t, std::vector<std::weak_ptr<L>>> cells_;
        std::vector<std::weak_ptr<L>> everywhere_;
        std::size_t filed_ = 0; // entries, over all cells
    };
    // Node layers made outside the visible area, whose titles are placed once they come into view (or the
    // canvas is drawn whole), filed by their frames.
    DeferredGrid<NodeLayer> deferredLabels;
    // Branch layers whose lines were left unbuilt outside the visible area, built the same way, filed by
    // their dock areas and the areas of the lines they show.
    DeferredGrid<BranchLayer> deferredPaths;
    // Whether an area is in view, or near enough to be soon.
    bool inView(const Rect& area) const { return animates(area, area); }
    // A visible area none of the deferred titles and lines reaches into, when one is known: while the view
    // shows it, nothing needs to be looked at.
    std::optional<Rect> settledArea;

    // ---- Layers left behind off screen ----

    // Where a layer left behind is shown (`from`, which does not change while it waits) and where it goes.
    struct Unsettled {
        Rect from;
        Rect to;
        bool reaches(const Rect& area) const
        {
            return CanvasIndex::reaches(area, from) || CanvasIndex::reaches(area, to);
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
                if (CanvasIndex::reaches(area, filing.place))
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
                            if (const auto cell = cells_.find(cellKey(x, y)); cell != cells_.end())
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
            return cellKey(std::int64_t(std::floor(centre.x / cellSize)), std::int64_t(std::floor(centre.y / cellSize)));
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
    // Node layers whose nodes only moved, from a place outside the visible area (with its margin) to another
    // one outside it: the layer still shows the old place, and `to` is the frame of the new one. Each is moved
    // where its node is when it comes near the visible area, is painted, hit or looked up.
    UnsettledList<NodeLayer> unsettledNodes;
    // Branch layers at such nodes whose lines stay out of view as well: the area of the old line and of its
    // path as last built, and that of the new line (both ends' new frames). Each is docked afresh the same way.
    UnsettledList<BranchLayer> unsettledBranches;
    bool hasUnsettled() const { return !unsettledNodes.empty() || !unsettledBranches.empty(); }

    // ---- What the last reload showed ----

    // One entry per node layer, in ascending identifier order (the graph's order): the node storage the layer
    // last showed (or, while a reload runs, shows at its end). Holding the storage keeps it shared, so a graph
    // that changes that node copies it and the address tells the change.
    struct Shown {
        std::int64_t uid;
        std::shared_ptr<const Node> storage;
    };
    std::vector<Shown> shown;
    // The graph's store as the last reload showed it: while the graph holds the same storage, no node changed.
    Graph::NodeBin shownBin;
    // The identifiers of the shown nodes under the parent identifier they name (stored or not).
    std::unordered_map<std::int64_t, std::vector<std::int64_t>> childrenByParent;
    // False until a reload has run, and after invalidateLayerState(): the next reload visits every layer.
    bool shownValid = false;
    // The inputs of the last reload that every layer depends on.
    LayoutOptions baseLayoutOptions;
    double contentsScale = 0;
    std::optional<Color> backgroundColor;
    bool printingMode = false;
    Point mouseMoveLocation;
    // The selection as the node layers show it; nothing when unknown (after a rubber band, say).
    std::optional<std::vector<std::int64_t>> appliedSelection;
    // Nodes whose layers were changed outside a reload (dragged, resized): the next reload visits them even
    // when the graph did not change them, so that an abandoned drag puts them back.
    std::unordered_set<std::int64_t> touched;

    // ---- Room kept between reloads ----

    // A layout that moves every node makes every reload fill lists the size of the graph: the last plan's lists
    // and the planning's own are kept, emptied, so that the next reload writes into pages it already has.
    ReloadPlan sparePlan;
    std::vector<const Node*> walkedNodes;
    std::vector<char> walkedMoved;
    std::vector<std::int64_t> extraUIDs;
    std::vector<std::int64_t> walkedUIDs;
    std::vector<std::int64_t> childUIDs;
    std::vector<std::int64_t> heldBackUIDs;
    UidMap<bool> marks;
    // The layer of each node the reload visits, as the node synchronisation found or made it (null for none).
    std::vector<NodeLayer*> visitedLayers;
    // For each node the reload visits, whether the node synchronisation left its layer behind, and then where
    // the layer goes (the node's frame); a layer settled later in the reload is no longer marked.
    std::vector<char> leftBehind;
    std::vector<Rect> leftFor;
    // The identifiers of the nodes the reload under way visits, while it marks layers left behind.
    const std::vector<std::int64_t>* markedUIDs = nullptr;
};

// Marks a reload under way for its lifetime and drops what the reload kept when it ends.
class ReloadScope {
public:
    // Room around the visible area for shadows, strokes and the hover button.
    static constexpr double animationMargin = 64;

    ReloadScope(CanvasIndex& index, const std::vector<std::int64_t>& selection, const Rect& visible)
        : index_(index)
    {
        index_.reloading = true;
        index_.animatedArea = visible.insetBy(-animationMargin, -animationMargin);
        // What this reload defers lies outside this area, which the settled one must then be.
        if (index_.settledArea && !(*index_.settledArea == visible))
            index_.settledArea.reset();
        index_.selected = std::unordered_set<std::int64_t>(selection.begin(), selection.end());
    }
    ~ReloadScope()
    {
        index_.reloading = false;
        index_.createdBranches.clear();
        index_.selected.clear();
        index_.governingOptions.clear();
    }
    ReloadScope(const ReloadScope&) = delete;
    ReloadScope& operator=(const ReloadScope&) = delete;

private:
    CanvasIndex& index_;
};

} // namespace velquine
