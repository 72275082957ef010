#include "layout/GraphCollisionResolver.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory_resource>
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
// Passes that a free body must have stood still, and away from moving bodies, before it is held in place.
constexpr int kStillPasses = 2;
// Frames spanning more cells than this along a side are compared with every frame instead of by cell.
constexpr double kMostCellsAlongASide = 8;
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

    // The few frames the sweep line crosses at a time reuse the entries of those it has left, taken from a
    // pool of the sweep's own rather than one allocation each.
    std::pmr::unsynchronized_pool_resource entries;
    using Active = std::pmr::multimap<double, std::size_t>; // lower y edge -> item
    Active active(&entries);
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

    // A body carrying a rounded box of the given size, centred on the given point; both must be finite. A held
    // body stays where it is, pushing back whatever reaches it, until it is released.
    cpBody* addBox(Point center, Size size, bool held)
    {
        const double width = std::fabs(size.width);
        const double height = std::fabs(size.height);
        cpBody* body = cpBodyNew(kBodyMass, momentFor(size));
        bodies_.push_back(body);
        if (held)
            cpBodySetType(body, CP_BODY_TYPE_STATIC);
        cpSpaceAddBody(space_, body);
        cpBodySetPosition(body, cpv(center.x, center.y));

        if (cpShape* shape = cpBoxShapeNew(body, width, height, kBoxRadius)) {
            shapes_.push_back(shape);
            cpSpaceAddShape(space_, shape);
        }
        return body;
    }

    void step() { cpSpaceStep(space_, kTimeStep); }

    // Calls visit with every body that touched the given one in the last step, held or not.
    template <typename Visit>
    static void eachTouching(cpBody* body, Visit& visit)
    {
        cpBodyEachArbiter(
            body,
            [](cpBody* self, cpArbiter* arbiter, void* data) {
                cpBody* a = nullptr;
                cpBody* b = nullptr;
                cpArbiterGetBodies(arbiter, &a, &b);
                (*static_cast<Visit*>(data))(a == self ? b : a);
            },
            &visit);
    }

    // Calls visit with every body whose shape overlaps a shape of the given body, held or not.
    template <typename Visit>
    void eachOverlapping(cpBody* body, Visit& visit)
    {
        struct Query {
            cpSpace* space;
            Visit* visit;
        } query{space_, &visit};
        cpBodyEachShape(
            body,
            [](cpBody*, cpShape* shape, void* data) {
                auto* q = static_cast<Query*>(data);
                cpSpaceShapeQuery(
                    q->space, shape,
                    [](cpShape* other, cpContactPointSet*, void* visitData) {
                        (*static_cast<Visit*>(visitData))(cpShapeGetBody(other));
                    },
                    q->visit);
            },
            &query);
    }

    static void hold(cpBody* body) { cpBodySetType(body, CP_BODY_TYPE_STATIC); }

    // Lets a held body move again, with the mass and turning inertia it was made with.
    static void release(cpBody* body, Size size)
    {
        cpBodySetType(body, CP_BODY_TYPE_DYNAMIC);
        cpBodySetMass(body, kBodyMass);
        cpBodySetMoment(body, momentFor(size));
    }

    // The library refuses a body without turning inertia, which a box without area would have.
    static cpFloat momentFor(Size size)
    {
        return cpMomentForBox(kBodyMass, std::max(std::fabs(size.width), 1.0), std::max(std::fabs(size.height), 1.0));
    }

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

// ---- Which bodies move ----

