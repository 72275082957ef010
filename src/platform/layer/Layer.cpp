#include "platform/layer/Layer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <set>
#include <utility>

#include "platform/layer/Animator.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/SublayerIndex.h"
#include "platform/layer/SublayerOrder.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

bool isAnimatableKey(const std::string& key)
{
    return key == "position" || key == "bounds" || key == "opacity" || key == "path" || key == "backgroundColor";
}

bool paints(const QColor& color) { return color.isValid() && color.alpha() > 0; }

} // namespace

Layer::Layer() = default;

const Layer::Extras& Layer::extras() const
{
    static const Extras defaults;
    return extras_ ? *extras_ : defaults;
}

Layer::Extras& Layer::ownExtras()
{
    if (!extras_)
        extras_ = std::make_shared<Extras>();
    else if (extras_.use_count() > 1)
        extras_ = std::make_shared<Extras>(*extras_);
    return *extras_;
}

void Layer::shareExtrasWith(const Layer& prototype)
{
    if (prototype.extras_ && prototype.extras_->dirtyAreaHandler)
        return; // a root's handler is its own
    extras_ = prototype.extras_;
    noteRunKeyChange();
}

const std::string& Layer::name() const
{
    static const std::string none;
    return name_ ? *name_ : none;
}

void Layer::setName(const std::string& name)
{
    // Names are a handful of words set on many layers: each is stored once.
    static std::mutex mutex;
    static std::set<std::string, std::less<>> names;
    const std::lock_guard<std::mutex> lock(mutex);
    name_ = &*names.insert(name).first;
}

Layer::~Layer()
{
    for (const Ptr& sublayer : sublayers_) {
        sublayer->superlayer_ = nullptr;
        sublayer->listedAsAsking_ = false;
    }
}

// --- Changes

Layer::Change::Change(Layer& layer, ChangeKind kind, bool seen) : layer_(layer), kind_(kind)
{
    report_ = seen && layer.rootLayer()->reportsToHandler();
    if (report_) {
        before_ = layer.areaInRoot();
        beforePieces_ = layer.piecesInRoot(before_);
    }
}

Layer::Change::~Change()
{
    layer_.invalidateUpwards(kind_);
    if (report_) {
        layer_.reportArea(before_, beforePieces_);
        const Rect after = layer_.areaInRoot();
        layer_.reportArea(after, layer_.piecesInRoot(after));
    }
}

void Layer::invalidateUpwards(ChangeKind kind)
{
    if (kind == ChangeKind::geometry || kind == ChangeKind::appearance)
        ++contentRevision_;
    if (kind == ChangeKind::geometry)
        extentValid_ = false;
    // A hidden layer shows in no picture or extent of its superlayer: what changes in or under it stays there,
    // unless the change shows or hides the layer itself (a change of placement). Pictures made again for
    // nothing drawn would cost a paint each, and need not come out to the same pixels (outlines of large text).
    const auto showsIn = [this, kind](const Layer& layer) {
        return !layer.hidden_ || (&layer == this && kind == ChangeKind::placement);
    };
    // What the layer covers stays as it was: only the pictures drawn of its ancestors change.
    if (kind == ChangeKind::appearance || kind == ChangeKind::depth) {
        for (Layer *layer = this, *superlayer = superlayer_; superlayer && showsIn(*layer);
             layer = superlayer, superlayer = superlayer->superlayer_)
            ++superlayer->contentRevision_;
        return;
    }
    // The visual bounds of this layer and of each ancestor may have moved: their superlayers' area indexes
    // file them again.
    for (Layer *layer = this, *superlayer = superlayer_; superlayer && showsIn(*layer);
         layer = superlayer, superlayer = superlayer->superlayer_) {
        ++superlayer->contentRevision_;
        superlayer->extentValid_ = false;
        if (superlayer->areaIndex_)
            superlayer->areaIndex_->changed(*layer);
    }
}

Rect Layer::areaInRoot() const
{
    if (!superlayer_)
        return hidden_ ? Rect::null() : subtreeExtent();
    return superlayerAreaInRoot(visualBounds());
}

