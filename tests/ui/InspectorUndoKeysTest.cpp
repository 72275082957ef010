// The undo and redo keys in an inspector's field of an editor window with its menus.

#include "SmallMapWindow.h"

#include <QApplication>
#include <QLineEdit>

using namespace velquine;

// The field undoes its own typing first; with nothing of its own left, the keys undo and redo the map.
TEST(InspectorUndoKeys, AFieldWithNothingOfItsOwnToUndoLeavesTheKeysToTheMap)
{
    test::SmallMapWindow map;
    map.select({map.child});
    auto* size = map.window->findChild<QLineEdit*>(QStringLiteral("fontSizeTextField"));
    ASSERT_TRUE(size && size->isVisible());
    const double before = map.node(map.child.uid).style.font.pointSize();
    QTest::mouseClick(size, Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), size);
    size->selectAll();
    QTest::keyClicks(size, QStringLiteral("40"));
    QTest::keyClick(size, Qt::Key_Z, Qt::ControlModifier); // the field's own typing
    EXPECT_NE(size->text(), QStringLiteral("40"));
    QTest::keyClicks(size, QStringLiteral("40"));
    QTest::keyClick(size, Qt::Key_Return);
    RunLoop::drain();
    ASSERT_EQ(map.node(map.child.uid).style.font.pointSize(), 40.0);
    ASSERT_EQ(map.undo().undoActionName(), "Change Font Size");

    QTest::keyClick(size, Qt::Key_Z, Qt::ControlModifier);
    RunLoop::drain();
    EXPECT_EQ(map.node(map.child.uid).style.font.pointSize(), before);
    EXPECT_EQ(map.undo().redoActionName(), "Change Font Size");
    EXPECT_EQ(QApplication::focusWidget(), size);
    QTest::keyClick(size, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    RunLoop::drain();
    EXPECT_EQ(map.node(map.child.uid).style.font.pointSize(), 40.0);
    EXPECT_EQ(size->text(), QStringLiteral("40"));
}
