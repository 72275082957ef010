#include "platform/UndoManager.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace velquine;

namespace {

// A value whose every change registers the way back, the way the document does it with whole projects:
// the closure restores the old value through the same setter, which registers the reverse again.
struct Editable {
    UndoManager& undo;
    std::string value;

    void set(const std::string& newValue, const std::string& label)
    {
        const std::string old = value;
        undo.registerUndo([this, old, label] { set(old, label); });
        undo.setActionName(label);
        value = newValue;
    }
};

} // namespace

TEST(UndoManager, AFreshManagerHasNothingToUndoOrRedo)
{
    UndoManager undo;
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoActionName(), "");
    EXPECT_EQ(undo.redoActionName(), "");
    EXPECT_FALSE(undo.undo());
    EXPECT_FALSE(undo.redo());
    undo.setActionName("ignored"); // no step to name
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(undo.undoActionName(), "");
}

TEST(UndoManager, UndoFillsRedoAndRedoFillsUndoUnderTheSameName)
{
    UndoManager undo;
    Editable doc{undo, "a"};
    doc.set("b", "Change Label");
    EXPECT_TRUE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoActionName(), "Change Label");

    EXPECT_TRUE(undo.undo());
    EXPECT_EQ(doc.value, "a");
    EXPECT_FALSE(undo.canUndo());
    EXPECT_TRUE(undo.canRedo());
    EXPECT_EQ(undo.redoActionName(), "Change Label");
    EXPECT_EQ(undo.undoActionName(), "");

    EXPECT_TRUE(undo.redo());
    EXPECT_EQ(doc.value, "b");
    EXPECT_TRUE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoActionName(), "Change Label");

    // And round again.
    EXPECT_TRUE(undo.undo());
    EXPECT_EQ(doc.value, "a");
    EXPECT_TRUE(undo.redo());
    EXPECT_EQ(doc.value, "b");
}

TEST(UndoManager, EveryRegistrationIsOneStepEvenWithinOneTurn)
{
    UndoManager undo;
    Editable doc{undo, "0"};
    doc.set("1", "One");
    doc.set("2", "Two");
    doc.set("3", "Three");
    EXPECT_EQ(undo.undoActionName(), "Three");
    undo.undo();
    EXPECT_EQ(doc.value, "2");
    EXPECT_EQ(undo.undoActionName(), "Two");
    EXPECT_EQ(undo.redoActionName(), "Three");
    undo.undo();
    EXPECT_EQ(doc.value, "1");
    EXPECT_EQ(undo.undoActionName(), "One");
    EXPECT_EQ(undo.redoActionName(), "Two");
    undo.undo();
    EXPECT_EQ(doc.value, "0");
    EXPECT_FALSE(undo.canUndo());
    undo.redo();
    undo.redo();
    EXPECT_EQ(doc.value, "2");
    EXPECT_EQ(undo.redoActionName(), "Three");
    EXPECT_EQ(undo.undoActionName(), "Two");
}

TEST(UndoManager, RedoingKeepsTheRestOfTheRedoHistoryButAFreshChangeClearsIt)
{
    UndoManager undo;
    Editable doc{undo, "0"};
    doc.set("1", "One");
    doc.set("2", "Two");
    doc.set("3", "Three");
    undo.undo();
    undo.undo();
    undo.undo();
    undo.redo(); // registers into the undo stack while redoing: the redo history stays
    EXPECT_EQ(doc.value, "1");
    EXPECT_TRUE(undo.canRedo());
    EXPECT_EQ(undo.redoActionName(), "Two");

    doc.set("x", "Other"); // a fresh change outside undo and redo
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.redoActionName(), "");
    EXPECT_EQ(undo.undoActionName(), "Other");
    undo.undo();
    EXPECT_EQ(doc.value, "1");
    undo.undo();
    EXPECT_EQ(doc.value, "0");
}

