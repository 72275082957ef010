#include "document/DocumentFactory.h"
#include "support/QtWait.h"
#include "app/DocumentWindows.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPropertyAnimation>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>

#include "app/AppDelegate.h"
#include "app/CheatSheetWindowController.h"
#include "app/DocumentCommands.h"
#include "app/DocumentWindow.h"
#include "app/HelpPreferencesViewController.h"
#include "app/MainMenu.h"
#include "app/PreferencesPanelController.h"
#include "document/GraphRenderer.h"
#include "document/VQDocument.h"
#include "document/VQDocumentFiles.h"
#include "editor/EditorPanes.h"
#include "editor/MindMapEditorWindowController.h"
#include "inspector/InspectorBarController.h"
#include "inspector/NodeContentInspector.h"
#include "kit/FileDialogFolders.h"
#include "kit/OpenPanel.h"
#include "kit/WindowActions.h"
#include "platform/RecentDocuments.h"
#include "platform/WindowFrames.h"
#include "PictureFiles.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

// The dialogs with answers given in advance; the reports are the real ones.
struct ScriptedDialogs : DocumentDialogs {
    std::deque<std::optional<std::string>> savePaths;
    std::deque<SaveChangesAnswer> answers;
    bool overwrite = false;
    QStringList asked;

    std::vector<std::string> openPaths;
    std::vector<std::string> runOpenPanel(QWidget*) override
    {
        asked << QStringLiteral("open panel");
        return std::exchange(openPaths, {});
    }
    std::optional<std::string> runSavePanel(QWidget*, const QString& suggested, const QString&) override
    {
        asked << QStringLiteral("save panel ") + suggested;
        auto path = savePaths.front();
        savePaths.pop_front();
        return path;
    }
    SaveChangesAnswer askToSaveChanges(QWidget*, const QString& name, bool quitting) override
    {
        asked << (quitting ? QStringLiteral("quit? ") : QStringLiteral("close? ")) + name;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool askToOverwriteChangedFile(QWidget*, const QString& name) override
    {
        asked << QStringLiteral("overwrite? ") + name;
        return overwrite;
    }
    bool askToRevert(QWidget*, const QString&) override { return true; }
    // The paper the page setup chooses, if any, and the paper the print panel was shown with.
    std::optional<QPageSize::PageSizeId> pageSetupPaper;
    QPageSize::PageSizeId printPanelPaper = QPageSize::Custom;
    bool runPageLayout(QWidget*, QPageLayout& layout) override
    {
        asked << QStringLiteral("page setup ") + layout.pageSize().name();
        if (pageSetupPaper)
            layout.setPageSize(QPageSize(*pageSetupPaper));
        return bool(pageSetupPaper);
    }
    // Prints into this PDF file.
    QString printTo;
    bool runPrintPanel(QWidget*, QPrinter& printer) override
    {
        printPanelPaper = printer.pageLayout().pageSize().id();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printTo);
        return true;
    }
};

struct BlackRenderer : GraphRenderer {
    void render(QPainter& painter, const QRectF& target, const VQProject&, const Rect&,
                const GraphRenderOptions&) const override
    {
        painter.fillRect(target, Qt::black);
    }
};

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::size_t nodesInFile(const std::string& path)
{
    return DocumentFactory::makeDocumentForURL(path, std::string(VQDocument::documentType))->project().graph.count();
}

void addNode(VQDocument& document, const std::string& title)
{
    document.beginEditingSession("New Root Node");
    document.createRootNode(title, Point{0, 0}, true);
    document.commitEditingSession();
}

// The visible report with this name about the file: its text and detail, closed afterwards; empty when there
// is none.
QString takeReport(const char* objectName, const QString& file, const QString& screenshot = {})
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String(objectName) && widget->isVisible()
            && qobject_cast<QMessageBox*>(widget)->text().contains(file)) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!screenshot.isEmpty())
                test::saveScreenshot(box, screenshot);
            const QString text = box->text() + u'|' + box->informativeText();
            box->close();
            return text;
        }
    return {};
}

// Files in the folder cannot be made, even by the superuser: it acts as another user while alive.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& folder) : ReadOnlyFolder(QStringList{folder}) {}
    explicit ReadOnlyFolder(const QStringList& folders)
    {
        for (const QString& folder : folders)
            folders_.push_back(folder.toStdString());
        if (::geteuid() == 0) {
            // The scratch folders of a save (caches and data of this test run) stay writable.
            const QString caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
            const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
            QDir().mkpath(caches);
            QDir().mkpath(data);
            for (const QString& path : QStringList{caches, data} + folders)
                openUp(path);
            const QString root = QFileInfo(caches).path();
            ::chmod(root.toLocal8Bit().constData(), 0777);
            QDirIterator all(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
            while (all.hasNext())
                ::chmod(all.next().toLocal8Bit().constData(), 0777);
        }
        for (const std::string& folder : folders_)
            ::chmod(folder.c_str(), 0555);
        if (::geteuid() == 0)
            ::setfsuid(65534);
    }
    ~ReadOnlyFolder()
    {
        if (::geteuid() == 0)
            ::setfsuid(0);
        for (const std::string& folder : folders_)
            ::chmod(folder.c_str(), 0755);
    }

private:
    // Lets others pass through every folder above path.
    static void openUp(QString path)
    {
        while (path.size() > 1) {
            path = QFileInfo(path).path();
            struct stat info {};
            if (::stat(path.toLocal8Bit().constData(), &info) == 0)
                ::chmod(path.toLocal8Bit().constData(), (info.st_mode & 07777) | 0011);
        }
    }
    std::vector<std::string> folders_;
};

