#pragma once

// Turns the desktop's theme and palette changes into one named notification on the default notification
// centre, "AppleInterfaceThemeChangedNotification", posted once per change on the next turn of the main
// loop (Qt delivers a theme change to every window; the watcher folds them into one).

namespace velquine {

inline constexpr const char* systemThemeChangedNotification = "AppleInterfaceThemeChangedNotification";

class SystemTheme {
public:
    // Starts watching (once per application; later calls do nothing).
    static void watch();
};

} // namespace velquine
