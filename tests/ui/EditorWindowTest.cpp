#include "document/DocumentFactory.h"
#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <QScrollArea>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <algorithm>
#include <set>

#include "canvas/GraphView.h"
#include "document/VQDocument.h"
#include "editor/EditorPanes.h"
#include "editor/EmojiPalette.h"
#include "editor/MindMapEditorWindowController.h"
#include "editor/NoteViewController.h"
#include "editor/ToolbarController.h"
#include "inspector/InspectorBarController.h"
#include "inspector/NodeContentInspector.h"
#include "kit/KVVerticalTabBar.h"
#include "kit/EditingTextView.h"
#include "kit/ScrollView.h"
#include "kit/WindowActions.h"
#include "model/project/FactorySettings.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/Settings.h"
#include "platform/UndoManager.h"
#include "UiTestSupport.h"
#include "canvas/CanvasSync.h"

using namespace velquine;

namespace {

// A map of a root with three children, in a shown editor window.
struct EditorFixture {
    ScopedStandardUserDefaults scope;
    std::shared_ptr<VQDocument> document;
    std::unique_ptr<MindMapEditorWindowController> window;

    EditorFixture()
    {
        registerFactoryDefaults();
        document = DocumentFactory::makeUntitledDocument();
        const Node root = document->project().graph.allNodes().empty() ? document->createRootNode("Root", {0, 0}, false)
                                                                 : document->project().graph.allNodes().front();
        for (const char* title : {"Alpha", "Beta", "Gamma"})
            document->createChildNode(root, title, std::nullopt, true, false);
        open();
    }
    void open()
    {
        window = std::make_unique<MindMapEditorWindowController>(document, QStringLiteral("Untitled"));
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        RunLoop::drain();
    }
    MindMapEditorWindowContentViewController& panes() const { return *window->contentViewController(); }
    EditorContentViewController& content() const { return *panes().editorContentViewController(); }
    InspectorBarController& bar() const
    {
        return *static_cast<InspectorBarController*>(panes().inspectorBarController());
    }
    bool send(const char* selector) const { return window->windowActions()->dispatcher().sendAction(selector); }
    void select(const std::vector<Node>& nodes)
    {
        document->projectForLoading().setSelectedNodes(nodes);
        document->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeSelection(); });
        RunLoop::drain();
    }
    std::vector<Node> children() const
    {
        std::vector<Node> nodes;
        for (const Node& node : document->project().graph.allNodes())
            if (node.parentUID)
                nodes.push_back(node);
        return nodes;
    }
};

// The lightness of the most opaque pixels of a toolbar item's icon, as the toolbar draws it.
int iconLightness(ToolbarController* toolbar, const char* identifier)
{
    const QImage image = toolbar->item(QString::fromLatin1(identifier))->icon().pixmap(QSize(20, 20)).toImage();
    int lightness = -1, alpha = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QColor c = image.pixelColor(x, y); c.alpha() > alpha) {
                alpha = c.alpha();
                lightness = c.lightness();
            }
    return lightness;
}

QStringList toolbarItems(QToolBar* toolbar)
{
    QStringList names;
    for (QAction* action : toolbar->actions())
        names << action->objectName();
    return names;
}

} // namespace