// Among the given nodes (whose centres and sizes are finite), those whose frames meet the frame of a node with
// another identifier, as Rect::intersects sees them. Frames are put in the square cells of the given size that
// they cover, and only frames sharing a cell are compared; the few that span many cells are compared with all.
std::vector<char> framesMeetingOthers(const std::vector<Node>& nodes, const std::vector<std::size_t>& placed,
                                      double cellSize)
{
    std::vector<char> meets(nodes.size(), 0);
    std::vector<Rect> frames(nodes.size());
    struct CellEntry {
        std::int64_t cx;
        std::int64_t cy;
        std::size_t node;
    };
    std::vector<CellEntry> cells;
    cells.reserve(placed.size() * 4);
    std::vector<std::size_t> large;
    for (std::size_t i : placed) {
        frames[i] = GraphCollisionResolver::frame(nodes[i]);
        const Rect& f = frames[i];
        const double x0 = std::floor(f.minX() / cellSize), x1 = std::floor(f.maxX() / cellSize);
        const double y0 = std::floor(f.minY() / cellSize), y1 = std::floor(f.maxY() / cellSize);
        constexpr double farthest = 1e15; // cell numbers stay exact integers
        if (x1 - x0 >= kMostCellsAlongASide || y1 - y0 >= kMostCellsAlongASide || std::fabs(x0) > farthest
            || std::fabs(x1) > farthest || std::fabs(y0) > farthest || std::fabs(y1) > farthest) {
            large.push_back(i);
            continue;
        }
        for (double cx = x0; cx <= x1; ++cx) {
            for (double cy = y0; cy <= y1; ++cy)
                cells.push_back({static_cast<std::int64_t>(cx), static_cast<std::int64_t>(cy), i});
        }
    }
    const auto compare = [&](std::size_t a, std::size_t b) {
        if (nodes[a].uid != nodes[b].uid && frames[a].intersects(frames[b]))
            meets[a] = meets[b] = 1;
    };
    std::sort(cells.begin(), cells.end(), [](const CellEntry& a, const CellEntry& b) {
        return a.cx != b.cx ? a.cx < b.cx : a.cy < b.cy;
    });
    for (std::size_t first = 0; first < cells.size();) {
        std::size_t end = first + 1;
        while (end < cells.size() && cells[end].cx == cells[first].cx && cells[end].cy == cells[first].cy)
            ++end;
        for (std::size_t a = first; a < end; ++a) {
            for (std::size_t b = a + 1; b < end; ++b)
                compare(cells[a].node, cells[b].node);
        }
        first = end;
    }
    for (std::size_t a : large) {
        for (std::size_t b : placed) {
            if (b != a)
                compare(a, b);
        }
    }
    return meets;
}

// The end of a simulation whose bodies still moved in its last pass: logged, and the positions reached kept.
GraphCollisionResolver::Settling stillMoving(GraphCollisionResolver::Settling done, int changed)
{
    VQ_LOG("resolve(nodes:)", "Safeguard hit in loop! something's wrong!");
    VQ_LOG("resolve(nodes:)", "changecount is: " + std::to_string(changed));
    return done;
}

// The end of a simulation that the bound on its work stops, as designed, while its bodies still move: logged as
// such, and the positions reached kept.
GraphCollisionResolver::Settling stoppedAtBound(GraphCollisionResolver::Settling done, int changed, std::size_t bound)
{
    VQ_LOG("resolve(nodes:)", "Stopped at the bound on the work after " + std::to_string(done.steps) + " steps ("
                                  + std::to_string(done.bodySteps) + " body steps of at most " + std::to_string(bound)
                                  + "); bodies moved in the last step: " + std::to_string(changed));
    return done;
}

// The bodies a simulation that starts with so many moving may simulate over all its steps.
std::size_t boundOnBodySteps(std::size_t movingAtStart)
{
    return std::max(GraphCollisionResolver::maxBodySteps, movingAtStart * std::size_t(kMaxSettlingPasses + 1));
}

// The index of a body into the settling tables, kept as its user data.
std::size_t indexOf(const cpBody* body) { return reinterpret_cast<std::uintptr_t>(cpBodyGetUserData(body)); }

