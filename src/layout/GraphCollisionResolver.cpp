#include "layout/GraphCollisionResolver.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <queue>
#include <string>
#include <unordered_set>
#include <utility>

#include <chipmunk/chipmunk.h>

#include "platform/Log.h"

namespace velquine {

namespace {

// Rounding of every node box; it widens the box on every side, so resting nodes keep this gap.
constexpr cpFloat kBoxRadius = 20.0;
constexpr cpFloat kBodyMass = 1.0;
constexpr cpFloat kTimeStep = 1.0;
// Steps after the first one before the simulation is given up as not settling.
constexpr int kMaxSettlingPasses = 128;
// From this many bodies on, shapes are indexed in a spatial hash of about one cell per body, up to this many.
constexpr std::size_t kHashedFromBodies = 1000;
constexpr std::size_t kMaxHashCells = 1u << 24;
// Boxes centred on the same point give the physics no direction to part them in, so each further node on a
// point already taken starts this much lower per node before it.
constexpr double kCoincidentShift = 1.0;

// ---- Overlap pre-test ----

// The bounds of a frame whose edges are all finite: two such frames intersect exactly when these closed
// intervals overlap on both axes.
struct Extent {
    double minX;
    double maxX;
    double minY;
    double maxY;
    std::int64_t uid;
};

bool overlapsY(const Extent& a, const Extent& b) { return a.minY <= b.maxY && b.minY <= a.maxY; }

// Sweep over x for identifiers that are all different. Before the first overlap is found, the frames that the
// sweep line crosses have pairwise disjoint y-intervals, so, kept in order of their lower edge, a new frame
// can only meet the one that starts last at or before its upper edge.
bool sweepDistinct(std::vector<Extent>& items)
{
    std::sort(items.begin(), items.end(), [](const Extent& a, const Extent& b) { return a.minX < b.minX; });

    using Active = std::multimap<double, std::size_t>; // lower y edge -> item
    Active active;
    struct Leaving {
        double maxX;
        Active::iterator at;
    };
    auto leavesLater = [](const Leaving& a, const Leaving& b) { return a.maxX > b.maxX; };
    std::priority_queue<Leaving, std::vector<Leaving>, decltype(leavesLater)> leaving(leavesLater);

    for (std::size_t i = 0; i < items.size(); ++i) {
        const Extent& e = items[i];
        // Frames whose right edge only touches this left edge still intersect it, so they stay.
        while (!leaving.empty() && leaving.top().maxX < e.minX) {
            active.erase(leaving.top().at);
            leaving.pop();
        }
        auto above = active.upper_bound(e.maxY);
        if (above != active.begin() && items[std::prev(above)->second].maxY >= e.minY)
            return true;
        leaving.push({e.maxX, active.emplace(e.minY, i)});
    }
    return false;
}

// Sort and sweep over x that skips pairs sharing an identifier; only used when identifiers repeat.
bool sweepWithRepeats(std::vector<Extent>& items)
{
    std::sort(items.begin(), items.end(), [](const Extent& a, const Extent& b) { return a.minX < b.minX; });
    for (std::size_t i = 0; i < items.size(); ++i) {
        for (std::size_t j = i + 1; j < items.size() && items[j].minX <= items[i].maxX; ++j) {
            if (items[j].uid != items[i].uid && overlapsY(items[i], items[j]))
                return true;
        }
    }
    return false;
}

// ---- Simulation ----

// A physics space with the bodies and shapes added to it; everything is removed and freed with it.
class Simulation {
public:
    // A space for count bodies whose rounded shapes are typically cellSize across. The shapes of many bodies
    // are indexed in a spatial hash of cells of that size: the library's default tree index grows deep and slow
    // to update on the long, tightly packed columns that large laid-out maps are made of. Fewer bodies keep
    // the tree, and with it the order in which it reports touching pairs.
    Simulation(cpFloat cellSize, std::size_t count) : space_(cpSpaceNew())
    {
        cpSpaceSetGravity(space_, cpv(0, 0));
        if (count >= kHashedFromBodies)
            cpSpaceUseSpatialHash(space_, cellSize, static_cast<int>(std::min(count, kMaxHashCells)));
        bodies_.reserve(count);
        shapes_.reserve(count);
    }

    // The space goes first, with its index and contacts; the shapes and bodies are then freed on their own.
    // Taking them out of the space one by one would make it search all its cached contacts for each shape,
    // which on a large packed map costs more than the simulation itself.
    ~Simulation()
    {
        cpSpaceFree(space_);
        for (cpShape* shape : shapes_)
            cpShapeFree(shape);
        for (cpBody* body : bodies_)
            cpBodyFree(body);
    }

    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    // A body carrying a rounded box of the given size, centred on the given point; both must be finite.
    cpBody* addBox(Point center, Size size)
    {
        const double width = std::fabs(size.width);
        const double height = std::fabs(size.height);
        // The library refuses a body without turning inertia, which a box without area would have.
        const cpFloat moment = cpMomentForBox(kBodyMass, std::max(width, 1.0), std::max(height, 1.0));

        cpBody* body = cpBodyNew(kBodyMass, moment);
        bodies_.push_back(body);
        cpSpaceAddBody(space_, body);
        cpBodySetPosition(body, cpv(center.x, center.y));

        if (cpShape* shape = cpBoxShapeNew(body, width, height, kBoxRadius)) {
            shapes_.push_back(shape);
            cpSpaceAddShape(space_, shape);
        }
        return body;
    }

