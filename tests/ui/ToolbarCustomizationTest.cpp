// The editor toolbar as the user arranges it: the context menu's customisation dialog, the arrangement shared
// by every window and kept in the settings, separators following the split view's dividers, and the
// navigator bar's appearance.
#include "document/DocumentFactory.h"
#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "document/VQDocument.h"
#include "editor/EditorPanes.h"
#include "editor/MindMapEditorWindowController.h"
#include "editor/ToolbarController.h"
#include "editor/ToolbarCustomizationDialog.h"
#include "kit/SystemTheme.h"
#include "kit/WindowActions.h"
#include "model/project/FactorySettings.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/Settings.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

struct ToolbarFixture {
    ScopedStandardUserDefaults scope;
    std::shared_ptr<VQDocument> document;
    std::vector<std::unique_ptr<MindMapEditorWindowController>> windows;

    ToolbarFixture()
    {
        registerFactoryDefaults();
        document = DocumentFactory::makeUntitledDocument();
    }
    ~ToolbarFixture() { ToolbarController::setCustomizationRunner(nullptr); }
    MindMapEditorWindowController& open()
    {
        auto window = std::make_unique<MindMapEditorWindowController>(document, QStringLiteral("Untitled"));
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        RunLoop::drain();
        windows.push_back(std::move(window));
        return *windows.back();
    }
};

QWidget* itemWidget(MindMapEditorWindowController& window, const char* identifier)
{
    ToolbarController& toolbar = *window.toolbarController();
    QAction* action = toolbar.item(QString::fromLatin1(identifier));
    return action ? toolbar.toolBar()->widgetForAction(action) : nullptr;
}

// The x of a widget's left and right edges in its window.
int leftInWindow(QWidget* widget)
{
    return widget->mapTo(widget->window(), QPoint(0, 0)).x();
}
int rightInWindow(QWidget* widget)
{
    return leftInWindow(widget) + widget->width();
}

// Whether the separator ends at the divider's x and the next item starts right after it.
bool meets(MindMapEditorWindowController& window, const char* separator, int dividerX)
{
    QToolBar* bar = window.toolbarController()->toolBar();
    const QList<QAction*> actions = bar->actions();
    const qsizetype index = actions.indexOf(window.toolbarController()->item(QString::fromLatin1(separator)));
    if (index < 0 || index + 1 >= actions.size())
        return false;
    const int next = leftInWindow(bar->widgetForAction(actions[index + 1]));
    return rightInWindow(bar->widgetForAction(actions[index])) == dividerX && next >= dividerX && next <= dividerX + 4;
}

void selectRow(QListWidget* list, const QString& identifier)
{
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->data(Qt::UserRole).toString() == identifier) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
            return;
        }
    ADD_FAILURE() << "no row " << identifier.toStdString();
}

} // namespace

