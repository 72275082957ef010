#pragma once

// A document listener that hands the events it is given to a widget-owned controller while that controller
// lives. Widgets are not held in shared pointers, so a controller keeps one relay (the document holds it
// weakly) and sets the reactions it needs; a reaction runs only while its guard object still exists.

#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

#include "document/VQDocumentEventListener.h"

namespace velquine {

class DocumentListenerRelay : public VQDocumentEventListener {
public:
    explicit DocumentListenerRelay(QObject* guard) : guard_(guard) {}

    std::function<void()> onReplaceProject;
    std::function<void()> onBeginSession;
    std::function<void()> onCancelSession;
    std::function<void()> onCommitSession;
    std::function<void()> onProjectInfo;
    std::function<void()> onSelection;
    std::function<void()> onStyle;
    std::function<void(const std::vector<Node>&, NodeUpdateOperation)> onUpdateNodes;

    void documentDidReplaceProject() override { run(onReplaceProject); }
    void documentDidBeginEditingSession() override { run(onBeginSession); }
    void documentDidCancelEditingSession() override { run(onCancelSession); }
    void documentDidCommitEditingSession() override { run(onCommitSession); }
    void documentDidChangeProjectInfo() override { run(onProjectInfo); }
    void documentDidChangeSelection() override { run(onSelection); }
    void documentDidChangeStyle() override { run(onStyle); }
    void documentDidUpdateNodes(const std::vector<Node>& nodes, NodeUpdateOperation operation) override
    {
        if (guard_ && onUpdateNodes)
            onUpdateNodes(nodes, operation);
    }

private:
    void run(const std::function<void()>& reaction)
    {
        if (guard_ && reaction)
            reaction();
    }
    QPointer<QObject> guard_;
};

} // namespace velquine
