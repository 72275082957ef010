#pragma once

// Pushes overlapping nodes apart with a small rigid-body simulation.
//
// Every node becomes a body of mass 1 carrying a box of the node's size, rounded with a radius of 20 points, so
// that nodes at rest keep a gap between them. The space has no gravity; it is stepped once and then until no
// body moves any more, at most 128 further steps, and each node takes its body's final position as its centre.
// Bodies away from any motion are held in place, so a step costs what moves rather than the whole map, and the
// bodies simulated over all the steps are bounded (maxBodySteps), so the steps take a fraction of a second
// however far the motion spreads. Nothing survives a call.

#include <functional>
#include <vector>

#include "model/graph/Graph.h"
#include "model/graph/Node.h"
#include "platform/Geometry.h"

namespace velquine {

class GraphCollisionResolver {
public:
    // The nodes with overlapping ones moved apart.
    //
    // When no two nodes with different identifiers have intersecting frames (see frame(); edges that only touch
    // count as intersecting), the input comes back unchanged and no simulation runs. Otherwise every input node
    // comes back, in input order, with only its centre changed. A node whose centre or size is not finite takes
    // no part in the simulation and keeps its centre, as does a node whose simulated position is not finite. A
    // node of zero width or height still collides with its true size; only its turning inertia is computed as
    // if each side were at least 1 point. Nodes centred on one point are parted too: each further node on a
    // point taken by earlier ones starts one point lower than the one before it.
    //
    // Only what moves is simulated: bodies start held in place unless their node's frame meets another's (or
    // shares its centre); a held body is let go once a moving body touches it, and a free body is held again once
    // it has neither moved nor touched a moving body for two steps. So one overlap on a map packed tighter than
    // the rounding moves the nodes around it, not every node pressed against a neighbour.
    //
    // The work is bounded: after the second step, no step is taken that would bring the free bodies, counted
    // at every step, past maxBodySteps in all (about a quarter of a second), or past what the bodies moving at the
    // start would cost over every step when that is more. On a laid-out map the rounded bodies press on their
    // neighbours, so the motion of a few hundred overlaps spreads from body to body to thousands of others and
    // would keep them all moving for every step. The bound is above what a simulation of a few hundred bodies
    // over every step costs, so such simulations end as before, and a big tree pasted onto the map (on a worker,
    // see runLong) is parted as far as its own overlaps take.
    //
    // When the bodies still move after the last step, two debug lines are written, "Safeguard hit in loop!
    // something's wrong!" and "changecount is: " with the number of bodies that moved in that step, and the
    // positions reached are returned. When the bound on the work stops the simulation first, one debug line says
    // so ("Stopped at the bound on the work after ", with the steps taken, the bodies simulated over them, the
    // bound and the bodies that moved in the last step), and the positions reached are returned. Never throws for
    // any node values.
    //
    // A simulation that starts with at least longFromBodies bodies moving (a big tree pasted or duplicated onto
    // the map) costs the most, with every body of a big map to make: when runLong is given, it is handed the
    // simulation to run and returns once it has run, say on a worker while the window shows that it works. The
    // simulation touches nothing but what this call made.
    //
    // settling, when given, is told what the simulation did (left as it is when no frames meet).
    struct Settling {
        int steps = 0;
        // The free bodies of every step, summed: what the steps cost.
        std::size_t bodySteps = 0;
        // Whether no body moved in the last step.
        bool settled = false;
    };
    // The least bound on the work above: the cost of about 780 bodies free for all 129 steps.
    static constexpr std::size_t maxBodySteps = 100000;
    using LongRun = std::function<void(const std::function<void()>& simulate)>;
    static constexpr std::size_t longFromBodies = 500;
    std::vector<Node> resolve(const std::vector<Node>& nodes, const LongRun& runLong = {},
                              Settling* settling = nullptr) const;

    // The rectangle of the node's size centred on its centre.
    static Rect frame(const Node& node);

    // True when the frames of two nodes with different identifiers intersect, counted both ways round as
    // Rect::intersects sees them (which matters only for frames with non-finite values): the answer of testing
    // every ordered pair, found by sorting and sweeping instead, in O(n log n) for distinct identifiers.
    static bool hasOverlap(const std::vector<Node>& nodes);
    // The same for every node the graph stores, read where it is stored, without a copy.
    static bool hasOverlap(const Graph& graph);

    // The centre a node takes from its simulated position: that position when both coordinates are finite,
    // else the node's own centre.
    static Point settledCenter(Point original, Point simulated);
};

} // namespace velquine
