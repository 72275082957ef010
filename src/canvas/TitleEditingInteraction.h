#pragma once

// Editing a node's title in place: one shared text view over the node layer's label, which grows the node as
// the title is typed.

#include <functional>
#include <optional>
#include <string>

#include "canvas/CanvasGesture.h"
#include "canvas/GraphView.h"

namespace velquine {

class TitleEditingInteraction : public CanvasGesture {
public:
    // The edit in progress, or the last one: the node as it was when editing began (before any initial text),
    // what runs when the edit ends, and whether an unchanged title still counts as an edit.
    struct EditingContext {
        std::int64_t nodeUID = 0;
        Node node;
        std::function<void()> completionHandler;
        bool commitEvenIfTitleDoesntChange = false;
    };

    TitleEditingInteraction(GraphView& view, CanvasSync& sync);
    ~TitleEditingInteraction() override;
    TitleEditingInteraction(const TitleEditingInteraction&) = delete;
    TitleEditingInteraction& operator=(const TitleEditingInteraction&) = delete;

    // Active while the editor is open. The editor has the keyboard and the pointer hovers on; a press on the
    // canvas commits the edit, as the editor losing the keyboard does; a reload puts the editor back over its
    // node.
    void press(const GestureInput&) override {}
    void move(const GestureInput&) override {}
    void release(const GestureInput&) override {}
    bool followsButtons() const override { return false; }
    void cancel() override { endEditingTitle(true); }
    void didReload() override;

    // Opens the title editor over the node layer. An edit already running is committed first. With an initial
    // text the title starts as that text; selectAll selects the whole title, else the caret stands at the end.
    void beginEditingTitle(NodeLayer& layer, bool commitEvenIfTitleDoesntChange,
                           std::optional<std::string> initialText, bool selectAll,
                           std::function<void()> completionHandler);
    // beginEditingTitle on every selected node layer, with the title selected and no initial text.
    void beginEditingSelectedTitles(bool commitEvenIfTitleDoesntChange, std::function<void()> completionHandler);
    // Commits (true) or cancels (false) the edit; nothing when none is running.
    void endEditingTitle(bool commit);
    bool isNodeEditorActive() const { return isNodeEditorActive_; }
    // The shared text view; null until the first edit.
    NodeTitleEditor* nodeEditor() { return nodeEditor_; }
    // Typing a printable character with one node selected starts editing its title with that text.
    bool beginEditingTitleFromKey(QKeyEvent* event);
    // Puts the editor over the label of the node being edited, at the current magnification.
    void placeTitleEditor();
    // The view deletes the editor before it goes.
    void deleteTitleEditor();

private:
    // Refits the node and the editor to the typed text.
    void resizeTitleEditorToFit();
    // The editor itself, and where it stands.
    void makeTitleEditor();
    void forEachSelectedLayer(const std::function<void(NodeLayer&)>& body);
    // The side a node grows to while its title is typed: the one facing away from its parent.
    std::uint8_t growthAnchor(const Node& node) const;
    // Scrolls the canvas as little as needed to show editingNode_ whole, and the map with it while it fits once
    // the map was shown whole during the editing.
    void keepTitleEditorInView();
    // Whether the visible part of the canvas holds the whole map (to a pixel).
    bool showsWholeMap() const;
    void prepareTitleEditor(const Node& shown);

    GraphView& view_;
    CanvasSync& sync_;
    bool isNodeEditorActive_ = false;
    std::optional<EditingContext> editingContext_;
    // The node as the editor shows it: the context node with the typed title and its size.
    std::optional<Node> editingNode_;
    // Whether the map was shown whole at some time during the editing.
    bool mapWasWhole_ = false;
    NodeTitleEditor* nodeEditor_ = nullptr;
};

} // namespace velquine
