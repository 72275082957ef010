#pragma once

// The nodes of one mind map: a bin of Node values keyed by identifier, with the tree queries and edits the rest
// of the program uses.
//
// The tree lives in the nodes themselves: each node names its parent in parentUID and its children, in order,
// in childrenUIDs. Every node without a parent is a root, so one graph holds a forest. The graph is a plain
// value: every query hands out copies, and nothing changes until a node is written back through one of the
// edits.
//
// Copies share their nodes (see SharedNodeBin): copying a graph costs next to nothing, and an edit copies only
// the nodes it changes, so undo snapshots and layout inputs cost what changed. Each stored node keeps its storage
// until it is changed; writing back a node equal to the stored one in every field keeps it too. sharedNode()
// hands out that storage: when two graphs (say, the one on screen and the one after an edit) give the same
// pointer for an identifier, its node did not change. Hold the pointers you mean to compare with; a graph may
// reuse storage that nobody else holds.
//
// Identifiers that name no stored node are tolerated: list lookups skip them and single lookups find nothing.
// Trees come from files, so links may be damaged or circular: every walk up or down the tree visits each
// identifier at most once and stops at a repeat. On sound trees this changes no result.
//
// The bin lists its nodes in ascending identifier order; that order decides the order of the roots in dump()
// and of allNodes().
//
// Nothing in the graph reads isFolded or modifiedTimestamp.

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <span>
#include <vector>

#include "model/graph/Node.h"
#include "model/graph/SharedNodeBin.h"
#include "platform/Geometry.h"

namespace velquine {

// A node's new centre, as a layout hands it out.
struct NodePlacement {
    std::int64_t uid;
    Point center;
};

// Where some nodes lie: for each identifier its centre and its sides of its parent, packed for keeping many.
struct NodePlaces {
    std::vector<std::int64_t> uids;
    std::vector<Point> centers;
    // The horizontal affinity's raw value, plus 2 when the vertical one is below.
    std::vector<std::uint8_t> sides;

    void add(const Node& node);
    static std::uint8_t sidesOf(const Node& node);
    void reserve(std::size_t count);
    void shrinkToFit();
    std::size_t size() const { return uids.size(); }
    bool empty() const { return uids.empty(); }
};

class Graph {
public:
    using NodeBin = SharedNodeBin;

    // An empty graph.
    Graph() = default;
    Graph(const Graph&) = default;
    Graph& operator=(const Graph&) = default;
    // The graph moved from is left empty.
    Graph(Graph&& other) noexcept;
    Graph& operator=(Graph&& other) noexcept;
    ~Graph() = default;

    // ---- Queries (the graph is not changed) ----

    // The node stored under the identifier, or nothing.
    std::optional<Node> node(std::int64_t uid) const;
    // Nothing for no identifier, else as above.
    std::optional<Node> node(std::optional<std::int64_t> uid) const;
    // The stored node itself, without a copy, or null. Valid until the graph is next changed.
    const Node* findNode(std::int64_t uid) const;
    bool contains(std::int64_t uid) const { return nodeBin_.lookup(uid) != nullptr; }
    // The storage of the stored node, shared with every copy of the graph that holds it unchanged, or null.
    std::shared_ptr<const Node> sharedNode(std::int64_t uid) const { return nodeBin_.sharedNode(uid); }

    // The stored nodes of the identifiers, in their order; absent identifiers are skipped, repeats of present
    // ones give repeated nodes.
    std::vector<Node> nodes(const std::vector<std::int64_t>& uids) const;
    // The same, at most `most` of them, as the stored nodes themselves (findNode): what a look at a selection of
    // thousands needs, without a copy of each.
    std::vector<const Node*> findNodes(const std::vector<std::int64_t>& uids,
                                       std::size_t most = std::numeric_limits<std::size_t>::max()) const;
    // Every stored node, in bin order.
    std::vector<Node> allNodes() const;

    // The stored nodes themselves, in bin order, as a range of const Node& without copies. Valid until the
    // graph is next changed.
    class StoredNodes {
    public:
        class Iterator {
        public:
            const Node& operator*() const { return it_->second; }
            const Node* operator->() const { return &it_->second; }
            Iterator& operator++()
            {
                ++it_;
                return *this;
            }
            friend bool operator==(const Iterator&, const Iterator&) = default;

        private:
            friend class StoredNodes;
            explicit Iterator(NodeBin::const_iterator it) : it_(it) { }
            NodeBin::const_iterator it_;
        };
        Iterator begin() const { return Iterator(bin_.begin()); }
        Iterator end() const { return Iterator(bin_.end()); }

