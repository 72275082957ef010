#pragma once

// The clipboard of one document: copy, paste, cut and duplicate of nodes, and the style clipboard.
//
// Copies only read the document. Paste, cut and duplicate change it and belong inside the caller's editing
// session, which commits on success and cancels on failure (an absent result).

#include <optional>
#include <string>
#include <vector>

#include "document/VQDocumentPasteboard.h"
#include "model/graph/Node.h"
#include "model/style/NodeShape.h"
#include "model/style/NodeStyle.h"
#include "platform/Geometry.h"
#include "platform/Pasteboard.h"

namespace velquine {

class VQDocument;

class DocumentClipboard {
public:
    // Works on the document at each call; the document must outlive this object.
    explicit DocumentClipboard(VQDocument& document) : document_(document) {}

    // The style and shape as the style clipboard's two payloads; false, pasteboard untouched, when they
    // cannot be encoded.
    bool copyNodeStyleToPasteBoard(const NodeStyle& style, NodeShape shape,
                                   Pasteboard& pasteBoard = Pasteboard::general()) const;
    std::optional<NodeStyle> getNodeStyleFromPasteBoard(const Pasteboard& pasteBoard = Pasteboard::general()) const;
    std::optional<NodeShape> getNodeShapeFromPasteBoard(const Pasteboard& pasteBoard = Pasteboard::general()) const;
    // The nodes with their subtrees, marked as this document's, with their text forms; true when the node
    // list was written.
    bool copyNodesToPasteBoard(const std::vector<Node>& nodes, Pasteboard& pasteBoard = Pasteboard::general()) const;
    bool canPaste(const Pasteboard& pasteBoard = Pasteboard::general()) const;
    // Whatever the pasteboard offers, into the selected nodes or as new nodes at the location; returns the
    // pasted or changed nodes as stored (possibly none), or nothing when the paste failed.
    std::optional<std::vector<Node>> pasteFromPasteBoard(Point pasteLocation, bool keepOriginalStyle,
                                                         Pasteboard& pasteBoard = Pasteboard::general());
    // A copied node list under fresh identifiers, its first node on the location; styled for this document
    // unless keepOriginalStyle is set or the nodes come from this document.
    std::optional<std::vector<Node>> pasteNodesFromPasteBoard(Point pasteLocation, bool keepOriginalStyle,
                                                              Pasteboard& pasteBoard);
    // Copies the nodes, then (only when that worked) removes them with their subtrees.
    bool cutNodesToPasteBoard(const std::vector<Node>& nodes, Pasteboard& pasteBoard = Pasteboard::general());
    // Copies the selection through the private board and pastes it back below its first node, selecting
    // the first copy.
    std::optional<std::vector<Node>> duplicateSelectedNodes(
        Pasteboard& privateBoard = Pasteboard::withName(std::string(VQDocumentPasteboard::duplicatorBoardName)));

private:
    VQDocument& document_;
};

} // namespace velquine
