#include "canvas/layers/NodeLayer.h"

#include <QGuiApplication>
#include <QPalette>

#include <atomic>
#include <tuple>

#include "canvas/layers/StrokeMetrics.h"
#include "layout/NodeSizing.h"
#include "platform/TextMeasurement.h"
#include "platform/UserDefaults.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

std::atomic<bool> debugDrawing{false};

QColor accentColor()
{
    QColor color = QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    color.setAlphaF(0.5f);
    return color;
}

TextAlignment labelAlignment(std::int64_t raw)
{
    switch (raw) {
    case static_cast<std::int64_t>(TextAlignment::left): return TextAlignment::left;
    case static_cast<std::int64_t>(TextAlignment::right): return TextAlignment::right;
    case static_cast<std::int64_t>(TextAlignment::justified): return TextAlignment::justified;
    default: return TextAlignment::center;
    }
}

} // namespace

bool animationsDisabled()
{
    // Asked at every change of a layer's value: read again only once the settings changed.
    thread_local std::uint64_t readAt = 0;
    thread_local bool disabled = false;
    const UserDefaults& defaults = UserDefaults::standard();
    if (const std::uint64_t revision = defaults.revision(); revision != readAt) {
        disabled = defaults.boolForKey("disableAnimations");
        readAt = revision;
    }
    return disabled;
}

std::optional<LayerAction> NonAnimatingTextLayer::actionForKey(const std::string& key) const
{
    if (!animateTextChange)
        return std::nullopt;
    std::optional<LayerAction> action = defaultActionForKey(key);
    if (action && animationsDisabled())
        return std::nullopt;
    return action;
}

std::optional<LayerAction> NodeShapeLayer::actionForKey(const std::string& key) const
{
    if (key == "position" || key == "bounds")
        return std::nullopt;
    return ShapeLayer::actionForKey(key);
}

namespace {

// What a layer holds until it is given its node: made once, copied into every new layer.
const std::shared_ptr<const Node>& placeholderNode()
{
    static const std::shared_ptr<const Node> node = std::make_shared<const Node>(-1, std::nullopt, NodeStyle());
    return node;
}

} // namespace

NodeLayer::NodeLayer()
    : node_(placeholderNode()), labelLayer_(std::make_shared<NonAnimatingTextLayer>()),
      shapeLayer_(std::make_shared<NodeShapeLayer>())
{
    setupLayers();
}

NodeLayer::~NodeLayer() = default;

bool NodeLayer::isDebugDrawingEnabled() { return debugDrawing.load(); }
void NodeLayer::setDebugDrawingEnabled(bool enabled) { debugDrawing.store(enabled); }

void NodeLayer::setupLayers()
{
    setName("node");
    setAnchorPoint({0.5, 0.5});
    setAutoresizingMask(layerNotSizable);
    setMasksToBounds(false);
    setOpaque(false);
    setZPosition(zPositionNode);
    // Every node layer starts with the same shadow: one set of it serves them all until one changes.
    static const std::shared_ptr<Layer> shadowed = [] {
        auto layer = std::make_shared<Layer>();
        layer->setShadowOffset({0, -1});
        layer->setShadowRadius(3.0);
        layer->setShadowColor(QColor(44, 62, 80));
        return layer;
    }();
    shareExtrasWith(*shadowed);
    setCachesPicture(true);

    shapeLayer_->setFrame(bounds());
    shapeLayer_->setAnchorPoint({0.5, 0.5});
    shapeLayer_->setAutoresizingMask(layerWidthSizable | layerHeightSizable);
    shapeLayer_->setZPosition(-50);
    shapeLayer_->setMasksToBounds(false);
    addSublayer(shapeLayer_);

    labelLayer_->setPosition(bounds().center());
    labelLayer_->setAnchorPoint({0.5, 0.5});
    labelLayer_->setZPosition(10);
    labelLayer_->setOpacity(1);
    labelLayer_->setAlignmentMode(TextAlignment::center);
    labelLayer_->setMasksToBounds(false);
    labelLayer_->setContentsGravity(ContentsGravity::center);
    labelLayer_->setWrapped(true);
    labelLayer_->setContentsScale(contentsScale());
    addSublayer(labelLayer_);
}

// --- Sublayers made on demand

