#include "inspector/InspectorController.h"

#include <QPointer>

#include "document/VQDocument.h"
#include "platform/Log.h"

namespace velquine {

// Hands each event on to the pane's listener while the pane lives.
class InspectorController::Relay : public VQDocumentEventListener {
public:
    Relay(InspectorController* pane, VQDocumentEventListener* target) : pane_(pane), target_(target) {}

    void documentDidReplaceProject() override { forward([](auto& l) { l.documentDidReplaceProject(); }); }
    void documentDidBeginEditingSession() override { forward([](auto& l) { l.documentDidBeginEditingSession(); }); }
    void documentDidCancelEditingSession() override
    {
        forward([](auto& l) { l.documentDidCancelEditingSession(); });
    }
    void documentDidCommitEditingSession() override
    {
        forward([](auto& l) { l.documentDidCommitEditingSession(); });
    }
    void documentDidChangeProjectInfo() override { forward([](auto& l) { l.documentDidChangeProjectInfo(); }); }
    void documentDidChangeBackgroundColor() override
    {
        forward([](auto& l) { l.documentDidChangeBackgroundColor(); });
    }
    void documentDidChangeStyle() override { forward([](auto& l) { l.documentDidChangeStyle(); }); }
    void documentDidAddNodes(const std::vector<Node>& nodes) override
    {
        forward([&](auto& l) { l.documentDidAddNodes(nodes); });
    }
    void documentDidUpdateNodes(const std::vector<Node>& nodes, NodeUpdateOperation operation) override
    {
        forward([&](auto& l) { l.documentDidUpdateNodes(nodes, operation); });
    }
    void documentDidDeleteNodes(const std::vector<Node>& nodes) override
    {
        forward([&](auto& l) { l.documentDidDeleteNodes(nodes); });
    }
    void documentDidChangeSelection() override { forward([](auto& l) { l.documentDidChangeSelection(); }); }
    void documentDidReadProject() override { forward([](auto& l) { l.documentDidReadProject(); }); }
    void documentDidReadPictures(const std::vector<Node>& nodes) override
    {
        forward([&](auto& l) { l.documentDidReadPictures(nodes); });
    }
    void documentDidSave() override { forward([](auto& l) { l.documentDidSave(); }); }
    void documentDidBeginEditingNodeTitle() override
    {
        forward([](auto& l) { l.documentDidBeginEditingNodeTitle(); });
    }
    void documentDidEndEditingNodeTitle() override { forward([](auto& l) { l.documentDidEndEditingNodeTitle(); }); }
    int priority() const override { return priority_; }

    VQDocumentEventListener* target() const { return target_; }
    void setPriority(int priority) { priority_ = priority; }

private:
    template <typename Event>
    void forward(Event&& event)
    {
        if (pane_)
            event(*target_);
    }

    QPointer<InspectorController> pane_;
    VQDocumentEventListener* target_;
    int priority_ = VQDocumentEventListener::defaultPriority;
};

InspectorController::InspectorController(QWidget* parent) : QWidget(parent) {}

InspectorController::~InspectorController()
{
    unregisterEventListener();
}

void InspectorController::loadViewIfNeeded()
{
    if (viewLoaded_)
        return;
    viewLoaded_ = true;
    viewDidLoad();
}

void InspectorController::showEvent(QShowEvent* event)
{
    loadViewIfNeeded();
    QWidget::showEvent(event);
}

std::shared_ptr<VQDocument> InspectorController::documentOrLog(std::string_view function,
                                                               std::source_location where) const
{
    auto doc = document();
    if (!doc)
        debugLog(where.file_name(), function, static_cast<long>(where.line()), missingDocumentMessage);
    return doc;
}

void InspectorController::registerEventListener(VQDocumentEventListener* listener)
{
    auto doc = document();
    if (!doc || !listener)
        return;
    if (!relay_ || relay_->target() != listener) {
        unregisterEventListener();
        relay_ = std::make_shared<Relay>(this, listener);
    }
    relay_->setPriority(listener->priority());
    doc->registerEventListener(relay_);
}

bool InspectorController::startFollowingDocument(VQDocumentEventListener* listener)
{
    if (!documentOrLog("inspectorDidShow()"))
        return false;
    registerEventListener(listener);
    return true;
}

bool InspectorController::stopFollowingDocument()
{
    if (!documentOrLog("inspectorDidHide()"))
        return false;
    unregisterEventListener();
    return true;
}

void InspectorController::unregisterEventListener()
{
    if (!relay_)
        return;
    if (auto doc = document())
        doc->unregisterEventListener(relay_);
}

} // namespace velquine
