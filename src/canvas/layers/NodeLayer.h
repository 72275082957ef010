#pragma once

// One node of the map on the canvas: its outline and fill, its title, its image, and, made the first time
// they are needed, the selection focus ring, the resize handles, the underline and the "+" hover button. The
// layer draws from its own copy of the node and never writes the model.
//
// A new layer holds only its outline and its title; a map of many nodes therefore costs two sublayers per
// node until a node is selected, hovered, underlined or given an image. The title is laid out for its frame
// once per change of the node (not again for each layout pass), and lineHeight is measured only when read.

#include <memory>
#include <optional>
#include <string>

#include <QPainterPath>

#include "canvas/layers/HoverButtonLayer.h"
#include "canvas/layers/NodeGeometry.h"
#include "canvas/layers/NodeHandleLayer.h"
#include "model/graph/LayoutOptions.h"
#include "model/graph/Node.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/layer/TextLayer.h"

namespace velquine {

// A text layer whose changes never animate (unless animateTextChange is set and animations are allowed).
class NonAnimatingTextLayer : public TextLayer {
public:
    bool animateTextChange = false;
    std::optional<LayerAction> actionForKey(const std::string& key) const override;
};

// A node's outline. It is resized with the node, whose bounds never animate, so its frame jumps too: a
// sliding outline would lag behind its node, and a map being opened would animate every outline.
class NodeShapeLayer : public ShapeLayer {
public:
    std::optional<LayerAction> actionForKey(const std::string& key) const override;
};

// The user default that turns every implicit animation of node and branch layers off.
bool animationsDisabled();

class NodeLayer : public Layer {
public:
    using DockPointLocation = velquine::DockPointLocation;

    static constexpr double zPositionNode = -10;

    NodeLayer();
    ~NodeLayer() override;

    // The debug drawing the editor's command flips: coloured borders around image, label and node.
    static bool isDebugDrawingEnabled();
    static void setDebugDrawingEnabled(bool enabled);

    // --- Sublayers. The first two always exist; the accessors of the others make them when first asked.
    const std::shared_ptr<NonAnimatingTextLayer>& labelLayer() const { return labelLayer_; }
    const std::shared_ptr<ShapeLayer>& shapeLayer() const { return shapeLayer_; }
    ShapeLayer& focusRingLayer();
    Layer& imageLayer();
    NodeHandleLayer& handleLayer();
    ShapeLayer& underlineLayer();
    HoverButtonLayer& hoverButtonLayer();
    bool hasFocusRingLayer() const { return bool(focusRingLayer_); }
    bool hasImageLayer() const { return bool(imageLayer_); }
    bool hasHandleLayer() const { return bool(handleLayer_); }
    bool hasUnderlineLayer() const { return bool(underlineLayer_); }
    bool hasHoverButtonLayer() const { return bool(hoverButtonLayer_); }
    // Whether each is made and not hidden.
    bool isFocusRingShown() const;
    bool areHandlesShown() const;
    bool isUnderlineShown() const;
    bool isImageShown() const;
    bool isHoverButtonShown() const;
    // Shows or hides the focus ring and the handles together, or the hover button; hiding one never made
    // does not make it. While the title waits (isLabelDeferred), ring and handles never made wait with it: made
    // for every node of a big map that Select All takes, they would cost more than all else it does.
    void setSelectionLayersHidden(bool hidden);
    // Whether the ring and handles show, or wait with the title to show.
    bool showsSelectionLayers() const { return selectionLayersWait_ || areHandlesShown(); }
    void setHoverButtonHidden(bool hidden);

    // --- State
    const Node& node() const { return *node_; }
    // The sides of its parent the node lies on, which the hover button goes by: taken from where the node and
    // its parent lie when the node was stored with its parent, else the node's own. Kept beside the node, so
    // that a node whose stored sides are out of date is still shared with its graph, not copied.
    HorizontalAffinity horizontalSide() const { return horizontalSide_; }
    VerticalAffinity verticalSide() const { return verticalSide_; }
    // Stores the copy; the caller asks for updateContents() when the look should follow. A copy that differs
    // only where the node sits (see looksLike) keeps the laid-out title.
    void setNode(const Node& node);
    // Stores the copy with its sides of the parent.
    void setNode(const Node& node, const Node* parent);
    // The same, holding the node itself (shared with the graph it comes from, not copied).
    void setNode(std::shared_ptr<const Node> node, const Node* parent);
    // Moves the stored copy to the centre, with its sides of the parent when one is given: what setNode does
    // for a node that differs from the copy only by its centre.
    void setNodeCenter(Point center, const Node* parent);
    // Whether two nodes draw alike: they differ at most in centre, parent, children, affinities and
    // timestamps, none of which the layer draws from.
    static bool looksLike(const Node& a, const Node& b);
    NodeType nodeType() const { return nodeType_; }
    void setNodeType(NodeType type) { nodeType_ = type; }
    const LayoutOptions& layoutOptions() const { return layoutOptions_; }
    void setLayoutOptions(const LayoutOptions& options) { layoutOptions_ = options; }
    bool isBeingEdited() const { return isBeingEdited_; }
    void setBeingEdited(bool editing) { isBeingEdited_ = editing; }
    DockPointLocation hoverButtonDockPoint() const { return hoverButtonDockPoint_; }
    Point mouseLocation() const { return mouseLocation_; }
    // The height of the title wrapped at the layer's width, for the title of the last updateContents().
    double lineHeight() const;
    bool isSelected() const { return isSelected_; }
    // Stores the flag and, unless the title is being edited, shows the focus ring and handles exactly when
    // selected.
    void setSelected(bool selected);
    bool isFocused() const { return isFocused_; }
    void setFocused(bool focused) { isFocused_ = focused; }
    bool isFaded() const { return isFaded_; }
    void setFaded(bool faded) { isFaded_ = faded; }
    bool isDragged() const { return isDragged_; }
    void setDragged(bool dragged) { isDragged_ = dragged; }
    bool isHovered() const { return isHovered_; }
    void setHovered(bool hovered) { isHovered_ = hovered; }
    bool isHighlighted() const { return isHighlighted_; }
    void setHighlighted(bool highlighted) { isHighlighted_ = highlighted; }

