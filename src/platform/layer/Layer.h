#pragma once

// A small tree of drawing layers for the canvas: plain C++ objects (QtGui only) with geometry that tests
// can read without rendering, painted by LayerRenderer onto any QPainter.
//
// Usage:
//   auto node = std::make_shared<Layer>();
//   node->setAnchorPoint({0.5, 0.5});
//   node->setFrame({10, 20, 120, 60});          // position (70, 50), bounds (0, 0, 120, 60)
//   node->setCachesPicture(true);               // painted from a cached image while nothing inside changes
//   auto shape = std::make_shared<ShapeLayer>();
//   shape->setPath(roundedRectPath);            // in node's own coordinates
//   node->addSublayer(shape);
//   root->addSublayer(node);
//   {
//       Transaction t(true);                    // actions disabled: presentation jumps with the model
//       node->setPosition({200, 80});
//   }                                           // outermost commit runs pending layoutSublayers()
//   node->setPosition({300, 80});               // actions on: position() is (300, 80) at once, while
//                                               // presentationPosition() moves there over 0.25 s
//
// Coordinates: y grows downwards. A layer's own coordinate space is given by its bounds: the point
// bounds.origin is the layer's top-left corner, and sublayer positions are in that space. The layer sits in
// its superlayer so that the unit point anchorPoint of its bounds lies at position; frame() is that
// rectangle in the superlayer's coordinates. zPosition orders siblings only (ties keep insertion order).
//
// Model and presentation: getters return model values, set at once. Changing "position", "bounds",
// "opacity" (and a ShapeLayer's "path") asks actionForKey(key); when the current Transaction allows actions
// and an action comes back, the presentation value animates from its current state to the new one, driven
// by Animator. The renderer paints presentation values.
//
// Repaints: every visible change reports its old and new area (root coordinates) to the handler set on the
// root with setDirtyAreaHandler, so a host widget repaints only what changed. setNeedsDisplay() asks a
// layer to redraw its own content. A layer with cachesPicture() set is painted from an image of itself and
// its sublayers, kept per content revision and device scale; any change inside it makes a new revision.

#include <QColor>
#include <QImage>
#include <QPainterPath>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Geometry.h"
#include "platform/layer/LayerAction.h"

class QPainter;

namespace velquine {

struct LayerPictureCache;
class SublayerIndex;
class SublayerOrder;

// Where contents are placed in the bounds when their size differs.
enum class ContentsGravity {
    center, top, bottom, left, right, topLeft, topRight, bottomLeft, bottomRight,
    resize, resizeAspect, resizeAspectFill
};

// How a sublayer follows a change of its superlayer's bounds size (y grows downwards: "min Y" is the top).
enum AutoresizingMask : unsigned {
    layerNotSizable = 0,
    layerMinXMargin = 1,
    layerWidthSizable = 2,
    layerMaxXMargin = 4,
    layerMinYMargin = 8,
    layerHeightSizable = 16,
    layerMaxYMargin = 32
};

class Layer : public std::enable_shared_from_this<Layer> {
    struct Extras;

public:
    using Ptr = std::shared_ptr<Layer>;

    Layer();
    virtual ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    const std::string& name() const;
    void setName(const std::string& name);

    // --- Geometry (model values)
    Point position() const { return position_; }
    void setPosition(Point position);
    Rect bounds() const { return bounds_; }
    void setBounds(Rect bounds);
    Point anchorPoint() const { return anchorPoint_; }
    void setAnchorPoint(Point anchor);
    // The bounds placed in the superlayer: origin = position − anchorPoint × size.
    Rect frame() const;
    // Sets the bounds size and the position; the bounds origin is kept.
    void setFrame(Rect frame);
    double zPosition() const { return zPosition_; }
    void setZPosition(double z);
    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask);
    double contentsScale() const { return contentsScale_; }
    virtual void setContentsScale(double scale);

    // --- Presentation values (what is on screen while an animation runs)
    Point presentationPosition() const { return presentationValue<Point>("position", position_); }
    Rect presentationBounds() const { return presentationValue<Rect>("bounds", bounds_); }
    double presentationOpacity() const { return presentationValue<double>("opacity", opacity_); }
    Rect presentationFrame() const;
    bool hasAnimationForKey(const std::string& key) const;
    bool hasAnimations() const { return !animations_.empty(); }
    void removeAllAnimations();

