#include "platform/Settings.h"

#include <array>

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

namespace velquine {

namespace {

constexpr std::array<std::string_view, 3> styleNames{
    "UserInterfaceStyleSystemDefault", "UserInterfaceStyleLight", "UserInterfaceStyleDark"};

} // namespace

std::string_view userInterfaceStyleName(UserInterfaceStyle style)
{
    return styleNames.at(static_cast<std::size_t>(style));
}

UserInterfaceStyle userInterfaceStyle(std::string_view name)
{
    for (std::size_t i = 0; i < styleNames.size(); ++i)
        if (styleNames[i] == name)
            return static_cast<UserInterfaceStyle>(i);
    return UserInterfaceStyle::systemDefault;
}

int userInterfaceStyleTag(UserInterfaceStyle style)
{
    return static_cast<int>(style) + 1;
}

UserInterfaceStyle currentUserInterfaceStyle()
{
    const std::optional<std::string> stored = UserDefaults::standard().stringForKey(std::string(userInterfaceStyleKey));
    return userInterfaceStyle(stored.value_or(std::string(styleNames[0])));
}

void setUserInterfaceStyle(UserInterfaceStyle style)
{
    const UserInterfaceStyle old = currentUserInterfaceStyle();
    UserDefaults::standard().set(std::string(userInterfaceStyleKey), std::string(userInterfaceStyleName(style)));
    if (old != style)
        NotificationCenter::defaultCenter().post(std::string(uiModeDidSwitchNotification));
}

bool isCollisionDetectionEnabled()
{
    return UserDefaults::standard().boolForKey(std::string(collisionDetectionKey));
}

void setCollisionDetectionEnabled(bool enabled)
{
    const bool old = isCollisionDetectionEnabled();
    UserDefaults::standard().set(std::string(collisionDetectionKey), enabled);
    if (old != enabled)
        NotificationCenter::defaultCenter().post(std::string(collisionDetectionModeDidSwitchNotification));
}

} // namespace velquine
