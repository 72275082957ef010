#include "app/WindowAppearance.h"

#include <QWidget>

#include "platform/NotificationCenter.h"

namespace velquine {

void updateWindowAppearance(QWidget* window)
{
    if (!window)
        return;
    setWindowAppearance(window, currentUserInterfaceStyle());
}

void registerForAppearanceChanges(QWidget* window)
{
    if (!window)
        return;
    NotificationCenter::defaultCenter().addObserver(
        std::string(uiModeDidSwitchNotification), [window](const Notification&) { updateWindowAppearance(window); },
        window);
    if (!window->property("velquineAppearanceFollows").toBool()) {
        window->setProperty("velquineAppearanceFollows", true);
        QObject::connect(window, &QObject::destroyed,
                         [window] { NotificationCenter::defaultCenter().removeObserversOf(window); });
    }
    updateWindowAppearance(window);
}

void unregisterForAppearanceChanges(QWidget* window)
{
    NotificationCenter::defaultCenter().removeObserversOf(window);
}

} // namespace velquine