void NodeLayer::prepareLazySublayer(Layer& layer, double zPosition) const
{
    layer.setZPosition(zPosition);
    layer.setOpacity(sublayerOpacity_);
    layer.setContentsScale(contentsScale());
}

ShapeLayer& NodeLayer::focusRingLayer()
{
    if (!focusRingLayer_) {
        Transaction transaction(true);
        focusRingLayer_ = std::make_shared<ShapeLayer>();
        focusRingLayer_->setName("focusRing");
        focusRingLayer_->setFrame(bounds().insetBy(-focusRingOutset, -focusRingOutset));
        focusRingLayer_->setAutoresizingMask(layerWidthSizable | layerHeightSizable);
        focusRingLayer_->setMasksToBounds(false);
        focusRingLayer_->setFillColor(accentColor());
        focusRingLayer_->setHidden(true);
        focusRingLayer_->setZPosition(-100);
        focusRingLayer_->setOpacity(sublayerOpacity_);
        // Shape and focus ring keep the node's own scale (they are paths, not pictures).
        applyFocusRingPath();
        addSublayer(focusRingLayer_);
        setNeedsLayout();
    }
    return *focusRingLayer_;
}

Layer& NodeLayer::imageLayer()
{
    if (!imageLayer_) {
        Transaction transaction(true);
        imageLayer_ = std::make_shared<Layer>();
        imageLayer_->setName("image");
        imageLayer_->setAnchorPoint({0.5, 0.5});
        prepareLazySublayer(*imageLayer_, 10);
        imageLayer_->setOpaque(false);
        imageLayer_->setMasksToBounds(true);
        imageLayer_->setContentsGravity(ContentsGravity::resizeAspect);
        imageLayer_->setHidden(true);
        addSublayer(imageLayer_);
        labelNodeRevision_ = ~std::uint64_t{0};  // place the image at the next layout
        setNeedsLayout();
    }
    return *imageLayer_;
}

NodeHandleLayer& NodeLayer::handleLayer()
{
    if (!handleLayer_) {
        Transaction transaction(true);
        handleLayer_ = std::make_shared<NodeHandleLayer>();
        handleLayer_->setFrame(bounds());
        handleLayer_->setAutoresizingMask(layerWidthSizable | layerHeightSizable);
        prepareLazySublayer(*handleLayer_, 50);
        handleLayer_->setHidden(true);
        addSublayer(handleLayer_);
        handleLayer_->setNeedsLayout();
    }
    return *handleLayer_;
}

ShapeLayer& NodeLayer::underlineLayer()
{
    if (!underlineLayer_) {
        Transaction transaction(true);
        underlineLayer_ = std::make_shared<ShapeLayer>();
        underlineLayer_->setName("underline");
        underlineLayer_->setAnchorPoint({0, 0});
        prepareLazySublayer(*underlineLayer_, 10);
        underlineLayer_->setHidden(true);
        underlineLayer_->setLineDashPattern(shapeLayer_->lineDashPattern());
        applyUnderline();
        addSublayer(underlineLayer_);
        setNeedsLayout();
    }
    return *underlineLayer_;
}

HoverButtonLayer& NodeLayer::hoverButtonLayer()
{
    if (!hoverButtonLayer_) {
        Transaction transaction(true);
        hoverButtonLayer_ = std::make_shared<HoverButtonLayer>();
        hoverButtonLayer_->setOpacity(sublayerOpacity_);
        hoverButtonLayer_->setContentsScale(contentsScale());
        hoverButtonLayer_->setHidden(true);
        hoverButtonLayer_->setTintColor(node_->style.borderColor);
        hoverButtonLayer_->setWhereToDrawConnectionLayer(hoverButtonDockPoint_);
        hoverButtonLayer_->updatePlusImage();
        addSublayer(hoverButtonLayer_);
        setNeedsLayout();
    }
    return *hoverButtonLayer_;
}

bool NodeLayer::isFocusRingShown() const { return focusRingLayer_ && !focusRingLayer_->isHidden(); }
bool NodeLayer::areHandlesShown() const { return handleLayer_ && !handleLayer_->isHidden(); }
bool NodeLayer::isUnderlineShown() const { return underlineLayer_ && !underlineLayer_->isHidden(); }
bool NodeLayer::isImageShown() const { return imageLayer_ && !imageLayer_->isHidden(); }
bool NodeLayer::isHoverButtonShown() const { return hoverButtonLayer_ && !hoverButtonLayer_->isHidden(); }

