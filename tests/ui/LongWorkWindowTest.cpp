// Long opens, saves and commands in real editor windows: the file is read or written (or thousands of pasted
// nodes parted) on a worker while the windows repaint, the wait cursor shows and, after a second, the progress
// window; an automatic save leaves the window to the user, a save asked for meanwhile waits for it instead of
// writing beside it, a failure on the worker is reported, and a title being typed keeps the window's edited mark
// through an automatic save.
//
// The documents here write through a gate the test opens, so that each write takes as long as the test needs.

#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>

#include "app/DocumentCommands.h"
#include "app/DocumentWindows.h"
#include "canvas/CanvasRenderer.h"
#include "canvas/GraphView.h"
#include "canvas/NodeTitleEditor.h"
#include "document/DocumentFactory.h"
#include "document/FileTypes.h"
#include "document/VQDocument.h"
#include "editor/MindMapEditorWindowController.h"
#include "editor/EditorPanes.h"
#include "exportui/ExportWindowController.h"
#include "ExportWindowSupport.h"
#include "kit/ProgressWindow.h"
#include "OpenedMapWindow.h"
#include "platform/UndoManager.h"
#include "platform/LongWork.h"
#include "platform/Pasteboard.h"
#include "platform/RunLoop.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

// Holds the writes (and reads) that pass it until it is opened, at most 10 s; counts them.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = true;
    // Writes let through one by one while shut.
    int permits = 0;
    std::atomic<int> running = 0;
    std::atomic<int> mostAtOnce = 0;
    std::atomic<int> passed = 0;
    // The reason the next writes fail with, when set.
    std::optional<std::string> failure;

    void close()
    {
        std::lock_guard lock(mutex);
        open = false;
    }
    void release()
    {
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        opened.notify_all();
    }
    void letOneThrough()
    {
        {
            std::lock_guard lock(mutex);
            ++permits;
        }
        opened.notify_all();
    }
    void pass()
    {
        const int now = ++running;
        int most = mostAtOnce;
        while (now > most && !mostAtOnce.compare_exchange_weak(most, now)) {
        }
        std::unique_lock lock(mutex);
        opened.wait_for(lock, std::chrono::seconds(10), [this] { return open || permits > 0; });
        if (!open && permits > 0)
            --permits;
        lock.unlock();
        --running;
        ++passed;
    }
};

struct GatedWrite : DocumentWrite {
    std::unique_ptr<DocumentWrite> inner;
    Gate& gate;
    GatedWrite(std::unique_ptr<DocumentWrite> write, Gate& g) : inner(std::move(write)), gate(g) {}
    bool run(std::optional<std::string>* error, std::string* detail) override
    {
        gate.pass();
        if (gate.failure) {
            *error = *gate.failure;
            return false;
        }
        return inner->run(error, detail);
    }
    void finish(bool written) override { inner->finish(written); }
};

struct GatedDocument : VQDocument {
    Gate& gate;
    explicit GatedDocument(Gate& g) : gate(g) {}
    std::unique_ptr<DocumentWrite> makeWrite(const std::string& url, const std::string& typeName, WriteContent content,
                                             std::optional<std::string>* error) override
    {
        std::unique_ptr<DocumentWrite> write = VQDocument::makeWrite(url, typeName, content, error);
        return write ? std::make_unique<GatedWrite>(std::move(write), gate) : nullptr;
    }
};

// The program's windows over gated documents; an open passes the gate too (on the worker that reads).
struct GatedWindows : DocumentWindows {
    Gate gate;
    std::shared_ptr<Document> makeUntitledDocument() override
    {
        auto document = std::make_shared<GatedDocument>(gate);
        DocumentFactory::applyNewDocumentDefaults(*document);
        return document;
    }
    std::shared_ptr<Document> makeDocument(const std::string& path) override
    {
        gate.pass();
        auto document = std::make_shared<GatedDocument>(gate);
        const std::string type = FileTypes::typeNameForFile(path);
        document->setFileURL(path);
        document->setFileType(type);
        document->read(path, type);
        return document;
    }
};

void addNode(VQDocument& document, const std::string& title)
{
    document.beginEditingSession("New Root Node");
    document.createRootNode(title, Point{double(document.project().graph.count()) * 200, 0}, true);
    document.commitEditingSession();
}

std::optional<Qt::CursorShape> overrideShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? std::optional(cursor->shape()) : std::nullopt;
}