Rect Layer::superlayerAreaInRoot(Rect area) const
{
    for (const Layer* layer = superlayer_; layer && !area.isNull(); layer = layer->superlayer_) {
        if (layer->hidden_)
            return Rect::null();
        if (!layer->superlayer_)
            break;
        const Rect f = layer->presentationFrame();
        const Rect b = layer->presentationBounds();
        area = area.offsetBy(f.origin.x - b.origin.x, f.origin.y - b.origin.y);
    }
    return area;
}

void Layer::reportArea(const Rect& rootArea) const
{
    if (rootArea.isNull())
        return;
    const Layer* root = rootLayer();
    if (root->reportsToHandler())
        root->extras_->dirtyAreaHandler(rootArea);
}

void Layer::reportArea(const Rect& rootArea, const std::optional<std::vector<Rect>>& pieces) const
{
    if (!pieces) {
        reportArea(rootArea);
        return;
    }
    const Layer* root = rootLayer();
    if (!root->reportsToHandler())
        return;
    for (const Rect& piece : *pieces)
        root->extras_->dirtyAreaHandler(piece);
}

std::optional<std::vector<Rect>> Layer::piecesInRoot(const Rect& rootArea) const
{
    // A smaller area is reported whole: cutting it would save little paint.
    constexpr double minCutArea = 512.0 * 512.0;
    if (rootArea.isNull() || rootArea.size.width * rootArea.size.height < minCutArea || !sublayers_.empty()
        || masksToBounds_ || hasVisibleShadow()
        || (extras_ && (paints(extras_->backgroundColor) || extras_->borderWidth > 0 || !extras_->contents.isNull())))
        return std::nullopt;
    // Without sublayers and the rest the area is the drawing extent, moved to the root's coordinates.
    const Rect extent = subtreeExtent();
    if (extent.isNull())
        return std::nullopt;
    const double dx = rootArea.origin.x - extent.origin.x, dy = rootArea.origin.y - extent.origin.y;
    // Where the handler shows only part of the root, only an area that covers much of that part is cut, and
    // only the pieces in that part are worked out: the rest is never shown.
    Rect shown = Rect::null();
    if (const Layer* root = rootLayer(); root->extras_ && root->extras_->dirtyAreaFocus) {
        const Rect& focus = *root->extras_->dirtyAreaFocus;
        const Rect seen = focus.intersection(rootArea);
        if (seen.isNull() || seen.size.width * seen.size.height < 0.25 * focus.size.width * focus.size.height)
            return std::nullopt;
        shown = focus.offsetBy(-dx, -dy);
    }
    std::optional<std::vector<Rect>> pieces = drawingPieces(shown);
    if (pieces)
        for (Rect& piece : *pieces)
            piece = piece.offsetBy(dx, dy);
    return pieces;
}

void Layer::setDirtyAreaHandler(std::function<void(const Rect&)> handler)
{
    if (!extras_ && !handler)
        return;
    ownExtras().dirtyAreaHandler = std::move(handler);
}

void Layer::setDirtyAreaFocus(std::optional<Rect> area)
{
    if (!extras_ && !area)
        return;
    if (extras().dirtyAreaFocus != area)
        ownExtras().dirtyAreaFocus = area;
}

// --- Geometry

void Layer::setPosition(Point position)
{
    // Geometry that is not finite is refused: nothing could be drawn or hit at such a place.
    if (position == position_ || !position.isFinite())
        return;
    const Point from = presentationPosition();
    const std::optional<LayerAction> action = startingAction("position");
    Change change(*this, ChangeKind::placement, showsAtOnce(action));
    position_ = position;
    animateChange("position", from, position, action);
}

void Layer::setBounds(Rect bounds)
{
    bounds = bounds.standardized();
    if (bounds == bounds_ || !bounds.origin.isFinite() || !bounds.size.isFinite())
        return;
    const Rect from = presentationBounds();
    const Size oldSize = bounds_.size;
    {
        const std::optional<LayerAction> action = startingAction("bounds");
        Change change(*this, ChangeKind::geometry, showsAtOnce(action));
        bounds_ = bounds;
        animateChange("bounds", from, bounds, action);
    }
    if (!(oldSize == bounds.size)) {
        resizeSublayers(oldSize);
        setNeedsLayout();
    }
}

