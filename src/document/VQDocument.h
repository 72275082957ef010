#pragma once

// The document object of one open mind map.
//
// The document owns the map as one VQProject value. Every change runs inside an editing session: the caller
// opens it with an undo label, changes the project through the operations below, and commits it, which
// records one undo step that puts the whole project back as it was when the session opened; or cancels it,
// which puts that project back at once with no undo step. A caller that finds a session open joins it: the
// session keeps its first label and its first snapshot. The operations never open or close a session
// themselves; called outside one, each writes a warning line naming itself and still makes its change. The
// command classes beside the document (DocumentLayout, DocumentInsertion, DocumentResets, DocumentClipboard)
// change the project only through these operations and keep the same rules.
//
// Observers register as VQDocumentEventListener with the document's DocumentEventSource, which hands each
// event to them on a later turn of the main run loop, never during the call that posts it.
//
// Everything here runs on the main thread; only posting events is safe from other threads.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "document/DocumentArchive.h"
#include "document/DocumentEventSource.h"
#include "document/VQDocumentEventListener.h"
#include "model/graph/Grid.h"
#include "model/graph/LayoutOptions.h"
#include "model/graph/Node.h"
#include "model/project/VQProject.h"
#include "model/style/ProjectStyle.h"
#include "platform/Color.h"
#include "platform/Document.h"
#include "platform/Geometry.h"

namespace velquine {

struct NodeTreeInsertion;
class ProjectDifference;
class DocumentPictures;
struct SettledPicture;

class VQDocument : public Document, public DocumentEventSource {
public:
    // The type identifier of the documents this class writes.
    static constexpr std::string_view documentType = "io.kelvarn.velquine.mindmap";
    static std::vector<std::string> writableTypes() { return {std::string(documentType)}; }

    VQDocument();
    ~VQDocument() override;

    // ---- State ----

    // The open map; replaced whole by undo, redo, cancel and reading a file. Changed only through the
    // operations below.
    const VQProject& project() const { return project_; }
    // The map for code that builds a document's state outside any session: the readers of files, the
    // defaults of a new document (DocumentFactory), and fixtures of tests and benchmarks that set up a map
    // before using it. No event is posted and no undo step recorded; the editor never writes through it.
    VQProject& projectForLoading() { return project_; }
    // The project as it was when the current (or last) session opened.
    const VQProject& editingOriginalProject() const { return editingOriginalProject_; }
    // The undo label of the current (or last) session.
    const std::string& editingLabel() const { return editingLabel_; }
    bool isInEditingSession() const { return isInEditingSession_; }
    // This document object's identity: an upper-case UUID text, fresh for every document.
    const std::string& uniqueHandle() const { return uniqueHandle_; }

    // ---- Editing sessions ----

    // Opens a session with the label, snapshots the project and posts documentDidBeginEditingSession();
    // does nothing while a session is open.
    void beginEditingSession(const std::string& label);
    // Closes the session with one undo step named by its label and posts
    // documentDidCommitEditingSession(). Outside a session: a log line and nothing else.
    void commitEditingSession();
    // Closes the session, puts the snapshot back and posts documentDidCancelEditingSession(); no undo step.
    // Does nothing outside a session.
    void cancelEditingSession();
    // The undo and redo action: records the reverse step under the same name, replaces the project and
    // posts documentDidReplaceProject(). Leaves the session state alone.
    void restoreProject(const VQProject& restored, const std::string& actionName);
    // Inside a session opened by someone else: puts back the project as it was before a command that joined
    // that session, leaves the session open and posts documentDidReplaceProject(); no undo step.
    void revertJoinedSession(VQProject before);
    // Marks a session open or closed, the flag alone (no snapshot, no label, no event): for readers that
    // fill a fresh document through the operations below, which then neither warn nor ask for an undo step.
    void setSessionFlag(bool open) { isInEditingSession_ = open; }

    // ---- Project setters (each posts its event after the change) ----

