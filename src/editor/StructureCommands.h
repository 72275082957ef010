#pragma once

// The commands that change the shape of the tree or the selection: new nodes, delete, detach, duplicate,
// title editing and selecting. Each is one editing session of the controller's document.

#include <cstdint>
#include <optional>
#include <vector>

#include "editor/CommandGroup.h"
#include "model/graph/Node.h"

namespace velquine {

class VQDocument;

class StructureCommands {
public:
    explicit StructureCommands(GraphViewController& controller) : controller_(controller) {}
    void registerActions(const AddAction& addAction);

    void newRootNode();                                // newRootNode:
    void newSiblingNode();                             // newSiblingNode:
    void newChildNode();                               // newChildNode:
    void newParentNode();                              // newParentNode:
    // A new child of the parent, at the position or where the layout puts it.
    void insertChildNode(const Node& parent, std::optional<Point> position);
    void detachNodeFromParent();                       // detachNodeFromParent:
    void deleteNodes();                                // delete:
    void deleteSingle();                               // deleteSingle:
    void duplicateNodeTree();                          // duplicateNodeTree:
    void editSelectedNode();                           // editSelectedNode:
    void selectAll();                                  // selectAll:
    void selectNodeTree();                             // selecNodeTree:
    void deselectAll();                                // deselectAll:

private:
    // In a session under the label: a new child of the parent, at the position or where the layout puts it,
    // selected with its title editor starting. Without a parent, or when no child can be made, the session is
    // cancelled.
    void addChildAndEditTitle(VQDocument& document, const char* label, const std::optional<Node>& parent,
                              std::optional<Point> position);
    // The new node becomes the selection, then its title editor starts on a later turn.
    void selectNewNodeAndEditTitle(const Node& node);
    void startNewNodeTitleEditing();

    GraphViewController& controller_;
};

} // namespace velquine
