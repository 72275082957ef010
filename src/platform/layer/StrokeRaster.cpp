#include "platform/layer/StrokeRaster.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velquine {

namespace {

constexpr double tiny = 1e-12;

// floor() and ceil() of values clamped to [lo, hi] (whole numbers), without the library's calls, which the
// inner loops cannot afford.
int floorWithin(double v, int lo, int hi)
{
    if (!(v > lo))
        return lo;
    if (v >= hi)
        return hi;
    const int i = int(v);
    return i - (v < i);
}
int ceilWithin(double v, int lo, int hi) { return -floorWithin(-v, -hi, -lo); }

std::uint8_t coverageByte(double coverage) { return std::uint8_t(std::clamp(coverage, 0.0, 1.0) * 255.0 + 0.5); }

unsigned scaled(unsigned value, unsigned alpha) { return (value * alpha + 127) / 255; }

// How far from the device's origin a path's points may lie, in pixels: further out, doubles no longer tell a
// pixel's parts apart. A path with a point further out, or not a number, draws nothing.
constexpr double farthest = 0x1p50;

// Whether every point of the path, scaled by (sx, sy) and moved by (dx, dy), lies within reach.
bool withinReach(const StrokeRaster::PathElement* elements, int count, double sx, double sy, double dx, double dy)
{
    for (int i = 0; i < count; ++i)
        if (!(std::fabs(elements[i].x * sx + dx) < farthest && std::fabs(elements[i].y * sy + dy) < farthest))
            return false;
    return true;
}

} // namespace

// The mask and line storage of a thread: a paint allocates and clears only what it draws, not the whole
// area (most runs of lines cover little of it).
struct StrokeRaster::Storage {
    std::vector<std::uint8_t> bytes;
    bool inUse = false;

    static Storage& ofThread()
    {
        thread_local Storage storage;
        return storage;
    }
};

namespace {

struct VisitedRows {
    std::vector<std::int32_t>* changes = nullptr;
    int firstRow = 0;
};
thread_local VisitedRows visitedRows;

} // namespace

void StrokeRaster::noteVisitedRows(std::vector<std::int32_t>* changes, int firstRow)
{
    visitedRows = {changes, firstRow};
}

void StrokeRaster::noteVisits(int firstRow, int lastRow)
{
    const int first = std::clamp(firstRow + visitOffset_, 0, visitRows_);
    const int past = std::clamp(lastRow + 1 + visitOffset_, 0, visitRows_);
    if (first >= past)
        return;
    ++visits_[first];
    --visits_[past];
}

StrokeRaster::StrokeRaster(const QRect& pixels)
    : pixels_(pixels), width_(std::max(0, pixels.width())), height_(std::max(0, pixels.height()))
{
    if (visitedRows.changes && !visitedRows.changes->empty()) {
        visits_ = visitedRows.changes->data();
        visitOffset_ = pixels.top() - visitedRows.firstRow;
        visitRows_ = int(visitedRows.changes->size()) - 1;
    }
    const std::size_t count = std::size_t(width_) * std::size_t(height_);
    Storage& shared = Storage::ofThread();
    storage_ = shared.inUse ? new Storage : &shared;
    storage_->inUse = true;
    if (storage_->bytes.size() < 2 * count)
        storage_->bytes.assign(2 * count, 0);
    mask_ = storage_->bytes.data();
    line_ = mask_ + count;
    lineSpans_.assign(std::size_t(height_), Span{});
    wholeSpans_.assign(std::size_t(height_), Span{0, -1});
    covered_.assign(std::size_t(height_), Span{});
    tilesAcross_ = (width_ + tileColumns - 1) / tileColumns;
    tiles_.assign(std::size_t(tilesAcross_) * std::size_t((height_ + stripRows - 1) / stripRows), 0);
}

StrokeRaster::~StrokeRaster()
{
    // The line storage is clear after every line; the mask is cleared where it was drawn.
    for (int row = coveredRows_.first; row <= coveredRows_.last; ++row) {
        const Span& span = covered_[std::size_t(row)];
        if (span.first <= span.last)
            std::fill(mask_ + std::size_t(row) * std::size_t(width_) + std::size_t(span.first),
                      mask_ + std::size_t(row) * std::size_t(width_) + std::size_t(span.last) + 1, std::uint8_t(0));
    }
    storage_->inUse = false;
    if (storage_ != &Storage::ofThread())
        delete storage_;
}

