#pragma once

// A canvas and its controller in a shown window, driven through the dispatcher as the menus and the toolbar
// drive them: commands sent by selector name, menu and toolbar items validated the same way.

#include <QVBoxLayout>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "canvas/GraphView.h"
#include "document/VQDocument.h"
#include "editor/GraphViewController.h"
#include "kit/ScrollView.h"
#include "platform/ActionDispatcher.h"
#include "platform/RunLoop.h"
#include "platform/UndoManager.h"

namespace velquine::test {

struct ControllerEditor {
    std::shared_ptr<VQDocument> document = std::make_shared<VQDocument>();
    QWidget window;
    ScrollView* scrollView = new ScrollView;
    GraphView* graphView = new GraphView;
    std::shared_ptr<GraphViewController> controller;
    ActionDispatcher dispatcher;
    int titleEditorsStarted = 0;

    ControllerEditor()
    {
        window.resize(800, 600);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(scrollView);
        scrollView->setDocumentView(graphView);
        window.show();
        controller = GraphViewController::create(document, graphView, scrollView);
        controller->setTitleEditorStarter([this](bool, std::function<void()>) { ++titleEditorsStarted; });
        dispatcher.setChain({controller.get()});
        RunLoop::drain();
    }
    bool send(const std::string& selector, const std::string& title = "")
    {
        ActionItem item;
        item.action = selector;
        item.title = title;
        bool sent = dispatcher.sendAction(selector, &item);
        RunLoop::drain();
        return sent;
    }
    ActionItem validate(const std::string& selector)
    {
        ActionItem item;
        item.action = selector;
        dispatcher.validateMenuItem(item);
        return item;
    }
    // The same item as a toolbar button sees it, with its on/off state.
    ActionItem validateToolbar(const std::string& selector)
    {
        ActionItem item;
        item.action = selector;
        item.kind = ActionItemKind::toolbarItem;
        dispatcher.validateToolbarItem(item);
        return item;
    }
    UndoManager& undo() { return *document->undoManager(); }
    Graph& graph() { return document->projectForLoading().graph; }
    Node node(std::int64_t uid) { return *graph().node(uid); }
    // A root with two children, committed as one step.
    std::vector<Node> tree()
    {
        document->beginEditingSession("Build");
        Node root = document->createRootNode("Root", {0, 0}, false);
        Node a = *document->createChildNode(root, "A", std::nullopt, true, false);
        Node b = *document->createChildNode(root, "B", std::nullopt, true, false);
        document->commitEditingSession();
        RunLoop::drain();
        return {node(root.uid), node(a.uid), node(b.uid)};
    }
    void select(const std::vector<Node>& nodes)
    {
        controller->selectNodes(nodes, false);
        RunLoop::drain();
    }
};

} // namespace velquine::test
