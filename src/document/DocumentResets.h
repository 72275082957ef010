#pragma once

// The resets of nodes to what their level gives them: style and shape, colours, and size. Each works depth
// by depth, reading every depth afresh after the shallower ones were written, so children follow their
// parents' new values. The resets change the document and belong inside the caller's editing session.

#include <vector>

#include "model/graph/Node.h"

namespace velquine {

class VQDocument;

class DocumentResets {
public:
    // Works on the document at each call; the document must outlive this object.
    explicit DocumentResets(VQDocument& document) : document_(document) {}

    // Give the nodes the style and shape of their level, depth by depth, each depth read afresh.
    void resetNodeStyle(const std::vector<Node>& nodes);
    // Border, fill, branch and text colours of the nodes' levels, depth by depth (sub nodes follow their
    // parents' new colours). With an empty palette the palette colours of the nodes stay as they are.
    void resetNodeColors(const std::vector<Node>& nodes);
    // Sizes the nodes to their titles keeping their centres, depth by depth.
    void resetNodeSize(const std::vector<Node>& nodes);

private:
    enum class ResetKind { style, colors, size };
    void resetByDepth(const std::vector<Node>& nodes, ResetKind kind);
    Node resetColors(const Node& node) const;

    VQDocument& document_;
};

} // namespace velquine
