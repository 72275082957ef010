#pragma once

// The preview of a project style: a small sample map (a root named after the style and six children) drawn
// with the style, for the theme gallery, the theme strip and the style inspector.

#include <QImage>

#include "model/graph/Graph.h"
#include "model/style/ProjectStyle.h"
#include "platform/Geometry.h"

class QPainter;

namespace velquine {

// The style with the preview's font sizes in its current values: root 16, main and sub 14 points.
ProjectStyle themePreviewStyle(const ProjectStyle& style);

// The sample map for a target of the size: the root at (w, h + 10) on a canvas of 2w by 2h, titled with the
// style's name (each blank a line break), and six children "Child #1" to "Child #6" at (±150, 75), (±150, 0)
// and (±150, −75) from it, y growing upwards. Each node is sized to its title. Children take border and
// branch colours from the palette in turn (and the fill colour too with dynamic main node colours); with an
// empty palette they keep the main style's colours. The nodes take fresh identifiers.
Graph themePreviewGraph(const ProjectStyle& previewStyle, Size size);

// Draws the preview into the rectangle: the sample map on an unflipped canvas of twice the rectangle's size,
// scaled down by half.
void drawThemePreview(const ProjectStyle& style, QPainter& painter, const Rect& in);

// An image of the preview of the size in points, at the pixel ratio.
QImage themePreviewImage(const ProjectStyle& style, Size size, double devicePixelRatio = 2.0);

} // namespace velquine