void Layer::setAnchorPoint(Point anchor)
{
    if (anchor.isFinite())
        setField(anchorPoint_, anchor, ChangeKind::placement);
}

Rect Layer::frame() const
{
    const double w = bounds_.size.width, h = bounds_.size.height;
    return {position_.x - anchorPoint_.x * w, position_.y - anchorPoint_.y * h, w, h};
}

void Layer::setFrame(Rect frame)
{
    frame = frame.standardized();
    if (frame.isNull() || !frame.origin.isFinite() || !frame.size.isFinite())
        return;
    setBounds({bounds_.origin, frame.size});
    setPosition({frame.origin.x + anchorPoint_.x * frame.size.width,
                 frame.origin.y + anchorPoint_.y * frame.size.height});
}

void Layer::setZPosition(double z)
{
    if (z == zPosition_)
        return;
    // A depth that is no number could not be ordered.
    if (std::isnan(z))
        return;
    // Moved only among lines drawn together with it, it is drawn as before.
    const auto reordersOnlyAlike = [this, z] {
        const std::optional<QRgb> color = LayerRenderer::strokeRunColor(*this);
        return color && superlayer_->drawingOrder_->movesOnlyPast(*this, z, [&color](const Layer& other) {
            return LayerRenderer::strokeRunColor(other) == color;
        });
    };
    const bool unseen =
        superlayer_ && superlayer_->drawingOrder_ && rootLayer()->reportsToHandler() && reordersOnlyAlike();
    Change change(*this, ChangeKind::depth, !unseen);
    zPosition_ = z;
    if (superlayer_ && superlayer_->drawingOrder_)
        superlayer_->drawingOrder_->depthChanged(*this);
}

void Layer::setContentsScale(double scale) { contentsScale_ = scale; }

void Layer::resizeSublayers(Size oldSize)
{
    const double dw = bounds_.size.width - oldSize.width;
    const double dh = bounds_.size.height - oldSize.height;
    // The change of each axis is shared equally by its flexible parts (margin before, size, margin after).
    auto share = [](double delta, unsigned mask, unsigned before, unsigned size, unsigned after, double& origin,
                    double& length) {
        const int parts = int(bool(mask & before)) + int(bool(mask & size)) + int(bool(mask & after));
        if (parts == 0)
            return;
        const double part = delta / parts;
        if (mask & before)
            origin += part;
        if (mask & size)
            length = std::max(0.0, length + part);
    };
    // Only the sublayers that follow the size are visited (a canvas holds thousands that do not).
    if (sizableSublayers_ == 0)
        return;
    std::vector<Ptr> sizable;
    for (const Ptr& sublayer : sublayers_)
        if (sublayer->autoresizingMask_ != layerNotSizable)
            sizable.push_back(sublayer);
    for (const Ptr& sublayer : sizable) {
        const unsigned mask = sublayer->autoresizingMask_;
        if (mask == layerNotSizable)
            continue;
        Rect f = sublayer->frame();
        share(dw, mask, layerMinXMargin, layerWidthSizable, layerMaxXMargin, f.origin.x, f.size.width);
        share(dh, mask, layerMinYMargin, layerHeightSizable, layerMaxYMargin, f.origin.y, f.size.height);
        sublayer->setFrame(f);
    }
}

// --- Presentation


Rect Layer::presentationFrame() const
{
    if (animations_.empty())
        return frame();
    const Point p = presentationPosition();
    const Rect b = presentationBounds();
    const double w = b.size.width, h = b.size.height;
    return {p.x - anchorPoint_.x * w, p.y - anchorPoint_.y * h, w, h};
}

