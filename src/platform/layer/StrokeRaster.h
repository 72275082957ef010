#pragma once

// Solid anti-aliased lines of one colour, rasterized together into one coverage mask and blended onto a raster
// device at once. A map's branch lines are thousands of such strokes, most of them leaving their parent the
// same way: Qt strokes each one on its own (outline, then its scanlines), so a frame in which they all move
// costs them all. Here a line costs, row by row, its core filled as a run of whole pixels and its anti-aliased
// edges worked out pixel by pixel, and less where the lines already drawn cover the mask wholly (most of a fan).
// What it buys, in the real window (bench/tab_in_window.py, Tab on a node with 2,000 and 20,000 children, whose
// lines all glide): the CPU of a press from 1,170 to 642 ms and from 4,771 to 1,459 ms, its slowest frame from
// 119 to 58 ms and from 2.5 to 0.33 s.
//
// Each line covers a pixel by how far the pixel's centre lies from it (half the width plus half a pixel from
// the middle, fading over one pixel), with flat or round ends, round corners. Lines combine as each drawn over
// the ones before would (coverage a and b give a + b - ab), so a run of lines drawn here equals the same lines
// drawn one by one, but for rounding: a paint of part of an area that meets fewer of them shows the same pixels,
// while lines split into other runs are blended once more and may come out a few levels apart where they meet
// (the renderer draws in one run the lines of one run of the whole drawing order, in every paint).
//
// A pixel covered wholly stays so whatever is drawn over it, so a piece of a line all of whose pixels are
// covered wholly already is left out, and the lines are drawn in an order that fills a dense fan from a few
// lines spread across it inwards (by the bits of their end points, lowest first): most lines of a fan of
// thousands then lie where lines around them covered everything, and cost only the pieces that stick out.
// Each line's place in that order is its own (its end point), so a paint of part of the area, meeting fewer of
// them, draws the ones it meets in the same order. Each row keeps the run of pixels covered wholly around the
// lines drawn, grown by the covered pixels next to it as lines merge, so that most pieces of a dense fan are
// left out by one look at it. What it buys (bench_LayerRendering, BM_GlideOfAWideFan, the CPU of a frame of
// the glide of 2,000 and 20,000 lines): 111 -> 86-91 ms and 546 -> 415-452 ms; with the grown runs, and the
// paths read once for all parts of a paint as compact elements, 78 -> 56 ms and 416 -> 268 ms. With the paths
// cut to the area once for all its parts (cutToArea()), the CPU of a Tab in the real window
// (bench/tab_in_window.py) at 2,000 and 20,000 children: 617 -> 573 ms and 1,063 -> 798 ms.

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRect>
#include <QTransform>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

class QPainter;

namespace velquine {

class StrokeRaster {
public:
    // The device pixels the lines are drawn within.
    explicit StrokeRaster(const QRect& pixels);
    ~StrokeRaster();
    StrokeRaster(const StrokeRaster&) = delete;
    StrokeRaster& operator=(const StrokeRaster&) = delete;

    // Whether the painter's device takes lines drawn here as it would take its own strokes under the transform
    // (raster, anti-aliased, the same scale on both axes, no rotation).
    static bool suits(QPainter& painter, const QTransform& toDevice);
    // The device pixels a paint with the painter may change: its clip (in world coordinates mapped by
    // worldToDevice), the engine's own clip and, for an image, the image; none when nothing bounds them.
    static std::optional<QRect> paintablePixels(QPainter& painter, const QTransform& worldToDevice);