// Counts the paint events of a window and its widgets.
struct PaintCount : QObject {
    QWidget* window;
    int count = 0;
    explicit PaintCount(QWidget* w) : window(w) { qApp->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            if (auto* widget = qobject_cast<QWidget*>(watched); widget && (widget == window || window->isAncestorOf(widget)))
                ++count;
        return false;
    }
};

// What the test sees every 20 ms while a wait runs: the cursor, the progress window and the windows' repaints;
// it asks the window to repaint each time, and opens the gate once the progress window has shown.
struct Watch {
    QTimer timer;
    std::set<Qt::CursorShape> cursors;
    bool progressShown = false;
    int ticksShown = 0;
    int paintsWhileShut = 0;
    Watch(Gate& gate, QWidget* window, PaintCount& paints, const QString& screenshot = {})
    {
        QObject::connect(&timer, &QTimer::timeout, [&, window, screenshot] {
            if (gate.running == 0)
                return;
            if (const auto shape = overrideShape())
                cursors.insert(*shape);
            paintsWhileShut = paints.count;
            window->update();
            if (ProgressWindow::shownWindow())
                progressShown = true;
            // A few turns after the progress window showed, it is on the screen.
            if (progressShown && ++ticksShown == 5 && !screenshot.isEmpty()) {
                // The whole screen: the progress window is a window of its own, over the map's.
                QDir().mkpath(QStringLiteral(VELQUINE_ARTEFACTS_DIR));
                QGuiApplication::primaryScreen()->grabWindow(0).save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/")
                                                                     + screenshot + QStringLiteral(".png"));
            }
            if (ticksShown >= 5 && paintsWhileShut > 3)
                gate.release();
        });
        timer.start(20);
    }
};

struct LongWorkWindowTest : ::testing::Test {
    ScopedStandardUserDefaults settings;
    QTemporaryDir dir;
    GatedWindows windows;

    LongWorkWindowTest()
    {
        ProgressWindow::install();
        windows.setWindowMaker([](const std::shared_ptr<VQDocument>& document, const QString& title, DocumentWindows& w) {
            return new MindMapEditorWindowController(document, title, std::make_unique<DocumentCommands>(document, w));
        });
        windows.controller().setAutosaveDelay(std::chrono::milliseconds(20));
    }
    ~LongWorkWindowTest() override { windows.gate.release(); }
    DocumentController& controller() { return windows.controller(); }
    std::string path(const char* name) const { return dir.filePath(QString::fromUtf8(name)).toStdString(); }
    // A saved map of the titles, open in its editor window.
    VQDocument& openMap(const char* name, const std::vector<std::string>& titles)
    {
        GatedDocument made(windows.gate);
        for (const std::string& title : titles)
            addNode(made, title);
        std::optional<std::string> error;
        EXPECT_TRUE(made.writeToURL(path(name), std::string(VQDocument::documentType), &error)) << error.value_or("");
        auto document = std::static_pointer_cast<VQDocument>(controller().openDocumentWithContentsOfURL(path(name)));
        EXPECT_TRUE(document);
        return *document;
    }
    static std::vector<std::string> titlesInFile(const std::string& file)
    {
        std::vector<std::string> titles;
        const auto read = DocumentFactory::makeDocumentForURL(file, std::string(VQDocument::documentType));
        for (const auto& [uid, node] : read->project().graph.nodeBin())
            titles.push_back(node.title);
        return titles;
    }
    QString reportText(const char* objectName)
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QLatin1String(objectName) && widget->isVisible())
                return static_cast<QMessageBox*>(widget)->informativeText();
        return {};
    }
};

} // namespace

TEST_F(LongWorkWindowTest, AnOpenThatTakesLongShowsTheWaitCursorAndProgressWhileTheWindowsRepaint)
{
    VQDocument& first = openMap("First.radovudo", {"One"});
    QWidget* window = windows.windowFor(first);
    ASSERT_TRUE(window);
    GatedDocument made(windows.gate);
    addNode(made, "Big");
    std::optional<std::string> error;
    ASSERT_TRUE(made.writeToURL(path("Big.radovudo"), std::string(VQDocument::documentType), &error));

    PaintCount paints(window);
    windows.gate.close();
    Watch watch(windows.gate, window, paints, QStringLiteral("long-open-progress"));
    const std::shared_ptr<Document> opened = controller().openDocumentWithContentsOfURL(path("Big.radovudo"));
    ASSERT_TRUE(opened);
    EXPECT_TRUE(watch.progressShown);
    EXPECT_EQ(watch.cursors, std::set<Qt::CursorShape>{Qt::WaitCursor});
    EXPECT_GT(watch.paintsWhileShut, 3) << "the window did not repaint while the file was read";
    // Done: the map's window is there, the cursor and the progress window are gone.
    EXPECT_TRUE(windows.windowFor(*opened));
    EXPECT_FALSE(overrideShape());
    EXPECT_FALSE(ProgressWindow::shownWindow());
}