// The file cannot be read while alive, even by the superuser, who acts as another user meanwhile.
class UnreadableFile {
public:
    explicit UnreadableFile(const std::string& path) : path_(path), folder_(QFileInfo(QString::fromStdString(path)).path())
    {
        if (::geteuid() != 0) {
            ::chmod(path_.c_str(), 0);
            return;
        }
        ::chmod(folder_.toLocal8Bit().constData(), 0711);
        ::chmod(path_.c_str(), 0600);
        ::setfsuid(65534);
    }
    ~UnreadableFile()
    {
        if (::geteuid() == 0)
            ::setfsuid(0);
        ::chmod(path_.c_str(), 0644);
    }

private:
    std::string path_;
    QString folder_;
};

// While alive, the desktop's panels leave windows only this area of the screen: the work area a window
// manager announces on the root window, which the toolkit takes as the screen's available area.
class WorkArea {
public:
    explicit WorkArea(const QRect& area)
    {
        QProcess::execute(QStringLiteral("xprop"),
                          {QStringLiteral("-root"), QStringLiteral("-f"), QStringLiteral("_NET_WORKAREA"), QStringLiteral("32c"),
                           QStringLiteral("-set"), QStringLiteral("_NET_WORKAREA"),
                           QStringLiteral("%1, %2, %3, %4").arg(area.x()).arg(area.y()).arg(area.width()).arg(area.height())});
        EXPECT_EVENTUALLY_EQ(QGuiApplication::primaryScreen()->availableGeometry(), area);
    }
    ~WorkArea()
    {
        QProcess::execute(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("-remove"), QStringLiteral("_NET_WORKAREA")});
        EXPECT_EVENTUALLY_EQ(QGuiApplication::primaryScreen()->availableGeometry(), QGuiApplication::primaryScreen()->geometry());
    }
};

struct DocumentWindowsTest : ::testing::Test {
    ScopedStandardUserDefaults settings;
    QTemporaryDir dir;
    AppDelegate delegate;
    ScriptedDialogs* dialogs = new ScriptedDialogs;
    int quits = 0;

    DocumentWindowsTest()
    {
        delegate.launchWorker();
        delegate.documents().setDialogs(std::unique_ptr<DocumentDialogs>(dialogs));
        delegate.documents().setTerminateHandler([this] { ++quits; });
        controller().setAutosaveDelay(std::chrono::milliseconds(50));
    }
    DocumentController& controller() { return delegate.documents().controller(); }
    std::string path(const char* name) const { return dir.filePath(QString::fromUtf8(name)).toStdString(); }
    // A saved map opened in a window, with a node added that no autosave writes.
    void openMapWithAnUnsavedNode(const std::string& map)
    {
        auto original = DocumentFactory::makeUntitledDocument();
        addNode(*original, "Root");
        ASSERT_TRUE(original->writeToURL(map, "io.kelvarn.velquine.mindmap", nullptr));
        delegate.openDocuments({map});
        ASSERT_EQ(delegate.documentWindows().size(), 1u);
        controller().setAutosaveDelay(std::chrono::hours(1));
        addNode(*window(0)->document(), "Unsaved");
    }
    DocumentWindow* window(std::size_t index) const
    {
        return static_cast<DocumentWindow*>(delegate.documentWindows().at(index));
    }
    // Sends the command through the window's menu shortcut, as a key press.
    static void press(QWidget* window, QKeySequence keys)
    {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keySequence(window, keys);
    }
    // Answers the next real file dialog to show: notes the folder it shows in shownFolders, then chooses the
    // name (or path) or, without one, cancels.
    QStringList shownFolders;
    QObject polls; // ends any poll still waiting with the test
    void answerPanel(const QString& name, const QString& screenshot = {})
    {
        auto* poll = new QTimer(&polls);
        QObject::connect(poll, &QTimer::timeout, [this, poll, name, screenshot] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* panel = qobject_cast<QFileDialog*>(widget); panel && panel->isVisible()) {
                    poll->stop();
                    poll->deleteLater();
                    shownFolders << panel->directory().absolutePath();
                    if (!screenshot.isEmpty())
                        test::saveScreenshot(panel, screenshot);
                    if (name.isEmpty()) {
                        panel->reject();
                    } else {
                        panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
                        static_cast<QDialog*>(panel)->accept();
                    }
                    return;
                }
        });
        poll->start(20);
    }
    // Ctrl+Q on the report of that name, left up over the window of the one map, unsaved, quits as the Quit command
    // does: Cancel on the question that comes keeps the window and the report, Don't Save ends the program.
    void expectCtrlQQuitsFrom(const char* objectName)
    {
        QPointer<QMessageBox> report;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QLatin1String(objectName) && widget->isVisible())
                report = qobject_cast<QMessageBox*>(widget);
        ASSERT_TRUE(report) << objectName;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(report));
        // The keys go to the report as the active window (a question's window may have been active meanwhile).
        const auto pressCtrlQ = [&report] {
            report->activateWindow();
            EXPECT_TRUE(QTest::qWaitFor([&report] { return report->isActiveWindow(); }));
            QTest::keySequence(report, QKeySequence(Qt::CTRL | Qt::Key_Q));
        };
        dialogs->answers = {SaveChangesAnswer::cancel};
        pressCtrlQ();
        EXPECT_EVENTUALLY_EQ(dialogs->asked, QStringList{QStringLiteral("quit? Untitled")});
        EXPECT_EQ(quits, 0);
        ASSERT_TRUE(report && report->isVisible());
        dialogs->answers = {SaveChangesAnswer::dontSave};
        pressCtrlQ();
        EXPECT_EVENTUALLY_EQ(quits, 1);
        EXPECT_TRUE(delegate.documentWindows().empty());
        EXPECT_FALSE(report);
    }
    // Documents open in editor windows, as in the program.
    void useEditorWindows()
    {
        delegate.documents().setWindowMaker(
            [](const std::shared_ptr<VQDocument>& document, const QString& title, DocumentWindows& windows) {
                return new MindMapEditorWindowController(document, title,
                                                         std::make_unique<DocumentCommands>(document, windows));
            });
    }
};

} // namespace

