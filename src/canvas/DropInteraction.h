#pragma once

// Images, image files and text dropped on the canvas: the node under the pointer is highlighted, and what is
// dropped goes to the delegate.

#include "canvas/GraphView.h"

namespace velquine {

class DropInteraction {
public:
    DropInteraction(GraphView& view, CanvasSync& sync);
    ~DropInteraction();
    DropInteraction(const DropInteraction&) = delete;
    DropInteraction& operator=(const DropInteraction&) = delete;

    void dragEnterEvent(QDragEnterEvent* event);
    void dragMoveEvent(QDragMoveEvent* event);
    void dragLeaveEvent(QDragLeaveEvent* event);
    void dropEvent(QDropEvent* event);
    // What a drag over the canvas carries, and the highlight of the node under it.
    bool dropCarriesContent(const QMimeData* data, bool logTypes) const;
    void highlightDropTargets(Point point);
    void clearDropHighlight();

private:
    GraphView& view_;
    CanvasSync& sync_;
};

} // namespace velquine
