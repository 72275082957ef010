#pragma once

// An editor window on a map opened as the program opens a file (by default a tree of count nodes, ten children
// per node, laid out, its last node selected), or on a new, empty map. Private settings; deferred calls and
// scrolling are waited for.

#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "canvas/GraphView.h"
#include "document/DocumentFactory.h"
#include "document/DocumentLayout.h"
#include "document/FileTypes.h"
#include "document/VQDocument.h"
#include "editor/EditorPanes.h"
#include "editor/MindMapEditorWindowController.h"
#include "kit/ScrollView.h"
#include "model/project/FactorySettings.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"

namespace velquine::test {

// A map of count nodes, ten children per node, laid out; its last node selected.
inline VQProject makeTreeMap(int count)
{
    VQDocument document;
    document.beginEditingSession("Build");
    std::vector<Node> nodes{document.createRootNode("Trip to Lisbon", {0, 0}, false)};
    static const char* const words[] = {"Hotel", "Shopping", "Flights", "Museum", "Car rental", "Budget", "Tram 28",
                                        "Castle", "Beach day", "Fado night"};
    for (int i = 1; i < count; ++i) {
        const Node& parent = nodes[std::size_t((i - 1) / 10)];
        nodes.push_back(*document.createChildNode(parent.uid, std::string(words[i % 10]) + " " + std::to_string(i)));
    }
    DocumentLayout(document).autoLayoutGraph(true);
    document.projectForLoading().setSelectedNodes({*document.project().graph.node(nodes.back().uid)});
    document.commitEditingSession();
    return document.project();
}

inline Rect frameOfNode(const Node& node)
{
    return Rect(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
                node.size.height);
}

inline std::string describeRect(const Rect& r)
{
    char text[128];
    std::snprintf(text, sizeof text, "(%.1f, %.1f, %.1f x %.1f)", r.origin.x, r.origin.y, r.size.width,
                  r.size.height);
    return text;
}

struct OpenedMapWindow {
    ScopedStandardUserDefaults settings;
    QTemporaryDir folder;
    std::shared_ptr<VQDocument> document;
    std::unique_ptr<MindMapEditorWindowController> window;

    explicit OpenedMapWindow(const VQProject& project)
    {
        registerFactoryDefaults();
        const std::string path = folder.path().toStdString() + "/map.velquine";
        {
            VQDocument saved;
            saved.projectForLoading() = project;
            std::optional<std::string> error;
            EXPECT_TRUE(saved.writeToURL(path, std::string(VQDocument::documentType), &error));
        }
        open(path);
    }
    explicit OpenedMapWindow(int count) : OpenedMapWindow(makeTreeMap(count)) {}
    // A file of another type (an indented text outline, say) written with the contents and opened.
    OpenedMapWindow(const std::string& fileName, const std::string& contents)
    {
        registerFactoryDefaults();
        const std::string path = folder.path().toStdString() + "/" + fileName;
        std::ofstream(path) << contents;
        open(path);
    }
    GraphView* canvas() const { return window->contentViewController()->editorContentViewController()->graphView(); }
    // A new, empty map, as File ▸ New makes it.
    OpenedMapWindow()
    {
        registerFactoryDefaults();
        show(DocumentFactory::makeUntitledDocument());
    }
    // As the program opens a file: the document read by its type, its window made and shown.
    void open(const std::string& path) { show(DocumentFactory::makeDocumentForURL(path, FileTypes::typeNameForFile(path))); }
    void show(std::shared_ptr<VQDocument> shown)
    {
        document = std::move(shown);
        window = std::make_unique<MindMapEditorWindowController>(document, QStringLiteral("map"));
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        window->raise();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        settle();
    }
    ScrollView* scrollView() const
    {
        return window->contentViewController()->editorContentViewController()->scrollView();
    }
    // Deferred calls run and scrolling come to rest.
    void settle() const
    {
        EXPECT_TRUE(QTest::qWaitFor([this] {
            RunLoop::drain();
            return RunLoop::pendingCount() == 0 && !scrollView()->isAnimatingScroll();
        }));
        QApplication::processEvents();
        RunLoop::drain();
    }
    Rect visible() const { return scrollView()->documentVisibleRect(); }
    // A command of the window's menu bar, run as choosing it runs it.
    void triggerMenuItem(const QString& title) const
    {
        for (QAction* action : window->menuBar()->findChildren<QAction*>())
            if (action->text() == title) {
                action->trigger();
                return;
            }
        ADD_FAILURE() << "no menu item " << title.toStdString();
    }
    Rect selectedFrame() const
    {
        const auto& selection = document->project().selectedNodeUIDs;
        EXPECT_EQ(selection.size(), 1u);
        return frameOfNode(*document->project().graph.node(selection.front()));
    }
};

} // namespace velquine::test