TEST_F(LongWorkWindowTest, AnAutomaticSaveLeavesTheWindowToTheUserAndASaveAskedMeanwhileWaitsForIt)
{
    VQDocument& document = openMap("Plan.radovudo", {"Root"});
    auto* window = static_cast<MindMapEditorWindowController*>(windows.windowFor(document));
    PaintCount paints(window);
    windows.gate.close();
    addNode(document, "Saved automatically");
    // The automatic save writes on a worker: the window goes on repainting and taking edits meanwhile.
    EXPECT_EVENTUALLY(windows.gate.running == 1);
    EXPECT_TRUE(controller().isWriting(document));
    const int before = paints.count;
    window->update();
    EXPECT_EVENTUALLY(paints.count > before);
    EXPECT_FALSE(overrideShape());
    addNode(document, "Made meanwhile");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Plan.radovudo*"));

    // Ctrl+S now: the save waits for the one under way, with the wait cursor, and writes after it.
    Watch watch(windows.gate, window, paints);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keySequence(window, QKeySequence::Save);
    EXPECT_EVENTUALLY(!controller().isWriting(document) && windows.gate.passed >= 2);
    EXPECT_EQ(windows.gate.mostAtOnce, 1) << "two writes of the map ran at once";
    EXPECT_TRUE(watch.cursors.contains(Qt::WaitCursor));
    EXPECT_EQ(titlesInFile(path("Plan.radovudo")),
              (std::vector<std::string>{"Root", "Saved automatically", "Made meanwhile"}));
    EXPECT_FALSE(document.isDocumentEdited());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Plan.radovudo"));
}

// An automatic save that came due while one was writing follows it; the saves of the program's quiet end (a
// termination signal) wait for both instead of writing beside the second.
TEST_F(LongWorkWindowTest, TheQuietEndWaitsForTheAutomaticSaveThatFollowsTheOneUnderWay)
{
    VQDocument& document = openMap("Plan.radovudo", {"Root"});
    const int passedBefore = windows.gate.passed;
    windows.gate.close();
    addNode(document, "Saved automatically");
    EXPECT_EVENTUALLY(windows.gate.running == 1);
    addNode(document, "Saved next");
    // The next automatic save comes due while the first is held (a follow-up is asked for then).
    QTest::qWait(int(controller().autosaveDelay().count()) * 5);
    // The held writes pass one at a time, one every 100 ms, while the end waits.
    QTimer passes;
    QObject::connect(&passes, &QTimer::timeout, [&] { windows.gate.letOneThrough(); });
    passes.start(100);
    controller().endQuietly();
    passes.stop();
    windows.gate.release();
    EXPECT_FALSE(controller().isWriting(document));
    EXPECT_EQ(windows.gate.mostAtOnce, 1) << "two writes of the map ran at once";
    // The two automatic saves: the second leaves nothing for the end to write.
    EXPECT_EQ(windows.gate.passed - passedBefore, 2);
    EXPECT_FALSE(document.isDocumentEdited());
    EXPECT_EQ(titlesInFile(path("Plan.radovudo")), (std::vector<std::string>{"Root", "Saved automatically", "Saved next"}));
}

TEST_F(LongWorkWindowTest, AnAutomaticSaveThatFailsOnTheWorkerIsReportedAndTheMapStaysEdited)
{
    VQDocument& document = openMap("Plan.radovudo", {"Root"});
    windows.gate.failure = "No space left on device";
    addNode(document, "Not saved");
    EXPECT_EVENTUALLY(reportText("saveFailureMessage").contains(QStringLiteral("No space left on device")));
    EXPECT_TRUE(document.isDocumentEdited());
    EXPECT_EQ(windows.windowFor(document)->windowTitle(), QStringLiteral("Plan.radovudo*"));
    EXPECT_EQ(titlesInFile(path("Plan.radovudo")), std::vector<std::string>{"Root"});
}