    // --- Appearance
    double opacity() const { return opacity_; }
    void setOpacity(double opacity);
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool masks);
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    // An invalid colour draws nothing.
    QColor backgroundColor() const { return extras().backgroundColor; }
    void setBackgroundColor(const QColor& color);
    double cornerRadius() const { return extras().cornerRadius; }
    void setCornerRadius(double radius);
    double borderWidth() const { return extras().borderWidth; }
    void setBorderWidth(double width);
    QColor borderColor() const { return extras().borderColor; }
    void setBorderColor(const QColor& color);
    // The shadow is drawn while shadowOpacity > 0 from the alpha of the layer and its sublayers. Its offset
    // follows the platform's y-up convention: (0, −1) casts it one point down on screen.
    QColor shadowColor() const { return extras().shadowColor; }
    void setShadowColor(const QColor& color);
    double shadowOpacity() const { return extras().shadowOpacity; }
    void setShadowOpacity(double opacity);
    Size shadowOffset() const { return extras().shadowOffset; }
    void setShadowOffset(Size offset);
    double shadowRadius() const { return extras().shadowRadius; }
    void setShadowRadius(double radius);
    // An image drawn in the bounds by contentsGravity, under the layer's own drawing; its size is the
    // image's size in points (pixels / devicePixelRatio).
    const QImage& contents() const { return extras().contents; }
    void setContents(const QImage& image);
    ContentsGravity contentsGravity() const { return contentsGravity_; }
    void setContentsGravity(ContentsGravity gravity);
    // Draws the layer and its sublayers in shades of grey.
    bool hasGrayFilter() const { return grayFilter_; }
    void setGrayFilter(bool gray);

    // --- Tree
    Layer* superlayer() const { return superlayer_; }
    const std::vector<Ptr>& sublayers() const { return sublayers_; }
    // Adding a layer that has another superlayer moves it.
    void addSublayer(const Ptr& layer);
    void insertSublayer(const Ptr& layer, std::size_t index);
    void removeFromSuperlayer();
    // Removes every sublayer the predicate picks, in one pass over the sublayers; returns how many.
    std::size_t removeSublayers(const std::function<bool(const Layer&)>& which);
    void setSublayers(std::vector<Ptr> layers);
    // The sublayers in drawing order: by zPosition, ties in insertion order.
    const std::vector<Layer*>& sublayersInDrawingOrder() const;
    // The sublayers a paint of the area (own coordinates) looks at, in drawing order: every one whose visual
    // bounds meet it (touching edges count) and, where telling them apart would cost more than a walk, others.
    // A layer with very many sublayers keeps them filed by area, so that for a small area this costs what lies
    // near it: those are put in `near` and it is returned; otherwise the drawing order is. runAll, when given,
    // works out many changed sublayers' bounds on several threads. On the thread that owns the tree only.
    using RunAll = std::function<void(const std::vector<std::function<void()>>&)>;
    const std::vector<Layer*>& sublayersNear(const Rect& area, std::vector<Layer*>& near, const RunAll& runAll = {}) const;
    // Of sublayers listed in drawing order (some of this layer's, as a paint of part of its area visits them),
    // each but the first marked in joins when it is drawn in one run with the one listed before it: plain strokes
    // of one colour (LayerRenderer::strokeRunColor) with only such strokes between them in the whole order. On
    // the thread that owns the tree only.
    void markSublayerRuns(const std::vector<Layer*>& listed, std::vector<std::uint8_t>& joins) const;
    // From this many sublayers on, sublayersNear looks only near the area.
    static constexpr std::size_t sublayersFiledByArea = 256;
    Layer* rootLayer();
    const Layer* rootLayer() const;

    // --- Layout
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    // Lays out this layer (when asked to) and then every sublayer that needs it, top down.
    void layoutIfNeeded();
    // Places the sublayers; the base lays out nothing. Called by layoutIfNeeded().
    virtual void layoutSublayers() {}

    // --- Display
    // The layer's own drawing changed: repaint it and make cached pictures around it stale.
    void setNeedsDisplay();
    // Only this part of it changed (own coordinates): the rest is not painted again.
    void setNeedsDisplay(const Rect& area);
    bool cachesPicture() const { return cachesPicture_; }
    void setCachesPicture(bool caches);
    // Grows with every change to what the layer or any sublayer draws.
    std::uint64_t contentRevision() const { return contentRevision_; }

    // --- Conversion (a null layer means the root layer's coordinate space)
    Point convertPointToLayer(Point p, const Layer* layer) const;
    Point convertPointFromLayer(Point p, const Layer* layer) const;
    Rect convertRectToLayer(Rect r, const Layer* layer) const;
    Rect convertRectFromLayer(Rect r, const Layer* layer) const;
    // Whether the point (own coordinates) lies in the bounds.
    bool containsPoint(Point p) const { return bounds_.contains(p); }

    // --- Actions
    // The animation for a change of the property; none means the change jumps.
    virtual std::optional<LayerAction> actionForKey(const std::string& key) const;
    // The platform's own action for a key: the current transaction's timing for the animated properties
    // ("position", "bounds", "opacity", "path", "backgroundColor"), none for anything else or while the
    // transaction disables actions.
    static std::optional<LayerAction> defaultActionForKey(const std::string& key);

    // --- Drawing
    // Draws the layer's own content in its own coordinates, above background and contents, below
    // sublayers and border. The painter's opacity is already the layer's.
    virtual void draw(QPainter& painter) const;
    // The area draw() may paint, in own coordinates; the bounds unless a subclass knows better.
    virtual Rect drawingExtent() const;
    // Makes what draw() would otherwise work out the first time it is called in paints of the area (own
    // coordinates), so that draw() only reads the layer: paints on other threads then share it. Called on the
    // thread that owns the tree, with the animation clock held still and presentation values kept
    // (Animator::HeldValues) when the paints are shared.
    virtual void prepareForDrawing(const Rect& area) const;
    // Pieces (own coordinates) that together hold all that draw() paints, when they hold it much more tightly
    // than drawingExtent() (a long thin line crossing a big map). Changes of
    // a layer without sublayers, background, border, contents or shadow report these instead of its extent,
    // so that a view repaints only where the line passes.
    // Only pieces that meet the area (own coordinates; null: anywhere) are given: none when none meets it.
    // Nothing (not an empty list) when the extent is as tight.
    virtual std::optional<std::vector<Rect>> drawingPieces(const Rect& area) const;
    // What the layer and its visible sublayers paint, in the superlayer's coordinates; null when hidden.
    Rect visualBounds() const;
    // The same in own coordinates (position does not count).
    Rect subtreeExtent() const;
    // Called with areas in the root's coordinates whenever something visible changes under this root.
    void setDirtyAreaHandler(std::function<void(const Rect&)> handler);
    // The part of the root's coordinates the handler shows (a view's visible area): a change that covers
    // little of it is reported as one area, without working out the drawing pieces. Unset, changes anywhere
    // are cut.
    void setDirtyAreaFocus(std::optional<Rect> area);
    // While off, changes under this root report no areas (a host that repaints everything anyway saves
    // the work of computing them).
    void setReportsDirtyAreas(bool reports) { reportsDirtyAreas_ = reports; }
    bool reportsDirtyAreas() const { return reportsDirtyAreas_; }

    // Animator and renderer internals.
    LayerPictureCache& pictureCache() const;
    // The picture cache if one was made, without making one.
    const LayerPictureCache* existingPictureCache() const { return pictureCache_.get(); }
    bool hasVisibleShadow() const;
    // Reports the area the layer is drawn in now (with its pieces when it has them), while the root reports
    // areas at all: where an animating layer was drawn before its frame moves it on.
    void reportDrawnArea() const;
    // Advances the animations to Animator's frame time: reports where the layer is now and drops the finished
    // ones. Returns whether any is left.
    bool stepAnimations();