TEST(EditorWindow, OpensWithItsPanesAndToolbarAndRemembersEveryToggle)
{
    EditorFixture f;
    EXPECT_EQ(toolbarItems(f.window->toolbarController()->toolBar()),
              ToolbarController::toolbarDefaultItemIdentifiers());
    EXPECT_EQ(f.window->toolbarController()->item("KelvExportItem")->text(), QString::fromUtf8("Export…"));
    // Factory layout: navigator and notes collapsed, inspector shown, the map on the canvas.
    EXPECT_TRUE(f.panes().isPaneCollapsed(0));
    EXPECT_FALSE(f.panes().isPaneCollapsed(2));
    EXPECT_TRUE(f.content().isNoteViewCollapsed());
    EXPECT_EQ(f.content().graphView()->nodeLayers().size(), 4u);

    // The validating items follow the responder that takes their command; the plain ones are always there.
    f.window->toolbarController()->validate();
    EXPECT_EQ(f.window->toolbarController()->item("ToggleNotesItem")->isEnabled(), true);

    // Toolbar buttons toggle the panes and the settings keep what the user left.
    QTest::mouseClick(f.window->toolbarController()->toolBar()->widgetForAction(
                          f.window->toolbarController()->item("ToggleInspectorItem")),
                      Qt::LeftButton);
    EXPECT_EVENTUALLY(f.panes().isPaneCollapsed(2));
    EXPECT_TRUE(f.scope.defaults().boolForKey("isInspectorCollapsed"));
    EXPECT_TRUE(f.send("toggleNoteView:"));
    EXPECT_FALSE(f.content().isNoteViewCollapsed());
    EXPECT_FALSE(f.scope.defaults().boolForKey("isNoteViewCollapsed"));
    EXPECT_TRUE(f.send("showNoteView:"));
    EXPECT_FALSE(f.content().isNoteViewCollapsed());
    EXPECT_TRUE(f.send("toggleSidebar:"));
    EXPECT_FALSE(f.scope.defaults().boolForKey("isNavigatorBarCollapsed"));

    MindMapEditorWindowController second(f.document, QStringLiteral("Second"));
    EXPECT_TRUE(second.contentViewController()->isPaneCollapsed(2));
    EXPECT_FALSE(second.contentViewController()->isPaneCollapsed(0));
    EXPECT_FALSE(second.contentViewController()->editorContentViewController()->isNoteViewCollapsed());

    // The inspector menu item opens a collapsed inspector on the chosen tab.
    f.select({f.children().front()});
    ActionItem item{"switchSidebarInspector:", ActionItemKind::menuItem, "Content", 1};
    f.window->windowActions()->dispatcher().sendAction("switchSidebarInspector:", &item);
    EXPECT_FALSE(f.panes().isPaneCollapsed(2));
    EXPECT_FALSE(f.scope.defaults().boolForKey("isInspectorCollapsed"));
    EXPECT_EQ(f.bar().currentInspector(), f.bar().nodeContentInspector());

    // File ▸ Close and Window ▸ Minimize act on the editor window.
    QAction* close = nullptr;
    for (QAction* action : f.window->findChildren<QAction*>())
        if (WindowActions::selectorOf(action) == "performClose:")
            close = action;
    ASSERT_NE(close, nullptr);
    EXPECT_TRUE(f.window->windowActions()->validateAction(close));
    EXPECT_TRUE(f.window->windowActions()->trigger(close));
    EXPECT_FALSE(f.window->isVisible());
}

// Counts the timer events the application delivers, to any object.
struct TimerEventCount : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Timer;
        return false;
    }
};