TEST_F(DocumentWindowsTest, ANewDocumentIsSavedAsThenAutosavedInPlaceAndReverted)
{
    // Asked to start with the open panel, which is cancelled: a new map all the same.
    settings.defaults().set("NSShowAppCentricOpenPanelInsteadOfUntitledFile", true);
    delegate.openDocuments({});
    EXPECT_EQ(dialogs->asked, QStringList{QStringLiteral("open panel")});
    dialogs->asked.clear();
    ASSERT_EQ(delegate.documentWindows().size(), 1u);
    DocumentWindow* untitled = window(0);
    VQDocument& document = *untitled->document();
    addNode(document, "A");
    EXPECT_EQ(untitled->windowTitle(), QStringLiteral("Untitled*"));
    QTest::qWait(150); // fixed: nothing may happen meanwhile
    EXPECT_TRUE(document.isDocumentEdited()); // no file: nothing autosaved

    dialogs->savePaths = {path("Plan")};
    press(untitled, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EXPECT_EQ(dialogs->asked, QStringList{QStringLiteral("save panel Untitled.radovudo")});
    EXPECT_EQ(untitled->windowTitle(), QStringLiteral("Plan.radovudo"));
    EXPECT_EQ(nodesInFile(path("Plan.radovudo")), 1u);
    EXPECT_EQ(RecentDocuments::paths(), std::vector<std::string>{path("Plan.radovudo")});

    addNode(document, "B");
    EXPECT_EQ(untitled->windowTitle(), QStringLiteral("Plan.radovudo*"));
    EXPECT_EVENTUALLY_EQ(untitled->windowTitle(), QStringLiteral("Plan.radovudo"), 3000);
    EXPECT_EQ(nodesInFile(path("Plan.radovudo")), 2u);

    // Undo is a change too; Revert puts the saved map back and forgets the history.
    controller().setAutosaveDelay(std::chrono::hours(1));
    document.undoManager()->undo();
    EXPECT_EQ(document.project().graph.count(), 1u);
    EXPECT_EQ(untitled->windowTitle(), QStringLiteral("Plan.radovudo*"));
    ASSERT_TRUE(untitled->windowActions()->dispatcher().sendAction("revertDocumentToSaved:"));
    EXPECT_EQ(document.project().graph.count(), 2u);
    EXPECT_EQ(untitled->windowTitle(), QStringLiteral("Plan.radovudo"));
    EXPECT_FALSE(document.undoManager()->canUndo());
    test::saveScreenshot(untitled, QStringLiteral("document-saved-window"));

    // Opening the same file again, here from Open Recent, brings its window forward.
    QMenu* recent = nullptr;
    for (QMenu* menu : untitled->findChildren<QMenu*>())
        if (menu->title() == MainMenu::openRecentTitle())
            recent = menu;
    ASSERT_TRUE(recent);
    emit recent->aboutToShow();
    QStringList items;
    for (QAction* item : recent->actions())
        items << item->text();
    EXPECT_EQ(items, (QStringList{QStringLiteral("Plan.radovudo"), QString(), QStringLiteral("Clear Menu")}));
    EXPECT_TRUE(untitled->windowActions()->trigger(recent->actions().front()));
    EXPECT_EQ(delegate.documentWindows().size(), 1u);
}

TEST_F(DocumentWindowsTest, ClosingAndQuittingSaveFilesAndAskForUntitledChanges)
{
    delegate.openDocuments({});
    addNode(*window(0)->document(), "Draft");
    dialogs->answers = {SaveChangesAnswer::cancel, SaveChangesAnswer::dontSave};
    press(window(0), QKeySequence(Qt::CTRL | Qt::Key_W));
    EXPECT_EQ(delegate.documentWindows().size(), 1u); // Cancel keeps it
    window(0)->close();
    EXPECT_EVENTUALLY(delegate.documentWindows().empty()); // Don't Save closes it
    EXPECT_EQ(quits, 1); // the last window closed
    EXPECT_EQ(dialogs->asked, (QStringList{QStringLiteral("close? Untitled"), QStringLiteral("close? Untitled")}));

    // A map with a file is saved on close without a question.
    const std::string map = path("Map.radovudo");
    ASSERT_TRUE(DocumentFactory::makeUntitledDocument()->writeToURL(map, "io.kelvarn.velquine.mindmap", nullptr));
    controller().setAutosaveDelay(std::chrono::hours(1));
    delegate.openDocuments({map});
    delegate.newDocument();
    addNode(*window(0)->document(), "Kept");
    addNode(*window(1)->document(), "Idea");
    dialogs->asked.clear();
    dialogs->answers = {SaveChangesAnswer::cancel};
    ActionDispatcher chain;
    chain.sendAction("terminate:");
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(delegate.documentWindows().size(), 2u); // Cancel stopped the quit
    EXPECT_EQ(nodesInFile(map), 1u);                    // the map was saved on the way

    addNode(*window(1)->document(), "Idea 2");
    dialogs->answers = {SaveChangesAnswer::save};
    dialogs->savePaths = {path("Ideas.radovudo")};
    chain.sendAction("terminate:");
    EXPECT_EQ(quits, 2);
    EXPECT_TRUE(delegate.documentWindows().empty());
    EXPECT_EQ(nodesInFile(path("Ideas.radovudo")), 2u);
    EXPECT_EQ(dialogs->asked, (QStringList{QStringLiteral("quit? Untitled"), QStringLiteral("quit? Untitled"),
                                           QStringLiteral("save panel Untitled.radovudo")}));

    delegate.newDocument();
    addNode(*window(0)->document(), "Lost");
    dialogs->answers = {SaveChangesAnswer::dontSave};
    chain.sendAction("terminate:");
    EXPECT_EQ(quits, 3);
}

// With the cache, the data folder and the map's folder all read-only, the report says once that the map could
// not be saved, and says why for the folders it tried.
TEST_F(DocumentWindowsTest, ASaveThatNoFolderTakesSaysOnceThatItFailed)
{
    const std::string map = path("Map.radovudo");
    ASSERT_NO_FATAL_FAILURE(openMapWithAnUnsavedNode(map));
    const QString caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    {
        ReadOnlyFolder readOnly({caches, data, dir.path()});
        press(window(0), QKeySequence(Qt::CTRL | Qt::Key_S));
    }
    const QString report = takeReport("saveFailureMessage", QStringLiteral("Map"));
    EXPECT_EQ(report.count(QStringLiteral("could not be saved")), 1) << report.toStdString();
    EXPECT_TRUE(report.contains(caches) && report.contains(dir.path())) << report.toStdString();
}

TEST_F(DocumentWindowsTest, FilesThatCannotBeReadOrWrittenAreReportedAndNothingIsLost)
{
    const std::string map = path("Map.radovudo");
    auto original = DocumentFactory::makeUntitledDocument();
    addNode(*original, "Root");
    ASSERT_TRUE(original->writeToURL(map, "io.kelvarn.velquine.mindmap", nullptr));
    std::ofstream(path("Damaged.radovudo")) << "PK\x03\x04 not really a zip";
    std::ofstream(path("Notes.txt")) << "bad \xff\xfe text";
    delegate.openDocuments({map, path("Damaged.radovudo"), path("Notes.txt")});
    ASSERT_EQ(delegate.documentWindows().size(), 1u);
    EXPECT_TRUE(takeReport("openFailureMessage", QStringLiteral("Damaged"), QStringLiteral("document-open-error"))
                    .startsWith(QStringLiteral("The document “Damaged.radovudo” could not be opened.|")));
    const QString unreadable = takeReport("openFailureMessage", QStringLiteral("Notes"));
    EXPECT_TRUE(unreadable.startsWith(QStringLiteral("The document “Notes.txt” could not be opened.|"))) << unreadable.toStdString();
    EXPECT_GT(unreadable.size(), 50);
    EXPECT_EQ(window(0)->windowTitle(), QStringLiteral("Map.radovudo"));

    // Saving into a folder that cannot be written: the cause is shown, the map stays changed, the file as it was.
    controller().setAutosaveDelay(std::chrono::hours(1));
    VQDocument& document = *window(0)->document();
    addNode(document, "Unsaved");
    const std::string before = fileBytes(map);
    {
        ReadOnlyFolder readOnly(dir.path());
        press(window(0), QKeySequence(Qt::CTRL | Qt::Key_S));
    }
    const QString report = takeReport("saveFailureMessage", QStringLiteral("Map"), QStringLiteral("document-save-error"));
    EXPECT_EQ(report.toStdString(),
              "The document “Map.radovudo” could not be saved.|Can not create zip file at: " + map + "\nPermission denied");
    EXPECT_TRUE(document.isDocumentEdited());
    EXPECT_EQ(window(0)->windowTitle(), QStringLiteral("Map.radovudo*"));
    EXPECT_EQ(fileBytes(map), before);

    // Another program replaced the file: the save asks, and No keeps theirs.
    QTest::qWait(20); // fixed: the clock moves on, so the file's new modification time differs from the saved one
    std::ofstream(map, std::ios::app) << "theirs";
    const std::string theirs = fileBytes(map);
    press(window(0), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(dialogs->asked, QStringList{QStringLiteral("overwrite? Map.radovudo")});
    EXPECT_EQ(fileBytes(map), theirs);
    dialogs->overwrite = true;
    press(window(0), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(nodesInFile(map), 2u);
    EXPECT_FALSE(document.isDocumentEdited());
}

// Quitting while a map's folder can only be read: its save error is shown and read first, and only then does
// Save / Don't Save / Cancel ask what to do with the map.
TEST_F(DocumentWindowsTest, QuittingWithAMapThatCannotBeSavedShowsTheErrorBeforeTheQuestion)
{
    const std::string map = path("Map.radovudo");
    ASSERT_NO_FATAL_FAILURE(openMapWithAnUnsavedNode(map));

    // The user reads every report that comes up, and closes it.
    QTimer reader;
    QObject::connect(&reader, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(widget);
                box && box->objectName() == QLatin1String("saveFailureMessage") && box->isVisible()) {
                dialogs->asked << QStringLiteral("read ") + box->text();
                box->close();
            }
    });
    reader.start(20);
    dialogs->answers = {SaveChangesAnswer::cancel};
    {
        ReadOnlyFolder readOnly(dir.path());
        EXPECT_FALSE(controller().terminate());
    }
    EXPECT_EQ(dialogs->asked.join(QStringLiteral(" | ")).toStdString(),
              "read The document “Map.radovudo” could not be saved. | quit? Map.radovudo");
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(window(0)->document()->isDocumentEdited());
}

TEST_F(DocumentWindowsTest, AFileThatCannotBeReadOrHoldsNoOutlineIsRefusedWithTheReason)
{
    const std::string map = path("Private.radovudo");
    auto original = DocumentFactory::makeUntitledDocument();
    addNode(*original, "Root");
    ASSERT_TRUE(original->writeToURL(map, "io.kelvarn.velquine.mindmap", nullptr));
    QImage(8, 8, QImage::Format_RGB32).save(QString::fromStdString(path("photo.png")));
    std::ofstream(path("broken.opml")) << "<?xml version=\"1.0\"?><opml version=\"2.0\"><body><outline text=\"A";
    std::ofstream(path("empty.opml")) << "<?xml version=\"1.0\"?>\n<opml version=\"2.0\"><head/><body/></opml>\n";

    // A map the user may not read: the reason, not a guess at what it is.
    {
        UnreadableFile unreadable(map);
        EXPECT_FALSE(controller().openDocumentWithContentsOfURL(map));
    }
    const QString denied = takeReport("openFailureMessage", QStringLiteral("Private"), QStringLiteral("document-open-denied"));
    EXPECT_EQ(denied, QStringLiteral("The document “Private.radovudo” could not be opened.|"
                                     "The file couldn't be read: Permission denied."));

    // A picture, an outline damaged before its first outline and one without any picked in the open panel:
    // refused, no window, nothing in Open Recent. Only the damaged one is called damaged, and where.
    dialogs->openPaths = {path("photo.png"), path("broken.opml"), path("empty.opml")};
    ActionDispatcher chain;
    ASSERT_TRUE(chain.sendAction("openDocument:"));
    const QString picture = takeReport("openFailureMessage", QStringLiteral("photo"), QStringLiteral("document-open-picture"));
    EXPECT_EQ(picture.section(u'|', 1).toStdString(), VQDocumentFiles::unknownKindMessage);
    const QString opml = takeReport("openFailureMessage", QStringLiteral("broken"));
    EXPECT_TRUE(opml.section(u'|', 1).startsWith(QStringLiteral("The file is damaged: it stops being well-formed OPML at line 1, column ")))
        << opml.toStdString();
    const QString empty = takeReport("openFailureMessage", QStringLiteral("empty"));
    EXPECT_EQ(empty.section(u'|', 1).toStdString(), VQDocumentFiles::noOPMLOutlineMessage);
    EXPECT_FALSE(empty.contains(QStringLiteral("damage"))) << empty.toStdString();
    EXPECT_TRUE(delegate.documentWindows().empty());
    EXPECT_TRUE(RecentDocuments::paths().empty());
    EXPECT_EQ(quits, 0);

    // The readable map still opens.
    EXPECT_TRUE(controller().openDocumentWithContentsOfURL(map));
    EXPECT_EQ(delegate.documentWindows().size(), 1u);
}

TEST_F(DocumentWindowsTest, AnOutlineCutShortOpensWhatCameBeforeAndSaysWhereItBroke)
{
    // Two outlines, the second left open where the file ends.
    std::ofstream(path("cut.opml")) << "<?xml version=\"1.0\"?>\n<opml version=\"2.0\">\n<head><title>Trip</title></head>\n"
                                       "<body>\n<outline text=\"Pack\"><outline text=\"Tent\"/></outline>\n"
                                       "<outline text=\"Travel\">\n  <outline text=\"Train\">\n";
    dialogs->openPaths = {path("cut.opml")};
    ActionDispatcher chain;
    ASSERT_TRUE(chain.sendAction("openDocument:"));
    ASSERT_EQ(delegate.documentWindows().size(), 1u);
    const VQDocument& document = *window(0)->document();
    EXPECT_EQ(document.project().graph.count(), 4u);
    EXPECT_EQ(document.project().title, "Trip");
    const QString report = takeReport("partlyReadMessage", QStringLiteral("cut.opml"), QStringLiteral("document-open-cut-outline"));
    EXPECT_EQ(report.section(u'|', 0, 0).toStdString(), "Part of the file “cut.opml” could not be read.");
    EXPECT_TRUE(report.section(u'|', 1).startsWith(QStringLiteral("It stops being well-formed OPML at line 8, column ")))
        << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("Only the outline before that point was read"))) << report.toStdString();
}

