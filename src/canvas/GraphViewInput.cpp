// The canvas's input, handed to the interaction of its gesture: mouse, wheel and context-menu events to the
// pointer, drags from outside to the drop interaction, keys to keyboard navigation and then title editing.

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
#include "kit/Beep.h"
#include "kit/KeyPolicy.h"
#include "kit/WindowActions.h"

namespace velquine {

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
    // A disabled widget takes no mouse, wheel or drag input: the base class drops it.
    if (isEnabled() && dispatchToInteractions(event))
        return true;
    return LayerHostWidget::event(event);
}

bool GraphView::dispatchToInteractions(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        pointer_->mousePressEvent(static_cast<QMouseEvent*>(event));
        return true;
    // Qt delivers the second press of a double click as this instead of a press.
    case QEvent::MouseButtonDblClick:
        pointer_->mouseDoubleClickEvent(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseMove:
        pointer_->mouseMoveEvent(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseButtonRelease:
        pointer_->mouseReleaseEvent(static_cast<QMouseEvent*>(event));
        return true;
    // A wheel that does not zoom goes on to the base class, which leaves it to the scroll view.
    case QEvent::Wheel:
        return pointer_->zoomWithWheel(static_cast<QWheelEvent*>(event));
    case QEvent::ContextMenu:
        if (contextMenuPolicy() != Qt::DefaultContextMenu)
            return false;
        pointer_->contextMenuEvent(static_cast<QContextMenuEvent*>(event));
        return true;
    case QEvent::DragEnter:
        drop_->dragEnterEvent(static_cast<QDragEnterEvent*>(event));
        return true;
    case QEvent::DragMove:
        drop_->dragMoveEvent(static_cast<QDragMoveEvent*>(event));
        return true;
    case QEvent::DragLeave:
        drop_->dragLeaveEvent(static_cast<QDragLeaveEvent*>(event));
        return true;
    case QEvent::Drop:
        drop_->dropEvent(static_cast<QDropEvent*>(event));
        return true;
    default:
        return false;
    }
}

void GraphView::keyPressEvent(QKeyEvent* event)
{
    if (navigation_->handleCanvasKey(event) || titleEditing_->beginEditingTitleFromKey(event))
        event->accept();
    else
        LayerHostWidget::keyPressEvent(event);
}

void GraphView::resizeEvent(QResizeEvent* event)
{
    LayerHostWidget::resizeEvent(event);
    // A new magnification resizes the view: the editor keeps covering its node's title at the new scale.
    if (titleEditing_->isNodeEditorActive())
        titleEditing_->placeTitleEditor();
}

} // namespace velquine
