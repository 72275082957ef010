#pragma once

// The program's updater. Velquine is installed and updated by the system's package manager, so there is no
// update source of its own: a check reports just that.

#include <string_view>

class QWidget;

namespace velquine {

class Updater {
public:
    static Updater& shared();

    // The text every check reports.
    static constexpr std::string_view noUpdateSourceMessage =
        "No update source is configured: Velquine is updated by the system's package manager.";

    // Logs the message to the system log; shows nothing.
    void checkForUpdatesInBackground();
    // The user's own check: the message in an information box next to parent (not blocking).
    void checkForUpdates(QWidget* parent);

    int backgroundChecks() const { return backgroundChecks_; }

private:
    int backgroundChecks_ = 0;
};

} // namespace velquine