AnimatedValue Layer::animatedValue(std::string_view key) const
{
    const LayerAnimation* animation = animationFor(key);
    if (!animation)
        return {};
    const Animator& animator = Animator::shared();
    const double now = animator.frameTime();
    if (animation->heldTime == now)
        return animation->heldValue;
    AnimatedValue value = animation->valueAt(now);
    if (animator.holdsValues()) {
        animation->heldValue = value;
        animation->heldTime = now;
    }
    return value;
}

const LayerAnimation* Layer::animationFor(std::string_view key) const
{
    for (const LayerAnimation& animation : animations_)
        if (animation.key == key)
            return &animation;
    return nullptr;
}

bool Layer::hasAnimationForKey(const std::string& key) const { return animationFor(key) != nullptr; }

void Layer::removeAllAnimations()
{
    if (animations_.empty())
        return;
    Change change(*this, ChangeKind::geometry);
    animations_.clear();
}

void Layer::animateChange(const std::string& key, const AnimatedValue& from, const AnimatedValue& to,
                          const std::optional<LayerAction>& action)
{
    std::erase_if(animations_, [&](const LayerAnimation& a) { return a.key == key; });
    if (!action)
        return;
    animations_.push_back({key, from, to, Animator::shared().now(), *action, std::numeric_limits<double>::quiet_NaN(), {}});
    Animator::shared().add(shared_from_this());
}

std::optional<LayerAction> Layer::startingAction(const std::string& key) const
{
    // A layer outside any tree has nothing on screen to animate from.
    if (!superlayer_ || Transaction::disableActions() || weak_from_this().expired())
        return std::nullopt;
    std::optional<LayerAction> action = actionForKey(key);
    if (!action || !(action->duration > 0))
        return std::nullopt;
    return action;
}

bool Layer::showsAtOnce(const std::optional<LayerAction>& starting)
{
    // One added before the frame last shown (a time source set back) would show a later value.
    const Animator& animator = Animator::shared();
    return !starting || animator.now() < animator.frameTime();
}

void Layer::reportDrawnArea() const
{
    if (!rootLayer()->reportsToHandler())
        return;
    const Rect area = areaInRoot();
    reportArea(area, piecesInRoot(area));
}

bool Layer::stepAnimations()
{
    const double now = Animator::shared().frameTime();
    // Moving or fading keeps a cached picture of the layer; anything else redraws it.
    const bool placementOnly = std::all_of(animations_.begin(), animations_.end(), [](const LayerAnimation& a) {
        return a.key == "position" || a.key == "opacity";
    });
    // A layer whose animations all ended hands them to the animator, which frees their values over the next
    // turns of the event loop.
    const auto ended = [now](const LayerAnimation& a) { return a.isFinishedAt(now); };
    if (!animations_.empty() && std::all_of(animations_.begin(), animations_.end(), ended))
        Animator::shared().retire(std::exchange(animations_, {}));
    else
        std::erase_if(animations_, ended);
    // (The frames of a hidden layer change nothing shown, whatever they move.)
    invalidateUpwards(placementOnly && !hidden_ ? ChangeKind::placement : ChangeKind::geometry);
    // Where the frame puts it (a finished animation leaves it at its model value, which is the same place).
    if (rootLayer()->reportsToHandler()) {
        const Rect area = areaInRoot();
        reportArea(area, piecesInRoot(area));
    }
    return !animations_.empty();
}

std::optional<LayerAction> Layer::actionForKey(const std::string& key) const { return defaultActionForKey(key); }

std::optional<LayerAction> Layer::defaultActionForKey(const std::string& key)
{
    if (Transaction::disableActions() || !isAnimatableKey(key))
        return std::nullopt;
    return LayerAction{Transaction::animationDuration(), TimingFunction::standard};
}

// --- Appearance

void Layer::setOpacity(double opacity)
{
    if (opacity == opacity_)
        return;
    const double from = presentationOpacity();
    const std::optional<LayerAction> action = startingAction("opacity");
    Change change(*this, ChangeKind::placement, showsAtOnce(action));
    opacity_ = opacity;
    animateChange("opacity", from, opacity, action);
}

void Layer::setHidden(bool hidden) { setField(hidden_, hidden, ChangeKind::placement); }

