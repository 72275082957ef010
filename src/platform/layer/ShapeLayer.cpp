#include "platform/layer/ShapeLayer.h"

#include <QLineF>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace velquine {

namespace {
bool paints(const QColor& color) { return color.isValid() && color.alpha() > 0; }

// The same path in storage of its own size. A path made element by element keeps room for at least 16
// elements (about 400 bytes); a map holds thousands of outlines, underlines and branch lines of a few.
QPainterPath exactlySized(const QPainterPath& path)
{
    const int count = path.elementCount();
    if (count == 0 || path.capacity() <= count)
        return path;
    QPainterPath exact(QPointF(path.elementAt(0)));
    exact.reserve(count);
    for (int i = 1; i < count; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            exact.moveTo(e);
        } else if (e.isLineTo()) {
            exact.lineTo(e);
        } else if (e.isCurveTo() && i + 2 < count) {
            exact.cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
            i += 2;
        } else {
            return path; // not a shape this copy knows: kept as it is
        }
    }
    exact.setFillRule(path.fillRule());
    return exact == path ? exact : path;
}

// The bounds of a path's lines and curves (a curve's extremes, not its control points), read from its elements
// without asking the path: its own bounds are kept in storage copies share, so a copy of its own would be made
// first, for every frame of a path that animates.
QRectF tightBounds(const QPainterPath& path)
{
    const int count = path.elementCount();
    if (count == 0)
        return {};
    double minX = path.elementAt(0).x, maxX = minX, minY = path.elementAt(0).y, maxY = minY;
    const auto include = [&](double x, double y) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    };
    // Where one coordinate of the cubic a, b, c, d turns (its derivative's roots within 0..1), included.
    const auto turns = [](double a, double b, double c, double d, auto&& at) {
        const double qa = -a + 3 * b - 3 * c + d, qb = 2 * (a - 2 * b + c), qc = b - a;
        if (std::fabs(qa) < 1e-12) {
            if (std::fabs(qb) > 1e-12)
                at(-qc / qb);
            return;
        }
        const double discriminant = qb * qb - 4 * qa * qc;
        if (discriminant < 0)
            return;
        const double root = std::sqrt(discriminant);
        at((-qb + root) / (2 * qa));
        at((-qb - root) / (2 * qa));
    };
    for (int i = 1; i < count; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isCurveTo() && i + 2 < count) {
            const QPointF p0 = path.elementAt(i - 1), p1 = e, p2 = path.elementAt(i + 1), p3 = path.elementAt(i + 2);
            const auto point = [&](double t) {
                if (!(t > 0 && t < 1))
                    return;
                const double u = 1 - t;
                const double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
                include(w0 * p0.x() + w1 * p1.x() + w2 * p2.x() + w3 * p3.x(),
                        w0 * p0.y() + w1 * p1.y() + w2 * p2.y() + w3 * p3.y());
            };
            turns(p0.x(), p1.x(), p2.x(), p3.x(), point);
            turns(p0.y(), p1.y(), p2.y(), p3.y(), point);
            include(p3.x(), p3.y());
            i += 2;
        } else {
            include(e.x, e.y);
        }
    }
    return QRectF(QPointF(minX, minY), QPointF(maxX, maxY));
}
// The path in storage of its own. Reading a path's bounds, and filling, stroking or trimming it, keep results
// inside the storage copies share (bounds, the paint engine's form of the path): paints of the tree on several
// threads at once work on copies of their own.
QPainterPath ownCopy(QPainterPath path)
{
    if (!path.isEmpty())
        path.setElementPositionAt(0, path.elementAt(0).x, path.elementAt(0).y);
    return path;
}

