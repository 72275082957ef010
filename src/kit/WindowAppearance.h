#pragma once

// Light and dark appearance per window: the Fusion style's light or dark palette on a top-level window, or
// the application's own palette when the window follows the system. Views read the result through
// KVView::isDarkAppearance.
//
// Each window's light or dark appearance follows the "userInterfaceStyle" setting: the system's own for
// systemDefault, else a light or dark Fusion palette on that window alone.

#include <QPalette>

#include "platform/Settings.h"

class QWidget;

namespace velquine {

QPalette lightPalette();
QPalette darkPalette();

// The palette of an appearance (systemDefault: the application's palette).
QPalette paletteForAppearance(UserInterfaceStyle style);
// Gives the window (or any widget and its children) the appearance's palette; with systemDefault it inherits the application's palette again
// and follows its changes.
void setWindowAppearance(QWidget* window, UserInterfaceStyle style);
// What was last set on the widget or its nearest ancestor (systemDefault when nothing was).
UserInterfaceStyle windowAppearance(const QWidget* window);

// Applies the stored setting to window. A null window changes nothing.
void updateWindowAppearance(QWidget* window);

// Makes window follow "UIModeDidSwitch" from now on (the registration is owned by the window and ends with
// it) and applies the setting at once.
void registerForAppearanceChanges(QWidget* window);
// Gives the windows that have no appearance of their own (dialogs, menus, pop-ups, tool tips) the one of the
// setting, from now on, through the application's palette.
void followAppearanceInApplication();
// Ends every notification registration owned by window.
void unregisterForAppearanceChanges(QWidget* window);

} // namespace velquine
