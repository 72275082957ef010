#include "app/WindowAppearance.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QWidget>

#include "platform/NotificationCenter.h"

namespace velquine {

namespace {

QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x2d, 0x2d, 0x30), base(0x1e, 0x1e, 0x20), text(0xe8, 0xe8, 0xea);
    const QColor disabledText(0x7a, 0x7a, 0x80), highlight(0x2f, 0x6f, 0xb8);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x28, 0x28, 0x2b));
    p.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3e));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabledText);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x38, 0x38, 0x3c));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xff, 0x6b, 0x6b));
    p.setColor(QPalette::Light, QColor(0x48, 0x48, 0x4d));
    p.setColor(QPalette::Midlight, QColor(0x3c, 0x3c, 0x40));
    p.setColor(QPalette::Mid, QColor(0x26, 0x26, 0x29));
    p.setColor(QPalette::Dark, QColor(0x1a, 0x1a, 0x1c));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x6c, 0xb4, 0xff));
    p.setColor(QPalette::LinkVisited, QColor(0xb4, 0x8c, 0xff));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x4a, 0x4a, 0x50));
    return p;
}

} // namespace

QPalette paletteForAppearance(UserInterfaceStyle style)
{
    switch (style) {
    case UserInterfaceStyle::light:
        return QApplication::style() ? QApplication::style()->standardPalette() : QPalette();
    case UserInterfaceStyle::dark:
        return darkPalette();
    case UserInterfaceStyle::systemDefault:
        break;
    }
    return QApplication::palette();
}

void updateWindowAppearance(QWidget* window)
{
    if (!window)
        return;
    const UserInterfaceStyle style = currentUserInterfaceStyle();
    // With the system's appearance the window inherits the application palette and follows its changes.
    window->setPalette(style == UserInterfaceStyle::systemDefault ? QPalette() : paletteForAppearance(style));
    window->update();
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