    void step() { cpSpaceStep(space_, kTimeStep); }

private:
    cpSpace* space_;
    std::vector<cpBody*> bodies_;
    std::vector<cpShape*> shapes_;
};

// The median extent of the rounded shapes of the given nodes, taken over their larger sides: the cell size that
// lets a typical shape cover few cells of the hash.
cpFloat medianShapeExtent(const std::vector<Node>& nodes, const std::vector<std::size_t>& placed)
{
    std::vector<double> extents;
    extents.reserve(placed.size());
    for (std::size_t i : placed)
        extents.push_back(std::max(std::fabs(nodes[i].size.width), std::fabs(nodes[i].size.height)));
    if (extents.empty())
        return 2 * kBoxRadius;
    const auto middle = extents.begin() + static_cast<std::ptrdiff_t>(extents.size() / 2);
    std::nth_element(extents.begin(), middle, extents.end());
    return *middle + 2 * kBoxRadius;
}

Point positionOf(const cpBody* body)
{
    const cpVect p = cpBodyGetPosition(body);
    return {p.x, p.y};
}

} // namespace

Rect GraphCollisionResolver::frame(const Node& node)
{
    return {node.center.x - node.size.width * 0.5, node.center.y - node.size.height * 0.5, node.size.width,
            node.size.height};
}

bool GraphCollisionResolver::hasOverlap(const std::vector<Node>& nodes)
{
    std::vector<Rect> frames;
    frames.reserve(nodes.size());
    std::vector<Extent> regular;
    regular.reserve(nodes.size());
    std::vector<std::size_t> irregular;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        frames.push_back(frame(nodes[i]));
        const Rect& f = frames.back();
        if (f.isNull())
            continue; // never intersects anything
        const Extent e{f.minX(), f.maxX(), f.minY(), f.maxY(), nodes[i].uid};
        if (std::isfinite(e.minX) && std::isfinite(e.maxX) && std::isfinite(e.minY) && std::isfinite(e.maxY))
            regular.push_back(e);
        else
            irregular.push_back(i);
    }

    // Frames with a non-finite edge are compared with every other frame, both ways round, because the
    // rectangle test need not be symmetric for them. There are none in a sound map.
    if (!irregular.empty()) {
        std::vector<bool> isIrregular(nodes.size(), false);
        for (std::size_t i : irregular)
            isIrregular[i] = true;
        int count = 0;
        for (std::size_t i : irregular) {
            for (std::size_t j = 0; j < nodes.size(); ++j) {
                if (j == i || nodes[j].uid == nodes[i].uid || (isIrregular[j] && j < i))
                    continue;
                count += frames[i].intersects(frames[j]) ? 1 : 0;
                count += frames[j].intersects(frames[i]) ? 1 : 0;
                if (count >= 2)
                    return true;
            }
        }
        // A single one-way hit only counts together with a pair of finite frames, which the sweep finds.
    }

    std::unordered_set<std::int64_t> uids;
    uids.reserve(regular.size());
    bool distinct = true;
    for (const Extent& e : regular) {
        if (!uids.insert(e.uid).second) {
            distinct = false;
            break;
        }
    }
    return distinct ? sweepDistinct(regular) : sweepWithRepeats(regular);
}

Point GraphCollisionResolver::settledCenter(Point original, Point simulated)
{
    return simulated.isFinite() ? simulated : original;
}

std::vector<Node> GraphCollisionResolver::resolve(const std::vector<Node>& nodes) const
{
    if (nodes.empty() || !hasOverlap(nodes))
        return nodes;

    // Nodes that cannot be placed in the space (the library stops the process on a position that is not
    // finite) take no part.
    std::vector<std::size_t> placed;
    placed.reserve(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].center.isFinite() && nodes[i].size.isFinite())
            placed.push_back(i);
    }

    Simulation simulation(medianShapeExtent(nodes, placed), placed.size());
    // One entry per input node; nodes not placed have none.
    std::vector<cpBody*> bodyOf(nodes.size(), nullptr);
    std::vector<Point> lastPosition;
    lastPosition.reserve(placed.size());
    std::map<std::pair<double, double>, int> nodesAtCentre;
    for (std::size_t i : placed) {
        const Node& node = nodes[i];
        const int earlier = nodesAtCentre[{node.center.x, node.center.y}]++;
        const Point start{node.center.x, node.center.y + earlier * kCoincidentShift};
        bodyOf[i] = simulation.addBox(start, node.size);
        lastPosition.push_back(node.center);
    }

    simulation.step();
    for (int pass = 1; pass <= kMaxSettlingPasses; ++pass) {
        simulation.step();
        int changed = 0;
        for (std::size_t k = 0; k < placed.size(); ++k) {
            const Point p = positionOf(bodyOf[placed[k]]);
            if (p.x != lastPosition[k].x || p.y != lastPosition[k].y) {
                ++changed;
                lastPosition[k] = p;
            }
        }
        if (changed == 0)
            break;
        if (pass == kMaxSettlingPasses) {
            VQ_LOG("resolve(nodes:)", "Safeguard hit in loop! something's wrong!");
            VQ_LOG("resolve(nodes:)", "changecount is: " + std::to_string(changed));
        }
    }

    std::vector<Node> result = nodes;
    for (std::size_t i = 0; i < result.size(); ++i) {
        if (bodyOf[i])
            result[i].center = settledCenter(nodes[i].center, positionOf(bodyOf[i]));
    }
    return result;
}

} // namespace velquine
