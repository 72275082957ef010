#pragma once

// What the canvas hands to its controller: every lasting change that starts on the canvas. The canvas holds
// its delegate weakly and skips a call when the delegate is gone.

#include <cstdint>
#include <optional>
#include <vector>

#include "model/graph/Node.h"
#include "platform/Geometry.h"
#include "platform/Image.h"

namespace velquine {

class GraphViewDelegate {
public:
    virtual ~GraphViewDelegate() = default;

    // A title edit was cancelled, or ended with the title unchanged: the document's editing session it opened
    // is abandoned, restoring what the document held before.
    virtual void abandonTitleEdit() {}

    // The document's selection becomes exactly these nodes; a single node off screen is revealed.
    virtual void selectNodes(const std::vector<Node>& /*nodes*/, bool /*revealSingle*/) {}
    // The selection the pointer made (a press on a node, a shift or control click, a press on empty space):
    // the document's selection becomes exactly these nodes and its listeners hear of it; nothing is revealed.
    virtual void pointerDidSelectNodes(const std::vector<Node>& /*nodes*/) {}
    // A new child of the parent, at the position when one is given, as one undoable edit.
    virtual void insertChildNode(const Node& /*parent*/, std::optional<Point> /*position*/) {}
    virtual void didBeginEditingNodeTitle() {}
    virtual void didEndEditingNodeTitle() {}
    // The node with its new title; the flag also asks for layout of its tree and collision resolution.
    virtual void editNodeTitle(const Node& /*node*/, bool /*finishing*/) {}
    virtual void moveNodes(std::vector<Node> /*nodes*/) {}
    virtual void moveDraggedNodes(const Node& /*parent*/, const std::vector<Node>& /*draggedNodes*/,
                                  const std::vector<std::int64_t>& /*newChildrenOrder*/)
    {
    }
    virtual void resizeNode(const Node& /*node*/) {}
    virtual void graphViewWantsToAttachNode(const Node& /*node*/, const Node& /*attachTo*/,
                                            const std::vector<Node>& /*draggedNodes*/)
    {
    }
    virtual void setNodeImage(const Node& /*node*/) {}
    virtual void newImageNodes(const std::vector<Image>& /*images*/, Point /*at*/) {}
};

} // namespace velquine
