// The rectangle queries of Graph: bounding, canvas and print rectangles, and the extent of the stored frames kept
// in step with the edits.

#include "model/graph/Graph.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>

namespace velquine {

namespace {

// The print margin, in points.
constexpr double printMargin = 36.0;

// The factors of the fallback canvas candidates, 300 f by 200 f points centred on the origin.
constexpr std::array<double, 7> canvasFactors{5, 10, 20, 30, 40, 80, 100};
// How far from the origin the canvas reaches on each axis.
constexpr double canvasReach = 2'000'000;

// The edges of the extent of the frames of the nodes, folded in order; false for none. Each frame counts as
// Graph::extentOf has it.
template <class Range, class ExtentOf, class Extent>
bool foldExtents(const Range& nodes, ExtentOf extentOf, Extent& into)
{
    bool first = true;
    for (const Node& node : nodes) {
        const Extent frame = extentOf(node);
        if (first) {
            into = frame;
            first = false;
            continue;
        }
        into.minX = std::fmin(into.minX, frame.minX);
        into.minY = std::fmin(into.minY, frame.minY);
        into.maxX = std::fmax(into.maxX, frame.maxX);
        into.maxY = std::fmax(into.maxY, frame.maxY);
    }
    return !first;
}

template <class Extent>
Rect rectOf(const Extent& extent)
{
    return Rect(extent.minX, extent.minY, std::fabs(extent.maxX - extent.minX), std::fabs(extent.maxY - extent.minY));
}

} // namespace

Rect Graph::boundingRect(const std::vector<Node>& nodes) { return boundingRectOfRange(nodes); }

Rect Graph::boundingRectOfRange(std::span<const Node> nodes)
{
    Extent extent;
    return foldExtents(nodes, extentOf, extent) ? rectOf(extent) : Rect(0, 0, 0, 0);
}

Rect Graph::boundingRect() const
{
    if (!extentKnown_) {
        hasExtent_ = foldExtents(storedNodes(), extentOf, extent_);
        extentKnown_ = true;
    }
    return hasExtent_ ? rectOf(extent_) : Rect(0, 0, 0, 0);
}

// ---- Keeping the extent in step ----

void Graph::noteFrames(const Extent* before, const Extent* after)
{
    if (!extentKnown_)
        return;
    Extent& e = extent_;
    if (before) {
        // A frame on an edge (or not a plain number) that does not reach at least as far afterwards may have
        // been the only one there. The min and max folds ignore a NaN edge unless every edge is one.
        const Extent& b = *before;
        const bool leaves = (!(b.minX > e.minX) && !(after && after->minX <= b.minX))
            || (!(b.minY > e.minY) && !(after && after->minY <= b.minY))
            || (!(b.maxX < e.maxX) && !(after && after->maxX >= b.maxX))
            || (!(b.maxY < e.maxY) && !(after && after->maxY >= b.maxY));
        if (leaves || !hasExtent_) {
            extentKnown_ = false;
            return;
        }
    }
    if (!after)
        return;
    if (!hasExtent_) {
        e = *after;
        hasExtent_ = true;
        return;
    }
    e.minX = std::fmin(e.minX, after->minX);
    e.minY = std::fmin(e.minY, after->minY);
    e.maxX = std::fmax(e.maxX, after->maxX);
    e.maxY = std::fmax(e.maxY, after->maxY);
}

void Graph::storeTracked(std::int64_t uid, const Node& node)
{
    if (!extentKnown_) {
        nodeBin_.assign(uid, node);
        return;
    }
    const Node* stored = nodeBin_.lookup(uid);
    const std::optional<Extent> before = stored ? std::optional(extentOf(*stored)) : std::nullopt;
    const Extent after = extentOf(node);
    nodeBin_.assign(uid, node);
    noteFrames(before ? &*before : nullptr, &after);
}

void Graph::storeTracked(std::int64_t uid, Node&& node)
{
    if (!extentKnown_) {
        nodeBin_.assign(uid, std::move(node));
        return;
    }
    const Node* stored = nodeBin_.lookup(uid);
    const std::optional<Extent> before = stored ? std::optional(extentOf(*stored)) : std::nullopt;
    const Extent after = extentOf(node);
    nodeBin_.assign(uid, std::move(node));
    noteFrames(before ? &*before : nullptr, &after);
}

void Graph::eraseTracked(std::int64_t uid)
{
    const Node* stored = extentKnown_ ? nodeBin_.lookup(uid) : nullptr;
    const std::optional<Extent> before = stored ? std::optional(extentOf(*stored)) : std::nullopt;
    if (nodeBin_.erase(uid) && before)
        noteFrames(&*before, nullptr);
}

Graph::Graph(Graph&& other) noexcept
    : nodeBin_(std::move(other.nodeBin_)), connections_(std::move(other.connections_)), extent_(other.extent_),
      hasExtent_(other.hasExtent_), extentKnown_(std::exchange(other.extentKnown_, false))
{
}

Graph& Graph::operator=(Graph&& other) noexcept
{
    if (this != &other) {
        nodeBin_ = std::move(other.nodeBin_);
        connections_ = std::move(other.connections_);
        extent_ = other.extent_;
        hasExtent_ = other.hasExtent_;
        extentKnown_ = std::exchange(other.extentKnown_, false);
    }
    return *this;
}

Rect Graph::canvasRect(const std::optional<Size>& mainWindowScreenSize) const
{
    const Rect bounds = boundingRect();
    if (mainWindowScreenSize) {
        const Rect grown = bounds.insetBy(-0.5 * mainWindowScreenSize->width, -0.5 * mainWindowScreenSize->height);
        const auto within = [](double v) { return std::clamp(v, -canvasReach, canvasReach); };
        const double left = within(grown.minX()), top = within(grown.minY());
        return Rect(left, top, within(grown.maxX()) - left, within(grown.maxY()) - top);
    }
    Rect candidate;
    for (double f : canvasFactors) {
        candidate = Rect(-150 * f, -100 * f, 300 * f, 200 * f);
        if (candidate.contains(bounds))
            return candidate;
    }
    return candidate;
}

Rect Graph::printRect(double aspectRatio) const
{
    const double r = (std::isfinite(aspectRatio) && aspectRatio > 0) ? aspectRatio : 1.0;
    const Rect bounds = boundingRect();
    double w = bounds.size.width;
    double h = bounds.size.height;
    if (h < w) {
        if (h < w / r)
            h = w / r;
        else
            w = h * r;
    } else {
        if (w < h * r)
            w = h * r;
        else
            h = w / r;
    }
    return Rect(bounds.origin.x, bounds.origin.y, w, h).insetBy(-printMargin, -printMargin / r);
}

} // namespace velquine
