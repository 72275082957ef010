#pragma once

// Shared pieces of the document tests: a listener that writes down every event, project comparison, and a
// fixture with private settings, a captured debug log and an empty run loop.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "document/VQDocument.h"
#include "document/VQDocumentPasteboard.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"

namespace velquine::testing {

// Writes "<name>:<event>" into a shared journal, so the order across listeners shows.
class RecordingListener : public VQDocumentEventListener {
public:
    RecordingListener(std::string name, std::shared_ptr<std::vector<std::string>> journal, int priority = 10)
        : name_(std::move(name)), journal_(std::move(journal)), priority_(priority)
    {
    }

    void documentDidReplaceProject() override { note("replace"); }
    void documentDidBeginEditingSession() override { note("begin"); }
    void documentDidCancelEditingSession() override { note("cancel"); }
    void documentDidCommitEditingSession() override { note("commit"); }
    void documentDidChangeProjectInfo() override { note("info"); }
    void documentDidChangeBackgroundColor() override { note("background"); }
    void documentDidChangeStyle() override { note("style"); }
    void documentDidAddNodes(const std::vector<Node>& nodes) override
    {
        note("add" + uids(nodes));
        added.insert(added.end(), nodes.begin(), nodes.end());
    }
    void documentDidUpdateNodes(const std::vector<Node>& nodes, NodeUpdateOperation operation) override
    {
        note("update" + std::to_string(static_cast<int>(operation)) + uids(nodes));
        updated = nodes;
    }
    void documentDidDeleteNodes(const std::vector<Node>& nodes) override { note("delete" + uids(nodes)); }
    void documentDidChangeSelection() override { note("selection"); }
    void documentDidReadProject() override { note("read"); }
    void documentDidSave() override { note("save"); }
    void documentDidBeginEditingNodeTitle() override { note("beginTitle"); }
    void documentDidEndEditingNodeTitle() override { note("endTitle"); }
    int priority() const override { return priority_; }

    std::vector<Node> added;
    std::vector<Node> updated;

private:
    static std::string uids(const std::vector<Node>& nodes)
    {
        std::string text = "[";
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (i)
                text += ',';
            text += std::to_string(nodes[i].uid);
        }
        text += ']';
        return text;
    }
    void note(const std::string& event)
    {
        std::string entry = name_;
        if (!entry.empty())
            entry += ':';
        entry += event;
        journal_->push_back(std::move(entry));
    }

    std::string name_;
    std::shared_ptr<std::vector<std::string>> journal_;
    int priority_;
};

// Field-by-field comparison of two projects, nodes compared in full (identifier equality is not enough);
// the message names the fields that differ.
inline ::testing::AssertionResult sameProject(const VQProject& a, const VQProject& b)
{
    if (a.title != b.title || a.author != b.author || a.notes != b.notes)
        return ::testing::AssertionFailure() << "project texts differ";
    if (!(a.projectStyle == b.projectStyle))
        return ::testing::AssertionFailure() << "project styles differ";
    if (a.grid.type != b.grid.type || !(a.grid.size == b.grid.size))
        return ::testing::AssertionFailure() << "grids differ";
    if (!(a.baseLayoutOptions == b.baseLayoutOptions))
        return ::testing::AssertionFailure() << "base layout options differ";
    if (a.selectedNodeUIDs != b.selectedNodeUIDs)
        return ::testing::AssertionFailure() << "selections differ";
    if (a.graph.count() != b.graph.count())
        return ::testing::AssertionFailure() << "node counts differ: " << a.graph.count() << " and " << b.graph.count();
    for (const auto& [uid, node] : a.graph.nodeBin()) {
        const Node* other = b.graph.findNode(uid);
        if (!other)
            return ::testing::AssertionFailure() << "node " << uid << " missing";
        if (node.differs(*other) || node.modifiedTimestamp != other->modifiedTimestamp)
            return ::testing::AssertionFailure()
                << "node " << uid << " differs:" << (node.title != other->title ? " title" : "")
                << (node.url != other->url ? " url" : "") << (node.note != other->note ? " note" : "")
                << (node.childrenUIDs != other->childrenUIDs ? " children" : "")
                << (node.parentUID != other->parentUID ? " parent" : "")
                << (!(node.center == other->center) ? " center" : "") << (!(node.size == other->size) ? " size" : "")
                << (node.shape != other->shape ? " shape" : "") << (node.image() != other->image() ? " image" : "")
                << (node.style != other->style ? " style" : "")
                << (node.createdTimestamp != other->createdTimestamp ? " created" : "")
                << (node.modifiedTimestamp != other->modifiedTimestamp ? " modified" : "")
                << (node.horizontalAffinity != other->horizontalAffinity ? " horizontal" : "")
                << (node.verticalAffinity != other->verticalAffinity ? " vertical" : "")
                << (node.layoutOptions != other->layoutOptions ? " layout" : "");
        if (node.image().has_value() != other->image().has_value()
            || (node.image() && !(*node.image() == *other->image())))
            return ::testing::AssertionFailure() << "image of node " << uid << " differs";
    }
    return ::testing::AssertionSuccess();
}