    // Stores and posts documentDidChangeProjectInfo() only when the text differs from the current one.
    void setProjectTitle(const std::string& title);
    void setProjectAuthor(const std::string& author);
    // Stores and posts documentDidChangeProjectInfo() always.
    void updateProjectNotes(const std::string& newNotes);
    // applyStyle on the project with the same arguments; posts documentDidChangeStyle().
    void applyStyleToDocument(const ProjectStyle& style, bool applyShapes, bool applyBorders, bool autosizeNodes);
    // Stores the grid type and size; posts documentDidChangeStyle().
    void setGrid(const Grid& grid);
    // Stores the background colour of the project style's current values; posts
    // documentDidChangeBackgroundColor().
    void setBackgroundColor(const Color& color);
    // Store without posting; the caller's session and its events tell the listeners.
    void setBaseLayoutOptions(const LayoutOptions& options);
    void setProjectStyle(ProjectStyle style);
    // Stores the identifiers of the nodes as the selection; the caller posts documentDidChangeSelection().
    void setSelectedNodes(const std::vector<Node>& nodes);
    // Called by every operation that changes the project, before it does: outside a session it writes the
    // warning line naming the operation; inside one it marks the session as holding uncommitted changes and
    // tells the document's observer (the document controller, which keeps them).
    void noteChange(std::string_view name);

    // ---- Node updates and tree edits ----

    // Stamps modifiedTimestamp with the current time for the title, imageSet and imageCleared codes, gives a
    // negative createdTimestamp the current time, stores the nodes by identifier and returns them as stored.
    // With notify, posts documentDidUpdateNodes with them. An empty list does nothing at all. The list is taken by
    // value, so a caller that hands over a list it no longer needs (say, a fresh layout) pays no copy.
    std::vector<Node> updateNodes(std::vector<Node> nodes, NodeUpdateOperation operation, bool notify);
    // Removes the nodes with their subtrees, or only the nodes (children move up, each node read afresh);
    // selects the first surviving parent of a given node and posts documentDidChangeSelection(); with
    // notify then posts documentDidDeleteNodes with the given list.
    void deleteNodes(const std::vector<Node>& nodes, bool keepChildren, bool notify);
    // Makes the node a root styled and sized as one; returns the former parent as stored, else the node.
    std::optional<Node> detachNodeFromParent(const Node& node);
    // Moves the node to the end of the new parent's children; returns the stored old parent (when there was
    // one), new parent and node. Refused, with an empty result and a log line, when the new parent is the
    // node itself or one of its descendants, already holds it, or the parent chain above it meets the node or
    // repeats itself.
    std::vector<Node> attachNode(const Node& node, const Node& newParent, bool notify);
    // Stores nodes made elsewhere (a pasted list under fresh identifiers) as they are; no event.
    void storeNewNodes(const std::vector<Node>& nodes);
    // Removes the nodes with their subtrees and nothing else: the selection stays, no event.
    void removeNodeTrees(const std::vector<Node>& nodes);
    // Writes the nodes over the stored ones in place (Graph::overwriteNodes); no event. For nodes an insertion
    // just made, which nothing else holds.
    void overwriteNodes(const std::vector<Node>& nodes);
    // Moves the stored nodes to the centres, nothing else changed (Graph::placeNodes); no event. The layout
    // commands (DocumentLayout) write their results through it.
    void placeNodes(const std::vector<NodePlacement>& placements);

    // ---- Creating nodes ----

    // A new root at the requested centre (moved down while it hits a node's centre exactly). With an insertion
    // under way, its free centres are taken instead and its state kept up to date.
    Node createRootNode(const std::string& title, Point center, bool notify, NodeTreeInsertion* insertion = nullptr);
    // A new last child of the parent, at the centre or where the tree's layouter puts it; siblings ordered by
    // position in manual trees and when a centre was given. Nothing, and no change, when the parent is no
    // longer in the graph.
    std::optional<Node> createChildNode(const Node& parent, const std::string& title, std::optional<Point> center,
                                        bool autolayoutTree, bool notify);
    // The same for the parent as stored, placed by the layouter, neither laid out nor posted. With an insertion
    // of node trees under way (DocumentInsertion) its cost does not grow with the number of the parent's
    // children.
    std::optional<Node> createChildNode(std::int64_t parentUID, const std::string& title,
                                        NodeTreeInsertion* insertion = nullptr);
    // A new node in the node's place holding it (with its subtree) as its only child; the tree is laid out
    // and documentDidAddNodes posted. Nothing, and no change, when the node or its parent is no longer in the
    // graph.
    std::optional<Node> createParentNode(const Node& node, const std::string& title);

