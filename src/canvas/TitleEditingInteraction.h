#pragma once

// Editing a node's title in place: one shared text view over the node layer's label, which grows the node as
// the title is typed.

#include "canvas/GraphView.h"

namespace velquine {

class TitleEditingInteraction {
public:
    explicit TitleEditingInteraction(GraphView& view);
    ~TitleEditingInteraction();
    TitleEditingInteraction(const TitleEditingInteraction&) = delete;
    TitleEditingInteraction& operator=(const TitleEditingInteraction&) = delete;

    // Opens the title editor over the node layer. An edit already running is committed first. With an initial
    // text the title starts as that text; selectAll selects the whole title, else the caret stands at the end.
    void beginEditingTitle(NodeLayer& layer, bool commitEvenIfTitleDoesntChange,
                           std::optional<std::string> initialText, bool selectAll,
                           std::function<void()> completionHandler);
    // beginEditingTitle on every selected node layer, with the title selected and no initial text.
    void beginEditingSelectedTitles(bool commitEvenIfTitleDoesntChange, std::function<void()> completionHandler);
    // Commits (true) or cancels (false) the edit; nothing when none is running.
    void endEditingTitle(bool commit);
    // Refits the node and the editor to the typed text.
    void resizeTitleEditorToFit();
    // Escape in the editor: the edit is cancelled.
    void cancelOperation();
    bool isNodeEditorActive() const { return isNodeEditorActive_; }
    const std::optional<GraphView::EditingContext>& editingContext() const { return editingContext_; }
    // The shared text view; null until the first edit.
    NodeTitleEditor* nodeEditor() const { return nodeEditor_; }
    // Typing a printable character with one node selected starts editing its title with that text.
    bool beginEditingTitleFromKey(QKeyEvent* event);
    // The editor itself, and where it stands.
    void makeTitleEditor();
    void forEachSelectedLayer(const std::function<void(NodeLayer&)>& body);
    // The side a node grows to while its title is typed: the one facing away from its parent.
    std::uint8_t growthAnchor(const Node& node) const;
    // Puts the editor over the label of editingNode_, at the current magnification.
    void placeTitleEditor();
    // Scrolls the canvas as little as needed to show editingNode_ whole.
    void keepTitleEditorInView();
    void prepareTitleEditor(const Node& shown);
    // Abandons the document's open editing session, restoring its snapshot.
    void abandonEditingSession();
private:
    // The view deletes the editor before it goes.
    friend class GraphView;

    GraphView& view_;
    bool isNodeEditorActive_ = false;
    std::optional<GraphView::EditingContext> editingContext_;
    // The node as the editor shows it: the context node with the typed title and its size.
    std::optional<Node> editingNode_;
    NodeTitleEditor* nodeEditor_ = nullptr;
};

} // namespace velquine
