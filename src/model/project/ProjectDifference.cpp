#include "model/project/ProjectDifference.h"

#include <utility>

namespace velquine {

ProjectDifference::ProjectDifference(const VQProject& earlier, const VQProject& later) : fields_(earlier)
{
    // The fields are kept even when equal: the selection changes outside editing sessions, and the step puts
    // back the one it was taken with.
    fields_.graph = Graph();
    if (earlier.graph.connections() != later.graph.connections()) {
        wholeGraph_ = earlier.graph;
        return;
    }
    takeGraphDifference(earlier.graph, later.graph);
}

void ProjectDifference::takeGraphDifference(const Graph& earlier, const Graph& later)
{
    const SharedNodeBin& earlierBin = earlier.nodeBin();
    const SharedNodeBin& laterBin = later.nodeBin();
    if (earlierBin.sharesStorageWith(laterBin))
        return;
    const SharedNodeBin::const_iterator end;
    auto e = earlierBin.begin();
    auto l = laterBin.begin();
    while (e != end || l != end) {
        if (skipShared(e, l))
            continue;
        if (l == end || (e != end && e->first < l->first)) {
            kept_.push_back(e.entry());
            ++e;
            continue;
        }
        if (e == end || l->first < e->first) {
            removed_.push_back(l->first);
            ++l;
            continue;
        }
        if (&*e != &*l) {
            // A run of changed nodes (a moved tree) is read from memory ahead of the comparisons.
            e.fetchAhead(4);
            l.fetchAhead(4);
            const Node& was = e->second;
            const Node& is = l->second;
            if (was.modifiedTimestamp == is.modifiedTimestamp && !was.differsBeyondPlace(is)) {
                if (!(was.center == is.center) || NodePlaces::sidesOf(was) != NodePlaces::sidesOf(is))
                    placed_.add(was);
            } else
                kept_.push_back(e.entry());
        }
        ++e;
        ++l;
    }
    // Kept for long: no room to spare.
    kept_.shrink_to_fit();
    removed_.shrink_to_fit();
    placed_.shrinkToFit();
}

VQProject ProjectDifference::earlierFrom(const VQProject& later, ProjectDifference& reverse) const
{
    reverse = ProjectDifference();
    reverse.fields_ = later;
    reverse.fields_.graph = Graph();
    if (wholeGraph_) {
        reverse.wholeGraph_ = later.graph;
        return earlierFrom(later);
    }
    const SharedNodeBin& bin = later.graph.nodeBin();
    reverse.kept_.reserve(removed_.size() + kept_.size());
    reverse.placed_.reserve(placed_.size());
    for (std::int64_t uid : removed_)
        if (SharedNodeBin::Entry entry = bin.entry(uid))
            reverse.kept_.push_back(std::move(entry));
    for (const SharedNodeBin::Entry& kept : kept_) {
        if (SharedNodeBin::Entry entry = bin.entry(kept->first))
            reverse.kept_.push_back(std::move(entry));
        else
            reverse.removed_.push_back(kept->first);
    }
    SharedNodeBin::Finger finger;
    for (std::int64_t uid : placed_.uids)
        if (const Node* node = bin.lookup(uid, finger))
            reverse.placed_.add(*node);
    return earlierFrom(later);
}

VQProject ProjectDifference::earlierFrom(const VQProject& later) const
{
    VQProject earlier = fields_;
    if (wholeGraph_) {
        earlier.graph = *wholeGraph_;
        return earlier;
    }
    earlier.graph = later.graph;
    for (std::int64_t uid : removed_)
        earlier.graph.setNode(std::nullopt, uid);
    for (const SharedNodeBin::Entry& entry : kept_)
        earlier.graph.storeEntry(entry);
    earlier.graph.restorePlaces(placed_);
    return earlier;
}

} // namespace velquine
