// The canvas's keys and events, handed to its gestures (CanvasGestures).

#include <QKeyEvent>

#include "canvas/GraphView.h"
#include "canvas/CanvasGestures.h"
#include "kit/KeyPolicy.h"

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
    if (isEnabled() && gestures_->dispatch(event))
        return true;
    return LayerHostWidget::event(event);
}

void GraphView::keyPressEvent(QKeyEvent* event)
{
    if (gestures_->keyPress(event))
        event->accept();
    else
        LayerHostWidget::keyPressEvent(event);
}

void GraphView::resizeEvent(QResizeEvent* event)
{
    LayerHostWidget::resizeEvent(event);
    // A new magnification resizes the view: the editor keeps covering its node's title at the new scale.
    if (isEditingTitle())
        gestures_->titleEditing.placeTitleEditor();
}

} // namespace velquine
