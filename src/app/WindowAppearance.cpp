#include "app/WindowAppearance.h"

#include <QApplication>
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

namespace {

void updateApplicationAppearance()
{
    // An empty palette gives the application back the platform's own.
    const UserInterfaceStyle style = currentUserInterfaceStyle();
    const QPalette wanted = style == UserInterfaceStyle::systemDefault ? QPalette() : paletteForAppearance(style);
    if (style == UserInterfaceStyle::systemDefault || QApplication::palette() != wanted)
        QApplication::setPalette(wanted);
}

} // namespace

void followAppearanceInApplication()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    NotificationCenter::defaultCenter().removeObserversOf(app);
    NotificationCenter::defaultCenter().addObserver(
        std::string(uiModeDidSwitchNotification), [](const Notification&) { updateApplicationAppearance(); }, app);
    updateApplicationAppearance();
}

void unregisterForAppearanceChanges(QWidget* window)
{
    NotificationCenter::defaultCenter().removeObserversOf(window);
}

} // namespace velquine
