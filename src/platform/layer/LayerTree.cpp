// The layer tree: sublayers joining and leaving, their drawing order, and layout.
#include "platform/layer/Layer.h"

#include <algorithm>

#include "platform/RunLoop.h"
#include "platform/layer/SublayerIndex.h"
#include "platform/layer/SublayerOrder.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

// Outside every transaction, pending layouts run on the next turn of the main loop (an implicit
// transaction), once however many layers ask.
void scheduleImplicitLayoutFlush()
{
    static bool posted = false;
    if (posted)
        return;
    posted = true;
    RunLoop::post([] {
        posted = false;
        Transaction::flushLayouts();
    });
}

} // namespace

// --- Tree

void Layer::addSublayer(const Ptr& layer) { insertSublayer(layer, sublayers_.size()); }

void Layer::insertSublayer(const Ptr& layer, std::size_t index)
{
    if (!layer || layer.get() == this)
        return;
    for (const Layer* ancestor = superlayer_; ancestor; ancestor = ancestor->superlayer_)
        if (ancestor == layer.get())
            return;  // a layer cannot hold its own ancestor
    Ptr keep = layer;
    keep->removeFromSuperlayer();
    attachSublayer(keep, std::min(index, sublayers_.size()));
}

void Layer::attachSublayer(const Ptr& layer, std::size_t index)
{
    const bool appended = index == sublayers_.size();
    sublayers_.insert(sublayers_.begin() + std::ptrdiff_t(index), layer);
    layer->superlayer_ = this;
    if (drawingOrder_) {
        if (appended)
            drawingOrder_->appended(*layer);
        else
            drawingOrder_->inserted(*layer);
    }
    if (layer->autoresizingMask_ != layerNotSizable)
        ++sizableSublayers_;
    // The change files the layer in the area index.
    layer->areaSlot_ = {};
    Change change(*layer, ChangeKind::placement);
    layer->listedAsAsking_ = false;
    if (layer->needsLayout_ || layer->descendantNeedsLayout_)
        layer->markAncestorsNeedLayout();
    // A layer with a sublayer draws more than a stroke.
    if (sublayers_.size() == 1)
        noteRunKeyChange();
}

void Layer::removeFromSuperlayer()
{
    if (!superlayer_)
        return;
    Ptr keep = weak_from_this().lock();
    {
        Change change(*this, ChangeKind::placement);
        hiddenForRemoval_ = true;
    }
    hiddenForRemoval_ = false;
    Layer* parent = superlayer_;
    leaveSuperlayerBookkeeping();
    if (parent->drawingOrder_)
        parent->drawingOrder_->removed(*this);
    if (parent->areaIndex_)
        parent->areaIndex_->removed(*this);
    auto& siblings = parent->sublayers_;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(), [&](const Ptr& p) { return p.get() == this; }),
                   siblings.end());
    superlayer_ = nullptr;
    animations_.clear();
    if (siblings.empty())
        parent->noteRunKeyChange();
}

std::size_t Layer::removeSublayers(const std::function<bool(const Layer&)>& which)
{
    std::vector<Ptr> removed;
    for (const Ptr& sublayer : sublayers_)
        if (which(*sublayer))
            removed.push_back(sublayer);
    if (removed.empty())
        return 0;
    for (const Ptr& sublayer : removed) {
        {
            Change change(*sublayer, ChangeKind::placement);
            sublayer->hiddenForRemoval_ = true;
        }
        sublayer->hiddenForRemoval_ = false;
        sublayer->leaveSuperlayerBookkeeping();
        sublayer->superlayer_ = nullptr;
        sublayer->animations_.clear();
    }
    std::erase_if(sublayers_, [](const Ptr& sublayer) { return sublayer->superlayer_ == nullptr; });
    // Taking layers out leaves the others in order.
    if (drawingOrder_ || areaIndex_) {
        std::vector<Layer*> leaving;
        leaving.reserve(removed.size());
        for (const Ptr& sublayer : removed)
            leaving.push_back(sublayer.get());
        if (drawingOrder_)
            drawingOrder_->removed(leaving);
        if (areaIndex_)
            areaIndex_->removed(leaving);
    }
    if (sublayers_.empty())
        noteRunKeyChange();
    return removed.size();
}

void Layer::setSublayers(std::vector<Ptr> layers)
{
    for (const Ptr& sublayer : std::vector<Ptr>(sublayers_))
        sublayer->removeFromSuperlayer();
    for (const Ptr& layer : layers)
        addSublayer(layer);
}

SublayerOrder& Layer::drawingOrder() const
{
    if (!drawingOrder_)
        drawingOrder_ = std::make_unique<SublayerOrder>();
    return *drawingOrder_;
}

const std::vector<Layer*>& Layer::sublayersInDrawingOrder() const { return drawingOrder().read(sublayers_); }

void Layer::markSublayerRuns(const std::vector<Layer*>& listed, std::vector<std::uint8_t>& joins) const
{
    SublayerOrder& order = drawingOrder();
    order.keepRunKeys(sublayers_);
    order.markRuns(listed, joins);
}

