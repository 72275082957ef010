// The rectangle queries of Graph: bounding, canvas and print rectangles.

#include "model/graph/Graph.h"

#include <array>
#include <cmath>

namespace velquine {

namespace {

// The print margin, in points.
constexpr double printMargin = 36.0;

// The factors of the fallback canvas candidates, 300 f by 200 f points centred on the origin.
constexpr std::array<double, 7> canvasFactors{5, 10, 20, 30, 40, 80, 100};

Rect frameOf(const Node& node)
{
    return Rect(node.center.x - node.size.width * 0.5, node.center.y - node.size.height * 0.5, node.size.width,
                node.size.height);
}

template <class Range>
Rect boundingRectOf(const Range& nodes)
{
    bool first = true;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (const Node& node : nodes) {
        // Standardized once: its edges are what minX() and the others would each work out again.
        const Rect frame = frameOf(node).standardized();
        const double x0 = frame.origin.x, y0 = frame.origin.y;
        const double x1 = x0 + frame.size.width, y1 = y0 + frame.size.height;
        if (first) {
            minX = x0;
            minY = y0;
            maxX = x1;
            maxY = y1;
            first = false;
            continue;
        }
        minX = std::fmin(minX, x0);
        minY = std::fmin(minY, y0);
        maxX = std::fmax(maxX, x1);
        maxY = std::fmax(maxY, y1);
    }
    if (first)
        return Rect(0, 0, 0, 0);
    return Rect(minX, minY, std::fabs(maxX - minX), std::fabs(maxY - minY));
}

// The stored nodes of a bin as a range of Node.
struct BinValues {
    const Graph::NodeBin& bin;
    struct Iterator {
        Graph::NodeBin::const_iterator it;
        const Node& operator*() const { return it->second; }
        Iterator& operator++()
        {
            ++it;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return it != other.it; }
    };
    Iterator begin() const { return {bin.begin()}; }
    Iterator end() const { return {bin.end()}; }
};

} // namespace

Rect Graph::boundingRect(const std::vector<Node>& nodes) { return boundingRectOf(nodes); }

Rect Graph::boundingRectOfRange(std::span<const Node> nodes) { return boundingRectOf(nodes); }

Rect Graph::boundingRect() const { return boundingRectOf(BinValues{nodeBin_}); }

Rect Graph::canvasRect(const std::optional<Size>& mainWindowScreenSize) const
{
    const Rect bounds = boundingRect();
    if (mainWindowScreenSize)
        return bounds.insetBy(-0.5 * mainWindowScreenSize->width, -0.5 * mainWindowScreenSize->height);
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