TEST_F(DocumentWindowsTest, CtrlQOnTheReportOfAPartlyReadFileQuitsAsTheQuitCommandDoes)
{
    // A new map with a node, then an outline cut short, whose report stays up over its window.
    delegate.newDocument();
    addNode(*window(0)->document(), "Draft");
    std::ofstream(path("cut.opml")) << "<?xml version=\"1.0\"?>\n<opml version=\"2.0\"><body>\n"
                                       "<outline text=\"Pack\"><outline text=\"Tent\"/>\n";
    ASSERT_TRUE(controller().openDocumentWithContentsOfURL(path("cut.opml")));
    QPointer<QMessageBox> report;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("partlyReadMessage") && widget->isVisible())
            report = qobject_cast<QMessageBox*>(widget);
    ASSERT_TRUE(report);
    report->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(report));

    // The questions of a quit come as they do elsewhere: Cancel keeps every window, and the report.
    dialogs->answers = {SaveChangesAnswer::cancel};
    QTest::keySequence(report, QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EVENTUALLY_EQ(dialogs->asked, QStringList{QStringLiteral("quit? Untitled")});
    EXPECT_EQ(quits, 0);
    EXPECT_EQ(delegate.documentWindows().size(), 2u);
    ASSERT_TRUE(report && report->isVisible());

    // Don't Save: the windows close and the program ends. The outline just opened has nothing to ask about.
    dialogs->answers = {SaveChangesAnswer::dontSave, SaveChangesAnswer::dontSave};
    QTest::keySequence(report, QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EVENTUALLY_EQ(quits, 1);
    EXPECT_TRUE(delegate.documentWindows().empty());
    EXPECT_FALSE(report);
    EXPECT_EQ(dialogs->asked.join(u',').toStdString(), "quit? Untitled,quit? Untitled");
}

TEST_F(DocumentWindowsTest, CtrlQOnTheReportOfAPictureTheInspectorRefusesQuitsAsTheQuitCommandDoes)
{
    // An unsaved map in an editor window, its node's content in the inspector.
    useEditorWindows();
    delegate.newDocument();
    auto* editor = static_cast<MindMapEditorWindowController*>(delegate.documentWindows().at(0));
    addNode(*editor->document(), "Draft");
    ActionDispatcher& commands = editor->windowActions()->dispatcher();
    ASSERT_TRUE(commands.sendAction("selectAll:"));
    ActionItem content{"switchSidebarInspector:", ActionItemKind::menuItem, "Content", 1};
    ASSERT_TRUE(commands.sendAction("switchSidebarInspector:", &content));
    auto* bar = static_cast<InspectorBarController*>(editor->contentViewController()->inspectorBarController());
    auto* pane = static_cast<NodeContentInspector*>(bar->nodeContentInspector());
    ASSERT_TRUE(pane->imageBrowseButton()->isEnabled());

    // A picture of 50,000 × 50,000 pixels chosen for it: the report that it is too large stays up.
    QFile huge(dir.filePath(QStringLiteral("huge.png")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write(test::pngOfSize(50000, 50000));
    huge.close();
    const OpenPanel::Handler previous = OpenPanel::setHandler(
        [&huge](QWidget*, const QString&, const QString&, const QString&) { return huge.fileName(); });
    QTest::mouseClick(pane->imageBrowseButton(), Qt::LeftButton);
    OpenPanel::setHandler(previous);
    expectCtrlQQuitsFrom("imageTooLargeMessage");
}

TEST_F(DocumentWindowsTest, CtrlQOnTheUpdatersReportQuitsAsTheQuitCommandDoes)
{
    // Check for Updates with the window of an unsaved map active: its report stays up over the window.
    delegate.newDocument();
    addNode(*window(0)->document(), "Draft");
    window(0)->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window(0)));
    ASSERT_TRUE(ActionDispatcher().sendAction("checkUpdates:"));
    expectCtrlQQuitsFrom("updaterMessage");
}

TEST_F(DocumentWindowsTest, FirstSaveAndAddPhotoStartInTheDesktopsDocumentsAndPicturesFolders)
{
    // A fresh account whose desktop keeps documents and pictures in folders of their own.
    const QString home = QDir::homePath();
    QDir(home).mkpath(QStringLiteral("Documents"));
    QDir(home).mkpath(QStringLiteral("Pictures"));
    QDir(dir.path()).mkpath(QStringLiteral("photos"));
    QImage(8, 8, QImage::Format_RGB32).save(dir.filePath(QStringLiteral("photos/leaf.png")));
    useEditorWindows();
    delegate.documents().setDialogs(std::make_unique<DocumentDialogs>());
    delegate.newDocument();
    auto* editor = static_cast<MindMapEditorWindowController*>(delegate.documentWindows().at(0));

    answerPanel(QString(), QStringLiteral("document-first-save-panel"));
    press(editor, QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(shownFolders.value(0), home + QStringLiteral("/Documents"));

    // Add Photo starts among the pictures until a picture is taken from elsewhere, then there.
    ActionDispatcher& commands = editor->windowActions()->dispatcher();
    answerPanel(dir.filePath(QStringLiteral("photos/leaf.png")));
    ASSERT_TRUE(commands.sendAction("pickPhoto:"));
    EXPECT_EQ(shownFolders.value(1), home + QStringLiteral("/Pictures"));
    answerPanel(QString());
    commands.sendAction("pickPhoto:");
    EXPECT_EQ(shownFolders.value(2), dir.filePath(QStringLiteral("photos")));
    // Saving still starts among the documents.
    answerPanel(QString());
    press(editor, QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(shownFolders.value(3), home + QStringLiteral("/Documents"));
}

TEST_F(DocumentWindowsTest, EveryWindowOpensWhollyOnTheScreensAvailableArea)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "the work area is the X server's";
    // A small screen, whose panels leave 1000 × 700 pixels from (40, 30): less than an editor window wants.
    const QRect area(40, 30, 1000, 700);
    std::optional<WorkArea> workArea(std::in_place, area);
    useEditorWindows();
    for (int i = 0; i < 2; ++i)
        delegate.newDocument();
    ActionDispatcher chain;
    ASSERT_TRUE(chain.sendAction("showPreferencesPanel:"));
    ASSERT_TRUE(chain.sendAction("showCheatSheet:"));
    std::vector<QWidget*> windows = delegate.documentWindows();
    PreferencesPanelController* preferences = delegate.preferencesPanelController();
    windows.push_back(preferences);
    windows.push_back(delegate.cheatSheetController()->window());
    for (QWidget* window : windows) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_TRUE(area.contains(window->frameGeometry())) << window->windowTitle().toStdString() << " "
                                                              << window->frameGeometry().x() << "," << window->frameGeometry().y()
                                                              << " " << window->frameGeometry().width() << "x"
                                                              << window->frameGeometry().height();
    }
    // The editor windows are shrunk to the area.
    EXPECT_EQ(windows[0]->size(), area.size());
    // The taller Help pane moves the preferences up rather than past the bottom of the area.
    preferences->move(area.left() + 100, area.bottom() - preferences->frameGeometry().height() + 1);
    preferences->showHelpPanel();
    EXPECT_EVENTUALLY(!preferences->findChild<QPropertyAnimation*>());
    EXPECT_EQ(preferences->currentPane(), static_cast<QWidget*>(preferences->helpPane()));
    // The window's frame follows its move as the X server reports it back, later on a loaded machine.
    EXPECT_EVENTUALLY(area.contains(preferences->frameGeometry()));
    QGuiApplication::primaryScreen()->grabWindow(0).copy(QRect(0, 0, 1100, 760)).save(
        QStringLiteral(VELQUINE_ARTEFACTS_DIR "/windows-on-a-small-screen.png"));

    // On a larger area new windows keep their size and cascade from the last one, back to the corner when the
    // next step would leave the area.
    const QRect larger(40, 30, 1300, 900);
    workArea.reset();
    workArea.emplace(larger);
    QPoint expected = windows[1]->pos();
    for (int i = 0; i < 4; ++i) {
        delegate.newDocument();
        QWidget* window = delegate.documentWindows().back();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        expected = i < 3 ? expected + QPoint(28, 28) : larger.topLeft();
        EXPECT_EQ(window->frameGeometry(), QRect(expected, QSize(1200, 800))) << i;
    }
}

TEST_F(DocumentWindowsTest, HelpAddressesThatNoProgramTakesAreReported)
{
    // The desktop's opener is there but finds no browser: F1 says so.
    QTemporaryDir bin;
    const QString opener = bin.filePath(QStringLiteral("xdg-open"));
    std::ofstream(opener.toStdString()) << "#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n";
    ::chmod(opener.toLocal8Bit().constData(), 0755);
    const QByteArray previousPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit());
    delegate.openDocuments({});
    press(window(0), QKeySequence(QKeySequence::HelpContents));
    const auto report = [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QLatin1String("openAddressFailureMessage") && widget->isVisible())
                return qobject_cast<QMessageBox*>(widget);
        return static_cast<QMessageBox*>(nullptr);
    };
    EXPECT_EVENTUALLY(report());
    if (QMessageBox* box = report()) {
        test::saveScreenshot(box, QStringLiteral("help-no-browser"));
        EXPECT_EQ(box->text(), QStringLiteral("The web page could not be opened."));
        EXPECT_TRUE(box->informativeText().startsWith(
            QStringLiteral("No web browser is set up on this computer to open https://velquine.kelvarn.io/manual/.")));
        EXPECT_TRUE(box->informativeText().contains(QStringLiteral("no method available"))) << box->informativeText().toStdString();
        box->close();
    }

    // No opener at all, and no mail program: Contact Support says where to write instead.
    std::remove(opener.toLocal8Bit().constData());
    ActionDispatcher chain;
    ASSERT_TRUE(chain.sendAction("contactSupport:"));
    EXPECT_EVENTUALLY(report());
    if (QMessageBox* box = report()) {
        EXPECT_EQ(box->text(), QStringLiteral("The support mail could not be started."));
        EXPECT_TRUE(box->informativeText().contains(QStringLiteral("support@kelvarn.io")));
        box->close();
    }
    qputenv("PATH", previousPath);
}