    // ---- Pictures ----

    // Has the pictures of the map's nodes that are still bytes read apart from the editor (DocumentPictures),
    // waiting a moment for them on the calling thread (the open's worker): those read by then are in the project,
    // the others come in on the main thread as they are read. The reading stops when the document is closed.
    void readPicturesAtOpen();
    // The same without waiting, on the main thread (the project reverted to its file).
    void readUnreadPictures();
    // Whether pictures of the map are still being read.
    bool isReadingPictures() const;
    // Pictures that were being read, each replaced by what reading it came to in the node that holds it, in the
    // project and in the project the change under way started from; nodes an undo or a cancelled change bring
    // back later get it too. No undo step, no change counted; posts documentDidReadPictures.
    void settlePictures(const std::vector<SettledPicture>& settled);
    // The reading of pictures stops: the document is closed.
    void stopWork() override;

private:
    // The pictures read so far in place of those being read, in the nodes of a project brought back.
    void settleRestoredPictures(VQProject& project);
    // Registers the undo (or redo) step that puts an earlier project back, kept as its difference from the
    // project that will be current when the step runs.
    void registerStep(UndoManager& undo, std::shared_ptr<const ProjectDifference> step, const std::string& actionName);
    // restoreProject with the reverse step already known (none without an undo manager).
    void replaceProject(VQProject&& next, std::shared_ptr<const ProjectDifference> reverse,
                        const std::string& actionName);
    // Posts the event with the node list.
    void postAddedNode(const Node& node);
    // The parent's children ordered along the sibling axis of the options, descending ones backwards.
    void orderChildrenByPosition(std::int64_t parentUID, const LayoutOptions& options);

    const std::string uniqueHandle_;
    VQProject project_;
    VQProject editingOriginalProject_;
    std::string editingLabel_;
    bool isInEditingSession_ = false;
    // The open session changed something.
    bool sessionChanged_ = false;
    std::shared_ptr<DocumentPictures> pictures_;
    // Each picture that was being read, by its address, with what it became.
    std::unordered_map<const NodePicture*, std::pair<std::shared_ptr<const NodePicture>, std::shared_ptr<const NodePicture>>>
        settledPictures_;

public:
    // ---- Reading and writing files ----
    // The framework entry points answer false and leave the error's text in `error` (when given) where
    // the throwing forms throw. A document whose read threw is never to be kept: DocumentFactory gives
    // none, and such a document refuses every later save.

    // Saves go into the document's own file.
    static constexpr bool autosavesInPlace = true;

    // The write of the project as a document archive at the url, whatever the type name: what is committed (while
    // a session is open, the project as it was when it opened), posting documentDidSave() once written; or the
    // project as it stands, the open session's changes included, posting nothing (the document itself is not
    // saved). None for a document whose read threw.
    std::unique_ptr<DocumentWrite> makeWrite(const std::string& url, const std::string& typeName, WriteContent content,
                                             std::optional<std::string>* error) override;
    // What a save writes: the project, or while a session is open the project as it was when it opened.
    const VQProject& committedProject() const { return isInEditingSession_ ? editingOriginalProject_ : project_; }
    bool readFromURL(const std::string& url, const std::string& typeName, std::optional<std::string>* error);
    // Reads by type name and extension (VQDocumentFiles::readerFor); anything but the own format makes the
    // document untitled first. Posts documentDidReadProject() and then documentDidReplaceProject() in every
    // case, failure included.
    void read(const std::string& url, const std::string& typeName);

    // ---- The document framework's questions ----

    bool hasOpenEditingSession() const override { return isInEditingSession_; }
    bool hasUncommittedChanges() const override { return isInEditingSession_ && sessionChanged_; }
    // Commits the open session, if any.
    void finishEditing() override;
    std::string defaultSaveType() const override { return std::string(documentType); }
    std::string defaultSaveExtension() const override { return "radovudo"; }
    // Reads the file into a new project first; only a complete read of a document archive replaces this
    // document's project (no undo step; documentDidReplaceProject() posted).
    bool revertToContentsOfURL(const std::string& url, const std::string& typeName,
                               std::optional<std::string>* error) override;
};

} // namespace velquine
