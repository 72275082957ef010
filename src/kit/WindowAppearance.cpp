#include "kit/WindowAppearance.h"

#include <QApplication>
#include <QWidget>

#include <string>

#include "platform/NotificationCenter.h"

namespace velquine {

namespace {
constexpr const char* appearanceProperty = "velquineAppearance";
} // namespace

namespace {

struct RoleColors {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    QColor light;
    QColor dark;
};

// The Fusion palettes of both appearances, role by role.
const RoleColors roleColors[] = {
    {QPalette::All, QPalette::Window, QColor(239, 239, 239), QColor(50, 50, 52)},
    {QPalette::All, QPalette::WindowText, QColor(0, 0, 0), QColor(232, 232, 232)},
    {QPalette::All, QPalette::Base, QColor(255, 255, 255), QColor(30, 30, 32)},
    {QPalette::All, QPalette::AlternateBase, QColor(247, 247, 247), QColor(44, 44, 46)},
    {QPalette::All, QPalette::ToolTipBase, QColor(255, 255, 220), QColor(60, 60, 62)},
    {QPalette::All, QPalette::ToolTipText, QColor(0, 0, 0), QColor(232, 232, 232)},
    {QPalette::All, QPalette::PlaceholderText, QColor(0, 0, 0, 128), QColor(255, 255, 255, 110)},
    {QPalette::All, QPalette::Text, QColor(0, 0, 0), QColor(232, 232, 232)},
    {QPalette::All, QPalette::Button, QColor(239, 239, 239), QColor(58, 58, 60)},
    {QPalette::All, QPalette::ButtonText, QColor(0, 0, 0), QColor(232, 232, 232)},
    {QPalette::All, QPalette::BrightText, QColor(255, 255, 255), QColor(255, 255, 255)},
    {QPalette::All, QPalette::Light, QColor(255, 255, 255), QColor(80, 80, 82)},
    {QPalette::All, QPalette::Midlight, QColor(202, 202, 202), QColor(66, 66, 68)},
    {QPalette::All, QPalette::Mid, QColor(184, 184, 184), QColor(40, 40, 42)},
    {QPalette::All, QPalette::Dark, QColor(159, 159, 159), QColor(24, 24, 26)},
    {QPalette::All, QPalette::Shadow, QColor(118, 118, 118), QColor(0, 0, 0)},
    {QPalette::All, QPalette::Highlight, QColor(48, 140, 198), QColor(42, 130, 218)},
    {QPalette::All, QPalette::HighlightedText, QColor(255, 255, 255), QColor(255, 255, 255)},
    {QPalette::All, QPalette::Link, QColor(0, 0, 255), QColor(90, 160, 255)},
    {QPalette::Disabled, QPalette::WindowText, QColor(190, 190, 190), QColor(120, 120, 120)},
    {QPalette::Disabled, QPalette::Text, QColor(190, 190, 190), QColor(120, 120, 120)},
    {QPalette::Disabled, QPalette::ButtonText, QColor(190, 190, 190), QColor(120, 120, 120)},
};

QPalette paletteFor(bool dark)
{
    QPalette palette;
    for (const RoleColors& entry : roleColors)
        palette.setColor(entry.group, entry.role, dark ? entry.dark : entry.light);
    return palette;
}

} // namespace

QPalette lightPalette() { return paletteFor(false); }

QPalette darkPalette() { return paletteFor(true); }

void setWindowAppearance(QWidget* window, UserInterfaceStyle style)
{
    if (!window)
        return;
    window = window->window();
    window->setProperty(appearanceProperty, int(style));
    switch (style) {
    case UserInterfaceStyle::light: window->setPalette(lightPalette()); break;
    case UserInterfaceStyle::dark: window->setPalette(darkPalette()); break;
    case UserInterfaceStyle::systemDefault:
        window->setPalette(QPalette());
        window->setAttribute(Qt::WA_SetPalette, false);
        window->setPalette(QApplication::palette());
        break;
    }
}

UserInterfaceStyle windowAppearance(const QWidget* window)
{
    if (!window)
        return UserInterfaceStyle::systemDefault;
    const QVariant value = window->window()->property(appearanceProperty);
    return value.isValid() ? UserInterfaceStyle(value.toInt()) : UserInterfaceStyle::systemDefault;
}

void updateWindowAppearance(QWidget* window) { setWindowAppearance(window, currentUserInterfaceStyle()); }

void registerForAppearanceChanges(QWidget* window)
{
    if (!window)
        return;
    window = window->window();
    auto& center = NotificationCenter::defaultCenter();
    const auto token = center.addObserver(std::string(uiModeDidSwitchNotification),
                                          [window](const Notification&) { updateWindowAppearance(window); }, window);
    QObject::connect(window, &QObject::destroyed, [token] { NotificationCenter::defaultCenter().removeObserver(token); });
    updateWindowAppearance(window);
}

} // namespace velquine
