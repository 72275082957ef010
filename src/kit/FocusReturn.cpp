#include "kit/FocusReturn.h"

#include <QApplication>
#include <QEvent>

#include <algorithm>

#include "platform/RunLoop.h"

namespace velquine {

namespace {

// A window that can take the keyboard: not a popup, tool tip or a panel that never takes it.
bool takesKeyboard(const QWidget* widget)
{
    if (!widget || !widget->isWindow())
        return false;
    const Qt::WindowType type = widget->windowType();
    return type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen
        && !widget->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus);
}

} // namespace

FocusReturn::FocusReturn(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("velquineFocusReturn"));
}

void FocusReturn::install()
{
    if (!qApp || qApp->findChild<FocusReturn*>(QStringLiteral("velquineFocusReturn"), Qt::FindDirectChildrenOnly))
        return;
    qApp->installEventFilter(new FocusReturn(qApp));
}

bool FocusReturn::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::WindowActivate && type != QEvent::WindowDeactivate && type != QEvent::Hide)
        return QObject::eventFilter(watched, event);
    auto* widget = watched->isWidgetType() ? static_cast<QWidget*>(watched) : nullptr;
    if (!takesKeyboard(widget))
        return QObject::eventFilter(watched, event);
    if (type == QEvent::WindowActivate) {
        std::erase_if(activated_, [widget](const QPointer<QWidget>& window) { return !window || window == widget; });
        activated_.push_back(widget);
        return QObject::eventFilter(watched, event);
    }
    // The window that had the keyboard goes: deactivated on its way out, or hidden while still active.
    const bool leaving = type == QEvent::WindowDeactivate ? widget->testAttribute(Qt::WA_WState_Hidden)
                                                          : widget->isActiveWindow();
    if (leaving)
        RunLoop::post([self = QPointer<FocusReturn>(this)] {
            if (self)
                self->returnFocus();
        });
    return QObject::eventFilter(watched, event);
}

void FocusReturn::returnFocus()
{
    const QWidget* active = QApplication::activeWindow();
    if (active && active->isVisible())
        return;
    for (auto window = activated_.rbegin(); window != activated_.rend(); ++window)
        if (*window && (*window)->isVisible() && !(*window)->isMinimized()) {
            (*window)->activateWindow();
            return;
        }
}

} // namespace velquine
