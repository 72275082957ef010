// The canvas's input: mouse events, as GestureInput, to the active gesture (a move with no button down to the
// pointer, which hovers), the wheel and context-menu events to the pointer, drags from outside to the drop
// helper, keys to keyboard navigation and then the active gesture.

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>

#include "canvas/GraphView.h"
#include "canvas/CanvasGestures.h"
#include "kit/ScrollView.h"
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
    if (isEnabled() && dispatchToGestures(event))
        return true;
    return LayerHostWidget::event(event);
}

GestureInput GraphView::gestureInput(const QMouseEvent& event, int clickCount)
{
    GestureInput input;
    input.point = layerPointFromWidget(event.position());
    const QPointF moved = event.globalPosition() - lastGlobalPosition_;
    lastGlobalPosition_ = event.globalPosition();
    const ScrollView* scrollView = ScrollView::enclosingScrollView(this);
    const double magnification = scrollView ? scrollView->magnification() : 1.0;
    input.delta = {moved.x() / magnification, moved.y() / magnification};
    input.modifiers = event.modifiers();
    input.button = event.button();
    input.buttons = event.buttons();
    input.clickCount = clickCount;
    return input;
}

bool GraphView::dispatchToGestures(QEvent* event)
{
    switch (event->type()) {
    // Qt delivers the second press of a double click as MouseButtonDblClick instead of a press.
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const GestureInput input = gestureInput(*mouse, event->type() == QEvent::MouseButtonDblClick ? 2 : 1);
        mouse->accept();
        if (input.button != Qt::LeftButton && input.button != Qt::RightButton)
            return true;
        // A gesture still under way (its release never arrived, or a title being typed) ends first.
        if (isGestureActive())
            gesture_->cancel();
        setActiveGesture(nullptr);
        if (input.button == Qt::LeftButton) {
            pointerLocation_ = input.point;
            autoscrollTimer_->start();
        }
        gesture_->press(input);
        return true;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const GestureInput input = gestureInput(*mouse, 1);
        mouse->accept();
        if (input.buttons & Qt::LeftButton)
            pointerLocation_ = input.point;
        if (input.buttons & (Qt::LeftButton | Qt::RightButton)) {
            gesture_->move(input);
            return true;
        }
        // No button is down: a gesture that lasts while one is held and whose release never arrived is over.
        pointerLocation_ = input.point;
        if (isGestureActive() && gesture_->followsButtons()) {
            gesture_->cancel();
            setActiveGesture(nullptr);
        }
        gestures_->pointer.move(input);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const GestureInput input = gestureInput(*mouse, 1);
        mouse->accept();
        lastClickLocation_ = input.point;
        if (input.button == Qt::LeftButton) {
            pointerLocation_ = input.point;
            autoscrollTimer_->stop();
        }
        if (input.button == Qt::LeftButton || input.button == Qt::RightButton)
            gesture_->release(input);
        return true;
    }
    // A wheel that does not zoom goes on to the base class, which leaves it to the scroll view.
    case QEvent::Wheel:
        return gestures_->pointer.zoomWithWheel(static_cast<QWheelEvent*>(event));
    case QEvent::ContextMenu:
        if (contextMenuPolicy() != Qt::DefaultContextMenu)
            return false;
        gestures_->pointer.contextMenuEvent(static_cast<QContextMenuEvent*>(event));
        return true;
    case QEvent::DragEnter:
        gestures_->drop.dragEnterEvent(static_cast<QDragEnterEvent*>(event));
        return true;
    case QEvent::DragMove:
        gestures_->drop.dragMoveEvent(static_cast<QDragMoveEvent*>(event));
        return true;
    case QEvent::DragLeave:
        gestures_->drop.dragLeaveEvent(static_cast<QDragLeaveEvent*>(event));
        return true;
    case QEvent::Drop:
        gestures_->drop.dropEvent(static_cast<QDropEvent*>(event));
        return true;
    default:
        return false;
    }
}

void GraphView::autoscrollTick()
{
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
        return;
    ScrollView* scrollView = ScrollView::enclosingScrollView(this);
    if (!scrollView)
        return;
    const QPointF global = QCursor::pos();
    const Point point = layerPointFromWidget(mapFromGlobal(global));
    const Rect visible = visibleRect();
    if (visible.contains(point))
        return;
    scrollView->scrollRectToVisible(Rect(point.x, point.y, 1, 1));
    if (visibleRect() == visible)
        return;
    GestureInput input;
    input.point = point;
    const QPointF moved = global - lastGlobalPosition_;
    lastGlobalPosition_ = global;
    input.delta = {moved.x() / scrollView->magnification(), moved.y() / scrollView->magnification()};
    input.modifiers = QGuiApplication::keyboardModifiers();
    input.buttons = Qt::LeftButton;
    pointerLocation_ = point;
    gesture_->move(input);
}

void GraphView::keyPressEvent(QKeyEvent* event)
{
    if (gestures_->navigation.handleCanvasKey(event) || gesture_->key(event))
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