TEST_F(DocumentWindowsTest, SavePanelsStartBesideTheMapOrWhereTheLastWasUsedAndWindowsKeepTheirFrame)
{
    QDir(dir.path()).mkpath(QStringLiteral("maps"));
    QDir(dir.path()).mkpath(QStringLiteral("elsewhere"));
    const std::string map = path("maps/Map.radovudo");
    ASSERT_TRUE(DocumentFactory::makeUntitledDocument()->writeToURL(map, "io.kelvarn.velquine.mindmap", nullptr));
    settings.defaults().set(std::string(FileDialogFolders::lastUsedKey), path("elsewhere"));

    // The real panels: each answer notes the folder the panel shows, then saves under the name or cancels.
    delegate.documents().setDialogs(std::make_unique<DocumentDialogs>());
    delegate.openDocuments({map});
    answerPanel(QStringLiteral("Copy.radovudo"), QStringLiteral("document-save-as-panel"));
    press(window(0), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EXPECT_EQ(shownFolders.value(0), QString::fromStdString(path("maps")));
    EXPECT_EQ(nodesInFile(path("maps/Copy.radovudo")), 0u);

    delegate.newDocument();
    answerPanel(QString(), QString());
    press(window(1), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(shownFolders.value(1), QString::fromStdString(path("maps"))); // where the last save went
    EXPECT_EQ(delegate.documentWindows().size(), 2u);

    // The map's window opens again where and as large as it was when it closed.
    const QRect frame(140, 120, 700, 500);
    window(0)->setGeometry(frame);
    EXPECT_EVENTUALLY_EQ(window(0)->geometry(), frame);
    press(window(0), QKeySequence(Qt::CTRL | Qt::Key_W));
    EXPECT_EVENTUALLY_EQ(delegate.documentWindows().size(), 1u);
    EXPECT_TRUE(settings.defaults().stringForKey(std::string(WindowFrames::settingsKey)));
    delegate.openDocuments({path("maps/Copy.radovudo")});
    ASSERT_EQ(delegate.documentWindows().size(), 2u);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window(1)));
    EXPECT_EQ(window(1)->geometry(), frame);
    EXPECT_EQ(window(0)->geometry().size(), QSize(1024, 720)); // the untitled one as any new window
}