TEST(EditorWindow, AnIdleWindowRunsNoTimerAndItsToolbarFollowsEachChange)
{
    EditorFixture f;
    ToolbarController* toolbar = f.window->toolbarController();
    f.select({});
    EXPECT_EVENTUALLY(!f.content().scrollView()->isAnimatingScroll());
    // The work that follows an open (freed memory handed back, a slow machine's last frames) may still run a
    // timer: an idle window is one where some stretch of 2.5 s passes without any, which a timer that repeats
    // every second or two never allows.
    int timerCount = -1;
    int validationsMeanwhile = -1;
    for (int stretch = 0; stretch < 4 && timerCount != 0; ++stretch) {
        TimerEventCount timers;
        qApp->installEventFilter(&timers);
        const int validations = toolbar->validationCount();
        QTest::qWait(2500);
        qApp->removeEventFilter(&timers);
        timerCount = timers.count;
        validationsMeanwhile = toolbar->validationCount() - validations;
    }
    EXPECT_EQ(timerCount, 0);
    EXPECT_EQ(validationsMeanwhile, 0);

    // What the buttons show follows a change on the turn it is heard.
    QAction* sort = toolbar->item(QStringLiteral("SortItem"));
    QAction* focus = toolbar->item(QStringLiteral("ToggleNodeFocusItem"));
    EXPECT_FALSE(sort->isEnabled());
    f.select({f.children().front()});
    EXPECT_TRUE(sort->isEnabled());
    EXPECT_FALSE(focus->isChecked());
    EXPECT_TRUE(f.send("toggleNodeFocus:"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(focus->isChecked());
    EXPECT_TRUE(f.send("toggleNodeFocus:"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(focus->isChecked());
}

TEST(EditorWindow, PanesGlideOpenAndShutUnlessAnimationsAreOff)
{
    EditorFixture f;
    const auto inspectorWidth = [&f] { return f.panes().sizes().value(2); };
    const int open = inspectorWidth();
    const int minimum = f.panes().inspectorBarController()->minimumWidth();
    ASSERT_GT(open, 0);
    std::set<int> widths;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { widths.insert(inspectorWidth()); });
    sampler.start(5);
    EXPECT_TRUE(f.send("myToggleInspector:"));
    EXPECT_TRUE(f.panes().isPaneCollapsed(2)); // the state it heads for
    EXPECT_GT(inspectorWidth(), 0);
    EXPECT_EVENTUALLY_EQ(inspectorWidth(), 0);
    EXPECT_GE(std::count_if(widths.begin(), widths.end(), [open](int w) { return w > 0 && w < open; }), 1);

    // The note pane the same way, half way through a frame grabbed.
    EXPECT_TRUE(f.send("toggleNoteView:"));
    QTest::qWait(PaneAnimation::duration / 2); // fixed: a moment of the animation to look at; nothing is asserted on it
    test::saveScreenshot(f.window.get(), QStringLiteral("editor-note-pane-opening"));
    EXPECT_EVENTUALLY(f.content().splitView()->sizes().value(1) >= f.content().noteViewController()->minimumHeight());
    EXPECT_FALSE(f.content().isNoteViewCollapsed());

    // Off: each toggle lands at once, and the pane keeps its limits.
    sampler.stop();
    f.scope.defaults().set("disableAnimations", true);
    EXPECT_TRUE(f.send("myToggleInspector:"));
    EXPECT_EQ(inspectorWidth(), open);
    EXPECT_EQ(f.panes().inspectorBarController()->minimumWidth(), minimum);
    EXPECT_TRUE(f.send("toggleNoteView:"));
    EXPECT_EQ(f.content().splitView()->sizes().value(1), 0);
}

TEST(EditorWindow, ZoomPopUpLogsAndMagnifies)
{
    EditorFixture f;
    test::DesktopRecorder recorder;
    f.window->zoomLevelSelectorButton()->setCurrentIndex(5);
    f.window->changeZoomLevel();
    ASSERT_FALSE(recorder.systemLines.empty());
    EXPECT_NE(recorder.systemLines.back().find("new zoom factor is: 1.5"), std::string::npos);
    EXPECT_DOUBLE_EQ(f.content().scrollView()->magnification(), 1.5);
    f.window->zoomLevelSelectorButton()->setCurrentIndex(3);
    f.window->changeZoomLevel();
    EXPECT_NE(recorder.systemLines.back().find("new zoom factor is: 1.0"), std::string::npos);

    // Zooming with the menu commands moves the pop-up along; a factor outside its table shows as a percentage.
    QComboBox* popUp = f.window->zoomLevelSelectorButton();
    EXPECT_TRUE(f.send("zoomOut:"));
    EXPECT_EVENTUALLY_EQ(popUp->currentText(), QStringLiteral("75%"));
    f.content().scrollView()->setMagnification(2.25);
    EXPECT_EQ(popUp->currentIndex(), -1);
    EXPECT_EQ(popUp->placeholderText(), QStringLiteral("225%"));

    // The keys of other desktop programs zoom in: Ctrl+= (the key "+" shares), Ctrl++ and the keypad's +.
    // Unanimated, so that each key's step is taken from where the last one ended.
    ScrollView* scroll = f.content().scrollView();
    f.scope.defaults().set("disableAnimations", true);
    f.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.window.get()));
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Equal, Qt::KeyboardModifiers(Qt::ControlModifier)},
                                         std::pair{Qt::Key_Plus, Qt::KeyboardModifiers(Qt::ControlModifier)},
                                         std::pair{Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier}}) {
        ASSERT_TRUE(f.send("zoomDefault:"));
        ASSERT_DOUBLE_EQ(scroll->magnification(), 1.0);
        QTest::keyClick(f.window.get(), key, modifiers);
        EXPECT_DOUBLE_EQ(scroll->magnification(), 1.25) << QKeySequence(QKeyCombination(modifiers, key)).toString().toStdString();
    }
}