// Cuts a cubic curve into pieces by halving it (de Casteljau) until a piece's control points lie within size
// across (at most 24 times): the same pieces whatever the area. Calls near(p0, p1, p2, p3) for each piece
// whose control points' box meets the area (edges included), in order.
template <class Near>
void cutCurveNear(QPointF p0, QPointF p1, QPointF p2, QPointF p3, const QRectF& area, double size, Near&& near,
                  int depth = 0)
{
    const double minX = std::min({p0.x(), p1.x(), p2.x(), p3.x()}), maxX = std::max({p0.x(), p1.x(), p2.x(), p3.x()});
    const double minY = std::min({p0.y(), p1.y(), p2.y(), p3.y()}), maxY = std::max({p0.y(), p1.y(), p2.y(), p3.y()});
    if (maxX < area.left() || minX > area.right() || maxY < area.top() || minY > area.bottom())
        return;
    if (depth >= 24 || (maxX - minX <= size && maxY - minY <= size)) {
        near(p0, p1, p2, p3);
        return;
    }
    const QPointF p01 = (p0 + p1) / 2, p12 = (p1 + p2) / 2, p23 = (p2 + p3) / 2;
    const QPointF p012 = (p01 + p12) / 2, p123 = (p12 + p23) / 2, middle = (p012 + p123) / 2;
    cutCurveNear(p0, p01, p012, middle, area, size, near, depth + 1);
    cutCurveNear(middle, p123, p23, p3, area, size, near, depth + 1);
}

} // namespace

void ShapeLayer::setPath(const QPainterPath& path)
{
    if (path == path_)
        return;
    const QPainterPath from = presentationPath();
    const std::optional<LayerAction> action = startingAction("path");
    Change change(*this, ChangeKind::geometry, showsAtOnce(action));
    path_ = exactlySized(path);
    pathExtent_.reset();
    dashes_.reset();
    animateChange("path", from, path, action);
}

QPainterPath ShapeLayer::presentationPath() const { return presentationValue<QPainterPath>("path", path_); }

void ShapeLayer::setFillColor(const QColor& color) { setField(fillColor_, color, ChangeKind::appearance); }

void ShapeLayer::setStrokeColor(const QColor& color)
{
    setField(strokeColor_, color, ChangeKind::geometry);
    pathExtent_.reset();
}

void ShapeLayer::setLineWidth(double width)
{
    setField(lineWidth_, width, ChangeKind::geometry);
    pathExtent_.reset();
    dashes_.reset();
}

void ShapeLayer::setLineDashPattern(std::vector<double> pattern)
{
    setField(lineDashPattern_, pattern, ChangeKind::appearance);
    dashes_.reset();
}

void ShapeLayer::setLineDashPhase(double phase)
{
    setField(lineDashPhase_, phase, ChangeKind::appearance);
    dashes_.reset();
}

void ShapeLayer::setLineCap(LineCap cap)
{
    setField(lineCap_, cap, ChangeKind::geometry);
    pathExtent_.reset();
    dashes_.reset();
}

void ShapeLayer::setLineJoin(LineJoin join)
{
    setField(lineJoin_, join, ChangeKind::geometry);
    pathExtent_.reset();
    dashes_.reset();
}

void ShapeLayer::setMiterLimit(double limit)
{
    setField(miterLimit_, limit, ChangeKind::geometry);
    pathExtent_.reset();
    dashes_.reset();
}

void ShapeLayer::setFillRule(FillRule rule) { setField(fillRule_, rule, ChangeKind::appearance); }

QPen ShapeLayer::strokePen() const
{
    QPen pen(strokeColor_, lineWidth_);
    pen.setCapStyle(lineCap_ == LineCap::round ? Qt::RoundCap : lineCap_ == LineCap::square ? Qt::SquareCap : Qt::FlatCap);
    pen.setJoinStyle(lineJoin_ == LineJoin::round ? Qt::RoundJoin : lineJoin_ == LineJoin::bevel ? Qt::BevelJoin : Qt::SvgMiterJoin);
    pen.setMiterLimit(miterLimit_);
    // An odd count of lengths repeats once to make dash-gap pairs.
    if (isDashed()) {
        QList<qreal> pattern;
        for (int copy = 0; copy < (lineDashPattern_.size() % 2 ? 2 : 1); ++copy)
            for (double length : lineDashPattern_)
                pattern.append(length / lineWidth_);
        pen.setDashPattern(pattern);
        pen.setDashOffset(lineDashPhase_ / lineWidth_);
    }
    return pen;
}

