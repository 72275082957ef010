#include "kit/WindowAppearance.h"

#include <QApplication>
#include <QWidget>

#include <QStyle>
#include <QStyleFactory>

#include <memory>

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

QPalette lightPalette()
{
    // The Fusion style's own palette, whatever style the application runs with.
    static const QPalette palette = [] {
        std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        return fusion ? fusion->standardPalette() : paletteFor(false);
    }();
    return palette;
}

QPalette darkPalette() { return paletteFor(true); }

QPalette paletteForAppearance(UserInterfaceStyle style)
{
    switch (style) {
    case UserInterfaceStyle::light: return lightPalette();
    case UserInterfaceStyle::dark: return darkPalette();
    case UserInterfaceStyle::systemDefault: break;
    }
    return QApplication::palette();
}

void setWindowAppearance(QWidget* window, UserInterfaceStyle style)
{
    if (!window)
        return;
    window->setProperty(appearanceProperty, int(style));
    window->setPalette(style == UserInterfaceStyle::systemDefault ? QPalette() : paletteForAppearance(style));
    window->update();
}

UserInterfaceStyle windowAppearance(const QWidget* window)
{
    for (const QWidget* w = window; w; w = w->parentWidget())
        if (const QVariant value = w->property(appearanceProperty); value.isValid())
            return UserInterfaceStyle(value.toInt());
    return UserInterfaceStyle::systemDefault;
}

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
