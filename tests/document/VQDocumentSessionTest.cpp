// Editing sessions, whole-project undo and redo, and the project setters.

#include <thread>

#include "DocumentTestSupport.h"
#include "platform/Clock.h"

namespace velquine::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SessionTest : public DocumentTest {};

TEST_F(SessionTest, NewDocumentStartsIdleWithFreshProjectsAndUpperCaseHandle)
{
    EXPECT_FALSE(document->isInEditingSession());
    EXPECT_EQ(document->editingLabel(), "");
    EXPECT_TRUE(document->project().graph.isEmpty());
    EXPECT_EQ(document->project().dataSchemaVersion(), 2);
    EXPECT_EQ(document->fileType(), "io.kelvarn.velquine.mindmap");
    EXPECT_EQ(VQDocument::writableTypes(), std::vector<std::string>{"io.kelvarn.velquine.mindmap"});
    ASSERT_EQ(document->uniqueHandle().size(), 36u);
    for (char c : document->uniqueHandle())
        EXPECT_FALSE(c >= 'a' && c <= 'z') << document->uniqueHandle();
    EXPECT_NE(document->uniqueHandle(), VQDocument().uniqueHandle());
    ASSERT_NE(document->undoManager(), nullptr);
}

TEST_F(SessionTest, SeveralEditsMakeOneUndoStepThatRestoresExactlyAndRedoReturns)
{
    document->beginEditingSession("New Root Node");
    const Node root = document->createRootNode("Root", {0, 0}, false);
    document->createChildNode(root, "Child", std::nullopt, true, false);
    document->setProjectTitle("Plans");
    document->commitEditingSession();
    const VQProject committed = document->project();

    UndoManager& undo = *document->undoManager();
    ASSERT_TRUE(undo.canUndo());
    EXPECT_EQ(undo.undoActionName(), "New Root Node");
    ASSERT_TRUE(undo.undo());
    EXPECT_FALSE(undo.canUndo()); // one step only
    EXPECT_TRUE(sameProject(document->project(), VQProject()));
    EXPECT_TRUE(document->project().graph.isEmpty());
    EXPECT_EQ(document->project().title, "");
    EXPECT_EQ(undo.redoActionName(), "New Root Node");

    ASSERT_TRUE(undo.redo());
    EXPECT_TRUE(sameProject(document->project(), committed));
    EXPECT_EQ(document->project().graph.count(), 2u);
    EXPECT_EQ(undo.undoActionName(), "New Root Node");
    EXPECT_FALSE(undo.canRedo());
}

TEST_F(SessionTest, UndoAndRedoPostReplacedProjectAndLeaveTheSessionFlagAlone)
{
    document->beginEditingSession("Change Document Title");
    document->setProjectTitle("A");
    document->commitEditingSession();
    auto listener = listen();
    document->beginEditingSession("other");
    ASSERT_TRUE(document->undoManager()->undo());
    EXPECT_TRUE(document->isInEditingSession());
    EXPECT_EQ(document->project().title, "");
    EXPECT_THAT(deliver(), ElementsAre("begin", "replace"));
}

TEST_F(SessionTest, SessionWithoutChangesStillMakesAnUndoStep)
{
    auto listener = listen();
    document->beginEditingSession("Nothing");
    document->commitEditingSession();
    EXPECT_TRUE(document->undoManager()->canUndo());
    EXPECT_EQ(document->undoManager()->undoActionName(), "Nothing");
    document->undoManager()->undo();
    EXPECT_THAT(deliver(), ElementsAre("begin", "commit", "replace"));
}

TEST_F(SessionTest, JoiningAnOpenSessionKeepsFirstLabelAndSnapshotAndAddsNoStep)
{
    auto listener = listen();
    document->beginEditingSession("New Child Node");
    document->setProjectTitle("first");
    document->beginEditingSession("Edit Node Title");
    document->setProjectAuthor("second");
    EXPECT_EQ(document->editingLabel(), "New Child Node");
    EXPECT_EQ(document->editingOriginalProject().title, "");
    document->commitEditingSession();

    UndoManager& undo = *document->undoManager();
    EXPECT_EQ(undo.undoActionName(), "New Child Node");
    undo.undo();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(document->project().title, "");
    EXPECT_EQ(document->project().author, "");
    EXPECT_THAT(deliver(), ElementsAre("begin", "info", "info", "commit", "replace"));
}

TEST_F(SessionTest, TwoCommitsInOneTurnAreTwoSteps)
{
    document->beginEditingSession("one");
    document->setProjectTitle("1");
    document->commitEditingSession();
    document->beginEditingSession("two");
    document->setProjectTitle("2");
    document->commitEditingSession();
    UndoManager& undo = *document->undoManager();
    EXPECT_EQ(undo.undoActionName(), "two");
    undo.undo();
    EXPECT_EQ(document->project().title, "1");
    EXPECT_EQ(undo.undoActionName(), "one");
    undo.undo();
    EXPECT_EQ(document->project().title, "");
}

