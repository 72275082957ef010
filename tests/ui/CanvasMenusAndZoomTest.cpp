// The canvas's context menus and Alt+wheel zoom in a real editor window.

#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QWheelEvent>

#include "canvas/GraphView.h"
#include "canvas/layers/NodeLayer.h"
#include "document/VQDocument.h"
#include "editor/CanvasContextMenus.h"
#include "editor/EditorPanes.h"
#include "editor/MindMapEditorWindowController.h"
#include "kit/ScrollView.h"
#include "model/project/FactorySettings.h"
#include "platform/RunLoop.h"
#include "platform/UndoManager.h"
#include "SmallMapWindow.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

struct MenuFixture : test::SmallMapWindow {
    ~MenuFixture()
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }
    void rightClick(QPoint at)
    {
        QTest::mousePress(canvas(), Qt::RightButton, {}, at);
        QTest::mouseRelease(canvas(), Qt::RightButton, {}, at);
    }
    QMenu* shownMenu() const { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }
    void choose(QMenu* menu, const QString& title)
    {
        for (QAction* action : menu->actions())
            if (action->text() == title) {
                ASSERT_TRUE(action->isEnabled()) << title.toStdString();
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                RunLoop::drain();
                return;
            }
        FAIL() << "no item " << title.toStdString();
    }
    void wheel(QPoint at, QPoint pixels, QPoint angle, Qt::KeyboardModifiers modifiers)
    {
        QWheelEvent event(at, canvas()->mapToGlobal(at), pixels, angle, Qt::NoButton, modifiers, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(canvas(), &event);
    }
};

QStringList titles(const QMenu* menu)
{
    QStringList list;
    for (const QAction* action : menu->actions())
        list << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return list;
}

TEST(CanvasMenus, ARightClickSelectsTheNodeAndItsMenuRunsTheWindowsCommands)
{
    MenuFixture f;
    f.rightClick(f.widgetPoint(f.child.center));
    QMenu* menu = f.shownMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu, f.canvas()->findChild<QMenu*>(QStringLiteral("nodeContextMenu")));
    EXPECT_EQ(f.document->project().selectedNodeUIDs, std::vector<std::int64_t>{f.child.uid});
    EXPECT_EQ(f.canvas()->selectedNodeUIDs(), std::vector<std::int64_t>{f.child.uid});
    EXPECT_EQ(titles(menu).first(4), (QStringList{QStringLiteral("New Child Node"), QStringLiteral("New Sibling Node"),
                                                  QStringLiteral("New Parent Node"), QStringLiteral("Edit Title")}));
    EXPECT_EQ(static_cast<std::size_t>(menu->actions().size()), CanvasContextMenus::nodeMenuItems().size());
    test::saveScreenshot(f.window.get(), QStringLiteral("canvas-node-menu-window"));
    menu->grab().save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/canvas-node-menu.png"));

    // Choosing an item runs the command on the clicked node: a new child whose title is being typed.
    f.choose(menu, QStringLiteral("New Child Node"));
    EXPECT_FALSE(f.shownMenu());
    ASSERT_EQ(f.document->project().graph.node(f.child.uid)->childrenUIDs.size(), 1u);
    EXPECT_TRUE(f.canvas()->isEditingTitle());
    f.canvas()->endEditingTitle(true);
    RunLoop::drain();
    EXPECT_EQ(f.document->undoManager()->undoActionName(), "New Child Node");

    // The keyboard's menu key opens the node menu too.
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5), f.canvas()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(f.canvas(), &key);
    EXPECT_EQ(f.shownMenu(), f.canvas()->findChild<QMenu*>(QStringLiteral("nodeContextMenu")));
}

TEST(CanvasMenus, ARightClickOnTheEmptyMapOffersTheDocumentsMenu)
{
    MenuFixture f;
    f.select({f.child});
    const Point empty{f.child.center.x + 40, f.child.center.y + 300};
    f.rightClick(f.widgetPoint(empty));
    QMenu* menu = f.shownMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu, f.canvas()->findChild<QMenu*>(QStringLiteral("documentContextMenu")));
    EXPECT_TRUE(f.document->project().selectedNodeUIDs.empty());
    EXPECT_EQ(titles(menu).first(3), (QStringList{QStringLiteral("New Root Node"), QStringLiteral("Paste"),
                                                  QStringLiteral("Select All")}));
    // A new root goes where the menu was asked for.
    f.choose(menu, QStringLiteral("New Root Node"));
    f.canvas()->endEditingTitle(true);
    RunLoop::drain();
    std::optional<Node> added;
    for (const Node& node : f.document->project().graph.allNodes())
        if (!node.parentUID && node.uid != f.root.uid)
            added = node;
    ASSERT_TRUE(added);
    EXPECT_NEAR(added->center.x, empty.x, 1.0);
    EXPECT_NEAR(added->center.y, empty.y, 1.0);
}

TEST(CanvasZoom, AltAndTheWheelZoomAtThePointerWithinTheLimits)
{
    MenuFixture f;
    ScrollView* scroll = f.scrollView();
    ASSERT_DOUBLE_EQ(scroll->magnification(), 1.0);
    const QPoint at = f.widgetPoint(f.child.center);
    const QPointF onScreen = f.canvas()->mapTo(scroll->viewport(), QPointF(at));

    // A touchpad's pixels: 40 pixels up zoom in by 0.2, and the point under the pointer stays under it.
    f.wheel(at, {0, 40}, {0, 40}, Qt::AltModifier);
    EXPECT_NEAR(scroll->magnification(), 1.2, 1e-9);
    const Point under = scroll->documentPointFromViewport(onScreen);
    EXPECT_NEAR(under.x, f.child.center.x, 1.0);
    EXPECT_NEAR(under.y, f.child.center.y, 1.0);

    // A wheel notch (120 eighths of a degree) counts one; Qt hands Alt+wheel over as horizontal.
    f.wheel(f.widgetPoint(f.child.center), {}, {120, 0}, Qt::AltModifier);
    EXPECT_NEAR(scroll->magnification(), 1.205, 1e-9);
    f.wheel(f.widgetPoint(f.child.center), {}, {0, -120}, Qt::AltModifier);
    EXPECT_NEAR(scroll->magnification(), 1.2, 1e-9);
    // No movement and no Alt change nothing.
    f.wheel(f.widgetPoint(f.child.center), {}, {0, 0}, Qt::AltModifier);
    f.wheel(f.widgetPoint(f.child.center), {0, 40}, {0, 40}, Qt::NoModifier);
    EXPECT_NEAR(scroll->magnification(), 1.2, 1e-9);

    // The magnification stays between 0.25 and 4.
    f.wheel(f.widgetPoint(f.child.center), {0, 5000}, {0, 5000}, Qt::AltModifier);
    EXPECT_DOUBLE_EQ(scroll->magnification(), 4.0);
    f.wheel(f.widgetPoint(f.child.center), {0, -5000}, {0, -5000}, Qt::AltModifier);
    EXPECT_DOUBLE_EQ(scroll->magnification(), 0.25);
}

} // namespace
