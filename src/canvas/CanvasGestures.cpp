// The canvas's input, handed to its gestures.

#include "canvas/CanvasGestures.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>

#include "canvas/CanvasSync.h"
#include "canvas/GraphView.h"
#include "kit/ScrollView.h"

namespace velquine {

CanvasGestures::CanvasGestures(GraphView& view, CanvasSync& sync)
    : drag(view, sync, titleEditing), ghost(view, sync), resize(view, sync), rubberBand(view, sync),
      pan(view, [this](Point point) { pointer.rightClick(point); }), titleEditing(view, sync),
      pointer(view, sync, *this), drop(view, sync), navigation(view), focus(view, sync), view_(view), sync_(sync),
      active_(&pointer)
{
    autoscrollTimer_.setInterval(100);
    QObject::connect(&autoscrollTimer_, &QTimer::timeout, &autoscrollTimer_, [this] { autoscrollTick(); });
}

void CanvasGestures::setActive(CanvasGesture* gesture)
{
    active_ = gesture ? gesture : &pointer;
    sync_.setActiveGesture(active_);
}

bool CanvasGestures::keyPress(QKeyEvent* event)
{
    return navigation.handleCanvasKey(event) || active_->key(event);
}

GestureInput CanvasGestures::input(const QMouseEvent& event, int clickCount)
{
    GestureInput input;
    input.point = view_.layerPointFromWidget(event.position());
    const QPointF moved = event.globalPosition() - lastGlobalPosition_;
    lastGlobalPosition_ = event.globalPosition();
    const ScrollView* scrollView = ScrollView::enclosingScrollView(&view_);
    const double magnification = scrollView ? scrollView->magnification() : 1.0;
    input.delta = {moved.x() / magnification, moved.y() / magnification};
    input.modifiers = event.modifiers();
    input.button = event.button();
    input.buttons = event.buttons();
    input.clickCount = clickCount;
    return input;
}

void CanvasGestures::press(const GestureInput& input)
{
    if (input.button != Qt::LeftButton && input.button != Qt::RightButton)
        return;
    // A gesture still under way (its release never arrived, or a title being typed) ends first.
    if (!isPointerActive())
        active_->cancel();
    setActive(nullptr);
    if (input.button == Qt::LeftButton) {
        pointerLocation_ = input.point;
        autoscrollTimer_.start();
    }
    active_->press(input);
}

void CanvasGestures::move(const GestureInput& input)
{
    if (input.buttons & Qt::LeftButton)
        pointerLocation_ = input.point;
    if (input.buttons & (Qt::LeftButton | Qt::RightButton)) {
        active_->move(input);
        return;
    }
    // No button is down: a gesture that lasts while one is held and whose release never arrived is over.
    pointerLocation_ = input.point;
    if (!isPointerActive() && active_->followsButtons()) {
        active_->cancel();
        setActive(nullptr);
    }
    pointer.move(input);
}

void CanvasGestures::release(const GestureInput& input)
{
    lastClickLocation_ = input.point;
    if (input.button == Qt::LeftButton) {
        pointerLocation_ = input.point;
        autoscrollTimer_.stop();
    }
    if (input.button == Qt::LeftButton || input.button == Qt::RightButton)
        active_->release(input);
}

bool CanvasGestures::dispatch(QEvent* event)
{
    switch (event->type()) {
    // Qt delivers the second press of a double click as MouseButtonDblClick instead of a press.
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const GestureInput given = input(*mouse, event->type() == QEvent::MouseButtonDblClick ? 2 : 1);
        mouse->accept();
        if (event->type() == QEvent::MouseMove)
            move(given);
        else if (event->type() == QEvent::MouseButtonRelease)
            release(given);
        else
            press(given);
        return true;
    }
    // A wheel that does not zoom goes on to the base class, which leaves it to the scroll view.
    case QEvent::Wheel:
        return pointer.zoomWithWheel(static_cast<QWheelEvent*>(event));
    case QEvent::ContextMenu:
        if (view_.contextMenuPolicy() != Qt::DefaultContextMenu)
            return false;
        pointer.contextMenuEvent(static_cast<QContextMenuEvent*>(event));
        return true;
    case QEvent::DragEnter:
        drop.dragEnterEvent(static_cast<QDragEnterEvent*>(event));
        return true;
    case QEvent::DragMove:
        drop.dragMoveEvent(static_cast<QDragMoveEvent*>(event));
        return true;
    case QEvent::DragLeave:
        drop.dragLeaveEvent(static_cast<QDragLeaveEvent*>(event));
        return true;
    case QEvent::Drop:
        drop.dropEvent(static_cast<QDropEvent*>(event));
        return true;
    default:
        return false;
    }
}

void CanvasGestures::autoscrollTick()
{
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
        return;
    ScrollView* scrollView = ScrollView::enclosingScrollView(&view_);
    if (!scrollView)
        return;
    const QPointF global = QCursor::pos();
    const Point point = view_.layerPointFromWidget(view_.mapFromGlobal(global));
    const Rect visible = view_.visibleRect();
    if (visible.contains(point))
        return;
    scrollView->scrollRectToVisible(Rect(point.x, point.y, 1, 1));
    if (view_.visibleRect() == visible)
        return;
    GestureInput input;
    input.point = point;
    const QPointF moved = global - lastGlobalPosition_;
    lastGlobalPosition_ = global;
    input.delta = {moved.x() / scrollView->magnification(), moved.y() / scrollView->magnification()};
    input.modifiers = QGuiApplication::keyboardModifiers();
    input.buttons = Qt::LeftButton;
    pointerLocation_ = point;
    active_->move(input);
}

} // namespace velquine
