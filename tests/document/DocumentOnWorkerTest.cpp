// A document written and read on a worker thread (LongWork) while the main thread goes on editing it: the file
// holds the map as it was when the save began, the edits made meanwhile stay counted as unsaved, and an outline
// is imported (laid out and sized) on a worker as on the main thread.
#include "DocumentFilesTestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "document/DocumentFactory.h"
#include "document/VQDocument.h"
#include "model/graph/Graph.h"
#include "platform/LongWork.h"

using namespace velquine;
using namespace velquine::testing;

namespace {

constexpr const char* ownType = "io.kelvarn.velquine.mindmap";

// A root with `count` children, each with two children.
void fill(VQDocument& document, int count)
{
    document.beginEditingSession("Build");
    const Node root = document.createRootNode("Root", {0, 0}, false);
    for (int i = 0; i < count; ++i) {
        const Node child = *document.createChildNode(root.uid, "Child " + std::to_string(i));
        document.createChildNode(child.uid, "Leaf " + std::to_string(i) + "a");
        document.createChildNode(child.uid, "Leaf " + std::to_string(i) + "b");
    }
    document.commitEditingSession();
}

} // namespace

TEST(DocumentOnWorker, TheFileHoldsTheMapAsItWasWhenTheSaveBeganWhileEditsGoOn)
{
    Folder folder;
    const std::string path = folder / "map.radovudo";
    VQDocument document;
    fill(document, 300);
    const std::vector<std::string> saved = forestText(document.project().graph);

    std::optional<std::string> error;
    const std::shared_ptr<PendingSave> save = document.beginSave(path, ownType, SaveOperation::saveAs, &error);
    ASSERT_TRUE(save) << error.value_or("");
    const auto job = LongWork::start([save] { save->run(); });
    // The main thread renames and adds nodes while the worker writes the nodes they share with the save.
    int edits = 0;
    for (const auto& [uid, node] : document.project().graph.nodeBin()) {
        if (edits == 40)
            break;
        Node renamed = node;
        renamed.title += " (edited)";
        document.beginEditingSession("Edit");
        document.updateNodes({renamed}, NodeUpdateOperation::title, false);
        document.createRootNode("Added " + std::to_string(edits), {5000.0 + edits * 300, 0}, false);
        document.commitEditingSession();
        ++edits;
        QCoreApplication::processEvents();
    }
    LongWork::waitFor(job);
    ASSERT_TRUE(save->written) << save->error.value_or("");
    document.endSave(*save);
    EXPECT_EQ(document.changeCount(), edits); // the edits made meanwhile are not in the file
    EXPECT_EQ(document.fileURL(), path);

    // Read back on a worker, as the program opens a file.
    std::shared_ptr<VQDocument> read;
    LongWork::wait("Opening", [&] { read = DocumentFactory::makeDocumentForURL(path, ownType); });
    EXPECT_EQ(forestText(read->project().graph), saved);
    EXPECT_NE(forestText(document.project().graph), saved);
}

TEST(DocumentOnWorker, AnOutlineImportedOnAWorkerIsTheMapImportedOnTheMainThread)
{
    Folder folder;
    const std::string path = folder / "outline.txt";
    std::string outline;
    for (int i = 0; i < 200; ++i)
        outline += "Topic " + std::to_string(i) + "\n\tDetail " + std::to_string(i) + " with a longer title to wrap\n";
    writeBytes(path, outline);
    const auto here = DocumentFactory::makeDocumentForURL(path, "public.plain-text");
    std::shared_ptr<VQDocument> there;
    LongWork::wait("Opening", [&] { there = DocumentFactory::makeDocumentForURL(path, "public.plain-text"); });
    ASSERT_EQ(there->project().graph.count(), here->project().graph.count());
    // The same nodes in the same order, under identifiers of their own.
    auto other = there->project().graph.nodeBin().begin();
    for (const auto& [uid, node] : here->project().graph.nodeBin()) {
        EXPECT_EQ(other->second.title, node.title);
        EXPECT_EQ(other->second.size, node.size) << node.title;
        EXPECT_EQ(other->second.center, node.center) << node.title;
        ++other;
    }
}