void NodeLayer::setSelectionLayersHidden(bool hidden)
{
    const bool made = focusRingLayer_ || handleLayer_;
    selectionLayersWait_ = !hidden && !made && labelDeferred_;
    if (selectionLayersWait_ || (hidden && !made))
        return;
    if (!hidden || handleLayer_)
        handleLayer().setHidden(hidden);
    if (!hidden || focusRingLayer_)
        focusRingLayer().setHidden(hidden);
}

void NodeLayer::setHoverButtonHidden(bool hidden)
{
    if (hidden && !hoverButtonLayer_)
        return;
    hoverButtonLayer().setHidden(hidden);
}

// --- State

void NodeLayer::setNode(const Node& node) { setNode(node, nullptr); }

void NodeLayer::setNode(const Node& node, const Node* parent) { setNode(std::make_shared<const Node>(node), parent); }

void NodeLayer::setNode(std::shared_ptr<const Node> node, const Node* parent)
{
    if (!node)
        return;
    // A node that differs only where it sits keeps the laid-out title.
    if (!looksLike(*node, *node_))
        ++nodeRevision_;
    node_ = std::move(node);
    std::tie(horizontalSide_, verticalSide_) =
        parent ? node_->affinityTo(*parent) : std::pair(node_->horizontalAffinity, node_->verticalAffinity);
}

void NodeLayer::setNodeCenter(Point center, const Node* parent)
{
    auto moved = std::make_shared<Node>(*node_);
    moved->center = center;
    node_ = std::move(moved);
    if (parent)
        std::tie(horizontalSide_, verticalSide_) = node_->affinityTo(*parent);
}

bool NodeLayer::looksLike(const Node& a, const Node& b)
{
    return a.uid == b.uid && a.size.width == b.size.width && a.size.height == b.size.height
        && a.autoSize == b.autoSize && a.isFolded == b.isFolded && a.title == b.title && a.url == b.url
        && a.note == b.note && a.shape == b.shape && a.image() == b.image()
        && a.childrenShouldInheritShape == b.childrenShouldInheritShape && a.style == b.style
        && a.layoutOptions == b.layoutOptions;
}

void NodeLayer::setSelected(bool selected)
{
    isSelected_ = selected;
    if (!isBeingEdited_)
        setSelectionLayersHidden(!selected);
}

double NodeLayer::lineHeight() const
{
    if (!lineHeight_) {
        double sum = 0;
        for (const TextLine& line : TextMeasurement::lines(labelLayer_->string(), lineHeightWidth_))
            sum += line.height;
        lineHeight_ = sum;
    }
    return *lineHeight_;
}

// --- Operations

void NodeLayer::updateContents()
{
    if (isDragged_)
        return;
    // The label keeps the only copy of the title.
    const AttributedString title = node_->attributedTitle();
    lineHeightWidth_ = bounds().size.width;
    lineHeight_.reset();
    if (title.empty())
        lineHeight_ = 0.0;
    {
        Transaction transaction(true);
        shapeLayer_->setFillColor(node_->style.fillColor.toQColor());
        updateShapePath(node_->shape);
        updateBorder();
        labelLayer_->setString(title);
        labelLayer_->setAlignmentMode(labelAlignment(node_->style.textAlignment));
        if (node_->image()) {
            imageLayer().setContents(node_->image()->bitmap());
            imageLayer_->setHidden(false);
        } else if (imageLayer_) {
            imageLayer_->setContents(QImage());
            imageLayer_->setHidden(true);
        }
    }
    setNeedsLayout();
}

void NodeLayer::updateHover(Point location)
{
    mouseLocation_ = location;
    const Rect f = frame();
    const DockPointLocation side =
        hoverSide(layoutOptions_, nodeType_, horizontalSide_, verticalSide_, f, location);
    HoverButtonLayer& button = hoverButtonLayer();
    if (side != hoverButtonDockPoint_) {
        hoverButtonDockPoint_ = side;
        button.setWhereToDrawConnectionLayer(side);
        setNeedsLayout();
    }
    const Rect buttonFrame = button.frame();
    const Rect area(f.origin + buttonFrame.origin, button.bounds().size);
    button.setActive(area.contains(location));
    button.updatePlusImage();
}

