#include "app/Application.h"

#include <QApplication>
#include <QIcon>
#include <QStandardPaths>
#include <QStringList>
#include <QStyleFactory>

#include <utility>

#include "app/AppDelegate.h"
#include "app/DocumentCommands.h"
#include "app/DocumentWindows.h"
#include "app/MainMenu.h"
#include "canvas/CanvasRenderer.h"
#include "editor/EditorWindowHooks.h"
#include "editor/MindMapEditorWindowController.h"
#include "exportui/ExportWindowController.h"
#include "files/Database.h"
#include "inspector/InspectorBarController.h"
#include "kit/FocusReturn.h"
#include "kit/InputInOrder.h"
#include "kit/ProgressWindow.h"
#include "kit/SystemTheme.h"
#include "kit/WindowAppearance.h"
#include "platform/Heap.h"
#include "platform/LongWork.h"
#include "platform/PictureReading.h"
#include "platform/RunLoop.h"
#include "platform/TerminationSignals.h"

namespace velquine {

std::vector<std::string> documentArguments(const QStringList& arguments)
{
    std::vector<std::string> paths;
    bool onlyFiles = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!onlyFiles && argument == QLatin1String("--")) {
            onlyFiles = true;
            continue;
        }
        if (!onlyFiles && argument.startsWith(u'-'))
            continue;
        paths.push_back(argument.toStdString());
    }
    return paths;
}

void installEditorWindowHooks()
{
    EditorWindowHooks hooks;
    hooks.installMenus = [](QMainWindow* window, WindowActions* actions) { MainMenu::install(window, actions); };
    hooks.scheduleCheatSheetOnStart = &AppDelegate::scheduleCheatSheetOnStart;
    hooks.makeInspectorSidebar = [](const std::shared_ptr<VQDocument>& document) -> InspectorSidebar* {
        return new InspectorBarController(document);
    };
    setEditorWindowHooks(std::move(hooks));
}

int runApplication(int argc, char** argv)
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velquine"));
    QApplication::setOrganizationName(QStringLiteral("Velquine"));
    QApplication::setDesktopFileName(QStringLiteral("velquine"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/velquine.svg")));

    SystemTheme::watch();
    ProgressWindow::install(); // shown while long work keeps the user waiting
    releaseFreedMemoryAfterInput();
    FocusReturn::install(); // without a window manager, closing a dialog leaves no window with the keyboard
    InputInOrder::install(); // keys typed right after a command find its deferred work done
    CanvasRenderer::install(); // printing and image and PDF output draw through the canvas
    installEditorWindowHooks();
    MindMapEditorWindowController::setExportWindowOpener(&showExportWindow);
    AppDelegate delegate;
    // Ended before the event loop runs (a quit or a signal taken up while a map named at launch opened), the
    // program does not start the loop: a quit then would be lost.
    bool ended = false;
    delegate.documents().setTerminateHandler([&ended] {
        ended = true;
        QApplication::quit();
    });
    delegate.documents().setWindowMaker(
        [](const std::shared_ptr<VQDocument>& document, const QString& title, DocumentWindows& windows) {
            return new MindMapEditorWindowController(document, title,
                                                     std::make_unique<DocumentCommands>(document, windows));
        });
    // Unsaved maps are kept in the data folder until they are saved, so that they come back after a crash.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!data.isEmpty())
        delegate.documents().controller().setRecoveryFolder(data.toStdString() + "/" + Database::bundleIdentifier
                                                            + "/Recovery");
    // Ended by the session: the maps with files are saved into them on the way out, the others kept.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app,
                     [&delegate] { delegate.documents().controller().autosaveAllQuietly(); });
    // Ended by a signal (logging out, kill, Ctrl+C in a terminal): the same, and no question stops it. An open
    // under way ends first, so that the map it shows is saved too, and so does other long work (a save, an export
    // drawing its map), which the saves would otherwise run inside of. Signals that come after it, until the maps
    // are written, change nothing.
    TerminationSignals::watch([&delegate, &ended](int) {
        TerminationSignals::endingNow();
        // Pictures being read stop at once: an open waiting for them ends now.
        PictureReading::stopAll();
        delegate.documents().controller().whenNotOpening([&delegate, &ended] {
            LongWork::whenNotBusy([&delegate, &ended] {
                delegate.documents().controller().endQuietly();
                ended = true;
                QCoreApplication::exit(0);
            });
        });
    });
    delegate.launchWorker(); // settings and banner before any document opens
    followAppearanceInApplication();
    delegate.openDocuments(documentArguments(QApplication::arguments()));
    if (ended)
        return 0;
    RunLoop::post([&delegate] { delegate.setUpUpdates(); }); // once launching has finished
    return app.exec();
}

} // namespace velquine
