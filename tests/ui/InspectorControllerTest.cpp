#include "inspector/InspectorController.h"

#include <gtest/gtest.h>

#include "document/VQDocument.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"

using namespace velquine;

namespace {

class CountingPane : public InspectorController, public VQDocumentEventListener {
public:
    void inspectorDidShow() override
    {
        if (documentOrLog("inspectorDidShow()"))
            registerEventListener(this);
    }
    void inspectorDidHide() override { unregisterEventListener(); }
    void documentDidChangeProjectInfo() override { ++infoEvents; }

    int loads = 0;
    int infoEvents = 0;

protected:
    void viewDidLoad() override { ++loads; }
};

} // namespace

TEST(InspectorController, PanesFollowTheirDocumentOnlyWhileShownAndNeverKeepItAlive)
{
    ScopedStandardUserDefaults settings;
    RunLoop::drain();
    auto doc = std::make_shared<VQDocument>();
    auto pane = std::make_unique<CountingPane>();
    EXPECT_FALSE(pane->fillsScrollView());

    // Without a document the pane says so and registers nothing.
    {
        LogCapture log;
        pane->inspectorDidShow();
        EXPECT_TRUE(log.contains(": InspectorControllerTest.cpp:"));
        EXPECT_TRUE(log.contains(" inspectorDidShow() - !!! document is nill"));
    }

    pane->setDocument(doc);
    pane->loadViewIfNeeded();
    pane->show();
    EXPECT_EQ(pane->loads, 1);

    pane->inspectorDidShow();
    pane->inspectorDidShow(); // staying the shown pane registers once
    EXPECT_EQ(doc->eventListeners().size(), 1u);
    doc->setProjectTitle("Shown");
    RunLoop::drain();
    EXPECT_EQ(pane->infoEvents, 1);

    pane->inspectorDidHide();
    doc->setProjectTitle("Hidden");
    RunLoop::drain();
    EXPECT_EQ(pane->infoEvents, 1);
    EXPECT_TRUE(doc->eventListeners().empty());

    // An event posted while the pane lived is dropped once it is gone, and the registry is emptied.
    pane->inspectorDidShow();
    doc->setProjectTitle("Posted");
    pane.reset();
    EXPECT_TRUE(doc->eventListeners().empty());
    RunLoop::drain();

    // The pane holds its document weakly.
    CountingPane other;
    other.setDocument(doc);
    std::weak_ptr<VQDocument> weak = doc;
    doc.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(other.document(), nullptr);
}
