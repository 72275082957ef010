#include "app/AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

#include "app/CheatSheetWindowController.h"
#include "app/DocumentWindows.h"
#include "app/PreferencesPanelController.h"
#include "app/Updater.h"
#include "document/VQDocumentFiles.h"
#include "document/FileTypes.h"
#include "document/VQDocument.h"
#include "kit/Alert.h"
#include "kit/CommandTable.h"
#include "model/project/FactorySettings.h"
#include "platform/Log.h"
#include "platform/RecentDocuments.h"
#include "platform/SystemInformation.h"
#include "platform/UserDefaults.h"

namespace velquine {

namespace {

AppDelegate* sharedDelegate = nullptr;

} // namespace

AppDelegate::AppDelegate() : documents_(std::make_unique<DocumentWindows>())
{
    sharedDelegate = this;
    ActionDispatcher::setApplicationResponder(this);
    addAction(commandSelector(Command::showPreferencesPanel), [this](const ActionItem*) { showPreferencesPanel(); });
    addAction(commandSelector(Command::checkUpdates), [this](const ActionItem*) { checkForUpdates(); });
    addAction(commandSelector(Command::showManual), [this](const ActionItem*) { showManual(); });
    addAction(commandSelector(Command::visitProductWebsite), [this](const ActionItem*) { visitProductWebsite(); });
    addAction(commandSelector(Command::showCheatSheet), [this](const ActionItem*) { showCheatSheet(); });
    addAction(commandSelector(Command::contactSupport), [this](const ActionItem*) { composeSupportMail(); });
    addAction(commandSelector(Command::newDocument), [this](const ActionItem*) { newDocument(); });
    addAction(commandSelector(Command::openDocument), [this](const ActionItem*) { openDocument(); });
    addAction(commandSelector(Command::terminate), [this](const ActionItem*) { terminate(); });
    addAction(commandSelector(Command::openRecentDocument),
              [this](const ActionItem* sender) { openRecentDocument(sender); });
    addAction(commandSelector(Command::clearRecentDocuments), [](const ActionItem*) { RecentDocuments::clear(); });
}

AppDelegate::~AppDelegate()
{
    documents_.reset();
    if (ActionDispatcher::applicationResponder() == this)
        ActionDispatcher::setApplicationResponder(nullptr);
    if (sharedDelegate == this)
        sharedDelegate = nullptr;
}

AppDelegate* AppDelegate::shared()
{
    return sharedDelegate;
}

std::vector<std::string> AppDelegate::startupBanner()
{
    const Bundle& bundle = Bundle::main();
    const std::string rule(88, '-');
    return {rule,
            "Welcome to " + bundle.appName() + " v" + bundle.appVersion() + " (" + bundle.appBuild()
                + ") - built on " + bundle.buildDate() + "!",
            "Running on: " + operatingSystemName(),
            "Build Mode: DIRECT BUILD",
            rule};
}

void AppDelegate::launchWorker()
{
    registerFactoryDefaults();
    // Scratch folders and working copies of saves and opens that were killed midway.
    VQDocumentFiles::removeLeftovers();
    for (const std::string& line : startupBanner())
        systemLog(line);
}

void AppDelegate::setUpUpdates()
{
    // Written once: every write of the settings waits for the disk.
    if (!UserDefaults::standard().boolForKey("SUEnableAutomaticChecks"))
        UserDefaults::standard().set("SUEnableAutomaticChecks", true);
    Updater::shared().checkForUpdatesInBackground();
}

std::string AppDelegate::supportMailBody(const std::string& appName, const std::string& appVersion,
                                         const std::string& appBuild, const std::string& systemDescription,
                                         const std::optional<std::string>& model)
{
    return "----\nApplication: " + appName + " " + appVersion + " (Build " + appBuild + ")" + " (DP)"
        + "\nSystem: " + systemDescription + "\nModel: " + model.value_or("Unknown")
        + "\n----\n\n<Your message here>";
}

void AppDelegate::composeSupportMail()
{
    const Bundle& bundle = Bundle::main();
    const std::string body = supportMailBody(bundle.appName(), bundle.appVersion(), bundle.appBuild(),
                                             operatingSystemVersionString(), macModelIdentifier());
    const auto noMailProgram = [](const QString& reason) {
        QString detail = QObject::tr("No mail program is set up on this computer. Write to %1 from the mail "
                                     "program or web mail you use.")
                             .arg(QString::fromUtf8(supportAddress.data(), qsizetype(supportAddress.size())));
        if (!reason.isEmpty())
            detail += QStringLiteral("\n\n") + reason;
        showOpenAddressFailure(QObject::tr("The support mail could not be started."), detail);
    };
    try {
        composeEmail(std::string(supportAddress), "Velquine Support", body, noMailProgram);
    } catch (const EmailCompositionFailure&) {
        openWebPage(onlineHelpURL);
    }
}

void AppDelegate::showOpenAddressFailure(const QString& message, const QString& detail)
{
    Report{.objectName = QStringLiteral("openAddressFailureMessage"), .messageText = message, .informativeText = detail}
        .showOver(QApplication::activeWindow());
}

PreferencesPanelController* AppDelegate::preferencesPanelController()
{
    if (!preferences_)
        preferences_ = std::make_unique<PreferencesPanelController>();
    return preferences_.get();
}

CheatSheetWindowController* AppDelegate::cheatSheetController()
{
    if (!cheatSheet_)
        cheatSheet_ = std::make_unique<CheatSheetWindowController>();
    return cheatSheet_.get();
}

void AppDelegate::showPreferencesPanel()
{
    preferencesPanelController()->showWindow();
}

void AppDelegate::checkForUpdates()
{
    Updater::shared().checkForUpdates(QApplication::activeWindow());
}

void AppDelegate::openWebPage(std::string_view address)
{
    const QString shown = QString::fromUtf8(address.data(), qsizetype(address.size()));
    openURLString(std::string(address), [shown](const QString& reason) {
        QString detail = QObject::tr("No web browser is set up on this computer to open %1.").arg(shown);
        if (!reason.isEmpty())
            detail += QStringLiteral("\n\n") + reason;
        showOpenAddressFailure(QObject::tr("The web page could not be opened."), detail);
    });
}

void AppDelegate::showManual()
{
    openWebPage(manualURL);
}

void AppDelegate::visitProductWebsite()
{
    openWebPage(productWebsiteURL);
}

void AppDelegate::showCheatSheet(CheatSheetWindowController::Keyboard keyboard)
{
    CheatSheetWindowController* controller = cheatSheetController();
    controller->loadCheatSheet();
    controller->showWindow(keyboard);
}

void AppDelegate::showCheatSheetOnStartIfNeeded()
{
    CheatSheetWindowController* controller = cheatSheetController();
    if (controller->autoFiredOnce)
        return;
    showCheatSheet(CheatSheetWindowController::Keyboard::leave);
    controller->autoFiredOnce = true;
}

void AppDelegate::scheduleCheatSheetOnStart(QWidget* window)
{
    if (!UserDefaults::standard().boolForKey("showsCheatSheetOnStart"))
        return;
    QTimer::singleShot(1000, window, [] {
        if (AppDelegate* delegate = shared())
            delegate->showCheatSheetOnStartIfNeeded();
    });
}

bool AppDelegate::validateMenuItem(ActionItem& item)
{
    if (item.action == commandSelector(Command::checkUpdates))
        item.hidden = false;
    return true;
}

bool AppDelegate::validateToolbarItem(ActionItem&)
{
    return true;
}

void AppDelegate::openDocuments(const std::vector<std::string>& paths)
{
    // Maps a program that ended before they were saved left behind come back first; they take the place of
    // the new map.
    const bool recovered = documents_->controller().reopenRecoveredDocuments() > 0;
    if (paths.empty() && recovered)
        return;
    if (paths.empty() && UserDefaults::standard().boolForKey("NSShowAppCentricOpenPanelInsteadOfUntitledFile")) {
        openDocument();
        // A program without any window could not be used or quit: when nothing opened, a new map is shown.
        if (documents_->controller().documents().empty())
            newDocument();
        return;
    }
    documents_->controller().openDocuments(paths);
}

std::vector<QWidget*> AppDelegate::documentWindows() const
{
    return documents_->windows();
}

void AppDelegate::newDocument()
{
    documents_->controller().newDocument();
}

void AppDelegate::openDocument()
{
    documents_->controller().openDocument();
}

void AppDelegate::openRecentDocument(const ActionItem* sender)
{
    const auto* item = sender ? qobject_cast<const QAction*>(sender->object) : nullptr;
    if (item && !item->data().toString().isEmpty())
        documents_->controller().openDocumentWithContentsOfURL(item->data().toString().toStdString());
}

void AppDelegate::terminate()
{
    documents_->controller().terminate();
}

} // namespace velquine
