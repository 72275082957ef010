#pragma once

// Light and dark appearance per window: the Fusion style's light or dark palette on a top-level window, or
// the application's own palette when the window follows the system. Views read the result through
// KVView::isDarkAppearance.

#include <QPalette>

#include "platform/Settings.h"

class QWidget;

namespace velquine {

QPalette lightPalette();
QPalette darkPalette();

// Gives the window the style's palette (systemDefault: the application's palette again).
void setWindowAppearance(QWidget* window, UserInterfaceStyle style);
// What was last set on the window (systemDefault when nothing was).
UserInterfaceStyle windowAppearance(const QWidget* window);
// Applies the "userInterfaceStyle" setting to the window.
void updateWindowAppearance(QWidget* window);
// Applies the setting now and again on every "UIModeDidSwitch", for as long as the window lives.
void registerForAppearanceChanges(QWidget* window);

} // namespace velquine
