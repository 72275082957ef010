#pragma once

// Drawing a map off screen: printing, and image and PDF output.
//
// The document layer draws nothing itself. At start-up the program installs a renderer that builds a canvas in
// printing mode over a project and paints its layers; printing and the image and PDF exports of the document go
// through it. Without an installed renderer nothing can be drawn, and the callers say so.

#include <functional>
#include <memory>

#include "platform/Geometry.h"

class QImage;
class QPainter;
class QRectF;
class QSize;

namespace velquine {

class VQProject;

// The flags of an off-screen rendering.
struct GraphRenderOptions {
    // The background colour (and with it the grid, which lies on the background) is not drawn.
    bool transparentBackground = false;
    // The project's grid is drawn.
    bool renderGrid = false;
    // Called on the drawing thread between two parts of a long drawing (the rows of a picture, runs of the map's
    // layers), so that a caller on the main thread can let windows repaint meanwhile; none by default.
    std::function<void()> betweenParts;
};

// The options with cut called between the parts of the drawing, before what their betweenParts does.
GraphRenderOptions cutBetweenParts(GraphRenderOptions options, std::function<void()> cut);

class GraphRenderer {
public:
    virtual ~GraphRenderer() = default;

    // Paints the area `bounds` of the project's map, in map coordinates, into `target` of the painter, each axis
    // scaled on its own so that bounds fills target. Hover buttons and selection are never drawn.
    virtual void render(QPainter& painter, const QRectF& target, const VQProject& project, const Rect& bounds,
                        const GraphRenderOptions& options) const = 0;

    // Paints the area `bounds` of the map into a picture of `pixels` size, band by band from the top: each band is
    // a picture (premultiplied ARGB) as wide as the whole and at most bandHeight rows high, handed to `deliver`
    // with the row it starts at. The bands together look like render() on the whole picture, without the memory
    // of the whole. The default paints each band with a render() of its part of bounds.
    virtual void renderRows(const VQProject& project, const Rect& bounds, const QSize& pixels,
                            const GraphRenderOptions& options, int bandHeight,
                            const std::function<void(const QImage& band, int firstRow)>& deliver) const;

    // The renderer of the program; replaces the one installed before. Main thread only.
    static void install(std::shared_ptr<const GraphRenderer> renderer);
    // The installed renderer, or null.
    static std::shared_ptr<const GraphRenderer> installed();

protected:
    // The band loop of renderRows: makes each band, lets paint draw the band's part of bounds into its whole
    // area (target), and delivers it.
    static void paintBands(const Rect& bounds, const QSize& pixels, int bandHeight,
                           const std::function<void(QPainter& painter, const QRectF& target, const Rect& part)>& paint,
                           const std::function<void(const QImage& band, int firstRow)>& deliver);
};

} // namespace velquine
