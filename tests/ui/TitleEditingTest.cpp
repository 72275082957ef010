// Typing titles on the canvas of a real editor window: Tab and typing name a new child in one undo step,
// Escape takes the new child away again, a double click edits a title at another magnification, typing on a
// selected node replaces its title, and the editor's own undo covers only the typing.

#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "canvas/GraphView.h"
#include "canvas/NodeTitleEditor.h"
#include "canvas/layers/NodeLayer.h"
#include "document/VQDocument.h"
#include "editor/EditorPanes.h"
#include "editor/MindMapEditorWindowController.h"
#include "editor/NoteViewController.h"
#include "kit/InputInOrder.h"
#include "kit/ScrollView.h"
#include "kit/WindowActions.h"
#include "layout/NodeSizing.h"
#include "model/project/FactorySettings.h"
#include "platform/RunLoop.h"
#include "platform/UndoManager.h"
#include "SmallMapWindow.h"
#include "UiTestSupport.h"
#include "canvas/CanvasSync.h"

using namespace velquine;

namespace {

struct TitleFixture : test::SmallMapWindow {
    using SmallMapWindow::SmallMapWindow;
    NodeTitleEditor* editor() const { return canvas()->titleEditor(); }
    QPoint at(std::int64_t uid) const
    {
        return canvas()->widgetRectFromLayer(canvas()->nodeLayer(uid)->frame()).center().toPoint();
    }
    // As the X server sends it: press, release, the second press as a double click, release.
    void doubleClick(std::int64_t uid)
    {
        QTest::mouseDClick(canvas(), Qt::LeftButton, {}, at(uid));
        QTest::mouseRelease(canvas(), Qt::LeftButton, {}, at(uid));
        RunLoop::drain();
    }
    void key(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(target, key, modifiers);
        RunLoop::drain();
    }
    void type(const QString& text)
    {
        QTest::keyClicks(editor(), text);
        RunLoop::drain();
    }
};

TEST(TitleEditing, TabThenTypingNamesTheNewChildInOneUndoStep)
{
    for (const bool dark : {false, true}) {
        TitleFixture f(dark);
        f.select({f.child});
        f.canvas()->setFocus();
        f.key(f.canvas(), Qt::Key_Tab);
        ASSERT_TRUE(f.canvas()->isEditingTitle());
        EXPECT_TRUE(f.editor()->hasFocus());
        EXPECT_EQ(f.document->editingLabel(), "New Child Node");
        const std::int64_t uid = f.node(f.child.uid).childrenUIDs.back();
        const double leftEdge = f.node(uid).center.x - f.node(uid).size.width / 2;

        // The node grows with the text as it is typed and keeps the edge that faces its parent (on its left).
        f.type(QStringLiteral("Quarterly planning meeting"));
        EXPECT_EQ(f.node(uid).title, "Quarterly planning meeting");
        EXPECT_NEAR(f.node(uid).center.x - f.node(uid).size.width / 2, leftEdge, 1e-6);
        EXPECT_GT(f.node(uid).size.width, autosizeMinimumWidth);
        EXPECT_TRUE(f.canvas()->nodeLayer(uid)->labelLayer()->isHidden());
        EXPECT_TRUE(f.canvas()->widgetRectFromLayer(f.canvas()->nodeLayer(uid)->frame()).toAlignedRect().intersects(
            f.editor()->geometry()));
        test::saveScreenshot(f.window.get(), dark ? QStringLiteral("title-editor-dark")
                                                  : QStringLiteral("title-editor-light"));

        // Return ends the edit without entering a line break; creation and title are one step.
        f.key(f.editor(), Qt::Key_Return);
        EXPECT_FALSE(f.editor()->isVisible());
        EXPECT_FALSE(f.document->isInEditingSession());
        EXPECT_EQ(f.node(uid).title, "Quarterly planning meeting");
        EXPECT_EQ(f.undo().undoActionName(), "New Child Node");
        EXPECT_FALSE(f.canvas()->nodeLayer(uid)->labelLayer()->isHidden());
        EXPECT_TRUE(f.canvas()->hasFocus());
        ASSERT_TRUE(f.undo().undo());
        RunLoop::drain();
        EXPECT_FALSE(f.document->project().graph.contains(uid));
        EXPECT_FALSE(f.undo().canUndo());
    }
}

TEST(TitleEditing, EscapeAfterANewNodeTakesItAwayAndLeavesNoStep)
{
    TitleFixture f;
    f.select({f.child});
    f.canvas()->setFocus();
    const std::size_t before = f.document->project().graph.count();
    f.key(f.canvas(), Qt::Key_Return); // a sibling
    ASSERT_TRUE(f.canvas()->isEditingTitle());
    EXPECT_EQ(f.document->project().graph.count(), before + 1);
    f.type(QStringLiteral("Gone"));
    f.key(f.editor(), Qt::Key_Escape);
    EXPECT_FALSE(f.document->isInEditingSession());
    EXPECT_EQ(f.document->project().graph.count(), before);
    EXPECT_EQ(f.canvas()->nodeLayers().size(), before);
    EXPECT_FALSE(f.undo().canUndo());

    // Tab and Return with nothing typed still keep the new node, as one step.
    f.select({f.child});
    f.key(f.canvas(), Qt::Key_Tab);
    ASSERT_TRUE(f.canvas()->isEditingTitle());
    f.key(f.editor(), Qt::Key_Tab);
    EXPECT_FALSE(f.canvas()->isEditingTitle());
    EXPECT_EQ(f.document->project().graph.count(), before + 1);
    EXPECT_EQ(f.undo().undoActionName(), "New Child Node");
}

TEST(TitleEditing, DoubleClickEditsAtTheMagnificationAndClickingAwayCommits)
{
    TitleFixture f;
    f.scrollView()->setMagnification(2.0);
    RunLoop::drain();
    f.scrollView()->centerOn(f.child.center);
    QApplication::processEvents();
    f.select({f.child});
    f.doubleClick(f.child.uid);
    ASSERT_TRUE(f.canvas()->isEditingTitle());
    EXPECT_EQ(f.editor()->toPlainText(), QStringLiteral("Alpha"));
    EXPECT_EQ(f.editor()->textCursor().selectedText(), QStringLiteral("Alpha"));
    // The editor's text is drawn at twice the node's font, over the label at twice its size.
    const Node shown = f.node(f.child.uid);
    EXPECT_NEAR(f.editor()->font().pointSizeF(), shown.style.font.toQFont(f.editor()).pointSizeF() * 2.0, 0.01);
    const Rect label = labelLayout(shown).second.offsetBy(shown.center.x - shown.size.width / 2,
                                                          shown.center.y - shown.size.height / 2);
    const QRectF expected = f.canvas()->widgetRectFromLayer(label);
    EXPECT_NEAR(f.editor()->geometry().width(), expected.width() + 2, 2.0);
    EXPECT_NEAR(f.editor()->geometry().center().x(), expected.center().x(), 2.0);
    EXPECT_NEAR(f.editor()->geometry().center().y(), expected.center().y(), 2.0);
    // Zooming while the title is typed scales the editor with the map.
    f.scrollView()->setMagnification(1.0);
    QApplication::processEvents();
    EXPECT_NEAR(f.editor()->font().pointSizeF(), shown.style.font.toQFont(f.editor()).pointSizeF(), 0.01);
    EXPECT_NEAR(f.editor()->geometry().width(), expected.width() / 2 + 2, 2.0);
    f.scrollView()->setMagnification(2.0);
    QApplication::processEvents();

    // Return without a change leaves no step, nor does Edit Title (F2) ended without a change; then typing
    // "B" replaces the selected title.
    f.key(f.editor(), Qt::Key_Return);
    f.key(f.canvas(), Qt::Key_F2);
    ASSERT_TRUE(f.canvas()->isEditingTitle());
    EXPECT_EQ(f.editor()->textCursor().selectedText(), QStringLiteral("Alpha"));
    f.key(f.editor(), Qt::Key_Return);
    EXPECT_FALSE(f.undo().canUndo());
    EXPECT_FALSE(f.document->isInEditingSession());
    f.doubleClick(f.child.uid);
    ASSERT_TRUE(f.canvas()->isEditingTitle());
    f.type(QStringLiteral("Beta"));
    EXPECT_EQ(f.node(f.child.uid).title, "Beta");
    // A click on empty canvas commits the edit.
    QTest::mouseClick(f.canvas(), Qt::LeftButton, {}, QPoint(4, 4));
    RunLoop::drain();
    EXPECT_FALSE(f.canvas()->isEditingTitle());
    EXPECT_EQ(f.node(f.child.uid).title, "Beta");
    EXPECT_EQ(f.undo().undoActionName(), "Edit Node Title");
    ASSERT_TRUE(f.undo().undo());
    RunLoop::drain();
    EXPECT_EQ(f.node(f.child.uid).title, "Alpha");
}

TEST(TitleEditing, TypingOnASelectedNodeReplacesItsTitleAndUndoInTheEditorTakesBackOnlyTyping)
{
    TitleFixture f;
    f.select({f.root});
    f.canvas()->setFocus();
    const Node before = f.node(f.root.uid);
    f.key(f.canvas(), Qt::Key_Z);
    ASSERT_TRUE(f.canvas()->isEditingTitle());
    EXPECT_EQ(f.editor()->toPlainText(), QStringLiteral("z"));
    EXPECT_EQ(f.editor()->textCursor().position(), 1);
    EXPECT_EQ(f.node(f.root.uid).title, "z");
    EXPECT_EQ(f.document->editingLabel(), "Edit Node Title");
    f.type(QStringLiteral("ebra crossing"));
    // A root grows on both sides.
    EXPECT_NEAR(f.node(f.root.uid).center.x, before.center.x, 1e-6);
    f.key(f.editor(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(f.canvas()->isEditingTitle());
    EXPECT_NE(f.editor()->toPlainText(), QStringLiteral("zebra crossing"));
    EXPECT_TRUE(f.document->isInEditingSession());
    EXPECT_FALSE(f.undo().canUndo());
    f.key(f.editor(), Qt::Key_Escape);
    EXPECT_EQ(f.node(f.root.uid).title, "Root");
    EXPECT_EQ(f.node(f.root.uid).size, before.size);
    EXPECT_FALSE(f.undo().canUndo());

    // Space, Return and Delete never start an edit; two selected nodes pass typing on.
    f.select({f.node(f.root.uid), f.node(f.child.uid)});
    f.canvas()->setFocus();
    f.key(f.canvas(), Qt::Key_A);
    f.key(f.canvas(), Qt::Key_Space);
    EXPECT_FALSE(f.canvas()->isEditingTitle());
}

// Clicking into another control commits the title and leaves the keyboard with that control.
TEST(TitleEditing, ClickingIntoTheNotePaneCommitsAndKeepsTheFocusThere)
{
    TitleFixture f;
    f.window->windowActions()->dispatcher().sendAction("showNoteView:");
    f.select({f.child});
    f.canvas()->setFocus();
    f.key(f.canvas(), Qt::Key_B);
    ASSERT_TRUE(f.canvas()->isEditingTitle());
    EditingTextView* note = f.window->contentViewController()->editorContentViewController()->noteViewController()->noteView();
    ASSERT_TRUE(note->isVisible());
    QTest::mouseClick(note->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    RunLoop::drain();
    EXPECT_FALSE(f.canvas()->isEditingTitle());
    EXPECT_EQ(f.node(f.child.uid).title, "b");
    EXPECT_EQ(f.undo().undoActionName(), "Edit Node Title");
    EXPECT_TRUE(note->hasFocus());
}

} // namespace

// Keys typed faster than the program turns (on a busy machine, or from a tool) arrive in one batch: nothing runs
// between Tab and the letters after it, so the new child's editor is not open yet when they come. They name the
// new child all the same, and the node selected before keeps its title.
TEST(TitleEditing, KeysTypedRightAfterTabNameTheNewChild)
{
    TitleFixture f;
    InputInOrder::install();
    f.select({f.child});
    f.canvas()->setFocus();
    const std::string before = f.node(f.child.uid).title;
    QTest::keyClick(f.canvas(), Qt::Key_Tab);
    // Each key goes where the window sends it as it comes: to the widget that has the keyboard.
    for (const QChar letter : QStringLiteral("Zcommitted"))
        QTest::keyClicks(QApplication::focusWidget(), letter);
    ASSERT_TRUE(f.canvas()->isEditingTitle());
    f.key(f.editor(), Qt::Key_Return);
    const std::vector<std::int64_t> children = f.node(f.child.uid).childrenUIDs;
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(f.node(children.front()).title, "Zcommitted");
    EXPECT_EQ(f.node(f.child.uid).title, before);
    EXPECT_EQ(f.undo().undoActionName(), "New Child Node");
}