void StrokeRaster::releaseThreadStorage()
{
    Storage& shared = Storage::ofThread();
    if (!shared.inUse)
        std::vector<std::uint8_t>().swap(shared.bytes);
}

bool StrokeRaster::suits(QPainter& painter, const QTransform& toDevice)
{
    const QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !painter.testRenderHint(QPainter::Antialiasing)
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver || toDevice.type() > QTransform::TxScale)
        return false;
    const double sx = std::fabs(toDevice.m11()), sy = std::fabs(toDevice.m22());
    return sx > 0 && std::fabs(sx - sy) <= 1e-9 * sx;
}

std::optional<QRect> StrokeRaster::paintablePixels(QPainter& painter, const QTransform& worldToDevice)
{
    std::optional<QRect> area;
    const auto within = [&area](const QRect& r) { area = area ? area->intersected(r) : r; };
    if (painter.hasClipping())
        within((painter.worldTransform() * worldToDevice).mapRect(painter.clipBoundingRect()).toAlignedRect());
    QPaintEngine* engine = painter.paintEngine();
    if (engine) {
        const QRegion system = engine->systemClip();
        if (!system.isEmpty())
            within(system.boundingRect());
        const QPaintDevice* device = engine->paintDevice();
        if (device && device->devType() == QInternal::Image)
            within(static_cast<const QImage*>(device)->rect());
    }
    return area;
}

bool StrokeRaster::nearMask(double minX, double minY, double maxX, double maxY) const
{
    const double margin = reach_ + 1;
    return maxX >= -margin && minX <= width_ + margin && maxY >= -margin && minY <= height_ + margin;
}

bool StrokeRaster::coveredWholly(double minX, double minY, double maxX, double maxY) const
{
    // The pixels whose centres lie within reach of the box, of the mask's.
    const double margin = reach_ + 1;
    const int firstRow = floorWithin(minY - margin, 0, height_ - 1);
    const int lastRow = ceilWithin(maxY + margin, 0, height_ - 1);
    const int first = floorWithin(minX - margin, 0, width_ - 1), last = ceilWithin(maxX + margin, 0, width_ - 1);
    for (int row = firstRow; row <= lastRow; ++row)
        if (!rowCovered(row, first, last))
            return false;
    return true;
}

namespace {

// Whether the bytes from first to last (inclusive) are all 255, eight at a time.
bool allWhole(const std::uint8_t* bytes, int first, int last)
{
    int column = first;
    for (; column + 8 <= last + 1; column += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, bytes + column, sizeof eight);
        if (eight != ~std::uint64_t(0))
            return false;
    }
    for (; column <= last; ++column)
        if (bytes[column] != 255)
            return false;
    return true;
}

} // namespace

bool StrokeRaster::rowCovered(int row, int first, int last) const
{
    const Span& whole = wholeSpans_[std::size_t(row)];
    if (whole.first <= first && last <= whole.last)
        return true;
    const std::uint8_t* const mask = &mask_[std::size_t(row) * std::size_t(width_)];
    // A line's pixels not covered wholly lie mostly at its edges.
    return mask[first] == 255 && mask[last] == 255 && allWhole(mask, first + 1, last - 1);
}

void StrokeRaster::growWhole(int row)
{
    Span& whole = wholeSpans_[std::size_t(row)];
    if (whole.first > whole.last)
        return;
    const std::uint8_t* const mask = &mask_[std::size_t(row) * std::size_t(width_)];
    while (whole.first > 0 && mask[whole.first - 1] == 255)
        --whole.first;
    while (whole.last + 1 < width_ && mask[whole.last + 1] == 255)
        ++whole.last;
}

