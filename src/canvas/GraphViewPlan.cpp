// Working out what a reload has to do, and remembering what it showed, from the graph's shared node storage.

#include <algorithm>
#include <unordered_set>

#include "canvas/GraphView.h"
#include "canvas/GraphViewIndex.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"

namespace velquine {

namespace {

// Adds the identifiers of the node and every node below it, each once.
void collectSubtree(const Graph& graph, std::int64_t uid, std::unordered_set<std::int64_t>& into)
{
    std::vector<std::int64_t> stack{uid};
    while (!stack.empty()) {
        const std::int64_t next = stack.back();
        stack.pop_back();
        const Node* node = graph.findNode(next);
        if (!node || !into.insert(next).second)
            continue;
        for (auto it = node->childrenUIDs.rbegin(); it != node->childrenUIDs.rend(); ++it)
            stack.push_back(*it);
    }
}

// Whether the node differs from the one shown only by its centre.
bool onlyMoved(const Node& before, const Node& now)
{
    return !(before.center == now.center) && before.parentUID == now.parentUID
        && before.childrenUIDs == now.childrenUIDs && before.horizontalAffinity == now.horizontalAffinity
        && before.verticalAffinity == now.verticalAffinity && before.createdTimestamp == now.createdTimestamp
        && before.modifiedTimestamp == now.modifiedTimestamp && NodeLayer::looksLike(before, now);
}

std::vector<std::int64_t> sortedCopy(std::vector<std::int64_t> uids)
{
    std::sort(uids.begin(), uids.end());
    uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
    return uids;
}

} // namespace

// ---- Planning ----

GraphView::ReloadPlan GraphView::planReload()
{
    ReloadPlan plan;
    GraphViewIndex& index = *index_;
    const Color background = projectStyle_.current.backgroundColor;
    plan.full = !index.shownValid || !(index.baseLayoutOptions == baseLayoutOptions)
        || index.contentsScale != effectiveBackingScale() || !index.backgroundColor
        || !(*index.backgroundColor == background) || index.printingMode != printingMode;
    if (plan.full) {
        plan.visit.reserve(graph_.count());
        for (const auto& entry : graph_.nodeBin())
            plan.visit.push_back(&entry.second);
        plan.hoverPass = plan.selectionPass = true;
        return plan;
    }

    // The graph and the shown list are both in ascending identifier order: one walk finds every change.
    std::vector<std::int64_t> changed;
    std::unordered_set<std::int64_t> reach;
    // Nodes that only moved (ascending), and those visited for a reason a move does not cover.
    std::vector<std::int64_t> moves;
    std::unordered_set<std::int64_t> waited;
    auto shown = index.shown.begin();
    for (const auto& [uid, node] : graph_.nodeBin()) {
        for (; shown != index.shown.end() && shown->uid < uid; ++shown)
            plan.removed.push_back(shown->uid);
        if (shown != index.shown.end() && shown->uid == uid) {
            if (shown->storage.get() != &node) {
                changed.push_back(uid);
                if (onlyMoved(*shown->storage, node))
                    moves.push_back(uid);
                // Children keep their sides of this node as their layers store them (affinities).
                changed.insert(changed.end(), node.childrenUIDs.begin(), node.childrenUIDs.end());
                const Node& before = *shown->storage;
                // A node that moved to another parent, or whose own options changed, may change what governs
                // every node below it.
                if (before.parentUID != node.parentUID || !(before.layoutOptions == node.layoutOptions))
                    collectSubtree(graph_, uid, reach);
            }
            ++shown;
        } else {
            changed.push_back(uid);
            plan.added = true;
            collectSubtree(graph_, uid, reach);
            // Nodes that named this one as their parent before it existed get their branch now.
            const auto waiting = index.childrenByParent.find(uid);
            if (waiting != index.childrenByParent.end()) {
                changed.insert(changed.end(), waiting->second.begin(), waiting->second.end());
                waited.insert(waiting->second.begin(), waiting->second.end());
            }
        }
    }
    for (; shown != index.shown.end(); ++shown)
        plan.removed.push_back(shown->uid);
    for (std::int64_t uid : plan.removed) {
        const auto it = std::lower_bound(index.shown.begin(), index.shown.end(), uid,
                                         [](const GraphViewIndex::Shown& s, std::int64_t id) { return s.uid < id; });
        if (it == index.shown.end() || it->uid != uid)
            continue;
        // The trees below a removed node get new roots.
        for (std::int64_t child : it->storage->childrenUIDs)
            collectSubtree(graph_, child, reach);
    }

    changed.insert(changed.end(), reach.begin(), reach.end());
    changed.insert(changed.end(), index.touched.begin(), index.touched.end());
    for (std::int64_t uid : sortedCopy(std::move(changed)))
        if (const Node* node = graph_.findNode(uid))
            plan.visit.push_back(node);
    plan.movedOnly.assign(plan.visit.size(), 0);
    for (std::size_t i = 0; i < plan.visit.size(); ++i) {
        const std::int64_t uid = plan.visit[i]->uid;
        plan.movedOnly[i] = std::binary_search(moves.begin(), moves.end(), uid) && !reach.count(uid)
            && !index.touched.count(uid) && !waited.count(uid);
    }

    plan.hoverPass = !(index.mouseMoveLocation == mouseMoveLocation);
    if (!index.appliedSelection) {
        plan.selectionPass = true;
    } else {
        const std::vector<std::int64_t> before = sortedCopy(*index.appliedSelection);
        const std::vector<std::int64_t> now = sortedCopy(selectedNodeUIDs);
        std::set_symmetric_difference(before.begin(), before.end(), now.begin(), now.end(),
                                      std::back_inserter(plan.selectionChanges));
    }
    return plan;
}

// ---- Lookups ----

NodeLayer* GraphView::nodeLayer(std::int64_t uid) const
{
    const auto it = index_->nodeLayerUIDCache.find(uid);
    return it == index_->nodeLayerUIDCache.end() ? nullptr : it->second;
}

BranchLayer* GraphView::branchLayer(std::int64_t parentUID, std::int64_t childUID) const
{
    return index_->branch(parentUID, childUID);
}

std::vector<BranchLayer*> GraphView::branchLayersAt(std::int64_t uid) const
{
    const auto* at = index_->branchesAt(uid);
    return at ? *at : std::vector<BranchLayer*>{};
}

LayoutOptions GraphView::layoutOptionsGoverning(const Node& node) const
{
    // The climb from the stored node: the last stored node reached is the tree's root, or, round a cycle, the
    // first node met twice. During a reload every parent climbed through remembers its tree's options, so a
    // deep tree is climbed once; leaves are never climbed through, so they are not remembered.
    auto& memo = index_->governingOptions;
    const Node* start = graph_.findNode(node.uid);
    if (!start)
        start = &node;
    std::vector<std::int64_t>& path = index_->climbPath;
    // Cycles are looked for only once a climb grows longer than the graph has nodes.
    const std::size_t cycleCheckAfter = graph_.count() + 1;
    std::unordered_set<std::int64_t> seen;
    for (bool checkCycles : {false, true}) {
        path.clear();
        seen.clear();
        std::optional<LayoutOptions> found;
        std::size_t steps = 0;
        const Node* root = start;
        while (true) {
            if (index_->reloading) {
                const auto known = memo.find(root->uid);
                if (known != memo.end()) {
                    found = known->second;
                    break;
                }
                if (checkCycles || root != start || !root->childrenUIDs.empty())
                    path.push_back(root->uid);
            }
            if (!root->parentUID || (checkCycles && !seen.insert(root->uid).second))
                break;
            if (!checkCycles && ++steps > cycleCheckAfter)
                break;
            const Node* parent = graph_.findNode(*root->parentUID);
            if (!parent)
                break;
            root = parent;
        }
        if (!checkCycles && steps > cycleCheckAfter)
            continue;
        const LayoutOptions options =
            found ? *found : (root->layoutOptions ? *root->layoutOptions : baseLayoutOptions);
        for (std::int64_t uid : path)
            memo.emplace(uid, options);
        return options;
    }
    return baseLayoutOptions;
}

bool GraphView::isSelectedUID(std::int64_t uid) const
{
    if (index_->reloading)
        return index_->selected.count(uid) != 0;
    return std::find(selectedNodeUIDs.begin(), selectedNodeUIDs.end(), uid) != selectedNodeUIDs.end();
}

// ---- Index ----

void GraphViewIndex::addBranch(BranchLayer* layer, std::int64_t parentUID, std::int64_t childUID)
{
    branchByLink.emplace(std::make_pair(parentUID, childUID), layer);
    branchesAtNode[parentUID].push_back(layer);
    if (childUID != parentUID)
        branchesAtNode[childUID].push_back(layer);
}

void GraphViewIndex::removeBranch(BranchLayer* layer, std::int64_t parentUID, std::int64_t childUID)
{
    const auto link = branchByLink.find({parentUID, childUID});
    if (link != branchByLink.end() && link->second == layer)
        branchByLink.erase(link);
    for (std::int64_t end : {parentUID, childUID}) {
        const auto it = branchesAtNode.find(end);
        if (it == branchesAtNode.end())
            continue;
        std::erase(it->second, layer);
        if (it->second.empty())
            branchesAtNode.erase(it);
    }
}

void GraphViewIndex::clearBranches()
{
    branchByLink.clear();
    branchesAtNode.clear();
}

BranchLayer* GraphViewIndex::branch(std::int64_t parentUID, std::int64_t childUID) const
{
    const auto it = branchByLink.find({parentUID, childUID});
    return it == branchByLink.end() ? nullptr : it->second;
}

const std::vector<BranchLayer*>* GraphViewIndex::branchesAt(std::int64_t uid) const
{
    const auto it = branchesAtNode.find(uid);
    return it == branchesAtNode.end() ? nullptr : &it->second;
}

} // namespace velquine