    // A path's elements (moves, lines and cubic curves, a curve as its two control points and its end), kept
    // compact: a paint of many lines reads them from one array.
    struct PathElement {
        double x, y;
        QPainterPath::ElementType type;
        // Of a curve's first control point: how many halvings of a curve of the path as drawn made this piece
        // of it (cutToArea()).
        std::uint8_t depth = 0;
    };
    static void appendElements(const QPainterPath& path, std::vector<PathElement>& elements);
    // Appends the elements of a path (path units) that rasters within an area (path units) may draw, for a
    // line of the width drawn at pixelsPerUnit device pixels to the unit: its curves halved as a raster halves
    // them, down to pieces of about pieceSize pixels; the pieces out of the line's reach of the area become
    // straight moves a raster leaves out, as it leaves out such pieces itself. A raster then draws the same
    // pixels of what it is given as of the path, and finds the few pieces that meet its own part of the area
    // at once instead of halving every curve from its whole length down. Returns the bounds of what may be
    // drawn (path units, the line's reach not included), none when nothing is: also for a path with a point
    // that is not a number or lies further out than doubles tell pixels apart, which addStroke() leaves out too.
    static std::optional<QRectF> cutToArea(const PathElement* elements, int count, const QRectF& area,
                                           double pixelsPerUnit, double width, std::vector<PathElement>& out);
    static constexpr double pieceSize = 256;

    // Adds the stroke of a path of the given width (path units) under the transform to device pixels (a scale
    // and a translation), with round or flat ends; alpha (0..1) scales its coverage (the colour's own alpha
    // times the opacity it is drawn with). The elements are read by drawStrips() and must live until then.
    void addStroke(const PathElement* elements, int count, const QTransform& toDevice, double width, bool roundEnds,
                   double alpha);

    // Lets go of the coverage storage the calling thread keeps between rasters (two bytes for each pixel of the
    // largest raster made on it since): a paint calls it when done, so that threads that paint now and then hold
    // none between paints. Nothing while a raster of the thread is in use.
    static void releaseThreadStorage();

    // While set on a thread, the rasters made there note how many lines visit each row of device pixels from
    // firstRow on, in changes as differences (a line's run of rows adds 1 at its first row and -1 past its
    // last; the vector holds one more than the rows): where the work of a paint lies, row by row.
    static void noteVisitedRows(std::vector<std::int32_t>* changes, int firstRow);

    // Rasterizes the lines added, then hands them, in the colour (its alpha ignored), to draw as images of
    // strips of a few rows over the pixels they cover, with their device positions. Qt blends an image of many
    // rows on its thread pool, which costs a small one more than it saves, and a paint's bands are on threads of
    // their own already.
    void drawStrips(const QColor& color, const std::function<void(QPoint topLeft, const QImage& strip)>& draw);
    static constexpr int stripRows = 48;

private:
    struct Point {
        double x, y;
    };
    // The flattened path: its points in mask pixels, each with whether the line reaches it from the point
    // before (false where a piece far outside the mask was left out, and at the start of a subpath).
    struct Vertex {
        Point p;
        bool joined;
    };
    // Which ends of the path a piece of curve holds: its pieces there leave along the curve.
    struct Ends {
        static constexpr unsigned none = 0, start = 1, end = 2;
    };
    struct Line {
        const PathElement* elements;
        int count;
        bool roundEnds;
        // The transform to device pixels: x sx + dx, y sy + dy.
        double sx, sy, dx, dy;
        double width;
        double alpha;
    };
    // The lines added, drawn by drawStrips() in order: by their places in it (drawingOrder()), and those
    // at one place in the order they were added.
    std::vector<Line> lines_;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> order_;
    // A line's place in the order lines are drawn in: its end point's device coordinates, bit by bit from the
    // lowest, the two interleaved.
    static std::uint64_t drawingOrder(QPointF end);
    void drawLine(const Line& line);
    // Where a line's points, scaled to device pixels, lie in the mask: moved by the line's place on the device,
    // then by the mask's whole pixels.
    struct Placement {
        double dx = 0, dy = 0, left = 0, top = 0;
        Point operator()(Point scaled) const { return {(scaled.x + dx) - left, (scaled.y + dy) - top}; }
    };
    Placement place_;
    // Flattens a curve (scaled device pixels, placed by place_) into vertices_ (mask pixels), leaving out pieces
    // out of reach of the mask or where it is covered wholly.
    void addCubic(Point p0, Point p1, Point p2, Point p3, int depth, unsigned ends);
    // The box of a curve's control points, which holds the curve.
    struct Box {
        double minX, minY, maxX, maxY;
    };
    static Box boxOf(Point p0, Point p1, Point p2, Point p3);
    // Which ends of its path the curve whose first control point is elements[i] holds.
    static unsigned curveEnds(const PathElement* elements, int count, int i);
    // Whether a curve is drawn as its chord, at a depth of halvings, holding the path's ends given, its inner
    // control points within tolerance (flatness in pixels) of it; else it is halved. Past the deepest halving
    // it is drawn as its chord once its box is no longer than longest (a curve millions of pixels long is
    // halved on where it comes near, never drawn as chords that far from it).
    static bool drawnStraight(Point p0, Point p1, Point p2, Point p3, int depth, unsigned ends, double tolerance,
                              double longest);
    static void halve(const Point (&c)[4], Point (&first)[4], Point (&second)[4]);
    static constexpr int deepest = 16;
    class Cutter;
    void addLineTo(Point p);
    // Whether a box (mask pixels) comes within the line's reach of the mask.
    bool nearMask(double minX, double minY, double maxX, double maxY) const;
    // Whether the mask covers wholly every pixel within the line's reach of a box, or of a row's columns.
    bool coveredWholly(double minX, double minY, double maxX, double maxY) const;
    bool rowCovered(int row, int first, int last) const;
    // Grows a row's run of columns covered wholly by the pixels covered wholly next to it.
    void growWhole(int row);
    struct Piece;
    // One straight piece of the line being added, drawn as far past each end as given (round there), or with a
    // flat end where that is negative.
    void addSegment(Point a, Point b, double startReach, double endReach);
    // Covers a row's columns wholly.
    void fillCore(int row, int first, int last);
    // Adds the piece's coverage of a row's columns to the line being added.
    void addFringe(const Piece& piece, int row, int first, int last);
    // How far the round join at vertices_[v] sticks out past the pieces that meet there.
    double joinReach(std::size_t v) const;
    // Blends the line built in line_ into the mask, at alpha (0..255), and clears it.
    void mergeLine(unsigned alpha);
    // Notes pixels of a row the mask covers.
    void noteCovered(int row, int first, int last);

