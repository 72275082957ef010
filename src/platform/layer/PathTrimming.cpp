#include "platform/layer/PathTrimming.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

// A line (c1 and c2 unused) or a cubic curve from the end of the one before.
struct Segment {
    bool line = true;
    QPointF c1, c2, end;
};

// Pieces that follow each other without a gap: a subpath of the output.
struct Run {
    QPointF start;
    std::vector<Segment> segments;

    Run reversed() const
    {
        Run back{segments.back().end, {}};
        back.segments.reserve(segments.size());
        for (std::size_t i = segments.size(); i-- > 0;) {
            const Segment& s = segments[i];
            const QPointF to = i > 0 ? segments[i - 1].end : start;
            back.segments.push_back(s.line ? Segment{true, {}, {}, to} : Segment{false, s.c2, s.c1, to});
        }
        return back;
    }
    void appendTo(QPainterPath& path) const
    {
        path.moveTo(start);
        for (const Segment& s : segments) {
            if (s.line)
                path.lineTo(s.end);
            else
                path.cubicTo(s.c1, s.c2, s.end);
        }
    }
};

// Pieces of a curve are found by halving it until a piece is at most pieceSize across, the same pieces
// whatever the area: a picture drawn in parts, each with its own area, strokes each piece exactly as the
// whole picture does.
class Trimmer {
public:
    static constexpr double pieceSize = 256;

    explicit Trimmer(const QRectF& area) : area_(area) {}

    void moveTo(QPointF p)
    {
        finishSubpath();
        current_ = subpathStart_ = p;
        penDown_ = false;
    }
    void lineTo(QPointF p)
    {
        if (meets(boxOf({current_, p}), area_))
            keep({true, {}, {}, p});
        else
            penDown_ = false;
        current_ = p;
    }
    void cubicTo(QPointF c1, QPointF c2, QPointF end)
    {
        cutCurveNear(
            current_, c1, c2, end, area_, pieceSize,
            [this](QPointF, QPointF a, QPointF b, QPointF to) {
                keep({false, a, b, to});
                current_ = to;
            },
            [this](QPointF to) {
                penDown_ = false;
                current_ = to;
            });
    }
    QPainterPath take(Qt::FillRule rule)
    {
        finishSubpath();
        out_.setFillRule(rule);
        return std::move(out_);
    }

private:

    // A piece that follows a kept piece continues its run, so the joins are the path's own; one after a
    // dropped piece starts a run where that piece ended, outside the area.
    void keep(const Segment& segment)
    {
        if (!penDown_)
            runs_.push_back({current_, {}});
        runs_.back().segments.push_back(segment);
        penDown_ = true;
    }
    // The subpath's runs, leftwards: the last one first when the subpath ends right of where it starts.
    void finishSubpath()
    {
        const bool rightwards = current_.x() > subpathStart_.x();
        if (rightwards)
            for (std::size_t i = runs_.size(); i-- > 0;)
                runs_[i].reversed().appendTo(out_);
        else
            for (const Run& run : runs_)
                run.appendTo(out_);
        runs_.clear();
    }

    QRectF area_;
    QPainterPath out_;
    std::vector<Run> runs_;
    QPointF subpathStart_;
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

// Whether the path is nothing but separate straight lines, each a move and a line. Qt's raster engine strokes
// such a path with a line rasterizer of its own, whose pixels depend on the painted area.
bool isSeparateLines(const QPainterPath& path)
{
    for (int i = 0; i < path.elementCount(); ++i)
        if (path.elementAt(i).type != (i % 2 ? QPainterPath::LineToElement : QPainterPath::MoveToElement))
            return false;
    return true;
}

std::optional<QPainterPath> trimmed(const QPainterPath& path, const QRectF& area)
{
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
    return trimmer.take(path.fillRule());
}

} // namespace

std::optional<QPainterPath> visiblePartOfStroke(const QPainterPath& path, const QRectF& area)
{
    if (path.isEmpty() || area.isEmpty() || hasClosedSubpath(path))
        return std::nullopt;
    std::optional<QPainterPath> part = trimmed(path, area);
    // A path of curves or joined lines must not come out as separate lines, which are rasterized otherwise
    // than the whole path's: it is then given with every piece.
    if (part && !part->isEmpty() && isSeparateLines(*part) && !isSeparateLines(path))
        return trimmed(path, path.controlPointRect());
    return part;
}

} // namespace velquine
