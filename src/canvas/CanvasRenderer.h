#pragma once

// The map renderer the program installs for the document: each call builds a canvas in printing mode over the
// project, draws it and lets it go.

#include "document/GraphRenderer.h"

namespace velquine {

class CanvasRenderer : public GraphRenderer {
public:
    void render(QPainter& painter, const QRectF& target, const VQProject& project, const Rect& bounds,
                const GraphRenderOptions& options) const override;

    // Installs a CanvasRenderer as the document's renderer.
    static void install();
};

} // namespace velquine