void Layer::setMasksToBounds(bool masks) { setField(masksToBounds_, masks, ChangeKind::geometry); }

void Layer::setBackgroundColor(const QColor& color) { setExtra(&Extras::backgroundColor, color, ChangeKind::geometry); }

void Layer::setCornerRadius(double radius) { setExtra(&Extras::cornerRadius, radius, ChangeKind::appearance); }

void Layer::setBorderWidth(double width) { setExtra(&Extras::borderWidth, width, ChangeKind::geometry); }

void Layer::setBorderColor(const QColor& color) { setExtra(&Extras::borderColor, color, ChangeKind::appearance); }

void Layer::setShadowColor(const QColor& color) { setExtra(&Extras::shadowColor, color, ChangeKind::placement); }

void Layer::setShadowOpacity(double opacity) { setExtra(&Extras::shadowOpacity, opacity, ChangeKind::placement); }

void Layer::setShadowOffset(Size offset) { setExtra(&Extras::shadowOffset, offset, ChangeKind::placement); }

void Layer::setShadowRadius(double radius) { setExtra(&Extras::shadowRadius, radius, ChangeKind::placement); }

bool Layer::hasVisibleShadow() const { return extras_ && extras_->shadowOpacity > 0 && paints(extras_->shadowColor); }

void Layer::setContents(const QImage& image)
{
    if (image.isNull() && extras().contents.isNull())
        return;
    {
        Change change(*this, ChangeKind::geometry);
        ownExtras().contents = image;
    }
    noteRunKeyChange();
}

void Layer::setContentsGravity(ContentsGravity gravity) { setField(contentsGravity_, gravity, ChangeKind::appearance); }

void Layer::setGrayFilter(bool gray) { setField(grayFilter_, gray, ChangeKind::appearance); }

// --- Display

void Layer::setNeedsDisplay()
{
    Change change(*this, ChangeKind::appearance);
}

void Layer::setNeedsDisplay(const Rect& area)
{
    invalidateUpwards(ChangeKind::appearance);
    if (!rootLayer()->reportsToHandler() || area.isNull() || hidden_)
        return;
    // The root's own coordinates are the root's.
    if (!superlayer_) {
        reportArea(area);
        return;
    }
    const Rect frame = presentationFrame();
    const Rect bounds = presentationBounds();
    reportArea(superlayerAreaInRoot(area.offsetBy(frame.origin.x - bounds.origin.x, frame.origin.y - bounds.origin.y)));
}

void Layer::setCachesPicture(bool caches)
{
    cachesPicture_ = caches;
    if (!caches)
        pictureCache_.reset();
    noteRunKeyChange();
}

void Layer::noteRunKeyChange()
{
    if (superlayer_ && superlayer_->drawingOrder_)
        superlayer_->drawingOrder_->runKeyMayChange(*this);
}

LayerPictureCache& Layer::pictureCache() const
{
    if (!pictureCache_)
        pictureCache_ = std::make_unique<LayerPictureCache>();
    return *pictureCache_;
}

// --- Conversion

namespace {

Point toRoot(const Layer* layer, Point p)
{
    for (; layer && layer->superlayer(); layer = layer->superlayer()) {
        const Rect f = layer->frame();
        const Rect b = layer->bounds();
        p = {p.x - b.origin.x + f.origin.x, p.y - b.origin.y + f.origin.y};
    }
    return p;
}

Point fromRoot(const Layer* layer, Point p)
{
    const Point zero = toRoot(layer, {0, 0});
    return {p.x - zero.x, p.y - zero.y};
}

} // namespace

Point Layer::convertPointToLayer(Point p, const Layer* layer) const
{
    const Point inRoot = toRoot(this, p);
    return layer ? fromRoot(layer, inRoot) : inRoot;
}

Point Layer::convertPointFromLayer(Point p, const Layer* layer) const
{
    const Point inRoot = layer ? toRoot(layer, p) : p;
    return fromRoot(this, inRoot);
}

