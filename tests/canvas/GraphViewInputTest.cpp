// Clicks, Shift/Ctrl clicks, the canvas keys and arrow-key navigation on a canvas in a real window.
#include <gtest/gtest.h>

#include <QTest>
#include <QVBoxLayout>

#include "GraphViewTestSupport.h"
#include "document/VQDocument.h"
#include "kit/Beep.h"
#include "kit/WindowActions.h"
#include "support/QtWait.h"
#include "canvas/NavigationInteraction.h"
#include "canvas/CanvasSync.h"

namespace velquine::testing {
namespace {

class RecordingDelegate : public GraphViewDelegate {
public:
    void abandonTitleEdit() override
    {
        if (doc && doc->isInEditingSession())
            doc->cancelEditingSession();
    }
    void selectNodes(const std::vector<Node>& nodes, bool) override
    {
        std::vector<std::int64_t> uids;
        for (const Node& node : nodes)
            uids.push_back(node.uid);
        selections.push_back(uids);
    }
    void pointerDidSelectNodes(const std::vector<Node>& nodes) override
    {
        if (!doc)
            return;
        doc->setSelectedNodes(nodes);
        doc->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeSelection(); });
    }
    VQDocument* doc = nullptr;
    std::vector<std::vector<std::int64_t>> selections;
};

class CommandRecorder : public Responder {
public:
    CommandRecorder()
    {
        for (const char* selector : {"deselectAll:", "newChildNode:", "newSiblingNode:", "delete:", "deleteSingle:"})
            addAction(selector, [this, selector](const ActionItem*) { sent.push_back(selector); });
    }
    std::vector<std::string> sent;
};

struct CanvasWindow {
    explicit CanvasWindow(const VQProject& project)
    {
        document.projectForLoading() = project;
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        view = new GraphView(Rect(0, 0, 1600, 900));
        layout->addWidget(view);
        view->setGraph(project.graph);
        delegate->doc = &document;
        view->setDelegate(delegate);
        (new WindowActions(&window))->dispatcher().setChain({&commands});
        window.resize(1600, 900);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        view->setFocus();
    }
    QPoint at(std::int64_t uid) const
    {
        return view->widgetRectFromLayer(view->nodeLayer(uid)->frame()).center().toPoint();
    }
    void push(const std::vector<std::int64_t>& uids)
    {
        view->showSelection(view->graph().nodes(uids));
    }
    QWidget window;
    GraphView* view = nullptr;
    VQDocument document;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    CommandRecorder commands;
};

std::vector<std::int64_t> documentSelection(const VQDocument& document)
{
    return document.project().selectedNodeUIDs;
}

TEST(GraphViewInput, ClicksSelectAndShiftOrCtrlClicksAddAndRemove)
{
    const VQProject project = sampleProject(1, 2, 0);
    CanvasWindow canvas(project);
    const Node root = project.graph.nodeBin().begin()->second;
    const std::int64_t a = root.childrenUIDs[0], b = root.childrenUIDs[1];

    QTest::mouseClick(canvas.view, Qt::LeftButton, {}, canvas.at(a));
    EXPECT_EQ(documentSelection(canvas.document), std::vector<std::int64_t>{a}); // written at mouse-down
    ASSERT_FALSE(canvas.delegate->selections.empty());
    EXPECT_EQ(canvas.delegate->selections.back(), std::vector<std::int64_t>{a});
    EXPECT_TRUE(canvas.view->nodeLayer(a)->isSelected());
    canvas.push({a});

    for (auto modifier : {Qt::ShiftModifier, Qt::ControlModifier}) {
        const std::size_t calls = canvas.delegate->selections.size();
        QTest::mouseClick(canvas.view, Qt::LeftButton, modifier, canvas.at(b));
        EXPECT_EQ(documentSelection(canvas.document), (std::vector<std::int64_t>{a, b}));
        EXPECT_FALSE(canvas.view->isGestureActive()); // no drag, no narrowing
        EXPECT_EQ(canvas.delegate->selections.size(), calls);
        canvas.push({a, b});
        QTest::mouseClick(canvas.view, Qt::LeftButton, modifier, canvas.at(a));
        EXPECT_EQ(documentSelection(canvas.document), std::vector<std::int64_t>{b});
        canvas.push({a});
    }

    // A plain click on one node of a multiple selection narrows it on release.
    canvas.push({a, b});
    QTest::mouseClick(canvas.view, Qt::LeftButton, {}, canvas.at(b));
    EXPECT_EQ(canvas.delegate->selections.back(), std::vector<std::int64_t>{b});

    // A click on empty canvas clears the document's selection at once and selects nothing on release.
    const std::size_t calls = canvas.delegate->selections.size();
    QTest::mouseClick(canvas.view, Qt::LeftButton, {}, QPoint(5, 880));
    EXPECT_TRUE(documentSelection(canvas.document).empty());
    EXPECT_EQ(canvas.delegate->selections.size(), calls);
    EXPECT_FALSE(canvas.view->isGestureActive());
}

