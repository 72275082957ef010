#pragma once

// Light and dark appearance per window: the Fusion style's light or dark palette on a top-level window, or
// the application's own palette when the window follows the system. Views read the result through
// KVView::isDarkAppearance; the window controllers apply the "userInterfaceStyle" setting through this
// (app/WindowAppearance.h).

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

} // namespace velquine
