// Undo and redo through the document against a plain reference that keeps every project whole: random
// sessions of moves, renames, additions, removals, restyles, layouts and project-field changes, with undo,
// redo, cancel and selections set outside sessions mixed in, must always give back the project the reference
// holds, and a step must leave every node it does not name in the storage it had.

#include <random>

#include "DocumentTestSupport.h"
#include "document/DocumentLayout.h"
#include "document/DocumentResets.h"

namespace velquine::testing {
namespace {

class UndoStepTest : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        // Three roots, each with a few hundred nodes under it: enough for many blocks of storage.
        std::vector<Node> nodes;
        std::int64_t uid = 1;
        for (int root = 0; root < 3; ++root) {
            const std::size_t rootAt = nodes.size();
            nodes.push_back(makeNode(uid++, std::nullopt, {}, {root * 2000.0, 0}));
            for (int main = 0; main < 12; ++main) {
                const std::size_t mainAt = nodes.size();
                nodes[rootAt].childrenUIDs.push_back(uid);
                nodes.push_back(makeNode(uid++, nodes[rootAt].uid));
                for (int sub = 0; sub < 8; ++sub) {
                    nodes[mainAt].childrenUIDs.push_back(uid);
                    nodes.push_back(makeNode(uid++, nodes[mainAt].uid));
                }
            }
        }
        document->projectForLoading().graph.storeNodes(nodes);
    }

    Node anyNode()
    {
        const std::vector<Node> all = document->project().graph.allNodes();
        return all[std::uniform_int_distribution<std::size_t>(0, all.size() - 1)(random)];
    }
    int roll(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); }

    // One change of the kind, inside the open session.
    void change(int kind)
    {
        VQDocument& d = *document;
        if (d.project().graph.isEmpty() && kind < 6)
            kind = 6;
        Node node = anyNode();
        switch (kind) {
        case 0: { // moves, some with a side changed
            std::vector<Node> moved;
            for (int i = roll(20) + 1; i > 0; --i) {
                Node n = anyNode();
                n.center = Point{n.center.x + roll(90) - 45, n.center.y + 0.25 * roll(9)};
                if (roll(3) == 0)
                    n.horizontalAffinity = HorizontalAffinity::left;
                moved.push_back(n);
            }
            d.updateNodes(moved, NodeUpdateOperation::position, false);
            break;
        }
        case 1: // a rename (or only its time stamp), and sometimes a move of the same node
            if (roll(3))
                node.title = "t" + std::to_string(roll(1000));
            if (roll(2))
                node.center.x += 7;
            d.updateNodes({node}, NodeUpdateOperation::title, false);
            break;
        case 2:
            d.createChildNode(node, "child", roll(2) ? std::optional(Point{node.center.x + 50, 3}) : std::nullopt,
                              roll(2) == 0, false);
            break;
        case 3:
            d.deleteNodes({node}, roll(2) == 0, false);
            break;
        case 4:
            if (roll(2))
                DocumentResets(d).resetNodeStyle({node, anyNode()});
            else
                d.applyStyleToDocument(ProjectStyle::builtInStyles()[roll(3)], roll(2), roll(2), false);
            break;
        case 5:
            DocumentLayout(d).autoLayoutGraph(true);
            break;
        case 6:
            d.createRootNode("root", Point{double(roll(3000)), double(roll(3000))}, false);
            break;
        default: // the project's own fields
            switch (roll(5)) {
            case 0: d.setProjectTitle("title " + std::to_string(roll(9))); break;
            case 1: d.updateProjectNotes("notes " + std::to_string(roll(9))); break;
            case 2: d.setGrid(Grid{GridType(roll(3)), Size{double(8 + roll(30)), 24}}); break;
            case 3: d.setBackgroundColor(roll(2) ? Color::red() : Color::green()); break;
            default: d.projectForLoading().setSelectedNodes({node, anyNode()});
            }
        }
    }

    // After an undo or redo from the project `before` (held in `from`) to the reference `to`: every node
    // the two reference projects hold equal kept the storage it had.
    void expectUntouchedShared(const VQProject& before, const VQProject& from, const VQProject& to)
    {
        for (const auto& [uid, node] : to.graph.nodeBin()) {
            const Node* other = from.graph.findNode(uid);
            if (!other || node.differs(*other) || node.modifiedTimestamp != other->modifiedTimestamp)
                continue;
            EXPECT_EQ(document->project().graph.sharedNode(uid), before.graph.sharedNode(uid)) << "node " << uid;
        }
    }

    std::mt19937 random{20261208};
};

TEST_F(UndoStepTest, RandomSessionsUndoAndRedoGiveBackTheWholeProjectsAReferenceKept)
{
    std::vector<VQProject> history{document->project()};
    std::size_t at = 0;
    int undone = 0, redone = 0;
    for (int round = 0; round < 400; ++round) {
        const int action = roll(11);
        if (action == 10 && !document->project().graph.isEmpty()) {
            // The canvas sets the selection outside sessions; undo and redo put back the one they were taken with.
            document->projectForLoading().setSelectedNodes({anyNode()});
            history[at] = document->project();
        } else if (action < 3 && document->undoManager()->canUndo()) {
            const VQProject before = document->project();
            ASSERT_TRUE(document->undoManager()->undo());
            --at;
            ++undone;
            ASSERT_TRUE(sameProject(document->project(), history[at])) << "undo in round " << round;
            expectUntouchedShared(before, history[at + 1], history[at]);
        } else if (action < 5 && document->undoManager()->canRedo()) {
            const VQProject before = document->project();
            ASSERT_TRUE(document->undoManager()->redo());
            ++at;
            ++redone;
            ASSERT_TRUE(sameProject(document->project(), history[at])) << "redo in round " << round;
            expectUntouchedShared(before, history[at - 1], history[at]);
        } else {
            document->beginEditingSession("Edit");
            for (int i = roll(3) + 1; i > 0; --i)
                change(roll(8));
            if (action == 9) {
                document->cancelEditingSession();
                ASSERT_TRUE(sameProject(document->project(), history[at])) << "cancel in round " << round;
                continue;
            }
            document->commitEditingSession();
            history.resize(++at);
            history.push_back(document->project());
        }
        RunLoop::drain();
    }
    EXPECT_GT(undone, 60);
    EXPECT_GT(redone, 15);
    // All the way back and forth again.
    while (document->undoManager()->undo())
        --at;
    ASSERT_EQ(at, 0u);
    EXPECT_TRUE(sameProject(document->project(), history.front()));
    while (document->undoManager()->redo())
        ++at;
    EXPECT_TRUE(sameProject(document->project(), history[at]));
    EXPECT_EQ(at + 1, history.size());
}

} // namespace
} // namespace velquine::testing