Rect Layer::convertRectToLayer(Rect r, const Layer* layer) const
{
    if (r.isNull())
        return r;
    return {convertPointToLayer(r.origin, layer), r.size};
}

Rect Layer::convertRectFromLayer(Rect r, const Layer* layer) const
{
    if (r.isNull())
        return r;
    return {convertPointFromLayer(r.origin, layer), r.size};
}

// --- Drawing

void Layer::draw(QPainter&) const {}

void Layer::prepareForDrawing(const Rect&) const {}

Rect Layer::drawingExtent() const { return presentationBounds(); }

std::optional<std::vector<Rect>> Layer::drawingPieces(const Rect&) const { return std::nullopt; }

Rect Layer::subtreeExtent() const
{
    if (extentValid_)
        return extent_;
    const Rect b = presentationBounds();
    Rect extent = drawingExtent();
    if (extras_ && (paints(extras_->backgroundColor) || extras_->borderWidth > 0 || !extras_->contents.isNull()))
        extent = extent.unionWith(b);
    for (const Ptr& sublayer : sublayers_)
        extent = extent.unionWith(sublayer->visualBounds());
    if (masksToBounds_)
        extent = extent.intersection(b);
    extent_ = extent;
    extentValid_ = true;
    return extent;
}

Rect Layer::visualBounds() const
{
    if (hidden_ || hiddenForRemoval_)
        return Rect::null();
    Rect extent = subtreeExtent();
    if (extent.isNull())
        return extent;
    if (hasVisibleShadow()) {
        // Either sign of the vertical offset: the same tree may be drawn flipped.
        const double spread = std::ceil(2 * extras_->shadowRadius) + 1;
        const double dx = extras_->shadowOffset.width, dy = std::fabs(extras_->shadowOffset.height);
        extent = extent.unionWith(extent.offsetBy(dx, dy)).unionWith(extent.offsetBy(dx, -dy)).insetBy(-spread, -spread);
    }
    const Rect f = presentationFrame();
    const Rect b = presentationBounds();
    return extent.offsetBy(f.origin.x - b.origin.x, f.origin.y - b.origin.y);
}

Rect contentsRect(ContentsGravity gravity, const Rect& bounds, Size content)
{
    const double x = bounds.origin.x, y = bounds.origin.y, w = bounds.size.width, h = bounds.size.height;
    const double cw = content.width, ch = content.height;
    if ((cw == w && ch == h) || cw <= 0 || ch <= 0)
        return bounds;
    auto nearest = [](double v) { return std::round(v); };
    switch (gravity) {
    case ContentsGravity::left: return {x, y + std::floor(h / 2 - ch / 2), cw, ch};
    case ContentsGravity::right: return {x + (w - cw), y + std::floor(h / 2 - ch / 2), cw, ch};
    case ContentsGravity::top: return {x + std::floor(w / 2 - cw / 2), y, cw, ch};
    case ContentsGravity::bottom: return {x + std::floor(w / 2 - cw / 2), y + std::floor(h - ch), cw, ch};
    case ContentsGravity::center: return {x + nearest(w / 2 - cw / 2), y + nearest(h / 2 - ch / 2), cw, ch};
    case ContentsGravity::bottomLeft: return {x, y + std::floor(h - ch), cw, ch};
    case ContentsGravity::bottomRight: return {x + (w - cw), y + (h - ch), cw, ch};
    case ContentsGravity::topLeft: return {x, y, cw, ch};
    case ContentsGravity::topRight: return {x + (w - cw), y, cw, ch};
    case ContentsGravity::resizeAspect:
    case ContentsGravity::resizeAspectFill: {
        const bool fitHeight = gravity == ContentsGravity::resizeAspect ? ch / cw >= h / w : !(cw / ch <= w / h);
        const double nw = fitHeight ? std::floor(h * cw / ch) : w;
        const double nh = fitHeight ? h : std::floor(w * ch / cw);
        return {x + std::floor(w / 2 - nw / 2), y + std::floor(h / 2 - nh / 2), nw, nh};
    }
    case ContentsGravity::resize: break;
    }
    return bounds;
}

} // namespace velquine
