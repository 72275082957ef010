#pragma once

// Each window's light or dark appearance follows the "userInterfaceStyle" setting: the system's own for
// systemDefault, else a light or dark Fusion palette on that window alone.

#include "kit/WindowAppearance.h"
#include "platform/Settings.h"

class QWidget;

namespace velquine {

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