// Steps the space until no body moves, at most kMaxSettlingPasses times after a first step, and after the second
// step no further once the next would bring the bodies simulated over all steps past maxBodySteps (or past the
// bodies moving at the start simulated over every pass, when more); logs when the bodies still move after the
// last step, or at that bound.
//
// Only the bodies marked moving, and the bodies touching them, are free from the start; the others are held in
// place. After each pass the held bodies touching a body that moved are let go, and a free body is held again
// once it has neither moved nor touched a moving body for kStillPasses passes. Each step then costs what moves,
// not the whole map: on laid-out maps whose rounded bodies are nearly all pressed against their neighbours,
// simulating everything would set whole columns drifting for one overlap. Bodies that keep moving are never
// held, so a group of overlapping nodes with nothing else near settles exactly as it would with every body free.
// Where the rounded bodies press on each other across a big map, though, each body that moves lets its
// neighbours go, and the motion spreads pass after pass to thousands of bodies: the bound on the bodies
// simulated keeps the steps' cost to what the simulation of a few hundred bodies over every pass costs.
GraphCollisionResolver::Settling settle(Simulation& simulation, const std::vector<cpBody*>& bodies,
                                        const std::vector<Size>& sizes, std::vector<Point> lastPosition,
                                        std::vector<char> moving)
{
    const std::size_t count = bodies.size();
    std::vector<int> lastMoved(count, 0);
    std::vector<int> lastNear(count, 0);
    std::vector<std::size_t> active;
    for (std::size_t k = 0; k < count; ++k) {
        cpBodySetUserData(bodies[k], reinterpret_cast<cpDataPointer>(static_cast<std::uintptr_t>(k)));
        if (moving[k])
            active.push_back(k);
    }

    // Held bodies met by a moving one, let go after the pass's bookkeeping.
    std::vector<std::size_t> released;
    int pass = 0;
    auto meet = [&](cpBody* other) {
        const std::size_t j = indexOf(other);
        lastNear[j] = pass;
        if (!moving[j]) {
            moving[j] = 1;
            released.push_back(j);
        }
    };
    const auto releaseMet = [&](std::vector<std::size_t>& into) {
        for (std::size_t j : released) {
            Simulation::release(bodies[j], sizes[j]);
            into.push_back(j);
        }
        released.clear();
    };

    // Before the first step nothing has touched yet: the shapes overlapping the moving ones are looked up.
    const std::vector<std::size_t> initial = active;
    for (std::size_t k : initial)
        simulation.eachOverlapping(bodies[k], meet);
    releaseMet(active);

    GraphCollisionResolver::Settling done;
    const auto step = [&] {
        simulation.step();
        ++done.steps;
        done.bodySteps += active.size();
    };
    step();
    std::vector<std::size_t> next;
    for (pass = 1; pass <= kMaxSettlingPasses; ++pass) {
        step();
        int changed = 0;
        for (std::size_t k : active) {
            const Point p = positionOf(bodies[k]);
            if (p.x != lastPosition[k].x || p.y != lastPosition[k].y) {
                ++changed;
                lastPosition[k] = p;
                lastMoved[k] = pass;
            }
        }
        if (changed == 0) {
            done.settled = true;
            return done;
        }
        if (pass == kMaxSettlingPasses)
            return stillMoving(done, changed);

        for (std::size_t k : active) {
            if (lastMoved[k] == pass)
                Simulation::eachTouching(bodies[k], meet);
        }
        next.clear();
        for (std::size_t k : active) {
            if (pass - lastMoved[k] >= kStillPasses && pass - lastNear[k] >= kStillPasses) {
                moving[k] = 0;
                Simulation::hold(bodies[k]);
            } else {
                next.push_back(k);
            }
        }
        releaseMet(next);
        active.swap(next);
        if (const std::size_t bound = boundOnBodySteps(initial.size()); done.bodySteps + active.size() > bound)
            return stoppedAtBound(done, changed, bound);
    }
    return done;
}

} // namespace

Rect GraphCollisionResolver::frame(const Node& node)
{
    return {node.center.x - node.size.width * 0.5, node.center.y - node.size.height * 0.5, node.size.width,
            node.size.height};
}