TEST(EditorWindow, ZoomedOutMapLiesOnItsBackgroundToTheViewsEdges)
{
    EditorFixture f;
    f.scope.defaults().set("userInterfaceStyle", "UserInterfaceStyleDark");
    f.window.reset();
    f.open();
    ScrollView* scroll = f.content().scrollView();
    scroll->setMagnification(0.25);
    EXPECT_EVENTUALLY(scroll->widget()->height() < scroll->viewport()->height());
    ASSERT_LT(scroll->widget()->height(), scroll->viewport()->height());
    const QImage shot = scroll->viewport()->grab().toImage();
    const QColor expected = f.document->project().projectStyle.current.backgroundColor.toQColor();
    const QColor corner = shot.pixelColor(shot.width() - 2, shot.height() - 2);
    EXPECT_LT(std::abs(corner.lightness() - expected.lightness()), 8) << corner.name().toStdString();
}

TEST(EditorWindow, NotePaneEditsANodeOrTheDocumentAsOneUndoStepEach)
{
    EditorFixture f;
    f.send("showNoteView:");
    EditingTextView* note = f.content().noteViewController()->noteView();
    const Node alpha = f.children().front();
    f.select({alpha});

    note->setFocus();
    QTest::keyClicks(note, QStringLiteral("ab"));
    EXPECT_EQ(f.document->project().graph.node(alpha.uid)->note, "ab");
    EXPECT_EQ(f.document->editingLabel(), "Change Node Note");
    f.content().graphView()->setFocus(); // leaving the pane ends the edit
    RunLoop::drain();
    UndoManager& undo = *f.document->undoManager();
    EXPECT_EQ(undo.undoActionName(), "Change Node Note");
    EXPECT_FALSE(note->document()->isUndoAvailable());
    EXPECT_TRUE(f.send("undo:"));
    RunLoop::drain();
    EXPECT_EQ(f.document->project().graph.node(alpha.uid)->note, "");
    EXPECT_FALSE(undo.canUndo());

    // Nothing selected: the document's notes.
    f.select({});
    note->setFocus();
    QTest::keyClicks(note, QStringLiteral("Map"));
    f.content().graphView()->setFocus();
    RunLoop::drain();
    EXPECT_EQ(f.document->project().notes, "Map");
    EXPECT_EQ(undo.undoActionName(), "Change Document Notes");

    // The emoji palette types into the focused note like the keyboard.
    note->setFocus();
    note->moveCursor(QTextCursor::End);
    ASSERT_TRUE(f.send("pickEmoji:"));
    auto* palette = f.window->findChild<EmojiPalette*>();
    ASSERT_NE(palette, nullptr);
    // Its pictures are drawn in colour, not as the empty boxes of fonts that lack them.
    const QImage face = palette->grab().toImage();
    int coloured = 0;
    for (int y = 0; y < face.height(); ++y)
        for (int x = 0; x < face.width(); ++x)
            coloured += face.pixelColor(x, y).hsvSaturation() > 120 ? 1 : 0;
    EXPECT_GT(coloured, 2000);
    palette->choose(EmojiPalette::emoji().front());
    EXPECT_EQ(f.document->project().notes, "Map" + EmojiPalette::emoji().front().toStdString());
    f.content().graphView()->setFocus();
    RunLoop::drain();

    // Two nodes: empty and read-only.
    f.select({f.children()[0], f.children()[1]});
    EXPECT_TRUE(note->isReadOnly());
    EXPECT_TRUE(note->toPlainText().isEmpty());
}

