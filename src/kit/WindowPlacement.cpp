#include "kit/WindowPlacement.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace velquine::WindowPlacement {

namespace {

constexpr const char* placedProperty = "velquinePlaced";
// The cascade's step, when the frame's title bar is not taller.
constexpr int cascadeStep = 28;

QScreen* screenFor(const QWidget* window)
{
    if (window->isVisible())
        return window->screen();
    if (const QWidget* parent = window->parentWidget())
        return parent->window()->screen();
    if (const QWidget* active = QApplication::activeWindow(); active && active != window)
        return active->screen();
    if (QScreen* under = QGuiApplication::screenAt(QCursor::pos()))
        return under;
    return QGuiApplication::primaryScreen();
}

QMargins marginsOf(const QWidget* window)
{
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

// The geometry's frame, the margins around it.
QRect frameOf(const QRect& geometry, const QMargins& frame)
{
    return geometry.marginsAdded(frame);
}

} // namespace

QRect fitted(const QRect& geometry, const QMargins& frame, const QRect& area, const QSize& minimum)
{
    const int width = std::max(minimum.width(), std::min(geometry.width(), area.width() - frame.left() - frame.right()));
    const int height =
        std::max(minimum.height(), std::min(geometry.height(), area.height() - frame.top() - frame.bottom()));
    const int left = area.left() + frame.left();
    const int top = area.top() + frame.top();
    const int x = std::max(left, std::min(geometry.x(), area.right() + 1 - frame.right() - width));
    const int y = std::max(top, std::min(geometry.y(), area.bottom() + 1 - frame.bottom() - height));
    return {x, y, width, height};
}

QRect availableArea(const QWidget* window)
{
    QScreen* screen = screenFor(window);
    return screen ? screen->availableGeometry() : QRect();
}

QMargins frameMargins(const QWidget* window)
{
    if (window->isVisible())
        return marginsOf(window);
    // Windows of one program get frames alike from the window manager.
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (other != window && other->isVisible() && other->isWindow() && other->windowType() == window->windowType())
            return marginsOf(other);
    return {};
}

void fitOnScreen(QWidget* window)
{
    const QRect area = availableArea(window);
    if (area.isEmpty())
        return;
    const QRect geometry = window->geometry();
    const QRect target = fitted(geometry, frameMargins(window), area, window->minimumSize());
    if (target != geometry || !window->testAttribute(Qt::WA_Moved))
        window->setGeometry(target);
}

void placeForShowing(QWidget* window, FirstSpot spot)
{
    if (!window->property(placedProperty).toBool()) {
        window->setProperty(placedProperty, true);
        const QRect area = availableArea(window);
        const QMargins frame = frameMargins(window);
        QRect geometry(QPoint(), window->size());
        const QWidget* active = QApplication::activeWindow();
        if (spot == FirstSpot::rightEdge)
            geometry.moveTopRight(QPoint(area.right() - frame.right(), area.top() + frame.top()));
        else if (active && active != window && active->isVisible())
            geometry.moveCenter(active->geometry().center());
        else
            geometry.moveCenter(area.center());
        window->setGeometry(geometry);
    }
    fitOnScreen(window);
}

void placeCascaded(QWidget* window, const QWidget* previous)
{
    const QRect area = availableArea(previous && previous->isVisible() ? previous : window);
    const QMargins frame = frameMargins(window);
    QRect geometry(QPoint(), window->size());
    if (previous && previous->isVisible()) {
        const int step = std::max(cascadeStep, frame.top());
        geometry.moveTopLeft(previous->geometry().topLeft() + QPoint(step, step));
        if (!area.contains(frameOf(geometry, frame)))
            geometry.moveTopLeft(area.topLeft() + QPoint(frame.left(), frame.top()));
    } else {
        geometry.moveCenter(area.center());
    }
    window->setGeometry(geometry);
    fitOnScreen(window);
}

} // namespace velquine::WindowPlacement