    private:
        friend class Graph;
        explicit StoredNodes(const NodeBin& bin) : bin_(bin) { }
        const NodeBin& bin_;
    };
    StoredNodes storedNodes() const { return StoredNodes(nodeBin_); }

    // Looks up many nodes one after another, as a walk down a tree does: each look-up starts where the last one
    // ended, and the nodes stored after those found are fetched into the processor's cache before the walk
    // reaches them (see SharedNodeBin::Finger). Valid while the graph is unchanged.
    class Walk {
    public:
        // The stored node, or null.
        const Node* find(std::int64_t uid) { return bin_->lookup(uid, finger_); }

    private:
        friend class Graph;
        explicit Walk(const NodeBin& bin) : bin_(&bin), finger_(NodeBin::Finger::readingAhead()) { }
        const NodeBin* bin_;
        NodeBin::Finger finger_;
    };
    Walk walk() const { return Walk(nodeBin_); }

    // The store itself, for the canvas's reloads, which compare its entries with those of the store they showed
    // last and pass runs of storage the two share. No other code of the program outside the model uses it.
    const NodeBin& nodeBin() const { return nodeBin_; }
    std::size_t count() const { return nodeBin_.size(); }
    bool isEmpty() const { return nodeBin_.empty(); }
    // Kept and copied with the graph; nothing fills it.
    const std::vector<NodeConnection>& connections() const { return connections_; }

    // The stored node named by the node's parentUID, or nothing.
    std::optional<Node> parent(const Node& node) const;
    // root without parentUID; sub when the parent is not stored; main when the stored parent is a root; else sub.
    NodeType nodeType(const Node& node) const;
    // 0 for a node without parentUID or whose parent is not stored, else 1 + the depth of the stored parent.
    // A circular chain of parents is followed once round.
    int depth(const Node& node) const;
    // The last node reached by climbing stored parents from the node, as stored (the value passed in when the
    // climb never leaves it and it is not stored).
    Node rootAncestor(const Node& node) const;
    // The node stored under the node's uid, then, depth first in pre-order, the subtrees of the children named
    // by the node's childrenUIDs. Empty when the node is not stored.
    std::vector<Node> subtree(const Node& node) const;
    // The children named by the node's childrenUIDs, then the descendants of each child in turn by the same
    // rule, without repeats (first occurrences kept) and without the node itself.
    std::vector<Node> descendants(const Node& node) const;
    // The given nodes grouped by depth(of:), each group in input order, holding the values passed in.
    std::map<int, std::vector<Node>> nodesGroupedByDepth(const std::vector<Node>& nodes) const;

    // The lines dump() writes: every root (in bin order) and below it, depth first, its stored descendants;
    // each line is depth tabs, the title, " [uid] ", the centre as "((x, y))" and, when the parent is stored,
    // "\tparent: " and the parent's title.
    std::vector<std::string> dumpLines() const;
    // Writes dumpLines() to the system log, one line at a time.
    void dump() const;

    // ---- Edits (the graph is changed in place) ----

    // Stores the node under the identifier, replacing what was there (a node equal in every field keeps the stored
    // storage); nothing removes the identifier's entry.
    void setNode(const std::optional<Node>& node, std::int64_t uid);
    // Stores each node under its uid, in list order; a negative createdTimestamp becomes the current time (read
    // once for the whole call).
    void updateNodes(const std::vector<Node>& nodes);
    // Stores each node unchanged under its uid, in list order, and returns them as stored.
    std::vector<Node> storeNodes(const std::vector<Node>& nodes);
    // The same, handing back the list it was given instead of a copy.
    std::vector<Node> storeNodes(std::vector<Node>&& nodes);
    // Stores one node under its identifier, as storeNodes does, without copying it.
    void storeNode(Node&& node);
    // Stores each node as storeNodes does, but writes a changed node over the stored one, without making room for
    // a new one, where no other graph shares it: for many nodes just added and then moved.
    void overwriteNodes(const std::vector<Node>& nodes);
    // Moves each stored node to its centre, in list order, as storeNodes would store it with that centre and
    // a negative createdTimestamp made the current time: a node already there keeps its storage, and only a
    // node that moves is copied (when another graph shares it). Identifiers not stored are skipped.
    void placeNodes(const std::vector<NodePlacement>& placements);
    // Puts each stored node named in the places at its centre and sides, changing nothing else (no timestamp
    // either): an undo step putting nodes back where they were. Identifiers in ascending order walk the bin
    // once; identifiers not stored are skipped.
    void restorePlaces(const NodePlaces& places);
    // Stores the entry's own storage under its identifier, as an undo step puts back a node it kept.
    void storeEntry(const NodeBin::Entry& entry);
    // A new node with a fresh identifier, the given title, style, centre and size, appended to the children of
    // the parent value passed in (which is written back). Returns the new node as stored. Passes on the error
    // of nextNodeUID().
    Node addChildNode(const Node& parent, std::string title, const NodeStyle& style, Point center, Size size);
    // Stores the child and appends it to the children of its stored parent, in place: the parent's list is not
    // copied unless another graph shares it. False, with nothing stored, when the child's parent is not stored.
    bool storeAppendedChild(const Node& child);
    // A new node put between the parent and the child: it takes the child's shape, becomes the parent's last
    // child (every occurrence of the child leaves the parent's list) and holds the child alone. The parent and
    // child values passed in are written back with their links changed. Returns the new node.
    Node insertIntermediateNode(const Node& parent, const Node& child, std::string title, const NodeStyle& style,
                                Point center, Size size);
    // The nodes and all their descendants leave the graph, and every surviving parent loses their identifiers.
    void removeNodes(const std::vector<Node>& nodes);
    // The node leaves the graph and its children move up into its place in its parent's list, in their own
    // order, pointing at that parent (the children of a root become roots). The node is read afresh from the
    // bin by its uid; one that is not stored changes nothing. When the stored parent does not list the node,
    // the children are appended at the end of its list.
    void removeNodeKeepingChildren(const Node& node);
    // removeNodeKeepingChildren for each node in turn, each read afresh, so a node removed together with one of
    // its children leaves no child pointing at a removed parent.
    void removeNodesKeepingChildren(const std::vector<Node>& nodes);

