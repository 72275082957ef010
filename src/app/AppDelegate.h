#pragma once

// The application's delegate: registers the factory settings and writes the start-up banner before any
// document opens, switches on the (stand-in) update checks once launched, owns the preferences and keyboard
// shortcuts windows (made on first use, kept for the life of the process), and answers the application's
// own commands at the end of every window's responder chain.

#include <QPointer>
#include <QWidget>

#include <string>
#include <vector>

#include "app/CheatSheetWindowController.h"
#include "platform/ActionDispatcher.h"

namespace velquine {

class DocumentWindows;
class PreferencesPanelController;

class AppDelegate : public Responder {
public:
    // The maker's addresses the help commands open.
    static constexpr std::string_view manualURL = "https://velquine.kelvarn.io/manual/";
    static constexpr std::string_view productWebsiteURL = "https://velquine.kelvarn.io/";
    static constexpr std::string_view onlineHelpURL = "https://velquine.kelvarn.io/help/";
    static constexpr std::string_view supportAddress = "support@kelvarn.io";

    AppDelegate();
    ~AppDelegate() override;

    // The one delegate, while it exists.
    static AppDelegate* shared();

    // Settings first, then the banner in the system log.
    void launchWorker();
    // Automatic update checks on again, and one check in the background.
    void setUpUpdates();

    // The five banner lines: a rule of 88 "-", the welcome line, the system line, the build mode, the rule.
    static std::vector<std::string> startupBanner();
    // The support mail's body: seven lines, the last without a line feed.
    static std::string supportMailBody(const std::string& appName, const std::string& appVersion,
                                       const std::string& appBuild, const std::string& systemDescription,
                                       const std::optional<std::string>& model);

    // Reopens the maps kept for recovery, then opens each file in a window of its own; with neither, one
    // untitled document (unless the settings ask for the open dialog instead).
    void openDocuments(const std::vector<std::string>& paths);
    // The windows opened so far that are still there.
    std::vector<QWidget*> documentWindows() const;
    // The open documents, their windows and the questions about them.
    DocumentWindows& documents() { return *documents_; }

    PreferencesPanelController* preferencesPanelController();
    CheatSheetWindowController* cheatSheetController();
    bool hasCheatSheetController() const { return cheatSheet_ != nullptr; }

    // The automatic display when a map window opens: shows the keyboard shortcuts once per run, unless done.
    void showCheatSheetOnStartIfNeeded();
    // What a map window does once loaded: with "showsCheatSheetOnStart" on, the above one second later.
    static void scheduleCheatSheetOnStart(QWidget* window);

    // Commands.
    void showPreferencesPanel();
    void checkForUpdates();
    void showManual();
    void visitProductWebsite();
    // keyboard: whether the panel takes the keyboard (see CheatSheetWindowController::showWindow()).
    void showCheatSheet(CheatSheetWindowController::Keyboard keyboard = CheatSheetWindowController::Keyboard::take);
    void composeSupportMail();
    void newDocument();
    void openDocument();
    // Closes every document, saving or asking as each needs, then ends the program; Cancel keeps it running.
    void terminate();

    bool validateMenuItem(ActionItem& item) override;
    bool validateToolbarItem(ActionItem& item) override;

    // The report that no program took an address: a message, and what to do instead (shown without waiting).
    static void showOpenAddressFailure(const QString& message, const QString& detail);

private:
    void openWebPage(std::string_view address);
    void openRecentDocument(const ActionItem* sender);

    std::unique_ptr<PreferencesPanelController> preferences_;
    std::unique_ptr<CheatSheetWindowController> cheatSheet_;
    std::unique_ptr<DocumentWindows> documents_;
};

} // namespace velquine
