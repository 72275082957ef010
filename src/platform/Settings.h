#pragma once

// The settings that several windows follow, with their typed accessors. The setters store the new value
// and, only when it differs from the old one, post their notification synchronously on the default
// notification centre (no object), so every open window can follow the change at once.

#include <string>
#include <string_view>

namespace velquine {

// The appearance the user chose for the windows, stored as text under "userInterfaceStyle".
enum class UserInterfaceStyle { systemDefault = 0, light = 1, dark = 2 };

inline constexpr std::string_view userInterfaceStyleKey = "userInterfaceStyle";
inline constexpr std::string_view collisionDetectionKey = "isCollisionDetectionEnabled";

// Posted by setUserInterfaceStyle when the appearance changed.
inline constexpr std::string_view uiModeDidSwitchNotification = "UIModeDidSwitch";
// Posted by setCollisionDetectionEnabled when the setting changed (the name's spelling is kept: observers
// and stored preferences of earlier versions use it).
inline constexpr std::string_view collisionDetectionModeDidSwitchNotification = "collisionDedectionModeDidSwitch";

// "UserInterfaceStyleSystemDefault", "UserInterfaceStyleLight" or "UserInterfaceStyleDark".
std::string_view userInterfaceStyleName(UserInterfaceStyle style);
// The case whose stored text equals name exactly (with case); any other text is systemDefault.
UserInterfaceStyle userInterfaceStyle(std::string_view name);
// The tag of the preferences' appearance item for a style: 1, 2 or 3.
int userInterfaceStyleTag(UserInterfaceStyle style);

// The stored appearance of the standard user defaults (systemDefault when absent or unknown).
UserInterfaceStyle currentUserInterfaceStyle();
// Stores the style's text; posts "UIModeDidSwitch" when the stored case was a different one.
void setUserInterfaceStyle(UserInterfaceStyle style);

bool isCollisionDetectionEnabled();
// Stores the flag; posts "collisionDedectionModeDidSwitch" when it changed.
void setCollisionDetectionEnabled(bool enabled);

} // namespace velquine
