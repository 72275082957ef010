// An edit through the document keeps the storage of every node it does not change: in the project, in the undo
// step and in what undo puts back, so the canvas can tell changed nodes by their storage.

#include <map>

#include "DocumentTestSupport.h"
#include "document/DocumentLayout.h"

namespace velquine::testing {
namespace {

class EditSharingTest : public DocumentTest {
protected:
    // A root with 60 children of 4 children each: 301 nodes.
    void SetUp() override
    {
        DocumentTest::SetUp();
        std::vector<Node> nodes{makeNode(1, std::nullopt)};
        std::int64_t uid = 2;
        for (int main = 0; main < 60; ++main) {
            const std::int64_t mainUID = uid++;
            nodes.front().childrenUIDs.push_back(mainUID);
            Node mainNode = makeNode(mainUID, 1);
            for (int sub = 0; sub < 4; ++sub) {
                mainNode.childrenUIDs.push_back(uid);
                nodes.push_back(makeNode(uid++, mainUID));
            }
            nodes.push_back(mainNode);
        }
        document->projectForLoading().graph.storeNodes(nodes);
    }

    std::map<std::int64_t, std::shared_ptr<const Node>> storage() const
    {
        std::map<std::int64_t, std::shared_ptr<const Node>> held;
        for (const auto& [uid, node] : document->project().graph.nodeBin())
            held[uid] = document->project().graph.sharedNode(uid);
        return held;
    }

    // The identifiers whose storage differs from the held one.
    std::vector<std::int64_t> changedSince(const std::map<std::int64_t, std::shared_ptr<const Node>>& held) const
    {
        std::vector<std::int64_t> changed;
        const auto now = storage();
        for (const auto& [uid, node] : held)
            if (!now.count(uid) || now.at(uid) != node)
                changed.push_back(uid);
        return changed;
    }
};

TEST_F(EditSharingTest, ATitleEditItsUndoAndARepeatedLayoutKeepTheStorageOfUntouchedNodes)
{
    document->beginEditingSession("Layout");
    DocumentLayout(*document).autoLayoutGraph(true);
    document->commitEditingSession();
    const auto laidOut = storage();

    // Laying out again moves nothing, so every node keeps its storage.
    document->beginEditingSession("Layout Again");
    DocumentLayout(*document).autoLayoutGraph(true);
    document->commitEditingSession();
    EXPECT_THAT(changedSince(laidOut), ::testing::IsEmpty());

    document->beginEditingSession("Rename");
    Node renamed = document->project().graph.node(100).value();
    renamed.title = "renamed";
    document->updateNodes({renamed}, NodeUpdateOperation::title, false);
    document->commitEditingSession();
    EXPECT_THAT(changedSince(laidOut), ::testing::ElementsAre(100));
    EXPECT_EQ(document->editingOriginalProject().graph.sharedNode(100), laidOut.at(100))
        << "the undo snapshot holds the node as it was";
    EXPECT_EQ(document->editingOriginalProject().graph.sharedNode(7), document->project().graph.sharedNode(7));

    ASSERT_TRUE(document->undoManager()->undo());
    EXPECT_THAT(changedSince(laidOut), ::testing::IsEmpty()) << "undo puts back the very storage it held";
    EXPECT_EQ(document->project().graph.node(100)->title, "n100");
    ASSERT_TRUE(document->undoManager()->redo());
    EXPECT_THAT(changedSince(laidOut), ::testing::ElementsAre(100));
    EXPECT_EQ(document->project().graph.node(100)->title, "renamed");
}

} // namespace
} // namespace velquine::testing