namespace {

// Keeps the sublayers whose visual bounds meet the area. Those of many are worked out on several threads at
// once: working one out writes only within that sublayer's own subtree.
void keepMeeting(std::vector<Layer*>& near, const Rect& area, const Layer::RunAll& runAll)
{
    constexpr std::size_t onThreads = 1024, perJob = 256;
    if (!runAll || near.size() < onThreads) {
        std::erase_if(near, [&area](const Layer* sublayer) { return !extentsMeet(sublayer->visualBounds(), area); });
        return;
    }
    std::vector<std::uint8_t> meets(near.size());
    std::vector<std::function<void()>> jobs;
    for (std::size_t first = 0; first < near.size(); first += perJob)
        jobs.emplace_back([&, first] {
            for (std::size_t i = first; i < std::min(near.size(), first + perJob); ++i)
                meets[i] = extentsMeet(near[i]->visualBounds(), area);
        });
    runAll(jobs);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < near.size(); ++i)
        if (meets[i])
            near[kept++] = near[i];
    near.resize(kept);
}

} // namespace

const std::vector<Layer*>& Layer::sublayersNear(const Rect& area, std::vector<Layer*>& near, const RunAll& runAll) const
{
    if (sublayers_.size() < sublayersFiledByArea) {
        areaIndex_.reset();
        return sublayersInDrawingOrder();
    }
    if (!areaIndex_)
        areaIndex_ = std::make_unique<SublayerIndex>(sublayers_);
    // An area over most of the layer (zoomed far out) is painted from a walk in drawing order.
    if (areaIndex_->spansMostCells(area, runAll))
        return sublayersInDrawingOrder();
    near.clear();
    areaIndex_->collect(area, near, runAll);
    keepMeeting(near, area, runAll);
    if (near.size() * 4 > sublayers_.size())
        return sublayersInDrawingOrder();
    // The few near are sorted by where they are filed; the whole order is listed only when it is read.
    drawingOrder().file(sublayers_);
    std::sort(near.begin(), near.end(), [](const Layer* a, const Layer* b) { return SublayerOrder::before(*a, *b); });
    return near;
}

Layer* Layer::rootLayer()
{
    Layer* layer = this;
    while (layer->superlayer_)
        layer = layer->superlayer_;
    return layer;
}

const Layer* Layer::rootLayer() const { return const_cast<Layer*>(this)->rootLayer(); }

// --- Layout

void Layer::setNeedsLayout()
{
    needsLayout_ = true;
    markAncestorsNeedLayout();
    if (layoutScheduled_)
        return;
    if (auto self = weak_from_this().lock()) {
        Transaction::scheduleLayout(self);
        if (Transaction::depth() == 0)
            scheduleImplicitLayoutFlush();
    }
}

void Layer::markAncestorsNeedLayout()
{
    // Each superlayer up the tree lists the sublayer on the way, so that its layout visits only those.
    for (Layer *layer = this, *superlayer = superlayer_; superlayer; layer = superlayer, superlayer = superlayer->superlayer_) {
        if (!layer->listedAsAsking_) {
            superlayer->askingSublayers_.push_back(layer);
            layer->listedAsAsking_ = true;
        }
        if (superlayer->descendantNeedsLayout_)
            break;
        superlayer->descendantNeedsLayout_ = true;
    }
}

void Layer::leaveSuperlayerBookkeeping()
{
    Layer& parent = *superlayer_;
    if (autoresizingMask_ != layerNotSizable)
        --parent.sizableSublayers_;
    if (listedAsAsking_) {
        std::erase(parent.askingSublayers_, this);
        listedAsAsking_ = false;
    }
}

void Layer::setAutoresizingMask(unsigned mask)
{
    if (superlayer_)
        superlayer_->sizableSublayers_ += int(mask != layerNotSizable) - int(autoresizingMask_ != layerNotSizable);
    autoresizingMask_ = mask;
}

std::vector<Layer::Ptr> Layer::takeAskingSublayers()
{
    std::vector<Layer*> listed;
    listed.swap(askingSublayers_);
    std::vector<Ptr> asking;
    const auto take = [&asking](Layer* sublayer) {
        sublayer->listedAsAsking_ = false;
        if (sublayer->needsLayout_ || sublayer->descendantNeedsLayout_)
            asking.push_back(sublayer->shared_from_this());
    };
    // In the order of the list of sublayers, as a walk of it would find them: a few sorted by their stamps when
    // those are current, else the list walked for the listed ones.
    const bool few = listed.size() <= 1 || listed.size() * 8 < sublayers_.size();
    if (few && (listed.size() <= 1 || (drawingOrder_ && drawingOrder_->stampsFollowPlaces()))) {
        std::sort(listed.begin(), listed.end(),
                  [](const Layer* a, const Layer* b) { return a->orderSlot_.stamp < b->orderSlot_.stamp; });
        std::for_each(listed.begin(), listed.end(), take);
    } else {
        for (const Ptr& sublayer : sublayers_)
            if (sublayer->listedAsAsking_)
                take(sublayer.get());
    }
    return asking;
}

void Layer::layoutIfNeeded()
{
    if (!needsLayout_ && !descendantNeedsLayout_)
        return;
    Ptr keep = weak_from_this().lock();
    descendantNeedsLayout_ = false;
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSublayers();
    }
    // Only the sublayers that ask are visited. A layout that asks a sibling for layout marks this layer
    // again: another round takes it.
    for (int round = 0; round < 8; ++round) {
        descendantNeedsLayout_ = false;
        const std::vector<Ptr> asking = takeAskingSublayers();
        for (const Ptr& sublayer : asking)
            sublayer->layoutIfNeeded();
        if (asking.empty() || !descendantNeedsLayout_)
            break;
    }
}

} // namespace velquine
