#include "files/NodeGraphLoader.h"

#include "files/ChildrenOrder.h"
#include "files/DocumentTables.h"
#include "files/RowDefaults.h"
#include "files/TableReading.h"
#include "platform/Image.h"
#include "platform/Log.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace velquine {

namespace db = documentdb;

namespace {

constexpr const char* functionName = "loadNodeGraphFrom(database:)";

// The nodes read, by identifier: a map's interface over one sorted array, which a load that looks a node up
// for every row of every side table walks far faster than a tree of separately allocated nodes.
class NodeMap {
public:
    using Entries = std::vector<std::pair<std::int64_t, Node>>;
    using iterator = Entries::iterator;

    // Rows are added in any order; a later row of an identifier replaces an earlier one once sealed.
    void add(std::int64_t uid, Node node) { entries_.emplace_back(uid, std::move(node)); }
    // Sorts the rows added and keeps the last of each identifier. Lookups need a sealed map.
    void seal()
    {
        const auto byUID = [](const auto& a, const auto& b) { return a.first < b.first; };
        if (!std::is_sorted(entries_.begin(), entries_.end(), byUID))
            std::stable_sort(entries_.begin(), entries_.end(), byUID);
        // Each run of one identifier keeps its last row, moved to where the run starts.
        std::size_t kept = 0;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (i + 1 < entries_.size() && entries_[i + 1].first == entries_[i].first)
                continue;
            if (kept != i)
                entries_[kept] = std::move(entries_[i]);
            ++kept;
        }
        entries_.erase(entries_.begin() + std::ptrdiff_t(kept), entries_.end());
        keys_.clear();
        keys_.reserve(entries_.size());
        for (const auto& entry : entries_)
            keys_.push_back(entry.first);
    }

    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }
    std::size_t size() const { return entries_.size(); }
    iterator find(std::int64_t uid)
    {
        // Identifiers mostly run without gaps: the node is then where its distance from the first puts it.
        if (!keys_.empty()) {
            const std::uint64_t offset = std::uint64_t(uid) - std::uint64_t(keys_.front());
            if (offset < keys_.size() && keys_[offset] == uid)
                return entries_.begin() + std::ptrdiff_t(offset);
        }
        const auto at = std::lower_bound(keys_.begin(), keys_.end(), uid);
        if (at == keys_.end() || *at != uid)
            return entries_.end();
        return entries_.begin() + (at - keys_.begin());
    }
    std::size_t count(std::int64_t uid) { return find(uid) == end() ? 0 : 1; }
    Node& at(std::int64_t uid)
    {
        const iterator found = find(uid);
        if (found == end())
            throw std::out_of_range("no node " + std::to_string(uid));
        return found->second;
    }

private:
    Entries entries_;
    std::vector<std::int64_t> keys_;
};

// Reads one side table: each row's node is found by `nodeID` and handed to `apply`, which reads the
// row's values before it changes the node, so a throwing read leaves the node as it was. Rows of
// unknown nodes are skipped silently.
template <class Apply>
void readSideTable(sql::Connection& connection, const sql::Table& table, NodeMap& nodes,
                   ProjectLoadingProblems& problems, Apply apply)
{
    readRows(connection, table, problems, [&](const sql::Row& row) {
        auto found = nodes.find(row.get(db::nodeID));
        if (found != nodes.end())
            apply(row, found->second);
    });
}

void readNodes(sql::Connection& connection, NodeMap& nodes, ProjectLoadingProblems& problems)
{
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    const NodeStyle defaultStyle;
    readRows(connection, db::nodes, problems, [&](const sql::Row& row) {
        const std::int64_t uid = row.get(db::id);
        const std::optional<std::int64_t> parentUID = row.get(db::parentID);
        // The identifier counter is raised above every identifier read: the largest value leaves
        // no fresh identifier behind it, so such a row cannot be taken.
        if (uid == largest || parentUID == largest) {
            problems.push_back(VQ_MINOR_PROBLEM("node " + std::to_string(uid) + " with parent "
                                                + (parentUID ? std::to_string(*parentUID) : std::string("none"))
                                                + " uses the largest identifier and is skipped"));
            return;
        }
        Node node(uid, parentUID, defaultStyle);
        if (std::optional<double> created = row[db::createdTS])
            node.createdTimestamp = *created;
        if (std::optional<double> modified = row[db::modifiedTS])
            node.modifiedTimestamp = *modified;
        nodes.add(uid, std::move(node));
    });
    nodes.seal();
}