std::uint64_t StrokeRaster::drawingOrder(QPointF end)
{
    const auto whole = [](double v) { return std::uint32_t(std::int32_t(std::clamp(std::floor(v), -1e9, 1e9))); };
    // The bits of a number spread to the even bits of a word.
    const auto spread = [](std::uint64_t v) {
        v = (v | (v << 16)) & 0x0000FFFF0000FFFFull;
        v = (v | (v << 8)) & 0x00FF00FF00FF00FFull;
        v = (v | (v << 4)) & 0x0F0F0F0F0F0F0F0Full;
        v = (v | (v << 2)) & 0x3333333333333333ull;
        return (v | (v << 1)) & 0x5555555555555555ull;
    };
    // Bit i of x and of y go to bits 2i and 2i + 1, then the word is reversed: to bits 63 - 2i and 62 - 2i, so
    // that the lowest bits weigh most.
    std::uint64_t v = spread(whole(end.x())) | (spread(whole(end.y())) << 1);
    v = ((v >> 1) & 0x5555555555555555ull) | ((v & 0x5555555555555555ull) << 1);
    v = ((v >> 2) & 0x3333333333333333ull) | ((v & 0x3333333333333333ull) << 2);
    v = ((v >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((v & 0x0F0F0F0F0F0F0F0Full) << 4);
    return __builtin_bswap64(v);
}

void StrokeRaster::appendElements(const QPainterPath& path, std::vector<PathElement>& elements)
{
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        elements.push_back({e.x, e.y, e.type});
    }
}

void StrokeRaster::addStroke(const PathElement* elements, int count, const QTransform& toDevice, double width,
                             bool roundEnds, double alpha)
{
    if (count <= 0 || !withinReach(elements, count, toDevice.m11(), toDevice.m22(), toDevice.dx(), toDevice.dy()))
        return;
    const PathElement& end = elements[count - 1];
    order_.emplace_back(drawingOrder(toDevice.map(QPointF(end.x, end.y))), std::uint32_t(lines_.size()));
    lines_.push_back({elements, count, roundEnds, toDevice.m11(), toDevice.m22(), toDevice.dx(), toDevice.dy(), width,
                      alpha});
}

void StrokeRaster::drawLine(const Line& line)
{
    const PathElement* const elements = line.elements;
    const int count = line.count;
    const unsigned alphaByte = coverageByte(line.alpha);
    const double width = line.width;
    const bool roundEnds = line.roundEnds;
    if (width_ == 0 || height_ == 0 || alphaByte == 0 || !(width > 0))
        return;
    reach_ = width * std::fabs(line.sx) / 2 + 0.5;
    opaque_ = alphaByte == 255;
    const double sx = line.sx, sy = line.sy;
    // Curves are flattened in the line's points only scaled, the same numbers in every paint: flattened on the
    // device or in the mask, a curve right at the flatness allowed was halved in one paint and drawn straight in
    // another, its pixels a few levels apart. A point is then placed on the device and moved by the mask's whole
    // pixels, which is exact: a line on a pixel's edge takes the same pixels whatever area the mask covers.
    place_ = {line.dx, line.dy, double(pixels_.left()), double(pixels_.top())};
    const auto scaled = [&](const PathElement& q) { return Point{q.x * sx, q.y * sy}; };
    const auto isMoveTo = [elements](int i) { return elements[i].type == QPainterPath::MoveToElement; };

    int i = 0;
    while (i < count) {
        // One subpath: its vertices, then its pieces.
        vertices_.clear();
        Point at = scaled(elements[i]);
        vertices_.push_back({place_(at), false});
        for (++i; i < count && !isMoveTo(i); ++i) {
            const PathElement& e = elements[i];
            if (e.type == QPainterPath::CurveToElement && i + 2 < count) {
                const Point end = scaled(elements[i + 2]);
                addCubic(at, scaled(e), scaled(elements[i + 1]), end, e.depth, curveEnds(elements, count, i));
                at = end;
                i += 2;
            } else {
                at = scaled(e);
                addLineTo(place_(at));
            }
        }
        const std::size_t last = vertices_.size() - 1;
        for (std::size_t v = 1; v <= last; ++v) {
            if (!vertices_[v].joined)
                continue;
            // How far past each end the piece is drawn: half a pixel at a flat end of the path, the whole reach
            // at a round end or where the line was cut off (the piece beyond lies out of reach of the mask), and
            // at a corner as far as its round join sticks out past the piece: the reach times the sine of the
            // turn (the whole reach beyond a right angle).
            const bool startsPath = v == 1, endsPath = v == last;
            const double start = startsPath ? (roundEnds ? reach_ : -1) : joinReach(v - 1);
            const double end = endsPath ? (roundEnds ? reach_ : -1) : joinReach(v);
            addSegment(vertices_[v - 1].p, vertices_[v].p, start, end);
        }
    }
    mergeLine(alphaByte);
}

void StrokeRaster::addLineTo(Point p)
{
    const Point a = vertices_.back().p;
    const bool near = nearMask(std::min(a.x, p.x), std::min(a.y, p.y), std::max(a.x, p.x), std::max(a.y, p.y));
    vertices_.push_back({p, near});
}

namespace {

// Whether a chord (cx, cy) leaves its start in the direction (dx, dy), within about a degree. A flat end of a
// line is cut across its first or last piece; cut across a chord that turned away from the curve, it would
// cover pixels behind the curve's own end.
bool leavesAlong(double dx, double dy, double cx, double cy)
{
    const double d = std::sqrt(dx * dx + dy * dy), c = std::sqrt(cx * cx + cy * cy);
    if (d < tiny || c < tiny)
        return true;
    return dx * cx + dy * cy > 0 && std::fabs(dx * cy - dy * cx) <= 0.02 * d * c;
}

} // namespace

StrokeRaster::Box StrokeRaster::boxOf(Point p0, Point p1, Point p2, Point p3)
{
    return {std::min({p0.x, p1.x, p2.x, p3.x}), std::min({p0.y, p1.y, p2.y, p3.y}), std::max({p0.x, p1.x, p2.x, p3.x}),
            std::max({p0.y, p1.y, p2.y, p3.y})};
}

unsigned StrokeRaster::curveEnds(const PathElement* elements, int count, int i)
{
    const auto isMoveTo = [elements](int j) { return elements[j].type == QPainterPath::MoveToElement; };
    const bool startsPath = i == 1 || isMoveTo(i - 1);
    const bool endsPath = i + 3 >= count || isMoveTo(i + 3);
    return (startsPath ? Ends::start : Ends::none) | (endsPath ? Ends::end : Ends::none);
}

bool StrokeRaster::drawnStraight(Point p0, Point p1, Point p2, Point p3, int depth, unsigned ends, double tolerance,
                                 double longest)
{
    if (depth >= deepest) {
        const Box box = boxOf(p0, p1, p2, p3);
        return std::max(box.maxX - box.minX, box.maxY - box.minY) <= longest;
    }
    // Flat enough when both inner control points lie near the chord (the curve lies within their hull).
    const double cx = p3.x - p0.x, cy = p3.y - p0.y;
    const double chord = std::sqrt(cx * cx + cy * cy);
    const auto offChord = [&](Point q) {
        const double qx = q.x - p0.x, qy = q.y - p0.y;
        return chord > tiny ? std::fabs(qx * cy - qy * cx) / chord : std::sqrt(qx * qx + qy * qy);
    };
    // The direction the curve leaves from (the first control point that differs from the end).
    const auto leaves = [](Point from, Point a, Point b, Point c, double cx, double cy) {
        for (const Point q : {a, b, c})
            if (std::fabs(q.x - from.x) > tiny || std::fabs(q.y - from.y) > tiny)
                return leavesAlong(q.x - from.x, q.y - from.y, cx, cy);
        return true;
    };
    bool flat = std::max(offChord(p1), offChord(p2)) <= tolerance;
    if (flat && (ends & Ends::start))
        flat = leaves(p0, p1, p2, p3, cx, cy);
    if (flat && (ends & Ends::end))
        flat = leaves(p3, p2, p1, p0, -cx, -cy);
    return flat;
}

void StrokeRaster::halve(const Point (&c)[4], Point (&first)[4], Point (&second)[4])
{
    const auto mid = [](Point a, Point b) { return Point{(a.x + b.x) / 2, (a.y + b.y) / 2}; };
    const Point p01 = mid(c[0], c[1]), p12 = mid(c[1], c[2]), p23 = mid(c[2], c[3]);
    const Point p012 = mid(p01, p12), p123 = mid(p12, p23);
    const Point m = mid(p012, p123);
    first[0] = c[0], first[1] = p01, first[2] = p012, first[3] = m;
    second[0] = m, second[1] = p123, second[2] = p23, second[3] = c[3];
}

void StrokeRaster::addCubic(Point p0, Point p1, Point p2, Point p3, int depth, unsigned ends)
{
    // The box in the mask (placing only moves it).
    const Box scaled = boxOf(p0, p1, p2, p3);
    const Point low = place_({scaled.minX, scaled.minY}), high = place_({scaled.maxX, scaled.maxY});
    if (!nearMask(low.x, low.y, high.x, high.y) || coveredWholly(low.x, low.y, high.x, high.y)) {
        vertices_.push_back({place_(p3), false});
        return;
    }
    if (drawnStraight(p0, p1, p2, p3, depth, ends, flatness, pieceSize)) {
        vertices_.push_back({place_(p3), true});
        return;
    }
    Point a[4], b[4];
    halve({p0, p1, p2, p3}, a, b);
    addCubic(a[0], a[1], a[2], a[3], depth + 1, ends & Ends::start);
    addCubic(b[0], b[1], b[2], b[3], depth + 1, ends & Ends::end);
}

// Cuts a path as StrokeRaster::cutToArea() says. Pieces left out next to one another become one move while
// their box stays out of reach of the area.
class StrokeRaster::Cutter {
public:
    Cutter(const QRectF& area, double margin, double tolerance, double pieceUnits, std::vector<PathElement>& out)
        : left_(area.left() - margin), top_(area.top() - margin), right_(area.right() + margin),
          bottom_(area.bottom() + margin), tolerance_(tolerance), pieceUnits_(pieceUnits), out_(out)
    {
    }

    void moveTo(Point p)
    {
        flush();
        out_.push_back({p.x, p.y, QPainterPath::MoveToElement});
        current_ = p;
    }
    void lineTo(Point p)
    {
        if (outside(std::min(current_.x, p.x), std::min(current_.y, p.y), std::max(current_.x, p.x),
                    std::max(current_.y, p.y))) {
            leaveOut(p);
        } else {
            flush();
            keep(current_);
            keep(p);
            out_.push_back({p.x, p.y, QPainterPath::LineToElement});
        }
        current_ = p;
    }
    void curveTo(const Point (&c)[4], int depth, unsigned ends)
    {
        const Box box = boxOf(c[0], c[1], c[2], c[3]);
        if (outside(box.minX, box.minY, box.maxX, box.maxY)) {
            leaveOut(c[3]);
        } else if (std::max(box.maxX - box.minX, box.maxY - box.minY) <= pieceUnits_
                   || drawnStraight(c[0], c[1], c[2], c[3], depth, ends, tolerance_, pieceUnits_)) {
            flush();
            for (const Point& q : c)
                keep(q);
            out_.push_back({c[1].x, c[1].y, QPainterPath::CurveToElement, std::uint8_t(depth)});
            out_.push_back({c[2].x, c[2].y, QPainterPath::CurveToDataElement});
            out_.push_back({c[3].x, c[3].y, QPainterPath::CurveToDataElement});
        } else {
            Point a[4], b[4];
            halve(c, a, b);
            curveTo(a, depth + 1, ends & Ends::start);
            curveTo(b, depth + 1, ends & Ends::end);
        }
        current_ = c[3];
    }
    // Ends the path: a move left pending is written.
    std::optional<QRectF> finish()
    {
        flush();
        if (keptLeft_ > keptRight_)
            return std::nullopt;
        return QRectF(QPointF(keptLeft_, keptTop_), QPointF(keptRight_, keptBottom_));
    }

private:
    bool outside(double minX, double minY, double maxX, double maxY) const
    {
        return maxX < left_ || minX > right_ || maxY < top_ || minY > bottom_;
    }
    void leaveOut(Point to)
    {
        if (!pending_ || !outside(std::min(pendingFrom_.x, to.x), std::min(pendingFrom_.y, to.y),
                                  std::max(pendingFrom_.x, to.x), std::max(pendingFrom_.y, to.y))) {
            flush();
            pending_ = true;
            pendingFrom_ = current_;
        }
        pendingTo_ = to;
    }
    void flush()
    {
        if (pending_)
            out_.push_back({pendingTo_.x, pendingTo_.y, QPainterPath::LineToElement});
        pending_ = false;
    }
    void keep(Point p)
    {
        keptLeft_ = std::min(keptLeft_, p.x);
        keptRight_ = std::max(keptRight_, p.x);
        keptTop_ = std::min(keptTop_, p.y);
        keptBottom_ = std::max(keptBottom_, p.y);
    }

    double left_, top_, right_, bottom_, tolerance_, pieceUnits_;
    std::vector<PathElement>& out_;
    Point current_{0, 0};
    // A move left pending: from the point before the pieces left out to the end of the last.
    bool pending_ = false;
    Point pendingFrom_{0, 0}, pendingTo_{0, 0};
    double keptLeft_ = HUGE_VAL, keptTop_ = HUGE_VAL, keptRight_ = -HUGE_VAL, keptBottom_ = -HUGE_VAL;
};

std::optional<QRectF> StrokeRaster::cutToArea(const PathElement* elements, int count, const QRectF& area,
                                              double pixelsPerUnit, double width, std::vector<PathElement>& out)
{
    // A raster's pixels lie within the area's, a pixel or so more where its edges cut pixels; it leaves out what
    // lies further than the line's reach and a pixel from them.
    if (!(pixelsPerUnit > 0) || !std::isfinite(width) || !withinReach(elements, count, pixelsPerUnit, pixelsPerUnit, 0, 0)
        || !(std::fabs(area.left() * pixelsPerUnit) < farthest && std::fabs(area.right() * pixelsPerUnit) < farthest
             && std::fabs(area.top() * pixelsPerUnit) < farthest && std::fabs(area.bottom() * pixelsPerUnit) < farthest))
        return std::nullopt;
    const double reach = width * pixelsPerUnit / 2 + 0.5;
    Cutter cutter(area, (reach + 4) / pixelsPerUnit, flatness / pixelsPerUnit, pieceSize / pixelsPerUnit, out);
    const auto point = [elements](int i) { return Point{elements[i].x, elements[i].y}; };
    const auto isMoveTo = [elements](int i) { return elements[i].type == QPainterPath::MoveToElement; };
    for (int i = 0; i < count; ++i) {
        if (isMoveTo(i) || i == 0) {
            cutter.moveTo(point(i));
        } else if (elements[i].type == QPainterPath::CurveToElement && i + 2 < count) {
            cutter.curveTo({point(i - 1), point(i), point(i + 1), point(i + 2)}, elements[i].depth,
                           curveEnds(elements, count, i));
            i += 2;
        } else {
            cutter.lineTo(point(i));
        }
    }
    return cutter.finish();
}

double StrokeRaster::joinReach(std::size_t v) const
{
    if (v == 0 || v + 1 >= vertices_.size() || !vertices_[v].joined || !vertices_[v + 1].joined)
        return reach_;
    const Point a = vertices_[v - 1].p, b = vertices_[v].p, c = vertices_[v + 1].p;
    const double x1 = b.x - a.x, y1 = b.y - a.y, x2 = c.x - b.x, y2 = c.y - b.y;
    const double l1 = std::sqrt(x1 * x1 + y1 * y1), l2 = std::sqrt(x2 * x2 + y2 * y2);
    if (l1 < tiny || l2 < tiny || x1 * x2 + y1 * y2 <= 0)
        return reach_;
    return std::min(reach_, reach_ * std::fabs(x1 * y2 - y1 * x2) / (l1 * l2) + 1e-6);
}

// A straight piece of a line in mask pixels, with, for a pixel centre (x, y), along = ux (x - ax) + uy (y - ay)
// and across = ux (y - ay) - uy (x - ax). Its coverage of a pixel is the reach less the distance from the
// piece (round past its ends), at most 1 (or the line's width, when under a pixel), times, across a flat end,
// 0.5 plus how far inside it lies: whole within the core and half a pixel inside a flat end.
struct StrokeRaster::Piece {
    Point a;
    double ux, uy, length;
    bool flatStart, flatEnd;
    double reach;
    // Where along the piece its pixels may lie, and where they are wholly covered.
    double reachLo, reachHi, coreLo, coreHi;
    bool alongFree, acrossFree;  // the piece runs across the rows, or along them
    double invUx, kAcross, halfPerRadius;

    Piece(Point from, Point to, double length, double startReach, double endReach, double reach)
        : a(from), ux((to.x - from.x) / length), uy((to.y - from.y) / length), length(length),
          flatStart(startReach < 0), flatEnd(endReach < 0), reach(reach),
          reachLo(flatStart ? -0.5 : -startReach), reachHi(flatEnd ? length + 0.5 : length + endReach),
          coreLo(flatStart ? 0.5 : 0), coreHi(flatEnd ? length - 0.5 : length), alongFree(std::fabs(ux) < tiny),
          acrossFree(std::fabs(uy) < tiny), invUx(alongFree ? 0 : 1 / ux), kAcross(acrossFree ? 0 : ux / uy),
          halfPerRadius(acrossFree ? 0 : 1 / std::fabs(uy))
    {
    }

    // The x of row y where lo <= along <= hi and |across| <= radius: two pairs of bounds linear in y.
    void columns(double y, double radius, double lo, double hi, double& from, double& to) const
    {
        const double ry = y - a.y;
        from = -HUGE_VAL;
        to = HUGE_VAL;
        if (alongFree) {
            if (uy * ry < lo || uy * ry > hi)
                to = -HUGE_VAL;
        } else {
            const double p = a.x + (lo - uy * ry) * invUx, q = a.x + (hi - uy * ry) * invUx;
            from = std::min(p, q);
            to = std::max(p, q);
        }
        if (acrossFree) {
            if (std::fabs(ux * ry) > radius)
                to = -HUGE_VAL;
        } else {
            const double centre = a.x + kAcross * ry, half = radius * halfPerRadius;
            from = std::max(from, centre - half);
            to = std::min(to, centre + half);
        }
    }

    // The rows the piece's pixels may lie in: its band's corners bound them.
    void rows(double& minY, double& maxY) const
    {
        minY = HUGE_VAL;
        maxY = -HUGE_VAL;
        for (const double along : {reachLo, reachHi})
            for (const double across : {-reach, reach}) {
                const double y = a.y + uy * along + ux * across;
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    }

    double coverage(double x, double y) const
    {
        const double along = ux * (x - a.x) + uy * (y - a.y), across = ux * (y - a.y) - uy * (x - a.x);
        double distance = std::fabs(across);
        if (along < 0 && !flatStart)
            distance = std::sqrt(along * along + across * across);
        else if (along > length && !flatEnd)
            distance = std::sqrt((along - length) * (along - length) + across * across);
        // A line narrower than a pixel covers at most its width of one.
        double coverage = std::min({reach - distance, 1.0, 2 * reach - 1});
        if (flatStart)
            coverage *= std::clamp(0.5 + along, 0.0, 1.0);
        if (flatEnd)
            coverage *= std::clamp(0.5 + length - along, 0.0, 1.0);
        return coverage;
    }
};

void StrokeRaster::addSegment(Point a, Point b, double startReach, double endReach)
{
    const double length = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
    if (length < tiny)
        return;
    const Piece piece(a, b, length, startReach, endReach, reach_);
    // A line drawn less than opaque covers nothing wholly: all of it goes through line_.
    const double core = opaque_ ? reach_ - 1 : 0;
    double minY, maxY;
    piece.rows(minY, maxY);
    const int rowFrom = ceilWithin(minY - 0.5, 0, height_), rowTo = floorWithin(maxY - 0.5, -1, height_ - 1);
    if (visits_)
        noteVisits(rowFrom, rowTo);
    for (int row = rowFrom; row <= rowTo; ++row) {
        const double y = row + 0.5;
        double from, to;
        piece.columns(y, piece.reach, piece.reachLo, piece.reachHi, from, to);
        // Pixels whose centres lie strictly inside (coverage above 0).
        const int first = floorWithin(from - 0.5, -1, width_) + 1;
        const int last = ceilWithin(to - 0.5, -1, width_) - 1;
        if (first > last || rowCovered(row, first, last))
            continue;
        int coreFirst = last + 1, coreLast = last;
        if (core > 0) {
            double coreFrom, coreTo;
            piece.columns(y, core, piece.coreLo, piece.coreHi, coreFrom, coreTo);
            const int cf = std::max(first, ceilWithin(coreFrom - 0.5, -1, width_));
            const int cl = std::min(last, floorWithin(coreTo - 0.5, -1, width_));
            if (cf <= cl) {
                coreFirst = cf;
                coreLast = cl;
                fillCore(row, cf, cl);
            }
        }
        addFringe(piece, row, first, coreFirst - 1);
        addFringe(piece, row, coreLast + 1, last);
    }
}

void StrokeRaster::fillCore(int row, int first, int last)
{
    std::uint8_t* const mask = &mask_[std::size_t(row) * std::size_t(width_)];
    std::fill(mask + first, mask + last + 1, std::uint8_t(255));
    noteCovered(row, first, last);
    // The run of covered pixels the row keeps grows by the core where they meet; a longer core apart from it
    // takes its place.
    Span& whole = wholeSpans_[std::size_t(row)];
    if (first <= whole.last + 1 && whole.first - 1 <= last)
        whole = {std::min(whole.first, first), std::max(whole.last, last)};
    else if (last - first > whole.last - whole.first)
        whole = {first, last};
    growWhole(row);
}

void StrokeRaster::addFringe(const Piece& piece, int row, int first, int last)
{
    const std::uint8_t* const mask = &mask_[std::size_t(row) * std::size_t(width_)];
    std::uint8_t* const line = &line_[std::size_t(row) * std::size_t(width_)];
    int touchedFirst = width_, touchedLast = -1;
    for (int column = first; column <= last; ++column) {
        // Nothing adds to a pixel covered wholly.
        if (mask[column] == 255)
            continue;
        const double coverage = piece.coverage(column + 0.5, row + 0.5);
        if (!(coverage > 0))
            continue;
        const std::uint8_t value = coverageByte(coverage);
        if (value > line[column])
            line[column] = value;
        touchedFirst = std::min(touchedFirst, column);
        touchedLast = column;
    }
    if (touchedFirst > touchedLast)
        return;
    lineSpans_[std::size_t(row)].include(touchedFirst, touchedLast);
    lineRows_.include(row, row);
}

void StrokeRaster::noteCovered(int row, int first, int last)
{
    covered_[std::size_t(row)].include(first, last);
    coveredRows_.include(row, row);
    std::uint8_t* const tiles = &tiles_[std::size_t(row / stripRows) * std::size_t(tilesAcross_)];
    std::fill(tiles + first / tileColumns, tiles + last / tileColumns + 1, std::uint8_t(1));
}

void StrokeRaster::mergeLine(unsigned alpha)
{
    for (int row = lineRows_.first; row <= lineRows_.last; ++row) {
        Span& span = lineSpans_[std::size_t(row)];
        if (span.first > span.last)
            continue;
        std::uint8_t* const line = &line_[std::size_t(row) * std::size_t(width_)];
        std::uint8_t* const mask = &mask_[std::size_t(row) * std::size_t(width_)];
        int coveredFirst = width_, coveredLast = -1;
        for (int column = span.first; column <= span.last; ++column) {
            unsigned c = line[column];
            if (c == 0)
                continue;
            line[column] = 0;
            if (alpha != 255)
                c = scaled(c, alpha);
            const unsigned m = mask[column];
            // As the line drawn over what is there: a + c - ac.
            mask[column] = std::uint8_t(m + c - scaled(m, c));
            coveredFirst = std::min(coveredFirst, column);
            coveredLast = column;
        }
        if (coveredFirst <= coveredLast) {
            noteCovered(row, coveredFirst, coveredLast);
            growWhole(row);
        }
        span = Span{};
    }
    lineRows_ = Span{};
}

void StrokeRaster::drawStrips(const QColor& color,
                              const std::function<void(QPoint topLeft, const QImage& strip)>& draw)
{
    std::sort(order_.begin(), order_.end());
    for (const auto& entry : order_)
        drawLine(lines_[entry.second]);
    lines_.clear();
    order_.clear();
    // The colour at each coverage, premultiplied.
    const QRgb rgb = color.rgb();
    const unsigned r = qRed(rgb), g = qGreen(rgb), b = qBlue(rgb);
    QRgb shades[256];
    for (unsigned a = 0; a < 256; ++a)
        shades[a] = qRgba(int(scaled(r, a)), int(scaled(g, a)), int(scaled(b, a)), int(a));
    for (int top = coveredRows_.first - coveredRows_.first % stripRows; top <= coveredRows_.last; top += stripRows) {
        const int rows = std::min(stripRows, height_ - top);
        const std::uint8_t* const tiles = &tiles_[std::size_t(top / stripRows) * std::size_t(tilesAcross_)];
        for (int tile = 0; tile < tilesAcross_;) {
            if (!tiles[tile]) {
                ++tile;
                continue;
            }
            const int from = tile;
            while (tile < tilesAcross_ && tiles[tile])
                ++tile;
            const int left = from * tileColumns, width = std::min(width_, tile * tileColumns) - left;
            QImage image(width, rows, QImage::Format_ARGB32_Premultiplied);
            if (image.isNull())
                return;
            for (int y = 0; y < rows; ++y) {
                const std::uint8_t* mask = mask_ + std::size_t(top + y) * std::size_t(width_) + std::size_t(left);
                auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < width; ++x)
                    out[x] = shades[mask[x]];
            }
            draw(pixels_.topLeft() + QPoint(left, top), image);
        }
    }
}

} // namespace velquine