TEST_F(DocumentWindowsTest, AnyWindowCanHostADocumentAndClosingItAsksFirst)
{
    delegate.documents().setWindowMaker([](const std::shared_ptr<VQDocument>&, const QString& title, DocumentWindows&) {
        auto* window = new QWidget;
        window->setWindowTitle(title);
        return window;
    });
    delegate.newDocument();
    QPointer<QWidget> host = delegate.documentWindows().at(0);
    addNode(static_cast<VQDocument&>(*controller().documents().at(0)), "Hosted");
    EXPECT_EQ(host->windowTitle(), QStringLiteral("Untitled*"));
    dialogs->answers = {SaveChangesAnswer::cancel, SaveChangesAnswer::dontSave};
    host->close();
    EXPECT_TRUE(host->isVisible());
    host->close();
    EXPECT_EVENTUALLY(!host);
    EXPECT_TRUE(controller().documents().empty());
    EXPECT_EQ(quits, 1);
}

TEST_F(DocumentWindowsTest, PrintingGoesThroughThePrintPanelAndAFailureIsReported)
{
    delegate.openDocuments({});
    addNode(*window(0)->document(), "Printed");
    const auto previous = GraphRenderer::installed();
    GraphRenderer::install(nullptr);
    dialogs->printTo = QString::fromStdString(path("none.pdf"));
    ASSERT_TRUE(window(0)->windowActions()->dispatcher().sendAction("printDocument:"));
    EXPECT_EQ(takeReport("printFailureMessage", QStringLiteral("Untitled")),
              QStringLiteral("The document “Untitled” could not be printed.|"));

    GraphRenderer::install(std::make_shared<BlackRenderer>());
    dialogs->printTo = QString::fromStdString(path("map.pdf"));
    window(0)->windowActions()->dispatcher().sendAction("printDocument:");
    GraphRenderer::install(previous);
    EXPECT_TRUE(fileBytes(path("map.pdf")).starts_with("%PDF"));
    EXPECT_TRUE(window(0)->document()->isDocumentEdited()); // printing changes nothing
}