// Reads the children lists; the first failure of any kind ends the table.
void readChildrenOrder(sql::Connection& connection, NodeMap& nodes, ProjectLoadingProblems& problems)
{
    try {
        sql::RowIterator rows = selectAll(connection, db::nodeChildrenOrder);
        while (std::optional<sql::Row> row = rows.failableNext()) {
            auto found = nodes.find(row->get(db::nodeID));
            if (found == nodes.end())
                continue;
            found->second.childrenUIDs = childrenOrderFromJson(row->get(db::sortedChildrenJson));
        }
    } catch (...) {
        problems.push_back(VQ_MINOR_PROBLEM(errorText(std::current_exception())));
    }
}

// Appends every child its stored parent does not list to the end of the parent's list. Each parent's
// list is looked through once, however long it is and however many children point at it.
void appendMissingChildren(NodeMap& nodes)
{
    std::unordered_map<std::int64_t, std::unordered_set<std::int64_t>> listed;
    for (auto& [uid, node] : nodes) {
        if (!node.parentUID)
            continue;
        auto parent = nodes.find(*node.parentUID);
        if (parent == nodes.end())
            continue;
        std::vector<std::int64_t>& children = parent->second.childrenUIDs;
        auto [known, fresh] = listed.try_emplace(parent->first);
        if (fresh)
            known->second.insert(children.begin(), children.end());
        if (!known->second.insert(uid).second)
            continue;
        children.push_back(uid);
        VQ_LOG(functionName, "appending " + std::to_string(uid) + " to " + std::to_string(parent->first)
                                 + " because it wasn there in the sorted array!");
    }
}

// Parent links that lead back to a node: the node of the circle with the smallest identifier loses
// its parent and becomes a root.
void cutParentCycles(NodeMap& nodes, ProjectLoadingProblems& problems)
{
    enum class State : std::uint8_t { onPath, done };
    std::unordered_map<std::int64_t, State> states;
    states.reserve(nodes.size());
    std::vector<std::int64_t> path;
    for (auto& [start, startNode] : nodes) {
        if (states.count(start))
            continue;
        path.clear();
        std::int64_t current = start;
        while (true) {
            auto state = states.find(current);
            if (state != states.end()) {
                if (state->second == State::onPath) {
                    // The circle is the part of the path from `current` on.
                    auto from = std::find(path.begin(), path.end(), current);
                    std::int64_t smallest = *std::min_element(from, path.end());
                    Node& cut = nodes.at(smallest);
                    const std::int64_t formerParent = cut.parentUID.value_or(0);
                    cut.parentUID.reset();
                    problems.push_back(VQ_MINOR_PROBLEM("the parents of node " + std::to_string(smallest)
                                                        + " lead back to it: its link to parent "
                                                        + std::to_string(formerParent) + " is cut"));
                }
                break;
            }
            states.emplace(current, State::onPath);
            path.push_back(current);
            const Node& node = nodes.at(current);
            if (!node.parentUID || !nodes.count(*node.parentUID))
                break;
            current = *node.parentUID;
        }
        for (std::int64_t uid : path)
            states[uid] = State::done;
    }
}

