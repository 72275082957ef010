// The selection on the canvas: the rubber band, the push of a selection into the node layers, and the two
// overlays above the nodes (the rubber-band rectangle and the "Attach" badge).

#include <QColor>

#include <cmath>
#include <unordered_set>

#include "canvas/GraphView.h"
#include "canvas/GraphViewIndex.h"
#include "canvas/layers/NodeGeometry.h"
#include "canvas/layers/NodeLayer.h"
#include "platform/Font.h"
#include "platform/layer/TextLayer.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

// The platform's light grey with its brightness times 1.1, at alpha 0.9.
QColor badgeBackgroundColor()
{
    Color color = Color::lightGray().adjustingBrightness(1.1);
    QColor qcolor = color.toQColor();
    qcolor.setAlphaF(0.9f);
    return qcolor;
}

Font badgeFont()
{
    const std::string bold = std::string(Font::systemFontName) + " Bold";
    return Font::isInstalled(bold) ? Font::named(bold, 18) : Font::systemFont(18);
}

} // namespace

void GraphView::setUpSelectionLayer()
{
    Layer& layer = *selectionLayer_;
    layer.setName("selection");
    QColor gray(Qt::gray);
    gray.setAlphaF(0.3f);
    layer.setBackgroundColor(gray);
    layer.setMasksToBounds(true);
    layer.setAnchorPoint({0, 0});
    layer.setZPosition(overlayZPosition);
    layer.setOpaque(true);
    layer.setBorderWidth(1.0);
    layer.setBorderColor(QColor(146, 146, 146));
    layer.setCornerRadius(4.0);
    layer.setOpacity(1.0);
    layer.setFrame(Rect(0, 0, 0, 0));
    layer.setHidden(true);
    this->layer()->addSublayer(selectionLayer_);
}

void GraphView::setUpAttachBadgeLayer()
{
    TextLayer& layer = *attachBadgeLayer_;
    layer.setName("attachBadge");
    layer.setBackgroundColor(badgeBackgroundColor());
    layer.setAnchorPoint({0, 0});
    layer.setFrame(integralRect(Rect(0, 0, 78, 24)));
    layer.setForegroundColor(Color::white());
    layer.setBorderWidth(0);
    layer.setBorderColor(Color::darkGray().toQColor());
    layer.setZPosition(overlayZPosition);
    layer.setCornerRadius(4.0);
    layer.setFont(badgeFont());
    layer.setString(std::string("Attach"));
    layer.setAlignmentMode(TextAlignment::center);
    layer.setContentsGravity(ContentsGravity::center);
    layer.setContentsScale(effectiveBackingScale());
    layer.setHidden(true);
    this->layer()->addSublayer(attachBadgeLayer_);
}

void GraphView::applySelectionRect()
{
    Transaction transaction(true);
    selectionLayer_->setHidden(inputPhase != GraphViewInputPhase::massSelecting);
    selectionLayer_->setFrame(integralRect(selectionRect.standardized()));
}

void GraphView::beginRubberBandSelection(Point point)
{
    selectionRect = Rect(point.x, point.y, 0, 0);
    selectedNodeUIDs_.clear();
    applySelectionRect();
}

void GraphView::updateRubberBandSelection(Point point)
{
    selectionRect.size = Size{point.x - selectionRect.origin.x, point.y - selectionRect.origin.y};
    const Rect band = selectionRect.standardized();
    settleLayers(band);
    for (const auto& layer : nodeLayers_)
        layer->setSelected(layer->frame().intersects(band));
    // The layers no longer show the pushed selection.
    index_->appliedSelection.reset();
    applySelectionRect();
}

void GraphView::endRubberBandSelection(Point point)
{
    selectionRect.size = Size{point.x - selectionRect.origin.x, point.y - selectionRect.origin.y};
    inputPhase = GraphViewInputPhase::idle;
    const Rect band = selectionRect.standardized();
    settleLayers(band);
    std::vector<Node> nodes;
    for (const auto& layer : nodeLayers_)
        if (layer->frame().intersects(band))
            nodes.push_back(layer->node());
    if (!nodes.empty())
        if (const auto target = delegate.lock())
            target->selectNodes(nodes, true);
    selectionRect = Rect(0, 0, 0, 0);
    applySelectionRect();
}

void GraphView::updateSelectionAppearance(const std::vector<Node>& nodes)
{
    Transaction transaction(true);
    std::optional<std::vector<std::int64_t>> before = std::move(index_->appliedSelection);
    selectedNodeUIDs_.clear();
    for (const Node& node : nodes)
        selectedNodeUIDs_.push_back(node.uid);
    if (before) {
        // The layers show the last applied selection: only those leaving it and those in the new one change.
        const std::unordered_set<std::int64_t> selected(selectedNodeUIDs_.begin(), selectedNodeUIDs_.end());
        for (const std::vector<std::int64_t>* uids : {&*before, &selectedNodeUIDs_})
            for (std::int64_t uid : *uids)
                if (NodeLayer* layer = nodeLayer(uid))
                    setSelected(*layer, selected.count(uid) != 0);
    } else {
        applySelectionFromUIDs();
    }
    index_->appliedSelection = selectedNodeUIDs_;
}

} // namespace velquine
