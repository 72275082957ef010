#include "inspector/DocumentContentInspector.h"

#include <QLineEdit>

#include "kit/EditingTextView.h"
#include "InspectorTestSupport.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

class DocumentContentInspectorTest : public test::InspectorWindowTest {
protected:
    void SetUp() override
    {
        InspectorWindowTest::SetUp();
        doc->setFileURL("/maps/Trip plans.2027.vqmap");
        doc->beginEditingSession("Set Up");
        doc->setProjectTitle("Trip");
        doc->setProjectAuthor("Ada");
        doc->updateProjectNotes("Pack light.");
        doc->commitEditingSession();
        doc->undoManager()->removeAllActions();
        host(pane, {560, 420});
    }
    void confirm(QLineEdit* field, const QString& text)
    {
        field->setFocus(Qt::MouseFocusReason);
        field->selectAll();
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        settle();
    }

    DocumentContentInspector* pane = new DocumentContentInspector(&window); // owned by the window, hosted or not
};

} // namespace

TEST_F(DocumentContentInspectorTest, TitleAndAuthorAreOneStepEachAndAnEmptyTitleShowsTheFileName)
{
    EXPECT_TRUE(pane->fillsScrollView());
    EXPECT_EQ(pane->titleField()->text(), QStringLiteral("Trip"));
    EXPECT_EQ(pane->authorField()->text(), QStringLiteral("Ada"));
    EXPECT_EQ(pane->noteView()->toPlainText(), QStringLiteral("Pack light."));
    test::saveScreenshot(&window, QStringLiteral("document-content-inspector"));

    confirm(pane->authorField(), QStringLiteral("Ada"));
    EXPECT_FALSE(doc->undoManager()->canUndo());

    confirm(pane->titleField(), QString());
    EXPECT_EQ(doc->project().title, "");
    EXPECT_EQ(undoName(), "Change Document Title");
    EXPECT_EQ(pane->titleField()->placeholderText(), QStringLiteral("Trip plans.2027"));

    confirm(pane->authorField(), QStringLiteral("Grace"));
    EXPECT_EQ(doc->project().author, "Grace");
    EXPECT_EQ(undoName(), "Change Document Author");

    // Undo replaces the project, and the pane shows it.
    doc->undoManager()->undo();
    doc->undoManager()->undo();
    settle();
    EXPECT_EQ(pane->titleField()->text(), QStringLiteral("Trip"));
    EXPECT_EQ(pane->authorField()->text(), QStringLiteral("Ada"));
    EXPECT_FALSE(doc->undoManager()->canUndo());
}

TEST_F(DocumentContentInspectorTest, TypedNotesAreOneStepAndEscapeAbandonsThem)
{
    pane->noteView()->setFocus(Qt::MouseFocusReason);
    pane->noteView()->moveCursor(QTextCursor::End);
    QTest::keyClicks(pane->noteView(), QStringLiteral(" Take a map."));
    QTest::keyClick(pane->noteView(), Qt::Key_Return);
    QTest::keyClicks(pane->noteView(), QStringLiteral("Second paragraph."));
    settle();
    EXPECT_EQ(doc->project().notes, "Pack light. Take a map.\nSecond paragraph.");
    EXPECT_TRUE(doc->isInEditingSession());
    canvas->setFocus(Qt::MouseFocusReason);
    settle();
    EXPECT_FALSE(doc->isInEditingSession());
    EXPECT_EQ(undoName(), "Change Document Notes");
    EXPECT_FALSE(pane->noteView()->document()->isUndoAvailable());
    doc->undoManager()->undo();
    settle();
    EXPECT_FALSE(doc->undoManager()->canUndo());
    EXPECT_EQ(pane->noteView()->toPlainText(), QStringLiteral("Pack light."));

    pane->noteView()->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(pane->noteView(), QStringLiteral("scribble"));
    settle();
    EXPECT_TRUE(pane->isEditing());
    QTest::keyClick(pane->noteView(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(pane->isEditing());
    EXPECT_FALSE(doc->isInEditingSession());
    EXPECT_EQ(doc->project().notes, "Pack light.");
    EXPECT_EQ(pane->noteView()->toPlainText(), QStringLiteral("Pack light."));
    EXPECT_FALSE(doc->undoManager()->canUndo());
    EXPECT_TRUE(canvas->hasFocus());
}