TEST_F(DocumentWindowsTest, PageSetupChoosesThePaperThatPrintingThenUses)
{
    delegate.openDocuments({});
    addNode(*window(0)->document(), "Printed");
    const auto previous = GraphRenderer::installed();
    GraphRenderer::install(std::make_shared<BlackRenderer>());
    dialogs->printTo = QString::fromStdString(path("a3.pdf"));

    // Cancelled: the paper stays as it was.
    const QPageSize::PageSizeId initial = window(0)->document()->printInfo.pageSize().id();
    ASSERT_TRUE(window(0)->windowActions()->dispatcher().sendAction("runPageLayout:"));
    EXPECT_EQ(window(0)->document()->printInfo.pageSize().id(), initial);

    dialogs->pageSetupPaper = QPageSize::A3;
    window(0)->windowActions()->dispatcher().sendAction("runPageLayout:");
    EXPECT_EQ(dialogs->asked.size(), 2);
    EXPECT_EQ(dialogs->asked.last(), QStringLiteral("page setup ") + QPageSize(initial).name());
    window(0)->windowActions()->dispatcher().sendAction("printDocument:");
    EXPECT_EQ(dialogs->printPanelPaper, QPageSize::A3);
    GraphRenderer::install(previous);
    // The map still fills one landscape page, now of A3 paper.
    EXPECT_EQ(window(0)->document()->printInfo.pageSize().id(), QPageSize::A3);
    EXPECT_EQ(window(0)->document()->printInfo.orientation(), QPageLayout::Landscape);
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {QString::fromStdString(path("a3.pdf"))});
    info.waitForFinished(30000);
    const QString text = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QStringLiteral("1191 x 842 pts (A3)"))) << text.toStdString();
}

