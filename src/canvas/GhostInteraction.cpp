// The ghost of a hover-button drag: a half-transparent new child and its branch that follow the pointer from
// the node whose "+" button was pressed, previewing the child the release inserts. The ghost's layers are
// not node or branch layers of the canvas, so reloads never touch them.

#include "canvas/GraphView.h"
#include "canvas/CanvasSync.h"
#include "canvas/GhostInteraction.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"
#include "platform/Log.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

constexpr double ghostOpacity = 0.5;
constexpr Size ghostNodeSize{98, 38};

} // namespace

GhostInteraction::GhostInteraction(GraphView& view, CanvasSync& sync) : view_(view), sync_(sync) {}

GhostInteraction::~GhostInteraction() = default;

std::vector<NodeLayer*> GhostInteraction::buttonsAt(Point point)
{
    std::vector<NodeLayer*> pressed;
    for (const auto& layer : sync_.nodeLayersAsIs()) {
        if (!layer->isHovered() || !layer->hasHoverButtonLayer())
            continue;
        const HoverButtonLayer& button = layer->hoverButtonLayer();
        const Rect area(layer->frame().origin + button.frame().origin, button.bounds().size);
        if (area.contains(point))
            pressed.push_back(layer.get());
    }
    return pressed;
}

bool GhostInteraction::pressesButtonAt(Point point)
{
    return !buttonsAt(point).empty();
}

void GhostInteraction::press(const GestureInput& input)
{
    pressedButtons_ = buttonsAt(input.point);
    pressLocation_ = input.point;
}

void GhostInteraction::move(const GestureInput& input)
{
    sync_.settleLayers();
    Transaction transaction(true);
    if (!ghost_ && !pressedButtons_.empty()) {
        NodeLayer* pressed = pressedButtons_.front();
        const auto& layers = sync_.nodeLayersAsIs();
        const auto owner = std::find_if(layers.begin(), layers.end(),
                                        [pressed](const auto& layer) { return layer.get() == pressed; });
        if (owner != layers.end())
            createGhostForNodeLayer(*owner);
    }
    updateGhostPosition(input.point);
}

void GhostInteraction::release(const GestureInput& input)
{
    view_.setActiveGesture(nullptr);
    if (!pressedButtons_.empty())
        if (const auto target = view_.delegate())
            target->insertChildNode(pressedButtons_.front()->node(),
                                    input.point == pressLocation_ ? std::nullopt : std::optional<Point>(input.point));
    cancel();
}

void GhostInteraction::cancel()
{
    pressedButtons_.clear();
    removeGhost();
}

void GhostInteraction::createGhostForNodeLayer(const std::shared_ptr<NodeLayer>& parentNodeLayer)
{
    if (ghost_) {
        debugLog(__FILE__, "createGhostForNodeLayer(parentNodeLayer:)", 15, "we have a ghost already");
        return;
    }
    parentNodeLayer->setHovered(false);
    parentNodeLayer->setHoverButtonHidden(true);
    const Node parentNode = parentNodeLayer->node();
    std::shared_ptr<NodeLayer> ghostNodeLayer = makeGhostNodeLayer(parentNode);
    const Node ghostNode = ghostNodeLayer->node();
    std::shared_ptr<BranchLayer> ghostBranchLayer = makeGhostBranchLayer(parentNode, ghostNode);
    ghost_ = DragGhost{parentNodeLayer, ghostNodeLayer, ghostBranchLayer};
    view_.layer()->addSublayer(ghostNodeLayer);
    view_.layer()->addSublayer(ghostBranchLayer);
}