TEST(UndoManager, TheReverseStepTakesTheUndoneNameUnlessItNamesItself)
{
    UndoManager undo;
    int value = 0;
    undo.registerUndo([&] {
        value = 0;
        undo.registerUndo([&] { value = 1; }); // no name of its own
    });
    undo.setActionName("Move Nodes");
    undo.undo();
    EXPECT_EQ(undo.redoActionName(), "Move Nodes");

    undo.removeAllActions();
    undo.registerUndo([&] { undo.registerUndo([] {}); undo.setActionName("Renamed While Undoing"); });
    undo.setActionName("Original");
    undo.undo();
    EXPECT_EQ(undo.redoActionName(), "Renamed While Undoing");
}

TEST(UndoManager, UndoingAStepThatRegistersNothingLeavesNothingToRedo)
{
    UndoManager undo;
    int calls = 0;
    undo.registerUndo([&] { ++calls; });
    undo.setActionName("Cancel");
    EXPECT_TRUE(undo.undo());
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(undo.canRedo());
    EXPECT_FALSE(undo.undo());
    EXPECT_EQ(calls, 1);
}

TEST(UndoManager, RegistrationsOfOneUndoFormOneRedoStepRunNewestFirst)
{
    UndoManager undo;
    std::vector<std::string> ran;
    undo.registerUndo([&] {
        ran.push_back("undo");
        undo.registerUndo([&] { ran.push_back("redo part 1"); });
        undo.registerUndo([&] { ran.push_back("redo part 2"); });
    });
    undo.undo();
    EXPECT_TRUE(undo.canRedo());
    undo.redo();
    EXPECT_EQ(ran, (std::vector<std::string>{"undo", "redo part 2", "redo part 1"}));
    EXPECT_FALSE(undo.canRedo());
}

TEST(UndoManager, RemoveAllActionsForgetsBothHistories)
{
    UndoManager undo;
    Editable doc{undo, "0"};
    doc.set("1", "One");
    doc.set("2", "Two");
    undo.undo();
    ASSERT_TRUE(undo.canUndo());
    ASSERT_TRUE(undo.canRedo());
    undo.removeAllActions();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoActionName(), "");
    EXPECT_EQ(undo.redoActionName(), "");
}

TEST(UndoManager, UndoFromInsideAnUndoIsRefused)
{
    UndoManager undo;
    std::vector<std::string> ran;
    undo.registerUndo([&] { ran.push_back("first"); });
    undo.registerUndo([&] {
        ran.push_back("second");
        EXPECT_TRUE(undo.isUndoing());
        EXPECT_FALSE(undo.undo());
        EXPECT_FALSE(undo.redo());
    });
    undo.undo();
    EXPECT_EQ(ran, (std::vector<std::string>{"second"}));
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_TRUE(undo.canUndo());
}

TEST(UndoManager, AFailingStepReachesTheCallerAndLeavesTheManagerUsable)
{
    UndoManager undo;
    undo.registerUndo([] { throw std::runtime_error("restore failed"); });
    EXPECT_THROW(undo.undo(), std::runtime_error);
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_FALSE(undo.canUndo());
    Editable doc{undo, "a"};
    doc.set("b", "After");
    EXPECT_FALSE(undo.canRedo()); // a normal registration again, not one into the redo stack
    undo.undo();
    EXPECT_EQ(doc.value, "a");
    EXPECT_EQ(undo.redoActionName(), "After");
}

TEST(UndoManager, TheChangeCallbackFollowsEveryChangeOnceAnUndoIsOver)
{
    UndoManager undo;
    std::vector<std::string> seen;
    undo.setChangeCallback([&] {
        seen.push_back(std::string(undo.canUndo() ? "U" : "-") + (undo.canRedo() ? "R" : "-") + ":"
                       + undo.undoActionName() + "/" + undo.redoActionName());
    });
    Editable doc{undo, "a"};
    doc.set("b", "Edit"); // registration, then the name
    undo.undo();
    undo.redo();
    undo.removeAllActions();
    EXPECT_EQ(seen, (std::vector<std::string>{"U-:/", "U-:Edit/", "-R:/Edit", "U-:Edit/", "--:/"}));

    undo.setChangeCallback({});
    doc.set("c", "Quiet");
    EXPECT_EQ(seen.size(), 5u);
}