void NodeLayer::updateEditingState()
{
    if (isBeingEdited_ || focusRingLayer_)
        focusRingLayer().setHidden(isBeingEdited_);
    labelLayer_->setHidden(isBeingEdited_);
    if (isBeingEdited_ || handleLayer_)
        handleLayer().setHidden(isBeingEdited_);
}

void NodeLayer::updateFadedState()
{
    setGrayFilter(isFaded_);
    QColor stroke = shapeLayer_->strokeColor();
    if (stroke.isValid()) {
        stroke.setAlphaF(isFaded_ ? 0.25f : 1.0f);
        shapeLayer_->setStrokeColor(stroke);
    }
    sublayerOpacity_ = isFaded_ ? 0.25 : 1.0;
    for (const std::shared_ptr<Layer>& sublayer : sublayers()) {
        if (sublayer != shapeLayer_)
            sublayer->setOpacity(sublayerOpacity_);
    }
}

// --- Layout

Rect NodeLayer::labelFrameInLayer() const
{
    placeLabelAndImage();
    return labelLayer_->frame();
}

void NodeLayer::setLabelDeferred(bool deferred)
{
    if (deferred == labelDeferred_)
        return;
    labelDeferred_ = deferred;
    if (!deferred) {
        Transaction transaction(true);
        placeLabelAndImage();
        if (underlineShape_ && !underlineLayer_)
            underlineLayer();
        if (selectionLayersWait_)
            setSelectionLayersHidden(false);
    }
}

void NodeLayer::placeLabelAndImage() const
{
    if (labelNodeRevision_ == nodeRevision_)
        return;
    labelNodeRevision_ = nodeRevision_;
    const auto [imageFrame, titleFrame] = node_->image() ? labelFrame(*node_) : labelLayout(*node_);
    const Point o = bounds().origin;
    labelLayer_->setFrame(integralRect(titleFrame.offsetBy(o.x, o.y)));
    if (imageLayer_)
        imageLayer_->setFrame(integralRect(imageFrame.offsetBy(o.x, o.y)));
}

void NodeLayer::applyDebugBorders()
{
    // Colours are set only while the borders show: a layer keeps no border state it never draws.
    const bool on = debugDrawing.load();
    const double width = on ? 1.0 : 0.0;
    if (imageLayer_) {
        if (on)
            imageLayer_->setBorderColor(Qt::red);
        imageLayer_->setBorderWidth(width);
    }
    if (on) {
        labelLayer_->setBorderColor(Qt::magenta);
        setBorderColor(Qt::yellow);
    }
    labelLayer_->setBorderWidth(width);
    setBorderWidth(width);
}

void NodeLayer::layoutSublayers()
{
    Transaction transaction(true);
    const Rect b = bounds();
    if (!labelDeferred_)
        placeLabelAndImage();
    applyDebugBorders();
    if (handleLayer_)
        handleLayer_->setFrame(b);
    if (underlineLayer_)
        underlineLayer_->setFrame(Rect(0, b.maxY(), b.width(), strokeWidth(node_->style.branchWidth)));
    if (hoverButtonLayer_)
        hoverButtonLayer_->setFrame(hoverButtonFrame(b, hoverButtonDockPoint_));
    if (focusRingLayer_) {
        focusRingLayer_->setAnchorPoint({0, 0});
        focusRingLayer_->setPosition(b.origin);
        focusRingLayer_->setFillColor(accentColor());
    }
}

std::optional<LayerAction> NodeLayer::actionForKey(const std::string& key) const
{
    if (key == "bounds")
        return std::nullopt;
    std::optional<LayerAction> action = defaultActionForKey(key);
    if (action && animationsDisabled())
        return std::nullopt;
    return action;
}

void NodeLayer::setContentsScale(double scale)
{
    Layer::setContentsScale(scale);
    labelLayer_->setContentsScale(scale);
    for (Layer* layer : {static_cast<Layer*>(imageLayer_.get()), static_cast<Layer*>(handleLayer_.get()),
                         static_cast<Layer*>(underlineLayer_.get())}) {
        if (layer)
            layer->setContentsScale(scale);
    }
    if (hoverButtonLayer_)
        hoverButtonLayer_->setContentsScale(scale);
}

} // namespace velquine
