#pragma once

// The insertion of detached node trees that pasted and imported outlines go through, and of an image as a
// new root. Insertion changes the document and belongs inside the caller's editing session.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/FlatHashMap.h"
#include "layout/SiblingIndex.h"
#include "model/graph/Graph.h"
#include "model/graph/Node.h"
#include "model/project/VQProject.h"
#include "platform/Geometry.h"
#include "platform/Image.h"
#include "platform/TextsMeasuredAhead.h"

namespace velquine {

class VQDocument;

// While detached node trees are inserted: the free centres for new roots, the tree root of every node made
// so far, so each creation finds its tree's options without walking up the tree, and the titles of many
// nodes laid out ahead (none for few). The document's node creation is handed it for as long as the
// insertion lasts.
struct NodeTreeInsertion {
    NodeTreeInsertion(const Graph& graph, std::size_t adding) : freeCenters(graph, adding) { rootOf.reserve(adding); }
    FreeCenters freeCenters;
    FlatHashMap<std::int64_t, std::int64_t> rootOf;
    SiblingIndex siblings;
    std::unique_ptr<TextsMeasuredAhead> titlesAhead;
};

class DocumentInsertion {
public:
    // Works on the document at each call; the document must outlive this object.
    explicit DocumentInsertion(VQDocument& document) : document_(document) {}

    // Creates detached node trees anew (titles and notes only), lays each out and packs them, apart from
    // one another, into a compact area centred on the point; every source node at most once. Returns the created nodes as stored. Nothing is
    // created (with a log line) when the map would hold more than VQDocumentFiles::maximumNodeCount nodes.
    std::vector<Node> insertNodes(const std::vector<Node>& nodes, Point at);
    std::optional<Node> insertNodeTree(const Node& source, std::optional<std::int64_t> parentUID,
                                       const std::vector<Node>& from);
    // A new root with the image at the location, as stored.
    std::optional<Node> insertImageNode(const std::string& title, Point at, const Image& image);

private:
    VQDocument& document_;
};

} // namespace velquine