// A note typed in the note pane keeps its session open while the content tab is clicked: the content pane
// shows its fields editable all the same, so the link typed next is kept, and the note too.
TEST(EditorWindow, ALinkTypedWhileANoteIsOpenIsKept)
{
    EditorFixture f;
    const Node alpha = f.children().front();
    f.select({alpha});
    f.send("showNoteView:");
    RunLoop::drain();
    EditingTextView* note = f.content().noteViewController()->noteView();
    QTest::mouseClick(note->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    QTest::keyClicks(note, QStringLiteral("Bring maps"));
    RunLoop::drain();
    ASSERT_TRUE(f.document->isInEditingSession());

    InspectorBarController& bar = f.bar();
    KVVerticalTabBar* tabs = bar.tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tabs->items().at(1)).center().toPoint());
    RunLoop::drain();
    ASSERT_EQ(bar.currentInspector(), bar.nodeContentInspector());
    auto* pane = static_cast<NodeContentInspector*>(bar.nodeContentInspector());
    QLineEdit* link = pane->linkView();
    EXPECT_TRUE(link->isEnabled());
    EXPECT_FALSE(pane->titleView()->isReadOnly());

    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(10, link->height() / 2));
    RunLoop::drain();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("https://example.org"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    RunLoop::drain();
    test::saveScreenshot(f.window.get(), QStringLiteral("editor-window-link-after-note"));
    EXPECT_EQ(f.document->project().graph.node(alpha.uid)->url, "https://example.org");
    EXPECT_EQ(f.document->project().graph.node(alpha.uid)->note, "Bring maps");
    EXPECT_EQ(link->text(), QStringLiteral("https://example.org"));
    EXPECT_TRUE(link->isEnabled());
    EXPECT_FALSE(f.document->isInEditingSession());
    EXPECT_EQ(f.document->undoManager()->undoActionName(), "Set Link");
}

TEST(EditorWindow, InspectorTabsFollowTheSelectionAndRememberTheChoice)
{
    EditorFixture f;
    InspectorBarController& bar = f.bar();
    ASSERT_EQ(bar.tabBar()->items().size(), 2u);
    f.select({});
    EXPECT_EQ(bar.currentInspector(), bar.documentStyleInspector());
    f.select({f.children().front()});
    EXPECT_EQ(bar.currentInspector(), bar.nodeStyleInspector());
    bar.tabBar()->selectItemAtIndex(1);
    EXPECT_EQ(bar.currentInspector(), bar.nodeContentInspector());
    EXPECT_EQ(f.scope.defaults().integerForKey("lastSelectedInspectorTab"), 1);
    EXPECT_EQ(bar.scrollView()->widget(), bar.nodeContentInspector());
    f.select({});
    EXPECT_EQ(bar.currentInspector(), bar.documentContentInspector());
    EXPECT_FALSE(bar.nodeContentInspector()->isVisible());

    // Undoing a change made to a selected node brings its selection back, and the node panes with it.
    bar.tabBar()->selectItemAtIndex(0);
    f.select({f.children().front()});
    EXPECT_TRUE(f.send("toggleNodeBold:"));
    f.select({});
    ASSERT_EQ(bar.currentInspector(), bar.documentStyleInspector());
    f.document->undoManager()->undo();
    RunLoop::drain();
    EXPECT_EQ(f.document->project().selectedNodeUIDs.size(), 1u);
    EXPECT_EQ(bar.currentInspector(), bar.nodeStyleInspector());

    // A stored tab the bar does not have (information, help) selects no tab and is logged; the sidebar stays
    // empty until the selection changes, and the stored value is kept.
    for (const std::int64_t stored : {2, 3}) {
        f.scope.defaults().set("lastSelectedInspectorTab", stored);
        LogCapture log;
        InspectorBarController other(f.document);
        EXPECT_TRUE(log.contains("can not select item with index " + std::to_string(stored) +
                                 " because it is out of bounds!"));
        EXPECT_EQ(other.currentInspector(), nullptr);
        EXPECT_EQ(other.scrollView()->widget(), nullptr);
        EXPECT_EQ(f.scope.defaults().integerForKey("lastSelectedInspectorTab"), stored);
        f.select({f.children().front()});
        EXPECT_EQ(other.currentInspector(), other.nodeStyleInspector());
        EXPECT_EQ(f.scope.defaults().integerForKey("lastSelectedInspectorTab"), stored);
    }
}