// The tail of a debug line from the function on: "<function> - <message>".
inline bool logHas(const LogCapture& log, const std::string& function, const std::string& message)
{
    std::string tail(" ");
    tail += function;
    tail += " - ";
    tail += message;
    return log.contains(tail);
}

inline std::string outsideSessionWarning(const std::string& name)
{
    std::string text("warning. ");
    text += name;
    text += " func called while not being in an editing session!";
    return text;
}

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RunLoop::drain();
        settings.defaults().registerDefaults({{"isCollisionDetectionEnabled", true}});
        journal = std::make_shared<std::vector<std::string>>();
        document = std::make_unique<VQDocument>();
    }
    void TearDown() override { RunLoop::drain(); }

    std::shared_ptr<RecordingListener> listen(const std::string& name = "", int priority = 10)
    {
        auto listener = std::make_shared<RecordingListener>(name, journal, priority);
        document->registerEventListener(listener);
        return listener;
    }
    // Runs the posted events and hands back what was recorded, clearing the journal.
    std::vector<std::string> deliver()
    {
        RunLoop::drain();
        std::vector<std::string> events = *journal;
        journal->clear();
        return events;
    }

    ScopedStandardUserDefaults settings;
    LogCapture log;
    std::shared_ptr<std::vector<std::string>> journal;
    std::unique_ptr<VQDocument> document;
};

} // namespace velquine::testing

namespace velquine::testing {

// Refuses data for one type.
class RefusingPasteboard : public Pasteboard {
public:
    explicit RefusingPasteboard(std::string refused) : refused_(std::move(refused)) { }
    bool setData(const Bytes& data, const std::string& type) override
    {
        if (type == refused_)
            return false;
        return Pasteboard::setData(data, type);
    }

private:
    std::string refused_;
};

// A node with the given links and centre, every other field at its default.
inline Node makeNode(std::int64_t uid, std::optional<std::int64_t> parentUID, std::vector<std::int64_t> children = {},
                     Point center = {0, 0})
{
    Node node(uid, parentUID, NodeStyle());
    node.childrenUIDs = std::move(children);
    node.center = center;
    node.size = Size{80, 30};
    node.title = std::to_string(uid);
    node.title.insert(0, 1, 'n');
    return node;
}

inline std::vector<std::int64_t> uidsOf(const std::vector<Node>& nodes)
{
    std::vector<std::int64_t> uids;
    for (const Node& node : nodes)
        uids.push_back(node.uid);
    return uids;
}

} // namespace velquine::testing

namespace velquine::testing {

// The journal entry of an event with a node list, such as "add[12]".
inline std::string listEvent(const char* name, std::initializer_list<std::int64_t> uids)
{
    std::string text(name);
    text += '[';
    bool first = true;
    for (std::int64_t uid : uids) {
        if (!first)
            text += ',';
        first = false;
        text += std::to_string(uid);
    }
    text += ']';
    return text;
}

} // namespace velquine::testing