protected:
    enum class ChangeKind {
        geometry,     // moves or resizes what the layer paints
        appearance,   // changes what it paints inside its own picture
        placement,    // changes how its picture is composed (own opacity, shadow, visibility)
        depth         // changes only where it is drawn among its superlayer's sublayers
    };
    // Reports the area before and after the change (in the root's coordinates) and makes cached extents and
    // pictures stale. Subclass setters open one around the change of a field.
    class Change {
    public:
        // seen: whether the change shows at once. One that does not reports nothing: a field that starts an
        // animation from what is shown (the animation's first frame reports where the layer was drawn and where
        // it goes), a depth that reorders the layer only among lines drawn together with it. Thousands of lines
        // set gliding at once then cost no area worked out, and the frame that shows them still where they were
        // repaints none of them. What it buys (bench/tab_in_window.py, Tab on a node with 2,000 children, the
        // CPU of the frame that shows the new child, median of 6): 39.5 -> 19.2 ms.
        Change(Layer& layer, ChangeKind kind, bool seen = true);
        ~Change();
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;

    private:
        Layer& layer_;
        ChangeKind kind_;
        Rect before_;
        std::optional<std::vector<Rect>> beforePieces_;
        bool report_;
    };

    // Sets a field inside a Change of the kind, unless it already holds the value.
    template <class T>
    void setField(T& field, const T& value, ChangeKind kind)
    {
        if (field == value)
            return;
        {
            Change change(*this, kind);
            field = value;
        }
        noteRunKeyChange();
    }
    // After a change of what LayerRenderer::strokeRunColor reads (a field, a sublayer): the superlayer's order
    // looks at the layer's run key again.
    void noteRunKeyChange();

    // Starts the implicit animation of a property from its current presentation value with the action
    // startingAction() gave for the key before the change, or, with none, cancels it. Subclasses animate their
    // own keys through these.
    void animateChange(const std::string& key, const AnimatedValue& from, const AnimatedValue& to,
                       const std::optional<LayerAction>& action);
    // The action a change of the key made now animates with; none when it takes effect at once.
    std::optional<LayerAction> startingAction(const std::string& key) const;
    // Whether a change that starts an animation with the action (none: that starts none) shows at once: an
    // animation added now shows its start, the value shown, until a frame moves it on.
    static bool showsAtOnce(const std::optional<LayerAction>& starting);
    // The animation of a key that runs, if one does.
    const LayerAnimation* animationFor(std::string_view key) const;
    // The presentation value of a key: the model value unless an animation of it runs.
    template <class T>
    T presentationValue(std::string_view key, const T& model) const
    {
        if (animations_.empty())
            return model;
        const AnimatedValue value = animatedValue(key);
        if (const T* v = std::get_if<T>(&value))
            return *v;
        return model;
    }
    AnimatedValue animatedValue(std::string_view key) const;
    // Takes on the background, border, shadow and contents of a layer that is never shown, sharing them until
    // either changes one: many layers set up alike then hold them once. For a layer not yet in a tree.
    void shareExtrasWith(const Layer& prototype);
    void invalidateUpwards(ChangeKind kind);
    void reportArea(const Rect& rootArea) const;
    // Reports the pieces, or the area when the layer has none.
    void reportArea(const Rect& rootArea, const std::optional<std::vector<Rect>>& pieces) const;
    Rect areaInRoot() const;
    // An area in the superlayer's coordinates, in the root's.
    Rect superlayerAreaInRoot(Rect area) const;
    // The drawing pieces in the root's coordinates for the layer's area there, when it reports them: those in
    // the part of the root its handler shows.
    std::optional<std::vector<Rect>> piecesInRoot(const Rect& rootArea) const;