namespace {

// Whether two of the nodes' frames meet, nodeAt(i) giving the i-th of count nodes; distinct when no two
// nodes are known to share an identifier.
template <class NodeAt>
bool framesMeet(std::size_t count, const NodeAt& nodeAt, bool distinct)
{
    std::vector<Extent> regular;
    regular.reserve(count);
    std::vector<std::size_t> irregular;
    for (std::size_t i = 0; i < count; ++i) {
        const Node& node = nodeAt(i);
        const Rect f = GraphCollisionResolver::frame(node);
        if (f.isNull())
            continue; // never intersects anything
        const Extent e{f.minX(), f.maxX(), f.minY(), f.maxY(), node.uid};
        if (std::isfinite(e.minX) && std::isfinite(e.maxX) && std::isfinite(e.minY) && std::isfinite(e.maxY))
            regular.push_back(e);
        else
            irregular.push_back(i);
    }

    // Frames with a non-finite edge are compared with every other frame, both ways round, because the
    // rectangle test need not be symmetric for them. There are none in a sound map.
    if (!irregular.empty()) {
        std::vector<bool> isIrregular(count, false);
        for (std::size_t i : irregular)
            isIrregular[i] = true;
        int hits = 0;
        for (std::size_t i : irregular) {
            const Rect a = GraphCollisionResolver::frame(nodeAt(i));
            for (std::size_t j = 0; j < count; ++j) {
                if (j == i || nodeAt(j).uid == nodeAt(i).uid || (isIrregular[j] && j < i))
                    continue;
                const Rect b = GraphCollisionResolver::frame(nodeAt(j));
                hits += a.intersects(b) ? 1 : 0;
                hits += b.intersects(a) ? 1 : 0;
                if (hits >= 2)
                    return true;
            }
        }
        // A single one-way hit only counts together with a pair of finite frames, which the sweep finds.
    }

    if (!distinct) {
        std::unordered_set<std::int64_t> uids;
        uids.reserve(regular.size());
        distinct = true;
        for (const Extent& e : regular) {
            if (!uids.insert(e.uid).second) {
                distinct = false;
                break;
            }
        }
    }
    return distinct ? sweepDistinct(regular) : sweepWithRepeats(regular);
}

} // namespace

bool GraphCollisionResolver::hasOverlap(const std::vector<Node>& nodes)
{
    return framesMeet(nodes.size(), [&](std::size_t i) -> const Node& { return nodes[i]; }, false);
}

bool GraphCollisionResolver::hasOverlap(const Graph& graph)
{
    // The bin holds one node per identifier.
    std::vector<const Node*> nodes;
    nodes.reserve(graph.count());
    for (const Node& node : graph.storedNodes())
        nodes.push_back(&node);
    return framesMeet(nodes.size(), [&](std::size_t i) -> const Node& { return *nodes[i]; }, true);
}

Point GraphCollisionResolver::settledCenter(Point original, Point simulated)
{
    return simulated.isFinite() ? simulated : original;
}

std::vector<Node> GraphCollisionResolver::resolve(const std::vector<Node>& nodes, const LongRun& runLong,
                                                  Settling* settling) const
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

    const cpFloat cellSize = medianShapeExtent(nodes, placed);
    std::vector<char> meets = framesMeetingOthers(nodes, placed, cellSize);
    // Nodes on a centre taken by an earlier one start apart by kCoincidentShift per earlier node, and move.
    std::map<std::pair<double, double>, std::vector<std::size_t>> nodesAtCentre;
    std::vector<Point> start(nodes.size());
    for (std::size_t i : placed) {
        std::vector<std::size_t>& onCentre = nodesAtCentre[{nodes[i].center.x, nodes[i].center.y}];
        start[i] = {nodes[i].center.x, nodes[i].center.y + static_cast<double>(onCentre.size()) * kCoincidentShift};
        onCentre.push_back(i);
        if (onCentre.size() > 1) {
            for (std::size_t j : onCentre)
                meets[j] = 1;
        }
    }

    std::vector<Node> result = nodes;
    const auto simulate = [&] {
        Simulation simulation(cellSize, placed.size());
        // One entry per input node; nodes not placed have none.
        std::vector<cpBody*> bodyOf(nodes.size(), nullptr);
        std::vector<cpBody*> bodies;
        std::vector<Size> sizes;
        std::vector<Point> lastPosition;
        std::vector<char> moving;
        for (std::size_t i : placed) {
            bodyOf[i] = simulation.addBox(start[i], nodes[i].size, !meets[i]);
            bodies.push_back(bodyOf[i]);
            sizes.push_back(nodes[i].size);
            lastPosition.push_back(nodes[i].center);
            moving.push_back(meets[i]);
        }
        const Settling done = settle(simulation, bodies, sizes, std::move(lastPosition), std::move(moving));
        if (settling)
            *settling = done;
        for (std::size_t i = 0; i < result.size(); ++i) {
            if (bodyOf[i])
                result[i].center = settledCenter(nodes[i].center, positionOf(bodyOf[i]));
        }
    };
    const auto movingAtStart = std::size_t(std::count(meets.begin(), meets.end(), char(1)));
    if (runLong && movingAtStart >= longFromBodies)
        runLong(simulate);
    else
        simulate();
    return result;
}

} // namespace velquine