TEST(GraphViewInput, CanvasKeysSendTheWindowsCommands)
{
    const VQProject project = sampleProject(1, 2, 0);
    CanvasWindow canvas(project);
    const Node root = project.graph.nodeBin().begin()->second;
    Beep::resetCount();

    // Without a selection Escape passes on and Tab beeps.
    QTest::keyClick(canvas.view, Qt::Key_Escape);
    QTest::keyClick(canvas.view, Qt::Key_Tab);
    EXPECT_TRUE(canvas.commands.sent.empty());
    EXPECT_EQ(Beep::count(), 1);

    canvas.push({root.uid});
    QTest::keyClick(canvas.view, Qt::Key_Tab);
    QTest::keyClick(canvas.view, Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(canvas.view, Qt::Key_Return);
    QTest::keyClick(canvas.view, Qt::Key_Delete);
    QTest::keyClick(canvas.view, Qt::Key_Delete, Qt::ShiftModifier);
    QTest::keyClick(canvas.view, Qt::Key_Escape);
    EXPECT_EQ(canvas.commands.sent, (std::vector<std::string>{"newChildNode:", "newChildNode:", "newSiblingNode:",
                                                              "delete:", "deleteSingle:", "deselectAll:"}));
    EXPECT_TRUE(canvas.view->hasFocus()); // Tab did not move the focus away
}

TEST(GraphViewInput, ArrowsFollowTheTreeThenTheNearestNodeAndBeepAtTheEdge)
{
    // A horizontal tree: main 0 to the right of the root, main 1 to the left, each with three subs.
    const VQProject project = sampleProject(1, 2, 3);
    CanvasWindow canvas(project);
    const Node root = project.graph.nodeBin().begin()->second;
    const Node right = *project.graph.findNode(root.childrenUIDs[0]);
    const Node left = *project.graph.findNode(root.childrenUIDs[1]);
    const auto& subs = right.childrenUIDs;
    const auto press = [&](Qt::Key key) {
        QTest::keyClick(canvas.view, key);
        return canvas.delegate->selections.empty() ? 0 : canvas.delegate->selections.back().front();
    };

    canvas.push({root.uid});
    EXPECT_EQ(press(Qt::Key_Right), right.uid);
    EXPECT_EQ(press(Qt::Key_Left), left.uid);
    canvas.push({right.uid});
    EXPECT_EQ(press(Qt::Key_Left), root.uid); // the parent
    canvas.push({subs[1]});
    EXPECT_EQ(press(Qt::Key_Up), subs[0]);    // siblings on the same side
    EXPECT_EQ(press(Qt::Key_Down), subs[2]);
    EXPECT_EQ(press(Qt::Key_Left), right.uid);

    // From a root along the sibling axis the spatial search decides; nothing beyond the edge beeps.
    canvas.push({subs[0]});
    Beep::resetCount();
    const std::size_t calls = canvas.delegate->selections.size();
    press(Qt::Key_Right);
    EXPECT_EQ(canvas.delegate->selections.size(), calls);
    EXPECT_EQ(Beep::count(), 1);

    EXPECT_EQ(NavigationInteraction::squaredDistanceToNearestCorner(Rect(10, 10, 20, 20), {0, 0}), 200.0);
}

TEST(GraphViewInput, HomeSelectsTheRootAndEndTheNewestNodeOfTheTree)
{
    VQProject project = sampleProject(2, 2, 1);
    std::vector<Node> roots;
    for (const auto& [uid, node] : project.graph.nodeBin())
        if (!node.parentUID)
            roots.push_back(node);
    ASSERT_EQ(roots.size(), 2u);
    // The newest change in the first tree is one of its sub nodes.
    const std::vector<Node> tree = project.graph.subtree(roots[0]);
    Node newest = tree.back();
    newest.modifiedTimestamp = tree.front().modifiedTimestamp + 100;
    project.graph.updateNodes({newest});
    CanvasWindow canvas(project);
    const auto press = [&](Qt::Key key) {
        QTest::keyClick(canvas.view, key);
        return canvas.delegate->selections.empty() ? 0 : canvas.delegate->selections.back().front();
    };
    Beep::resetCount();

    canvas.push({tree[1].uid});
    EXPECT_EQ(press(Qt::Key_Home), roots[0].uid);
    EXPECT_EQ(press(Qt::Key_End), newest.uid);
    // End shows its choice at once.
    EXPECT_EQ(canvas.view->selectedNodeUIDs(), std::vector<std::int64_t>{newest.uid});
    EXPECT_TRUE(canvas.view->nodeLayer(newest.uid)->isSelected());

    // Without a selection Home picks a root of the map and End beeps.
    canvas.push({});
    const std::int64_t home = press(Qt::Key_Home);
    EXPECT_TRUE(home == roots[0].uid || home == roots[1].uid);
    const std::size_t calls = canvas.delegate->selections.size();
    press(Qt::Key_End);
    EXPECT_EQ(canvas.delegate->selections.size(), calls);
    EXPECT_EQ(Beep::count(), 1);
}

} // namespace
} // namespace velquine::testing