    // ---- Geometry ----

    // The rectangle enclosing the frames (size centred on center) of the nodes; 0, 0, 0, 0 for none.
    static Rect boundingRect(const std::vector<Node>& nodes);
    static Rect boundingRectOfRange(std::span<const Node> nodes);
    // The same for every stored node. Once worked out, the edges follow the edits: a frame that grows or moves
    // outward pushes them out, and only a frame that leaves an edge (moving inward or removed) has them worked
    // out afresh, on the next call. A graph read from several threads at once must be asked once beforehand.
    Rect boundingRect() const;
    // The canvas rectangle. With the size of the screen of the application's main window: the bounding
    // rectangle grown by half the screen's width on the left and right and half its height at the top and
    // bottom. Without one: the first of seven candidates centred on the origin, 300 f by 200 f points for f in
    // 5, 10, 20, 30, 40, 80, 100, that contains the bounding rectangle, else the last. Either way its edges
    // lie within 2,000,000 points of the origin on each axis, so that the widget showing all of it at the
    // greatest magnification (4) stays within Qt's largest widget size (16,777,215 pixels): a node further out
    // lies off the canvas.
    Rect canvasRect(const std::optional<Size>& mainWindowScreenSize) const;
    // The page rectangle for printing: the bounding rectangle grown toward larger x or y to the aspect ratio
    // (width / height), then by a margin of 36 points left and right and 36 / ratio at top and bottom. A ratio
    // that is not a positive finite number is taken as 1.
    Rect printRect(double aspectRatio) const;

private:
    // The extent of one standardized node frame, or of every stored frame.
    struct Extent {
        double minX = 0, minY = 0, maxX = 0, maxY = 0;
    };
    static Extent extentOf(const Node& node)
    {
        // Standardized once: its edges are what minX() and the others would each work out again.
        const Rect frame = Rect(node.center.x - node.size.width * 0.5, node.center.y - node.size.height * 0.5,
                                node.size.width, node.size.height)
                               .standardized();
        return {frame.origin.x, frame.origin.y, frame.origin.x + frame.size.width,
                frame.origin.y + frame.size.height};
    }

    // The stored node under uid for writing, or null. Its frame must not change.
    Node* findMutable(std::int64_t uid);
    void removeKeepingChildren(const Node& stored);
    // Stores the node under its identifier, keeping the known extent in step.
    void storeTracked(std::int64_t uid, const Node& node);
    void storeTracked(std::int64_t uid, Node&& node);
    void eraseTracked(std::int64_t uid);
    // Brings the known extent in line with one frame that was there before (none for a node added) and one
    // that is there now (none for a node removed); forgets it when it cannot tell without looking at all.
    void noteFrames(const Extent* before, const Extent* after);

    NodeBin nodeBin_;
    std::vector<NodeConnection> connections_;
    // The extent of every stored frame, when known; nothing stored when extentKnown_ and !hasExtent_.
    mutable Extent extent_;
    mutable bool hasExtent_ = false;
    mutable bool extentKnown_ = false;
};

} // namespace velquine
