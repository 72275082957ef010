#include "app/AppDelegate.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include "app/CheatSheetWindowController.h"
#include "app/DocumentWindow.h"
#include "app/PreferencesPanelController.h"
#include "app/Updater.h"
#include "document/VQDocumentFiles.h"
#include "document/FileTypes.h"
#include "document/VQDocument.h"
#include "model/project/FactorySettings.h"
#include "platform/Log.h"
#include "platform/SystemInformation.h"
#include "platform/UserDefaults.h"

namespace velquine {

namespace {

AppDelegate* sharedDelegate = nullptr;

QString displayName(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).fileName();
}

// The open dialog's filter: every type of the file-type table, then all files.
QString openDialogFilter()
{
    QStringList patterns;
    for (const FileType& type : FileTypes::all())
        for (const std::string& extension : type.extensions)
            patterns << QStringLiteral("*.") + QString::fromStdString(extension);
    return QObject::tr("Maps and outlines (%1);;All files (*)").arg(patterns.join(u' '));
}

} // namespace

AppDelegate::AppDelegate()
{
    sharedDelegate = this;
    ActionDispatcher::setApplicationResponder(this);
    addAction("showPreferencesPanel:", [this](const ActionItem*) { showPreferencesPanel(); });
    addAction("checkUpdates:", [this](const ActionItem*) { checkForUpdates(); });
    addAction("showManual:", [this](const ActionItem*) { showManual(); });
    addAction("visitProductWebsite:", [this](const ActionItem*) { visitProductWebsite(); });
    addAction("showCheatSheet:", [this](const ActionItem*) { showCheatSheet(); });
    addAction("contactSupport:", [this](const ActionItem*) { composeSupportMail(); });
    addAction("newDocument:", [this](const ActionItem*) { newDocument(); });
    addAction("openDocument:", [this](const ActionItem*) { openDocument(); });
    addAction("terminate:", [this](const ActionItem*) { terminate(); });
}

AppDelegate::~AppDelegate()
{
    for (const QPointer<QWidget>& window : windows_)
        delete window.data();
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
            "Running on: macOS " + macOSVersionString(),
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
    UserDefaults::standard().set("SUEnableAutomaticChecks", true);
    Updater::shared().checkForUpdatesInBackground();
}

std::string AppDelegate::supportMailBody(const std::string& appName, const std::string& appVersion,
                                         const std::string& appBuild, const std::string& systemDescription,
                                         const std::optional<std::string>& model)
{
    return "----\nApplication: " + appName + " " + appVersion + " (Build " + appBuild + ")" + " (DP)"
        + "\nmacOS: " + systemDescription + "\nMac model: " + model.value_or("Unknown")
        + "\n----\n\n<Your message here>";
}

void AppDelegate::composeSupportMail()
{
    const Bundle& bundle = Bundle::main();
    const std::string body = supportMailBody(bundle.appName(), bundle.appVersion(), bundle.appBuild(),
                                             operatingSystemVersionString(), macModelIdentifier());
    try {
        composeEmail(std::string(supportAddress), "Velquine Support", body);
    } catch (const EmailCompositionFailure&) {
        openURLString(std::string(onlineHelpURL));
    }
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
    openURLString(std::string(address));
}

void AppDelegate::showManual()
{
    openWebPage(manualURL);
}

void AppDelegate::visitProductWebsite()
{
    openWebPage(productWebsiteURL);
}

void AppDelegate::showCheatSheet()
{
    CheatSheetWindowController* controller = cheatSheetController();
    controller->loadCheatSheet();
    controller->showWindow();
}

void AppDelegate::showCheatSheetOnStartIfNeeded()
{
    CheatSheetWindowController* controller = cheatSheetController();
    if (controller->autoFiredOnce)
        return;
    showCheatSheet();
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
    if (item.action == "checkUpdates:")
        item.hidden = false;
    return true;
}

bool AppDelegate::validateToolbarItem(ActionItem&)
{
    return true;
}

void AppDelegate::openDocuments(const std::vector<std::string>& paths)
{
    if (paths.empty()) {
        if (UserDefaults::standard().boolForKey("NSShowAppCentricOpenPanelInsteadOfUntitledFile"))
            openDocument();
        else
            openUntitledDocument();
        return;
    }
    for (const std::string& path : paths)
        openDocumentAt(path);
}

void AppDelegate::openUntitledDocument()
{
    auto* window = new DocumentWindow(VQDocument::makeUntitledDocument(), QObject::tr("Untitled"));
    windows_.emplace_back(window);
    window->show();
}

void AppDelegate::openDocumentAt(const std::string& path)
{
    const QFileInfo file(QString::fromStdString(path));
    if (!file.isFile()) {
        reportOpenFailure(path, file.isDir() ? QObject::tr("It is a folder, not a file.").toStdString()
                                             : QObject::tr("There is no such file.").toStdString());
        return;
    }
    try {
        const auto document = VQDocument::makeDocumentForURL(path, FileTypes::typeNameForFile(path));
        // Imports and files of other types become untitled documents.
        const QString title = document->fileURL() ? displayName(*document->fileURL()) : QObject::tr("Untitled");
        auto* window = new DocumentWindow(document, title);
        windows_.emplace_back(window);
        window->show();
    } catch (const std::exception& error) {
        reportOpenFailure(path, error.what());
    }
}

void AppDelegate::reportOpenFailure(const std::string& path, const std::string& reason)
{
    VQ_LOG("openDocumentAt(_:)", "cannot open " + path + ": " + reason);
    auto* box = new QMessageBox(QMessageBox::Warning, QObject::tr("Velquine"),
                                QObject::tr("The document “%1” could not be opened.").arg(displayName(path)),
                                QMessageBox::Ok);
    box->setObjectName(QStringLiteral("openFailureMessage"));
    box->setInformativeText(QString::fromStdString(reason));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

std::vector<QWidget*> AppDelegate::documentWindows() const
{
    std::vector<QWidget*> open;
    for (const QPointer<QWidget>& window : windows_)
        if (window)
            open.push_back(window);
    return open;
}

void AppDelegate::newDocument()
{
    openUntitledDocument();
}

void AppDelegate::openDocument()
{
    const QStringList files = QFileDialog::getOpenFileNames(QApplication::activeWindow(), QObject::tr("Open"),
                                                            QString(), openDialogFilter());
    std::vector<std::string> paths;
    for (const QString& file : files)
        paths.push_back(file.toStdString());
    for (const std::string& path : paths)
        openDocumentAt(path);
}

void AppDelegate::terminate()
{
    QApplication::closeAllWindows();
    QApplication::quit();
}

} // namespace velquine
