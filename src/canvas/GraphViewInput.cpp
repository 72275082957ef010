// Mouse and key input of the canvas: clicks select (Shift or Ctrl adds or removes), a press on empty canvas
// starts the rubber band, and the canvas keys go to the window's commands or move the selection.

#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

#include "canvas/GraphView.h"
#include "canvas/CanvasSync.h"
#include "canvas/DragInteraction.h"
#include "canvas/DropInteraction.h"
#include "canvas/FocusInteraction.h"
#include "canvas/GhostInteraction.h"
#include "canvas/NavigationInteraction.h"
#include "canvas/PointerInteraction.h"
#include "canvas/TitleEditingInteraction.h"
#include "canvas/CanvasIndex.h"
#include "kit/ScrollView.h"
#include "canvas/layers/NodeLayer.h"
#include "document/VQDocument.h"
#include "kit/Beep.h"
#include "kit/KeyPolicy.h"
#include "kit/WindowActions.h"

namespace velquine {

namespace {

// Magnification change per unit of wheel movement: one unit is a pixel of a touchpad or 1/120 of a notch.
constexpr double zoomDivisor = 200.0;

} // namespace

// Qt delivers the second press of a double click here instead of to mousePressEvent.

// ---- Keys ----

bool GraphView::event(QEvent* event)
{
    // Tab would move the focus before keyPressEvent sees it; reserved keys must not fire window shortcuts.
    if (KeyPolicy::acceptReservedShortcutOverride(event))
        return true;
    if (event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (keyEvent->key() == Qt::Key_Tab || keyEvent->key() == Qt::Key_Backtab) {
            keyPressEvent(keyEvent);
            return true;
        }
    }
    return LayerHostWidget::event(event);
}

void GraphView::keyPressEvent(QKeyEvent* event)
{
    if (navigation_->handleCanvasKey(event) || titleEditing_->beginEditingTitleFromKey(event))
        event->accept();
    else
        LayerHostWidget::keyPressEvent(event);
}

void GraphView::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::AltModifier)) {
        LayerHostWidget::wheelEvent(event);
        return;
    }
    event->accept();
    // Qt hands a vertical wheel turned with Alt held over as a horizontal one.
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    double delta = !pixels.isNull() ? (pixels.y() != 0 ? pixels.y() : pixels.x())
                                    : (angle.y() != 0 ? angle.y() : angle.x()) / 120.0;
    ScrollView* scrollView = ScrollView::enclosingScrollView(this);
    if (delta == 0 || !scrollView || scrollView->documentView() != this)
        return;
    scrollView->setMagnification(scrollView->magnification() + delta / zoomDivisor,
                                 layerPointFromWidget(event->position()));
}

void GraphView::resizeEvent(QResizeEvent* event)
{
    LayerHostWidget::resizeEvent(event);
    // A new magnification resizes the view: the editor keeps covering its node's title at the new scale.
    if (titleEditing_->isNodeEditorActive_)
        titleEditing_->placeTitleEditor();
}

// ---- Dispatch to the interactions ----

void GraphView::contextMenuEvent(QContextMenuEvent* event)
{
    pointer_->contextMenuEvent(event);
}

void GraphView::dragEnterEvent(QDragEnterEvent* event)
{
    drop_->dragEnterEvent(event);
}

void GraphView::dragMoveEvent(QDragMoveEvent* event)
{
    drop_->dragMoveEvent(event);
}

void GraphView::dragLeaveEvent(QDragLeaveEvent* event)
{
    drop_->dragLeaveEvent(event);
}

void GraphView::dropEvent(QDropEvent* event)
{
    drop_->dropEvent(event);
}

void GraphView::mousePressEvent(QMouseEvent* event)
{
    pointer_->mousePressEvent(event);
}

void GraphView::mouseDoubleClickEvent(QMouseEvent* event)
{
    pointer_->mouseDoubleClickEvent(event);
}

void GraphView::mouseMoveEvent(QMouseEvent* event)
{
    pointer_->mouseMoveEvent(event);
}

void GraphView::mouseReleaseEvent(QMouseEvent* event)
{
    pointer_->mouseReleaseEvent(event);
}

} // namespace velquine