bool ShapeLayer::isDashed() const
{
    // Only a pattern with some positive length dashes.
    return lineWidth_ > 0
        && std::any_of(lineDashPattern_.begin(), lineDashPattern_.end(), [](double v) { return v > 0; })
        && std::all_of(lineDashPattern_.begin(), lineDashPattern_.end(), [](double v) { return std::isfinite(v) && v >= 0; });
}

bool ShapeLayer::hasPlainStrokeStyle() const
{
    return !paints(fillColor_) && paints(strokeColor_) && lineWidth_ > 0 && !isDashed() && lineCap_ != LineCap::square;
}

bool ShapeLayer::strokesPlainly(const QPainterPath& drawn) const
{
    if (!hasPlainStrokeStyle())
        return false;
    // One open line: its ends are the path's (a closed one joins them).
    const int count = drawn.elementCount();
    if (count < 2 || QPointF(drawn.elementAt(0)) == QPointF(drawn.elementAt(count - 1)))
        return false;
    for (int i = 1; i < count; ++i)
        if (drawn.elementAt(i).isMoveTo())
            return false;
    // A path of a move and one line or one curve has no corner.
    return lineJoin_ == LineJoin::round || count == 2 || (count == 4 && drawn.elementAt(1).isCurveTo());
}

QPainterPath ShapeLayer::filledPath(QPainterPath path) const
{
    path.setFillRule(fillRule_ == FillRule::evenOdd ? Qt::OddEvenFill : Qt::WindingFill);
    return ownCopy(std::move(path));
}

void ShapeLayer::prepareForDrawing(const Rect& area) const
{
    if (hasAnimationForKey("path")) {
        // Worked out here once, at the instant every part's paint shows, instead of by each of them.
        presentationPath();
        return;
    }
    if (!area.isNull())
        prepareForDrawing();
}

void ShapeLayer::prepareForDrawing() const
{
    if (path_.isEmpty() || !paints(strokeColor_) || hasAnimationForKey("path") || !isDashed() || dashes_)
        return;
    dashes_ = dashesOf(filledPath(path_));
}

void ShapeLayer::draw(QPainter& painter) const
{
    const QPainterPath path = filledPath(presentationPath());
    if (path.isEmpty())
        return;
    if (paints(fillColor_))
        painter.fillPath(path, fillColor_);
    if (paints(strokeColor_) && lineWidth_ > 0) {
        const QPen pen = strokePen();
        // A dashed one is filled from the dashes of the whole path, as where its dashes fall depends on the
        // length before.
        if (pen.style() != Qt::SolidLine) {
            const bool animating = hasAnimationForKey("path");
            painter.fillPath(dashes_ && !animating ? ownCopy(*dashes_) : dashesOf(path), strokeColor_);
        } else {
            painter.strokePath(path, pen);
        }
    }
}

// Qt's stroker lays dashes out only where the device can show them, starting again from the part it shows: a
// paint of a band or a strip would dash a line otherwise than a paint of the whole. The dashes of the whole
// path are made here, to be filled, wherever they are painted.
QPainterPath ShapeLayer::dashesOf(const QPainterPath& path) const
{
    QPainterPathStroker stroker(strokePen());
    QPainterPath dashes = stroker.createStroke(path);
    dashes.setFillRule(Qt::WindingFill);
    return dashes;
}

double ShapeLayer::strokeReach() const
{
    double margin = lineWidth_ / 2;
    if (lineJoin_ == LineJoin::miter)
        margin *= std::max(1.0, miterLimit_);
    if (lineCap_ == LineCap::square)
        margin = std::max(margin, lineWidth_ * M_SQRT1_2);
    return margin + 1;
}

