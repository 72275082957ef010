#pragma once

// What puts a project back as it was, kept as its difference from the project that follows it: an undo or
// redo step holds one instead of a whole project.
//
// It holds the earlier project's own fields (title, author, notes, style, grid, layout options, selection) as
// they were, and of its graph only what differs from the later one: for a node that differs only in its centre
// and affinities, those; for any other changed or removed node, the earlier node's own storage (shared, not
// copied); and the identifiers of nodes the earlier graph did not hold. Rebuilding the earlier project from the
// later one then gives every node back equal in every field, and every node the two share keeps the later
// project's storage, so a canvas that compares storage sees only what changed.
//
// The difference is only good for a project equal to the later one it was taken against; the undo history
// guarantees that.

#include <cstdint>
#include <optional>
#include <vector>

#include "model/graph/Graph.h"
#include "model/project/VQProject.h"

namespace velquine {

class ProjectDifference {
public:
    // What turns `later` back into `earlier`. The two graphs are walked side by side in identifier order, and
    // runs of entries whose storage they share are passed whole, so this costs what changed.
    ProjectDifference(const VQProject& earlier, const VQProject& later);

    // Nothing to put back: rebuilds any project as it stands.
    ProjectDifference() = default;

    // The earlier project, rebuilt from the later one.
    VQProject earlierFrom(const VQProject& later) const;
    // The same, with the difference that turns the rebuilt project back into the later one made into reverse,
    // from the nodes this one names alone.
    VQProject earlierFrom(const VQProject& later, ProjectDifference& reverse) const;

    // The number of nodes the difference names (kept, placed or removed).
    std::size_t nodeCount() const { return kept_.size() + placed_.size() + removed_.size(); }

private:
    void takeGraphDifference(const Graph& earlier, const Graph& later);

    // The earlier project with an empty graph.
    VQProject fields_;
    // Changed or removed nodes, as the earlier graph stored them, in ascending identifier order.
    std::vector<SharedNodeBin::Entry> kept_;
    // Nodes that differ only in where they lie, as they lay, in ascending identifier order.
    NodePlaces placed_;
    // Nodes the earlier graph did not hold.
    std::vector<std::int64_t> removed_;
    // The whole earlier graph, kept only when what the nodes do not say (its connections) differs.
    std::optional<Graph> wholeGraph_;
};

} // namespace velquine
