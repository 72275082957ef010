#pragma once

// The map renderer the program installs for the document: each call builds a canvas in printing mode over the
// project, draws it and lets it go.

#include "document/GraphRenderer.h"

namespace velquine {

class CanvasRenderer : public GraphRenderer {
public:
    void render(QPainter& painter, const QRectF& target, const VQProject& project, const Rect& bounds,
                const GraphRenderOptions& options) const override;
    // One canvas draws every band.
    void renderRows(const VQProject& project, const Rect& bounds, const QSize& pixels, const GraphRenderOptions& options,
                    int bandHeight, const std::function<void(const QImage& band, int firstRow)>& deliver) const override;

    // Installs a CanvasRenderer as the document's renderer.
    static void install();
};

} // namespace velquine