    QRect pixels_;
    int width_ = 0, height_ = 0;
    // Where visited rows are noted (noteVisitedRows()): the mask's row 0 there, and the rows it holds.
    std::int32_t* visits_ = nullptr;
    int visitOffset_ = 0, visitRows_ = 0;
    void noteVisits(int firstRow, int lastRow);
    // The coverage of the mask, and of the line being added (its pieces overlap at corners and take the greater
    // there), width_ bytes a row: storage the thread keeps between paints, all 0 but where this raster drew.
    struct Storage;
    Storage* storage_ = nullptr;
    std::uint8_t* mask_ = nullptr;
    std::uint8_t* line_ = nullptr;
    // A run of rows or columns; first > last: none.
    struct Span {
        int first = std::numeric_limits<int>::max(), last = -1;
        void include(int from, int to)
        {
            first = std::min(first, from);
            last = std::max(last, to);
        }
    };
    // The rows the line being added touched, and per row its columns.
    Span lineRows_;
    std::vector<Span> lineSpans_;
    // Per row, a run of columns the mask covers wholly (kept as long as the pixels next to it allow): a line's
    // row within it adds nothing.
    std::vector<Span> wholeSpans_;
    // The rows of the mask covered at all, and per row the columns.
    Span coveredRows_;
    std::vector<Span> covered_;
    // Per tile of stripRows rows and tileColumns columns, whether the mask covers any of it: a strip is drawn
    // as the runs of its tiles covered (lines far apart leave the tiles between them out).
    static constexpr int tileColumns = 64;
    int tilesAcross_ = 0;
    std::vector<std::uint8_t> tiles_;
    // Half the line's width plus half a pixel (where its coverage ends), in pixels.
    double reach_ = 0;
    // Whether the line being added is drawn opaque (its core then fills the mask directly).
    bool opaque_ = true;
    std::vector<Vertex> vertices_;
    // Pieces of a flattened curve stray from it by at most this many pixels.
    static constexpr double flatness = 0.15;
};

} // namespace velquine