TEST(ToolbarCustomization, TheContextMenuDialogRearrangesEveryWindowsToolbarAndTheSettingsKeepIt)
{
    ToolbarFixture f;
    MindMapEditorWindowController& first = f.open();
    MindMapEditorWindowController& second = f.open();
    const QStringList defaults = ToolbarController::toolbarDefaultItemIdentifiers();
    EXPECT_EQ(first.toolbarController()->itemIdentifiers(), defaults);
    EXPECT_EQ(itemWidget(first, "MyToggleSidebarItem"), nullptr);

    bool shown = false;
    ToolbarController::setCustomizationRunner([&](ToolbarCustomizationDialog& dialog) {
        shown = true;
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        EXPECT_EQ(dialog.availableIdentifiers(), ToolbarController::toolbarAllowedItemIdentifiers());
        EXPECT_EQ(dialog.itemIdentifiers(), defaults);
        EXPECT_EQ(dialog.availableList()->item(0)->text(), QStringLiteral("Toggle Sidebar"));
        // The user puts the sidebar toggle first, drops the emoji button and moves export before help.
        selectRow(dialog.itemsList(), ToolbarController::sidebarTrackingSeparator);
        dialog.itemsList()->setCurrentRow(-1);
        selectRow(dialog.availableList(), QStringLiteral("MyToggleSidebarItem"));
        EXPECT_TRUE(dialog.addButton()->isEnabled());
        QTest::mouseClick(dialog.addButton(), Qt::LeftButton);
        EXPECT_FALSE(dialog.addButton()->isEnabled()); // a button stands in the toolbar once
        QTest::mouseClick(dialog.moveUpButton(), Qt::LeftButton);
        for (int i = 0; i < 20; ++i)
            QTest::mouseClick(dialog.moveUpButton(), Qt::LeftButton);
        selectRow(dialog.itemsList(), QStringLiteral("KelvEmojisItem"));
        QTest::mouseClick(dialog.removeButton(), Qt::LeftButton);
        selectRow(dialog.itemsList(), QStringLiteral("KelvExportItem"));
        QTest::mouseClick(dialog.moveUpButton(), Qt::LeftButton);
        // Spaces may be added as often as wanted.
        selectRow(dialog.availableList(), ToolbarController::space);
        QTest::mouseClick(dialog.addButton(), Qt::LeftButton);
        EXPECT_TRUE(dialog.addButton()->isEnabled());
        test::saveScreenshot(&dialog, QStringLiteral("toolbar-customization-dialog"));
        return true;
    });
    // A right click on the toolbar offers the dialog.
    QToolBar* bar = first.toolbarController()->toolBar();
    const QPoint point(bar->width() / 2, bar->height() / 2);
    QContextMenuEvent request(QContextMenuEvent::Mouse, point, bar->mapToGlobal(point));
    QApplication::sendEvent(bar, &request);
    QMenu* menu = nullptr;
    EXPECT_EVENTUALLY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().front()->text(), QString::fromUtf8("Customize Toolbar…"));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().front()).center());
    EXPECT_EVENTUALLY(shown);

    QStringList expected = defaults;
    expected.removeAll(QStringLiteral("KelvEmojisItem"));
    expected.prepend(QStringLiteral("MyToggleSidebarItem"));
    expected.swapItemsAt(expected.indexOf(QStringLiteral("KelvHelpItem")), expected.indexOf(QStringLiteral("KelvExportItem")));
    expected.insert(expected.indexOf(QStringLiteral("KelvExportItem")) + 1, ToolbarController::space);
    EXPECT_EQ(first.toolbarController()->itemIdentifiers(), expected);
    EXPECT_EQ(second.toolbarController()->itemIdentifiers(), expected);
    EXPECT_EQ(f.scope.defaults().stringForKey("MyMainToolbar"), expected.join(u',').toStdString());
    // The sidebar toggle works from the toolbar and carries its tag.
    QAction* toggle = first.toolbarController()->item(QStringLiteral("MyToggleSidebarItem"));
    EXPECT_EQ(toggle->property("velquineTag").toInt(), 123);
    QTest::mouseClick(itemWidget(first, "MyToggleSidebarItem"), Qt::LeftButton);
    EXPECT_EVENTUALLY(!first.contentViewController()->isPaneCollapsed(0));
    EXPECT_EVENTUALLY(meets(first, "NSToolbarSidebarTrackingSeparatorItem",
                            rightInWindow(first.contentViewController()->widget(0))));
    EXPECT_EVENTUALLY(meets(first, "TrackingSplitItem", leftInWindow(first.contentViewController()->widget(2))));
    test::saveScreenshot(&first, QStringLiteral("toolbar-rearranged-window"));

    // A window opened later (as after a restart) shows the stored arrangement; Restore Defaults brings the
    // default set back; Cancel changes nothing.
    EXPECT_EQ(f.open().toolbarController()->itemIdentifiers(), expected);
    ToolbarController::setCustomizationRunner([](ToolbarCustomizationDialog& dialog) {
        QTest::mouseClick(dialog.defaultsButton(), Qt::LeftButton);
        return false;
    });
    second.toolbarController()->runCustomizationPalette();
    EXPECT_EQ(first.toolbarController()->itemIdentifiers(), expected);
    ToolbarController::setCustomizationRunner([](ToolbarCustomizationDialog& dialog) {
        QTest::mouseClick(dialog.defaultsButton(), Qt::LeftButton);
        return true;
    });
    second.toolbarController()->runCustomizationPalette();
    EXPECT_EQ(first.toolbarController()->itemIdentifiers(), defaults);
}

TEST(ToolbarCustomization, AStoredArrangementLosesTheItemsNoToolbarKnows)
{
    ToolbarFixture f;
    test::DesktopRecorder recorder;
    f.scope.defaults().set("MyMainToolbar", std::string("SortItem,OldShareItem,NSToolbarSpaceItem,,BalanceItem"));
    MindMapEditorWindowController& window = f.open();
    EXPECT_EQ(window.toolbarController()->itemIdentifiers(),
              QStringList({QStringLiteral("SortItem"), ToolbarController::space, QStringLiteral("BalanceItem")}));
    int dropped = 0;
    for (const std::string& line : recorder.systemLines)
        dropped += line.find("unknown item \"OldShareItem\" left out") != std::string::npos;
    EXPECT_EQ(dropped, 1);
    // An empty arrangement stays empty rather than falling back to the defaults.
    ToolbarController::saveItemIdentifiers({});
    EXPECT_TRUE(window.toolbarController()->itemIdentifiers().isEmpty());
}

