// Registering listeners and the deferred, priority-ordered delivery of events.

#include <thread>

#include "DocumentTestSupport.h"

namespace velquine::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ListenersTest : public DocumentTest {};

TEST_F(ListenersTest, EventsArriveOnALaterTurnInPriorityOrder)
{
    auto late = listen("late", 20);
    auto early = listen("early", 1);
    auto middle = listen("middle");
    document->beginEditingSession("x");
    document->setProjectTitle("t");
    EXPECT_THAT(*journal, IsEmpty()); // never during the call
    EXPECT_THAT(deliver(), ElementsAre("early:begin", "middle:begin", "late:begin", "early:info", "middle:info",
                                       "late:info"));
}

TEST_F(ListenersTest, EqualPrioritiesKeepRegistrationOrderAndRegisteringTwiceChangesNothing)
{
    auto a = listen("a");
    auto b = listen("b");
    document->registerEventListener(a);
    EXPECT_EQ(document->eventListeners().size(), 2u);
    document->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidSave(); });
    EXPECT_THAT(deliver(), ElementsAre("a:save", "b:save"));
}

TEST_F(ListenersTest, RemovedOrReleasedListenerStillGetsWhatWasPostedBefore)
{
    auto kept = listen("kept");
    auto removed = listen("removed");
    auto released = listen("released");
    document->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidReadProject(); });
    document->unregisterEventListener(removed);
    released.reset();
    auto newcomer = listen("new"); // registered after the posting: not told
    EXPECT_THAT(deliver(), ElementsAre("kept:read", "removed:read", "released:read"));
    // The delivery let go of the released one; the removed one is alive but no longer registered.
    document->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidSave(); });
    EXPECT_THAT(deliver(), ElementsAre("kept:save", "new:save"));
    EXPECT_EQ(document->eventListeners().size(), 2u);
}

TEST_F(ListenersTest, EventPostedFromAListenerComesAfterTheCurrentDelivery)
{
    class Reposting : public RecordingListener {
    public:
        using RecordingListener::RecordingListener;
        VQDocument* document = nullptr;
        void documentDidReadProject() override
        {
            RecordingListener::documentDidReadProject();
            document->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidReplaceProject(); });
        }
    };
    auto first = std::make_shared<Reposting>("first", journal, 1);
    first->document = document.get();
    document->registerEventListener(first);
    auto second = listen("second");
    document->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidReadProject(); });
    EXPECT_THAT(deliver(), ElementsAre("first:read", "second:read", "first:replace", "second:replace"));
}

TEST_F(ListenersTest, ListenerWithNoOperationsIgnoresEverythingAndHasDefaultPriority)
{
    auto quiet = std::make_shared<VQDocumentEventListener>();
    EXPECT_EQ(quiet->priority(), 10);
    document->registerEventListener(quiet);
    document->beginEditingSession("x");
    document->updateNodes({Node(900, std::nullopt, NodeStyle())}, NodeUpdateOperation::note, true);
    document->commitEditingSession();
    RunLoop::drain();
    EXPECT_EQ(document->eventListeners().size(), 1u);
}

TEST_F(ListenersTest, RegisteringOffTheMainThreadIsRefusedAndLogged)
{
    auto listener = std::make_shared<RecordingListener>("x", journal);
    std::thread([&] {
        document->registerEventListener(listener);
        document->unregisterEventListener(listener);
    }).join();
    EXPECT_TRUE(document->eventListeners().empty());
    EXPECT_TRUE(logHas(log, "registerEventListener(_:)",
                       "warn: calling registerEventListener on other thread than main thread!"));
    EXPECT_TRUE(logHas(log, "unregisterEventListener(_:)",
                       "warn: calling registerEventListener on other thread than main thread!"));
}

TEST_F(ListenersTest, PostingFromAnotherThreadDeliversOnTheMainThread)
{
    auto listener = listen("l");
    std::thread([&] { document->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidSave(); }); })
        .join();
    EXPECT_THAT(deliver(), ElementsAre("l:save"));
}

} // namespace
} // namespace velquine::testing