// Children-list entries that lead back to a node on the current walk down the tree are removed.
// Walks start at the roots, so the links that agree with the parents are the ones kept. A list is
// compacted once, when its node is left, and a child that leads back is reported once per parent
// however often the list repeats it.
void removeChildCycles(NodeMap& nodes, ProjectLoadingProblems& problems)
{
    enum class State : std::uint8_t { onWalk, done };
    std::unordered_map<std::int64_t, State> states;
    states.reserve(nodes.size());
    struct Step {
        std::int64_t uid;
        std::size_t next = 0;
        std::vector<bool> removed = {};
        std::unordered_set<std::int64_t> reported = {};
    };
    std::vector<Step> walk;
    const auto leave = [&](Step& step) {
        states[step.uid] = State::done;
        if (step.removed.empty())
            return;
        std::vector<std::int64_t>& children = nodes.at(step.uid).childrenUIDs;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < children.size(); ++i)
            if (i >= step.removed.size() || !step.removed[i])
                children[kept++] = children[i];
        children.resize(kept);
    };
    const auto walkFrom = [&](std::int64_t start) {
        if (states.count(start))
            return;
        states.emplace(start, State::onWalk);
        walk.push_back({start});
        while (!walk.empty()) {
            Step& step = walk.back();
            const std::vector<std::int64_t>& children = nodes.at(step.uid).childrenUIDs;
            if (step.next >= children.size()) {
                leave(step);
                walk.pop_back();
                continue;
            }
            const std::size_t at = step.next++;
            const std::int64_t child = children[at];
            if (!nodes.count(child))
                continue;
            auto state = states.find(child);
            if (state == states.end()) {
                states.emplace(child, State::onWalk);
                walk.push_back({child}); // `step` is not used after this
                continue;
            }
            if (state->second != State::onWalk)
                continue;
            if (step.removed.empty())
                step.removed.resize(children.size(), false);
            step.removed[at] = true;
            if (step.reported.insert(child).second)
                problems.push_back(VQ_MINOR_PROBLEM("child " + std::to_string(child) + " of node "
                                                    + std::to_string(step.uid)
                                                    + " leads back up the tree and is removed from its children"));
        }
    };
    for (const auto& [uid, node] : nodes) {
        if (!node.parentUID || !nodes.count(*node.parentUID))
            walkFrom(uid);
    }
    for (const auto& [uid, node] : nodes)
        walkFrom(uid);
}

// The text the row holds in the column as it is stored, without a copy; null for any other kind of value.
const std::string* storedText(const sql::Row& row, const sql::Expression<std::string>& column)
{
    const int index = row.position(column.templ);
    if (index < 0 || std::size_t(index) >= row.values.size() || !row.values[std::size_t(index)])
        return nullptr;
    return std::get_if<std::string>(&*row.values[std::size_t(index)]);
}

// Every side table, each row onto its node.
void readSideTables(sql::Connection& connection, NodeMap& nodes, ProjectLoadingProblems& problems,
                    std::unordered_set<std::int64_t>& smallFonts)
{
    readSideTable(connection, db::nodePositions, nodes, problems, [](const sql::Row& row, Node& node) {
        const Point center{row.get(db::x), row.get(db::y)};
        node.center = center;
    });
    readSideTable(connection, db::nodeSizes, nodes, problems, [](const sql::Row& row, Node& node) {
        node.autoSize = get(row, db::optionalAutoSize, true);
        node.size = Size{get(row, db::optionalWidth, 128.0), get(row, db::optionalHeight, 64.0)};
    });
    readSideTable(connection, db::nodeTitles, nodes, problems, [](const sql::Row& row, Node& node) {
        node.title = get(row, db::optionalTitle, std::string());
    });
    readSideTable(connection, db::nodeUrls, nodes, problems, [](const sql::Row& row, Node& node) {
        node.url = get(row, db::optionalUrl, std::string());
    });
    readSideTable(connection, db::nodeNotes, nodes, problems, [](const sql::Row& row, Node& node) {
        node.note = get(row, db::optionalNote, std::string());
    });
    readSideTable(connection, db::nodeShapes, nodes, problems, [](const sql::Row& row, Node& node) {
        node.shape = nodeShapeFromString(get(row, db::optionalShape, std::string("roundedRect")));
        node.childrenShouldInheritShape = get(row, db::optionalChildrenInheritShape, false);
    });
    // Nodes mostly share a handful of styles: each distinct text is decoded once.
    struct Decoded {
        NodeStyle style;
        bool smallFont;
    };
    std::unordered_map<std::string, Decoded> decodedStyles;
    readSideTable(connection, db::nodeStyles, nodes, problems, [&](const sql::Row& row, Node& node) {
        std::string converted;
        const std::string* stored = storedText(row, db::styleJson);
        if (!stored) {
            converted = row.get(db::styleJson);
            stored = &converted;
        }
        const std::string& json = *stored;
        auto known = decodedStyles.find(json);
        if (known == decodedStyles.end()) {
            NodeStyle style = NodeStyle::fromJsonString(json);
            const std::optional<double> size = NodeStyle::storedFontPointSize(json);
            known = decodedStyles.emplace(json, Decoded{std::move(style), size && *size <= 1.0}).first;
        }
        node.style = known->second.style;
        if (known->second.smallFont)
            smallFonts.insert(node.uid);
        else
            smallFonts.erase(node.uid);
    });
    // The pictures are kept as their bytes: the document has the picture reader read them.
    readSideTable(connection, db::nodeImages, nodes, problems, [](const sql::Row& row, Node& node) {
        std::optional<db::Data> data = row.get(db::image);
        if (data && !data->empty())
            node.setUnreadPicture(std::move(*data));
    });
    readSideTable(connection, db::nodeFolds, nodes, problems, [](const sql::Row& row, Node& node) {
        node.isFolded = row.get(db::isFolded);
    });
    readSideTable(connection, db::nodeLayoutOptions, nodes, problems, [](const sql::Row& row, Node& node) {
        LayoutOptions options;
        const std::optional<std::string> type = row[db::optionalLayoutType];
        options.layoutType = type ? layoutTypeFromString(*type) : LayoutOptions::LayoutType::horizontal;
        const std::optional<std::string> direction = row[db::optionalLayoutDirection];
        options.layoutDirection =
            direction ? layoutDirectionFromString(*direction) : LayoutOptions::LayoutDirection::balanced;
        const std::optional<std::string> branch = row[db::optionalBranchType];
        options.branchType = branch ? branchTypeFromString(*branch) : LayoutOptions::BranchType::rounded;
        options.isManual = row[db::optionalIsManual].value_or(false);
        node.layoutOptions = options;
    });
}

