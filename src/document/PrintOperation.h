#pragma once

// Printing a map: the whole map on one landscape page without margins, scaled to fit.
//
// printOperation(document) sets up the document's page layout and makes the operation; the window side
// runs the print dialog over a QPrinter and hands the printer to run(). The operation holds its own copy of the
// project, so the document may change afterwards without changing what is printed.

#include <functional>
#include <memory>

#include <QPageLayout>

#include "model/graph/Graph.h"
#include "model/project/VQProject.h"
#include "platform/Geometry.h"

class QPagedPaintDevice;
class QPainter;
class QRectF;

namespace velquine {

class GraphRenderer;
class VQDocument;

// The area of the map a page of paperSize (landscape width and height, in points) shows: the graph's print
// rectangle for the paper's aspect ratio, made at least as high and as wide as the paper (its origin kept).
Rect printBounds(const Graph& graph, Size paperSize);

class PrintOperation {
public:
    PrintOperation(QPageLayout pageLayout, VQProject project, std::shared_ptr<const GraphRenderer> renderer);

    // Landscape, no margins.
    const QPageLayout& pageLayout() const { return pageLayout_; }
    // The paper's size in points, in the page layout's orientation: the frame of the printed view.
    Size paperSize() const { return paperSize_; }
    // The area of the map drawn onto the page (printBounds).
    const Rect& viewBounds() const { return viewBounds_; }

    // Prints the one page onto the device (a QPrinter, or a QPdfWriter), after giving it the page layout.
    // False, with nothing drawn, when no renderer is installed or the device cannot be painted on.
    bool run(QPagedPaintDevice& device) const;
    // Draws the page into pageRect of the painter: the paper-sized view scaled to fit, keeping its aspect
    // ratio, centred. False when there is no renderer.
    bool paintPage(QPainter& painter, const QRectF& pageRect) const;

private:
    // paintPage, calling betweenParts between the parts of a long drawing.
    bool paintPage(QPainter& painter, const QRectF& pageRect, std::function<void()> betweenParts) const;

    QPageLayout pageLayout_;
    VQProject project_;
    std::shared_ptr<const GraphRenderer> renderer_;
    Size paperSize_;
    Rect viewBounds_;
};

// Sets the document's printInfo to one landscape page without margins and makes the operation that prints the
// whole map onto it, scaled to fit, through the installed renderer. Changes neither the project nor the undo
// history.
std::unique_ptr<PrintOperation> printOperation(VQDocument& document);

} // namespace velquine
