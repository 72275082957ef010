#pragma once

// The base of every inspector pane.
//
// The inspector bar creates each pane once, hands it its document (held weakly: the pane never keeps a
// document alive), loads it, and then shows one pane at a time: inspectorDidShow() each time a pane becomes
// or stays the shown one, inspectorDidHide() when it stops being shown. fillsScrollView() asks the bar to
// size the pane to its scroll view.
//
// A pane that follows the document derives from VQDocumentEventListener as well and registers itself with
// registerEventListener(), usually while shown. The document is told of a relay, not of the pane: events
// posted before the pane was destroyed are dropped instead of reaching a dead widget, and a pane destroyed
// while still registered leaves the document's registry on its own.

#include <memory>
#include <source_location>
#include <string_view>

#include <QWidget>

namespace velquine {

class VQDocument;
class VQDocumentEventListener;

class InspectorController : public QWidget {
    Q_OBJECT
public:
    explicit InspectorController(QWidget* parent = nullptr);
    ~InspectorController() override;

    // Called each time the pane becomes (or stays) the shown pane.
    virtual void inspectorDidShow() {}
    // Called when the pane stops being shown.
    virtual void inspectorDidHide() {}
    // Whether the bar sizes the pane to its scroll view's bounds before showing it.
    virtual bool fillsScrollView() const { return false; }

    // The document, or null once it is gone (or before it was set).
    std::shared_ptr<VQDocument> document() const { return document_.lock(); }
    void setDocument(const std::shared_ptr<VQDocument>& document) { document_ = document; }

    // Runs viewDidLoad() the first time it is called (showing the pane calls it too); the bar calls it once
    // the document is set.
    void loadViewIfNeeded();
    bool isViewLoaded() const { return viewLoaded_; }

    // The text every pane logs when it is asked to act without a document.
    static constexpr std::string_view missingDocumentMessage = "!!! document is nill";

protected:
    // Runs once, after the document was set and before the pane is first shown: panes fill their controls.
    virtual void viewDidLoad() {}
    void showEvent(QShowEvent* event) override;

    // The document; without one, logs missingDocumentMessage for the function and answers null.
    std::shared_ptr<VQDocument> documentOrLog(std::string_view function,
                                              std::source_location where = std::source_location::current()) const;

    // Registers the listener (this pane, seen as a listener) with the document, or takes it off again. Both
    // do nothing without a document.
    void registerEventListener(VQDocumentEventListener* listener);
    void unregisterEventListener();
    // The show and hide of a pane that follows its document while shown: without a document they log
    // missingDocumentMessage and answer false; otherwise they register (or unregister) the listener and
    // answer true.
    bool startFollowingDocument(VQDocumentEventListener* listener);
    bool stopFollowingDocument();

private:
    class Relay;

    std::weak_ptr<VQDocument> document_;
    std::shared_ptr<Relay> relay_;
    bool viewLoaded_ = false;
};

} // namespace velquine