// Fonts of 1 point or less, also those stored with a size no font can have, take the font of the project
// style's level for their node.
void repairFonts(Graph& graph, const ProjectStyle& projectStyle, const std::unordered_set<std::int64_t>& smallFonts)
{
    const ProjectStyle::Values& current = projectStyle.current;
    std::vector<Node> refonted;
    for (const Node& stored : graph.storedNodes()) {
        if (stored.style.font.pointSize() > 1.0 && !smallFonts.count(stored.uid))
            continue;
        Node& node = refonted.emplace_back(stored);
        switch (graph.nodeType(node)) {
        case NodeType::root:
            node.style.font = current.rootNodeStyle.font;
            break;
        case NodeType::main:
            node.style.font = current.mainNodeStyle.font;
            break;
        case NodeType::sub:
            node.style.font = current.subNodeStyle.font;
            break;
        }
    }
    for (const Node& node : refonted)
        graph.setNode(node, node.uid);
}

} // namespace

ProjectLoadingProblems loadNodeGraphFrom(Graph& graph, const ProjectStyle& projectStyle, const Database& database)
{
    ProjectLoadingProblems problems;
    if (!database.connection) {
        graph = Graph();
        problems.push_back(ProjectLoadingProblem::majorProblem(databaseNotOpenedMessage));
        return problems;
    }
    sql::Connection& connection = *database.connection;
    NodeMap nodes;

    readNodes(connection, nodes, problems);
    std::unordered_set<std::int64_t> smallFonts;
    readSideTables(connection, nodes, problems, smallFonts);
    readChildrenOrder(connection, nodes, problems);

    appendMissingChildren(nodes);
    cutParentCycles(nodes, problems);
    removeChildCycles(nodes, problems);

    for (auto& [uid, node] : nodes) {
        if (!node.parentUID)
            continue;
        auto parent = nodes.find(*node.parentUID);
        if (parent != nodes.end())
            node.updateAffinity(parent->second);
    }

    Graph loaded;
    for (auto& [uid, node] : nodes)
        loaded.setNode(std::move(node), uid);
    graph = std::move(loaded);

    repairFonts(graph, projectStyle, smallFonts);
    return problems;
}

} // namespace velquine
