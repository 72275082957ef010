#pragma once

// The desktop's own colours as the kit's controls draw with them, for light and dark appearance. The accent
// colour is the palette's highlight (Qt 6.4 has no accent role); the rest are fixed per appearance.

#include <QColor>

class QPalette;
class QWidget;

namespace velquine::SystemColors {

// Whether a palette is a dark one (its window colour is darker than middle grey).
bool isDark(const QPalette& palette);
// The same for the palette a widget draws with.
bool isDark(const QWidget* widget);

QColor accent(const QWidget* widget);
QColor label(bool dark);
QColor disabledControlText(bool dark);
QColor grid(bool dark);
QColor separator(bool dark);
QColor lightGray(); // 2/3 white
QColor darkGray();  // 1/3 white

} // namespace velquine::SystemColors