TEST(ToolbarCustomization, TheArrangementComesBackFromTheSettingsFileAfterARestart)
{
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("Velquine.ini")).toStdString();
    const QStringList arranged{QStringLiteral("MyToggleSidebarItem"), ToolbarController::flexibleSpace,
                               QStringLiteral("centerNodeItem"), ToolbarController::space,
                               QStringLiteral("KelvExportItem")};
    {
        ScopedStandardUserDefaults running(UserDefaults::settingsFile(path));
        ToolbarController::saveItemIdentifiers(arranged);
    }
    ScopedStandardUserDefaults restarted(UserDefaults::settingsFile(path));
    EXPECT_EQ(ToolbarController::savedItemIdentifiers(), arranged);
}

TEST(ToolbarCustomization, SeparatorsFollowTheDividersAsTheUserDragsThem)
{
    ToolbarFixture f;
    MindMapEditorWindowController& window = f.open();
    window.resize(1500, 800);
    MindMapEditorWindowContentViewController& panes = *window.contentViewController();
    QWidget* inspector = panes.widget(2);
    EXPECT_EVENTUALLY(meets(window, "TrackingSplitItem", leftInWindow(inspector)));
    // The notes and inspector buttons sit over the inspector; the focus and centre buttons in the middle.
    EXPECT_GE(leftInWindow(itemWidget(window, "ToggleNotesItem")), leftInWindow(inspector));
    auto groupCentre = [&] {
        return (leftInWindow(itemWidget(window, "ToggleNodeFocusItem")) + rightInWindow(itemWidget(window, "centerNodeItem"))) / 2;
    };
    EXPECT_EVENTUALLY(std::abs(groupCentre() - window.width() / 2) <= 2);

    // Dragging the divider to the left widens the inspector; the separator follows.
    QSplitterHandle* handle = panes.handle(2);
    const QPoint grip = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QTest::mouseMove(handle, grip - QPoint(120, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip - QPoint(120, 0));
    const int moved = leftInWindow(inspector);
    EXPECT_LT(moved, window.width() - 300);
    EXPECT_EVENTUALLY(meets(window, "TrackingSplitItem", leftInWindow(inspector)));

    // Showing the navigator bar moves the sidebar's separator to its edge; the window resized, both follow.
    window.windowActions()->dispatcher().sendAction("toggleSidebar:");
    EXPECT_EVENTUALLY(meets(window, "NSToolbarSidebarTrackingSeparatorItem", rightInWindow(panes.widget(0))));
    window.resize(window.width() - 150, window.height());
    EXPECT_EVENTUALLY(meets(window, "TrackingSplitItem", leftInWindow(inspector)));
    EXPECT_EVENTUALLY(meets(window, "NSToolbarSidebarTrackingSeparatorItem", rightInWindow(panes.widget(0))));
    test::saveScreenshot(&window, QStringLiteral("toolbar-tracking-separators"));

    // With the inspector collapsed its buttons move to the trailing edge.
    window.windowActions()->dispatcher().sendAction("myToggleInspector:");
    QWidget* last = itemWidget(window, "ToggleInspectorItem");
    EXPECT_EVENTUALLY(rightInWindow(last) > window.width() - 20);
}

TEST(ToolbarCustomization, TheNavigatorBarTakesTheChosenAppearanceWhateverTheSystemShows)
{
    ToolbarFixture f;
    MindMapEditorWindowController& window = f.open();
    NavbarController* navbar = window.contentViewController()->navbarController();
    auto lightness = [navbar] { return navbar->palette().color(QPalette::Window).lightness(); };
    const int system = qApp->palette().color(QPalette::Window).lightness();
    EXPECT_EQ(lightness(), system);

    setUserInterfaceStyle(UserInterfaceStyle::dark);
    EXPECT_LT(lightness(), 110);
    // A change of the system's theme leaves the chosen appearance alone.
    NotificationCenter::defaultCenter().post(systemThemeChangedNotification);
    RunLoop::drain();
    EXPECT_LT(lightness(), 110);
    setUserInterfaceStyle(UserInterfaceStyle::light);
    EXPECT_GT(lightness(), 150);
    setUserInterfaceStyle(UserInterfaceStyle::systemDefault);
    NotificationCenter::defaultCenter().post(systemThemeChangedNotification);
    RunLoop::drain();
    EXPECT_EQ(lightness(), system);
}
