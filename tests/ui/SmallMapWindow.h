#pragma once

// An editor window on a map of a root and one child ("Root", "Alpha"), shown and active, with private
// settings and an empty undo stack.

#include <gtest/gtest.h>

#include <QTest>

#include <memory>

#include "canvas/GraphView.h"
#include "document/DocumentFactory.h"
#include "document/VQDocument.h"
#include "editor/EditorPanes.h"
#include "editor/MindMapEditorWindowController.h"
#include "kit/ScrollView.h"
#include "model/project/FactorySettings.h"
#include "model/style/ProjectStyle.h"
#include "platform/RunLoop.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"

namespace velquine::test {

struct SmallMapWindow {
    ScopedStandardUserDefaults scope;
    std::shared_ptr<VQDocument> document;
    std::unique_ptr<MindMapEditorWindowController> window;
    Node root = Node(0, std::nullopt, NodeStyle());
    Node child = Node(0, std::nullopt, NodeStyle());

    // dark: the window in the dark appearance, the map in a dark theme.
    explicit SmallMapWindow(bool dark = false)
    {
        registerFactoryDefaults();
        if (dark)
            scope.defaults().set("userInterfaceStyle", "UserInterfaceStyleDark");
        document = DocumentFactory::makeUntitledDocument();
        document->beginEditingSession("Build");
        root = document->createRootNode("Root", {0, 0}, false);
        child = *document->createChildNode(root, "Alpha", std::nullopt, true, false);
        if (dark)
            document->applyStyleToDocument(ProjectStyle::cyber(), true, true, true);
        document->commitEditingSession();
        document->undoManager()->removeAllActions();
        window = std::make_unique<MindMapEditorWindowController>(document, QStringLiteral("Untitled"));
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->resize(1200, 800);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        RunLoop::drain();
    }
    GraphView* canvas() const { return window->contentViewController()->editorContentViewController()->graphView(); }
    ScrollView* scrollView() const
    {
        return window->contentViewController()->editorContentViewController()->scrollView();
    }
    UndoManager& undo() const { return *document->undoManager(); }
    Node node(std::int64_t uid) const { return *document->project().graph.node(uid); }
    void select(const std::vector<Node>& nodes)
    {
        document->projectForLoading().setSelectedNodes(nodes);
        document->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeSelection(); });
        RunLoop::drain();
    }
    // The canvas widget's pixel showing the canvas point.
    QPoint widgetPoint(Point point) const
    {
        return canvas()->widgetRectFromLayer(Rect(point.x, point.y, 0, 0)).topLeft().toPoint();
    }
};

} // namespace velquine::test
