#pragma once

// A window for driving one inspector pane against a real document: a stand-in canvas on the left that takes
// the keyboard back when the document asks, the pane on the right, and a small map (Root with children A and
// B, and C below A) whose set-up left no undo step.

#include <gtest/gtest.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "document/VQDocument.h"
#include "inspector/InspectorController.h"
#include "kit/Beep.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"

namespace velquine::test {

class InspectorWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RunLoop::drain();
        Beep::resetCount();
        doc->beginEditingSession("Set Up");
        root = doc->createRootNode("Root", {0, 0}, false);
        a = *doc->createChildNode(root, "A", Point{200, -60}, false, false);
        root = *doc->project().graph.node(root.uid);
        b = *doc->createChildNode(root, "B", Point{200, 60}, false, false);
        c = *doc->createChildNode(*doc->project().graph.node(a.uid), "C", Point{400, -60}, false, false);
        doc->commitEditingSession();
        doc->undoManager()->removeAllActions();
        root = *doc->project().graph.node(root.uid);
        a = *doc->project().graph.node(a.uid);

        canvas = new QLineEdit(&window);
        canvas->setObjectName(QStringLiteral("canvas"));
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(canvas);
        doc->setFocusGraphViewHandler([this] { canvas->setFocus(Qt::OtherFocusReason); });
        settle();
    }

    void TearDown() override
    {
        window.close();
        RunLoop::drain();
    }

    // Loads the pane into the window, shows it and makes it the shown pane.
    void host(InspectorController* pane, QSize size = {560, 560})
    {
        pane->setDocument(doc);
        pane->loadViewIfNeeded();
        window.layout()->addWidget(pane);
        window.resize(size);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        pane->inspectorDidShow();
        settle();
    }

    // Selects the nodes as the canvas would: the project's selection and its event.
    void select(const std::vector<Node>& nodes)
    {
        doc->projectForLoading().setSelectedNodes(nodes);
        doc->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeSelection(); });
        settle();
    }

    // Delivers the posted document events and the window's pending events.
    void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
            RunLoop::drain();
        }
    }

    Node stored(const Node& node) const { return *doc->project().graph.node(node.uid); }
    std::string undoName() const { return doc->undoManager()->canUndo() ? doc->undoManager()->undoActionName() : ""; }

    ScopedStandardUserDefaults settings;
    std::shared_ptr<VQDocument> doc = std::make_shared<VQDocument>();
    QWidget window;
    QLineEdit* canvas = nullptr;
    Node root{-1, std::nullopt, NodeStyle()};
    Node a = root, b = root, c = root;
};

} // namespace velquine::test