// The child as the new-child command would style it: the project's main or sub node style and shape (or the
// parent's shape when its children inherit it); a child of a root takes the palette colour of its rank.
std::shared_ptr<NodeLayer> GhostInteraction::makeGhostNodeLayer(const Node& parentNode)
{
    const ProjectStyle::Values& style = view_.projectStyle().current;
    const bool parentIsRoot = view_.graph().nodeType(parentNode) == NodeType::root;
    NodeStyle nodeStyle = parentIsRoot ? style.mainNodeStyle : style.subNodeStyle;
    const NodeShape styleShape = parentIsRoot ? style.mainNodeShape : style.subNodeShape;

    Node probe = parentNode;
    probe.parentUID = parentNode.uid;
    if (view_.graph().nodeType(probe) == NodeType::main) {
        if (!style.palette.empty()) {
            const PaletteEntry& entry = style.palette[parentNode.childrenUIDs.size() % style.palette.size()];
            nodeStyle.borderColor = entry.strokeColor;
            nodeStyle.branchColor = entry.strokeColor;
            nodeStyle.fillColor = style.dynamicMainNodeColors ? entry.fillColor : style.mainNodeStyle.fillColor;
        }
    } else {
        nodeStyle.borderColor = parentNode.style.borderColor;
        nodeStyle.fillColor = parentNode.style.fillColor;
        nodeStyle.branchColor = parentNode.style.branchColor;
    }

    Node ghostNode = parentNode;
    ghostNode.parentUID = parentNode.uid;
    ghostNode.size = ghostNodeSize;
    ghostNode.title.clear();
    ghostNode.shape = parentNode.childrenShouldInheritShape ? parentNode.shape : styleShape;
    ghostNode.style = nodeStyle;

    std::shared_ptr<NodeLayer> layer = sync_.makeNodeLayer(ghostNode);
    layer->setHovered(false);
    layer->setHoverButtonHidden(true);
    layer->setSelected(false);
    if (!layer->isBeingEdited())
        layer->setSelectionLayersHidden(true);
    layer->setOpacity(ghostOpacity);
    return layer;
}

std::shared_ptr<BranchLayer> GhostInteraction::makeGhostBranchLayer(const Node& parentNode, const Node& ghostNode)
{
    std::shared_ptr<BranchLayer> branch = sync_.makeBranchLayer(parentNode, ghostNode);
    branch->childDockPoint = ghostNode.center;
    branch->parentDockPoint = ghostNode.center;
    branch->branchStyle = parentNode.style.branchStyle;
    branch->updatePath();
    branch->parentNodeOrigin = ghostNode.center;
    branch->childNodeOrigin = ghostNode.center;
    branch->setOpacity(ghostOpacity);
    // The ghost's parent link leads into the real tree, whose root's options govern.
    const LayoutOptions options = sync_.layoutOptionsGoverning(parentNode);
    branch->layoutType = options.layoutType;
    branch->branchType = options.branchType;
    return branch;
}

void GhostInteraction::updateGhostPosition(Point point)
{
    if (!ghost_)
        return;
    NodeLayer& ghostLayer = *ghost_->ghostNodeLayer;
    Node node = ghostLayer.node();
    node.center = point;
    ghostLayer.setNode(node);
    ghostLayer.updateContents();
    ghostLayer.setPosition(point);
    updateGhostBranch(*ghost_->ghostBranchLayer, *ghost_->parentNodeLayer, ghostLayer);
}

void GhostInteraction::updateGhostBranch(BranchLayer& branch, const NodeLayer& parentNodeLayer,
                                  const NodeLayer& ghostNodeLayer)
{
    const Rect p = parentNodeLayer.frame();
    const Rect g = ghostNodeLayer.frame();
    const Node& parent = parentNodeLayer.node();
    const Node& ghostNode = ghostNodeLayer.node();
    const bool horizontal = branch.layoutType == LayoutOptions::LayoutType::horizontal;
    branch.parentNodeOrigin = parent.center;
    branch.childNodeOrigin = ghostNode.center;

    Point parentDock{p.midX(), p.midY()};
    if (parent.shape == NodeShape::underline) {
        if (horizontal) {
            parentDock.x = p.midX() <= g.midX() ? p.maxX() : p.minX();
            parentDock.y = parent.style.borderWidth == StrokeThickness::invisible ? p.midY() : p.maxY();
        } else {
            parentDock.x = p.midX();
            parentDock.y = p.midY() <= g.midY() ? p.maxY() : p.minY();
        }
    }
    Point ghostDock;
    if (horizontal)
        ghostDock = {g.midX() <= p.midX() ? g.maxX() : g.minX(), g.midY()};
    else
        ghostDock = {g.midX(), g.midY() <= p.midY() ? g.maxY() : g.minY()};
    if (ghostNode.shape == NodeShape::underline && ghostNode.style.borderWidth != StrokeThickness::invisible) {
        if (horizontal)
            ghostDock.y = g.maxY();
        else
            ghostDock.x = g.midX();
    }
    branch.parentDockPoint = parentDock;
    branch.childDockPoint = ghostDock;
    branch.updatePath();
}

void GhostInteraction::removeGhost()
{
    if (ghost_) {
        ghost_->ghostNodeLayer->removeFromSuperlayer();
        ghost_->ghostBranchLayer->removeFromSuperlayer();
    }
    ghost_.reset();
}

} // namespace velquine