TEST(EditorWindow, PhotoPickerPutsAFittedImageIntoTheSelectedNodesAsOneStep)
{
    EditorFixture f;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("big.png"));
    QImage big(4000, 3000, QImage::Format_RGB32);
    big.fill(Qt::darkCyan);
    ASSERT_TRUE(big.save(path));
    MindMapEditorWindowController::setImageFileChooser([&](QWidget*) { return std::optional<QString>(path); });
    const std::vector<Node> chosen{f.children()[0], f.children()[1]};
    f.select(chosen);
    EXPECT_TRUE(f.send("pickPhoto:"));
    RunLoop::drain();
    for (const Node& node : chosen) {
        const Node stored = *f.document->project().graph.node(node.uid);
        ASSERT_TRUE(stored.image());
        EXPECT_EQ(stored.image()->size().width, 1024);
        EXPECT_EQ(stored.image()->size().height, 768);
    }
    EXPECT_EQ(f.document->undoManager()->undoActionName(), "Set Image");
    f.send("undo:");
    RunLoop::drain();
    EXPECT_FALSE(f.document->project().graph.node(chosen[0].uid)->image());
    MindMapEditorWindowController::setImageFileChooser(nullptr);
}

TEST(EditorWindow, LooksRightInLightAndDark)
{
    EditorFixture f;
    f.send("showNoteView:");
    // Pictured once the opening's centring has come to rest.
    EXPECT_EVENTUALLY(!f.content().scrollView()->isAnimatingScroll());
    test::saveScreenshot(f.window.get(), QStringLiteral("editor-window-light"));
    const QImage light = f.window->grab().toImage();
    f.scope.defaults().set("userInterfaceStyle", "UserInterfaceStyleDark");
    f.window.reset();
    f.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.window.get()));
    EXPECT_EVENTUALLY(!f.content().scrollView()->isAnimatingScroll());
    test::saveScreenshot(f.window.get(), QStringLiteral("editor-window-dark"));
    const QImage dark = f.window->grab().toImage();
    // The toolbar's background is light, then dark.
    const QPoint toolbarPoint = f.window->toolbarController()->toolBar()->geometry().center();
    EXPECT_GT(light.pixelColor(toolbarPoint).lightness(), 150);
    EXPECT_LT(dark.pixelColor(toolbarPoint).lightness(), 110);
    // Toolbar symbols are drawn in the label colour of the window's appearance, also when it changes later.
    ToolbarController* toolbar = f.window->toolbarController();
    for (const char* item : {"KelvEmojisItem", "KelvPhotosItem", "KelvHelpItem", "ToggleInspectorItem"})
        EXPECT_GT(iconLightness(toolbar, item), 180) << item;
    setUserInterfaceStyle(UserInterfaceStyle::light);
    EXPECT_EVENTUALLY(iconLightness(toolbar, "KelvEmojisItem") < 80);
    // The map is drawn in the visible part of the canvas: node and branch colours beside the background.
    ScrollView* scroll = f.content().scrollView();
    const QRect visible(scroll->viewport()->mapTo(f.window.get(), QPoint(0, 0)), scroll->viewport()->size());
    QSet<QRgb> colours;
    for (int y = visible.top(); y < visible.bottom(); y += 3)
        for (int x = visible.left(); x < visible.right(); x += 3)
            colours.insert(light.pixel(x, y));
    EXPECT_GT(colours.size(), 20);
}

TEST(EditorWindow, SidebarShowsTheWholeNodeStylePane)
{
    EditorFixture f;
    f.select({f.children().front()});
    InspectorBarController& bar = f.bar();
    ASSERT_EQ(bar.currentInspector(), bar.nodeStyleInspector());
    EXPECT_EVENTUALLY(bar.nodeStyleInspector()->isVisible());
    test::saveScreenshot(f.window.get(), QStringLiteral("editor-window-node-style"));
    // Every control of the pane lies inside the visible width of the sidebar.
    QWidget* viewport = bar.scrollView()->viewport();
    for (QWidget* control : bar.nodeStyleInspector()->findChildren<QWidget*>()) {
        if (!control->isVisibleTo(bar.nodeStyleInspector()) || control->objectName().isEmpty())
            continue;
        const QRect frame(control->mapTo(viewport, QPoint(0, 0)), control->size());
        EXPECT_LE(frame.right(), viewport->width()) << control->objectName().toStdString();
        EXPECT_GE(frame.left(), 0) << control->objectName().toStdString();
    }
}
