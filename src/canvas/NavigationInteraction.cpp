// The canvas keys: Escape, Tab, Return and Delete go to the window's commands; Home and End select the root and
// the most recently modified node of the tree. The arrow keys move the selection along the tree in
// automatically laid out trees, else to the nearest node within a quarter turn of the arrow's direction.

#include <algorithm>
#include <cmath>
#include <numbers>

#include <QKeyEvent>

#include "canvas/GraphView.h"
#include "kit/Beep.h"
#include "kit/CommandTable.h"
#include "kit/WindowActions.h"
#include "canvas/CanvasSync.h"
#include "canvas/NavigationInteraction.h"
#include "kit/Beep.h"

namespace velquine {

namespace {

Rect frameOf(const Node& node)
{
    return Rect(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
                node.size.height);
}

// The angle of the vector from the candidate to the reference point, in degrees within [0, 360).
double angleTo(Point reference, Point candidate)
{
    const float dy = static_cast<float>(reference.y - candidate.y);
    const float dx = static_cast<float>(reference.x - candidate.x);
    double angle = static_cast<double>(std::atan2(dy, dx)) * 180.0 / std::numbers::pi;
    while (angle < 0)
        angle += 360;
    return angle;
}

bool inSector(double a, GraphView::NavigationDirection direction)
{
    switch (direction) {
    case GraphView::NavigationDirection::up:
        return a > 45 && a <= 135;
    case GraphView::NavigationDirection::left:
        return a <= 45 || a > 315;
    case GraphView::NavigationDirection::right:
        return a > 135 && a <= 225;
    case GraphView::NavigationDirection::down:
        return a > 225 && a <= 315;
    }
    return false;
}

bool isBefore(GraphView::NavigationDirection direction)
{
    return direction == GraphView::NavigationDirection::left || direction == GraphView::NavigationDirection::up;
}

double coordinate(Point point, bool xAxis)
{
    return xAxis ? point.x : point.y;
}

} // namespace

NavigationInteraction::NavigationInteraction(GraphView& view) : view_(view) {}

NavigationInteraction::~NavigationInteraction() = default;

double NavigationInteraction::squaredDistanceToNearestCorner(const Rect& rect, Point point)
{
    const Point corners[] = {{rect.minX(), rect.minY()}, {rect.maxX(), rect.minY()}, {rect.maxX(), rect.maxY()},
                             {rect.minX(), rect.maxY()}};
    double best = INFINITY;
    for (const Point& corner : corners) {
        const double dx = corner.x - point.x;
        const double dy = corner.y - point.y;
        best = std::min(best, dx * dx + dy * dy);
    }
    return best;
}

void NavigationInteraction::chooseNode(const Node& node)
{
    if (const auto target = view_.delegate())
        target->selectNodes({node}, true);
}

void NavigationInteraction::moveSelection(GraphView::NavigationDirection direction)
{
    if (!navigate(direction))
        Beep::beep();
}

bool NavigationInteraction::navigate(GraphView::NavigationDirection direction)
{
    const std::vector<Node> selected = view_.selectedNodes();
    if (!selected.empty()) {
        const Node root = view_.graph().rootAncestor(selected.front());
        if (!view_.sync().layoutOptionsGoverning(root).isManual && selectRelatedNodeInTree(direction))
            return true;
        if (selectNearestNode(view_.graph().subtree(root), direction))
            return true;
    }
    std::vector<Node> all;
    all.reserve(view_.graph().count());
    for (const auto& [uid, node] : view_.graph().nodeBin())
        all.push_back(node);
    return selectNearestNode(std::move(all), direction);
}

bool NavigationInteraction::selectNearestNode(std::vector<Node> candidates, GraphView::NavigationDirection direction)
{
    const std::vector<Node> selected = view_.selectedNodes();
    Point reference = view_.pointerLocation();
    if (!selected.empty()) {
        reference = selected.front().center;
        const std::int64_t uid = selected.front().uid;
        std::erase_if(candidates, [uid](const Node& node) { return node.uid == uid; });
    }
    std::erase_if(candidates,
                  [&](const Node& node) { return !inSector(angleTo(reference, node.center), direction); });
    if (candidates.empty())
        return false;
    std::stable_sort(candidates.begin(), candidates.end(), [&](const Node& a, const Node& b) {
        return squaredDistanceToNearestCorner(frameOf(a), reference)
            < squaredDistanceToNearestCorner(frameOf(b), reference);
    });
    chooseNode(candidates.front());
    return true;
}

bool NavigationInteraction::selectRelatedNodeInTree(GraphView::NavigationDirection direction)
{
    const std::vector<Node> selected = view_.selectedNodes();
    if (selected.empty())
        return false;
    const Node& node = selected.front();
    const bool horizontal =
        view_.sync().layoutOptionsGoverning(node).layoutType == LayoutOptions::LayoutType::horizontal;
    const bool alongTree = horizontal == (direction == GraphView::NavigationDirection::left
                                          || direction == GraphView::NavigationDirection::right);
    const bool treeX = horizontal;
    const bool before = isBefore(direction);
    const double own = coordinate(node.center, alongTree ? treeX : !treeX);
    const auto onSide = [before](double value, double reference) {
        return before ? value < reference : value > reference;
    };
    const std::optional<Node> parent = view_.graph().parent(node);
    if (alongTree) {
        if (parent && onSide(coordinate(parent->center, treeX), own)) {
            chooseNode(*parent);
            return true;
        }
        std::vector<Node> children = view_.graph().nodes(node.childrenUIDs);
        const auto distance = [&node](const Node& child) {
            const double dx = child.center.x - node.center.x;
            const double dy = child.center.y - node.center.y;
            return dx * dx + dy * dy;
        };
        std::stable_sort(children.begin(), children.end(),
                         [&](const Node& a, const Node& b) { return distance(a) < distance(b); });
        for (const Node& child : children)
            if (onSide(coordinate(child.center, treeX), own)) {
                chooseNode(child);
                return true;
            }
        return false;
    }
    if (!parent)
        return false;
    std::vector<Node> siblings = view_.graph().nodes(parent->childrenUIDs);
    const double parentTree = coordinate(parent->center, treeX);
    const double ownTree = coordinate(node.center, treeX);
    std::erase_if(siblings, [&](const Node& sibling) {
        if (sibling.uid == node.uid || sibling.uid == parent->uid)
            return true;
        const double tree = coordinate(sibling.center, treeX);
        if (ownTree < parentTree ? tree > parentTree : tree < parentTree)
            return true;
        const double across = coordinate(sibling.center, !treeX);
        return before ? across > own : across < own;
    });
    if (siblings.empty())
        return false;
    std::stable_sort(siblings.begin(), siblings.end(), [&](const Node& a, const Node& b) {
        const double ca = coordinate(a.center, !treeX);
        const double cb = coordinate(b.center, !treeX);
        return before ? ca > cb : ca < cb;
    });
    chooseNode(siblings.front());
    return true;
}

// ---- Home and End ----

bool NavigationInteraction::selectRootOfSelection()
{
    const std::vector<Node> selected = view_.selectedNodes();
    if (selected.empty())
        return false;
    chooseNode(view_.graph().rootAncestor(selected.front()));
    return true;
}

bool NavigationInteraction::selectFirstRoot()
{
    for (const auto& [uid, node] : view_.graph().nodeBin())
        if (view_.graph().nodeType(node) == NodeType::root) {
            chooseNode(node);
            return true;
        }
    return false;
}

// The tree of the first selected node, newest change first; equal stamps keep the tree's order (root first).
bool NavigationInteraction::selectLastModifiedNodeInTree()
{
    const std::vector<Node> selected = view_.selectedNodes();
    if (selected.empty())
        return false;
    std::vector<Node> tree = view_.graph().subtree(view_.graph().rootAncestor(selected.front()));
    if (tree.empty())
        return false;
    std::stable_sort(tree.begin(), tree.end(),
                     [](const Node& a, const Node& b) { return a.modifiedTimestamp > b.modifiedTimestamp; });
    view_.showSelection({tree.front()});
    chooseNode(tree.front());
    return true;
}

void NavigationInteraction::sendWindowAction(const char* selector)
{
    WindowActions* actions = WindowActions::of(&view_);
    if (!actions || !actions->dispatcher().sendAction(selector))
        Beep::beep();
}

bool NavigationInteraction::handleCanvasKey(QKeyEvent* event)
{
    const bool hasSelection = !view_.selectedNodes().empty();
    switch (event->key()) {
    case Qt::Key_Escape:
        if (!hasSelection)
            return false;
        sendWindowAction(commandSelector(Command::deselectAll));
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!hasSelection)
            Beep::beep();
        else
            sendWindowAction(commandSelector(Command::newChildNode));
        return true;
    case Qt::Key_Home:
        if (hasSelection)
            selectRootOfSelection();
        else if (!selectFirstRoot())
            Beep::beep();
        return true;
    case Qt::Key_End:
        if (!selectLastModifiedNodeInTree())
            Beep::beep();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        sendWindowAction(commandSelector(Command::newSiblingNode));
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        sendWindowAction(
            commandSelector(event->modifiers() & Qt::ShiftModifier ? Command::deleteSingle : Command::delete_));
        return true;
    case Qt::Key_Up:
        moveSelection(GraphView::NavigationDirection::up);
        return true;
    case Qt::Key_Left:
        moveSelection(GraphView::NavigationDirection::left);
        return true;
    case Qt::Key_Down:
        moveSelection(GraphView::NavigationDirection::down);
        return true;
    case Qt::Key_Right:
        moveSelection(GraphView::NavigationDirection::right);
        return true;
    default:
        return false;
    }
}

} // namespace velquine
