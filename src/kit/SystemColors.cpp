#include "kit/SystemColors.h"

#include <QPalette>
#include <QWidget>

namespace velquine::SystemColors {

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

bool isDark(const QWidget* widget)
{
    return widget && isDark(widget->palette());
}

QColor accent(const QWidget* widget)
{
    return widget ? widget->palette().color(QPalette::Active, QPalette::Highlight) : QColor(0x2f, 0x7d, 0xe1);
}

QColor label(bool dark)
{
    return dark ? QColor(255, 255, 255, 217) : QColor(0, 0, 0, 217);
}

QColor disabledControlText(bool dark)
{
    return dark ? QColor(255, 255, 255, 64) : QColor(0, 0, 0, 64);
}

QColor grid(bool dark)
{
    return dark ? QColor(0x5a, 0x5a, 0x5a) : QColor(0xe6, 0xe6, 0xe6);
}

QColor separator(bool dark)
{
    return dark ? QColor(255, 255, 255, 26) : QColor(0, 0, 0, 26);
}

QColor lightGray()
{
    return QColor::fromRgbF(2.0f / 3, 2.0f / 3, 2.0f / 3);
}

QColor darkGray()
{
    return QColor::fromRgbF(1.0f / 3, 1.0f / 3, 1.0f / 3);
}

} // namespace velquine::SystemColors
