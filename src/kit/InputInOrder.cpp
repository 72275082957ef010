#include "kit/InputInOrder.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include "platform/RunLoop.h"

namespace velquine {

namespace {

bool isKey(QEvent::Type type)
{
    return type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride;
}

bool isUserInput(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::ShortcutOverride: // sent by the toolkit itself before a key press, never spontaneous
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        return event.spontaneous();
    default:
        return false;
    }
}

} // namespace

InputInOrder::InputInOrder(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("velquineInputInOrder"));
}

void InputInOrder::install()
{
    if (!qApp || qApp->findChild<InputInOrder*>(QStringLiteral("velquineInputInOrder"), Qt::FindDirectChildrenOnly))
        return;
    qApp->installEventFilter(new InputInOrder(qApp));
}

bool InputInOrder::eventFilter(QObject* watched, QEvent* event)
{
    if (running_ || !isUserInput(*event) || RunLoop::pendingCount() == 0)
        return QObject::eventFilter(watched, event);
    const QWidget* focusBefore = QApplication::focusWidget();
    const QPointer<QObject> target(watched);
    running_ = true;
    RunLoop::runQueued();
    running_ = false;
    // A call may have run a dialog in which the window that was to take the input was closed: it is dropped.
    if (!target)
        return true;
    // A window finds the widget with the keyboard itself; a key already addressed to the widget that had it goes
    // to the one that has it now.
    QWidget* focus = QApplication::focusWidget();
    if (isKey(event->type()) && watched->isWidgetType() && watched == focusBefore && focus && focus != watched) {
        QCoreApplication::sendEvent(focus, event);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velquine
