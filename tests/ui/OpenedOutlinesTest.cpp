// Outlines of many trees, opened from OPML and indented text files or pasted, show every tree apart from the
// others in the editor window.

#include "document/DocumentFactory.h"
#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <map>

#include "canvas/GraphView.h"
#include "canvas/layers/NodeLayer.h"
#include "document/FileTypes.h"
#include "document/VQDocument.h"
#include "document/DocumentImport.h"
#include "document/DocumentClipboard.h"
#include "editor/EditorPanes.h"
#include "editor/MindMapEditorWindowController.h"
#include "kit/ScrollView.h"
#include "model/project/FactorySettings.h"
#include "platform/Pasteboard.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "UiTestSupport.h"
#include "canvas/CanvasSync.h"

using namespace velquine;

namespace {

// One top-level item of the generated outline: its title and the titles of its descendants with their depth.
using Item = std::vector<std::pair<int, std::string>>;

// Top-level items of mixed shapes: single lines, heading chains (one long-titled child a level, six levels
// down), bushy trees three levels deep and lopsided ones five levels deep.
std::vector<Item> outlineItems(int count)
{
    std::vector<Item> items;
    for (int k = 0; k < count; ++k) {
        const std::string name = "Topic " + std::to_string(k);
        Item item{{0, name}};
        switch (k % 4) {
        case 1:
            for (int depth = 1; depth <= 6; ++depth)
                item.emplace_back(depth, "Heading " + std::to_string(depth) + " of " + name +
                                             " with a title as long as a section's");
            break;
        case 2:
            for (int c = 0; c < 3; ++c) {
                item.emplace_back(1, name + "." + std::to_string(c));
                for (int g = 0; g < 2; ++g)
                    item.emplace_back(2, name + "." + std::to_string(c) + "." + std::to_string(g));
            }
            break;
        case 3:
            item.emplace_back(1, "Part one");
            for (int depth = 2; depth <= 4; ++depth)
                item.emplace_back(depth, "Level " + std::to_string(depth));
            item.emplace_back(1, "Part two");
            item.emplace_back(2, "Detail");
            break;
        default:
            break;
        }
        items.push_back(std::move(item));
    }
    return items;
}

std::string indentedText(const std::vector<Item>& items)
{
    std::string text;
    for (const Item& item : items)
        for (const auto& [depth, title] : item)
            text += std::string(std::size_t(depth), '\t') + title + "\n";
    return text;
}

std::string opml(const std::vector<Item>& items)
{
    std::string text = "<?xml version=\"1.0\"?><opml version=\"2.0\"><head><title>Outline</title></head><body>\n";
    for (const Item& item : items) {
        int open = 0;
        for (const auto& [depth, title] : item) {
            for (; open > depth; --open)
                text += "</outline>";
            text += "<outline text=\"" + title + "\">";
            open = depth + 1;
        }
        for (; open > 0; --open)
            text += "</outline>";
        text += "\n";
    }
    return text + "</body></opml>\n";
}

// The frames of the node layers, by the root of the tree each node belongs to.
std::map<std::int64_t, std::vector<Rect>> framesByTree(GraphView& canvas, const Graph& graph)
{
    std::map<std::int64_t, std::vector<Rect>> frames;
    for (const auto& layer : canvas.sync().nodeLayers())
        frames[graph.rootAncestor(layer->node()).uid].push_back(layer->frame());
    return frames;
}

// The first pair of frames of different trees that intersect, described; empty when there is none.
std::string firstOverlap(const std::map<std::int64_t, std::vector<Rect>>& frames)
{
    std::vector<std::pair<Rect, std::int64_t>> all;
    for (const auto& [root, rects] : frames)
        for (const Rect& rect : rects)
            all.emplace_back(rect, root);
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.first.minX() < b.first.minX(); });
    for (std::size_t i = 0; i < all.size(); ++i)
        for (std::size_t j = i + 1; j < all.size() && all[j].first.minX() < all[i].first.maxX(); ++j)
            if (all[i].second != all[j].second && all[i].first.intersects(all[j].first))
                return "trees " + std::to_string(all[i].second) + " and " + std::to_string(all[j].second);
    return {};
}

struct OpenedOutlines : ::testing::Test {
    ScopedStandardUserDefaults scope;
    QTemporaryDir dir;
    OpenedOutlines() { registerFactoryDefaults(); }

    // Opens the document in an editor window and checks its canvas once the window has drawn it.
    void expectTreesApart(const std::shared_ptr<VQDocument>& document, std::size_t trees, const QString& name)
    {
        ASSERT_TRUE(document);
        MindMapEditorWindowController window(document, name);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        RunLoop::drain();
        GraphView& canvas = *window.contentViewController()->editorContentViewController()->graphView();
        EXPECT_EVENTUALLY_EQ(canvas.sync().nodeLayers().size(), document->project().graph.count());
        const auto frames = framesByTree(canvas, document->project().graph);
        EXPECT_EQ(frames.size(), trees);
        EXPECT_EQ(firstOverlap(frames), "") << name.toStdString();
        // The whole map as far out as the view zooms.
        const Rect bounds = document->project().graph.boundingRect();
        window.contentViewController()->editorContentViewController()->scrollView()->setMagnification(
            0.25, Point{bounds.midX(), bounds.midY()});
        RunLoop::drain();
        test::saveScreenshot(&window, name);
        window.close();
    }
};

} // namespace

TEST_F(OpenedOutlines, OpenedAndPastedOutlinesOfManyTreesKeepEveryTreeApart)
{
    for (const int count : {2, 15, 200}) {
        SCOPED_TRACE(count);
        const std::vector<Item> items = outlineItems(count);
        const std::string base = dir.filePath(QStringLiteral("outline-%1").arg(count)).toStdString();
        std::ofstream(base + ".opml") << opml(items);
        std::ofstream(base + ".txt") << indentedText(items);
        for (const char* extension : {".opml", ".txt"}) {
            const std::string path = base + extension;
            expectTreesApart(DocumentFactory::makeDocumentForURL(path, FileTypes::typeNameForFile(path)), items.size(),
                             QStringLiteral("opened-outline-%1%2").arg(count).arg(QString::fromLatin1(extension + 1)));
        }
    }

    // One tree, a heading chain that grows to one side of its root, keeps its place: the root 50 points up
    // and left of the point the grid is centred on.
    VQDocument single;
    DocumentImport(single).importOutlineText(indentedText({outlineItems(2)[1]}));
    ASSERT_EQ(single.project().graph.count(), 7u);
    for (const Node& node : single.project().graph.allNodes()) {
        if (!node.parentUID) {
            EXPECT_EQ(node.center, (Point{-50, -50}));
        }
    }

    // Pasted into an empty map.
    auto document = std::make_shared<VQDocument>();
    Pasteboard board;
    board.setString(indentedText(outlineItems(15)), Pasteboard::stringType);
    document->beginEditingSession("Paste");
    ASSERT_TRUE(DocumentClipboard(*document).pasteFromPasteBoard(Point{0, 0}, true, board));
    document->commitEditingSession();
    expectTreesApart(document, 15, QStringLiteral("pasted-outline-15"));
}
