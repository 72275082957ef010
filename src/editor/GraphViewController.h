#pragma once

// The controller of one editor window's canvas.
//
// It owns no model: it holds the document weakly, mirrors the document's project into the GraphView whenever
// the document reports a change, and runs every command aimed at the canvas (menu items, toolbar buttons,
// keys, and the canvas's own gestures through GraphViewDelegate) as one undoable editing session of the
// document. Every command reads document->project() afresh; no node is kept between events.
//
// Sessions: a command opens a session with its undo label, or joins the one already open (keeping that
// session's label), changes the project and commits. A command that fails cancels the session only when it
// opened it itself; when it joined someone else's session it puts back only its own changes and leaves that
// session open (CommandSession).
//
// Follow-up work that must see the result of the current command (the reveal of a new node, starting the
// title editor on a new node, the second step of a forced reload) is deferred through RunLoop::post.
//
// The commands themselves live in four groups the controller owns (structure, style, layout and view,
// clipboard); each registers its handlers on the controller's responder.
//
// Made with create(), which registers it with the document and the canvas; the window keeps the returned
// pointer for its life and puts the controller in its responder chain.

#include <QPointer>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "canvas/GraphView.h"
#include "canvas/GraphViewDelegate.h"
#include "document/VQDocument.h"
#include "document/VQDocumentEventListener.h"
#include "editor/ClipboardCommands.h"
#include "editor/LayoutViewCommands.h"
#include "editor/StructureCommands.h"
#include "editor/StyleCommands.h"
#include "kit/ScrollView.h"
#include "platform/ActionDispatcher.h"
#include "platform/NotificationCenter.h"

namespace velquine {

class GraphViewController : public Responder,
                            public VQDocumentEventListener,
                            public GraphViewDelegate,
                            public std::enable_shared_from_this<GraphViewController> {
public:
    // A controller of the canvas inside the scroll view, for the document: registered as the document's
    // listener and the canvas's delegate, the canvas loaded (forced) and the keyboard focus asked for.
    static std::shared_ptr<GraphViewController> create(const std::shared_ptr<VQDocument>& document,
                                                       GraphView* graphView, ScrollView* scrollView);
    ~GraphViewController() override;

    // The document, kept alive for the length of a command; null once it is gone.
    std::shared_ptr<VQDocument> lockDocument() const { return document_.lock(); }
    GraphView* graphView() const { return graphView_; }
    ScrollView* scrollView() const { return scrollView_; }

    // ---- Canvas ----

    // Mirrors the project into the canvas; re-frames it when the canvas rectangle changed or when forced.
    void reloadGraphView(bool force);
    // Widens the canvas so that a view that goes to the rectangle (document coordinates) shows it: it holds the
    // rectangle as a reload holds the part on screen, or, along an axis where it is shorter than the view, stands
    // evenly about the rectangle's middle. The part on screen stays where it is.
    void holdOnCanvas(const Rect& shown);
    void notifyDocumentListeners(std::function<void(VQDocumentEventListener&)> event);

    // ---- Command groups ----

    StructureCommands& structure() { return *structure_; }
    StyleCommands& style() { return *style_; }
    LayoutViewCommands& layoutView() { return *layoutView_; }
    ClipboardCommands& clipboard() { return *clipboard_; }

    // ---- Session helpers for the command groups ----

    // The editing session of one command: opened here, or joined (with the project as it was before the
    // command, so a failure puts back only the command's own changes).
    struct CommandSession {
        bool opened = false;
        VQProject before;
    };
    CommandSession openSession(VQDocument& document, const std::string& label);
    void commitSession(VQDocument& document);
    void cancelSession(VQDocument& document, CommandSession& session);

    // The two selections: the project's, through the project's graph, and the canvas's, through the graph the
    // canvas was last given.
    std::vector<Node> projectSelection() const;
    std::vector<Node> canvasSelection() const;
    // The reveal of the node on the next turn.
    void postReveal(std::int64_t uid);
    // LayoutViewCommands::keepMapInView on the next turn.
    void postKeepMapInView(bool mapWasWhole);
    // Starts the title editor, when there is one; false when there is none.
    bool startTitleEditor(bool commitEvenIfTitleDoesntChange, std::function<void()> completion);

    // ---- Validation ----

    bool validateMenuItem(ActionItem& item) override;
    bool validateToolbarItem(ActionItem& item) override;
    bool respondsToToolbarItemState() const override { return true; }
    ControlState validateToolbarItemState(const ActionItem& item) override;

    // ---- Listener ----

    void documentDidReplaceProject() override;
    void documentDidCancelEditingSession() override;
    void documentDidCommitEditingSession() override;
    void documentDidChangeBackgroundColor() override;
    void documentDidChangeStyle() override;
    void documentDidAddNodes(const std::vector<Node>& nodes) override;
    void documentDidUpdateNodes(const std::vector<Node>& nodes, NodeUpdateOperation operation) override;
    void documentDidReadPictures(const std::vector<Node>& nodes) override;
    void documentDidChangeSelection() override;

    // ---- Canvas delegate ----

    void selectNodes(const std::vector<Node>& nodes, bool revealSingle) override;
    void pointerDidSelectNodes(const std::vector<Node>& nodes) override { selectNodes(nodes, false); }
    void insertChildNode(const Node& parent, std::optional<Point> position) override
    {
        structure_->insertChildNode(parent, position);
    }
    void didBeginEditingNodeTitle() override;
    void didEndEditingNodeTitle() override;
    void editNodeTitle(const Node& node, bool finishing) override;
    void abandonTitleEdit() override;
    void moveNodes(std::vector<Node> nodes) override;
    void moveDraggedNodes(const Node& parent, const std::vector<Node>& draggedNodes,
                          const std::vector<std::int64_t>& newChildrenOrder) override;
    void resizeNode(const Node& node) override;
    void graphViewWantsToAttachNode(const Node& node, const Node& attachTo,
                                    const std::vector<Node>& draggedNodes) override;
    void setNodeImage(const Node& node) override;
    void newImageNodes(const std::vector<Image>& images, Point at) override;

    // Starts the title editor on the selected node layers; the canvas's own editor unless replaced. The
    // arguments are: keep the edit even when the title did not change, and what runs when the editor ends.
    // Without it no editor starts and the creation's session stays open for the next command.
    using TitleEditorStarter = std::function<void(bool commitEvenIfTitleDoesntChange, std::function<void()>)>;
    void setTitleEditorStarter(TitleEditorStarter starter) { titleEditorStarter_ = std::move(starter); }

private:
    GraphViewController(const std::shared_ptr<VQDocument>& document, GraphView* graphView, ScrollView* scrollView);
    void viewDidLoad();
    void registerActions();
    void reloadGraphViewKeepingSelectionInView();
    void scheduleForcedReloadChain();
    // The canvas takes the rectangle under the part of the map on screen, which stays where it is.
    void reframeCanvas(const Rect& canvasRect);
    bool validateBySelection(ActionItem& item, VQDocument& document);

    std::weak_ptr<VQDocument> document_;
    QPointer<GraphView> graphView_;
    QPointer<ScrollView> scrollView_;
    Rect oldGraphBounds_; // the canvas rectangle of the last reload
    TitleEditorStarter titleEditorStarter_;
    std::unique_ptr<StructureCommands> structure_;
    std::unique_ptr<StyleCommands> style_;
    std::unique_ptr<LayoutViewCommands> layoutView_;
    std::unique_ptr<ClipboardCommands> clipboard_;
};

} // namespace velquine
