#pragma once

// Drawing a map off screen: printing, and image and PDF output.
//
// The document layer draws nothing itself. At start-up the program installs a renderer that builds a canvas in
// printing mode over a project and paints its layers; printing and the image and PDF exports of the document go
// through it. Without an installed renderer nothing can be drawn, and the callers say so.

#include <memory>

#include "platform/Geometry.h"

class QPainter;
class QRectF;

namespace velquine {

class VQProject;

// The flags of an off-screen rendering.
struct GraphRenderOptions {
    // The background colour (and with it the grid, which lies on the background) is not drawn.
    bool transparentBackground = false;
    // The project's grid is drawn.
    bool renderGrid = false;
};

class GraphRenderer {
public:
    virtual ~GraphRenderer() = default;

    // Paints the area `bounds` of the project's map, in map coordinates, into `target` of the painter, each axis
    // scaled on its own so that bounds fills target. Hover buttons and selection are never drawn.
    virtual void render(QPainter& painter, const QRectF& target, const VQProject& project, const Rect& bounds,
                        const GraphRenderOptions& options) const = 0;

    // The renderer of the program; replaces the one installed before. Main thread only.
    static void install(std::shared_ptr<const GraphRenderer> renderer);
    // The installed renderer, or null.
    static std::shared_ptr<const GraphRenderer> installed();
};

} // namespace velquine
