#include "platform/layer/PathTrimming.h"

#include <algorithm>
#include <cmath>

namespace velquine {

namespace {

QRectF boxOf(std::initializer_list<QPointF> points)
{
    double minX = points.begin()->x(), maxX = minX, minY = points.begin()->y(), maxY = minY;
    for (const QPointF& p : points) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    return QRectF(QPointF(minX, minY), QPointF(maxX, maxY));
}

// Closed rule on the edges, for boxes that may have no width or height.
bool meets(const QRectF& a, const QRectF& b)
{
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
}

// Pieces of a curve are found by halving it until a piece is at most pieceSize across, the same pieces
// whatever the area: a picture drawn in parts, each with its own area, strokes each piece exactly as the
// whole picture does.
class Trimmer {
public:
    static constexpr double pieceSize = 256;

    explicit Trimmer(const QRectF& area) : area_(area) {}

    void moveTo(QPointF p)
    {
        current_ = p;
        penDown_ = false;
    }
    void lineTo(QPointF p)
    {
        if (meets(boxOf({current_, p}), area_))
            keep([&] { out_.lineTo(p); });
        else
            penDown_ = false;
        current_ = p;
    }
    void cubicTo(QPointF c1, QPointF c2, QPointF end, int depth = 0)
    {
        const QRectF box = boxOf({current_, c1, c2, end});
        if (!meets(box, area_)) {
            penDown_ = false;
            current_ = end;
            return;
        }
        if (depth >= maxDepth || std::max(box.width(), box.height()) <= pieceSize) {
            keep([&] { out_.cubicTo(c1, c2, end); });
            current_ = end;
            return;
        }
        // De Casteljau at one half: two curves that together are this one.
        const QPointF p01 = (current_ + c1) / 2, p12 = (c1 + c2) / 2, p23 = (c2 + end) / 2;
        const QPointF p012 = (p01 + p12) / 2, p123 = (p12 + p23) / 2;
        const QPointF middle = (p012 + p123) / 2;
        cubicTo(p01, p012, middle, depth + 1);
        cubicTo(p123, p23, end, depth + 1);
    }
    QPainterPath take() { return std::move(out_); }

private:
    static constexpr int maxDepth = 24;

    // A piece that follows a kept piece continues its subpath, so the joins are the path's own; one after a
    // dropped piece starts where that piece ended, outside the area.
    template <class Draw>
    void keep(Draw draw)
    {
        if (!penDown_)
            out_.moveTo(current_);
        draw();
        penDown_ = true;
    }

    QRectF area_;
    QPainterPath out_;
    QPointF current_;
    bool penDown_ = false;
};

bool hasClosedSubpath(const QPainterPath& path)
{
    QPointF start;
    QPointF last;
    bool open = false;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            if (open && last == start)
                return true;
            start = last = e;
            open = false;
            continue;
        }
        last = e;
        open = true;
    }
    return open && last == start;
}

} // namespace

std::optional<QPainterPath> visiblePartOfStroke(const QPainterPath& path, const QRectF& area)
{
    if (path.isEmpty() || area.isEmpty() || hasClosedSubpath(path))
        return std::nullopt;
    const QRectF box = path.controlPointRect();
    if (area.contains(box) && std::max(box.width(), box.height()) <= Trimmer::pieceSize)
        return std::nullopt;
    Trimmer trimmer(area);
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            trimmer.moveTo(e);
            break;
        case QPainterPath::LineToElement:
            trimmer.lineTo(e);
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 >= path.elementCount())
                return std::nullopt;
            trimmer.cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
            i += 2;
            break;
        case QPainterPath::CurveToDataElement:
            return std::nullopt;
        }
    }
    QPainterPath trimmed = trimmer.take();
    trimmed.setFillRule(path.fillRule());
    return trimmed;
}

} // namespace velquine