private:
    friend class Animator;
    friend class Transaction;
    friend class SublayerIndex;
    friend class SublayerOrder;
    // What few layers set: a background, a border, a shadow, contents, or, on a root, the dirty-area handler.
    // It is made when one of them is first set to something other than its default, so the many layers of a
    // map pay for none of it.
    struct Extras {
        QColor backgroundColor;
        double cornerRadius = 0;
        double borderWidth = 0;
        QColor borderColor{Qt::black};
        QColor shadowColor{Qt::black};
        double shadowOpacity = 0;
        Size shadowOffset{0, -3};
        double shadowRadius = 3;
        QImage contents;
        std::function<void(const Rect&)> dirtyAreaHandler;
        std::optional<Rect> dirtyAreaFocus;
    };
    const Extras& extras() const;
    // Sets a field of the extras inside a Change of the kind, unless it already holds the value.
    template <class T>
    void setExtra(T Extras::*field, const T& value, ChangeKind kind)
    {
        if (extras().*field == value)
            return;
        {
            Change change(*this, kind);
            ownExtras().*field = value;
        }
        noteRunKeyChange();
    }
    bool reportsToHandler() const { return reportsDirtyAreas_ && extras_ && extras_->dirtyAreaHandler; }
    // The extras for writing: made, or copied when shared with other layers.
    Extras& ownExtras();

    void attachSublayer(const Ptr& layer, std::size_t index);
    void resizeSublayers(Size oldSize);
    // Lists the layer as asking for layout in its superlayer, and that one in its own, up to a layer that
    // already knows a layer below it asks.
    void markAncestorsNeedLayout();
    // The listed sublayers that still ask for layout, in the order of the list of sublayers; the list is emptied.
    std::vector<Ptr> takeAskingSublayers();

    // One of the program's few layer names, kept once for every layer that bears it.
    const std::string* name_ = nullptr;
    Point position_;
    Rect bounds_;
    Point anchorPoint_{0.5, 0.5};
    double zPosition_ = 0;
    unsigned autoresizingMask_ = layerNotSizable;
    double contentsScale_ = 1.0;
    double opacity_ = 1.0;
    bool hidden_ = false;
    bool masksToBounds_ = false;
    bool opaque_ = false;
    bool grayFilter_ = false;
    bool cachesPicture_ = false;
    bool needsLayout_ = false;
    bool descendantNeedsLayout_ = false;
    // In the superlayer's askingSublayers_.
    bool listedAsAsking_ = false;
    // In the current transaction's list of layers to lay out (once however often it asks).
    bool layoutScheduled_ = false;
    // Shared between layers that set the same values (see shareExtrasWith) until one of them changes one.
    std::shared_ptr<Extras> extras_;
    ContentsGravity contentsGravity_ = ContentsGravity::resize;

    // What a paint reads of every layer comes first; the bookkeeping of changes, layout and the superlayer's
    // order and index, last.
    bool hiddenForRemoval_ = false;
    Layer* superlayer_ = nullptr;
    std::vector<Ptr> sublayers_;
    std::uint64_t contentRevision_ = 0;
    mutable bool extentValid_ = false;
    mutable Rect extent_;
    bool reportsDirtyAreas_ = true;
    // Whether the animator lists the layer among those it steps each frame.
    bool listedForFrames_ = false;
    std::vector<LayerAnimation> animations_;
    mutable std::unique_ptr<LayerPictureCache> pictureCache_;
    // The sublayers in drawing order, and filed by area when there are very many (made as first needed).
    mutable std::unique_ptr<SublayerOrder> drawingOrder_;
    mutable std::unique_ptr<SublayerIndex> areaIndex_;
    // Sublayers that asked for layout (or have one below that did) since the last layout visited them.
    std::vector<Layer*> askingSublayers_;
    // How many sublayers follow a change of this layer's size.
    int sizableSublayers_ = 0;
    SublayerOrder& drawingOrder() const;
    // Takes the layer out of what its superlayer counts and lists of it, while it is still among its sublayers.
    void leaveSuperlayerBookkeeping();
    // Where the layer is filed in its superlayer's drawing order: its stamp grows with its place in the list.
    struct OrderSlot {
        std::uint64_t stamp = 0;
        double filedZ = 0;
        bool filed = false;
        bool waiting = false;
        // Its run key, while the superlayer's order keeps them (SublayerOrder::keepRunKeys()).
        std::uint32_t runKey = 0;
    };
    OrderSlot orderSlot_;
    // Where the layer is filed in its superlayer's area index.
    struct AreaSlot {
        std::int32_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
        std::uint32_t seen = 0;
        std::uint32_t listAt = 0;
        std::uint32_t markedAt = 0;
        std::uint8_t place = 0;
        bool marked = false;
    };
    AreaSlot areaSlot_;
};

// Whether two extents (sizes not negative) meet, touching edges included; the null rectangle meets nothing.
inline bool extentsMeet(const Rect& a, const Rect& b)
{
    return !a.isNull() && !b.isNull() && a.origin.x <= b.origin.x + b.size.width && b.origin.x <= a.origin.x + a.size.width
           && a.origin.y <= b.origin.y + b.size.height && b.origin.y <= a.origin.y + a.size.height;
}

// The rectangle contents of a size take in bounds under a gravity (whole points where the gravity rounds).
Rect contentsRect(ContentsGravity gravity, const Rect& bounds, Size contentSize);

} // namespace velquine