TEST_F(LongWorkWindowTest, ATitleBeingTypedKeepsTheEditedMarkThroughAnAutomaticSave)
{
    VQDocument& document = openMap("Plan.radovudo", {"Root"});
    auto* window = static_cast<MindMapEditorWindowController*>(windows.windowFor(document));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    auto* canvas = window->findChild<GraphView*>();
    ASSERT_TRUE(canvas);
    // An edit committed: its automatic save starts, and is held while a new child's title is typed.
    windows.gate.close();
    addNode(document, "Committed");
    EXPECT_EVENTUALLY(windows.gate.running == 1);
    canvas->setFocus();
    QTest::keyClick(canvas, Qt::Key_Home);
    RunLoop::drain();
    QTest::keyClick(canvas, Qt::Key_Tab);
    RunLoop::drain();
    ASSERT_TRUE(window->findChild<NodeTitleEditor*>());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Typed"));
    RunLoop::drain();
    ASSERT_TRUE(document.hasUncommittedChanges());
    // The save writes what was committed: the typed title is not in the file, and the mark stays.
    windows.gate.release();
    EXPECT_EVENTUALLY(!controller().isWriting(document) && !document.isDocumentEdited());
    EXPECT_EQ(titlesInFile(path("Plan.radovudo")), (std::vector<std::string>{"Root", "Committed"}));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Plan.radovudo*"));
    test::saveScreenshot(window, QStringLiteral("typing-keeps-edited-mark"));
    // Return commits the title: it is saved next, and then the mark goes.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    RunLoop::drain();
    EXPECT_EVENTUALLY(window->windowTitle() == QStringLiteral("Plan.radovudo"));
    EXPECT_EQ(titlesInFile(path("Plan.radovudo")), (std::vector<std::string>{"Root", "Committed", "Typed"}));
}

// What a window does every 10 ms while long work keeps a command of its map waiting: the cursor, its repaints,
// and a close asked for, once.
struct CommandWaitWatch {
    QWidget* window;
    PaintCount paints;
    QTimer timer;
    std::set<Qt::CursorShape> cursors;
    int ticks = 0, paintsAtFirst = 0, paintsAtLast = 0;
    explicit CommandWaitWatch(QWidget* w) : window(w), paints(w)
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (!LongWork::busy())
                return;
            if (const auto shape = overrideShape())
                cursors.insert(*shape);
            (++ticks == 1 ? paintsAtFirst : paintsAtLast) = paints.count;
            if (ticks == 1)
                window->close();
            window->update();
        });
        timer.start(10);
    }
    // The window's loop ran meanwhile, repainting it under the wait cursor, and the close was refused.
    void expectWaitedInTheLoop(const std::string& what) const
    {
        EXPECT_GT(ticks, 1) << what << ": the window's loop did not run meanwhile";
        EXPECT_EQ(cursors, std::set<Qt::CursorShape>{Qt::WaitCursor}) << what;
        EXPECT_GT(paintsAtLast, paintsAtFirst) << what << ": the window did not repaint meanwhile";
        EXPECT_TRUE(window->isVisible()) << what;
        EXPECT_FALSE(overrideShape()) << what;
    }
};