TEST(DocumentDialogs, TheQuestionOffersSaveDontSaveAndCancelAndThePanelsFilterByFileType)
{
    EXPECT_EQ(DocumentDialogs::savePanelFilter(), QStringLiteral("Velquine maps (*.radovudo)"));
    EXPECT_TRUE(DocumentDialogs::openPanelFilter().startsWith(QStringLiteral("Maps and outlines (*.radovudo *.txt *.md")));
    DocumentDialogs dialogs;
    for (const auto& [button, answer] : {std::pair{QStringLiteral("Don't Save"), SaveChangesAnswer::dontSave},
                                         std::pair{QStringLiteral("Cancel"), SaveChangesAnswer::cancel},
                                         std::pair{QStringLiteral("Save"), SaveChangesAnswer::save}}) {
        QTimer::singleShot(100, [button] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (widget->objectName() == QLatin1String("saveChangesQuestion") && widget->isVisible()) {
                    test::saveScreenshot(widget, QStringLiteral("document-save-changes-question"));
                    for (QAbstractButton* candidate : static_cast<QMessageBox*>(widget)->buttons())
                        if (candidate->text().remove(u'&') == button)
                            candidate->click();
                }
        });
        EXPECT_EQ(dialogs.askToSaveChanges(nullptr, QStringLiteral("Plan"), true), answer) << button.toStdString();
    }
}