TEST_F(SessionTest, CancelRestoresWithoutUndoStepAndSecondCancelDoesNothing)
{
    document->beginEditingSession("Setup");
    const Node root = document->createRootNode("Root", {10, 10}, false);
    document->commitEditingSession();
    const VQProject before = document->project();
    auto listener = listen();

    document->beginEditingSession("Delete");
    document->deleteNodes({root}, false, true);
    document->setProjectTitle("gone");
    document->cancelEditingSession();
    EXPECT_FALSE(document->isInEditingSession());
    EXPECT_TRUE(sameProject(document->project(), before));
    EXPECT_EQ(document->undoManager()->undoActionName(), "Setup");
    EXPECT_EQ(document->editingLabel(), "Delete"); // kept after the session
    document->cancelEditingSession();
    EXPECT_THAT(deliver(), ElementsAre("begin", listEvent("delete", {root.uid}), "info", "cancel"));

    document->undoManager()->undo();
    EXPECT_TRUE(document->project().graph.isEmpty());
}

TEST_F(SessionTest, CommitOutsideSessionOnlyLogs)
{
    auto listener = listen();
    document->commitEditingSession();
    EXPECT_TRUE(logHas(log, "commitEditingSession()", "Can't commit without being in an editing session!"));
    EXPECT_FALSE(document->undoManager()->canUndo());
    EXPECT_THAT(deliver(), IsEmpty());
}

TEST_F(SessionTest, WithoutUndoManagerSessionsStillChangeStateAndPost)
{
    document->setHasUndoManager(false);
    auto listener = listen();
    document->beginEditingSession("x");
    document->setProjectTitle("t");
    document->commitEditingSession();
    EXPECT_FALSE(document->isInEditingSession());
    document->restoreProject(VQProject(), "x");
    EXPECT_EQ(document->project().title, "");
    EXPECT_THAT(deliver(), ElementsAre("begin", "info", "commit", "replace"));
}

TEST_F(SessionTest, SettersPostOnlyWhatTheyShould)
{
    auto listener = listen();
    document->beginEditingSession("s");
    document->setProjectTitle("");         // equal: nothing
    document->setProjectAuthor("");        // equal: nothing
    document->updateProjectNotes("");      // equal, posts anyway
    document->setGrid(Grid{GridType::dots, {16, 16}});
    const Color blue = Color::sRGB(0, 0, 1);
    document->setBackgroundColor(blue);
    ProjectStyle style = ProjectStyle::seaweed();
    document->applyStyleToDocument(style, true, true, true);
    EXPECT_EQ(document->project().grid.type, GridType::dots);
    EXPECT_EQ(document->project().grid.size, (Size{16, 16}));
    EXPECT_EQ(document->project().projectStyle.name, style.name);
    document->commitEditingSession();
    EXPECT_THAT(deliver(), ElementsAre("begin", "info", "style", "background", "style", "commit"));
}

TEST_F(SessionTest, EverySetterOutsideSessionWarnsAndStillApplies)
{
    document->setProjectTitle("T");
    document->setProjectAuthor("A");
    document->updateProjectNotes("N");
    document->setGrid(Grid{GridType::quad, {8, 8}});
    const Color red = Color::sRGB(1, 0, 0);
    document->setBackgroundColor(red);
    document->applyStyleToDocument(ProjectStyle::seaweed(), false, false, false);
    EXPECT_EQ(document->project().title, "T");
    EXPECT_EQ(document->project().author, "A");
    EXPECT_EQ(document->project().notes, "N");
    EXPECT_EQ(document->project().grid.type, GridType::quad);
    for (const char* name : {"projectTitle", "projectAuthor", "updateProjectNotes(newNotes:)", "grid",
                             "backgroundColor", "applyStyleToDocument(style:applyShapes:applyBorders:autosizeNodes:)"})
        EXPECT_TRUE(logHas(log, name, outsideSessionWarning(name))) << name;
    // The background colour is set before the style replaces the values, so only the style shows now.
    EXPECT_EQ(document->project().projectStyle.current.backgroundColor,
              ProjectStyle::seaweed().current.backgroundColor);
}

TEST_F(SessionTest, FocusGraphViewAsksTheHandlerOnALaterTurnOnly)
{
    int calls = 0;
    document->focusGraphView(); // no handler: nothing happens
    RunLoop::drain();
    document->setFocusGraphViewHandler([&] { ++calls; });
    document->focusGraphView();
    EXPECT_EQ(calls, 0);
    RunLoop::drain();
    EXPECT_EQ(calls, 1);
    document->focusGraphView();
    document.reset(); // closed before the turn: nobody is asked
    RunLoop::drain();
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace velquine::testing
