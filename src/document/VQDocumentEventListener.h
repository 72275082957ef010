#pragma once

// The observer interface of a document, and the code that says what a node update changed.
//
// Listeners are reference objects held by their owners in shared pointers; the document keeps them weakly.
// Every operation has an empty default, so a listener overrides only what it reacts to. Events arrive on the
// main thread on a later turn of the run loop, never during the call that caused them.

#include <cstdint>
#include <vector>

#include "model/graph/Node.h"

namespace velquine {

// What a call of VQDocument::updateNodes changed, one byte (0 to 23).
enum class NodeUpdateOperation : std::uint8_t {
    size = 0,
    position = 1,
    style = 2,
    shape = 3,
    fillColor = 4,
    shapeInheritance = 5,
    borderStyle = 6,
    borderColor = 7,
    borderThickness = 8,
    branchStyle = 9,
    branchColor = 10,
    branchThickness = 11,
    font = 12,
    fontStyle = 13,
    textColor = 14,
    fontSize = 15,
    textAlignment = 16,
    title = 17,
    note = 18,
    imageSet = 19,
    imageCleared = 20,
    link = 21,
    detach = 22,
    attach = 23,
};

class VQDocumentEventListener {
public:
    static constexpr int defaultPriority = 10;

    virtual ~VQDocumentEventListener() = default;

    virtual void documentDidReplaceProject() {}
    virtual void documentDidBeginEditingSession() {}
    virtual void documentDidCancelEditingSession() {}
    virtual void documentDidCommitEditingSession() {}
    // Title, author or notes.
    virtual void documentDidChangeProjectInfo() {}
    virtual void documentDidChangeBackgroundColor() {}
    // Project style or grid.
    virtual void documentDidChangeStyle() {}
    virtual void documentDidAddNodes(const std::vector<Node>& /*nodes*/) {}
    virtual void documentDidUpdateNodes(const std::vector<Node>& /*nodes*/, NodeUpdateOperation /*operation*/) {}
    virtual void documentDidDeleteNodes(const std::vector<Node>& /*nodes*/) {}
    virtual void documentDidChangeSelection() {}
    virtual void documentDidReadProject() {}
    // Pictures of the map that were being read apart from the editor came in: the nodes as they now are, each
    // showing its picture or keeping its bytes unshown. No change of the map's content.
    virtual void documentDidReadPictures(const std::vector<Node>& /*nodes*/) {}
    virtual void documentDidSave() {}
    virtual void documentDidBeginEditingNodeTitle() {}
    virtual void documentDidEndEditingNodeTitle() {}

    // Listeners with a lower priority are told first.
    virtual int priority() const { return defaultPriority; }
};

} // namespace velquine