Rect ShapeLayer::drawingExtent() const
{
    const bool animating = hasAnimationForKey("path");
    if (pathExtent_ && !animating)
        return *pathExtent_;
    const QPainterPath path = presentationPath();
    Rect extent = Rect::null();
    if (!path.isEmpty()) {
        const QRectF r = tightBounds(path);
        extent = Rect(r.x(), r.y(), r.width(), r.height());
        if (paints(strokeColor_) && lineWidth_ > 0)
            extent = extent.insetBy(-strokeReach(), -strokeReach());
    }
    if (!animating)
        pathExtent_ = extent;
    return extent;
}

std::optional<std::vector<Rect>> ShapeLayer::drawingPieces(const Rect& area) const
{
    // A fill covers the inside of the path, which pieces along it need not hold.
    if (paints(fillColor_) || !paints(strokeColor_) || !(lineWidth_ > 0))
        return std::nullopt;
    // Pieces of about this size along the path.
    constexpr double pieceLength = 512;
    const double reach = strokeReach() + 1;
    // Boxes along the path (before their reach is added) may paint in the area where they meet it widened by
    // the reach.
    constexpr double everywhere = 1e300;
    const QRectF near = area.isNull() ? QRectF(QPointF(-everywhere, -everywhere), QPointF(everywhere, everywhere))
                                      : QRectF(QPointF(area.minX() - reach, area.minY() - reach),
                                               QPointF(area.maxX() + reach, area.maxY() + reach));
    const auto wanted = [&](double minX, double minY, double maxX, double maxY) {
        return maxX >= near.left() && minX <= near.right() && maxY >= near.top() && minY <= near.bottom();
    };
    std::vector<Rect> pieces;
    Rect piece = Rect::null();
    const auto add = [&](QPointF a, QPointF b) {
        const Rect r(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::fabs(b.x() - a.x()), std::fabs(b.y() - a.y()));
        if (!wanted(r.minX(), r.minY(), r.maxX(), r.maxY()))
            return;
        const Rect joined = piece.isNull() ? r : piece.unionWith(r);
        if (joined.size.width <= pieceLength && joined.size.height <= pieceLength) {
            piece = joined;
            return;
        }
        pieces.push_back(piece.insetBy(-reach, -reach));
        piece = r;
    };
    const auto addLine = [&](QPointF a, QPointF b) {
        const QPointF v = b - a;
        if (!wanted(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::max(a.x(), b.x()), std::max(a.y(), b.y())))
            return;
        const int steps = std::max(1, int(std::ceil(std::sqrt(v.x() * v.x() + v.y() * v.y()) / pieceLength)));
        for (int step = 0; step < steps; ++step)
            add(a + v * (double(step) / steps), a + v * (double(step + 1) / steps));
    };
    // A curve lies within its control points: it is halved until their box is no larger than a piece, and
    // left where the box is out of the area.
    const auto addCurve = [&](QPointF p0, QPointF p1, QPointF p2, QPointF p3) {
        cutCurveNear(
            p0, p1, p2, p3, near, pieceLength,
            [&](QPointF a, QPointF b, QPointF c, QPointF d) {
                add({std::min({a.x(), b.x(), c.x(), d.x()}), std::min({a.y(), b.y(), c.y(), d.y()})},
                    {std::max({a.x(), b.x(), c.x(), d.x()}), std::max({a.y(), b.y(), c.y(), d.y()})});
            });
    };
    const QPainterPath path = presentationPath();
    const int count = path.elementCount();
    QPointF current;
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            current = e;
            if (i + 1 >= count || path.elementAt(i + 1).isMoveTo())
                add(current, current);
        } else if (e.isCurveTo() && i + 2 < count) {
            const QPointF end = path.elementAt(i + 2);
            addCurve(current, e, path.elementAt(i + 1), end);
            current = end;
            i += 2;
        } else {
            addLine(current, e);
            current = e;
        }
    }
    if (!piece.isNull())
        pieces.push_back(piece.insetBy(-reach, -reach));
    return pieces;
}

} // namespace velquine
