// The selection on the canvas: the rubber band, the push of a selection into the node layers, and the two
// rubber-band rectangle above the nodes.

#include <QColor>

#include <cmath>
#include <unordered_set>

#include "canvas/GraphView.h"
#include "canvas/CanvasSync.h"
#include "canvas/DragInteraction.h"
#include "canvas/DropInteraction.h"
#include "canvas/FocusInteraction.h"
#include "canvas/GhostInteraction.h"
#include "canvas/NavigationInteraction.h"
#include "canvas/PointerInteraction.h"
#include "canvas/TitleEditingInteraction.h"
#include "canvas/CanvasIndex.h"
#include "canvas/layers/NodeGeometry.h"
#include "canvas/layers/NodeLayer.h"
#include "platform/Font.h"
#include "platform/layer/TextLayer.h"
#include "platform/layer/Transaction.h"

namespace velquine {

void PointerInteraction::setUpSelectionLayer()
{
    Layer& layer = *selectionLayer_;
    layer.setName("selection");
    QColor gray(Qt::gray);
    gray.setAlphaF(0.3f);
    layer.setBackgroundColor(gray);
    layer.setMasksToBounds(true);
    layer.setAnchorPoint({0, 0});
    layer.setZPosition(CanvasZPosition::overlay);
    layer.setOpaque(true);
    layer.setBorderWidth(1.0);
    layer.setBorderColor(QColor(146, 146, 146));
    layer.setCornerRadius(4.0);
    layer.setOpacity(1.0);
    layer.setFrame(Rect(0, 0, 0, 0));
    layer.setHidden(true);
    view_.layer()->addSublayer(selectionLayer_);
}

void PointerInteraction::applySelectionRect()
{
    Transaction transaction(true);
    selectionLayer_->setHidden(inputPhase != GraphView::GraphViewInputPhase::massSelecting);
    selectionLayer_->setFrame(integralRect(selectionRect.standardized()));
}

void PointerInteraction::beginRubberBandSelection(Point point)
{
    selectionRect = Rect(point.x, point.y, 0, 0);
    view_.selectedNodeUIDs_.clear();
    applySelectionRect();
}

void PointerInteraction::updateRubberBandSelection(Point point)
{
    selectionRect.size = Size{point.x - selectionRect.origin.x, point.y - selectionRect.origin.y};
    const Rect band = selectionRect.standardized();
    view_.sync_->settleLayers(band);
    for (const auto& layer : view_.sync_->rawNodeLayers())
        layer->setSelected(layer->frame().intersects(band));
    // The layers no longer show the pushed selection.
    view_.sync_->index().appliedSelection.reset();
    applySelectionRect();
}

void PointerInteraction::endRubberBandSelection(Point point)
{
    selectionRect.size = Size{point.x - selectionRect.origin.x, point.y - selectionRect.origin.y};
    inputPhase = GraphView::GraphViewInputPhase::idle;
    const Rect band = selectionRect.standardized();
    view_.sync_->settleLayers(band);
    std::vector<Node> nodes;
    for (const auto& layer : view_.sync_->rawNodeLayers())
        if (layer->frame().intersects(band))
            nodes.push_back(layer->node());
    if (!nodes.empty())
        if (const auto target = view_.delegate_.lock())
            target->selectNodes(nodes, true);
    selectionRect = Rect(0, 0, 0, 0);
    applySelectionRect();
}

void PointerInteraction::updateSelectionAppearance(const std::vector<Node>& nodes)
{
    Transaction transaction(true);
    std::optional<std::vector<std::int64_t>> before = std::move(view_.sync_->index().appliedSelection);
    view_.selectedNodeUIDs_.clear();
    for (const Node& node : nodes)
        view_.selectedNodeUIDs_.push_back(node.uid);
    if (before) {
        // The layers show the last applied selection: only those leaving it and those in the new one change.
        const std::unordered_set<std::int64_t> selected(view_.selectedNodeUIDs_.begin(), view_.selectedNodeUIDs_.end());
        for (const std::vector<std::int64_t>* uids : {&*before, &view_.selectedNodeUIDs_})
            for (std::int64_t uid : *uids)
                if (NodeLayer* layer = view_.sync_->nodeLayer(uid))
                    view_.sync_->setSelected(*layer, selected.count(uid) != 0);
    } else {
        view_.sync_->applySelectionFromUIDs();
    }
    view_.sync_->index().appliedSelection = view_.selectedNodeUIDs_;
}

} // namespace velquine