TEST_F(LongWorkWindowTest, BigCopiesAndOverlapsWorkOnAWorkerAndTheirWindowStaysUntilThen)
{
    // A laid-out tree of 2,100 nodes, ten children to a node: copied whole, and its first branch (1,100 nodes)
    // duplicated, whose copy lands on the map 50 points right and 60 down.
    registerFactoryDefaults();
    const std::string file = path("Tree.radovudo");
    {
        VQDocument made;
        made.projectForLoading() = test::makeTreeMap(2100);
        std::optional<std::string> error;
        ASSERT_TRUE(made.writeToURL(file, std::string(VQDocument::documentType), &error)) << error.value_or("");
    }
    auto document = std::static_pointer_cast<VQDocument>(controller().openDocumentWithContentsOfURL(file));
    ASSERT_TRUE(document);
    auto* window = static_cast<MindMapEditorWindowController*>(windows.windowFor(*document));
    GraphView* canvas = window->contentViewController()->editorContentViewController()->graphView();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    canvas->setFocus();

    QTest::keyClick(canvas, Qt::Key_Home);
    {
        const CommandWaitWatch watch(window);
        QTest::keyClick(canvas, Qt::Key_C, Qt::ControlModifier);
        watch.expectWaitedInTheLoop("copy");
    }
    const std::optional<std::string> text = Pasteboard::general().string(Pasteboard::stringType);
    ASSERT_TRUE(text);
    EXPECT_EQ(std::count(text->begin(), text->end(), '\n'), 2099);

    QTest::keyClick(canvas, Qt::Key_Right);
    {
        const CommandWaitWatch watch(window);
        QTest::keyClick(canvas, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        watch.expectWaitedInTheLoop("duplicate");
    }
    EXPECT_EQ(windows.windowFor(*document), window);
    EXPECT_EQ(document->project().graph.count(), 2100u + 1100u);
    EXPECT_EQ(document->undoManager()->undoActionName(), "Duplicate Nodes");
}

// While an export draws a map and writes its picture, the loop of its wait runs timers and deferred calls. One
// that closes the map's window is refused (the export works for it), a save goes ahead, and a quit waits for the
// export's end: then the map is saved and its window closed, and the document it wrote is whole.
TEST_F(LongWorkWindowTest, WhileAnExportDrawsTheMapItsWindowStaysASaveGoesAheadAndAQuitWaitsForItsEnd)
{
    registerFactoryDefaults();
    const std::shared_ptr<const GraphRenderer> previous = GraphRenderer::installed();
    CanvasRenderer::install();
    controller().setAutosaveDelay(std::chrono::hours(1));
    controller().setLongestAutosaveDelay(std::chrono::hours(1));
    const std::string file = path("Tree.radovudo");
    {
        GatedDocument made(windows.gate);
        made.projectForLoading() = test::makeTreeMap(3000);
        std::optional<std::string> error;
        ASSERT_TRUE(made.writeToURL(file, std::string(VQDocument::documentType), &error)) << error.value_or("");
    }
    auto document = std::static_pointer_cast<VQDocument>(controller().openDocumentWithContentsOfURL(file));
    ASSERT_TRUE(document);
    const QPointer<QWidget> window = windows.windowFor(*document);
    bool quitEnded = false;
    windows.setTerminateHandler([&quitEnded] { quitEnded = true; });
    addNode(*document, "Saved meanwhile");
    showExportWindow(window, document);
    auto* exportWindow = window->findChild<ExportWindowController*>();
    ASSERT_TRUE(exportWindow && QTest::qWaitForWindowExposed(exportWindow));
    QAction* pdf = exportWindow->toolbar->findChild<QAction*>(QStringLiteral("pdfToolbarItem"));
    ASSERT_TRUE(pdf);
    QTest::mouseClick(exportWindow->toolbar->widgetForAction(pdf), Qt::LeftButton);

    bool asked = false, saved = false, quitAtOnce = true, stayed = false;
    QTimer meanwhile;
    QObject::connect(&meanwhile, &QTimer::timeout, [&] {
        if (asked || !LongWork::busy())
            return;
        asked = true;
        window->close();
        stayed = window && window->isVisible();
        saved = controller().saveDocument(*document);
        quitAtOnce = controller().terminate();
        stayed = stayed && window && window->isVisible() && !quitEnded;
    });
    meanwhile.start(1);
    test::answerSavePanel(QString::fromStdString(path("Tree.pdf")));
    QTest::mouseClick(exportWindow->exportToFileButton, Qt::LeftButton);
    ASSERT_TRUE(asked) << "the export ended before the test could ask";
    EXPECT_TRUE(stayed) << "the window closed under the export";
    EXPECT_TRUE(saved);
    EXPECT_FALSE(quitAtOnce);
    QFile picture(QString::fromStdString(path("Tree.pdf")));
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
    const QByteArray written = picture.readAll();
    EXPECT_TRUE(written.startsWith("%PDF") && written.trimmed().endsWith("%%EOF"));
    // The quit comes once the export has ended.
    EXPECT_EVENTUALLY(quitEnded);
    EXPECT_TRUE(!window || !window->isVisible());
    const std::vector<std::string> titles = titlesInFile(file);
    EXPECT_EQ(titles.size(), 3001u);
    EXPECT_NE(std::find(titles.begin(), titles.end(), "Saved meanwhile"), titles.end());
    GraphRenderer::install(previous);
}