    // --- Operations
    // Refreshes everything drawn from the node: fill, outline, border, title, alignment and image. Does
    // nothing while the layer is dragged.
    void updateContents();
    // Strokes the outline (and dashes the underline) from the style, tints the hover button.
    void updateBorder();
    // The outline, focus ring and underline of a shape for the current bounds.
    void updateShapePath(NodeShape shape);
    // Moves the hover button to the side the pointer (canvas coordinates) and the layout ask for and marks
    // it active while the pointer is on it.
    void updateHover(Point location);
    // Hides focus ring, title and handles while the title editor covers the node; shows them after.
    void updateEditingState();
    // Greys the node out (focus mode) or brings it back.
    void updateFadedState();

    void layoutSublayers() override;
    std::optional<LayerAction> actionForKey(const std::string& key) const override;
    void setContentsScale(double scale) override;

    // The title frame (own coordinates) the last layout pass used, or, while the title waits, the one it
    // will use.
    Rect labelFrameInLayer() const;

    // While set, layout passes leave the title and image where they are, and an underline waits to be made:
    // measuring titles is the dearest part of a node, and a canvas has no need of it for nodes nobody sees.
    // Clearing it places them now.
    bool isLabelDeferred() const { return labelDeferred_; }
    // Bookkeeping of the canvas that holds the layer: its place, counted from 1, in the canvas's list of layers
    // that wait to follow their nodes; 0 when it shows its node where it is.
    std::size_t unsettledSlot = 0;
    void setLabelDeferred(bool deferred);

private:
    void setupLayers();
    void prepareLazySublayer(Layer& layer, double zPosition) const;
    void applyFocusRingPath();
    void applyUnderline();
    void applyDebugBorders();
    void placeLabelAndImage() const;

    // Read for every node a reload moves, with unsettledSlot just above: kept together.
    bool isBeingEdited_ = false;
    bool isDragged_ = false;
    std::shared_ptr<const Node> node_;
    HorizontalAffinity horizontalSide_ = HorizontalAffinity::right;
    VerticalAffinity verticalSide_ = VerticalAffinity::below;

    std::shared_ptr<NonAnimatingTextLayer> labelLayer_;
    std::shared_ptr<ShapeLayer> shapeLayer_;
    std::shared_ptr<ShapeLayer> focusRingLayer_;
    std::shared_ptr<Layer> imageLayer_;
    std::shared_ptr<NodeHandleLayer> handleLayer_;
    std::shared_ptr<ShapeLayer> underlineLayer_;
    std::shared_ptr<HoverButtonLayer> hoverButtonLayer_;

    DockPointLocation hoverButtonDockPoint_ = DockPointLocation::left;
    NodeType nodeType_ = NodeType::root;
    Point mouseLocation_;
    bool isSelected_ = false;
    bool isFocused_ = false;
    LayoutOptions layoutOptions_;
    bool isFaded_ = false;
    bool isHovered_ = false;
    bool isHighlighted_ = false;

    // What the outline, underline and ring were last made from.
    struct ShapeInputs {
        NodeShape shape;
        Rect bounds;
        std::uint64_t nodeRevision;
        LayoutOptions::LayoutType layoutType;
        bool hasUnderline;
        bool operator==(const ShapeInputs&) const = default;
    };
    std::optional<ShapeInputs> shapeInputs_;
    // What the lazily made sublayers take on when they appear.
    std::optional<NodeShape> ringShape_;      // shape and bounds of the last updateShapePath
    Rect ringBounds_;
    std::optional<NodeShape> underlineShape_;
    double sublayerOpacity_ = 1.0;            // 0.25 while faded
    // The title as laid out: valid for labelNodeRevision_ == nodeRevision_.
    std::uint64_t nodeRevision_ = 0;
    mutable std::uint64_t labelNodeRevision_ = ~std::uint64_t{0};
    bool labelDeferred_ = false;
    // Shown selected while the title waits: the ring and handles are made when it is placed.
    bool selectionLayersWait_ = false;
    mutable std::optional<double> lineHeight_;
    double lineHeightWidth_ = 0;
};

} // namespace velquine
